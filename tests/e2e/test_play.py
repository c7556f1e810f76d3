# SPDX-License-Identifier: MIT
"""Playing: the menu, a piece in the well, the keys, pause, leaving, and game over."""

import time
import unittest

from harness import (MENU_PREVIOUS_MENU, MENU_START_GAME, TITLE_EXIT, TITLE_PLAY_GAME, Session, count_colour,
                     occupied_cells, play_from_title, same_colour, wait_for_menu, wait_for_title, wait_until)
from qvx_formats import COL_PAUSE, COL_TEXT


def outlined(rows, palette, colour, x1, y1, x2, y2):
    """Every pixel of `colour` in the rectangle has only `colour` or black around it."""
    for y in range(y1, y2 + 1):
        for x in range(x1, x2 + 1):
            if not same_colour(rows[y][x], palette[colour]):
                continue
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    around = rows[y + dy][x + dx]
                    if not (same_colour(around, palette[colour]) or same_colour(around, palette[0])):
                        return False
    return True


def piece_columns(cells):
    return {c for c, _ in cells}


class Play(unittest.TestCase):
    def test_first_piece_stands_at_the_top_and_moves_with_the_keys(self):
        with Session() as game:
            title = game.screenshot()
            game.click_box(*TITLE_PLAY_GAME)
            wait_for_menu(game, title.palette)
            # Keys typed on the menu must not act in the new game (a Space would drop the piece).
            game.keys("space", "space", "Left")
            game.click_box(*MENU_START_GAME)
            cells = wait_until(lambda: occupied_cells(game.screenshot()), what="a piece")
            self.assertTrue(all(r <= 2 for _, r in cells), cells)
            self.assertEqual(min(piece_columns(cells)), 3, "the box stands at column 3")
            self.assertEqual(len(cells), 4)

            game.key("Left")
            moved = occupied_cells(game.screenshot())
            self.assertEqual(min(piece_columns(moved)), 2)
            game.keys("Right", "Right")
            moved = occupied_cells(game.screenshot())
            self.assertEqual(min(piece_columns(moved)), 4)

            for _ in range(8):
                game.key("Right")
            moved = occupied_cells(game.screenshot())
            self.assertEqual(max(piece_columns(moved)), 9, "stops at the right wall")

            before = max(r for _, r in moved)
            game.key("Down")
            lowered = occupied_cells(game.screenshot())
            self.assertGreater(max(r for _, r in lowered), before)

            game.key("space")
            dropped = occupied_cells(game.screenshot())
            # The dropped piece rests on the floor (the next fall step may already have locked it
            # and brought in the next piece at the top).
            self.assertIn(len(dropped), (4, 8))
            self.assertTrue(any(r == 19 and c >= 6 for c, r in dropped), dropped)

            # The piece locks; the next one appears at the top.
            wait_until(lambda: len(occupied_cells(game.screenshot())) == 8, what="the next piece")

    def test_pause_until_c_then_f2_back_to_the_menu_and_title(self):
        with Session() as game:
            palette = play_from_title(game)
            game.key("p")
            wait_until(lambda: count_colour(game, palette, COL_PAUSE, 40, 90, 239, 230) > 50,
                       what="the pause texts")
            time.sleep(1.5)  # the game stands still while paused
            frozen = count_colour(game, palette, COL_PAUSE, 40, 90, 239, 230)
            self.assertGreater(frozen, 50)
            _, _, rows = game.grab()
            self.assertTrue(outlined(rows, palette, COL_PAUSE, 41, 91, 238, 229))
            game.key("c")
            wait_until(lambda: count_colour(game, palette, COL_PAUSE, 40, 90, 239, 230) == 0,
                       what="the well redrawn after the pause")

            game.key("F2")
            wait_for_menu(game, palette)
            game.click_box(*MENU_PREVIOUS_MENU)
            title = game.screenshot()
            self.assertEqual(title.index(245, 332), 14, "the title buttons are back")
            game.click_box(*TITLE_EXIT)
            self.assertEqual(game.wait_exit(), 0)

    def test_escape_held_in_a_game_stops_on_the_menu(self):
        with Session() as game:
            title = game.screenshot()
            palette = title.palette
            game.click_box(*TITLE_PLAY_GAME)
            wait_for_menu(game, palette)
            # However long Esc is held, it leaves the game and no more: the menu waits for its
            # release, so it never passes on to the title and ends the program.
            for hold in (0.3, 0.6, 1.2):
                game.click_box(*MENU_START_GAME)
                wait_until(lambda: occupied_cells(game.screenshot()), what="a game")
                game.key("Escape", hold=hold, after=0.5)
                wait_for_menu(game, palette)
                self.assertTrue(game.running(), "held %.1f s" % hold)
            # Fresh presses: the menu goes back to the title, and the title ends the program.
            game.key("Escape")
            wait_for_title(game, title)
            game.key("Escape")
            self.assertEqual(game.wait_exit(), 0)

    def test_losing_the_focus_pauses_the_game(self):
        with Session() as game:
            palette = play_from_title(game)
            game.take_focus_away()
            wait_until(lambda: count_colour(game, palette, COL_PAUSE, 40, 90, 239, 230) > 50,
                       what="the pause texts")
            game.give_focus_back()
            game.key("c")
            wait_until(lambda: count_colour(game, palette, COL_PAUSE, 40, 90, 239, 230) == 0,
                       what="the game going on")

    def test_escape_on_the_menu_returns_to_the_title(self):
        with Session() as game:
            title = game.screenshot()
            game.click_box(*TITLE_PLAY_GAME)
            wait_for_menu(game, title.palette)
            game.key("Escape", hold=0.05)
            wait_for_title(game, title)
            game.click_box(*TITLE_EXIT)
            self.assertEqual(game.wait_exit(), 0)

    def test_dropping_pieces_ends_the_game(self):
        with Session() as game:
            palette = play_from_title(game)

            def over():
                game.key("space", hold=0.05, after=0.05)
                return count_colour(game, palette, COL_TEXT, 95, 150, 175, 160) > 20
            wait_until(over, timeout=240, interval=0.3, what="game over")
            # "G A M E" / "O V E R" over the well, and the final score line.
            self.assertGreater(count_colour(game, palette, COL_TEXT, 95, 200, 175, 210), 20)
            self.assertGreater(count_colour(game, palette, COL_TEXT, 60, 250, 200, 285), 50)
            # Each text has a black outline, so it stays readable over the pieces in the well.
            _, _, rows = game.grab()
            self.assertTrue(outlined(rows, palette, COL_TEXT, 60, 145, 210, 315))
            # Waiting for Enter: other keys do nothing.
            game.keys("space", "Escape", "KP_Enter")
            time.sleep(0.5)
            self.assertGreater(count_colour(game, palette, COL_TEXT, 95, 150, 175, 160), 20)
            self.assertTrue(game.running())


if __name__ == "__main__":
    unittest.main()
