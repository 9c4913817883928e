// The arc gauge and the arc preloader: their pictures in the cache under a real window,
// their property writers, the animation step and its timer.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

#include "CommonHandlingFixtures.h"
#include "skin/controls/acArcControls.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinPalette.h"
#include "support/MessagePump.h"

namespace {

// 0x00RRGGBB of a TColor (system colours resolved).
std::uint32_t Rgb(TColor c) { return PixelOf(ColorToRGB(c)); }

bool Near(std::uint32_t a, std::uint32_t b, int tolerance = 3) {
  for (int shift = 0; shift < 24; shift += 8)
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
  return true;
}

// The ring over a background: the base colour through the grey mask BaseBlend.
std::uint32_t RingOver(std::uint32_t bg, std::uint32_t base, int blend) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int o = (bg >> shift) & 0xFF, c = (base >> shift) & 0xFF;
    out |= std::uint32_t((o * blend + c * (256 - blend)) >> 8) << shift;
  }
  return out;
}

// A shown form with an arc control on it; Paint renders the control into its cache.
template <class T>
struct TArcStage {
  THiddenParent Parent;
  T* Control;
  TArcStage() {
    // A form without a frame, shown: its client area is what it is given, and a repaint
    // asked for leaves an update region.
    Parent.Form->SetBorderStyle(bsNone);
    Parent.Form->SetBounds(0, 0, 300, 200);
    ShowWindow(Parent.Form->Handle(), SW_SHOWNOACTIVATE);
    Control = new T(Parent.Form);
    Control->SetParent(Parent.Form);
    Control->Handle();
  }
  TBitmap& Paint() {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, Control->Width(), Control->Height());
    HGDIOBJ old = SelectObject(dc, bmp);
    Control->PaintCached(dc);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return Control->Cache();
  }
  std::uint32_t Face() { return Rgb(Parent.Form->Color()); }
  // Whether the control asked for a repaint since the last call.
  bool Repainted() {
    HWND wnd = Control->Handle();
    const bool dirty = GetUpdateRect(wnd, nullptr, FALSE) != 0;
    ValidateRect(wnd, nullptr);
    return dirty;
  }
};

// Pixels of the cache's square that are not the background.
int InkCount(TBitmap& bmp, const TRect& r, std::uint32_t bg) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += !Near(PixelAt(bmp, x, y), bg, 8);
  return n;
}

}  // namespace

TEST(ArcGauge, DefaultPictureShowsRingArcAndValue) {
  TArcStage<TsArcGauge> stage;
  TsArcGauge* g = stage.Control;
  ASSERT_EQ(g->Width(), 82);
  ASSERT_EQ(g->Height(), 82);
  EXPECT_DOUBLE_EQ(g->SweepAngle(), 169.2);
  std::wstring text;
  g->OnGetPaintData = [&](TsArcGauge*, TacGaugePaintData& d) { text = d.AText; };
  TBitmap& cache = stage.Paint();
  EXPECT_EQ(text, L"47");
  const std::uint32_t face = stage.Face(), arc = Rgb(0xFF9122), ring = RingOver(face, Rgb(0x969696), 222);
  // The ring's pen is 6 pixels round the circle of radius 37 about (40, 40).
  struct Probe {
    int X, Y;
    std::uint32_t Want;
  } probes[] = {
      {40, 4, arc},    // the top, where the arc starts
      {77, 40, arc},   // 90 degrees on
      {66, 66, arc},   // 135 degrees on
      {40, 77, ring},  // 180 degrees on: past the 169.2 degrees of the arc
      {3, 40, ring},   // 270 degrees on
      {14, 14, ring},  // 315 degrees on
      {1, 1, face},    // outside the ring
      {25, 25, face},  // inside it, away from the text
  };
  for (const Probe& p : probes)
    EXPECT_TRUE(Near(PixelAt(cache, p.X, p.Y), p.Want)) << p.X << "," << p.Y << ": " << std::hex
                                                         << PixelAt(cache, p.X, p.Y) << " want " << p.Want;
  // The text "47" is drawn in the middle.
  EXPECT_GT(InkCount(cache, Rect(30, 30, 52, 52), face), 10);
}

