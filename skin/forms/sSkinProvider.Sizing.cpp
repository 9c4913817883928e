// The handlers that keep a skinned form's non-client image, window region, border window
// and hide animations in step while the form is sized, moved, shown, hidden and closed.
#include <algorithm>

#include "platform/ui/Forms.h"
#include "skin/controls/acGlow.h"
#include "skin/graphics/acntTypes.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acHideAnim.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

HWND WndOf(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

LONG_PTR ExStyleOf(HWND wnd) { return wnd ? GetWindowLongPtrW(wnd, GWL_EXSTYLE) : 0; }

bool TopLevel(TForm* form) {
  HWND wnd = WndOf(form);
  return form && !form->Parent() && !(wnd && (GetWindowLongPtrW(wnd, GWL_STYLE) & WS_CHILD));
}

bool IsMDIChildForm(TForm* form) { return form && form->FormKind() == fkMDIChild; }

bool LoadingForm(TComponent* c) { return c && (c->ComponentState() & (csLoading | csReading)); }

// The form's own scroll bars (the scrolling handlers skin them) show.
bool OwnScrollBarsVisible(HWND wnd) {
  const LONG_PTR style = wnd ? GetWindowLongPtrW(wnd, GWL_STYLE) : 0;
  return (style & (WS_HSCROLL | WS_VSCROLL)) != 0;
}

// The manager plays its minimizing animation on the application's main form.
bool ManagerMinimizing(TsSkinManager* manager) {
  return manager && manager->ShowState == saMinimize && manager->AnimEffects.Minimizing.Active &&
         manager->Effects.AllowAnimation;
}

// The skin state holds a non-client image.
bool HasCache(TsCommonData* state) { return state && state->FCacheBmp && !state->FCacheBmp->Empty(); }

constexpr UINT kNudge = 0x71F;       // no size, move, z-order, redraw, activation, copy, owner order, changing
constexpr UINT kBorderPlace = 0x61B;  // no size, move, redraw, activation, owner order, changing
constexpr UINT kBorderShow = 0x65B;   // the same, showing the window

}  // namespace

bool TsSkinProvider::HideAnimationApplies() {
  TsSkinManager* manager = Manager();
  return manager && !ManagerMinimizing(manager) && AllowAnimation && manager->Effects.AllowAnimation &&
         manager->AnimEffects.FormHide.Active && !(FFormState & FS_ANIMCLOSING) && TopLevel(Form);
}

bool TsSkinProvider::TakeFormImage(bool KeepHiding) {
  SetFormState(FFormState | FS_ANIMCLOSING);
  std::unique_ptr<TBitmap> image = MakeFormImage(this);
  if (!KeepHiding) SetFormState(FFormState & ~FS_ANIMCLOSING);
  // Without an image (no cache yet) the cache stays and the border window shows nothing new.
  if (!image) return false;
  FCommonData->FCacheBmp = std::move(image);
  FCommonData->BGChanged = false;
  if (BorderForm && BorderForm->AForm && BorderForm->AForm->HandleAllocated()) {
    HWND border = BorderForm->AForm->Handle();
    if (HRGN rgn = BorderForm->MakeRgn()) SetWindowRgn(border, rgn, FALSE);
    const std::uint8_t alpha = Form->AlphaBlend() ? Form->AlphaBlendValue() : 255;
    ShowBitmapLayered(border, FCommonData->FCacheBmp.get(), alpha);
    SetWindowPos(border, nullptr, 0, 0, 0, 0, kBorderShow);
  }
  return true;
}

// ---- WM_SIZE ----------------------------------------------------------------------------

