#pragma once
// Small 32-bit pixel operations: byte order, single pixels, fills with colour and alpha,
// colour mixing inside a rectangle, alpha repair, premultiplication for layered windows,
// copies through the key colour, icons from 32-bit images and the disabled look.
// Every operation that walks pixels clips to the bitmap and leaves bitmaps without
// 32-bit rows alone.
#include <cstdint>

#include "platform/ui/Graphics.h"
#include "skin/graphics/sGraphUtils.h"

class TControl;
class TacSkinData;

// Weight (of 255) of a disabled glyph against its background, and the saturation change
// (in percent, -100 = grey) of the disabled look.
extern std::uint8_t DisabledBlendWeight;  // 100
extern std::int32_t DisabledSaturation;   // -90

// Bytes 0 and 2 exchanged, bytes 1 and 3 kept: TColor to pixel order and back.
inline std::uint32_t SwapRedBlue(std::uint32_t value) {
  return (value & 0xFF00FF00u) | ((value & 0xFF) << 16) | ((value >> 16) & 0xFF);
}
std::uint32_t ReverseBytes32(std::uint32_t value);
void ReverseBytes32Array(void* address, int count);

// One pixel through its row's scan line; reads outside the bitmap give 0, writes outside
// are dropped. StorePixel32 answers the row's address (nullptr when nothing was written).
std::uint32_t GetPixel32(TBitmap* bitmap, int x, int y);
void SetPixel32(TBitmap* bitmap, int x, int y, std::uint32_t value);
std::uint32_t* StorePixel32(TBitmap* bitmap, int x, int y, std::uint32_t value);
void FillDWords(std::uint32_t* address, int count, std::uint32_t value);

// Every pixel of the rectangle becomes the colour (bytes as they are, in pixel order) with
// the alpha.
void FillRectArgb(TBitmap* bitmap, const TRect& rect, TColor color, std::uint8_t alpha);
// The frame between Outer and Inner, as four FillRectArgb bands.
void FillBetweenRects(TBitmap* bitmap, const TRect& outer, const TRect& inner, TColor color, std::uint8_t alpha);
// Four opaque strips of the given thicknesses along the inside of the rectangle.
void FillInnerFrame(TBitmap* bitmap, const TRect& rect, int left, int top, int right, int bottom, TColor color);

// Right and Bottom inclusive (lowered to the last column and row): every colour channel
// c := (c * W + k * (255 - W)) >> 8 with the colour's channel k (system colours resolved).
void ColorBlendRect(TBitmap* bitmap, const TRect& rect, std::uint8_t weight, TColor color);
// c := c - (c - k) * Percent div 100 per colour channel, and alpha := Alpha.
void MixColorPercentRect(TBitmap* bitmap, const TRect& rect, TColor color, int percent, std::uint8_t alpha);

// Alpha of every pixel in the rectangle := Alpha, except pixels equal to Key
// (0x1FFFFFFF: no key).
void ApplyAlphaInRect(TBitmap* bitmap, const TRect& rect, std::uint8_t alpha, std::uint32_t key);
// A bitmap without any alpha gets one: opaque except the colour of its bottom-left pixel.
void AlphaFromCornerKey(TBitmap* bitmap);
// Colour times alpha, for a layered window. Without desktop composition near-white pixels
// are capped at 244 per channel; 0x00FFFFFF becomes 0.
void PremultiplyRect(TBitmap* bitmap, const TRect& rect);
void PremultiplyBitmap(TBitmap* bitmap);

// Copies source pixels (from SrcPoint) into Rect of Dst where the key colour stands:
// ImageIndex -1 looks at Dst itself (after clearing its alpha), any other index at the
// corner of that skin image the corner code names (14 top-right, 16 bottom-left,
// 17 bottom-right, else top-left).
void CopyThroughMaskKey(TBitmap* dst, TBitmap* src, const TRect& rect, TPoint srcPoint, int imageIndex,
                        TacSkinData* skinData, int cornerCode);

// An icon from a 32-bit image and its alpha (AND mask 255 - alpha); the caller destroys it.
HICON IconFromBitmap32(TBitmap* bitmap);

// Flags: 2 desaturates the glyph, 1 fades it into its background (the cache bitmap at
// the control's origin plus Offset, or the plain background colour).
void ApplyDisabledLook(TBitmap* bitmap, int flags, TControl* control, const TCacheInfo& cacheInfo, TPoint offset);
