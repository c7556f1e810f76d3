#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The game's processor use on each screen: CPU time from /proc over a stretch of wall-clock time.

Runs the built game under a private Xvfb (through the end-to-end harness), brings it to the title,
the main menu, a game in play, the pause, the save dialog and the credits, and on each measures the CPU time the
game's process and the X server used over SECONDS, as a share of one core. Prints a Markdown table
and the machine's load average before and after (other work on the machine adds to the figures).

    python3 tools/cpu_benchmark.py --build build-release [--seconds 20] [--scales 1 2]
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SCREENS = ("title", "menu", "play", "paused", "save dialog", "credits")
# The most each screen may use, in % of one core (the save dialog has no target of its own).
TARGETS = {"title": "≤ 2 %", "menu": "≤ 2 %", "play": "≤ 8 %", "paused": "≤ 2 %", "save dialog": "—",
           "credits": "≤ 10 %"}


def cpu_seconds(pid):
    """User and system time of a process so far, in seconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # After the name: state is field 3, utime and stime are fields 14 and 15.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measure(game, seconds):
    """Shares of one core (%) used by the game and by the X server over `seconds`."""
    pids = (game.proc.pid, game.xvfb.pid)
    before = [cpu_seconds(p) for p in pids]
    start = time.monotonic()
    time.sleep(seconds)
    wall = time.monotonic() - start
    return [100.0 * (cpu_seconds(p) - b) / wall for p, b in zip(pids, before)]


def run_scale(harness, scale, seconds):
    from harness import (MENU_CREDITS, MENU_START_GAME, TITLE_PLAY_GAME, Screens, Session, count_colour,
                         occupied_cells, wait_until)
    from qvx_formats import COL_HEADING, COL_PAUSE
    results = {}
    with Session(args=["--scale", str(scale)], scale=scale) as game:
        screens = Screens(game)
        game.move(630, 470)
        time.sleep(1.0)
        results["title"] = measure(game, seconds)

        game.click_box(*TITLE_PLAY_GAME)
        screens.wait_menu()
        game.move(630, 470)
        time.sleep(1.0)
        results["menu"] = measure(game, seconds)

        game.click_box(*MENU_START_GAME)
        wait_until(lambda: occupied_cells(game.screenshot()), what="a game")
        results["play"] = measure(game, seconds)

        game.key("p")
        wait_until(lambda: count_colour(game, screens.palette, COL_PAUSE, 40, 90, 239, 230) > 50,
                   what="the pause")
        results["paused"] = measure(game, seconds)

        game.key("c")
        game.key("F5")
        time.sleep(1.0)
        results["save dialog"] = measure(game, seconds)
        game.key("Escape")
        time.sleep(0.5)
        game.key("F2")
        screens.wait_menu()
        game.click_box(*MENU_CREDITS)
        wait_until(lambda: count_colour(game, screens.palette, COL_HEADING, 150, 110, 490, 479) > 0,
                   timeout=60, what="the credits")
        game.move(630, 470)
        results["credits"] = measure(game, seconds)
        game.key("a")
        screens.wait_menu()
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build-release", help="the CMake build folder (optimised)")
    parser.add_argument("--seconds", type=float, default=20.0)
    parser.add_argument("--scales", type=int, nargs="+", default=[1, 2])
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    os.environ.setdefault("QVX_GAME", os.path.join(build, "game", "quorvex"))
    os.environ.setdefault("QVX_CLOSE_WINDOW", os.path.join(build, "tests", "e2e", "x11_close_window"))
    sys.path[:0] = [os.path.join(HERE, "..", "tests", "e2e"), os.path.join(build, "tests")]
    import harness

    print("load average before: %s" % " ".join(open("/proc/loadavg").read().split()[:3]))
    table = {scale: run_scale(harness, scale, args.seconds) for scale in args.scales}
    print("load average after: %s" % " ".join(open("/proc/loadavg").read().split()[:3]))
    print()
    head = "| screen | target |" + "".join(" scale %d game | scale %d X server |" % (s, s) for s in args.scales)
    print(head)
    print("|---" * (2 + 2 * len(args.scales)) + "|")
    for screen in SCREENS:
        cells = "".join(" %.1f %% | %.1f %% |" % tuple(table[s][screen]) for s in args.scales)
        print("| %s | %s |%s" % (screen, TARGETS[screen], cells))


if __name__ == "__main__":
    main()
