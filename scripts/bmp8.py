#!/usr/bin/env python3
"""Writes a drawing as an 8-bit (256-colour palette) BMP, keeping every colour
exactly (the drawing must use at most 256). Usage: bmp8.py in.png out.bmp"""
import struct
import subprocess
import sys


def main(src, dst):
    size = subprocess.run(["identify", "-format", "%w %h", src], check=True, capture_output=True).stdout.split()
    w, h = int(size[0]), int(size[1])
    raw = subprocess.run(["convert", src, "-depth", "8", "RGB:-"], check=True, capture_output=True).stdout
    colours = []
    index = {}
    pixels = []
    for i in range(w * h):
        c = raw[i * 3:i * 3 + 3]
        if c not in index:
            index[c] = len(colours)
            colours.append(c)
        pixels.append(index[c])
    assert len(colours) <= 256, "more than 256 colours"
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in colours) + b"\0\0\0\0" * (256 - len(colours))
    stride = (w + 3) & ~3
    rows = b"".join(bytes(pixels[y * w:(y + 1) * w]) + b"\0" * (stride - w) for y in range(h - 1, -1, -1))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    offset = 14 + 40 + 1024
    header = b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    with open(dst, "wb") as f:
        f.write(header + info + palette + rows)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
