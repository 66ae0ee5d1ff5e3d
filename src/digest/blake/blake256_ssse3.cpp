// BLAKE-256 compression (BLAKE 1.3 section 2.1.2) with SSSE3: the work matrix by rows in four
// XMM registers (blake_rows_ssse3.h), the 14 rounds unrolled so each round's message words and
// constants are gathered with the sigma indices known; the constants' vectors fold into
// constants. Built with -mssse3.
#include <utility>

#include "digest/blake/blake_rows_ssse3.h"
#include "digest/blake/blake_variants.h"
#include "digest/bytes.h"

namespace {

using namespace blake_rows;

// G adds m[sigma(2i)] ^ c[sigma(2i+1)] first and m[sigma(2i+1)] ^ c[sigma(2i)] second.
template <int r, int first> inline __m128i words(const uint32_t* m)
{
    return _mm_xor_si128(gather32<r, first>(m), gather32<r, first ^ 1>(blake_constants32));
}

template <int r> inline void blake256_round(Rows32& v, const uint32_t* m)
{
    round32<16, 12, 8, 7>(v, words<r, 0>(m), words<r, 1>(m), words<r, 8>(m), words<r, 9>(m));
}

template <size_t... r>
inline void blake256_rounds(Rows32& v, const uint32_t* m, std::index_sequence<r...>)
{
    (blake256_round<int(r)>(v, m), ...);
}

} // namespace

void blake256_compress_ssse3(uint32_t h[8], const uint32_t s[4], const uint8_t* block, uint32_t t0,
                             uint32_t t1)
{
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = load_be32(block + 4 * i);
    const __m128i* hv = reinterpret_cast<const __m128i*>(h);
    const __m128i* cv = reinterpret_cast<const __m128i*>(blake_constants32);
    const __m128i h0 = _mm_loadu_si128(hv), h1 = _mm_loadu_si128(hv + 1);
    const __m128i salt = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    Rows32 v = {
        h0, h1, _mm_xor_si128(salt, _mm_loadu_si128(cv)),
        _mm_xor_si128(_mm_loadu_si128(cv + 1), _mm_set_epi32(int(t1), int(t1), int(t0), int(t0)))};
    blake256_rounds(v, m, std::make_index_sequence<14>());
    const __m128i fold = _mm_xor_si128(salt, _mm_xor_si128(v.a, v.c));
    __m128i* out = reinterpret_cast<__m128i*>(h);
    _mm_storeu_si128(out, _mm_xor_si128(h0, fold));
    _mm_storeu_si128(out + 1, _mm_xor_si128(h1, _mm_xor_si128(salt, _mm_xor_si128(v.b, v.d))));
}
