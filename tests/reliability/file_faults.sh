#!/usr/bin/env bash
# Changes files from Linux while Dravik.exe reads them under Wine, the way another machine
# changes a file on a share: Windows' sharing rules, which refuse writers while the program
# reads, do not reach a Linux process. The FileFaults tests of reliability_tests.exe start a
# long run on <dir>/<Test>.bin and create <Test>.running; this script then truncates, grows or
# replaces that file and answers with <Test>.changed. Every wait here and there is bounded.
#
# Usage: file_faults.sh WINE_RUN PROGRAM.exe   (the CTest entry reliability_file_faults)
set -uo pipefail

wine_run=$1
program=$2
dir=$(mktemp -d "${TMPDIR:-/tmp}/dravik-faults.XXXXXX")
export DRAVIK_FAULT_DIR=$dir

"$wine_run" "$program" --gtest_brief=1 --gtest_filter='FileFaults.*' &
driver=$!
trap 'kill "$driver" 2>/dev/null; rm -rf "$dir"' EXIT

change() {
  local file=$dir/$1.bin
  case $1 in
    Truncated) truncate -s 1048576 "$file" ;;
    Grown) printf 'grown' >>"$file" ;;
    Replaced)
      # Same size and modification time: only the file's identity tells them apart.
      truncate -s "$(stat -c %s "$file")" "$file.new" && touch -r "$file" "$file.new" &&
        mv -f "$file.new" "$file" ;;
    *) echo "file_faults: unknown fault $1" >&2 ;;
  esac
}

while kill -0 "$driver" 2>/dev/null; do
  for flag in "$dir"/*.running; do
    [ -e "$flag" ] || continue
    fault=$(basename "$flag" .running)
    [ -e "$dir/$fault.changed" ] && continue
    change "$fault"
    echo "file_faults: $fault"
    touch "$dir/$fault.changed"
  done
  sleep 0.05
done
wait "$driver"
