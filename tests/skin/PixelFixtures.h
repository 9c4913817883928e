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
