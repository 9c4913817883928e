#pragma once
// Hover glows of skinned controls, as far as the per-control skin state releases them. The
// glow windows come with the skinned controls' own work.

// Hides and frees the glow with that identifier and sets GlowID to -1; nothing for -1.
void ReleaseGlowById(int& GlowID, bool Animate);

// Frees every glow of the process (their windows too when asked) and sets each owner's
// GlowID to -1. Filled with the glow windows: so far there is no glow to free.
void ReleaseAllGlows(bool FreeWindows = false);
