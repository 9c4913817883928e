#!/usr/bin/env python3
"""Draws the program's icon font and writes it as a TrueType file.

    make_icon_font.py OUT.ttf [OUT.rc]
        The font (family "FontAwesome") and, when asked, a resource script naming it as the
        RCDATA resource "awFont".

Every glyph is our own: plain strokes and polygons on a 1000-unit em, centred in their
advance, at the private-use code points the standard glyph list asks for. Needs Debian's
python3-fonttools.
"""
import math
import os
import sys

EM = 1000
ASCENT, DESCENT = 850, 150
MID = 350  # vertical centre of the glyphs (between baseline 0 and cap height 700)


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]  # clockwise: filled


def hole(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]  # counter-clockwise: cut out


def ring(cx, cy, r_out, r_in, n=32):
    outer = [(cx + r_out * math.cos(-2 * math.pi * k / n), cy + r_out * math.sin(-2 * math.pi * k / n)) for k in range(n)]
    if not r_in:
        return [outer]
    inner = [(cx + r_in * math.cos(2 * math.pi * k / n), cy + r_in * math.sin(2 * math.pi * k / n)) for k in range(n)]
    return [outer, inner]


def stroke(points, width):
    """A polyline as quads of the given width (one contour per segment)."""
    out = []
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        dx, dy = x1 - x0, y1 - y0
        length = math.hypot(dx, dy) or 1
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        quad = [(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)]
        out.append(clockwise(quad))
    return out


def clockwise(poly):
    area = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]))
    return poly if area < 0 else poly[::-1]


def arrow_head(tip, direction, size):
    (tx, ty), (dx, dy) = tip, direction
    bx, by = tx - dx * size, ty - dy * size
    return clockwise([(tx, ty), (bx - dy * size * 0.8, by + dx * size * 0.8), (bx + dy * size * 0.8, by - dx * size * 0.8)])


def glyph_shapes():
    """Code point -> contours on a box of x 100..900, y 0..700 (centre 500, 350)."""
    g = {}
    # page: a sheet with a folded corner
    g[0xF016] = [clockwise([(200, 0), (200, 700), (580, 700), (800, 480), (800, 0)]),
                 hole(270, 70, 730, 430), clockwise([(560, 700), (560, 480), (800, 480)])]
    # open folder: a back with a tab and a slanted front
    g[0xF115] = [clockwise([(120, 0), (120, 620), (380, 620), (440, 540), (760, 540), (760, 380), (300, 380), (200, 0)]),
                 clockwise([(230, 0), (330, 330), (900, 330), (800, 0)])]
    # calendar page with a mark (unnamed row)
    g[0xF274] = [clockwise(rect(150, 0, 850, 620)), hole(220, 70, 780, 480), clockwise(rect(280, 560, 360, 700)),
                 clockwise(rect(640, 560, 720, 700))] + stroke([(340, 270), (460, 160), (660, 380)], 70)
    # ellipsis: three dots
    g[0xF141] = sum((ring(x, MID, 90, 0, 20) for x in (200, 500, 800)), [])
    # calculator-like grid (unnamed row)
    g[0xF1EC] = [clockwise(rect(200, 0, 800, 700)), hole(270, 500, 730, 630)] + \
        [hole(x, y, x + 100, y + 100) for x in (280, 450, 620) for y in (80, 260)]
    # circle
    g[0xF111] = ring(500, MID, 350, 0, 40)
    # tick
    g[0xF00C] = stroke([(130, 370), (380, 110), (880, 610)], 150)
    # four-way move: a cross with arrow heads
    g[0xF047] = stroke([(180, MID), (820, MID)], 90) + stroke([(500, 30), (500, 670)], 90) + [
        arrow_head((100, MID), (-1, 0), 140), arrow_head((900, MID), (1, 0), 140),
        arrow_head((500, -50), (0, -1), 140), arrow_head((500, 750), (0, 1), 140)]
    # brush stroke on a frame (unnamed row)
    g[0xF1FB] = [clockwise(rect(150, 0, 850, 700)), hole(220, 70, 780, 630)] + stroke([(300, 150), (700, 550)], 120)
    # cross
    g[0xF00D] = stroke([(180, 30), (820, 670)], 150) + stroke([(180, 670), (820, 30)], 150)
    # plus
    g[0xF067] = [clockwise(rect(425, 0, 575, 700)), clockwise(rect(150, MID - 75, 425, MID + 75)),
                 clockwise(rect(575, MID - 75, 850, MID + 75))]
    # caret up
    g[0xF0D8] = [clockwise([(200, 200), (500, 520), (800, 200)])]
    # circular arrow: an open ring with a head
    arc = [(500 + 300 * math.cos(a), MID + 300 * math.sin(a)) for a in [math.radians(d) for d in range(60, 380, 20)]]
    g[0xF01E] = stroke(arc, 100) + [arrow_head((790, 560), (0.5, 0.86), 170)]
    # step backward / forward: a bar and a triangle
    g[0xF048] = [clockwise(rect(200, 50, 300, 650)), clockwise([(300, MID), (800, 650), (800, 50)])]
    g[0xF051] = [clockwise(rect(700, 50, 800, 650)), clockwise([(700, MID), (200, 650), (200, 50)])]
    # chevrons
    g[0xF053] = stroke([(650, 650), (350, MID), (650, 50)], 150)
    g[0xF054] = stroke([(350, 650), (650, MID), (350, 50)], 150)
    # minus
    g[0xF068] = [clockwise(rect(150, MID - 75, 850, MID + 75))]
    return g


