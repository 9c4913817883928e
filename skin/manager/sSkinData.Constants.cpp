// Constant elements, metrics and shadows of a loaded skin: the constant section indexes
// with their fallbacks, the masks of constant elements and title buttons, each section's
// border, corner, outer and texture masks, the GLOBALINFO metrics for the object's
// density, the two window outer effects and the shadow templates of forms.
#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/runtime/Strings.h"
#include "skin/graphics/acGradient.h"
#include "skin/graphics/sDPI.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sSkinManager.h"

const std::array<const wchar_t*, acSectionCount> SectionNames = {
    L"MENUITEM", L"CHECKBOX", L"SPEEDBUTTON", L"SPEEDBUTTON_SMALL", L"TOOLBUTTON", L"TRANSPARENT", L"GROUPBOX",
    L"DIVIDER", L"WEBBUTTON", L"BUTTON", L"COMBONOEDIT", L"BUTTON_HUGE", L"TOOLBAR", L"EDIT", L"GAUGE",
    L"SELECTION", L"STATUSBAR", L"PANEL", L"PANEL_LOW", L"TRACKBAR", L"PROGRESSV", L"DRAGBAR", L"GRIPH", L"GRIPV",
    L"PROGRESSH", L"TABSHEET", L"UPDOWNBTN", L"COMBOBOX", L"CAPTION", L"MAINMENU", L"SPLITTER", L"COMBOBTN",
    L"FORMTITLE", L"HINT", L"DIVIDERV", L"PAGECONTROL", L"TABTOP", L"BARPANEL", L"BARTITLE", L"MENUCAPTION",
    L"DIALOGTITLE", L"MENUBTN", L"MENULINE", L"FORMHEADER", L"TB_BTN", L"TB_MENUBTN", L"TB_TAB", L"COLHEADER",
    L"COLHEADERA", L"COLHEADERL", L"COLHEADERR", L"SLIDER_OFF", L"SLIDER_ON"};

const std::array<const wchar_t*, acTitleGlyphCount - 1> TitleGlyphNames = {
    L"BICLOSEALONE", L"BICONCLOSE", L"BICONMAX", L"BICONMIN", L"BICONNORM", L"BICONHELP",
    L"SICONCLOSE", L"SICONMAX", L"SICONMIN", L"SICONNORM", L"SICONHELP", L"TITLEBUTTON"};

