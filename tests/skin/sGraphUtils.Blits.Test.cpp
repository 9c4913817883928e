// Bordered blits, regions, lines and the glyph-and-caption layout of buttons.
#include <gtest/gtest.h>

#include "PixelFixtures.h"
#include "SkinBuilder.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "skin/graphics/sGraphUtils.Blits.h"

namespace {

using fixtures::Filled;
using fixtures::Px;

constexpr std::uint32_t Sentinel = 0xFF123456;
constexpr std::uint32_t Key = 0x00FF00FF;

std::uint32_t Rgb(TBitmap* bmp, int x, int y) { return Px(bmp, x, y) & 0xFFFFFF; }

// Every pixel of a W x H bitmap has its own colour: x in green, y in blue, 0x10 in red.
std::unique_ptr<TBitmap> Numbered(int w, int h) {
  auto bmp = NewBitmap32(w, h);
  TSkinBuilder::Paint(bmp.get(), Rect(0, 0, w, h), [](int x, int y) { return 0xFF000010u | (x << 8) | (y << 16); });
  return bmp;
}
std::uint32_t NumberedAt(int x, int y) { return 0x000010u | (x << 8) | (y << 16); }

// ---------------------------------------------------------------------------
// Glyph and caption layout
// ---------------------------------------------------------------------------

struct TLayoutCase {
  const char* Name;
  TRect R;
  int Layout, Alignment, Margin, Spacing;
  unsigned Flags;
  int VerticalAlignment;
  TPoint Glyph;
  TRect Text;
  TPoint GlyphSize = {16, 16};
};

TEST(CalcGlyphAndTextRects, PlacesGlyphAndCaptionAsTheTableSays) {
  const TRect wide = Rect(0, 0, 100, 30), tall = Rect(0, 0, 60, 50);
  const TLayoutCase cases[] = {
      {"centred pair", wide, 0, 2, 0, 0, DT_CENTER, 2, {22, 7}, {38, 9, 78, 22}},
      {"moved with R", Rect(10, 5, 110, 35), 0, 2, 0, 0, DT_CENTER, 2, {32, 12}, {48, 14, 88, 27}},
      {"glyph left, left", wide, 0, 0, 4, 2, 0, 2, {4, 7}, {22, 9, 96, 22}},
      {"glyph left, right", wide, 0, 1, 4, 2, 0, 2, {38, 7}, {56, 9, 96, 22}},
      {"glyph right, left", wide, 1, 0, 4, 2, 0, 2, {46, 7}, {4, 9, 44, 22}},
      {"glyph right, right", wide, 1, 1, 4, 2, 0, 2, {80, 7}, {0, 9, 78, 22}},
      {"glyph right, centre", wide, 1, 2, 4, 2, 0, 2, {63, 7}, {21, 9, 61, 22}},
      {"glyph above", tall, 2, 0, 4, 2, 0, 2, {22, 9}, {10, 27, 50, 40}},
      {"glyph below", tall, 3, 0, 4, 2, 0, 2, {22, 25}, {10, 10, 50, 23}},
      {"automatic margin and spacing", wide, 0, 0, -1, -1, 0, 2, {14, 7}, {44, 9, 86, 22}},
      {"automatic centring margin", wide, 0, 2, -1, 3, 0, 2, {21, 7}, {40, 9, 80, 22}},
      {"automatic spacing", wide, 0, 0, 4, -1, 0, 2, {4, 7}, {40, 9, 96, 22}},
      {"mirrored by DT_RIGHT", wide, 0, 1, 4, 2, DT_RIGHT, 2, {46, 7}, {4, 9, 44, 22}},
      {"top", wide, 0, 0, 4, 2, 0, 0, {4, 4}, {22, 4, 96, 17}},
      {"bottom", wide, 0, 0, 4, 2, 0, 1, {4, 10}, {22, 13, 96, 26}},
      {"glyph above, top", tall, 2, 0, 4, 2, 0, 0, {22, 4}, {10, 22, 50, 35}},
      {"glyph below, bottom", tall, 3, 0, 4, 2, 0, 1, {22, 30}, {10, 15, 50, 28}},
      {"no glyph", wide, 0, 0, 4, 2, 0, 2, {0, 15}, {4, 9, 48, 22}, {0, 0}},
      {"layout outside the table", Rect(10, 20, 110, 50), 5, 0, 4, 2, 0, 2, {10, 20}, {10, 20, 50, 33}},
      {"alignment outside the table", wide, 0, 7, 4, 2, 0, 2, {0, 7}, {0, 9, 40, 22}},
  };
  for (const TLayoutCase& c : cases) {
    TRect text{-1, -1, -1, -1};
    const TPoint glyph = CalcGlyphAndTextRects(c.R, c.GlyphSize, {40, 13}, c.Layout, c.Alignment, c.Margin, c.Spacing,
                                               text, c.Flags, c.VerticalAlignment);
    EXPECT_EQ(glyph, c.Glyph) << c.Name << ": (" << glyph.X << ", " << glyph.Y << ")";
    EXPECT_EQ(text, c.Text) << c.Name << ": (" << text.Left << ", " << text.Top << ", " << text.Right << ", "
                            << text.Bottom << ")";
  }
}

TEST(CalcGlyphAndTextRects, StackedLayoutsCentreTheGlyphWhateverTheMargin) {
  for (int layout : {2, 3}) {
    TRect text;
    const int y0 = CalcGlyphAndTextRects(Rect(0, 0, 60, 50), {16, 16}, {40, 13}, layout, 0, 0, 2, text, 0, 2).Y;
    for (int margin : {1, 5, 12})
      EXPECT_EQ(CalcGlyphAndTextRects(Rect(0, 0, 60, 50), {16, 16}, {40, 13}, layout, 0, margin, 2, text, 0, 2).Y, y0)
          << layout << " " << margin;
  }
}

// ---------------------------------------------------------------------------
// Nine-slice copies
// ---------------------------------------------------------------------------

// The source pixel a tiled nine-slice copy of a 6 x 6 source with margins Lo (left or top)
// and Hi (right or bottom) puts at position P of an extent of N pixels.
int TiledSource(int p, int n, int lo, int hi) {
  const int first = std::min(lo, n / 2), last = std::min(n - n / 2, hi), tile = 6 - lo - hi;
  if (p < first) return p;
  if (p >= n - last) return 6 - (n - p);
  return first + (p - first) % tile;
}

TEST(BlitNineSlice, TilesEveryZoneExactlyForNarrowerEqualAndLargerRectangles) {
  struct TCase {
    int W, H;
    TRect Margins;
  } cases[] = {
      {3, 6, {2, 2, 2, 2}},   // narrower than both side margins: corners cut at the middle
      {6, 6, {2, 2, 2, 2}},   // the source's own size
      {11, 9, {2, 2, 2, 2}},  // larger: cut last tiles
      {9, 7, {-2, 2, 2, 1}},  // a negative margin counts as 0 instead of mirroring
  };
  auto src = Numbered(6, 6);
  for (const TCase& c : cases) {
    auto dst = Filled(c.W + 2, c.H + 2, Sentinel);
    BlitNineSlice(dst.get(), src.get(), Bounds(1, 1, c.W, c.H), Rect(0, 0, 6, 6), c.Margins, Rect(9, 9, 9, 9),
                  Rect(0, 0, 0, 0), false, true);
    const int ml = std::max(0, c.Margins.Left);
    for (int y = 0; y < c.H + 2; ++y)
      for (int x = 0; x < c.W + 2; ++x) {
        const bool inside = x >= 1 && y >= 1 && x <= c.W && y <= c.H;
        const std::uint32_t want =
            inside ? NumberedAt(TiledSource(x - 1, c.W, ml, c.Margins.Right),
                                TiledSource(y - 1, c.H, c.Margins.Top, c.Margins.Bottom))
                   : (Sentinel & 0xFFFFFF);
        ASSERT_EQ(Rgb(dst.get(), x, y), want) << c.W << " x " << c.H << " at " << x << ", " << y;
      }
  }
}

TEST(BlitNineSlice, StretchedSidesAndCentreKeepTheirZoneColours) {
  // Nine flat zones: margins of 2 around a 2 x 2 centre.
  auto src = NewBitmap32(6, 6);
  auto zoneOf = [](int p, int n) { return p < 2 ? 0 : p >= n - 2 ? 2 : 1; };
  auto zoneColour = [](int zx, int zy) { return 0x100010u * (1 + zx + 3 * zy); };
  TSkinBuilder::Paint(src.get(), Rect(0, 0, 6, 6),
                      [&](int x, int y) { return 0xFF000000u | zoneColour(zoneOf(x, 6), zoneOf(y, 6)); });
  auto dst = Filled(13, 9, Sentinel);
  BlitNineSlice(dst.get(), src.get(), Rect(0, 0, 13, 9), Rect(0, 0, 6, 6), Rect(2, 2, 2, 2), Rect(9, 9, 9, 9),
                Rect(1, 1, 1, 1), true, true);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x)
      ASSERT_EQ(Rgb(dst.get(), x, y), zoneColour(zoneOf(x, 13), zoneOf(y, 9))) << x << ", " << y;
}

