#!/usr/bin/env bash
# Makes the 32-bit test guest's image in IMAGE (a folder: vmlinuz, initrd.img, root.img, and
# "ready" once complete) from Debian 12's i386 packages alone; tools/test32.sh calls it when its
# cache has no image for this folder's recipe.
#
# Nothing runs under emulation but one short boot at the end: mmdebstrap only extracts the
# packages (no maintainer script runs, so what those scripts would make and the guest needs is
# made here), the initial RAM disk is put together here from the kernel package's modules, and
# the ext4 root disk is written by mke2fs. The boot finishes the root: the library and font
# caches and a Wine prefix made by the tests' own wine-run.sh, so that runs find it ready.
#
# Usage: tools/guest32/build-image.sh IMAGE
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
. tools/guest32/guest-lib.sh
image=${1:?usage: build-image.sh IMAGE}
mirrors=("deb http://deb.debian.org/debian bookworm main"
  "deb http://deb.debian.org/debian bookworm-updates main"
  "deb http://deb.debian.org/debian-security bookworm-security main")

build_image() {
  local work=$image.building started
  started=$(date +%s)
  rm -rf "$work"
  mkdir -p "$work"
  say "making the guest image in $image (Debian 12 i386, about ten minutes)"
  local packages
  packages=$(grep -v '^#' tools/guest32/packages | tr -s ' \n' ',,' | sed 's/^,//; s/,$//')
  mmdebstrap --quiet --variant=extract --arch=i386 --include="$packages" bookworm \
    "$work/root" "${mirrors[@]}" || return 1
  mmdebstrap --quiet --variant=extract --arch=i386 --include=linux-image-686-pae,busybox-static \
    bookworm "$work/kernel" "${mirrors[@]}" || return 1

  # What the packages' maintainer scripts would have made and the guest needs.
  local r=$work/root
  cp "$r/usr/share/base-passwd/passwd.master" "$r/etc/passwd"
  cp "$r/usr/share/base-passwd/group.master" "$r/etc/group"
  mkdir -p "$r/proc" "$r/sys" "$r/dev" "$r/run" "$r/tmp" "$r/job" "$r/root" "$r/var/lib/dravik"
  chmod 1777 "$r/tmp"
  install -m 755 tools/guest32/guest-init "$r/sbin/dravik-init"
  [ -e "$r/bin/sh" ] || ln -s dash "$r/bin/sh"
  # Wine's zlib1.dll, which libwine's maintainer script makes from the MinGW build: the same
  # bytes with Wine's builtin mark at offset 64.
  local mingw_arch wine_arch
  for mingw_arch in i686 x86_64; do
    wine_arch=$mingw_arch
    [ "$mingw_arch" = i686 ] && wine_arch=i386
    local in=$r/usr/$mingw_arch-w64-mingw32/lib/zlib1.dll
    local out=$r/usr/lib/i386-linux-gnu/wine/$wine_arch-windows/zlib1.dll
    { head -c 64 "$in" && printf 'Wine builtin DLL' && head -c 16 /dev/zero && tail -c +97 "$in"; } \
      >"$out" || return 1
  done

  # The initial RAM disk: busybox, the modules that reach the root disk, its /init.
  local k=$work/kernel initrd=$work/initrd modules version
  version=$(ls "$k/lib/modules")
  modules=$k/lib/modules/$version/kernel
  mkdir -p "$initrd/bin" "$initrd/modules" "$initrd/proc" "$initrd/sys" "$initrd/dev"
  cp "$k/bin/busybox" "$initrd/bin/busybox"
  for tool in sh mount umount insmod switch_root mkdir sleep seq cat echo; do
    ln -s busybox "$initrd/bin/$tool"
  done
  install -m 755 tools/guest32/initrd-init "$initrd/init"
  local order=() m
  add_module() { # loads what a module depends on first
    local name=$1 file dep
    [[ " ${order[*]} " == *" $name "* ]] && return
    file=$(find "$modules" -name "$name.ko" | head -1)
    [ -n "$file" ] || { say "no module $name in $version"; return 1; }
    for dep in $(strings -a "$file" | sed -n 's/^depends=//p' | tr ',' ' '); do
      add_module "$dep" || return 1
    done
    cp "$file" "$initrd/modules/"
    order+=("$name")
  }
  for m in crc32c_generic libcrc32c virtio_pci virtio_blk ext4; do
    add_module "$m" || return 1
  done
  printf '%s\n' "${order[@]}" >"$initrd/modules/load-order"
  (cd "$initrd" && find . | cpio --quiet -o -H newc | gzip -1) >"$work/initrd.img"
  cp "$k/boot/vmlinuz-$version" "$work/vmlinuz"
  mke2fs -q -t ext4 -L dravik-root -d "$r" "$work/root.img" 6G || return 1
  rm -rf "$work/root" "$work/kernel" "$initrd"

  # Finished inside the guest: the library cache, the font cache, a Wine prefix made by the
  # tests' own wine-run.sh (later runs find it ready).
  local job=$work/finish
  mkdir -p "$job/tools"
  cp tools/wine-run.sh "$job/tools/"
  cat >"$job/run.sh" <<EOF
set -ex
mkdir -p /job/results
ldconfig
fc-cache -s
env $guest_env bash /job/tools/wine-run.sh cmd /c exit 0
/usr/lib/wine/wineserver -w
ls /var/lib/dravik/wineprefix/.dravik-ready-*
touch /job/results/finished
EOF
  make_job_disk "$job" "$work/finish.img" 64M || return 1
  boot "$work" "$work/finish.img" off "$work/finish-console.log" 40
  take_results "$work/finish.img" "$work/finish.out"
  if [ ! -f "$work/finish.out/results/finished" ]; then
    say "the guest did not finish its image; its log:"
    cat "$work/finish.out/run.log" "$work/finish-console.log" 2>/dev/null | tail -40
    return 1
  fi
  rm -rf "$job" "$work/finish.img" "$work/finish.out"
  rm -rf "$image"
  mv "$work" "$image"
  touch "$image/ready"
  say "guest image ready in $(seconds_since "$started") s"
}

build_image
