#include "settings/Json.Global.h"

#include "platform/runtime/DateUtils.h"
#include "platform/runtime/Files.h"

void TStore::WriteClearTrash(const std::wstring& Value) {
  TDateTime utc = 0;
  if (!TryISO8601ToDate(Value, utc)) utc = 0;
  FClearTrash = DateToISO8601(utc);
}

const TJsonClassInfo& TStore::JsonClass() {
  static const TJsonClassInfo info{
      L"TStore",
      {JsonProperty(L"ClearTrash", &TStore::ClearTrash, &TStore::WriteClearTrash, JsonAttr(L"ClearTrash", true)),
       JsonField(L"ClearPeriod", &TStore::ClearPeriod, JsonAttr(L"ClearPeriod", L"7", true))}};
  return info;
}

namespace {
std::shared_ptr<IStorage<TStore>> g_store;
std::shared_ptr<IStorage<TSettings>> g_settings;
}  // namespace

std::shared_ptr<IStorage<TStore>> GlobalStore() {
  if (!g_store) g_store = TStorage<TStore>::Create(ExeDir() + L"storage.json");
  return g_store;
}

std::shared_ptr<IStorage<TSettings>> GlobalSettings() {
  if (!g_settings) g_settings = TStorage<TSettings>::Create(ExeDir() + L"settings.json");
  return g_settings;
}

void ResetGlobalStorages() {
  g_store.reset();
  g_settings.reset();
}
