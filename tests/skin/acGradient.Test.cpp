// Skin gradients: the text parser, the painters (kept inside their rectangle whatever the
// percents), texture mixing, soft shadows and colour fades.
#include "skin/graphics/acGradient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "PixelFixtures.h"
#include "platform/runtime/Exceptions.h"

namespace {

using fixtures::Filled;
using fixtures::Px;

constexpr std::uint32_t Guard = 0x12345678;

TsGradArray Points(std::initializer_list<std::tuple<TsColor, int, int>> points) {
  TsGradArray g;
  for (const auto& [color, percent, mode] : points) {
    TsGradPoint p;
    p.Index = static_cast<std::uint16_t>(g.size());
    p.Color = color;
    p.Percent = static_cast<TPercent>(percent);
    p.Mode = mode;
    g.push_back(p);
  }
  return g;
}

// Every pixel outside Rect still holds the guard value.
void ExpectGuardsKept(TBitmap* bmp, const TRect& r, const std::string& what) {
  for (int y = 0; y < bmp->Height(); ++y)
    for (int x = 0; x < bmp->Width(); ++x) {
      const bool inside = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
      ASSERT_TRUE(inside || Px(bmp, x, y) == Guard) << what << " at " << x << "," << y;
    }
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

TEST(acGradient, ParsesBothLayouts) {
  struct Case {
    const wchar_t* Text;
    std::vector<std::tuple<TsColor, int, int>> Expected;  // colour, percent, mode
  } cases[] = {
      {L"255;0;0;16711680;100;0;B", {{255, 0, 0}, {16711680, 100, 0}}},
      // A GDI+ segment bit on any point asks for the GDI+ path on the first.
      {L"255;0;0;16711680;100;17;B", {{255, 0, 0x20}, {16711680, 100, 0x11}}},
      // Colours and modes are read in 64 bits, the low 32 kept; percents are clamped.
      {L"4294967295;-5;-1;$100000000;250;4294967312;B", {{0xFFFFFFFF, 0, -1}, {0, 100, 0x10}}},
      {L"255;0;0;A", {{255, 100, 0}}},
      // Old layout: the third field is the length of the following segment.
      {L"255;9;30;17;9;65280;9;30;0;9;16711680;9;40;0;0",
       {{0xFF0000FF, 0, 1}, {0xFF00FF00, 30, 0}, {0xFFFF0000, 100, 0}}},
      // A centre-and-corners gradient of the old layout is filled up to five points.
      {L"255;0;60;2;0;65280;0;40;0;0", {{0xFF0000FF, 0, 2}, {0xFF00FF00, 60, 0}, {0xFF00FF00, 60, 0},
                                         {0xFF00FF00, 60, 0}, {0xFF00FF00, 100, 0}}},
      {L"1;2B", {}},
      {L"12;0", {}},
      {L"1;2;3;@", {}},
  };
  for (const auto& c : cases) {
    const TsGradArray g = ParseGradientText(c.Text);
    ASSERT_EQ(g.size(), c.Expected.size()) << std::string(c.Text, c.Text + wcslen(c.Text));
    for (size_t i = 0; i < g.size(); ++i) {
      const auto& [color, percent, mode] = c.Expected[i];
      EXPECT_EQ(g[i].Color, color) << i;
      EXPECT_EQ(g[i].Percent, percent) << i;
      EXPECT_EQ(g[i].Mode, mode) << i;
    }
  }
}

TEST(acGradient, BadTextsRaiseTheConversionError) {
  for (const wchar_t* text : {L"255;0;0;16711680;100;0;?", L"255;x;0;16711680;100;0;B", L"255;0;0;16711680;C",
                              L"255;0;0;1;", L"255;0;0;16711680;100;0;9"})
    EXPECT_THROW(ParseGradientText(text), EConvertError) << std::string(text, text + wcslen(text));
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

TEST(acGradient, VerticalSegmentEndsOneStepShortOfItsEndColour) {
  auto bmp = Filled(6, 14, Guard);
  const TRect r = Rect(1, 2, 5, 12);
  PaintGradientArray(bmp.get(), r, Points({{0x000000, 0, 0}, {0xFFFFFF, 100, 0}}), 0, 0);
  ExpectGuardsKept(bmp.get(), r, "vertical");
  EXPECT_EQ(Px(bmp.get(), 1, 2), 0xFF000000u);
  EXPECT_EQ(Px(bmp.get(), 4, 3), 0xFF1A1A1Au);   // 25.5 rounded to the even 26
  EXPECT_EQ(Px(bmp.get(), 4, 11), 0xFFE6E6E6u);  // 229.5 to 230
}

TEST(acGradient, HorizontalSegmentEndsOnItsEndColourInsideRect) {
  auto bmp = Filled(14, 6, Guard);
  const TRect r = Rect(2, 1, 12, 5);
  PaintGradientArray(bmp.get(), r, Points({{0x000000, 0, 1}, {0x0000FF, 100, 1}}), 0, 0);
  ExpectGuardsKept(bmp.get(), r, "horizontal");
  for (int y = 1; y < 5; ++y) {
    EXPECT_EQ(Px(bmp.get(), 2, y), 0xFF000000u);
    EXPECT_EQ(Px(bmp.get(), 11, y), 0xFFFF0000u);  // red, the pixel order of 0x0000FF
  }
}

TEST(acGradient, SolidSegmentFillsItsRows) {
  auto bmp = Filled(4, 10, Guard);
  PaintGradientArray(bmp.get(), Rect(0, 0, 4, 10), Points({{0x0000FF, 0, 0}, {0x0000FF, 50, 0}, {0xFF0000, 100, 0}}),
                     0, 0);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(Px(bmp.get(), 3, y), 0xFFFF0000u) << y;
  EXPECT_EQ(Px(bmp.get(), 0, 5), 0xFFFF0000u);  // the next segment starts on its own colour
  EXPECT_EQ(Px(bmp.get(), 0, 9), 0xFF3300CCu);
}

TEST(acGradient, PercentsThatFallStayInsideRect) {
  const TRect r = Rect(3, 3, 13, 11);
  auto texture = fixtures::Noise(3, 3, 5);
  for (int mode : {0, 1, 0x10, 0x11}) {
    const TsGradArray g = Points({{0x0000FF, 100, mode}, {0x00FF00, 0, mode}, {0xFF0000, 50, mode}});
    auto plain = Filled(16, 14, Guard);
    PaintGradientArray(plain.get(), r, g, 0, 0);
    ExpectGuardsKept(plain.get(), r, "plain, mode " + std::to_string(mode));
    auto textured = Filled(16, 14, Guard);
    PaintGradientWithTexture(textured.get(), r, g, texture.get(), TRect{}, 128, 255);
    ExpectGuardsKept(textured.get(), r, "textured, mode " + std::to_string(mode));
    // A start offset cannot push a vertical gradient out either.
    auto shifted = Filled(16, 14, Guard);
    PaintGradientArray(shifted.get(), r, g, 0, -20);
    ExpectGuardsKept(shifted.get(), r, "offset, mode " + std::to_string(mode));
  }
}

TEST(acGradient, TextureIsMixedIntoEveryPixelExactly) {
  // A 3 x 3 texture given whole tiles by its top-left 2 x 2.
  auto texture = fixtures::Make(3, 3, {0x00102030, 0x00F0E0D0, 0, 0x00808080, 0x0000FF00, 0, 0, 0, 0});
  const std::uint8_t weight = 100, alpha = 200;
  for (int direction : {0, 1}) {
    auto bmp = Filled(5, 5, Guard);
    PaintGradientWithTexture(bmp.get(), Rect(0, 0, 5, 5), Points({{0x000000, 0, direction}, {0xFFFFFF, 100, direction}}),
                             texture.get(), TRect{}, weight, alpha);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) {
        const int k = direction == 0 ? y : x;
        const std::uint32_t g = std::uint32_t(std::lrint(k * 255 / 4.0));  // inclusive ends
        const std::uint32_t t = Px(texture.get(), x % 2, y % 2);
        std::uint32_t expected = std::uint32_t(alpha) << 24;
        for (int shift = 0; shift < 24; shift += 8) {
          const int tc = (t >> shift) & 0xFF;
          expected |= std::uint32_t((weight * (tc - int(g)) + int(g) * 256) >> 8) << shift;
        }
        EXPECT_EQ(Px(bmp.get(), x, y), expected) << "direction " << direction << " at " << x << "," << y;
      }
  }
}

TEST(acGradient, DegenerateTexturesAndRowsFinish) {
  const TsGradArray g = Points({{0x000000, 0, 1}, {0xFFFFFF, 100, 1}});
  // A one-pixel texture leaves no tile: the gradient is painted plain with the alpha.
  auto dot = Filled(1, 1, 0x00FF0000);
  auto bmp = Filled(5, 3, Guard);
  PaintGradientWithTexture(bmp.get(), Rect(0, 0, 5, 3), g, dot.get(), TRect{}, 255, 77);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(Px(bmp.get(), 0, y), 0x4D000000u);
    EXPECT_EQ(Px(bmp.get(), 4, y), 0x4DFFFFFFu);
  }
  // A one-row rectangle over a real tile.
  auto texture = Filled(3, 3, 0x00FFFFFF);
  auto row = Filled(5, 3, Guard);
  PaintGradientWithTexture(row.get(), Rect(0, 1, 5, 2), g, texture.get(), TRect{}, 255, 255);
  ExpectGuardsKept(row.get(), Rect(0, 1, 5, 2), "one row");
  EXPECT_EQ(Px(row.get(), 0, 1), 0xFFFEFEFEu);  // weight 255 of white over black
}

TEST(acGradient, CentreAndCornersNeedFivePointsAndGradientFill) {
  const TsGradArray five =
      Points({{0x0000FF, 0, 2}, {0xFFFFFF, 25, 0}, {0x00FF00, 50, 0}, {0xFF0000, 75, 0}, {0x000000, 100, 0}});
  const TRect r = Rect(2, 2, 22, 22);
  auto bmp = Filled(24, 24, Guard);
  PaintGradientArray(bmp.get(), r, five, 0, 0);
  ExpectGuardsKept(bmp.get(), r, "corners");
  EXPECT_EQ(Px(bmp.get(), 2, 2) & 0x00FFFFFF, 0x00FF0000u);  // red at the top-left
  EXPECT_GT(fixtures::CountNot(bmp.get(), Guard), 300);

  auto four = Filled(24, 24, Guard);
  PaintGradientArray(four.get(), r, TsGradArray(five.begin(), five.begin() + 4), 0, 0);
  EXPECT_EQ(fixtures::CountNot(four.get(), Guard), 0);

  const TGradientFillEntry saved = GradientFillEntry;
  GradientFillEntry = nullptr;
  auto without = Filled(24, 24, Guard);
  PaintGradientArray(without.get(), r, five, 0, 0);
  GradientFillEntry = saved;
  EXPECT_EQ(fixtures::CountNot(without.get(), Guard), 0);

  // The GDI+ path gradient stays in Rect as well.
  TsGradArray path = five;
  path[0].Mode |= gmGdiPlusPath;
  for (auto& p : path) p.Color |= 0xFF000000u;
  auto viaPath = Filled(24, 24, Guard);
  PaintGradientArray(viaPath.get(), r, path, 0, 0);
  ExpectGuardsKept(viaPath.get(), r, "path");
  EXPECT_GT(fixtures::CountNot(viaPath.get(), Guard), 300);
}

// ---------------------------------------------------------------------------
// Shadows and fades
// ---------------------------------------------------------------------------

TEST(acGradient, PopupShadowTemplate) {
  auto s = BuildSoftShadowBitmap(TColor(0x44000000), 17, 2, 8, 0, 0, false);
  ASSERT_EQ(s->Width(), 35);
  ASSERT_EQ(s->Height(), 45);
  std::uint32_t strongest = 0;
  for (auto p : fixtures::All(s.get())) strongest = std::max(strongest, p >> 24);
  EXPECT_EQ(strongest, 67u);
  EXPECT_EQ(Px(s.get(), 17, 19) >> 24, 67u);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 35; ++x) EXPECT_EQ(Px(s.get(), x, y), 0u);  // above the offset
  for (int y = 2; y <= 19; ++y)
    for (int x = 0; x < 35; ++x) {
      EXPECT_EQ(Px(s.get(), x, y), Px(s.get(), 34 - x, y));            // mirrored sideways
      EXPECT_EQ(Px(s.get(), x, y), Px(s.get(), x, 2 * 19 - y + 8));     // lower half 8 rows down
    }
  for (int y = 19; y <= 27; ++y) EXPECT_EQ(Px(s.get(), 5, y), Px(s.get(), 5, 19));
}

