#include "skin/graphics/sGraphUtils.Background.h"

#include <algorithm>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acGradient.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr TColor SkinColor = 0xFF00FF;
const TRect NoRect = {-1, -1, -1, -1};

bool ValidSection(TacSkinData* sd, int i) { return sd && i >= 0 && i < static_cast<int>(sd->gd.size()); }
bool ValidImage(TacSkinData* sd, int i) { return sd && i >= 0 && i < static_cast<int>(sd->ma.size()); }

TBitmap* SourceOf(const TsMaskData& md) {
  if (md.Bmp) return md.Bmp;
  return md.Manager ? md.Manager->MasterBitmap() : nullptr;
}

void Fill(TBitmap* bmp, const TRect& r, TColor color) {
  if (r.IsEmpty()) return;
  if (bmp->PixelFormat() == pf32bit)
    FillRectArgb(bmp, r, ColorToRGB(color), 255);
  else
    FillRectOnDC(bmp->Canvas().Handle(), r, color);
}

// A block copy clipped to both bitmaps.
void Blit(TBitmap* dst, long long dx, long long dy, long long w, long long h, TBitmap* src, long long sx,
          long long sy) {
  TCopySpan span;
  if (!dst || !src || !ClipCopySpan(dx, dy, sx, sy, w, h, dst->Width(), dst->Height(), src->Width(), src->Height(), span))
    return;
  BitBlt(dst->Canvas().Handle(), span.DX, span.DY, span.W, span.H, src->Canvas().Handle(), span.SX, span.SY, SRCCOPY);
}

// Tiles over A from its top-left, the last column and row cut to fit. When A lies in Dst
// and the tile in Src: the first tile, then the painted run copied after itself across and
// then down, doubling, so a screenful of small tiles costs a few blits; the pixels are those
// of tile-by-tile painting, which repeat with the tile's period as well. Otherwise tile by
// tile, each blit clipped to both bitmaps.
void TileRect(TBitmap* dst, const TRect& a, TBitmap* src, int sx, int sy, int tw, int th) {
  if (a.IsEmpty() || tw <= 0 || th <= 0) return;
  const int w = a.Width(), h = a.Height();
  if (a.Left < 0 || a.Top < 0 || a.Right > dst->Width() || a.Bottom > dst->Height() || sx < 0 || sy < 0 ||
      sx + tw > src->Width() || sy + th > src->Height()) {
    for (int y = a.Top; y < a.Bottom; y += th)
      for (int x = a.Left; x < a.Right; x += tw)
        Blit(dst, x, y, std::min(tw, a.Right - x), std::min(th, a.Bottom - y), src, sx, sy);
    return;
  }
  HDC dc = dst->Canvas().Handle();
  BitBlt(dc, a.Left, a.Top, std::min(tw, w), std::min(th, h), src->Canvas().Handle(), sx, sy, SRCCOPY);
  for (int done = std::min(tw, w); done < w;) {
    const int n = std::min(done, w - done);
    BitBlt(dc, a.Left + done, a.Top, n, std::min(th, h), dc, a.Left, a.Top, SRCCOPY);
    done += n;
  }
  for (int done = std::min(th, h); done < h;) {
    const int n = std::min(done, h - done);
    BitBlt(dc, a.Left, a.Top + done, w, n, dc, a.Left, a.Top, SRCCOPY);
    done += n;
  }
}

void Stretch(TBitmap* dst, int dx, int dy, int dw, int dh, TBitmap* src, const TRect& sr) {
  const int l = std::max(sr.Left, 0), t = std::max(sr.Top, 0);
  const int r = std::min(sr.Right, src->Width()), b = std::min(sr.Bottom, src->Height());
  if (dw <= 0 || dh <= 0 || r <= l || b <= t) return;
  HDC dc = dst->Canvas().Handle();
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, dx, dy, dw, dh, src->Canvas().Handle(), l, t, r - l, b - t, SRCCOPY);
}

std::uint8_t WeightOf(int percent) { return static_cast<std::uint8_t>(percent * 255 / 100); }

TCacheInfo Moved(const TCacheInfo& ci, TPoint offset) {
  TCacheInfo m = ci;
  m.X += offset.X;
  m.Y += offset.Y;
  return m;
}

// What a state asks to be painted.
struct TLayers {
  TColor Color = 0;
  int T = 0, IP = 0, GP = 0;
  int Texture = -1;
  const TsGradArray* Gradient = nullptr;  // taken
  bool GdiPlus = false;
};

