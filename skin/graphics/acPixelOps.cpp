#include "skin/graphics/acPixelOps.h"

#include <algorithm>
#include <vector>

#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelVec.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sSkinManager.h"

std::uint8_t DisabledBlendWeight = 100;
std::int32_t DisabledSaturation = -90;

namespace {

// The part of an exclusive rectangle inside a bitmap of W x H.
bool ClipToBitmap(const TRect& r, int width, int height, int& x0, int& y0, int& x1, int& y1) {
  x0 = std::max(0, r.Left);
  y0 = std::max(0, r.Top);
  x1 = std::min(width, r.Right);
  y1 = std::min(height, r.Bottom);
  return x0 < x1 && y0 < y1;
}

inline std::uint32_t ByteAt(std::uint32_t value, int shift) { return (value >> shift) & 0xFF; }

}  // namespace

std::uint32_t ReverseBytes32(std::uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

void ReverseBytes32Array(void* address, int count) {
  if (!address) return;
  auto* p = static_cast<std::uint32_t*>(address);
  for (int i = 0; i < count; ++i) p[i] = ReverseBytes32(p[i]);
}

std::uint32_t GetPixel32(TBitmap* bitmap, int x, int y) {
  if (!bitmap || bitmap->BitsPerPixel() != 32 || x < 0 || y < 0 || x >= bitmap->Width() || y >= bitmap->Height())
    return 0;
  return static_cast<std::uint32_t*>(bitmap->ScanLine(y))[x];
}

std::uint32_t* StorePixel32(TBitmap* bitmap, int x, int y, std::uint32_t value) {
  if (!bitmap || bitmap->BitsPerPixel() != 32 || x < 0 || y < 0 || x >= bitmap->Width() || y >= bitmap->Height())
    return nullptr;
  auto* row = static_cast<std::uint32_t*>(bitmap->ScanLine(y));
  row[x] = value;
  return row;
}

void SetPixel32(TBitmap* bitmap, int x, int y, std::uint32_t value) { StorePixel32(bitmap, x, y, value); }

void FillDWords(std::uint32_t* address, int count, std::uint32_t value) {
  if (!address || count <= 0) return;
  std::fill_n(address, count, value);
}

// ---------------------------------------------------------------------------
// Fills
// ---------------------------------------------------------------------------

void FillRectArgb(TBitmap* bitmap, const TRect& rect, TColor color, std::uint8_t alpha) {
  TPixels32 p;
  int x0, y0, x1, y1;
  if (!GetPixels32(bitmap, p) || !ClipToBitmap(rect, p.Width, p.Height, x0, y0, x1, y1)) return;
  const std::uint32_t value = (SwapRedBlue(static_cast<std::uint32_t>(color)) & 0x00FFFFFFu) | (std::uint32_t(alpha) << 24);
  for (int y = y0; y < y1; ++y) FillDWords(p.Row(y) + x0, x1 - x0, value);
}

void FillBetweenRects(TBitmap* bitmap, const TRect& outer, const TRect& inner, TColor color, std::uint8_t alpha) {
  FillRectArgb(bitmap, Rect(outer.Left, outer.Top, outer.Right, inner.Top), color, alpha);
  FillRectArgb(bitmap, Rect(outer.Left, inner.Top, inner.Left, inner.Bottom), color, alpha);
  FillRectArgb(bitmap, Rect(inner.Right, inner.Top, outer.Right, inner.Bottom), color, alpha);
  FillRectArgb(bitmap, Rect(outer.Left, inner.Bottom, outer.Right, outer.Bottom), color, alpha);
}

void FillInnerFrame(TBitmap* bitmap, const TRect& r, int left, int top, int right, int bottom, TColor color) {
  FillRectArgb(bitmap, Rect(r.Left, r.Top, r.Right, r.Top + top), color, 255);
  FillRectArgb(bitmap, Rect(r.Left, r.Top + top, r.Left + left, r.Bottom), color, 255);
  FillRectArgb(bitmap, Rect(r.Left + left, r.Bottom - bottom, r.Right, r.Bottom), color, 255);
  FillRectArgb(bitmap, Rect(r.Right - right, r.Top + top, r.Right, r.Bottom - bottom), color, 255);
}

// ---------------------------------------------------------------------------
// Mixing inside a rectangle
// ---------------------------------------------------------------------------

void ColorBlendRect(TBitmap* bitmap, const TRect& rect, std::uint8_t weight, TColor color) {
  TPixels32 p;
  if (!GetPixels32(bitmap, p)) return;
  // Right and bottom are the last column and row painted.
  const int x0 = std::max(0, rect.Left), y0 = std::max(0, rect.Top);
  const int x1 = std::min(rect.Right, p.Width - 1), y1 = std::min(rect.Bottom, p.Height - 1);
  const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(ColorToRGB(color)));
  const std::uint32_t w = weight, v = 255 - weight;
  const std::uint32_t kb = ByteAt(k, 0) * v, kg = ByteAt(k, 8) * v, kr = ByteAt(k, 16) * v;
  for (int y = y0; y <= y1; ++y) {
    std::uint32_t* row = p.Row(y);
    for (int x = x0; x <= x1; ++x) {
      const std::uint32_t c = row[x];
      row[x] = (c & 0xFF000000u) | (((ByteAt(c, 16) * w + kr) >> 8) << 16) | (((ByteAt(c, 8) * w + kg) >> 8) << 8) |
               ((ByteAt(c, 0) * w + kb) >> 8);
    }
  }
}

