/* pixman doing the graphics benchmark's tasks, built natively: separable-convolution
   resampling with its cubic (Mitchell) and linear kernels, a linear gradient composited
   with SRC, and a plain fill of the frame. Prints "key value" in megapixels per second of
   the target, with the keys of bench/Graphics.Bench.cpp. */
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

typedef void (*Step)(void* context);

/* The best of five rounds of at least 0.3 s each, like the other sides. */
static double MegapixelsPerSecond(double pixels, Step step, void* context) {
  step(context);
  double best = 0;
  for (int round = 0; round < 5; ++round) {
    int runs = 0;
    const double t0 = Now();
    double t1;
    do {
      step(context);
      ++runs;
      t1 = Now();
    } while (t1 - t0 < 0.3);
    const double mps = pixels * runs / (t1 - t0) / 1e6;
    if (mps > best) best = mps;
  }
  return best;
}

typedef struct {
  pixman_image_t* Src;
  pixman_image_t* Dst;
  int W, H;
} Composite;

static void RunSrc(void* context) {
  Composite* c = context;
  pixman_image_composite32(PIXMAN_OP_SRC, c->Src, NULL, c->Dst, 0, 0, 0, 0, 0, 0, c->W, c->H);
}

static uint32_t* Noise(int w, int h, uint32_t seed) {
  uint32_t* bits = malloc((size_t)w * h * 4);
  for (int i = 0; i < w * h; ++i) bits[i] = BenchPremultiplied(BenchPixel(&seed));
  return bits;
}

static double Resize(int sw, int sh, int dw, int dh, pixman_kernel_t kernel) {
  uint32_t* src = Noise(sw, sh, 1);
  uint32_t* dst = malloc((size_t)dw * dh * 4);
  Composite c = {pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, src, sw * 4),
                 pixman_image_create_bits(PIXMAN_a8r8g8b8, dw, dh, dst, dw * 4), dw, dh};
  const double sx = (double)sw / dw, sy = (double)sh / dh;
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
  pixman_image_set_transform(c.Src, &t);
  pixman_image_set_repeat(c.Src, PIXMAN_REPEAT_PAD);
  /* Downscaling samples through the kernel widened by the scale, upscaling reconstructs
     with it: the kernel's support in source pixels is the same as the engine's filter. */
  const pixman_kernel_t rx = sx > 1 ? PIXMAN_KERNEL_IMPULSE : kernel, ry = sy > 1 ? PIXMAN_KERNEL_IMPULSE : kernel;
  const pixman_kernel_t px = sx > 1 ? kernel : PIXMAN_KERNEL_IMPULSE, py = sy > 1 ? kernel : PIXMAN_KERNEL_IMPULSE;
  int n = 0;
  pixman_fixed_t* params = pixman_filter_create_separable_convolution(
      &n, pixman_double_to_fixed(sx > 1 ? sx : 1), pixman_double_to_fixed(sy > 1 ? sy : 1), rx, ry, px, py, 4, 4);
  pixman_image_set_filter(c.Src, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
  free(params);
  const double mps = MegapixelsPerSecond((double)dw * dh, RunSrc, &c);
  pixman_image_unref(c.Src);
  pixman_image_unref(c.Dst);
  free(src);
  free(dst);
  return mps;
}

typedef struct {
  uint32_t* Bits;
} Fill;

static void RunFill(void* context) {
  Fill* f = context;
  pixman_fill(f->Bits, BenchWidth, 32, 0, 0, BenchWidth, BenchHeight, 0xFF123456);
}

int main(void) {
  const int sizes[3][4] = {{1920, 1080, 960, 540}, {256, 256, 320, 320}, {64, 64, 128, 128}};
  const struct {
    int Filter;
    pixman_kernel_t Kernel;
  } kernels[] = {{6, PIXMAN_KERNEL_CUBIC}, {1, PIXMAN_KERNEL_LINEAR}};
  for (int k = 0; k < 2; ++k)
    for (int s = 0; s < 3; ++s)
      printf("resize-f%d-%dx%d-%dx%d %.1f\n", kernels[k].Filter, sizes[s][0], sizes[s][1], sizes[s][2],
             sizes[s][3], Resize(sizes[s][0], sizes[s][1], sizes[s][2], sizes[s][3], kernels[k].Kernel));

  const double frame = (double)BenchWidth * BenchHeight;
  uint32_t* bits = malloc((size_t)BenchWidth * BenchHeight * 4);
  Fill f = {bits};
  printf("fill %.1f\n", MegapixelsPerSecond(frame, RunFill, &f));

  pixman_gradient_stop_t stops[3] = {{0, {0x4040, 0x3030, 0x2020, 0xFFFF}},
                                     {pixman_double_to_fixed(0.4), {0xD0D0, 0xE0E0, 0xF0F0, 0xFFFF}},
                                     {pixman_fixed_1, {0x3030, 0x2020, 0x1010, 0xFFFF}}};
  const char* keys[2] = {"gradient-v", "gradient-h"};
  for (int direction = 0; direction < 2; ++direction) {
    pixman_point_fixed_t p1 = {0, 0};
    pixman_point_fixed_t p2 = {direction ? pixman_int_to_fixed(BenchWidth) : 0,
                               direction ? 0 : pixman_int_to_fixed(BenchHeight)};
    Composite c = {pixman_image_create_linear_gradient(&p1, &p2, stops, 3),
                   pixman_image_create_bits(PIXMAN_a8r8g8b8, BenchWidth, BenchHeight, bits, BenchWidth * 4),
                   BenchWidth, BenchHeight};
    printf("%s %.1f\n", keys[direction], MegapixelsPerSecond(frame, RunSrc, &c));
    pixman_image_unref(c.Src);
    pixman_image_unref(c.Dst);
  }
  free(bits);
  return 0;
}
