"""Completed runs of the real menufix.exe under Wine: the report, byte for
byte, the exit status, the pause, and what changed on disk."""

import os
import unittest

import report
from report import (CLOSING, BANNER, as_written, left_alone, missing,
                    no_desktop_ini, repaired)
from wineprefix import HIDDEN, SYSTEM, WinePrefix, menu_folders

READ_ONLY = 0x1
DIRECTORY = 0x10
LINK = 0x400

INI = b"[.ShellClassInfo]\r\nLocalizedResourceName=@%SystemRoot%\\system32\\shell32.dll,-21761\r\n"


class CompletedRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.menufix, cls.attrdump = report.programs()
        cls.wine = WinePrefix()
        cls.pause = cls.wine.pause_prompt()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def run_menufix(self, user, common):
        self.wine.set_roots(user, common)
        return self.wine.run(self.menufix)

    def assertCompleted(self, status, output, report_text):
        self.assertEqual(status, 0)
        report.assert_report(self, output, as_written(BANNER + report_text + CLOSING) + self.pause)

    def test_user_and_common_trees(self):
        user, common = r"C:\Menus\User", r"C:\Menus\All Users"
        u_acc, u_adm, u_start, u_maint, u_games = menu_folders(user)
        c_acc, c_adm, c_start, c_maint, c_games = menu_folders(common)
        w = self.wine
        w.make_tree(user + "\\Programs", {
            "Accessories": ({
                "desktop.ini": (INI, HIDDEN | SYSTEM),
                "系统工具": ({"Deep": {}}, HIDDEN),
                ".cache": ({"inner": ({}, HIDDEN), "data.bin": b"\x00\x01"}, HIDDEN),
                "Notepad.lnk": (b"shortcut bytes", HIDDEN),
            }, HIDDEN),
            "Startup": ({"desktop.ini": (INI, HIDDEN | SYSTEM), "50%s %d off": {}}, READ_ONLY),
            "Maintenance": b"a file where a folder belongs",
            "Games": {},
        })
        w.make_tree(common + "\\Programs", {
            "Accessories": {"desktop.ini": {}},
            "Administrative Tools": ({}, HIDDEN | SYSTEM),
            "Maintenance": {"desktop.ini": (INI, HIDDEN | SYSTEM)},
            "Games": {"A": {"B": {"C": {}}}, "D": {}, "Solitaire.lnk": b"lnk"},
        })
        before = w.attributes(self.attrdump, user, common)
        files = w.file_contents(r"C:\Menus")

        status, output = self.run_menufix(user, common)

        self.assertCompleted(status, output, "".join([
            repaired(u_acc),
            repaired(u_acc + "\\系统工具"),
            repaired(u_acc + "\\系统工具\\Deep"),
            missing(u_adm),
            left_alone(u_start),
            repaired(u_start + "\\50%s %d off"),
            repaired(u_maint), no_desktop_ini(u_maint),
            repaired(u_games), no_desktop_ini(u_games),
            repaired(c_acc),
            repaired(c_acc + "\\desktop.ini"),
            repaired(c_adm), no_desktop_ini(c_adm),
            missing(c_start),
            repaired(c_maint),
            repaired(c_games), no_desktop_ini(c_games),
            repaired(c_games + "\\A"),
            repaired(c_games + "\\A\\B"),
            repaired(c_games + "\\A\\B\\C"),
            repaired(c_games + "\\D"),
        ]))

        after = w.attributes(self.attrdump, user, common)
        self.assertEqual(sorted(after), sorted(before), "nothing created, moved or deleted")
        self.assertEqual(w.file_contents(r"C:\Menus"), files)
        # Wine cannot make a folder read-only, but the hidden and system bits go.
        for folder in (u_acc, u_acc + "\\系统工具", c_adm):
            self.assertTrue(before[folder] & HIDDEN, folder)
            self.assertEqual(after[folder], DIRECTORY, folder)
        self.assertEqual(after[u_start], READ_ONLY | DIRECTORY)
        unchanged = [path for path in before
                     if "\\.cache" in path or not before[path] & DIRECTORY]
        unchanged.remove(u_maint)  # a top-level path is set whatever it names
        self.assertIn(u_acc + "\\desktop.ini", unchanged)
        self.assertEqual({p: after[p] for p in unchanged}, {p: before[p] for p in unchanged})
        self.assertEqual(after[u_maint] & READ_ONLY, READ_ONLY)

    def test_linked_folder_is_repaired_but_not_entered(self):
        root = r"C:\Linked"
        accessories = menu_folders(root)[0]
        self.wine.make_tree(root, {
            "Programs": {"Accessories": {"desktop.ini": INI}},
            "Elsewhere": {"Inside": ({}, HIDDEN)},
        })
        self.wine.link(accessories + "\\Link", root + "\\Elsewhere")
        before = self.wine.attributes(self.attrdump, accessories + "\\Link")
        self.assertEqual(before[accessories + "\\Link"] & LINK, LINK)

        status, output = self.run_menufix(root, root)

        top_levels = [repaired(accessories) + repaired(accessories + "\\Link")]
        top_levels += [missing(path) for path in menu_folders(root)[1:]]
        self.assertCompleted(status, output, "".join(top_levels * 2))
        inside = self.wine.attributes(self.attrdump, root + "\\Elsewhere\\Inside")
        self.assertEqual(inside[root + "\\Elsewhere\\Inside"], DIRECTORY | HIDDEN)

    def test_every_folder_of_a_large_tree_is_reported_once(self):
        root = r"C:\Large"
        games = menu_folders(root)[4]
        tree = {"G%02d" % i: {"S%02d" % j: {} for j in range(50)} for i in range(40)}
        self.wine.make_tree(games, tree)
        expected = [games] + [games + "\\" + g for g in tree]
        expected += [games + "\\" + g + "\\" + s for g in tree for s in tree[g]]
        self.assertGreaterEqual(len(expected), 2000)

        status, output = self.run_menufix(root, r"C:\Large\none")

        self.assertEqual(status, 0)
        text = output.decode("cp936")
        reported = [line[len('修复"'):-len('"成功!')] for line in text.split("\r\r\n")
                    if line.startswith('修复"')]
        self.assertEqual(sorted(reported), sorted(expected))
        self.assertEqual(len(reported), len(set(reported)))


if __name__ == "__main__":
    report.main()
