#include "skin/graphics/acPixelBlend.h"

#include <algorithm>

#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acPixelVec.h"

namespace {

inline std::uint32_t ByteAt(std::uint32_t value, int shift) { return (value >> shift) & 0xFF; }

// mix(d, s, w) on the three colour bytes; the top byte is given.
inline std::uint32_t MixColour(std::uint32_t d, std::uint32_t s, std::uint32_t w, std::uint32_t top) {
  std::uint32_t result = top;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint32_t dc = ByteAt(d, shift), sc = ByteAt(s, shift);
    result |= ((w * sc + (256 - w) * dc) >> 8) << shift;  // = (w * (s - d) + d * 256) >> 8
  }
  return result;
}

// A source rectangle whose Right and Bottom are the last column and row, limited to the
// source's last column and row: its first column and row and its size.
struct TInclusive {
  long long Left, Top, Width, Height;
};
TInclusive Inclusive(long long left, long long top, const TRect& r, int srcWidth, int srcHeight) {
  const long long right = std::min<long long>(r.Right, srcWidth - 1);
  const long long bottom = std::min<long long>(r.Bottom, srcHeight - 1);
  return TInclusive{left, top, right - left + 1, bottom - top + 1};
}

// Clipping of BlendBitmapRect and AlphaBlendRect: a destination point left of or above
// Dst moves the source rectangle's edge instead; then the block is clipped to both.
bool ClipRectAtPoint(const TPixels32& d, const TPixels32& s, const TRect& srcRect, TPoint dstPoint, TCopySpan& span) {
  long long dx = dstPoint.X, dy = dstPoint.Y, left = srcRect.Left, top = srcRect.Top;
  if (dx < 0) left -= dx, dx = 0;
  if (dy < 0) top -= dy, dy = 0;
  const TInclusive in = Inclusive(left, top, srcRect, s.Width, s.Height);
  return ClipCopySpan(dx, dy, in.Left, in.Top, in.Width, in.Height, d.Width, d.Height, s.Width, s.Height, span);
}

void AlphaBlendSpan(const TPixels32& d, const TPixels32& s, const TCopySpan& span, std::uint8_t opacity) {
  for (int r = 0; r < span.H; ++r) {
    std::uint32_t* dr = d.Row(span.DY + r) + span.DX;
    const std::uint32_t* sr = s.Row(span.SY + r) + span.SX;
    int c = 0;
#if AC_PIXEL_VECTORS
    c = acvec::AlphaBlendRow(dr, sr, span.W, opacity);
#endif
    for (; c < span.W; ++c) {
      const std::uint32_t sp = sr[c];
      const std::uint32_t m = opacity == 255 ? sp >> 24 : ((sp >> 24) * opacity) >> 8;
      if (m == 0) continue;  // leaves colour and alpha as they are
      const std::uint32_t dp = dr[c], da = dp >> 24;
      const std::uint32_t a = std::max(da, (m * m + da * (256 - m)) >> 8);  // ((m - da) * m + da * 256) >> 8
      dr[c] = MixColour(dp, sp, m, a << 24);
    }
  }
}

// Red, green and blue of a mask pixel of 24 or 32 bits.
struct TMaskPixels {
  std::uint8_t* Base = nullptr;
  std::intptr_t Stride = 0;
  int Bytes = 0;
  const std::uint8_t* At(int x, int y) const { return Base + y * Stride + x * Bytes; }
};

}  // namespace

