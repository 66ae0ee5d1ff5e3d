#!/usr/bin/env bash
# Executes the AVX-512 level of the 32-bit variant tests where this processor has no AVX-512:
# on a processor emulated by Bochs (its Skylake-X model: AVX-512 F, VL, BW, DQ) that boots
# Debian's amd64 kernel once, with the host32 test programs (static, -m32) in its initramfs,
# and runs them there under the kernel's i386 layer. Their output comes back over the emulated
# serial port; the script fails unless every program ran, ran at least one test, and passed.
#
# On a processor with AVX-512 F and VL the script runs nothing and says so: there the level
# already runs natively in the win32 tests. DRAVIK_EMULATE_AVX512=1 takes the
# emulated path anyway (to check the harness on such a machine).
#
# What runs in the guest is kept small, since the guest executes some tens of millions of
# instructions a second: a probe program that executes AVX-512 instructions unconditionally
# (tools/avx512_probe.c; it dies of SIGILL on a model without AVX-512), then each test program
# with a gtest filter for the AVX-512 code: the tests that call the AVX-512 blocks functions and
# permutations directly (AcceleratedBlocks; in the guest none may report itself skipped), the
# 32-bit choice (ThirtyTwoBit), the agreement at every level, and the per-algorithm tests at
# "full", the level that includes AVX-512, without the known-answer tests whose megabyte
# messages would take the guest many minutes. Nothing in the guest is timed; the variants the
# digests choose by timing may differ there, which is why the blocks functions run directly.
#
# Usage: emulated-avx512.sh [--model NAME] [--filter GTEST_FILTER] BUILD_DIR [PROGRAM...]
#   BUILD_DIR   a configured and built host32 folder, e.g. build/host32
#   PROGRAM     test programs relative to BUILD_DIR (default: tests/digest/digest_tests)
#   --model     the Bochs processor model (default corei7_skylake_x; corei7_haswell_4770 has
#               no AVX-512 and must make the run fail)
#   --filter    the gtest filter (DRAVIK_AVX512_FILTER sets it too; default: see default_filter)
# Environment: DRAVIK_EMULATE_AVX512=1      emulate even on a processor with AVX-512
#              DRAVIK_AVX512_TIMEOUT=SEC    limit of the whole boot (default 1500)
#              DRAVIK_AVX512_CACHE=DIR      cache of the guest kernel (default /var/cache/dravik)
# Files of a run: BUILD_DIR/emulated-avx512/ (serial.log: the guest's console; bochs.log).
set -uo pipefail

model=corei7_skylake_x
default_filter='AcceleratedBlocks.*:ThirtyTwoBit.*:AcceleratedVariants.*:*/*_full'
default_filter+=':-*KnownAnswers.WholeMessages/*:*KnownAnswers.MessagesInPieces/*'
filter=${DRAVIK_AVX512_FILTER:-$default_filter}
while [ $# -gt 0 ]; do
  case $1 in
    --model) model=$2; shift 2 ;;
    --filter) filter=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -uo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "emulated-avx512: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { echo "usage: emulated-avx512.sh [--model NAME] [--filter F] BUILD_DIR [PROGRAM...]" >&2; exit 2; }
build=$(cd "$1" 2>/dev/null && pwd) || { echo "emulated-avx512: no folder $1" >&2; exit 2; }
shift
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(tests/digest/digest_tests)
case $filter in *"'"*|*' '*|'') echo "emulated-avx512: bad filter '$filter'" >&2; exit 2 ;; esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
limit=${DRAVIK_AVX512_TIMEOUT:-1500}
cache=${DRAVIK_AVX512_CACHE:-/var/cache/dravik}/avx512-guest

if grep -qw avx512f /proc/cpuinfo && grep -qw avx512vl /proc/cpuinfo &&
  [ "${DRAVIK_EMULATE_AVX512:-0}" != 1 ]; then
  echo "AVX-512 level: native (this processor has AVX-512 F and VL; the win32 tests run it), nothing emulated"
  exit 0