namespace {

int SectionOf(const wchar_t* name) {
  for (int i = 0; i < acSectionCount; ++i)
    if (std::wcscmp(SectionNames[i], name) == 0) return i;
  return -1;
}

// Fallbacks of the sections from MENUCAPTION on (a section naming itself has none).
const std::pair<const wchar_t*, const wchar_t*> SectionFallbacks[] = {
    {L"MENUCAPTION", L"TOOLBAR"},  {L"DIALOGTITLE", L"FORMTITLE"}, {L"MENUBTN", L"SPEEDBUTTON"},
    {L"MENULINE", L"MENULINE"},    {L"FORMHEADER", L"FORMHEADER"}, {L"TB_BTN", L"TOOLBUTTON"},
    {L"TB_MENUBTN", L"TB_MENUBTN"}, {L"TB_TAB", L"TABTOP"},         {L"COLHEADER", L"BUTTON"},
    {L"COLHEADERA", L"COLHEADER"}, {L"COLHEADERL", L"COLHEADER"},  {L"COLHEADERR", L"COLHEADER"},
    {L"SLIDER_OFF", L"PANEL_LOW"}, {L"SLIDER_ON", L"PANEL_LOW"}};

// Limits of skin metrics: a value from a skin may be anything, and these sizes become
// bitmap sizes and loop bounds.
struct TLimit {
  const wchar_t* Prefix;
  int Low, High;
};
const TLimit MetricLimits[] = {
    {L"WSHRAD", 0, 255},        {L"SH_RADIUS_OE", 0, 255}, {L"LO_RADIUS_OE", 0, 255}, {L"SHADOW1BLUR", -1, 255},
    {L"SH_BLUR_OE", 0, 255},    {L"LO_BLUR_OE", 0, 255},   {L"WSHSIZE", 0, 255},      {L"SH_WIDTH", -1, 255},
    {L"LO_WIDTH", -1, 255},     {L"BISPACE", 0, 255},      {L"ALIGNOFFSET", -255, 255}, {L"WSHOFFS", -255, 255},
    {L"SHADOW1OFFSET", -255, 255}, {L"SH_OFFSET", -255, 255}, {L"LO_OFFSET", -255, 255}, {L"BIRIGHT", -255, 255},
    {L"BILEFT", -255, 255},     {L"BITOP", -255, 255},     {L"TITLEHEIGHT", 0, 1000}, {L"MAXHEIGHT", 0, 1000},
    {L"BORDERWIDTH", 0, 1000},  {L"FORMOFFSET", 0, 1000},  {L"CENTEROFFSET", -1000, 1000}};

long long ClampMetric(const std::wstring& key, long long value) {
  for (const TLimit& l : MetricLimits)
    if (key.rfind(l.Prefix, 0) == 0) return std::clamp<long long>(value, l.Low, l.High);
  if (key.find(L"GLOWMARGIN") != std::wstring::npos) return std::clamp<long long>(value, -255, 255);
  return std::clamp<long long>(value, INT_MIN, INT_MAX);
}

int ReadGlobalInt(const TMemIniFile& ini, const std::wstring& key, int def) {
  return static_cast<int>(ClampMetric(key, ini.ReadInteger(s_GlobalInfo, key, def)));
}

int Narrow(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

std::uint32_t PixelOf(TColor c) {
  const std::uint32_t v = static_cast<std::uint32_t>(ColorToRGB(c));
  return 0xFF000000u | ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

// Height rows of Src copied into Dst from row Top on.
void CopyRowsInto(TBitmap* dst, int top, TBitmap* src) {
  TPixels32 s, d;
  if (!GetPixels32(src, s) || !GetPixels32(dst, d)) return;
  for (int y = 0; y < s.Height && top + y < d.Height; ++y)
    std::copy_n(s.Row(y), std::min(s.Width, d.Width), d.Row(top + y));
}

}  // namespace

void FillFourColors(TBitmap* Bmp, const TRect& Area, TColor L, TColor T, TColor R, TColor B) {
  const int w = Area.Width(), h = Area.Height();
  if (w <= 0 || h <= 0) return;
  TPixels32 p;
  if (!GetPixels32(Bmp, p)) return;
  auto fill = [&](int top, int bottom, TColor c) {
    const std::uint32_t v = PixelOf(c);
    for (int y = Area.Top + std::max(top, 0); y < Area.Top + std::min(bottom, h); ++y)
      std::fill_n(p.Row(y) + Area.Left, w, v);
  };
  if (T == 0xFF00FF) {
    fill(0, h, L);
    return;
  }
  fill(0, h / 2, T);
  fill(h / 2, h, B);
  TCanvas& canvas = Bmp->Canvas();
  auto triangle = [&](TColor c, TPoint a, TPoint b, TPoint d) {
    canvas.Brush.Color = ColorToRGB(c) & 0xFFFFFF;
    canvas.Brush.Style = bsSolid;
    canvas.Pen.Color = canvas.Brush.Color;
    canvas.Pen.Style = psSolid;
    canvas.Pen.Width = 1;
    canvas.Polygon({Point(Area.Left + a.X, Area.Top + a.Y), Point(Area.Left + b.X, Area.Top + b.Y),
                    Point(Area.Left + d.X, Area.Top + d.Y)});
  };
  triangle(L, Point(0, 1), Point(w / 2 - 1, h / 2), Point(0, h - 2));
  triangle(R, Point(w - 1, 1), Point(w / 2 + 1, h / 2), Point(w - 1, h - 2));
  GdiFlush();
  GetPixels32(Bmp, p);
  for (int y = Area.Top; y < Area.Bottom; ++y)
    for (int x = Area.Left; x < Area.Right; ++x) p.Row(y)[x] |= 0xFF000000u;
}

// ---------------------------------------------------------------------------
// Metrics and window outer effects
// ---------------------------------------------------------------------------

int TacSkinData::ReadGlobalMetric(const std::wstring& Key, int Default, int MaskIndex, bool Scale) const {
  if (!FOwner || !FOwner->SkinFile) return Default;
  const TMemIniFile& ini = *FOwner->SkinFile;
  if (Scale && MaskIndex >= 0 && MaskIndex < static_cast<int>(ma.size())) {
    const int step = PPIToScaleIndex(static_cast<unsigned>(ma[MaskIndex].DivPPI));
    long long value = ClampMetric(Key, ini.ReadInteger(s_GlobalInfo, Key + ScaleSuffixes[step], -99999));
    long long divisor = ma[MaskIndex].DivPPI;
    if (!ini.ValueExists(s_GlobalInfo, Key + ScaleSuffixes[step])) {
      value = ReadGlobalInt(ini, Key, Default);
      divisor = 96;
    }
    return divisor > 0 ? Narrow(value * PPI / divisor) : Narrow(value);
  }
  const int step = std::clamp(ScaleValue, 0, 3);
  const std::wstring suffixed = Key + ScaleSuffixes[step];
  if (ini.ValueExists(s_GlobalInfo, suffixed)) {
    long long value = ReadGlobalInt(ini, suffixed, Default);
    if (FOwner->Options.ScaleMode == TsSkinManager::smCustomPPI && FOwner->Options.PixelsPerInch < 96)
      value = value * FOwner->Options.PixelsPerInch / 96;
    return Narrow(value);
  }
  if (step == 0) return Default;
  const long long value = ReadGlobalInt(ini, Key, Default);
  return Scale ? Narrow(value * PPI / 96) : Narrow(value);
}

void TacSkinData::LoadGlobalMetrics() {
  if (!FOwner || !FOwner->SkinFile) return;
  const TMemIniFile& ini = *FOwner->SkinFile;
  auto plain = [&](const wchar_t* key, int def) { return ReadGlobalInt(ini, key, def); };
  auto metric = [&](const std::wstring& key, int def) { return ReadGlobalMetric(key, def, -1, true); };
  auto scale = [&](int v) { return FOwner->ScaleInt(v); };
  ExDrawMode = plain(L"BORDERMODE", 0);
  ExShadowOffs = metric(L"ALIGNOFFSET", 0);
  ExShadowOffsR = metric(L"ALIGNOFFSETR", ExShadowOffs);
  ExShadowOffsT = metric(L"ALIGNOFFSETT", ExShadowOffs);
  ExShadowOffsB = metric(L"ALIGNOFFSETB", ExShadowOffs);
  WndShadowRadius = scale(plain(L"WSHRAD", 17));
  WndShadowOffset = scale(plain(L"WSHOFFS", 2));
  WndShadowSize = scale(plain(L"WSHSIZE", 13));
  WndShadowColorN = plain(L"WSHCOLN", 0x44000000);
  WndShadowColorA = plain(L"WSHCOLA", static_cast<int>(0x99000000u));
  BISpacing = scale(plain(L"BISPACE", 0));
  BIRightMargin = metric(L"BIRIGHT", 0);
  BILeftMargin = metric(L"BILEFT", 0);
  BITopMargin = metric(L"BITOP", 0);
  for (int i = 0; i < 5; ++i) {
    GlowMargins[i] = metric(std::wstring(TitleGlyphNames[i]) + L"GLOWMARGIN", 0);
    // A glow count is a number of images: a handful, never a huge allocation.
    const int count = std::clamp(ini.ReadInteger(s_GlobalInfo, std::wstring(TitleGlyphNames[i]) + L"GLOW", 0), 0, 16);
    TitleGlows[i].assign(count, -1);
  }
  Shadow1Offset = metric(L"SHADOW1OFFSET", 0);
  Shadow1Blur = metric(L"SHADOW1BLUR", -1);
  Shadow1Transparency = plain(L"SHADOW1TRANSPARENCY", 0);
  ComboBoxMargin = plain(L"COMBOMARGIN", 2);
  if (ComboBoxMargin == 1 && PPI > 143) ComboBoxMargin = 2;
  SliderMargin = plain(L"SLIDERMARGIN", 1);

  oe.assign(2, TacOutEffData{});
  for (int k = 0; k < 2; ++k) {
    TacOutEffData& e = oe[k];
    const std::wstring p = k == 1 ? L"SH_" : L"LO_";
    auto key = [&](const wchar_t* name) { return p + name; };
    if (k == 1) {
      e.ColorL = plain(L"SH_COLORL", 0);
      e.ColorT = 0xFF00FF;
    } else {
      e.ColorL = SkinColorOf(plain(L"LO_COLORL", 0xFFFFFF), FOwner);
      e.ColorT = SkinColorOf(plain(L"LO_COLORT", 0), FOwner);
      e.ColorR = SkinColorOf(plain(L"LO_COLORR", 0xFFFFFF), FOwner);
      e.ColorB = SkinColorOf(plain(L"LO_COLORB", 0xFFFFFF), FOwner);
    }
    e.WidthL = ReadGlobalInt(ini, key(L"WIDTHL"), -1);
    e.WidthT = ReadGlobalInt(ini, key(L"WIDTHT"), -1);
    e.WidthR = ReadGlobalInt(ini, key(L"WIDTHR"), -1);
    e.WidthB = ReadGlobalInt(ini, key(L"WIDTHB"), -1);
    e.OffsetL = scale(ReadGlobalInt(ini, key(L"OFFSETL"), k == 1 ? 3 : 2));
    e.OffsetT = scale(ReadGlobalInt(ini, key(L"OFFSETT"), 2));
    e.OffsetR = scale(ReadGlobalInt(ini, key(L"OFFSETR"), k == 1 ? 3 : 2));
    e.OffsetB = scale(ReadGlobalInt(ini, key(L"OFFSETB"), k == 1 ? 5 : 4));
    e.Radius = scale(ReadGlobalInt(ini, key(L"RADIUS_OE"), 9));
    e.Blur = scale(ReadGlobalInt(ini, key(L"BLUR_OE"), 5));
    e.Opacity = std::clamp(ini.ReadInteger(s_GlobalInfo, key(L"OPACITY"), k == 1 ? 60 : 200), 0, 255);
    e.Source = ini.ReadInteger(s_GlobalInfo, key(L"SOURCE"), 2);
    LoadWindowShadowMask(e, key(L"MASK"));
    e.WidthL = scale(e.WidthL);
    e.WidthT = scale(e.WidthT);
    e.WidthR = scale(e.WidthR);
    e.WidthB = scale(e.WidthB);
  }
}

void TacSkinData::LoadWindowShadowMask(TacOutEffData& e, const std::wstring& Key) {
  e.Mask = -1;
  if (e.Source == 0 || !FOwner || !FOwner->SkinFile) return;
  const int global = GetSkinIndex(s_GlobalInfo);
  if (e.Source == 1) {
    const TMemIniFile& ini = *FOwner->SkinFile;
    std::wstring value;
    bool scaled = false;
    if (ScaleValue > 0) value = ini.ReadString(s_GlobalInfo, Key + ScaleSuffixes[std::clamp(ScaleValue, 0, 3)], L"");
    if (value.empty()) {
      value = ini.ReadString(s_GlobalInfo, Key, L"");
      scaled = ScaleValue > 0;
    }
    if (value.empty()) return;
    const TacMaskDefinition def = ReadMaskDefinition(ConvertMaskDefinition(UpperCase(value)));
    const int index = AddMask(global, Key, def.MaskType, def.DrawMode, def.ImageCount, def.R, itisaBorder, s_GlobalInfo);
    auto fail = [&] { ma.pop_back(); };
    {
      TsMaskData& m = ma[index];
      m.DivPPI = m.MulPPi;  // resampled here (box filter), not by the mask loader
      m.WL = static_cast<short>(std::clamp(def.WL, 0, 9999));
      m.WT = static_cast<short>(std::clamp(def.WT, 0, 9999));
      m.WR = static_cast<short>(std::clamp(def.WR, 0, 9999));
      m.WB = static_cast<short>(std::clamp(def.WB, 0, 9999));
      m.Cfg = 0;
    }
    if (!def.FileName.empty()) {
      if (!PrepareMaskImage(index, true, def.FileName)) return fail();
    } else if (!PrepareMaskImage(index, true, L"")) {
      return fail();
    }
    if (scaled) {
      TsMaskData& m = ma[index];
      TBitmap* src = m.Bmp ? m.Bmp : FOwner->MasterBitmap();
      m.WL = static_cast<short>(FOwner->ScaleInt(m.WL));
      m.WT = static_cast<short>(FOwner->ScaleInt(m.WT));
      m.WR = static_cast<short>(FOwner->ScaleInt(m.WR));
      m.WB = static_cast<short>(FOwner->ScaleInt(m.WB));
      std::unique_ptr<TBitmap> image;
      if (m.MaskType == 1) {
        auto part = CopyPart(src, m.R.Left, m.R.Top, m.R.Width(), m.R.Height());
        image = AlphaImageFromMasked(part.get(), Rect(0, 0, part->Width(), part->Height()));
      } else {
        image = CopyPart(src, m.R.Left, m.R.Top, m.R.Width(), m.R.Height());
      }
      if (!image || image->Empty()) return fail();
      const int w = FOwner->ScaleInt(image->Width()), h = FOwner->ScaleInt(image->Height());
      auto result = NewBitmap32(std::max(w, 1), std::max(h, 1));
      StretchBitmapFiltered(image.get(), result.get(), result->Width(), result->Height(), 0);
      if (m.MaskType == 1) result = MaskedImageFromAlpha(result.get());
      if (!result || result->Empty()) return fail();
      CacheImage(m, std::move(result), L"Outer", TRect{});
      m.R = Rect(0, 0, m.Bmp->Width(), m.Bmp->Height());
    }
    e.Mask = index;
    return;
  }
  // A generated soft shadow.
  auto b = BuildSoftShadowBitmap(0, e.Radius, 0, e.OffsetL + e.OffsetB, e.OffsetT + e.OffsetB, e.Blur, true);
  if (!b || b->Empty()) return;
  const int bw = b->Width(), bh = b->Height();
  if (e.WidthL == -1) e.WidthL = std::max(0, (bw + e.OffsetL - e.OffsetR - 1) / 2);
  if (e.WidthT == -1) e.WidthT = std::max(0, (bh + e.OffsetT - e.OffsetB - 1) / 2);
  if (e.WidthR == -1) e.WidthR = std::max(0, (bw + e.OffsetR - e.OffsetL - 1) / 2);
  if (e.WidthB == -1) e.WidthB = std::max(0, (bh + e.OffsetB - e.OffsetT - 1) / 2);
  const int index = AddMask(global, Key, 1, 1, 1, Rect(0, 0, 2 * e.Radius + 1, 4 * e.Radius + 2), itisaBorder,
                            s_GlobalInfo);
  auto bmp = NewBitmap32(bw, 2 * bh);
  FillFourColors(bmp.get(), Rect(0, 0, bw, bh), e.ColorL, e.ColorT, e.ColorR, e.ColorB);
  CopyRowsInto(bmp.get(), bh, b.get());
  TsMaskData& m = ma[index];
  m.WL = static_cast<short>(std::max(0, e.WidthL));
  m.WT = static_cast<short>(std::max(0, e.WidthT));
  m.WR = static_cast<short>(std::max(0, e.WidthR));
  m.WB = static_cast<short>(std::max(0, e.WidthB));
  m.DivPPI = m.MulPPi;
  CacheImage(m, std::move(bmp), L"OuterCalc", TRect{});
  m.R = Rect(0, 0, m.Bmp->Width(), m.Bmp->Height());
  e.Mask = index;
}

// ---------------------------------------------------------------------------
// Constant indexes
// ---------------------------------------------------------------------------

void TacSkinData::InitConstantIndexes() {
  if (!FOwner) return;
  TacSkinCommonInfo& info = FOwner->SkinCommonInfo;
  info.IndexGlobalInfo = GetSkinIndex(s_GlobalInfo);
  for (int s = 0; s < acSectionCount; ++s) info.Sections[s] = GetSkinIndex(SectionNames[s]);
  for (const auto& [name, fallback] : SectionFallbacks) {
    const int s = SectionOf(name);
    if (info.Sections[s] != -1) continue;
    const int f = SectionOf(fallback);
    info.Sections[s] = info.Sections[f];
    if (f == s) continue;
    if (info.Sections[f] >= 0)
      AddSection(name, info.Sections[f], 0, 0, 0, 0);
    else
      AddSection(name, -1, -1, -1, -1, -1);
  }
  const int g = info.IndexGlobalInfo;
  auto globalMask = [&](const wchar_t* name) { return GetMaskIndex(g, name); };
  CheckBox = {globalMask(L"BOXUNCHECKED"), globalMask(L"BOXCHECKED"), globalMask(L"BOXGRAYED")};
  SmallCheckBox = {globalMask(L"SMALLUNCHECKED"), globalMask(L"SMALLCHECKED"), globalMask(L"SMALLGRAYED")};
  RadioButton = {globalMask(L"RADIOUNCHECKED"), globalMask(L"RADIOCHECKED")};
  ExBorder = globalMask(L"EXBORDER");
  GripRightBottom = globalMask(L"GRIPIMAGE");
  GripHorizontal = globalMask(L"GRIPHORZ");
  GripVertical = globalMask(L"GRIPVERT");

  auto element = [&](TacConstElementData& e, std::initializer_list<const wchar_t*> names) {
    e = TacConstElementData{};
    for (const wchar_t* n : names) {
      const int i = GetSkinIndex(n);
      if (i < 0) continue;
      e.SkinIndex = i;
      e.SkinSection = n;
      e.MaskIndex = GetMaskIndex(i, L"BORDERSMASK");
      e.GlyphIndex = GetMaskIndex(i, L"GLYPHMASK");
      e.BGIndex = {GetTextureIndex(i, L"PATTERN"), GetTextureIndex(i, L"HOTPATTERN")};
      return;
    }
  };
  element(MenuItem, {L"MENUITEM"});
  element(ComboBtn, {L"COMBOBTN"});
  ComboBtn.GlyphIndex = GetMaskIndex(GetSkinIndex(L"COMBOBOX"), L"GLYPHMASK");
  static const wchar_t* const sides[4] = {L"LEFT", L"TOP", L"RIGHT", L"BOTTOM"};
  static const wchar_t* const layouts[4] = {L"FIRST", L"LAST", L"MIDDLE", L""};
  for (int l = 0; l < 4; ++l)
    for (int s = 0; s < 4; ++s) {
      const std::wstring name = std::wstring(L"TAB") + sides[s] + layouts[l];
      element(Tabs[l][s], {name.c_str()});
    }
  element(Sliders[0], {L"SCROLLSLIDERH"});
  element(Sliders[1], {L"SCROLLSLIDERV"});
  element(ScrollBtns[asLeft], {L"SCROLLBTNLEFT"});
  element(ScrollBtns[asTop], {L"SCROLLBTNTOP"});
  element(ScrollBtns[asRight], {L"SCROLLBTNRIGHT"});
  element(ScrollBtns[asBottom], {L"SCROLLBTNBOTTOM"});
  element(Scrolls[asLeft], {L"SCROLLBAR1H"});
  element(Scrolls[asTop], {L"SCROLLBAR1V"});
  element(Scrolls[asRight], {L"SCROLLBAR2H"});
  element(Scrolls[asBottom], {L"SCROLLBAR2V"});
  element(UpDownBtns[asLeft], {L"UPDOWNBTN_LEFT", L"UPDOWNBTN", L"BUTTON"});
  element(UpDownBtns[asTop], {L"UPDOWNBTN_TOP", L"UPDOWNBTN", L"BUTTON"});
  element(UpDownBtns[asRight], {L"UPDOWNBTNRIGHT", L"UPDOWNBTN", L"BUTTON"});
  element(UpDownBtns[asBottom], {L"UPDOWNBTN_BOTTOM", L"UPDOWNBTN", L"BUTTON"});

  const int track = GetSkinIndex(L"TRACKBAR");
  for (int o = 0; o < 2; ++o) {
    auto& t = TrackBar[o];
    t.fill(-1);
    t[0] = track;
    t[1] = GetMaskIndex(track, L"BORDERSMASK");
    t[2] = o == 0 ? GetMaskIndex(track, L"SLIDERVMASK") : -1;
    if (t[2] < 0) t[2] = GetMaskIndex(track, L"SLIDERMASK");
    t[3] = GetTextureIndex(track, L"PATTERN");
    t[4] = GetTextureIndex(track, L"HOTPATTERN");
    t[6] = GetMaskIndex(track, o == 0 ? L"TICKVERT" : L"TICKHORZ");
    t[7] = GetMaskIndex(track, o == 0 ? L"PROGVERT" : L"PROGHORZ");
    t[8] = GetMaskIndex(track, L"SLIDERCHANNEL");
  }

  for (int t = 0; t < acTitleGlyphCount - 1; ++t) TitleGlyphs[t] = globalMask(TitleGlyphNames[t]);
  TitleGlyphs[tgNone] = -1;
  if (TitleGlyphs[tgCloseAlone] < 0) TitleGlyphs[tgCloseAlone] = TitleGlyphs[tgClose];
  for (int t = tgSmallClose; t <= tgSmallHelp; ++t)
    if (TitleGlyphs[t] < 0) TitleGlyphs[t] = TitleGlyphs[t - tgSmallClose + tgClose];
  for (int i = 0; i < 5; ++i)
    for (std::size_t w = 0; w < TitleGlows[i].size(); ++w)
      TitleGlows[i][w] = globalMask((std::wstring(TitleGlyphNames[i]) + L"GLOW" + std::to_wstring(w)).c_str());
  if (TitleGlyphs[tgCloseAlone] == TitleGlyphs[tgClose]) {
    GlowMargins[0] = GlowMargins[1];
    TitleGlows[0] = TitleGlows[1];
  }
}

// ---------------------------------------------------------------------------
// Section masks
// ---------------------------------------------------------------------------

int TacSkinData::BuildOuterMask(int Index) {
  TsGeneralData& g = gd[Index];
  const int l = std::max(0, g.OuterOffset.Left), t = std::max(0, g.OuterOffset.Top);
  const int r = std::max(0, g.OuterOffset.Right), b = std::max(0, g.OuterOffset.Bottom);
  auto s = BuildSoftShadowBitmap(g.OuterColorL, g.OuterRadius, 0, t + b, l + r, g.OuterBlur, true);
  if (!s || s->Empty()) return -1;
  const int sw = s->Width(), sh = s->Height();
  auto bmp = NewBitmap32(sw, 2 * sh);
  if (g.OuterMode == 3)
    FillFourColors(bmp.get(), Rect(0, 0, sw, sh), g.OuterColorL, 0xFF00FF, 0, 0);
  else
    FillFourColors(bmp.get(), Rect(0, 0, sw, sh), g.OuterColorL, g.OuterColorT, g.OuterColorR, g.OuterColorB);
  CopyRowsInto(bmp.get(), sh, s.get());
  const int index = AddMask(Index, L"OUTERMASK", 1, 1, 1, Rect(0, 0, sw, 2 * sh), itisaBorder, g.ClassName);
  TsMaskData& m = ma[index];
  m.DivPPI = m.MulPPi;
  m.Width = sw;
  m.Height = 2 * sh;
  const TRect& o = g.OuterOffset;
  m.WL = static_cast<short>(std::clamp((sw + o.Left - o.Right) / 2, 0, sw));
  m.WR = static_cast<short>(std::clamp((sw + o.Right - o.Left) / 2, 0, sw));
  m.WT = static_cast<short>(std::clamp((sh + o.Top - o.Bottom) / 2, 0, sh));
  m.WB = static_cast<short>(std::clamp((sh + o.Bottom - o.Top) / 2, 0, sh));
  m.Cfg = 0;
  CacheImage(m, std::move(bmp), L"Outer" + std::to_wstring(index), TRect{});
  return index;
}

void TacSkinData::InitMaskIndexes() {
  const int global = GetSkinIndex(s_GlobalInfo);
  for (int i = 0; i < static_cast<int>(gd.size()); ++i) {
    if (i == global) continue;
    TsGeneralData& g = gd[i];
    g.BorderIndex = GetMaskIndex(i, L"BORDERSMASK");
    g.ImgTL = GetMaskIndex(i, L"IMGTOPLEFT");
    g.ImgTR = GetMaskIndex(i, L"IMGTOPRIGHT");
    g.ImgBL = GetMaskIndex(i, L"IMGBTMLEFT");
    g.ImgBR = GetMaskIndex(i, L"IMGBTMRIGHT");
    switch (g.OuterMode) {
      case 0: g.OuterMask = -1; break;
      case 1:
      case 2: g.OuterMask = GetMaskIndex(i, L"OUTERMASK"); break;
      case 3:
      case 4:
        g.OuterMask = GetMaskIndex(i, L"OUTERMASK");
        if (g.OuterMask < 0) g.OuterMask = BuildOuterMask(i);
        break;
      default: break;
    }
    g.Props[0].TextureIndex = GetTextureIndex(i, g.ClassName, L"PATTERN");
    if (g.States > 1) g.Props[1].TextureIndex = GetTextureIndex(i, g.ClassName, L"HOTPATTERN");
    if (g.States > 2 && g.UseState2)
      g.Props[2].TextureIndex = GetTextureIndex(i, g.ClassName, L"PATTERN2");
    else
      g.Props[2].TextureIndex = g.Props[1].TextureIndex;
    if (g.BorderIndex < 0) {
      g.ScrollBorderOffset = -2;
    } else {
      const TsMaskData& b = ma[g.BorderIndex];
      g.ScrollBorderOffset = (g.ClassName == L"EDIT" || g.ClassName == L"ALPHAEDIT") && b.WL == 1 && b.WT == 1 &&
                                     b.WR == 1 && b.WB == 1
                                 ? -1
                                 : 0;
    }
  }
  for (TsMaskData& m : ma) {
    // An ImageCount of 0 is one image (with default margins below).
    const int images = m.ImageCount > 0 ? m.ImageCount : 1;
    m.Width = m.R.Width() / images;
    m.Height = m.MaskType == -1 ? 0 : (m.MaskType != 0 ? m.R.Height() / (m.MaskType + 1) : m.R.Height());
    if (m.ImageCount == 0) {
      const int mt = std::max<int>(m.MaskType, 0);
      if (m.WT <= 0) m.WT = static_cast<short>((m.Height - 1) / ((mt + 1) * 2));
      if (m.WB <= 0) m.WB = static_cast<short>((m.Height - 1) / ((mt + 1) * 2));
      if (m.WL <= 0) m.WL = static_cast<short>((m.Width - 1) / 2);
      if (m.WR <= 0) m.WR = static_cast<short>((m.Width - 1) / 2);
      m.ImageCount = 1;
    }
    // Margins stay inside the cell: painters read the cell's parts by them.
    const int cw = std::max(0, m.Width), ch = std::max(0, m.Height);
    m.WL = static_cast<short>(std::clamp<int>(m.WL, 0, cw));
    m.WT = static_cast<short>(std::clamp<int>(m.WT, 0, ch));
    m.WR = static_cast<short>(std::clamp<int>(m.WR, 0, cw - m.WL));
    m.WB = static_cast<short>(std::clamp<int>(m.WB, 0, ch - m.WT));
  }
}

void TacSkinData::InitMaskParams() {
  auto metric = [&](const wchar_t* key, int def) { return ReadGlobalMetric(key, def, ExBorder, true); };
  ExBorderWidth = std::max(1, metric(L"BORDERWIDTH", 4));
  ExContentOffs = metric(L"FORMOFFSET", GetSystemMetrics(SM_CXFRAME));
  ExTitleHeight = metric(L"TITLEHEIGHT", 30);
  if (ExTitleHeight <= 0) ExTitleHeight = FOwner ? FOwner->ScaleInt(30) : 30;
  ExMaxHeight = metric(L"MAXHEIGHT", 0);
  if (ExMaxHeight <= 0) ExMaxHeight = ExTitleHeight;
  ExCenterOffs = metric(L"CENTEROFFSET", 0);
}

// ---------------------------------------------------------------------------
// Form shadows
// ---------------------------------------------------------------------------

TBitmap* TacSkinData::GetActiveShadow() {
  if (!rsta)
    rsta = BuildSoftShadowBitmap(WndShadowColorA, WndShadowRadius, WndShadowOffset, 2 * WndShadowSize,
                                 2 * WndShadowSize, 0, false);
  return rsta.get();
}

TBitmap* TacSkinData::GetPassiveShadow() {
  if (!rsti)
    rsti = BuildSoftShadowBitmap(WndShadowColorN, WndShadowRadius, WndShadowOffset, 2 * WndShadowSize,
                                 2 * WndShadowSize, 0, false);
  return rsti.get();
}

void TacSkinData::CheckShadows() {
  if (!FOwner || !FOwner->Active() || !FOwner->ExtendedBorders()) {
    FormShadowSize = TRect{};
    return;
  }
  if (ExBorder >= 0 && ExBorder < static_cast<int>(ma.size())) {
    const TsMaskData& m = ma[ExBorder];
    if (ExDrawMode != 0)
      FormShadowSize = Rect(ExContentOffs, ExContentOffs, ExContentOffs, ExContentOffs);
    else
      FormShadowSize = Rect(std::max(0, m.WL - ExContentOffs), std::max(0, m.WT - ExContentOffs),
                            std::max(0, m.WR - ExContentOffs), std::max(0, m.WB - ExContentOffs));
    TBitmap* src = m.Bmp ? m.Bmp : FOwner->MasterBitmap();
    ShdiTemplate = CopyPart(src, m.R.Left, m.R.Top, m.Width, m.Height);
    ShdaTemplate = m.ImageCount <= 1 ? CopyPart(src, m.R.Left, m.R.Top, m.Width, m.Height)
                                     : CopyPart(src, m.R.Left + m.Width, m.R.Top, m.Width, m.Height);
    return;
  }
  auto copy = [](TBitmap* b) {
    return b ? CopyPart(b, 0, 0, b->Width(), b->Height()) : std::make_unique<TBitmap>();
  };
  ShdaTemplate = copy(GetActiveShadow());
  ShdiTemplate = copy(GetPassiveShadow());
  FormShadowSize = Rect(WndShadowSize, std::max(0, WndShadowSize - WndShadowOffset), WndShadowSize,
                        std::max(0, WndShadowSize + WndShadowOffset));
}
