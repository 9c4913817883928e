// The common message handling of skinned owners: every control, form provider and window
// handler passes its window messages and the library message through these two routines,
// which keep the state's flags, hover, focus and glow right and answer the engine's
// questions.
#include <algorithm>
#include <vector>

#include "platform/runtime/Strings.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acGlow.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr UINT kRedrawNow = 0x0585;      // invalidate, erase, all children, frame, update now
constexpr UINT kRedrawChildren = 0x00B1; // invalidate, no internal paint, no erase, all children
constexpr UINT kFrameChanged = 0x0737;

TWinControl* AsWin(TControl* c) { return dynamic_cast<TWinControl*>(c); }

HWND WindowOf(TsCommonData* state) {
  TWinControl* win = AsWin(state->FOwnerControl);
  return win && win->HandleAllocated() ? win->Handle() : nullptr;
}

const TsGeneralData* SectionOf(TsCommonData* state) {
  if (!state->Skinned()) return nullptr;
  return &state->ReadCommonSkinData()->gd[state->SkinIndex];
}

// States 0 and 1 of the section both let everything through.
bool FullyTransparent(const TsGeneralData& section) {
  return section.StateProps(0).Transparency == 100 && section.StateProps(1).Transparency == 100;
}

// Writes the colours of a section state into the owner (each only when it differs and is
// not the user's own); true when Color changed. The colour-writing bit never outlives the
// write, also when the owner's handling of the change raises.
bool WriteStateColors(TsCommonData* state, const TsGeneralData& section, int s) {
  TControl* owner = state->FOwnerControl;
  if (!owner) return false;
  const TsGenState& props = section.StateProps(s);
  bool changed = false;
  if (!state->FCustomColor && owner->Color() != props.Color) {
    owner->SetColor(props.Color);
    changed = true;
  }
  if (!state->FCustomFont && static_cast<TColor>(owner->Font.Color) != props.FontColor.Color) {
    state->CtrlSkinState |= ACS_SETTINGCOLORS;
    try {
      owner->Font.Color = props.FontColor.Color;
    } catch (...) {
      state->CtrlSkinState &= ~ACS_SETTINGCOLORS;
      throw;
    }
    state->CtrlSkinState &= ~ACS_SETTINGCOLORS;
  }
  return changed;
}

// The library message with a small argument to a control (through its window when it has one).
void SendToControl(TControl* control, WORD command, WORD argument, LPARAM lParam) {
  SendSkinMessageToControl(control, SM_SKINCOMMAND, SkinCommandWParam(command, argument), lParam);
}

void ChildrenParentMoved(TWinControl* win) {
  for (TControl* child : std::vector<TControl*>(win->Controls()))
    if (!child->Destroying()) SendToControl(child, SKCMD_PARENT_MOVED, 1, 0);
}

// The visible part of a window in screen coordinates: its rectangle cut to its window-DC
// clip box. The DC is given back before the answer.
TRect VisibleWindowRect(HWND wnd) {
  RECT wr{};
  GetWindowRect(wnd, &wr);
  HDC dc = GetWindowDC(wnd);
  if (!dc) return TRect{};
  RECT clip{};
  const int kind = GetClipBox(dc, &clip);
  ReleaseDC(wnd, dc);
  if (kind == ERROR || kind == NULLREGION) return TRect{};
  OffsetRect(&clip, wr.left, wr.top);
  RECT cut{};
  IntersectRect(&cut, &wr, &clip);
  return TRect{cut.left, cut.top, cut.right, cut.bottom};
}

