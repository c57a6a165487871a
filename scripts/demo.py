"""Runs menufix.exe under Wine on a sample broken Start Menu and shows what it
did: the attribute words before, its console window as a person sees it (a
terminal's screen), the key pressed at the pause, the words after.

usage: demo.py MENUFIX_EXE ATTRDUMP_EXE
"""

import sys

from terminal import Terminal
from wineprefix import HIDDEN, SYSTEM, WinePrefix, image

USER = r"C:\users\demo\Start Menu"
COMMON = r"C:\ProgramData\Start Menu"
INI = ("[.ShellClassInfo]\r\nLocalizedResourceName=@%SystemRoot%\\system32\\shell32.dll,-21761\r\n"
       .encode("ascii"))
FLAGS = [(0x1, "R"), (0x2, "H"), (0x4, "S"), (0x10, "D"), (0x20, "A"), (0x400, "L")]

# English on-disk names, hidden and system bits set by some installer or
# clean-up tool, one menu folder without its desktop.ini.
USER_MENU = {
    "Accessories": ({
        "desktop.ini": (INI, HIDDEN | SYSTEM),
        "System Tools": ({"desktop.ini": (INI, HIDDEN | SYSTEM)}, HIDDEN),
        "Accessibility": {},
        "娱乐": ({}, HIDDEN),  # a Chinese name, as the console shows it
        ".thumbnails": ({"cache": ({}, HIDDEN)}, HIDDEN),
        "Notepad.lnk": b"shortcut",
    }, HIDDEN),
    "Startup": ({}, HIDDEN),
    "Games": {"desktop.ini": (INI, HIDDEN | SYSTEM), "Solitaire.lnk": b"shortcut"},
}
COMMON_MENU = {
    "Accessories": ({"desktop.ini": (INI, HIDDEN | SYSTEM)}, HIDDEN | SYSTEM),
    "Administrative Tools": ({"desktop.ini": (INI, HIDDEN | SYSTEM)}, HIDDEN),
    "Startup": {"desktop.ini": (INI, HIDDEN | SYSTEM)},
    "Maintenance": {},
}


def show_attributes(wine, attrdump, title):
    print("\n== %s ==" % title)
    print("   word   flags   path")
    for path, word in wine.attributes(attrdump, USER + r"\Programs", COMMON + r"\Programs").items():
        flags = "".join(letter if word & bit else "-" for bit, letter in FLAGS)
        print("  0x%04x  %s  %s" % (word, flags, path))


def main(menufix, attrdump):
    bits = image(menufix)[0]
    if bits == 64:
        print("Running the 64-bit twin of menufix.exe, built from the same sources"
              " (win64 preset): 32-bit Wine cannot run here, or MENUFIX_WINE_ARCH=64 asked.")
    print("Making a throwaway Wine prefix (zh_CN, code page 936)...")
    wine = WinePrefix("menufix-demo", bits)
    try:
        wine.make_tree(USER + r"\Programs", USER_MENU)
        wine.make_tree(COMMON + r"\Programs", COMMON_MENU)
        wine.set_roots(USER, COMMON)
        print("Registry (%d-bit view), Explorer\\Shell Folders:" % wine.bits)
        print('  HKCU "Start Menu"        = %s' % USER)
        print('  HKLM "Common Start Menu" = %s' % COMMON)
        print("Flags: R read-only, H hidden, S system, D directory, A archive, L link.")
        show_attributes(wine, attrdump, "Attribute words before")

        # The console a person sees: tmux runs menufix in a terminal.
        terminal = Terminal(wine, menufix, width=120, height=50)
        try:
            screen = terminal.wait_for(wine.pause_prompt().decode("cp936"))
            print("\n== menufix's console window, waiting at the pause ==")
            print(screen)
            print("\n== a key pressed for you ==")
            terminal.press()
            status = terminal.status()
        finally:
            terminal.close()
        print("exit status %d" % status)

        show_attributes(wine, attrdump, "Attribute words after")
        print("""
What happened:
- Every menu folder was given the word 0x11 (read-only + directory), which is
  what makes Explorer read its desktop.ini and show the Chinese name. Hidden
  and system bits are gone. Wine cannot mark a folder read-only, so here the
  folders show 0x10 afterwards (D only); on Windows they show 0x11 (R and D).
- Folders that do not exist (user Administrative Tools and Maintenance,
  common Games) are reported as missing; nothing is created.
- user Startup and common Maintenance have no desktop.ini: menufix warns,
  because without one the folder keeps its English name.
- Files (shortcuts, desktop.ini) and the .thumbnails folder, whose name
  begins with a dot, were left exactly as they were.
- The report was shown as Chinese text in the console and the window waited
  at "请按任意键继续" until the key was pressed.""")
        return status
    finally:
        wine.close()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    sys.exit(main(sys.argv[1], sys.argv[2]))
