#include "digest/ripemd/ripemd.h"

#include <utility>

#include "digest/bytes.h"

namespace {

// Initial values as published. RIPEMD-128 uses the first four words of the first table and
// RIPEMD-160 the first five of the second.
const uint32_t initial_256[8] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                 0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567};
const uint32_t initial_320[10] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0,
                                  0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567, 0x3C2D1E0F};

// Additive constants K and K' per round. The left line is the same for every width; the
// right line of the four-round variants ends in 0 where the five-round ones have 7A6D76E9.
constexpr uint32_t left_constants[5] = {0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xA953FD4E};
constexpr uint32_t right_constants_160[5] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x7A6D76E9,
                                             0x00000000};
constexpr uint32_t right_constants_128[4] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x00000000};

// clang-format off
// Message word order r, r' and rotation amounts s, s' of steps 0..79; the four-round
// variants use steps 0..63.
constexpr uint8_t left_word[80] = {
     0,  1,  2,  3,  4,  5,  6,  7,  8,  9, 10, 11, 12, 13, 14, 15,
     7,  4, 13,  1, 10,  6, 15,  3, 12,  0,  9,  5,  2, 14, 11,  8,
     3, 10, 14,  4,  9, 15,  8,  1,  2,  7,  0,  6, 13, 11,  5, 12,
     1,  9, 11, 10,  0,  8, 12,  4, 13,  3,  7, 15, 14,  5,  6,  2,
     4,  0,  5,  9,  7, 12,  2, 10, 14,  1,  3,  8, 11,  6, 15, 13};
constexpr uint8_t right_word[80] = {
     5, 14,  7,  0,  9,  2, 11,  4, 13,  6, 15,  8,  1, 10,  3, 12,
     6, 11,  3,  7,  0, 13,  5, 10, 14, 15,  8, 12,  4,  9,  1,  2,
    15,  5,  1,  3,  7, 14,  6,  9, 11,  8, 12,  2, 10,  0,  4, 13,
     8,  6,  4,  1,  3, 11, 15,  0,  5, 12,  2, 13,  9,  7, 10, 14,
    12, 15, 10,  4,  1,  5,  8,  7,  6,  2, 13, 14,  0,  3,  9, 11};
constexpr uint8_t left_shift[80] = {
    11, 14, 15, 12,  5,  8,  7,  9, 11, 13, 14, 15,  6,  7,  9,  8,
     7,  6,  8, 13, 11,  9,  7, 15,  7, 12, 15,  9, 11,  7, 13, 12,
    11, 13,  6,  7, 14,  9, 13, 15, 14,  8, 13,  6,  5, 12,  7,  5,
    11, 12, 14, 15, 14, 15,  9,  8,  9, 14,  5,  6,  8,  6,  5, 12,
     9, 15,  5, 11,  6,  8, 13, 12,  5, 12, 13, 14, 11,  8,  5,  6};
constexpr uint8_t right_shift[80] = {
     8,  9,  9, 11, 13, 15, 15,  5,  7,  7,  8, 11, 14, 14, 12,  6,
     9, 13, 15,  7, 12,  8,  9, 11,  7,  7, 12,  7,  6, 15, 13, 11,
     9,  7, 15, 11,  8,  6,  6, 14, 12, 13,  5, 14, 13, 13,  7,  5,
    15,  5,  8, 11, 14, 14,  6, 14,  6,  9, 12,  9, 12,  5, 15,  8,
     8,  5, 12,  9, 12,  5, 14,  6,  8, 13,  6,  5, 15, 13, 11, 11};
// clang-format on

// The Boolean functions f1..f5 of (x, y, z) = (B, C, D); the left line applies them in round
// order, the right line in reverse order. Every step waits for the one before it only through
// B, the word that step has just made, so each function is split into what can be computed
// before B is known and the little that must wait for it:
//   f(x, y, z) = late(x, early(y, z), z) + bias(y, z).
// bias joins A + X + K while the previous step is still running, and late is one or two
// operations on x. f4 = (x & z) | (y & ~z) has two terms with no common bit, so the OR is an
// ADD and y & ~z becomes bias, leaving one AND after x; the others keep an XOR with x or z,
// which does not distribute over the sum.
struct F1 { // x ^ y ^ z
    static uint32_t early(uint32_t y, uint32_t z) { return y ^ z; }
    static uint32_t bias(uint32_t, uint32_t) { return 0; }
    static uint32_t late(uint32_t x, uint32_t e, uint32_t) { return x ^ e; }
};
struct F2 { // (x & y) | (~x & z), as z ^ (x & (y ^ z))
    static uint32_t early(uint32_t y, uint32_t z) { return y ^ z; }
    static uint32_t bias(uint32_t, uint32_t) { return 0; }
    static uint32_t late(uint32_t x, uint32_t e, uint32_t z) { return (x & e) ^ z; }
};
struct F3 { // (x | ~y) ^ z
    static uint32_t early(uint32_t y, uint32_t) { return ~y; }
    static uint32_t bias(uint32_t, uint32_t) { return 0; }
    static uint32_t late(uint32_t x, uint32_t e, uint32_t z) { return (x | e) ^ z; }
};
struct F4 { // (x & z) | (y & ~z), as (x & z) + (y & ~z)
    static uint32_t early(uint32_t, uint32_t) { return 0; }
    static uint32_t bias(uint32_t y, uint32_t z) { return y & ~z; }
    static uint32_t late(uint32_t x, uint32_t, uint32_t z) { return x & z; }
};
struct F5 { // x ^ (y | ~z)
    static uint32_t early(uint32_t y, uint32_t z) { return y | ~z; }
    static uint32_t bias(uint32_t, uint32_t) { return 0; }
    static uint32_t late(uint32_t x, uint32_t e, uint32_t) { return x ^ e; }
};

