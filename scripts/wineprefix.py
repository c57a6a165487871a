"""Throwaway Wine prefixes with their own registry values and folder trees.

Shared by the Wine test suite, the demo and the benchmark. A prefix runs the
programs of one build, 32-bit or the 64-bit twin, in the zh_CN locale (ANSI
code page 936) inside one wineserver session that is kept alive, so that
registry keys deleted for a test stay deleted: a new session re-creates the
Shell Folders keys a few seconds after it starts.
"""

import codecs
import collections
import contextlib
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

SHELL_FOLDERS = r"Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
USER_KEY = "HKCU\\" + SHELL_FOLDERS
COMMON_KEY = "HKLM\\" + SHELL_FOLDERS

HIDDEN = 0x2
SYSTEM = 0x4

MENU_FOLDERS = ["Accessories", "Administrative Tools", "Startup", "Maintenance", "Games"]

# Debian's wine wrapper takes the 32-bit loader whenever wine32 is installed,
# also where the kernel cannot run it: 64-bit programs get theirs by name.
LOADERS = {32: "wine", 64: "/usr/lib/wine/wine64"}

# One call a program made into Windows: "KERNEL32.FindClose", its arguments
# (numbers, or text for the strings Wine shows, narrow "..." or wide L"...";
# Wine cuts a string after 80 characters and ends it with "..."), and the
# number it returned.
Call = collections.namedtuple("Call", "name arguments result")
CALL = re.compile(r"(\w+):Call ([\w.]+)\((.*)\) ret=(\w+)$")
RET = re.compile(r"(\w+):Ret  ([\w.]+)\(\) retval=(\w+) ret=(\w+)$")
ARGUMENT = re.compile(r'(\w+)( (L?)"((?:[^"\\]|\\.)*)"(?:\.\.\.)?)?')
# Wine's escapes in a wide string: \\, \", \n, \r, \t, and \XXXX (four hex
# digits) for any other UTF-16 code unit outside printable ASCII.
WIDE_ESCAPE = re.compile(r'\\([0-9a-fA-F]{4}|.)')


def menu_folders(root):
    """The five standard Programs folders below a Start Menu root, in menufix's order."""
    return [root + "\\Programs\\" + name for name in MENU_FOLDERS]


def image(program):
    """(bits, image base, image size) of a Windows program, from its PE header."""
    with open(program, "rb") as file:
        header = file.read(4096)
    optional = struct.unpack_from("<I", header, 0x3C)[0] + 24  # after the COFF header
    if struct.unpack_from("<H", header, optional)[0] == 0x20B:  # PE32+
        bits, base = 64, struct.unpack_from("<Q", header, optional + 24)[0]
    else:
        bits, base = 32, struct.unpack_from("<I", header, optional + 28)[0]
    return bits, base, struct.unpack_from("<I", header, optional + 56)[0]  # SizeOfImage


def wine_available():
    """Whether Wine and the zh_CN.UTF-8 locale it needs for code page 936 are here."""
    if shutil.which("wine") is None or shutil.which("wineserver") is None:
        return False
    locales = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    return any(name.lower().replace("-", "") == "zh_cn.utf8" for name in locales)


def wine_environment(**variables):
    """This process's environment for Wine's programs, with the given variables.

    Without TMPDIR: Wine 10 as Debian builds it puts the server's socket
    folder in a folder it makes under TMPDIR, and with TMPDIR set a prefix's
    programs fail at their first registry write (free(): invalid pointer).
    Python's own temporary files, prefixes among them, keep it.
    """
    env = dict(os.environ, **variables)
    env.pop("TMPDIR", None)
    return env


