// Handlers of windows whose client area the control paints itself while the skin gives the
// frame, the colours and the scroll bars: edits and list boxes, a combo box's drop-down
// list, the MDI client of an MDI form, scrolling containers and containers that keep their
// own client painting.
#include "skin/handlers/acSBUtils.h"

#include <algorithm>

#include "platform/ui/Forms.h"
#include "platform/ui/Grids.h"
#include "platform/ui/StdCtrls.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/handlers/acSBUtils.Scroll.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// A colour assignment of the handler itself is under way (CtrlSkinState).
constexpr std::uint32_t acsColorAssigning = 0x2000;
// SetWindowPos flags: no size, move, z-order or activation, the frame calculated again.
constexpr UINT FrameRecalcFlags = 0x737;
// The combo box's messages to its list: tracking starts, tracking ends.
constexpr UINT CB_LIST_START_TRACK = 0x1AE, CB_LIST_END_TRACK = 0x1AF;

int XOfLParam(LPARAM L) { return static_cast<int>(static_cast<short>(LOWORD(L))); }
int YOfLParam(LPARAM L) { return static_cast<int>(static_cast<short>(HIWORD(L))); }

bool WindowsVistaOrLater() {
  static const bool later = [] {
    using TGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
      if (auto get = reinterpret_cast<TGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))) {
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof(info);
        if (get(&info) == 0) return info.dwMajorVersion >= 6;
      }
    return true;
  }();
  return later;
}

bool ValidSection(TsCommonData* Data) {
  TacSkinData* sd = Data ? Data->ReadCommonSkinData() : nullptr;
  return sd && Data->SkinIndex >= 0 && Data->SkinIndex < static_cast<int>(sd->gd.size());
}

bool ClipBoxEmpty(HDC DC) {
  RECT r{};
  return GetClipBox(DC, &r) == NULLREGION;
}

TsSkinManager* ManagerOfData(TsCommonData* Data) { return Data ? Data->ReadSkinManager() : nullptr; }

bool IsPrintDC(TsCommonData* Data, HDC DC) { return Data && DC && Data->PrintDC == DC; }

}  // namespace

// ---------------------------------------------------------------------------
// TacBaseWnd
// ---------------------------------------------------------------------------

void TacBaseWnd::acWndProc(TMessage& Message) {
  if (Destroyed || !SkinData || !SkinData->Skinned()) {
    TacScrollWnd::acWndProc(Message);
    return;
  }
  const HWND wnd = CtrlHandle;
  switch (Message.Msg) {
    case WM_SIZE:
    case WM_EXITSIZEMOVE:
      SkinData->BGChanged = true;
      break;
    case WM_SETCURSOR:
      TacScrollWnd::acWndProc(Message);
      return;
    case 0x2100:
      return;
    case SM_SKINCOMMAND:
      switch (SkinCommandOf(Message.WParam)) {
        case SKCMD_REFRESH:
          if (Message.LParam == reinterpret_cast<LPARAM>(SkinManager)) {
            TacScrollWnd::acWndProc(Message);
            if (wnd && IsWindowVisible(wnd)) SendMessageW(wnd, WM_NCPAINT, 1, 0);
            return;
          }
          break;
        case SKCMD_PREPARE_CACHE:
          RenderControlCache(SkinData, wnd, false);
          break;
      }
      break;
  }
  TacScrollWnd::acWndProc(Message);
  switch (Message.Msg) {
    case WM_SIZE:
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (!DontRepaint) RefreshScrollBars(this, true);
      break;
    case WM_ENABLE:
    case CM_ENABLEDCHANGED:
      if (wnd && IsWindow(wnd) && IsWindowVisible(wnd)) SendMessageW(wnd, WM_NCPAINT, 1, 0);
      break;
  }
}

// ---------------------------------------------------------------------------
// TacEditWnd: creation and colours
// ---------------------------------------------------------------------------

