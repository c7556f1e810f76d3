# SPDX-License-Identifier: MIT
"""The front end: help over the play screen and the credits."""

import os
import time
import unittest
import wave
import array
import tempfile

from harness import (MENU_CREDITS, MENU_OPTIONS, HarnessError, Screens, Session, cell_box, drop_pieces,
                     image_region, leave_to_exit, new_game, occupied, open_menu)
from qvx_formats import COL_HEADING, COL_HELP_BORDER, COL_HELP_KEYS, COL_WHITE


def loud_run_seconds(path, threshold=0.01, window=0.1):
    """Longest stretch, in seconds, of consecutive windows whose RMS is above threshold."""
    with wave.open(path, "rb") as w:
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        frames = w.readframes(w.getnframes())
    if width != 2:
        raise HarnessError("expected 16-bit audio")
    samples = array.array("h", frames)
    step = int(rate * window) * channels
    best = run = 0
    for start in range(0, len(samples) - step + 1, step):
        chunk = samples[start:start + step]
        rms = (sum(s * s for s in chunk) / len(chunk)) ** 0.5 / 32768.0
        run = run + 1 if rms > threshold else 0
        best = max(best, run)
    return best * window


class HelpScreen(unittest.TestCase):
    def test_help_covers_the_play_screen_and_escape_restores_it(self):
        with Session() as game:
            screens = new_game(game)
            drop_pieces(game, 2)
            before = game.screenshot()

            game.key("F1")
            rows = screens.wait_for({(0, 240): COL_HELP_BORDER, (639, 240): COL_HELP_BORDER},
                                    "the help screen")
            self.assertGreater(screens.count(rows, (20, 130, 160, 137), COL_HELP_KEYS), 30)
            self.assertGreater(screens.count(rows, (300, 10, 340, 25), COL_WHITE), 10)
            # Keys typed while help is shown never reach the game.
            game.keys("Left", "Left", "Left", "Left")
            time.sleep(0.5)
            self.assertTrue(screens.shows(screens.grab(), {(0, 240): COL_HELP_BORDER}),
                            "only Esc leaves help")
            game.key("Escape")
            after = game.screenshot()

            # Everything outside the well is back pixel for pixel; inside it, the columns the
            # falling piece does not use (it spawned in columns 3..6 and was not moved).
            for box in ((0, 0, 639, 39), (0, 440, 639, 479), (0, 0, 39, 479), (240, 0, 639, 479)):
                self.assertEqual(image_region(after, box), image_region(before, box), box)
            for c in (0, 1, 2, 7, 8, 9):
                for r in range(20):
                    self.assertEqual(image_region(after, cell_box(c, r)),
                                     image_region(before, cell_box(c, r)), (c, r))
            self.assertTrue(any(occupied(after, c, 19) for c in range(3, 7)), "the stack is there")
            # F2 leaves the game (a held Esc would leave the menu as well).
            game.key("F2")
            screens.wait_menu()


class CreditsScreen(unittest.TestCase):
    def _credits(self, music_on):
        wav = tempfile.NamedTemporaryFile(suffix=".wav", delete=False).name
        try:
            with Session(capture_wav=wav) as game:
                screens = Screens(game)
                open_menu(game, screens)
                if not music_on:
                    game.click_box(*MENU_OPTIONS)
                    screens.wait_for(screens.button((215, 400, 425, 430)), "the options screen")
                    game.click_box(350, 100, 560, 130)  # music toggle: off
                    game.click_box(215, 400, 425, 430)
                    screens.wait_menu()
                game.click_box(*MENU_CREDITS)
                tops = []
                for _ in range(2):
                    time.sleep(1.5)
                    rows = screens.grab()
                    # The credit lines are drawn in colour 5 below the logo.
                    gold = [y for y in range(110, 480)
                            if any(rows[y][x] == screens.rgb(COL_HEADING) for x in range(150, 490))]
                    self.assertTrue(gold, "credit lines on the screen")
                    tops.append(min(gold))
                self.assertLess(tops[1], tops[0], "the block scrolls up")
                # Roughly one pixel every two retraces: far less than a screen in 1.5 s.
                self.assertLess(tops[0] - tops[1], 200)
                time.sleep(2.0)
                game.key("a")
                screens.wait_menu()
                self.assertEqual(leave_to_exit(game, screens), 0, game.stderr[-3000:])
            return loud_run_seconds(wav)
        finally:
            os.remove(wav)

    def test_credits_scroll_end_on_a_key_and_play_the_song(self):
        self.assertGreater(self._credits(music_on=True), 3.0, "the credits song is heard")

    def test_credits_are_silent_with_music_off(self):
        self.assertLess(self._credits(music_on=False), 1.0)


if __name__ == "__main__":
    unittest.main()
