#include "skin/manager/sSkinManager.h"

#include <algorithm>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acFontStore.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sDPI.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/acSkinList.h"
#include "skin/manager/sStoredSkins.h"

std::unique_ptr<std::vector<std::wstring>> PreviewSkinText;
std::function<void(bool Active)> SkinActiveNotification;
bool acTaskbarPreviews = false;

namespace {

TsSkinManager* gDefaultManager = nullptr;
TacSkinMessageSink gMessageSink;
TacLoadStepObserver gStepObserver;

// Fonts a skin may carry: more than a skin ever names, few enough that a hostile count
// costs nothing.
constexpr int MaxSkinFonts = 64;

void ShowSkinMessage(TacSkinMessageKind kind, const std::wstring& text) {
  if (gMessageSink) {
    gMessageSink(kind, text);
    return;
  }
  switch (kind) {
    case smkPlain: ShowMessage(text); break;
    case smkWarning: MessageDlg(text, mtWarning, {mbOK}); break;
    case smkError: ShowErrorMessage(text); break;
  }
}

void Step(const wchar_t* name) {
  if (gStepObserver) gStepObserver(name);
}

std::wstring OptionsText(const std::string& bytes) { return DecodeTextBytesAnsi(bytes); }

}  // namespace

void SetSkinMessageSink(TacSkinMessageSink Sink) { gMessageSink = std::move(Sink); }
void SetLoadStepObserver(TacLoadStepObserver Observer) { gStepObserver = std::move(Observer); }
TsSkinManager* DefaultManager() { return gDefaultManager; }

TsSkinManager::TsSkinManager(TComponent* owner)
    : TComponent(owner),
      FBuiltInSkins(std::make_unique<TsStoredSkins>(this)),
      EmbeddedFonts(std::make_unique<TacEmbeddedFonts>(this)),
      SkinListController(std::make_unique<TacSkinListController>(this)) {
  if (!gDefaultManager) gDefaultManager = this;
}

TsSkinManager::~TsSkinManager() {
  SkinDataArray.clear();
  if (gDefaultManager == this) gDefaultManager = nullptr;
}

void TsSkinManager::SetSkinningRules(unsigned Value) {
  FSkinningRules = Value;
  UpdateStdDialogsFlag();
}

// ---------------------------------------------------------------------------
// Skin folder and source
// ---------------------------------------------------------------------------

std::wstring TsSkinManager::GetFullSkinDirectory() const {
  const std::wstring& v = FSkinDirectory;
  const std::wstring exe = ExeDir();
  std::wstring d;
  if (v.rfind(L"..", 0) == 0) {
    // The executable's parent folder; a drive root is its own parent.
    std::wstring p = exe.empty() ? exe : exe.substr(0, exe.size() - 1);
    const std::size_t cut = p.find_last_of(L"\\/");
    p = cut == std::wstring::npos ? exe : p.substr(0, cut + 1);
    d = p + (v.size() > 3 ? v.substr(3) : L"");
  } else if (v.rfind(L".\\", 0) == 0 || v.rfind(L"./", 0) == 0) {
    d = exe + v.substr(2);
  } else if (v == L".") {
    d = exe;
  } else if (v.find(L':') == std::wstring::npos && v.find(L"\\\\") == std::wstring::npos) {
    d = exe + v;
  } else {
    d = v;
  }
  return AddTrailingBackslash(d);
}

bool TsSkinManager::FormatError() {
  ManagerState |= msSkinChanging;
  ShowSkinMessage(smkPlain, L"Internal format error in the \"" + FSkinName +
                                L"\" skin. Please, update this skin to latest version.");
  ManagerState &= ~msSkinChanging;
  sc.reset();
  return false;
}