void MixColorPercentRect(TBitmap* bitmap, const TRect& rect, TColor color, int percent, std::uint8_t alpha) {
  TPixels32 p;
  int x0, y0, x1, y1;
  if (!GetPixels32(bitmap, p) || !ClipToBitmap(rect, p.Width, p.Height, x0, y0, x1, y1)) return;
  const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(color));
  auto mix = [percent](long long c, long long kc) {
    // A percent outside 0..100 would leave the byte range; the channel stays a byte.
    return static_cast<std::uint32_t>(std::clamp(c - (c - kc) * percent / 100, 0LL, 255LL));
  };
  for (int y = y0; y < y1; ++y) {
    std::uint32_t* row = p.Row(y);
    for (int x = x0; x < x1; ++x) {
      const std::uint32_t c = row[x];
      row[x] = (std::uint32_t(alpha) << 24) | (mix(ByteAt(c, 16), ByteAt(k, 16)) << 16) |
               (mix(ByteAt(c, 8), ByteAt(k, 8)) << 8) | mix(ByteAt(c, 0), ByteAt(k, 0));
    }
  }
}

// ---------------------------------------------------------------------------
// Alpha channel
// ---------------------------------------------------------------------------

void ApplyAlphaInRect(TBitmap* bitmap, const TRect& rect, std::uint8_t alpha, std::uint32_t key) {
  TPixels32 p;
  int x0, y0, x1, y1;
  if (!GetPixels32(bitmap, p) || !ClipToBitmap(rect, p.Width, p.Height, x0, y0, x1, y1)) return;
  const std::uint32_t a = std::uint32_t(alpha) << 24;
  const bool everyPixel = key == static_cast<std::uint32_t>(clNone);
  for (int y = y0; y < y1; ++y) {
    std::uint32_t* row = p.Row(y);
    for (int x = x0; x < x1; ++x)
      if (everyPixel || row[x] != key) row[x] = (row[x] & 0x00FFFFFFu) | a;
  }
}