TLayers LayersOf(const TsGenState& st, int textureIndex, TColor color) {
  TLayers l;
  l.Texture = textureIndex;
  if (color != SkinColor) {
    l.Color = color;
    return l;
  }
  l.GdiPlus = !st.GradientArray.empty() && (st.GradientArray[0].Mode & gmGdiPlusPath);
  l.Color = st.Color;
  l.T = st.Transparency;
  if (l.T < 100) {
    l.IP = st.ImagePercent;
    l.GP = l.GdiPlus ? 0 : st.GradientPercent;
    if (l.IP > 0 && textureIndex < 0) l.Texture = st.TextureIndex;
    if (l.GP > 0) l.Gradient = &st.GradientArray;
  }
  if (l.GdiPlus) l.Gradient = &st.GradientArray;
  return l;
}

void PaintGradientOrColor(TBitmap* target, const TRect& r, const TLayers& l) {
  if (l.Gradient && !l.Gradient->empty())
    PaintGradientArray(target, r, *l.Gradient, 0, 0);
  else
    Fill(target, r, l.Color);
}

// The gradient layer over R. Over a texture (IP > 0) it is painted apart and mixed in, so
// the texture keeps its IP percent; painting it straight over would wipe the texture.
void PaintGradientLayer(TBitmap* target, const TRect& r, const TLayers& l) {
  if (l.IP <= 0) {
    PaintGradientOrColor(target, r, l);
    return;
  }
  const int w = r.Width(), h = r.Height();
  // A gradient may leave pixels unpainted (a direction it has no painter for).
  TWorkBitmap work(w, h, l.Gradient && !l.Gradient->empty());
  if (work.Empty()) return;
  PaintGradientOrColor(work.get(), Rect(0, 0, w, h), l);
  BlendBitmapRect(target, work.get(), static_cast<std::uint8_t>(std::clamp(l.IP * 255 / 100, 0, 255)),
                  Rect(0, 0, w - 1, h - 1), Point(r.Left, r.Top));
}

// Colour, texture and gradient of a state, opaque, into R of Target.
void PaintOpaqueLayers(TBitmap* target, const TRect& r, const TLayers& l, TacSkinData* sd, const TCacheInfo& ci) {
  const bool texture = ValidImage(sd, l.Texture);
  if (l.IP + l.GP == 100 && l.GP > 0 && l.GP < 100 && texture && sd->ma[l.Texture].DrawMode == 0 && l.Gradient &&
      !l.Gradient->empty() && (*l.Gradient)[0].Mode < 2) {
    const TsMaskData& md = sd->ma[l.Texture];
    PaintGradientWithTexture(target, r, *l.Gradient, SourceOf(md), md.R, WeightOf(l.IP), 255);
    return;
  }
  if (l.IP > 0) {
    TRect rest = r;
    if (texture) {
      const TsMaskData& md = sd->ma[l.Texture];
      if (md.MaskType > 0)
        PaintMaskedTextureTiles(target, rest, md, md.DrawMode, ci);
      else
        PaintTextureTiles(target, rest, md, md.DrawMode);
    }
    if (rest.Right != -1) Fill(target, rest, l.Color);
  }
  if (l.GP > 0) PaintGradientLayer(target, r, l);
  const int s = l.IP + l.GP;
  if (s == 0)
    Fill(target, r, l.Color);
  else if (s > 0 && s < 100)
    ColorBlendRect(target, Rect(r.Left, r.Top, r.Right - 1, r.Bottom - 1), WeightOf(s), l.Color);
}

// The parent's pixels under R (a frame of a not-ready cache: only its valid parts).
void CopyParent(TBitmap* bmp, const TRect& r, TPoint off, const TCacheInfo& ci) {
  const int w = r.Width(), h = r.Height();
  if (ci.Ready && ci.Bmp) {
    if (ci.Bmp != bmp) Blit(bmp, r.Left, r.Top, w, h, ci.Bmp, static_cast<long long>(ci.X) + off.X,
                            static_cast<long long>(ci.Y) + off.Y);
    return;
  }
  if (!ci.Bmp) {
    Fill(bmp, r, ci.FillColor);
    return;
  }
  const TRect p = Rect(off.X, off.Y, off.X + w, off.Y + h);
  const TRect& f = ci.FillRect;
  const int cw = ci.Bmp->Width(), ch = ci.Bmp->Height();
  const long long sx = static_cast<long long>(ci.X) + off.X, sy = static_cast<long long>(ci.Y) + off.Y;
  // A frame wider than R is copied only as far as R reaches: the pixels beside R are not
  // this control's.
  const int l = std::min(f.Left - ci.X > 0 && f.Left > p.Left ? f.Left - p.Left : 0, w);
  Blit(bmp, r.Left, r.Top, l, h, ci.Bmp, sx, sy);
  const int t = std::min(f.Top - ci.Y > 0 && f.Top > p.Top ? f.Top - p.Top : 0, h);
  Blit(bmp, r.Left, r.Top, w, t, ci.Bmp, sx, sy);
  const int rr = std::min(f.Right > 0 && cw - f.Right < p.Right && cw > p.Right ? p.Right - (cw - f.Right) : 0, w);
  Blit(bmp, r.Right - rr, r.Top, rr, h, ci.Bmp, static_cast<long long>(ci.X) + p.Right - rr, sy);
  const int b = std::min(f.Bottom > 0 && ch - f.Bottom < p.Bottom && ch > p.Bottom ? p.Bottom - (ch - f.Bottom) : 0, h);
  Blit(bmp, r.Left, r.Bottom - b, w, b, ci.Bmp, sx, static_cast<long long>(ci.Y) + p.Bottom - b);
  Fill(bmp, Rect(r.Left + l, r.Top + t, r.Right - rr, r.Bottom - b), ci.FillColor);
}

