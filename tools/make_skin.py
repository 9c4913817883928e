#!/usr/bin/env python3
"""Writes our own skins and the skin-reader test fixtures.

    make_skin.py skin [DESCRIPTION.json] OUTDIR
        A skin folder OUTDIR/<name>/ (Options.dat and the images it names) and the
        same skin packed as OUTDIR/<name>.ovz, with a preview image.
    make_skin.py fixtures OUTDIR
        The default test skin (folder and packed), deliberately damaged packed skins,
        PNG files of every colour type and bit depth with the 32-bit pixels a reader
        must produce, and damaged PNG files; manifests list them with the outcome.

Every image is drawn here: flat, distinct colours per section and state, so a pixel
probe in a test can tell which section and state was painted. Only the standard
library is used (zlib and struct make the PNG and packed formats).

    make_skin.py bench OUTDIR
        Skin-sized and large PNG files for the decoding benchmark (bench/run-png.sh).
    make_skin.py program DESCDIR OUTDIR
        The skins the program stores: every DESCDIR/*.json packed as OUTDIR/<resource>.ovz,
        and OUTDIR/StoredSkins.rc naming them as RCDATA resources.
    make_skin.py bench-skin OUTDIR [SECTIONS]
        A packed skin of many sections with parent chains for bench/SkinLoad.Bench.cpp.
    make_skin.py lusmere OUTDIR
        The program's own skin "Lusmere II (internal)" (drawn by tools/lusmere.py) as a
        skin folder, a packed file and its 140 x 100 preview PNG.

A description naming "drawn": "lusmere" is that drawn skin (with the description's name,
version, author and description); any other description is a flat skin as below.

A description (JSON) may say everything the loader reads:
    "global": {key: value}          any GLOBALINFO key (VERSION, MainFont, BRIGHTMIN...)
    "fonts": [{"file": F, "name": N}] fonts drawn here, FontCount/FontFile k/FontName k
    "sections": {name: {"states": [3 colours], "font": [3 colours], "keys": {key: value}}}
        "states" gives the flat look (colours and two images per section); "keys" adds or
        replaces any key: PARENTCLASS, STATES, USESTATE2, GLOW, GLOWMARGIN, OUT*, state keys,
        gradient texts, scale-suffixed keys ("BORDERSMASK*150") and masks in any written form.
        From Python a section may also carry "files": {entry name: bytes}, images of its own.
Fonts need Debian's python3-fonttools.
"""
import json
import os
import random
import struct
import sys
import zlib

# ---------------------------------------------------------------------------
# PNG writer: every colour type, bit depth, filter type and Adam7.
# ---------------------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
ADAM7 = [(0, 8, 0, 8), (0, 8, 4, 8), (4, 8, 0, 4), (0, 4, 2, 4), (2, 4, 0, 2), (0, 2, 1, 2), (1, 2, 0, 1)]
SAMPLES = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def chunk(kind, data, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + data) & 0xFFFFFFFF
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)


def pack_row(pixels, depth, samples):
    """pixels: list of sample tuples -> bytes of one unfiltered row."""
    if depth == 16:
        return b"".join(struct.pack(">" + "H" * samples, *p) for p in pixels)
    if depth == 8:
        return bytes(v for p in pixels for v in p)
    out, acc, bits = bytearray(), 0, 0
    for p in pixels:
        acc = (acc << depth) | p[0]
        bits += depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_row(kind, row, prev, bpp):
    out = bytearray([kind])
    for i, x in enumerate(row):
        a = row[i - bpp] if i >= bpp else 0
        b = prev[i] if prev else 0
        c = prev[i - bpp] if prev and i >= bpp else 0
        pred = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
        out.append((x - pred) & 0xFF)
    return bytes(out)