TEST(ArcGauge, Int64WriterClampsStoresAndRepaintsOnChange) {
  TArcStage<TsArcGauge> stage;
  TsArcGauge* g = stage.Control;
  constexpr std::int64_t Lo = std::numeric_limits<std::int64_t>::min(), Hi = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t Big = std::int64_t{1} << 40;
  struct Case {
    int Index;
    std::int64_t Value;
    std::int64_t Min, Max, Progress;
    bool Repaint;
  } cases[] = {
      {12, 47, 0, 100, 47, false},                 // the stored value again
      {12, 150, 0, 100, 100, true},                // above Max: Max
      {12, 100, 0, 100, 100, false},               // the same after clamping
      {12, -5, 0, 100, 0, true},                   // below Min: Min
      {10, 20, 20, 100, 0, true},                  // Min moves, the stored progress stays
      {12, 10, 20, 100, 20, true},                 // clamped to the new Min
      {11, Big, 20, Big, 20, true},                // beyond 32 bits
      {12, Big - 1, 20, Big, Big - 1, true},       // kept whole
      {11, 10, 20, 10, Big - 1, true},             // Max below the progress: no re-clamp
      {13, 99, 20, 10, Big - 1, false},            // no such index
      {10, Lo, Lo, 10, Big - 1, true},
      {11, Hi, Lo, Hi, Big - 1, true},
      {12, 0, Lo, Hi, 0, true},
  };
  stage.Repainted();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "index " << c.Index << " value " << c.Value);
    g->SetInt64Prop(c.Index, c.Value);
    EXPECT_EQ(g->Min(), c.Min);
    EXPECT_EQ(g->Max(), c.Max);
    EXPECT_EQ(g->Progress(), c.Progress);
    EXPECT_EQ(stage.Repainted(), c.Repaint);
  }
  // The full range: half the ring, no overflow on the way.
  EXPECT_NEAR(g->SweepAngle(), 180.0, 1e-9);
  g->SetProgress(Hi);
  EXPECT_NEAR(g->SweepAngle(), 360.0, 1e-9);
  g->SetProgress(Lo);
  EXPECT_EQ(g->SweepAngle(), 0.0);
}

TEST(ArcGauge, LineWidthIsCappedAndAZeroWidthDrawsNoRing) {
  TArcStage<TsArcGauge> stage;
  TsArcGauge* g = stage.Control;
  struct Case {
    int Width, Pen;
  } cases[] = {{100, 41}, {41, 41}, {42, 41}, {6, 6}, {0, 0}, {-3, -3}};
  for (const Case& c : cases) EXPECT_EQ(g->EffectiveLineWidth(c.Width, 81), c.Pen) << c.Width;
  g->SetLineWidth(0);
  g->SetBoolProp(0, false);  // no text
  TBitmap& cache = stage.Paint();
  EXPECT_EQ(InkCount(cache, Rect(0, 0, 82, 82), stage.Face()), 0);
}

TEST(ArcGauge, TextSwitches) {
  TArcStage<TsArcGauge> stage;
  TsArcGauge* g = stage.Control;
  g->SetText(L"Gauge");
  std::wstring text;
  g->OnGetPaintData = [&](TsArcGauge*, TacGaugePaintData& d) { text = d.AText; };
  g->SetShowTextValue(false);
  stage.Paint();
  EXPECT_EQ(text, L"Gauge");
  g->SetProgress(0);  // no arc
  const int withText = InkCount(stage.Paint(), Rect(20, 20, 62, 62), stage.Face());
  g->SetBoolProp(0, false);
  const int withoutText = InkCount(stage.Paint(), Rect(20, 20, 62, 62), stage.Face());
  EXPECT_GT(withText, 10);
  EXPECT_EQ(withoutText, 0);
}

TEST(ArcGauge, ColoursWithAndWithoutSkin) {
  struct Case {
    bool Skin, Selection, Custom;
    TColor Base, Progress;
  };
  constexpr TColor Label = 0x123456, Hot = 0x0A0B0C;
  const Case cases[] = {
      {false, false, false, 0x969696, 0xFF9122},  // no skin: the properties
      {true, true, false, Label, Hot},            // the font colour and the hot "SELECTION" colour
      {true, false, false, Label, 0xFF9122},      // a skin without "SELECTION"
      {true, true, true, 0x969696, 0xFF9122},     // the custom-colour flag: the properties
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "skin " << c.Skin << " selection " << c.Selection << " custom " << c.Custom);
    std::unique_ptr<TTestSkin> skin;
    if (c.Skin) {
      skin = std::make_unique<TTestSkin>(std::initializer_list<const wchar_t*>{L"FORM"});
      if (c.Selection) {
        skin->Data().AddSection(L"SELECTION", -1, 2, 0, 0x777777, 0);
        skin->Data().gd.back().Props[1].Color = Hot;
      }
      skin->Manager->Palette[pcLabelText] = Label;
    }
    TArcStage<TsArcGauge> stage;
    stage.Control->SkinData()->SetCustomColor(c.Custom);
    TacGaugePaintData got{};
    stage.Control->OnGetPaintData = [&](TsArcGauge*, TacGaugePaintData& d) { got = d; };
    stage.Paint();
    EXPECT_EQ(got.ABaseColor, c.Base);
    EXPECT_EQ(got.AProgressColor, c.Progress);
    if (c.Skin) EXPECT_EQ(got.AFontColor, Label);
  }
}

