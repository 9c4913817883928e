// The hints component under Xvfb: its role as the application's hint machinery, templates in
// streams and files, and template and skinned hints measured, composed, shown in their
// layered display window, faded, slid and hidden.
#include <gtest/gtest.h>

#include "support/MessageBoxCloser.h"
#include "PixelFixtures.h"
#include "ReaderFixtures.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"
#include "support/ShellHarness.h"

namespace {

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

// A hints component in charge, the mouse far from everything it shows.
struct THints {
  TsAlphaHints Hints{nullptr};
  explicit THints(bool Animated = false) {
    Application().Initialize();
    SetCursorPos(1270, 1010);
    Hints.Animated = Animated;
    Hints.Loaded();
  }
};

std::uint32_t Px(TBitmap* b, int x, int y) { return fixtures::Px(b, x, y); }

bool Premultiplied(TBitmap* b) {
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x) {
      const std::uint32_t p = Px(b, x, y), a = p >> 24;
      if (((p >> 16) & 0xFF) > a || ((p >> 8) & 0xFF) > a || (p & 0xFF) > a) return false;
    }
  return true;
}

bool HasDropShadow(TWinControl* w) { return (GetClassLongPtrW(w->Handle(), GCL_STYLE) & CS_DROPSHADOW) != 0; }

TEST(AlphaHints, TheComponentInChargeSwitchesTheApplicationsHintWindow) {
  Application().Initialize();
  const int savedHide = Application().HintHidePause;
  {
    TsAlphaHints first(nullptr);
    EXPECT_EQ(first.MaxWidth, 120);
    EXPECT_EQ(first.PauseHide(), 5000);
    EXPECT_TRUE(first.Animated);
    EXPECT_FALSE(first.HTMLMode);
    EXPECT_EQ(first.SkinSection(), L"HINT");
    EXPECT_EQ(ActiveAlphaHints, nullptr);
    first.Loaded();
    EXPECT_EQ(ActiveAlphaHints, &first);
    EXPECT_EQ(Application().HintHidePause, 5000);
    EXPECT_TRUE(Application().OnShowHint);
    THintWindow* w = Application().HintWindowClass(nullptr);
    EXPECT_EQ(w->ClassName(), L"TacPngHintWindow");
    TComponent::Free(w);
    {
      TsAlphaHints second(nullptr);
      second.Loaded();
      EXPECT_EQ(ActiveAlphaHints, &second);
      second.SetActive(false);
      EXPECT_EQ(ActiveAlphaHints, nullptr);
      w = Application().HintWindowClass(nullptr);
      EXPECT_EQ(w->ClassName(), L"THintWindow");
      TComponent::Free(w);
      first.SetActive(true);
      EXPECT_EQ(ActiveAlphaHints, &first);
    }
    EXPECT_EQ(ActiveAlphaHints, &first);  // an inactive component leaves the one in charge
  }
  EXPECT_EQ(ActiveAlphaHints, nullptr);
  EXPECT_FALSE(Application().OnShowHint);
  THintWindow* w = Application().HintWindowClass(nullptr);
  EXPECT_EQ(w->ClassName(), L"THintWindow");
  TComponent::Free(w);
  Application().HintHidePause = savedHide;
}

TEST(AlphaHints, TemplateNamesImagesAndTheChoiceOfTemplate) {
  THints h;
  TsAlphaHints& a = h.Hints;
  int changes = 0;
  a.OnChange = [&](TComponent*) { ++changes; };
  TacHintTemplate* t = a.Templates().Add();
  t->Name = L"Balloon";
  a.Templates().Add()->Name = L"Other";
  const struct {
    const wchar_t* Name;
    int Index;
  } cases[] = {{L"balloon", 0}, {L"OTHER", 1}, {L"missing", -1}, {L"", -1}};
  for (const auto& c : cases) {
    a.SetTemplateName(c.Name);
    EXPECT_EQ(a.TemplateIndex(), c.Index) << static_cast<const void*>(c.Name);
    a.InitTemplate();
    EXPECT_EQ(CurrentHintTemplate, c.Index < 0 ? DefaultHintTemplate() : a.Templates().Items(c.Index));
    EXPECT_EQ(CurrentHintImage, &CurrentHintTemplate->ImageDefault());
  }
  // A new picture is cut at its middle; the change is told once.
  auto picture = fixtures::Filled(27, 20, 0xFF336699);
  changes = 0;
  t->ImageDefault().SetImage(picture.get());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(t->ImageDefault().BordersWidths, (TacBordersSizes{9, 13, 13, 9}));
  EXPECT_EQ(t->ImageDefault().ClientMargins, (TacBordersSizes{9, 13, 13, 9}));
  EXPECT_EQ(t->ImageDefault().ImageWidth(), 27);
  // A template of four images takes the image of the wanted corner.
  a.SetTemplateName(L"Balloon");
  t->Img_LeftBottom().SetImage(picture.get());
  t->Img_RightBottom().SetImage(picture.get());
  a.DefaultMousePos = mpRightBottom;
  a.InitTemplate();
  EXPECT_EQ(CurrentHintImage, &t->Img_RightBottom());
  // The default template: the program's picture and its slicing.
  TacHintTemplate* def = DefaultHintTemplate();
  EXPECT_EQ(def->ImageDefault().ImageWidth(), 27);
  EXPECT_EQ(def->ImageDefault().BordersWidths, (TacBordersSizes{10, 11, 14, 15}));
  EXPECT_EQ(def->Font.Height, -12);
  EXPECT_TRUE(def->SingleImage());
  // Another component takes settings and copies of the templates.
  TsAlphaHints copy(nullptr);
  a.AssignTo(copy);
  ASSERT_EQ(copy.Templates().Count(), 2);
  EXPECT_NE(copy.Templates().Items(0), t);
  EXPECT_EQ(copy.TemplateIndex(), 0);
  EXPECT_EQ(copy.DefaultMousePos, mpRightBottom);
  EXPECT_EQ(copy.Templates().Items(0)->Img_LeftBottom().ImageWidth(), 27);
}