fi

fail() { echo "emulated-avx512: $*" >&2; exit 1; }

# --- what the host needs, from Debian's packages, only when missing
packages=(bochs bochsbios vgabios isolinux syslinux-common xorriso cpio file gcc-multilib)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" -eq 0 ] || fail "missing packages ${missing[*]}; installing them needs root"
  echo "emulated-avx512: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 ||
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; } ||
    fail "could not install ${missing[*]}"
fi

for p in "${programs[@]}"; do
  [ -x "$build/$p" ] || fail "no program $build/$p (build the host32 preset first)"
  file -b "$build/$p" 2>/dev/null | grep -q '32-bit.*statically linked' ||
    fail "$build/$p is not a static 32-bit program"
done

# --- the guest's kernel and busybox, extracted from Debian's packages (nothing installed) and
# cached outside the clone; made once under a lock.
fetch_guest_files() {
  [ -s "$cache/vmlinuz" ] && [ -s "$cache/busybox" ] && return 0
  mkdir -p "$cache" || return 1
  exec 9>"$cache/.lock"
  flock 9
  [ -s "$cache/vmlinuz" ] && [ -s "$cache/busybox" ] && return 0
  local dl kernel
  dl=$(mktemp -d) && chmod 777 "$dl" || return 1
  # The kernel that Debian's linux-image-amd64 names now.
  kernel=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -1)
  [ -n "$kernel" ] || { echo "emulated-avx512: no linux-image-amd64 in apt's lists" >&2; return 1; }
  echo "emulated-avx512: fetching $kernel and busybox-static into $cache"
  (cd "$dl" && apt-get download -q "$kernel" busybox-static >/dev/null 2>&1) ||
    (apt-get update -qq && cd "$dl" && apt-get download -q "$kernel" busybox-static >/dev/null 2>&1) ||
    { echo "emulated-avx512: apt-get download $kernel busybox-static failed" >&2; rm -rf "$dl"; return 1; }
  mkdir "$dl/x" &&
    dpkg-deb --fsys-tarfile "$dl/$kernel"_*.deb | tar -x -C "$dl/x" --wildcards './boot/vmlinuz-*' &&
    dpkg-deb --fsys-tarfile "$dl"/busybox-static_*.deb | tar -x -C "$dl/x" ./bin/busybox &&
    cp "$dl"/x/boot/vmlinuz-* "$cache/vmlinuz.new" && cp "$dl/x/bin/busybox" "$cache/busybox.new" &&
    echo "$kernel" >"$cache/kernel-version" &&
    mv "$cache/busybox.new" "$cache/busybox" && mv "$cache/vmlinuz.new" "$cache/vmlinuz"
  local rc=$?
  rm -rf "$dl"
  return $rc
}
fetch_guest_files || fail "could not fetch the guest's kernel"
exec 9>&-

# --- the initramfs: busybox, the probe, the programs and the vectors they read, and an init
# that runs them and prints one line per program and a summary.
work=$build/emulated-avx512
rm -rf "$work"
mkdir -p "$work/initrd/bin" "$work/initrd/dravik" "$work/iso/isolinux" || fail "cannot write $work"
cp "$cache/busybox" "$work/initrd/bin/busybox" && chmod 755 "$work/initrd/bin/busybox"
gcc -m32 -msse2 -static -O2 -o "$work/initrd/dravik/avx512_probe" "$root/tools/avx512_probe.c" ||
  fail "could not build the probe"
for p in "${programs[@]}"; do
  mkdir -p "$work/initrd/dravik/$(dirname "$p")"
  strip -o "$work/initrd/dravik/$p" "$build/$p" 2>/dev/null || cp "$build/$p" "$work/initrd/dravik/$p"
done
[ -d "$build/vectors" ] && cp -r "$build/vectors" "$work/initrd/dravik/vectors"

