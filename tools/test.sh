#!/usr/bin/env bash
# Builds all four presets and runs every test that can run here: host (sanitizers),
# host32 (32-bit code under qemu-i386) and win64 (under Wine). With --with-32 it then runs the
# shipped win32 build and its tests in the emulated 32-bit guest (tools/test32.sh) when that
# guest's image is already cached; it never makes the image. Prints one summary, which says
# whether the 32-bit run happened; exits non-zero on failure.
# Usage: tools/test.sh [--with-32]
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh || exit 1

with_32=no
[ "${1:-}" = --with-32 ] && with_32=yes
jobs=$(nproc)
start=$(date +%s)
failed_steps=()
passed=0
failed=0

mkdir -p build
echo "== format"
bash tools/format.sh --check || failed_steps+=("format")

for preset in host host32 win64 win32; do
  echo "== build $preset"
  log="build/build-$preset.log"
  if ! cmake --preset "$preset" >"$log" 2>&1; then
    cat "$log"; failed_steps+=("build $preset"); continue
  fi
  if ! cmake --build --preset "$preset" -j "$jobs" >>"$log" 2>&1; then
    grep -E 'error|Error' "$log" | head -40
    failed_steps+=("build $preset")
  fi
done

for preset in host host32 win64; do
  [[ " ${failed_steps[*]} " == *" build $preset"* ]] && continue
  echo "== test $preset"
  log="build/test-$preset.log"
  ctest --preset "$preset" -j "$jobs" --timeout 900 2>&1 | tee "$log" | grep -E 'tests passed|Failed|Timeout|\*\*\*' || true
  summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$summary" ]; then
    failed_steps+=("test $preset (no result)")
    continue
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  [ "$bad" -eq 0 ] || failed_steps+=("test $preset")
done

# The shipped 32-bit program and its tests, in the emulated guest, when its image is cached.
. tools/guest32/guest-lib.sh
image=$(guest_image "$root")
if [ "$with_32" = no ]; then
  run_32="not run (tools/test.sh --with-32 or tools/test32.sh runs it)"
elif [ ! -f "$image/ready" ]; then
  run_32="not run: no cached guest image in $image (tools/test32.sh makes one, about 5 minutes)"
else
  echo "== test win32 in the 32-bit guest"
  log=build/test-win32-guest.log
  DRAVIK_TEST32_NO_IMAGE_BUILD=1 bash tools/test32.sh 2>&1 | tee "$log" |
    grep -E 'test32:|Failed|Timeout|\*\*\*|passed, [0-9]+ failed' || true
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -1)
  if [ -z "$line" ]; then
    failed_steps+=("test win32 (no result)")
    run_32="ran, and left no result"
  else
    good=${line%% passed*}
    bad=$(sed -E 's/.*, ([0-9]+) failed/\1/' <<<"$line")
    passed=$((passed + good))
    failed=$((failed + bad))
    [ "$bad" -eq 0 ] || failed_steps+=("test win32")
    run_32="ran: $line"
  fi
fi

echo
echo "== summary ($(( $(date +%s) - start )) s): builds host host32 win64 win32; tests of host host32 win64"
echo "32-bit guest (the shipped win32 build executed): $run_32"
[ ${#failed_steps[@]} -eq 0 ] || echo "failed: ${failed_steps[*]}"
echo "tests: $passed passed, $failed failed"
[ ${#failed_steps[@]} -eq 0 ]
