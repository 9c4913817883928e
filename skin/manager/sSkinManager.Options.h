#pragma once
// The skin manager's option objects: Options, Effects, AnimEffects, ThirdParty,
// ScrollsOptions, ButtonsOptions and LabelsOptions, each owned by its manager. Values whose
// writing has an effect (a repaint, a broadcast, a rescale) are TacProp members: they read
// like fields, and assigning one runs its writer.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "skin/graphics/acLayeredAnim.h"

// A minimize or restore command: the last one the application-window hook saw, and what a
// provider is asked to do.
enum TShowAction { saIgnore, saRestore, saMinimize, saMaximize };

class TsSkinManager;
class TacOptions;

// The scale modes: a fixed step (sm100 .. sm200), the system font's step (smAuto), no
// scaling (smOldMode), the framework's own scaling (smVCL), a density of its own (smCustomPPI).
enum TacScaleMode { sm100, sm125, sm150, sm200, smAuto, smOldMode, smVCL, smCustomPPI };
enum TacArrowsStyle { arsSolid1, arsLines1, arsSolid2, arsLines2, arsDefault };
enum TacOptimizingPriority { opSpeed, opMemory };
// TacBtnEvents (bits).
enum TacBtnEvent : unsigned { beMouseEnter = 0x1, beMouseLeave = 0x2, beMouseDown = 0x4, beMouseUp = 0x8 };
// TacModalButtonsColoring (bits).
enum TacModalButtonsColor : unsigned { bcBackground = 0x1, bcGlyph = 0x2, bcText = 0x4 };
enum TacFontMode { fmDefault, fmFromSkin, fmCustom };

// A published value with a writer: reads as its value; assigning calls the writer, which
// decides what is stored (Store) and what else happens.
template <class T>
class TacProp {
public:
  using TWriter = void (*)(void* Holder, T Value);
  TacProp(void* Holder, TWriter Writer, T Value) : FHolder(Holder), FWriter(Writer), FValue(Value) {}
  TacProp(const TacProp&) = delete;
  TacProp& operator=(const TacProp& Other) { return *this = Other.FValue; }
  TacProp& operator=(T Value) {
    FWriter(FHolder, Value);
    return *this;
  }
  operator T() const { return FValue; }
  T Get() const { return FValue; }
  // The writer's own storage.
  void Store(T Value) { FValue = Value; }

private:
  void* FHolder;
  TWriter FWriter;
  T FValue;
};

// The six values a scale-mode change reports before it runs.
struct TacScaleModeData {
  TacScaleMode OldMode = smOldMode, NewMode = smOldMode;
  int OldPercent = 100, NewPercent = 100;
  int OldPPI = 0, NewPPI = 0;
};

class TacOptions {
public:
  explicit TacOptions(TsSkinManager* Owner);
  TacOptions(const TacOptions&) = delete;
  TacOptions& operator=(const TacOptions&) = delete;

  // The indexed Booleans: 0 CheckEmptyAlpha, 1 NoMouseHover, 2 NativeBordersMaximized,
  // 3 StdGlyphsOrder, 4 ChangeSysColors, 5 StdImgTransparency, 6 DrawNonClientArea. Any
  // other index reads ChangeSysColors; writing one changes nothing.
  bool GetBoolOption(int Index) const;
  void SetBoolOption(int Index, bool Value);

  bool CheckEmptyAlpha = false;
  bool NoMouseHover = false;
  bool NativeBordersMaximized = false;
  bool StdGlyphsOrder = false;
  TacProp<bool> ChangeSysColors;
  bool StdImgTransparency = false;
  TacProp<bool> DrawNonClientArea;
  TacProp<TacArrowsStyle> ArrowsStyle;
  TacOptimizingPriority OptimizingPriority = opSpeed;
  // 48 .. 384; a value outside is taken as the nearest limit.
  TacProp<int> PixelsPerInch;
  TacProp<TacScaleMode> ScaleMode;

  // ArrowsStyle, or the skin's own style when ArrowsStyle is arsDefault.
  TacArrowsStyle ActualArrowStyle() const;
  TsSkinManager* Owner() const { return FOwner; }

private:
  static void WriteChangeSysColors(void* Self, bool Value);
  static void WriteDrawNonClientArea(void* Self, bool Value);
  static void WriteArrowsStyle(void* Self, TacArrowsStyle Value);
  static void WritePixelsPerInch(void* Self, int Value);
  static void WriteScaleMode(void* Self, TacScaleMode Value);
  TsSkinManager* FOwner;
};

class TacSkinEffects {
public:
  explicit TacSkinEffects(TsSkinManager* AManager);
  TacSkinEffects(const TacSkinEffects&) = delete;
  TacSkinEffects& operator=(const TacSkinEffects&) = delete;

  bool AllowAnimation = true;
  bool AllowAeroBluring = true;
  bool AllowGlowing = true;
  // Index 0 AllowOuterEffects, 1 DiscoloredGlyphs; other indexes read false and write nothing.
  bool GetBoolProp(int Index) const;
  void SetBoolProp(int Index, bool Value);
  TacProp<bool> AllowOuterEffects;
  TacProp<bool> DiscoloredGlyphs;
  TsSkinManager* Manager;

private:
  static void WriteAllowOuterEffects(void* Self, bool Value);
  static void WriteDiscoloredGlyphs(void* Self, bool Value);
};

