// The handlers of "BUTTON" class windows: push, bit, image and split buttons, check boxes and
// radio buttons, group boxes. Each renders into its common data's cache and copies that to
// the window; the window's own painting is never shown while the skin is on.
#include "skin/handlers/acSBUtils.h"

#include <algorithm>

#include "platform/ui/Buttons.h"
#include "platform/ui/ImgList.h"
#include "platform/ui/StdCtrls.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/controls/acFades.h"
#include "skin/controls/acGlow.h"
#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

TsSkinManager* ManagerOf(TacMainWnd* H) {
  if (H->SkinData) return H->SkinData->ReadSkinManager();
  return H->SkinManager ? H->SkinManager : DefaultManager();
}

// The section of the handler's data, nullptr when its index is not one of the loaded skin's.
const TsGeneralData* SectionOf(TsCommonData* Data) {
  TacSkinData* sd = Data ? Data->ReadCommonSkinData() : nullptr;
  if (!sd || Data->SkinIndex < 0 || Data->SkinIndex >= static_cast<int>(sd->gd.size())) return nullptr;
  return &sd->gd[static_cast<std::size_t>(Data->SkinIndex)];
}

// The font colour of a section state; black without the section.
TColor SectionStateFontColor(TsCommonData* Data, int State) {
  const TsGeneralData* g = SectionOf(Data);
  if (!g) return clBlack;
  return g->StateProps(g->States > 0 ? State : 0).FontColor.Color;
}

// The focus frame's colour: the font colour of state 1, state 0 when the section has no states.
TColor FocusFrameColor(TsCommonData* Data) {
  const TsGeneralData* g = SectionOf(Data);
  if (!g) return clBlack;
  return ColorToRGB(g->StateProps(g->States > 0 ? 1 : 0).FontColor.Color);
}

// A colouring colour as RGB. The table's colours carry 0xFF in their top byte, which the
// colour mapping would take for a system colour index (and answer black): their low 24 bits
// are the colour meant.
TColor ColoringRGB(TColor Color, TsSkinManager* Manager) {
  if ((static_cast<std::uint32_t>(Color) & 0xFF000000u) == 0xFF000000u && (Color & 0xFFFFFF) > 100)
    return Color & 0xFFFFFF;
  return SkinColorOf(Color, Manager);
}

bool CursorInWindow(HWND Wnd) {
  POINT p{};
  RECT r{};
  return GetCursorPos(&p) && GetWindowRect(Wnd, &r) && PtInRect(&r, p);
}

// Redraw off around the call, on again after it.
template <class F>
void Quietly(HWND Wnd, F&& Call) {
  SetWindowRedraw(Wnd, FALSE);
  Call();
  SetWindowRedraw(Wnd, TRUE);
}

}  // namespace

// The cache sized to the window, 32-bit; nullptr without common data.
TBitmap* SizedCache(TacMainWnd* H) {
  if (!H->SkinData) return nullptr;
  H->SkinData->InitCacheBitmap();
  TBitmap* cache = H->SkinData->FCacheBmp.get();
  if (!cache) return nullptr;
  cache->SetPixelFormat(pf32bit);
  const int w = std::max<int>(0, H->WndSize.cx), h = std::max<int>(0, H->WndSize.cy);
  if (cache->Width() != w || cache->Height() != h) cache->SetSize(w, h);
  return cache;
}

// A disabled control's cache mixed with what lies behind it: the parent's pixels when its
// background is a ready bitmap, else its colour.
void MixDisabled(TBitmap* Cache, const TCacheInfo& Ci, TPoint WndPos) {
  if (!Cache || Cache->Empty()) return;
  if (Ci.Ready && Ci.Bmp && !Ci.Bmp->Empty()) {
    const int x = WndPos.X + Ci.X, y = WndPos.Y + Ci.Y;
    CopyExceptKey(Cache, 0, 0, Ci.Bmp, TRect{x, y, x + Cache->Width() - 1, y + Cache->Height() - 1},
                  DisabledBlendWeight, 0x00FF00FFu);
  } else {
    BlendBitmapWithColor(Cache, DisabledBlendWeight, ColorToRGB(Ci.FillColor));
  }
}