void TsSkinProvider::HandleSize(TMessage& Message) {
  auto alive = FAlive;
  KillAnimations();
  HWND wnd = WndOf(Form);
  if (!wnd || FCommonData->FUpdating || !IsWindowVisible(wnd) || (FFormState & FS_ANIMRESTORING)) {
    RgnChanged = true;
    FCommonData->BGChanged = true;
    CallOld(Message);
    return;
  }
  const int newWidth = LOWORD(Message.LParam), newHeight = HIWORD(Message.LParam);
  const int oldWidth = LastClientRect.Right - LastClientRect.Left, oldHeight = LastClientRect.Bottom - LastClientRect.Top;
  const bool shrank = newWidth < oldWidth || newHeight < oldHeight;
  TsSkinManager* manager = Manager();
  TacSkinData* data = ProviderSkinData(this);
  // 1. The grip's old square.
  if (GripVisible(this) && data && manager && manager->IsValidImgIndex(data->GripRightBottom, data) && shrank) {
    const TsMaskData& grip = data->ma[static_cast<std::size_t>(data->GripRightBottom)];
    RECT r{LastClientRect.Right - grip.Width, LastClientRect.Bottom - grip.Height, LastClientRect.Right,
           LastClientRect.Bottom};
    InvalidateRect(wnd, &r, FALSE);
  }
  // 2. The right-edge images at the old right edge.
  if ((shrank || LastClientRect.Right <= LastClientRect.Left || LastClientRect.Bottom <= LastClientRect.Top) && data &&
      manager) {
    for (const wchar_t* name : {L"IMGTOPRIGHT", L"IMGBTMRIGHT"}) {
      const int index = data->GetMaskIndex(FCommonData->SkinIndex, name);
      if (!manager->IsValidImgIndex(index, data)) continue;
      const TsMaskData& m = data->ma[static_cast<std::size_t>(index)];
      const bool top = name[3] == L'T';
      RECT r{LastClientRect.Right - m.Width, top ? 0 : LastClientRect.Bottom - m.Height, LastClientRect.Right,
             top ? m.Height : LastClientRect.Bottom};
      InvalidateRect(wnd, &r, FALSE);
    }
  }
  // 3.
  FGlow1.reset();
  FGlow2.reset();
  FLinesCount = -1;
  if (FFormState & FS_BLENDMOVING) ::StopBlendOnMoving(this);
  // 4.
  if (TopLevel(Form) && DrawClientArea && NonClientSkinned()) {
    if (!(FFormState & FS_RESTORING)) FCommonData->FUpdating = true;
    CallOld(Message);
    if (!*alive) return;
    FCommonData->FUpdating = false;
  } else {
    CallOld(Message);
    if (!*alive) return;
  }
  // 5.
  if (!AnimationInProgress) {
    if (Form->Showing() && !IsIconic(wnd)) {
      if ((!FCommonData->BGChanged && !CacheSizeStale()) || (IsIconic(wnd) && InAero)) {
        if (Form->FormKind() != fkNormal || Form->Parent()) {
          UpdateCornerRects();
          ApplyWindowRgn(true, false);
          if (IsMDIChildForm(Form) && Message.WParam == SIZE_MAXIMIZED && MDISkinProvider &&
              !MDISkinProvider->Destroying()) {
            MDISkinProvider->FCommonData->BGChanged = true;
            MDISkinProvider->MenuChanged = true;
            RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_INVALIDATE);
          }
        }
      } else {
        FCommonData->BGChanged = true;
        TBitmap* cache = FCommonData->FCacheBmp.get();
        const bool cacheShrunk = cache && (cache->Width() > Form->Width() || cache->Height() > Form->Height());
        if (NonClientSkinned()) {
          if (manager && manager->Options.NativeBordersMaximized && IsZoomed(wnd) && BorderForm) {
            delete BorderForm;
            BorderForm = nullptr;
          }
          if (!BorderForm || Form->OnPaint) {
            RgnChanged = true;
            UpdateCornerRects();
            if (!fAnimating) ApplyWindowRgn(true, false);
          } else {
            if (!BorderForm->AForm) BorderForm->CreateNewForm();
            if (!OwnScrollBarsVisible(wnd) && ResizeMode() == rmStandard) SetFormState(FFormState | FS_SIZING);
            BorderForm->UpdateExBordersPos(true, 255);
            FCommonData->FUpdating = true;
            SetFormState(FFormState & ~FS_SIZING);
            if (BorderForm->AForm && BorderForm->AForm->HandleAllocated()) {
              auto after = reinterpret_cast<HWND>(SendSkinCommand(wnd, SKCMD_BORDER_ZORDER, 0));
              SetWindowPos(BorderForm->AForm->Handle(), after, 0, 0, 0, 0, kBorderPlace);
            }
            SendSkinCommand(wnd, SKCMD_BORDERS_SHOWN, 1);
            if (!*alive) return;
            ApplyWindowRgn(true, false);
            FCommonData->FUpdating = false;
          }
          if (!FCommonData->FUpdating) {
            // Children are told only when the form's background depends on a size that changed.
            const bool widthChanged = newWidth != oldWidth, heightChanged = newHeight != oldHeight;
            const std::uint16_t type = FCommonData->BGType;
            if ((widthChanged && (type & BGT_WIDTH_MASK)) || (heightChanged && (type & BGT_HEIGHT_MASK)))
              BroadcastToAllChildren(Form, TMessage{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_PARENT_MOVED, 1), 0, 0});
            if (!*alive) return;
            if (!BorderForm || OwnScrollBarsVisible(wnd)) {
              RedrawWindow(wnd, nullptr, nullptr, RDW_NOFRAME | RDW_UPDATENOW | RDW_NOERASE | RDW_INVALIDATE);
            } else {
              if (!BorderForm->AForm) BorderForm->CreateNewForm();
              RedrawWindow(wnd, nullptr, nullptr,
                           RDW_UPDATENOW | RDW_INVALIDATE | (Form->BorderWidth() > 0 || HasMenuLine(this) ? RDW_FRAME : 0));
              if (BorderForm->AForm && BorderForm->AForm->HandleAllocated()) {
                HWND border = BorderForm->AForm->Handle();
                SetWindowPos(border, wnd, 0, 0, 0, 0, kBorderPlace);
                if (HRGN rgn = BorderForm->MakeRgn()) SetWindowRgn(border, rgn, FALSE);
              } else {
                ApplyWindowRgn(true, false);
              }
            }
            if (!*alive) return;
            RepaintChildControls(Form);
          }
        } else if (cacheShrunk) {
          InvalidateRect(wnd, nullptr, TRUE);
        }
        if (Form->OnResize) Form->OnResize(Form);
        if (!*alive) return;
      }
    } else {
      FCommonData->BGChanged = true;
    }
  }
  // 6.
  LastClientRect = TRect{0, 0, WndClientWidth(wnd), WndClientHeight(wnd)};
}

