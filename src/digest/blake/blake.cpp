#include "digest/blake/blake.h"

#include <cstring>

#include "digest/blake/blake_tables.h"
#include "digest/blake/blake_variants.h"
#include "digest/bytes.h"
#include "digest/cpu_features.h"
#include "digest/fastest_variant.h"

namespace {

const uint32_t zero_salt32[4] = {0, 0, 0, 0};
const uint64_t zero_salt64[4] = {0, 0, 0, 0};

// Word width, rotations and rounds of the two forms (BLAKE 1.3, sections 2.1 and 2.2).
struct Blake32Words {
    using Word = uint32_t;
    static constexpr unsigned r1 = 16, r2 = 12, r3 = 8, r4 = 7;
    static constexpr int rounds = 14;
    static Word load(const uint8_t* p) { return load_be32(p); }
    static Word rotr(Word x, unsigned n) { return rotr32(x, n); }
    static constexpr const Word* constants = blake_constants32;
};

struct Blake64Words {
    using Word = uint64_t;
    static constexpr unsigned r1 = 32, r2 = 25, r3 = 16, r4 = 11;
    static constexpr int rounds = 16;
    static Word load(const uint8_t* p) { return load_be64(p); }
    static Word rotr(Word x, unsigned n) { return rotr64(x, n); }
    static constexpr const Word* constants = blake_constants64;
};

// G_i of BLAKE 1.3 section 2.1.2 on v[a], v[b], v[c], v[d]; s points at sigma_r(2i).
template <class W>
inline void mix(typename W::Word* v, int a, int b, int c, int d, const typename W::Word* m,
                const uint32_t* s)
{
    const typename W::Word* k = W::constants;
    v[a] += v[b] + (m[s[0]] ^ k[s[1]]);
    v[d] = W::rotr(v[d] ^ v[a], W::r1);
    v[c] += v[d];
    v[b] = W::rotr(v[b] ^ v[c], W::r2);
    v[a] += v[b] + (m[s[1]] ^ k[s[0]]);
    v[d] = W::rotr(v[d] ^ v[a], W::r3);
    v[c] += v[d];
    v[b] = W::rotr(v[b] ^ v[c], W::r4);
}

// The compression of BLAKE 1.3 section 2.1.2 (2.2.2 for 64-bit words) with counter (t0, t1).
template <class W>
void blake_compress(typename W::Word h[8], const typename W::Word s[4], const uint8_t* block,
                    typename W::Word t0, typename W::Word t1)
{
    using Word = typename W::Word;
    const Word* c = W::constants;
    Word m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = W::load(block + sizeof(Word) * i);

    // clang-format off
    Word v[16] = {h[0],        h[1],        h[2],        h[3],
                  h[4],        h[5],        h[6],        h[7],
                  s[0] ^ c[0], s[1] ^ c[1], s[2] ^ c[2], s[3] ^ c[3],
                  t0 ^ c[4],   t0 ^ c[5],   t1 ^ c[6],   t1 ^ c[7]};
    // clang-format on

    // Rounds 10 and later take sigma from its first row again.
    const uint32_t(*row)[16] = blake_sigma;
    for (int r = 0; r < W::rounds; ++r) {
        const uint32_t* s_row = *row;
        mix<W>(v, 0, 4, 8, 12, m, s_row + 0);
        mix<W>(v, 1, 5, 9, 13, m, s_row + 2);
        mix<W>(v, 2, 6, 10, 14, m, s_row + 4);
        mix<W>(v, 3, 7, 11, 15, m, s_row + 6);
        mix<W>(v, 0, 5, 10, 15, m, s_row + 8);
        mix<W>(v, 1, 6, 11, 12, m, s_row + 10);
        mix<W>(v, 2, 7, 8, 13, m, s_row + 12);
        mix<W>(v, 3, 4, 9, 14, m, s_row + 14);
        if (++row == blake_sigma + 10)
            row = blake_sigma;
    }

    for (int i = 0; i < 8; ++i)
        h[i] ^= s[i % 4] ^ v[i] ^ v[i + 8];
}

} // namespace

void blake256_compress_portable(uint32_t h[8], const uint32_t s[4], const uint8_t* block,
                                uint32_t t0, uint32_t t1)
{
    blake_compress<Blake32Words>(h, s, block, t0, t1);
}

void blake512_compress_portable(uint64_t h[8], const uint64_t s[4], const uint8_t* block,
                                uint64_t t0, uint64_t t1)
{
    blake_compress<Blake64Words>(h, s, block, t0, t1);
}

