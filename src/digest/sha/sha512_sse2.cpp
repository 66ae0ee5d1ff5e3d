// SHA-384/512 block function for 32-bit x86 with SSE2: the 64-bit words of the whole
// compression in SSE registers, where one instruction adds, shifts or combines a 64-bit word;
// the portable code needs two to four 32-bit instructions and carries for each (and GCC never
// moves 64-bit integer arithmetic into SSE registers by itself on this target).
//
// FIPS 180-4 section 6.4.2: the message schedule first, two words per register, into an
// array of W[t] + K[t]; then the rounds, each working word in the low half of a register.
#include <emmintrin.h>

#include <utility>

#include "digest/sha/sha_variants.h"

namespace {

template <int N> inline __m128i rotr(__m128i x)
{
    return _mm_xor_si128(_mm_srli_epi64(x, N), _mm_slli_epi64(x, 64 - N));
}

// FIPS 180-4 section 4.1.3.
inline __m128i big_sigma0(__m128i x)
{
    return _mm_xor_si128(_mm_xor_si128(rotr<28>(x), rotr<34>(x)), rotr<39>(x));
}
inline __m128i big_sigma1(__m128i x)
{
    return _mm_xor_si128(_mm_xor_si128(rotr<14>(x), rotr<18>(x)), rotr<41>(x));
}
inline __m128i small_sigma0(__m128i x)
{
    return _mm_xor_si128(_mm_xor_si128(rotr<1>(x), rotr<8>(x)), _mm_srli_epi64(x, 7));
}
inline __m128i small_sigma1(__m128i x)
{
    return _mm_xor_si128(_mm_xor_si128(rotr<19>(x), rotr<61>(x)), _mm_srli_epi64(x, 6));
}

// Two big-endian words from memory: bytes swapped in each 16-bit unit, then the four units of
// each 64-bit half reversed.
inline __m128i load_be_pair(const uint8_t* p)
{
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    x = _mm_or_si128(_mm_srli_epi16(x, 8), _mm_slli_epi16(x, 8));
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0x1B), 0x1B);
}

// The high word of a and the low word of b.
inline __m128i straddle(__m128i a, __m128i b)
{
    return _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(a), _mm_castsi128_pd(b), 1));
}

// W[t] + K[t] for t = 0..79; w[i] holds W[2i], W[2i+1], so for t >= 16 the pair at t needs the
// pairs 8, 7 and 4 places back, straddled where the words are odd places back.
void schedule(const uint8_t* block, __m128i* wk)
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
    const __m128i ch = _mm_xor_si128(g, _mm_and_si128(e, _mm_xor_si128(f, g)));
    const __m128i maj = _mm_xor_si128(_mm_and_si128(_mm_xor_si128(a, b), _mm_xor_si128(b, c)), b);
    const __m128i t1 = _mm_add_epi64(_mm_add_epi64(_mm_add_epi64(h, wk), ch), big_sigma1(e));
    d = _mm_add_epi64(d, t1);
    h = _mm_add_epi64(t1, _mm_add_epi64(big_sigma0(a), maj));
}

// Sixteen rounds from round 16 * P on, reading the low and the high words of eight pairs.
template <int... R>
[[gnu::always_inline]] inline void sixteen_rounds(__m128i* v, const __m128i* wk,
                                                  std::integer_sequence<int, R...>)
{
    (round<R>(v, R % 2 == 0 ? wk[R / 2] : _mm_unpackhi_epi64(wk[R / 2], wk[R / 2])), ...);
}

} // namespace

void sha512_block_sse2(uint64_t* state, const uint8_t* block)
{
    __m128i wk[40];
    schedule(block, wk);
    __m128i v[8];
    for (int j = 0; j < 8; ++j)
        v[j] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + j));
    for (int p = 0; p < 5; ++p)
        sixteen_rounds(v, wk + 8 * p, std::make_integer_sequence<int, 16>());
    for (int j = 0; j < 8; ++j) {
        const __m128i sum =
            _mm_add_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(state + j)), v[j]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(state + j), sum);
    }
}
