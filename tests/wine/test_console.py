"""menufix.exe and menufix-3-folders.exe in a console window, as a person
meets them: tmux runs one under Wine in a terminal, the test reads the screen
and presses the key."""

import os, time
from pathlib import Path

import report
from report import BANNER, CLOSING, ROOT_FAILED, USER_ROOT_FAILED, missing, no_desktop_ini, repaired
from terminal import Terminal
from test_three_folders import BANNER as THREE_BANNER, DONE, absent, menu_pass, three
from wineprefix import HIDDEN, menu_folders

STILL_WAITING = 3  # long after a run that did not wait would have shown its status
WESTERN = {"LANG": "en_US.UTF-8", "LC_ALL": "en_US.UTF-8"}  # ANSI code page 1252


def shown(text):
    """A report as the terminal shows it: lines, and tab stops every 8 columns."""
    return text.replace("\r\n", "\n").expandtabs(8)


class Console(report.MenufixRun):
    def terminal(self, *command, **options):
        terminal = Terminal(self.wine, *command, **options)
        self.addCleanup(terminal.close)
        return terminal

    def assertWaitsForKey(self, terminal, text, status, prompt=None):
        """The screen shows the report and the pause prompt, and stays so until a key."""
        prompt = prompt or self.pause.decode("cp936")
        screen = terminal.wait_for(prompt)
        self.assertEqual(screen, shown(text) + prompt)
        time.sleep(STILL_WAITING)
        self.assertEqual(terminal.screen(), screen, "did not wait for a key")
        terminal.press()
        self.assertEqual(terminal.status(), status)

    def assertEndsAtOnce(self, program, text, status, *arguments):
        """From a command prompt, which shares the console and stays open: the whole report, no pause."""
        terminal = self.terminal("cmd", "/c", "Z:" + program.replace("/", "\\"), *arguments)
        self.assertEqual(terminal.status(), status)
        self.assertEqual(terminal.screen(), shown(text) + "STATUS=%d" % status)

    def menu(self, root, *folders):
        """Both roots at a menu whose hidden Accessories, without desktop.ini, holds the given hidden
        folders (paths below it, parents first); the report of a run, to the closing text."""
        accessories, none = menu_folders(root)[0], root + "-none"
        self.wine.make_tree(accessories, {folder: ({}, HIDDEN) for folder in folders})
        self.wine.set_attributes(accessories, HIDDEN)
        self.wine.set_roots(root, none)
        return "".join([repaired(accessories), no_desktop_ini(accessories)] +
                       [repaired(accessories + "\\" + folder) for folder in folders] +
                       list(map(missing, menu_folders(root)[1:] + menu_folders(none))))

    def test_completed_run_shows_chinese_names_and_waits_for_a_key(self):
        text = self.menu(r"C:\开始菜单\User", "系统工具", "系统工具\\娱乐")
        self.assertWaitsForKey(self.terminal(self.menufix), BANNER + text + CLOSING, 0)

    def test_western_windows_shows_chinese_messages_and_western_names(self):
        # The messages are code page 936 text on any Windows; the names come
        # in the ANSI code page, here 1252, where "é" is one byte: in the
        # desktop.ini warning too, whose path stands inside the message.
        text = self.menu(r"C:\Western\Zoë", "Café")
        prompt = self.wine.pause_prompt(env=WESTERN).decode("cp1252").rstrip()
        self.assertWaitsForKey(self.terminal(self.menufix, env=WESTERN), BANNER + text + CLOSING, 0, prompt)

    def test_report_redirected_from_a_command_prompt_goes_to_the_file(self):
        # As `menufix.exe > "%TEMP%\menufix.log"` typed in a command prompt:
        # the report goes to the file as code page 936 bytes, and the pause
        # still reads its key from the console.
        text = self.menu(r"C:\开始菜单\Log", "系统工具")
        log = os.path.join(self.wine.path, "menufix.log")
        terminal = self.terminal(self.menufix, stdout=log)
        written = lambda: Path(log).read_bytes() if os.path.exists(log) else b""  # noqa
        deadline = time.monotonic() + 60
        while not written().endswith(self.pause) and time.monotonic() < deadline:
            time.sleep(0.1)
        time.sleep(STILL_WAITING)
        self.assertEqual(terminal.screen(), "", "the console shows what belongs in the file")
        terminal.press()
        self.assertEqual(terminal.status(), 0)
        report.assert_output(self, written(), BANNER + text + CLOSING, self.pause)

    def test_failure_waits_for_a_key_only_in_a_window_of_its_own(self):
        self.wine.set_roots("", "")
        self.assertWaitsForKey(self.terminal(self.menufix), BANNER + USER_ROOT_FAILED, ROOT_FAILED)
        self.assertEndsAtOnce(self.menufix, BANNER + USER_ROOT_FAILED, ROOT_FAILED)

    def test_three_folders_program_waits_with_its_own_prompt_only_in_a_window_of_its_own(self):
        root, program = r"C:\开始菜单\Three", os.environ["THREE_FOLDERS_EXE"]
        self.wine.make_tree(three(root)[0], {"desktop.ini": b""})
        self.wine.set_attributes(three(root)[0], HIDDEN)
        self.wine.set_roots(root, root)
        text = THREE_BANNER + menu_pass(root, repaired, absent, absent) + DONE
        self.assertWaitsForKey(self.terminal(program, "/user"), text, 0, "请按任意键继续. . .")
        self.assertEndsAtOnce(program, text, 0, "/user")


if __name__ == "__main__":
    report.main()
