// The round engine shared by the SSSE3 variants of BLAKE and BLAKE2 (blake*_ssse3.cpp): the
// 4x4 work matrix v held by rows, so that one half of G runs on all four columns (or, after
// rotating rows b, c, d, on all four diagonals) at once. Include only in files built with
// -mssse3; everything here is inline.
//
// The two designs share G except for the words added to a: BLAKE2 adds message words, BLAKE
// adds message words XORed with its constants. So the caller gathers the four word vectors of
// a round (columns first half, columns second half, diagonals first half, diagonals second
// half) and the engine applies them with the rotation counts of the design.
#pragma once

#include <tmmintrin.h>

#include <cstdint>

#include "digest/blake/blake_tables.h"

// Internal linkage (the unnamed namespace): an out-of-line copy of a helper, as a build without
// optimisation emits, stays in the file that made it, so that the linker can never pick one
// built with another file's instruction set for a caller here.
namespace blake_rows {
namespace {

// ---- 32-bit words (BLAKE-256, BLAKE2s): one XMM register per row ----

template <int n> inline __m128i rotr32(__m128i x)
{
    if (n == 16)
        return _mm_shuffle_epi8(
            x, _mm_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13));
    if (n == 8)
        return _mm_shuffle_epi8(
            x, _mm_setr_epi8(1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12));
    return _mm_or_si128(_mm_srli_epi32(x, n), _mm_slli_epi32(x, 32 - n));
}

struct Rows32 {
    __m128i a, b, c, d;
};

// a += b + w; d = (d ^ a) >>> r1; c += d; b = (b ^ c) >>> r2, on all four columns. The chain
// through b, d, c, b is what limits the speed, so a + w is added before b, which comes last.
template <int r1, int r2> inline void half_g(Rows32& v, __m128i w)
{
    v.a = _mm_add_epi32(_mm_add_epi32(v.a, w), v.b);
    v.d = rotr32<r1>(_mm_xor_si128(v.d, v.a));
    v.c = _mm_add_epi32(v.c, v.d);
    v.b = rotr32<r2>(_mm_xor_si128(v.b, v.c));
}

// Turns the diagonals into columns: column j then holds diagonal j - 1, (a[j-1], b[j], c[j+1],
// d[j+2]). Row b stays in place because it is computed last, so the shuffles of a, c and d run
// beside the chain instead of in it. undiagonalize reverses it.
inline void diagonalize(Rows32& v)
{
    v.a = _mm_shuffle_epi32(v.a, _MM_SHUFFLE(2, 1, 0, 3));
    v.c = _mm_shuffle_epi32(v.c, _MM_SHUFFLE(0, 3, 2, 1));
    v.d = _mm_shuffle_epi32(v.d, _MM_SHUFFLE(1, 0, 3, 2));
}

inline void undiagonalize(Rows32& v)
{
    v.a = _mm_shuffle_epi32(v.a, _MM_SHUFFLE(0, 3, 2, 1));
    v.c = _mm_shuffle_epi32(v.c, _MM_SHUFFLE(2, 1, 0, 3));
    v.d = _mm_shuffle_epi32(v.d, _MM_SHUFFLE(1, 0, 3, 2));
}

// The index into sigma_r of the word that column j takes in one half of G: first = 0 and 1 for
// the columns, 8 and 9 for the diagonals, where column j holds diagonal j - 1.
constexpr int word_index(int first, int j)
{
    return first < 8 ? first + 2 * j : first + 2 * ((j + 3) % 4);
}

// The four words one half of G takes in round r, column 0 first.
template <int r, int first> inline __m128i gather32(const uint32_t* words)
{
    constexpr const uint32_t* s = blake_sigma[r % 10];
    return _mm_set_epi32(int(words[s[word_index(first, 3)]]), int(words[s[word_index(first, 2)]]),
                         int(words[s[word_index(first, 1)]]), int(words[s[word_index(first, 0)]]));
}

template <int r1, int r2, int r3, int r4>
inline void round32(Rows32& v, __m128i w0, __m128i w1, __m128i w2, __m128i w3)
{
    half_g<r1, r2>(v, w0);
    half_g<r3, r4>(v, w1);
    diagonalize(v);
    half_g<r1, r2>(v, w2);
    half_g<r3, r4>(v, w3);
    undiagonalize(v);
}

// ---- 64-bit words (BLAKE-512, BLAKE2b): two XMM registers per row, lo = words 0 and 1 ----

template <int n> inline __m128i rotr64(__m128i x)
{
    if (n == 32)
        return _mm_shuffle_epi32(x, _MM_SHUFFLE(2, 3, 0, 1));
    if (n == 24)
        return _mm_shuffle_epi8(
            x, _mm_setr_epi8(3, 4, 5, 6, 7, 0, 1, 2, 11, 12, 13, 14, 15, 8, 9, 10));
    if (n == 16)
        return _mm_shuffle_epi8(
            x, _mm_setr_epi8(2, 3, 4, 5, 6, 7, 0, 1, 10, 11, 12, 13, 14, 15, 8, 9));
    if (n == 63)
        return _mm_or_si128(_mm_srli_epi64(x, 63), _mm_add_epi64(x, x));
    return _mm_or_si128(_mm_srli_epi64(x, n), _mm_slli_epi64(x, 64 - n));
}

struct Row64 {
    __m128i lo, hi;
};

struct Rows64 {
    Row64 a, b, c, d;
};

inline Row64 add64(Row64 x, Row64 y)
{
    return {_mm_add_epi64(x.lo, y.lo), _mm_add_epi64(x.hi, y.hi)};
}

template <int n> inline Row64 xor_rotr64(Row64 x, Row64 y)
{
    return {rotr64<n>(_mm_xor_si128(x.lo, y.lo)), rotr64<n>(_mm_xor_si128(x.hi, y.hi))};
}

template <int r1, int r2> inline void half_g(Rows64& v, Row64 w)
{
    v.a = add64(add64(v.a, w), v.b);
    v.d = xor_rotr64<r1>(v.d, v.a);
    v.c = add64(v.c, v.d);
    v.b = xor_rotr64<r2>(v.b, v.c);
}

// As for 32-bit rows. Row d moves by two words, which only swaps its registers; rows a and c
// move by one, an ALIGNR across the row's two registers each.
inline void diagonalize(Rows64& v)
{
    const Row64 a = v.a, c = v.c;
    v.a = {_mm_alignr_epi8(a.lo, a.hi, 8), _mm_alignr_epi8(a.hi, a.lo, 8)};
    v.c = {_mm_alignr_epi8(c.hi, c.lo, 8), _mm_alignr_epi8(c.lo, c.hi, 8)};
    v.d = {v.d.hi, v.d.lo};
}

inline void undiagonalize(Rows64& v)
{
    const Row64 a = v.a, c = v.c;
    v.a = {_mm_alignr_epi8(a.hi, a.lo, 8), _mm_alignr_epi8(a.lo, a.hi, 8)};
    v.c = {_mm_alignr_epi8(c.lo, c.hi, 8), _mm_alignr_epi8(c.hi, c.lo, 8)};
    v.d = {v.d.hi, v.d.lo};
}

inline __m128i pair64(uint64_t low, uint64_t high)
{
    return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

template <int r, int first> inline Row64 gather64(const uint64_t* words)
{
    constexpr const uint32_t* s = blake_sigma[r % 10];
    return {pair64(words[s[word_index(first, 0)]], words[s[word_index(first, 1)]]),
            pair64(words[s[word_index(first, 2)]], words[s[word_index(first, 3)]])};
}

template <int r1, int r2, int r3, int r4>
inline void round64(Rows64& v, Row64 w0, Row64 w1, Row64 w2, Row64 w3)
{
    half_g<r1, r2>(v, w0);
    half_g<r3, r4>(v, w1);
    diagonalize(v);
    half_g<r1, r2>(v, w2);
    half_g<r3, r4>(v, w3);
    undiagonalize(v);
}

inline Row64 load_row64(const uint64_t* p)
{
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2))};
}

inline void store_row64(uint64_t* p, Row64 x)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x.lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 2), x.hi);
}

inline Row64 xor64(Row64 x, Row64 y)
{
    return {_mm_xor_si128(x.lo, y.lo), _mm_xor_si128(x.hi, y.hi)};
}

} // namespace
} // namespace blake_rows
