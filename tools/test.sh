#!/usr/bin/env bash
# Builds all four presets and runs every test: host (sanitizers), host32 (32-bit code under
# qemu-i386), win64 and win32 (under Wine; the shipped 32-bit build natively in Wine's WoW64
# mode, every entry included). Prints one summary; exits non-zero on failure.
# Usage: tools/test.sh
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

# Instruction sets: outside the variants' own functions nothing beyond a build's baseline, also
# in each variant file built again at -O0 as a Debug build emits it (tools/isa_leak_check.py).
echo "== instruction sets"
isa_builds=()
for preset in host32 win64 win32; do
  [[ " ${failed_steps[*]} " == *" build $preset"* ]] || isa_builds+=("build/$preset")
done
[ ${#isa_builds[@]} -eq 0 ] || python3 tools/isa_leak_check.py "${isa_builds[@]}" ||
  failed_steps+=("instruction-set leak")

for preset in host host32 win64 win32; do
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

# The run is what it claims: the shipped program's build ran as 32-bit code with four-byte
# pointers and its 32-bit variants (the check passes only where that holds).
# The AVX-512 level of the 32-bit variants: natively in the win32 tests where the
# processor has AVX-512 F and VL, else the host32 tests on an emulated processor (about 4 minutes).
if [[ " ${failed_steps[*]} " != *" build host32"* ]]; then
  echo "== test avx512"
  bash tools/emulated-avx512.sh build/host32 >build/test-avx512.log 2>&1
  avx512_rc=$?
  grep -E '^AVX-512 level|^emulated-avx512:' build/test-avx512.log
  [ $avx512_rc -eq 0 ] || failed_steps+=("test avx512 (host32)")
fi

if [[ " ${failed_steps[*]} " != *" build win32"* ]] &&
  ! grep -qE 'digest_thirty_two_bit \.+ +Passed' build/test-win32.log; then
  failed_steps+=("win32 not executed as 32-bit code (digest_thirty_two_bit did not pass)")
fi

echo
echo "== summary ($(( $(date +%s) - start )) s): builds and tests of host host32 win64 win32"
echo "the shipped win32 build executed natively (WoW64 Wine): $(grep -E 'tests passed' build/test-win32.log 2>/dev/null || echo no)"
grep -h '^AVX-512 level' build/test-avx512.log 2>/dev/null || echo "AVX-512 level: not run"
[ ${#failed_steps[@]} -eq 0 ] || echo "failed: ${failed_steps[*]}"
echo "tests: $passed passed, $failed failed"
[ ${#failed_steps[@]} -eq 0 ]
