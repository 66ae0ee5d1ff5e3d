// SHA-384/512 blocks function for x86-64 with AVX2 and BMI2. The rounds run on native 64-bit
// words in general registers (BMI2's RORX rotates into another register, so the Sigmas need no
// copies); the message schedule runs in vector registers, two blocks at once, one block in
// each 128-bit half of a YMM register (AVX2's in-lane shifts, shuffles and VPALIGNR keep the
// two apart), and stores W[t] + K[t] of both blocks for the rounds to read.
//
// The rounds of a block leave most of the processor's vector units idle (they are on general
// registers and each round waits on the one before), so the schedule of the next two blocks is
// done in steps between the rounds of the current two: one step (two words of each block)
// every five rounds, thirty-two steps over the 160 rounds, which the processor runs out of
// order beside them. The schedule's ring of sixteen words per block stays in eight YMM
// registers all the while.
//
// A round adds, to the sum of h, W + K and Ch (none waits long for e), Sigma1(e) last: the
// path from one round's e to the next is RORX, two XORs and two additions. Maj(a,b,c) is
// ((a ^ b) & (b ^ c)) ^ b, and b ^ c is the a ^ b of the round before, kept in a register.
#include <immintrin.h>

#include <cstring>

#include <utility>

#include "digest/sha/sha_variants.h"

#if defined(__x86_64__)

namespace {

// Local rather than bytes.h's: an inline function shared with other files could be emitted
// here with this file's instructions and then be used by the portable code.
inline uint64_t rotr(uint64_t x, unsigned n) { return x >> n | x << (64 - n); }

inline uint64_t big_sigma0(uint64_t x) { return rotr(x, 28) ^ rotr(x, 34) ^ rotr(x, 39); }
inline uint64_t big_sigma1(uint64_t x) { return rotr(x, 14) ^ rotr(x, 18) ^ rotr(x, 41); }

// The small sigmas on four words at once; the rotation by 8 is a byte shuffle.
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

// The working words, which slide one place a round (round R finds a at v[(0 - R) & 7]), and
// a ^ b of the last round, which is this round's b ^ c.
struct Working {
    uint64_t v[8];
    uint64_t bc;
};

// Round R; W + K at wk.
template <int R> [[gnu::always_inline]] inline void round(Working& s, uint64_t wk)
{
    uint64_t* v = s.v;
    const uint64_t a = v[(0 - R) & 7], b = v[(1 - R) & 7];
    const uint64_t e = v[(4 - R) & 7], f = v[(5 - R) & 7], g = v[(6 - R) & 7];
    uint64_t& d = v[(3 - R) & 7];
    uint64_t& h = v[(7 - R) & 7];
    const uint64_t t1 = ((h + wk) + (g ^ (e & (f ^ g)))) + big_sigma1(e);
    const uint64_t ab = a ^ b;
    const uint64_t t2 = big_sigma0(a) + ((ab & s.bc) ^ b);
    s.bc = ab;
    d += t1;
    h = t1 + t2;
}

// One step of the schedule of two blocks: w[J] holds W[t-16], W[t-15] of each block (the first
// block in the low half) and becomes W[t], W[t+1]; the other seven hold the words between, in
// ring order. W + K (K of t and t + 1 at k) goes to wk.
template <int J>
[[gnu::always_inline]] inline void schedule_step(__m256i* w, const uint64_t* k, uint64_t* wk)
{
    const __m256i back15 = _mm256_alignr_epi8(w[(J + 1) & 7], w[J], 8);
    const __m256i back7 = _mm256_alignr_epi8(w[(J + 5) & 7], w[(J + 4) & 7], 8);
    w[J] = _mm256_add_epi64(_mm256_add_epi64(w[J], small_sigma0(back15)),
                            _mm256_add_epi64(back7, small_sigma1(w[(J + 7) & 7])));
    const __m256i kk =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(k)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(wk), _mm256_add_epi64(w[J], kk));
}

// The layout of W + K of two blocks as the schedule stores it: round t of the first block at
// [4 (t / 2) + t % 2], of the second 2 further on.
constexpr int wk_index(int t) { return 4 * (t / 2) + t % 2; }

