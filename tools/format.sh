#!/usr/bin/env bash
# Formats the C and C++ sources (src/, tests/, bench/) with Debian's clang-format and the
# project's .clang-format. With --check nothing changes: the files that differ are named and
# the exit code is 1.
# Usage: tools/format.sh [--check]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if ! command -v clang-format >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang-format \
    >/dev/null
fi

mapfile -t files < <(find src tests bench -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) | sort)
if [ "${1:-}" != --check ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
differ=()
for file in "${files[@]}"; do
  clang-format "$file" | cmp -s - "$file" || differ+=("$file")
done
if [ ${#differ[@]} -gt 0 ]; then
  echo "format: ${#differ[@]} files differ from .clang-format (tools/format.sh formats them):"
  printf '  %s\n' "${differ[@]}"
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format has them"
