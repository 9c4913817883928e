#pragma once
// Pixel blending of work bitmaps and the copies through the key colour: an image over a
// background by its alpha, a layer over another by a fixed weight, glyphs transparent
// where they show 0xFF00FF, a colour through a mask, and the two forms of skin images
// (image over a grey mask, or image with alpha).
//
// Mixing is integer arithmetic with the divisor 256, truncated: mix(d, s, w) =
// (w * (s - d) + d * 256) >> 8 moves d towards s by w/256 (w = 255 stops one short).
// Source rectangles marked inclusive take Right and Bottom as the last column and row,
// clipped to the source's last column and row. Every rectangle is clipped to every
// bitmap it touches.
#include <cstdint>
#include <memory>

#include "platform/ui/Graphics.h"
#include "skin/graphics/sGraphUtils.h"

// Src pixels unequal to Key (pixel order) to (X, Y) of Dst, every byte (alpha too)
// d := ((255 - DstWeight) * s + DstWeight * d) >> 8. SrcRect inclusive; a negative
// Left or Top moves the destination by what is cut off.
void CopyExceptKey(TBitmap* dst, int x, int y, TBitmap* src, const TRect& srcRect, std::uint8_t dstWeight,
                   std::uint32_t key);
// All Src pixels unequal to Key (a TColor, compared as 0x00BBGGRR turned to pixel order)
// to (X, Y) of Dst, made opaque.
void PasteExceptKey(TBitmap* dst, TBitmap* src, int x, int y, TColor key);
// Src pixels to (X, Y); key pixels (pixel order) take what lies behind: the cache bitmap
// (when UseBackground and it is ready), nothing (ready otherwise) or its fill colour.
void CopyWithKeyBackground(TBitmap* dst, TBitmap* src, int x, int y, const TRect& srcRect, std::uint32_t key,
                           const TCacheInfo& cacheInfo, bool useBackground);
// Src pixels unequal to Key into Dst: whole with Weight 0, else colour bytes
// mix(d, s, Weight) with Dst's alpha kept. SrcRect inclusive.
void MixExceptKey(TBitmap* dst, TBitmap* src, int x, int y, const TRect& srcRect, TColor key, std::uint8_t weight);
// Every pixel except 0x00FF00FF: c := (c * W + colour * (255 - W)) >> 8; alpha kept.
void BlendBitmapWithColor(TBitmap* bmp, std::uint8_t weight, TColor color);
// Bmp towards Color through Mask (same size): mask 255 keeps the pixel, 0 gives the colour.
void ColorizeByMask(TBitmap* bmp, TBitmap* mask, TColor color);
// Src over Dst (same size) by Src's alpha; Dst's alpha kept.
void BlendBitmapOver(TBitmap* dst, TBitmap* src);
// A rectangle of Src (inclusive) into Dst at DstPoint, every byte
// d := (DstWeight * (d - s) + s * 256) >> 8: weight 0 takes the source, 255 keeps Dst
// less one step.
void BlendBitmapRect(TBitmap* dst, TBitmap* src, std::uint8_t dstWeight, const TRect& srcRect, TPoint dstPoint);
// A rectangle of Src (inclusive) over Dst at DstPoint by Src's alpha times Opacity;
// Dst's alpha never falls.
void AlphaBlendRect(TBitmap* dst, TBitmap* src, const TRect& srcRect, TPoint dstPoint, std::uint8_t opacity);
// Src's rectangle stretched to DstW x DstH (nearest pixel) and blended at (X, Y) like
// AlphaBlendRect.
void StretchAlphaBlend(TBitmap* dst, int x, int y, int dstW, int dstH, TBitmap* src, int srcX, int srcY, int srcW,
                       int srcH, std::uint8_t opacity);
// Dst := mix of A and B (same size): colour bytes (w * (A - B) + B * 256) >> 8 with
// w = Weight (0 gives B, 256 gives A) or, with a Mask, the mask's byte of that channel.
void MixTwoBitmaps(TBitmap* dst, TBitmap* a, TBitmap* b, TBitmap* mask, std::uint16_t weight);
// Color (and BackColor, unless clNone) painted into Dst at Point through Mask: dark mask
// pixels give Color. A 32-bit mask without BackColor works by its alpha.
void PaintColorByMask(TBitmap* dst, TBitmap* mask, TPoint point, TColor color, TColor backColor);
// A work bitmap of R's upper half with alpha 255 - red of the lower half; nullptr when empty.
std::unique_ptr<TBitmap> AlphaImageFromMasked(TBitmap* bmp, const TRect& r);
// A work bitmap twice as high: the image on top, a grey mask of 255 - alpha below.
std::unique_ptr<TBitmap> MaskedImageFromAlpha(TBitmap* bmp);
