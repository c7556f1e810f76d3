# SPDX-License-Identifier: MIT
"""Writes every source file of quorvex.dat into a folder, with a manifest in item order.

Usage: make_sources.py OUTDIR [--module FILE.qvm]
The manifest OUTDIR/items.txt has one line per datafile item: TYPE|FILE. The title picture shows
the project's version, read from VERSION at the top of the tree.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import art        # noqa: E402
import fonts      # noqa: E402
import midi       # noqa: E402
import sounds     # noqa: E402


def placeholder_qvm():
    """An empty but well-formed four-channel QVM image: one silent pattern."""
    channels, rows_n = 4, 64
    head = b"QVMOD 01 module : " + b"Quorvex Vastrelon".ljust(28, b"\0") + b"\0\0"
    head += struct.pack("<10H", 1, 1, channels, 0, 0, 6, 125, 64, 0, 0)
    assert len(head) == 68
    body = bytes([64, 192, 64, 192]) + b"\0"          # channel pans, order list
    cells = rows_n * channels
    empty_plane = b""
    while cells:
        n = min(cells, 127)
        empty_plane += bytes([n])
        cells -= n
    body += struct.pack("<H", rows_n) + empty_plane * 5
    return head + body


def project_version():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "VERSION")
    with open(path) as f:
        return f.readline().strip()


def main():
    out = sys.argv[1]
    module = None
    if len(sys.argv) > 3 and sys.argv[2] == "--module":
        module = sys.argv[3]
    os.makedirs(out, exist_ok=True)
    items = []

    def save_pcx(name, im):
        path = os.path.join(out, name + ".pcx")
        im.save(path)
        items.append(("BMP", path))

    def save_wav(name, sig):
        path = os.path.join(out, name + ".wav")
        sounds.write_wav(path, sig)
        items.append(("SAMP", path))

    def save_raw(name, ext, kind, data):
        path = os.path.join(out, name + ext)
        with open(path, "wb") as f:
            f.write(data)
        items.append((kind, path))

    tiles = [art.tile(k) for k in range(1, 9)]
    for k, im in enumerate(tiles):                                   # 0..7
        save_pcx("tile_%d" % (k + 1), im)
    save_raw("unused_8", ".txt", "DATA", b"unused\n")                 # 8
    save_pcx("pic_button", art.button_face(240, 30))                  # 9
    save_pcx("pic_decrease", art.arrow_face(-1))                      # 10
    save_pcx("pic_increase", art.arrow_face(1))                       # 11
    save_pcx("pic_title_button", art.button_face(140, 25, "violet"))  # 12
    save_wav("snd_click", sounds.click())                             # 13
    save_pcx("pic_credits", art.credits())                            # 14
    save_raw("unused_15", ".txt", "DATA", b"unused\n")                # 15
    save_wav("snd_rows", sounds.rows())                               # 16
    save_pcx("pic_preview_empty", art.preview_empty())                # 17
    save_pcx("pic_frame_h", art.frame_h())                            # 18
    save_pcx("pic_frame_v", art.frame_v())                            # 19
    corner = art.frame_corner()
    for name in ("tl", "tr", "bl", "br"):                             # 20..23
        save_pcx("pic_frame_" + name, corner)
    if module:                                                        # 24
        with open(module, "rb") as f:
            save_raw("mod_game", ".qvm", "QVM", f.read())
    else:
        save_raw("mod_game", ".qvm", "QVM", placeholder_qvm())
    pal = art.new_image(16, 16)                                       # 25
    pal.putdata(list(range(256)))
    path = os.path.join(out, "pal_game.pcx")
    pal.save(path)
    items.append(("PAL", path))
    save_wav("snd_high_score", sounds.high_score())                   # 26
    save_pcx("pic_logo", art.logo())                                  # 27
    save_raw("midi_credits", ".mid", "MIDI", midi.song())             # 28
    save_pcx("pic_title", art.title(project_version()))               # 29
    save_pcx("pat_screens", art.pattern_screens())                    # 30
    save_pcx("pat_menu", art.pattern_menu())                          # 31
    save_pcx("pat_play", art.pattern_play())                          # 32
    for name, font_def in (("font_text", fonts.FONT_TEXT),            # 33..35
                           ("font_table", fonts.FONT_TABLE),
                           ("font_title", fonts.FONT_TITLE)):
        im, _ = fonts.font_grid(*font_def)
        path = os.path.join(out, name + ".pcx")
        im.save(path)
        items.append(("FONT", path))
    save_wav("snd_key", sounds.key())                                 # 36

    assert len(items) == 37, len(items)
    with open(os.path.join(out, "items.txt"), "w") as f:
        for kind, path in items:
            f.write("%s|%s\n" % (kind, path))


if __name__ == "__main__":
    main()
