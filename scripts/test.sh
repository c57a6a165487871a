#!/usr/bin/env bash
# Installs what is missing, builds menufix.exe and runs every test: the
# program under Wine (and its 64-bit twin, see menufix_wine_presets; where
# the kernel cannot run 32-bit code, the release's own program emulated),
# the executable itself, the release archive and its signing. Then builds
# the release again from a copy of the sources in another folder and checks
# that the program and the archive come out the same, byte for byte.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
cd "$MENUFIX_ROOT"

menufix_install
menufix_wine_presets
menufix_build win32
# The twin's attrdump reads attributes for the emulated runs too.
menufix_build win64
if [ "${MENUFIX_WINE_PRESETS[0]}" = win32 ]; then
    ctest --preset win32 -j "$(nproc)"
else
    # The release checks read the files; they need no Wine.
    ctest --preset win32 -j "$(nproc)" --label-exclude 'wine|emulated'
fi
ctest --preset win64 -j "$(nproc)"
if [ -n "$MENUFIX_EMULATE" ]; then
    # Last and alone: while its qemu handler is registered, every 32-bit
    # program on this machine is emulated, other Wine sessions' too.
    ctest --preset win32-emulated
fi

# The copy takes the git history along (the archive is dated by the last
# commit) but not the file times: -m gives every file a new one.
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar -C "$MENUFIX_ROOT" --exclude=./build -cf - . | tar -C "$copy" -xmf -
cmake -S "$copy" --preset win32 >/dev/null
cmake --build "$copy/build/win32" -j "$(nproc)" --target package >/dev/null
cd build/win32
for file in menufix.exe menufix-*-win32.zip; do
    cmp "$file" "$copy/build/win32/$file"
    echo "Reproducible: $file"
done
