// Hide animations of closing windows: their frame geometry, and the frames the hide timer
// hands to real layered windows under Xvfb (recorded on their way out).
#include <gtest/gtest.h>

#include <vector>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acHideAnim.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessageBoxCloser.h"
#include "support/LayeredRecorder.h"
#include "support/MessagePump.h"
#include "ui/GdiCounter.h"

namespace {

// A flat-coloured image: alpha in the top byte, then the colour as a TColor (0xBBGGRR).
std::unique_ptr<TBitmap> FlatImage(int w, int h, std::uint32_t argb) {
  std::unique_ptr<TBitmap> bmp = NewBitmap32(w, h);
  FillRectArgb(bmp.get(), TRect{0, 0, w, h}, argb & 0xFFFFFF, static_cast<std::uint8_t>(argb >> 24));
  return bmp;
}

// A glow form at a place on the screen, as the animations get their windows.
TacGlowForm* AnimationWindow(int x, int y, int w, int h) {
  auto* form = NewComponent<TacGlowForm>(nullptr);
  form->SetBounds(x, y, w, h);
  form->SetClientSize(w, h);
  form->Handle();
  return form;
}

std::vector<int> Alphas(const std::vector<TLayeredPush>& pushes) {
  std::vector<int> a;
  for (const TLayeredPush& p : pushes) a.push_back(p.Alpha);
  return a;
}

// Runs the hide timer's ticks by hand until its animation window is gone.
int TickUntilDone() {
  int ticks = 0;
  while (HideTimer() && HideTimer()->Form && ticks < 100) {
    HideTimer()->TimerTick();
    ++ticks;
  }
  return ticks;
}

// A form that answers the question for its provider, as a skinned form does.
class TProviderForm : public TForm {
public:
  explicit TProviderForm(TComponent* owner) : TForm(owner) {
    SetMessageHandler(SM_SKINCOMMAND, [this](TMessage& m) {
      m.Result = HIWORD(m.WParam) == SKCMD_GET_PROVIDER ? reinterpret_cast<LRESULT>(Provider) : 0;
    });
  }
  TsSkinProvider* Provider = nullptr;
};

}  // namespace

