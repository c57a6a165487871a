"""Rewrites a UTF-8 text file as UTF-16LE with a byte order mark and CRLF line
endings, the form Notepad opens without guessing on every Windows version.

usage: utf16le_crlf.py INPUT OUTPUT
"""
import sys


def main(source, target):
    with open(source, encoding="utf-8-sig", newline="") as f:
        text = f.read()
    # Normalise first, so a checkout with CRLF does not end up with CR CR LF.
    text = text.replace("\r\n", "\n").replace("\r", "\n").replace("\n", "\r\n")
    with open(target, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    main(sys.argv[1], sys.argv[2])
