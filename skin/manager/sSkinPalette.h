#pragma once
// The skin's palette: 55 named colours controls use where no section applies (edits,
// selections, hints, links, buttons drawn without images, edit states, coloured buttons,
// borders and grid lines), filled at the end of every load.
#include <array>
#include <cstdint>

#include "platform/ui/Graphics.h"

class TsSkinManager;

enum TacPaletteColors {
  pcMainColor, pcLabelText, pcWebText, pcWebTextHot, pcEditText, pcEditBG,
  pcSelectionBG, pcSelectionText, pcSelectionBG_Focused, pcSelectionText_Focused,
  pcEditText_Ok, pcEditText_Warning, pcEditText_Alert, pcEditText_Caution, pcEditText_Bypassed,
  pcEditBG_Ok, pcEditBG_Warning, pcEditBG_Alert, pcEditBG_Caution, pcEditBG_Bypassed,
  pcEditText_Highlight1, pcEditText_Highlight2, pcEditText_Highlight3,
  pcEditText_Inverted, pcEditBG_Inverted, pcEditBG_OddRow, pcEditBG_EvenRow,
  pcBtnColor1Active, pcBtnColor2Active, pcBtnBorderActive, pcBtnFontActive,
  pcBtnColor1Normal, pcBtnColor2Normal, pcBtnBorderNormal, pcBtnFontNormal,
  pcBtnColor1Pressed, pcBtnColor2Pressed, pcBtnBorderPressed, pcBtnFontPressed,
  pcBtnToneRed, pcBtnToneGreen, pcBtnToneBlue,
  pcBtnToneRedActive, pcBtnToneGreenActive, pcBtnToneBlueActive,
  pcBtnRedText, pcBtnGreenText, pcBtnBlueText,
  pcBtnRedTextActive, pcBtnGreenTextActive, pcBtnBlueTextActive,
  pcBorder, pcGrid, pcHintBG, pcHintText
};
constexpr int acPaletteColorCount = 55;
static_assert(pcHintText + 1 == acPaletteColorCount);
using TacPalette = std::array<TColor, acPaletteColorCount>;
// The slots solid brushes are kept for: pcMainColor .. pcEditBG.
constexpr int acPaletteBrushCount = 6;

// The slots the skin's hue and saturation settings turn.
extern const std::array<TacPaletteColors, 25> AdjustedPaletteColors;

// Fills the manager's palette from the loaded skin (its 96 pixels-per-inch data), remakes
// the six brushes from those colours, then applies hue, saturation and brightness.
void InitSkinPalette(TsSkinManager& Manager);

// The library colour of the palette's main colour, as painters pass it.
constexpr TColor clSkinMainColor = TColor(0xF1000001u);

