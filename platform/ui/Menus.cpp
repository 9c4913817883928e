#include "platform/ui/Menus.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ModalPhase.h"
#include <algorithm>
#include <unordered_set>

namespace {
// Every menu item alive now (UI thread only).
std::unordered_set<const TMenuItem*>& LiveItems() {
  static std::unordered_set<const TMenuItem*> items;
  return items;
}
void (*g_freeHook)(TMenuItem*) = nullptr;

void Forget(TMenuItem* item) {
  if (LiveItems().erase(item) && g_freeHook) g_freeHook(item);
}
}  // namespace

void SetMenuItemFreeHook(void (*hook)(TMenuItem* item)) { g_freeHook = hook; }

TMenuItem* LiveMenuItem(LPARAM value) {
  auto* item = reinterpret_cast<TMenuItem*>(value);
  if (!item || !LiveItems().count(item)) return nullptr;
  return item;
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) { LiveItems().insert(this); }

TMenuItem::~TMenuItem() {
  Forget(this);
  DetachFromParent();
  for (TMenuItem* child : std::vector<TMenuItem*>(FItems)) {
    child->FParent = nullptr;
    if (!child->Owner()) delete child;  // an item without owner belongs to its tree
  }
}

void TMenuItem::BeforeDestruction() {
  Forget(this);
  DetachFromParent();
  TComponent::BeforeDestruction();
}

void TMenuItem::DetachFromParent() {
  if (!FParent) return;
  auto& siblings = FParent->FItems;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  TMenuItem* parent = FParent;
  FParent = nullptr;
  if (!parent->Destroying()) parent->MenuChanged(true);
}

// ---- item extras ----

void TMenuItem::InitiateAction() {
  if (Action) Action->Update();
  for (TMenuItem* item : FItems) item->InitiateAction();
}

void TMenuItem::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  FItems[static_cast<std::size_t>(index)]->DetachFromParent();
}

namespace {

struct TKeyName {
  WORD Key;
  const wchar_t* Name;
};

// Named keys first in the order their texts are tried; the first name of a key is its text.
constexpr TKeyName kKeyNames[] = {
    {VK_BACK, L"BkSp"},  {VK_TAB, L"Tab"},    {VK_RETURN, L"Enter"}, {VK_ESCAPE, L"Esc"},
    {VK_SPACE, L"Space"}, {VK_PRIOR, L"PgUp"}, {VK_NEXT, L"PgDn"},   {VK_END, L"End"},
    {VK_HOME, L"Home"},  {VK_LEFT, L"Left"},  {VK_UP, L"Up"},        {VK_RIGHT, L"Right"},
    {VK_DOWN, L"Down"},  {VK_INSERT, L"Ins"}, {VK_DELETE, L"Del"},   {VK_INSERT, L"Insert"},
    {VK_DELETE, L"Delete"}, {VK_ESCAPE, L"Escape"}, {VK_RETURN, L"Return"},
};

struct TShiftName {
  TShortCut Bit;
  const wchar_t* Name;
};
constexpr TShiftName kShiftNames[] = {{scShift, L"Shift+"}, {scCtrl, L"Ctrl+"}, {scAlt, L"Alt+"}};

bool StartsWithNoCase(const std::wstring& text, std::size_t at, const wchar_t* prefix) {
  const std::size_t n = wcslen(prefix);
  return text.size() - at >= n && _wcsnicmp(text.c_str() + at, prefix, n) == 0;
}

}  // namespace

TShortCut TextToShortCut(const std::wstring& text) {
  TShortCut shift = 0;
  std::size_t at = 0;
  for (bool found = true; found;) {
    found = false;
    for (const TShiftName& s : kShiftNames)
      if (StartsWithNoCase(text, at, s.Name)) {
        shift |= s.Bit;
        at += wcslen(s.Name);
        found = true;
      }
  }
  const std::wstring key = text.substr(at);
  if (key.size() == 1) {
    const wchar_t c = static_cast<wchar_t>(towupper(key[0]));
    if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) return static_cast<TShortCut>(shift | c);
    return 0;
  }
  if (key.size() >= 2 && (key[0] == L'F' || key[0] == L'f')) {
    int n = 0;
    for (std::size_t i = 1; i < key.size(); ++i) {
      if (key[i] < L'0' || key[i] > L'9' || n > 24) return 0;
      n = n * 10 + (key[i] - L'0');
    }
    return n >= 1 && n <= 24 ? static_cast<TShortCut>(shift | (VK_F1 + n - 1)) : 0;
  }
  for (const TKeyName& k : kKeyNames)
    if (_wcsicmp(key.c_str(), k.Name) == 0) return static_cast<TShortCut>(shift | k.Key);
  return 0;
}

