# SPDX-License-Identifier: MIT
"""The options screen end to end: every control to its limits, and the settings in a new game."""

import os
import shutil
import tempfile
import time
import unittest

from harness import (MENU_OPTIONS, OPTIONS_BLOCKS_UP, OPTIONS_BLOCKS_VALUE, OPTIONS_EXIT, OPTIONS_LEVEL_DOWN,
                     OPTIONS_LEVEL_UP, OPTIONS_LEVEL_VALUE, OPTIONS_MUSIC, OPTIONS_MUSIC_DOWN,
                     OPTIONS_MUSIC_UP, OPTIONS_MUSIC_VALUE, OPTIONS_SOUND, OPTIONS_SOUND_DOWN,
                     OPTIONS_SOUND_UP, OPTIONS_SOUND_VALUE, Screens, Session, occupied, open_menu, region,
                     start_game)
from qvx_formats import COL_BORDER, SETTINGS_FILE


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

    def step_to_top(self, up, value_box):
        """One step up that changes the value, then presses that no longer do; returns the top."""
        before = self.shown(value_box)
        self.step(up, value_box)
        top = self.shown(value_box)
        self.assertNotEqual(top, before)
        self.click(up, 2)
        self.assertEqual(self.shown(value_box), top)
        return top

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
            points.update(screens.button(OPTIONS_EXIT))
            rows = screens.wait_for(points, "the options screen")
            zero = region(rows, OPTIONS_LEVEL_VALUE)
            self.assertEqual(region(rows, OPTIONS_BLOCKS_VALUE), zero)
            two_hundred = region(rows, OPTIONS_SOUND_VALUE)
            self.assertEqual(region(rows, OPTIONS_MUSIC_VALUE), two_hundred)
            self.assertNotEqual(two_hundred, zero)

            # Sound volume: 200 down to 0 in twenty clicks, no further; up to 250, no further.
            self.step(OPTIONS_SOUND_DOWN, OPTIONS_SOUND_VALUE, 19)
            self.assertNotEqual(self.shown(OPTIONS_SOUND_VALUE), zero)
            self.step(OPTIONS_SOUND_DOWN, OPTIONS_SOUND_VALUE)
            self.assertEqual(self.shown(OPTIONS_SOUND_VALUE), zero)
            self.click(OPTIONS_SOUND_DOWN)
            self.assertEqual(self.shown(OPTIONS_SOUND_VALUE), zero)
            self.step(OPTIONS_SOUND_UP, OPTIONS_SOUND_VALUE, 24)
            self.assertNotEqual(self.shown(OPTIONS_SOUND_VALUE), zero)
            two_fifty = self.step_to_top(OPTIONS_SOUND_UP, OPTIONS_SOUND_VALUE)

            # Music volume: five clicks from 200 reach 250; twenty-five down reach 0, no further.
            self.step(OPTIONS_MUSIC_UP, OPTIONS_MUSIC_VALUE, 5)
            self.assertEqual(self.shown(OPTIONS_MUSIC_VALUE), two_fifty)
            self.click(OPTIONS_MUSIC_UP)
            self.assertEqual(self.shown(OPTIONS_MUSIC_VALUE), two_fifty)
            self.step(OPTIONS_MUSIC_DOWN, OPTIONS_MUSIC_VALUE, 25)
            self.click(OPTIONS_MUSIC_DOWN)
            self.assertEqual(self.shown(OPTIONS_MUSIC_VALUE), zero)

            # Starting level 0..20 and starting blocks 0..10.
            self.click(OPTIONS_LEVEL_DOWN)
            self.assertEqual(self.shown(OPTIONS_LEVEL_VALUE), zero)
            self.step(OPTIONS_LEVEL_UP, OPTIONS_LEVEL_VALUE, 20)
            twenty = self.shown(OPTIONS_LEVEL_VALUE)
            self.click(OPTIONS_LEVEL_UP)
            self.assertEqual(self.shown(OPTIONS_LEVEL_VALUE), twenty)
            self.step(OPTIONS_BLOCKS_UP, OPTIONS_BLOCKS_VALUE, 9)
            ten = self.step_to_top(OPTIONS_BLOCKS_UP, OPTIONS_BLOCKS_VALUE)
            self.assertNotEqual(twenty, ten)

            # The switches change their label and change it back.
            for toggle in (OPTIONS_SOUND, OPTIONS_MUSIC):
                on = self.shown(toggle)
                self.step(toggle, toggle)
                self.step(toggle, toggle)
                self.assertEqual(self.shown(toggle), on)

            self.click(OPTIONS_EXIT)
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
            self.assertEqual(region(rows, OPTIONS_SOUND_VALUE), two_fifty)
            self.assertEqual(region(rows, OPTIONS_MUSIC_VALUE), zero)
            self.assertEqual(region(rows, OPTIONS_LEVEL_VALUE), twenty)
            self.assertEqual(region(rows, OPTIONS_BLOCKS_VALUE), ten)

            # Esc leaves the options as it leaves every other screen, and only them: the menu
            # waits for a fresh press.
            game.key("Escape", hold=1.0)
            screens.wait_menu()
            time.sleep(1.0)
            self.assertTrue(game.running())
            screens.wait_menu()

    def open_options(self):
        """Opens the options from the title; returns what its switches and displays show."""
        self.screens = Screens(self.game)
        open_menu(self.game, self.screens)
        self.game.click_box(*MENU_OPTIONS)
        points = {(0, 240): COL_BORDER}
        points.update(self.screens.button(OPTIONS_EXIT))
        self.screens.wait_for(points, "the options screen")
        return {box: self.shown(box) for box in (OPTIONS_SOUND, OPTIONS_MUSIC, OPTIONS_SOUND_VALUE,
                                                 OPTIONS_MUSIC_VALUE, OPTIONS_LEVEL_VALUE, OPTIONS_BLOCKS_VALUE)}

    def test_settings_survive_a_restart_and_a_damaged_file_is_ignored(self):
        workdir = tempfile.mkdtemp(prefix="qvx-cfg-")
        cfg = os.path.join(workdir, SETTINGS_FILE)
        try:
            with Session(workdir=workdir) as game:
                self.game = game
                defaults = self.open_options()
                self.step(OPTIONS_SOUND, OPTIONS_SOUND)
                self.step(OPTIONS_MUSIC_DOWN, OPTIONS_MUSIC_VALUE)
                self.step(OPTIONS_LEVEL_UP, OPTIONS_LEVEL_VALUE, 3)
                self.step(OPTIONS_BLOCKS_UP, OPTIONS_BLOCKS_VALUE, 2)
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
