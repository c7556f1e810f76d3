# SPDX-License-Identifier: MIT
"""cmake --install puts the game where Debian puts games; it runs from anywhere; the uninstall leaves nothing."""

import os
import shutil
import struct
import subprocess
import tempfile
import unittest

from harness import Session
from qvx_formats import DATAFILE_NAME, GAME_H, GAME_W, HIGH_SCORE_FILE, HIGH_SCORE_FILE_SIZE, SCREENSHOT_FILE

BUILD = os.environ.get("QVX_BUILD_DIR", "")
SOURCE = os.environ.get("QVX_SOURCE_DIR", "")
CMAKE = os.environ.get("QVX_CMAKE", "cmake")
GAME_DIR = os.environ.get("QVX_GAME_DIR") or "lib/games/quorvex"
BIN_DIR = os.environ.get("QVX_GAME_BINDIR") or "games"
COMPONENT = "quorvex"
APP_ID = "org.quorvex.vastrelon"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def run(cmd, **kw):
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300, **kw)
    if result.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s\n%s" % (" ".join(cmd), result.returncode,
                                                           result.stdout.decode(errors="replace"),
                                                           result.stderr.decode(errors="replace")))
    return result


def tree(root):
    """Every path below root, relative to it."""
    found = set()
    for base, dirs, files in os.walk(root):
        for name in dirs + files:
            found.add(os.path.relpath(os.path.join(base, name), root))
    return found


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        raise AssertionError("%s is not a PNG file" % path)
    return struct.unpack(">II", head[16:24])


class InstalledGame(unittest.TestCase):
    def setUp(self):
        if not BUILD or not SOURCE:
            self.skipTest("QVX_BUILD_DIR and QVX_SOURCE_DIR name the build and the sources (set by CTest)")
        self.scratch = tempfile.mkdtemp(prefix="qvx-install-")
        self.prefix = os.path.join(self.scratch, "prefix")
        self.manifest = os.path.join(BUILD, "install_manifest_%s.txt" % COMPONENT)

    def tearDown(self):
        shutil.rmtree(self.scratch, ignore_errors=True)

    def install(self):
        run([CMAKE, "--install", BUILD, "--component", COMPONENT, "--prefix", self.prefix])

    def uninstall(self):
        return run([CMAKE, "-DMANIFEST=" + self.manifest, "-DGAME_DIR=" + GAME_DIR,
                    "-P", os.path.join(SOURCE, "cmake", "install_game.cmake")])

    def check_layout(self):
        game_dir = os.path.join(self.prefix, GAME_DIR)
        exe = os.path.join(game_dir, "quorvex")
        self.assertTrue(os.path.isfile(exe) and os.access(exe, os.X_OK), "the executable")
        self.assertTrue(os.path.isfile(os.path.join(game_dir, DATAFILE_NAME)), "the datafile beside it")
        if os.path.exists(os.path.join(BUILD, "game", "patches.dat")):
            self.assertTrue(os.path.isfile(os.path.join(game_dir, "patches.dat")), "the patch set beside it")
        command = os.path.join(self.prefix, BIN_DIR, "quorvex")
        self.assertTrue(os.path.islink(command), "the command is a link")
        self.assertFalse(os.path.isabs(os.readlink(command)), "a relative link survives a moved tree")
        self.assertEqual(os.path.realpath(command), os.path.realpath(exe))

        desktop = os.path.join(self.prefix, "share", "applications", APP_ID + ".desktop")
        with open(desktop) as f:
            entry = f.read()
        self.assertIn("\nExec=quorvex\n", entry)
        self.assertIn("\nIcon=%s\n" % APP_ID, entry)
        if shutil.which("desktop-file-validate"):
            run(["desktop-file-validate", desktop])
        for size in ICON_SIZES:
            icon = os.path.join(self.prefix, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps",
                                APP_ID + ".png")
            self.assertEqual(png_size(icon), (size, size))
        metainfo = os.path.join(self.prefix, "share", "metainfo", APP_ID + ".metainfo.xml")
        if shutil.which("appstreamcli"):
            run(["appstreamcli", "validate", "--no-net", metainfo])
        else:
            with open(metainfo) as f:
                self.assertIn("<launchable type=\"desktop-id\">%s.desktop</launchable>" % APP_ID, f.read())

        man = os.path.join(self.prefix, "share", "man", "man6", "quorvex.6")
        if shutil.which("groff"):
            checked = run(["groff", "-man", "-ww", "-z", man])
            self.assertEqual(checked.stderr, b"", "the man page formats without warnings")
        with open(man) as f:
            page = f.read()
        for name in ("quorvex.hsc", "quorvex.pcx", "*.svg", "working directory"):
            self.assertIn(name, page, "the man page says where the game writes its files")

    def test_install_run_from_another_directory_and_uninstall(self):
        self.install()
        self.check_layout()
        installed = tree(self.prefix)

        # Started by its command name from the PATH, in a directory of its own.
        play = os.path.join(self.scratch, "play")
        os.makedirs(play)
        path = os.path.join(self.prefix, BIN_DIR) + os.pathsep + os.environ.get("PATH", "")
        with Session(exe="quorvex", workdir=play, env={"PATH": path}) as game:
            shot = game.screenshot()
            self.assertEqual((shot.width, shot.height), (GAME_W, GAME_H))
            self.assertGreater(len(set(shot.pixels)), 20, "the title picture, drawn from the installed datafile")
            game.key("Escape")
            self.assertEqual(game.wait_exit(), 0, game.stdout)
        self.assertTrue(os.path.isfile(os.path.join(play, SCREENSHOT_FILE)))
        self.assertEqual(os.path.getsize(os.path.join(play, HIGH_SCORE_FILE)), HIGH_SCORE_FILE_SIZE)
        self.assertEqual(tree(self.prefix), installed, "the game writes nothing into its installation")

        out = self.uninstall().stdout.decode()
        self.assertIn("Removing", out)
        self.assertEqual(sorted(tree(self.prefix)), [], "nothing is left in the prefix")

    def test_uninstall_keeps_files_it_did_not_install(self):
        self.install()
        stranger = os.path.join(self.prefix, "share", "applications", "other.desktop")
        with open(stranger, "w") as f:
            f.write("[Desktop Entry]\n")
        self.uninstall()
        self.assertEqual(sorted(tree(self.prefix)), ["share", "share/applications", "share/applications/other.desktop"])
        # A second uninstall finds nothing to remove and does not fail.
        self.uninstall()


if __name__ == "__main__":
    unittest.main()
