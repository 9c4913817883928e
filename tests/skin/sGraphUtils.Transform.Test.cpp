// Arrow glyphs, quarter and free turns, and filtered resampling.
#include "skin/graphics/sGraphUtils.Transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "PixelFixtures.h"

namespace {

using fixtures::Filled;
using fixtures::Px;

std::vector<std::string> Picture(TBitmap* bmp, std::uint32_t background) {
  std::vector<std::string> rows;
  for (int y = 0; y < bmp->Height(); ++y) {
    std::string row;
    for (int x = 0; x < bmp->Width(); ++x) row += Px(bmp, x, y) == background ? '.' : '#';
    rows.push_back(row);
  }
  return rows;
}

// ---------------------------------------------------------------------------
// Quarter turns
// ---------------------------------------------------------------------------

TEST(Transform, RotateBitmap90TurnsExactly) {
  struct Case {
    int Angle, Width, Height;
    std::vector<std::uint32_t> Pixels;
  } cases[] = {
      {90, 2, 3, {4, 1, 5, 2, 6, 3}},
      {180, 3, 2, {6, 5, 4, 3, 2, 1}},
      {270, 2, 3, {3, 6, 2, 5, 1, 4}},
      {45, 3, 2, {1, 2, 3, 4, 5, 6}},
  };
  for (const auto& c : cases) {
    auto source = fixtures::Make(3, 2, {1, 2, 3, 4, 5, 6});
    auto turned = RotateBitmap90(std::move(source), c.Angle);
    ASSERT_EQ(turned->Width(), c.Width) << c.Angle;
    ASSERT_EQ(turned->Height(), c.Height) << c.Angle;
    EXPECT_EQ(fixtures::All(turned.get()), c.Pixels) << c.Angle;
  }
  // Not 32-bit: handed back as it is.
  auto bmp24 = std::make_unique<TBitmap>();
  bmp24->SetPixelFormat(pf24bit);
  bmp24->SetSize(3, 2);
  TBitmap* const original = bmp24.get();
  auto same = RotateBitmap90(std::move(bmp24), 90);
  EXPECT_EQ(same.get(), original);
  EXPECT_EQ(same->Width(), 3);
}

// ---------------------------------------------------------------------------
// Arrows
// ---------------------------------------------------------------------------

TEST(Transform, ArrowTrianglePictures) {
  struct Case {
    int Ppi, Direction, Size;
    std::vector<std::string> Rows;
  } cases[] = {
      {96, 3, 9, {".........", ".........", ".........", "..#####..", "...###...", "....#....", ".........",
                  ".........", "........."}},
      {96, 1, 9, {".........", ".........", ".........", "....#....", "...###...", "..#####..", ".........",
                  ".........", "........."}},
      {96, 0, 9, {".........", ".........", ".........", ".....#...", "....##...", "...###...", "....##...",
                  ".....#...", "........."}},
      {96, 2, 9, {".........", ".........", "...#.....", "...##....", "...###...", "...##....", "...#.....",
                  ".........", "........."}},
      {144, 3, 11, {"...........", "...........", "...........", "..#######..", "...#####...", "....###....",
                    ".....#.....", "...........", "...........", "...........", "..........."}},
      {144, 1, 11, {"...........", "...........", "...........", ".....#.....", "....###....", "...#####...",
                    "..#######..", "...........", "...........", "...........", "..........."}},
      {144, 0, 11, {"...........", "...........", "...........", "......#....", ".....##....", "....###....",
                    "...####....", "....###....", ".....##....", "......#....", "..........."}},
      {144, 2, 11, {"...........", "...........", "...#.......", "...##......", "...###.....", "...####....",
                    "...###.....", "...##......", "...#.......", "...........", "..........."}},
  };
  for (const auto& c : cases) {
    auto bmp = Filled(c.Size, c.Size, 0);
    DrawArrowTriangle(bmp.get(), TColor(0x80FF0000), Rect(0, 0, c.Size, c.Size), c.Direction, c.Ppi);
    EXPECT_EQ(Picture(bmp.get(), 0), c.Rows) << c.Ppi << " ppi, direction " << c.Direction;
  }
  // The colour goes to pixel order with its top byte as alpha.
  auto bmp = Filled(9, 9, 0);
  DrawArrowTriangle(bmp.get(), TColor(0x80FF0000), Rect(0, 0, 9, 9), 3, 96);
  EXPECT_EQ(Px(bmp.get(), 4, 3), 0x800000FFu);
  // Near an edge, or partly outside, nothing is drawn.
  for (const TRect& r : {Rect(5, 5, 9, 9), Rect(-4, 0, 1, 9), Rect(0, 6, 9, 10)})
    for (int direction = 0; direction < 4; ++direction) {
      auto edge = Filled(9, 9, 0);
      DrawArrowTriangle(edge.get(), 0xFF, r, direction, 96);
      EXPECT_EQ(fixtures::CountNot(edge.get(), 0), 0) << direction;
    }
}

struct TBox {
  int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1;  // inclusive
};
TBox PaintedBox(TBitmap* bmp, std::uint32_t background) {
  TBox b;
  for (int y = 0; y < bmp->Height(); ++y)
    for (int x = 0; x < bmp->Width(); ++x)
      if (Px(bmp, x, y) != background) {
        b.Left = std::min(b.Left, x);
        b.Right = std::max(b.Right, x);
        b.Top = std::min(b.Top, y);
        b.Bottom = std::max(b.Bottom, y);
      }
  return b;
}

TEST(Transform, ScaledArrowIsCentredAndUpMirrorsDown) {
  for (int style = 0; style < 4; ++style)
    for (int width : {20, 21}) {
      const std::string what = "style " + std::to_string(style) + ", width " + std::to_string(width);
      auto down = Filled(width, 20, 0);
      auto up = Filled(width, 20, 0);
      const TRect r = Rect(0, 0, width, 20);
      DrawScaledArrow(down.get(), 0x0000FF, 0x00FF00, r, 3, 0, 0, 0, style, 96);
      DrawScaledArrow(up.get(), 0x0000FF, 0x00FF00, r, 1, 0, 0, 0, style, 96);
      const TBox b = PaintedBox(down.get(), 0);
      ASSERT_GE(b.Right, b.Left) << what;
      EXPECT_LE(std::abs(b.Left - (width - 1 - b.Right)), 1) << what;
      EXPECT_LE(std::abs(b.Top - (19 - b.Bottom)), 2) << what;
      // Up is down with its rows in reverse order.
      const TBox u = PaintedBox(up.get(), 0);
      ASSERT_EQ(u.Bottom - u.Top, b.Bottom - b.Top) << what;
      for (int y = 0; y <= b.Bottom - b.Top; ++y)
        for (int x = b.Left; x <= b.Right; ++x)
          EXPECT_EQ(Px(up.get(), x, u.Top + y), Px(down.get(), x, b.Bottom - y)) << what << " " << x << "," << y;
    }
  // Style 2 with an even width builds the arrow at the full scaled size: 2 * 5 wide.
  auto filled = Filled(20, 20, 0);
  DrawScaledArrow(filled.get(), 0x0000FF, clNone, Rect(0, 0, 20, 20), 3, 0, 0, 0, 2, 96);
  const TBox f = PaintedBox(filled.get(), 0);
  EXPECT_EQ(f.Right - f.Left + 1, 10);
  const std::uint32_t interior = Px(filled.get(), f.Left + 5, f.Top);  // in Color, blended by alpha
  EXPECT_GE((interior >> 16) & 0xFF, 250u);
  EXPECT_EQ(interior & 0xFFFF, 0u);
}

// ---------------------------------------------------------------------------
// Free turns
// ---------------------------------------------------------------------------

TEST(Transform, ParallelogramTurnsByTheTable) {
  FillSinCosTable();
  const TPoint corners[4] = {Point(10, 20), Point(50, 20), Point(50, 40), Point(10, 40)};
  for (int angle : {0, 30, 90, 200, 359}) {
    TPrlgram p(corners);
    p.Rotate(static_cast<TAngle>(angle));
    const double s = SinCosTable[angle].Sin, c = SinCosTable[angle].Cos;
    EXPECT_FLOAT_EQ(s, float(std::sin(angle * 3.14159265358979323846 / 180)));
    for (int i = 0; i < 4; ++i) {
      const double dx = corners[i].X - 30.0, dy = corners[i].Y - 30.0;
      EXPECT_EQ(p.GetPoint(i).X, int(std::lrint(30 + dx * c + dy * s))) << angle;
      EXPECT_EQ(p.GetPoint(i).Y, int(std::lrint(30 - dx * s + dy * c))) << angle;
    }
  }
  TPrlgram p(corners);
  EXPECT_EQ(p.GetPoint(4), TPoint{});
  EXPECT_EQ(p.GetPoint(-1), TPoint{});
  const TPoint two[2] = {Point(3, 4), Point(5, 6)};
  TPrlgram few(two);
  EXPECT_EQ(few.GetPoint(1), Point(5, 6));
  EXPECT_EQ(few.GetPoint(2), TPoint{});
  EXPECT_NEAR(double(DegToRad(180)), 3.14159265358979, 1e-12);
}

TEST(Transform, RotatedBitmapPaintsOnlyInsideTheTurnedBox) {
  auto image = Filled(12, 6, 0xFFFF0000);
  for (int angle : {0, 90, 180, 270, -450, 30, -400, 1000}) {
    auto target = Filled(40, 40, 0);
    DrawRotatedBitmap(target->Canvas().Handle(), image.get(), Point(20, 20), angle);
    GdiFlush();
    // The turned corners, as the parallelogram gives them, bound what is painted.
    const TPoint corners[4] = {Point(14, 17), Point(26, 17), Point(26, 23), Point(14, 23)};
    TPrlgram p(corners);
    int turn = 360 - angle < 0 ? 720 - angle : (0 < angle ? 360 - angle : -angle);
    p.Rotate(static_cast<TAngle>(((turn % 360) + 360) % 360));
    int minX = 40, maxX = 0, minY = 40, maxY = 0;
    for (int i = 0; i < 4; ++i) {
      minX = std::min(minX, p.GetPoint(i).X), maxX = std::max(maxX, p.GetPoint(i).X);
      minY = std::min(minY, p.GetPoint(i).Y), maxY = std::max(maxY, p.GetPoint(i).Y);
    }
    const TBox b = PaintedBox(target.get(), 0);
    // Wine's PlgBlt paints quarter turns only; whatever it paints must lie in the box.
    ASSERT_TRUE(angle % 90 != 0 || b.Right >= b.Left) << angle;
    if (b.Right < b.Left) continue;
    EXPECT_GE(b.Left, minX - 1) << angle;
    EXPECT_LE(b.Right, maxX) << angle;
    EXPECT_GE(b.Top, minY - 1) << angle;
    EXPECT_LE(b.Bottom, maxY) << angle;
  }
}

// ---------------------------------------------------------------------------
// Filtered resampling
// ---------------------------------------------------------------------------

TEST(Transform, ContributionsStayInsideTheSource) {
  const std::pair<int, int> sizes[] = {{1, 1000}, {7, 2}, {2, 7}};  // targets, sources
  for (int filter = 0; filter <= 6; ++filter)
    for (const auto& [n, b] : sizes) {
      const TFilterContributions list = BuildFilterContributions(n, b, 4, filter);
      ASSERT_EQ(list.Counts.size(), size_t(n));
      for (int i = 0; i < n; ++i) {
        EXPECT_LE(list.Counts[i], list.MaxEntries);
        for (int k = 0; k < list.Counts[i]; ++k) {
          const std::intptr_t offset = list.Entries[size_t(i) * list.MaxEntries + k].Offset;
          EXPECT_EQ(offset % 4, 0);
          EXPECT_GE(offset, 0) << "filter " << filter << ", " << b << " -> " << n;
          EXPECT_LT(offset, 4 * b) << "filter " << filter << ", " << b << " -> " << n;
        }
      }
    }
}

TEST(Transform, TriangleHalvesAGreyRamp) {
  auto ramp = fixtures::Make(4, 2, {0xFF000000, 0xFF555555, 0xFFAAAAAA, 0xFFFFFFFF, 0xFF000000, 0xFF555555,
                                    0xFFAAAAAA, 0xFFFFFFFF});
  auto dst = NewBitmap32(0, 0);
  StretchBitmapFiltered(ramp.get(), dst.get(), 2, 2, 1);
  EXPECT_EQ(fixtures::All(dst.get()),
            (std::vector<std::uint32_t>{0xFF2A2A2A, 0xFFAAAAAA, 0xFF2A2A2A, 0xFFAAAAAA}));

  // A 24-bit source is read through a 32-bit copy; its alpha is gone, the colours are not.
  auto ramp24 = std::make_unique<TBitmap>();
  ramp24->SetPixelFormat(pf24bit);
  ramp24->SetSize(4, 2);
  for (int y = 0; y < 2; ++y) {
    auto* row = static_cast<std::uint8_t*>(ramp24->ScanLine(y));
    for (int x = 0; x < 4; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = std::uint8_t(85 * x);
  }
  auto dst24 = NewBitmap32(0, 0);
  StretchBitmapFiltered(ramp24.get(), dst24.get(), 2, 2, 1);
  EXPECT_EQ(Px(dst24.get(), 0, 0) & 0xFFFFFF, 0x2A2A2Au);
  EXPECT_EQ(Px(dst24.get(), 1, 1) & 0xFFFFFF, 0xAAAAAAu);
}

TEST(Transform, ResamplingCopiesWorksInPlaceAndRefusesTinySources) {
  auto src = fixtures::Noise(9, 7, 11);
  auto copy = NewBitmap32(0, 0);
  StretchBitmapFiltered(src.get(), copy.get(), 9, 7, 6);
  EXPECT_EQ(fixtures::All(copy.get()), fixtures::All(src.get()));

  for (int filter = 0; filter <= 6; ++filter) {
    auto apart = NewBitmap32(0, 0);
    StretchBitmapFiltered(src.get(), apart.get(), 4, 13, filter);
    auto inPlace = fixtures::Noise(9, 7, 11);
    StretchBitmapFiltered(inPlace.get(), inPlace.get(), 4, 13, filter);
    ASSERT_EQ(inPlace->Width(), 4);
    ASSERT_EQ(inPlace->Height(), 13);
    EXPECT_EQ(fixtures::All(inPlace.get()), fixtures::All(apart.get())) << filter;
  }
  // Strong scales with the widest filter read nothing outside the source.
  auto tiny = fixtures::Noise(2, 2, 3);
  auto big = NewBitmap32(0, 0);
  StretchBitmapFiltered(tiny.get(), big.get(), 7, 7, 5);
  EXPECT_EQ(big->Width(), 7);
  auto wide = fixtures::Noise(1000, 3, 3);
  auto one = NewBitmap32(0, 0);
  StretchBitmapFiltered(wide.get(), one.get(), 1, 3, 5);
  EXPECT_EQ(one->Width(), 1);

  auto thin = fixtures::Noise(1, 5, 2);
  auto untouched = Filled(3, 3, 0x01020304);
  StretchBitmapFiltered(thin.get(), untouched.get(), 4, 4, 1);
  StretchBitmapFiltered(src.get(), untouched.get(), 0, 4, 1);
  StretchBitmapFiltered(src.get(), untouched.get(), 4, 4, 7);
  EXPECT_EQ(fixtures::CountNot(untouched.get(), 0x01020304), 0);
  EXPECT_EQ(untouched->Width(), 3);
}

}  // namespace