namespace {

using Compress256 = void (*)(uint32_t*, const uint32_t*, const uint8_t*, uint32_t, uint32_t);
using Compress512 = void (*)(uint64_t*, const uint64_t*, const uint8_t*, uint64_t, uint64_t);

// The vector compressions are not faster everywhere: in x86-64 builds they lost to the portable
// code on one AMD EPYC (a 2024 one) and beat it by half on another (a 2019 one). The fastest
// of those the processor can run is chosen by timing them once.
template <class Word, class Compress> void trial_blocks(Compress compress)
{
    static const uint8_t block[16 * sizeof(Word)] = {1};
    Word h[8] = {}, s[4] = {};
    for (Word t = 0; t < 32; ++t)
        compress(h, s, block, t, 0);
}

// A candidate is used only when it compresses a few blocks as the portable code does.
template <class Word, class Compress> bool same_blocks(Compress reference, Compress candidate)
{
    uint8_t block[16 * sizeof(Word)];
    for (size_t i = 0; i < sizeof block; ++i)
        block[i] = static_cast<uint8_t>(i * 7 + 3);
    Word expected[8], got[8];
    const Word salt[4] = {1, 2, 3, 4};
    for (int j = 0; j < 8; ++j)
        expected[j] = got[j] = static_cast<Word>(0x9E3779B97F4A7C15ull * (j + 1));
    for (Word t = 0; t < 3; ++t) {
        reference(expected, salt, block, t * 512 + 1, t);
        candidate(got, salt, block, t * 512 + 1, t);
    }
    for (int j = 0; j < 8; ++j)
        if (got[j] != expected[j])
            return false;
    return true;
}

Compress256 pick_blake256(uint32_t features)
{
    static FastestVariantCache<Compress256> cache;
    return cache.get(features, [features] {
        Compress256 candidates[2] = {blake256_compress_portable};
        size_t n = 1;
        if (features & cpu_ssse3)
            candidates[n++] = blake256_compress_ssse3;
        return fastest_agreeing_variant(candidates[0], candidates, n,
                                        trial_blocks<uint32_t, Compress256>,
                                        same_blocks<uint32_t, Compress256>, candidates[0]);
    });
}

Compress512 pick_blake512(uint32_t features)
{
    static FastestVariantCache<Compress512> cache;
    return cache.get(features, [features] {
        Compress512 candidates[3] = {blake512_compress_portable};
        size_t n = 1;
        if (features & cpu_ssse3)
            candidates[n++] = blake512_compress_ssse3;
        if (features & cpu_avx2)
            candidates[n++] = blake512_compress_avx2;
        return fastest_agreeing_variant(candidates[0], candidates, n,
                                        trial_blocks<uint64_t, Compress512>,
                                        same_blocks<uint64_t, Compress512>, candidates[0]);
    });
}

} // namespace

// ---- BLAKE-256 and BLAKE-224 ----

Blake256::Blake256()
    : BlockHash(chain_, sizeof chain_, block_, sizeof block_), bit_counter_(0), finishing_(0),
      compress_(pick_blake256(cpu_features()))
{
    reset_with(blake_iv256);
}

void Blake256::reset_with(const uint32_t* initial_value)
{
    reset_state(initial_value);
    std::memcpy(salt_, zero_salt32, sizeof salt_);
    bit_counter_ = 0;
    finishing_ = 0;
}

void Blake256::reset() { reset_with(blake_iv256); }

void Blake256::finish() { finish_blake(1); }

void Blake256::get_digest(uint8_t* out) { write_be32_words(out, 32); }

void Blake256::transform()
{
    if (!finishing_)
        bit_counter_ += 8 * sizeof block_;
    compress_(chain_, salt_, block_, uint32_t(bit_counter_), uint32_t(bit_counter_ >> 32));
    if (finishing_)
        bit_counter_ = 0;
}

// BLAKE 1.3 section 2.1.1: the message, a 1 bit, zeros up to 8 bits before the 64-bit length,
// the marker bit, the length. When the message leaves exactly one free byte before the length,
// the 1 bit and the marker share it.
void Blake256::finish_blake(uint8_t marker)
{
    const uint32_t marker_position = 64 - 1 - 8;
    uint8_t length[8];
    bit_length_be64(length);
    bit_counter_ = buffered_ > 0 ? load_be64(length) : 0;
    finishing_ = 1;
    finish_marked(marker_position, marker, length, sizeof length);
}

Blake224::Blake224() { reset_with(blake_iv224); }

void Blake224::reset() { reset_with(blake_iv224); }

void Blake224::finish() { finish_blake(0); }

void Blake224::get_digest(uint8_t* out) { write_be32_words(out, 28); }

uint32_t Blake224::digest_size() { return 28; }

// ---- BLAKE-512 and BLAKE-384 ----

Blake512::Blake512()
    : BlockHash(chain_, sizeof chain_, block_, sizeof block_), bit_counter_(0), finishing_(0),
      compress_(pick_blake512(cpu_features()))
{
    reset_with(blake_iv512);
}

void Blake512::reset_with(const uint64_t* initial_value)
{
    reset_state(initial_value);
    std::memcpy(salt_, zero_salt64, sizeof salt_);
    bit_counter_ = 0;
    finishing_ = 0;
}

void Blake512::reset() { reset_with(blake_iv512); }

void Blake512::finish() { finish_blake(1); }

void Blake512::get_digest(uint8_t* out) { write_be64_words(out, 64); }

void Blake512::transform()
{
    if (!finishing_)
        bit_counter_ += 8 * sizeof block_;
    compress_(chain_, salt_, block_, bit_counter_, 0);
    if (finishing_)
        bit_counter_ = 0;
}

// BLAKE 1.3 section 2.2.1: as BLAKE-256 with 128-byte blocks and a 128-bit length field.
void Blake512::finish_blake(uint8_t marker)
{
    const uint32_t marker_position = 128 - 1 - 16;
    uint8_t length[16];
    bit_length_be128(length);
    bit_counter_ = buffered_ > 0 ? load_be64(length + 8) : 0;
    finishing_ = 1;
    finish_marked(marker_position, marker, length, sizeof length);
}

Blake384::Blake384() { reset_with(blake_iv384); }

void Blake384::reset() { reset_with(blake_iv384); }

void Blake384::finish() { finish_blake(0); }

void Blake384::get_digest(uint8_t* out) { write_be64_words(out, 48); }

uint32_t Blake384::digest_size() { return 48; }
