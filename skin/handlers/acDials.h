#pragma once
// Skinning of top-level windows the engine did not create (system dialogs, foreign forms).
#include <windows.h>

// Decides whether a new top-level window is skinned by the default manager and takes it
// over; true when the window counts as handled. Filled later with the window handlers:
// so far no window is taken over.
bool SkinNewTopWindow(HWND Wnd, void* Info = nullptr);
