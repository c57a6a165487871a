"""What menufix and menufix-3-folders should write and ask of Windows, for the
Wine suite. Texts are encoded to code page 936 here, independently of the programs."""

import os, sys, unittest

from wineprefix import WinePrefix, image, menu_folders, wine_available

BANNER = ">>>  开始修复菜单显示英文 >>>>>>\r\n"
USER_KEY_FAILED = "获取用户菜单注册表Key失败!\r\n"
USER_ROOT_FAILED = "获取用户开始菜单路径失败!\r\n"
COMMON_KEY_FAILED = "获取通用菜单注册表Key失败!\r\n"
COMMON_ROOT_FAILED = "获取通用开始菜单值失败!\r\n"
CLOSING = ("\t修复开始菜完成，如果问题仍未修复请将存在错误提示及时反馈！\r\n"
           "\t感谢您的支持和关注，谢谢！\r\n")
KEY_FAILED, ROOT_FAILED = 255, 254  # -1 and -2, as Linux sees them

# What a run may call once its banner is out: read the registry, read and set
# attribute words, list folders, write the report, pause; nothing that creates,
# writes, renames or deletes. RUNTIME, both programs': __iob_func is how the
# 64-bit build finds stdout; GCC 14's runtime (Debian 13) frees a lock at exit.
RUNTIME = {"msvcrt." + name for name in ("fwrite", "fflush", "exit", "malloc", "free", "memcpy", "memset",
                                         "strlen", "strstr", "_errno", "__iob_func")} | {
    "advapi32.RegCloseKey", "KERNEL32.CloseHandle", "KERNEL32.GetConsoleProcessList",
    "ntdll.RtlDeleteCriticalSection"}
ALLOWED = RUNTIME | {"advapi32.RegOpenKeyA", "advapi32.RegQueryValueExA", "KERNEL32.GetFileAttributesExA",
                     "KERNEL32.SetFileAttributesA", "KERNEL32.FindFirstFileA", "KERNEL32.FindNextFileA",
                     "KERNEL32.FindClose", "msvcrt.strchr", "msvcrt.system", "KERNEL32.GetStdHandle",
                     "KERNEL32.FlushConsoleInputBuffer"}
# The C runtime's writers to standard output: the first call of one is the banner.
WRITERS = {"msvcrt." + name for name in ("fwrite", "fputc", "fputs", "puts", "printf", "vprintf")}


def folder_line(text):
    """The report of one folder: a line break, then text with the folder's path."""
    return lambda path: "\r\n" + text % path


repaired = folder_line('修复"%s"成功!\r\n')
not_repaired = folder_line('修复"%s"失败!\r\n')
missing = folder_line('系统不存在"%s"文件!\r\n')


def no_desktop_ini(path):
    return ("->>文件夹%s 缺失desktop.ini文件,可能会影响显示，如问题仍未修复，"
            "请从其他机器拷贝一份!\r\n<<-\r\n" % path)


def assert_output(case, output, text, tail=b""):
    """A report written to a file: text as code page 936 bytes, each line feed
    as the C runtime writes it in text mode ("\r\n" becomes "\r\r\n"), then tail."""
    expected = text.encode("cp936", "replace").replace(b"\n", b"\r\n") + tail
    case.maxDiff = None  # decoded first, for a readable difference
    case.assertEqual(output.decode("cp936", "replace"), expected.decode("cp936", "replace"))
    case.assertEqual(output, expected)


def checked_calls(case, calls, allowed, open_key, query):
    """The calls from the banner on, once checked that all are allowed and that
    every key opened is closed once (a key shows only in the queries on it)."""
    calls = calls[min(i for i, call in enumerate(calls) if call.name in WRITERS):]
    case.assertEqual({call.name for call in calls} - allowed, set(), "calls outside the allow-list")
    opened = [call for call in calls if call.name == open_key and call.result == 0]
    queried = {call.arguments[0] for call in calls if call.name == query}
    closed = [call.arguments[0] for call in calls if call.name == "advapi32.RegCloseKey"]
    case.assertEqual((len(closed), sorted(set(closed))), (len(opened), sorted(queried)), "keys closed")
    return calls


