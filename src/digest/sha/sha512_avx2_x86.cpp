// SHA-384/512 blocks function for 32-bit x86 with AVX2. With only eight vector registers and no
// 64-bit general registers, the rounds keep the eight working words as four pairs in four XMM
// registers, (e,a), (f,b), (g,c) and (h,d). After a round every pair just moves one place on
// ((f,b) takes the old (e,a), and so on), so a round computes one new pair: (e,a) from
// T1 and T2, each in its own lane.
//
// FIPS 180-4 section 6.4.2. The message schedule of two blocks is formed first, one block in
// each 128-bit half of a YMM register (the in-lane shuffles and shifts of AVX2 keep the two
// apart), as an array of W[t] + K[t] per block; then the rounds of each block in turn. Many
// blocks per call, the chaining value kept in registers.
#include <immintrin.h>

#include <utility>

#include "digest/sha/sha_variants.h"

#if !defined(__x86_64__)

namespace {

// FIPS 180-4 section 4.1.3, the small sigmas on two words of each of two blocks. The rotation
// by 8 is a byte shuffle.
template <int N> inline __m256i rotr(__m256i x)
{
    return _mm256_or_si256(_mm256_srli_epi64(x, N), _mm256_slli_epi64(x, 64 - N));
}

inline __m256i small_sigma0(__m256i x)
{
    const __m256i rotr8 = _mm256_set_epi8(8, 15, 14, 13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1, 8,
                                          15, 14, 13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1);
    return _mm256_xor_si256(_mm256_xor_si256(rotr<1>(x), _mm256_shuffle_epi8(x, rotr8)),
                            _mm256_srli_epi64(x, 7));
}

inline __m256i small_sigma1(__m256i x)
{
    return _mm256_xor_si256(_mm256_xor_si256(rotr<19>(x), rotr<61>(x)), _mm256_srli_epi64(x, 6));
}

// W[t] + K[t], t = 0..79, of the blocks at a and b. w[i] holds W[2i], W[2i+1] of a in its low
// half and of b in its high half; for t >= 16 the pair at t needs the pairs 8, 7, 4 and 3 places
// back, straddled (VPALIGNR, within each half) where the words are odd places back.
void schedule(const uint8_t* a, const uint8_t* b, uint64_t* wk_a, uint64_t* wk_b)
{
    const __m256i swap = _mm256_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,
                                         10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    __m256i w[40];
    for (int i = 0; i < 40; ++i) {
        if (i < 8) {
            const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * i));
            const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * i));
            w[i] = _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1),
                                       swap);
        } else {
            w[i] = _mm256_add_epi64(
                _mm256_add_epi64(w[i - 8], small_sigma0(_mm256_alignr_epi8(w[i - 7], w[i - 8], 8))),
                _mm256_add_epi64(_mm256_alignr_epi8(w[i - 3], w[i - 4], 8),
                                 small_sigma1(w[i - 1])));
        }
        const __m256i k = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(sha512_k + 2 * i)));
        const __m256i sum = _mm256_add_epi64(w[i], k);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wk_a + 2 * i), _mm256_castsi256_si128(sum));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wk_b + 2 * i),
                         _mm256_extracti128_si256(sum, 1));
    }
}

// Sigma1(e) in the low lane and Sigma0(a) in the high lane of (e,a) (section 4.1.3): e rotated
// right by 14, 18 and 41, a by 28, 34 and 39, so each rotation has a count of its own per lane.
// Shifts by an immediate run on one execution unit of this processor, one a cycle, and
// AVX2's shifts by a count per lane take two cycles each; so the three rotations go to three
// different units, to keep them off each other's way:
// - (18 | 34) is a byte rotation (VPSHUFB, by 2 and by 4 bytes) and then 2 bits, the same in
//   both lanes, with immediate shifts;
// - (14 | 28) and (41 | 39) with the multiplier. VPMULUDQ of the low half `lo` of a word by 2^s
//   gives lo rotated left by s across the two halves; with the halves of x swapped, the same
//   product of the high half, swapped back, fills in the rest: for s < 32,
//   rotl(x, s) = mul(x, 2^s) ^ swap(mul(swap(x), 2^s)), and for s >= 32 the same with x and
//   swap(x) exchanged and s - 32. Right by 14 and 28 is left by 50 and 36 (both >= 32), right
//   by 41 and 39 left by 23 and 25 (both < 32), so the swapped parts of both are XORed first and
//   swapped back once.
inline __m128i big_sigmas(__m128i x)
{
    const __m128i bytes_2_4 = _mm_set_epi8(11, 10, 9, 8, 15, 14, 13, 12, 1, 0, 7, 6, 5, 4, 3, 2);
    const __m128i y = _mm_shuffle_epi8(x, bytes_2_4);
    const __m128i rot_18_34 = _mm_xor_si128(_mm_srli_epi64(y, 2), _mm_slli_epi64(y, 62));
    const __m128i swapped = _mm_shuffle_epi32(x, 0xB1);
    const __m128i left_50_36 = _mm_set_epi64x(1LL << (36 - 32), 1LL << (50 - 32));
    const __m128i left_23_25 = _mm_set_epi64x(1LL << 25, 1LL << 23);
    const __m128i straight =
        _mm_xor_si128(_mm_mul_epu32(swapped, left_50_36), _mm_mul_epu32(x, left_23_25));
    const __m128i to_swap =
        _mm_xor_si128(_mm_mul_epu32(x, left_50_36), _mm_mul_epu32(swapped, left_23_25));
    return _mm_xor_si128(_mm_xor_si128(rot_18_34, straight), _mm_shuffle_epi32(to_swap, 0xB1));
}

