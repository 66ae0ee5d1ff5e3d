// Whirlpool compression (ISO/IEC 10118-3) for x86-64 in plain C++ with native 64-bit rows: each
// lookup of whirlpool_wide_table.h is one 64-bit load XORed into its row, where the portable
// code needs two 32-bit halves and an index scaled by 16. The rounds scatter each source row:
// its eight bytes, taken from the least significant up by shifting one register, go to the
// eight output rows they feed. On a 32-bit processor every 64-bit operation here would be two,
// which is why this file is built for x86-64 only and picked by the cpu_sse2 bit that every
// x86-64 has.
#include <cstring>

#include "digest/whirlpool/whirlpool_tables.h"
#include "digest/whirlpool/whirlpool_wide_table.h"
#include "digest/whirlpool/whirlpool_variants.h"

namespace {

// out = rho[k](a): out[i] = k[i] ^ XOR over t of C_t[byte t of a[(i - t) mod 8]], byte 0 the
// most significant. Source row r sends byte t to output row r + t.
[[gnu::always_inline]] inline void whirlpool_round(const uint64_t a[8], const uint64_t k[8],
                                                   uint64_t out[8])
{
    uint64_t o[8];
    std::memcpy(o, k, sizeof o);
#pragma GCC unroll 8
    for (unsigned r = 0; r < 8; ++r) {
        uint64_t x = a[r];
#pragma GCC unroll 8
        for (unsigned t = 8; t-- > 0; x >>= 8)
            o[(r + t) & 7] ^= whirlpool_wide_table.c[t][x & 0xFF];
    }
    std::memcpy(out, o, sizeof o);
}

} // namespace

// Miyaguchi-Preneel: H := H ^ m ^ W_H(m), the key schedule running beside the cipher rounds.
void whirlpool_compress_x64(uint64_t chain[8], const uint8_t* block)
{
    const uint64_t zero[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint64_t key[8], state[8], m[8];
    for (unsigned i = 0; i < 8; ++i) {
        std::memcpy(&m[i], block + 8 * i, 8);
        m[i] = __builtin_bswap64(m[i]);
        key[i] = chain[i];
        state[i] = m[i] ^ key[i];
    }
    for (unsigned r = 0; r < 10; ++r) {
        uint64_t next_key[8];
        whirlpool_round(key, zero, next_key);
        next_key[0] ^= WhirlpoolRoundConstants[r];
        whirlpool_round(state, next_key, state);
        std::memcpy(key, next_key, sizeof key);
    }
    for (unsigned i = 0; i < 8; ++i)
        chain[i] ^= m[i] ^ state[i];
}