// ---- WM_CLOSE ---------------------------------------------------------------------------

void TsSkinProvider::HandleClose(TMessage& Message) {
  TsSkinManager* manager = Manager();
  const bool animated = manager && AllowAnimation && manager->Effects.AllowAnimation &&
                        manager->AnimEffects.FormHide.Active && NonClientSkinned() &&
                        !(FFormState & FS_ANIMCLOSING) && TopLevel(Form);
  auto alive = FAlive;
  CallOld(Message);
  if (!animated || !*alive || Form->Destroying() || (Form->ComponentState() & csDestroying)) return;
  HWND wnd = WndOf(Form);
  if (wnd && IsWindowVisible(wnd)) {
    // The close was refused: the form stays, and the next erase paints it afresh.
    FCommonData->BGChanged = true;
    return;
  }
  TakeFormImage(false);
}

// ---- WM_SHOWWINDOW ----------------------------------------------------------------------

void TsSkinProvider::HandleShowWindow(TMessage& Message) {
  HWND wnd = WndOf(Form);
  auto alive = FAlive;
  if (!IsMDIChildForm(Form)) {
    if (Message.WParam == 1) {
      if (BorderForm) BorderForm->ExBorderShowing = false;
      SetFormState(FFormState & ~FS_ANIMRESTORING);
      if (wnd && IsDwmCompositionOn() && !AnimationInProgress && !(ExStyleOf(wnd) & WS_EX_LAYERED))
        RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_INVALIDATE);
    }
    if (Message.LParam == SW_PARENTCLOSING && ShowAction != saIgnore && wnd)
      ShowAction = IsIconic(wnd) ? saMinimize : IsZoomed(wnd) ? saMaximize : saRestore;
    if (Message.LParam == SW_PARENTOPENING && ManagerMinimizing(Manager()) && Application().MainForm() == Form) {
      CallOld(Message);
      return;
    }
  }
  CallOld(Message);
  if (!*alive || Message.WParam != 1) return;
  if (IsMDIChildForm(Form)) {
    if (wnd && IsZoomed(wnd) && MDISkinProvider && !MDISkinProvider->Destroying()) MDISkinProvider->RepaintMenu();
  } else if (Form->FormKind() == fkMDIForm) {
    for (int i = 0; i < Form->MDIChildCount(); ++i)
      if (TForm* child = Form->MDIChildren(i); child && child->HandleAllocated() && !IsSkinnedWindow(child->Handle()))
        SkinNewTopWindow(child->Handle());
  } else if (Form->Parent()) {
    FCommonData->BGChanged = true;
  }
  if (*alive && wnd && IsWindowVisible(wnd)) SetWindowPos(wnd, nullptr, 0, 0, 0, 0, kNudge);
}

