#!/usr/bin/env bash
# Benchmarks (figures, not tests).
#
#   tools/bench.sh [seconds per measurement] [algorithm names...]
#       every algorithm's update throughput on 2 MiB buffers in an optimised host build beside
#       OpenSSL/zlib measured in the same run, then the win64 and win32 builds under Wine, then
#       runs through the digest job in process (win64 job_bench over DRAVIK_JOB_BENCH_MIB MiB,
#       default 1024; 0 skips it).
#   tools/bench.sh --runs [MiB]
#       whole runs as the user meets them: the shipped win32 Dravik.exe (natively, WoW64) and
#       the win64 one started under Wine and worked through their windows over a file in the
#       page cache (1024 MiB by default), Start to the completion text, best of 3, each row set
#       beside its peer on the same file in the same invocation (openssl dgst, rhash), with
#       every ratio and the load average.
#   tools/bench.sh --four [MiB]
#       only the four-row set of --runs against its rows alone and rhash.
#   tools/bench.sh --profile ROWS [MiB]
#       where one whole run's time goes: CPU and idle time of the window's thread, the job's
#       thread and every worker, and wineserver's CPU, sampled from /proc while the run lasts.
#       ROWS as in --runs ("SHA256+SHA512").
# DRAVIK_BENCH_EXE names the exes to time instead ("before=old/Dravik.exe after=build/win32/src/
# ui/Dravik.exe"; --profile takes the first); DRAVIK_BENCH_REPEATS the runs of each row set in
# --runs (default 3). build/win32/bench/dravik_capped.exe is Dravik.exe whose digests use only
# the processor features in DRAVIK_CPU_FEATURES (a hex mask of cpu_features.h), to time the real
# program as on a processor with fewer features:
#   DRAVIK_CPU_FEATURES=0x1F DRAVIK_BENCH_EXE="win32=build/win32/src/ui/Dravik.exe \
#     capped=build/win32/bench/dravik_capped.exe" tools/bench.sh --runs
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh

# The exes that --runs and --four time side by side: the shipped win32 build and win64, or
# those that DRAVIK_BENCH_EXE names (LABEL=PATH, separated by spaces); --profile takes the first.
declare -A exes=()
labels=()
for entry in ${DRAVIK_BENCH_EXE:-win32=build/win32/src/ui/Dravik.exe win64=build/win64/src/ui/Dravik.exe}; do
  [[ $entry == *=* ]] || entry="given=$entry"
  labels+=("${entry%%=*}")
  exes[${entry%%=*}]=${entry#*=}
done
program=${exes[${labels[0]}]}
label_index() { local i; for i in "${!labels[@]}"; do [ "${labels[$i]}" = "$1" ] && echo $((i + 1)); done; }
repeats=${DRAVIK_BENCH_REPEATS:-3}

# The rows of --runs: the single rows with a peer, then the four-row set against rhash.
run_rows=(SHA256 SHA1 MD5 SHA512 SHA3_256 BLAKE2b_512 CRC32 SHA224 SHA384 SHA3_224 SHA3_384
  SHA3_512 RIPEMD160 BLAKE2s_256 SM3 Whirlpool)
four_rows=SHA256+SHA512+BLAKE2b_512+SHA3_256
four_rhash=(--sha256 --sha512 --blake2b --sha3-256)

# The peer of one algorithm, printing "<lower-case hex> ..." for the file that follows it.
peer_command() {
  case $1 in
    CRC32) echo "rhash --crc32 --printf=%c\n" ;;
    MD5 | SHA1 | SHA224 | SHA256 | SHA384 | SHA512 | RIPEMD160 | SM3)
      echo "openssl dgst -r -$(tr 'A-Z' 'a-z' <<<"$1")" ;;
    SHA3_*) echo "openssl dgst -r -sha3-${1#SHA3_}" ;;
    BLAKE2s_256) echo "openssl dgst -r -blake2s256" ;;
    BLAKE2b_512) echo "openssl dgst -r -blake2b512" ;;
    Whirlpool) echo "openssl dgst -r -whirlpool -provider legacy -provider default" ;;
    *) return 1 ;;
  esac
}

# Best wall seconds of three runs of a command (its output discarded).
best_of_three() {
  local best="" start end t
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    best=$(awk -v a="${best:-$t}" -v b="$t" 'BEGIN { print (b < a ? b : a) }')
  done
  echo "$best"
}

