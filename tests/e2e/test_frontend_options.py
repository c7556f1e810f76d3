"""The options screen end to end: every control to its limits, and the settings in a new game."""

import os
import shutil
import tempfile
import time
import unittest

from harness import Session
from test_frontend import (Screens, open_menu, start_game, region, occupied, MENU_OPTIONS,
                           COL_BORDER)

EXIT = (215, 400, 425, 430)
SOUND_TOGGLE = (80, 100, 290, 130)
MUSIC_TOGGLE = (350, 100, 560, 130)
SOUND_DOWN, SOUND_UP = (80, 200, 110, 230), (260, 200, 290, 230)
MUSIC_DOWN, MUSIC_UP = (350, 200, 380, 230), (530, 200, 560, 230)
LEVEL_DOWN, LEVEL_UP = (80, 350, 110, 380), (260, 350, 290, 380)
BLOCKS_DOWN, BLOCKS_UP = (350, 350, 380, 380), (530, 350, 560, 380)
# The value displays: the left and the right pair share their x range, so equal labels show
# as equal pixels.
SOUND_VALUE, LEVEL_VALUE = (111, 200, 259, 230), (111, 350, 259, 380)
MUSIC_VALUE, BLOCKS_VALUE = (381, 200, 529, 230), (381, 350, 529, 380)


