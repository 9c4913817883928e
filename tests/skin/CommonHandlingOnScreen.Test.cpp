// The common handling with real windows under the mouse: hover flags and state colours as
// the cursor enters and leaves, and the device contexts given back on every leave.
#include <gtest/gtest.h>

#include "CommonHandlingFixtures.h"
#include "support/ShellHarness.h"
#include "ui/GdiCounter.h"

namespace {

constexpr int kLeft = 100, kTop = 100;

struct TMouseStage {
  TTestSkin Skin{L"EDIT", L"BUTTON", L"PANEL"};
  TSkinForm* Form;
  TMouseStage() {
    for (auto& section : Skin.Data().gd) {
      section.Props[0].Color = 0x202020;
      section.Props[1].Color = 0x404040;
      section.Props[0].FontColor.Color = 0x010101;
      section.Props[1].FontColor.Color = 0x020202;
    }
    Application().Initialize();
    Form = CreateComponent<TSkinForm>(nullptr);
    Form->SetBorderStyle(bsNone);
    Form->SetClientSize(400, 200);
  }
  void Show() {
    Form->Show();
    SetWindowPos(Form->Handle(), HWND_TOPMOST, kLeft, kTop, 0, 0, SWP_NOSIZE);
    SetForegroundWindow(Form->Handle());
    Park();
  }
  // The cursor far from the form, and the messages of the way there handled.
  void Park() {
    SetCursorPos(900, 900);
    WaitUntil([] { return false; }, 200);
  }
  void MoveTo(int x, int y) {
    SetCursorPos(kLeft + x, kTop + y);
    WaitUntil([] { return false; }, 150);
  }
  ~TMouseStage() { TComponent::Free(Form); }
};

}  // namespace

TEST(CommonHandlingOnScreen, MouseEnterAndLeave) {
  TMouseStage stage;
  auto* button = new TCommonWin(stage.Form, stage.Form, COC_TsCustom, L"BUTTON");
  button->SetBounds(10, 10, 100, 100);
  auto* inner = new TSkinWin(stage.Form, false, button);
  inner->SetBounds(50, 50, 40, 40);
  auto* edit = new TCommonWin(stage.Form, stage.Form, COC_TsEdit, L"EDIT");
  edit->SetBounds(150, 10, 100, 100);
  auto* panel = new TCommonWin(stage.Form, stage.Form, COC_TsPanel, L"PANEL");
  panel->SetBounds(280, 10, 100, 100);
  stage.Show();
  for (TWinControl* c : {static_cast<TWinControl*>(button), static_cast<TWinControl*>(edit),
                         static_cast<TWinControl*>(panel)})
    c->Handle();
  inner->Handle();

  TGdiCounter gdi;
  const long balance = gdi.Balance();

  // Enter: the flag, and the hot state for a kind that has one.
  stage.MoveTo(30, 30);
  EXPECT_TRUE(WaitUntil([&] { return button->State->FMouseAbove; }, 5000));
  EXPECT_EQ(IsHot(button->State.get()), 1);
  // Onto a child window of the owner: still above it.
  stage.MoveTo(75, 75);
  EXPECT_TRUE(button->State->FMouseAbove);
  // A real leave clears it (from the owner itself: the child's window has the mouse tracked
  // for it while the cursor is over it).
  stage.MoveTo(30, 30);
  stage.MoveTo(130, 150);
  EXPECT_TRUE(WaitUntil([&] { return !button->State->FMouseAbove; }, 5000));

  // An edit keeps its colours on enter and is hot only by its focus; leaving writes state 0's.
  edit->SetColor(0x777777);
  stage.MoveTo(200, 50);
  EXPECT_TRUE(WaitUntil([&] { return edit->State->FMouseAbove; }, 5000));
  EXPECT_EQ(edit->Color(), 0x777777);
  EXPECT_EQ(IsHot(edit->State.get()), 0);
  stage.MoveTo(200, 150);
  EXPECT_TRUE(WaitUntil([&] { return !edit->State->FMouseAbove; }, 5000));
  EXPECT_EQ(edit->Color(), 0x202020);

  // A kind without hover never gets the flag.
  stage.MoveTo(330, 50);
  WaitUntil([] { return false; }, 300);
  EXPECT_FALSE(panel->State->FMouseAbove);
  stage.MoveTo(330, 150);

  // Every device context taken on the way was given back.
  EXPECT_EQ(gdi.Balance(), balance);

  // Without hover: the enter only records the mouse, and the leave does nothing.
  stage.Skin.Manager->Options.NoMouseHover = true;
  edit->SetColor(0x777777);
  stage.MoveTo(200, 50);
  EXPECT_TRUE(WaitUntil([&] { return edit->State->FMouseAbove; }, 5000));
  stage.MoveTo(200, 150);
  WaitUntil([] { return false; }, 300);
  EXPECT_TRUE(edit->State->FMouseAbove);
  EXPECT_EQ(edit->Color(), 0x777777);
  stage.Skin.Manager->Options.NoMouseHover = false;
  stage.Park();
}