TEST(acGradient, ShadowEdgeCases) {
  // Radius 0: one pixel of full intensity, stretched by the extra sizes.
  auto dot = BuildSoftShadowBitmap(TColor(0x80000000), 0, 1, 2, 3, 0, false);
  ASSERT_EQ(dot->Width(), 4);
  ASSERT_EQ(dot->Height(), 4);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(Px(dot.get(), x, 0), 0u);
    for (int y = 1; y < 4; ++y) EXPECT_EQ(Px(dot.get(), x, y), 0x7F000000u) << x << "," << y;
  }
  // A mask is opaque everywhere: white outside the disc, grey inside.
  auto mask = BuildSoftShadowBitmap(TColor(0x80FFFFFF), 5, 0, 0, 0, 2, true);
  for (auto p : fixtures::All(mask.get())) EXPECT_EQ(p >> 24, 255u);
  EXPECT_EQ(Px(mask.get(), 0, 0), 0xFFFFFFFFu);
  EXPECT_LT(Px(mask.get(), 5, 5) & 0xFF, 255u);
  // Negative sizes from a skin count as zeros.
  auto negative = BuildSoftShadowBitmap(TColor(0x80204060), 4, -3, -2, -5, -1, false);
  auto zeros = BuildSoftShadowBitmap(TColor(0x80204060), 4, 0, 0, 0, 0, false);
  EXPECT_EQ(fixtures::All(negative.get()), fixtures::All(zeros.get()));
  EXPECT_EQ(BuildSoftShadowBitmap(0, -4, 0, 0, 0, 0, false)->Width(), 1);
}

