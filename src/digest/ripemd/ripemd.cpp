#include "digest/ripemd/ripemd.h"

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
const uint32_t left_constants[5] = {0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xA953FD4E};
const uint32_t right_constants_160[5] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x7A6D76E9,
                                         0x00000000};
const uint32_t right_constants_128[4] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x00000000};

// clang-format off
// Message word order r, r' and rotation amounts s, s' of steps 0..79; the four-round
// variants use steps 0..63.
const uint8_t left_word[80] = {
     0,  1,  2,  3,  4,  5,  6,  7,  8,  9, 10, 11, 12, 13, 14, 15,
     7,  4, 13,  1, 10,  6, 15,  3, 12,  0,  9,  5,  2, 14, 11,  8,
     3, 10, 14,  4,  9, 15,  8,  1,  2,  7,  0,  6, 13, 11,  5, 12,
     1,  9, 11, 10,  0,  8, 12,  4, 13,  3,  7, 15, 14,  5,  6,  2,
     4,  0,  5,  9,  7, 12,  2, 10, 14,  1,  3,  8, 11,  6, 15, 13};
const uint8_t right_word[80] = {
     5, 14,  7,  0,  9,  2, 11,  4, 13,  6, 15,  8,  1, 10,  3, 12,
     6, 11,  3,  7,  0, 13,  5, 10, 14, 15,  8, 12,  4,  9,  1,  2,
    15,  5,  1,  3,  7, 14,  6,  9, 11,  8, 12,  2, 10,  0,  4, 13,
     8,  6,  4,  1,  3, 11, 15,  0,  5, 12,  2, 13,  9,  7, 10, 14,
    12, 15, 10,  4,  1,  5,  8,  7,  6,  2, 13, 14,  0,  3,  9, 11};
const uint8_t left_shift[80] = {
    11, 14, 15, 12,  5,  8,  7,  9, 11, 13, 14, 15,  6,  7,  9,  8,
     7,  6,  8, 13, 11,  9,  7, 15,  7, 12, 15,  9, 11,  7, 13, 12,
    11, 13,  6,  7, 14,  9, 13, 15, 14,  8, 13,  6,  5, 12,  7,  5,
    11, 12, 14, 15, 14, 15,  9,  8,  9, 14,  5,  6,  8,  6,  5, 12,
     9, 15,  5, 11,  6,  8, 13, 12,  5, 12, 13, 14, 11,  8,  5,  6};
const uint8_t right_shift[80] = {
     8,  9,  9, 11, 13, 15, 15,  5,  7,  7,  8, 11, 14, 14, 12,  6,
     9, 13, 15,  7, 12,  8,  9, 11,  7,  7, 12,  7,  6, 15, 13, 11,
     9,  7, 15, 11,  8,  6,  6, 14, 12, 13,  5, 14, 13, 13,  7,  5,
    15,  5,  8, 11, 14, 14,  6, 14,  6,  9, 12,  9, 12,  5, 15,  8,
     8,  5, 12,  9, 12,  5, 14,  6,  8, 13,  6,  5, 15, 13, 11, 11};
// clang-format on

// The Boolean functions f1..f5; the left line applies them in round order, the right line in
// reverse order.
inline uint32_t f1(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t f2(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t f3(uint32_t x, uint32_t y, uint32_t z) { return (x | ~y) ^ z; }
inline uint32_t f4(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t f5(uint32_t x, uint32_t y, uint32_t z) { return x ^ (y | ~z); }

using Boolean = uint32_t (*)(uint32_t, uint32_t, uint32_t);

void load_words(const uint8_t* block, uint32_t x[16])
{
    for (int i = 0; i < 16; ++i)
        x[i] = load_le32(block + 4 * i);
}

// One step of a four-word line (RIPEMD-128/256), v = A, B, C, D:
// A' = (A + f(B, C, D) + X + K) <<< s, then (A, B, C, D) := (D, A', B, C).
template <Boolean F> inline void step4(uint32_t v[4], uint32_t x, uint32_t k, unsigned s)
{
    const uint32_t t = rotl32(v[0] + F(v[1], v[2], v[3]) + x + k, s);
    v[0] = v[3];
    v[3] = v[2];
    v[2] = v[1];
    v[1] = t;
}

// One step of a five-word line (RIPEMD-160/320), v = A, B, C, D, E:
// A' = ((A + f(B, C, D) + X + K) <<< s) + E, then (A, B, C, D, E) := (E, A', B, C <<< 10, D).
template <Boolean F> inline void step5(uint32_t v[5], uint32_t x, uint32_t k, unsigned s)
{
    const uint32_t t = rotl32(v[0] + F(v[1], v[2], v[3]) + x + k, s) + v[4];
    v[0] = v[4];
    v[4] = v[3];
    v[3] = rotl32(v[2], 10);
    v[2] = v[1];
    v[1] = t;
}

// Sixteen steps of round `round` (0-based) on both lines, one left and one right per pass.
template <Boolean FL, Boolean FR>
inline void round4(uint32_t left[4], uint32_t right[4], const uint32_t x[16], int round)
{
    const uint32_t kl = left_constants[round], kr = right_constants_128[round];
    for (int j = 16 * round; j < 16 * round + 16; ++j) {
        step4<FL>(left, x[left_word[j]], kl, left_shift[j]);
        step4<FR>(right, x[right_word[j]], kr, right_shift[j]);
    }
}

template <Boolean FL, Boolean FR>
inline void round5(uint32_t left[5], uint32_t right[5], const uint32_t x[16], int round)
{
    const uint32_t kl = left_constants[round], kr = right_constants_160[round];
    for (int j = 16 * round; j < 16 * round + 16; ++j) {
        step5<FL>(left, x[left_word[j]], kl, left_shift[j]);
        step5<FR>(right, x[right_word[j]], kr, right_shift[j]);
    }
}

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
    round4<f1, f4>(l, r, x, 0);
    round4<f2, f3>(l, r, x, 1);
    round4<f3, f2>(l, r, x, 2);
    round4<f4, f1>(l, r, x, 3);
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
    round5<f1, f5>(l, r, x, 0);
    round5<f2, f4>(l, r, x, 1);
    round5<f3, f3>(l, r, x, 2);
    round5<f4, f2>(l, r, x, 3);
    round5<f5, f1>(l, r, x, 4);
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
    round4<f1, f4>(l, r, x, 0);
    exchange(l[0], r[0]);
    round4<f2, f3>(l, r, x, 1);
    exchange(l[1], r[1]);
    round4<f3, f2>(l, r, x, 2);
    exchange(l[2], r[2]);
    round4<f4, f1>(l, r, x, 3);
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
    round5<f1, f5>(l, r, x, 0);
    exchange(l[1], r[1]);
    round5<f2, f4>(l, r, x, 1);
    exchange(l[3], r[3]);
    round5<f3, f3>(l, r, x, 2);
    exchange(l[0], r[0]);
    round5<f4, f2>(l, r, x, 3);
    exchange(l[2], r[2]);
    round5<f5, f1>(l, r, x, 4);
    exchange(l[4], r[4]);
    for (int i = 0; i < 5; ++i) {
        h[i] += l[i];
        h[5 + i] += r[i];
    }
}
