#pragma once
// Skinned menus, as far as the skin manager reaches them so far: the menu object forgets
// its cached border width when a new skin comes. The menus themselves come with the shell's
// skinned controls.

class TsSkinableMenus {
public:
  // The menu border width of the skin; -1: not known yet, read again when next needed.
  int BorderWidth = -1;
};
