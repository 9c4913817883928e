// The form provider's menus: the skinned system menu and where it drops, the main menu's
// line under the caption (its measurements, its items drawn into the non-client image, an
// MDI child's items merged in by group), the cover of the MDI buttons during menu loops, the
// window list of an MDI form and the menu messages of a skinned form.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Forms.h"
#include "platform/ui/Frames.h"
#include "platform/ui/Menus.h"
#include "platform/ui/ModalPhase.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/acSkinList.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sConst.h"
#include "skin/manager/sSkinManager.h"

namespace {

HWND WndOf(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }
bool IsMDIParentOf(TForm* form) { return form && form->FormKind() == fkMDIForm; }
bool IsMDIChildOf(TForm* form) { return form && form->FormKind() == fkMDIChild; }

// Engine-made items of the window list carry this bit in their Tag; the low bits are the
// child's index.
constexpr std::intptr_t kWindowListTag = 0x200;
// The owner-draw state of items painted on the menu line (no focus cues, not selected).
constexpr TOwnerDrawState kLineItemState = 0x500;
const wchar_t kSkinSelectName[] = L"SkinSelectItem";

// Frees an item and everything below it (all of them belong to the system menu).
void FreeItemTree(TMenuItem* item) {
  for (TMenuItem* child : std::vector<TMenuItem*>(item->Items())) FreeItemTree(child);
  TComponent::Free(item);
}

// The text of a system-menu entry split at its first tab: the caption and the shortcut text.
std::pair<std::wstring, std::wstring> SplitAtTab(const std::wstring& text) {
  const std::size_t tab = text.find(L'\t');
  if (tab == std::wstring::npos) return {text, L""};
  return {text.substr(0, tab), text.substr(tab + 1)};
}

std::wstring MenuString(HMENU menu, UINT item, UINT flags) {
  wchar_t buf[256] = {};
  const int n = GetMenuStringW(menu, item, buf, 255, flags);
  return n > 0 ? std::wstring(buf, static_cast<std::size_t>(n)) : std::wstring();
}

bool AnyVisibleItem(TMainMenu* menu) {
  if (!menu) return false;
  for (TMenuItem* item : menu->Items()->Items())
    if (item->Visible) return true;
  return false;
}

// The MDI button cover shown over the line while a menu loop runs (one for the process).
TForm* MDIIconsForm = nullptr;

class TMDIIconsForm : public TForm {
public:
  using TForm::TForm;

protected:
  void CreateParams(TCreateParams& params) override {
    TForm::CreateParams(params);
    // The cover casts no shadow of its own.
    params.ClassStyle &= ~0x20000u;
  }
};

}  // namespace

// ---- system menu -------------------------------------------------------------------

TMenuItem* TsSystemMenu::NewItem(const std::wstring& Caption, const std::wstring& Name, std::intptr_t Tag,
                                 void (TsSystemMenu::*Click)(TMenuItem*)) {
  auto* item = new TMenuItem(this);
  item->Caption = Caption;
  item->Name = Name;
  item->Tag = Tag;
  if (Click) item->OnClick = [this, item, Click] { (this->*Click)(item); };
  return item;
}

