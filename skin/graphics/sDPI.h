#pragma once
// Pixel densities and the engine's four scale steps (96, 120, 144 and 192 pixels per inch),
// and the system's non-client metrics for a density, so caption fonts match the monitor a
// form is on.
#include <windows.h>

// 0 up to 110 pixels per inch, 1 up to 134, 2 up to 170, 3 above.
int PPIToScaleIndex(unsigned ppi);
// Value at step 1: + 1/4, step 2: + 1/2, step 3: * 2 (divisions truncate toward zero); any
// other index leaves it unchanged.
int ScaleByPPIIndex(int value, int index);
// Value * PPI div 96 in 32-bit signed arithmetic, truncating toward zero.
int ScaleByPPI(int value, int ppi);

// Windows 8.1 or later (the program's manifest lets the version query see it).
bool IsWin81OrLater();
// SystemParametersInfoForDpi on Windows 8.1 and later when the system has it, falling back
// to SystemParametersInfoW when it is missing or fails; never writes the user profile.
bool SystemParametersInfoDpi(UINT action, UINT param, void* data, unsigned ppi);
// The caption font height for a density, at most -11 (font heights are negative, so at least
// 11 pixels); 0 when the metrics cannot be read.
int CaptionFontHeight(unsigned ppi);
// A new font like the caption font for a density; the caller deletes it. 0 on failure.
HFONT CreateCaptionFont(unsigned ppi);