std::wstring ShortCutToText(TShortCut shortCut) {
  const WORD key = shortCut & 0xFF;
  std::wstring name;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
    name = std::wstring(1, static_cast<wchar_t>(key));
  else if (key >= VK_F1 && key <= VK_F24)
    name = L"F" + std::to_wstring(key - VK_F1 + 1);
  else
    for (const TKeyName& k : kKeyNames)
      if (k.Key == key) {
        name = k.Name;
        break;
      }
  if (name.empty()) return L"";
  std::wstring text;
  for (const TShiftName& s : kShiftNames)
    if (shortCut & s.Bit) text += s.Name;
  return text + name;
}

// ---- end of the item extras ----

void TMenuItem::Click() {
  if (Action)
    Action->Execute();
  else if (Enabled && OnClick)
    OnClick();
}

TBitmap* TMenuItem::Bitmap() {
  if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
  return FBitmap.get();
}

int TMenuItem::MenuIndex() const {
  if (!FParent) return -1;
  auto& siblings = FParent->FItems;
  return static_cast<int>(std::find(siblings.begin(), siblings.end(), this) - siblings.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item || item == this) return;
  item->DetachFromParent();
  index = std::clamp(index, 0, Count());
  FItems.insert(FItems.begin() + index, item);
  item->FParent = this;
  MenuChanged(true);
}

void TMenuItem::Remove(TMenuItem* item) {
  if (item && item->FParent == this) item->DetachFromParent();
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* item = this;
  while (item->FParent) item = item->FParent;
  return item->FMenu;
}

void TMenuItem::MenuChanged(bool) {
  TMenu* menu = GetParentMenu();
  if (menu && !menu->Destroying()) menu->Changed();
}

namespace {
// The text an item shows: caption, then its shortcut after a tab.
std::wstring ShownText(const TMenuItem* item) {
  std::wstring text = item->DisplayCaption();
  const std::wstring keys = !item->ShortCutText.empty() ? item->ShortCutText : ShortCutToText(item->ShortCut);
  if (!keys.empty()) text += L"\t" + keys;
  return text;
}

void SelectMenuFont(TCanvas* canvas, bool bold) {
  canvas->Font.Assign(Screen().MenuFont());
  if (bold) canvas->Font.Style = canvas->Font.Style | fsBold;
}
}  // namespace

