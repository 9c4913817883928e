#pragma once
// Bordered blits, regions and lines with which handlers and controls copy borders to the
// screen, cut child controls and see-through corners out of device contexts and window
// regions, and place a glyph beside a caption. Plain GDI blits and pens; no alpha.
//
// Margins are TRect values whose four fields are widths. Side modes are TRect values whose
// fields hold a mode per side: bit 0 set stretches that side, clear tiles it. Rectangle lists
// are appended to, never cleared.
#include <windows.h>

#include <vector>

#include "platform/ui/Graphics.h"

struct TsMaskData;
class TWinControl;

// Nine-slice copy of SrcRect of Src into R of Dst (plain copies; stretches in COLORONCOLOR
// mode). The corners take the smaller of Margins and LimitMargins, and are cut at R's middle
// when R is too small for them. A negative margin counts as 0.
void BlitNineSlice(TBitmap* Dst, TBitmap* Src, const TRect& R, const TRect& SrcRect, const TRect& Margins,
                   const TRect& LimitMargins, const TRect& SideModes, bool StretchCenter, bool PaintCenter);
// Copies the border frame of the rectangle (X, Y, W, H) from the same place of SrcDC offset by
// (SrcX, SrcY), and nothing inside or outside the frame. A width below 1 of the top, right or
// bottom strip takes LeftWidth (when BottomHeight is below 1), so callers may give LeftWidth only.
void BlitBorderStrips(HDC DstDC, int X, int Y, int W, int H, HDC SrcDC, int SrcX, int SrcY, int LeftWidth,
                      int TopHeight = 0, int RightWidth = 0, int BottomHeight = 0);
// Excludes the visible children of Control (moved by the offset) from the DC's clip region;
// graphic children only when the default manager keeps standard images opaque.
void ExcludeChildControls(HDC DC, TWinControl* Control, int OffsetX, int OffsetY);
void DrawLineOnDC(HDC DC, int X1, int Y1, int X2, int Y2);
// Count nested one-pixel bevel frames in R: light (a TColor) top and left, dark (an RGB value)
// right and bottom. On return R is the inner rectangle and Count is 0.
void DrawBevelLines(HDC DC, TRect& R, TColor LightColor, TColor DarkColor, int& Count);
// A frame of alternating pixels along R's edges (inside R); clNone leaves a colour out.
void DrawDottedFrame(TCanvas& Canvas, const TRect& R, TColor OddColor, TColor EvenColor);
// The region of a 32-bit bitmap without its key-colour pixels; the caller owns it.
HRGN RegionWithoutKeyColor(TBitmap* Bmp, TColor Key);
// Appends the maximal horizontal runs of pixels of a 32-bit bitmap whose whole value equals
// the low 24 bits of Key (so only pixels of alpha 0 match), row by row, as one-row rectangles.
void CollectKeyColorRuns(std::vector<RECT>& Rects, TBitmap* Bmp, TColor Key);
// Appends the key-colour (0x00FF00FF) runs of a frame mask's two top (Bottom false) or two
// bottom corners as one-row rectangles, placed for a window Width wide: y from Top (minus
// Margin for the bottom corners), the left corner from x = Margin, the right one ending
// Margin before the window's right edge. Columns outside the image or its bitmap are left out.
void CollectMaskCornerHoles(std::vector<RECT>& Rects, int Width, const TsMaskData& Mask, int Top, bool Bottom,
                            int Margin);
// Places a glyph and a caption inside a button rectangle R and returns the glyph's top-left
// corner; TextBounds gets the caption's rectangle. Layout: 0 glyph left of the caption, 1
// right of it, 2 above, 3 below. Alignment: 0 left, 1 right, 2 centre. VerticalAlignment: 0
// top, 1 bottom, 2 centre. A size of width 0 means no glyph or no caption; Margin -1 and a
// negative Spacing are chosen automatically. DT_RIGHT in Flags mirrors the result.
TPoint CalcGlyphAndTextRects(const TRect& R, TPoint GlyphSize, TPoint TextSize, int Layout, int Alignment, int Margin,
                             int Spacing, TRect& TextBounds, unsigned Flags, int VerticalAlignment);
