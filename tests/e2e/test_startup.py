# SPDX-License-Identifier: MIT
"""Start-up, the title screen, screenshots and the ways out of the program."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import unittest

from harness import (MENU_CREDITS, MENU_VIEW_HIGH_SCORES, TITLE_EXIT, TITLE_PLAY_GAME, Session, count_colour,
                     game_path, play_from_title, same_colour, wait_for_menu, wait_until)
from qvx_formats import (COL_TITLE_DARK, COL_TITLE_LIGHT, DATAFILE_NAME, HIGH_SCORE_COUNT,
                         HIGH_SCORE_ENTRY_SIZE, HIGH_SCORE_FILE, HIGH_SCORE_FILE_SIZE, SETTINGS_FILE)


# Title buttons: PLAY GAME 245,320-385,345 and TITLE_EXIT 245,350-385,375; dark bevel 48, light 14.
DESKTOP_ENTRY = os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "org.quorvex.vastrelon.desktop")


class TitleScreen(unittest.TestCase):
    def test_buttons_screenshot_and_exit_from_another_directory(self):
        with Session() as game:
            # The working directory is a fresh temporary one, not the executable's: the datafile
            # must still be found beside the executable.
            self.assertNotEqual(os.path.dirname(game.exe), game.workdir)
            # The window's class is the game's own, the one its menu entry names.
            with open(DESKTOP_ENTRY) as f:
                wm_class = re.search(r"^StartupWMClass=(.*)$", f.read(), re.M).group(1)
            xprop = subprocess.check_output(["xprop", "-id", game.window, "WM_CLASS"], env=game.x_env())
            self.assertIn('"quorvex", "%s"' % wm_class, xprop.decode())
            shot = game.screenshot()
            self.assertEqual((shot.width, shot.height), (640, 480))
            for x1, y1, x2, y2 in (TITLE_PLAY_GAME, TITLE_EXIT):
                # Raised bevel: top/left in the light colour, bottom/right in the dark one.
                self.assertEqual(shot.index(x1, (y1 + y2) // 2), COL_TITLE_LIGHT)
                self.assertEqual(shot.index((x1 + x2) // 2, y1), COL_TITLE_LIGHT)
                self.assertEqual(shot.index(x2, (y1 + y2) // 2), COL_TITLE_DARK)
                self.assertEqual(shot.index((x1 + x2) // 2, y2), COL_TITLE_DARK)
                # A labelled button has a face of colour 1 with its label in colour 14.
                face = shot.region(x1 + 2, y1 + 2, x2 - 2, y2 - 2)
                self.assertGreater(face.count(1), len(face) // 2)
                self.assertGreater(face.count(COL_TITLE_LIGHT), 10)

            game.click_box(*TITLE_EXIT)
            self.assertEqual(game.wait_exit(), 0)
            with open(game.path(HIGH_SCORE_FILE), "rb") as f:
                table = f.read()
        self.assertNotIn("ALSA lib", game.stderr, "ALSA's own lines are not shown")
        self.assertEqual(len(table), HIGH_SCORE_FILE_SIZE)
        for i in range(HIGH_SCORE_COUNT):
            entry = table[HIGH_SCORE_ENTRY_SIZE * i:HIGH_SCORE_ENTRY_SIZE * (i + 1)]
            self.assertEqual(entry[:16], bytes([0, 0, 0, 0, 1, 0, 0, 0] + [0] * 8))
            self.assertEqual(entry[16:], b"Quorvex Champion")

    def test_escape_ends_the_program_and_keeps_an_existing_table(self):
        table = bytearray(HIGH_SCORE_FILE_SIZE)
        table[0] = 77
        table[16:22] = b"TESTER"
        with Session(files={HIGH_SCORE_FILE: bytes(table)}) as game:
            game.screenshot()  # the title is up and reads its keys
            # A press lost on a busy machine is repeated until the program has ended.
            wait_until(lambda: not game.running() or game.key("Escape"), timeout=60, interval=2.0,
                       what="the end of the program after Esc")
            self.assertEqual(game.wait_exit(), 0)
            with open(game.path(HIGH_SCORE_FILE), "rb") as f:
                self.assertEqual(f.read(), bytes(table))

    def test_press_released_outside_the_button_does_not_count(self):
        with Session() as game:
            game.drag(315, 362, 315, 420)  # press on TITLE_EXIT, release below it
            game.screenshot()
            self.assertTrue(game.running())
            game.click_box(*TITLE_EXIT)
            self.assertEqual(game.wait_exit(), 0)


class QuitFromOutside(unittest.TestCase):
    """The close button and the termination signals end the program the normal way from any
    screen: status 0, and the table is written (a short file comes back whole)."""

    def quit_from(self, reach, request):
        short_table = bytes([77, 0, 0, 0, 1, 0, 0, 0] + [0] * 8) + b"SHORT FILE\0\0\0\0\0\0"
        with Session(files={HIGH_SCORE_FILE: short_table}) as game:
            reach(game)
            request(game)
            self.assertEqual(game.wait_exit(), 0, game.stderr[-2000:])
            with open(game.path(HIGH_SCORE_FILE), "rb") as f:
                table = f.read()
            self.assertTrue(os.path.exists(game.path(SETTINGS_FILE)))
        self.assertEqual(len(table), HIGH_SCORE_FILE_SIZE)
        self.assertEqual(table[:HIGH_SCORE_ENTRY_SIZE], short_table)
        self.assertEqual(table[HIGH_SCORE_ENTRY_SIZE:], bytes(HIGH_SCORE_FILE_SIZE - HIGH_SCORE_ENTRY_SIZE))

    def test_close_button_in_a_game(self):
        self.quit_from(play_from_title, lambda game: game.close_window())

    def test_terminate_in_the_save_dialog(self):
        def save_dialog(game):
            palette = play_from_title(game)
            game.key("F5")
            # The file selector: white frame and text over the middle of the play screen.
            wait_until(lambda: count_colour(game, palette, 255, 160, 140, 480, 340) > 1000,
                       what="the save dialog")
        self.quit_from(save_dialog, lambda game: game.signal(signal.SIGTERM))

    @staticmethod
    def from_menu(button):
        """Reaches the screen a menu button opens."""
        def reach(game):
            palette = game.screenshot().palette
            game.click_box(*TITLE_PLAY_GAME)
            wait_for_menu(game, palette)
            game.click_box(*button)
            wait_until(lambda: not same_colour(game.grab()[2][25][135], palette[227]),
                       what="the menu replaced")
        return reach

    def test_interrupt_on_the_credits(self):
        self.quit_from(self.from_menu(MENU_CREDITS), lambda game: game.signal(signal.SIGINT))

    def test_hang_up_on_the_table_screen(self):
        self.quit_from(self.from_menu(MENU_VIEW_HIGH_SCORES), lambda game: game.signal(signal.SIGHUP))


class Options(unittest.TestCase):
    def test_nosound_plays_without_any_sound_device(self):
        with Session(args=["--nosound"], sound=False) as game:
            play_from_title(game)
            game.key("F2")
            game.close_window()
            self.assertEqual(game.wait_exit(), 0)

    def test_without_a_sound_device_the_message_names_nosound(self):
        with Session(sound=False, wait_for_window=False) as game:
            message = game.message_box(timeout=60)
            game.dismiss_message_box()
            self.assertEqual(game.wait_exit(timeout=60), 1)
        self.assertTrue(message.startswith("Error initializing sound\n"), message)
        self.assertIn("--nosound", message.splitlines()[-1])
        # Standard error says it too, first of all (no ALSA lines), the hint on the second line.
        self.assertEqual(game.stderr.splitlines()[:2], ["Error initializing sound: " + message.splitlines()[1],
                                                        message.splitlines()[2]])

    def test_a_scale_too_large_for_the_screen_is_lowered_to_the_largest_that_fits(self):
        # Scale 3 would not fit the 1344x1024 virtual screen; scale 2 does.
        with Session(args=["--scale", "3"], scale=2, screen=(1344, 1024)) as game:
            width, height, _ = game.grab()
            self.assertEqual((width, height), (640, 480), "the window is 1280x960")
            shot = game.screenshot()
            self.assertEqual((shot.width, shot.height), (640, 480), "F3 keeps the game's picture")
            game.click_box(*TITLE_PLAY_GAME)
            wait_for_menu(game, shot.palette)
            self.assertTrue(game.running())
            game.close_window()
            game.wait_exit()
        self.assertIn("--scale 3 does not fit the 1344x1024 desktop; showing the game at scale 2", game.stderr)

    def test_full_screen_shows_the_whole_picture_centred_at_the_largest_scale_that_fits(self):
        # On 1400x1100, scale 2 (1280x960) fits, 60 and 70 pixels from the edges.
        with Session(args=["--fullscreen"], scale=2, screen=(1400, 1100), wait_for_window=False) as game:
            game.window, game.origin = game.root_window(), (60, 70)
            shot = game.screenshot()
            game.move(-25, -30, after=0.5)  # the pointer out of the picture
            rows = game.grab(whole=True)[2]

            def differences(shot, rows):
                return [(x, y) for y in range(960) for x in range(1280)
                        if not same_colour(rows[70 + y][60 + x], shot.rgb(x // 2, y // 2))][:5]
            self.assertEqual(differences(shot, rows), [], "the picture, whole, each pixel shown as a 2x2 block")
            self.assertEqual({rows[0][0], rows[550][1340], rows[1030][700], rows[1030][1340]}, {(0, 0, 0)},
                             "black around it")
            game.click_box(*TITLE_PLAY_GAME)
            wait_for_menu(game, shot.palette)
            game.key("Escape")  # the title drawn again over the menu reaches the window whole
            game.move(-25, -30, after=0.5)
            again = game.screenshot()
            wait_until(lambda: not differences(again, game.grab(whole=True)[2]), timeout=10, what="the title again")


class StartUpFailures(unittest.TestCase):
    def test_without_a_display_standard_error_says_the_game_needs_one(self):
        for display, reason in (("", "DISPLAY is not set"), (":987", 'the display ":987" (DISPLAY) cannot be opened')):
            result = subprocess.run([game_path()], env=dict(os.environ, DISPLAY=display), stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=60)
            self.assertEqual(result.returncode, 1)
            self.assertEqual(result.stderr.decode().splitlines()[1],
                             "The game needs a graphical desktop session: %s." % reason)

    def test_missing_datafile(self):
        exe_dir = tempfile.mkdtemp(prefix="qvx-nodat-")
        try:
            exe = os.path.join(exe_dir, "quorvex")
            shutil.copy(game_path(), exe)
            with Session(exe=exe, wait_for_window=False) as game:
                message = game.message_box(timeout=60)
                game.dismiss_message_box()
                status = game.wait_exit(timeout=60)
            self.assertEqual(status, 1)
            self.assertEqual(message.strip(), "Error loading %s" % os.path.join(exe_dir, DATAFILE_NAME))
        finally:
            shutil.rmtree(exe_dir, ignore_errors=True)

    def test_unreadable_high_score_file(self):
        if os.getuid() != 0:
            self.skipTest("needs root to run the game as another user")
        workdir = tempfile.mkdtemp(prefix="qvx-hsc-")
        try:
            path = os.path.join(workdir, HIGH_SCORE_FILE)
            with open(path, "wb") as f:
                f.write(bytes(HIGH_SCORE_FILE_SIZE))
            os.chmod(path, 0)
            # Run as an unprivileged user, for whom the file exists but cannot be opened.
            with Session(workdir=workdir, wait_for_window=False, user=65534) as game:
                status = game.wait_exit(timeout=60)
            self.assertEqual(status, 1)
            self.assertIn("Error: Error reading file: quorvex.hsc\nDelete it and try running again.\n",
                          game.stdout)
        finally:
            shutil.rmtree(workdir, ignore_errors=True)

if __name__ == "__main__":
    unittest.main()
