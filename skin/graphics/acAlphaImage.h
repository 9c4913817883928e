#pragma once
// Images drawn with alpha or through their masks onto the engine's 32-bit work bitmaps.
// Only the entry the nine-slice painter needs is declared yet; it draws nothing until the
// alpha-image drawing is built (the rest of the unit comes with it).
#include "platform/ui/Graphics.h"
#include "skin/graphics/sGraphUtils.h"

struct TsMaskData;

// The image SrcRect of Src (its mask half the image's R below) mixed into DstRect of Dst
// (both exclusive); key pixels take the background of CacheInfo when UseBackground.
// Filled later: draws nothing so far.
void DrawImageThroughMask(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src,
                          const TCacheInfo& cacheInfo, bool useBackground, const TsMaskData& mask);
