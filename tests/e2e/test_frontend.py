"""The front end: help over the play screen, the credits, and steps the other tests share."""

import os
import time
import unittest
import wave
import array
import tempfile

from harness import Session, wait_until, HarnessError

# Title and main-menu buttons (x1, y1, x2, y2).
TITLE_PLAY = (245, 320, 385, 345)
TITLE_EXIT = (245, 350, 385, 375)
MENU_START = (200, 140, 440, 170)
MENU_OPTIONS = (200, 180, 440, 210)
MENU_SCORES = (200, 220, 440, 250)
MENU_CREDITS = (200, 260, 440, 290)
MENU_PREVIOUS = (200, 300, 440, 330)

# Palette entries with a role on these screens.
COL_BLACK, COL_HEADING, COL_TEXT, COL_LIGHT = 0, 5, 15, 25
COL_HELP_KEYS, COL_BORDER, COL_HELP_BORDER, COL_LOGO_FRAME, COL_WHITE = 85, 142, 143, 227, 255

WELL = (40, 40, 239, 439)
CELL = 20


class Screens:
    """Reads the game's window and tells its screens apart by pixels of known palette entries."""

    def __init__(self, game):
        self.game = game
        # The title's screenshot carries the game palette as the window shows it.
        self.palette = game.screenshot().palette

    def rgb(self, index):
        return self.palette[index]

    def grab(self):
        return self.game.grab()[2]

    def shows(self, rows, points):
        return all(rows[y][x] == self.rgb(i) for (x, y), i in points.items())

    def wait_for(self, points, what, timeout=30):
        return wait_until(lambda: (lambda r: r if self.shows(r, points) else None)(self.grab()),
                          timeout=timeout, interval=0.1, what=what)

    # Raised buttons: light bevel top/left (25), dark bottom/right (15).
    @staticmethod
    def button(box):
        x1, y1, x2, y2 = box
        return {(x1, (y1 + y2) // 2): COL_LIGHT, ((x1 + x2) // 2, y1): COL_LIGHT,
                (x2, (y1 + y2) // 2): COL_TEXT, ((x1 + x2) // 2, y2): COL_TEXT}

    def wait_menu(self):
        points = {(135, 60): COL_LOGO_FRAME, (524, 60): COL_LOGO_FRAME}
        for box in (MENU_START, MENU_PREVIOUS):
            points.update(self.button(box))
        return self.wait_for(points, "the main menu")

    def count(self, rows, box, index):
        x1, y1, x2, y2 = box
        want = self.rgb(index)
        return sum(1 for y in range(y1, y2 + 1) for x in range(x1, x2 + 1) if rows[y][x] == want)


def region(rows, box):
    x1, y1, x2, y2 = box
    return [tuple(rows[y][x1:x2 + 1]) for y in range(y1, y2 + 1)]


def image_region(image, box):
    x1, y1, x2, y2 = box
    return [image.pixels[y * image.width + x1:y * image.width + x2 + 1] for y in range(y1, y2 + 1)]


def open_menu(game, screens):
    game.click_box(*TITLE_PLAY)
    screens.wait_menu()


def start_game(game, screens):
    """From the main menu into a new game; returns its first screenshot."""
    game.click_box(*MENU_START)
    time.sleep(0.5)
    return wait_until(lambda: _play_shot(game), timeout=30, interval=0.2, what="the play screen")


def _play_shot(game):
    # F3 pressed while the game sets itself up is cleared from the key buffer: try again.
    try:
        shot = game.screenshot(timeout=3)
    except HarnessError:
        return None
    # The play screen's score panel is black inside its frame, under the "Score:" caption.
    return shot if shot.index(575, 130) == COL_BLACK and shot.index(575, 281) == COL_BLACK else None


def cell_box(c, r):
    x, y = WELL[0] + CELL * c, WELL[1] + CELL * r
    return (x, y, x + CELL - 1, y + CELL - 1)


def occupied(image, c, r):
    """True when a well cell shows anything but the empty well's black."""
    return any(v != COL_BLACK for row in image_region(image, cell_box(c, r)) for v in row)


def drop_pieces(game, n):
    """Drops n pieces straight down and waits for each to lock."""
    for _ in range(n):
        game.key("space")
        time.sleep(0.9)


def key_names(value):
    return [{".": "period", "/": "slash", "-": "minus", " ": "space"}.get(ch, ch) for ch in value]


def type_plain(game, value):
    for name in key_names(value):
        game.key(name, hold=0.04, after=0.04)


def leave_to_exit(game, screens):
    """From the main menu back to the title and out of the program; returns the exit status."""
    game.click_box(*MENU_PREVIOUS)
    wait_until(lambda: _title_shown(screens), timeout=30, what="the title screen")
    game.click_box(*TITLE_EXIT)
    return game.wait_exit()


def _title_shown(screens):
    rows = screens.grab()
    return screens.shows(rows, {(TITLE_EXIT[0], 362): 14, (TITLE_EXIT[2], 362): 48})


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
            screens = Screens(game)
            open_menu(game, screens)
            start_game(game, screens)
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
