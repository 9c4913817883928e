#pragma once
// Show animations of skinned forms and dialogs, the flag that tells all painting code that
// an animation paints, and the layered-window routines the engine's animations share.
// Every push to a layered window goes through UpdateLayeredWindowEntry and
// SetLayeredWindowAttributesEntry, every frame wait through WaitUntilTick and every tick
// through CurrentTickCount, so tests can watch the frames and run them on a clock of
// their own.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/ui/Graphics.h"

class TBitmap;

// How a window comes and goes: fading, zooming from slightly inside its bounds, or
// dropping down from its top edge.
enum TacAnimType { atFading, atAero, atDropDown };

// True while a show, hide or skin-change animation paints: every repaint path of the engine
// skips or defers its work meanwhile. UI thread only. Set it through TacAnimationGuard only.
extern bool AnimationInProgress;

// Sets AnimationInProgress for a scope and gives back the value it had on every way out
// (also by an exception). An animation that runs inside another one (a form shown during a
// skin change) thus leaves the flag as the outer one needs it. Restore gives the value back
// early (the point where an animation "ends" before its own clean-up); later restores do
// nothing.
class TacAnimationGuard {
public:
  enum TKeep { Keep };
  // Saves the flag and sets it to Value.
  explicit TacAnimationGuard(bool Value = true) : FWas(AnimationInProgress) { AnimationInProgress = Value; }
  // Saves the flag and leaves it as it is (code that sets it later under this guard).
  explicit TacAnimationGuard(TKeep) : FWas(AnimationInProgress) {}
  ~TacAnimationGuard() { Restore(); }
  TacAnimationGuard(const TacAnimationGuard&) = delete;
  TacAnimationGuard& operator=(const TacAnimationGuard&) = delete;
  void Restore() {
    if (FArmed) AnimationInProgress = FWas;
    FArmed = false;
  }
  bool Was() const { return FWas; }

private:
  bool FWas;
  bool FArmed = true;
};

// The ShowWindow command that shows a form in each of its window states (wsNormal,
// wsMinimized, wsMaximized).
extern const int ShowCommands[3];

// Enable with layered windows available: the window becomes layered (when it was not) with
// the constant alpha; true only when this call made it layered. Otherwise (disabling, or no
// layered windows) the window loses WS_VISIBLE (style word only, nothing redrawn) and
// WS_EX_LAYERED, and the answer is false.
bool SetLayeredAlpha(HWND Wnd, bool Enable, std::uint8_t Alpha);
// Shows Bmp (a blank bitmap of the window's size for nullptr) on the layered window at the
// constant Alpha, at Point when given (else where it is). The pixels go over as they are,
// already premultiplied by the caller. Nothing without layered windows.
void ShowBitmapLayered(HWND Wnd, TBitmap* Bmp, std::uint8_t Alpha, const TPoint* Point = nullptr);
// Each rectangle of the bitmap, clipped to it, becomes colour 0 with alpha 0: the see-through
// corners of a window that is not rectangular.
void ClearRectsInBitmap(const std::vector<TRect>& Rects, TBitmap* Bmp);
