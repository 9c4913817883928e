#pragma once
// Arrow glyphs drawn at run time for a pixel density, quarter turns and free turns of
// bitmaps, and the filtered resampling that scales skin images and masks.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/ui/Graphics.h"

// Sizes in pixels at 96 pixels per inch.
constexpr int ArrowSize = 5;
constexpr int ArrowLineWidth = 2;

// Sine and cosine of the whole degrees 0 .. 359 in single precision, filled on demand.
struct TSinCos {
  float Sin = 0;
  float Cos = 0;
};
extern TSinCos SinCosTable[360];
void FillSinCosTable();

using TAngle = std::uint16_t;  // whole degrees 0 .. 359

// Four points (top-left, top-right, bottom-right, bottom-left) turned about the middle of
// points 0 and 2.
class TPrlgram {
public:
  // Keeps the first four points (fewer when fewer are given; the rest stay at 0, 0).
  explicit TPrlgram(std::span<const TPoint> points);
  // Turns by the table entry of Angle (taken modulo 360); the table must be filled.
  void Rotate(TAngle angle);
  // Point Index rounded to integers (halves to even); (0, 0) for an index outside 0 .. 3.
  TPoint GetPoint(int index) const;

private:
  struct TPointD {
    double X = 0, Y = 0;
  };
  TPointD FPoints[4];
};

long double DegToRad(long double x);

// A solid triangle of ArrowSize scaled to PPI in the colour (converted to pixel order, its
// top byte the alpha), centred in R. Direction 0 left, 1 up, 2 right, 3 down. Nothing when
// it would touch Bmp's edges or leave it.
void DrawArrowTriangle(TBitmap* bmp, TColor color, const TRect& r, int direction, int ppi);
// An arrow glyph centred in R and blended in by alpha: styles 0 and 2 filled, 1 and 3
// outlined (FillColor the interior, clNone none); LineWidth and Size 0 take the defaults;
// with Angle the whole Bmp is then turned by Angle - 90 degrees about its middle.
void DrawScaledArrow(TBitmap* bmp, TColor color, TColor fillColor, const TRect& r, int direction, int lineWidth,
                     int angle, int size, int style, int ppi);

// Takes the bitmap and answers its turn by 90, 180 or 270 degrees (any other angle: a
// copy); the bitmap handed in is freed when a turned one is answered. A bitmap that is not
// 32-bit, or that cannot be turned, is answered as it is.
std::unique_ptr<TBitmap> RotateBitmap90(std::unique_ptr<TBitmap> bmp, int angle);

// Draws Bmp turned by Angle degrees about Center onto the DC (a parallelogram blit).
void DrawRotatedBitmap(HDC dc, TBitmap* bmp, TPoint center, int angle);

// Resampling filters: 0 box, 1 triangle, 2 Hermite, 3 bell, 4 B-spline, 5 a windowed sine
// of radius 3, 6 Mitchell.
extern const float FilterRadius[7];

// One resampling pass: for each of N targets the entries (source byte offset, weight in
// signed 16.16) of the sources it is made of; entries whose weight rounds to 0 are left
// out. Every offset lies inside the B sources.
struct TFilterEntry {
  std::intptr_t Offset;
  std::int32_t Weight;
};
struct TFilterContributions {
  int MaxEntries = 0;                // m: at most this many entries a target
  std::vector<int> Counts;           // per target
  std::vector<TFilterEntry> Entries;  // target i's entries start at i * MaxEntries
};
TFilterContributions BuildFilterContributions(int n, int b, std::intptr_t stride, int filter);
// Each target pixel (at Dst + i * DstStep) from its entries over Src: per channel the
// weighted sum, below 0 giving 0, 0xFF0001 or more giving 255, otherwise sum shr 16.
void ApplyFilterContributions(const std::uint8_t* src, std::uint8_t* dst, std::intptr_t dstStep,
                              const TFilterContributions& list);

// Dst := Src resampled to NewWidth x NewHeight with the filter (two passes through a work
// buffer; memory that cannot be had ends the call). Nothing for a size that is not positive, a source smaller than 2 x 2 or an
// unknown filter; the same size copies. Dst may be Src. A source that is not 32-bit is
// read through a 32-bit copy.
void StretchBitmapFiltered(TBitmap* src, TBitmap* dst, int newWidth, int newHeight, int filter);
