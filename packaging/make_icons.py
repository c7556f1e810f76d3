# SPDX-License-Identifier: MIT
"""Draws the game's application icon from the datafile's own tile art, as PNG files for the hicolor theme.

Usage: make_icons.py OUTDIR NAME
Writes OUTDIR/SIZExSIZE/NAME.png for every size the desktop asks for.
"""
import os
import sys

from PIL import Image, ImageDraw

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets", "gen"))

import art  # noqa: E402

SIZES = (16, 24, 32, 48, 64, 128, 256)
MASTER = 256
# A piece about to drop into the gap of a nearly full well: tile kind per cell, 0 empty.
GRID = [
    [0, 0, 5, 0],
    [0, 5, 5, 5],
    [2, 0, 0, 7],
    [2, 2, 0, 7],
    [3, 3, 0, 4],
]


def master():
    cell = art.CELL
    cols, rows = len(GRID[0]), len(GRID)
    well = Image.new("RGBA", (cols * cell, rows * cell), (0, 0, 0, 0))
    for y, line in enumerate(GRID):
        for x, kind in enumerate(line):
            if kind:
                well.paste(art.tile(kind).convert("RGBA"), (x * cell, y * cell))
    scale = 2                                      # whole pixels keep the tiles' bevels crisp
    well = well.resize((well.width * scale, well.height * scale), Image.NEAREST)

    icon = Image.new("RGBA", (MASTER, MASTER), (0, 0, 0, 0))
    d = ImageDraw.Draw(icon)
    # A night-blue plate with the steel rim of the play-screen frames.
    d.rounded_rectangle((8, 8, MASTER - 9, MASTER - 9), radius=36, fill=(14, 20, 52, 255),
                        outline=(120, 140, 180, 255), width=6)
    d.rounded_rectangle((14, 14, MASTER - 15, MASTER - 15), radius=31, outline=(40, 52, 96, 255), width=2)
    left = (MASTER - well.width) // 2
    top = (MASTER - well.height) // 2 + 4
    # The well's walls and floor, so the picture reads as the game at a glance.
    d.rectangle((left - 8, top - 4, left - 3, top + well.height + 3), fill=(150, 168, 200, 255))
    d.rectangle((left + well.width + 2, top - 4, left + well.width + 7, top + well.height + 3),
                fill=(150, 168, 200, 255))
    d.rectangle((left - 8, top + well.height + 2, left + well.width + 7, top + well.height + 7),
                fill=(150, 168, 200, 255))
    icon.alpha_composite(well, (left, top))
    return icon


def main():
    out, name = sys.argv[1], sys.argv[2]
    big = master()
    for size in SIZES:
        folder = os.path.join(out, "%dx%d" % (size, size))
        os.makedirs(folder, exist_ok=True)
        im = big if size == MASTER else big.resize((size, size), Image.LANCZOS)
        im.save(os.path.join(folder, name + ".png"), optimize=True)


if __name__ == "__main__":
    main()
