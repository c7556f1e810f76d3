# SPDX-License-Identifier: MIT
"""The credits song as a Standard MIDI file (type 1), written note by note."""
import struct

PPQ = 96                     # ticks per quarter note
TEMPO_US = 600000            # 100 beats per minute

# General MIDI programs present in the freepats set the game's MIDI patches come from.
PIANO, STRINGS, BASS, FLUTE, HARP = 0, 48, 32, 73, 46
DRUMS = 9                    # the percussion channel
CHANNEL_VOLUME = 76          # leaves headroom: all parts together stay well below full scale
KICK, SNARE, HAT = 36, 38, 42

# Chord progression, one chord per bar: root note and chord tones.
PROGRESSION = [
    (45, (57, 60, 64)),   # Am
    (41, (57, 60, 65)),   # F
    (36, (55, 60, 64)),   # C
    (43, (55, 59, 62)),   # G
]
MELODY = [  # (beat offset within the 16-beat phrase, length in beats, note)
    (0, 1, 76), (1, 0.5, 74), (1.5, 0.5, 72), (2, 1, 71), (3, 1, 72),
    (4, 1.5, 77), (5.5, 0.5, 76), (6, 1, 74), (7, 1, 72),
    (8, 1, 76), (9, 1, 79), (10, 1, 76), (11, 1, 72),
    (12, 1.5, 74), (13.5, 0.5, 72), (14, 2, 71),
]


def _vlq(v):
    out = [v & 0x7F]
    v >>= 7
    while v:
        out.append(0x80 | (v & 0x7F))
        v >>= 7
    return bytes(reversed(out))


def _track(events):
    """events: list of (tick, bytes); sorted stably, delta-coded, closed by end of track."""
    events = sorted(enumerate(events), key=lambda e: (e[1][0], e[0]))
    out, now = b"", 0
    for _, (tick, msg) in events:
        out += _vlq(tick - now) + msg
        now = tick
    out += _vlq(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(out)) + out


def _note(ev, ch, start_beats, len_beats, note, vel):
    on = int(round(start_beats * PPQ))
    off = int(round((start_beats + len_beats) * PPQ)) - 2
    ev.append((on, bytes([0x90 | ch, note, vel])))
    ev.append((off, bytes([0x80 | ch, note, 0])))


def song():
    """About a minute: an intro pass, the tune, a harp interlude, the tune an octave up, an ending."""
    repeats = 6                      # passes of the 16-beat phrase
    meta = [(0, b"\xff\x51\x03" + TEMPO_US.to_bytes(3, "big")),
            (0, b"\xff\x58\x04\x04\x02\x18\x08")]
    tracks = [meta]
    lead, chords, bass, harp, drums = [], [], [], [], []
    for ch, prog, ev in ((0, FLUTE, lead), (1, STRINGS, chords), (2, BASS, bass), (3, HARP, harp)):
        ev.append((0, bytes([0xC0 | ch, prog])))
        ev.append((0, bytes([0xB0 | ch, 7, CHANNEL_VOLUME])))
    lead.append((0, bytes([0xB0, 10, 80])))
    harp.append((0, bytes([0xB3, 10, 48])))
    drums.append((0, bytes([0xB0 | DRUMS, 7, CHANNEL_VOLUME])))
    for r in range(repeats):
        base = r * 16
        melody_on = r in (1, 2, 4, 5) or (r == 0)
        for off, ln, note in MELODY:
            if not melody_on or (r == 0 and off < 8):
                continue              # the melody enters half-way through the first pass
            up = 12 if r == 4 else 0
            _note(lead, 0, base + off, ln, note + up, 92)
        for bar, (root, tones) in enumerate(PROGRESSION):
            b = base + bar * 4
            for t in tones:
                _note(chords, 1, b, 4, t, 50)
            for beat in range(4):
                _note(bass, 2, b + beat, 0.9, root + (12 if beat == 2 else 0), 84)
            if r >= 2:                # harp arpeggios: up through the chord in eighths
                arp = [tones[0], tones[1], tones[2], tones[0] + 12, tones[2] + 12, tones[0] + 12, tones[2], tones[1]]
                for k, n in enumerate(arp):
                    _note(harp, 3, b + k * 0.5, 0.5, n + 12, 70 if r == 3 else 50)
            if r > 0 and r != 3:      # the interlude drops the beat
                for beat in range(4):
                    _note(drums, DRUMS, b + beat, 0.25, KICK if beat % 2 == 0 else SNARE, 70)
                    _note(drums, DRUMS, b + beat + 0.5, 0.25, HAT, 56)
    end = repeats * 16
    _note(chords, 1, end, 4, 57, 60)
    _note(chords, 1, end, 4, 64, 60)
    _note(bass, 2, end, 4, 33, 84)
    _note(lead, 0, end, 4, 81, 88)
    _note(harp, 3, end, 4, 69, 60)
    tracks += [lead, chords, bass, harp, drums]
    head = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), PPQ)
    return head + b"".join(_track(t) for t in tracks)
