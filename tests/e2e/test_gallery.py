# SPDX-License-Identifier: MIT
"""Screenshots of every screen, as a player sees them, into BUILD/gallery for looking at the art in place.

Each picture is the window's pixels read from the X server (PNG when Debian's Python has PIL,
PPM otherwise). QVX_GALLERY names another folder.
"""

import os
import time
import unittest

from harness import (DIALOG_AREA, HIGH_SCORES_EXIT, MENU_CREDITS, MENU_OPTIONS, MENU_VIEW_HIGH_SCORES,
                     NAME_BOX, NAME_FIELD, OPTIONS_BLOCKS_UP, OPTIONS_EXIT, Screens, Session,
                     drop_pieces, open_menu, start_game, type_plain, wait_until)
from qvx_formats import COL_HEADING, COL_HELP_BORDER, COL_PAUSE, COL_WHITE


SCREENS = ("title", "menu", "options", "high-scores", "credits", "play", "help", "pause",
           "save-dialog", "game-over", "name-entry", "high-scores-new-entry")


def gallery_dir():
    folder = os.environ.get("QVX_GALLERY")
    if not folder:
        # QVX_GAME is BUILD/game/quorvex.
        build = os.path.dirname(os.path.dirname(os.path.abspath(os.environ["QVX_GAME"])))
        folder = os.path.join(build, "gallery")
    os.makedirs(folder, exist_ok=True)
    return folder


def save(rows, path_base):
    """Writes RGB rows as PNG (with PIL) or PPM; returns the file written."""
    height, width = len(rows), len(rows[0])
    data = bytes(c for row in rows for px in row for c in px)
    try:
        from PIL import Image
    except ImportError:
        path = path_base + ".ppm"
        with open(path, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (width, height) + data)
        return path
    path = path_base + ".png"
    Image.frombytes("RGB", (width, height), data).save(path)
    return path


class Gallery(unittest.TestCase):
    def shoot(self, name, rows=None):
        rows = rows or self.screens.grab()
        index = SCREENS.index(name) + 1
        self.written.append(save(rows, os.path.join(self.folder, "%02d-%s" % (index, name))))

    def test_every_screen(self):
        self.folder = gallery_dir()
        self.written = []
        with Session() as game:
            self.screens = screens = Screens(game)
            game.move(630, 470)
            self.shoot("title")

            open_menu(game, screens)
            game.move(630, 470)
            self.shoot("menu")

            # Options, with a few pre-filled rows for the game below.
            game.click_box(*MENU_OPTIONS)
            screens.wait_for(screens.button(OPTIONS_EXIT), "the options screen")
            for _ in range(4):
                game.click_box(*OPTIONS_BLOCKS_UP)
            game.move(630, 470)
            time.sleep(0.3)
            self.shoot("options")
            game.click_box(*OPTIONS_EXIT)
            screens.wait_menu()

            game.click_box(*MENU_VIEW_HIGH_SCORES)
            game.move(630, 470)
            rows = screens.wait_high_scores()
            self.shoot("high-scores", rows)
            game.click_box(*HIGH_SCORES_EXIT)
            screens.wait_menu()

            # Credits: wait until the scrolling lines fill the middle of the screen.
            game.click_box(*MENU_CREDITS)

            def credits_in_view():
                rows = screens.grab()
                gold = [y for y in range(110, 480)
                        if any(rows[y][x] == screens.rgb(COL_HEADING) for x in range(150, 490))]
                return rows if gold and min(gold) < 250 else None
            self.shoot("credits", wait_until(credits_in_view, timeout=120, interval=0.5,
                                             what="credit lines in the middle of the screen"))
            game.key("a")
            screens.wait_menu()

            start_game(game, screens)
            drop_pieces(game, 4)
            game.key("Left")
            time.sleep(0.4)
            self.shoot("play")

            game.key("F1")
            rows = screens.wait_for({(0, 240): COL_HELP_BORDER, (639, 240): COL_HELP_BORDER}, "the help screen")
            self.shoot("help", rows)
            game.key("Escape")
            time.sleep(0.5)

            game.key("p")
            rows = wait_until(lambda: (lambda r: r if screens.count(r, (40, 90, 239, 230), COL_PAUSE) > 50
                                       else None)(screens.grab()), what="the pause texts")
            self.shoot("pause", rows)
            game.key("c")
            time.sleep(0.5)

            game.key("F5")
            game.move(630, 470)
            rows = wait_until(lambda: (lambda r: r if screens.count(r, DIALOG_AREA, COL_WHITE) > 300
                                       else None)(screens.grab()), interval=0.2, what="the save dialog")
            time.sleep(0.3)
            self.shoot("save-dialog")
            game.key("Escape")
            time.sleep(0.5)

            def over():
                game.key("space", hold=0.05, after=0.05)
                return screens.game_over_shown()
            wait_until(over, timeout=240, interval=0.2, what="game over")
            time.sleep(0.3)
            self.shoot("game-over")

            game.key("Return")
            screens.wait_for({(NAME_BOX[0], 200): 142, (NAME_FIELD[0], 220): 142}, "the name entry")
            type_plain(game, "gallery")
            time.sleep(0.3)
            self.shoot("name-entry")
            game.key("Return")
            game.move(630, 470)
            rows = screens.wait_high_scores()
            time.sleep(0.3)
            self.shoot("high-scores-new-entry")
            game.click_box(*HIGH_SCORES_EXIT)
            screens.wait_menu()

        self.assertEqual(len(self.written), len(SCREENS))
        for path in self.written:
            self.assertGreater(os.path.getsize(path), 1000, path)


if __name__ == "__main__":
    unittest.main()
