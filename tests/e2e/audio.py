# SPDX-License-Identifier: MIT
"""Measuring the sound the game sends to a WAV capture while it runs."""

import array
import math
import os
import time

WAV_HEADER = 44


def capture_size(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return 0


def window_rms(path, seconds=1.0, skip=0.0, mark=None):
    """RMS (0..1) of the signed 16-bit samples the game writes during `seconds`, `skip` seconds
    after `mark` (a capture_size() taken before; by default now). The capture runs in real time."""
    start = max(capture_size(path) if mark is None else mark, WAV_HEADER) + int(skip * 44100) * 4
    end = start + int(seconds * 44100) * 4
    deadline = time.monotonic() + seconds + skip + 60
    while capture_size(path) < end and time.monotonic() < deadline:
        time.sleep(0.05)
    with open(path, "rb") as f:
        f.seek(start - (start - WAV_HEADER) % 4)
        raw = f.read(max(0, end - start) // 4 * 4)
    samples = array.array("h")
    samples.frombytes(raw)
    if not samples:
        return 0.0
    return math.sqrt(sum(s * s for s in samples) / len(samples)) / 32768.0
