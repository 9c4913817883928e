#pragma once
// Glyphs from image lists and glyph bitmaps: the count of a list, the size one of its images
// takes at a pixel density, and the one routine that draws a glyph of any kind in a state.
#include "platform/ui/Graphics.h"

class TCustomImageList;
class TacSkinData;

// Number of images; 0 without a list.
int ImageListCount(TCustomImageList* List);
// PPI x the list's width div 96 (an icon-font glyph: its width times its scaling factor,
// without the PPI factor when the list does not scale); 0 without a list.
int ScaledImageWidth(TCustomImageList* List, int Index, int PPI);
// PPI x the list's height div 96 (an icon-font glyph: (height + |OffsetY|) times its scaling
// factor, rounded half to even); 0 without a list. Index -1 gives the plain list size.
int ScaledImageHeight(TCustomImageList* List, int Index, int PPI);

// How a disabled glyph looks.
enum TacDisabledKindItem : unsigned { dkBlended = 1, dkGrayed = 2 };
using TacDisabledKind = unsigned;

struct TacGlyphDrawInfo {
  int Blend = 0;  // transparency percent in state 0
  int SkinIndex = -1;
  int NumGlyphs = 1;
  int ImageIndex = -1;
  int CurrentState = 0;  // 0 normal, 1 hot, 2 pressed, further cells when there are
  bool Down = false;
  bool Grayed = false;
  bool Enabled = true;
  bool Reflected = false;
  TBitmap* Glyph = nullptr;
  TBitmap* DstBmp = nullptr;
  TRect DstRect;
  TCanvas* DstCanvas = nullptr;
  TColor BlendColor = clNone;
  TCustomImageList* Images = nullptr;
  int PPI = 96;
  TacSkinData* SkinData = nullptr;
  TacDisabledKind DisabledKind = 0;
};

// The cell a glyph strip of NumGlyphs cells shows for a state; the manager's standard
// order uses cell 0 for hot, cell 1 for disabled and cell 0 for pressed without a third cell.
int ListGlyphCell(int CurrentState, int NumGlyphs, bool Enabled, bool StdGlyphsOrder);
// Draws the glyph Info describes into Info.DstBmp, or onto Info.DstCanvas without one.
void DrawListGlyph(const TacGlyphDrawInfo& Info);