void CopyExceptKey(TBitmap* dst, int x, int y, TBitmap* src, const TRect& srcRect, std::uint8_t dstWeight,
                   std::uint32_t key) {
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  long long dx = x, dy = y, left = srcRect.Left, top = srcRect.Top;
  if (left < 0) dx -= left, left = 0;
  if (top < 0) dy -= top, top = 0;
  const TInclusive in = Inclusive(left, top, srcRect, s.Width, s.Height);
  TCopySpan span;
  if (!ClipCopySpan(dx, dy, in.Left, in.Top, in.Width, in.Height, d.Width, d.Height, s.Width, s.Height, span)) return;
  const std::uint32_t w = dstWeight, v = 255 - dstWeight;
  for (int r = 0; r < span.H; ++r) {
    std::uint32_t* dr = d.Row(span.DY + r) + span.DX;
    const std::uint32_t* sr = s.Row(span.SY + r) + span.SX;
    for (int c = 0; c < span.W; ++c) {
      const std::uint32_t sp = sr[c];
      if (sp == key) continue;
      const std::uint32_t dp = dr[c];
      std::uint32_t result = 0;
      for (int shift = 0; shift < 32; shift += 8)
        result |= ((v * ByteAt(sp, shift) + w * ByteAt(dp, shift)) >> 8) << shift;
      dr[c] = result;
    }
  }
}

void PasteExceptKey(TBitmap* dst, TBitmap* src, int x, int y, TColor key) {
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(key)) & 0x00FFFFFFu;
  // Whatever falls outside Dst is cut from the source's matching side.
  TCopySpan span;
  if (!ClipCopySpan(x, y, 0, 0, s.Width, s.Height, d.Width, d.Height, s.Width, s.Height, span)) return;
  for (int r = 0; r < span.H; ++r) {
    std::uint32_t* dr = d.Row(span.DY + r) + span.DX;
    const std::uint32_t* sr = s.Row(span.SY + r) + span.SX;
    for (int c = 0; c < span.W; ++c)
      if (sr[c] != k) dr[c] = sr[c] | 0xFF000000u;
  }
}

void CopyWithKeyBackground(TBitmap* dst, TBitmap* src, int x, int y, const TRect& srcRect, std::uint32_t key,
                           const TCacheInfo& cacheInfo, bool useBackground) {
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  const TInclusive in =
      Inclusive(std::max(0, srcRect.Left), std::max(0, srcRect.Top), srcRect, s.Width, s.Height);
  TCopySpan span;
  if (!ClipCopySpan(x, y, in.Left, in.Top, in.Width, in.Height, d.Width, d.Height, s.Width, s.Height, span)) return;

  enum { kFromCache, kSelf, kLeave, kFill } mode;
  TPixels32 cache;
  if (useBackground && cacheInfo.Ready && cacheInfo.Bmp)
    mode = cacheInfo.Bmp == dst ? kSelf : (GetPixels32(cacheInfo.Bmp, cache) ? kFromCache : kLeave);
  else
    mode = cacheInfo.Ready ? kLeave : kFill;
  const std::uint32_t fill = (SwapRedBlue(static_cast<std::uint32_t>(cacheInfo.FillColor)) & 0x00FFFFFFu) |
                             (d.Row(0)[0] & 0xFF000000u);

  for (int r = 0; r < span.H; ++r) {
    const int row = span.DY + r;
    std::uint32_t* dr = d.Row(row);
    const std::uint32_t* sr = s.Row(span.SY + r) + span.SX;
    const long long cy = static_cast<long long>(cacheInfo.Y) + row;
    for (int c = 0; c < span.W; ++c) {
      const int col = span.DX + c;
      const std::uint32_t sp = sr[c];
      if (sp != key) {
        dr[col] = mode == kSelf ? sp | 0xFF000000u : sp;
      } else if (mode == kFill) {
        dr[col] = fill;
      } else if (mode == kFromCache) {
        const long long cx = static_cast<long long>(cacheInfo.X) + col;
        if (cx >= 0 && cy >= 0 && cx < cache.Width && cy < cache.Height) dr[col] = cache.Row(int(cy))[cx];
      }
    }
  }
}

