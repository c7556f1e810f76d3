# SPDX-License-Identifier: MIT
"""The installed Debian packages as a user meets them: the game from /usr/games, the tools from
/usr/bin, the library through pkg-config and CMake, the menu entry and the AppStream metadata.

Run by run.sh once the packages are installed; QVX_VERSION is the project's version and
QVX_SOURCE the tree the packages were built from.
"""

import array
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest
import wave
import xml.etree.ElementTree as ElementTree

from harness import Session, title_shown
from qvx_formats import GAME_H, GAME_TITLE, GAME_W, HIGH_SCORE_FILE, HIGH_SCORE_FILE_SIZE

VERSION = os.environ.get("QVX_VERSION", "")
SOURCE = os.environ.get("QVX_SOURCE", "")
APP_ID = "org.quorvex.vastrelon"
SCREENSHOTS = "/usr/share/games/quorvex/screenshots"
SONG_MS = 7680   # 64 rows at speed 6 and 125 BPM


def run(*cmd, **kw):
    done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300, **kw)
    if done.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s" % (" ".join(cmd), done.returncode, done.stdout.decode()))
    return done.stdout.decode()


def square_wave_mod():
    """A four-channel MOD of one 64-row pattern: a looped square wave struck every eight rows."""
    sample = bytes([0x60] * 16 + [0xA0] * 16)
    words = len(sample) // 2
    head = b"qvx package test".ljust(20, b"\0")
    head += b"square".ljust(22, b"\0") + struct.pack(">HBBHH", words, 0, 64, 0, words)
    head += (bytes(22) + struct.pack(">HBBHH", 0, 0, 0, 0, 1)) * 30
    head += bytes([1, 127]) + bytes(128) + b"M.K."
    cells = bytearray(64 * 16)
    for row in range(0, 64, 8):
        cells[row * 16:row * 16 + 4] = struct.pack(">HBB", 428, 0x10, 0)   # sample 1, period 428
    return head + bytes(cells) + sample


class Installed(unittest.TestCase):
    def setUp(self):
        if not VERSION or not SOURCE:
            self.skipTest("run by tests/packaging/run.sh, which sets QVX_VERSION and QVX_SOURCE")
        self.dir = tempfile.mkdtemp(prefix="qvx-installed-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_game_prints_its_version_and_plays_from_usr_games(self):
        self.assertEqual(GAME_TITLE, "Quorvex Vastrelon v" + VERSION)
        self.assertEqual(run("/usr/games/quorvex", "--version"), GAME_TITLE + "\n")
        with Session(exe="/usr/games/quorvex", workdir=self.dir) as game:
            shot = game.screenshot()   # F3
            self.assertEqual((shot.width, shot.height), (GAME_W, GAME_H))
            self.assertTrue(title_shown(game.grab()[2], shot.palette), "the title screen")
            game.key("Escape")
            self.assertEqual(game.wait_exit(), 0, game.stdout + game.stderr)
        self.assertEqual(os.path.getsize(os.path.join(self.dir, HIGH_SCORE_FILE)), HIGH_SCORE_FILE_SIZE)

    def test_menu_entry_and_metadata_validate_and_name_the_installed_screenshots(self):
        run("desktop-file-validate", "/usr/share/applications/%s.desktop" % APP_ID)
        metainfo = "/usr/share/metainfo/%s.metainfo.xml" % APP_ID
        run("appstreamcli", "validate", "--pedantic", "--no-net", metainfo)
        root = ElementTree.parse(metainfo).getroot()
        self.assertEqual(root.find("releases/release").get("version"), VERSION)
        images = list(root.iter("image"))
        self.assertEqual(len(images), 3)
        for image in images:
            with open(os.path.join(SCREENSHOTS, os.path.basename(image.text)), "rb") as f:
                head = f.read(24)
            self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
            self.assertEqual(struct.unpack(">II", head[16:24]), (int(image.get("width")), int(image.get("height"))))

    def test_modplay_measures_and_renders_and_modconv_converts(self):
        song, wav, qvm = (os.path.join(self.dir, name) for name in ("song.mod", "song.wav", "song.qvm"))
        with open(song, "wb") as f:
            f.write(square_wave_mod())
        self.assertIn("(%d ms)" % SONG_MS, run("/usr/bin/modplay", "--duration", song))
        run("/usr/bin/modplay", "--render", wav, song)
        with wave.open(wav) as w:
            self.assertEqual((w.getnchannels(), w.getsampwidth(), w.getframerate()), (2, 2, 44100))
            self.assertEqual(w.getnframes(), SONG_MS * 44100 // 1000)
            pcm = array.array("h", w.readframes(w.getnframes()))
        self.assertGreater(max(map(abs, pcm)), 1000, "the square wave is heard")
        run("/usr/bin/modconv", song, qvm)
        self.assertIn("(%d ms)" % SONG_MS, run("/usr/bin/modplay", "--duration", qvm))

    def test_readme_example_builds_with_pkg_config_and_cmake(self):
        with open(os.path.join(SOURCE, "modplayer", "README.md")) as f:
            readme = f.read()
        code = re.search(r"```c\n(.*?)```", readme, re.S).group(1)
        command = re.search(r"^ +(cc play\.c -o play \$\(pkg-config --cflags --libs qvmod\))$", readme, re.M).group(1)
        with open(os.path.join(self.dir, "play.c"), "w") as f:
            f.write(code)
        run("sh", "-c", command, cwd=self.dir)
        self.assertTrue(os.access(os.path.join(self.dir, "play"), os.X_OK))
        example = os.path.join(SOURCE, "tests", "loaders", "install_example")
        run("cmake", "-S", example, "-B", os.path.join(self.dir, "cmake"))
        run("cmake", "--build", os.path.join(self.dir, "cmake"))


if __name__ == "__main__":
    unittest.main()
