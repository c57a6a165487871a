#!/usr/bin/env bash
# Runs scripts/test.sh (or scripts/demo.sh), as a newcomer on that Debian
# release would, in a fresh clone of this repository's HEAD inside a
# throwaway Debian chroot made with mmdebstrap, on this machine's kernel.
# The chroot is made anew on every run and removed after. Needs root.
# usage: scripts/debian-chroot.sh [SUITE [SCRIPT]]
#   SUITE: trixie (default) or bookworm; SCRIPT: scripts/test.sh (default) or scripts/demo.sh
set -euo pipefail
suite=${1:-trixie} script=${2:-scripts/test.sh}
repo=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "debian-chroot.sh: needs root (it mounts and chroots)" >&2; exit 1; }
source "$repo/scripts/setup.sh"
command -v mmdebstrap >/dev/null || menufix_apt_install mmdebstrap >/dev/null

root=$(mktemp -d /var/tmp/menufix-"$suite"-XXXXXX)
remove() {
    local point
    for point in $(awk -v r="$root" '$2 == r || index($2, r "/") == 1 {print $2}' /proc/mounts | sort -r); do
        umount -l "$point"
    done
    rm -rf --one-file-system "$root" "$root.sources"
}
trap remove EXIT

# The same mirrors as this machine's own apt, for the other release.
mirror=http://deb.debian.org/debian security=http://deb.debian.org/debian-security
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
    security=$(awk '/^URIs:/ {u = $2} END {print u}' /etc/apt/sources.list.d/debian.sources)
fi
sources=$root.sources
printf 'Types: deb\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$mirror" "$suite" "$suite" "$security" "$suite" >"$sources"
mmdebstrap --quiet --mode=root --variant=minbase --include=git,ca-certificates,procps \
    "$suite" "$root" "$sources"
rm -f "$sources"

# The suite makes private mount namespaces: "/" inside must be a mount of its own.
mount --bind "$root" "$root"
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
mount -t tmpfs tmpfs "$root/tmp"
git clone -q --no-local "$repo" "$root/root/menufix"

echo "Debian $(cat "$root/etc/debian_version") chroot: $script in a fresh clone ($(git -C "$repo" log -1 --format=%h))"
chroot "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root CI=true \
    bash -c 'cd /root/menufix && bash "$1" </dev/null' - "$script"