// ---------------------------------------------------------------------------
// Border strips, bevels, dotted frames
// ---------------------------------------------------------------------------

TEST(BlitBorderStrips, LeftWidthAloneCopiesExactlyAThreePixelFrame) {
  auto src = Numbered(14, 12);
  auto dst = Filled(14, 12, Sentinel);
  BlitBorderStrips(dst->Canvas().Handle(), 1, 1, 12, 10, src->Canvas().Handle(), 1, 1, 3);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 14; ++x) {
      const bool inRect = x >= 1 && x < 13 && y >= 1 && y < 11;
      const bool inFrame = inRect && (x < 4 || x >= 10 || y < 4 || y >= 8);
      ASSERT_EQ(Rgb(dst.get(), x, y), inFrame ? NumberedAt(x, y) : (Sentinel & 0xFFFFFF)) << x << ", " << y;
    }
}

TEST(DrawBevelLines, CountTwoDrawsTwoFramesAndReturnsTheInnerRectangle) {
  constexpr TColor light = 0x0000FF, dark = 0x00FF00;
  auto bmp = Filled(10, 10, Sentinel);
  TRect r = Rect(0, 0, 10, 10);
  int count = 2;
  DrawBevelLines(bmp->Canvas().Handle(), r, light, dark, count);
  EXPECT_EQ(r, Rect(2, 2, 8, 8));
  EXPECT_EQ(count, 0);
  const struct {
    int X, Y;
    std::uint32_t Want;
  } probes[] = {
      {0, 0, 0xFF0000}, {8, 0, 0xFF0000}, {0, 5, 0xFF0000}, {9, 0, 0x00FF00}, {9, 9, 0x00FF00},
      {0, 9, 0x00FF00}, {5, 9, 0x00FF00}, {1, 1, 0xFF0000}, {8, 1, 0x00FF00}, {1, 8, 0x00FF00},
      {2, 2, Sentinel & 0xFFFFFF}, {7, 7, Sentinel & 0xFFFFFF},
  };
  for (const auto& p : probes) EXPECT_EQ(Rgb(bmp.get(), p.X, p.Y), p.Want) << p.X << ", " << p.Y;
}