void TMenuItem::DefaultMeasure(TCanvas* canvas, int& width, int& height) {
  if (IsLine()) {
    width = 10;
    height = GetSystemMetrics(SM_CYMENU) / 2;
    return;
  }
  SelectMenuFont(canvas, Default);
  RECT r = {0, 0, 0, 0};
  std::wstring text = ShownText(this);
  DrawTextW(canvas->FontHandle(), text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  width = (r.right - r.left) + 2 * GetSystemMetrics(SM_CXMENUCHECK) + 8;
  height = std::max<int>(r.bottom - r.top + 4, GetSystemMetrics(SM_CYMENU));
}

void TMenuItem::DefaultDraw(TCanvas* canvas, const TRect& rect, TOwnerDrawState state) {
  const bool selected = (state & odSelected) != 0;
  canvas->Brush.Style = bsSolid;
  canvas->Brush.Color = clSystemColor | (selected ? COLOR_HIGHLIGHT : COLOR_MENU);
  canvas->FillRect(rect);
  if (IsLine()) {
    const int y = rect.Top + rect.Height() / 2;
    canvas->Pen.Color = clSystemColor | COLOR_BTNSHADOW;
    canvas->MoveTo(rect.Left + 2, y);
    canvas->LineTo(rect.Right - 2, y);
    return;
  }
  SelectMenuFont(canvas, Default || (state & odDefault));
  int color = !DisplayEnabled() ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT;
  canvas->Font.Color = clSystemColor | color;
  HDC dc = canvas->FontHandle();
  SetBkMode(dc, TRANSPARENT);
  TRect r = rect;
  r.Left += GetSystemMetrics(SM_CXMENUCHECK) + 4;
  r.Right -= 4;
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | ((state & odNoAccel) ? DT_HIDEPREFIX : 0);
  std::wstring caption = DisplayCaption();
  DrawTextW(dc, caption.c_str(), -1, r.AsRECT(), format);
  const std::wstring keys = !ShortCutText.empty() ? ShortCutText : ShortCutToText(ShortCut);
  if (!keys.empty()) DrawTextW(dc, keys.c_str(), -1, r.AsRECT(), format | DT_RIGHT);
}

void TMenuItem::MeasureItem(TCanvas* canvas, int& width, int& height) {
  DefaultMeasure(canvas, width, height);
  if (OnMeasureItem) OnMeasureItem(this, canvas, width, height);
}

void TMenuItem::AdvancedDrawItem(TCanvas* canvas, const TRect& rect, TOwnerDrawState state, bool topLevel) {
  if (OnAdvancedDrawItem)
    OnAdvancedDrawItem(this, canvas, rect, state);
  else if (OnDrawItem)
    OnDrawItem(this, canvas, rect, (state & odSelected) != 0);
  else
    DefaultDraw(canvas, rect, state);
  (void)topLevel;
}

// ---------------------------------------------------------------------------

TMenu::TMenu(TComponent* owner) : TComponent(owner) {
  FItems = new TMenuItem(this);
  FItems->FMenu = this;
}

TMenu::~TMenu() {
  // Items freed after this point (by the base's clean-up) must not tell the menu.
  FComponentState |= csDestroying;
}

void TMenu::Changed() {
  FDirty = true;
  if (!Destroying() && OnChange) {
    auto handler = OnChange;  // a copy: the handler may replace itself
    handler(this);
  }
}

void TMenu::SetOwnerDraw(bool value) {
  if (FOwnerDraw == value) return;
  FOwnerDraw = value;
  Changed();
}

TMenuItem* TMenu::FindItemByCommand(UINT id) const {
  if (id < 1 || id > FCommands.size()) return nullptr;
  return LiveMenuItem(reinterpret_cast<LPARAM>(FCommands[id - 1]));
}

void TMenu::BuildInto(HMENU menu, TMenuItem* parent, bool topLevel) {
  for (TMenuItem* item : parent->Items()) BuildItem(menu, item);
  (void)topLevel;
}

void TMenu::AppendToBuilt(HMENU menu, TMenuItem* item) {
  if (menu && item) BuildItem(menu, item);
}

void TMenu::BuildItem(HMENU menu, TMenuItem* item) {
  if (!item->Visible) return;
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA;
  std::wstring text = ShownText(item);
  if (item->IsLine()) {
    info.fType = MFT_SEPARATOR;
  } else {
    info.fMask |= MIIM_STRING;
    info.dwTypeData = text.data();
  }
  // Owner-drawn items keep their text too: the system finds accelerator keys in it.
  if (FOwnerDraw) info.fType |= MFT_OWNERDRAW;
  if (item->RadioItem) info.fType |= MFT_RADIOCHECK;
  if (item->Break == mbBreak) info.fType |= MFT_MENUBREAK;
  if (item->Break == mbBarBreak) info.fType |= MFT_MENUBARBREAK;
  if (IsRightToLeft()) info.fType |= MFT_RIGHTORDER;
  info.fState = (item->DisplayEnabled() ? MFS_ENABLED : MFS_GRAYED) | (item->Checked ? MFS_CHECKED : 0) |
                (item->Default ? MFS_DEFAULT : 0);
  FCommands.push_back(item);
  info.wID = static_cast<UINT>(FCommands.size());
  info.dwItemData = reinterpret_cast<ULONG_PTR>(item);
  if (item->Count() > 0) {
    info.fMask |= MIIM_SUBMENU;
    info.hSubMenu = CreatePopupMenu();
    BuildInto(info.hSubMenu, item, false);
  }
  InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &info);
}

TMainMenu::~TMainMenu() {
  if (FMenu) DestroyMenu(FMenu);
}

HMENU TMainMenu::Handle() {
  if (FMenu && !FDirty) return FMenu;
  HMENU old = FMenu;
  FCommands.clear();
  FMenu = CreateMenu();
  BuildInto(FMenu, FItems, true);
  FDirty = false;
  // The window's bar takes the new menu before the old one goes.
  if (WindowHandle && IsWindow(WindowHandle) && old && GetMenu(WindowHandle) == old) SetMenu(WindowHandle, FMenu);
  if (old) DestroyMenu(old);
  return FMenu;
}

TPopupMenu::~TPopupMenu() {
  if (FMenu) DestroyMenu(FMenu);
}

TMenuItem* TPopupMenu::Add(TAction* action) {
  auto* item = new TMenuItem(this);
  item->Action = action;
  FItems->Add(item);
  return item;
}

