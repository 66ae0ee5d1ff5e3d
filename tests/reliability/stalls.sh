#!/usr/bin/env bash
# Runs Dravik.exe under Wine over a file system whose opens and reads stall in the kernel, as a
# share that stops answering does: stall_fs.c, our own FUSE file system, built here for Linux
# (the CMake builds of the tests are for Windows). The Stalls tests of reliability_tests.exe
# (stall_win_test.cpp) hold and release its requests through its control folder, handed over
# as DRAVIK_STALL_CONTROL and DRAVIK_STALL_MOUNT; when a test asks by making <control>/kill,
# this script kills the file system's process, as a share goes away, and answers with
# <control>/killed.
#
# Order matters: tools/wine-run.sh runs each program in a mount namespace of its own, copied
# from ours when it starts, and the Wine server, which opens files for every program of its
# prefix, stays in the namespace of the program that started it. So the file system is mounted
# first (under a fresh folder in /tmp, which wine-run.sh binds), the prefix's server is ended
# (it lingers a minute after a program), and only then the tests start, whose first program
# starts a server that sees the mount. At the end the server is ended before the unmount.
# Every wait is bounded.
#
# Usage: stalls.sh WINE_RUN PROGRAM.exe STALL_FS [GTEST_FILTER]
#   STALL_FS: where to build the file system's program (rebuilt when stall_fs.c is newer);
#   GTEST_FILTER: default Stalls.* (tools/stress.sh runs Stress.* the same way).
# Needs /dev/fuse, fusermount3 and libfuse3's headers (tools/setup.sh installs fuse3 and
# libfuse3-dev); run as root, as the Wine runs are.
set -uo pipefail

wine_run=$1
program=$2
stall_fs=$3
filter=${4:-Stalls.*}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

say() { echo "stalls: $*" >&2; }

if [ ! -c /dev/fuse ] || ! command -v fusermount3 >/dev/null; then
  say "no /dev/fuse or no fusermount3 (tools/setup.sh installs fuse3)"
  exit 1
fi
if [ ! -x "$stall_fs" ] || [ "$here/stall_fs.c" -nt "$stall_fs" ]; then
  mkdir -p "$(dirname "$stall_fs")"
  # shellcheck disable=SC2046
  if ! cc -std=c11 -D_DEFAULT_SOURCE -O2 -Wall -Wextra -Werror "$here/stall_fs.c" \
    $(pkg-config --cflags --libs fuse3) -o "$stall_fs"; then
    say "stall_fs.c did not build (tools/setup.sh installs libfuse3-dev)"
    exit 1
  fi
fi

dir=$(mktemp -d /tmp/dravik-stalls.XXXXXX)
control=$dir/control
mount=$dir/mount
mkdir -p "$control" "$mount"
echo none >"$control/mode"
fs=
driver=

stop_server() { "$wine_run" --stop-server; }

cleanup() {
  # Whatever happened, nothing stays held, mounted or running.
  echo none >"$control/mode" 2>/dev/null
  [ -n "$driver" ] && kill "$driver" 2>/dev/null
  stop_server
  # (mountpoint(1) cannot tell a mount whose file system was killed.)
  if grep -qF " $mount fuse" /proc/mounts; then
    fusermount3 -u "$mount" 2>/dev/null || fusermount3 -u -z "$mount" 2>/dev/null ||
      umount -l "$mount" 2>/dev/null
  fi
  if [ -n "$fs" ] && kill -0 "$fs" 2>/dev/null; then
    kill "$fs" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$fs" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$fs" 2>/dev/null
  fi
  rm -rf "$dir"
}
trap cleanup EXIT

"$stall_fs" "$control" "$mount" 2>"$dir/fs.log" &
fs=$!
for _ in $(seq 100); do
  [ -e "$control/ready" ] && break
  kill -0 "$fs" 2>/dev/null || break
  sleep 0.05
done
if [ ! -e "$control/ready" ]; then
  say "the file system did not mount: $(cat "$dir/fs.log")"
  exit 1
fi
stop_server

DRAVIK_STALL_CONTROL=$control DRAVIK_STALL_MOUNT=$mount \
  "$wine_run" "$program" --gtest_brief=1 --gtest_filter="$filter" &
driver=$!

while kill -0 "$driver" 2>/dev/null; do
  if [ -e "$control/kill" ] && [ ! -e "$control/killed" ]; then
    kill -KILL "$fs" 2>/dev/null
    wait "$fs" 2>/dev/null
    say "file system killed"
    touch "$control/killed"
  fi
  sleep 0.02
done
wait "$driver"
code=$?
driver=
exit "$code"
