// The accelerated Keccak-f[1600] permutations Sha3 chooses from when it is constructed. Each
// computes exactly Sha3::keccak_f1600 (lane (x, y) at x + 5y, in place) and lives in the file
// named after it, built with that file's instruction-set flags; only the variants of the
// target's word size are built.
#pragma once

#include <cstdint>

// FIPS 202 section 3.2.5 (iota): RC for rounds 0 to 23, for the variants.
inline constexpr uint64_t keccak_round_constants[24] = {
    0x0000000000000001, 0x0000000000008082, 0x800000000000808A, 0x8000000080008000,
    0x000000000000808B, 0x0000000080000001, 0x8000000080008081, 0x8000000000008009,
    0x000000000000008A, 0x0000000000000088, 0x0000000080008009, 0x000000008000000A,
    0x000000008000808B, 0x800000000000008B, 0x8000000000008089, 0x8000000000008003,
    0x8000000000008002, 0x8000000000000080, 0x000000000000800A, 0x800000008000000A,
    0x8000000080008081, 0x8000000000008080, 0x0000000080000001, 0x8000000080008008,
};

// The permutation a Sha3 object made under these processor features uses: a variant below or
// Sha3::keccak_f1600.
using KeccakPermutation = void (*)(uint64_t lanes[25]);
KeccakPermutation keccak_permutation_for(uint32_t features);

// Absorbing `blocks` whole blocks of a rate of rate_bytes from data (any alignment): each block
// copied to buffer, XORed into the lanes and permuted, as the sponge does block by block, with
// the state kept in registers between blocks. Null where no variant does it for that rate.
using KeccakAbsorb = void (*)(uint64_t lanes[25], uint8_t* buffer, const uint8_t* data,
                              uint32_t blocks, uint32_t rate_bytes);
KeccakAbsorb keccak_absorb_for(uint32_t features, uint32_t rate_bytes);

#if defined(__x86_64__)
// Native 64-bit lanes, lane complementing (sha3_x64.cpp); every x86-64 runs it.
void keccak_f1600_x64(uint64_t lanes[25]);
// Native 64-bit lanes, chi by ANDN (sha3_bmi.cpp); needs BMI1.
void keccak_f1600_bmi(uint64_t lanes[25]);
#endif

#if defined(__i386__)
// One lane per XMM register (sha3_sse2.cpp); needs SSE2.
void keccak_f1600_sse2(uint64_t lanes[25]);
// Four lanes per YMM register, a 4x4 block and its border (sha3_avx2.cpp); needs AVX2.
void keccak_f1600_avx2(uint64_t lanes[25]);
// Its absorbing, for the rates of SHA3-224, SHA3-256 and SHA3-512 (144, 136, 72 bytes) only.
void keccak_absorb_avx2(uint64_t lanes[25], uint8_t* buffer, const uint8_t* data, uint32_t blocks,
                        uint32_t rate_bytes);
// One lane per XMM register with EVEX rotations and ternary logic (sha3_avx512.cpp); needs
// AVX-512 F and VL. Chosen against the AVX2 variant by timing; it has no absorbing of its own.
void keccak_f1600_avx512(uint64_t lanes[25]);
#endif

// Whether candidate permutes a few fixed states exactly as Sha3::keccak_f1600 does: a variant
// that fails this is never used.
bool keccak_permutation_agrees(KeccakPermutation reference, KeccakPermutation candidate);
