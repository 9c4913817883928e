#include "skin/handlers/acDials.h"

// Filled later with the window handlers (see the header).
bool SkinNewTopWindow(HWND Wnd, void* Info) {
  (void)Wnd;
  (void)Info;
  return false;
}

std::vector<TacProvider*>* HookedProviders = nullptr;