TMenuItem* TPopupMenu::AddLine() {
  auto* item = new TMenuItem(this);
  item->Caption = L"-";
  FItems->Add(item);
  return item;
}

HMENU TPopupMenu::Handle() {
  // The open menu is never built again under the system's feet: changes wait for the next
  // opening.
  if (FMenu && (!FDirty || FOpen)) return FMenu;
  return RefreshHandle();
}

namespace {
void UpdateActions(TMenuItem* parent) {
  for (TMenuItem* item : parent->Items()) {
    if (item->Action) item->Action->Update();
    UpdateActions(item);
  }
}
}  // namespace

HMENU TPopupMenu::RefreshHandle() {
  UpdateActions(FItems);
  if (FMenu) DestroyMenu(FMenu);
  FCommands.clear();
  FMenu = CreatePopupMenu();
  BuildInto(FMenu, FItems, false);
  FDirty = false;
  return FMenu;
}

void TPopupMenu::Popup(int x, int y, HWND owner) {
  HMENU menu = RefreshHandle();
  HWND list = PopupListWindow();
  // The owner must be in the foreground, or the menu does not go away when clicking elsewhere.
  SetForegroundWindow(owner ? owner : list);
  UINT flags = TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY;
  if (MenuAnimation & maNone) flags |= TPM_NOANIMATION;
  if (IsRightToLeft()) flags |= TPM_LAYOUTRTL | TPM_RIGHTALIGN;
  UINT chosen;
  {
    TModalPhase phase;  // the menu runs its own message loop
    struct TOpen {
      bool& open;
      explicit TOpen(bool& o) : open(o) { open = true; }
      ~TOpen() { open = false; }
    } opened(FOpen);
    chosen = TrackPopupMenu(menu, flags, x, y, 0, list, nullptr);
  }
  PostMessageW(owner ? owner : list, WM_NULL, 0, 0);
  if (TMenuItem* item = FindItemByCommand(chosen)) item->Click();
}

// ---------------------------------------------------------------------------

bool DispatchMenuOwnerDraw(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
  if (msg == WM_MEASUREITEM) {
    auto* info = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    if (!info || info->CtlType != ODT_MENU) return false;
    TMenuItem* item = LiveMenuItem(static_cast<LPARAM>(info->itemData));
    if (!item) return false;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    int width = static_cast<int>(info->itemWidth), height = static_cast<int>(info->itemHeight);
    {
      TCanvas canvas(dc);
      item->MeasureItem(&canvas, width, height);
    }
    DeleteDC(dc);
    info->itemWidth = static_cast<UINT>(std::max(width, 0));
    info->itemHeight = static_cast<UINT>(std::max(height, 0));
    result = TRUE;
    return true;
  }
  if (msg == WM_DRAWITEM) {
    auto* info = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    if (!info || info->CtlType != ODT_MENU) return false;
    TMenuItem* item = LiveMenuItem(static_cast<LPARAM>(info->itemData));
    if (!item) return false;
    const int saved = SaveDC(info->hDC);
    {
      TCanvas canvas(info->hDC);
      TRect r = Rect(info->rcItem.left, info->rcItem.top, info->rcItem.right, info->rcItem.bottom);
      TMenu* menu = item->GetParentMenu();
      const bool top = dynamic_cast<TMainMenu*>(menu) && item->Parent() == menu->Items();
      item->AdvancedDrawItem(&canvas, r, static_cast<TOwnerDrawState>(info->itemState), top);
    }
    RestoreDC(info->hDC, saved);
    result = TRUE;
    return true;
  }
  return false;
}

namespace {
LRESULT CALLBACK PopupListProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (PrivateMessageRefused(wnd, msg, wParam, lParam)) return 0;
  // Nothing may unwind through the menu loop's frames: failures go to the application's report.
  try {
    LRESULT result = 0;
    if (DispatchMenuOwnerDraw(msg, wParam, lParam, result)) return result;
  } catch (...) {
    try {
      Application().HandleException(std::current_exception());
    } catch (...) {
    }
    return 0;
  }
  return DefWindowProcW(wnd, msg, wParam, lParam);
}
}  // namespace

HWND PopupListWindow() {
  static HWND wnd = nullptr;
  if (wnd && IsWindow(wnd)) return wnd;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = PopupListProc;
  wc.hInstance = inst;
  wc.lpszClassName = L"TPUtilWindow";
  RegisterClassW(&wc);
  // A hidden top-level window: menus need a window that can own them and come forward.
  wnd = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, inst,
                        nullptr);
  return wnd;
}