TEST(AlphaHints, TemplatesGoThroughStreamsAndFiles) {
  THints h;
  TsAlphaHints& a = h.Hints;
  // The default template written (no template chosen): one image, flag "1", no corners.
  TMemoryStream s;
  a.SaveToStream(s);
  ASSERT_GT(s.Bytes().size(), 18u);
  EXPECT_EQ(s.Bytes().substr(0, 5), "OVhh1");
  TacHintTemplate* back = a.LoadFromStream(s);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(a.Templates().Count(), 1);
  EXPECT_TRUE(back->SingleImage());
  for (int i : {hiLeftBottom, hiRightBottom, hiRightTop}) EXPECT_TRUE(back->Images(i).Empty());
  EXPECT_EQ(back->ImageDefault().ImageData(), DefaultHintTemplate()->ImageDefault().ImageData());
  EXPECT_EQ(back->ImageDefault().ShadowSizes, (TacBordersSizes{5, 6, 7, 8}));
  // A system colour (negative) is stored as black; a picture without PNG bytes as a bitmap file.
  back->Name = L"mine";
  back->Font.Color = clInfoText;
  auto picture = fixtures::Filled(9, 7, 0x80402010);
  back->Img_LeftBottom().SetImage(picture.get());
  a.SetTemplateName(L"MINE");
  TMemoryStream four;
  a.SaveToStream(four);
  const auto data = ReadHintTemplateStream(four);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->FontColor, 0);
  EXPECT_FALSE(data->SingleImage());
  EXPECT_EQ(data->Images[hiLeftBottom].PictureKind, acHintPictureBmp);
  TacHintTemplate* again = a.LoadFromStream(four);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Img_LeftBottom().ImageWidth(), 9);
  EXPECT_EQ(Px(again->Img_LeftBottom().Image(), 3, 3), 0x80402010u);

  // Files: the name is cut at the first dot; a failing save keeps the old file whole.
  TTempFolder dir;
  const std::wstring file = dir / L"a.b.hint";
  a.SaveToFile(file);
  const int before = a.Templates().Count();
  TacHintTemplate* loaded = a.LoadFromFile(file);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Name, L"a");
  EXPECT_EQ(a.Templates().Count(), before + 1);
  const std::string old = ReadAllBytes(file);
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
  a.SetTemplateName(L"no such template");
  EXPECT_THROW(a.SaveToFile(file), Exception);
  EXPECT_EQ(ReadAllBytes(file), old);
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  a.SaveToFile(file);
  EXPECT_NE(ReadAllBytes(file), old);
}

TEST(AlphaHints, DamagedStreamsAddNoTemplate) {
  THints h;
  TsAlphaHints& a = h.Hints;
  TMessageBoxCloser closer;
  for (const auto& [name, outcome] : ReaderFixtureCases(L"hints\\cases.txt")) {
    SCOPED_TRACE(name);
    TMemoryStream s(ReaderFixtureBytes(L"hints\\" + AnsiToWide(name) + L".ovhh"));
    const int before = a.Templates().Count();
    TMessageBoxCloser::Text().clear();
    if (outcome == "error") {
      EXPECT_THROW(a.LoadFromStream(s), Exception);
      EXPECT_EQ(a.Templates().Count(), before);
    } else if (outcome == "unknown") {
      EXPECT_EQ(a.LoadFromStream(s), nullptr);
      EXPECT_EQ(a.Templates().Count(), before);
      EXPECT_NE(TMessageBoxCloser::Text().find(L"Unknown file format"), std::wstring::npos);
    } else {
      EXPECT_NE(a.LoadFromStream(s), nullptr);
      EXPECT_EQ(a.Templates().Count(), before + 1);
    }
  }
}