namespace {

// Copies a state fade's current frame to the window.
void PaintFadeFrame(TsCommonData* Data, HWND Wnd, HDC Given) {
  TacThreadedTimer* t = Data ? Data->AnimTimer : nullptr;
  if (!t || !t->BmpOut || t->BmpOut->Empty()) return;
  HDC dc = Given ? Given : GetWindowDC(Wnd);
  if (!dc) return;
  BitBlt(dc, 0, 0, t->BmpOut->Width(), t->BmpOut->Height(), t->BmpOut->Canvas().Handle(), 0, 0, SRCCOPY);
  if (!Given) ReleaseDC(Wnd, dc);
}

// LeftToRight: under a right-to-left process the DC's mirrored layout is reset for the copy,
// so the cache (drawn left to right, its caption laid out by the window's own styles) is not
// mirrored again.
void BlitCache(TBitmap* Cache, HWND Wnd, HDC Given, bool LeftToRight = false) {
  if (!Cache || Cache->Empty()) return;
  HDC dc = Given ? Given : GetWindowDC(Wnd);
  if (!dc) return;
  const int saved = SaveDC(dc);
  if (LeftToRight && ProcessRightToLeft()) SetDCLayout(dc, 0);
  BitBlt(dc, 0, 0, Cache->Width(), Cache->Height(), Cache->Canvas().Handle(), 0, 0, SRCCOPY);
  RestoreDC(dc, saved);
  if (!Given) ReleaseDC(Wnd, dc);
}

struct TButtonPaintScope {
  HWND Wnd;
  bool Began = false;
  PAINTSTRUCT Ps{};
  TButtonPaintScope(HWND AWnd, bool Begin) : Wnd(AWnd) {
    if (Begin && Wnd) Began = BeginPaint(Wnd, &Ps) != nullptr;
  }
  ~TButtonPaintScope() {
    if (Began) EndPaint(Wnd, &Ps);
  }
};

bool IsModalID(int ID) { return ID == 1 || ID == 2 || ID == 6 || ID == 7; }

// Where the button lies in its parent's background bitmap. In a mirrored parent the window's
// position counts from the parent's right edge (the point read is the window's left edge
// seen from there), while the parent draws its background left to right: the position is
// turned round against the bitmap's width. With extended borders that bitmap also holds the
// border on both sides of the client, which the offset counts only once.
TPoint PlaceInParentBackground(TacMainWnd* H, const TCacheInfo& Ci) {
  TPoint pos = H->WndPos;
  if (!ProcessRightToLeft() || !Ci.Bmp || Ci.Bmp->Empty() || !H->ParentWnd) return pos;
  HDC dc = GetDC(H->ParentWnd);
  const bool mirrored = dc && (GetDCLayout(dc) & LAYOUT_RTL);
  if (dc) ReleaseDC(H->ParentWnd, dc);
  if (!mirrored) return pos;
  pos.X = Ci.Bmp->Width() - pos.X;
  if (TsSkinManager* m = ManagerOf(H); m && m->ExtendedBorders()) pos.X -= 2 * Ci.X;
  return pos;
}

// Mouse enter (sub-command 29) of the button-like handlers: the hot window under the cursor
// fades to state 1 with glow. False when the base handling is to go on.
bool HotMouseEnter(TacMainWnd* H, TsSkinManager* Dm, HWND Wnd) {
  TsCommonData* data = H->SkinData;
  TsSkinManager* m = ManagerOf(H);
  if (data->FMouseAbove || !Dm || Dm->FActiveControl != Wnd || (m && m->Options.NoMouseHover)) return false;
  if (CursorInWindow(Wnd)) {
    data->FMouseAbove = true;
    data->BGChanged = false;
    data->FUpdating = false;
    AnimateStateChange(data, 1, nullptr, true, false, true);
  }
  return true;
}

// Mouse leave (sub-command 30): back to state 0, unless KeepWhileOver is still under the
// mouse. False when the base handling is to go on.
bool HotMouseLeave(TacMainWnd* H, TControl* KeepWhileOver, bool Glow) {
  TsCommonData* data = H->SkinData;
  if (!data->FMouseAbove) return false;
  data->FMouseAbove = false;
  if (KeepWhileOver && IsMouseOverControl(KeepWhileOver)) return true;
  data->FUpdating = false;
  data->BGChanged = false;
  AnimateStateChange(data, 0, nullptr, Glow, false, true);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// TacBtnWnd
// ---------------------------------------------------------------------------

void TacBtnWnd::AfterCreation() {
  if (SkinData) {
    if (SkinData->SkinSection().empty()) SkinData->WriteSkinSection(L"BUTTON");
    SkinData->COC = COC_TsButton;
  }
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (auto* btn = dynamic_cast<TButton*>(owner)) {
    ID = btn->ModalResult == 1 || btn->ModalResult == 6 ? 1 : btn->ModalResult == 2 || btn->ModalResult == 7 ? 7 : 0;
  } else {
    ID = CtrlHandle ? GetDlgCtrlID(CtrlHandle) : 0;
  }
  if (CtrlHandle) ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  TacMainWnd::AfterCreation();
}

bool TacBtnWnd::Down() { return (ProcessMessage(BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }

LONG TacBtnWnd::CtrlStyle() { return CtrlHandle ? GetWindowLongW(CtrlHandle, GWL_STYLE) : 0; }

namespace {

// The state rules every button shares (pressed, disabled, active); -1 when none holds.
int SharedButtonState(TacBtnWnd* H) {
  if (H->Down()) {
    if (H->SkinData && H->SkinData->GlowID >= 0) ReleaseGlowById(H->SkinData->GlowID, false);
    return 2;
  }
  if (!H->CtrlHandle || !IsWindowEnabled(H->CtrlHandle)) return 0;
  TControl* owner = H->SkinData ? H->SkinData->FOwnerControl : nullptr;
  if (owner) {
    if (!owner->Designing() && IsHot(H->SkinData)) return 1;
  } else {
    TsSkinManager* dm = DefaultManager();
    if (GetFocus() == H->CtrlHandle || (dm && dm->FActiveControl == H->CtrlHandle) ||
        (H->SkinData && H->SkinData->FFocused))
      return 1;
  }
  return -1;
}

}  // namespace

int TacBtnWnd::CurrentState() {
  const int shared = SharedButtonState(this);
  if (shared >= 0) return shared;
  const bool def = (CtrlStyle() & BS_DEFPUSHBUTTON) != 0;
  if (SkinData && SkinData->FOwnerControl) return def ? 1 : 0;
  return def ? 3 : 0;
}

int TacBtnWnd::SkinStateIndex() {
  const int state = CurrentState();
  const TsGeneralData* g = SectionOf(SkinData);
  const int states = g ? g->States : 1;
  if (state == 3 && states < 4) return 1;
  return std::max(0, std::min(state, states - 1));
}

void TacBtnWnd::TextRectSize(TSize& Size) {
  Size = TSize{0, 0};
  if (!SkinData) return;
  if (!SkinData->FCacheBmp) SkinData->InitCacheBitmap();
  TRect r{0, 0, MaxCaptionWidth() + 2, 0};
  UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_CENTER;
  if (CtrlStyle() & BS_MULTILINE) flags |= DT_WORDBREAK;
  HDC dc = SkinData->FCacheBmp->Canvas().Handle();
  SelectObject(dc, SkinData->FCacheBmp->Canvas().Font.Handle());
  DrawTextW(dc, Caption.c_str(), static_cast<int>(Caption.size()), reinterpret_cast<RECT*>(&r), flags);
  Size = TSize{std::max(0, r.Right - r.Left), std::max(0, r.Bottom - r.Top)};
}

int TacBtnWnd::MaxCaptionWidth() {
  if (Caption.empty()) return 0;
  TSize g;
  GlyphSize(g);
  if (g.cx == 0) return WndSize.cx + 1;
  return std::max<int>(0, WndSize.cx - g.cx);
}

void TacBtnWnd::CaptionRect(TRect& R) {
  InitHandlerFont(this, false);
  TSize t;
  TextRectSize(t);
  const int W = WndSize.cx, H = WndSize.cy;
  const int dx = (W - t.cx) / 2, dy = (H - t.cy) / 2;
  R = TRect{dx - 1, dy, W - dx + 2, H - dy};
  if (SkinData && Down() && ContentShiftsOnClick(SkinData->SkinIndex, SkinData->ReadCommonSkinData())) {
    R.Left += 1, R.Right += 1, R.Top += 1, R.Bottom += 1;
  }
}

void TacBtnWnd::DoDrawText(TRect& R, UINT Flags, bool AllowGlow) {
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  WriteControlText(&canvas, Caption.c_str(), IsWindowEnabled(CtrlHandle) != FALSE, R, Flags, SkinData,
                   CurrentState() != 0 ? 1 : 0, AllowGlow);
}

void TacBtnWnd::DrawCaption(const TacColoring& Coloring) {
  if (!SkinData || !SkinData->FCacheBmp) return;
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  InitHandlerFont(this, false);
  SetBkMode(canvas.Handle(), TRANSPARENT);
  UINT flags = DT_EXPANDTABS | DT_CENTER;
  if (CtrlStyle() & BS_MULTILINE) flags |= DT_WORDBREAK;
  if (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) flags |= DT_RTLREADING;
  TRect r;
  CaptionRect(r);
  const TRect captionRect = r;
  if (Coloring.ColorText == acNoColoring) {
    DoDrawText(r, flags, Coloring.ColorToneBG == acNoColoring);
  } else {
    canvas.Font.Color = ColoringRGB(Coloring.ColorText, ManagerOf(this));
    HDC dc = canvas.Handle();
    SelectObject(dc, canvas.Font.Handle());
    SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(canvas.Font.Color.Get())));
    SetBkMode(dc, TRANSPARENT);
    DrawTextLimited(dc, Caption, r, flags);
  }
  TsSkinManager* manager = ManagerOf(this);
  const bool showFocus = !manager || manager->ButtonsOptions.ShowFocusRect;
  if (IsWindowEnabled(CtrlHandle) && showFocus && (ProcessMessage(BM_GETSTATE, 0, 0) & BST_FOCUS) &&
      !Caption.empty()) {
    TRect fr = captionRect;
    fr.Left -= 2, fr.Right += 2, fr.Top -= 1, fr.Bottom += 1;
    fr.Top = std::max(fr.Top, 3);
    fr.Bottom = std::min<int>(fr.Bottom, WndSize.cy - 3);
    DrawDottedFrame(canvas, fr, FocusFrameColor(SkinData), clNone);
  }
}

void TacBtnWnd::PrepareCache() {
  if (!SkinData || !CtrlHandle) return;
  // 1.
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  TCacheInfo ci;
  WindowParentBackgroundInfo(CtrlHandle, ci);
  // 2.
  TBitmap* cache = SizedCache(this);
  if (!cache || cache->Empty()) {
    SkinData->BGChanged = false;
    return;
  }
  // 3.
  const int state = SkinStateIndex();
  // 4.
  const TPoint pos = PlaceInParentBackground(this, ci);
  // 5.
  PaintControlSkin(SkinData, ci, state, TRect{0, 0, cache->Width(), cache->Height()}, pos, cache, true);
  // 6.
  TacColoring coloring;
  GetColoring(coloring);
  if (coloring.ColorToneBG != acNoColoring)
    ForEachPixel(cache, PixelColorTone, static_cast<std::int32_t>(ColoringRGB(coloring.ColorToneBG, ManagerOf(this))),
                 0xFF00FF);
  // 7.
  DrawCaption(coloring);
  DrawGlyph();
  // 8.
  if (!IsWindowEnabled(CtrlHandle)) MixDisabled(cache, ci, pos);
  // 9.
  SkinData->BGChanged = false;
}

bool TacBtnWnd::HasSiblingWithID(HWND Wnd, int AID) {
  HWND parent = Wnd ? GetParent(Wnd) : nullptr;
  if (!parent) return false;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (GetDlgCtrlID(child) == AID) return true;
  return false;
}

int TacBtnWnd::ColoringVariant() {
  if (ID == 1 || ID == 6) return 0;
  if (ID == 7) return 1;
  if (ID != 2) return -1;
  if (!TacBtnWnd::HasSiblingWithID(CtrlHandle, 1) && !TacBtnWnd::HasSiblingWithID(CtrlHandle, 6)) return -1;
  return TacBtnWnd::HasSiblingWithID(CtrlHandle, 7) ? 2 : 1;
}

void TacBtnWnd::GetColoring(TacColoring& Coloring) {
  Coloring = TacColoring{};
  TsSkinManager* manager = ManagerOf(this);
  const unsigned set = manager ? manager->ButtonsOptions.ModalButtonsColoring : 0;
  if (!set || !IsModalID(ID)) return;
  const int variant = ColoringVariant();
  if (variant < 0) return;
  const int active = CurrentState() != 0 ? 1 : 0;
  if (set & bcBackground) Coloring.ColorToneBG = static_cast<TColor>(ModalColoringTable[0][variant][active]);
  if (set & bcText) Coloring.ColorText = static_cast<TColor>(ModalColoringTable[1][variant][active]);
}

void TacBtnWnd::AnswerModalColors(TMessage& Message) {
  if (!SkinData || !SkinData->Skinned() || !IsModalID(ID)) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  const int variant = ColoringVariant();  // the window search, for every kind of button
  if (variant < 0) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  TsSkinManager* manager = ManagerOf(this);
  const unsigned set = manager ? manager->ButtonsOptions.ModalButtonsColoring : 0;
  const int active = CurrentState() != 0 ? 1 : 0;
  auto* field = reinterpret_cast<TColor*>(Message.LParam);
  if (field) {
    if (variant == 0) {
      if (set & bcBackground) *field = static_cast<TColor>(ModalColoringTable[0][0][active]);
    } else if (set & (bcBackground | bcGlyph)) {
      *field = static_cast<TColor>(ModalColoringTable[1][variant][active]);
    }
  }
  Message.Result = 1;
}

void TacBtnWnd::Repaint() {
  if (CtrlHandle) RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TacBtnWnd::ac_WMPaint(TMessage& Message) {
  TButtonPaintScope scope(CtrlHandle, Message.Msg == WM_PAINT);
  Message.Result = 0;
  if (!SkinData || !SkinData->Skinned()) return;
  HDC given = reinterpret_cast<HDC>(Message.WParam);
  if (SkinData->IsAnimating()) {
    PaintFadeFrame(SkinData, CtrlHandle, nullptr);
    return;
  }
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  if (AnimationInProgress && !SkinData->PrintDC) return;
  SkinData->FUpdating = SkinData->IsUpdating() && !AnimationInProgress;
  if (SkinData->FUpdating) return;
  SkinData->BGChanged = true;
  PrepareCache();
  BlitCache(SkinData->FCacheBmp.get(), CtrlHandle, given, true);
}

void TacBtnWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  const auto base = [&] { TacMainWnd::acWndProc(Message); };
  const bool visible = wnd && IsWindowVisible(wnd);
  const bool enabled = wnd && IsWindowEnabled(wnd);
  TsSkinManager* dm = DefaultManager();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!SkinData) {
    base();
    return;
  }
  switch (Message.Msg) {
    case WM_MOVE: {
      const TsGeneralData* g = SkinData->Skinned() ? SectionOf(SkinData) : nullptr;
      if (g && (g->StateProps(0).Transparency > 0 ||
                (g->StateProps(1).Transparency > 0 && (SkinData->FMouseAbove || IsHot(SkinData))))) {
        SkinData->BGChanged = true;
        Repaint();
      }
      base();
      return;
    }
    case WM_SETFOCUS:
      if (!enabled) break;
      Quietly(wnd, base);
      SkinData->FFocused = true;
      SkinData->BGChanged = true;
      SkinData->StopAnimation();
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
      return;
    case WM_KILLFOCUS:
      if (!enabled) break;
      if (owner && owner->Destroying()) break;
      Quietly(wnd, base);
      SkinData->FFocused = false;
      SkinData->BGChanged = true;
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
      return;
    case WM_ENABLE:
      if (!visible) break;
      Quietly(wnd, base);
      SkinData->BGChanged = true;
      Repaint();
      return;
    case WM_SETTEXT:
      if (!visible) break;
      if (SkinData->AnimTimer) FinishAnimation(SkinData->AnimTimer);
      SkinData->StopAnimation();
      Quietly(wnd, base);
      SkinData->BGChanged = true;
      Repaint();
      return;
    case WM_PAINT:
      if (!visible && !(SkinData->CtrlSkinState & ACS_PRINTING)) break;
      if (!ParamsChanged) SetSkinParams();
      ac_WMPaint(Message);
      return;
    case WM_PRINT:
      ac_WMPaint(Message);
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_NCPAINT:
    case WM_UPDATEUISTATE:
      Message.Result = 0;
      return;
    case BM_SETSTATE:
      if (!visible) break;
      Quietly(wnd, [&] { CallPrevWndProc(Message); });
      SkinData->BGChanged = true;
      SkinData->StopAnimation();
      Repaint();
      return;
    case WM_LBUTTONUP:
      if (SkinData->FMouseAbove) {
        SkinData->StopAnimation();
        SkinData->FMouseAbove = false;
        base();
        if (IsWindow(wnd) && IsWindowVisible(wnd)) SendSkinCommand(wnd, SKCMD_MOUSE_ENTER, 0);
      } else {
        base();
        if (!SkinData) return;
        SkinData->StopAnimation();
        SkinData->BGChanged = false;
        AnimateStateChange(SkinData, 0, nullptr, true, false, true);
      }
      return;
    case WM_MOUSEHOVER:
      SendSkinCommand(wnd, SKCMD_MOUSE_ENTER, 0);
      base();
      return;
    case WM_MOUSELEAVE:
      if (dm && dm->FActiveControl == wnd) dm->SwitchHotControl(nullptr);
      base();
      return;
    case WM_MOUSEMOVE:
      base();
      if (dm && !dm->Designing() && wnd && IsWindowEnabled(wnd) && !dm->Options.NoMouseHover) {
        if (CursorInWindow(wnd)) {
          if (dm->FActiveControl != wnd) dm->SwitchHotControl(wnd);
        } else if (dm->FActiveControl == wnd) {
          dm->SwitchHotControl(nullptr);
        }
      }
      return;
    case SM_SKINCOMMAND:
      switch (SkinCommandOf(Message.WParam)) {
        case SKCMD_END_UPDATE:
          if (!SkinData->FUpdating) break;
          if (!SkinData->RecheckUpdating(true)) RedrawWindow(wnd, nullptr, nullptr, 0x585);
          return;
        case SKCMD_PREPARE_CACHE:
          // 0: the cache is ready (a state fade that asks takes any other answer as "not yet").
          PrepareCache();
          Message.Result = 0;
          return;
        case SKCMD_MOUSE_ENTER:
          if (HotMouseEnter(this, dm, wnd)) return;
          break;
        case SKCMD_MOUSE_LEAVE:
          if (HotMouseLeave(this, owner, false)) return;
          break;
        case SKCMD_MODAL_BTN_COLORS:
          AnswerModalColors(Message);
          return;
      }
      break;
  }
  base();
}

// ---------------------------------------------------------------------------
// TacBitBtnWnd
// ---------------------------------------------------------------------------

TBitBtn* TacBitBtnWnd::BitBtn() { return SkinData ? dynamic_cast<TBitBtn*>(SkinData->FOwnerControl) : nullptr; }

int TacBitBtnWnd::CurrentState() {
  const int shared = SharedButtonState(this);
  if (shared >= 0) return shared;
  TBitBtn* b = BitBtn();
  if (b && b->Default()) {
    HWND focused = GetFocus();
    if (!focused) return 3;
    return (GetWindowLongW(focused, GWL_STYLE) & 0x8) ? 0 : 3;
  }
  return 0;
}

void TacBitBtnWnd::GlyphSize(TSize& Size) {
  Size = TSize{0, 0};
  if (TBitBtn* b = BitBtn()) {
    if (!b->Glyph().Empty()) Size = TSize{b->Glyph().Width() / std::max(1, b->NumGlyphs), b->Glyph().Height()};
    return;
  }
  // The bitmap's own pixels: its "dimension" is only what SetBitmapDimensionEx stored.
  auto bmp = reinterpret_cast<HBITMAP>(ProcessMessage(BM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP info{};
  if (bmp && GetObjectW(bmp, sizeof(info), &info) == static_cast<int>(sizeof(info)))
    Size = TSize{info.bmWidth, std::abs(info.bmHeight)};
}

int TacBitBtnWnd::MaxCaptionWidth() {
  TBitBtn* b = BitBtn();
  if (!b) return TacBtnWnd::MaxCaptionWidth();
  if (Caption.empty()) return 0;
  int w = b->Width() - 2 * b->Margin;
  TSize g;
  GlyphSize(g);
  if ((b->Layout == blGlyphLeft || b->Layout == blGlyphRight) && g.cy > 0) w -= g.cx + b->Spacing;
  return w;
}

void TacBitBtnWnd::LayOutGlyphAndCaption(TRect& Text, TPoint& Glyph) {
  TBitBtn* b = BitBtn();
  TSize g;
  GlyphSize(g);
  InitHandlerFont(this, false);
  TSize t;
  TextRectSize(t);
  // Margin 0, spacing 0, centred both ways: the pair sits in the middle whatever the
  // control's own Margin and Spacing say (those only bound the caption's width).
  Glyph = CalcGlyphAndTextRects(TRect{0, 0, WndSize.cx, WndSize.cy}, TPoint{g.cx, g.cy}, TPoint{t.cx, t.cy},
                                static_cast<int>(b->Layout), 2, 0, 0, Text, 0, 2);
  if (CurrentState() == 2 && ContentShiftsOnClick(SkinData->SkinIndex, SkinData->ReadCommonSkinData())) {
    Text.Left += 1, Text.Right += 1, Text.Top += 1, Text.Bottom += 1;
    Glyph.X += 1, Glyph.Y += 1;
  }
}

void TacBitBtnWnd::CaptionRect(TRect& R) {
  if (BitBtn()) {
    TPoint glyph;
    LayOutGlyphAndCaption(R, glyph);
    return;
  }
  TSize g;
  GlyphSize(g);
  TacBtnWnd::CaptionRect(R);
  if (g.cx != 0) {
    const int d = g.cx / 2 + 1;
    R.Left += d, R.Right += d;
  }
}

void TacBitBtnWnd::GlyphRect(TRect& R) {
  TSize g;
  GlyphSize(g);
  TPoint p;
  if (BitBtn()) {
    TRect text;
    LayOutGlyphAndCaption(text, p);
  } else {
    TRect cr;
    CaptionRect(cr);
    p = TPoint{cr.Left - 2 - g.cx, (WndSize.cy - g.cy) / 2 + (Down() ? 1 : 0)};
  }
  R = TRect{p.X, p.Y, p.X + g.cx, p.Y + g.cy};
}

void TacBitBtnWnd::DrawGlyph() {
  TBitBtn* b = BitBtn();
  if (!b || b->Glyph().Empty() || !SkinData || !SkinData->FCacheBmp) return;
  if (b->Glyph().HandleType() != bmDIB) b->Glyph().SetHandleType(bmDIB);
  TsSkinManager* manager = ManagerOf(this);
  TacGlyphDrawInfo info;
  info.Glyph = &b->Glyph();
  info.ImageIndex = 0;
  info.SkinIndex = SkinData->SkinIndex;
  info.SkinData = SkinData->ReadCommonSkinData();
  info.DstBmp = SkinData->FCacheBmp.get();
  info.DstCanvas = &SkinData->FCacheBmp->Canvas();
  GlyphRect(info.DstRect);
  info.NumGlyphs = b->NumGlyphs;
  info.Enabled = b->Enabled();
  info.Down = Down();
  info.CurrentState = CurrentState();
  info.PPI = SkinData->EffectivePPI();
  if (info.CurrentState == 0 && manager && manager->Effects.DiscoloredGlyphs && SkinData->Skinned()) {
    info.Grayed = true;
    if (const TsGeneralData* g = SectionOf(SkinData)) info.BlendColor = g->StateProps(0).Color;
  }
  DrawListGlyph(info);
}

// ---------------------------------------------------------------------------
// TacButtonWnd
// ---------------------------------------------------------------------------

void TacButtonWnd::AfterCreation() {
  Btn = SkinData ? dynamic_cast<TButton*>(SkinData->FOwnerControl) : nullptr;
  TacBtnWnd::AfterCreation();
}

bool TacButtonWnd::HaveImage() {
  return Btn && Btn->Images() && Btn->ImageIndex >= 0 && Btn->ImageIndex < ImageListCount(Btn->Images());
}

void TacButtonWnd::GlyphSize(TSize& Size) {
  Size = HaveImage() ? TSize{Btn->Images()->Width(), Btn->Images()->Height()} : TSize{0, 0};
}

int TacButtonWnd::GlyphIndex() {
  if (!Btn) return -1;
  int index = Btn->ImageIndex;
  const int state = CurrentState();
  if (!IsWindowEnabled(CtrlHandle))
    index = Btn->DisabledImageIndex;
  else if (state == 2)
    index = Btn->PressedImageIndex;
  else if (GetFocus() == CtrlHandle)
    index = Btn->SelectedImageIndex;
  else if (state == 1)
    index = Btn->HotImageIndex;
  if (index < 0 || index >= ImageListCount(Btn->Images())) index = Btn->ImageIndex;
  return index;
}

void TacButtonWnd::GlyphRect(TRect& R) {
  TSize g;
  GlyphSize(g);
  const int W = WndSize.cx, H = WndSize.cy;
  const TImageMargins m = Btn ? Btn->ImageMargins : TImageMargins{};
  TPoint p{(W - g.cx) / 2, (H - g.cy) / 2};
  switch (Btn ? Btn->ImageAlignment : iaCenter) {
    case iaLeft: p = TPoint{m.Left + 3, (H - g.cy) / 2}; break;
    case iaRight: p = TPoint{W - m.Right - 3 - g.cx, (H - g.cy) / 2}; break;
    case iaTop: p = TPoint{(W - g.cx) / 2, m.Top + 3}; break;
    case iaBottom: p = TPoint{(W - g.cx) / 2, H - m.Bottom - 3 - g.cy}; break;
    case iaCenter: break;
  }
  if (CurrentState() == 2 && SkinData && ContentShiftsOnClick(SkinData->SkinIndex, SkinData->ReadCommonSkinData())) {
    p.X += 1;
    p.Y += 1;
  }
  R = TRect{p.X, p.Y, p.X + g.cx, p.Y + g.cy};
}

void TacButtonWnd::CaptionRect(TRect& R) {
  if (!Btn || !SkinData) {
    TacBtnWnd::CaptionRect(R);
    return;
  }
  if (!SkinData->FCacheBmp) SkinData->InitCacheBitmap();
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  canvas.Font.Assign(Btn->Font);
  SelectObject(canvas.Handle(), canvas.Font.Handle());
  TSize t;
  TextRectSize(t);
  const int W = WndSize.cx, H = WndSize.cy;
  TSize g;
  GlyphSize(g);
  const TImageMargins m = Btn->ImageMargins;
  const TImageAlignment align = HaveImage() ? Btn->ImageAlignment : iaCenter;
  const int vTop = (H - t.cy) / 2, vBottom = H - (H - t.cy) / 2;
  const int hLeft = (W - t.cx) / 2, hRight = W - (W - t.cx) / 2;
  switch (align) {
    case iaLeft: {
      const int b = m.Left + g.cx + 3;
      const int x = b + (W - b - t.cx) / 2;
      R = TRect{x, vTop, x + t.cx, vBottom};
      break;
    }
    case iaRight: {
      const int x = (W - m.Right - g.cx - t.cx - 3) / 2;
      R = TRect{x, vTop, x + t.cx, vBottom};
      break;
    }
    case iaTop: {
      const int c = m.Top + g.cy + 3;
      const int y = c + (H - c - t.cy) / 2;
      R = TRect{hLeft, y, hRight, y + t.cy};
      break;
    }
    case iaBottom: {
      const int y = (H - m.Bottom - g.cy - t.cy - 3) / 2;
      R = TRect{hLeft, y, hRight, y + t.cy};
      break;
    }
    case iaCenter:
      R = TRect{hLeft, vTop, hRight, vBottom};
      break;
  }
  R.Left -= 1;
  R.Right += 2;
  if (CurrentState() == 2 && ContentShiftsOnClick(SkinData->SkinIndex, SkinData->ReadCommonSkinData())) {
    R.Left += 1, R.Right += 1, R.Top += 1, R.Bottom += 1;
  }
}

void TacButtonWnd::DrawGlyph() {
  if (!HaveImage() || !SkinData || !SkinData->FCacheBmp) return;
  TsSkinManager* manager = ManagerOf(this);
  const int state = CurrentState();
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  if (dynamic_cast<TsCharImageList*>(Btn->Images()))
    canvas.Font.Color = SectionFontColorOfControl(Btn, SkinData->SkinIndex, manager, SkinData, std::min(state, 2));
  TacGlyphDrawInfo info;
  info.Images = Btn->Images();
  info.ImageIndex = GlyphIndex();
  info.SkinIndex = SkinData->SkinIndex;
  info.SkinData = SkinData->ReadCommonSkinData();
  info.DstBmp = SkinData->FCacheBmp.get();
  info.DstCanvas = &canvas;
  GlyphRect(info.DstRect);
  info.NumGlyphs = 1;
  info.Enabled = Btn->Enabled();
  info.Down = Down();
  info.CurrentState = state;
  info.PPI = SkinData->EffectivePPI();
  if (SkinData->Skinned() && manager && manager->Effects.DiscoloredGlyphs) {
    info.Grayed = true;
    if (const TsGeneralData* g = SectionOf(SkinData)) info.BlendColor = g->StateProps(0).Color;
  }
  DrawListGlyph(info);
}

bool TacButtonWnd::HasSiblingWithID(HWND Wnd, int AID) {
  TWinControl* parent = Btn ? Btn->Parent() : nullptr;
  if (!parent) return TacBtnWnd::HasSiblingWithID(Wnd, AID);
  for (TControl* c : parent->Controls())
    if (auto* b = dynamic_cast<TButton*>(c); b && b->ModalResult == AID) return true;
  return false;
}

void TacButtonWnd::GetColoring(TacColoring& Coloring) {
  if (!Btn) {
    TacBtnWnd::GetColoring(Coloring);
    return;
  }
  Coloring = TacColoring{};
  TsSkinManager* manager = ManagerOf(this);
  const unsigned set = manager ? manager->ButtonsOptions.ModalButtonsColoring : 0;
  if (!set || !IsModalID(ID)) return;
  if (!HasSiblingWithID(CtrlHandle, 1) && !HasSiblingWithID(CtrlHandle, 6)) return;
  const int variant = ID == 1 ? 0 : (Btn->ModalResult == 2 && HasSiblingWithID(CtrlHandle, 7)) ? 2 : 1;
  const int active = CurrentState() != 0 ? 1 : 0;
  if (set & bcBackground) Coloring.ColorToneBG = static_cast<TColor>(ModalColoringTable[0][variant][active]);
  if (set & bcText) Coloring.ColorText = static_cast<TColor>(ModalColoringTable[1][variant][active]);
}

// ---------------------------------------------------------------------------
// TacSplitBtnWnd
// ---------------------------------------------------------------------------

void TacSplitBtnWnd::CaptionRect(TRect& R) {
  ArrowWidth = 8;
  TacBtnWnd::CaptionRect(R);
  R.Left -= 8;
  R.Right -= 8;
}

void TacSplitBtnWnd::ArrowRect(TRect& R) {
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  const int w = cache ? cache->Width() : WndSize.cx, h = cache ? cache->Height() : WndSize.cy;
  R = TRect{w - 2 * ArrowWidth - 6, 0, w, h};
}

void TacSplitBtnWnd::PrepareCache() {
  TacBtnWnd::PrepareCache();
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  if (!cache || cache->Empty()) return;
  if (ArrowWidth == 0) ArrowWidth = 8;
  TRect r;
  ArrowRect(r);
  const TColor colour = ColorToRGB(SectionStateFontColor(SkinData, std::min(CurrentState(), 2)));
  DrawArrowTriangle(cache, colour, r, 3, SkinData->EffectivePPI());
}

// ---------------------------------------------------------------------------
// TacCheckBoxWnd
// ---------------------------------------------------------------------------

void TacCheckBoxWnd::AfterCreation() {
  OwnerDraw = CtrlHandle && (GetWindowLongW(CtrlHandle, GWL_STYLE) & 0xB) == 0xB;
  if (SkinData) {
    SkinData->COC = COC_TsCheckBox;
    if (SkinData->SkinSection().empty()) SkinData->WriteSkinSection(L"CHECKBOX");
  }
  if (CtrlHandle) ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  TacMainWnd::AfterCreation();
}

int TacCheckBoxWnd::State() {
  const LRESULT st = ProcessMessage(BM_GETSTATE, 0, 0);
  if (st & BST_INDETERMINATE) return 2;
  return (st & BST_CHECKED) ? 1 : 0;
}

int TacCheckBoxWnd::CtlState() {
  const LRESULT st = ProcessMessage(BM_GETSTATE, 0, 0);
  if (st & BST_PUSHED) return 2;
  TsSkinManager* m = ManagerOf(this);
  if (m && m->Options.NoMouseHover) return 0;
  TsSkinManager* dm = DefaultManager();
  if ((st & BST_FOCUS) || (dm && dm->FActiveControl == CtrlHandle)) return 1;
  return 0;
}

bool TacCheckBoxWnd::MaskValid(int MaskIndex) {
  TacSkinData* sd = SkinData ? SkinData->ReadCommonSkinData() : nullptr;
  return sd && MaskIndex >= 0 && MaskIndex < static_cast<int>(sd->ma.size());
}

int TacCheckBoxWnd::GlyphMaskIndex(int CheckState) {
  TacSkinData* sd = SkinData ? SkinData->ReadCommonSkinData() : nullptr;
  if (!sd) return -1;
  const LONG s = CtrlHandle ? GetWindowLongW(CtrlHandle, GWL_STYLE) : 0;
  const bool radio = ((s & 0x4) || (s & 0x9) == 0x9) && !((s & 0x3) == 0x3 || (s & 0x2) || (s & 0x5) == 0x5);
  if (radio) return sd->RadioButton[CheckState == 1 ? 1 : 0];
  return sd->CheckBox[static_cast<std::size_t>(std::clamp(CheckState, 0, 2))];
}

int TacCheckBoxWnd::SkinGlyphWidth(int MaskIndex) {
  return MaskValid(MaskIndex) ? SkinData->ReadCommonSkinData()->ma[static_cast<std::size_t>(MaskIndex)].Width : 0;
}

int TacCheckBoxWnd::SkinGlyphHeight(int MaskIndex) {
  return MaskValid(MaskIndex) ? SkinData->ReadCommonSkinData()->ma[static_cast<std::size_t>(MaskIndex)].Height : 0;
}

void TacCheckBoxWnd::SkinCheckRect(int MaskIndex, TRect& R) {
  R = TRect{};
  if (!MaskValid(MaskIndex)) return;
  const int w = SkinGlyphWidth(MaskIndex), h = SkinGlyphHeight(MaskIndex);
  const int W = WndSize.cx, H = WndSize.cy;
  const bool leftText = CtrlHandle && (GetWindowLongW(CtrlHandle, GWL_STYLE) & BS_LEFTTEXT);
  const int x = leftText ? W - w : 0, y = (H - h) / 2;
  R = TRect{x, y, x + w, y + h};
}

void TacCheckBoxWnd::CheckRect(TRect& R) {
  const int index = GlyphMaskIndex(1);
  if (MaskValid(index))
    SkinCheckRect(index, R);
  else
    R = TRect{0, 0, 16, 16};
}

void TacCheckBoxWnd::DrawSkinGlyph(int MaskIndex) {
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  if (!cache || cache->Width() <= 0 || !MaskValid(MaskIndex)) return;
  TRect r;
  SkinCheckRect(MaskIndex, r);
  TCacheInfo self;
  self.Bmp = cache;
  self.X = 0;
  self.Y = 0;
  self.Ready = true;
  DrawMaskStateImage(cache, TPoint{r.Left, r.Top}, CtlState(), 1,
                     SkinData->ReadCommonSkinData()->ma[static_cast<std::size_t>(MaskIndex)], self);
}

void TacCheckBoxWnd::DrawCheckText() {
  if (Caption.empty() || !SkinData || !SkinData->FCacheBmp) return;
  const LONG style = GetWindowLongW(CtrlHandle, GWL_STYLE);
  const bool multi = (style & BS_MULTILINE) != 0;
  const int W = WndSize.cx, H = WndSize.cy;
  TRect check;
  CheckRect(check);
  int c = check.Width();
  InitHandlerFont(this, false);
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  HDC dc = canvas.Handle();
  SelectObject(dc, canvas.Font.Handle());
  // 1.
  TRect m{0, 0, W - c - 2, 0};
  DrawTextW(dc, Caption.c_str(), static_cast<int>(Caption.size()), reinterpret_cast<RECT*>(&m),
            DT_CALCRECT | (multi ? DT_WORDBREAK : DT_SINGLELINE));
  const int tw = m.Right - m.Left, th = m.Bottom - m.Top;
  const int g = std::max((H - th) / 2, 0);
  // 2.
  UINT flags = 0;
  TRect r;
  if (!(style & BS_LEFTTEXT)) {
    r = TRect{c + 4, g - 1, c + 4 + tw, H - g - 1};
    if (multi) r.Left -= 1, r.Right -= 1;
  } else if (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) {
    CheckRect(check);
    c = check.Width();
    const int right = W - c - 6;
    r = TRect{right - tw, g, right, H - g};
    flags |= DT_RTLREADING;
    if (!multi) flags |= DT_RIGHT;
  } else {
    r = TRect{2, g, tw + 2, H - g};
  }
  // 3.
  TsSkinManager* manager = ManagerOf(this);
  canvas.Font.Color = SectionFontColorOfWindow(CtrlHandle, SkinData->SkinIndex, manager, 0);
  canvas.Brush.Style = bsClear;
  TRect textRect = r;
  WriteSkinText(&canvas, Caption.c_str(), IsWindowEnabled(CtrlHandle) != FALSE, textRect,
                flags | (multi ? DT_WORDBREAK : DT_SINGLELINE), -1, 0, manager);
  // 4.
  canvas.Pen.Style = psClear;
  canvas.Brush.Style = bsSolid;
  // 5. Shown whatever the manager's focus-rectangle option says.
  if (ProcessMessage(BM_GETSTATE, 0, 0) & BST_FOCUS) {
    TRect fr = r;
    fr.Left -= 2;
    fr.Right += 2;
    DrawDottedFrame(canvas, fr, FocusFrameColor(SkinData), clNone);
  }
}

void TacCheckBoxWnd::PrepareCache() {
  if (!SkinData || !CtrlHandle) return;
  // 1.
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  SkinData->InitCacheBitmap();
  if (OwnerDraw) return;
  // 2.
  TBitmap* cache = SizedCache(this);
  if (!cache || cache->Empty()) return;
  TCacheInfo ci;
  WindowParentBackgroundInfo(CtrlHandle, ci);
  // 3.
  PaintControlSkin(SkinData, ci, IsHot(SkinData), TRect{0, 0, cache->Width(), cache->Height()}, WndPos, cache, true);
  // 4., 5.
  DrawCheckText();
  DrawSkinGlyph(GlyphMaskIndex(State()));
  // 6.
  if (!IsWindowEnabled(CtrlHandle)) MixDisabled(cache, ci, WndPos);
  SkinData->BGChanged = false;
}

void TacCheckBoxWnd::AC_WMPaint(TMessage& Message) {
  TButtonPaintScope scope(CtrlHandle, Message.Msg == WM_PAINT);
  Message.Result = 0;
  if (!SkinData) return;
  HDC given = reinterpret_cast<HDC>(Message.WParam);
  if (SkinData->IsAnimating()) {
    PaintFadeFrame(SkinData, CtrlHandle, nullptr);
    return;
  }
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  if (SkinData->RecheckUpdating(false) || OwnerDraw) return;
  if (!IsWindowVisible(CtrlHandle) && !given) return;
  PrepareCache();
  BlitCache(SkinData->FCacheBmp.get(), CtrlHandle, given);
}

void TacCheckBoxWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  const auto base = [&] { TacMainWnd::acWndProc(Message); };
  if (!SkinData) {
    base();
    return;
  }
  TsSkinManager* dm = DefaultManager();
  switch (Message.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY:
      base();
      return;
    case WM_ENABLE:
    case BM_SETCHECK:
    case BM_SETSTATE:
    case CM_TEXTCHANGED:
      if (!wnd || !IsWindowVisible(wnd)) break;
      SetWindowRedraw(wnd, FALSE);
      SkinData->StopAnimation();
      base();
      SetWindowRedraw(wnd, TRUE);
      SendMessageW(wnd, WM_PAINT, 0, 0);
      return;
    case WM_PAINT:
      AC_WMPaint(Message);
      return;
    case WM_ERASEBKGND:
      if (OwnerDraw) {
        ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
        TCacheInfo ci;
        WindowParentBackgroundInfo(wnd, ci);
        HDC given = reinterpret_cast<HDC>(Message.WParam);
        HDC dc = given ? given : GetWindowDC(wnd);
        if (dc) {
          if (ci.Ready && ci.Bmp && !ci.Bmp->Empty())
            BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, ci.Bmp->Canvas().Handle(), WndPos.X + ci.X, WndPos.Y + ci.Y,
                   SRCCOPY);
          else
            FillRectOnDC(dc, TRect{0, 0, WndSize.cx, WndSize.cy}, ColorToRGB(ci.FillColor));
          if (!given) ReleaseDC(wnd, dc);
        }
      }
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      Message.Result = 0;
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SkinData->StopAnimation();
      base();
      return;
    case SM_SKINCOMMAND:
      switch (SkinCommandOf(Message.WParam)) {
        case SKCMD_PREPARE_CACHE:
          // 0: the cache is ready (a state fade that asks takes any other answer as "not yet").
          PrepareCache();
          Message.Result = 0;
          return;
        case SKCMD_MOUSE_ENTER:
          if (HotMouseEnter(this, dm, wnd)) return;
          break;
        case SKCMD_MOUSE_LEAVE:
          if (HotMouseLeave(this, nullptr, true)) return;
          break;
      }
      break;
  }
  base();
  if (!IsWindow(wnd)) return;
  switch (Message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      SendMessageW(wnd, WM_PAINT, 0, 0);
      break;
    case WM_NCHITTEST:
      if (dm && IsWindowEnabled(wnd) && dm->FActiveControl != wnd) dm->SwitchHotControl(wnd);
      break;
    case WM_KEYDOWN:
    case WM_KEYUP:
      if (Message.WParam == VK_SPACE) SendMessageW(wnd, WM_PAINT, 0, 0);
      break;
  }
}

// ---------------------------------------------------------------------------
// TacGroupBoxWnd
// ---------------------------------------------------------------------------

void TacGroupBoxWnd::AfterCreation() {
  if (SkinData && SkinData->SkinSection().empty()) SkinData->WriteSkinSection(L"GROUPBOX");
  if (auto* owner = SkinData ? dynamic_cast<TWinControl*>(SkinData->FOwnerControl) : nullptr) {
    TMessage m{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_NEW_SKIN), reinterpret_cast<LPARAM>(ManagerOf(this)), 0};
    BroadcastToAllChildren(owner, m);
  }
  if (CtrlHandle) ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  TacMainWnd::AfterCreation();
}

