"""Checks menufix.exe itself: a 32-bit console program that needs no DLL
beyond Windows' own, carries a manifest asking for no elevation, and is
stripped and hardened as Visual Studio links a console program.

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
# DYNAMIC_BASE | NX_COMPAT | TERMINAL_SERVER_AWARE
VISUAL_STUDIO_DLL_CHARACTERISTICS = 0x8140


class Executable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.headers = subprocess.run([OBJDUMP, "-p", "-t", EXE], check=True, capture_output=True,
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

    def test_is_stripped_and_hardened(self):
        self.assertTrue(re.search(r"SYMBOL TABLE:\s+no symbols", self.headers), "symbols left in")
        # ASLR moves the image only where base relocations are kept.
        relocations = re.search(r"Entry 5 [0-9a-f]+ ([0-9a-f]+) Base Relocation", self.headers)
        self.assertNotEqual(int(relocations.group(1), 16), 0, "no base relocations")
        flags = re.search(r"DllCharacteristics\s+([0-9a-f]+)", self.headers).group(1)
        self.assertEqual(hex(int(flags, 16)), hex(VISUAL_STUDIO_DLL_CHARACTERISTICS))
        # The symbols are gone, but the cookie check's failure message is
        # linked in only when some function checks a stack cookie.
        self.assertTrue(b"*** stack smashing detected ***" in self.image, "no stack cookies")

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
