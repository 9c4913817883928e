#include "platform/ui/ActnList.h"
#include <algorithm>

TAction::TAction(TComponent* owner) : TComponent(owner) {}

TAction::~TAction() { SetActionList(nullptr); }

void TAction::SetActionList(TActionList* list) {
  if (FActionList == list) return;
  if (FActionList) {
    auto& v = FActionList->FActions;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  FActionList = list;
  if (list) list->FActions.push_back(this);
}

void TAction::Update() {
  if (!FActionList || !FActionList->OnUpdate) return;
  bool handled = false;
  FActionList->OnUpdate(this, handled);
}

bool TAction::Execute() {
  Update();
  if (!Enabled) return false;
  if (OnExecute) OnExecute();
  return true;
}

TActionList::~TActionList() {
  for (auto* a : FActions) a->FActionList = nullptr;
}

void TActionList::UpdateActions() {
  for (auto* a : std::vector<TAction*>(FActions)) a->Update();
}
