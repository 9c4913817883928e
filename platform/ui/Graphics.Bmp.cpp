#include "platform/ui/Graphics.Bmp.h"

#include <bit>
#include <string>

#include "platform/runtime/Exceptions.h"

namespace {

[[noreturn]] void Fail(const wchar_t* what) { throw EInvalidGraphic(std::wstring(L"Bitmap image is not valid: ") + what); }

std::uint32_t U32(std::span<const std::uint8_t> d, std::size_t at) {
  return std::uint32_t(d[at]) | std::uint32_t(d[at + 1]) << 8 | std::uint32_t(d[at + 2]) << 16 |
         std::uint32_t(d[at + 3]) << 24;
}
std::uint16_t U16(std::span<const std::uint8_t> d, std::size_t at) {
  return static_cast<std::uint16_t>(d[at] | d[at + 1] << 8);
}

// One channel of a bit-field mask scaled to 8 bits.
struct TField {
  std::uint32_t Mask = 0;
  int Shift = 0;
  int Bits = 0;
  explicit TField(std::uint32_t mask) : Mask(mask) {
    if (!mask) return;
    Shift = std::countr_zero(mask);
    Bits = std::popcount(mask);
  }
  std::uint8_t Get(std::uint32_t v) const {
    if (!Mask) return 0;
    const std::uint32_t x = (v & Mask) >> Shift;
    if (Bits >= 8) return static_cast<std::uint8_t>(x >> (Bits - 8));
    const std::uint32_t top = (1u << Bits) - 1;
    return static_cast<std::uint8_t>((x * 255 + top / 2) / top);
  }
};

}  // namespace

