#include "settings/Common.Types.h"

TProgressInfo& TProgressInfo::Create(const std::wstring& ATitle, bool AWait) {
  Wait = AWait;
  Title = ATitle;
  Stage.clear();
  State.clear();
  Percent = 0;
  return *this;
}
