#pragma once
// The skin manager: the name and folder of the skin, its sources (folder, packed file,
// stored skins, an editor's preview text), the load sequence that turns a source into
// skin data, and the settings the main form applies. The records of a loaded skin are in
// sSkinData, the options reader in acSkinOptions, the stored skins in sStoredSkins.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/StringList.h"
#include "platform/ui/Controls.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Graphics.h"
#include "skin/manager/acPackedSkin.h"
#include "skin/manager/acSkinOptions.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinPalette.h"
#include "skin/manager/sSkinManager.Options.h"
#include "skin/controls/sSkinMenus.h"

class TsStoredSkins;
class TacEmbeddedFonts;
class TacSkinListController;
class TsSkinableMenus;
class TMenuItem;
struct TacItemDrawData;

using TNotifyEvent = std::function<void(TComponent* Sender)>;
class TsSkinManager;

// Run-time state of a manager (bits).
enum TacManagerState : unsigned {
  msFontChanging = 0x01, msScaleChanging = 0x02, msSkinRemoving = 0x04, msSkinChanging = 0x08,
  msBroadcasting = 0x10, msAnimScaling = 0x20, msFormScaling = 0x40
};

// SkinningRules (bits).
enum TacSkinningRule : unsigned { srStdForms = 0x1, srStdDialogs = 0x2, srThirdParty = 0x4 };
// SkinsFilter (bits): the skin list takes stored skins, outside skins.
enum TacSkinsFilterBit : unsigned { sfiInternal = 0x1, sfiExternal = 0x2 };

// Told before a scale-mode change runs, with its six values.
using TScaleModeChangeEvent = std::function<void(TsSkinManager* Sender, const TacScaleModeData& Data)>;

// The kinds of skins a name list takes: external (folders and packed files), stored, all.
enum TacSkinTypes { stUnpacked, stPacked, stAllSkins };


// One skin name of a list, with its item-draw data when asked for.
struct TacSkinName {
  std::wstring Name;
  std::unique_ptr<TacItemDrawData> Data;
};
using TacSkinNames = std::vector<TacSkinName>;

// How the manager's messages are shown: a plain message, a warning with OK, an error box.
enum TacSkinMessageKind { smkPlain, smkWarning, smkError };
using TacSkinMessageSink = std::function<void(TacSkinMessageKind Kind, const std::wstring& Text)>;
// Replaces the dialogs by a sink (tests); an empty function gives the dialogs back.
void SetSkinMessageSink(TacSkinMessageSink Sink);

// Told the name of each step of a skin load and of Loaded as it starts (none by default).
using TacLoadStepObserver = std::function<void(const wchar_t* Step)>;
void SetLoadStepObserver(TacLoadStepObserver Observer);

// The options text of a skin editor's preview while it is being applied; while it exists
// it is the skin source (ApplyPreviewBuffer writes and drops it).
extern std::unique_ptr<std::vector<std::wstring>> PreviewSkinText;

// Told (Active and SkinName not empty) when a manager has been set up; none by default.
extern std::function<void(bool Active)> SkinActiveNotification;

// Custom task-bar previews: off, and nothing in this program turns them on.
extern bool acTaskbarPreviews;

// ---- the application-window hook and the skin editor's preview link ----

