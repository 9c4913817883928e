#include "skin/graphics/acPixelVec.h"

#if AC_PIXEL_VECTORS
#include <atomic>

#include "skin/graphics/acPixelKernels.h"

namespace acvec {

namespace {
int BaseAlphaBlend(std::uint32_t* d, const std::uint32_t* s, int w, std::uint8_t o) { return AlphaBlendRowOf<U16x8>(d, s, w, o); }
int BaseBlend(std::uint32_t* d, const std::uint32_t* s, int w, std::uint32_t k) { return BlendRowOf<U16x8>(d, s, w, k); }
int BasePremultiply(std::uint32_t* r, int w, bool c) { return PremultiplyRowOf<U16x8>(r, w, c); }

// -1: no path forced; otherwise the forced path's number.
std::atomic<int> GForced{-1};

TPixelPath Widest() {
  static const TPixelPath widest = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return TPixelPath::AVX2;
    if (__builtin_cpu_supports("ssse3")) return TPixelPath::SSSE3;
    return TPixelPath::Base;
  }();
  return widest;
}

const TPixelRows& Rows() {
  switch (PixelPath()) {
    case TPixelPath::AVX2: return AVX2Rows();
    case TPixelPath::SSSE3: return SSSE3Rows();
    default: return BaseRows();
  }
}
}  // namespace

const TPixelRows& BaseRows() {
  static const TPixelRows rows{BaseAlphaBlend, BaseBlend, BasePremultiply};
  return rows;
}

bool PixelPathSupported(TPixelPath path) { return static_cast<int>(path) <= static_cast<int>(Widest()); }

TPixelPath PixelPath() {
  const int forced = GForced.load(std::memory_order_relaxed);
  return forced >= 0 ? static_cast<TPixelPath>(forced) : Widest();
}

bool ForcePixelPath(TPixelPath path) {
  if (!PixelPathSupported(path)) return false;
  GForced = static_cast<int>(path);
  return true;
}

void ClearPixelPathOverride() { GForced = -1; }

const char* PixelPathName(TPixelPath path) {
  switch (path) {
    case TPixelPath::AVX2: return "AVX2";
    case TPixelPath::SSSE3: return "SSSE3";
    default: return "SSE2";
  }
}

int AlphaBlendRow(std::uint32_t* dst, const std::uint32_t* src, int width, std::uint8_t opacity) {
  return Rows().AlphaBlend(dst, src, width, opacity);
}
int BlendRow(std::uint32_t* dst, const std::uint32_t* src, int width, std::uint32_t weight) {
  return Rows().Blend(dst, src, width, weight);
}
int PremultiplyRow(std::uint32_t* row, int width, bool composed) { return Rows().Premultiply(row, width, composed); }

}  // namespace acvec
#endif
