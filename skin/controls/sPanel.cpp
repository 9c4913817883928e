#include "skin/controls/sPanel.h"

#include <algorithm>
#include <cmath>

#include "skin/graphics/acAnimation.h"
#include "skin/graphics/acGradient.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sSkinPalette.h"

namespace {

// RedrawWindow flags: invalidate, erase, children, now, frame (0x585), and the same
// without the children (0x545).
constexpr UINT RedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME;
constexpr UINT RedrawOwn = RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME;
static_assert(RedrawAll == 0x585 && RedrawOwn == 0x545);

constexpr int SideShadowSize = 6;
constexpr int SIconCloseGlyph = 6;  // "SICONCLOSE" among the title glyphs

const wchar_t* SectionOfBevel(TBevelCut bevel) {
  switch (bevel) {
    case bvNone: return L"TRANSPARENT";
    case bvLowered: return L"PANEL_LOW";
    case bvRaised: return L"PANEL";
    case bvSpace: return L"GROUPBOX";
  }
  return L"PANEL";
}

bool ValidIndex(TacSkinData* sd, int index) { return sd && index >= 0 && index < static_cast<int>(sd->gd.size()); }

}  // namespace

// ---- TacSideShadow ---------------------------------------------------------

TacSideShadow::TacSideShadow(TsCustomPanel* AOwner) : FOwner(AOwner) {
  FMode = ssmNone;
  FSide = asRight;
  FBlend = 48;
}

void TacSideShadow::SetMode(TacSideShadowMode Value) {
  if (FMode == Value) return;
  FMode = Value;
  Invalidate();
}

void TacSideShadow::SetSide(TacSide Value) {
  if (FSide == Value) return;
  FSide = Value;
  Invalidate();
}

void TacSideShadow::SetBlend(int Value) {
  if (FBlend == Value) return;
  FBlend = Value;
  Invalidate();
}

void TacSideShadow::Invalidate() {
  if (FOwner->ComponentState() & csLoading) return;
  FOwner->ShadowBmp.reset();
  if (FOwner->FCommonData) FOwner->FCommonData->BGChanged = true;
  for (TControl* child : std::vector<TControl*>(FOwner->Controls()))
    if (!child->Destroying()) child->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_PARENT_MOVED), 0);
  if (FOwner->HandleAllocated()) RedrawWindow(FOwner->Handle(), nullptr, nullptr, RedrawAll);
}

// ---- TsCustomPanel ---------------------------------------------------------

TsCustomPanel::TsCustomPanel(TComponent* AOwner) : TCustomPanel(AOwner) {
  FCommonData = std::make_unique<TsCtrlSkinData>(this, true);
  FCommonData->COC = COC_TsPanel;
  FSideShadow = std::make_unique<TacSideShadow>(this);
}

TsCustomPanel::~TsCustomPanel() = default;

void TsCustomPanel::AfterConstruction() {
  TCustomPanel::AfterConstruction();
  if (FCommonData) FCommonData->Loaded(true);
}

void TsCustomPanel::BeforeDestruction() {
  FCommonData.reset();
  FSideShadow.reset();
  TCustomPanel::BeforeDestruction();
}