void TsSystemMenu::Generate() {
  for (TMenuItem* item : std::vector<TMenuItem*>(Items()->Items())) FreeItemTree(item);
  SubMenu = ItemMove = ItemSize = ItemClose = ItemRestore = ItemMinimize = ItemMaximize = nullptr;
  ExtItemsCount = 0;
  HWND wnd = WndOf(FForm);
  HMENU sys = wnd ? GetSystemMenu(wnd, FALSE) : nullptr;
  if (!sys) return;
  AddSysSubMenu(ipTop);
  struct TStandard {
    TMenuItem** Field;
    const wchar_t* Name;
    UINT Command;
    void (TsSystemMenu::*Click)(TMenuItem*);
    const std::wstring* Default;
  };
  const TStandard standard[] = {
      {&ItemRestore, L"acIR", SC_RESTORE, &TsSystemMenu::RestoreClick, &acs_Restore},
      {&ItemMove, L"acIM", SC_MOVE, &TsSystemMenu::MoveClick, &acs_Move},
      {&ItemSize, L"acIS", SC_SIZE, &TsSystemMenu::SizeClick, &acs_Size},
      {&ItemMinimize, L"acIN", SC_MINIMIZE, &TsSystemMenu::MinClick, &acs_Minimize},
      {&ItemMaximize, L"acIX", SC_MAXIMIZE, &TsSystemMenu::MaxClick, &acs_Maximize},
  };
  for (const TStandard& s : standard) {
    std::wstring caption = SplitAtTab(MenuString(sys, s.Command, MF_BYCOMMAND)).first;
    if (caption.empty()) caption = *s.Default;
    *s.Field = NewItem(caption, s.Name, s.Command, s.Click);
    Items()->Add(*s.Field);
  }
  Items()->Add(NewItem(L"-", L"", 0, nullptr));
  // The window's own extra commands, with their shortcut texts.
  for (int i = 0, n = GetMenuItemCount(sys); i < n; ++i) {
    const UINT id = GetMenuItemID(sys, i);
    if (id >= 0xF000 && id <= 0xF1FF) continue;
    const std::wstring text = MenuString(sys, static_cast<UINT>(i), MF_BYPOSITION);
    if (text.empty()) continue;
    const auto [caption, keys] = SplitAtTab(text);
    TMenuItem* item = NewItem(caption, L"", static_cast<std::intptr_t>(id), &TsSystemMenu::ExtClick);
    if (!keys.empty()) item->ShortCut = TextToShortCut(keys);
    Items()->Add(item);
    ++ExtItemsCount;
  }
  if (ExtItemsCount > 0) Items()->Add(NewItem(L"-", L"", 0, nullptr));
  AddSysSubMenu(ipBeforeClose);
  const auto [closeCaption, closeKeys] = SplitAtTab(MenuString(sys, SC_CLOSE, MF_BYCOMMAND));
  ItemClose = NewItem(closeCaption.empty() ? acs_Close : closeCaption, L"acIC", SC_CLOSE, &TsSystemMenu::CloseClick);
  if (!closeKeys.empty()) ItemClose->ShortCut = TextToShortCut(closeKeys);
  ItemClose->Enabled = EnabledClose();
  Items()->Add(ItemClose);
  AddSysSubMenu(ipBottom);
}

void TsSystemMenu::AddSysSubMenu(TacMenuItemPos Pos) {
  if (!FOwner) return;
  TacSysSubMenu& sub = FOwner->SysSubMenu();
  if (sub.Position != Pos || sub.Caption.empty() || !sub.PopupMenu) return;
  if (Pos == ipBottom) Items()->Add(NewItem(L"-", L"ac_BtmDiv", 0, nullptr));
  SubMenu = NewItem(sub.Caption, L"ac_SubMenu", 0, nullptr);
  Items()->Add(SubMenu);
  struct TCopier {
    TsSystemMenu* Menu;
    void Copy(TMenuItem* From, TMenuItem* To) {
      for (TMenuItem* src : From->Items()) {
        auto* item = new TMenuItem(Menu);
        item->Caption = src->Caption;
        item->ShortCut = src->ShortCut;
        item->ShortCutText = src->ShortCutText;
        item->Checked = src->Checked;
        item->Name = src->Name + L"Copy";
        item->HelpContext = src->HelpContext;
        item->OnClick = src->OnClick;
        item->Enabled = src->Enabled;
        item->ImageIndex = src->ImageIndex;
        To->Add(item);
        Copy(src, item);
      }
    }
  } copier{this};
  copier.Copy(sub.PopupMenu->Items(), SubMenu);
  Images = sub.PopupMenu->Images;
  if (Pos == ipTop || Pos == ipBeforeClose) Items()->Add(NewItem(L"-", L"ac_TopDiv", 0, nullptr));
}

void TsSystemMenu::UpdateItems(bool Full) {
  if (Full || !ItemClose) Generate();
  if (ItemRestore) {
    ItemRestore->Visible = VisibleRestore();
    ItemRestore->Enabled = EnabledRestore();
  }
  if (ItemMove) {
    ItemMove->Visible = true;
    ItemMove->Enabled = EnabledMove();
  }
  if (ItemSize) {
    ItemSize->Visible = VisibleSize();
    ItemSize->Enabled = EnabledSize();
  }
  if (ItemMinimize) {
    ItemMinimize->Visible = VisibleMin();
    ItemMinimize->Enabled = EnabledMin();
  }
  if (ItemMaximize) {
    ItemMaximize->Visible = VisibleMax();
    ItemMaximize->Enabled = EnabledMax();
  }
  if (ItemClose) {
    ItemClose->Visible = VisibleClose();
    ItemClose->Enabled = EnabledClose();
  }
  Changed();
}

