// Menus: item trees, the system menu built from them, the live-item lookup, and owner-drawn
// popup menus whose items measure and draw themselves through the popup-list window.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "support/MessagePump.h"

namespace {

TMenuItem* NewItem(TComponent* owner, const wchar_t* caption) {
  auto* item = new TMenuItem(owner);
  item->Caption = caption;
  return item;
}

TEST(MenuItems, TreeParentsAndMenus) {
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);
  TMenuItem* a = NewItem(&owner, L"A");
  TMenuItem* b = NewItem(&owner, L"B");
  TMenuItem* sub = NewItem(&owner, L"Sub");
  menu->Items()->Add(a);
  menu->Items()->Add(b);
  a->Add(sub);
  EXPECT_EQ(sub->Parent(), a);
  EXPECT_EQ(sub->GetParentMenu(), menu);
  EXPECT_EQ(b->MenuIndex(), 1);
  b->Add(sub);  // moves
  EXPECT_EQ(a->Count(), 0);
  EXPECT_EQ(sub->Parent(), b);
  menu->Items()->Insert(0, b);
  EXPECT_EQ((*menu->Items())[0], b);
  // A freed item leaves its parent and is no longer found alive.
  EXPECT_EQ(LiveMenuItem(reinterpret_cast<LPARAM>(sub)), sub);
  TComponent::Free(sub);
  EXPECT_EQ(b->Count(), 0);
  EXPECT_EQ(LiveMenuItem(reinterpret_cast<LPARAM>(sub)), nullptr);
  EXPECT_EQ(LiveMenuItem(0), nullptr);
}

TEST(MenuItems, SystemMenuCarriesTheItemsProperties) {
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);
  const struct {
    const wchar_t* Caption;
    TMenuBreak Break;
    bool Checked, Radio, Default, Visible;
    UINT Type, State;
  } rows[] = {
      {L"Plain", mbNone, false, false, false, true, MFT_STRING, 0},
      {L"Column", mbBreak, false, false, false, true, MFT_MENUBREAK, 0},
      {L"Bar", mbBarBreak, false, false, false, true, MFT_MENUBARBREAK, 0},
      {L"Checked", mbNone, true, false, false, true, MFT_STRING, MFS_CHECKED},
      {L"Radio", mbNone, true, true, false, true, MFT_RADIOCHECK, MFS_CHECKED},
      {L"Default", mbNone, false, false, true, true, MFT_STRING, MFS_DEFAULT},
      {L"Hidden", mbNone, false, false, false, false, 0, 0},
  };
  for (const auto& row : rows) {
    TMenuItem* item = NewItem(&owner, row.Caption);
    item->Break = row.Break;
    item->Checked = row.Checked;
    item->RadioItem = row.Radio;
    item->Default = row.Default;
    item->Visible = row.Visible;
    menu->Items()->Add(item);
  }
  for (bool ownerDraw : {false, true}) {
    menu->SetOwnerDraw(ownerDraw);
    HMENU h = menu->Handle();
    ASSERT_EQ(GetMenuItemCount(h), 6);  // the hidden one is left out
    for (int i = 0; i < 6; ++i) {
      MENUITEMINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_DATA;
      ASSERT_TRUE(GetMenuItemInfoW(h, i, TRUE, &info));
      EXPECT_EQ(info.fType & (MFT_MENUBREAK | MFT_MENUBARBREAK | MFT_RADIOCHECK), rows[i].Type) << i;
      EXPECT_EQ(info.fState & (MFS_CHECKED | MFS_DEFAULT), rows[i].State) << i;
      EXPECT_EQ((info.fType & MFT_OWNERDRAW) != 0, ownerDraw) << i;
      EXPECT_EQ(reinterpret_cast<TMenuItem*>(info.dwItemData), (*menu->Items())[i]) << i;
    }
  }
}

// Closes the open menu on the next tick of the menu loop, after Probe looked at its window.
std::function<void(HWND)> gProbe;
void CALLBACK CloseMenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND wnd = FindWindowW(L"#32768", nullptr);
  if (!wnd || !IsWindowVisible(wnd)) return;
  KillTimer(nullptr, id);
  if (gProbe) gProbe(wnd);
  EndMenu();
}

