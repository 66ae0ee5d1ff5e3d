#include "digest/md5/md5.h"

#include "digest/bytes.h"

namespace {

// RFC 1321 section 3.3: A, B, C, D.
const uint32_t md5_initial[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};

// Each step waits for the b of the step before; the auxiliary functions are written so that
// as little as possible of them waits with it. G(x, y, z) = (x & z) | (y & ~z) is a sum of two
// terms with no bit in common, so the term without x is added before x is known.
inline uint32_t f(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t g_early(uint32_t, uint32_t y, uint32_t z) { return y & ~z; }
inline uint32_t g_late(uint32_t x, uint32_t, uint32_t z) { return x & z; }
inline uint32_t h(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t i(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }
inline uint32_t none(uint32_t, uint32_t, uint32_t) { return 0; }

} // namespace

// One step of RFC 1321 section 3.4: a = b + ((a + F(b,c,d) + X[k] + T[i]) <<< s), the word and
// the constant added first.
#define MD5_STEP2(early, fn, a, b, c, d, k, s, t)                                                  \
    a += load_le32(block + 4 * (k)) + (t) + early(b, c, d);                                        \
    a += fn(b, c, d);                                                                              \
    a = rotl32(a, s) + b
#define MD5_STEP(fn, a, b, c, d, k, s, t) MD5_STEP2(none, fn, a, b, c, d, k, s, t)
#define MD5_STEP_G(a, b, c, d, k, s, t) MD5_STEP2(g_early, g_late, a, b, c, d, k, s, t)

Md5::Md5() : BlockHash(state_words_, sizeof state_words_, block_, sizeof block_)
{
    reset_state(md5_initial);
}

void Md5::reset() { reset_state(md5_initial); }

void Md5::finish() { finish_le64(); }

void Md5::get_digest(uint8_t* out) { write_le32_words(out, 16); }

// clang-format off
void Md5::transform()
{
    const uint8_t* block = buffer_;
    uint32_t a = state_words_[0], b = state_words_[1], c = state_words_[2], d = state_words_[3];

    MD5_STEP(f, a, b, c, d,  0,  7, 0xD76AA478); MD5_STEP(f, d, a, b, c,  1, 12, 0xE8C7B756);
    MD5_STEP(f, c, d, a, b,  2, 17, 0x242070DB); MD5_STEP(f, b, c, d, a,  3, 22, 0xC1BDCEEE);
    MD5_STEP(f, a, b, c, d,  4,  7, 0xF57C0FAF); MD5_STEP(f, d, a, b, c,  5, 12, 0x4787C62A);
    MD5_STEP(f, c, d, a, b,  6, 17, 0xA8304613); MD5_STEP(f, b, c, d, a,  7, 22, 0xFD469501);
    MD5_STEP(f, a, b, c, d,  8,  7, 0x698098D8); MD5_STEP(f, d, a, b, c,  9, 12, 0x8B44F7AF);
    MD5_STEP(f, c, d, a, b, 10, 17, 0xFFFF5BB1); MD5_STEP(f, b, c, d, a, 11, 22, 0x895CD7BE);
    MD5_STEP(f, a, b, c, d, 12,  7, 0x6B901122); MD5_STEP(f, d, a, b, c, 13, 12, 0xFD987193);
    MD5_STEP(f, c, d, a, b, 14, 17, 0xA679438E); MD5_STEP(f, b, c, d, a, 15, 22, 0x49B40821);

    MD5_STEP_G(a, b, c, d,  1,  5, 0xF61E2562); MD5_STEP_G(d, a, b, c,  6,  9, 0xC040B340);
    MD5_STEP_G(c, d, a, b, 11, 14, 0x265E5A51); MD5_STEP_G(b, c, d, a,  0, 20, 0xE9B6C7AA);
    MD5_STEP_G(a, b, c, d,  5,  5, 0xD62F105D); MD5_STEP_G(d, a, b, c, 10,  9, 0x02441453);
    MD5_STEP_G(c, d, a, b, 15, 14, 0xD8A1E681); MD5_STEP_G(b, c, d, a,  4, 20, 0xE7D3FBC8);
    MD5_STEP_G(a, b, c, d,  9,  5, 0x21E1CDE6); MD5_STEP_G(d, a, b, c, 14,  9, 0xC33707D6);
    MD5_STEP_G(c, d, a, b,  3, 14, 0xF4D50D87); MD5_STEP_G(b, c, d, a,  8, 20, 0x455A14ED);
    MD5_STEP_G(a, b, c, d, 13,  5, 0xA9E3E905); MD5_STEP_G(d, a, b, c,  2,  9, 0xFCEFA3F8);
    MD5_STEP_G(c, d, a, b,  7, 14, 0x676F02D9); MD5_STEP_G(b, c, d, a, 12, 20, 0x8D2A4C8A);

    MD5_STEP(h, a, b, c, d,  5,  4, 0xFFFA3942); MD5_STEP(h, d, a, b, c,  8, 11, 0x8771F681);
    MD5_STEP(h, c, d, a, b, 11, 16, 0x6D9D6122); MD5_STEP(h, b, c, d, a, 14, 23, 0xFDE5380C);
    MD5_STEP(h, a, b, c, d,  1,  4, 0xA4BEEA44); MD5_STEP(h, d, a, b, c,  4, 11, 0x4BDECFA9);
    MD5_STEP(h, c, d, a, b,  7, 16, 0xF6BB4B60); MD5_STEP(h, b, c, d, a, 10, 23, 0xBEBFBC70);
    MD5_STEP(h, a, b, c, d, 13,  4, 0x289B7EC6); MD5_STEP(h, d, a, b, c,  0, 11, 0xEAA127FA);
    MD5_STEP(h, c, d, a, b,  3, 16, 0xD4EF3085); MD5_STEP(h, b, c, d, a,  6, 23, 0x04881D05);
    MD5_STEP(h, a, b, c, d,  9,  4, 0xD9D4D039); MD5_STEP(h, d, a, b, c, 12, 11, 0xE6DB99E5);
    MD5_STEP(h, c, d, a, b, 15, 16, 0x1FA27CF8); MD5_STEP(h, b, c, d, a,  2, 23, 0xC4AC5665);

    MD5_STEP(i, a, b, c, d,  0,  6, 0xF4292244); MD5_STEP(i, d, a, b, c,  7, 10, 0x432AFF97);
    MD5_STEP(i, c, d, a, b, 14, 15, 0xAB9423A7); MD5_STEP(i, b, c, d, a,  5, 21, 0xFC93A039);
    MD5_STEP(i, a, b, c, d, 12,  6, 0x655B59C3); MD5_STEP(i, d, a, b, c,  3, 10, 0x8F0CCC92);
    MD5_STEP(i, c, d, a, b, 10, 15, 0xFFEFF47D); MD5_STEP(i, b, c, d, a,  1, 21, 0x85845DD1);
    MD5_STEP(i, a, b, c, d,  8,  6, 0x6FA87E4F); MD5_STEP(i, d, a, b, c, 15, 10, 0xFE2CE6E0);
    MD5_STEP(i, c, d, a, b,  6, 15, 0xA3014314); MD5_STEP(i, b, c, d, a, 13, 21, 0x4E0811A1);
    MD5_STEP(i, a, b, c, d,  4,  6, 0xF7537E82); MD5_STEP(i, d, a, b, c, 11, 10, 0xBD3AF235);
    MD5_STEP(i, c, d, a, b,  2, 15, 0x2AD7D2BB); MD5_STEP(i, b, c, d, a,  9, 21, 0xEB86D391);

    state_words_[0] += a;
    state_words_[1] += b;
    state_words_[2] += c;
    state_words_[3] += d;
}
// clang-format on
