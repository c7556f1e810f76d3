# SPDX-License-Identifier: MIT
"""The game's screens for the end-to-end tests: runs the real game and drives it like a player.

A Session (on the X11 driver, x11driver.py) starts Xvfb on a free display, gives the game a
temporary working directory and a temporary HOME whose ALSA default device is the null device (or
a WAV capture), starts the game, finds and focuses its window, reads its screenshots back as
palette indices, and always cleans up its processes and directories.

Below the Session: the game's buttons and well as it lays them out, and the steps through its
screens that the tests share.

Environment: QVX_GAME is the path of the game executable (set by CTest); qvx_formats (generated
from the game's headers, tests/support/qvx_formats.cmake) is on PYTHONPATH.
"""

import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time

from x11driver import DEFAULT_TIMEOUT, START_TIMEOUT, DriverError, X11Window, stop_group, wait_until
from qvx_formats import (COL_BLACK, COL_BORDER, COL_BUTTON_LIGHT, COL_LOGO_FRAME, COL_TEXT, COL_TITLE_DARK,
                         COL_TITLE_LIGHT, COL_WHITE, DEFAULT_HIGH_SCORE_NAME, GAME_H, GAME_TITLE, GAME_W, GAMESG,
                         HIGH_SCORE_COUNT, HIGH_SCORE_ENTRY_SIZE, HIGH_SCORE_NAME_SIZE, SCREENSHOT_FILE, TILE_SIZE)

WINDOW_NAME = GAME_TITLE
SCREEN_W, SCREEN_H = GAME_W, GAME_H

# Sends a window the close request a window manager sends for its close button (tests/support).
CLOSE_WINDOW_TOOL = os.environ.get("QVX_CLOSE_WINDOW", "x11_close_window")
# Preloaded into the game, stands in for the joystick device node (tests/support/fake_joystick.c).
FAKE_JOYSTICK_LIB = os.environ.get("QVX_FAKE_JOYSTICK_LIB")

LSAN_SUPPRESSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lsan.supp")

# The driver's error is the harness's: a test catches one class.
HarnessError = DriverError


def game_path():
    path = os.environ.get("QVX_GAME")
    if not path or not os.path.exists(path):
        raise HarnessError("QVX_GAME must name the built game executable")
    return os.path.abspath(path)


# The game's files: a saved game ends with the signature and its NUL; the high-score table is
# HIGH_SCORE_COUNT entries of score, level, lines, pieces and a name.
SAVED_GAME_SIGNATURE = GAMESG.encode() + b"\0"
HIGH_SCORE_ENTRY = "<4i%ds" % HIGH_SCORE_NAME_SIZE
DEFAULT_HIGH_SCORE_TABLE = struct.pack(HIGH_SCORE_ENTRY, 0, 1, 0, 0, DEFAULT_HIGH_SCORE_NAME.encode()) * HIGH_SCORE_COUNT


def high_score_entries(table):
    return [struct.unpack_from(HIGH_SCORE_ENTRY, table, HIGH_SCORE_ENTRY_SIZE * i) for i in range(HIGH_SCORE_COUNT)]


# ----------------------------------------------------------------------------------------------
# Images
# ----------------------------------------------------------------------------------------------

class Image:
    """An 8-bit image: width, height, palette (256 RGB triples, 0..255) and pixel indices."""

    def __init__(self, width, height, pixels, palette):
        self.width = width
        self.height = height
        self.pixels = pixels  # bytes, row by row
        self.palette = palette

    def index(self, x, y):
        return self.pixels[y * self.width + x]

    def rgb(self, x, y):
        return self.palette[self.index(x, y)]

    def region(self, x1, y1, x2, y2):
        """Indices of the inclusive rectangle, row by row."""
        return bytes(b for y in range(y1, y2 + 1)
                     for b in self.pixels[y * self.width + x1:y * self.width + x2 + 1])

    def count(self, x1, y1, x2, y2, colour):
        return self.region(x1, y1, x2, y2).count(colour)

    def save_ppm(self, path):
        with open(path, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (self.width, self.height))
            f.write(bytes(c for i in self.pixels for c in self.palette[i]))


