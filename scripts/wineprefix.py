"""Throwaway Wine prefixes with their own registry values and folder trees.

Shared by the Wine test suite and the demo. A prefix runs 32-bit programs in
the zh_CN locale (ANSI code page 936) inside one wineserver session that is
kept alive, so that registry keys deleted for a test stay deleted: a new
session re-creates the Shell Folders keys a few seconds after it starts.
"""

import contextlib
import glob
import os
import shutil
import subprocess
import tempfile
import time

SHELL_FOLDERS = r"Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
USER_KEY = "HKCU\\" + SHELL_FOLDERS
COMMON_KEY = "HKLM\\" + SHELL_FOLDERS

HIDDEN = 0x2
SYSTEM = 0x4

MENU_FOLDERS = ["Accessories", "Administrative Tools", "Startup", "Maintenance", "Games"]


def menu_folders(root):
    """The five standard Programs folders below a Start Menu root, in menufix's order."""
    return [root + "\\Programs\\" + name for name in MENU_FOLDERS]


def wine_available():
    """Whether Wine and the zh_CN.UTF-8 locale it needs for code page 936 are here."""
    if shutil.which("wine") is None or shutil.which("wineserver") is None:
        return False
    locales = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    return any(name.lower().replace("-", "") == "zh_cn.utf8" for name in locales)


class WinePrefix:
    """A new Wine prefix in a temporary folder; close() ends its session and removes it."""

    def __init__(self, name="menufix"):
        self.path = tempfile.mkdtemp(prefix=name + "-wine-")
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=self.path, WINEDEBUG="-all", LANG="zh_CN.UTF-8",
                        LC_ALL="zh_CN.UTF-8", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        try:
            self._quiet(["wineboot", "-i"])
            # The user key goes with the first session; its return shows
            # when the start-up programs of the kept session are done.
            self.delete_key(USER_KEY)
            self._quiet(["wineserver", "-w"])
            # Standard handles on /dev/null: the server outlives this call.
            self._quiet(["wineserver", "-p"])
            self._quiet(["wine", "cmd", "/c", "exit"])
            deadline = time.monotonic() + 60
            while not self._reg("query", USER_KEY) and time.monotonic() < deadline:
                time.sleep(0.5)
            time.sleep(1)
        except BaseException:
            self.close()
            raise

    def _quiet(self, command):
        subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not os.path.isdir(self.path):
            return
        # The server's socket folder is named after the prefix's device and inode.
        prefix = os.stat(self.path)
        for server in glob.glob("/tmp/*wine-*/server-%x-%x" % (prefix.st_dev, prefix.st_ino)):
            shutil.rmtree(server, ignore_errors=True)
            with contextlib.suppress(OSError):
                os.rmdir(os.path.dirname(server))
        for folder, _, _ in os.walk(self.path):  # read-only folders made by make_tree
            if not os.path.islink(folder):
                os.chmod(folder, 0o755)
        shutil.rmtree(self.path, ignore_errors=True)

    # Programs

    def run(self, program, *arguments, under=()):
        """Runs a Windows program with standard output to a file, as a redirected run does.

        under is a Linux command to run wine through, such as a timer.
        Returns (exit status as Linux sees it, bytes written to standard output).
        """
        with tempfile.TemporaryFile() as output:
            status = subprocess.run([*under, "wine", program, *arguments], env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=output,
                                    stderr=subprocess.DEVNULL).returncode
            output.seek(0)
            return status, output.read()

    def pause_prompt(self):
        """What the command processor's pause writes here, with no key to read."""
        return self.run("cmd", "/c", "pause")[1]

    # Registry

    def _reg(self, *arguments):
        result = subprocess.run(["wine", "reg", *arguments], env=self.env,
                                stdin=subprocess.DEVNULL, capture_output=True)
        return result.returncode == 0

    def set_value(self, key, name, data, kind="REG_SZ", view=32):
        if not self._reg("add", key, "/v", name, "/t", kind, "/d", data, "/f", "/reg:%d" % view):
            raise RuntimeError("reg add %s %s failed" % (key, name))

    def delete_value(self, key, name, view=32):
        self._reg("delete", key, "/v", name, "/f", "/reg:%d" % view)

    def delete_key(self, key, view=32):
        self._reg("delete", key, "/f", "/reg:%d" % view)

    def set_roots(self, user, common):
        """Points the two Start Menu values, in the 32-bit view, at the given roots."""
        self.set_value(USER_KEY, "Start Menu", user)
        self.set_value(COMMON_KEY, "Common Start Menu", common)

    # Files and folders

    def unix(self, windows_path):
        """The Linux path of a path on drive C:."""
        drive, rest = windows_path.split(":", 1)
        assert drive.upper() == "C", windows_path
        return os.path.join(self.path, "drive_c", *[p for p in rest.split("\\") if p])

    def make_tree(self, root, tree):
        """Creates a tree below a Windows path.

        tree maps names to a dict (a folder), bytes (a file) or a tuple
        (dict or bytes, attribute bits), where the bits are HIDDEN, SYSTEM or
        FILE_ATTRIBUTE_READONLY (0x1). A folder is read-only, as Wine reports
        it, when it has no write bit, so its contents are made first.
        """
        os.makedirs(self.unix(root), exist_ok=True)
        for name, item in tree.items():
            content, bits = item if isinstance(item, tuple) else (item, 0)
            path = root + "\\" + name
            if isinstance(content, dict):
                self.make_tree(path, content)
            else:
                with open(self.unix(path), "wb") as file:
                    file.write(content)
            self.set_attributes(path, bits)

    def set_attributes(self, path, bits):
        """Gives a path hidden and system bits, and read-only through its mode."""
        unix = self.unix(path)
        if bits & (HIDDEN | SYSTEM):
            os.setxattr(unix, "user.DOSATTRIB", b"0x%x" % (bits & (HIDDEN | SYSTEM)),
                        follow_symlinks=False)
        if bits & 0x1:
            os.chmod(unix, 0o555 if os.path.isdir(unix) else 0o444)

    def link(self, path, target):
        """A symbolic link at path to the folder target: a reparse point to Windows."""
        os.symlink(self.unix(target), self.unix(path))

    def attributes(self, attrdump, *roots):
        """The attribute word, as Windows reports it, of each path below the roots.

        Maps Windows paths to words (None where a root is missing); linked
        folders are listed but not entered.
        """
        words = {}
        for line in self.run(attrdump, *roots)[1].decode("cp936").splitlines():
            word, path = line.split("\t", 1)
            words[path] = None if word == "missing" else int(word, 16)
        return words

    def file_contents(self, root):
        """The bytes of every file below a Windows path, by Linux path."""
        contents = {}
        for folder, _, files in os.walk(self.unix(root)):
            for name in files:
                with open(os.path.join(folder, name), "rb") as file:
                    contents[os.path.join(folder, name)] = file.read()
        return contents
