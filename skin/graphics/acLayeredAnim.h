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
class TsSkinProvider;
class TacDialogWnd;

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

// ---------------------------------------------------------------------------
// Frame geometry of the show animations and the skin-change transition
// ---------------------------------------------------------------------------

// Frames paced by the animations: one every FramePeriod ms (the plain cover window of a skin
// change: every CoverFramePeriod ms).
constexpr int FramePeriod = 12;
constexpr int CoverFramePeriod = 24;

// Coordinates and alphas are reals, rounded where used to the nearest integer, ties to even
// (acThdTimer's RoundHalfEven).

// One frame: the image stretched into Dest (Unscaled: copied at (0, 0) as it is; fading:
// copied once, Dest whole) and pushed at the constant alpha Alpha. Current is the unrounded
// alpha (the transition fades its old border window by it).
struct TacShowFrame {
  int Index = 0;
  TRect Dest;
  bool Unscaled = false;
  std::uint8_t Alpha = 0;
  double Current = 0;
};

// The frames 0 .. Frames of one animation of a Width x Height image towards the constant
// alpha Alpha. The alpha grows by Alpha / Frames (forms and the transition) or
// Alpha / (Frames + 1) (dialogs) per frame, capped at Alpha. atAero starts inset by 1/32 of the
// size on each side and grows to the whole image at the last frame; atDropDown shows the image
// opaque, squeezed between the top and a bottom edge that moves H/2, 3H/4, 7H/8 ... down, and
// ends when the step has fallen below 2 pixels.
class TacShowFrames {
public:
  TacShowFrames(int Width, int Height, int Frames, std::uint8_t Alpha, TacAnimType Mode, bool Dialog);
  // The next frame; false when the animation has no more.
  bool Next(TacShowFrame& Frame);
  // The drop-down has reached its end: the frame just given was its last.
  bool Ended() const { return FEnded; }

private:
  int FWidth, FHeight, FFrames;
  double FMaxAlpha, FStep, FCurrent = 0;
  TacAnimType FMode;
  int FIndex = 0;
  bool FEnded = false;
  double FL = 0, FT = 0, FR = 0, FB = 0, FDX = 0, FDY = 0, FDropStep = 0;
};

// Draws frame F of Image into Frame, which keeps the frames before (a larger one covers
// them): fading copies the image once, the others stretch it into F.Dest (COLORONCOLOR).
void DrawShowFrame(TBitmap* Frame, TBitmap* Image, const TacShowFrame& F, TacAnimType Mode);

// The constant alpha of the old border window while the new one fades in to Alpha: opaque for
// the first two thirds, gone in the last third.
std::uint8_t OldBorderAlpha(std::uint8_t Alpha, double Current);
// The weights of the cover window's cross-fade (255: the capture, 0: the new image) over
// Frames frames; none for Frames 0.
std::vector<std::uint8_t> CoverFadeWeights(int Frames);

// ---------------------------------------------------------------------------
// Show animations
// ---------------------------------------------------------------------------

// Plays the first show of the provider's form on a layered animation window, Time ms long
// (one frame every 12 ms), towards the form's final constant alpha Alpha, then shows the form
// in its place. Nothing for a provider without skin state or an iconic form; nothing is
// animated when the skin state has no cache bitmap. The animation window (and the flag) end
// on every way out; a form already made see-through gets its final transparency then too.
void AnimShowSkinForm(TsSkinProvider* Provider, std::uint16_t Time, std::uint8_t Alpha, TacAnimType Mode);
// The same for a skinned system dialog.
void AnimShowSkinDialog(TacDialogWnd* Dialog, std::uint16_t Time, std::uint8_t Alpha, TacAnimType Mode);
