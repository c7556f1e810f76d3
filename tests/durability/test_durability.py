"""Durability of the game's files: whatever moment the game is killed at, during or after a save,
a reset of the table or the exit, each file is either its old or its new complete version; and a
full disk gives the usual messages and loses nothing.

A preloaded shim (QVX_SLOW_IO, built from slow_io.c) makes every write of the game's files slow, so
that the kills land inside the write and around the rename as well as after them.
"""

import errno
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from harness import Session, wait_until  # noqa: E402
from test_frontend import (Screens, open_menu, start_game, leave_to_exit, MENU_SCORES,  # noqa: E402
                           COL_WHITE)
import test_frontend_scores as scores  # noqa: E402

SIGNATURE = b"Quorvex Vastrelon v2.0 (Windows Only Version)\0"
SAVE_SIZE = 958
TABLE_SIZE = 480
DEFAULT_TABLE = scores.DEFAULT_ENTRY * 15
DIALOG_AREA = (160, 140, 480, 340)
ALERT_AREA = (200, 200, 440, 280)
PAUSE_US = 1500                     # per byte written to a temporary file
RENAME_PAUSE_BYTES = 50             # slow_io.c: a rename pauses as long as this many bytes
VALID_ELEMENTS = set(range(1, 9)) | set(range(11, 19)) | set(range(21, 29)) | set(range(31, 39))

# Kill points as fractions of the slowed write and rename of a file (above 1: after it); AFTER
# waits until the temporary file is gone, so the first and the last point never depend on timing.
AFTER = None
KILL_POINTS = (0.0, 0.3, 0.6, 0.85, 0.97, 1.05, AFTER)


def slow_env():
    shim = os.environ.get("QVX_SLOW_IO")
    if not shim or not os.path.exists(shim):
        raise unittest.SkipTest("QVX_SLOW_IO must name the built slow_io shim")
    return {
        "LD_PRELOAD": shim,
        "QVX_SLOW_IO_US": str(PAUSE_US),
        # The shim comes before the sanitizer runtime in the list of libraries.
        "ASAN_OPTIONS": "fast_unwind_on_malloc=0:verify_asan_link_order=0",
    }


def write_seconds(size):
    return (size + 2 * RENAME_PAUSE_BYTES) * PAUSE_US / 1e6


def valid_save(data):
    """True for a complete saved game holding values that play can produce."""
    if len(data) != SAVE_SIZE or data[912:] != SIGNATURE:
        return False
    block = struct.unpack_from("<16i", data, 0)
    next_element, element = struct.unpack_from("<2i", data, 64)
    well = struct.unpack_from("<200i", data, 72)
    delay = struct.unpack_from("<i", data, 888)[0]
    return (1 <= next_element <= 8 and element in VALID_ELEMENTS and
            all(0 <= v <= 8 for v in block + well) and 2 <= delay <= 55)


def noise_save(seed):
    rng = random.Random(seed)
    return bytes(rng.randrange(256) for _ in range(912)) + SIGNATURE


def old_table(seed):
    out = bytearray()
    for i in range(15):
        out += struct.pack("<4i16s", 90000 - 1000 * i - seed, 5, 50, 150, b"KEEPER%02d" % i)
    return bytes(out)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def temporary_files(game):
    return [n for n in os.listdir(game.workdir) if n.startswith(".~") and n.endswith(".tmp")]


