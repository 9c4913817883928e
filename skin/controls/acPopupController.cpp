#include "skin/controls/acPopupController.h"

#include <algorithm>
#include <cstring>

#include "platform/runtime/Logger.h"
#include "platform/runtime/Threads.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acGradient.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

TsPopupController* PopupController = nullptr;

namespace {

std::unique_ptr<TBitmap> gShadowTemplate;

// Shown without activation, size or move: what a popup and its shadow are placed with. The
// Z order is applied (they go topmost, the shadow just below its popup).
constexpr UINT PopupShowFlags =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;

// The form's own alpha: AlphaBlendValue while AlphaBlend, else opaque.
std::uint8_t FormAlpha(TForm* Form) { return Form->AlphaBlend() ? Form->AlphaBlendValue() : 255; }

void ClearPixels(TBitmap* Bmp) {
  if (!Bmp || Bmp->Empty()) return;
  std::uint8_t* row = Bmp->Bits();
  for (int y = 0; y < Bmp->Height(); ++y, row += Bmp->Stride()) std::memset(row, 0, static_cast<std::size_t>(Bmp->Width()) * 4);
}

// The first form in the owner chain of a component (the component itself when it is one).
TForm* OwnerForm(TComponent* Component) {
  for (TComponent* c = Component; c; c = c->Owner())
    if (auto* form = dynamic_cast<TForm*>(c)) return form;
  return nullptr;
}

TRect ScreenRectOf(TWinControl* Control) {
  RECT r{};
  if (Control->HandleAllocated()) GetWindowRect(Control->Handle(), &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

bool PopupVisible(TForm* Form) { return Form && Form->HandleAllocated() && IsWindowVisible(Form->Handle()); }

}  // namespace

// ---------------------------------------------------------------------------
// Placement
// ---------------------------------------------------------------------------

TacPopupPlace PlacePopupAtControl(const TRect& Control, int Left, int Top, int Width, int Height, int ClientWidth,
                                  int ClientHeight, const TRect& WorkArea, bool RightToLeft) {
  TacPopupPlace place;
  if (Left == -1 && Top == -1) {
    // Two pixels over the control's bottom edge, so that the popup seems to come out of it.
    place.Pos.Y = Control.Bottom - 2;
    place.Pos.X = RightToLeft ? Control.Right - Width : Control.Left;
  } else {
    place.Pos = TPoint{Left, Top};
  }
  if (place.Pos.Y + Height > WorkArea.Bottom) {
    place.Pos.Y = std::max<int>(WorkArea.Top, Control.Top - ClientHeight - 1);
    place.AnimDirection = adUpwards;
  }
  if (place.Pos.X + Width > WorkArea.Right) {
    place.Pos.X = WorkArea.Right - ClientWidth;
    place.AnimDirection |= adLeftwards;
  }
  return place;
}

TacPopupPlace PlacePopupAtPoint(TPoint Anchor, int Width, int Height, int ClientWidth, int ClientHeight,
                                const TRect& WorkArea) {
  TacPopupPlace place;
  place.Pos = TPoint{Anchor.X, Anchor.Y - 2};
  if (place.Pos.Y + Height > WorkArea.Bottom) {
    place.Pos.Y = std::max<int>(WorkArea.Top, Anchor.Y - ClientHeight - 1);
    place.AnimDirection = adUpwards;
  }
  if (place.Pos.X + Width > WorkArea.Right) {
    place.Pos.X = WorkArea.Right - ClientWidth - 1;
    place.AnimDirection |= adLeftwards;
  }
  return place;
}

// ---------------------------------------------------------------------------
// TsPopupController
// ---------------------------------------------------------------------------

TsPopupController::TsPopupController(TComponent* AOwner) : TComponent(AOwner) { SkipOpen = false; }

TsPopupController::~TsPopupController() {
  for (TacFormHandler*& handler : FormHandlers) {
    delete handler;
    handler = nullptr;
  }
  FormHandlers.clear();
  if (PopupController == this) PopupController = nullptr;
}

TacFormHandler* TsPopupController::GetHandler(TForm* Form, TWinControl* Control) {
  TacFormHandler* handler = nullptr;
  const int index = GetFormIndex(Form);
  if (index < 0) {
    handler = new TacFormHandler(Form, Control);
    handler->Controller = this;
    FormHandlers.push_back(handler);
  } else {
    handler = FormHandlers[static_cast<std::size_t>(index)];
  }
  Form->OnDeactivate = [this](TForm* Sender) { DoFormDeactivate(Sender); };
  if (!handler->OldOnCloseKept) {
    // The form's own handler is kept once: showing it again must not keep ours.
    handler->OldOnClose = Form->OnClose;
    handler->OldOnCloseKept = true;
  }
  Form->OnClose = [this](TForm* Sender, TCloseAction& Action) { DoFormClose(Sender, Action); };
  handler->Closed = false;
  if (!handler->ShadowForm) {
    handler->ShadowForm = new TacShadowForm(Form, 0);
    handler->ShadowForm->AfterConstruction();
  }
  return handler;
}

void TsPopupController::DoFormDeactivate(TForm* Sender) {
  const int index = GetFormIndex(Sender);
  if (index >= 0) FormHandlers[static_cast<std::size_t>(index)]->Close(true);
}

void TsPopupController::DoFormClose(TForm* Sender, TCloseAction& Action) {
  (void)Action;  // the form is closing already: its own action stands
  const int index = GetFormIndex(Sender);
  if (index >= 0) FormHandlers[static_cast<std::size_t>(index)]->Close(false);
}

int TsPopupController::GetFormIndex(TForm* Form) {
  for (std::size_t i = 0; i < FormHandlers.size(); ++i)
    if (FormHandlers[i] && FormHandlers[i]->PopupForm == Form) return static_cast<int>(i);
  return -1;
}

int TsPopupController::PopupCount(TForm* ExceptForm) {
  int count = 0;
  for (TacFormHandler* h : FormHandlers)
    if (h && h->PopupForm && h->PopupForm != ExceptForm && PopupVisible(h->PopupForm)) ++count;
  return count;
}

int TsPopupController::PopupChildCount(TForm* ExceptForm) {
  int count = 0;
  for (TacFormHandler* h : FormHandlers)
    if (h && PopupVisible(h->PopupForm) && h->ParentForm == ExceptForm) ++count;
  return count;
}

bool TsPopupController::HasChild(TForm* Parent) {
  for (TacFormHandler* h : FormHandlers)
    if (h && h->PopupForm && h->PopupForm != Parent && h->PopupCtrl && GetParentForm(h->PopupCtrl) == Parent) return true;
  return false;
}

void TsPopupController::ClosingForbide(TForm* AForm) {
  for (TacFormHandler* h : FormHandlers)
    if (h && h->PopupForm == AForm) h->ClosingForbidden = true;
}

void TsPopupController::ClosingAllow(TForm* AForm) {
  for (TacFormHandler* h : FormHandlers)
    if (h && h->PopupForm == AForm) h->ClosingForbidden = false;
}

void TsPopupController::KillAllForms(TControl* ExceptChild) {
  TForm* except = ExceptChild ? OwnerForm(ExceptChild) : nullptr;
  const std::vector<TacFormHandler*> handlers = FormHandlers;
  for (TacFormHandler* h : handlers) {
    if (std::find(FormHandlers.begin(), FormHandlers.end(), h) == FormHandlers.end()) continue;  // freed meanwhile
    if (h && h->PopupForm && h->PopupForm != except && PopupVisible(h->PopupForm)) h->Close(true);
  }
  if (PopupCount() == 0) {
    std::vector<TacFormHandler*> all;
    all.swap(FormHandlers);
    for (TacFormHandler* h : all) delete h;
  }
}

TacFormHandler* TsPopupController::PreparePopup(TForm* AForm, TWinControl* AControl, bool ForceScale) {
  // 2. Hidden, placed by us, without caption.
  AForm->Hide();
  AForm->Position = poDesigned;
  if (AForm->BorderStyle() != bsNone) {
    TsSkinProvider* provider = FindParentProvider(AForm);
    const int caption = provider ? SysCaptionHeight(provider) : 32;
    AForm->SetBorderStyle(bsNone);
    AForm->SetBounds(AForm->Left(), AForm->Top(), AForm->Width(), AForm->Height() - caption);
  }
  // 3. The handler, its shadow, the capture window of the moment and the close check.
  TacFormHandler* Handler = GetHandler(AForm, AControl);
  if (Handler->ShadowForm) Handler->ShadowForm->Locked = true;
  Handler->CaptureHandle = IgnoreCapture ? nullptr : GetCapture();
  if (!Handler->CheckTimer) {
    Handler->CheckTimer = NewComponent<TacThreadedTimer>(nullptr);
    Handler->CheckTimer->WriteInterval(100);
    TacFormHandler* h = Handler;
    Handler->CheckTimer->WriteOnTimer([h] { h->CheckTimerTick(); });
  }
  Handler->CheckTimer->WriteEnabled(true);
  // 4. A layered tool popup, nearly clear while it is placed.
  HWND wnd = AForm->Handle();
  SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) | WS_POPUP | WS_CLIPSIBLINGS);
  SetWindowLongPtrW(wnd, GWL_EXSTYLE, GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
  SetLayeredAlpha(wnd, true, 1);
  TsSkinProvider* provider = FindParentProvider(AForm);
  if (TsSkinManager* manager = DefaultManager()) {
    if (ForceScale || ((!provider || provider->AllowScale) && !AForm->Scaled))
      manager->UpdateScale(AForm, 96, Screen().PixelsPerInch());
  }
  return Handler;
}

void TsPopupController::FinishShow(TForm* AForm, TacFormHandler* Handler, bool Animated, std::uint8_t Alpha) {
  HWND wnd = AForm->Handle();
  SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, PopupShowFlags);
  AForm->SetVisible(true);
  if (Animated) {
    AnimShowPopup(AForm, 80, Alpha);
  } else {
    SetLayeredAlpha(wnd, false, 255);
    // A window that stops being layered has no picture of its own yet: its surface is made
    // again and the whole window painted.
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    RepaintChildControls(AForm);
    if (CommonDataOfWindow(wnd))
      SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, PopupShowFlags);
    else
      ShowWindow(wnd, SW_SHOWNOACTIVATE);
    if (Handler->ShadowForm) Handler->ShadowForm->Locked = false;
  }
  if (Handler->ShadowForm && !Handler->ShadowForm->FDestroyed) Handler->ShadowForm->UpdateShadowPos();
}

