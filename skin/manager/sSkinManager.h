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

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"
#include "skin/manager/acPackedSkin.h"
#include "skin/manager/acSkinOptions.h"
#include "skin/manager/sSkinData.h"

class TsStoredSkins;
class TacEmbeddedFonts;
class TacSkinListController;
struct TacItemDrawData;

using TNotifyEvent = std::function<void(TComponent* Sender)>;

// Run-time state of a manager (bits).
enum TacManagerState : unsigned {
  msFontChanging = 0x01, msScaleChanging = 0x02, msSkinRemoving = 0x04, msSkinChanging = 0x08,
  msBroadcasting = 0x10, msAnimScaling = 0x20, msFormScaling = 0x40
};

// SkinningRules (bits).
enum TacSkinningRule : unsigned { srStdForms = 0x1, srStdDialogs = 0x2, srThirdParty = 0x4 };

// The kinds of skins a name list takes: external (folders and packed files), stored, all.
enum TacSkinTypes { stUnpacked, stPacked, stAllSkins };

// Slots of the skin's palette. The palette is filled later with the rest of the skin's
// colours; so far only the two slots the section reader uses have names.
enum TacPaletteColors { pcMainColor = 0, pcLabelText = 1 };
constexpr int acPaletteColorCount = 55;

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
// it is the skin source. (Its writer comes with the editor's preview link.)
extern std::unique_ptr<std::vector<std::wstring>> PreviewSkinText;

// Told (Active and SkinName not empty) when a manager has been set up; none by default.
extern std::function<void(bool Active)> SkinActiveNotification;

// Custom task-bar previews: off, and nothing in this program turns them on.
extern bool acTaskbarPreviews;

class TsSkinManager : public TComponent {
public:
  explicit TsSkinManager(TComponent* owner = nullptr);
  ~TsSkinManager() override;
  std::wstring ClassName() const override { return L"TsSkinManager"; }

  TBitmap* MasterBitmap() const { return FMasterBitmap.get(); }

  enum TacScaleMode { smOldMode, smVCL, smAuto, smCustomPPI, sm100, sm125, sm150, sm200 };
  struct TOptions {
    bool DrawNonClientArea = true;
    TacScaleMode ScaleMode = smAuto;
    bool NoMouseHover = false;
    int PixelsPerInch = 96;  // the density of smCustomPPI
  };
  struct TButtonsOptions {
    bool ShiftContentOnClick = true;
  };
  struct TBlendOnMoving {
    bool Active = false;
    int Time = 1000;
  };
  struct TAnimEffects {
    TBlendOnMoving BlendOnMoving;
  };
  // The menu options (filled later with the skinned menus).
  struct TMenuSupport {
    std::wstring IcoLineSkin;
  };

  int HueOffset = 0;
  int Saturation = 0;
  int Brightness = 0;
  bool ExtendedBorders = false;
  TOptions Options;
  TAnimEffects AnimEffects;
  TMenuSupport MenuSupport;
  TButtonsOptions ButtonsOptions;

  // Published state. The writers only store the value so far: loading and announcing on
  // a change come with the skin change.
  bool Active() const { return FActive; }
  void SetActive(bool Value) { FActive = Value; }
  const std::wstring& SkinName() const { return FSkinName; }
  void SetSkinName(const std::wstring& Value) { FSkinName = Value; }
  const std::wstring& SkinDirectory() const { return FSkinDirectory; }
  void SetSkinDirectory(const std::wstring& Value) { FSkinDirectory = Value; }
  unsigned SkinningRules() const { return FSkinningRules; }
  void SetSkinningRules(unsigned Value);
  TsStoredSkins& InternalSkins() { return *FBuiltInSkins; }
  // A skin is loaded and announced.
  bool IsActive() const { return SkinCommonInfo.Active; }