void TacGroupBoxWnd::CaptionRect(TRect& R) {
  int tw = 0, th = 0;
  if (!Caption.empty() && SkinData) {
    if (!SkinData->FCacheBmp) SkinData->InitCacheBitmap();
    InitHandlerFont(this, false);
    HDC dc = SkinData->FCacheBmp->Canvas().Handle();
    SelectObject(dc, SkinData->FCacheBmp->Canvas().Font.Handle());
    TRect m{0, 0, 0, 0};
    DrawTextW(dc, Caption.c_str(), static_cast<int>(Caption.size()), reinterpret_cast<RECT*>(&m),
              DT_CALCRECT | DT_CENTER);
    tw = std::max(0, m.Right - m.Left);
    th = std::max(0, m.Bottom - m.Top);
  }
  const int W = WndSize.cx;
  const bool rtl = CtrlHandle && (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING);
  R.Left = rtl ? W - tw - 14 : 6;
  R.Top = 0;
  R.Bottom = std::max(4, th) + 2;
  R.Right = std::min(R.Left + tw + 8, W - 1);
}

namespace {

// The parent's background copied into R of the cache (bitmap at the window position plus the
// rectangle's corner plus the answered offset, or the answered colour).
void CopyParentBackground(TBitmap* Cache, const TacBGInfo& Info, TPoint WndPos, const TRect& R) {
  if (!Cache || Cache->Empty() || R.Right <= R.Left || R.Bottom <= R.Top) return;
  HDC dc = Cache->Canvas().Handle();
  if (Info.BgType == btCache && Info.Bmp && !Info.Bmp->Empty())
    BitBlt(dc, R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top, Info.Bmp->Canvas().Handle(),
           WndPos.X + R.Left + Info.Offset.X, WndPos.Y + R.Top + Info.Offset.Y, SRCCOPY);
  else
    FillRectOnDC(dc, R, ColorToRGB(Info.Color));
}

}  // namespace

