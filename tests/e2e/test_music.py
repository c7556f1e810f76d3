# SPDX-License-Identifier: MIT
"""The game's module plays during a game and stops at game over; each volume sets what it names."""

import math
import os
import sys
import tempfile
import unittest

from audio import capture_size, window_rms

from harness import (MENU_CREDITS, MENU_OPTIONS, MENU_START_GAME, OPTIONS_EXIT, OPTIONS_MUSIC, TITLE_PLAY_GAME,
                     Screens, Session, count_colour, occupied_cells, play_from_title, same_colour, wait_for_menu,
                     wait_until)
from qvx_formats import COL_TEXT, SETTINGS_FILE


SILENCE = 1e-4


class Music(unittest.TestCase):
    def test_module_plays_during_the_game_and_stops_at_game_over(self):
        wav = os.path.join(tempfile.mkdtemp(prefix="qvx-wav-"), "capture.wav")
        with Session(capture_wav=wav) as game:
            self.assertLess(window_rms(wav, 1.0), SILENCE, "the title screen is silent")
            palette = play_from_title(game)
            self.assertGreater(window_rms(wav, 2.0), 0.003, "music during play")

            def over():
                game.key("space", hold=0.05, after=0.05)
                return count_colour(game, palette, COL_TEXT, 95, 150, 175, 160) > 20
            wait_until(over, timeout=240, interval=0.3, what="game over")
            window_rms(wav, 0.5)  # let the last sound effects end
            self.assertLess(window_rms(wav, 1.5), SILENCE, "silence after game over")

    def test_leaving_a_game_stops_the_module_and_music_off_keeps_it_off(self):
        wav = os.path.join(tempfile.mkdtemp(prefix="qvx-wav-"), "capture.wav")
        with Session(capture_wav=wav) as game:
            palette = play_from_title(game)
            self.assertGreater(window_rms(wav, 2.0), 0.003, "music during play")
            game.key("F2")
            wait_for_menu(game, palette)
            window_rms(wav, 0.5)  # the last sound effects end
            self.assertLess(window_rms(wav, 1.5), SILENCE, "silence on the menu after F2")

            # The options screen is up once the exit button's light bevel shows. A click lost on a
            # busy machine is repeated (the button's place is empty on the options screen).
            def options_shown():
                if same_colour(game.grab()[2][415][215], palette[25]):
                    return True
                game.click_box(*MENU_OPTIONS)
                return False
            wait_until(options_shown, timeout=60, interval=3.0, what="the options")
            x1, y1, x2, y2 = OPTIONS_MUSIC
            label = lambda: [row[x1:x2] for row in game.grab()[2][y1:y2]]
            music_on = label()
            # A press lost on a busy machine is repeated once the label has had time to change.
            for _ in range(4):
                game.click_box(*OPTIONS_MUSIC, hold=0.15)
                try:
                    wait_until(lambda: label() != music_on, timeout=3, interval=0.2)
                    break
                except AssertionError:
                    pass
            game.click_box(*OPTIONS_EXIT, hold=0.15)
            wait_for_menu(game, palette)
            game.click_box(*MENU_START_GAME)
            wait_until(lambda: occupied_cells(game.screenshot()), what="a game")
            window_rms(wav, 0.5)
            self.assertLess(window_rms(wav, 2.0), SILENCE, "no module with Music Off")


def levels(sound, music):
    """dB of a button's click, the credits song and the module, each measured from the same moment
    after it starts, in a run with the two volumes kept from the last one."""
    db = lambda rms: round(20 * math.log10(max(rms, 1e-9)), 1)  # noqa: E731
    cfg = b"[quorvex]\nsound_volume = %d\nmusic_volume = %d\n" % (sound, music)
    with tempfile.TemporaryDirectory(prefix="qvx-wav-") as folder:
        wav = os.path.join(folder, "capture.wav")
        with Session(capture_wav=wav, files={SETTINGS_FILE: cfg}) as game:
            screens, mark = Screens(game), capture_size(wav)
            game.click_box(*TITLE_PLAY_GAME)
            click = db(window_rms(wav, 1.5, mark=mark))
            screens.wait_menu()
            game.click_box(*MENU_CREDITS)
            song = db(window_rms(wav, 4.0, skip=1.0))
            game.key("space")
            screens.wait_menu()
            game.click_box(*MENU_START_GAME)
            return {"click": click, "song": song, "module": db(window_rms(wav, 4.0, skip=1.5))}


class Volumes(unittest.TestCase):
    def test_music_volume_sets_the_music_and_sound_volume_the_effects(self):
        steps = (0, 100, 200, 250)
        music = {v: levels(200, v) for v in steps}
        sound = {v: levels(v, 200) if v != 200 else music[v] for v in steps}
        for v in steps:
            print("volume %3d: Music Volume %s, Sound Volume %s" % (v, music[v], sound[v]), file=sys.stderr)
        for what, moved, other in (("module", music, sound), ("song", music, sound), ("click", sound, music)):
            rising = [moved[v][what] for v in steps]
            self.assertLess(rising[0], -80, "%s silent at 0: %s" % (what, rising))
            self.assertTrue(all(b - a > 1.0 for a, b in zip(rising[1:], rising[2:])), "%s rises: %s" % (what, rising))
            kept = [other[v][what] for v in steps]
            self.assertLess(max(kept) - min(kept), 1.5, "%s follows the other volume: %s" % (what, kept))
        self.assertLess(abs(music[200]["song"] - music[200]["module"]), 3.0, "the song about as loud as the module")


if __name__ == "__main__":
    unittest.main()
