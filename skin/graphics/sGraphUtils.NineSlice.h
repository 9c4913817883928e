#pragma once
// Skin images painted into 32-bit bitmaps: a state cell cut into nine pieces and fitted to
// any rectangle (corners kept, sides and centre tiled or stretched), the masked pieces
// and masked textures of such images, and glyph cells drawn at their natural size.
//
// A skin image (TsMaskData) holds ImageCount cells side by side in R of its own bitmap or
// of its manager's master bitmap; a masked image keeps each cell's grey mask below it. Every
// read and write here stays inside both bitmaps, whatever rectangles the skin gives.
#include <cstdint>
#include <memory>

#include "platform/ui/Graphics.h"
#include "skin/graphics/sGraphUtils.h"

struct TsMaskData;

// The engine-wide empty background: nothing known behind the control.
extern const TCacheInfo EmptyCacheInfo;

// A 32-bit work bitmap of at least Width x Height for one painting call, taken from the few
// kept between calls on this thread and given back when it goes out of scope (also when
// painting raises). Fresh bitmap memory costs more to touch the first time than painting
// a screenful into it. With Clear the Width x Height area starts as in a new bitmap (white,
// alpha 0); painters use only that area, the rest may hold anything.
class TWorkBitmap {
public:
  TWorkBitmap(int width, int height, bool clear);
  ~TWorkBitmap();
  TWorkBitmap(const TWorkBitmap&) = delete;
  TWorkBitmap& operator=(const TWorkBitmap&) = delete;
  TBitmap* get() const { return FBmp.get(); }
  TBitmap* operator->() const { return FBmp.get(); }
  bool Empty() const { return !FBmp || FBmp->Empty(); }

private:
  std::unique_ptr<TBitmap> FBmp;
};

// The cell of State (cells past ImageCount take the last, a negative state or an image
// without cells the first) fitted into R (right and bottom exclusive) of Bmp. Key-colour
// corners show the background CacheInfo describes when UpdateCorners and the image's
// loader found key corners (Cfg bits 0 and 1). Stretched images leave the bitmap's canvas
// in the COLORONCOLOR stretch mode.
void PaintMaskNineSlice(TBitmap* bmp, const TRect& r, const TCacheInfo& cacheInfo, const TsMaskData& mask, int state,
                        bool updateCorners);
// The masked piece (SrcX, SrcY, SrcW x SrcH; its mask MaskOffset rows below) scaled into
// (X, Y, W x H) of Dst: mask 0 gives the image, 255 keeps Dst; the pixels become opaque.
// MaskOffset 0 is a plain stretch. Smooth (or a source shrunk along one side only) takes the
// filtered resampling.
void StretchMaskedPiece(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH, TBitmap* dst, TBitmap* src,
                        int maskOffset, bool smooth);
// A masked image of the master bitmap (SrcRect) into DstRect of Dst through its mask (half
// the image's R below); key pixels take CacheInfo's fill colour or ready background.
void CopyMaskedFromMaster(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, const TCacheInfo& cacheInfo,
                          const TsMaskData& mask);

// The cell of State drawn at Point of Bmp: Mode 1 normally, any other faded for a disabled
// control. CacheInfo gives key-colour images of the master bitmap their background in mode
// 1. A point left of or above the bitmap cuts the image at the edge.
void DrawMaskStateImage(TBitmap* bmp, TPoint point, int state, int mode, const TsMaskData& mask,
                        const TCacheInfo& cacheInfo);
// One cell (SrcRect of Src, inclusive) to DstRect of Dst (inclusive) by the image's kind:
// masked, alpha or key colour.
void DrawMaskCell(const TRect& dstRectIncl, const TRect& srcRectIncl, TBitmap* dst, TBitmap* src, int mode,
                  const TsMaskData& mask);

// Layered windows: PaintMaskNineSlice in the form whose alpha is right everywhere. Key
// corners always show the background CacheInfo describes (without a ready one they keep
// their colour at alpha 0); tiles of alpha images replace the pixels, alpha included;
// masked pieces leave their colour with alpha 255 - mask red where the destination was
// clear, and never lower an alpha.
void PaintMaskNineSliceLayered(TBitmap* bmp, const TRect& r, const TCacheInfo& cacheInfo, const TsMaskData& mask,
                               int state);
// A masked image (SrcRect of Src, its mask R's height div 2 below) through its mask into
// DstRect of Dst (both exclusive; the smaller size, kept inside both bitmaps) for a layered
// window: colour (d * m + s * (255 - m)) >> 8 with the mask red m, alpha the larger of its
// own and 255 - m. Key pixels take a ready CacheInfo's pixel, or else only alpha 0.
void CopyMaskedLayered(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src,
                       const TCacheInfo& cacheInfo, const TsMaskData& mask);
// StretchMaskedPiece for a layered window: the mask resampled by Hermite, mask 0 gives the
// opaque image, 255 keeps Dst, others mix and raise the alpha to at least 255 - mask.
void StretchMaskedPieceLayered(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH, TBitmap* dst,
                               TBitmap* src, int maskOffset, bool smooth);

// An outer effect image (a shadow around a body) painted nine-slice into R of Bmp (the body
// plus the effect): its sides reach only as deep into the image as Overhang (left, top,
// right, bottom; negative as 0) says, taking the outer part of their margins, and pixels
// are weighted by Opacity (255 opaque). A masked image never paints its centre; an alpha
// image paints it with DrawMode bit 0x04; a key-colour image paints as PaintMaskNineSlice
// with its corners seeing through, whatever the overhang and opacity.
void PaintMaskNineSliceAlpha(TBitmap* bmp, const TRect& r, const TCacheInfo& cacheInfo, const TsMaskData& mask,
                             int state, const TRect& overhang, std::uint8_t opacity);
// CopyMaskedLayered weighted by Opacity: the mask's cover times the opacity mixes the
// colour, and a clear destination takes that as its alpha.
void CopyMaskedOpacity(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src,
                       const TCacheInfo& cacheInfo, const TsMaskData& mask, std::uint8_t opacity);
// StretchMaskedPieceLayered weighted by Opacity; under a black mask the alpha comes from the
// mask pixel's own alpha byte.
void StretchMaskedPieceOpacity(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH, TBitmap* dst,
                               TBitmap* src, int maskOffset, std::uint8_t opacity, bool smooth);
