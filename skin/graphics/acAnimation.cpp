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
