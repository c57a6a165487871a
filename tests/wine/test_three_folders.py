"""The real menufix-3-folders.exe under Wine: the three folders of Windows 8 to 11 in each Start
Menu, its report byte for byte, its exit status, what changed on disk, and, from the relay
trace, every attribute word it set and that it used only wide calls."""

import contextlib, itertools, os, subprocess, unittest

import report
from report import (COMMON_ROOT_FAILED, KEY_FAILED, ROOT_FAILED, USER_KEY_FAILED, USER_ROOT_FAILED,
                    folder_line, no_desktop_ini, not_repaired, repaired)
from test_completed_run import private_mounts
from wineprefix import COMMON_KEY, HIDDEN, SYSTEM, USER_KEY, WinePrefix, image

THREE = ("System Tools", "Accessibility", "Windows PowerShell")
BANNER = ">>>  开始修复 System Tools、Accessibility、Windows PowerShell 三个文件夹 >>>>>>\r\n"
DONE = "\r\n\t三个文件夹处理完成，没有失败。\r\n"
FAILED = "\r\n\t有文件夹未能修复，请查看上面的提示！\r\n"
BAD_ARGUMENT = ("参数无效! 不带参数处理两个开始菜单，/user 只处理当前用户的，"
                "/common 只处理所有用户的。\r\n")
HKCU, HKLM = 0x80000001, 0x80000002
FOLDER_FAILED, BAD_ARGUMENT_STATUS, READ_ONLY = 1, 2, 0x1

# Only wide (W) file and registry calls; nothing that creates, writes, renames or deletes.
ALLOWED = report.RUNTIME | {"advapi32.RegOpenKeyExW", "advapi32.RegQueryValueExW", "KERNEL32.GetFileAttributesExW",
                            "KERNEL32.SetFileAttributesW", "KERNEL32.GetLastError", "KERNEL32.WideCharToMultiByte",
                            "msvcrt.memmove", "msvcrt.wcslen"}

absent = folder_line('系统不存在"%s"文件夹，无需修复\r\n')
correct = folder_line('"%s"属性已正确，无需修复\r\n')
refused_link = folder_line('"%s"是链接(联接或符号链接)，为安全起见未修复!\r\n')
refused_file = folder_line('"%s"是文件，不是文件夹，未修复!\r\n')
programs_missing = folder_line('系统不存在"%s\\Programs"文件夹，开始菜单路径有误!\r\n')


def no_ini(line):
    """A folder's line followed by the warning that it has no desktop.ini."""
    return lambda path: line(path) + no_desktop_ini(path)


def three(root):
    return [root + "\\Programs\\" + name for name in THREE]


def menu_pass(root, *lines):
    """The report of one menu: for each of its three folders, its line."""
    return "".join(line(path) for line, path in zip(lines, three(root)))


def dos_bits(wine, path):
    """Hidden, system and archive bits as Wine keeps them for a path (0 where none)."""
    with contextlib.suppress(OSError):
        return int(os.getxattr(wine.unix(path), "user.DOSATTRIB", follow_symlinks=False), 16)
    return 0


