#include "skin/controls/acGlow.h"

void ReleaseGlowById(int& GlowID, bool Animate) {
  (void)Animate;
  // No glow window is made yet: there is nothing to hide, only the identifier to forget.
  GlowID = -1;
}

void ReleaseAllGlows(bool FreeWindows) { (void)FreeWindows; }
