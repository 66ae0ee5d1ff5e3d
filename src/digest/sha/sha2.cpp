#include "digest/sha/sha2.h"

#include "digest/bytes.h"
#include "digest/cpu_features.h"
#include "digest/fastest_variant.h"

namespace {

// FIPS 180-4 sections 5.3.2 to 5.3.5.
const uint32_t sha224_initial[8] = {
    0xC1059ED8, 0x367CD507, 0x3070DD17, 0xF70E5939, 0xFFC00B31, 0x68581511, 0x64F98FA7, 0xBEFA4FA4,
};
const uint32_t sha256_initial[8] = {
    0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A, 0x510E527F, 0x9B05688C, 0x1F83D9AB, 0x5BE0CD19,
};
const uint64_t sha384_initial[8] = {
    0xCBBB9D5DC1059ED8, 0x629A292A367CD507, 0x9159015A3070DD17, 0x152FECD8F70E5939,
    0x67332667FFC00B31, 0x8EB44A8768581511, 0xDB0C2E0D64F98FA7, 0x47B5481DBEFA4FA4,
};
const uint64_t sha512_initial[8] = {
    0x6A09E667F3BCC908, 0xBB67AE8584CAA73B, 0x3C6EF372FE94F82B, 0xA54FF53A5F1D36F1,
    0x510E527FADE682D1, 0x9B05688C2B3E6C1F, 0x1F83D9ABFB41BD6B, 0x5BE0CD19137E2179,
};

} // namespace

// The round constants have external linkage: the block functions of sha_variants.h share them.
// FIPS 180-4 section 4.2.2.
const uint32_t sha256_k[64] = {
    0x428A2F98, 0x71374491, 0xB5C0FBCF, 0xE9B5DBA5, 0x3956C25B, 0x59F111F1, 0x923F82A4, 0xAB1C5ED5,
    0xD807AA98, 0x12835B01, 0x243185BE, 0x550C7DC3, 0x72BE5D74, 0x80DEB1FE, 0x9BDC06A7, 0xC19BF174,
    0xE49B69C1, 0xEFBE4786, 0x0FC19DC6, 0x240CA1CC, 0x2DE92C6F, 0x4A7484AA, 0x5CB0A9DC, 0x76F988DA,
    0x983E5152, 0xA831C66D, 0xB00327C8, 0xBF597FC7, 0xC6E00BF3, 0xD5A79147, 0x06CA6351, 0x14292967,
    0x27B70A85, 0x2E1B2138, 0x4D2C6DFC, 0x53380D13, 0x650A7354, 0x766A0ABB, 0x81C2C92E, 0x92722C85,
    0xA2BFE8A1, 0xA81A664B, 0xC24B8B70, 0xC76C51A3, 0xD192E819, 0xD6990624, 0xF40E3585, 0x106AA070,
    0x19A4C116, 0x1E376C08, 0x2748774C, 0x34B0BCB5, 0x391C0CB3, 0x4ED8AA4A, 0x5B9CCA4F, 0x682E6FF3,
    0x748F82EE, 0x78A5636F, 0x84C87814, 0x8CC70208, 0x90BEFFFA, 0xA4506CEB, 0xBEF9A3F7, 0xC67178F2,
};

