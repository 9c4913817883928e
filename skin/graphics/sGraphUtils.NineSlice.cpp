#include "skin/graphics/sGraphUtils.NineSlice.h"

#include <algorithm>
#include <functional>
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

namespace {

void ShrinkMargins(int size, int& a, int& b) {
  if (size >= a + b) return;
  // The excess comes off both margins alike, an odd pixel off the second.
  const int e = a + b - size, h = e / 2;
  a = std::max(a - h, 0);
  b = std::max(b - (h + e % 2), 0);
}

// Where the nine pieces of one painting lie and what they read: the margins shrunk to the
// rectangle, the state's cell and its source centre, and how deep each side reaches into
// its margin (all of it, or less for an outer effect that reaches only so far beyond the
// body it surrounds; a shallow side takes the outer part of its margin).
struct TNineGeometry {
  TBitmap* Src = nullptr;
  int L = 0, T = 0, Rt = 0, B = 0;
  int WL = 0, WT = 0, WR = 0, WB = 0;
  int DL = 0, DT = 0, DR = 0, DB = 0;
  int CX = 0, CY = 0, CW = 0, CH = 0;
  bool Stretch = false;
};

// False when nothing is to be painted. A stretched image sets Bmp's canvas to COLORONCOLOR.
bool NineGeometry(TBitmap* bmp, const TRect& r, const TsMaskData& md, int state, TNineGeometry& g) {
  if (!bmp || (state == 0 && (md.DrawMode & 0x02))) return false;
  const int width = r.Right - r.Left, height = r.Bottom - r.Top;
  if (width < 2 || height < 2 || !md.Manager) return false;
  g.WL = md.WL, g.WT = md.WT, g.WR = md.WR, g.WB = md.WB;
  ShrinkMargins(width, g.WL, g.WR);
  ShrinkMargins(height, g.WT, g.WB);
  const int c = CellIndex(md, state);
  g.CX = md.R.Left + c * md.Width;
  g.CY = md.R.Top;
  g.CW = md.Width - g.WL - g.WR;
  g.CH = md.Height - g.WT - g.WB;
  if (g.CW < 0 || g.CH < 0) return false;
  g.Src = SourceOf(md);
  if (!g.Src || g.Src->Empty()) return false;
  g.L = r.Left, g.T = r.Top, g.Rt = r.Right, g.B = r.Bottom;
  g.DL = g.WL, g.DT = g.WT, g.DR = g.WR, g.DB = g.WB;
  g.Stretch = (md.DrawMode & 0x01) != 0;
  if (g.Stretch) SetStretchBltMode(bmp->Canvas().Handle(), COLORONCOLOR);
  return true;
}

// Sides only as deep as the overhang (a negative depth from the skin counts as none).
void LimitDepths(TNineGeometry& g, const TRect& overhang) {
  g.DL = std::min(g.WL, std::max(overhang.Left, 0));
  g.DT = std::min(g.WT, std::max(overhang.Top, 0));
  g.DR = std::min(g.WR, std::max(overhang.Right, 0));
  g.DB = std::min(g.WB, std::max(overhang.Bottom, 0));
}

// How the pieces of one mode reach the bitmap.
struct TNineTransfer {
  // A corner: W x H at (X, Y) from (SX, SY).
  std::function<void(int x, int y, int w, int h, int sx, int sy)> Corner;
  // One tile: W x H at (X, Y) from the piece (SX, SY, PW x PH).
  std::function<void(int x, int y, int w, int h, int sx, int sy, int pw, int ph)> Tile;
  std::function<void(int x, int y, int w, int h, int sx, int sy, int sw, int sh, bool smooth)> Stretched;
  // Tiles of plain pixels may be laid by doubling what is painted: copied as they are, or
  // built in a work strip blended once at RunOpacity. None: tile by tile.
  enum class TRun { None, Copy, Blend } Run = TRun::None;
  std::uint8_t RunOpacity = 255;
  bool Centre = true;  // painted with DrawMode bit 0x04
};

void PaintNinePieces(TBitmap* bmp, const TNineGeometry& g, const TsMaskData& md, const TNineTransfer& t) {
  TBitmap* src = g.Src;
  const int L = g.L, T = g.T, Rt = g.Rt, B = g.B, wl = g.WL, wt = g.WT, wr = g.WR, wb = g.WB;
  const int cx = g.CX, cy = g.CY, cw = g.CW, ch = g.CH, H = md.Height;
  auto corner = [&](int x, int y, int w, int h, int sx, int sy) {
    if (w > 0 && h > 0) t.Corner(x, y, w, h, sx, sy);
  };
  auto tile = [&](int x, int y, int w, int h, int sx, int sy, int pw, int ph) {
    if (w > 0 && h > 0) t.Tile(x, y, w, h, sx, sy, pw, ph);
  };
  auto stretched = [&](int x, int y, int w, int h, int sx, int sy, int sw, int sh, bool smooth) {
    if (w > 0 && h > 0) t.Stretched(x, y, w, h, sx, sy, sw, sh, smooth);
  };
  // A tiled side lying wholly inside Bmp and its piece wholly inside the source: the first
  // tile, then the run painted so far copied after itself, so a long side takes a few blits
  // instead of one per tile. The pixels are those of tile-by-tile painting, as the side
  // repeats with the tile's period either way. False: tile by tile.
  auto doubled = [&](int x, int y, int w, int h, int sx, int sy, int pw, int ph, bool across) {
    const int len = across ? w : h, period = across ? pw : ph;
    if (t.Run == TNineTransfer::TRun::None || period <= 0 || len <= period || x < 0 || y < 0 ||
        x + w > bmp->Width() || y + h > bmp->Height() || sx < 0 || sy < 0 || sx + pw > src->Width() ||
        sy + ph > src->Height())
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
    if (t.Run == TNineTransfer::TRun::Copy) {
      run(bmp->Canvas().Handle(), x, y);
      return true;
    }
    TWorkBitmap strip(w, h, false);
    if (strip.Empty()) return false;
    run(strip->Canvas().Handle(), 0, 0);
    AlphaBlendRect(bmp, strip.get(), Rect(0, 0, w - 1, h - 1), Point(x, y), t.RunOpacity);
    return true;
  };
  // A vertical side (X, W fixed) and a horizontal side (Y, H fixed).
  auto sideV = [&](int x, int w, int y0, int y1, int sx, int sy) {
    if (g.Stretch)
      stretched(x, y0, w, y1 - y0, sx, sy, w, ch, false);
    else if (w > 0 && !doubled(x, y0, w, y1 - y0, sx, sy, w, ch, false))
      TileAlong(y0, y1, ch, [&](int p, int len) { tile(x, p, w, len, sx, sy, w, ch); });
  };
  auto sideH = [&](int y, int h, int x0, int x1, int sx, int sy) {
    if (g.Stretch)
      stretched(x0, y, x1 - x0, h, sx, sy, cw, h, false);
    else if (h > 0 && !doubled(x0, y, x1 - x0, h, sx, sy, cw, h, true))
      TileAlong(x0, x1, cw, [&](int p, int len) { tile(p, y, len, h, sx, sy, cw, h); });
  };

  corner(L, T, wl, wt, cx, cy);                                              // 1 top-left
  sideV(L, g.DL, T + wt, B - wb, cx, cy + wt);                               // 2 left
  sideH(T, g.DT, L + wl, Rt - wr, cx + wl, cy);                              // 3 top
  corner(L, B - wb, wl, wb, cx, cy + H - wb);                                // 4 bottom-left
  sideH(B - g.DB, g.DB, L + wl, Rt - wr, cx + wl, cy + H - g.DB);            // 5 bottom
  corner(Rt - wr, B - wb, wr, wb, cx + wl + cw, cy + H - wb);                // 6 bottom-right
  corner(Rt - wr, T, wr, wt, cx + wl + cw, cy);                              // 7 top-right
  sideV(Rt - g.DR, g.DR, T + wt, B - wb, cx + wl + cw + wr - g.DR, cy + wt);  // 8 right
  if (t.Centre && (md.DrawMode & 0x04)) {                                    // 9 centre
    const int x0 = L + wl, x1 = Rt - wr, y0 = T + wt, y1 = B - wb;
    if (g.Stretch)
      stretched(x0, y0, x1 - x0, y1 - y0, cx + wl, cy + wt, cw, ch, true);
    else
      TileAlong(y0, y1, ch, [&](int py, int lh) {
        TileAlong(x0, x1, cw, [&](int px, int lw) { tile(px, py, lw, lh, cx + wl, cy + wt, cw, ch); });
      });
  }
}

// Key-colour images: corners see the background through key pixels (with Corners), sides
// and centre are copied as they are.
TNineTransfer KeyTransfer(TBitmap* bmp, TBitmap* src, const TCacheInfo& ci, bool corners) {
  TNineTransfer t;
  t.Corner = [bmp, src, &ci, corners](int x, int y, int w, int h, int sx, int sy) {
    CopyWithKeyBackground(bmp, src, x, y, Rect(sx, sy, sx + w - 1, sy + h - 1), KeyPixel, ci, corners);
  };
  t.Tile = [bmp, src](int x, int y, int w, int h, int sx, int sy, int, int) { BlitClipped(bmp, x, y, w, h, src, sx, sy); };
  t.Stretched = [bmp, src](int x, int y, int w, int h, int sx, int sy, int sw, int sh, bool) {
    StretchClipped(bmp, x, y, w, h, src, sx, sy, sw, sh);
  };
  t.Run = TNineTransfer::TRun::Copy;
  return t;
}

// Images with alpha: every piece blended by its alpha times Opacity; with CopyTiles the
// tiles replace the destination's pixels, alpha included.
TNineTransfer AlphaTransfer(TBitmap* bmp, TBitmap* src, std::uint8_t opacity, bool copyTiles) {
  TNineTransfer t;
  t.Corner = [bmp, src, opacity](int x, int y, int w, int h, int sx, int sy) {
    AlphaBlendRect(bmp, src, Rect(sx, sy, sx + w - 1, sy + h - 1), Point(x, y), opacity);
  };
  if (copyTiles)
    t.Tile = [bmp, src](int x, int y, int w, int h, int sx, int sy, int, int) { BlitClipped(bmp, x, y, w, h, src, sx, sy); };
  else
    t.Tile = [bmp, src, opacity](int x, int y, int w, int h, int sx, int sy, int, int) {
      AlphaBlendRect(bmp, src, Rect(sx, sy, sx + w - 1, sy + h - 1), Point(x, y), opacity);
    };
  t.Stretched = [bmp, src, opacity](int x, int y, int w, int h, int sx, int sy, int sw, int sh, bool) {
    StretchAlphaBlend(bmp, x, y, w, h, src, sx, sy, sw, sh, opacity);
  };
  t.Run = copyTiles ? TNineTransfer::TRun::Copy : TNineTransfer::TRun::Blend;
  t.RunOpacity = opacity;
  return t;
}

// Colour channels (d * Wd + s * Ws) >> 8, alpha 0.
std::uint32_t MixColours(std::uint32_t d, std::uint32_t s, std::uint32_t wd, std::uint32_t ws) {
  std::uint32_t out = 0;
  for (int sh = 0; sh < 24; sh += 8) out |= ((((d >> sh) & 0xFF) * wd + ((s >> sh) & 0xFF) * ws) >> 8) << sh;
  return out;
}

// The colour of S weighed into D by W of 255. Nothing weighed in leaves D's colour as it
// was: the divisor 256 would otherwise take one step off every channel, and an effect at
// opacity 0 must leave what it is painted over.
std::uint32_t WeighColours(std::uint32_t d, std::uint32_t s, std::uint32_t w) {
  return w == 0 ? d & 0x00FFFFFFu : MixColours(d, s, 255 - w, w);
}

std::uint32_t RedOf(std::uint32_t p) { return (p >> 16) & 0xFF; }
std::uint32_t AlphaOf(std::uint32_t p) { return p >> 24; }

// The common part of the masked copies: the size is the smaller of the two rectangles',
// kept inside both bitmaps (a left or top edge below 0 moves both edges to keep them
// together), the mask rows (R's height div 2 below) kept inside the source, and rows
// limited to a ready background's bitmap. A key source pixel clears the destination's
// alpha without a ready background; over one, Pixel gets the background's pixel there
// (FromCache). Pixel(d, s, mask red, FromCache).
template <class Pixel>
void CopyMaskedWith(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src, const TCacheInfo& ci,
                    const TsMaskData& md, Pixel&& pixel) {
  TPixels32 d, s;
  if (!dst || !src || !GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  using ll = long long;
  ll dx = dstRect.Left, dy = dstRect.Top, sx = srcRect.Left, sy = srcRect.Top;
  ll cols = std::min({ll(srcRect.Right) - srcRect.Left, ll(dstRect.Right) - dstRect.Left, d.Width - dx, s.Width - sx});
  ll rows = std::min({ll(srcRect.Bottom) - srcRect.Top, ll(dstRect.Bottom) - dstRect.Top, d.Height - dy, s.Height - sy});
  if (cols <= 0 || rows <= 0) return;
  auto together = [](ll& a, ll& b, ll& n) {
    const ll low = std::min(a, b);
    if (low < 0) a -= low, b -= low, n += low;
  };
  together(dx, sx, cols);
  together(dy, sy, rows);
  const ll maskY = std::min<ll>(sy + (md.R.Bottom - md.R.Top) / 2, s.Height - rows);
  TPixels32 c;
  const bool cache = ci.Ready && ci.Bmp && GetPixels32(ci.Bmp, c);
  if (cache) rows = std::min<ll>(rows, c.Height);
  if (cols <= 0 || rows <= 0 || maskY < 0) return;
  for (ll row = 0; row < rows; ++row) {
    std::uint32_t* dr = d.Row(int(dy + row)) + dx;
    const std::uint32_t* sr = s.Row(int(sy + row)) + sx;
    const std::uint32_t* mr = s.Row(int(maskY + row)) + sx;
    for (ll col = 0; col < cols; ++col) {
      if (sr[col] != KeyPixel) {
        pixel(dr[col], sr[col], RedOf(mr[col]), false);
      } else if (!ci.Ready) {
        dr[col] &= 0x00FFFFFFu;
      } else if (cache) {
        const ll bx = ll(ci.X) + dx + col, by = ll(ci.Y) + dy + row;
        if (bx >= 0 && by >= 0 && bx < c.Width && by < c.Height) pixel(dr[col], c.Row(int(by))[bx], RedOf(mr[col]), true);
      }
    }
  }
}

// The common part of the stretched masked pieces: the early exits, the plain stretch of a
// piece without mask, a source that must lie inside Src (image and mask rows), the 1 x 1
// smooth source (mask 0 fills with its colour, 255 keeps the target, any other mask red
// goes to One(d, c, red) for every target pixel inside Dst), else the image and the mask
// scaled to W x H (filtered: the image by Mitchell, the mask by MaskFilter) and every
// target pixel inside Dst handed to Each(d, image pixel, mask pixel).
template <class One, class Each>
void StretchMaskedPieceWith(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH, TBitmap* dst,
                            TBitmap* src, int maskOffset, bool smooth, int maskFilter, One&& one, Each&& each) {
  if (!dst || !src || x < 0 || y < 0 || w <= 0 || h <= 0 || dst->Width() < 2 || dst->Height() < 2) return;
  if (maskOffset == 0) {
    StretchClipped(dst, x, y, w, h, src, srcX, srcY, srcW, srcH);
    return;
  }
  // The image and its mask must both lie inside the source, on every side.
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
    const std::uint32_t m = RedOf(s.Row(maskY)[srcX]);
    if (m == 0) {
      FillRectArgb(dst, Rect(x, y, x + w, y + h), static_cast<TColor>(SwapRedBlue(c) & 0xFFFFFF), 255);
    } else if (m != 255) {
      for (int row = 0; row < chh; ++row) {
        std::uint32_t* dr = d.Row(y + row) + x;
        for (int col = 0; col < cw; ++col) dr[col] = one(dr[col], c, m);
      }
    }
    return;
  }

  auto image = NewBitmap32(w, h), mask = NewBitmap32(w, h);
  if (image->Empty() || mask->Empty()) return;
  const bool filtered = w > 1 && h > 1 && ((srcW > w && srcH == h) || (srcW == w && srcH > h) || smooth);
  if (filtered) {
    auto scaleInto = [&](TBitmap* target, int sy, int filter) {
      auto work = NewBitmap32(std::max(srcW, 2), std::max(srcH, 2));
      if (work->Empty()) return;
      HDC wdc = work->Canvas().Handle();
      HDC sdc = src->Canvas().Handle();
      BitBlt(wdc, 0, 0, srcW, srcH, sdc, srcX, sy, SRCCOPY);
      if (srcW == 1) BitBlt(wdc, 1, 0, 1, srcH, sdc, srcX, sy, SRCCOPY);
      if (srcH == 1) BitBlt(wdc, 0, 1, std::max(srcW, 2), 1, wdc, 0, 0, SRCCOPY);
      StretchBitmapFiltered(work.get(), target, w, h, filter);
    };
    scaleInto(image.get(), srcY, 6);
    scaleInto(mask.get(), maskY, maskFilter);
  } else {
    HDC sdc = src->Canvas().Handle();
    StretchBlt(image->Canvas().Handle(), 0, 0, w, h, sdc, srcX, srcY, srcW, srcH, SRCCOPY);
    StretchBlt(mask->Canvas().Handle(), 0, 0, w, h, sdc, srcX, maskY, srcW, srcH, SRCCOPY);
  }
  GdiFlush();
  TPixels32 ip, mp;
  if (!GetPixels32(image.get(), ip) || !GetPixels32(mask.get(), mp) || !GetPixels32(dst, d)) return;
  const int rows = std::min(chh, std::min(ip.Height, mp.Height)), cols = std::min(cw, std::min(ip.Width, mp.Width));
  for (int row = 0; row < rows; ++row) {
    std::uint32_t* dr = d.Row(y + row) + x;
    const std::uint32_t* ir = ip.Row(row);
    const std::uint32_t* mr = mp.Row(row);
    for (int col = 0; col < cols; ++col) dr[col] = each(dr[col], ir[col], mr[col]);
  }
}

}  // namespace

