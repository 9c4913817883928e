// The skinned panel: its default section by bevel, the background it gives its children, the
// side shadow, the erase and caption rules and the geometry of dock grab bars.
#include <gtest/gtest.h>

#include <cstdint>

#include "CommonHandlingFixtures.h"
#include "skin/controls/sPanel.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"

namespace {

// Sections for every bevel, each a colour of its own.
struct TPanelSkin : TTestSkin {
  TPanelSkin() : TTestSkin({L"FORM", L"TRANSPARENT", L"PANEL_LOW", L"PANEL", L"GROUPBOX"}) {
    const TColor colours[] = {0x101010, 0x202020, 0x303030, 0x405060, 0x505050};
    for (int i = 0; i < 5; ++i) Data().gd[i].Props[0].Color = Data().gd[i].Props[1].Color = colours[i];
    Data().gd[1].Props[0].Transparency = Data().gd[1].Props[1].Transparency = 100;
  }
};
constexpr std::uint32_t PanelPixel = 0x605040;  // "PANEL" as 0x00RRGGBB

// A panel whose window has a one-pixel border, so its client area is narrower than it.
class TFramedPanel : public TsPanel {
public:
  using TsPanel::TsPanel;

protected:
  void CreateParams(TCreateParams& params) override {
    TsPanel::CreateParams(params);
    params.Style |= WS_BORDER;
  }
};

template <class T = TsPanel>
T* NewPanel(TWinControl* parent, TBevelCut bevel = bvRaised) {
  auto* panel = NewComponent<T>(parent);
  panel->BevelOuter = bevel;
  panel->SetBounds(0, 0, 120, 40);
  panel->SetParent(parent);
  panel->Handle();
  panel->SkinData()->UpdateIndexes(true);
  return panel;
}

LRESULT DefaultSection(TControl* c) {
  return c->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_DEFAULT_SECTION), 0);
}

}  // namespace

TEST(SkinnedPanel, DefaultSectionFollowsTheBevel) {
  TPanelSkin skin;
  THiddenParent parent;
  auto* panel = NewPanel(parent.Form);
  struct Case {
    TBevelCut Bevel;
    const wchar_t* Section;
  } cases[] = {{bvNone, L"TRANSPARENT"}, {bvLowered, L"PANEL_LOW"}, {bvRaised, L"PANEL"}, {bvSpace, L"GROUPBOX"}};
  for (const Case& c : cases) {
    panel->BevelOuter = c.Bevel;
    EXPECT_EQ(DefaultSection(panel), skin.Data().GetSkinIndex(c.Section) + 1) << c.Section;
  }
  // A new bevel takes effect at the next CM_INVALIDATE.
  panel->BevelOuter = bvRaised;
  panel->Perform(CM_INVALIDATE);
  EXPECT_EQ(panel->SkinData()->SkinIndex, skin.Data().GetSkinIndex(L"PANEL"));
  panel->BevelOuter = bvLowered;
  EXPECT_EQ(panel->SkinData()->SkinIndex, skin.Data().GetSkinIndex(L"PANEL"));
  panel->Perform(CM_INVALIDATE);
  EXPECT_EQ(panel->SkinData()->SkinIndex, skin.Data().GetSkinIndex(L"PANEL_LOW"));
  // Without a manager the answer stays as it was.
  EXPECT_EQ(panel->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_IS_SKINNED), 0), 1);
}

TEST(SkinnedPanel, BackgroundOffsetsOfAFramedPanelSkipItsBevelsAndBorder) {
  TPanelSkin skin;
  THiddenParent parent;
  auto ask = [](TsCustomPanel* panel) {
    panel->BevelInner = bvLowered;
    panel->BevelWidth = 2;
    panel->BorderWidth = 3;
    EXPECT_TRUE(panel->PrepareCache());
    TacBGInfo info;
    info.R = Rect(0, 0, 10, 10);
    panel->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_BG_INFO), reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.BgType, btCache);
    return info.Offset;
  };
  const TPoint plain = ask(NewPanel(parent.Form));
  const TPoint framed = ask(NewPanel<TFramedPanel>(parent.Form));
  EXPECT_EQ(framed.X - plain.X, 2 * 2 + 3);
  EXPECT_EQ(framed.Y - plain.Y, 2 * 2 + 3);
}

