#!/usr/bin/env python3
"""Turns a 32x32 RGBA drawing into a classic 16-colour icon (4 bpp, standard
VGA palette, AND mask from the alpha channel), the format every Windows from
95 on shows in the tray. Usage: ico4.py in.png out.ico (needs ImageMagick)."""
import struct
import subprocess
import sys

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
       (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def nearest(r, g, b):
    return min(range(16), key=lambda i: (VGA[i][0] - r) ** 2 + (VGA[i][1] - g) ** 2 + (VGA[i][2] - b) ** 2)


def main(src, dst):
    w = h = 32
    raw = subprocess.run(["convert", src, "-resize", "32x32!", "-depth", "8", "RGBA:-"], check=True, capture_output=True).stdout
    assert len(raw) == w * h * 4
    xor = bytearray()
    mask = bytearray()
    for y in range(h - 1, -1, -1):  # DIB rows run bottom-up
        row = [raw[(y * w + x) * 4:(y * w + x) * 4 + 4] for x in range(w)]
        for x in range(0, w, 2):
            a = nearest(*row[x][:3]) if row[x][3] >= 128 else 0
            b = nearest(*row[x + 1][:3]) if row[x + 1][3] >= 128 else 0
            xor.append(a << 4 | b)
        bits = 0
        for x in range(w):
            bits = bits << 1 | (1 if row[x][3] < 128 else 0)
        mask += bits.to_bytes(4, "big")
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 16, 0, 1, 4, len(image), 22)
    with open(dst, "wb") as f:
        f.write(icondir + image)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
