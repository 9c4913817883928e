#include "skin/manager/sSkinData.h"

#include <algorithm>
#include <cmath>

#include "platform/runtime/Strings.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sDPI.h"
#include "skin/manager/sSkinManager.h"

const TsGenState DefaultGenState{};

int TsGeneralData::PropsIndex(int State) const {
  if (States < 1) return 0;
  return std::clamp(State, 0, std::min(States - 1, 2));
}

TacSkinData::TacSkinData(TsSkinManager* AOwner, int aPPI)
    : FOwner(AOwner), ScaleValue(PPIToScaleIndex(static_cast<unsigned>(aPPI))), ScalePercent(aPPI * 100 / 96),
      PPI(aPPI) {
  TitleGlyphs.fill(-1);
  for (auto& t : TrackBar) t.fill(-1);
}

TacSkinData::~TacSkinData() { Reset(); }

// ---------------------------------------------------------------------------
// Sections and masks
// ---------------------------------------------------------------------------

int TacSkinData::AddSection(const std::wstring& Name, int CopyFrom, int States, int Transparency, TColor Color,
                            TColor FontColor) {
  TsGeneralData section;
  if (CopyFrom >= 0 && CopyFrom < static_cast<int>(gd.size())) {
    section = gd[CopyFrom];
  } else {
    for (TsGenState& s : section.Props) {
      s = TsGenState{0, 0, 0, Transparency, 0, Color, 0, TsFontColor{FontColor, -1, -1, -1, -1}, {}};
    }
    section.States = States;
  }
  section.ClassName = Name;
  section.ParentClass.clear();
  gd.push_back(std::move(section));
  const int index = static_cast<int>(gd.size()) - 1;
  FSectionIndex.try_emplace(Name, index);
  return index;
}

int TacSkinData::AddMask(int SkinIndex, const std::wstring& MaskName, int MaskType, int DrawMode, int ImageCount,
                         const TRect& R, TacImgType ImgType, const std::wstring& SectionName) {
  TsMaskData mask;
  mask.SkinIndex = SkinIndex;
  mask.PropertyName = MaskName;
  mask.MaskType = static_cast<short>(MaskType);
  mask.DrawMode = static_cast<short>(DrawMode);
  mask.ImageCount = static_cast<short>(ImageCount);
  mask.R = R;
  mask.ImgType = ImgType;
  mask.ClassName = SectionName;
  mask.Manager = FOwner;
  mask.DivPPI = 96;
  mask.MulPPi = PPI;
  ma.push_back(std::move(mask));
  return static_cast<int>(ma.size()) - 1;
}

int TacSkinData::GetSkinIndex(std::wstring_view Name) const {
  if (Name.empty()) return -1;
  auto it = FSectionIndex.find(Name);
  if (it != FSectionIndex.end() && it->second < static_cast<int>(gd.size()) && gd[it->second].ClassName == Name)
    return it->second;
  // Sections appended by hand, not through AddSection, are still found.
  for (std::size_t i = 0; i < gd.size(); ++i)
    if (gd[i].ClassName == Name) return static_cast<int>(i);
  return -1;
}

namespace {

// Walks a section and its parents by PARENTCLASS, each section once; Visit answers the
// index found (or -1 to go on).
template <class TVisit>
int WalkParents(const TacSkinData& data, int index, TVisit visit) {
  std::vector<int> visited;
  while (index >= 0 && index < static_cast<int>(data.gd.size())) {
    const int found = visit(index);
    if (found >= 0) return found;
    visited.push_back(index);
    const std::wstring& parent = data.gd[index].ParentClass;
    if (parent.empty()) break;
    index = data.GetSkinIndex(parent);
    if (std::find(visited.begin(), visited.end(), index) != visited.end()) break;
  }
  return -1;
}

}  // namespace

int TacSkinData::GetMaskIndex(int SkinIndex, std::wstring_view MaskName) const {
  if (SkinIndex < 0) return -1;
  return WalkParents(*this, SkinIndex, [&](int section) {
    for (std::size_t i = 0; i < ma.size(); ++i)
      if (ma[i].SkinIndex == section && ma[i].PropertyName == MaskName) return static_cast<int>(i);
    return -1;
  });
}

