# SPDX-License-Identifier: MIT
"""The four sound effects, synthesised as 16-bit mono WAV files."""
import math
import struct

RATE = 22050
PEAK = 0.70        # loudest sample, as a fraction of full scale
FADE_IN = 0.002    # seconds; a raised-cosine ramp so no sound starts with a click
FADE_OUT = 0.012


def _finish(sig):
    """Removes any DC offset, fades both ends and normalises the peak."""
    n = len(sig)
    env = []
    fi, fo = max(1, int(FADE_IN * RATE)), max(1, int(FADE_OUT * RATE))
    for i in range(n):
        e = 1.0
        if i < fi:
            e = 0.5 - 0.5 * math.cos(math.pi * i / fi)
        if n - 1 - i < fo:
            e = min(e, 0.5 - 0.5 * math.cos(math.pi * (n - 1 - i) / fo))
        env.append(e)
    sig = [s * e for s, e in zip(sig, env)]
    # Subtracting a multiple of the envelope keeps the faded ends at zero.
    k = sum(sig) / sum(env)
    sig = [s - k * e for s, e in zip(sig, env)]
    top = max(abs(s) for s in sig) or 1.0
    return [s * PEAK / top for s in sig]


def _noise(seed):
    state = seed
    while True:
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        yield (state >> 8) / float(1 << 23) - 1.0


def click():
    """A short bright tick: a 2.4 kHz ping with a touch of noise, 35 ms."""
    n = int(0.035 * RATE)
    nz = _noise(3)
    out = []
    for i in range(n):
        t = i / RATE
        e = math.exp(-t * 140)
        out.append(e * (math.sin(2 * math.pi * 2400 * t) + 0.5 * math.sin(2 * math.pi * 1200 * t)) + 0.25 * e * next(nz) * math.exp(-t * 400))
    return _finish(out)


def key():
    """The name-entry key: a softer, lower tick than the button click, 30 ms."""
    n = int(0.030 * RATE)
    out = []
    for i in range(n):
        t = i / RATE
        e = math.exp(-t * 180)
        out.append(e * (math.sin(2 * math.pi * 1250 * t) + 0.35 * math.sin(2 * math.pi * 2500 * t)))
    return _finish(out)


def _tone(freq, t, bright):
    """A mellow square-ish tone: odd harmonics falling off with the brightness."""
    return sum(math.sin(2 * math.pi * freq * h * t) / h * bright ** (h // 2) for h in (1, 3, 5, 7))


def rows():
    """Rows removed: a quick rising sweep ending in a chime, 0.36 s."""
    n = int(0.36 * RATE)
    out = []
    phase = 0.0
    for i in range(n):
        t = i / RATE
        f = 440 * 2 ** (min(t, 0.16) / 0.16 * 1.5)   # up an octave and a half
        phase += 2 * math.pi * f / RATE
        sweep = math.sin(phase) * math.exp(-t * 9)
        chime = 0.0
        if t > 0.12:
            u = t - 0.12
            chime = (math.sin(2 * math.pi * 1318.5 * u) + 0.5 * math.sin(2 * math.pi * 1975.5 * u)) * math.exp(-u * 12) * min(1.0, u * 400)
        out.append(0.8 * sweep + 0.7 * chime)
    return _finish(out)


def high_score():
    """A new high score: a bright arpeggio C-E-G-C ending on a held chord, 1.1 s."""
    notes = [523.25, 659.25, 783.99, 1046.5]
    n = int(1.1 * RATE)
    out = []
    for i in range(n):
        t = i / RATE
        s = 0.0
        for k, f in enumerate(notes):
            start = k * 0.11
            if t >= start:
                u = t - start
                s += _tone(f, u, 0.45) * math.exp(-u * (2.2 if k == 3 else 3.5)) * min(1.0, u * 300)
        out.append(s)
    return _finish(out)


def write_wav(path, sig):
    data = b"".join(struct.pack("<h", int(round(max(-1.0, min(1.0, s)) * 32767))) for s in sig)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE * 2, 2, 16))
        f.write(b"data" + struct.pack("<I", len(data)) + data)