TEST(AlphaHints, TheArrowCornerFlipsAtTheMonitorsEdges) {
  THints h;
  TsAlphaHints& a = h.Hints;
  a.InitTemplate();
  auto* w = new TacPngHintWindow(&a);
  MONITORINFO mi{sizeof mi};
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
  const RECT m = mi.rcMonitor;
  const struct {
    const char* Name;
    TacMousePosition Default;
    TPoint At;
    TacMousePosition Corner;
  } cases[] = {
      {"middle", mpLeftTop, {400, 300}, mpLeftTop},
      {"bottom right", mpLeftTop, {m.right - 5, m.bottom - 5}, mpRightBottom},
      {"bottom", mpLeftTop, {400, m.bottom - 5}, mpLeftBottom},
      {"right", mpLeftTop, {m.right - 5, 300}, mpRightTop},
      {"top left asked from the bottom right", mpRightBottom, {m.left + 5, m.top + 5}, mpLeftTop},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    a.DefaultMousePos = c.Default;
    TRect r = Bounds(0, 0, 140, 60);
    EXPECT_EQ(w->GetArrowPos(r, c.At), c.Corner);
    EXPECT_EQ(r.Width(), 140);
    EXPECT_EQ(r.Height(), 60);
    // The body (the hint less its shadow) lies on the monitor.
    EXPECT_GE(r.Left + 6, m.left);
    EXPECT_GE(r.Top + 5, m.top);
    EXPECT_LE(r.Right - 7, m.right);
    EXPECT_LE(r.Bottom - 8, m.bottom);
  }
  TComponent::Free(w);
}

TEST(AlphaHints, ATemplateHintShowsThePremultipliedPictureWithItsShadow) {
  THints h;
  TsAlphaHints& a = h.Hints;
  a.ShowHint(Point(300, 200), L"A template hint", 0);
  ASSERT_NE(a.HintWindow, nullptr);
  ASSERT_NE(a.AnimWindow, nullptr);
  EXPECT_EQ(CurrentHintWindow, a.HintWindow);
  HWND display = a.AnimWindow->Handle();
  EXPECT_TRUE(IsWindowVisible(display));
  const LONG_PTR ex = GetWindowLongPtrW(display, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_LAYERED);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_NOACTIVATE);
  EXPECT_FALSE(HasDropShadow(a.AnimWindow));  // the template draws its own shadow
  EXPECT_EQ(a.AnimWindow->Tag, SkipSkinningTag);
  EXPECT_EQ(a.AnimWindow->LastOpacity, 255);
  RECT r{};
  GetWindowRect(display, &r);
  // The arrow corner (top-left of the body, inside the shadow) points at the point.
  EXPECT_EQ(r.left, 300 - 6);
  EXPECT_EQ(r.top, 200 - 5);
  EXPECT_EQ(TRect(Rect(r.left, r.top, r.right, r.bottom)), a.NewBounds);
  TBitmap* shown = a.OldAlphaBmp.get();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->Width(), r.right - r.left);
  EXPECT_EQ(a.AnimWindow->LastSize.cx, shown->Width());
  EXPECT_TRUE(Premultiplied(shown));
  const int w = shown->Width(), hh = shown->Height();
  EXPECT_EQ(Px(shown, 0, 0) >> 24, 0u);
  EXPECT_EQ(Px(shown, w / 2, hh / 2) >> 24, 255u);
  const std::uint32_t shadow = Px(shown, w - 4, hh - 5) >> 24;
  EXPECT_GT(shadow, 0u);
  EXPECT_LT(shadow, 255u);
  // The hint window takes the requests unseen: layered, without border.
  HWND hint = a.HintWindow->Handle();
  EXPECT_TRUE(GetWindowLongPtrW(hint, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_FALSE(GetWindowLongPtrW(hint, GWL_STYLE) & WS_BORDER);
  EXPECT_EQ(a.HintWindow->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_IS_SKINNED), 0), 1);
  a.HideAll();
  EXPECT_EQ(a.HintWindow, nullptr);
  EXPECT_EQ(a.AnimWindow, nullptr);
  EXPECT_FALSE(IsWindow(display));
}