// FIPS 180-4 section 4.2.3.
const uint64_t sha512_k[80] = {
    0x428A2F98D728AE22, 0x7137449123EF65CD, 0xB5C0FBCFEC4D3B2F, 0xE9B5DBA58189DBBC,
    0x3956C25BF348B538, 0x59F111F1B605D019, 0x923F82A4AF194F9B, 0xAB1C5ED5DA6D8118,
    0xD807AA98A3030242, 0x12835B0145706FBE, 0x243185BE4EE4B28C, 0x550C7DC3D5FFB4E2,
    0x72BE5D74F27B896F, 0x80DEB1FE3B1696B1, 0x9BDC06A725C71235, 0xC19BF174CF692694,
    0xE49B69C19EF14AD2, 0xEFBE4786384F25E3, 0x0FC19DC68B8CD5B5, 0x240CA1CC77AC9C65,
    0x2DE92C6F592B0275, 0x4A7484AA6EA6E483, 0x5CB0A9DCBD41FBD4, 0x76F988DA831153B5,
    0x983E5152EE66DFAB, 0xA831C66D2DB43210, 0xB00327C898FB213F, 0xBF597FC7BEEF0EE4,
    0xC6E00BF33DA88FC2, 0xD5A79147930AA725, 0x06CA6351E003826F, 0x142929670A0E6E70,
    0x27B70A8546D22FFC, 0x2E1B21385C26C926, 0x4D2C6DFC5AC42AED, 0x53380D139D95B3DF,
    0x650A73548BAF63DE, 0x766A0ABB3C77B2A8, 0x81C2C92E47EDAEE6, 0x92722C851482353B,
    0xA2BFE8A14CF10364, 0xA81A664BBC423001, 0xC24B8B70D0F89791, 0xC76C51A30654BE30,
    0xD192E819D6EF5218, 0xD69906245565A910, 0xF40E35855771202A, 0x106AA07032BBD1B8,
    0x19A4C116B8D2D0C8, 0x1E376C085141AB53, 0x2748774CDF8EEB99, 0x34B0BCB5E19B48A8,
    0x391C0CB3C5C95A63, 0x4ED8AA4AE3418ACB, 0x5B9CCA4F7763E373, 0x682E6FF3D6B2B8A3,
    0x748F82EE5DEFB2FC, 0x78A5636F43172F60, 0x84C87814A1F0AB72, 0x8CC702081A6439EC,
    0x90BEFFFA23631E28, 0xA4506CEBDE82BDE9, 0xBEF9A3F7B2C67915, 0xC67178F2E372532B,
    0xCA273ECEEA26619C, 0xD186B8C721C0C207, 0xEADA7DD6CDE0EB1E, 0xF57D4F7FEE6ED178,
    0x06F067AA72176FBA, 0x0A637DC5A2C898A6, 0x113F9804BEF90DAE, 0x1B710B35131C471B,
    0x28DB77F523047D84, 0x32CAAB7B40C72493, 0x3C9EBE0A15C9BEBC, 0x431D67C49C100D4C,
    0x4CC5D4BECB3E42B6, 0x597F299CFC657E2A, 0x5FCB6FAB3AD6FAEC, 0x6C44198C4A475817,
};

