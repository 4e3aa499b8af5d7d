#!/usr/bin/env python3
"""Writes the hostile-container corpus: setups damaged on purpose, each a
file in OUT, with OUT/corpus.json naming every file, what it tries and what
the bootstrapper must make of it ("ok", one of its messages, or "any" where
only the absence of a crash or a hang is promised).

The host suite (test_hostile.py) runs it through the extraction and kivpack;
a Windows run can feed the very same files to setup.exe.

usage: make_corpus.py --out DIR [--stub setup.exe] [--seed N]
Without --stub the files are built around a minimal PE image.
"""
import argparse
import json
import os
import random
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "kivpack"))
from containers import (append_certificate_table, literal_stream, pattern, pe_stub,  # noqa: E402
                        trailer, zero_bomb)

DAMAGED = "Setup.exe is damaged."
NO_IMAGE = "This application requires a\r\n32-bit version of Windows."
COPY_FAILED = "Cannot copy setup information\r\nto temporary file."
TRAILER = 56


def match_stream(plain_prefix):
    """Literals for a prefix, then matches that repeat it: a stream that
    exercises the window, not only literal tokens."""
    bits = "".join("1" + format(b, "08b") for b in plain_prefix)
    for i in range(40):
        bits += "0" + format(1 + (i * 7) % len(plain_prefix), "012b") + format(i % 16, "04b")
    bits += "0" * 13
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


class Base:
    """A sound container: both images, four blobs (one empty), back to back."""

    def __init__(self, stub):
        self.stub = stub
        data = bytearray(stub)
        self.program = match_stream(pattern(600, 1))
        self.library = literal_stream(pattern(300, 2))
        self.blobs = [pattern(5000, 3), b"", pattern(700, 4), pattern(9000, 5)]
        self.program_slot = (len(data), len(self.program))
        data += self.program
        self.library_slot = (len(data), len(self.library))
        data += self.library
        self.info = []
        for blob in self.blobs:
            self.info.append((len(data), len(blob)) if blob else (0, 0))
            data += blob
        self.body = bytes(data)

    def with_trailer(self, program=None, library=None, info=None, body=None):
        return (self.body if body is None else body) + trailer(
            program=self.program_slot if program is None else program,
            library=self.library_slot if library is None else library,
            info=self.info if info is None else info)

    def file(self):
        return self.with_trailer()