// Opaque layers into a work bitmap, the parent into R, then the layers over it by weight.
void BlendOverParent(TBitmap* bmp, const TRect& r, TPoint off, const TCacheInfo& ci, const TLayers& l,
                     TacSkinData* sd, bool fillWhenNotReady) {
  const int w = r.Width(), h = r.Height();
  // A plain colour covers all of the work area; textures and gradients may leave parts.
  TWorkBitmap work(w, h, l.IP + l.GP != 0);
  if (work.Empty()) return;
  PaintOpaqueLayers(work.get(), Rect(0, 0, w, h), l, sd, Moved(ci, off));
  if (ci.Ready) {
    if (ci.Bmp && ci.Bmp != bmp) Blit(bmp, r.Left, r.Top, w, h, ci.Bmp, static_cast<long long>(ci.X) + off.X,
                                      static_cast<long long>(ci.Y) + off.Y);
  } else if (fillWhenNotReady) {
    Fill(bmp, r, ci.FillColor);
  }
  BlendBitmapRect(bmp, work.get(), WeightOf(l.T), Rect(0, 0, w - 1, h - 1), Point(r.Left, r.Top));
}

void DrawCorners(const TsGeneralData& gd, TacSkinData* sd, int state, const TRect& r, TBitmap* bmp) {
  const TCacheInfo self = MakeCacheInfo(bmp, 0, 0);
  auto corner = [&](int index, bool right, bool bottom) {
    if (!ValidImage(sd, index)) return;
    const TsMaskData& md = sd->ma[index];
    DrawMaskStateImage(bmp, Point(right ? r.Right - md.Width : r.Left, bottom ? r.Bottom - md.Height : r.Top), state, 1,
                       md, self);
  };
  corner(gd.ImgTL, false, false);
  corner(gd.ImgTR, true, false);
  corner(gd.ImgBL, false, true);
  corner(gd.ImgBR, true, true);
}

int LimitState(const TsGeneralData& gd, int state) { return std::max(0, std::min(state, gd.States - 1)); }

bool InsideBitmap(const TRect& r, const TBitmap* bmp) {
  return r.Left >= 0 && r.Top >= 0 && r.Right <= bmp->Width() && r.Bottom <= bmp->Height();
}

// Clears a control's adjustments: tone, hue, saturation over all of Bmp but key pixels.
void AdjustControl(TsCommonData* cd, TBitmap* bmp) {
  if (cd->FColorTone != clNone) ForEachPixel(bmp, PixelColorTone, SkinColorOf(cd->FColorTone), 0xFF00FF);
  if (cd->FHUEOffset != 0) ForEachPixel(bmp, PixelHueShift, cd->FHUEOffset, 0xFF00FF);
  if (cd->FSaturation != 0) ForEachPixel(bmp, PixelSaturation, cd->FSaturation, 0xFF00FF);
}

// The control's border; true when the adjustments follow.
bool PaintControlBorder(TsCommonData* cd, TacSkinData* sd, const TCacheInfo& moved, int state, const TRect& r,
                        TBitmap* bmp, bool borderFlag) {
  const TsGeneralData& gd = sd->gd[cd->SkinIndex];
  if (ValidImage(sd, gd.BorderIndex) && !(state == 0 && (sd->ma[gd.BorderIndex].DrawMode & 2))) {
    PaintMaskNineSlice(bmp, r, moved, sd->ma[gd.BorderIndex], state, borderFlag);
    return true;
  }
  return gd.StateProps(std::min(state, 2)).Transparency == 0;
}

}  // namespace

