#!/usr/bin/env bash
# Installs what the builds and tests need from Debian's packages, only what is missing, and
# makes the cached root of the Wine that runs the Windows builds (tools/wine-root.sh) when it is
# missing. Idempotent; run as root on Debian 12. Called by tools/test.sh, run.sh, bench.sh and
# release.sh.
set -euo pipefail

packages=(
  cmake g++ g++-multilib make
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  googletest
  mmdebstrap xvfb xauth x11-utils x11-apps imagemagick
  qemu-user
  libssl-dev zlib1g-dev
  openssl rhash
  fuse3 libfuse3-dev pkg-config
  python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

bash "$(dirname "${BASH_SOURCE[0]}")/wine-root.sh"