void PaintMaskNineSlice(TBitmap* bmp, const TRect& r, const TCacheInfo& ci, const TsMaskData& md, int state,
                        bool updateCorners) {
  TNineGeometry g;
  if (!NineGeometry(bmp, r, md, state, g)) return;
  TBitmap* src = g.Src;
  const bool corners = updateCorners && (md.Cfg & 3) != 0;
  if (md.MaskType > 0) {
    TNineTransfer t;
    t.Corner = [&](int x, int y, int w, int h, int sx, int sy) {
      DrawImageThroughMask(Rect(x, y, x + w, y + h), Rect(sx, sy, sx + w, sy + h), bmp, src, ci, corners, md);
    };
    t.Tile = [&](int x, int y, int w, int h, int sx, int sy, int pw, int ph) {
      DrawImageThroughMask(Rect(x, y, x + w, y + h), Rect(sx, sy, sx + pw, sy + ph), bmp, src, EmptyCacheInfo, false,
                           md);
    };
    t.Stretched = [&](int x, int y, int w, int h, int sx, int sy, int sw, int sh, bool smooth) {
      StretchMaskedPiece(x, y, w, h, sx, sy, sw, sh, bmp, src, md.Height, smooth);
    };
    PaintNinePieces(bmp, g, md, t);
  } else if (md.DrawMode & 0x10) {
    PaintNinePieces(bmp, g, md, AlphaTransfer(bmp, src, 255, false));
  } else {
    PaintNinePieces(bmp, g, md, KeyTransfer(bmp, src, ci, corners));
  }
}

