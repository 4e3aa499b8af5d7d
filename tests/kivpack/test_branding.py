"""Branded setups: kivpack build --icon / --file-version / --product-version /
--version-string around the real stub, read back with an independent PE
reader (python3-pefile); the stub's code untouched, its other resources kept
byte for byte, its headers consistent; bad input refused with exit 1 and no
output; an unbranded build copies the stub byte for byte.

Needs KIVPACK and KIV_STUB (the built setup.exe); skipped without the stub."""

import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest

import pefile

sys.path.insert(0, os.path.dirname(__file__))
import icons  # noqa: E402
from containers import literal_stream, pattern  # noqa: E402

KIVPACK = os.environ["KIVPACK"]
STUB = os.environ.get("KIV_STUB", "")

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION = 3, 5, 14, 16


def resources(pe):
    """{(type, name, language): bytes} of every resource."""
    out = {}
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for n in t.directory.entries:
            for lang in n.directory.entries:
                s = lang.data.struct
                out[(t.id, n.id, lang.id)] = pe.get_data(s.OffsetToData, s.Size)
    return out


def version_strings(pe):
    tables = [t for info in pe.FileInfo[0] for t in getattr(info, "StringTable", [])]
    return {t.LangID: {k.decode(): v.decode() for k, v in t.entries.items()} for t in tables}


