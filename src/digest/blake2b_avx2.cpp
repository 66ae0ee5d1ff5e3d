// BLAKE2b compression (RFC 7693 section 3.2) with AVX2: each row of the work matrix in one YMM
// register, so one half of G on all four columns (or diagonals) is a handful of instructions;
// the rounds unrolled so each round's message words are gathered with the sigma indices as
// constants. As in blake_rows_ssse3.h, row b stays in place when the diagonals are turned into
// columns, keeping the row permutations out of the chain b -> d -> c -> b. Built with -mavx2.
#include <immintrin.h>

#include <cstring>
#include <utility>

#include "digest/blake2_variants.h"
#include "digest/blake_tables.h"

namespace {

struct Rows {
    __m256i a, b, c, d;
};

template <int n> inline __m256i rotr(__m256i x)
{
    if (n == 32)
        return _mm256_shuffle_epi32(x, _MM_SHUFFLE(2, 3, 0, 1));
    if (n == 24)
        return _mm256_shuffle_epi8(x, _mm256_setr_epi8(3, 4, 5, 6, 7, 0, 1, 2, 11, 12, 13, 14, 15, 8, 9, 10, 3, 4, 5, 6, 7, 0, 1, 2, 11, 12, 13, 14, 15, 8, 9, 10));
    if (n == 16)
        return _mm256_shuffle_epi8(x, _mm256_setr_epi8(2, 3, 4, 5, 6, 7, 0, 1, 10, 11, 12, 13, 14, 15, 8, 9, 2, 3, 4, 5, 6, 7, 0, 1, 10, 11, 12, 13, 14, 15, 8, 9));
    return _mm256_or_si256(_mm256_srli_epi64(x, 63), _mm256_add_epi64(x, x)); // n == 63
}

template <int r1, int r2> inline void half_g(Rows& v, __m256i w)
{
    v.a = _mm256_add_epi64(_mm256_add_epi64(v.a, w), v.b);
    v.d = rotr<r1>(_mm256_xor_si256(v.d, v.a));
    v.c = _mm256_add_epi64(v.c, v.d);
    v.b = rotr<r2>(_mm256_xor_si256(v.b, v.c));
}

// Column j then holds diagonal j - 1: (a[j-1], b[j], c[j+1], d[j+2]).
inline void diagonalize(Rows& v)
{
    v.a = _mm256_permute4x64_epi64(v.a, _MM_SHUFFLE(2, 1, 0, 3));
    v.c = _mm256_permute4x64_epi64(v.c, _MM_SHUFFLE(0, 3, 2, 1));
    v.d = _mm256_permute4x64_epi64(v.d, _MM_SHUFFLE(1, 0, 3, 2));
}

inline void undiagonalize(Rows& v)
{
    v.a = _mm256_permute4x64_epi64(v.a, _MM_SHUFFLE(0, 3, 2, 1));
    v.c = _mm256_permute4x64_epi64(v.c, _MM_SHUFFLE(2, 1, 0, 3));
    v.d = _mm256_permute4x64_epi64(v.d, _MM_SHUFFLE(1, 0, 3, 2));
}

// The word that column j takes in one half of G: first = 0 and 1 for the columns, 8 and 9 for
// the diagonals, where column j holds diagonal j - 1.
constexpr int word_index(int first, int j) { return first < 8 ? first + 2 * j : first + 2 * ((j + 3) % 4); }

template <int r, int first> inline __m256i gather(const uint64_t* m)
{
    constexpr const uint32_t* s = blake_sigma[r % 10];
    return _mm256_set_epi64x(
        static_cast<long long>(m[s[word_index(first, 3)]]), static_cast<long long>(m[s[word_index(first, 2)]]),
        static_cast<long long>(m[s[word_index(first, 1)]]), static_cast<long long>(m[s[word_index(first, 0)]]));
}

template <int r> inline void blake2b_round(Rows& v, const uint64_t* m)
{
    half_g<32, 24>(v, gather<r, 0>(m));
    half_g<16, 63>(v, gather<r, 1>(m));
    diagonalize(v);
    half_g<32, 24>(v, gather<r, 8>(m));
    half_g<16, 63>(v, gather<r, 9>(m));
    undiagonalize(v);
}

template <size_t... r> inline void blake2b_rounds(Rows& v, const uint64_t* m, std::index_sequence<r...>)
{
    (blake2b_round<int(r)>(v, m), ...);
}

inline __m256i load(const uint64_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

} // namespace

void blake2b_compress_avx2(uint64_t h[8], const uint8_t* block, uint64_t t0, uint64_t t1, bool last)
{
    uint64_t m[16];
    std::memcpy(m, block, sizeof m);
    const __m256i h0 = load(h), h1 = load(h + 4);
    const __m256i flags = _mm256_set_epi64x(0, last ? -1 : 0, static_cast<long long>(t1), static_cast<long long>(t0));
    Rows v = {h0, h1, load(blake_iv512), _mm256_xor_si256(load(blake_iv512 + 4), flags)};
    blake2b_rounds(v, m, std::make_index_sequence<12>());
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(h), _mm256_xor_si256(h0, _mm256_xor_si256(v.a, v.c)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(h + 4), _mm256_xor_si256(h1, _mm256_xor_si256(v.b, v.d)));
}
