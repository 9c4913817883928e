#include "skin/graphics/acAlphaImage.h"

// Filled later with the alpha-image drawing; painting nothing keeps every caller safe.
void DrawImageThroughMask(const TRect&, const TRect&, TBitmap*, TBitmap*, const TCacheInfo&, bool,
                          const TsMaskData&) {}