TEST(AlphaHints, MaxWidthLimitsTheTextAndZeroTakesTheScreen) {
  THints h;
  TsAlphaHints& a = h.Hints;
  const std::wstring text = L"A long hint text that needs more than one row at the usual width of hints";
  int widths[2] = {};
  for (int i : {0, 1}) {
    a.MaxWidth = i == 0 ? 120 : 0;
    a.ShowHint(Point(100, 100), text, 0);
    ASSERT_NE(a.HintWindow, nullptr);
    widths[i] = a.NewBounds.Width();
    a.HideAll();
  }
  EXPECT_LE(widths[0], 120 + 11 + 16);
  EXPECT_GT(widths[1], 300);
}

TEST(AlphaHints, ShowHintHonoursARefusalAndTheHandlersText) {
  THints h;
  TsAlphaHints& a = h.Hints;
  bool allow = false;
  THintInfo seen;
  a.OnShowHint = [&](std::wstring& text, bool& canShow, THintInfo& info, TFrame*&) {
    canShow = allow;
    seen = info;
    text = L"Changed";
  };
  a.ShowHint(Point(300, 200), L"Original", 0);
  EXPECT_EQ(seen.HintPos, Point(300, 200));
  EXPECT_TRUE(a.AnimWindow == nullptr || !IsWindowVisible(a.AnimWindow->Handle()));
  allow = true;
  a.ShowHint(Point(300, 200), L"Original", 0);
  ASSERT_NE(a.HintWindow, nullptr);
  EXPECT_EQ(a.HintWindow->Text, L"Changed");
  ASSERT_NE(a.AnimWindow, nullptr);
  EXPECT_TRUE(IsWindowVisible(a.AnimWindow->Handle()));
}

TEST(AlphaHints, TheShowAnimationFadesInAndASecondHintCrossFadesFromTheFirst) {
  THints h(true);
  TsAlphaHints& a = h.Hints;
  a.ShowHint(Point(300, 200), L"First", 0);
  ASSERT_NE(a.ShowTimer, nullptr);
  ASSERT_NE(a.AnimWindow, nullptr);
  const int firstWidth = a.NewBounds.Width();
  int last = -1;
  for (int i = 0; i < 5; ++i) {
    a.ShowTimer->TimeHandler();
    EXPECT_GT(a.AnimWindow->LastOpacity, last);
    last = a.AnimWindow->LastOpacity;
  }
  EXPECT_EQ(last, 64);  // 5 of 20 steps of 255 / 20
  // A second, wider hint elsewhere while the first one still fades in.
  a.ShowHint(Point(500, 400), L"The second hint is wider", 0);
  ASSERT_NE(a.ShowTimer, nullptr);
  ASSERT_NE(a.OldAlphaBmp, nullptr);
  EXPECT_EQ(a.OldAlphaBmp->Width(), firstWidth);
  a.ShowTimer->TimeHandler();
  ASSERT_NE(a.NewWindow, nullptr);
  EXPECT_EQ(a.AnimWindow->LastSize.cx, firstWidth);  // the old image fades out ...
  EXPECT_EQ(a.NewWindow->LastSize.cx, a.NewBounds.Width());  // ... while the new one fades in
  EXPECT_EQ(a.AnimWindow->LastOpacity + a.NewWindow->LastOpacity, 255);
  RECT r1{}, r2{};
  GetWindowRect(a.AnimWindow->Handle(), &r1);
  EXPECT_GT(r1.left, 300 - 6);  // sliding towards the new place
  EXPECT_LT(r1.left, a.NewBounds.Left);
  for (int i = 0; i < 25 && a.ShowTimer->Enabled(); ++i) a.ShowTimer->TimeHandler();
  EXPECT_FALSE(a.ShowTimer->Enabled());
  EXPECT_EQ(a.NewWindow, nullptr);
  ASSERT_NE(a.AnimWindow, nullptr);
  GetWindowRect(a.AnimWindow->Handle(), &r2);
  EXPECT_EQ(r2.left, a.NewBounds.Left);
  EXPECT_EQ(r2.top, a.NewBounds.Top);
  EXPECT_EQ(a.AnimWindow->LastOpacity, 255);
  EXPECT_EQ(a.Blend, 0);
  EXPECT_EQ(a.OldAlphaBmp->Width(), a.NewBounds.Width());
  EXPECT_EQ(Application().HintPause, 100);  // hints follow one another quickly ...
  a.HideAll();
  ASSERT_TRUE(PumpUntil([&] { return Application().HintPause != 100; }));  // ... until none shows
  EXPECT_EQ(a.OldAlphaBmp, nullptr);
}

