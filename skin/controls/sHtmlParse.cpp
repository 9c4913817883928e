#include "skin/controls/sHtmlParse.h"

#include <algorithm>
#include <cwctype>

#ifdef _WIN32
#include "skin/graphics/acText.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"
#endif

// ---- tables ------------------------------------------------------------------

const TacHtmlColorName acHtmlColors[16] = {
    {L"AQUA", 0xFFFF00},   {L"BLACK", 0x000000}, {L"BLUE", 0xFF0000},   {L"FUCHSIA", 0xFF00FF},
    {L"GRAY", 0x808080},   {L"GREEN", 0x008000}, {L"LIME", 0x00FF00},   {L"MAROON", 0x000080},
    {L"NAVY", 0x800000},   {L"OLIVE", 0x008080}, {L"PURPLE", 0x800080}, {L"RED", 0x0000FF},
    {L"SILVER", 0xC0C0C0}, {L"TEAL", 0x808000},  {L"WHITE", 0xFFFFFF},  {L"YELLOW", 0x00FFFF},
};

#define AC_ENTITY(name, code) {L## #name, L"#" #code, static_cast<wchar_t>(code)}
const TacHtmlEntity acHtmlEntities[87] = {
    AC_ENTITY(ndash, 8211),  AC_ENTITY(mdash, 8212),  AC_ENTITY(nbsp, 160),    AC_ENTITY(iexcl, 161),
    AC_ENTITY(iquest, 191),  AC_ENTITY(quot, 34),     AC_ENTITY(ldquo, 8220),  AC_ENTITY(rdquo, 8221),
    AC_ENTITY(39, 39),       AC_ENTITY(lsquo, 8216),  AC_ENTITY(rsquo, 8217),  AC_ENTITY(laquo, 171),
    AC_ENTITY(raquo, 187),   AC_ENTITY(amp, 38),      AC_ENTITY(cent, 162),    AC_ENTITY(copy, 169),
    AC_ENTITY(divide, 247),  AC_ENTITY(gt, 62),       AC_ENTITY(lt, 60),       AC_ENTITY(micro, 181),
    AC_ENTITY(middot, 183),  AC_ENTITY(para, 182),    AC_ENTITY(plusmn, 177),  AC_ENTITY(euro, 8364),
    AC_ENTITY(pound, 163),   AC_ENTITY(reg, 174),     AC_ENTITY(sect, 167),
    // #153 is the trade-mark sign of the old Windows code page, shown as its Unicode form.
    {L"trade", L"#153", 0x2122},
    AC_ENTITY(yen, 165),     AC_ENTITY(szlig, 223),   AC_ENTITY(yuml, 255),    AC_ENTITY(aacute, 225),
    AC_ENTITY(Aacute, 193),  AC_ENTITY(agrave, 224),  AC_ENTITY(Agrave, 192),  AC_ENTITY(acirc, 226),
    AC_ENTITY(Acirc, 194),   AC_ENTITY(aring, 229),   AC_ENTITY(Aring, 197),   AC_ENTITY(atilde, 227),
    AC_ENTITY(Atilde, 195),  AC_ENTITY(auml, 228),    AC_ENTITY(Auml, 196),    AC_ENTITY(aelig, 230),
    AC_ENTITY(AElig, 198),   AC_ENTITY(ccedil, 231),  AC_ENTITY(Ccedil, 199),  AC_ENTITY(eacute, 233),
    AC_ENTITY(Eacute, 201),  AC_ENTITY(egrave, 232),  AC_ENTITY(Egrave, 200),  AC_ENTITY(ecirc, 234),
    AC_ENTITY(Ecirc, 202),   AC_ENTITY(euml, 235),    AC_ENTITY(Euml, 203),    AC_ENTITY(iacute, 237),
    AC_ENTITY(Iacute, 205),  AC_ENTITY(igrave, 236),  AC_ENTITY(Igrave, 204),  AC_ENTITY(icirc, 238),
    AC_ENTITY(Icirc, 206),   AC_ENTITY(iuml, 239),    AC_ENTITY(Iuml, 207),    AC_ENTITY(ntilde, 241),
    AC_ENTITY(Ntilde, 209),  AC_ENTITY(oacute, 243),  AC_ENTITY(Oacute, 211),  AC_ENTITY(ograve, 242),
    AC_ENTITY(Ograve, 210),  AC_ENTITY(ocirc, 244),   AC_ENTITY(Ocirc, 212),   AC_ENTITY(oslash, 248),
    AC_ENTITY(Oslash, 216),  AC_ENTITY(otilde, 245),  AC_ENTITY(Otilde, 213),  AC_ENTITY(ouml, 246),
    AC_ENTITY(Ouml, 214),    AC_ENTITY(uacute, 250),  AC_ENTITY(Uacute, 218),  AC_ENTITY(ugrave, 249),
    AC_ENTITY(Ugrave, 217),  AC_ENTITY(ucirc, 251),   AC_ENTITY(Ucirc, 219),   AC_ENTITY(uuml, 252),
    AC_ENTITY(Uuml, 220),    {L"#180", L"#180", 180}, {L"#96", L"#96", 96},
};
#undef AC_ENTITY

