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
#include "skin/manager/sSkinPalette.h"

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
  // The palette, brushes and colour adjustments of the loaded skin.
  void InitSkinParams();
  // The colour adjustments of the skin data being loaded (every object when none is).
  void ApplyHueOffset(int Degrees);
  void ApplySaturation(int Percent);
  void ApplyBrightness(int Amount);
  // Solid brushes of the palette's first six slots (colours before the adjustments).
  std::array<HBRUSH, acPaletteBrushCount> Brushes{};
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
  TacPalette Palette{};
  std::vector<std::unique_ptr<TacSkinData>> SkinDataArray;
  std::unique_ptr<TacSkinListController> SkinListController;
  unsigned FSkinningRules = srStdForms | srStdDialogs | srThirdParty;

  TNotifyEvent OnSkinLoading;
  TNotifyEvent OnSkinListChanged;
  TNotifyEvent OnActivate;

  // The object a running load fills (nullptr between loads).
  TacSkinData* LoadingSkinData = nullptr;

protected:
  std::unique_ptr<TBitmap> FMasterBitmap = std::make_unique<TBitmap>();

private:
  bool FormatError();
  int FUpdateCount = 0;
};

// The process's default manager: the first one made (the skinned objects without a
// manager of their own use it). nullptr when there is none.
TsSkinManager* DefaultManager();