TEST(AlphaHints, TheHideTimerWaitsForTheMouseToLeaveOrForItsTime) {
  THints h;
  TsAlphaHints& a = h.Hints;
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsSingle);
  form->SetClientSize(200, 150);
  auto* panel = new TWinControl(form);
  panel->SetBounds(10, 10, 100, 100);
  panel->SetParent(form);
  form->Show();
  SetWindowPos(form->Handle(), HWND_TOPMOST, 100, 100, 0, 0, SWP_NOSIZE);
  SetForegroundWindow(form->Handle());
  PumpMessagesFor(100);
  POINT on{20, 20};
  ClientToScreen(panel->Handle(), &on);
  auto moveTo = [](POINT p) {
    SetCursorPos(p.x, p.y);
    PumpUntil([&] { return CursorPosition() == TPoint{p.x, p.y}; }, 2000);
  };
  moveTo(on);
  wchar_t cls[64] = {};
  GetClassNameW(WindowFromPoint(on), cls, 64);
  ASSERT_EQ(ControlUnderMouse(), panel) << on.x << "," << on.y << " " << WideToUtf8(cls);
  // 0: hidden 300 ms after the mouse has left the control, not before.
  a.ShowHint(Point(600, 400), L"Stays while the mouse does", 0);
  EXPECT_EQ(a.HintTimeCtrl, panel);
  PumpMessagesFor(700);
  EXPECT_NE(a.HintWindow, nullptr);
  moveTo(POINT{1270, 1010});
  EXPECT_TRUE(PumpUntil([&] { return a.HintWindow == nullptr; }, 2000));
  EXPECT_EQ(a.AnimWindow, nullptr);
  // A time: hidden after it, the mouse still on the control.
  moveTo(on);
  a.ShowHint(Point(600, 400), L"Goes after its time", 200);
  ASSERT_NE(a.HintWindow, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return a.HintWindow == nullptr; }, 2000));
  EXPECT_EQ(ControlUnderMouse(), panel);
  SetCursorPos(1270, 1010);
  TComponent::Free(form);
}

TEST(AlphaHints, RepeatedHintsAndTeardownHandOnOnlyLiveImages) {
  Application().Initialize();
  for (bool animated : {false, true}) {
    SCOPED_TRACE(animated);
    THints h(animated);
    TsAlphaHints& a = h.Hints;
    for (int i = 0; i < 6; ++i) {
      a.ShowHint(Point(200 + 10 * i, 200), i % 2 ? L"odd" : L"an even hint", 0);
      if (a.ShowTimer) a.ShowTimer->TimeHandler();
      if (i % 3 == 2) a.HideHint();
      if (a.OldAlphaBmp) {
        // Every image handed on is whole: its pixels can be read to the last one.
        TBitmap* b = a.OldAlphaBmp.get();
        ASSERT_GT(b->Width(), 0);
        EXPECT_LE(Px(b, b->Width() - 1, b->Height() - 1) >> 24, 255u);
      }
    }
    TacPngHintWindow* w = a.HintWindow;
    if (w) {
      DestroyWindow(w->Handle());  // destroyed behind the component's back ...
      a.ShowHint(Point(250, 250), L"again", 0);  // ... and made anew
      ASSERT_NE(a.HintWindow, nullptr);
      EXPECT_TRUE(IsWindow(a.HintWindow->Handle()));
    }
  }
  EXPECT_EQ(ActiveAlphaHints, nullptr);
  EXPECT_EQ(CurrentHintWindow, nullptr);
}

TEST(AlphaHints, ARecordDrivenHintPlacesItsImageAndCaption) {
  THints h;
  TsAlphaHints& a = h.Hints;
  auto image = fixtures::Filled(16, 16, 0xFF00FF00);
  TacShowHintData data;
  data.Width = 120;
  data.Height = 40;
  data.Position = Point(300, 300);
  data.Caption = L"Record";
  data.Image = image.get();
  data.ImageAlignment = 0;
  a.ShowHint(data, 0);
  ASSERT_NE(a.OldAlphaBmp, nullptr);
  const TacBordersSizes& m = DefaultHintTemplate()->ImageDefault().ClientMargins;
  EXPECT_EQ(a.NewBounds.Width(), 120 + m.Left() + m.Right());
  EXPECT_EQ(a.NewBounds.Height(), 40 + m.Top() + m.Bottom());
  // The image at the left of the content, vertically centred, opaque green.
  const std::uint32_t green = Px(a.OldAlphaBmp.get(), m.Left() + 8, m.Top() + 20);
  EXPECT_EQ(green & 0xFFFF00FF, 0xFF000000u);
  EXPECT_GE((green >> 8) & 0xFF, 0xF0u);
  EXPECT_EQ(a.TmpShowData.Width, 0);  // cleared once shown
}