void TsSystemMenu::SendCommand(UINT Command) {
  if (HWND wnd = WndOf(FForm)) SendMessageW(wnd, WM_SYSCOMMAND, Command, 0);
}

void TsSystemMenu::CloseClick(TMenuItem*) { SendCommand(SC_CLOSE); }

void TsSystemMenu::MaxClick(TMenuItem*) {
  // The command may close the form, and this menu with it.
  auto alive = FOwner ? FOwner->AliveToken() : nullptr;
  SendCommand(SC_MAXIMIZE);
  if (alive && *alive) UpdateItems(false);
}

void TsSystemMenu::MinClick(TMenuItem*) {
  TsSkinProvider* owner = FOwner;
  auto alive = owner ? owner->AliveToken() : nullptr;
  if (owner) owner->SkipAnimation = true;
  SendCommand(SC_MINIMIZE);
  if (!alive || !*alive) return;
  owner->SkipAnimation = false;
  if (owner->SystemMenu) owner->SystemMenu->UpdateItems(false);
}

void TsSystemMenu::MoveClick(TMenuItem*) { SendCommand(SC_MOVE); }

void TsSystemMenu::RestoreClick(TMenuItem*) {
  auto alive = FOwner ? FOwner->AliveToken() : nullptr;
  SendCommand(SC_RESTORE);
  if (alive && *alive) UpdateItems(false);
}

void TsSystemMenu::SizeClick(TMenuItem*) { SendCommand(SC_SIZE); }

void TsSystemMenu::ExtClick(TMenuItem* Sender) {
  if (HWND wnd = WndOf(FForm)) PostMessageW(wnd, WM_SYSCOMMAND, static_cast<WPARAM>(Sender->Tag), 0);
}

void TsSystemMenu::MakeSkinItems() {
  TsSkinManager* manager = FOwner ? FOwner->Manager() : nullptr;
  if (!manager) return;
  TacSkinNames names;
  manager->GetSkinNames(names, false, stAllSkins);
  if (names.empty()) return;
  TMenuItem* root = NewItem(acs_AvailSkins, kSkinSelectName, 0, nullptr);
  Items()->Insert(0, root);
  Items()->Insert(1, NewItem(L"-", L"", 0, nullptr));
  bool checked = false;
  for (std::size_t i = 0; i < names.size(); ++i) {
    TMenuItem* item = NewItem(names[i].Name, kSkinSelectName + std::to_wstring(i), 0, &TsSystemMenu::SkinSelect);
    item->RadioItem = true;
    if (!checked && names[i].Name == manager->SkinName()) {
      item->Checked = true;
      item->Default = true;
      checked = true;
    }
    if (i > 0 && i % 20 == 0) item->Break = mbBreak;
    root->Add(item);
  }
}

void TsSystemMenu::SkinSelect(TMenuItem* Sender) {
  TsSkinManager* manager = FOwner ? FOwner->Manager() : nullptr;
  if (!manager || !Sender) return;
  std::wstring name = DeleteChars(Sender->Caption, L'&');
  const std::size_t at = acs_InternalSkin.empty() ? std::wstring::npos : name.find(acs_InternalSkin);
  if (at != std::wstring::npos) name.erase(at + acs_InternalSkin.size());
  manager->SetSkinName(name);
}

// ---- dropping the system menu --------------------------------------------------------