void TacEditWnd::Create() {
  const HWND AHandle = CtrlHandle;
  // 1. visual styles off, but for the kinds that draw over the native look
  bool themeOff = FParams.SkinSection != L"DIALOG" && KindName != L"TacGridWnd" &&
                  KindName != L"TacVirtualTreeViewWnd";
  if (themeOff)
    if (auto* list = dynamic_cast<TacComboListWnd*>(this); list && !FRepaint) themeOff = false;
  if (themeOff) {
    if (FSharedData) {
      if (FSharedData->COC == 10 && WindowsVistaOrLater()) themeOff = false;
      if (FSharedData->FOwnerControl && HasProperty(FSharedData->FOwnerControl, L"UseXPThemes")) themeOff = false;
    } else if (WindowsVistaOrLater() && FParams.SkinSection == L"COMBOBOX") {
      themeOff = false;
    }
  }
  if (themeOff && AHandle) HandlerSetWindowTheme(AHandle, L" ", L" ");
  // 2.
  FClientRect = TRect{0, -1, 0, 0};
  CtrlState = 0;
  OldWndProc = TWndMethod{};
  OldProc = nullptr;
  NewWndProcInstance = nullptr;
  Destroyed = false;
  StdNCPaint = false;
  // 3. skin state
  TakeSkinState();
  // 4.
  if (SkinData) {
    SkinData->SetCustomFont(SkinData->CustomFont());
    if (OwnSkinData) SkinData->COC = 231;
    if (SkinData->SkinSection().empty() && SkinData->COC > 230)
      SkinData->WriteSkinSection(FParams.SkinSection.empty() ? std::wstring(L"EDIT") : FParams.SkinSection);
    if (!SkinData->FOwnerControl) SkinData->FSWHandle = AHandle;
  }
  // 5.
  Tag = 0;
  SaveStdParams();
  ParamsChanged = false;
  DlgMode = acDlgMode;
  if (AHandle) {
    const int n = GetWindowTextLengthW(AHandle);
    std::wstring text(static_cast<std::size_t>(std::max(0, n)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(std::max(0, GetWindowTextW(AHandle, text.data(), n + 1))));
    Caption = text;
  }
  // 6.
  InitializeScrollWnd(this, AHandle, FRepaint);
  // 7.
  TControl* owner = MakeOwnerOpaque();
  SingleLineEdit = dynamic_cast<TCustomEdit*>(owner) && AHandle && !(GetWindowLongW(AHandle, GWL_STYLE) & ES_MULTILINE);
  // 8.
  CtrlListChanged = false;
  AfterCreation();
}

void TacEditWnd::ApplyParams() {
  ++SkinData->FUpdateCount;
  if (SkinManager) SkinData->WriteSkinManager(SkinManager);
  if (!FParams.SkinSection.empty()) SkinData->WriteSkinSection(FParams.SkinSection);
  if (TControl* control = FParams.Control) {
    SkinData->FOwnerControl = control;
    SkinData->FOwnerObject = control;
    if (HasProperty(control, L"PanelBorder")) SkinData->WriteSkinSection(L"TRANSPARENT");
  }
  SkinData->FCustomFont = !FParams.UseSkinFontColor;
  SkinData->FCustomColor = !FParams.UseSkinColor;
  if (auto* scroll = dynamic_cast<TsScrollWndData*>(SkinData)) {
    if (FParams.HorzScrollBtnSize >= 0) scroll->HorzScrollData()->SetButtonsSize(FParams.HorzScrollBtnSize);
    if (FParams.HorzScrollSize >= 0) scroll->HorzScrollData()->SetScrollWidth(FParams.HorzScrollSize);
    if (FParams.VertScrollBtnSize >= 0) scroll->VertScrollData()->SetButtonsSize(FParams.VertScrollBtnSize);
    if (FParams.VertScrollSize >= 0) scroll->VertScrollData()->SetScrollWidth(FParams.VertScrollSize);
  }
  --SkinData->FUpdateCount;
}

void TacEditWnd::SaveStdParams() {
  TacBaseWnd::SaveStdParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (auto* grid = dynamic_cast<TCustomGrid*>(owner)) {
    DrawingStyle = static_cast<std::uint8_t>(grid->DrawingStyle);
    FixedGradientFrom = grid->GradientStartColor;
    FixedGradientTo = grid->GradientEndColor;
  }
  if (owner) {
    StdColor = owner->Color();
    StdFontColor = owner->Font.Color;
    if (HasProperty(owner, L"FocusColor")) FocusColor = static_cast<TColor>(GetOrdProperty(owner, L"FocusColor"));
  }
}

void TacEditWnd::RestoreStdParams() {
  TacBaseWnd::RestoreStdParams();
  if (!SkinData) return;
  TControl* owner = SkinData->FOwnerControl;
  if (auto* grid = dynamic_cast<TCustomGrid*>(owner)) {
    grid->DrawingStyle = static_cast<TGridDrawingStyle>(DrawingStyle);
    grid->GradientStartColor = FixedGradientFrom;
    grid->GradientEndColor = FixedGradientTo;
  }
  const bool alive = owner && !owner->Destroying();
  if (alive) {
    // The control gets the system's edit colours back, not the ones it had: those may be a
    // skin's colours it was given before.
    if (!SkinData->CustomColor()) owner->SetColor(clWindow);
    if (!SkinData->CustomFont()) {
      SkinData->CtrlSkinState |= acsColorAssigning;
      owner->Font.ChangeQuietly([&] { owner->Font.Color = clWindowText; });
      SkinData->CtrlSkinState &= ~acsColorAssigning;
    }
    if (HasProperty(owner, L"FocusColor")) SetOrdProperty(owner, L"FocusColor", static_cast<int>(FocusColor));
  }
  if ((!owner || alive) && (!SkinData->FUpdating || !ValidSection(SkinData)) && CtrlHandle && IsWindow(CtrlHandle))
    SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, FrameRecalcFlags);
}

void TacEditWnd::SetSkinParams() {
  if (bPreventStyleChange) return;
  if (!SkinData) return;
  SkinData->FUpdating = true;
  bPreventStyleChange = true;
  TacBaseWnd::SetSkinParams();
  TsSkinManager* manager = ManagerOfData(SkinData);
  TControl* owner = SkinData->FOwnerControl;
  if (auto* grid = dynamic_cast<TCustomGrid*>(owner); grid && manager) {
    if (DrawingStyle != gdsClassic) grid->DrawingStyle = gdsGradient;
    grid->GradientStartColor = static_cast<TColor>(
        BlendTwoColors(ColorToRGB(manager->Palette[pcMainColor]), ColorToRGB(manager->Palette[pcEditBG]), 127));
    grid->GradientEndColor = manager->Palette[pcMainColor];
  }
  if (SkinData->Skinned() && manager) {
    TacSkinData* sd = SkinData->ReadCommonSkinData();
    const TsGeneralData& section = sd->gd[static_cast<std::size_t>(SkinData->SkinIndex)];
    if (owner) {
      int state = 0;
      if (IsHot(SkinData) == 1 && section.States > 1) {
        state = 1;
        CtrlState |= csNCPaintNeeded;
      }
      if (!SkinData->CustomColor()) {
        const TColor color = SkinData->BackgroundColor(state, CtrlHandle);
        if (HasProperty(owner, L"FocusColor")) {
          if (owner->Color() != color) {
            owner->SetColor(color);
            CtrlState |= csPaintNeeded;
          }
          if (GetOrdProperty(owner, L"FocusColor") != static_cast<int>(color)) {
            SetOrdProperty(owner, L"FocusColor", static_cast<int>(color));
            CtrlState |= csPaintNeeded;
          }
        } else if (owner->Color() != color) {
          owner->SetColor(color);
          CtrlState |= csPaintNeeded;
        }
        Color = color;
      }
      if (!SkinData->CustomFont()) {
        const TColor fontColor = section.Props[state].FontColor.Color;
        if (owner->Font.Color != fontColor) {
          SkinData->CtrlSkinState |= acsColorAssigning;
          owner->Font.Color = fontColor;
          if (SkinData) SkinData->CtrlSkinState &= ~acsColorAssigning;
          CtrlState |= csPaintNeeded;
          if (Destroyed) {
            bPreventStyleChange = false;
            return;
          }
        }
      }
    } else {
      if (!SkinData->CustomColor()) Color = DlgMode ? clWindow : section.Props[0].Color;
      FrameColor = manager->Palette[pcBorder];
    }
    SkinData->BGChanged = true;
  } else {
    FrameColor = 0;
  }
  // Left on, it would keep every later paint of this window and its children waiting.
  SkinData->FUpdating = false;
  bPreventStyleChange = false;
}

TRect TacEditWnd::ClientRect() {
  if (FClientRect.Top == -1 && CtrlHandle) FClientRect = ClientRectInWindow(CtrlHandle);
  return FClientRect;
}

bool TacEditWnd::NCContent() {
  if (!SkinData || !dynamic_cast<TCustomEdit*>(SkinData->FOwnerControl)) return false;
  if ((sBarVert && sBarVert->fScrollVisible) || (sBarHorz && sBarHorz->fScrollVisible)) return false;
  const TRect r = ClientRect();
  return r.Width() != WndSize.cx - 2 * cxLeftEdge || r.Height() != WndSize.cy - 2 * cyTopEdge;
}

