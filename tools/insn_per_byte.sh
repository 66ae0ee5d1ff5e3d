#!/usr/bin/env bash
# 32-bit cost of every algorithm as executed instructions per byte: the host32 build of
# bench/insn_bench run under qemu-i386 (-cpu max) with an instruction-counting TCG plugin
# (bench/qemu_insn_count.c, built here with gcc), once over SMALL and once over LARGE MiB;
# (count(LARGE) - count(SMALL)) / (LARGE - SMALL) MiB, so start-up and finishing cancel.
# "portable" limits the CPU features to none; "best" takes what qemu offers (no SHA-NI).
# Usage: tools/insn_per_byte.sh [SMALL MiB, default 1] [LARGE MiB, default 3] [names...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
small=${1:-1}
large=${2:-3}
shift 2 || shift $# || true
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  names=(CRC32 MD5 SHA1 SHA224 SHA256 SHA384 SHA512 SHA3_224 SHA3_256 SHA3_384 SHA3_512
         RIPEMD128 RIPEMD160 RIPEMD256 RIPEMD320 BLAKE224 BLAKE256 BLAKE384 BLAKE512
         BLAKE2s_256 BLAKE2b_512 SM3 Whirlpool)
fi

build=build/bench-host32
cmake --preset host32 -B "$build" >/dev/null
cmake --build "$build" -j 2 --target insn_bench >/dev/null
plugin="$build/qemu_insn_count.so"
gcc -shared -fPIC -O2 -Wall -Wextra -o "$plugin" bench/qemu_insn_count.c

# Executed instructions of one run; the plugin prints "insns: N" through qemu's log (stderr).
count() {
  qemu-i386 -cpu max -plugin "$plugin" -d plugin "$build/bench/insn_bench" "$1" "$2" "$3" \
    2>&1 >/dev/null | sed -n 's/^insns: //p'
}

features=$(qemu-i386 -cpu max "$build/bench/insn_bench" MD5 0 best | sed "s/.*features=\(.*\) first=.*/\1/")
echo "== executed i686 instructions per byte (host32 g++ -O3 -m32, qemu-i386 -cpu max;"
echo "   best = features qemu offers: $features); ${small} and ${large} MiB"
printf '%-12s %10s %10s %8s\n' algorithm portable best ratio
for name in "${names[@]}"; do
  row=()
  for level in portable best; do
    a=$(count "$name" "$small" "$level")
    b=$(count "$name" "$large" "$level")
    row+=("$(awk -v a="$a" -v b="$b" -v s="$small" -v l="$large" \
      'BEGIN { printf "%.2f", (b - a) / ((l - s) * 1048576) }')")
  done
  printf '%-12s %10s %10s %8s\n' "$name" "${row[0]}" "${row[1]}" \
    "$(awk -v p="${row[0]}" -v b="${row[1]}" 'BEGIN { printf "%.2f", b / p }')"
done
