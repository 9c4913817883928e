#pragma once
// The per-control skin state: what every skinned object of the engine (a skinned control, a
// form's skin provider, a window handler, the frame adapter) knows about its skin. It names
// the owner's section and manager, finds the skin data of the owner's density, keeps the
// owner's cache bitmap and its update, focus and hover flags, and applies the section's
// colours to the owner. The owner's window carries the state's address in the property
// "ACSDATA", which the senders of the library message read (sMessages).
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TacSkinData;
class TsSkinManager;
struct TacBGInfo;
struct TacSectionQuery;
struct TCacheInfo;
class TacThreadedTimer;
class TsSkinProvider;
class TsCommonData;

// Name of the window property that points to a window's skin state.
inline constexpr wchar_t acCommonDataProp[] = L"ACSDATA";

// Control-kind codes (COC) the owners set and the state tests.
enum : std::uint8_t {
  COC_TsCustom = 0,             // owners that set none
  COC_TsListView = 10,          // list-view handler
  COC_TsComboBox = 18,
  COC_TsBar = 19,
  COC_TsBarTitle = 20,
  COC_TsCheckBox = 32,          // check-box handler
  COC_TsCheckedControl = 50,
  COC_TsPanel = 51,             // skinned panel
  COC_TsDragBar = 56,
  COC_TsGraphicRepaint = 92,    // a graphic control repainted by SKCMD_INVALIDATE
  COC_TsButton = 93,            // button handler
  COC_TsToolButton = 98,
  COC_TsKeepsClassBrush = 142,  // keeps its window-class brush when unskinned
  COC_TsCheckBoxItem = 152,
  COC_TsSkinProvider = 224,     // form skin provider
  COC_TsFrameAdapter = 226,
  COC_TsArcControl = 227,       // arc gauge and spinner
  COC_TsGraphItem = 230,
  COC_TsEdit = 231,             // edit handler
};

// A set of control-kind codes.
struct TacKindSet {
  std::uint64_t Bits[4] = {};
  constexpr bool Contains(std::uint8_t kind) const { return (Bits[kind >> 6] >> (kind & 63)) & 1; }
};
// The set of the inclusive ranges (a single code is a range of one).
constexpr TacKindSet MakeKindSet(std::initializer_list<std::pair<int, int>> ranges) {
  TacKindSet set;
  for (const auto& [first, last] : ranges)
    for (int k = first; k <= last; ++k) set.Bits[k >> 6] |= std::uint64_t{1} << (k & 63);
  return set;
}

// Behaviour sets of the common message handling.
inline constexpr TacKindSet KindsWithoutHover = MakeKindSet({{19, 19}, {51, 74}, {110, 110}, {141, 161}});
inline constexpr TacKindSet KindsWithoutHotState =
    MakeKindSet({{2, 18}, {76, 85}, {132, 140}, {231, 231}});
inline constexpr TacKindSet KindsWithoutHoverGlow = MakeKindSet(
    {{51, 51}, {54, 54}, {56, 59}, {74, 74}, {110, 110}, {141, 141}, {143, 143}, {151, 151}, {161, 161}, {226, 226}});
inline constexpr TacKindSet KindsWithStateColors = MakeKindSet({{2, 18}, {76, 84}, {132, 140}, {231, 231}});
inline constexpr TacKindSet KindsWithFrameRefresh =
    MakeKindSet({{7, 8}, {10, 10}, {14, 14}, {78, 78}, {83, 83}, {85, 85}, {231, 231}});
inline constexpr TacKindSet KindsWithOwnGlow = MakeKindSet({{92, 94}});
// Kinds whose owner answers SKCMD_DEFAULT_SECTION with its default section.
inline constexpr TacKindSet KindsWithDefaultSection =
    MakeKindSet({{2, 10}, {12, 14}, {32, 34}, {51, 51}, {53, 54}, {57, 59}, {74, 76}, {78, 78}, {81, 85}, {92, 94},
                 {132, 141}, {143, 143}, {151, 151}, {161, 161}, {165, 165}, {226, 227}});

// CtrlSkinState bits (others are set and read by the form, handler and control units).
enum : std::uint32_t {
  ACS_PRINTING = 0x200,         // a print device context is set
  ACS_INUPDATE = 0x800,         // inside BeginUpdate
  ACS_SETTINGCOLORS = 0x2000,   // the skin's colours are being written into the owner
  ACS_WIDTHCHANGING = 0x8000,   // the pending move changes the width
  ACS_HEIGHTCHANGING = 0x10000, // the pending move changes the height
};

