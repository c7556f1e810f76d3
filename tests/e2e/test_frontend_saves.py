# SPDX-License-Identifier: MIT
"""Saved games end to end: save to a typed name, load it in a later game, and the refusals."""

import os
import random
import struct
import time
import unittest

from harness import (ALERT_AREA, DIALOG_AREA, SAVED_GAME_SIGNATURE, Session, cell_box, drop_pieces,
                     image_region, new_game, occupied, start_game, type_plain, wait_until)
from qvx_formats import COL_WHITE, DEFAULT_GAME_NAME, GAME_STATE_SIZE, SAVED_GAME_SIZE, SCREENSHOT_FILE


SCORE_PANEL = (360, 40, 580, 135)
OVERWRITE_CANCEL = (363, 255)


def record(data):
    """(map as [column][row], block_x) of a saved game's bytes."""
    cells = struct.unpack_from("<200i", data, 72)
    well = [cells[c * 20:(c + 1) * 20] for c in range(10)]
    return well, struct.unpack_from("<i", data, 872)[0]


class SavedGames(unittest.TestCase):
    def white(self, area):
        # The library's dialogs draw white on black in the game palette.
        return self.screens.count(self.screens.grab(), area, COL_WHITE)

    def dialog(self, what):
        self.game.move(630, 470)
        return wait_until(lambda: self.white(DIALOG_AREA) > 300, interval=0.2, what=what)

    def alert(self, what):
        self.game.move(630, 470)
        return wait_until(lambda: self.white(ALERT_AREA) > 100, interval=0.2, what=what)

    def replace_name(self, name):
        """Puts a new file name in place of the proposed one in the selector's path field."""
        self.game.key("End")
        for _ in range(len(DEFAULT_GAME_NAME)):
            self.game.key("BackSpace", hold=0.03, after=0.03)
        type_plain(self.game, name)

    def assert_same_game(self, a, b, skip_columns):
        """Two play screenshots show the same well (but for the falling piece) and panel."""
        self.assertEqual(image_region(b, SCORE_PANEL), image_region(a, SCORE_PANEL))
        for c in range(10):
            if c in skip_columns:
                continue
            for r in range(20):
                self.assertEqual(image_region(b, cell_box(c, r)), image_region(a, cell_box(c, r)),
                                 (c, r))

    def test_save_to_a_typed_name_and_load_it_in_a_later_game(self):
        with Session() as game:
            self.game = game
            screens = self.screens = new_game(game)
            drop_pieces(game, 4)
            before = game.screenshot()

            game.key("F5")
            self.dialog("the save dialog")
            self.replace_name("mygame.svg")
            game.key("Return")
            path = game.path("mygame.svg")
            wait_until(lambda: os.path.exists(path) and os.path.getsize(path) == SAVED_GAME_SIZE,
                       what="mygame.svg")
            with open(path, "rb") as f:
                saved = f.read()
            self.assertEqual(saved[GAME_STATE_SIZE:], SAVED_GAME_SIGNATURE)
            well, block_x = record(saved)
            piece_columns = set(range(block_x, block_x + 4))
            for c in range(10):
                if c in piece_columns:
                    continue
                for r in range(20):
                    self.assertEqual(occupied(before, c, r), well[c][r] != 0, (c, r))

            # The next save proposes the name just used; the file exists, and "Cancel" keeps it.
            game.key("F5")
            self.dialog("the save dialog")
            game.key("Return")
            self.alert("the overwrite question")
            game.click(*OVERWRITE_CANCEL)
            time.sleep(0.5)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), saved)
            self.assertEqual(sorted(os.listdir(game.workdir)), ["mygame.svg", SCREENSHOT_FILE])

            # A later game: empty at first, then the saved one.
            game.key("F2")
            screens.wait_menu()
            fresh = start_game(game, screens)
            self.assertFalse(any(occupied(fresh, c, r) for c in range(10) for r in range(10, 20)))
            game.key("F6")
            self.dialog("the load dialog")
            type_plain(game, "mygame.svg")
            game.key("Return")
            time.sleep(0.5)
            after = game.screenshot()
            self.assert_same_game(before, after, piece_columns)

    def test_refused_files_and_failed_saves_leave_everything_as_it_was(self):
        rng = random.Random(958)
        noise = bytes(rng.randrange(256) for _ in range(GAME_STATE_SIZE)) + SAVED_GAME_SIGNATURE
        with Session(files={"noise.svg": noise, "short.svg": b"\x01" * 100}) as game:
            self.game = game
            self.screens = new_game(game)
            drop_pieces(game, 3)
            before = game.screenshot()

            for name in ("noise.svg", "short.svg", "missing.svg"):
                game.key("F6")
                self.dialog("the load dialog")
                type_plain(game, name)
                game.key("Return")
                self.alert("the refusal of " + name)
                game.key("Return")
                time.sleep(0.3)
            after = game.screenshot()
            # Nothing moved but the falling piece: spawned in columns 3..6, never moved sideways.
            self.assert_same_game(before, after, {3, 4, 5, 6})

            # A file that cannot be created: the message, nothing left behind, the game goes on.
            game.key("F5")
            self.dialog("the save dialog")
            self.replace_name("nodir/x.svg")
            game.key("Return")
            self.alert("the save error")
            self.assertLess(self.white((160, 140, 480, 200)), 50, "the file selector has closed")
            game.key("Return")
            time.sleep(0.3)
            self.assertEqual(sorted(os.listdir(game.workdir)),
                             ["noise.svg", SCREENSHOT_FILE, "short.svg"])
            self.assert_same_game(before, game.screenshot(), {3, 4, 5, 6})


if __name__ == "__main__":
    unittest.main()
