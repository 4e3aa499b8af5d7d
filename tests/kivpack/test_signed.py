"""Signed setups: setups packed around the real stub for every file size
modulo 8, signed with osslsigncode and a certificate that the test makes
with openssl. The signature must verify, and kivpack must read each signed
file exactly as its unsigned original: list, verify and extract.

Needs KIVPACK and KIV_STUB (the built setup.exe); skipped without the stub
or the signing tools."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from containers import literal_stream, pattern, rewritten, trailer  # noqa: E402

KIVPACK = os.environ["KIVPACK"]
STUB = os.environ.get("KIV_STUB", "")


def run(*args):
    return subprocess.run(list(args), capture_output=True, timeout=120)


@unittest.skipUnless(os.path.isfile(STUB), "no built stub (KIV_STUB)")
@unittest.skipUnless(shutil.which("osslsigncode") and shutil.which("openssl"),
                     "osslsigncode or openssl missing")
class SignedSetupTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._dir = tempfile.TemporaryDirectory(prefix="kiv-signed-")
        cls.dir = cls._dir.name
        cls.key = os.path.join(cls.dir, "key.pem")
        cls.cert = os.path.join(cls.dir, "cert.pem")
        r = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                "-subj", "/CN=Kiv Setup test signer", "-keyout", cls.key, "-out", cls.cert)
        assert r.returncode == 0, r.stderr
        with open(STUB, "rb") as f:
            cls.stub = f.read()

    @classmethod
    def tearDownClass(cls):
        cls._dir.cleanup()

    def pack(self, size_mod_8):
        """A program image and three blobs behind the stub; the last blob's
        size makes the file size come out at `size_mod_8` modulo 8."""
        program = pattern(20000, 1)
        stream = literal_stream(program)
        blobs = [pattern(1000, 2), b"", pattern(300, 3)]
        fixed = len(self.stub) + len(stream) + 1300 + 56
        blobs.append(pattern((size_mod_8 - fixed) % 8 + 8, 4))
        data = bytearray(self.stub)
        image = (len(data), len(stream))
        data += stream
        slots = []
        for blob in blobs:
            slots.append((len(data), len(blob)) if blob else (0, 0))
            data += blob
        data += trailer(program=image, info=slots)
        self.assertEqual(len(data) % 8, size_mod_8)
        return bytes(data), rewritten(program, blobs), len(program)

    def test_every_size_modulo_8_signs_verifies_and_reads_alike(self):
        for mod in range(8):
            with self.subTest(size_mod_8=mod):
                plain, expected, expanded = self.pack(mod)
                unsigned = os.path.join(self.dir, "setup%d.exe" % mod)
                signed = os.path.join(self.dir, "setup%d-signed.exe" % mod)
                with open(unsigned, "wb") as f:
                    f.write(plain)
                r = run("osslsigncode", "sign", "-certs", self.cert, "-key", self.key,
                        "-n", "Kiv Setup test", "-in", unsigned, "-out", signed)
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(signed, "rb") as f:
                    data = f.read()
                # The table stands behind the trailer: the case being tested.
                self.assertEqual(data[len(plain) - 8:len(plain)], b"KivSetup")
                self.assertNotEqual(data[-8:], b"KivSetup")
                self.assertTrue(all(b == 0 for b in data[len(plain):len(plain) + (-mod % 8)]))

                r = run("osslsigncode", "verify", "-CAfile", self.cert, "-in", signed)
                self.assertEqual(r.returncode, 0, r.stdout[-500:])

                for path, is_signed in ((unsigned, False), (signed, True)):
                    r = run(KIVPACK, "verify", path)
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertEqual(r.stdout.decode().rstrip().endswith(", signed"), is_signed)
                    r = run(KIVPACK, "list", "--json", path)
                    self.assertEqual(r.returncode, 0, r.stderr)
                    doc = json.loads(r.stdout)
                    self.assertIs(doc["signed"], is_signed)
                    self.assertEqual(doc["mode"], "program")
                    self.assertEqual(doc["expanded_size"], expanded)
                    out = path + ".out"
                    r = run(KIVPACK, "extract", path, "-o", out)
                    self.assertEqual(r.returncode, 0, r.stderr)
                    with open(out, "rb") as f:
                        self.assertEqual(f.read(), expected)


if __name__ == "__main__":
    unittest.main()
