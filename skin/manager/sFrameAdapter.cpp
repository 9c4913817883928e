#include "skin/manager/sFrameAdapter.h"

#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/runtime/Strings.h"

#include "platform/ui/Forms.h"
#include "platform/ui/Frames.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/graphics/acAnimation.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sConst.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr UINT RedrawAll = RDW_ERASE | RDW_FRAME | RDW_INTERNALPAINT | RDW_INVALIDATE | RDW_ALLCHILDREN;  // 0x585

// Every exit of a WM_WINDOWPOSCHANGED handling, exceptions included, lowers the guard.
struct TFlagScope {
  bool& Flag;
  explicit TFlagScope(bool& flag) : Flag(flag) { Flag = true; }
  ~TFlagScope() { Flag = false; }
};

}  // namespace

// What the frame's WindowProc holds: the adapter while it lives, else only the procedure to
// pass everything to.
struct TsFrameAdapter::TProcLink {
  TsFrameAdapter* Adapter;
  TWndMethod Old;
  void Call(TMessage& M) {
    if (Adapter) {
      Adapter->NewWndProc(M);
    } else if (Old) {
      TWndMethod old = Old;
      old(M);
    }
  }
};

TsFrameAdapter::TsFrameAdapter(TComponent* Owner)
    : TComponent(Owner), FCommonData(std::make_unique<TsScrollWndData>(this, true)) {
  FCommonData->COC = COC_TsFrameAdapter;
  bRecFlag = false;
  auto* frame = dynamic_cast<TCustomFrame*>(Owner);
  if (!frame) {
    // The loaded copy of the text when the engine's start-up ran, else the table's own.
    throw std::runtime_error(
        WideToUtf8(acs_FrameAdapterError.empty() ? EngineString(s_FrameAdapterError) : acs_FrameAdapterError));
  }
  Frame = frame;
  FCommonData->FOwnerControl = frame;
  if (!IsSkinnedControl(frame)) {
    FLink = std::make_shared<TProcLink>(TProcLink{this, {}});
    HookWindowProc(frame, MakeWndMethod<&TProcLink::Call>(FLink.get()), &FLink->Old);
    OldWndProc = FLink->Old;
  }
  FCommonData->InitCommonProp();
}

TsFrameAdapter::~TsFrameAdapter() {
  FreeScrollWnd();
  if (Frame && FLink) {
    // Given back when ours is still on top; under a later subclass the procedure stays
    // and passes everything on.
    FLink->Adapter = nullptr;
    if (!UnhookWindowProc(Frame, MakeWndMethod<&TProcLink::Call>(FLink.get()))) {
      FLink->Old = OldWndProc;
      // Somebody keeps calling the procedure: the link stays (a few bytes) until the end.
      static std::vector<std::shared_ptr<TProcLink>> Kept;
      Kept.push_back(FLink);
    }
  }
  Frame = nullptr;
  FCommonData.reset();
}

void TsFrameAdapter::AfterConstruction() {
  TComponent::AfterConstruction();
  if (!Frame || Designing()) return;
  FCommonData->InitCommonProp();
  if (TsSkinManager* manager = FCommonData->ReadSkinManager())
    Frame->Perform(SM_SKINCOMMAND, MAKEWPARAM(0, SKCMD_NEW_SKIN), reinterpret_cast<LPARAM>(manager));
}

void TsFrameAdapter::Loaded() {
  TComponent::Loaded();
  TsSkinManager* manager = FCommonData ? FCommonData->ReadSkinManager() : nullptr;
  if (!Frame || !IsSkinnedControl(Frame) || !manager) return;
  FCommonData->UpdateIndexes();
  if (manager->IsActive()) {
    if (manager->SkinnedPopups()) HookPopups(true);
    if (FCommonData->Skinned() && (manager->SkinningRules() & srThirdParty)) AddToFormAdapter(Frame);
  }
  FCommonData->InitCommonProp();
}

void TsFrameAdapter::FreeScrollWnd() {
  FreeHandlerOf(ListSW);
}

void TsFrameAdapter::HookPopups(bool Active) {
  TsSkinManager* manager = FCommonData->ReadSkinManager();
  if (!manager || !manager->SkinableMenus) return;
  for (TPopupMenu* menu : Frame->PopupMenus()) manager->SkinableMenus->HookPopupMenu(menu, Active);
}

bool TsFrameAdapter::SecondStageSkinned() {
  if (Destroying() || Frame->Destroying() || !FCommonData->Skinned()) return false;
  TsSkinManager* manager = FCommonData->ReadSkinManager();
  return manager && manager->IsActive();
}

