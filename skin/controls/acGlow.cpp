#include "skin/controls/acGlow.h"

#include "skin/manager/sCommonData.h"

void ReleaseGlowById(int& GlowID, bool Animate) {
  (void)Animate;
  // No glow window is made yet: there is nothing to hide, only the identifier to forget.
  GlowID = -1;
}

int ShowGlowEffect(const TRect&, const std::wstring&, const std::wstring&, TsCommonData*, HWND, std::uint8_t, int) {
  return -1;
}

void AnimateStateChange(TsCommonData* State, int, TacAnimProc, bool, int, bool) {
  if (State) State->Invalidate(false);
}
void ReleaseAllGlows(bool FreeWindows) { (void)FreeWindows; }
