#include "skin/graphics/sMessages.h"

TColor ControlBkColor(TControl* control) {
  // No control can be asked yet: the answer is the colour that means "unknown".
  (void)control;
  return 0xFF00FF;
}
