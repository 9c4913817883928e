#pragma once
// Skinning of top-level windows the engine did not create (system dialogs, foreign forms).
#include <windows.h>

// Decides whether a new top-level window is skinned by the default manager and takes it
// over; true when the window counts as handled. Filled later with the window handlers:
// so far no window is taken over.
bool SkinNewTopWindow(HWND Wnd, void* Info = nullptr);

#include <vector>

// The handler of a window the hook took over; its window receives the engine's messages.
class TacDialogWnd {
public:
  HWND CtrlHandle = nullptr;
};

// What the window hook makes for a form or system dialog the engine did not create: it holds
// the window's dialog handler, or none.
class TacProvider {
public:
  TacDialogWnd* DlgHandler = nullptr;
};

// The providers the window hook made; nullptr until the hook is installed (with the hooks).
// Entries may be nullptr.
extern std::vector<TacProvider*>* HookedProviders;
