// Nine-slice painting of skin images, masked pieces and glyph cells.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "PixelFixtures.h"
#include "SkinBuilder.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"

namespace {

constexpr std::uint32_t Key = 0x00FF00FF;
constexpr std::uint32_t Bg = 0xFF0A0B0C;
// A source pixel that tells where it was read.
std::uint32_t Code(int x, int y) { return 0xFF000000u | (x << 8) | y; }

// Destination position p of a side of length Len to the cell column or row it reads:
// corners of A and B pixels, the middle tiled from its start by the cell's middle length.
int Axis(int p, int len, int a, int b, int n) {
  if (p < a) return p;
  if (p >= len - b) return n - (len - p);
  return a + (p - a) % (n - a - b);
}

struct TNineFixture {
  TSkinBuilder Skin{64, 64};
  int A, B, C;
  TNineFixture() {
    Skin.Paint(Skin.Master(), Rect(0, 0, 64, 64), [](int x, int y) { return Code(x, y); });
    // A: three 11 x 8 cells, margins 3, 2, 4, 3; each cell's top-left pixel is the key.
    A = Skin.AddImage({.R = Rect(2, 1, 35, 9), .Width = 11, .Height = 8, .ImageCount = 3, .WL = 3, .WT = 2, .WR = 4,
                       .WB = 3, .Cfg = 1});
    for (int c = 0; c < 3; ++c) TSkinBuilder::Put(Skin.Master(), 2 + c * 11, 1, Key);
    B = Skin.AddImage({.R = Rect(0, 20, 14, 28), .Width = 14, .Height = 8, .WL = 6, .WT = 2, .WR = 5, .WB = 3});
    C = Skin.AddImage({.R = Rect(0, 40, 5, 48), .Width = 5, .Height = 8, .WL = 3, .WT = 2, .WR = 4, .WB = 3});
  }
};

TEST(NineSlice, KeyColourPiecesReadExactlyTheirCellPixels) {
  struct Case {
    const char* Name;
    int Image;  // 0 A, 1 B, 2 C
    int W, H, State, DrawMode, ImageCount;
    int Cell;  // -1: nothing painted
    int WL, WT, WR, WB;  // margins after shrinking
  };
  const Case cases[] = {
      {"one pixel wide", 0, 1, 12, 0, 4, 3, -1, 3, 2, 4, 3},
      {"one pixel high", 0, 12, 1, 0, 4, 3, -1, 3, 2, 4, 3},
      {"state 0 hidden by bit 2", 0, 17, 12, 0, 2, 3, -1, 3, 2, 4, 3},
      {"state 1 of the same", 0, 17, 12, 1, 2, 3, 1, 3, 2, 4, 3},
      {"state past the cells", 0, 17, 12, 7, 4, 3, 2, 3, 2, 4, 3},
      {"negative state", 0, 17, 12, -3, 4, 3, 0, 3, 2, 4, 3},
      {"no cells", 0, 17, 12, 2, 4, 0, 0, 3, 2, 4, 3},
      {"10-pixel sides of 4-pixel tiles", 0, 17, 15, 0, 4, 3, 0, 3, 2, 4, 3},
      {"12-pixel sides of 4-pixel tiles", 0, 19, 17, 0, 4, 3, 0, 3, 2, 4, 3},
      {"no centre without bit 4", 0, 19, 17, 0, 0, 3, 0, 3, 2, 4, 3},
      {"margins 6 and 5 into 8", 1, 8, 12, 0, 4, 1, 0, 5, 2, 3, 3},
      {"height shrinks too, odd pixel off the bottom", 0, 17, 4, 0, 4, 3, 0, 3, 2, 4, 2},
      {"cell narrower than its margins", 2, 20, 12, 0, 4, 1, -1, 3, 2, 4, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TNineFixture f;
    const int index = c.Image == 0 ? f.A : c.Image == 1 ? f.B : f.C;
    TsMaskData md = f.Skin.Image(index);
    md.DrawMode = static_cast<short>(c.DrawMode);
    md.ImageCount = static_cast<short>(c.ImageCount);
    auto dst = NewBitmap32(40, 40);
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 40, 40), [](int, int) { return Bg; });
    TCacheInfo ci;
    ci.FillColor = 0x00112233;
    const TRect r = Bounds(5, 6, c.W, c.H);
    PaintMaskNineSlice(dst.get(), r, ci, md, c.State, true);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        std::uint32_t want = Bg;
        const int px = x - r.Left, py = y - r.Top;
        if (c.Cell >= 0 && px >= 0 && py >= 0 && px < c.W && py < c.H) {
          const bool midX = px >= c.WL && px < c.W - c.WR, midY = py >= c.WT && py < c.H - c.WB;
          if (!(midX && midY) || (c.DrawMode & 4)) {
            const int sx = Axis(px, c.W, c.WL, c.WR, md.Width), sy = Axis(py, c.H, c.WT, c.WB, md.Height);
            want = sx == 0 && sy == 0 && c.Image == 0 ? 0xFF332211u
                                                      : Code(md.R.Left + c.Cell * md.Width + sx, md.R.Top + sy);
          }
        }
        ASSERT_EQ(want, TSkinBuilder::Get(dst.get(), x, y)) << "at " << x << ", " << y;
      }
  }
}

