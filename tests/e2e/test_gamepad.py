# SPDX-License-Identifier: MIT
"""A gamepad, read by the game's own joystick driver through the device node: menus and a game."""

import time
import unittest

from harness import MENU_START_GAME, Pad, Screens, Session, count_colour, occupied_cells, title_shown, wait_until
from qvx_formats import COL_FOCUS, COL_PAUSE


class Gamepad(unittest.TestCase):
    def focus_on(self, box):
        """The focus frame shows around a button (its top line, two pixels above)."""
        x1, y1, x2, _ = box
        return count_colour(self.game, self.screens.palette, COL_FOCUS, x1, y1 - 4, x2, y1 - 3) > 100

    def test_menus_and_a_game_played_with_the_pad(self):
        with Session(pad=True) as game:
            self.game, pad = game, game.pad
            screens = self.screens = Screens(game)
            pad.push(Pad.Y, Pad.FULL)
            pad.press(Pad.SELECT)
            screens.wait_menu()

            # Inside the dead zone (a quarter of the travel) the stick does nothing; past it, it
            # shows the focus on the first button, which select then presses.
            pad.push(Pad.Y, Pad.FULL // 5, hold=0.5)
            self.assertFalse(self.focus_on(MENU_START_GAME))
            pad.push(Pad.Y, Pad.FULL // 3)
            wait_until(lambda: self.focus_on(MENU_START_GAME), what="the focus on Start Game")
            pad.press(Pad.SELECT)
            cells = wait_until(lambda: occupied_cells(game.screenshot()), what="a game")
            self.assertEqual(min(c for c, _ in cells), 3)

            # Held to the left, the stick repeats as a held arrow key does: the piece reaches the
            # wall. The drop button drops it.
            pad.axis(Pad.X, -Pad.FULL)
            wait_until(lambda: min(c for c, _ in occupied_cells(game.screenshot())) == 0, timeout=10,
                       what="the piece at the left wall")
            pad.axis(Pad.X, 0)
            pad.press(Pad.DROP)
            cells = occupied_cells(game.screenshot())
            self.assertTrue(any(r == 19 and c <= 3 for c, r in cells), cells)

            # Start pauses and continues; Back leaves the game, the menu and the program.
            for pause_texts in (True, False):
                pad.press(Pad.PAUSE)
                wait_until(lambda: (count_colour(game, screens.palette, COL_PAUSE, 40, 90, 239, 230) > 50)
                           == pause_texts, what="the pause texts shown: %s" % pause_texts)
            pad.press(Pad.LEAVE)
            screens.wait_menu()
            pad.press(Pad.LEAVE)
            wait_until(lambda: title_shown(screens.grab(), screens.palette), what="the title")
            time.sleep(0.5)
            pad.press(Pad.LEAVE)
            self.assertEqual(game.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
