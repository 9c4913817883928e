// Icon-font image lists: glyphs of our own icon font (registered from the test program's
// resources as the shell registers it) and of the system's "Marlett", rendered into alpha
// masks; the standard glyph list; embedded fonts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "skin/controls/acAlphaImageList.h"
#include "skin/handlers/acDials.h"
#include "skin/controls/acStdGlyphs.h"

namespace {

std::uint32_t PixelAt(TBitmap& bmp, int x, int y) {
  return *reinterpret_cast<std::uint32_t*>(bmp.Bits() + static_cast<std::ptrdiff_t>(y) * bmp.Stride() + 4 * x);
}

// The first row (from the top) with a pixel of alpha above 128; -1 when none.
int TopInkRow(TBitmap& bmp) {
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x)
      if ((PixelAt(bmp, x, y) >> 24) > 128) return y;
  return -1;
}

int InkPixels(TBitmap& bmp) {
  int n = 0;
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) n += (PixelAt(bmp, x, y) >> 24) > 128;
  return n;
}

TacCharItemData Glyph(wchar_t ch, double factor = 1.0, int offsetY = 0, const wchar_t* font = L"FontAwesome") {
  TacCharItemData d;
  d.Char = ch;
  d.ScalingFactor = factor;
  d.OffsetY = offsetY;
  d.FontName = font;
  return d;
}

TEST(CharImageList, TheIconFontIsRegisteredAtStartUp) { EXPECT_NE(IconFontHandle(), nullptr); }

TEST(CharImageList, InkBecomesTheGlyphColourWithAlphaFromItsDarkness) {
  const struct {
    std::uint32_t Drawn;
    std::uint32_t Alpha;
  } cases[] = {{0x000000, 255}, {0xFFFFFF, 0}, {0x808080, 127}, {0x00FF00, 170}};
  TBitmap bmp;
  bmp.SetPixelFormat(pf32bit);
  bmp.SetSize(4, 1);
  for (int i = 0; i < 4; ++i) *reinterpret_cast<std::uint32_t*>(bmp.Bits() + 4 * i) = cases[i].Drawn;
  GlyphAlphaFromInk(&bmp, 0x3366CC);  // 0x00BBGGRR
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(PixelAt(bmp, i, 0) >> 24, cases[i].Alpha) << i;
    EXPECT_EQ(PixelAt(bmp, i, 0) & 0xFFFFFF, 0xCC6633u) << i;
  }
}

TEST(CharImageList, CellHeightsRoundHalvesToEven) {
  EXPECT_EQ(GlyphCellHeight(14, 0.8), 11);
  EXPECT_EQ(GlyphCellHeight(10, 1.25), 12);  // 12.5
  EXPECT_EQ(GlyphCellHeight(10, 1.35), 14);  // 13.5
  TsCharImageList list(nullptr);
  list.SetHeight(24);
  list.SetWidth(24);
  list.AddItem(Glyph(0xF00C, 0.8, 2));
  EXPECT_EQ(ScaledImageHeight(&list, 0, 144), 31);  // Round(26 * 0.8) = 21 at 144 PPI
  EXPECT_EQ(ScaledImageWidth(&list, 0, 96), 19);
  EXPECT_EQ(ScaledImageHeight(&list, -1, 96), 24);
  list.FAllowScale = false;
  EXPECT_EQ(ScaledImageWidth(&list, 0, 192), 19);
}

TEST(CharImageList, AnOffsetMovesTheGlyphDownByItsScaledAmount) {
  TsCharImageList list(nullptr);
  list.SetWidth(16);
  list.SetHeight(14);
  list.AddItem(Glyph(0xF00C, 0.8, 0));
  list.AddItem(Glyph(0xF00C, 0.8, 2));
  TBitmap plain, moved;
  for (TBitmap* b : {&plain, &moved}) {
    b->SetPixelFormat(pf32bit);
    b->SetSize(16, 20);
  }
  list.RenderGlyph(&plain, 0, 0, 14);
  list.RenderGlyph(&moved, 1, 2, 14);
  ASSERT_GE(TopInkRow(plain), 0);
  EXPECT_EQ(TopInkRow(moved) - TopInkRow(plain), 2);
}

