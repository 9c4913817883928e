#!/usr/bin/env python3
"""Draws the default look of a title bar's drop-down button (bitmap resource MENUBTN).

    make_menubtn.py OUTFILE

Three cells of 17 x 20 side by side (normal, hot, pressed), 24 bits, bottom-up BMP. Each cell
is a plate with a lighter top edge and a darker bottom edge; its rounded corners are the key
colour #FF00FF, which the engine leaves see-through. The painter cuts the cells at margins 8,
2, 8, 4 (left, top, right, bottom), so the rounding lies inside the corners. Only the standard
library is used; the output is the same bytes on every run.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_skin import bmp24  # noqa: E402

CELL_W, CELL_H, CELLS = 17, 20, 3
KEY = (255, 0, 255)
# per state: (top edge, face, bottom edge, outline)
STATES = (
    ((0x6E, 0x9C, 0xC8), (0x3C, 0x6E, 0xA0), (0x28, 0x50, 0x78), (0x1E, 0x3C, 0x5A)),
    ((0x8C, 0xBE, 0xE6), (0x50, 0x8C, 0xC8), (0x32, 0x64, 0x96), (0x1E, 0x46, 0x6E)),
    ((0x32, 0x50, 0x6E), (0x23, 0x41, 0x64), (0x5A, 0x82, 0xAA), (0x14, 0x28, 0x3C)),
)
# key-colour runs of the corners: top rows (radius 2) and bottom rows (radius 3)
TOP_RUNS = (2, 1)
BOTTOM_RUNS = (3, 2, 1)


def colour_at(x, y):
    state, cx = x // CELL_W, x % CELL_W
    ox = min(cx, CELL_W - 1 - cx)
    if y < len(TOP_RUNS) and ox < TOP_RUNS[y]:
        return KEY
    by = CELL_H - 1 - y
    if by < len(BOTTOM_RUNS) and ox < BOTTOM_RUNS[by]:
        return KEY
    top, face, bottom, outline = STATES[state]
    if ox == 0 or y == 0 or by == 0:
        return outline
    if y == 1:
        return top
    if by == 1:
        return bottom
    return face


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "wb") as f:
        f.write(bmp24(CELL_W * CELLS, CELL_H, colour_at))


if __name__ == "__main__":
    main()
