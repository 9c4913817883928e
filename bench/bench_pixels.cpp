// Megapixels per second of the engine's full-frame pixel routines on a 1920 x 1080
// work bitmap. Prints one "name value" line per routine.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "PixelData.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"

namespace {

void Fill(TBitmap* bitmap, std::uint32_t seed) {
  for (int y = 0; y < bitmap->Height(); ++y) {
    auto* row = static_cast<std::uint32_t*>(bitmap->ScanLine(y));
    for (int x = 0; x < bitmap->Width(); ++x) row[x] = BenchPixel(&seed);
  }
}

// The best of five rounds of at least 0.3 s each: the machine may be busy with other work.
template <class F>
double MegapixelsPerSecond(F&& step) {
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  step();  // warm the caches and the page tables
  double best = 0;
  for (int round = 0; round < 5; ++round) {
    int runs = 0;
    QueryPerformanceCounter(&t0);
    do {
      step();
      ++runs;
      QueryPerformanceCounter(&t1);
    } while (t1.QuadPart - t0.QuadPart < freq.QuadPart * 3 / 10);
    const double seconds = double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart);
    best = std::max(best, double(BenchWidth) * BenchHeight * runs / seconds / 1e6);
  }
  return best;
}

}  // namespace

int wmain() {
  auto src = NewBitmap32(BenchWidth, BenchHeight);
  auto dst = NewBitmap32(BenchWidth, BenchHeight);
  if (src->Empty() || dst->Empty()) {
    std::fprintf(stderr, "cannot allocate the bitmaps\n");
    return 1;
  }
  Fill(src.get(), 1);
  Fill(dst.get(), 2);
  const TRect all = Rect(0, 0, BenchWidth - 1, BenchHeight - 1);  // inclusive

  std::printf("AlphaBlendRect %.1f\n",
              MegapixelsPerSecond([&] { AlphaBlendRect(dst.get(), src.get(), all, Point(0, 0), 255); }));
  std::printf("BlendBitmapRect %.1f\n",
              MegapixelsPerSecond([&] { BlendBitmapRect(dst.get(), src.get(), 100, all, Point(0, 0)); }));
  SetDwmCompositionOverride(false);  // the slower path, with the near-white cap
  // Premultiplying in place shrinks the colours run after run; the work per pixel stays the same.
  std::printf("PremultiplyRect %.1f\n",
              MegapixelsPerSecond([&] { PremultiplyRect(dst.get(), Rect(0, 0, BenchWidth, BenchHeight)); }));
  return 0;
}
