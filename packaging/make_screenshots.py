# SPDX-License-Identifier: MIT
"""Draws the screenshots a software centre shows (title, a game in play, the high-score table) by
running the built game under a private Xvfb, and writes them as PNG files.

Usage: make_screenshots.py OUTDIR
QVX_GAME names the game; tests/e2e (the game driver) and the generated qvx_formats are on PYTHONPATH.
Writes OUTDIR/title.png, OUTDIR/play.png and OUTDIR/high-scores.png, each 640x480.
"""
import os
import struct
import sys
import time

from PIL import Image

from harness import (HIGH_SCORE_ENTRY, HIGH_SCORES_EXIT, MENU_VIEW_HIGH_SCORES, Screens, Session, drop_pieces,
                     open_menu, start_game)
from qvx_formats import HIGH_SCORE_FILE

# A table as a few evenings of play leave it: score, stage, rows, pieces, name.
TABLE = [
    (48210, 9, 86, 241, "Vera"), (41575, 8, 77, 219, "Orrin"), (36040, 7, 68, 197, "Talia"),
    (30885, 7, 61, 180, "Bram"), (27330, 6, 55, 166, "Mirela"), (22915, 5, 48, 148, "Quin"),
    (19460, 5, 42, 133, "Sefa"), (15720, 4, 36, 117, "Dov"), (12390, 4, 30, 102, "Ilse"),
    (9875, 3, 25, 88, "Kasimir"), (7210, 3, 19, 71, "Noor"), (5040, 2, 14, 57, "Pell"),
    (3125, 2, 10, 44, "Runa"), (1690, 1, 6, 31, "Eskil"), (620, 1, 2, 18, "Wren"),
]
# Sideways moves before each drop, so the well fills as a player would fill it.
MOVES = ["Left"] * 4, ["Right"] * 3, ["Left"] * 2, ["Right"] * 1, [], ["Left"] * 1, ["Right"] * 4


def save(rows, path):
    height, width = len(rows), len(rows[0])
    Image.frombytes("RGB", (width, height), bytes(c for row in rows for px in row for c in px)).save(path)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    table = b"".join(struct.pack(HIGH_SCORE_ENTRY, s, lv, rows, pieces, name.encode())
                     for s, lv, rows, pieces, name in TABLE)
    with Session(files={HIGH_SCORE_FILE: table}, args=["--nosound"]) as game:
        screens = Screens(game)
        game.move(639, 479)   # the pointer off the picture but for its tip
        time.sleep(0.3)
        save(screens.grab(), os.path.join(out, "title.png"))

        open_menu(game, screens)
        game.click_box(*MENU_VIEW_HIGH_SCORES)
        game.move(639, 479)   # the pointer off the picture but for its tip
        screens.wait_high_scores()
        time.sleep(0.3)
        save(screens.grab(), os.path.join(out, "high-scores.png"))
        game.click_box(*HIGH_SCORES_EXIT)
        screens.wait_menu()

        start_game(game, screens)
        for moves in MOVES:
            game.keys(*moves)
            drop_pieces(game, 1)
        game.key("Up")
        time.sleep(0.4)
        save(screens.grab(), os.path.join(out, "play.png"))


if __name__ == "__main__":
    main()
