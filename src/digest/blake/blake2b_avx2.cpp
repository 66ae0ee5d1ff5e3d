// BLAKE2b compression (RFC 7693 section 3.2) with AVX2: each row of the work matrix in one YMM
// register (blake_rows_avx2.h), so one half of G on all four columns (or diagonals) is a
// handful of instructions; the rounds unrolled so each round's message words are gathered with
// the sigma indices as constants. Built with -mavx2.
#include <cstring>
#include <utility>

#include "digest/blake/blake2_variants.h"
#include "digest/blake/blake_rows_avx2.h"

namespace {

using namespace blake_rows_avx2;

template <int r> inline void blake2b_round(Rows& v, const uint64_t* m)
{
    round<32, 24, 16, 63>(v, gather<r, 0>(m), gather<r, 1>(m), gather<r, 8>(m), gather<r, 9>(m));
}

// Rounds 10 and 11 take sigma_0 and sigma_1 again (gather reduces r modulo 10).
template <size_t... r>
inline void blake2b_rounds(Rows& v, const uint64_t* m, std::index_sequence<r...>)
{
    (blake2b_round<int(r)>(v, m), ...);
}

} // namespace

void blake2b_compress_avx2(uint64_t h[8], const uint8_t* block, uint64_t t0, uint64_t t1, bool last)
{
    uint64_t m[16];
    std::memcpy(m, block, sizeof m); // little-endian words, as the machine holds them
    const __m256i h0 = load(h), h1 = load(h + 4);
    const __m256i flags = _mm256_set_epi64x(0, last ? -1 : 0, as_ll(t1), as_ll(t0));
    Rows v = {h0, h1, load(blake_iv512), _mm256_xor_si256(load(blake_iv512 + 4), flags)};
    blake2b_rounds(v, m, std::make_index_sequence<12>());
    store(h, _mm256_xor_si256(h0, _mm256_xor_si256(v.a, v.c)));
    store(h + 4, _mm256_xor_si256(h1, _mm256_xor_si256(v.b, v.d)));
}
