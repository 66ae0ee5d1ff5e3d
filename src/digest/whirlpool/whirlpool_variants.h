// The Whirlpool compressions the Whirlpool class chooses from when it is constructed. Each
// computes exactly H := H ^ m ^ W_H(m) of ISO/IEC 10118-3 on the chaining value (8 rows, the
// first byte of a row its most significant) and one 64-byte block, and lives in the file named
// after it, built with that file's instruction-set flags; only the variants of the target's word
// size are built.
#pragma once

#include <cstdint>

// The portable compression (whirlpool.cpp), which the variants are tested against.
void whirlpool_compress_portable(uint64_t chain[8], const uint8_t* block);

// The compression a Whirlpool object made under these processor features uses.
using WhirlpoolCompression = void (*)(uint64_t chain[8], const uint8_t* block);
WhirlpoolCompression whirlpool_compression_for(uint32_t features);

#if defined(__x86_64__)
// Native 64-bit rows (whirlpool_x64.cpp); every x86-64 runs it.
void whirlpool_compress_x64(uint64_t chain[8], const uint8_t* block);
#endif

#if defined(__i386__)
// Rows accumulated in MMX registers (whirlpool_mmx.cpp); needs MMX, which SSE2 implies.
void whirlpool_compress_mmx(uint64_t chain[8], const uint8_t* block);
#endif
