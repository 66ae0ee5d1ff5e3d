# What tools/test32.sh and tools/guest32/build-image.sh share (sourced, not run): booting the
# emulated i386 guest once with a job disk, and the job disk itself.

# Wine in the guest: its 32-bit loader and architecture, the prefix the image carries.
guest_env="DRAVIK_WINE=/usr/lib/wine/wine DRAVIK_WINEARCH=win32 DRAVIK_WINEPREFIX=/var/lib/dravik/wineprefix"

# The cached image for the tree at ROOT: named by the hash of its recipe, this folder and
# wine-run.sh (the image holds a Wine prefix that wine-run.sh made).
guest_image() { # ROOT
  local recipe
  recipe=$(cat "$1"/tools/guest32/* "$1"/tools/wine-run.sh | sha256sum | cut -c1-16)
  echo "${DRAVIK_GUEST_CACHE:-/var/cache/dravik}/guest-i386-$recipe"
}

say() { echo "test32: $*"; }
seconds_since() { echo $(($(date +%s) - $1)); }

# Boots the guest once and waits until it powers off: IMAGE_DIR JOB_IMAGE ROOT_SNAPSHOT(on|off)
# CONSOLE_LOG MINUTES. With snapshot=on the root disk's changes are thrown away. SMAP stays off:
# with it, QEMU 7.2 makes every Wine process die with a kernel oops.
boot() {
  timeout "$(($5 * 60))" qemu-system-i386 -accel tcg,thread=multi -cpu max,-smap -smp 2 -m 3G \
    -kernel "$1/vmlinuz" -initrd "$1/initrd.img" -append "console=ttyS0 quiet panic=-1" \
    -drive "file=$1/root.img,if=virtio,format=raw,snapshot=$3" \
    -drive "file=$2,if=virtio,format=raw" \
    -display none -serial "file:$4" -monitor none -nic none -no-reboot
}

# A job disk made from a folder; the guest runs its run.sh (tools/guest32/guest-init).
make_job_disk() { # FOLDER IMAGE SIZE
  rm -f "$2"
  mke2fs -q -t ext4 -L dravik-job -d "$1" "$2" "$3"
}

# What the guest left on a job disk: FOLDER/run.log (run.sh's output) and FOLDER/results/
# (what run.sh wrote to /job/results).
take_results() { # IMAGE FOLDER
  rm -rf "$2"
  mkdir -p "$2"
  debugfs -R "dump /run.log $2/run.log" "$1" >/dev/null 2>&1
  debugfs -R "rdump /results $2" "$1" >/dev/null 2>&1
}
