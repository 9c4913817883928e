// The form's moving pictures: the arithmetic of the moving blend, the minimize path, the
// restore path, thumbnails and the rescale; then real skinned forms minimized and restored,
// rescaled and asked for their taskbar thumbnail, under Xvfb with the frames recorded as they
// leave for UpdateLayeredWindow.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "FormFrameFixtures.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.Dwm.h"
#include "skin/forms/sSkinProvider.Anim.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"
#include "support/LayeredRecorder.h"
#include "support/MessagePump.h"

namespace {

// Desktop composition pinned for a test (minimizing animates only with it).
struct TCompositionPin {
  explicit TCompositionPin(bool on) { SetDwmCompositionOverride(on); }
  ~TCompositionPin() { SetDwmCompositionOverride(std::nullopt); }
};

// ---- the arithmetic ----

TEST(FormAnimationArithmetic, MoveBlendShowsTheTargetAfterItsTimeAndStaysBelowIt) {
  Application().Initialize();
  struct Row {
    int Time;
    std::vector<std::pair<int, int>> TickShows;  // tick number (from 1), alpha shown
  } rows[] = {
      {12, {{1, 255}, {2, 170}, {3, 170}, {50, 170}}},
      {0, {{1, 255}, {2, 170}}},
      {1000, {{1, 255}, {2, 254}, {84, 170}, {85, 169}, {86, 169}, {200, 169}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Time);
    TacMoveTimer timer(nullptr, false);
    timer.BlendValue = 170;
    timer.CurrentBlendValue = 255;
    timer.BlendStep = MoveBlendStep(170, row.Time);
    std::vector<int> shown;
    for (int tick = 1; tick <= 200; ++tick) {
      shown.push_back(timer.ShownAlpha());
      timer.TimeHandler();  // no window: only the value moves on
    }
    for (const auto& [tick, alpha] : row.TickShows) EXPECT_EQ(shown[static_cast<std::size_t>(tick - 1)], alpha) << tick;
  }
}

TEST(FormAnimationArithmetic, MinimizeStepsTargetAndRestoreStart) {
  Application().Initialize();
  // A minimize time of 0 still makes one step, and that step takes the whole alpha.
  EXPECT_EQ(MinimizeStepCount(0), 1);
  EXPECT_EQ(MinimizeStepCount(80), 13);
  {
    TacMinTimer timer(nullptr, false);
    timer.InitData();  // no manager: time 0
    EXPECT_EQ(timer.StepCount, 1);
    EXPECT_DOUBLE_EQ(timer.BlendStep, 255.0);
  }
  // Three quarters of the form, centred on the taskbar, on each side of the screen.
  const struct {
    TRect Taskbar;
    DWORD Position;
  } bars[] = {{{0, 984, 1280, 1024}, 8}, {{0, 0, 1280, 40}, 2}, {{0, 0, 40, 1024}, 1}, {{1240, 0, 1280, 1024}, 4}};
  for (const auto& bar : bars) {
    DWORD position = 0;
    const TRect to = TaskbarTargetRect(bar.Taskbar, TRect{100, 100, 500, 400}, position);
    EXPECT_EQ(position, bar.Position);
    EXPECT_EQ(to.Width(), 300);
    EXPECT_EQ(to.Height(), 226);  // 300 - 2 * (300 div 8)
    EXPECT_EQ(to.Left + to.Width() / 2, bar.Taskbar.Left + bar.Taskbar.Width() / 2);
  }
  // The restore starts at least 80 px below the window's top, a quarter of the way otherwise.
  const struct {
    int Above;  // how far the form's top lies above the target's top
    int Start;
  } starts[] = {{0, 80}, {319, 80}, {-200, 80}, {400, 100}};
  for (const auto& s : starts) {
    TacMinTimer timer(nullptr, false);
    timer.RectFrom = TRect{10, 100, 410, 400};
    timer.RectTo = TRect{10, 100 + s.Above, 310, 325 + s.Above};
    timer.InitDataRestore();
    EXPECT_EQ(timer.CurTop - timer.RectFrom.Top, s.Start) << s.Above;
  }
}

TEST(FormAnimationArithmetic, ThumbnailFitsTheImageAspect) {
  const struct {
    int W, H, SrcW, SrcH, FitW, FitH;
  } rows[] = {{200, 200, 400, 300, 200, 150}, {200, 200, 300, 400, 150, 200}, {200, 100, 400, 400, 100, 100},
              {5, 200, 400, 2, 5, 0}};
  for (const auto& r : rows) {
    int w = r.W, h = r.H;
    const bool ok = FitThumbnailSize(w, h, r.SrcW, r.SrcH);
    EXPECT_EQ(ok, r.FitH != 0);
    if (ok) {
      EXPECT_EQ(w, r.FitW);
      EXPECT_EQ(h, r.FitH);
    }
  }
}

TEST(FormAnimationArithmetic, RescaleFramesHalveTheDistanceUntilWithinTwo) {
  std::vector<int> widths{400};
  while (std::abs(widths.back() - 600) > 2) widths.push_back(ScaleStepSize(widths.back(), 600));
  EXPECT_EQ(widths, (std::vector<int>{400, 500, 550, 575, 587, 593, 596, 598}));
}

// A restore whose start lies no distance from the window on an axis ends (a divisor of 0
// once kept the picture invisible for ever); so does one exactly 1 px away.
TEST(FormAnimationArithmetic, RestoreWithNoHorizontalDistanceEnds) {
  Application().Initialize();
  for (int dx : {0, 4}) {
    SCOPED_TRACE(dx);
    TacGlowForm* window = NewComponent<TacGlowForm>(nullptr);
    window->SetBounds(0, 0, 50, 40);
    window->Handle();
    {
      TacMinTimer timer(nullptr, false);
      timer.AnimForm = window;
      timer.RectFrom = TRect{2, 100, 302, 300};
      timer.RectTo = TRect{2 + dx, 600, 227, 750};
      timer.Minimized = true;
      timer.InitDataRestore();
      timer.WriteEnabled(true);
      int ticks = 0;
      while (timer.Enabled() && ticks < 1000) {
        timer.TimeHandler();
        ++ticks;
      }
      EXPECT_FALSE(timer.Enabled());
      EXPECT_FALSE(timer.Minimized);
      EXPECT_LT(ticks, 100);
    }
    TComponent::Free(window);
  }
}

// ---- the taskbar button ----

// A stand-in of the shell's taskbar in this process: the window chain the button search
// walks, ending in a real tool bar whose buttons carry the windows they stand for.
class TFakeTaskbar {
public:
  TFakeTaskbar() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    for (const wchar_t* name : {L"Shell_TrayWnd", L"ReBarWindow32", L"MSTaskSwWClass"}) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = name;
      RegisterClassW(&wc);
    }
    Tray = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"Shell_TrayWnd", L"", WS_POPUP | WS_VISIBLE, 0, 980, 1280,
                           44, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND rebar = CreateWindowExW(0, L"ReBarWindow32", L"", WS_CHILD | WS_VISIBLE, 0, 0, 1280, 44, Tray, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    HWND tasks = CreateWindowExW(0, L"MSTaskSwWClass", L"", WS_CHILD | WS_VISIBLE, 100, 2, 1000, 40, rebar, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    Toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NODIVIDER, 10, 1, 900,
                              38, tasks, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(Toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  }
  ~TFakeTaskbar() { DestroyWindow(Tray); }
  // A button standing for Wnd (its data points at the window handle).
  void Add(HWND* Wnd, BYTE State, BYTE Style) {
    TBBUTTON b{};
    b.iBitmap = I_IMAGENONE;
    b.idCommand = 100 + static_cast<int>(SendMessageW(Toolbar, TB_BUTTONCOUNT, 0, 0));
    b.fsState = State;
    b.fsStyle = Style;
    b.dwData = reinterpret_cast<DWORD_PTR>(Wnd);
    b.iString = reinterpret_cast<INT_PTR>(L"task");
    SendMessageW(Toolbar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
  }
  HWND Tray = nullptr, Toolbar = nullptr;
};

TEST(TaskbarButton, FoundInTheTaskbarsMemoryAndEverythingOpenedThereIsReleased) {
  Application().Initialize();
  TFakeTaskbar taskbar;
  if (TaskbarWindow() != taskbar.Tray) GTEST_SKIP() << "another taskbar answers first";
  static HWND other = GetDesktopWindow();
  static HWND app = Application().Handle();
  taskbar.Add(&app, TBSTATE_ENABLED, BTNS_SEP);                     // a separator is skipped
  taskbar.Add(&app, TBSTATE_ENABLED | TBSTATE_HIDDEN, BTNS_BUTTON);  // so is a hidden button
  taskbar.Add(&other, TBSTATE_ENABLED, BTNS_BUTTON);
  taskbar.Add(&app, TBSTATE_ENABLED, BTNS_BUTTON);
  RECT item{};
  SendMessageW(taskbar.Toolbar, TB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&item));
  RECT tb{};
  GetWindowRect(taskbar.Toolbar, &tb);
  DWORD handlesBefore = 0, handlesAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
  const TRect r = GetTaskbarButtonRect();
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_EQ(r, (TRect{item.left + tb.left, item.top + tb.top, item.right + tb.left, item.bottom + tb.top}));
  EXPECT_EQ(handlesAfter, handlesBefore);
  // No button of the application: an empty rectangle, and again nothing left open.
  static HWND nobody = nullptr;
  TFakeTaskbar empty;
  empty.Add(&nobody, TBSTATE_ENABLED, BTNS_BUTTON);
  DestroyWindow(taskbar.Tray);
  taskbar.Tray = nullptr;
  if (TaskbarWindow() != empty.Tray) GTEST_SKIP() << "another taskbar answers first";
  GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
  EXPECT_TRUE(GetTaskbarButtonRect().IsEmpty());
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_EQ(handlesAfter, handlesBefore);
}

// ---- real forms ----

// A form whose own procedure (below the provider's) tells whether the caption cover is up
// while it handles a caption text change.
class TAnimForm : public TForm {
public:
  explicit TAnimForm(TComponent* owner) : TForm(owner) { HookWindowProc(this, MakeWndMethod<&TAnimForm::Proc>(this), &Saved); }
  std::wstring ClassName() const override { return L"TAnimForm"; }
  TsSkinProvider* P = nullptr;
  int TextChanges = 0, CoveredChanges = 0;

private:
  void Proc(TMessage& m) {
    if (m.Msg == WM_SETTEXT) {
      ++TextChanges;
      if (P && P->CaptForm && P->CaptForm->HandleAllocated() && IsWindowVisible(P->CaptForm->Handle())) ++CoveredChanges;
    }
    if (Saved) Saved(m);
  }
  TWndMethod Saved;
};

class FormAnimation : public TFormFrameTest<TAnimForm> {
protected:
  void Make(int x, int y, int w = 300, int h = 200) {
    Form = CreateComponent<TAnimForm>(nullptr);
    P = NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
    Form->P = P;
    Form->SetBounds(x, y, w, h);
    Form->Show();
    Form->SetBounds(x, y, w, h);
    PumpMessagesFor(50);
    ASSERT_TRUE(P->FCommonData->Skinned());
    Wnd = Form->Handle();
  }
  // Steps of the form timer, as its ticks would run them, until Done or a bound.
  template <class F>
  int Tick(TacMinTimer* timer, F done) {
    int ticks = 0;
    while (!done() && ticks < 2000) {
      timer->TimeHandler();
      ++ticks;
    }
    return ticks;
  }
  void SetUp() override {
    TFormFrameTest<TAnimForm>::SetUp();
    Forms = Screen().FormCount();
  }
  void TearDown() override {
    TFormFrameTest<TAnimForm>::TearDown();
    // Covers and caption covers go with their animations and forms.
    EXPECT_EQ(Screen().FormCount(), Forms);
  }
  TsSkinProvider* P = nullptr;
  HWND Wnd = nullptr;
  int Forms = 0;
};

TEST_F(FormAnimation, MinimizeAndRestoreEndWithTheFormVisibleOpaqueAndNotLayered) {
  TCompositionPin composition(true);
  M->AnimEffects.Minimizing.Active = true;
  M->Effects.AllowAnimation = true;
  for (int x : {200, 2}) {
    SCOPED_TRACE(x);
    Make(x, 150);
    TLayeredRecorder recorder;
    int restored = 0;
    Application().OnRestore = [&] { ++restored; };
    SendMessageW(Wnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    auto* timer = dynamic_cast<TacMinTimer*>(P->FormTimer);
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(IsIconic(Wnd));
    Tick(timer, [&] { return timer->Minimized; });
    EXPECT_TRUE(timer->Minimized);
    EXPECT_FALSE(P->FormState() & FS_ANIMMINIMIZING);
    ASSERT_NE(timer->SavedImage, nullptr);
    // The frames shrink and fade towards the taskbar.
    std::vector<TLayeredPush> frames = recorder.Pushes;
    ASSERT_GE(frames.size(), 2u);
    EXPECT_LT(frames.back().Alpha, frames.front().Alpha);

    SendMessageW(Wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_EQ(P->FormTimer, timer);
    EXPECT_TRUE(P->FormState() & FS_ANIMRESTORING);
    const int ticks = Tick(timer, [&] { return !timer->Minimized; });
    EXPECT_LT(ticks, 2000);
    EXPECT_FALSE(timer->Minimized);
    EXPECT_FALSE(P->FormState() & FS_ANIMRESTORING);
    EXPECT_FALSE(IsIconic(Wnd));
    EXPECT_TRUE(IsWindowVisible(Wnd));
    EXPECT_FALSE(GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(recorder.Pushes.back().Alpha, 255);
    EXPECT_EQ(restored, 1);
    Application().OnRestore = nullptr;
    TComponent::Free(Form);
    Form = nullptr;
    PumpMessages();
  }
}

// Maximized from the taskbar while the form's animation holds it minimized: the picture grows
// back first, and the form ends maximized, opaque and not layered.
TEST_F(FormAnimation, MaximizeOfAnAnimatedMinimizedFormRestoresThroughTheAnimation) {
  TCompositionPin composition(true);
  M->AnimEffects.Minimizing.Active = true;
  M->Effects.AllowAnimation = true;
  Make(200, 150);
  SendMessageW(Wnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  auto* timer = dynamic_cast<TacMinTimer*>(P->FormTimer);
  ASSERT_NE(timer, nullptr);
  Tick(timer, [&] { return timer->Minimized; });
  ASSERT_TRUE(timer->Minimized);
  SendMessageW(Wnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  ASSERT_EQ(P->FormTimer, timer);
  EXPECT_TRUE(P->FormState() & FS_ANIMRESTORING);
  EXPECT_FALSE(P->FormState() & FS_MAXIMIZING);
  EXPECT_LT(Tick(timer, [&] { return !timer->Minimized; }), 2000);
  EXPECT_TRUE(IsZoomed(Wnd));
  EXPECT_TRUE(IsWindowVisible(Wnd));
  EXPECT_FALSE(GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST_F(FormAnimation, MoveBlendFadesTheFormAndGivesItBackOpaque) {
  M->AnimEffects.BlendOnMoving.Active = true;
  M->AnimEffects.BlendOnMoving.Time = 1000;
  M->AnimEffects.BlendOnMoving.BlendValue = 170;
  Make(150, 150);
  StartBlendOnMoving(P, false);
  auto* timer = dynamic_cast<TacMoveTimer*>(P->FormTimer);
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(P->FormState() & FS_BLENDMOVING);
  EXPECT_EQ(timer->Interval(), 12u);
  std::vector<int> alphas;
  for (int tick = 1; tick <= 90; ++tick) {
    timer->TimeHandler();
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(Wnd, nullptr, &alpha, &flags));
    alphas.push_back(alpha);
  }
  EXPECT_EQ(alphas[0], 255);
  EXPECT_EQ(alphas[83], 170);
  EXPECT_EQ(alphas[84], 169);
  EXPECT_EQ(alphas[89], 169);
  StopBlendOnMoving(P);
  EXPECT_EQ(P->FormTimer, nullptr);
  EXPECT_FALSE(P->FormState() & FS_BLENDMOVING);
  EXPECT_FALSE(GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_TRUE(IsWindowVisible(Wnd));
}

TEST_F(FormAnimation, CaptionTextChangeIsCoveredWhileWindowsDrawsTheCaption) {
  for (bool composition : {false, true}) {
    SCOPED_TRACE(composition);
    TCompositionPin pin(composition);
    Make(120, 120);
    Form->TextChanges = Form->CoveredChanges = 0;
    SetWindowTextW(Wnd, composition ? L"Composed caption" : L"Plain caption");
    EXPECT_EQ(Form->TextChanges, 1);
    EXPECT_EQ(Form->CoveredChanges, 1);
    EXPECT_EQ(P->CaptForm, nullptr);  // gone after the change
    TComponent::Free(Form);
    Form = nullptr;
    PumpMessages();
  }
}

TEST_F(FormAnimation, ThumbnailRequestHandsTheFittedImageWithTheClientContent) {
  Make(100, 100, 400, 300);
  static std::vector<std::pair<SIZE, std::uint32_t>> handed;  // size, centre pixel
  handed.clear();
  SetDwmEntryOverride("DwmSetIconicThumbnail", reinterpret_cast<FARPROC>(+[](HWND, HBITMAP bmp, DWORD) -> HRESULT {
                        BITMAP info{};
                        GetObjectW(bmp, sizeof(info), &info);
                        std::uint32_t centre = 0;
                        if (info.bmBits && info.bmBitsPixel == 32) {
                          const auto* rows = static_cast<const std::uint8_t*>(info.bmBits);
                          // Bottom-up DIB: row y of the picture is row (height - 1 - y) in memory.
                          const int y = info.bmHeight / 2, x = info.bmWidth / 2;
                          std::memcpy(&centre, rows + static_cast<std::size_t>(info.bmHeight - 1 - y) * info.bmWidthBytes + x * 4,
                                      4);
                        }
                        handed.push_back({SIZE{info.bmWidth, info.bmHeight}, centre});
                        return S_OK;
                      }));
  struct TClear {
    ~TClear() { ClearDwmEntryOverrides(); }
  } clear;
  TBitmap* cache = P->FCommonData->FCacheBmp.get();
  ASSERT_NE(cache, nullptr);
  const int cw = cache->Width(), ch = cache->Height();
  const LRESULT answer = SendMessageW(Wnd, WM_DWMSENDICONICTHUMBNAIL, 0, MAKELPARAM(150, 200));  // at most 200 x 150
  EXPECT_EQ(answer, 1);
  ASSERT_EQ(handed.size(), 2u);  // the cache's image, then the full one
  int w = 200, h = 150;
  ASSERT_TRUE(FitThumbnailSize(w, h, cw, ch));
  for (const auto& [size, centre] : handed) {
    EXPECT_EQ(size.cx, w);
    EXPECT_EQ(size.cy, h);
  }
  // The full image carries the client part, opaque.
  EXPECT_EQ(handed.back().second >> 24, 255u);
  EXPECT_FALSE(P->FormState() & FS_THUMBDRAWING);
  // A zero side is not answered.
  EXPECT_EQ(SendMessageW(Wnd, WM_DWMSENDICONICTHUMBNAIL, 0, MAKELPARAM(150, 0)), 0);
  EXPECT_EQ(handed.size(), 2u);
}

TEST_F(FormAnimation, RescaleFramesGrowFromTheTopLeftAndEnd) {
  Make(100, 100, 400, 300);
  TLayeredRecorder recorder;
  RECT before{};
  GetWindowRect(Wnd, &before);
  P->StartScaleAnimation(144, false);
  ASSERT_NE(P->FScaleThread, nullptr);
  ASSERT_NE(P->FScaleThread->ThreadCoverForm, nullptr);
  HWND cover = P->FScaleThread->ThreadCoverForm->Handle();
  const DWORD end = GetTickCount() + 5000;
  while (!P->FScaleThread->Terminated() && static_cast<int>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    PumpMessages();
  }
  ASSERT_TRUE(P->FScaleThread->Terminated());
  // Every frame is half-way from the last towards the target, shown at the window's top-left.
  const int from = before.right - before.left, to = from * 144 / 96;
  std::vector<int> expected;
  for (int w = from; std::abs(w - to) > 2;) expected.push_back(w = ScaleStepSize(w, to));
  std::vector<int> widths;
  for (const TLayeredPush& push : recorder.To(cover)) {
    if (!push.HasPos) continue;  // the snapshot shown where the window is
    widths.push_back(push.Size.cx);
    EXPECT_EQ(push.Pos.x, before.left);
    EXPECT_EQ(push.Pos.y, before.top);
  }
  EXPECT_EQ(widths, expected);
  EXPECT_EQ(P->FScaleThread->NewAlphaBmp, nullptr);  // the frame went with the end
  EXPECT_FALSE(GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_FALSE(P->FCommonData->CtrlSkinState & 0x1000000u);
}

TEST_F(FormAnimation, FormDestroyedDuringARescaleTakesNoStepAfter) {
  Make(100, 100, 400, 300);
  TLayeredRecorder recorder;
  P->StartScaleAnimation(192, false);
  ASSERT_NE(P->FScaleThread, nullptr);
  HWND cover = P->FScaleThread->ThreadCoverForm ? P->FScaleThread->ThreadCoverForm->Handle() : nullptr;
  ASSERT_NE(cover, nullptr);
  // One step or two, then the form goes in the middle of the animation.
  const DWORD end = GetTickCount() + 2000;
  while (recorder.To(cover).size() < 3 && static_cast<int>(end - GetTickCount()) > 0) {
    // One step at a time: the thread sends the next only after this one was answered.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  ASSERT_FALSE(P->FScaleThread->Terminated());
  TComponent::Free(Form);
  Form = nullptr;
  const std::size_t pushes = recorder.Pushes.size();
  PumpMessagesFor(60);
  EXPECT_EQ(recorder.Pushes.size(), pushes);
  EXPECT_FALSE(IsWindow(cover));
}

}  // namespace
