#!/usr/bin/env bash
# Installs what is missing, builds menufix.exe and runs it under Wine on a
# sample broken Start Menu in a throwaway prefix. Exits with menufix's status.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
cd "$MENUFIX_ROOT"

menufix_install
menufix_build win32 >/dev/null
exec python3 scripts/demo.py build/win32/menufix.exe build/win32/scripts/attrdump.exe
