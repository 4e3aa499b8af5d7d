"""kivpack's reading side against containers made by containers.py:
list, extract, verify and expand, their exit codes and their messages."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from containers import container, literal_stream, rewritten, trailer  # noqa: E402

KIVPACK = os.environ["KIVPACK"]


def run(*args):
    return subprocess.run([KIVPACK, *args], capture_output=True, timeout=60)


class Scratch(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.dir = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def path(self, name):
        return os.path.join(self.dir, name)

    def leftovers(self):
        return sorted(os.listdir(self.dir))


class ListTest(Scratch):
    def test_json_names_mode_slots_and_expanded_size(self):
        cases = [
            ("program", dict(program=literal_stream(b"abc")), "program", 3),
            ("library", dict(library=literal_stream(b"hello")), "library", 5),
            ("both", dict(program=literal_stream(b"p"), library=literal_stream(b"ll")), "program", 1),
            ("none", dict(info=[b"x"]), None, None),
        ]
        for name, parts, mode, size in cases:
            with self.subTest(name):
                data, slots = container(**parts)
                r = run("list", "--json", self.write(name, data))
                self.assertEqual(r.returncode, 0, r.stderr)
                doc = json.loads(r.stdout)
                self.assertEqual(doc["mode"], mode)
                self.assertEqual(doc["expanded_size"], size)
                self.assertEqual(doc["program"]["offset"], slots.get("program", (0, 0))[0])
                self.assertEqual(len(doc["info"]), 4)

    def test_text_listing_and_damaged_file(self):
        data, _ = container(program=literal_stream(b"abc"), info=[b"1", b"", b"33"])
        r = run("list", self.write("ok", data))
        self.assertEqual(r.returncode, 0)
        self.assertIn(b"mode:           program", r.stdout)
        self.assertIn(b"expanded size:  3", r.stdout)
        r = run("list", self.write("bad", data[:-1]))
        self.assertEqual(r.returncode, 1)
        self.assertTrue(r.stderr.startswith(b"kivpack: "), r.stderr)


class ExtractTest(Scratch):
    def test_writes_the_rewritten_container(self):
        blobs = [b"zero", b"", b"two!", b"three" * 1000]
        image = bytes(range(256)) * 40
        data, _ = container(program=literal_stream(image), info=blobs)
        out = self.path("out")
        r = run("extract", self.write("setup.exe", data), "-o", out)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), rewritten(image, blobs))

    def test_failures_print_the_bootstrapper_message_and_leave_no_output(self):
        good, slots = container(program=literal_stream(b"x"), info=[b"blob"])
        off, _ = slots[0]
        cases = [
            ("damaged", good[:-1] + b"q", b"Setup.exe is damaged."),
            ("no image", b"MZ" + trailer(info=[(2, 1)]),
             b"This application requires a\n32-bit version of Windows."),
            ("blob past end", good[:-56] + trailer(program=slots["program"], info=[(off, 10 ** 6)]),
             b"Cannot copy setup information\nto temporary file."),
            ("offset 2^31", b"MZ" + trailer(program=(2 ** 31, 1)), b"Setup.exe is damaged."),
        ]
        for name, data, message in cases:
            with self.subTest(name):
                out = self.path("out-" + name.replace(" ", "_"))
                r = run("extract", self.write(name.replace(" ", "_"), data), "-o", out)
                self.assertEqual(r.returncode, 1)
                self.assertIn(message, r.stderr)
                self.assertFalse(os.path.exists(out))
        self.assertFalse([n for n in self.leftovers() if n.startswith("out")])

    def test_output_replaces_an_existing_file_only_when_complete(self):
        out = self.write("out", b"old contents")
        r = run("extract", self.write("bad", b"MZ" + trailer()), "-o", out)
        self.assertEqual(r.returncode, 1)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), b"old contents")


class VerifyTest(Scratch):
    def test_sound_container(self):
        data, _ = container(program=literal_stream(b"abc"), library=literal_stream(b"d"),
                            info=[b"1", b"2"])
        r = run("verify", self.write("ok", data))
        self.assertEqual(r.returncode, 0, r.stderr)

    def test_reports_every_problem(self):
        stream = literal_stream(b"abcd")
        stub = b"MZ" + bytes(14)
        body = stub + stream + b"blob"
        size = len(body) + 56
        cases = [
            ("invalid trailer", body + trailer(signature=b"KIVSETUP"), [b"trailer"]),
            ("no image", body + trailer(info=[(len(stub), 4)]), [b"no secondary setup image"]),
            ("stream longer than slot",
             body + trailer(program=(len(stub), len(stream) - 1)), [b"ends at"]),
            ("blob outside and image past end",
             body + trailer(program=(size + 5, 3), info=[(len(stub), 4), (size - 2, 3)]),
             [b"past the end", b"setup information 1"]),
            ("stream running on into the trailer",
             stub + b"\xff" * 3 + trailer(program=(len(stub), 3)), [b"not at the slot's end 19"]),
        ]
        for name, data, needles in cases:
            with self.subTest(name):
                r = run("verify", self.write(name.replace(" ", "_"), data))
                self.assertEqual(r.returncode, 1)
                for needle in needles:
                    self.assertIn(needle, r.stderr)


class ExpandTest(Scratch):
    def test_expands_streams_and_cut_off_streams(self):
        cases = [
            (bytes([0xB0, 0xD8, 0x80, 0x02, 0x80, 0x00]), b"abababab"),
            (bytes([0xB0, 0x80, 0x04]), b"aaa"),  # ends inside a length field
            (b"", b""),
        ]
        for stream, plain in cases:
            with self.subTest(stream=stream.hex()):
                out = self.path("plain")
                r = run("expand", self.write("s", stream), out)
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(out, "rb") as f:
                    self.assertEqual(f.read(), plain)


class UsageTest(Scratch):
    def test_exit_codes_and_help(self):
        cases = [
            ((), 2), (("--help",), 0), (("nonsense",), 2), (("list",), 2),
            (("list", "--bogus", "x"), 2), (("extract", "x"), 2), (("expand", "a"), 2),
            (("list", "--help"), 0), (("extract", "--help"), 0), (("verify", "--help"), 0),
            (("expand", "--help"), 0), (("list", self.path("missing")), 1),
            (("list", self.dir), 1),
        ]
        for args, code in cases:
            with self.subTest(args=args):
                r = run(*args)
                self.assertEqual(r.returncode, code, r.stderr)
                if code == 0:
                    self.assertIn(b"usage:", r.stdout)
                else:
                    self.assertIn(b"kivpack: ", r.stderr)


if __name__ == "__main__":
    unittest.main()