// ---------------------------------------------------------------------------
// TacEditWnd: messages
// ---------------------------------------------------------------------------

void TacEditWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (Message.Msg == WM_SIZE) {
    TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
    if (wnd && !IsWindowVisible(wnd) && !(GetWindowLongW(wnd, GWL_STYLE) & WS_VISIBLE) && owner &&
        owner->Visible() && SkinData->COC == 231 && KindName != L"TacVirtualTreeViewWnd")
      return;
    BaseHandling(Message);
    return;
  }
  if (Message.Msg == SM_SKINCOMMAND) {
    switch (SkinCommandOf(Message.WParam)) {
      case SKCMD_IS_SKINNED:
        Message.Result = 1;
        return;
      case SKCMD_MOUSE_LEAVE:
        BaseHandling(Message);
        if (SkinData && !IsMouseOverWindow(wnd)) SkinData->FMouseAbove = false;
        break;
    }
  }
  if (!SkinData || !SkinData->Skinned()) {
    BaseHandling(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      auto* win = dynamic_cast<TWinControl*>(SkinData->FOwnerControl);
      if (BorderNeedsAnimation(SkinData, false) && win && win->CanFocus() && win->TabStop()) {
        SkinData->BGChanged = true;
        SkinData->FFocused = Message.Msg == WM_SETFOCUS;
        BaseHandling(Message);
        SetSkinParams();
        if (CtrlState & csPaintNeeded)
          RedrawWindow(wnd, nullptr, nullptr, 0x501);
        else if (CtrlState & csNCPaintNeeded)
          SendSkinMessage(wnd, WM_NCPAINT, 1, 0);
      } else {
        CallPrevWndProc(Message);
      }
      return;
    }
    case WM_SETREDRAW:
      if (Message.WParam == 1 && CtrlListChanged) {
        AddToFormAdapter(SkinData->FOwnerControl);
        CtrlListChanged = false;
      }
      BaseHandling(Message);
      FollowUp(Message);
      return;
    case WM_SETTEXT:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
      SkinData->BGChanged = true;
      if (!(SkinData->CtrlSkinState & acsColorAssigning) && !SkinData->FUpdating)
        RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE);
      BaseHandling(Message);
      FollowUp(Message);
      return;
    case WM_PAINT:
      EditPaint(Message);
      return;
    case WM_ERASEBKGND:
      EditEraseBackground(Message);
      return;
    case WM_NCPAINT:
      EditNCPaint(Message);
      return;
    case WM_PRINT:
      EditPrint(Message);
      return;
    case SM_SKINCOMMAND:
      if (HandleAlphaCmd(Message)) return;
      BaseHandling(Message);
      return;
  }
  BaseHandling(Message);
  FollowUp(Message);
}

void TacEditWnd::FollowUp(TMessage& Message) {
  if (Destroyed || !SkinData) return;
  switch (Message.Msg) {
    case WM_SETFONT:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_LBUTTONDOWN:
    case CN_KEYDOWN:
    case CN_KEYUP:
      if (!DontRepaint) RefreshScrollBars(this, true);
      break;
    case EM_REPLACESEL:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_SETCURSEL:
    case LB_SETTOPINDEX:
      RefreshScrollBars(this, true);
      break;
    case LB_GETTOPINDEX:
      if (auto* list = dynamic_cast<TCustomListBox*>(SkinData->FOwnerControl);
          list && Message.Result == 0 && list->Items().Count() == 0)
        Message.Result = -1;
      break;
    case WM_MOUSEMOVE:
      if (TsSkinManager* dm = DefaultManager(); dm && !dm->Designing() && CtrlHandle && IsWindowEnabled(CtrlHandle)) {
        if (dm->FActiveControl != CtrlHandle) dm->SwitchHotControl(CtrlHandle);
        if (!SkinData->FUpdating && GetCapture()) RefreshScrollBars(this, true);
      }
      break;
    case WM_PARENTNOTIFY:
      if (LOWORD(Message.WParam) == WM_CREATE)
        if (TsSkinManager* m = ManagerOfData(SkinData); m && (m->SkinningRules() & srThirdParty))
          CtrlListChanged = true;
      break;
    case CM_CONTROLLISTCHANGE:
      CtrlListChanged = true;
      break;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      HandleCommonWindowMessage(Message, SkinData);
      break;
  }
}

void TacEditWnd::EditPaint(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (!IsWindowVisible(wnd) || bPreventStyleChange) {
    BaseHandling(Message);
    return;
  }
  auto validate = [wnd] {
    PAINTSTRUCT ps{};
    BeginPaint(wnd, &ps);
    EndPaint(wnd, &ps);
  };
  const HDC dc = reinterpret_cast<HDC>(Message.WParam);
  // 1.
  if (dc && !IsPrintDC(SkinData, dc) && ClipBoxEmpty(dc)) {
    validate();
    return;
  }
  // 2. the cache already holds the disabled text
  if (SingleLineEdit && !IsWindowEnabled(wnd)) {
    PAINTSTRUCT ps{};
    BeginPaint(wnd, &ps);
    TBitmap* cache = SkinData->FCacheBmp.get();
    if (HDC wdc = cache && !cache->Empty() ? GetWindowDC(wnd) : nullptr) {
      BitBlt(wdc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, SRCCOPY);
      ReleaseDC(wnd, wdc);
    }
    EndPaint(wnd, &ps);
    return;
  }
  // 3.
  if (SkinData->RecheckUpdating(false) || (AnimationInProgress && !SkinData->PrintDC)) {
    validate();
    return;
  }
  // 4.
  if (!(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_RTLREADING)) PaintScrollBars(this, wnd, -1, dc);
  CtrlState &= ~static_cast<unsigned>(csPaintNeeded);
  if (!ParamsChanged) SetSkinParams();
  BaseHandling(Message);
}

void TacEditWnd::EditEraseBackground(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (!IsWindowVisible(wnd) || bPreventStyleChange) {
    BaseHandling(Message);
    return;
  }
  const HDC dc = reinterpret_cast<HDC>(Message.WParam);
  Message.Result = 1;
  if (!(IsPrintDC(SkinData, dc) || (dc && !ClipBoxEmpty(dc)))) return;
  if (SkinData->FUpdating) return;
  CtrlState &= ~static_cast<unsigned>(csPaintNeeded);
  if (!ParamsChanged) SetSkinParams();
  const bool disabledSingleLine = SingleLineEdit && !IsWindowEnabled(wnd);
  const bool animating = WindowsVistaOrLater() && AnimationInProgress && !IsPrintDC(SkinData, dc);
  if (!disabledSingleLine && !animating) BaseHandling(Message);
}

