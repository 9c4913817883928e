#include "skin/graphics/sGraphUtils.NineSlice.h"

#include <algorithm>
#include <vector>

#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

const TCacheInfo EmptyCacheInfo{};

namespace {

// Work bitmaps kept for the next call: enough for a section painted over a control while
// a nested painter takes its own.
constexpr std::size_t KeptWorkBitmaps = 4;
thread_local std::vector<std::unique_ptr<TBitmap>> KeptWork;

long long Area(const TBitmap& b) { return static_cast<long long>(b.Width()) * b.Height(); }

}  // namespace

TWorkBitmap::TWorkBitmap(int width, int height, bool clear) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  auto best = KeptWork.end();
  for (auto it = KeptWork.begin(); it != KeptWork.end(); ++it)
    if ((*it)->Width() >= width && (*it)->Height() >= height && (best == KeptWork.end() || Area(**it) < Area(**best)))
      best = it;
  if (best == KeptWork.end() || width == 0 || height == 0) {
    FBmp = NewBitmap32(width, height);  // new: already white with alpha 0
    return;
  }
  FBmp = std::move(*best);
  KeptWork.erase(best);
  if (clear) FillRectArgb(FBmp.get(), Rect(0, 0, width, height), 0xFFFFFF, 0);
}

TWorkBitmap::~TWorkBitmap() {
  if (Empty()) return;
  try {
    KeptWork.push_back(std::move(FBmp));
    if (KeptWork.size() > KeptWorkBitmaps) {
      auto smallest = std::min_element(KeptWork.begin(), KeptWork.end(),
                                       [](const auto& a, const auto& b) { return Area(*a) < Area(*b); });
      KeptWork.erase(smallest);
    }
  } catch (...) {
    // Not kept: the bitmap is simply freed.
  }
}

namespace {

constexpr std::uint32_t KeyPixel = 0x00FF00FFu;

TBitmap* SourceOf(const TsMaskData& mask) {
  if (mask.Bmp) return mask.Bmp;
  return mask.Manager ? mask.Manager->MasterBitmap() : nullptr;
}

// Cell index of a state: past the last cell the last, and never below 0 (an image without
// cells, or a negative state, takes the first).
int CellIndex(const TsMaskData& mask, int state) {
  int c = state < mask.ImageCount ? state : mask.ImageCount - 1;
  return c < 0 ? 0 : c;
}

// A block copy clipped to both bitmaps.
void BlitClipped(TBitmap* dst, int dx, int dy, int w, int h, TBitmap* src, int sx, int sy) {
  TCopySpan span;
  if (!ClipCopySpan(dx, dy, sx, sy, w, h, dst->Width(), dst->Height(), src->Width(), src->Height(), span)) return;
  BitBlt(dst->Canvas().Handle(), span.DX, span.DY, span.W, span.H, src->Canvas().Handle(), span.SX, span.SY, SRCCOPY);
}

// A stretch whose source is cut to the source bitmap (a skin's rectangle may reach past
// it); the destination is clipped by GDI.
void StretchClipped(TBitmap* dst, int dx, int dy, int dw, int dh, TBitmap* src, int sx, int sy, int sw, int sh) {
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const int l = std::max(sx, 0), t = std::max(sy, 0);
  const int r = std::min(sx + sw, src->Width()), b = std::min(sy + sh, src->Height());
  if (r <= l || b <= t) return;
  StretchBlt(dst->Canvas().Handle(), dx, dy, dw, dh, src->Canvas().Handle(), l, t, r - l, b - t, SRCCOPY);
}

// Whole tiles of length S from P while one more fits before End, then one cut tile.
template <class F>
void TileAlong(int p, int end, int s, F&& place) {
  while (s > 0 && p < end - s) {
    place(p, s);
    p += s;
  }
  if (p < end) place(p, end - p);
}

std::uint32_t MixChannel(std::uint32_t d, std::uint32_t s, std::uint32_t w) {
  // ((d - s) * w + s * 256) >> 8 never goes below 0 for w < 256.
  return static_cast<std::uint32_t>((static_cast<int>(d) - static_cast<int>(s)) * static_cast<int>(w) +
                                    static_cast<int>(s) * 256) >>
         8;
}

std::uint32_t MixPixelByMask(std::uint32_t d, std::uint32_t s, std::uint32_t k, bool faded, bool perChannelMask) {
  std::uint32_t out = 0;
  for (int sh = 0; sh < 24; sh += 8) {
    std::uint32_t w = perChannelMask ? (k >> sh) & 0xFF : k & 0xFF;
    if (faded) w = std::min<std::uint32_t>(w + 100, 255);
    out |= (MixChannel((d >> sh) & 0xFF, (s >> sh) & 0xFF, w) & 0xFF) << sh;
  }
  return out;
}

}  // namespace