void AlphaFromCornerKey(TBitmap* bitmap) {
  TPixels32 p;
  if (!GetPixels32(bitmap, p)) return;
  for (int y = 0; y < p.Height; ++y) {
    const std::uint32_t* row = p.Row(y);
    for (int x = 0; x < p.Width; ++x)
      if (row[x] & 0xFF000000u) return;
  }
  const std::uint32_t key = SwapRedBlue(static_cast<std::uint32_t>(bitmap->Canvas().Pixel(0, p.Height - 1)));
  // The canvas read went through GDI: fetch the rows again after it.
  if (!GetPixels32(bitmap, p)) return;
  for (int y = 0; y < p.Height; ++y) {
    std::uint32_t* row = p.Row(y);
    for (int x = 0; x < p.Width; ++x)
      if (row[x] != key) row[x] |= 0xFF000000u;
  }
}

void PremultiplyRect(TBitmap* bitmap, const TRect& rect) {
  TPixels32 p;
  int x0, y0, x1, y1;
  if (!GetPixels32(bitmap, p) || !ClipToBitmap(rect, p.Width, p.Height, x0, y0, x1, y1)) return;
  const bool composed = IsDwmCompositionOn();
  for (int y = y0; y < y1; ++y) {
    std::uint32_t* row = p.Row(y);
    int x = x0;
#if AC_PIXEL_VECTORS
    x += acvec::PremultiplyRow(row + x, x1 - x, composed);
#endif
    for (; x < x1; ++x) {
      const std::uint32_t c = row[x];
      if (c == 0x00FFFFFFu) {
        row[x] = 0;
        continue;
      }
      const std::uint32_t a = c >> 24;
      std::uint32_t r = (ByteAt(c, 16) * a) >> 8, g = (ByteAt(c, 8) * a) >> 8, b = (ByteAt(c, 0) * a) >> 8;
      // Without composition a layered window shows near-white as a see-through hole;
      // such pixels stay a little grey.
      if (!composed && ByteAt(c, 16) > 244 && ByteAt(c, 8) > 244 && ByteAt(c, 0) > 244) {
        r = std::min(244u, r);
        g = std::min(244u, g);
        b = std::min(244u, b);
      }
      row[x] = (c & 0xFF000000u) | (r << 16) | (g << 8) | b;
    }
  }
}

void PremultiplyBitmap(TBitmap* bitmap) {
  if (bitmap) PremultiplyRect(bitmap, Rect(0, 0, bitmap->Width(), bitmap->Height()));
}

// ---------------------------------------------------------------------------
// Copies through the key colour
// ---------------------------------------------------------------------------