bool TsSkinManager::InitSkinFile() {
  SkinCommonInfo.SkinPath = GetFullSkinDirectory() + FSkinName + L"\\";
  SkinIsPacked = false;
  TMemIniFile& ini = *SkinCommonInfo.OptionsDat;
  const std::wstring folderOptions = SkinCommonInfo.SkinPath + L"Options.dat";
  // The packed file lies under SkinDirectory as written: relative to the working folder.
  const std::wstring packedFile = AddTrailingBackslash(FSkinDirectory) + FSkinName + L".ovz";
  if (PreviewSkinText) {
    ini.SetStrings(*PreviewSkinText);
  } else if (FileExists(folderOptions)) {
    ini.SetText(OptionsText(ReadAllBytes(folderOptions)));
  } else if (FileExists(packedFile)) {
    OpenPackedSkinFile(packedFile, sc, this);
    if (!sc || !sc->Options) return FormatError();
    SkinIsPacked = true;
    ini.SetText(OptionsText(sc->Options->Bytes()));
  } else {
    SkinCommonInfo.SkinPath.clear();
    TsStoredSkins& stored = *FBuiltInSkins;
    int index = stored.IndexOf(FSkinName);
    if (index < 0) {
      if (stored.Count() == 0) {
        FActive = false;
        return false;
      }
      index = 0;
      FSkinName = stored.Items(0)->Name;
    }
    TsStoredSkin* skin = stored.Items(index);
    // A stored skin without data has no options: reading on would take the previous
    // skin's options for this one.
    if (skin->PackedData->Bytes().empty()) return FormatError();
    SkinIsPacked = true;
    sc = std::make_unique<TacSkinConvertor>();
    sc->PackedData = skin->PackedData.get();  // borrowed for the time of reading
    bool read = false;
    try {
      read = ReadPackedSkin(*sc, this);
    } catch (...) {
      sc->PackedData = nullptr;
      throw;
    }
    sc->PackedData = nullptr;
    if (!read || !sc->Options) return FormatError();
    ini.SetText(OptionsText(sc->Options->Bytes()));
  }
  SkinFile = &ini;
  return true;
}

// ---------------------------------------------------------------------------
// The load sequence
// ---------------------------------------------------------------------------

void TsSkinManager::ReloadSkin(int PPI) {
  if (!FActive || !InitSkinFile()) return;
  // The packed reader lives only while the skin loads, also when a step fails.
  struct TCloseReader {
    std::unique_ptr<TacSkinConvertor>& reader;
    ~TCloseReader() { reader.reset(); }
  } closeReader{sc};
  Step(L"LoadFonts");
  LoadFonts();
  Step(L"LoadCommonData");
  LoadCommonData();
  TacSkinData* d = CommonSkinData(PPI);
  Step(L"LoadParams");
  d->LoadParams();
  Step(L"LoadAllMasks");
  d->LoadAllMasks();
  Step(L"LoadAllGeneralData");
  d->LoadAllGeneralData();
  Step(L"InitConstantIndexes");
  d->InitConstantIndexes();
  Step(L"InitMaskIndexes");
  d->InitMaskIndexes();
  Step(L"InitMaskParams");
  d->InitMaskParams();
  Step(L"InitSkinParams");
  InitSkinParams();
  Step(L"CheckShadows");
  d->CheckShadows();
  Step(L"CloseSkinFile");
  CloseSkinFile();
}

void TsSkinManager::CloseSkinFile() {
  sc.reset();
  if (OnSkinLoading) OnSkinLoading(this);
}

