"""How this machine runs 32-bit Linux programs such as 32-bit Wine's loader:
natively, under qemu-user emulation, or not at all; and a qemu-i386 handler
in binfmt_misc for as long as the emulated tests need one.

usage: emulation.py probe   prints how the shipped 32-bit program can run
here: "native", "emulated" (a handler is there, or can be registered for
the tests) or "none: REASON"

A handler changes the whole host: while it is there, every 32-bit program
starts through qemu (also other people's Wine sessions), and the 32-bit
loader's --version answers as if the kernel ran it. So the probe looks at
what really runs, and the handler is there only while it is needed.
"""

import contextlib
import ctypes
import os
import signal
import subprocess
import sys

import wineprefix

LOADER32 = "/usr/lib/wine/wine"
QEMU = "/usr/bin/qemu-i386-static"
BINFMT = "/proc/sys/fs/binfmt_misc"
# Ours by name, so that only ours is ever removed.
NAME = "menufix-qemu-i386"
# A 32-bit x86 ELF executable or shared object, as qemu itself registers it.
MAGIC = b"\x7fELF\x01\x01\x01" + bytes(9) + b"\x02\x00\x03\x00"
MASK = b"\xff\xff\xff\xff\xff\xfe\xfe\x00" + b"\xff" * 8 + b"\xfe\xff\xff\xff"
PTRACE_TRACEME = 0


def probe():
    """("native" | "emulated" | "none", why): how the 32-bit loader runs now.

    The loader is started stopped at its first instruction (traced), and the
    program the kernel then really runs is read: the loader itself, natively,
    or qemu, through a handler. A handler is only asked where the kernel's own
    loader refuses, so one registered on a kernel that runs 32-bit code
    changes nothing there.
    """
    if not os.path.exists(LOADER32):
        return "none", LOADER32 + " is not installed"
    libc = ctypes.CDLL(None, use_errno=True)
    read, write = os.pipe()
    child = os.fork()
    if child == 0:
        os.close(read)
        libc.ptrace(PTRACE_TRACEME, 0, None, None)
        try:
            os.execv(LOADER32, [LOADER32, "--version"])
        except OSError as error:
            os.write(write, error.strerror.encode())
        os._exit(127)
    os.close(write)
    _, status = os.waitpid(child, 0)
    failure = os.read(read, 200).decode()
    os.close(read)
    if not os.WIFSTOPPED(status):
        return "none", failure or "the 32-bit loader did not start"
    try:
        program = os.readlink("/proc/%d/exe" % child)
    finally:
        os.kill(child, signal.SIGKILL)
        os.waitpid(child, 0)
    if os.path.realpath(program) == os.path.realpath(LOADER32):
        return "native", ""
    return "emulated", "through " + program


def handlers():
    """The names of the handlers that run 32-bit x86 programs through qemu."""
    found = []
    if not os.path.exists(os.path.join(BINFMT, "status")):
        return found
    for name in os.listdir(BINFMT):
        if name in ("register", "status"):
            continue
        with open(os.path.join(BINFMT, name)) as entry:
            text = entry.read()
        if "magic " + MAGIC.hex() in text and "qemu" in text:
            found.append(name)
    return found


def cannot_emulate():
    """Why a handler cannot be registered here, or None."""
    if not os.access(QEMU, os.X_OK):
        return QEMU + " is not installed (Debian's qemu-user-static)"
    if os.geteuid() != 0:
        return "registering a qemu-i386 handler in binfmt_misc needs root"
    with open("/proc/filesystems") as filesystems:
        if "binfmt_misc" not in filesystems.read():
            return "this kernel has no binfmt_misc"
    return None


def escaped(data):
    """Bytes as binfmt_misc reads them: every one as \\xHH."""
    return "".join("\\x%02x" % byte for byte in data)


def remove(unmount):
    """Removes our handler, and unmounts binfmt_misc where unmount names it
    (it is "" where we did not mount it)."""
    with contextlib.suppress(OSError):
        with open(os.path.join(BINFMT, NAME), "w") as entry:
            entry.write("-1")
    if unmount and not [name for name in os.listdir(BINFMT) if name not in ("register", "status")]:
        subprocess.run(["umount", unmount], stderr=subprocess.DEVNULL)


@contextlib.contextmanager
def i386_handler():
    """A qemu-i386 handler for as long as the block runs.

    One that was already registered is used and left in place. Otherwise one
    is registered, with binfmt_misc mounted first if need be, and removed
    after the block, also when this process is killed: a reaper waits for its
    standard input to close. Raises RuntimeError with the reason where none
    can be had.
    """
    if handlers():
        yield
        return
    reason = cannot_emulate()
    if reason:
        raise RuntimeError("cannot emulate 32-bit code: " + reason)
    unmount = ""
    if not os.path.exists(os.path.join(BINFMT, "register")):
        mount = subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", BINFMT],
                               capture_output=True, text=True)
        if mount.returncode != 0:
            raise RuntimeError("cannot emulate 32-bit code: binfmt_misc cannot be mounted: "
                               + mount.stderr.strip())
        unmount = BINFMT
    cleanup = wineprefix.reaper("emulation", unmount)
    try:
        # F: the kernel opens qemu now, so it runs in any mount namespace.
        with open(os.path.join(BINFMT, "register"), "w") as register:
            register.write(":%s:M::%s:%s:%s:F" % (NAME, escaped(MAGIC), escaped(MASK), QEMU))
        yield
    finally:
        cleanup.stdin.close()
        cleanup.wait()


if __name__ == "__main__":
    if sys.argv[1:] != ["probe"]:
        sys.exit(__doc__)
    how, why = probe()
    if how == "none" and os.path.exists(LOADER32):
        reason = cannot_emulate()
        how, why = ("emulated", "") if reason is None else ("none", why + "; " + reason)
    print(how + (": " + why if how == "none" else ""))
