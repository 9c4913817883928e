/* The text stencil both sides of the text benchmark mix: black ink on white as the system's
   text output leaves it, with the edges of smoothed glyphs (greys and coloured sub-pixel
   values) and the white between letters, in about the shares of a line of caption text. */
#ifndef TARVEL_BENCH_TEXT_STENCIL_H
#define TARVEL_BENCH_TEXT_STENCIL_H
#include <stdint.h>

#include "PixelData.h"

#define StencilWidth 400
#define StencilHeight 300

/* 0x00RRGGBB: half white, a fifth full ink, the rest partial ink, grey or per channel. */
static inline uint32_t StencilPixel(uint32_t* state) {
  const uint32_t r = BenchNext(state) >> 8;
  const uint32_t kind = r % 10;
  if (kind < 5) return 0x00FFFFFFu;
  if (kind < 7) return 0;
  const uint32_t v = (r >> 4) & 0xFF;
  if (kind < 9) return (v << 16) | (v << 8) | v;
  return BenchNext(state) & 0x00FFFFFFu;
}
#endif
