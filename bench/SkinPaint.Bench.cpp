// One skin section painted over the whole of a 1920 x 1080 and an 800 x 600 bitmap, case
// by case (opaque colour; transparency 50 over a ready cache; tiled texture; nine-slice
// borders in key-colour, alpha and masked modes), beside the primitives each case is made
// of over the same area (FillRectArgb, BitBlt, BlendBitmapRect, AlphaBlendRect), timed in
// the same run. One line per case and size:
//   <case> <width>x<height> <case Mpixel/s> <primitives Mpixel/s> <primitives>
// bench/run-skinpaint.sh prints the ratios (case time over the primitives' time).
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "tests/skin/SkinBuilder.h"

namespace {
// Seconds per call: the best of three rounds of a quarter second.
double SecondsPerCall(const std::function<void()>& fn) { return BestSecondsPerCall(fn, 3, 0.25); }

constexpr int Cell = 24, Margin = 8, TileSize = 64;
constexpr TColor StateColor = 0x00406080;

// The four sides of R a border of Margin-wide sides covers (corners included).
std::vector<TRect> FrameStrips(const TRect& r) {
  return {Rect(r.Left, r.Top, r.Right, r.Top + Margin), Rect(r.Left, r.Bottom - Margin, r.Right, r.Bottom),
          Rect(r.Left, r.Top + Margin, r.Left + Margin, r.Bottom - Margin),
          Rect(r.Right - Margin, r.Top + Margin, r.Right, r.Bottom - Margin)};
}

struct TBench {
  TSkinBuilder Skin{256, 256};
  int Colour, Alpha50, Texture, KeyBorder, AlphaBorder, MaskedBorder;

  TBench() {
    // Master bitmap: a 64 x 64 texture at (0, 0); border cells from row 64 (key corners),
    // row 96 (alpha) and row 128 (masked: image over its mask).
    TSkinBuilder::Paint(Skin.Master(), Rect(0, 0, TileSize, TileSize),
                        [](int x, int y) { return 0xFF000000u | (x * 4) << 8 | (y * 4); });
    auto zone = [](int x, int y) {
      const bool ex = x < Margin || x >= Cell - Margin, ey = y < Margin || y >= Cell - Margin;
      return ex && ey ? 0xFF305070u : ex || ey ? 0xFF7090B0u : 0xFFB0D0F0u;
    };
    TSkinBuilder::Paint(Skin.Master(), Rect(0, 64, 3 * Cell, 64 + Cell), [&](int x, int y) {
      const int cx = x % Cell, cy = y - 64;
      return (cx == 0 || cx == Cell - 1) && (cy == 0 || cy == Cell - 1) ? 0x00FF00FFu : zone(cx, cy);
    });
    TSkinBuilder::Paint(Skin.Master(), Rect(0, 96, 3 * Cell, 96 + Cell), [&](int x, int y) {
      const int cx = x % Cell, cy = y - 96;
      return (zone(cx, cy) & 0x00FFFFFFu) | ((cx + cy) % 2 ? 0xFF000000u : 0x80000000u);
    });
    TSkinBuilder::Paint(Skin.Master(), Rect(0, 128, 3 * Cell, 128 + Cell),
                        [&](int x, int y) { return zone(x % Cell, y - 128); });
    TSkinBuilder::Paint(Skin.Master(), Rect(0, 128 + Cell, 3 * Cell, 128 + 2 * Cell),
                        [](int x, int) { return x % 2 ? 0xFF000000u : 0xFF808080u; });

    auto section = [&](int transparency) {
      const int s = Skin.AddSection(1, {StateColor});
      Skin.Section(s).Props[0].Transparency = transparency;
      return s;
    };
    Colour = section(0);
    Alpha50 = section(50);
    Texture = section(0);
    Skin.Section(Texture).Props[0].ImagePercent = 100;
    Skin.Section(Texture).Props[0].TextureIndex =
        Skin.AddImage({.R = Rect(0, 0, TileSize, TileSize), .Width = TileSize, .Height = TileSize});
    auto border = [&](int top, int maskType, int drawMode, int cfg) {
      const int s = section(0);
      Skin.Section(s).BorderIndex =
          Skin.AddImage({.R = Rect(0, top, 3 * Cell, top + Cell * (maskType + 1)), .Width = Cell, .Height = Cell,
                         .ImageCount = 3, .MaskType = maskType, .DrawMode = drawMode, .WL = Margin, .WT = Margin,
                         .WR = Margin, .WB = Margin, .Cfg = cfg});
      return s;
    };
    KeyBorder = border(64, 0, 0, 1);
    AlphaBorder = border(96, 0, 0x10, 0);
    MaskedBorder = border(128, 1, 0, 0);
  }
};

void Report(const char* name, int w, int h, double caseSeconds, double primSeconds, const char* prims) {
  const double mp = double(w) * h / 1e6;
  std::printf("%s %dx%d %.1f %.1f %s\n", name, w, h, mp / caseSeconds, mp / primSeconds, prims);
  std::fflush(stdout);
}

}  // namespace

