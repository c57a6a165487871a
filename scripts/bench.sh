#!/usr/bin/env bash
# Builds menufix.exe and benchmarks it under Wine against attrib and a bare
# dir walk (see bench.py; options --folders N and --runs R go to it). The
# Markdown table goes to standard output, progress to standard error. Where
# this kernel cannot run 32-bit code, the 64-bit twin is timed instead.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
cd "$MENUFIX_ROOT"

MENUFIX_PACKAGES+=(time)  # GNU time reports the peak memory
menufix_install >&2
menufix_wine_presets >&2
preset=${MENUFIX_WINE_PRESETS[0]}
menufix_build "$preset" >&2
exec python3 scripts/bench.py --preset "$preset" "$@"