bool RequestBackgroundFromWindow(TacBGInfo& info, HWND wnd, bool pleaseDraw) {
  info.BgType = btUnknown;
  info.PleaseDraw = pleaseDraw;
  info.FrameRect = TRect{};
  SendSkinCommand(wnd, SKCMD_GET_BG_INFO, reinterpret_cast<LPARAM>(&info));
  if (info.BgType != btUnknown) return true;
  if (pleaseDraw) {
    if (info.DrawDC) {
      TSavedDC saved(info.DrawDC);
      OffsetViewportOrgEx(info.DrawDC, -info.Offset.X, -info.Offset.Y, nullptr);
      const TRect r = OffsetRectXY(info.R, info.Offset.X, info.Offset.Y);
      IntersectClipRect(info.DrawDC, r.Left, r.Top, r.Right, r.Bottom);
      SendMessageW(wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(info.DrawDC), 0);
      SendMessageW(wnd, WM_PAINT, reinterpret_cast<WPARAM>(info.DrawDC), 0);
    }
    return false;
  }
  TsSkinManager* manager = DefaultManager();
  info.Color = manager && manager->IsActive() ? manager->GetGlobalColor() : static_cast<TColor>(0xFF00000F);
  info.BgType = btFill;
  return false;
}

bool RequestBackgroundFromControl(TacBGInfo& info, TControl* control, bool pleaseDraw) {
  info.Bmp = nullptr;
  info.BgType = btUnknown;
  info.PleaseDraw = pleaseDraw;
  info.FrameRect = TRect{};
  if (!control) return true;
  PerformSkinCommand(control, SKCMD_GET_BG_INFO, reinterpret_cast<LPARAM>(&info));
  if (info.BgType != btUnknown) return true;
  if (pleaseDraw) {
    if (info.DrawDC) {
      TSavedDC saved(info.DrawDC);
      OffsetViewportOrgEx(info.DrawDC, -info.Offset.X, -info.Offset.Y, nullptr);
      const TRect r = OffsetRectXY(info.R, info.Offset.X, info.Offset.Y);
      IntersectClipRect(info.DrawDC, r.Left, r.Top, r.Right, r.Bottom);
      control->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(info.DrawDC), 0);
      control->Perform(WM_PAINT, reinterpret_cast<WPARAM>(info.DrawDC), 0);
    }
    return true;
  }
  info.BgType = btFill;
  const LRESULT answer = QuerySkinCommand(control, SKCMD_GET_BG_COLOR);
  info.Color = answer != 0 ? static_cast<TColor>(answer) : ColorToRGB(control->Color());
  return true;
}

void CacheInfoFromBackgroundInfo(const TacBGInfo& info, TCacheInfo& ci) {
  ci.Bmp = info.Bmp;
  ci.X = info.Offset.X;
  ci.Y = info.Offset.Y;
  if (info.BgType == btCache) {
    ci.FillColor = SkinColor;
    ci.FillRect = TRect{};
    ci.Ready = true;
  } else {
    ci.FillColor = ColorToRGB(info.Color);
    ci.FillRect = info.FrameRect;
    ci.Ready = false;
  }
}

void PaintSectionBackground(int skinIndex, const TCacheInfo& ci, int state, const TRect& r, TPoint off, TBitmap* bmp,
                            TacSkinData* sd, int textureIndex, int hotTextureIndex, TColor color) {
  if (!bmp || !ValidSection(sd, skinIndex)) return;
  const TsGeneralData& gd = sd->gd[skinIndex];
  state = gd.PropsIndex(state);
  const TsGenState& st = gd.Props[state];
  const TLayers l = LayersOf(st, textureIndex, color);

  if ((!ci.Ready && ci.FillColor == SkinColor) || l.T == 0) {
    PaintOpaqueLayers(bmp, r, l, sd, Moved(ci, off));
  } else if (l.T == 100) {
    CopyParent(bmp, r, off, ci);
  } else if (ci.Ready || l.IP + l.GP != 0) {
    BlendOverParent(bmp, r, off, ci, l, sd, true);
  } else {
    Fill(bmp, r, static_cast<TColor>(BlendTwoColors(ColorToRGB(ci.FillColor), ColorToRGB(l.Color), WeightOf(l.T))));
  }
  if (l.GdiPlus) PaintGradientArray(bmp, r, st.GradientArray, 0, 0);

  const int overlay = state == 0 ? (textureIndex < 0 ? st.TextureIndex : textureIndex) : hotTextureIndex;
  if (ValidImage(sd, overlay) && sd->ma[overlay].MaskType > 0 && sd->ma[overlay].DrawMode == 10) {
    TRect rest = r;
    PaintMaskedTextureTiles(bmp, rest, sd->ma[overlay], 10, Moved(ci, off));
  }
}

