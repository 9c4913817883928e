#pragma once
// Painting of a container's graphic children onto a device context of its choice.
#include <windows.h>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

// The graphic children of Control painted onto DC at Offset (CheckVisible: only the visible
// ones). Filled later with the painting of graphic controls: so far it paints nothing.
void PaintGraphicChildren(HDC DC, TWinControl* Control, TPoint Offset, bool CheckVisible);
