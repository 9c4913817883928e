#pragma once
// Skinned menus, as far as the skin manager reaches them so far: the menu object forgets
// its cached border width when a new skin comes. The menus themselves come with the shell's
// skinned controls.

#include <windows.h>

class TPopupMenu;
class TMenuItem;
class TCanvas;
class TBitmap;

// ---- reached by the skin manager's application-window hook ----
// What the skinned menus keep of a popup menu: its background bitmap (none until built).
struct TacMenuInfo {
  TBitmap* Bmp = nullptr;
};
// ---- end of the application-window hook's block ----

class TsSkinableMenus {
public:
  // With Active, the popup menu is drawn with skinned items; without, as the system draws
  // it. Filled with the skinned menus: so far nothing changes.
  void HookPopupMenu(TPopupMenu* Menu, bool Active) {}

  // The menu border width of the skin; -1: not known yet, read again when next needed.
  int BorderWidth = -1;

  // ---- reached by the skin manager's application-window hook ----
  // Filled with the skinned menus: so far no menu is known.
  // The menu information of a menu found by its window or its first item (made when
  // missing, with its bitmap); nullptr when none can be had.
  TacMenuInfo* GetMenuInfo(TMenuItem* Item, int Width, HWND Wnd, TCanvas* Canvas, int Height) {
    (void)Item, (void)Width, (void)Wnd, (void)Canvas, (void)Height;
    return nullptr;
  }
  // Gives a popup-menu window the region of its skinned background and paints its border.
  void DrawWndBorder(HWND Wnd, TBitmap* MenuBmp) { (void)Wnd, (void)MenuBmp; }
  // The item when Item is the address of an item of a menu the skinned menus know (a
  // message from anywhere may carry any number); nullptr otherwise.
  TMenuItem* LiveMenuItem(const void* Item) {
    (void)Item;
    return nullptr;
  }
  // ---- end of the application-window hook's block ----
};