# The smaller of two times, "-" standing for none.
min() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-") print b; else if (b == "-") print a; else print (b < a ? b : a) }'; }

load1() { cut -d' ' -f1 /proc/loadavg; }

# a / b to two places, "-" when either is missing.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'; }

# A file of random bytes, read once so that the page cache holds it.
bench_file() {
  local mib=$1 file=${TMPDIR:-/tmp}/dravik-bench-$1m.bin
  if [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" != $((mib * 1048576)) ]; then
    head -c $((mib * 1048576)) /dev/urandom >"$file"
  fi
  cat "$file" >/dev/null
  echo "$file"
}

build_win64() {
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j "$(nproc)" --target Dravik whole_run_bench >/dev/null
}

build_win32() {
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j "$(nproc)" --target Dravik dravik_capped >/dev/null
}

# One row set through the window: "best S runs S,S,S digests D,..." (Wine's \r dropped); a
# failure is told on standard error and leaves "best -".
whole_run() { # ROWS FILE [REPEATS [PAUSE_MS [EXE]]]
  local out
  out=$(tools/wine-run.sh build/win64/bench/whole_run_bench.exe "${5:-$program}" \
    "$2" "$1" "${3:-$repeats}" "${4:-300}" | tr -d '\r')
  if [ "${out%% *}" != best ]; then
    echo "$1: $out" >&2
    out="best -"
  fi
  echo "$out"
}

runs_mode() { # MiB ONLY_FOUR
  local mib=${1:-1024} only_four=${2:-0} file peer_s digest peer_digest check best exe label
  build_win64
  build_win32
  file=$(bench_file "$mib")
  echo "== $(date -u +%F) $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
  echo "== whole runs under Wine through the window, ${mib} MiB in the page cache, Start to the"
  echo "   completion text, best of $repeats; peers (64-bit) on the same file, best of 3:"
  for label in "${labels[@]}"; do echo "   $label: ${exes[$label]}"; done
  local before after
  # The last minute's load includes whatever ran just before (a build, an earlier benchmark):
  # give it up to two minutes to settle below 1.
  for _ in $(seq 24); do
    awk -v l="$(load1)" 'BEGIN { exit !(l >= 1) }' || break
    sleep 5
  done
  before=$(cat /proc/loadavg)
  echo "load average before: $before"
  local header="rows" ratios=""
  for label in "${labels[@]}"; do header+=$(printf ' %9s' "$label s"); ratios+=$(printf ' %12s' "peer/$label"); done
  printf '%-28s%s  %-40s %7s%s  %s\n' "${header%% *}" "${header#rows}" peer "peer s" "$ratios" digest
  [ "$only_four" = 1 ] || for rows in "${run_rows[@]}" RIPEMD128 RIPEMD256 RIPEMD320 BLAKE224 BLAKE256 \
    BLAKE384 BLAKE512; do
    local times="" digests=() peer="" line_ratios=""
    for label in "${labels[@]}"; do
      read -r _ best _ _ _ digest <<<"$(whole_run "$rows" "$file" "" "" "${exes[$label]}")"
      times+=$(printf ' %9s' "$best")
      digests+=("${digest,,}")
    done
    if ! peer=$(peer_command "$rows"); then
      printf '%-28s%s  %-40s\n' "$rows" "$times" "(no peer)"
      continue
    fi
    peer_s=$(best_of_three $peer "$file")
    peer_digest=$($peer "$file" | cut -d' ' -f1)
    check="digest same"
    for digest in "${digests[@]}"; do
      [ "$digest" = "$peer_digest" ] || check="DIGEST DIFFERS: $peer_digest"
    done
    for label in "${labels[@]}"; do
      read -r t <<<"$(awk -v l="$times" -v i="$(label_index "$label")" 'BEGIN { split(l, a, " "); print a[i] }')"
      line_ratios+=$(printf ' %12s' "$(ratio "$peer_s" "$t")")
    done
    printf '%-28s%s  %-40s %7.3f%s  %s\n' "$rows" "$times" "${peer/ -r/}" "$peer_s" "$line_ratios" "$check"
  done
  # The four rows against their rows alone, interleaved (each row alone, then the four, three
  # rounds, for every exe in turn), so that a change in the machine's speed meets both alike;
  # best of each.
  local round r t
  declare -A four_best=() four_alone=()
  for round in $(seq "$repeats"); do
    for label in "${labels[@]}"; do
      for r in ${four_rows//+/ } "$four_rows"; do
        read -r _ t _ <<<"$(whole_run "$r" "$file" 1 "" "${exes[$label]}")"
        four_alone[$label.$r]=$(min "${four_alone[$label.$r]:--}" "$t")
      done
    done
  done
  peer_s=$(best_of_three rhash "${four_rhash[@]}" "$file")
  echo "four rows $four_rows beside rhash ${four_rhash[*]} (one thread): $peer_s s"
  for label in "${labels[@]}"; do
    local a b c d ideal four=${four_alone[$label.$four_rows]}
    a=${four_alone[$label.SHA256]} b=${four_alone[$label.SHA512]}
    c=${four_alone[$label.BLAKE2b_512]} d=${four_alone[$label.SHA3_256]}
    ideal=$(awk -v a="$a" -v b="$b" -v c="$c" -v d="$d" 'BEGIN { m = a; if (b > m) m = b;
      if (c > m) m = c; if (d > m) m = d; s = (a + b + c + d) / 2; print (s > m ? s : m) }')
    printf '  %s: four %s s; alone %s %s %s %s s; ideal %.3f s = max(slowest alone, sum alone / 2);\n' \
      "$label" "$four" "$a" "$b" "$c" "$d" "$ideal"
    printf '  %s: run / ideal %s; rhash / run %s\n' "$label" "$(ratio "$four" "$ideal")" \
      "$(ratio "$peer_s" "$four")"
  done
  after=$(cat /proc/loadavg)
  echo "load average after: $after"
  # The benchmark itself keeps up to two threads busy, which the load after includes: the
  # machine counts as busy when it was loaded before, or when the load after exceeds what the
  # benchmark alone can cause.
  if awk -v a="${before%% *}" -v b="${after%% *}" -v n="$(nproc)" 'BEGIN { exit !(a > 1 || b > n) }'; then
    echo "NOTE: the machine was busy (load above 1 before, or above $(nproc) after): do not trust these figures"
  fi
}

# /proc figures of one thread or process, into cpu_ns (on a processor), ready_ns (runnable,
# waiting for one) and start_ticks (made at, since boot). Builtins only: the sampler must not
# take the processors it measures.
thread_sample() {
  local stat sched rest
  read -r stat <"$1/stat" 2>/dev/null || return 1
  read -r cpu_ns ready_ns rest <"$1/schedstat" 2>/dev/null || return 1
  stat=${stat##*) }
  read -r -a rest <<<"$stat"
  start_ticks=${rest[19]}
}

profile_mode() {
  local rows=${1:?"usage: tools/bench.sh --profile ROWS [MiB]"} mib=${2:-1024} file
  build_win64
  file=$(bench_file "$mib")
  echo "== where the time of one run goes: $rows over ${mib} MiB (load average $(cat /proc/loadavg))"
  whole_run "$rows" "$file" 1 1500 >/tmp/dravik-profile.out &
  local driver=$! pid="" server
  for _ in $(seq 300); do
    pid=$(pgrep -f '^[^ ]*Dravik\.exe( |$)' | head -1 || true)
    [ -n "$pid" ] && break
    sleep 0.05
  done
  [ -n "$pid" ] || { echo "profile: Dravik.exe did not start"; return 1; }
  server=$(pgrep wineserver | head -1)
  xvfb=$(pgrep -f "Xvfb ${DRAVIK_XVFB_DISPLAY:-:87}" | head -1 || true)
  local process_start ticks cpu_ns ready_ns start_ticks
  ticks=$(getconf CLK_TCK)
  thread_sample "/proc/$pid"
  process_start=$start_ticks
  declare -A first=() last=() old=()
  local s0_main="" s1_main="" s0_server="" s1_server="" s0_x="" s1_x="" t0="" t1="" task tid any
  while [ -d "/proc/$pid" ]; do
    any=""
    for task in /proc/"$pid"/task/*; do
      tid=${task##*/}
      [ -z "${old[$tid]:-}" ] || continue
      thread_sample "$task" || continue
      # Threads made more than a second after the program started belong to the run.
      if [ $((start_ticks - process_start)) -gt "$ticks" ]; then
        any=1
        [ -n "${first[$tid]:-}" ] || first[$tid]=$EPOCHREALTIME
        last[$tid]="$cpu_ns $ready_ns $EPOCHREALTIME"
      else
        old[$tid]=1
      fi
    done
    if [ -n "$any" ]; then
      local main_now server_now=${s1_server:-0} x_now=0
      thread_sample "/proc/$pid/task/$pid" && main_now="$cpu_ns $ready_ns"
      [ -d "/proc/$server" ] || server=$(pgrep wineserver | tail -1)
      thread_sample "/proc/$server" && server_now=$cpu_ns
      [ -z "$xvfb" ] || { thread_sample "/proc/$xvfb" && x_now=$cpu_ns; }
      [ -n "$t0" ] || { t0=$EPOCHREALTIME; s0_main=$main_now; s0_server=$server_now; s0_x=$x_now; }
      t1=$EPOCHREALTIME; s1_main=$main_now; s1_server=$server_now; s1_x=$x_now
    fi
    sleep 0.02
  done
  wait "$driver" || true
  echo "driver: $(cat /tmp/dravik-profile.out)"
  local chunks=$(((mib * 1048576 + 2097151) / 2097152))
  local wall
  wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
  printf 'run threads seen for %.3f s (sampled every 20 ms); %d chunks\n' "$wall" "$chunks"
  printf '%-16s %9s %10s %9s %9s %14s\n' thread "life s" "on CPU s" "ready s" "idle s" "idle/chunk ms"
  local role=job
  for tid in $(printf '%s\n' "${!first[@]}" | sort -n); do
    set -- ${last[$tid]}
    local life
    life=$(awk -v a="${first[$tid]}" -v b="$3" 'BEGIN { print b - a }')
    awk -v r="$role $tid" -v l="$life" -v c="$1" -v w="$2" -v n="$chunks" 'BEGIN {
      c /= 1e9; w /= 1e9; i = l - c - w; if (i < 0) i = 0
      printf "%-16s %9.3f %10.3f %9.3f %9.3f %14.3f\n", r, l, c, w, i, i / n * 1000 }'
    role=worker
  done
  set -- $s0_main $s1_main
  awk -v r="window $pid" -v l="$wall" -v c=$(($3 - $1)) -v w=$(($4 - $2)) 'BEGIN {
    printf "%-16s %9.3f %10.3f %9.3f %9.3f\n", r, l, c / 1e9, w / 1e9, l - c / 1e9 - w / 1e9 }'
  awk -v r="wineserver" -v l="$wall" -v c=$((s1_server - s0_server)) 'BEGIN {
    printf "%-16s %9.3f %10.3f   (%.0f %% of one core)\n", r, l, c / 1e9, c / 1e9 / l * 100 }'
  awk -v r="Xvfb" -v l="$wall" -v c=$((s1_x - s0_x)) 'BEGIN {
    printf "%-16s %9.3f %10.3f   (%.0f %% of one core)\n", r, l, c / 1e9, c / 1e9 / l * 100 }'
  echo "(job: the first thread the run made, its idle time is mostly its waits for the workers)"
}