// ---- WM_WINDOWPOSCHANGING ---------------------------------------------------------------

void TsSkinProvider::HandleWindowPosChanging(TMessage& Message) {
  auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
  HWND wnd = WndOf(Form);
  if (!pos || !wnd) {
    CallOld(Message);
    return;
  }
  auto alive = FAlive;
  if (RgnChanging || LoadingForm(Form) || IsMDIChildForm(Form)) {
    SetFormState(FFormState & ~FS_ANIMCLOSING);
    if (BorderForm && BorderForm->AForm && pos->cx != 0 && pos->cy != 0 && (pos->flags & SWP_NOACTIVATE) &&
        !(FFormState & FS_ANIMMINIMIZING) && !(pos->flags & (SWP_NOSIZE | SWP_NOMOVE))) {
      if (pos->cx >= LastClientRect.Right - LastClientRect.Left && pos->cy >= LastClientRect.Bottom - LastClientRect.Top) {
        CallOld(Message);
        return;
      }
      if (!OwnScrollBarsVisible(wnd) && BorderForm->AForm->HandleAllocated()) {
        if (IsIconic(wnd)) {
          FCommonData->BGChanged = true;
          BorderForm->UpdateExBordersPos(true, 255);
        } else {
          SetFormState(FFormState | FS_SIZING);
          HWND border = BorderForm->AForm->Handle();
          if (HRGN rgn = BorderForm->MakeRgn(pos->cx, pos->cy)) SetWindowRgn(border, rgn, FALSE);
          SetWindowPos(wnd, border, 0, 0, 0, 0, kBorderPlace);
          SetFormState(FFormState & ~FS_SIZING);
        }
      }
    }
  } else if (!IsZoomed(wnd)) {
    if (!(pos->flags & SWP_NOMOVE) && (pos->x != 0 || pos->y != 0)) {
      if (ScreenSnap && Form->Showing()) SnapFormPosition(pos->x, pos->y);
      if (FFormState & (FS_FULLHEIGHT | FS_FULLWIDTH)) {
        // A form stretched by an edge double-click keeps its stretched size while it is
        // dragged away: the move takes the window's present size, and the stretch is over.
        pos->cx = WndWidth(wnd);
        pos->cy = WndHeight(wnd);
        SetFormState(FFormState & ~(FS_FULLHEIGHT | FS_FULLWIDTH));
        Message.Result = 0;
        return;
      }
    }
  }
  TsSkinManager* manager = Manager();
  if (manager && LayeredWindowsAvailable() && NonClientSkinned() && !SkipAnimation) {
    if (((pos->flags & SWP_HIDEWINDOW) || pos->x == -32000) && HasCache(FCommonData.get())) {
      if (IsIconic(wnd) && Form->WindowState() != wsMinimized && pos->x == -32000) {
        CallOld(Message);
        if (!*alive) return;
        StartMinimizing(this);
        Form->SetWindowState(wsMinimized);
        return;
      }
      if ((pos->flags & SWP_HIDEWINDOW) && HideAnimationApplies()) {
        TakeFormImage(true);
        if (!(BorderForm && BorderForm->AForm) && !CoverForm) CoverForm = MakeCoverForm(wnd, this);
      }
    }
    if (pos->flags & SWP_SHOWWINDOW) {
      if (BorderForm) {
        if (!BorderForm->AForm) BorderForm->CreateNewForm();
        BorderForm->ExBorderShowing = false;
        FCommonData->BGChanged = true;
        BorderForm->UpdateExBordersPos(true, 255);
      }
      if (IsWindowVisible(wnd)) SetWindowPos(wnd, nullptr, 0, 0, 0, 0, kNudge);
    }
  }
  if (*alive) CallOld(Message);
}