// The preview record a skin editor sends (WM_COPYDATA, WParam 7), read by byte offsets:
// little-endian, no padding. Each text ends at its first zero byte or at its field's end
// and is in the system's ANSI code page.
struct TacSkinEditorData {
  static constexpr std::size_t Size = 30645;
  static constexpr std::int32_t MagicValue = 0xA400;
  static constexpr std::size_t SkinNameOffset = 4, SkinNameSize = 128;
  static constexpr std::size_t SkinDirOffset = 132, SkinDirSize = 512;
  static constexpr std::size_t DataOffset = 644, DataSize = 30001;
  std::array<std::uint8_t, Size> Bytes{};
  std::int32_t Magic() const;
  std::wstring SkinName() const;
  std::wstring SkinDir() const;
  std::wstring Data() const;
};
// The WParam of a preview's WM_COPYDATA.
constexpr WPARAM acPreviewCopyDataKind = 7;
// Takes a preview record into Into: only in a process started with "/acpreview" as its
// first argument, for WParam 7, data of at least the record's size (nothing beyond cbData
// is read) and the record's magic. False, Into untouched, otherwise. The one check of both
// receivers (the application window and the form provider).
bool TakeSkinEditorData(WPARAM WParam, const COPYDATASTRUCT* Data, TacSkinEditorData& Into);
// The CBT hook procedure the default manager installs (nullptr: the handlers' own).
void SetDialogHookProcedure(HOOKPROC Proc);
// ---- end of the application-window hook's block ----

class TsSkinManager : public TComponent {
public:
  explicit TsSkinManager(TComponent* owner = nullptr);
  ~TsSkinManager() override;
  std::wstring ClassName() const override { return L"TsSkinManager"; }
  // The ThirdParty lists reach ThirdLists; the skin folder gets its default.
  void AfterConstruction() override;
  void BeforeDestruction() override;

  TBitmap* MasterBitmap() const { return FMasterBitmap.get(); }

  using TacScaleMode = ::TacScaleMode;
  using enum ::TacScaleMode;

  // ---- published properties ----
  // Active: the skin is wanted. Writing it loads (true) or removes (false) the skin.
  bool Active() const { return FActive; }
  void SetActive(bool Value);
  // SkinName: the skin to load; writing it loads the skin while Active.
  const std::wstring& SkinName() const { return FSkinName; }
  void SetSkinName(const std::wstring& Value);
  // SkinDirectory: the folder of folder and packed skins, relative to the executable's
  // folder unless it holds a drive or a double backslash.
  const std::wstring& SkinDirectory() const { return FSkinDirectory; }
  void SetSkinDirectory(const std::wstring& Value);
  unsigned SkinsFilter() const { return FSkinsFilter; }  // TacSkinsFilter bits
  void SetSkinsFilter(unsigned Value);
  bool SkinnedPopups() const { return FSkinnedPopups; }
  void SetSkinnedPopups(bool Value);
  unsigned SkinningRules() const { return FSkinningRules; }
  void SetSkinningRules(unsigned Value);
  TsStoredSkins& InternalSkins() { return *FBuiltInSkins; }
  void SetInternalSkins(const TsStoredSkins& Value);
  // CommonSections (the field below): blanks leave its lines, then the skin is loaded again.
  void SetCommonSections(const TStringList& Value);
  // Colour adjustment of the skin: Brightness -100 .. 100, HueOffset, Saturation.
  int Brightness() const { return FBrightness; }
  void SetBrightness(int Value) { SetColorAdjustment(0, Value); }
  int HueOffset() const { return FHueOffset; }
  void SetHueOffset(int Value) { SetColorAdjustment(1, Value); }
  int Saturation() const { return FSaturation; }
  void SetSaturation(int Value) { SetColorAdjustment(2, Value); }
  void SetColorAdjustment(int Index, int Value);
  // The stored value, in effect only where layered windows are available.
  bool ExtendedBorders() const { return ReadExtendedBorders(); }
  bool ReadExtendedBorders() const;
  // A change makes every loaded skin data recompute its window shadows and repaints the forms.
  void SetExtendedBorders(bool Value);
  // This manager is the process's default one. Writing true takes the role and announces
  // the skin state; writing false does nothing while a default exists.
  bool IsDefault() const;
  void SetIsDefault(bool Value);
  // The loaded skin's version with a point as decimal separator, "N/A" without active skin.
  std::wstring SkinInfo() const;
  std::wstring Version() const { return L"14.10"; }

