// Hover glows and state fades on real windows under Xvfb: glow windows made from the test
// skin's glow image, their place and pixels, the mouse going through them, the identifiers
// of the glow list, and the frames a fade shows on its way from one look to the other.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ReaderFixtures.h"
#include "SkinStateFixtures.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acFades.h"
#include "skin/controls/acGlow.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/controls/acStdGlyphs.h"
#include "skin/handlers/acDials.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/Menus.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

namespace {

std::uint32_t PixelAt(TBitmap& bmp, int x, int y) { return static_cast<const std::uint32_t*>(bmp.ScanLine(y))[x]; }

void Fill(TBitmap& bmp, std::uint32_t argb) {
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) static_cast<std::uint32_t*>(bmp.ScanLine(y))[x] = argb;
}

// The blend of one frame, byte by byte: weight 255 keeps the old look, 0 takes the new one.
std::uint32_t Mixed(std::uint32_t from, std::uint32_t to, int weight) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int d = int(from >> shift & 0xFF), s = int(to >> shift & 0xFF);
    out |= std::uint32_t(((weight * (d - s) + s * 256) >> 8) & 0xFF) << shift;
  }
  return out;
}

int ThreadWindowCount() {
  int n = 0;
  EnumThreadWindows(
      GetCurrentThreadId(), [](HWND, LPARAM p) -> BOOL { return ++*reinterpret_cast<int*>(p), TRUE; },
      reinterpret_cast<LPARAM>(&n));
  return n;
}

constexpr std::uint32_t OldLook = 0xFF204060, NewLook = 0xFFE0C0A0;

// A skinned windowed control of section TESTGLOW on a shown form, under the test skin; its
// cache shows the old look, and a rebuild of the cache (sub-command 23) paints the new one.
class GlowTest : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    manager = CreateComponent<TsSkinManager>(nullptr);
    manager->SetSkinDirectory(ReaderFixture(L"skins"));
    manager->SetSkinName(L"Tarvel Test");
    ASSERT_TRUE(manager->IsActive());
    form = CreateComponent<TForm>(&Application());
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 200, 120);
    control = NewComponent<TSkinWin>(form, true, form);
    control->SetBounds(40, 40, 60, 30);
    control->State->WriteSkinSection(L"TESTGLOW");
    form->Show();
    form->SetBounds(100, 100, 200, 120);
    ASSERT_TRUE(control->HandleAllocated());
    PumpMessagesFor(100);
    state()->FCacheBmp = NewBitmap32(60, 30);
    Fill(*state()->FCacheBmp, OldLook);
    state()->BGChanged = false;
    control->OnMessage = [this](TMessage& m) {
      if (SkinCommandOf(m.WParam) == SKCMD_PREPARE_CACHE) Fill(*state()->FCacheBmp, NewLook);
    };
  }
  void TearDown() override {
    ReleaseAllGlows(true);
    TComponent::Free(form);
    TComponent::Free(manager);
    PumpMessages();
  }
  TsCommonData* state() { return control->State.get(); }
  TRect ScreenRect() {
    RECT r{};
    GetWindowRect(control->Handle(), &r);
    return TRect{r.left, r.top, r.right, r.bottom};
  }
  int Show(const wchar_t* section = L"", std::uint8_t alpha = 255) {
    return ShowGlowEffect(ScreenRect(), section, L"GLOW", 2, alpha, form->Handle(), state());
  }

  TsSkinManager* manager = nullptr;
  TForm* form = nullptr;
  TSkinWin* control = nullptr;
};

}  // namespace

