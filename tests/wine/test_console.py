"""menufix.exe in a console window, as a person meets it: tmux runs it under
Wine in a terminal, the test reads the screen and presses the key."""

import time

import report
from report import BANNER, CLOSING, USER_ROOT_FAILED, missing, repaired
from terminal import Terminal
from wineprefix import HIDDEN, menu_folders

ROOT_FAILED = 254
# Long after a run that did not wait would have shown its exit status.
STILL_WAITING = 3


def shown(text):
    """A report as the terminal shows it: lines, and tab stops every 8 columns."""
    return text.replace("\r\n", "\n").expandtabs(8)


class Console(report.MenufixRun):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.prompt = cls.pause.decode("cp936")

    def terminal(self, *command):
        terminal = Terminal(self.wine, *command)
        self.addCleanup(terminal.close)
        return terminal

    def assertWaitsForKey(self, terminal, text, status):
        """The screen shows the report and the pause prompt, and stays so until a key."""
        screen = terminal.wait_for(self.prompt)
        self.assertEqual(screen, shown(BANNER + text) + self.prompt)
        time.sleep(STILL_WAITING)
        self.assertEqual(terminal.screen(), screen, "did not wait for a key")
        terminal.press()
        self.assertEqual(terminal.status(), status)

    def test_completed_run_shows_chinese_names_and_waits_for_a_key(self):
        root, none = r"C:\开始菜单\User", r"C:\开始菜单\None"
        accessories = menu_folders(root)[0]
        self.wine.make_tree(root + "\\Programs", {
            "Accessories": ({"desktop.ini": b"", "系统工具": ({"娱乐": {}}, HIDDEN)}, HIDDEN)})
        self.wine.set_roots(root, none)
        text = (repaired(accessories) + repaired(accessories + "\\系统工具") +
                repaired(accessories + "\\系统工具\\娱乐") +
                "".join(map(missing, menu_folders(root)[1:] + menu_folders(none))) + CLOSING)
        self.assertWaitsForKey(self.terminal(self.menufix), text, 0)

    def test_failure_waits_for_a_key_only_in_a_window_of_its_own(self):
        self.wine.set_roots("", "")
        self.assertWaitsForKey(self.terminal(self.menufix), USER_ROOT_FAILED, ROOT_FAILED)
        # A command prompt shares the console, and stays open after menufix.
        terminal = self.terminal("cmd", "/c", "Z:" + self.menufix.replace("/", "\\"))
        self.assertEqual(terminal.status(), ROOT_FAILED)
        self.assertEqual(terminal.screen(), shown(BANNER + USER_ROOT_FAILED) + "STATUS=254")

if __name__ == "__main__":
    report.main()