TEST(NineSlice, KeyCornersShowTheReadyBackgroundOnlyWithTheCornerFlag) {
  // Key pixels of the sides are copied as they are; corners see through only with
  // UpdateCorners and the loader's corner bits.
  struct Case {
    bool Update;
    int Cfg;
    bool SeeThrough;
  } cases[] = {{true, 1, true}, {true, 2, true}, {false, 1, false}, {true, 0, false}};
  for (const Case& c : cases) {
    TNineFixture f;
    TSkinBuilder::Put(f.Skin.Master(), 2 + 4, 1, Key);  // a key pixel on the top side
    TsMaskData md = f.Skin.Image(f.A);
    md.Cfg = c.Cfg;
    auto dst = NewBitmap32(20, 20);
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 20, 20), [](int, int) { return Bg; });
    auto parent = NewBitmap32(50, 50);
    TSkinBuilder::Paint(parent.get(), Rect(0, 0, 50, 50), [](int x, int y) { return 0xFF000000u | (x << 16) | y; });
    const TCacheInfo ci = {parent.get(), 7, 9, 0xFF00FF, {}, true};
    PaintMaskNineSlice(dst.get(), Rect(2, 3, 19, 15), ci, md, 0, c.Update);
    EXPECT_EQ(c.SeeThrough ? 0xFF000000u | (9 << 16) | 12 : Bg, TSkinBuilder::Get(dst.get(), 2, 3));
    EXPECT_EQ(Key, TSkinBuilder::Get(dst.get(), 2 + 4, 3));
  }
}

TEST(NineSlice, StretchedPiecesFillTheirZonesWithTheirColours) {
  // An image of its own with a flat colour per zone, sides and centre stretched.
  TSkinBuilder skin;
  TBitmap* own = skin.NewOwnBitmap(11, 8);
  auto zone = [](int x, int y) {
    const int zx = x < 3 ? 0 : x < 7 ? 1 : 2, zy = y < 2 ? 0 : y < 5 ? 1 : 2;
    return 0xFF000000u | ((zy * 3 + zx + 1) * 0x1C1C1C);
  };
  TSkinBuilder::Paint(own, Rect(0, 0, 11, 8), zone);
  TsMaskData md = skin.Image(skin.AddImage(
      {.R = Rect(0, 0, 11, 8), .Width = 11, .Height = 8, .DrawMode = 0x05, .WL = 3, .WT = 2, .WR = 4, .WB = 3,
       .Bmp = own}));
  auto dst = NewBitmap32(40, 30);
  PaintMaskNineSlice(dst.get(), Rect(0, 0, 40, 30), EmptyCacheInfo, md, 0, false);
  EXPECT_EQ(COLORONCOLOR, GetStretchBltMode(dst->Canvas().Handle()));
  const int xs[] = {1, 20, 38}, ys[] = {0, 15, 28};
  for (int zy = 0; zy < 3; ++zy)
    for (int zx = 0; zx < 3; ++zx) {
      const int sx = zx == 0 ? 1 : zx == 1 ? 5 : 9, sy = zy == 0 ? 0 : zy == 1 ? 3 : 6;
      EXPECT_EQ(zone(sx, sy), TSkinBuilder::Get(dst.get(), xs[zx], ys[zy])) << zx << ", " << zy;
    }
}

TEST(NineSlice, AlphaModeBlendsEveryPixelOnce) {
  TSkinBuilder skin;
  TSkinBuilder::Paint(skin.Master(), Rect(0, 0, 11, 8), [](int, int) { return 0x80C08040u; });
  TsMaskData md = skin.Image(skin.AddImage(
      {.R = Rect(0, 0, 11, 8), .Width = 11, .Height = 8, .DrawMode = 0x14, .WL = 3, .WT = 2, .WR = 4, .WB = 3}));
  auto once = NewBitmap32(1, 1);
  TSkinBuilder::Put(once.get(), 0, 0, Bg);
  AlphaBlendRect(once.get(), skin.Master(), Rect(0, 0, 0, 0), Point(0, 0), 255);
  const std::uint32_t want = TSkinBuilder::Get(once.get(), 0, 0);
  ASSERT_NE(Bg, want);
  auto dst = NewBitmap32(25, 19);
  TSkinBuilder::Paint(dst.get(), Rect(0, 0, 25, 19), [](int, int) { return Bg; });
  PaintMaskNineSlice(dst.get(), Rect(0, 0, 25, 19), EmptyCacheInfo, md, 0, true);
  for (int y = 0; y < 19; ++y)
    for (int x = 0; x < 25; ++x) ASSERT_EQ(want, TSkinBuilder::Get(dst.get(), x, y)) << x << ", " << y;
}

TEST(NineSlice, RectanglesFarOutsideTheBitmapsChangeNothingOutside) {
  TNineFixture f;
  TsMaskData md = f.Skin.Image(f.A);
  md.R = Rect(50, 50, 83, 58);  // cells reach past the master bitmap
  for (short mode : {0, 1, 4, 5, 0x10, 0x14}) {
    md.DrawMode = mode;
    auto dst = NewBitmap32(20, 20);
    PaintMaskNineSlice(dst.get(), Rect(-50, -50, 70, 70), EmptyCacheInfo, md, 1, true);
    PaintMaskNineSlice(dst.get(), Rect(1000, 1000, 1100, 1100), EmptyCacheInfo, md, 1, true);
  }
  TsMaskData masked = md;
  masked.MaskType = 1;
  masked.DrawMode = 5;
  auto dst = NewBitmap32(20, 20);
  PaintMaskNineSlice(dst.get(), Rect(-5, -5, 30, 30), EmptyCacheInfo, masked, 0, true);
}

