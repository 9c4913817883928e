// The popup controller: placement as a pure function, and real popups under Xvfb shown from a
// control of a real form, with their hooks, close rules, shadow window and animation frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "support/LayeredRecorder.h"
#include "support/MessagePump.h"
#include "support/ShellHarness.h"
#include "skin/controls/acPopupController.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sSkinManager.h"

namespace {

// ---- placement ----

TEST(acPopupController, PlacementBelowAControl) {
  const TRect screen{0, 0, 1280, 1024};
  struct TCase {
    const char* Name;
    TRect Control;
    int Left, Top;  // -1: the control's own anchor
    int Width, Height;
    TRect WorkArea;
    bool RightToLeft;
    TPoint Pos;
    int Direction;
  } cases[] = {
      {"below, two pixels over the bottom", {100, 100, 200, 130}, -1, -1, 150, 100, screen, false, {100, 128}, 0},
      {"flipped above", {100, 950, 200, 980}, -1, -1, 150, 100, screen, false, {100, 849}, adUpwards},
      {"flipped, never over the top", {10, 60, 100, 580}, -1, -1, 150, 100, {0, 0, 1280, 600}, false, {10, 0}, adUpwards},
      {"pushed to the right edge", {1200, 100, 1260, 130}, -1, -1, 150, 100, screen, false, {1130, 128}, adLeftwards},
      {"both", {1200, 950, 1260, 980}, -1, -1, 150, 100, screen, false, {1130, 849}, adUpwards | adLeftwards},
      {"right to left by the right edge", {300, 100, 400, 130}, -1, -1, 150, 100, screen, true, {250, 128}, 0},
      {"given point", {300, 100, 400, 130}, 20, 30, 150, 100, screen, false, {20, 30}, 0},
      {"work area of a second monitor", {1400, 100, 1500, 130}, -1, -1, 150, 100, {1280, 0, 2560, 1024}, false, {1400, 128}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TacPopupPlace place =
        PlacePopupAtControl(c.Control, c.Left, c.Top, c.Width, c.Height, c.Width, c.Height, c.WorkArea, c.RightToLeft);
    EXPECT_EQ(place.Pos.X, c.Pos.X);
    EXPECT_EQ(place.Pos.Y, c.Pos.Y);
    EXPECT_EQ(place.AnimDirection, c.Direction);
  }
}

TEST(acPopupController, PlacementAtAPoint) {
  const TRect screen{0, 0, 1280, 1024};
  struct TCase {
    TPoint Anchor;
    TPoint Pos;
    int Direction;
  } cases[] = {
      {{500, 300}, {500, 298}, 0},
      {{500, 1000}, {500, 899}, adUpwards},
      {{500, 50}, {500, 48}, 0},
      {{1200, 300}, {1129, 298}, adLeftwards},  // one pixel further than below a control
  };
  for (const TCase& c : cases) {
    const TacPopupPlace place = PlacePopupAtPoint(c.Anchor, 150, 100, 150, 100, screen);
    EXPECT_EQ(place.Pos.X, c.Pos.X) << c.Anchor.X << "," << c.Anchor.Y;
    EXPECT_EQ(place.Pos.Y, c.Pos.Y) << c.Anchor.X << "," << c.Anchor.Y;
    EXPECT_EQ(place.AnimDirection, c.Direction);
  }
}

// ---- real popups ----

// A real push button.
class TTestButton : public TWinControl {
public:
  using TWinControl::TWinControl;

protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.SystemClass = L"BUTTON";
    params.Style |= BS_PUSHBUTTON | WS_TABSTOP;
  }
};

class TPopupForm : public TForm {
public:
  using TForm::TForm;
  bool Allow = true;

protected:
  void FormCloseQuery(bool& canClose) override { canClose = Allow; }
};

class PopupFixture : public testing::Test {
public:
  void SetUp() override {
    Application().Initialize();
    Parent = new TForm(nullptr);
    Parent->SetBorderStyle(bsNone);
    Parent->SetClientSize(400, 300);
    Parent->SetColor(0x00E0E0E0);
    Button = new TTestButton(Parent);
    Button->SetBounds(20, 20, 120, 28);
    Button->SetCaption(L"Open");
    Button->SetParent(Parent);
    Other = new TTestButton(Parent);
    Other->SetBounds(200, 20, 120, 28);
    Other->SetCaption(L"Other");
    Other->SetParent(Parent);
    Parent->Show();
    SetWindowPos(Parent->Handle(), nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetForegroundWindow(Parent->Handle());
    PumpMessagesFor(50);
    Popup = new TPopupForm(nullptr);
    Popup->SetBorderStyle(bsNone);
    Popup->SetClientSize(180, 120);
    Popup->SetColor(0x00FFF0D0);
    Inner = new TWinControl(Popup);
    Inner->SetBounds(10, 10, 60, 24);
    Inner->SetParent(Popup);
    Controller = new TsPopupController(nullptr);
    // The button's own handlers: what reaches them was not swallowed.
    Button->SetMessageHandler(WM_LBUTTONDOWN, [this](TMessage& m, const TInheritedHandler& inherited) {
      ++ButtonPresses;
      inherited(m);
    });
    Button->SetMessageHandler(WM_KEYDOWN, [this](TMessage& m, const TInheritedHandler& inherited) {
      ++ButtonKeys;
      inherited(m);
    });
  }
  void TearDown() override {
    if (GetCapture()) ReleaseCapture();
    TComponent::Free(Controller);
    TComponent::Free(Popup);
    TComponent::Free(Parent);
    PumpMessages();
  }
  TacFormHandler* Handler() {
    const int index = Controller->GetFormIndex(Popup);
    return index < 0 ? nullptr : Controller->FormHandlers[static_cast<std::size_t>(index)];
  }
  bool Open() { return Popup->HandleAllocated() && IsWindowVisible(Popup->Handle()); }
  static RECT WindowRect(HWND wnd) {
    RECT r{};
    GetWindowRect(wnd, &r);
    return r;
  }
  void Press(HWND wnd) {
    SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    if (GetCapture()) ReleaseCapture();
  }

  TForm* Parent = nullptr;
  TTestButton* Button = nullptr;
  TTestButton* Other = nullptr;
  TPopupForm* Popup = nullptr;
  TWinControl* Inner = nullptr;
  TsPopupController* Controller = nullptr;
  int ButtonPresses = 0;
  int ButtonKeys = 0;
};

TEST_F(PopupFixture, ShowsAtOnceBelowTheControlWithItsShadow) {
  ASSERT_EQ(PopupController, nullptr);  // the program itself never makes one
  const TWndMethod own = Popup->WindowProc();
  Controller->ShowForm(Popup, Button);
  ASSERT_TRUE(Open());
  const RECT b = WindowRect(Button->Handle()), p = WindowRect(Popup->Handle());
  EXPECT_EQ(p.left, b.left);
  EXPECT_EQ(p.top, b.bottom - 2);
  EXPECT_EQ(Controller->AnimDirection, 0);
  EXPECT_EQ(GetWindowLongPtrW(Popup->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  EXPECT_NE(GetWindowLongPtrW(Popup->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(GetActiveWindow(), Parent->Handle());  // shown without taking the activation
  EXPECT_EQ(Controller->PopupCount(), 1);
  EXPECT_EQ(Controller->PopupChildCount(Parent), 1);

  TacFormHandler* handler = Handler();
  ASSERT_NE(handler, nullptr);
  ASSERT_NE(handler->ShadowForm, nullptr);
  TacShadowForm* shadow = handler->ShadowForm;
  EXPECT_FALSE(shadow->Locked);
  EXPECT_EQ(shadow->Tag, 256);
  HWND shadowWnd = shadow->Handle();
  EXPECT_TRUE(IsWindowVisible(shadowWnd));
  const RECT s = WindowRect(shadowWnd);
  EXPECT_EQ(s.left, p.left - 13);
  EXPECT_EQ(s.top, p.top - 13);
  EXPECT_EQ(s.right, p.right + 13);
  EXPECT_EQ(s.bottom, p.bottom + 13);
  EXPECT_EQ(SendMessageW(shadowWnd, WM_NCHITTEST, 0, MAKELPARAM(s.left + 2, s.top + 2)), HTTRANSPARENT);

  // Closing gives the popup its own procedure back and the shadow goes.
  Press(Button->Handle());
  EXPECT_FALSE(Open());
  EXPECT_TRUE(Popup->WindowProc() == own);
  EXPECT_EQ(Handler(), nullptr);
}

TEST_F(PopupFixture, PressOnTheControlClosesAndIsSwallowed) {
  Controller->ShowForm(Popup, Button);
  ASSERT_TRUE(Open());
  Press(Button->Handle());
  EXPECT_FALSE(Open());
  EXPECT_EQ(ButtonPresses, 0);
  Press(Button->Handle());  // no popup open: the press goes on
  EXPECT_EQ(ButtonPresses, 1);
}

TEST_F(PopupFixture, EscapeInTheControlIsSwallowedWhileOpen) {
  Controller->ShowForm(Popup, Button);
  ASSERT_TRUE(Open());
  SendMessageW(Button->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(ButtonKeys, 0);
  EXPECT_TRUE(Open());
  SendMessageW(Button->Handle(), WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(ButtonKeys, 1);
}

TEST_F(PopupFixture, KillAllFormsSparesThePopupOfTheGivenControl) {
  Controller->ShowForm(Popup, Button);
  ASSERT_TRUE(Open());
  Controller->KillAllForms(Inner);  // called from inside the popup
  EXPECT_TRUE(Open());
  EXPECT_EQ(Controller->FormHandlers.size(), 1u);
  Controller->KillAllForms();
  EXPECT_FALSE(Open());
  EXPECT_TRUE(Controller->FormHandlers.empty());
}

TEST_F(PopupFixture, ClosingForbiddenAndCloseQueryKeepItOpen) {
  Controller->ShowForm(Popup, Button);
  ASSERT_TRUE(Open());
  Controller->ClosingForbide(Popup);
  Press(Button->Handle());
  EXPECT_TRUE(Open());
  Controller->ClosingAllow(Popup);
  Popup->Allow = false;
  Press(Button->Handle());
  EXPECT_TRUE(Open());
  Popup->Allow = true;
  Press(Button->Handle());
  EXPECT_FALSE(Open());
}

TEST_F(PopupFixture, AForeignCaptureClosesItOnTheNextCheck) {
  Controller->ShowForm(Popup, Button);
  ASSERT_TRUE(Open());
  SetCapture(Inner->Handle());  // inside the popup: it stays
  PumpMessagesFor(300);
  EXPECT_TRUE(Open());
  SetCapture(Other->Handle());
  EXPECT_TRUE(WaitUntil([&] { return !Open(); }, 5000));
  ReleaseCapture();
}

TEST_F(PopupFixture, OtherCloseTriggers) {
  struct TCase {
    const char* Name;
    std::function<void(PopupFixture&)> Act;
  } cases[] = {
      {"the focused control loses its mode", [](PopupFixture& f) { f.Button->Perform(CM_CANCELMODE, 0, 0); }},
      {"the focus moves", [](PopupFixture& f) { f.Button->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(f.Other)); }},
      {"the popup is deactivated", [](PopupFixture& f) { f.Popup->OnDeactivate(f.Popup); }},
      {"the application goes inactive",
       [](PopupFixture& f) {
         SendMessageW(Application().Handle(), WM_ACTIVATEAPP, FALSE, 0);
         WaitUntil([&] { return !f.Open(); }, 5000);
         SendMessageW(Application().Handle(), WM_ACTIVATEAPP, TRUE, 0);
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Controller->ShowForm(Popup, Button);
    ASSERT_TRUE(Open());
    c.Act(*this);
    EXPECT_FALSE(Open());
  }
}

TEST_F(PopupFixture, TheShadowFollowsAMoveRecord) {
  Controller->ShowForm(Popup, Button);
  TacShadowForm* shadow = Handler()->ShadowForm;
  shadow->HideWnd();
  ASSERT_TRUE(shadow->Locked);
  TLayeredRecorder recorder;
  TacMoveShadowData data;
  data.Left = 300;
  data.Top = 200;
  data.Width = 120;
  data.Height = 80;
  data.Blend = 200;
  SendSkinCommand(Popup->Handle(), SKCMD_MOVE_SHADOW, reinterpret_cast<LPARAM>(&data));
  EXPECT_FALSE(shadow->Locked);
  const RECT s = WindowRect(shadow->Handle());
  EXPECT_EQ(s.left, 287);
  EXPECT_EQ(s.top, 187);
  EXPECT_EQ(s.right - s.left, 146);
  EXPECT_EQ(s.bottom - s.top, 106);
  const auto pushes = recorder.To(shadow->Handle());
  ASSERT_FALSE(pushes.empty());
  EXPECT_EQ(pushes.back().Alpha, 200);
  EXPECT_EQ(pushes.back().Size.cx, 146);
  // No centre; the bottom side carries the shadow.
  EXPECT_EQ(pushes.back().Pixel(73, 53) >> 24, 0u);
  EXPECT_GT(pushes.back().Pixel(73, 100) >> 24, 0u);
}

TEST_F(PopupFixture, TheAnimationEndsAtThePopupsOwnAlpha) {
  Popup->SetAlphaBlendValue(200);
  Popup->SetAlphaBlend(true);
  TFakeClock clock;
  TLayeredRecorder recorder;
  recorder.Clock = [&] { return clock.Now; };
  const RECT b = WindowRect(Button->Handle());
  Controller->ShowFormPos(Popup, TPoint{b.left, b.bottom});
  ASSERT_TRUE(Open());
  HWND popupWnd = Popup->Handle();
  HWND shadowWnd = Handler()->ShadowForm->Handle();
  std::vector<TLayeredPush> frames;
  for (const TLayeredPush& push : recorder.Pushes)
    if (push.Wnd != popupWnd && push.Wnd != shadowWnd) frames.push_back(push);
  ASSERT_GE(frames.size(), 8u);  // the first picture, 80 / 12 + 1 steps, the whole picture
  EXPECT_FALSE(IsWindow(frames.front().Wnd));  // the animation window is gone
  EXPECT_EQ(frames.front().Alpha, 0);
  for (std::size_t i = 2; i + 1 < frames.size(); ++i) EXPECT_GE(frames[i].Alpha, frames[i - 1].Alpha);
  EXPECT_EQ(frames[frames.size() - 2].Alpha, 200);  // the last step
  EXPECT_EQ(frames.back().Alpha, 200);
  // The image grows from the top edge: early frames are empty below, the last is opaque.
  const TLayeredPush& early = frames[2];
  EXPECT_EQ(early.Pixel(90, early.Size.cy - 1) >> 24, 0u);
  EXPECT_EQ(frames.back().Pixel(90, frames.back().Size.cy - 1) >> 24, 255u);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(popupWnd, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 200);
  // The shadow was told each step.
  EXPECT_GE(recorder.To(shadowWnd).size(), 7u);
}

TEST_F(PopupFixture, ADestroyedControlUnhooksFirst) {
  const TWndMethod own = Popup->WindowProc();
  Controller->ShowForm(Popup, Button);
  ASSERT_TRUE(Open());
  TComponent::Free(Button);
  Button = nullptr;
  EXPECT_EQ(Controller->GetFormIndex(Popup), -1);
  ASSERT_EQ(Controller->FormHandlers.size(), 1u);
  EXPECT_EQ(Controller->FormHandlers[0], nullptr);  // the slot stays, empty
  PumpMessages();
  EXPECT_TRUE(Popup->WindowProc() == own);  // the popup's hooks went with the control's
}

// Shows a popup below a button for a picture of the screen; run on demand.
TEST_F(PopupFixture, DISABLED_ForAPicture) {
  // A low calling form, so the popup hangs below it: Xvfb without a compositor shows windows
  // that overlap ours as black.
  Parent->SetClientSize(400, 56);
  Popup->OnPaint = [](TForm*, HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 16, 60, L"Popup form", 10);
  };
  Controller->ShowForm(Popup, Button);
  // The X server stacks a window by when it was last mapped: mapped again, the popup lies over
  // its shadow as it does on the system.
  HWND wnd = Popup->Handle();
  SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  PumpMessagesFor(8000);
}

}  // namespace