  TacOptions Options;
  TacSkinEffects Effects;
  TacAnimEffects AnimEffects;
  TsThirdPartyList ThirdParty;
  TacScrollBarsSupport ScrollsOptions;
  TacButtonsSupport ButtonsOptions;
  TacLabelsSupport LabelsOptions;
  TacFonts Fonts;
  // The menu options.
  TacMenuSupport MenuSupport;
  // Asked for the extra line of a popup menu (by its first item) and for an item's font.
  std::function<void(TMenuItem* FirstItem, std::wstring& SkinSection, std::wstring& Caption,
                     std::unique_ptr<TBitmap>& Glyph, bool& LineVisible)>
      OnGetPopupLineData;
  std::function<void(TMenuItem* Item, TOwnerDrawState State, TacMenuItemData& ItemData)> OnGetPopupItemData;
  // The skinned-menu object of the manager.
  std::unique_ptr<TsSkinableMenus> SkinableMenus;

  // A skin is loaded and announced.
  bool IsActive() const { return SkinCommonInfo.Active; }

  // Until EndUpdate a skin change loads but is not announced.
  void BeginUpdate() { NoAutoUpdate = true; }
  void EndUpdate(bool Repaint = false, bool AllowAnimation = true);

  // Frees the loaded skin data: no skin is active and no constant section is known.
  void ResetSkinData();
  // Reloads the skin data for the current density after a colour or scale change.
  void UpdateSkinData();
  // Re-announces the skin to every skinned object when Active.
  void UpdateSkin(bool Repaint = true);
  // SKCMD_STOP_ANIMATION, then SKCMD_REFRESH to every form (behind covers with DoLockForms),
  // then the hook's visible dialog windows are redrawn.
  void RepaintForms(bool DoLockForms = true);
  // Tells everybody that the section's look changed (LParam: its upper-case name).
  void UpdateSkinSection(const std::wstring& SectionName);
  // Replaces the application's default font name in every skinned control tree.
  void ChangeAppFont(const std::wstring& FontName, bool DoLockForms);
  // Remembers the application's font name once.
  void StoreDefFont();
  // Rescales a form or control from iCurrentPPI to iNewPPI (0: the manager's density).
  void UpdateScale(TWinControl* Ctrl, int iCurrentPPI, int iNewPPI);
  // The default manager's thread CBT hook and, with Options.ChangeSysColors, the system-colour
  // redirection: installed once by the first announcement of a skin, removed with the skin
  // (and with the manager). Other managers install nothing.
  void InstallHook();
  void UnInstallHook();
  // Rescales image lists and every registered skinned form to the manager's density.
  void UpdateAllScale();
  // The 100 ms hot-tracking tick: the hot window loses its state once the cursor leaves its
  // window rectangle, the hot graphic control once the cursor leaves it.
  void CheckHotControl();
  // Makes a window the hot one (nullptr: none); the previous one hears SKCMD_MOUSE_LEAVE and
  // the new one SKCMD_MOUSE_ENTER. A hot child under the cursor stays hot when its parent asks.
  void SwitchHotControl(HWND Wnd);
  // Makes a graphic control the hot one (nullptr: none, unless its state still sees the mouse).
  void SwitchHotGraphControl(TControl* Ctrl);

