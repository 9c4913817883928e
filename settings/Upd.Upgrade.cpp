#include "settings/Upd.Upgrade.h"

#include <windows.h>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/IniFiles.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "settings/Json.Global.h"
#include "settings/Json.Settings.h"

namespace {

bool EndsText(std::wstring_view suffix, std::wstring_view text) {
  return text.size() >= suffix.size() && SameText(text.substr(text.size() - suffix.size()), suffix);
}

// "True"/"False" in any case, or an integer (0 is false): the Boolean texts the old
// programs wrote. False when the text is none of them.
bool TryStrToBool(const std::wstring& text, bool& value) {
  if (SameText(text, L"true")) return value = true, true;
  if (SameText(text, L"false")) return value = false, true;
  int n = 0;
  if (TryStrToInt(text, n)) return value = n != 0, true;
  return false;
}

// Scheme and host of an address ("http://host"), empty when it has none.
std::wstring SchemeAndHost(const std::wstring& url) {
  size_t scheme = url.find(L"://");
  if (scheme == std::wstring::npos) return {};
  size_t end = url.find_first_of(L"/?#", scheme + 3);
  return url.substr(0, end);
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return SameText(ExpandFileName(a), ExpandFileName(b)); }

// Control characters that no INI text holds: what has them is a binary file, or text in an
// encoding we cannot tell (UTF-16 without its byte-order mark).
bool LooksLikeText(const std::wstring& text) {
  for (wchar_t c : text)
    if (c < 0x20 && c != L'\t' && c != L'\r' && c != L'\n' && c != 0x1A) return false;
  return true;
}

}  // namespace

EIniUnreadable::EIniUnreadable(const std::wstring& AFileName, const std::wstring& AReason)
    : Exception(L"INI file " + AFileName + L" cannot be read (" + AReason + L")") {}

TMemIniFile ReadOldIni(const std::wstring& AFileName) {
  TMemIniFile ini;
  if (!FileExists(AFileName)) return ini;
  std::wstring text;
  try {
    text = DecodeTextBytesAnsi(ReadAllBytes(AFileName));
  } catch (const std::exception& e) {
    throw EIniUnreadable(AFileName, ExceptionText(e));
  }
  if (!LooksLikeText(text)) throw EIniUnreadable(AFileName, L"it holds no text");
  ini.SetText(text);
  return ini;
}

bool IsBuiltInHallApi(const std::wstring& AApi) {
  if (AApi.empty()) return true;
  std::wstring prefix = SchemeAndHost(DefaultHallApiUrl);
  return AApi.compare(0, prefix.size(), prefix) == 0;
}

TUpgrader::TUpgrader() : FRoot(ExeDir()), FSettings(std::make_unique<TSettings>()) {
  GlobalSettings()->SetDefault(*FSettings);
  FAppFiles[TUpgradeMode::upNone] = {};
  FAppFiles[TUpgradeMode::upKelvane] = {L"Kelvane.exe", L"Kelvane.ini", L"settings.ini"};
  FAppFiles[TUpgradeMode::upMordex] = {L"Mordex.exe", L"Mordex.ini"};
  FMode = DetectMode();
}

TUpgrader::~TUpgrader() = default;

TUpgradeMode TUpgrader::DetectMode() const {
  for (TUpgradeMode mode : {TUpgradeMode::upKelvane, TUpgradeMode::upMordex}) {
    const std::vector<std::wstring>& files = FAppFiles.at(mode);
    bool complete = true;
    for (const std::wstring& f : files) complete = complete && FileExists(FRoot + f);
    if (!complete) continue;
    // After the import the shell itself runs under the old name; that is no installation
    // to import again, even when an old file could not be deleted.
    if (SamePath(FRoot + files.front(), ExeFileName())) continue;
    return mode;
  }
  return TUpgradeMode::upNone;
}

void TUpgrader::ImportAppIni(const std::wstring& AFileName) {
  TMemIniFile ini = ReadOldIni(AFileName);
  TSettings& s = *FSettings;
  // A missing switch here counts as the old program's own default did; only the hall
  // number and the browser address (the other INI files) keep settings.json's value.
  s.Buttons.Close = 0;
  std::wstring visibleText = ini.ReadString(L"Window", L"CloseVisible", L"True");
  bool visible = true;
  if (!TryStrToBool(visibleText, visible)) {
    CodeSite().SendWarning(L"Window.CloseVisible \"" + visibleText + L"\" is no Boolean; the close button stays");
    visible = true;
  }
  if (visible) s.Buttons.Close = ini.ReadInteger(L"Window", L"ClosePos", 0) + 1;

  s.Skin.Active = true;
  s.Skin.BlendForm = false;
  s.Skin.ExtendedBorders = false;
  s.Skin.Name = L"Lusmere II (internal)";
  s.Skin.Saturation = 0;
  s.Skin.HueOffset = 0;
  s.Skin.Brightness = 0;

  s.Screen.ChangeResolution =
      ini.ReadInteger(L"Screen", L"ScreenH", 0) == 768 && ini.ReadInteger(L"Screen", L"ScreenW", 0) == 1024;

  s.Common.Magnetic = FMode == TUpgradeMode::upKelvane;
  s.Common.UpdateCache = true;
  std::wstring webUpdate = ini.ReadString(L"WEB", L"WebUpdate", L"");
  if (EndsText(L"filesC.json", webUpdate))
    s.Common.UpdateCache = false;
  else if (EndsText(L"filesP.json", webUpdate))
    s.Links.UpdateUrl = webUpdate;
}