int wmain() {
  TBench b;
  TacSkinData* sd = b.Skin.Data;
  // Whether the masked transfer draws yet (a stand-in draws nothing); said beside its line.
  const bool maskedReal = [&] {
    auto probe = NewBitmap32(Cell, Cell);
    FillRectArgb(probe.get(), Rect(0, 0, Cell, Cell), 0, 255);
    const std::uint32_t before = static_cast<std::uint32_t*>(probe->ScanLine(0))[Cell / 2];
    PaintMaskNineSlice(probe.get(), Rect(0, 0, Cell, Cell), EmptyCacheInfo, sd->ma[sd->gd[b.MaskedBorder].BorderIndex],
                       0, false);
    return static_cast<std::uint32_t*>(probe->ScanLine(0))[Cell / 2] != before;
  }();

  for (auto [w, h] : {std::pair{1920, 1080}, std::pair{800, 600}}) {
    const TRect r = Rect(0, 0, w, h);
    auto bmp = NewBitmap32(w, h);
    auto parent = NewBitmap32(w, h);
    auto other = NewBitmap32(w, h);
    FillRectArgb(parent.get(), r, 0x00204060, 255);
    FillRectArgb(other.get(), r, 0x00604020, 128);
    HDC dc = bmp->Canvas().Handle(), pdc = parent->Canvas().Handle();
    const TCacheInfo ready = MakeCacheInfo(parent.get(), 0, 0);
    auto paint = [&](int section, const TCacheInfo& ci) {
      return [&, section] { PaintSkinSection(section, ci, 0, r, {0, 0}, bmp.get(), sd); };
    };
    auto fill = [&] { FillRectArgb(bmp.get(), r, StateColor, 255); };
    auto blit = [&] { BitBlt(dc, 0, 0, w, h, pdc, 0, 0, SRCCOPY); };
    const std::vector<TRect> strips = FrameStrips(r);
    auto stripBlits = [&] {
      for (const TRect& s : strips) BitBlt(dc, s.Left, s.Top, s.Width(), s.Height(), pdc, s.Left, s.Top, SRCCOPY);
    };
    auto stripAlpha = [&] {
      for (const TRect& s : strips)
        AlphaBlendRect(bmp.get(), other.get(), Rect(s.Left, s.Top, s.Right - 1, s.Bottom - 1), Point(s.Left, s.Top), 255);
    };
    auto stripBlend = [&] {
      for (const TRect& s : strips)
        BlendBitmapRect(bmp.get(), other.get(), 128, Rect(s.Left, s.Top, s.Right - 1, s.Bottom - 1),
                        Point(s.Left, s.Top));
    };

    Report("colour", w, h, SecondsPerCall(paint(b.Colour, EmptyCacheInfo)), SecondsPerCall(fill), "FillRectArgb");
    auto work = NewBitmap32(w, h);
    Report("alpha50", w, h, SecondsPerCall(paint(b.Alpha50, ready)),
           SecondsPerCall([&] {
             FillRectArgb(work.get(), r, StateColor, 255);
             blit();
             BlendBitmapRect(bmp.get(), work.get(), 127, Rect(0, 0, w - 1, h - 1), Point(0, 0));
           }),
           "FillRectArgb+BitBlt+BlendBitmapRect");
    Report("texture", w, h, SecondsPerCall(paint(b.Texture, EmptyCacheInfo)), SecondsPerCall(blit), "BitBlt");
    Report("keyborder", w, h, SecondsPerCall(paint(b.KeyBorder, ready)),
           SecondsPerCall([&] {
             fill();
             stripBlits();
           }),
           "FillRectArgb+BitBlt(frame)");
    Report("alphaborder", w, h, SecondsPerCall(paint(b.AlphaBorder, ready)),
           SecondsPerCall([&] {
             fill();
             stripAlpha();
           }),
           "FillRectArgb+AlphaBlendRect(frame)");
    Report("maskedborder", w, h, SecondsPerCall(paint(b.MaskedBorder, ready)),
           SecondsPerCall([&] {
             fill();
             stripBlend();
           }),
           maskedReal ? "FillRectArgb+BlendBitmapRect(frame)" : "FillRectArgb+BlendBitmapRect(frame)[stand-in]");
  }
  return 0;
}