  // ---- colour and index queries ----
  TColor GetGlobalColor() const { return Palette[pcMainColor]; }
  TColor GetGlobalFontColor() const { return Palette[pcLabelText]; }
  TColor GetActiveEditColor() const { return Palette[pcEditBG]; }
  TColor GetActiveEditFontColor() const { return Palette[pcEditText]; }
  TColor GetHighLightColor(bool Focused = true) const {
    return Palette[Focused ? pcSelectionBG_Focused : pcSelectionBG];
  }
  TColor GetHighLightFontColor(bool Focused = true) const {
    return Palette[Focused ? pcSelectionText_Focused : pcSelectionText];
  }
  // Questions about the sections and images of SkinData, or of the 96-PPI skin data.
  int LengthOfGD(const TacSkinData* SkinData = nullptr) const;
  bool IsValidSkinIndex(int SkinIndex, const TacSkinData* SkinData = nullptr) const;
  bool IsValidImgIndex(int ImageIndex, const TacSkinData* SkinData = nullptr) const;
  // The first section whose name equals SkinSection exactly; -1 for none or an empty name.
  int GetSkinIndex(std::wstring_view SkinSection, const TacSkinData* SkinData = nullptr) const;
  // The first image of section SkinIndex named Mask exactly; when none, the same search
  // in the section its PARENTCLASS names (one level only); -1 otherwise.
  int GetMaskIndex(int SkinIndex, std::wstring_view SkinSection, std::wstring_view Mask,
                   const TacSkinData* SkinData = nullptr) const;
  // The names of all sections in order; empty without active skin.
  std::vector<std::wstring> GetSkinSections(const TacSkinData* SkinData = nullptr) const;
  // The section, image and outer-effect records of the 96-PPI skin data (empty without).
  const std::vector<TsGeneralData>& gd() const;
  const std::vector<TsMaskData>& ma() const;
  const std::vector<TacOutEffData>& oe() const;
  // A name drawn at random from the available skins; empty when there is none.
  std::wstring GetRandomSkin();
  // The width of skinned scroll bars for a control of density PPI (smVCL) or the
  // manager's scale; ScrollHeight is the same.
  int ScrollWidth(int PPI = 96);
  int ScrollHeight(int PPI = 96) { return ScrollWidth(PPI); }

  // ---- scale mode (the scale-mode change of the options) ----
  // Runs a scale change from OldMode to NewMode (PPIs for smCustomPPI; 0 otherwise).
  void ChangeScaleMode(TacScaleMode OldMode, TacScaleMode NewMode, int NewPPI, int OldPPI);
  // Applies a new mode to every skinned form of this manager: frozen, rescaled, released.
  void ApplyScaleMode(TacScaleMode NewMode);

  // ---- skin sources and the load sequence ----
  // The full skin folder with a trailing backslash, from SkinDirectory and the executable's folder.
  std::wstring GetFullSkinDirectory() const;
  // Chooses the source (preview text, folder, packed file, stored skin) and opens its
  // options; false when none is found or the skin has no options.
  bool InitSkinFile();
  // Loads the skin for one pixel density; nothing when not Active or no source is found.
  void ReloadSkin(int PPI);
  void LoadFonts();
  void LoadCommonData();
  void CheckVersion();
  // Frees the packed reader and fires OnSkinLoading.
  void CloseSkinFile();
  // What the component does once it has been set up.
  void Loaded() override;
  // The platform's native-dialog switch follows the default manager's skin.
  void UpdateStdDialogsFlag();
  void ExtractByIndex(int Index, const std::wstring& DestDir);
  void ExtractInternalSkin(const std::wstring& NameOfSkin, const std::wstring& DestDir);
  // Sorted names of the skin list (SkinType: external, stored or all); the first one.
  std::wstring GetSkinNames(TacSkinNames& List, bool CreateDataObject, TacSkinTypes SkinType);
  std::wstring GetExternalSkinNames(TacSkinNames& List, bool CreateDataObject, TacSkinTypes SkinType);
  void SetIconicRepresentation(HWND Wnd, bool Enable);

  // ---- per-scale skin data (sSkinManager.Scale.cpp) ----
  // The skin data serving a density: one object per scale step in smVCL, else one object
  // (slot 0); made on its first request and loaded as the skin change asks.
  TacSkinData* CommonSkinData(int PPI = 96);
  // Makes sure the object of the manager's current density exists.
  void PrepareSkinData();
  // Frees every per-scale object.
  void ClearSkinData();
  // Value at scale step SysScale (-1: step 0 in smVCL, the manager's step otherwise;
  // smCustomPPI by PixelsPerInch, smOldMode unchanged).
  int ScaleInt(int Value, int SysScale = -1) const;
  // Value * P div 96 for the density aPPI (0: the mode's own density).
  int ScalePPI(int Value, int aPPI = 0) const;
  // The manager's scale step 0 .. 3.
  int GetScale() const;
  // A mask of a section built for density aMulPPI outside any skin data; aMulPPI, or -1
  // when the skin has no such definition or its image cannot be had (a packed skin's
  // image files only while it loads). The caller keeps the mask's bitmap in Bmp.
  int GetScaledMaskData(const std::wstring& aSectionName, const std::wstring& aPropName, int aDivPPI,
                        int aMulPPI, TsMaskData& md, std::unique_ptr<TBitmap>& Bmp);