bool MouseEnter(TMessage& message, TsCommonData* state) {
  (void)message;
  TsSkinManager* manager = state->ReadSkinManager();
  TControl* owner = state->FOwnerControl;
  const TsGeneralData* section = SectionOf(state);
  const bool hover = !KindsWithoutHover.Contains(state->COC);
  TWinControl* win = AsWin(owner);
  HWND wnd = WindowOf(state);
  TsSkinManager* hotTracker = DefaultManager();
  if ((manager && manager->Options.NoMouseHover) || (section && FullyTransparent(*section)) || !win) {
    if (hotTracker && wnd) hotTracker->SwitchHotControl(wnd);
    if (hover) state->FMouseAbove = true;
    return false;
  }
  if (hover) state->FMouseAbove = true;
  if (hotTracker) hotTracker->SwitchHotControl(wnd);
  if (!KindsWithoutHoverGlow.Contains(state->COC) && !KindsWithOwnGlow.Contains(state->COC))
    state->UpdateHoverGlow(false, wnd, -1, true, (manager && !manager->Effects.AllowAnimation) ? 255 : 0);
  // Kinds with state colours have no hot state, so this stays for owners whose kinds change.
  if (section && KindsWithStateColors.Contains(state->COC) && !KindsWithoutHotState.Contains(state->COC) &&
      section->States >= 2) {
    state->BGChanged = true;
    if (WriteStateColors(state, *section, 1) && wnd) InvalidateRect(wnd, nullptr, TRUE);
    if (wnd) SendMessageW(wnd, WM_NCPAINT, 0, 0);
  }
  return false;
}

bool MouseLeave(TsCommonData* state) {
  TsSkinManager* manager = state->ReadSkinManager();
  TControl* owner = state->FOwnerControl;
  if ((manager && manager->Options.NoMouseHover) || MouseStillAbove(state)) return false;
  if (!KindsWithoutHover.Contains(state->COC)) state->FMouseAbove = false;
  if (!KindsWithoutHoverGlow.Contains(state->COC) && !KindsWithOwnGlow.Contains(state->COC))
    ReleaseGlowById(state->GlowID, true);
  const TsGeneralData* section = SectionOf(state);
  if (section && KindsWithStateColors.Contains(state->COC) && IsHot(state) == 0 && !FullyTransparent(*section)) {
    const bool changed = WriteStateColors(state, *section, 0);
    if (owner->Visible()) {
      state->BGChanged = true;
      if (HWND wnd = WindowOf(state)) {
        if (changed) InvalidateRect(wnd, nullptr, TRUE);
        SendMessageW(wnd, WM_NCPAINT, 0, 0);
      }
    }
  }
  return false;
}

void FocusChanged(TsCommonData* state, bool focused) {
  TWinControl* win = AsWin(state->FOwnerControl);
  if (!state->Skinned() || !win || !win->CanFocus()) return;
  if (focused && !win->TabStop()) return;
  const TsGeneralData& section = *SectionOf(state);
  if (FullyTransparent(section)) return;
  state->BGChanged = true;
  state->FFocused = focused;
  const bool stateColors = KindsWithStateColors.Contains(state->COC);
  bool changed = false;
  if (focused) {
    if (stateColors && section.States > 1) changed = WriteStateColors(state, section, 1);
  } else {
    if (stateColors && IsHot(state) == 0) changed = WriteStateColors(state, section, 0);
    if (!(win->Visible() && stateColors)) return;
    state->BGChanged = true;
  }
  if (HWND wnd = WindowOf(state)) {
    if (changed) RedrawWindow(wnd, nullptr, nullptr, kRedrawNow);
    SendMessageW(wnd, WM_NCPAINT, 0, 0);
  }
}

}  // namespace

// ---- helpers -----------------------------------------------------------------------

bool OuterEffectsAllowed(TsCommonData* State) {
  if (!State || !(State->Provider() || AsWin(State->FOwnerControl))) return false;
  TsSkinManager* manager = State->ReadSkinManager();
  return manager && manager->Effects.AllowOuterEffects;
}

int RepaintIfMoved(TsCommonData* State) {
  if (!State || !State->Skinned() || !State->FOwnerControl || State->SkinChanging() ||
      !State->FOwnerControl->Enabled())
    return 1;
  if (SectionOf(State)->StateProps(0).Transparency <= 0) return 0;
  TWinControl* parent = State->FOwnerControl->Parent();
  if (!parent || !parent->HandleAllocated()) return 0;
  return static_cast<int>(QuerySkinCommand(parent, SKCMD_BG_VARIES));
}

