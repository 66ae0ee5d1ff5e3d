// What only a 32-bit x86 build has, checked where such a build runs (host32 under qemu-i386, the
// shipped win32 build under WoW64 Wine): pointers of four bytes, and the variants written
// for 32-bit x86 (Keccak and SHA-384/512 in SSE2 registers, both in AVX2 registers where the
// processor has AVX2, Whirlpool in MMX registers) chosen on a processor with SSE2, run by the
// objects, and giving what the portable code gives; after Whirlpool's MMX code, the x87 unit that
// 32-bit code computes doubles with still works. The 32-bit builds run it as a CTest entry of its
// own, which passes only when this one test ran and passed; elsewhere it is skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "digest/cpu_features.h"
#include "digest/sha3/sha3.h"
#include "digest/sha3/sha3_variants.h"
#include "digest/sha/sha_variants.h"
#include "digest/whirlpool/whirlpool_variants.h"
#include "support/vectors.h"

namespace {

#if defined(__i386__)
std::string digest_at(AlgorithmId id, const std::vector<uint8_t>& message, uint32_t features)
{
    limit_cpu_features(features);
    std::unique_ptr<HashAlgorithm> digest(create_algorithm(id));
    limit_cpu_features(cpu_all_features);
    digest->update(message.data(), static_cast<uint32_t>(message.size()));
    return finish_hex(*digest);
}
#endif

TEST(ThirtyTwoBit, FourBytePointersAndTheI686VariantsChosenAndRun)
{
#if !defined(__i386__)
    GTEST_SKIP() << "not a 32-bit x86 build";
#else
    EXPECT_EQ(sizeof(void*), 4u);
    const uint32_t features = cpu_features();
    ASSERT_NE(features & cpu_sse2, 0u) << "no SSE2 here: the 32-bit variants cannot run";
    // With AVX-512, the faster of its permutation and the AVX2 one.
    const KeccakPermutation permutation = keccak_permutation_for(features);
    if (features & cpu_avx512)
        EXPECT_TRUE(permutation == keccak_f1600_avx2 || permutation == keccak_f1600_avx512);
    else
        EXPECT_EQ(permutation, (features & cpu_avx2) ? keccak_f1600_avx2 : keccak_f1600_sse2);
    EXPECT_EQ(keccak_permutation_for(features & ~cpu_avx512),
              (features & cpu_avx2) ? keccak_f1600_avx2 : keccak_f1600_sse2);
    EXPECT_EQ(keccak_permutation_for(features & ~cpu_avx2), keccak_f1600_sse2);
    // With AVX2's permutation, whole blocks are absorbed with the state kept in registers, at
    // the rates where that is faster.
    for (uint32_t rate : {144u, 136u, 72u}) {
        EXPECT_EQ(keccak_absorb_for(features, rate),
                  permutation == keccak_f1600_avx2 ? keccak_absorb_avx2 : nullptr);
        EXPECT_EQ(keccak_absorb_for(features & ~cpu_avx512, rate),
                  (features & cpu_avx2) ? keccak_absorb_avx2 : nullptr);
    }
    EXPECT_EQ(keccak_absorb_for(features, 104), nullptr);
    std::printf("Keccak: %s\n", permutation == keccak_f1600_avx512 ? "AVX-512"
                                : permutation == keccak_f1600_avx2 ? "AVX2"
                                                                   : "SSE2");
    EXPECT_EQ(sha512_block_function_for(features), sha512_block_sse2);
    // With AVX2 the pairs-of-words blocks function takes every block; without it, SSE2's. With
    // AVX-512 too, the faster of that and the AVX-512 one.
    const Sha512BlocksFunction blocks = sha512_blocks_function_for(features);
    if (features & cpu_avx512)
        EXPECT_TRUE(blocks == sha512_blocks_avx2_x86 || blocks == sha512_blocks_avx512_x86);
    else
        EXPECT_EQ(blocks, (features & cpu_avx2) ? sha512_blocks_avx2_x86 : nullptr);
    EXPECT_EQ(sha512_blocks_function_for(features & ~cpu_avx512),
              (features & cpu_avx2) ? sha512_blocks_avx2_x86 : nullptr);
    EXPECT_EQ(sha512_blocks_function_for(features & ~cpu_avx2), nullptr);
    std::printf("SHA-512 blocks: %s\n", blocks == sha512_blocks_avx512_x86 ? "AVX-512"
                                        : blocks == sha512_blocks_avx2_x86 ? "AVX2"
                                                                           : "SSE2 block");
    EXPECT_EQ(whirlpool_compression_for(features), whirlpool_compress_mmx);

    Xorshift32 random(32);
    std::vector<uint8_t> message(5000);
    for (uint8_t& byte : message)
        byte = static_cast<uint8_t>(random.next());
    for (const wchar_t* name : {L"SHA3_256", L"SHA512", L"Whirlpool"}) {
        const AlgorithmId id = algorithm_id_from_name(name);
        EXPECT_EQ(digest_at(id, message, features), digest_at(id, message, 0)) << id;
    }
    // Whirlpool's MMX registers are the x87 registers: left in MMX state, every double after
    // it would come out as not a number.
    volatile double half = 0.5;
    EXPECT_EQ(half * 3.0, 1.5);
#endif
}

} // namespace
