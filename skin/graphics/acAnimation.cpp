#include "skin/graphics/acAnimation.h"

void AnimateSkinChange(TControl* Control, std::uint16_t Time, std::uint8_t Alpha, bool Zoom) {
  (void)Control;
  (void)Time;
  (void)Alpha;
  (void)Zoom;
}