int TacSkinData::GetMaskIndex(std::wstring_view SectionName, std::wstring_view MaskName) const {
  if (SectionName.empty()) return -1;
  for (std::size_t i = 0; i < ma.size(); ++i)
    if (ma[i].ClassName == SectionName && ma[i].PropertyName == MaskName) return static_cast<int>(i);
  return -1;
}

int TacSkinData::GetTextureIndex(int SkinIndex, std::wstring_view SectionName, std::wstring_view MaskName) const {
  if (SkinIndex < 0 || SectionName.empty() || ma.empty()) return -1;
  // Starts at the named section; its parents are found by name.
  std::vector<std::wstring> visited;
  std::wstring section(SectionName);
  for (;;) {
    for (std::size_t i = 0; i < ma.size(); ++i)
      if (ma[i].ImgType == itisaTexture && ma[i].PropertyName == MaskName && ma[i].ClassName == section)
        return static_cast<int>(i);
    visited.push_back(section);
    const int index = GetSkinIndex(section);
    if (index < 0) return -1;
    const std::wstring& parent = gd[index].ParentClass;
    if (parent.empty() || std::find(visited.begin(), visited.end(), parent) != visited.end() ||
        GetSkinIndex(parent) < 0)
      return -1;
    section = parent;
  }
}

int TacSkinData::GetTextureIndex(int SkinIndex, std::wstring_view MaskName) const {
  if (SkinIndex < 0 || ma.empty()) return -1;
  return WalkParents(*this, SkinIndex, [&](int section) {
    for (std::size_t i = 0; i < ma.size(); ++i)
      if (ma[i].ImgType == itisaTexture && ma[i].SkinIndex == section && ma[i].PropertyName == MaskName)
        return static_cast<int>(i);
    return -1;
  });
}

TacIntSections TacSkinData::Sections() const {
  if (FOwner) return FOwner->SkinCommonInfo.Sections;
  TacIntSections none;
  none.fill(-1);
  return none;
}

// ---------------------------------------------------------------------------
// Reading the sections
// ---------------------------------------------------------------------------

namespace {

const wchar_t* const StateKeyNames[3][12] = {
    {L"COLOR", L"FONTCOLOR", L"TCLEFT", L"TCTOP", L"TCRIGHT", L"TCBOTTOM", L"GCOL", L"GSIZE", L"GRADIENTPERCENT",
     L"GRADIENTDATA", L"IMAGEPERCENT", L"TRANSPARENCY"},
    {L"HOTCOLOR", L"HOTFONTCOLOR", L"HOTTCLEFT", L"HOTTCTOP", L"HOTTCRIGHT", L"HOTTCBOTTOM", L"HGCOL", L"HGSIZE",
     L"HOTGRADIENTPERCENT", L"HOTGRADIENTDATA", L"HOTIMAGEPERCENT", L"HOTTRANSPARENCY"},
    {L"COLOR2", L"FONTCOLOR2", L"TCLEFT2", L"TCTOP2", L"TCRIGHT2", L"TCBOTTOM2", L"GCOL2", L"GSIZE2",
     L"GRADIENTPERCENT2", L"GRADIENTDATA2", L"IMAGEPERCENT2", L"TRANSPARENCY2"},
};
enum { kColor, kFontColor, kLeft, kTop, kRight, kBottom, kGlowColor, kGlowSize, kGradPercent, kGradData,
       kImagePercent, kTransparency };

// Applies a gradient text: shorter than 4 characters means no gradient.
void SetGradient(TsGenState& state, const std::wstring& text) {
  if (text.size() < 4) {
    state.GradientPercent = 0;
    state.GradientArray.clear();
  } else {
    state.GradientArray = ParseGradientText(text);
  }
}

// One state through Read(key, default) and ReadText(key, default) of some source.
template <class TReadInt, class TReadText>
TsGenState ReadState(int k, const TsGenState& defaults, TReadInt readInt, TReadText readText) {
  const wchar_t* const* keys = StateKeyNames[k];
  TsGenState s = defaults;
  s.Color = readInt(keys[kColor], defaults.Color);
  s.FontColor.Color = readInt(keys[kFontColor], defaults.FontColor.Color);
  s.FontColor.Left = readInt(keys[kLeft], defaults.FontColor.Left);
  s.FontColor.Top = readInt(keys[kTop], defaults.FontColor.Top);
  s.FontColor.Right = readInt(keys[kRight], defaults.FontColor.Right);
  s.FontColor.Bottom = readInt(keys[kBottom], defaults.FontColor.Bottom);
  s.GlowColor = readInt(keys[kGlowColor], defaults.GlowColor);
  s.GlowSize = readInt(keys[kGlowSize], defaults.GlowSize);
  s.GradientPercent = readInt(keys[kGradPercent], defaults.GradientPercent);
  readText(keys[kGradData], s);
  s.ImagePercent = readInt(keys[kImagePercent], defaults.ImagePercent);
  s.Transparency = readInt(keys[kTransparency], defaults.Transparency);
  return s;
}

}  // namespace

