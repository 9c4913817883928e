#include <gtest/gtest.h>

#include <climits>

#include "PixelFixtures.h"
#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/manager/sSkinManager.h"

using namespace fixtures;

namespace {
// Restores the composition answer after a test has pinned it.
struct CompositionPin {
  explicit CompositionPin(bool on) { SetDwmCompositionOverride(on); }
  ~CompositionPin() { SetDwmCompositionOverride(std::nullopt); }
};
}  // namespace

TEST(PixelOps, ByteOrderAndSinglePixels) {
  EXPECT_EQ(SwapRedBlue(0x80102030), 0x80302010u);
  EXPECT_EQ(ReverseBytes32(0x11223344), 0x44332211u);
  std::uint32_t values[] = {0x11223344, 0xAABBCCDD, 0x01020304};
  ReverseBytes32Array(values, 2);
  EXPECT_EQ(values[0], 0x44332211u);
  EXPECT_EQ(values[1], 0xDDCCBBAAu);
  EXPECT_EQ(values[2], 0x01020304u);
  ReverseBytes32Array(values, 0);
  FillDWords(values, -1, 0);
  FillDWords(values + 2, 1, 7);
  EXPECT_EQ(values[2], 7u);

  auto b = Filled(2, 2, 0);
  SetPixel32(b.get(), 1, 1, 0xCAFEBABE);
  EXPECT_EQ(GetPixel32(b.get(), 1, 1), 0xCAFEBABEu);
  EXPECT_EQ(StorePixel32(b.get(), 0, 1, 5), b->ScanLine(1));
  for (TPoint p : {Point(-1, 0), Point(2, 0), Point(0, -1), Point(0, 2)}) {
    EXPECT_EQ(GetPixel32(b.get(), p.X, p.Y), 0u);
    EXPECT_EQ(StorePixel32(b.get(), p.X, p.Y, 9), nullptr);
  }
  EXPECT_EQ(All(b.get()), (std::vector<std::uint32_t>{0, 0, 5, 0xCAFEBABE}));
}

TEST(PixelOps, FillsAreClipped) {
  struct Case {
    TRect r;
    int painted;
  } cases[] = {
      {Rect(-2, -2, 2, 2), 4},  {Rect(1, 1, 1, 3), 0},  {Rect(3, 3, 9, 9), 1},
      {Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), 16}, {Rect(4, 0, 8, 4), 0}, {Rect(2, 2, 0, 0), 0},
  };
  for (auto& c : cases) {
    auto b = Filled(4, 4, 0);
    FillRectArgb(b.get(), c.r, 0x0000FF, 0x80);  // TColor red
    EXPECT_EQ(CountNot(b.get(), 0), c.painted) << c.r.Left << "," << c.r.Top << "," << c.r.Right << "," << c.r.Bottom;
  }
  auto b = Filled(4, 4, 0);
  FillRectArgb(b.get(), Rect(0, 0, 1, 1), clBtnFace, 0x80);  // bytes as they are, no resolving
  EXPECT_EQ(Px(b.get(), 0, 0), 0x800F0000u);

  auto f = Filled(5, 5, 0);
  FillBetweenRects(f.get(), Rect(0, 0, 5, 5), Rect(1, 1, 4, 4), 0x00FF00, 0x40);
  EXPECT_EQ(CountNot(f.get(), 0), 16);
  EXPECT_EQ(Px(f.get(), 2, 2), 0u);
  EXPECT_EQ(Px(f.get(), 4, 4), 0x4000FF00u);

  auto g = Filled(6, 6, 0);
  FillInnerFrame(g.get(), Rect(0, 0, 6, 6), 1, 2, 0, 0, 0xFF0000);
  EXPECT_EQ(CountNot(g.get(), 0), 12 + 4);  // two top rows, then the left column below them
  EXPECT_EQ(Px(g.get(), 0, 5), 0xFF0000FFu);
  EXPECT_EQ(Px(g.get(), 5, 1), 0xFF0000FFu);
  EXPECT_EQ(Px(g.get(), 5, 5), 0u);
}

