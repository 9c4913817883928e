"""Draws the picture of the default hint template: a rounded balloon body with a soft shadow
to its right and below, 27 x 27 pixels with alpha.

    make_hint_image.py OUTDIR
        OUTDIR/acHint.png    the picture
        OUTDIR/HintImage.rc  the picture as RCDATA "ACHINT"

The body fills (6, 5) .. (20, 19); the template cuts the picture at borders 11, 10, 14, 15
(left, top, right, bottom), so the corners and the shadow stay whole when it is stretched.
Edges are smoothed by 4 x 4 samples a pixel. The output is the same bytes on every run.
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_skin import make_png  # noqa: E402

SIZE = 27
SS = 4
BODY = (6.0, 5.0, 20.0, 19.0)   # left, top, right, bottom
RADIUS = 4.0
SHADOW_OFFSET = (2.0, 3.0)
SHADOW_SPREAD = 4.0
FILL = (255, 255, 231)
EDGE = (118, 118, 118)


def rounded_distance(x, y, box, radius):
    """Signed distance from (x, y) to a rounded rectangle (negative inside)."""
    l, t, r, b = box
    cx = min(max(x, l + radius), r - radius)
    cy = min(max(y, t + radius), b - radius)
    return math.hypot(x - cx, y - cy) - radius


def pixel(px, py):
    body = edge = 0.0
    for sy in range(SS):
        for sx in range(SS):
            x, y = px + (sx + 0.5) / SS, py + (sy + 0.5) / SS
            d = rounded_distance(x, y, BODY, RADIUS)
            if d <= 0:
                body += 1
                if d > -1:
                    edge += 1
    n = SS * SS
    body /= n
    edge /= n
    # The shadow: the body moved right and down, fading out over SHADOW_SPREAD pixels.
    sd = rounded_distance(px + 0.5 - SHADOW_OFFSET[0], py + 0.5 - SHADOW_OFFSET[1], BODY, RADIUS)
    shadow = 0.0 if sd >= SHADOW_SPREAD else 0.35 * (1 - max(sd, 0) / SHADOW_SPREAD) ** 2
    inner = body - edge
    colour = [0.0, 0.0, 0.0]
    for i in range(3):
        colour[i] = FILL[i] * inner + EDGE[i] * edge
    alpha = body + shadow * (1 - body)
    if alpha <= 0:
        return (0, 0, 0, 0)
    # the shadow is black: the colour of the mix is the body's part over the total alpha
    return tuple(round(c / alpha) for c in colour) + (round(255 * alpha),)


def write(outdir):
    os.makedirs(outdir, exist_ok=True)
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    png = make_png(rows, SIZE, SIZE, 8, 6)
    path = os.path.join(outdir, "acHint.png")
    with open(path, "wb") as f:
        f.write(png)
    with open(os.path.join(outdir, "HintImage.rc"), "w") as f:
        f.write("// Made by tools/make_hint_image.py: the picture of the default hint template.\n")
        f.write('ACHINT RCDATA "%s"\n' % os.path.abspath(path).replace("\\", "/"))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        sys.exit(2)
    write(sys.argv[1])
