# SPDX-License-Identifier: MIT
"""The datafile's pictures: tiles, frame pieces, buttons, fill patterns, logo, title and credits screens."""
import math

from PIL import Image, ImageDraw, ImageFilter, ImageFont

import palette as P

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
CELL = 20          # one well cell, one frame piece
LOGO_W, LOGO_H = 390, 70
SCREEN_W, SCREEN_H = 640, 480


def new_image(w, h, fill=0):
    im = Image.new("P", (w, h), fill)
    im.putpalette(P.flat())
    return im


def from_grid(rows):
    """A paletted image from a list of rows of palette indices."""
    im = new_image(len(rows[0]), len(rows))
    im.putdata([v for row in rows for v in row])
    return im


_PAL_IMAGE = None


def quantize(rgb, keep_black=True):
    """Maps an RGB picture onto the game palette.  With keep_black False, pure
    black becomes the opaque black 16 so that masked drawing keeps it."""
    global _PAL_IMAGE
    if _PAL_IMAGE is None:
        _PAL_IMAGE = new_image(1, 1)
    im = rgb.convert("RGB").quantize(palette=_PAL_IMAGE, dither=Image.Dither.NONE)
    if not keep_black:
        im = im.point(lambda v: 16 if v == 0 else v)
    im.putpalette(P.flat())
    return im


# ---------------------------------------------------------------- tiles

