"""The menufix.exe and menufix-3-folders.exe people download, out of the release zip
(MENUFIX_ZIP), where the kernel cannot run 32-bit code: 32-bit Wine under qemu-user emulation
in a 64-bit prefix. The twin's suite covers the logic; these few untraced runs (minutes each)
cover what only the 32-bit build has: its registry view, C runtime, stack cookies, the 32-bit
pause. ATTRDUMP_EXE is a 64-bit attrdump, which runs natively."""

import contextlib, os, tempfile, zipfile

import emulation
import report
import test_completed_run
from report import COMMON_ROOT_FAILED, ROOT_FAILED
from test_registry_failures import user_pass
from test_three_folders import BANNER, DONE, absent, menu_pass
from wineprefix import COMMON_KEY, WinePrefix, image


class ShippedProgram(report.MenufixRun):
    traced = False

    @classmethod
    def setUpClass(cls):
        with contextlib.ExitStack() as cleanup:
            folder = cleanup.enter_context(tempfile.TemporaryDirectory(prefix="menufix-shipped-"))
            with zipfile.ZipFile(os.environ["MENUFIX_ZIP"]) as archive:
                cls.menufix, cls.three = (archive.extract(name, folder)
                                          for name in ("menufix.exe", "menufix-3-folders.exe"))
            cls.attrdump = os.environ["ATTRDUMP_EXE"]
            if image(cls.menufix)[0] != 32 or image(cls.attrdump)[0] != 64:
                raise RuntimeError("want the 32-bit menufix.exe and a 64-bit attrdump.exe")
            cleanup.enter_context(emulation.i386_handler())
            cls.wine = WinePrefix(bits=32, emulated=True)
            cleanup.callback(cls.wine.close)
            cls.pause = cls.wine.pause_prompt()
            cls.cleanup = cleanup.pop_all()  # kept until tearDownClass

    @classmethod
    def tearDownClass(cls):
        cls.cleanup.close()

    test_user_and_common_trees = test_completed_run.CompletedRun.test_user_and_common_trees

    def test_common_root_only_in_the_64_bit_view_is_not_read(self):
        user, common = r"C:\Roots\User", r"C:\Roots\Common"
        self.wine.make_tree(user + "\\Programs", {"Accessories": {}})
        self.wine.set_roots(user, common)
        self.wine.set_value(COMMON_KEY, "Common Start Menu", common, view=64)
        self.wine.delete_value(COMMON_KEY, "Common Start Menu", view=32)
        self.assertRun(ROOT_FAILED, user_pass(user) + COMMON_ROOT_FAILED, [user, common])

    def test_three_folders_program_reads_the_common_root_of_the_32_bit_view(self):
        common = r"C:\Roots\Three"
        self.wine.make_tree(common + "\\Programs", {"Accessibility": {"desktop.ini": b""}})
        self.wine.set_value(COMMON_KEY, "Common Start Menu", common, view=32)
        self.wine.set_value(COMMON_KEY, "Common Start Menu", r"C:\Roots\Other", view=64)
        status, output = self.wine.run(self.three, "/common")
        report.assert_output(self, output, BANNER + menu_pass(common, absent, report.repaired, absent) + DONE)
        self.assertEqual(status, 0)


if __name__ == "__main__":
    report.main()
