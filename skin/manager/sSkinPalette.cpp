#include "skin/manager/sSkinPalette.h"
#include "skin/manager/sSkinManager.SysColors.h"

#include <cwctype>
#include <optional>

#include "platform/runtime/Logger.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"

const std::array<TacPaletteColors, 25> AdjustedPaletteColors = {
    pcMainColor, pcLabelText, pcWebText, pcEditText, pcEditBG, pcSelectionBG, pcSelectionText,
    pcSelectionBG_Focused, pcSelectionText_Focused, pcEditBG_Inverted, pcEditText_Inverted, pcEditBG_OddRow,
    pcEditBG_EvenRow, pcBtnColor1Active, pcBtnColor2Active, pcBtnBorderActive, pcBtnFontActive, pcBtnColor1Normal,
    pcBtnColor2Normal, pcBtnBorderNormal, pcBtnFontNormal, pcBtnColor1Pressed, pcBtnColor2Pressed,
    pcBtnBorderPressed, pcBtnFontPressed};

namespace {

// A decimal number, or hexadecimal after "$" or "0x", with an optional sign; nothing for
// any other text.
std::optional<long long> ParseColorText(const std::wstring& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  int base = 10;
  if (i < text.size() && text[i] == L'$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return std::nullopt;
  unsigned long long v = 0;
  for (; i < text.size(); ++i) {
    const wchar_t c = text[i];
    int digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    else return std::nullopt;
    if (v > (~0ull >> 4)) return std::nullopt;  // beyond 64 bits
    v = v * base + digit;
  }
  const long long s = static_cast<long long>(v);
  return negative ? -s : s;
}

TColor OpaqueColor(TColor c) { return static_cast<TColor>(static_cast<std::uint32_t>(c) | 0xFF000000u); }
TColor Blend(TColor a, TColor b, int w) {
  return static_cast<TColor>(BlendTwoColors(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b),
                                            static_cast<std::uint8_t>(w)));
}

}  // namespace