void TsPopupController::ShowForm(TForm* AForm, TWinControl* AOwnerControl, int ALeft, int ATop, bool Animated) {
  (void)Animated;
  if (!AForm || !AOwnerControl || SkipOpen) {
    SkipOpen = false;
    return;
  }
  // 1. Animation follows the skin manager and the form's provider, whose own flag is off
  // while the popup is prepared.
  TsSkinManager* manager = DefaultManager();
  TsSkinProvider* provider = FindParentProvider(AForm);
  bool animate = manager && manager->IsActive() && manager->Effects.AllowAnimation && (!provider || provider->AllowAnimation);
  const bool savedAllow = provider ? provider->AllowAnimation : false;
  if (provider) provider->AllowAnimation = false;
  const std::uint8_t alpha = FormAlpha(AForm);

  TacFormHandler* handler = PreparePopup(AForm, AOwnerControl, false);

  // 5. Placement on the work area of the control's monitor.
  const TRect control = ScreenRectOf(AOwnerControl);
  const TRect workArea = WorkAreaAtPoint(control);
  const TacPopupPlace place =
      PlacePopupAtControl(control, ALeft, ATop, AForm->Width(), AForm->Height(), AForm->ClientWidth(),
                          AForm->ClientHeight(), workArea, AOwnerControl->UseRightToLeftAlignment());
  AnimDirection = place.AnimDirection;
  AForm->SetBounds(place.Pos.X, place.Pos.Y, AForm->Width(), AForm->Height());
  // 6. A popup of a form that stays on top stays on top too.
  if (handler->ParentForm && handler->ParentForm->FormStyle() == fsStayOnTop) AForm->SetFormStyle(fsStayOnTop);
  FinishShow(AForm, handler, animate, alpha);
  if (provider) provider->AllowAnimation = savedAllow;
  SkipOpen = false;
}