TEST(StretchMaskedPiece, OnePixelSourceFillsOnBlackMaskAndKeepsOnWhite) {
  TSkinBuilder skin(4, 4);
  TSkinBuilder::Put(skin.Master(), 0, 0, 0xFF204060);
  TSkinBuilder::Put(skin.Master(), 1, 0, 0xFF204060);
  TSkinBuilder::Put(skin.Master(), 0, 2, 0x00000000);  // black mask
  TSkinBuilder::Put(skin.Master(), 1, 2, 0x00FFFFFF);  // white mask
  for (int col : {0, 1}) {
    auto dst = NewBitmap32(6, 6);
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 6, 6), [](int, int) { return Bg; });
    StretchMaskedPiece(1, 1, 3, 3, col, 0, 1, 1, dst.get(), skin.Master(), 2, true);
    EXPECT_EQ(col == 0 ? 0xFF204060u : Bg, TSkinBuilder::Get(dst.get(), 2, 2));
    EXPECT_EQ(Bg, TSkinBuilder::Get(dst.get(), 4, 4));
    // A mask row below the source reads nothing.
    StretchMaskedPiece(1, 1, 3, 3, col, 3, 1, 1, dst.get(), skin.Master(), 2, true);
  }
}

TEST(StretchMaskedPiece, MixesThroughTheMaskPerChannelAndMakesOpaque) {
  TSkinBuilder skin(4, 4);
  TSkinBuilder::Paint(skin.Master(), Rect(0, 0, 2, 2), [](int, int) { return 0x00804020u; });
  TSkinBuilder::Paint(skin.Master(), Rect(0, 2, 2, 4), [](int x, int) { return x == 0 ? 0u : 0x00808080u; });
  auto dst = NewBitmap32(4, 4);
  TSkinBuilder::Paint(dst.get(), Rect(0, 0, 4, 4), [](int, int) { return 0x00000000u; });
  StretchMaskedPiece(0, 0, 2, 2, 0, 0, 2, 2, dst.get(), skin.Master(), 2, false);
  EXPECT_EQ(0xFF804020u, TSkinBuilder::Get(dst.get(), 0, 1));
  EXPECT_EQ(0xFF402010u, TSkinBuilder::Get(dst.get(), 1, 1));  // ((0 - s) * 128 + s * 256) >> 8
}

TEST(CopyMaskedFromMaster, KeyPixelsTakeTheFillColourOthersMixThroughTheMask) {
  TSkinBuilder skin(4, 4);
  // Image rows 0-1, mask rows 2-3 (R is 4 rows high).
  const std::uint32_t image[] = {Key, 0xFF804020, 0xFF804020, 0xFF804020};
  const std::uint32_t mask[] = {0, 0, 0x00FFFFFF, 0x00808080};
  for (int x = 0; x < 4; ++x) {
    TSkinBuilder::Put(skin.Master(), x, 0, image[x]);
    TSkinBuilder::Put(skin.Master(), x, 2, mask[x]);
  }
  TsMaskData md = skin.Image(skin.AddImage({.R = Rect(0, 0, 4, 4), .Width = 4, .Height = 2, .MaskType = 1}));
  auto dst = NewBitmap32(6, 3);
  TSkinBuilder::Paint(dst.get(), Rect(0, 0, 6, 3), [](int, int) { return 0x11000000u; });
  TCacheInfo ci;
  ci.FillColor = 0x00112233;
  CopyMaskedFromMaster(Rect(2, 1, 6, 2), Rect(0, 0, 4, 1), dst.get(), ci, md);
  EXPECT_EQ(0x00332211u, TSkinBuilder::Get(dst.get(), 2, 1));
  EXPECT_EQ(0x11804020u, TSkinBuilder::Get(dst.get(), 3, 1));
  EXPECT_EQ(0x11000000u, TSkinBuilder::Get(dst.get(), 4, 1));
  EXPECT_EQ(0x11402010u, TSkinBuilder::Get(dst.get(), 5, 1));
  EXPECT_EQ(0x11000000u, TSkinBuilder::Get(dst.get(), 2, 0));
  // The unknown colour with a ready background takes the background; outside it, nothing.
  auto parent = NewBitmap32(3, 3);
  TSkinBuilder::Paint(parent.get(), Rect(0, 0, 3, 3), [](int, int) { return 0xFFABCDEFu; });
  CopyMaskedFromMaster(Rect(0, 0, 4, 1), Rect(0, 0, 4, 1), dst.get(), MakeCacheInfo(parent.get(), 1, 1), md);
  EXPECT_EQ(0xFFABCDEFu, TSkinBuilder::Get(dst.get(), 0, 0));
  // Rows and rectangles reaching outside both bitmaps.
  CopyMaskedFromMaster(Rect(-3, -3, 100, 100), Rect(-2, 1, 90, 90), dst.get(), ci, md);
}