namespace {

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

bool StartsWith(std::wstring_view s, std::wstring_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The caption in upper case, one UTF-16 unit for one, so positions match the caption's.
std::wstring UpperCopy(const std::wstring& text) {
  std::wstring upped = text;
#ifdef _WIN32
  if (!upped.empty()) CharUpperBuffW(upped.data(), static_cast<DWORD>(upped.size()));
#else
  for (wchar_t& c : upped) c = static_cast<wchar_t>(std::towupper(c));
#endif
  return upped;
}

// Size of FONT SIZE: "+n" and "-n" change Current, a plain number sets it; anything else
// (a sign without digits among it) gives 8. The result stays a sane point size.
int FontSizeOf(std::wstring_view word, int current) {
  int sign = 0;
  if (!word.empty() && (word[0] == L'+' || word[0] == L'-')) {
    sign = word[0] == L'+' ? 1 : -1;
    word.remove_prefix(1);
  }
  if (word.empty()) return 8;
  long long value = 0;
  for (wchar_t c : word) {
    if (c < L'0' || c > L'9') return 8;
    value = std::min<long long>(value * 10 + (c - L'0'), 1000000);
  }
  long long size = sign == 0 ? value : current + sign * value;
  return static_cast<int>(std::clamp<long long>(size, 1, 1638));
}

// A colour written as hexadecimal red, green, blue ("#" optional); 0 when not a number.
TColor HexColor(std::wstring_view word) {
  if (!word.empty() && word[0] == L'#') word.remove_prefix(1);
  if (word.empty() || word.size() > 8) return 0;
  std::uint32_t v = 0;
  for (wchar_t c : word) {
    int d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else if (c >= L'a' && c <= L'f') d = c - L'a' + 10;
    else return 0;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  return static_cast<TColor>(((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16));
}

std::wstring WithoutLineBreaks(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text)
    if (c != L'\r' && c != L'\n') out += c;
  return out;
}

}  // namespace

const TacHtmlEntity* FindHtmlEntity(std::wstring_view Reference) {
  for (const TacHtmlEntity& e : acHtmlEntities)
    if (SameIgnoringCase(Reference, e.Name) || Reference == e.Code) return &e;
  return nullptr;
}

// ---- TsHtml --------------------------------------------------------------------

TsHtml::TsHtml() = default;
TsHtml::~TsHtml() = default;

void TsHtml::Init(TacHtmlCanvas* ACanvas, const std::wstring& Text, int APressedLink, int AHotLink,
                  const TRect& AArea) {
  FCanvas = ACanvas;
  FInitialFont = FCanvas->InitialFont();
  DefaultFontColor = FInitialFont.Color;
  Origin = Text;
  UppedText = UpperCopy(Text);
  Len = static_cast<int>(std::min<std::size_t>(Origin.size(), 0x3FFFFFFF));
  Area = AArea;
  PressedLink = APressedLink;
  HotLink = AHotLink;
  MaxBmpWidth = MaxBmpHeight = 0;
  aLineSizes.clear();
}

TRect TsHtml::HTMLText(TacLinks& ALinks, bool MeasureOnly) {
  ScanSteps = 0;
  struct TCalcGuard {
    bool& Flag;
    ~TCalcGuard() { Flag = false; }
  } guard{Calculating};
  if (FCanvas) {
    Calculating = true;
    Pass();
    if (!MeasureOnly) {
      Calculating = false;
      Pass();
    }
  }
  ALinks = Links;
  return Rect(0, 0, MaxBmpWidth, MaxBmpHeight);
}

void TsHtml::Step() {
  ++ScanSteps;
  if (StepLimit && ScanSteps > StepLimit && OnStepLimit) OnStepLimit();
}

int TsHtml::MeasuredRow(bool Height) {
  if (aLineSizes.empty()) return 0;
  const TacLineData& row = aLineSizes[static_cast<std::size_t>(
      std::clamp(LineNumber, 0, static_cast<int>(aLineSizes.size()) - 1))];
  return Height ? row.Height : row.Width;
}

int TsHtml::RowStartX() {
  if (Calculating) return 0;
  TAlignment align = Alignment;
  if (BidiMode == bdRightToLeft) {
    if (align == taLeftJustify) align = taRightJustify;
    else if (align == taRightJustify) align = taLeftJustify;
  }
  switch (align) {
    case taRightJustify: return Area.Left + Area.Width() - MeasuredRow(false);
    case taCenter: return Area.Left + (Area.Width() - MeasuredRow(false)) / 2;
    default: return Area.Left;
  }
}

// Whether Width more fits on the row; the row's own start is the origin, so both passes
// (the measure pass starts rows at 0, the draw pass where the alignment puts them) wrap alike.
bool TsHtml::Fits(int Width) const { return Area.Right <= 0 || CurX - FRowStart + Width <= Area.Width(); }

unsigned TsHtml::TextFlags() const {
  unsigned flags = acDT_NOCLIP | acDT_VCENTER;
  if (BidiMode == bdRightToLeft) flags |= acDT_RIGHT | acDT_RTLREADING;
  else if (BidiMode == bdRightToLeftNoAlign) flags |= acDT_RTLREADING;
  return flags;
}

void TsHtml::Pass() {
  FFont = FInitialFont;
  FFont.Color = DefaultFontColor;
  aFonts.clear();
  FPopped.clear();
  FOpenLinks = 0;
  FOps.clear();
  LineNumber = 0;
  CurWidthValue = 0;
  CurrentRowHeight = 0;
  MaxBmpWidth = MaxBmpHeight = 0;
  if (Calculating) aLineSizes.clear();
  FRowStart = RowStartX();
  CurX = FRowStart;
  // The draw pass knows each row's height beforehand, so text of mixed sizes centres alike.
  if (!Calculating) CurrentRowHeight = MeasuredRow(true);
  CurY = Area.Top;
  Links.clear();
  sCurrentTag.clear();
  sCurrentChar.clear();
  CurPos = LastPos = LinePos = 0;
  SaveBreak();

  // The last word is placed by the break check too, so the last row is a measured row
  // (aligned by its own width) like every other.
  do Scan();
  while (BreakCheck());
  DrawPiece(LastPos, Len);
  LastPos = Len;
  if (Calculating)
    aLineSizes.push_back({CurWidthValue, CurrentRowHeight,
                          Origin.substr(static_cast<std::size_t>(LinePos), static_cast<std::size_t>(Len - LinePos))});
  MaxBmpWidth = std::max(MaxBmpWidth, CurWidthValue);
  MaxBmpHeight = CurY + CurrentRowHeight;
  if (!Calculating)
    for (const TDrawOp& op : FOps) FCanvas->DrawText(op.Font, op.Text, op.R, op.Flags, AlphaChannel);
  FOps.clear();
}

void TsHtml::Scan() {
  while (CurPos < Len) {
    Step();
    const wchar_t c = UppedText[static_cast<std::size_t>(CurPos)];
    if (c == L'\r') {
      if (BreakCheck()) continue;
      CurPos = std::min(CurPos + 2, Len);
      LastPos = CurPos;
    } else if (c == L' ') {
      if (BreakCheck()) continue;
      SaveBreak();
      ++CurPos;
    } else if (c == L'&') {
      DrawPiece(LastPos, CurPos);
      LastPos = CurPos;
      DoEntity();
    } else if (c == L'<') {
      if (BreakCheck()) continue;
      DrawPiece(LastPos, CurPos);
      LastPos = CurPos;
      if (CurPos + 1 < Len && UppedText[static_cast<std::size_t>(CurPos) + 1] == L'<') {
        LastPos = CurPos + 1;  // the second "<" shows
        CurPos += 2;
        continue;
      }
      const std::size_t gt = UppedText.find(L'>', static_cast<std::size_t>(CurPos));
      if (gt == std::wstring::npos || gt >= static_cast<std::size_t>(Len)) {
        LastPos = ++CurPos;  // a "<" without ">" is dropped
        continue;
      }
      const int tagStart = CurPos, tagEnd = static_cast<int>(gt) + 1;
      switch (DoTag(UppedText.substr(static_cast<std::size_t>(tagStart), gt - tagStart + 1), tagStart)) {
        case TTagResult::NotATag: ++CurPos; break;  // shown as text, from its "<"
        case TTagResult::Done: CurPos = LastPos = tagEnd; break;
        case TTagResult::NewRow:
          CurPos = LastPos = tagEnd;
          NewRow(true);
          LinePos = CurPos;
          if (CurrentRowHeight == 0) CurrentRowHeight = Calculating ? YyHeight() : MeasuredRow(true);
          SaveBreak();
          break;
      }
    } else {
      ++CurPos;
    }
  }
}

void TsHtml::SaveBreak() {
  PrevPos = CurPos;
  PrevLastPos = LastPos;
  sPrevTag = sCurrentTag;
  sPrevChar = sCurrentChar;
  FBreak.CurX = CurX;
  FBreak.CurY = CurY;
  FBreak.CurWidthValue = CurWidthValue;
  FBreak.CurrentRowHeight = CurrentRowHeight;
  FBreak.Font = FFont;
  FBreak.Fonts = aFonts.size();
  FPopped.clear();
  FBreak.Links = Links.size();
  FBreak.LastLink = Links.empty() ? TacLink{} : Links.back();
  FBreak.Ops = FOps.size();
  FBreak.OpenLinks = FOpenLinks;
}

// Places the pending word. Answers true when the scan went back to the last break point
// to start a new row there.
bool TsHtml::BreakCheck() {
  if (LastPos >= CurPos) return false;
  const std::wstring word = WithoutLineBreaks(
      std::wstring_view(Origin).substr(static_cast<std::size_t>(LastPos), static_cast<std::size_t>(CurPos - LastPos)));
  const int width = Measure(word).cx;
  if (Fits(width)) {
    DrawPiece(LastPos, CurPos);
    LastPos = CurPos;
    return false;
  }
  // A word wider than the area, or one whose break point is the row's own start (going
  // back there would find the same word again): it gets a row of its own and overflows.
  if (width > Area.Width() || PrevPos <= LinePos) {
    if (CurX != FRowStart) NewRow(false);
    LinePos = LastPos;
    DrawPiece(LastPos, CurPos);
    LastPos = CurPos;
    return false;
  }
  CurPos = PrevPos;
  LastPos = PrevLastPos;
  sCurrentTag = sPrevTag;
  sCurrentChar = sPrevChar;
  // Everything laid out after the break point is taken back.
  CurX = FBreak.CurX;
  CurY = FBreak.CurY;
  CurWidthValue = FBreak.CurWidthValue;
  CurrentRowHeight = FBreak.CurrentRowHeight;
  FFont = FBreak.Font;
  aFonts.resize(std::min(aFonts.size(), FBreak.Fonts - FPopped.size()));
  for (auto it = FPopped.rbegin(); it != FPopped.rend(); ++it) aFonts.push_back(*it);
  FPopped.clear();
  Links.resize(std::min(Links.size(), FBreak.Links));
  if (!Links.empty() && Links.size() == FBreak.Links) Links.back() = FBreak.LastLink;
  FOps.resize(std::min(FOps.size(), FBreak.Ops));
  FOpenLinks = FBreak.OpenLinks;
  NewRow(false);
  LinePos = CurPos;
  SaveBreak();
  return true;
}

void TsHtml::NewRow(bool Gap) {
  if (Calculating)
    aLineSizes.push_back({CurWidthValue, CurrentRowHeight,
                          Origin.substr(static_cast<std::size_t>(LinePos),
                                        static_cast<std::size_t>(std::max(0, LastPos - LinePos)))});
  MaxBmpWidth = std::max(MaxBmpWidth, CurWidthValue);
  CurY += CurrentRowHeight + (Gap ? 2 : 0);
  CurWidthValue = 0;
  CurrentRowHeight = 0;
  ++LineNumber;
  FRowStart = RowStartX();
  CurX = FRowStart;
  if (!Calculating) CurrentRowHeight = MeasuredRow(true);
}

// A wrapped row inside a piece: not a measured row, no gap.
void TsHtml::WrapRow() {
  CurX = FRowStart;
  CurY += std::max(CurrentRowHeight, YyHeight());
}

void TsHtml::PutText(std::wstring_view Text, int Width, int Height, unsigned Flags) {
  if (!Calculating) {
    const int h = AlphaChannel && (Flags & acDT_VCENTER) ? Height : CurrentRowHeight;
    FOps.push_back({FFont, std::wstring(Text), Rect(CurX, CurY, CurX + Width, CurY + h), Flags});
  }
  CurX += Width;
  CurWidthValue = std::max(CurWidthValue, CurX - FRowStart);
}

void TsHtml::DrawPiece(int From, int To) {
  if (From >= To) return;
  const std::wstring text = WithoutLineBreaks(
      std::wstring_view(Origin).substr(static_cast<std::size_t>(From), static_cast<std::size_t>(To - From)));
  if (text.empty()) return;
  const TacTextSize size = Measure(text);
  CurrentRowHeight = std::max(CurrentRowHeight, size.cy);
  if (Fits(size.cx)) {
    PutText(text, size.cx, size.cy, TextFlags());
    return;
  }
  // Word by word; a word wider than the whole area stands alone and the rest goes below it.
  const int blank = Measure(L" ").cx;
  std::size_t i = 0;
  if (text[0] == L' ' && CurX != FRowStart) CurX += blank;  // a row starts with no blank
  while (i < text.size()) {
    Step();
    if (text[i] == L' ') {
      ++i;
      continue;
    }
    std::size_t j = text.find(L' ', i);
    if (j == std::wstring::npos) j = text.size();
    const std::wstring_view word = std::wstring_view(text).substr(i, j - i);
    const TacTextSize ws = Measure(word);
    if (!Fits(ws.cx) && CurX != FRowStart) WrapRow();
    PutText(word, ws.cx, ws.cy, TextFlags());
    CurX += blank;
    i = j;
  }
}

TsHtml::TTagResult TsHtml::DoTag(const std::wstring& Tag, int TagStart) {
  sCurrentTag = Tag;
  if (Tag.size() >= 2 && Tag[1] == L'/') {
    // Closing tags compare the start of the name only: "</BODY>" closes bold.
    const std::wstring_view name = std::wstring_view(Tag).substr(2);
    if (StartsWith(name, L"B")) FFont.Bold = false;
    else if (StartsWith(name, L"I")) FFont.Italic = false;
    else if (StartsWith(name, L"U")) FFont.Underline = false;
    else if (StartsWith(name, L"FONT")) PopFont();
    else if (StartsWith(name, L"A")) EndLink();
    else if (StartsWith(name, L"P")) return TTagResult::NewRow;
    else return TTagResult::NotATag;
    return TTagResult::Done;
  }
  const std::wstring_view name = std::wstring_view(Tag).substr(1);
  auto word = [&](std::wstring_view w) {
    return StartsWith(name, w) && name.size() > w.size() && (name[w.size()] == L' ' || name[w.size()] == L'>');
  };
  if (word(L"BR") || word(L"BR/")) return TTagResult::NewRow;
  if (word(L"B")) FFont.Bold = true;
  else if (word(L"I")) FFont.Italic = true;
  else if (word(L"U")) FFont.Underline = true;
  else if (word(L"P")) return TTagResult::NewRow;
  // FONT and A are found anywhere in the tag, so any tag with the letter A is a link.
  else if (Tag.find(L"FONT") != std::wstring::npos) DoFont(Tag);
  else if (Tag.find(L'A') != std::wstring::npos) DoLink(TagStart, TagStart + static_cast<int>(Tag.size()));
  else return TTagResult::NotATag;
  return TTagResult::Done;
}

void TsHtml::DoFont(const std::wstring& Tag) {
  aFonts.push_back(FFont);
  auto separator = [](wchar_t c) {
    return c == L'\n' || c == L'\r' || c == L' ' || c == L'"' || c == L'<' || c == L'=' || c == L'>';
  };
  std::size_t i = 0;
  auto next = [&]() {
    while (i < Tag.size() && separator(Tag[i])) ++i;
    const std::size_t start = i;
    while (i < Tag.size() && !separator(Tag[i])) ++i;
    return std::wstring_view(Tag).substr(start, i - start);
  };
  for (std::wstring_view w = next(); !w.empty(); w = next()) {
    if (w == L"SIZE") {
      FFont.Size = FontSizeOf(next(), FFont.Size);
      FFont.Height = 0;
    } else if (w == L"FACE") {
      const std::size_t open = Tag.find(L'"', i);
      if (open == std::wstring::npos) continue;
      const std::size_t close = Tag.find(L'"', open + 1);
      if (close == std::wstring::npos) continue;  // no closing quote: no name
      FFont.Name = Tag.substr(open + 1, close - open - 1);
      i = close + 1;
    } else if (w == L"COLOR") {
      const std::wstring_view value = next();
      for (const TacHtmlColorName& named : acHtmlColors)
        if (value == named.Name) {
          FFont.Color = named.Color;
          return;
        }
      FFont.Color = HexColor(value);
    }
  }
}

void TsHtml::DoLink(int TagStart, int TagEnd) {
  const int index = static_cast<int>(Links.size());
  int state = 0;
  if (index == PressedLink || index == HotLink) state = index == PressedLink && index == HotLink ? 2 : 1;
  aFonts.push_back(FFont);
  FFont.Color = LinkColor(state);
  if (state) FFont.Underline = true;
  Links.push_back({Rect(CurX, CurY, CurX, CurY),
                   Origin.substr(static_cast<std::size_t>(TagStart), static_cast<std::size_t>(TagEnd - TagStart))});
  ++FOpenLinks;
}

void TsHtml::EndLink() {
  if (FOpenLinks <= 0 || Links.empty()) return;  // no open link: nothing changes
  --FOpenLinks;
  TacLink& link = Links.back();
  std::wstring& t = link.Target;
  const std::size_t href = UpperCopy(t).find(L"HREF");
  if (href != std::wstring::npos) t.erase(0, href + 4);
  const std::size_t eq = t.find(L'=');
  if (eq != std::wstring::npos) t.erase(0, std::min(t.size(), eq + 2));
  std::erase_if(t, [](wchar_t c) { return c == L'\'' || c == L'"' || c == L'>'; });
  link.R.Right = CurX;
  link.R.Bottom = link.R.Top + CurrentRowHeight;
  PopFont();
}

void TsHtml::PopFont() {
  if (aFonts.empty()) return;  // nothing saved: the font stays
  if (aFonts.size() <= FBreak.Fonts) FPopped.push_back(aFonts.back());
  FFont = aFonts.back();
  aFonts.pop_back();
}

void TsHtml::DoEntity() {
  const std::wstring_view ref =
      std::wstring_view(UppedText).substr(static_cast<std::size_t>(CurPos) + 1, 255);
  const std::size_t semi = ref.find(L';');
  const std::size_t blank = ref.find(L' ');
  const TacHtmlEntity* entity =
      semi != std::wstring_view::npos && !(blank < semi) ? FindHtmlEntity(ref.substr(0, semi)) : nullptr;
  if (!entity) {
    if (CurPos + 1 < Len && UppedText[static_cast<std::size_t>(CurPos) + 1] == L'&') {
      LastPos = CurPos + 1;  // "&&" shows one "&"
      CurPos += 2;
    } else {
      ++CurPos;  // the "&" stays as text
    }
    return;
  }
  const std::wstring ch(1, entity->Char);
  const TacTextSize size = Measure(ch);
  if (Area.Right > 0 && !Fits(size.cx)) {
    NewRow(false);
    LinePos = CurPos;
  }
  CurrentRowHeight = std::max(CurrentRowHeight, Calculating ? YyHeight() : MeasuredRow(true));
  unsigned flags = acDT_NOCLIP;
  if (BidiMode == bdRightToLeft) flags |= acDT_RIGHT | acDT_RTLREADING;
  else if (BidiMode == bdRightToLeftNoAlign) flags |= acDT_RTLREADING;
  PutText(ch, size.cx, size.cy, flags);
  sCurrentChar = std::wstring(ref.substr(0, semi));
  CurPos += static_cast<int>(semi) + 2;
  LastPos = CurPos;
}

TColor TsHtml::LinkColor(int State) const {
#ifdef _WIN32
  if (SkinManager && SkinManager->Active()) {
    const TacPalette& palette = SkinManager->Palette;
    if (State == 0) return palette[pcWebText];
    if (State == 1) return palette[pcWebTextHot];
    return static_cast<TColor>(BlendTwoColors(static_cast<std::uint32_t>(palette[pcWebTextHot]),
                                              static_cast<std::uint32_t>(palette[pcLabelText]), 127));
  }
#endif
  return State == 2 ? 0x0000FF : 0xFF0000;
}

// ---- the canvas over a bitmap ----------------------------------------------------

#ifdef _WIN32
namespace {

class TBitmapHtmlCanvas final : public TacHtmlCanvas {
public:
  explicit TBitmapHtmlCanvas(TBitmap* Bmp) : FBmp(Bmp) {
    FPpi = GetDeviceCaps(FBmp->Canvas().Handle(), LOGPIXELSY);
    if (FPpi <= 0) FPpi = 96;
  }

  TacHtmlFont InitialFont() override {
    TFont& f = FBmp->Canvas().Font;
    TacHtmlFont font;
    font.Name = f.Name.Get();
    font.Height = f.Height;
    font.Size = SizeOf(font.Height);
    font.Color = f.Color;
    font.Bold = f.Style & fsBold;
    font.Italic = f.Style & fsItalic;
    font.Underline = f.Style & fsUnderline;
    FStrikeOut = f.Style & fsStrikeOut;
    return font;
  }

  int SizeOf(int Height) const {
    return Height < 0 ? MulDiv(-Height, 72, FPpi) : Height > 0 ? MulDiv(Height, 72, FPpi) : 8;
  }

  void Apply(const TacHtmlFont& font) {
    TFont& f = FBmp->Canvas().Font;
    f.Name = font.Name;
    f.Height = font.Height != 0 ? font.Height : -MulDiv(font.Size, FPpi, 72);
    f.Style = (font.Bold ? fsBold : 0u) | (font.Italic ? fsItalic : 0u) | (font.Underline ? fsUnderline : 0u) |
              (FStrikeOut ? fsStrikeOut : 0u);
    f.Color = font.Color;
  }

  TacTextSize TextSize(const TacHtmlFont& Font, std::wstring_view Text) override {
    Apply(Font);
    const TSize size = FBmp->Canvas().TextExtent(std::wstring(Text));
    return {size.cx, size.cy};
  }

  void DrawText(const TacHtmlFont& Font, std::wstring_view Text, const TRect& R, unsigned Flags,
                bool AlphaChannel) override {
    Apply(Font);
    const std::wstring text(Text);
    if (AlphaChannel) {
      DrawTextToBitmap32(FBmp, text.c_str(), true, R, Flags, Font.Color);
      return;
    }
    HDC dc = FBmp->Canvas().FontHandle();
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    TRect r = R;
    DrawTextLimited(dc, text, r, Flags);
    SetBkMode(dc, oldMode);
  }

private:
  TBitmap* FBmp;
  int FPpi = 96;
  bool FStrikeOut = false;
};

}  // namespace

void TsHtml::Init(TBitmap* ABitmap, const std::wstring& Text, int APressedLink, int AHotLink, const TRect& AArea) {
  Bitmap = ABitmap;
  FOwnCanvas = std::make_unique<TBitmapHtmlCanvas>(ABitmap);
  Init(FOwnCanvas.get(), Text, APressedLink, AHotLink, AArea);
}
#endif