def read_pcx(path):
    """Decodes an 8-bit, one-plane RLE PCX file (what the game's screenshot writes)."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 128 + 769 or data[0] != 10:
        raise HarnessError("%s is not a PCX file" % path)
    bpp, xmin, ymin, xmax, ymax = data[3], *struct.unpack_from("<4H", data, 4)
    planes, bytes_per_line = data[65], struct.unpack_from("<H", data, 66)[0]
    if bpp != 8 or planes != 1:
        raise HarnessError("%s is not an 8-bit paletted PCX" % path)
    width, height = xmax - xmin + 1, ymax - ymin + 1
    if data[-769] != 12:
        raise HarnessError("%s has no 256-colour palette" % path)
    pal_bytes = data[-768:]
    palette = [tuple(pal_bytes[i * 3:i * 3 + 3]) for i in range(256)]
    out = bytearray()
    pos, end = 128, len(data) - 769
    line = bytearray()
    while len(out) < width * height and pos < end:
        b = data[pos]
        pos += 1
        if b >= 0xC0:
            run, value = b & 0x3F, data[pos]
            pos += 1
        else:
            run, value = 1, b
        line.extend([value] * run)
        while len(line) >= bytes_per_line:
            out.extend(line[:width])
            del line[:bytes_per_line]
    if len(out) < width * height:
        raise HarnessError("%s is truncated" % path)
    return Image(width, height, bytes(out[:width * height]), palette)


# ----------------------------------------------------------------------------------------------
# A running game
# ----------------------------------------------------------------------------------------------

def screenshot_by_key(path, press, timeout, retry, settle):
    """Presses the screenshot key (`press`) until the game writes a complete PCX file at `path`
    and returns it; the key is pressed again every `retry` seconds, since a press during a fade,
    before the screen's loop polls the keyboard, is not seen."""
    if os.path.exists(path):
        os.remove(path)

    def complete():
        try:
            return read_pcx(path)
        except (OSError, HarnessError, struct.error, ValueError, IndexError):
            return None
    deadline = time.monotonic() + timeout
    while True:
        press()
        try:
            wait_until(complete, timeout=retry, interval=0.1, what=os.path.basename(path))
            break
        except HarnessError:
            if time.monotonic() > deadline:
                raise
    # The title writes the file for as long as the key is down; let the last write finish.
    time.sleep(settle)
    return wait_until(complete, timeout=timeout, interval=0.1, what=os.path.basename(path))


