#include <gtest/gtest.h>

#include <climits>

#include "PixelFixtures.h"
#include "skin/graphics/acPixelBlend.h"

using namespace fixtures;

namespace {
const std::uint32_t Key = 0x00FF00FF;
// Rectangles that reach out of every bitmap in some direction.
const TRect Wild[] = {Rect(-5, -5, 3, 3), Rect(2, 2, 100, 100), Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX),
                      Rect(50, 50, 60, 60), Rect(3, 3, 1, 1)};
const TPoint WildPoints[] = {Point(-3, -3), Point(1, 2), Point(INT_MIN, INT_MAX), Point(INT_MAX, 0), Point(3, -1)};
}  // namespace

TEST(PixelBlend, CopyExceptKey) {
  for (TRect r : {Rect(0, 0, 15, 15), Rect(0, 0, 16, 16)}) {  // the right and bottom are inclusive
    auto src = Filled(16, 16, 0x80102030);
    auto dst = Filled(20, 20, 0);
    CopyExceptKey(dst.get(), 0, 0, src.get(), r, 0, Key);
    EXPECT_EQ(CountNot(dst.get(), 0), 256) << r.Right;
  }
  auto src = Make(3, 1, {Key, 0xFFFF00FF, 0x40FF0080});
  auto dst = Filled(3, 1, 0x80000000);
  CopyExceptKey(dst.get(), 0, 0, src.get(), Rect(0, 0, 2, 0), 100, Key);
  // Every byte, alpha too: ((255 - 100) * s + 100 * d) >> 8.
  EXPECT_EQ(All(dst.get()), (std::vector<std::uint32_t>{0x80000000, 0xCC9A009A, 0x589A004D}));

  // A negative left edge moves the destination by the cut.
  auto row = Make(3, 1, {0x10, 0x20, 0x30});
  auto d2 = Filled(3, 1, 0);
  CopyExceptKey(d2.get(), 0, 0, row.get(), Rect(-1, 0, 2, 0), 0, Key);
  EXPECT_EQ(All(d2.get()), (std::vector<std::uint32_t>{0x0, 0xF, 0x1F}));  // weight 0 still loses a step
  for (TRect r : Wild)
    for (TPoint p : WildPoints) CopyExceptKey(d2.get(), p.X, p.Y, row.get(), r, 7, Key);
}

TEST(PixelBlend, PasteExceptKey) {
  auto src = Make(2, 2, {Key, 0xFFFF00FF, 0x00123456, 0x00ABCDEF});
  auto dst = Filled(3, 3, 0);
  PasteExceptKey(dst.get(), src.get(), 1, 1, 0xFF00FF);
  EXPECT_EQ(All(dst.get()), (std::vector<std::uint32_t>{0, 0, 0, 0, 0, 0xFFFF00FF, 0, 0xFF123456, 0xFFABCDEF}));
  // At a negative position the part outside is what falls away.
  auto d2 = Filled(2, 2, 0);
  PasteExceptKey(d2.get(), src.get(), -1, -1, clNone);
  EXPECT_EQ(All(d2.get()), (std::vector<std::uint32_t>{0xFFABCDEF, 0, 0, 0}));
  for (TPoint p : WildPoints) PasteExceptKey(d2.get(), src.get(), p.X, p.Y, 0xFF00FF);
}