TBmpImage DecodeBmp(std::span<const std::uint8_t> d) {
  if (d.size() < 14 + 12) Fail(L"the file is too short");
  if (d[0] != 'B' || d[1] != 'M') Fail(L"the signature is not BM");
  const std::uint32_t offBits = U32(d, 10);
  const std::uint32_t infoSize = U32(d, 14);
  if (infoSize != 12 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 64 && infoSize != 108 &&
      infoSize != 124)
    Fail(L"the header size is unknown");
  if (14 + std::uint64_t(infoSize) > d.size()) Fail(L"the header lies past the end of the file");
  std::int64_t width, height;
  unsigned bpp, compression = 0, colorsUsed = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};
  std::size_t tableEntry = 4;
  if (infoSize == 12) {
    width = U16(d, 18);
    height = static_cast<std::int16_t>(U16(d, 20));
    if (U16(d, 22) != 1) Fail(L"the plane count is not 1");
    bpp = U16(d, 24);
    tableEntry = 3;
  } else {
    width = static_cast<std::int32_t>(U32(d, 18));
    height = static_cast<std::int32_t>(U32(d, 22));
    if (U16(d, 26) != 1) Fail(L"the plane count is not 1");
    bpp = U16(d, 28);
    compression = U32(d, 30);
    colorsUsed = U32(d, 46);
    if (infoSize >= 52) {
      masks[0] = U32(d, 54);
      masks[1] = U32(d, 58);
      masks[2] = U32(d, 62);
    }
    if (infoSize >= 56) masks[3] = U32(d, 66);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0) Fail(L"the size is empty");
  if (width > MaxBmpDimension || height > MaxBmpDimension ||
      std::uint64_t(width) * std::uint64_t(height) > MaxBmpPixels)
    Fail(L"the image is too large");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) Fail(L"the bit depth is unknown");
  constexpr unsigned BI_RGB_ = 0, BI_BITFIELDS_ = 3, BI_ALPHABITFIELDS_ = 6;
  if (compression == 1 || compression == 2) Fail(L"run-length encoded bitmaps are not read");
  if (compression != BI_RGB_ && compression != BI_BITFIELDS_ && compression != BI_ALPHABITFIELDS_)
    Fail(L"the compression is not supported");
  if (compression != BI_RGB_ && bpp != 16 && bpp != 32) Fail(L"bit fields need 16 or 32 bits");

  std::size_t afterHeader = 14 + infoSize;
  if (compression != BI_RGB_ && infoSize == 40) {
    // The masks follow a 40-byte header.
    const unsigned count = compression == BI_ALPHABITFIELDS_ ? 4 : 3;
    if (afterHeader + 4 * std::uint64_t(count) > d.size()) Fail(L"the bit fields lie past the end of the file");
    for (unsigned i = 0; i < count; ++i) masks[i] = U32(d, afterHeader + 4 * i);
    afterHeader += 4 * count;
  }
  if (compression == BI_RGB_) {
    masks[3] = 0;
    if (bpp == 16) {
      masks[0] = 0x7C00;
      masks[1] = 0x03E0;
      masks[2] = 0x001F;
    } else if (bpp == 32) {
      masks[0] = 0x00FF0000;
      masks[1] = 0x0000FF00;
      masks[2] = 0x000000FF;
      masks[3] = 0xFF000000;  // the fourth byte; kept only when it is used (below)
    }
  }

  std::vector<std::uint32_t> palette;
  if (bpp <= 8) {
    const std::uint64_t maxColors = std::uint64_t(1) << bpp;
    const std::uint64_t colors = colorsUsed == 0 ? maxColors : colorsUsed;
    if (colors > maxColors) Fail(L"the colour table is larger than the bit depth allows");
    if (afterHeader + colors * tableEntry > d.size()) Fail(L"the colour table lies past the end of the file");
    palette.resize(maxColors, 0xFF000000u);
    for (std::uint64_t i = 0; i < colors; ++i) {
      const std::size_t at = afterHeader + i * tableEntry;
      palette[i] = 0xFF000000u | std::uint32_t(d[at + 2]) << 16 | std::uint32_t(d[at + 1]) << 8 | d[at];
    }
  }

  const std::uint64_t rowBytes = ((std::uint64_t(width) * bpp + 31) / 32) * 4;
  const std::uint64_t imageBytes = rowBytes * std::uint64_t(height);
  if (offBits < afterHeader || offBits > d.size() || imageBytes > d.size() - offBits)
    Fail(L"the pixel data lies outside the file");

  TBmpImage image;
  image.Width = static_cast<int>(width);
  image.Height = static_cast<int>(height);
  image.BitsPerPixel = static_cast<int>(bpp);
  image.Pixels.resize(std::size_t(width) * std::size_t(height));
  const TField r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
  bool anyAlpha = false;
  for (std::int64_t y = 0; y < height; ++y) {
    const std::uint8_t* row = d.data() + offBits + rowBytes * std::uint64_t(topDown ? y : height - 1 - y);
    std::uint32_t* out = image.Pixels.data() + std::size_t(y) * std::size_t(width);
    for (std::int64_t x = 0; x < width; ++x) {
      std::uint32_t px;
      switch (bpp) {
        case 1: px = palette[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
        case 4: px = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
        case 8: px = palette[row[x]]; break;
        case 24: px = 0xFF000000u | std::uint32_t(row[3 * x + 2]) << 16 | std::uint32_t(row[3 * x + 1]) << 8 | row[3 * x]; break;
        default: {
          const std::uint32_t v = bpp == 16 ? std::uint32_t(row[2 * x] | row[2 * x + 1] << 8)
                                            : std::uint32_t(row[4 * x]) | std::uint32_t(row[4 * x + 1]) << 8 |
                                                  std::uint32_t(row[4 * x + 2]) << 16 | std::uint32_t(row[4 * x + 3]) << 24;
          const std::uint8_t alpha = a.Get(v);
          anyAlpha |= alpha != 0;
          px = std::uint32_t(alpha) << 24 | std::uint32_t(r.Get(v)) << 16 | std::uint32_t(g.Get(v)) << 8 | b.Get(v);
        }
      }
      out[x] = px;
    }
  }
  // An alpha channel that is 0 everywhere is no alpha: such files mean opaque pixels.
  if ((bpp == 16 || bpp == 32) && !anyAlpha)
    for (std::uint32_t& px : image.Pixels) px |= 0xFF000000u;
  return image;
}

std::vector<std::uint8_t> EncodeBmp32(int Width, int Height, const std::uint32_t* Pixels) {
  if (Width < 0 || Height < 0) Width = Height = 0;
  const std::uint64_t imageSize = std::uint64_t(Width) * std::uint64_t(Height) * 4;
  std::vector<std::uint8_t> out(54 + static_cast<std::size_t>(imageSize), 0);
  auto put16 = [&](std::size_t at, std::uint32_t v) {
    out[at] = std::uint8_t(v);
    out[at + 1] = std::uint8_t(v >> 8);
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<std::uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(Width));
  put32(22, static_cast<std::uint32_t>(Height));
  put16(26, 1);
  put16(28, 32);
  put32(34, static_cast<std::uint32_t>(imageSize));
  for (int y = 0; y < Height; ++y) {
    const std::uint32_t* row = Pixels + std::size_t(Height - 1 - y) * std::size_t(Width);
    std::uint8_t* to = out.data() + 54 + std::size_t(y) * std::size_t(Width) * 4;
    for (int x = 0; x < Width; ++x) put32(static_cast<std::size_t>(to - out.data()) + std::size_t(x) * 4, row[x]);
  }
  return out;
}
