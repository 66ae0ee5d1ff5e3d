// Constant tables of Whirlpool (ISO/IEC 10118-3), read-only and shared by every object.
#pragma once

#include <cstdint>

// Entry x holds C0[x] twice, each copy little-endian. C0[x] is the S-box value S[x] times the
// circulant row (1, 1, 4, 1, 8, 5, 2, 9) in GF(2^8) modulo x^8 + x^4 + x^3 + x^2 + 1, the
// products taken as bytes from the most significant down. The 8 bytes at offset t (0..7),
// read little-endian, are C0[x] rotated right by 8t bits: the standard's table C_t. Such a
// read is unaligned for most t and must go through memcpy.
extern const uint8_t WhirlpoolTable[256][16];

// Round r (1..10) XORs row 0 of its key with the S-box values S[8(r-1)] .. S[8(r-1)+7] taken
// as a big-endian number; element r-1 here.
extern const uint64_t WhirlpoolRoundConstants[10];
