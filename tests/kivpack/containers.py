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
