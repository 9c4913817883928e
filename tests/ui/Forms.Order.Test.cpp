#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"

namespace {
// The child windows of a window, top of the Z order first.
std::vector<HWND> ZOrder(HWND parent) {
  std::vector<HWND> windows;
  for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) windows.push_back(w);
  return windows;
}
}  // namespace

TEST(Forms, SetChildOrderMovesAChildInTheListAndInTheZOrder) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetBounds(10, 10, 300, 200);
  std::vector<TPanel*> panels;
  for (int i = 0; i < 4; ++i) {
    panels.push_back(new TPanel(form));
    panels.back()->SetParent(form);
    panels.back()->SetBounds(10 * i, 10 * i, 100, 100);
  }
  form->Handle();
  auto handles = [&] {
    std::vector<HWND> h;
    for (TPanel* p : panels) h.push_back(p->Handle());
    return h;
  };
  const std::vector<HWND> h = handles();

  struct TCase {
    int Child, Order;
    std::vector<int> List;  // indexes into panels, the list order afterwards
  };
  const TCase cases[] = {
      {0, 2, {1, 2, 0, 3}},   // just after the second child: above it, below the last
      {3, 0, {3, 1, 2, 0}},   // to the bottom
      {1, 99, {3, 2, 0, 1}},  // beyond the end: the top
      {2, -4, {2, 3, 0, 1}},  // below the start: the bottom
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "child " << c.Child << " to " << c.Order);
    form->SetChildOrder(panels[c.Child], c.Order);
    std::vector<TControl*> list;
    for (int i : c.List) list.push_back(panels[i]);
    EXPECT_EQ(form->Controls(), list);
    // The moved window lies directly below the window of the child after it in the list,
    // or on top when it is the last.
    const auto at = std::find(c.List.begin(), c.List.end(), c.Child);
    const HWND moved = h[c.Child];
    if (at + 1 == c.List.end())
      EXPECT_EQ(ZOrder(form->Handle()).front(), moved);
    else
      EXPECT_EQ(GetWindow(moved, GW_HWNDPREV), h[*(at + 1)]);
  }
  // Not a child: nothing changes.
  TPanel stranger(nullptr);
  form->SetChildOrder(&stranger, 0);
  EXPECT_EQ(form->ControlCount(), 4);
  TComponent::Free(form);
}

TEST(Forms, ModalFlagStayOnTopAndTheTerminatedSeam) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  EXPECT_FALSE(form->Modal());
  form->SetModal(true);
  EXPECT_TRUE(form->Modal());
  form->SetFormStyle(fsStayOnTop);
  EXPECT_TRUE(GetWindowLongW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  TComponent::Free(form);

  // The flag alone: no quit message waits afterwards.
  ASSERT_FALSE(Application().Terminated());
  Application().SetTerminated(true);
  EXPECT_TRUE(Application().Terminated());
  Application().SetTerminated(false);
  EXPECT_FALSE(Application().Terminated());
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}
