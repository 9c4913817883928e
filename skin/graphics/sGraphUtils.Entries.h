#pragma once
// The optional drawing entry points of the graphics unit, looked up by name when the
// process starts: the layered-window functions of user32 (show, hide and skin-change
// animations, glow and border windows, hints) and the mirroring layout functions of gdi32
// (right-to-left painting). Each is empty when the system lacks it; every user tests it
// (or LayeredWindowsAvailable) and leaves its effect out.
#include <windows.h>

using TSetLayoutEntry = DWORD(WINAPI*)(HDC, DWORD);
using TGetLayoutEntry = DWORD(WINAPI*)(HDC);
using TUpdateLayeredWindowEntry = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                BLENDFUNCTION*, DWORD);
using TSetLayeredWindowAttributesEntry = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

extern TSetLayoutEntry SetLayoutEntry;
extern TGetLayoutEntry GetLayoutEntry;
extern TUpdateLayeredWindowEntry UpdateLayeredWindowEntry;
extern TSetLayeredWindowAttributesEntry SetLayeredWindowAttributesEntry;

// True when UpdateLayeredWindow was found.
bool LayeredWindowsAvailable();
// SetLayout on the DC when the system has it; nothing otherwise.
void SetDCLayout(HDC dc, DWORD layout);
// GetLayout of the DC when the system has it, else 0.
DWORD GetDCLayout(HDC dc);

// Start-up and clean-up of the unit, counted: only the first start-up binds the entries
// and only the matching last clean-up releases the libraries and empties them. The unit
// starts itself when the process starts; explicit calls are for tests and for code that
// runs before static initialisation has reached this unit.
void GraphUnitStartup();
void GraphUnitCleanup();
