// The scroll bar, up-down, list view and tree view over their real windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "platform/ui/ComCtrls.Lists.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Properties.h"
#include "platform/ui/StdCtrls.ScrollBar.h"
#include "skin/graphics/acntUtils.h"

// Range, page and position kept consistent in the control and its window; the window's
// scroll messages come back to the control through its parent.
TEST(ComCtrlsLists, ScrollBarParamsAndScrolling) {
  Application().Initialize();
  TForm form(nullptr);
  auto* bar = new TScrollBar(&form);
  bar->SetParent(&form);
  bar->SetKind(sbVertical);
  EXPECT_TRUE(GetWindowLongW(bar->Handle(), GWL_STYLE) & SBS_VERT);
  bar->SetPageSize(10);
  bar->SetParams(500, 0, 100);
  EXPECT_EQ(bar->Position(), 91);  // the last position that shows a whole page
  bar->SetParams(5, 20, 10);       // a maximum below the minimum becomes the minimum
  EXPECT_EQ(bar->Min(), 20);
  EXPECT_EQ(bar->Max(), 20);
  EXPECT_EQ(bar->Position(), 20);
  bar->SetParams(40, 0, 100);
  SCROLLINFO si{sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(bar->Handle(), SB_CTL, &si);
  EXPECT_EQ(si.nPos, 40);
  EXPECT_EQ(si.nPage, 10u);
  int changes = 0;
  bar->OnChange = [&](TControl*) { ++changes; };
  SendMessageW(form.Handle(), WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(bar->Handle()));
  EXPECT_EQ(bar->Position(), 41);
  bar->LargeChange = 10;
  SendMessageW(form.Handle(), WM_VSCROLL, SB_PAGEUP, reinterpret_cast<LPARAM>(bar->Handle()));
  EXPECT_EQ(bar->Position(), 31);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(GetOrdProperty(static_cast<TControl*>(bar), L"Position"), 31);
}

TEST(ComCtrlsLists, ListAndTreeTakeTheirColours) {
  Application().Initialize();
  TForm form(nullptr);
  auto* list = new TListView(&form);
  list->SetParent(&form);
  list->SetViewStyle(vsReport);
  EXPECT_EQ(GetWindowLongW(list->Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  list->SetViewStyle(vsList);
  EXPECT_EQ(GetWindowLongW(list->Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_LIST);
  EXPECT_EQ(GetOrdProperty(static_cast<TControl*>(list), L"ViewStyle"), static_cast<int>(vsList));
  list->SetColor(0x123456);
  list->Font.Color = 0x010203;
  EXPECT_EQ(SendMessageW(list->Handle(), LVM_GETBKCOLOR, 0, 0), 0x123456);
  EXPECT_EQ(SendMessageW(list->Handle(), LVM_GETTEXTCOLOR, 0, 0), 0x010203);
  auto* tree = new TTreeView(&form);
  tree->SetParent(&form);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tree->Handle(), TVM_GETBKCOLOR, 0, 0)), 0xFFFFFFFFu);  // the system's own colour
  tree->SetColor(0x654321);
  EXPECT_EQ(SendMessageW(tree->Handle(), TVM_GETBKCOLOR, 0, 0), 0x654321);
  tree->SetColor(clWindow);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tree->Handle(), TVM_GETBKCOLOR, 0, 0)), 0xFFFFFFFFu);  // the system's own colour
  EXPECT_NE(tree->AddItem(nullptr, L"Root"), nullptr);
  auto* spin = new TUpDown(&form);
  spin->SetParent(&form);
  spin->SetPosition(42);
  EXPECT_EQ(spin->Position(), 42);
}
