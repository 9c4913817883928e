#pragma once
// Replaceable entry points of the desktop window manager (dwmapi.dll) and a resettable
// composition answer, beside SetDwmCompositionOverride of Graphics.h. The engine resolves
// each entry through DwmEntryPoint, so a test can stand in for the taskbar's side of
// thumbnails, previews and blur without a composing desktop.
#include <windows.h>

#include <string>

// The entry point Name of the loaded DWM library Dwm: the stand-in set for the name when
// there is one, else the library's export (nullptr without library or export).
FARPROC DwmEntryPoint(HMODULE Dwm, const char* Name);
// Sets (Entry) or removes (nullptr) the stand-in for the entry point Name.
void SetDwmEntryOverride(const char* Name, FARPROC Entry);
// Removes every stand-in.
void ClearDwmEntryOverrides();
// True while any stand-in is set (the engine treats the library as present then).
bool DwmEntryOverridesSet();
// Forgets the composition answer kept by IsDwmCompositionOn: the next call asks the system
// again (after a composition change the system announced).
void ResetDwmCompositionAnswer();