  // Changes between BeginUpdate and the matching EndUpdate reach the forms as one repaint.
  void BeginUpdate() { ++FUpdateCount; }
  // The skin engine announces the change to the forms here; nothing is painted yet.
  void EndUpdate(bool Repaint = false, bool AllowAnimation = true) {
    (void)Repaint;
    (void)AllowAnimation;
    if (FUpdateCount > 0) --FUpdateCount;
  }
  int UpdateCount() const { return FUpdateCount; }

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
  void Loaded();
  // The platform's native-dialog switch follows the default manager's skin.
  void UpdateStdDialogsFlag();
  void ExtractByIndex(int Index, const std::wstring& DestDir);
  void ExtractInternalSkin(const std::wstring& NameOfSkin, const std::wstring& DestDir);
  // Sorted names of the skin list (SkinType: external, stored or all); the first one.
  std::wstring GetSkinNames(TacSkinNames& List, bool CreateDataObject, TacSkinTypes SkinType);
  std::wstring GetExternalSkinNames(TacSkinNames& List, bool CreateDataObject, TacSkinTypes SkinType);
  void SetIconicRepresentation(HWND Wnd, bool Enable);

  // ---- filled later with the per-scale skin data ----
  // The skin data for a density: so far one object, made and loaded on its first request.
  TacSkinData* CommonSkinData(int PPI = 96);
  // Value at the manager's scale step (or at SysScale when it is 0 or more).
  int ScaleInt(int Value, int SysScale = -1) const;
  // The manager's scale step: 0 in smOldMode and smVCL, the mode's step in sm100..sm200,
  // the system font's step in smAuto. (smCustomPPI has none: callers use PixelsPerInch.)
  int GetScale() const;
  // The first section of the 96-PPI skin data named exactly Name; -1 for none, an empty
  // name or no skin data.
  int GetSkinIndex(std::wstring_view Name) const;
  // ---- filled later with the skin change ----
  // Gives a control the skin's default font name; true when the name was replaced. So far
  // nothing is replaced.
  bool UpdateFontName(TControl* Ctrl) {
    (void)Ctrl;
    return false;
  }
  // ---- filled later with the skin images and the palette ----
  // Reads the master bitmap (so far nothing: the master bitmap stays empty).
  void LoadMasterBitmap() {}
  // The palette, brushes and colour adjustments of the loaded skin.
  void InitSkinParams() {}
  // ---- filled later with the skin change and the manager component ----
  void BroadcastNewSkin(bool Repaint) { (void)Repaint; }
  // Fills the empty lists of class names of other component sets with their defaults.
  void FillThirdPartyDefaults() {}

  // ---- fields of the load ----
  bool FActive = true;
  std::wstring FSkinName;
  std::wstring FSkinDirectory;
  std::unique_ptr<TsStoredSkins> FBuiltInSkins;
  TMemIniFile* SkinFile = nullptr;  // the options being read: SkinCommonInfo.OptionsDat
  std::unique_ptr<TacSkinConvertor> sc;
  bool SkinIsPacked = false;
  TacSkinCommonInfo SkinCommonInfo;
  std::unique_ptr<TacEmbeddedFonts> EmbeddedFonts;
  unsigned ManagerState = 0;
  // Extra sections that programs add to every skin (ini lines).
  std::vector<std::wstring> CommonSections;
  std::array<TColor, acPaletteColorCount> Palette{};
  // Solid brushes of palette colours 0-5 (made with the palette; none until then).
  std::array<HBRUSH, 6> Brushes{};
  std::vector<std::unique_ptr<TacSkinData>> SkinDataArray;
  std::unique_ptr<TacSkinListController> SkinListController;
  unsigned FSkinningRules = srStdForms | srStdDialogs | srThirdParty;

  TNotifyEvent OnSkinLoading;
  TNotifyEvent OnSkinListChanged;
  TNotifyEvent OnActivate;

protected:
  std::unique_ptr<TBitmap> FMasterBitmap = std::make_unique<TBitmap>();

private:
  bool FormatError();
  int FUpdateCount = 0;
};

// The process's default manager: the first one made (the skinned objects without a
// manager of their own use it). nullptr when there is none.
TsSkinManager* DefaultManager();
