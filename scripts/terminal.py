"""A terminal as a person sees it: tmux runs a Windows program under Wine in
it, the screen is read and keys are pressed as a person would.

Shared by the console tests, the demo and the benchmark.
"""

import itertools
import os
import shlex
import subprocess
import time

# How long the terminal stays after the program has ended, so that its exit
# status can be read; also all that is left running if the caller is killed
# (the prefix's reaper ends the program itself).
LINGER = 60
STATUS = "STATUS="
SOCKETS = itertools.count()


class Terminal:
    """A tmux terminal of its own in which `wine program ...` runs at once."""

    def __init__(self, wine, program, *arguments, width=250, height=60, under=(), stdin=None,
                 stdout=None, env=None):
        """under is a Linux command to run wine through, such as a timer;
        stdin a file for standard input instead of the keyboard, stdout one
        for standard output instead of the screen; env what to change in
        the prefix's environment."""
        # In the prefix, so that its reaper removes the socket too; one server
        # for each terminal.
        self.socket = os.path.join(wine.path, "tmux-%d.socket" % next(SOCKETS))
        self.env = wine.env
        command = ["env", *("%s=%s" % item for item in (env or {}).items()),
                   *under, wine.loader, program, *arguments]
        shell = shlex.join(command) + (" <" + shlex.quote(stdin) if stdin else "")
        shell += " >" + shlex.quote(stdout) if stdout else ""
        shell += "; echo %s$?; sleep %d" % (STATUS, LINGER)
        # A server can fail to start right after another has ended: try again
        # until the session is there.
        deadline = time.monotonic() + 10
        while True:
            self._tmux("-f", "/dev/null", "start-server", ";",
                       "set-option", "-g", "history-limit", "100000", ";",
                       "new-session", "-d", "-s", "menufix", "-x", str(width), "-y", str(height),
                       shell)
            if self._tmux("has-session", "-t", "menufix").returncode == 0:
                break
            if time.monotonic() > deadline:
                raise RuntimeError("tmux could not start a session")
            time.sleep(0.2)

    def _tmux(self, *arguments):
        # The server, and so the program, starts from the prefix's environment.
        return subprocess.run(["tmux", "-S", self.socket, *arguments], env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True)

    def screen(self):
        """Everything the terminal has shown, wrapped lines joined, without
        trailing blanks or empty lines at the end."""
        text = self._tmux("capture-pane", "-p", "-J", "-S", "-", "-t", "menufix").stdout
        return "\n".join(line.rstrip() for line in text.splitlines()).rstrip("\n")

    def wait_for(self, text, timeout=60):
        """The screen, once it shows text; AssertionError with the screen if it never does."""
        deadline = time.monotonic() + timeout
        while True:
            screen = self.screen()
            if text in screen:
                return screen
            if time.monotonic() > deadline:
                raise AssertionError("%r not on the screen after %d s:\n%s" % (text, timeout, screen))
            time.sleep(0.1)

    def press(self, key="x"):
        self._tmux("send-keys", "-t", "menufix", key)

    def status(self, timeout=60):
        """The program's exit status as Linux sees it, once it has ended."""
        screen = self.wait_for(STATUS, timeout)
        return int(screen.rsplit(STATUS, 1)[1].split()[0])

    def close(self):
        self._tmux("kill-server")
