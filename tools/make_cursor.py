#!/usr/bin/env python3
"""Draws the skin engine's pipette cursor (CRASPIPETTE) as a 32 x 32 monochrome .cur file.

    make_cursor.py OUTFILE

A pipette lies from the hot spot in the lower left corner to a bulb at the upper right:
a black outline filled white, everything else transparent. Only the standard library is used.
"""
import struct
import sys

SIZE = 32
HOT_X, HOT_Y = 1, 30


def shape():
    """Pixel map: None transparent, 0 black, 1 white (rows top to bottom)."""
    pix = [[None] * SIZE for _ in range(SIZE)]

    def disc(cx, cy, r, value):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    pix[y][x] = value

    # the tube: a thick diagonal, outlined
    for t in range(2, 24):
        x, y = HOT_X + t, HOT_Y - t
        for dx in (-2, -1, 0, 1, 2):
            for dy in (-2, -1, 0, 1, 2):
                if 0 <= x + dx < SIZE and 0 <= y + dy < SIZE and pix[y + dy][x + dx] is None:
                    pix[y + dy][x + dx] = 0
    for t in range(2, 24):
        x, y = HOT_X + t, HOT_Y - t
        for dx, dy in ((0, 0), (1, 0), (0, -1)):
            pix[y + dy][x + dx] = 1
    disc(26, 5, 5, 0)  # the bulb, outlined
    disc(26, 5, 3, 1)
    # the tip
    pix[HOT_Y][HOT_X] = 0
    pix[HOT_Y - 1][HOT_X + 1] = 0
    return pix


def cursor_bytes():
    pix = shape()
    xor_rows, and_rows = [], []
    for y in reversed(range(SIZE)):  # bottom-up
        xor_bits = and_bits = 0
        for x in range(SIZE):
            v = pix[y][x]
            bit = 1 << (SIZE - 1 - x)
            if v is None:
                and_bits |= bit  # transparent: screen kept
            elif v == 1:
                xor_bits |= bit  # white
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOT_X, HOT_Y, len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "wb") as f:
        f.write(cursor_bytes())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
