"""The default internal skin "Lusmere II (internal)", drawn here with the standard library.

Light, calm and current: a cool light grey face, white edits, near-black slate text, thin
slate lines, one accent blue, a deep slate-blue active title band. Every shape is drawn at
four times its size near its edges and reduced (a 4 x 4 grid of samples a pixel), so edges
are smooth; inner pixels take their colour at once. Images carry alpha (PNG); key pixels
(magenta, alpha 0) appear only where the window's top corners cut its region.
The output is the same bytes on every run.
"""
import math
import struct
import zlib

SS = 4  # samples per pixel and axis near edges

FACE = "#EEF1F5"
PANEL = "#F5F7FA"
LOW = "#E6EAF0"
WHITE = "#FFFFFF"
TEXT = "#1E2630"
LINE = "#9AA5B4"
SOFTLINE = "#C9D0DA"
ACCENT = "#2F6FDE"
ACCENT_DARK = "#1F57BC"
TITLE_TOP = "#2E4A72"
TITLE_BOTTOM = "#223857"
INACTIVE_TOP = "#F3F5F8"
INACTIVE_BOTTOM = "#E3E7ED"
INACTIVE_TEXT = "#4A5563"
CLOSE_RED = "#D9434E"
CLOSE_PRESSED = "#B8323C"
GLYPH = "#8E9BAF"
TITLE_HOT = "#5B7090"
TITLE_PRESSED = "#48607F"
KEY = (255, 0, 255, 0)


def rgb(text):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16))


def tcolor(text):
    r, g, b = rgb(text)
    return r | (g << 8) | (b << 16)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# ---------------------------------------------------------------------------
# Shapes by signed distance (negative inside), in pixel units of the image
# ---------------------------------------------------------------------------

def sd_round_rect(x0, y0, x1, y1, radii):
    """radii: (top-left, top-right, bottom-right, bottom-left)."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hw, hh = (x1 - x0) / 2.0, (y1 - y0) / 2.0

    def f(x, y):
        px, py = x - cx, y - cy
        if px < 0:
            r = radii[0] if py < 0 else radii[3]
        else:
            r = radii[1] if py < 0 else radii[2]
        qx, qy = abs(px) - hw + r, abs(py) - hh + r
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return f


def sd_ring(shape, width):
    """The band of Width inside a shape's edge."""
    return lambda x, y: max(shape(x, y), -shape(x, y) - width)


def sd_segment(ax, ay, bx, by, width):
    def f(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / float(dx * dx + dy * dy or 1)))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2.0
    return f


def sd_union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


class Image:
    """Straight RGBA, 8 bits a channel, top row first."""

    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]
        self.keys = set()  # pixels that cut the window region

    def draw(self, shape, paint, ox=0, oy=0, w=None, h=None):
        """Paints a shape over the image inside (ox, oy, w, h); paint(y) -> (r, g, b, a)."""
        w = self.w - ox if w is None else w
        h = self.h - oy if h is None else h
        for y in range(oy, oy + h):
            for x in range(ox, ox + w):
                d = shape(x + 0.5, y + 0.5)
                if d > 1.5:
                    continue
                if d < -1.5:
                    cover = 1.0
                else:
                    hits = 0
                    for sy in range(SS):
                        for sx in range(SS):
                            if shape(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS) <= 0:
                                hits += 1
                    cover = hits / float(SS * SS)
                    if cover == 0:
                        continue
                r, g, b, a = paint(y + 0.5)
                self.over(x, y, (r, g, b, a * cover))

    def over(self, x, y, src):
        p = self.px[y * self.w + x]
        sa = src[3] / 255.0
        da = p[3] / 255.0
        oa = sa + da * (1 - sa)
        if oa <= 0:
            p[:] = [0, 0, 0, 0]
            return
        for i in range(3):
            p[i] = (src[i] * sa + p[i] * da * (1 - sa)) / oa
        p[3] = oa * 255.0

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.px[(oy + y) * self.w + ox + x] = list(other.px[y * other.w + x])
                if y * other.w + x in other.keys:
                    self.keys.add((oy + y) * self.w + ox + x)

    def rgba_bytes(self):
        """See-through pixels carry the colour of a drawn neighbour (alpha 0), so resampling
        mixes no foreign colour into edges; pixels marked as key are magenta with alpha 0."""
        w, h = self.w, self.h
        colour = [None if p[3] < 0.5 else p for p in self.px]
        for _ in range(3):
            grown = list(colour)
            for i, c in enumerate(colour):
                if c is not None:
                    continue
                x, y = i % w, i // w
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1), (1, 1), (-1, -1), (1, -1), (-1, 1)):
                    if 0 <= x + dx < w and 0 <= y + dy < h and colour[(y + dy) * w + x + dx] is not None:
                        grown[i] = colour[(y + dy) * w + x + dx]
                        break
            colour = grown
        out = bytearray()
        for i, p in enumerate(self.px):
            if i in self.keys:
                out += bytes(KEY)
            elif p[3] < 0.5:
                c = colour[i] or (0, 0, 0, 0)
                out += bytes(int(round(min(255.0, max(0.0, v)))) for v in c[:3]) + b"\x00"
            else:
                out += bytes(int(round(min(255.0, max(0.0, v)))) for v in p)
        return bytes(out)