// The steps are written out at compile time (every word index and rotation a constant), each
// left step beside the right step of the same number so that the two independent lines fill
// each other's waits. GCC would otherwise keep the 16-step loops of a round and look up words
// and rotation amounts from the tables at run time.
#define RIPEMD_INLINE inline __attribute__((always_inline))

template <unsigned s> RIPEMD_INLINE uint32_t rotl(uint32_t x) { return x << s | x >> (32 - s); }

void load_words(const uint8_t* block, uint32_t x[16])
{
    for (int i = 0; i < 16; ++i)
        x[i] = load_le32(block + 4 * i);
}

// One step of a four-word line (RIPEMD-128/256), v = A, B, C, D:
// A' = (A + f(B, C, D) + X + K) <<< s, then (A, B, C, D) := (D, A', B, C).
// A + X + K + bias and early(C, D) are ready before B; after B come late, one ADD and the ROL.
template <class F, unsigned s> RIPEMD_INLINE void step4(uint32_t v[4], uint32_t x, uint32_t k)
{
    const uint32_t base = v[0] + x + k + F::bias(v[2], v[3]);
    const uint32_t e = F::early(v[2], v[3]);
    const uint32_t t = rotl<s>(base + F::late(v[1], e, v[3]));
    v[0] = v[3];
    v[3] = v[2];
    v[2] = v[1];
    v[1] = t;
}

// One step of a five-word line (RIPEMD-160/320), v = A, B, C, D, E:
// A' = ((A + f(B, C, D) + X + K) <<< s) + E, then (A, B, C, D, E) := (E, A', B, C <<< 10, D).
template <class F, unsigned s> RIPEMD_INLINE void step5(uint32_t v[5], uint32_t x, uint32_t k)
{
    const uint32_t base = v[0] + x + k + F::bias(v[2], v[3]);
    const uint32_t e = F::early(v[2], v[3]);
    const uint32_t t = rotl<s>(base + F::late(v[1], e, v[3])) + v[4];
    v[0] = v[4];
    v[4] = v[3];
    v[3] = rotl<10>(v[2]);
    v[2] = v[1];
    v[1] = t;
}

// Sixteen steps of round `round` (0-based) on both lines, one left and one right at a time.
template <class FL, class FR, int round, size_t... i>
RIPEMD_INLINE void round4(uint32_t left[4], uint32_t right[4], const uint32_t x[16],
                          std::index_sequence<i...>)
{
    constexpr uint32_t kl = left_constants[round], kr = right_constants_128[round];
    ((step4<FL, left_shift[16 * round + i]>(left, x[left_word[16 * round + i]], kl),
      step4<FR, right_shift[16 * round + i]>(right, x[right_word[16 * round + i]], kr)),
     ...);
}

template <class FL, class FR, int round, size_t... i>
RIPEMD_INLINE void round5(uint32_t left[5], uint32_t right[5], const uint32_t x[16],
                          std::index_sequence<i...>)
{
    constexpr uint32_t kl = left_constants[round], kr = right_constants_160[round];
    ((step5<FL, left_shift[16 * round + i]>(left, x[left_word[16 * round + i]], kl),
      step5<FR, right_shift[16 * round + i]>(right, x[right_word[16 * round + i]], kr)),
     ...);
}

using Sixteen = std::make_index_sequence<16>;

inline void exchange(uint32_t& a, uint32_t& b)
{
    const uint32_t t = a;
    a = b;
    b = t;
}

} // namespace

Ripemd128::Ripemd128() : BlockHash(state_words_, sizeof state_words_, block_, sizeof block_)
{
    reset_state(initial_256);
}

void Ripemd128::reset() { reset_state(initial_256); }
void Ripemd128::finish() { finish_le64(); }
void Ripemd128::get_digest(uint8_t* out) { write_le32_words(out, 16); }