void TacEditWnd::EditNCPaint(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (!IsWindowVisible(wnd) || bPreventStyleChange) {
    BaseHandling(Message);
    return;
  }
  Message.Result = 0;
  if (AnimationInProgress || StdNCPaint) return;
  // 1.
  ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  if (SkinData->FUpdating) {
    CtrlState |= csNCPaintNeeded;
    return;
  }
  // 2.
  HDC dc = GetWindowDC(wnd);
  if (!dc) return;
  if (!IsPrintDC(SkinData, dc) && ClipBoxEmpty(dc)) {
    ReleaseDC(wnd, dc);
    return;
  }
  // 3.
  if (SkinData->BGChanged) {
    if (!ParamsChanged) SetSkinParams();
    RenderControlCache(SkinData, wnd, DlgMode);
  }
  // 4.
  const int saved = SaveDC(dc);
  if (NCContent()) {
    StdNCPaint = true;
    // What the control draws of its own frame is kept inside the 2-pixel edge: the update
    // region it is given is narrowed, never the window's region (which belongs to the window
    // and whose change would paint the frame once more).
    WPARAM rgnArg = Message.WParam;
    HRGN narrowed = nullptr;
    if (cxLeftEdge > 0) {
      narrowed = CreateRectRgn(WndRect.Left + 2, WndRect.Top + 2, WndRect.Right - 2, WndRect.Bottom - 2);
      if (Message.WParam > 1) CombineRgn(narrowed, narrowed, reinterpret_cast<HRGN>(Message.WParam), RGN_AND);
      rgnArg = reinterpret_cast<WPARAM>(narrowed);
    }
    LPARAM lp = Message.LParam;
    CallPrevWndProc(wnd, WM_NCPAINT, lp, rgnArg);
    if (narrowed) DeleteObject(narrowed);
    StdNCPaint = false;
  }
  // 5.
  PaintScrollBars(this, wnd, -1, dc);
  if (cxLeftEdge < 0) cxLeftEdge = 2;
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (cache && !cache->Empty())
    BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, cxLeftEdge, cyTopEdge,
                     cxRightEdge, cyBottomEdge);
  RestoreDC(dc, saved);
  ReleaseDC(wnd, dc);
  // 6.
  CtrlState &= ~static_cast<unsigned>(csNCPaintNeeded);
}

void TacEditWnd::EditPrint(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  CallPrevWndProc(Message);
  if (Message.Result == 2) return;
  ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  SkinData->FUpdating = false;
  SkinData->BGChanged = true;
  if (!ParamsChanged) SetSkinParams();
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  RenderControlCache(SkinData, wnd, DlgMode);
  if (!DlgMode) PaintBorderCorners(SkinData, 0, this);
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!dc || !cache || cache->Empty()) return;
  const int left = std::max(0, cxLeftEdge), top = std::max(0, cyTopEdge);
  const int right = std::max(0, cxRightEdge), bottom = std::max(0, cyBottomEdge);
  const bool clientOnly = (Message.LParam & PRF_CLIENT) != 0;
  const int outer = SaveDC(dc);
  if (clientOnly) {
    POINT old{};
    OffsetWindowOrgEx(dc, left, top, &old);
    IntersectClipRect(dc, 0, 0, cache->Width() - right, cache->Height() - bottom);
  } else {
    BlitBorderStrips(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, left, top, right,
                     bottom);
    PaintScrollBars(this, wnd, -1, dc);
  }
  const int inner = SaveDC(dc);
  int originX = left;
  int clipW = cache->Width() - left - right;
  int clipH = cache->Height() - top - bottom;
  if (sBarHorz && sBarVert) {
    if (sBarVert->fScrollVisible) {
      const int t = ScrollBarSize(this, SB_VERT, true);
      clipW -= t;
      if (fLeftScrollbar) originX += t;
    }
    if (sBarHorz->fScrollVisible) clipH -= ScrollBarSize(this, SB_HORZ, true);
  }
  POINT old{};
  OffsetWindowOrgEx(dc, -originX, -top, &old);
  if (sBarHorz && sBarVert) IntersectClipRect(dc, 0, 0, std::max(0, clipW), std::max(0, clipH));
  if (clientOnly)
    BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
  else
    BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), left, top, SRCCOPY);
  SendSkinMessage(wnd, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  SendSkinMessage(wnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_OWNED);
  RestoreDC(dc, inner);
  RestoreDC(dc, outer);
  if (SkinData->COC == 10) BaseHandling(Message);
}

bool TacEditWnd::HandleAlphaCmd(TMessage& Message) {
  switch (SkinCommandOf(Message.WParam)) {
    case SKCMD_REFRESH:
      if (Message.LParam == reinterpret_cast<LPARAM>(SkinManager)) {
        BaseHandling(Message);
        if (SkinData) SetSkinParams();
      }
      return false;
    case SKCMD_END_UPDATE:
      if (SkinData && SkinData->FUpdating && !SkinData->RecheckUpdating(true))
        RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
      return false;
    case SKCMD_IS_SKINNED:
      Message.Result = 1;
      return true;
    case SKCMD_PREPARE_CACHE:
      ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
      RenderControlCache(SkinData, CtrlHandle, DlgMode);
      PaintBorderCorners(SkinData, 0, this);
      return true;
    case SKCMD_GET_SKIN_INDEX:
      if (Message.LParam && SkinData) reinterpret_cast<std::int32_t*>(Message.LParam)[1] = SkinData->SkinIndex;
      return true;
    case SKCMD_GET_BG_INFO: {
      if (!SkinData) return false;
      CallPrevWndProc(Message);
      auto* info = reinterpret_cast<TacBGInfo*>(Message.LParam);
      if (!info) return true;
      if (info->BgType == btUnknown) {
        if (SkinData->CustomColor()) {
          info->BgType = btFill;
          info->Color = SkinData->FOwnerControl ? SkinData->FOwnerControl->Color() : Color;
        } else {
          SkinData->FillBackgroundInfo(*info, 0, CtrlHandle);
        }
      }
      info->Offset.X += std::max(0, cxLeftEdge);
      info->Offset.Y += std::max(0, cyTopEdge);
      return true;
    }
    case SKCMD_SCROLL_BEGIN:
      if (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR)
        SendSkinMessage(CtrlHandle, WM_SETREDRAW, 0, 0);
      else
        BaseHandling(Message);
      return true;
    case SKCMD_SCROLL_END:
      if (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) {
        SendSkinMessage(CtrlHandle, WM_SETREDRAW, 1, 0);
        InvalidateRect(CtrlHandle, nullptr, TRUE);
      } else {
        BaseHandling(Message);
      }
      return true;
    case SKCMD_GET_APPLICATION:
      Message.Result = reinterpret_cast<LRESULT>(&Application());
      return true;
    case SKCMD_REMOVE_SKIN:
      // The control's own colours come back with the skin's going, not only with the handler's.
      BaseHandling(Message);
      DispatchSkinCommand(Message, SkinData);
      return true;
    case SKCMD_PPI_CHANGED:
      CallPrevWndProc(Message);
      DispatchSkinCommand(Message, SkinData);
      return true;
    default:
      return DispatchSkinCommand(Message, SkinData);
  }
}

