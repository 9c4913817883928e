#pragma once
// The application's modal phases and the disabling of its windows around a modal box.
//
// A modal phase is any time a modal box or form runs its own message loop. Whoever opens
// one brackets it with ModalStarted/ModalFinished; the application object and the skin
// engine listen through AddModalPhaseHandler. The application object also supplies the
// owner window and the help of system boxes through SetModalAppHooks; without it the
// thread's active window owns the box and help requests are ignored.
#include <windows.h>

#include <functional>
#include <vector>

// The level goes up by one; the handlers hear "begin" when the first phase starts.
void ModalStarted();
// The level goes down by one (never below 0); the handlers hear "end" when the last phase ends.
void ModalFinished();
// How many modal phases are open.
int ModalLevel();

// Handlers are called on the UI thread with true at the begin and false at the end of the
// outermost phase. The result identifies the handler for RemoveModalPhaseHandler.
int AddModalPhaseHandler(std::function<void(bool begin)> handler);
void RemoveModalPhaseHandler(int id);

// RAII: a modal phase for the lifetime of the object, ended also when an exception passes.
class TModalPhase {
public:
  TModalPhase() { ModalStarted(); }
  ~TModalPhase() { ModalFinished(); }
  TModalPhase(const TModalPhase&) = delete;
  TModalPhase& operator=(const TModalPhase&) = delete;
};

struct TModalAppHooks {
  // The window that owns a modal box: the application's active form. Empty: GetActiveWindow.
  std::function<HWND()> ActiveFormHandle;
  // Opens the application's help for a context id (never called with 0).
  std::function<void(int context)> ShowHelpContext;
};
void SetModalAppHooks(TModalAppHooks hooks);
// The owner window for a modal box now (the hook's answer, or the thread's active window).
HWND ModalOwnerWindow();
// Shows help for the context when it is not 0 and the application supplied a help hook.
void ShowModalHelp(int context);

// The windows disabled for one modal box, to be enabled again by EnableTaskWindows.
using TTaskWindowList = std::vector<HWND>;

// Disables every visible, enabled top-level window of the calling thread except `keep`
// and returns exactly those it disabled.
TTaskWindowList DisableTaskWindows(HWND keep);
// Enables the windows of the list that still exist, and only those; the list is emptied.
void EnableTaskWindows(TTaskWindowList& windows);

// RAII: disables the task windows on construction and enables them again on destruction.
class TTaskWindowsDisabled {
public:
  explicit TTaskWindowsDisabled(HWND keep) : FWindows(DisableTaskWindows(keep)) {}
  ~TTaskWindowsDisabled() { EnableTaskWindows(FWindows); }
  TTaskWindowsDisabled(const TTaskWindowsDisabled&) = delete;
  TTaskWindowsDisabled& operator=(const TTaskWindowsDisabled&) = delete;
  const TTaskWindowList& Windows() const { return FWindows; }

private:
  TTaskWindowList FWindows;
};
