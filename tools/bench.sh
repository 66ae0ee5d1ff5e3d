#!/usr/bin/env bash
# Benchmarks (figures, not tests): every algorithm's update throughput on 2 MiB buffers in an
# optimised host build beside OpenSSL/zlib measured in the same run, then the win64 build under
# Wine, then whole runs through the digest job (win64 job_bench over a file of
# DRAVIK_JOB_BENCH_MIB MiB, default 1024; 0 skips it).
# Usage: tools/bench.sh [seconds per measurement] [algorithm names...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh
seconds=${1:-0.3}
shift || true

cmake --preset host -B build/bench-host -DDRAVIK_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench-host -j "$(nproc)" --target digest_bench >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target digest_bench job_bench >/dev/null
job_mib=${DRAVIK_JOB_BENCH_MIB:-1024}

echo "== $(date -u +%F) $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
echo "== host (x86_64 Linux, g++ -O3), peers in the same run"
build/bench-host/bench/digest_bench "$seconds" "$@"
echo
echo "== win64 (x86_64-w64-mingw32 -O3, under Wine); peers are not linked into the Windows build"
tools/wine-run.sh build/win64/bench/digest_bench.exe "$seconds" "$@"
if [ "$job_mib" != 0 ]; then
  echo
  echo "== whole run (win64 HashJob from the main dialog, under Wine): one row, then four rows"
  (cd build/win64 && ../../tools/wine-run.sh bench/job_bench.exe "$job_mib")
fi