void TsSkinProvider::DropSysMenu(int X, int Y) {
  if (!SystemMenu) PrepareForm();
  if (!SystemMenu || !Form) return;
  HWND wnd = WndOf(Form);
  if (!wnd || Application().ActiveForm() != Form) return;
  TsSkinManager* manager = Manager();
  auto alive = FAlive;
  if (manager && manager->SkinnedPopups()) {
    SystemMenu->UpdateItems(SystemMenu->ExtItemsCount > 0 || FSysSubMenu->PopupMenu != nullptr);
    if (MakeSkinMenu && SystemMenu->Items()->Count() > 0) {
      if (manager->SkinListController) {
        manager->SkinListController->CheckThread();
        manager->SkinListController->UpdateIfNeeded(false);
      }
      TMenuItem* first = (*SystemMenu->Items())[0];
      if (first->Name == kSkinSelectName) {
        FreeItemTree(first);
        // The separator that followed the list goes with it, or every drop would add one.
        if (SystemMenu->Items()->Count() > 0) {
          TMenuItem* next = (*SystemMenu->Items())[0];
          if (next->IsLine() && next->Name.empty()) FreeItemTree(next);
        }
      }
      SystemMenu->MakeSkinItems();
    }
    if (manager->SkinableMenus) manager->SkinableMenus->HookPopupMenu(SystemMenu.get(), true);
    SystemMenu->WindowHandle = wnd;
    SystemMenu->BiDiMode = Form->BiDiMode();
    SystemMenu->Popup(X, Y);
    // A chosen item may have closed the form and freed this provider.
    if (!*alive) return;
    if (SystemMenu) SystemMenu->WindowHandle = nullptr;
    return;
  }
  HMENU sys = GetSystemMenu(wnd, FALSE);
  if (!sys) return;
  const LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
  // Windows repaints the caption of a visible window when its menu items change state.
  SetWindowLongPtrW(wnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_VISIBLE));
  auto enable = [sys](UINT command, bool on) {
    EnableMenuItem(sys, command, MF_BYCOMMAND | (on ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
  };
  TsSystemMenu& m = *SystemMenu;
  enable(SC_RESTORE, m.VisibleRestore() && m.EnabledRestore());
  enable(SC_MOVE, m.EnabledMove() && !IsIconic(wnd));
  enable(SC_SIZE, m.VisibleSize() && m.EnabledSize() && Form->WindowState() == wsNormal);
  enable(SC_MINIMIZE, m.VisibleMin() && m.EnabledMin());
  enable(SC_MAXIMIZE, m.VisibleMax() && m.EnabledMax());
  enable(SC_CLOSE, m.VisibleClose() && m.EnabledClose());
  SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) | (style & WS_VISIBLE));
  UINT command;
  {
    TModalPhase phase;  // the menu runs its own message loop
    command = static_cast<UINT>(TrackPopupMenu(sys, TPM_RETURNCMD | TPM_RIGHTBUTTON, X, Y, 0, wnd, nullptr));
  }
  if (!*alive || !IsWindow(wnd)) return;
  if (command > 0) PostMessageW(wnd, WM_SYSCOMMAND, command, 0);
}

// ---- menu line ---------------------------------------------------------------------

bool TsSkinProvider::MenuPresent() {
  if (!Form || Form->BorderStyle() == bsDialog || IsMDIChildOf(Form)) return false;
  TMainMenu* menu = Form->Menu();
  if (!menu || menu->AutoMerge) return false;
  if (AnyVisibleItem(menu)) return true;
  if (IsMDIParentOf(Form))
    if (TForm* child = Form->ActiveMDIChild()) return AnyVisibleItem(child->Menu());
  return false;
}

int TsSkinProvider::LinesCount() {
  if (FLinesCount != -1) return FLinesCount;
  HWND wnd = WndOf(Form);
  if (!wnd || !Form->Menu() || IsIconic(wnd)) return 0;
  HMENU bar = GetMenu(wnd);
  RECT item{};
  if (!bar || !GetMenuItemRect(wnd, bar, 0, &item)) return 0;
  RECT window{}, client{};
  GetWindowRect(wnd, &window);
  GetClientRect(wnd, &client);
  int b = window.top + (window.bottom - window.top) - client.bottom - BorderHeight(false) - 2 * Form->BorderWidth();
  SCROLLBARINFO sb{};
  sb.cbSize = sizeof sb;
  if (GetScrollBarInfo(wnd, OBJID_HSCROLL, &sb) && !(sb.rgstate[0] & STATE_SYSTEM_INVISIBLE))
    b -= GetSystemMetrics(SM_CYHSCROLL);
  int lines = 1;
  if (item.bottom < b) lines = (b - item.bottom) / std::max(1, GetSystemMetrics(SM_CYMENU) - 2) + 1;
  FLinesCount = lines;
  return FLinesCount;
}

namespace {
bool gUpdatingMenu = false;
}

bool TsSkinProvider::UpdateMenu() {
  if (gUpdatingMenu) return false;
  TMainMenu* menu = Form ? Form->Menu() : nullptr;
  if (!menu || menu->Items()->Count() == 0) return false;
  struct TGuard {
    TGuard() { gUpdatingMenu = true; }
    ~TGuard() { gUpdatingMenu = false; }
  } guard;
  (*menu->Items())[0]->MenuChanged(true);
  if (FCommonData) FCommonData->BeginUpdate();
  // The bar reads its direction from the form.
  menu->BiDiMode = Form->BiDiMode();
  if (FCommonData) FCommonData->EndUpdate(false);
  return true;
}