// ---------------------------------------------------------------------------
// TacComboListWnd
// ---------------------------------------------------------------------------

TacComboListWnd* TacComboListWnd::CreateEx(HWND AHandle, bool SimplyBox, bool Repaint, const std::wstring& Section,
                                           TsSkinManager* Manager, TsCommonData* SharedData) {
  TacSkinParams params;
  params.SkinSection = Section;
  params.UseSkinColor = params.UseSkinFontColor = true;
  auto* list = new TacComboListWnd(AHandle, Repaint, params, Manager, SharedData);
  list->SimplyBox = SimplyBox;
  list->KindName = L"TacComboListWnd";
  list->Attach();
  if (WindowsVistaOrLater()) SetLayeredAlpha(AHandle, true, 255);
  if (!SimplyBox) {
    RECT r{};
    GetWindowRect(AHandle, &r);
    SetWindowPos(AHandle, nullptr, 0, 0, r.right - r.left + 1, r.bottom - r.top, 0x736);
  }
  return list;
}

TacComboListWnd::~TacComboListWnd() {
  if (Attached() && CtrlHandle && IsWindow(CtrlHandle)) HandlerSetWindowTheme(CtrlHandle, nullptr, nullptr);
}

void TacComboListWnd::AfterCreation() {
  if (!SkinData) InitSkinData();
  Showed = false;
  DBScroll = false;
  RECT r{};
  if (CtrlHandle) GetWindowRect(CtrlHandle, &r);
  WndRect = TRect{r.left, r.top, r.right, r.bottom};
  TacEditWnd::AfterCreation();
}

void TacComboListWnd::SetSkinParams() {
  if (bPreventStyleChange || !SkinData) return;
  bPreventStyleChange = true;
  if (ValidSection(SkinData)) {
    TsSkinManager* manager = ManagerOfData(SkinData);
    TacSkinData* sd = SkinData->ReadCommonSkinData();
    const int state = IsHot(SkinData);
    if (!SkinData->CustomColor())
      Color = DlgMode ? clWindow : sd->gd[static_cast<std::size_t>(SkinData->SkinIndex)].StateProps(state).Color;
    FrameColor = manager ? manager->Palette[pcBorder] : 0;
    SkinData->BGChanged = true;
    SkinData->FUpdating = false;
  } else {
    FrameColor = 0;
  }
  bPreventStyleChange = false;
}

void TacComboListWnd::PrepareListCache() {
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  if (SimplyBox) {
    SendMessageW(CtrlHandle, SM_SKINCOMMAND, MAKEWPARAM(0, SKCMD_PREPARE_CACHE), 0);
    return;
  }
  SkinData->UpdateIndexes(true);
  SetSkinParams();
  SkinData->InitCacheBitmap();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache) return;
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(std::max(0, WndSize.cx), std::max(0, WndSize.cy));
  if (!cache->Empty()) {
    HDC dc = cache->Canvas().Handle();
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(Color)));
    HPEN pen = CreatePen(PS_SOLID, 1, static_cast<COLORREF>(ColorToRGB(FrameColor)));
    HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
    Rectangle(dc, 0, 0, cache->Width(), cache->Height());
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
  }
  SkinData->BGChanged = false;
}

void TacComboListWnd::PaintListFrame(HDC DC) {
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (cache && !cache->Empty())
    BlitBorderStrips(DC, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, 1);
}

void TacComboListWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (Destroyed || !SkinData || !SkinData->Skinned()) {
    TacEditWnd::acWndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_SIZE:
      SkinData->BGChanged = true;
      CallPrevWndProc(Message);
      if (!DontRepaint) RefreshScrollBars(this, true);
      return;
    case WM_ERASEBKGND:
      if (Message.WParam) {
        FillRectOnDC(reinterpret_cast<HDC>(Message.WParam), TRect{0, 0, WndSize.cx, WndSize.cy}, Color);
        Message.Result = 1;
      } else {
        CallPrevWndProc(Message);
      }
      return;
    case WM_NCCALCSIZE:
      TacScrollWnd::acWndProc(Message);
      return;
    case WM_NCHITTEST:
      TacScrollWnd::acWndProc(Message);
      if (Message.Result == 0) CallPrevWndProc(Message);
      return;
    case WM_NCPAINT: {
      Message.Result = 0;
      if (DontRepaint) return;
      PrepareListCache();
      if (!DlgMode) PaintBorderCorners(SkinData, 0, this);
      HDC dc = GetWindowDC(wnd);
      if (!dc) return;
      PaintListFrame(dc);
      PaintScrollBars(this, wnd, -1, dc);
      ReleaseDC(wnd, dc);
      if (SimplyBox) {
        // The strip of the combo box below the list shows the combo box's parent.
        HWND combo = GetParent(wnd);
        HWND host = combo ? GetParent(combo) : nullptr;
        RECT cr{}, lr{};
        if (combo && host && GetWindowRect(combo, &cr) && GetWindowRect(wnd, &lr) && lr.bottom < cr.bottom) {
          TacBGInfo info;
          info.PleaseDraw = false;
          RequestBackgroundFromWindow(info, host, false);
          HDC cdc = GetWindowDC(combo);
          if (cdc) {
            const int top = lr.bottom - cr.top, h = cr.bottom - lr.bottom, w = cr.right - cr.left;
            if (info.BgType == btCache && info.Bmp && !info.Bmp->Empty()) {
              POINT p{cr.left, lr.bottom};
              ScreenToClient(host, &p);
              BitBlt(cdc, 0, top, w, h, info.Bmp->Canvas().Handle(), info.Offset.X + p.x, info.Offset.Y + p.y,
                     SRCCOPY);
            } else if (info.BgType == btFill) {
              FillRectOnDC(cdc, TRect{0, top, w, top + h}, info.Color);
            }
            ReleaseDC(combo, cdc);
          }
        }
      }
      return;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
      TMessage hit{WM_NCHITTEST, 0, Message.LParam, 0};
      TacScrollWnd::acWndProc(hit);
      if (hit.Result == HTHSCROLL || hit.Result == HTVSCROLL) {
        TMessage down{Message.Msg, static_cast<WPARAM>(hit.Result), Message.LParam, 0};
        TacScrollWnd::acWndProc(down);
      }
      Message.Result = 0;
      return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      CallPrevWndProc(Message);
      return;
    case CB_LIST_START_TRACK:
      Showed = true;
      TacEditWnd::acWndProc(Message);
      return;
    case CB_LIST_END_TRACK:
      Showed = false;
      SkinData->BGChanged = true;
      TacEditWnd::acWndProc(Message);
      return;
    case WM_LBUTTONUP: {
      POINT p{XOfLParam(Message.LParam) + WndRect.Left, YOfLParam(Message.LParam) + WndRect.Top};
      TMessage hit{WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y), 0};
      TacScrollWnd::acWndProc(hit);
      if (hit.Result == HTHSCROLL || hit.Result == HTVSCROLL) {
        TacScrollWnd::acWndProc(Message);
        if (SimplyBox && GetCapture() == wnd) ReleaseCapture();
        return;
      }
      TacScrollWnd::acWndProc(Message);
      return;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      if (!dc || !IsWindowVisible(wnd)) {
        CallPrevWndProc(Message);
        return;
      }
      PrepareListCache();
      CallPrevWndProc(Message);
      if (Message.Msg == WM_PRINT && SendMessageW(wnd, LB_GETCOUNT, 0, 0) > 0 && !Showed) {
        if (acScrollTrack.PressedPart == sbpNone) PaintListFrame(dc);
        PaintScrollBars(this, wnd, -1, dc);
      }
      return;
    }
  }
  TacEditWnd::acWndProc(Message);
  if (Message.Msg == WM_WINDOWPOSCHANGED && !Destroyed) RefreshScrollBars(this, true);
}

