#!/usr/bin/env bash
# Runs the shipped 32-bit program and its tests: the win32 build (Dravik.exe and every test
# program) under 32-bit Wine in an emulated i386 machine, since this machine's kernel runs no
# 32-bit code.
#
# The guest is Debian 12 i386 made from Debian's packages alone by tools/guest32/build-image.sh
# (about five minutes) and cached outside the clone in /var/cache/dravik/guest-i386-<hash of
# tools/guest32 and wine-run.sh>, so later clones and CI on this machine reuse it. Each run boots the
# guest once with a throw-away copy of the root and a second disk that carries the job in
# (the source tree's tools, the win32 build, run.sh) and the results out: CTest's log of every
# win32 test, a driven run of Dravik.exe through its window with a screenshot, and the check
# that the 32-bit variants ran. The results are printed with one summary line
# "N passed, M failed"; the exit code is non-zero on any failure or when the guest left none.
#
# Usage: tools/test32.sh [--four-gib]
#   --four-gib  also the runs over 2^32 + 1000 bytes (hours under emulation)
# Environment: DRAVIK_GUEST_CACHE (default /var/cache/dravik), DRAVIK_TEST32_NO_IMAGE_BUILD=1
# (fail instead of making a missing image), DRAVIK_TEST32_MINUTES (run time-out, default 30).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh || exit 1

four_gib=no
[ "${1:-}" = --four-gib ] && four_gib=yes

# What the guest needs on this side, from Debian's packages.
host_packages=(qemu-system-x86 mmdebstrap e2fsprogs cpio binutils imagemagick)
missing=()
for p in "${host_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "test32: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >/dev/null || exit 1
fi

. tools/guest32/guest-lib.sh
image=$(guest_image "$root")
cache_root=$(dirname "$image")

if [ ! -f "$image/ready" ]; then
  if [ "${DRAVIK_TEST32_NO_IMAGE_BUILD:-}" = 1 ]; then
    say "no guest image in $image"
    exit 1
  fi
  mkdir -p "$cache_root"
  exec 8>"$cache_root/guest-i386.lock"
  flock 8
  [ -f "$image/ready" ] || bash tools/guest32/build-image.sh "$image" ||
    { say "the guest image could not be made"; exit 1; }
fi

# The win32 build with its tests registered (ctest runs them in the guest, under its Wine).
say "building win32"
build=$root/build/win32
if ! cmake --preset win32 -DDRAVIK_RUN_TESTS=ON >build/build-win32-test32.log 2>&1 ||
  ! cmake --build --preset win32 -j "$(nproc)" >>build/build-win32-test32.log 2>&1; then
  grep -E 'error|Error' build/build-win32-test32.log | head -20
  say "the win32 build failed"
  exit 1
fi

# The job: the tools and test scripts, the win32 build's programs, CTest files and vectors,
# mounted in the guest at this clone's own path (test programs name their files by it).
run_dir=$root/build/test32
rm -rf "$run_dir"
job=$run_dir/job
mkdir -p "$job/tree/build"
cp -r tools cmake "$job/tree/"
find tests -name '*.sh' -print0 | cpio --quiet -p0dm "$job/tree" # the test scripts CTest runs
(cd build && find win32 \( -name '*.exe' -o -name '*.dll' -o -name 'CTestTestfile.cmake' \
  -o -path 'win32/vectors/*' -o -name 'CMakeCache.txt' \) -print0 | cpio --quiet -p0dm "$job/tree/build")
exclude=four_gib
[ "$four_gib" = yes ] && exclude='^$'
cat >"$job/run.sh" <<EOF
root='$root'
mkdir -p "\$root" /job/results
mount --bind /job/tree "\$root"
export $guest_env
# Emulated, the programs run ten to twenty times slower: the concurrency tests' watchdog, which
# ends a program whose test hangs, waits longer before it calls a slow test a deadlock.
export DRAVIK_WATCHDOG_SECONDS=900
cd "\$root"
echo "pointer size of the guest's programs: \$(getconf LONG_BIT) bits; processor: \$(grep -m1 'model name' /proc/cpuinfo)"
# Every win32 test: CTest with the project's timeouts, two at a time.
ctest --test-dir build/win32 -j 2 -E '$exclude' --output-on-failure \\
  --output-junit /job/results/junit.xml >/job/results/ctest.log 2>&1
echo \$? >/job/results/ctest.code
# One driven run of Dravik.exe through its window, as tools/run.sh makes it, with a screenshot.
display=:88
Xvfb \$display -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
for _ in \$(seq 100); do xdpyinfo -display \$display >/dev/null 2>&1 && break; sleep 0.2; done
DRAVIK_XVFB_DISPLAY=\$display bash tools/wine-run.sh explorer /desktop=Dravik,1280x1024 \\
  build/win32/tests/ui/driver/dravik_demo.exe build/win32/src/ui/Dravik.exe /tmp/release \\
  >/job/results/demo.log 2>&1 &
demo=\$!
for _ in \$(seq 600); do
  grep -q '^demo: ready' /job/results/demo.log && break
  kill -0 \$demo 2>/dev/null || break
  sleep 0.5
done
sleep 1
xwd -root -display \$display -out /job/results/screen.xwd
touch /tmp/release
wait \$demo
bash tools/wine-run.sh wineboot --end-session >/dev/null 2>&1 || true
EOF
# Room for what the tests write there too: the DPI tests make Wine prefixes of their own.
make_job_disk "$job" "$run_dir/job.img" 6G || exit 1

say "booting the guest (results in $run_dir)"
started=$(date +%s)
boot "$image" "$run_dir/job.img" on "$run_dir/console.log" "${DRAVIK_TEST32_MINUTES:-30}"
take_results "$run_dir/job.img" "$run_dir/out"
say "the guest ran for $(seconds_since "$started") s"

results=$run_dir/out/results
if [ ! -f "$results/ctest.log" ]; then
  say "the guest left no result; its log:"
  tail -40 "$run_dir/out/run.log" "$run_dir/console.log" 2>/dev/null
  echo "0 passed, 1 failed"
  exit 1
fi
grep -E 'Test +#|tests passed|tests failed|\*\*\*' "$results/ctest.log"
grep -v '^demo: ready' "$results/demo.log" 2>/dev/null
passed=0
failed=0
summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$results/ctest.log" | tail -1)
if [ -n "$summary" ]; then
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  failed=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  passed=$((total - failed))
else
  failed=1
fi
# The run is what it claims: the 32-bit check (four-byte pointers, the i686 variants chosen
# and run) passed in it.
if grep -qE 'digest_thirty_two_bit \.+ +Passed' "$results/ctest.log"; then
  say "32-bit check passed: four-byte pointers, the i686 variants chosen and run"
else
  failed=$((failed + 1))
  say "the 32-bit check (digest_thirty_two_bit) did not pass: not the 32-bit program?"
fi
# The driven run: completed, with a screenshot.
if grep -q '^status: 情報: ダイジェスト取得処理が完了しました。' "$results/demo.log" 2>/dev/null &&
  [ -s "$results/screen.xwd" ] && convert "xwd:$results/screen.xwd" "$run_dir/dravik-win32.png"; then
  passed=$((passed + 1))
  say "screenshot $run_dir/dravik-win32.png"
else
  failed=$((failed + 1))
  say "the driven run of Dravik.exe did not complete"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