class Session(X11Window):
    """One run of the game. Use as a context manager; everything is cleaned up on exit.

    workdir: the working directory (a fresh temporary one by default); files in `files`
    (name -> bytes) are written there first. capture_wav: path of a WAV file that receives the
    game's sound instead of the null device. exe: the executable (QVX_GAME by default).
    """

    def __init__(self, workdir=None, files=None, capture_wav=None, exe=None, env=None,
                 wait_for_window=True, user=None, args=(), scale=1, sound=True, screen=None,
                 park_pointer=True, pad=False):
        # Window pixels per game pixel: clicks and grabs are given in game coordinates.
        super().__init__(WINDOW_NAME, scale)
        self.exe = exe or game_path()
        self._own_workdir = workdir is None
        self.workdir = workdir or tempfile.mkdtemp(prefix="qvx-e2e-")
        self.files = files or {}
        self.capture_wav = capture_wav
        self.extra_env = env or {}
        self.wait_for_window = wait_for_window
        self.user = user
        self.args = list(args)
        # sound=False: no ALSA device at all (the null device is not configured).
        self.sound = sound
        # The virtual screen's (width, height): by default a little larger than the window.
        self.screen = screen or (max(1024, SCREEN_W * scale + 64), max(768, SCREEN_H * scale + 64))
        # park_pointer=False: the pointer is never moved (it stays where the X server put it).
        self.park_pointer = park_pointer
        # pad=True: the game finds a gamepad (self.pad), driven through the joystick device node.
        self.pad = Pad() if pad else None
        self.home = None
        self.proc = None
        self.stdout = ""
        self.stderr = ""
        self.returncode = None

    # -- set-up and tear-down ------------------------------------------------------------------

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _start(self):
        os.makedirs(self.workdir, exist_ok=True)
        for name, content in self.files.items():
            with open(os.path.join(self.workdir, name), "wb") as f:
                f.write(content)
        self.home = tempfile.mkdtemp(prefix="qvx-home-")
        self._write_sound_config()
        self.start_display(*self.screen)
        env = dict(os.environ)
        env.update({"DISPLAY": self.display, "HOME": self.home})
        # Leaks inside the system's sound and X libraries are not the game's; see tests/lsan.supp.
        env.setdefault("LSAN_OPTIONS", "suppressions=%s:print_suppressions=0" % LSAN_SUPPRESSIONS)
        env.setdefault("ASAN_OPTIONS", "fast_unwind_on_malloc=0")
        if self.capture_wav:
            env["ALLEGRO_WAV"] = self.capture_wav
        if self.pad is not None:
            env.update(self.pad.environment(self.home))
        env.update(self.extra_env)
        self._out = tempfile.TemporaryFile()
        self._err = tempfile.TemporaryFile()
        cmd = [self.exe] + self.args
        if self.user is not None:
            # Run as another user (tests of files that root could always open).
            for path in (self.home, self.workdir):
                os.chmod(path, 0o777)
            cmd = ["setpriv", "--reuid=%d" % self.user, "--regid=%d" % self.user,
                   "--clear-groups", "--"] + cmd
        self.proc = subprocess.Popen(cmd, cwd=self.workdir, env=env, stdin=subprocess.DEVNULL,
                                     stdout=self._out, stderr=self._err,
                                     start_new_session=True)
        if self.wait_for_window:
            self.find_window()

    def _write_sound_config(self):
        if self.capture_wav:
            asound = (
                'pcm.!default { type plug; slave { pcm "wavcap"; format S16_LE } }\n'
                'pcm.wavcap {\n  type file\n  slave.pcm "null"\n'
                '  file "%s"\n  format "wav"\n}\n' % self.capture_wav)
        elif self.sound:
            asound = "pcm.!default { type null }\n"
        else:
            # A default device that cannot be opened: the game finds no sound card.
            asound = 'pcm.!default { type hw; card 99 }\n'

        with open(os.path.join(self.home, ".asoundrc"), "w") as f:
            f.write(asound)
        # One ALSA period per 10 ms keeps the mixer, and any capture, at real-time pace.
        with open(os.path.join(self.home, ".allegrorc"), "w") as f:
            f.write("[sound]\nsound_freq = 44100\nalsa_fragsize = 441\n")

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            stop_group(self.proc)
        if self.proc is not None:
            self.returncode = self.proc.returncode
            self._collect_output()
            self.proc = None
        self.stop_display()
        if self.pad is not None:
            self.pad.close()
        if self.home:
            shutil.rmtree(self.home, ignore_errors=True)
            self.home = None
        if self._own_workdir and os.environ.get("QVX_KEEP_WORKDIR") is None:
            shutil.rmtree(self.workdir, ignore_errors=True)

    def _collect_output(self):
        for name in ("_out", "_err"):
            f = getattr(self, name, None)
            if f is None:
                continue
            f.seek(0)
            value = f.read().decode(errors="replace")
            f.close()
            setattr(self, name, None)
            if name == "_out":
                self.stdout = value
            else:
                self.stderr = value

    # -- the process ----------------------------------------------------------------------------

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the game to end by itself and returns its exit status."""
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError("the game did not end within %.0f s" % timeout)
        self.returncode = self.proc.returncode
        self._collect_output()
        self.proc = None
        return self.returncode

    def message_box(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the library's message box (an xmessage process the game starts) and returns
        its text."""
        def find():
            for pid, cmdline in self._session_processes():
                if cmdline and os.path.basename(cmdline[0]) == "xmessage":
                    return pid, cmdline
            return None
        pid, cmdline = wait_until(find, timeout=timeout, interval=0.1, what="a message box")
        self._message_pid = pid
        # xmessage [options] message: the message is the last argument.
        return cmdline[-1]

    def dismiss_message_box(self):
        pid = getattr(self, "_message_pid", None)
        if pid is not None:
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            self._message_pid = None

    def _session_processes(self):
        """(pid, argv) of every process in the game's session, the game's own children included."""
        found = []
        if self.proc is None:
            return found
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/stat" % entry) as f:
                    stat = f.read()
                # Fields after the parenthesised name: state ppid pgrp session ...
                fields = stat[stat.rindex(")") + 2:].split()
                if int(fields[3]) != self.proc.pid:
                    continue
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    argv = [a.decode(errors="replace") for a in f.read().split(b"\0") if a]
                found.append((int(entry), argv))
            except (OSError, ValueError, IndexError):
                continue
        return found

    def path(self, name):
        return os.path.join(self.workdir, name)

    # -- the window ---------------------------------------------------------------------------

    def find_window(self):
        self.wait_until_shown(timeout=START_TIMEOUT, interval=0.2)
        self.focus()
        if self.park_pointer:
            # Park the pointer inside the window so the library reports its position from the start.
            self.move(630, 470)
        time.sleep(0.3)
        return self.window

    def pointer(self):
        """Where the pointer stands on the display: ["x:X", "y:Y"]."""
        return self.xdotool("getmouselocation").split()[:2]

    def exited_early(self, when):
        status = self.proc.poll()
        self._collect_output()
        raise HarnessError("the game exited with status %s %s\nstdout: %s\nstderr: %s"
                           % (status, when, self.stdout, self.stderr[-3000:]))

    def screenshot(self, timeout=DEFAULT_TIMEOUT, key="F3"):
        """Presses F3 until the game writes its screenshot file (title screen and play only) and returns it."""
        return screenshot_by_key(self.path(SCREENSHOT_FILE), lambda: self.key(key, hold=0.1, after=0.05),
                                 timeout, retry=2.0, settle=0.2)

    def close_window(self):
        """Presses the window's close button (the window manager's delete request)."""
        super().close_window(CLOSE_WINDOW_TOOL)

    def signal(self, number):
        os.kill(self.proc.pid, number)