void TsPopupController::ShowFormPos(TForm* AForm, TPoint ALeftTop, bool Animated) {
  (void)Animated;
  if (!AForm || SkipOpen) {
    SkipOpen = false;
    return;
  }
  TsSkinProvider* provider = FindParentProvider(AForm);
  const bool savedAllow = provider ? provider->AllowAnimation : false;
  if (provider) provider->AllowAnimation = false;
  const std::uint8_t alpha = FormAlpha(AForm);
  TacFormHandler* handler = PreparePopup(AForm, nullptr, true);
  const TRect workArea = WorkAreaAtPoint(TRect{ALeftTop.X, ALeftTop.Y, ALeftTop.X, ALeftTop.Y});
  const TacPopupPlace place =
      PlacePopupAtPoint(ALeftTop, AForm->Width(), AForm->Height(), AForm->ClientWidth(), AForm->ClientHeight(), workArea);
  AnimDirection = place.AnimDirection;
  AForm->SetBounds(place.Pos.X, place.Pos.Y, AForm->Width(), AForm->Height());
  FinishShow(AForm, handler, true, alpha);
  if (provider) provider->AllowAnimation = savedAllow;
  SkipOpen = false;
}

void TsPopupController::AnimShowPopup(TForm* aForm, int wTime, std::uint8_t BlendValue) {
  if (!aForm) return;
  TacAnimationGuard animating(true);
  HWND wnd = aForm->Handle();
  RECT wr{};
  GetWindowRect(wnd, &wr);
  const int W = wr.right - wr.left, H = wr.bottom - wr.top;
  // 1. The popup's picture, opaque.
  std::unique_ptr<TBitmap> image = NewBitmap32ForControl(aForm);
  if (image->Empty()) return;
  PaintControlToBitmap(image.get(), aForm, 0, 0);
  ApplyAlphaInRect(image.get(), TRect{0, 0, image->Width(), image->Height()}, 255, 0x1FFFFFFF);
  const int frames = wTime / 12;
  const std::uint8_t target = FormAlpha(aForm);
  double alpha = frames > 0 ? 0 : target;

  // 2. The animation window over the popup.
  auto* anim = NewComponent<TacGlowForm>(nullptr);
  struct TFree {
    TacGlowForm* Form;
    ~TFree() { TComponent::Free(Form); }
  } freeAnim{anim};
  HWND animWnd = anim->Handle();
  SetWindowPos(animWnd, HWND_TOPMOST, wr.left, wr.top, W, H, SWP_NOACTIVATE);
  const TPoint at{wr.left, wr.top};
  TacFormHandler* handler = nullptr;
  if (const int index = GetFormIndex(aForm); index >= 0) handler = FormHandlers[static_cast<std::size_t>(index)];

  ShowBitmapLayered(animWnd, image.get(), static_cast<std::uint8_t>(alpha), &at);
  ShowWindow(animWnd, SW_SHOWNOACTIVATE);
  if (handler) handler->SetPopupRegion(image.get());
  if (frames > 0) {
    std::unique_ptr<TBitmap> work = NewBitmap32(W, H);
    ClearPixels(work.get());
    // Vertically from the anchor edge, starting at height 0; horizontally from the calling
    // control's width at its side. Each step leaves a third of what is still missing; the
    // leftward growth uses the same rule as the rightward one, mirrored.
    const bool up = (AnimDirection & adUpwards) != 0, left = (AnimDirection & adLeftwards) != 0;
    int ctrlWidth = 0;
    if (handler && handler->PopupCtrl) ctrlWidth = std::clamp(handler->PopupCtrl->Width(), 0, W);
    int missingH = H, missingW = W - ctrlWidth;
    const double stepAlpha = static_cast<double>(target) / frames;
    HDC workDC = work->Canvas().Handle();
    SetStretchBltMode(workDC, COLORONCOLOR);
    for (int i = 0; i <= frames; ++i) {
      const DWORD start = CurrentTickCount();
      alpha = std::min<double>(target, alpha + stepAlpha);
      const int h = H - missingH, w = W - missingW;
      const TRect r = TRect{left ? W - w : 0, up ? H - h : 0, left ? W : w, up ? H : h};
      if (r.Width() > 0 && r.Height() > 0)
        StretchBlt(workDC, r.Left, r.Top, r.Width(), r.Height(), image->Canvas().Handle(), 0, 0, W, H, SRCCOPY);
      GdiFlush();
      ShowBitmapLayered(animWnd, work.get(), static_cast<std::uint8_t>(alpha), &at);
      TacMoveShadowData data;
      data.Left = wr.left + r.Left;
      data.Top = wr.top + r.Top;
      data.Width = r.Width();
      data.Height = r.Height();
      data.Blend = static_cast<std::uint8_t>(alpha);
      SendSkinCommand(wnd, SKCMD_MOVE_SHADOW, reinterpret_cast<LPARAM>(&data));
      missingH /= 3;
      missingW /= 3;
      WaitUntilTick(start, 12);
    }
  }
  // 4. The whole picture at the target alpha, then the popup itself below the animation window.
  ShowBitmapLayered(animWnd, image.get(), target, &at);
  SetLayeredAlpha(wnd, true, BlendValue);
  aForm->SetVisible(true);
  SetWindowPos(wnd, animWnd, 0, 0, 0, 0, PopupShowFlags);
  animating.Restore();
  // Redrawn at once; a redraw that reports failure is tried again, a few times at most.
  for (int attempt = 0; attempt < 3; ++attempt)
    if (RedrawWindow(wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE)) break;
  if (IsDwmCompositionOn()) Sleep(24);
  SetWindowPos(animWnd, wnd, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

// ---------------------------------------------------------------------------
// TacFormHandler
// ---------------------------------------------------------------------------

class TacFormHandler::TLink : public TComponent {
public:
  explicit TLink(TacFormHandler* Owner) : TComponent(nullptr), FHandler(Owner) {}
  std::wstring ClassName() const override { return L"TacFormHandlerLink"; }
  TacFormHandler* FHandler;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation != TOperation::opRemove) return;
    if (AComponent == FHandler->PopupCtrl)
      FHandler->ControlGone();
    else if (AComponent == FHandler->PopupForm)
      FHandler->Unhook();
    else if (AComponent == FHandler->ParentForm)
      FHandler->ParentForm = nullptr;
  }
};

