// Images drawn by alpha, through masks and as glyph cells, with their reflections.
#include <gtest/gtest.h>

#include "PixelFixtures.h"
#include "SkinBuilder.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPixelOps.h"

namespace {

using fixtures::Filled;
using fixtures::Make;
using fixtures::Px;

TCacheInfo ReadyCache(TBitmap* bmp) {
  TCacheInfo ci;
  ci.Bmp = bmp;
  ci.X = ci.Y = 0;
  ci.Ready = true;
  return ci;
}

TEST(AlphaImage, OnePixelByTheWays) {
  auto background = Filled(1, 1, 0xFF445566);
  struct Case {
    const char* Name;
    std::uint32_t Src, Dst;
    bool Ready, UseBackground;
    TColor Color;
    int Transparency;
    std::uint32_t Want;
  } cases[] = {
      {"opaque white over nothing", 0xFFFFFFFF, 0x00000000, false, false, clNone, 0, 0xFFFEFEFE},
      {"transparency 100 changes nothing", 0xFFFFFFFF, 0x11223344, false, false, clNone, 100, 0x11223344},
      {"transparency 50 keeps the alpha", 0xFFFFFFFF, 0x00000000, false, false, clNone, 50, 0x007E7E7E},
      {"ready cache, opaque pixel as without", 0xFFFFFFFF, 0x00000000, true, true, clNone, 0, 0xFFFEFEFE},
      {"ready cache, see-through takes the background", 0x0AFFFFFF, 0x80000000, true, true, clNone, 0, 0x80445566},
      {"ready cache, key takes the background", 0x00FF00FF, 0x80000000, true, true, clNone, 0, 0x80445566},
      {"ready cache without background leaves it", 0x0AFFFFFF, 0x80000000, true, false, clNone, 0, 0x80000000},
      {"no cache mixes even faint pixels", 0x10FFFFFF, 0x00000000, false, true, clNone, 0, 0x100F0F0F},
      {"tint lifted to full red", 0xFFFFFFFF, 0x00000000, false, false, 0x000080, 0, 0xFEFB7C7C},
      {"tint over a ready cache keeps the alpha", 0xFFFFFFFF, 0x00000000, true, true, 0x000080, 0, 0x00FB7C7C},
  };
  for (const Case& k : cases) {
    auto src = Filled(1, 1, k.Src);
    auto dst = Filled(1, 1, k.Dst);
    const TCacheInfo ci = k.Ready ? ReadyCache(background.get()) : TCacheInfo{};
    DrawImageAlpha(Rect(0, 0, 1, 1), Rect(0, 0, 1, 1), dst.get(), src.get(), ci, k.UseBackground, k.Color,
                   k.Transparency, false);
    EXPECT_EQ(k.Want, Px(dst.get(), 0, 0)) << k.Name;
  }
}

TEST(AlphaImage, AreaIsClippedToBothRectanglesAndBitmaps) {
  auto src = Make(2, 2, {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF});
  auto dst = Filled(3, 3, 0);
  // A destination above and left of the bitmap: only source pixel (1, 1) lands, at (0, 0).
  DrawImageAlpha(Rect(-1, -1, 2, 2), Rect(0, 0, 4, 4), dst.get(), src.get(), TCacheInfo{}, false, clNone, 0, false);
  EXPECT_EQ(0xFFFEFEFEu, Px(dst.get(), 0, 0));
  EXPECT_EQ(1, fixtures::CountNot(dst.get(), 0));
}

TEST(AlphaImage, ReflectionOfAShortImageIsNone) {
  auto src = Filled(1, 2, 0xFFFFFFFF);
  auto dst = Filled(1, 8, 0);
  DrawImageAlpha(Rect(0, 0, 1, 2), Rect(0, 0, 1, 2), dst.get(), src.get(), TCacheInfo{}, false, clNone, 0, true);
  EXPECT_EQ(2, fixtures::CountNot(dst.get(), 0));
}

TEST(AlphaImage, ReflectionOfATopCellTakesOnlyItsRows) {
  // A strip of ten cells 4 rows high; the top one is red, the rest blue.
  auto strip = Filled(1, 40, 0xFF0000FF);
  for (int y = 0; y < 4; ++y) static_cast<std::uint32_t*>(strip->ScanLine(y))[0] = 0xFFFF0000;
  auto dst = Filled(1, 20, 0);
  DrawImageAlpha(Rect(0, 0, 1, 4), Rect(0, 0, 1, 4), dst.get(), strip.get(), TCacheInfo{}, false, clNone, 0, true);
  // Rows 5 to 7 mirror rows 2 to 0 of the cell; nothing lies below them, nothing is blue.
  for (int y = 0; y < 20; ++y) {
    const std::uint32_t p = Px(dst.get(), 0, y);
    EXPECT_EQ(0u, p & 0xFF) << "no blue at " << y;
    EXPECT_EQ(y < 4 || (y >= 5 && y <= 7), p != 0) << y;
  }

  // The same for a glyph cell: rows 3, 2, 1, 0 of the cell and no more.
  auto glyphDst = Filled(1, 30, 0);
  DrawGlyphReflection(glyphDst.get(), strip.get(), Point(0, 0), Rect(0, 0, 0, 3), 0x00FF00, 0);
  for (int y = 0; y < 30; ++y) {
    const std::uint32_t p = Px(glyphDst.get(), 0, y);
    EXPECT_EQ(0u, p & 0xFF) << "no blue at " << y;
    if (y >= 4) EXPECT_EQ(0u, p) << y;
  }
  EXPECT_NE(0u, Px(glyphDst.get(), 0, 0));
}

TEST(AlphaImage, OverBackgroundKeyPixels) {
  auto background = Filled(2, 1, 0x12445566);
  auto src = Make(2, 1, {0x00FF00FF, 0xFFFFFFFF});
  struct Case {
    bool Ready, UseBackground;
    std::uint32_t Key, Other;
  } cases[] = {
      {true, true, 0xFF445566, 0xFEFEFEFE},
      {true, false, 0x40000000, 0xFEFEFEFE},
      {false, true, 0x40000000, 0xFEFEFEFE},  // without a cache the key is mixed by its alpha 0
  };
  for (const Case& k : cases) {
    auto dst = Filled(2, 1, 0x40000000);
    DrawAlphaImageOverBackground(Rect(0, 0, 2, 1), Rect(0, 0, 2, 1), dst.get(), src.get(),
                                 k.Ready ? ReadyCache(background.get()) : TCacheInfo{}, k.UseBackground);
    EXPECT_EQ(k.Key, Px(dst.get(), 0, 0)) << k.Ready << k.UseBackground;
    EXPECT_EQ(k.Other, Px(dst.get(), 1, 0)) << k.Ready << k.UseBackground;
  }
}

TEST(AlphaImage, ThroughMaskFourWays) {
  // Image rows 0-1 over mask rows 2-3: a key pixel, and a pixel over a half mask.
  auto src = Make(2, 4, {0x00FF00FF, 0x00C08040, 0x00FF00FF, 0x00C08040,  //
                         0x00FFFFFF, 0x00808080, 0x00FFFFFF, 0x00808080});
  TsMaskData mask;
  mask.R = Rect(0, 0, 2, 4);
  auto background = Filled(2, 1, 0xAA556677);
  struct Case {
    const char* Name;
    bool Ready, UseBackground;
    std::uint32_t Key, Other;
  } cases[] = {
      {"ready with background", true, true, 0xAA556677, 0xFF715942},
      {"ready without background", true, false, 0xFF223244, 0xFF715942},
      {"fill colour", false, true, 0x00112233, 0x11715942},
      {"neither", false, false, 0x11223344, 0x11715942},
  };
  for (const Case& k : cases) {
    auto dst = Filled(2, 1, 0x11223344);
    TCacheInfo ci = k.Ready ? ReadyCache(background.get()) : TCacheInfo{};
    ci.FillColor = 0x00332211;
    DrawImageThroughMask(Rect(0, 0, 2, 1), Rect(0, 0, 2, 1), dst.get(), src.get(), ci, k.UseBackground, mask);
    EXPECT_EQ(k.Key, Px(dst.get(), 0, 0)) << k.Name;
    EXPECT_EQ(k.Other, Px(dst.get(), 1, 0)) << k.Name;
  }
}

TEST(AlphaImage, BitmapOntoACanvasAtItsSizeOrStretched) {
  // At its own size, with the reflection below it fading out.
  auto canvas = Filled(4, 16, 0xFF000000);
  auto image = Filled(4, 8, 0xFFFFFFFF);
  DrawAlphaBitmapOnCanvas(&canvas->Canvas(), image.get(), Rect(0, 0, 4, 8), true);
  EXPECT_EQ(0xFEFEFEu, Px(canvas.get(), 1, 3) & 0xFFFFFF);
  EXPECT_NE(0u, Px(canvas.get(), 1, 9) & 0xFFFFFF) << "the reflection";
  EXPECT_EQ(0u, Px(canvas.get(), 1, 12) & 0xFFFFFF) << "below the reflection";
  // Stretched: the alpha follows the colour, so the see-through half stays see-through.
  auto wide = Filled(4, 4, 0xFF000000);
  auto half = Make(2, 2, {0xFFFFFFFF, 0x00FFFFFF, 0xFFFFFFFF, 0x00FFFFFF});
  DrawAlphaBitmapOnCanvas(&wide->Canvas(), half.get(), Rect(0, 0, 4, 4), true);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(x < 2 ? 0xFEFEFEu : 0u, Px(wide.get(), x, y) & 0xFFFFFF) << x << "," << y;
}

TEST(GlyphCells, IndexByCountModeAndState) {
  struct Case {
    int NumGlyphs;
    bool UseStateCell;
    int Mode, State;
    bool Standard;  // 16 colours or StdGlyphsOrder
    int Want;
  } cases[] = {
      {0, true, 2, 0, false, 0},  {1, true, 3, 0, false, 0},  {4, false, 2, 1, false, 0},
      {4, true, 0, 1, false, 0},  {4, true, 1, 0, false, 1},  {4, true, 1, 0, true, 0},
      {4, true, 2, 1, false, 3},  {4, true, 2, 3, false, 1},  {4, true, 2, 3, true, 0},
      {2, true, 2, 0, false, 1},  {3, true, 3, 0, false, 2},  {2, true, 3, 0, false, 0},
      {4, true, 5, 0, false, -1},
  };
  for (const Case& k : cases)
    EXPECT_EQ(k.Want, GlyphCellIndex(k.NumGlyphs, k.UseStateCell, k.Mode, k.State, k.Standard, k.Standard))
        << k.NumGlyphs << " glyphs, mode " << k.Mode << ", state " << k.State << (k.Standard ? ", standard" : "");
}

TEST(GlyphCells, SixteenColourGlyphsKeepTheStandardOrder) {
  TSkinBuilder skin;  // the default manager, StdGlyphsOrder off
  // Four cells of 2 x 2: red, green, blue, yellow, each with a white (key) bottom-left pixel.
  // Alpha 0, as glyphs read from files without alpha come.
  const std::uint32_t colours[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFF00};
  auto glyph32 = Filled(8, 2, 0x00FFFFFF);
  for (int c = 0; c < 4; ++c) {
    static_cast<std::uint32_t*>(glyph32->ScanLine(0))[2 * c] = colours[c];
    static_cast<std::uint32_t*>(glyph32->ScanLine(0))[2 * c + 1] = colours[c];
    static_cast<std::uint32_t*>(glyph32->ScanLine(1))[2 * c + 1] = colours[c];
  }
  auto glyph16 = Filled(8, 2, 0);
  CopyBitmapPixels(glyph16.get(), glyph32.get());
  glyph16->SetPixelFormat(pf4bit);
  for (auto [glyph, want] : {std::pair{glyph32.get(), 0x00FF00u}, std::pair{glyph16.get(), 0xFF0000u}}) {
    auto dst = Filled(2, 2, 0xFF000000);
    DrawButtonGlyphCell(glyph, dst.get(), Rect(0, 0, 2, 2), 4, true, 1, 0, 0, false);
    EXPECT_EQ(want, Px(dst.get(), 0, 0) & 0xFFFFFF) << glyph->BitsPerPixel();
    EXPECT_EQ(0xFF000000u, Px(dst.get(), 0, 1)) << "the key is left out";
  }
  // No cells at all counts as one cell: the whole glyph.
  auto dst = Filled(8, 2, 0xFF000000);
  DrawButtonGlyphCell(glyph32.get(), dst.get(), Rect(0, 0, 8, 2), 0, false, 0, 0, 0, false);
  EXPECT_EQ(colours[3] & 0xFFFFFF, Px(dst.get(), 7, 1) & 0xFFFFFF);
}

TEST(SoftRoundFrame, FrameWiderThanHalfTakesHalfTheSmallerSide) {
  auto paint = [](int frameWidth) {
    auto bmp = Filled(20, 16, 0xFFFFFFFF);
    PaintSoftRoundFrame(bmp.get(), Rect(0, 0, 20, 16), 50, 0x000000, frameWidth, 4);
    return bmp;
  };
  auto wide = paint(100), half = paint(8);
  EXPECT_EQ(fixtures::All(half.get()), fixtures::All(wide.get()));
  // The outermost ring keeps the pixels (less the one step of the mask's 255); inwards they
  // darken towards the level.
  EXPECT_EQ(0xFEFEFEu, Px(wide.get(), 0, 8) & 0xFFFFFF);
  EXPECT_LT(Px(wide.get(), 10, 8) & 0xFF, Px(wide.get(), 3, 8) & 0xFF);
  EXPECT_LT(Px(wide.get(), 3, 8) & 0xFF, 0xFFu);
}

}  // namespace
