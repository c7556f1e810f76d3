# SPDX-License-Identifier: MIT
"""X11 driver: a program's window on a private Xvfb, worked with xdotool and read back with xwd.

Knows nothing of the program it drives: start_xvfb() gives a private display, X11Window finds a
window by its name on it, sends keys and mouse presses, and reads its pixels back as RGB rows. A
program's own driver (the game's Session, the Windows smoke test's Wine game) derives from
X11Window, starts the program and says whether it still runs. Standard library only.
"""

import os
import signal
import struct
import subprocess
import time

# Time limits, generous so that a loaded CI machine never fails a test by luck.
START_TIMEOUT = 60.0
DEFAULT_TIMEOUT = 30.0


class DriverError(AssertionError):
    pass


def wait_until(condition, timeout=DEFAULT_TIMEOUT, interval=0.05, what="condition"):
    """Polls condition() until it returns a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise DriverError("timed out waiting for " + what)
        time.sleep(interval)


def stop_group(proc):
    """Ends a process started in its own session, and everything it started: politely, then not."""
    try:
        os.killpg(proc.pid, signal.SIGTERM)
        proc.wait(timeout=10)
    except (ProcessLookupError, subprocess.TimeoutExpired):
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()


def xdotool(env, *args, timeout=DEFAULT_TIMEOUT, check=True):
    result = subprocess.run(["xdotool"] + [str(a) for a in args], env=env, timeout=timeout,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if check and result.returncode != 0:
        raise DriverError("xdotool %s failed: %s" % (" ".join(map(str, args)), result.stderr.decode().strip()))
    return result.stdout.decode()


def start_xvfb(width, height, timeout=START_TIMEOUT):
    """Starts Xvfb on a free display; returns (process, display name) once a client can talk to it."""
    read_fd, write_fd = os.pipe()
    # -noreset: a server reset drops a client that connects at that moment.
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % (width, height),
         "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True)
    os.close(write_fd)
    number = b""
    deadline = time.monotonic() + timeout
    with os.fdopen(read_fd, "rb") as pipe:
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = pipe.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        xvfb.kill()
        xvfb.wait()
        raise DriverError("Xvfb did not start")
    display = ":" + number.decode().strip()

    def answers():
        return subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=10).returncode == 0
    wait_until(answers, timeout=timeout, interval=0.1, what="Xvfb to answer")
    return xvfb, display


def read_xwd_rgb(raw):
    """Decodes an xwd dump of a TrueColor window into (width, height, list of RGB rows)."""
    header = struct.unpack_from(">25I", raw, 0)
    header_size, width, height = header[0], header[4], header[5]
    bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
    byte_order = header[7]
    if bits_per_pixel != 32:
        raise DriverError("unsupported xwd depth %d" % bits_per_pixel)
    offset = header_size + ncolors * 12
    if len(raw) < offset + (height - 1) * bytes_per_line + 4 * width:
        raise DriverError("xwd dump shorter than its %dx%d pixels" % (width, height))
    # A pixel is 0x00RRGGBB in the dump's byte order: B G R 0 when least significant byte first.
    red, green, blue = (2, 1, 0) if byte_order == 0 else (1, 2, 3)
    rows = []
    for y in range(height):
        base = offset + y * bytes_per_line
        end = base + 4 * width
        rows.append(list(zip(raw[base + red:end:4], raw[base + green:end:4], raw[base + blue:end:4])))
    return width, height, rows


class X11Window:
    """The window named `window_name` on a private Xvfb. Coordinates are the program's own: at a
    `scale` above 1 each program pixel is scale × scale window pixels, from the window's `origin`.
    A derived class starts the program and gives running() and exited_early()."""

    def __init__(self, window_name, scale=1):
        self.window_name = window_name
        self.scale = scale
        self.origin = (0, 0)
        self.xvfb = None
        self.display = None
        self.window = None

    # -- what the program's driver gives --------------------------------------------------------

    def running(self):
        raise NotImplementedError

    def exited_early(self, when):
        """Raises the error for a program that ended `when` it was not expected to."""
        raise DriverError("the program ended " + when)

    def x_env(self):
        """The environment of the X tools: the process's own, on this display."""
        return dict(os.environ, DISPLAY=self.display)

    # -- the display ----------------------------------------------------------------------------

    def start_display(self, width, height, timeout=START_TIMEOUT):
        self.xvfb, self.display = start_xvfb(width, height, timeout=timeout)

    def stop_display(self):
        if self.xvfb is not None:
            stop_group(self.xvfb)
            self.xvfb = None

    def xdotool(self, *args, timeout=DEFAULT_TIMEOUT, check=True):
        return xdotool(self.x_env(), *args, timeout=timeout, check=check)

    def wait_until_shown(self, timeout=START_TIMEOUT, interval=0.2):
        """Waits until the program shows its window and returns the window's id."""
        def search():
            if not self.running():
                self.exited_early("before its window appeared")
            out = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % self.window_name,
                               check=False, timeout=10)
            ids = out.split()
            return ids[0] if ids else None
        self.window = wait_until(search, timeout=timeout, interval=interval, what="the window %r" % self.window_name)
        return self.window

    def window_names(self):
        """The names of every window on the display, shown or not, for a message."""
        names = []
        for window in self.xdotool("search", "--name", ".", check=False, timeout=10).split():
            names.append(repr(self.xdotool("getwindowname", window, check=False, timeout=10).strip()))
        return ", ".join(names) or "none"

    def root_window(self):
        """The id of the display's root window: the whole screen."""
        info = subprocess.run(["xwininfo", "-root"], env=self.x_env(), check=True, stdout=subprocess.PIPE,
                              timeout=DEFAULT_TIMEOUT).stdout.decode()
        return next(line.split()[3] for line in info.splitlines() if "Window id:" in line)

    def window_size(self):
        geometry = self.xdotool("getwindowgeometry", "--shell", self.window)
        size = dict(line.split("=", 1) for line in geometry.split())
        return int(size["WIDTH"]), int(size["HEIGHT"])

    # -- input ----------------------------------------------------------------------------------

    def key(self, name, hold=0.08, after=0.1):
        """One key press, held long enough to be seen by a program that polls the key states."""
        self.xdotool("keydown", name, "sleep", hold, "keyup", name, "sleep", after)

    def keys(self, *names, hold=0.08, after=0.1):
        for name in names:
            self.key(name, hold=hold, after=after)

    def key_down(self, name):
        self.xdotool("keydown", name)

    def key_up(self, name):
        self.xdotool("keyup", name)

    def type_text(self, value, hold=0.06, after=0.08):
        for ch in value:
            name = {" ": "space"}.get(ch, ch)
            if ch.isupper():
                self.xdotool("keydown", "shift", "keydown", ch.lower(), "sleep", hold,
                             "keyup", ch.lower(), "keyup", "shift", "sleep", after)
            else:
                self.key(name, hold=hold, after=after)

    def _at(self, x, y):
        """Window coordinates of the middle of program pixel (x, y)."""
        return (self.origin[0] + x * self.scale + self.scale // 2,
                self.origin[1] + y * self.scale + self.scale // 2)

    def move(self, x, y, after=0.05):
        self.xdotool("mousemove", "--window", self.window, *self._at(x, y), "sleep", after)

    def click(self, x, y, hold=0.1, after=0.2, settle=0.08):
        """Moves to (x, y), waits `settle`, then presses and releases the left button."""
        self.xdotool("mousemove", "--window", self.window, *self._at(x, y), "sleep", settle,
                     "mousedown", 1, "sleep", hold, "mouseup", 1, "sleep", after)

    def drag(self, x1, y1, x2, y2, hold=0.1):
        self.xdotool("mousemove", "--window", self.window, *self._at(x1, y1), "sleep", 0.08,
                     "mousedown", 1, "sleep", hold,
                     "mousemove", "--window", self.window, *self._at(x2, y2), "sleep", hold,
                     "mouseup", 1, "sleep", 0.2)

    def click_box(self, x1, y1, x2, y2, **kw):
        """Clicks the middle of a button given by its rectangle."""
        self.click((x1 + x2) // 2, (y1 + y2) // 2, **kw)

    def focus(self):
        self.xdotool("windowfocus", "--sync", self.window, timeout=10)

    def take_focus_away(self):
        """Gives the keyboard focus to the root window, as switching to another program does."""
        self.xdotool("windowfocus", self.root_window())

    def give_focus_back(self):
        self.focus()

    def close_window(self, tool):
        """Sends the window the request a window manager sends for its close button, with `tool`
        (a program taking the window id)."""
        subprocess.run([tool, self.window], env=self.x_env(), check=True, timeout=DEFAULT_TIMEOUT)

    # -- output ---------------------------------------------------------------------------------

    def grab(self, whole=False):
        """Reads the window's pixels from the X server as RGB rows, in program coordinates: at a
        larger scale, one window pixel of each program pixel (every window pixel with whole)."""
        raw = subprocess.run(["xwd", "-silent", "-id", self.window], env=self.x_env(), check=True,
                             stdout=subprocess.PIPE, timeout=DEFAULT_TIMEOUT).stdout
        width, height, rows = read_xwd_rgb(raw)
        if whole or (self.scale == 1 and self.origin == (0, 0)):
            return width, height, rows
        x0, y0 = self.origin
        rows = [row[x0::self.scale] for row in rows[y0::self.scale]]
        return (width - x0) // self.scale, (height - y0) // self.scale, rows

    def wait_for_pixels(self, expected, timeout=DEFAULT_TIMEOUT):
        """Waits until every (x, y) -> (r, g, b) of expected shows in the window."""
        def match():
            _, _, rows = self.grab()
            return all(rows[y][x] == rgb for (x, y), rgb in expected.items())
        return wait_until(match, timeout=timeout, interval=0.2, what="the expected screen")
