#pragma once
// Hover glows of skinned controls, as far as the per-control skin state releases them. The
// glow windows come with the skinned controls' own work.

// Hides and frees the glow with that identifier and sets GlowID to -1; nothing for -1.
void ReleaseGlowById(int& GlowID, bool Animate);
