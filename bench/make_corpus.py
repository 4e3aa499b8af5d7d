#!/usr/bin/python3
"""Writes the benchmark corpus: SIZE bytes (default 32 MiB) of generated text
and binary records, zero runs, random bytes and the PE files (.dll, .exe)
that the mingw-w64 i686 packages install, interleaved in blocks. The same
SIZE and seed always give the same bytes.

Usage: make_corpus.py OUT [SIZE] [SEED]
"""
import os
import random
import struct
import sys

PE_ROOTS = ["/usr/lib/gcc/i686-w64-mingw32", "/usr/i686-w64-mingw32"]


def pe_files():
    found = []
    for root in PE_ROOTS:
        for folder, _, names in os.walk(root):
            for name in names:
                if name.lower().endswith((".dll", ".exe")):
                    path = os.path.join(folder, name)
                    with open(path, "rb") as f:
                        if f.read(2) == b"MZ":
                            found.append(path)
    return sorted(found)


def text(rng, size):
    words = ["".join(rng.choice("etaoinshrdlucmfwypvbgkqjxz") for _ in range(rng.randint(1, 10)))
             for _ in range(3000)]
    out = []
    length = 0
    while length < size:
        line = " ".join(rng.choice(words) for _ in range(rng.randint(3, 14)))
        line = line.capitalize() + ".\n"
        out.append(line)
        length += len(line)
    return "".join(out).encode()[:size]


def records(rng, size):
    out = bytearray()
    ident = 1000
    names = [b"setup", b"config", b"Kiv", b"data", b"option", b"file"]
    while len(out) < size:
        ident += rng.randint(1, 3)
        name = rng.choice(names) + str(rng.randint(0, 99)).encode()
        out += struct.pack("<IIHH16s", ident, rng.randint(0, 1 << 20), rng.randint(0, 7),
                           len(name), name)
    return bytes(out[:size])


def main():
    out_path = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 32 << 20
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 20240611)
    pes = [open(p, "rb").read() for p in pe_files()]
    pe_total = sum(len(p) for p in pes)
    with open(out_path, "wb") as out:
        written = 0
        pe_index = 0
        while written < size:
            kind = rng.random()
            if kind < 0.35 and pes:
                block = pes[pe_index % len(pes)]  # every PE file in turn, then again
                pe_index += 1
            elif kind < 0.60:
                block = text(rng, rng.randint(64 << 10, 1 << 20))
            elif kind < 0.80:
                block = records(rng, rng.randint(64 << 10, 1 << 20))
            elif kind < 0.90:
                block = bytes(rng.randint(1 << 10, 256 << 10))
            else:
                block = rng.randbytes(rng.randint(16 << 10, 512 << 10))
            block = block[: size - written]
            out.write(block)
            written += len(block)
    sys.stderr.write("corpus: %d bytes, %d PE files (%d bytes) in turn\n" % (size, len(pes), pe_total))


main()
