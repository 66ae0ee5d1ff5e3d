// The accelerated Keccak-f[1600] permutations Sha3 chooses from when it is constructed. Each
// computes exactly Sha3::keccak_f1600 (lane (x, y) at x + 5y, in place) and lives in the file
// named after it, built with that file's instruction-set flags; only the variants of the
// target's word size are built.
#pragma once

#include <cstdint>

#if defined(__x86_64__)
// Native 64-bit lanes, lane complementing (sha3_x64.cpp); every x86-64 runs it.
void keccak_f1600_x64(uint64_t lanes[25]);
#endif

#if defined(__i386__)
// One lane per XMM register (sha3_sse2.cpp); needs SSE2.
void keccak_f1600_sse2(uint64_t lanes[25]);
#endif
