#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Packs PNG images into one Windows icon file (PNG-compressed entries, as Windows reads them
# since Vista): make_ico.py out.ico a-16.png a-32.png ...
import struct
import sys


def main():
    out, pngs = sys.argv[1], sys.argv[2:]
    images = [open(p, "rb").read() for p in pngs]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for data in images:
        width, height = struct.unpack(">II", data[16:24])  # the PNG's IHDR
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(header + entries + b"".join(images))


if __name__ == "__main__":
    main()
