#include "skin/graphics/acAlphaImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr std::uint32_t KeyPixel = 0x00FF00FFu;

inline std::uint32_t MixByte(std::uint32_t d, std::uint32_t s, std::uint32_t w) {
  // d * (256 - w) + s * w: never negative for w up to 255.
  return (d * (256 - w) + s * w) >> 8;
}
// Colour bytes of D moved towards S by W; the top byte is Alpha.
inline std::uint32_t MixColour(std::uint32_t d, std::uint32_t s, std::uint32_t w, std::uint32_t alpha) {
  return (alpha << 24) | (MixByte((d >> 16) & 0xFF, (s >> 16) & 0xFF, w) << 16) |
         (MixByte((d >> 8) & 0xFF, (s >> 8) & 0xFF, w) << 8) | MixByte(d & 0xFF, s & 0xFF, w);
}

inline bool SeeThrough(std::uint32_t p) { return p == KeyPixel || (p >> 24) <= 16; }

std::uint8_t OpacityOf(int transparency) {
  transparency = std::clamp(transparency, 0, 100);
  return static_cast<std::uint8_t>(255 - transparency * 255 / 100);
}

// The parent's pixels behind destination pixels, when a cache is ready.
struct TBackground {
  explicit TBackground(const TCacheInfo& ci) : X(ci.X), Y(ci.Y) { Ready = ci.Ready && GetPixels32(ci.Bmp, Px); }
  // The cache pixel behind destination pixel (x, y); false outside the cache.
  bool At(int x, int y, std::uint32_t& value) const {
    const long long cx = static_cast<long long>(X) + x, cy = static_cast<long long>(Y) + y;
    if (cx < 0 || cy < 0 || cx >= Px.Width || cy >= Px.Height) return false;
    value = Px.Row(static_cast<int>(cy))[cx];
    return true;
  }
  TPixels32 Px;
  int X, Y;
  bool Ready = false;
};

// The area both rectangles and both bitmaps allow.
bool AreaOf(const TRect& dstRect, const TRect& srcRect, const TPixels32& d, const TPixels32& s, TCopySpan& span) {
  const long long w = std::min<long long>(static_cast<long long>(srcRect.Right) - srcRect.Left,
                                          static_cast<long long>(dstRect.Right) - dstRect.Left);
  const long long h = std::min<long long>(static_cast<long long>(srcRect.Bottom) - srcRect.Top,
                                          static_cast<long long>(dstRect.Bottom) - dstRect.Top);
  if (w <= 0 || h <= 0) return false;
  return ClipCopySpan(dstRect.Left, dstRect.Top, srcRect.Left, srcRect.Top, w, h, d.Width, d.Height, s.Width,
                      s.Height, span);
}

// A colour lifted so that its brightest channel is 255, in pixel order.
std::uint32_t LiftedTint(TColor color) {
  const std::uint32_t c = static_cast<std::uint32_t>(ColorToRGB(color));
  int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  const int lift = 255 - std::max({r, g, b});
  r += lift, g += lift, b += lift;
  return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}
// The pixel's brightness in the tint colour (alpha byte 0).
inline std::uint32_t Tinted(std::uint32_t s, std::uint32_t tint) {
  const std::uint32_t y = (((s >> 16) & 0xFF) >> 2) + (((s >> 8) & 0xFF) >> 1) + ((s & 0xFF) >> 2);
  return (((y * ((tint >> 16) & 0xFF)) >> 8) << 16) | (((y * ((tint >> 8) & 0xFF)) >> 8) << 8) |
         ((y * (tint & 0xFF)) >> 8);
}

}  // namespace

