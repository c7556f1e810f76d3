# SPDX-License-Identifier: MIT
"""Font grid images (Allegro's grabber layout) rendered from DejaVu typefaces."""
from PIL import Image, ImageDraw, ImageFont

import palette as P

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
FIRST, LAST = 32, 126          # printable ASCII: the name entry accepts nothing else
PER_ROW = 16
BORDER = 255                   # grid lines and everything outside the boxes
INK = 1                        # the one ink colour of a mono font


def _ink(font, ch):
    """Leftmost and rightmost+1 ink columns of ch drawn without antialiasing at x 0 (None: no ink)."""
    pad = font.size * 2
    im = Image.new("1", (pad * 4, pad * 3), 0)
    d = ImageDraw.Draw(im)
    d.fontmode = "1"
    d.text((pad, pad), ch, font=font, fill=1, anchor="la")
    box = im.getbbox()
    return None if box is None else (box[0] - pad, box[2] - pad)


def _glyph(font, ch, top, height, width=None):
    """Renders ch without antialiasing into a width x height mask (ink 1),
    starting at ascender-relative row top.  width None: the glyph's own advance.

    A font of Allegro's has no overhang: each glyph is its box.  Ink that pokes out of
    the advance on one side (v, V, y, j ...) is moved inside the box rather than the box
    being widened, so such letters keep the spacing they have in the typeface."""
    adv = int(round(font.getlength(ch)))
    ink = _ink(font, ch)
    w = adv if width is None else width
    shift = 0
    if ink is not None:
        left, right = ink
        if right - left > w:
            w, shift = right - left, -left       # wider than its box: the box grows
        elif left < 0:
            shift = -left
        elif right > w:
            shift = w - right
    if width is not None:
        shift = (width - adv) // 2
    im = Image.new("1", (max(1, w), height), 0)
    d = ImageDraw.Draw(im)
    d.fontmode = "1"
    d.text((shift, -top), ch, font=font, fill=1, anchor="la")
    return im


def font_grid(face, size, tabular_digits=False):
    """A paletted grid image of glyphs 32..126 for Allegro's font importer.

    The box height covers only the rows that some glyph uses, so the font is
    as tall as its ink.  With tabular_digits the ten digits and the space get
    one common width, so numbers padded with spaces line up in columns."""
    font = ImageFont.truetype(FONT_DIR + face, size)
    probe = ImageDraw.Draw(Image.new("1", (1, 1)))
    top, bottom = 10 ** 6, -10 ** 6
    for c in range(FIRST, LAST + 1):
        b = probe.textbbox((0, 0), chr(c), font=font, anchor="la")
        if b[3] > b[1]:
            top, bottom = min(top, b[1]), max(bottom, b[3])
    height = bottom - top
    digit_w = None
    if tabular_digits:
        digit_w = max(int(round(font.getlength(str(d)))) for d in range(10))
    glyphs = []
    for c in range(FIRST, LAST + 1):
        ch = chr(c)
        fixed = digit_w if tabular_digits and (ch.isdigit() or ch == " ") else None
        glyphs.append(_glyph(font, ch, top, height, fixed))
    rows = [glyphs[i:i + PER_ROW] for i in range(0, len(glyphs), PER_ROW)]
    width = max(1 + sum(g.width + 1 for g in row) for row in rows)
    img_h = 1 + len(rows) * (height + 1)
    im = Image.new("P", (width, img_h), BORDER)
    im.putpalette(P.flat())
    y = 1
    for row in rows:
        x = 1
        for g in row:
            im.paste(g.convert("L").point(lambda v: INK if v else 0), (x, y))
            x += g.width + 1
        y += height + 1
    im.putpalette(P.flat())
    return im, height


# The three game fonts: (face, pixel size, tabular digits).
FONT_TEXT = ("DejaVuSans-Bold.ttf", 14, False)
FONT_TABLE = ("DejaVuSansCondensed-Bold.ttf", 13, True)
FONT_TITLE = ("DejaVuSans-Bold.ttf", 13, False)