void PaintSkinSection(int skinIndex, const TCacheInfo& ci, int state, const TRect& r, TPoint off, TBitmap* bmp,
                      TacSkinData* sd, int textureIndex, int hotTextureIndex) {
  if (!bmp || r.IsEmpty() || !ValidSection(sd, skinIndex) || !InsideBitmap(r, bmp)) return;
  const TsGeneralData& gd = sd->gd[skinIndex];
  state = LimitState(gd, state);
  PaintSectionBackground(skinIndex, ci, state, r, off, bmp, sd, textureIndex, hotTextureIndex, SkinColor);
  DrawCorners(gd, sd, state, r, bmp);
  if (ValidImage(sd, gd.BorderIndex)) PaintMaskNineSlice(bmp, r, Moved(ci, off), sd->ma[gd.BorderIndex], state, true);
}

void PaintSkinSectionOnDC(int skinIndex, const TCacheInfo& ci, int state, const TRect& r, TPoint off, HDC dc,
                          TacSkinData* sd) {
  if (!dc || !ValidSection(sd, skinIndex) || r.Left < 0 || r.Top < 0 || r.IsEmpty()) return;
  TSavedDC saved(dc);
  TWorkBitmap work(r.Width(), r.Height(), true);
  if (work.Empty()) return;
  PaintSkinSection(skinIndex, ci, state, Rect(0, 0, r.Width(), r.Height()), off, work.get(), sd);
  BitBlt(dc, r.Left, r.Top, r.Width(), r.Height(), work->Canvas().Handle(), 0, 0, SRCCOPY);
}

int PaintSkinSectionFromDC(TBitmap* bmp, int skinIndex, int fallbackSkinIndex, int state, TacSkinData* sd,
                           TPoint sourcePoint, TColor color, HDC dc) {
  const int index = skinIndex < 0 ? fallbackSkinIndex : skinIndex;
  if (index < 0 || !bmp) return index;
  TCacheInfo ci;
  ci.FillColor = color;
  ci.X = ci.Y = 0;
  ci.Ready = dc != nullptr;
  if (dc) {
    BitBlt(bmp->Canvas().Handle(), 0, 0, bmp->Width(), bmp->Height(), dc, sourcePoint.X, sourcePoint.Y, SRCCOPY);
    ci.Bmp = bmp;
  }
  PaintSkinSection(index, ci, state, Rect(0, 0, bmp->Width(), bmp->Height()), Point(0, 0), bmp, sd, -1, -1);
  return index;
}

void PaintPartBackground(int skinIndex, int textureIndex, const TCacheInfo& ci, int state, const TRect& r,
                         TPoint off, TBitmap* bmp, TacSkinData* sd) {
  if (!bmp || !ValidSection(sd, skinIndex)) return;
  const TsGenState& st = sd->gd[skinIndex].StateProps(state);
  TLayers l = LayersOf(st, -1, SkinColor);
  l.Texture = l.IP > 0 ? textureIndex : -1;
  auto opaque = [&](TBitmap* target, TRect area, const TCacheInfo& moved) {
    if (l.IP > 0) {
      // An invalid texture leaves all of the area uncovered, as in a section background.
      TRect rest = area;
      if (ValidImage(sd, l.Texture)) {
        const TsMaskData& md = sd->ma[l.Texture];
        if (md.MaskType > 0)
          PaintMaskedTextureTiles(target, rest, md, md.DrawMode, moved);
        else
          PaintTextureTiles(target, rest, md, md.DrawMode);
      }
      if (rest.Right != -1) {
        Fill(target, rest, l.Color);
        area = rest;
      }
    }
    if (l.GP > 0) PaintGradientLayer(target, area, l);
    const int s = l.IP + l.GP;
    if (s > 0 && s < 100)
      ColorBlendRect(target, Rect(area.Left, area.Top, area.Right - 1, area.Bottom - 1), WeightOf(s), l.Color);
    else if (s != 100)
      Fill(target, area, !ci.Ready && l.T == 100 ? ci.FillColor : l.Color);
  };
  if (ci.Ready && l.T == 100) {
    if (ci.Bmp && ci.Bmp != bmp) CopyParent(bmp, r, off, ci);
  } else if (!ci.Ready || l.T == 0) {
    opaque(bmp, r, Moved(ci, off));
  } else if (l.T > 0) {
    const int w = r.Width(), h = r.Height();
    TWorkBitmap work(w, h, true);
    if (!work.Empty()) {
      opaque(work.get(), Rect(0, 0, w, h), Moved(ci, off));
      if (ci.Bmp && ci.Bmp != bmp) CopyParent(bmp, r, off, ci);
      BlendBitmapRect(bmp, work.get(), WeightOf(l.T), Rect(0, 0, w - 1, h - 1), Point(r.Left, r.Top));
    }
  }
  if (l.GdiPlus) PaintGradientArray(bmp, r, st.GradientArray, 0, 0);
}