void PaintMaskNineSliceLayered(TBitmap* bmp, const TRect& r, const TCacheInfo& ci, const TsMaskData& md, int state) {
  TNineGeometry g;
  if (!NineGeometry(bmp, r, md, state, g)) return;
  TBitmap* src = g.Src;
  if (md.MaskType > 0) {
    TNineTransfer t;
    t.Corner = [&](int x, int y, int w, int h, int sx, int sy) {
      CopyMaskedLayered(Rect(x, y, x + w, y + h), Rect(sx, sy, sx + w, sy + h), bmp, src, ci, md);
    };
    t.Tile = [&](int x, int y, int w, int h, int sx, int sy, int pw, int ph) {
      CopyMaskedLayered(Rect(x, y, x + w, y + h), Rect(sx, sy, sx + pw, sy + ph), bmp, src, EmptyCacheInfo, md);
    };
    t.Stretched = [&](int x, int y, int w, int h, int sx, int sy, int sw, int sh, bool smooth) {
      StretchMaskedPieceLayered(x, y, w, h, sx, sy, sw, sh, bmp, src, md.Height, smooth);
    };
    PaintNinePieces(bmp, g, md, t);
  } else if (md.DrawMode & 0x10) {
    PaintNinePieces(bmp, g, md, AlphaTransfer(bmp, src, 255, true));
  } else {
    PaintNinePieces(bmp, g, md, KeyTransfer(bmp, src, ci, true));
  }
}