{
  cat <<'EOF'
#!/bin/busybox sh
/bin/busybox mkdir -p /proc /sys /dev /tmp
/bin/busybox mount -t devtmpfs dev /dev
exec </dev/console >/dev/console 2>&1
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
echo "guest: $(grep -m1 '^model name' /proc/cpuinfo)"
echo "guest: flags: $(grep -m1 '^flags' /proc/cpuinfo | tr ' ' '\n' | grep -E '^(avx|sha_ni)' | tr '\n' ' ')"
programs=0
failed=0
run() {
  name=$1
  shift
  programs=$((programs + 1))
  echo "guest: begin $name"
  "$@"
  rc=$?
  echo "guest: end $name rc=$rc"
  [ $rc -eq 0 ] || failed=$((failed + 1))
}
cd /dravik
run avx512_probe ./avx512_probe
EOF
  for p in "${programs[@]}"; do
    echo "run $p ./$p --gtest_brief=1 --gtest_color=no '--gtest_filter=$filter'"
  done
  cat <<'EOF'
echo "guest: summary programs=$programs failed=$failed"
sleep 2
poweroff -f
EOF
} >"$work/initrd/init"
chmod 755 "$work/initrd/init"
(cd "$work/initrd" && find . | cpio -o -H newc --quiet >"$work/iso/initrd.img") || fail "cpio failed"

# --- the boot CD: isolinux, the kernel, the initramfs
cp /usr/lib/ISOLINUX/isolinux.bin /usr/lib/syslinux/modules/bios/ldlinux.c32 "$work/iso/isolinux/"
cp "$cache/vmlinuz" "$work/iso/vmlinuz"
# clearcpuid: Bochs 2.7 reports XSAVE area sizes that disagree for the compacted forms, and
# Linux then turns XSAVE off, and AVX and AVX-512 with it; without XSAVES/XSAVEC (and PKU) the
# sizes agree. quiet: every line of the console costs emulated time.
cat >"$work/iso/isolinux/isolinux.cfg" <<'EOF'
DEFAULT guest
PROMPT 0
TIMEOUT 0
LABEL guest
  KERNEL /vmlinuz
  INITRD /initrd.img
  APPEND console=ttyS0,115200 quiet loglevel=4 clearcpuid=xsaves,xsavec,pku,ospke mitigations=off panic=-1
EOF
xorriso -as mkisofs -quiet -o "$work/guest.iso" -b isolinux/isolinux.bin -c isolinux/boot.cat \
  -no-emul-boot -boot-load-size 4 -boot-info-table "$work/iso" >"$work/xorriso.log" 2>&1 ||
  { cat "$work/xorriso.log"; fail "xorriso failed"; }

# --- Bochs: no window (its VNC display, with no client and no wait for one), no sound, the
# serial port into a file; its debugger (built into Debian's Bochs) told to continue at once.
# A triple fault ends it instead of resetting, and panic=-1 above makes a kernel panic reset,
# which ends it too (reset_on_triple_fault=0 does not cover resets, so the loop below watches).
cat >"$work/bochsrc" <<EOF
megs: 512
cpu: model=$model, count=1, ips=50000000, reset_on_triple_fault=0
romimage: file=/usr/share/bochs/BIOS-bochs-latest
vgaromimage: file=/usr/share/vgabios/vgabios.bin
ata0-master: type=cdrom, path="$work/guest.iso", status=inserted
boot: cdrom
com1: enabled=1, mode=file, dev="$work/serial.log"
display_library: rfb, options="timeout=0"
speaker: enabled=0
sound: waveoutdrv=dummy, waveindrv=dummy, midioutdrv=dummy
mouse: enabled=0
clock: sync=none, time0=local
log: $work/bochs.log
panic: action=report
error: action=ignore
info: action=ignore
debug: action=ignore
EOF
echo c >"$work/debugger.rc"
: >"$work/serial.log"