class WinePrefix:
    """A new Wine prefix in a temporary folder for programs of the given
    bits; close() ends its session and removes it.

    emulated: a 64-bit prefix for 32-bit programs on a kernel that cannot run
    them. The 64-bit loader hands each 32-bit program to the 32-bit one,
    which a qemu-i386 handler runs (see emulation.py); it must be registered
    before the prefix is made, so that the prefix gets its 32-bit DLLs.
    """

    def __init__(self, name="menufix", bits=32, emulated=False):
        # A program reads the registry view of its own width, bits.
        self.bits, self.other_view = bits, {32: 64, 64: 32}[bits]
        self.loader = LOADERS[64 if emulated else bits]
        version = subprocess.run([self.loader, "--version"], stdin=subprocess.DEVNULL,
                                 capture_output=True, text=True)
        if version.returncode != 0:
            raise RuntimeError("%d-bit Wine cannot run here (%s): %s" % (
                bits, self.loader, version.stderr.strip() or version.returncode))
        self.path = tempfile.mkdtemp(prefix=name + "-wine-")
        self.reaper = reaper("wineprefix", self.path)
        self.env = wine_environment(WINEPREFIX=self.path)
        self.env.update( WINEDEBUG="-all", LANG="zh_CN.UTF-8",
                        LC_ALL="zh_CN.UTF-8", WINEDLLOVERRIDES="mscoree,mshtml=")
        if self.loader == LOADERS[64]:
            self.env["WINELOADER"] = self.loader
        self.env.pop("DISPLAY", None)
        try:
            self._quiet([self.loader, "wineboot", "-i"])
            # The user key goes with the first session; its return shows
            # when the start-up programs of the kept session are done.
            self.delete_key(USER_KEY)
            self._quiet(["wineserver", "-w"])
            # Standard handles on /dev/null: the server outlives this call.
            # Kept alive between runs, but not for long after the last one.
            self._quiet(["wineserver", "-p60"])
            self._quiet([self.loader, "cmd", "/c", "exit"])
            deadline = time.monotonic() + 60
            while self._reg("query", USER_KEY) and time.monotonic() < deadline:
                time.sleep(0.5)
            time.sleep(1)
        except BaseException:
            self.close()
            raise

    def _quiet(self, command):
        subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

    def close(self):
        """Ends the session and removes the prefix."""
        self.reaper.stdin.close()
        self.reaper.wait()

    # Programs

    def run(self, program, *arguments, under=(), cwd=None, relay=None, env=None):
        """Runs a Windows program with standard output to a file, as a redirected run does.

        under is a Linux command to run wine through, such as a timer; cwd a
        Windows path to start in; env what to change in the prefix's
        environment. With relay, a list, the program's own calls into Windows
        (see trace) are put into it.
        Returns (exit status as Linux sees it, bytes written to standard output).
        """
        env = dict(self.env, **(env or {}))
        if relay is not None:
            env["WINEDEBUG"] = "+relay"
        with tempfile.TemporaryFile() as output, tempfile.TemporaryFile() as log:
            status = subprocess.run([*under, self.loader, program, *arguments], env=env,
                                    cwd=cwd and self.unix(cwd), stdin=subprocess.DEVNULL,
                                    stdout=output, stderr=log).returncode
            output.seek(0)
            if relay is not None:
                log.seek(0)
                relay += trace(program, log.read().decode("latin-1").splitlines())
            return status, output.read()

    def pause_prompt(self, env=None):
        """What the command processor's pause writes here, with no key to read."""
        return self.run("cmd", "/c", "pause", env=env)[1]

    # Registry

    def _reg(self, *arguments):
        """Runs reg; returns its failure, decoded, or "" when it succeeded."""
        result = subprocess.run([self.loader, "reg", *arguments], env=self.env,
                                stdin=subprocess.DEVNULL, capture_output=True)
        if result.returncode == 0:
            return ""
        return ((result.stdout + result.stderr).decode("cp936", "replace").strip() or
                "failed with exit status %d and no message" % result.returncode)

    # Each in the registry view of the prefix's programs unless told.

    def set_value(self, key, name, data, kind="REG_SZ", view=None):
        view = "/reg:%d" % (view or self.bits)
        command = ("add", key, "/v", name, "/t", kind, "/d", data, "/f", view)
        failure = self._reg(*command)
        if failure:
            raise RuntimeError("reg add %s %s: %s" % (key, name, failure))

    def query_value(self, key, name, view=None):
        """The data of a value, as reg shows it, or None where there is none."""
        result = subprocess.run([self.loader, "reg", "query", key, "/v", name,
                                 "/reg:%d" % (view or self.bits)], env=self.env,
                                stdin=subprocess.DEVNULL, capture_output=True)
        for line in result.stdout.decode("cp936", "replace").splitlines():
            found = line.strip().split("    ")
            if len(found) == 3 and found[0] == name:
                return found[2]
        return None

    def delete_value(self, key, name, view=None):
        self._reg("delete", key, "/v", name, "/f", "/reg:%d" % (view or self.bits))

    def delete_key(self, key, view=None):
        self._reg("delete", key, "/f", "/reg:%d" % (view or self.bits))

    def set_roots(self, user, common):
        """Points the two Start Menu values at the given roots."""
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

    def share(self, path, name):
        """The UNC path \\\\server\\<name>, a share that reaches the folder path
        on drive C:. Wine takes \\\\server\\share\\... to dosdevices/unc/server/share/..."""
        server = os.path.join(self.path, "dosdevices", "unc", "server")
        os.makedirs(server, exist_ok=True)
        os.makedirs(self.unix(path), exist_ok=True)
        os.symlink(self.unix(path), os.path.join(server, name))
        return "\\\\server\\" + name

    def mount_read_only(self, path):
        """Makes a folder read-only with a bind mount, as a volume nobody may
        write; returns its Linux path, for the caller to unmount. Needs root
        and a mount namespace of its own made before the prefix, so that its
        Wine session sees the mount."""
        folder = self.unix(path)
        subprocess.run(["mount", "--bind", folder, folder], check=True)
        subprocess.run(["mount", "-o", "remount,ro,bind", folder, folder], check=True)
        return folder

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


