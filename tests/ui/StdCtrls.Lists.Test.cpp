// Memos, list boxes and the grid type over their real windows.
#include <gtest/gtest.h>

#include "platform/ui/Forms.h"
#include "platform/ui/Grids.h"
#include "platform/ui/Properties.h"
#include "platform/ui/StdCtrls.h"
#include "skin/graphics/acntUtils.h"

TEST(StdCtrlsLists, MemoIsAMultiLineEdit) {
  Application().Initialize();
  TForm form(nullptr);
  auto* memo = new TMemo(&form);
  memo->SetParent(&form);
  memo->SetText(L"one\r\ntwo");
  const LONG style = GetWindowLongW(memo->Handle(), GWL_STYLE);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_FALSE(style & ES_AUTOHSCROLL);
  EXPECT_EQ(SendMessageW(memo->Handle(), EM_GETLINECOUNT, 0, 0), 2);
  EXPECT_NE(dynamic_cast<TCustomEdit*>(memo), nullptr);
}

// Items added before the window exists are in it once it does; later ones go straight in.
TEST(StdCtrlsLists, ListBoxItemsBeforeAndAfterItsWindow) {
  Application().Initialize();
  TForm form(nullptr);
  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->Items().Add(L"first");
  list->Items().Add(L"second");
  EXPECT_EQ(list->Items().Count(), 2);
  EXPECT_FALSE(list->HandleAllocated());
  HWND wnd = list->Handle();
  EXPECT_EQ(SendMessageW(wnd, LB_GETCOUNT, 0, 0), 2);
  list->Items().Add(L"third");
  EXPECT_EQ(list->Items().Count(), 3);
  EXPECT_EQ(list->Items()[2], L"third");
  EXPECT_EQ(list->Items()[7], L"");
  list->Items().Clear();
  EXPECT_EQ(SendMessageW(wnd, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(list->Color(), clWindow);
}

// The fixed-cell look of a grid is reached by name, as the skin reaches it.
TEST(StdCtrlsLists, GridLookByName) {
  TCustomGrid grid(nullptr);
  ASSERT_TRUE(HasProperty(&grid, L"DrawingStyle"));
  SetOrdProperty(&grid, L"DrawingStyle", gdsGradient);
  SetOrdProperty(&grid, L"GradientStartColor", 0x102030);
  SetOrdProperty(&grid, L"GradientEndColor", 0x405060);
  EXPECT_EQ(grid.DrawingStyle, gdsGradient);
  EXPECT_EQ(GetOrdProperty(&grid, L"GradientStartColor"), 0x102030);
  EXPECT_EQ(grid.GradientEndColor, 0x405060);
}
