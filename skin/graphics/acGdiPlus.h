#pragma once
// The few GDI+ services of the skin engine, without linking GDI+: "gdiplus.dll" is loaded
// when the process starts, its flat entry points are looked up by name (a missing one stays
// empty and every operation that needs it does nothing) and GDI+ is started once. The
// operations draw anti-aliased ellipses, arcs and lines, stretch a 32-bit bitmap into
// another with its alpha, blur a bitmap and fill rectangles with linear and path gradients.
// Colours come in as TColor (red in the low byte) and go to GDI+ with red and blue
// exchanged; what the top byte means is said with each operation.
#include <windows.h>

#include "platform/ui/Graphics.h"

namespace gdip {
// Opaque GDI+ objects and the records the flat API exchanges.
struct GpGraphics;
struct GpPen;
struct GpBrush;
struct GpImage;
struct GpBitmap;
struct GpEffect;
struct GpFontCollection;
struct GpFontFamily;
using GpStatus = int;
constexpr GpStatus Ok = 0;
using ARGB = DWORD;
struct PointF {
  float X, Y;
};
struct RectI {
  INT X, Y, Width, Height;
};
struct BitmapData {
  UINT Width;
  UINT Height;
  INT Stride;
  INT PixelFormat;
  void* Scan0;
  UINT_PTR Reserved;
};
struct StartupInput {
  UINT32 GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};
constexpr INT PixelFormat32bppARGB = 0x26200A;
constexpr UINT ImageLockModeRead = 1, ImageLockModeWrite = 2;
constexpr int UnitWorld = 0, UnitPixel = 2;
constexpr int WrapModeTile = 0, WrapModeClamp = 4;
constexpr int SmoothingModeHighQuality = 2;
constexpr int CompositingModeSourceCopy = 1;
constexpr int CompositingQualityHighSpeed = 1;
}  // namespace gdip

// The bound entry points. Process-wide, written by the unit's start-up and clean-up; tests
// replace the table (blanked = GDI+ absent, or counting fakes) and put it back.
struct TGdiPlusEntries {
  using S = gdip::GpStatus;
  using G = gdip::GpGraphics;
  S(WINAPI* GdipDrawArc)(G*, gdip::GpPen*, float, float, float, float, float, float) = nullptr;
  S(WINAPI* GdipDrawLine)(G*, gdip::GpPen*, float, float, float, float) = nullptr;
  S(WINAPI* GdipCreatePen1)(gdip::ARGB, float, int, gdip::GpPen**) = nullptr;
  S(WINAPI* GdiplusStartup)(ULONG_PTR*, const gdip::StartupInput*, void*) = nullptr;
  void(WINAPI* GdiplusShutdown)(ULONG_PTR) = nullptr;
  S(WINAPI* GdipDrawEllipse)(G*, gdip::GpPen*, float, float, float, float) = nullptr;
  S(WINAPI* GdipFillEllipse)(G*, gdip::GpBrush*, float, float, float, float) = nullptr;
  S(WINAPI* GdipFillRectangle)(G*, gdip::GpBrush*, float, float, float, float) = nullptr;
  S(WINAPI* GdipCreateFromHDC)(HDC, G**) = nullptr;
  S(WINAPI* GdipCreateSolidFill)(gdip::ARGB, gdip::GpBrush**) = nullptr;
  S(WINAPI* GdipSetSmoothingMode)(G*, int) = nullptr;
  S(WINAPI* GdipDrawImageRectRect)(G*, gdip::GpImage*, float, float, float, float, float, float, float, float, int,
                                   const void*, void*, void*) = nullptr;
  S(WINAPI* GdipCreateLineBrush)(const gdip::PointF*, const gdip::PointF*, gdip::ARGB, gdip::ARGB, int,
                                 gdip::GpBrush**) = nullptr;
  S(WINAPI* GdipSetCompositingMode)(G*, int) = nullptr;
  S(WINAPI* GdipSetCompositingQuality)(G*, int) = nullptr;
  S(WINAPI* GdipDeleteGraphics)(G*) = nullptr;
  S(WINAPI* GdipDisposeImage)(gdip::GpImage*) = nullptr;
  S(WINAPI* GdipBitmapLockBits)(gdip::GpBitmap*, const gdip::RectI*, UINT, INT, gdip::BitmapData*) = nullptr;
  S(WINAPI* GdipCreateBitmapFromScan0)(INT, INT, INT, INT, BYTE*, gdip::GpBitmap**) = nullptr;
  S(WINAPI* GdipBitmapUnlockBits)(gdip::GpBitmap*, gdip::BitmapData*) = nullptr;
  S(WINAPI* GdipCreatePathGradient)(const gdip::PointF*, INT, int, gdip::GpBrush**) = nullptr;
  S(WINAPI* GdipDeleteBrush)(gdip::GpBrush*) = nullptr;
  S(WINAPI* GdipDeletePen)(gdip::GpPen*) = nullptr;
  S(WINAPI* GdipCreateEffect)(GUID, gdip::GpEffect**) = nullptr;
  S(WINAPI* GdipSetEffectParameters)(gdip::GpEffect*, const void*, UINT) = nullptr;
  S(WINAPI* GdipBitmapCreateApplyEffect)(gdip::GpBitmap**, INT, gdip::GpEffect*, RECT*, RECT*, gdip::GpBitmap**,
                                         BOOL, void**, INT*) = nullptr;
  S(WINAPI* GdipCreateBitmapFromHBITMAP)(HBITMAP, HPALETTE, gdip::GpBitmap**) = nullptr;
  S(WINAPI* GdipCreateHBITMAPFromBitmap)(gdip::GpBitmap*, HBITMAP*, gdip::ARGB) = nullptr;
  S(WINAPI* GdipSetPenBrushFill)(gdip::GpPen*, gdip::GpBrush*) = nullptr;
  S(WINAPI* GdipSetPathGradientCenterColor)(gdip::GpBrush*, gdip::ARGB) = nullptr;
  S(WINAPI* GdipSetPathGradientSurroundColorsWithCount)(gdip::GpBrush*, const gdip::ARGB*, INT*) = nullptr;
  S(WINAPI* GdipNewPrivateFontCollection)(gdip::GpFontCollection**) = nullptr;
  S(WINAPI* GdipPrivateAddFontFile)(gdip::GpFontCollection*, const WCHAR*) = nullptr;
  S(WINAPI* GdipGetFontCollectionFamilyList)(gdip::GpFontCollection*, INT, gdip::GpFontFamily**, INT*) = nullptr;
  S(WINAPI* GdipGetFamilyName)(gdip::GpFontFamily*, WCHAR*, LANGID) = nullptr;
  // Not among the drawing calls, but the blur's effect object can only be released by it.
  S(WINAPI* GdipDeleteEffect)(gdip::GpEffect*) = nullptr;
};
extern TGdiPlusEntries GdiPlusEntries;

