#!/usr/bin/python3
"""Writes setup.ico, the program's icon: an open box with an arrow going in.

The picture below is the source; the .ico beside this script is its output,
checked in so that the build needs no Python. One image, 32 x 32 in the
standard 16-colour palette, stored as the 744-byte device-independent bitmap
that an icon resource holds (header, palette, colour bits, transparency mask).

Usage: make_setup_icon.py [output.ico]   (default: setup.ico beside this file)
"""

import os
import struct
import sys

# One character a pixel, top row first; '.' is transparent.
PICTURE = """
............KKKKKKKK............
............KCBBBBBK............
............KCBBBBBK............
............KCBBBBBK............
............KCBBBBBK............
............KCBBBBBK............
............KCBBBBBK............
............KCBBBBBK............
............KCBBBBBK............
............KCBBBBBK............
.......KKKKKKCBBBBBKKKKKK.......
........KCBBBBBBBBBBBBBK........
.........KCBBBBBBBBBBBK.........
.........KKCBBBBBBBBBKKKKKKK....
........KddKCBBBBBBBKdddddKK....
.......KddddKCBBBBBKdddddKoK....
.....KdddddddKCBBBKddddKoooK....
....KdddddddddKCBKddddKooooK....
...KKKKKKKKKKKKKKKKKKKoooooK....
...KYYYYYYYoooYYYYYYYKoooooK....
...KYYYYYYYoooYYYYYYYKoooooK....
...KYYYYYYYoooYYYYYYYKoooooK....
...KYYYYYYYoooYYYYYYYKoooooK....
...KYYYYYYYoooYYYYYYYKoooooK....
...KYYYYYYYoooYYYYYYYKoooooK....
...KYYYYYYYoooYYYYYYYKoooooK....
...KYYYYYYYoooYYYYYYYKooooK.....
...KYYYYYYYoooYYYYYYYKooKK......
...KYYYYYYYoooYYYYYYYKoK........
...KYYYYYYYoooYYYYYYYKK.........
...KKKKKKKKKKKKKKKKKKK..........
................................
"""

# The standard 16-colour palette as (red, green, blue), in its usual order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0x80, 0x80, 0x80),
    (0xC0, 0xC0, 0xC0), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# Picture character -> palette index. Transparent pixels are colour 0 under a
# set mask bit, so the screen shows through unchanged.
INKS = {
    ".": 0,   # transparent
    "K": 0,   # black outline
    "o": 3,   # olive: the box's shaded side and its tape
    "d": 7,   # grey: inside the box
    "Y": 11,  # yellow: the box's front
    "B": 12,  # blue: the arrow
    "C": 14,  # aqua: the arrow's lit edge
}

SIZE = 32


def picture_rows():
    rows = PICTURE.split()
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        raise SystemExit("the picture must be 32 rows of 32 characters")
    return rows


def icon_image(rows):
    """The icon resource's image: header, palette, colour bits, mask."""
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, 640, 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom row first
        for x in range(0, SIZE, 2):
            colour.append(INKS[row[x]] << 4 | INKS[row[x + 1]])
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (row[x] == ".")
        mask += bits.to_bytes(SIZE // 8, "big")
    image = header + palette + bytes(colour) + bytes(mask)
    assert len(image) == 744
    return image


def icon_file(image):
    """An .ico file holding the one image: directory, one entry, the image."""
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "setup.ico")
    with open(out, "wb") as f:
        f.write(icon_file(icon_image(picture_rows())))


if __name__ == "__main__":
    main()
