// Canvas text output and measuring, stretched and rounded drawing, the font's character
// set and 16-colour bitmaps.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/ui/Graphics.h"

namespace {

std::unique_ptr<TBitmap> White(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf32bit);
  b->SetSize(w, h);
  return b;
}
std::uint32_t At(TBitmap& b, int x, int y) { return static_cast<std::uint32_t*>(b.ScanLine(y))[x] & 0xFFFFFF; }

}  // namespace

TEST(Canvas, TextExtentAndTextRectClippedOnTheBrush) {
  auto b = White(60, 30);
  TCanvas& c = b->Canvas();
  c.Font.Height = -14;
  const TSize size = c.TextExtent(L"Hello");
  SIZE want = {};
  GetTextExtentPoint32W(c.Handle(), L"Hello", 5, &want);
  EXPECT_EQ(want.cx, size.cx);
  EXPECT_EQ(want.cy, size.cy);
  EXPECT_EQ(0, c.TextWidth(L""));

  // An opaque brush fills the rectangle; the text does not leave it.
  c.Brush.Color = 0x0000FF;
  c.Font.Color = 0xFF0000;
  c.TextRect(Rect(10, 5, 30, 25), 12, 7, L"WWWWWWW");
  EXPECT_EQ(0xFF0000u, At(*b, 10, 24)) << "the brush, red";
  EXPECT_EQ(0xFFFFFFu, At(*b, 30, 10)) << "outside the rectangle";
  int blue = 0;
  for (int y = 5; y < 25; ++y)
    for (int x = 10; x < 30; ++x) blue += At(*b, x, y) == 0x0000FF;
  EXPECT_GT(blue, 0);
}

TEST(Canvas, StretchDrawAndRoundRect) {
  auto small = White(2, 1);
  static_cast<std::uint32_t*>(small->ScanLine(0))[0] = 0x00FF0000;
  auto b = White(8, 8);
  b->Canvas().StretchDraw(Rect(0, 0, 8, 4), small.get());
  EXPECT_EQ(0xFF0000u, At(*b, 3, 2));
  EXPECT_EQ(0xFFFFFFu, At(*b, 4, 2));
  EXPECT_EQ(0xFFFFFFu, At(*b, 3, 5));

  auto r = White(20, 20);
  TCanvas& c = r->Canvas();
  c.Pen.Style = psClear;
  c.Brush.Color = 0x000000;
  c.RoundRect(Rect(0, 0, 20, 20), 10, 10);
  EXPECT_EQ(0u, At(*r, 10, 10));
  EXPECT_EQ(0xFFFFFFu, At(*r, 0, 0)) << "the corner is rounded off";
}

TEST(Font, CharsetReachesTheHandleAndIsAssigned) {
  TFont a;
  a.Charset = std::uint8_t(RUSSIAN_CHARSET);
  LOGFONTW lf = {};
  ASSERT_EQ(static_cast<int>(sizeof lf), GetObjectW(a.Handle(), sizeof lf, &lf));
  EXPECT_EQ(RUSSIAN_CHARSET, lf.lfCharSet);
  TFont b;
  b.Assign(a);
  EXPECT_EQ(std::uint8_t(RUSSIAN_CHARSET), b.Charset.Get());
}

TEST(Font, PitchAndOrientationReachTheHandleAreToldAndAssigned) {
  const struct {
    std::uint8_t Pitch;
    int Orientation;
  } cases[] = {{DEFAULT_PITCH, 0}, {FIXED_PITCH, 900}, {VARIABLE_PITCH, -450}};
  for (const auto& c : cases) {
    TFont a;
    int changes = 0;
    a.OnChange = [&] { ++changes; };
    a.Pitch = c.Pitch;
    a.Orientation = c.Orientation;
    EXPECT_EQ(changes, (c.Pitch != DEFAULT_PITCH) + (c.Orientation != 0));
    LOGFONTW lf = {};
    ASSERT_EQ(static_cast<int>(sizeof lf), GetObjectW(a.Handle(), sizeof lf, &lf));
    EXPECT_EQ(lf.lfPitchAndFamily & 3, c.Pitch);
    EXPECT_EQ(lf.lfEscapement, c.Orientation);
    EXPECT_EQ(lf.lfOrientation, c.Orientation);
    TFont b;
    b.Assign(a);
    EXPECT_EQ(b.Pitch.Get(), c.Pitch);
    EXPECT_EQ(b.Orientation.Get(), c.Orientation);
  }
}

TEST(Bitmap, SixteenColoursKeepTheStandardColours) {
  auto b = White(3, 1);
  auto* row = static_cast<std::uint32_t*>(b->ScanLine(0));
  row[0] = 0x00FF0000, row[1] = 0x00008080, row[2] = 0x00FFFFFF;
  b->SetPixelFormat(pf4bit);
  EXPECT_EQ(4, b->BitsPerPixel());
  EXPECT_EQ(RGB(255, 0, 0), static_cast<COLORREF>(b->Canvas().Pixel(0, 0)));
  EXPECT_EQ(RGB(0, 128, 128), static_cast<COLORREF>(b->Canvas().Pixel(1, 0)));
  EXPECT_EQ(RGB(255, 255, 255), static_cast<COLORREF>(b->Canvas().Pixel(2, 0)));
  b->SetPixelFormat(pf32bit);
  EXPECT_EQ(0x00008080u, static_cast<std::uint32_t*>(b->ScanLine(0))[1] & 0xFFFFFF);
}
