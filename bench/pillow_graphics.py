"""Pillow doing the graphics benchmark's tasks: resize with the filters whose support
matches the engine's (BICUBIC for Mitchell, HAMMING for Hermite, BILINEAR for the
triangle) and a quarter turn of the frame. Prints "key value" in megapixels per second of
the target, with the keys of bench/Graphics.Bench.cpp."""
import random
import time

from PIL import Image


def megapixels_per_second(pixels, step):
    step()
    best = 0.0
    for _ in range(5):
        runs = 0
        t0 = time.perf_counter()
        while True:
            step()
            runs += 1
            t1 = time.perf_counter()
            if t1 - t0 >= 0.3:
                break
        best = max(best, pixels * runs / (t1 - t0) / 1e6)
    return best


def noise(width, height, seed):
    return Image.frombytes("RGBA", (width, height), random.Random(seed).randbytes(width * height * 4))


FILTERS = {6: Image.Resampling.BICUBIC, 2: Image.Resampling.HAMMING, 1: Image.Resampling.BILINEAR}
SIZES = [(1920, 1080, 960, 540), (256, 256, 320, 320), (64, 64, 128, 128)]

for number, resample in FILTERS.items():
    for sw, sh, dw, dh in SIZES:
        src = noise(sw, sh, 1)
        mps = megapixels_per_second(dw * dh, lambda: src.resize((dw, dh), resample))
        print(f"resize-f{number}-{sw}x{sh}-{dw}x{dh} {mps:.1f}")

frame = noise(1920, 1080, 2)
print(f"rotate90 {megapixels_per_second(1920 * 1080, lambda: frame.transpose(Image.Transpose.ROTATE_90)):.1f}")