TEST(DrawDottedFrame, AlternatesAlongTheEdgesAndStaysInsideTheRectangle) {
  constexpr TColor odd = 0x0000FF, even = 0xFF0000;
  constexpr std::uint32_t o = 0xFF0000, e = 0x0000FF, s = Sentinel & 0xFFFFFF;
  auto bmp = Filled(7, 7, Sentinel);
  DrawDottedFrame(bmp->Canvas(), Rect(1, 1, 5, 5), odd, even);
  // An even-sized frame: the pattern's first even pixel would lie one past its edge.
  const std::uint32_t want[7][7] = {
      {s, s, s, s, s, s, s}, {s, s, o, e, o, s, s}, {s, o, s, s, o, s, s}, {s, e, s, s, e, s, s},
      {s, o, o, e, o, s, s}, {s, s, s, s, s, s, s}, {s, s, s, s, s, s, s},
  };
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(Rgb(bmp.get(), x, y), want[y][x]) << x << ", " << y;

  auto left = Filled(7, 7, Sentinel);
  DrawDottedFrame(left->Canvas(), Rect(1, 1, 5, 5), clNone, even);
  EXPECT_EQ(Rgb(left.get(), 2, 1), s);
  EXPECT_EQ(Rgb(left.get(), 3, 1), e);
}