void DrawImageAlpha(const TRect& DstRect, const TRect& SrcRect, TBitmap* Dst, TBitmap* Src,
                    const TCacheInfo& CacheInfo, bool UseBackground, TColor Color, int Transparency,
                    bool Reflection) {
  if (!Dst || !Src || Src->Empty()) return;
  if (Src->PixelFormat() != pf32bit) SetPixelFormat32(Src);
  TPixels32 d, s;
  TCopySpan span;
  if (!GetPixels32(Dst, d) || !GetPixels32(Src, s) || !AreaOf(DstRect, SrcRect, d, s, span)) return;
  const TBackground bg(CacheInfo);
  const std::uint32_t op = OpacityOf(Transparency);
  const bool transparent = op < 255;
  const bool tinted = Color != clNone;
  const std::uint32_t tint = tinted ? LiftedTint(Color) : 0;

  for (int r = 0; r < span.H; ++r) {
    std::uint32_t* dr = d.Row(span.DY + r);
    const std::uint32_t* sr = s.Row(span.SY + r) + span.SX;
    for (int c = 0; c < span.W; ++c) {
      const int x = span.DX + c;
      const std::uint32_t sp = sr[c], dp = dr[x];
      const std::uint32_t sa = sp >> 24, da = dp >> 24;
      if (bg.Ready && SeeThrough(sp)) {
        std::uint32_t b;
        if (UseBackground && bg.At(x, span.DY + r, b)) dr[x] = (dp & 0xFF000000u) | (b & 0x00FFFFFFu);
        continue;
      }
      const std::uint32_t src = tinted ? Tinted(sp, tint) : sp;
      if (transparent) {
        dr[x] = MixColour(dp, src, (sa * op) >> 8, da);
      } else if (tinted && bg.Ready) {
        dr[x] = MixColour(dp, src, sa, da);
      } else if (tinted) {
        dr[x] = MixColour(dp, src, sa, da + (((255 - da) * sa) >> 8));
      } else {
        dr[x] = MixColour(dp, src, sa, std::max(da, sa));
      }
    }
  }

  if (!Reflection) return;
  const int n = std::min(s.Height / 2 - 1, d.Height - DstRect.Bottom - 1);
  if (n <= 0) return;
  int fade = 255;
  const int fall = 255 / s.Height;
  for (int i = 1; i <= n; ++i, fade -= fall) {
    // Only the rows of SrcRect are mirrored, however tall the image above them is.
    const long long sy = static_cast<long long>(SrcRect.Bottom) - 1 - i;
    if (sy < std::max(SrcRect.Top, 0)) break;
    const long long dy = static_cast<long long>(DstRect.Bottom) + i;
    if (sy >= s.Height || dy < 0 || dy >= d.Height) continue;
    std::uint32_t* dr = d.Row(static_cast<int>(dy));
    const std::uint32_t* sr = s.Row(static_cast<int>(sy));
    for (int c = 0; c < span.W; ++c) {
      const std::uint32_t sp = sr[span.SX + c];
      if (SeeThrough(sp)) continue;
      const std::uint32_t base = (sp >> 24) * static_cast<std::uint32_t>(n - i) / static_cast<std::uint32_t>(n);
      std::uint32_t w = tinted ? base >> 2 : (base * static_cast<std::uint32_t>(fade)) >> 9;
      if (transparent) w = (w * op) >> 8;
      std::uint32_t& dp = dr[span.DX + c];
      dp = MixColour(dp, tinted ? Tinted(sp, tint) : sp, w, dp >> 24);
    }
  }
}

void DrawAlphaImageOverBackground(const TRect& DstRect, const TRect& SrcRect, TBitmap* Dst, TBitmap* Src,
                                  const TCacheInfo& CacheInfo, bool UseBackground) {
  TPixels32 d, s;
  TCopySpan span;
  if (!GetPixels32(Dst, d) || !GetPixels32(Src, s) || !AreaOf(DstRect, SrcRect, d, s, span)) return;
  const TBackground bg(CacheInfo);
  for (int r = 0; r < span.H; ++r) {
    std::uint32_t* dr = d.Row(span.DY + r);
    const std::uint32_t* sr = s.Row(span.SY + r) + span.SX;
    for (int c = 0; c < span.W; ++c) {
      const int x = span.DX + c;
      const std::uint32_t sp = sr[c], dp = dr[x];
      if (bg.Ready && sp == KeyPixel) {
        std::uint32_t b;
        if (UseBackground && bg.At(x, span.DY + r, b)) dr[x] = 0xFF000000u | (b & 0x00FFFFFFu);
        continue;
      }
      const std::uint32_t sa = sp >> 24, da = dp >> 24;
      dr[x] = MixColour(dp, sp, sa, sa ? da + (((255 - da) * sa) >> 8) : da);
    }
  }
}

