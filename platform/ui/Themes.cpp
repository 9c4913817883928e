#include "platform/ui/Themes.h"

#include <windows.h>

namespace {

using TBoolQuery = BOOL(WINAPI*)();

// uxtheme's two questions, looked up once; systems without uxtheme have no visual styles.
struct TThemeEntries {
  TBoolQuery IsAppThemed = nullptr;
  TBoolQuery IsThemeActive = nullptr;
  TThemeEntries() {
    HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
    if (!uxtheme) return;
    IsAppThemed = reinterpret_cast<TBoolQuery>(reinterpret_cast<void*>(GetProcAddress(uxtheme, "IsAppThemed")));
    IsThemeActive = reinterpret_cast<TBoolQuery>(reinterpret_cast<void*>(GetProcAddress(uxtheme, "IsThemeActive")));
  }
};

}  // namespace

bool TStyleServices::Enabled() const {
  static const TThemeEntries entries;
  return entries.IsAppThemed && entries.IsThemeActive && entries.IsAppThemed() && entries.IsThemeActive();
}

TStyleServices& StyleServices() {
  static TStyleServices services;
  return services;
}
