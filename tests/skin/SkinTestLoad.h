#pragma once
// Loads a manager's skin the way a skin change does: the per-density data made anew while
// the manager's state says the skin is changing.
#include "skin/manager/sSkinManager.h"

inline TacSkinData* LoadSkin(TsSkinManager& m, int PPI = 96) {
  m.ManagerState |= msSkinChanging;
  m.ClearSkinData();
  TacSkinData* d = m.CommonSkinData(PPI);
  m.ManagerState &= ~msSkinChanging;
  m.SkinCommonInfo.Active = true;  // loaded and announced
  return d;
}