void TacGroupBoxWnd::WriteText(const TRect& R) {
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  if (!cache) return;
  TacBGInfo info;
  info.PleaseDraw = false;
  if (ParentWnd) RequestBackgroundFromWindow(info, ParentWnd, false);
  CopyParentBackground(cache, info, WndPos, R);
  TCanvas& canvas = cache->Canvas();
  TsSkinManager* manager = ManagerOf(this);
  canvas.Font.Color = SectionFontColorOfWindow(CtrlHandle, SkinData->SkinIndex, manager, 0);
  canvas.Brush.Style = bsClear;
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
  if (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) flags |= DT_RTLREADING;
  TRect r = R;
  WriteSkinText(&canvas, Caption.c_str(), IsWindowEnabled(CtrlHandle) != FALSE, r, flags, -1, 0, manager);
  canvas.Brush.Style = bsSolid;
}

void TacGroupBoxWnd::PrepareCache() {
  if (!SkinData || !CtrlHandle) return;
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  // 1.
  TBitmap* cache = SizedCache(this);
  if (!cache || cache->Empty()) return;
  InitHandlerFont(this, false);
  TRect cr;
  CaptionRect(cr);
  const int W = WndSize.cx, H = WndSize.cy, ch = cr.Bottom - cr.Top;
  // 2.
  TacBGInfo info;
  info.PleaseDraw = false;
  if (ParentWnd) RequestBackgroundFromWindow(info, ParentWnd, false);
  if (info.BgType == btCache && info.Bmp)
    CopyParentBackground(cache, info, WndPos, TRect{0, 0, W, ch});
  else
    CopyParentBackground(cache, info, WndPos, TRect{0, 0, W, cr.Bottom});
  // 3.
  TCacheInfo ci;
  CacheInfoFromBackgroundInfo(info, ci);
  PaintControlSkin(SkinData, ci, 0, TRect{0, ch / 2, W, H}, TPoint{WndPos.X, WndPos.Y + ch / 2}, cache, true);
  // 4.
  if (!Caption.empty()) WriteText(cr);
  // 5.
  SkinData->BGChanged = false;
}