// Round R with the pairs as they have moved R places: (e,a) at v[(0 - R) & 3]. `diff` holds
// (e^f, a^b) of the round before, which are (f^g, b^c) now.
//
// Ch(e,f,g) = (e & (f^g)) ^ g and Maj(a,b,c) = (a & (b^c)) ^ (b & c), so one AND of (e,a) with
// diff, XORed with (g, b&c), gives (Ch, Maj); with h + W[t] + K[t] added to the low lane it is
// (t, u), and with the Sigmas (T1, T2). The new (e,a) is (T1 + d, T1 + T2). The Sigmas come
// last, on the longest path, so everything else is summed before them: (t + d, t + u), with d
// taken from (h,d) by one VPALIGNR; then the Sigmas are added, and Sigma1(e) once more to the
// high lane alone (shifted there by VPSLLDQ).
template <int R>
[[gnu::always_inline]] inline void round(__m128i* v, __m128i& diff, const uint64_t* wk)
{
    const __m128i ea = v[(0 - R) & 3], fb = v[(1 - R) & 3], gc = v[(2 - R) & 3];
    __m128i& hd = v[(3 - R) & 3];
    const __m128i g_bc = _mm_blend_epi32(gc, _mm_and_si128(fb, gc), 0xC);
    const __m128i ch_maj = _mm_xor_si128(_mm_and_si128(ea, diff), g_bc);
    diff = _mm_xor_si128(ea, fb);
    const __m128i hk = _mm_add_epi64(_mm_move_epi64(hd),
                                     _mm_loadl_epi64(reinterpret_cast<const __m128i*>(wk + R)));
    const __m128i t_u = _mm_add_epi64(ch_maj, hk);
    const __m128i sums = _mm_add_epi64(t_u, _mm_alignr_epi8(t_u, hd, 8));
    const __m128i sigmas = big_sigmas(ea);
    hd = _mm_add_epi64(_mm_add_epi64(sigmas, sums), _mm_slli_si128(sigmas, 8));
}

template <int... R>
[[gnu::always_inline]] inline void rounds(__m128i* v, __m128i& diff, const uint64_t* wk,
                                          std::integer_sequence<int, R...>)
{
    (round<R>(v, diff, wk), ...);
}

// The 80 rounds of one block on the state pairs, then the chaining addition.
inline void compress(__m128i* state, const uint64_t* wk)
{
    __m128i v[4] = {state[0], state[1], state[2], state[3]};
    __m128i diff = _mm_xor_si128(v[1], v[2]);
    for (int p = 0; p < 5; ++p)
        rounds(v, diff, wk + 16 * p, std::make_integer_sequence<int, 16>());
    for (int j = 0; j < 4; ++j)
        state[j] = _mm_add_epi64(state[j], v[j]);
}

inline void copy_block(uint8_t* to, const uint8_t* from)
{
    for (int i = 0; i < 8; ++i)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16 * i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * i)));
}

} // namespace

void sha512_blocks_avx2_x86(uint64_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks)
{
    // The pairs (e,a), (f,b), (g,c), (h,d): word j + 4 low, word j high.
    __m128i pairs[4];
    for (int j = 0; j < 4; ++j)
        pairs[j] =
            _mm_set_epi64x(static_cast<long long>(state[j]), static_cast<long long>(state[j + 4]));
    alignas(16) uint64_t wk[2][80];
    for (; blocks > 0; blocks -= blocks >= 2 ? 2 : 1, data += 256) {
        // The last of an odd number of blocks is scheduled beside itself.
        const uint8_t* second = blocks >= 2 ? data + 128 : data;
        schedule(data, second, wk[0], wk[1]);
        copy_block(buffer, data);
        compress(pairs, wk[0]);
        if (blocks >= 2) {
            copy_block(buffer, second);
            compress(pairs, wk[1]);
        }
    }
    for (int j = 0; j < 4; ++j) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(state + j + 4), pairs[j]);
        _mm_storeh_pd(reinterpret_cast<double*>(state + j), _mm_castsi128_pd(pairs[j]));
    }
}

#endif
