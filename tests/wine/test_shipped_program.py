"""The menufix.exe and menufix-3-folders.exe people download, taken out of
the release zip (MENUFIX_ZIP), where the kernel cannot run 32-bit code:
32-bit Wine under qemu-user emulation in a 64-bit prefix. The twin's suite covers the logic; these few,
untraced runs (each takes a minute or two) cover what only the 32-bit build
has: its registry view, C runtime, stack cookies and the 32-bit pause.
ATTRDUMP_EXE is a 64-bit attrdump, which runs natively."""

import contextlib
import os
import shutil
import tempfile
import zipfile

import emulation
import report
import test_completed_run
from report import COMMON_ROOT_FAILED
from test_registry_failures import ROOT_FAILED, user_pass
from test_three_folders import BANNER, DONE, absent, three
from wineprefix import COMMON_KEY, WinePrefix, image


class ShippedProgram(report.MenufixRun):
    traced = False

    @classmethod
    def setUpClass(cls):
        cls.cleanup = contextlib.ExitStack()
        try:
            folder = tempfile.mkdtemp(prefix="menufix-shipped-")
            cls.cleanup.callback(shutil.rmtree, folder)
            with zipfile.ZipFile(os.environ["MENUFIX_ZIP"]) as archive:
                cls.menufix = archive.extract("menufix.exe", folder)
                cls.three = archive.extract("menufix-3-folders.exe", folder)
            cls.attrdump = os.environ["ATTRDUMP_EXE"]
            if image(cls.menufix)[0] != 32 or image(cls.attrdump)[0] != 64:
                raise RuntimeError("want the 32-bit menufix.exe and a 64-bit attrdump.exe")
            cls.cleanup.enter_context(emulation.i386_handler())
            cls.wine = WinePrefix(bits=32, emulated=True)
            cls.cleanup.callback(cls.wine.close)
            cls.pause = cls.wine.pause_prompt()
        except BaseException:
            cls.cleanup.close()
            raise

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
        common, other = r"C:\Roots\Three", r"C:\Roots\Other"
        self.wine.make_tree(common + "\\Programs", {"Accessibility": {"desktop.ini": b""}})
        self.wine.set_value(COMMON_KEY, "Common Start Menu", common, view=32)
        self.wine.set_value(COMMON_KEY, "Common Start Menu", other, view=64)
        status, output = self.wine.run(self.three, "/common")
        text = BANNER + absent(three(common)[0]) + report.repaired(three(common)[1]) + absent(three(common)[2])
        self.assertEqual(output, (text + DONE).encode("cp936").replace(b"\n", b"\r\n"))
        self.assertEqual(status, 0)


if __name__ == "__main__":
    report.main()