void PaintMaskNineSlice(TBitmap* bmp, const TRect& r, const TCacheInfo& ci, const TsMaskData& md, int state,
                        bool updateCorners) {
  if (!bmp || (state == 0 && (md.DrawMode & 0x02))) return;
  const int width = r.Right - r.Left, height = r.Bottom - r.Top;
  if (width < 2 || height < 2 || !md.Manager) return;

  int wl = md.WL, wt = md.WT, wr = md.WR, wb = md.WB;
  if (width < wl + wr) {
    const int e = wl + wr - width, h = e / 2;
    wl -= h;
    wr -= h + (e % 2);
    wl = std::max(wl, 0);
    wr = std::max(wr, 0);
  }
  if (height < wt + wb) {
    const int e = wt + wb - height, h = e / 2;
    wt -= h;
    wb -= h + (e % 2);
    wt = std::max(wt, 0);
    wb = std::max(wb, 0);
  }
  const int c = CellIndex(md, state);
  const int cx = md.R.Left + c * md.Width, cy = md.R.Top;
  const int cw = md.Width - wl - wr, ch = md.Height - wt - wb;
  if (cw < 0 || ch < 0) return;
  const int sb = cy + md.Height - wb;

  TBitmap* src = SourceOf(md);
  if (!src || src->Empty()) return;
  const bool stretch = (md.DrawMode & 0x01) != 0;
  if (stretch) SetStretchBltMode(bmp->Canvas().Handle(), COLORONCOLOR);
  const bool corners = updateCorners && (md.Cfg & 3) != 0;
  const bool masked = md.MaskType > 0;
  const bool alpha = !masked && (md.DrawMode & 0x10) != 0;
  const int L = r.Left, T = r.Top, Rt = r.Right, B = r.Bottom;

  auto corner = [&](int x, int y, int w, int h, int sx, int sy) {
    if (w <= 0 || h <= 0) return;
    if (masked)
      DrawImageThroughMask(Rect(x, y, x + w, y + h), Rect(sx, sy, sx + w, sy + h), bmp, src, ci, corners, md);
    else if (alpha)
      AlphaBlendRect(bmp, src, Rect(sx, sy, sx + w - 1, sy + h - 1), Point(x, y), 255);
    else
      CopyWithKeyBackground(bmp, src, x, y, Rect(sx, sy, sx + w - 1, sy + h - 1), KeyPixel, ci, corners);
  };
  // One tile: W x H at (X, Y) from the piece (SX, SY, PW x PH).
  auto tile = [&](int x, int y, int w, int h, int sx, int sy, int pw, int ph) {
    if (w <= 0 || h <= 0) return;
    if (masked)
      DrawImageThroughMask(Rect(x, y, x + w, y + h), Rect(sx, sy, sx + pw, sy + ph), bmp, src, EmptyCacheInfo, false,
                           md);
    else if (alpha)
      AlphaBlendRect(bmp, src, Rect(sx, sy, sx + w - 1, sy + h - 1), Point(x, y), 255);
    else
      BlitClipped(bmp, x, y, w, h, src, sx, sy);
  };
  auto stretched = [&](int x, int y, int w, int h, int sx, int sy, int sw, int sh, bool smooth) {
    if (w <= 0 || h <= 0) return;
    if (masked)
      StretchMaskedPiece(x, y, w, h, sx, sy, sw, sh, bmp, src, md.Height, smooth);
    else if (alpha)
      StretchAlphaBlend(bmp, x, y, w, h, src, sx, sy, sw, sh, 255);
    else
      StretchClipped(bmp, x, y, w, h, src, sx, sy, sw, sh);
  };
  // A tiled side of key-colour or alpha pieces lying wholly inside Bmp and its piece wholly
  // inside the source: the first tile, then the run painted so far copied after itself, so
  // a long side takes a few blits instead of one per tile (an alpha side is built so in a
  // work strip and blended once). The pixels are those of tile-by-tile painting, as the
  // side repeats with the tile's period either way. False: tile by tile.
  auto doubled = [&](int x, int y, int w, int h, int sx, int sy, int pw, int ph, bool across) {
    const int len = across ? w : h, period = across ? pw : ph;
    if (masked || period <= 0 || len <= period || x < 0 || y < 0 || x + w > bmp->Width() || y + h > bmp->Height() ||
        sx < 0 || sy < 0 || sx + pw > src->Width() || sy + ph > src->Height())
      return false;
    auto run = [&](HDC dc, int ox, int oy) {
      BitBlt(dc, ox, oy, across ? period : w, across ? h : period, src->Canvas().Handle(), sx, sy, SRCCOPY);
      for (int done = period; done < len;) {
        const int n = std::min(done, len - done);
        if (across)
          BitBlt(dc, ox + done, oy, n, h, dc, ox, oy, SRCCOPY);
        else
          BitBlt(dc, ox, oy + done, w, n, dc, ox, oy, SRCCOPY);
        done += n;
      }
    };
    if (!alpha) {
      run(bmp->Canvas().Handle(), x, y);
      return true;
    }
    TWorkBitmap strip(w, h, false);
    if (strip.Empty()) return false;
    run(strip->Canvas().Handle(), 0, 0);
    AlphaBlendRect(bmp, strip.get(), Rect(0, 0, w - 1, h - 1), Point(x, y), 255);
    return true;
  };
  // A vertical side (X, W fixed) and a horizontal side (Y, H fixed).
  auto sideV = [&](int x, int w, int y0, int y1, int sx, int sy) {
    if (stretch)
      stretched(x, y0, w, y1 - y0, sx, sy, w, ch, false);
    else if (w > 0 && !doubled(x, y0, w, y1 - y0, sx, sy, w, ch, false))
      TileAlong(y0, y1, ch, [&](int p, int len) { tile(x, p, w, len, sx, sy, w, ch); });
  };
  auto sideH = [&](int y, int h, int x0, int x1, int sx, int sy) {
    if (stretch)
      stretched(x0, y, x1 - x0, h, sx, sy, cw, h, false);
    else if (h > 0 && !doubled(x0, y, x1 - x0, h, sx, sy, cw, h, true))
      TileAlong(x0, x1, cw, [&](int p, int len) { tile(p, y, len, h, sx, sy, cw, h); });
  };

  corner(L, T, wl, wt, cx, cy);                             // 1 top-left
  sideV(L, wl, T + wt, B - wb, cx, cy + wt);                // 2 left
  sideH(T, wt, L + wl, Rt - wr, cx + wl, cy);               // 3 top
  corner(L, B - wb, wl, wb, cx, sb);                        // 4 bottom-left
  sideH(B - wb, wb, L + wl, Rt - wr, cx + wl, sb);          // 5 bottom
  corner(Rt - wr, B - wb, wr, wb, cx + wl + cw, sb);        // 6 bottom-right
  corner(Rt - wr, T, wr, wt, cx + wl + cw, cy);             // 7 top-right
  sideV(Rt - wr, wr, T + wt, B - wb, cx + wl + cw, cy + wt);  // 8 right
  if (md.DrawMode & 0x04) {                                 // 9 centre
    const int x0 = L + wl, x1 = Rt - wr, y0 = T + wt, y1 = B - wb;
    if (stretch)
      stretched(x0, y0, x1 - x0, y1 - y0, cx + wl, cy + wt, cw, ch, true);
    else
      TileAlong(y0, y1, ch, [&](int py, int lh) {
        TileAlong(x0, x1, cw, [&](int px, int lw) { tile(px, py, lw, lh, cx + wl, cy + wt, cw, ch); });
      });
  }
}

