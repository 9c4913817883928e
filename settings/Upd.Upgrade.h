#pragma once
// Import of an older installation of a sibling program (the terminal program Kelvane or
// the updater Mordex) found in the executable's folder: its INI configuration goes into
// settings.json, its asset folders take the shell's names, its program files are deleted,
// its icon becomes the application icon, and the running executable takes the old
// program's name (start-up then restarts under that name).
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/IniFiles.h"

class TSettings;

enum class TUpgradeMode { upNone, upKelvane, upMordex };

class TUpgrader {
public:
  // Reads settings.json (first use of the settings storage), starts FSettings from the
  // declared defaults and detects the installation.
  TUpgrader();
  ~TUpgrader();
  TUpgrader(const TUpgrader&) = delete;
  TUpgrader& operator=(const TUpgrader&) = delete;

  bool UpgradeNeeded() const { return FMode != TUpgradeMode::upNone; }
  // False at once when there is nothing to import, and false when an INI file of the
  // installation exists but cannot be read (held open, no text): then nothing is written,
  // moved or deleted. Otherwise imports and answers true. A value that the INI files do not
  // hold keeps what settings.json has. A step that fails for good (a move, the settings
  // write) raises, leaving what was done.
  bool Upgrade();

  std::wstring FRoot;  // the executable's folder, with its trailing backslash
  TUpgradeMode FMode = TUpgradeMode::upNone;
  // Per mode the files that make up the installation: the executable first, its INI second.
  std::map<TUpgradeMode, std::vector<std::wstring>> FAppFiles;
  std::unique_ptr<TSettings> FSettings;

private:
  TUpgradeMode DetectMode() const;
  void ImportAppIni(const std::wstring& AFileName);
  void ImportHallIni(const std::wstring& AFileName);
  void ImportChromeIni(const std::wstring& AFileName, TSettings& ASettings);
  void MoveFolder(const std::wstring& AFrom, const std::wstring& ATo);
};

// An INI file of an older installation that exists but could not be read.
class EIniUnreadable : public Exception {
public:
  EIniUnreadable(const std::wstring& AFileName, const std::wstring& AReason);
  std::wstring ClassName() const override { return L"EIniUnreadable"; }
};
// Reads an INI file of an older installation: a missing file gives an empty INI; a file
// that cannot be read, or whose bytes are no text, raises EIniUnreadable.
TMemIniFile ReadOldIni(const std::wstring& AFileName);

// The portable browser's INI of a Mordex installation, relative to its folder.
inline constexpr wchar_t ChromePortableIni[] = L"WWW\\resources\\appbin\\chrome\\GoogleChromePortable.ini";

// True when a hall API address is empty or begins, with exact case, with the scheme and
// host of the built-in hall API address: such a value need not be kept in settings.json.
bool IsBuiltInHallApi(const std::wstring& AApi);