TEST(acGradient, BlurredShadowNeverGainsAlphaOutward) {
  auto s = BuildSoftShadowBitmap(TColor(0xFF000000), 10, 0, 0, 0, 3, false);
  std::uint32_t previous = 256;
  for (int x = 10; x >= 0; --x) {
    const std::uint32_t a = Px(s.get(), x, 10) >> 24;
    EXPECT_LE(a, previous) << x;
    previous = a;
  }
  EXPECT_EQ(Px(s.get(), 10, 10) >> 24, 254u);  // full intensity: 255 * 255 shr 8
  // Just outside the inner radius (7.07 from the centre) the intensity saturates.
  EXPECT_EQ(Px(s.get(), 3, 9) >> 24, 254u);
}

TEST(acGradient, ColourFadeIsStrongestWhereTheColourIs) {
  auto clear = Filled(10, 10, Guard);
  PaintColorFade(clear.get(), 0x0000FF, 0);
  EXPECT_EQ(fixtures::CountNot(clear.get(), 0x01000000), 0);
  struct Case {
    int Direction;
    TPoint Strong, Weak;
  } cases[] = {{0, {0, 5}, {9, 5}}, {1, {5, 9}, {5, 0}}, {2, {9, 5}, {0, 5}}, {3, {5, 0}, {5, 9}}};
  for (const auto& c : cases) {
    auto bmp = Filled(10, 10, Guard);
    PaintColorFade(bmp.get(), TColor(0xFF0000FF), c.Direction);
    const std::uint32_t strong = Px(bmp.get(), c.Strong.X, c.Strong.Y), weak = Px(bmp.get(), c.Weak.X, c.Weak.Y);
    EXPECT_GT(strong >> 24, 200u) << c.Direction << std::hex << " " << strong;
    EXPECT_LT(weak >> 24, 60u) << c.Direction << std::hex << " " << weak;
  }
}

}  // namespace