// The identifier of GDI+'s blur effect.
extern const GUID BlurEffectGuid;

// Counted start-up and clean-up of the unit: the first start-up loads the library, binds
// the entry points and starts GDI+; the matching last clean-up shuts GDI+ down, frees the
// library and empties the table. The unit starts itself when the process starts. GDI+
// counts its own start-ups, so other users that start it themselves are not disturbed.
void GdiPlusUnitStartup();
void GdiPlusUnitCleanup();

// With Flag set: loads the library when needed and starts GDI+ (input version 1) unless
// this unit already started it. StopGdiPlus shuts down what StartGdiPlus started.
void StartGdiPlus(bool flag);
void StopGdiPlus(bool flag);

// Outline of the ellipse in the box, an opaque pen of PenWidth (the colour's top byte is
// ignored), high-quality smoothing.
void DrawEllipseGdiPlus(HDC dc, TColor color, float x, float y, float width, float height, float penWidth);
// The arc of that ellipse from StartAngle over SweepAngle degrees (clockwise from the
// positive x axis), opaque pen.
void DrawArcGdiPlus(HDC dc, TColor color, float x, float y, float width, float height, float startAngle,
                    float sweepAngle, float penWidth);
// A line; the colour's top byte is its alpha, except that 0 means opaque.
void DrawLineGdiPlus(HDC dc, TColor color, float x1, float y1, float x2, float y2, float penWidth);

// SrcRect of the 32-bit Src drawn into DstRect of the 32-bit Dst with source-copy
// compositing, alpha included. GDI+ drawing on a device context cannot keep an alpha of 0
// or 255 apart from the colour, so the alpha travels halved into 127..254 and is unfolded
// afterwards over every pixel of Dst with a non-zero alpha (the whole bitmap, not just
// DstRect): an opaque source pixel comes back with alpha 253, a clear one with 0.
void StretchBitmapGdiPlus(TBitmap* dst, TBitmap* src, const TRect& dstRect, const TRect& srcRect);

// The bitmap's image replaced by its GDI+ blur (edges not expanded). Nothing where GDI+
// lacks the effect functions (before version 1.1) or the effect cannot be released.
void BlurBitmapGdiPlus(TBitmap* bitmap, float radius);

// Two-colour linear gradients from (X, Y) to (X + Width, Y), or to (X, Y + Height), over
// the rectangle, wrap mode tile; the top bytes are the alphas (0 = fully transparent).
void FillLinearGradientH(HDC dc, TColor color1, TColor color2, float x, float y, float width, float height);
void FillLinearGradientV(HDC dc, TColor color1, TColor color2, float x, float y, float width, float height);
// A path gradient over the four points with their colours and CenterColor in the middle,
// wrap mode clamp, filling the rectangle; top bytes are alphas.
void FillPathGradient4(HDC dc, const TPoint (&points)[4], const TColor (&colors)[4], float x, float y, float width,
                       float height, TColor centerColor);
