// The row loops of acPixelKernels.h built for SSSE3 (see the flags of this unit in
// CMakeLists.txt); run only when the processor has it (acPixelVec.cpp decides).
#include "skin/graphics/acPixelVec.h"

#if AC_PIXEL_VECTORS
#include "skin/graphics/acPixelKernels.h"

namespace acvec {

namespace {
int AlphaBlend(std::uint32_t* d, const std::uint32_t* s, int w, std::uint8_t o) { return AlphaBlendRowOf<U16x8>(d, s, w, o); }
int Blend(std::uint32_t* d, const std::uint32_t* s, int w, std::uint32_t k) { return BlendRowOf<U16x8>(d, s, w, k); }
int Premultiply(std::uint32_t* r, int w, bool c) { return PremultiplyRowOf<U16x8>(r, w, c); }
}  // namespace

const TPixelRows& SSSE3Rows() {
  static const TPixelRows rows{AlphaBlend, Blend, Premultiply};
  return rows;
}

}  // namespace acvec
#endif