TEST(PixelOps, ColorBlendRectIsInclusive) {
  auto b = Filled(20, 20, 0x80FFFFFF);
  ColorBlendRect(b.get(), Rect(0, 0, 10, 10), 255, 0);
  EXPECT_EQ(CountNot(b.get(), 0x80FFFFFF), 11 * 11);
  EXPECT_EQ(Px(b.get(), 10, 10), 0x80FEFEFEu);  // weight 255 darkens one step, alpha stays

  auto w = Filled(4, 3, 0x00000000);
  ColorBlendRect(w.get(), Rect(0, 0, 4, 3), 0, 0x0000FF);  // the whole bitmap, TColor red
  EXPECT_EQ(CountNot(w.get(), 0x00FE0000), 0);
  ColorBlendRect(w.get(), Rect(-5, -5, INT_MAX, INT_MAX), 128, clWhite);
  EXPECT_EQ(Px(w.get(), 3, 2), 0x00FD7E7Eu);  // (254 * 128 + 255 * 127) >> 8 = 253

  auto s = Filled(1, 1, 0);
  ColorBlendRect(s.get(), Rect(0, 0, 0, 0), 0, clBtnFace);  // system colour resolved
  const std::uint32_t face = GetSysColor(COLOR_BTNFACE);
  auto ch = [](std::uint32_t c) { return c * 255 >> 8; };
  EXPECT_EQ(Px(s.get(), 0, 0), (ch(face & 0xFF) << 16) | (ch((face >> 8) & 0xFF) << 8) | ch((face >> 16) & 0xFF));
}

TEST(PixelOps, MixColorPercentAndAlpha) {
  auto b = Make(2, 1, {0x10204060, 0x10FF0000});
  MixColorPercentRect(b.get(), Rect(0, 0, 1, 1), 0x000000, 0, 0xC0);
  EXPECT_EQ(Px(b.get(), 0, 0), 0xC0204060u);
  MixColorPercentRect(b.get(), Rect(0, 0, 2, 1), 0xFF8000, 100, 0x01);  // TColor: blue FF, green 80
  EXPECT_EQ(All(b.get()), (std::vector<std::uint32_t>{0x010080FF, 0x010080FF}));
  auto c = Make(1, 1, {0x00C86432});
  MixColorPercentRect(c.get(), Rect(0, 0, 1, 1), 0x000000, 33, 0xFF);
  EXPECT_EQ(Px(c.get(), 0, 0), 0xFF864322u);  // c - c * 33 div 100
  MixColorPercentRect(c.get(), Rect(0, 0, 1, 1), 0xFFFFFF, -1000, 0xFF);
  EXPECT_EQ(Px(c.get(), 0, 0), 0xFF000000u);  // an outlandish percent stays in the byte range

  auto a = Make(3, 1, {0x00FF00FF, 0x00123456, 0x80123456});
  ApplyAlphaInRect(a.get(), Rect(-1, 0, 9, 1), 0xFF, 0x00FF00FF);
  EXPECT_EQ(All(a.get()), (std::vector<std::uint32_t>{0x00FF00FF, 0xFF123456, 0xFF123456}));
  ApplyAlphaInRect(a.get(), Rect(0, 0, 2, 1), 0x10, 0x1FFFFFFF);
  EXPECT_EQ(All(a.get()), (std::vector<std::uint32_t>{0x10FF00FF, 0x10123456, 0xFF123456}));
}

TEST(PixelOps, AlphaFromCornerKey) {
  auto b = Make(2, 2, {0x00123456, 0x00FF00FF, 0x00FF00FF, 0x00000000});
  AlphaFromCornerKey(b.get());  // bottom-left is the key
  EXPECT_EQ(All(b.get()), (std::vector<std::uint32_t>{0xFF123456, 0x00FF00FF, 0x00FF00FF, 0xFF000000}));
  auto a = Make(2, 1, {0x01000000, 0x00FF00FF});
  AlphaFromCornerKey(a.get());  // already has alpha somewhere
  EXPECT_EQ(All(a.get()), (std::vector<std::uint32_t>{0x01000000, 0x00FF00FF}));
}

TEST(PixelOps, Premultiply) {
  struct Case {
    std::uint32_t pixel;
    bool composed;
    std::uint32_t expected;
  } cases[] = {
      {0x00FFFFFF, false, 0x00000000}, {0x00FFFFFF, true, 0x00000000},
      {0xFFFFFFFF, false, 0xFFF4F4F4},  // near-white capped without composition
      {0xFFFFFFFF, true, 0xFFFEFEFE},
      {0xFFFAFAC8, false, 0xFFF9F9C7},  // blue 200 is not near white: plain
      {0x80643210, false, 0x80321908}, {0x00123456, true, 0x00000000},
  };
  for (auto& c : cases) {
    CompositionPin pin(c.composed);
    auto b = Make(1, 1, {c.pixel});
    PremultiplyBitmap(b.get());
    EXPECT_EQ(Px(b.get(), 0, 0), c.expected) << std::hex << c.pixel << " " << c.composed;
  }
  CompositionPin pin(true);
  auto b = Filled(3, 3, 0x80FFFFFF);
  PremultiplyRect(b.get(), Rect(2, 2, 100, 100));  // reaches past the bitmap: clipped
  EXPECT_EQ(CountNot(b.get(), 0x80FFFFFF), 1);
  PremultiplyRect(b.get(), Rect(-100, -100, -50, 1));
  EXPECT_EQ(CountNot(b.get(), 0x80FFFFFF), 1);
}

