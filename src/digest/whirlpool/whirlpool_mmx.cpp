// Whirlpool compression (ISO/IEC 10118-3) for the 32-bit build with MMX: the eight rows of a
// round's output are accumulated in the eight 64-bit MMX registers, each lookup of
// whirlpool_wide_table.h one byte load and one PXOR from memory, where the portable code needs
// byte extraction by shifts, two 32-bit loads and two XORs. The rows stay in memory between
// rounds as native 64-bit words, so byte t of row r (byte 0 the most significant) is at offset
// 8r + 7 - t. Every processor with SSE2 has MMX, so the cpu_sse2 bit selects this file; it is
// built with -mmmx and ends with EMMS, since the x87 registers are shared with MMX.
#include <mmintrin.h>

#include <cstring>

#include "digest/whirlpool/whirlpool_tables.h"
#include "digest/whirlpool/whirlpool_variants.h"
#include "digest/whirlpool/whirlpool_wide_table.h"

namespace {

inline __m64 entry(unsigned t, uint8_t x)
{
    __m64 value;
    std::memcpy(&value, &whirlpool_wide_table.c[t][x], sizeof value);
    return value;
}

// out[i] = k[i] ^ XOR over t of C_t[byte t of a[(i - t) mod 8]]; out must not be a.
[[gnu::always_inline]] inline void whirlpool_round(const uint8_t* a, const __m64* k, __m64* out)
{
#pragma GCC unroll 8
    for (unsigned i = 0; i < 8; ++i) {
        __m64 acc = k[i];
#pragma GCC unroll 8
        for (unsigned t = 0; t < 8; ++t)
            acc = _mm_xor_si64(acc, entry(t, a[8 * ((i - t) & 7) + 7 - t]));
        out[i] = acc;
    }
}

} // namespace

// Miyaguchi-Preneel: H := H ^ m ^ W_H(m), the key schedule running beside the cipher rounds.
void whirlpool_compress_mmx(uint64_t chain[8], const uint8_t* block)
{
    __m64 key[8], state[8], next_key[8], next_state[8];
    const __m64 zero[8] = {};
    uint64_t m[8];
    for (unsigned i = 0; i < 8; ++i) {
        std::memcpy(&m[i], block + 8 * i, 8);
        m[i] = __builtin_bswap64(m[i]);
        const uint64_t s = m[i] ^ chain[i];
        std::memcpy(&key[i], &chain[i], 8);
        std::memcpy(&state[i], &s, 8);
    }
    for (unsigned r = 0; r < 10; ++r) {
        whirlpool_round(reinterpret_cast<const uint8_t*>(key), zero, next_key);
        uint64_t k0;
        std::memcpy(&k0, &next_key[0], 8);
        k0 ^= WhirlpoolRoundConstants[r];
        std::memcpy(&next_key[0], &k0, 8);
        whirlpool_round(reinterpret_cast<const uint8_t*>(state), next_key, next_state);
        std::memcpy(key, next_key, sizeof key);
        std::memcpy(state, next_state, sizeof state);
    }
    _mm_empty();
    for (unsigned i = 0; i < 8; ++i) {
        uint64_t s;
        std::memcpy(&s, &state[i], 8);
        chain[i] ^= m[i] ^ s;
    }
}
