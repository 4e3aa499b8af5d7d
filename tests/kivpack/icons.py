"""Makes .ico files for the branding tests: bitmap images of several sizes
and colour depths and a PNG-compressed 256 x 256 image, each painted magenta
above and cyan below, colours that the packer's own icon does not use, so a
screenshot tells the two apart.

Usage as a script: icons.py OUT.ico
"""

import struct
import sys
import zlib

TOP = (0xFF, 0x00, 0xFF)  # magenta
BOTTOM = (0x00, 0xFF, 0xFF)  # cyan


def colour_at(y, size):
    # Rows run top to bottom here; bitmaps store them bottom up.
    return TOP if y < size // 2 else BOTTOM


def bitmap_image(size, bits):
    """A bitmap image as an icon stores it: header (height doubled for the
    mask), colour table, colour bits bottom up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):
        c = colour_at(y, size)
        if bits == 32:
            rows.append(bytes([c[2], c[1], c[0], 0xFF]) * size)
        else:  # 8 bits: index 0 is TOP, index 1 BOTTOM
            rows.append(bytes([0 if c == TOP else 1]) * size)
    table = b""
    if bits == 8:
        table = bytes([TOP[2], TOP[1], TOP[0], 0, BOTTOM[2], BOTTOM[1], BOTTOM[0], 0])
        table += bytes(4 * 254)
    mask_row = bytes(((size + 31) // 32) * 4)
    return header + table + b"".join(rows) + mask_row * size


def png_image(size):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes([*colour_at(y, size), 0xFF]) * size for y in range(size))
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


# (width, bits, image bytes): what the .ico directory says and holds.
def images():
    return [
        (16, 8, bitmap_image(16, 8)),
        (32, 8, bitmap_image(32, 8)),
        (32, 32, bitmap_image(32, 32)),
        (48, 32, bitmap_image(48, 32)),
        (256, 32, png_image(256)),
    ]


def ico(entries=None):
    """An .ico file holding `entries` (width, bits, bytes)."""
    entries = images() if entries is None else entries
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    body = b""
    for width, bits, data in entries:
        colours = 0 if bits >= 8 else 1 << bits
        out += struct.pack("<BBBBHHII", width % 256, width % 256, colours, 0, 1, bits, len(data),
                           offset + len(body))
        body += data
    return out + body


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(ico())
