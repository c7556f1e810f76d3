# SPDX-License-Identifier: MIT
"""The game palette PAL_GAME: fixed role colours plus ramps for the generated art."""

# Role colours: every palette index the game draws with by number.  Each entry
# is (index, (r, g, b), role).  The values are 8-bit; the datafile keeps 6 bits.
ROLES = [
    (0,   (0, 0, 0),       "black: sprite transparency, well and panel backgrounds, GUI background"),
    (1,   (38, 50, 88),    "button face behind every labelled button (dark slate blue)"),
    (5,   (255, 208, 72),  "gold headline text: title words, panel numbers, credits, option headings"),
    (8,   (128, 132, 144), "mid grey: the GUI's disabled items (alert and file selector)"),
    (14,  (255, 238, 164), "pale gold: title buttons' light bevel and label"),
    (15,  (176, 190, 220), "light steel: body text on dark backgrounds; dark bevel and label shadow of menu buttons"),
    (16,  (0, 0, 0),       "opaque black: black that stays visible in masked sprites; mouse pointer outline"),
    (25,  (244, 246, 255), "near white: menu buttons' light bevel and label"),
    (48,  (200, 116, 36),  "amber: title buttons' dark bevel and label shadow"),
    (54,  (150, 162, 188), "grey blue: key legend action texts on black"),
    (65,  (112, 192, 255), "sky blue: score panel captions on black"),
    (70,  (255, 132, 180), "pink: pause message over the well"),
    (85,  (216, 224, 238), "pale grey: help table rows"),
    (86,  (152, 238, 152), "light green: key legend key names, help footer"),
    (142, (88, 128, 208),  "mid blue: screen borders and the name-entry box outline"),
    (143, (104, 156, 232), "light blue: help screen border"),
    (176, (66, 76, 110),   "dim slate: key legend separator lines on black"),
    (227, (236, 188, 68),  "gold: outline around the logo in the main menu"),
    (255, (255, 255, 255), "white: help title, GUI foreground"),
]

ROLE_INDEX = {i for i, _, _ in ROLES}


def _mix(a, b, t):
    return tuple(int(round(a[k] + (b[k] - a[k]) * t)) for k in range(3))


def _scale(c, f):
    return tuple(max(0, min(255, int(round(v * f)))) for v in c)


def _luminance(c):
    lin = [(v / 255) / 12.92 if v / 255 <= 0.03928 else ((v / 255 + 0.055) / 1.055) ** 2.4 for v in c]
    return 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2]


def _at_luminance(c, target):
    """c darkened toward black or lightened toward white until its luminance is target."""
    lo, hi = 0.0, 2.0
    for _ in range(40):
        f = (lo + hi) / 2
        t = _scale(c, f) if f <= 1 else _mix(c, (255, 255, 255), f - 1)
        if _luminance(t) < target:
            lo = f
        else:
            hi = f
    return _scale(c, lo) if lo <= 1 else _mix(c, (255, 255, 255), lo - 1)


# Base colours of the eight tile kinds.  Their lightness rises in even steps
# (blue darkest, yellow lightest) so they stay apart without hue vision; each
# kind also carries its own surface texture.
TILE_BASES = [
    _at_luminance((210, 40, 48), 0.14),    # 1 red, stud
    _at_luminance((244, 132, 24), 0.44),   # 2 orange, groove
    _at_luminance((248, 224, 60), 0.80),   # 3 yellow, stripes
    _at_luminance((60, 180, 60), 0.31),    # 4 green, pyramid
    _at_luminance((64, 200, 228), 0.56),   # 5 cyan, lines
    _at_luminance((44, 76, 220), 0.07),    # 6 blue, cross
    _at_luminance((160, 70, 220), 0.22),   # 7 purple, diamond
    _at_luminance((200, 204, 218), 0.67),  # 8 silver, checker
]
TILE_SHADES = 7   # outline, dark, mid-dark, base, light, highlight, sparkle


def _tile_ramp(base):
    return [_scale(base, 0.30), _scale(base, 0.55), _scale(base, 0.78), base,
            _mix(base, (255, 255, 255), 0.30), _mix(base, (255, 255, 255), 0.58),
            _mix(base, (255, 255, 255), 0.85)]


def _gradient(stops, n):
    """n colours evenly spaced along a piecewise linear run through stops."""
    out = []
    for i in range(n):
        t = i / (n - 1) * (len(stops) - 1)
        k = min(int(t), len(stops) - 2)
        out.append(_mix(stops[k], stops[k + 1], t - k))
    return out


# Ramps: name -> list of colours, darkest first.
RAMPS = {
    "grey": _gradient([(10, 12, 18), (120, 126, 140), (236, 240, 248)], 16),
    "night": _gradient([(4, 6, 16), (16, 22, 52), (34, 40, 96), (64, 62, 140), (104, 92, 176)], 28),
    "gold": _gradient([(40, 20, 4), (140, 76, 12), (228, 160, 40), (255, 224, 120), (255, 250, 220)], 18),
    "cyan": _gradient([(4, 24, 40), (16, 96, 140), (72, 200, 236), (210, 250, 255)], 14),
    "violet": _gradient([(20, 6, 30), (84, 30, 120), (170, 90, 220), (236, 200, 255)], 12),
    "steel": _gradient([(14, 20, 34), (50, 66, 104), (110, 134, 184), (200, 214, 240)], 14),
}
for _k, _b in enumerate(TILE_BASES):
    RAMPS["tile%d" % (_k + 1)] = _tile_ramp(_b)

_ORDER = ["grey", "night", "gold", "cyan", "violet", "steel"] + ["tile%d" % k for k in range(1, 9)]


def _build():
    pal = [None] * 256
    for i, rgb, _ in ROLES:
        pal[i] = rgb
    free = [i for i in range(256) if pal[i] is None]
    ramp_idx = {}
    pos = 0
    for name in _ORDER:
        idxs = []
        for rgb in RAMPS[name]:
            i = free[pos]
            pos += 1
            pal[i] = rgb
            idxs.append(i)
        ramp_idx[name] = idxs
    # The rest: an even colour cube so that quantised pictures find near colours.
    rest = free[pos:]
    cube = [(r, g, b) for r in (0, 85, 170, 255) for g in (0, 64, 128, 192, 255) for b in (0, 85, 170, 255)]
    cube = [c for c in cube if c != (0, 0, 0)]
    for k, i in enumerate(rest):
        pal[i] = cube[k] if k < len(cube) else RAMPS["grey"][k % 16]
    # 6-bit precision as stored in the datafile, expanded back the way the screen shows it.
    pal = [tuple((v >> 2) * 255 // 63 for v in c) for c in pal]
    return pal, ramp_idx


PALETTE, RAMP = _build()


def flat():
    """The palette as a flat list of 768 values for PIL."""
    return [v for c in PALETTE for v in c]


def nearest(rgb, exclude=(0,)):
    """Index of the palette colour closest to rgb (never an excluded index)."""
    best, bi = None, 0
    for i, c in enumerate(PALETTE):
        if i in exclude:
            continue
        d = (c[0] - rgb[0]) ** 2 * 3 + (c[1] - rgb[1]) ** 2 * 4 + (c[2] - rgb[2]) ** 2 * 2
        if best is None or d < best:
            best, bi = d, i
    return bi