// ---- WM_WINDOWPOSCHANGED ----------------------------------------------------------------

void TsSkinProvider::HandleWindowPosChanged(TMessage& Message) {
  auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
  HWND wnd = WndOf(Form);
  TsSkinManager* manager = Manager();
  auto alive = FAlive;
  if (manager && manager->Options.NativeBordersMaximized && wnd && IsZoomed(wnd) && BorderForm) {
    delete BorderForm;
    BorderForm = nullptr;
  }
  if (!pos || !wnd || !manager || !LayeredWindowsAvailable() || !NonClientSkinned()) {
    CallOld(Message);
    return;
  }
  UWPCaptionStyle(Form->WindowState() == wsMaximized);
  FSysExHeight = BorderForm && BorderForm->AForm && IsZoomed(wnd) &&
                 ExtendedTitleHeight(this, false) > SysCaptionHeight(this) + 4;
  if ((pos->flags & SWP_HIDEWINDOW) && !SkipAnimation && HasCache(FCommonData.get()) && !IsIconic(wnd)) {
    if (ManagerMinimizing(manager) && Application().MainForm() == Form) {
      CallOld(Message);
      if (*alive) fAnimating = false;
      return;
    }
    if (!(manager->ManagerState & msScaleChanging)) {
      if (HideAnimationApplies() || (FFormState & FS_ANIMCLOSING)) {
        if (IsDwmCompositionOn()) SetLayeredAlpha(wnd, true, 1);
        CallOld(Message);
        if (!*alive) return;
        SkipAnimation = true;
        AnimHideSkinForm(this);
        if (!*alive) return;
        if (!Application().Terminated()) {
          if (IsDwmCompositionOn() && IsWindow(wnd)) SetLayeredAlpha(wnd, false, 0);
          SkipAnimation = false;
        }
        return;
      }
      if (BorderForm) BorderForm->FreeBorderWindow();
    }
  }
  CallOld(Message);
  if (!*alive || AnimationInProgress || !BorderForm) return;
  if (!IsWindowVisible(wnd) || IsIconic(wnd)) {
    if (!(FFormState & (FS_ANIMMINIMIZING | FS_ANIMRESTORING)) && IsIconic(wnd) && Application().MainForm() == Form &&
        !Form->Destroying() && !Application().Terminated())
      BorderForm->FreeBorderWindow();
  } else if (!(pos->flags & 0x28) && !(FFormState & (FS_BLENDMOVING | FS_DISABLED))) {
    if ((pos->flags & SWP_NOSIZE) && (pos->flags & SWP_NOMOVE)) {
      if (BorderForm->AForm && BorderForm->AForm->HandleAllocated())
        SetWindowPos(BorderForm->AForm->Handle(), wnd, 0, 0, 0, 0, kBorderShow);
    } else {
      BorderForm->UpdateExBordersPos(false, 255);
    }
  }
}

// ---- CM_SHOWINGCHANGED ------------------------------------------------------------------