TEST(SkinnedPanel, SideShadowAlongTheRightEdge) {
  TPanelSkin skin;
  THiddenParent parent;
  auto* panel = NewPanel(parent.Form);
  panel->SideShadow().SetMode(ssmInternal);
  ASSERT_TRUE(panel->PrepareCache());
  ASSERT_NE(panel->ShadowBmp, nullptr);
  EXPECT_EQ(panel->ShadowBmp->Width(), 6);
  EXPECT_EQ(panel->ShadowBmp->Height(), 40);
  auto alpha = [&](int x) { return static_cast<const std::uint8_t*>(panel->ShadowBmp->ScanLine(20))[x * 4 + 3]; };
  // Black fading in from the inner edge; the gradient's last column comes within a step of 48.
  EXPECT_GE(alpha(5), 40);
  EXPECT_LE(alpha(5), 48);
  EXPECT_LT(alpha(0), alpha(5));
  TBitmap& cache = *panel->SkinData()->FCacheBmp;
  EXPECT_EQ(PixelAt(cache, 60, 20), PanelPixel);
  EXPECT_NE(PixelAt(cache, 119, 20), PanelPixel);  // darkened
  // The same values again leave the shadow as it is; a new one drops it.
  TBitmap* kept = panel->ShadowBmp.get();
  panel->SideShadow().SetSide(asRight);
  panel->SideShadow().SetBlend(48);
  panel->SideShadow().SetMode(ssmInternal);
  EXPECT_EQ(panel->ShadowBmp.get(), kept);
  panel->SideShadow().SetBlend(60);
  EXPECT_EQ(panel->ShadowBmp, nullptr);
}

TEST(SkinnedPanel, EraseCopiesTheCacheOnlyWhenBothArgumentsAreTheDC) {
  TPanelSkin skin;
  THiddenParent parent;
  auto* panel = NewPanel(parent.Form);
  ASSERT_TRUE(panel->PrepareCache());
  auto target = NewBitmap32(120, 40);
  HDC dc = target->Canvas().Handle();
  auto fillWhite = [&] {
    PatBlt(dc, 0, 0, 120, 40, WHITENESS);
    GdiFlush();
  };
  fillWhite();
  EXPECT_EQ(panel->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  EXPECT_EQ(PixelAt(*target, 60, 20), 0xFFFFFFu);
  EXPECT_EQ(panel->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dc)), 1);
  EXPECT_EQ(PixelAt(*target, 60, 20), PanelPixel);
}

TEST(SkinnedPanel, CaptionIsCentredAndMovedDownByTheBorderWidth) {
  TPanelSkin skin;
  THiddenParent parent;
  auto* panel = NewPanel(parent.Form);
  panel->SetCaption(L"MMMM");
  panel->Font.Color = clBlack;
  panel->SkinData()->SetCustomFont(true);
  struct Case {
    int BorderWidth;
    int CentreY;
  } cases[] = {{0, 20}, {4, 24}};
  for (const Case& c : cases) {
    panel->BorderWidth = c.BorderWidth;
    ASSERT_TRUE(panel->PrepareCache());
    TBitmap& cache = *panel->SkinData()->FCacheBmp;
    int top = 40, bottom = -1, left = 120, right = -1;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 120; ++x)
        if (PixelAt(cache, x, y) != PanelPixel) {
          top = std::min(top, y), bottom = std::max(bottom, y);
          left = std::min(left, x), right = std::max(right, x);
        }
    ASSERT_GE(bottom, top);
    EXPECT_NEAR((left + right) / 2.0, 60, 3);
    EXPECT_NEAR((top + bottom) / 2.0, c.CentreY, 4) << c.BorderWidth;
  }
}

TEST(SkinnedPanel, GrabBarGeometry) {
  THiddenParent parent;
  auto* panel = NewPanel(parent.Form);
  TControl client(nullptr);
  client.SetBounds(10, 50, 100, 80);
  struct Case {
    const wchar_t* Tree;
    TRect Bar;
  } bars[] = {{L"TCaptionedDockTree", Rect(10, 27, 110, 50)}, {L"TDockTree", Rect(10, 38, 110, 50)}};
  for (const Case& c : bars) {
    TCustomPanel::DefaultDockTreeClassName = c.Tree;
    EXPECT_EQ(panel->GrabBarRect(&client), c.Bar) << c.Tree;
  }
  TCustomPanel::DefaultDockTreeClassName = L"TDockTree";
  const TRect bar = Rect(10, 27, 110, 50);
  EXPECT_EQ(TsCustomPanel::GrabCaptionRect(bar), Rect(15, 32, 87, 45));
  struct Glyph {
    int W, H;
    TRect Want;
  } glyphs[] = {
      {16, 16, Rect(91, 30, 107, 46)},  // fits: margins of 3
      {15, 17, Rect(92, 30, 107, 47)},
      {30, 46, Rect(95, 27, 110, 50)},  // twice the bar's height: halved, no margin
      {20, 30, Rect(95, 27, 110, 50)},  // scaled by 23/30: 15 x 23
  };
  for (const Glyph& g : glyphs) EXPECT_EQ(TsCustomPanel::GrabGlyphRect(bar, g.W, g.H), g.Want) << g.W << "x" << g.H;
}