def png(image):
    raw = bytearray()
    data = image.rgba_bytes()
    stride = image.w * 4
    for y in range(image.h):
        raw.append(0)
        raw += data[y * stride:(y + 1) * stride]

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", image.w, image.h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def solid(color, alpha=255):
    c = rgb(color) + (alpha,)
    return lambda y: c


def vgrad(top, bottom, y0, y1, alpha=255):
    a, b = rgb(top), rgb(bottom)
    return lambda y: mix(a, b, max(0.0, min(1.0, (y - y0) / float(max(1, y1 - y0))))) + (alpha,)


# ---------------------------------------------------------------------------
# Section images (cells side by side), at 96 pixels per inch
# ---------------------------------------------------------------------------

def framed(w, h, radii, fill, line, line_width=1.0):
    """A cell: a rounded shape filled and outlined inside its edge."""
    img = Image(w, h)
    outer = sd_round_rect(0, 0, w, h, radii)
    img.draw(outer, fill)
    if line:
        img.draw(sd_ring(outer, line_width), line)
    return img


def strip(cells):
    w = sum(c.w for c in cells)
    img = Image(w, max(c.h for c in cells))
    x = 0
    for c in cells:
        img.paste(c, x, 0)
        x += c.w
    return img


def cut_corners(img, shape):
    """Pixels the window's rounded top corners leave out become key pixels; the partly
    covered ones are made opaque over a neutral slate grey (what lies behind a window is not
    known), so no pixel lies between the key colour and the drawn edge."""
    for y in range(img.h):
        for x in range(img.w):
            p = img.px[y * img.w + x]
            if shape(x + 0.5, y + 0.5) > 0.25 and p[3] < 128:
                img.keys.add(y * img.w + x)
            elif p[3] < 255:
                base = rgb("#8A94A2")
                a = p[3] / 255.0
                img.px[y * img.w + x] = [p[i] * a + base[i] * (1 - a) for i in range(3)] + [255]


def form_cells(s=1.0):
    cells = []
    n, r = int(round(32 * s)), 6 * s
    for line in ("#B8C0CC", "#5C6B82"):
        img = Image(n, n)
        outer = sd_round_rect(0, 0, n, n, (r, r, 0, 0))
        img.draw(outer, solid(FACE))
        img.draw(sd_ring(outer, 1.0 * s), solid(line))
        cut_corners(img, outer)
        cells.append(img)
    return strip(cells)