void PaintSkinSectionPart(int skinIndex, int maskIndex, int textureIndex, const TCacheInfo& ci, int state,
                          const TRect& r, TPoint off, TBitmap* bmp, TacSkinData* sd) {
  if (!bmp || !ValidSection(sd, skinIndex) || !InsideBitmap(r, bmp)) return;
  state = LimitState(sd->gd[skinIndex], state);
  PaintPartBackground(skinIndex, textureIndex, ci, state, r, off, bmp, sd);
  if (ValidImage(sd, maskIndex)) PaintMaskNineSlice(bmp, r, Moved(ci, off), sd->ma[maskIndex], state, true);
}

void PaintControlBackground(TsCommonData* cd, const TCacheInfo& ci, int state, const TRect& r, TPoint off,
                            TBitmap* bmp) {
  if (!cd) return;
  TacSkinData* sd = cd->ReadCommonSkinData();
  if (!ValidSection(sd, cd->SkinIndex)) return;
  TColor color = SkinColor;
  if (cd->FCustomColor) {
    if (TsSkinProvider* provider = cd->Provider(); provider && provider->Form)
      color = SkinColorOf(provider->Form->Color(), cd->ReadSkinManager());
    else if (cd->FOwnerControl)
      color = SkinColorOf(cd->FOwnerControl->Color(), cd->ReadSkinManager());
  }
  state = LimitState(sd->gd[cd->SkinIndex], state);
  PaintSectionBackground(cd->SkinIndex, ci, state, r, off, bmp, sd, -1, -1, color);
}

void PaintControlSkin(TsCommonData* cd, const TCacheInfo& ci, int state, const TRect& r, TPoint off, TBitmap* bmp,
                      bool borderFlag) {
  if (!cd || !cd->ReadSkinManager() || !bmp) return;
  TacSkinData* sd = cd->ReadCommonSkinData();
  if (!ValidSection(sd, cd->SkinIndex) || !InsideBitmap(r, bmp)) return;
  const TsGeneralData& gd = sd->gd[cd->SkinIndex];
  state = LimitState(gd, state);
  PaintControlBackground(cd, ci, state, r, off, bmp);
  DrawCorners(gd, sd, state, r, bmp);
  if (PaintControlBorder(cd, sd, Moved(ci, off), state, r, bmp, borderFlag)) AdjustControl(cd, bmp);
}

bool PaintControlSkinOnParent(TsCommonData* cd, TControl* parent, int state, const TRect& r, TPoint off, TBitmap* bmp,
                              bool borderFlag) {
  if (!cd || !cd->ReadSkinManager() || !bmp) return true;
  TacSkinData* sd = cd->ReadCommonSkinData();
  if (!InsideBitmap(r, bmp) || !ValidSection(sd, cd->SkinIndex)) return true;
  const TsGeneralData& gd = sd->gd[cd->SkinIndex];
  state = LimitState(gd, state);
  TacBGInfo info;
  RequestBackgroundFromControl(info, parent, false);
  if (info.BgType == btNotReady) return false;
  TCacheInfo ci;
  CacheInfoFromBackgroundInfo(info, ci);
  PaintControlBackground(cd, ci, state, r, off, bmp);
  PaintControlBorder(cd, sd, Moved(ci, off), state, r, bmp, borderFlag);
  DrawCorners(gd, sd, state, r, bmp);
  return true;
}

