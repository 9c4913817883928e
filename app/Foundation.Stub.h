#pragma once
// TEMPORARY STAND-IN, removed when the settings units land on main: the few names of
// the settings storages, command-line queries, file version and ISO dates that the
// shell uses, with the same signatures, reading just enough of settings.json and
// storage.json. Nothing else may include this file.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

using TDateTime = double;
bool TryISO8601ToDate(std::wstring_view text, TDateTime& utc);

template <class T>
class IStorage {
public:
  virtual ~IStorage() = default;
  virtual void Load() = 0;
  virtual void Save() = 0;
  virtual T& Config() = 0;
};

class TCfgCommon {
public:
  bool UpdateCache = false;
};
class TCfgLinks {
public:
  std::wstring UpdateUrl, BrowserUrl;
};
class TCfgSkin {
public:
  bool Active = true;
  std::wstring Name = L"Lusmere II (internal)";
  int HueOffset = 0, Saturation = 0, Brightness = 0;
  bool DrawNonClient = true, ExtendedBorders = true, BlendForm = true;
};
class TSettings {
public:
  TCfgCommon Common;
  TCfgLinks Links;
  TCfgSkin Skin;
};
class TStore {
public:
  const std::wstring& ClearTrash() const { return FClearTrash; }
  void WriteClearTrash(const std::wstring& Value) { FClearTrash = Value; }
  std::uint8_t ClearPeriod = 7;

private:
  std::wstring FClearTrash = L"1899-12-30T00:00:00.000Z";
};

std::shared_ptr<IStorage<TStore>> GlobalStore();
std::shared_ptr<IStorage<TSettings>> GlobalSettings();

class TAppParams {
public:
  static bool Contains(const std::wstring& name);
  static std::wstring AsStr();
};

std::wstring FileVersionText(const std::wstring& AFileName, bool AWithBuild);