// BGType: which size changes alter the owner's background. A gradient across the width or
// the height; texture fill modes that depend on both, on the height or on the width.
enum : std::uint16_t {
  BGT_GRADIENT_HORZ = 0x01,
  BGT_GRADIENT_VERT = 0x02,
  BGT_TEXTURE_BOTH = 0x04,
  BGT_TEXTURE_HEIGHT1 = 0x10,
  BGT_TEXTURE_WIDTH1 = 0x20,
  BGT_TEXTURE_HEIGHT2 = 0x40,
  BGT_TEXTURE_WIDTH2 = 0x80,
  BGT_WIDTH_MASK = 0xA5,   // the background depends on the width
  BGT_HEIGHT_MASK = 0x56,  // the background depends on the height
};

enum TacOuterVisibility { ovNone, ovAlways };

// The outer effect (shadow) setting of an owner.
class TacOuterEffects {
public:
  explicit TacOuterEffects(TsCommonData* AOwner) : FOwner(AOwner) {}
  virtual ~TacOuterEffects() = default;
  TacOuterVisibility Visibility() const { return FVisibility; }
  void SetVisibility(TacOuterVisibility Value);
  // The owner's parent repaints, and so does the owner.
  virtual void Invalidate();

  TsCommonData* FOwner;
  TacOuterVisibility FVisibility = ovNone;
};

class TsCommonData {
public:
  // AOwner: the control, form skin provider or other component that owns the state. A
  // windowed control's current WindowProc is kept for the senders' direct call, and its
  // window, when it already has one, gets "ACSDATA".
  TsCommonData(TComponent* AOwner, bool CreateCacheBmp);
  virtual ~TsCommonData();
  TsCommonData(const TsCommonData&) = delete;
  TsCommonData& operator=(const TsCommonData&) = delete;

  // ---- links ----
  // The owner's window: a provider's form window, a handler's FSWHandle, a windowed
  // control's window; 0 when there is none yet. No window is made.
  HWND OwnerHandle() const;
  void InitCommonProp();
  void RemoveCommonProp();
  void ClearLinks();
  void Loaded(bool UpdateColors);

  // ---- manager and skin data ----
  // The own manager, or the default manager when none is set.
  TsSkinManager* ReadSkinManager() const;
  void WriteSkinManager(TsSkinManager* Value);
  // The skin data the owner paints with, for its density.
  TacSkinData* ReadCommonSkinData();
  void WriteCommonSkinData(TacSkinData* Value);
  bool Skinned(bool CheckSkinActive = false);
  bool SkinChanging() const;
  // The density the owner paints at.
  int EffectivePPI();

  // ---- section ----
  const std::wstring& SkinSection() const { return FSkinSection; }
  void WriteSkinSection(const std::wstring& Value);
  void UpdateIndexes(bool UpdateMain = true);
  void UpdateBGType();
  void InitSkinSection();
  // The index of the first of Names found in the owner's skin data (High: the last index
  // of Names to look at); empty names are passed over.
  void FindFirstSection(const std::wstring* Names, int High);

  // ---- update ----
  void BeginUpdate();
  void EndUpdate(bool Repaint = false);
  void Invalidate(bool UpdateNow = false);
  bool IsUpdating();
  bool RecheckUpdating(bool Clear);
  void StopAnimation();
  bool IsAnimating() const;

  // ---- colours ----
  void UpdateColors(bool Repaint = false);
  void ApplyStateColors(bool KeepRedraw);
  bool CustomColor() const { return FCustomColor; }
  void SetCustomColor(bool Value) { SetCustomOption(0, Value); }
  bool CustomFont() const { return FCustomFont; }
  void SetCustomFont(bool Value) { SetCustomOption(1, Value); }
  // Index 0 CustomColor, 1 CustomFont.
  void SetCustomOption(int Index, bool Value);

  // ---- background answers (sCommonData.Background.cpp) ----
  // The background behind a child of the owner (sub-command 34), for the owner's state.
  void FillBackgroundInfo(TacBGInfo& Info, int State, HWND Wnd);
  // The colour the owner shows in a state (Wnd: the owner's window when there is no control).
  TColor BackgroundColor(int State, HWND Wnd = nullptr);
  // The colour a child paints its background with (sub-command 21); 0 without owner control.
  TColor ChildBackgroundColor();
  // The background behind the owner.
  void ParentBackgroundInfo(TCacheInfo& CacheInfo);
  // The section whose background shows at the asker (sub-command 66).
  LRESULT AnswerSectionQuery(TacSectionQuery& Query);
  // The owner's outer effect into its parent's cache (sub-command 40, Info of type 2).
  void PaintOuterEffect(TacBGInfo& Info, int Mode);
  // Every ready, visible child of OwnerCtrl paints its outer effect into this cache.
  void PaintOuterEffects(TControl* OwnerCtrl, TPoint Offset);
  // The cache as a 32-bit DIB of the owner's size.
  void InitCacheBitmap();
  // The widest margin of the section's border image; 0 without one or for flag 2.
  int BorderWidth();

