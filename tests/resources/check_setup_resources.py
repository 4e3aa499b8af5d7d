#!/usr/bin/python3
"""Reads the built setup.exe's resources back and checks them byte for byte.

The window is made from these bytes by the system, so a wrong style bit, a
control in the wrong order or a resource in the wrong language shows up on
users' screens, not in the compiler's output. The expected bytes are built
here from the documented layout of a standard dialog template, icon group and
version block, independently of the resource script.

Usage: check_setup_resources.py SETUP_EXE RESOURCES_DIR
(RESOURCES_DIR holds setup.ico and its generator make_setup_icon.py.)
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

import pefile

SETUP_EXE = None
RESOURCES_DIR = None

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION = 3, 5, 14, 16
ENGLISH_US = 0x0409
SENTENCE = ("Setup is preparing the Kiv setup wizard, which will guide you through "
            "the rest of the installation process.")


def wide(text):
    return (text + "\0").encode("utf-16-le")


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def expected_dialog():
    """Dialog 102 in the standard (not extended) template form."""
    style = 0x80000000 | 0x10000000 | 0x00800000 | 0x40  # popup, visible, border, set font
    head = struct.pack("<IIHhhhh", style, 0, 2, 0, 0, 164, 33)
    head += b"\0\0" + b"\0\0" + wide("")  # no menu, the system's class, empty title
    head += struct.pack("<H", 8) + wide("MS Sans Serif")
    static_class = struct.pack("<HH", 0xFFFF, 0x0082)
    icon = struct.pack("<IIhhhhH", 0x50000003, 0, 5, 6, 18, 20, 0xFFFF)
    icon += static_class + struct.pack("<HH", 0xFFFF, 101) + struct.pack("<H", 0)
    text = struct.pack("<IIhhhhH", 0x50020000, 0, 31, 4, 127, 26, 1000)
    text += static_class + wide(SENTENCE) + struct.pack("<H", 0)
    return pad4(head) + pad4(icon) + text


def expected_icon_group():
    entry = struct.pack("<BBBBHHIH", 32, 32, 16, 0, 1, 4, 744, 1)
    return struct.pack("<HHH", 0, 1, 1) + entry


class SetupResources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(SETUP_EXE)
        cls.tree = {}
        for rtype in cls.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            for name in rtype.directory.entries:
                for lang in name.directory.entries:
                    cls.tree.setdefault(rtype.id, []).append((name.id, lang.id, lang.data.struct))

    def data(self, rtype, name):
        entries = self.tree.get(rtype, [])
        self.assertEqual([(n, l) for n, l, _ in entries], [(name, ENGLISH_US)],
                         "resource type %d: exactly one, numbered %d, in English (US)" % (rtype, name))
        s = entries[0][2]
        return self.pe.get_data(s.OffsetToData, s.Size)

    def test_holds_only_the_dialog_the_icon_and_the_version_block(self):
        # No string table, menu, accelerators or manifest, and nothing named by text.
        self.assertEqual(sorted(self.tree), [RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION])

    def test_dialog_template_bytes(self):
        got = self.data(RT_DIALOG, 102)
        want = expected_dialog()
        if got != want:
            at = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b), min(len(got), len(want)))
            self.fail("dialog 102 differs at byte %d (sizes %d, %d): got %s, want %s"
                      % (at, len(got), len(want), got[at:at + 16].hex(), want[at:at + 16].hex()))

    def test_icon_group_names_one_32x32_16_colour_image(self):
        self.assertEqual(self.data(RT_GROUP_ICON, 101), expected_icon_group())

    def test_icon_image_is_the_checked_in_artwork(self):
        image = self.data(RT_ICON, 1)
        self.assertEqual(len(image), 744)
        size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", image)
        self.assertEqual((size, width, height, planes, bits, compression), (40, 32, 64, 1, 4, 0))
        with open(os.path.join(RESOURCES_DIR, "setup.ico"), "rb") as f:
            ico = f.read()
        self.assertEqual(ico[22:], image)
        # Transparent corners, and enough drawn pixels to be a picture.
        mask = image[40 + 64 + 512:]
        self.assertEqual(mask[:4], b"\xff\xff\xff\xff")
        drawn = sum(8 - bin(b).count("1") for b in mask)
        self.assertGreater(drawn, 32 * 32 // 3)

    def test_checked_in_icon_is_what_its_generator_writes(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "setup.ico")
            subprocess.run([sys.executable, os.path.join(RESOURCES_DIR, "make_setup_icon.py"), out],
                           check=True)
            with open(out, "rb") as f, open(os.path.join(RESOURCES_DIR, "setup.ico"), "rb") as g:
                self.assertEqual(f.read(), g.read())

    def test_version_block(self):
        self.data(RT_VERSION, 1)
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        got = {k: getattr(fixed, k) for k in (
            "Signature", "FileVersionMS", "FileVersionLS", "ProductVersionMS", "ProductVersionLS",
            "FileFlagsMask", "FileFlags", "FileOS", "FileType", "FileSubtype", "FileDateMS",
            "FileDateLS")}
        self.assertEqual(got, {
            "Signature": 0xFEEF04BD, "FileVersionMS": 0x00010000, "FileVersionLS": 0x00000001,
            "ProductVersionMS": 0x00010000, "ProductVersionLS": 0x00000001,
            "FileFlagsMask": 0x3F, "FileFlags": 0, "FileOS": 0x00040004, "FileType": 1,
            "FileSubtype": 0, "FileDateMS": 0, "FileDateLS": 0})

        tables, translations = [], []
        for info in self.pe.FileInfo[0]:
            tables += getattr(info, "StringTable", [])
            for var in getattr(info, "Var", []):
                translations.append(var.entry)
        self.assertEqual([t.LangID for t in tables], [b"040904b0"])
        self.assertEqual(tables[0].entries, {
            b"Comments": b"",
            b"CompanyName": b"Kiv Setup developers",
            b"FileDescription": b"Kiv Setup",
            b"FileVersion": b"1, 0, 0, 1",
            b"InternalName": b"setup",
            b"LegalCopyright": b"Copyright (C) 2026 Kiv Setup developers",
            b"LegalTrademarks": b"",
            b"OriginalFilename": b"setup.exe",
            b"PrivateBuild": b"",
            b"ProductName": b"Kiv Setup",
            b"ProductVersion": b"1, 0, 0, 1",
            b"SpecialBuild": b"",
        })
        self.assertEqual(translations, [{b"Translation": "0x0409 0x04b0"}])


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    SETUP_EXE, RESOURCES_DIR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