  // ---- skin images, palette and colour adjustments (sSkinData.Images.cpp, sSkinPalette.cpp) ----
  // Reads the master bitmap named by GLOBALINFO MASTERBITMAP (empty when none can be read).
  void LoadMasterBitmap();
  // Gives one control the skin's default font name (the stored one without skin); true when
  // the name was replaced. Callers walk the control tree.
  bool UpdateFontName(TControl* Ctrl);
  // The palette, brushes and colour adjustments of the loaded skin.
  void InitSkinParams();
  // The colour adjustments of the skin data being loaded (every object when none is).
  void ApplyHueOffset(int Degrees);
  void ApplySaturation(int Percent);
  void ApplyBrightness(int Amount);
  // Solid brushes of the palette's first six slots (colours before the adjustments).
  std::array<HBRUSH, acPaletteBrushCount> Brushes{};
  // ---- filled with the manager component ----
  // Announces the loaded skin (SKCMD_NEW_SKIN) to every form and child; a skin named while
  // the form definition loaded is loaded first.
  void BroadcastNewSkin(bool Repaint);
  // Frees the skin data and announces that the skin is gone (SKCMD_REMOVE_SKIN).
  void BroadcastRemoveSkin();
  // Fills the empty lists of class names of other component sets with their defaults and
  // copies every list into ThirdLists.
  void FillThirdPartyDefaults();

  // ---- fields ----
  bool FActive = true;
  bool FSkinnedPopups = true;
  bool FExtendedBorders = false;
  bool GlobalHookInstalled = false;  // the CBT hook and the colour redirection are installed
  TNotifyEvent OnActivate, OnDeactivate, OnSkinLoading, OnAfterChange, OnBeforeChange, OnSkinListChanged;
  std::function<void(TsSkinManager* Sender, const std::wstring& OldFontName, const std::wstring& NewFontName)>
      OnFontChanged;
  // A system dialog is about to be skinned: clearing AllowSkinning leaves it native.
  std::function<void(HWND Wnd, bool& AllowSkinning)> OnSysDlgInit;
  // Ini lines every skin gets besides its own options (case-sensitive).
  TStringList CommonSections{true};
  int FGroupIndex = 0;
  HWND FActiveControl = nullptr;  // the hot window
  std::wstring FSkinName;
  std::wstring FSkinDirectory;
  std::unique_ptr<TsStoredSkins> FBuiltInSkins;
  unsigned FSkinsFilter = sfiInternal | sfiExternal;
  unsigned FSkinningRules = srStdForms | srStdDialogs | srThirdParty;
  TScaleModeChangeEvent OnScaleModeChange;
  TNotifyEvent OnScaleChanged;  // Sender: the Options object's manager
  TMemIniFile* SkinFile = nullptr;  // the options being read: SkinCommonInfo.OptionsDat
  std::unique_ptr<TacSkinConvertor> sc;
  std::wstring DefStoredFontName, DefOldFontName, DefNewFontName;
  TControl* FActiveGraphControl = nullptr;  // the hot graphic control
  TTimer* TimerCheckHot = nullptr;           // owned: 100 ms hot tracking
  bool NoAutoUpdate = false;
  unsigned ManagerState = 0;
  bool SkinIsPacked = false;
  int FHueOffset = 0, FSaturation = 0, FBrightness = 0;
  // Scale step (0-3) of the main form's density when the manager was made.
  int SysFontScale = 0;
  TacPalette Palette{};
  // The class-name lists of ThirdParty, one name a line, case-sensitive.
  std::array<TStringList, acThirdPartyCount> ThirdLists;
  std::unique_ptr<TacEmbeddedFonts> EmbeddedFonts;
  std::unique_ptr<TacSkinListController> SkinListController;
  TacSkinCommonInfo SkinCommonInfo;
  std::vector<std::unique_ptr<TacSkinData>> SkinDataArray;