// Dark, opaque pixels inside R of a composed hint: the text's ink.
int InkIn(TBitmap* b, const TRect& R) {
  int ink = 0;
  for (int y = std::max(R.Top, 0); y < std::min(R.Bottom, b->Height()); ++y)
    for (int x = std::max(R.Left, 0); x < std::min(R.Right, b->Width()); ++x) {
      const std::uint32_t p = Px(b, x, y);
      if ((p >> 24) == 255 && (p & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100) ++ink;
    }
  return ink;
}

TEST(AlphaHints, MarkupAndPlainTextHintsDrawTheirText) {
  THints h;
  TsAlphaHints& a = h.Hints;
  const TacBordersSizes& m = DefaultHintTemplate()->ImageDefault().ClientMargins;
  const struct {
    bool Html;
    const wchar_t* Text;
  } cases[] = {{false, L"Plain <b>text</b>"}, {true, L"Plain <b>text</b>"}};
  int widths[2] = {};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    a.HTMLMode = cases[i].Html;
    a.ShowHint(Point(300, 200), cases[i].Text, 0);
    ASSERT_NE(a.OldAlphaBmp, nullptr);
    TBitmap* img = a.OldAlphaBmp.get();
    widths[i] = img->Width();
    EXPECT_GT(InkIn(img, Rect(m.Left(), m.Top(), img->Width() - m.Right(), img->Height() - m.Bottom())), 20);
    a.HideAll();
  }
  EXPECT_LT(widths[1], widths[0]);  // the tags are not shown as text
}

TEST(AlphaHints, AFrameFromOnShowHintIsPaintedIntoTheHint) {
  THints h;
  TsAlphaHints& a = h.Hints;
  bool freed = false;
  struct TProbe : TWinControl {
    using TWinControl::TWinControl;
    bool* Freed = nullptr;
    ~TProbe() override {
      if (Freed) *Freed = true;
    }
  };
  a.OnShowHint = [&](std::wstring&, bool&, THintInfo&, TFrame*& frame) {
    auto* f = new TFrame(nullptr);
    f->SetBounds(0, 0, 60, 30);
    auto* child = new TProbe(f);
    child->Freed = &freed;
    child->SetBounds(5, 5, 20, 10);
    child->SetColor(0x0000FF);
    child->SetParent(f);
    frame = f;
  };
  a.ShowHint(Point(300, 200), L"ignored", 0);
  ASSERT_NE(a.HintFrame, nullptr);
  const TacBordersSizes& m = DefaultHintTemplate()->ImageDefault().ClientMargins;
  EXPECT_EQ(a.NewBounds.Width(), 60 + m.Left() + m.Right());  // the frame's size
  EXPECT_EQ(a.NewBounds.Height(), 30 + m.Top() + m.Bottom());
  const std::uint32_t p = Px(a.OldAlphaBmp.get(), m.Left() + 10, m.Top() + 10);
  EXPECT_EQ(p & 0xFF00FFFF, 0xFF000000u);  // the child's red, opaque
  EXPECT_GE((p >> 16) & 0xFF, 0xF0u);
  a.HideAll();
  EXPECT_EQ(a.HintFrame, nullptr);
  EXPECT_TRUE(freed);  // the frame is the component's: it goes with the hint
}

TEST(AlphaHints, TheApplicationsControlHintsGoThroughTheComponent) {
  THints h;
  TsAlphaHints& a = h.Hints;
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsSingle);
  form->SetClientSize(200, 150);
  auto* panel = new TWinControl(form);
  panel->SetBounds(10, 10, 100, 100);
  panel->SetParent(form);
  panel->Hint = L"From the panel";
  panel->ShowHint = true;
  form->Show();
  THintInfo seen;
  a.OnShowHint = [&](std::wstring& text, bool&, THintInfo& info, TFrame*&) {
    seen = info;
    text += L" (seen)";
  };
  ASSERT_TRUE(Application().ActivateHint(panel));
  EXPECT_EQ(seen.HintControl, panel);
  THintWindow* w = Application().HintWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->ClassName(), L"TacPngHintWindow");
  EXPECT_EQ(static_cast<TacPngHintWindow*>(w)->Text, L"From the panel (seen)");
  ASSERT_NE(a.AnimWindow, nullptr);
  EXPECT_TRUE(IsWindowVisible(a.AnimWindow->Handle()));
  EXPECT_EQ(a.AnimWindow->LastOpacity, 255);
  Application().CancelHint();
  EXPECT_EQ(a.AnimWindow, nullptr);
  TComponent::Free(form);
}

