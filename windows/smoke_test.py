# SPDX-License-Identifier: MIT
"""Smoke test of quorvex.exe under Wine: starts, draws, takes keys and clicks, writes its files, exits.

Usage: python3 windows/smoke_test.py PATH/quorvex.exe   (quorvex.dat beside it)

Every run gets a fresh Wine prefix, a temporary HOME whose ALSA default device is the null device
(so that DirectSound initialises), a temporary working directory and its own Xvfb. Wine's debugger
and menu builder are off and every Wine command runs under a timeout. The window is driven by the
same X11 driver as the Linux end-to-end tests (tests/e2e/x11driver.py), but never focused with
xdotool (that deadlocks Wine at exit): with no window manager the keyboard follows the pointer,
which is parked inside the window before any key or grab.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
# The game's formats module, generated from its headers as the Linux build makes it.
FORMATS_DIR = tempfile.mkdtemp(prefix="qvx-formats-")
subprocess.run(["cmake", "-DSOURCE=" + ROOT, "-DOUT=" + os.path.join(FORMATS_DIR, "qvx_formats.py"),
                "-P", os.path.join(ROOT, "tests", "support", "qvx_formats.cmake")], check=True, timeout=60)
sys.path[:0] = [os.path.join(ROOT, "tests", "e2e"), FORMATS_DIR]
from harness import (MENU_PREVIOUS_MENU, MENU_START_GAME, SCREEN_H, SCREEN_W, TITLE_EXIT,  # noqa: E402
                     TITLE_PLAY_GAME, WINDOW_NAME, HarnessError, menu_shown, occupied_cells, same_colour,
                     screenshot_by_key, title_shown, wait_for_menu, wait_for_title)
from x11driver import X11Window, stop_group, wait_until  # noqa: E402
from qvx_formats import (COL_TITLE_DARK, COL_TITLE_LIGHT, HIGH_SCORE_FILE, HIGH_SCORE_FILE_SIZE,  # noqa: E402
                         SCREENSHOT_FILE)

# Generous limits: a loaded CI machine must never fail the test by luck.
WINE_SETUP_TIMEOUT = 300
GAME_TIMEOUT = 600
STEP_TIMEOUT = 60
# The park position of the pointer: inside the window, on no button, outside the well.
POINTER_PARK = (620, 10)


class WineGame(X11Window):
    """The game under Wine with everything private; cleaned up by close()."""

    def __init__(self, exe):
        super().__init__(WINDOW_NAME)
        self.exe = os.path.abspath(exe)
        self.root = tempfile.mkdtemp(prefix="qvx-wine-")
        self.home = os.path.join(self.root, "home")
        self.prefix = os.path.join(self.root, "prefix")
        self.workdir = os.path.join(self.root, "work")
        for path in (self.home, self.workdir):
            os.makedirs(path)
        with open(os.path.join(self.home, ".asoundrc"), "w") as f:
            f.write("pcm.!default { type null }\n")
        self.env = dict(os.environ)
        self.env.update({
            "HOME": self.home,
            "WINEPREFIX": self.prefix,
            "WINEARCH": "win32",
            "WINEDEBUG": "-all",
            # No menu entries, and no offer to install Mono or Gecko into the fresh prefix.
            "WINEDLLOVERRIDES": "winemenubuilder.exe=d;mscoree=;mshtml=",
        })
        self.env.pop("DISPLAY", None)
        self.proc = None
        self.returncode = None

    # -- set-up and tear-down ------------------------------------------------------------------

    def wine(self, *args, timeout=STEP_TIMEOUT):
        result = subprocess.run(["timeout", "-k", "10", str(timeout)] + list(args), env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        if result.returncode != 0:
            raise HarnessError("%s failed (%d): %s" % (" ".join(args), result.returncode,
                                                       result.stdout.decode(errors="replace")[-2000:]))

    def make_prefix(self):
        """A fresh prefix with no debugger: a crash ends the process instead of waiting in winedbg."""
        self.wine("wineboot", "--init", timeout=WINE_SETUP_TIMEOUT)
        self.wine("wineserver", "--wait", timeout=WINE_SETUP_TIMEOUT)
        aedebug = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"
        self.wine("wine", "reg", "delete", aedebug, "/v", "Debugger", "/f")
        self.wine("wine", "reg", "add", aedebug, "/v", "Auto", "/t", "REG_SZ", "/d", "0", "/f")
        self.wine("wineserver", "--wait", timeout=WINE_SETUP_TIMEOUT)

    def start_xvfb(self):
        self.start_display(1024, 768, timeout=STEP_TIMEOUT)
        self.env["DISPLAY"] = self.display

    def start(self):
        self.make_prefix()
        self.start_xvfb()
        self._out = open(os.path.join(self.root, "game.log"), "wb")
        self.proc = subprocess.Popen(["timeout", "-k", "10", str(GAME_TIMEOUT), "wine", self.exe],
                                     cwd=self.workdir, env=self.env, stdin=subprocess.DEVNULL,
                                     stdout=self._out, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        self.find_window()

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            stop_group(self.proc)
        self.proc = None
        if os.path.isdir(self.prefix):
            # Ends this prefix's server and every Wine process left in it, nothing else.
            subprocess.run(["timeout", "30", "wineserver", "--kill"], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.stop_display()
        if getattr(self, "_out", None):
            self._out.close()
            self._out = None
        if os.environ.get("QVX_KEEP_WINE_DIR") is None:
            shutil.rmtree(self.root, ignore_errors=True)

    def log(self):
        try:
            with open(os.path.join(self.root, "game.log"), "rb") as f:
                return f.read().decode(errors="replace")[-3000:]
        except OSError:
            return ""

    # -- the process ----------------------------------------------------------------------------

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=STEP_TIMEOUT):
        try:
            self.returncode = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError("the game did not end within %d s" % timeout)
        self.proc = None
        return self.returncode

    def path(self, name):
        return os.path.join(self.workdir, name)

    # -- X input and output ---------------------------------------------------------------------

    def x_env(self):
        return self.env

    def exited_early(self, when):
        raise HarnessError("the game ended (status %s) %s\n%s" % (self.proc.poll(), when, self.log()))

    def find_window(self):
        try:
            self.wait_until_shown(timeout=GAME_TIMEOUT / 4, interval=0.25)
        except HarnessError as e:
            # A window (shown or not) still named after the executable: the game stalled after creating it.
            raise HarnessError("%s; windows shown: %s" % (e, self.window_names())) from None
        size = self.window_size()
        if size != (SCREEN_W, SCREEN_H):
            raise HarnessError("the window is %dx%d, not %dx%d" % (size + (SCREEN_W, SCREEN_H)))
        self.park_pointer()

    def park_pointer(self):
        self.move(*POINTER_PARK, after=0.2)

    def key(self, name, hold=0.1, after=0.1):
        """One press the game sees in its key-state array (the pointer is inside the window)."""
        super().key(name, hold=hold, after=after)

    def click_box(self, x1, y1, x2, y2):
        """Presses and releases the left button in the middle of a rectangle, then parks the pointer."""
        super().click_box(x1, y1, x2, y2, settle=0.15, hold=0.15, after=0.2)
        self.park_pointer()

    def grab(self):
        """The window's pixels as RGB rows, read from the X server."""
        self.park_pointer()
        return super().grab()

    def screenshot(self):
        """Presses F3 until the game writes a complete quorvex.pcx, and returns it."""
        return screenshot_by_key(self.path(SCREENSHOT_FILE), lambda: self.key("F3"), STEP_TIMEOUT,
                                 retry=3.0, settle=0.5)


