"""Measuring the sound the game sends to a WAV capture while it runs."""

import array
import math
import os
import time

WAV_HEADER = 44
FRAME_BYTES = 4                   # signed 16-bit stereo
BYTES_PER_SECOND = 44100 * FRAME_BYTES


def capture_size(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return 0


def position(path):
    """Where the capture stands now, as a byte offset on a frame boundary: the capture runs at
    real-time pace, so this marks the present moment in the sound."""
    size = max(capture_size(path), WAV_HEADER)
    return size - (size - WAV_HEADER) % FRAME_BYTES


def rms_between(path, start, end):
    """RMS (0..1) of the samples between two byte offsets of the capture."""
    with open(path, "rb") as f:
        f.seek(start)
        raw = f.read(max(0, end - start) // FRAME_BYTES * FRAME_BYTES)
    samples = array.array("h")
    samples.frombytes(raw)
    if not samples:
        return 0.0
    return math.sqrt(sum(s * s for s in samples) / len(samples)) / 32768.0


def window_rms(path, seconds=1.0):
    """RMS (0..1) of the signed 16-bit samples the game writes during the next `seconds`."""
    start = position(path)
    time.sleep(seconds)
    return rms_between(path, start, position(path))


def rms_after(path, mark, skip, seconds):
    """RMS (0..1) of `seconds` of sound starting `skip` seconds after the offset `mark`; waits for
    the capture to get there."""
    start = mark + int(skip * BYTES_PER_SECOND) // FRAME_BYTES * FRAME_BYTES
    end = start + int(seconds * BYTES_PER_SECOND) // FRAME_BYTES * FRAME_BYTES
    deadline = time.monotonic() + 10 * (skip + seconds) + 30
    while capture_size(path) < end and time.monotonic() < deadline:
        time.sleep(0.1)
    return rms_between(path, start, end)


def decibels(rms):
    """A level in dB relative to full scale; silence reads as -inf."""
    return 20 * math.log10(rms) if rms > 0 else float("-inf")
