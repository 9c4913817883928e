// The skinned labels: markup captions and links, text colours, and the title label's shadow,
// angle and bounds.
#include <gtest/gtest.h>

#include <cstdint>

#include "CommonHandlingFixtures.h"
#include "skin/controls/sLabel.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sSkinPalette.h"

namespace {

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

// Paints a label onto a white bitmap of its size.
std::unique_ptr<TBitmap> PaintLabel(TCustomLabel& label) {
  auto bmp = NewBitmap32(label.Width(), label.Height());
  PatBlt(bmp->Canvas().Handle(), 0, 0, label.Width(), label.Height(), WHITENESS);
  label.Paint(bmp->Canvas().Handle());
  GdiFlush();
  return bmp;
}

int CountPixels(TBitmap& bmp, bool (*test)(std::uint32_t)) {
  int n = 0;
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) n += test(PixelAt(bmp, x, y));
  return n;
}

}  // namespace

TEST(HtmlLabel, PlainCaptionTakesTagsOut) {
  struct Case {
    const wchar_t* Caption;
    const wchar_t* Plain;
  } cases[] = {
      {L"a <b>bold</b> word", L"a bold word"},
      {L"x<", L"x<"},                   // "<" as the last character
      {L"a>b<i>c", L"a>bc"},            // a ">" before the first "<" ends nothing
      {L"<a href=x>link", L"link"},
      {L"open <b", L"open <b"},         // no ">" after the "<"
      {L"", L""},
      {L"<><>", L""},
  };
  TsHTMLLabel label(nullptr);
  for (const Case& c : cases) {
    label.SetCaption(c.Caption);
    EXPECT_EQ(label.PlainCaption(), c.Plain) << c.Caption;
  }
}

TEST(HtmlLabel, ALinkRunsOnlyWhenReleasedOverALink) {
  TsHTMLLabel label(nullptr);
  label.SetBounds(0, 0, 100, 20);
  std::vector<std::wstring> opened;
  label.OpenLink = [&](const std::wstring& target, int show) {
    opened.push_back(target);
    EXPECT_EQ(show, SW_SHOWDEFAULT);
  };
  label.Links = {{Rect(0, 0, 10, 10), L"first"}, {Rect(20, 0, 30, 10), L"second"}};
  // Press on a link, leave every link, release: nothing runs, nothing stays pressed.
  label.Perform(WM_MOUSEMOVE, 0, At(5, 5));
  EXPECT_EQ(label.HotLink, 0);
  EXPECT_EQ(label.Cursor, crHandPoint);
  label.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  EXPECT_EQ(label.PressedLink, 0);
  label.Perform(WM_MOUSEMOVE, MK_LBUTTON, At(50, 5));
  EXPECT_EQ(label.HotLink, -1);
  EXPECT_EQ(label.Cursor, crDefault);
  label.Perform(WM_LBUTTONUP, 0, At(50, 5));
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(label.PressedLink, -1);
  // Press and release on the second link: it runs.
  label.Perform(WM_MOUSEMOVE, 0, At(25, 5));
  label.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(25, 5));
  label.Perform(WM_LBUTTONUP, 0, At(25, 5));
  EXPECT_EQ(opened, std::vector<std::wstring>{L"second"});
  // The handler may change the target or keep the default action from running.
  label.OnLinkClick = [](TComponent*, std::wstring& link, bool& def) {
    def = link != L"first";
    link = L"changed";
  };
  label.DoClick(0);
  label.DoClick(1);
  EXPECT_EQ(opened, (std::vector<std::wstring>{L"second", L"changed"}));
  // Leaving the label clears both states.
  label.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(25, 5));
  label.Perform(CM_MOUSELEAVE);
  EXPECT_EQ(label.HotLink, -1);
  EXPECT_EQ(label.PressedLink, -1);
}

TEST(EditLabel, ClearsTheEditsReferencesWhenItGoes) {
  TsBoundLabel bound;
  auto* label = new TsEditLabel(nullptr, &bound);
  bound.FActiveLabel = bound.FTheLabel = label;
  EXPECT_EQ(label->Owner(), nullptr);
  delete label;
  EXPECT_EQ(bound.FActiveLabel, nullptr);
  EXPECT_EQ(bound.FTheLabel, nullptr);
}