void CopyThroughMaskKey(TBitmap* dst, TBitmap* src, const TRect& rect, TPoint srcPoint, int imageIndex,
                        TacSkinData* skinData, int cornerCode) {
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  const long long w = static_cast<long long>(rect.Right) - rect.Left;
  const long long h = static_cast<long long>(rect.Bottom) - rect.Top;

  if (imageIndex == -1) {
    TCopySpan span;
    if (!ClipCopySpan(rect.Left, rect.Top, srcPoint.X, srcPoint.Y, w, h, d.Width, d.Height, s.Width, s.Height, span))
      return;
    for (int r = 0; r < span.H; ++r) {
      std::uint32_t* dr = d.Row(span.DY + r) + span.DX;
      const std::uint32_t* sr = s.Row(span.SY + r) + span.SX;
      for (int c = 0; c < span.W; ++c) {
        dr[c] &= 0x00FFFFFFu;
        if (dr[c] == 0x00FF00FFu) dr[c] = sr[c];
      }
    }
    return;
  }

  // A mask index from a skin is checked like any outside input.
  if (!skinData || imageIndex < 0 || static_cast<size_t>(imageIndex) >= skinData->ma.size()) return;
  const TsMaskData& mask = skinData->ma[imageIndex];
  TBitmap* image = mask.Bmp ? mask.Bmp : (mask.Manager ? mask.Manager->MasterBitmap() : nullptr);
  TPixels32 m;
  if (!GetPixels32(image, m)) return;
  long long mx = mask.R.Left, my = mask.R.Top;
  switch (cornerCode) {
    case 14: mx = static_cast<long long>(mask.R.Left) + mask.Width - mask.WR; break;
    case 16: my = static_cast<long long>(mask.R.Top) + mask.Height - mask.WB; break;
    case 17:
      mx = static_cast<long long>(mask.R.Left) + mask.Width - mask.WR;
      my = static_cast<long long>(mask.R.Top) + mask.Height - mask.WB;
      break;
    default: break;
  }
  // Three bitmaps: the block is clipped to the destination and the source first, then to
  // the mask image, and the source follows whatever the second clip cut.
  TCopySpan span;
  if (!ClipCopySpan(rect.Left, rect.Top, srcPoint.X, srcPoint.Y, w, h, d.Width, d.Height, s.Width, s.Height, span))
    return;
  TCopySpan ms;
  if (!ClipCopySpan(span.DX, span.DY, mx + (span.DX - rect.Left), my + (span.DY - rect.Top), span.W, span.H, d.Width,
                    d.Height, m.Width, m.Height, ms))
    return;
  const int shiftX = ms.DX - span.DX, shiftY = ms.DY - span.DY;
  for (int r = 0; r < ms.H; ++r) {
    std::uint32_t* dr = d.Row(ms.DY + r) + ms.DX;
    const std::uint32_t* sr = s.Row(span.SY + shiftY + r) + span.SX + shiftX;
    const std::uint32_t* mr = m.Row(ms.SY + r) + ms.SX;
    for (int c = 0; c < ms.W; ++c)
      if ((mr[c] & 0x00FFFFFFu) == 0x00FF00FFu) dr[c] = sr[c];
  }
}

// ---------------------------------------------------------------------------
// Icons and the disabled look
// ---------------------------------------------------------------------------

HICON IconFromBitmap32(TBitmap* bitmap) {
  if (!bitmap) return nullptr;
  bitmap->SetPixelFormat(pf32bit);
  TPixels32 p;
  if (!GetPixels32(bitmap, p)) return nullptr;
  TBitmap mask;
  mask.SetPixelFormat(pf8bit);
  mask.SetSize(p.Width, p.Height);
  std::uint8_t* base = nullptr;
  std::intptr_t stride = 0;
  if (!GetPixelBase(&mask, base, stride)) return nullptr;
  for (int y = 0; y < p.Height; ++y) {
    const std::uint32_t* row = p.Row(y);
    std::uint8_t* mrow = base + y * stride;
    for (int x = 0; x < p.Width; ++x) mrow[x] = static_cast<std::uint8_t>(255 - (row[x] >> 24));
  }
  GdiFlush();
  ICONINFO info{TRUE, 0, 0, mask.Handle(), bitmap->Handle()};
  return CreateIconIndirect(&info);
}

void ApplyDisabledLook(TBitmap* bitmap, int flags, TControl* control, const TCacheInfo& cacheInfo, TPoint offset) {
  if (!bitmap || bitmap->Empty()) return;
  if (flags & 2) {
    if (DisabledSaturation == -100)
      GrayscaleBitmap(bitmap);
    else
      ForEachPixel(bitmap, PixelSaturation, DisabledSaturation * 255 / 100, 0xFF00FF);
  }
  if (flags & 1) {
    if (cacheInfo.Ready) {
      const int x = cacheInfo.X + offset.X, y = cacheInfo.Y + offset.Y;
      CopyExceptKey(bitmap, 0, 0, cacheInfo.Bmp, Rect(x, y, x + bitmap->Width(), y + bitmap->Height()),
                    DisabledBlendWeight, 0x00FF00FFu);
    } else {
      const TColor color = cacheInfo.FillColor == 0xFF00FF ? ControlBkColor(control) : cacheInfo.FillColor;
      ColorBlendRect(bitmap, Rect(0, 0, bitmap->Width(), bitmap->Height()), DisabledBlendWeight, color);
    }
  }
}
