// Canvas text output and measuring, stretched and rounded drawing, the font's character
// set, 16-colour bitmaps, and a bitmap's copies and change reports.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "platform/runtime/Streams.h"
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

TEST(Bitmap, AssignCopiesFormatSizePixelsAndTransparencyAndTellsOnceWithTheNewPixels) {
  for (TPixelFormat format : {pf32bit, pf24bit}) {
    SCOPED_TRACE(format == pf32bit ? "32 bits" : "24 bits");
    TBitmap source;
    source.SetPixelFormat(format);
    source.SetSize(3, 2);
    SetPixel(source.Canvas().Handle(), 2, 1, RGB(0x12, 0x34, 0x56));
    source.SetTransparent(true);
    source.SetTransparentColor(0x00FF00);
    auto copy = White(5, 5);
    int told = 0;
    COLORREF seen = CLR_INVALID;
    copy->OnChange = [&] {
      ++told;
      seen = static_cast<COLORREF>(copy->Canvas().Pixel(2, 1));
    };
    copy->Assign(&source);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(seen, RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(copy->PixelFormat(), format);
    EXPECT_EQ(copy->Width(), 3);
    EXPECT_EQ(copy->Height(), 2);
    EXPECT_TRUE(copy->Transparent());
    EXPECT_EQ(copy->TransparentColor(), TColor(0x00FF00));
    EXPECT_NE(copy->Handle(), source.Handle());
  }
  TBitmap empty;
  const TBitmap* nothings[] = {&empty, nullptr};
  for (const TBitmap* none : nothings) {
    auto copy = White(2, 2);
    copy->Assign(none);
    EXPECT_TRUE(copy->Empty());
  }
}

TEST(Bitmap, EveryWholeChangeIsToldAndDrawingIsNot) {
  auto b = White(4, 4);
  TMemoryStream saved;
  b->SaveToStream(saved);
  int told = 0;
  b->OnChange = [&] { ++told; };
  const struct {
    const char* Name;
    std::function<void(TBitmap&)> Do;
    int Told;
  } rows[] = {
      {"a new size", [](TBitmap& x) { x.SetSize(6, 5); }, 1},
      {"the same size", [](TBitmap& x) { x.SetSize(6, 5); }, 0},
      {"a new width", [](TBitmap& x) { x.SetWidth(7); }, 1},
      {"a new depth", [](TBitmap& x) { x.SetPixelFormat(pf24bit); }, 1},
      {"a new handle",
       [](TBitmap& x) {
         HDC screen = GetDC(nullptr);
         x.SetHandle(CreateCompatibleBitmap(screen, 3, 3));
         ReleaseDC(nullptr, screen);
       },
       1},
      {"a load",
       [&](TBitmap& x) {
         saved.SetPosition(0);
         x.LoadFromStream(saved);
       },
       1},
      {"drawing on the canvas", [](TBitmap& x) { x.Canvas().FillRect(TRect{0, 0, 2, 2}); }, 0},
      {"writing a scan line", [](TBitmap& x) { static_cast<std::uint32_t*>(x.ScanLine(0))[0] = 0; }, 0},
  };
  for (const auto& row : rows) {
    told = 0;
    row.Do(*b);
    EXPECT_EQ(told, row.Told) << row.Name;
  }
}
