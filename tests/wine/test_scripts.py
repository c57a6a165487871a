"""The batch files that ship beside the programs, run under Wine's cmd with
the real menufix.exe and menufix-3-folders.exe: the logon and startup
scripts for Group Policy. From the release zip (MENUFIX_ZIP) where the tree
builds one; the 64-bit twin's tree takes them from the sources
(MENUFIX_BATCH) and runs the twins (MENUFIX_EXE, THREE_FOLDERS_EXE).

What the scripts keep is cmd's part: running both programs, logs, where a
log goes when the share cannot take it, the result line, exit codes and the
startup script's second run as SYSTEM. Which folders were set shows in the words menufix-3-folders.exe
gives SetFileAttributesW: Wine keeps no read-only bit on a folder."""

import os
import re
import shutil
import subprocess
import tempfile
import threading
import time
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
BOTH_RAN = "menufix.exe exit code 0; menufix-3-folders.exe exit code 0"


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
            echo = cls.wine.run("cmd", "/c", "echo %TEMP%^|%COMPUTERNAME%^|%USERDOMAIN%^|%USERNAME%")[1]
            cls.temp, cls.computer, cls.domain, cls.user_name = echo.decode("cp936").strip().split("|")
            # Wine runs nothing as SYSTEM: runs as SYSTEM get a whoami that
            # answers for it. Where 32-bit programs have a folder of their own, theirs.
            system = "syswow64" if cls.wine.bits == 32 and os.path.isdir(
                cls.wine.unix(r"C:\windows\syswow64")) else "system32"
            cls.whoami = cls.wine.unix(r"C:\windows\%s\whoami.exe" % system)
        except BaseException:
            cls.tearDownClass()
            raise
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
        w.make_tree(self.share, {"logs": {"logon": {}, "startup": {}}})
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
        self.logon_log = "logon\\%s-%s-%s.log" % (self.computer, self.domain, self.user_name)
        self.startup_log = "startup\\%s.log" % self.computer

    def script(self, name):
        """The shipped script with its marked line, alone, pointed at this test's share."""
        text = self.texts[name]
        self.assertEqual(text.count(MARKED), 1)
        path = self.policy + "\\" + name
        with open(self.wine.unix(path), "w", newline="") as file:
            file.write(text.replace(MARKED, 'set "SHARE=%s"' % self.share))
        return path

    def run_script(self, name, system=False, variables=(), stdin=subprocess.DEVNULL):
        """Runs a script under cmd, traced, as SYSTEM or the prefix's user,
        with the given (name, value) pairs set in cmd first (Wine sets some,
        such as USERDOMAIN, over what it is given); returns (status, standard
        output, {folder: word set})."""
        env = dict(self.wine.env, WINEDEBUG="+relay")
        command = [self.wine.loader, "cmd", "/c", self.script(name)]
        if variables:
            command[2:] = ["/c", "".join("set %s=%s& " % pair for pair in variables) + "call " + command[3]]
        if system:
            env["WINEDLLOVERRIDES"] = "whoami.exe=n;" + env["WINEDLLOVERRIDES"]
            os.rename(self.whoami, self.whoami + ".wine")
            shutil.copy(os.environ["SYSTEM_WHOAMI_EXE"], self.whoami)
        try:
            result = subprocess.run(command, env=env, stdin=stdin, capture_output=True, timeout=120)
        finally:
            if system:
                os.replace(self.whoami + ".wine", self.whoami)
        words = {}
        for path, word in SET_WORD.findall(result.stderr.decode("latin-1")):
            words[argument("", path, "L", path)] = int(word, 16)
        return result.returncode, result.stdout.decode("cp936", "replace"), words

    def read(self, path):
        """A log, each line ending in CR LF (the programs' reports have CR CR LF)."""
        with open(self.wine.unix(path), "rb") as file:
            return file.read().decode("cp936").replace("\r\r\n", "\r\n")

    def log(self, name):
        return self.read(self.share + "\\logs\\" + name)

    def immutable(self, path):
        """Makes a file nobody can write, Wine running as root included, until the test ends."""
        made = subprocess.run(["chattr", "+i", self.wine.unix(path)], capture_output=True, text=True)
        if made.returncode:
            self.skipTest("chattr +i: " + made.stderr.strip())
        self.addCleanup(subprocess.run, ["chattr", "-i", self.wine.unix(path)], check=True)

    def assertThreeSet(self, words, root):
        """menufix-3-folders.exe gave the three folders below root, and nothing else, 0x11."""
        self.assertEqual({path: hex(word) for path, word in words.items()},
                         {root + "\\Programs\\" + name: hex(0x11) for name in THREE})

    def assertResult(self, log, result, note=""):
        """The log's last line, the only one a summary reads: result, note,
        the date and time the run started (as this Wine's %DATE% %TIME%
        give them), what each program did."""
        lines = log.splitlines()
        self.assertEqual(len([line for line in lines if line.startswith("menufix result:")]), 1, log)
        today = time.localtime()
        self.assertRegex(lines[-1], r"^menufix result: %s; %sstarted 0?%d/0?%d/0?%d\D.*\d:\d\d.*; %s$" % (
            re.escape(result.split("; ", 1)[0]), re.escape(note), today.tm_year, today.tm_mon, today.tm_mday,
            re.escape(result.split("; ", 1)[1])))
        self.assertTrue(log.endswith("\r\n"))

    def test_logon_script_logs_each_user_of_each_domain_and_never_waits(self):
        # An open standard input that never sends a key: without "< nul" a
        # program's pause would wait for it, and the logon with it.
        reader, writer = os.pipe()
        self.addCleanup(os.close, writer)
        with open(reader, "rb") as stdin:
            status, _, words = self.run_script("menufix-logon.cmd", stdin=stdin)
        log = self.log(self.logon_log)
        self.assertTrue(log.startswith("menufix logon run started "), log)
        self.assertIn(report.repaired(self.user + r"\Programs\Accessories"), log)
        self.assertIn("\r\nmenufix.exe exit code 0\r\n", log)
        self.assertIn(report.repaired(self.user + r"\Programs\Windows PowerShell"), log)
        self.assertResult(log, "ok; " + BOTH_RAN)
        self.assertEqual(status, 0)
        self.assertThreeSet(words, self.user)
        # The same user name in another domain, on the same PC: a log of its own.
        self.assertEqual(self.run_script("menufix-logon.cmd", variables=[("USERDOMAIN", "OTHER")])[0], 0)
        self.assertResult(self.log("logon\\%s-OTHER-%s.log" % (self.computer, self.user_name)), "ok; " + BOTH_RAN)
        self.assertEqual(self.log(self.logon_log), log)

    def test_startup_script_as_system_gives_system_a_start_menu_and_runs_again(self):
        status, _, words = self.run_script("menufix-startup.cmd", system=True)
        log = self.log(self.startup_log)
        self.assertTrue(log.startswith("menufix startup run started "), log)
        self.assertIn(report.repaired(self.common + r"\Programs\Accessories"), log)
        self.assertResult(log, "ok; " + BOTH_RAN)
        self.assertEqual(status, 0)
        self.assertThreeSet(words, self.common)

        self.wine.delete_value(USER_KEY, "Start Menu")
        status, _, words = self.run_script("menufix-startup.cmd", system=True)
        log = self.log(self.startup_log)
        self.assertIn("\r\nmenufix.exe exit code -2\r\nSYSTEM has no Start Menu value: adding it, "
                      "running menufix again.\r\n", log)
        self.assertResult(log, "ok; " + BOTH_RAN)
        self.assertEqual(status, 0)
        self.assertEqual(self.wine.query_value(USER_KEY, "Start Menu"), SYSTEM_PROFILE_MENU)

    def test_startup_script_run_by_a_person_leaves_the_registry_and_the_share_alone(self):
        earlier = "menufix result: ok; started earlier, by SYSTEM\r\n"
        with open(self.wine.unix(self.share + "\\logs\\" + self.startup_log), "w", newline="") as file:
            file.write(earlier)
        local = self.temp + "\\menufix-startup.log"
        for code, forget in (("-2", lambda: self.wine.delete_value(USER_KEY, "Start Menu")),
                             ("-1", lambda: self.wine.delete_key(USER_KEY))):
            with self.subTest(code):
                forget()
                status, output, words = self.run_script("menufix-startup.cmd")
                log = self.read(local)
                self.assertIn("\r\nnot run as SYSTEM (SID ", log)
                self.assertResult(log, "FAILED; menufix.exe exit code %s; menufix-3-folders.exe exit code 0" % code)
                self.assertIn('"%s"' % local, output, "the person is not told where the log is")
                self.assertEqual(status, 1)
                self.assertEqual(self.wine.query_value(USER_KEY, "Start Menu"), None)
                self.assertThreeSet(words, self.common)
                self.assertEqual(self.log(self.startup_log), earlier)
                self.wine.set_roots(self.user, self.common)
        # SYSTEM whose whoami said nothing looks like a person, but its
        # %TEMP% is the system's, where any user can create files.
        self.run_script("menufix-startup.cmd", variables=[("TEMP", r"C:\windows\Temp")])
        self.assertResult(self.read(r"C:\windows\logs\menufix-startup.log"), "ok; " + BOTH_RAN)
        os.remove(self.wine.unix(r"C:\windows\logs\menufix-startup.log"))

    def test_log_goes_where_only_its_own_user_can_write_when_the_share_cannot_take_it(self):
        # SYSTEM's goes to %SystemRoot%\Logs (Wine's is "logs"), not to its
        # %TEMP%, where any user may create the file first.
        for name, log, local, system in (
                ("menufix-logon.cmd", self.logon_log, self.temp + "\\menufix-logon.log", False),
                ("menufix-startup.cmd", self.startup_log, r"C:\windows\logs\menufix-startup.log", True)):
            with self.subTest(name):
                shutil.rmtree(self.wine.unix(self.share + "\\logs"))
                status, _, _ = self.run_script(name, system=system)
                self.wine.make_tree(self.share, {"logs": {"logon": {}, "startup": {}}})
                text = self.read(local)
                os.remove(self.wine.unix(local))
                self.assertTrue(text.startswith('could not write "%s\\logs\\%s": this log is written here '
                                                "instead.\r\n" % (self.share, log)), text)
                self.assertResult(text, "ok; " + BOTH_RAN, note="log not on the share; ")
                self.assertEqual(status, 0)

    def test_a_log_that_cannot_be_rewritten_gets_the_result_in_the_fallback(self):
        # A trial run's log that the computer may not rewrite: it keeps its
        # line, and the real result, here a failure, goes to the fallback.
        earlier = "menufix result: ok; started earlier, by hand\r\n"
        path = self.share + "\\logs\\" + self.startup_log
        with open(self.wine.unix(path), "w", newline="") as file:
            file.write(earlier)
        self.immutable(path)
        os.remove(self.wine.unix(self.share + "\\menufix-3-folders.exe"))
        status, _, _ = self.run_script("menufix-startup.cmd", system=True)
        local = r"C:\windows\logs\menufix-startup.log"
        text = self.read(local)
        os.remove(self.wine.unix(local))
        self.assertTrue(text.startswith('could not write "%s"' % path), text)
        self.assertResult(text, "FAILED; menufix.exe exit code 0; menufix-3-folders.exe not found",
                          note="log not on the share; ")
        self.assertEqual(status, 1)
        self.assertEqual(self.log(self.startup_log), earlier)

    def test_a_share_that_goes_mid_run_leaves_a_log_without_result_and_one_with(self):
        # The share's log stops taking lines once the run has written its first.
        path = self.wine.unix(self.share + "\\logs\\" + self.logon_log)
        self.addCleanup(subprocess.run, ["chattr", "-i", path], capture_output=True)
        made, done = [], threading.Event()

        def take_the_share_once_the_run_started():
            while not done.wait(0.01):
                if os.path.exists(path) and os.path.getsize(path):
                    made.append(subprocess.run(["chattr", "+i", path], capture_output=True, text=True))
                    return
        watcher = threading.Thread(target=take_the_share_once_the_run_started)
        watcher.start()
        status, _, _ = self.run_script("menufix-logon.cmd")
        done.set()
        watcher.join()
        self.assertTrue(made, "the run's first line never reached the share's log")
        if made[0].returncode:
            self.skipTest("chattr +i: " + made[0].stderr.strip())
        self.assertFalse("menufix result:" in self.log(self.logon_log))
        local = self.temp + "\\menufix-logon.log"
        text = self.read(local)
        os.remove(self.wine.unix(local))
        self.assertIn(report.repaired(self.user + r"\Programs\Accessories"), text)
        self.assertResult(text, "ok; " + BOTH_RAN, note="log not on the share; ")
        self.assertEqual(status, 0)

    def test_missing_program_is_logged_and_the_other_still_runs(self):
        for missing, name, log, root, other, system, result in (
                ("menufix.exe", "menufix-logon.cmd", self.logon_log, self.user, "System Tools", False,
                 "FAILED; menufix.exe not found; menufix-3-folders.exe exit code 0"),
                ("menufix-3-folders.exe", "menufix-startup.cmd", self.startup_log, self.common, "Accessories",
                 True, "FAILED; menufix.exe exit code 0; menufix-3-folders.exe not found")):
            with self.subTest(name, missing=missing):
                program = self.wine.unix(self.share + "\\" + missing)
                os.rename(program, program + ".away")
                status, _, _ = self.run_script(name, system=system)
                os.rename(program + ".away", program)
                log = self.log(log)
                self.assertIn("\r\n%s not found\r\n" % missing, log)
                self.assertIn(report.repaired(root + "\\Programs\\" + other), log)
                self.assertResult(log, result)
                self.assertEqual(status, 1)

    def test_folder_that_cannot_be_changed_fails_the_result(self):
        if self.no_mounts:
            self.skipTest(self.no_mounts)
        folder = self.wine.unix(self.user + r"\Programs\Windows PowerShell")
        subprocess.run(["mount", "--bind", folder, folder], check=True)
        self.addCleanup(subprocess.run, ["umount", folder], check=True)
        subprocess.run(["mount", "-o", "remount,ro,bind", folder, folder], check=True)
        status, _, _ = self.run_script("menufix-logon.cmd")
        log = self.log(self.logon_log)
        self.assertIn(report.not_repaired(self.user + r"\Programs\Windows PowerShell"), log)
        self.assertResult(log, "FAILED; menufix.exe exit code 0; menufix-3-folders.exe exit code 1")
        self.assertEqual(status, 1)


if __name__ == "__main__":
    report.main()
