# Sourced by the scripts beside it: installs, on Debian 12, whatever of the
# build and Wine tools is missing, and builds a CMake preset.

MENUFIX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
MENUFIX_PACKAGES=(cmake make python3 g++-mingw-w64-i686
                  wine wine32:i386 wine64 locales zip unzip tmux)

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
