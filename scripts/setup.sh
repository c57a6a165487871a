# Sourced by the scripts beside it: installs, on Debian 12, whatever of the
# build and Wine tools is missing, and builds a CMake preset.

MENUFIX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
MENUFIX_PACKAGES=(cmake make python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64
                  wine wine32:i386 wine64 locales zip unzip tmux
                  osslsigncode openssl qemu-user-static)

# Installs the missing packages (as root, or through sudo) and makes the
# zh_CN.UTF-8 locale, without which Wine's ANSI code page is not 936.
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
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq \
            --no-install-recommends "${missing[@]}" </dev/null
    fi
    locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' ||
        "${sudo[@]}" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
}

# Configures and builds one preset of the project.
menufix_build() {
    cmake -S "$MENUFIX_ROOT" --preset "$1" >/dev/null &&
        cmake --build "$MENUFIX_ROOT/build/$1" -j "$(nproc)"
}

# Decides, once, which builds run under Wine, and says so in one line: the
# 32-bit menufix.exe where this kernel runs 32-bit code, and always its 64-bit
# twin (win64), which is all that runs where the kernel cannot. With
# MENUFIX_WINE_ARCH=64 the twin alone runs on any machine. Sets
# MENUFIX_WINE_PRESETS; the demo and the benchmark use its first preset.
menufix_wine_presets() {
    local failure
    case "${MENUFIX_WINE_ARCH:-}" in
        "" | 64) ;;
        *) echo "MENUFIX_WINE_ARCH is 64 or unset, not '$MENUFIX_WINE_ARCH'" >&2
           return 1 ;;
    esac
    if ! failure=$(/usr/lib/wine/wine64 --version 2>&1 >/dev/null); then
        echo "Wine cannot run menufix here: /usr/lib/wine/wine64: ${failure:-not installed}" >&2
        return 1
    fi
    if [ "${MENUFIX_WINE_ARCH:-}" = 64 ]; then
        MENUFIX_WINE_PRESETS=(win64)
        echo "Under Wine: the 64-bit twin (win64) alone, as MENUFIX_WINE_ARCH=64 asks."
    elif failure=$(/usr/lib/wine/wine --version 2>&1 >/dev/null); then
        MENUFIX_WINE_PRESETS=(win32 win64)
        echo "Under Wine: menufix.exe (win32) and its 64-bit twin (win64):" \
             "this kernel runs 32-bit code."
    else
        MENUFIX_WINE_PRESETS=(win64)
        echo "Under Wine: the 64-bit twin (win64) alone: 32-bit Wine cannot run here" \
             "(${failure##*: }); menufix.exe (win32) is checked as a file."
    fi
}