class Pad:
    """A gamepad on the joystick device node: a FIFO the preloaded shim opens in its place, into
    which the test writes the device's events (struct js_event: time, value, type, number)."""

    # The game's default buttons (numbered from 1) and its stick's axes.
    TURN, DROP, LEAVE, PAUSE, SELECT = 1, 2, 7, 8, 1
    X, Y = 0, 1
    FULL = 32767
    fd = None

    def environment(self, folder):
        if not FAKE_JOYSTICK_LIB:
            raise HarnessError("QVX_FAKE_JOYSTICK_LIB must name the built fake_joystick shim")
        fifo = os.path.join(folder, "js0")
        os.mkfifo(fifo)
        # Read and write: the game's reads never see the end of the FIFO, and writes never block.
        self.fd = os.open(fifo, os.O_RDWR)
        return {"LD_PRELOAD": FAKE_JOYSTICK_LIB, "QVX_FAKE_JOYSTICK": fifo,
                "ASAN_OPTIONS": "fast_unwind_on_malloc=0:verify_asan_link_order=0"}

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None

    def event(self, kind, number, value):
        os.write(self.fd, struct.pack("<IhBB", int(time.monotonic() * 1000) & 0xFFFFFFFF, value, kind, number))

    def axis(self, number, value):
        """Puts the stick's axis at `value` (-32767..32767)."""
        self.event(2, number, value)

    def press(self, number, hold=0.15, after=0.15):
        """Presses button `number` (1..), held long enough for a game that reads the pad each tick."""
        for value, wait in ((1, hold), (0, after)):
            self.event(1, number - 1, value)
            time.sleep(wait)

    def push(self, axis, value, hold=0.15, after=0.15):
        """Pushes the stick along an axis to `value`, then lets it go back."""
        for position, wait in ((value, hold), (0, after)):
            self.axis(axis, position)
            time.sleep(wait)