void PaintMaskNineSliceAlpha(TBitmap* bmp, const TRect& r, const TCacheInfo& ci, const TsMaskData& md, int state,
                             const TRect& overhang, std::uint8_t opacity) {
  TNineGeometry g;
  if (!NineGeometry(bmp, r, md, state, g)) return;
  TBitmap* src = g.Src;
  if (md.MaskType > 0) {
    // The body covers the centre: only the corners and the strips around it are painted.
    LimitDepths(g, overhang);
    TNineTransfer t;
    t.Centre = false;
    t.Corner = [&](int x, int y, int w, int h, int sx, int sy) {
      CopyMaskedOpacity(Rect(x, y, x + w, y + h), Rect(sx, sy, sx + w, sy + h), bmp, src, ci, md, opacity);
    };
    t.Tile = [&](int x, int y, int w, int h, int sx, int sy, int pw, int ph) {
      CopyMaskedOpacity(Rect(x, y, x + w, y + h), Rect(sx, sy, sx + pw, sy + ph), bmp, src, EmptyCacheInfo, md,
                        opacity);
    };
    t.Stretched = [&](int x, int y, int w, int h, int sx, int sy, int sw, int sh, bool) {
      StretchMaskedPieceOpacity(x, y, w, h, sx, sy, sw, sh, bmp, src, md.Height, opacity, false);
    };
    PaintNinePieces(bmp, g, md, t);
  } else if (md.DrawMode & 0x10) {
    // Every side keeps to its depth and every piece, tiled or stretched, takes the opacity.
    LimitDepths(g, overhang);
    PaintNinePieces(bmp, g, md, AlphaTransfer(bmp, src, opacity, false));
  } else {
    PaintNinePieces(bmp, g, md, KeyTransfer(bmp, src, ci, true));
  }
}

