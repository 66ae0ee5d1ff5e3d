// The round engine shared by the AVX2 variants of BLAKE-512 and BLAKE2b (blake*_avx2.cpp): the
// 4x4 matrix of 64-bit words held by rows, one YMM register per row, as blake_rows_ssse3.h does
// with XMM registers (see there for the order of the additions, the diagonals and the gathers).
// Include only in files built with -mavx2; everything here is inline.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "digest/blake/blake_tables.h"

// Internal linkage (the unnamed namespace): an out-of-line copy of a helper, as a build without
// optimisation emits, stays in the file that made it, so that the linker can never pick one
// built with another file's instruction set for a caller here.
namespace blake_rows_avx2 {
namespace {

struct Rows {
    __m256i a, b, c, d;
};

template <int n> inline __m256i rotr(__m256i x)
{
    if (n == 32)
        return _mm256_shuffle_epi32(x, _MM_SHUFFLE(2, 3, 0, 1));
    if (n == 24)
        return _mm256_shuffle_epi8(x, _mm256_setr_epi8(3, 4, 5, 6, 7, 0, 1, 2, 11, 12, 13, 14, 15,
                                                       8, 9, 10, 3, 4, 5, 6, 7, 0, 1, 2, 11, 12, 13,
                                                       14, 15, 8, 9, 10));
    if (n == 16)
        return _mm256_shuffle_epi8(x, _mm256_setr_epi8(2, 3, 4, 5, 6, 7, 0, 1, 10, 11, 12, 13, 14,
                                                       15, 8, 9, 2, 3, 4, 5, 6, 7, 0, 1, 10, 11, 12,
                                                       13, 14, 15, 8, 9));
    if (n == 63)
        return _mm256_or_si256(_mm256_srli_epi64(x, 63), _mm256_add_epi64(x, x));
    return _mm256_or_si256(_mm256_srli_epi64(x, n), _mm256_slli_epi64(x, 64 - n));
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
constexpr int word_index(int first, int j)
{
    return first < 8 ? first + 2 * j : first + 2 * ((j + 3) % 4);
}

inline long long as_ll(uint64_t x) { return static_cast<long long>(x); }

template <int r, int first> inline __m256i gather(const uint64_t* words)
{
    constexpr const uint32_t* s = blake_sigma[r % 10];
    return _mm256_set_epi64x(
        as_ll(words[s[word_index(first, 3)]]), as_ll(words[s[word_index(first, 2)]]),
        as_ll(words[s[word_index(first, 1)]]), as_ll(words[s[word_index(first, 0)]]));
}

template <int r1, int r2, int r3, int r4>
inline void round(Rows& v, __m256i w0, __m256i w1, __m256i w2, __m256i w3)
{
    half_g<r1, r2>(v, w0);
    half_g<r3, r4>(v, w1);
    diagonalize(v);
    half_g<r1, r2>(v, w2);
    half_g<r3, r4>(v, w3);
    undiagonalize(v);
}

inline __m256i load(const uint64_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

inline void store(uint64_t* p, __m256i x) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x); }

} // namespace
} // namespace blake_rows_avx2