TEST_F(GlowTest, AGlowWindowSurroundsTheControlFromItsGlowImage) {
  const std::size_t before = GlowList().size();
  const int id = Show();
  ASSERT_EQ(id, static_cast<int>(before));
  TacGlowEffect* glow = GlowList()[static_cast<std::size_t>(id)].get();
  ASSERT_NE(glow->Wnd, nullptr);
  HWND wnd = glow->Wnd->Handle();
  EXPECT_TRUE(IsWindowVisible(wnd));
  EXPECT_EQ(GetWindowLongPtrW(wnd, GWL_EXSTYLE) & 0x80020, 0x80020);
  // The image's 4-pixel borders outside the control, less the margin of 2 on each side.
  RECT r{};
  GetWindowRect(wnd, &r);
  const TRect c = ScreenRect();
  EXPECT_EQ(r.left, c.Left - 2);
  EXPECT_EQ(r.top, c.Top - 2);
  EXPECT_EQ(r.right - r.left, c.Width() + 4);
  EXPECT_EQ(r.bottom - r.top, c.Height() + 4);
  // The bitmap handed to the window: a translucent band, a clear centre.
  TBitmap& bmp = *glow->AlphaBmp;
  ASSERT_EQ(bmp.Width(), c.Width() + 4);
  for (const TPoint p : {TPoint{1, 1}, TPoint{bmp.Width() / 2, 1}, TPoint{bmp.Width() - 2, bmp.Height() - 2}}) {
    const std::uint32_t px = PixelAt(bmp, p.X, p.Y);
    EXPECT_GT(px >> 24, 0u) << std::hex << px;
    EXPECT_LT(px >> 24, 255u) << std::hex << px;
    EXPECT_GT(px & 0xFF, px >> 16 & 0xFF) << std::hex << px;  // the image's blue
    EXPECT_LE(px & 0xFF, px >> 24) << std::hex << px;            // premultiplied
  }
  EXPECT_EQ(PixelAt(bmp, bmp.Width() / 2, bmp.Height() / 2) >> 24, 0u);
  // Directly above the form in the Z order.
  EXPECT_EQ(GetWindow(form->Handle(), GW_HWNDPREV), wnd);
  // TARVEL_SHOW_SECONDS=N: for a look, the form shows the control in its first frame of a
  // fade towards the hot look with its glow image laid over the form where the glow window
  // stands (an X server without compositing shows layered windows unblended), and a tool
  // bar's buttons with standard glyphs beside it.
  if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) {
    AnimateStateChange(state(), 1, StateFadeStep, false, false, true);
    state()->AnimTimer->WriteEnabled(false);
    ShowWindow(wnd, SW_HIDE);
    TToolBar bar(nullptr);
    bar.Images = StdGlyphList();
    TToolButton button(nullptr);
    button.SetBounds(0, 0, 28, 26);
    auto buttons = NewBitmap32(5 * 28, 26);
    const int glyphs[] = {sgTick, sgRadioDot, sgMove, sgClose, sgRestore};
    for (int i = 0; i < 5; ++i) {
      auto cell = NewBitmap32(28, 26);
      Fill(*cell, 0xFFF4F4F4);
      button.ImageIndex = glyphs[i];
      DrawToolButtonGlyph(&bar, &button, i == 2 ? odHotLight : 0, cell.get(), 0, 0);
      BitBlt(buttons->Canvas().Handle(), 28 * i, 0, 28, 26, cell->Canvas().Handle(), 0, 0, SRCCOPY);
    }
    // One picture of the form: its colour, the control's frame, the glow image over them.
    auto picture = NewBitmap32(200, 120);
    Fill(*picture, 0xFFF4F4F4);
    RECT cr{};
    GetWindowRect(control->Handle(), &cr);
    BitBlt(picture->Canvas().Handle(), cr.left - 100, cr.top - 100, 60, 30,
           state()->AnimTimer->BmpOut->Canvas().Handle(), 0, 0, SRCCOPY);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(picture->Canvas().Handle(), r.left - 100, r.top - 100, bmp.Width(), bmp.Height(),
                  bmp.Canvas().Handle(), 0, 0, bmp.Width(), bmp.Height(), blend);
    BitBlt(picture->Canvas().Handle(), 10, 85, buttons->Width(), 26, buttons->Canvas().Handle(), 0, 0, SRCCOPY);
    ShowWindow(control->Handle(), SW_HIDE);
    const DWORD end = GetTickCount() + DWORD(std::atoi(show)) * 1000;
    while (GetTickCount() < end) {
      HDC dc = GetWindowDC(form->Handle());
      BitBlt(dc, 0, 0, 200, 120, picture->Canvas().Handle(), 0, 0, SRCCOPY);
      ReleaseDC(form->Handle(), dc);
      PumpMessagesFor(100);
    }
  }
}

TEST_F(GlowTest, ASectionWithoutTheGlowImageOrAGlowOfNoSizeGetsNone) {
  const int windows = ThreadWindowCount();
  const std::size_t slots = GlowList().size();
  EXPECT_EQ(Show(L"TESTNOGLOW"), -1);
  EXPECT_EQ(ShowGlowEffect(ScreenRect(), L"", L"NOSUCH", 2, 255, form->Handle(), state()), -1);
  EXPECT_EQ(ShowGlowEffect(ScreenRect(), L"", L"GLOW", 2, 255, form->Handle(), nullptr), -1);
  // Margins that swallow the control and the borders: no window of 0 or less.
  EXPECT_EQ(ShowGlowEffect(TRect{10, 10, 14, 14}, L"", L"GLOW", 6, 255, form->Handle(), state()), -1);
  EXPECT_EQ(ShowGlowByMaskIndex(ScreenRect(), {}, 2, 255, form->Handle(), state()), -1);
  EXPECT_EQ(ShowGlowByMaskIndex(ScreenRect(), {-1, 3}, 2, 255, form->Handle(), state()), -1);
  EXPECT_EQ(GlowList().size(), slots);
  EXPECT_EQ(ThreadWindowCount(), windows);
}

