#pragma once
// Several 32-bit pixels at a time through the compiler's vector types (plain C++ that GCC
// maps onto SSE2 registers). Every routine that uses them keeps a one-pixel loop for
// the rest of a row, which gives bit for bit the same result; on targets without SSE2
// only that loop is compiled.
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#define AC_PIXEL_VECTORS 1

namespace acvec {

typedef std::uint16_t U16x8 __attribute__((vector_size(16)));
typedef std::int16_t S16x8 __attribute__((vector_size(16)));
typedef std::uint32_t U32x4 __attribute__((vector_size(16)));

// Four pixels per step, held as eight 16-bit lanes and split into the even bytes (blue
// and red of each pixel) and the odd bytes (green and alpha), each widened to a lane of
// its own, so that products of two bytes fit.
constexpr int Step = 4;

inline U16x8 Load(const std::uint32_t* p) {
  U16x8 v;
  std::memcpy(&v, p, 16);
  return v;
}
inline void Store(std::uint32_t* p, U16x8 v) { std::memcpy(p, &v, 16); }
inline U16x8 Splat(std::uint16_t v) { return U16x8{v, v, v, v, v, v, v, v}; }
inline U16x8 Even(U16x8 v) { return v & Splat(0x00FF); }
inline U16x8 Odd(U16x8 v) { return v >> 8; }
// Even and odd lanes of 0..255 back to four pixels.
inline U16x8 Join(U16x8 even, U16x8 odd) { return even | (odd << 8); }
// Each pixel's alpha (from the odd lanes) in both lanes of that pixel.
inline U16x8 AlphaOf(U16x8 odd) { return __builtin_shuffle(odd, U16x8{1, 1, 3, 3, 5, 5, 7, 7}); }
// The alpha lanes of the odd half.
constexpr U16x8 AlphaLanes{0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF};
// For lanes of 0..255 only: compared as signed lanes, which SSE2 has instructions for.
inline U16x8 Max(U16x8 a, U16x8 b) { return (U16x8)((S16x8)a > (S16x8)b ? (S16x8)a : (S16x8)b); }
inline U16x8 Min(U16x8 a, U16x8 b) { return (U16x8)((S16x8)a < (S16x8)b ? (S16x8)a : (S16x8)b); }
inline U16x8 Greater(U16x8 a, std::uint16_t b) { return (U16x8)((S16x8)a > (S16x8)Splat(b)); }
// A lane mask made the same in both lanes of a pixel: set where it was set in both.
inline U16x8 BothLanesOfPixel(U16x8 m) { return m & __builtin_shuffle(m, U16x8{1, 0, 3, 2, 5, 4, 7, 6}); }

}  // namespace acvec
#endif
