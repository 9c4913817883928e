#pragma once
// Skinned menus: one object of the skin manager makes the process's menus owner-drawn and
// draws their items from the skin. The system still opens, tracks and closes the menus;
// per popup menu one background bitmap (frame, icon column, extra line) is built and every
// item is composed over its part of it in a bitmap of its own, then copied in one blit.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"

class TacSkinData;
class TsSkinManager;
class TsSkinProvider;

// What the manager's OnGetPopupItemData may change for an item: its font.
struct TacMenuItemData {
  TFont* Font = nullptr;
};

enum TsMenuItemType { smCaption, smDivider, smNormal, smTopLine };

using TsMenuManagerDrawItemEvent =
    std::function<void(TMenuItem* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State,
                       TsMenuItemType ItemType)>;

// The cached background of one popup menu, found by its first item or by its window.
struct TacMenuInfo {
  TMenuItem* FirstItem = nullptr;
  std::unique_ptr<TBitmap> Bmp;  // 32-bit, the whole popup window with its frame
  HWND Wnd = nullptr;
  bool HaveExtraLine = false;
  bool ItemsIterated = false;  // the last item was drawn once: bar-break lines are in Bmp
  // The icon column of this menu: glyph width + Margin + Spacing. Kept per menu, so that a
  // submenu's column never repaints its parent.
  int GlyphColumnWidth = 0;
};

// Unit-wide state of the skinned menus (UI thread only).
extern std::vector<std::unique_ptr<TacMenuInfo>> MenuInfoList;
// The icon column of the menu whose background was built last.
extern int GlyphColumnWidth;
constexpr int DefaultGlyphSize = 16;
// Replaces the screen's menu font for all menu text when it exists.
extern std::unique_ptr<TFont> CustomMenuFont;
// A skinned item was measured; cleared when a popup-menu window goes.
extern bool SkinnedMenuActive;
extern bool ExtraLineQuery;
extern std::wstring ExtraLineSection, ExtraLineCaption;
extern std::unique_ptr<TBitmap> ExtraLineGlyph;
// Frees every menu info.
void ClearMenuInfos();
// The MDI parent's maximized active child has a system menu and an icon.
bool MaxedMDIChildWithIcon();
// A menu item that still exists (the 0xBCB3 request carries one that may be gone).
TMenuItem* MenuItemOfRequest(LPARAM Value);
// The unit's clean-up: menu infos, the custom font, the extra-line values.
void SkinMenusCleanup();

// The menu options of a skin manager (its MenuSupport).
class TacMenuSupport {
public:
  TacMenuSupport();
  ~TacMenuSupport();
  TacMenuSupport(const TacMenuSupport&) = delete;
  TacMenuSupport& operator=(const TacMenuSupport&) = delete;

  std::uint8_t AlphaBlend = 255;
  int ExtraLineWidth = 32;
  bool UseExtraLine = false;
  std::wstring IcoLineSkin;
  TFont& Font() { return *FFont; }
  TFont& ExtraLineFont() { return *FExtraLineFont; }
  // Font: copied into the shared custom menu font as well.
  void WriteFont(const TFont& Value);
  void WriteExtraLineFont(const TFont& Value) { FExtraLineFont->Assign(Value); }
  bool CustomFont() const { return FCustomFont; }
  // Stores the flag; the shared custom menu font exists while the flag is on or the default
  // manager's font settings give a substitute face, and takes Font and that face.
  void WriteCustomFont(bool Value);

private:
  bool FCustomFont = false;
  std::unique_ptr<TFont> FFont, FExtraLineFont;
};

class TsSkinableMenus {
public:
  explicit TsSkinableMenus(TsSkinManager* AOwner);
  ~TsSkinableMenus();
  TsSkinableMenus(const TsSkinableMenus&) = delete;
  TsSkinableMenus& operator=(const TsSkinableMenus&) = delete;