TEST(CharImageList, GetBitmap32OfAnotherSizeRendersIntoItAndAnswersTrue) {
  TsCharImageList list(nullptr);
  list.AddItem(Glyph(0xF111));
  TBitmap image;
  image.SetPixelFormat(pf32bit);
  image.SetSize(40, 40);
  EXPECT_TRUE(list.GetBitmap32(0, &image));
  EXPECT_GT(InkPixels(image), 200);
  EXPECT_TRUE(list.GetBitmap32(5, &image));  // a bad index changes nothing and still answers true
}

TEST(CharImageList, ScalingFactorsFromOutsideAreLimited) {
  TsCharImageList list(nullptr);
  list.AddItem(Glyph(0xF00C));
  TacCharListItem& item = *list.Items().GetItem(0);
  const struct {
    double In, Out;
  } cases[] = {{std::numeric_limits<double>::quiet_NaN(), 1.0}, {-3, 0}, {1e300, TacCharListItem::MaxScalingFactor}, {0.5, 0.5}};
  for (const auto& c : cases) {
    item.SetScalingFactor(c.In);
    EXPECT_EQ(item.ScalingFactor(), c.Out) << c.In;
  }
}

TEST(CharImageList, AZeroFactorIsRepairedOnLoadingAndLosesItsColour) {
  TsCharImageList list(nullptr);
  TacCharItemData d = Glyph(0xF00C);
  d.Color = 0x0000FF;
  list.AddItem(d);
  list.Items().GetItem(0)->SetScalingFactor(0);
  list.Loaded();
  const TacCharListItem& item = *list.Items().GetItem(0);
  EXPECT_GT(item.ScalingFactor(), 0.3);
  EXPECT_LE(item.ScalingFactor(), 1.0);
  EXPECT_EQ(item.Color(), clNone);
  EXPECT_EQ(FontHeightRatio(DEFAULT_CHARSET, L"FontAwesome"), item.ScalingFactor());
  EXPECT_GT(FontHeightRatio(DEFAULT_CHARSET, L""), 0.0);
}

TEST(CharImageList, AssigningNoEmbeddedFontsGivesTheIconFontItem) {
  TsCharImageList a(nullptr), b(nullptr);
  b.AddItem(Glyph(0xF067, 0.8, 2));
  a.Assign(&b);
  ASSERT_EQ(a.EmbeddedFonts().Count(), 1);
  EXPECT_EQ(a.EmbeddedFonts().GetItem(0)->FontName, L"FontAwesome");
  EXPECT_TRUE(a.EmbeddedFonts().GetItem(0)->FontData.Bytes().empty());
  EXPECT_EQ(a.EmbeddedFonts().GetItem(0)->Handle, nullptr);
  ASSERT_EQ(a.Count(), 1);
  EXPECT_EQ(a.Items().GetItem(0)->OffsetY(), 2);
  EXPECT_EQ(a.Items().GetItem(0)->ScalingFactor(), 0.8);
  EXPECT_EQ(a.FontIndex(L"fontawesome"), 0);
  EXPECT_EQ(a.FontIndex(L"Marlett"), -1);
  EXPECT_FALSE(a.AddEmbeddedFont(L"C:\\no\\such.ttf", L"None"));
}

TEST(CharImageList, EveryStandardGlyphRendersSomething) {
  TsCharImageList* std = StdGlyphList();
  ASSERT_NE(std, nullptr);
  ASSERT_EQ(std->Count(), StdGlyphCount);
  EXPECT_EQ(std->Width(), 16);
  EXPECT_EQ(std->Height(), 14);
  EXPECT_EQ(std->BkColor(), 0xFFFFFF);
  EXPECT_EQ(std->Items().GetItem(sgClose)->FontName(), L"Marlett");
  EXPECT_EQ(std->Items().GetItem(sgTick)->Char(), 0xF00C);
  for (int i = 0; i < StdGlyphCount; ++i) {
    const int w = ScaledImageWidth(std, i, 192), h = ScaledImageHeight(std, i, 192);
    std::unique_ptr<TBitmap> bmp(std->CreateBitmap32(i, w, h));
    ASSERT_TRUE(bmp) << i;
    EXPECT_GT(InkPixels(*bmp), 4) << "standard glyph " << i;
  }
}

}  // namespace
