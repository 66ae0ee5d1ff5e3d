// The block functions of the accelerated variants (Keccak-f[1600], the BLAKE and BLAKE2
// compressions, SM3's and Whirlpool's) against the portable ones on random inputs, including
// what whole messages rarely reach: BLAKE2's high counter word, counters near a carry, any
// chaining value. Variants this processor cannot run are skipped and named in the output.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "digest/blake/blake2_variants.h"
#include "digest/blake/blake_variants.h"
#include "digest/cpu_features.h"
#include "digest/sha3/sha3.h"
#include "digest/sha3/sha3_variants.h"
#include "digest/sha/sha_variants.h"
#include "digest/sm3/sm3_variants.h"
#include "digest/whirlpool/whirlpool_variants.h"
#include "support/vectors.h"

namespace {

template <class Word> Word random_word(Xorshift32& r)
{
    return sizeof(Word) == 8 ? Word(uint64_t(r.next()) << 32 | r.next()) : Word(r.next());
}

template <class Word> void fill(Xorshift32& r, Word* words, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        words[i] = random_word<Word>(r);
}

// Counter words: random, or one of the values at a carry.
template <class Word> Word counter_word(Xorshift32& r)
{
    switch (r.below(4)) {
    case 0:
        return 0;
    case 1:
        return ~Word(0);
    default:
        return random_word<Word>(r);
    }
}

bool runnable(const char* name, uint32_t needs)
{
    if ((cpu_features_detected() & needs) == needs)
        return true;
    std::printf("skipped %s: this processor lacks %s\n", name, cpu_feature_names(needs));
    return false;
}

#if defined(__i386__)
// A blocks function that gets one bit of the state wrong, as a processor, an emulator or a
// compiler fault would: the self-check must refuse it.
void wrong_sha512_blocks(uint64_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks)
{
    for (uint32_t b = 0; b < blocks; ++b) {
        std::memcpy(buffer, data + 128 * b, 128);
        sha512_block_sse2(state, buffer);
    }
    state[5] ^= uint64_t(1) << 40;
}

// The 32-bit SHA-384/512 blocks functions against the SSE2 block function (itself checked
// against the vectors): random states, one to three blocks at any alignment, the last block
// left in the buffer; and the self-check that stands before a function may be chosen.
TEST(AcceleratedBlocks, Sha512BlocksFunctionsAndTheirSelfCheck)
{
    const struct {
        const char* name;
        uint32_t needs;
        Sha512BlocksFunction blocks;
    } variants[] = {
        {"SHA-512 AVX2", cpu_avx2, sha512_blocks_avx2_x86},
        {"SHA-512 AVX-512", cpu_avx2 | cpu_avx512, sha512_blocks_avx512_x86},
    };
    for (const auto& v : variants) {
        if (!runnable(v.name, v.needs))
            continue;
        EXPECT_TRUE(sha512_blocks_agree(sha512_block_sse2, v.blocks)) << v.name;
        Xorshift32 r(v.needs);
        for (int trial = 0; trial < 300; ++trial) {
            uint64_t state[8], expected[8];
            fill(r, state, 8);
            std::memcpy(expected, state, sizeof state);
            uint8_t data[3 * 128 + 15], buffer[128];
            fill(r, reinterpret_cast<uint32_t*>(data), (sizeof data - 3) / 4);
            const uint32_t blocks = 1 + r.below(3), offset = r.below(16);
            for (uint32_t b = 0; b < blocks; ++b)
                sha512_block_sse2(expected, data + offset + 128 * b);
            v.blocks(state, buffer, data + offset, blocks);
            ASSERT_EQ(std::memcmp(state, expected, sizeof state), 0) << v.name << ", " << trial;
            ASSERT_EQ(std::memcmp(buffer, data + offset + 128 * (blocks - 1), 128), 0) << v.name;
        }
    }
    EXPECT_FALSE(sha512_blocks_agree(sha512_block_sse2, wrong_sha512_blocks));
}
#endif

template <class Word> struct Blake2Variant {
    const char* name;
    uint32_t needs;
    void (*compress)(Word*, const uint8_t*, Word, Word, bool);
};

template <class Word, size_t n>
void check_blake2(const Blake2Variant<Word> (&variants)[n],
                  void (*reference)(Word*, const uint8_t*, Word, Word, bool))
{
    for (const Blake2Variant<Word>& v : variants) {
        if (!runnable(v.name, v.needs))
            continue;
        Xorshift32 r(v.needs * 977u + sizeof(Word));
        for (int trial = 0; trial < 200; ++trial) {
            Word h[8], expected[8];
            uint8_t block[16 * sizeof(Word)];
            fill(r, h, 8);
            fill(r, reinterpret_cast<uint32_t*>(block), sizeof block / 4);
            const Word t0 = counter_word<Word>(r), t1 = counter_word<Word>(r);
            const bool last = trial % 2 != 0;
            std::memcpy(expected, h, sizeof h);
            reference(expected, block, t0, t1, last);
            v.compress(h, block, t0, t1, last);
            ASSERT_EQ(std::memcmp(h, expected, sizeof h), 0) << v.name << ", trial " << trial;
        }
    }
}

TEST(AcceleratedBlocks, Blake2Compressions)
{
    const Blake2Variant<uint32_t> blake2s[] = {
        {"BLAKE2s ssse3", cpu_ssse3, blake2s_compress_ssse3},
    };
    check_blake2(blake2s, blake2s_compress_portable);
    const Blake2Variant<uint64_t> blake2b[] = {
        {"BLAKE2b ssse3", cpu_ssse3, blake2b_compress_ssse3},
        {"BLAKE2b avx2", cpu_avx2, blake2b_compress_avx2},
    };
    check_blake2(blake2b, blake2b_compress_portable);
}

template <class Word> struct BlakeVariant {
    const char* name;
    uint32_t needs;
    void (*compress)(Word*, const Word*, const uint8_t*, Word, Word);
};

template <class Word, size_t n>
void check_blake(const BlakeVariant<Word> (&variants)[n],
                 void (*reference)(Word*, const Word*, const uint8_t*, Word, Word))
{
    for (const BlakeVariant<Word>& v : variants) {
        if (!runnable(v.name, v.needs))
            continue;
        Xorshift32 r(v.needs * 131u + sizeof(Word));
        for (int trial = 0; trial < 200; ++trial) {
            Word h[8], expected[8], salt[4];
            uint8_t block[16 * sizeof(Word)];
            fill(r, h, 8);
            // The catalogue's objects always have a zero salt; other salts take part all the same.
            fill(r, salt, 4);
            if (trial % 2)
                std::memset(salt, 0, sizeof salt);
            fill(r, reinterpret_cast<uint32_t*>(block), sizeof block / 4);
            const Word t0 = counter_word<Word>(r), t1 = counter_word<Word>(r);
            std::memcpy(expected, h, sizeof h);
            reference(expected, salt, block, t0, t1);
            v.compress(h, salt, block, t0, t1);
            ASSERT_EQ(std::memcmp(h, expected, sizeof h), 0) << v.name << ", trial " << trial;
        }
    }
}

TEST(AcceleratedBlocks, BlakeCompressions)
{
    const BlakeVariant<uint32_t> blake256[] = {
        {"BLAKE-256 ssse3", cpu_ssse3, blake256_compress_ssse3},
    };
    check_blake(blake256, blake256_compress_portable);
    const BlakeVariant<uint64_t> blake512[] = {
        {"BLAKE-512 ssse3", cpu_ssse3, blake512_compress_ssse3},
        {"BLAKE-512 avx2", cpu_avx2, blake512_compress_avx2},
    };
    check_blake(blake512, blake512_compress_portable);
}

// A compression of a chaining value of 8 words and a 64-byte block (SM3, Whirlpool).
template <class Word> struct ChainVariant {
    const char* name;
    uint32_t needs;
    void (*compress)(Word*, const uint8_t*);
};

template <class Word>
void check_chain(const ChainVariant<Word>& v, void (*reference)(Word*, const uint8_t*))
{
    if (!runnable(v.name, v.needs))
        return;
    Xorshift32 r(v.needs * 31u + sizeof(Word) + 64);
    for (int trial = 0; trial < 200; ++trial) {
        Word chain[8], expected[8];
        uint8_t block[64];
        fill(r, chain, 8);
        fill(r, reinterpret_cast<uint32_t*>(block), sizeof block / 4);
        std::memcpy(expected, chain, sizeof chain);
        reference(expected, block);
        v.compress(chain, block);
        ASSERT_EQ(std::memcmp(chain, expected, sizeof chain), 0) << v.name << ", trial " << trial;
    }
}

TEST(AcceleratedBlocks, Sm3AndWhirlpoolCompressions)
{
    check_chain<uint32_t>({"SM3 unrolled", 0, sm3_compress_unrolled}, sm3_compress_portable);
#if defined(__x86_64__)
    check_chain<uint64_t>({"Whirlpool x64", 0, whirlpool_compress_x64},
                          whirlpool_compress_portable);
#elif defined(__i386__)
    check_chain<uint64_t>({"Whirlpool mmx", cpu_sse2, whirlpool_compress_mmx},
                          whirlpool_compress_portable);
#endif
}

struct KeccakVariant {
    const char* name;
    uint32_t needs;
    void (*permute)(uint64_t*);
};

TEST(AcceleratedBlocks, KeccakPermutations)
{
    const KeccakVariant variants[] = {
#if defined(__x86_64__)
        {"Keccak x64", 0, keccak_f1600_x64},
        {"Keccak bmi", cpu_bmi1, keccak_f1600_bmi},
#elif defined(__i386__)
        {"Keccak sse2", cpu_sse2, keccak_f1600_sse2},
        {"Keccak avx2", cpu_avx2, keccak_f1600_avx2},
        {"Keccak avx512", cpu_avx2 | cpu_avx512, keccak_f1600_avx512},
#endif
    };
    for (const KeccakVariant& v : variants) {
        if (!runnable(v.name, v.needs))
            continue;
        Xorshift32 r(1600);
        for (int trial = 0; trial < 50; ++trial) {
            uint64_t expected[25], lanes[25];
            fill(r, expected, 25);
            std::memcpy(lanes, expected, sizeof lanes);
            Sha3::keccak_f1600(expected);
            v.permute(lanes);
            ASSERT_EQ(std::memcmp(lanes, expected, sizeof lanes), 0)
                << v.name << ", trial " << trial;
        }
        EXPECT_TRUE(keccak_permutation_agrees(Sha3::keccak_f1600, v.permute)) << v.name;
    }
    // The self-check before a permutation may be chosen refuses one that is wrong.
    EXPECT_FALSE(keccak_permutation_agrees(Sha3::keccak_f1600, [](uint64_t lanes[25]) {
        Sha3::keccak_f1600(lanes);
        lanes[24] ^= 1;
    }));
}

} // namespace