TEST(PixelBlend, CopyWithKeyBackground) {
  auto src = Make(2, 1, {0x80123456, Key});
  auto cache = Make(4, 1, {0x1, 0x2, 0x3, 0x4});
  TCacheInfo ready;
  ready.Bmp = cache.get();
  ready.X = 2;
  ready.Y = 0;
  ready.Ready = true;
  ready.FillColor = 0xFF00FF;

  auto d1 = Filled(2, 1, 0xEEEEEEEE);
  CopyWithKeyBackground(d1.get(), src.get(), 0, 0, Rect(0, 0, 1, 0), Key, ready, true);
  EXPECT_EQ(All(d1.get()), (std::vector<std::uint32_t>{0x80123456, 0x4}));  // cache (2 + 1, 0)

  auto d2 = Filled(2, 1, 0xEEEEEEEE);
  CopyWithKeyBackground(d2.get(), src.get(), 0, 0, Rect(0, 0, 1, 0), Key, ready, false);
  EXPECT_EQ(All(d2.get()), (std::vector<std::uint32_t>{0x80123456, 0xEEEEEEEE}));

  TCacheInfo self = ready;  // the destination is the cache itself
  self.Bmp = d2.get();
  CopyWithKeyBackground(d2.get(), src.get(), 0, 0, Rect(0, 0, 1, 0), Key, self, true);
  EXPECT_EQ(All(d2.get()), (std::vector<std::uint32_t>{0xFF123456, 0xEEEEEEEE}));

  TCacheInfo plain;
  plain.FillColor = 0x0000FF;  // TColor red
  auto d3 = Make(2, 1, {0x7F000000, 0});
  CopyWithKeyBackground(d3.get(), src.get(), 0, 0, Rect(0, 0, 1, 0), Key, plain, true);
  EXPECT_EQ(All(d3.get()), (std::vector<std::uint32_t>{0x80123456, 0x7FFF0000}));  // alpha of Dst's top-left

  ready.X = 3;  // the cache ends: key pixels there stay
  auto d4 = Filled(2, 1, 0xEEEEEEEE);
  CopyWithKeyBackground(d4.get(), src.get(), 0, 0, Rect(0, 0, 1, 0), Key, ready, true);
  EXPECT_EQ(All(d4.get()), (std::vector<std::uint32_t>{0x80123456, 0xEEEEEEEE}));
  ready.X = INT_MAX;
  ready.Y = INT_MIN;
  for (TRect r : Wild)
    for (TPoint p : WildPoints) CopyWithKeyBackground(d4.get(), src.get(), p.X, p.Y, r, Key, ready, true);
}

TEST(PixelBlend, MixExceptKey) {
  auto src = Make(3, 1, {Key, 0x00FFFFFF, 0x12FF0000});
  auto d = Filled(3, 1, 0x80000000);
  MixExceptKey(d.get(), src.get(), 0, 0, Rect(0, 0, 2, 0), 0xFF00FF, 0);
  EXPECT_EQ(All(d.get()), (std::vector<std::uint32_t>{0x80000000, 0x00FFFFFF, 0x12FF0000}));  // whole pixels
  auto m = Filled(3, 1, 0x80000000);
  MixExceptKey(m.get(), src.get(), 0, 0, Rect(0, 0, 2, 0), 0xFF00FF, 255);
  EXPECT_EQ(All(m.get()), (std::vector<std::uint32_t>{0x80000000, 0x80FEFEFE, 0x80FE0000}));  // alpha kept
  for (TRect r : Wild)
    for (TPoint p : WildPoints) MixExceptKey(m.get(), src.get(), p.X, p.Y, r, 0xFF00FF, 3);
}

TEST(PixelBlend, WholeBitmapMixes) {
  auto b = Make(2, 1, {Key, 0x80FFFFFF});
  BlendBitmapWithColor(b.get(), 100, 0x0000FF);  // TColor red
  EXPECT_EQ(All(b.get()), (std::vector<std::uint32_t>{Key, 0x80FE6363}));

  auto img = Make(2, 1, {0x80FFFFFF, 0x80FFFFFF});
  auto mask = Make(2, 1, {0x00FFFFFF, 0x00000080});
  ColorizeByMask(img.get(), mask.get(), 0x000000);
  EXPECT_EQ(All(img.get()), (std::vector<std::uint32_t>{0x80FEFEFE, 0x8000007F}));
  auto bigMask = Filled(3, 1, 0);
  ColorizeByMask(img.get(), bigMask.get(), 0xFFFFFF);  // sizes differ: nothing
  EXPECT_EQ(Px(img.get(), 0, 0), 0x80FEFEFEu);

  auto dst = Make(2, 1, {0x11000000, 0x11000000});
  auto over = Make(2, 1, {0x00FFFFFF, 0xFFFFFFFF});
  BlendBitmapOver(dst.get(), over.get());
  EXPECT_EQ(All(dst.get()), (std::vector<std::uint32_t>{0x11000000, 0x11FEFEFE}));
}

