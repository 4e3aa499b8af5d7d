"""The hostile-container corpus (make_corpus.py) through the bootstrapper's
extraction (the extract_file driver over the fake platform) and through
kivpack list, verify and extract.

For every file: nothing crashes, hangs or trips a sanitizer; the extraction
ends with "ok" or one of its own messages, as the corpus expects; kivpack
exits 0 or 1, with a "kivpack: " message when 1; and kivpack extract agrees
with the extraction: the same bytes, or the same message.

Needs KIVPACK and EXTRACT_FILE; KIV_STUB (the built setup.exe) when set."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_corpus  # noqa: E402

KIVPACK = os.environ["KIVPACK"]
EXTRACT_FILE = os.environ["EXTRACT_FILE"]
STUB = os.environ.get("KIV_STUB", "")
TIMEOUT = 120  # seconds per command; the 32 MB expansion under ASan takes a few


def run(*args):
    return subprocess.run(list(args), capture_output=True, timeout=TIMEOUT)


class HostileContainers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._dir = tempfile.TemporaryDirectory(prefix="kiv-hostile-")
        cls.dir = cls._dir.name
        stub = make_corpus.pe_stub()
        if os.path.isfile(STUB):
            with open(STUB, "rb") as f:
                stub = f.read()
        cls.cases = make_corpus.build(stub, seed=6)

    @classmethod
    def tearDownClass(cls):
        cls._dir.cleanup()

    def check_kivpack_exit(self, r, what):
        self.assertIn(r.returncode, (0, 1), "%s: exit %d\n%s" % (what, r.returncode, r.stderr.decode()))
        if r.returncode == 1:
            err = r.stderr.decode()
            self.assertTrue(err.startswith("kivpack: ") and len(err.strip()) > 10,
                            "%s: exit 1 without a clear message: %r" % (what, err))

    def test_every_file(self):
        for index, (name, data, expect, what) in enumerate(self.cases):
            with self.subTest("%03d-%s" % (index, name), what=what):
                folder = os.path.join(self.dir, "%03d" % index)
                os.mkdir(folder)
                setup = os.path.join(folder, "setup.exe")
                with open(setup, "wb") as f:
                    f.write(data)

                r = run(EXTRACT_FILE, setup, folder + "/")
                self.assertEqual(r.returncode, 0, r.stderr.decode()[-3000:])
                self.assertEqual(r.stderr, b"")
                verdict = r.stdout.decode()
                self.assertRegex(verdict, r"^(ok|failed) ")
                ok = verdict.startswith("ok ")
                if expect == "ok":
                    self.assertTrue(ok, verdict)
                elif expect != "any":
                    self.assertEqual(verdict, "failed %s\n" % expect)

                out = os.path.join(folder, "extracted")
                r = run(KIVPACK, "extract", setup, "-o", out)
                self.check_kivpack_exit(r, "extract")
                self.assertEqual(r.returncode == 0, ok,
                                 "kivpack extract and the bootstrapper disagree: %r / %r"
                                 % (r.stderr, verdict))
                if ok:
                    temp = verdict[3:].rstrip("\n")
                    with open(temp, "rb") as a, open(out, "rb") as b:
                        self.assertTrue(a.read() == b.read(), "different bytes extracted")
                else:
                    message = verdict[len("failed "):].rstrip("\n").replace("\r\n", "\n")
                    self.assertIn(message, r.stderr.decode())
                    self.assertFalse(os.path.exists(out))

                for args in (["list"], ["list", "--json"], ["verify"]):
                    r = run(KIVPACK, *args, setup)
                    self.check_kivpack_exit(r, " ".join(args))
                    if args == ["list", "--json"] and r.returncode == 0:
                        json.loads(r.stdout)

                for leftover in os.listdir(folder):
                    os.remove(os.path.join(folder, leftover))


if __name__ == "__main__":
    unittest.main()