def same_as_window(image, rows):
    """Share of pixels of a screenshot that match the window's pixels (within rounding)."""
    matching = 0
    for y in range(SCREEN_H):
        row = rows[y]
        for x in range(SCREEN_W):
            if same_colour(image.rgb(x, y), row[x]):
                matching += 1
    return matching / (SCREEN_W * SCREEN_H)


def screen_shown(game, title):
    """"title" or "menu" when that screen shows in the window, else None."""
    _, _, rows = game.grab()
    if title_shown(rows, title.palette):
        return "title"
    return "menu" if menu_shown(rows, title.palette) else None


def check(condition, message):
    if not condition:
        raise HarnessError(message)


def smoke(exe):
    game = WineGame(exe)
    try:
        started = time.monotonic()
        game.start()
        print("window %s after %.1f s" % (game.window, time.monotonic() - started))

        # F3 on the title screen: a 640x480 PCX of the title, as shown in the window.
        title = game.screenshot()
        check((title.width, title.height) == (SCREEN_W, SCREEN_H),
              "quorvex.pcx is %dx%d" % (title.width, title.height))
        for x1, y1, x2, y2 in (TITLE_PLAY_GAME, TITLE_EXIT):
            middle = (y1 + y2) // 2
            check(title.index(x1, middle) == COL_TITLE_LIGHT and title.index(x2, middle) == COL_TITLE_DARK,
                  "the screenshot does not show the title buttons")
        wait_for_title(game, title, timeout=STEP_TIMEOUT)
        _, _, rows = game.grab()
        share = same_as_window(title, rows)
        check(share > 0.99, "the screenshot matches only %.1f%% of the window" % (100 * share))
        print("F3: quorvex.pcx %dx%d of the title, %.1f%% as in the window"
              % (title.width, title.height, 100 * share))

        # The mouse: PLAY GAME, then Start Game; the play field with a piece in the well.
        game.click_box(*TITLE_PLAY_GAME)
        wait_for_menu(game, title.palette, timeout=STEP_TIMEOUT)
        game.click_box(*MENU_START_GAME)
        play = wait_until(lambda: (lambda s: s if occupied_cells(s) else None)(game.screenshot()),
                          timeout=STEP_TIMEOUT, interval=0.2, what="a piece in the well")
        print("play field: cells %s occupied" % sorted(occupied_cells(play)))

        # Esc leaves the game for the menu (which waits for the key's release), the menu's
        # Previous Menu leads to the title, and the EXIT button ends the program.
        game.key("Escape")
        back = wait_until(lambda: screen_shown(game, title), timeout=STEP_TIMEOUT, interval=0.2,
                          what="the menu or the title after Esc")
        if back == "menu":
            game.click_box(*MENU_PREVIOUS_MENU)
        wait_for_title(game, title, timeout=STEP_TIMEOUT)
        game.click_box(*TITLE_EXIT)
        status = game.wait_exit()
        check(status == 0, "the game ended with status %d\n%s" % (status, game.log()))
        check(os.path.exists(game.path(HIGH_SCORE_FILE)), "no quorvex.hsc written")
        size = os.path.getsize(game.path(HIGH_SCORE_FILE))
        check(size == HIGH_SCORE_FILE_SIZE, "quorvex.hsc has %d bytes" % size)
        print("exit: status 0, quorvex.hsc of %d bytes, %.1f s in all"
              % (size, time.monotonic() - started))
    except BaseException:
        print("game output:\n" + game.log(), file=sys.stderr)
        raise
    finally:
        game.close()
        shutil.rmtree(FORMATS_DIR, ignore_errors=True)


def main():
    if len(sys.argv) != 2:
        print("usage: smoke_test.py PATH/quorvex.exe", file=sys.stderr)
        return 2
    try:
        smoke(sys.argv[1])
    except HarnessError as e:
        print("Windows smoke test FAILED: %s" % e, file=sys.stderr)
        return 1
    print("Windows smoke test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
