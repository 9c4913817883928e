// The animation flag and its guard, and the layered-window routines the animations share, on
// real windows under Xvfb, with the pushes to layered windows recorded.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/LayeredRecorder.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"

namespace {

// A plain top-level popup window of our own class.
struct TPlainWindow {
  HWND Wnd = nullptr;
  TPlainWindow(int x, int y, int w, int h, DWORD exStyle = 0, bool visible = true) {
    static ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"acLayeredAnimTest";
      wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      return RegisterClassW(&wc);
    }();
    (void)atom;
    Wnd = CreateWindowExW(exStyle | WS_EX_TOOLWINDOW, L"acLayeredAnimTest", L"", WS_POPUP | (visible ? WS_VISIBLE : 0), x,
                          y, w, h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~TPlainWindow() { DestroyWindow(Wnd); }
  LONG_PTR Style() const { return GetWindowLongPtrW(Wnd, GWL_STYLE); }
  LONG_PTR ExStyle() const { return GetWindowLongPtrW(Wnd, GWL_EXSTYLE); }
};

// Empties the layered entry for a scope: the system without layered windows.
struct TNoLayeredWindows {
  TUpdateLayeredWindowEntry Saved = UpdateLayeredWindowEntry;
  TNoLayeredWindows() { UpdateLayeredWindowEntry = nullptr; }
  ~TNoLayeredWindows() { UpdateLayeredWindowEntry = Saved; }
};

}  // namespace

TEST(acLayeredAnim, TheGuardGivesBackTheFlagOnEveryWayOut) {
  AnimationInProgress = false;
  {
    TacAnimationGuard guard;
    EXPECT_TRUE(AnimationInProgress);
  }
  EXPECT_FALSE(AnimationInProgress);
  // An exception between set and clear leaves the flag as it was.
  try {
    TacAnimationGuard guard;
    throw std::runtime_error("painting failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(AnimationInProgress);
  // A nested animation that ends early does not clear the outer one's flag.
  {
    TacAnimationGuard outer;
    {
      TacAnimationGuard inner;
      inner.Restore();
      EXPECT_TRUE(AnimationInProgress);
      AnimationInProgress = false;  // a later restore does not write again
    }
    EXPECT_FALSE(AnimationInProgress);
    AnimationInProgress = true;
    TacAnimationGuard keep(TacAnimationGuard::Keep);
    EXPECT_TRUE(AnimationInProgress);
  }
  EXPECT_FALSE(AnimationInProgress);
}

TEST(acLayeredAnim, ShowCommandsFollowTheWindowState) {
  EXPECT_EQ(ShowCommands[0], SW_SHOWNORMAL);
  EXPECT_EQ(ShowCommands[1], SW_SHOWMINNOACTIVE);
  EXPECT_EQ(ShowCommands[2], SW_SHOWMAXIMIZED);
}

TEST(acLayeredAnim, SetLayeredAlphaTable) {
  struct Row {
    bool LayeredBefore, Enable, Entry;
    bool Result, Layered, Visible;
    int Alpha;  // -1: not looked at
  } rows[] = {
      {false, true, true, true, true, true, 77},    // made layered by this call
      {true, true, true, false, true, true, 77},    // already layered: only the alpha
      {true, false, true, false, false, false, -1}, // disabling drops both bits
      {false, false, true, false, false, false, -1},
      {false, true, false, false, false, false, -1}, // no layered windows: hidden by style
      {true, true, false, false, false, false, -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.LayeredBefore << r.Enable << r.Entry);
    TPlainWindow w(10, 10, 60, 40, r.LayeredBefore ? WS_EX_LAYERED : 0);
    if (r.LayeredBefore) SetLayeredWindowAttributes(w.Wnd, 0, 255, LWA_ALPHA);
    bool result;
    {
      TUpdateLayeredWindowEntry saved = UpdateLayeredWindowEntry;
      if (!r.Entry) UpdateLayeredWindowEntry = nullptr;
      result = SetLayeredAlpha(w.Wnd, r.Enable, 77);
      UpdateLayeredWindowEntry = saved;
    }
    EXPECT_EQ(result, r.Result);
    EXPECT_EQ((w.ExStyle() & WS_EX_LAYERED) != 0, r.Layered);
    EXPECT_EQ((w.Style() & WS_VISIBLE) != 0, r.Visible);
    if (r.Alpha >= 0) {
      BYTE alpha = 0;
      DWORD flags = 0;
      ASSERT_TRUE(GetLayeredWindowAttributes(w.Wnd, nullptr, &alpha, &flags));
      EXPECT_EQ(alpha, r.Alpha);
      EXPECT_EQ(flags & LWA_ALPHA, static_cast<DWORD>(LWA_ALPHA));
    }
  }
}

TEST(acLayeredAnim, ShowBitmapLayeredHandsThePixelsOverUnchanged) {
  TLayeredRecorder recorder;
  TPlainWindow w(40, 50, 30, 20);
  auto bmp = NewBitmap32(3, 2);
  // Straight (not premultiplied) values pass as they are: the caller decides what they mean.
  const std::uint32_t values[2][3] = {{0x80FF0000u, 0x00FF00FFu, 0xFF102030u}, {0x01020304u, 0xFFFFFFFFu, 0x7F7F7F7Fu}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) SetPixel32(bmp.get(), x, y, values[y][x]);
  const TPoint at{100, 120};
  ShowBitmapLayered(w.Wnd, bmp.get(), 200, &at);
  ShowBitmapLayered(w.Wnd, bmp.get(), 9);
  ASSERT_EQ(recorder.Pushes.size(), 2u);
  const TLayeredPush& p = recorder.Pushes[0];
  EXPECT_EQ(p.Wnd, w.Wnd);
  EXPECT_TRUE(p.HasPos);
  EXPECT_EQ(p.Pos.x, 100);
  EXPECT_EQ(p.Pos.y, 120);
  EXPECT_EQ(p.Size.cx, 3);
  EXPECT_EQ(p.Size.cy, 2);
  EXPECT_EQ(p.Alpha, 200);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(p.Pixel(x, y), values[y][x]) << x << "," << y;
  EXPECT_FALSE(recorder.Pushes[1].HasPos);  // nil keeps the window where it is
  EXPECT_EQ(recorder.Pushes[1].Alpha, 9);
  EXPECT_NE(w.ExStyle() & WS_EX_LAYERED, 0);
  EXPECT_NE(w.Style() & WS_VISIBLE, 0);  // the style bit taken off while turning layered is back

  // No bitmap: a blank one of the window's size (a push gives the window the bitmap's size,
  // so a fresh window shows it).
  TPlainWindow fresh(40, 50, 30, 20);
  ShowBitmapLayered(fresh.Wnd, nullptr, 255);
  ASSERT_EQ(recorder.Pushes.size(), 3u);
  EXPECT_EQ(recorder.Pushes[2].Size.cx, 30);
  EXPECT_EQ(recorder.Pushes[2].Size.cy, 20);
  EXPECT_EQ(recorder.Pushes[2].Pixel(15, 10) >> 24, 0u);  // see-through

  // A hidden window stays hidden when it turns layered.
  TPlainWindow hidden(0, 0, 10, 10, 0, false);
  ShowBitmapLayered(hidden.Wnd, bmp.get(), 255);
  EXPECT_EQ(hidden.Style() & WS_VISIBLE, 0);
}

TEST(acLayeredAnim, NothingIsPushedOrChangedWithoutLayeredWindows) {
  TPlainWindow w(40, 50, 30, 20);
  auto bmp = NewBitmap32(3, 2);
  TNoLayeredWindows none;
  ShowBitmapLayered(w.Wnd, bmp.get(), 255);
  ShowBitmapLayered(w.Wnd, nullptr, 255);
  EXPECT_EQ(w.ExStyle() & WS_EX_LAYERED, 0);
  EXPECT_NE(w.Style() & WS_VISIBLE, 0);
}

TEST(acLayeredAnim, ClearRectsInBitmapClipsEachRectangle) {
  auto bmp = NewBitmap32(8, 6);
  FillRectArgb(bmp.get(), Rect(0, 0, 8, 6), 0x00336699, 255);
  const std::uint32_t full = GetPixel32(bmp.get(), 4, 3);
  // Corner rectangles of a skin mask larger than this small window, and one inside.
  ClearRectsInBitmap({Rect(-3, -3, 2, 2), Rect(6, 4, 40, 40), Rect(3, 0, 4, 1), Rect(9, 9, 12, 12)}, bmp.get());
  struct Probe {
    int X, Y;
    bool Cleared;
  } probes[] = {{0, 0, true}, {1, 1, true}, {2, 2, false}, {7, 5, true}, {6, 4, true}, {5, 4, false},
                {3, 0, true}, {4, 0, false}, {4, 3, false}, {7, 0, false}, {0, 5, false}};
  for (const Probe& p : probes) EXPECT_EQ(GetPixel32(bmp.get(), p.X, p.Y), p.Cleared ? 0u : full) << p.X << "," << p.Y;
  ClearRectsInBitmap({Rect(0, 0, 1, 1)}, nullptr);  // no bitmap: nothing
}

TEST(acLayeredAnim, TheFakeClockAdvancesOnEachReadAndPacesWaits) {
  TFakeClock clock(500, 1);
  WaitUntilTick(CurrentTickCount(), 12);
  EXPECT_EQ(clock.Now, 513u);
}
