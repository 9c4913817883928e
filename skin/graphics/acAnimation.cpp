#include "skin/graphics/acAnimation.h"

bool AnimationInProgress = false;

void AnimateSkinChange(TControl* Control, std::uint16_t Time, std::uint8_t Alpha, bool Zoom) {
  (void)Control;
  (void)Time;
  (void)Alpha;
  (void)Zoom;
}

void ShowBitmapLayered(HWND Wnd, TBitmap* Bmp, std::uint8_t Alpha, const TPoint* Point) {
  (void)Wnd;
  (void)Bmp;
  (void)Alpha;
  (void)Point;
}

// ---- reached by the skin manager's application-window hook (see the header) ----
bool SetLayeredAlpha(HWND Wnd, bool Enable, std::uint8_t Alpha) {
  (void)Wnd;
  (void)Enable;
  (void)Alpha;
  return false;
}

void AnimHideSkinForm(TsSkinProvider* Provider) { (void)Provider; }
// ---- end of the application-window hook's block ----
