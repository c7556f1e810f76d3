"""The game's module plays during a game and stops at game over."""

import os
import tempfile
import unittest

from audio import window_rms
from harness import Session, wait_until
from playscreen import count_colour, start_game

SILENCE = 1e-4
TEXT_COLOUR = 15


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


if __name__ == "__main__":
    unittest.main()