bool BackgroundVaries(TsCommonData*) { return true; }

bool MouseStillAbove(TsCommonData* State) {
  if (!State) return false;
  HWND wnd = nullptr;
  RECT area{};
  POINT pt{};
  GetCursorPos(&pt);
  if (TWinControl* win = AsWin(State->FOwnerControl)) {
    if (!win->HandleAllocated() || !IsWindowVisible(win->Handle())) return false;
    wnd = win->Handle();
    GetClientRect(wnd, &area);
    ScreenToClient(wnd, &pt);
  } else if (!State->FOwnerControl) {
    wnd = State->OwnerHandle();
    if (!wnd || !IsWindowVisible(wnd)) return false;
    RECT wr;
    GetWindowRect(wnd, &wr);
    area = RECT{0, 0, wr.right - wr.left, wr.bottom - wr.top};
    pt.x -= wr.left;
    pt.y -= wr.top;
  } else {
    return false;
  }
  if (auto* handler = dynamic_cast<TacScrollWnd*>(
          reinterpret_cast<TacMainWnd*>(SendSkinCommand(wnd, SKCMD_GET_HANDLER, 0)))) {
    const LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
    if (style & WS_HSCROLL) area.bottom += ScrollBarSize(handler, SB_HORZ, true);
    if (style & WS_VSCROLL) area.right += ScrollBarSize(handler, SB_VERT, true);
  }
  if (!PtInRect(&area, pt)) return false;
  HDC dc = GetDC(wnd);
  if (!dc) return false;
  RECT clip{};
  const int kind = GetClipBox(dc, &clip);
  ReleaseDC(wnd, dc);
  if (kind == ERROR || !PtInRect(&clip, pt)) return false;
  TWinControl* under = AsWin(ControlUnderMouse());
  if (under && under != State->FOwnerControl && under->HandleAllocated())
    return IsWindowWithin(under->Handle(), wnd);
  return true;
}

void NotifyParentBackground(TsCommonData* State) {
  if (!State || State->RecheckUpdating(false) || !State->FOwnerControl) return;
  TWinControl* parent = State->FOwnerControl->Parent();
  if (!parent || !parent->HandleAllocated()) return;
  PerformSkinCommand(parent, SKCMD_BG_CHANGED, 0);
  PerformSkinCommand(parent, SKCMD_PREPARE_CACHE, 0);
}

bool SizeChangeNeedsRepaint(TsCommonData* State) {
  if (!State) return false;
  State->ReadCommonSkinData();
  return ((State->CtrlSkinState & ACS_WIDTHCHANGING) && (State->BGType & BGT_WIDTH_MASK)) ||
         ((State->CtrlSkinState & ACS_HEIGHTCHANGING) && (State->BGType & BGT_HEIGHT_MASK));
}

void FinishAnimation(TacThreadedTimer* Timer) {
  if (!Timer || Timer->Destroyed) return;
  Timer->Iteration = Timer->Iterations;
  Timer->Glow = Timer->State <= 0 ? 0 : 255;
  Timer->WriteEnabled(false);
  if (Timer->AnimProc) {
    const std::shared_ptr<bool> alive = Timer->Alive();
    Timer->AnimProc(Timer->AnimData, Timer->Iteration);
    if (!*alive) return;  // the step freed its timer
  }
  Timer->BmpOut.reset();
}