namespace {

// FIPS 180-4 section 4.1.2.
inline uint32_t ch(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t maj(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (z & (x | y)); }
inline uint32_t big_sigma0(uint32_t x) { return rotr32(x, 2) ^ rotr32(x, 13) ^ rotr32(x, 22); }
inline uint32_t big_sigma1(uint32_t x) { return rotr32(x, 6) ^ rotr32(x, 11) ^ rotr32(x, 25); }
inline uint32_t small_sigma0(uint32_t x) { return rotr32(x, 7) ^ rotr32(x, 18) ^ (x >> 3); }
inline uint32_t small_sigma1(uint32_t x) { return rotr32(x, 17) ^ rotr32(x, 19) ^ (x >> 10); }

inline uint32_t schedule_word(const uint32_t* w, int t)
{
    return small_sigma1(w[t - 2]) + w[t - 7] + small_sigma0(w[t - 15]) + w[t - 16];
}

// One round of FIPS 180-4 section 6.2.2 step 3 on s[0..7] = a..h. Instead of shuffling the
// eight words, the new a is written just below them and the new e over d: the next round reads
// s[-1..6], so the working words slide down one place per round.
inline void sha256_round(uint32_t* s, uint32_t k, uint32_t w)
{
    const uint32_t t1 = s[7] + big_sigma1(s[4]) + ch(s[4], s[5], s[6]) + k + w;
    const uint32_t t2 = big_sigma0(s[0]) + maj(s[0], s[1], s[2]);
    s[3] += t1;
    s[-1] = t1 + t2;
}

// SHA-512's 64-bit words as two 32-bit halves, low half first as the word lies in memory, so
// that the compression runs on a 32-bit processor with 32-bit additions and carries.
struct Word64 {
    uint32_t lo;
    uint32_t hi;
};

inline Word64 split(uint64_t x) { return {uint32_t(x), uint32_t(x >> 32)}; }
inline uint64_t join(Word64 x) { return uint64_t(x.hi) << 32 | x.lo; }
inline Word64 load_be_word64(const uint8_t* p) { return {load_be32(p + 4), load_be32(p)}; }

inline Word64 operator+(Word64 a, Word64 b)
{
    const uint32_t lo = a.lo + b.lo;
    return {lo, a.hi + b.hi + (lo < a.lo ? 1u : 0u)};
}
inline Word64 operator^(Word64 a, Word64 b) { return {a.lo ^ b.lo, a.hi ^ b.hi}; }
inline Word64 operator&(Word64 a, Word64 b) { return {a.lo & b.lo, a.hi & b.hi}; }
inline Word64 operator|(Word64 a, Word64 b) { return {a.lo | b.lo, a.hi | b.hi}; }

// Rotation right by K: past 32 it swaps the halves and shifts both by K - 32.
template <unsigned K> inline Word64 rotr(Word64 x)
{
    static_assert(K > 0 && K < 64 && K != 32, "rotation by a whole half is a swap");
    if constexpr (K > 32)
        return rotr<K - 32>(Word64{x.hi, x.lo});
    else
        return {x.lo >> K | x.hi << (32 - K), x.hi >> K | x.lo << (32 - K)};
}

template <unsigned K> inline Word64 shr(Word64 x)
{
    static_assert(K > 0 && K < 32, "only the shifts of FIPS 180-4 section 4.1.3");
    return {x.lo >> K | x.hi << (32 - K), x.hi >> K};
}

// FIPS 180-4 section 4.1.3.
inline Word64 ch(Word64 x, Word64 y, Word64 z) { return z ^ (x & (y ^ z)); }
inline Word64 maj(Word64 x, Word64 y, Word64 z) { return (x & y) | (z & (x | y)); }
inline Word64 big_sigma0(Word64 x) { return rotr<28>(x) ^ rotr<34>(x) ^ rotr<39>(x); }
inline Word64 big_sigma1(Word64 x) { return rotr<14>(x) ^ rotr<18>(x) ^ rotr<41>(x); }
inline Word64 small_sigma0(Word64 x) { return rotr<1>(x) ^ rotr<8>(x) ^ shr<7>(x); }
inline Word64 small_sigma1(Word64 x) { return rotr<19>(x) ^ rotr<61>(x) ^ shr<6>(x); }

// As sha256_round, on s[0..7] = a..h in 64-bit words: the new a goes to s[-1], e over d.
inline void sha512_round(Word64* s, Word64 k, Word64 w)
{
    const Word64 t1 = s[7] + big_sigma1(s[4]) + ch(s[4], s[5], s[6]) + k + w;
    const Word64 t2 = big_sigma0(s[0]) + maj(s[0], s[1], s[2]);
    s[3] = s[3] + t1;
    s[-1] = t1 + t2;
}

// Null selects the portable compression in transform.
Sha256BlocksFunction sha256_blocks_function()
{
    const uint32_t shani = cpu_sha | cpu_ssse3 | cpu_sse41;
    return (cpu_features() & shani) == shani ? sha256_blocks_shani : nullptr;
}

} // namespace

// AVX2 (with BMI2 on x86-64) compresses many blocks per call; the others one.
namespace {

// The portable compression of one block (FIPS 180-4 section 6.4.2), on 32-bit halves where the
// build is 32-bit.
void sha512_compress_portable(uint64_t* state, const uint8_t* block)
{
    Word64 w[80];
    for (int t = 0; t < 16; ++t)
        w[t] = load_be_word64(block + 8 * t);
    for (int t = 16; t < 80; ++t)
        w[t] = small_sigma1(w[t - 2]) + w[t - 7] + small_sigma0(w[t - 15]) + w[t - 16];

    // Round t works on v[80 - t .. 87 - t]; after the last round a..h are v[0..7].
    Word64 v[88];
    for (int j = 0; j < 8; ++j)
        v[80 + j] = split(state[j]);
    for (int t = 0; t < 80; ++t)
        sha512_round(v + 80 - t, split(sha512_k[t]), w[t]);
    for (int j = 0; j < 8; ++j)
        state[j] = join(split(state[j]) + v[j]);
}

#if !defined(__x86_64__)
void sha512_trial(Sha512BlocksFunction blocks)
{
    static const uint8_t data[4 * 128] = {1};
    uint8_t buffer[128];
    uint64_t state[8] = {};
    blocks(state, buffer, data, 4);
}

// The fastest of the 32-bit blocks functions the processor can run that agree with the
// portable compression, timed once per feature set.
Sha512BlocksFunction pick_sha512_blocks(uint32_t features)
{
    static FastestVariantCache<Sha512BlocksFunction> cache;
    return cache.get(features, [features] {
        Sha512BlocksFunction candidates[2];
        size_t n = 0;
        if (features & cpu_avx2)
            candidates[n++] = sha512_blocks_avx2_x86;
        if ((features & (cpu_avx2 | cpu_avx512)) == (cpu_avx2 | cpu_avx512))
            candidates[n++] = sha512_blocks_avx512_x86;
        return fastest_agreeing_variant(sha512_compress_portable, candidates, n, sha512_trial,
                                        sha512_blocks_agree, Sha512BlocksFunction(nullptr));
    });
}
#endif

} // namespace

bool sha512_blocks_agree(Sha512BlockFunction reference, Sha512BlocksFunction candidate)
{
    // Three blocks, unaligned in the caller's data, with every byte value: the state must come
    // out as the reference's, block by block, and the buffer must hold the last block.
    static uint8_t data[3 * 128 + 1];
    for (size_t i = 0; i < sizeof data; ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    uint64_t expected[8], got[8];
    for (int j = 0; j < 8; ++j)
        expected[j] = got[j] = sha512_k[j];
    for (int b = 0; b < 3; ++b)
        reference(expected, data + 1 + 128 * b);
    uint8_t buffer[128] = {};
    candidate(got, buffer, data + 1, 3);
    for (int j = 0; j < 8; ++j)
        if (got[j] != expected[j])
            return false;
    for (int i = 0; i < 128; ++i)
        if (buffer[i] != data[1 + 256 + i])
            return false;
    return true;
}

Sha512BlocksFunction sha512_blocks_function_for(uint32_t features)
{
#if defined(__x86_64__)
    if ((features & (cpu_avx2 | cpu_bmi2)) == (cpu_avx2 | cpu_bmi2))
        return sha512_blocks_avx2_x64;
    return nullptr;
#else
    return pick_sha512_blocks(features);
#endif
}

Sha512BlockFunction sha512_block_function_for(uint32_t features)
{
#if defined(__x86_64__)
    if (features & cpu_sse2)
        return sha512_block_x64;
#else
    if (features & cpu_sse2)
        return sha512_block_sse2;
#endif
    return nullptr;
}

Sha256::Sha256()
    : BlockHash(state_words_, sizeof state_words_, block_, sizeof block_),
      blocks_function_(sha256_blocks_function())
{
    reset_state(sha256_initial);
}

void Sha256::reset() { reset_state(sha256_initial); }

void Sha256::finish() { finish_be64(); }

void Sha256::get_digest(uint8_t* out) { write_be32_words(out, 32); }

// FIPS 180-4 section 6.2.2.
void Sha256::transform_blocks(const uint8_t* data, uint32_t blocks)
{
    if (blocks_function_)
        blocks_function_(state_words_, buffer_, data, blocks);
    else
        BlockHash::transform_blocks(data, blocks);
}

void Sha256::transform()
{
    if (blocks_function_) {
        blocks_function_(state_words_, buffer_, buffer_, 1);
        return;
    }
    uint32_t w[64];
    for (int t = 0; t < 16; ++t)
        w[t] = load_be32(buffer_ + 4 * t);
    for (int t = 16; t < 64; t += 4) {
        w[t] = schedule_word(w, t);
        w[t + 1] = schedule_word(w, t + 1);
        w[t + 2] = schedule_word(w, t + 2);
        w[t + 3] = schedule_word(w, t + 3);
    }

    // Round t works on v[64 - t .. 71 - t]; after the last round a..h are v[0..7].
    uint32_t v[72];
    for (int j = 0; j < 8; ++j)
        v[64 + j] = state_words_[j];
    for (int t = 0; t < 64; t += 4) {
        sha256_round(v + 64 - t, sha256_k[t], w[t]);
        sha256_round(v + 63 - t, sha256_k[t + 1], w[t + 1]);
        sha256_round(v + 62 - t, sha256_k[t + 2], w[t + 2]);
        sha256_round(v + 61 - t, sha256_k[t + 3], w[t + 3]);
    }
    for (int j = 0; j < 8; ++j)
        state_words_[j] += v[j];
}

Sha224::Sha224() { reset_state(sha224_initial); }

void Sha224::reset() { reset_state(sha224_initial); }

void Sha224::get_digest(uint8_t* out) { write_be32_words(out, 28); }

uint32_t Sha224::digest_size() { return 28; }

Sha512::Sha512()
    : BlockHash(state_words_, sizeof state_words_, block_, sizeof block_),
      block_function_(sha512_block_function_for(cpu_features())),
      blocks_function_(sha512_blocks_function_for(cpu_features()))
{
    reset_state(sha512_initial);
}

void Sha512::reset() { reset_state(sha512_initial); }

void Sha512::finish() { finish_be128(); }

void Sha512::get_digest(uint8_t* out) { write_be64_words(out, 64); }

// FIPS 180-4 section 6.4.2.
void Sha512::transform_blocks(const uint8_t* data, uint32_t blocks)
{
    if (blocks_function_)
        blocks_function_(state_words_, buffer_, data, blocks);
    else
        BlockHash::transform_blocks(data, blocks);
}

void Sha512::transform()
{
    if (blocks_function_) {
        blocks_function_(state_words_, buffer_, buffer_, 1);
        return;
    }
    if (block_function_) {
        block_function_(state_words_, buffer_);
        return;
    }
    sha512_compress_portable(state_words_, buffer_);
}

Sha384::Sha384() { reset_state(sha384_initial); }

void Sha384::reset() { reset_state(sha384_initial); }

void Sha384::get_digest(uint8_t* out) { write_be64_words(out, 48); }

uint32_t Sha384::digest_size() { return 48; }
