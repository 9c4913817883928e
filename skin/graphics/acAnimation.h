#pragma once
// Show animations of windows and the flag that tells all painting code that an animation
// paints. Only the flag is here yet; the animations come with their own unit's work.

// True while a show, hide or skin-change animation paints: every repaint path of the engine
// skips or defers its work meanwhile. UI thread only.
extern bool AnimationInProgress;

#include <windows.h>

#include <cstdint>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TControl;
class TBitmap;

// The plain cover window of a skin change where layered windows are not available: it shows
// what is drawn into its window DC. Filled with the skin-change animation: so far only the
// class is there, so painting code can leave it out of pictures of a form.
class TOutputWindow : public TWinControl {
public:
  explicit TOutputWindow(TComponent* Owner) : TWinControl(Owner) {}
  std::wstring ClassName() const override { return L"TOutputWindow"; }
};

// Blends a form from its cover (its look before a skin change) to its new look in Time ms,
// at the form's Alpha, zooming when asked. Filled with the animations: so far nothing plays.
void AnimateSkinChange(TControl* Control, std::uint16_t Time, std::uint8_t Alpha, bool Zoom);
// Shows Bmp (or the window's own image for nullptr) on a layered window at Alpha, at Point
// when given. Filled with the animations: so far nothing is shown.
void ShowBitmapLayered(HWND Wnd, TBitmap* Bmp, std::uint8_t Alpha, const TPoint* Point = nullptr);

// ---- reached by the skin manager's application-window hook ----
class TsSkinProvider;
// Makes a window layered at Alpha (Enable) or plain again; false where layered windows are
// missing. Filled with the show animations: so far nothing changes and the answer is false.
bool SetLayeredAlpha(HWND Wnd, bool Enable, std::uint8_t Alpha);
// The hide animation of a closing form. Filled with the hide animations: so far nothing plays.
void AnimHideSkinForm(TsSkinProvider* Provider);
// ---- end of the application-window hook's block ----
