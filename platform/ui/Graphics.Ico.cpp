#include "platform/ui/Graphics.Ico.h"

#include <algorithm>

#include "platform/runtime/Exceptions.h"

namespace {

std::uint32_t Le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

constexpr std::uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

HICON IconFromIcoData(std::span<const std::uint8_t> Data, int& Width, int& Height) {
  Width = Height = 0;
  if (Data.size() < 6) throw EInvalidGraphic(L"The icon file is shorter than its header.");
  if (Le16(Data.data()) != 0 || Le16(Data.data() + 2) != 1) throw EInvalidGraphic(L"The file is no icon file.");
  const std::uint32_t count = Le16(Data.data() + 4);
  if (count == 0) throw EInvalidGraphic(L"The icon file holds no image.");
  if (6 + std::uint64_t(count) * 16 > Data.size())
    throw EInvalidGraphic(L"The icon file's directory is longer than the file.");
  const std::uint8_t* entry = Data.data() + 6;
  const std::uint64_t size = Le32(entry + 8);
  const std::uint64_t offset = Le32(entry + 12);
  if (size == 0 || offset + size > Data.size()) throw EInvalidGraphic(L"The icon image lies outside the file.");
  const std::uint8_t* image = Data.data() + offset;
  int w = entry[0] ? entry[0] : 256;
  int h = entry[1] ? entry[1] : 256;
  const bool png = size >= 8 && std::equal(PngSignature, PngSignature + 8, image);
  if (!png) {
    if (size < 40 || Le32(image) < 40) throw EInvalidGraphic(L"The icon image has no bitmap header.");
    const std::int64_t bw = static_cast<std::int32_t>(Le32(image + 4));
    const std::int64_t bh = static_cast<std::int32_t>(Le32(image + 8)) / 2;  // colour and mask rows
    const std::uint32_t bpp = Le16(image + 14);
    if (bw <= 0 || bh <= 0 || bw > 1024 || bh > 1024 || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32))
      throw EInvalidGraphic(L"The icon image has an unusable size or depth.");
    const std::uint64_t colourRow = ((std::uint64_t(bw) * bpp + 31) / 32) * 4;
    const std::uint64_t maskRow = ((std::uint64_t(bw) + 31) / 32) * 4;
    const std::uint64_t palette = bpp <= 8 ? (std::uint64_t(1) << bpp) * 4 : 0;
    const std::uint64_t need = Le32(image) + palette + colourRow * bh + (bpp == 32 ? 0 : maskRow * bh);
    if (need > size) throw EInvalidGraphic(L"The icon image is shorter than its pixels.");
    w = static_cast<int>(bw);
    h = static_cast<int>(bh);
  }
  HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(image), static_cast<DWORD>(size), TRUE, 0x00030000, w, h,
                                        LR_DEFAULTCOLOR);
  if (!icon) throw EInvalidGraphic(L"The system could not make an icon of the icon image.");
  ICONINFO info{};
  if (GetIconInfo(icon, &info)) {
    BITMAP bm{};
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(bm), &bm)) {
      w = bm.bmWidth;
      h = bm.bmHeight;
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
  }
  Width = w;
  Height = h;
  return icon;
}