void TsSkinProvider::RepaintMenu() {
  if (FCommonData) FCommonData->BGChanged = true;
  MenuChanged = true;
  FLinesCount = -1;
  ProcessMessage(WM_NCPAINT, 0, 0);
}

void TsSkinProvider::InitMenuItems(bool A) {
  if (!Form || (Form->ComponentState() & csDesigning)) return;
  TsSkinManager* manager = Manager();
  if (!manager || !manager->SkinableMenus || manager != DefaultManager()) return;
  TsSkinableMenus* menus = manager->SkinableMenus.get();
  const bool popups = A && manager->SkinnedPopups();
  const bool line = A && NonClientSkinned();
  struct TVisitor {
    TsSkinableMenus* Menus;
    bool A, Line, Popups;
    void Visit(TComponent* owner) {
      for (TComponent* c : std::vector<TComponent*>(owner->Components())) {
        if (dynamic_cast<TCustomFrame*>(c)) {
          Visit(c);
        } else if (auto* main = dynamic_cast<TMainMenu*>(c)) {
          Menus->InitMenuLine(main, Line);
          for (TMenuItem* item : main->Items()->Items()) Menus->HookItem(item, Popups);
        } else if (auto* popup = dynamic_cast<TPopupMenu*>(c)) {
          Menus->HookPopupMenu(popup, Popups);
        } else if (auto* item = dynamic_cast<TMenuItem*>(c)) {
          if (dynamic_cast<TMainMenu*>(item->GetParentMenu()))
            Visit(item);
          else
            Menus->HookItem(item, Popups);
        }
      }
    }
  } visitor{menus, A, line, popups};
  visitor.Visit(Form);
}

void TsSkinProvider::InitMenus() {
  if (MenusInitialized || !NonClientSkinned() || !Form) return;
  TsSkinManager* manager = Manager();
  if (Form->Menu() && manager && manager->SkinableMenus) manager->SkinableMenus->InitMenuLine(Form->Menu(), true);
  MenusInitialized = UpdateMenu();
}

bool TsSkinProvider::MDIButtonsOnMenuLine() {
  if (!ChildSkinProvider || !IsMDIParentOf(Form) || !Form->Menu()) return false;
  TForm* child = Form->ActiveMDIChild();
  return child && Form->ActiveMDIChildMaximized() && (child->BorderIcons() & biSystemMenu);
}

void TsSkinProvider::RefreshMDIMenuLine(bool Full) {
  TsSkinProvider* p = MDISkinProvider;
  if (!p || !p->Form || p->Destroying()) return;
  HWND wnd = WndOf(p->Form);
  if (!wnd) return;
  if (!p->NonClientSkinned()) {
    RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
    return;
  }
  if (p->FCommonData) p->FCommonData->BeginUpdate();
  if (p->MDIForm) p->MDIForm->UpdateMDIIconItem();
  if (p->FCommonData) p->FCommonData->BGChanged = true;
  p->FGlow1.reset();
  p->FGlow2.reset();
  p->MenuChanged = true;
  p->FLinesCount = -1;
  if (p->FCommonData) p->FCommonData->EndUpdate(false);
  if (HWND client = p->Form->ClientHandle())
    RedrawWindow(client, nullptr, nullptr,
                 Full ? (RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW)
                      : (RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME));
  RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
  if (Full && p->BorderForm) p->BorderForm->UpdateExBordersPos(true, 255);
}

void TsSkinProvider::RepaintMenuItem(TMenuItem* Item, const TRect& R, TOwnerDrawState State) {
  if (!Item || !MenuPresent() || !FCommonData || !FCommonData->FCacheBmp) return;
  TMainMenu* menu = Form->Menu();
  HWND wnd = WndOf(Form);
  if (!wnd || !menu || Item->GetParentMenu() != menu) return;
  TBitmap* cache = FCommonData->FCacheBmp.get();
  TsSkinManager* manager = Manager();
  TsSkinProvider* saved = manager && manager->SkinableMenus ? manager->SkinableMenus->MenuProvider : nullptr;
  if (manager && manager->SkinableMenus) manager->SkinableMenus->MenuProvider = this;
  Item->AdvancedDrawItem(&cache->Canvas(), R, State, true);
  if (manager && manager->SkinableMenus) manager->SkinableMenus->MenuProvider = saved;
  HDC dc = GetWindowDC(wnd);
  const int state = SaveDC(dc);
  BitBlt(dc, R.Left, R.Top, R.Width(), R.Height(), cache->Canvas().Handle(), R.Left, R.Top, SRCCOPY);
  RestoreDC(dc, state);
  ReleaseDC(wnd, dc);
}

