"""Checks menufix.exe itself: a 32-bit console program that needs no DLL
beyond Windows' own and carries a manifest asking for no elevation.

usage: test_executable.py OBJDUMP MENUFIX_EXE
"""

import re
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ElementTree

OBJDUMP, EXE = None, None
WINDOWS_DLLS = {"KERNEL32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"}
RT_MANIFEST = 0x18


class Executable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.headers = subprocess.run([OBJDUMP, "-p", EXE], check=True, capture_output=True,
                                     text=True).stdout
        with open(EXE, "rb") as exe:
            cls.image = exe.read()

    def test_is_a_32_bit_console_program(self):
        self.assertRegex(self.headers, r"Magic\s+010b\s+\(PE32\)")
        self.assertRegex(self.headers, r"Subsystem\s+00000003\s+\(Windows CUI\)")

    def test_imports_only_windows_dlls(self):
        imported = {name.upper() for name in re.findall(r"DLL Name: (\S+)", self.headers)}
        self.assertTrue(imported, "no import table found")
        self.assertLessEqual(imported, WINDOWS_DLLS)

    def test_manifest_is_embedded_and_asks_for_no_elevation(self):
        resources = self.headers[self.headers.index("Resource Directory section"):]
        self.assertRegex(resources, r"Entry: ID: 0x0*%x, .*\n.*\n\w+\s+Entry: ID: 0x0*1," % RT_MANIFEST)
        start = self.image.index(b"<assembly")
        end = self.image.index(b"</assembly>", start) + len(b"</assembly>")
        manifest = ElementTree.fromstring(self.image[start:end])
        levels = manifest.findall(".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
        self.assertEqual([(e.get("level"), e.get("uiAccess")) for e in levels],
                         [("asInvoker", "false")])


if __name__ == "__main__":
    OBJDUMP, EXE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
