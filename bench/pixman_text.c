/* pixman compositing glyph masks as a text renderer does: OVER of a solid colour through a
   component-alpha (per-channel coverage) mask, the benchmark's stencil turned into coverage.
   Built natively; prints "mix" in megapixels per second, the key of bench/Text.Bench.cpp. */
#include <pixman.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "TextStencil.h"

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(void) {
  const int w = StencilWidth, h = StencilHeight;
  uint32_t* mask = malloc((size_t)w * h * 4);
  uint32_t* dst = calloc((size_t)w * h, 4);
  uint32_t seed = 1;
  /* Coverage is the ink: 255 minus the stencil, per channel; alpha the channels' mean. */
  for (int i = 0; i < w * h; ++i) {
    const uint32_t s = ~StencilPixel(&seed) & 0x00FFFFFFu;
    const uint32_t a = (((s >> 16) & 0xFF) + ((s >> 8) & 0xFF) + (s & 0xFF)) / 3;
    mask[i] = (a << 24) | s;
  }
  pixman_image_t* m = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, mask, w * 4);
  pixman_image_set_component_alpha(m, 1);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, dst, w * 4);
  pixman_color_t colour = {0xC0C0, 0x6060, 0x3030, 0xFFFF};
  pixman_image_t* solid = pixman_image_create_solid_fill(&colour);

  double best = 0;
  pixman_image_composite32(PIXMAN_OP_OVER, solid, m, d, 0, 0, 0, 0, 0, 0, w, h);
  for (int round = 0; round < 5; ++round) {
    int runs = 0;
    const double t0 = Now();
    double t1;
    do {
      pixman_image_composite32(PIXMAN_OP_OVER, solid, m, d, 0, 0, 0, 0, 0, 0, w, h);
      ++runs;
      t1 = Now();
    } while (t1 - t0 < 0.3);
    const double mps = (double)w * h * runs / (t1 - t0) / 1e6;
    if (mps > best) best = mps;
  }
  printf("mix %.1f\n", best);
  return 0;
}