TacFormHandler::TacFormHandler(TForm* Form, TWinControl* Control) : FLink(std::make_unique<TLink>(this)) {
  Closed = false;
  ClosingForbidden = false;
  PopupCtrl = nullptr;
  ShadowForm = nullptr;
  PopupForm = Form;
  if (TsSkinProvider* provider = FindParentProvider(Form); provider && provider->ListSW) {
    TacMainWnd* handler = provider->ListSW;
    provider->ListSW = nullptr;
    DetachHandler(Form->HandleAllocated() ? Form->Handle() : nullptr, true, false, handler);
  }
  HookWindowProc(Form, MakeWndMethod<&TacFormHandler::FormHook>(this), &FormWndProc);
  if (Form->HandleAllocated())
    if (TsCommonData* sd = CommonDataOfWindow(Form->Handle())) sd->WndProc = TWndMethod{};
  FLink->FreeNotification(Form);
  if (Control) {
    PopupCtrl = Control;
    HookWindowProc(Control, MakeWndMethod<&TacFormHandler::CtrlHook>(this), &CtrlWndProc);
    ParentForm = GetParentForm(Control);
    FLink->FreeNotification(Control);
    if (ParentForm) FLink->FreeNotification(ParentForm);
  } else {
    ParentForm = nullptr;
  }
  Initialized = true;
}

