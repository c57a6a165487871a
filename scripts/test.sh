#!/usr/bin/env bash
# Installs what is missing, builds menufix.exe and runs every test: the
# program under Wine, the executable itself and the release archive.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
cd "$MENUFIX_ROOT"

menufix_install
menufix_build win32
ctest --preset win32 -j "$(nproc)"
