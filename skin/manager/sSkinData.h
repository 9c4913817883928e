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
class TStream;

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

  // ---- the per-density load (sSkinData.Scale.cpp) ----
  // Loads the skin for this object's density (the manager's load sequence).
  void Init();
  // Frees the cached images and empties the sections, images and outer effects.
  void Reset();
  // Metrics that only depend on the density.
  void LoadParams();
  // Value * PPI div 96.
  int ScaleIntValue(int Value) const;
  // The size of one cell of a mask.
  TPoint MaskImageSize(const TsMaskData& Mask) const;
  // The definition of Key in Section picked for this density (upper-cased, fixed form),
  // with the density it was made for; empty when the skin has none.
  std::wstring FindScaledDefinition(const std::wstring& Section, const std::wstring& Key, int& DivPPI) const;
  // Adds the mask Key of section SkinIndex for this density; a mask whose image cannot be
  // had, or whose rectangle is empty or outside its bitmap, is not kept.
  void LoadMaskDefinition(int SkinIndex, const std::wstring& Section, const std::wstring& Key);
  // Gives mask Index its image (cached, resampled); false when there is none.
  bool PrepareMaskImage(int Index, bool KeepAlpha, const std::wstring& FileName);
  // The image cache: the entry of the same file (or the same cut of the master bitmap).
  int FindCachedImage(const TsMaskData& Mask, const std::wstring& FileName) const;
  void UseCachedImage(TsMaskData& Mask, int Entry) const;
  void CacheImage(TsMaskData& Mask, std::unique_ptr<TBitmap> Bmp, const std::wstring& FileName,
                  const TRect& SrcRect);
  // Collects the skin's images from the options text and the manager's CommonSections.
  void LoadAllMasks();
  int BrightMin() const;
  int BrightMax() const;
  bool Active() const;

  // ---- constant elements, metrics and shadows (sSkinData.Constants.cpp) ----
  // GLOBALINFO metrics for this density and the two window outer effects.
  void LoadGlobalMetrics();
  int ReadGlobalMetric(const std::wstring& Key, int Default, int MaskIndex, bool Scale) const;
  // The mask of a window outer effect (SH_MASK or LO_MASK) by its Source.
  void LoadWindowShadowMask(TacOutEffData& Effect, const std::wstring& Key);
  void InitConstantIndexes();
  void InitMaskIndexes();
  // A generated outer mask of section Index; its mask index.
  int BuildOuterMask(int Index);
  void InitMaskParams();
  void CheckShadows();
  // Window shadows of active and inactive forms, built on first use.
  TBitmap* GetActiveShadow();
  TBitmap* GetPassiveShadow();

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

// A W x H part of Src at (X, Y) in a new 32-bit bitmap (pixels outside Src stay white, alpha 0).
std::unique_ptr<TBitmap> CopyPart(TBitmap* Src, int X, int Y, int W, int H);
// Scroll-button length at 96 pixels per inch, engine-wide.
extern int acScrollBtnLength;

// Resamples a mask's image from DivPPI to MulPPi (Mitchell filter; key colour outside the
// drawn shape unless KeepAlpha or DrawMode bit 0x10); false when nothing was done.
bool ScaleMaskBitmap(TsMaskData& Mask, TBitmap* Master, bool KeepAlpha);
// Gives the mask its bitmap from an image file or a packed entry stream (".BMP", ".JPG",
// ".JPEG", ".PNG"; anything else gives none); Mask.Bmp stays nullptr on failure. With
// SkinData the bitmap goes to its image cache, else the caller owns it (OwnedBmp).
void LoadMaskImage(TsMaskData& Mask, const std::wstring& FileName, TStream* Stream, TacSkinData* SkinData,
                   TsSkinManager* Manager, bool KeepAlpha, std::unique_ptr<TBitmap>* OwnedBmp = nullptr);
void LoadMaskFile(TacSkinData* SkinData, TsMaskData& Mask, const std::wstring& FileName, bool KeepAlpha,
                  TStream* Stream);
// Bit 1: a corner of the first cell holds key pixels; bit 2: the border of BUTTON_HUGE.
int CheckMaskCorners(TsSkinManager* Manager, const TsMaskData& Mask);
// The four-colour fill of an outer effect's image area (Area inside Bmp).
void FillFourColors(TBitmap* Bmp, const TRect& Area, TColor L, TColor T, TColor R, TColor B);
// The constant section names, title-button names and the sections' fallbacks.
extern const std::array<const wchar_t*, acSectionCount> SectionNames;
extern const std::array<const wchar_t*, acTitleGlyphCount - 1> TitleGlyphNames;
enum TacTitleGlyph { tgCloseAlone, tgClose, tgMax, tgMin, tgNorm, tgHelp, tgSmallClose, tgSmallMax, tgSmallMin,
                     tgSmallNorm, tgSmallHelp, tgTitleButton, tgNone };
enum TacTabLayout { tlFirst, tlLast, tlMiddle, tlSingle };
// The four default objects serving requests while no skin is active (made on first use).
TacSkinData* DefaultSkinData(int Step);
void FreeDefaultSkinData();
