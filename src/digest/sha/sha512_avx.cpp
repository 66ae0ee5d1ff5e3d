// SHA-384/512 blocks function for x86-64 with AVX and BMI2: the rounds on native 64-bit words in
// general registers (BMI2's RORX rotates without a copy), the message schedule two words at a
// time in vector registers (AVX's three-operand forms spare the copies), so that the two run
// side by side on different execution units; many blocks per call, the chaining value kept.
//
// FIPS 180-4 section 6.4.2. The schedule words live in eight registers as pairs (W[2i],
// W[2i+1]) of a sixteen-word ring; each pair of rounds reads W[t] + K[t] from a small memory
// ring, and the pair sixteen words on is formed meanwhile and stored in the slot just read.
#include <immintrin.h>

#include <utility>

#include "digest/sha/sha_variants.h"

#if defined(__x86_64__)

namespace {

// Local rather than bytes.h's: an inline function shared with other files could be emitted
// here with this file's instructions and then be used by the portable code.
inline uint64_t rotr(uint64_t x, unsigned n) { return x >> n | x << (64 - n); }

// FIPS 180-4 section 4.1.3, on one 64-bit word.
inline uint64_t big_sigma0(uint64_t x) { return rotr(x, 28) ^ rotr(x, 34) ^ rotr(x, 39); }
inline uint64_t big_sigma1(uint64_t x) { return rotr(x, 14) ^ rotr(x, 18) ^ rotr(x, 41); }

// The same section's small sigmas on two words at once. The rotation by 8 is a byte rotation.
template <int N> inline __m128i rotr(__m128i x)
{
    return _mm_or_si128(_mm_srli_epi64(x, N), _mm_slli_epi64(x, 64 - N));
}

inline __m128i small_sigma0(__m128i x)
{
    const __m128i rotr8 = _mm_set_epi8(8, 15, 14, 13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1);
    return _mm_xor_si128(_mm_xor_si128(rotr<1>(x), _mm_shuffle_epi8(x, rotr8)),
                         _mm_srli_epi64(x, 7));
}

inline __m128i small_sigma1(__m128i x)
{
    return _mm_xor_si128(_mm_xor_si128(rotr<19>(x), rotr<61>(x)), _mm_srli_epi64(x, 6));
}

struct Sha512Work {
    uint64_t v[8];               // working words; round R finds a at v[(0 - R) & 7]
    __m128i w[8];                // schedule pairs, ring of sixteen words
    alignas(16) uint64_t wk[16]; // W[t] + K[t] for the next sixteen rounds
};

// Round R on the working words as they have slid R places (section 6.4.2 step 3).
template <int R> [[gnu::always_inline]] inline void round(uint64_t* v, uint64_t wk)
{
    uint64_t a = v[(0 - R) & 7], b = v[(1 - R) & 7], c = v[(2 - R) & 7];
    uint64_t e = v[(4 - R) & 7], f = v[(5 - R) & 7], g = v[(6 - R) & 7];
    uint64_t& d = v[(3 - R) & 7];
    uint64_t& h = v[(7 - R) & 7];
    // Ch and Maj of section 4.1.3, Maj as ((a ^ b) & (b ^ c)) ^ b. T1 = h + W + K + Ch + S1(e)
    // is summed with S1, the deepest term, last, so that the new e (d + T1) and a (T1 + T2)
    // each wait for it one addition only.
    const uint64_t early = (h + wk) + (g ^ (e & (f ^ g)));
    const uint64_t s1 = big_sigma1(e);
    d = (d + early) + s1;
    h = (early + (big_sigma0(a) + (((a ^ b) & (b ^ c)) ^ b))) + s1;
}

// W[t], W[t+1] for t >= 16 from the ring, where pair I holds W[t-16], W[t-15].
template <int I> [[gnu::always_inline]] inline __m128i next_pair(const __m128i* w)
{
    const __m128i back15 = _mm_alignr_epi8(w[(I + 1) & 7], w[I], 8);
    const __m128i back7 = _mm_alignr_epi8(w[(I + 5) & 7], w[(I + 4) & 7], 8);
    return _mm_add_epi64(_mm_add_epi64(w[I], small_sigma0(back15)),
                         _mm_add_epi64(back7, small_sigma1(w[(I + 7) & 7])));
}

// Rounds 2S and 2S+1, then (before the last sixteen rounds) the words sixteen on.
template <int S> [[gnu::always_inline]] inline void step(Sha512Work& s)
{
    constexpr int i = S & 7;
    round<2 * S>(s.v, s.wk[2 * i]);
    round<2 * S + 1>(s.v, s.wk[2 * i + 1]);
    if constexpr (S < 32) {
        s.w[i] = next_pair<i>(s.w);
        const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sha512_k + 2 * S + 16));
        _mm_store_si128(reinterpret_cast<__m128i*>(s.wk + 2 * i), _mm_add_epi64(s.w[i], k));
    }
}

template <int... S>
[[gnu::always_inline]] inline void all_steps(Sha512Work& s, std::integer_sequence<int, S...>)
{
    (step<S>(s), ...);
}

} // namespace

void sha512_blocks_avx(uint64_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks)
{
    const __m128i swap = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    uint64_t h[8];
    for (int j = 0; j < 8; ++j)
        h[j] = state[j];
    for (uint32_t b = 0; b < blocks; ++b, data += 128) {
        Sha512Work s;
        for (int i = 0; i < 8; ++i) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + 16 * i), bytes);
            s.w[i] = _mm_shuffle_epi8(bytes, swap);
            const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sha512_k + 2 * i));
            _mm_store_si128(reinterpret_cast<__m128i*>(s.wk + 2 * i), _mm_add_epi64(s.w[i], k));
        }
        for (int j = 0; j < 8; ++j)
            s.v[j] = h[j];
        all_steps(s, std::make_integer_sequence<int, 40>());
        for (int j = 0; j < 8; ++j)
            h[j] += s.v[j];
    }
    for (int j = 0; j < 8; ++j)
        state[j] = h[j];
}

#endif