# ----------------------------------------------------------------------------------------------
# The game's screens
# ----------------------------------------------------------------------------------------------

# Buttons (x1, y1, x2, y2), named by screen and label as the game names them.
TITLE_PLAY_GAME = (245, 320, 385, 345)
TITLE_EXIT = (245, 350, 385, 375)


def _menu_button(y1):
    return (200, y1, 440, y1 + 30)


MENU_START_GAME = _menu_button(140)
MENU_OPTIONS = _menu_button(180)
MENU_VIEW_HIGH_SCORES = _menu_button(220)
MENU_CREDITS = _menu_button(260)
MENU_PREVIOUS_MENU = _menu_button(300)
OPTIONS_EXIT = (215, 400, 425, 430)
OPTIONS_SOUND = (80, 100, 290, 130)     # the toggles, labelled with their state
OPTIONS_MUSIC = (350, 100, 560, 130)
OPTIONS_CONTROLS = (435, 400, 560, 430)


def _stepper(x, y):
    """An option's decrease and increase buttons and the value shown between them."""
    return (x, y, x + 30, y + 30), (x + 180, y, x + 210, y + 30), (x + 31, y, x + 179, y + 30)


# The left and the right values share their x range, so equal labels show as equal pixels.
OPTIONS_SOUND_DOWN, OPTIONS_SOUND_UP, OPTIONS_SOUND_VALUE = _stepper(80, 200)
OPTIONS_MUSIC_DOWN, OPTIONS_MUSIC_UP, OPTIONS_MUSIC_VALUE = _stepper(350, 200)
OPTIONS_LEVEL_DOWN, OPTIONS_LEVEL_UP, OPTIONS_LEVEL_VALUE = _stepper(80, 350)
OPTIONS_BLOCKS_DOWN, OPTIONS_BLOCKS_UP, OPTIONS_BLOCKS_VALUE = _stepper(350, 350)
# The Controls screen: the actions in two columns of six, in the game's order of actions.
CONTROLS_ACTIONS = ("left", "right", "turn", "down", "drop", "pause",
                    "continue", "help", "leave", "screenshot", "save", "load")