void TacGroupBoxWnd::AC_WMPaint(TMessage& Message) {
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  TButtonPaintScope scope(CtrlHandle, Message.Msg == WM_PAINT);
  if (!SkinData || SkinData->RecheckUpdating(false)) return;
  HDC given = Message.LParam == 1 ? reinterpret_cast<HDC>(Message.WParam) : nullptr;
  HDC dc = given ? given : GetWindowDC(CtrlHandle);
  if (!dc) return;
  PrepareCache();
  const int saved = SaveDC(dc);
  const int W = WndSize.cx, H = WndSize.cy;
  if (DlgMode) {
    // The inside is the dialog's to paint: only the frame and the caption band are ours.
    int bl = 0, br = 0, bb = 0;
    TacSkinData* sd = SkinData->ReadCommonSkinData();
    if (const TsGeneralData* g = SectionOf(SkinData); g && sd && g->BorderIndex >= 0 &&
                                                      g->BorderIndex < static_cast<int>(sd->ma.size())) {
      const TsMaskData& mask = sd->ma[static_cast<std::size_t>(g->BorderIndex)];
      bl = mask.WL, br = mask.WR, bb = mask.WB;
    }
    TRect cr;
    CaptionRect(cr);
    ExcludeClipRect(dc, bl, cr.Bottom - cr.Top, W - br, H - bb);
  }
  const TRect all{0, 0, W, H};
  if (auto* owner = dynamic_cast<TWinControl*>(SkinData->FOwnerControl)) {
    PaintCacheExceptControls(owner, SkinData, all, 0, 0, false, dc, all);
    PaintGraphicChildren(dc, owner, TPoint{0, 0}, true);
  } else {
    PaintCacheExceptWindows(CtrlHandle, SkinData, all, 0, 0, false, dc, all);
  }
  RestoreDC(dc, saved);
  if (!given) ReleaseDC(CtrlHandle, dc);
  RepaintChildWindows(CtrlHandle);
}

void TacGroupBoxWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  const auto base = [&] { TacMainWnd::acWndProc(Message); };
  if (!SkinData) {
    base();
    return;
  }
  TControl* owner = SkinData->FOwnerControl;
  switch (Message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Quietly(wnd, base);
      SkinData->BGChanged = true;
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE);
      return;
    case WM_SETTEXT:
      base();
      SkinData->BGChanged = true;
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE);
      return;
    case WM_PAINT:
      if (DlgMode) break;
      AC_WMPaint(Message);
      Message.Result = 0;
      return;
    case WM_ERASEBKGND:
      if (DlgMode) break;
      if (owner && !(owner->ControlState() & csPaintCopy) && Message.WParam != static_cast<WPARAM>(Message.LParam)) {
        if (owner->Designing()) base();
      } else if (HDC dc = reinterpret_cast<HDC>(Message.WParam)) {
        if (SkinData->BGChanged) PrepareCache();
        if (!SkinData->BGChanged) BlitCache(SkinData->FCacheBmp.get(), wnd, dc);
      }
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      if (!DlgMode) break;
      {
        TMessage m{WM_NCPAINT, 0, 0, 0};
        AC_WMPaint(m);
      }
      Message.Result = 1;
      return;
    case WM_PARENTNOTIFY:
      base();
      if (LOWORD(Message.WParam) == WM_CREATE && owner) AddToFormAdapter(owner);
      return;
    case WM_PRINT:
      SkinData->BGChanged = true;
      SkinData->FUpdating = false;
      Message.LParam = 1;
      AC_WMPaint(Message);
      return;
    case SM_SKINCOMMAND:
      switch (SkinCommandOf(Message.WParam)) {
        case SKCMD_REMOVE_SKIN:
          if (owner) owner->SetControlStyle(owner->ControlStyle() & ~static_cast<TControlStyle>(csOpaque));
          break;
        case SKCMD_CAPTION_HEIGHT: {
          ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
          TRect cr;
          CaptionRect(cr);
          Message.Result = cr.Bottom - cr.Top;
          return;
        }
      }
      break;
  }
  base();
}

// ---------------------------------------------------------------------------
// The factory's kinds
// ---------------------------------------------------------------------------

void RegisterButtonHandlerKinds() {
  RegisterHandlerKind(L"TacBtnWnd", HandlerMakerOf<TacBtnWnd>());
  RegisterHandlerKind(L"TacBitBtnWnd", HandlerMakerOf<TacBitBtnWnd>());
  RegisterHandlerKind(L"TacButtonWnd", HandlerMakerOf<TacButtonWnd>());
  RegisterHandlerKind(L"TacSplitBtnWnd", HandlerMakerOf<TacSplitBtnWnd>());
  RegisterHandlerKind(L"TacCheckBoxWnd", HandlerMakerOf<TacCheckBoxWnd>());
  RegisterHandlerKind(L"TacGroupBoxWnd", HandlerMakerOf<TacGroupBoxWnd>());
}
