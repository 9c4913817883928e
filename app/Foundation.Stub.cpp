// TEMPORARY STAND-IN, see Foundation.Stub.h.
#include "app/Foundation.Stub.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include <nlohmann/json.hpp>
#include <windows.h>

namespace {
nlohmann::json ReadJson(const std::wstring& name) {
  try {
    auto j = nlohmann::json::parse(ReadAllBytes(ExeDir() + name));
    return j.is_object() ? j : nlohmann::json::object();
  } catch (...) {
    return nlohmann::json::object();
  }
}

class TStoreStorage : public IStorage<TStore> {
public:
  TStoreStorage() { Load(); }
  void Load() override {
    FStore = TStore();
    auto j = ReadJson(L"storage.json");
    if (j.contains("clearTrash") && j["clearTrash"].is_string())
      FStore.WriteClearTrash(Utf8ToWide(j["clearTrash"].get<std::string>()));
    if (j.contains("clearPeriod") && j["clearPeriod"].is_number()) FStore.ClearPeriod = j["clearPeriod"].get<int>();
  }
  void Save() override {}
  TStore& Config() override { return FStore; }
  TStore FStore;
};

class TSettingsStorage : public IStorage<TSettings> {
public:
  TSettingsStorage() { Load(); }
  void Load() override {
    FSettings = TSettings();
    auto j = ReadJson(L"settings.json");
    if (j.contains("common") && j["common"].is_object())
      FSettings.Common.UpdateCache = j["common"].value("updateCache", false);
    if (j.contains("skin") && j["skin"].is_object())
      FSettings.Skin.Name = Utf8ToWide(j["skin"].value("name", std::string("Lusmere II (internal)")));
  }
  void Save() override {}
  TSettings& Config() override { return FSettings; }
  TSettings FSettings;
};
}  // namespace

bool TryISO8601ToDate(std::wstring_view text, TDateTime& utc) {
  SYSTEMTIME st = {};
  int y, mo, d, h, mi, s, ms;
  if (swscanf(std::wstring(text).c_str(), L"%d-%d-%dT%d:%d:%d.%dZ", &y, &mo, &d, &h, &mi, &s, &ms) != 7) return false;
  st.wYear = y; st.wMonth = mo; st.wDay = d; st.wHour = h; st.wMinute = mi; st.wSecond = s; st.wMilliseconds = ms;
  FILETIME ft, base;
  SYSTEMTIME b = {1899, 12, 0, 30, 0, 0, 0, 0};
  if (y < 1601) {
    utc = 0;
    return true;
  }
  SystemTimeToFileTime(&st, &ft);
  SystemTimeToFileTime(&b, &base);
  ULARGE_INTEGER a{{ft.dwLowDateTime, ft.dwHighDateTime}}, z{{base.dwLowDateTime, base.dwHighDateTime}};
  utc = static_cast<double>(a.QuadPart - z.QuadPart) / 864000000000.0;
  return true;
}

std::shared_ptr<IStorage<TStore>> GlobalStore() {
  static auto s = std::make_shared<TStoreStorage>();
  return s;
}
std::shared_ptr<IStorage<TSettings>> GlobalSettings() {
  static auto s = std::make_shared<TSettingsStorage>();
  return s;
}

bool TAppParams::Contains(const std::wstring& name) {
  std::wstring n = LowerCase(Trim(name));
  for (int i = 0; i <= ParamCount(); ++i)
    if (LowerCase(Trim(ParamStr(i))).rfind(n, 0) == 0) return true;
  return false;
}

std::wstring TAppParams::AsStr() {
  std::wstring s;
  for (int i = 1; i <= ParamCount(); ++i) s += ParamStr(i) + L" ";
  return Trim(s);
}

std::wstring FileVersionText(const std::wstring&, bool) { return L"1.0.0"; }
