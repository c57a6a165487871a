"""Checks the release archive, its checksum, and the programs and the texts in it.

usage: test_release.py OBJDUMP ZIP
"""

import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile

OBJDUMP, ZIP_PATH = None, None
# Each program and the description Explorer shows for it (file properties,
# Task Manager).
PROGRAMS = {
    "menufix.exe": "修复开始菜单文件夹显示英文名称",
    "menufix-3-folders.exe": "修复开始菜单中的三个文件夹",
}
TEXTS = ("admin-zh.txt", "guide-zh.txt")
SCRIPTS = ("menufix-logon.cmd", "menufix-startup.cmd")
RT_MANIFEST = 0x18
DYNAMIC_BASE, NX_COMPAT, TERMINAL_SERVER_AWARE = 0x40, 0x100, 0x8000
VS_FFI_SIGNATURE = 0xFEEF04BD


def version_string(exe, key, value):
    """Whether the version resource's string table pairs key with value
    (UTF-16, each zero-terminated, the value on a 4-byte boundary)."""
    pattern = re.escape(key.encode("utf-16-le")) + b"\0\0(?:\0\0)?" + re.escape(value.encode("utf-16-le")) + b"\0\0"
    return re.search(pattern, exe) is not None


def commands(script):
    """The lines of a batch file that cmd runs: all but its remarks."""
    lines = script.decode("ascii", "replace").split("\r\n")
    return [line for line in lines if not re.match(r"\s*@?(rem(\s|$)|::)", line, re.IGNORECASE)]


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # The project's version, as the archive's name carries it.
        cls.version = re.search(r"-(\d+)\.(\d+)\.(\d+)-win32\.zip$", ZIP_PATH).groups()
        cls.programs = {}
        with zipfile.ZipFile(ZIP_PATH) as archive, tempfile.TemporaryDirectory() as folder:
            cls.names = archive.namelist()
            cls.texts = {name: archive.read(name) for name in TEXTS}
            cls.scripts = {name: archive.read(name) for name in SCRIPTS}
            # A program missing from the archive fails the first test, by name.
            for name in (program for program in PROGRAMS if program in cls.names):
                exe = archive.read(name)
                with open(os.path.join(folder, name), "wb") as file:
                    file.write(exe)
                headers = subprocess.run([OBJDUMP, "-h", "-p", "-t", os.path.join(folder, name)],
                                         check=True, capture_output=True, text=True).stdout
                cls.programs[name] = exe, headers

    def test_holds_programs_and_texts_with_its_checksum_beside_it(self):
        self.assertEqual(sorted(self.names), sorted(TEXTS + SCRIPTS + tuple(PROGRAMS)))
        with open(ZIP_PATH, "rb") as archive, open(ZIP_PATH + ".sha256") as checksum:
            self.assertEqual(checksum.read().split(), [hashlib.sha256(archive.read()).hexdigest(),
                                                       ZIP_PATH.rsplit("/", 1)[-1]])

    def test_programs_are_32_bit_console_programs_that_need_only_windows(self):
        for name, (_, headers) in self.programs.items():
            with self.subTest(name):
                # objdump's output runs to thousands of lines: not shown on failure.
                self.assertTrue(re.search(r"Magic\s+010b\s+\(PE32\)", headers), "not PE32")
                self.assertTrue(re.search(r"Subsystem\s+00000003\s+\(Windows CUI\)", headers),
                                "not a console program")
                imported = {dll.upper() for dll in re.findall(r"DLL Name: (\S+)", headers)}
                self.assertTrue(imported, "no import table found")
                self.assertLessEqual(imported, {"KERNEL32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"})

    def test_programs_are_stripped_and_hardened(self):
        for name, (exe, headers) in self.programs.items():
            with self.subTest(name):
                self.assertTrue(re.search(r"SYMBOL TABLE:\s+no symbols", headers), "symbols left in")
                # ASLR moves the image only where base relocations are kept.
                relocations = re.search(r"Entry 5 [0-9a-f]+ ([0-9a-f]+) Base Relocation", headers)
                self.assertNotEqual(int(relocations.group(1), 16), 0, "no base relocations")
                flags = int(re.search(r"DllCharacteristics\s+([0-9a-f]+)", headers).group(1), 16)
                self.assertEqual(hex(flags), hex(DYNAMIC_BASE | NX_COMPAT | TERMINAL_SERVER_AWARE))
                # The cookie check's failure message is linked in only where some
                # function checks a stack cookie.
                self.assertTrue(b"*** stack smashing detected ***" in exe, "no stack cookies")

    def test_programs_ask_for_no_elevation(self):
        for name, (exe, headers) in self.programs.items():
            with self.subTest(name):
                resources = headers[headers.index("Resource Directory section"):]
                self.assertRegex(resources,
                                 r"Entry: ID: 0x0*%x, .*\n.*\n\w+\s+Entry: ID: 0x0*1," % RT_MANIFEST)
                start = exe.index(b"<assembly")
                end = exe.index(b"</assembly>", start) + len(b"</assembly>")
                manifest = ElementTree.fromstring(exe[start:end])
                levels = manifest.findall(".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
                self.assertEqual([(e.get("level"), e.get("uiAccess")) for e in levels],
                                 [("asInvoker", "false")])

    def test_programs_carry_their_own_name_and_the_release_version(self):
        # What the file's Properties, Details tab shows: the version numbers
        # (VS_FIXEDFILEINFO after its signature) and the strings.
        version = ".".join(self.version)
        major, minor, patch = map(int, self.version)
        fixed = struct.pack("<4I", VS_FFI_SIGNATURE, 0x10000, major << 16 | minor, patch << 16)
        for name, (exe, _) in self.programs.items():
            with self.subTest(name):
                self.assertIn(fixed, exe, "file version")
                for key, value in (("OriginalFilename", name), ("InternalName", name[:-len(".exe")]),
                                   ("FileDescription", PROGRAMS[name]), ("FileVersion", version)):
                    self.assertTrue(version_string(exe, key, value), "%s is not %s" % (key, value))
                # Simplified Chinese, UTF-16: the table the strings are in.
                self.assertTrue("080404b0".encode("utf-16-le") + b"\0\0" in exe and
                                re.search(re.escape("Translation".encode("utf-16-le")) +
                                          b"\0\0(?:\0\0)?\x04\x08\xb0\x04", exe), "translation")

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

    def test_scripts_leave_the_folders_to_the_programs(self):
        # menufix-3-folders.exe sets the three folders and reads the menus'
        # paths itself. A script that sets attributes with attrib, or takes a
        # path out of the text reg query prints (through for /f or a pipe),
        # does it again in cmd, where names outside the console's code page
        # and links go wrong. reg query's exit status alone may be tested.
        for name, data in self.scripts.items():
            with self.subTest(name):
                for line in commands(data):
                    self.assertNotRegex(line, r"(?i)\battrib\b", "sets attributes itself")
                    if re.search(r"(?i)\breg(\.exe)?\s+query\b", line):
                        self.assertNotRegex(line, r"(?i)\bfor\s+/f\b|(?<!\|)\|(?!\|)",
                                            "reads the text of reg query")

    def test_admin_summary_reads_the_lines_the_scripts_end_with(self):
        admin = self.texts["admin-zh.txt"].decode("utf-8-sig")
        searched = re.findall(r'findstr /s /b /c:"([^"]*)" \\\\server\\share\\logs\\\*\.log', admin)
        self.assertEqual(searched, ["menufix result:", "menufix result: FAILED"])
        for name in ("menufix-logon.cmd", "menufix-startup.cmd"):
            # Written once where the log goes, once where it falls back to.
            self.assertEqual(self.scripts[name].count(b" echo menufix result: %RESULT%; "), 2, name)


if __name__ == "__main__":
    OBJDUMP, ZIP_PATH = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
