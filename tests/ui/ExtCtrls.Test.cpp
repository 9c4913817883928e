#include <gtest/gtest.h>
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "support/ShellHarness.h"

namespace {
class TBlock : public TGraphicControl {
public:
  explicit TBlock(TComponent* owner, COLORREF colour) : TGraphicControl(owner), Colour(colour) {}
  void Paint(HDC dc) override {
    RECT r = {0, 0, Width(), Height()};
    HBRUSH b = CreateSolidBrush(Colour);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  COLORREF Colour;
};
}  // namespace

TEST(Align, ChildrenTakeTheirSidesInOrderWithMarginsAndHiddenOnesTakeNoRoom) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetClientSize(300, 200);
  auto* top = new TPanel(form);
  top->SetBounds(0, 0, 10, 20);
  top->SetAlign(alTop);
  top->SetParent(form);
  auto* left = new TPanel(form);
  left->SetBounds(0, 0, 50, 10);
  left->AlignWithMargins = true;
  left->Margins = TMargins{5, 6, 7, 8};
  left->SetAlign(alLeft);
  left->SetParent(form);
  auto* rest = new TBlock(form, RGB(255, 0, 0));
  rest->SetAlign(alClient);
  rest->SetParent(form);
  form->Handle();
  EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, 300, 20));
  EXPECT_EQ(left->BoundsRect(), Bounds(5, 26, 50, 166));
  EXPECT_EQ(rest->BoundsRect(), Bounds(62, 20, 238, 180));
  top->SetVisible(false);
  EXPECT_EQ(rest->BoundsRect(), Bounds(62, 0, 238, 200));
  EXPECT_EQ(left->BoundsRect(), Bounds(5, 6, 50, 186));

  // The graphic control paints on its parent's face, at its place.
  TBitmap bmp;
  bmp.SetPixelFormat(pf32bit);
  bmp.SetSize(300, 200);
  form->Perform(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(bmp.Canvas().Handle()), PRF_CLIENT | PRF_ERASEBKGND);
  EXPECT_EQ(bmp.Canvas().Pixel(100, 100), RGB(255, 0, 0));
  EXPECT_EQ(bmp.Canvas().Pixel(61, 100), static_cast<COLORREF>(ColorToRGB(clBtnFace)));
  TComponent::Free(form);
}

TEST(GridPanel, CellSizesShareTheRestByPercentAfterAbsoluteOnes) {
  struct Case {
    std::vector<TCellItem> Items;
    int Length;
    std::vector<int> Sizes;
  } cases[] = {
      {{{ssPercent, 39.13}, {ssPercent, 30.43}, {ssPercent, 30.43}}, 60, {23, 18, 19}},
      {{{ssPercent, 100}}, 290, {290}},
      {{{ssAbsolute, 40}, {ssPercent, 50}, {ssPercent, 50}}, 100, {40, 30, 30}},
      {{{ssAbsolute, 140}, {ssPercent, 100}}, 100, {140, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(TGridPanel::CellSizes(c.Items, c.Length), c.Sizes) << c.Length;
}

TEST(Timer, TicksThroughTheMessageLoopUntilDisabledOrFreed) {
  Application().Initialize();
  auto* timer = new TTimer(nullptr);
  int ticks = 0;
  timer->SetInterval(10);
  timer->SetOnTimer([&] { ++ticks; });
  EXPECT_TRUE(timer->Running());
  EXPECT_TRUE(WaitUntil([&] { return ticks >= 3; }, 5000));
  timer->SetEnabled(false);
  EXPECT_FALSE(timer->Running());
  int stopped = ticks;
  WaitUntil([] { return false; }, 100);
  EXPECT_EQ(ticks, stopped);
  // A handler may free its own timer.
  timer->SetOnTimer([&] {
    ++ticks;
    TComponent::Free(timer);
    timer = nullptr;
  });
  timer->SetEnabled(true);
  EXPECT_TRUE(WaitUntil([&] { return timer == nullptr; }, 5000));
  EXPECT_EQ(ticks, stopped + 1);
}