void StretchMaskedPiece(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH, TBitmap* dst, TBitmap* src,
                        int maskOffset, bool smooth) {
  if (!dst || !src || x < 0 || y < 0 || w <= 0 || h <= 0 || dst->Width() < 2 || dst->Height() < 2) return;
  if (maskOffset == 0) {
    StretchClipped(dst, x, y, w, h, src, srcX, srcY, srcW, srcH);
    return;
  }
  // The image and its mask must both lie inside the source.
  if (srcX < 0 || srcY < 0 || srcW <= 0 || srcH <= 0 || srcX + srcW > src->Width() || srcY + srcH > src->Height())
    return;
  const int maskY = srcY + maskOffset;
  if (maskY < 0 || maskY + srcH > src->Height()) return;
  TPixels32 d;
  if (!GetPixels32(dst, d)) return;
  const int cw = std::min(w, d.Width - x), chh = std::min(h, d.Height - y);
  if (cw <= 0 || chh <= 0) return;

  if (smooth && srcW == 1 && srcH == 1) {
    TPixels32 s;
    if (!GetPixels32(src, s)) return;
    const std::uint32_t c = s.Row(srcY)[srcX];
    const std::uint32_t m = (s.Row(maskY)[srcX] >> 16) & 0xFF;
    if (m == 0) {
      FillRectArgb(dst, Rect(x, y, x + w, y + h), static_cast<TColor>(SwapRedBlue(c) & 0xFFFFFF), 255);
    } else if (m != 255) {
      for (int row = 0; row < chh; ++row) {
        std::uint32_t* dr = d.Row(y + row) + x;
        for (int col = 0; col < cw; ++col) dr[col] = (dr[col] & 0xFF000000u) | MixPixelByMask(dr[col], c, m, false, false);
      }
    }
    return;
  }

  auto image = NewBitmap32(w, h), mask = NewBitmap32(w, h);
  if (image->Empty() || mask->Empty()) return;
  const bool filtered = w > 1 && h > 1 &&
                        ((srcW > w && srcH == h) || (srcW == w && srcH > h) || smooth);
  if (filtered) {
    auto scaleInto = [&](TBitmap* target, int sy) {
      auto work = NewBitmap32(std::max(srcW, 2), std::max(srcH, 2));
      if (work->Empty()) return;
      HDC wdc = work->Canvas().Handle();
      HDC sdc = src->Canvas().Handle();
      BitBlt(wdc, 0, 0, srcW, srcH, sdc, srcX, sy, SRCCOPY);
      if (srcW == 1) BitBlt(wdc, 1, 0, 1, srcH, sdc, srcX, sy, SRCCOPY);
      if (srcH == 1) BitBlt(wdc, 0, 1, std::max(srcW, 2), 1, wdc, 0, 0, SRCCOPY);
      StretchBitmapFiltered(work.get(), target, w, h, 6);
    };
    scaleInto(image.get(), srcY);
    scaleInto(mask.get(), maskY);
  } else {
    HDC sdc = src->Canvas().Handle();
    StretchBlt(image->Canvas().Handle(), 0, 0, w, h, sdc, srcX, srcY, srcW, srcH, SRCCOPY);
    StretchBlt(mask->Canvas().Handle(), 0, 0, w, h, sdc, srcX, maskY, srcW, srcH, SRCCOPY);
  }
  TPixels32 ip, mp;
  if (!GetPixels32(image.get(), ip) || !GetPixels32(mask.get(), mp) || !GetPixels32(dst, d)) return;
  const int rows = std::min(chh, std::min(ip.Height, mp.Height)), cols = std::min(cw, std::min(ip.Width, mp.Width));
  for (int row = 0; row < rows; ++row) {
    std::uint32_t* dr = d.Row(y + row) + x;
    const std::uint32_t* ir = ip.Row(row);
    const std::uint32_t* mr = mp.Row(row);
    for (int col = 0; col < cols; ++col) dr[col] = 0xFF000000u | MixPixelByMask(dr[col], ir[col], mr[col], false, true);
  }
}

