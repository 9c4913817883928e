// The mouse notifications name the control they are about, and whether a control can take
// the focus.
#include <gtest/gtest.h>

#include <vector>

#include "platform/ui/Forms.h"
#include "support/ShellHarness.h"

namespace {

struct TMark : TGraphicControl {
  using TGraphicControl::TGraphicControl;
};

// Records (message, LParam) of the mouse notifications a control receives.
void Record(TControl* control, std::vector<std::pair<UINT, LPARAM>>& seen) {
  for (UINT msg : {CM_MOUSEENTER, CM_MOUSELEAVE})
    control->SetMessageHandler(msg, [&seen, msg](TMessage& m, const TInheritedHandler& inherited) {
      seen.emplace_back(msg, m.LParam);
      inherited(m);
    });
}

}  // namespace

TEST(MouseNotifications, EnterAndLeaveCarryTheControl) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(300, 200);
  auto* win = new TWinControl(form);
  win->SetBounds(10, 10, 100, 100);
  win->SetParent(form);
  auto* mark = new TMark(form);
  mark->SetBounds(150, 10, 100, 100);
  mark->SetParent(form);
  std::vector<std::pair<UINT, LPARAM>> onWin, onMark;
  Record(win, onWin);
  Record(mark, onMark);
  form->Show();
  SetWindowPos(form->Handle(), HWND_TOPMOST, 100, 100, 0, 0, SWP_NOSIZE);
  SetForegroundWindow(form->Handle());
  WaitUntil([] { return false; }, 200);

  SetCursorPos(160, 160);
  ASSERT_TRUE(WaitUntil([&] { return !onWin.empty(); }, 5000));
  SetCursorPos(300, 160);
  ASSERT_TRUE(WaitUntil([&] { return onWin.size() == 2 && onMark.size() == 1; }, 5000));
  SetCursorPos(300, 250);
  ASSERT_TRUE(WaitUntil([&] { return onMark.size() == 2; }, 5000));
  const auto w = reinterpret_cast<LPARAM>(static_cast<TControl*>(win));
  const auto g = reinterpret_cast<LPARAM>(static_cast<TControl*>(mark));
  EXPECT_EQ(onWin, (std::vector<std::pair<UINT, LPARAM>>{{CM_MOUSEENTER, w}, {CM_MOUSELEAVE, w}}));
  EXPECT_EQ(onMark, (std::vector<std::pair<UINT, LPARAM>>{{CM_MOUSEENTER, g}, {CM_MOUSELEAVE, g}}));
  SetCursorPos(900, 900);
  TComponent::Free(form);
}

TEST(MouseNotifications, CanFocusNeedsTheWholeChainVisibleAndEnabled) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  auto* panel = new TWinControl(form);
  panel->SetParent(form);
  auto* inner = new TWinControl(form);
  inner->SetParent(panel);
  form->Show();
  struct TCase {
    bool InnerVisible, InnerEnabled, PanelVisible, PanelEnabled, CanFocus;
  };
  for (const TCase& c : {TCase{true, true, true, true, true}, TCase{false, true, true, true, false},
                         TCase{true, false, true, true, false}, TCase{true, true, false, true, false},
                         TCase{true, true, true, false, false}}) {
    inner->SetVisible(c.InnerVisible);
    inner->SetEnabled(c.InnerEnabled);
    panel->SetVisible(c.PanelVisible);
    panel->SetEnabled(c.PanelEnabled);
    EXPECT_EQ(inner->CanFocus(), c.CanFocus)
        << c.InnerVisible << c.InnerEnabled << c.PanelVisible << c.PanelEnabled;
  }
  panel->SetVisible(true);
  panel->SetEnabled(true);
  form->Hide();  // the form is part of the chain
  EXPECT_FALSE(inner->CanFocus());
  TComponent::Free(form);
}