void Ripemd128::transform()
{
    uint32_t x[16];
    load_words(buffer_, x);
    uint32_t* h = state_words_;
    uint32_t l[4] = {h[0], h[1], h[2], h[3]};
    uint32_t r[4] = {h[0], h[1], h[2], h[3]};
    round4<F1, F4, 0>(l, r, x, Sixteen());
    round4<F2, F3, 1>(l, r, x, Sixteen());
    round4<F3, F2, 2>(l, r, x, Sixteen());
    round4<F4, F1, 3>(l, r, x, Sixteen());
    // Each new word: an old word, one word of each line, rotated by one position.
    const uint32_t t = h[1] + l[2] + r[3];
    h[1] = h[2] + l[3] + r[0];
    h[2] = h[3] + l[0] + r[1];
    h[3] = h[0] + l[1] + r[2];
    h[0] = t;
}

Ripemd160::Ripemd160() : BlockHash(state_words_, sizeof state_words_, block_, sizeof block_)
{
    reset_state(initial_320);
}

void Ripemd160::reset() { reset_state(initial_320); }
void Ripemd160::finish() { finish_le64(); }
void Ripemd160::get_digest(uint8_t* out) { write_le32_words(out, 20); }

void Ripemd160::transform()
{
    uint32_t x[16];
    load_words(buffer_, x);
    uint32_t* h = state_words_;
    uint32_t l[5] = {h[0], h[1], h[2], h[3], h[4]};
    uint32_t r[5] = {h[0], h[1], h[2], h[3], h[4]};
    round5<F1, F5, 0>(l, r, x, Sixteen());
    round5<F2, F4, 1>(l, r, x, Sixteen());
    round5<F3, F3, 2>(l, r, x, Sixteen());
    round5<F4, F2, 3>(l, r, x, Sixteen());
    round5<F5, F1, 4>(l, r, x, Sixteen());
    const uint32_t t = h[1] + l[2] + r[3];
    h[1] = h[2] + l[3] + r[4];
    h[2] = h[3] + l[4] + r[0];
    h[3] = h[4] + l[0] + r[1];
    h[4] = h[0] + l[1] + r[2];
    h[0] = t;
}

Ripemd256::Ripemd256() : BlockHash(state_words_, sizeof state_words_, block_, sizeof block_)
{
    reset_state(initial_256);
}

void Ripemd256::reset() { reset_state(initial_256); }
void Ripemd256::finish() { finish_le64(); }
void Ripemd256::get_digest(uint8_t* out) { write_le32_words(out, 32); }

// The RIPEMD-128 lines on separate halves of the state; after round n the n-th working words
// (A, then B, C, D) of the two lines change places.
void Ripemd256::transform()
{
    uint32_t x[16];
    load_words(buffer_, x);
    uint32_t* h = state_words_;
    uint32_t l[4] = {h[0], h[1], h[2], h[3]};
    uint32_t r[4] = {h[4], h[5], h[6], h[7]};
    round4<F1, F4, 0>(l, r, x, Sixteen());
    exchange(l[0], r[0]);
    round4<F2, F3, 1>(l, r, x, Sixteen());
    exchange(l[1], r[1]);
    round4<F3, F2, 2>(l, r, x, Sixteen());
    exchange(l[2], r[2]);
    round4<F4, F1, 3>(l, r, x, Sixteen());
    exchange(l[3], r[3]);
    for (int i = 0; i < 4; ++i) {
        h[i] += l[i];
        h[4 + i] += r[i];
    }
}

Ripemd320::Ripemd320() : BlockHash(state_words_, sizeof state_words_, block_, sizeof block_)
{
    reset_state(initial_320);
}

void Ripemd320::reset() { reset_state(initial_320); }
void Ripemd320::finish() { finish_le64(); }
void Ripemd320::get_digest(uint8_t* out) { write_le32_words(out, 40); }

// The RIPEMD-160 lines on separate halves of the state; the working words B, D, A, C, E (in
// that order, one after each round) change places between the lines.
void Ripemd320::transform()
{
    uint32_t x[16];
    load_words(buffer_, x);
    uint32_t* h = state_words_;
    uint32_t l[5] = {h[0], h[1], h[2], h[3], h[4]};
    uint32_t r[5] = {h[5], h[6], h[7], h[8], h[9]};
    round5<F1, F5, 0>(l, r, x, Sixteen());
    exchange(l[1], r[1]);
    round5<F2, F4, 1>(l, r, x, Sixteen());
    exchange(l[3], r[3]);
    round5<F3, F3, 2>(l, r, x, Sixteen());
    exchange(l[0], r[0]);
    round5<F4, F2, 3>(l, r, x, Sixteen());
    exchange(l[2], r[2]);
    round5<F5, F1, 4>(l, r, x, Sixteen());
    exchange(l[4], r[4]);
    for (int i = 0; i < 5; ++i) {
        h[i] += l[i];
        h[5 + i] += r[i];
    }
}