TEST(PixelBlend, BlendBitmapRect) {
  struct Case {
    int weight;
    std::uint32_t d, s, expected;
  } cases[] = {
      {0, 0x12345678, 0x9ABCDEF0, 0x9ABCDEF0},  // the source exactly
      {255, 0xC8C8C8C8, 0x00000000, 0xC7C7C7C7},  // 200 over 0 keeps 199
      {128, 0xFF000000, 0x00FF0000, 0x7F7F0000},
  };
  for (auto& c : cases) {
    auto d = Make(1, 1, {c.d});
    auto s = Make(1, 1, {c.s});
    BlendBitmapRect(d.get(), s.get(), std::uint8_t(c.weight), Rect(0, 0, 0, 0), Point(0, 0));
    EXPECT_EQ(Px(d.get(), 0, 0), c.expected) << c.weight;
  }
  // A negative destination point moves the source rectangle's edge instead.
  auto s = Make(3, 1, {0x1, 0x2, 0x3});
  auto d = Filled(3, 1, 0);
  BlendBitmapRect(d.get(), s.get(), 0, Rect(0, 0, 2, 0), Point(-1, 0));
  EXPECT_EQ(All(d.get()), (std::vector<std::uint32_t>{0x2, 0x3, 0x0}));
  // Shortened to fit Dst from the point.
  auto e = Filled(3, 1, 0);
  BlendBitmapRect(e.get(), s.get(), 0, Rect(0, 0, 2, 0), Point(2, 0));
  EXPECT_EQ(All(e.get()), (std::vector<std::uint32_t>{0x0, 0x0, 0x1}));
  for (TRect r : Wild)
    for (TPoint p : WildPoints) BlendBitmapRect(e.get(), s.get(), 9, r, p);
}

TEST(PixelBlend, AlphaBlendRect) {
  struct Case {
    std::uint32_t d, s;
    int opacity;
    std::uint32_t expected;
  } cases[] = {
      {0x40123456, 0x00FFFFFF, 255, 0x40123456},  // alpha 0 leaves the destination
      {0x00000000, 0xFFFFFFFF, 255, 0xFEFEFEFE},  // 0 under 255 gives 254, alpha too
      {0xFF000000, 0xFFFFFFFF, 128, 0xFF7E7E7E},  // m = 255 * 128 >> 8 = 127, 127 * 255 >> 8
      {0xFF000000, 0x80FF0000, 255, 0xFF7F0000},  // alpha never falls
      {0x20000000, 0x80FF0000, 255, 0x507F0000},  // (128 * 128 + 32 * 128) >> 8 = 80
  };
  for (auto& c : cases) {
    auto d = Make(1, 1, {c.d});
    auto s = Make(1, 1, {c.s});
    AlphaBlendRect(d.get(), s.get(), Rect(0, 0, 0, 0), Point(0, 0), std::uint8_t(c.opacity));
    EXPECT_EQ(Px(d.get(), 0, 0), c.expected) << std::hex << c.d << " " << c.s;
  }
  auto s = Filled(4, 4, 0xFFFFFFFF);
  auto d = Filled(3, 3, 0);
  AlphaBlendRect(d.get(), s.get(), Rect(0, 0, 3, 3), Point(1, 1), 255);
  EXPECT_EQ(CountNot(d.get(), 0), 4);
  for (TRect r : Wild)
    for (TPoint p : WildPoints) AlphaBlendRect(d.get(), s.get(), r, p, 200);
}

