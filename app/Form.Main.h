#pragma once
// The base form of the shell: it carries the process's skin manager, the main form's
// skin provider, an application-events component and the action list of the shell.
#include "platform/ui/ActnList.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/manager/sSkinManager.h"
#include "settings/Json.Global.h"

class TFormMain : public TForm {
public:
  explicit TFormMain(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TFormMain"; }

  // Applies one skin section to SkinManager as a single repaint without animation.
  void ApplySkin(const TCfgSkin& ASkin);

  TsSkinProvider* SkinProvider;
  TApplicationEvents* AppEvents;
  TActionList* ActionList;
  TsSkinManager* SkinManager;
};
