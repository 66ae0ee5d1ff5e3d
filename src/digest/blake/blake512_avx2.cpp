// BLAKE-512 compression (BLAKE 1.3 section 2.2.2) with AVX2: each row of the work matrix in one
// YMM register (blake_rows_avx2.h), the 16 rounds unrolled so each round's message words and
// constants are gathered with the sigma indices known. Built with -mavx2.
#include <utility>

#include "digest/blake/blake_rows_avx2.h"
#include "digest/blake/blake_variants.h"
#include "digest/bytes.h"

namespace {

using namespace blake_rows_avx2;

// G adds m[sigma(2i)] ^ c[sigma(2i+1)] first and m[sigma(2i+1)] ^ c[sigma(2i)] second.
template <int r, int first> inline __m256i words(const uint64_t* m)
{
    return _mm256_xor_si256(gather<r, first>(m), gather<r, first ^ 1>(blake_constants64));
}

template <int r> inline void blake512_round(Rows& v, const uint64_t* m)
{
    round<32, 25, 16, 11>(v, words<r, 0>(m), words<r, 1>(m), words<r, 8>(m), words<r, 9>(m));
}

// Rounds 10 to 15 take sigma_0 to sigma_5 again (gather reduces r modulo 10).
template <size_t... r>
inline void blake512_rounds(Rows& v, const uint64_t* m, std::index_sequence<r...>)
{
    (blake512_round<int(r)>(v, m), ...);
}

} // namespace

void blake512_compress_avx2(uint64_t h[8], const uint64_t s[4], const uint8_t* block, uint64_t t0,
                            uint64_t t1)
{
    uint64_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = load_be64(block + 8 * i);
    const __m256i h0 = load(h), h1 = load(h + 4), salt = load(s);
    const __m256i counter = _mm256_set_epi64x(as_ll(t1), as_ll(t1), as_ll(t0), as_ll(t0));
    Rows v = {h0, h1, _mm256_xor_si256(salt, load(blake_constants64)),
              _mm256_xor_si256(load(blake_constants64 + 4), counter)};
    blake512_rounds(v, m, std::make_index_sequence<16>());
    store(h, _mm256_xor_si256(h0, _mm256_xor_si256(salt, _mm256_xor_si256(v.a, v.c))));
    store(h + 4, _mm256_xor_si256(h1, _mm256_xor_si256(salt, _mm256_xor_si256(v.b, v.d))));
}
