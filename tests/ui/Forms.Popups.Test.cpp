// What a popup needs of forms and controls: the notifications derived from key presses,
// button presses and focus changes, the close and deactivation events, CloseQuery and the
// application's active state. Real windows; the messages go through the system's entry.
#include <gtest/gtest.h>
#include "platform/ui/Forms.h"
#include "support/ShellHarness.h"
#include "support/MessagePump.h"
#include <vector>

namespace {

struct TSeen {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
};

// Records the given messages reaching a control's WindowProc, optionally answering them.
class TRecorder {
public:
  TRecorder(TControl* control, std::vector<UINT> messages) : FControl(control), FMessages(std::move(messages)) {
    HookWindowProc(control, MakeWndMethod<&TRecorder::Hook>(this), &FSaved);
  }
  ~TRecorder() { UnhookWindowProc(FControl, MakeWndMethod<&TRecorder::Hook>(this)); }
  std::vector<TSeen> Seen;
  UINT Answer = 0;  // a message answered 1 here and not passed on
  int Count(UINT msg) const {
    int n = 0;
    for (const TSeen& s : Seen) n += s.Msg == msg;
    return n;
  }

private:
  void Hook(TMessage& m) {
    for (UINT msg : FMessages)
      if (m.Msg == msg) Seen.push_back({m.Msg, m.WParam, m.LParam});
    if (Answer && m.Msg == Answer) {
      m.Result = 1;
      return;
    }
    FSaved(m);
  }
  TControl* FControl;
  std::vector<UINT> FMessages;
  TWndMethod FSaved;
};

struct TTestForm : TForm {
  using TForm::TForm;
  bool Allow = true;
  int Queries = 0;

protected:
  void FormCloseQuery(bool& canClose) override {
    ++Queries;
    canClose = Allow;
  }
};

TTestForm* MakeForm() {
  Application().Initialize();
  auto* form = new TTestForm(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(300, 200);
  return form;
}

// A plain windowed control: it takes the focus like any window.
TWinControl* MakeEdit(TForm* form, int left) {
  auto* edit = new TWinControl(form);
  edit->SetBounds(left, 10, 100, 24);
  edit->SetParent(form);
  return edit;
}

}  // namespace

// Keys pressed and released, plain and with Alt, reach the control first as notifications.
TEST(FormsPopups, KeysReachTheControlFirstAsNotifications) {
  auto* form = MakeForm();
  auto* edit = MakeEdit(form, 10);
  form->Show();
  const struct {
    UINT Key, Notification;
  } cases[] = {
      {WM_KEYDOWN, CN_KEYDOWN}, {WM_KEYUP, CN_KEYUP}, {WM_SYSKEYDOWN, CN_SYSKEYDOWN}, {WM_SYSKEYUP, CN_SYSKEYUP}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Key);
    TRecorder rec(edit, {c.Notification, c.Key});
    SendMessageW(edit->Handle(), c.Key, VK_ESCAPE, 1);
    ASSERT_EQ(rec.Seen.size(), 2u);
    EXPECT_EQ(rec.Seen[0].Msg, c.Notification);
    EXPECT_EQ(rec.Seen[0].WParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(rec.Seen[1].Msg, c.Key);
    // An answer to the notification ends the key there.
    rec.Seen.clear();
    rec.Answer = c.Notification;
    SendMessageW(edit->Handle(), c.Key, VK_ESCAPE, 1);
    ASSERT_EQ(rec.Seen.size(), 1u);
    EXPECT_EQ(rec.Seen[0].Msg, c.Notification);
  }
  TComponent::Free(form);
}

TEST(FormsPopups, PressElsewhereCancelsTheFocusedControlsMode) {
  auto* form = MakeForm();
  auto* first = MakeEdit(form, 10);
  auto* second = MakeEdit(form, 150);
  form->Show();
  SetForegroundWindow(form->Handle());
  SetFocus(first->Handle());
  ASSERT_EQ(GetFocus(), first->Handle());
  TRecorder onFirst(first, {CM_CANCELMODE});
  TRecorder onSecond(second, {CM_CANCELMODE});
  struct TCase {
    HWND Target;
    UINT Msg;
    TControl* Named;  // the control the notification names
  } cases[] = {
      {second->Handle(), WM_LBUTTONDOWN, second},
      {second->Handle(), WM_RBUTTONDOWN, second},
      {form->Handle(), WM_NCLBUTTONDOWN, nullptr},  // on the frame: no control
  };
  for (const TCase& c : cases) {
    onFirst.Seen.clear();
    SendMessageW(c.Target, c.Msg, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(onFirst.Seen.size(), 1u) << std::hex << c.Msg;
    EXPECT_EQ(onFirst.Seen[0].LParam, reinterpret_cast<LPARAM>(c.Named));
    if (GetFocus() != first->Handle()) SetFocus(first->Handle());
  }
  // A press on the focused control itself cancels nothing.
  onFirst.Seen.clear();
  SendMessageW(first->Handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
  SendMessageW(first->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(onFirst.Count(CM_CANCELMODE), 0);
  EXPECT_EQ(onSecond.Count(CM_CANCELMODE), 0);
  TComponent::Free(form);
}

TEST(FormsPopups, FocusChangeIsToldToEveryControlOfTheForm) {
  auto* form = MakeForm();
  auto* first = MakeEdit(form, 10);
  auto* second = MakeEdit(form, 150);
  form->Show();
  SetForegroundWindow(form->Handle());
  SetFocus(first->Handle());
  TRecorder onForm(form, {CM_FOCUSCHANGED});
  TRecorder onFirst(first, {CM_FOCUSCHANGED});
  TRecorder onSecond(second, {CM_FOCUSCHANGED});
  SetFocus(second->Handle());
  for (TRecorder* rec : {&onForm, &onFirst, &onSecond}) {
    ASSERT_EQ(rec->Seen.size(), 1u);
    EXPECT_EQ(rec->Seen[0].LParam, reinterpret_cast<LPARAM>(second));
  }
  TComponent::Free(form);
}

TEST(FormsPopups, CloseAsksCloseQueryThenOnCloseWithItsAction) {
  auto* form = MakeForm();
  form->Show();
  int closes = 0;
  TCloseAction answer = TCloseAction::caHide;
  form->OnClose = [&](TForm* sender, TCloseAction& action) {
    EXPECT_EQ(sender, form);
    EXPECT_EQ(action, TCloseAction::caHide);
    ++closes;
    action = answer;
  };
  form->Allow = false;
  EXPECT_FALSE(form->CloseQuery());
  form->Close();
  EXPECT_EQ(closes, 0);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  form->Allow = true;
  answer = TCloseAction::caNone;
  form->Close();
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  answer = TCloseAction::caHide;
  form->Close();
  EXPECT_EQ(closes, 2);
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  TComponent::Free(form);
}

TEST(FormsPopups, DeactivationAndTheApplicationsActiveState) {
  auto* first = MakeForm();
  auto* second = MakeForm();
  SetWindowPos(second->Handle(), nullptr, 400, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  int deactivated = 0;
  first->OnDeactivate = [&](TForm* sender) {
    EXPECT_EQ(sender, first);
    ++deactivated;
  };
  first->Show();
  SetForegroundWindow(first->Handle());
  PumpMessagesFor(50);
  ASSERT_EQ(GetActiveWindow(), first->Handle());
  second->Show();
  SetForegroundWindow(second->Handle());
  PumpMessagesFor(50);
  EXPECT_EQ(deactivated, 1);

  EXPECT_TRUE(Application().Active());
  SendMessageW(Application().Handle(), WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_FALSE(Application().Active());
  SendMessageW(Application().Handle(), WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_TRUE(Application().Active());
  first->OnDeactivate = nullptr;
  TComponent::Free(second);
  TComponent::Free(first);
}
