# SPDX-License-Identifier: MIT
"""High scores end to end: a finished game enters a typed name; a reset asks, then writes the defaults."""

import os
import signal
import struct
import unittest

from harness import (ALERT_AREA, DEFAULT_HIGH_SCORE_TABLE, HIGH_SCORES_EXIT, MENU_VIEW_HIGH_SCORES,
                     Screens, Session, enter_high_score, high_score_entries, leave_to_exit, open_menu,
                     region, reset_high_scores, wait_until)
from qvx_formats import (COL_TEXT, COL_WHITE, HIGH_SCORE_COUNT, HIGH_SCORE_ENTRY_SIZE, HIGH_SCORE_FILE,
                         HIGH_SCORE_FILE_SIZE)


def name_column(screens, rows, rank):
    """Where the table's name column of a row shows text, right of the rank digits."""
    y = 80 + 20 * rank
    text = screens.rgb(COL_TEXT)
    return [tuple(px == text for px in line) for line in region(rows, (110, y, 370, y + 16))]


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
            self.assertFalse(os.path.exists(game.path(HIGH_SCORE_FILE)),
                             "the table reaches the file at exit")
            game.click_box(*HIGH_SCORES_EXIT)
            screens.wait_menu()
            self.assertEqual(leave_to_exit(game, screens), 0, game.stderr[-3000:])

            with open(game.path(HIGH_SCORE_FILE), "rb") as f:
                table = f.read()
        self.assertEqual(len(table), HIGH_SCORE_FILE_SIZE)
        score, level, lines, pieces, name = high_score_entries(table)[0]
        self.assertEqual(name, b"TESTER" + bytes(10))
        self.assertGreater(score, 0)
        self.assertEqual(level, 0)
        self.assertGreaterEqual(lines, 1, "one more than the rows removed")
        if lines == 1:
            # No rows removed: 30 points a piece, and the table holds one more piece.
            self.assertEqual(pieces, score // 30 + 1)
        self.assertEqual(table[HIGH_SCORE_ENTRY_SIZE:], DEFAULT_HIGH_SCORE_TABLE[HIGH_SCORE_ENTRY_SIZE:])


class HighScoreReset(unittest.TestCase):
    def test_reset_asks_first_then_writes_the_defaults_at_once(self):
        old = bytearray()
        for i in range(HIGH_SCORE_COUNT):
            old += struct.pack("<4i16s", 9000 - 100 * i, 3, 40, 120, b"PLAYER%02d" % i)
        with Session(files={HIGH_SCORE_FILE: bytes(old)}) as game:
            screens = Screens(game)
            open_menu(game, screens)
            game.click_box(*MENU_VIEW_HIGH_SCORES)
            rows = screens.wait_high_scores()
            self.assertNotEqual(name_column(screens, rows, 1), name_column(screens, rows, 2))
            for answer in ("n", "Escape"):  # No: the table stays, on the screen and in the file
                plain = reset_high_scores(game, screens, answer)
                wait_until(lambda: screens.count(screens.grab(), ALERT_AREA, COL_WHITE) <= plain, what="an answer")
                self.assertNotEqual(name_column(screens, screens.grab(), 1), name_column(screens, screens.grab(), 2))
                with open(game.path(HIGH_SCORE_FILE), "rb") as f:
                    self.assertEqual(f.read(), bytes(old), answer)

            reset_high_scores(game, screens, "y")

            def reset_written():
                with open(game.path(HIGH_SCORE_FILE), "rb") as f:
                    return f.read() == DEFAULT_HIGH_SCORE_TABLE
            wait_until(reset_written, timeout=30, what="the defaults in quorvex.hsc")
            rows = screens.wait_high_scores()
            self.assertEqual(name_column(screens, rows, 0), name_column(screens, rows, 14))

            # Even a program killed right away leaves the reset table behind.
            os.killpg(game.proc.pid, signal.SIGKILL)
            game.proc.wait()
            with open(game.path(HIGH_SCORE_FILE), "rb") as f:
                self.assertEqual(f.read(), DEFAULT_HIGH_SCORE_TABLE)
            self.assertEqual([n for n in os.listdir(game.workdir) if n.endswith(".tmp")], [])


if __name__ == "__main__":
    unittest.main()