TacFormHandler::~TacFormHandler() {
  *FAlive = false;
  Unhook();
  KillShadow();
  if (CheckTimer) TComponent::Free(CheckTimer);
  CheckTimer = nullptr;
}

void TacFormHandler::KillShadow() {
  if (!ShadowForm) return;
  TacShadowForm* shadow = ShadowForm;
  ShadowForm = nullptr;
  shadow->KillShadow();
}

void TacFormHandler::CallForm(TMessage& Message) {
  if (TWndMethod proc = FormWndProc) proc(Message);
}

void TacFormHandler::CallCtrl(TMessage& Message) {
  if (TWndMethod proc = CtrlWndProc) proc(Message);
}

void TacFormHandler::FormHook(TMessage& Message) {
  auto alive = FAlive;
  switch (Message.Msg) {
    case WM_DESTROY:
      CallForm(Message);
      if (*alive) Unhook();
      return;
    case WM_MOUSEACTIVATE:
      // A click in the popup leaves the focus with the calling form.
      CallForm(Message);
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_WINDOWPOSCHANGING: {
      CallForm(Message);
      auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      // Another window brought in front without size, move or activation: the popup goes.
      if (*alive && pos && pos->flags == (SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE) && PopupForm &&
          pos->hwndInsertAfter != (PopupForm->HandleAllocated() ? PopupForm->Handle() : nullptr))
        Close(true);
      return;
    }
    case SM_SKINCOMMAND:
      if (SkinCommandOf(Message.WParam) == SKCMD_REMOVE_SKIN) {
        CallForm(Message);
        if (*alive) Unhook();
        return;
      }
      break;
  }
  CallForm(Message);
}

