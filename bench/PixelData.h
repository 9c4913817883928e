/* The pixels both sides of the pixel benchmark work on: the same pseudo-random
   colours and alphas over the whole range, so no side gets its fast path for fully
   opaque or fully transparent pixels more often than the other. */
#ifndef TARVEL_BENCH_PIXEL_DATA_H
#define TARVEL_BENCH_PIXEL_DATA_H
#include <stdint.h>

#define BenchWidth 1920
#define BenchHeight 1080

static inline uint32_t BenchNext(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state;
}

/* Straight (not premultiplied) 0xAARRGGBB. */
static inline uint32_t BenchPixel(uint32_t* state) { return BenchNext(state) ^ (BenchNext(state) >> 16); }

/* The same pixel premultiplied, for a compositor that expects it. */
static inline uint32_t BenchPremultiplied(uint32_t p) {
  uint32_t a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
}
#endif
