"""Pillow's BoxBlur on 8-bit planes of the text benchmark's sizes, with the box the
engine's blur uses for radius 3 (5 wide) and 10 (21 wide). Prints "key value" in megapixels
per second, with the keys of bench/Text.Bench.cpp."""
import random
import time

from PIL import Image, ImageFilter


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


HALF_WIDTHS = {3: 2, 10: 10}
for w, h in [(240, 40), (1920, 1080)]:
    plane = Image.frombytes("L", (w, h), random.Random(7).randbytes(w * h))
    for radius, half in HALF_WIDTHS.items():
        box = ImageFilter.BoxBlur(half)
        mps = megapixels_per_second(w * h, lambda: plane.filter(box))
        print(f"blur-{w}x{h}-r{radius} {mps:.1f}")
