// What the skinned caption asks of the application and of controls: the restore event of
// the program's task-bar button, whether hint windows are the plain framework kind, and
// giving a control the keyboard focus, on real windows.
#include <gtest/gtest.h>

#include "platform/ui/Forms.h"
#include "platform/ui/HintWindow.h"
#include "platform/ui/StdCtrls.h"
#include "support/MessagePump.h"

TEST(ApplicationRestore, TheEventRunsOnceTheProgramComesBackFromItsTaskBarButton) {
  Application().Initialize();
  int restores = 0;
  Application().OnRestore = [&] { ++restores; };
  Application().Restore();  // not minimized: nothing to restore
  EXPECT_EQ(restores, 0);
  HWND app = Application().TaskBarWindow();
  ShowWindow(app, SW_MINIMIZE);
  PumpMessagesFor(50);
  ASSERT_TRUE(Application().Minimized());
  Application().Restore();
  EXPECT_EQ(restores, 1);
  // The same through the system's restore command to the application window.
  ShowWindow(app, SW_MINIMIZE);
  PumpMessagesFor(50);
  SendMessageW(app, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_EQ(restores, 2);
  EXPECT_FALSE(Application().Minimized());
  Application().OnRestore = nullptr;
  ShowWindow(app, SW_HIDE);
}

TEST(ApplicationHints, ThePlainHintWindowClassIsKnownAsSuch) {
  Application().Initialize();
  EXPECT_TRUE(Application().ShowHint);
  EXPECT_TRUE(Application().PlainHintWindowClass());
  const auto saved = Application().HintWindowClass;
  Application().HintWindowClass = [](TComponent* owner) -> THintWindow* { return new THintWindow(owner); };
  EXPECT_FALSE(Application().PlainHintWindowClass());  // another maker, even of the same class
  Application().HintWindowClass = NewPlainHintWindow;
  EXPECT_TRUE(Application().PlainHintWindowClass());
  Application().HintWindowClass = saved;
}

TEST(ControlFocus, SetFocusGivesTheFocusOnlyToAControlThatCanTakeIt) {
  Application().Initialize();
  auto* form = CreateComponent<TForm>(nullptr);
  form->SetBounds(40, 40, 240, 160);
  auto* first = NewComponent<TEdit>(form);
  first->SetParent(form);
  first->SetBounds(10, 10, 100, 24);
  auto* second = NewComponent<TEdit>(form);
  second->SetParent(form);
  second->SetBounds(10, 50, 100, 24);
  form->Show();
  PumpMessagesFor(50);
  SetForegroundWindow(form->Handle());
  second->SetFocus();
  EXPECT_EQ(GetFocus(), second->Handle());
  first->SetEnabled(false);
  first->SetFocus();
  EXPECT_EQ(GetFocus(), second->Handle());
  first->SetEnabled(true);
  first->SetFocus();
  EXPECT_EQ(GetFocus(), first->Handle());
  TComponent::Free(form);
}