// ---------------------------------------------------------------------------
// TacMDIWnd
// ---------------------------------------------------------------------------

TacMDIWnd::~TacMDIWnd() {
  MDISkinData = nullptr;
  SkinProvider = nullptr;
}

bool TacMDIWnd::ActiveChildMaximized() { return FForm && FForm->ActiveMDIChildMaximized(); }

TPoint TacMDIWnd::MDIClientOffset() {
  const TRect r = ImageRect();
  return TPoint{r.Left, r.Top};
}

TRect TacMDIWnd::ImageRect() {
  RECT cw{}, fw{};
  if (!CtrlHandle || !GetWindowRect(CtrlHandle, &cw)) return TRect{};
  if (FForm && FForm->HandleAllocated()) GetWindowRect(FForm->Handle(), &fw);
  TRect r{cw.left - fw.left, cw.top - fw.top, cw.right - fw.left, cw.bottom - fw.top};
  if (SkinProvider && SkinProvider->BorderForm) {
    const TRect shadow = SkinProvider->ShadowSize();
    const int dx = shadow.Left + BorderFormBorderDiff(SkinProvider->BorderForm);
    const int dy = shadow.Top + BorderFormTitleDiff(SkinProvider->BorderForm) +
                   BorderFormBorderDiff(SkinProvider->BorderForm);
    r = TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
  }
  return r;
}

