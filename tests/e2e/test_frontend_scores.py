"""High scores end to end: a finished game enters a typed name; a reset writes the defaults."""

import os
import signal
import struct
import time
import unittest

from harness import Session, wait_until
from test_frontend import (Screens, open_menu, start_game, leave_to_exit, region, MENU_SCORES,
                           COL_BORDER, COL_TEXT, COL_BLACK)

TABLE_EXIT = (100, 420, 300, 450)
TABLE_RESET = (340, 420, 540, 450)
NAME_BOX = (100, 150, 340, 280)
NAME_FIELD = (150, 200, 290, 240)
DEFAULT_ENTRY = struct.pack("<4i", 0, 1, 0, 0) + b"Quorvex Champion"


def entries(table):
    return [struct.unpack_from("<4i16s", table, 32 * i) for i in range(15)]


def name_column(screens, rows, rank):
    """Where the table's name column of a row shows text, right of the rank digits."""
    y = 80 + 20 * rank
    text = screens.rgb(COL_TEXT)
    return [tuple(px == text for px in line) for line in region(rows, (110, y, 370, y + 16))]


def wait_table(screens):
    points = {(0, 240): COL_BORDER, (639, 240): COL_BORDER}
    points.update(screens.button(TABLE_EXIT))
    points.update(screens.button(TABLE_RESET))
    return screens.wait_for(points, "the high-score table")


def game_over_shown(screens):
    rows = screens.grab()
    # "G A M E" and "O V E R" in colour 15 over the well.
    return (screens.count(rows, (100, 152, 170, 159), COL_TEXT) > 20 and
            screens.count(rows, (100, 202, 170, 209), COL_TEXT) > 20)


def enter_high_score(game, screens, name):
    """From the main menu: a game played to its end by dropping every piece straight down, then
    `name` typed in. Returns whether the name showed while typed, and the table's rows."""
    start_game(game, screens)

    def over():
        game.key("space", hold=0.05, after=0.05)
        return game_over_shown(screens)
    wait_until(over, timeout=240, interval=0.2, what="game over")

    game.key("Return")
    rows = screens.wait_for({(NAME_BOX[0], 200): COL_BORDER,
                             (NAME_FIELD[0], 220): COL_BORDER,
                             (200, 220): COL_BLACK}, "the name entry")
    field = region(rows, NAME_FIELD)
    game.type_text(name)
    time.sleep(0.3)
    shown = region(screens.grab(), NAME_FIELD) != field
    game.key("Return")
    return shown, wait_table(screens)


class HighScoreEntry(unittest.TestCase):
    def test_finished_game_enters_the_typed_name_at_rank_one_and_keeps_it(self):
        with Session() as game:
            screens = Screens(game)
            open_menu(game, screens)
            shown, rows = enter_high_score(game, screens, "TESTER")
            self.assertTrue(shown, "the name shows")
            self.assertNotEqual(name_column(screens, rows, 0), name_column(screens, rows, 1),
                                "a new name at rank 1")
            self.assertEqual(name_column(screens, rows, 1), name_column(screens, rows, 2),
                             "the defaults moved down")
            self.assertFalse(os.path.exists(game.path("quorvex.hsc")),
                             "the table reaches the file at exit")
            game.click_box(*TABLE_EXIT)
            screens.wait_menu()
            self.assertEqual(leave_to_exit(game, screens), 0, game.stderr[-3000:])

            with open(game.path("quorvex.hsc"), "rb") as f:
                table = f.read()
        self.assertEqual(len(table), 480)
        score, level, lines, pieces, name = entries(table)[0]
        self.assertEqual(name, b"TESTER" + bytes(10))
        self.assertGreater(score, 0)
        self.assertEqual(level, 0)
        self.assertGreaterEqual(lines, 1, "one more than the rows removed")
        if lines == 1:
            # No rows removed: 30 points a piece, and the table holds one more piece.
            self.assertEqual(pieces, score // 30 + 1)
        for i in range(1, 15):
            self.assertEqual(table[32 * i:32 * i + 32], DEFAULT_ENTRY, i)


class HighScoreReset(unittest.TestCase):
    def test_reset_writes_the_defaults_at_once(self):
        old = bytearray()
        for i in range(15):
            old += struct.pack("<4i16s", 9000 - 100 * i, 3, 40, 120, b"PLAYER%02d" % i)
        with Session(files={"quorvex.hsc": bytes(old)}) as game:
            screens = Screens(game)
            open_menu(game, screens)
            game.click_box(*MENU_SCORES)
            rows = wait_table(screens)
            self.assertNotEqual(name_column(screens, rows, 1), name_column(screens, rows, 2))

            game.click_box(*TABLE_RESET)

            def reset_written():
                with open(game.path("quorvex.hsc"), "rb") as f:
                    return f.read() == DEFAULT_ENTRY * 15
            wait_until(reset_written, timeout=30, what="the defaults in quorvex.hsc")
            rows = wait_table(screens)
            self.assertEqual(name_column(screens, rows, 0), name_column(screens, rows, 14))

            # Even a program killed right away leaves the reset table behind.
            os.killpg(game.proc.pid, signal.SIGKILL)
            game.proc.wait()
            with open(game.path("quorvex.hsc"), "rb") as f:
                self.assertEqual(f.read(), DEFAULT_ENTRY * 15)
            self.assertEqual([n for n in os.listdir(game.workdir) if n.endswith(".tmp")], [])


if __name__ == "__main__":
    unittest.main()
