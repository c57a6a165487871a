"""The batch files that ship beside menufix.exe, run under Wine's cmd with the
real program: the logon and startup scripts for Group Policy, and the step
for the three folders of Windows 8 to 11. From the release zip (MENUFIX_ZIP)
where the tree builds one; the 64-bit twin's tree takes them from the
sources (MENUFIX_BATCH) and runs the twin (MENUFIX_EXE).

What they change shows in the attribute words attrib gives
SetFileAttributesW: Wine keeps no read-only bit on a folder."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import report
from test_completed_run import private_mounts
from wineprefix import COMMON_KEY, HIDDEN, SYSTEM, USER_KEY, WinePrefix, image

SCRIPTS = ("menufix-logon.cmd", "menufix-startup.cmd", "menufix-3-folders.cmd")
MARKED = 'set "SHARE=\\\\server\\share"'
DIRECTORY = 0x10
THREE = ("System Tools", "Accessibility", "Windows PowerShell")
SET_WORD = re.compile(r'Call KERNEL32\.SetFileAttributesW\(\w+ L"((?:[^"\\]|\\.)*)",(\w+)\)')
SYSTEM_PROFILE_MENU = r"C:\windows\System32\config\systemprofile\AppData\Roaming\Microsoft\Windows\Start Menu"


class ShippedScripts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.no_mounts = private_mounts()  # before the Wine session, which must see them
        cls.folder = tempfile.mkdtemp(prefix="menufix-scripts-")
        try:
            if os.environ.get("MENUFIX_ZIP"):
                with zipfile.ZipFile(os.environ["MENUFIX_ZIP"]) as archive:
                    cls.menufix = archive.extract("menufix.exe", cls.folder)
                    cls.texts = {name: archive.read(name).decode("ascii") for name in SCRIPTS}
            else:
                cls.menufix = os.environ["MENUFIX_EXE"]
                cls.texts = {}
                for name in SCRIPTS:
                    with open(os.path.join(os.environ["MENUFIX_BATCH"], name), "rb") as file:
                        cls.texts[name] = file.read().decode("ascii")
            cls.attrdump = os.environ["ATTRDUMP_EXE"]
            cls.wine = WinePrefix(bits=image(cls.menufix)[0])
        except BaseException:
            shutil.rmtree(cls.folder)
            raise
        try:
            # Only attrib calls SetFileAttributesW: a trace of that alone is quick.
            cls.wine.set_value(r"HKCU\Software\Wine\Debug", "RelayInclude", "KERNEL32.SetFileAttributesW")
            # Names as this Wine gives them: its TEMP moved between releases.
            echo = cls.wine.run("cmd", "/c", "echo %TEMP%^|%COMPUTERNAME%^|%USERNAME%")[1]
            cls.temp, cls.computer, user = echo.decode("cp936").strip().split("|")
        except BaseException:
            cls.tearDownClass()
            raise
        cls.who = cls.computer + "-" + user
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()
        shutil.rmtree(cls.folder)

    def setUp(self):
        # Each test its own share, menus and registry values, in the one prefix.
        ShippedScripts.count += 1
        base = "C:\\Case%d" % self.count
        # "&" in the share and the user's menu, as a user name may hold it.
        # The scripts stand apart, as in a policy's folder: cmd /c takes no
        # quoted path with "&" in it.
        self.share, self.user, self.common = base + "\\Share & Co", base + "\\User & Co", base + "\\Common"
        self.policy = base + "\\Policy"
        w = self.wine
        w.make_tree(self.share, {"logs": {}})
        w.make_tree(self.policy, {})
        shutil.copy(self.menufix, w.unix(self.share + "\\menufix.exe"))
        w.set_roots(self.user, self.common)
        # The scripts read the 32-bit view, as the release does; the twin its own.
        w.set_value(COMMON_KEY, "Common Start Menu", self.common, view=32)
        for root in (self.user, self.common):
            w.make_tree(root + "\\Programs", {
                "Accessories": {"desktop.ini": b"[.ShellClassInfo]\r\n"},
                "System Tools": ({"Tool.lnk": (b"shortcut", HIDDEN)}, HIDDEN),
                "Accessibility": ({}, SYSTEM),
                "Windows PowerShell": ({}, HIDDEN | SYSTEM)})

    def script(self, name):
        """The shipped script with its marked line, alone, pointed at this test's share."""
        text = self.texts[name]
        self.assertEqual(text.count(MARKED), int(name != "menufix-3-folders.cmd"))
        path = self.policy + "\\" + name
        with open(self.wine.unix(path), "w", newline="") as file:
            file.write(text.replace(MARKED, 'set "SHARE=%s"' % self.share))
        return path

    def run_script(self, name, env=None):
        """Runs a script under cmd, traced; returns (status, output, {folder: last word set})."""
        env = dict(self.wine.env, WINEDEBUG="+relay", **(env or {}))
        result = subprocess.run([self.wine.loader, "cmd", "/c", self.script(name)], env=env,
                                stdin=subprocess.DEVNULL, capture_output=True)
        words = {}
        for path, word in SET_WORD.findall(result.stderr.decode("latin-1")):
            words[path.replace("\\\\", "\\")] = int(word, 16)
        return result.returncode, result.stdout.decode("cp936", "replace"), words

    def log(self, name):
        """A log on the share, each line ending in CR LF (menufix's report has CR CR LF)."""
        with open(self.wine.unix(self.share + "\\logs\\" + name), "rb") as file:
            return file.read().decode("cp936").replace("\r\r\n", "\r\n")

    def assertThreeSet(self, words, *roots, absent=()):
        """The three folders below each root, and nothing else, were given 0x11
        last, and show hidden and system clear."""
        folders = [root + "\\Programs\\" + name for root in roots for name in THREE]
        folders = [folder for folder in folders if folder not in absent]
        self.assertEqual({path: hex(word) for path, word in words.items()},
                         {path: hex(0x11) for path in folders})
        after = self.wine.attributes(self.attrdump, *folders)
        self.assertEqual({path: after[path] for path in folders}, {path: DIRECTORY for path in folders})

    def assertResult(self, log, result):
        """The log's last line, the only one a summary reads."""
        lines = log.splitlines()
        self.assertEqual([line for line in lines if line.startswith("menufix result:")],
                         ["menufix result: " + result])
        self.assertEqual(lines[-1], "menufix result: " + result)
        self.assertTrue(log.endswith("\r\n"))

    def test_logon_script_repairs_the_users_menu_and_logs_one_result(self):
        status, _, words = self.run_script("menufix-logon.cmd")
        log = self.log("logon-%s.log" % self.who)
        self.assertTrue(log.startswith(report.BANNER), log)
        self.assertIn(report.repaired(self.user + r"\Programs\Accessories"), log)
        self.assertResult(log, "ok; exit code 0; System Tools ok; Accessibility ok; Windows PowerShell ok")
        self.assertEqual(status, 0)
        self.assertThreeSet(words, self.user)

    def test_startup_script_repairs_the_common_menu(self):
        status, _, words = self.run_script("menufix-startup.cmd")
        log = self.log("startup-%s.log" % self.computer)
        self.assertIn(report.repaired(self.common + r"\Programs\Accessories"), log)
        self.assertResult(log, "ok; exit code 0; System Tools ok; Accessibility ok; Windows PowerShell ok")
        self.assertEqual(status, 0)
        self.assertThreeSet(words, self.common)

    def test_startup_script_run_by_a_person_leaves_the_registry_alone(self):
        for code, forget in (("-2", lambda: self.wine.delete_value(USER_KEY, "Start Menu")),
                             ("-1", lambda: self.wine.delete_key(USER_KEY))):
            with self.subTest(code):
                forget()
                status, _, words = self.run_script("menufix-startup.cmd")
                log = self.log("startup-%s.log" % self.computer)
                self.assertEqual(log.count("menufix exit code:"), 1, log)
                self.assertIn("\r\nnot run as SYSTEM (SID ", log)
                self.assertResult(log, "FAILED; exit code %s; System Tools ok; Accessibility ok; "
                                       "Windows PowerShell ok" % code)
                self.assertEqual(status, 1)
                self.assertEqual(self.wine.query_value(USER_KEY, "Start Menu"), None)
                self.assertThreeSet(words, self.common)
                self.wine.set_roots(self.user, self.common)

    def test_startup_script_as_system_gives_system_a_start_menu_and_runs_again(self):
        self.wine.delete_value(USER_KEY, "Start Menu")
        # Where 32-bit programs have a folder of their own, theirs.
        system = "syswow64" if self.wine.bits == 32 and os.path.isdir(
            self.wine.unix(r"C:\windows\syswow64")) else "system32"
        whoami = self.wine.unix(r"C:\windows\%s\whoami.exe" % system)
        saved = whoami + ".wine"
        os.rename(whoami, saved)
        self.addCleanup(os.replace, saved, whoami)
        shutil.copy(os.environ["SYSTEM_WHOAMI_EXE"], whoami)
        status, _, words = self.run_script("menufix-startup.cmd", {"WINEDLLOVERRIDES": "whoami.exe=n;mscoree,mshtml="})
        log = self.log("startup-%s.log" % self.computer)
        runs = re.findall(r"menufix exit code: (\S+)\r\n", log)
        self.assertEqual(runs, ["-2", "0"])
        self.assertIn("\r\nSYSTEM has no Start Menu value: adding it, running menufix again.\r\n", log)
        self.assertResult(log, "ok; exit code 0; System Tools ok; Accessibility ok; Windows PowerShell ok")
        self.assertEqual(status, 0)
        self.assertEqual(self.wine.query_value(USER_KEY, "Start Menu"), SYSTEM_PROFILE_MENU)
        self.assertThreeSet(words, self.common)

    def test_log_goes_to_temp_with_a_note_where_the_share_cannot_be_written(self):
        for name, log in (("menufix-logon.cmd", "logon-%s.log" % self.who),
                          ("menufix-startup.cmd", "startup-%s.log" % self.computer)):
            with self.subTest(name):
                os.rmdir(self.wine.unix(self.share + "\\logs"))
                status, _, _ = self.run_script(name)
                os.mkdir(self.wine.unix(self.share + "\\logs"))
                local = self.wine.unix(self.temp + "\\" + name.replace(".cmd", ".log"))
                with open(local, "rb") as file:
                    text = file.read().decode("cp936")
                os.remove(local)
                self.assertTrue(text.startswith("could not write \"%s\\logs\\%s\": this log is written here "
                                                "instead.\r\n" % (self.share, log)), text)
                self.assertResult(text, "ok; log not on the share; exit code 0; System Tools ok; "
                                        "Accessibility ok; Windows PowerShell ok")
                self.assertEqual(status, 0)

    def test_missing_program_is_logged_and_the_folders_still_set(self):
        os.remove(self.wine.unix(self.share + "\\menufix.exe"))
        for name, log, root in (("menufix-logon.cmd", "logon-%s.log" % self.who, self.user),
                                ("menufix-startup.cmd", "startup-%s.log" % self.computer, self.common)):
            with self.subTest(name):
                status, _, words = self.run_script(name)
                self.assertResult(self.log(log), "FAILED; menufix.exe not found; System Tools ok; "
                                                 "Accessibility ok; Windows PowerShell ok")
                self.assertEqual(status, 1)
                self.assertThreeSet(words, root)

    def test_folder_that_cannot_be_changed_fails_the_result(self):
        if self.no_mounts:
            self.skipTest(self.no_mounts)
        folder = self.wine.unix(self.user + r"\Programs\Windows PowerShell")
        subprocess.run(["mount", "--bind", folder, folder], check=True)
        self.addCleanup(subprocess.run, ["umount", folder], check=True)
        subprocess.run(["mount", "-o", "remount,ro,bind", folder, folder], check=True)
        before = self.wine.attributes(self.attrdump, self.user + r"\Programs\Windows PowerShell")
        status, _, _ = self.run_script("menufix-logon.cmd")
        log = self.log("logon-%s.log" % self.who)
        self.assertResult(log, "FAILED; exit code 0; System Tools ok; Accessibility ok; Windows PowerShell FAILED")
        self.assertEqual(status, 1)
        self.assertEqual(self.wine.attributes(self.attrdump, self.user + r"\Programs\Windows PowerShell"),
                         before)

    def test_three_folders_step_sets_both_menus_and_says_so(self):
        shutil.rmtree(self.wine.unix(self.common + r"\Programs\Accessibility"))
        status, output, words = self.run_script("menufix-3-folders.cmd")
        lines = output.splitlines()
        self.assertEqual(lines[:6], ["ok       \"%s\\Programs\\System Tools\"" % self.user,
                                     "ok       \"%s\\Programs\\Accessibility\"" % self.user,
                                     "ok       \"%s\\Programs\\Windows PowerShell\"" % self.user,
                                     "ok       \"%s\\Programs\\System Tools\"" % self.common,
                                     "absent   \"%s\\Programs\\Accessibility\"" % self.common,
                                     "ok       \"%s\\Programs\\Windows PowerShell\"" % self.common])
        self.assertEqual(lines[6:8], ["", "Done: no folder failed."])
        self.assertEqual(status, 0)
        self.assertThreeSet(words, self.user, self.common,
                            absent=[self.common + r"\Programs\Accessibility"])


if __name__ == "__main__":
    report.main()
