#pragma once
// Senders of the library message and the small queries built on them.
// Only what the pixel routines ask for is here yet; the senders follow with the
// control model they talk to.
#include "platform/ui/Graphics.h"

class TControl;

// The background colour a control shows, as RGB; 0xFF00FF when there is no control.
TColor ControlBkColor(TControl* control);
