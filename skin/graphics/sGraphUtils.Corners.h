#pragma once
// Repair of a control's cached skin where its border image has see-through corners: only
// the corner pixels that hold the key colour take what the parent shows behind them now.
#include <cstdint>

#include "platform/ui/Graphics.h"
#include "skin/graphics/sMessages.h"

class TsCommonData;

// Corner flags: 1 top-left, 2 bottom-left, 4 top-right, 8 bottom-right.
void RepairCacheCorners(TsCommonData* commonData, int state, std::uint8_t corners);
// Key pixels of SrcRect (inclusive) of Image, placed at (X, Y) of the control's cache.
void RepairCornerKeyed(TBitmap* image, int x, int y, TsCommonData* commonData, const TacBGInfo& info,
                       const TRect& srcRect);
// The same for a masked image: DstRect of the cache from SrcRect of Image (both exclusive).
void RepairCornerMasked(const TRect& dstRect, const TRect& srcRect, TBitmap* image, TsCommonData* commonData,
                        const TacBGInfo& info);