// The base of the animation settings: Active true, Time 0 (ms), Mode atAero.
class TacFormAnimation {
public:
  TacFormAnimation() = default;
  virtual ~TacFormAnimation() = default;
  std::uint16_t Time = 0;
  bool Active = true;
  TacAnimType Mode = atAero;
};
class TacBlendOnMoving : public TacFormAnimation {
public:
  TacBlendOnMoving() {
    Active = false;
    Time = 1000;
  }
  std::uint8_t BlendValue = 170;
};
class TacDialogShow : public TacFormAnimation {};
class TacFormShow : public TacFormAnimation {};
class TacFormHide : public TacFormAnimation {};
class TacMinimizing : public TacFormAnimation {
public:
  TacMinimizing() { Time = 80; }
};
class TacPageChange : public TacFormAnimation {};
class TacSkinChanging : public TacFormAnimation {
public:
  TacSkinChanging() {
    Time = 100;
    Mode = atFading;
  }
};

class TacBtnEffects {
public:
  unsigned Events = beMouseEnter | beMouseLeave | beMouseDown | beMouseUp;  // TacBtnEvent bits
};

class TacAnimEffects {
public:
  explicit TacAnimEffects(TsSkinManager* AManager) : Manager(AManager) {}
  TacAnimEffects(const TacAnimEffects&) = delete;
  TacAnimEffects& operator=(const TacAnimEffects&) = delete;
  TacBlendOnMoving BlendOnMoving;
  TacBtnEffects Buttons;
  TacDialogShow DialogShow;
  TacFormShow FormShow;
  TacFormHide FormHide;
  TacFormHide DialogHide;
  TacMinimizing Minimizing;
  TacPageChange PageChange;
  TacSkinChanging SkinChanging;
  TsSkinManager* Manager;
};

// Class names of controls from other component sets, one list per kind of window handler.
enum TacThirdPartyIndex {
  tpEdit, tpButton, tpBitBtn, tpCheckBox, tpComboBox, tpGrid, tpGroupBox, tpListView, tpPanel, tpTreeView,
  tpwwEdit, tpGridEh, tpVirtualTree, tpPageControl, tpTabControl, tpToolBar, tpStatusBar, tpSpeedButton,
  tpScrollControl, tpUpDown, tpScrollBar, tpStaticText, tpNativePaint
};
constexpr int acThirdPartyCount = 23;

class TsThirdPartyList {
public:
  // The list text of an index (lines of class names); an index outside 0 .. 22 reads empty
  // and writes nothing.
  std::wstring GetString(int Index) const;
  void SetString(int Index, const std::wstring& Value);
  // The list texts by name, 0 ThirdEdits .. 22 ThirdNativePaint.
  static const std::array<const wchar_t*, acThirdPartyCount> Names;

private:
  std::array<std::wstring, acThirdPartyCount> FLists;
};

class TacScrollBarsSupport {
public:
  explicit TacScrollBarsSupport(TsSkinManager* Owner) : FOwner(Owner) {}
  // Index 0 ButtonsSize, 1 ScrollSize; -1 takes the skin's size. Other indexes read -1 and
  // write nothing.
  int GetInt(int Index) const;
  void SetInt(int Index, int Value);
  int ButtonsSize() const { return FSizes[0]; }
  void SetButtonsSize(int Value) { SetInt(0, Value); }
  int ScrollSize() const { return FSizes[1]; }
  void SetScrollSize(int Value) { SetInt(1, Value); }

private:
  TsSkinManager* FOwner;
  std::array<int, 2> FSizes = {-1, -1};
};

class TacButtonsSupport {
public:
  explicit TacButtonsSupport(TsSkinManager* Owner);
  TacButtonsSupport(const TacButtonsSupport&) = delete;
  TacButtonsSupport& operator=(const TacButtonsSupport&) = delete;
  bool ShowFocusRect = true;
  bool ShiftContentOnClick = true;
  bool AllowRTLSysButtons = true;
  unsigned ModalButtonsColoring = bcGlyph;  // TacModalButtonsColor bits
  // One flag for the whole process, true at start, reached through every manager.
  bool OldGlyphsMode() const;
  void SetOldGlyphsMode(bool Value);

private:
  TsSkinManager* FOwner;
};

class TacLabelsSupport {
public:
  bool TransparentAlways = true;
};

// The manager's choice of the application's main font: the stored default, the skin's, or
// MainFont. Writing either value outside loading changes the application's font at once.
class TacFonts {
public:
  explicit TacFonts(TsSkinManager* Owner);
  TacFonts(const TacFonts&) = delete;
  TacFonts& operator=(const TacFonts&) = delete;
  TsSkinManager* SkinManager;
  TacProp<TacFontMode> MainMode;
  TacProp<std::wstring> MainFont;

private:
  static void WriteMainMode(void* Holder, TacFontMode Value);
  static void WriteMainFont(void* Holder, std::wstring Value);
};

// Freezes (Data bit 0 clear) or releases (bit 0 set) a skinned form during a rescale: no
// drawing while frozen, one repaint on release. The provider's own frame state and border
// form join with the form skinning.
class TsSkinProvider;
void FreezeForm(TsSkinProvider* Provider, unsigned Data);
