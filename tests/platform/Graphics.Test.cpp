#include <gtest/gtest.h>

#include "platform/ui/Graphics.h"

TEST(Graphics, ColorToRGB) {
  EXPECT_EQ(ColorToRGB(0x123456), 0x123456);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
  EXPECT_EQ(ColorToRGB(clBtnFace), TColor(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(ColorToRGB(clWindowText), TColor(GetSysColor(COLOR_WINDOWTEXT)));
}

TEST(Graphics, BitmapFormatsAndRows) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Handle(), nullptr);
  EXPECT_THROW(b.ScanLine(0), EInvalidGraphicOperation);
  EXPECT_THROW(b.SetWidth(-1), EInvalidGraphic);
  EXPECT_THROW(b.SetSize(1 << 20, 1 << 20), EOutOfResources);  // 4 TB of pixels
  EXPECT_TRUE(b.Empty());                                      // left as it was

  b.SetPixelFormat(pf32bit);
  b.SetSize(5, 3);
  EXPECT_NE(b.Handle(), nullptr);
  EXPECT_EQ(b.RowBytes(), 20);
  // Rows run upwards in memory: row 0 is the last.
  EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(0)) - static_cast<std::uint8_t*>(b.ScanLine(2)), 40);
  static_cast<std::uint32_t*>(b.ScanLine(1))[2] = 0x00808080;
  EXPECT_EQ(b.Canvas().Pixel(2, 1), TColor(0x808080));
  EXPECT_EQ(b.Canvas().Pixel(9, 9), TColor(CLR_INVALID));

  // To 8 bits (a grey ramp) and back.
  b.SetPixelFormat(pf8bit);
  EXPECT_EQ(b.BitsPerPixel(), 8);
  EXPECT_EQ(b.RowBytes(), 8);  // rows padded to 32 bits
  EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(1))[2], 0x80);
  EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(0))[0], 0xFF);  // new pixels are white
  b.SetPixelFormat(pf32bit);
  EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(1))[2] & 0xFFFFFF, 0x808080u);

  // Growing keeps the pixels at their place; the canvas follows the new handle.
  b.SetHeight(4);
  EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(1))[2] & 0xFFFFFF, 0x808080u);
  EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(3))[2], 0x00FFFFFFu);
  EXPECT_EQ(GetCurrentObject(b.Canvas().Handle(), OBJ_BITMAP), b.Handle());
  b.SetSize(0, 0);
  EXPECT_EQ(b.Handle(), nullptr);
  EXPECT_NE(GetCurrentObject(b.Canvas().Handle(), OBJ_BITMAP), nullptr);
}

TEST(Graphics, CompositionSeam) {
  SetDwmCompositionOverride(true);
  EXPECT_TRUE(IsDwmCompositionOn());
  SetDwmCompositionOverride(false);
  EXPECT_FALSE(IsDwmCompositionOn());
  SetDwmCompositionOverride(std::nullopt);
  const bool system = IsDwmCompositionOn();
  EXPECT_EQ(IsDwmCompositionOn(), system);  // the first answer is kept
}
