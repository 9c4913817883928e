#include "skin/graphics/sGraphUtils.h"
#include "platform/runtime/Streams.h"
#include "skin/graphics/acPNG.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

int ClampExtent(long long value) {
  return static_cast<int>(std::clamp(value, 0LL, static_cast<long long>(INT_MAX)));
}

// Sizing a bitmap can fail for any size the system cannot back with memory; callers of
// the factories test the size instead of catching.
void SizeOrEmpty(TBitmap& bitmap, int width, int height, TPixelFormat format, bool formatLast) {
  try {
    if (!formatLast) {
      bitmap.SetPixelFormat(format);
      bitmap.SetHandleType(bmDIB);
    }
    bitmap.SetWidth(width);
    bitmap.SetHeight(height);
    if (formatLast) bitmap.SetPixelFormat(format);
  } catch (...) {
    try {
      bitmap.SetWidth(0);
      bitmap.SetHeight(0);
    } catch (...) {
    }
  }
}

class TSolidBrushOnDC {
public:
  TSolidBrushOnDC(HDC dc, TColor color) : FDC(dc), FSaved(SaveDC(dc)) {
    FBrush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(color)));
    FOld = SelectObject(dc, FBrush);
  }
  ~TSolidBrushOnDC() {
    SelectObject(FDC, FOld);
    DeleteObject(FBrush);
    RestoreDC(FDC, FSaved);
  }
  void Fill(int left, int top, int right, int bottom) {
    RECT r{left, top, right, bottom};
    FillRect(FDC, &r, FBrush);
  }

private:
  HDC FDC;
  int FSaved;
  HBRUSH FBrush = nullptr;
  HGDIOBJ FOld = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// Factories
// ---------------------------------------------------------------------------

std::unique_ptr<TBitmap> NewBitmap32(int width, int height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetIgnorePalette(true);
  SizeOrEmpty(*bitmap, width, height, pf32bit, false);
  return bitmap;
}

std::unique_ptr<TBitmap> NewBitmap32ForRect(const TRect& rect) {
  return NewBitmap32(ClampExtent(static_cast<long long>(rect.Right) - rect.Left),
                     ClampExtent(static_cast<long long>(rect.Bottom) - rect.Top));
}

std::unique_ptr<TBitmap> NewBitmap32ForSize(const TSize& size) { return NewBitmap32(size.cx, size.cy); }

std::unique_ptr<TBitmap> NewBitmap32LikeBitmap(const TBitmap* bitmap) {
  return bitmap ? NewBitmap32(bitmap->Width(), bitmap->Height()) : NewBitmap32(0, 0);
}

std::unique_ptr<TBitmap> CloneBitmapFormat(const TBitmap* bitmap) {
  auto result = NewBitmap32(0, 0);
  if (bitmap) SizeOrEmpty(*result, bitmap->Width(), bitmap->Height(), bitmap->PixelFormat(), true);
  return result;
}

void SetPixelFormat32(TBitmap* bitmap) {
  if (bitmap) bitmap->SetPixelFormat(pf32bit);
}

void CopyBitmapPixels(TBitmap* dest, TBitmap* source) {
  if (!dest || !source || dest == source) return;
  dest->SetPixelFormat(source->PixelFormat());
  dest->SetHandleType(bmDIB);
  dest->SetWidth(source->Width());
  dest->SetHeight(source->Height());
  if (dest->Empty()) return;
  // Both now share format and size: the copy blit is a copy of the rows.
  const size_t bytes = (static_cast<size_t>(source->Width()) * source->BitsPerPixel() + 7) / 8;
  for (int y = 0; y < source->Height(); ++y) std::memcpy(dest->ScanLine(y), source->ScanLine(y), bytes);
}

// ---------------------------------------------------------------------------
// Pixel access
// ---------------------------------------------------------------------------