TEST(PixelBlend, StretchAlphaBlend) {
  auto s = Make(2, 1, {0xFFFF0000, 0xFF0000FF});
  auto d = Filled(4, 2, 0xFF000000);
  StretchAlphaBlend(d.get(), 0, 0, 4, 2, s.get(), 0, 0, 2, 1, 255);
  EXPECT_EQ(All(d.get()), (std::vector<std::uint32_t>{0xFFFE0000, 0xFFFE0000, 0xFF0000FE, 0xFF0000FE, 0xFFFE0000,
                                                      0xFFFE0000, 0xFF0000FE, 0xFF0000FE}));
  // A target that reaches beyond Dst is blended only where Dst is.
  auto e = Filled(3, 3, 0);
  StretchAlphaBlend(e.get(), 2, 2, 1000, 1000, s.get(), 0, 0, 2, 1, 255);
  EXPECT_EQ(CountNot(e.get(), 0), 1);
  EXPECT_EQ(Px(e.get(), 2, 2), 0xFEFE0000u);
  for (TPoint p : WildPoints)
    for (int size : {0, -1, 5, INT_MAX}) StretchAlphaBlend(e.get(), p.X, p.Y, size, size, s.get(), p.Y, p.X, 2, 1, 255);
}

TEST(PixelBlend, MixTwoBitmaps) {
  auto a = Make(2, 1, {0x00FFFFFF, 0x00FF0000});
  auto b = Make(2, 1, {0x00000000, 0x000000FF});
  struct Case {
    int weight;
    std::vector<std::uint32_t> expected;
  } cases[] = {
      {0, {0x77000000, 0x770000FF}},
      {256, {0x77FFFFFF, 0x77FF0000}},
      {128, {0x777F7F7F, 0x777F007F}},
      {65535, {0x77FFFFFF, 0x77FF0000}},  // beyond 256 counts as 256
  };
  for (auto& c : cases) {
    auto d = Filled(3, 1, 0x77000000);  // larger than A: only A's part is written
    MixTwoBitmaps(d.get(), a.get(), b.get(), nullptr, std::uint16_t(c.weight));
    EXPECT_EQ(Px(d.get(), 0, 0), c.expected[0]) << c.weight;
    EXPECT_EQ(Px(d.get(), 1, 0), c.expected[1]) << c.weight;
    EXPECT_EQ(Px(d.get(), 2, 0), 0x77000000u);
  }
  auto mask = Make(2, 1, {0x00FF0080, 0x00000000});
  auto d = Filled(1, 1, 0x10000000);  // smaller than A: clipped
  MixTwoBitmaps(d.get(), a.get(), b.get(), mask.get(), 0);
  EXPECT_EQ(Px(d.get(), 0, 0), 0x10FE007Fu);  // per channel by the mask's byte
  auto odd = Filled(3, 1, 0);
  MixTwoBitmaps(d.get(), a.get(), odd.get(), nullptr, 128);  // A and B differ: nothing
  MixTwoBitmaps(d.get(), a.get(), b.get(), odd.get(), 128);  // mask differs: nothing
  EXPECT_EQ(Px(d.get(), 0, 0), 0x10FE007Fu);
}

TEST(PixelBlend, PaintColorByMask) {
  // A 32-bit mask without a second colour works by alpha.
  auto mask = Make(2, 1, {0xFF000000, 0x00000000});
  auto d = Filled(2, 1, 0x80000000);
  PaintColorByMask(d.get(), mask.get(), Point(0, 0), 0x0000FF, clNone);
  EXPECT_EQ(All(d.get()), (std::vector<std::uint32_t>{0x80FE0000, 0x80000000}));

  // Two colours: dark mask pixels give Color, white ones BackColor.
  auto grey = Make(2, 1, {0x00000000, 0x00FFFFFF});
  auto t = Filled(2, 1, 0x33000000);
  PaintColorByMask(t.get(), grey.get(), Point(0, 0), 0x0000FF, 0xFF0000);
  EXPECT_EQ(All(t.get()), (std::vector<std::uint32_t>{0x33FE0000, 0x330000FF}));

  // Another mask format: by the inverted grey average.
  TBitmap rgb;
  rgb.SetPixelFormat(pf24bit);
  rgb.SetSize(2, 1);
  auto* bytes = static_cast<std::uint8_t*>(rgb.ScanLine(0));
  bytes[0] = bytes[1] = bytes[2] = 0;     // black: full colour
  bytes[3] = bytes[4] = bytes[5] = 255;   // white: none
  auto u = Filled(2, 1, 0x80000000);
  PaintColorByMask(u.get(), &rgb, Point(0, 0), 0xFFFFFF, clNone);
  EXPECT_EQ(All(u.get()), (std::vector<std::uint32_t>{0x80FEFEFE, 0x80000000}));

  // A negative point cuts the mask's matching side.
  auto v = Filled(1, 1, 0x80000000);
  PaintColorByMask(v.get(), mask.get(), Point(-1, 0), 0x0000FF, clNone);
  EXPECT_EQ(Px(v.get(), 0, 0), 0x80000000u);  // mask (1, 0) has alpha 0
  for (TPoint p : WildPoints) PaintColorByMask(v.get(), mask.get(), p, 0xFF, 0xFF00);
}