TEST(OwnerDrawnMenus, ItemsMeasureAndDrawThemselvesInAnOpenPopup) {
  Application().Initialize();
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);
  menu->SetOwnerDraw(true);
  TMenuItem* first = NewItem(&owner, L"First");
  TMenuItem* line = NewItem(&owner, L"-");
  TMenuItem* sub = NewItem(&owner, L"Sub");
  sub->Add(NewItem(&owner, L"Inner"));
  for (TMenuItem* item : {first, line, sub}) menu->Items()->Add(item);
  std::vector<TMenuItem*> measured, drawn;
  HMENU tracked = nullptr;
  for (TMenuItem* item : {first, line, sub}) {
    item->OnMeasureItem.Set([&](TMenuItem* s, TCanvas*, int& w, int& h) {
      measured.push_back(s);
      if (!tracked) tracked = menu->Handle();
      w = 150;
      h = s->IsLine() ? 4 : 24;
    });
    item->OnAdvancedDrawItem.Set([&](TMenuItem* s, TCanvas* c, const TRect& r, TOwnerDrawState) {
      drawn.push_back(s);
      c->Brush.Color = s->IsLine() ? TColor(0x00FF00) : TColor(0x0000FF);
      c->FillRect(r);
    });
  }
  RECT client{};
  COLORREF itemPixel = 0;
  bool sameMenu = false;
  gProbe = [&](HWND wnd) {
    // A change while the menu is open waits: the open menu is not built again.
    first->MenuChanged(true);
    sameMenu = menu->Handle() == tracked && IsMenu(tracked);
    GetClientRect(wnd, &client);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(wnd);
    itemPixel = GetPixel(dc, client.right / 2, client.top + 12);
    ReleaseDC(wnd, dc);
  };
  SetTimer(nullptr, 0, 100, CloseMenuTimer);
  menu->Popup(30, 30, PopupListWindow());
  gProbe = nullptr;
  EXPECT_NE(std::find(measured.begin(), measured.end(), line), measured.end());
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), first), drawn.end());
  EXPECT_GE(client.right - client.left, 150);
  EXPECT_GE(client.bottom - client.top, 24 + 4 + 24);
  EXPECT_EQ(itemPixel, RGB(0xFF, 0, 0));
  EXPECT_TRUE(sameMenu);
}

TEST(OwnerDrawnMenus, ScreenMenuFontIsTheSystems) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  EXPECT_EQ(Screen().MenuFont().Name.Get(), std::wstring(metrics.lfMenuFont.lfFaceName));
  EXPECT_EQ(Screen().MenuFont().Height.Get(), static_cast<int>(metrics.lfMenuFont.lfHeight));
}

TEST(OwnerDrawnMenus, WithoutEventsItemsDrawThemselvesPlainly) {
  Application().Initialize();
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);
  menu->SetOwnerDraw(true);
  menu->Items()->Add(NewItem(&owner, L"Plain item"));
  RECT client{};
  gProbe = [&](HWND wnd) { GetClientRect(wnd, &client); };
  SetTimer(nullptr, 0, 100, CloseMenuTimer);
  menu->Popup(30, 30, nullptr);
  gProbe = nullptr;
  EXPECT_GT(client.right - client.left, 40);
  EXPECT_GE(client.bottom - client.top, GetSystemMetrics(SM_CYMENU) - 2);
}

}  // namespace

// ---- shortcuts, item extras and the form's menu bar ------------------------------------

TEST(MenuShortCuts, TextsAndKeysBothWays) {
  struct {
    const wchar_t* Text;
    TShortCut Key;
    const wchar_t* Back;  // the text the key shows
  } rows[] = {
      {L"Ctrl+K", TShortCut(scCtrl | 'K'), L"Ctrl+K"},
      {L"ctrl+k", TShortCut(scCtrl | 'K'), L"Ctrl+K"},
      {L"Alt+F4", TShortCut(scAlt | VK_F4), L"Alt+F4"},
      {L"Shift+Ctrl+Del", TShortCut(scShift | scCtrl | VK_DELETE), L"Shift+Ctrl+Del"},
      {L"Delete", TShortCut(VK_DELETE), L"Del"},
      {L"F12", TShortCut(VK_F12), L"F12"},
      {L"Ctrl+", 0, L""},
      {L"F25", 0, L""},
      {L"Ctrl+Nothing", 0, L""},
      {L"", 0, L""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(TextToShortCut(row.Text), row.Key) << row.Text;
    EXPECT_EQ(ShortCutToText(row.Key), row.Back) << row.Text;
  }
}

TEST(MenuItems, ShortCutShowsAfterATabAndDeleteTakesAnItemOut) {
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);
  TMenuItem* a = NewItem(&owner, L"A");
  TMenuItem* b = NewItem(&owner, L"B");
  a->ShortCut = TextToShortCut(L"Ctrl+K");
  menu->Items()->Add(a);
  menu->Items()->Add(b);
  int changes = 0;
  menu->OnChange = [&](TMenu*) { ++changes; };
  wchar_t text[64] = {};
  GetMenuStringW(menu->Handle(), 0, text, 63, MF_BYPOSITION);
  EXPECT_STREQ(text, L"A\tCtrl+K");
  menu->Items()->Delete(0);
  EXPECT_GT(changes, 0);
  ASSERT_EQ(menu->Items()->Count(), 1);
  EXPECT_EQ((*menu->Items())[0], b);
  EXPECT_EQ(a->Parent(), nullptr);
  EXPECT_EQ(LiveMenuItem(reinterpret_cast<LPARAM>(a)), a);  // taken out, not freed
  menu->Items()->Delete(5);  // out of range: nothing
  EXPECT_EQ(menu->Items()->Count(), 1);
}

