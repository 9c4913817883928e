#include "skin/graphics/sMessages.h"

#include <algorithm>

#include "platform/ui/Forms.h"
#include "skin/graphics/acAnimation.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"

namespace {

// The two sub-commands that are posted on purpose (to the application window and to skin
// list controls); any other posted library message is dropped before dispatch.
bool SkinCommandMayBePosted(WPARAM wParam) {
  const WORD command = SkinCommandOf(wParam);
  return command == SKCMD_APPLY_PREVIEW || command == SKCMD_LIST_SKIN_CHANGED;
}

LRESULT CallDirect(const TWndMethod& proc, UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage message{msg, wParam, lParam, 0};
  TWndMethod call = proc;  // the receiver may replace the state's copy while it runs
  call(message);
  return message.Result;
}

bool IsChildOf(const TWinControl* parent, const TControl* child) {
  const auto& children = parent->Controls();
  return std::find(children.begin(), children.end(), child) != children.end();
}

}  // namespace

void GuardSkinMessages() {
  thread_local bool guarded = false;
  if (guarded) return;
  RegisterPrivateMessage(SM_SKINCOMMAND, SkinCommandMayBePosted);
  guarded = true;
}

LRESULT SendSkinCommandFromThread(HWND wnd, WORD command, LPARAM lParam) {
  return SendPrivateMessage(wnd, SM_SKINCOMMAND, SkinCommandWParam(command), lParam);
}

LRESULT SendSkinMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (TsCommonData* data = CommonDataOfWindow(wnd); data && data->WndProc)
    return CallDirect(data->WndProc, msg, wParam, lParam);
  return SendPrivateMessage(wnd, msg, wParam, lParam);
}

LRESULT SendSkinCommand(HWND wnd, WORD command, LPARAM lParam) {
  return SendSkinMessage(wnd, SM_SKINCOMMAND, SkinCommandWParam(command), lParam);
}

LRESULT SendSkinMessageToControl(TControl* control, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!control) return 0;
  auto* win = dynamic_cast<TWinControl*>(control);
  if (!win) return control->Perform(msg, wParam, lParam);
  if (win->Destroying() || !win->HandleAllocated()) return 0;
  HWND wnd = win->Handle();
  TsCommonData* data = CommonDataOfWindow(wnd);
  if (data && !data->WndProc && data->FOwnerControl) {
    // The short-cut: the control's procedure in place now, kept until it is replaced.
    data->WndProc = win->WindowProc();
    return CallDirect(data->WndProc, msg, wParam, lParam);
  }
  return SendPrivateMessage(wnd, msg, wParam, lParam);
}

LRESULT PerformSkinCommand(TControl* control, WORD command, LPARAM lParam) {
  return SendSkinMessageToControl(control, SM_SKINCOMMAND, SkinCommandWParam(command), lParam);
}

LRESULT QuerySkinCommand(TControl* control, WORD command) { return PerformSkinCommand(control, command, 0); }

bool WindowSkinFlag(HWND wnd, WORD command) { return SendSkinCommand(wnd, command, 0) == 1; }

LRESULT SetWindowRedraw(HWND wnd, WPARAM flag) { return SendSkinMessage(wnd, WM_SETREDRAW, flag, 0); }

void BroadcastToAllChildren(TWinControl* parent, const TMessage& msg) {
  if (!parent) return;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* child = parent->Controls()[i];
    if (child->Destroying()) return;
    auto* win = dynamic_cast<TWinControl*>(child);
    if (!win || !win->HandleAllocated()) {
      child->Perform(msg.Msg, msg.WParam, msg.LParam);
      continue;
    }
    HWND wnd = win->Handle();
    SendSkinMessage(wnd, msg.Msg, msg.WParam, msg.LParam);
    // The receiver may have freed the child or taken it away: only a child still here is
    // descended into. A skinned child passes the message on to its own children itself.
    if (IsChildOf(parent, win) && !IsSkinnedWindow(wnd)) BroadcastToAllChildren(win, msg);
  }
}

void BroadcastToChildWindows(HWND parent, const TMessage& msg) {
  struct TContext {
    HWND Parent;
    const TMessage* Msg;
  } context{parent, &msg};
  EnumChildWindows(
      parent,
      [](HWND wnd, LPARAM data) -> BOOL {
        auto* c = reinterpret_cast<TContext*>(data);
        if (GetParent(wnd) == c->Parent) SendSkinMessage(wnd, c->Msg->Msg, c->Msg->WParam, c->Msg->LParam);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&context));
}

void RepaintChildControls(TControl* control) {
  auto* parent = dynamic_cast<TWinControl*>(control);
  if (!parent || AnimationInProgress) return;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* child = parent->Controls()[i];
    if (child->Destroying()) continue;
    if (auto* win = dynamic_cast<TWinControl*>(child)) {
      if (win->HandleAllocated() && win->Showing())
        SendSkinMessage(win->Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_END_UPDATE), 0);
    } else {
      child->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_END_UPDATE), 0);
    }
  }
}

void RepaintChildWindows(HWND parent) {
  for (HWND wnd = GetTopWindow(parent); wnd; wnd = GetWindow(wnd, GW_HWNDNEXT))
    if (GetWindowLongPtrW(wnd, GWL_STYLE) & WS_CHILD) SendSkinCommand(wnd, SKCMD_END_UPDATE, 0);
}

TColor ControlBkColor(TControl* control) {
  if (!control) return 0xFF00FF;
  bool skinned;
  if (auto* win = dynamic_cast<TWinControl*>(control); win && win->HandleAllocated()) {
    HWND wnd = win->Handle();
    skinned = CommonDataOfWindow(wnd) || HandlerOfWindow(wnd) || WindowSkinFlag(wnd, SKCMD_IS_SKINNED);
  } else {
    skinned = control->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_IS_SKINNED), 0) == 1;
  }
  const TColor color =
      skinned ? static_cast<TColor>(control->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_BG_COLOR), 0xFF00FF))
              : control->Color();
  return ColorToRGB(color);
}

TColor WindowBkColor(HWND wnd) {
  if (!wnd) return 0xFF00FF;
  return ColorToRGB(static_cast<TColor>(SendSkinMessage(wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_BG_COLOR), 0xFF00FF)));
}

void AddToFormAdapter(TControl* control) {
  if (!control || (control->ComponentState() & csLoading)) return;
  TForm* form = GetParentForm(control);
  if (!form || !form->HandleAllocated()) return;
  SendSkinMessage(form->Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_ADD_CONTROLS),
                  reinterpret_cast<LPARAM>(control));
}
