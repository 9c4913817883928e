#pragma once
// One loaded skin at one pixel density: its sections with their three states, its images
// (masks), the two window outer effects, the image cache, the constant elements and the
// metrics of forms and title buttons. Painters and skinned controls read these records by
// index; a section index of -1 means "not skinned".
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ui/Graphics.h"
#include "skin/graphics/acGradient.h"
#include "skin/manager/acSkinOptions.h"

class TsSkinManager;

struct TsFontColor {
  TColor Color = 0;
  TColor Left = -1, Top = -1, Right = -1, Bottom = -1;  // contour colours, -1 = none
};

// One state of a section.
struct TsGenState {
  int GlowSize = 0;
  int ImagePercent = 0;
  int TextureIndex = -1;
  int Transparency = 0;
  int GradientPercent = 0;
  TColor Color = 0xFFFFFF;
  TColor GlowColor = 0xFFFFFF;
  TsFontColor FontColor;
  TsGradArray GradientArray;
};
// The default of every state.
extern const TsGenState DefaultGenState;

// One section of the options text.
struct TsGeneralData {
  std::wstring ParentClass;  // the PARENTCLASS value
  std::wstring ClassName;    // the section name as written
  std::array<TsGenState, 3> Props;  // 0 normal, 1 hot, 2 second state (pressed)
  bool UseState2 = false;
  bool GiveOwnFont = false;
  bool ShiftOnClick = false;
  bool ReservedBoolean = false;
  // The skin's number of states, kept as written (0 is possible): read Props only through
  // PropsIndex/StateProps.
  int States = 0;
  int ScrollBorderOffset = 0;
  int GlowCount = 0, GlowMargin = 0, GlowSize = 0, HotGlowSize = 0;
  int BorderIndex = -1;
  int ImgTL = -1, ImgTR = -1, ImgBL = -1, ImgBR = -1;
  TColor HotGlowColor = 0, GlowColor = 0;
  int OuterMode = 0, OuterMask = -1, OuterOpacity = 0;
  TRect OuterOffset;
  int OuterBlur = 0, OuterRadius = 0;
  TColor OuterColorL = 0, OuterColorT = 0, OuterColorR = 0, OuterColorB = 0;

  // The Props index of a wanted state: 0 to 2, never beyond States - 1, and 0 for a section
  // of fewer than one state. Every painter takes its state index from here.
  int PropsIndex(int State) const;
  const TsGenState& StateProps(int State) const { return Props[PropsIndex(State)]; }
};

// One skin image as loaded.
struct TsMaskData {
  TBitmap* Bmp = nullptr;  // the image's own bitmap (owned by the image cache); nullptr: a
                           // cut of the manager's master bitmap by R
  std::wstring ClassName;     // section
  std::wstring PropertyName;  // mask name
  TRect R;
  short ImageCount = 0;
  short MaskType = 0;
  short DrawMode = 0;
  TacImgType ImgType = itisaBorder;
  TsSkinManager* Manager = nullptr;
  short WL = 0, WT = 0, WR = 0, WB = 0;
  int Cfg = 0;
  int MulPPi = 96, DivPPI = 96;
  int SkinIndex = -1;
  int Width = 0, Height = 0;  // one cell
};

// One window outer effect.
struct TacOutEffData {
  TColor ColorL = 0, ColorT = 0, ColorR = 0, ColorB = 0;
  int OffsetL = 0, OffsetT = 0, OffsetR = 0, OffsetB = 0;
  int WidthL = 0, WidthT = 0, WidthR = 0, WidthB = 0;
  int Blur = 0, Radius = 0;
  int Mask = -1;
  int Source = 0;  // 0 none, 1 a definition, else a generated shadow
  int Opacity = 0;
};

// A constant element (scroll bar part, button, tab...): its section and images.
struct TacConstElementData {
  int SkinIndex = -1;
  int MaskIndex = -1;   // BORDERSMASK
  int GlyphIndex = -1;  // GLYPHMASK
  std::array<int, 2> BGIndex = {-1, -1};  // PATTERN, HOTPATTERN
  std::wstring SkinSection;
};

// One entry of the image cache.
struct TacBmpData {
  int MulPPI = 96, DivPPI = 96;
  int MaskType = 0;
  std::wstring Path;      // section-mask, for reading only
  std::wstring FileName;  // empty for a cut of the master bitmap
  std::unique_ptr<TBitmap> Bmp;
  TRect R;
  TRect SrcRect;
};

enum TacSide { asLeft, asTop, asRight, asBottom };
constexpr int acTitleGlyphCount = 13;  // the twelve title images and "none"
constexpr int acTabLayoutCount = 4;

class TacSkinData {
public:
  explicit TacSkinData(TsSkinManager* AOwner = nullptr, int aPPI = 96);
  ~TacSkinData();
  TacSkinData(const TacSkinData&) = delete;
  TacSkinData& operator=(const TacSkinData&) = delete;

