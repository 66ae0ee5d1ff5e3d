#include "digest/blake/blake2.h"

#include <cstring>
#include <utility>

#include "digest/blake/blake2_variants.h"
#include "digest/blake/blake_tables.h"
#include "digest/bytes.h"
#include "digest/cpu_features.h"
#include "digest/fastest_variant.h"

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

// The mixing function G of RFC 7693 section 3.1 on a, b, c, d with words x and y.
template <class W>
inline void mix(typename W::Word& a, typename W::Word& b, typename W::Word& c, typename W::Word& d,
                typename W::Word x, typename W::Word y)
{
    a += b + x;
    d = W::rotr(d ^ a, W::r1);
    c += d;
    b = W::rotr(b ^ c, W::r2);
    a += b + y;
    d = W::rotr(d ^ a, W::r3);
    c += d;
    b = W::rotr(b ^ c, W::r4);
}

// The work matrix v0..v15 as sixteen variables rather than an array, which the compiler would
// keep in memory for 64-bit words.
template <class W> struct Work {
    typename W::Word v0, v1, v2, v3, v4, v5, v6, v7, v8, v9, v10, v11, v12, v13, v14, v15;
};

// Round r of the compression: G on the columns, then on the diagonals, with the message words
// that sigma row r picks. BLAKE2b's rounds 10 and 11 take sigma from its first rows again. The
// rounds are unrolled, so every word's index is a constant.
template <class W, int r> inline void round(Work<W>& w, const typename W::Word* m)
{
    constexpr const uint32_t* s = blake_sigma[r % 10];
    mix<W>(w.v0, w.v4, w.v8, w.v12, m[s[0]], m[s[1]]);
    mix<W>(w.v1, w.v5, w.v9, w.v13, m[s[2]], m[s[3]]);
    mix<W>(w.v2, w.v6, w.v10, w.v14, m[s[4]], m[s[5]]);
    mix<W>(w.v3, w.v7, w.v11, w.v15, m[s[6]], m[s[7]]);
    mix<W>(w.v0, w.v5, w.v10, w.v15, m[s[8]], m[s[9]]);
    mix<W>(w.v1, w.v6, w.v11, w.v12, m[s[10]], m[s[11]]);
    mix<W>(w.v2, w.v7, w.v8, w.v13, m[s[12]], m[s[13]]);
    mix<W>(w.v3, w.v4, w.v9, w.v14, m[s[14]], m[s[15]]);
}

template <class W, int... r>
inline void all_rounds(Work<W>& w, const typename W::Word* m, std::integer_sequence<int, r...>)
{
    (round<W, r>(w, m), ...);
}

// The compression F of RFC 7693 section 3.2 with counter (t0, t1) and flag f0 = all ones when
// last is set; f1 (last node) stays 0.
template <class W>
void blake2_compress(typename W::Word h[8], const uint8_t* block, typename W::Word t0,
                     typename W::Word t1, bool last)
{
    using Word = typename W::Word;
    Word m[16];
    std::memcpy(m, block, sizeof m);
    const Word* iv = W::iv;
    Work<W> w = {h[0],  h[1],  h[2],       h[3],       h[4],
                 h[5],  h[6],  h[7],       iv[0],      iv[1],
                 iv[2], iv[3], iv[4] ^ t0, iv[5] ^ t1, last ? ~iv[6] : iv[6],
                 iv[7]};
    all_rounds<W>(w, m, std::make_integer_sequence<int, W::rounds>());
    h[0] ^= w.v0 ^ w.v8;
    h[1] ^= w.v1 ^ w.v9;
    h[2] ^= w.v2 ^ w.v10;
    h[3] ^= w.v3 ^ w.v11;
    h[4] ^= w.v4 ^ w.v12;
    h[5] ^= w.v5 ^ w.v13;
    h[6] ^= w.v6 ^ w.v14;
    h[7] ^= w.v7 ^ w.v15;
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

// The fastest of the compressions the processor can run, timed once: on x86-64 the unrolled
// rounds in sixteen general registers have outrun the vector variants, whose gathers of each
// round's message words cost about as much as the rounds themselves (BLAKE2b 0.95-1.0 GB/s
// against 0.56-0.65 GB/s with AVX2 on an AMD EPYC), while 32-bit x86, with seven registers and
// 32-bit halves, has mostly gained from the vectors; which wins depends on the processor.
template <class Word, class Compress> void trial_blocks(Compress compress)
{
    static const uint8_t block[16 * sizeof(Word)] = {1};
    Word h[8] = {};
    for (Word t = 0; t < 32; ++t)
        compress(h, block, t, 0, false);
}

// A candidate is used only when it compresses a few blocks, the last one too, as the portable
// code does.
template <class Word, class Compress> bool same_blocks(Compress reference, Compress candidate)
{
    uint8_t block[16 * sizeof(Word)];
    for (size_t i = 0; i < sizeof block; ++i)
        block[i] = static_cast<uint8_t>(i * 7 + 3);
    Word expected[8], got[8];
    for (int j = 0; j < 8; ++j)
        expected[j] = got[j] = static_cast<Word>(0x9E3779B97F4A7C15ull * (j + 1));
    for (Word t = 0; t < 3; ++t) {
        reference(expected, block, t * 128 + 1, t, t == 2);
        candidate(got, block, t * 128 + 1, t, t == 2);
    }
    for (int j = 0; j < 8; ++j)
        if (got[j] != expected[j])
            return false;
    return true;
}

Compress2s pick_blake2s(uint32_t features)
{
    static FastestVariantCache<Compress2s> cache;
    return cache.get(features, [features] {
        Compress2s candidates[2] = {blake2s_compress_portable};
        size_t n = 1;
        if (features & cpu_ssse3)
            candidates[n++] = blake2s_compress_ssse3;
        return fastest_agreeing_variant(candidates[0], candidates, n,
                                        trial_blocks<uint32_t, Compress2s>,
                                        same_blocks<uint32_t, Compress2s>, candidates[0]);
    });
}

Compress2b pick_blake2b(uint32_t features)
{
    static FastestVariantCache<Compress2b> cache;
    return cache.get(features, [features] {
        Compress2b candidates[3] = {blake2b_compress_portable};
        size_t n = 1;
        if (features & cpu_ssse3)
            candidates[n++] = blake2b_compress_ssse3;
        if (features & cpu_avx2)
            candidates[n++] = blake2b_compress_avx2;
        return fastest_agreeing_variant(candidates[0], candidates, n,
                                        trial_blocks<uint64_t, Compress2b>,
                                        same_blocks<uint64_t, Compress2b>, candidates[0]);
    });
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