void TacFormHandler::ControlGone() {
  KillShadow();
  Unhook();
  if (!Controller) return;
  for (TacFormHandler*& slot : Controller->FormHandlers)
    if (slot == this) {
      // The slot stays, empty; the handler goes once the message that ended the control is
      // done with it.
      slot = nullptr;
      TacFormHandler* self = this;
      TThread::Queue([self] { delete self; });
    }
}

void TacFormHandler::CtrlHook(TMessage& Message) {
  auto alive = FAlive;
  const bool open = PopupForm && !Closed && PopupVisible(PopupForm);
  switch (Message.Msg) {
    case WM_DESTROY:
      KillShadow();
      CallCtrl(Message);
      if (*alive) ControlGone();
      return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case CM_CANCELMODE:
    case CM_FOCUSCHANGED:
      if (open) {
        Close(true);
        return;
      }
      break;
    case WM_MOUSEWHEEL:
      if (open) {
        Message.Result = PopupForm->Perform(Message.Msg, Message.WParam, Message.LParam);
        return;
      }
      break;
    case CN_KEYDOWN:
      if (open && Message.WParam == VK_ESCAPE) {
        Message.Result = 1;
        return;
      }
      break;
  }
  CallCtrl(Message);
}

void TacFormHandler::CheckTimerTick() {
  if (!PopupForm || (Controller && Controller->MousePressed)) return;
  if (!Application().Active()) {
    Close(true);
    return;
  }
  HWND capture = GetCapture();
  if (!capture || capture == CaptureHandle) return;
  if (PopupForm->HandleAllocated() && IsWindowWithin(capture, PopupForm->Handle())) return;
  if (PopupCtrl && PopupCtrl->HandleAllocated() && IsWindowWithin(capture, PopupCtrl->Handle())) return;
  if (Controller && Controller->HasChild(PopupForm)) return;
  Close(true);
}

void TacFormHandler::Close(bool DoAction) {
  if (CheckTimer) CheckTimer->WriteEnabled(false);
  if (Closed || ClosingForbidden || !PopupForm || !PopupForm->CloseQuery()) {
    // A popup that stays open keeps being watched.
    if (!Closed && PopupForm && CheckTimer) CheckTimer->WriteEnabled(true);
    return;
  }
  Closed = true;
  TCloseAction action = TCloseAction::caHide;
  if (auto own = OldOnClose) own(PopupForm, action);
  if (action == TCloseAction::caNone) {
    Closed = false;
    if (CheckTimer) CheckTimer->WriteEnabled(true);
    return;
  }
  TForm* form = PopupForm;
  TWinControl* control = PopupCtrl;
  TForm* parent = ParentForm;
  if (DoAction) {
    if (action == TCloseAction::caHide || action == TCloseAction::caFree) form->Hide();
  }
  if (control) PerformSkinCommand(control, SKCMD_POPUP_CLOSED, reinterpret_cast<LPARAM>(form));
  if (!Application().Active() && parent && parent->HandleAllocated()) SendMessageW(parent->Handle(), WM_NCACTIVATE, 0, 0);
  Unhook();
  // Freed only after its hooks are given back.
  if (DoAction && action == TCloseAction::caFree) TComponent::Free(form);
}

