"""Completed runs of the real menufix.exe under Wine: the report byte for byte, the exit
status, the pause, what changed on disk, and what the program asked of Windows."""

import ctypes, os, subprocess

import report
from report import missing, no_desktop_ini, not_repaired, repaired
from wineprefix import HIDDEN, SYSTEM, menu_folders

READ_ONLY, DIRECTORY, ARCHIVE = 0x1, 0x10, 0x20
INI = b"[.ShellClassInfo]\r\nLocalizedResourceName=@%SystemRoot%\\system32\\shell32.dll,-21761\r\n"


def private_mounts():
    """Moves this process into a mount namespace of its own; returns why it cannot."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(0x20000) != 0:  # CLONE_NEWNS
        return "no private mount namespace (it needs root): " + os.strerror(ctypes.get_errno())
    subprocess.run(["mount", "--make-rprivate", "/"], check=True)
    return None


class CompletedRun(report.MenufixRun):
    @classmethod
    def setUpClass(cls):
        cls.no_mounts = private_mounts()  # before the Wine session, which must see them
        super().setUpClass()

    def test_user_and_common_trees(self):
        # A "%" above the menu folders reaches every message, the warnings too.
        user, common = r"C:\Menus\50%s User", r"C:\Menus\All Users"
        u_acc, u_adm, u_start, u_maint, u_games = menu_folders(user)
        c_acc, c_adm, c_start, c_maint, c_games = menu_folders(common)
        w = self.wine
        w.make_tree(user + "\\Programs", {
            "Accessories": ({
                "desktop.ini": (INI, HIDDEN | SYSTEM),
                "系统工具": ({"Deep": {}}, HIDDEN),
                ".cache": ({"inner": ({}, HIDDEN), "data.bin": b"\x00\x01"}, HIDDEN),
                "Notepad.lnk": (b"shortcut bytes", HIDDEN),
                "誠運": {},  # both end in the byte of "\"
                "한국어": {"Inner": {}},  # not in code page 936
            }, HIDDEN),
            "Startup": ({"desktop.ini": (INI, HIDDEN | SYSTEM), "50%s %d off": ({}, READ_ONLY | SYSTEM),
                         "Hidden": ({}, READ_ONLY | HIDDEN)}, READ_ONLY),
            "Maintenance": b"a file where a folder belongs",
            "Games": {},
        })
        w.make_tree(r"C:\Menus", {"Elsewhere": ({"Inside": ({}, HIDDEN)}, HIDDEN),
                                  "Shared": {"desktop.ini": INI, "Sub": ({}, HIDDEN)}})
        w.set_attributes(user + "\\Programs", HIDDEN)
        w.make_tree(common + "\\Programs", {
            "Accessories": {"desktop.ini": {}},
            "Administrative Tools": ({}, HIDDEN | SYSTEM),
            "Maintenance": {"desktop.ini": (INI, HIDDEN | SYSTEM)},
            "Games": {"A": {"B": {"C": {}}}, "D": {}, "Solitaire.lnk": b"lnk"},
        })
        links = [u_games + "\\Link", u_acc + "\\up"]
        w.link(links[0], r"C:\Menus\Elsewhere")
        w.link(links[1], user + "\\Programs")
        w.link(c_start, r"C:\Menus\Shared")  # a menu folder that is a link is still one
        w.set_roots(user, common)
        before = w.attributes(self.attrdump, r"C:\Menus")
        files = w.file_contents(r"C:\Menus")

        below = lambda folder, *names: "".join(repaired(folder + "\\" + name) for name in names)  # noqa
        self.assertRun(0, "".join([
            repaired(u_acc), below(u_acc, "系统工具", "系统工具\\Deep", "誠運",
                                   "___~~KWB", "___~~KWB\\Inner"),  # the short name Wine gives 한국어
            missing(u_adm), "\r\n",  # Startup is already 0x11
            below(u_start, "50%s %d off", "Hidden"),
            repaired(u_maint), no_desktop_ini(u_maint), repaired(u_games), no_desktop_ini(u_games),
            repaired(c_acc), below(c_acc, "desktop.ini"), repaired(c_adm), no_desktop_ini(c_adm),
            repaired(c_start), below(c_start, "Sub"), repaired(c_maint),
            repaired(c_games), no_desktop_ini(c_games), below(c_games, "A", "A\\B", "A\\B\\C", "D"),
        ]), [user, common], completed=True, links=links)

        after = w.attributes(self.attrdump, r"C:\Menus")
        self.assertEqual(sorted(after), sorted(before), "nothing created, moved or deleted")
        self.assertEqual(w.file_contents(r"C:\Menus"), files)
        # Wine keeps no read-only bit on a folder beyond what its mode gives,
        # so what shows is hidden and system bits gone, and the file read-only.
        expected = {u_acc: DIRECTORY, u_acc + "\\系统工具": DIRECTORY, c_adm: DIRECTORY,
                    r"C:\Menus\Shared\Sub": DIRECTORY, u_maint: READ_ONLY | ARCHIVE}
        # Only root may change the hidden or system bit of a folder nobody may write.
        if os.geteuid() == 0:
            expected.update({u_start + "\\Hidden": READ_ONLY | DIRECTORY,
                             u_start + "\\50%s %d off": READ_ONLY | DIRECTORY})
        self.assertEqual({path: after[path] for path in before if after[path] != before[path]}, expected)

    def test_folders_that_cannot_be_set_are_reported_and_left_as_they_were(self):
        if self.no_mounts:
            self.skipTest(self.no_mounts)
        root = r"C:\Mounted"
        accessories = menu_folders(root)[0]
        self.wine.make_tree(root + "\\Programs", {"Accessories": ({"Sub": ({}, HIDDEN)}, HIDDEN)})
        self.addCleanup(subprocess.run, ["umount", self.wine.mount_read_only(accessories)], check=True)
        self.wine.set_roots(root, root)
        before = self.wine.attributes(self.attrdump, root)

        menu = "".join([not_repaired(accessories), not_repaired(accessories + "\\Sub")] +
                       list(map(missing, menu_folders(root)[1:])))
        self.assertRun(0, menu * 2, [root, root], completed=True)
        self.assertEqual(self.wine.attributes(self.attrdump, root), before)


if __name__ == "__main__":
    report.main()
