// The show animations of forms and dialogs on real windows under Xvfb: every push to the
// layered animation window is recorded, and a fake clock runs the frames at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "SkinStateFixtures.h"
#include "support/LayeredRecorder.h"
#include "support/MessagePump.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"

namespace {

constexpr TColor StandInColor = 0x00C08040;
constexpr std::uint32_t StandInPixel = 0x004080C0;  // the colour as the bitmap holds it (BGR)
constexpr int FormW = 320, FormH = 160;

// A borderless form stand-in in one flat colour whose provider holds a cache bitmap of the
// form's size in that colour (or none).
class TShowForm : public TSkinForm {
public:
  explicit TShowForm(TComponent* owner, bool cache = true) : TSkinForm(owner) {
    SetBorderStyle(bsNone);
    SetColor(StandInColor);
    SetClientSize(FormW, FormH);
    Provider = NewComponent<TsSkinProvider>(this);
    Answers[SKCMD_GET_PROVIDER] = reinterpret_cast<LRESULT>(Provider);
    // Asked for its image, the form hands over its cached look, as a skinned form does.
    OnMessage = [this](TMessage& m) {
      TBitmap* cache = Provider->FCommonData->FCacheBmp.get();
      if (SkinCommandOf(m.WParam) == SKCMD_FORM_IMAGE && cache && m.LParam)
        CopyBitmapPixels(reinterpret_cast<TBitmap*>(m.LParam), cache);
    };
    if (cache) {
      Provider->FCommonData->FCacheBmp = NewBitmap32(FormW, FormH);
      FillRectArgb(Provider->FCommonData->FCacheBmp.get(), Rect(0, 0, FormW, FormH), StandInColor, 255);
    }
    Provider->Rects = {Rect(0, 0, 3, 3), Rect(FormW - 3, 0, FormW, 3), Rect(0, FormH - 3, 3, FormH),
                       Rect(FormW - 3, FormH - 3, FormW, FormH)};
    Provider->OnAfterAnimation = [this](TacAnimEvent e) { Events.push_back(e); };
    Handle();
    SetBounds(200, 150, FormW, FormH);
  }
  std::wstring ClassName() const override { return L"TShowForm"; }
  TsSkinProvider* Provider;
  std::vector<TacAnimEvent> Events;
};

int ThreadWindows() {
  int count = 0;
  EnumThreadWindows(
      GetCurrentThreadId(), [](HWND, LPARAM l) -> BOOL { return ++*reinterpret_cast<int*>(l), TRUE; },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

bool Layered(HWND wnd) { return (GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }

std::uint8_t LayeredAlpha(HWND wnd) {
  BYTE alpha = 0;
  GetLayeredWindowAttributes(wnd, nullptr, &alpha, nullptr);
  return alpha;
}

// The recorder stamps each push with the fake clock's time without reading it.
struct TFramesOnAFakeClock {
  TFakeClock Clock{1000, 1};
  TLayeredRecorder Recorder;
  TFramesOnAFakeClock() {
    Recorder.Clock = [this] { return Clock.Now; };
  }
};

}  // namespace

TEST(ShowAnimation, TheShellsSettingZoomsAFormInFrameByFrame) {
  Application().Initialize();
  auto* f = CreateComponent<TShowForm>(nullptr);
  const int windowsBefore = ThreadWindows();
  AnimationInProgress = false;
  {
    TFramesOnAFakeClock run;
    AnimShowSkinForm(f->Provider, 100, 255, atAero);
    const std::vector<TLayeredPush>& p = run.Recorder.Pushes;
    // The first image at alpha 0, frames 0 to 8, the whole image at the form's alpha.
    ASSERT_EQ(p.size(), 11u);
    HWND anim = p[0].Wnd;
    EXPECT_NE(anim, f->Handle());
    // Placed over the form before the first frame.
    RECT form{};
    GetWindowRect(f->Handle(), &form);
    EXPECT_EQ(form.left, 200);
    EXPECT_EQ(p[1].WindowRect.left, form.left);
    EXPECT_EQ(p[1].WindowRect.top, form.top);
    EXPECT_EQ(p[1].WindowRect.right - p[1].WindowRect.left, FormW);
    for (const TLayeredPush& push : p) {
      EXPECT_EQ(push.Wnd, anim);
      ASSERT_EQ(push.Size.cx, FormW);
      ASSERT_EQ(push.Size.cy, FormH);
      // The corners of the skin are see-through in every push.
      for (TPoint c : {TPoint{0, 0}, TPoint{FormW - 1, 0}, TPoint{0, FormH - 1}, TPoint{FormW - 1, FormH - 1}})
        EXPECT_EQ(push.Pixel(c.X, c.Y) >> 24, 0u);
    }
    EXPECT_EQ(p[0].Alpha, 0);
    EXPECT_EQ(p[10].Alpha, 255);
    // 12 ms of waiting between frames, plus the frame's own reading of the clock.
    for (int k = 2; k <= 9; ++k) EXPECT_EQ(p[k].Tick - p[k - 1].Tick, 13u) << k;
    // Frame 0: inset by 1/32 (10 x 5 pixels), the ring around it see-through.
    const TLayeredPush& first = p[1];
    EXPECT_EQ(first.Pixel(5, 80) >> 24, 0u);
    EXPECT_EQ(first.Pixel(160, 2) >> 24, 0u);
    EXPECT_EQ(first.Pixel(160, 80), 0xFF000000u | StandInPixel);
    // The last frame is the whole image.
    EXPECT_EQ(p[9].Pixels, p[10].Pixels);
    EXPECT_EQ(p[10].Pixel(5, 80), 0xFF000000u | StandInPixel);
    EXPECT_FALSE(IsWindow(anim));  // the animation window is gone
  }
  EXPECT_TRUE(IsWindowVisible(f->Handle()));
  EXPECT_FALSE(Layered(f->Handle()));
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_EQ(f->Events, std::vector<TacAnimEvent>{aeShowing});
  EXPECT_EQ(ThreadWindows(), windowsBefore);
  TComponent::Free(f);
}

TEST(ShowAnimation, ModesAndFinalTransparency) {
  Application().Initialize();
  struct Row {
    TacAnimType Mode;
    int Time;
    bool AlphaBlend;
    std::vector<int> Alphas;  // of the pushes
  } rows[] = {
      {atFading, 120, false, {0, 26, 51, 76, 102, 128, 153, 178, 204, 230, 255, 255, 255}},
      {atFading, 11, false, {255, 255}},  // no frames in between
      {atFading, 60, true, {0, 40, 80, 120, 160, 200, 200, 200}},
      {atDropDown, 36, true, {0, 255, 255, 255, 255, 200}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.Mode << " " << r.Time);
    auto* f = CreateComponent<TShowForm>(nullptr);
    if (r.AlphaBlend) {
      f->SetAlphaBlend(true);
      f->SetAlphaBlendValue(200);
    }
    const std::uint8_t alpha = r.AlphaBlend ? 200 : 255;
    {
      TFramesOnAFakeClock run;
      AnimShowSkinForm(f->Provider, r.Time, alpha, r.Mode);
      std::vector<int> alphas;
      for (const TLayeredPush& p : run.Recorder.Pushes) alphas.push_back(p.Alpha);
      EXPECT_EQ(alphas, r.Alphas);
    }
    EXPECT_TRUE(IsWindowVisible(f->Handle()));
    EXPECT_EQ(Layered(f->Handle()), r.AlphaBlend);
    if (r.AlphaBlend) EXPECT_EQ(LayeredAlpha(f->Handle()), 200);
    EXPECT_FALSE(AnimationInProgress);
    TComponent::Free(f);
  }
}

TEST(ShowAnimation, WithoutACacheBitmapNothingIsPlayedAndNoWindowIsLeft) {
  Application().Initialize();
  auto* f = CreateComponent<TShowForm>(nullptr, false);
  const int windowsBefore = ThreadWindows();
  {
    TFramesOnAFakeClock run;
    AnimShowSkinForm(f->Provider, 100, 255, atAero);
    EXPECT_TRUE(run.Recorder.Pushes.empty());
  }
  EXPECT_EQ(ThreadWindows(), windowsBefore);
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_TRUE(f->Events.empty());
  TComponent::Free(f);
}

TEST(ShowAnimation, AFailingFrameLeavesNoWindowAndTheFlagAsItWas) {
  Application().Initialize();
  auto* f = CreateComponent<TShowForm>(nullptr);
  const int windowsBefore = ThreadWindows();
  for (bool before : {false, true}) {
    AnimationInProgress = before;
    TLayeredRecorder recorder;
    int reads = 0;
    SetTickCountSource([&reads]() -> DWORD {
      if (++reads > 3) throw std::runtime_error("clock gone");
      return 1000;
    });
    EXPECT_THROW(AnimShowSkinForm(f->Provider, 100, 255, atAero), std::runtime_error);
    SetTickCountSource(nullptr);
    EXPECT_EQ(AnimationInProgress, before);
    EXPECT_EQ(ThreadWindows(), windowsBefore);
    EXPECT_FALSE(recorder.Pushes.empty());
  }
  AnimationInProgress = false;
  TComponent::Free(f);
}

TEST(ShowAnimation, ABorderFormsWindowPlaysTheFramesAndStays) {
  Application().Initialize();
  auto* f = CreateComponent<TShowForm>(nullptr);
  TacBorderForm border;
  auto* borderWindow = CreateComponent<TacGlowForm>(nullptr);
  border.AForm = borderWindow;
  f->Provider->BorderForm = &border;
  {
    TFramesOnAFakeClock run;
    AnimShowSkinForm(f->Provider, 48, 255, atFading);
    ASSERT_EQ(run.Recorder.Pushes.size(), 7u);  // first, frames 0 to 4, whole
    for (const TLayeredPush& p : run.Recorder.Pushes) EXPECT_EQ(p.Wnd, borderWindow->Handle());
  }
  EXPECT_TRUE(IsWindow(borderWindow->Handle()));  // the border form's window is kept
  EXPECT_EQ(border.AForm, borderWindow);
  EXPECT_FALSE(border.ExBorderShowing);
  EXPECT_TRUE(IsWindowVisible(f->Handle()));
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_EQ(f->Events, std::vector<TacAnimEvent>{aeShowing});
  f->Provider->BorderForm = nullptr;
  border.AForm = nullptr;  // freed here, not by the border form
  TComponent::Free(borderWindow);
  TComponent::Free(f);
}

namespace {

// A dialog handler stand-in over a real dialog window, with a flat-coloured cache.
class TShowDialog : public TacDialogWnd {
public:
  TsCommonData Data{nullptr, false};
  int PaintAlls = 0;
  TShowDialog() {
    SkinData = &Data;
    Data.FCacheBmp = NewBitmap32(200, 120);
    FillRectArgb(Data.FCacheBmp.get(), Rect(0, 0, 200, 120), StandInColor, 255);
    ArOR = {Rect(0, 0, 2, 2), Rect(198, 118, 260, 200)};  // the second reaches past the image
  }
  void PaintAll() override { ++PaintAlls; }
};

INT_PTR CALLBACK PlainDialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

HWND HiddenDialog() {
  struct {
    DLGTEMPLATE t;
    WORD menu, cls, title;
  } tpl{};
  tpl.t.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  tpl.t.cx = 100;
  tpl.t.cy = 60;
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &tpl.t, nullptr, PlainDialogProc, 0);
}

}  // namespace

TEST(ShowAnimation, ADialogFadesInAndIsShownAtTheEnd) {
  Application().Initialize();
  HWND dlg = HiddenDialog();
  ASSERT_TRUE(dlg);
  ASSERT_FALSE(IsWindowVisible(dlg));
  const int windowsBefore = ThreadWindows();
  TShowDialog handler;
  handler.CtrlHandle = dlg;
  {
    TFramesOnAFakeClock run;
    AnimShowSkinDialog(&handler, 120, 255, atFading);
    const std::vector<TLayeredPush>& p = run.Recorder.Pushes;
    ASSERT_EQ(p.size(), 13u);
    std::vector<int> alphas, expected{0};
    for (const TLayeredPush& push : p) alphas.push_back(push.Alpha);
    for (int k = 0; k <= 10; ++k) expected.push_back(RoundHalfEven((k + 1) * 255.0 / 11));
    expected.push_back(255);
    EXPECT_EQ(alphas, expected);
    EXPECT_EQ(p.back().Pixel(0, 0) >> 24, 0u);
    EXPECT_EQ(p.back().Pixel(199, 119) >> 24, 0u);
    EXPECT_EQ(p.back().Pixel(100, 60), 0xFF000000u | StandInPixel);
    EXPECT_FALSE(IsWindow(p[0].Wnd));
  }
  EXPECT_EQ(handler.PaintAlls, 1);
  EXPECT_TRUE(IsWindowVisible(dlg));
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_EQ(ThreadWindows(), windowsBefore);
  DestroyWindow(dlg);
}