// ---------------------------------------------------------------------------
// Key-colour runs and regions
// ---------------------------------------------------------------------------

TEST(CollectKeyColorRuns, AppendsTheMaximalRunsOfWholeKeyPixels) {
  constexpr std::uint32_t opaqueKey = 0xFFFF00FF, other = 0xFF000000;
  auto bmp = fixtures::Make(4, 2, {Key, Key, other, Key, opaqueKey, Key, Key, Key});
  std::vector<RECT> rects{RECT{7, 7, 8, 8}};
  CollectKeyColorRuns(rects, bmp.get(), TColor(0xFFFF00FF));
  ASSERT_EQ(rects.size(), 4u);
  auto same = [](const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; };
  EXPECT_TRUE(same(rects[0], RECT{7, 7, 8, 8}));
  EXPECT_TRUE(same(rects[1], RECT{0, 0, 2, 1}));
  EXPECT_TRUE(same(rects[2], RECT{3, 0, 4, 1}));
  EXPECT_TRUE(same(rects[3], RECT{1, 1, 4, 2}));
}

TEST(RegionWithoutKeyColor, LeavesOutOnlyTheKeyPixels) {
  auto plain = Filled(5, 3, 0xFF000000);
  HRGN full = RegionWithoutKeyColor(plain.get(), Key);
  RECT box{};
  EXPECT_EQ(GetRgnBox(full, &box), SIMPLEREGION);
  EXPECT_TRUE(EqualRect(&box, std::data({RECT{0, 0, 5, 3}})));
  DeleteObject(full);

  TSkinBuilder::Put(plain.get(), 2, 1, Key);
  HRGN holed = RegionWithoutKeyColor(plain.get(), Key);
  EXPECT_FALSE(PtInRegion(holed, 2, 1));
  EXPECT_TRUE(PtInRegion(holed, 1, 1));
  EXPECT_TRUE(PtInRegion(holed, 3, 1));
  DeleteObject(holed);
}

// An 8 x 8 frame image in a 12 x 8 bitmap: key pixels in the four corners (two in the outer
// row, one below or above), and key pixels beside the image that no corner may read.
struct TCornerMask {
  TSkinBuilder Builder;
  int Index;
  TCornerMask(int wl, int wr, int imageHeight = 8) {
    TBitmap* bmp = Builder.NewOwnBitmap(12, 8);
    TSkinBuilder::Paint(bmp, Rect(0, 0, 12, 8), [](int x, int y) {
      if (x >= 8) return Key;
      const bool outerRow = y == 0 || y == 7, nextRow = y == 1 || y == 6;
      const bool outerCol = x == 0 || x == 7, nextCol = x == 1 || x == 6;
      return (outerRow && (outerCol || nextCol)) || (nextRow && outerCol) ? Key : 0xFF404040u;
    });
    Index = Builder.AddImage({.R = Rect(0, 0, 8, imageHeight), .Width = 8, .Height = imageHeight, .WL = wl, .WT = 2,
                              .WR = wr, .WB = 2, .Bmp = bmp});
  }
  std::vector<RECT> Holes(int width, int top, bool bottom, int margin) {
    std::vector<RECT> rects;
    CollectMaskCornerHoles(rects, width, Builder.Image(Index), top, bottom, margin);
    return rects;
  }
};

