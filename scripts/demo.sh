#!/usr/bin/env bash
# Installs what is missing, builds menufix.exe and runs it under Wine on a
# sample broken Start Menu in a throwaway prefix. Exits with menufix's status.
# Where this kernel cannot run 32-bit code, its 64-bit twin runs instead.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
cd "$MENUFIX_ROOT"

menufix_install
menufix_wine_presets
preset=${MENUFIX_WINE_PRESETS[0]}
menufix_build "$preset" >/dev/null
exec python3 scripts/demo.py "build/$preset/menufix.exe" "build/$preset/scripts/attrdump.exe"