void TacFormHandler::Unhook() {
  if (!Initialized) return;
  Initialized = false;
  TForm* form = PopupForm;
  if (form && !form->Destroying()) {
    if (form->HandleAllocated())
      if (TacMainWnd* handler = HandlerOfWindow(form->Handle())) DetachHandler(form->Handle(), false, false, handler);
    KillShadow();
    if (form->HandleAllocated())
      if (TsCommonData* sd = CommonDataOfWindow(form->Handle())) sd->WndProc = TWndMethod{};
  }
  if (form) {
    UnhookWindowProc(form, MakeWndMethod<&TacFormHandler::FormHook>(this));
    form->OnDeactivate = nullptr;
    form->OnClose = OldOnCloseKept ? OldOnClose : nullptr;
    FLink->RemoveFreeNotification(form);
  }
  OldOnClose = nullptr;
  OldOnCloseKept = false;
  if (PopupCtrl) {
    UnhookWindowProc(PopupCtrl, MakeWndMethod<&TacFormHandler::CtrlHook>(this));
    FLink->RemoveFreeNotification(PopupCtrl);
  }
  if (ParentForm) FLink->RemoveFreeNotification(ParentForm);
  FormWndProc = TWndMethod{};
  CtrlWndProc = TWndMethod{};
  PopupForm = nullptr;
  PopupCtrl = nullptr;
  ParentForm = nullptr;
}

void TacFormHandler::SetPopupRegion(TBitmap* Bitmap) {
  if (!PopupForm || !Bitmap) return;
  ClientCtrl = nullptr;
  for (TControl* child : PopupForm->Controls())
    if (auto* win = dynamic_cast<TWinControl*>(child); win && win->Align() == alClient) {
      ClientCtrl = win;
      break;
    }
  if (!ClientCtrl || ClientCtrl->Width() != Bitmap->Width() || ClientCtrl->Height() != Bitmap->Height()) return;
  auto* sd = reinterpret_cast<TsCommonData*>(PerformSkinCommand(ClientCtrl, SKCMD_GET_COMMON_DATA, 0));
  if (!sd || !sd->Skinned()) return;
  if (HRGN rgn = CreateBorderRegion(sd->SkinIndex, Bitmap, sd->ReadCommonSkinData()))
    if (!SetWindowRgn(PopupForm->Handle(), rgn, FALSE)) DeleteObject(rgn);
}

// ---------------------------------------------------------------------------
// TacShadowForm
// ---------------------------------------------------------------------------

TacShadowForm::TacShadowForm(TForm* AOwner, int Dummy) : TacGlowForm(nullptr), FOwnerForm(AOwner) {
  (void)Dummy;
  if (AOwner && AOwner->HandleAllocated()) sd = CommonDataOfWindow(AOwner->Handle());
  if (AOwner) {
    HookWindowProc(AOwner, MakeWndMethod<&TacShadowForm::PopupHook>(this), &OldWndProc);
    if (sd) sd->WndProc = TWndMethod{};
    FreeNotification(AOwner);
  }
  FUserBlend = -1;
}

TacShadowForm::~TacShadowForm() {
  *FAlive = false;
  ReleaseOwner();
}

void TacShadowForm::AfterConstruction() {
  TacGlowForm::AfterConstruction();
  Tag = SkipSkinningTag;
}

void TacShadowForm::ReleaseOwner() {
  if (!FOwnerForm) return;
  UnhookWindowProc(FOwnerForm, MakeWndMethod<&TacShadowForm::PopupHook>(this));
  RemoveFreeNotification(FOwnerForm);
  FOwnerForm = nullptr;
  sd = nullptr;
}

void TacShadowForm::Notification(TComponent* AComponent, TOperation Operation) {
  TacGlowForm::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == FOwnerForm) {
    ReleaseOwner();
    HideWnd();
  }
}

TsSkinManager* TacShadowForm::SkinManager() {
  if (sd) return sd->ReadSkinManager();
  return DefaultManager();
}

TBitmap* TacShadowForm::ShadowTemplate() {
  TsSkinManager* manager = SkinManager();
  if (manager && manager->IsActive()) {
    TacSkinData* data = sd ? sd->ReadCommonSkinData() : manager->CommonSkinData(96);
    if (data)
      if (TBitmap* shadow = data->GetPassiveShadow()) return shadow;
  }
  return gShadowTemplate.get();
}

TRect TacShadowForm::ShadowSize() {
  TsSkinManager* manager = SkinManager();
  if (manager && manager->IsActive()) {
    TacSkinData* data = sd ? sd->ReadCommonSkinData() : manager->CommonSkinData(96);
    if (data) {
      const int size = data->WndShadowSize, offset = data->WndShadowOffset;
      return TRect{size, std::max(0, size - offset), size, std::max(0, size + offset)};
    }
  }
  return TRect{13, 13, 13, 13};
}