std::vector<std::array<int, 4>> AsArrays(const std::vector<RECT>& rects) {
  std::vector<std::array<int, 4>> out;
  for (const RECT& r : rects) out.push_back({static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right), static_cast<int>(r.bottom)});
  return out;
}

TEST(CollectMaskCornerHoles, PlacesTheCornerRunsAtTheWindowsEdges) {
  using V = std::vector<std::array<int, 4>>;
  TCornerMask mask(2, 2);
  EXPECT_EQ(AsArrays(mask.Holes(100, 0, false, 0)), (V{{0, 0, 2, 1}, {98, 0, 100, 1}, {0, 1, 1, 2}, {99, 1, 100, 2}}));
  // The bottom rows end at the cell's bottom; y and both x move inward by the margin.
  EXPECT_EQ(AsArrays(mask.Holes(100, 50, true, 3)), (V{{3, 47, 4, 48}, {96, 47, 97, 48}, {3, 48, 5, 49}, {95, 48, 97, 49}}));
}

TEST(CollectMaskCornerHoles, CornersWiderThanTheImageReadOnlyTheImage) {
  using V = std::vector<std::array<int, 4>>;
  TCornerMask mask(20, 20);
  // Both corners span the whole image; the key pixels beside it are not read.
  EXPECT_EQ(AsArrays(mask.Holes(100, 0, false, 0)),
            (V{{0, 0, 2, 1}, {6, 0, 8, 1}, {92, 0, 94, 1}, {98, 0, 100, 1}, {0, 1, 1, 2}, {7, 1, 8, 2}, {92, 1, 93, 2}, {99, 1, 100, 2}}));
  // Rows below the bitmap give nothing.
  TCornerMask tall(2, 2, 20);
  EXPECT_TRUE(tall.Holes(100, 0, true, 0).empty());
}

// ---------------------------------------------------------------------------
// Child controls cut out of a DC
// ---------------------------------------------------------------------------

TEST(ExcludeChildControls, CutsOutVisibleChildrenAndGraphicOnesWhenImagesAreOpaque) {
  Application().Initialize();
  TSkinBuilder builder;
  ASSERT_EQ(DefaultManager(), builder.Manager);
  auto* form = CreateComponent<TForm>(nullptr);
  auto* shown = new TWinControl(form);
  shown->SetParent(form);
  shown->SetBounds(0, 0, 10, 10);
  auto* hidden = new TWinControl(form);
  hidden->SetParent(form);
  hidden->SetBounds(20, 0, 10, 10);
  hidden->SetVisible(false);
  auto* graphic = new TGraphicControl(form);
  graphic->SetParent(form);
  graphic->SetBounds(40, 0, 10, 10);
  auto bmp = Filled(60, 20, Sentinel);
  for (bool transparentImages : {false, true}) {
    builder.Manager->Options.StdImgTransparency = transparentImages;
    HDC dc = bmp->Canvas().Handle();
    SelectClipRgn(dc, nullptr);
    ExcludeChildControls(dc, form, 1, 2);
    EXPECT_FALSE(PtVisible(dc, 1, 2));
    EXPECT_FALSE(PtVisible(dc, 10, 11));
    EXPECT_TRUE(PtVisible(dc, 11, 2));
    EXPECT_TRUE(PtVisible(dc, 22, 5)) << "hidden child";
    EXPECT_EQ(PtVisible(dc, 42, 5) != 0, transparentImages) << "graphic child";
    SelectClipRgn(dc, nullptr);
  }
  TComponent::Free(form);
}

}  // namespace
