// Megapixels per second of the engine's full-frame pixel routines on a 1920 x 1080
// work bitmap. Prints one "name value" line per routine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "PixelData.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acPixelVec.h"
#include "skin/graphics/sGraphUtils.h"

namespace {

void Fill(TBitmap* bitmap, std::uint32_t seed) {
  for (int y = 0; y < bitmap->Height(); ++y) {
    auto* row = static_cast<std::uint32_t*>(bitmap->ScanLine(y));
    for (int x = 0; x < bitmap->Width(); ++x) row[x] = BenchPixel(&seed);
  }
}

template <class F>
double MegapixelsPerSecond(F&& step) {
  return MegapixelsPerSecond(double(BenchWidth) * BenchHeight, step);
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

  // Every vector path the processor has (forced through the seam), the automatic choice last.
  std::vector<acvec::TPixelPath> paths;
  for (auto path : {acvec::TPixelPath::Base, acvec::TPixelPath::SSSE3, acvec::TPixelPath::AVX2})
    if (acvec::PixelPathSupported(path)) paths.push_back(path);
  for (std::size_t i = 0; i <= paths.size(); ++i) {
    const bool automatic = i == paths.size();
    if (automatic)
      acvec::ClearPixelPathOverride();
    else
      acvec::ForcePixelPath(paths[i]);
    const std::string path = std::string(automatic ? "auto:" : "") + acvec::PixelPathName(acvec::PixelPath());
    SetDwmCompositionOverride(std::nullopt);
    std::printf("AlphaBlendRect %s %.1f\n", path.c_str(),
                MegapixelsPerSecond([&] { AlphaBlendRect(dst.get(), src.get(), all, Point(0, 0), 255); }));
    std::printf("BlendBitmapRect %s %.1f\n", path.c_str(),
                MegapixelsPerSecond([&] { BlendBitmapRect(dst.get(), src.get(), 100, all, Point(0, 0)); }));
    SetDwmCompositionOverride(false);  // the slower path, with the near-white cap
    // Premultiplying in place shrinks the colours run after run; the work per pixel stays the same.
    std::printf("PremultiplyRect %s %.1f\n", path.c_str(),
                MegapixelsPerSecond([&] { PremultiplyRect(dst.get(), Rect(0, 0, BenchWidth, BenchHeight)); }));
    std::fflush(stdout);
  }
  return 0;
}
