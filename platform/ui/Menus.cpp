#include "platform/ui/Menus.h"
#include "platform/ui/ModalPhase.h"

void TMenuItem::Click() {
  if (Action)
    Action->Execute();
  else if (Enabled && OnClick)
    OnClick();
}

TPopupMenu::~TPopupMenu() {
  if (FMenu) DestroyMenu(FMenu);
}

TMenuItem* TPopupMenu::Add(TAction* action) {
  auto* item = new TMenuItem(this);
  item->Action = action;
  FItems.push_back(item);
  return item;
}

TMenuItem* TPopupMenu::AddLine() {
  auto* item = new TMenuItem(this);
  item->Caption = L"-";
  FItems.push_back(item);
  return item;
}

HMENU TPopupMenu::RefreshHandle() {
  for (auto* item : FItems)
    if (item->Action) item->Action->Update();
  if (FMenu) DestroyMenu(FMenu);
  FMenu = CreatePopupMenu();
  UINT id = 1;
  for (auto* item : FItems) {
    if (item->IsLine()) {
      AppendMenuW(FMenu, MF_SEPARATOR, 0, nullptr);
    } else {
      UINT flags = MF_STRING | (item->DisplayEnabled() ? MF_ENABLED : MF_GRAYED);
      AppendMenuW(FMenu, flags, id, item->DisplayCaption().c_str());
    }
    ++id;
  }
  return FMenu;
}

void TPopupMenu::Popup(int x, int y, HWND owner) {
  HMENU menu = RefreshHandle();
  // The owner must be in the foreground, or the menu does not go away when clicking elsewhere.
  SetForegroundWindow(owner);
  UINT chosen;
  {
    TModalPhase phase;  // the menu runs its own message loop
    chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr);
  }
  PostMessageW(owner, WM_NULL, 0, 0);
  if (chosen >= 1 && chosen <= FItems.size()) FItems[chosen - 1]->Click();
}
