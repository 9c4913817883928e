#pragma once
// Skinned menus, as far as the skin manager reaches them so far: the menu object forgets
// its cached border width when a new skin comes. The menus themselves come with the shell's
// skinned controls.

class TPopupMenu;

class TsSkinableMenus {
public:
  // With Active, the popup menu is drawn with skinned items; without, as the system draws
  // it. Filled with the skinned menus: so far nothing changes.
  void HookPopupMenu(TPopupMenu* Menu, bool Active) {}

  // The menu border width of the skin; -1: not known yet, read again when next needed.
  int BorderWidth = -1;
};
