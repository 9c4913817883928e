#include "platform/ui/ModalPhase.h"

#include <utility>

namespace {

struct THandler {
  int Id;
  std::function<void(bool)> Call;
};

int gModalLevel = 0;
int gNextHandlerId = 1;
std::vector<THandler> gHandlers;
TModalAppHooks gHooks;

void Notify(bool begin) {
  // A copy: a handler may add or remove handlers while it runs.
  std::vector<THandler> handlers = gHandlers;
  for (const auto& h : handlers)
    if (h.Call) h.Call(begin);
}

}  // namespace

void ModalStarted() {
  ++gModalLevel;
  if (gModalLevel == 1) Notify(true);
}

void ModalFinished() {
  if (gModalLevel <= 0) return;
  --gModalLevel;
  if (gModalLevel == 0) Notify(false);
}

int ModalLevel() { return gModalLevel; }

int AddModalPhaseHandler(std::function<void(bool begin)> handler) {
  int id = gNextHandlerId++;
  gHandlers.push_back({id, std::move(handler)});
  return id;
}

void RemoveModalPhaseHandler(int id) {
  std::erase_if(gHandlers, [id](const THandler& h) { return h.Id == id; });
}

void SetModalAppHooks(TModalAppHooks hooks) { gHooks = std::move(hooks); }

HWND ModalOwnerWindow() {
  if (gHooks.ActiveFormHandle) return gHooks.ActiveFormHandle();
  return GetActiveWindow();
}

void ShowModalHelp(int context) {
  if (context != 0 && gHooks.ShowHelpContext) gHooks.ShowHelpContext(context);
}

namespace {

struct TDisableRun {
  HWND Keep;
  TTaskWindowList Disabled;
};

BOOL CALLBACK DisableOne(HWND wnd, LPARAM param) {
  auto* run = reinterpret_cast<TDisableRun*>(param);
  if (wnd != run->Keep && IsWindowVisible(wnd) && IsWindowEnabled(wnd)) {
    EnableWindow(wnd, FALSE);
    run->Disabled.push_back(wnd);
  }
  return TRUE;
}

}  // namespace

TTaskWindowList DisableTaskWindows(HWND keep) {
  TDisableRun run{keep, {}};
  // Top-level windows of this thread only: the boxes are modal to the application, not to
  // other programs' windows.
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&run));
  return std::move(run.Disabled);
}

void EnableTaskWindows(TTaskWindowList& windows) {
  for (HWND wnd : windows)
    if (IsWindow(wnd)) EnableWindow(wnd, TRUE);
  windows.clear();
}