void CopyMaskedFromMaster(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, const TCacheInfo& ci,
                          const TsMaskData& md) {
  if (!md.Manager || !dst) return;
  TBitmap* master = md.Manager->MasterBitmap();
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(master, s)) return;
  const int g = (md.R.Bottom - md.R.Top) / 2;
  long long dx = dstRect.Left, dy = dstRect.Top, sx = srcRect.Left, sy = srcRect.Top;
  long long w = std::min<long long>(dstRect.Right - dstRect.Left, srcRect.Right - srcRect.Left);
  long long h = std::min<long long>(dstRect.Bottom - dstRect.Top, srcRect.Bottom - srcRect.Top);
  // The mask rows lie G below the image rows: both must be inside the master bitmap.
  if (g < 0) return;
  TCopySpan span;
  if (!ClipCopySpan(dx, dy, sx, sy, w, h, d.Width, d.Height, s.Width, s.Height - g, span)) return;
  const std::uint32_t fill = SwapRedBlue(static_cast<std::uint32_t>(ci.FillColor));
  const bool useFill = ci.FillColor != 0xFF00FF;
  TPixels32 cache;
  const bool useCache = !useFill && ci.Ready && ci.Bmp && GetPixels32(ci.Bmp, cache);
  for (int row = 0; row < span.H; ++row) {
    std::uint32_t* dr = d.Row(span.DY + row);
    const std::uint32_t* sr = s.Row(span.SY + row) + span.SX;
    const std::uint32_t* mr = s.Row(span.SY + row + g) + span.SX;
    for (int col = 0; col < span.W; ++col) {
      const int x = span.DX + col;
      std::uint32_t& p = dr[x];
      if (sr[col] == KeyPixel) {
        if (useFill) {
          p = fill;
        } else if (useCache) {
          const long long cx = static_cast<long long>(ci.X) + x, cy = static_cast<long long>(ci.Y) + span.DY + row;
          if (cx >= 0 && cy >= 0 && cx < cache.Width && cy < cache.Height) p = cache.Row(static_cast<int>(cy))[cx];
        }
      } else {
        p = (p & 0xFF000000u) | MixPixelByMask(p, sr[col], mr[col], false, true);
      }
    }
  }
}

