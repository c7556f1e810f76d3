"""The game's module plays during a game and stops at game over."""

import os
import tempfile
import unittest

from audio import window_rms
from harness import Session, wait_until
from playscreen import same_colour, MENU_OPTIONS, MENU_START, count_colour, occupied_cells, start_game, wait_for_menu

SILENCE = 1e-4
TEXT_COLOUR = 15
MUSIC_TOGGLE = (350, 100, 560, 130)
OPTIONS_EXIT = (215, 400, 425, 430)


class Music(unittest.TestCase):
    def test_module_plays_during_the_game_and_stops_at_game_over(self):
        wav = os.path.join(tempfile.mkdtemp(prefix="qvx-wav-"), "capture.wav")
        with Session(capture_wav=wav) as game:
            self.assertLess(window_rms(wav, 1.0), SILENCE, "the title screen is silent")
            palette = start_game(game)
            self.assertGreater(window_rms(wav, 2.0), 0.003, "music during play")

            def over():
                game.key("space", hold=0.05, after=0.05)
                return count_colour(game, palette, TEXT_COLOUR, 95, 150, 175, 160) > 20
            wait_until(over, timeout=240, interval=0.3, what="game over")
            window_rms(wav, 0.5)  # let the last sound effects end
            self.assertLess(window_rms(wav, 1.5), SILENCE, "silence after game over")

    def test_leaving_a_game_stops_the_module_and_music_off_keeps_it_off(self):
        wav = os.path.join(tempfile.mkdtemp(prefix="qvx-wav-"), "capture.wav")
        with Session(capture_wav=wav) as game:
            palette = start_game(game)
            self.assertGreater(window_rms(wav, 2.0), 0.003, "music during play")
            game.key("F2")
            wait_for_menu(game, palette)
            window_rms(wav, 0.5)  # the last sound effects end
            self.assertLess(window_rms(wav, 1.5), SILENCE, "silence on the menu after F2")

            game.click_box(*MENU_OPTIONS)
            # The options screen is up once the exit button's light bevel shows.
            wait_until(lambda: same_colour(game.grab()[2][415][215], palette[25]), what="the options")
            x1, y1, x2, y2 = MUSIC_TOGGLE
            label = lambda: [row[x1:x2] for row in game.grab()[2][y1:y2]]
            music_on = label()
            # A press lost on a busy machine is repeated once the label has had time to change.
            for _ in range(4):
                game.click_box(*MUSIC_TOGGLE, hold=0.15)
                try:
                    wait_until(lambda: label() != music_on, timeout=3, interval=0.2)
                    break
                except AssertionError:
                    pass
            game.click_box(*OPTIONS_EXIT, hold=0.15)
            wait_for_menu(game, palette)
            game.click_box(*MENU_START)
            wait_until(lambda: occupied_cells(game.screenshot()), what="a game")
            window_rms(wav, 0.5)
            self.assertLess(window_rms(wav, 2.0), SILENCE, "no module with Music Off")


if __name__ == "__main__":
    unittest.main()