void StretchMaskedPiece(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH, TBitmap* dst, TBitmap* src,
                        int maskOffset, bool smooth) {
  StretchMaskedPieceWith(
      x, y, w, h, srcX, srcY, srcW, srcH, dst, src, maskOffset, smooth, 6,
      [](std::uint32_t d, std::uint32_t c, std::uint32_t m) {
        return (d & 0xFF000000u) | MixPixelByMask(d, c, m, false, false);
      },
      [](std::uint32_t d, std::uint32_t i, std::uint32_t k) {
        return 0xFF000000u | MixPixelByMask(d, i, k, false, true);
      });
}

void StretchMaskedPieceLayered(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH, TBitmap* dst,
                               TBitmap* src, int maskOffset, bool smooth) {
  StretchMaskedPieceWith(
      x, y, w, h, srcX, srcY, srcW, srcH, dst, src, maskOffset, smooth, 2,
      [](std::uint32_t d, std::uint32_t c, std::uint32_t f) {
        // A translucent target keeps less of itself: its own alpha caps its weight.
        const std::uint32_t hh = std::min(f, AlphaOf(d));
        return MixColours(d, c, hh, 255 - hh) | (std::max(AlphaOf(d), 255 - f) << 24);
      },
      [](std::uint32_t d, std::uint32_t i, std::uint32_t k) {
        const std::uint32_t m = RedOf(k);
        if (m == 0) return 0xFF000000u | (i & 0x00FFFFFFu);
        if (m == 255) return d;
        return MixColours(d, i, m, 255 - m) | (std::max(AlphaOf(d), 255 - m) << 24);
      });
}

