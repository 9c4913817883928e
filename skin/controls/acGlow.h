#pragma once
// Hover glows of skinned controls, as far as the per-control skin state shows and releases
// them. The glow windows come with the skinned controls' own work.
#include <windows.h>

#include <string>

#include "platform/ui/Graphics.h"
#include "skin/graphics/acThdTimer.h"

class TsCommonData;

// Hides and frees the glow with that identifier and sets GlowID to -1; nothing for -1.
void ReleaseGlowById(int& GlowID, bool Animate);
// Shows a glow around RealRect (screen) from the image MaskPrefix + "0" of the section (the
// state's section when SkinSection is empty); its identifier, or -1 when none is shown.
// Filled later with the glow windows: so far none is shown.
int ShowGlowEffect(const TRect& RealRect, const std::wstring& SkinSection, const std::wstring& MaskPrefix,
                   TsCommonData* State, HWND Wnd, std::uint8_t Alpha, int Margin);
// Starts the fade of a skinned state's cache from its old look to its new one. Filled later
// with the animations: so far the owner is repainted at once.
void AnimateStateChange(TsCommonData* State, int Glow, TacAnimProc StepProc, bool ShowGlow, int Param, bool Animate);

// Frees every glow of the process (their windows too when asked) and sets each owner's
// GlowID to -1. Filled with the glow windows: so far there is no glow to free.
void ReleaseAllGlows(bool FreeWindows = false);