TEST_F(GlowTest, TheMouseGoesThroughTheGlowToTheWindowBelow) {
  const int id = Show();
  ASSERT_GE(id, 0);
  HWND wnd = GlowList()[static_cast<std::size_t>(id)]->Wnd->Handle();
  EXPECT_EQ(SendMessageW(wnd, WM_NCHITTEST, 0, MAKELPARAM(0, 0)), HTTRANSPARENT);
  // A real click on the glow's band, over the form: the form hears it.
  int downs = 0;
  form->SetMessageHandler(WM_LBUTTONDOWN, [&](TMessage&) { ++downs; });
  SetForegroundWindow(form->Handle());
  PumpMessagesFor(100);
  RECT r{};
  GetWindowRect(wnd, &r);
  SetCursorPos(r.left + 1, r.top + 1);
  PumpMessagesFor(50);
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  for (int i = 0; i < 50 && downs == 0; ++i) PumpMessagesFor(20);
  EXPECT_EQ(downs, 1);
}

TEST_F(GlowTest, ReleasedGlowsLeaveEmptySlotsAndNewOnesComeAfter) {
  const int a = Show(), b = Show();
  ASSERT_GE(a, 0);
  ASSERT_EQ(b, a + 1);
  int first = a, second = b;
  ReleaseGlowById(first, false);
  ReleaseGlowById(second, false);
  EXPECT_EQ(first, -1);
  EXPECT_EQ(second, -1);
  EXPECT_EQ(GlowList()[static_cast<std::size_t>(a)], nullptr);
  EXPECT_EQ(GlowList()[static_cast<std::size_t>(b)], nullptr);
  EXPECT_EQ(Show(), b + 1);
  // Releasing an empty slot or an identifier outside the list changes nothing.
  int again = a, outside = 9999;
  ReleaseGlowById(again, false);
  ReleaseGlowById(outside, true);
  EXPECT_EQ(again, a);
  EXPECT_EQ(outside, 9999);
  SetGlowAlpha(a, 10);
  SetGlowAlpha(-1, 10);
}

TEST_F(GlowTest, ManyGlowsShownAndReleasedLeaveNoWindowsOrObjects) {
  auto cycle = [&](int n) {
    for (int i = 0; i < n; ++i) {
      int id = Show(L"", std::uint8_t(i));
      ASSERT_GE(id, 0);
      SetGlowAlpha(id, 200);
      ReleaseGlowById(id, false);
    }
    PumpMessagesFor(50);  // the released windows go after their messages
  };
  cycle(20);
  const int windows = ThreadWindowCount();
  const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  cycle(500);
  EXPECT_EQ(ThreadWindowCount(), windows);
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  // ReleaseAllGlows empties the list and the owners forget their glows.
  state()->GlowID = Show();
  ReleaseAllGlows(true);
  EXPECT_TRUE(GlowList().empty());
  EXPECT_EQ(state()->GlowID, -1);
}

