"""The batch files that ship beside the programs, run under Wine's cmd with
the real programs: from the release zip (MENUFIX_ZIP), or, in the 64-bit
twin's tree, from the sources (MENUFIX_BATCH) with the twins. What the
scripts keep is cmd's part: running both programs, the logs and the one
result line, exit codes, SYSTEM's second run. Which folders were set shows in
the words menufix-3-folders.exe gives SetFileAttributesW. Every run has an
open standard input that never sends a key, as a logon may."""

import os
import pathlib
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
from wineprefix import HIDDEN, SYSTEM, USER_KEY, WinePrefix, argument, image

SCRIPTS = ("menufix-logon.cmd", "menufix-startup.cmd")
PROGRAMS = ("menufix.exe", "menufix-3-folders.exe")
MARKED = 'set "SHARE=\\\\server\\share"'
THREE = ("System Tools", "Accessibility", "Windows PowerShell")
SET_WORD = re.compile(r'Call KERNEL32\.SetFileAttributesW\(\w+ L"((?:[^"\\]|\\.)*)",(\w+)\)')
SYSTEM_PROFILE_MENU = r"C:\windows\System32\config\systemprofile\AppData\Roaming\Microsoft\Windows\Start Menu"
BOTH_RAN = "menufix.exe exit code 0; menufix-3-folders.exe exit code 0"
SYSTEM_LOGS = r"C:\windows\logs"
NOT_SHARED = "log not on the share; "