def assert_calls(case, calls, roots, links=()):
    """Checks what menufix asked of Windows in a traced run over the given roots."""
    calls = checked_calls(case, calls, ALLOWED, "advapi32.RegOpenKeyA", "advapi32.RegQueryValueExA")
    names = [call.name for call in calls]
    args = lambda name: [call.arguments for call in calls if call.name == name]  # noqa
    menus = [folder for root in roots for folder in menu_folders(root)]
    below = lambda path, folders: any(path == f or path.startswith(f + "\\") for f in folders)  # noqa
    for path, word in args("KERNEL32.SetFileAttributesA"):
        case.assertEqual(word, 0x11, path)
        case.assertTrue(below(path, menus) and not below(path, links), "set " + path)
    for pattern, _ in args("KERNEL32.FindFirstFileA"):
        case.assertFalse(below(pattern, links), "walked " + pattern)
    # A failed search gives INVALID_HANDLE_VALUE, as wide as a pointer.
    invalid = {32: 0xFFFFFFFF, 64: 0xFFFFFFFFFFFFFFFF}[case.wine.bits]
    searches = [call.result for call in calls if call.name == "KERNEL32.FindFirstFileA" and call.result != invalid]
    case.assertEqual(sorted(a[0] for a in args("KERNEL32.FindClose")), sorted(searches))
    keys = {a[0] for a in args("advapi32.RegQueryValueExA")}
    case.assertFalse({a[0] for a in args("KERNEL32.CloseHandle")} & (set(searches) | keys))
    case.assertEqual([path for path, _, _ in args("KERNEL32.GetFileAttributesExA")
                      if path.endswith("\\desktop.ini") and path[:-len("\\desktop.ini")] not in menus], [])
    if "msvcrt.system" in names:
        pause = names.index("msvcrt.system")
        case.assertEqual(names[pause - 1], "msvcrt.fflush", "report not flushed before the pause")
        # Keys already waiting (typed during the run, a terminal's reply) must not answer it.
        case.assertIn("KERNEL32.FlushConsoleInputBuffer", names[pause - 3:pause], "input not emptied")


class MenufixRun(unittest.TestCase):
    """Tests with a Wine prefix of their own for the menufix under test: 32-bit or the 64-bit twin."""
    traced = True  # runs are traced unless a test says otherwise

    @classmethod
    def setUpClass(cls):
        cls.menufix, cls.attrdump = os.environ["MENUFIX_EXE"], os.environ["ATTRDUMP_EXE"]
        cls.wine = WinePrefix(bits=image(cls.menufix)[0])
        cls.pause = cls.wine.pause_prompt()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def assertRun(self, status, text, roots, completed=False, links=(), traced=None, cwd=None):
        """Runs menufix, traced unless told, and checks its status, its report
        after the banner (with closing text and pause if completed) and its calls."""
        calls = [] if (self.traced if traced is None else traced) else None
        actual_status, output = self.wine.run(self.menufix, cwd=cwd, relay=calls)
        assert_output(self, output, BANNER + text + (CLOSING if completed else ""), self.pause if completed else b"")
        self.assertEqual(actual_status, status)
        if calls is not None:
            assert_calls(self, calls, roots, links)


def main():
    """Runs a test module; exits 77, skipped to CTest, if a test skipped. No Wine is a failure."""
    if not wine_available():
        sys.exit("Wine or the zh_CN.UTF-8 locale is not installed: run scripts/test.sh")
    result = unittest.main(module="__main__", verbosity=2, exit=False).result
    sys.exit(1 if not result.wasSuccessful() else 77 if result.skipped else 0)