void TsSkinProvider::HandleShowingChanged(TMessage& Message) {
  HWND wnd = WndOf(Form);
  TsSkinManager* manager = Manager();
  auto alive = FAlive;
  // 1.
  if ((!NonClientSkinned() && Form->BorderStyle() != bsNone) || !DrawClientArea) {
    if (DrawClientArea) CreateAdapter();
    CallOld(Message);
    if (!*alive) return;
    if (IsDwmCompositionOn() && Form->Showing() && wnd) SendMessageW(wnd, WM_SETREDRAW, 1, 0);
    FCommonData->FUpdating = false;
    if (IsDwmCompositionOn() && wnd) RedrawWindow(wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_INVALIDATE);
    return;
  }
  if (Form->Showing()) {
    // 2.
    if (manager) {
      if (Form->ClassName() == L"TMessageForm" && AllowScale && manager->Options.ScaleMode.Get() != TsSkinManager::smVCL &&
          !Designing())
        manager->UpdateScale(Form, 96, FCommonData->CurrentPPI);
      if (manager->UpdateFontName(Form))
        BroadcastToAllChildren(Form, TMessage{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_FONT_CHANGED),
                                              reinterpret_cast<LPARAM>(manager), 0});
      if (!*alive) return;
    }
    if (IsMDIChildForm(Form)) {
      CreateAdapter();
      CallOld(Message);
      if (*alive && wnd && IsZoomed(wnd) && MDISkinProvider && !MDISkinProvider->Destroying())
        MDISkinProvider->RepaintMenu();
      return;
    }
    if (Form->FormKind() == fkMDIForm) HookMDI(true);
    if (wnd) UseDwmTransitions(wnd, NonClientSkinned());
    SetFormState(FFormState & ~FS_ANIMCLOSING);
    if (BorderForm) BorderForm->ExBorderShowing = false;
    if (PreviewRequested && wnd && (Application().MainForm() == Form || !Application().MainForm())) LinkSkinEditor(wnd);
    if (!Adapter) CreateAdapter();
    fAnimating = AllowAnimation && TopLevel(Form) && manager && manager->Effects.AllowAnimation &&
                 manager->AnimEffects.FormShow.Active && wnd != PreviewWnd;
    bool madeLayered = false;
    if (fAnimating && wnd) {
      FCommonData->FUpdating = true;
      FInAnimation = true;
      madeLayered = SetLayeredAlpha(wnd, true, 0);
      if (madeLayered) {
        if (!BorderForm) UpdateCornerRects();
        if (!IsZoomed(wnd)) ApplyWindowRgn(true, false);
        RgnChanging = false;
      }
      for (TControl* c : std::vector<TControl*>(Form->Controls()))
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible() && w->HandleAllocated())
          SendMessageW(w->Handle(), WM_SETREDRAW, 0, 0);
    } else {
      FCommonData->FUpdating = false;
    }
    if (manager) UpdateExtendedBorders(manager->ExtendedBorders());
    if (fAnimating) SetFormState(FFormState | FS_ANIMSHOWING);
    CallOld(Message);
    if (!*alive) return;
    if (fAnimating) SetFormState(FFormState & ~FS_ANIMSHOWING);
    if (FCommonData->Skinned() || !fAnimating) {
      const std::uint8_t alpha = Form->AlphaBlend() ? Form->AlphaBlendValue() : 255;
      if (fAnimating && wnd) {
        for (TControl* c : std::vector<TControl*>(Form->Controls()))
          if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible() && w->HandleAllocated())
            SendMessageW(w->Handle(), WM_SETREDRAW, 1, 0);
        if (madeLayered) SetLayeredAlpha(wnd, false, 0);
        fAnimating = false;
        FCommonData->FUpdating = false;
        FInAnimation = false;
        // The window lost WS_VISIBLE with its layered style: the animation shows it again.
        AnimShowSkinForm(this, manager ? manager->AnimEffects.FormShow.Time : 0, alpha,
                         manager ? manager->AnimEffects.FormShow.Mode : atAero);
        if (!*alive) return;
        // An animation with nothing to play (no image yet) leaves the window hidden: show it.
        if (Form->Showing() && !IsWindowVisible(wnd)) ShowWindow(wnd, SW_SHOWNA);
        if (!BorderForm) ApplyWindowRgn(true, false);
        RgnChanging = false;
      } else if (wnd) {
        RepaintChildControls(Form);
        if (BorderForm) RgnChanged = true;
        RedrawWindow(wnd, nullptr, nullptr, RDW_ALLCHILDREN | RDW_INVALIDATE);
      }
      LastClientRect = Form->ClientRect();
    } else if (wnd) {
      for (TControl* c : std::vector<TControl*>(Form->Controls()))
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->HandleAllocated()) SendMessageW(w->Handle(), WM_SETREDRAW, 1, 0);
      SetWindowLongPtrW(wnd, GWL_EXSTYLE, ExStyleOf(wnd) & ~WS_EX_LAYERED);
      RedrawWindow(wnd, nullptr, nullptr, RDW_ALLCHILDREN | RDW_INVALIDATE);
      RgnChanging = false;
      FInAnimation = false;
    }
    return;
  }
  // 3. Hiding.
  if (BorderForm) {
    const bool noHideFrames = !manager || !manager->AnimEffects.FormHide.Active ||
                              manager->AnimEffects.FormHide.Time / 12 == 0 || !AllowAnimation ||
                              !manager->Effects.AllowAnimation;
    if (noHideFrames) {
      delete BorderForm;
      BorderForm = nullptr;
    } else {
      TakeFormImage(false);
    }
  }
  CallOld(Message);
}