void PaintTextureTiles(TBitmap* target, TRect& r, const TsMaskData& md, int mode) {
  TBitmap* src = SourceOf(md);
  const int tw = md.R.Width(), th = md.R.Height();
  // An empty tile would never advance: the area stays uncovered and takes the colour.
  if (!target || !src || src->Empty() || tw <= 0 || th <= 0) return;
  const TRect a = r;
  const int sx = md.R.Left, sy = md.R.Top;
  auto tiles = [&](const TRect& area) { TileRect(target, area, src, sx, sy, tw, th); };
  // One row of whole-height tiles, one column of whole-width tiles.
  auto rowOfTiles = [&](int y) { tiles(Rect(a.Left, y, a.Right, y + th)); };
  auto columnOfTiles = [&](int x) { tiles(Rect(x, a.Top, x + tw, a.Bottom)); };
  r = NoRect;
  switch (mode) {
    case 1:
      Stretch(target, a.Left, a.Top, a.Width(), a.Height(), src, md.R);
      break;
    case 4:
      Stretch(target, a.Left, a.Top, a.Width(), th, src, md.R);
      r = Rect(a.Left, a.Top + th, a.Right, a.Bottom);
      break;
    case 5:
      Stretch(target, a.Left, a.Top, tw, a.Height(), src, md.R);
      r = Rect(a.Left + tw, a.Top, a.Right, a.Bottom);
      break;
    case 10:  // whole rows only; the right column cut as in mode 0
      tiles(Rect(a.Left, a.Top, a.Right, a.Top + a.Height() / th * th));
      break;
    case 11:
      for (int y = a.Top; y < a.Bottom; y += th) Stretch(target, a.Left, y, a.Width(), th, src, md.R);
      break;
    case 12:
      for (int x = a.Left; x < a.Right; x += tw) Stretch(target, x, a.Top, tw, a.Height(), src, md.R);
      break;
    case 13:
      for (int y = a.Bottom - th; y + th > a.Top; y -= th)
        for (int x = a.Right - tw; x + tw > a.Left; x -= tw) {
          const int cx = std::max(x, a.Left), cy = std::max(y, a.Top);
          Blit(target, cx, cy, x + tw - cx, y + th - cy, src, sx + cx - x, sy + cy - y);
        }
      break;
    case 2:
      rowOfTiles(a.Top);
      r = Rect(a.Left, a.Top + th, a.Right, a.Bottom);
      break;
    case 3:
      columnOfTiles(a.Left);
      r = Rect(a.Left + tw, a.Top, a.Right, a.Bottom);
      break;
    case 6:
      rowOfTiles(a.Bottom - th);
      r = Rect(a.Left, a.Top, a.Right, a.Bottom - th);
      break;
    case 7:
    case 8:
    case 9:
      columnOfTiles(a.Right - tw);
      r = Rect(a.Left, a.Top, a.Right - tw, a.Bottom);
      break;
    default:
      if (mode >= 14) {
        columnOfTiles(a.Right - tw);
        r = Rect(a.Left, a.Top, a.Right - tw, a.Bottom);
        break;
      }
      tiles(a);
      break;
  }
}

void PaintMaskedTextureTiles(TBitmap* target, TRect& r, const TsMaskData& md, int mode, const TCacheInfo& ci) {
  const int tw = md.Width, th = md.R.Height() / 2;
  if (!target || !md.Manager || tw <= 0 || th <= 0) return;  // an empty tile leaves the area uncovered
  const TRect a = r;
  r = NoRect;
  const TRect src = Rect(md.R.Left, md.R.Top, md.R.Left + tw, md.R.Top + th);
  auto tile = [&](int x, int y, int w, int h) { CopyMaskedFromMaster(Rect(x, y, x + w, y + h), src, target, ci, md); };
  if (mode == 0) {
    for (int y = a.Top; y + th <= a.Bottom; y += th) {
      int x = a.Left;
      for (; x + tw <= a.Right; x += tw) tile(x, y, tw, th);
      if (x < a.Right) tile(x, y, a.Right - x, th);
    }
  } else if (mode == 10) {
    int lastX = a.Left, lastY = a.Top;
    if (a.Left + tw <= a.Right)
      for (int y = a.Top; y + th <= a.Bottom; y += th) {
        int x = a.Left;
        for (; x + tw <= a.Right; x += tw) tile(x, y, tw, th);
        lastX = x;
        lastY = y + th;
      }
    auto parent = [&](const TRect& strip) {
      if (strip.IsEmpty()) return;
      if (ci.Ready)
        Blit(target, strip.Left, strip.Top, strip.Width(), strip.Height(), ci.Bmp,
             static_cast<long long>(ci.X) + strip.Left, static_cast<long long>(ci.Y) + strip.Top);
      else
        Fill(target, strip, ci.FillColor);
    };
    parent(Rect(a.Left, lastY, a.Right, a.Bottom));
    if (lastY > a.Top) parent(Rect(lastX, a.Top, a.Right, lastY));
  }
}

