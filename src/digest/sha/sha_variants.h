// Block functions of SHA-1 and SHA-2 for particular instruction sets. Sha1, Sha256 and Sha512
// pick one when they are constructed (from cpu_features()) and call it from transform (and
// transform_blocks); without one, they run the portable compression of sha1.cpp and sha2.cpp.
//
// Contract: `state` has the layout of the class's state member (H0..H7 as native words). A
// block function compresses exactly one block, read from `block` (any alignment). A blocks
// function compresses `blocks` consecutive blocks of `data` (any alignment), keeping the
// state in registers between them; it copies each block into `buffer` (the object's block
// buffer, which `data` may be, for one block) before compressing it. A function may be called
// only when the features named beside it are present. Each lives in its own file, compiled
// with its instruction set's flags; nothing else in the program uses those instructions.
#pragma once

#include <cstdint>

typedef void (*Sha1BlocksFunction)(uint32_t* state, uint8_t* buffer, const uint8_t* data,
                                   uint32_t blocks);
typedef void (*Sha256BlocksFunction)(uint32_t* state, uint8_t* buffer, const uint8_t* data,
                                     uint32_t blocks);
typedef void (*Sha512BlockFunction)(uint64_t* state, const uint8_t* block);
typedef void (*Sha512BlocksFunction)(uint64_t* state, uint8_t* buffer, const uint8_t* data,
                                     uint32_t blocks);

// FIPS 180-4 section 4.2.2 and 4.2.3 round constants, defined in sha2.cpp.
extern const uint32_t sha256_k[64];
extern const uint64_t sha512_k[80];

// The SHA-384/512 functions an Sha512 object made under these processor features uses (null:
// none, the portable compression; the blocks function, where there is one, takes every block).
Sha512BlockFunction sha512_block_function_for(uint32_t features);
Sha512BlocksFunction sha512_blocks_function_for(uint32_t features);

// Whether candidate compresses three blocks of a fixed message exactly as reference does (the
// portable compression where it is chosen): a variant that fails this is never used.
bool sha512_blocks_agree(Sha512BlockFunction reference, Sha512BlocksFunction candidate);

// cpu_sha | cpu_ssse3 | cpu_sse41: the SHA extensions' rounds and message schedule.
void sha1_blocks_shani(uint32_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks);
void sha256_blocks_shani(uint32_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks);

#if defined(__x86_64__)
// cpu_sse2, which every x86-64 processor has: plain C++ on native 64-bit words, faster on
// x86-64 than the portable code's 32-bit halves (which the 32-bit build needs).
void sha512_block_x64(uint64_t* state, const uint8_t* block);
// cpu_avx2 | cpu_bmi2: the rounds in general registers, the schedule of two blocks at once in
// YMM registers.
void sha512_blocks_avx2_x64(uint64_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks);
#else
// cpu_sse2, for 32-bit builds: every 64-bit word in an SSE register.
void sha512_block_sse2(uint64_t* state, const uint8_t* block);
// cpu_avx2, for 32-bit builds: the working words as pairs in four XMM registers, the schedule
// of two blocks at once in YMM registers.
void sha512_blocks_avx2_x86(uint64_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks);
// cpu_avx2 | cpu_avx512 (F and VL), for 32-bit builds: each word in an XMM register, rotations
// and Ch, Maj and the sigmas' XORs as single EVEX instructions. Chosen against the AVX2
// function by timing (the faster on the processor that runs them).
void sha512_blocks_avx512_x86(uint64_t* state, uint8_t* buffer, const uint8_t* data,
                              uint32_t blocks);
#endif
