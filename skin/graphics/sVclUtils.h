#pragma once
// Window and control helpers of the skin engine. Only the density and readiness questions
// are here yet; the rest of the unit (skin colours, mouse tests, work areas, hints...) comes
// with its own work.
#include <windows.h>

#include "platform/ui/Graphics.h"

class TControl;
class TsSkinManager;

// Pixels per inch of the monitor nearest to the window's centre (Windows 8.1 and later;
// 96 when there is none), else the screen's LOGPIXELSY.
int WindowPPI(HWND Wnd);
// A windowed control with a window: WindowPPI; without one: 96 (no window is made); another
// control: the monitor nearest to its centre on screen; nullptr: the screen's LOGPIXELSY.
int ControlPPI(TControl* Control);
// ControlPPI of the application's main form, else of the application's first form.
int MainFormPPI();
// The control exists, has a parent, has a window when it is windowed (none is made here), and
// is not loading, reading, being destroyed or having its window made.
bool ControlIsReady(TControl* Control);

// W is P or one of its descendants (by GetParent).
bool IsWindowWithin(HWND W, HWND P);
// The control is visible and the cursor is over it. Filled later with the mouse tests: so
// far always false.
bool IsMouseOverControl(TControl* Control);
// The control under the cursor. Filled later with the mouse tests: so far nullptr.
TControl* ControlUnderMouse();
// Whether the platform's visual styles are in use. Filled later: so far false.
bool StyleServicesEnabled();
// uxtheme's SetWindowTheme where it can be bound, else E_NOTIMPL. Filled later with the
// unit's start-up binding: so far E_NOTIMPL.
HRESULT CallSetWindowTheme(HWND Wnd, LPCWSTR SubAppName, LPCWSTR SubIdList);

// The skin's colour for a system colour or a library colour constant. Filled later with the
// skin's colour table: so far the library main colour gives the palette's main colour (its
// low 24 bits without a manager), and every other colour is answered as ColorToRGB gives it.
TColor SkinColorOf(TColor Color, const TsSkinManager* Manager = nullptr);