class ShippedScripts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.no_mounts = private_mounts()  # before the Wine session, which must see them
        cls.folder = tempfile.mkdtemp(prefix="menufix-scripts-")
        cls.addClassCleanup(shutil.rmtree, cls.folder)
        if os.environ.get("MENUFIX_ZIP"):
            with zipfile.ZipFile(os.environ["MENUFIX_ZIP"]) as archive:
                cls.programs = [archive.extract(name, cls.folder) for name in PROGRAMS]
                files = {name: archive.read(name) for name in SCRIPTS + ("admin-zh.txt",)}
        else:
            cls.programs = [os.environ["MENUFIX_EXE"], os.environ["THREE_FOLDERS_EXE"]]
            paths = {name: os.path.join(os.environ["MENUFIX_BATCH"], name) for name in SCRIPTS}
            paths["admin-zh.txt"] = os.path.join(os.environ["MENUFIX_BATCH"], "..", "docs", "admin-zh.txt")
            files = {name: pathlib.Path(path).read_bytes() for name, path in paths.items()}
        cls.texts = {name: files[name].decode("ascii") for name in SCRIPTS}
        cls.admin = files["admin-zh.txt"].decode("utf-8-sig")
        cls.wine = WinePrefix(bits=image(cls.programs[0])[0])
        cls.addClassCleanup(cls.wine.close)
        # Only menufix-3-folders.exe calls SetFileAttributesW: a trace of that alone is quick.
        cls.wine.set_value(r"HKCU\Software\Wine\Debug", "RelayInclude", "KERNEL32.SetFileAttributesW")
        # Names as this Wine gives them: its TEMP moved between releases.
        echo = cls.wine.run("cmd", "/c", "echo %TEMP%^|%LOCALAPPDATA%^|%COMPUTERNAME%^|%USERDOMAIN%^|%USERNAME%")
        cls.temp, cls.appdata, *cls.account = echo[1].decode("cp936").strip().split("|")
        # Wine runs nothing as SYSTEM: runs as SYSTEM get a whoami that
        # answers for it. Where 32-bit programs have a folder of their own, theirs.
        system = "syswow64" if cls.wine.bits == 32 and os.path.isdir(
            cls.wine.unix(r"C:\windows\syswow64")) else "system32"
        cls.whoami = cls.wine.unix(r"C:\windows\%s\whoami.exe" % system)
        cls.count = 0

    def setUp(self):
        # Each test its own share, menus and registry values, in the one prefix.
        ShippedScripts.count += 1
        self.base = "C:\\Case%d" % self.count
        # "&" and "!" in the share; Chinese, "!" and "%" in a profile path, which
        # the scripts only pass on; the scripts apart, as cmd /c takes no quoted "&".
        self.share = self.base + "\\Share & Co!"
        self.user = self.base + "\\Users\\张三!%x%\\Start Menu"
        self.common = self.base + "\\ProgramData\\Start Menu"
        self.policy = self.base + "\\Policy"
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
        self.logon_log = "logon\\%s.log" % ";".join(self.account)
        self.startup_log = "startup\\%s.log" % self.account[0]

    def run_script(self, name, system=False, variables=()):
        """Runs the shipped script, pointed at this test's share, under cmd,
        traced, as SYSTEM or the prefix's user, with the given (name, value)
        pairs set in cmd first (Wine sets some, such as USERDOMAIN, over what
        it is given); returns (status, standard output, {folder: word set})."""
        self.assertEqual(self.texts[name].count(MARKED), 1)
        path = self.policy + "\\" + name
        pathlib.Path(self.wine.unix(path)).write_text(self.texts[name].replace(MARKED, 'set "SHARE=%s"' % self.share))
        env = dict(self.wine.env, WINEDEBUG="+relay")
        command = "".join("set %s=%s& " % pair for pair in variables) + "call " + path
        if system:
            env["WINEDLLOVERRIDES"] = "whoami.exe=n;" + env["WINEDLLOVERRIDES"]
            os.rename(self.whoami, self.whoami + ".wine")
            shutil.copy(os.environ["SYSTEM_WHOAMI_EXE"], self.whoami)
        reader, writer = os.pipe()
        try:
            result = subprocess.run([self.wine.loader, "cmd", "/c", command], env=env, stdin=reader,
                                    capture_output=True, timeout=60)
        finally:
            os.close(reader)
            os.close(writer)
            if system:
                os.replace(self.whoami + ".wine", self.whoami)
        words = {argument("", folder, "L", folder): int(word, 16)
                 for folder, word in SET_WORD.findall(result.stderr.decode("latin-1"))}
        return result.returncode, result.stdout.decode("cp936", "replace"), words

    def read(self, path, remove=False):
        """A log, lines ending in CR LF (the programs' in CR CR LF), and removed if asked."""
        with open(self.wine.unix(path), "rb") as file:
            text = file.read().decode("cp936").replace("\r\r\n", "\r\n")
        if remove:
            os.remove(self.wine.unix(path))
        return text

    def log(self, name):
        return self.read(self.share + "\\logs\\" + name)

    def immutable(self, path):
        """Makes a file or folder nobody can change, Wine as root too, until the test ends."""
        made = subprocess.run(["chattr", "+i", self.wine.unix(path)], capture_output=True, text=True)
        if made.returncode:
            self.skipTest("chattr +i: " + made.stderr.strip())
        self.addCleanup(subprocess.run, ["chattr", "-i", self.wine.unix(path)], capture_output=True)

    def assertThreeSet(self, words, root):
        """menufix-3-folders.exe gave the three folders below root, and nothing else, 0x11."""
        self.assertEqual(words, {root + "\\Programs\\" + name: 0x11 for name in THREE})

    def assertResult(self, log, result, note=""):
        """The log's one result line, its last: result, note, start (as Wine's %DATE% %TIME%), programs
        ({code} for any exit code: Wine 8 and 10 set different ones for a program that cannot start)."""
        lines = log.splitlines()
        self.assertEqual(len([line for line in lines if line.startswith("menufix result:")]), 1, log)
        today = time.localtime()
        self.assertRegex(lines[-1], r"^menufix result: %s; %sstarted 0?%d/0?%d/0?%d\D.*\d:\d\d.*; %s$" % (
            re.escape(result.split("; ", 1)[0]), re.escape(note), today.tm_year, today.tm_mon, today.tm_mday,
            re.escape(result.split("; ", 1)[1]).replace(r"\{code\}", r"-?\d+")))
        self.assertTrue(log.endswith("\r\n"))

    def test_logon_script_gives_each_account_a_log_the_summaries_read(self):
        status, _, words = self.run_script("menufix-logon.cmd")
        log = self.log(self.logon_log)
        self.assertTrue(log.startswith("menufix logon run started "), log)
        self.assertIn(report.repaired(self.user + r"\Programs\Accessories"), log)
        self.assertIn("\r\nmenufix.exe exit code 0\r\n", log)
        self.assertResult(log, "ok; " + BOTH_RAN)
        self.assertEqual(status, 0)
        self.assertThreeSet(words, self.user)
        # Hyphens wherever Windows allows them: one PC, three accounts that
        # a "-" between the names would give one log. A "!" in %TEMP%. Now
        # one folder lacks desktop.ini: ok, and it stays English.
        os.remove(self.wine.unix(self.user + r"\Programs\Windows PowerShell\desktop.ini"))
        temp = self.base + "\\Temp!"
        self.wine.make_tree(temp, {})
        accounts = [("PC-01", "CORP-EU", "admin"), ("PC-01", "CORP", "EU-admin"), ("PC-01-CORP", "EU", "admin")]
        logs = ["logon\\%s.log" % ";".join(account) for account in accounts]
        for account, name in zip(accounts, logs):
            self.run_script("menufix-logon.cmd", variables=zip(
                ("COMPUTERNAME", "USERDOMAIN", "USERNAME", "TEMP"), account + (temp,)))
            self.assertIn(report.no_desktop_ini(self.user + r"\Programs\Windows PowerShell"), self.log(name))
            self.assertResult(self.log(name), "ok; " + BOTH_RAN, note="desktop.ini missing; ")
        self.assertEqual(sorted(os.listdir(self.wine.unix(self.share + r"\logs\logon"))),
                         sorted(name.split("\\")[1] for name in logs + [self.logon_log]))
        self.assertEqual(self.log(self.logon_log), log)
        # The reference's command, as findstr /s /c: reads it (Wine 8's
        # findstr prints nothing): the warned runs' logs, and no other.
        searched = re.findall(r'findstr /s /c:"([^"]+)" \\\\server\\share\\logs\\\*\.log', self.admin)
        self.assertEqual(len(searched), 1, "one desktop.ini summary in admin-zh.txt")
        self.assertEqual([name for name in logs + [self.logon_log] if searched[0] in self.log(name)], logs)

    def test_startup_script_as_system_gives_system_a_start_menu_and_runs_again(self):
        for forget in (False, True):
            if forget:
                self.wine.delete_value(USER_KEY, "Start Menu")
            status, _, words = self.run_script("menufix-startup.cmd", system=True)
            log = self.log(self.startup_log)
            self.assertTrue(log.startswith("menufix startup run started "), log)
            self.assertIn(report.repaired(self.common + r"\Programs\Accessories"), log)
            self.assertResult(log, "ok; " + BOTH_RAN)
            self.assertEqual(status, 0)
            self.assertThreeSet(words, self.common)
        self.assertIn("\r\nmenufix.exe exit code -2\r\nSYSTEM has no Start Menu value: adding it, "
                      "running menufix again.\r\n", log)
        self.assertEqual(self.wine.query_value(USER_KEY, "Start Menu"), SYSTEM_PROFILE_MENU)

    def test_startup_script_run_by_a_person_leaves_the_registry_and_the_share_alone(self):
        earlier = "menufix result: ok; started earlier, by SYSTEM\r\n"
        pathlib.Path(self.wine.unix(self.share + "\\logs\\" + self.startup_log)).write_bytes(earlier.encode())
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
        self.assertResult(self.read(SYSTEM_LOGS + r"\menufix-startup.log", remove=True), "ok; " + BOTH_RAN)

    def test_result_line_is_true_and_reaches_a_log_whatever_one_folder_refuses(self):
        missing, locked = self.base + "\\Missing", self.base + "\\Locked"
        logon_fallback, startup_fallback = self.temp + "\\menufix-logon.log", SYSTEM_LOGS + "\\menufix-startup.log"
        other_fallback, three = self.appdata + "\\menufix-logon.log", self.wine.unix(self.share + "\\menufix-3-folders.exe")
        refused = "FAILED; could not %s in \"%s\"; neither program run"
        logon, startup, ok = "menufix-logon.cmd", "menufix-startup.cmd", "ok; " + BOTH_RAN
        no_share = lambda: shutil.rmtree(self.wine.unix(self.share + "\\logs"))
        leftover = lambda path: lambda: (pathlib.Path(self.wine.unix(path)).write_bytes(b"old\r\n"), self.immutable(path))
        away = lambda path: lambda: (os.rename(path, path + ".away"), self.addCleanup(os.rename, path + ".away", path))
        empty = lambda: (open(three, "wb").close(), self.addCleanup(shutil.copy, self.programs[1], three))
        link = lambda path: lambda: (os.symlink("/nowhere/x", self.wine.unix(path)),
                                     self.addCleanup(os.remove, self.wine.unix(path)))

        def mid_run(log, how, trigger=None):
            """The share's log made immutable (+i) or writable (-i) once the run wrote to trigger (the log)."""
            path, done = self.wine.unix(self.share + "\\logs\\" + log), threading.Event()
            trigger = self.wine.unix(trigger) if trigger else path

            def watch():
                while not done.wait(0.01):
                    if os.path.exists(trigger) and os.path.getsize(trigger):
                        return subprocess.run(["chattr", how, path], check=True)
            watcher = threading.Thread(target=watch)
            return lambda: (how == "-i" and leftover(self.share + "\\logs\\" + log)(), watcher.start(),
                            self.addCleanup(subprocess.run, ["chattr", "-i", path]),
                            self.addCleanup(watcher.join), self.addCleanup(done.set))

        def folder(path):
            inside = self.wine.unix(path + "\\kept.txt")
            return lambda: (self.wine.make_tree(path, {"kept.txt": b""}), self.addCleanup(
                lambda: (self.assertTrue(os.path.exists(inside), "del emptied a folder"), shutil.rmtree(inside[:-9]))))
        # (what goes wrong, script, as SYSTEM, variables, where the result is, result, note)
        cases = [
            (no_share, logon, False, (), logon_fallback, ok, NOT_SHARED),
            (no_share, startup, True, (), startup_fallback, ok, NOT_SHARED),
            (mid_run(self.logon_log, "+i"), logon, False, (), logon_fallback, ok, NOT_SHARED),
            (mid_run(self.startup_log, "+i"), startup, True, (), startup_fallback, ok, NOT_SHARED),
            # A share back by the end gets the whole log; a fallback that
            # refuses sends it on to %LOCALAPPDATA%.
            (mid_run(self.logon_log, "-i", self.temp + "\\menufix-logon-menufix.txt"), logon, False, (), None, ok, ""),
            (lambda: (no_share(), leftover(logon_fallback)()), logon, False, (), other_fallback, ok, NOT_SHARED),
            (folder(self.temp + "\\menufix-logon-done.txt"), logon, False, (), None,
             refused % ("remove an earlier run's menufix-logon-done.txt, a folder,", self.temp), ""),
            (leftover(self.temp + "\\menufix-logon-menufix.txt"), logon, False, (), None,
             refused % ("remove an earlier run's menufix-logon-menufix.txt", self.temp), ""),
            (leftover(SYSTEM_LOGS + "\\menufix-startup-log.txt"), startup, True, (), None,
             refused % ("write menufix-startup-log.txt", r"C:\windows\Logs"), ""),
            (lambda: None, logon, False, [("TEMP", missing)], None, refused % ("write menufix-logon-log.txt", missing), ""),
            (lambda: (self.wine.make_tree(locked, {}), self.immutable(locked)), logon, False, [("TEMP", locked)], None,
             refused % ("write menufix-logon-log.txt", locked), ""),
            (no_share, logon, False, [("TEMP", missing)], other_fallback,
             refused % ("write menufix-logon-log.txt", missing), NOT_SHARED),
            # Run as SYSTEM, the logon script keeps out of the system's %TEMP%.
            (lambda: self.immutable(r"C:\windows\temp"), logon, False, [("TEMP", r"C:\windows\Temp")], None, ok, ""),
            # A file Windows cannot start; an earlier run's name that del
            # leaves and "if exist" cannot see (a link to nowhere; Wine 10
            # hides an immutable file so).
            (empty, startup, True, (), None, "FAILED; menufix.exe exit code 0; menufix-3-folders.exe exit code {code}", ""),
            (link(SYSTEM_LOGS + "\\menufix-startup-menufix.txt"), startup, True, (), None,
             refused % ("remove an earlier run's menufix-startup-menufix.txt", r"C:\windows\Logs"), ""),
            (away(self.wine.unix(self.share + "\\menufix.exe")), logon, False, (), None,
             "FAILED; menufix.exe not found; menufix-3-folders.exe exit code 0", ""),
            (away(three), startup, True, (), None, "FAILED; menufix.exe exit code 0; menufix-3-folders.exe not found", ""),
            # A variable named ERRORLEVEL that would make every exit code 0.
            (self.read_only_mount, logon, False, [("ERRORLEVEL", "0")], None,
             "FAILED; menufix.exe exit code 0; menufix-3-folders.exe exit code 1", ""),
        ]
        for index, (wrong, name, system, variables, local, result, note) in enumerate(cases):
            with self.subTest(index, script=name, result=result, note=note):
                try:
                    self.wine.make_tree(self.share, {"logs": {"logon": {}, "startup": {}}})
                    wrong()
                    status, _, words = self.run_script(name, system=system, variables=variables)
                    share_log = self.share + "\\logs\\" + (self.startup_log if system else self.logon_log)
                    text = self.read(local or share_log, remove=True)
                    if local:
                        self.assertTrue(text.startswith('could not write "%s": this log is written here '
                                                        "instead.\r\n" % share_log), text)
                        if os.path.exists(self.wine.unix(share_log)):
                            self.assertNotIn("menufix result:", self.read(share_log))
                    if result.startswith("ok"):  # the whole log, wherever it is
                        self.assertIn(report.repaired((self.common if system else self.user) + r"\Programs\Accessories"),
                                      text)
                    self.assertResult(text, result, note=note)
                    self.assertEqual(status, 0 if result.startswith("ok") else 1)
                    self.assertEqual(bool(words), bool(re.search(r"3-folders.exe exit code [01]$", result)), words)
                finally:
                    self.doCleanups()

    def read_only_mount(self):
        """The user's Windows PowerShell on a read-only mount: it cannot be changed."""
        if self.no_mounts:
            self.skipTest(self.no_mounts)
        folder = self.wine.mount_read_only(self.user + r"\Programs\Windows PowerShell")
        self.addCleanup(subprocess.run, ["umount", folder], check=True)


if __name__ == "__main__":
    report.main()
