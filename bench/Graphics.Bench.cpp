// Megapixels per second (of the target) of the engine's resampling, quarter turn and
// gradient painters. Prints one "key value" line per task; bench/run-graphics.sh sets
// them beside Pillow and pixman doing the same tasks.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "BenchTiming.h"
#include "PixelData.h"
#include "skin/graphics/acGradient.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"

namespace {

std::unique_ptr<TBitmap> Noise(int width, int height, std::uint32_t seed) {
  auto bitmap = NewBitmap32(width, height);
  for (int y = 0; y < bitmap->Height(); ++y) {
    auto* row = static_cast<std::uint32_t*>(bitmap->ScanLine(y));
    for (int x = 0; x < bitmap->Width(); ++x) row[x] = BenchPixel(&seed);
  }
  return bitmap;
}


TsGradArray Gradient(int direction) {
  TsGradArray g(3);
  const TsColor colors[3] = {0x203040, 0xF0E0D0, 0x102030};
  const TPercent percents[3] = {0, 40, 100};
  for (int i = 0; i < 3; ++i) {
    g[i].Index = std::uint16_t(i);
    g[i].Color = colors[i];
    g[i].Percent = percents[i];
    g[i].Mode = i == 0 ? direction : 0;
  }
  return g;
}

}  // namespace

int wmain() {
  const struct {
    int SW, SH, DW, DH;
  } sizes[] = {{1920, 1080, 960, 540}, {256, 256, 320, 320}, {64, 64, 128, 128}};
  for (int filter : {6, 2, 1})
    for (const auto& s : sizes) {
      auto src = Noise(s.SW, s.SH, 1);
      auto dst = NewBitmap32(0, 0);
      const double mps = MegapixelsPerSecond(double(s.DW) * s.DH,
                                             [&] { StretchBitmapFiltered(src.get(), dst.get(), s.DW, s.DH, filter); });
      std::printf("resize-f%d-%dx%d-%dx%d %.1f\n", filter, s.SW, s.SH, s.DW, s.DH, mps);
    }

  const double frame = double(BenchWidth) * BenchHeight;
  {
    auto bmp = Noise(BenchWidth, BenchHeight, 2);
    std::printf("rotate90 %.1f\n", MegapixelsPerSecond(frame, [&] { bmp = RotateBitmap90(std::move(bmp), 90); }));
    // What a turn cannot beat: making the new bitmap it answers and touching its pages.
    std::printf("new-bitmap %.1f\n", MegapixelsPerSecond(frame, [&] { NewBitmap32(BenchWidth, BenchHeight); }));
  }
  auto bmp = NewBitmap32(BenchWidth, BenchHeight);
  const TRect all = Rect(0, 0, BenchWidth, BenchHeight);
  std::printf("fill %.1f\n", MegapixelsPerSecond(frame, [&] { FillRectArgb(bmp.get(), all, 0x123456, 255); }));
  const TsGradArray vertical = Gradient(0), horizontal = Gradient(1);
  std::printf("gradient-v %.1f\n",
              MegapixelsPerSecond(frame, [&] { PaintGradientArray(bmp.get(), all, vertical, 0, 0); }));
  std::printf("gradient-h %.1f\n",
              MegapixelsPerSecond(frame, [&] { PaintGradientArray(bmp.get(), all, horizontal, 0, 0); }));
  auto texture = Noise(64, 64, 3);
  std::printf("gradient-texture-v %.1f\n", MegapixelsPerSecond(frame, [&] {
                PaintGradientWithTexture(bmp.get(), all, vertical, texture.get(), TRect{}, 100, 255);
              }));
  std::printf("gradient-texture-h %.1f\n", MegapixelsPerSecond(frame, [&] {
                PaintGradientWithTexture(bmp.get(), all, horizontal, texture.get(), TRect{}, 100, 255);
              }));
  return 0;
}