TEST(PixelBlend, MaskedAndAlphaImages) {
  // Odd height 21: rows 0..9 image, 10..19 mask.
  auto bmp = NewBitmap32(2, 22);
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 2; ++x) static_cast<std::uint32_t*>(bmp->ScanLine(y))[x] = 0x00000000u | (y << 16) | x;
  auto img = AlphaImageFromMasked(bmp.get(), Rect(0, 0, 2, 21));
  ASSERT_TRUE(img);
  EXPECT_EQ(img->Width(), 2);
  EXPECT_EQ(img->Height(), 10);
  EXPECT_EQ(Px(img.get(), 1, 0), ((255u - 10) << 24) | 1);  // alpha 255 - red of row 10
  EXPECT_EQ(Px(img.get(), 1, 9), ((255u - 19) << 24) | (9 << 16) | 1);
  EXPECT_EQ(Px(img.get(), 0, 0), ((255u - 10) << 24));
  EXPECT_FALSE(AlphaImageFromMasked(bmp.get(), Rect(0, 0, 2, 1)));
  EXPECT_FALSE(AlphaImageFromMasked(bmp.get(), Rect(3, 0, 1, 8)));
  auto off = AlphaImageFromMasked(bmp.get(), Rect(-5, 15, 3, 40));  // mostly outside: no reads outside
  ASSERT_TRUE(off);

  auto a = Make(2, 1, {0x40112233, 0xFF445566});
  auto m = MaskedImageFromAlpha(a.get());
  ASSERT_TRUE(m);
  EXPECT_EQ(All(m.get()), (std::vector<std::uint32_t>{0x40112233, 0xFF445566, 0xFFBFBFBF, 0xFF000000}));
  auto empty = NewBitmap32(0, 0);
  EXPECT_FALSE(MaskedImageFromAlpha(empty.get()));
}

// Whole rows go several pixels at a time on each vector path; single pixels one by one.
// Both must agree, on odd widths and on starts that are no multiple of a step.
class PixelBlendRows : public OnEachPixelPath {};

TEST_P(PixelBlendRows, MatchSinglePixels) {
  const int w = 37, h = 3;
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    auto src = Noise(w, h, seed);
    for (int variant = 0; variant < 5; ++variant) {
      for (int start : {0, 1, 3}) {
        auto whole = Noise(w, h, seed + 100);
        auto single = Noise(w, h, seed + 100);
        auto apply = [&](TBitmap* d, const TRect& r, TPoint p) {
          switch (variant) {
            case 0: AlphaBlendRect(d, src.get(), r, p, 255); break;
            case 1: AlphaBlendRect(d, src.get(), r, p, 100); break;
            case 2: BlendBitmapRect(d, src.get(), 0, r, p); break;
            case 3: BlendBitmapRect(d, src.get(), 100, r, p); break;
            default: BlendBitmapRect(d, src.get(), 255, r, p); break;
          }
        };
        // The source row starts at Start, the destination row one pixel further.
        apply(whole.get(), Rect(start, 0, w - 2, h - 1), Point(start + 1, 0));
        for (int y = 0; y < h; ++y)
          for (int x = start; x < w - 1; ++x) apply(single.get(), Rect(x, y, x, y), Point(x + 1, y));
        EXPECT_EQ(All(whole.get()), All(single.get())) << "seed " << seed << " variant " << variant << " start " << start;
      }
    }
  }
}
INSTANTIATE_ON_EACH_PIXEL_PATH(PixelBlendRows);
