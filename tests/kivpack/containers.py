"""Builds containers byte by byte for the kivpack tests, independently of
the C++ code under test."""

import struct

SIGNATURE = b"KivSetup"


def literal_stream(data: bytes) -> bytes:
    """A stream of literal tokens for `data`, closed by the end marker."""
    bits = "".join("1" + format(b, "08b") for b in data) + "0" * 13
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def trailer(program=(0, 0), library=(0, 0), info=((0, 0),) * 4, signature=SIGNATURE):
    info = list(info) + [(0, 0)] * (4 - len(info))
    fields = [*program, *library]
    for slot in info:
        fields += list(slot)
    return struct.pack("<12I", *fields) + signature


def container(stub=b"MZ" + bytes(62), program=None, library=None, info=(), order=None):
    """Lays out stub, images and blobs back to back; gives (bytes, slots)."""
    data = bytearray(stub)
    slots = {}

    def add(name, piece):
        slots[name] = (len(data), len(piece))
        data.extend(piece)

    if program is not None:
        add("program", program)
    if library is not None:
        add("library", library)
    for i, blob in enumerate(info):
        if blob:
            add(i, blob)
    tr = trailer(slots.get("program", (0, 0)), slots.get("library", (0, 0)),
                 [slots.get(i, (0, 0)) for i in range(4)])
    return bytes(data) + tr, slots


def rewritten(image: bytes, blobs) -> bytes:
    """What the bootstrapper leaves in its temporary file."""
    out = bytearray(image)
    slots = []
    for blob in list(blobs) + [b""] * (4 - len(blobs)):
        if blob:
            slots.append((len(out), len(blob)))
            out.extend(blob)
        else:
            slots.append((0, 0))
    return bytes(out) + trailer(info=slots)


def pattern(size: int, seed: int) -> bytes:
    """Deterministic mixed bytes (the same generator as the unit tests')."""
    x = (seed * 2654435761 + 1) & 0xFFFFFFFF
    out = bytearray(size)
    for i in range(size):
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        out[i] = x >> 24
    return bytes(out)


def zero_bomb(stream_size: int):
    """A stream of about `stream_size` bytes made only of 17-byte match
    tokens over the still-zero window: the densest the format allows (17 bytes
    for 17 bits, so 8:1). Gives (stream, expanded size)."""
    tokens = stream_size * 8 // 17
    # One token: flag 0, index 100, length field 15 (17 bytes); 8 tokens fill
    # exactly 17 bytes, so build 8 once and repeat them.
    bits = ("0" + format(100, "012b") + "1111") * 8
    eight = bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    body = eight * (tokens // 8)
    rest = tokens % 8
    tail = ("0" + format(100, "012b") + "1111") * rest + "0" * 13
    tail += "0" * (-len(tail) % 8)
    body += bytes(int(tail[i:i + 8], 2) for i in range(0, len(tail), 8))
    return body, tokens * 17


def pe_stub(pe64: bool = False, sections: int = 2) -> bytes:
    """A minimal PE image of 0x200 bytes of headers plus one 0x200-byte raw
    block per section: enough for a PE reader and for a signing layout, not
    a program that runs."""
    pe = 0x80
    opt_size = 240 if pe64 else 224
    data = bytearray(0x200 + 0x200 * sections)
    data[0:2] = b"MZ"
    struct.pack_into("<I", data, 0x3C, pe)
    data[pe:pe + 4] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", data, pe + 4, 0x8664 if pe64 else 0x14C, sections,
                     0x5F000000, 0, 0, opt_size, 0x0102)
    opt = pe + 24
    struct.pack_into("<H", data, opt, 0x20B if pe64 else 0x10B)
    if pe64:
        struct.pack_into("<Q", data, opt + 24, 0x140000000)
    else:
        struct.pack_into("<I", data, opt + 28, 0x400000)
    struct.pack_into("<IIIII", data, opt + 32, 0x1000, 0x200, 0, 0, 0)
    struct.pack_into("<III", data, opt + 56, 0x1000 * (sections + 1), 0x200, 0)
    struct.pack_into("<H", data, opt + 68, 2)
    struct.pack_into("<I", data, opt + (108 if pe64 else 92), 16)
    for i in range(sections):
        at = opt + opt_size + 40 * i
        data[at:at + 8] = (b".sec%d" % i).ljust(8, b"\0")
        struct.pack_into("<IIII", data, at + 8, 0x100, 0x1000 * (i + 1), 0x200, 0x200 * (i + 1))
        struct.pack_into("<I", data, at + 36, 0x60000020)
    return bytes(data)


def security_directory_offset(stub: bytes) -> int:
    """Where data directory 4 (the certificate table) stands in a PE image."""
    pe = struct.unpack_from("<I", stub, 0x3C)[0]
    magic = struct.unpack_from("<H", stub, pe + 24)[0]
    return pe + 24 + (112 if magic == 0x20B else 96) + 8 * 4


def append_certificate_table(data: bytes, table_size: int = 64) -> bytes:
    """Lays `data` out as a signing tool does: zero padding to a multiple of 8,
    then a certificate table that ends the file and that the security
    directory points at. The table's content is not a real signature."""
    out = bytearray(data)
    out += bytes(-len(out) % 8)
    at = len(out)
    table = bytearray(pattern(table_size, 99))
    struct.pack_into("<IHH", table, 0, table_size, 0x0200, 0x0002)
    out += table
    struct.pack_into("<II", out, security_directory_offset(data), at, table_size)
    return bytes(out)