TEST(SkinnedLabel, TextColours) {
  THiddenParent parent;
  parent.Form->SetColor(0x00C0C0C0);
  TsLabel label(nullptr);
  label.SetParent(parent.Form);
  label.Font.Color = 0x0000FF;
  label.UseSkinColor = false;
  EXPECT_EQ(label.CurrentTextColor(), 0x0000FF);
  label.SetEnabled(false);
  // Disabled: the font colour blended with the parent's background by 100 of 255.
  EXPECT_EQ(static_cast<std::uint32_t>(label.CurrentTextColor()),
            BlendTwoColors(0x0000FF, static_cast<std::uint32_t>(ControlBkColor(parent.Form)), 100));
  label.SetParent(nullptr);

  // The title label: without any manager a disabled one keeps the framework's grey.
  TsLabelFX title(nullptr);
  title.Kind.SetKindType(ktCustom);
  title.Kind.SetColor(0x123456);
  EXPECT_EQ(title.CurrentTextColor(), 0x123456);
  title.SetEnabled(false);
  EXPECT_EQ(title.CurrentTextColor(), clGrayText);

  // Under an active skin the base label takes the palette's label colour, and disabled its
  // blend with the skin's main colour.
  TTestSkin skin({L"FORM"});
  skin.Manager->Palette[pcLabelText] = 0x202020;
  skin.Manager->Palette[pcMainColor] = 0xE0E0E0;
  TsCustomLabel base(nullptr);
  EXPECT_EQ(base.CurrentTextColor(), 0x202020);
  base.SetEnabled(false);
  EXPECT_EQ(static_cast<std::uint32_t>(base.CurrentTextColor()), BlendTwoColors(0x202020, 0xE0E0E0, 100));
}

TEST(LabelFX, ShadowExtentsByMode) {
  TsLabelFX label(nullptr);
  struct Case {
    TsShadowMode Mode;
    int Blur, Distance;
    int Lo, Hi;
  } cases[] = {
      {smSkin1, 4, 1, -3, 5},  // no skin: the shadow's own values (the defaults)
      {smCustom, 4, 1, -3, 5},
      {smCustom, 0, 2, 0, 2},
      {smCustom, 2, -4, -6, 0},
      {smNone, 4, 1, 0, 0},
  };
  for (const Case& c : cases) {
    label.Shadow.SetMode(c.Mode);
    label.Shadow.SetBlurCount(c.Blur);
    label.Shadow.SetDistance(c.Distance);
    const TacShadowData d = label.CurrentShadowData();
    EXPECT_EQ(d.Lo(), c.Lo) << c.Mode << " " << c.Blur << " " << c.Distance;
    EXPECT_EQ(d.Hi(), c.Hi) << c.Mode << " " << c.Blur << " " << c.Distance;
  }
}

TEST(LabelFX, ShadowIsDrawnOnlyWithABlurAndAColour) {
  TsLabelFX label(nullptr);
  label.SetBounds(0, 0, 120, 40);
  label.SetCaption(L"MMMM");
  label.Font.Height = -20;
  label.Kind.SetKindType(ktCustom);
  label.Kind.SetColor(0xFF0000);  // blue text
  label.Shadow.SetMode(smCustom);
  label.Shadow.SetColor(0x0000FF);  // red shadow
  label.Shadow.SetDistance(3);
  auto reddish = [](std::uint32_t p) { return ((p >> 16) & 0xFF) > 0xC0 && (p & 0xFF) < 0xE0 && ((p >> 8) & 0xFF) < 0xE0; };
  auto bluish = [](std::uint32_t p) { return (p & 0xFF) > 0x80 && ((p >> 16) & 0xFF) < 0x80; };
  struct Case {
    int Blur;
    TColor Colour;
    bool Shadow;
  } cases[] = {{2, 0x0000FF, true}, {0, 0x0000FF, false}, {2, clNone, false}, {300, 0x0000FF, true}};  // 300: past the passes one paint runs
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "blur " << c.Blur << " colour " << std::hex << c.Colour);
    label.Shadow.SetBlurCount(c.Blur);
    label.Shadow.SetColor(c.Colour);
    auto bmp = PaintLabel(label);
    EXPECT_GT(CountPixels(*bmp, bluish), 10);
    EXPECT_EQ(CountPixels(*bmp, reddish) > 10, c.Shadow);
  }
}

