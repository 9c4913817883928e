#include "platform/ui/Graphics.Dwm.h"

#include <map>

namespace {
std::map<std::string, FARPROC>& Overrides() {
  static std::map<std::string, FARPROC> overrides;
  return overrides;
}
}  // namespace

FARPROC DwmEntryPoint(HMODULE Dwm, const char* Name) {
  if (!Name) return nullptr;
  auto& overrides = Overrides();
  if (auto it = overrides.find(Name); it != overrides.end()) return it->second;
  return Dwm ? GetProcAddress(Dwm, Name) : nullptr;
}

void SetDwmEntryOverride(const char* Name, FARPROC Entry) {
  if (!Name) return;
  if (Entry)
    Overrides()[Name] = Entry;
  else
    Overrides().erase(Name);
}

void ClearDwmEntryOverrides() { Overrides().clear(); }

bool DwmEntryOverridesSet() { return !Overrides().empty(); }