void MixExceptKey(TBitmap* dst, TBitmap* src, int x, int y, const TRect& srcRect, TColor key, std::uint8_t weight) {
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(key)) & 0x00FFFFFFu;
  long long dx = x, dy = y, left = srcRect.Left, top = srcRect.Top;
  if (left < 0) dx -= left, left = 0;
  if (top < 0) dy -= top, top = 0;
  const TInclusive in = Inclusive(left, top, srcRect, s.Width, s.Height);
  TCopySpan span;
  if (!ClipCopySpan(dx, dy, in.Left, in.Top, in.Width, in.Height, d.Width, d.Height, s.Width, s.Height, span)) return;
  for (int r = 0; r < span.H; ++r) {
    std::uint32_t* dr = d.Row(span.DY + r) + span.DX;
    const std::uint32_t* sr = s.Row(span.SY + r) + span.SX;
    for (int c = 0; c < span.W; ++c) {
      const std::uint32_t sp = sr[c];
      if (sp == k) continue;
      dr[c] = weight == 0 ? sp : MixColour(dr[c], sp, weight, dr[c] & 0xFF000000u);
    }
  }
}

void BlendBitmapWithColor(TBitmap* bmp, std::uint8_t weight, TColor color) {
  TPixels32 p;
  if (!GetPixels32(bmp, p)) return;
  const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(color));
  const std::uint32_t w = weight, v = 255 - weight;
  for (int y = 0; y < p.Height; ++y) {
    auto* row = static_cast<std::uint32_t*>(bmp->ScanLine(y));
    for (int x = 0; x < p.Width; ++x) {
      const std::uint32_t c = row[x];
      if (c == 0x00FF00FFu) continue;
      std::uint32_t result = c & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8)
        result |= ((ByteAt(c, shift) * w + ByteAt(k, shift) * v) >> 8) << shift;
      row[x] = result;
    }
  }
}

void ColorizeByMask(TBitmap* bmp, TBitmap* mask, TColor color) {
  TPixels32 p, m;
  if (!GetPixels32(bmp, p) || !GetPixels32(mask, m) || m.Width != p.Width || m.Height != p.Height) return;
  const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(color));
  for (int y = 0; y < p.Height; ++y) {
    std::uint32_t* row = p.Row(y);
    const std::uint32_t* mrow = m.Row(y);
    for (int x = 0; x < p.Width; ++x) {
      const std::uint32_t c = row[x], mp = mrow[x];
      std::uint32_t result = c & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t mk = ByteAt(mp, shift), kc = ByteAt(k, shift);
        result |= ((ByteAt(c, shift) * mk + kc * (256 - mk)) >> 8) << shift;  // ((c - C) * m + C * 256) >> 8
      }
      row[x] = result;
    }
  }
}

void BlendBitmapOver(TBitmap* dst, TBitmap* src) {
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s) || d.Width != s.Width || d.Height != s.Height) return;
  for (int y = 0; y < d.Height; ++y) {
    std::uint32_t* dr = d.Row(y);
    const std::uint32_t* sr = s.Row(y);
    for (int x = 0; x < d.Width; ++x) dr[x] = MixColour(dr[x], sr[x], sr[x] >> 24, dr[x] & 0xFF000000u);
  }
}

void BlendBitmapRect(TBitmap* dst, TBitmap* src, std::uint8_t dstWeight, const TRect& srcRect, TPoint dstPoint) {
  TPixels32 d, s;
  TCopySpan span;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s) || !ClipRectAtPoint(d, s, srcRect, dstPoint, span)) return;
  const std::uint32_t w = dstWeight, v = 256 - dstWeight;
  for (int r = 0; r < span.H; ++r) {
    std::uint32_t* dr = d.Row(span.DY + r) + span.DX;
    const std::uint32_t* sr = s.Row(span.SY + r) + span.SX;
    int c = 0;
#if AC_PIXEL_VECTORS
    c = acvec::BlendRow(dr, sr, span.W, w);
#endif
    for (; c < span.W; ++c) {
      const std::uint32_t dp = dr[c], sp = sr[c];
      // (w * (d - s) + s * 256) >> 8 = (w * d + (256 - w) * s) >> 8, never negative
      dr[c] = (((w * (dp >> 24) + v * (sp >> 24)) >> 8) << 24) |
              (((w * ByteAt(dp, 16) + v * ByteAt(sp, 16)) >> 8) << 16) |
              (((w * ByteAt(dp, 8) + v * ByteAt(sp, 8)) >> 8) << 8) | ((w * ByteAt(dp, 0) + v * ByteAt(sp, 0)) >> 8);
    }
  }
}

