#!/usr/bin/env bash
# Stress (figures, not a test): start/abort cycles through the real window of one Dravik.exe
# over the stalling file system of the stall tests (tests/reliability/stall_fs.c, mounted by
# tests/reliability/stalls.sh), a third of them held in the kernel at a random point (the open,
# or a read past a random offset), mixed with runs aborted without a hold and runs that complete
# and are checked against our digests (the Stress case of reliability_tests.exe). Prints the
# processor, the load average before and after, and the case's figures: cycles, hangs, wrong
# digests, the longest Abort-to-idle time, the program's handles at the start and the end.
#
# Usage: tools/stress.sh
#   DRAVIK_STRESS_PRESET  win32 (default, the shipped build) or win64
#   DRAVIK_STRESS_BUILD   the build folder (default build/<preset>)
#   DRAVIK_STRESS_CYCLES  default 1000; DRAVIK_STRESS_SEED the random plan's seed
# The method and the latest figures are in docs/RELIABILITY.md.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh

preset=${DRAVIK_STRESS_PRESET:-win32}
build=${DRAVIK_STRESS_BUILD:-build/$preset}
case $build in /*) ;; *) build=$root/$build ;; esac
echo "stress: building $preset in $build"
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target reliability_tests >/dev/null

echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
start=$(date +%s)
cd "$build"
code=0
DRAVIK_WINEPREFIX=$build/wineprefix-stress \
  bash "$root/tests/reliability/stalls.sh" "$root/tools/wine-run.sh" \
  "$build/tests/reliability/reliability_tests.exe" "$build/tests/reliability/stall_fs" \
  'Stress.*' || code=$?
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "stress: $preset, $(( $(date +%s) - start )) s in all, exit code $code"
exit "$code"
