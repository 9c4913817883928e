#include "skin/handlers/acDials.h"

// Filled later with the window handlers (see the header).
bool SkinNewTopWindow(HWND Wnd, void* Info) {
  (void)Wnd;
  (void)Info;
  return false;
}

std::vector<TacProvider*>* HookedProviders = nullptr;

LRESULT CALLBACK DialogCbtHookProc(int Code, WPARAM WParam, LPARAM LParam) {
  return CallNextHookEx(nullptr, Code, WParam, LParam);
}

void FreeMenuWindows() {}