void DrawImageThroughMask(const TRect& DstRect, const TRect& SrcRect, TBitmap* Dst, TBitmap* Src,
                          const TCacheInfo& CacheInfo, bool UseBackground, const TsMaskData& Mask) {
  TPixels32 d, s;
  TCopySpan span;
  if (!GetPixels32(Dst, d) || !GetPixels32(Src, s) || !AreaOf(DstRect, SrcRect, d, s, span)) return;
  const TBackground bg(CacheInfo);
  const int maskOffset = Mask.R.Height() / 2;
  const std::uint32_t fill = SwapRedBlue(static_cast<std::uint32_t>(CacheInfo.FillColor));
  for (int r = 0; r < span.H; ++r) {
    const int y = span.DY + r, sy = span.SY + r;
    std::uint32_t* dr = d.Row(y);
    const std::uint32_t* sr = s.Row(sy) + span.SX;
    // The mask row of this image row, but no lower than the image's last row.
    const std::uint32_t* mr = s.Row(static_cast<int>(std::min<long long>(static_cast<long long>(sy) + maskOffset,
                                                                         s.Height - 1))) +
                              span.SX;
    for (int c = 0; c < span.W; ++c) {
      const int x = span.DX + c;
      const std::uint32_t sp = sr[c], dp = dr[x];
      const bool key = sp == KeyPixel;
      if (key && UseBackground) {
        std::uint32_t b;
        if (bg.Ready)
          dr[x] = bg.At(x, y, b) ? b : (dp | 0xFF000000u);
        else
          dr[x] = fill;
        continue;
      }
      if (key && !bg.Ready) continue;
      const std::uint32_t m = mr[c];
      std::uint32_t out = bg.Ready ? 0xFF000000u : (dp & 0xFF000000u);
      for (int sh = 0; sh < 24; sh += 8) {
        const std::uint32_t dc = (dp >> sh) & 0xFF, sc = (sp >> sh) & 0xFF, mc = (m >> sh) & 0xFF;
        out |= ((dc * mc + sc * (256 - mc)) >> 8) << sh;
      }
      dr[x] = out;
    }
  }
}

void DrawAlphaBitmapOnCanvas(TCanvas* Canvas, TBitmap* Bmp, const TRect& R, bool Reflection) {
  if (!Canvas || !Bmp || Bmp->Empty() || R.IsEmpty()) return;
  if (Bmp->PixelFormat() != pf32bit) {
    Canvas->StretchDraw(R, Bmp);
    return;
  }
  const int w = R.Width(), h = R.Height();
  const bool sameSize = Bmp->Width() == w && Bmp->Height() == h;
  const bool mirrored = Reflection && sameSize;
  std::unique_ptr<TBitmap> work = NewBitmap32(w, h + (mirrored ? h / 2 : 0));
  if (work->Empty()) return;
  HDC dc = Canvas->Handle();
  BitBlt(work->Canvas().Handle(), 0, 0, work->Width(), work->Height(), dc, R.Left, R.Top, SRCCOPY);
  const TRect all = Rect(0, 0, w, h);
  if (sameSize) {
    DrawImageAlpha(all, all, work.get(), Bmp, EmptyCacheInfo, false, clNone, 0, mirrored);
  } else {
    // Colour and alpha are stretched apart: a stretch of 32-bit pixels keeps no alpha.
    std::unique_ptr<TBitmap> image = NewBitmap32(w, h);
    HDC idc = image->Canvas().Handle();
    SetStretchBltMode(idc, COLORONCOLOR);
    StretchBlt(idc, 0, 0, w, h, Bmp->Canvas().Handle(), 0, 0, Bmp->Width(), Bmp->Height(), SRCCOPY);
    TBitmap alpha, alphaStretched;
    alpha.SetPixelFormat(pf8bit);
    alpha.SetSize(Bmp->Width(), Bmp->Height());
    TransferChannel8(Bmp, &alpha, 3, true);
    alphaStretched.SetPixelFormat(pf8bit);
    alphaStretched.SetSize(w, h);
    HDC adc = alphaStretched.Canvas().Handle();
    SetStretchBltMode(adc, COLORONCOLOR);
    StretchBlt(adc, 0, 0, w, h, alpha.Canvas().Handle(), 0, 0, alpha.Width(), alpha.Height(), SRCCOPY);
    TransferChannel8(image.get(), &alphaStretched, 3, false);
    DrawImageAlpha(all, all, work.get(), image.get(), EmptyCacheInfo, false, clNone, 0, false);
  }
  BitBlt(dc, R.Left, R.Top, work->Width(), work->Height(), work->Canvas().Handle(), 0, 0, SRCCOPY);
}