def image_data(pixels, width, height, depth, color_type, interlace):
    """The raw (filtered, uncompressed) image data; filters cycle by row."""
    samples = SAMPLES[color_type]
    bpp = max(1, depth * samples // 8)
    raw = bytearray()
    if not interlace:
        prev = None
        for y in range(height):
            row = pack_row(pixels[y], depth, samples)
            raw += filter_row(y % 5, row, prev, bpp)
            prev = row
        return bytes(raw)
    for (y0, dy, x0, dx) in ADAM7:
        if x0 >= width or y0 >= height:
            continue
        prev = None
        for n, y in enumerate(range(y0, height, dy)):
            row = pack_row([pixels[y][x] for x in range(x0, width, dx)], depth, samples)
            raw += filter_row((n + 2) % 5, row, prev, bpp)
            prev = row
    return bytes(raw)


def make_png(pixels, width, height, depth, color_type, interlace=False, palette=None, trns=None, gamma=None,
             bkgd=None, idat_size=None, extra_chunks=(), zlib_data=None, ihdr_override=None, zero_idat=False):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 1 if interlace else 0)
    if ihdr_override:
        ihdr = ihdr_override
    out = PNG_SIGNATURE + chunk(b"IHDR", ihdr)
    out += chunk(b"tEXt", b"Software\x00Tarvel skin tool")  # an ancillary chunk to skip
    if gamma is not None:
        out += chunk(b"gAMA", struct.pack(">I", gamma))
    if palette is not None:
        out += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if bkgd is not None:
        out += chunk(b"bKGD", bkgd)
    if trns is not None:
        out += chunk(b"tRNS", trns)
    for kind, data in extra_chunks:
        out += chunk(kind, data)
    if zlib_data is None:
        zlib_data = zlib.compress(image_data(pixels, width, height, depth, color_type, interlace), 9)
    step = idat_size or len(zlib_data) or 1
    pieces = [zlib_data[i:i + step] for i in range(0, len(zlib_data), step)] or [b""]
    if zero_idat:
        pieces.insert(len(pieces) // 2, b"")
    for piece in pieces:
        out += chunk(b"IDAT", piece)
    out += chunk(b"IEND", b"")
    return out


def flat_rgba_png(width, height, cells):
    """A strip of flat cells side by side: cells = [(r, g, b, a), ...]."""
    cell = width // len(cells)
    pixels = [[cells[min(x // cell, len(cells) - 1)] for x in range(width)] for _ in range(height)]
    return make_png(pixels, width, height, 8, 6)


def bmp24(width, height, colour_at):
    """A bottom-up 24-bit BMP; colour_at(x, y) -> (r, g, b)."""
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = colour_at(x, y)
            row += bytes((b, g, r))
        rows += row + b"\x00" * (stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + bytes(rows)


# ---------------------------------------------------------------------------
# Skins
# ---------------------------------------------------------------------------

DEFAULT_SKIN = {
    "name": "Tarvel Test",
    "version": "14.50",
    "author": "Tarvel",
    "description": "Flat test skin drawn by tools/make_skin.py",
    "color": "#D0D0D0",
    "sections": {
        "FORM": {"states": ["#204080", "#3060A0", "#102040"], "font": ["#FFFFFF", "#FFFF00", "#C0C0C0"]},
        "BUTTON": {"states": ["#40A040", "#60C060", "#208020"], "font": ["#000000", "#101010", "#202020"]},
        # Edits and lists: a frame colour of its own, apart from the fill.
        "EDIT": {"states": ["#F0F0F0", "#FFFFE0", "#E0E0E0"], "font": ["#000000", "#000080", "#404040"],
                 "frame": "#3050A0"},
        "CHECKBOX": {"states": ["#A04040", "#C06060", "#802020"], "font": ["#000000", "#000000", "#000000"]},
        # Window title and selection colours without images; no HINT, so hints take the edit colours.
        "FORMTITLE": {"keys": {"STATES": "2", "COLOR": "%d" % 0x503010, "HOTCOLOR": "%d" % 0x604020,
                               "FONTCOLOR": "%d" % 0x705030, "HOTFONTCOLOR": "%d" % 0x806040}},
        "SELECTION": {"keys": {"STATES": "2", "COLOR": "%d" % 0x113355, "HOTCOLOR": "%d" % 0x224466,
                               "FONTCOLOR": "%d" % 0x335577, "HOTFONTCOLOR": "%d" % 0x446688}},
    },
    # A colour of its own for every palette slot the skin-wide values give.
    "global": {"FONTCOLOR": "%d" % 0x010203, "TCBOTTOM": "%d" % 0x040506, "TCTOP": "%d" % 0x070809,
               "BORDERCOLOR": "%d" % 0x0A0B0C, "EDITTEXT_OK": "%d" % 0x0D0E0F, "EDITTEXT_WARN": "%d" % 0x101112,
               "EDITTEXT_ALERT": "%d" % 0x131415, "EDITBG_OK": "%d" % 0x161718, "EDITBG_WARN": "%d" % 0x191A1B,
               "EDITBG_ALERT": "%d" % 0x1C1D1E, "COLORTONERED": "%d" % 0x1F2021, "COLORTONEGREEN": "%d" % 0x222324,
               "COLORTONEBLUE": "%d" % 0x252627, "COLORTONEREDACTIVE": "%d" % 0x28292A,
               "COLORTONEGREENACTIVE": "%d" % 0x2B2C2D, "COLORTONEBLUEACTIVE": "%d" % 0x2E2F30,
               "COLORTONEREDTEXT": "%d" % 0x313233, "COLORTONEGREENTEXT": "%d" % 0x343536,
               "COLORTONEBLUETEXT": "%d" % 0x373839, "COLORTONEREDTEXTACTIVE": "%d" % 0x3A3B3C,
               "COLORTONEGREENTEXTACTIVE": "%d" % 0x3D3E3F, "COLORTONEBLUETEXTActive": "%d" % 0x404142},
}


def rgb_of(text):
    text = text.lstrip("#")
    return int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16)


def tcolor(text):
    r, g, b = rgb_of(text)
    return r | (g << 8) | (b << 16)


def key_lines(pairs):
    return ["%s=%s" % (k, v) for k, v in pairs.items()]


# ---------------------------------------------------------------------------
# Sections of the test skin for the background painters: one way of painting each
# (see-through state, texture fill modes, nine-slice borders of every kind, corner images,
# a state-image strip). Every zone of every state has its own flat colour, zone_colour(),
# so a probe on screen tells which section, zone and state was painted.
# ---------------------------------------------------------------------------

CORNER, SIDE, CENTRE, FILL = 0, 1, 2, 3  # zones


def zone_colour(section_no, zone, state):
    """-> "#RRGGBB": red by zone, green by state, blue by section (never the key colour)."""
    return "#%02X%02X%02X" % (0x30 + 0x40 * zone, 0x20 + 0x60 * state, 0x10 + 0x0C * section_no)


def fixed_mask(file_name, count=1, margins=(0, 0, 0, 0), mask_type=0, kind=0, draw_mode=0):
    """A skin image in the fixed form: the rectangle is the whole file, then the margins,
    ImageCount, MaskType, the image kind (0 border, 1 texture, 2 glyph) and DrawMode."""
    return "&" + "0000" * 4 + "".join("%04d" % m for m in margins) + \
        "%d%d%d%02d000000%s" % (count, mask_type, kind, draw_mode, file_name)


def nine_zone_cells(section_no, cell, margin, key_corners=True):
    """colour_at(x, y) of three state cells side by side: corners, sides and centre each
    their own colour; with key_corners the three outermost pixels of each corner are
    magenta (the see-through rounding)."""
    def colour_at(x, y):
        state, cx = x // cell, x % cell
        edge_x = cx < margin or cx >= cell - margin
        edge_y = y < margin or y >= cell - margin
        if key_corners and edge_x and edge_y:
            ox, oy = min(cx, cell - 1 - cx), min(y, cell - 1 - y)
            if ox + oy <= 1:
                return (255, 0, 255)
        zone = CORNER if edge_x and edge_y else SIDE if edge_x or edge_y else CENTRE
        return rgb_of(zone_colour(section_no, zone, state))
    return colour_at


def state_keys(section_no, **extra):
    keys = {"STATES": "3", "USESTATE2": "1"}  # the third state its own, not the hot one's
    for state, key in enumerate(("COLOR", "HOTCOLOR", "COLOR2")):
        keys[key] = "%d" % tcolor(zone_colour(section_no, FILL, state))
    keys.update({k: str(v) for k, v in extra.items()})
    return keys


def paint_test_sections():
    cell, margin = 12, 4
    sections = {}

    def add(name, keys, files=None):
        sections[name] = {"keys": keys, "files": files or {}}

    add("TESTALPHA50", state_keys(0, TRANSPARENCY=50, HOTTRANSPARENCY=50, TRANSPARENCY2=50))
    # Textures: state 0 and the hot state their own image; state 2 plain.
    for no, name, mode, (tw, th) in ((1, "TESTTEXTURE0", 0, (6, 5)), (2, "TESTTEXTURE2", 2, (8, 10))):
        files, keys = {}, state_keys(no, IMAGEPERCENT=100, HOTIMAGEPERCENT=100, IMAGEPERCENT2=0)
        for state, key in ((0, "PATTERN"), (1, "HOTPATTERN")):
            image = "%s_%d.BMP" % (name, state)
            files[image] = bmp24(tw, th, lambda x, y, s=state: rgb_of(zone_colour(no, CENTRE, s)))
            keys[key] = fixed_mask(image, kind=1, draw_mode=mode)
        add(name, keys, files)
    add("TESTKEYBORDER", dict(state_keys(3), BORDERSMASK=fixed_mask("TESTKEYBORDER.BMP", 3, (margin,) * 4)),
        {"TESTKEYBORDER.BMP": bmp24(3 * cell, cell, nine_zone_cells(3, cell, margin))})
    # Masked: the image over its grey mask (black shows the image, white what lies behind).
    image = nine_zone_cells(4, cell, margin)
    add("TESTMASKED", dict(state_keys(4), BORDERSMASK=fixed_mask("TESTMASKED.BMP", 3, (margin,) * 4, mask_type=1)),
        {"TESTMASKED.BMP": bmp24(3 * cell, 2 * cell, lambda x, y: image(x, y) if y < cell else
                                 ((255,) * 3 if image(x, y - cell) == (255, 0, 255) else (0, 0, 0)))})
    alpha = nine_zone_cells(5, cell, margin)
    pixels = [[(0, 0, 0, 0) if alpha(x, y) == (255, 0, 255) else alpha(x, y) + (255,) for x in range(3 * cell)]
              for y in range(cell)]
    add("TESTALPHABORDER", dict(state_keys(5), BORDERSMASK=fixed_mask("TESTALPHA.PNG", 3, (margin,) * 4, draw_mode=0x10)),
        {"TESTALPHA.PNG": make_png(pixels, 3 * cell, cell, 8, 6)})
    add("TESTSTRETCH", dict(state_keys(6), BORDERSMASK=fixed_mask("TESTSTRETCH.BMP", 3, (margin,) * 4,
                                                                    draw_mode=0x01 | 0x04)),
        {"TESTSTRETCH.BMP": bmp24(3 * cell, cell, nine_zone_cells(6, cell, margin, key_corners=False))})
    # Corner images (6 x 6 cells, each corner and state its own colour) and a glyph strip.
    keys, files = state_keys(7), {}
    for zone, key in enumerate(("IMGTOPLEFT", "IMGTOPRIGHT", "IMGBTMLEFT", "IMGBTMRIGHT")):
        files[key + ".BMP"] = bmp24(18, 6, lambda x, y, z=zone: rgb_of(zone_colour(8, z, x // 6)))
        keys[key] = fixed_mask(key + ".BMP", 3, kind=2)
    files["TESTGLYPH.BMP"] = bmp24(24, 8, lambda x, y: rgb_of(zone_colour(9, CORNER, x // 8)))
    keys["GLYPHMASK"] = fixed_mask("TESTGLYPH.BMP", 3, kind=2)
    add("TESTCORNERS", keys, files)
    # Text: a font colour of its own per state, one contour colour per side, and a glow.
    add("TESTTEXT", state_keys(10, FONTCOLOR=0x000000, HOTFONTCOLOR=0x400000, FONTCOLOR2=0x004000,
                               TCLEFT=0x0000FF, TCTOP=0x00FF00, TCRIGHT=0xFF0000, TCBOTTOM=0x00FFFF,
                               HOTTCLEFT=0x0000FF, HOTTCTOP=0x00FF00, HOTTCRIGHT=0xFF0000, HOTTCBOTTOM=0x00FFFF,
                               GCOL=0xFFFFFF, GSIZE=4, HGCOL=0xFFFFFF, HGSIZE=4))
    # Layered painting: a state at transparency 40, a vertical gradient through three
    # colours at transparency 40 (each segment must carry the alpha), and an outer effect: a masked image
    # reaching beyond the body by its offsets, at its opacity.
    add("TESTALPHA40", state_keys(11, TRANSPARENCY=40, HOTTRANSPARENCY=40, TRANSPARENCY2=40))
    stops = [tcolor(zone_colour(12, zone, 0)) for zone in (CORNER, SIDE, CENTRE)]
    add("TESTGRADIENT3", state_keys(12, GRADIENTPERCENT=100, TRANSPARENCY=40,
                                    GRADIENTDATA="%d;0;0;%d;50;0;%d;100;0;C" % tuple(stops)))
    outer = nine_zone_cells(13, cell, margin)
    add("TESTOUTER", dict(state_keys(13, OUTERMODE=2, OUTOFFSL=3, OUTOFFST=2, OUTOFFSR=3, OUTOFFSB=4, OUTOPACITY=160),
                          OUTERMASK=fixed_mask("TESTOUTER.BMP", 1, (margin,) * 4, mask_type=1)),
        {"TESTOUTER.BMP": bmp24(cell, 2 * cell, lambda x, y: outer(x, y) if y < cell else
                                ((255,) * 3 if outer(x, y - cell) == (255, 0, 255) else (0x40,) * 3))})
    # Frames: one opaque plain colour, and black at transparency 50 over whatever lies behind.
    add("TESTFRAME", {"STATES": "1", "COLOR": "%d" % tcolor("#2E8B57"), "TRANSPARENCY": "0"})
    add("TESTFRAMEGLASS", {"STATES": "1", "COLOR": "0", "TRANSPARENCY": "50"})
    # Hover glow: a 12 x 12 image with 4-pixel borders, a blue band at alpha 128 around a
    # clear centre, and a margin that puts 2 of its border pixels inside the control.
    glow = [[(0x10, 0x60, 0xE0, 128) if min(x, y, 11 - x, 11 - y) < 4 else (0, 0, 0, 0) for x in range(12)]
            for y in range(12)]
    add("TESTGLOW", dict(state_keys(14, GLOW=1, GLOWMARGIN=2),
                         GLOW0=fixed_mask("TESTGLOW.PNG", 1, (4,) * 4, draw_mode=0x10)),
        {"TESTGLOW.PNG": make_png(glow, 12, 12, 8, 6)})
    # The same without its image: a glow is asked for and none is shown.
    add("TESTNOGLOW", state_keys(14, GLOW=1, GLOWMARGIN=2))
    return sections


DEFAULT_SKIN["sections"].update(paint_test_sections())


# ---------------------------------------------------------------------------
# Sections of the skinned menus: flat colours of their own (section numbers 14 to 19 of
# zone_colour, the last that keep blue within a byte; SPEEDBUTTON_SMALL shares 17 in another zone), so a probe of an open menu tells background, frame, icon column, item,
# hot item and divider apart. The menu frame is a 3-pixel border with see-through corners.
# ---------------------------------------------------------------------------

MENU_FRAME_CELL, MENU_FRAME_MARGIN = 12, 3
MENU_SECTIONS = ("MAINMENU", "MENUITEM", "MENUCAPTION", "DIVIDERV", "ICOLINE", "EXTRALINE", "SPEEDBUTTON_SMALL")


def menu_frame_cell(x, y):
    """The menu frame: the nine-zone cell with a see-through (key-colour) centre, so that
    the background and icon column under it stay."""
    cell, margin = MENU_FRAME_CELL, MENU_FRAME_MARGIN
    if margin <= x < cell - margin and margin <= y < cell - margin:
        return (255, 0, 255)
    return nine_zone_cells(14, cell, margin)(x, y)


def menu_test_sections():
    sections = {}
    cell, margin = MENU_FRAME_CELL, MENU_FRAME_MARGIN
    sections["MAINMENU"] = {
        "keys": dict(state_keys(14), BORDERSMASK=fixed_mask("MAINMENU.BMP", 1, (margin,) * 4)),
        "files": {"MAINMENU.BMP": bmp24(cell, cell, menu_frame_cell)}}
    # Items: see-through while normal, a colour of their own when hot; a font colour per state.
    sections["MENUITEM"] = {"keys": state_keys(15, TRANSPARENCY=100, FONTCOLOR=tcolor("#101010"),
                                               HOTFONTCOLOR=tcolor("#F0F0F0"), FONTCOLOR2=tcolor("#202020"))}
    sections["MENUCAPTION"] = {"keys": state_keys(16, FONTCOLOR=tcolor("#FFFFFF"))}
    sections["DIVIDERV"] = {
        "keys": dict(state_keys(17), BORDERSMASK=fixed_mask("DIVIDERV.BMP", 1, (1, 1, 1, 1))),
        "files": {"DIVIDERV.BMP": bmp24(4, 2, lambda x, y: rgb_of(zone_colour(17, SIDE, 0)))}}
    sections["ICOLINE"] = {"keys": state_keys(18)}
    sections["EXTRALINE"] = {"keys": state_keys(19, FONTCOLOR=tcolor("#FFFFFF"))}
    sections["SPEEDBUTTON_SMALL"] = {"keys": state_keys(17)}
    return sections


DEFAULT_SKIN["sections"].update(menu_test_sections())
# The check marks of menus live in the skin's global section: 3 cells of 8 x 8.
DEFAULT_SKIN["global"] = dict(DEFAULT_SKIN["global"], CHECK=fixed_mask("CHECK.BMP", 3, kind=2),
                              RADIOCHECKED=fixed_mask("RADIOCHECKED.BMP", 3, kind=2))
DEFAULT_SKIN["files"] = {
    "CHECK.BMP": bmp24(24, 8, lambda x, y: rgb_of(zone_colour(18, CORNER, x // 8))),
    "RADIOCHECKED.BMP": bmp24(24, 8, lambda x, y: rgb_of(zone_colour(19, CORNER, x // 8)))}
# The same skin without the menu sections and "SELECTION": the degraded paths.
LACKING_SKIN = dict(DEFAULT_SKIN, name="Tarvel Test Lacking",
                    sections={k: v for k, v in DEFAULT_SKIN["sections"].items()
                              if k not in MENU_SECTIONS and k != "SELECTION"})


# ---------------------------------------------------------------------------
# Sections of the skinned controls (arc controls, labels, panel): flat, a colour of their
# own each, so a probe tells which one was painted; the title label's shadow values.
# ---------------------------------------------------------------------------

def control_sections():
    flat = lambda colour, font, **extra: dict({"STATES": "2", "COLOR": "%d" % tcolor(colour),
                                               "HOTCOLOR": "%d" % tcolor(colour),
                                               "FONTCOLOR": "%d" % tcolor(font),
                                               "HOTFONTCOLOR": "%d" % tcolor(font)},
                                              **{k: str(v) for k, v in extra.items()})
    return {
        "TRANSPARENT": {"keys": flat("#FFFFFF", "#0C2238", TRANSPARENCY=100, HOTTRANSPARENCY=100)},
        "PANEL": {"keys": flat("#5A6B7C", "#F0E0D0")},
        "PANEL_LOW": {"keys": flat("#4A5B6C", "#E0D0C0")},
        "GROUPBOX": {"keys": flat("#3A4B5C", "#D0C0B0", TRANSPARENCY=100, HOTTRANSPARENCY=100)},
        "DRAGBAR": {"keys": flat("#2A3B4C", "#C0B0A0")},
        "GRIPV": {"keys": flat("#1A2B3C", "#B0A090")},
    }


DEFAULT_SKIN["sections"].update(control_sections())


# ---------------------------------------------------------------------------
# Hint sections: the hints component picks one by name (its SkinSection). A body 30 %
# transparent with a key-cornered frame (its shape), two fully transparent bodies drawn by
# their frame alone (key colour, and alpha with the draw-mode bit 0x10), and one with an
# outer effect above mode 2 (the hint paints its own shadow). Colours of their own: red
# 0xC0/0x80/0x40 by zone, green 0x50, blue by section.
# ---------------------------------------------------------------------------

HINT_CELL, HINT_MARGIN = 12, 4


def hint_colour(section_blue, zone):
    return "#%02X50%02X" % ((0xC0, 0x80, 0x40, 0x60)[zone], section_blue)


def hint_cells(section_blue, alpha=False):
    """colour_at(x, y) (or RGBA with alpha) of three state cells with see-through corners."""
    def colour_at(x, y):
        cx = x % HINT_CELL
        edge_x = cx < HINT_MARGIN or cx >= HINT_CELL - HINT_MARGIN
        edge_y = y < HINT_MARGIN or y >= HINT_CELL - HINT_MARGIN
        if edge_x and edge_y and min(cx, HINT_CELL - 1 - cx) + min(y, HINT_CELL - 1 - y) <= 1:
            return (0, 0, 0, 0) if alpha else (255, 0, 255)
        zone = CORNER if edge_x and edge_y else SIDE if edge_x or edge_y else CENTRE
        return rgb_of(hint_colour(section_blue, zone)) + ((255,) if alpha else ())
    return colour_at


def hint_test_sections():
    sections = {}
    fill = lambda blue: "%d" % tcolor(hint_colour(blue, FILL))
    margins = (HINT_MARGIN,) * 4
    border = lambda blue: bmp24(3 * HINT_CELL, HINT_CELL, hint_cells(blue))
    sections["HINT30"] = {"keys": {"STATES": "1", "COLOR": fill(0x31), "TRANSPARENCY": "30",
                                   "FONTCOLOR": "%d" % 0x102030,
                                   "BORDERSMASK": fixed_mask("HINT30.BMP", 3, margins)},
                          "files": {"HINT30.BMP": border(0x31)}}
    sections["HINTCLEAR"] = {"keys": {"STATES": "1", "COLOR": fill(0x32), "TRANSPARENCY": "100",
                                      "BORDERSMASK": fixed_mask("HINTCLEAR.BMP", 3, margins)},
                             "files": {"HINTCLEAR.BMP": border(0x32)}}
    cells = hint_cells(0x33, alpha=True)
    pixels = [[cells(x, y) for x in range(3 * HINT_CELL)] for y in range(HINT_CELL)]
    sections["HINTCLEARALPHA"] = {"keys": {"STATES": "1", "COLOR": fill(0x33), "TRANSPARENCY": "100",
                                           "BORDERSMASK": fixed_mask("HINTALPHA.PNG", 3, margins, draw_mode=0x10)},
                                  "files": {"HINTALPHA.PNG": make_png(pixels, 3 * HINT_CELL, HINT_CELL, 8, 6)}}
    outer = hint_cells(0x34)
    sections["HINTOUTER"] = {"keys": {"STATES": "1", "COLOR": fill(0x34), "TRANSPARENCY": "0", "OUTERMODE": "3",
                                      "OUTOFFSL": "3", "OUTOFFST": "2", "OUTOFFSR": "5", "OUTOFFSB": "6",
                                      "OUTOPACITY": "200",
                                      "OUTERMASK": fixed_mask("HINTOUTER.BMP", 1, margins, mask_type=1)},
                             "files": {"HINTOUTER.BMP": bmp24(HINT_CELL, 2 * HINT_CELL, lambda x, y: outer(x, y)
                                                              if y < HINT_CELL else
                                                              ((255,) * 3 if outer(x, y - HINT_CELL) == (255, 0, 255)
                                                               else (0x40,) * 3))}}
    return sections


DEFAULT_SKIN["sections"].update(hint_test_sections())
DEFAULT_SKIN["global"].update({"SHADOW1COLOR": "%d" % 0x102030, "SHADOW1BLUR": "3", "SHADOW1OFFSET": "2"})


def build_skin(desc):
    """-> (options text, {entry name: bytes}, preview) of a skin description."""
    files = {}
    sections = desc["sections"]
    # The master bitmap: one row of 16x16 cells per flat section, one cell per state.
    flat = [n for n in sections if "states" in sections[n]]
    cell = 16
    width = cell * 3
    height = cell * max(1, len(flat))

    def master_colour(x, y):
        if not flat:
            return (255, 0, 255)
        sec = sections[flat[min(y // cell, len(flat) - 1)]]
        # A section with a frame colour has its 2-pixel border in it (the border margins).
        cx, cy = x % cell, y % cell
        if "frame" in sec and (cx < 2 or cy < 2 or cx >= cell - 2 or cy >= cell - 2):
            return rgb_of(sec["frame"])
        return rgb_of(sec["states"][min(x // cell, 2)])

    files["MASTER.BMP"] = bmp24(width, height, master_colour)
    glob = {"VERSION": desc.get("version", "14.50"), "AUTHOR": desc.get("author", ""),
            "DESCRIPTION": desc.get("description", ""), "MASTERBITMAP": "MASTER.BMP",
            "COLOR": "%d" % tcolor(desc.get("color", "#D0D0D0")), "FontCount": "0"}
    fonts = desc.get("fonts", [])
    if fonts:
        glob["FontCount"] = str(len(fonts))
        for k, font in enumerate(fonts):
            glob["FontFile%d" % k] = font["file"]
            glob["FontName%d" % k] = font["name"]
            files[os.path.basename(font["file"]).upper()] = make_ttf(font["name"])
    glob.update(desc.get("global", {}))
    files.update(desc.get("files", {}))
    lines = ["[GLOBALINFO]"] + key_lines(glob) + [""]
    for name, sec in sections.items():
        keys = {}
        if "states" in sec:
            states, fcolors = sec["states"], sec.get("font", ["#000000"] * 3)
            index = flat.index(name)
            image = name + ".PNG"
            files[image] = flat_rgba_png(3 * 12, 12, [rgb_of(s) + (255,) for s in states])
            top = index * cell
            keys = {"STATES": "3", "COLOR": "%d" % tcolor(states[0]), "HOTCOLOR": "%d" % tcolor(states[1]),
                    "COLOR2": "%d" % tcolor(states[2]), "FONTCOLOR": "%d" % tcolor(fcolors[0]),
                    "HOTFONTCOLOR": "%d" % tcolor(fcolors[1]), "FONTCOLOR2": "%d" % tcolor(fcolors[2]),
                    # a border cut from the master bitmap and a state image of its own
                    "BORDERSMASK": "^0000^%04d^%04d^%04d^0002^0002^0002^0002^3^0^0^0" % (top, width, top + cell),
                    "GLYPHMASK": "!%s!3!0!4!0000!0000!0000!0000!0" % image}
        keys.update(sec.get("keys", {}))
        files.update(sec.get("files", {}))
        lines += ["[%s]" % name] + key_lines(keys) + [""]
    options = "\r\n".join(lines).encode("cp1252")
    cells = [rgb_of(sections[n]["states"][0]) + (255,) for n in flat] or [(255, 255, 255, 255)]
    preview = flat_rgba_png(32, 24, cells[:32])
    return options, files, preview


def make_ttf(family):
    """A small TrueType font drawn here: blocks of different widths for the letters."""
    from fontTools.fontBuilder import FontBuilder
    from fontTools.pens.ttGlyphPen import TTGlyphPen
    letters = [chr(c) for c in range(0x20, 0x7F)]
    names = [".notdef"] + ["g%02X" % ord(c) for c in letters]
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(names)
    fb.setupCharacterMap({ord(c): "g%02X" % ord(c) for c in letters})
    glyphs, metrics = {}, {}
    for i, name in enumerate(names):
        pen = TTGlyphPen(None)
        w = 300 + (i % 7) * 60
        if i > 1:  # .notdef and the blank stay empty
            pen.moveTo((50, 0))
            pen.lineTo((50, 700))
            pen.lineTo((w - 50, 700))
            pen.lineTo((w - 50, 0))
            pen.closePath()
        glyphs[name] = pen.glyph()
        metrics[name] = (w, 50 if i > 1 else 0)
    fb.setupGlyf(glyphs)
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular", "uniqueFontIdentifier": family + " Regular",
                       "fullName": family, "psName": family.replace(" ", "") + "-Regular"})
    # Latin 1 in the code pages and Unicode ranges: the system then offers it for ANSI text.
    fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200,
                ulCodePageRange1=1, ulUnicodeRange1=1)
    fb.setupPost()
    import io
    out = io.BytesIO()
    fb.save(out)
    return out.getvalue()


def pack_entries(entries, preview=None, count=None):
    """entries: [(name bytes, content bytes, zlib bytes or None)] -> packed skin bytes."""
    out = b"OVzf" + struct.pack("<I", len(entries) if count is None else count)
    for name, content, packed in entries:
        if packed is None:
            packed = zlib.compress(content, 9)
        out += struct.pack("<I", len(name)) + name + struct.pack("<I", len(content)) + packed
    if preview is not None:
        out += b"previewimg" + struct.pack("<I", len(preview)) + preview
    return out


def drawn_skin(desc):
    """The skin a description names by "drawn", drawn by its own module."""
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import lusmere
    return lusmere.build(desc)


def skin_parts(desc):
    return drawn_skin(desc) if desc.get("drawn") == "lusmere" else build_skin(desc)


def packed_skin(desc, with_options=True):
    options, files, preview = skin_parts(desc)
    entries = ([(b"Options.dat", options, None)] if with_options else []) + \
        [(n.encode("ascii"), d, None) for n, d in files.items()]
    return pack_entries(entries, preview)


def write_folder_skin(desc, outdir):
    options, files, preview = skin_parts(desc)
    folder = os.path.join(outdir, desc["name"])
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Options.dat"), "wb") as f:
        f.write(options)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def write_bytes(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def write_skin(desc, outdir):
    options, files, preview = skin_parts(desc)
    folder = os.path.join(outdir, desc["name"])
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Options.dat"), "wb") as f:
        f.write(options)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    entries = [(b"Options.dat", options, None)] + [(n.encode("ascii"), d, None) for n, d in files.items()]
    with open(os.path.join(outdir, desc["name"] + ".ovz"), "wb") as f:
        f.write(pack_entries(entries, preview))
    with open(os.path.join(outdir, desc["name"] + ".preview.png"), "wb") as f:
        f.write(preview)
    return options, files, preview


# ---------------------------------------------------------------------------
# Test fixtures
# ---------------------------------------------------------------------------

def f32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def gamma_table(gamma_int):
    """The reader's gamma table for a gAMA value, 8-bit depths on both sides."""
    e = 1.0 / (f32(gamma_int / 100000.0) * f32(2.2))
    return [int(round((i / 255.0) ** e * 255)) for i in range(256)]


def sample_pattern(width, height, depth, samples, seed):
    top = (1 << depth) - 1
    rnd = random.Random(seed)
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            if depth == 16:
                row.append(tuple(rnd.randrange(65536) for _ in range(samples)))
            else:
                row.append(tuple((x * 3 + y * 5 + s * 7 + rnd.randrange(2)) % (top + 1) for s in range(samples)))
        rows.append(row)
    return rows


def to8(v, depth):
    return v * 255 // 65535 if depth == 16 else v * 255 // ((1 << depth) - 1)


def expected_bgra(pixels, width, height, depth, color_type, palette=None, trns=None, gamma=None):
    table = gamma_table(gamma) if gamma is not None else None
    out = bytearray()
    for y in range(height):
        for x in range(width):
            p = pixels[y][x]
            if color_type == 3:
                r, g, b = palette[p[0]] if p[0] < len(palette) else (0, 0, 0)
                if table:
                    r, g, b = table[r], table[g], table[b]
                a = 255
                if trns is not None:
                    a = trns[p[0]] if p[0] < len(trns) else 255
                elif table:  # a palette image with gamma becomes a mask of its indices
                    r = g = b = 0
                    a = 255 - table[p[0]]
                out += bytes((b, g, r, a))
            elif color_type in (0, 4):
                v = to8(p[0], depth)
                if table:
                    # the bitmap's own value: the grey level, or the index into the grey ramp
                    own = v if depth >= 8 else (p[0] * 5 if depth == 2 else p[0])
                    out += bytes((0, 0, 0, 255 - table[own]))
                else:
                    out += bytes((v, v, v, 255))
            else:
                r, g, b = (to8(c, depth) for c in p[:3])
                if table:
                    r, g, b = table[r], table[g], table[b]
                a = to8(p[3], depth) if color_type == 6 else 255
                out += bytes((b, g, r, a))
    return struct.pack("<II", width, height) + bytes(out)


def png_cases():
    """-> [(name, png bytes, expected bytes or None, outcome)]."""
    cases = []
    w, h = 13, 11  # odd sizes: partial bytes at row ends, every Adam7 pass present
    combos = [(0, d) for d in (1, 2, 4, 8, 16)] + [(2, 8), (2, 16)] + [(3, d) for d in (1, 2, 4, 8)] + \
             [(4, 8), (4, 16), (6, 8), (6, 16)]
    for ct, depth in combos:
        samples = SAMPLES[ct]
        pixels = sample_pattern(w, h, depth, samples, seed=ct * 100 + depth)
        palette = None
        if ct == 3:
            rnd = random.Random(depth)
            palette = [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)) for _ in range(1 << depth)]
        for interlace in (False, True):
            name = "ct%d_d%d%s" % (ct, depth, "_i" if interlace else "")
            png = make_png(pixels, w, h, depth, ct, interlace, palette=palette, idat_size=7 if interlace else None)
            cases.append((name, png, expected_bgra(pixels, w, h, depth, ct, palette), "ok"))
    # palette with tRNS (shorter than the palette: the rest is opaque)
    pixels = sample_pattern(w, h, 4, 1, seed=7)
    palette = [(i * 16, 255 - i * 16, (i * 40) & 255) for i in range(16)]
    trns = bytes(i * 17 for i in range(10))
    cases.append(("ct3_d4_trns", make_png(pixels, w, h, 4, 3, palette=palette, trns=trns),
                  expected_bgra(pixels, w, h, 4, 3, palette, trns=trns), "ok"))
    # 2-bit palette: four colours spread over a 16-entry palette
    pixels = sample_pattern(w, h, 2, 1, seed=8)
    palette = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0)]
    cases.append(("ct3_d2_four", make_png(pixels, w, h, 2, 3, palette=palette, trns=bytes((0, 85, 170, 255))),
                  expected_bgra(pixels, w, h, 2, 3, palette, trns=bytes((0, 85, 170, 255))), "ok"))
    # gamma: colours through the table, alpha untouched; grey becomes a mask
    for ct, depth in ((2, 8), (6, 8), (2, 16), (0, 8)):
        pixels = sample_pattern(w, h, depth, SAMPLES[ct], seed=50 + ct)
        cases.append(("ct%d_d%d_gamma" % (ct, depth), make_png(pixels, w, h, depth, ct, gamma=100000),
                      expected_bgra(pixels, w, h, depth, ct, gamma=100000), "ok"))
    # bKGD and ancillary chunks of any name are read or skipped
    pixels = sample_pattern(w, h, 8, 4, seed=60)
    cases.append(("ct6_ancillary", make_png(pixels, w, h, 8, 6, bkgd=struct.pack(">HHH", 1, 2, 3),
                                            extra_chunks=[(b"pHYs", b"\x00" * 9), (b"zzZz", b"junk")],
                                            zero_idat=True, idat_size=50),
                  expected_bgra(pixels, w, h, 8, 6), "ok"))
    # short ancillary chunks are ignored, not read past their end
    pixels = sample_pattern(w, h, 8, 3, seed=61)
    cases.append(("short_ancillary", make_png(pixels, w, h, 8, 2, bkgd=b"\x01", trns=b"\x02",
                                              extra_chunks=[(b"gAMA", b"\x00\x01")]),
                  expected_bgra(pixels, w, h, 8, 2), "ok"))

    # damaged files: each must end in a clean error
    base_pixels = sample_pattern(w, h, 8, 3, seed=70)
    good = make_png(base_pixels, w, h, 8, 2)
    raw = image_data(base_pixels, w, h, 8, 2, False)
    ihdr_at = 8
    idat_at = good.index(b"IDAT") - 4

    def with_byte(data, at, value):
        return data[:at] + bytes([value]) + data[at + 1:]

    cases += [
        ("bad_signature", b"\x89PNX" + good[4:], None, "error"),
        ("truncated_half", good[:len(good) // 2], None, "error"),
        ("truncated_header", good[:20], None, "error"),
        ("ihdr_crc", with_byte(good, ihdr_at + 8 + 13 + 3, good[ihdr_at + 8 + 13 + 3] ^ 0xFF), None, "error"),
        ("idat_crc", with_byte(good, idat_at + 8 + 2, good[idat_at + 8 + 2] ^ 0x55), None, "error"),
        ("huge_dimensions", make_png(None, 100000, 100000, 8, 6, zlib_data=b"\x78\x9c\x03\x00\x00\x00\x00\x01"),
         None, "error"),
        ("huge_area", make_png(None, 60000, 60000, 8, 2, zlib_data=b"\x78\x9c\x03\x00\x00\x00\x00\x01"), None,
         "error"),
        ("zero_width", make_png(None, 0, 5, 8, 2, zlib_data=zlib.compress(b"")), None, "error"),
        ("bad_zlib", make_png(None, w, h, 8, 2, zlib_data=b"\x78\x9c" + bytes(range(200, 255)) * 3), None, "error"),
        ("bad_zlib_header", make_png(None, w, h, 8, 2, zlib_data=b"\x00\x00" + zlib.compress(raw)[2:]), None,
         "error"),
        ("short_zlib", make_png(None, w, h, 8, 2, zlib_data=zlib.compress(raw[:len(raw) // 2])), None, "error"),
        ("unknown_critical", make_png(base_pixels, w, h, 8, 2, extra_chunks=[(b"ABCD", b"x")]), None, "error"),
        ("second_ihdr", make_png(base_pixels, w, h, 8, 2, extra_chunks=[(b"IHDR", good[16:29])]), None, "error"),
        ("bad_depth", make_png(None, w, h, 4, 2, zlib_data=zlib.compress(raw)), None, "error"),
        ("bad_color_type", make_png(None, w, h, 8, 5, zlib_data=zlib.compress(raw)), None, "error"),
        ("bad_compression", make_png(None, w, h, 8, 2, zlib_data=zlib.compress(raw),
                                     ihdr_override=struct.pack(">IIBBBBB", w, h, 8, 2, 1, 0, 0)), None, "error"),
        ("short_ihdr", make_png(None, w, h, 8, 2, zlib_data=zlib.compress(raw),
                                ihdr_override=struct.pack(">IIBBBB", w, h, 8, 2, 0, 0)), None, "error"),
        ("bad_palette_length", make_png(None, w, h, 8, 3, palette=[(1, 2, 3), (4, 5)], zlib_data=zlib.compress(raw)),
         None, "error"),
        ("huge_chunk_length", good[:33] + struct.pack(">I", 0x7FFFFFF0) + b"gAMA" + b"\x00" * 8, None, "error"),
        ("chunk_length_top_bit", good[:33] + struct.pack(">I", 0xFFFFFFF0) + b"gAMA" + b"\x00" * 8, None, "error"),
        ("no_iend", good[:good.index(b"IEND") - 4], None, "error"),
    ]
    # bytes behind the end of the compressed data in the same chunk
    cases.append(("overlong_zlib", make_png(None, w, h, 8, 2, zlib_data=zlib.compress(raw) + b"\x00\x01\x02"),
                  None, "error"))
    # image data that stops early (no more IDAT) loads; the rest keeps the background
    cases.append(("zero_length_idat", make_png(None, w, h, 8, 2, zlib_data=b""), None, "ok"))
    cases.append(("unknown_filter", make_png(None, 2, 1, 8, 2, zlib_data=zlib.compress(b"\x09" + bytes(6))), None,
                  "ok"))
    return cases


def packed_cases():
    """-> [(name, bytes, outcome)]: ok, signature (false result) or error (raised)."""
    options = b"[GLOBALINFO]\r\nVERSION=14.50\r\n"
    bmp = bmp24(4, 4, lambda x, y: (x * 60, y * 60, 128))
    rnd = random.Random(1)
    big = rnd.randbytes(300000)  # incompressible: more than one input buffer
    entries = [(b"MASTER.BMP", bmp, None), (b"Options.dat", options, None), (b"BIG.BIN", big, None),
               (b"BTN.PNG", flat_rgba_png(6, 2, [(255, 0, 0, 255), (0, 0, 255, 128)]), None)]
    good = pack_entries(entries, preview=flat_rgba_png(4, 4, [(1, 2, 3, 255)]))
    first_zlib = 8 + 4 + 10 + 4
    one = [(b"Options.dat", options, None)]
    cases = [
        ("good", good, "ok"),
        ("count_zero", pack_entries([], count=0), "ok"),
        ("lower_case_options", pack_entries([(b"options.DAT", options, None)]), "ok"),
        ("bad_signature", b"OVzX" + good[4:], "signature"),
        ("tiny", b"OV", "signature"),
        ("no_count", b"OVzf\x01", "error"),
        ("count_top_bit", b"OVzf\x00\x00\x00\x80", "error"),
        ("count_past_end", pack_entries(one, count=1000), "error"),
        ("count_one_too_many", pack_entries(one, count=2), "error"),
        ("truncated_entry", good[:first_zlib + 40], "error"),
        ("truncated_big_entry", good[:len(good) // 2], "error"),
        ("trailer_cut", pack_entries([(b"A.TXT", b"hello", zlib.compress(b"hello")[:-2])]) + b"\x00" * 30, "error"),
        ("huge_name_length", b"OVzf" + struct.pack("<II", 1, 0xFFFFFFF0) + b"\x00" * 64, "error"),
        ("huge_size", b"OVzf" + struct.pack("<II", 1, 5) + b"A.TXT" + struct.pack("<I", 0xFFFFFFF0) +
         zlib.compress(b"abc") + b"\x00" * 16, "error"),
        ("size_too_small", pack_entries([(b"A.TXT", b"hello world", None)]).replace(
            struct.pack("<I", 11), struct.pack("<I", 5), 1) + b"\x00" * 16, "error"),
        ("size_too_large", pack_entries([(b"A.TXT", b"hello", None)]).replace(
            struct.pack("<I", 5) + b"\x78", struct.pack("<I", 50) + b"\x78", 1) + b"\x00" * 16, "error"),
        ("bad_zlib", b"OVzf" + struct.pack("<II", 1, 5) + b"A.TXT" + struct.pack("<I", 5) + b"\x78\x9c\xff\xff" +
         b"\x00" * 16, "error"),
    ]
    return cases, entries


def rgba_png(width, height, pixel):
    """pixel(x, y) -> (r, g, b, a)."""
    return make_png([[pixel(x, y) for x in range(width)] for y in range(height)], width, height, 8, 6)


def jpeg_of(width, height, pixel):
    """A JPEG of an image drawn here, encoded by Debian's python3-pil."""
    import io
    from PIL import Image as PilImage
    img = PilImage.new("RGB", (width, height))
    img.putdata([pixel(x, y) for y in range(height) for x in range(width)])
    out = io.BytesIO()
    img.save(out, "JPEG", quality=95)
    return out.getvalue()


def bmp_header_fields(width, height, bpp=24, info_size=40, offset=54, compression=0, image_size=None, planes=1):
    rows = ((width * bpp + 31) // 32) * 4 * abs(height) if image_size is None else image_size
    return (struct.pack("<2sIHHI", b"BM", offset + rows, 0, 0, offset) +
            struct.pack("<IiiHHIIiiII", info_size, width, height, planes, bpp, compression, rows, 2835, 2835, 0, 0))


def write_format_fixtures(outdir):
    """A skin of every image format and mask form the loader reads, and damaged variants.

    Master bitmap MASTER.PNG (64 x 48): alpha 128 at (0, 0), opaque key pixels in the row
    y = 1, a close image (red) at 0,8 .. 12,20 and a maximize image (green) at 16,8 .. 28,20,
    a three-cell masked border (cells 12 x 12, mask below) at 0,24 .. 36,48, and a border
    of margins 1 at 40,0 .. 52,12."""
    def master(x, y):
        if (x, y) == (0, 0):
            return (10, 20, 30, 128)
        if y == 1:
            return (255, 0, 255, 255)
        if 8 <= y < 20 and x < 12:
            return (200, 30, 30, 255)
        if 8 <= y < 20 and 16 <= x < 28:
            return (30, 160, 30, 255)
        if 24 <= y < 36 and x < 36:  # image half: a frame per cell, key in its corner
            cx, cy = x % 12, y - 24
            if (cx, cy) == (0, 0):
                return (255, 0, 255, 255)
            return (40 + 60 * (x // 12), 90, 200, 255) if cx in (0, 11) or cy in (0, 11) else (230, 230, 240, 255)
        if 36 <= y < 48 and x < 36:  # mask half: black shape
            return (0, 0, 0, 255)
        if y < 12 and 40 <= x < 52:
            return (90, 90, 90, 255) if x in (40, 51) or y in (0, 11) else (250, 250, 250, 255)
        return (200, 200, 200, 255)
    files = {
        "MASTER.PNG": rgba_png(64, 48, master),
        "BG.JPG": jpeg_of(16, 8, lambda x, y: (x * 16, y * 32, 128)),
        "GLYPH.PNG": rgba_png(4, 4, lambda x, y: (200, 100, 50, 128)),
        "BORDER.PNG": rgba_png(12, 12, lambda x, y: (200, 100, 50, 128)),
        "SHARED.PNG": rgba_png(6, 6, lambda x, y: (1, 2, 3, 255)),
        "PIC.GIF": b"GIF89a\x01\x00\x01\x00\x00\x00\x00;",
        "BORDER.BMP": bmp24(12, 12, lambda x, y: (255, 0, 255) if (x, y) == (0, 0) else (10, 20, 30)),
        "EXTRA.BMP": bmp24(5, 3, lambda x, y: (7, 8, 9)),
    }
    glob = {"VERSION": "14.10", "MASTERBITMAP": "MASTER.PNG", "COLOR": "%d" % tcolor("#C0C8D0"), "BIKEEPHUE": "2",
            "BICONCLOSE": "@0000@0008@0012@0020@1@0", "BICONMAX": "@0016@0008@0028@0020@1@0"}
    sections = [
        ("JPGSEC", {"STATES": "1", "PATTERN": "BG.JPG"}),
        ("PNGSEC", {"STATES": "1", "GLYPHMASK": "!GLYPH.PNG!1!0!4!0000!0000!0000!0000!0",
                    "BORDERSMASK": "!BORDER.PNG!1!0!0!0002!0002!0002!0002!0"}),
        ("GIFSEC", {"STATES": "1", "PATTERN": "!PIC.GIF!1!0!1!0000!0000!0000!0000!0"}),
        ("BMPSEC", {"STATES": "1", "BORDERSMASK": "!BORDER.BMP!1!0!0!0002!0002!0002!0002!0"}),
        ("SCALED", {"STATES": "1", "BORDERSMASK*150": "^0000^0024^0036^0048^0003^0003^0003^0003^3^1^0^0"}),
        ("PLAIN", {"STATES": "1", "BORDERSMASK": "^0000^0024^0036^0048^0003^0003^0003^0003^3^1^0^0"}),
        ("THIN", {"STATES": "1", "BORDERSMASK": "^0040^0000^0052^0012^0001^0001^0001^0001^1^0^0^0"}),
        ("SHARE1", {"STATES": "1", "GLYPHMASK": "!SHARED.PNG!1!0!4!0000!0000!0000!0000!0"}),
        ("SHARE2", {"STATES": "1", "GLYPHMASK": "!SHARED.PNG!1!0!4!0000!0000!0000!0000!0"}),
    ]
    lines = ["[GLOBALINFO]"] + key_lines(glob) + [""]
    for name, keys in sections:
        lines += ["[%s]" % name] + key_lines(keys) + [""]
    options = "\r\n".join(lines).encode("ascii")
    folder = os.path.join(outdir, "Format")
    write_bytes(os.path.join(folder, "Options.dat"), options)
    for name, data in files.items():
        write_bytes(os.path.join(folder, name), data)
    # packed: the same skin naming its master bitmap in lower case, which no entry matches
    packed_options = options.replace(b"MASTERBITMAP=MASTER.PNG", b"MASTERBITMAP=master.bmp")
    entries = [(b"Options.dat", packed_options, None)] + [(n.encode("ascii"), d, None) for n, d in files.items()]
    entries.append((b"MASTER.BMP", bmp24(4, 4, lambda x, y: (1, 2, 3)), None))
    write_bytes(os.path.join(outdir, "FormatPacked.ovz"), pack_entries(entries))
    # a BMP master bitmap (alpha 255 but the key colour)
    bmp_master = os.path.join(outdir, "BmpMaster")
    write_bytes(os.path.join(bmp_master, "Options.dat"), b"[GLOBALINFO]\r\nMASTERBITMAP=M.BMP\r\n")
    write_bytes(os.path.join(bmp_master, "M.BMP"),
                bmp24(4, 2, lambda x, y: (255, 0, 255) if x == 0 else (10, 20, 30)))
    # damaged images for the damaged variants (their options are given by the tests)
    damaged = os.path.join(outdir, "Damaged")
    write_bytes(os.path.join(damaged, "MASTER.PNG"), rgba_png(16, 16, lambda x, y: (100, 100, 100, 255)))
    write_bytes(os.path.join(damaged, "ABSURD.BMP"), bmp_header_fields(0x7FFFFFFF, 0x7FFFFFFF, image_size=16) + b"\0" * 16)
    write_bytes(os.path.join(damaged, "Options.dat"), b"[GLOBALINFO]\r\n")


def write_bmp_seeds(outdir):
    """BMP files of the depths and layouts the reader takes, and a few damaged ones."""
    def info(width, height, bpp, compression=0, colors=0):
        return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, 0, 2835, 2835, colors, 0)

    def bmp(info_bytes, extra, pixels):
        offset = 14 + len(info_bytes) + len(extra)
        return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info_bytes + extra + pixels
    palette = b"".join(struct.pack("<I", i * 0x010101) for i in range(16))
    seeds = {
        "rgb24": bmp24(5, 3, lambda x, y: (x * 40, y * 80, 9)),
        "pal8": bmp(info(4, 2, 8, 0, 16), palette, bytes(range(8))),
        "pal4_topdown": bmp(info(4, -2, 4, 0, 16), palette, bytes(8)),
        "mono": bmp(info(9, 2, 1, 0, 2), struct.pack("<II", 0, 0xFFFFFF), bytes([0xAA, 0x80, 0, 0, 0x55, 0, 0, 0])),
        "bitfields16": bmp(info(2, 2, 16, 3), struct.pack("<III", 0xF800, 0x07E0, 0x1F), bytes(range(8))),
        "argb32": bmp(info(2, 1, 32), b"", bytes([1, 2, 3, 128, 4, 5, 6, 255])),
        "rle8": bmp(info(2, 1, 8, 1, 2), struct.pack("<II", 0, 0xFFFFFF), b"\x02\x01\x00\x01"),
        "huge": bmp(info(0x7FFFFFFF, 0x7FFFFFFF, 24), b"", b"\0" * 16),
    }
    os.makedirs(outdir, exist_ok=True)
    for name, data in seeds.items():
        write_bytes(os.path.join(outdir, name + ".bmp"), data)


def ico32(width, height, pixel):
    """A one-image ICO file with a 32-bit bitmap; pixel(x, y) -> (r, g, b, a)."""
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        for x in range(width):
            r, g, b, a = pixel(x, y)
            rows += bytes((b, g, r, a))
    mask = b"\0" * (((width + 31) // 32) * 4 * height)
    info = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
    image = info + bytes(rows) + mask
    entry = struct.pack("<BBBBHHII", width & 0xFF, height & 0xFF, 0, 0, 1, 32, len(image), 22)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def bmp32(width, height, pixel):
    """A bottom-up 32-bit BMP with alpha; pixel(x, y) -> (r, g, b, a)."""
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        for x in range(width):
            r, g, b, a = pixel(x, y)
            rows += bytes((b, g, r, a))
    return bmp_header_fields(width, height, 32) + bytes(rows)


def write_image_list_fixtures(outdir):
    """Images for the alpha image lists: PNG, ICO and BMP files with and without alpha, of
    1 x 1 and 32 x 32, and damaged ones; images.txt names each with what a list makes of it
    (the format, or "refused" when the file is no image a list takes)."""
    def quad(x, y):  # four quadrants, the top-left one half transparent
        if x < 16 and y < 16:
            return (200, 40, 40, 128)
        return (40, 200, 40, 255) if x >= 16 else (40, 40, 200, 255)
    def cells(x, y):  # four cells of 8 x 8, each its own colour
        return [(255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255), (255, 255, 0, 255)][x // 8]
    png32 = rgba_png(32, 32, quad)
    files = [
        ("quad32.png", png32, "png"),
        ("one.png", rgba_png(1, 1, lambda x, y: (10, 20, 30, 255)), "png"),
        ("cells.png", rgba_png(32, 8, cells), "png"),
        ("quad32.ico", ico32(32, 32, quad), "ico"),
        ("one.ico", ico32(1, 1, lambda x, y: (10, 20, 30, 255)), "ico"),
        ("alpha32.bmp", bmp32(32, 32, quad), "bmp"),
        # no alpha: the bottom-left colour (magenta) is the see-through one
        ("keyed.bmp", bmp24(16, 16, lambda x, y: (255, 0, 255) if y >= 8 else (0, 128, 255)), "bmp"),
        ("x.cur", b"\0\0\2\0\1\0" + b"\0" * 40, "refused"),
        ("short.png", png32[:8], "refused"),
        ("text.png", b"no image at all, only words", "refused"),
    ]
    # damaged files with a right signature: readers must refuse them without harm
    damaged = [
        ("cut.png", png32[:len(png32) // 2]),
        ("cut.bmp", bmp32(32, 32, quad)[:200]),
        ("huge.bmp", bmp_header_fields(0x7FFFFFFF, 0x7FFFFFFF, image_size=16) + b"\0" * 16),
        ("manyentries.ico", struct.pack("<HHH", 0, 1, 9000) + b"\0" * 32),
        ("offset.ico", struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 32, 4136, 0x7FFFFFF0)),
        ("small.ico", ico32(32, 32, quad)[:22 + 40 + 100]),
    ]
    os.makedirs(outdir, exist_ok=True)
    with open(os.path.join(outdir, "images.txt"), "w") as manifest:
        for name, data, outcome in files:
            write_bytes(os.path.join(outdir, name), data)
            manifest.write("%s %s\n" % (name, outcome))
        for name, data in damaged:
            write_bytes(os.path.join(outdir, name), data)
            manifest.write("%s damaged\n" % name)


# ---- caption markup seeds -------------------------------------------------------

def write_markup_seeds(outdir):
    """Captions for the markup renderer's fuzz target: two bytes of area width, a mode byte
    (alignment, bidi mode, pressed and hot links), then the caption."""
    captions = {
        "tags": (120, 0, "Hello <b>bold</b> <i>it</i> <u>un</u><br>row <p>para</p> end"),
        "fonts": (80, 1, '<font size=+2 color=red face="Arial">big</font> <font size="-1" color=#00FF80>'
                         'small</font> <font size=x color=zz>bad</font></font>'),
        "links": (60, 0x30, '<a href="http://example.invalid/a">first</a> and <A HREF=\'b\'>second</a>'
                            ' <table>t</table> </a>'),
        "entities": (0, 2, "&amp; &AMP; &#38; && &copy;&trade;&Aacute; &bogus; & amp; &amp"),
        "wrap": (24, 0x41, "aaa bbb ccc dddddddddddddddddddddddd e f g\r\nnext << <x> </body>"),
        "unclosed": (40, 0, "<font size=9>" * 50 + "<a>" * 20 + "x <font face=\"open"),
    }
    os.makedirs(outdir, exist_ok=True)
    for name, (width, mode, text) in captions.items():
        write_bytes(os.path.join(outdir, name), struct.pack("<HB", width, mode) + text.encode("latin-1"))


# ---- hint template streams --------------------------------------------------------

def hint_image_record(picture, kind=b"1", modes=(1, 1, 1, 1, 1), borders=(10, 11, 14, 15),
                      margins=(8, 11, 16, 15), shadows=(5, 6, 7, 8), length=None):
    """One image record of a template stream: draw modes (top, left, right, bottom, centre),
    then borders, margins and shadows (top, left, right, bottom), the kind and the picture."""
    return (bytes(modes) + struct.pack("<4i", *borders) + struct.pack("<4i", *margins)
            + struct.pack("<4i", *shadows) + kind
            + struct.pack("<i", len(picture) if length is None else length) + picture)


def hint_template_stream(records, flag=b"1", colour=0x102030, size=9, style=1, name=b"Tahoma",
                         name_length=None, signature=b"OVhh"):
    return (signature + flag + struct.pack("<iiB", colour, size, style)
            + struct.pack("<i", len(name) if name_length is None else name_length) + name + b"".join(records))


def hint_template_cases():
    """-> [(name, bytes, outcome)]: "ok", "ok-single", "unknown" (bad signature) or "error"."""
    body = rgba_png(5, 5, lambda x, y: (250, 250, 230, 255 if 0 < x < 4 and 0 < y < 4 else 60))
    corner = rgba_png(3, 3, lambda x, y: (200, 40, 40, 255))
    bmp = bmp24(3, 2, lambda x, y: (x * 60, y * 90, 30))
    single = hint_template_stream([hint_image_record(body)])
    four = hint_template_stream([hint_image_record(body, modes=(0, 1, 0, 1, 7)),
                                 hint_image_record(corner, borders=(-3, 1, 1, 1)),
                                 hint_image_record(corner), hint_image_record(bmp, kind=b"0")])
    cases = [("single", single, "ok-single"), ("four", four, "ok"),
             ("noflag", hint_template_stream([hint_image_record(body)], flag=b"0"), "ok-single"),
             ("longname", hint_template_stream([hint_image_record(body)], name=b"N" * 100), "ok-single"),
             ("signature", b"OVhx" + single[4:], "unknown"), ("empty", b"", "unknown"),
             ("name-negative", hint_template_stream([hint_image_record(body)], name_length=-1), "error"),
             ("name-past-end", hint_template_stream([hint_image_record(body)], name_length=1 << 20), "error"),
             ("picture-negative", hint_template_stream([hint_image_record(body, length=-5)]), "error"),
             ("picture-past-end", hint_template_stream([hint_image_record(body, length=len(body) + 1)]), "error"),
             ("bad-bitmap", hint_template_stream([hint_image_record(b"BMxxxxxxxxxxxxxxxxxx", kind=b"0")]), "error"),
             ("bad-png", hint_template_stream([hint_image_record(b"\x89PNG\r\n\x1a\nxxxx")]), "error")]
    # a cut at every field of the single-image stream
    for cut in (5, 9, 13, 14, 18, 18 + 6, 18 + 6 + 5, 18 + 6 + 21, 18 + 6 + 53, 18 + 6 + 54, len(single) - 1):
        cases.append(("cut%d" % cut, single[:cut], "error"))
    return cases


def write_hint_template_fixtures(outdir):
    os.makedirs(outdir, exist_ok=True)
    with open(os.path.join(outdir, "cases.txt"), "w") as manifest:
        for name, data, outcome in hint_template_cases():
            write_bytes(os.path.join(outdir, name + ".ovhh"), data)
            manifest.write("%s %s\n" % (name, outcome))


# The form skinning's sections, two states each with distinct colours.
FORMS_SKIN = {
    "name": "Tarvel Forms",
    "version": "14.50",
    "author": "Tarvel",
    "description": "Form sections drawn by tools/make_skin.py",
    "color": "#C8C8C8",
    "sections": {name: {"keys": {"STATES": "2", "COLOR": "%d" % normal, "HOTCOLOR": "%d" % hot,
                                 "FONTCOLOR": "%d" % font, "HOTFONTCOLOR": "%d" % hotfont}}
                 for name, normal, hot, font, hotfont in (
                     ("FORM", 0x784828, 0xA86838, 0xFFFFFF, 0x00FFFF),
                     ("FORMTITLE", 0x103050, 0x204060, 0x305070, 0x406080),
                     ("CAPTION", 0x306010, 0x407020, 0xF0F0F0, 0xE0E0E0),
                     ("FORMHEADER", 0x502070, 0x603080, 0x101010, 0x202020))},
}


# ---------------------------------------------------------------------------
# The form frame test skin: every section, state and caption image a flat colour of its own,
# so a probe of a painted frame tells what was painted where. The frame image of "FORM" cuts
# its four corners with key-colour runs of FRAME_CORNER_RUNS pixels on the rows nearest the
# corner (mirrored into each corner), which become the window region's cut corners.
# ---------------------------------------------------------------------------

FRAME_CELL, FRAME_MARGIN = 24, 8
FRAME_CORNER_RUNS = (5, 3, 2, 1)
FRAME_METRICS = {"BILEFT": 3, "BIRIGHT": 5, "BITOP": 2, "BISPACE": 1}
# Caption images: name -> (cell width, cell height, three cell colours).
FRAME_GLYPHS = {
    "BICLOSEALONE": (30, 18, ("#C01010", "#E03030", "#A00000")),
    "BICONCLOSE": (26, 18, ("#C02020", "#E04040", "#A01010")),
    "BICONMAX": (23, 18, ("#10A010", "#30C030", "#008000")),
    "BICONMIN": (22, 18, ("#1010C0", "#3030E0", "#0000A0")),
    "BICONNORM": (24, 18, ("#A0A010", "#C0C030", "#808000")),
    "BICONHELP": (19, 18, ("#A010A0", "#C030C0", "#800080")),
    "SICONCLOSE": (14, 12, ("#C04040", "#E06060", "#A02020")),
    "SICONMAX": (14, 12, ("#40A040", "#60C060", "#208020")),
    "SICONMIN": (14, 12, ("#4040C0", "#6060E0", "#2020A0")),
    "SICONNORM": (14, 12, ("#A0A040", "#C0C060", "#808020")),
    "SICONHELP": (14, 12, ("#A040A0", "#C060C0", "#802080")),
    "TITLEBUTTON": (17, 16, ("#10A0A0", "#30C0C0", "#008080")),
}
FRAME_GRIP = (10, 9, "#E0A020")


def frame_corner_key(cx, y, cell):
    """True on the key-colour runs of the frame image's corners."""
    ox, oy = min(cx, cell - 1 - cx), min(y, cell - 1 - y)
    return oy < len(FRAME_CORNER_RUNS) and ox < FRAME_CORNER_RUNS[oy]


# ---- title bar: item sections ----
# The three sections of title-bar items, three states each, every state a flat colour and a
# font colour of its own (blue tells the section, green the state), fully opaque.
TITLE_BAR_COLOURS = {"TB_BTN": 0x40, "TB_MENUBTN": 0x80, "TB_TAB": 0xC0}


def title_bar_sections():
    sections = {}
    for name, blue in TITLE_BAR_COLOURS.items():
        keys = {"STATES": "3", "USESTATE2": "1"}
        for state, (colour, font) in enumerate((("COLOR", "FONTCOLOR"), ("HOTCOLOR", "HOTFONTCOLOR"),
                                                ("COLOR2", "FONTCOLOR2"))):
            keys[colour] = "%d" % tcolor("#%02X%02X%02X" % (0x30, 0x30 + 0x50 * state, blue))
            keys[font] = "%d" % tcolor("#%02X%02X%02X" % (0xF0, 0xF0 - 0x30 * state, blue))
        sections[name] = {"keys": keys}
    return sections
# ---- end of the title bar's item sections ----


def frame_skin(name, caption_keys):
    cell, margin = FRAME_CELL, FRAME_MARGIN
    flat2 = lambda normal, hot, font, hotfont, **extra: dict(
        {"STATES": "2", "COLOR": "%d" % tcolor(normal), "HOTCOLOR": "%d" % tcolor(hot),
         "FONTCOLOR": "%d" % tcolor(font), "HOTFONTCOLOR": "%d" % tcolor(hotfont)},
        **{k: str(v) for k, v in extra.items()})
    # FORM: state 0 (inactive) and state 1 (active); frame sides, corners and centre apart.
    form_colours = ((("#283848", "#384858", "#485868"), ("#2848A8", "#3858B8", "#4868C8")))

    def form_frame(x, y):
        state, cx = x // cell, x % cell
        if frame_corner_key(cx, y, cell):
            return (255, 0, 255)
        edge_x = cx < margin or cx >= cell - margin
        edge_y = y < margin or y >= cell - margin
        zone = 0 if edge_x and edge_y else 1 if edge_x or edge_y else 2
        return rgb_of(form_colours[state][zone])

    def title_frame(x, y):
        state, cx = x // cell, x % cell
        return rgb_of(("#603018", "#804028")[state] if cx < 2 or cx >= cell - 2 else ("#503010", "#704020")[state])

    files = {"FORMFRAME.BMP": bmp24(2 * cell, cell, form_frame),
             "FORMTITLEFRAME.BMP": bmp24(2 * cell, cell, title_frame),
             "TITLEBAR.BMP": bmp24(3 * 12, 12, lambda x, y: rgb_of(("#205050", "#306060", "#407070")[x // 12])),
             "GRIPIMAGE.BMP": bmp24(FRAME_GRIP[0], FRAME_GRIP[1], lambda x, y: rgb_of(FRAME_GRIP[2])),
             # right-edge images of the form (two states of 8 x 6), whose strips a shrink repaints
             "IMGTOPRIGHT.BMP": bmp24(16, 6, lambda x, y: rgb_of(("#D08040", "#E09050")[x // 8])),
             "IMGBTMRIGHT.BMP": bmp24(16, 6, lambda x, y: rgb_of(("#40D080", "#50E090")[x // 8]))}
    glob = dict({k: str(v) for k, v in FRAME_METRICS.items()},
                GRIPIMAGE=fixed_mask("GRIPIMAGE.BMP", 1, kind=2))
    for glyph, (w, h, colours) in FRAME_GLYPHS.items():
        files[glyph + ".BMP"] = bmp24(3 * w, h, lambda x, y, w=w, c=colours: rgb_of(c[x // w]))
        glob[glyph] = fixed_mask(glyph + ".BMP", 3, kind=2)
    sections = {
        "FORM": {"keys": flat2("#405060", "#5070A0", "#D0D0D0", "#FFFFFF",
                               BORDERSMASK=fixed_mask("FORMFRAME.BMP", 2, (margin,) * 4),
                               TITLEBAR=fixed_mask("TITLEBAR.BMP", 3, (2,) * 4),
                               IMGTOPRIGHT=fixed_mask("IMGTOPRIGHT.BMP", 2, kind=2),
                               IMGBTMRIGHT=fixed_mask("IMGBTMRIGHT.BMP", 2, kind=2))},
        "FORMTITLE": {"keys": flat2("#503010", "#704020", "#C0C0C0", "#FFFFF0",
                                    BORDERSMASK=fixed_mask("FORMTITLEFRAME.BMP", 2, (2,) * 4))},
        "CAPTION": {"keys": flat2("#106030", "#208040", "#E0E0E0", "#F0F0A0", **caption_keys)},
        "FORMHEADER": {"keys": flat2("#702050", "#903070", "#101010", "#202020")},
        "MDIAREA": {"keys": flat2("#607080", "#607080", "#000000", "#000000")},
        "MENULINE": {"keys": flat2("#304030", "#405040", "#E0E0E0", "#FFFFFF")},
    }
    sections.update(title_bar_sections())
    return {"name": name, "version": "14.50", "author": "Tarvel",
            "description": "Form frame sections drawn by tools/make_skin.py", "color": "#B8C8D8",
            "sections": sections, "global": glob, "files": files}


FRAME_SKIN = frame_skin("Tarvel Frame", {})
FRAME_GLOW_SKIN = frame_skin("Tarvel Frame Glow", {"GCOL": 0x00FFFF, "GSIZE": 3, "HGCOL": 0x00FFFF, "HGSIZE": 3})

# ---- caption buttons: title glows ----
# The frame skin with title glow images for the three big buttons: each the button's cell
# grown by TITLE_GLOW_MARGIN on every side, an orange band at alpha 160 around a clear middle.
TITLE_GLOW_MARGIN = 3


def title_glow_skin(name):
    skin = frame_skin(name, {})
    m = TITLE_GLOW_MARGIN
    for glyph in ("BICONCLOSE", "BICONMAX", "BICONMIN"):
        w, h = FRAME_GLYPHS[glyph][0] + 2 * m, FRAME_GLYPHS[glyph][1] + 2 * m
        pixels = [[(0xF0, 0x90, 0x20, 160) if min(x, y, w - 1 - x, h - 1 - y) < m else (0, 0, 0, 0)
                   for x in range(w)] for y in range(h)]
        skin["files"][glyph + "GLOW.PNG"] = make_png(pixels, w, h, 8, 6)
        skin["global"][glyph + "GLOW"] = "1"
        skin["global"][glyph + "GLOW0"] = fixed_mask(glyph + "GLOW.PNG", 1, (m,) * 4, kind=2, draw_mode=0x10)
        skin["global"][glyph + "GLOWMARGIN"] = str(m)
    return skin


FRAME_TITLE_GLOW_SKIN = title_glow_skin("Tarvel Frame Title Glow")
# ---- end of the title glows ----


# ---------------------------------------------------------------------------
# The button skins ("skins-buttons"): the test skin with a "BUTTON" of 4 states (one flat
# colour per state cell, the content shifting on a click), the check and radio masks (one
# flat colour per cell and state) and a group box whose frame is a border with a see-through
# centre; and the same with the default skin's 3-state "BUTTON".
# ---------------------------------------------------------------------------

BUTTON_STATE_COLOURS = ("#3050D0", "#40C0E0", "#2030A0", "#D0A030")
BUTTON_FONT_COLOURS = ("#101820", "#202830", "#303840")
GLYPH_MASKS = (("BOXUNCHECKED", 12, 0x01), ("BOXCHECKED", 12, 0x02), ("BOXGRAYED", 12, 0x03),
               ("RADIOUNCHECKED", 10, 0x04), ("RADIOCHECKED", 10, 0x05))


def glyph_mask_colour(blue, state):
    """-> (r, g, b) of cell `state` of a check or radio mask."""
    return (0xE0, 0x10 + 0x30 * state, blue)


def group_frame_cell(x, y, cell=12, margin=2):
    if margin <= x < cell - margin and margin <= y < cell - margin:
        return (255, 0, 255)
    return rgb_of("#B03070")


def buttons_skin(four_states=True):
    sections = dict(DEFAULT_SKIN["sections"])
    files = dict(DEFAULT_SKIN.get("files", {}))
    glob = dict(DEFAULT_SKIN["global"])
    for name, size, blue in GLYPH_MASKS:
        image = name + ".BMP"
        files[image] = bmp24(3 * size, size, lambda x, y, b=blue, s=size: glyph_mask_colour(b, x // s))
        glob[name] = fixed_mask(image, 3, kind=2)
    if four_states:
        cell = 12
        keys = {"STATES": "4", "USESTATE2": "1", "SHIFTCLICK": "1",
                "COLOR": "%d" % tcolor(BUTTON_STATE_COLOURS[0]), "HOTCOLOR": "%d" % tcolor(BUTTON_STATE_COLOURS[1]),
                "COLOR2": "%d" % tcolor(BUTTON_STATE_COLOURS[2]), "FONTCOLOR": "%d" % tcolor(BUTTON_FONT_COLOURS[0]),
                "HOTFONTCOLOR": "%d" % tcolor(BUTTON_FONT_COLOURS[1]),
                "FONTCOLOR2": "%d" % tcolor(BUTTON_FONT_COLOURS[2]),
                "BORDERSMASK": fixed_mask("BUTTON4.BMP", 4, (3,) * 4)}
        sections["BUTTON"] = {"keys": keys, "files": {
            "BUTTON4.BMP": bmp24(4 * cell, cell, lambda x, y: rgb_of(BUTTON_STATE_COLOURS[x // cell]))}}
    sections["GROUPBOX"] = {"keys": {"STATES": "1", "COLOR": "%d" % tcolor("#3A4B5C"), "TRANSPARENCY": "100",
                                     "FONTCOLOR": "%d" % tcolor("#0A1B2C"),
                                     "BORDERSMASK": fixed_mask("GROUPFRAME.BMP", 1, (2,) * 4)},
                            "files": {"GROUPFRAME.BMP": bmp24(12, 12, group_frame_cell)}}
    name = "Tarvel Test Buttons" if four_states else "Tarvel Test Buttons3"
    return dict(DEFAULT_SKIN, name=name, sections=sections, files=files, **{"global": glob})


def write_button_skins(outdir):
    write_skin(buttons_skin(True), outdir)
    write_skin(buttons_skin(False), outdir)
# ---- end of the button skins ----
# ---- statics, panels and containers: the test skin with a size grip of its own ----
STATICS_GRIP = (6, 5, "#C03090")  # width, height, flat colour


def statics_skin():
    glob = dict(DEFAULT_SKIN["global"], GRIPIMAGE=fixed_mask("GRIPIMAGE.BMP", 1, kind=2))
    files = {"GRIPIMAGE.BMP": bmp24(STATICS_GRIP[0], STATICS_GRIP[1], lambda x, y: rgb_of(STATICS_GRIP[2]))}
    return dict(DEFAULT_SKIN, name="Tarvel Statics", files=files, **{"global": glob})
# ---- end of statics, panels and containers ----
# ---- track bars, stand-alone scroll bars, list views: the test skin with a "TRACKBAR" ----
# (channel, an asymmetric thumb mask for each orientation, tick masks), a column header,
# flat scroll elements; a variant without "COLHEADER" and one whose track masks name images
# beyond what the skin holds (so none of them loads).
TRACK = {
    "section": "#6A7B8C", "channel": ("#C02020", "#C04040", "#C06060"),
    "thumb_tip": ("#20C020", "#30D030"), "thumb_body": ("#2020C0", "#3030D0"),
    "vthumb_tip": ("#20C0C0", "#30D0D0"), "vthumb_body": ("#C0C020", "#D0D030"),
    "tickh": "#E0E020", "tickv": "#E020E0",
    "colheader": ("#8090A0", "#90A0B0", "#7080F0"), "colheader_font": ("#101010", "#202020", "#303030"),
    "bar1": "#405060", "bar2": "#506070", "btn": ("#A05020", "#B06030", "#C07040"),
    "slider": ("#20A050", "#30B060", "#40C070"),
}
TRACK_THUMB = (11, 15, 4)   # width, height, rows of the tip (vertical mask: transposed)
TRACK_CHANNEL = (12, 6, 2)  # cell width, height, margin
TRACK_TICK = (2, 4)


def track_flat(states, fonts=("#000000",) * 3, **extra):
    keys = {"STATES": "3", "USESTATE2": "1"}
    for key, colour in zip(("COLOR", "HOTCOLOR", "COLOR2"), states):
        keys[key] = "%d" % tcolor(colour)
    for key, colour in zip(("FONTCOLOR", "HOTFONTCOLOR", "FONTCOLOR2"), fonts):
        keys[key] = "%d" % tcolor(colour)
    keys.update({k: str(v) for k, v in extra.items()})
    return {"keys": keys}


def track_mask_key(file_name, count, margins=(0, 0, 0, 0), kind=0, beyond=False):
    # The beyond variant names images the skin does not hold: none of these masks loads.
    return fixed_mask(("MISSING_" if beyond else "") + file_name, count, margins, kind=kind)


def track_skin(name, with_colheader=True, beyond=False):
    w, h, tip = TRACK_THUMB
    cw, ch, cm = TRACK_CHANNEL
    tw, th = TRACK_TICK
    files = {
        "TRACKCHANNEL.BMP": bmp24(3 * cw, ch, lambda x, y: rgb_of(TRACK["channel"][x // cw])),
        "TRACKTHUMB.BMP": bmp24(2 * w, h, lambda x, y: rgb_of(
            TRACK["thumb_tip"][x // w] if y < tip else TRACK["thumb_body"][x // w])),
        "TRACKVTHUMB.BMP": bmp24(2 * h, w, lambda x, y: rgb_of(
            TRACK["vthumb_tip"][x // h] if x % h < tip else TRACK["vthumb_body"][x // h])),
        "TRACKTICKH.BMP": bmp24(2 * tw, th, lambda x, y: rgb_of(TRACK["tickh"])),
        "TRACKTICKV.BMP": bmp24(2 * th, tw, lambda x, y: rgb_of(TRACK["tickv"])),
    }
    trackbar = track_flat((TRACK["section"],) * 3)
    trackbar["keys"].update({
        "SLIDERCHANNEL": track_mask_key("TRACKCHANNEL.BMP", 3, (cm,) * 4, beyond=beyond),
        "SLIDERMASK": track_mask_key("TRACKTHUMB.BMP", 2, kind=2, beyond=beyond),
        "SLIDERVMASK": track_mask_key("TRACKVTHUMB.BMP", 2, kind=2, beyond=beyond),
        "TICKHORZ": track_mask_key("TRACKTICKH.BMP", 2, kind=2, beyond=beyond),
        "TICKVERT": track_mask_key("TRACKTICKV.BMP", 2, kind=2, beyond=beyond),
    })
    trackbar["files"] = files
    sections = dict(DEFAULT_SKIN["sections"])
    sections["TRACKBAR"] = trackbar
    if with_colheader:
        sections["COLHEADER"] = track_flat(TRACK["colheader"], TRACK["colheader_font"])
    for side in ("1H", "1V"):
        sections["SCROLLBAR" + side] = track_flat((TRACK["bar1"],) * 3)
    for side in ("2H", "2V"):
        sections["SCROLLBAR" + side] = track_flat((TRACK["bar2"],) * 3)
    for side in ("LEFT", "TOP", "RIGHT", "BOTTOM"):
        sections["SCROLLBTN" + side] = track_flat(TRACK["btn"])
    for side in ("H", "V"):
        sections["SCROLLSLIDER" + side] = track_flat(TRACK["slider"])
    return dict(DEFAULT_SKIN, name=name, sections=sections)


def write_track_skins(outdir):
    write_skin(track_skin("Tarvel Track"), outdir)
    write_skin(track_skin("Tarvel Track NoColHeader", with_colheader=False), outdir)
    write_skin(track_skin("Tarvel Track Beyond", beyond=True), outdir)
# ---- end of the track-bar and list-view skins ----


# ---- tool bars, status bars and speed buttons: the test skins of the bar handlers ----
# Flat colours of their own per section and state; the divider, the status-panel mask, the
# scroll-button glyph and the grip are one-colour images, so a probe tells which was drawn.
BARS_TOOLBUTTON = ("#C02040", "#C06040", "#C0A040")  # normal, hot, pressed
BARS_TOOLBUTTON_FONT = ("#101820", "#182028", "#203038")
BARS_TOOLBAR = "#204060"
BARS_DIVIDER = "#E0E020"
BARS_STATUSBAR = "#306050"
BARS_STATUSPANEL = "#60A090"
BARS_SPEEDBUTTON = ("#5020C0", "#6040D0", "#7060E0")
BARS_SPEEDBUTTON_FONT = ("#F0F0F0", "#F0F0F0", "#F0F0F0")
BARS_UPDOWN = ("#208080", "#20A0A0", "#20C0C0")
BARS_SCROLLBTN = ("#808020", "#909030", "#A0A040")
BARS_GLYPH = ("#F08000", "#F09000", "#F0A000")  # the down-arrow glyph cells
BARS_GRIP = (5, 4, "#D040D0")


def bars_skin(panel_mask=False, scroll_glyph=True):
    def flat3(colours, fonts=("#000000",) * 3, **extra):
        keys = {"STATES": "3", "USESTATE2": "1", "COLOR": "%d" % tcolor(colours[0]),
                "HOTCOLOR": "%d" % tcolor(colours[1]), "COLOR2": "%d" % tcolor(colours[2]),
                "FONTCOLOR": "%d" % tcolor(fonts[0]), "HOTFONTCOLOR": "%d" % tcolor(fonts[1]),
                "FONTCOLOR2": "%d" % tcolor(fonts[2])}
        keys.update({k: str(v) for k, v in extra.items()})
        return keys

    sections = dict(DEFAULT_SKIN["sections"])
    files = dict(DEFAULT_SKIN.get("files", {}))
    sections["TOOLBUTTON"] = {"keys": flat3(BARS_TOOLBUTTON, BARS_TOOLBUTTON_FONT)}
    sections["TOOLBAR"] = {"keys": flat3((BARS_TOOLBAR,) * 3, ("#E0E0E0",) * 3)}
    sections["DIVIDER"] = {"keys": dict(flat3((BARS_DIVIDER,) * 3),
                                        BORDERSMASK=fixed_mask("DIVIDER.BMP", 1, (1, 1, 1, 1))),
                           "files": {"DIVIDER.BMP": bmp24(4, 6, lambda x, y: rgb_of(BARS_DIVIDER))}}
    status = flat3((BARS_STATUSBAR,) * 3, ("#F8F0E0",) * 3)
    status_files = {}
    if panel_mask:
        status["STATUSPANELMASK"] = fixed_mask("STATUSPANEL.BMP", 1, (2, 2, 2, 2))
        status_files["STATUSPANEL.BMP"] = bmp24(8, 8, lambda x, y: rgb_of(BARS_STATUSPANEL))
    sections["STATUSBAR"] = {"keys": status, "files": status_files}
    sections["SPEEDBUTTON"] = {"keys": flat3(BARS_SPEEDBUTTON, BARS_SPEEDBUTTON_FONT, SHIFTCLICK=1)}
    sections["SPEEDBUTTON_SMALL"] = {"keys": flat3(BARS_SPEEDBUTTON, BARS_SPEEDBUTTON_FONT, SHIFTCLICK=1)}
    sections["UPDOWNBTN"] = {"keys": flat3(BARS_UPDOWN, ("#000000",) * 3)}
    scroll = dict(flat3(BARS_SCROLLBTN), BORDERSMASK=fixed_mask("SCROLLBTN.BMP", 3, (1, 1, 1, 1)))
    scroll_files = {"SCROLLBTN.BMP": bmp24(18, 6, lambda x, y: rgb_of(BARS_SCROLLBTN[x // 6]))}
    if scroll_glyph:
        scroll["GLYPHMASK"] = fixed_mask("SCROLLGLYPH.BMP", 3, kind=2)
        scroll_files["SCROLLGLYPH.BMP"] = bmp24(21, 5, lambda x, y: rgb_of(BARS_GLYPH[x // 7]))
    sections["SCROLLBTNBOTTOM"] = {"keys": scroll, "files": scroll_files}
    glob = dict(DEFAULT_SKIN["global"], GRIPIMAGE=fixed_mask("BARSGRIP.BMP", 1, kind=2))
    files["BARSGRIP.BMP"] = bmp24(BARS_GRIP[0], BARS_GRIP[1], lambda x, y: rgb_of(BARS_GRIP[2]))
    name = "Tarvel Bars" + (" Panels" if panel_mask else "") + ("" if scroll_glyph else " NoGlyph")
    return dict(DEFAULT_SKIN, name=name, sections=sections, files=files, **{"global": glob})


def write_bars_skins(outdir):
    write_skin(bars_skin(), outdir)
    write_skin(bars_skin(panel_mask=True), outdir)
    write_skin(bars_skin(scroll_glyph=False), outdir)
# ---- end of the bar handlers' skins ----

# ---------------------------------------------------------------------------
# Extended-border variants of the form frame skin, for the border window. "Tarvel Frame Ex"
# draws the whole frame and its shadow from an "EXBORDER" image (BORDERMODE 1): an outer band
# of EX_SHADOW rows of translucent shadow, then opaque frame rows of their own colour per
# state. "Tarvel Frame Shadow" has no such image (BORDERMODE 0): its shadow is made from the
# window-shadow values. Both carry glow images for the big caption buttons.
# ---------------------------------------------------------------------------

EX_CELL, EX_MARGIN, EX_SHADOW = 32, 12, 8
EX_SHADOW_ALPHA = 0x40
EX_FRAME_COLOURS = ((0x60, 0x30, 0x70), (0x30, 0x60, 0xC0))  # inactive, active
EX_METRICS = {"BORDERWIDTH": 3, "TITLEHEIGHT": 32, "MAXHEIGHT": 28, "CENTEROFFSET": 1, "FORMOFFSET": EX_SHADOW,
              "ALIGNOFFSET": 2}
SHADOW_METRICS = {"BORDERWIDTH": 2, "TITLEHEIGHT": 30, "MAXHEIGHT": 30, "FORMOFFSET": 4,
                  "WSHRAD": 8, "WSHOFFS": 2, "WSHSIZE": 10, "WSHCOLA": 0x99000000, "WSHCOLN": 0x44000000}
# Glow images of the big caption buttons: name -> (side, margin, colour).
TITLE_GLOWS = {"BICONCLOSE": (12, 4, (0xFF, 0x40, 0x40)), "BICONMAX": (12, 4, (0x40, 0xFF, 0x40)),
               "BICONMIN": (12, 4, (0x40, 0x40, 0xFF))}


def ex_border_pixels():
    """Two state cells side by side: the outer EX_SHADOW rows translucent black, the rest
    opaque frame colour of the state."""
    rows = []
    for y in range(EX_CELL):
        row = []
        for x in range(2 * EX_CELL):
            state, cx = x // EX_CELL, x % EX_CELL
            edge = min(cx, EX_CELL - 1 - cx, y, EX_CELL - 1 - y)
            row.append((0, 0, 0, EX_SHADOW_ALPHA) if edge < EX_SHADOW else EX_FRAME_COLOURS[state] + (255,))
        rows.append(row)
    return rows


def title_glow_parts():
    glob, files = {}, {}
    for name, (side, margin, colour) in TITLE_GLOWS.items():
        pixels = [[colour + (max(0, 255 - 40 * min(x, y, side - 1 - x, side - 1 - y)),) for x in range(side)]
                  for y in range(side)]
        files[name + "GLOW.PNG"] = make_png(pixels, side, side, 8, 6)
        glob[name + "GLOW"] = "1"
        glob[name + "GLOWMARGIN"] = str(margin)
        glob[name + "GLOW0"] = fixed_mask(name + "GLOW.PNG", 1, (side // 3,) * 4, draw_mode=0x10)
    return glob, files


def extended_frame_skin(name, with_ex_border):
    desc = frame_skin(name, {})
    glob, files = dict(desc["global"]), dict(desc["files"])
    glows, glow_files = title_glow_parts()
    glob.update(glows)
    files.update(glow_files)
    if with_ex_border:
        glob.update({k: str(v) for k, v in EX_METRICS.items()})
        glob["BORDERMODE"] = "1"
        files["EXBORDER.PNG"] = make_png(ex_border_pixels(), 2 * EX_CELL, EX_CELL, 8, 6)
        glob["EXBORDER"] = fixed_mask("EXBORDER.PNG", 2, (EX_MARGIN,) * 4, draw_mode=0x10)
    else:
        glob.update({k: str(v) for k, v in SHADOW_METRICS.items()})
        glob["BORDERMODE"] = "0"
    return dict(desc, **{"global": glob, "files": files,
                         "description": "Form frame sections with extended borders drawn by tools/make_skin.py"})


FRAME_EX_SKIN = extended_frame_skin("Tarvel Frame Ex", True)
FRAME_SHADOW_SKIN = extended_frame_skin("Tarvel Frame Shadow", False)


# ---- combo boxes and tab controls: "Tarvel Combo Tabs" with a combo glyph and tab elements,
# "Tarvel Combo Tabs Plain" with neither ----
COMBO_COLOURS = {"COMBOBOX": (("#E8F0F8", "#F8F0E0", "#F0F8E8"), ("#101828", "#201810", "#182010")),
                 "COMBOBTN": (("#2080C0", "#40A0E0", "#105090"), ("#E0A010", "#F0C030", "#C08000")),
                 "UPDOWNBTN": (("#806040", "#907050", "#705030"), ("#FFFFFF", "#FFFFFF", "#FFFFFF"))}
COMBO_GLYPH = (8, 6, ("#C02020", "#20C020", "#2020C0"))  # width, height, colour per state
PAGE_COLOURS = {"PAGECONTROL": "#B0D0B0", "PAGECONTROLBOTTOM": "#B0B0D0", "PAGECONTROLLEFT": "#D0B0B0",
                "PAGECONTROLRIGHT": "#D0D0B0"}
# Per side: the tab body colours (normal, hot, active) and font colours.
TAB_COLOURS = {"TOP": (("#3070B0", "#4080C0", "#5090D0"), ("#FFFFFF", "#FFFF80", "#FFE0E0")),
               "BOTTOM": (("#307030", "#408040", "#509050"), ("#FFFFFE", "#FFFF81", "#FFE0E1")),
               "LEFT": (("#703070", "#804080", "#905090"), ("#FFFFFD", "#FFFF82", "#FFE0E2")),
               "RIGHT": (("#707030", "#808040", "#909050"), ("#FFFFFC", "#FFFF83", "#FFE0E3"))}


def colour_keys(states, fonts):
    return {"STATES": "3", "USESTATE2": "1", "COLOR": "%d" % tcolor(states[0]), "HOTCOLOR": "%d" % tcolor(states[1]),
            "COLOR2": "%d" % tcolor(states[2]), "FONTCOLOR": "%d" % tcolor(fonts[0]),
            "HOTFONTCOLOR": "%d" % tcolor(fonts[1]), "FONTCOLOR2": "%d" % tcolor(fonts[2])}


def combo_tabs_skin(with_extras):
    sections = dict(DEFAULT_SKIN["sections"])
    for name, (states, fonts) in COMBO_COLOURS.items():
        sections[name] = {"keys": colour_keys(states, fonts), "files": {}}
    for name, colour in PAGE_COLOURS.items():
        sections[name] = {"keys": {"STATES": "1", "COLOR": "%d" % tcolor(colour),
                                   "FONTCOLOR": "%d" % tcolor("#000000")}}
    if with_extras:
        w, h, colours = COMBO_GLYPH
        sections["COMBOBOX"]["keys"]["GLYPHMASK"] = fixed_mask("COMBOGLYPH.BMP", 3, kind=2)
        sections["COMBOBOX"]["files"] = {"COMBOGLYPH.BMP": bmp24(3 * w, h, lambda x, y: rgb_of(colours[x // w]))}
        for side, (states, fonts) in TAB_COLOURS.items():
            for layout in ("", "FIRST", "LAST", "MIDDLE"):
                sections["TAB" + side + layout] = {"keys": colour_keys(states, fonts)}
    name = "Tarvel Combo Tabs" if with_extras else "Tarvel Combo Tabs Plain"
    return dict(DEFAULT_SKIN, name=name, sections=sections)


def write_combo_tabs_skins(outdir):
    write_skin(combo_tabs_skin(True), outdir)
    write_skin(combo_tabs_skin(False), outdir)
# ---- end of the combo and tab skins ----


# ---- the dialog handler ----
# The form frame skin with the dialog's own sections: "DIALOG" (its frame image cuts the
# corners with the key colour, like "FORM", in colours of its own), "DIALOGTITLE" (the caption
# band) and "CAPTION" (the plate behind the caption text), each state a flat colour; the
# caption images are the frame skin's. "Tarvel Dialog Ex" adds the extended border.
DIALOG_COLOURS = {"DIALOG": ("#386038", "#48A048", "#D0D0D0", "#FFFFFF"),
                  "DIALOGTITLE": ("#602060", "#A030A0", "#C0C0C0", "#FFFF80")}
DIALOG_FRAME_COLOURS = (("#304830", "#405840", "#506850"), ("#30A030", "#40B040", "#50C050"))


def dialog_skins():
    cell, margin = FRAME_CELL, FRAME_MARGIN

    def dialog_frame(x, y):
        state, cx = x // cell, x % cell
        if frame_corner_key(cx, y, cell):
            return (255, 0, 255)
        edge_x = cx < margin or cx >= cell - margin
        edge_y = y < margin or y >= cell - margin
        zone = 0 if edge_x and edge_y else 1 if edge_x or edge_y else 2
        return rgb_of(DIALOG_FRAME_COLOURS[state][zone])

    def flat2(colours, **extra):
        normal, hot, font, hotfont = colours
        return dict({"STATES": "2", "COLOR": "%d" % tcolor(normal), "HOTCOLOR": "%d" % tcolor(hot),
                     "FONTCOLOR": "%d" % tcolor(font), "HOTFONTCOLOR": "%d" % tcolor(hotfont)},
                    **{k: str(v) for k, v in extra.items()})

    skins = []
    for name, ex in (("Tarvel Dialog", False), ("Tarvel Dialog Ex", True)):
        desc = extended_frame_skin(name, True) if ex else frame_skin(name, {})
        files = dict(desc["files"], **{"DIALOGFRAME.BMP": bmp24(2 * cell, cell, dialog_frame)})
        sections = dict(desc["sections"])
        sections["DIALOG"] = {"keys": flat2(DIALOG_COLOURS["DIALOG"],
                                            BORDERSMASK=fixed_mask("DIALOGFRAME.BMP", 2, (margin,) * 4))}
        sections["DIALOGTITLE"] = {"keys": flat2(DIALOG_COLOURS["DIALOGTITLE"])}
        skins.append(dict(desc, name=name, files=files, sections=sections,
                          description="Dialog sections drawn by tools/make_skin.py"))
    return skins
# ---- end of the dialog handler ----


def plain_marks_skin():
    """The test skin without the check marks of menus: the standard glyphs draw them."""
    glob = {k: v for k, v in DEFAULT_SKIN["global"].items() if k not in ("CHECK", "RADIOCHECKED")}
    return dict(DEFAULT_SKIN, name="Tarvel Test Plain Marks", **{"global": glob})


def write_fixtures(outdir):
    os.makedirs(outdir, exist_ok=True)
    for skin in dialog_skins():
        write_skin(skin, os.path.join(outdir, "dialogs"))
    write_skin(statics_skin(), os.path.join(outdir, "skins-statics"))
    write_track_skins(os.path.join(outdir, "skins-track"))
    write_bars_skins(os.path.join(outdir, "skins-bars"))
    write_skin(FRAME_SKIN, os.path.join(outdir, "formframe"))
    write_skin(FRAME_GLOW_SKIN, os.path.join(outdir, "formframe"))
    write_skin(FRAME_TITLE_GLOW_SKIN, os.path.join(outdir, "formframe"))
    write_skin(FRAME_EX_SKIN, os.path.join(outdir, "formframe"))
    write_skin(FRAME_SHADOW_SKIN, os.path.join(outdir, "formframe"))
    write_image_list_fixtures(os.path.join(outdir, "imagelist"))
    write_skin(FORMS_SKIN, os.path.join(outdir, "forms"))
    write_bmp_seeds(os.path.join(outdir, "bmp"))
    write_markup_seeds(os.path.join(outdir, "markup"))
    write_hint_template_fixtures(os.path.join(outdir, "hints"))
    write_skin(DEFAULT_SKIN, os.path.join(outdir, "skins"))
    write_skin(LACKING_SKIN, os.path.join(outdir, "skins-lacking"))
    write_skin(plain_marks_skin(), os.path.join(outdir, "skins-plainmarks"))
    write_button_skins(os.path.join(outdir, "skins-buttons"))
    write_combo_tabs_skins(os.path.join(outdir, "skins"))
    write_format_fixtures(os.path.join(outdir, "format"))
    # the same skin from a newer engine: its VERSION brings the version warning
    write_skin(dict(DEFAULT_SKIN, version="15.00"), os.path.join(outdir, "skins-v15"))
    write_loader_fixtures(os.path.join(outdir, "loader"))
    write_skin_list_fixtures(os.path.join(outdir, "skinlist"))
    png_dir = os.path.join(outdir, "png")
    os.makedirs(png_dir, exist_ok=True)
    with open(os.path.join(png_dir, "cases.txt"), "w") as manifest:
        for name, png, expected, outcome in png_cases():
            with open(os.path.join(png_dir, name + ".png"), "wb") as f:
                f.write(png)
            if expected is not None:
                with open(os.path.join(png_dir, name + ".bgra"), "wb") as f:
                    f.write(expected)
            manifest.write("%s %s\n" % (name, outcome))
    packed_dir = os.path.join(outdir, "packed")
    os.makedirs(packed_dir, exist_ok=True)
    cases, entries = packed_cases()
    with open(os.path.join(packed_dir, "cases.txt"), "w") as manifest:
        for name, data, outcome in cases:
            with open(os.path.join(packed_dir, name + ".ovz"), "wb") as f:
                f.write(data)
            manifest.write("%s %s\n" % (name, outcome))
    # the entries of "good" as plain files, to compare what the reader gives back
    for name, content, _ in entries:
        with open(os.path.join(packed_dir, "good." + name.decode("ascii")), "wb") as f:
            f.write(content)


def small_packed(preview):
    return pack_entries([(b"Options.dat", b"[GLOBALINFO]\r\nVERSION=14.50\r\n", None)], preview)


def write_skin_list_fixtures(outdir, many=200):
    """A skins folder as a skin list reads it ("list") and a large one ("many").

    In "list": a.ovz with a preview, b.OVZ (extension not as written), a folder c.ovz,
    d.ovz without preview, e.ovz whose preview is a PNG cut short (its size claims more
    than the file holds), f.ovz.g.ovz with a preview, and a file that is no skin."""
    folder = os.path.join(outdir, "list")
    os.makedirs(os.path.join(folder, "c.ovz"), exist_ok=True)
    preview = flat_rgba_png(14, 10, [(200, 10, 10, 255), (10, 200, 10, 255)])
    write_bytes(os.path.join(folder, "a.ovz"), small_packed(preview))
    write_bytes(os.path.join(folder, "b.OVZ"), small_packed(preview))
    write_bytes(os.path.join(folder, "d.ovz"), small_packed(None))
    cut = small_packed(None) + b"previewimg" + struct.pack("<I", len(preview) + 64) + preview[:len(preview) // 2]
    write_bytes(os.path.join(folder, "e.ovz"), cut)
    write_bytes(os.path.join(folder, "f.ovz.g.ovz"), small_packed(flat_rgba_png(7, 5, [(1, 2, 3, 255)])))
    write_bytes(os.path.join(folder, "readme.txt"), b"not a skin")
    tiny = small_packed(flat_rgba_png(2, 2, [(9, 9, 9, 255)]))
    for i in range(many):
        write_bytes(os.path.join(outdir, "many", "skin%03d.ovz" % i), tiny)


def source_skin(colour):
    return {"name": "Tarvel Source", "sections": {"FORM": {"states": [colour, "#3060A0", "#102040"]},
                                                  "BUTTON": {"states": ["#40A040", "#60C060", "#208020"]}}}


def write_loader_fixtures(outdir):
    """One skin name in every source with its own FORM colour; damaged skins; fonts."""
    write_folder_skin(source_skin("#110000"), os.path.join(outdir, "folder"))
    write_bytes(os.path.join(outdir, "packed", "Tarvel Source.ovz"), packed_skin(source_skin("#220000")))
    write_bytes(os.path.join(outdir, "stored", "Tarvel Source.ovz"), packed_skin(source_skin("#330000")))
    write_bytes(os.path.join(outdir, "stored", "Second Stored.ovz"),
                packed_skin(dict(source_skin("#440000"), name="Second Stored")))
    write_bytes(os.path.join(outdir, "faulty", "No Options.ovz"),
                packed_skin(dict(source_skin("#550000"), name="No Options"), with_options=False))
    write_bytes(os.path.join(outdir, "faulty", "Bad Signature.ovz"),
                b"OVzX" + packed_skin(dict(source_skin("#660000"), name="Bad Signature"))[4:])
    font_skin = {"name": "Tarvel Fonts", "sections": {"FORM": {"states": ["#101010", "#202020", "#303030"]}}}
    write_bytes(os.path.join(outdir, "fonts", "Tarvel Fonts.ovz"),
                packed_skin(dict(font_skin, fonts=[{"file": "TARVELPACKED.TTF", "name": "Tarvel Glyph Packed"}])))
    write_folder_skin(dict(font_skin, fonts=[{"file": "TARVELFOLDER.TTF", "name": "Tarvel Glyph Folder"}]),
                      os.path.join(outdir, "fonts", "folder"))
    write_folder_skin(dict(font_skin, name="Many Fonts", **{"global": {"FontCount": "1000000000"}}),
                      os.path.join(outdir, "fonts", "folder"))


def rc_path(path):
    return os.path.abspath(path).replace("\\", "/")


def write_program_skins(descdir, outdir):
    """The stored skins of the program and the resource script that names them."""
    os.makedirs(outdir, exist_ok=True)
    lines = ["// Made by tools/make_skin.py from %s: the skins the program stores." % descdir]
    for name in sorted(os.listdir(descdir)):
        if not name.endswith(".json"):
            continue
        with open(os.path.join(descdir, name), encoding="utf-8") as f:
            desc = json.load(f)
        target = os.path.join(outdir, desc["resource"] + ".ovz")
        write_bytes(target, packed_skin(desc))
        lines.append('%s RCDATA "%s"' % (desc["resource"], rc_path(target)))
    with open(os.path.join(outdir, "StoredSkins.rc"), "w") as f:
        f.write("\n".join(lines) + "\n")


def write_bench_skin(outdir, count):
    """Many sections, each a child of the one before in chains of eight, many keys each."""
    sections = {}
    for i in range(count):
        keys = {"GLOW": str(i % 3), "GLOWMARGIN": str(i % 5), "OUTOFFSL": "2", "GRADIENTDATA": "1;2;3;4;5;6;7;8;9;10",
                "TRANSPARENCY": str(i % 100), "HOTTRANSPARENCY": "10", "TCLEFT": "1", "GSIZE": "2",
                "IMAGEPERCENT": "50", "USESTATE2": "1", "COLOR2": "255", "FONTCOLOR2": "0"}
        if i % 8:
            keys["PARENTCLASS"] = "SECTION%04d" % (i - 1)
        sections["SECTION%04d" % i] = {"states": ["#%06X" % (i * 97 & 0xFFFFFF), "#3060A0", "#102040"],
                                       "keys": keys}
    desc = {"name": "Tarvel Bench", "sections": sections}
    write_bytes(os.path.join(outdir, "Tarvel Bench.ovz"), packed_skin(desc))


def write_bench_images(outdir):
    """Skin-sized images and a few large ones for the decoding benchmark."""
    os.makedirs(outdir, exist_ok=True)
    rnd = random.Random(5)
    for i in range(24):
        w, h = 48 + 8 * (i % 6), 24 + 8 * (i % 4)
        if i % 2:
            cells = [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256), 255) for _ in range(3)]
            data = flat_rgba_png(w, h, cells)
        else:
            pixels = [[((x * 5 + y) & 255, (y * 7) & 255, (x * y) & 255, 255 - x) for x in range(w)] for y in range(h)]
            data = make_png(pixels, w, h, 8, 6)
        with open(os.path.join(outdir, "skin%02d.png" % i), "wb") as f:
            f.write(data)

    def large(name, w, h, color_type, pixel, interlace=False, palette=None):
        samples = SAMPLES[color_type]
        if interlace:
            pixels = [[pixel(x, y) for x in range(w)] for y in range(h)]
            data = make_png(pixels, w, h, 8, color_type, True, palette=palette)
        else:
            # None and Sub filters alternate; the Python filter loop is too slow for Up and Paeth here
            raw = b"".join(filter_row(y % 2, bytes(v for x in range(w) for v in pixel(x, y)), None, samples)
                           for y in range(h))
            data = make_png(None, w, h, 8, color_type, palette=palette, zlib_data=zlib.compress(raw, 6))
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)

    noise = [rnd.randrange(8) for _ in range(4096)]
    large("large_rgba.png", 1024, 768, 6,
          lambda x, y: ((x >> 2) & 255, (y >> 2) & 255, (x + y + noise[(x * 31 + y) & 4095]) & 255, 255 - (x & 127)))
    large("large_rgb.png", 1600, 900, 2, lambda x, y: ((x * 255 // 1600), (y * 255 // 900), noise[(x ^ y) & 4095] * 20))
    large("large_palette.png", 1024, 1024, 3, lambda x, y: (((x >> 3) + (y >> 3)) & 255,),
          palette=[(i, 255 - i, (i * 3) & 255) for i in range(256)])
    large("large_interlaced.png", 640, 480, 6, lambda x, y: (x & 255, y & 255, (x * y) & 255, 200), interlace=True)


def main(argv):
    if len(argv) >= 2 and argv[0] == "bench":
        write_bench_images(argv[1])
        return 0
    if len(argv) == 3 and argv[0] == "program":
        write_program_skins(argv[1], argv[2])
        return 0
    if len(argv) in (2, 3) and argv[0] == "bench-skin":
        write_bench_skin(argv[1], int(argv[2]) if len(argv) == 3 else 400)
        return 0
    if len(argv) == 2 and argv[0] == "lusmere":
        here = os.path.dirname(os.path.abspath(__file__))
        with open(os.path.join(here, "..", "resources", "skins", "lusmere2.json"), encoding="utf-8") as f:
            write_skin(json.load(f), argv[1])
        return 0
    if len(argv) >= 2 and argv[0] == "fixtures":
        write_fixtures(argv[1])
        return 0
    if len(argv) in (2, 3) and argv[0] == "skin":
        desc = DEFAULT_SKIN
        if len(argv) == 3:
            with open(argv[1], encoding="utf-8") as f:
                desc = json.load(f)
        write_skin(desc, argv[-1])
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
