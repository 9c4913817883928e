// The application's hints: a control with ShowHint shows its Hint once the mouse has rested on
// it for the hint pause, in a window of the application's hint-window class, until the hide
// pause ends or the mouse leaves the control.
#include <algorithm>

#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/HintWindow.h"

namespace {

// The hint's top-left lies this far below the cursor's hot spot, clear of the arrow.
constexpr int HintCursorGap = 16;
// The widest hint, in pixels.
constexpr int HintMaxWidthDefault = 300;

}  // namespace

void TApplication::StartHintTimer(TTimer*& Timer, int Interval, std::function<void()> Tick) {
  if (!Timer) {
    Timer = new TTimer(this);
    Timer->FreeNotification(this);
  }
  Timer->SetEnabled(false);
  Timer->SetInterval(static_cast<UINT>(std::max(Interval, 1)));
  Timer->SetOnTimer(std::move(Tick));
  Timer->SetEnabled(true);
}

void TApplication::HintMouseMessage(TControl* Control, bool Entered) {
  if (!Entered) {
    if (Control == FHintControl) CancelHint();
    return;
  }
  if (Control == FHintControl) return;
  // The hint's own window may come under the mouse: it changes nothing.
  if (dynamic_cast<THintWindow*>(Control)) return;
  const bool shown = FHintWindow && FHintWindow->HandleAllocated() && IsWindowVisible(FHintWindow->Handle());
  CancelHint();
  if (!Control || !Control->ShowHint || Control->Hint.empty()) return;
  FHintControl = Control;
  Control->FreeNotification(this);
  StartHintTimer(FHintTimer, shown ? HintShortPause : HintPause, [this] {
    if (FHintTimer) FHintTimer->SetEnabled(false);
    if (FHintControl) ActivateHint(FHintControl);
  });
}

bool TApplication::ActivateHint(TControl* Control) {
  if (!Control) return false;
  POINT cursor{};
  GetCursorPos(&cursor);
  THintInfo info;
  info.HintControl = Control;
  info.CursorPos = Point(cursor.x, cursor.y);
  info.HintPos = Point(cursor.x, cursor.y + HintCursorGap);
  info.HintMaxWidth = HintMaxWidthDefault;
  info.CursorRect = Rect(0, 0, Control->Width(), Control->Height());
  info.HideTimeout = HintHidePause;
  info.HintStr = Control->Hint;
  bool canShow = true;
  if (OnShowHint) OnShowHint(info.HintStr, canShow, info);
  if (!canShow || info.HintStr.empty()) return false;
  if (FHintWindow) TComponent::Free(FHintWindow);
  FHintWindow = HintWindowClass(this);
  FHintWindow->FreeNotification(this);
  TRect r = FHintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr);
  r = Bounds(info.HintPos.X, info.HintPos.Y, r.Width(), r.Height());
  // Kept inside the work area of the monitor under the hint's point.
  MONITORINFO mi{sizeof mi};
  if (GetMonitorInfoW(MonitorFromPoint(POINT{info.HintPos.X, info.HintPos.Y}, MONITOR_DEFAULTTONEAREST), &mi)) {
    const RECT& w = mi.rcWork;
    const int dx = std::max(0, r.Right - static_cast<int>(w.right)), dy = std::max(0, r.Bottom - static_cast<int>(w.bottom));
    r = Bounds(std::max(r.Left - dx, static_cast<int>(w.left)), std::max(r.Top - dy, static_cast<int>(w.top)),
               r.Width(), r.Height());
  }
  FHintWindow->ActivateHint(r, info.HintStr);
  if (info.HideTimeout > 0)
    StartHintTimer(FHintHideTimer, info.HideTimeout, [this] {
      if (FHintHideTimer) FHintHideTimer->SetEnabled(false);
      if (FHintWindow) FHintWindow->SetVisible(false);
    });
  return true;
}

void TApplication::CancelHint() {
  if (FHintTimer) FHintTimer->SetEnabled(false);
  if (FHintHideTimer) FHintHideTimer->SetEnabled(false);
  if (FHintControl) FHintControl->RemoveFreeNotification(this);
  FHintControl = nullptr;
  if (FHintWindow) {
    THintWindow* window = FHintWindow;
    FHintWindow = nullptr;
    TComponent::Free(window);
  }
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove) {
    if (component == FHintControl) FHintControl = nullptr;
    if (component == FHintWindow) FHintWindow = nullptr;
    if (component == FHintTimer) FHintTimer = nullptr;
    if (component == FHintHideTimer) FHintHideTimer = nullptr;
  }
  TComponent::Notification(component, operation);
}