void TacSkinData::ReadSection(const TMemIniFile& ini, const std::wstring& name) {
  gd.emplace_back();
  const int index = static_cast<int>(gd.size()) - 1;
  FSectionIndex.try_emplace(name, index);
  TsGeneralData& g = gd.back();
  auto readInt = [&](const wchar_t* key, int def, int max = 0x7FFFFFFF) {
    return ReadInheritedInt(ini, name, key, def, false, max);
  };
  g.ClassName = name;
  g.ParentClass = ini.ReadString(name, s_ParentClass, L"");
  g.ReservedBoolean = ReadInheritedBool(ini, name, L"RESERVEDBOOLEAN", false);
  g.GiveOwnFont = ReadInheritedBool(ini, name, L"GIVEOWNFONT", false);
  g.ShiftOnClick = ReadInheritedBool(ini, name, L"SHIFTCLICK", false);
  g.GlowCount = readInt(L"GLOW", 0, 255);
  g.GlowMargin = readInt(L"GLOWMARGIN", 0, 255);
  if (!ma.empty()) g.GlowMargin = static_cast<int>(std::lround(g.GlowMargin * ma[0].MulPPi / 96.0));
  g.States = readInt(L"STATES", 3, 255);
  const int offsets[4] = {ReadInheritedInt(ini, name, L"OUTOFFSL", -1, true, 255),
                          ReadInheritedInt(ini, name, L"OUTOFFST", -1, true, 255),
                          ReadInheritedInt(ini, name, L"OUTOFFSR", -1, true, 255),
                          ReadInheritedInt(ini, name, L"OUTOFFSB", -1, true, 255)};
  auto scale = [this](int v) { return FOwner ? FOwner->ScaleInt(v) : v; };
  g.OuterOffset = Rect(scale(offsets[0]), scale(offsets[1]), scale(offsets[2]), scale(offsets[3]));
  g.OuterOpacity = readInt(L"OUTOPACITY", 200, 255);
  g.OuterMode = readInt(L"OUTERMODE", 2);
  g.OuterBlur = scale(readInt(L"OUTBLUR", 9, 30));
  g.OuterRadius = scale(readInt(L"OUTRADIUS", 9, 30));
  g.OuterColorL = readInt(L"OUTCOLL", 0);
  g.OuterColorT = readInt(L"OUTCOLT", 0);
  g.OuterColorR = readInt(L"OUTCOLR", 0);
  g.OuterColorB = readInt(L"OUTCOLB", 0);
  g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = -1;

  auto state = [&](int k) {
    return ReadState(
        k, DefaultGenState, [&](const wchar_t* key, int def) { return readInt(key, def); },
        [&](const wchar_t* key, TsGenState& s) { SetGradient(s, ReadInheritedString(ini, name, key, L" ")); });
  };
  g.Props[0] = state(0);
  g.Props[1] = g.States > 1 ? state(1) : g.Props[0];
  g.UseState2 = readInt(L"USESTATE2", 0) == 1;
  g.Props[2] = g.UseState2 ? state(2) : g.Props[1];
}