void TsCommonData::UpdateHoverGlow(bool Refresh, HWND Wnd, int Index, bool Animate, std::uint8_t Alpha) {
  TsSkinManager* manager = ReadSkinManager();
  if (Index == -1) Index = SkinIndex;
  TacSkinData* data = ReadCommonSkinData();
  if (!manager || !manager->Effects.AllowGlowing || !data || Index < 0 ||
      Index >= static_cast<int>(data->gd.size()) || manager->Options.NoMouseHover || GetCapture())
    return;
  const TsGeneralData& section = data->gd[Index];
  if (section.GlowCount < 1) return;
  if (!FOwnerControl) {
    if (Wnd && FMouseAbove && !Refresh && GlowID < 0) {
      const TRect r = VisibleWindowRect(Wnd);
      GlowID = ShowGlowEffect(r, FSkinSection, L"GLOW", section.GlowMargin, Alpha, GetAncestor(Wnd, GA_ROOT), this);
    } else {
      ReleaseGlowById(GlowID, false);
    }
    return;
  }
  if (!FMouseAbove) {
    ReleaseGlowById(GlowID, Animate);
    return;
  }
  if ((FOwnerControl->ControlState() & csLButtonDown) || (Refresh && GlowID >= 0)) return;
  TForm* form = GetParentForm(FOwnerControl);
  if (!form) return;
  HWND owner = form->Parent() && form->Parent()->HandleAllocated() ? form->Parent()->Handle()
                                                                     : (form->HandleAllocated() ? form->Handle() : nullptr);
  if (!manager->Effects.AllowAnimation) Animate = false;
  if (Animate) Alpha = 0;
  if (GlowID >= 0) return;
  if (TWinControl* win = AsWin(FOwnerControl)) {
    if (!win->HandleAllocated()) return;
    const TRect r = VisibleWindowRect(win->Handle());
    GlowID = ShowGlowEffect(r, section.ClassName, L"GLOW", section.GlowMargin, Alpha, owner, this);
  } else if (TWinControl* parent = FOwnerControl->Parent(); parent && parent->HandleAllocated()) {
    HDC dc = GetDC(parent->Handle());
    RECT clip{};
    const int kind = dc ? GetClipBox(dc, &clip) : ERROR;
    if (dc) ReleaseDC(parent->Handle(), dc);
    if (kind == ERROR) return;
    RECT b = *FOwnerControl->BoundsRect().AsRECT(), cut{};
    IntersectRect(&cut, &b, &clip);
    POINT origin{0, 0};
    ClientToScreen(parent->Handle(), &origin);
    OffsetRect(&cut, origin.x, origin.y);
    GlowID = ShowGlowEffect(TRect{cut.left, cut.top, cut.right, cut.bottom}, FSkinSection, L"GLOW",
                            section.GlowMargin, Alpha, owner, this);
  }
  if (Animate && GlowID >= 0) {
    BGChanged = false;
    AnimateStateChange(this, 1, GlowFadeStep, false, false, true);
  }
}

// ---- the library message -----------------------------------------------------------