def kill_when_writing(game, fraction, size):
    """Waits for the game to start writing a temporary file, then kills it `fraction` of the way
    through (AFTER: once the temporary file has been renamed)."""
    temp = game.path(wait_until(lambda: (temporary_files(game) or [None])[0], timeout=60,
                                interval=0.005, what="a temporary file"))
    if fraction is AFTER:
        wait_until(lambda: not os.path.exists(temp), timeout=60, interval=0.01, what="the rename")
    else:
        time.sleep(fraction * write_seconds(size))
    try:
        os.killpg(game.proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass    # the exit had already finished
    game.proc.wait()


def white(screens, area):
    return screens.count(screens.grab(), area, COL_WHITE)


def wait_white(game, screens, area, minimum, what):
    game.move(630, 470)
    return wait_until(lambda: white(screens, area) > minimum, interval=0.2, what=what)


def save_over_untitled(game, screens):
    """F5, keep the proposed "untitled.svg", confirm the overwrite."""
    game.key("F5")
    wait_white(game, screens, DIALOG_AREA, 300, "the save dialog")
    game.key("Return")
    wait_white(game, screens, ALERT_AREA, 100, "the overwrite question")
    game.key("Return")


class KilledWhileWriting(unittest.TestCase):
    def check_phases(self, phases):
        print("\n  file after each kill:", " ".join(phases), file=sys.stderr)
        # The kill points must have caught the game both before and after the rename.
        self.assertIn("old", phases)
        self.assertIn("new", phases)

    def test_saves_killed_at_every_point_leave_the_old_or_the_new_game(self):
        phases = []
        for n, fraction in enumerate(KILL_POINTS):
            old = noise_save(n)
            with Session(files={"untitled.svg": old}, env=slow_env()) as game:
                screens = Screens(game)
                open_menu(game, screens)
                start_game(game, screens)
                save_over_untitled(game, screens)
                kill_when_writing(game, fraction, SAVE_SIZE)
                now = read(game.path("untitled.svg"))
                if now == old:
                    phases.append("old")
                else:
                    self.assertTrue(valid_save(now), "killed at %s: a damaged saved game of %d bytes"
                                    % (fraction, len(now)))
                    phases.append("new")
        self.check_phases(phases)

    def test_resets_killed_at_every_point_leave_the_old_or_the_default_table(self):
        phases = []
        for n, fraction in enumerate(KILL_POINTS):
            old = old_table(n)
            with Session(files={"quorvex.hsc": old}, env=slow_env()) as game:
                screens = Screens(game)
                open_menu(game, screens)
                game.click_box(*MENU_SCORES)
                scores.wait_table(screens)
                game.click_box(*scores.TABLE_RESET)
                kill_when_writing(game, fraction, TABLE_SIZE)
                now = read(game.path("quorvex.hsc"))
                self.assertTrue(now in (old, DEFAULT_TABLE),
                                "killed at %s: a damaged table of %d bytes" % (fraction, len(now)))
                phases.append("old" if now == old else "new")
        self.check_phases(phases)

    def test_exits_killed_while_writing_the_table_leave_a_whole_table(self):
        # A short file: the table in memory (three entries, then zeros) differs from it.
        short = old_table(7)[:100]
        whole = short[:96] + bytes(TABLE_SIZE - 96)
        phases = []
        for fraction in KILL_POINTS:
            with Session(files={"quorvex.hsc": short}, env=slow_env()) as game:
                Screens(game)
                game.key("Escape")
                kill_when_writing(game, fraction, TABLE_SIZE)
                now = read(game.path("quorvex.hsc"))
                self.assertTrue(now in (short, whole),
                                "killed at %s: a damaged table of %d bytes" % (fraction, len(now)))
                phases.append("old" if now == short else "new")
        self.check_phases(phases)


class FullDisk(unittest.TestCase):
    """The working directory is a small tmpfs, filled up just before each write."""

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("mounting a tmpfs needs root")
        self.mount = tempfile.mkdtemp(prefix="qvx-full-")
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m,mode=0777", "tmpfs", self.mount],
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if r.returncode != 0:
            os.rmdir(self.mount)
            self.skipTest("cannot mount a tmpfs: " + r.stderr.decode(errors="replace").strip())

    def tearDown(self):
        subprocess.run(["umount", "-l", self.mount], check=False)
        shutil.rmtree(self.mount, ignore_errors=True)

    def fill(self):
        """Takes every free byte of the tmpfs."""
        path = os.path.join(self.mount, "filler")
        with open(path, "ab", buffering=0) as f:
            for chunk in (65536, 4096, 1):
                while True:
                    try:
                        f.write(b"\0" * chunk)
                    except OSError as e:
                        if e.errno != errno.ENOSPC:
                            raise
                        break

    def free(self):
        os.remove(os.path.join(self.mount, "filler"))

    def assert_only(self, names):
        self.assertEqual(sorted(n for n in os.listdir(self.mount) if n != "filler"), sorted(names))

    def test_a_full_disk_gives_the_messages_and_loses_nothing(self):
        old_save, old_hsc = noise_save(99), old_table(99)
        with Session(workdir=self.mount, files={"untitled.svg": old_save, "quorvex.hsc": old_hsc}) as game:
            screens = Screens(game)
            open_menu(game, screens)
            start_game(game, screens)

            # A save on a full disk: "Error saving file", the old file as it was, nothing left over.
            self.fill()
            save_over_untitled(game, screens)
            wait_white(game, screens, ALERT_AREA, 100, "the save error")
            self.assertLess(white(screens, (160, 140, 480, 200)), 50, "the file selector has closed")
            game.key("Return")
            time.sleep(0.3)
            self.assertEqual(read(game.path("untitled.svg")), old_save)
            self.assert_only(["untitled.svg", "quorvex.hsc", "quorvex.pcx"])

            # With room again the same save succeeds.
            self.free()
            save_over_untitled(game, screens)
            wait_until(lambda: valid_save(read(game.path("untitled.svg"))), what="the new saved game")
            saved = read(game.path("untitled.svg"))

            # A reset and the exit on a full disk fail silently; the table on disk stays whole.
            game.key("F2")
            screens.wait_menu()
            self.fill()
            game.click_box(*MENU_SCORES)
            scores.wait_table(screens)
            game.click_box(*scores.TABLE_RESET)
            time.sleep(1.0)
            game.click_box(*scores.TABLE_EXIT)
            screens.wait_menu()
            self.assertEqual(leave_to_exit(game, screens), 0)
            self.assertEqual(read(game.path("quorvex.hsc")), old_hsc)
            self.assertEqual(read(game.path("untitled.svg")), saved)
            self.assert_only(["untitled.svg", "quorvex.hsc", "quorvex.pcx"])


if __name__ == "__main__":
    unittest.main()
