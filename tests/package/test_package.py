"""Checks the ZIP package: the program and the user guide are in it, the guide
opens in Notepad (UTF-8 with BOM, CRLF, complete text), and the program's
version resource carries the project version, name and Chinese description.

usage: test_package.py ZIP VERSION
"""
import re
import struct
import sys
import unittest
import zipfile

ZIP_PATH, VERSION = None, None
EXE_NAME, GUIDE_NAME = "menufix.exe", "guide-zh.txt"
DESCRIPTION = "修复开始菜单文件夹显示英文名称"
FIXED_FILE_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(ZIP_PATH) as archive:
            cls.names = sorted(archive.namelist())
            cls.exe = archive.read(EXE_NAME) if EXE_NAME in cls.names else b""
            cls.guide = archive.read(GUIDE_NAME) if GUIDE_NAME in cls.names else b""

    def test_holds_program_and_guide_at_top(self):
        self.assertEqual(self.names, sorted([EXE_NAME, GUIDE_NAME]))

    def test_guide_opens_in_notepad_and_explains_messages_and_statuses(self):
        self.assertTrue(self.guide.startswith(b"\xef\xbb\xbf"), "no UTF-8 byte order mark")
        text = self.guide[3:].decode("utf-8")
        self.assertEqual(text.count("\n"), text.count("\r\n"), "bare line feed")
        self.assertNotIn("\r\r", text)
        self.assertTrue(text.endswith("\r\n"), "guide cut short")
        for needle in ("desktop.ini", "-1", "-2", '修复"', "系统不存在", "管理员"):
            self.assertIn(needle, text)

    def test_version_resource_names_the_project_version(self):
        # The fixed part: signature, structure version, then file and product
        # version as two pairs of 16-bit numbers each.
        start = self.exe.index(FIXED_FILE_INFO_SIGNATURE)
        numbers = struct.unpack_from("<6I", self.exe, start)[2:]
        major, minor, patch = (int(part) for part in VERSION.split("."))
        self.assertEqual(numbers, ((major << 16) | minor, patch << 16) * 2)

        # The strings, UTF-16 in the zh-CN Unicode block, padded with NULs.
        strings = self.exe.decode("utf-16-le", "replace")
        self.assertIn("080404b0", strings)
        for key, value in [("FileVersion", VERSION), ("ProductVersion", VERSION),
                           ("ProductName", "menufix"), ("FileDescription", DESCRIPTION)]:
            self.assertRegex(strings, "%s\0+%s\0" % (key, re.escape(value)))
        self.assertIn("Translation\0\0".encode("utf-16-le") + struct.pack("<HH", 0x804, 1200),
                      self.exe)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    ZIP_PATH, VERSION = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
