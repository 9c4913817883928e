#pragma once
// Menus: item trees whose items show and run actions, popup menus and menu bars over
// Win32 menus, and owner drawing: a menu with OwnerDraw hands every item's measuring and
// painting (WM_MEASUREITEM, WM_DRAWITEM of the popup-list window) to the item, which asks
// its events or draws itself plainly.
#include "platform/ui/ActnList.h"
#include "platform/ui/Controls.h"
#include <functional>
#include <string>
#include <vector>

// Where an item starts a new column: mbBreak a plain one, mbBarBreak one with a line.
enum TMenuBreak { mbNone, mbBreak, mbBarBreak };

// TOwnerDrawState: the ODS_* bits of the system's WM_DRAWITEM, under their framework names.
using TOwnerDrawState = unsigned;
constexpr TOwnerDrawState odSelected = ODS_SELECTED, odGrayed = ODS_GRAYED, odDisabled = ODS_DISABLED,
                          odChecked = ODS_CHECKED, odFocus = ODS_FOCUS, odDefault = ODS_DEFAULT,
                          odHotLight = ODS_HOTLIGHT, odInactive = ODS_INACTIVE, odNoAccel = ODS_NOACCEL,
                          odNoFocusRect = ODS_NOFOCUSRECT, odReserved1 = 0x400, odReserved2 = 0x800;

// TMenuAnimation (bits): how a popup menu opens; maNone switches the system's animation off.
enum TMenuAnimationBit : unsigned {
  maLeftToRight = 1, maRightToLeft = 2, maTopToBottom = 4, maBottomToTop = 8, maNone = 16
};

// ---- shortcuts of menu items ----
// A key with its shift bits: the virtual key in the low byte, scShift, scCtrl, scAlt above.
using TShortCut = unsigned short;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
// "Ctrl+K", "Shift+Alt+F4", "Del" and the like; 0 for a text that names no key.
TShortCut TextToShortCut(const std::wstring& text);
// The display text of a shortcut ("" for 0).
std::wstring ShortCutToText(TShortCut shortCut);
// ---- end of the shortcuts of menu items ----

class TMenu;

// An event of a menu item together with whoever installed it, so that an installer can
// take back only its own handler.
template <class... Args>
struct TMenuItemEvent {
  std::function<void(Args...)> Fn;
  const void* Installer = nullptr;
  explicit operator bool() const { return static_cast<bool>(Fn); }
  void operator()(Args... args) const { Fn(args...); }
  void Set(std::function<void(Args...)> fn, const void* installer = nullptr) {
    Fn = std::move(fn);
    Installer = installer;
  }
  void Clear() {
    Fn = nullptr;
    Installer = nullptr;
  }
};

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;
  void BeforeDestruction() override;
  std::wstring ClassName() const override { return L"TMenuItem"; }

  // "-" makes a separator. An item bound to an action shows the action's caption and state.
  std::wstring Caption;
  bool Enabled = true;
  bool Visible = true;
  bool Checked = false;
  bool RadioItem = false;
  bool Default = false;  // shown bold, the menu's default command
  TMenuBreak Break = mbNone;
  int ImageIndex = -1;
  // The item's own glyph (none when empty); made on first use.
  TBitmap* Bitmap();
  bool HasBitmap() const { return FBitmap && !FBitmap->Empty(); }
  // The shortcut's display text ("Ctrl+S"); the menu does not bind the keys itself.
  std::wstring ShortCutText;
  // ---- item extras: shortcut, merging group, help, actions and removal ----
  // The shortcut as a key; shown (when ShortCutText is empty) by its text.
  TShortCut ShortCut = 0;
  // Items of a main menu merged from an MDI child take the places of their group.
  std::uint8_t GroupIndex = 0;
  int HelpContext = 0;
  // Brings the item's action state up to date (its Update), the items below it too.
  void InitiateAction();
  // Takes the sub-item at index out of the tree (not freed: its owner keeps it).
  void Delete(int index);
  // ---- end of the item extras ----
  // The image list of this item's sub-items (a component of the image lists), or none.
  TComponent* SubMenuImages = nullptr;
  TAction* Action = nullptr;
  std::function<void()> OnClick;
  // Owner drawing (the framework's signatures): the measure event gets the suggested size,
  // the advanced draw event the item's rectangle and state; the plain draw event whether
  // the item is selected.
  TMenuItemEvent<TMenuItem*, TCanvas*, int&, int&> OnMeasureItem;
  TMenuItemEvent<TMenuItem*, TCanvas*, const TRect&, TOwnerDrawState> OnAdvancedDrawItem;
  TMenuItemEvent<TMenuItem*, TCanvas*, const TRect&, bool> OnDrawItem;

  bool IsLine() const { return !Action && Caption == L"-"; }
  std::wstring DisplayCaption() const { return Action ? Action->Caption : Caption; }
  bool DisplayEnabled() const { return Action ? Action->Enabled : Enabled; }
  // Runs the item: its action (through the action's update) or its OnClick.
  void Click();

  // The tree: sub-items in order; the parent item (the menu's root for top items).
  const std::vector<TMenuItem*>& Items() const { return FItems; }
  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* operator[](int index) const { return FItems.at(static_cast<std::size_t>(index)); }
  TMenuItem* Parent() const { return FParent; }
  int MenuIndex() const;
  // Appends (Insert: places) an item; it leaves its former parent. The item's owner stays.
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  void Remove(TMenuItem* item);
  // The menu whose tree holds the item (through the parents), or none.
  TMenu* GetParentMenu() const;
  // Tells the menu that the item changed, so that an open menu is built again; Rebuild
  // asks the whole menu to be built again.
  void MenuChanged(bool Rebuild);

  // The item's own drawing without events: the caption and shortcut in the system's menu
  // colours and font, a line for a separator.
  void DefaultMeasure(TCanvas* canvas, int& width, int& height);
  void DefaultDraw(TCanvas* canvas, const TRect& rect, TOwnerDrawState state);
  // What WM_MEASUREITEM and WM_DRAWITEM run for the item: its events, else the default.
  void MeasureItem(TCanvas* canvas, int& width, int& height);
  void AdvancedDrawItem(TCanvas* canvas, const TRect& rect, TOwnerDrawState state, bool topLevel);