  // ---- hover glow (sCommonData.Messages.cpp) ----
  // Shows or releases the owner's hover glow. SkinIndex -1: the state's own.
  void UpdateHoverGlow(bool Refresh, HWND Wnd, int SkinIndex, bool Animate, std::uint8_t Alpha);

  TacOuterEffects* OuterEffects() const { return FOuterEffects.get(); }
  // The owner when it is a form skin provider.
  TsSkinProvider* Provider() const;

  // ---- fields ----
  TacSkinData* FCommonSkinData = nullptr;  // cached skin data of the owner's density
  bool FCustomFont = false;
  bool FCustomColor = false;
  std::unique_ptr<TBitmap> FOuterCache;
  std::wstring FSkinSection;               // upper case; empty = the owner's default
  TsSkinManager* FSkinManager = nullptr;   // nullptr = the default manager
  std::unique_ptr<TacOuterEffects> FOuterEffects;
  TColor FColorTone = clNone;
  TColor SavedColor = clNone;
  TColor SavedFontColor = clNone;
  bool FFocused = false;
  bool FUpdating = false;
  bool FMouseAbove = false;
  bool HalfVisible = false;
  bool Loading = true;
  std::uint8_t COC = COC_TsCustom;
  int GlowID = -1;
  int PPIIndex = -1;
  int FHUEOffset = 0;
  int FSaturation = 0;
  int CurrentPPI = 96;
  int FUpdateCount = 0;
  int DefFontHeight = 0;
  HDC PrintDC = nullptr;
  std::unique_ptr<TBitmap> FCacheBmp;
  HWND FSWHandle = nullptr;
  TWndMethod WndProc;
  TComponent* FOwnerObject = nullptr;
  TacThreadedTimer* AnimTimer = nullptr;   // owned
  std::uint16_t BGType = 0;
  std::uint32_t CtrlSkinState = 0;
  TRect InvalidRectH, InvalidRectV;
  bool BGChanged = true;
  int SkinIndex = -1;
  TControl* FOwnerControl = nullptr;

private:
  class TLink;
  friend class TLink;
  void SendToOwner(WORD Command, LPARAM LParam = 0);
  void LinkManager(TsSkinManager* Manager);
  void UnlinkOwnerControl();
  bool ManagerHasSections(TsSkinManager* Manager) const;
  // The window "ACSDATA" was put on; only that one has it removed.
  HWND FPropWnd = nullptr;
  // Tells of the own manager's and the owner control's destruction.
  TLink* FLink = nullptr;
  int FProcChangeId = 0;
  bool FOwnerControlGone = false;  // destroyed: nothing may be asked of it any more
};

// The state of the engine's own controls: hue, saturation and tone of the owner's image.
class TsCtrlSkinData : public TsCommonData {
public:
  using TsCommonData::TsCommonData;
  int HUEOffset() const { return FHUEOffset; }
  void SetHUEOffset(int Value) { SetIntProp(0, Value); }
  int Saturation() const { return FSaturation; }
  void SetSaturation(int Value) { SetIntProp(1, Value); }
  TColor ColorTone() const { return FColorTone; }
  void SetColorTone(TColor Value);

private:
  void SetIntProp(int Index, int Value);
};

class TacScrollData {
public:
  explicit TacScrollData(TsCommonData* AOwner) : FOwner(AOwner) {}
  virtual ~TacScrollData() = default;
  int ScrollWidth() const { return FScrollWidth; }
  void SetScrollWidth(int Value) { SetIntProp(0, Value); }
  int ButtonsSize() const { return FButtonsSize; }
  void SetButtonsSize(int Value) { SetIntProp(1, Value); }
  virtual void Invalidate() {}

  int FScrollWidth = -1;  // -1: the skin's size
  int FButtonsSize = -1;
  TsCommonData* FOwner;

private:
  void SetIntProp(int Index, int Value);
};

// The state of the frame adapter and the form providers: with their scroll-bar sizes.
class TsScrollWndData : public TsCommonData {
public:
  TsScrollWndData(TComponent* AOwner, bool CreateCacheBmp);
  ~TsScrollWndData() override;
  TacScrollData* HorzScrollData() const { return FHorzScrollData.get(); }
  TacScrollData* VertScrollData() const { return FVertScrollData.get(); }