void DrawMaskStateImage(TBitmap* bmp, TPoint point, int state, int mode, const TsMaskData& md, const TCacheInfo& ci) {
  if (!bmp) return;
  const int W = md.Width, H = md.Height;
  if (W <= 0 || H <= 0) return;
  const int cellLeft = md.R.Left + CellIndex(md, state) * W;
  TRect src = Rect(cellLeft, md.R.Top, cellLeft + W - 1, md.R.Top + H - 1);
  TRect dst = Rect(point.X, point.Y, point.X + W - 1, point.Y + H - 1);
  // An image hanging over the left or top edge is cut there rather than moved.
  if (dst.Left < 0) {
    src.Left -= dst.Left;
    dst.Left = 0;
  }
  if (dst.Top < 0) {
    src.Top -= dst.Top;
    dst.Top = 0;
  }
  if (src.Left > src.Right || src.Top > src.Bottom) return;

  if (md.Bmp) {
    if (md.Bmp->Width() < md.R.Right || md.Bmp->Height() < md.R.Bottom) return;
    DrawMaskCell(dst, src, bmp, md.Bmp, mode, md);
    return;
  }
  if (!md.Manager || md.ImageCount <= 0) return;
  TBitmap* master = md.Manager->MasterBitmap();
  if (md.MaskType > 0) {
    DrawMaskCell(dst, src, bmp, master, mode, md);
  } else if (md.DrawMode & 0x10) {
    AlphaBlendRect(bmp, master, src, Point(dst.Left, dst.Top), mode == 1 ? 255 : 127);
  } else if (mode == 1) {
    CopyWithKeyBackground(bmp, master, dst.Left, dst.Top, src, KeyPixel, ci, true);
  } else {
    CopyExceptKey(bmp, dst.Left, dst.Top, master, src, 127, KeyPixel);
  }
}

void DrawMaskCell(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src, int mode,
                  const TsMaskData& md) {
  if (!dst || !src) return;
  const bool masked = md.MaskType > 0;  // a negative type counts as no mask
  if (!masked && !(md.DrawMode & 0x10)) {
    MixExceptKey(dst, src, dstRect.Left, dstRect.Top, srcRect, 0xFF00FF, mode == 1 ? 0 : 150);
    return;
  }
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  const int g = masked ? (md.R.Bottom - md.R.Top) / (md.MaskType + 1) : 0;
  if (g < 0) return;
  TCopySpan span;
  if (!ClipCopySpan(dstRect.Left, dstRect.Top, srcRect.Left, srcRect.Top,
                    std::min<long long>(static_cast<long long>(dstRect.Right) - dstRect.Left,
                                        static_cast<long long>(srcRect.Right) - srcRect.Left) + 1,
                    std::min<long long>(static_cast<long long>(dstRect.Bottom) - dstRect.Top,
                                        static_cast<long long>(srcRect.Bottom) - srcRect.Top) + 1,
                    d.Width, d.Height, s.Width, s.Height - g, span))
    return;
  const bool faded = mode != 1;
  for (int row = 0; row < span.H; ++row) {
    std::uint32_t* dr = d.Row(span.DY + row) + span.DX;
    const std::uint32_t* sr = s.Row(span.SY + row) + span.SX;
    const std::uint32_t* mr = masked ? s.Row(span.SY + row + g) + span.SX : nullptr;
    for (int col = 0; col < span.W; ++col) {
      const std::uint32_t dp = dr[col], sp = sr[col];
      const std::uint32_t a = dp >> 24;
      if (masked) {
        const std::uint32_t k = mr[col], kr = (k >> 16) & 0xFF;
        std::uint32_t colour = dp & 0xFFFFFF;
        if (sp != KeyPixel && kr != 255) colour = MixPixelByMask(dp, sp, k, faded, true);
        dr[col] = colour | ((a + (((255 - a) * (255 - kr)) >> 8)) << 24);
      } else {
        const std::uint32_t sa = sp >> 24;
        std::uint32_t t = 255 - sa;
        if (faded) t = std::min<std::uint32_t>(t + 100, 255);
        dr[col] = MixPixelByMask(dp, sp, t, false, false) | ((a + (((255 - a) * sa) >> 8)) << 24);
      }
    }
  }
}

void PaintMaskNineSliceAlpha(TBitmap*, const TRect&, const TCacheInfo&, const TsMaskData&, int, const TRect&,
                             std::uint8_t) {}