class OptionsScreen(unittest.TestCase):
    def click(self, box, times=1):
        # Held long enough that a busy machine's game loop still sees every press.
        for _ in range(times):
            self.game.click_box(*box, hold=0.15, after=0.1)

    def step(self, box, value_box, times=1):
        """Clicks a button that changes a value, each time until the value shows the change.

        On a loaded machine a press can end before the game's loop looks at the mouse; such a
        lost press is repeated, since the value did not change.
        """
        for _ in range(times):
            before = self.shown(value_box)
            for attempt in range(4):
                self.game.click_box(*box, hold=0.15, after=0.1)
                deadline = time.monotonic() + 3.0
                while time.monotonic() < deadline and self.shown(value_box) == before:
                    time.sleep(0.1)
                if self.shown(value_box) != before:
                    break
            else:
                self.fail("the value did not change")

    def shown(self, box):
        # The pointer is drawn into the screen: keep it off what is compared.
        self.game.move(630, 470)
        time.sleep(0.2)
        return region(self.screens.grab(), box)

    def test_controls_stop_at_their_limits_and_reach_the_game(self):
        with Session() as game:
            self.game = game
            screens = self.screens = Screens(game)
            open_menu(game, screens)
            game.click_box(*MENU_OPTIONS)
            points = {(0, 240): COL_BORDER}
            points.update(screens.button(EXIT))
            rows = screens.wait_for(points, "the options screen")
            zero = region(rows, LEVEL_VALUE)
            self.assertEqual(region(rows, BLOCKS_VALUE), zero)
            two_hundred = region(rows, SOUND_VALUE)
            self.assertEqual(region(rows, MUSIC_VALUE), two_hundred)
            self.assertNotEqual(two_hundred, zero)

            game.key("Escape")
            time.sleep(0.5)
            self.assertTrue(screens.shows(screens.grab(), points), "Esc does not leave")

            # Sound volume: 200 down to 0 in twenty clicks, no further; up to 250, no further.
            self.step(SOUND_DOWN, SOUND_VALUE, 19)
            self.assertNotEqual(self.shown(SOUND_VALUE), zero)
            self.step(SOUND_DOWN, SOUND_VALUE)
            self.assertEqual(self.shown(SOUND_VALUE), zero)
            self.click(SOUND_DOWN)
            self.assertEqual(self.shown(SOUND_VALUE), zero)
            self.step(SOUND_UP, SOUND_VALUE, 24)
            self.assertNotEqual(self.shown(SOUND_VALUE), zero)
            before_top = self.shown(SOUND_VALUE)
            self.step(SOUND_UP, SOUND_VALUE)
            two_fifty = self.shown(SOUND_VALUE)
            self.assertNotEqual(two_fifty, before_top)
            self.click(SOUND_UP, 2)
            self.assertEqual(self.shown(SOUND_VALUE), two_fifty)

            # Music volume: five clicks from 200 reach 250; twenty-five down reach 0, no further.
            self.step(MUSIC_UP, MUSIC_VALUE, 5)
            self.assertEqual(self.shown(MUSIC_VALUE), two_fifty)
            self.click(MUSIC_UP)
            self.assertEqual(self.shown(MUSIC_VALUE), two_fifty)
            self.step(MUSIC_DOWN, MUSIC_VALUE, 25)
            self.click(MUSIC_DOWN)
            self.assertEqual(self.shown(MUSIC_VALUE), zero)

            # Starting level 0..20 and starting blocks 0..10.
            self.click(LEVEL_DOWN)
            self.assertEqual(self.shown(LEVEL_VALUE), zero)
            self.step(LEVEL_UP, LEVEL_VALUE, 20)
            twenty = self.shown(LEVEL_VALUE)
            self.click(LEVEL_UP)
            self.assertEqual(self.shown(LEVEL_VALUE), twenty)
            self.step(BLOCKS_UP, BLOCKS_VALUE, 9)
            nine = self.shown(BLOCKS_VALUE)
            self.step(BLOCKS_UP, BLOCKS_VALUE)
            ten = self.shown(BLOCKS_VALUE)
            self.assertNotEqual(ten, nine)
            self.click(BLOCKS_UP, 2)
            self.assertEqual(self.shown(BLOCKS_VALUE), ten)
            self.assertNotEqual(twenty, ten)

            # The switches change their label and change it back.
            for toggle in (SOUND_TOGGLE, MUSIC_TOGGLE):
                on = self.shown(toggle)
                self.step(toggle, toggle)
                self.step(toggle, toggle)
                self.assertEqual(self.shown(toggle), on)

            self.click(EXIT)
            screens.wait_menu()
            # Ten starting rows: the bottom half of the new well is filled at random, the rows
            # above it start empty (but for the falling piece, in the top rows).
            shot = start_game(game, screens)
            filled = sum(occupied(shot, c, r) for c in range(10) for r in range(10, 20))
            self.assertGreater(filled, 20)
            self.assertLess(filled, 100)

            # Options come back with the settings as they were left.
            game.key("F2")
            screens.wait_menu()
            game.click_box(*MENU_OPTIONS)
            rows = screens.wait_for(points, "the options screen")
            self.assertEqual(region(rows, SOUND_VALUE), two_fifty)
            self.assertEqual(region(rows, MUSIC_VALUE), zero)
            self.assertEqual(region(rows, LEVEL_VALUE), twenty)
            self.assertEqual(region(rows, BLOCKS_VALUE), ten)

    def open_options(self):
        """Opens the options from the title; returns what its switches and displays show."""
        self.screens = Screens(self.game)
        open_menu(self.game, self.screens)
        self.game.click_box(*MENU_OPTIONS)
        points = {(0, 240): COL_BORDER}
        points.update(self.screens.button(EXIT))
        self.screens.wait_for(points, "the options screen")
        return {box: self.shown(box) for box in (SOUND_TOGGLE, MUSIC_TOGGLE, SOUND_VALUE,
                                                 MUSIC_VALUE, LEVEL_VALUE, BLOCKS_VALUE)}

    def test_settings_survive_a_restart_and_a_damaged_file_is_ignored(self):
        workdir = tempfile.mkdtemp(prefix="qvx-cfg-")
        cfg = os.path.join(workdir, "quorvex.cfg")
        try:
            with Session(workdir=workdir) as game:
                self.game = game
                defaults = self.open_options()
                self.step(SOUND_TOGGLE, SOUND_TOGGLE)
                self.step(MUSIC_DOWN, MUSIC_VALUE)
                self.step(LEVEL_UP, LEVEL_VALUE, 3)
                self.step(BLOCKS_UP, BLOCKS_VALUE, 2)
                changed = {box: self.shown(box) for box in defaults}
                game.close_window()
                self.assertEqual(game.wait_exit(), 0)
            with open(cfg) as f:
                text = f.read()
            for line in ("sound = off", "music = on", "sound_volume = 200", "music_volume = 190",
                         "start_level = 3", "start_blocks = 2"):
                self.assertIn(line + "\n", text)

            with Session(workdir=workdir) as game:
                self.game = game
                self.assertEqual(self.open_options(), changed, "kept from the last run")
                game.close_window()
                self.assertEqual(game.wait_exit(), 0)

            with open(cfg, "wb") as f:
                f.write(bytes(range(256)) + b"[quorvex\nsound_volume = 17\n")
            with Session(workdir=workdir) as game:
                self.game = game
                self.assertEqual(self.open_options(), defaults, "a damaged file is ignored")
        finally:
            shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