void TsSkinManager::LoadFonts() {
  EmbeddedFonts->Clear();
  if (!SkinFile) return;
  const TMemIniFile& ini = *SkinFile;
  const int count = std::min(ini.ReadInteger(s_GlobalInfo, L"FontCount", 0), MaxSkinFonts);
  auto key = [](const wchar_t* name, int k) { return name + std::to_wstring(k); };
  if (sc) {
    for (const TacFileItem& entry : sc->Files) {
      if (entry.FileType != ftFont) continue;
      TacEmbeddedFont* font = EmbeddedFonts->Add();
      font->FontData = std::make_unique<TMemoryStream>(entry.Stream->Bytes());
      font->FFileName = ExtractFileName(entry.Name);
      for (int k = 0; k < count; ++k)
        if (ini.ReadString(s_GlobalInfo, key(L"FontFile", k), L"") == entry.Name) {
          font->FFontName = ini.ReadString(s_GlobalInfo, key(L"FontName", k), L"");
          break;
        }
      font->LoadFont();
    }
    return;
  }
  for (int k = 0; k < count; ++k) {
    TacEmbeddedFont* font = EmbeddedFonts->Add();
    // Used as written: a relative name resolves against the working folder.
    const std::wstring file = ini.ReadString(s_GlobalInfo, key(L"FontFile", k), L"");
    if (file.empty() || !FileExists(file)) continue;
    const std::int64_t size = FileSizeOf(file);
    if (size < 0 || size > static_cast<std::int64_t>(PackedSkinMaxEntrySize)) {
      CodeSite().SendWarning(L"Skin font " + file + L" is too large and is skipped");
      continue;
    }
    font->FFileName = ExtractFileName(file);
    font->FFontName = ini.ReadString(s_GlobalInfo, key(L"FontName", k), L"");
    font->FontData = std::make_unique<TMemoryStream>(ReadAllBytes(file));
    font->LoadFont();
  }
}

void TsSkinManager::LoadCommonData() {
  LoadMasterBitmap();
  if (SkinFile) ReadSkinCommonInfo(*SkinFile, SkinCommonInfo);
  CheckVersion();
}

void TsSkinManager::CheckVersion() {
  const double version = SkinCommonInfo.Version;
  // Skins older than 10.26 are only reported at design time, which this program has not.
  if (version >= 10.26 && version > 14.99) {
    if (ParamCount() >= 1 && ParamStr(1) == L"/acpreview") return;
    const unsigned rules = FSkinningRules;
    SetSkinningRules(rules & ~srStdDialogs);
    try {
      ShowSkinMessage(smkWarning,
                      L"This version of the skin has not complete support by used Orvantic package release.\r\n"
                      L"Components must be updated to latest version for using this skin.");
    } catch (...) {
      SetSkinningRules(rules);
      throw;
    }
    SetSkinningRules(rules);
  }
}

TacSkinData* TsSkinManager::CommonSkinData(int PPI) {
  if (SkinDataArray.empty()) {
    SkinDataArray.push_back(std::make_unique<TacSkinData>(this, PPI));
    SkinDataArray[0]->Init();
  }
  return SkinDataArray[0].get();
}

int TsSkinManager::GetScale() const {
  switch (Options.ScaleMode) {
    case sm100: return 0;
    case sm125: return 1;
    case sm150: return 2;
    case sm200: return 3;
    case smAuto: {
      // The system font's step: the screen's density.
      HDC dc = GetDC(nullptr);
      const int ppi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
      if (dc) ReleaseDC(nullptr, dc);
      return PPIToScaleIndex(static_cast<unsigned>(ppi));
    }
    default: return 0;
  }
}

int TsSkinManager::GetSkinIndex(std::wstring_view Name) const {
  if (SkinDataArray.empty() || !SkinDataArray[0]) return -1;
  return SkinDataArray[0]->GetSkinIndex(Name);
}

int TsSkinManager::ScaleInt(int Value, int SysScale) const {
  return ScaleByPPIIndex(Value, SysScale < 0 ? GetScale() : SysScale);
}

