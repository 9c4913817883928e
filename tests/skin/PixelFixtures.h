#pragma once
// Small 32-bit bitmaps built from pixel lists (rows top to bottom), and readers.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/ui/Graphics.h"
#include "skin/graphics/sGraphUtils.h"

namespace fixtures {

inline std::unique_ptr<TBitmap> Filled(int width, int height, std::uint32_t value) {
  auto bitmap = NewBitmap32(width, height);
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<std::uint32_t*>(bitmap->ScanLine(y));
    for (int x = 0; x < width; ++x) row[x] = value;
  }
  return bitmap;
}

inline std::unique_ptr<TBitmap> Make(int width, int height, std::initializer_list<std::uint32_t> pixels) {
  auto bitmap = NewBitmap32(width, height);
  auto it = pixels.begin();
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<std::uint32_t*>(bitmap->ScanLine(y));
    for (int x = 0; x < width; ++x) row[x] = it != pixels.end() ? *it++ : 0;
  }
  return bitmap;
}

inline std::uint32_t Px(TBitmap* bitmap, int x, int y) {
  return static_cast<std::uint32_t*>(bitmap->ScanLine(y))[x];
}

inline std::vector<std::uint32_t> All(TBitmap* bitmap) {
  std::vector<std::uint32_t> result;
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->Width(); ++x) result.push_back(Px(bitmap, x, y));
  return result;
}

// How many pixels differ from Value.
inline int CountNot(TBitmap* bitmap, std::uint32_t value) {
  int n = 0;
  for (auto p : All(bitmap)) n += p != value;
  return n;
}

}  // namespace fixtures

namespace fixtures {

// Pseudo-random pixels over the whole range, with the special values of the pixel
// routines (key, new-bitmap white, near-white, opaque and clear extremes) mixed in.
inline std::unique_ptr<TBitmap> Noise(int width, int height, std::uint32_t seed) {
  static const std::uint32_t special[] = {0x00FFFFFF, 0x00FF00FF, 0xFFFFFFFF, 0xFFF5F6F7, 0xF7FFFFFF,
                                          0x00000000, 0xFF000000, 0x80FFFFFF, 0xFFF4FFFF, 0x01FFFFFF};
  auto bitmap = NewBitmap32(width, height);
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<std::uint32_t*>(bitmap->ScanLine(y));
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      row[x] = (seed >> 28) < 5 ? special[(seed >> 8) % 10] : seed ^ (seed << 13);
    }
  }
  return bitmap;
}

}  // namespace fixtures

#include <gtest/gtest.h>

#include <string>

#include "skin/graphics/acPixelVec.h"

namespace fixtures {

#if AC_PIXEL_VECTORS
// A test run once on each vector path of the pixel routines, forced through the seam;
// skipped for a path this processor lacks.
class OnEachPixelPath : public ::testing::TestWithParam<acvec::TPixelPath> {
protected:
  void SetUp() override {
    if (!acvec::ForcePixelPath(GetParam())) GTEST_SKIP() << "this processor lacks the path";
  }
  void TearDown() override { acvec::ClearPixelPathOverride(); }
};
inline std::string PixelPathTestName(const ::testing::TestParamInfo<acvec::TPixelPath>& info) {
  return acvec::PixelPathName(info.param);
}
#define INSTANTIATE_ON_EACH_PIXEL_PATH(Suite)                                                              \
  INSTANTIATE_TEST_SUITE_P(Paths, Suite,                                                                   \
                           ::testing::Values(acvec::TPixelPath::Base, acvec::TPixelPath::SSSE3,           \
                                             acvec::TPixelPath::AVX2),                                     \
                           fixtures::PixelPathTestName)
#endif

}  // namespace fixtures
