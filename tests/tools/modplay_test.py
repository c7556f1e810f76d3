# SPDX-License-Identifier: MIT
"""modplay as a listener meets it: the level of a render, and playing in a terminal with no display."""

import array
import math
import os
import pty
import select
import shutil
import subprocess
import tempfile
import termios
import time
import unittest
import wave

MODPLAY = os.environ.get("QVX_MODPLAY", "")
MAKE_MODULES = os.environ.get("QVX_MAKE_MODULES", "")
WAIT_S = 60   # generous bound for a condition to show up


def home(where, asoundrc):
    """A HOME whose ALSA default device is given, with Allegro mixing 10 ms at a time."""
    path = tempfile.mkdtemp(dir=where)
    with open(os.path.join(path, ".asoundrc"), "w") as f:
        f.write(asoundrc)
    with open(os.path.join(path, ".allegrorc"), "w") as f:
        f.write("[sound]\nsound_freq = 44100\nalsa_fragsize = 441\n")
    return path


class Modplay(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not MODPLAY or not MAKE_MODULES:
            raise unittest.SkipTest("QVX_MODPLAY and QVX_MAKE_MODULES name the tools (set by CTest)")
        cls.dir = tempfile.mkdtemp(prefix="qvx-modules-")
        subprocess.run([MAKE_MODULES, cls.dir], check=True)
        cls.song = os.path.join(cls.dir, "song.mod")
        cls.env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def test_render_peaks_below_full_scale_as_loud_as_other_players(self):
        out = os.path.join(self.dir, "song.wav")
        subprocess.run([MODPLAY, "--render", out, self.song], check=True, stdout=subprocess.DEVNULL)
        with wave.open(out) as w:
            self.assertEqual((w.getnchannels(), w.getsampwidth(), w.getframerate()), (2, 2, 44100))
            pcm = array.array("h", w.readframes(w.getnframes()))
        peak_db = 20 * math.log10(max(map(abs, pcm)) / 32768)
        rms_db = 10 * math.log10(sum(v * v for v in pcm) / len(pcm) / 32768 ** 2)
        self.assertLess(peak_db, -0.5)
        # libxmp plays this song at -7.5 dBFS RMS, libopenmpt at -9.5.
        self.assertTrue(-11.5 < rms_db < -5.5, rms_db)

    def test_plays_in_a_terminal_without_display_and_restores_it(self):
        master, slave = pty.openpty()
        env = dict(self.env, HOME=home(self.dir, "pcm.!default { type null }\n"))
        player = subprocess.Popen([MODPLAY, self.song], stdin=slave, stdout=slave, stderr=slave, env=env,
                                  start_new_session=True)
        seen = b""

        def wait_for(text):
            nonlocal seen
            end = time.monotonic() + WAIT_S
            while text not in seen and time.monotonic() < end:
                if select.select([master], [], [], 0.5)[0]:
                    seen += os.read(master, 4096)
            self.assertIn(text, seen)

        try:
            wait_for(b"order   0/4")
            self.assertIn(b"Esc or q quit", seen)
            os.write(master, b" ")
            wait_for(b"[paused]")
            os.write(master, b"q")
            self.assertEqual(player.wait(WAIT_S), 0, seen.decode(errors="replace"))
        finally:
            if player.poll() is None:
                player.kill()
        flags = termios.tcgetattr(slave)[3]
        self.assertEqual(flags & (termios.ICANON | termios.ECHO), termios.ICANON | termios.ECHO)

    def test_says_why_it_cannot_play_without_a_sound_device(self):
        env = dict(self.env, HOME=home(self.dir, "pcm.!default { type hw card 99 }\n"))
        result = subprocess.run([MODPLAY, self.song], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=env, timeout=WAIT_S)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"no sound device could be opened", result.stderr)
        self.assertIn(b"--render", result.stderr)


if __name__ == "__main__":
    unittest.main()
