"""The report menufix should write, built from its Chinese texts.

Texts are encoded to code page 936 here, independently of the program, and
every line feed becomes carriage return plus line feed, as the C runtime
writes standard output to a redirected file in text mode.
"""

import os
import sys
import unittest

from wineprefix import wine_available

BANNER = ">>>  开始修复菜单显示英文 >>>>>>\r\n"
USER_KEY_FAILED = "获取用户菜单注册表Key失败!\r\n"
USER_ROOT_FAILED = "获取用户开始菜单路径失败!\r\n"
COMMON_KEY_FAILED = "获取通用菜单注册表Key失败!\r\n"
COMMON_ROOT_FAILED = "获取通用开始菜单值失败!\r\n"
CLOSING = ("\t修复开始菜完成，如果问题仍未修复请将存在错误提示及时反馈！\r\n"
           "\t感谢您的支持和关注，谢谢！\r\n")


def left_alone(path):
    return "\r\n"


def repaired(path):
    return '\r\n修复"%s"成功!\r\n' % path


def not_repaired(path):
    return '\r\n修复"%s"失败!\r\n' % path


def missing(path):
    return '\r\n系统不存在"%s"文件!\r\n' % path


def no_desktop_ini(path):
    return ("->>文件夹%s 缺失desktop.ini文件,可能会影响显示，如问题仍未修复，"
            "请从其他机器拷贝一份!\r\n<<-\r\n" % path)


def as_written(text):
    """The bytes a report text becomes in a redirected standard output."""
    return text.encode("cp936").replace(b"\n", b"\r\n")


def assert_report(case, output, expected):
    """Compares a report with the expected bytes, decoded first for a readable diff."""
    case.assertEqual(output.decode("cp936", "replace"), expected.decode("cp936", "replace"))
    case.assertEqual(output, expected)


def main():
    """Runs a test module; exits 77, which CTest counts as skipped, without Wine."""
    if not wine_available():
        print("skipped: Wine or the zh_CN.UTF-8 locale is not installed")
        sys.exit(77)
    unittest.main(module="__main__", verbosity=2)


def programs():
    """The programs under test, from the environment CTest gives the tests."""
    return os.environ["MENUFIX_EXE"], os.environ["ATTRDUMP_EXE"]
