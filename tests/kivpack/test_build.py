#!/usr/bin/python3
"""kivpack build and compress, read back with list, extract, verify and expand.

Usage: test_build.py KIVPACK [unittest options]
"""
import json
import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest

KIVPACK = None
SIGNATURE = b"KivSetup"
TRAILER = 56


def trailer_bytes(slots):
    """The 56-byte trailer for six (offset, length) slots."""
    return b"".join(struct.pack("<II", o, n) for o, n in slots) + SIGNATURE


def sample(size, seed):
    """Bytes that compress somewhat: text-like runs, zeros and noise."""
    rng = random.Random(seed)
    words = [b"setup ", b"image ", b"window ", b"\x00\x00\x00\x00", b"MZ\x90\x00", b"data "]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words) if rng.random() < 0.8 else bytes([rng.randrange(256)])
    return bytes(out[:size])


class Scratch(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory(prefix="kivpack-build-")
        self.dir = self._dir.name
        self.stub = self.write("stub.exe", b"MZ" + sample(3000, 1))

    def tearDown(self):
        self._dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def kivpack(self, *args, timeout=120):
        return subprocess.run([KIVPACK, *args], capture_output=True, timeout=timeout)


class BuildReadsBack(Scratch):
    """Every combination of images and blobs comes back as it went in."""

    CASES = [
        # what, program size, library size, blob sizes (None: not given)
        ("program and three blobs", 20000, None, [10, 0, None, 7000]),
        ("library only, no blobs", None, 5000, [None, None, None, None]),
        ("both images: the program wins", 3000, 4000, [1, 2, 3, 4]),
        ("empty program image", 0, None, [5, None, None, None]),
        ("image across the window wrap", 4097, None, [None, None, 9, None]),
    ]

    def test_layout_and_read_back(self):
        for what, program_size, library_size, blob_sizes in self.CASES:
            with self.subTest(what):
                args = ["build", "-o", self.path("setup.exe"), "--stub", self.stub]
                program = library = None
                if program_size is not None:
                    program = sample(program_size, 2)
                    args += ["--program", self.write("program.exe", program)]
                if library_size is not None:
                    library = sample(library_size, 3)
                    args += ["--library", self.write("library.dll", library)]
                blobs = []
                for i, size in enumerate(blob_sizes):
                    blob = b"" if size is None else sample(size, 10 + i)
                    blobs.append(blob)
                    if size is not None:
                        args += ["--info%d" % i, self.write("info%d" % i, blob)]
                result = self.kivpack(*args)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stderr, b"")  # no progress when not a terminal

                built = self.read("setup.exe")
                stub = self.read("stub.exe")
                self.assertEqual(built[: len(stub)], stub)
                listing = self.kivpack("list", "--json", self.path("setup.exe"))
                self.assertEqual(listing.returncode, 0, listing.stderr)
                info = json.loads(listing.stdout)

                # Back to back in slot order; empty pieces take no room.
                position = len(stub)
                for key, image in (("program", program), ("library", library)):
                    slot = info[key]
                    if image is None:
                        self.assertEqual(slot, {"offset": 0, "length": 0})
                        continue
                    self.assertEqual(slot["offset"], position)
                    self.assertGreater(slot["length"], 0)
                    position += slot["length"]
                new_slots = []
                rewritten = program if program is not None else library
                for i, blob in enumerate(blobs):
                    if not blob:
                        self.assertEqual(info["info"][i], {"offset": 0, "length": 0})
                        new_slots.append((0, 0))
                        continue
                    self.assertEqual(info["info"][i], {"offset": position, "length": len(blob)})
                    self.assertEqual(built[position : position + len(blob)], blob)
                    position += len(blob)
                    new_slots.append((len(rewritten), len(blob)))
                    rewritten += blob
                self.assertEqual(len(built), position + TRAILER)
                self.assertEqual(info["mode"], "program" if program is not None else "library")
                self.assertEqual(
                    info["expanded_size"], len(program if program is not None else library)
                )

                # What the bootstrapper would leave behind.
                rewritten += trailer_bytes([(0, 0), (0, 0)] + new_slots)
                extracted = self.kivpack("extract", self.path("setup.exe"), "-o", self.path("x"))
                self.assertEqual(extracted.returncode, 0, extracted.stderr)
                self.assertEqual(self.read("x"), rewritten)

                verified = self.kivpack("verify", self.path("setup.exe"))
                self.assertEqual(verified.returncode, 0, verified.stderr)

                # The library image, when the program hides it, still expands.
                if program is not None and library is not None:
                    lib = info["library"]
                    self.write("lib.stream", built[lib["offset"] : lib["offset"] + lib["length"]])
                    self.assertEqual(
                        self.kivpack("expand", self.path("lib.stream"), self.path("lib")).returncode,
                        0,
                    )
                    self.assertEqual(self.read("lib"), library)