private:
  friend class TMenu;
  void DetachFromParent();
  std::vector<TMenuItem*> FItems;
  TMenuItem* FParent = nullptr;
  TMenu* FMenu = nullptr;  // set on a menu's root item only
  std::unique_ptr<TBitmap> FBitmap;
};

// The item behind a pointer-sized value (a menu's item data, a message's LParam) when it is
// a menu item that still exists, else nullptr. Messages posted about an item may arrive
// after the item is gone.
TMenuItem* LiveMenuItem(LPARAM value);
// Told of every menu item as it is freed (one hook; nullptr: none).
void SetMenuItemFreeHook(void (*hook)(TMenuItem* item));

class TMenu : public TComponent {
public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;
  std::wstring ClassName() const override { return L"TMenu"; }

  // The root item: its sub-items are the menu's top items.
  TMenuItem* Items() const { return FItems; }
  // Items are drawn by their owner-draw events (or their default drawing).
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool value);
  TComponent* Images = nullptr;  // an image list component, or none
  TBiDiMode BiDiMode = bdLeftToRight;
  bool IsRightToLeft() const { return BiDiMode != bdLeftToRight; }
  // The system menu made from the tree (made on first use and after a change).
  virtual HMENU Handle() = 0;
  // The menu changed: the next Handle() builds it again, and OnChange is told.
  void Changed();
  // Told after every change of the item tree (a form rebuilds its menu bar with it).
  std::function<void(TMenu* Sender)> OnChange;
  // The item a command id of the last built menu stands for, or none.
  TMenuItem* FindItemByCommand(UINT id) const;
  // Appends one item (with its sub-items) to a part of the built menu, for a menu that is
  // opening now and cannot be built again under the system's feet.
  void AppendToBuilt(HMENU menu, TMenuItem* item);

protected:
  // Builds the system menu of the root's sub-items into Menu.
  void BuildInto(HMENU menu, TMenuItem* parent, bool topLevel);
  void BuildItem(HMENU menu, TMenuItem* item);
  TMenuItem* FItems;
  bool FOwnerDraw = false;
  bool FDirty = true;
  std::vector<TMenuItem*> FCommands;  // command id - 1 -> item
};

class TMainMenu : public TMenu {
public:
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
  ~TMainMenu() override;
  std::wstring ClassName() const override { return L"TMainMenu"; }
  // A menu bar for a window (SetMenu).
  HMENU Handle() override;
  // ---- menu bar extras ----
  // The menu of an MDI child with AutoMerge shows in its host's bar, not on its own.
  bool AutoMerge = false;
  // The window whose bar shows this menu: a rebuilt menu replaces the old one there.
  HWND WindowHandle = nullptr;
  // ---- end of the menu bar extras ----

private:
  HMENU FMenu = nullptr;
};

class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent* owner) : TMenu(owner) {}
  ~TPopupMenu() override;
  std::wstring ClassName() const override { return L"TPopupMenu"; }

  unsigned MenuAnimation = 0;  // TMenuAnimationBit set

  // Adds an item owned by the menu (shown in the order added).
  TMenuItem* Add(TAction* action);
  TMenuItem* AddLine();

  // Brings the actions' states up to date and builds the menu again.
  HMENU RefreshHandle();
  HMENU Handle() override;
  // Shows the menu at a screen point for the owner window (brought to the foreground, so
  // that the menu closes on a click elsewhere) and runs the chosen item. The popup-list
  // window owns the menu while it is open, so the items measure and draw themselves.
  void Popup(int x, int y, HWND owner);
  // ---- popup owner ----
  // The window the menu pops up for when Popup names none (none: the popup-list window).
  HWND WindowHandle = nullptr;
  void Popup(int x, int y) { Popup(x, y, WindowHandle); }
  // ---- end of the popup owner ----

private:
  HMENU FMenu = nullptr;
  bool FOpen = false;  // inside Popup's menu loop
};

// The hidden window that owns every open popup menu: it hands WM_MEASUREITEM and
// WM_DRAWITEM of menu items to the items. Made on first use, on the UI thread.
HWND PopupListWindow();
// The owner-draw messages of menu items, for any window that owns a menu: true when the
// message was a menu item's (Result then holds the answer).
bool DispatchMenuOwnerDraw(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
