# SPDX-License-Identifier: MIT
"""The game from the keyboard alone (the pointer never moved), and keys of the player's own."""

import os
import pathlib
import time
import unittest

from harness import (ALERT_AREA, CONTROLS_EXIT, CONTROLS_GHOST, DEFAULT_HIGH_SCORE_TABLE, DIALOG_AREA, MENU_OPTIONS,
                     NAME_BOX, NAME_FIELD, OPTIONS_BLOCKS_VALUE, OPTIONS_CONTROLS, OPTIONS_EXIT, OPTIONS_LEVEL_VALUE,
                     WELL, Screens, Session, controls_action, high_score_entries, occupied_cells, open_menu, region,
                     start_game, title_shown, type_plain, wait_until)
from qvx_formats import (COL_BORDER, COL_GHOST, COL_LEGEND_KEY, COL_WHITE, DEFAULT_GAME_NAME, HIGH_SCORE_FILE,
                         SAVED_GAME_SIZE, SETTINGS_FILE)


def dialog_shown(screens):
    return screens.count(screens.grab(), DIALOG_AREA, COL_WHITE) > 300


class KeyboardOnly(unittest.TestCase):
    def test_a_whole_session_with_the_pointer_never_moved(self):
        with Session(park_pointer=False) as game:
            pointer = game.pointer()
            screens = Screens(game)
            # The first navigation key shows the focus on the first button; Enter presses it.
            game.keys("Down", "Return")
            screens.wait_menu()
            game.keys("Down", "Down", "Return")
            rows = screens.wait_for(screens.button(OPTIONS_EXIT), "the options screen")
            zero = region(rows, OPTIONS_LEVEL_VALUE)
            # Tab shows the focus on the sound switch, Shift+Tab goes round to the last button,
            # Up to the starting blocks above it, which Right raises by one a press.
            game.keys("Tab", "shift+Tab", "Up", "Right", "Right")
            wait_until(lambda: region(screens.grab(), OPTIONS_BLOCKS_VALUE) != zero, what="two starting rows")
            game.keys("Down", "Left", "Return")
            screens.wait_menu()

            # A game: saved and loaded through the library's dialogs by keys, then dropped to its end.
            game.keys("Up", "Return")
            wait_until(lambda: occupied_cells(game.screenshot()), what="a game")
            game.key("F5")
            wait_until(lambda: dialog_shown(screens), what="the save dialog")
            game.key("Return")
            saved = game.path(DEFAULT_GAME_NAME)
            wait_until(lambda: os.path.exists(saved) and os.path.getsize(saved) == SAVED_GAME_SIZE,
                       what="the saved game")
            game.key("F6")
            wait_until(lambda: dialog_shown(screens), what="the load dialog")
            type_plain(game, DEFAULT_GAME_NAME)
            game.key("Return")
            wait_until(lambda: not dialog_shown(screens), what="the game loaded")
            self.assertLess(screens.count(screens.grab(), ALERT_AREA, COL_WHITE), 50, "no refusal")

            def over():
                game.key("space", hold=0.05, after=0.05)
                return screens.game_over_shown()
            wait_until(over, timeout=240, interval=0.2, what="game over")
            game.key("Return")
            screens.wait_for({(NAME_BOX[0], 200): COL_BORDER, (NAME_FIELD[0], 220): COL_BORDER}, "the name entry")
            game.type_text("Keys Only")
            game.key("Return")
            screens.wait_high_scores()
            game.keys("Tab", "Return")
            screens.wait_menu()
            # The menu's focus is where it was; Up goes round to "Previous Menu".
            game.keys("Up", "Return")
            wait_until(lambda: title_shown(screens.grab(), screens.palette), what="the title")
            game.keys("Down", "Return")
            self.assertEqual(game.wait_exit(), 0)
            self.assertEqual(game.pointer(), pointer)
            table = pathlib.Path(game.path(HIGH_SCORE_FILE)).read_bytes()
            self.assertEqual(high_score_entries(table)[0][4].rstrip(b"\0"), b"Keys Only")

    def test_table_reset_by_keys(self):
        with Session(files={HIGH_SCORE_FILE: b"\1" * len(DEFAULT_HIGH_SCORE_TABLE)}) as game:
            screens = Screens(game)
            game.keys("Down", "Return")
            screens.wait_menu()
            game.keys("Down", "Down", "Down", "Return")
            screens.wait_high_scores()
            plain = screens.count(screens.grab(), ALERT_AREA, COL_WHITE)
            game.keys("Tab", "Right", "Return")
            # The question's Yes is its default button: Enter answers it.
            wait_until(lambda: screens.count(screens.grab(), ALERT_AREA, COL_WHITE) > plain + 100, what="the question")
            game.key("Return")
            table = pathlib.Path(game.path(HIGH_SCORE_FILE))
            wait_until(lambda: table.read_bytes() == DEFAULT_HIGH_SCORE_TABLE, what="the default table written")


class OwnKeys(unittest.TestCase):
    def test_rebinding_refusal_ghost_legend_and_the_kept_keys(self):
        with Session() as game:
            screens = Screens(game)
            open_menu(game, screens)
            game.click_box(*MENU_OPTIONS)
            screens.wait_for(screens.button(OPTIONS_EXIT), "the options screen")
            game.click_box(*OPTIONS_CONTROLS)
            screens.wait_for(screens.button(CONTROLS_EXIT), "the Controls screen")
            turn = region(screens.grab(), controls_action("turn"))
            drop = region(screens.grab(), controls_action("drop"))
            game.click_box(*controls_action("drop"))
            game.key("x")
            wait_until(lambda: region(screens.grab(), controls_action("drop")) != drop, what="drop on X")
            # X is taken by drop now: turn keeps its key.
            game.click_box(*controls_action("turn"))
            game.key("x")
            time.sleep(0.5)
            game.move(630, 470)
            self.assertEqual(region(screens.grab(), controls_action("turn")), turn)
            game.click_box(*CONTROLS_GHOST)
            game.key("Escape")
            screens.wait_for(screens.button(OPTIONS_CONTROLS), "the options screen")
            game.click_box(*OPTIONS_EXIT)
            screens.wait_menu()

            shot = start_game(game, screens)
            # The ghost outlines the landing place at the bottom of the empty well.
            x1, _, x2, y2 = WELL
            self.assertGreater(shot.count(x1, y2 - 40, x2, y2, COL_GHOST), 40)
            # The legend names the drop key X where it said "Space Bar".
            self.assertLess(shot.count(365, 352, 469, 359, COL_LEGEND_KEY), 30)
            game.key("space")
            self.assertLess(max(r for _, r in occupied_cells(game.screenshot())), 12, "Space drops no more")
            game.key("x")
            self.assertTrue(any(r == 19 for _, r in occupied_cells(game.screenshot())), "X drops")
            game.close_window()
            self.assertEqual(game.wait_exit(), 0)
            kept = pathlib.Path(game.path(SETTINGS_FILE)).read_text().splitlines()
            for line in ("drop = X", "turn = UP", "ghost_piece = on"):
                self.assertIn(line, kept)


if __name__ == "__main__":
    unittest.main()