// A glyph of two 2 x 1 cells: an image pixel and a key pixel (masked: mask row below).
struct TGlyph {
  TSkinBuilder Skin{8, 8};
  TsMaskData Md;
  TGlyph(int maskType, int drawMode, bool own, std::uint32_t pixel, std::uint32_t maskPixel) {
    TBitmap* bmp = own ? Skin.NewOwnBitmap(4, 2) : Skin.Master();
    for (int c = 0; c < 2; ++c) {
      TSkinBuilder::Put(bmp, c * 2, 0, pixel + c);  // the cell shows itself in the blue byte
      TSkinBuilder::Put(bmp, c * 2 + 1, 0, Key);
      TSkinBuilder::Put(bmp, c * 2, 1, maskPixel);
      TSkinBuilder::Put(bmp, c * 2 + 1, 1, 0);
    }
    Md = Skin.Image(Skin.AddImage({.R = Rect(0, 0, 4, maskType ? 2 : 1), .Width = 2, .Height = 1, .ImageCount = 2,
                                   .MaskType = maskType, .DrawMode = drawMode, .Bmp = own ? bmp : nullptr}));
  }
};

TEST(DrawMaskStateImage, ModesByImageKindOverATransparentDestination) {
  struct Case {
    const char* Name;
    int MaskType, DrawMode;
    bool Own;
    int Mode;
    std::uint32_t Pixel, Mask;
    std::uint32_t Want, WantKey;  // the image pixel and the key pixel after drawing
  };
  constexpr std::uint32_t Back = 0xFFABCDEF;  // the ready background behind the key
  const Case cases[] = {
      {"masked own, mode 1", 1, 0, true, 1, 0xFF804020, 0x00808080, 0x7E402010, 0xFE000000},
      {"masked master, faded", 1, 0, false, 2, 0xFF804020, 0x00808080, 0x7E0E0703, 0xFE000000},
      {"masked, black mask", 1, 0, true, 1, 0xFF804020, 0, 0xFE804020, 0xFE000000},
      {"alpha own, mode 1", 0, 0x10, true, 1, 0x80804020, 0, 0x7F402010, 0x00000000},
      {"alpha own, faded", 0, 0x10, true, 0, 0x80804020, 0, 0x7F0E0703, 0x00000000},
      {"key own, mode 1", 0, 0, true, 1, 0xFF804020, 0, 0xFF804020, 0x00000000},
      {"key own, faded", 0, 0, true, 2, 0xFF804020, 0, 0x004B2512, 0x00000000},
      {"key master, mode 1", 0, 0, false, 1, 0xFF804020, 0, 0xFF804020, Back},
      {"key master, faded", 0, 0, false, 2, 0xFF804020, 0, 0x7F402010, 0x00000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TGlyph g(c.MaskType, c.DrawMode, c.Own, c.Pixel, c.Mask);
    auto parent = NewBitmap32(10, 10);
    TSkinBuilder::Paint(parent.get(), Rect(0, 0, 10, 10), [](int, int) { return Back; });
    auto dst = NewBitmap32(4, 3);
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 4, 3), [](int, int) { return 0u; });
    DrawMaskStateImage(dst.get(), Point(1, 1), 0, c.Mode, g.Md, MakeCacheInfo(parent.get(), 0, 0));
    EXPECT_EQ(c.Want, TSkinBuilder::Get(dst.get(), 1, 1));
    EXPECT_EQ(c.WantKey, TSkinBuilder::Get(dst.get(), 2, 1));
    EXPECT_EQ(0u, TSkinBuilder::Get(dst.get(), 0, 1));
  }
}

TEST(DrawMaskStateImage, CellsEdgesAndImagesThatCannotBeDrawn) {
  auto draw = [](TGlyph& g, TPoint p, int state) {
    auto dst = NewBitmap32(4, 3);
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 4, 3), [](int, int) { return 0u; });
    DrawMaskStateImage(dst.get(), p, state, 1, g.Md, EmptyCacheInfo);
    return std::pair{TSkinBuilder::Get(dst.get(), 0, 0), TSkinBuilder::Get(dst.get(), 1, 0)};
  };
  TGlyph key(0, 0, true, 0xFF804020, 0);
  EXPECT_EQ(0xFF804021u, draw(key, Point(0, 0), 5).first);   // past the cells: the last
  EXPECT_EQ(0xFF804020u, draw(key, Point(0, 0), -2).first);  // negative: the first
  // Left of the bitmap the image is cut: column 0 shows the cell's second pixel (the key,
  // which keeps the destination), never the next cell.
  EXPECT_EQ(0u, draw(key, Point(-1, 0), 0).first);
  key.Md.ImageCount = 0;
  EXPECT_EQ(0xFF804020u, draw(key, Point(0, 0), 1).first);  // own bitmap without cells: the first
  TGlyph master(0, 0, false, 0xFF804020, 0);
  master.Md.ImageCount = 0;
  EXPECT_EQ(0u, draw(master, Point(0, 0), 0).first);  // the master path draws nothing
  TGlyph small(0, 0, true, 0xFF804020, 0);
  small.Md.R = Rect(0, 0, 6, 1);  // wider than its bitmap
  EXPECT_EQ(0u, draw(small, Point(0, 0), 0).first);
  TGlyph badMask(-1, 0, true, 0xFF804020, 0);  // a negative mask type is no mask
  EXPECT_EQ(0xFF804020u, draw(badMask, Point(0, 0), 0).first);
  TGlyph tall(3, 0, true, 0xFF804020, 0);  // mask rows would lie below the bitmap
  tall.Md.R = Rect(0, 0, 4, 40);
  tall.Md.Height = 1;
  draw(tall, Point(0, 0), 0);
}

}  // namespace