TEST(ArcGauge, DefaultSectionIsTransparentPlusOne) {
  TArcStage<TsArcGauge> stage;
  TMessage m{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_DEFAULT_SECTION), 0, 0};
  {
    TTestSkin skin({L"FORM", L"PANEL", L"TRANSPARENT"});
    stage.Control->Perform(m.Msg, m.WParam, 0);
    EXPECT_EQ(stage.Control->Perform(m.Msg, m.WParam, 0), 3);
  }
  TTestSkin lacking({L"FORM"});
  EXPECT_EQ(stage.Control->Perform(m.Msg, m.WParam, 0), 0);
}

TEST(ArcPreloader, ProgressSteps) {
  struct Case {
    TacMotionType Motion;
    int Step, Ticks;
    int Angle;
  } cases[] = {
      {mtNormal, 4, 1, 4},
      {mtNormal, 4, 3, 12},
      {mtNormal, 200, 2, 40},            // reduced modulo 360
      {mtNormal, INT_MAX, 3, (INT_MAX % 360) * 3 % 360},  // no overflow however long it turns
      {mtAcceleration, 4, 1, 1 - 60},    // the first tick starts from 0, not -1.0
      {mtAcceleration, 4, 2, 2 - 60},    // 1 + 4/90 + 1 = 2.04
      {mtAcceleration, 45, 2, 2 - 60},   // 1 + 45/90 + 1 = 2.5: half to even
      {mtAcceleration, 135, 2, 4 - 60},  // 1 + 1.5 + 1 = 3.5: half to even
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "motion " << c.Motion << " step " << c.Step << " ticks " << c.Ticks);
    TsArcPreloader p(nullptr);
    p.MotionType = c.Motion;
    for (int i = 0; i < c.Ticks; ++i) p.DoProgress(L"", c.Step);
    EXPECT_EQ(p.ProgressAngle(), c.Angle);
  }
  // The accelerated motion wraps after 360 and starts again near 0.
  TsArcPreloader p(nullptr);
  p.MotionType = mtAcceleration;
  bool wrapped = false;
  double last = 0;
  for (int i = 0; i < 400; ++i) {
    p.DoProgress(L"", 4);
    EXPECT_LT(p.Progress(), 2 * 360.0);
    if (p.Progress() < last) wrapped = true;
    last = p.Progress();
  }
  EXPECT_TRUE(wrapped);
  // A new text replaces the control's text.
  p.DoProgress(L"x", 4);
  EXPECT_EQ(p.Text(), L"x");
}

TEST(ArcPreloader, TimerStartRules) {
  // Made at run time: the timer waits for Animated to be written.
  TsArcPreloader runtime(nullptr);
  EXPECT_EQ(runtime.Timer(), nullptr);
  runtime.SetAnimated(false);
  runtime.SetAnimated(true);
  ASSERT_NE(runtime.Timer(), nullptr);
  EXPECT_EQ(runtime.Timer()->Interval(), 12u);
  EXPECT_EQ(runtime.Timer()->Owner(), &runtime);
  EXPECT_TRUE(runtime.Animating());
  runtime.SetAnimated(false);
  EXPECT_FALSE(runtime.Animating());
  EXPECT_NE(runtime.Timer(), nullptr);  // stopped, kept
  // Made as a form definition makes it: Loaded starts it; hidden, it rests.
  auto* loaded = CreateComponent<TsArcPreloader>(nullptr);
  EXPECT_TRUE(loaded->Animating());
  loaded->SetVisible(false);
  EXPECT_FALSE(loaded->Animating());
  loaded->SetVisible(true);
  EXPECT_TRUE(loaded->Animating());
  TComponent::Free(loaded);
}

