# SPDX-License-Identifier: MIT
"""Durability of the game's files: whatever moment the game is killed at, during or after a save,
a reset of the table or the exit, each file is either its old or its new complete version; a full
disk, a lost display, a broken pipe, a slow disk or another user's files lose nothing.

A preloaded shim (QVX_SLOW_IO, built from slow_io.c) makes every write of the game's files slow, so
that the kills land inside the write and around the rename as well as after them.
"""

import errno
import fcntl
import os
import random
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from harness import (ALERT_AREA, DEFAULT_HIGH_SCORE_TABLE, DIALOG_AREA, HIGH_SCORES_EXIT, HIGH_SCORES_WAITING,
                     MENU_VIEW_HIGH_SCORES, SAVED_GAME_SIGNATURE, TITLE_EXIT, Screens, Session, enter_high_score,
                     high_score_entries, leave_to_exit, new_game, open_menu, reset_high_scores, wait_until)
from qvx_formats import (COL_WHITE, DEFAULT_GAME_NAME, GAME_STATE_SIZE, HIGH_SCORE_COUNT, HIGH_SCORE_FILE,
                         HIGH_SCORE_FILE_SIZE, SAVED_GAME_SIZE, SCREENSHOT_FILE, SETTINGS_FILE)


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
    if len(data) != SAVED_GAME_SIZE or data[GAME_STATE_SIZE:] != SAVED_GAME_SIGNATURE:
        return False
    block = struct.unpack_from("<16i", data, 0)
    next_element, element = struct.unpack_from("<2i", data, 64)
    well = struct.unpack_from("<200i", data, 72)
    delay = struct.unpack_from("<i", data, 888)[0]
    return (1 <= next_element <= 8 and element in VALID_ELEMENTS and
            all(0 <= v <= 8 for v in block + well) and 2 <= delay <= 55)


def noise_save(seed):
    rng = random.Random(seed)
    return bytes(rng.randrange(256) for _ in range(GAME_STATE_SIZE)) + SAVED_GAME_SIGNATURE


def old_table(seed, step=1000, tag=b"KEEPER"):
    out = bytearray()
    for i in range(HIGH_SCORE_COUNT):
        out += struct.pack("<4i16s", 90000 - step * i - seed, 5, 50, 150, tag + b"%02d" % i)
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
    """F5, keep the proposed name, confirm the overwrite."""
    game.key("F5")
    wait_white(game, screens, DIALOG_AREA, 300, "the save dialog")
    game.key("Return")
    wait_white(game, screens, ALERT_AREA, 100, "the overwrite question")
    game.key("Return")


class KilledWhileWriting(unittest.TestCase):
    def kill_at_every_point(self, name, old_of, start_write, size, is_new, what):
        """At each kill point: the game, `name` holding old_of(n), is made to write it by
        start_write(game) and killed on the way; the file must then be the old one or is_new(it)."""
        phases = []
        for n, fraction in enumerate(KILL_POINTS):
            old = old_of(n)
            with Session(files={name: old}, env=slow_env()) as game:
                start_write(game)
                kill_when_writing(game, fraction, size)
                now = read(game.path(name))
            self.assertTrue(now == old or is_new(now), "killed at %s: a damaged %s of %d bytes"
                            % (fraction, what, len(now)))
            phases.append("old" if now == old else "new")
        print("\n  file after each kill:", " ".join(phases), file=sys.stderr)
        # The kill points must have caught the game both before and after the rename.
        self.assertIn("old", phases)
        self.assertIn("new", phases)

    def test_saves_killed_at_every_point_leave_the_old_or_the_new_game(self):
        self.kill_at_every_point(DEFAULT_GAME_NAME, noise_save, lambda game: save_over_untitled(game, new_game(game)),
                                 SAVED_GAME_SIZE, valid_save, "saved game")

    def test_resets_killed_at_every_point_leave_the_old_or_the_default_table(self):
        def reset(game):
            screens = Screens(game)
            open_menu(game, screens)
            game.click_box(*MENU_VIEW_HIGH_SCORES)
            screens.wait_high_scores()
            reset_high_scores(game, screens)
        self.kill_at_every_point(HIGH_SCORE_FILE, old_table, reset, HIGH_SCORE_FILE_SIZE,
                                 lambda now: now == DEFAULT_HIGH_SCORE_TABLE, "table")

    def test_exits_killed_while_writing_the_table_leave_a_whole_table(self):
        # A short file: the table in memory (three entries, then zeros) differs from it.
        short = old_table(7)[:100]
        whole = short[:96] + bytes(HIGH_SCORE_FILE_SIZE - 96)

        def leave(game):
            Screens(game)
            game.key("Escape")
        self.kill_at_every_point(HIGH_SCORE_FILE, lambda n: short, leave, HIGH_SCORE_FILE_SIZE,
                                 lambda now: now == whole, "table")


