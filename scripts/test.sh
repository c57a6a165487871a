#!/usr/bin/env bash
# Installs what is missing, builds both presets and runs every test: the unit
# tests of the logic, natively, and the tests of menufix.exe under Wine.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
cd "$MENUFIX_ROOT"

menufix_install
menufix_build host
menufix_build win32
ctest --preset host
ctest --preset win32 -j "$(nproc)"
