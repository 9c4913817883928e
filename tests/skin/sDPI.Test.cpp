// Scale steps, scaling and the caption font for a density.
#include "skin/graphics/sDPI.h"

#include <gtest/gtest.h>

TEST(sDPI, ScaleSteps) {
  struct Case {
    unsigned ppi;
    int step;
  } cases[] = {{96, 0}, {110, 0}, {111, 1}, {134, 1}, {135, 2}, {170, 2}, {171, 3}, {288, 3}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(PPIToScaleIndex(c.ppi), c.step) << c.ppi;
}

TEST(sDPI, ScalingTruncatesTowardZero) {
  struct Case {
    int value, index, expected;
  } cases[] = {{10, 0, 10}, {10, 1, 12},   {10, 2, 15},   {10, 3, 20},  {-10, 1, -12},
               {-10, 2, -15}, {-10, 3, -20}, {10, 4, 10}, {10, -1, 10}, {-3, 1, -3}};
  for (const auto& c : cases) EXPECT_EQ(ScaleByPPIIndex(c.value, c.index), c.expected) << c.value << "@" << c.index;
  EXPECT_EQ(ScaleByPPI(13, 144), 19);
  EXPECT_EQ(ScaleByPPI(-13, 144), -19);
  EXPECT_EQ(ScaleByPPI(100, 96), 100);
}

TEST(sDPI, CaptionFontForADensity) {
  NONCLIENTMETRICSW system{};
  system.cbSize = sizeof(system);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, system.cbSize, &system, 0));
  const int expected = system.lfCaptionFont.lfHeight < -11 ? system.lfCaptionFont.lfHeight : -11;
  EXPECT_EQ(CaptionFontHeight(96), expected);  // 96 is the system-wide density here
  // Never below 11 pixels, whatever density is asked.
  for (unsigned ppi : {48u, 96u, 144u, 192u}) EXPECT_LE(CaptionFontHeight(ppi), -11) << ppi;

  HFONT font = CreateCaptionFont(96);
  ASSERT_NE(font, nullptr);
  LOGFONTW lf{};
  ASSERT_EQ(GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
  EXPECT_EQ(lf.lfHeight, system.lfCaptionFont.lfHeight);
  EXPECT_STREQ(lf.lfFaceName, system.lfCaptionFont.lfFaceName);
  DeleteObject(font);

  NONCLIENTMETRICSW viaDpi{};
  viaDpi.cbSize = sizeof(viaDpi);
  EXPECT_TRUE(SystemParametersInfoDpi(SPI_GETNONCLIENTMETRICS, viaDpi.cbSize, &viaDpi, 96));
}
