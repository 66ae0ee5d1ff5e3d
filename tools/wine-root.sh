#!/usr/bin/env bash
# The Wine that runs both Windows builds, 32-bit and 64-bit, natively: Debian 13's Wine 10 in its
# new WoW64 mode, in a root of its own made from Debian's packages and cached outside the clone.
#
# WoW64 mode is how 64-bit Windows runs 32-bit programs: a 64-bit Wine with the 32-bit Windows
# (PE) libraries and no 32-bit Unix library. The kernel then needs no 32-bit ELF support, only
# 32-bit code segments in a 64-bit process, which every x86-64 kernel gives. Debian ships those
# PE libraries only in the i386 package libwine:i386; its files are copied out of the package
# into the amd64 Wine's i386-windows folder (no 32-bit Linux code is installed or run).
#
# The root is /var/cache/dravik/wine-wow64-<hash of this script> (DRAVIK_WINE_CACHE moves the
# folder), made once under a lock in about a minute; it is ready when it holds the file "ready".
# Programs run in it through wine-run.sh, which bind-mounts the clone, /tmp and the system's
# own folders into it.
#
# Usage: wine-root.sh          make the root when it is missing
#        wine-root.sh --path   print the root's folder (made or not)
set -euo pipefail

# What the root holds, from Debian 13 (trixie): Wine 10 with its fonts, and the CJK font that the
# dialog fonts are mapped to.
suite=trixie
packages=wine64,libwine,wine,fonts-wine,fonts-noto-cjk

self=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")
cache=${DRAVIK_WINE_CACHE:-/var/cache/dravik}
wine_root=$cache/wine-wow64-$(sha256sum "$self" | cut -c1-16)

if [ "${1:-}" = --path ]; then
  echo "$wine_root"
  exit 0
fi
[ -f "$wine_root/ready" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "wine-root: making $wine_root needs root" >&2
  exit 1
fi
command -v mmdebstrap >/dev/null || {
  echo "wine-root: installing mmdebstrap"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null
}

mkdir -p "$cache"
exec 8>"$cache/wine-wow64.lock"
flock 8
[ -f "$wine_root/ready" ] && exit 0

# The same Debian mirror as this machine's own packages.
mirror=$(grep -hoE '^(URIs:[[:space:]]*|deb[[:space:]]+)[a-z]+://[^[:space:]]*/debian/?([[:space:]]|$)' \
  /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list 2>/dev/null |
  grep -oE '[a-z]+://[^[:space:]]*' | head -1 || true)

started=$(date +%s)
echo "wine-root: making $wine_root from Debian $suite's packages (about a minute)"
rm -rf "$wine_root" "$wine_root.new"
work=$(mktemp -d)
trap 'rm -rf "$work" "$wine_root.new"' EXIT
if ! mmdebstrap --quiet --variant=apt --mode=root --include="$packages" "$suite" "$wine_root.new" \
  ${mirror:+"$mirror"} >"$work/mmdebstrap.log" 2>&1; then
  tail -20 "$work/mmdebstrap.log" >&2
  echo "wine-root: mmdebstrap failed" >&2
  exit 1
fi

# The 32-bit PE libraries: taken out of libwine:i386 (downloaded by the root's own apt, of the
# same version as its amd64 Wine) into the 64-bit Wine's i386-windows folder.
chroot "$wine_root.new" sh -ec 'dpkg --add-architecture i386; apt-get update -qq
  cd /tmp; apt-get download -qq "libwine:i386=$(dpkg-query -W -f="\${Version}" libwine:amd64)"'
dpkg-deb -x "$wine_root.new"/tmp/libwine_*_i386.deb "$work/libwine-i386"
cp -a "$work/libwine-i386/usr/lib/i386-linux-gnu/wine/i386-windows/." \
  "$wine_root.new/usr/lib/x86_64-linux-gnu/wine/i386-windows/"
rm -f "$wine_root.new"/tmp/*.deb
rm -rf "$wine_root.new"/var/lib/apt/lists/* "$wine_root.new"/var/cache/apt/*.bin
[ -f "$wine_root.new/usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll" ] || {
  echo "wine-root: no 32-bit kernel32.dll in the root" >&2
  exit 1
}

touch "$wine_root.new/ready"
mv "$wine_root.new" "$wine_root"
# Roots of older recipes are left for clones that still use them; only this one is kept locked.
echo "wine-root: made in $(($(date +%s) - started)) s"
