"""Checks the release archive, its checksum, and the programs and texts in it.
usage: test_release.py OBJDUMP ZIP"""

import hashlib, os, re, struct, subprocess, sys, tempfile, unittest, zipfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

OBJDUMP, ZIP_PATH = None, None
# Each program and the description Explorer shows for it (Properties, Task Manager).
PROGRAMS = {"menufix.exe": "修复开始菜单文件夹显示英文名称",
            "menufix-3-folders.exe": "修复开始菜单中的三个文件夹"}
TEXTS = ("admin-zh.txt", "guide-zh.txt")
SCRIPTS = ("menufix-logon.cmd", "menufix-startup.cmd")


def utf16(text):
    return re.escape(text.encode("utf-16-le"))


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = re.search(r"-(\d+)\.(\d+)\.(\d+)-win32\.zip$", ZIP_PATH).groups()
        cls.programs = {}
        with zipfile.ZipFile(ZIP_PATH) as archive, tempfile.TemporaryDirectory() as folder:
            cls.names = archive.namelist()
            cls.files = {name: archive.read(name) for name in TEXTS + SCRIPTS}
            # A program missing from the archive fails the first test, by name.
            for name in (program for program in PROGRAMS if program in cls.names):
                path = archive.extract(name, folder)
                headers = subprocess.run([OBJDUMP, "-h", "-p", "-t", path],
                                         check=True, capture_output=True, text=True).stdout
                cls.programs[name] = Path(path).read_bytes(), headers

    def test_holds_programs_and_texts_with_its_checksum_beside_it(self):
        self.assertEqual(sorted(self.names), sorted(TEXTS + SCRIPTS + tuple(PROGRAMS)))
        self.assertEqual(Path(ZIP_PATH + ".sha256").read_text().split(),
                         [hashlib.sha256(Path(ZIP_PATH).read_bytes()).hexdigest(), os.path.basename(ZIP_PATH)])

    def test_programs_are_stripped_hardened_32_bit_console_programs_that_need_only_windows(self):
        for name, (exe, headers) in self.programs.items():
            with self.subTest(name):
                # objdump's output runs to thousands of lines: not shown on failure.
                for pattern, what in [(r"Magic\s+010b\s+\(PE32\)", "not PE32"),
                                      (r"Subsystem\s+00000003\s+\(Windows CUI\)", "not a console program"),
                                      (r"SYMBOL TABLE:\s+no symbols", "symbols left in"),
                                      (r"DLL Name: ", "no import table found")]:
                    self.assertTrue(re.search(pattern, headers), what)
                imported = {dll.upper() for dll in re.findall(r"DLL Name: (\S+)", headers)}
                self.assertLessEqual(imported, {"KERNEL32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"})
                # ASLR moves the image only where base relocations are kept.
                relocations = re.search(r"Entry 5 [0-9a-f]+ ([0-9a-f]+) Base Relocation", headers)
                self.assertNotEqual(int(relocations.group(1), 16), 0, "no base relocations")
                flags = int(re.search(r"DllCharacteristics\s+([0-9a-f]+)", headers).group(1), 16)
                self.assertEqual(hex(flags), hex(0x40 | 0x100 | 0x8000))  # ASLR, NX, terminal-server aware
                # Linked in only where some function checks a stack cookie.
                self.assertTrue(b"*** stack smashing detected ***" in exe, "no stack cookies")

    def test_programs_ask_for_no_elevation_and_carry_their_name_and_version(self):
        # The manifest is resource 1 of type RT_MANIFEST (0x18). What Properties,
        # Details shows: the numbers (VS_FIXEDFILEINFO after its signature), then
        # the strings, UTF-16, each zero-terminated, the value on a 4-byte
        # boundary, in the Simplified Chinese table.
        major, minor, patch = map(int, self.version)
        fixed = struct.pack("<4I", 0xFEEF04BD, 0x10000, major << 16 | minor, patch << 16)
        for name, (exe, headers) in self.programs.items():
            with self.subTest(name):
                resources = headers[headers.index("Resource Directory section"):]
                self.assertRegex(resources, r"Entry: ID: 0x0*18, .*\n.*\n\w+\s+Entry: ID: 0x0*1,")
                manifest = exe[exe.index(b"<assembly"):exe.index(b"</assembly>") + len(b"</assembly>")]
                levels = ElementTree.fromstring(manifest).findall(
                    ".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
                self.assertEqual([(e.get("level"), e.get("uiAccess")) for e in levels], [("asInvoker", "false")])
                self.assertTrue(fixed in exe, "file version")
                for key, value in [("OriginalFilename", name), ("InternalName", name[:-len(".exe")]),
                                   ("FileDescription", PROGRAMS[name]), ("FileVersion", ".".join(self.version))]:
                    self.assertTrue(re.search(utf16(key) + b"\0\0(?:\0\0)?" + utf16(value) + b"\0\0", exe), key)
                self.assertTrue(re.search(utf16("080404b0") + b"\0\0", exe) and re.search(
                    utf16("Translation") + b"\0\0(?:\0\0)?\x04\x08\xb0\x04", exe), "translation")

    def test_texts_and_scripts_read_the_same_on_any_windows(self):
        # Notepad of Windows 7 takes a file for UTF-8 only by its byte order
        # mark; cmd reads a batch file in the console's code page. A bare line
        # feed shows as nothing in Notepad, and makes goto and call miss labels.
        for name, data in self.files.items():
            with self.subTest(name):
                if name in TEXTS:
                    self.assertTrue(data.startswith(b"\xef\xbb\xbf"), "no UTF-8 byte order mark")
                    text = data[3:].decode("utf-8")
                else:
                    self.assertTrue(data.isascii(), "not ASCII")
                    text = data.decode("ascii")
                self.assertEqual(text.count("\n"), text.count("\r\n"), "bare line feed")
                self.assertTrue(text.endswith("\r\n") and "\r\r" not in text, "cut short or mangled")

    def test_scripts_leave_the_folders_to_the_programs(self):
        # A script that sets attributes with attrib, or takes a path out of the text reg query
        # prints (for /f, a pipe), does in cmd what the programs do, where names outside the
        # console's code page and links go wrong. reg query's exit status alone may be tested.
        for name in SCRIPTS:
            lines = self.files[name].decode("ascii").split("\r\n")
            for line in (x for x in lines if not re.match(r"\s*@?(rem(\s|$)|::)", x, re.IGNORECASE)):
                with self.subTest(name, line=line):
                    self.assertNotRegex(line, r"(?i)\battrib\b", "sets attributes itself")
                    if re.search(r"(?i)\breg(\.exe)?\s+query\b", line):
                        self.assertNotRegex(line, r"(?i)\bfor\s+/f\b|(?<!\|)\|(?!\|)",
                                            "reads the text of reg query")

    def test_admin_summary_reads_the_lines_the_scripts_end_with(self):
        admin = self.files["admin-zh.txt"].decode("utf-8-sig")
        searched = re.findall(r'findstr /s /b /c:"([^"]*)" \\\\server\\share\\logs\\\*\.log', admin)
        self.assertEqual(searched, ["menufix result:", "menufix result: FAILED"])
        for name in SCRIPTS:  # written once where the log goes, once where it falls back to
            self.assertEqual(self.files[name].count(b" echo menufix result: %RESULT%; "), 2, name)


if __name__ == "__main__":
    OBJDUMP, ZIP_PATH = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
