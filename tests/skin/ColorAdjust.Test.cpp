#include <gtest/gtest.h>

#include <climits>

#include "PixelFixtures.h"
#include "skin/graphics/acColorAdjust.h"

using namespace fixtures;

TEST(ColorAdjust, Brightness) {
  struct Case {
    std::uint32_t color;
    int amount;
    std::uint32_t expected;
  } cases[] = {
      {0x80808080, 256, 0x80FFFFFF},   // doubled, alpha kept
      {0x00102030, -128, 0x00081018},  // halved
      {0x00102030, 0, 0x00102030},
      {0x00010101, 300, 0x00020202},   // 1 + (300 >> 8)
      {0x00FFFFFF, -256, 0x00000000},
      {0x00FF8001, INT_MAX, 0x00FFFFFF},  // products past 32 bits stay exact
      {0x00FF8001, INT_MIN, 0x00000000},
  };
  for (auto& c : cases)
    EXPECT_EQ(ChangeColorBrightness(c.color, c.amount), c.expected) << std::hex << c.color << std::dec << " " << c.amount;
}

TEST(ColorAdjust, Saturation) {
  struct Case {
    int amount;
    std::uint32_t color, expected;
  } cases[] = {
      {0, 0x12345678, 0x12345678},
      {100, 0x00808080, 0x007F7F7F},   // a grey loses one step whatever the amount
      {-40, 0x00404040, 0x003F3F3F},
      {-255, 0xAAC86400, 0xAA757575},  // luma 118.5 -> 118, then 118 * 255 >> 8
      {255, 0x00FF0000, 0x00FF0000},   // clamped to 65535 and 0
      {INT_MAX, 0x00FF0000, 0x00FF0000},
  };
  for (auto& c : cases)
    EXPECT_EQ(AdjustSaturation(c.amount, c.color), c.expected) << c.amount << " " << std::hex << c.color;
  EXPECT_EQ(ChangeColorSaturation(0x00808080, 0), 0x00808080u);
  EXPECT_EQ(ChangeColorSaturation(0x00808080, 10), 0x007F7F7Fu);
}

TEST(ColorAdjust, HueRotation) {
  struct Case {
    int degrees;
    std::uint32_t color, expected;
  } cases[] = {
      {120, 0x00FF0000, 0x0000FF00},   // red to green
      {240, 0x00FF0000, 0x000000FF},   // red to blue
      {60, 0x80FF0000, 0x80FFFF00},    // red to yellow, alpha kept
      {-120, 0x00FF0000, 0x000000FF},  // a negative turn wraps round
      {-3599880, 0x00FF0000, 0x0000FF00},  // -10000 turns + 120
      {360, 0x00FF0000, 0x00FF0000},
      {77, 0x00808080, 0x00808080},    // a grey stays grey
      {90, 0x00000000, 0x00000000},
  };
  for (auto& c : cases)
    EXPECT_EQ(RotateHue(c.degrees, c.color), c.expected) << c.degrees << " " << std::hex << c.color;
  // Every shift gives a colour of the same brightest channel.
  for (int d : {INT_MIN, INT_MIN + 1, -721, -1, INT_MAX}) {
    const std::uint32_t r = RotateHue(d, 0x00C86432);
    const std::uint32_t hi = std::max({(r >> 16) & 0xFF, (r >> 8) & 0xFF, r & 0xFF});
    EXPECT_EQ(hi, 0xC8u) << d;
  }
  // TColor order around the rotation; 0 degrees returns the value untouched.
  EXPECT_EQ(ShiftColorHue(120, 0x0000FF), 0x00FF00);
  EXPECT_EQ(ShiftColorHue(240, 0x0000FF), 0xFF0000);
  EXPECT_EQ(ShiftColorHue(0, clBtnFace), clBtnFace);
}

TEST(ColorAdjust, ColorTone) {
  EXPECT_EQ(ApplyColorTone(0x00404040, 0x000000FF), 0x003F0000u);  // a pixel toned by a TColor red
  EXPECT_EQ(ApplyColorTone(0x80102040, 0x00FF8000), 0x8000203Fu);  // brightest channel 0x40
  EXPECT_EQ(ApplyColorTone(0x00000000, 0x00FFFFFF), 0x00000000u);
}

TEST(ColorAdjust, ForEachPixelSparesTheKey) {
  auto b = Make(3, 1, {0x00FF00FF, 0xFFFF00FF, 0x80404040});
  ForEachPixel(b.get(), PixelBrightness, -256, 0xFF00FF);
  EXPECT_EQ(All(b.get()), (std::vector<std::uint32_t>{0x00FF00FF, 0xFF000000, 0x80000000}));
  ForEachPixel(b.get(), PixelOpaque, 0, clNone);
  EXPECT_EQ(All(b.get()), (std::vector<std::uint32_t>{0xFFFF00FF, 0xFF000000, 0xFF000000}));

  auto t = Make(2, 1, {0x00404040, 0x00FF00FF});
  ForEachPixel(t.get(), PixelColorTone, 0x000000FF, 0xFF00FF);
  EXPECT_EQ(All(t.get()), (std::vector<std::uint32_t>{0x003F0000, 0x00FF00FF}));
  auto h = Make(1, 1, {0x00FF0000});
  ForEachPixel(h.get(), PixelHueShift, 120, clNone);
  EXPECT_EQ(Px(h.get(), 0, 0), 0x0000FF00u);
  auto s = Make(1, 1, {0x00808080});
  ForEachPixel(s.get(), PixelSaturation, 50, clNone);
  EXPECT_EQ(Px(s.get(), 0, 0), 0x007F7F7Fu);

  ForEachPixel(nullptr, PixelOpaque, 0, clNone);
  auto empty = NewBitmap32(0, 3);
  ForEachPixel(empty.get(), PixelOpaque, 0, clNone);
  ForEachPixel(s.get(), nullptr, 0, clNone);
}