namespace {

TEST(WorkBitmap, KeptBetweenCallsClearedWhenAskedAndNestedOnesApart) {
  // Whatever earlier tests left kept is held out of the way for the test: at most four are
  // kept, and each of these takes one of them (or is new).
  std::vector<std::unique_ptr<TWorkBitmap>> held;
  for (int i = 0; i < 4; ++i) held.push_back(std::make_unique<TWorkBitmap>(1, 1, false));
  TBitmap *first = nullptr, *second = nullptr;
  {
    TWorkBitmap a(30, 20, false);
    TWorkBitmap b(30, 20, false);  // taken while A is in use: another bitmap
    first = a.get();
    second = b.get();
    ASSERT_NE(first, second);
    TSkinBuilder::Paint(a.get(), Rect(0, 0, 30, 20), [](int, int) { return 0xFF123456u; });
    TSkinBuilder::Paint(b.get(), Rect(0, 0, 30, 20), [](int, int) { return 0xFF123456u; });
  }
  TWorkBitmap c(10, 12, true);  // one of the kept ones, its area as new
  EXPECT_TRUE(c.get() == first || c.get() == second);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(0x00FFFFFFu, TSkinBuilder::Get(c.get(), x, y)) << x << ", " << y;
  TWorkBitmap big(40, 20, false);  // larger than every kept one: a new bitmap
  EXPECT_TRUE(big.get() != first && big.get() != second);
  EXPECT_EQ(40, big->Width());
  EXPECT_EQ(0x00FFFFFFu, TSkinBuilder::Get(big.get(), 39, 19));
  TWorkBitmap none(0, 5, true);
  EXPECT_TRUE(none.Empty());
}

}  // namespace

namespace {

// Layered painting: an image of its own with three 12 x 12 cells, margins 3, 2, 4, 3. Each
// zone of each cell has a colour of its own; a masked image carries its grey mask below
// (corners 0, sides 64, centre 200) and the top-left pixel of every cell is the key.
struct TLayeredFixture {
  static constexpr int Cell = 12;
  static constexpr std::uint32_t Clear = 0x00102030;  // transparent, with a colour of its own
  TSkinBuilder Skin;
  TBitmap* Own;
  TsMaskData Md;
  static int ZoneX(int x) { return x < 3 ? 0 : x < Cell - 4 ? 1 : 2; }
  static int ZoneY(int y) { return y < 2 ? 0 : y < Cell - 3 ? 1 : 2; }
  static std::uint32_t Colour(int cellX, int y, int cell) {
    return 0xFF000000u | ((0x40 + cell * 0x20) << 16) | ((0x40 + ZoneX(cellX) * 0x30) << 8) | (0x40 + ZoneY(y) * 0x30);
  }
  static std::uint32_t MaskRed(int cellX, int y) {
    const int sides = (ZoneX(cellX) == 1) + (ZoneY(y) == 1);
    return sides == 0 ? 0 : sides == 1 ? 64 : 200;
  }
  explicit TLayeredFixture(bool masked = true, int drawMode = 0x04) {
    Own = Skin.NewOwnBitmap(3 * Cell, masked ? 2 * Cell : Cell);
    TSkinBuilder::Paint(Own, Rect(0, 0, 3 * Cell, Cell), [](int x, int y) { return Colour(x % Cell, y, x / Cell); });
    for (int c = 0; c < 3; ++c) TSkinBuilder::Put(Own, c * Cell, 0, Key);
    if (masked)
      TSkinBuilder::Paint(Own, Rect(0, Cell, 3 * Cell, 2 * Cell), [](int x, int y) {
        const std::uint32_t m = MaskRed(x % Cell, y - Cell);
        return 0xFF000000u | (m << 16) | (m << 8) | m;
      });
    Md = Skin.Image(Skin.AddImage({.R = Rect(0, 0, 3 * Cell, masked ? 2 * Cell : Cell), .Width = Cell, .Height = Cell,
                                   .ImageCount = 3, .MaskType = masked ? 1 : 0, .DrawMode = drawMode, .WL = 3,
                                   .WT = 2, .WR = 4, .WB = 3, .Bmp = Own}));
  }
};

// A destination pixel under a masked source pixel, layered: (d * m + s * (255 - m)) >> 8,
// alpha at least 255 - m.
std::uint32_t LayeredMix(std::uint32_t d, std::uint32_t s, std::uint32_t m) {
  std::uint32_t out = std::max(d >> 24, 255 - m) << 24;
  for (int sh = 0; sh < 24; sh += 8) out |= ((((d >> sh) & 0xFF) * m + ((s >> sh) & 0xFF) * (255 - m)) >> 8) << sh;
  return out;
}

TEST(NineSliceLayered, MaskedPiecesCarryTheirCoverAsAlphaAndKeyCornersShowWhatLiesBehind) {
  // Every pixel of a tiled masked image (centre too) over a transparent destination: the
  // image's colour with alpha 255 - mask red; the key corner with a ready background shows
  // that background's pixel (each pixel of it encodes its place), with the empty one keeps
  // the destination's colour at alpha 0.
  auto parent = NewBitmap32(40, 40);
  TSkinBuilder::Paint(parent.get(), Rect(0, 0, 40, 40), Code);
  const struct {
    const char* Name;
    TCacheInfo Ci;
  } cases[] = {{"empty background", EmptyCacheInfo}, {"ready background", {parent.get(), 5, 7, 0xFF00FF, {}, true}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TLayeredFixture f;
    auto dst = NewBitmap32(22, 18);
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 22, 18), [](int, int) { return TLayeredFixture::Clear; });
    const TRect r = Rect(2, 1, 19, 15);
    PaintMaskNineSliceLayered(dst.get(), r, c.Ci, f.Md, 1);
    for (int y = 0; y < 18; ++y)
      for (int x = 0; x < 22; ++x) {
        std::uint32_t want = TLayeredFixture::Clear;
        if (x >= r.Left && y >= r.Top && x < r.Right && y < r.Bottom) {
          const int sx = Axis(x - r.Left, r.Width(), 3, 4, 12), sy = Axis(y - r.Top, r.Height(), 2, 3, 12);
          if (sx == 0 && sy == 0)
            want = c.Ci.Ready ? Code(5 + x, 7 + y) : TLayeredFixture::Clear & 0x00FFFFFF;
          else
            want = LayeredMix(TLayeredFixture::Clear, TLayeredFixture::Colour(sx, sy, 1), TLayeredFixture::MaskRed(sx, sy));
        }
        ASSERT_EQ(want, TSkinBuilder::Get(dst.get(), x, y)) << "at " << x << ", " << y;
      }
  }
}