void InitSkinPalette(TsSkinManager& m) {
  TacPalette& p = m.Palette;
  TacSkinData* d = m.SkinDataArray.empty() || !m.SkinDataArray[0] ? m.LoadingSkinData : m.SkinDataArray[0].get();
  if (!m.SkinFile || !d) return;
  const TMemIniFile& ini = *m.SkinFile;
  auto readInt = [&](const wchar_t* key, TColor def) { return static_cast<TColor>(ini.ReadInteger(s_GlobalInfo, key, def)); };
  // A text colour that is not a number keeps the slot's default; the load goes on.
  auto readText = [&](const wchar_t* key, TColor def) {
    const std::wstring text = ini.ReadString(s_GlobalInfo, key, L"");
    if (text.empty()) return def;
    const std::optional<long long> v = ParseColorText(text);
    if (!v) {
      CodeSite().SendWarning(std::wstring(L"Skin colour ") + key + L" is not a number: " + text);
      return def;
    }
    return static_cast<TColor>(static_cast<std::uint32_t>(*v));
  };
  auto section = [&](const wchar_t* name) -> const TsGeneralData* {
    const int i = d->GetSkinIndex(name);
    return i < 0 ? nullptr : &d->gd[i];
  };

  p[pcMainColor] = readInt(L"COLOR", ColorToRGB(clBtnFace));
  p[pcLabelText] = readInt(L"FONTCOLOR", 0);
  p[pcWebText] = readInt(L"TCBOTTOM", 0xFF0000);
  p[pcWebTextHot] = readInt(L"TCTOP", 0x0000FF);
  p[pcBorder] = readInt(L"BORDERCOLOR", 0);
  if (const TsGeneralData* edit = section(L"EDIT")) {
    p[pcEditText] = ColorToRGB(edit->Props[0].FontColor.Color);
    p[pcEditBG] = ColorToRGB(edit->Props[0].Color);
  } else {
    p[pcEditText] = ColorToRGB(clWindowText);
    p[pcEditBG] = ColorToRGB(clWindow);
  }
  if (const TsGeneralData* hint = section(L"HINT")) {
    p[pcHintText] = ColorToRGB(hint->Props[0].FontColor.Color);
    p[pcHintBG] = ColorToRGB(hint->Props[0].Color);
  } else {
    p[pcHintText] = ColorToRGB(TColor(clSystemColor | COLOR_INFOTEXT));
    p[pcHintBG] = ColorToRGB(TColor(clSystemColor | COLOR_INFOBK));
  }
  if (const TsGeneralData* sel = section(L"SELECTION")) {
    p[pcSelectionBG] = sel->Props[0].Color;
    p[pcSelectionText] = sel->Props[0].FontColor.Color;
    const TsGenState& focused = sel->States < 2 ? sel->Props[0] : sel->Props[1];
    p[pcSelectionBG_Focused] = focused.Color;
    p[pcSelectionText_Focused] = focused.FontColor.Color;
  } else {
    p[pcSelectionBG] = p[pcSelectionText] = p[pcSelectionBG_Focused] = p[pcSelectionText_Focused] = -1;
  }
  if (p[pcSelectionText] == -1 || p[pcSelectionText] == 0xFF00FF) {
    const TColor highlightText = TColor(clSystemColor | COLOR_HIGHLIGHTTEXT);
    if (const TsGeneralData* item = section(L"MENUITEM")) {
      p[pcSelectionText] = item->Props[1].FontColor.Color;
      p[pcSelectionBG] = p[pcSelectionBG_Focused] = item->Props[1].Color;
      if (p[pcSelectionText] == -1 || p[pcSelectionText] == 0xFF00FF)
        p[pcSelectionText] = highlightText;
      else
        p[pcSelectionText] = ColorToRGB(p[pcSelectionText]);
      p[pcSelectionText_Focused] = p[pcSelectionText];
    } else {
      p[pcSelectionText] = p[pcSelectionText_Focused] = ColorToRGB(highlightText);
      p[pcSelectionBG] = p[pcSelectionBG_Focused] = ColorToRGB(TColor(clSystemColor | COLOR_HIGHLIGHT));
    }
  }
  p[pcEditText_Ok] = readInt(L"EDITTEXT_OK", 0x404000);
  p[pcEditText_Warning] = readInt(L"EDITTEXT_WARN", 0x004C4C);
  p[pcEditText_Alert] = readInt(L"EDITTEXT_ALERT", 0x00006C);
  p[pcEditText_Caution] = readInt(L"EDITTEXT_ALERT", 0x00006C);
  p[pcEditText_Bypassed] = readInt(L"EDITTEXT_ALERT", 0x00006C);
  p[pcEditBG_Ok] = readInt(L"EDITBG_OK", 0xC9FFD2);
  p[pcEditBG_Warning] = readInt(L"EDITBG_WARN", 0xBAFFFF);
  p[pcEditBG_Alert] = readInt(L"EDITBG_ALERT", 0xDBDBFF);
  p[pcEditBG_Caution] = readInt(L"EDITBG_ALERT", 0xDBDBFF);
  p[pcEditBG_Bypassed] = readInt(L"EDITBG_ALERT", 0xDBDBFF);
  p[pcEditText_Highlight1] = readInt(L"EDITTEXT_H1", 0);
  p[pcEditText_Highlight2] = readInt(L"EDITTEXT_H2", 0);
  p[pcEditText_Highlight3] = readInt(L"EDITTEXT_H3", 0);
  p[pcEditText_Inverted] = readInt(L"EDITTEXT_INV", p[pcEditBG]);
  p[pcEditBG_Inverted] = readInt(L"EDITBG_INV", p[pcEditText]);
  p[pcEditBG_OddRow] = readInt(L"EDITBG_ODD", p[pcEditBG]);
  p[pcEditBG_EvenRow] = readInt(L"EDITBG_EVEN", Blend(p[pcEditText], p[pcEditBG], 13));
  p[pcBtnColor1Active] = readText(L"BTNCOLOR1ACTIVE", OpaqueColor(Blend(p[pcMainColor], 0xFFFFFF, 177)));
  p[pcBtnColor2Active] = readText(L"BTNCOLOR2ACTIVE", OpaqueColor(p[pcMainColor]));
  p[pcBtnBorderActive] = readInt(L"BTNBORDERACTIVE", p[pcBorder]);
  p[pcBtnFontActive] = readInt(L"BTNFONTACTIVE", p[pcLabelText]);
  p[pcBtnColor1Normal] = readText(L"BTNCOLOR1NORMAL", OpaqueColor(p[pcMainColor]));
  p[pcBtnColor2Normal] = readText(L"BTNCOLOR2NORMAL", OpaqueColor(Blend(p[pcMainColor], 0, 244)));
  p[pcBtnBorderNormal] = readInt(L"BTNBORDERNORMAL", p[pcBorder]);
  p[pcBtnFontNormal] = readInt(L"BTNFONTNORMAL", p[pcLabelText]);
  p[pcBtnColor1Pressed] = readText(L"BTNCOLOR1PRESSED", OpaqueColor(Blend(p[pcMainColor], 0, 233)));
  p[pcBtnColor2Pressed] = readText(L"BTNCOLOR2PRESSED", OpaqueColor(Blend(p[pcMainColor], 0, 233)));
  p[pcBtnBorderPressed] = readInt(L"BTNBORDERPRESSED", p[pcBorder]);
  p[pcBtnFontPressed] = readInt(L"BTNFONTPRESSED", p[pcLabelText]);
  p[pcBtnToneRed] = readInt(L"COLORTONERED", 0xD5D5FF);
  p[pcBtnToneGreen] = readInt(L"COLORTONEGREEN", 0xE1FFD2);
  p[pcBtnToneBlue] = readInt(L"COLORTONEBLUE", 0xFFEDC9);
  p[pcBtnToneRedActive] = readInt(L"COLORTONEREDACTIVE", p[pcBtnToneRed]);
  p[pcBtnToneGreenActive] = readInt(L"COLORTONEGREENACTIVE", p[pcBtnToneGreen]);
  p[pcBtnToneBlueActive] = readInt(L"COLORTONEBLUEACTIVE", p[pcBtnToneBlue]);
  p[pcBtnRedText] = readInt(L"COLORTONEREDTEXT", 0x0000B4);
  p[pcBtnGreenText] = readInt(L"COLORTONEGREENTEXT", 0x28851A);
  p[pcBtnBlueText] = readInt(L"COLORTONEBLUETEXT", 0xAE7400);
  p[pcBtnRedTextActive] = readInt(L"COLORTONEREDTEXTACTIVE", p[pcBtnRedText]);
  p[pcBtnGreenTextActive] = readInt(L"COLORTONEGREENTEXTACTIVE", p[pcBtnGreenText]);
  p[pcBtnBlueTextActive] = readInt(L"COLORTONEBLUETEXTActive", p[pcBtnBlueText]);
  p[pcGrid] = readInt(L"GRIDLINE", -1);
  if (p[pcGrid] == -1) p[pcGrid] = Blend(p[pcEditText], p[pcEditBG], 30);

  // Brushes of the colours as the skin gives them, before the adjustments.
  static constexpr TacPaletteColors brushSlots[acPaletteBrushCount] = {pcMainColor, pcLabelText, pcWebText,
                                                                      pcWebTextHot, pcEditText, pcEditBG};
  for (int i = 0; i < acPaletteBrushCount; ++i) {
    ReleaseSkinBrush(m.Brushes[i]);
    m.Brushes[i] = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(p[brushSlots[i]]) & 0xFFFFFF));
  }
  m.ApplyHueOffset(m.HueOffset());
  m.ApplySaturation(m.Saturation());
  m.ApplyBrightness(m.Brightness());
}

void TsSkinManager::InitSkinParams() { InitSkinPalette(*this); }
