// The accelerated BLAKE compressions Blake256 and Blake512 (and so Blake224 and Blake384) choose
// from when they are constructed. Each computes exactly the portable compression of BLAKE 1.3
// (sections 2.1.2 and 2.2.2) on the chaining value h with salt s and counter (t0, t1), and lives
// in the file named after it, built with that file's instruction-set flags.
#pragma once

#include <cstdint>

// The portable compressions (blake.cpp), which the variants are tested against.
void blake256_compress_portable(uint32_t h[8], const uint32_t s[4], const uint8_t* block,
                                uint32_t t0, uint32_t t1);
void blake512_compress_portable(uint64_t h[8], const uint64_t s[4], const uint8_t* block,
                                uint64_t t0, uint64_t t1);

// SSSE3 (blake256_ssse3.cpp, blake512_ssse3.cpp).
void blake256_compress_ssse3(uint32_t h[8], const uint32_t s[4], const uint8_t* block, uint32_t t0,
                             uint32_t t1);
void blake512_compress_ssse3(uint64_t h[8], const uint64_t s[4], const uint8_t* block, uint64_t t0,
                             uint64_t t1);

// AVX2 (blake512_avx2.cpp).
void blake512_compress_avx2(uint64_t h[8], const uint64_t s[4], const uint8_t* block, uint64_t t0,
                            uint64_t t1);
