#pragma once
// Skin gradients: the text a skin writes them in, the points they are held as, and the
// painters that put them into a rectangle of a 32-bit bitmap (plain, per segment through
// GDI+, from the centre to the corners, or mixed with a tiled texture). Also the two
// ready-made images built on them: soft shadows and colour fades.
//
// Every painter keeps to its rectangle: gradient percents come from skin text and need not
// rise, so a segment may start or end outside the rectangle; only its rows or columns
// inside the rectangle are painted, with the colours they have along the whole segment.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/ui/Graphics.h"

using TsColor = std::uint32_t;
using TPercent = std::uint8_t;

#pragma pack(push, 1)
struct TsGradPoint {
  std::uint16_t Index = 0;  // the point's position in the array
  std::int32_t Mode = 0;    // bits below
  TsColor Color = 0;        // red in the low byte; the top byte is the alpha of GDI+ fills
  TPercent Percent = 0;     // position along the gradient, 0 to 100
};
#pragma pack(pop)
static_assert(sizeof(TsGradPoint) == 11);

using TsGradArray = std::vector<TsGradPoint>;

// Mode bits. The first point's two low bits give the direction.
constexpr std::int32_t gmDirectionMask = 0x03;
constexpr std::int32_t gmVertical = 0, gmHorizontal = 1, gmCenterCorners = 2, gmNothing = 3;
constexpr std::int32_t gmGdiPlusSegment = 0x10;  // on either end point: the segment goes through GDI+
constexpr std::int32_t gmGdiPlusPath = 0x20;     // on the first point: corners by a GDI+ path gradient

// GradientFill of msimg32, bound by the unit's counted start-up (the unit starts itself
// with the process); empty when missing. A seam: tests empty it and put it back.
using TGradientFillEntry = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
extern TGradientFillEntry GradientFillEntry;
void GradientUnitStartup();
void GradientUnitCleanup();

// The gradient of a skin text: fields separated by ';' (read as 8-bit characters). The last
// character chooses the layout: a letter gives the point count ('A' = 1, ...) with three
// fields a point (colour, percent, mode); '0' is the old layout of five fields a point
// whose third is the length of the segment that follows. Texts of 4 characters or fewer
// give an empty gradient. A field that is not a number, a missing field, or a count
// character below '@' raises EConvertError.
TsGradArray ParseGradientText(std::wstring_view text);

// Paints the gradient into Rect of the 32-bit bitmap. The first trailing integer is not
// used; the second (vertical only) moves the start down by that many rows and lengthens
// the span the percents are measured over by as much.
void PaintGradientArray(TBitmap* bitmap, const TRect& rect, const TsGradArray& gradient, int unused, int startOffset);

// A vertical or horizontal gradient mixed with the tile TexRect of the 32-bit texture
// (empty: the whole texture, whose last row and column are then left out of the tile):
// each colour channel becomes (Weight * (t - g) + g * 256) shr 8, every pixel's alpha
// Alpha. A tile that comes out empty, or a texture that is not 32-bit, leaves the gradient
// plain (same colours and alpha, no texture).
void PaintGradientWithTexture(TBitmap* bitmap, const TRect& rect, const TsGradArray& gradient, TBitmap* texture,
                              const TRect& texRect, std::uint8_t weight, std::uint8_t alpha);

// GradientFill's records: a vertex with 16-bit channels (colour byte * 256, alpha 0xFF00)
// and a triangle of three vertex indices.
void MakeTriVertex(TRIVERTEX& vertex, TColor color, TPoint point);
void MakeTriangle(GRADIENT_TRIANGLE& triangle, ULONG a, ULONG b, ULONG c);

// A new 32-bit image of a soft shadow (premultiplied, strength from Color's top byte) or,
// with Mask, of an opaque grey glow mask on white: a disc of Radius whose quarters become
// the corners of a rectangle stretched by ExtraWidth and ExtraHeight, its top edge
// TopOffset rows down. Blur 0 fades over the whole radius. Negative sizes count as 0.
std::unique_ptr<TBitmap> BuildSoftShadowBitmap(TColor color, int radius, int topOffset, int extraHeight,
                                               int extraWidth, int blur, bool mask);
// Copies columns Cx + 1 .. Cx + Radius to the last Radius columns, then column Cx into
// the ExtraWidth columns after it.
void StretchShadowColumns(TBitmap* bitmap, int cx, int radius, int extraWidth);

// Fills the bitmap with black alpha 1, then fades Color (its top byte the alpha at the
// full end) to transparent: direction 0 colour at the left, 1 at the bottom, 2 at the
// right, 3 at the top.
void PaintColorFade(TBitmap* bitmap, TColor color, int direction);
