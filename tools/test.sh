#!/usr/bin/env bash
# Builds all four presets and runs every test that can run here: host (sanitizers),
# host32 (32-bit code under qemu-i386) and win64 (under Wine). win32 is compiled and linked only:
# this machine cannot execute 32-bit Windows code. Prints one summary; exits non-zero on failure.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh || exit 1

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


echo
echo "== summary ($(( $(date +%s) - start )) s): builds host host32 win64 win32; tests of host host32 win64"
[ ${#failed_steps[@]} -eq 0 ] || echo "failed: ${failed_steps[*]}"
echo "tests: $passed passed, $failed failed"
[ ${#failed_steps[@]} -eq 0 ]