void TacShadowForm::HideWnd() {
  if (HandleAllocated() && IsWindowVisible(FHandle))
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW | SWP_NOOWNERZORDER);
  Locked = true;
}

void TacShadowForm::SetNewPos(int ALeft, int ATop, std::uint8_t BlendValue, int AHeight, int AWidth) {
  if (FDestroyed) return;
  FUserBlend = BlendValue;
  TBitmap* tpl = ShadowTemplate();
  if (!tpl || tpl->Empty() || AWidth <= 0 || AHeight <= 0) return;
  const TRect ss = ShadowSize();
  const int w = AWidth + ss.Left + ss.Right, h = AHeight + ss.Top + ss.Bottom;
  AlphaBmp = NewBitmap32(w, h);
  if (AlphaBmp->Empty()) return;
  ClearPixels(AlphaBmp.get());
  const int mw = (tpl->Width() - 1) / 2, mh = (tpl->Height() - 1) / 2;
  BlitNineSlice(AlphaBmp.get(), tpl, TRect{0, 0, w, h}, TRect{0, 0, tpl->Width(), tpl->Height()}, TRect{mw, mh, mw, mh}, ss,
                TRect{1, 1, 1, 1}, false, false);
  const TPoint at{ALeft - ss.Left, ATop - ss.Top};
  ShowBitmapLayered(Handle(), AlphaBmp.get(), BlendValue, &at);
  HWND after = FOwnerForm && FOwnerForm->HandleAllocated() ? FOwnerForm->Handle() : HWND_TOP;
  // Shown first, then put below the popup: a window that appears may be raised to the top by
  // the system, and the second step takes it down again.
  if (!IsWindowVisible(FHandle)) SetWindowPos(FHandle, nullptr, 0, 0, 0, 0, PopupShowFlags | SWP_NOZORDER);
  SetWindowPos(FHandle, after, 0, 0, 0, 0, PopupShowFlags);
}

void TacShadowForm::UpdateShadowPos() {
  if (Locked || !FOwnerForm || !FOwnerForm->HandleAllocated() || !IsWindowVisible(FOwnerForm->Handle())) return;
  RECT r{};
  GetWindowRect(FOwnerForm->Handle(), &r);
  const std::uint8_t blend = FUserBlend >= 0 ? static_cast<std::uint8_t>(FUserBlend) : FormAlpha(FOwnerForm);
  SetNewPos(r.left, r.top, blend, r.bottom - r.top, r.right - r.left);
}

void TacShadowForm::KillShadow() {
  if (FDestroyed) return;
  FDestroyed = true;
  ReleaseOwner();
  HideWnd();
  TComponent::Free(this);
}

void TacShadowForm::PopupHook(TMessage& Message) {
  auto alive = FAlive;
  switch (Message.Msg) {
    case WM_CLOSE:
      HideWnd();
      break;
    case WM_SHOWWINDOW:
      if (Message.WParam == 0) HideWnd();
      break;
    case SM_SKINCOMMAND:
      if (SkinCommandOf(Message.WParam) == SKCMD_MOVE_SHADOW) {
        Locked = false;
        auto* data = reinterpret_cast<const TacMoveShadowData*>(Message.LParam);
        if (data && data->Height > 0) SetNewPos(data->Left, data->Top, data->Blend, data->Height, data->Width);
        return;
      }
      break;
  }
  if (TWndMethod proc = OldWndProc) proc(Message);
  if (!*alive) return;
  switch (Message.Msg) {
    case WM_SIZE:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
      if (!Locked && !PopupVisible(FOwnerForm))
        HideWnd();
      else
        UpdateShadowPos();
      break;
  }
}

// ---------------------------------------------------------------------------
// Unit state
// ---------------------------------------------------------------------------

TBitmap* PopupShadowTemplate() { return gShadowTemplate.get(); }

void PopupControllerUnitStartup() {
  try {
    gShadowTemplate = BuildSoftShadowBitmap(static_cast<TColor>(0x44000000), 17, 2, 8, 0, 0, false);
  } catch (const std::exception& e) {
    CodeSite().SendException(L"Popup shadow start-up", e);
  }
}

void PopupControllerUnitCleanup() {
  if (PopupController) {
    TsPopupController* controller = PopupController;
    PopupController = nullptr;
    TComponent::Free(controller);
  }
  gShadowTemplate.reset();
}