TEST(ArcPreloader, MasksComeFromTheResources) {
  ASSERT_NE(ArcMask(1), nullptr);
  EXPECT_EQ(ArcMask(1)->Width(), 128);
  EXPECT_EQ(ArcMask(1)->Height(), 128);
  EXPECT_EQ(ArcMask(2)->Width(), 127);
  EXPECT_EQ(ArcMask(2)->Height(), 127);
  EXPECT_EQ(ArcMask(3), nullptr);
}

TEST(ArcPreloader, MaskTypesDrawTheTintedMaskWithoutText) {
  TArcStage<TsArcPreloader> stage;
  TsArcPreloader* p = stage.Control;
  p->SetAnimated(false);
  p->Font.Color = 0x0000FF;  // red text, if any were drawn
  p->SetText(L"8888");
  p->SetColorProp(11, 0x00FF00);  // green line
  for (TacImageType type : {itMask1, itMask2}) {
    SCOPED_TRACE(int(type));
    p->SetImageType(type);
    TBitmap& cache = p->Cache();
    stage.Paint();
    int red = 0, green = 0;
    for (int y = 0; y < cache.Height(); ++y)
      for (int x = 0; x < cache.Width(); ++x) {
        const std::uint32_t px = PixelAt(cache, x, y);
        red += ((px >> 16) & 0xFF) > 0xC0 && ((px >> 8) & 0xFF) < 0x40;
        green += ((px >> 8) & 0xFF) > 0xA0 && ((px >> 16) & 0xFF) < 0x60 && (px & 0xFF) < 0x60;
      }
    EXPECT_EQ(red, 0);
    EXPECT_GT(green, 100);
  }
}

TEST(ArcPreloader, StretchBmpIsKeptBetweenFramesAndDroppedOnChanges) {
  TArcStage<TsArcPreloader> stage;
  TsArcPreloader* p = stage.Control;
  p->SetAnimated(false);
  p->SetImageType(itMask1);
  stage.Paint();
  ASSERT_NE(p->StretchBmp, nullptr);
  EXPECT_EQ(p->StretchBmp->Width(), 79);  // S - 2
  TBitmap* kept = p->StretchBmp.get();
  p->DoProgress(L"", 4);
  stage.Paint();
  EXPECT_EQ(p->StretchBmp.get(), kept);
  p->SetImageType(itMask2);
  EXPECT_EQ(p->StretchBmp, nullptr);
  stage.Paint();
  p->SetBoolProp(11, false);
  EXPECT_EQ(p->StretchBmp, nullptr);
  stage.Paint();
  EXPECT_EQ(p->StretchBmp, nullptr);  // not stretched: none made
  p->SetBoolProp(11, true);
  stage.Paint();
  ASSERT_NE(p->StretchBmp, nullptr);
  TBitmap image;
  image.SetPixelFormat(pf32bit);
  image.SetSize(4, 4);
  p->SetCustomImage(&image);
  EXPECT_EQ(p->StretchBmp, nullptr);
}

TEST(ArcPreloader, CustomImageBothPixelFormats) {
  struct Case {
    TPixelFormat Format;
    TColor Colour;
  } cases[] = {{pf32bit, 0x0000FF}, {pf24bit, 0x00FF00}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Format));
    TArcStage<TsArcPreloader> stage;
    TsArcPreloader* p = stage.Control;
    p->SetAnimated(false);
    TBitmap image;
    image.SetPixelFormat(c.Format);
    image.SetSize(40, 40);
    image.Canvas().Brush.Color = c.Colour;
    image.Canvas().FillRect(Rect(0, 0, 40, 40));
    if (c.Format == pf32bit) FillRectArgb(&image, Rect(0, 0, 40, 40), c.Colour, 255);
    p->SetCustomImage(&image);
    p->SetImageType(itCustomImage);
    TBitmap& cache = stage.Paint();
    EXPECT_TRUE(Near(PixelAt(cache, 40, 40), Rgb(c.Colour), 8)) << std::hex << PixelAt(cache, 40, 40);
    EXPECT_TRUE(Near(PixelAt(cache, 40, 10), Rgb(c.Colour), 8)) << std::hex << PixelAt(cache, 40, 10);
  }
  // An empty custom mask paints nothing over the background.
  TArcStage<TsArcPreloader> stage;
  stage.Control->SetAnimated(false);
  stage.Control->SetImageType(itCustomMask);
  EXPECT_EQ(InkCount(stage.Paint(), Rect(0, 0, 82, 82), stage.Face()), 0);
}