TEST(HideAnim, FrameGeometryOfEachKind) {
  struct TFrame {
    int Alpha;
    TRect Dest;
    bool GoOn;
  };
  struct TCase {
    const char* Name;
    TacAnimType Mode;
    int Width, Height, Steps, Start;
    std::vector<TFrame> Frames;
  };
  const TCase cases[] = {
      {"fade, 24 ms from 255", atFading, 64, 32, 2, 255,
       {{128, {0, 0, 64, 32}, true}, {0, {0, 0, 64, 32}, true}, {0, {0, 0, 64, 32}, true}}},
      {"fade from 200 over 4 frames", atFading, 10, 10, 4, 200,
       {{150, {0, 0, 10, 10}, true}, {100, {0, 0, 10, 10}, true}, {50, {0, 0, 10, 10}, true}, {0, {0, 0, 10, 10}, true}}},
      // The zoom shrinks by W/32 and H/32 on each side over the whole animation.
      {"zoom 320 x 160, 4 frames", atAero, 320, 160, 4, 255,
       {{191, {0, 0, 320, 160}, true},
        {128, {2, 1, 317, 159}, true},  // at (2.5, 1.25), 315 x 157.5
        {64, {5, 2, 315, 157}, true},
        {0, {8, 4, 313, 156}, true}}},
      // The roll-up keeps its alpha and halves its bottom until it falls below 2 pixels.
      {"roll-up 40 x 16 at 200", atDropDown, 40, 16, 10, 200,
       {{200, {0, 0, 40, 16}, true},
        {200, {0, 0, 40, 8}, true},
        {200, {0, 0, 40, 4}, true},
        {200, {0, 0, 40, 2}, false}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TacHideGeometry g;
    HideGeometryInit(g, c.Mode, c.Width, c.Height, c.Steps, c.Start);
    for (std::size_t k = 0; k < c.Frames.size(); ++k) {
      SCOPED_TRACE(testing::Message() << "frame " << k);
      EXPECT_EQ(HideGeometryNextAlpha(g), c.Frames[k].Alpha);
      EXPECT_EQ(HideGeometryDest(g, c.Mode, c.Width, c.Height), c.Frames[k].Dest);
      EXPECT_EQ(HideGeometryGoToNext(g, c.Mode), c.Frames[k].GoOn);
    }
  }
}

TEST(HideAnim, AFadeHandsItsFramesToTheWindowAndFreesItAtTheNextTick) {
  Application().Initialize();
  TLayeredRecorder recorder;
  TacGlowForm* window = AnimationWindow(100, 100, 64, 32);
  HWND wnd = window->Handle();
  PlayHideAnimation(window, FlatImage(64, 32, 0xFF3366CC), 24, 255, atFading, nullptr);
  ASSERT_NE(HideTimer(), nullptr);
  EXPECT_EQ(HideTimer()->StepCount, 2);
  EXPECT_TRUE(IsWindowVisible(wnd));
  EXPECT_TRUE(GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_TRUE(GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE);
  // The image at the start alpha during the set-up, then the first frame at once.
  EXPECT_EQ(Alphas(recorder.To(wnd)), (std::vector<int>{255, 128}));
  EXPECT_TRUE(HideTimer()->Enabled());
  EXPECT_EQ(HideTimer()->Interval(), 12u);
  HideTimer()->TimerTick();
  HideTimer()->TimerTick();
  EXPECT_EQ(Alphas(recorder.To(wnd)), (std::vector<int>{255, 128, 0, 0}));
  EXPECT_TRUE(IsWindow(wnd));
  HideTimer()->TimerTick();  // past the last step: the window and the images go
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_EQ(HideTimer()->Form, nullptr);
  EXPECT_EQ(HideTimer()->SrcBmp, nullptr);
  EXPECT_EQ(HideTimer()->DstBmp, nullptr);
  EXPECT_FALSE(HideTimer()->Enabled());
  EXPECT_EQ(HideTimer()->Interval(), 65535u);
  // The pixels went over as they are.
  const std::vector<TLayeredPush> pushes = recorder.To(wnd);
  EXPECT_EQ(pushes[1].Pixel(10, 10), 0xFFCC6633u);  // the pixel as BGRA memory reads it
  EXPECT_EQ(pushes[1].Size.cx, 64);
  EXPECT_EQ(pushes[1].Size.cy, 32);
}

TEST(HideAnim, TheRealLoopPlaysItAndAShortTimeShowsNothing) {
  Application().Initialize();
  TLayeredRecorder recorder;
  TacGlowForm* window = AnimationWindow(100, 100, 64, 32);
  HWND wnd = window->Handle();
  PlayHideAnimation(window, FlatImage(64, 32, 0xFF3366CC), 60, 255, atAero, nullptr);
  const DWORD start = GetTickCount();
  while (IsWindow(wnd) && GetTickCount() - start < 2000) PumpMessagesFor(10);
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_EQ(Alphas(recorder.To(wnd)), (std::vector<int>{255, 204, 153, 102, 51, 0, 0}));

  // Below one frame: window and image freed at once, nothing pushed.
  window = AnimationWindow(100, 100, 64, 32);
  wnd = window->Handle();
  PlayHideAnimation(window, FlatImage(64, 32, 0xFF3366CC), 11, 255, atFading, nullptr);
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_TRUE(recorder.To(wnd).empty());
  // No window to animate on (no cover could be made): nothing runs.
  PlayHideAnimation(nullptr, FlatImage(64, 32, 0xFF3366CC), 120, 255, atFading, nullptr);
  EXPECT_FALSE(HideTimer()->Enabled());
  EXPECT_EQ(HideTimer()->Form, nullptr);
}

TEST(HideAnim, ASecondHideDropsTheFirstWindowAtOnceAndLeaksNothing) {
  Application().Initialize();
  TLayeredRecorder recorder;
  // Both kinds of leak: windows of this thread and GDI objects and DCs.
  auto threadWindows = [] {
    int n = 0;
    EnumThreadWindows(
        GetCurrentThreadId(), [](HWND, LPARAM p) { return ++*reinterpret_cast<int*>(p), TRUE; },
        reinterpret_cast<LPARAM>(&n));
    return n;
  };
  // A first animation makes the timer and its inner timer's window before counting.
  PlayHideAnimation(AnimationWindow(0, 0, 8, 8), FlatImage(8, 8, 0xFF000000), 24, 255, atFading, nullptr);
  TickUntilDone();
  const int windowsBefore = threadWindows();
  TGdiCounter gdi;
  const long balance = gdi.Balance();

  TacGlowForm* first = AnimationWindow(100, 100, 64, 32);
  HWND firstWnd = first->Handle();
  PlayHideAnimation(first, FlatImage(64, 32, 0xFF102030), 120, 255, atAero, nullptr);
  HideTimer()->TimerTick();
  TacGlowForm* second = AnimationWindow(300, 100, 64, 32);
  HWND secondWnd = second->Handle();
  PlayHideAnimation(second, FlatImage(64, 32, 0xFF405060), 120, 255, atAero, nullptr);
  EXPECT_FALSE(IsWindow(firstWnd));
  EXPECT_TRUE(IsWindowVisible(secondWnd));
  const std::size_t firstPushes = recorder.To(firstWnd).size();
  for (int k = 0; k < 20; ++k) {
    PlayHideAnimation(AnimationWindow(100, 300, 64, 32), FlatImage(64, 32, 0xFF708090), 120, 255,
                      static_cast<TacAnimType>(k % 3), nullptr);
    HideTimer()->TimerTick();
  }
  EXPECT_FALSE(IsWindow(secondWnd));
  TickUntilDone();
  EXPECT_EQ(recorder.To(firstWnd).size(), firstPushes);  // no frame after it was dropped
  EXPECT_EQ(threadWindows(), windowsBefore);
  EXPECT_EQ(gdi.Balance(), balance);
}

TEST(HideAnim, ARollUpFromAlpha200StaysAt200) {
  Application().Initialize();
  TLayeredRecorder recorder;
  TacGlowForm* window = AnimationWindow(100, 100, 40, 400);
  HWND wnd = window->Handle();
  PlayHideAnimation(window, FlatImage(40, 400, 0xFF20A040), 240, 200, atDropDown, nullptr);
  TickUntilDone();
  const std::vector<TLayeredPush> pushes = recorder.To(wnd);
  ASSERT_GE(pushes.size(), 3u);
  for (const TLayeredPush& p : pushes) EXPECT_EQ(p.Alpha, 200);
  // The first frame is the whole image; the next one the image squeezed into the top half.
  EXPECT_EQ(pushes[1].Pixel(20, 399) >> 24, 0xFFu);
  EXPECT_NE(pushes[2].Pixel(20, 190) >> 24, 0u);
  EXPECT_EQ(pushes[2].Pixel(20, 300), 0u);
  EXPECT_FALSE(IsWindow(wnd));
}

TEST(HideAnim, WhileTerminatingItPlaysAtOnceAndTheEventWaitsForTheTimer) {
  Application().Initialize();
  TLayeredRecorder recorder;
  TFakeClock clock(5000, 1);
  recorder.Clock = [&] { return clock.Now; };
  auto* owner = new TProviderForm(nullptr);
  owner->Handle();
  TsSkinProvider* provider;
  {
    TMessageBoxCloser closer;  // a provider without a form warns in a box
    provider = new TsSkinProvider(nullptr);
  }
  owner->Provider = provider;
  std::vector<TacAnimEvent> events;
  provider->OnAfterAnimation = [&](TacAnimEvent e) { events.push_back(e); };

  TacGlowForm* window = AnimationWindow(100, 100, 64, 32);
  HWND wnd = window->Handle();
  Application().SetTerminated(true);
  PlayHideAnimation(window, FlatImage(64, 32, 0xFF3366CC), 24, 255, atFading, owner->Handle());
  Application().SetTerminated(false);
  const std::vector<TLayeredPush> pushes = recorder.To(wnd);
  EXPECT_EQ(Alphas(pushes), (std::vector<int>{255, 128, 0, 0}));
  // The frames were paced 12 ms apart on the clock.
  ASSERT_EQ(pushes.size(), 4u);
  EXPECT_GE(pushes[2].Tick - pushes[1].Tick, 12u);
  EXPECT_GE(pushes[3].Tick - pushes[2].Tick, 12u);
  // The window stays (at alpha 0) and no event fired until the timer goes.
  EXPECT_TRUE(IsWindow(wnd));
  EXPECT_TRUE(events.empty());
  FreeHideTimer();
  EXPECT_EQ(HideTimer(), nullptr);
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_EQ(events, std::vector<TacAnimEvent>{aeHiding});

  // On the timer's own end the event fires once, for a window of this process only.
  events.clear();
  PlayHideAnimation(AnimationWindow(100, 100, 16, 16), FlatImage(16, 16, 0xFF000000), 24, 255, atFading,
                    owner->Handle());
  TickUntilDone();
  EXPECT_EQ(events, std::vector<TacAnimEvent>{aeHiding});
  FreeHideTimer();
  EXPECT_EQ(events.size(), 1u);
  // A window of another process (here the desktop's) is never asked.
  PlayHideAnimation(AnimationWindow(100, 100, 16, 16), FlatImage(16, 16, 0xFF000000), 24, 255, atFading,
                    GetDesktopWindow());
  TickUntilDone();
  FreeHideTimer();
  EXPECT_EQ(events.size(), 1u);
  TComponent::Free(provider);
  TComponent::Free(owner);
}

namespace {
// A default manager with the shell's hide settings for a scope.
struct TShellHideSettings {
  TsSkinManager* Manager = new TsSkinManager(nullptr);
  TShellHideSettings() {
    Manager->AnimEffects.FormHide.Time = 100;
    Manager->AnimEffects.FormHide.Mode = atAero;
    Manager->AnimEffects.DialogHide.Time = 100;
    Manager->AnimEffects.DialogHide.Mode = atAero;
  }
  ~TShellHideSettings() { delete Manager; }
};

// The window the pushes of one hide animation went to (the only window pushed to).
HWND PushedWindow(const TLayeredRecorder& recorder) {
  return recorder.Pushes.empty() ? nullptr : recorder.Pushes.front().Wnd;
}
}  // namespace

TEST(HideAnim, AClosingFormHandsItsCachedImageToACoverAndStaysInvisible) {
  Application().Initialize();
  TShellHideSettings settings;
  struct TCase {
    bool AlphaBlend;
    bool Border;
  };
  for (const TCase& c : {TCase{false, false}, TCase{true, false}, TCase{false, true}}) {
    SCOPED_TRACE(testing::Message() << "alpha blend " << c.AlphaBlend << ", border form " << c.Border);
    TLayeredRecorder recorder;
    auto* form = new TProviderForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(200, 200, 120, 80);
    form->SetClientSize(120, 80);
    if (c.AlphaBlend) {
      form->SetAlphaBlend(true);
      form->SetAlphaBlendValue(200);
    }
    form->Show();
    auto* provider = new TsSkinProvider(form);
    form->Provider = provider;
    provider->FCommonData->FCacheBmp = FlatImage(120, 80, 0xFF30A050);
    provider->Rects = {TRect{0, 0, 6, 6}, TRect{114, 74, 130, 90}};  // the second one past the edge
    int events = 0;
    provider->OnAfterAnimation = [&](TacAnimEvent e) { events += e == aeHiding; };
    TacBorderForm border;
    TacGlowForm* borderWindow = nullptr;
    if (c.Border) {
      borderWindow = AnimationWindow(190, 190, 140, 100);
      border.AForm = borderWindow;
      provider->BorderForm = &border;
    }
    HWND formWnd = form->Handle();
    AnimationInProgress = false;

    AnimHideSkinForm(provider);
    EXPECT_FALSE(AnimationInProgress);
    ASSERT_FALSE(recorder.Pushes.empty());
    const HWND shown = PushedWindow(recorder);
    EXPECT_NE(shown, formWnd);
    if (c.Border) {
      EXPECT_EQ(shown, borderWindow->Handle());
      EXPECT_EQ(border.AForm, nullptr);  // the hide timer owns it now
      EXPECT_FALSE(IsWindowVisible(formWnd));
    }
    EXPECT_EQ(provider->CoverForm, nullptr);
    // A cover form shows its snapshot of the window first; then come the animation's frames.
    const std::vector<TLayeredPush> pushes = recorder.To(shown);
    const std::size_t snapshots = c.Border ? 0 : 1;
    ASSERT_GT(pushes.size(), snapshots);
    const TLayeredPush& first = pushes[snapshots];
    EXPECT_EQ(first.Alpha, c.AlphaBlend ? 200 : 255);
    EXPECT_EQ(first.Pixel(60, 40), 0xFF50A030u);
    if (!c.Border) {
      // Without border form the corners are cut out of the image, clipped to it.
      EXPECT_EQ(first.Pixel(2, 2), 0u);
      EXPECT_EQ(first.Pixel(118, 78), 0u);
      EXPECT_EQ(first.Pixel(7, 7), 0xFF50A030u);
    }
    // The form is left invisible: layered at its own alpha, or not layered and without
    // WS_VISIBLE.
    const LONG_PTR ex = GetWindowLongPtrW(formWnd, GWL_EXSTYLE);
    if (c.AlphaBlend) {
      BYTE alpha = 0;
      DWORD flags = 0;
      EXPECT_TRUE(ex & WS_EX_LAYERED);
      GetLayeredWindowAttributes(formWnd, nullptr, &alpha, &flags);
      EXPECT_EQ(alpha, 200);
    } else if (!c.Border) {
      EXPECT_FALSE(ex & WS_EX_LAYERED);
      EXPECT_FALSE(GetWindowLongPtrW(formWnd, GWL_STYLE) & WS_VISIBLE);
    }
    // Frames 12 ms apart until the window goes; the form's provider hears of the end once.
    TickUntilDone();
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_EQ(Alphas(recorder.To(shown)).size(), 10u + snapshots);  // the set-up push and frames 0 to 8
    EXPECT_EQ(events, 1);
    provider->BorderForm = nullptr;
    TComponent::Free(form);
  }
  FreeHideTimer();
}

TEST(HideAnim, AClosingDialogHandsItsImageToACoverAtFullAlpha) {
  Application().Initialize();
  TShellHideSettings settings;
  TLayeredRecorder recorder;
  auto* box = new TForm(nullptr);  // the dialog's window
  box->SetBorderStyle(bsNone);
  box->SetBounds(300, 300, 100, 60);
  box->SetClientSize(100, 60);
  box->Show();
  TsCommonData skinData(nullptr, false);
  skinData.FCacheBmp = FlatImage(100, 60, 0xFF2040C0);
  TacDialogWnd dialog;
  dialog.CtrlHandle = box->Handle();
  dialog.SkinData = &skinData;
  dialog.ArOR = {TRect{0, 0, 5, 5}};
  AnimationInProgress = false;
  AnimHideSkinDialog(&dialog);
  EXPECT_FALSE(AnimationInProgress);
  ASSERT_FALSE(recorder.Pushes.empty());
  const HWND shown = PushedWindow(recorder);
  EXPECT_NE(shown, box->Handle());
  // The cover's snapshot of the window, then the animation's set-up push.
  ASSERT_GE(recorder.Pushes.size(), 2u);
  const TLayeredPush& first = recorder.Pushes[1];
  EXPECT_EQ(first.Alpha, 255);
  EXPECT_EQ(first.Pixel(2, 2), 0u);
  EXPECT_EQ(first.Pixel(50, 30), 0xFFC04020u);
  TickUntilDone();
  EXPECT_FALSE(IsWindow(shown));
  EXPECT_EQ(HideTimer()->ParentWnd, nullptr);  // a dialog has no provider to tell
  // Without a cache bitmap nothing is shown.
  recorder.Pushes.clear();
  skinData.FCacheBmp.reset();
  AnimHideSkinDialog(&dialog);
  EXPECT_TRUE(recorder.Pushes.empty());
  FreeHideTimer();
  TComponent::Free(box);
}
