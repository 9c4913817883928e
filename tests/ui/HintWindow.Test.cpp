// The framework hint window, the application's active form and screen-to-client points.
#include <gtest/gtest.h>

#include "platform/ui/Forms.h"
#include "platform/ui/HintWindow.h"
#include "support/ShellHarness.h"

namespace {

class TSpot : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;
};

TEST(HintWindow, CalcHintRectWrapsLongTextWithinTheMaximumWidth) {
  Application().Initialize();
  THintWindow hint(nullptr);
  const TRect one = hint.CalcHintRect(800, L"Short");
  const TRect wrapped = hint.CalcHintRect(120, L"A longer hint text that cannot stay on one line of this width");
  EXPECT_EQ(one.Left, 0);
  EXPECT_EQ(one.Top, 0);
  EXPECT_GT(one.Width(), 0);
  EXPECT_LE(wrapped.Width(), 120 + 8);
  EXPECT_GT(wrapped.Height(), 2 * one.Height() - 8);
  EXPECT_EQ(hint.Color(), clInfoBk);
}

TEST(HintWindow, ActivateHintShowsTopmostWithoutTakingTheActivation) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetClientSize(200, 100);
  form->Show();
  SetForegroundWindow(form->Handle());
  Application().ProcessMessages();
  ASSERT_EQ(Application().ActiveForm(), form);

  auto* hint = Application().HintWindowClass(nullptr);
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->ClassName(), L"THintWindow");
  hint->ActivateHint(Bounds(300, 200, 120, 30), L"Hint");
  Application().ProcessMessages();
  RECT r{};
  GetWindowRect(hint->Handle(), &r);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 200);
  EXPECT_EQ(r.right - r.left, 120);
  EXPECT_TRUE(IsWindowVisible(hint->Handle()));
  EXPECT_TRUE(GetWindowLongPtrW(hint->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetActiveWindow(), form->Handle());
  EXPECT_EQ(Application().ActiveForm(), form);
  EXPECT_EQ(hint->Caption(), L"Hint");
  TComponent::Free(hint);
  TComponent::Free(form);
}

TEST(ScreenToClient, WindowedAndGraphicControlsAnswerInTheirOwnCoordinates) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(200, 100);
  auto* panel = new TWinControl(form);
  panel->SetBounds(10, 20, 50, 50);
  panel->SetParent(form);
  auto* spot = new TSpot(form);
  spot->SetBounds(5, 6, 10, 10);
  spot->SetParent(panel);
  form->Show();
  SetWindowPos(form->Handle(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(form->ScreenToClient(Point(301, 202)), Point(1, 2));
  EXPECT_EQ(panel->ScreenToClient(Point(311, 222)), Point(1, 2));
  EXPECT_EQ(spot->ScreenToClient(Point(316, 228)), Point(1, 2));
  TComponent::Free(form);
}

}  // namespace
