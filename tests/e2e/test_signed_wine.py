"""Signed setups run under Wine: setups packed around the real stub with a
real secondary program, for every file size modulo 8, signed with
osslsigncode and a certificate that the test makes with openssl. Signing
puts the certificate table behind the trailer, after up to 7 bytes of
padding; setup.exe must still find its trailer, hand over without a box, and
leave the temporary file exactly as `kivpack extract` writes it from the
signed file (and from the unsigned one). All runs in one driver session.

Needs RUNNER, DRIVER, KIVPACK, KIV_STUB, PROGRAM (the recording program) and
WORK; skipped without osslsigncode or openssl."""

import os
import shutil
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "kivpack"))
from containers import pattern  # noqa: E402
from run_plan import Plan, fresh_folder, read_result, winpath  # noqa: E402

KIVPACK = os.environ["KIVPACK"]


def run(*args):
    r = subprocess.run(list(args), capture_output=True, timeout=120)
    assert r.returncode == 0, "%s: %s%s" % (args[:2], r.stdout.decode()[-500:], r.stderr.decode())
    return r


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


@unittest.skipUnless(shutil.which("osslsigncode") and shutil.which("openssl"),
                     "osslsigncode or openssl missing")
class SignedSetupsUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = work = fresh_folder(os.environ["WORK"])
        key, cert = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-subj", "/CN=Kiv Setup test signer", "-keyout", key, "-out", cert)
        info0 = os.path.join(work, "info0")
        write(info0, pattern(3000, 7))
        plan = Plan(work)
        cls.setups = []
        for mod in range(8):
            unsigned = os.path.join(work, "setup%d.exe" % mod)
            signed = os.path.join(work, "setup%d-signed.exe" % mod)
            info3 = os.path.join(work, "info3-%d" % mod)
            # The last blob is stored as it is, so its size sets the file's.
            for size in (8, None):
                if size is None:
                    size = 8 + (mod - os.path.getsize(unsigned)) % 8
                write(info3, pattern(size, 8))
                run(KIVPACK, "build", "-o", unsigned, "--stub", os.environ["KIV_STUB"],
                    "--program", os.environ["PROGRAM"], "--info0", info0, "--info3", info3)
            run("osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Kiv Setup test",
                "-in", unsigned, "-out", signed)
            run("osslsigncode", "verify", "-CAfile", cert, "-in", signed)
            temp, out = plan.add("signed%d" % mod, winpath(signed), wait_for_report=True)
            cls.setups.append((mod, unsigned, signed, temp, out))
        cls.log = plan.run(os.environ["RUNNER"], os.environ["DRIVER"], timeout=900)

    def test_every_size_modulo_8_hands_over_the_file_kivpack_extracts(self):
        for mod, unsigned, signed, temp, out in self.setups:
            with self.subTest(size_mod_8=mod):
                self.assertEqual(os.path.getsize(unsigned) % 8, mod)
                data = read(signed)
                # The certificate table stands behind the trailer.
                self.assertEqual(data[os.path.getsize(unsigned) - 8:os.path.getsize(unsigned)],
                                 b"KivSetup")
                self.assertNotEqual(data[-8:], b"KivSetup")

                result = read_result(out)
                self.assertIsNotNone(result, self.log[-2000:])
                self.assertEqual((result["exit"], result["boxes"], result["timeout"]),
                                 (0, 0, False), result["texts"])
                expected = os.path.join(self.work, "expected%d" % mod)
                run(KIVPACK, "extract", signed, "-o", expected)
                run(KIVPACK, "extract", unsigned, "-o", expected + "-unsigned")
                self.assertEqual(read(expected), read(expected + "-unsigned"))
                self.assertEqual(read(os.path.join(temp, "_setup0.exe")), read(expected),
                                 "the temporary file differs from kivpack extract")
                self.assertEqual(read(os.path.join(out, "secondary.image")), read(expected),
                                 "the started program's own file differs")


if __name__ == "__main__":
    unittest.main()