// ---- CM_VISIBLECHANGED ------------------------------------------------------------------

void TsSkinProvider::HandleVisibleChanged(TMessage& Message) {
  auto alive = FAlive;
  if (Message.WParam == 1 && RTInit) {
    RTInit = false;
    LoadInit();
    if (!*alive) return;
    if (TsSkinManager* manager = Manager()) UpdateExtendedBorders(manager->ExtendedBorders());
  }
  CallOld(Message);
  if (!*alive) return;
  if (Message.WParam == 1) {
    if (Form->Parent()) RepaintChildControls(Form);
  } else {
    if (!Form->Destroying() && FCommonData->FCacheBmp) FCommonData->FCacheBmp->SetSize(0, 0);
    KillAnimations();
  }
}

// ---- the unskinned state ----------------------------------------------------------------

void TsSkinProvider::PrepareHide(TMessage& Message) {
  TsSkinManager* manager = Manager();
  if (Message.WParam == 1 && AllowScale && manager && !manager->Designing() && Form->ClassName() == L"TMessageForm")
    manager->UpdateScale(Form, 96, FCommonData->CurrentPPI);
  HWND wnd = WndOf(Form);
  if (!NonClientSkinned() || Application().Terminated() || !wnd || Message.WParam != 0 || !manager ||
      !manager->IsActive() || IsIconic(wnd))
    return;
  if (!HideAnimationApplies()) return;
  if (BorderForm && BorderForm->AForm) {
    TakeFormImage(true);
  } else if (!BorderForm && TopLevel(Form) && !CoverForm) {
    SetFormState(FFormState | FS_ANIMCLOSING);
    CoverForm = MakeCoverForm(wnd, this);
  }
}

void TsSkinProvider::CheckHideAnimation(TMessage& Message) {
  auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
  TsSkinManager* manager = Manager();
  HWND wnd = WndOf(Form);
  if (!pos || !wnd || !manager || !LayeredWindowsAvailable() || !(pos->flags & SWP_HIDEWINDOW) || !AllowAnimation ||
      IsIconic(wnd) || SkipAnimation || !manager->IsActive() || !NonClientSkinned() ||
      !manager->Effects.AllowAnimation || !manager->AnimEffects.FormHide.Active)
    return;
  auto alive = FAlive;
  SkipAnimation = true;
  AnimHideSkinForm(this);
  // The hide animation ticks on this thread: let it run, and give up when the program ends.
  while (AnimationInProgress && !Application().Terminated() && *alive) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 12, QS_ALLINPUT);
    Application().ProcessMessages();
  }
  if (!*alive) return;
  if (IsWindow(wnd)) SetLayeredAlpha(wnd, false, 0);
  SkipAnimation = false;
}

void TsSkinProvider::CleanUpOnDestroy() {
  if (IsMDIChildForm(Form) && MDISkinProvider && MDISkinProvider != this && !MDISkinProvider->Destroying() &&
      MDISkinProvider->FCommonData && MDISkinProvider->FCommonData->Skinned()) {
    MDISkinProvider->RepaintMenu();
    TForm* parent = MDISkinProvider->Form;
    if (parent && !parent->ActiveMDIChild() && parent->ClientHandle())
      RedrawWindow(parent->ClientHandle(), nullptr, nullptr, 0x507);
  }
  if (CoverForm) {
    TacHideTimer* timer = HideTimer();
    if (!(timer && timer->Form == static_cast<TForm*>(CoverForm))) TComponent::Free(CoverForm);
    CoverForm = nullptr;
  }
}
