// The framework hint window, the application's active form and screen-to-client points.
#include <gtest/gtest.h>

#include "platform/ui/Forms.h"
#include "platform/ui/HintWindow.h"
#include "support/MessagePump.h"
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

// Pumps messages until Done answers true or about Ms milliseconds have passed.
template <class F>
bool PumpUntil(F&& Done, DWORD Ms = 3000) {
  const DWORD end = GetTickCount() + Ms;
  while (!Done()) {
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    PumpMessages();
    Sleep(5);
  }
  return true;
}

TEST(ApplicationHints, AControlWithAHintShowsItAfterThePauseAndHidesItWhenTheMouseLeaves) {
  Application().Initialize();
  SetCursorPos(1270, 1010);  // the real mouse stays clear of the form
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(200, 100);
  auto* panel = new TWinControl(form);
  panel->SetBounds(10, 20, 50, 50);
  panel->SetParent(form);
  auto* plain = new TWinControl(form);
  plain->SetBounds(100, 20, 50, 50);
  plain->SetParent(form);
  form->Show();
  panel->Hint = L"The panel's hint";
  panel->ShowHint = true;
  const int savedPause = Application().HintPause, savedHide = Application().HintHidePause;
  Application().HintPause = 50;
  Application().HintHidePause = 0;

  THintInfo seen;
  int asked = 0;
  bool allow = true;
  Application().OnShowHint = [&](std::wstring& text, bool& canShow, THintInfo& info) {
    ++asked;
    seen = info;
    canShow = allow;
    text += L"!";
  };
  const struct {
    const char* Name;
    bool Allow;
  } cases[] = {{"shown", true}, {"refused", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    allow = c.Allow;
    asked = 0;
    panel->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(panel));
    EXPECT_EQ(Application().HintControl(), panel);
    ASSERT_TRUE(PumpUntil([&] { return asked > 0; }));
    PumpMessagesFor(50);
    EXPECT_EQ(asked, 1);  // the pause ends once
    EXPECT_EQ(seen.HintControl, panel);
    EXPECT_EQ(seen.HintStr, L"The panel's hint");
    EXPECT_EQ(seen.CursorRect, Rect(0, 0, 50, 50));
    EXPECT_EQ(seen.HideTimeout, 0);
    EXPECT_GT(seen.HintMaxWidth, 0);
    THintWindow* hint = Application().HintWindow();
    if (c.Allow) {
      ASSERT_NE(hint, nullptr);
      EXPECT_TRUE(IsWindowVisible(hint->Handle()));
      EXPECT_EQ(hint->Caption(), L"The panel's hint!");  // the handler's text
      RECT r{};
      GetWindowRect(hint->Handle(), &r);
      EXPECT_LE(r.left, seen.HintPos.X);  // at the hint's point, or pulled back into the work area
      EXPECT_LE(r.top, seen.HintPos.Y);
    } else {
      EXPECT_EQ(hint, nullptr);
    }
    panel->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(panel));
    EXPECT_EQ(Application().HintWindow(), nullptr);
    EXPECT_EQ(Application().HintControl(), nullptr);
  }
  // A control without a hint, and one that is destroyed while its pause runs, show nothing.
  asked = 0;
  plain->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(plain));
  EXPECT_EQ(Application().HintControl(), nullptr);
  panel->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(panel));
  TComponent::Free(panel);
  EXPECT_EQ(Application().HintControl(), nullptr);
  PumpMessagesFor(150);
  EXPECT_EQ(asked, 0);
  Application().OnShowHint = nullptr;
  Application().HintPause = savedPause;
  Application().HintHidePause = savedHide;
  TComponent::Free(form);
}

TEST(ApplicationHints, TheHidePauseHidesTheHintWhileTheMouseStays) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(100, 100);
  form->Hint = L"Form";
  form->ShowHint = true;
  form->Show();
  const int savedHide = Application().HintHidePause;
  Application().HintHidePause = 100;
  ASSERT_TRUE(Application().ActivateHint(form));
  THintWindow* hint = Application().HintWindow();
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(IsWindowVisible(hint->Handle()));
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(hint->Handle()); }));
  Application().CancelHint();
  Application().HintHidePause = savedHide;
  TComponent::Free(form);
}

TEST(Screen, HintFontIsTheSystemsTooltipFont) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
  EXPECT_EQ(static_cast<std::wstring>(Screen().HintFont().Name), std::wstring(metrics.lfStatusFont.lfFaceName));
  EXPECT_EQ(Screen().HintFont().Color, clInfoText);
}

}  // namespace