void TsSkinProvider::WindowItemClick(TMenuItem* Sender) {
  if (!Sender || !Form) return;
  const int index = static_cast<int>(Sender->Tag & ~kWindowListTag);
  if (index < Form->MDIChildCount())
    if (TForm* child = Form->MDIChildren(index)) child->BringToFront();
}

void TsSkinProvider::PaintMenuLineItems(TBitmap* Cache, int TitleBottom) {
  HWND wnd = WndOf(Form);
  TMainMenu* menu = Form ? Form->Menu() : nullptr;
  TsSkinManager* manager = Manager();
  if (!Cache || !wnd || !menu || !manager || !manager->SkinableMenus) return;
  const int menuHeight = MenuHeight();
  const TRect shadow = ShadowSize();
  // A maximized MDI child's icon opens the line.
  if (MDISkinProvider == this && MaxedMDIChildWithIcon()) {
    TForm* child = Form->ActiveMDIChild();
    HICON icon = child ? child->Icon() : nullptr;
    if (!icon) icon = Application().Icon();
    if (!icon) icon = LoadIconW(nullptr, IDI_APPLICATION);
    const int side = std::max(0, menuHeight - 2);
    DrawIconEx(Cache->Canvas().Handle(), shadow.Left + BorderWidth(true) + 1, TitleBottom + 1, icon, side, side, 0,
               nullptr, DI_NORMAL);
  }
  InitMenus();
  HMENU bar = GetMenu(wnd);
  if (!bar) return;
  RECT window{};
  GetWindowRect(wnd, &window);
  // From Windows' places of the items (screen) to the non-client image.
  const int dx = -window.left + shadow.Left;
  const int dy = -window.top + shadow.Top + BorderFormTitleDiff(BorderForm) + (FSysExHeight ? 4 : 0);
  TsSkinableMenus* menus = manager->SkinableMenus.get();
  TsSkinProvider* saved = menus->MenuProvider;
  menus->MenuProvider = this;
  struct TRestore {
    TsSkinableMenus* Menus;
    TsSkinProvider* Saved;
    ~TRestore() { Menus->MenuProvider = Saved; }
  } restore{menus, saved};
  auto draw = [&](TMenuItem* item, const TRect& r) {
    if (item->OnAdvancedDrawItem) item->OnAdvancedDrawItem(item, &Cache->Canvas(), r, kLineItemState);
  };
  // The merged items of the active MDI child, between the groups of the form's own items.
  TForm* child = IsMDIParentOf(Form) ? Form->ActiveMDIChild() : nullptr;
  TMainMenu* childMenu = child && child->HandleAllocated() ? child->Menu() : nullptr;
  HMENU childBar = childMenu ? childMenu->Handle() : nullptr;
  const int lineStart = shadow.Left + BorderWidth(true);
  const int lineEnd = shadow.Left + WndWidth(wnd) - 2 * BorderWidth(true) - 2 * Form->BorderWidth();
  std::size_t nextChild = 0;
  int lastGroup = -1;   // the group of the item drawn last, the form's or the child's
  int childGroup = -1;  // the group the child's items were drawn for last
  int penX = -1, penY = TitleBottom;  // where a merged item goes: after the item drawn last
  auto drawMerged = [&](int Limit, bool OwnLeft) -> bool {
    if (!childMenu) return false;
    const auto& items = childMenu->Items()->Items();
    // The run starts at a child item of a later group than drawn, within the limit.
    while (nextChild < items.size()) {
      TMenuItem* item = items[nextChild];
      if (item->Visible && item->OnAdvancedDrawItem && item->GroupIndex > lastGroup) break;
      ++nextChild;
    }
    if (nextChild >= items.size() || items[nextChild]->GroupIndex > Limit) return false;
    lastGroup = childGroup = items[nextChild]->GroupIndex;
    for (; nextChild < items.size(); ++nextChild) {
      TMenuItem* item = items[nextChild];
      if (item->GroupIndex > Limit && OwnLeft) break;
      if (!item->Visible) continue;
      RECT wr{};
      int w = 0;
      if (GetMenuItemRect(child->Handle(), childBar, static_cast<UINT>(nextChild), &wr)) w = wr.right - wr.left;
      if (penX < 0) penX = lineStart;
      if (penX + w > lineEnd && penX > lineStart) {
        penX = lineStart;
        penY += menuHeight;
      }
      draw(item, TRect{penX, penY, penX + w, penY + menuHeight});
      penX += w;
      lastGroup = childGroup = item->GroupIndex;
    }
    return lastGroup >= Limit;
  };
  const auto& own = menu->Items()->Items();
  // A maximized child's system menu takes the bar's first place.
  int pos = IsMDIParentOf(Form) && Form->ActiveMDIChildMaximized() ? 1 : 0;
  for (std::size_t i = 0; i < own.size(); ++i) {
    TMenuItem* item = own[i];
    if (!item->Visible) continue;
    const int barPos = pos++;
    RECT wr{};
    if (!GetMenuItemRect(wnd, bar, static_cast<UINT>(barPos), &wr)) continue;
    const TRect r{wr.left + dx, wr.top + dy, wr.right + dx, wr.bottom + dy};
    if (penX < 0) {
      penX = r.Left;
      penY = r.Top;
    }
    drawMerged(item->GroupIndex, true);
    // The child's items of the same group take this item's place.
    if (childMenu && item->GroupIndex == childGroup) continue;
    if (!item->OnAdvancedDrawItem) {
      if (menu->OwnerDraw())
        menus->InitMenuLine(menu, true);
      else
        MenusInitialized = false;
    }
    draw(item, r);
    lastGroup = std::max(lastGroup, static_cast<int>(item->GroupIndex));
    penX = std::max(penX, r.Right);
    penY = r.Top;
  }
  drawMerged(INT_MAX, false);
}