def _tile_texture(kind, x, y):
    """Texture offset (-1 darker, 0 plain, +1 lighter) of the face pixel x, y (2..17) of a tile kind."""
    cx, cy = x - 9.5, y - 9.5
    if kind == 1:                       # raised round stud
        d = math.hypot(cx, cy)
        if d < 4.2:
            return 1 if cx + cy < 0 else 0
        if d < 5.3:
            return -1 if cx + cy < 0 else 1
        return 0
    if kind == 2:                       # square groove
        m = max(abs(cx), abs(cy))
        if 4 <= m < 5:
            return -1 if (cy < -3.9 or cx < -3.9) and not (cy > 3.9 or cx > 3.9) else 1
        return 0
    if kind == 3:                       # diagonal stripes
        return -1 if (x + y) % 5 == 0 else 0
    if kind == 4:                       # pyramid: four facets
        if abs(cx) < 1 and abs(cy) < 1:
            return 1
        if cy <= -abs(cx):
            return 1
        if cx <= -abs(cy):
            return 0
        return -1
    if kind == 5:                       # horizontal lines
        return -1 if y % 4 == 1 else 0
    if kind == 6:                       # engraved plus
        if (abs(cx) < 1.6 and abs(cy) < 5.6) or (abs(cy) < 1.6 and abs(cx) < 5.6):
            return -1
        return 0
    if kind == 7:                       # raised diamond
        d = abs(cx) + abs(cy)
        if d < 5:
            return 1 if cy < 0 else 0
        if d < 6:
            return 1 if cy < 0 and cx < 0 else -1 if cy > 0 and cx > 0 else 0
        return 0
    if kind == 8:                       # checker
        return -1 if ((x - 2) // 4 + (y - 2) // 4) % 2 else 0
    return 0


def _bevelled(kind, size, inside):
    """Rows of a size x size block in tile kind's ramp: a light top-left and dark bottom-right
    bevel two pixels deep around an inside coloured by inside(x, y, ramp)."""
    OUT, DARK, _, _, LIGHT, HI, _ = r = P.RAMP["tile%d" % kind]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if x == size - 1 or y == size - 1:
                c = OUT
            elif x == 0 or y == 0:
                c = HI
            elif x == size - 2 or y == size - 2:
                c = DARK
            elif x == 1 or y == 1:
                c = LIGHT
            else:
                c = inside(x, y, r)
            row.append(c)
        rows.append(row)
    return rows


def tile(kind):
    """A 20x20 bevelled block of tile kind 1..8."""
    def textured(x, y, r):
        _, _, MID, BASE, LIGHT, _, _ = r
        return {-1: MID, 0: BASE, 1: LIGHT}[_tile_texture(kind, x, y)]
    rows = _bevelled(kind, CELL, textured)
    SPARK = P.RAMP["tile%d" % kind][6]
    rows[0][0] = SPARK
    rows[1][1] = SPARK
    return from_grid(rows)


def mini_tile(kind, size):
    """A small bevelled block in the colours of tile kind 1..8, for emblems."""
    return from_grid(_bevelled(kind, size, lambda x, y, r: r[3]))


def preview_empty():
    """An empty preview cell: black with a faint cell outline like an empty well."""
    n = P.RAMP["night"]
    rows = [[16] * CELL for _ in range(CELL)]
    for i in range(CELL):
        for x, y in ((i, 0), (i, CELL - 1), (0, i), (CELL - 1, i)):
            rows[y][x] = n[3]
    for x, y in ((0, 0), (CELL - 1, 0), (0, CELL - 1), (CELL - 1, CELL - 1)):
        rows[y][x] = n[6]
    return from_grid(rows)


# ---------------------------------------------------------------- frame pieces

def _steel(v):
    """Steel ramp index for a brightness 0..1."""
    s = P.RAMP["steel"]
    return s[max(0, min(len(s) - 1, int(round(v * (len(s) - 1)))))]


def _bar_profile(t):
    """Brightness across a metal bar lit from above-left; t runs 0..19 across it."""
    if t in (0, CELL - 1):
        return 0.08
    if t in (1, CELL - 2):
        return 0.25
    n = (t - 8.5) / 8.0
    return 0.30 + 0.62 * math.sqrt(max(0.0, 1 - n * n)) ** 1.5


def frame_h():
    return from_grid([[_steel(_bar_profile(y) - (0.06 if x % 10 == 9 else 0)) for x in range(CELL)] for y in range(CELL)])


def frame_v():
    return from_grid([[_steel(_bar_profile(x) - (0.06 if y % 10 == 9 else 0)) for x in range(CELL)] for y in range(CELL)])


def frame_corner():
    """A bolted corner plate; the same light falls on all four corners."""
    rows = []
    for y in range(CELL):
        row = []
        for x in range(CELL):
            if x == CELL - 1 or y == CELL - 1 or x == 0 or y == 0:
                v = 0.08
            elif x == 1 or y == 1:
                v = 0.95
            elif x == CELL - 2 or y == CELL - 2:
                v = 0.22
            else:
                v = 0.58
                d = math.hypot(x - 9.5, y - 9.5)
                if d < 3.2:
                    v = 0.80 if (x + y) < 19 else 0.48
                elif d < 4.3:
                    v = 0.25 if (x + y) < 19 else 0.92
            row.append(_steel(v))
        rows.append(row)
    return from_grid(rows)


# ---------------------------------------------------------------- buttons

def button_face(w, h, ramp="steel"):
    """A face for a picture button: a soft vertical gradient in the button colours."""
    r = P.RAMP[ramp]
    rows = []
    for y in range(h):
        t = y / max(1, h - 1)
        k = 5 - int(round(t * 3))
        rows.append([r[k]] * w)
    return from_grid(rows)


def arrow_face(direction):
    """A 30x30 face with a triangle pointing left (-1) or right (+1)."""
    size = 30
    im = button_face(size, size)
    d = ImageDraw.Draw(im)
    cx, cy = 15, 15
    half_h, half_w = 7, 6
    tip = cx + direction * half_w
    back = cx - direction * half_w
    pts = [(tip, cy), (back, cy - half_h), (back, cy + half_h)]
    d.polygon([(x + 1, y + 1) for x, y in pts], fill=16)
    d.polygon(pts, fill=25)
    d.line([pts[1], pts[0]], fill=15)
    return im


# ---------------------------------------------------------------- fill patterns

PATTERN_SIZE = 32   # pixels of one tile of a fill pattern


def _pattern(pixel):
    """A fill-pattern tile with pixel(x, y) giving each pixel's colour."""
    return from_grid([[pixel(x, y) for x in range(PATTERN_SIZE)] for y in range(PATTERN_SIZE)])


def pattern_menu():
    """Embossed diamond plate in deep night blue: lit edges up-left, shaded edges down-right."""
    n = P.RAMP["night"]

    def pixel(x, y):
        a = (x + y) % 16
        b = (x - y) % 16
        v = 4
        if a == 0:
            v = 9
        elif a == 15:
            v = 1
        if b == 0:
            v = 9 if v != 1 else 5
        elif b == 1:
            v = 1
        return n[v]
    return _pattern(pixel)


def pattern_screens():
    """Fine steel brickwork, dark enough for text of every colour."""
    st = P.RAMP["steel"]

    def pixel(x, y):
        ox = 0 if (y // 8) % 2 == 0 else 8
        xx = (x + ox) % 16
        yy = y % 8
        if yy == 7 or xx == 15:
            return st[0]
        if yy == 0 or xx == 0:
            return st[3]
        return st[1] if (x * 7 + y * 3) % 11 else st[2]
    return _pattern(pixel)


def pattern_play():
    """Faint embossed squares behind the play screen."""
    n = P.RAMP["night"]

    def pixel(x, y):
        xx, yy = x % 16, y % 16
        if xx == 0 or yy == 0:
            return n[6]
        if xx == 15 or yy == 15:
            return n[0]
        return n[3] if ((x // 16) + (y // 16)) % 2 else n[4]
    return _pattern(pixel)


# ---------------------------------------------------------------- logotype

def _font(name, size):
    return ImageFont.truetype(FONT_DIR + name, size)


def _gold_fill(w, h, top, bottom):
    """An RGB vertical gold gradient between rows top and bottom."""
    g = Image.new("RGB", (w, h))
    px = g.load()
    stops = [(255, 250, 210), (255, 214, 90), (214, 132, 24), (255, 196, 70)]
    for y in range(h):
        t = min(1.0, max(0.0, (y - top) / max(1, bottom - top))) * (len(stops) - 1)
        k = min(int(t), len(stops) - 2)
        f = t - k
        c = tuple(int(stops[k][i] + (stops[k + 1][i] - stops[k][i]) * f) for i in range(3))
        for x in range(w):
            px[x, y] = c
    return g


def wordmark(w, h, big, small, big_size, small_size, gap, small_tracking):
    """The game's name as an RGBA picture: QUORVEX in gold over VASTRELON in spaced steel capitals."""
    fb = _font("DejaVuSans-Bold.ttf", big_size)
    fs = _font("DejaVuSans-Bold.ttf", small_size)
    mask = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(mask)
    bb = d.textbbox((0, 0), big, font=fb, anchor="ls")
    bw, bh = bb[2] - bb[0], -bb[1]
    small_w = sum(fs.getlength(c) for c in small) + small_tracking * (len(small) - 1)
    sb = d.textbbox((0, 0), small, font=fs, anchor="ls")
    sh = -sb[1]
    total = bh + gap + sh
    base_big = (h - total) // 2 + bh
    base_small = base_big + gap + sh
    d.text(((w - bw) // 2 - bb[0], base_big), big, font=fb, fill=255, anchor="ls")
    small_mask = Image.new("L", (w, h), 0)
    ds = ImageDraw.Draw(small_mask)
    x = (w - small_w) / 2
    for c in small:
        ds.text((x, base_small), c, font=fs, fill=255, anchor="ls")
        x += fs.getlength(c) + small_tracking
    gold = _gold_fill(w, h, base_big - bh, base_big)
    steel = Image.new("RGB", (w, h), (200, 216, 246))
    outline = mask.filter(ImageFilter.MaxFilter(5))
    small_outline = small_mask.filter(ImageFilter.MaxFilter(3))
    shadow = Image.new("L", (w, h), 0)
    shadow.paste(outline, (3, 3))
    out = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    out.paste(Image.new("RGB", (w, h), (8, 8, 20)), (0, 0), shadow)
    out.paste(Image.new("RGB", (w, h), (60, 28, 4)), (0, 0), outline)
    out.paste(Image.new("RGB", (w, h), (10, 14, 30)), (0, 0), small_outline)
    out.paste(gold, (0, 0), mask)
    out.paste(steel, (0, 0), small_mask)
    return out


# Emblems beside the logo's name: a piece on each side, (kind, cells).
_EMBLEMS = [(7, [(1, 0), (0, 1), (1, 1), (2, 1)]), (2, [(0, 0), (1, 0), (2, 0), (2, 1)])]
EMBLEM_CELL = 12


def logo():
    """The 390x70 logo for the main menu (masked) and the credits (blitted)."""
    rgba = wordmark(LOGO_W, LOGO_H, "QUORVEX", "VASTRELON", 44, 15, 7, 9)
    alpha = rgba.split()[3]
    flat = Image.new("RGB", rgba.size, (0, 0, 0))
    flat.paste(rgba, (0, 0), alpha)
    im = quantize(flat, keep_black=False)
    px, pa = im.load(), alpha.load()
    for y in range(LOGO_H):
        for x in range(LOGO_W):
            if pa[x, y] < 110:
                px[x, y] = 0
    top = (LOGO_H - 2 * EMBLEM_CELL) // 2
    for (kind, cells), left in zip(_EMBLEMS, (18, LOGO_W - 18 - 3 * EMBLEM_CELL)):
        block = mini_tile(kind, EMBLEM_CELL)
        for cx, cy in cells:
            im.paste(block, (left + cx * EMBLEM_CELL, top + cy * EMBLEM_CELL))
    return im


# ---------------------------------------------------------------- full screens

def _night_background(w, h, seed):
    """Deep blue vertical gradient with faint stars; deterministic for a seed."""
    bg = Image.new("RGB", (w, h))
    px = bg.load()
    for y in range(h):
        t = y / (h - 1)
        band = math.sin(t * math.pi)
        c = (int(6 + 26 * band), int(8 + 22 * band), int(24 + 60 * band))
        for x in range(w):
            px[x, y] = c
    state = seed
    d = ImageDraw.Draw(bg)
    for _ in range(140):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        x = state % w
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        y = state % h
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        b = 90 + state % 120
        d.point((x, y), fill=(b, b, min(255, b + 40)))
    return bg


def _tile_rgb(kind):
    return tile(kind).convert("RGB")


def _glow(size, box, colour, radius):
    """An RGBA soft glow filling box, blurred by radius."""
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).ellipse(box, fill=150)
    mask = mask.filter(ImageFilter.GaussianBlur(radius))
    out = Image.new("RGBA", size, colour + (0,))
    out.putalpha(mask)
    return out


# Pieces of the title picture: (tile kind, cells, top-left corner).  They keep
# clear of the name, of the buttons' plate and of the footer band.
_TITLE_FLIGHT = [
    (7, [(0, 0), (1, 0), (2, 0), (3, 0)], (40, 286)),
    (2, [(0, 0), (0, 1), (1, 1), (2, 1)], (520, 292)),
    (5, [(1, 0), (0, 1), (1, 1), (2, 1)], (70, 20)),
    (4, [(0, 0), (1, 0), (1, 1), (2, 1)], (520, 24)),
]
# Stacks at the bottom corners: column heights from the floor, left and right.
_TITLE_STACKS = [(20, [3, 2, 4, 3, 1, 2, 5, 4]), (460, [4, 5, 2, 3, 3, 1, 2, 4])]
FLOOR_Y = SCREEN_H - 40


def title(version):
    """The title picture: the name as a logotype with the version under it, falling pieces, a calm
    plate for the two buttons (245..385 x 320..375) and a dark band for the two footer lines (y 450
    and 460)."""
    bg = _night_background(SCREEN_W, SCREEN_H, 7)
    bg.paste(_glow(bg.size, (60, 70, 580, 250), (60, 80, 200), 40), (0, 0), _glow(bg.size, (60, 70, 580, 250), (60, 80, 200), 40))
    for x0, heights in _TITLE_STACKS:
        for col, hgt in enumerate(heights):
            for r in range(hgt):
                kind = (col * 5 + r * 3 + x0 // 20) % 8 + 1
                bg.paste(_tile_rgb(kind), (x0 + col * CELL, FLOOR_Y - (r + 1) * CELL))
    for kind, cells, (ox, oy) in _TITLE_FLIGHT:
        for cx, cy in cells:
            bg.paste(_tile_rgb(kind), (ox + cx * CELL, oy + cy * CELL))
    d = ImageDraw.Draw(bg)
    d.rectangle((0, FLOOR_Y, SCREEN_W, SCREEN_H), fill=(6, 8, 20))
    d.line((0, FLOOR_Y, SCREEN_W, FLOOR_Y), fill=(88, 128, 208))
    d.rounded_rectangle((225, 304, 405, 391), radius=8, fill=(12, 16, 38), outline=(88, 128, 208))
    mark = wordmark(600, 190, "QUORVEX", "VASTRELON", 96, 32, 14, 20)
    bg.paste(mark, (20, 70), mark)
    d.text((320, 272), "v" + version, font=_font("DejaVuSans-Bold.ttf", 16), fill=(176, 190, 220), anchor="mm")
    return quantize(bg)


def credits():
    """The credits background: quiet, dark, with a black plate where the logo is blitted."""
    bg = _night_background(SCREEN_W, SCREEN_H, 11)
    d = ImageDraw.Draw(bg)
    # Faint large grid of cells.
    for x in range(0, SCREEN_W, 40):
        d.line((x, 0, x, SCREEN_H), fill=(24, 30, 66))
    for y in range(0, SCREEN_H, 40):
        d.line((0, y, SCREEN_W, y), fill=(24, 30, 66))
    d.rectangle((122, 21, 519, 98), fill=(0, 0, 0), outline=(236, 188, 68))
    d.rectangle((124, 23, 517, 96), outline=(120, 76, 12))
    return quantize(bg)
