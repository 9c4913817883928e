#include "skin/manager/sSkinManager.h"

void TsSkinManager::EndUpdate(bool Repaint, bool AllowAnimation) {
  if (FUpdateCount > 0) --FUpdateCount;
  // Nothing is painted yet: the skin engine announces the change to the forms here.
  (void)Repaint;
  (void)AllowAnimation;
}