void TacMDIWnd::PaintBackground(HDC DC, bool Shifted) {
  if (!DC || !MDISkinData || !SkinProvider) return;
  if (InAnimation(SkinProvider)) return;
  TBitmap* image = MDISkinData->FCacheBmp.get();
  if (!image || image->Empty() || MDISkinData->BGChanged) {
    SkinProvider->PaintAll();
    image = MDISkinData->FCacheBmp.get();
  }
  if (!image || image->Empty()) return;
  TRect r = ImageRect();
  if (Shifted && (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) {
    r.Left += 2;
    r.Top += 2;
  }
  BitBlt(DC, 0, 0, r.Width(), r.Height(), image->Canvas().Handle(), r.Left, r.Top, SRCCOPY);
}

void TacMDIWnd::HandleScroll(TMessage& Message) {
  const int code = LOWORD(Message.WParam);
  if (code == SB_THUMBTRACK) return;
  if (code != SB_THUMBPOSITION) {
    TacBaseWnd::acWndProc(Message);
    return;
  }
  const int bar = Message.Msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  GetScrollInfo(CtrlHandle, bar, &si);
  // The client's children move by whole 8-pixel steps from the thumb last tracked.
  const int tracked = acScrollTrack.LastTrackValue;
  const int delta = (si.nPos - si.nMin - tracked + 1) * 8;
  if (bar == SB_HORZ)
    ScrollWindow(CtrlHandle, delta, 0, nullptr, nullptr);
  else
    ScrollWindow(CtrlHandle, 0, delta, nullptr, nullptr);
  Message.Result = 0;
}

void TacMDIWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (Message.Msg == SM_SKINCOMMAND) {
    switch (SkinCommandOf(Message.WParam)) {
      case SKCMD_CHILD_PAINTED:
        if (FForm) Message.Result = PerformSkinCommand(FForm, SKCMD_CHILD_PAINTED, Message.LParam);
        return;
      case SKCMD_GET_BG_INFO:
        if (FForm && FForm->HandleAllocated())
          Message.Result = SendMessageW(FForm->Handle(), Message.Msg, Message.WParam, Message.LParam);
        return;
      case SKCMD_SCROLL_BEGIN:
        if (LOWORD(Message.LParam) == 4 || LOWORD(Message.LParam) == 5) {
          Message.Result = 1;
          return;
        }
        break;
      case SKCMD_SCROLL_END:
        RefreshScrollBars(this, true);
        return;
    }
  }
  if (MDISkinData && !Destroyed) {
    const bool skinned = MDISkinData->Skinned();
    switch (Message.Msg) {
      case WM_PAINT:
        if (AnimationInProgress) return;
        break;
      case WM_ERASEBKGND:
        if (skinned && Message.WParam) {
          Message.Result = 1;
          if (AnimationInProgress) return;
          if (ActiveChildMaximized())
            UpdateGraphControls();
          else
            PaintBackground(reinterpret_cast<HDC>(Message.WParam), true);
          return;
        }
        break;
      case WM_WINDOWPOSCHANGING:
        if (SkinProvider && SkinProvider->SkinData()) SkinProvider->SkinData()->BGChanged = true;
        break;
      case WM_WINDOWPOSCHANGED:
        if (FForm && FForm->HandleAllocated())
          RedrawWindow(FForm->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        break;
      case WM_STYLECHANGED:
        CallPrevWndProc(Message);
        return;
      case WM_NCPAINT:
        if (skinned) {
          if (!ActiveChildMaximized() && !AnimationInProgress) {
            HDC dc = GetWindowDC(wnd);
            if (dc) {
              TBitmap* image = MDISkinData->FCacheBmp.get();
              if (image && !image->Empty()) {
                const TRect r = ImageRect();
                BlitBorderStrips(dc, 0, 0, r.Width(), r.Height(), image->Canvas().Handle(), r.Left, r.Top, 2);
              }
              PaintScrollBars(this, wnd, -1, dc);
              ReleaseDC(wnd, dc);
            }
          }
          Message.Result = 1;
          return;
        }
        break;
      case WM_HSCROLL:
      case WM_VSCROLL:
        HandleScroll(Message);
        return;
      case WM_MDICREATE:
        CallPrevWndProc(Message);
        if (Message.Result) SkinNewTopWindow(reinterpret_cast<HWND>(Message.Result));
        return;
      case WM_MDITILE:
      case WM_MDICASCADE:
        CallPrevWndProc(Message);
        if (SkinProvider) {
          if (SkinProvider->SkinData()) SkinProvider->SkinData()->BGChanged = true;
          SkinProvider->FLinesCount = -1;
          if (FForm && FForm->FormKind() == fkMDIForm)
            if (TForm* child = FForm->ActiveMDIChild(); child && child->HandleAllocated())
              SetWindowLongW(child->Handle(), GWL_STYLE, GetWindowLongW(child->Handle(), GWL_STYLE) & ~WS_SYSMENU);
          if (SkinProvider->MDIForm) SkinProvider->MDIForm->UpdateMDIIconItem();
          InvalidateRect(wnd, nullptr, TRUE);
          RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_INVALIDATE | RDW_UPDATENOW);
          if (SkinProvider->SystemMenu) SkinProvider->SystemMenu->UpdateItems();
        }
        return;
      case WM_MDISETMENU:
        CallPrevWndProc(Message);
        if (SkinProvider) {
          if (SkinProvider->SkinData()) SkinProvider->SkinData()->BGChanged = true;
          SkinProvider->MenuChanged = true;
          SkinProvider->FLinesCount = -1;
        }
        return;
      case WM_PRINT:
        if (skinned && Message.WParam) {
          Message.Result = 0;
          if ((SkinProvider && SkinProvider->BorderForm) || ActiveChildMaximized()) return;
          HDC dc = reinterpret_cast<HDC>(Message.WParam);
          PaintBackground(dc, false);
          PaintScrollBars(this, wnd, -1, dc);
          return;
        }
        break;
    }
  }
  TacBaseWnd::acWndProc(Message);
  if (Destroyed || !wnd || !IsWindow(wnd)) return;
  switch (Message.Msg) {
    case 0x3F:
    case WM_PARENTNOTIFY:
      if (sBarHorz && sBarVert) {
        const LONG style = GetWindowLongW(wnd, GWL_STYLE);
        sBarVert->fScrollVisible = (style & WS_VSCROLL) != 0;
        sBarHorz->fScrollVisible = (style & WS_HSCROLL) != 0;
        RefreshScrollBars(this, true);
      }
      break;
    case WM_MDIREFRESHMENU:
      if (SkinProvider) RepaintFormFrame(SkinProvider);
      break;
  }
}

// ---------------------------------------------------------------------------
// TacScrollBoxWnd and TacNativePaint
// ---------------------------------------------------------------------------

void TacScrollBoxWnd::AfterCreation() {
  if (SkinData && SkinData->SkinSection().empty()) SkinData->WriteSkinSection(L"PANEL_LOW");
  RefreshFrame(CtrlHandle, true);
  TacScrollWnd::AfterCreation();
}

void TacScrollBoxWnd::PrepareCache() {
  if (!SkinData) return;
  SkinData->InitCacheBitmap();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache) return;
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(std::max(0, WndSize.cx), std::max(0, WndSize.cy));
  TCacheInfo ci;
  SkinData->ParentBackgroundInfo(ci);
  if (!cache->Empty() && ValidSection(SkinData))
    PaintControlSkin(SkinData, ci, 0, TRect{0, 0, WndSize.cx, WndSize.cy}, WndPos, cache, true);
  SkinData->BGChanged = false;
}

void TacScrollBoxWnd::AC_WMNCPaint(HDC DC) {
  const HWND wnd = CtrlHandle;
  ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  PrepareCache();
  HDC dc = DC ? DC : GetWindowDC(wnd);
  if (!dc) return;
  PaintScrollBars(this, wnd, -1, dc);
  RECT cr{};
  GetClientRect(wnd, &cr);
  const int strip = (WndSize.cx - cr.right) / 2;
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  if (strip > 0 && cache && !cache->Empty())
    BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, strip);
  if (!DC) ReleaseDC(wnd, dc);
}

void TacScrollBoxWnd::AC_WMPaint(HDC DC) {
  if (!SkinData) return;
  TControl* owner = SkinData->FOwnerControl;
  if (owner && owner->Destroying()) return;
  if (owner && owner->Parent() && (owner->Parent()->ControlState() & csCreating)) return;
  if (SkinData->FUpdating) return;
  const HWND wnd = CtrlHandle;
  ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  HDC dc = DC ? DC : GetWindowDC(wnd);
  if (!dc) return;
  const bool wasHalf = SkinData->HalfVisible;
  if (RepaintIfMoved(SkinData)) {
    RECT clip{};
    GetClipBox(dc, &clip);
    SkinData->HalfVisible = clip.right - clip.left < WndSize.cx || clip.bottom - clip.top < WndSize.cy;
  } else {
    SkinData->HalfVisible = false;
  }
  if (wasHalf || SkinData->BGChanged) PrepareCache();
  const TRect dst{0, 0, WndSize.cx - 4, WndSize.cy - 4};
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (cache && !cache->Empty()) {
    if (auto* win = dynamic_cast<TWinControl*>(owner))
      PaintCacheExceptControls(win, SkinData, TRect{2, 2, WndSize.cx - 2, WndSize.cy - 2}, 0, 0, true, dc, dst);
    else
      PaintCacheExceptWindows(wnd, SkinData, TRect{2, 2, WndSize.cx - 2, WndSize.cy - 2}, 0, 0, true, dc, dst);
  }
  if (auto* win = dynamic_cast<TWinControl*>(owner)) {
    PaintGraphicChildren(dc, win, TPoint{0, 0}, true);
    RepaintChildControls(win);
  }
  if (!DC) ReleaseDC(wnd, dc);
}

void TacScrollBoxWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (Message.Msg == SM_SKINCOMMAND && SkinData && !Destroyed) {
    switch (SkinCommandOf(Message.WParam)) {
      case SKCMD_NEW_SKIN:
      case SKCMD_REFRESH:
        TacScrollWnd::acWndProc(Message);
        DispatchSkinCommand(Message, SkinData);
        PassToChildren(owner, wnd, Message);
        if (SkinCommandOf(Message.WParam) == SKCMD_REFRESH && wnd && IsWindow(wnd))
          SetWindowPos(wnd, nullptr, 0, 0, 0, 0, FrameRecalcFlags);
        return;
      case SKCMD_REMOVE_SKIN:
        SkinData->SkinIndex = -1;
        if (owner) owner->SetControlStyle(owner->ControlStyle() & ~csOpaque);
        DispatchSkinCommand(Message, SkinData);
        if (wnd && IsWindow(wnd)) SetWindowPos(wnd, nullptr, 0, 0, 0, 0, FrameRecalcFlags);
        return;
      case SKCMD_END_UPDATE:
        TacScrollWnd::acWndProc(Message);
        return;
      case SKCMD_IS_SKINNED:
        Message.Result = 1;
        return;
      case SKCMD_PREPARE_CACHE:
        ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
        PrepareCache();
        return;
      case SKCMD_GET_APPLICATION:
        Message.Result = reinterpret_cast<LRESULT>(&Application());
        return;
      default:
        TacScrollWnd::acWndProc(Message);
        return;
    }
  }
  const bool handled = owner && (owner->ControlStyle() & csAcceptsControls) && SkinData && !Destroyed &&
                       SkinData->Skinned();
  if (!handled) {
    TacScrollWnd::acWndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_SIZE:
    case CM_TEXTCHANGED:
      SkinData->BGChanged = true;
      break;
    case WM_SETTEXT:
      if (IsWindowVisible(wnd)) {
        LPARAM none = 0;
        CallPrevWndProc(wnd, WM_SETREDRAW, none, 0);
        TacScrollWnd::acWndProc(Message);
        none = 0;
        CallPrevWndProc(wnd, WM_SETREDRAW, none, 1);
        SkinData->BGChanged = true;
        SendMessageW(wnd, WM_PAINT, 0, 0);
        return;
      }
      break;
    case WM_PAINT: {
      InvalidateRect(wnd, nullptr, FALSE);
      PAINTSTRUCT ps{};
      BeginPaint(wnd, &ps);
      EndPaint(wnd, &ps);
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      AC_WMPaint(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 1;
      return;
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED: {
      TacSkinData* sd = SkinData->ReadCommonSkinData();
      if (ValidSection(SkinData) && sd->gd[static_cast<std::size_t>(SkinData->SkinIndex)].Props[0].Transparency != 0)
        SkinData->BGChanged = true;
      TacScrollWnd::acWndProc(Message);
      if (Message.Msg == WM_WINDOWPOSCHANGING) SendMessageW(wnd, WM_NCPAINT, 1, 0);
      return;
    }
    case WM_NCPAINT:
      if (IsWindowVisible(wnd) && !bPreventStyleChange) {
        RefreshScrollBars(this, false);
        Message.Result = 0;
        if (AnimationInProgress || SkinData->FUpdating) return;
        HDC dc = GetWindowDC(wnd);
        if (!dc) return;
        if (IsPrintDC(SkinData, dc) || !ClipBoxEmpty(dc)) {
          ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
          if (SkinData->BGChanged) {
            SetSkinParams();
            PrepareCache();
          }
          PaintScrollBars(this, wnd, -1, dc);
          TBitmap* cache = SkinData->FCacheBmp.get();
          if (cache && !cache->Empty())
            BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, 2);
        }
        ReleaseDC(wnd, dc);
        return;
      }
      break;
    case WM_UPDATEUISTATE:
      Message.Result = 1;
      return;
    case WM_PARENTNOTIFY:
      if (LOWORD(Message.WParam) == WM_CREATE || LOWORD(Message.WParam) == WM_DESTROY) {
        TacScrollWnd::acWndProc(Message);
        if (LOWORD(Message.WParam) == WM_CREATE) AddToFormAdapter(owner);
        if (!DontRepaint) RefreshScrollBars(this, true);
        return;
      }
      break;
    case WM_PRINT: {
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      AC_WMPaint(dc);
      AC_WMNCPaint(dc);
      return;
    }
    case CM_SHOWINGCHANGED:
      if (owner->Visible()) {
        AddToFormAdapter(owner);
        TMessage m1{SM_SKINCOMMAND, MAKEWPARAM(0, SKCMD_NEW_SKIN), reinterpret_cast<LPARAM>(SkinManager), 0};
        PassToChildren(owner, wnd, m1);
        TMessage m3{SM_SKINCOMMAND, MAKEWPARAM(0, SKCMD_REFRESH), reinterpret_cast<LPARAM>(SkinManager), 0};
        PassToChildren(owner, wnd, m3);
      }
      break;
  }
  TacScrollWnd::acWndProc(Message);
}

void TacNativePaint::AfterCreation() {
  if (SkinData && SkinData->SkinSection().empty()) SkinData->WriteSkinSection(L"TRANSPARENT");
  TacScrollBoxWnd::AfterCreation();
}

void TacNativePaint::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
    case WM_ERASEBKGND:
      CallPrevWndProc(Message);
      return;
    case SM_SKINCOMMAND:
      if (SkinCommandOf(Message.WParam) == SKCMD_PREPARE_CACHE && SkinData) {
        CallPrevWndProc(Message);
        if (SkinData->BGChanged) {
          ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
          PrepareCache();
          PaintBorderCorners(SkinData, 0, this);
        }
        return;
      }
      break;
  }
  ScrollBoxHandling(Message);
}

// ---------------------------------------------------------------------------
// The kinds
// ---------------------------------------------------------------------------

void RegisterEditHandlerKinds() {
  RegisterHandlerKind(L"TacEditWnd", HandlerMakerOf<TacEditWnd>());
  RegisterHandlerKind(L"TacScrollBoxWnd", HandlerMakerOf<TacScrollBoxWnd>());
  RegisterHandlerKind(L"TacMDIWnd", HandlerMakerOf<TacMDIWnd>());
  RegisterHandlerKind(L"TacNativePaint", HandlerMakerOf<TacNativePaint>());
}
