"""Times menufix.exe under Wine against the attrib command a user would run
instead, a bare dir walk and the floor (listfloor.exe, which only lists the
same folders), measures its peak memory at two tree sizes, and prints the
results as Markdown for docs/benchmark.md.

Run through bench.sh, which builds the program first: the 32-bit menufix.exe
(win32 preset), or its 64-bit twin (win64) where 32-bit Wine cannot run.
"""

import argparse
import datetime
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
from terminal import Terminal
from wineprefix import LOADERS, WinePrefix, image, menu_folders, wine_available

BUILDS = {"win32": "the 32-bit menufix.exe (win32 preset)",
          "win64": "the 64-bit twin of menufix.exe (win64 preset), built from the same sources"}
# Levels below each menu folder, the same for every folder count, so that the
# memory figures differ only in the number of folders.
DEPTH = 3
MEMORY_SIZES = (1000, 10000)
# Absent, so the common root adds five "missing" lines and no walk: only the
# user's root holds the tree, as it does for attrib and dir.
NO_COMMON = r"C:\NoCommonMenu"


def menu_tree(count):
    """count folders below one menu folder, DEPTH levels deep, spread evenly."""
    fan = 1
    while sum(fan ** level for level in range(1, DEPTH + 1)) < count:
        fan += 1
    top, made = {}, 0
    parents = [top]
    for level in range(1, DEPTH + 1):
        size = count - made if level == DEPTH else min(fan ** level, count - made)
        children = [{} for _ in range(size)]
        for i, child in enumerate(children):
            parents[i % len(parents)]["F%04d" % i] = child
        made += size
        parents = children
    return top


def make_menus(wine, root, count):
    """Spreads count folders over the five menu folders below root."""
    folders = menu_folders(root)
    share, extra = divmod(count, len(folders))
    wine.make_tree(root + "\\Programs", {
        folder.rsplit("\\", 1)[1]: menu_tree(share + (i < extra))
        for i, folder in enumerate(folders)})
    return folders


def timed(wine, command):
    """Runs a Windows command as WinePrefix.run does; returns (seconds, status, output)."""
    start = time.perf_counter()
    status, output = wine.run(*command)
    return time.perf_counter() - start, status, output


def timed_console(wine, menufix):
    """Runs menufix with a tmux terminal as its console and standard input on
    /dev/null, so that the pause returns at once; returns (seconds, status,
    screen). GNU time in the terminal times the same Wine process as timed()."""
    terminal = Terminal(wine, menufix, under=["/usr/bin/time", "-f", "SECONDS=%e"],
                        stdin="/dev/null")
    try:
        status = terminal.status(timeout=900)
        screen = terminal.screen()
    finally:
        terminal.close()
    return float(screen.rsplit("SECONDS=", 1)[1].split()[0]), status, screen


def peak_kib(wine, command):
    """The peak resident set of the Wine process that runs command, in KiB.

    GNU time reports the ru_maxrss that wait4 returns: the high-water mark of
    the process through its execs (the wine script, loader and the program
    itself all run in one Linux process), so it is the peak of the Windows
    program together with Wine's own pages. The wineserver is not our child
    and is left out; so is the cmd of menufix's pause, which Wine starts as a
    grandchild it never waits for.
    """
    with tempfile.NamedTemporaryFile() as result:
        status = wine.run(*command, under=["/usr/bin/time", "-f", "%M", "-o", result.name])[0]
        check(status == 0, "%s exited with %d under time" % (command[0], status))
        return int(result.read().split()[-1])


def check(condition, message):
    if not condition:
        raise SystemExit("bench: " + message)


def lines(output):
    return output.decode("cp936", "replace").splitlines()


def machine(bits):
    """Date, CPU count, CPU model and Wine version, for the caption."""
    with open("/proc/cpuinfo") as cpuinfo:
        models = [line.split(":", 1)[1].strip() for line in cpuinfo if line.startswith("model name")]
    wine = subprocess.check_output([LOADERS[bits], "--version"], text=True,
                                   stderr=subprocess.DEVNULL).strip()
    return (datetime.datetime.now(datetime.timezone.utc).date().isoformat(), os.cpu_count(),
            models[0] if models else "unknown CPU", wine)


