#pragma once
// Skin backgrounds: a section state's colour, texture and gradient mixed with what lies
// behind a control by the state's transparency, then its corner images and nine-slice
// border, and for whole controls its tone, hue and saturation. Also the two questions by
// which a child asks its parent for that background.
//
// Offset is the place of R's top-left pixel relative to the control's origin in the
// parent's bitmap: pixel (x, y) of R lies over (CacheInfo.X + Offset.X + x - R.Left,
// CacheInfo.Y + Offset.Y + y - R.Top) of CacheInfo.Bmp. Every copy from the parent and
// every write is clipped to both bitmaps.
#include <windows.h>

#include <cstdint>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"

class TacSkinData;
class TsCommonData;
struct TsMaskData;

// Sends sub-command 34 to the window; false when nobody answered (then the window has
// painted itself into Info.DrawDC, or Info holds a fallback colour).
bool RequestBackgroundFromWindow(TacBGInfo& info, HWND wnd, bool pleaseDraw);
// The same through a control (graphic controls are asked directly); always true.
bool RequestBackgroundFromControl(TacBGInfo& info, TControl* control, bool pleaseDraw);
void CacheInfoFromBackgroundInfo(const TacBGInfo& info, TCacheInfo& cacheInfo);

// The background of a section state (Color 0xFF00FF: the skin's; any other colour fills
// plainly). TextureIndex -1 takes the state's texture; HotTextureIndex -1 is none.
void PaintSectionBackground(int skinIndex, const TCacheInfo& cacheInfo, int state, const TRect& r, TPoint offset,
                            TBitmap* bmp, TacSkinData* skinData, int textureIndex, int hotTextureIndex, TColor color);
// Background, corner images and border of a section over R (which must lie inside Bmp).
void PaintSkinSection(int skinIndex, const TCacheInfo& cacheInfo, int state, const TRect& r, TPoint offset,
                      TBitmap* bmp, TacSkinData* skinData, int textureIndex = -1, int hotTextureIndex = -1);
// PaintSkinSection into a work bitmap copied to R of the DC; the DC's state is kept.
void PaintSkinSectionOnDC(int skinIndex, const TCacheInfo& cacheInfo, int state, const TRect& r, TPoint offset,
                          HDC dc, TacSkinData* skinData);
// The whole of Bmp painted over the DC's pixels from SourcePoint (without a DC, over
// Color). Answers the section used (SkinIndex, else FallbackSkinIndex); negative: none.
int PaintSkinSectionFromDC(TBitmap* bmp, int skinIndex, int fallbackSkinIndex, int state, TacSkinData* skinData,
                           TPoint sourcePoint, TColor color, HDC dc);
// A section's background with a border image of the caller's choice.
void PaintSkinSectionPart(int skinIndex, int maskIndex, int textureIndex, const TCacheInfo& cacheInfo, int state,
                          const TRect& r, TPoint offset, TBitmap* bmp, TacSkinData* skinData);
void PaintPartBackground(int skinIndex, int textureIndex, const TCacheInfo& cacheInfo, int state, const TRect& r,
                         TPoint offset, TBitmap* bmp, TacSkinData* skinData);

// The control's section background (its own colour when it keeps a custom colour).
void PaintControlBackground(TsCommonData* commonData, const TCacheInfo& cacheInfo, int state, const TRect& r,
                            TPoint offset, TBitmap* bmp);
// The control's whole skin, then its tone, hue and saturation over all of Bmp (key pixels
// spared).
void PaintControlSkin(TsCommonData* commonData, const TCacheInfo& cacheInfo, int state, const TRect& r,
                      TPoint offset, TBitmap* bmp, bool borderFlag);
// The control's skin over the background its parent gives now; false when the parent's
// background is not ready yet.
bool PaintControlSkinOnParent(TsCommonData* commonData, TControl* parent, int state, const TRect& r, TPoint offset,
                              TBitmap* bmp, bool borderFlag);

// Layered windows: the section in its state over R of the 32-bit Bmp with its transparency
// turned into alpha, then its border (see-through border pixels show what R held before),
// and all of it premultiplied when R is the whole bitmap. The state takes the section's
// state limits (a section without states paints its first). R must lie inside Bmp.
void PaintSkinSectionLayered(int skinIndex, std::uint32_t unused, int state, const TRect& r, TPoint unusedPoint,
                             TBitmap* bmp, TacSkinData* skinData);
// The background half of it (Color 0xFF00FF: the skin's; any other: that colour, opaque).
// Transparency 100 clears the whole bitmap and leaves a part of it alone; a plain colour
// over a clear bitmap takes the state's alpha, over a painted one is mixed in.
void PaintSectionBackgroundLayered(int skinIndex, int state, const TRect& r, TBitmap* bmp, TacSkinData* skinData,
                                   TColor color);

// A texture image in its fill mode over R of Target. R comes back as the part left
// uncovered, or (-1, -1, -1, -1). An image with an empty rectangle paints nothing.
void PaintTextureTiles(TBitmap* target, TRect& r, const TsMaskData& mask, int mode);
// A masked texture (image over mask) in mode 0 or 10; see-through pixels and the strips
// no whole tile covers show CacheInfo's background.
void PaintMaskedTextureTiles(TBitmap* target, TRect& r, const TsMaskData& mask, int mode, const TCacheInfo& cacheInfo);