void TsFrameAdapter::NewWndProc(TMessage& M) {
  TsCommonData* const state = FCommonData.get();
  TsSkinManager* const manager = state->ReadSkinManager();
  const LPARAM own = reinterpret_cast<LPARAM>(manager);
  const auto callOld = [this](TMessage& m) {
    if (TWndMethod old = OldWndProc) old(m);
  };
  if (M.Msg == WM_SIZE) state->BGChanged = true;
  if (M.Msg == SM_SKINCOMMAND) {
    switch (HIWORD(M.WParam)) {
      case SKCMD_NEW_SKIN:
        if (M.LParam == own) {
          HandleCommonWindowMessage(M, state);
          BroadcastToAllChildren(Frame, M);
          if (manager && manager->SkinnedPopups()) HookPopups(manager->IsActive());
          return;
        }
        break;
      case SKCMD_REMOVE_SKIN:
        if (M.LParam == own) {
          FreeScrollWnd();
          HandleCommonWindowMessage(M, state);
          if (!Application().Terminated() && Frame->HandleAllocated()) {
            const HWND wnd = Frame->Handle();
            SetClassLongPtrW(wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
            SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                         SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS |
                             SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
            if (IsWindowVisible(wnd)) {
              RedrawWindow(wnd, nullptr, nullptr, RedrawAll);
              // Pending messages may free the adapter or the frame: go on only while both live.
              std::weak_ptr<TProcLink> link = FLink;
              TCustomFrame* frame = Frame;
              Application().ProcessMessages();
              auto alive = link.lock();
              if (!alive || !alive->Adapter || alive->Adapter->Frame != frame || frame->Destroying()) return;
            }
          }
          BroadcastToAllChildren(Frame, TMessage{SM_SKINCOMMAND, MAKEWPARAM(0, SKCMD_STOP_ANIMATION), 0, 0});
          return;
        }
        break;
      case SKCMD_STOP_ANIMATION:
        BroadcastToAllChildren(Frame, M);
        return;
      case SKCMD_REFRESH:
        if (M.LParam == own) {
          HandleCommonWindowMessage(M, state);
          state->UpdateIndexes();
          if (LOWORD(M.WParam) != 1) BroadcastToAllChildren(Frame, M);
          if (manager && Frame->HandleAllocated() && IsWindowVisible(Frame->Handle())) {
            RedrawWindow(Frame->Handle(), nullptr, nullptr, RedrawAll);
            if (ListSW) RefreshScrollBars(ListSW, true);
            else AttachScrollWnd(FCommonData.get(), ListSW);
          }
          if (manager && Frame->HandleAllocated())
            SetClassLongPtrW(Frame->Handle(), GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(manager->Brushes[0]));
          return;
        }
        break;
      case SKCMD_IS_SKINNED:
        M.Result = 1;
        return;
      case SKCMD_DEFAULT_SECTION:
        if (!state->SkinSection().empty()) {
          state->UpdateIndexes();
          M.Result = state->SkinIndex + 1;
        } else if (manager) {
          M.Result = manager->GetSkinIndex(L"TRANSPARENT", state->ReadCommonSkinData()) + 1;
        }
        return;
      case SKCMD_GET_SKIN_INDEX:
        if (M.LParam) reinterpret_cast<std::int32_t*>(M.LParam)[1] = state->SkinIndex;
        return;
      case SKCMD_GET_COMMON_DATA:
        M.Result = reinterpret_cast<LRESULT>(state);
        return;
      case SKCMD_PPI_CHANGED:
        try {
          DispatchSkinCommand(M, state);
        } catch (...) {
        }
        return;
      case SKCMD_PREPARE_CACHE:
        if (!state->FUpdating && !PrepareFrameCache()) state->FUpdating = true;
        return;
      case SKCMD_GET_BG_COLOR:
        if (!state->Skinned()) {
          M.Result = static_cast<LRESULT>(Frame->Color());
          return;
        }
        break;
      case SKCMD_SCROLL_BEGIN:
      case SKCMD_SCROLL_END:
        if (Frame->HandleAllocated() && (QuerySkinCommand(Frame, SKCMD_BG_VARIES) != 0 || RepaintIfMoved(state))) {
          const bool begin = HIWORD(M.WParam) == SKCMD_SCROLL_BEGIN;
          SendMessageW(Frame->Handle(), WM_SETREDRAW, begin ? 0 : 1, 0);
          if (!begin) RedrawWindow(Frame->Handle(), nullptr, nullptr, RedrawAll);
        }
        break;
    }
  }
  if (!SecondStageSkinned()) {
    if (manager && manager->IsActive() && (M.Msg == CM_VISIBLECHANGED || M.Msg == CM_SHOWINGCHANGED) &&
        Frame->HandleAllocated()) {
      state->UpdateIndexes();
      BroadcastToAllChildren(Frame, TMessage{SM_SKINCOMMAND, MAKEWPARAM(0, SKCMD_NEW_SKIN), own, 0});
    }
    callOld(M);
    return;
  }
  switch (M.Msg) {
    case WM_CREATE:
    case WM_NCCREATE:
      callOld(M);
      if (Frame->HandleAllocated()) state->InitCommonProp();
      return;
    case WM_WINDOWPOSCHANGED:
      if (bRecFlag) return;
      [[fallthrough]];
    case WM_MOVE:
    case WM_SIZE: {
      std::optional<TFlagScope> guard;
      if (M.Msg == WM_WINDOWPOSCHANGED) guard.emplace(bRecFlag);
      state->BGChanged = state->BGChanged || M.Msg == WM_SIZE || RepaintIfMoved(state);
      if (state->BGChanged) {
        TMessage bg{SM_SKINCOMMAND, MAKEWPARAM(1, SKCMD_BG_CHANGED), 0, 0};
        for (TControl* child : std::vector<TControl*>(Frame->Controls())) SendSkinMessageToControl(child, bg.Msg, bg.WParam, 0);
      }
      if (M.Msg != WM_MOVE && Frame->HandleAllocated()) InvalidateRect(Frame->Handle(), nullptr, TRUE);
      callOld(M);
      return;
    }
    case WM_PAINT:
      if (Designing() || !Frame->Parent() || Destroying()) {
        callOld(M);
      } else {
        PaintFrame(reinterpret_cast<HDC>(M.WParam));
        M.Result = 0;
      }
      return;
    case WM_ERASEBKGND:
      if (Designing() || !Frame->Showing()) {
        callOld(M);
        return;
      }
      if (AnimationInProgress) return;
      if (!state->FUpdating && !state->BGChanged) DrawFrame(reinterpret_cast<HDC>(M.WParam));
      M.Result = 1;
      return;
    case WM_NCPAINT:
      if (Designing()) callOld(M);
      else if (!state->FUpdating) M.Result = 0;
      return;
    case WM_HSCROLL:
    case WM_VSCROLL:
      callOld(M);
      if (ListSW) RefreshScrollBars(ListSW, true);
      return;
    case WM_PARENTNOTIFY:
      if ((LOWORD(M.WParam) == WM_CREATE || LOWORD(M.WParam) == WM_DESTROY) &&
          !(ComponentState() & csLoading) && !(Frame->ControlState() & csCreating)) {
        if (LOWORD(M.WParam) == WM_CREATE && manager && (manager->SkinningRules() & srThirdParty))
          AddToFormAdapter(Frame);
        callOld(M);
        if (ListSW) RefreshScrollBars(ListSW, false);
      } else {
        callOld(M);
      }
      return;
    case WM_PRINT: {
      state->FUpdating = false;
      if (!ControlIsReady(Frame)) return;
      if (!ListSW) AttachScrollWnd(FCommonData.get(), ListSW);
      state->BGChanged = true;
      const HDC dc = reinterpret_cast<HDC>(M.WParam);
      PaintScrollBars(ListSW, Frame->Handle(), -1, dc);
      const int vBar = ScrollBarSize(ListSW, SB_VERT, true), hBar = ScrollBarSize(ListSW, SB_HORZ, true);
      const int saved = SaveDC(dc);
      if (vBar && (GetWindowLongW(Frame->Handle(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL)) OffsetWindowOrgEx(dc, -vBar, 0, nullptr);
      if (hBar) {
        RECT w, c;
        GetWindowRect(Frame->Handle(), &w);
        GetClientRect(Frame->Handle(), &c);
        POINT o{0, 0};
        ClientToScreen(Frame->Handle(), &o);
        const int left = o.x - w.left, top = o.y - w.top;
        const int right = (w.right - w.left) - left - c.right - vBar, bottom = (w.bottom - w.top) - top - c.bottom - hBar;
        IntersectClipRect(dc, 0, 0, (w.right - w.left) - left - right - vBar, (w.bottom - w.top) - top - bottom - hBar);
      }
      DrawFrame(dc);
      RestoreDC(dc, saved);
      if (Frame->OnResize) Frame->OnResize();
      return;
    }
    case SM_SKINCOMMAND:
      HandleSkinCommand(M);
      return;
    case CM_VISIBLECHANGED:
      state->BGChanged = true;
      callOld(M);
      Frame->Perform(SM_SKINCOMMAND, MAKEWPARAM(0, SKCMD_REFRESH), own);
      return;
    case CM_MOUSEENTER:
      if (Designing()) return;
      callOld(M);
      for (TControl* child : std::vector<TControl*>(Frame->Controls())) {
        if (reinterpret_cast<LPARAM>(child) == M.LParam) continue;
        auto* win = dynamic_cast<TWinControl*>(child);
        TsCommonData* cs = win && win->HandleAllocated() ? CommonDataOfWindow(win->Handle()) : nullptr;
        if (cs && cs->FMouseAbove) child->Perform(CM_MOUSELEAVE, 0, 0);
      }
      if (TsSkinManager* def = DefaultManager(); def && Frame->HandleAllocated()) def->SwitchHotControl(Frame->Handle());
      return;
    case CM_SHOWINGCHANGED:
      callOld(M);
      if (Frame->HandleAllocated()) {
        if (ListSW) RefreshScrollBars(ListSW, true);
        else AttachScrollWnd(FCommonData.get(), ListSW);
      }
      if (manager && (manager->SkinningRules() & srThirdParty)) AddToFormAdapter(Frame);
      if (Frame->Visible() && Frame->HandleAllocated()) {
        state->FUpdating = false;
        RedrawWindow(Frame->Handle(), nullptr, nullptr, RedrawAll);
      }
      return;
    default:
      callOld(M);
  }
}

void TsFrameAdapter::HandleSkinCommand(TMessage& M) {
  TsCommonData* const state = FCommonData.get();
  TsSkinManager* const manager = state->ReadSkinManager();
  switch (HIWORD(M.WParam)) {
    case SKCMD_END_UPDATE: {
      if (!state->FUpdating || (Frame->ControlState() & csRecreating) || state->RecheckUpdating(true)) return;
      const bool stale = state->BGChanged;
      if (stale) PrepareFrameCache();
      if (Frame->HandleAllocated()) RedrawWindow(Frame->Handle(), nullptr, nullptr, RedrawAll);
      if (stale && Frame->OnResize) Frame->OnResize();
      RepaintChildControls(Frame);
      return;
    }
    case SKCMD_SET_UPDATING:
      state->FUpdating = LOWORD(M.WParam) == 1;
      for (TControl* child : std::vector<TControl*>(Frame->Controls())) child->Perform(M.Msg, M.WParam, M.LParam);
      return;
    case SKCMD_BG_VARIES: {
      LRESULT r = 0;
      TacSkinData* data = state->ReadCommonSkinData();
      if (manager && data && manager->IsValidSkinIndex(state->SkinIndex, data)) {
        const TsGenState& p = data->gd[state->SkinIndex].Props[0];
        r = (p.ImagePercent + p.GradientPercent > 0 || RepaintIfMoved(state)) ? 1 : 0;
      }
      M.Result = r;
      M.LParam = r;
      return;
    }
    case SKCMD_GET_BG_COLOR: {
      TacSkinData* data = state->ReadCommonSkinData();
      if (!manager || !data || !manager->IsValidSkinIndex(state->SkinIndex, data)) {
        M.Result = static_cast<LRESULT>(ColorToRGB(Frame->Color()));
        return;
      }
      const TsGenState& p = data->gd[state->SkinIndex].Props[0];
      const TColor section = ColorToRGB(p.Color);
      if (p.Transparency == 0) {
        M.Result = static_cast<LRESULT>(section);
        return;
      }
      TColor parent = ColorToRGB(Frame->Color());
      if (TWinControl* par = Frame->Parent()) {
        parent = static_cast<TColor>(QuerySkinCommand(par, SKCMD_GET_BG_COLOR));
        if (parent == 0xFF00FF) parent = ColorToRGB(par->Color());
      }
      if (p.Transparency == 100) {
        M.Result = static_cast<LRESULT>(parent);
        return;
      }
      // The percent weighs as a byte (50 -> 50/256), as the skins were tuned to it.
      auto mix = [&](int shift) {
        const int c = (section >> shift) & 0xFF, b = (parent >> shift) & 0xFF;
        return ((c + ((b - c) * p.Transparency >> 8)) & 0xFF) << shift;
      };
      M.Result = static_cast<LRESULT>(mix(0) | mix(8) | mix(16));
      return;
    }
    case SKCMD_PREPARE_CACHE:
      if (!PrepareFrameCache()) state->FUpdating = true;
      return;
    default:
      try {
        DispatchSkinCommand(M, state);
      } catch (...) {
      }
  }
}

void TsFrameAdapter::PaintFrame(HDC DC) {
  if (!Frame->HandleAllocated()) return;
  const HWND wnd = Frame->Handle();
  TPaintScope paint(wnd);
  const HDC dc = DC ? DC : GetWindowDC(wnd);
  const int saved = SaveDC(dc);
  try {
    if (!FCommonData->FUpdating) DrawFrame(dc);
  } catch (...) {
    RestoreDC(dc, saved);
    if (!DC) ReleaseDC(wnd, dc);
    throw;
  }
  RestoreDC(dc, saved);
  if (!DC) ReleaseDC(wnd, dc);
}

void TsFrameAdapter::DrawFrame(HDC DC) {
  TsCommonData* const state = FCommonData.get();
  if (!DC || (AnimationInProgress && DC != state->PrintDC)) return;
  const int saved = SaveDC(DC);
  struct TRestore {
    HDC dc;
    int id;
    ~TRestore() { RestoreDC(dc, id); }
  } restore{DC, saved};
  if (state->FUpdating) return;
  TsSkinManager* const manager = state->ReadSkinManager();
  TacSkinData* const data = state->ReadCommonSkinData();
  const bool valid = manager && data && manager->IsValidSkinIndex(state->SkinIndex, data);
  const TRect whole = Rect(0, 0, Frame->Width(), Frame->Height());
  const TsGeneralData* section = valid ? &data->gd[state->SkinIndex] : nullptr;
  if (!section || section->BorderIndex >= 0 || section->Props[0].Transparency != 100 ||
      QuerySkinCommand(Frame, SKCMD_PAINTS_OWN_BG) == 1) {
    if (state->BGChanged || state->HalfVisible) {
      if (!PrepareFrameCache()) return;
    }
    RECT clip;
    GetClipBox(DC, &clip);
    state->HalfVisible = QuerySkinCommand(Frame, SKCMD_BG_VARIES) != 0 && Frame->Parent() &&
                         (clip.right - clip.left < Frame->Width() || clip.bottom - clip.top < Frame->Height());
    PaintCacheExceptControls(Frame, state, whole, 0, 0, false, DC, whole);
  } else {
    TacBGInfo info;
    info.R = whole;
    if (Frame->Parent()) RequestBackgroundFromControl(info, Frame->Parent(), false);
    if (info.BgType == btCache && info.Bmp) {
      BitBlt(DC, 0, 0, Frame->Width(), Frame->Height(), info.Bmp->Canvas().Handle(), Frame->Left() + info.Offset.X,
             Frame->Top() + info.Offset.Y, SRCCOPY);
      state->InitCacheBitmap();
      BitBlt(state->FCacheBmp->Canvas().Handle(), 0, 0, Frame->Width(), Frame->Height(), info.Bmp->Canvas().Handle(),
             Frame->Left() + info.Offset.X, Frame->Top() + info.Offset.Y, SRCCOPY);
    } else {
      ExcludeChildControls(DC, Frame, 0, 0);
      FillRectOnDC(DC, whole, state->BackgroundColor(0));
    }
  }
  PaintGraphicChildren(DC, Frame, TPoint{0, 0}, DC != state->PrintDC);
  RepaintChildControls(Frame);
}

bool TsFrameAdapter::PrepareFrameCache() {
  TsCommonData* const state = FCommonData.get();
  TacBGInfo bg;
  if (Frame->Parent()) RequestBackgroundFromControl(bg, Frame->Parent(), false);
  if (!Frame->Parent() || bg.BgType == btNotReady) {
    state->FUpdating = true;
    return false;
  }
  TCacheInfo info;
  CacheInfoFromBackgroundInfo(bg, info);
  state->InitCacheBitmap();
  state->FCacheBmp->Canvas().Font.Assign(Frame->Font);
  PaintControlSkin(state, info, 0, Rect(0, 0, Frame->Width(), Frame->Height()), TPoint{Frame->Left(), Frame->Top()},
                   state->FCacheBmp.get(), true);
  state->PaintOuterEffects(Frame, TPoint{0, 0});
  state->BGChanged = false;
  return true;
}