TEST(NineSliceLayered, MaskedCopiesKeepInsideBothBitmaps) {
  // Source: a 6 x 2 image whose pixels tell their column, its mask (red 40 + column) in the
  // two rows below. Destination 6 x 3, clear.
  auto src = NewBitmap32(6, 4);
  TSkinBuilder::Paint(src.get(), Rect(0, 0, 6, 2), [](int x, int y) { return 0xFF000000u | (0x40 + x) << 8 | y; });
  TSkinBuilder::Paint(src.get(), Rect(0, 2, 6, 4), [](int x, int) { return 0xFF000000u | (40u + x) << 16; });
  auto one = NewBitmap32(8, 1);
  const struct {
    const char* Name;
    TRect Dst, Src;
    int ImageHeight;  // R's height: the mask lies half of it below
    bool OneRowBackground;
    int Cols, Rows, DX, SX;  // what is copied
  } cases[] = {
      {"left of the bitmap: both edges move", Rect(-2, 0, 4, 2), Rect(0, 0, 6, 2), 4, false, 4, 2, 0, 2},
      {"past the source's right edge", Rect(0, 0, 6, 2), Rect(3, 0, 9, 2), 4, false, 3, 2, 0, 3},
      {"a mask row past the source is kept inside it", Rect(1, 0, 4, 2), Rect(0, 0, 3, 2), 20, false, 3, 2, 1, 0},
      {"rows limited to a ready background's bitmap", Rect(0, 0, 6, 3), Rect(0, 0, 6, 2), 4, true, 6, 1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto dst = NewBitmap32(6, 3);
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 6, 3), [](int, int) { return 0u; });
    TsMaskData md;
    md.R = Rect(0, 0, 6, c.ImageHeight);
    const TCacheInfo ci = c.OneRowBackground ? MakeCacheInfo(one.get(), 0, 0) : EmptyCacheInfo;
    CopyMaskedLayered(c.Dst, c.Src, dst.get(), src.get(), ci, md);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 6; ++x) {
        const int sx = c.SX + x - c.DX;
        const bool copied = x >= c.DX && x < c.DX + c.Cols && y < c.Rows;
        const std::uint32_t want =
            copied ? LayeredMix(0, TSkinBuilder::Get(src.get(), sx, y), (TSkinBuilder::Get(src.get(), sx, 2 + y) >> 16) & 0xFF)
                   : 0u;
        ASSERT_EQ(want, TSkinBuilder::Get(dst.get(), x, y)) << "at " << x << ", " << y;
      }
  }
}

TEST(NineSliceLayered, AlphaImagesTiledCopyTheirAlphaStretchedBlend) {
  for (const int drawMode : {0x10, 0x11}) {
    SCOPED_TRACE(drawMode);
    TLayeredFixture f(false, drawMode);
    TSkinBuilder::Paint(f.Own, Rect(0, 0, 36, 12), [](int x, int y) {
      return 0x80000000u | (TLayeredFixture::Colour(x % 12, y, x / 12) & 0xFFFFFF);
    });
    auto dst = NewBitmap32(22, 18);
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 22, 18), [](int, int) { return 0xFF000000u; });
    PaintMaskNineSliceLayered(dst.get(), Rect(2, 1, 19, 15), EmptyCacheInfo, f.Md, 0);
    const std::uint32_t image = 0x80000000u | (TLayeredFixture::Colour(0, 5, 0) & 0xFFFFFF);
    const std::uint32_t side = TSkinBuilder::Get(dst.get(), 2, 1 + 5);  // the left side
    if (drawMode == 0x10) {
      EXPECT_EQ(image, side);
    } else {
      EXPECT_EQ(0xFFu, side >> 24);  // blended over the opaque black
      EXPECT_EQ(((image >> 8) & 0xFF) / 2, (side >> 8) & 0xFF);
    }
  }
}