TEST(AlphaHints, RepaintingAShownHintRebuildsItsImage) {
  THints h;
  TsAlphaHints& a = h.Hints;
  a.ShowHint(Point(300, 200), L"Short", 0);
  ASSERT_NE(a.HintWindow, nullptr);
  ASSERT_TRUE(a.HintShowing);
  const std::unique_ptr<TBitmap> before = CloneBitmap32(a.OldAlphaBmp.get());
  a.OnShowHint = [&](std::wstring& text, bool&, THintInfo&, TFrame*&) { text = L"Other words"; };
  a.RepaintHint();
  EXPECT_EQ(a.HintWindow->Text, L"Other words");
  ASSERT_NE(a.OldAlphaBmp, nullptr);
  ASSERT_EQ(a.OldAlphaBmp->Width(), before->Width());  // the window keeps its size
  bool changed = false;
  for (int y = 0; y < before->Height() && !changed; ++y)
    for (int x = 0; x < before->Width() && !changed; ++x) changed = Px(before.get(), x, y) != Px(a.OldAlphaBmp.get(), x, y);
  EXPECT_TRUE(changed);
  EXPECT_EQ(a.AnimWindow->LastOpacity, 255);
}

TEST(AlphaHints, AutomaticPositionsAndHintsForAControl) {
  THints h;
  TsAlphaHints& a = h.Hints;
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(300, 200);
  auto* panel = new TWinControl(form);
  panel->SetBounds(20, 30, 120, 60);
  panel->SetParent(form);
  form->Show();
  SetWindowPos(form->Handle(), nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT pr{};
  GetWindowRect(panel->Handle(), &pr);
  // A control's direct hint points at its middle, a third of the way down.
  TPoint asked{};
  a.OnShowHint = [&](std::wstring&, bool&, THintInfo& info, TFrame*&) { asked = info.HintPos; };
  a.ShowHint(panel, L"For the panel", 0);
  EXPECT_EQ(asked, Point(pr.left + 60, pr.top + 20));
  a.OnShowHint = nullptr;
  a.HideAll();

  TacHintTemplate* t = a.Templates().Add();
  t->Name = L"auto";
  auto picture = fixtures::Filled(21, 21, 0xFF808080);
  for (int i = 0; i < 4; ++i) {
    t->Images(i).SetImage(picture.get());
    t->Images(i).ShadowSizes = TacBordersSizes{1, 2, 3, 4};  // top, left, right, bottom
  }
  t->ImageDefault().SetOffsetHorz(5);
  t->ImageDefault().SetOffsetVert(-7);
  a.SetTemplateName(L"auto");
  a.SetAutoAlignment(true);
  a.HintTimeCtrl = panel;
  const int midY = pr.top + (pr.bottom - pr.top) / 2;
  const struct {
    TacHintAlign Align;
    TacMousePosition Corner;
    TPoint Want;
  } cases[] = {
      {haHorzCenter, mpLeftTop, {pr.left + 60 + 2 + 5, pr.bottom + 1 - 7}},
      {haHorzCenter, mpRightBottom, {pr.left + 60 - 3, pr.top - 4}},
      {haVertCenter, mpLeftBottom, {pr.right + 2, midY - 4}},
      {haVertCenter, mpRightTop, {pr.left - 3, midY + 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Corner));
    t->HintAlign = c.Align;
    a.DefaultMousePos = c.Corner;
    a.InitTemplate();
    a.CheckAutoHintPos();
    EXPECT_EQ(a.FHintLocation, c.Want);
  }
  a.HintTimeCtrl = nullptr;
  TComponent::Free(form);
}

TEST(AlphaHints, TheDisplayWindowFollowsTheHintWindowAndHidingIsTold) {
  THints h;
  TsAlphaHints& a = h.Hints;
  int hidden = 0;
  a.OnHideHint = [&](TComponent* sender) {
    EXPECT_EQ(sender, &a);
    ++hidden;
  };
  a.ShowHint(Point(300, 200), L"Moves", 0);
  ASSERT_NE(a.HintWindow, nullptr);
  ASSERT_NE(a.AnimWindow, nullptr);
  const TSize size{a.NewBounds.Width(), a.NewBounds.Height()};
  SetWindowPos(a.HintWindow->Handle(), nullptr, 420, 330, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT r{};
  GetWindowRect(a.AnimWindow->Handle(), &r);
  EXPECT_EQ(r.left, 420);
  EXPECT_EQ(r.top, 330);
  EXPECT_EQ(a.NewBounds, Bounds(420, 330, size.cx, size.cy));
  EXPECT_EQ(hidden, 0);
  a.HideHint();
  EXPECT_EQ(hidden, 1);
  EXPECT_EQ(CurrentHintWindow, nullptr);
}

// Skinned hints: sections of the test skin chosen by name.
struct TSkinnedHints : THints {
  TsSkinManager* Manager;
  explicit TSkinnedHints(const wchar_t* Section, bool Animated = false) : THints(Animated) {
    Manager = CreateComponent<TsSkinManager>(nullptr);
    Manager->SetSkinDirectory(ReaderFixture(L"skins"));
    Manager->SetSkinName(L"Tarvel Test");
    Hints.UseSkinData = true;
    Hints.SetSkinSection(Section);
  }
  ~TSkinnedHints() {
    Hints.HideAll();
    TComponent::Free(Manager);
  }
};

TEST(AlphaHints, ASkinnedSectionFadesInToItsTransparencyWithinItsShape) {
  TSkinnedHints h(L"HINT30", true);
  TsAlphaHints& a = h.Hints;
  ASSERT_TRUE(h.Manager->IsActive());
  ASSERT_TRUE(a.Skinned());
  a.ShowHint(Point(300, 200), L"Skinned", 0);
  ASSERT_NE(a.ShowTimer, nullptr);
  ASSERT_NE(a.HintWindow, nullptr);
  EXPECT_GE(a.HintWindow->SkinIndex, 0);
  EXPECT_EQ(a.ShowTimer->Transparency, 77);
  EXPECT_TRUE(HasDropShadow(a.AnimWindow));  // the section draws no shadow of its own
  int last = -1, ticks = 0;
  while (a.ShowTimer->Enabled() && ticks < 30) {
    a.ShowTimer->TimeHandler();
    ++ticks;
    EXPECT_GE(a.AnimWindow->LastOpacity, last);
    last = a.AnimWindow->LastOpacity;
  }
  EXPECT_EQ(ticks, 20);
  EXPECT_EQ(last, 255 - 77);
  // The window region: the section's shape, its see-through corners left out.
  const int w = a.NewBounds.Width(), hh = a.NewBounds.Height();
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(a.HintWindow->Handle(), rgn), ERROR);
  const struct {
    int X, Y;
    bool Inside;
  } probes[] = {{0, 0, false}, {w - 1, 0, false}, {0, hh - 1, false}, {w - 1, hh - 1, false},
                {2, 2, true}, {w / 2, hh / 2, true}, {w / 2, 0, true}};
  for (const auto& p : probes) EXPECT_EQ(PtInRegion(rgn, p.X, p.Y) != 0, p.Inside) << p.X << "," << p.Y;
  DeleteObject(rgn);
  // The image: opaque body in the section's colours, clear outside the shape.
  TBitmap* img = a.OldAlphaBmp.get();
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(Px(img, 0, 0), 0u);
  EXPECT_EQ(Px(img, 2, 2) >> 24, 255u);
  EXPECT_EQ(Px(img, w / 2, 1), 0xFF805031u);  // the frame's side
}

TEST(AlphaHints, SkinnedSectionsThatDrawTheirOwnAlpha) {
  // The colour of the frame's side in tools/make_skin.py (0xRRGGBB).
  const struct {
    const wchar_t* Section;
    std::uint32_t Side;
    bool Outer;
  } cases[] = {{L"HINTCLEAR", 0x805032, false}, {L"HINTCLEARALPHA", 0x805033, false}, {L"HINTOUTER", 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<const void*>(c.Section));
    TSkinnedHints h(c.Section);
    TsAlphaHints& a = h.Hints;
    a.ShowHint(Point(300, 200), L"", 0);
    ASSERT_NE(a.AnimWindow, nullptr);
    EXPECT_FALSE(HasDropShadow(a.AnimWindow));  // the hint draws its own shadow or edge
    EXPECT_EQ(a.ShadowCalculated, c.Outer);
    TBitmap* img = a.OldAlphaBmp.get();
    ASSERT_NE(img, nullptr);
    EXPECT_TRUE(Premultiplied(img));
    const int w = img->Width(), hh = img->Height();
    EXPECT_EQ(Px(img, 0, 0) >> 24, 0u);  // a see-through corner, or the shadow's clear edge
    if (c.Outer) {
      EXPECT_EQ(Px(img, w / 2, hh / 2) >> 24, 255u);  // the body
      const std::uint32_t shadow = Px(img, w / 2, hh - 2) >> 24;  // below the body
      EXPECT_GT(shadow, 0u);
      EXPECT_LT(shadow, 255u);
    } else {
      EXPECT_EQ(Px(img, w / 2, hh / 2) >> 24, 0u);  // the body is fully transparent ...
      const std::uint32_t side = Px(img, w / 2, 1);  // ... and its frame opaque
      EXPECT_EQ(side >> 24, 255u);
      for (int shift : {0, 8, 16})
        EXPECT_NEAR(static_cast<int>((side >> shift) & 0xFF), static_cast<int>((c.Side >> shift) & 0xFF), 2);
    }
  }
}

}  // namespace