def controls_action(name):
    i = CONTROLS_ACTIONS.index(name)
    x, y = (50, 330)[i // 6], 70 + 34 * (i % 6)
    return (x, y, x + 260, y + 26)


CONTROLS_GHOST = (80, 340, 290, 370)
CONTROLS_EXIT = (215, 400, 425, 430)
HIGH_SCORES_EXIT = (100, 420, 300, 450)
HIGH_SCORES_RESET = (340, 420, 540, 450)
# The notice over the table while a reset waits for another copy of the game.
HIGH_SCORES_WAITING = (150, 215, 490, 255)
# The box that asks a new high score's name, and its text field.
NAME_BOX = (100, 150, 340, 280)
NAME_FIELD = (150, 200, 290, 240)

# Dialogs over the play screen: the file selector and the alert that asks before overwriting.
DIALOG_AREA = (160, 140, 480, 340)
ALERT_AREA = (200, 200, 440, 280)

WELL_X, WELL_Y, CELL = 40, 40, TILE_SIZE
WELL = (WELL_X, WELL_Y, WELL_X + 10 * CELL - 1, WELL_Y + 20 * CELL - 1)


def cell_box(c, r):
    x, y = WELL_X + CELL * c, WELL_Y + CELL * r
    return (x, y, x + CELL - 1, y + CELL - 1)


def region(rows, box):
    x1, y1, x2, y2 = box
    return [tuple(rows[y][x1:x2 + 1]) for y in range(y1, y2 + 1)]


def image_region(image, box):
    x1, y1, x2, y2 = box
    return [image.pixels[y * image.width + x1:y * image.width + x2 + 1] for y in range(y1, y2 + 1)]


def occupied(image, c, r):
    """True when a well cell shows anything but the empty well's black."""
    return any(v != COL_BLACK for row in image_region(image, cell_box(c, r)) for v in row)


def occupied_cells(image):
    """Well cells (column, row) drawn with a tile in a screenshot of the play screen."""
    return {(c, r) for c in range(10) for r in range(20)
            if len(image.region(*cell_box(c, r)).replace(b"\0", b"")) > 100}


def same_colour(rgb, target):
    """An RGB value read from the X screen shows the palette colour `target` (within rounding)."""
    return all(abs(a - b) <= 4 for a, b in zip(rgb, target))


def nearest_index(palette, rgb):
    """The palette index whose colour is closest to an RGB value read from the X screen."""
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))


def count_colour(game, palette, colour, x1, y1, x2, y2):
    """Pixels of the window in the rectangle that show palette colour `colour`."""
    _, _, rows = game.grab()
    target = palette[colour]
    return sum(1 for y in range(y1, y2 + 1) for x in range(x1, x2 + 1) if same_colour(rows[y][x], target))


def menu_shown(rows, palette):
    """The main menu shows: its logo outline at the top-left of the logo frame."""
    return (same_colour(rows[25][135], palette[COL_LOGO_FRAME]) and
            same_colour(rows[60][524], palette[COL_LOGO_FRAME]))


def wait_for_menu(game, palette, timeout=30):
    wait_until(lambda: menu_shown(game.grab()[2], palette), timeout=timeout, interval=0.2, what="the main menu")


def title_shown(rows, palette):
    """The title screen shows: the EXIT button's bevel."""
    return (same_colour(rows[362][TITLE_EXIT[0]], palette[COL_TITLE_LIGHT]) and
            same_colour(rows[362][TITLE_EXIT[2]], palette[COL_TITLE_DARK]))


def wait_for_title(game, title_image, timeout=30):
    wait_until(lambda: title_shown(game.grab()[2], title_image.palette), timeout=timeout, interval=0.2,
               what="the title screen")


