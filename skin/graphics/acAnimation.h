#pragma once
// Show animations of windows and the flag that tells all painting code that an animation
// paints. Only the flag is here yet; the animations come with their own unit's work.

// True while a show, hide or skin-change animation paints: every repaint path of the engine
// skips or defers its work meanwhile. UI thread only.
extern bool AnimationInProgress;
