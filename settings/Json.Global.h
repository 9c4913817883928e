#pragma once
// The state store (storage.json) and the two process-wide storages through which the
// system reaches its JSON files beside the executable. Created on first use, on the
// UI thread only (no lock), and released at process exit without saving.
#include <cstdint>
#include <memory>
#include <string>

#include "settings/Json.Persist.h"
#include "settings/Json.Settings.h"

class TStore {
public:
  // Time of the last trash removal as "YYYY-MM-DDTHH:MM:SS.zzzZ"; day zero
  // ("1899-12-30T00:00:00.000Z") means never.
  const std::wstring& ClearTrash() const { return FClearTrash; }
  // Stores Value read as ISO 8601 and normalised to UTC; text that is no date stores day zero.
  void WriteClearTrash(const std::wstring& Value);
  std::uint8_t ClearPeriod = 0;  // days between trash removals

  static const TJsonClassInfo& JsonClass();

private:
  std::wstring FClearTrash;
};

inline constexpr wchar_t ClearTrashNever[] = L"1899-12-30T00:00:00.000Z";

// storage.json and settings.json in ExeDir(); each created (and loaded) on its first call.
std::shared_ptr<IStorage<TStore>> GlobalStore();
std::shared_ptr<IStorage<TSettings>> GlobalSettings();
// Drops both storages so that the next call creates them anew from the files (after
// the executable's folder has moved, as tests do). Start-up and tests only: storages
// handed out earlier stay valid but are no longer the global ones.
void ResetGlobalStorages();
