#!/usr/bin/env python3
"""Writes res/toolbar.bmp: the 16 x 16, 16-colour toolbar picture of the plug-in.

The top row and the rightmost column are the mask colour (magenta, palette index 13);
the rest is drawn below, one character per pixel.
"""
import struct
import sys

# The standard 16-colour palette, as RGB.
PALETTE = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]
MASK = 13
INK = {"k": 0, "s": 7, "g": 8, "r": 9, "w": 15}

# 15 x 15 below the mask row, left of the mask column: a white page under a black top
# line, a silver scroll-bar track with a grey thumb on the right, and a red arrow
# running down the page past the last line.
PICTURE = [
    "kkkkkkkkkkkkkkk",
    "kwwwwwwwwwwkggs",
    "kwggggggwwwkggs",
    "kwwwwwwwwwwkggs",
    "kwgggggrwwwkggs",
    "kwwwwwwrwwwksss",
    "kwggggwrwwwksss",
    "kwwwwwwrwwwksss",
    "kwgggrrrrrwksss",
    "kwwwwwrrrwwksss",
    "kwggwwwrwwwksss",
    "kwwwwwwwwwwksss",
    "kwgggggggwwksss",
    "kwwwwwwwwwwksss",
    "kkkkkkkkkkkkkkk",
]


def pixels():
    rows = [[MASK] * 16]
    for line in PICTURE:
        assert len(line) == 15
        rows.append([INK[c] for c in line] + [MASK])
    return rows


def bmp():
    rows = pixels()
    data = bytearray()
    for row in reversed(rows):  # bottom-up
        for left, right in zip(row[0::2], row[1::2]):
            data.append(left << 4 | right)
    palette = b"".join(struct.pack("<BBBB", c & 0xFF, c >> 8 & 0xFF, c >> 16, 0) for c in PALETTE)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 4, 0, len(data), 0, 0, 16, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return header + info + palette + bytes(data)


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "res/toolbar.bmp"
    with open(out, "wb") as f:
        f.write(bmp())