def title_cells(s=1.0):
    cells = []
    w, h, r = int(round(32 * s)), int(round(30 * s)), 6 * s
    for top, bottom, line in ((INACTIVE_TOP, INACTIVE_BOTTOM, "#C9D0DA"), (TITLE_TOP, TITLE_BOTTOM, TITLE_BOTTOM)):
        img = Image(w, h)
        outer = sd_round_rect(0, 0, w, h + 6 * s, (r, r, 0, 0))
        img.draw(outer, vgrad(top, bottom, 0, h))
        img.draw(sd_round_rect(0, h - 1 * s, w, h, (0, 0, 0, 0)), solid(line))
        cut_corners(img, outer)
        cells.append(img)
    return strip(cells)


def button_cells(w=24, h=24, r=3):
    states = (("#FFFFFF", "#E9EDF2", LINE), ("#FFFFFF", "#DDE7F6", ACCENT), ("#D3DCE8", "#E4E9F0", "#6F7D90"))
    return strip([framed(w, h, (r,) * 4, vgrad(t, b, 0, h), solid(l)) for t, b, l in states])


def flat_button_cells(w=22, h=22, r=3):
    cells = [Image(w, h)]
    cells.append(framed(w, h, (r,) * 4, solid("#E1E9F6"), solid("#B9CDEE")))
    cells.append(framed(w, h, (r,) * 4, solid("#CCDAF1"), solid("#9DB7E6")))
    return strip(cells)


def edit_cells():
    return strip([framed(16, 16, (3,) * 4, solid(WHITE), solid(LINE)),
                  framed(16, 16, (3,) * 4, solid(WHITE), solid(ACCENT))])


def menu_cells():
    return strip([Image(16, 16), framed(16, 16, (4,) * 4, solid(ACCENT), None)])


def thumb_cells(vertical):
    w, h = (12, 24) if vertical else (24, 12)
    cells = []
    for color in ("#C2CAD6", "#A7B2C2", "#8E9AAD"):
        img = Image(w, h)
        img.draw(sd_round_rect(2, 2, w - 2, h - 2, (3.5,) * 4), solid(color))
        cells.append(img)
    return strip(cells)


def tab_cells():
    states = ((LOW, SOFTLINE), ("#F0F4FA", SOFTLINE), (PANEL, LINE))
    cells = []
    for fill, line in states:
        img = Image(20, 20)
        outer = sd_round_rect(0, 0, 20, 24, (3, 3, 0, 0))
        img.draw(outer, solid(fill))
        img.draw(sd_ring(outer, 1.0), solid(line))
        cells.append(img)
    return strip(cells)


def slider_cells():
    cells = []
    for line in (LINE, ACCENT, ACCENT_DARK):
        img = Image(16, 16)
        img.draw(sd_circle(8, 8, 7), solid(WHITE))
        img.draw(sd_ring(sd_circle(8, 8, 7), 1.5), solid(line))
        cells.append(img)
    return strip(cells)


