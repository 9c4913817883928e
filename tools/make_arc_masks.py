"""Draws the two rotating masks of the arc preloader, dark on white.

    make_arc_masks.py OUTDIR
        OUTDIR/acMask1.png  128 x 128 palette image: a toothed wheel
        OUTDIR/acMask2.png  127 x 127 RGB image: an arc that darkens along its length
        OUTDIR/ArcMasks.rc  the two as RCDATA "acMask1" and "acMask2"

Edges are smoothed by 4 x 4 samples a pixel. The output is the same bytes on every run.
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_skin import make_png  # noqa: E402

SS = 4


def coverage(size, inside):
    """-> rows of ink coverage 0.0 .. 1.0 (and the ink's shade) per pixel."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            ink, shade = 0, 0.0
            for sy in range(SS):
                for sx in range(SS):
                    hit = inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS)
                    if hit is not None:
                        ink += 1
                        shade += hit
            n = SS * SS
            row.append((ink / n, shade / ink if ink else 0.0))
        rows.append(row)
    return rows


def wheel(px, py, size=128, teeth=12):
    """A toothed wheel with a hole: its ink is black (shade 0)."""
    c = size / 2
    dx, dy = px - c, py - c
    r = math.hypot(dx, dy)
    a = math.atan2(dy, dx)
    tooth = math.cos(a * teeth) > 0.15
    outer = 60 if tooth else 50
    return 0.0 if 24 <= r <= outer else None


def fading_arc(px, py, size=127):
    """A ring segment of 300 degrees whose ink darkens from its start to its end."""
    c = (size - 1) / 2
    dx, dy = px - 0.5 - c, py - 0.5 - c
    r = math.hypot(dx, dy)
    if not 44 <= r <= 60:
        return None
    a = (math.degrees(math.atan2(dy, dx)) + 360) % 360
    if a > 300:
        return None
    return 1.0 - a / 300  # light at the start, dark at the end


def write(outdir):
    os.makedirs(outdir, exist_ok=True)
    cov = coverage(128, wheel)
    palette = [(v, v, v) for v in range(256)]
    pixels1 = [[(round(255 * (1 - ink)),) for ink, _ in row] for row in cov]
    mask1 = make_png(pixels1, 128, 128, 8, 3, palette=palette)
    cov = coverage(127, fading_arc)
    pixels2 = []
    for row in cov:
        out = []
        for ink, shade in row:
            v = round(255 * (1 - ink) + ink * 200 * shade)
            out.append((v, v, v))
        pixels2.append(out)
    mask2 = make_png(pixels2, 127, 127, 8, 2)
    paths = []
    for name, data in (("acMask1", mask1), ("acMask2", mask2)):
        path = os.path.join(outdir, name + ".png")
        with open(path, "wb") as f:
            f.write(data)
        paths.append((name, os.path.abspath(path).replace("\\", "/")))
    with open(os.path.join(outdir, "ArcMasks.rc"), "w") as f:
        f.write("// Made by tools/make_arc_masks.py: the rotating masks of the arc preloader.\n")
        for name, path in paths:
            f.write('%s RCDATA "%s"\n' % (name, path))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        sys.exit(2)
    write(sys.argv[1])