  // The object a running load fills (nullptr between loads).
  TacSkinData* LoadingSkinData = nullptr;

protected:
  std::unique_ptr<TBitmap> FMasterBitmap = std::make_unique<TBitmap>();

protected:
  // Forgets a hot graphic control that is being destroyed.
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  bool FormatError();
  // The load for the current density that the skin change will run: ResetSkinData, then the
  // load sequence; msSkinChanging meanwhile; SkinCommonInfo.Active only when it completed.
  void LoadSkinForCurrentDensity();
  // That load; a skin that raises our exception (or runs out of memory) gives RestoreName
  // back as SkinName, its text in an error box, and the skin of RestoreName loaded again; any
  // other exception passes on (with nothing half-loaded). False when the load failed.
  bool TryLoadSkin(const std::wstring& RestoreName);
  int FHookId = 0;

public:
  // ---- the application-window hook and the skin editor's preview link ----
  // The default manager's hook of the application window; true: the message is handled.
  bool MainWindowHookProc(TMessage& Message);
  // Applies PreviewBuffer: its options text becomes the skin source for one load of its
  // skin, announced once without the skin-change animation.
  void ApplyPreviewBuffer();
  TShowAction ShowState = saIgnore;
  TacSkinEditorData PreviewBuffer;
  HHOOK FCbtHook = nullptr;  // the thread's CBT hook while installed
private:
  bool FTakingPreview = false;
  // The rows of SC_MINIMIZE and SC_RESTORE while a skin is active; true: handled.
  bool MinimizeByHook();
  bool RestoreByHook();
  // Paints a popup-menu window's skinned border from the menu information of its window
  // (or of Item's menu).
  void PaintMenuBorder(TMenuItem* Item, HWND Wnd);
  // ---- end of the application-window hook's block ----
  // A skin name or Active was stored without loading (while loading the form definition):
  // the next new-skin announcement loads it.
  bool FLoadPending = true;
};

// The process's default manager: the first one made (the skinned objects without a
// manager of their own use it). nullptr when there is none.
TsSkinManager* DefaultManager();

// The density a manager (the default one for nullptr) scales a control to: PixelsPerInch in
// smCustomPPI, the manager's step in the fixed modes; in smVCL, without a manager or (when
// asked) without an active skin: the control's density, else the main form's.
int TargetPPI(TsSkinManager* Manager, TControl* Control = nullptr, bool OnlyWhenActive = false);

// Unit routines of the skin loader.
// Dest takes every field of Src; the gradient is a new array of its own.
void CopyGenState(TsGenState& Dest, const TsGenState& Src);
// The alpha byte of an opaque key-colour pixel (0xFFFF00FF) becomes 0.
void KeyPixelToTransparent(std::uint32_t& Pixel);
// Fills the colour part of a generated outer-effect image in R: all ColorL when ColorT is
// the key colour, else ColorB below and ColorT above the middle with a ColorL triangle on
// the left and a ColorR one on the right.
void PaintShadowColorMap(TBitmap* Bitmap, const TRect& R, TColor ColorL, TColor ColorB, TColor ColorR, TColor ColorT);

// Start-up and clean-up of the manager's unit and of the per-control state's (the pipette
// cursor), in the engine's order; SkinEngineStartup runs every start-up of the engine once.
void SkinManagerUnitStartup();
void SkinManagerUnitCleanup();
void SkinEngineStartup();
void SkinEngineCleanup();
// The screen cursor number of the pipette.
constexpr int crPipette = -50;
// SetProcessDPIAware of user32, nullptr where the system has none (looked up at start-up).
using TSetProcessDPIAware = BOOL(WINAPI*)();
extern TSetProcessDPIAware SetProcessDPIAwareEntry;