case "${1:-}" in
  --runs) shift; runs_mode "${1:-1024}" 0; exit ;;
  --four) shift; runs_mode "${1:-1024}" 1; exit ;;
  --profile) shift; profile_mode "$@"; exit ;;
esac

seconds=${1:-0.3}
shift || true

cmake --preset host -B build/bench-host -DDRAVIK_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench-host -j "$(nproc)" --target digest_bench >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target digest_bench job_bench >/dev/null
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target digest_bench >/dev/null
job_mib=${DRAVIK_JOB_BENCH_MIB:-1024}

echo "== $(date -u +%F) $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
echo "== host (x86_64 Linux, g++ -O3), peers in the same run"
build/bench-host/bench/digest_bench "$seconds" "$@"
echo
echo "== win64 (x86_64-w64-mingw32 -O3, under Wine); peers are not linked into the Windows build"
tools/wine-run.sh build/win64/bench/digest_bench.exe "$seconds" "$@"
echo
echo "== win32, the shipped build (i686-w64-mingw32 -O3, natively under WoW64 Wine)"
tools/wine-run.sh build/win32/bench/digest_bench.exe "$seconds" "$@"
if [ "$job_mib" != 0 ]; then
  echo
  echo "== whole run (win64 HashJob from the main dialog, under Wine): one row, then four rows"
  (cd build/win64 && ../../tools/wine-run.sh bench/job_bench.exe "$job_mib")
fi
