#include "digest/sm3/sm3.h"

#include "digest/bytes.h"
#include "digest/cpu_features.h"
#include "digest/sm3/sm3_variants.h"

namespace {

// GB/T 32905-2016 section 4.1.
const uint32_t sm3_initial[8] = {
    0x7380166F, 0x4914B2B9, 0x172442D7, 0xDA8A0600, 0xA96F30BC, 0x163138AA, 0xE38DEE4D, 0xB0FB0E4E,
};

// Section 4.2: T_j for rounds 0..15 and 16..63.
const uint32_t t_low = 0x79CC4519;
const uint32_t t_high = 0x7A879D8A;

// Section 4.4.
inline uint32_t p0(uint32_t x) { return x ^ rotl32(x, 9) ^ rotl32(x, 17); }
inline uint32_t p1(uint32_t x) { return x ^ rotl32(x, 15) ^ rotl32(x, 23); }

using Compress = void (*)(uint32_t v[8], const uint8_t* block);

Compress pick_compression(uint32_t features)
{
    return features & cpu_sse2 ? sm3_compress_unrolled : sm3_compress_portable;
}

} // namespace

Sm3::Sm3()
    : BlockHash(chain_, sizeof chain_, block_, sizeof block_),
      compress_(pick_compression(cpu_features()))
{
    reset_state(sm3_initial);
}

void Sm3::reset() { reset_state(sm3_initial); }

void Sm3::finish() { finish_be64(); }

void Sm3::get_digest(uint8_t* out) { write_be32_words(out, 32); }

void Sm3::transform() { compress_(chain_, buffer_); }

// The compression function CF of section 5.3: message expansion (5.3.2), then 64 rounds
// (5.3.3) in two loops with their own Boolean functions and constant, then V ^= ABCDEFGH.
void sm3_compress_portable(uint32_t chain[8], const uint8_t* block)
{
    uint32_t w[68 + 64];
    uint32_t* const w1 = w + 68; // W'
    for (int j = 0; j < 16; ++j)
        w[j] = load_be32(block + 4 * j);
    for (int j = 16; j < 68; ++j)
        w[j] = p1(w[j - 16] ^ w[j - 9] ^ rotl32(w[j - 3], 15)) ^ rotl32(w[j - 13], 7) ^ w[j - 6];
    for (int j = 0; j < 64; ++j)
        w1[j] = w[j] ^ w[j + 4];

    uint32_t a = chain[0], b = chain[1], c = chain[2], d = chain[3];
    uint32_t e = chain[4], f = chain[5], g = chain[6], h = chain[7];
    auto round = [&](int j, uint32_t t, uint32_t ff, uint32_t gg) {
        const uint32_t a12 = rotl32(a, 12);
        const uint32_t ss1 = rotl32(a12 + e + rotl32(t, unsigned(j) % 32), 7);
        const uint32_t ss2 = ss1 ^ a12;
        const uint32_t tt1 = ff + d + ss2 + w1[j];
        const uint32_t tt2 = gg + h + ss1 + w[j];
        d = c;
        c = rotl32(b, 9);
        b = a;
        a = tt1;
        h = g;
        g = rotl32(f, 19);
        f = e;
        e = p0(tt2);
    };
    for (int j = 0; j < 16; ++j)
        round(j, t_low, a ^ b ^ c, e ^ f ^ g);
    for (int j = 16; j < 64; ++j)
        round(j, t_high, (a & b) | (a & c) | (b & c), (e & f) | (~e & g));

    chain[0] ^= a;
    chain[1] ^= b;
    chain[2] ^= c;
    chain[3] ^= d;
    chain[4] ^= e;
    chain[5] ^= f;
    chain[6] ^= g;
    chain[7] ^= h;
}
