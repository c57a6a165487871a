# Sourced by the scripts beside it: installs, on Debian 12 or 13, whatever of
# the build and Wine tools is missing (e2fsprogs for chattr, with which the
# scripts' tests make a log Wine cannot write), and builds a CMake preset.

MENUFIX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
MENUFIX_PACKAGES=(cmake make python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64
                  wine wine32:i386 wine64 locales zip unzip tmux
                  osslsigncode openssl qemu-user-static e2fsprogs)

# Installs Debian packages (as root, or through sudo). A mirror being synced
# serves an index of the wrong size for a while: apt-get update is tried
# again. Where one index still failed (seen: the security archive's i386
# list), the 32-bit libraries cannot match the 64-bit ones' newer versions;
# the release's own archive has both, whole. Where even that fails, it says
# why, not only apt's "held broken packages".
menufix_apt_install() {
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    local try fetched= install=(apt-get install -y -qq --no-install-recommends)
    for try in 1 2 3; do
        "${sudo[@]}" apt-get update -qq && { fetched=1; break; }
        [ "$try" = 3 ] || { echo "Debian's package index: not fetched whole; again in $((try * 15)) s." >&2
                            sleep $((try * 15)); }
    done
    if [ -z "$fetched" ]; then
        echo "Debian's package index could not be fetched whole (3 tries): installing from" \
             "$(. /etc/os-release && echo "$VERSION_CODENAME")'s own archive." >&2
        install+=(-t "$(. /etc/os-release && echo "$VERSION_CODENAME")")
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" "${install[@]}" "$@" </dev/null || {
        [ -n "$fetched" ] || echo "Not installed: Debian's package index could not be fetched" \
                                  "whole (apt-get's messages above). Try again later." >&2
        return 1
    }
}

# Installs the missing packages and makes the zh_CN.UTF-8 locale, without
# which Wine's ANSI code page is not 936, and en_US.UTF-8, a Western one
# (code page 1252) for the console tests.
menufix_install() {
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    local missing=()
    local package
    for package in "${MENUFIX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
            missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        dpkg --print-foreign-architectures | grep -qx i386 ||
            "${sudo[@]}" dpkg --add-architecture i386
        menufix_apt_install "${missing[@]}" || return 1
    fi
    local locale
    for locale in zh_CN en_US; do
        locale -a 2>/dev/null | grep -qix "$locale.utf8" ||
            "${sudo[@]}" localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
    done
}

# Configures and builds one preset of the project.
menufix_build() {
    cmake -S "$MENUFIX_ROOT" --preset "$1" >/dev/null &&
        cmake --build "$MENUFIX_ROOT/build/$1" -j "$(nproc)"
}

# Decides, once, which builds run under Wine, and says so in one line. Where
# this kernel runs 32-bit code: menufix.exe (win32) and its 64-bit twin
# (win64). Where it cannot: the twin's suite, and then the release's own
# menufix.exe under qemu-user emulation (MENUFIX_EMULATE=1), which fails with
# the reason where emulation cannot be set up. MENUFIX_WINE_ARCH=64 asks for
# the second path on any machine. Sets MENUFIX_WINE_PRESETS, whose first
# preset the demo and the benchmark use.
menufix_wine_presets() {
    local failure how
    case "${MENUFIX_WINE_ARCH:-}" in
        "" | 64) ;;
        *) echo "MENUFIX_WINE_ARCH is 64 or unset, not '$MENUFIX_WINE_ARCH'" >&2
           return 1 ;;
    esac
    if ! failure=$(/usr/lib/wine/wine64 --version 2>&1 >/dev/null); then
        echo "Wine cannot run menufix here: /usr/lib/wine/wine64: ${failure:-not installed}" >&2
        return 1
    fi
    echo "Debian $(cat /etc/debian_version), Wine $(/usr/lib/wine/wine64 --version)."
    # Not the 32-bit loader's --version: a qemu handler answers it too.
    how=$(python3 "$MENUFIX_ROOT/scripts/emulation.py" probe)
    if [ "$how" = native ] && [ -z "${MENUFIX_WINE_ARCH:-}" ]; then
        MENUFIX_WINE_PRESETS=(win32 win64)
        MENUFIX_EMULATE=
        echo "Native 32-bit: under Wine, menufix.exe (win32) and its 64-bit twin (win64)."
        return
    fi
    MENUFIX_WINE_PRESETS=(win64)
    MENUFIX_EMULATE=1
    case "$how" in
        native) echo "Native 32-bit, but MENUFIX_WINE_ARCH=64: the 64-bit twin (win64) runs" \
                     "under Wine, and in the tests the release's own menufix.exe as where" \
                     "it is emulated." ;;
        emulated) echo "No 32-bit, the shipped program emulated: the 64-bit twin (win64) runs" \
                       "under Wine, and in the tests the release's own menufix.exe under" \
                       "qemu-user emulation." ;;
        *) echo "No way to run the shipped program: ${how#none: }. The 64-bit twin (win64)" \
                "runs under Wine; the tests' run of the release's own menufix.exe will fail." ;;
    esac
}
