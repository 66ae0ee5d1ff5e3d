// SHA-384/512 blocks function for 32-bit x86 with AVX-512 F and VL: every 64-bit word in the
// low lane of an XMM register, as in the SSE2 variant, but a rotation is one VPRORQ instead of
// two shifts and an OR, a three-way XOR one VPTERNLOGQ, and Ch and Maj are one VPTERNLOGQ
// each: a round is about half the instructions, and its longest path (Sigma1 of e into the new
// e) three of them instead of seven. The state stays in registers from block to block.
//
// FIPS 180-4 section 6.4.2: the message schedule first, two words per register, into an array
// of W[t] + K[t]; then the rounds.
#include <immintrin.h>

#include <cstring>
#include <utility>

#include "digest/sha/sha_variants.h"

namespace {

// Truth tables of VPTERNLOGQ over (a, b, c) with a = 0xF0, b = 0xCC, c = 0xAA.
const int xor3 = 0x96;     // a ^ b ^ c
const int choose = 0xCA;   // a ? b : c (FIPS 180-4 Ch(x, y, z))
const int majority = 0xE8; // at least two of a, b, c (Maj)

[[gnu::always_inline]] inline __m128i xor_of_three(__m128i a, __m128i b, __m128i c)
{
    return _mm_ternarylogic_epi64(a, b, c, xor3);
}

// FIPS 180-4 section 4.1.3.
[[gnu::always_inline]] inline __m128i big_sigma0(__m128i x)
{
    return xor_of_three(_mm_ror_epi64(x, 28), _mm_ror_epi64(x, 34), _mm_ror_epi64(x, 39));
}
[[gnu::always_inline]] inline __m128i big_sigma1(__m128i x)
{
    return xor_of_three(_mm_ror_epi64(x, 14), _mm_ror_epi64(x, 18), _mm_ror_epi64(x, 41));
}
[[gnu::always_inline]] inline __m128i small_sigma0(__m128i x)
{
    return xor_of_three(_mm_ror_epi64(x, 1), _mm_ror_epi64(x, 8), _mm_srli_epi64(x, 7));
}
[[gnu::always_inline]] inline __m128i small_sigma1(__m128i x)
{
    return xor_of_three(_mm_ror_epi64(x, 19), _mm_ror_epi64(x, 61), _mm_srli_epi64(x, 6));
}

// Two big-endian words from memory, each byte-reversed in its half.
[[gnu::always_inline]] inline __m128i load_be_pair(const uint8_t* p)
{
    const __m128i reverse = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), reverse);
}

// The high word of a and the low word of b.
[[gnu::always_inline]] inline __m128i straddle(__m128i a, __m128i b)
{
    return _mm_alignr_epi8(b, a, 8);
}

// W[t] + K[t] for t = 0..79; w[i] holds W[2i], W[2i+1], so for t >= 16 the pair at t needs the
// pairs 8, 7 and 4 places back, straddled where the words are odd places back.
[[gnu::always_inline]] inline void schedule(const uint8_t* block, __m128i* wk)
{
    __m128i w[40];
    for (int i = 0; i < 8; ++i)
        w[i] = load_be_pair(block + 16 * i);
    for (int i = 8; i < 40; ++i)
        w[i] = _mm_add_epi64(_mm_add_epi64(w[i - 8], small_sigma0(straddle(w[i - 8], w[i - 7]))),
                             _mm_add_epi64(straddle(w[i - 4], w[i - 3]), small_sigma1(w[i - 1])));
    for (int i = 0; i < 40; ++i)
        wk[i] = _mm_add_epi64(w[i],
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(sha512_k + 2 * i)));
}

// Round R on the working words as they have slid R places: a at v[(0 - R) & 7].
template <int R> [[gnu::always_inline]] inline void round(__m128i* v, __m128i wk)
{
    const __m128i a = v[(0 - R) & 7], b = v[(1 - R) & 7], c = v[(2 - R) & 7];
    const __m128i e = v[(4 - R) & 7], f = v[(5 - R) & 7], g = v[(6 - R) & 7];
    __m128i& d = v[(3 - R) & 7];
    __m128i& h = v[(7 - R) & 7];
    const __m128i t1 =
        _mm_add_epi64(_mm_add_epi64(_mm_add_epi64(h, wk), _mm_ternarylogic_epi64(e, f, g, choose)),
                      big_sigma1(e));
    d = _mm_add_epi64(d, t1);
    h = _mm_add_epi64(t1, _mm_add_epi64(big_sigma0(a), _mm_ternarylogic_epi64(a, b, c, majority)));
}

// Sixteen rounds from round 16 * P on, reading the low and the high words of eight pairs.
template <int... R>
[[gnu::always_inline]] inline void sixteen_rounds(__m128i* v, const __m128i* wk,
                                                  std::integer_sequence<int, R...>)
{
    (round<R>(v, R % 2 == 0 ? wk[R / 2] : _mm_unpackhi_epi64(wk[R / 2], wk[R / 2])), ...);
}

} // namespace

void sha512_blocks_avx512_x86(uint64_t* state, uint8_t* buffer, const uint8_t* data,
                              uint32_t blocks)
{
    __m128i v[8];
    for (int j = 0; j < 8; ++j)
        v[j] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + j));
    for (uint32_t n = 0; n < blocks; ++n) {
        if (buffer != data + 128 * n)
            std::memcpy(buffer, data + 128 * n, 128);
        __m128i wk[40];
        schedule(buffer, wk);
        __m128i before[8];
        for (int j = 0; j < 8; ++j)
            before[j] = v[j];
        for (int p = 0; p < 5; ++p)
            sixteen_rounds(v, wk + 8 * p, std::make_integer_sequence<int, 16>());
        for (int j = 0; j < 8; ++j)
            v[j] = _mm_add_epi64(before[j], v[j]);
    }
    for (int j = 0; j < 8; ++j)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(state + j), v[j]);
}