  std::unique_ptr<TacScrollData> FHorzScrollData;
  std::unique_ptr<TacScrollData> FVertScrollData;
};

// ---- tests used across the engine ----

// The skin state of a window of this process ("ACSDATA"); nullptr when it has none or
// belongs to another process (there the property is an address of that process).
TsCommonData* CommonDataOfWindow(HWND Wnd);
// The window carries "ACSDATA" or "ACSBSC", or answers SKCMD_IS_SKINNED with 1.
bool IsSkinnedWindow(HWND Wnd);
// A windowed control with a window by its "ACSDATA" state (with Check: that state's
// Skinned), else its "ACSBSC" handler's state likewise, else SKCMD_IS_SKINNED; any other
// control by Perform of SKCMD_IS_SKINNED answering 1.
bool IsSkinnedControl(TControl* Control, bool Check = false);
// The section whose background shows under the control in this state (a state of
// Transparency 39 or less shows its own).
int VisibleSkinIndexOfControl(TControl* Control, int SkinIndex, TsSkinManager* Manager, int State);
// 1 when the owner is drawn in its active (hot) state, else 0.
int IsHot(TsCommonData* State);

// ---- background answers and cache painting (sCommonData.Background.cpp) ----

// The background behind a window, asked of its parent window.
void WindowParentBackgroundInfo(HWND Wnd, TCacheInfo& CacheInfo);
// The query passed to Control, its rectangle moved by Control's position; the answer, or
// Query.SkinIndex when Control gives none.
LRESULT AskParentSection(TControl* Control, TacSectionQuery& Query);
// Sub-command 66 to a window: -1, 0 or 1.
LRESULT SendSectionQuery(HWND Wnd, TacSectionQuery& Query);
// The state of the section lets the control's parent show through.
bool SectionIsTranslucent(TsSkinManager* Manager, int SkinIndex, int State, TControl* Control);
// The colour to draw the control's text with over the section that shows under it.
TColor SectionFontColorOfControl(TControl* Control, int SkinIndex, TsSkinManager* Manager, TsCommonData* StateObj,
                                 int State);
TColor SectionFontColorOfWindow(HWND Wnd, int SkinIndex, TsSkinManager* Manager, int State);
// The cache copied from Src to Dst of the DC, the children clipped out (their bounds moved by
// X and Y). RepairCorners: the cache's see-through corners are repainted first.
void PaintCacheExceptControls(TWinControl* Control, TsCommonData* State, const TRect& Src, int Y, int X,
                              bool RepairCorners, HDC DC, const TRect& Dst);
// The same with the child windows of Wnd; a group box keeps its interior.
void PaintCacheExceptWindows(HWND Wnd, TsCommonData* State, const TRect& Src, int Y, int X, bool RepairCorners,
                             HDC DC, const TRect& Dst);
// Tone, hue and saturation of a cache (key pixels spared), then its corners repaired for
// CornerState.
void ApplyColorEffects(TBitmap* Bitmap, TsCommonData* State, TColor Tone, int CornerState);
// The window region of a bitmap with the border's key-colour corners cut out (and cleared in
// the bitmap); nullptr when the section has no border image. The caller owns the region.
HRGN CreateBorderRegion(int SkinIndex, TBitmap* Bitmap, TacSkinData* SkinData);

// ---- common message handling (sCommonData.Messages.cpp) ----

// Window and framework messages every skinned owner passes here: true when handled.
bool HandleCommonWindowMessage(TMessage& Message, TsCommonData* State);
// The library message: false for sub-commands it does not know (and after 68).
bool DispatchSkinCommand(TMessage& Message, TsCommonData* State);
// 1 when a move of the owner requires it to repaint.
int RepaintIfMoved(TsCommonData* State);
// The common answer to sub-command 19.
bool BackgroundVaries(TsCommonData* State);
// The cursor is inside the owner's visible area.
bool MouseStillAbove(TsCommonData* State);
// The owner's parent is told its background changed and renders its cache again.
void NotifyParentBackground(TsCommonData* State);
bool SizeChangeNeedsRepaint(TsCommonData* State);
// Ends a state animation at once.
void FinishAnimation(TacThreadedTimer* Timer);
bool OuterEffectsAllowed(TsCommonData* State);
// Whether a pressed control's content moves by one pixel.
bool ContentShiftsOnClick(int SkinIndex, TacSkinData* SkinData);
// Value scaled for the control by its manager's scale mode (integer division).
int ScaleForControl(int Value, TsCommonData* State, bool UseSkinPPI = false);
