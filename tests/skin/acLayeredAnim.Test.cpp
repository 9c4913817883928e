// The animation flag and its guard, and the layered-window routines the animations share, on
// real windows under Xvfb, with the pushes to layered windows recorded.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/LayeredRecorder.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acThdTimer.h"
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

namespace {

std::vector<TacShowFrame> AllFrames(int w, int h, int time, std::uint8_t alpha, TacAnimType mode, bool dialog) {
  TacShowFrames frames(w, h, time / FramePeriod, alpha, mode, dialog);
  std::vector<TacShowFrame> out;
  for (TacShowFrame f; frames.Next(f);) out.push_back(f);
  return out;
}

std::vector<int> Alphas(const std::vector<TacShowFrame>& frames) {
  std::vector<int> out;
  for (const TacShowFrame& f : frames) out.push_back(f.Alpha);
  return out;
}

}  // namespace

TEST(acLayeredAnim, FadeAlphasOfFormsAndDialogs) {
  EXPECT_EQ(Alphas(AllFrames(100, 80, 120, 255, atFading, false)),
            (std::vector<int>{26, 51, 76, 102, 128, 153, 178, 204, 230, 255, 255}));
  std::vector<int> dialog;
  for (int k = 0; k <= 10; ++k) dialog.push_back(RoundHalfEven((k + 1) * 255.0 / 11));
  const std::vector<TacShowFrame> d = AllFrames(100, 80, 120, 255, atFading, true);
  EXPECT_EQ(Alphas(d), dialog);
  EXPECT_EQ(d.back().Alpha, 255);
  EXPECT_LT(d[9].Alpha, 255);
  // Below one period: no frames at all.
  EXPECT_TRUE(AllFrames(100, 80, 11, 255, atFading, false).empty());
  // Fading copies the whole image every frame; a form at 200 ends at 200.
  for (const TacShowFrame& f : AllFrames(100, 80, 60, 200, atFading, false)) EXPECT_EQ(f.Dest, Rect(0, 0, 100, 80));
  EXPECT_EQ(Alphas(AllFrames(100, 80, 60, 200, atFading, false)).back(), 200);
}

TEST(acLayeredAnim, DropDownBottomsHalveTheirWay) {
  struct Row {
    int Time;
    std::vector<int> Bottoms;
  } rows[] = {{240, {0, 200, 300, 350, 375, 388, 394}}, {36, {0, 200, 300, 350}}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Time);
    std::vector<int> bottoms;
    for (const TacShowFrame& f : AllFrames(300, 400, r.Time, 200, atDropDown, false)) {
      bottoms.push_back(f.Dest.Bottom);
      EXPECT_EQ(f.Alpha, 255);  // no fade
      EXPECT_EQ(f.Dest.Right, 300);
    }
    EXPECT_EQ(bottoms, r.Bottoms);
  }
}

TEST(acLayeredAnim, AeroGrowsFromAThirtySecondInsetToTheWholeImage) {
  // The shell's setting: 100 ms, frames 0 to 8.
  const std::vector<TacShowFrame> f = AllFrames(320, 160, 100, 255, atAero, false);
  ASSERT_EQ(f.size(), 9u);
  EXPECT_EQ(f[0].Dest, Rect(10, 5, 310, 155));
  EXPECT_EQ(f[4].Dest, Rect(5, 2, 315, 158));  // 10 - 4 x 1.25, 5 - 4 x 0.625 = 2.5 (ties to even)
  EXPECT_EQ(f.back().Dest, Rect(0, 0, 320, 160));
  for (std::size_t i = 1; i < f.size(); ++i) EXPECT_LE(f[i].Dest.Left, f[i - 1].Dest.Left);
  EXPECT_EQ(f.back().Alpha, 255);
}

TEST(acLayeredAnim, TransitionFramesAndTheOldBorder) {
  // 300 ms: 26 frames; the old border stays opaque until the new alpha passes 170.
  const std::vector<TacShowFrame> f = AllFrames(200, 100, 300, 255, atFading, false);
  ASSERT_EQ(f.size(), 26u);
  for (const TacShowFrame& frame : f) {
    const int old = OldBorderAlpha(255, frame.Current);
    if (frame.Current <= 170) EXPECT_EQ(old, 255) << frame.Index;
    else EXPECT_LT(old, 255) << frame.Index;
  }
  EXPECT_EQ(OldBorderAlpha(255, 255), 0);
  EXPECT_EQ(OldBorderAlpha(255, 200), 165);
  EXPECT_EQ(OldBorderAlpha(200, 255), 0);  // never below 0
  EXPECT_EQ(CoverFadeWeights(240 / CoverFramePeriod),
            (std::vector<std::uint8_t>{255, 230, 204, 178, 153, 128, 102, 76, 51, 26}));
  EXPECT_TRUE(CoverFadeWeights(0).empty());
}