class CompressExpand(Scratch):
    def test_round_trip(self):
        inputs = {
            "empty": b"",
            "zeros": bytes(10000),
            "mixed": sample(70000, 4),
            "noise": random.Random(5).randbytes(9000),
        }
        for name, data in inputs.items():
            with self.subTest(name):
                self.write(name, data)
                c = self.kivpack("compress", self.path(name), self.path(name + ".lz"))
                self.assertEqual(c.returncode, 0, c.stderr)
                e = self.kivpack("expand", self.path(name + ".lz"), self.path(name + ".out"))
                self.assertEqual(e.returncode, 0, e.stderr)
                self.assertEqual(self.read(name + ".out"), data)
                # At most one literal (9 bits) per byte and the end marker.
                self.assertLessEqual(len(self.read(name + ".lz")), (9 * len(data) + 13 + 7) // 8)

    def test_missing_input_leaves_no_output(self):
        c = self.kivpack("compress", self.path("nope"), self.path("out"))
        self.assertEqual(c.returncode, 1)
        self.assertFalse(os.path.exists(self.path("out")))


class Refusals(Scratch):
    """Each refusal exits as listed and leaves no OUT behind."""

    def sparse(self, name, size):
        with open(self.path(name), "wb") as f:
            f.truncate(size)
        return self.path(name)

    def test_refusals(self):
        program = self.write("program.exe", sample(5000, 6))
        self.write("empty", b"")
        os.mkdir(self.path("folder"))
        built = self.path("built.exe")
        made = self.kivpack("build", "-o", built, "--stub", self.stub, "--program", program)
        self.assertEqual(made.returncode, 0, made.stderr)
        # A stub whose last 56 bytes are a trailer, though the file is no setup.
        trailer_stub = self.write("tail.exe", b"MZ" + trailer_bytes([(0, 0)] * 6))
        cases = [
            ("missing input", ["--stub", self.stub, "--program", program, "--info1", self.path("nope")], 1, b"nope"),
            ("missing stub", ["--stub", self.path("nope"), "--program", program], 1, b"nope"),
            ("input is a folder", ["--stub", self.stub, "--library", self.path("folder")], 1, b"directory"),
            ("empty stub", ["--stub", self.path("empty"), "--program", program], 1, b"empty"),
            ("stub is a built setup", ["--stub", built, "--program", program], 1, b"trailer"),
            ("stub ends in a trailer", ["--stub", trailer_stub, "--program", program], 1, b"trailer"),
            ("no image", ["--stub", self.stub, "--info0", program], 2, b"image"),
            ("unknown option", ["--stub", self.stub, "--program", program, "--info4", program], 2, b"--info4"),
            ("setup of 2 GiB",
             ["--stub", self.stub, "--program", program, "--info2", self.sparse("big", 1 << 31)], 1, b"2 GiB"),
            ("setup of exactly 2^31 bytes before its image",
             ["--stub", self.stub, "--program", program,
              "--info3", self.sparse("edge", (1 << 31) - 3002 - TRAILER)], 1, b"2 GiB"),
            ("extracted setup of 2 GiB",
             ["--stub", self.stub, "--program", self.sparse("huge.exe", (1 << 31) - 100),
              "--info0", self.write("blob", bytes(44))], 1, b"2 GiB"),
        ]
        for what, args, code, message in cases:
            with self.subTest(what):
                out = self.path("out.exe")
                # Refused before anything is compressed or copied: quick.
                result = self.kivpack("build", "-o", out, *args, timeout=20)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(sorted(n for n in os.listdir(self.dir) if n.startswith("out")), [])

    def test_output_is_required(self):
        result = self.kivpack("build", "--stub", self.stub, "--program", self.stub)
        self.assertEqual(result.returncode, 2)


if __name__ == "__main__":
    KIVPACK = os.path.abspath(sys.argv.pop(1))
    unittest.main()