int GlyphCellIndex(int NumGlyphs, bool UseStateCell, int Mode, int State, bool SixteenColors, bool StdGlyphsOrder) {
  NumGlyphs = std::max(NumGlyphs, 1);
  if (NumGlyphs == 1) Mode = 0;
  if (!UseStateCell || Mode == 0) return 0;
  const bool standard = SixteenColors || StdGlyphsOrder;
  switch (Mode) {
    case 1: return standard ? 0 : 1;
    case 2:
      if (State + 2 < NumGlyphs) return State + 2;
      return standard ? 0 : std::min(1, NumGlyphs - 1);
    case 3: return NumGlyphs >= 3 ? 2 : 0;
    default: return -1;
  }
}

void DrawButtonGlyphCell(TBitmap* Glyph, TBitmap* Dst, TRect R, int NumGlyphs, bool UseStateCell, int Mode, int Blend,
                         int State, bool Reflected) {
  if (!Glyph || Glyph->Empty() || !Dst) return;
  std::unique_ptr<TBitmap> work = NewBitmap32(Glyph->Width(), Glyph->Height());
  if (work->Empty()) return;
  BitBlt(work->Canvas().Handle(), 0, 0, Glyph->Width(), Glyph->Height(), Glyph->Canvas().Handle(), 0, 0, SRCCOPY);
  if (Reflected) {
    const int lift = R.Height() / 8;
    R.Top -= lift, R.Bottom -= lift;
  }
  NumGlyphs = std::max(NumGlyphs, 1);  // a strip has at least its one cell
  if (NumGlyphs == 1) Mode = 0;
  if (Mode > 0) Blend = 0;
  TsSkinManager* manager = DefaultManager();
  const int index = GlyphCellIndex(NumGlyphs, UseStateCell, Mode, State, Glyph->PixelFormat() == pf4bit,
                                   !manager || manager->Options.StdGlyphsOrder);
  if (index < 0) return;  // no cell of an unknown kind
  const int cellWidth = Glyph->Width() / NumGlyphs;
  if (cellWidth < 1) return;
  const TRect cell = Rect(index * cellWidth, 0, (index + 1) * cellWidth - 1, Glyph->Height() - 1);
  const TColor key = work->Canvas().Pixel(cell.Left, Glyph->Height() - 1);
  const std::uint8_t blend = static_cast<std::uint8_t>(std::clamp(Blend, 0, 255));
  if (UseStateCell || blend == 0)
    MixExceptKey(Dst, work.get(), R.Left, R.Top, cell, key, 0);
  else
    CopyExceptKey(Dst, R.Left, R.Top, work.get(), cell, blend, KeyPixel);
  if (Reflected) {
    const int height = R.Height();
    R.Top += height, R.Bottom += height;
    DrawGlyphReflection(Dst, work.get(), Point(R.Left, R.Top), cell, key, Blend);
  }
}