void TUpgrader::ImportHallIni(const std::wstring& AFileName) {
  TMemIniFile ini = ReadOldIni(AFileName);
  const TSettings& current = GlobalSettings()->Config();
  FSettings->Hall.id = ini.ReadInteger(L"PARAMS", L"HALL_ID", current.Hall.id);
  // An address that is missing or empty is no address: the terminal keeps the one it has.
  std::wstring url = Trim(ini.ReadString(L"PARAMS", L"URL", L""));
  FSettings->Links.BrowserUrl = url.empty() ? current.Links.BrowserUrl : url;
}

void TUpgrader::ImportChromeIni(const std::wstring& AFileName, TSettings& ASettings) {
  TMemIniFile ini = ReadOldIni(AFileName);
  ASettings.Links.BrowserUrl = GlobalSettings()->Config().Links.BrowserUrl;
  std::wstring params = ini.ReadString(L"GoogleChromePortable", L"AdditionalParameters", L"");
  for (const std::wstring& piece : SplitString(params, L' ')) {
    if (StartsText(L"http:", piece) || StartsText(L"https:", piece)) {
      ASettings.Links.BrowserUrl = Trim(piece);
      return;
    }
  }
}

void TUpgrader::MoveFolder(const std::wstring& AFrom, const std::wstring& ATo) {
  if (!DirectoryExists(FRoot + AFrom)) return;
  // The shell's folder already exists: leave the old one, so that the import does not
  // fail at every start over files that are already in place.
  if (DirectoryExists(FRoot + ATo) || FileExists(FRoot + ATo)) {
    CodeSite().SendWarning(FormatW(L"Folder .\\%ls exists; .\\%ls is left where it is", ATo.c_str(), AFrom.c_str()));
    return;
  }
  if (!MoveFileW((FRoot + AFrom).c_str(), (FRoot + ATo).c_str()))
    RaiseLastOSError(GetLastError(), L"Moving .\\" + AFrom + L" -> .\\" + ATo);
}

bool TUpgrader::Upgrade() {
  if (FMode == TUpgradeMode::upNone) return false;
  const std::vector<std::wstring>& files = FAppFiles.at(FMode);
  TSettings& s = *FSettings;

  // An INI file that cannot be read stops the import before anything is written, moved or
  // deleted: its values would come in empty, and deleting it would lose them for good. The
  // installation stays as it is, and the next start tries again.
  try {
    CodeSite().SendNote(FormatW(L"Import config from .\\%ls", files[1].c_str()));
    ImportAppIni(FRoot + files[1]);
    if (FMode == TUpgradeMode::upKelvane) {
      CodeSite().SendNote(L"Import config from .\\settings.ini");
      ImportHallIni(FRoot + L"settings.ini");
    } else {
      CodeSite().SendNote(FormatW(L"Import config from .\\%ls", ChromePortableIni));
      ImportChromeIni(FRoot + ChromePortableIni, s);
    }
  } catch (const EIniUnreadable& e) {
    CodeSite().SendError(e.Message() + L"; the older installation is not imported and its files stay");
    return false;
  }

  CodeSite().SendReminder(L"Save settings to .\\settings.json");
  std::wstring settingsFile = FRoot + L"settings.json";
  if (EndsText(L"filesP.json", s.Links.UpdateUrl)) {
    CodeSite().SendError(L"filesP");
    TJsonValue json = GlobalSettings()->ToJson(s, true);
    if (TJsonValue* hall = json.Find(L"hall"); hall && hall->IsObject() && IsBuiltInHallApi(s.Hall.Api))
      hall->Remove(L"api");
    if (TJsonValue* links = json.Find(L"links"); links && links->IsObject()) {
      links->Remove(L"updateUrl");
      links->Add(L"updateUrl", TJsonValue::String(s.Links.UpdateUrl));
    }
    WriteAllBytesAtomic(settingsFile, FormatJsonUtf8(json));
  } else {
    GlobalSettings()->Save(settingsFile, s, false);
  }

  CodeSite().SendWarning(L"Moving files .\\WWW -> .\\Assets");
  MoveFolder(L"WWW", L"assets");
  CodeSite().SendWarning(L"Moving files .\\Slider -> .\\Picturies");
  MoveFolder(L"Slider", L"picturies");

  for (const std::wstring& f : files) {
    std::wstring path = FRoot + f;
    if (!FileExists(path)) continue;
    CodeSite().SendWarning(FormatW(L"Deleting .\\%ls", f.c_str()));
    try {
      DWORD attrs = GetFileAttributesW(path.c_str());
      if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attrs & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
      if (!DeleteFileW(path.c_str())) RaiseLastOSError(GetLastError(), L"Deleting .\\" + f);
    } catch (const std::exception& e) {
      CodeSite().SendException(e);
    }
  }

  std::wstring icon = ChangeFileExt(files.front(), L".ico");
  if (!FileExists(FRoot + L"appicon.ico") && FileExists(FRoot + icon)) {
    CodeSite().Send(FormatW(L"Rename file %ls -> %ls", icon.c_str(), L"appicon.ico"));
    if (!MoveFileW((FRoot + icon).c_str(), (FRoot + L"appicon.ico").c_str()))
      RaiseLastOSError(GetLastError(), L"Renaming " + icon);
  }

  std::wstring exe = ExeFileName();
  CodeSite().Send(FormatW(L"Rename file %ls -> %ls", exe.c_str(), files.front().c_str()));
  if (!MoveFileW(exe.c_str(), (FRoot + files.front()).c_str()))
    RaiseLastOSError(GetLastError(), L"Renaming " + exe + L" -> " + files.front());
  return true;
}