  std::unique_ptr<TBitmap> rsta, rsti;
  bool Initializing = false;
  TsSkinManager* FOwner;
  int ScaleValue = 0;
  int ScalePercent = 100;
  int PPI = 96;
  int Spacing = 0, LineWidth = 0, ArrowSize = 0, SmallArrowSize = 0, ScrollBtnLength = 0;
  int Shadow1Blur = 0, Shadow1Offset = 0;
  int ExBorderWidth = 0, ExTitleHeight = 0, ExMaxHeight = 0, ExContentOffs = 0, ExCenterOffs = 0, ExShadowOffs = 0,
      ExShadowOffsR = 0, ExShadowOffsT = 0, ExShadowOffsB = 0;
  int BIRightMargin = 0, BILeftMargin = 0, BITopMargin = 0;
  int WndShadowRadius = 0, WndShadowSize = 0, WndShadowOffset = 0;
  int Shadow1Transparency = 0, ExDrawMode = 0, BISpacing = 0, ComboBoxMargin = 0, SliderMargin = 0;
  std::uint8_t TabsCovering = 0, RibbonCovering = 0;
  TColor WndShadowColorN = 0, WndShadowColorA = 0;
  std::array<TacConstElementData, 4> Scrolls, ScrollBtns, UpDownBtns;
  std::array<TacConstElementData, 2> Sliders;
  TacConstElementData MenuItem, ComboBtn;
  std::vector<TacBmpData> BmpArray;
  std::array<std::vector<int>, 7> TitleGlows;
  std::array<int, 7> GlowMargins{};
  std::array<int, acTitleGlyphCount> TitleGlyphs;
  std::array<int, 2> RadioButton = {-1, -1};
  std::array<int, 3> CheckBox = {-1, -1, -1}, SmallCheckBox = {-1, -1, -1};
  std::array<std::array<int, 9>, 2> TrackBar;
  std::array<std::array<TacConstElementData, 4>, acTabLayoutCount> Tabs;
  int ExBorder = -1, GripVertical = -1, GripHorizontal = -1, GripRightBottom = -1;
  std::unique_ptr<TBitmap> ShdaTemplate, ShdiTemplate;
  TRect FormShadowSize;
  std::vector<TsMaskData> ma;
  std::vector<TacOutEffData> oe;
  std::vector<TsGeneralData> gd;

  // Appends a section: a full copy of section CopyFrom when it is 0 or more, else one whose
  // states all take Transparency, Color and FontColor (contours -1, other fields 0).
  int AddSection(const std::wstring& Name, int CopyFrom, int States, int Transparency, TColor Color,
                 TColor FontColor);
  int AddMask(int SkinIndex, const std::wstring& MaskName, int MaskType, int DrawMode, int ImageCount,
              const TRect& R, TacImgType ImgType, const std::wstring& SectionName);
  // The first section named exactly Name; -1 for none or an empty name.
  int GetSkinIndex(std::wstring_view Name) const;
  // The mask of the section named MaskName, else of its parents along PARENTCLASS; -1 when none.
  int GetMaskIndex(int SkinIndex, std::wstring_view MaskName) const;
  // The first mask of exactly these section and mask names; no parents.
  int GetMaskIndex(std::wstring_view SectionName, std::wstring_view MaskName) const;
  // The first texture of that name in the section named SectionName, else in its parents.
  int GetTextureIndex(int SkinIndex, std::wstring_view SectionName, std::wstring_view MaskName) const;
  // The same, matching the masks' section index instead of their section name.
  int GetTextureIndex(int SkinIndex, std::wstring_view MaskName) const;
  // The manager's constant section indexes.
  TacIntSections Sections() const;

  // Reads the sections of the options text, the manager's extra sections and the two
  // sections every skin has.
  void LoadAllGeneralData();

  // The per-density load (filled later with the skin images and per-scale data): the
  // manager's load sequence for this object's density.
  void Init();
  // Frees the cached images and empties the sections, images and outer effects.
  void Reset();
  // Metrics that only depend on the density (filled later with the per-scale data).
  void LoadParams();
  // Collects the skin's images. Filled later with the skin images: so far it only takes the
  // palette's main colour from GLOBALINFO COLOR.
  void LoadAllMasks();
  // Filled later with the constant elements: metrics and outer effects of GLOBALINFO, the
  // constant section and mask indexes, the mask parameters and the window shadows.
  void LoadGlobalMetrics() {}
  void InitConstantIndexes() {}
  void InitMaskIndexes() {}
  void InitMaskParams() {}
  void CheckShadows() {}

private:
  void ReadSection(const TMemIniFile& ini, const std::wstring& name);
  void ReadCommonSections();
  // The first section of each name.
  struct TNameHash {
    using is_transparent = void;
    std::size_t operator()(std::wstring_view name) const { return std::hash<std::wstring_view>{}(name); }
  };
  std::unordered_map<std::wstring, int, TNameHash, std::equal_to<>> FSectionIndex;
};
