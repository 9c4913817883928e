#pragma once
// The process-wide list of the 25 standard glyphs the skinned menus and buttons draw: ticks,
// radio dots, arrows and signs from the icon font, and the caption-button signs of "Marlett".
class TsCharImageList;

// Images of the list by use.
enum : int {
  sgRadioDot = 5,
  sgTick = 6,
  sgMove = 7,
  sgMinimize = 21,
  sgMaximize = 22,
  sgRestore = 23,
  sgClose = 24,
  StdGlyphCount = 25
};

// The list (16 x 14, background white), built on first use; nullptr after clean-up.
TsCharImageList* StdGlyphList();
// Builds the list when it does not exist yet.
void CreateStdCharList();
