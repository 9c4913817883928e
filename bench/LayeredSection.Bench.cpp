// A skin section painted for a layered window: a translucent colour under a masked border
// whose sides and centre are stretched (image by Mitchell, mask by Hermite), premultiplied
// as the whole bitmap is painted, for a 300 x 400 popup and a 1920 x 1080 border window.
// One line per size, the best time of a call in milliseconds:
//   Layered <width>x<height> <ms>
// bench/run-layered.sh prints it beside pixman compositing the same nine pieces.
#include <cstdio>
#include <functional>

#include "BenchTiming.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "tests/skin/SkinBuilder.h"

namespace {
// Seconds per call: the best of three rounds of a quarter second.
double SecondsPerCall(const std::function<void()>& fn) { return BestSecondsPerCall(fn, 3, 0.25); }

// The border: one 24 x 24 cell with 8-pixel margins over its mask, the same pixels as the
// pixman side (bench/pixman_ninepiece.c) draws.
constexpr int Cell = 24, Margin = 8;

}  // namespace

int wmain() {
  TSkinBuilder skin(64, 64);
  TSkinBuilder::Paint(skin.Master(), Rect(0, 0, Cell, Cell),
                      [](int x, int y) { return 0xFF000000u | (x * 10) << 16 | (y * 10) << 8 | 0x40; });
  TSkinBuilder::Paint(skin.Master(), Rect(0, Cell, Cell, 2 * Cell), [](int x, int y) {
    const std::uint32_t m = ((x + (y - Cell)) * 5) & 0xFF;
    return 0xFF000000u | m << 16 | m << 8 | m;
  });
  const int s = skin.AddTranslucentSection(0x00406080);
  skin.Section(s).BorderIndex =
      skin.AddImage({.R = Rect(0, 0, Cell, 2 * Cell), .Width = Cell, .Height = Cell, .MaskType = 1,
                     .DrawMode = 0x01 | 0x04, .WL = Margin, .WT = Margin, .WR = Margin, .WB = Margin});
  for (auto [w, h] : {std::pair{300, 400}, std::pair{1920, 1080}}) {
    auto bmp = NewBitmap32(w, h);
    const double seconds = SecondsPerCall([&] {
      FillRectArgb(bmp.get(), Rect(0, 0, w, h), 0, 0);
      PaintSkinSectionLayered(s, 0, 0, Rect(0, 0, w, h), Point(0, 0), bmp.get(), skin.Data);
    });
    std::printf("Layered %dx%d %.3f\n", w, h, seconds * 1e3);
    std::fflush(stdout);
  }
  return 0;
}