class ThreeFolders(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.no_mounts = private_mounts()  # before the Wine session, which must see them
        cls.program = os.environ["THREE_FOLDERS_EXE"]
        cls.wine = WinePrefix(name="three", bits=image(cls.program)[0])
        cls.cases = itertools.count(1)

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def setUp(self):
        self.base = "C:\\Case%d" % next(self.cases)

    def assertRun(self, arguments, status, text, sets):
        """Runs the program, traced, its output to a file; checks its status, its report after the
        banner, and that it set exactly the folders of sets to 0x11, through wide calls only.
        Returns the hives it opened, as 32-bit numbers (the twin shows them sign-extended)."""
        calls = []
        actual, output = self.wine.run(self.program, *arguments, relay=calls)
        report.assert_output(self, output, BANNER + text)
        self.assertEqual(actual, status)
        calls = report.checked_calls(self, calls, ALLOWED, "advapi32.RegOpenKeyExW", "advapi32.RegQueryValueExW")
        self.assertEqual({call.arguments[0]: call.arguments[1] for call in calls
                          if call.name == "KERNEL32.SetFileAttributesW"}, {path: 0x11 for path in sets})
        return [c.arguments[0] & 0xFFFFFFFF for c in calls if c.name == "advapi32.RegOpenKeyExW"]

    def menu(self, root, tree):
        self.wine.make_tree(root + "\\Programs", tree)

    def test_both_menus_set_folders_and_refuse_links_and_files(self):
        # A profile path as Chinese, Korean and cmd's special characters make
        # it; in a file Korean and "Ý" read "?", not a look-alike "Y".
        user = self.base + "\\Users\\张三 한국 Ý %x%!&()^\\Start Menu"
        common, outside = self.base + "\\ProgramData\\Start Menu", self.base + "\\Outside\\Shell"
        tools, access, shell = three(user)
        self.menu(user, {"System Tools": ({"Inside": ({}, HIDDEN)}, HIDDEN),
                         "Accessibility": ({"desktop.ini": b""}, SYSTEM)})
        os.setxattr(self.wine.unix(access), "user.DOSATTRIB", b"0x24")  # system, archive
        self.wine.make_tree(self.base + "\\Outside", {"Shell": ({}, HIDDEN | SYSTEM)})
        self.wine.link(shell, outside)
        # Already read-only, as Wine shows a folder without write bits.
        self.menu(common, {"System Tools": b"a file", "Windows PowerShell": ({}, READ_ONLY)})
        self.wine.set_roots(user, common)

        user_pass = menu_pass(user, no_ini(repaired), repaired, refused_link)
        common_pass = menu_pass(common, refused_file, absent, no_ini(correct))
        self.assertRun((), FOLDER_FAILED, user_pass + common_pass + FAILED, sets=[tools, access])
        # Each refusal alone fails the run.
        self.assertRun(("/user",), FOLDER_FAILED, user_pass + FAILED, sets=[tools, access])
        self.assertRun(("/common",), FOLDER_FAILED, common_pass + FAILED, sets=[])
        self.assertEqual([dos_bits(self.wine, path) for path in (tools, access, tools + "\\Inside", outside)],
                         [0, 0, HIDDEN, HIDDEN | SYSTEM], "a folder below set, or the link followed")

    def test_menus_on_a_share_read_only_words_and_a_folder_that_cannot_be_read(self):
        # Start Menus redirected to a share, which reaches a folder on drive C:.
        share = self.wine.share(self.base, self.base[3:])
        user, common = share + "\\User", share + "\\Common"
        # Read-only with any other bit is a word to set; only 0x11 is kept.
        self.menu(self.base + "\\User", {"System Tools": ({}, READ_ONLY | HIDDEN),
                                         "Accessibility": ({"desktop.ini": b""}, READ_ONLY | SYSTEM),
                                         "Windows PowerShell": ({"desktop.ini": b""}, READ_ONLY)})
        self.menu(self.base + "\\Common", {"Accessibility": ({}, READ_ONLY | HIDDEN | SYSTEM)})
        # A link to itself: Wine answers its read with an error that is not
        # "file" or "path not found", as Windows a denied or lost share.
        os.symlink("System Tools", self.wine.unix(three(self.base + "\\Common")[0]))
        self.wine.set_roots(user, common)
        self.assertRun((), FOLDER_FAILED, menu_pass(user, no_ini(repaired), repaired, correct) +
                       menu_pass(common, not_repaired, no_ini(repaired), absent) + FAILED,
                       sets=three(user)[:2] + three(common)[1:2])

    def test_a_menu_without_programs_fails_and_the_argument_picks_one_menu(self):
        user, common = self.base + "\\Nowhere", self.base + "\\Common"
        self.wine.make_tree(user, {})
        self.menu(common, {"Windows PowerShell": ({"desktop.ini": b""}, HIDDEN)})
        self.wine.set_roots(user, common)
        common_pass, shell = menu_pass(common, absent, absent, repaired), three(common)[2]
        self.assertRun((), FOLDER_FAILED, programs_missing(user) + common_pass + FAILED, sets=[shell])
        self.assertEqual(self.assertRun(("/user",), FOLDER_FAILED, programs_missing(user) + FAILED, sets=[]),
                         [HKCU])
        self.assertEqual(self.assertRun(("/COMMON",), 0, common_pass + DONE, sets=[shell]), [HKLM])
        for arguments in (("/all",), ("/user", "/common"), ("user",)):
            with self.subTest(arguments=arguments):
                self.assertEqual(self.assertRun(arguments, BAD_ARGUMENT_STATUS, BAD_ARGUMENT, sets=[]), [])

    def test_registry_failures_skip_that_menu_only_and_win(self):
        user, common = self.base + "\\User", self.base + "\\Common"
        for root in (user, common):
            self.menu(root, {"Accessibility": {"desktop.ini": b""}})
        self.wine.set_roots(user, common)
        user_pass, common_pass = (menu_pass(root, absent, repaired, absent) for root in (user, common))

        # Roots as menufix refuses them: empty, drive-relative, rooted without a drive,
        # unexpanded; and UTF-16 in a binary value, which menufix would read as ANSI bytes.
        for kind, data in [("REG_SZ", ""), ("REG_SZ", "C:Roots\\User"), ("REG_SZ", user[2:]),
                           ("REG_EXPAND_SZ", "%SystemDrive%" + user[2:]),
                           ("REG_BINARY", (user + "\0").encode("utf-16-le").hex())]:
            with self.subTest(kind=kind, data=data):
                self.wine.set_value(USER_KEY, "Start Menu", data, kind=kind)
                self.assertRun((), ROOT_FAILED, "\r\n" + USER_ROOT_FAILED + common_pass + FAILED,
                               sets=three(common)[1:2])
        # Its first string, as menufix's narrow read gives it.
        self.wine.set_value(USER_KEY, "Start Menu", user + "\\0C:\\Other", kind="REG_MULTI_SZ")
        self.assertRun(("/user",), 0, user_pass + DONE, sets=three(user)[1:2])
        # A key that cannot be opened outranks a folder that failed.
        self.wine.set_roots(user, three(user)[1])
        self.wine.delete_key(USER_KEY)
        self.assertRun((), KEY_FAILED, "\r\n" + USER_KEY_FAILED + programs_missing(three(user)[1]) + FAILED,
                       sets=[])
        self.wine.set_roots(user, common)
        self.wine.delete_value(COMMON_KEY, "Common Start Menu")
        self.assertRun((), ROOT_FAILED, user_pass + "\r\n" + COMMON_ROOT_FAILED + FAILED, sets=three(user)[1:2])

    def test_folder_that_cannot_be_set_is_reported_and_fails(self):
        if self.no_mounts:
            self.skipTest(self.no_mounts)
        root = self.base + "\\Mounted"
        self.menu(root, {"System Tools": ({"desktop.ini": b""}, HIDDEN)})
        self.addCleanup(subprocess.run, ["umount", self.wine.mount_read_only(three(root)[0])], check=True)
        self.wine.set_roots(root, root)
        self.assertRun(("/user",), FOLDER_FAILED, menu_pass(root, not_repaired, absent, absent) + FAILED,
                       sets=three(root)[:1])
        self.assertEqual(dos_bits(self.wine, three(root)[0]), HIDDEN)


if __name__ == "__main__":
    report.main()
