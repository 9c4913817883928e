#pragma once
// The row loops of the vector paths (acPixelVec.h), written once over the compiler's
// vector types and compiled once per instruction set: acPixelVec.cpp for the four-pixel
// base (SSE2), acPixelVec.SSSE3.cpp and acPixelVec.AVX2.cpp with their own flags. Only
// those units include this file; everything here has internal linkage, so no copy
// built for a newer instruction set can stand in for another unit's code.
//
// Pixels travel as 16-bit lanes, split into the even bytes (blue and red of each pixel)
// and the odd bytes (green and alpha), each widened to a lane of its own so that products
// of two bytes fit. Each loop takes whole steps only and answers how many pixels it did;
// the caller's one-pixel loop does the rest of the row with the same arithmetic.
#include <cstdint>
#include <cstring>

namespace {

typedef std::uint16_t U16x8 __attribute__((vector_size(16)));
typedef std::int16_t S16x8 __attribute__((vector_size(16)));
typedef std::uint32_t U32x4 __attribute__((vector_size(16)));
typedef std::uint16_t U16x16 __attribute__((vector_size(32)));
typedef std::int16_t S16x16 __attribute__((vector_size(32)));
typedef std::uint32_t U32x8 __attribute__((vector_size(32)));

// What differs between the widths: the signed and 32-bit views and the lane patterns.
template <class V>
struct TLanes;
template <>
struct TLanes<U16x8> {
  using S = S16x8;
  using W = U32x4;
  static constexpr int Pixels = 4;
  static U16x8 AlphaOf(U16x8 odd) { return __builtin_shuffle(odd, U16x8{1, 1, 3, 3, 5, 5, 7, 7}); }
  static U16x8 Pairs(U16x8 m) { return __builtin_shuffle(m, U16x8{1, 0, 3, 2, 5, 4, 7, 6}); }
};
#if defined(__AVX2__)
template <>
struct TLanes<U16x16> {
  using S = S16x16;
  using W = U32x8;
  static constexpr int Pixels = 8;
  static U16x16 AlphaOf(U16x16 odd) {
    return __builtin_shuffle(odd, U16x16{1, 1, 3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13, 13, 15, 15});
  }
  static U16x16 Pairs(U16x16 m) {
    return __builtin_shuffle(m, U16x16{1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14});
  }
};
#endif

template <class V>
inline V Load(const std::uint32_t* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class V>
inline void Store(std::uint32_t* p, V v) {
  std::memcpy(p, &v, sizeof v);
}
template <class V>
inline V Splat(std::uint16_t v) {
  return V{} + v;
}
template <class V>
inline V Even(V v) {
  return v & Splat<V>(0x00FF);
}
template <class V>
inline V Odd(V v) {
  return v >> 8;
}
// Even and odd lanes of 0..255 back to pixels.
template <class V>
inline V Join(V even, V odd) {
  return even | (odd << 8);
}
// The alpha lanes of the odd half: every second lane.
template <class V>
inline V AlphaLanes() {
  return (V)(typename TLanes<V>::W{} + 0xFFFF0000u);
}
// For lanes of 0..255 only: compared as signed lanes, which SSE2 has instructions for.
template <class V>
inline V Max(V a, V b) {
  using S = typename TLanes<V>::S;
  return (V)((S)a > (S)b ? (S)a : (S)b);
}
template <class V>
inline V Min(V a, V b) {
  using S = typename TLanes<V>::S;
  return (V)((S)a < (S)b ? (S)a : (S)b);
}
template <class V>
inline V Greater(V a, std::uint16_t b) {
  using S = typename TLanes<V>::S;
  return (V)((S)a > (S)Splat<V>(b));
}
// A lane mask made the same in both lanes of a pixel: set where it was set in both.
template <class V>
inline V BothLanesOfPixel(V m) {
  return m & TLanes<V>::Pairs(m);
}

// Src over Dst by Src's alpha times Opacity; Dst's alpha never falls.
template <class V>
int AlphaBlendRowOf(std::uint32_t* dr, const std::uint32_t* sr, int width, std::uint8_t opacity) {
  constexpr int Step = TLanes<V>::Pixels;
  const V alphaLanes = AlphaLanes<V>(), full = Splat<V>(256), op = Splat<V>(opacity);
  int c = 0;
  // The alpha lane takes m for s, so the colour formula gives (m * m + da * (256 - m)) >> 8
  // there; the max then keeps the destination's alpha from falling. m = 0 leaves all as is.
  for (; c + Step <= width; c += Step) {
    const V sv = Load<V>(sr + c), dv = Load<V>(dr + c);
    const V de = Even(dv), dd = Odd(dv), so0 = Odd(sv);
    V m = TLanes<V>::AlphaOf(so0);
    if (opacity != 255) m = (m * op) >> 8;
    const V im = full - m;
    const V so = (so0 & ~alphaLanes) | (m & alphaLanes);
    Store(dr + c, Join<V>((m * Even(sv) + im * de) >> 8, Max<V>((m * so + im * dd) >> 8, dd & alphaLanes)));
  }
  return c;
}

// Every byte d := (w * d + v * s) >> 8, v = 256 - w.
template <class V>
int BlendRowOf(std::uint32_t* dr, const std::uint32_t* sr, int width, std::uint32_t w) {
  constexpr int Step = TLanes<V>::Pixels;
  const V wv = Splat<V>(static_cast<std::uint16_t>(w)), vv = Splat<V>(static_cast<std::uint16_t>(256 - w));
  int c = 0;
  for (; c + Step <= width; c += Step) {
    const V dv = Load<V>(dr + c), sv = Load<V>(sr + c);
    Store(dr + c, Join<V>((wv * Even(dv) + vv * Even(sv)) >> 8, (wv * Odd(dv) + vv * Odd(sv)) >> 8));
  }
  return c;
}

// Colour times alpha; without composition near-white is capped at 244; 0x00FFFFFF becomes 0.
template <class V>
int PremultiplyRowOf(std::uint32_t* row, int width, bool composed) {
  using W = typename TLanes<V>::W;
  constexpr int Step = TLanes<V>::Pixels;
  const V alphaLanes = AlphaLanes<V>();
  const V capOdd = (V)(W{} + 0x00FF00F4u);  // 244 in the green lanes; alpha is never capped
  const W white = W{} + 0x00FFFFFFu;
  int x = 0;
  for (; x + Step <= width; x += Step) {
    const V v = Load<V>(row + x), e = Even(v), o = Odd(v), a = TLanes<V>::AlphaOf(o);
    V te = (e * a) >> 8;
    V to = (((o * a) >> 8) & ~alphaLanes) | (o & alphaLanes);
    if (!composed) {
      // Pixels whose three colour bytes all exceed 244.
      const V nearWhite = BothLanesOfPixel<V>(Greater<V>(e, 244) & (Greater<V>(o, 244) | alphaLanes));
      te = (Min<V>(te, Splat<V>(244)) & nearWhite) | (te & ~nearWhite);
      to = (Min<V>(to, capOdd) & nearWhite) | (to & ~nearWhite);
    }
    Store(row + x, (V)((W)Join<V>(te, to) & ~(W)((W)v == white)));
  }
  return x;
}

}  // namespace