bool DispatchSkinCommand(TMessage& Message, TsCommonData* State) {
  if (!State || Message.Msg != SM_SKINCOMMAND) return true;
  TsSkinManager* manager = State->ReadSkinManager();
  const bool own = manager && Message.LParam == reinterpret_cast<LPARAM>(manager);
  TControl* owner = State->FOwnerControl;
  TWinControl* win = AsWin(owner);
  const WORD low = LOWORD(Message.WParam);
  switch (SkinCommandOf(Message.WParam)) {
    case SKCMD_NEW_SKIN:
      if (own) {
        State->FCommonSkinData = nullptr;
        State->StopAnimation();
        State->InitSkinSection();
        const std::wstring section = State->FSkinSection;
        State->FindFirstSection(&section, 0);
        if (State->FCacheBmp) State->FCacheBmp->SetSize(0, 0);
      }
      break;
    case SKCMD_REMOVE_SKIN:
      if (own) {
        State->SkinIndex = -1;
        State->FCommonSkinData = nullptr;
      }
      break;
    case SKCMD_REFRESH:
      if (own) {
        State->StopAnimation();
        State->BGChanged = true;
        State->FUpdating = false;
        State->UpdateColors(true);
        if (KindsWithFrameRefresh.Contains(State->COC))
          if (HWND wnd = WindowOf(State)) SetWindowPos(wnd, nullptr, 0, 0, 0, 0, kFrameChanged);
      }
      break;
    case SKCMD_END_UPDATE:
      if (State->FUpdating && win) {
        if (!State->RecheckUpdating(true))
          if (HWND wnd = WindowOf(State)) RedrawWindow(wnd, nullptr, nullptr, kRedrawNow);
        RepaintChildControls(owner);
      }
      break;
    case SKCMD_IS_SKINNED: Message.Result = 1; break;
    case SKCMD_SET_UPDATING: State->FUpdating = low == 1; break;
    case SKCMD_IS_UPDATING:
      if (State->RecheckUpdating(false)) {
        Message.Result = 1;
      } else if (win && !State->FCustomColor) {
        TBitmap* cache = State->FCacheBmp.get();
        if (!cache || cache->Empty() || State->BGChanged) {
          if (HWND wnd = WindowOf(State)) SendSkinCommand(wnd, SKCMD_PREPARE_CACHE, 0);
          cache = State->FCacheBmp.get();
          Message.Result = (!cache || cache->Empty()) ? 1 : 0;
        } else {
          Message.Result = (cache->Width() != owner->Width() || cache->Height() != owner->Height()) ? 1 : 0;
        }
      } else {
        Message.Result = 0;
      }
      break;
    case SKCMD_IS_HALF_VISIBLE: Message.Result = State->HalfVisible ? 1 : 0; break;
    case SKCMD_SECTION_CHANGED:
      if (Message.LParam != 0 &&
          UpperCase(State->FSkinSection) == reinterpret_cast<const wchar_t*>(Message.LParam))
        State->Invalidate(false);
      break;
    case SKCMD_SET_SECTION:
      if (Message.LParam != 0) {
        State->WriteSkinSection(reinterpret_cast<const wchar_t*>(Message.LParam));
        Message.Result = 1;
      } else {
        Message.Result = 0;
      }
      break;
    case SKCMD_STOP_ANIMATION: State->StopAnimation(); break;
    case SKCMD_BG_CHANGED: State->BGChanged = true; break;
    case SKCMD_INVALIDATE: State->Invalidate(false); break;
    case SKCMD_BG_VARIES: Message.Result = BackgroundVaries(State) ? 1 : 0; break;
    case SKCMD_PARENT_MOVED: {
      const bool moved = RepaintIfMoved(State) != 0;
      State->BGChanged = State->BGChanged || moved;
      State->StopAnimation();
      if (win) {
        if (low == 1)
          if (HWND wnd = WindowOf(State)) RedrawWindow(wnd, nullptr, nullptr, kRedrawChildren);
        if (moved) ChildrenParentMoved(win);
      }
      break;
    }
    case SKCMD_GET_BG_COLOR:
      if (owner) Message.Result = static_cast<LRESULT>(static_cast<std::uint32_t>(State->ChildBackgroundColor()));
      break;
    case SKCMD_SET_HALF_VISIBLE: State->HalfVisible = true; break;
    case SKCMD_PREPARE_CACHE: State->BGChanged = false; break;
    case SKCMD_GET_SKIN_INDEX:
      if (Message.LParam) reinterpret_cast<int*>(Message.LParam)[1] = State->SkinIndex;
      break;
    case SKCMD_DROP_CACHE:
      if (State->FCacheBmp) {
        if (win)
          for (TControl* child : std::vector<TControl*>(win->Controls()))
            if (auto* w = AsWin(child); w && w->HandleAllocated()) SendSkinCommand(w->Handle(), SKCMD_DROP_CACHE, 0);
        State->FCacheBmp->SetSize(0, 0);
        State->BGChanged = true;
      }
      break;
    case SKCMD_GET_BG_INFO:
      if (Message.LParam) {
        const int s = (State->FFocused || (State->FMouseAbove && !KindsWithoutHoverGlow.Contains(State->COC))) ? 1 : 0;
        State->FillBackgroundInfo(*reinterpret_cast<TacBGInfo*>(Message.LParam), s, State->OwnerHandle());
      }
      break;
    case SKCMD_FONT_CHANGED:
      if (own) {
        State->BGChanged = true;
        if (TsSkinProvider* provider = State->Provider()) {
          if (provider->Form) manager->UpdateFontName(provider->Form);
        } else if (owner) {
          manager->UpdateFontName(owner);
        }
        if (win) BroadcastToAllChildren(win, Message);
      }
      break;
    case SKCMD_GET_COMMON_DATA: Message.Result = reinterpret_cast<LRESULT>(State); break;
    case SKCMD_SET_PRINT_DC:
      if (Message.LParam)
        State->CtrlSkinState |= ACS_PRINTING;
      else
        State->CtrlSkinState &= ~ACS_PRINTING;
      State->PrintDC = reinterpret_cast<HDC>(Message.LParam);
      break;
    case SKCMD_PAINT_OUTER_EFFECT:
      if (Message.LParam) State->PaintOuterEffect(*reinterpret_cast<TacBGInfo*>(Message.LParam), low);
      break;
    case SKCMD_FRAME_CHANGED:
      if (win) {
        if (HWND wnd = WindowOf(State)) SetWindowPos(wnd, nullptr, 0, 0, 0, 0, kFrameChanged);
        BroadcastToAllChildren(win, Message);
      }
      break;
    case SKCMD_GET_APPLICATION: Message.Result = reinterpret_cast<LRESULT>(&Application()); break;
    case SKCMD_FIND_OPAQUE_SECTION:
      if (Message.LParam) Message.Result = State->AnswerSectionQuery(*reinterpret_cast<TacSectionQuery*>(Message.LParam));
      break;
    case SKCMD_PPI_CHANGED:
      State->CurrentPPI = static_cast<int>(Message.LParam);
      State->WriteCommonSkinData(manager ? manager->CommonSkinData(State->CurrentPPI) : nullptr);
      if (win) BroadcastToAllChildren(win, Message);
      // The owner's own handling of the new density runs after this.
      return false;
    case SKCMD_GET_PPI: Message.Result = State->CurrentPPI; break;
    case SKCMD_GET_BOUNDS:
      if (Message.LParam) *reinterpret_cast<TRect*>(Message.LParam) = owner ? owner->BoundsRect() : TRect{};
      break;
    case SKCMD_PAINTS_OWN_BG:
      if (manager && manager->IsActive())
        Message.Result = 1;
      else
        Message.Result = (owner && (owner->ControlStyle() & csOpaque)) ? 0 : 1;
      break;
    case SKCMD_GET_SKIN_DATA:
      Message.Result = reinterpret_cast<LRESULT>(State->ReadCommonSkinData());
      Message.LParam = reinterpret_cast<LPARAM>(State->FCommonSkinData);
      break;
    default: return false;
  }
  return true;
}