void DrawGlyphReflection(TBitmap* Dst, TBitmap* Src, TPoint DstPoint, TRect SrcRect, TColor Key, int Blend) {
  TPixels32 d, s;
  if (!GetPixels32(Dst, d) || !GetPixels32(Src, s)) return;
  SrcRect.Right = std::min(SrcRect.Right, s.Width - 1);
  SrcRect.Bottom = std::min(SrcRect.Bottom, s.Height - 1);
  SrcRect.Top = std::max(SrcRect.Top, 0);
  int dstX = DstPoint.X;
  if (SrcRect.Left < 0) {
    dstX -= SrcRect.Left;
    SrcRect.Left = 0;
  }
  const int width = SrcRect.Right - SrcRect.Left + 1;
  if (width <= 0 || SrcRect.Bottom < SrcRect.Top) return;
  const int f = std::min(s.Height / 3 * 2 - 1, d.Height - 1 - DstPoint.Y);
  if (f <= 0) return;
  const std::uint32_t key = SwapRedBlue(static_cast<std::uint32_t>(Key)) & 0x00FFFFFFu;
  const int blend = std::clamp(Blend, 0, 100);
  int h = 255;
  const int fall = 255 / (f + 1);
  for (int r = 0; r <= f; ++r) {
    const int sy = SrcRect.Bottom - r;
    if (sy < SrcRect.Top) break;  // the cell's own rows only, never those above it
    const long long dy = static_cast<long long>(DstPoint.Y) + r;
    if (dy < 0 || dy >= d.Height) continue;
    const int o = (f - r) * 255 / f;
    const std::uint32_t u = static_cast<std::uint8_t>((100 - blend) * ((o * h) >> 9) / 100);
    h -= fall;
    std::uint32_t* dr = d.Row(static_cast<int>(dy));
    const std::uint32_t* sr = s.Row(sy);
    for (int i = 0; i < width; ++i) {
      const long long dx = static_cast<long long>(dstX) + i;
      const int sx = SrcRect.Left + i;
      if (dx < 0 || dx >= d.Width || sx >= s.Width) continue;
      const std::uint32_t sp = sr[sx];
      if (sp == key) continue;
      dr[dx] = MixColour(dr[dx], sp, u, dr[dx] >> 24);
    }
  }
}

void PaintSoftRoundFrame(TBitmap* Bmp, const TRect& R, int Level, TColor Color, int FrameWidth, int Radius) {
  TPixels32 px;
  if (!GetPixels32(Bmp, px) || R.IsEmpty()) return;
  const int w = R.Width(), h = R.Height();
  const int e = std::max(0, std::min({w / 2, h / 2, FrameWidth}));
  const int radius = std::max(0, std::min({w / 2, h / 2, Radius}));
  std::unique_ptr<TBitmap> copy = NewBitmap32(w, h), mask = NewBitmap32(w, h);
  if (copy->Empty() || mask->Empty()) return;
  BitBlt(copy->Canvas().Handle(), 0, 0, w, h, Bmp->Canvas().Handle(), R.Left, R.Top, SRCCOPY);

  const int level = std::clamp(Level, 0, 100) * 255 / 100;
  auto grey = [&](int j) {
    return level + static_cast<int>(std::nearbyint((e - j) * ((255.0 - level) / (e + 1))));
  };
  TCanvas& canvas = mask->Canvas();
  canvas.Pen.Style = psClear;
  canvas.Brush.Style = bsSolid;
  for (int i = 0; i <= e; ++i) {
    const int g = i == 0 ? 255 : grey(i - 1);
    canvas.Brush.Color = RGB(g, g, g);
    canvas.RoundRect(Rect(i, i, w - i, h - i), radius, radius);
  }
  canvas.Brush.Color = RGB(level, level, level);
  canvas.RoundRect(Rect(e, e, w - e, h - e), radius, radius);
  ColorizeByMask(copy.get(), mask.get(), Color);
  BitBlt(Bmp->Canvas().Handle(), R.Left, R.Top, w, h, copy->Canvas().Handle(), 0, 0, SRCCOPY);
}