def progress(text):
    print(text, file=sys.stderr, flush=True)


def bench(wine, programs, folders, runs):
    progress("Making trees of %s folders, %d levels deep" %
        (" and ".join("{:,}".format(n) for n in sorted({folders, *MEMORY_SIZES})), DEPTH))
    menus = {n: make_menus(wine, r"C:\Bench%d" % n, n) for n in {folders, *MEMORY_SIZES}}

    menu = menus[folders]
    chained = []
    for folder in menu:
        chained += ["&", "attrib", "+r", folder + "\\*", "/s", "/d"]
    commands = {
        "menufix": [programs["menufix"]],
        "attrib": ["cmd", "/c", *chained[1:]],
        "dir": ["cmd", "/c", "dir", "/s", "/b", "/ad", *menu],
        "floor": [programs["listfloor"], *menu],
        "exit": ["cmd", "/c", "exit"],
    }

    # The warm-up run also shows that each command covers the whole tree.
    wine.set_roots(r"C:\Bench%d" % folders, NO_COMMON)
    warm = {name: timed(wine, command) for name, command in commands.items()}
    console = timed_console(wine, programs["menufix"])
    for name, status, report in [("menufix.exe", warm["menufix"][1], lines(warm["menufix"][2])),
                                 ("menufix.exe on a console", console[1], console[2].splitlines())]:
        repaired = [line for line in report if line.startswith('修复"')]
        check(status == 0, "%s exited with %d" % (name, status))
        check(len(repaired) == folders + len(menu),
              "%s reported %d folders, not %d" % (name, len(repaired), folders + len(menu)))
    listed = len(lines(warm["dir"][2]))
    check(listed == folders, "dir listed %d folders" % listed)
    check(warm["floor"][1] == 0, "listfloor.exe could not list the menu folders")
    # attrib's +r prints nothing: its listing form, with the same /s /d,
    # shows that it reaches every folder.
    listed = sum(len(lines(wine.run("attrib", folder + "\\*", "/s", "/d")[1])) for folder in menu)
    check(listed == folders, "attrib /s /d listed %d folders" % listed)

    seconds = {name: [] for name in [*commands, "console"]}
    for run in range(runs):
        progress("Timed run %d of %d" % (run + 1, runs))
        for name, command in commands.items():  # interleaved, so drift hits all alike
            seconds[name].append(timed(wine, command)[0])
        seconds["console"].append(timed_console(wine, programs["menufix"])[0])
    medians = {name: statistics.median(times) for name, times in seconds.items()}

    progress("Measuring peak memory")
    peaks = {}
    for size in MEMORY_SIZES:
        wine.set_roots(r"C:\Bench%d" % size, NO_COMMON)
        peak_kib(wine, commands["menufix"])  # warm-up
        peaks[size] = statistics.median(peak_kib(wine, commands["menufix"]) for _ in range(runs))
    peaks["exit"] = statistics.median(peak_kib(wine, commands["exit"]) for _ in range(runs))
    return commands, medians, peaks


