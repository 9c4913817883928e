#pragma once
// Images drawn with alpha or through their masks onto the engine's 32-bit work bitmaps:
// skin images, button glyphs and pictures over what is already there, optionally tinted,
// partly transparent or with a fading reflection below, and with their see-through pixels
// (0x00FF00FF, or alpha 16 and less) taking the parent's background from a TCacheInfo.
//
// Mixing is mix(d, s, w) = (w * (s - d) + d * 256) >> 8 per colour byte. The area drawn
// by the first three routines is the smaller of the two rectangles clipped to both bitmaps;
// a negative Left or Top of one rectangle moves the other by as much.
#include "platform/ui/Graphics.h"
#include "skin/graphics/sGraphUtils.h"

struct TsMaskData;

// SrcRect of Src by its alpha into DstRect of Dst. Color (clNone: none) tints the image by
// its brightness; Transparency (percent) weakens it; Reflection adds a fading mirror image
// below DstRect. Src is switched to 32 bits first.
void DrawImageAlpha(const TRect& DstRect, const TRect& SrcRect, TBitmap* Dst, TBitmap* Src,
                    const TCacheInfo& CacheInfo, bool UseBackground, TColor Color, int Transparency,
                    bool Reflection);
// SrcRect of Src by its alpha into DstRect of Dst; with a ready cache its key pixels take
// the background (when UseBackground) instead.
void DrawAlphaImageOverBackground(const TRect& DstRect, const TRect& SrcRect, TBitmap* Dst, TBitmap* Src,
                                  const TCacheInfo& CacheInfo, bool UseBackground);
// The image SrcRect of Src mixed into DstRect of Dst through its grey mask, which lies half
// the image's R (of Mask) lower: mask 255 keeps the destination, 0 gives the image. Key
// pixels take the background (with a ready cache) or the fill colour when UseBackground.
void DrawImageThroughMask(const TRect& DstRect, const TRect& SrcRect, TBitmap* Dst, TBitmap* Src,
                          const TCacheInfo& CacheInfo, bool UseBackground, const TsMaskData& Mask);
// Bmp drawn onto the canvas at R: 32-bit bitmaps by their alpha (stretched to R when of
// another size; Reflection only at their own size), others by the platform.
void DrawAlphaBitmapOnCanvas(TCanvas* Canvas, TBitmap* Bmp, const TRect& R, bool Reflection);
// The cell of a glyph strip of NumGlyphs cells to use: Mode 0 the first, 1 the hot cell,
// 2 the cell of State (or a fallback), 3 the third; -1 for an unknown Mode.
// Sixteen-colour glyphs and the manager's StdGlyphsOrder keep the standard order.
int GlyphCellIndex(int NumGlyphs, bool UseStateCell, int Mode, int State, bool SixteenColors, bool StdGlyphsOrder);
// One cell of a multi-cell button glyph at R's top-left, transparent where the cell shows
// its bottom-left colour; Blend (percent) weakens it; Reflected lifts it and adds its
// mirror image below.
void DrawButtonGlyphCell(TBitmap* Glyph, TBitmap* Dst, TRect R, int NumGlyphs, bool UseStateCell, int Mode, int Blend,
                         int State, bool Reflected);
// The cell SrcRect (inclusive) of Src upside down at DstPoint of Dst, fading out downwards;
// pixels equal to Key are passed over.
void DrawGlyphReflection(TBitmap* Dst, TBitmap* Src, TPoint DstPoint, TRect SrcRect, TColor Key, int Blend);
// R of Bmp tinted towards Color by Level (percent) in the middle, less and less towards a
// soft rounded edge FrameWidth wide whose outermost ring keeps the pixels.
void PaintSoftRoundFrame(TBitmap* Bmp, const TRect& R, int Level, TColor Color, int FrameWidth, int Radius);
