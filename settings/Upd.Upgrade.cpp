#include "settings/Upd.Upgrade.h"
#include "platform/runtime/Files.h"

// Placeholder until the import is built: the installation files are named, but no older
// installation is ever detected, so start-up never restarts for an import.
TUpgrader::TUpgrader() : FRoot(ExeDir()) {
  FAppFiles[TUpgradeMode::upNone] = {};
  FAppFiles[TUpgradeMode::upKelvane] = {L"Kelvane.exe", L"Kelvane.ini", L"settings.ini"};
  FAppFiles[TUpgradeMode::upMordex] = {L"Mordex.exe", L"Mordex.ini"};
}

bool TUpgrader::Upgrade() { return false; }
