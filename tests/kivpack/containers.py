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
