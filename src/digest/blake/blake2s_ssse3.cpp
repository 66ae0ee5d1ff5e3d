// BLAKE2s compression (RFC 7693 section 3.2) with SSSE3: the work matrix by rows in four XMM
// registers (blake_rows_ssse3.h), the rounds unrolled so each round's message words are
// gathered with the sigma indices as constants. Built with -mssse3.
#include <cstring>
#include <utility>

#include "digest/blake/blake2_variants.h"
#include "digest/blake/blake_rows_ssse3.h"

namespace {

using namespace blake_rows;

template <int r> inline void blake2s_round(Rows32& v, const uint32_t* m)
{
    round32<16, 12, 8, 7>(v, gather32<r, 0>(m), gather32<r, 1>(m), gather32<r, 8>(m),
                          gather32<r, 9>(m));
}

template <size_t... r>
inline void blake2s_rounds(Rows32& v, const uint32_t* m, std::index_sequence<r...>)
{
    (blake2s_round<int(r)>(v, m), ...);
}

} // namespace

void blake2s_compress_ssse3(uint32_t h[8], const uint8_t* block, uint32_t t0, uint32_t t1,
                            bool last)
{
    uint32_t m[16];
    std::memcpy(m, block, sizeof m); // little-endian words, as the machine holds them
    const __m128i* hv = reinterpret_cast<const __m128i*>(h);
    const __m128i h0 = _mm_loadu_si128(hv), h1 = _mm_loadu_si128(hv + 1);
    const __m128i* iv = reinterpret_cast<const __m128i*>(blake_iv256);
    Rows32 v = {
        h0, h1, _mm_loadu_si128(iv),
        _mm_xor_si128(_mm_loadu_si128(iv + 1), _mm_set_epi32(0, last ? -1 : 0, int(t1), int(t0)))};
    blake2s_rounds(v, m, std::make_index_sequence<10>());
    __m128i* out = reinterpret_cast<__m128i*>(h);
    _mm_storeu_si128(out, _mm_xor_si128(h0, _mm_xor_si128(v.a, v.c)));
    _mm_storeu_si128(out + 1, _mm_xor_si128(h1, _mm_xor_si128(v.b, v.d)));
}