TEST(NineSliceLayered, CellsAndPiecesNeverReadOutsideTheirImage) {
  // An image without cells paints its first cell; a stretched piece whose source starts
  // left of or above the image paints nothing.
  TLayeredFixture f;
  TsMaskData none = f.Md;
  none.ImageCount = 0;
  auto a = NewBitmap32(22, 18), b = NewBitmap32(22, 18);
  PaintMaskNineSliceLayered(a.get(), Rect(2, 1, 19, 15), EmptyCacheInfo, none, 2);
  TsMaskData one = f.Md;
  one.ImageCount = 1;
  PaintMaskNineSliceLayered(b.get(), Rect(2, 1, 19, 15), EmptyCacheInfo, one, 0);
  EXPECT_EQ(fixtures::All(b.get()), fixtures::All(a.get()));

  for (const TPoint origin : {Point(-1, 0), Point(0, -1)}) {
    auto dst = NewBitmap32(8, 8);
    StretchMaskedPieceLayered(0, 0, 6, 6, origin.X, origin.Y, 3, 3, dst.get(), f.Own, 12, false);
    StretchMaskedPieceOpacity(0, 0, 6, 6, origin.X, origin.Y, 3, 3, dst.get(), f.Own, 12, 200, false);
    EXPECT_EQ(0, fixtures::CountNot(dst.get(), 0x00FFFFFF));
  }
}

TEST(NineSliceLayered, OnePixelSmoothPiece) {
  // A 1 x 1 source of colour C over its mask, stretched smooth over a transparent target.
  constexpr std::uint32_t C = 0xFF80C040;
  const struct {
    std::uint32_t Mask;
    std::uint32_t Layered;  // the target pixel after the layered piece
    std::uint32_t Opacity;  // after the piece at opacity 128
  } cases[] = {
      {128, 0x7F7FBF3F, 0x7F000000 | (((0x80 * 63) >> 8) << 16) | (((0xC0 * 63) >> 8) << 8) | ((0x40 * 63) >> 8)},
      {0, C, C},
      {255, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Mask);
    auto src = NewBitmap32(4, 4);
    TSkinBuilder::Put(src.get(), 1, 0, C);
    TSkinBuilder::Put(src.get(), 1, 2, 0xFF000000u | c.Mask * 0x010101u);
    for (const bool opacity : {false, true}) {
      auto dst = NewBitmap32(6, 5);
      TSkinBuilder::Paint(dst.get(), Rect(0, 0, 6, 5), [](int, int) { return 0u; });
      if (opacity)
        StretchMaskedPieceOpacity(1, 1, 3, 2, 1, 0, 1, 1, dst.get(), src.get(), 2, 128, true);
      else
        StretchMaskedPieceLayered(1, 1, 3, 2, 1, 0, 1, 1, dst.get(), src.get(), 2, true);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
          ASSERT_EQ(x >= 1 && x < 4 && y >= 1 && y < 3 ? (opacity ? c.Opacity : c.Layered) : 0u,
                    TSkinBuilder::Get(dst.get(), x, y))
              << opacity << " at " << x << ", " << y;
    }
  }
}

TEST(NineSliceLayered, OpacityPieceUnderABlackMaskTakesTheMaskAlpha) {
  // A 2 x 2 piece at its own size: black mask pixels whose alpha byte is 0x80, at opacity
  // 200 over opaque white.
  auto src = NewBitmap32(2, 4);
  TSkinBuilder::Paint(src.get(), Rect(0, 0, 2, 2), [](int, int) { return 0xFF204060u; });
  TSkinBuilder::Paint(src.get(), Rect(0, 2, 2, 4), [](int, int) { return 0x80000000u; });
  auto dst = NewBitmap32(3, 3);
  TSkinBuilder::Paint(dst.get(), Rect(0, 0, 3, 3), [](int, int) { return 0xFFFFFFFFu; });
  StretchMaskedPieceOpacity(0, 0, 2, 2, 0, 0, 2, 2, dst.get(), src.get(), 2, 200, false);
  auto mix = [](std::uint32_t d, std::uint32_t i) { return (d * 55 + i * 200) >> 8; };
  const std::uint32_t want =
      (((0x80u * 200) >> 8) << 24) | (mix(0xFF, 0x20) << 16) | (mix(0xFF, 0x40) << 8) | mix(0xFF, 0x60);
  EXPECT_EQ(want, TSkinBuilder::Get(dst.get(), 1, 1));
  EXPECT_EQ(0xFFFFFFFFu, TSkinBuilder::Get(dst.get(), 2, 2));
}

// The masked effect at opacity P over D: the mask's cover times P mixes the colour; a clear
// destination takes it as alpha.
std::uint32_t OpacityMix(std::uint32_t d, std::uint32_t s, std::uint32_t k, std::uint32_t p) {
  const std::uint32_t m = ((255 - k) * p) >> 8, a = d >> 24;
  std::uint32_t out = (a == 0 ? m : a == 255 ? 255 : std::max(a, 255 - k)) << 24;
  for (int sh = 0; sh < 24; sh += 8)
    out |= (m == 0 ? (d >> sh) & 0xFF : ((((d >> sh) & 0xFF) * (255 - m) + ((s >> sh) & 0xFF) * m) >> 8)) << sh;
  return out;
}