def line_cell(w, h, horizontal):
    img = Image(w, h)
    if horizontal:
        img.draw(sd_round_rect(0, h // 2, w, h // 2 + 1, (0,) * 4), solid(SOFTLINE))
    else:
        img.draw(sd_round_rect(w // 2, 0, w // 2 + 1, h, (0,) * 4), solid(SOFTLINE))
    return img


# ---------------------------------------------------------------------------
# Glyphs (title buttons, check boxes, radio buttons, check, grip), at any scale
# ---------------------------------------------------------------------------

def title_glyph(kind, s):
    """Three cells (normal, hot, pressed) of a title button at scale s."""
    w, h = int(round(30 * s)), int(round(22 * s))
    stroke = 1.5 * s
    cx, cy = w / 2.0, h / 2.0
    g = 4.5 * s  # half the glyph's size

    def shape():
        if kind == "CLOSE":
            return sd_union(sd_segment(cx - g, cy - g, cx + g, cy + g, stroke),
                            sd_segment(cx - g, cy + g, cx + g, cy - g, stroke))
        if kind == "MAX":
            return sd_ring(sd_round_rect(cx - g, cy - g, cx + g, cy + g, (1 * s,) * 4), stroke)
        if kind == "MIN":
            return sd_segment(cx - g, cy + g * 0.6, cx + g, cy + g * 0.6, stroke)
        if kind == "NORM":
            back = sd_ring(sd_round_rect(cx - g + 2.5 * s, cy - g, cx + g, cy + g - 2.5 * s, (1 * s,) * 4), stroke)
            front = sd_ring(sd_round_rect(cx - g, cy - g + 2.5 * s, cx + g - 2.5 * s, cy + g, (1 * s,) * 4), stroke)
            cut = sd_round_rect(cx - g, cy - g + 2.5 * s, cx + g - 2.5 * s, cy + g, (1 * s,) * 4)
            return sd_union(lambda x, y: max(back(x, y), -cut(x, y)), front)
        # HELP: a question mark: the upper half of a ring, a hook down to the stem, a dot
        r = g * 0.55
        ax, ay = cx, cy - g * 0.4
        ring = lambda x, y: max(abs(math.hypot(x - ax, y - ay) - r) - stroke / 2, y - ay)
        hook = sd_segment(ax + r, ay, ax, ay + r * 1.1, stroke)
        stem = sd_segment(ax, ay + r * 1.1, ax, ay + r * 1.5, stroke)
        dot = sd_circle(ax, cy + g * 0.9, stroke * 0.65)
        return sd_union(ring, hook, stem, dot)

    cells = []
    for state in range(3):
        img = Image(w, h)
        box = sd_round_rect(1 * s, 1 * s, w - 1 * s, h - 1 * s, (3 * s,) * 4)
        color = GLYPH
        if kind == "CLOSE" and state:
            img.draw(box, solid(CLOSE_RED if state == 1 else CLOSE_PRESSED))
            color = WHITE
        elif state:
            img.draw(box, solid(TITLE_HOT if state == 1 else TITLE_PRESSED, 235))
            color = WHITE
        img.draw(shape(), solid(color))
        cells.append(img)
    return strip(cells)


def check_shape(x0, y0, size, stroke):
    return sd_union(sd_segment(x0 + size * 0.22, y0 + size * 0.52, x0 + size * 0.42, y0 + size * 0.72, stroke),
                    sd_segment(x0 + size * 0.42, y0 + size * 0.72, x0 + size * 0.78, y0 + size * 0.3, stroke))


def box_glyph(kind, s):
    """Three cells (normal, hot, pressed) of a check box or radio button."""
    n = int(round(13 * s))
    cells = []
    for state in range(3):
        img = Image(n, n)
        line = "#7D8A9C" if state == 0 else ACCENT
        radio = kind.startswith("RADIO")
        outer = sd_circle(n / 2.0, n / 2.0, n / 2.0 - 0.25 * s) if radio else \
            sd_round_rect(0.5 * s, 0.5 * s, n - 0.5 * s, n - 0.5 * s, (2.5 * s,) * 4)
        checked = kind in ("BOXCHECKED",)
        fill = ACCENT if checked and state < 2 else (ACCENT_DARK if checked else ("#E4ECFA" if state == 2 else WHITE))
        img.draw(outer, solid(fill))
        img.draw(sd_ring(outer, 1.0 * s), solid(ACCENT_DARK if checked else line))
        if checked:
            img.draw(check_shape(0, 0, n, 1.5 * s), solid(WHITE))
        elif kind == "BOXGRAYED":
            img.draw(sd_round_rect(3.5 * s, 3.5 * s, n - 3.5 * s, n - 3.5 * s, (1 * s,) * 4), solid(LINE))
        elif kind == "RADIOCHECKED":
            img.draw(sd_circle(n / 2.0, n / 2.0, 3 * s), solid(ACCENT if state < 2 else ACCENT_DARK))
        cells.append(img)
    return strip(cells)


def plain_glyph(kind, s):
    n = int(round(12 * s))
    img = Image(n, n)
    if kind == "CHECK":
        img.draw(check_shape(0, 0, n, 1.5 * s), solid(TEXT))
    else:  # GRIPIMAGE: dots on a diagonal
        for i in range(3):
            for j in range(3 - i):
                img.draw(sd_circle(n - (1.8 + 3.6 * (i)) * s, n - (1.8 + 3.6 * j) * s, 0.9 * s), solid(LINE))
    return img


TITLE_GLYPHS = ("CLOSE", "MAX", "MIN", "NORM", "HELP")
BOX_GLYPHS = ("BOXUNCHECKED", "BOXCHECKED", "BOXGRAYED", "RADIOUNCHECKED", "RADIOCHECKED")
PLAIN_GLYPHS = ("CHECK", "GRIPIMAGE")
SCALES = ((1.0, ""), (1.5, "150"), (2.0, "200"))


# ---------------------------------------------------------------------------
# The skin
# ---------------------------------------------------------------------------

def sections():
    """name -> (master image or None, image count, margins, draw mode, keys)."""
    font = lambda *c: {k: str(tcolor(v)) for k, v in zip(("FONTCOLOR", "HOTFONTCOLOR", "FONTCOLOR2"), c)}
    col = lambda *c: {k: str(tcolor(v)) for k, v in zip(("COLOR", "HOTCOLOR", "COLOR2"), c)}
    three = lambda c, f, extra=None: dict(STATES="3", USESTATE2="1", **col(*c), **font(*f), **(extra or {}))
    two = lambda c, f, extra=None: dict(STATES="2", **col(*c), **font(*f), **(extra or {}))
    one = lambda c, f=TEXT, extra=None: dict(STATES="1", **col(c), **font(f), **(extra or {}))
    btn = three(("#F4F6F9", "#EEF3FB", "#DCE3EC"), (TEXT, TEXT, TEXT))
    flat = three((FACE, "#E1E9F6", "#CCDAF1"), (TEXT, TEXT, TEXT))
    return {
        "FORM": (form_cells(), 2, (6, 6, 6, 6), 16, two((FACE, FACE), (TEXT, TEXT))),
        "FORMTITLE": (title_cells(), 2, (8, 8, 8, 3), 16, two(("#E9ECF1", "#284066"), (INACTIVE_TEXT, WHITE))),
        "DIALOG": (None, 0, None, 0, dict(PARENTCLASS="FORM", STATES="2")),
        "PANEL": (None, 0, None, 0, one(PANEL)),
        "PANEL_LOW": (framed(12, 12, (3,) * 4, solid(LOW), solid(SOFTLINE)), 1, (4, 4, 4, 4), 16, one(LOW)),
        "GROUPBOX": (framed(16, 16, (4,) * 4, solid(FACE, 0), solid(SOFTLINE)), 1, (5, 5, 5, 5), 16,
                     one(FACE, TEXT, {"TRANSPARENCY": "100"})),
        "TRANSPARENT": (None, 0, None, 0, one(FACE, TEXT, {"TRANSPARENCY": "100"})),
        "BUTTON": (button_cells(), 3, (5, 5, 5, 5), 16, btn),
        "EDIT": (edit_cells(), 2, (4, 4, 4, 4), 16, two((WHITE, WHITE), (TEXT, TEXT))),
        "CHECKBOX": (None, 0, None, 0, two((FACE, FACE), (TEXT, TEXT), {"TRANSPARENCY": "100",
                                                                          "HOTTRANSPARENCY": "100"})),
        "SELECTION": (None, 0, None, 0, two(("#D5DDEA", ACCENT), (TEXT, WHITE))),
        # Menus: a thin line round a see-through centre, so the icon column under it stays.
        "MAINMENU": (framed(12, 12, (0,) * 4, solid(PANEL, 0), solid(LINE)), 1, (3, 3, 3, 3), 16, one(PANEL)),
        "MENUITEM": (menu_cells(), 2, (5, 5, 5, 5), 16, two((WHITE, ACCENT), (TEXT, WHITE))),
        "ICOLINE": (None, 0, None, 0, one(FACE)),
        "DIVIDER": (line_cell(12, 3, True), 1, (0, 0, 0, 0), 16, one(FACE, TEXT, {"TRANSPARENCY": "100"})),
        "DIVIDERV": (line_cell(3, 12, False), 1, (0, 0, 0, 0), 16, one(FACE, TEXT, {"TRANSPARENCY": "100"})),
        "HINT": (framed(16, 16, (3,) * 4, solid(WHITE), solid(LINE)), 1, (4, 4, 4, 4), 16, one(WHITE)),
        "SCROLLBAR1H": (None, 0, None, 0, one("#E9EDF2")),
        "SCROLLBAR1V": (None, 0, None, 0, one("#E9EDF2")),
        "SCROLLBAR2H": (None, 0, None, 0, one("#E9EDF2")),
        "SCROLLBAR2V": (None, 0, None, 0, one("#E9EDF2")),
        "SCROLLSLIDERH": (thumb_cells(False), 3, (6, 5, 6, 5), 16, three(("#E9EDF2", "#E9EDF2", "#E9EDF2"),
                                                                          (TEXT, TEXT, TEXT))),
        "SCROLLSLIDERV": (thumb_cells(True), 3, (5, 6, 5, 6), 16, three(("#E9EDF2", "#E9EDF2", "#E9EDF2"),
                                                                         (TEXT, TEXT, TEXT))),
        "SCROLLBTNLEFT": (None, 0, None, 0, three(("#E9EDF2", "#DCE2EA", "#CDD5E0"), (TEXT, TEXT, TEXT))),
        "SCROLLBTNTOP": (None, 0, None, 0, three(("#E9EDF2", "#DCE2EA", "#CDD5E0"), (TEXT, TEXT, TEXT))),
        "SCROLLBTNRIGHT": (None, 0, None, 0, three(("#E9EDF2", "#DCE2EA", "#CDD5E0"), (TEXT, TEXT, TEXT))),
        "SCROLLBTNBOTTOM": (None, 0, None, 0, three(("#E9EDF2", "#DCE2EA", "#CDD5E0"), (TEXT, TEXT, TEXT))),
        "COMBOBOX": (None, 0, None, 0, dict(PARENTCLASS="EDIT", STATES="2")),
        "COMBOBTN": (None, 0, None, 0, three((WHITE, "#E8EEF8", "#D6E0F0"), (TEXT, TEXT, TEXT))),
        "GAUGE": (None, 0, None, 0, two(("#E3E8EF", ACCENT), (TEXT, WHITE))),
        "PROGRESSH": (framed(12, 12, (3,) * 4, solid(ACCENT), None), 1, (4, 4, 4, 4), 16, one(ACCENT, WHITE)),
        "PROGRESSV": (framed(12, 12, (3,) * 4, solid(ACCENT), None), 1, (4, 4, 4, 4), 16, one(ACCENT, WHITE)),
        "TABTOP": (tab_cells(), 3, (4, 4, 4, 2), 16, three((LOW, "#F0F4FA", PANEL), (TEXT, TEXT, TEXT))),
        "PAGECONTROL": (framed(12, 12, (0,) * 4, solid(PANEL), solid(SOFTLINE)), 1, (2, 2, 2, 2), 16, one(PANEL)),
        "TABSHEET": (None, 0, None, 0, one(PANEL)),
        "TOOLBAR": (None, 0, None, 0, one(FACE)),
        "STATUSBAR": (line_cell(12, 3, True), 1, (0, 0, 0, 0), 16, one("#E3E7ED")),
        "SPEEDBUTTON": (flat_button_cells(), 3, (5, 5, 5, 5), 16, flat),
        "SPEEDBUTTON_SMALL": (flat_button_cells(16, 16, 3), 3, (4, 4, 4, 4), 16, flat),
        "TOOLBUTTON": (flat_button_cells(), 3, (5, 5, 5, 5), 16, flat),
        "UPDOWNBTN": (None, 0, None, 0, dict(PARENTCLASS="BUTTON", STATES="3")),
        "TRACKBAR": (None, 0, None, 0, one(FACE, TEXT, {"TRANSPARENCY": "100"})),
    }


def build(desc=None):
    """-> (options bytes, {entry name: bytes}, preview PNG bytes); Desc may give the version,
    author and description."""
    desc = desc or {}
    secs = sections()
    extra_masks = {"TRACKBAR": {"SLIDERMASK": (slider_cells(), 3, (0, 0, 0, 0)),
                                "SLIDERCHANNEL": (framed(12, 4, (2,) * 4, solid("#D5DBE3"), None), 1, (2, 1, 2, 1))}}
    # The master bitmap: every section's cells on rows of their own, 2 pixels apart.
    rows = []
    for name, (img, count, margins, mode, _) in secs.items():
        if img is not None:
            rows.append((name, "BORDERSMASK", img, count, margins, mode))
    # The window frame and title cut the window's corners with key pixels, which resampling
    # would bleed into the edge: they are drawn for every scale step.
    for scale, suffix in ((1.25, "*125"), (1.5, "*150"), (2.0, "*200")):
        for name, cells in (("FORM", form_cells), ("FORMTITLE", title_cells)):
            _, count, margins, mode, _ = secs[name]
            rows.append((name, "BORDERSMASK" + suffix, cells(scale), count,
                         tuple(int(round(m * scale)) for m in margins), mode))
    for name, masks in extra_masks.items():
        for key, (img, count, margins) in masks.items():
            rows.append((name, key, img, count, margins, 16))
    width = max(r[2].w for r in rows)
    height = sum(r[2].h + 2 for r in rows)
    master = Image(width, height)
    defs = {}
    y = 0
    for name, key, img, count, margins, mode in rows:
        master.paste(img, 0, y)
        defs.setdefault(name, {})[key] = "^%04d^%04d^%04d^%04d^%04d^%04d^%04d^%04d^%d^0^%d^0" % (
            0, y, img.w, y + img.h, margins[0], margins[1], margins[2], margins[3], count, mode)
        y += img.h + 2

    files = {"MASTER.PNG": png(master)}
    glob = {
        "VERSION": desc.get("version", "14.10"), "AUTHOR": desc.get("author", "Tarvel"),
        "DESCRIPTION": desc.get("description", "Light, calm and current: the shell's own skin"),
        "MASTERBITMAP": "MASTER.PNG", "COLOR": str(tcolor(FACE)), "FONTCOLOR": str(tcolor(TEXT)),
        "BORDERCOLOR": str(tcolor(LINE)), "TCBOTTOM": str(tcolor(ACCENT)), "TCTOP": str(tcolor(ACCENT_DARK)),
        "MainFont": "Tahoma", "TITLEHEIGHT": "30", "MAXHEIGHT": "26", "BORDERWIDTH": "4", "FORMOFFSET": "4",
        "WSHRAD": "12", "WSHOFFS": "3", "WSHSIZE": "10", "WSHCOLA": str(0x55000000), "WSHCOLN": str(0x33000000),
        "BISPACE": "2", "BIRIGHT": "4", "BILEFT": "4", "BITOP": "4", "SHADOW1COLOR": "0", "FontCount": "0",
    }
    for scale, suffix in SCALES:
        star = "*" + suffix if suffix else ""
        tag = "_" + suffix if suffix else ""
        for kind in TITLE_GLYPHS:
            name = "BICON%s%s.PNG" % (kind, tag)
            files[name] = png(title_glyph(kind, scale))
            glob["BICON" + kind + star] = "!%s!3!0!4!0000!0000!0000!0000!0" % name
        for kind in BOX_GLYPHS:
            name = "%s%s.PNG" % (kind, tag)
            files[name] = png(box_glyph(kind, scale))
            glob[kind + star] = "!%s!3!0!4!0000!0000!0000!0000!0" % name
        for kind in PLAIN_GLYPHS:
            name = "%s%s.PNG" % (kind, tag)
            files[name] = png(plain_glyph(kind, scale))
            glob[kind + star] = "!%s!1!0!4!0000!0000!0000!0000!0" % name
    lines = ["[GLOBALINFO]"] + ["%s=%s" % kv for kv in glob.items()] + [""]
    for name, (_, _, _, _, keys) in secs.items():
        keys = dict(keys)
        keys.update(defs.get(name, {}))
        lines += ["[%s]" % name] + ["%s=%s" % kv for kv in keys.items()] + [""]
    options = "\r\n".join(lines).encode("ascii")
    return options, files, png(preview())


# ---------------------------------------------------------------------------
# Preview: a small window in the skin, 140 x 100
# ---------------------------------------------------------------------------

def preview():
    w, h = 140, 100
    img = Image(w, h, (0, 0, 0, 0))
    win = sd_round_rect(0, 0, w, h, (6, 6, 0, 0))
    img.draw(win, solid(FACE))
    img.draw(sd_round_rect(0, 0, w, 40, (6, 6, 0, 0)), vgrad(TITLE_TOP, TITLE_BOTTOM, 0, 22), 0, 0, w, 22)
    img.draw(sd_ring(win, 1.0), solid("#5C6B82"))
    # caption: a white bar standing for the text
    img.draw(sd_round_rect(8, 9, 52, 13, (2,) * 4), solid(WHITE, 230))
    x = w - 3
    for kind in ("CLOSE", "MAX", "MIN"):
        glyph = title_glyph(kind, 0.8)
        cell_w = glyph.w // 3
        x -= cell_w
        state = 1 if kind == "CLOSE" else 0
        for yy in range(glyph.h):
            for xx in range(cell_w):
                p = glyph.px[yy * glyph.w + state * cell_w + xx]
                if p[3] > 0 and 0 <= x + xx < w and 2 + yy < 22:
                    img.over(x + xx, 2 + yy, p)
    # a panel with text lines
    img.draw(sd_round_rect(8, 28, 132, 54, (3,) * 4), solid(PANEL))
    img.draw(sd_ring(sd_round_rect(8, 28, 132, 54, (3,) * 4), 1.0), solid(SOFTLINE))
    for i, length in enumerate((80, 60)):
        img.draw(sd_round_rect(14, 34 + i * 8, 14 + length, 37 + i * 8, (1.5,) * 4), solid(TEXT))
    # an edit with focus and a check box
    img.draw(sd_round_rect(8, 60, 90, 74, (3,) * 4), solid(WHITE))
    img.draw(sd_ring(sd_round_rect(8, 60, 90, 74, (3,) * 4), 1.0), solid(ACCENT))
    img.draw(sd_round_rect(12, 65, 50, 68, (1.5,) * 4), solid(TEXT))
    box = box_glyph("BOXCHECKED", 1.0)
    for yy in range(box.h):
        for xx in range(box.w // 3):
            p = box.px[yy * box.w + xx]
            if p[3] > 0:
                img.over(96 + xx, 61 + yy, p)
    img.draw(sd_round_rect(112, 66, 132, 69, (1.5,) * 4), solid(TEXT))
    # buttons: a normal one and a hot one
    for bx, (top, bottom, line) in ((52, ("#FFFFFF", "#E9EDF2", LINE)), (94, ("#FFFFFF", "#DDE7F6", ACCENT))):
        shape = sd_round_rect(bx, 80, bx + 38, 94, (3,) * 4)
        img.draw(shape, vgrad(top, bottom, 80, 94))
        img.draw(sd_ring(shape, 1.0), solid(line))
        img.draw(sd_round_rect(bx + 10, 86, bx + 28, 89, (1.5,) * 4), solid(TEXT))
    return img