TEST_F(GlowTest, AFadeShowsFramesFromTheOldLookToTheNew) {
  const struct {
    int State;
    int Weight;  // of the first frame: the old look's share
  } cases[] = {
      {1, 255 - 42},  // towards hot: level 0 + 255 / 6 rounds to 42
      {0, 241},       // towards normal: level 255 - 255 / 18 rounds to 241
      {2, 212},       // towards pressed: level 255 - 255 / 6 rounds to 212
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.State);
    state()->StopAnimation();
    if (state()->AnimTimer) state()->AnimTimer->Glow = c.State == 1 ? 0 : 255;  // where such a fade starts
    Fill(*state()->FCacheBmp, OldLook);
    state()->BGChanged = false;
    control->Got.clear();
    AnimateStateChange(state(), c.State, StateFadeStep, false, false, true);
    TacThreadedTimer* timer = state()->AnimTimer;
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(control->Count(SKCMD_PREPARE_CACHE), 1);
    ASSERT_TRUE(timer->BmpOut);
    const std::uint32_t want = Mixed(OldLook, NewLook, c.Weight);
    EXPECT_EQ(PixelAt(*timer->BmpOut, 30, 15), want) << std::hex << PixelAt(*timer->BmpOut, 30, 15);
    // The frame reached the window.
    auto probe = NewBitmap32(1, 1);
    HDC dc = GetWindowDC(control->Handle());
    BitBlt(probe->Canvas().Handle(), 0, 0, 1, 1, dc, 30, 15, SRCCOPY);
    ReleaseDC(control->Handle(), dc);
    GdiFlush();
    const std::uint32_t px = PixelAt(*probe, 0, 0);
    const COLORREF shown = RGB(px >> 16 & 0xFF, px >> 8 & 0xFF, px & 0xFF);
    EXPECT_EQ(shown, RGB(want >> 16 & 0xFF, want >> 8 & 0xFF, want & 0xFF)) << std::hex << shown;
    // A second request for the same state changes nothing.
    const int iteration = timer->Iteration;
    state()->BGChanged = false;
    AnimateStateChange(state(), c.State, StateFadeStep, false, false, true);
    EXPECT_EQ(timer->Iteration, iteration);
    EXPECT_EQ(control->Count(SKCMD_PREPARE_CACHE), 1);
    // Run to the end: the last frame is the new look.
    for (int i = 0; i < 100 && timer->Enabled(); ++i) timer->TimerTick();
    EXPECT_FALSE(timer->Enabled());
    if (c.State != 0) {
      ASSERT_TRUE(timer->BmpOut);
      EXPECT_EQ(PixelAt(*timer->BmpOut, 30, 15), NewLook) << std::hex << PixelAt(*timer->BmpOut, 30, 15);
    }
  }
}

TEST_F(GlowTest, ALeaveFadeReleasesTheGlowOnceItsLevelDropsBelowTen) {
  state()->GlowID = Show();
  ASSERT_GE(state()->GlowID, 0);
  AnimateStateChange(state(), 0, StateFadeStep, false, false, true);
  TacThreadedTimer* timer = state()->AnimTimer;
  ASSERT_NE(timer, nullptr);
  int steps = 1;
  while (state()->GlowID >= 0 && timer->Enabled() && steps < 100) {
    const int next = RoundHalfEven(timer->Glow - timer->GlowStep);
    timer->TimerTick();
    ++steps;
    EXPECT_EQ(state()->GlowID >= 0, next >= 10) << "level " << next;
  }
  EXPECT_EQ(state()->GlowID, -1);
  EXPECT_EQ(timer->Glow, 0);
  EXPECT_GT(steps, 15);  // not before the last steps of 18
}

TEST_F(GlowTest, WithoutAnimationAHoverGlowShowsAtOnceAndLeavingReleasesIt) {
  manager->Effects.AllowAnimation = false;
  state()->FMouseAbove = true;
  AnimateStateChange(state(), 1, StateFadeStep, true, false, true);
  EXPECT_GE(state()->GlowID, 0);
  EXPECT_EQ(state()->AnimTimer, nullptr);  // no fade ran
  EXPECT_TRUE(state()->BGChanged);
  state()->FMouseAbove = false;
  AnimateStateChange(state(), 0, StateFadeStep, true, false, true);
  EXPECT_EQ(state()->GlowID, -1);
}

TEST_F(GlowTest, AnAnimatedReleaseFadesTheGlowOutFirst) {
  state()->GlowID = Show();
  ASSERT_GE(state()->GlowID, 0);
  const int id = state()->GlowID;
  ReleaseGlowById(state()->GlowID, true);
  EXPECT_EQ(state()->GlowID, id);  // still there while it fades
  ASSERT_NE(state()->AnimTimer, nullptr);
  EXPECT_EQ(state()->AnimTimer->State, 0);
  for (int i = 0; i < 50 && state()->GlowID >= 0; ++i) PumpMessagesFor(20);
  EXPECT_EQ(state()->GlowID, -1);
  EXPECT_EQ(GlowList()[static_cast<std::size_t>(id)], nullptr);
}

TEST_F(GlowTest, AnAnimatedReleaseOfAStateWithoutControlIsImmediate) {
  // A window handler's state: no control whose timer could run the fade-out to its end.
  TsCommonData handler(nullptr, false);
  handler.WriteSkinSection(L"TESTGLOW");
  ASSERT_GE(handler.SkinIndex, 0);
  handler.GlowID = ShowGlowEffect(ScreenRect(), L"", L"GLOW", 2, 255, form->Handle(), &handler);
  ASSERT_GE(handler.GlowID, 0);
  ReleaseGlowById(handler.GlowID, true);
  EXPECT_EQ(handler.GlowID, -1);
  EXPECT_EQ(handler.AnimTimer, nullptr);
}
