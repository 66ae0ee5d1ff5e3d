// The accelerated BLAKE2 compressions Blake2s and Blake2b choose from when they are
// constructed. Each computes exactly the portable compression F of RFC 7693 section 3.2 on the
// chaining value h with counter (t0, t1) and, when last is set, the last-block flag f0, and
// lives in the file named after it, built with that file's instruction-set flags.
#pragma once

#include <cstdint>

// The portable compressions (blake2.cpp), which the variants are tested against.
void blake2s_compress_portable(uint32_t h[8], const uint8_t* block, uint32_t t0, uint32_t t1,
                               bool last);
void blake2b_compress_portable(uint64_t h[8], const uint8_t* block, uint64_t t0, uint64_t t1,
                               bool last);

// SSSE3 (blake2s_ssse3.cpp, blake2b_ssse3.cpp).
void blake2s_compress_ssse3(uint32_t h[8], const uint8_t* block, uint32_t t0, uint32_t t1,
                            bool last);
void blake2b_compress_ssse3(uint64_t h[8], const uint8_t* block, uint64_t t0, uint64_t t1,
                            bool last);

// AVX2 (blake2b_avx2.cpp).
void blake2b_compress_avx2(uint64_t h[8], const uint8_t* block, uint64_t t0, uint64_t t1,
                           bool last);