void AlphaBlendRect(TBitmap* dst, TBitmap* src, const TRect& srcRect, TPoint dstPoint, std::uint8_t opacity) {
  TPixels32 d, s;
  TCopySpan span;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s) || !ClipRectAtPoint(d, s, srcRect, dstPoint, span)) return;
  AlphaBlendSpan(d, s, span, opacity);
}

void StretchAlphaBlend(TBitmap* dst, int x, int y, int dstW, int dstH, TBitmap* src, int srcX, int srcY, int srcW,
                       int srcH, std::uint8_t opacity) {
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  long long X = x, Y = y, SX = srcX, SY = srcY;
  if (X < 0) SX -= X, X = 0;
  if (Y < 0) SY -= Y, Y = 0;
  if (SX < 0) X -= SX, SX = 0;
  if (SY < 0) Y -= SY, SY = 0;
  if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return;
  if (X >= d.Width || Y >= d.Height || SX >= s.Width || SY >= s.Height) return;
  // Only the part that lands in Dst is worth stretching.
  const int w = static_cast<int>(std::min<long long>(dstW, d.Width - X));
  const int h = static_cast<int>(std::min<long long>(dstH, d.Height - Y));
  auto work = NewBitmap32(w, h);
  TPixels32 t;
  if (!GetPixels32(work.get(), t)) return;
  {
    HDC wdc = work->Canvas().Handle();
    const int oldMode = SetStretchBltMode(wdc, COLORONCOLOR);
    // The whole DstW x DstH picture, of which the work bitmap keeps the top-left part.
    StretchBlt(wdc, 0, 0, dstW, dstH, src->Canvas().Handle(), int(SX), int(SY), srcW, srcH, SRCCOPY);
    SetStretchBltMode(wdc, oldMode);
  }
  if (!GetPixels32(work.get(), t) || !GetPixels32(dst, d)) return;
  TCopySpan span;
  if (ClipCopySpan(X, Y, 0, 0, w, h, d.Width, d.Height, t.Width, t.Height, span)) AlphaBlendSpan(d, t, span, opacity);
}

void MixTwoBitmaps(TBitmap* dst, TBitmap* a, TBitmap* b, TBitmap* mask, std::uint16_t weight) {
  TPixels32 d, pa, pb, m;
  if (!GetPixels32(dst, d) || !GetPixels32(a, pa) || !GetPixels32(b, pb)) return;
  if (pa.Width != pb.Width || pa.Height != pb.Height) return;
  const bool masked = mask != nullptr;
  if (masked && (!GetPixels32(mask, m) || m.Width != pa.Width || m.Height != pa.Height)) return;
  // Beyond 256 the mix would leave the byte range.
  const std::uint32_t w = std::min<std::uint32_t>(weight, 256);
  const int width = std::min(d.Width, pa.Width), height = std::min(d.Height, pa.Height);
  for (int y = 0; y < height; ++y) {
    std::uint32_t* dr = d.Row(y);
    const std::uint32_t *ar = pa.Row(y), *br = pb.Row(y);
    const std::uint32_t* mr = masked ? m.Row(y) : nullptr;
    for (int x = 0; x < width; ++x) {
      std::uint32_t result = dr[x] & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t k = masked ? ByteAt(mr[x], shift) : w;
        result |= ((k * ByteAt(ar[x], shift) + (256 - k) * ByteAt(br[x], shift)) >> 8) << shift;
      }
      dr[x] = result;
    }
  }
}

