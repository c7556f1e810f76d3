"""The game's module plays during a game and stops at game over; the two volume sliders set the
levels of what they name."""

import os
import sys
import tempfile
import unittest

from audio import decibels, position, rms_after, window_rms

from harness import (MENU_CREDITS, MENU_OPTIONS, MENU_START_GAME, OPTIONS_EXIT, OPTIONS_MUSIC, TITLE_PLAY_GAME,
                     Screens, Session, count_colour, occupied_cells, play_from_title, same_colour,
                     wait_for_menu, wait_until)
from qvx_formats import COL_TEXT, SETTINGS_FILE


SILENCE = 1e-4
DEFAULT_VOLUME = 200


def measure_levels(sound_volume, music_volume):
    """RMS levels (0..1) of a button's click, the credits song and the game's module, each from
    the same moment after its start, in a run with the two volumes kept from the last run."""
    wav = os.path.join(tempfile.mkdtemp(prefix="qvx-wav-"), "capture.wav")
    settings = "[quorvex]\nsound_volume = %d\nmusic_volume = %d\n" % (sound_volume, music_volume)
    with Session(capture_wav=wav, files={SETTINGS_FILE: settings.encode()}) as game:
        screens = Screens(game)
        mark = position(wav)
        game.click_box(*TITLE_PLAY_GAME)
        screens.wait_menu()
        click = rms_after(wav, mark, 0.0, 1.5)
        game.click_box(*MENU_CREDITS)
        credits = rms_after(wav, position(wav), 1.0, 4.0)
        game.key("space")
        screens.wait_menu()
        game.click_box(*MENU_START_GAME)
        module = rms_after(wav, position(wav), 1.5, 4.0)
    os.remove(wav)
    os.rmdir(os.path.dirname(wav))
    return {"click": click, "credits": credits, "module": module}


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


class Volumes(unittest.TestCase):
    """Music Volume sets the module and the credits song, rising steadily; Sound Volume sets the
    effects alone; at the defaults the credits song is about as loud as the module."""

    STEPS = (0, 100, DEFAULT_VOLUME, 250)

    def test_each_slider_sets_what_it_names(self):
        levels = {}
        for volume in self.STEPS:
            levels[("music", volume)] = measure_levels(DEFAULT_VOLUME, volume)
        for volume in self.STEPS:
            if volume != DEFAULT_VOLUME:
                levels[("sound", volume)] = measure_levels(volume, DEFAULT_VOLUME)
        levels[("sound", DEFAULT_VOLUME)] = levels[("music", DEFAULT_VOLUME)]

        print("\nslider volume   click dB  credits dB  module dB", file=sys.stderr)
        for (slider, volume), level in sorted(levels.items()):
            print("%-6s %6d %10.1f %11.1f %10.1f" % (slider, volume, decibels(level["click"]),
                  decibels(level["credits"]), decibels(level["module"])), file=sys.stderr)

        default = levels[("music", DEFAULT_VOLUME)]
        for what, slider, other in (("module", "music", "sound"), ("credits", "music", "sound"),
                                    ("click", "sound", "music")):
            rising = [levels[(slider, v)][what] for v in self.STEPS]
            self.assertLess(rising[0], SILENCE, "%s at %s volume 0" % (what, slider))
            for lower, higher in zip(rising[1:], rising[2:]):
                self.assertGreater(decibels(higher) - decibels(lower), 1.0,
                                   "%s rises with the %s volume: %s" % (what, slider, rising))
            for v in self.STEPS:
                self.assertAlmostEqual(decibels(levels[(other, v)][what]), decibels(default[what]), delta=1.5,
                                       msg="%s does not follow the %s volume (%d)" % (what, other, v))
        self.assertAlmostEqual(decibels(default["credits"]), decibels(default["module"]), delta=3.0,
                               msg="the credits song about as loud as the module at the defaults")


if __name__ == "__main__":
    unittest.main()