// Round T of forty and, with Steps, after every fifth round from the third, a schedule step
// of the next two blocks: K at k, W + K to next_wk.
template <bool Steps, int T>
[[gnu::always_inline]] inline void round_and_step(Working& s, const uint64_t* wk, __m256i* w,
                                                  const uint64_t* k, uint64_t* next_wk)
{
    round<T>(s, wk[wk_index(T)]);
    if constexpr (Steps && T % 5 == 2)
        schedule_step<T / 5>(w, k + 2 * (T / 5), next_wk + 4 * (T / 5));
}

// Forty rounds, W + K from wk (forty rounds bring the working words back to their places), and
// with Steps eight steps of the next two blocks' schedule.
template <bool Steps, int... T>
[[gnu::always_inline]] inline void forty_rounds(Working& s, const uint64_t* wk, __m256i* w,
                                                const uint64_t* k, uint64_t* next_wk,
                                                std::integer_sequence<int, T...>)
{
    (round_and_step<Steps, T>(s, wk, w, k, next_wk), ...);
}

// The sixteen words of the blocks at a (low halves) and b (high), to w, and their W + K.
[[gnu::always_inline]] inline void load_pair(const uint8_t* a, const uint8_t* b, __m256i* w,
                                             uint64_t* wk)
{
    const __m256i swap = _mm256_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,
                                         10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    for (int i = 0; i < 8; ++i) {
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * i));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * i));
        w[i] =
            _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), swap);
        const __m256i k = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(sha512_k + 2 * i)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(wk + 4 * i), _mm256_add_epi64(w[i], k));
    }
}

} // namespace

void sha512_blocks_avx2_x64(uint64_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks)
{
    constexpr auto forty = std::make_integer_sequence<int, 40>();
    // W + K of the two blocks being compressed and of the next two, and the next two's words.
    alignas(32) uint64_t wk[2][160];
    __m256i w[8];
    int current = 0;
    // The last of an odd number of blocks is scheduled beside itself.
    if (blocks > 0) {
        load_pair(data, blocks >= 2 ? data + 128 : data, w, wk[0]);
        for (int i = 8; i < 40; i += 8) {
            schedule_step<0>(w, sha512_k + 2 * i, wk[0] + 4 * i);
            schedule_step<1>(w, sha512_k + 2 * i + 2, wk[0] + 4 * i + 4);
            schedule_step<2>(w, sha512_k + 2 * i + 4, wk[0] + 4 * i + 8);
            schedule_step<3>(w, sha512_k + 2 * i + 6, wk[0] + 4 * i + 12);
            schedule_step<4>(w, sha512_k + 2 * i + 8, wk[0] + 4 * i + 16);
            schedule_step<5>(w, sha512_k + 2 * i + 10, wk[0] + 4 * i + 20);
            schedule_step<6>(w, sha512_k + 2 * i + 12, wk[0] + 4 * i + 24);
            schedule_step<7>(w, sha512_k + 2 * i + 14, wk[0] + 4 * i + 28);
        }
    }
    Working s;
    for (int j = 0; j < 8; ++j)
        s.v[j] = state[j];
    while (blocks > 0) {
        const uint32_t count = blocks >= 2 ? 2 : 1;
        const uint32_t rest = blocks - count;
        const uint8_t* next = data + 128 * count;
        uint64_t* next_wk = wk[current ^ 1];
        if (rest > 0)
            load_pair(next, rest >= 2 ? next + 128 : next, w, next_wk);
        for (uint32_t b = 0; b < count; ++b) {
            std::memcpy(buffer, data + 128 * b, 128);
            s.bc = s.v[1] ^ s.v[2];
            // Steps 8..23 of the next two blocks beside the first block, 24..39 beside the
            // second: forty rounds bring the ring of eight back to its start too.
            for (int r = 0; r < 80; r += 40) {
                const uint64_t* wk_r = wk[current] + 2 * b + 2 * r;
                const int i = 8 + 16 * b + r / 5;
                if (rest > 0)
                    forty_rounds<true>(s, wk_r, w, sha512_k + 2 * i, next_wk + 4 * i, forty);
                else
                    forty_rounds<false>(s, wk_r, w, nullptr, nullptr, forty);
            }
            for (int j = 0; j < 8; ++j)
                s.v[j] = state[j] += s.v[j];
        }
        blocks = rest;
        data = next;
        current ^= 1;
    }
}

#endif