void StretchMaskedPieceOpacity(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH, TBitmap* dst,
                               TBitmap* src, int maskOffset, std::uint8_t opacity, bool smooth) {
  const std::uint32_t p = opacity;
  StretchMaskedPieceWith(
      x, y, w, h, srcX, srcY, srcW, srcH, dst, src, maskOffset, smooth, 2,
      [p](std::uint32_t d, std::uint32_t c, std::uint32_t g) {
        const std::uint32_t v = ((255 - g) * p) >> 8;
        return WeighColours(d, c, v) | (std::max(AlphaOf(d), 255 - g) << 24);
      },
      [p](std::uint32_t d, std::uint32_t i, std::uint32_t k) {
        const std::uint32_t w = RedOf(k), a = AlphaOf(d);
        if (w == 0) return WeighColours(d, i, p) | (((AlphaOf(k) * p) >> 8) << 24);
        if (w == 255) return d;
        const std::uint32_t v = ((255 - w) * p) >> 8;
        const std::uint32_t alpha = a == 0 ? v : a == 255 ? 255 : std::max(a, 255 - w);
        return WeighColours(d, i, v) | (alpha << 24);
      });
}

void CopyMaskedLayered(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src, const TCacheInfo& ci,
                       const TsMaskData& md) {
  CopyMaskedWith(dstRect, srcRect, dst, src, ci, md, [](std::uint32_t& d, std::uint32_t s, std::uint32_t m, bool fromCache) {
    if (fromCache)
      d = s;
    else
      d = MixColours(d, s, m, 255 - m) | (std::max(AlphaOf(d), 255 - m) << 24);
  });
}

void CopyMaskedOpacity(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src, const TCacheInfo& ci,
                       const TsMaskData& md, std::uint8_t opacity) {
  const std::uint32_t p = opacity;
  CopyMaskedWith(dstRect, srcRect, dst, src, ci, md, [p](std::uint32_t& d, std::uint32_t s, std::uint32_t k, bool fromCache) {
    const std::uint32_t m = ((255 - k) * p) >> 8, a = AlphaOf(d);
    // Over the background's pixel a clear destination takes the mask's own cover.
    const std::uint32_t alpha = a == 0 ? (fromCache ? 255 - k : m) : a == 255 ? 255 : std::max(a, 255 - k);
    d = WeighColours(d, s, m) | (alpha << 24);
  });
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