class SessionEnd(unittest.TestCase):
    def test_a_lost_display_writes_the_table_and_the_settings_on_the_title_and_mid_game(self):
        short = old_table(3)[:100]
        for start in (Screens, new_game):
            with Session(files={HIGH_SCORE_FILE: short}) as game:
                start(game)
                game.stop_display()
                self.assertEqual(game.wait_exit(timeout=60), 1, "the status of a lost display")
                self.assertEqual(read(game.path(HIGH_SCORE_FILE)), short[:96] + bytes(HIGH_SCORE_FILE_SIZE - 96))
                self.assertIn(b"[quorvex]", read(game.path(SETTINGS_FILE)))

    def test_a_broken_pipe_does_not_end_the_game(self):
        with Session() as game:
            Screens(game)
            game.signal(signal.SIGPIPE)
            Screens(game)   # the game still answers F3
            game.click_box(*TITLE_EXIT)
            self.assertEqual(game.wait_exit(), 0)


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
        with Session(workdir=self.mount, files={DEFAULT_GAME_NAME: old_save, HIGH_SCORE_FILE: old_hsc}) as game:
            screens = new_game(game)

            # A save on a full disk: "Error saving file", the old file as it was, nothing left over.
            self.fill()
            save_over_untitled(game, screens)
            wait_white(game, screens, ALERT_AREA, 100, "the save error")
            self.assertLess(white(screens, (160, 140, 480, 200)), 50, "the file selector has closed")
            game.key("Return")
            time.sleep(0.3)
            self.assertEqual(read(game.path(DEFAULT_GAME_NAME)), old_save)
            self.assert_only([DEFAULT_GAME_NAME, HIGH_SCORE_FILE, SCREENSHOT_FILE])

            # With room again the same save succeeds.
            self.free()
            save_over_untitled(game, screens)
            wait_until(lambda: valid_save(read(game.path(DEFAULT_GAME_NAME))), what="the new saved game")
            saved = read(game.path(DEFAULT_GAME_NAME))

            # A reset and the exit on a full disk fail silently; the table on disk stays whole.
            game.key("F2")
            screens.wait_menu()
            self.fill()
            game.click_box(*MENU_VIEW_HIGH_SCORES)
            screens.wait_high_scores()
            reset_high_scores(game, screens)
            time.sleep(1.0)
            game.click_box(*HIGH_SCORES_EXIT)
            screens.wait_menu()
            self.assertEqual(leave_to_exit(game, screens), 0)
            self.assertEqual(read(game.path(HIGH_SCORE_FILE)), old_hsc)
            self.assertEqual(read(game.path(DEFAULT_GAME_NAME)), saved)
            self.assert_only([DEFAULT_GAME_NAME, HIGH_SCORE_FILE, SCREENSHOT_FILE])


