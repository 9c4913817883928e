/* Megapixels per second of pixman's OVER compositing (a8r8g8b8 over a8r8g8b8) on the
   benchmark's frame size and pixels: the yardstick of bench/run-pixels.sh. Built natively. */
#include <pixman.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "PixelData.h"

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(void) {
  const int stride = BenchWidth * 4;
  uint32_t* src = malloc((size_t)stride * BenchHeight);
  uint32_t* dst = malloc((size_t)stride * BenchHeight);
  if (!src || !dst) return 1;
  uint32_t s1 = 1, s2 = 2;
  for (int i = 0; i < BenchWidth * BenchHeight; ++i) {
    src[i] = BenchPremultiplied(BenchPixel(&s1));
    dst[i] = BenchPremultiplied(BenchPixel(&s2));
  }
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, BenchWidth, BenchHeight, src, stride);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, BenchWidth, BenchHeight, dst, stride);
  pixman_image_composite32(PIXMAN_OP_OVER, s, NULL, d, 0, 0, 0, 0, 0, 0, BenchWidth, BenchHeight);
  /* The best of five rounds of at least 0.3 s each, like the other side. */
  double best = 0;
  for (int round = 0; round < 5; ++round) {
    int runs = 0;
    const double t0 = Now();
    double t1;
    do {
      pixman_image_composite32(PIXMAN_OP_OVER, s, NULL, d, 0, 0, 0, 0, 0, 0, BenchWidth, BenchHeight);
      ++runs;
      t1 = Now();
    } while (t1 - t0 < 0.3);
    const double mps = (double)BenchWidth * BenchHeight * runs / (t1 - t0) / 1e6;
    if (mps > best) best = mps;
  }
  printf("PixmanOver %.1f\n", best);
  pixman_image_unref(s);
  pixman_image_unref(d);
  free(src);
  free(dst);
  return 0;
}