void TacSkinData::ReadCommonSections() {
  if (!FOwner || FOwner->CommonSections.empty()) return;
  TIniSections common;
  ParseIniSections(FOwner->CommonSections, common);
  const TMemIniFile* skinIni = FOwner->SkinFile;
  for (const TIniSection& s : common) {
    if (GetSkinIndex(s.Name) >= 0) continue;  // an existing section is never replaced
    const std::wstring& name = s.Name;
    auto readInt = [&](const wchar_t* key, int def) {
      const int v = ReadIniInteger(common, name, key, -1);
      return v < 0 ? def : v;
    };
    auto readBool = [&](const wchar_t* key, bool def) {
      const std::wstring v = ReadIniString(common, name, key, L"\x1");
      if (v == L"\x1") return def;
      return v == L"1" || UpperCase(v) == L"TRUE";
    };
    TsGeneralData g;
    g.ClassName = name;
    g.ParentClass = UpperCase(ReadIniString(common, name, s_ParentClass, L"-1"));
    TsGeneralData templ;
    templ.States = 3;
    bool fromSkin = false;
    for (const TsGeneralData& existing : gd)
      if (UpperCase(existing.ClassName) == g.ParentClass) {
        templ = existing;
        fromSkin = true;
        break;
      }
    if (!fromSkin) {
      templ.Props.fill(DefaultGenState);
      templ.GiveOwnFont = templ.ReservedBoolean = false;
      templ.GlowCount = templ.GlowMargin = 0;
    }
    auto state = [&](int k) {
      return ReadState(k, templ.Props[k], readInt, [&](const wchar_t* key, TsGenState& st) {
        const std::wstring v = ReadIniString(common, name, key, L"\x1");
        if (v != L"\x1") SetGradient(st, v);
      });
    };
    g.States = readInt(L"STATES", templ.States);
    g.Props[0] = state(0);
    g.Props[1] = g.States > 1 ? state(1) : g.Props[0];
    const int own = ReadIniInteger(common, name, L"USESTATE2", -1);
    if (own >= 0)
      g.UseState2 = own == 1;
    else
      g.UseState2 = skinIni && ReadInheritedInt(*skinIni, g.ParentClass, L"USESTATE2", -1) == 1;
    g.Props[2] = g.UseState2 ? state(2) : g.Props[1];
    g.ReservedBoolean = readBool(L"RESERVEDBOOLEAN", templ.ReservedBoolean);
    g.GiveOwnFont = readBool(L"GIVEOWNFONT", templ.GiveOwnFont);
    g.GlowCount = readInt(L"GLOW", templ.GlowCount);
    g.GlowMargin = readInt(L"GLOWMARGIN", templ.GlowMargin);
    gd.push_back(std::move(g));
    FSectionIndex.try_emplace(name, static_cast<int>(gd.size()) - 1);
  }
}

void TacSkinData::LoadAllGeneralData() {
  gd.clear();
  FSectionIndex.clear();
  if (!FOwner || !FOwner->SkinFile) return;
  const TMemIniFile& ini = *FOwner->SkinFile;
  TabsCovering = static_cast<std::uint8_t>(ReadInheritedInt(ini, L"TABTOP", L"TABSCOVERING", 0, false, 255));
  RibbonCovering = static_cast<std::uint8_t>(ReadInheritedInt(ini, L"RIBBONTAB", L"TABSCOVERING", 0, false, 255));
  const std::vector<std::wstring> sections = ini.ReadSections();
  gd.reserve(sections.size() + 2);
  for (const std::wstring& name : sections) ReadSection(ini, name);
  ReadCommonSections();
  if (GetSkinIndex(L"TRANSPARENT") < 0)
    AddSection(L"TRANSPARENT", -1, 1, 100, 0xFFFFFF, FOwner->Palette[pcLabelText]);
  if (GetSkinIndex(L"MAINCOLOR") < 0)
    AddSection(L"MAINCOLOR", -1, 1, 0, FOwner->Palette[pcMainColor], FOwner->Palette[pcLabelText]);
  LoadGlobalMetrics();
}

// ---------------------------------------------------------------------------
// The per-density load
// ---------------------------------------------------------------------------

void TacSkinData::Init() {
  if (!FOwner) return;
  Initializing = true;
  struct TDone {
    bool& flag;
    ~TDone() { flag = false; }
  } done{Initializing};
  FOwner->ReloadSkin(PPI);
}

void TacSkinData::Reset() {
  BmpArray.clear();
  gd.clear();
  FSectionIndex.clear();
  ma.clear();
  oe.clear();
  rsta.reset();
  rsti.reset();
  ShdaTemplate.reset();
  ShdiTemplate.reset();
}

void TacSkinData::LoadParams() {
  Spacing = 4 * PPI / 96;
  LineWidth = 2 * PPI / 96;
  ArrowSize = 5 * PPI / 96;
  SmallArrowSize = 4 * PPI / 96;
  ScrollBtnLength = acScrollBtnLength * PPI / 96;
}