void TsSkinManager::Loaded() {
  const bool wasActive = IsActive();
  Step(L"Inherited");
  Step(L"ProcessDPIAware");
  if (Options.ScaleMode != smOldMode) {
    using TSetProcessDPIAware = BOOL(WINAPI*)();
    if (auto entry = reinterpret_cast<TSetProcessDPIAware>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDPIAware"))))
      entry();
  }
  Step(L"Defaults");
  if (FSkinDirectory.empty()) FSkinDirectory = L"c:\\Skins";
  if (MenuSupport.IcoLineSkin.empty()) MenuSupport.IcoLineSkin = L"ICOLINE";
  Step(L"ThirdParty");
  FillThirdPartyDefaults();
  if (FActive && !FSkinName.empty()) {
    Step(L"BroadcastNewSkin");
    BroadcastNewSkin(true);
  }
  Step(L"UpdateStdDialogsFlag");
  UpdateStdDialogsFlag();
  Step(L"ActiveNotification");
  if (SkinActiveNotification) SkinActiveNotification(FActive && !FSkinName.empty());
  if (!wasActive && IsActive()) {
    Step(L"OnActivate");
    if (OnActivate) OnActivate(this);
  }
  if (IsActive())
    if (auto* form = dynamic_cast<TForm*>(Owner()); form && form->HandleAllocated()) {
      Step(L"SkinNewTopWindow");
      SkinNewTopWindow(form->Handle(), nullptr);
    }
  Step(L"SkinList");
  SkinListController->UpdateIfNeeded(false);
}

void TsSkinManager::UpdateStdDialogsFlag() {
  if (gDefaultManager != this) return;
  UseLatestCommonDialogs = !((FSkinningRules & srStdDialogs) && FActive);
}

// ---------------------------------------------------------------------------
// Stored skins written out, lists of names, task-bar previews
// ---------------------------------------------------------------------------

void TsSkinManager::ExtractByIndex(int Index, const std::wstring& DestDir) {
  const std::wstring dir = AddTrailingBackslash(DestDir);
  if (!DirectoryExists(dir) && !ForceDirectories(dir)) {
    ShowSkinMessage(smkError, dir + L" directory creation error.");
    return;
  }
  if (Index < 0 || Index >= FBuiltInSkins->Count()) return;
  TsStoredSkin* skin = FBuiltInSkins->Items(Index);
  if (skin->PackedData->Bytes().empty()) return;
  WriteAllBytes(dir + skin->Name + L" extracted.ovz", skin->PackedData->Bytes());
}

void TsSkinManager::ExtractInternalSkin(const std::wstring& NameOfSkin, const std::wstring& DestDir) {
  bool found = false;
  for (int i = 0; i < FBuiltInSkins->Count(); ++i) {
    if (FBuiltInSkins->Items(i)->Name != NameOfSkin) continue;
    found = true;
    if (DirectoryExists(DestDir))
      ExtractByIndex(i, DestDir);
    else
      ShowSkinMessage(smkError, L"Directory does not exists.");
  }
  if (!found) ShowSkinMessage(smkError, L"Skin does not exists.");
}

namespace {

std::wstring CollectSkinNames(TacSkinListController& list, TacSkinNames& names, bool createData, bool external,
                              bool stored) {
  names.clear();
  list.CheckThread();
  list.UpdateIfNeeded(true);
  for (const TacSkinListData& entry : list.SkinList) {
    const bool isStored = entry.skSkinMode == smInternal;
    if (isStored ? !stored : !external) continue;
    TacSkinName name{entry.skName, nullptr};
    if (createData) {
      name.Data = std::make_unique<TacItemDrawData>();
      name.Data->ImageIndex = entry.skImageIndex;
    }
    names.push_back(std::move(name));
  }
  std::stable_sort(names.begin(), names.end(), [](const TacSkinName& a, const TacSkinName& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.Name.c_str(), -1, b.Name.c_str(), -1) ==
           CSTR_LESS_THAN;
  });
  return names.empty() ? std::wstring() : names.front().Name;
}

}  // namespace

std::wstring TsSkinManager::GetSkinNames(TacSkinNames& List, bool CreateDataObject, TacSkinTypes SkinType) {
  return CollectSkinNames(*SkinListController, List, CreateDataObject, SkinType != stPacked,
                          SkinType != stUnpacked);
}

std::wstring TsSkinManager::GetExternalSkinNames(TacSkinNames& List, bool CreateDataObject, TacSkinTypes SkinType) {
  (void)SkinType;
  return CollectSkinNames(*SkinListController, List, CreateDataObject, true, false);
}

void TsSkinManager::SetIconicRepresentation(HWND Wnd, bool Enable) {
  if (!acTaskbarPreviews) return;
  const BOOL value = Enable ? TRUE : FALSE;
  if (FAILED(SetDwmWindowAttribute(Wnd, 10, &value, sizeof(value))))  // has iconic bitmap
    SetDwmWindowAttribute(Wnd, 7, &value, sizeof(value));               // force iconic representation
  InvalidateTaskbarBitmaps(Wnd);
}
