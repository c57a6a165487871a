"""Checks the ZIP package: the program and the user guide are in it, the guide
opens in Notepad (UTF-8 with BOM, CRLF, complete text), and the program's version
resource carries the project version, name and Chinese description.

usage: test_package.py ZIP VERSION
"""
import struct
import sys
import unittest
import zipfile

ZIP_PATH = None
VERSION = None

EXE_NAME = "menufix.exe"
GUIDE_NAME = "guide-zh.txt"
# "修复开始菜单文件夹显示英文名称"
DESCRIPTION = ("\u4fee\u590d\u5f00\u59cb\u83dc\u5355\u6587\u4ef6\u5939"
               "\u663e\u793a\u82f1\u6587\u540d\u79f0")
RT_VERSION = 16


def resource_section(pe):
    """Returns (bytes of the section holding the resources, its RVA)."""
    if pe[:2] != b"MZ":
        raise ValueError("not an MZ executable")
    pe_offset = struct.unpack_from("<I", pe, 0x3C)[0]
    if pe[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    coff = pe_offset + 4
    _, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", pe, coff)
    optional = coff + 20
    magic = struct.unpack_from("<H", pe, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva, _ = struct.unpack_from("<II", pe, directories + 2 * 8)
    table = optional + optional_size
    for i in range(sections):
        entry = table + 40 * i
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", pe, entry + 8)
        if rva <= resource_rva < rva + max(virtual_size, raw_size):
            data = pe[raw_offset:raw_offset + raw_size]
            return data[resource_rva - rva:], resource_rva
    raise ValueError("no resource section")


def directory_entries(rsrc, offset):
    """Yields (id or name, offset, is_directory) of one resource directory."""
    named, numbered = struct.unpack_from("<HH", rsrc, offset + 12)
    for i in range(named + numbered):
        name, target = struct.unpack_from("<II", rsrc, offset + 16 + 8 * i)
        yield name, target & 0x7FFFFFFF, bool(target & 0x80000000)


def version_resources(pe):
    """Returns the raw VS_VERSIONINFO blocks, one per language."""
    rsrc, base = resource_section(pe)
    blocks = []
    for type_id, names, _ in directory_entries(rsrc, 0):
        if type_id != RT_VERSION:
            continue
        for _, languages, _ in directory_entries(rsrc, names):
            for _, leaf, is_dir in directory_entries(rsrc, languages):
                assert not is_dir
                rva, size = struct.unpack_from("<II", rsrc, leaf)
                blocks.append(rsrc[rva - base:rva - base + size])
    return blocks


def parse_block(data, offset=0):
    """Parses one version block: (key, value, children, end offset).
    A text value (wType 1) is returned as str, a binary one as bytes."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    pos = offset + 6
    key_end = pos
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[pos:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    if value_type == 1:
        # Counted in characters; some compilers count the terminating NUL.
        raw = data[pos:pos + 2 * value_length]
        value = raw.decode("utf-16-le").rstrip("\0")
        pos += 2 * value_length
    else:
        value = data[pos:pos + value_length]
        pos += value_length
    pos = (pos + 3) & ~3
    children = []
    while pos < end:
        child = parse_block(data, pos)
        children.append(child[:3])
        pos = (child[3] + 3) & ~3
    return key, value, children, end


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(ZIP_PATH) as archive:
            cls.names = archive.namelist()
            cls.exe = archive.read(EXE_NAME) if EXE_NAME in cls.names else None
            cls.guide = archive.read(GUIDE_NAME) if GUIDE_NAME in cls.names else None

    def test_holds_program_and_guide_at_top(self):
        self.assertEqual(sorted(self.names), sorted([EXE_NAME, GUIDE_NAME]))

    def test_guide_is_utf8_with_bom_and_crlf(self):
        self.assertIsNotNone(self.guide)
        self.assertTrue(self.guide.startswith(b"\xef\xbb\xbf"), "no UTF-8 BOM")
        text = self.guide[3:].decode("utf-8")
        self.assertNotIn("\ufeff", text)
        self.assertIn("\r\n", text)
        self.assertNotIn("\r\r", text)
        self.assertEqual(text.count("\n"), text.count("\r\n"), "bare LF")
        # The guide explains every message and exit status.
        for needle in ("menufix", "desktop.ini", "-1", "-2",
                       "\u4fee\u590d\"",             # 修复"
                       "\u7cfb\u7edf\u4e0d\u5b58\u5728",  # 系统不存在
                       "\u7ba1\u7406\u5458"):        # 管理员
            self.assertIn(needle, text)
        self.assertTrue(text.endswith("\r\n"), "guide cut short")

    def version_info(self):
        self.assertIsNotNone(self.exe)
        blocks = version_resources(self.exe)
        self.assertEqual(len(blocks), 1, "expected one version resource")
        key, fixed, children, _ = parse_block(blocks[0])
        self.assertEqual(key, "VS_VERSION_INFO")
        return fixed, {k: (v, c) for k, v, c in children}

    def test_fixed_version_is_project_version(self):
        fixed, _ = self.version_info()
        signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from(
            "<IIIIII", fixed)
        self.assertEqual(signature, 0xFEEF04BD)
        parts = [int(p) for p in VERSION.split(".")] + [0, 0, 0]
        expected = ((parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3])
        self.assertEqual((file_ms, file_ls), expected)
        self.assertEqual((product_ms, product_ls), expected)

    def test_strings_are_zh_cn_unicode(self):
        _, blocks = self.version_info()
        _, tables = blocks["StringFileInfo"]
        self.assertEqual([t[0] for t in tables], ["080404b0"])
        strings = {k: v for k, v, _ in tables[0][2]}
        self.assertEqual(strings.get("FileVersion"), VERSION)
        self.assertEqual(strings.get("ProductVersion"), VERSION)
        self.assertEqual(strings.get("ProductName"), "menufix")
        self.assertEqual(strings.get("FileDescription"), DESCRIPTION)
        _, variables = blocks["VarFileInfo"]
        translations = {k: v for k, v, _ in variables}
        self.assertEqual(translations.get("Translation"), struct.pack("<HH", 0x804, 1200))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    ZIP_PATH, VERSION = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
