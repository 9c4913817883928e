// The skin-change transition on real windows under Xvfb: the layered path (with and without a
// border form) with every push recorded, the plain cover path, and the cover window itself.
#include <gtest/gtest.h>

#include "SkinStateFixtures.h"
#include "support/LayeredRecorder.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAnimation.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sCommonData.h"
#include "platform/ui/ExtCtrls.h"

namespace {

constexpr TColor NewColor = 0x0030A050;
constexpr TColor OldColor = 0x00202080;
constexpr int FormW = 240, FormH = 120;

// A borderless form stand-in in one flat colour with a provider whose cache is that colour;
// it counts the redraws it is given back.
class TChangeForm : public TSkinForm {
public:
  explicit TChangeForm(TComponent* owner) : TSkinForm(owner) {
    SetBorderStyle(bsNone);
    SetColor(NewColor);
    SetClientSize(FormW, FormH);
    Provider = NewComponent<TsSkinProvider>(this);
    Answers[SKCMD_GET_PROVIDER] = reinterpret_cast<LRESULT>(Provider);
    // Asked for its image, the form hands over its cached look, as a skinned form does.
    OnMessage = [this](TMessage& m) {
      TBitmap* cache = Provider->FCommonData->FCacheBmp.get();
      if (SkinCommandOf(m.WParam) == SKCMD_FORM_IMAGE && cache && m.LParam)
        CopyBitmapPixels(reinterpret_cast<TBitmap*>(m.LParam), cache);
    };
    Provider->FCommonData->FCacheBmp = NewBitmap32(FormW, FormH);
    FillRectArgb(Provider->FCommonData->FCacheBmp.get(), Rect(0, 0, FormW, FormH), NewColor, 255);
    SetMessageHandler(WM_SETREDRAW, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                        if (m.WParam) ++RedrawsOn;
                        inherited(m);
                      }));
    Handle();
    SetBounds(300, 200, FormW, FormH);
    Show();
  }
  std::wstring ClassName() const override { return L"TChangeForm"; }
  TsSkinProvider* Provider;
  int RedrawsOn = 0;
};

// A border form stand-in: each new border window is a layered glow form.
class TStandInBorder : public TacBorderForm {
public:
  std::vector<TacGlowForm*> Made;
  void CreateNewForm() override {
    auto* w = CreateComponent<TacGlowForm>(nullptr);
    SetWindowLongPtrW(w->Handle(), GWL_EXSTYLE, WS_EX_LAYERED);
    Made.push_back(w);
    AForm = w;
  }
};