def build_font(family="FontAwesome"):
    from fontTools.fontBuilder import FontBuilder
    from fontTools.pens.ttGlyphPen import TTGlyphPen
    shapes = glyph_shapes()
    codes = sorted(shapes)
    names = [".notdef", "space"] + ["u%04X" % c for c in codes]
    fb = FontBuilder(EM, isTTF=True)
    fb.setupGlyphOrder(names)
    cmap = {0x20: "space"}
    cmap.update({c: "u%04X" % c for c in codes})
    fb.setupCharacterMap(cmap)
    glyphs, metrics = {}, {}
    for name in names:
        pen = TTGlyphPen(None)
        if name.startswith("u"):
            for contour in shapes[int(name[1:], 16)]:
                pts = [(int(round(x)), int(round(y))) for x, y in contour]
                pen.moveTo(pts[0])
                for p in pts[1:]:
                    pen.lineTo(p)
                pen.closePath()
        glyphs[name] = pen.glyph()
        glyph = glyphs[name]
        glyph.recalcBounds(None)
        lsb = getattr(glyph, "xMin", 0) if name.startswith("u") else 0
        metrics[name] = (EM, lsb)
    fb.setupGlyf(glyphs)
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT)
    fb.setupNameTable({"familyName": family, "styleName": "Regular", "uniqueFontIdentifier": family + " Regular",
                       "fullName": family, "psName": family.replace(" ", "") + "-Regular"})
    # A symbol-less Unicode font: Latin 1 in the code page bits so GDI offers it for any text.
    fb.setupOS2(sTypoAscender=ASCENT, sTypoDescender=-DESCENT, usWinAscent=ASCENT, usWinDescent=DESCENT,
                ulCodePageRange1=1, ulUnicodeRange1=1, ulUnicodeRange2=1 << 28)  # bit 60: private use
    fb.setupPost()
    import io
    out = io.BytesIO()
    fb.save(out)
    return out.getvalue()


def main(argv):
    if not argv:
        print(__doc__)
        return 2
    data = build_font()
    os.makedirs(os.path.dirname(os.path.abspath(argv[0])), exist_ok=True)
    with open(argv[0], "wb") as f:
        f.write(data)
    if len(argv) > 1:
        path = os.path.abspath(argv[0]).replace("\\", "/")
        with open(argv[1], "w") as f:
            f.write('awFont RCDATA "%s"\n' % path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
