#include "skin/graphics/acPaintControls.h"

void PaintGraphicChildren(HDC, TWinControl*, TPoint, bool) {}