void TsCustomPanel::Loaded() {
  TCustomPanel::Loaded();
  if (FCommonData) FCommonData->Loaded(true);
  FOldBevel = BevelOuter;
  if (HandleAllocated())
    SetClassLongPtrW(FHandle, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
}

void TsCustomPanel::Paint(HDC dc) {
  TCustomPanel::PaintWindow(dc);
  if (OnPaint && Showing()) {
    TCanvas canvas(dc);
    OnPaint(this, canvas);
  }
}

void TsCustomPanel::PaintWindow(HDC dc) {
  if ((FHandle && !IsWindowVisible(FHandle) && !Designing()) || Destroying()) return;
  const bool skinned = FCommonData && FCommonData->Skinned();
  if (!((FControlState & csPaintCopy) && skinned)) Paint(dc);
  PaintPanel(dc, true);
}

void TsCustomPanel::CopyCacheToDC(HDC DC) {
  const TRect r = Rect(0, 0, Width(), Height());
  PaintCacheExceptControls(this, FCommonData.get(), r, 0, 0, false, DC, r);
}

void TsCustomPanel::WriteText(TRect R, TCanvas* aCanvas, HDC aDC) {
  if (!ShowCaption || FCaption.empty()) return;
  std::unique_ptr<TCanvas> own;
  TCanvas* canvas = aCanvas;
  if (!canvas) {
    if (!aDC) return;
    own = std::make_unique<TCanvas>(aDC);
    canvas = own.get();
  }
  canvas->Font.Assign(Font);
  UINT flags = TextFlagsOf(this, Alignment);
  if (VerticalAlignment == taVerticalCenter) {
    flags |= DT_WORDBREAK;
    TRect measured = R;
    DrawTextLimited(canvas->FontHandle(), FCaption, measured, flags | DT_CALCRECT);
    const int h = std::max(0, measured.Height());
    R.Top = R.Top + (R.Height() - h) / 2 + BorderWidth;
    R.Bottom = R.Top + h;
  } else {
    flags = (flags | DT_SINGLELINE) & ~(DT_VCENTER | DT_WORDBREAK);
    if (VerticalAlignment == taAlignBottom) flags |= DT_BOTTOM;
  }
  WriteControlText(canvas, FCaption.c_str(), Enabled(), R, flags, FCommonData.get(), 0, false);
}

bool TsCustomPanel::PrepareCache() {
  TsCommonData* st = FCommonData.get();
  st->InitCacheBitmap();
  TBitmap* cache = st->FCacheBmp.get();
  if (!cache || cache->Empty()) return false;
  if (!PaintControlSkinOnParent(st, FParent, 0, Rect(0, 0, Width(), Height()), Point(Left(), Top()), cache, false)) {
    st->FUpdating = true;
    return false;
  }
  TRect text = Rect(0, 0, Width(), Height());
  if (HandleAllocated()) {
    RECT client;
    GetClientRect(FHandle, &client);
    text = Rect(client.left, client.top, client.right, client.bottom);
  }
  const int f = FrameWidth();
  text = Rect(text.Left + f, text.Top + f, text.Right - f, text.Bottom - f);
  ApplyColorEffects(cache, st, st->FColorTone, 0);
  st->PaintOuterEffects(this, Point(0, 0));
  WriteText(text, &cache->Canvas(), nullptr);
  if (OnPaint) OnPaint(this, cache->Canvas());
  if (DockSite) PaintDragPanel(cache->Canvas().Handle());
  st->BGChanged = false;
  PaintSideShadow();
  return true;
}

void TsCustomPanel::PaintSideShadow() {
  if (!FSideShadow || FSideShadow->Mode() != ssmInternal) return;
  TBitmap* cache = FCommonData->FCacheBmp.get();
  const int t = ScaleForControl(SideShadowSize, FCommonData.get(), true);
  const int w = Width(), h = Height();
  TRect strip;
  switch (FSideShadow->Side()) {
    case asLeft: strip = Rect(0, 0, t, h); break;
    case asTop: strip = Rect(0, 0, w, t); break;
    case asRight: strip = Rect(w - t, 0, w, h); break;
    case asBottom: strip = Rect(0, h - t, w, h); break;
  }
  if (strip.Width() <= 0 || strip.Height() <= 0) return;
  if (!ShadowBmp || ShadowBmp->Width() != strip.Width() || ShadowBmp->Height() != strip.Height()) {
    if (!ShadowBmp)
      ShadowBmp = NewBitmap32(strip.Width(), strip.Height());
    else
      ShadowBmp->SetSize(strip.Width(), strip.Height());
    PaintColorFade(ShadowBmp.get(), static_cast<TColor>(static_cast<std::uint32_t>(FSideShadow->Blend()) << 24),
                   FSideShadow->Side());
  }
  AlphaBlendRect(cache, ShadowBmp.get(), Rect(0, 0, strip.Width() - 1, strip.Height() - 1),
                 Point(strip.Left, strip.Top), 255);
}

bool TsCustomPanel::GrabBarsCaptioned() const { return DefaultDockTreeClassName == L"TCaptionedDockTree"; }

TRect TsCustomPanel::GrabBarRect(TControl* Client) const {
  const int h = GrabBarsCaptioned() ? 23 : 12;
  const TRect b = Client->BoundsRect();
  return Rect(b.Left, b.Top - h, b.Right, b.Top);
}

TRect TsCustomPanel::GrabGlyphRect(const TRect& Bar, int W, int H) {
  const int barH = Bar.Height();
  const double s = H > barH ? double(barH) / H : 1.0;
  const int w = static_cast<int>(std::nearbyint(W * s)), h = static_cast<int>(std::nearbyint(H * s));
  const int m = (barH - h) / 2;
  return Rect(Bar.Right - m - w, Bar.Top + m, Bar.Right - m, Bar.Top + m + h);
}

void TsCustomPanel::PaintDragPanel(HDC DC) {
  if (!UseDockManager) return;
  TsCommonData* st = FCommonData.get();
  TacSkinData* sd = st->ReadCommonSkinData();
  TBitmap* cache = st->FCacheBmp.get();
  if (!sd || !cache) return;
  const bool captioned = GrabBarsCaptioned();
  int section = captioned ? sd->GetSkinIndex(L"DRAGBAR") : sd->GetSkinIndex(L"GRIPV");
  if (section < 0) section = captioned ? sd->GetSkinIndex(L"PANEL") : sd->GetSkinIndex(L"GRIPH");
  const int glyph = sd->TitleGlyphs[SIconCloseGlyph];
  for (TControl* client : DockClients) {
    if (!client || !client->Visible()) continue;
    const TRect r = GrabBarRect(client);
    auto work = NewBitmap32(r.Width(), r.Height());
    TCacheInfo ci;
    ci.Bmp = cache;
    ci.X = ci.Y = 0;
    ci.Ready = true;
    if (section >= 0) PaintSkinSection(section, ci, 0, r, Point(r.Left, r.Top), cache, sd);
    if (captioned && !client->Caption().empty()) {
      TRect text = GrabCaptionRect(r);
      WriteSkinText(&cache->Canvas(), client->Caption().c_str(), true, text, DT_END_ELLIPSIS | DT_VCENTER, section, 0);
    }
    if (glyph >= 0 && glyph < static_cast<int>(sd->ma.size())) {
      const TsMaskData& mask = sd->ma[glyph];
      const int gw = mask.Width, gh = mask.Height;
      if (gw <= 0 || gh <= 0) continue;
      const TRect g = GrabGlyphRect(r, gw, gh);
      work->SetSize(gw, gh);
      HDC wdc = work->Canvas().Handle();
      HDC cdc = cache->Canvas().Handle();
      TCacheInfo gci;
      gci.Bmp = cache;
      gci.X = g.Left;
      gci.Y = g.Top;
      gci.Ready = true;
      if (g.Width() == gw && g.Height() == gh) {
        BitBlt(wdc, 0, 0, gw, gh, cdc, g.Left, g.Top, SRCCOPY);
        DrawMaskStateImage(work.get(), Point(0, 0), 0, 1, mask, gci);
        GdiFlush();
        BitBlt(DC, g.Left, g.Top, gw, gh, wdc, 0, 0, SRCCOPY);
      } else {
        SetStretchBltMode(wdc, COLORONCOLOR);
        StretchBlt(wdc, 0, 0, gw, gh, cdc, g.Left, g.Top, g.Width(), g.Height(), SRCCOPY);
        DrawMaskStateImage(work.get(), Point(0, 0), 0, 1, mask, gci);
        GdiFlush();
        SetStretchBltMode(DC, COLORONCOLOR);
        StretchBlt(DC, g.Left, g.Top, g.Width(), g.Height(), wdc, 0, 0, gw, gh, SRCCOPY);
      }
    }
  }
}

void TsCustomPanel::PaintBorder(HDC DC, const TRect& P, int D, TRect& Inner) {
  TsCommonData* st = FCommonData.get();
  TacSkinData* sd = st->ReadCommonSkinData();
  const TColor c = st->BackgroundColor(0);
  TacBGInfo info;
  info.R = P;
  if (FParent) RequestBackgroundFromControl(info, FParent, false);
  TCacheInfo ci;
  CacheInfoFromBackgroundInfo(info, ci);
  Inner = P;
  TBitmap* cache = st->FCacheBmp.get();
  const int border = ValidIndex(sd, st->SkinIndex) ? sd->gd[st->SkinIndex].BorderIndex : -1;
  int wl = 0, wt = 0, wr = 0, wb = 0;
  if (border >= 0 && border < static_cast<int>(sd->ma.size())) {
    const TsMaskData& mask = sd->ma[border];
    const int state = std::min(0, std::max(0, sd->gd[st->SkinIndex].States - 1));
    if (mask.MaskType == 1 && info.BgType == btCache && info.Bmp) {
      const int m = std::max({int(mask.WL), int(mask.WT), int(mask.WR), int(mask.WB)});
      BlitBorderStrips(cache->Canvas().Handle(), 0, 0, P.Width(), P.Height(), info.Bmp->Canvas().Handle(),
                       Left() + info.Offset.X, Top() + info.Offset.Y, m, m, m, m);
    }
    TCacheInfo moved = ci;
    moved.X += Left();
    moved.Y += Top();
    PaintMaskNineSlice(cache, P, moved, mask, state, true);
    wl = mask.WL, wt = mask.WT, wr = mask.WR, wb = mask.WB;
    Inner = Rect(P.Left + wl, P.Top + wt, P.Right - wr, P.Bottom - wb);
  }
  if (D > 0) {
    const int w = P.Width(), h = P.Height();
    FillInnerFrame(cache, Inner, std::max(std::min(D, w - wr) - wl, 0), std::max(std::min(D, h - wb) - wt, 0),
                   std::max(std::min(D, w - wl) - wr, 0), std::max(std::min(D, h - wt) - wb, 0), c);
    Inner = Rect(P.Left + D, P.Top + D, std::max(P.Left + D, P.Right - D), std::max(P.Top + D, P.Bottom - D));
    if (DC != cache->Canvas().Handle())
      BlitBorderStrips(DC, 0, 0, P.Width(), P.Height(), cache->Canvas().Handle(), 0, 0, D, D, D, D);
  }
}

void TsCustomPanel::PaintDirect(HDC DC) {
  TsCommonData* st = FCommonData.get();
  TacSkinData* sd = st->ReadCommonSkinData();
  st->FUpdating = false;
  const TRect P = Rect(0, 0, Width(), Height());
  const int B = st->BorderWidth();
  {
    TSavedDC saved(DC);
    ExcludeChildControls(DC, this, 0, 0);
    const int transparency = ValidIndex(sd, st->SkinIndex) ? sd->gd[st->SkinIndex].Props[0].Transparency : 0;
    TColor F = Color();
    // Within 1 .. 99 the colour is blended with itself, which leaves it as it is.
    if (transparency > 0 && transparency < 100)
      F = static_cast<TColor>(BlendTwoColors(ColorToRGB(Color()), ColorToRGB(Color()),
                                             static_cast<std::uint8_t>(transparency * 255 / 100)));
    if (B == 0) {
      FillRectOnDC(DC, P, F);
    } else {
      if (!st->FCacheBmp) st->FCacheBmp = std::make_unique<TBitmap>();
      if (st->FCacheBmp->Width() != P.Width() || st->FCacheBmp->Height() != P.Height()) st->InitCacheBitmap();
      const int border = sd->gd[st->SkinIndex].BorderIndex;
      const bool centred = border >= 0 && (sd->ma[border].DrawMode & 4) != 0;
      TRect inner;
      if (transparency == 100 && centred) {
        PaintBorder(DC, P, 0, inner);
        GdiFlush();
        BitBlt(DC, 0, 0, P.Width(), P.Height(), st->FCacheBmp->Canvas().Handle(), 0, 0, SRCCOPY);
      } else {
        PaintBorder(DC, P, B, inner);
        FillRectOnDC(DC, inner, F);
        GdiFlush();
        BlitBorderStrips(DC, 0, 0, P.Width(), P.Height(), st->FCacheBmp->Canvas().Handle(), 0, 0, B, B, B, B);
      }
    }
    const int f = FrameWidth();
    TRect text = Rect(f, f, Width() - f, Height() - f);
    TCanvas canvas(DC);
    canvas.Font.Assign(Font);
    canvas.Brush.Style = bsClear;
    WriteText(text, &canvas, nullptr);
  }
  PaintGraphicChildren(DC, this, Point(0, 0), false);
}

void TsCustomPanel::PaintPanel(HDC DC, bool RepaintChildren) {
  TsCommonData* st = FCommonData.get();
  if (!st || !DC) return;
  if ((!Showing() && !st->PrintDC) || !st->Skinned()) return;
  const bool copy = (FControlState & csPaintCopy) != 0;
  if (st->CustomColor() && !AnimationInProgress && !OnPaint) {
    PaintDirect(DC);
  } else {
    RECT clip{};
    const int kind = GetClipBox(DC, &clip);
    if (kind == ERROR) return;
    if (kind == NULLREGION) {
      const bool freeChild = std::any_of(Controls().begin(), Controls().end(),
                                         [](TControl* c) { return c->Align() == alNone; });
      RECT whole = {0, 0, Width(), Height()};
      if (freeChild && RectVisible(DC, &whole)) {
        st->FUpdating = true;
        return;
      }
    }
    if (!(st->RecheckUpdating(false) && !copy)) {
      const bool need = st->HalfVisible || st->BGChanged || !st->FCacheBmp || st->FCacheBmp->Empty();
      st->HalfVisible = RepaintIfMoved(st) && !copy
                            ? (clip.right - clip.left != Width() || clip.bottom - clip.top != Height())
                            : false;
      if (need && !PrepareCache() && st->BGChanged) return;
      CopyCacheToDC(DC);
      PaintGraphicChildren(DC, this, Point(0, 0), false);
    }
  }
  if (RepaintChildren && !copy) RepaintChildControls(this);
}

void TsCustomPanel::WndProc(TMessage& m) {
  TsCommonData* st = FCommonData.get();
  if (!st) return TCustomPanel::WndProc(m);
  TsSkinManager* manager = st->ReadSkinManager();
  if (m.Msg == SM_SKINCOMMAND) {
    switch (SkinCommandOf(m.WParam)) {
      case SKCMD_NEW_SKIN:
        if (m.LParam == reinterpret_cast<LPARAM>(manager)) DispatchSkinCommand(m, st);
        BroadcastToAllChildren(this, m);
        return;
      case SKCMD_REMOVE_SKIN:
        if (m.LParam == reinterpret_cast<LPARAM>(manager)) {
          DispatchSkinCommand(m, st);
          TWinControl::Invalidate();
        }
        BroadcastToAllChildren(this, m);
        return;
      case SKCMD_REFRESH:
        if (m.LParam == reinterpret_cast<LPARAM>(manager)) {
          DispatchSkinCommand(m, st);
          if (HandleAllocated() && manager)
            SetClassLongPtrW(FHandle, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(manager->Brushes[pcMainColor]));
          if (HandleAllocated() && !(ComponentState() & csLoading) && Visible()) {
            InvalidateRect(FHandle, nullptr, TRUE);
            RedrawWindow(FHandle, nullptr, nullptr, RedrawOwn);
            BroadcastToAllChildren(this, m);
          }
        } else {
          BroadcastToAllChildren(this, m);
        }
        return;
      case SKCMD_IS_SKINNED:
        m.Result = 1;
        return;
      case SKCMD_DEFAULT_SECTION:
        if (manager) m.Result = manager->GetSkinIndex(SectionOfBevel(BevelOuter), st->ReadCommonSkinData()) + 1;
        return;
      case SKCMD_GET_BG_INFO:
        if (manager && ValidIndex(st->ReadCommonSkinData(), st->SkinIndex)) {
          auto* info = reinterpret_cast<TacBGInfo*>(m.LParam);
          st->FillBackgroundInfo(*info, 0, FHandle);
          if (info->BgType == btFill || info->BgType == btNotReady) return;
          const bool sizeDiffers = st->FCacheBmp && (st->FCacheBmp->Width() != Width() || st->FCacheBmp->Height() != Height());
          if (st->BGChanged && sizeDiffers && !st->IsUpdating() &&
              (!FParent || !FParent->HandleAllocated() || WindowSkinFlag(FParent->Handle(), SKCMD_IS_SKINNED))) {
            info->BgType = btNotReady;
            return;
          }
          RECT client{0, 0, Width(), Height()};
          if (HandleAllocated()) GetClientRect(FHandle, &client);
          if (client.right - client.left != Width()) {
            info->BgType = btCache;
            if (!info->PleaseDraw) {
              const int shift = BevelWidth * ((BevelInner != bvNone) + (BevelOuter != bvNone)) + BorderWidth;
              info->Offset.X += shift;
              info->Offset.Y += shift;
            }
          }
          return;
        }
        break;
      case SKCMD_PPI_CHANGED:
        DispatchSkinCommand(m, st);
        return;
      default:
        break;
    }
  }

  if (!ControlIsReady(this) || !st->Skinned(false)) {
    switch (m.Msg) {
      case WM_ERASEBKGND:
        if (!OnPaint)
          TCustomPanel::WndProc(m);
        else
          m.Result = 1;
        return;
      case WM_PRINT:
        if (OnPaint) {
          if (m.WParam) {
            TCanvas canvas(reinterpret_cast<HDC>(m.WParam));
            OnPaint(this, canvas);
          }
        } else {
          TCustomPanel::WndProc(m);
        }
        return;
      default:
        TCustomPanel::WndProc(m);
        return;
    }
  }

  switch (m.Msg) {
    case WM_SIZE:
      st->BGChanged = true;
      if (HandleAllocated() && IsWindowVisible(FHandle)) {
        HandleCommonWindowMessage(m, st);
        st->FUpdating = true;
        TCustomPanel::WndProc(m);
        st->FUpdating = false;
        RepaintChildControls(this);
        return;
      }
      return CommonTail(m);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomPanel::WndProc(m);
      return;
    case WM_PAINT:
      if (Visible() || Designing()) {
        TPaintScope paint(FHandle);
        if (!st->RecheckUpdating(false)) {
          HDC dc = m.WParam ? reinterpret_cast<HDC>(m.WParam) : GetDC(FHandle);
          const int saved = SaveDC(dc);
          FControlState |= csCustomPaint;
          try {
            const RECT& r = paint.Info().rcPaint;
            if (!m.WParam) IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
            PaintPanel(dc, true);
          } catch (...) {
            RestoreDC(dc, saved);
            FControlState &= ~csCustomPaint;
            if (!m.WParam) ReleaseDC(FHandle, dc);
            throw;
          }
          RestoreDC(dc, saved);
          FControlState &= ~csCustomPaint;
          if (!m.WParam) ReleaseDC(FHandle, dc);
        }
        m.Result = 0;
        return;
      }
      return CommonTail(m);
    case WM_ERASEBKGND:
      if (!(FControlState & csPaintCopy) && m.WParam != static_cast<WPARAM>(m.LParam)) {
        if (Designing()) TCustomPanel::WndProc(m);
        m.Result = 1;
        return;
      }
      if (m.WParam) {
        if (st->BGChanged) PrepareCache();
        if (!st->BGChanged && st->FCacheBmp) {
          GdiFlush();
          BitBlt(reinterpret_cast<HDC>(m.WParam), 0, 0, Width(), Height(), st->FCacheBmp->Canvas().Handle(), 0, 0,
                 SRCCOPY);
        }
      }
      m.Result = 1;
      return;
    case WM_WINDOWPOSCHANGING: {
      TacSkinData* sd = st->ReadCommonSkinData();
      auto* pos = reinterpret_cast<WINDOWPOS*>(m.LParam);
      if (ValidIndex(sd, st->SkinIndex) && sd->gd[st->SkinIndex].Props[0].Transparency != 0 && pos &&
          !(pos->flags & SWP_NOMOVE))
        st->BGChanged = true;
      return CommonTail(m);
    }
    case WM_CAPTURECHANGED:
    case CM_CONTROLLISTCHANGE:
    case CM_UNDOCKCLIENT:
      if (DockSite) st->BGChanged = true;
      return CommonTail(m);
    case WM_PRINT:
      st->FUpdating = false;
      st->HalfVisible = false;
      if (ControlIsReady(this)) {
        if (st->CustomColor() || st->BGChanged) PrepareCache();
        PaintPanel(reinterpret_cast<HDC>(m.WParam), false);
      }
      return;
    case CM_VISIBLECHANGED:
      st->BGChanged = true;
      st->FUpdating = false;
      if (Visible()) {
        PrepareCache();
        TCustomPanel::WndProc(m);
        RepaintChildControls(this);
      } else {
        TCustomPanel::WndProc(m);
      }
      return;
    case CM_COLORCHANGED:
      if (st->CustomColor()) st->BGChanged = true;
      return CommonTail(m);
    case CM_TEXTCHANGED:
      if (FParent) st->Invalidate(false);
      return;
    case CM_SHOWINGCHANGED:
      if (Visible()) st->FUpdating = false;
      return CommonTail(m);
    case CM_INVALIDATE:
      if (BevelOuter != FOldBevel) {
        st->UpdateIndexes(true);
        FOldBevel = BevelOuter;
      }
      return CommonTail(m);
    default:
      break;
  }
  if (m.Msg == SM_SKINCOMMAND) {
    switch (SkinCommandOf(m.WParam)) {
      case SKCMD_END_UPDATE:
        if (st->FUpdating) {
          if (!st->RecheckUpdating(true)) {
            Repaint();
            if (OnResize && st->FCacheBmp &&
                (st->FCacheBmp->Width() != Width() || st->FCacheBmp->Height() != Height()))
              OnResize(this);
          }
          RepaintChildControls(this);
        }
        return;
      case SKCMD_PREPARE_CACHE:
        if (!DockSite && !st->RecheckUpdating(false) && st->BGChanged && !PrepareCache()) st->FUpdating = true;
        return;
      default:
        if (DispatchSkinCommand(m, st)) return;
        break;
    }
  }
  CommonTail(m);
}

void TsCustomPanel::CommonTail(TMessage& m) {
  TsCommonData* st = FCommonData.get();
  if (!HandleCommonWindowMessage(m, st)) TCustomPanel::WndProc(m);
  if (!FCommonData) return;  // destroyed meanwhile
  switch (m.Msg) {
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      // The framework's own WM_SIZE handling has run OnResize already.
      st->RecheckUpdating(false);
      break;
    case WM_SETFONT:
      if (!FCaption.empty()) {
        st->BGChanged = true;
        Repaint();
      }
      break;
    case CM_ENABLEDCHANGED:
      st->Invalidate(false);
      break;
    default:
      break;
  }
}