  // ---- published ----
  TAlignment Alignment = taLeftJustify;
  int BevelWidth = 0;
  int BorderWidth() const;  // scaled by the current skin data
  void SetBorderWidth(int Value) { FBorderWidth = Value; }
  int RealBorderWidth() const { return FBorderWidth; }
  TFont& CaptionFont();
  void SetCaptionFont(const TFont& Value) { FCaptionFont->Assign(Value); }
  int SkinBorderWidth = 0;  // -1: computed again for the next background
  int Margin() const;
  void SetMargin(int Value) { FMargin = Value; }
  int Spacing() const;
  void SetSpacing(int Value) { FSpacing = Value; }
  TsMenuManagerDrawItemEvent OnDrawItem;

  // ---- state of the menu being measured or drawn ----
  TForm* Form = nullptr;
  int PPI = 96;
  TacSkinData* sd = nullptr;
  TsMenuItemType it = smNormal;
  bool Pressed = false;
  bool BorderDrawing = false;
  std::vector<RECT> ArOR;  // transparent corner runs cut from the popup window's region
  TsSkinProvider* MenuProvider = nullptr;  // the form provider painting its menu line

  bool Active() const { return FActive; }
  void SetActive(bool Value);
  void UpdateMenus();
  void InitItems(bool A);
  void HookItem(TMenuItem* MI, bool FActive);
  void InitItem(TMenuItem* Item, bool A);
  void InitMenuLine(TMainMenu* Menu, bool A);
  void HookPopupMenu(TPopupMenu* Menu, bool Active);

  // The item when Item is the address of a menu item that still exists (a message from
  // anywhere may carry any number, and an item may be freed before its message comes);
  // nullptr otherwise.
  TMenuItem* LiveMenuItem(const void* Item) const { return MenuItemOfRequest(reinterpret_cast<LPARAM>(Item)); }
  bool IsTopLine(TMenuItem* Item) const;
  bool IsPopupItem(TMenuItem* Item) const;
  bool LastItem(TMenuItem*) const { return false; }
  bool NoBorder() const;
  TSize GlyphSize(TMenuItem* Item, bool Top);
  int ExtraWidth(const TacMenuInfo* mi) const;
  TacMenuInfo* GetMenuInfo(TMenuItem* Item, int Width, HWND Wnd, TCanvas* Canvas, int Height);
  void PrepareMenuBG(TacMenuInfo* mi, TMenuItem* Item, HWND Wnd, int Height, int Width);
  void DrawWndBorder(HWND Wnd, TBitmap* MenuBmp);

  // The owner-draw handlers installed on items.
  void sMeasureItem(TMenuItem* Sender, TCanvas* ACanvas, int& Width, int& Height);
  void sAdvancedDrawItem(TMenuItem* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);
  void sMeasureLineItem(TMenuItem* Sender, TCanvas* ACanvas, int& Width, int& Height);
  void sAdvancedDrawLineItem(TMenuItem* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);
  void DrawDividerItem(TCanvas* ACanvas, const TRect& ARect, TacMenuInfo* mi, TBitmap* BG, TMenuItem* Item);
  void DrawCaptionItem(TCanvas* ACanvas, const TRect& ARect, TacMenuInfo* mi, TBitmap* BG, TMenuItem* Item);

  // The item's type from its caption.
  static TsMenuItemType ItemTypeOf(TMenuItem* Item);
  int ItemHeight(TCanvas* Canvas, TMenuItem* Item);
  // The menu's width and height from its items, with Break columns.
  TSize MenuSizeOf(TCanvas* Canvas, TMenuItem* Item);
  void InitMenuFont(TCanvas* Canvas, TMenuItem* Item, bool Caption, bool Bold);

private:
  TsSkinManager* Manager() const { return FOwner; }
  void RefreshSkinData(TMenuItem* Item, bool Force);
  void MakeExtraLineDecision(TacMenuInfo* mi, TMenuItem* First);
  void SetPopupHandlers(TMenuItem* Item, bool On);
  void SetLineHandlers(TMenuItem* Item, bool On);
  // A glyph of the standard list into an item bitmap, centred in the icon column whose
  // drawable part starts at DrawLeft.
  void DrawStdMenuGlyph(TBitmap* Bmp, int Index, int DrawLeft, int ColumnWidth, bool RightToLeft);
  int SectionIndex(const wchar_t* Name) const;
  TsSkinManager* FOwner;
  bool FActive = false;
  int FMargin = 2, FSpacing = 8, FBorderWidth = 3;
  std::unique_ptr<TFont> FCaptionFont;
};
