#!/usr/bin/env python3
"""Writes a drawing as an 8-bit palette BMP compressed with run-length
encoding (BI_RLE8, read by LoadBitmap on every Windows), keeping every colour
exactly (the drawing must use at most 256). The palette holds only the
colours used. Usage: bmp8.py in.png|in.bmp out.bmp"""
import struct
import subprocess
import sys


def rle8(rows):
    """Encodes bottom-up rows of palette indices: runs of one value, each
    row ended by 0,0 and the bitmap by 0,1."""
    out = bytearray()
    for row in rows:
        i = 0
        while i < len(row):
            j = i
            while j < len(row) and j - i < 255 and row[j] == row[i]:
                j += 1
            out += bytes((j - i, row[i]))
            i = j
        out += b"\0\0"
    out += b"\0\1"
    return bytes(out)


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
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in colours)
    data = rle8([pixels[y * w:(y + 1) * w] for y in range(h - 1, -1, -1)])
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 1, len(data), 2835, 2835, len(colours), 0)
    offset = 14 + 40 + len(palette)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    with open(dst, "wb") as f:
        f.write(header + info + palette + data)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
