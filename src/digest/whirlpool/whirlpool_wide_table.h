// Whirlpool's lookup tables for the accelerated variants, one per rotation with 8-byte entries
// (8 x 2 KiB), computed by the compiler from the standard's definitions. The portable code
// keeps its 4 KiB table of doubled entries (whirlpool_tables.h), which needs an index scaled
// by 16 and an offset per lookup; here a lookup is one load indexed by the byte.
#pragma once

#include <cstdint>

// ISO/IEC 10118-3 builds the S-box from the 4-bit mini-boxes E, E^-1 and R.
struct WhirlpoolSbox {
    uint8_t s[256];
    constexpr WhirlpoolSbox() : s()
    {
        const uint8_t e[16] = {1, 11, 9, 12, 13, 6, 15, 3, 14, 8, 7, 4, 10, 2, 5, 0};
        const uint8_t r[16] = {7, 12, 11, 13, 14, 4, 9, 15, 6, 3, 8, 10, 2, 5, 1, 0};
        uint8_t e_inv[16] = {};
        for (uint8_t i = 0; i < 16; ++i)
            e_inv[e[i]] = i;
        for (int x = 0; x < 256; ++x) {
            const uint8_t high = e[x >> 4], low = e_inv[x & 15], mix = r[high ^ low];
            s[x] = uint8_t(e[high ^ mix] << 4 | e_inv[low ^ mix]);
        }
    }
};

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x^2 + 1.
constexpr uint64_t whirlpool_gf_multiply(unsigned a, unsigned b)
{
    unsigned product = 0;
    for (; b; b >>= 1, a <<= 1) {
        if (a & 0x100)
            a ^= 0x11D;
        if (b & 1)
            product ^= a;
    }
    return product & 0xFF;
}

// c[t][x] = C_t[x]: S[x] times the circulant row (1, 1, 4, 1, 8, 5, 2, 9), the products from
// the most significant byte down, rotated right by 8t bits; the values of WhirlpoolTable.
struct WhirlpoolWideTable {
    uint64_t c[8][256];
    constexpr WhirlpoolWideTable() : c()
    {
        const WhirlpoolSbox sbox;
        const unsigned row[8] = {1, 1, 4, 1, 8, 5, 2, 9};
        for (unsigned x = 0; x < 256; ++x) {
            uint64_t c0 = 0;
            for (unsigned i = 0; i < 8; ++i)
                c0 = c0 << 8 | whirlpool_gf_multiply(sbox.s[x], row[i]);
            for (unsigned t = 0; t < 8; ++t)
                c[t][x] = t == 0 ? c0 : c0 >> (8 * t) | c0 << (64 - 8 * t);
        }
    }
};

alignas(64) inline constexpr WhirlpoolWideTable whirlpool_wide_table;
