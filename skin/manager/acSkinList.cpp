#include "skin/manager/acSkinList.h"

#include <windows.h>

#include "platform/runtime/Files.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"

void TacSkinListController::UpdateIfNeeded(bool ForceUpdating) {
  (void)ForceUpdating;
  if (!UpdateNeeded || !SkinManager) return;
  SkinList.clear();
  TsStoredSkins& stored = SkinManager->InternalSkins();
  for (int i = 0; i < stored.Count(); ++i) SkinList.push_back({stored.Items(i)->Name, smInternal, -1});
  const std::wstring folder = SkinManager->GetFullSkinDirectory();
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*.*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name.empty() || name[0] == L'.' || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, L".ovz") == 0)
        SkinList.push_back({name.substr(0, name.size() - 4), smExtPacked, -1});
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  UpdateNeeded = false;
}

void TacSkinListController::SendSkinChanged() {
  for (std::size_t i = 0; i < Controls.size(); ++i)
    if (Controls[i]) PerformSkinCommand(Controls[i], SKCMD_LIST_SKIN_CHANGED, reinterpret_cast<LPARAM>(SkinManager));
}
