#include "digest/blake2.h"

#include <cstring>

#include "digest/blake2_variants.h"
#include "digest/blake_tables.h"
#include "digest/bytes.h"
#include "digest/cpu_features.h"

// The message words and the digest are little-endian in BLAKE2; every target of this program
// is a little-endian x86, so blocks and chaining values are copied without conversion.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "BLAKE2 here assumes little-endian words");

namespace {

// Word width, rotations and rounds of RFC 7693 section 2.1.
struct Blake2sWords {
    using Word = uint32_t;
    static constexpr unsigned r1 = 16, r2 = 12, r3 = 8, r4 = 7;
    static constexpr int rounds = 10;
    static Word rotr(Word x, unsigned n) { return rotr32(x, n); }
    static constexpr const Word* iv = blake_iv256;
};

struct Blake2bWords {
    using Word = uint64_t;
    static constexpr unsigned r1 = 32, r2 = 24, r3 = 16, r4 = 63;
    static constexpr int rounds = 12;
    static Word rotr(Word x, unsigned n) { return rotr64(x, n); }
    static constexpr const Word* iv = blake_iv512;
};

// The mixing function G of RFC 7693 section 3.1 on v[a], v[b], v[c], v[d] with words x and y.
template <class W>
inline void mix(typename W::Word* v, int a, int b, int c, int d, typename W::Word x,
                typename W::Word y)
{
    v[a] += v[b] + x;
    v[d] = W::rotr(v[d] ^ v[a], W::r1);
    v[c] += v[d];
    v[b] = W::rotr(v[b] ^ v[c], W::r2);
    v[a] += v[b] + y;
    v[d] = W::rotr(v[d] ^ v[a], W::r3);
    v[c] += v[d];
    v[b] = W::rotr(v[b] ^ v[c], W::r4);
}

// The compression F of RFC 7693 section 3.2 with counter (t0, t1) and flag f0 = all ones when
// last is set; f1 (last node) stays 0.
template <class W>
void blake2_compress(typename W::Word h[8], const uint8_t* block, typename W::Word t0,
                     typename W::Word t1, bool last)
{
    using Word = typename W::Word;
    Word m[16];
    Word v[16];
    std::memcpy(m, block, sizeof m);
    std::memcpy(v, h, 8 * sizeof(Word));
    std::memcpy(v + 8, W::iv, 8 * sizeof(Word));
    v[12] ^= t0;
    v[13] ^= t1;
    if (last)
        v[14] = ~v[14];

    // BLAKE2b's rounds 10 and 11 take sigma from its first rows again.
    const uint32_t(*row)[16] = blake_sigma;
    for (int r = 0; r < W::rounds; ++r) {
        const uint32_t* s = *row;
        mix<W>(v, 0, 4, 8, 12, m[s[0]], m[s[1]]);
        mix<W>(v, 1, 5, 9, 13, m[s[2]], m[s[3]]);
        mix<W>(v, 2, 6, 10, 14, m[s[4]], m[s[5]]);
        mix<W>(v, 3, 7, 11, 15, m[s[6]], m[s[7]]);
        mix<W>(v, 0, 5, 10, 15, m[s[8]], m[s[9]]);
        mix<W>(v, 1, 6, 11, 12, m[s[10]], m[s[11]]);
        mix<W>(v, 2, 7, 8, 13, m[s[12]], m[s[13]]);
        mix<W>(v, 3, 4, 9, 14, m[s[14]], m[s[15]]);
        if (++row == blake_sigma + 10)
            row = blake_sigma;
    }

    for (int i = 0; i < 8; ++i)
        h[i] ^= v[i] ^ v[i + 8];
}

// RFC 7693 section 2.5, sequential mode without key: digest length, key length 0, fanout 1,
// depth 1, everything else zero.
void fill_parameter_block(uint8_t* block, uint32_t size, uint32_t digest_size)
{
    std::memset(block, 0, size);
    block[0] = uint8_t(digest_size);
    block[2] = 1;
    block[3] = 1;
}

} // namespace