bool GetPixelBase(TBitmap* bitmap, std::uint8_t*& base, std::intptr_t& stride) {
  // A bitmap without columns has no pixel memory to point at either.
  if (!bitmap || bitmap->Height() < 1 || bitmap->Width() < 1) return false;
  auto* row0 = static_cast<std::uint8_t*>(bitmap->ScanLine(0));
  stride = bitmap->Height() == 1 ? 0 : static_cast<std::uint8_t*>(bitmap->ScanLine(1)) - row0;
  base = row0;
  return true;
}

bool GetPixels32(TBitmap* bitmap, TPixels32& pixels) {
  if (!bitmap || bitmap->BitsPerPixel() != 32) return false;
  if (!GetPixelBase(bitmap, pixels.Base, pixels.Stride)) return false;
  pixels.Width = bitmap->Width();
  pixels.Height = bitmap->Height();
  return true;
}

bool ClipCopySpan(long long dx, long long dy, long long sx, long long sy, long long w, long long h, int dstWidth,
                  int dstHeight, int srcWidth, int srcHeight, TCopySpan& span) {
  auto clipAxis = [](long long& d, long long& s, long long& n, int dSize, int sSize) {
    const long long cut = std::max({0LL, -d, -s});
    d += cut;
    s += cut;
    n -= cut;
    n = std::min({n, dSize - d, sSize - s});
    return n > 0;
  };
  if (!clipAxis(dx, sx, w, dstWidth, srcWidth) || !clipAxis(dy, sy, h, dstHeight, srcHeight)) return false;
  span = TCopySpan{int(dx), int(dy), int(sx), int(sy), int(w), int(h)};
  return true;
}

// ---------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------

std::uint32_t BlendTwoColors(std::uint32_t a, std::uint32_t b, std::uint8_t weight) {
  const std::uint32_t w = weight, v = 255 - weight;
  std::uint32_t result = a & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    result |= ((ca * w + cb * v) >> 8) << shift;
  }
  return result;
}