TEST(MenuItems, InitiateActionUpdatesTheActionsBelow) {
  TComponent owner(nullptr);
  auto* list = new TActionList(&owner);
  auto* action = new TAction(&owner);
  action->SetActionList(list);
  int updates = 0;
  list->OnUpdate = [&](TAction* a, bool& handled) {
    ++updates;
    a->Enabled = false;
    handled = true;
  };
  TMenuItem* top = NewItem(&owner, L"Top");
  TMenuItem* child = NewItem(&owner, L"");
  child->Action = action;
  top->Add(child);
  top->InitiateAction();
  EXPECT_EQ(updates, 1);
  EXPECT_FALSE(child->DisplayEnabled());
}

namespace {
class TMenuForm : public TForm {
public:
  explicit TMenuForm(TComponent* owner) : TForm(owner) {
    SetClientSize(300, 200);
    Bar = new TMainMenu(this);
    File = NewItem(this, L"&File");
    Open = NewItem(this, L"&Open");
    File->Add(Open);
    Bar->Items()->Add(File);
    SetMenu(Bar);
  }
  void WndProc(TMessage& message) override {
    if (message.Msg == CM_MENUCHANGED) ++MenuChanges;
    TForm::WndProc(message);
  }
  TMainMenu* Bar;
  TMenuItem* File;
  TMenuItem* Open;
  int MenuChanges = 0;
};
}  // namespace

TEST(FormMenu, TheBarFollowsItsItemsAndACommandRunsItsItem) {
  Application().Initialize();
  auto* form = CreateComponent<TMenuForm>(nullptr);
  form->Show();
  HWND wnd = form->Handle();
  ASSERT_NE(GetMenu(wnd), nullptr);
  EXPECT_EQ(GetMenuItemCount(GetMenu(wnd)), 1);
  // The client area keeps its size with the bar above it.
  RECT r{};
  GetClientRect(wnd, &r);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 200);
  // A new top item rebuilds the bar of the window and tells the form.
  const int before = form->MenuChanges;
  TMenuItem* help = NewItem(form, L"&Help");
  form->Bar->Items()->Add(help);
  EXPECT_EQ(GetMenuItemCount(GetMenu(wnd)), 2);
  EXPECT_GT(form->MenuChanges, before);
  // A command of the bar runs the item it stands for.
  int clicks = 0;
  form->Open->OnClick = [&] { ++clicks; };
  const UINT id = GetMenuItemID(GetSubMenu(GetMenu(wnd), 0), 0);
  SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  EXPECT_EQ(clicks, 1);
  // The menu freed before the form leaves the window without a bar.
  TComponent::Free(form->Bar);
  EXPECT_EQ(form->Menu(), nullptr);
  EXPECT_EQ(GetMenu(wnd), nullptr);
  TComponent::Free(form);
  PumpMessages();
}

TEST(FormMenu, ChangesDuringAMenuLoopWaitForItsEnd) {
  Application().Initialize();
  auto* form = CreateComponent<TMenuForm>(nullptr);
  form->Show();
  HWND wnd = form->Handle();
  HMENU open = GetMenu(wnd);
  SendMessageW(wnd, WM_ENTERMENULOOP, 0, 0);
  TMenuItem* extra = NewItem(form, L"Extra");
  form->File->Add(extra);
  // The open bar keeps its menus; an item can still be shown in the part that opens.
  EXPECT_EQ(GetMenu(wnd), open);
  HMENU sub = GetSubMenu(open, 0);
  form->Bar->AppendToBuilt(sub, extra);
  EXPECT_EQ(GetMenuItemCount(sub), 2);
  int clicks = 0;
  extra->OnClick = [&] { ++clicks; };
  SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(GetMenuItemID(sub, 1), 0), 0);
  EXPECT_EQ(clicks, 1);
  SendMessageW(wnd, WM_EXITMENULOOP, 0, 0);
  EXPECT_NE(GetMenu(wnd), open);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(GetMenu(wnd), 0)), 2);
  TComponent::Free(form);
  PumpMessages();
}
