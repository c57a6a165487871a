"""The batch files that ship beside the programs, run under Wine's cmd with
the real menufix.exe and menufix-3-folders.exe: the logon and startup
scripts for Group Policy. From the release zip (MENUFIX_ZIP) where the tree
builds one; the 64-bit twin's tree takes them from the sources
(MENUFIX_BATCH) and runs the twins (MENUFIX_EXE, THREE_FOLDERS_EXE).

What the scripts keep is cmd's part: running both programs, logs, the
fallback, the result line, exit codes and the startup script's second run as
SYSTEM. Which folders were set shows in the words menufix-3-folders.exe
gives SetFileAttributesW: Wine keeps no read-only bit on a folder."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import report
from test_completed_run import private_mounts
from wineprefix import COMMON_KEY, HIDDEN, SYSTEM, USER_KEY, WinePrefix, argument, image

SCRIPTS = ("menufix-logon.cmd", "menufix-startup.cmd")
PROGRAMS = ("menufix.exe", "menufix-3-folders.exe")
MARKED = 'set "SHARE=\\\\server\\share"'
THREE = ("System Tools", "Accessibility", "Windows PowerShell")
SET_WORD = re.compile(r'Call KERNEL32\.SetFileAttributesW\(\w+ L"((?:[^"\\]|\\.)*)",(\w+)\)')
SYSTEM_PROFILE_MENU = r"C:\windows\System32\config\systemprofile\AppData\Roaming\Microsoft\Windows\Start Menu"
OK = "ok; menufix.exe exit code 0; menufix-3-folders.exe exit code 0"


class ShippedScripts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.no_mounts = private_mounts()  # before the Wine session, which must see them
        cls.folder = tempfile.mkdtemp(prefix="menufix-scripts-")
        try:
            if os.environ.get("MENUFIX_ZIP"):
                with zipfile.ZipFile(os.environ["MENUFIX_ZIP"]) as archive:
                    cls.programs = [archive.extract(name, cls.folder) for name in PROGRAMS]
                    cls.texts = {name: archive.read(name).decode("ascii") for name in SCRIPTS}
            else:
                cls.programs = [os.environ["MENUFIX_EXE"], os.environ["THREE_FOLDERS_EXE"]]
                cls.texts = {}
                for name in SCRIPTS:
                    with open(os.path.join(os.environ["MENUFIX_BATCH"], name), "rb") as file:
                        cls.texts[name] = file.read().decode("ascii")
            cls.wine = WinePrefix(bits=image(cls.programs[0])[0])
        except BaseException:
            shutil.rmtree(cls.folder)
            raise
        try:
            # Only menufix-3-folders.exe calls SetFileAttributesW: a trace of that alone is quick.
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
        # "&" in the share, as a server's name may hold it; a profile path
        # with Chinese, "!" and "%", which the scripts only pass on.
        # The scripts stand apart, as in a policy's folder: cmd /c takes no
        # quoted path with "&" in it.
        self.share = base + "\\Share & Co"
        self.user = base + "\\Users\\张三!%x%\\Start Menu"
        self.common = base + "\\ProgramData\\Start Menu"
        self.policy = base + "\\Policy"
        w = self.wine
        w.make_tree(self.share, {"logs": {}})
        w.make_tree(self.policy, {})
        for program in self.programs:
            shutil.copy(program, w.unix(self.share + "\\" + os.path.basename(program)))
        w.set_roots(self.user, self.common)
        for root in (self.user, self.common):
            w.make_tree(root + "\\Programs", {
                "Accessories": {"desktop.ini": b"[.ShellClassInfo]\r\n"},
                "System Tools": ({"desktop.ini": b"", "Tool.lnk": (b"shortcut", HIDDEN)}, HIDDEN),
                "Accessibility": ({"desktop.ini": b""}, SYSTEM),
                "Windows PowerShell": ({"desktop.ini": b""}, HIDDEN | SYSTEM)})

    def script(self, name):
        """The shipped script with its marked line, alone, pointed at this test's share."""
        text = self.texts[name]
        self.assertEqual(text.count(MARKED), 1)
        path = self.policy + "\\" + name
        with open(self.wine.unix(path), "w", newline="") as file:
            file.write(text.replace(MARKED, 'set "SHARE=%s"' % self.share))
        return path

    def run_script(self, name, env=None, stdin=subprocess.DEVNULL):
        """Runs a script under cmd, traced; returns (status, {folder: word set})."""
        env = dict(self.wine.env, WINEDEBUG="+relay", **(env or {}))
        result = subprocess.run([self.wine.loader, "cmd", "/c", self.script(name)], env=env,
                                stdin=stdin, capture_output=True, timeout=120)
        words = {}
        for path, word in SET_WORD.findall(result.stderr.decode("latin-1")):
            words[argument("", path, "L", path)] = int(word, 16)
        return result.returncode, words

    def log(self, name):
        """A log on the share, each line ending in CR LF (the programs' reports have CR CR LF)."""
        with open(self.wine.unix(self.share + "\\logs\\" + name), "rb") as file:
            return file.read().decode("cp936").replace("\r\r\n", "\r\n")

    def assertThreeSet(self, words, root):
        """menufix-3-folders.exe gave the three folders below root, and nothing else, 0x11."""
        self.assertEqual({path: hex(word) for path, word in words.items()},
                         {root + "\\Programs\\" + name: hex(0x11) for name in THREE})

    def assertResult(self, log, result):
        """The log's last line, the only one a summary reads."""
        lines = log.splitlines()
        self.assertEqual([line for line in lines if line.startswith("menufix result:")],
                         ["menufix result: " + result])
        self.assertEqual(lines[-1], "menufix result: " + result)
        self.assertTrue(log.endswith("\r\n"))

    def test_logon_script_runs_both_programs_on_the_users_menu_and_logs_one_result(self):
        # An open standard input that never sends a key: without "< nul" a
        # program's pause would wait for it, and the logon with it.
        reader, writer = os.pipe()
        self.addCleanup(os.close, writer)
        with open(reader, "rb") as stdin:
            status, words = self.run_script("menufix-logon.cmd", stdin=stdin)
        log = self.log("logon-%s.log" % self.who)
        self.assertTrue(log.startswith(report.BANNER), log)
        self.assertIn(report.repaired(self.user + r"\Programs\Accessories"), log)
        self.assertIn("\r\nmenufix.exe exit code: 0\r\n", log)
        self.assertIn(report.repaired(self.user + r"\Programs\Windows PowerShell"), log)
        self.assertIn("\r\nmenufix-3-folders.exe exit code: 0\r\n", log)
        self.assertResult(log, OK)
        self.assertEqual(status, 0)
        self.assertThreeSet(words, self.user)

    def test_startup_script_runs_both_programs_on_the_common_menu(self):
        status, words = self.run_script("menufix-startup.cmd")
        log = self.log("startup-%s.log" % self.computer)
        self.assertIn(report.repaired(self.common + r"\Programs\Accessories"), log)
        self.assertResult(log, OK)
        self.assertEqual(status, 0)
        self.assertThreeSet(words, self.common)

    def test_startup_script_run_by_a_person_leaves_the_registry_alone(self):
        for code, forget in (("-2", lambda: self.wine.delete_value(USER_KEY, "Start Menu")),
                             ("-1", lambda: self.wine.delete_key(USER_KEY))):
            with self.subTest(code):
                forget()
                status, words = self.run_script("menufix-startup.cmd")
                log = self.log("startup-%s.log" % self.computer)
                self.assertEqual(log.count("menufix.exe exit code:"), 1, log)
                self.assertIn("\r\nnot run as SYSTEM (SID ", log)
                self.assertResult(log, "FAILED; menufix.exe exit code %s; menufix-3-folders.exe exit code 0"
                                  % code)
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
        status, words = self.run_script("menufix-startup.cmd", {"WINEDLLOVERRIDES": "whoami.exe=n;mscoree,mshtml="})
        log = self.log("startup-%s.log" % self.computer)
        self.assertEqual(re.findall(r"menufix.exe exit code: (\S+)\r\n", log), ["-2", "0"])
        self.assertIn("\r\nSYSTEM has no Start Menu value: adding it, running menufix again.\r\n", log)
        self.assertResult(log, OK)
        self.assertEqual(status, 0)
        self.assertEqual(self.wine.query_value(USER_KEY, "Start Menu"), SYSTEM_PROFILE_MENU)
        self.assertThreeSet(words, self.common)

    def test_log_goes_to_temp_with_a_note_where_the_share_cannot_be_written(self):
        for name, log in (("menufix-logon.cmd", "logon-%s.log" % self.who),
                          ("menufix-startup.cmd", "startup-%s.log" % self.computer)):
            with self.subTest(name):
                os.rmdir(self.wine.unix(self.share + "\\logs"))
                status, _ = self.run_script(name)
                os.mkdir(self.wine.unix(self.share + "\\logs"))
                local = self.wine.unix(self.temp + "\\" + name.replace(".cmd", ".log"))
                with open(local, "rb") as file:
                    text = file.read().decode("cp936")
                os.remove(local)
                self.assertTrue(text.startswith("could not write \"%s\\logs\\%s\": this log is written here "
                                                "instead.\r\n" % (self.share, log)), text)
                self.assertResult(text.replace("\r\r\n", "\r\n"), OK.replace("ok; ", "ok; log not on the share; "))
                self.assertEqual(status, 0)

    def test_missing_program_is_logged_and_the_other_still_runs(self):
        for missing, other, result in (
                ("menufix.exe", "System Tools", "FAILED; menufix.exe not found; menufix-3-folders.exe exit code 0"),
                ("menufix-3-folders.exe", "Accessories", "FAILED; menufix.exe exit code 0; menufix-3-folders.exe not found")):
            program = self.wine.unix(self.share + "\\" + missing)
            os.rename(program, program + ".away")
            for name, log, root in (("menufix-logon.cmd", "logon-%s.log" % self.who, self.user),
                                    ("menufix-startup.cmd", "startup-%s.log" % self.computer, self.common)):
                with self.subTest(name, missing=missing):
                    status, _ = self.run_script(name)
                    log = self.log(log)
                    self.assertIn('%s not found: "%s\\%s"' % (missing, self.share, missing), log)
                    self.assertIn(report.repaired(root + "\\Programs\\" + other), log)
                    self.assertResult(log, result)
                    self.assertEqual(status, 1)
            os.rename(program + ".away", program)

    def test_folder_that_cannot_be_changed_fails_the_result(self):
        if self.no_mounts:
            self.skipTest(self.no_mounts)
        folder = self.wine.unix(self.user + r"\Programs\Windows PowerShell")
        subprocess.run(["mount", "--bind", folder, folder], check=True)
        self.addCleanup(subprocess.run, ["umount", folder], check=True)
        subprocess.run(["mount", "-o", "remount,ro,bind", folder, folder], check=True)
        status, _ = self.run_script("menufix-logon.cmd")
        log = self.log("logon-%s.log" % self.who)
        self.assertIn(report.not_repaired(self.user + r"\Programs\Windows PowerShell"), log)
        self.assertResult(log, "FAILED; menufix.exe exit code 0; menufix-3-folders.exe exit code 1")
        self.assertEqual(status, 1)


if __name__ == "__main__":
    report.main()
