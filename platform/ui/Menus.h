#pragma once
// Popup menus whose items show and run actions.
#include "platform/ui/ActnList.h"
#include <string>
#include <vector>

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* owner) : TComponent(owner) {}
  std::wstring ClassName() const override { return L"TMenuItem"; }

  // "-" makes a separator. An item bound to an action shows the action's caption and state.
  std::wstring Caption;
  bool Enabled = true;
  TAction* Action = nullptr;
  std::function<void()> OnClick;

  bool IsLine() const { return !Action && Caption == L"-"; }
  std::wstring DisplayCaption() const { return Action ? Action->Caption : Caption; }
  bool DisplayEnabled() const { return Action ? Action->Enabled : Enabled; }
  // Runs the item: its action (through the action's update) or its OnClick.
  void Click();
};

class TPopupMenu : public TComponent {
public:
  explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}
  ~TPopupMenu() override;
  std::wstring ClassName() const override { return L"TPopupMenu"; }

  // Adds an item owned by the menu (shown in the order added).
  TMenuItem* Add(TAction* action);
  TMenuItem* AddLine();
  const std::vector<TMenuItem*>& Items() const { return FItems; }

  // Brings the actions' states up to date and builds the menu again.
  HMENU RefreshHandle();
  HMENU Handle() const { return FMenu; }
  // Shows the menu at a screen point for the owner window and runs the chosen item.
  void Popup(int x, int y, HWND owner);

private:
  HMENU FMenu = nullptr;
  std::vector<TMenuItem*> FItems;
};