@unittest.skipUnless(os.path.isfile(STUB), "no built stub (KIV_STUB)")
class Branding(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(STUB, "rb") as f:
            cls.stub = f.read()
        cls.stub_pe = pefile.PE(data=cls.stub)

    def setUp(self):
        self._dir = tempfile.TemporaryDirectory(prefix="kiv-brand-")
        self.dir = self._dir.name
        self.program = pattern(5000, 7)
        self.ico = self.write("product.ico", icons.ico())

    def tearDown(self):
        self._dir.cleanup()

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def build(self, *options, stub=STUB, out="setup.exe"):
        path = os.path.join(self.dir, out)
        r = subprocess.run([KIVPACK, "build", "-o", path, "--stub", stub, "--program",
                            self.write("program.exe", self.program), *options],
                           capture_output=True, timeout=120)
        return r, path

    def branded_stub(self, *options):
        r, path = self.build(*options)
        self.assertEqual(r.returncode, 0, r.stderr)
        listing = subprocess.run([KIVPACK, "list", "--json", path], capture_output=True)
        doc = json.loads(listing.stdout)
        with open(path, "rb") as f:
            data = f.read()
        return data[:doc["program"]["offset"]], doc, path

    def test_icon_and_version_read_back_byte_for_byte(self):
        stub, doc, path = self.branded_stub(
            "--icon", self.ico, "--file-version", "2.5.0.17", "--product-version", "2.5.0.0",
            "--version-string", "ProductName=Acme Widgets \u00e9t\u00e9",
            "--version-string", "CompanyName=Acme Ltd.",
            "--version-string", "Comments=built by the test")
        pe = pefile.PE(data=stub)
        got, old = resources(pe), resources(self.stub_pe)

        # The group names every image of the .ico, in order, with its size.
        group = got[(RT_GROUP_ICON, 101, 0x0409)]
        reserved, kind, count = struct.unpack_from("<HHH", group)
        self.assertEqual((reserved, kind, count), (0, 1, len(icons.images())))
        for i, (width, bits, data) in enumerate(icons.images()):
            w, h, colours, _, planes, bitcount, size, rid = struct.unpack_from(
                "<BBBBHHIH", group, 6 + 14 * i)
            self.assertEqual((w, h, planes, bitcount, size), (width % 256, width % 256, 1, bits,
                                                               len(data)))
            self.assertEqual(got[(RT_ICON, rid, 0x0409)], data, "image %d" % i)
        # The packer's own image went with its group; nothing else changed.
        self.assertEqual(sorted(k for k in got if k[0] == RT_ICON),
                         [(RT_ICON, i + 1, 0x0409) for i in range(count)])
        for key in old:
            if key[0] not in (RT_ICON, RT_GROUP_ICON, RT_VERSION):
                self.assertEqual(got[key], old[key], key)

        fixed = pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (0x00020005, 0x00000011))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), (0x00020005, 0))
        self.assertEqual((fixed.FileFlagsMask, fixed.FileOS, fixed.FileType), (0x3F, 0x40004, 1))
        strings = version_strings(pe)
        self.assertEqual(list(strings), [b"040904b0"])
        want = version_strings(self.stub_pe)[b"040904b0"]
        want.update({"FileVersion": "2, 5, 0, 17", "ProductVersion": "2, 5, 0, 0",
                     "ProductName": "Acme Widgets \u00e9t\u00e9", "CompanyName": "Acme Ltd.",
                     "Comments": "built by the test"})
        self.assertEqual(strings[b"040904b0"], want)

        self.assertEqual((doc["file_version"], doc["product_name"]),
                         ("2.5.0.17", "Acme Widgets \u00e9t\u00e9"))
        r = subprocess.run([KIVPACK, "extract", path, "-o", path + ".out"], capture_output=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(path + ".out", "rb") as f:
            self.assertTrue(f.read().startswith(self.program))

    def test_only_the_resource_section_and_its_header_fields_change(self):
        stub, _, _ = self.branded_stub("--icon", self.ico, "--version-string", "X=" + "y" * 3000)
        pe, old = pefile.PE(data=stub), self.stub_pe
        self.assertGreater(len(stub), len(self.stub) + 8192, "the section must have grown")
        rsrc = old.sections[-1]
        self.assertEqual(rsrc.Name.rstrip(b"\0"), b".rsrc")
        for a, b in zip(old.sections[:-1], pe.sections[:-1]):
            self.assertEqual(a.get_data(), b.get_data(), a.Name)
            self.assertEqual(a.__pack__(), b.__pack__(), a.Name)
        new = pe.sections[-1]
        oh, align = pe.OPTIONAL_HEADER, pe.OPTIONAL_HEADER.FileAlignment
        self.assertEqual((new.VirtualAddress, new.PointerToRawData),
                         (rsrc.VirtualAddress, rsrc.PointerToRawData))
        self.assertEqual(new.SizeOfRawData % align, 0)
        self.assertEqual(new.PointerToRawData + new.SizeOfRawData, len(stub))
        directory = oh.DATA_DIRECTORY[2]
        self.assertEqual((directory.VirtualAddress, directory.Size),
                         (new.VirtualAddress, new.Misc_VirtualSize))
        self.assertLessEqual(new.Misc_VirtualSize, new.SizeOfRawData)
        end = new.VirtualAddress + new.Misc_VirtualSize
        self.assertEqual(oh.SizeOfImage, -(-end // oh.SectionAlignment) * oh.SectionAlignment)
        self.assertEqual(oh.SizeOfInitializedData - old.OPTIONAL_HEADER.SizeOfInitializedData,
                         new.SizeOfRawData - rsrc.SizeOfRawData)
        self.assertEqual(oh.CheckSum, pe.generate_checksum())
        self.assertEqual(oh.AddressOfEntryPoint, old.OPTIONAL_HEADER.AddressOfEntryPoint)
        self.assertEqual(version_strings(pe)[b"040904b0"]["X"], "y" * 3000)

    def test_version_numbers_and_their_strings(self):
        cases = [
            # options, FileVersion string, ProductVersion string
            (["--file-version", "0.0.0.0"], "0, 0, 0, 0", "1, 0, 0, 1"),
            (["--product-version", "65535.1.2.3"], "1, 0, 0, 1", "65535, 1, 2, 3"),
            (["--file-version", "3.1.4.1", "--version-string", "FileVersion=3.1 beta"],
             "3.1 beta", "1, 0, 0, 1"),
            (["--version-string", "ProductVersion=a", "--version-string", "ProductVersion=b"],
             "1, 0, 0, 1", "b"),
        ]
        for options, file_version, product_version in cases:
            with self.subTest(options=options):
                stub, _, _ = self.branded_stub(*options)
                strings = version_strings(pefile.PE(data=stub))[b"040904b0"]
                self.assertEqual((strings["FileVersion"], strings["ProductVersion"]),
                                 (file_version, product_version))
                self.assertEqual(resources(pefile.PE(data=stub))[(RT_ICON, 1, 0x0409)],
                                 resources(self.stub_pe)[(RT_ICON, 1, 0x0409)])

    def test_without_branding_the_stub_is_copied_byte_for_byte(self):
        stub, doc, _ = self.branded_stub()
        self.assertEqual(stub, self.stub)
        self.assertEqual((doc["file_version"], doc["product_name"]), ("1.0.0.1", "Kiv Setup"))

    def refused(self, options, stub=STUB, message=b""):
        r, path = self.build(*options, stub=stub)
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn(message, r.stderr)
        self.assertFalse(os.path.exists(path))
        self.assertEqual([n for n in os.listdir(self.dir) if "setup" in n], [])

    def test_bad_icons_versions_and_strings_are_refused(self):
        good = icons.ico()
        cursor = bytearray(good)
        cursor[2] = 2
        runs_past = bytearray(good)
        struct.pack_into("<I", runs_past, 6 + 8, len(good))  # first image's size
        neither = icons.ico([(32, 32, b"GIF89a" + bytes(100))])
        png_cut = icons.ico([(0, 32, icons.png_image(16)[:20])])
        cases = [
            ("--icon", good[:5], b"too short"),
            ("--icon", struct.pack("<HHH", 0, 1, 0), b"no images"),
            ("--icon", good[:6 + 16 * 3], b"cut short"),
            ("--icon", bytes(cursor), b"not an icon file"),
            ("--icon", bytes(runs_past), b"runs past the end"),
            ("--icon", neither, b"neither a PNG nor a bitmap"),
            ("--icon", png_cut, b"PNG"),
            ("--file-version", "1.2.3", b"four numbers"),
            ("--file-version", "1.2.3.65536", b"four numbers"),
            ("--product-version", "1.2.3.4.5", b"four numbers"),
            ("--product-version", "1.-2.3.4", b"four numbers"),
            ("--file-version", "1.2.3.x", b"four numbers"),
            ("--version-string", "=value", b"key is empty"),
            ("--version-string", "NoEquals", b"KEY=VALUE"),
            ("--version-string", "Comments=\udcff", b"UTF-8"),
        ]
        for option, value, message in cases:
            with self.subTest(option=option, value=value):
                if option == "--icon":
                    value = self.write("bad.ico", value)
                self.refused([option, value], message=message)

    def test_stubs_that_cannot_grow_are_refused(self):
        pe = pefile.PE(data=self.stub)
        # A section placed behind the resources, as a base relocation
        # section would be.
        behind = bytearray(self.stub)
        table = pe.sections[-1].get_file_offset() + 40
        rsrc = pe.sections[-1]
        va = rsrc.VirtualAddress + -(-rsrc.Misc_VirtualSize // 4096) * 4096
        behind[table:table + 40] = struct.pack("<8sIIIIIIHHI", b".reloc", 16, va, 512, len(behind),
                                               0, 0, 0, 0, 0x42000040)
        struct.pack_into("<H", behind, pe.FILE_HEADER.get_file_offset() + 2,
                         pe.FILE_HEADER.NumberOfSections + 1)
        behind += bytes(512)
        cases = [
            ("a section behind the resources", bytes(behind), b"not the last section"),
            ("data behind the resources", self.stub + bytes(512), b"512 bytes follow"),
            ("not a PE image", b"MZ" + bytes(200), b"not a PE image"),
        ]
        for what, stub, message in cases:
            with self.subTest(what):
                self.refused(["--file-version", "1.2.3.4"], stub=self.write(what, stub),
                             message=message)
        # Without branding such a stub is still copied as it is.
        r, path = self.build(stub=self.write("behind", bytes(behind)))
        self.assertEqual(r.returncode, 0, r.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
