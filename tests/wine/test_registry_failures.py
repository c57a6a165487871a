"""How the real menufix.exe under Wine reads its two Start Menu roots from its registry view
(the 32-bit program the 32-bit view, the twin the 64-bit one), and how each registry failure
or refused root ends the run: one message, -1 or -2, keys closed, no closing text, no pause."""

import report
from report import (COMMON_KEY_FAILED, COMMON_ROOT_FAILED, KEY_FAILED, ROOT_FAILED, USER_KEY_FAILED,
                    USER_ROOT_FAILED, missing, no_desktop_ini, repaired)
from wineprefix import COMMON_KEY, USER_KEY, menu_folders

USER, COMMON = r"C:\Roots\User", r"C:\Roots\Common"


def user_pass(root):
    """The report of a user pass over a root that holds only Accessories."""
    folders = menu_folders(root)
    return repaired(folders[0]) + no_desktop_ini(folders[0]) + "".join(map(missing, folders[1:]))


class RegistryFailures(report.MenufixRun):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.wine.make_tree(USER + "\\Programs", {"Accessories": {}})

    def setUp(self):
        self.wine.set_roots(USER, COMMON)

    def assertRun(self, status, text, roots=(USER, COMMON), **options):
        # From USER, so that a relative root would find its folders.
        super().assertRun(status, text, roots, cwd=USER, **options)

    def test_missing_values_and_keys(self):
        # The common root in the other view (64-bit for the 32-bit program,
        # 32-bit for the twin) is not read.
        self.wine.set_value(COMMON_KEY, "Common Start Menu", COMMON, view=self.wine.other_view)
        for key, value, status, text in [
                (USER_KEY, "Start Menu", ROOT_FAILED, USER_ROOT_FAILED),
                (USER_KEY, None, KEY_FAILED, USER_KEY_FAILED),
                (COMMON_KEY, "Common Start Menu", ROOT_FAILED, user_pass(USER) + COMMON_ROOT_FAILED),
                (COMMON_KEY, None, KEY_FAILED, user_pass(USER) + COMMON_KEY_FAILED)]:
            with self.subTest(key=key, value=value):
                self.wine.set_roots(USER, COMMON)
                self.wine.delete_value(key, value) if value else self.wine.delete_key(key)
                self.assertRun(status, text)

    def test_roots_that_are_not_absolute_paths_are_refused(self):
        # One of each rule: empty, drive-relative, two characters without ":",
        # rooted without a drive, unexpanded, longer than 257 bytes.
        for data, kind in [("", "REG_SZ"), ("C:Roots\\User", "REG_SZ"), ("ab\\Start Menu", "REG_SZ"),
                           ("\\Roots\\User", "REG_SZ"), (r"%SystemDrive%\Roots\User", "REG_EXPAND_SZ"),
                           (USER.ljust(258, "u"), "REG_SZ")]:
            with self.subTest(data=data, kind=kind):
                self.wine.set_value(USER_KEY, "Start Menu", data, kind=kind)
                self.assertRun(ROOT_FAILED, USER_ROOT_FAILED)
                self.wine.set_roots(USER, "")
                self.wine.set_value(COMMON_KEY, "Common Start Menu", data, kind=kind)
                self.assertRun(ROOT_FAILED, user_pass(USER) + COMMON_ROOT_FAILED)

    def test_absolute_roots_are_used_as_they_stand(self):
        # A bare drive takes the suffix's backslash; "%" is no reference here.
        drive, unexpanded = "c:", r"C:\Roots\%USERNAME%"
        self.wine.set_roots(drive, unexpanded)
        self.assertRun(0, "".join(map(missing, menu_folders(drive) + menu_folders(unexpanded))),
                       completed=True, roots=(drive, unexpanded))
        # 257 bytes, the most it reads. Every path below is too long for the
        # file system, and for the trace to show whole.
        long_user, long_common = USER.ljust(257, "u"), COMMON.ljust(257, "c")
        self.wine.set_roots(long_user, long_common)
        self.assertRun(0, "".join(map(missing, menu_folders(long_user) + menu_folders(long_common))),
                       completed=True, traced=False)
        # A Start Menu redirected to a share; one on a mapped drive, a late
        # letter (Wine's Z: is the Linux root).
        share, mapped = self.wine.share(USER, "user"), "Z:" + self.wine.unix(USER).replace("/", "\\")
        self.wine.set_roots(share, mapped)
        self.assertRun(0, user_pass(share) + user_pass(mapped), completed=True, roots=(share, mapped))
        # Stored without its terminating zero, a shorter common root must not
        # pick up the rest of the user's root.
        self.wine.set_roots(USER, "")
        self.wine.set_value(COMMON_KEY, "Common Start Menu", "433a5c52", kind="REG_BINARY")
        self.assertRun(0, user_pass(USER) + "".join(map(missing, menu_folders("C:\\R"))),
                       completed=True, roots=(USER, "C:\\R"))


if __name__ == "__main__":
    report.main()