std::uint32_t ReverseColorBytes(std::uint32_t color) {
  return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

void FillRectOnDC(HDC dc, const TRect& rect, TColor color) {
  TSolidBrushOnDC brush(dc, color);
  brush.Fill(rect.Left, rect.Top, rect.Right, rect.Bottom);
}

void FillInnerFrameOnDC(HDC dc, const TRect& r, int leftWidth, int topWidth, int rightWidth, int bottomWidth,
                        TColor color) {
  TSolidBrushOnDC brush(dc, color);
  brush.Fill(r.Left, r.Top, r.Right, r.Top + topWidth);
  brush.Fill(r.Left, r.Top + topWidth, r.Left + leftWidth, r.Bottom);
  brush.Fill(r.Left + leftWidth, r.Bottom - bottomWidth, r.Right, r.Bottom);
  brush.Fill(r.Right - rightWidth, r.Top + topWidth, r.Right, r.Bottom - bottomWidth);
}

// ---------------------------------------------------------------------------
// Channels
// ---------------------------------------------------------------------------

void CopyPixelChannel(TBitmap* dest, TBitmap* source, int channel) {
  if (channel < 0 || channel > 3) return;
  TPixels32 d, s;
  if (!GetPixels32(dest, d) || !GetPixels32(source, s)) return;
  // A smaller source only covers part of Dest; the rest keeps its byte.
  const int w = std::min(d.Width, s.Width), h = std::min(d.Height, s.Height);
  for (int y = 0; y < h; ++y) {
    auto* dp = reinterpret_cast<std::uint8_t*>(d.Row(y)) + channel;
    const auto* sp = reinterpret_cast<const std::uint8_t*>(s.Row(y)) + channel;
    for (int x = 0; x < w; ++x) dp[4 * x] = sp[4 * x];
  }
}

void TransferChannel8(TBitmap* bitmap32, TBitmap* bitmap8, int channel, bool toBitmap8) {
  if (channel < 0 || channel > 3 || !bitmap8 || bitmap8->PixelFormat() != pf8bit) return;
  TPixels32 p;
  std::uint8_t* base8 = nullptr;
  std::intptr_t stride8 = 0;
  if (!GetPixels32(bitmap32, p) || !GetPixelBase(bitmap8, base8, stride8)) return;
  const int w = std::min(p.Width, bitmap8->Width()), h = std::min(p.Height, bitmap8->Height());
  for (int y = 0; y < h; ++y) {
    auto* row32 = reinterpret_cast<std::uint8_t*>(p.Row(y)) + channel;
    std::uint8_t* row8 = base8 + y * stride8;
    if (toBitmap8)
      for (int x = 0; x < w; ++x) row8[x] = row32[4 * x];
    else
      for (int x = 0; x < w; ++x) row32[4 * x] = row8[x];
  }
}

HICON IconFromBitmap(TBitmap* bitmap) {
  if (!bitmap || !bitmap->Handle()) return nullptr;
  const int w = bitmap->Width(), h = bitmap->Height();
  // Monochrome rows are padded to 16 bits; all bits 0: every pixel opaque.
  std::vector<std::uint8_t> zeros(static_cast<size_t>((w + 15) / 16) * 2 * h, 0);
  HBITMAP mask = CreateBitmap(w, h, 1, 1, zeros.data());
  if (!mask) return nullptr;
  GdiFlush();
  ICONINFO info{TRUE, 0, 0, mask, bitmap->Handle()};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  return icon;
}

// ---------------------------------------------------------------------------
// Grey
// ---------------------------------------------------------------------------

std::uint8_t LumaOf(std::uint32_t pixel) {
  // In thousandths, so a half is a real half and goes to the even neighbour.
  const std::uint32_t sum = 299 * ((pixel >> 16) & 0xFF) + 587 * ((pixel >> 8) & 0xFF) + 114 * (pixel & 0xFF);
  std::uint32_t q = sum / 1000;
  const std::uint32_t r = sum % 1000;
  if (r > 500 || (r == 500 && (q & 1))) ++q;
  return static_cast<std::uint8_t>(q);
}

namespace {
void Grayscale(TBitmap* bitmap, bool useKey, std::uint32_t key) {
  TPixels32 p;
  if (!GetPixels32(bitmap, p)) return;
  for (int y = 0; y < p.Height; ++y) {
    std::uint32_t* row = p.Row(y);
    for (int x = 0; x < p.Width; ++x) {
      const std::uint32_t c = row[x];
      if (useKey && c == key) continue;
      const std::uint32_t v = LumaOf(c);
      row[x] = (c & 0xFF000000u) | (v << 16) | (v << 8) | v;
    }
  }
}
}  // namespace

void GrayscaleBitmap(TBitmap* bitmap) { Grayscale(bitmap, false, 0); }

void GrayscaleBitmapExceptKey(TBitmap* bitmap, std::uint32_t key) { Grayscale(bitmap, true, key); }

namespace {
// Lets the PNG reader write straight into a DIB section.
class TBitmapPngSink : public TBitmap32Sink {
public:
  explicit TBitmapPngSink(TBitmap& bitmap) : FBitmap(bitmap) {}
  bool Transparent() const override { return FBitmap.Transparent(); }
  bool SetSize32(int width, int height) override {
    try {
      FBitmap.SetPixelFormat(pf32bit);
      FBitmap.SetSize(width, height);
      return true;
    } catch (const EOutOfResources&) {
      FBitmap.SetSize(0, 0);
      return false;
    }
  }
  std::uint8_t* ScanLine32(int y) override { return static_cast<std::uint8_t*>(FBitmap.ScanLine(y)); }

private:
  TBitmap& FBitmap;
};
}  // namespace

void LoadPngStreamToBitmap(TBitmap& Bitmap, TStream& Stream) {
  bool transparent = Bitmap.Transparent();
  TBitmapPngSink sink(Bitmap);
  LoadPngStreamToBitmap(static_cast<TBitmap32Sink&>(sink), Stream);
  Bitmap.SetTransparent(transparent);
}

void LoadPngFileToBitmap(TBitmap& Bitmap, const std::wstring& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadPngStreamToBitmap(Bitmap, stream);
}
