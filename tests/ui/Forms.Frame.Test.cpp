// A form's frame extras on real windows: its own icon, the border between frame and client
// area, size constraints, the system's default position, right-to-left modes and OnResize.
#include <gtest/gtest.h>

#include "platform/ui/Forms.h"
#include "support/MessagePump.h"

namespace {

struct TFormGuard {
  TForm* Form;
  ~TFormGuard() { TComponent::Free(Form); }
};

RECT WindowRectOf(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  return r;
}

}  // namespace

TEST(FormFrame, OwnIconReachesTheWindowBeforeAndAfterItIsMade) {
  Application().Initialize();
  TFormGuard g{new TForm(nullptr)};
  g.Form->SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
  ASSERT_NE(g.Form->Icon(), nullptr);
  HWND wnd = g.Form->Handle();
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(wnd, WM_GETICON, ICON_BIG, 0)), g.Form->Icon());
  g.Form->SetIcon(LoadIconW(nullptr, IDI_WARNING));
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(wnd, WM_GETICON, ICON_BIG, 0)), g.Form->Icon());
  g.Form->SetIcon(nullptr);
  EXPECT_EQ(g.Form->Icon(), nullptr);
  EXPECT_EQ(SendMessageW(wnd, WM_GETICON, ICON_BIG, 0), 0);
}

TEST(FormFrame, BorderWidthGrowsTheNonClientAreaAndKeepsTheClientSize) {
  Application().Initialize();
  TFormGuard g{new TForm(nullptr)};
  g.Form->SetClientSize(220, 110);
  HWND wnd = g.Form->Handle();
  const RECT before = WindowRectOf(wnd);
  g.Form->SetBorderWidth(7);
  EXPECT_EQ(g.Form->ClientWidth(), 220);
  EXPECT_EQ(g.Form->ClientHeight(), 110);
  const RECT after = WindowRectOf(wnd);
  EXPECT_EQ(after.right - after.left, before.right - before.left + 14);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 14);
  // The client area starts 7 pixels further in.
  POINT origin{0, 0};
  ClientToScreen(wnd, &origin);
  RECT plain{0, 0, 0, 0};
  AdjustWindowRectEx(&plain, GetWindowLongW(wnd, GWL_STYLE), FALSE, GetWindowLongW(wnd, GWL_EXSTYLE));
  EXPECT_EQ(origin.x - after.left, -plain.left + 7);
  g.Form->SetBorderWidth(-3);
  EXPECT_EQ(g.Form->BorderWidth(), 0);
}

TEST(FormFrame, ConstraintsLimitTheMaximizedAndTrackedSize) {
  Application().Initialize();
  TFormGuard g{new TForm(nullptr)};
  g.Form->Constraints.MaxWidth = 333;
  g.Form->Constraints.MaxHeight = 222;
  g.Form->Constraints.MinWidth = 150;
  g.Form->SetBounds(20, 20, 300, 200);
  g.Form->Show();
  HWND wnd = g.Form->Handle();
  // The system fills in its own limits before it asks the window.
  MINMAXINFO info{};
  info.ptMaxTrackSize = info.ptMaxSize = POINT{5000, 5000};
  SendMessageW(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMaxTrackSize.x, 333);
  EXPECT_EQ(info.ptMaxTrackSize.y, 222);
  EXPECT_EQ(info.ptMaxSize.x, 333);
  EXPECT_GE(info.ptMinTrackSize.x, 150);
  ShowWindow(wnd, SW_MAXIMIZE);
  PumpMessages();
  const RECT r = WindowRectOf(wnd);
  EXPECT_LE(r.right - r.left, 333);
  EXPECT_LE(r.bottom - r.top, 222);
}

TEST(FormFrame, DefaultPositionLetsTheSystemPlaceTheWindowAndKeepsItsSize) {
  Application().Initialize();
  // Where the system puts a plain overlapped window that asks for the default position.
  HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(plain, nullptr);
  const RECT system = WindowRectOf(plain);
  DestroyWindow(plain);
  TFormGuard g{new TForm(nullptr)};
  g.Form->SetClientSize(240, 100);
  g.Form->Position = poDefaultPosOnly;
  const RECT r = WindowRectOf(g.Form->Handle());
  EXPECT_EQ(r.left, system.left);
  EXPECT_EQ(r.top, system.top);
  EXPECT_EQ(g.Form->ClientWidth(), 240);
  EXPECT_EQ(g.Form->ClientHeight(), 100);
}

TEST(FormFrame, RightToLeftModesGiveTheWindowItsReadingAndAlignmentStyles) {
  Application().Initialize();
  const struct {
    TBiDiMode Mode;
    bool Reading, Right;
  } rows[] = {{bdLeftToRight, false, false},
              {bdRightToLeft, true, true},
              {bdRightToLeftNoAlign, true, false},
              {bdRightToLeftReadingOnly, true, false}};
  for (const auto& row : rows) {
    TFormGuard g{new TForm(nullptr)};
    g.Form->SetBiDiMode(row.Mode);
    const LONG_PTR ex = GetWindowLongPtrW(g.Form->Handle(), GWL_EXSTYLE);
    EXPECT_EQ((ex & WS_EX_RTLREADING) != 0, row.Reading) << row.Mode;
    EXPECT_EQ((ex & WS_EX_RIGHT) != 0, row.Right) << row.Mode;
  }
}

TEST(FormFrame, OnResizeRunsWhenTheWindowSizeChanges) {
  Application().Initialize();
  TFormGuard g{new TForm(nullptr)};
  g.Form->SetBounds(30, 30, 200, 150);
  g.Form->Handle();
  int calls = 0;
  TForm* sender = nullptr;
  g.Form->OnResize = [&](TForm* f) {
    ++calls;
    sender = f;
  };
  g.Form->SetBounds(30, 30, 260, 170);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(sender, g.Form);
  g.Form->SetBounds(50, 60, 260, 170);  // a move alone
  EXPECT_EQ(calls, 1);
}

// Bounds and client size given before the window exists: whichever came last decides the
// window made later, at the given place unless the form centres itself.
TEST(FormFrame, BoundsGivenBeforeTheWindowIsMadeAreKept) {
  Application().Initialize();
  struct TCase {
    const char* Name;
    bool ClientFirst, ClientLast;
    TPosition Position;
  };
  const TCase cases[] = {
      {"bounds alone", false, false, poDesigned},
      {"bounds after a client size", true, false, poDesigned},
      {"client size after bounds", false, true, poDesigned},
      {"bounds of a centred form", false, false, poScreenCenter},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFormGuard g{new TForm(nullptr)};
    g.Form->Position = c.Position;
    if (c.ClientFirst) g.Form->SetClientSize(150, 90);
    g.Form->SetBounds(37, 41, 310, 205);
    if (c.ClientLast) g.Form->SetClientSize(150, 90);
    g.Form->Show();
    PumpMessagesFor(20);
    const RECT r = WindowRectOf(g.Form->Handle());
    if (c.ClientLast) {
      EXPECT_EQ(g.Form->ClientWidth(), 150);
      EXPECT_EQ(g.Form->ClientHeight(), 90);
      continue;
    }
    EXPECT_EQ(r.right - r.left, 310);
    EXPECT_EQ(r.bottom - r.top, 205);
    EXPECT_EQ(g.Form->Width(), 310);
    EXPECT_EQ(g.Form->Height(), 205);
    if (c.Position == poScreenCenter) {
      EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 310) / 2);
    } else {
      EXPECT_EQ(r.left, 37);
      EXPECT_EQ(r.top, 41);
    }
  }
}