def markdown(preset, bits, folders, runs, commands, medians, peaks):
    date, cpus, model, wine_version = machine(bits)
    ratio = lambda name: "%.2f × menufix" % (medians[name] / medians["menufix"])  # noqa: E731
    kib = lambda value: "{:,.0f} KiB".format(value)  # noqa: E731
    small, large = MEMORY_SIZES
    rows = [
        ("Time: `{wine} menufix.exe`", "%.3f s" % medians["menufix"], ratio("menufix")),
        ("Time: `{wine} menufix.exe` on a console (a tmux terminal), standard input on /dev/null",
         "%.3f s" % medians["console"], ratio("console")),
        ("Time: `{wine} cmd /c attrib +r <menu folder>\\* /s /d & …` (all five)",
         "%.3f s" % medians["attrib"], ratio("attrib")),
        ("Time: `{wine} cmd /c dir /s /b /ad <five menu folders>`",
         "%.3f s" % medians["dir"], ratio("dir")),
        ("Time: `{wine} listfloor.exe <five menu folders>` (the floor: listing alone)",
         "%.3f s" % medians["floor"],
         "%s; menufix ÷ floor = %.2f" % (ratio("floor"), medians["menufix"] / medians["floor"])),
        ("Time: `{wine} cmd /c exit` (Wine start-up alone)",
         "%.3f s" % medians["exit"], ratio("exit")),
        ("Peak memory: menufix.exe, {:,} folders".format(small), kib(peaks[small]), ""),
        ("Peak memory: menufix.exe, {:,} folders".format(large), kib(peaks[large]),
         "{:.2f} × the {:,}-folder peak".format(peaks[large] / peaks[small], small)),
        ("Peak memory: `{wine} cmd /c exit`", kib(peaks["exit"]), ""),
    ]
    text = [
        "Measured {} (UTC) with `scripts/bench.sh` on {} CPUs ({}), {}, timing {}.".format(
            date, cpus, model, wine_version, BUILDS[preset]),
        "Times are wall-clock medians of {} runs after one warm-up, on {:,} folders {} levels"
        " deep below the five menu folders of one Start Menu root; each includes starting"
        " Wine's processes (one for menufix, dir and listfloor; for attrib, one for cmd and one per"
        " attrib), and nothing is subtracted. Peak memory is the maximum resident set of the"
        " Wine process running the program (GNU time `%M`), median of {} runs, on trees of the"
        " same depth.".format(runs, folders, DEPTH, runs),
        "",
        "| Measure | Result | Ratio |",
        "|---|---|---|",
    ]
    # The twin runs with the 64-bit loader itself, wine64.
    wine = os.path.basename(LOADERS[bits])
    text += ["| %s | %s | %s |" % (row[0].replace("{wine}", wine), *row[1:]) for row in rows]
    text += ["", "What ran, each as `{wine} <command>` with standard input on /dev/null and"
             " standard output to a file. Wine's attrib sets folders with `/s /d`; Wine keeps"
             " no read-only bit on folders, for attrib as for menufix, so every run does the"
             " same work. listfloor.exe (`scripts/listfloor.cpp`) walks the same folders with"
             " FindFirstFileA, FindNextFileA and FindClose alone, setting and printing nothing:"
             " no walk of them can cost less. The console row runs `{wine} menufix.exe` in a"
             " tmux terminal of 250 × 60 cells, which is then its console, with standard input"
             " on /dev/null so that the pause returns at once, timed by GNU time (`%e`) inside"
             " the terminal; its ratio is the console run ÷ the redirected run."
             .replace("{wine}", wine), "", "```"]
    text += [subprocess.list2cmdline([os.path.relpath(command[0], ROOT), *command[1:]]
                                     if os.path.isabs(command[0]) else command)
             for command in commands.values()]
    return "\n".join(text + ["```"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--folders", type=int, default=10000, help="folders in the timed tree")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of each command")
    parser.add_argument("--preset", choices=sorted(BUILDS), default="win32",
                        help="the build to time")
    options = parser.parse_args()
    check(options.folders >= 5 and options.runs >= 1,
          "--folders must be at least 5 (one per menu folder) and --runs at least 1")
    check(wine_available(), "Wine or the zh_CN.UTF-8 locale is missing; run through bench.sh")
    build = os.path.join(ROOT, "build", options.preset)
    programs = {"menufix": os.path.join(build, "menufix.exe"),
                "listfloor": os.path.join(build, "scripts", "listfloor.exe")}
    for program in programs.values():
        check(os.path.exists(program), program + " is not built; run through bench.sh")
    bits = image(programs["menufix"])[0]
    # A plain kill must still end the Wine session and remove the prefix.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    wine = WinePrefix("menufix-bench", bits)
    try:
        commands, medians, peaks = bench(wine, programs, options.folders, options.runs)
    finally:
        wine.close()
    print(markdown(options.preset, bits, options.folders, options.runs, commands, medians, peaks))


if __name__ == "__main__":
    main()
