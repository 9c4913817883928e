#pragma once
// Text painting of the skin engine: the capped draw call every engine text goes through,
// measuring, shortening with dots, turned fonts, skin text with its one-pixel contour
// colours, the captions of skinned controls with glow, and text drawn into 32-bit work
// bitmaps with the right alpha through a black-on-white stencil.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/Graphics.h"

class TsSkinManager;
class TsCommonData;

// The most characters one draw call hands to DrawTextW; longer texts are cut there (even
// inside a surrogate pair), as the system's own limits on text output suggest.
constexpr int MaxDrawTextLength = 5460;

// DrawTextW of at most MaxDrawTextLength characters of Text.
int DrawTextLimited(HDC DC, const std::wstring& Text, TRect& R, UINT Format);
// DrawTextW of the whole null-terminated text on the canvas's DC, in its font.
int DrawTextOnCanvas(TCanvas* Canvas, const wchar_t* Text, UINT Format, TRect& R);
int TextWidthOf(TCanvas* Canvas, const std::wstring& Text);
int TextHeightOf(TCanvas* Canvas, const std::wstring& Text);
void TextSizeOf(TCanvas* Canvas, const std::wstring& Text, TSize& Size);
void CanvasTextRect(TCanvas* Canvas, const TRect& R, int X, int Y, const std::wstring& Text);
// GetTextExtentPoint32W on DC, or, for DC 0, on the screen DC with Font (when given).
bool MeasureTextExtent(HDC DC, const std::wstring& Text, TSize& Size, HFONT Font);
// The text's size in Font: with WordWrap as DrawTextW's DT_CALCRECT lays it out in
// MaxWidth, else its one-line extent ((0, 0) when it cannot be measured).
void MeasureTextSize(HFONT Font, const std::wstring& Text, UINT Format, bool WordWrap, int MaxWidth, TSize& Size);
// Height of a line of Font: without leadings the glyph cell alone, else the full height
// plus 6 pixels of spacing; 0 when the metrics cannot be read.
int FontLineHeight(HFONT Font, bool WithoutLeadings);
// Text cut to fit MaxWidth with "..." appended; empty when not one character fits.
void EllipsizeText(TCanvas* Canvas, const std::wstring& Text, int MaxWidth, std::wstring& Result);
// Selects a copy of Font turned by Escapement (tenths of degrees) into DC, sets DC's text
// colour to the font's, and returns the font selected before, which the caller selects
// back. The turned font is deleted at once: the system frees it when it is deselected.
HGDIOBJ SelectRotatedFont(HDC DC, TFont& Font, int Escapement);
// The same style, size, colour and name.
bool SameFont(const TFont& A, const TFont& B);

// The text in the font colours of state State (0 to 2) of section SkinIndex: contours one
// pixel to their side, then the text; disabled text in the font colour faded towards the
// section's colour. Without a manager (nor a default one) or a valid section, in the
// canvas's own colours.
void DrawSkinTextOnCanvas(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Format, int SkinIndex,
                          int State, TsSkinManager* Manager = nullptr);
inline void WriteSkinText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Format, int SkinIndex,
                          int State, TsSkinManager* Manager = nullptr) {
  DrawSkinTextOnCanvas(Canvas, Text, Enabled, R, Format, SkinIndex, State, Manager);
}
// The caption of a skinned control (State 0 to 2): the colours of the section that shows
// under it, its glow into the control's cache bitmap, the control's colour effects; an
// unskinned control or one with a font of its own gets the plain (or embossed disabled) look.
void WriteControlText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Format,
                      TsCommonData* CommonData, int State, bool AllowGlow);
// Color through the control's tone, hue offset and saturation, resolved to RGB.
TColor ControlEffectColor(TColor Color, TsCommonData* CommonData);

// The glow of the text drawn in R (Flags: 1, 2, 4, 8 draw it also one pixel left, up,
// right, down) with radius GlowSize, mixed into Bmp in Color. Stencil is the caller's: one
// of the right size is taken as it is, without drawing or blurring again, so a caller
// frees it when the text changes. A GlowSize of 0 or less draws no glow.
void DrawTextGlow(TBitmap* Bmp, const std::wstring& Text, const TRect& R, UINT Format, int Flags, int GlowSize,
                  TColor Color, std::unique_ptr<TBitmap>& Stencil);
// An 8-bit glow stencil (255 = no text) mixed into the 32-bit Bmp with its top-left at
// (X, Y): alpha rises by the ink, colours move towards Color.
void MixGlowStencil(TBitmap* Bmp, TBitmap* Stencil, int X, int Y, TColor Color);
// Half-width of the box the blur of Radius uses (the blur is 2 * h + 1 wide); 0 for a
// radius below 1, which blurs nothing.
int BlurKernelHalfWidth(int Radius);
// Each row, then each column of an 8-bit bitmap replaced by its box mean (edges repeated,
// rounded to the nearest). Other bitmaps are left alone.
void BlurBitmap8(TBitmap* Bmp, int Radius);

// Text in Color drawn into the 32-bit Bmp at R in the font of Bmp's canvas. AlphaMode keeps
// a see-through bitmap see-through where there is no ink: alpha rises by the ink and the
// colours come premultiplied; otherwise inked pixels become opaque and keep the text
// output's per-channel smoothing.
void DrawTextToBitmap32(TBitmap* Bmp, const wchar_t* Text, bool AlphaMode, const TRect& R, UINT Flags, TColor Color);
// A black-on-white 32-bit stencil mixed into Dst with its top-left at (X, Y) as
// DrawTextToBitmap32 mixes it; the part outside Dst is left out.
void MixTextStencil(TBitmap* Dst, TBitmap* Stencil, int X, int Y, bool AlphaMode, TColor Color);
// The text in the font colours of state State of section SkinIndex (skin data of 96
// pixels per inch); contours only in AlphaMode. Without a manager or a valid section, in
// the colour of Bmp's canvas font. The last argument is not used.
void DrawSkinTextToBitmap32(TBitmap* Bmp, const wchar_t* Text, bool AlphaMode, const TRect& R, UINT Flags,
                            int SkinIndex, int State, TsSkinManager* Manager = nullptr, int Unused = 0);