int ThreadWindows() {
  int count = 0;
  EnumThreadWindows(
      GetCurrentThreadId(), [](HWND, LPARAM l) -> BOOL { return ++*reinterpret_cast<int*>(l), TRUE; },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

struct TFramesOnAFakeClock {
  TFakeClock Clock{5000, 1};
  TLayeredRecorder Recorder;
  TFramesOnAFakeClock() {
    Recorder.Clock = [this] { return Clock.Now; };
  }
};

std::vector<int> AlphasOf(const std::vector<TLayeredPush>& pushes) {
  std::vector<int> out;
  for (const TLayeredPush& p : pushes) out.push_back(p.Alpha);
  return out;
}

}  // namespace

TEST(SkinChangeAnimation, WithoutBorderFormACoverFadesInTheNewLook) {
  Application().Initialize();
  auto* f = CreateComponent<TChangeForm>(nullptr);
  const int windowsBefore = ThreadWindows();
  AnimationInProgress = false;
  {
    TFramesOnAFakeClock run;
    AnimateSkinChange(f, 120, 255, true);
    const std::vector<TLayeredPush>& p = run.Recorder.Pushes;
    ASSERT_EQ(p.size(), 13u);  // the first image, frames 0 to 10, the whole image
    EXPECT_EQ(AlphasOf(p), (std::vector<int>{0, 26, 51, 76, 102, 128, 153, 178, 204, 230, 255, 255, 255}));
    for (const TLayeredPush& push : p) EXPECT_EQ(push.Wnd, p[0].Wnd);
    EXPECT_NE(p[0].Wnd, f->Handle());
    RECT form{};
    GetWindowRect(f->Handle(), &form);
    EXPECT_EQ(form.left, 300);
    EXPECT_EQ(p[1].WindowRect.left, form.left);  // the cover lies over the form
    EXPECT_EQ(p[1].WindowRect.bottom, form.bottom);
    // Zoomed: frame 0 inset by 1/32, the last whole.
    EXPECT_EQ(p[1].Pixel(3, 60) >> 24, 0u);
    EXPECT_EQ(p[1].Pixel(120, 60) >> 24, 255u);
    EXPECT_EQ(p[11].Pixels, p[12].Pixels);
    for (int k = 2; k <= 11; ++k) EXPECT_EQ(p[k].Tick - p[k - 1].Tick, 13u) << k;
    EXPECT_FALSE(IsWindow(p[0].Wnd));
  }
  EXPECT_EQ(SkinChangeCover(), nullptr);
  EXPECT_EQ(ThreadWindows(), windowsBefore);
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_EQ(f->RedrawsOn, 1);
  TComponent::Free(f);
}

TEST(SkinChangeAnimation, TheOldBorderStaysOpaqueForTwoThirdsAndIsFreed) {
  Application().Initialize();
  auto* f = CreateComponent<TChangeForm>(nullptr);
  TStandInBorder border;
  border.CreateNewForm();
  TacGlowForm* old = border.AForm ? static_cast<TacGlowForm*>(border.AForm) : nullptr;
  ASSERT_TRUE(old);
  HWND oldWnd = old->Handle();
  f->Provider->BorderForm = &border;
  f->Provider->CoverBmp = NewBitmap32(FormW, FormH);
  FillRectArgb(f->Provider->CoverBmp.get(), Rect(0, 0, FormW, FormH), OldColor, 255);
  {
    TFramesOnAFakeClock run;
    AnimateSkinChange(f, 300, 255, false);
    ASSERT_EQ(border.Made.size(), 2u);
    HWND newWnd = border.Made[1]->Handle();
    const std::vector<TLayeredPush> fresh = run.Recorder.To(newWnd), gone = run.Recorder.To(oldWnd);
    ASSERT_EQ(fresh.size(), 28u);  // first, frames 0 to 25, whole
    ASSERT_EQ(gone.size(), 26u);   // one per frame
    for (std::size_t k = 0; k < gone.size(); ++k) {
      const int newAlpha = fresh[k + 1].Alpha;
      if (newAlpha <= 170) EXPECT_EQ(gone[k].Alpha, 255) << k;
      else EXPECT_LT(gone[k].Alpha, 255) << k;
      // The old window shows the old image the skin change kept.
      EXPECT_EQ(gone[k].Pixel(10, 10) & 0xFFFFFFu, 0x802020u);
    }
    EXPECT_EQ(gone.back().Alpha, 0);
    EXPECT_EQ(fresh.back().Alpha, 255);
  }
  EXPECT_EQ(f->Provider->CoverBmp, nullptr);  // taken over and freed
  EXPECT_FALSE(IsWindow(oldWnd));
  EXPECT_EQ(border.AForm, border.Made[1]);
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_EQ(f->RedrawsOn, 1);
  f->Provider->BorderForm = nullptr;
  border.AForm = nullptr;  // freed here, not by the border form
  TComponent::Free(border.Made[1]);
  TComponent::Free(f);
}

TEST(SkinChangeAnimation, TimeZeroOnlyRedraws) {
  Application().Initialize();
  auto* f = CreateComponent<TChangeForm>(nullptr);
  const int windowsBefore = ThreadWindows();
  {
    TFramesOnAFakeClock run;
    AnimateSkinChange(f, 0, 255, false);
    EXPECT_EQ(AlphasOf(run.Recorder.Pushes), (std::vector<int>{255, 255}));  // no frames in between
    EXPECT_EQ(run.Clock.Reads, 0);                                          // and no waits
  }
  EXPECT_EQ(f->RedrawsOn, 1);
  EXPECT_EQ(ThreadWindows(), windowsBefore);
  EXPECT_FALSE(AnimationInProgress);
  // A form that is not shown plays nothing.
  f->Hide();
  TLayeredRecorder recorder;
  AnimateSkinChange(f, 120, 255, false);
  EXPECT_TRUE(recorder.Pushes.empty());
  EXPECT_EQ(f->RedrawsOn, 1);
  TComponent::Free(f);
}

TEST(SkinChangeAnimation, WithoutLayeredWindowsTheCoverCrossFadesAndIsFreed) {
  Application().Initialize();
  auto* f = CreateComponent<TChangeForm>(nullptr);
  const int windowsBefore = ThreadWindows();
  TUpdateLayeredWindowEntry saved = UpdateLayeredWindowEntry;
  UpdateLayeredWindowEntry = nullptr;
  {
    TFakeClock clock(100, 1);
    AnimateSkinChange(f, 240, 255, false);
    // Ten frames, each 24 ms after its own reading of the clock.
    EXPECT_EQ(clock.Reads, 10 * 25);
  }
  UpdateLayeredWindowEntry = saved;
  EXPECT_EQ(SkinChangeCover(), nullptr);
  EXPECT_EQ(SkinChangeCapture(), nullptr);
  EXPECT_EQ(ThreadWindows(), windowsBefore);
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_EQ(f->RedrawsOn, 1);
  EXPECT_TRUE(IsWindowVisible(f->Handle()));
  TComponent::Free(f);
}

TEST(SkinChangeAnimation, TheCoverWindowAndTheCapture) {
  Application().Initialize();
  auto* owner = CreateComponent<TForm>(nullptr);
  owner->SetFormStyle(fsStayOnTop);
  owner->SetBounds(50, 50, 100, 80);
  owner->Show();
  auto* w = NewComponent<TOutputWindow>(owner);
  EXPECT_EQ(w->Name.substr(0, 4), L"acOW");
  EXPECT_EQ(w->Caption(), w->Name);
  EXPECT_EQ(static_cast<std::uint32_t>(w->Color()), 0xFF00FFu);
  EXPECT_EQ(w->Tag, SkipSkinningTag);
  EXPECT_FALSE(w->Visible());
  HWND h = w->Handle();
  // Exactly a popup (the system adds WS_CLIPSIBLINGS to every top-level window).
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE)) & ~(WS_VISIBLE | WS_CLIPSIBLINGS),
            static_cast<DWORD>(WS_POPUP));
  EXPECT_NE(GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);  // after a topmost owner
  EXPECT_EQ(GetWindow(h, GW_OWNER), Application().Handle());
  EXPECT_EQ(SendMessageW(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(GetDC(h)), 0), 1);
  EXPECT_EQ(SendMessageW(h, WM_NCPAINT, 1, 0), 0);
  TComponent::Free(w);

  // The capture of a form: its size; the cover over its window rectangle.
  CaptureForSkinChange(owner);
  ASSERT_NE(SkinChangeCover(), nullptr);
  ASSERT_NE(SkinChangeCapture(), nullptr);
  EXPECT_EQ(SkinChangeCapture()->Width(), owner->Width());
  RECT r{}, c{};
  GetWindowRect(owner->Handle(), &r);
  GetWindowRect(SkinChangeCover()->Handle(), &c);
  EXPECT_EQ(c.left, r.left);
  EXPECT_EQ(c.bottom, r.bottom);
  EXPECT_TRUE(IsWindowVisible(SkinChangeCover()->Handle()));
  // The transition that follows plays on that cover (no layered windows: the cover path) and
  // frees it and the capture at its end.
  {
    TUpdateLayeredWindowEntry saved = UpdateLayeredWindowEntry;
    UpdateLayeredWindowEntry = nullptr;
    AnimateSkinChange(owner, 0, 255, false);
    UpdateLayeredWindowEntry = saved;
  }
  EXPECT_EQ(SkinChangeCover(), nullptr);
  EXPECT_EQ(SkinChangeCapture(), nullptr);
  TComponent::Free(owner);
}

