/* Pixman compositing the nine pieces of a masked border (one 24 x 24 cell, 8-pixel margins)
   into a transparent a8r8g8b8 target: each piece's image and its mask scaled to the
   piece's place with the cubic kernel, the image OVER through the mask. The yardstick of
   bench/run-layered.sh, built natively. Prints per size the best time in milliseconds:
     PixmanNine <width>x<height> <ms> */
#include <pixman.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { Cell = 24, Margin = 8 };

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

/* The cell's image (premultiplied, opaque) and its mask (alpha 255 - grey), as the other
   side draws them. */
static uint32_t image[Cell * Cell], mask[Cell * Cell];

static pixman_image_t* Piece(const uint32_t* from, int x, int y, int w, int h, int dw, int dh) {
  uint32_t* bits = malloc((size_t)w * h * 4);
  for (int r = 0; r < h; ++r) memcpy(bits + r * w, from + (y + r) * Cell + x, (size_t)w * 4);
  pixman_image_t* img = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, bits, w * 4);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed((double)w / dw), pixman_double_to_fixed((double)h / dh));
  pixman_image_set_transform(img, &t);
  int n = 0;
  pixman_fixed_t* params = pixman_filter_create_separable_convolution(
      &n, pixman_double_to_fixed((double)w / dw), pixman_double_to_fixed((double)h / dh), PIXMAN_KERNEL_CUBIC,
      PIXMAN_KERNEL_CUBIC, PIXMAN_KERNEL_CUBIC, PIXMAN_KERNEL_CUBIC, 4, 4);
  pixman_image_set_filter(img, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
  free(params);
  pixman_image_set_repeat(img, PIXMAN_REPEAT_PAD);
  return img;
}

int main(void) {
  for (int y = 0; y < Cell; ++y)
    for (int x = 0; x < Cell; ++x) {
      image[y * Cell + x] = 0xFF000000u | (uint32_t)(x * 10) << 16 | (uint32_t)(y * 10) << 8 | 0x40;
      mask[y * Cell + x] = (uint32_t)(255 - (((x + y) * 5) & 0xFF)) << 24;
    }
  const int sizes[2][2] = {{300, 400}, {1920, 1080}};
  for (int s = 0; s < 2; ++s) {
    const int W = sizes[s][0], H = sizes[s][1], M = Margin, C = Cell - 2 * Margin;
    uint32_t* bits = calloc((size_t)W * H, 4);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, bits, W * 4);
    /* Source x, y, w, h and target x, y, w, h of the nine pieces. */
    const int pieces[9][8] = {
        {0, 0, M, M, 0, 0, M, M},                 {0, M, M, C, 0, M, M, H - 2 * M},
        {M, 0, C, M, M, 0, W - 2 * M, M},         {0, M + C, M, M, 0, H - M, M, M},
        {M, M + C, C, M, M, H - M, W - 2 * M, M}, {M + C, M + C, M, M, W - M, H - M, M, M},
        {M + C, 0, M, M, W - M, 0, M, M},         {M + C, M, M, C, W - M, M, M, H - 2 * M},
        {M, M, C, C, M, M, W - 2 * M, H - 2 * M}};
    pixman_image_t *src[9], *msk[9];
    for (int i = 0; i < 9; ++i) {
      const int* p = pieces[i];
      src[i] = Piece(image, p[0], p[1], p[2], p[3], p[6], p[7]);
      msk[i] = Piece(mask, p[0], p[1], p[2], p[3], p[6], p[7]);
    }
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
      int runs = 0;
      const double t0 = Now();
      double t1;
      do {
        memset(bits, 0, (size_t)W * H * 4);
        for (int i = 0; i < 9; ++i) {
          const int* p = pieces[i];
          pixman_image_composite32(PIXMAN_OP_OVER, src[i], msk[i], dst, 0, 0, 0, 0, p[4], p[5], p[6], p[7]);
        }
        ++runs;
        t1 = Now();
      } while (t1 - t0 < 0.25);
      const double ms = (t1 - t0) / runs * 1e3;
      if (ms < best) best = ms;
    }
    printf("PixmanNine %dx%d %.3f\n", W, H, best);
    for (int i = 0; i < 9; ++i) {
      free(pixman_image_get_data(src[i]));
      free(pixman_image_get_data(msk[i]));
      pixman_image_unref(src[i]);
      pixman_image_unref(msk[i]);
    }
    pixman_image_unref(dst);
    free(bits);
  }
  return 0;
}
