"""Checks the release archive, its checksum, and the program and the texts in it.

usage: test_release.py OBJDUMP ZIP
"""

import hashlib
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile

OBJDUMP, ZIP_PATH = None, None
TEXTS = ("admin-zh.txt", "guide-zh.txt")
SCRIPTS = ("menufix-logon.cmd", "menufix-startup.cmd", "menufix-3-folders.cmd")
RT_MANIFEST = 0x18
DYNAMIC_BASE, NX_COMPAT, TERMINAL_SERVER_AWARE = 0x40, 0x100, 0x8000


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(ZIP_PATH) as archive, tempfile.NamedTemporaryFile() as exe:
            cls.names = archive.namelist()
            cls.exe = archive.read("menufix.exe")
            cls.texts = {name: archive.read(name) for name in TEXTS}
            cls.scripts = {name: archive.read(name) for name in SCRIPTS}
            exe.write(cls.exe)
            exe.flush()
            cls.headers = subprocess.run([OBJDUMP, "-p", "-t", exe.name], check=True,
                                         capture_output=True, text=True).stdout

    def test_holds_program_and_texts_with_its_checksum_beside_it(self):
        self.assertEqual(sorted(self.names), sorted(TEXTS + SCRIPTS + ("menufix.exe",)))
        with open(ZIP_PATH, "rb") as archive, open(ZIP_PATH + ".sha256") as checksum:
            self.assertEqual(checksum.read().split(), [hashlib.sha256(archive.read()).hexdigest(),
                                                       ZIP_PATH.rsplit("/", 1)[-1]])

    def test_program_is_a_32_bit_console_program_that_needs_only_windows(self):
        self.assertRegex(self.headers, r"Magic\s+010b\s+\(PE32\)")
        self.assertRegex(self.headers, r"Subsystem\s+00000003\s+\(Windows CUI\)")
        imported = {name.upper() for name in re.findall(r"DLL Name: (\S+)", self.headers)}
        self.assertTrue(imported, "no import table found")
        self.assertLessEqual(imported, {"KERNEL32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"})

    def test_program_is_stripped_and_hardened(self):
        self.assertRegex(self.headers, r"SYMBOL TABLE:\s+no symbols", "symbols left in")
        # ASLR moves the image only where base relocations are kept.
        relocations = re.search(r"Entry 5 [0-9a-f]+ ([0-9a-f]+) Base Relocation", self.headers)
        self.assertNotEqual(int(relocations.group(1), 16), 0, "no base relocations")
        flags = int(re.search(r"DllCharacteristics\s+([0-9a-f]+)", self.headers).group(1), 16)
        self.assertEqual(hex(flags), hex(DYNAMIC_BASE | NX_COMPAT | TERMINAL_SERVER_AWARE))
        # The cookie check's failure message is linked in only where some
        # function checks a stack cookie.
        self.assertTrue(b"*** stack smashing detected ***" in self.exe, "no stack cookies")

    def test_program_asks_for_no_elevation(self):
        resources = self.headers[self.headers.index("Resource Directory section"):]
        self.assertRegex(resources, r"Entry: ID: 0x0*%x, .*\n.*\n\w+\s+Entry: ID: 0x0*1," % RT_MANIFEST)
        start = self.exe.index(b"<assembly")
        end = self.exe.index(b"</assembly>", start) + len(b"</assembly>")
        manifest = ElementTree.fromstring(self.exe[start:end])
        levels = manifest.findall(".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
        self.assertEqual([(e.get("level"), e.get("uiAccess")) for e in levels],
                         [("asInvoker", "false")])

    def test_texts_open_in_notepad(self):
        # Notepad of Windows 7 takes a file for UTF-8 only by its byte order
        # mark, and shows a bare line feed as nothing.
        for name, data in self.texts.items():
            with self.subTest(name):
                self.assertTrue(data.startswith(b"\xef\xbb\xbf"), "no UTF-8 byte order mark")
                text = data[3:].decode("utf-8")
                self.assertEqual(text.count("\n"), text.count("\r\n"), "bare line feed")
                self.assertTrue(text.endswith("\r\n") and "\r\r" not in text, "cut short or mangled")

    def test_scripts_read_the_same_on_any_code_page(self):
        # cmd reads a batch file in the console's code page, and in a file
        # of bare line feeds goto and call can miss their labels.
        for name, data in self.scripts.items():
            with self.subTest(name):
                self.assertTrue(data.isascii(), "not ASCII")
                self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), "bare line feed")
                self.assertTrue(data.endswith(b"\r\n") and b"\r\r" not in data, "cut short or mangled")

    def test_admin_summary_reads_the_lines_the_scripts_end_with(self):
        admin = self.texts["admin-zh.txt"].decode("utf-8-sig")
        searched = re.findall(r'findstr /b /c:"([^"]*)" \\\\server\\share\\logs\\\*\.log', admin)
        self.assertEqual(searched, ["menufix result:", "menufix result: FAILED"])
        for name in ("menufix-logon.cmd", "menufix-startup.cmd"):
            self.assertEqual(self.scripts[name].count(b">> \"%LOG%\" echo menufix result: "), 1, name)


if __name__ == "__main__":
    OBJDUMP, ZIP_PATH = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