def trace(program, lines):
    """The calls the program made itself, in order, read from Wine's relay trace.

    Only calls from the program's image on its first thread count: not the
    calls Wine's DLLs make to each other, nor other processes (such as the cmd
    of the pause). Strings are decoded from code page 936.
    """
    _, base, size = image(program)
    calls, pending, thread = [], [], None
    for line in lines:
        call, ret = CALL.match(line), RET.match(line)
        match = call or ret
        if not match or not base <= int(match[4], 16) < base + size:
            continue
        thread = thread or match[1]
        if match[1] != thread:
            continue
        if call:
            pending.append((len(calls), call[2], call[4]))
            calls.append(Call(call[2], [argument(*found) for found in ARGUMENT.findall(call[3])],
                              None))
        else:
            index = next(i for i, name, at in reversed(pending) if (name, at) == (ret[2], ret[4]))
            calls[index] = calls[index]._replace(result=int(ret[3], 16))
    return calls


def argument(number, quoted, wide, text):
    """One argument of a Call line: a number, or a string with its escapes
    undone (a narrow one decoded from code page 936)."""
    if not quoted:
        return int(number, 16)
    cut = "..." if quoted.endswith("...") else ""
    if wide:
        units = WIDE_ESCAPE.sub(lambda m: chr(int(m[1], 16)) if len(m[1]) == 4 else
                                {"n": "\n", "r": "\r", "t": "\t"}.get(m[1], m[1]), text)
        return units.encode("utf-16-le", "surrogatepass").decode("utf-16-le", "replace") + cut
    return codecs.escape_decode(text.encode("latin-1"))[0].decode("cp936", "replace") + cut


def reaper(module, argument):
    """Starts a process that calls remove(argument) of a module beside this
    one when its standard input closes: when the caller closes it, or when
    the caller ends, also when it is killed. Close it and wait for it."""
    return subprocess.Popen(
        [sys.executable, "-c", "import sys, %s as m; sys.stdin.read(); m.remove(sys.argv[1])" % module,
         argument],
        env=dict(os.environ, PYTHONPATH=os.path.dirname(os.path.abspath(__file__))),
        stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True)


def remove(path):
    """Ends the Wine session of a prefix and removes it, with what is mounted in it."""
    env = wine_environment(WINEPREFIX=path)
    for command in (["wineserver", "-k"], ["wineserver", "-w"]):
        subprocess.run(command, env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not os.path.isdir(path):
        return
    with open("/proc/self/mounts") as mounts:  # a space in a mount point reads \040
        points = [re.sub(r"\\([0-7]{3})", lambda m: chr(int(m[1], 8)), line.split()[1]) for line in mounts]
    points = [point for point in points if point.startswith(path + "/")]
    for point in reversed(points):
        subprocess.run(["umount", "-l", point], stderr=subprocess.DEVNULL)
    # The server's socket folder is named after the prefix's device and inode,
    # in a folder of /tmp named wine- and six more characters (.wine-<uid> in older Wines).
    prefix = os.stat(path)
    name = "server-%x-%x" % (prefix.st_dev, prefix.st_ino)
    for server in glob.glob("/tmp/*wine-*/" + name):
        shutil.rmtree(server, ignore_errors=True)
        with contextlib.suppress(OSError):
            os.rmdir(os.path.dirname(server))
    for folder, _, _ in os.walk(path):  # read-only folders made by make_tree
        if not os.path.islink(folder):
            os.chmod(folder, 0o755)
    shutil.rmtree(path, ignore_errors=True)