def build(stub, seed):
    base = Base(stub)
    end = len(base.body)  # where the trailer starts
    cases = []

    def add(name, data, expect, what):
        cases.append((name, data, expect, what))

    add("sound", base.file(), "ok", "the unspoiled container (program mode)")

    # Positions of 2^31 and more, and lengths of 0xFFFFFFFF.
    for value in (0x80000000, 0x80000000 + len(stub), 0xFFFFFFF0, 0xFFFFFFFF):
        add("program-offset-%08x" % value, base.with_trailer(program=(value, 10)), DAMAGED,
            "program image offset %#x" % value)
        info = list(base.info)
        info[0] = (value, 100)
        add("blob0-offset-%08x" % value, base.with_trailer(info=info), COPY_FAILED,
            "setup information 0 at %#x" % value)
    add("library-offset-ffffffff", base.with_trailer(program=(0, 0), library=(0xFFFFFFFF, 5)),
        DAMAGED, "library image only, at offset 0xFFFFFFFF")
    add("image-lengths-ffffffff",
        base.with_trailer(program=(base.program_slot[0], 0xFFFFFFFF),
                          library=(base.library_slot[0], 0xFFFFFFFF)),
        "ok", "image lengths of 0xFFFFFFFF (never read)")
    for i in (0, 3):
        info = list(base.info)
        info[i] = (base.info[i][0], 0xFFFFFFFF)
        add("blob%d-length-ffffffff" % i, base.with_trailer(info=info), COPY_FAILED,
            "setup information %d claims 0xFFFFFFFF bytes" % i)
    info = list(base.info)
    info[2] = (0xFFFFFFF0, 0x20)
    add("blob2-wraps-2-to-32", base.with_trailer(info=info), COPY_FAILED,
        "setup information 2 whose end wraps past 2^32")
    add("program-past-end", base.with_trailer(program=(end + TRAILER + 1000, 5)), "ok",
        "program image offset past the end of the file (expands to nothing)")

    # Slots that overlap each other and the trailer.
    same = [base.info[0]] * 4
    add("blobs-all-the-same", base.with_trailer(info=same), "ok", "four slots naming one blob")
    add("blob-overlaps-next", base.with_trailer(
        info=[(base.info[0][0], base.info[0][1] + 500)] + base.info[1:]), "ok",
        "setup information 0 runs 500 bytes into the next blob")
    add("blob-is-the-trailer", base.with_trailer(info=[(end, TRAILER)] + base.info[1:]), "ok",
        "setup information 0 is the trailer itself")
    add("blob-overlaps-trailer", base.with_trailer(info=base.info[:3] + [(end - 100, 156)]), "ok",
        "setup information 3 ends exactly with the trailer")
    add("blob-one-past-trailer", base.with_trailer(info=base.info[:3] + [(end - 100, 157)]),
        COPY_FAILED, "setup information 3 runs one byte past the trailer")
    add("blob-whole-file", base.with_trailer(info=[(0, end + TRAILER)]), "ok",
        "setup information 0 is the whole file")
    add("program-is-the-trailer", base.with_trailer(program=(end, 56)), "ok",
        "the program image stream starts at the trailer")
    add("program-in-a-blob", base.with_trailer(program=base.info[3]), "ok",
        "the program image stream starts inside a blob (no end marker in sight)")
    add("program-at-1", base.with_trailer(program=(1, 0)), "ok",
        "the program image stream starts in the stub's headers")

    # Files that are only a trailer.
    add("only-a-trailer", trailer(), NO_IMAGE, "56 bytes: a trailer without images")
    add("only-a-trailer-program-at-1", trailer(program=(1, 0)), "ok",
        "56 bytes: the program image is the trailer's own bytes")
    add("only-a-trailer-blobs-outside", trailer(program=(8, 0), info=[(0, 57)]), COPY_FAILED,
        "56 bytes: a blob one byte longer than the file")
    add("only-a-trailer-ffffffff", trailer(program=(0xFFFFFFFF, 0xFFFFFFFF),
                                           info=[(0xFFFFFFFF, 0xFFFFFFFF)] * 4), DAMAGED,
        "56 bytes: every position and length 0xFFFFFFFF")
    add("shorter-than-a-trailer", trailer()[1:], DAMAGED, "55 bytes of a trailer")
    add("empty", b"", DAMAGED, "an empty file")

    # Truncations: the file cut short, and pieces cut out under a kept trailer.
    full = base.file()
    for cut in (1, 8, 55, 56, 57, len(full) // 2, len(full) - 1):
        add("cut-to-%d" % cut, full[:cut], DAMAGED if cut < len(full) else "ok",
            "the first %d bytes of the container" % cut)
    for what, at, length in (("program stream", base.program_slot[0] + 10, 30),
                             ("blob 3", base.info[3][0] + 100, 4000),
                             ("library stream", base.library_slot[0], base.library_slot[1])):
        body = base.body[:at] + base.body[at + length:]
        add("cut-out-of-%s" % what.replace(" ", "-"), base.with_trailer(body=body), "any",
            "%d bytes cut out of the %s, slots kept" % (length, what))

    # Random mutations of the trailer, the streams and the blobs.
    rng = random.Random(seed)
    regions = {
        "trailer": (end, 48),  # the twelve integers; the signature stays
        "program": base.program_slot,
        "library": base.library_slot,
        "blob": base.info[0],
    }
    for region, (start, length) in regions.items():
        for n in range(12):
            data = bytearray(full)
            for _ in range(rng.randint(1, 6)):
                at = start + rng.randrange(length)
                data[at] = rng.randrange(256) if rng.random() < 0.5 else data[at] ^ (1 << rng.randrange(8))
            if region == "trailer" and n % 3 == 0:  # a whole integer replaced
                struct.pack_into("<I", data, end + 4 * rng.randrange(12),
                                 rng.choice([0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, rng.getrandbits(32)]))
            add("mutated-%s-%02d" % (region, n), bytes(data), "any",
                "random bytes of the %s changed (seed %d)" % (region, seed))

    # A stream of a few MB that expands to tens of MB (8:1, the format's limit).
    bomb, expanded = zero_bomb(4 * 1024 * 1024)
    data = bytearray(stub)
    slot = (len(data), len(bomb))
    data += bomb
    add("expands-8-to-1", bytes(data) + trailer(program=slot), "ok",
        "a %d-byte stream that expands to %d bytes" % (len(bomb), expanded))
    data = bytearray(stub)
    data += bomb[:-2]  # no end marker: runs into the trailer
    add("expands-8-to-1-unterminated", bytes(data) + trailer(program=slot), "ok",
        "the same stream without its end marker")

    # Signed layouts, sound and spoiled.
    signed = append_certificate_table(full, 1024)
    add("signed", signed, "ok", "the container behind a certificate table")
    if len(full) % 8:
        spoiled = bytearray(signed)
        spoiled[len(full)] = 1
        add("signed-nonzero-padding", bytes(spoiled), DAMAGED,
            "a padding byte before the certificate table is not zero")
    for name, value in (("table-size-ffffffff", 0xFFFFFFFF), ("table-size-short", 1016)):
        data = bytearray(signed)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        magic = struct.unpack_from("<H", data, pe + 24)[0]
        struct.pack_into("<I", data, pe + 24 + (112 if magic == 0x20B else 96) + 36, value)
        add("signed-" + name, bytes(data), DAMAGED, "certificate table size %#x" % value)
    return cases


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--stub")
    ap.add_argument("--seed", type=int, default=6)
    a = ap.parse_args()
    stub = open(a.stub, "rb").read() if a.stub else pe_stub()
    os.makedirs(a.out, exist_ok=True)
    manifest = []
    for i, (name, data, expect, what) in enumerate(build(stub, a.seed)):
        file_name = "%03d-%s.exe" % (i, name)
        with open(os.path.join(a.out, file_name), "wb") as f:
            f.write(data)
        manifest.append({"file": file_name, "expect": expect, "what": what})
    with open(os.path.join(a.out, "corpus.json"), "w") as f:
        json.dump(manifest, f, indent=1)
    print("%d files in %s" % (len(manifest), a.out))


if __name__ == "__main__":
    main()