started=$(date +%s)
echo "emulated-avx512: booting Bochs ($model) with ${programs[*]} (filter $filter); limit ${limit} s"
bochs -q -f "$work/bochsrc" -rc "$work/debugger.rc" </dev/null >"$work/bochs.out" 2>&1 &
bochs_pid=$!
stop_bochs() { kill "$bochs_pid" 2>/dev/null; sleep 1; kill -9 "$bochs_pid" 2>/dev/null; wait "$bochs_pid" 2>/dev/null; }
trap 'stop_bochs; exit 1' INT TERM
outcome=timeout
booted=
while kill -0 "$bochs_pid" 2>/dev/null; do
  [ -n "$booted" ] || ! grep -q '^guest: begin' "$work/serial.log" || booted=$(( $(date +%s) - started ))
  if grep -q '^guest: summary' "$work/serial.log"; then
    sleep 4 # the guest powers off by itself; the pause lets it and the serial file finish
    outcome=finished
    break
  fi
  if grep -qE 'Kernel panic|BIOS panic|Booting from .* failed|No bootable device' "$work/serial.log" "$work/bochs.out"; then
    outcome=panic
    break
  fi
  if [ $(( $(date +%s) - started )) -ge "$limit" ]; then
    break
  fi
  sleep 2
done
grep -q '^guest: summary' "$work/serial.log" && outcome=finished
stop_bochs
trap - INT TERM
elapsed=$(( $(date +%s) - started ))

# --- the verdict, from the guest's lines alone
log=$work/serial.log
tr -d '\r' <"$log" | sed 's/\x1b\[[0-9;]*m//g' >"$log.txt"
problems=()
case $outcome in
  finished) ;;
  timeout) problems+=("no summary from the guest within $limit s (Bochs killed)") ;;
  *) problems+=("the guest ended without a summary ($outcome; see $log)") ;;
esac
if [ "$outcome" = finished ]; then
  grep -q '^guest: end avx512_probe rc=0$' "$log.txt" && grep -q '^avx512 probe: ok$' "$log.txt" ||
    problems+=("the AVX-512 probe failed: $(sed -n '/^guest: begin avx512_probe$/,/^guest: end avx512_probe /p' "$log.txt" | sed '1d' | tr '\n' ' ')")
  for p in "${programs[@]}"; do
    out=$(sed -n "\\|^guest: begin $p\$|,\\|^guest: end $p |p" "$log.txt")
    if ! grep -q "^guest: end $p rc=0\$" <<<"$out"; then
      problems+=("$p failed ($(grep "^guest: end $p " <<<"$out" || echo 'no end line'))")
      continue
    fi
    n=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\.$/\1/p' <<<"$out" | tail -1)
    if [ -z "$n" ] || [ "$n" -eq 0 ] || grep -q '^\[  FAILED  \]' <<<"$out"; then
      problems+=("$p: no test passed or some failed for filter $filter (${n:-no} passed)")
    fi
    if grep -q '^skipped .*avx512' <<<"$out"; then
      problems+=("$p skipped AVX-512 code in the guest: $(grep '^skipped .*avx512' <<<"$out" | head -1)")
    fi
  done
  grep -qE "^guest: summary programs=$(( ${#programs[@]} + 1 )) failed=0\$" "$log.txt" ||
    problems+=("guest summary: $(grep '^guest: summary' "$log.txt")")
fi

grep -E '^guest: |^\[  (PASSED|FAILED)  \]|^avx512 probe|^skipped|^(Keccak|SHA-512 blocks): ' "$log.txt" | sed 's/^/  /'
if [ ${#problems[@]} -gt 0 ]; then
  tail -n 15 "$log.txt" | sed 's/^/  serial: /'
  printf 'emulated-avx512: %s\n' "${problems[@]}" >&2
  echo "AVX-512 level: emulated (Bochs $model), FAILED after $elapsed s"
  exit 1
fi
echo "AVX-512 level: emulated (Bochs $model, Debian kernel $(cat "$cache/kernel-version" 2>/dev/null)), passed in $elapsed s (the guest's first program after ${booted:-?} s): $(grep -c '^guest: end .* rc=0$' "$log.txt") programs, filter $filter"