TEST(SkinChangeAnimation, PlaceAfterControlPutsTheWindowAboveTheControl) {
  Application().Initialize();
  auto* form = CreateComponent<TForm>(nullptr);
  form->SetBounds(50, 50, 200, 150);
  auto* a = NewComponent<TPanel>(form);
  auto* b = NewComponent<TPanel>(form);
  auto* cover = NewComponent<TPanel>(form);
  for (TWinControl* c : {static_cast<TWinControl*>(a), static_cast<TWinControl*>(b), static_cast<TWinControl*>(cover)})
    c->SetParent(form);
  form->Show();
  PlaceAfterControl(cover, a);
  EXPECT_EQ(form->Controls(), (std::vector<TControl*>{a, cover, b}));
  // In Z order directly below the child that now follows it.
  EXPECT_EQ(GetWindow(cover->Handle(), GW_HWNDPREV), b->Handle());
  // A control that is not among the children changes nothing.
  auto* stranger = NewComponent<TPanel>(nullptr);
  PlaceAfterControl(cover, stranger);
  EXPECT_EQ(form->Controls(), (std::vector<TControl*>{a, cover, b}));
  TComponent::Free(stranger);
  TComponent::Free(form);
}

TEST(SkinChangeAnimation, AFormWithoutNewImageKeepsNoOldImageBehind) {
  Application().Initialize();
  auto* f = CreateComponent<TChangeForm>(nullptr);
  TStandInBorder border;
  border.CreateNewForm();
  f->Provider->BorderForm = &border;
  f->Provider->FCommonData->FCacheBmp.reset();  // the new skin draws no frame
  const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 5; ++i) {
    f->Provider->CoverBmp = NewBitmap32(FormW, FormH);
    TLayeredRecorder recorder;
    AnimateSkinChange(f, 120, 255, false);
    EXPECT_TRUE(recorder.Pushes.empty());
    EXPECT_EQ(f->Provider->CoverBmp, nullptr);
  }
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
  EXPECT_EQ(border.Made.size(), 1u);  // the border window stays the border's
  EXPECT_FALSE(AnimationInProgress);
  f->Provider->BorderForm = nullptr;
  border.AForm = nullptr;  // freed here, not by the border form
  TComponent::Free(border.Made[0]);
  TComponent::Free(f);
}