TEST(NineSliceOuterEffect, MaskedSidesReachAsDeepAsTheOverhangAndNeverTheCentre) {
  // The image's centre bit is set: the centre stays as it was whatever the overhang.
  const struct {
    const char* Name;
    TRect Overhang;
    int Opacity;
    int L, T, R, B;  // depths painted
  } cases[] = {
      {"no overhang: only the corners", Rect(0, 0, 0, 0), 255, 0, 0, 0, 0},
      {"beyond the margins: the full margins", Rect(9, 9, 9, 9), 255, 3, 2, 4, 3},
      {"shallow: the outer part of each margin", Rect(1, 1, 2, 1), 160, 1, 1, 2, 1},
      {"negative depths count as none", Rect(-2, -3, -1, -5), 255, 0, 0, 0, 0},
      {"opacity 0 keeps colours and transparency", Rect(9, 9, 9, 9), 0, 3, 2, 4, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TLayeredFixture f;
    auto dst = NewBitmap32(22, 18);
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 22, 18), [](int, int) { return TLayeredFixture::Clear; });
    const TRect r = Rect(2, 1, 19, 15);
    PaintMaskNineSliceAlpha(dst.get(), r, EmptyCacheInfo, f.Md, 0, c.Overhang, static_cast<std::uint8_t>(c.Opacity));
    for (int y = 0; y < 18; ++y)
      for (int x = 0; x < 22; ++x) {
        std::uint32_t want = TLayeredFixture::Clear;
        const int px = x - r.Left, py = y - r.Top, w = r.Width(), h = r.Height();
        if (px >= 0 && py >= 0 && px < w && py < h) {
          const bool cornerX = px < 3 || px >= w - 4, cornerY = py < 2 || py >= h - 3;
          const bool painted = (cornerX && cornerY) || (cornerY == false && (px < c.L || px >= w - c.R)) ||
                               (cornerX == false && (py < c.T || py >= h - c.B));
          const int sx = Axis(px, w, 3, 4, 12), sy = Axis(py, h, 2, 3, 12);
          if (painted)
            want = sx == 0 && sy == 0 ? TLayeredFixture::Clear & 0x00FFFFFF
                                      : OpacityMix(TLayeredFixture::Clear, TLayeredFixture::Colour(sx, sy, 0),
                                                   TLayeredFixture::MaskRed(sx, sy), c.Opacity);
        }
        ASSERT_EQ(want, TSkinBuilder::Get(dst.get(), x, y)) << "at " << x << ", " << y;
      }
  }
}

TEST(NineSliceOuterEffect, AlphaImagesBlendEveryPieceAtTheOpacityWithinTheOverhang) {
  // Tiled: each painted pixel is its source pixel blended at the opacity, whichever tile
  // it belongs to; every side, stretched or tiled, keeps to its depth (the outer part of
  // its margin); the centre is painted with the centre bit.
  for (const int drawMode : {0x14, 0x15}) {
    SCOPED_TRACE(drawMode);
    TLayeredFixture f(false, drawMode);
    TSkinBuilder::Paint(f.Own, Rect(0, 0, 36, 12), [](int x, int y) {
      return 0xC0000000u | (TLayeredFixture::Colour(x % 12, y, x / 12) & 0xFFFFFF);
    });
    auto dst = NewBitmap32(22, 18);
    constexpr std::uint32_t D = 0xFF102030;
    TSkinBuilder::Paint(dst.get(), Rect(0, 0, 22, 18), [](int, int) { return D; });
    const TRect r = Rect(2, 1, 19, 15);
    PaintMaskNineSliceAlpha(dst.get(), r, EmptyCacheInfo, f.Md, 0, Rect(1, 1, 2, 1), 100);
    for (int y = 0; y < 18; ++y)
      for (int x = 0; x < 22; ++x) {
        const int px = x - r.Left, py = y - r.Top, w = r.Width(), h = r.Height();
        const bool inside = px >= 0 && py >= 0 && px < w && py < h;
        const bool cornerX = px < 3 || px >= w - 4, cornerY = py < 2 || py >= h - 3;
        const bool painted = inside && ((cornerX && cornerY) || (!cornerX && !cornerY) ||
                                        (!cornerY && (px < 1 || px >= w - 2)) || (!cornerX && (py < 1 || py >= h - 1)));
        const std::uint32_t got = TSkinBuilder::Get(dst.get(), x, y);
        if (!painted) {
          ASSERT_EQ(D, got) << "at " << x << ", " << y;
        } else if (drawMode == 0x14) {
          const int sx = Axis(px, w, 3, 4, 12), sy = Axis(py, h, 2, 3, 12);
          auto one = fixtures::Filled(1, 1, D);
          auto s = fixtures::Filled(1, 1, TSkinBuilder::Get(f.Own, sx, sy));
          AlphaBlendRect(one.get(), s.get(), Rect(0, 0, 0, 0), Point(0, 0), 100);
          ASSERT_EQ(fixtures::Px(one.get(), 0, 0), got) << "at " << x << ", " << y;
        } else {
          ASSERT_NE(D, got) << "at " << x << ", " << y;
        }
      }
  }
}

}  // namespace