void blake2s_compress_portable(uint32_t h[8], const uint8_t* block, uint32_t t0, uint32_t t1,
                               bool last)
{
    blake2_compress<Blake2sWords>(h, block, t0, t1, last);
}

void blake2b_compress_portable(uint64_t h[8], const uint8_t* block, uint64_t t0, uint64_t t1,
                               bool last)
{
    blake2_compress<Blake2bWords>(h, block, t0, t1, last);
}

namespace {

using Compress2s = void (*)(uint32_t*, const uint8_t*, uint32_t, uint32_t, bool);
using Compress2b = void (*)(uint64_t*, const uint8_t*, uint64_t, uint64_t, bool);

Compress2s pick_blake2s(uint32_t features)
{
    if (features & cpu_ssse3)
        return blake2s_compress_ssse3;
    return blake2s_compress_portable;
}

Compress2b pick_blake2b(uint32_t features)
{
    if (features & cpu_avx2)
        return blake2b_compress_avx2;
    if (features & cpu_ssse3)
        return blake2b_compress_ssse3;
    return blake2b_compress_portable;
}

} // namespace

// ---- BLAKE2s ----

Blake2s::Blake2s(uint32_t digest_size)
    : BlockHash(chain_, digest_size, block_, sizeof block_), byte_counter_(0), finishing_(0),
      last_block_(0), compress_(pick_blake2s(cpu_features()))
{
    reset();
}

// h = IV ^ parameter block (RFC 7693 section 3.3).
void Blake2s::reset()
{
    fill_parameter_block(parameter_block_, sizeof parameter_block_, digest_size());
    reset_state(blake_iv256);
    // reset_state copies only digest_size bytes; the words past them still take part.
    std::memcpy(chain_, blake_iv256, sizeof chain_);
    for (int i = 0; i < 8; ++i)
        chain_[i] ^= load_le32(parameter_block_ + 4 * i);
    byte_counter_ = 0;
    finishing_ = 0;
    last_block_ = 0;
}

void Blake2s::update(const void* data, uint32_t length) { update_keeping_last_block(data, length); }

void Blake2s::finish()
{
    byte_counter_ += buffered_;
    finishing_ = 1;
    std::memset(block_ + buffered_, 0, sizeof block_ - buffered_);
    last_block_ = 1;
    transform();
    buffered_ = 0;
}

void Blake2s::get_digest(uint8_t* out) { std::memcpy(out, chain_, digest_size()); }

void Blake2s::transform()
{
    if (!finishing_)
        byte_counter_ += sizeof block_;
    compress_(chain_, block_, uint32_t(byte_counter_), uint32_t(byte_counter_ >> 32),
              last_block_ != 0);
}

// ---- BLAKE2b ----

Blake2b::Blake2b(uint32_t digest_size)
    : BlockHash(chain_, digest_size, block_, sizeof block_), byte_counter_(0), finishing_(0),
      last_block_(0), compress_(pick_blake2b(cpu_features()))
{
    reset();
}

void Blake2b::reset()
{
    fill_parameter_block(parameter_block_, sizeof parameter_block_, digest_size());
    reset_state(blake_iv512);
    std::memcpy(chain_, blake_iv512, sizeof chain_);
    for (int i = 0; i < 8; ++i)
        chain_[i] ^= load_le64(parameter_block_ + 8 * i);
    byte_counter_ = 0;
    finishing_ = 0;
    last_block_ = 0;
}

void Blake2b::update(const void* data, uint32_t length) { update_keeping_last_block(data, length); }

void Blake2b::finish()
{
    byte_counter_ += buffered_;
    finishing_ = 1;
    std::memset(block_ + buffered_, 0, sizeof block_ - buffered_);
    last_block_ = 1;
    transform();
    buffered_ = 0;
}

void Blake2b::get_digest(uint8_t* out) { std::memcpy(out, chain_, digest_size()); }

void Blake2b::transform()
{
    if (!finishing_)
        byte_counter_ += sizeof block_;
    compress_(chain_, block_, byte_counter_, 0, last_block_ != 0);
}