// ---- menu messages -----------------------------------------------------------------

void TsSkinProvider::MenuMessage(TMessage& Message) {
  auto alive = FAlive;
  HWND wnd = WndOf(Form);
  TsSkinManager* manager = Manager();
  switch (Message.Msg) {
    case WM_CHILDACTIVATE:
      CallOld(Message);
      if (!*alive) return;
      UpdateMenu();
      if (MDISkinProvider && MDISkinProvider->Form && MDISkinProvider->Form->ActiveMDIChild()) {
        if (MDISkinProvider->Form->ActiveMDIChildMaximized()) {
          if (MDISkinProvider->MDIForm) MDISkinProvider->MDIForm->UpdateMDIIconItem();
        } else {
          UpdateSysMenuStyle(true);
        }
      }
      return;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
      if (info && wnd && NonClientSkinned() && Form->BorderStyle() != bsNone && !IsMDIChildOf(Form) &&
          !GetParent(wnd)) {
        const TRect work = FormMonitorWorkArea(Form);
        const int a = SysBorderWidth(wnd, nullptr, false);
        int b = 0;
        const bool maximizing = (FFormState & FS_MAXIMIZING) != 0;
        if (BorderForm && !(IsZoomed(wnd) && !ExtBordersAllowed()) &&
            !(maximizing && manager && manager->Options.NativeBordersMaximized) && (GetWindowLongPtrW(wnd, GWL_STYLE) & WS_CAPTION) != 0) {
          FSysExHeight = maximizing && ExtendedTitleHeight(this, true) > SysCaptionHeight(this) + 4;
          b = ExtraTitleHeight(this, true);
        }
        info->ptMaxPosition = POINT{-a, b - a};
        info->ptMaxSize = POINT{work.Width() + 2 * a, work.Height() + 2 * a - b};
        Message.Result = 0;
      }
      CallOld(Message);
      return;
    }
    case WM_MEASUREITEM: {
      auto* info = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
      if (info && info->CtlType == ODT_MENU && HasMenuLine(this) && manager && manager->SkinableMenus &&
          NonClientSkinned() && Form->Menu())
        if (TMenuItem* item = Form->Menu()->FindItemByCommand(info->itemID))
          manager->SkinableMenus->InitItem(item, true);
      CallOld(Message);
      return;
    }
    case WM_ENTERMENULOOP:
      if (IsMDIParentOf(Form) && !InMenu && Form->ActiveMDIChildMaximized() && wnd) {
        InMenu = true;
        if (!MDIIconsForm) {
          auto* cover = new TMDIIconsForm(&Application());
          cover->Name = L"acMDIIcons";
          cover->SetBorderStyle(bsNone);
          cover->Tag = SkipSkinningTag;
          cover->SetVisible(false);
          cover->OnPaint = [this](TForm* Sender, HDC DC) { MdiIcoFormPaint(Sender, DC); };
          MDIIconsForm = cover;
        }
        RECT r{};
        GetWindowRect(wnd, &r);
        const int width = 60;
        const int height = SystemMetricForDpi(SM_CYMENU, WindowPPI(wnd)) + 3;
        SetWindowPos(MDIIconsForm->Handle(), HWND_TOP, r.right - SysBorderWidth(wnd, BorderForm, false) - width,
                     r.top + SysBorderWidth(wnd, BorderForm, false) + SysCaptionHeight(this), width, height,
                     SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOREDRAW);
      }
      CallOld(Message);
      return;
    case WM_EXITMENULOOP:
      InMenu = false;
      if (MDIIconsForm) {
        TComponent::Free(MDIIconsForm);
        MDIIconsForm = nullptr;
      }
      CallOld(Message);
      return;
    case WM_INITMENUPOPUP: {
      if (!manager || !manager->SkinnedPopups()) {
        // The form's menus still bring their items up to date before they open.
        CallOld(Message);
        return;
      }
      if (HIWORD(Message.LParam) != 0) {
        if (wnd) EnableMenuItem(GetSystemMenu(wnd, FALSE), SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
      } else {
        SkinnedMenuActive = false;
      }
      TMenuItem* windowMenu = Form->WindowMenu;
      if (windowMenu)
        for (int i = windowMenu->Count() - 1; i >= 0; --i) {
          TMenuItem* item = (*windowMenu)[i];
          if (item->Tag & kWindowListTag) FreeItemTree(item);
        }
      TMainMenu* mainMenu = Form->Menu();
      HMENU opened = reinterpret_cast<HMENU>(Message.WParam);
      HMENU windowHandle = nullptr;
      if (windowMenu && mainMenu && wnd) {
        // The window menu's own popup: the one whose items are its items.
        HMENU bar = GetMenu(wnd);
        const int pos = windowMenu->MenuIndex();
        if (bar && windowMenu->Parent() == mainMenu->Items() && pos >= 0) {
          int barPos = 0;
          for (int i = 0; i < pos; ++i)
            if ((*mainMenu->Items())[i]->Visible) ++barPos;
          windowHandle = GetSubMenu(bar, barPos);
        }
      }
      if (IsMDIParentOf(Form) && Form->MDIChildCount() > 0 && windowMenu && opened && opened == windowHandle) {
        windowMenu->InitiateAction();
        // The entries Windows adds for the children and the separators without an item go,
        // and so do the entries of list items freed just now; the form's own items (they
        // carry their item in the data) stay.
        for (int i = GetMenuItemCount(opened) - 1; i >= 0; --i) {
          MENUITEMINFOW info{};
          info.cbSize = sizeof info;
          info.fMask = MIIM_STATE | MIIM_DATA | MIIM_FTYPE;
          if (!GetMenuItemInfoW(opened, static_cast<UINT>(i), TRUE, &info)) continue;
          const bool ours = LiveMenuItem(static_cast<LPARAM>(info.dwItemData)) != nullptr;
          if (!ours && ((info.fType & MFT_SEPARATOR) || !MenuString(opened, static_cast<UINT>(i), MF_BYPOSITION).empty()))
            RemoveMenu(opened, static_cast<UINT>(i), MF_BYPOSITION);
        }
        if (windowMenu->Count() == 0 || !(*windowMenu)[windowMenu->Count() - 1]->IsLine()) {
          auto* line = new TMenuItem(Form);
          line->Caption = L"-";
          line->Tag = kWindowListTag;  // the list's own: gone with it
          windowMenu->Add(line);
          mainMenu->AppendToBuilt(opened, line);
        }
        TForm* active = Form->ActiveMDIChild();
        for (int i = 0, n = Form->MDIChildCount(); i < n; ++i) {
          TForm* child = Form->MDIChildren(i);
          if (!child || !child->Visible()) continue;
          auto* item = new TMenuItem(Form);
          item->Caption = child->Caption();
          item->Tag = i | kWindowListTag;
          item->Checked = child == active;
          item->OnClick = [this, item] { WindowItemClick(item); };
          windowMenu->Add(item);
          // The menu opening now shows the list without being built again.
          mainMenu->AppendToBuilt(opened, item);
        }
        Message.Result = 0;
        return;
      }
      CallOld(Message);
      return;
    }
    default: CallOld(Message); return;
  }
}
