#!/usr/bin/python3
"""Reads the built setup.exe back as a PE file and checks what its link
promises: the whole program with its resources in 20 KB, imports from the
system's own libraries only (so that no library can be planted beside it
under another name), nothing that Windows XP lacks imported by name, and the
resource section last in the file, where a rebranded copy can grow it.

Usage: check_setup_pe.py SETUP_EXE
"""

import sys
import unittest

import pefile

SETUP_EXE = None
MAX_SIZE = 20480
SYSTEM_LIBRARIES = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll"}
# Calls of later systems that the program looks up at run time; importing one
# would keep it from starting on Windows XP.
LOOKED_UP = {b"SetDefaultDllDirectories", b"AddDllDirectory", b"RemoveDllDirectory",
             b"SetDllDirectoryA", b"SetDllDirectoryW"}
IMAGE_FILE_LARGE_ADDRESS_AWARE = 0x20
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2


class SetupImage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(SETUP_EXE, "rb") as f:
            cls.data = f.read()
        cls.pe = pefile.PE(data=cls.data)

    def test_fits_in_20_kb_with_its_resources(self):
        print("setup.exe: %d bytes" % len(self.data), file=sys.stderr)
        self.assertLessEqual(len(self.data), MAX_SIZE)
        self.assertTrue(hasattr(self.pe, "DIRECTORY_ENTRY_RESOURCE"), "no resources")

    def test_imports_only_system_libraries_and_nothing_xp_lacks(self):
        imports = {e.dll.decode().lower(): {i.name for i in e.imports}
                   for e in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertLessEqual(set(imports), SYSTEM_LIBRARIES)
        self.assertIn("kernel32.dll", imports)
        for dll, names in imports.items():
            self.assertNotIn(None, names, "%s imported by number" % dll)
            self.assertFalse(names & LOOKED_UP, "%s imported directly" % (names & LOOKED_UP))
        for entry in ("DIRECTORY_ENTRY_DELAY_IMPORT", "DIRECTORY_ENTRY_BOUND_IMPORT"):
            self.assertFalse(hasattr(self.pe, entry), entry)

    def test_resource_section_ends_the_file_and_the_image(self):
        sections = self.pe.sections
        rsrc_rva = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[2].VirtualAddress
        last_in_file = max(sections, key=lambda s: s.PointerToRawData + s.SizeOfRawData)
        last_in_memory = max(sections, key=lambda s: s.VirtualAddress)
        for last in (last_in_file, last_in_memory):
            self.assertEqual(last.VirtualAddress, rsrc_rva,
                             "%s, not the resources, is last" % last.Name.rstrip(b"\0"))
        self.assertEqual(last_in_file.PointerToRawData + last_in_file.SizeOfRawData,
                         len(self.data), "something follows the resource section")

    def test_runs_on_windows_xp_as_a_windowed_program_below_2_gb(self):
        opt = self.pe.OPTIONAL_HEADER
        self.assertEqual(opt.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI)
        self.assertLessEqual((opt.MajorSubsystemVersion, opt.MinorSubsystemVersion), (5, 1))
        self.assertLessEqual((opt.MajorOperatingSystemVersion,
                              opt.MinorOperatingSystemVersion), (5, 1))
        self.assertFalse(self.pe.FILE_HEADER.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE)
        entry = opt.AddressOfEntryPoint
        text = [s for s in self.pe.sections if s.contains_rva(entry)]
        self.assertTrue(text and text[0].Characteristics & 0x20000000, "entry outside the code")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    SETUP_EXE = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)