// ---- window and framework messages -------------------------------------------------

bool HandleCommonWindowMessage(TMessage& Message, TsCommonData* State) {
  if (!State) return false;
  TControl* owner = State->FOwnerControl;
  TWinControl* win = AsWin(owner);
  TsSkinManager* manager = State->ReadSkinManager();
  switch (Message.Msg) {
    case WM_CREATE:
    case WM_NCCREATE: State->InitCommonProp(); break;
    case WM_MOVE:
      if (State->Skinned()) {
        if (OuterEffectsAllowed(State)) NotifyParentBackground(State);
        if (RepaintIfMoved(State)) {
          State->BGChanged = true;
          if (!State->SkinChanging() && owner) SendToControl(owner, SKCMD_PARENT_MOVED, 1, 0);
        }
        ReleaseGlowById(State->GlowID, false);
      }
      break;
    case WM_SIZE:
      if (State->Skinned()) {
        State->BGChanged = true;
        if (OuterEffectsAllowed(State)) NotifyParentBackground(State);
        if (SizeChangeNeedsRepaint(State)) {
          if (win) ChildrenParentMoved(win);
          State->CtrlSkinState &= ~(ACS_WIDTHCHANGING | ACS_HEIGHTCHANGING);
        }
        if (!State->IsAnimating()) ReleaseGlowById(State->GlowID, false);
      }
      break;
    case WM_SETFOCUS: FocusChanged(State, true); break;
    case WM_KILLFOCUS: FocusChanged(State, false); break;
    case WM_SHOWWINDOW: State->StopAnimation(); break;
    case WM_FONTCHANGE:
    case CM_ENABLEDCHANGED:
      State->FMouseAbove = false;
      State->FFocused = false;
      State->BGChanged = true;
      if (owner && !owner->Enabled()) ReleaseGlowById(State->GlowID, false);
      break;
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      HWND wnd = State->OwnerHandle();
      RECT wr;
      // A move that keeps the size says nothing of it.
      if (pos && wnd && !(pos->flags & SWP_NOSIZE) && GetWindowRect(wnd, &wr)) {
        if (pos->cx != wr.right - wr.left) State->CtrlSkinState |= ACS_WIDTHCHANGING;
        if (pos->cy != wr.bottom - wr.top) State->CtrlSkinState |= ACS_HEIGHTCHANGING;
      }
      break;
    }
    case WM_UPDATEUISTATE:
      if (State->Skinned()) return true;
      if (HWND wnd = WindowOf(State)) CallSetWindowTheme(wnd, nullptr, nullptr);
      break;
    case WM_PARENTNOTIFY:
      if (win && LOWORD(Message.WParam) == WM_CREATE) AddToFormAdapter(owner);
      break;
    case WM_DPICHANGED: State->WriteCommonSkinData(nullptr); break;
    case WM_CONTEXTMENU:
      // The control's menu opens skinned (or plain) as the manager is.
      if (owner && owner->PopupMenu() && manager && manager->SkinableMenus)
        manager->SkinableMenus->HookPopupMenu(owner->PopupMenu(), manager->Active());
      break;
    case WM_PRINT:
      if (!State->Skinned() && Message.WParam && win) {
        HWND wnd = WindowOf(State);
        const bool edge = wnd && (GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
        PaintGraphicChildren(reinterpret_cast<HDC>(Message.WParam), win, edge ? TPoint{2, 2} : TPoint{0, 0}, true);
        return true;
      }
      break;
    case SM_SKINCOMMAND: return DispatchSkinCommand(Message, State);
    case CM_VISIBLECHANGED:
      State->FCommonSkinData = nullptr;
      if (Message.WParam == 0) ReleaseGlowById(State->GlowID, false);
      if (manager && manager->Options.OptimizingPriority == opMemory && owner && !owner->Destroying() &&
          State->FCacheBmp) {
        if (Message.WParam) {
          State->FUpdating = false;
        } else {
          State->FCacheBmp->SetSize(0, 0);
          if (win)
            for (TControl* child : std::vector<TControl*>(win->Controls())) {
              if (auto* w = AsWin(child); w && w->HandleAllocated())
                SendSkinCommand(w->Handle(), SKCMD_DROP_CACHE, 0);
              else if (!AsWin(child))
                PerformSkinCommand(child, SKCMD_DROP_CACHE, 0);
            }
        }
        State->BGChanged = true;
      }
      break;
    case CM_MOUSEENTER:
      if (State->Skinned() && !State->FMouseAbove) return MouseEnter(Message, State);
      break;
    case CM_MOUSELEAVE:
      if (State->Skinned() && owner) return MouseLeave(State);
      break;
    case CM_SHOWINGCHANGED:
      if (owner && owner->Visible()) State->Loaded(true);
      break;
    default: break;
  }
  return false;
}
