// SHA-384/512 block function on native 64-bit words, for x86-64 builds.
//
// The portable code works on 32-bit halves so that the 32-bit build has 32-bit arithmetic; on
// x86-64 the same compression in 64-bit registers needs half the instructions. It is plain
// C++ with no instruction set of its own: Sha512 selects it by cpu_sse2, which every x86-64
// processor has, so the limit for tests can still force the portable code.
//
// FIPS 180-4 section 6.4.2: the schedule is kept as a ring of sixteen words, each extended in
// place just before its round; the eight working words rotate through the arguments of
// round() instead of being shuffled.
#include "digest/bytes.h"
#include "digest/sha/sha_variants.h"

#if defined(__x86_64__)

namespace {

// FIPS 180-4 section 4.1.3.
inline uint64_t big_sigma0(uint64_t x) { return rotr64(x, 28) ^ rotr64(x, 34) ^ rotr64(x, 39); }
inline uint64_t big_sigma1(uint64_t x) { return rotr64(x, 14) ^ rotr64(x, 18) ^ rotr64(x, 41); }
inline uint64_t small_sigma0(uint64_t x) { return rotr64(x, 1) ^ rotr64(x, 8) ^ (x >> 7); }
inline uint64_t small_sigma1(uint64_t x) { return rotr64(x, 19) ^ rotr64(x, 61) ^ (x >> 6); }

inline void round(uint64_t a, uint64_t b, uint64_t c, uint64_t& d, uint64_t e, uint64_t f,
                  uint64_t g, uint64_t& h, uint64_t kw)
{
    // Maj as ((a ^ b) & (b ^ c)) ^ b; h + W + K first, as it does not wait for e.
    const uint64_t t1 = ((h + kw) + (g ^ (e & (f ^ g)))) + big_sigma1(e);
    d += t1;
    h = t1 + big_sigma0(a) + (((a ^ b) & (b ^ c)) ^ b);
}

// W[t] for t >= 16 over W[t-16], which it replaces in the ring.
inline uint64_t extend(uint64_t* w, int i)
{
    w[i] += small_sigma1(w[(i + 14) & 15]) + w[(i + 9) & 15] + small_sigma0(w[(i + 1) & 15]);
    return w[i];
}

// Eight rounds from round t on; the ring words are extended first when t >= 16.
template <bool Extend> inline void eight_rounds(uint64_t* v, uint64_t* w, int t)
{
    const int i = t & 15;
    auto word = [&](int j) { return Extend ? extend(w, i + j) : w[i + j]; };
    round(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], sha512_k[t] + word(0));
    round(v[7], v[0], v[1], v[2], v[3], v[4], v[5], v[6], sha512_k[t + 1] + word(1));
    round(v[6], v[7], v[0], v[1], v[2], v[3], v[4], v[5], sha512_k[t + 2] + word(2));
    round(v[5], v[6], v[7], v[0], v[1], v[2], v[3], v[4], sha512_k[t + 3] + word(3));
    round(v[4], v[5], v[6], v[7], v[0], v[1], v[2], v[3], sha512_k[t + 4] + word(4));
    round(v[3], v[4], v[5], v[6], v[7], v[0], v[1], v[2], sha512_k[t + 5] + word(5));
    round(v[2], v[3], v[4], v[5], v[6], v[7], v[0], v[1], sha512_k[t + 6] + word(6));
    round(v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[0], sha512_k[t + 7] + word(7));
}

} // namespace

void sha512_block_x64(uint64_t* state, const uint8_t* block)
{
    uint64_t w[16];
    for (int t = 0; t < 16; ++t)
        w[t] = load_be64(block + 8 * t);
    uint64_t v[8];
    for (int j = 0; j < 8; ++j)
        v[j] = state[j];
    eight_rounds<false>(v, w, 0);
    eight_rounds<false>(v, w, 8);
    // Unrolled, the ring indexes become constants and the ring stays in registers.
#pragma GCC unroll 8
    for (int t = 16; t < 80; t += 8)
        eight_rounds<true>(v, w, t);
    for (int j = 0; j < 8; ++j)
        state[j] += v[j];
}

#endif