void PaintColorByMask(TBitmap* dst, TBitmap* mask, TPoint point, TColor color, TColor backColor) {
  TPixels32 d;
  TMaskPixels m;
  if (!GetPixels32(dst, d) || !mask || (mask->BitsPerPixel() != 32 && mask->BitsPerPixel() != 24)) return;
  if (!GetPixelBase(mask, m.Base, m.Stride)) return;
  m.Bytes = mask->BitsPerPixel() / 8;
  TCopySpan span;
  if (!ClipCopySpan(point.X, point.Y, 0, 0, mask->Width(), mask->Height(), d.Width, d.Height, mask->Width(),
                    mask->Height(), span))
    return;
  const std::uint32_t c = SwapRedBlue(static_cast<std::uint32_t>(color));
  const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(backColor));
  const bool twoColours = backColor != clNone;
  const bool byAlpha = !twoColours && mask->PixelFormat() == pf32bit;
  for (int r = 0; r < span.H; ++r) {
    std::uint32_t* dr = d.Row(span.DY + r) + span.DX;
    for (int col = 0; col < span.W; ++col) {
      const std::uint8_t* mp = m.At(span.SX + col, span.SY + r);
      const std::uint32_t dp = dr[col];
      std::uint32_t result = dp & 0xFF000000u;
      if (twoColours) {
        const std::uint32_t g = 255 - (mp[0] + mp[1] + mp[2]) / 3;
        for (int shift = 0; shift < 24; shift += 8)  // ((C - K) * g + K * 256) >> 8
          result |= ((ByteAt(c, shift) * g + ByteAt(k, shift) * (256 - g)) >> 8) << shift;
        dr[col] = result;
      } else {
        const std::uint32_t w = byAlpha ? mp[3] : 255 - (mp[0] + mp[1] + mp[2]) / 3;
        dr[col] = MixColour(dp, c, w, result);
      }
    }
  }
}

std::unique_ptr<TBitmap> AlphaImageFromMasked(TBitmap* bmp, const TRect& r) {
  TPixels32 s;
  if (!GetPixels32(bmp, s)) return nullptr;
  const long long w = std::max(0LL, static_cast<long long>(r.Right) - r.Left);
  const long long h = std::max(0LL, static_cast<long long>(r.Bottom) - r.Top) / 2;
  if (w == 0 || h == 0) return nullptr;
  auto result = NewBitmap32(int(std::min<long long>(w, INT32_MAX)), int(std::min<long long>(h, INT32_MAX)));
  TPixels32 t;
  if (!GetPixels32(result.get(), t)) return nullptr;
  TCopySpan span;
  if (ClipCopySpan(0, 0, r.Left, r.Top, w, h, t.Width, t.Height, s.Width, s.Height, span))
    for (int y = 0; y < span.H; ++y)
      std::copy_n(s.Row(span.SY + y) + span.SX, span.W, t.Row(span.DY + y) + span.DX);
  if (ClipCopySpan(0, 0, r.Left, static_cast<long long>(r.Top) + h, w, h, t.Width, t.Height, s.Width, s.Height, span))
    for (int y = 0; y < span.H; ++y) {
      std::uint32_t* tr = t.Row(span.DY + y) + span.DX;
      const std::uint32_t* mr = s.Row(span.SY + y) + span.SX;
      for (int x = 0; x < span.W; ++x) tr[x] = (tr[x] & 0x00FFFFFFu) | ((255 - ByteAt(mr[x], 16)) << 24);
    }
  return result;
}

std::unique_ptr<TBitmap> MaskedImageFromAlpha(TBitmap* bmp) {
  TPixels32 s;
  if (!GetPixels32(bmp, s)) return nullptr;
  auto result = NewBitmap32(s.Width, s.Height > INT32_MAX / 2 ? 0 : 2 * s.Height);
  TPixels32 t;
  if (!GetPixels32(result.get(), t) || !GetPixels32(bmp, s)) return nullptr;
  for (int y = 0; y < s.Height; ++y) {
    const std::uint32_t* sr = s.Row(y);
    std::copy_n(sr, s.Width, t.Row(y));
    std::uint32_t* mr = t.Row(s.Height + y);
    for (int x = 0; x < s.Width; ++x) {
      const std::uint32_t g = 255 - (sr[x] >> 24);
      mr[x] = 0xFF000000u | (g << 16) | (g << 8) | g;
    }
  }
  return result;
}
