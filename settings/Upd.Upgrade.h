#pragma once
// Import of an older installation (Kelvane or Mordex) found in the executable's folder.
#include <map>
#include <string>
#include <vector>

enum class TUpgradeMode { upNone, upKelvane, upMordex };

class TUpgrader {
public:
  TUpgrader();
  bool UpgradeNeeded() const { return FMode != TUpgradeMode::upNone; }
  // False at once when there is nothing to import; otherwise imports and answers true.
  bool Upgrade();

  std::wstring FRoot;
  TUpgradeMode FMode = TUpgradeMode::upNone;
  std::map<TUpgradeMode, std::vector<std::wstring>> FAppFiles;
};
