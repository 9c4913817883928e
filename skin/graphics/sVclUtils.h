#pragma once
// Window and control helpers of the skin engine: the skin's colour for a system colour,
// mouse hit tests, ancestor windows, iteration over child controls, pixel densities, monitor
// work areas, a plain hint text near a point, text-drawing flags and the space aligned
// children take. Also the unit's binding of uxtheme (visual styles, SetWindowTheme).
#include <windows.h>

#include <functional>
#include <string>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TComponent;
class TControl;
class TForm;
class THintWindow;
class TWinControl;
class TsSkinManager;

// The cursor in screen coordinates; (0, 0) when it cannot be read.
TPoint CursorPosition();

// The skin's colour for a system colour or a library colour constant. A colour that is not
// negative comes back as ColorToRGB gives it. Without a manager that is active or changing
// its skin (Manager nullptr: the default one), a negative colour gives its low 24 bits when
// they exceed 100 (the library constants carry their plain colour there), else its system
// colour. With a skin: the palette slot or the FORMTITLE / HINT state colour that stands for
// it (the palette when the skin lacks the section), or a blend of palette slots.
TColor SkinColorOf(TColor Color, const TsSkinManager* Manager = nullptr);

// The top-most ancestor by GetParent (the window itself when it has no parent).
HWND TopParentWindow(HWND Wnd);
// W is P or one of its descendants (by GetParent).
bool IsWindowWithin(HWND W, HWND P);
// The window is visible and the cursor lies in its visible area (a simple clip box only).
bool IsMouseOverWindow(HWND Wnd);
// The control is visible and the cursor is over it: for a windowed control within its window
// and over it or one of its descendants; for a graphic control within its bounds and its
// parent's visible area. While a modal phase runs, a graphic control counts only on the
// active form, a pop-up form, or (without form) under an enabled top-level window.
bool IsMouseOverControl(TControl* Control);
// The default manager's hot graphic control when one is set; otherwise the framework's
// windowed control under the cursor, or its last visible child whose bounds hold the cursor.
TControl* ControlUnderMouse();
// Proc for every child of Parent, depth first (a windowed child's children right after it).
void ForEachChildControl(TWinControl* Parent, const std::function<void(TControl* Child)>& Proc);

// Shows Text in a hint window below and right of Point (screen), kept inside the work area of
// the monitor under Point. The hints component in charge (ActiveAlphaHints) shows it (its
// window is returned, and stays the component's); an empty text shows nothing (nullptr); otherwise a new hint window
// of the application's hint-window class, which the caller owns and frees.
THintWindow* ShowHintText(const std::wstring& Text, TPoint Point);
// The work area of the monitor that holds the form (the nearest one; empty without form).
TRect FormMonitorWorkArea(TForm* Form);
// The work area of the first monitor whose work area holds R's top-left point; empty when none.
TRect WorkAreaAtPoint(const TRect& R);

// Pixels per inch of the monitor nearest to the window's centre (Windows 8.1 and later;
// 96 when there is none), else the screen's LOGPIXELSY.
int WindowPPI(HWND Wnd);
// A windowed control with a window: WindowPPI; without one: 96 (no window is made); another
// control: the monitor nearest to its centre on screen; nullptr: the screen's LOGPIXELSY.
int ControlPPI(TControl* Control);
// ControlPPI of the application's main form, else of the application's first form.
int MainFormPPI();
// Lets Windows scale the non-client area of a window with its monitor's density, where the
// system offers it (user32's EnableNonClientDpiScaling); failures are ignored.
void EnableNonClientScaling(HWND Wnd);
// Whether Font differs from what the control would inherit: its parent's font (with the
// control's own colour unless CompareParentColor), or a default font without a parent.
bool FontDiffersFromParent(TControl* Control, const TFont& Font, bool CompareParentColor);
// The control exists, has a parent, has a window when it is windowed (none is made here), and
// is not loading, reading, being destroyed or having its window made.
bool ControlIsReady(TControl* Control);
// The first form in the owner chain, the component itself included; nullptr when none.
TForm* OwnerFormOf(TComponent* Component);
// DrawText flags of an alignment (vertically centred, tabs expanded) in the control's
// reading order.
unsigned TextFlagsOf(TControl* Control, TAlignment Alignment);
// The client rectangle in window coordinates.
TRect ClientRectInWindow(HWND Wnd);
// The window's class name (at most 128 characters).
std::wstring WindowClassName(HWND Wnd);
// Heights (alTop, alBottom) or widths (alLeft, alRight) of Parent's visible children aligned
// so, graphic ones only WithGraphic; 0 for other alignments.
int AlignedChildrenSize(TWinControl* Parent, TAlign Alignment, bool WithGraphic);
// Whether the platform's visual styles are in use.
bool StyleServicesEnabled();
// uxtheme's SetWindowTheme where it could be bound, else E_NOTIMPL.
HRESULT CallSetWindowTheme(HWND Wnd, LPCWSTR SubAppName, LPCWSTR SubIdList);

// The unit's start-up (style services cached, uxtheme bound) and clean-up (uxtheme released);
// both run by themselves with the program and may be run again.
void VclUtilsUnitStartup();
void VclUtilsUnitCleanup();
