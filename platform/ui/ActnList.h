#pragma once
// Actions: named commands with a caption and an enabled state, kept in an action
// list whose update handler decides the state right before an action runs or a menu
// shows it.
#include "platform/ui/Controls.h"
#include <functional>
#include <string>
#include <vector>

class TActionList;

class TAction : public TComponent {
public:
  explicit TAction(TComponent* owner);
  ~TAction() override;
  std::wstring ClassName() const override { return L"TAction"; }

  std::wstring Caption;
  bool Enabled = true;
  std::function<void()> OnExecute;

  TActionList* ActionList() const { return FActionList; }
  void SetActionList(TActionList* list);
  // Lets the action list's update handler set the state of this action.
  void Update();
  // Update first; the handler runs only when the action is enabled afterwards.
  bool Execute();

private:
  TActionList* FActionList = nullptr;
  friend class TActionList;
};

class TActionList : public TComponent {
public:
  explicit TActionList(TComponent* owner) : TComponent(owner) {}
  ~TActionList() override;
  std::wstring ClassName() const override { return L"TActionList"; }

  // Called with the action to update; it may set any action's state.
  std::function<void(TAction* action, bool& handled)> OnUpdate;
  const std::vector<TAction*>& Actions() const { return FActions; }
  // Runs the update for every action of the list.
  void UpdateActions();

private:
  std::vector<TAction*> FActions;
  friend class TAction;
};