def play_from_title(game):
    """From the title screen to the first pass of a new game; returns the title's palette."""
    title = game.screenshot()
    game.click_box(*TITLE_PLAY_GAME)
    wait_for_menu(game, title.palette)
    game.click_box(*MENU_START_GAME)
    wait_until(lambda: occupied_cells(game.screenshot()), what="a piece in the well")
    return title.palette


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

    @staticmethod
    def button(box):
        """A raised button's bevel: light top and left, dark bottom and right."""
        x1, y1, x2, y2 = box
        return {(x1, (y1 + y2) // 2): COL_BUTTON_LIGHT, ((x1 + x2) // 2, y1): COL_BUTTON_LIGHT,
                (x2, (y1 + y2) // 2): COL_TEXT, ((x1 + x2) // 2, y2): COL_TEXT}

    def wait_menu(self):
        points = {(135, 60): COL_LOGO_FRAME, (524, 60): COL_LOGO_FRAME}
        for box in (MENU_START_GAME, MENU_PREVIOUS_MENU):
            points.update(self.button(box))
        return self.wait_for(points, "the main menu")

    def wait_high_scores(self):
        points = {(0, 240): COL_BORDER, (639, 240): COL_BORDER}
        points.update(self.button(HIGH_SCORES_EXIT))
        points.update(self.button(HIGH_SCORES_RESET))
        return self.wait_for(points, "the high-score table")

    def count(self, rows, box, index):
        x1, y1, x2, y2 = box
        want = self.rgb(index)
        return sum(1 for y in range(y1, y2 + 1) for x in range(x1, x2 + 1) if rows[y][x] == want)

    def game_over_shown(self):
        rows = self.grab()
        # "G A M E" and "O V E R" in the text colour over the well.
        return (self.count(rows, (100, 152, 170, 159), COL_TEXT) > 20 and
                self.count(rows, (100, 202, 170, 209), COL_TEXT) > 20)


def open_menu(game, screens):
    game.click_box(*TITLE_PLAY_GAME)
    screens.wait_menu()


def start_game(game, screens):
    """From the main menu into a new game; returns its first screenshot."""
    game.click_box(*MENU_START_GAME)
    time.sleep(0.5)
    return wait_until(lambda: _play_shot(game), timeout=30, interval=0.2, what="the play screen")


def new_game(game):
    """From the title screen into a new game; returns the screens' reader."""
    screens = Screens(game)
    open_menu(game, screens)
    start_game(game, screens)
    return screens


def _play_shot(game):
    # F3 pressed while the game sets itself up is cleared from the key buffer: try again.
    try:
        shot = game.screenshot(timeout=3)
    except HarnessError:
        return None
    # The play screen's score panel is black inside its frame, under the "Score:" caption.
    return shot if shot.index(575, 130) == COL_BLACK and shot.index(575, 281) == COL_BLACK else None


def drop_pieces(game, n):
    """Drops n pieces straight down and waits for each to lock."""
    for _ in range(n):
        game.key("space")
        time.sleep(0.9)


def type_plain(game, value):
    for ch in value:
        game.key({".": "period", "/": "slash", "-": "minus", " ": "space"}.get(ch, ch), hold=0.04, after=0.04)


def enter_high_score(game, screens, name):
    """From the main menu: a game played to its end by dropping every piece straight down, then
    `name` typed in. Returns whether the name showed while typed, and the table's rows."""
    start_game(game, screens)

    def over():
        game.key("space", hold=0.05, after=0.05)
        return screens.game_over_shown()
    wait_until(over, timeout=240, interval=0.2, what="game over")

    game.key("Return")
    rows = screens.wait_for({(NAME_BOX[0], 200): COL_BORDER,
                             (NAME_FIELD[0], 220): COL_BORDER,
                             (200, 220): COL_BLACK}, "the name entry")
    field = region(rows, NAME_FIELD)
    game.type_text(name)
    time.sleep(0.3)
    shown = region(screens.grab(), NAME_FIELD) != field
    game.key("Return")
    return shown, screens.wait_high_scores()


def reset_high_scores(game, screens, answer="y"):
    """On the table screen: clicks Reset until its question shows (a click lost on a busy machine
    is repeated), answers it with a key ("y" resets; "n" and "Escape" keep the table) and returns
    at once, with how much white the question's place shows without it."""
    plain = screens.count(screens.grab(), ALERT_AREA, COL_WHITE)
    wait_until(lambda: screens.count(screens.grab(), ALERT_AREA, COL_WHITE) > plain + 100
               or game.click_box(*HIGH_SCORES_RESET), timeout=60, interval=3.0, what="the reset question")
    game.key(answer)
    return plain


def leave_to_exit(game, screens):
    """From the main menu back to the title and out of the program; returns the exit status."""
    game.click_box(*MENU_PREVIOUS_MENU)
    wait_until(lambda: title_shown(screens.grab(), screens.palette), timeout=30, what="the title screen")
    game.click_box(*TITLE_EXIT)
    return game.wait_exit()