TEST(LabelFX, AngleEndsWordWrapAndWordWrapEndsTheAngle) {
  TsLabelFX label(nullptr);
  label.WordWrap = true;
  label.SetAngle(90);
  EXPECT_FALSE(label.WordWrap);
  EXPECT_EQ(label.Angle(), 90);
  label.WordWrap = true;
  label.Invalidate();
  EXPECT_EQ(label.Angle(), 0);
}

TEST(LabelFX, AdjustBoundsByAlignmentAndLayout) {
  struct Case {
    TAlignment Align;
    TTextLayout Layout;
    TRect Want;
  } cases[] = {
      {taLeftJustify, tlTop, Rect(7, 7, 7 + 108, 7 + 28)},
      {taRightJustify, tlBottom, Rect(7, 7, 7 + 108, 7 + 28)},
      {taCenter, tlCenter, Rect(6, 6, 6 + 108, 6 + 28)},
  };
  for (const Case& c : cases) {
    TsLabelFX label(nullptr);
    label.Alignment = c.Align;
    label.Layout = c.Layout;
    label.Shadow.SetMode(smCustom);  // blur 4, distance 1: extents -3 and 5
    label.SetBounds(10, 10, 100, 20);
    label.Shadow.OffsetKeeper = TacOffsetKeeper{0, 0};  // as if none were applied yet
    label.AdjustBounds();
    EXPECT_EQ(label.BoundsRect(), c.Want) << c.Align << " " << c.Layout;
    EXPECT_EQ(label.Shadow.OffsetKeeper.LeftTop, -3);
    EXPECT_EQ(label.Shadow.OffsetKeeper.RightBottom, 5);
    label.AdjustBounds();  // the extents are applied: nothing moves
    EXPECT_EQ(label.BoundsRect(), c.Want);
  }
  // A shadow change moves the label by the change of its extents.
  TsLabelFX label(nullptr);
  label.Shadow.SetMode(smCustom);
  label.SetBounds(10, 10, 100, 20);
  label.Shadow.SetBlurCount(6);  // extents -5 and 7
  EXPECT_EQ(label.BoundsRect(), Rect(8, 8, 8 + 104, 8 + 24));
}

TEST(LabelFX, BlurBufferGrowsToTwiceAndNeverShrinks) {
  TsLabelFX label(nullptr);
  auto mask = NewBitmap32(1, 1);
  PatBlt(mask->Canvas().Handle(), 0, 0, 1, 1, WHITENESS);
  GdiFlush();
  label.BlurMask(mask.get(), 3);
  EXPECT_EQ(label.MaskBitsSize(), 2u * 3 * 3);
  auto big = NewBitmap32(10, 4);
  PatBlt(big->Canvas().Handle(), 0, 0, 10, 4, BLACKNESS);
  PatBlt(big->Canvas().Handle(), 4, 1, 2, 2, WHITENESS);
  GdiFlush();
  label.BlurMask(big.get(), 1);
  EXPECT_EQ(label.MaskBitsSize(), 2u * 12 * 6);
  // One pass: ink cells become 255, then each inner cell the mean of its four neighbours,
  // in row order and in place.
  // Cell (4, 1): up 63 and left 63 (already averaged in this pass), down 255, right 255.
  EXPECT_EQ(label.MaskCell(4, 0), 255 >> 2);
  EXPECT_EQ(label.MaskCell(4, 1), (63 + 255 + 63 + 255) >> 2);
  EXPECT_GT(label.MaskCell(5, 2), 0);
  EXPECT_EQ(label.MaskCell(0, 0), 0);
  label.BlurMask(mask.get(), 1);
  EXPECT_EQ(label.MaskBitsSize(), 2u * 12 * 6);
}
