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