TEST(PixelOps, CopyThroughMaskKeyOwnKey) {
  auto dst = Make(3, 2, {0x00FF00FF, 0xFFFF00FF, 0x80123456, 0x00FF00FF, 0x00FF00FF, 0x00FF00FF});
  auto src = Filled(2, 2, 0xAA000001);
  // The source has 2 x 2 below the point (0, 0): only that much of the 3 x 2 rectangle.
  CopyThroughMaskKey(dst.get(), src.get(), Rect(0, 0, 3, 2), Point(0, 0), -1, nullptr, 0);
  EXPECT_EQ(All(dst.get()),
            (std::vector<std::uint32_t>{0xAA000001, 0xAA000001, 0x80123456, 0xAA000001, 0xAA000001, 0x00FF00FF}));
  // Alpha is cleared everywhere in the rectangle, the key compared on colour alone.
  auto d2 = Make(2, 1, {0x80123456, 0x12345678});
  CopyThroughMaskKey(d2.get(), src.get(), Rect(0, 0, 2, 1), Point(0, 0), -1, nullptr, 0);
  EXPECT_EQ(All(d2.get()), (std::vector<std::uint32_t>{0x00123456, 0x00345678}));
  // Rectangles and points outside either bitmap are clipped.
  for (TRect r : {Rect(-5, -5, 10, 10), Rect(1, 1, INT_MAX, INT_MAX), Rect(INT_MIN, 0, 0, 1)})
    for (TPoint p : {Point(-3, -3), Point(1, 1), Point(100, 0)})
      CopyThroughMaskKey(dst.get(), src.get(), r, p, -1, nullptr, 0);
  auto d3 = Filled(3, 3, 0x00FF00FF);
  CopyThroughMaskKey(d3.get(), src.get(), Rect(-1, -1, 3, 3), Point(0, 0), -1, nullptr, 0);
  EXPECT_EQ(Px(d3.get(), 0, 0), 0xAA000001u);  // source (1, 1)
  EXPECT_EQ(Px(d3.get(), 1, 1), 0x00FF00FFu);  // beyond the source's 2 x 2
}

TEST(PixelOps, CopyThroughMaskKeySkinImage) {
  TsSkinManager manager;
  // A 4 x 2 image of one 4 x 2 cell in the master bitmap at (1, 0); its right corner
  // columns (WR = 2) carry the key in the top row.
  manager.MasterBitmap()->SetPixelFormat(pf32bit);
  manager.MasterBitmap()->SetSize(5, 2);
  const std::uint32_t k = 0x7FFF00FF, n = 0xFF000000;
  const std::uint32_t master[2][5] = {{n, k, n, n, k}, {n, n, n, k, n}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) static_cast<std::uint32_t*>(manager.MasterBitmap()->ScanLine(y))[x] = master[y][x];
  TacSkinData data;
  TsMaskData mask;
  mask.R = Rect(1, 0, 5, 2);
  mask.Width = 4;
  mask.Height = 2;
  mask.WR = 2;
  mask.WB = 1;
  mask.ImageCount = 1;
  mask.Manager = &manager;
  data.ma.push_back(mask);

  auto src = Filled(4, 4, 0x11111111);
  struct Case {
    int corner;
    std::vector<std::uint32_t> expected;  // 2 x 2 destination
  } cases[] = {
      {13, {0x11111111, 0, 0, 0}},           // top-left: master (1, 0)
      {14, {0, 0x11111111, 0x11111111, 0}},  // top-right: master (3, 0)
      {16, {0, 0, 0, 0}},                    // bottom-left: master (1, 1), one row left
      {17, {0x11111111, 0, 0, 0}},           // bottom-right: master (3, 1), one row left
  };
  for (auto& c : cases) {
    auto dst = Filled(2, 2, 0);
    CopyThroughMaskKey(dst.get(), src.get(), Rect(0, 0, 2, 2), Point(1, 1), 0, &data, c.corner);
    EXPECT_EQ(All(dst.get()), c.expected) << c.corner;
  }
  // Indexes from a skin are checked.
  auto dst = Filled(2, 2, 0);
  for (int index : {1, -2, INT_MAX}) CopyThroughMaskKey(dst.get(), src.get(), Rect(0, 0, 2, 2), Point(0, 0), index, &data, 13);
  CopyThroughMaskKey(dst.get(), src.get(), Rect(0, 0, 2, 2), Point(0, 0), 0, nullptr, 13);
  EXPECT_EQ(CountNot(dst.get(), 0), 0);
  // A corner far outside the image copies nothing and reads nothing outside.
  data.ma[0].WR = -1000;
  data.ma[0].WB = SHRT_MIN;
  CopyThroughMaskKey(dst.get(), src.get(), Rect(0, 0, 2, 2), Point(0, 0), 0, &data, 17);
  EXPECT_EQ(CountNot(dst.get(), 0), 0);
}

