# SPDX-License-Identifier: MIT
"""Checks a packed quorvex.dat against its manifest and clears the palette's padding bytes.

dat leaves the fourth byte of every palette entry uninitialised; zeroing it
makes the datafile the same, byte for byte, on every build.
Usage: normalise_dat.py DATAFILE MANIFEST
"""
import struct
import sys

KINDS = {"BMP": b"BMP ", "PAL": b"PAL ", "FONT": b"FONT", "SAMP": b"SAMP",
         "MIDI": b"MIDI", "QVM": b"QVM ", "DATA": b"DATA"}


def main():
    path, manifest = sys.argv[1], sys.argv[2]
    with open(manifest) as f:
        want = [KINDS[line.split("|")[0]] for line in f if line.strip()]
    data = bytearray(open(path, "rb").read())
    if data[:8] != b"slh.ALL.":
        sys.exit("%s: not an uncompressed Allegro datafile" % path)
    count = struct.unpack_from(">I", data, 8)[0]
    pos = 12
    kinds = []
    for _ in range(count):
        while data[pos:pos + 4] == b"prop":
            size = struct.unpack_from(">I", data, pos + 8)[0]
            pos += 12 + size
        kind = bytes(data[pos:pos + 4])
        stored, full = struct.unpack_from(">iI", data, pos + 4)
        if stored != full:
            sys.exit("%s: compressed object, not expected" % path)
        body = pos + 12
        if kind == b"PAL ":
            for entry in range(body, body + stored, 4):
                data[entry + 3] = 0
        kinds.append(kind)
        pos = body + stored
    if pos != len(data):
        sys.exit("%s: %d trailing bytes" % (path, len(data) - pos))
    if kinds != want:
        sys.exit("%s: item kinds %r, expected %r" % (path, kinds, want))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