void PaintSectionBackgroundLayered(int skinIndex, int state, const TRect& r, TBitmap* bmp, TacSkinData* sd,
                                   TColor color) {
  if (!bmp || r.IsEmpty() || !ValidSection(sd, skinIndex)) return;
  const TsGenState& st = sd->gd[skinIndex].StateProps(state);
  const bool whole = r.Width() == bmp->Width() && r.Height() == bmp->Height();
  if (st.Transparency == 100) {
    if (whole) FillRectArgb(bmp, r, 0, 0);
    return;
  }
  TColor c = st.Color;
  int tr = st.Transparency, ip = st.ImagePercent, gp = st.GradientPercent;
  if (color != SkinColor) c = color, tr = ip = gp = 0;
  c = ColorToRGB(c);
  const int ti = ip > 0 ? st.TextureIndex : -1;
  const TsGradArray* ga = gp > 0 ? &st.GradientArray : nullptr;
  const std::uint8_t alpha = WeightOf(100 - tr);

  if (ip + gp == 100 && gp >= 1 && gp <= 99 && ValidImage(sd, ti) && sd->ma[ti].DrawMode == 0 && ga && !ga->empty() &&
      (*ga)[0].Mode < 2) {
    const TsMaskData& md = sd->ma[ti];
    PaintGradientWithTexture(bmp, r, *ga, SourceOf(md), md.R, WeightOf(ip), alpha);
    return;
  }
  TRect work = r;
  bool textured = false;
  if (ip > 0) {
    if (ValidImage(sd, ti)) {
      const TsMaskData& md = sd->ma[ti];
      if (md.MaskType > 0)
        PaintMaskedTextureTiles(bmp, work, md, md.DrawMode, EmptyCacheInfo);
      else
        PaintTextureTiles(bmp, work, md, md.DrawMode);
    }
    textured = true;
    if (work.Right >= 0) FillRectArgb(bmp, work, c, 255);
  }
  if (gp > 0) {
    if (textured) {
      const int w = r.Width(), h = r.Height();
      TWorkBitmap layer(w, h, true);
      if (!layer.Empty()) {
        if (!ga->empty())
          PaintGradientArray(layer.get(), Rect(0, 0, w, h), *ga, 0, 0);
        else
          FillRectArgb(layer.get(), Rect(0, 0, w, h), c, 255);
        BlendBitmapRect(bmp, layer.get(), static_cast<std::uint8_t>(std::clamp(ip * 255 / 100, 0, 255)),
                        Rect(0, 0, w - 1, h - 1), Point(r.Left, r.Top));
      }
    } else if (!ga->empty()) {
      // The skin's gradient is shared by every painter: the alpha-carrying form is this
      // call's own, every point marked so that each segment carries the alpha.
      TsGradArray translucent = *ga;
      for (TsGradPoint& point : translucent) {
        point.Mode |= gmGdiPlusSegment;
        point.Color = (point.Color & 0x00FFFFFF) | (TsColor(alpha) << 24);
      }
      PaintGradientArray(bmp, r, translucent, 0, 0);
    } else {
      FillRectArgb(bmp, r, c, 255);
      return;
    }
  }
  const int s = ip + gp;
  if (s > 0 && s < 100) {
    ColorBlendRect(bmp, Rect(r.Left, r.Top, r.Right - 1, r.Bottom - 1), WeightOf(s), c);
  } else if (s == 0) {
    // Over a clear bitmap the colour is laid at the state's alpha; over something painted
    // it is mixed in, never lowering the alpha the top-left pixel shows.
    const std::uint32_t d = GetPixel32(bmp, work.Left, work.Top);
    if (d == 0)
      FillRectArgb(bmp, r, c, alpha);
    else if (tr == 0)
      FillRectArgb(bmp, r, c, 255);
    else
      MixColorPercentRect(bmp, r, c, 100 - tr, std::max<std::uint8_t>(static_cast<std::uint8_t>(d >> 24), alpha));
  }
}

void PaintSkinSectionLayered(int skinIndex, std::uint32_t, int state, const TRect& r, TPoint, TBitmap* bmp,
                             TacSkinData* sd) {
  if (!bmp || r.IsEmpty() || !ValidSection(sd, skinIndex) || !InsideBitmap(r, bmp)) return;
  const TsGeneralData& gd = sd->gd[skinIndex];
  // A section without states paints its first; past the last, the last (and at most the third).
  state = gd.PropsIndex(state);
  const int w = r.Width(), h = r.Height();
  // What the bitmap held, for border pixels that see through.
  TWorkBitmap backup(w + 1, h + 1, true);
  if (backup.Empty()) return;
  Blit(backup.get(), 0, 0, w + 1, h + 1, bmp, r.Left, r.Top);
  PaintSectionBackgroundLayered(skinIndex, state, r, bmp, sd, SkinColor);
  if (ValidImage(sd, gd.BorderIndex))
    PaintMaskNineSliceLayered(bmp, r, MakeCacheInfo(backup.get(), -r.Left, -r.Top), sd->ma[gd.BorderIndex], state);
  if (w == bmp->Width() && h == bmp->Height()) PremultiplyRect(bmp, r);
}