TEST(PixelOps, IconFromBitmap32UsesAlpha) {
  auto b = Make(2, 2, {0xFF0000FF, 0x00000000, 0x80FF0000, 0xFF00FF00});
  HICON icon = IconFromBitmap32(b.get());
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  EXPECT_TRUE(info.fIcon);
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  DestroyIcon(icon);
  auto empty = NewBitmap32(0, 0);
  EXPECT_EQ(IconFromBitmap32(empty.get()), nullptr);
}

TEST(PixelOps, DisabledLook) {
  // Desaturation spares the key and follows the engine-wide setting.
  auto b = Make(2, 1, {0x00FF00FF, 0xFFC86400});
  ApplyDisabledLook(b.get(), 2, nullptr, TCacheInfo{}, Point(0, 0));
  EXPECT_EQ(Px(b.get(), 0, 0), 0x00FF00FFu);
  EXPECT_EQ(Px(b.get(), 1, 0), 0xFF7D7369u);  // amount -90 * 255 div 100 = -229, luma 118
  const std::int32_t saved = DisabledSaturation;
  DisabledSaturation = -100;
  auto g = Make(1, 1, {0x00FF00FF});
  ApplyDisabledLook(g.get(), 2, nullptr, TCacheInfo{}, Point(0, 0));
  EXPECT_EQ(Px(g.get(), 0, 0), 0x00696969u);  // grey, even the key colour
  DisabledSaturation = saved;

  // Faded into a ready background taken at the control's origin plus the offset.
  auto bg = Make(3, 1, {0x00000000, 0x00000000, 0xFFFFFFFF});
  TCacheInfo ready;
  ready.Bmp = bg.get();
  ready.X = 1;
  ready.Y = 0;
  ready.Ready = true;
  ready.FillColor = 0xFF00FF;
  auto f = Make(1, 1, {0x00000000});
  ApplyDisabledLook(f.get(), 1, nullptr, ready, Point(1, 0));
  EXPECT_EQ(Px(f.get(), 0, 0), 0x9A9A9A9Au);  // (155 * 255 + 100 * 0) >> 8 in every byte

  // Not ready: mixed with the fill colour by the blend weight.
  TCacheInfo plain;
  plain.FillColor = 0x0000FF;
  auto p = Make(1, 1, {0x80FFFFFF});
  ApplyDisabledLook(p.get(), 1, nullptr, plain, Point(0, 0));
  EXPECT_EQ(Px(p.get(), 0, 0), 0x80FE6363u);  // red: (255 * 100 + 255 * 155) >> 8; others 255 * 100 >> 8
}

// Whole rows go several pixels at a time on each vector path; single pixels one by one.
// Both must agree, on odd widths and on starts that are no multiple of a step.
class PremultiplyRows : public OnEachPixelPath {};

TEST_P(PremultiplyRows, MatchSinglePixels) {
  const int w = 37, h = 3;
  for (bool composed : {false, true}) {
    CompositionPin pin(composed);
    for (std::uint32_t seed : {1u, 2u, 3u}) {
      for (int start : {0, 1, 3}) {
        auto whole = Noise(w, h, seed);
        auto single = Noise(w, h, seed);
        PremultiplyRect(whole.get(), Rect(start, 0, w, h));
        for (int y = 0; y < h; ++y)
          for (int x = start; x < w; ++x) PremultiplyRect(single.get(), Rect(x, y, x + 1, y + 1));
        EXPECT_EQ(All(whole.get()), All(single.get()))
            << "seed " << seed << " composed " << composed << " start " << start;
      }
    }
  }
}
INSTANTIATE_ON_EACH_PIXEL_PATH(PremultiplyRows);