class Neighbours(unittest.TestCase):
    """Links and FIFOs planted by another user, a second copy of the game, shared tables."""

    NOBODY = 65534

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qvx-neighbours-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)

    def at(self, name):
        return os.path.join(self.dir, name)

    def reset_table(self, game, then=lambda: None):
        screens = Screens(game)
        then()
        open_menu(game, screens)
        game.click_box(*MENU_VIEW_HIGH_SCORES)
        screens.wait_high_scores()
        reset_high_scores(game, screens)
        wait_until(lambda: read(self.at(HIGH_SCORE_FILE)) == DEFAULT_HIGH_SCORE_TABLE, what="the reset table")
        game.click_box(*HIGH_SCORES_EXIT)
        return screens

    def test_planted_links_and_fifos_neither_redirect_nor_hang(self):
        if os.geteuid() != 0:
            self.skipTest("planting another user's link needs root")
        with open(self.at("victim"), "wb") as f:
            f.write(b"precious")
        for name in (SCREENSHOT_FILE, SETTINGS_FILE, HIGH_SCORE_FILE + ".tmp"):
            os.symlink(self.at("victim"), self.at(name))
            os.lchown(self.at(name), self.NOBODY, self.NOBODY)
        os.mkfifo(self.at(SETTINGS_FILE + ".tmp"))
        with Session(workdir=self.dir) as game:
            screens = self.reset_table(game)
            self.assertEqual(leave_to_exit(game, screens), 0)
        self.assertEqual(read(self.at("victim")), b"precious")
        for name in (SCREENSHOT_FILE, SETTINGS_FILE, HIGH_SCORE_FILE):
            self.assertTrue(os.path.isfile(self.at(name)) and not os.path.islink(self.at(name)), name)

        # A FIFO in the table's place is an unreadable table, not a wait for ever.
        os.remove(self.at(HIGH_SCORE_FILE))
        os.mkfifo(self.at(HIGH_SCORE_FILE))
        with Session(workdir=self.dir, wait_for_window=False) as game:
            self.assertEqual(game.wait_exit(timeout=60), 1)
            self.assertIn("Error reading file: quorvex.hsc", game.stdout)

    def test_a_high_score_survives_the_other_copys_exit(self):
        with Session(workdir=self.dir) as first, Session(workdir=self.dir) as second:
            first_screens = Screens(first)
            screens = Screens(second)
            open_menu(second, screens)
            enter_high_score(second, screens, "SECOND")
            second.click_box(*HIGH_SCORES_EXIT)
            screens.wait_menu()
            self.assertEqual(leave_to_exit(second, screens), 0)
            open_menu(first, first_screens)
            self.assertEqual(leave_to_exit(first, first_screens), 0)
        self.assertEqual(high_score_entries(read(self.at(HIGH_SCORE_FILE)))[0][4], b"SECOND" + bytes(10))

    def test_shared_and_linked_tables_are_written_where_they_are(self):
        # A table the player may write in a folder the player may not.
        with open(self.at(HIGH_SCORE_FILE), "wb") as f:
            f.write(old_table(1))
        os.chmod(self.at(HIGH_SCORE_FILE), 0o666)
        with Session(workdir=self.dir, user=self.NOBODY) as game:
            screens = self.reset_table(game, then=lambda: os.chmod(self.dir, 0o555))
            self.assertEqual(leave_to_exit(game, screens), 0)
        self.assertEqual(os.stat(self.at(HIGH_SCORE_FILE)).st_mode & 0o777, 0o666)

        # A link into another folder is written through and stays a link, with its bits.
        os.chmod(self.dir, 0o755)
        os.mkdir(self.at("synced"))
        os.replace(self.at(HIGH_SCORE_FILE), self.at("synced/real.hsc"))
        os.chmod(self.at("synced/real.hsc"), 0o640)
        os.symlink("synced/real.hsc", self.at(HIGH_SCORE_FILE))
        with open(self.at("synced/real.hsc"), "wb") as f:
            f.write(old_table(2))
        with Session(workdir=self.dir) as game:
            self.assertEqual(leave_to_exit(game, self.reset_table(game)), 0)
        self.assertTrue(os.path.islink(self.at(HIGH_SCORE_FILE)))
        self.assertEqual(read(self.at("synced/real.hsc")), DEFAULT_HIGH_SCORE_TABLE)
        self.assertEqual(os.stat(self.at("synced/real.hsc")).st_mode & 0o777, 0o640)
        self.assertEqual(os.listdir(self.at("synced")), ["real.hsc"])

    def test_links_to_fifos_are_never_replaced(self):
        names = (SETTINGS_FILE, HIGH_SCORE_FILE, SCREENSHOT_FILE)
        os.mkdir(self.at("elsewhere"))
        with Session(workdir=self.dir) as game:
            Screens(game)
            os.remove(self.at(SCREENSHOT_FILE))
            for name in names:
                os.mkfifo(self.at("elsewhere/" + name))
                os.symlink("elsewhere/" + name, self.at(name))
            game.key("F3", hold=0.5)
            game.click_box(*TITLE_EXIT)
            self.assertEqual(game.wait_exit(), 0)
        self.assertEqual(sorted(os.listdir(self.at("elsewhere"))), sorted(names))
        for name in names:
            self.assertTrue(stat.S_ISFIFO(os.stat(self.at(name)).st_mode), name)

    def test_stale_temporary_files_are_removed_at_start_up(self):
        kept = {".~fresh0000.tmp": "file", ".~old_0000.tmp": "file", ".~dir000000.tmp": "dir",
                ".~link00000.tmp": "link", "x.~old00000.tmp": "file"}
        for name, kind in list(kept.items()) + [(".~old000000.tmp", "file"), (".~a1.tmp", "file")]:
            path = self.at(name)
            {"dir": os.mkdir, "link": lambda p: os.symlink("victim", p)}.get(kind, lambda p: open(p, "wb").close())(path)
            if "fresh" not in name:
                os.utime(path, (time.time() - 3600,) * 2, follow_symlinks=False)
        with Session(workdir=self.dir) as game:
            Screens(game)
            self.assertEqual(sorted(n for n in os.listdir(self.dir) if ".~" in n), sorted(kept))

    def test_two_copies_on_a_slow_disk_keep_both_tables(self):
        first, second = old_table(0, 20, b"FIRST"), old_table(10, 20, b"SECOND")
        best = sorted(high_score_entries(first) + high_score_entries(second), reverse=True)[:HIGH_SCORE_COUNT]
        env = dict(slow_env(), QVX_SLOW_IO_US="20000")   # a table takes 10 s, the lock's wait 5
        with open(self.at(HIGH_SCORE_FILE), "wb") as f:
            f.write(first)
        with Session(workdir=self.dir, env=env) as one:
            Screens(one)
            with open(self.at(HIGH_SCORE_FILE), "wb") as f:   # the first copy has read its table
                f.write(second)
            with Session(workdir=self.dir, env=env) as two:
                Screens(two)
                one.click_box(*TITLE_EXIT)
                wait_until(lambda: temporary_files(one), what="the first copy's write")
                two.click_box(*TITLE_EXIT)
                self.assertEqual(two.wait_exit(timeout=120), 0)
            self.assertEqual(one.wait_exit(timeout=120), 0)
        self.assertEqual(high_score_entries(read(self.at(HIGH_SCORE_FILE))), best)

    def test_a_reset_shows_that_it_waits_for_another_copy(self):
        with Session(workdir=self.dir) as game:
            screens = Screens(game)
            open_menu(game, screens)
            game.click_box(*MENU_VIEW_HIGH_SCORES)
            screens.wait_high_scores()
            folder = os.open(self.dir, os.O_RDONLY)
            fcntl.flock(folder, fcntl.LOCK_EX)   # the lock another copy takes
            reset_high_scores(game, screens)
            wait_white(game, screens, HIGH_SCORES_WAITING, 100, "the notice of the wait")
            os.close(folder)
            table = self.at(HIGH_SCORE_FILE)
            wait_until(lambda: os.path.exists(table) and read(table) == DEFAULT_HIGH_SCORE_TABLE, what="the reset")

    def test_saves_need_a_name_and_the_working_folder(self):
        with Session(workdir=self.dir) as game:
            screens = new_game(game)
            game.key("F5")
            wait_white(game, screens, DIALOG_AREA, 300, "the save dialog")
            game.keys(*["BackSpace"] * len(DEFAULT_GAME_NAME), hold=0.03, after=0.03)
            game.xdotool("type", "--delay", "60", "пример.svg")   # the selector drops every letter
            game.key("Return")
            wait_white(game, screens, ALERT_AREA, 100, "the refused name")
            game.key("Return")
            shutil.rmtree(self.dir)
            game.key("F5")
            wait_white(game, screens, ALERT_AREA, 100, "the save error")
            self.assertLess(white(screens, (160, 140, 480, 200)), 50, "no file selector elsewhere")

    def test_a_250_character_save_name_saves(self):
        name = "a" * 246 + ".svg"
        with Session(workdir=self.dir) as game:
            screens = new_game(game)
            game.key("F5")
            wait_white(game, screens, DIALOG_AREA, 300, "the save dialog")
            game.keys(*["BackSpace"] * len(DEFAULT_GAME_NAME), hold=0.03, after=0.03)
            game.xdotool("type", "--delay", "30", name[:-4])
            game.key("Return")
            wait_until(lambda: os.path.exists(self.at(name)), what="the saved game")
            self.assertTrue(valid_save(wait_until(lambda: read(self.at(name)) or None)))


if __name__ == "__main__":
    unittest.main()
