// The catalogue's rows and the factory's answers, including what is not in the catalogue.
#include <gtest/gtest.h>

#include <memory>
#include <cstring>
#include <set>

#include "digest/block_hash.h"
#include "support/vectors.h"

namespace {

const char* const names_in_id_order[24] = {
    "--------",  "CRC32",     "MD5",       "SHA1",      "SHA224",      "SHA256",
    "SHA384",    "SHA512",    "SHA3_224",  "SHA3_256",  "SHA3_384",    "SHA3_512",
    "RIPEMD128", "RIPEMD160", "RIPEMD256", "RIPEMD320", "BLAKE224",    "BLAKE256",
    "BLAKE384",  "BLAKE512",  "BLAKE2s_256", "BLAKE2b_512", "SM3",     "Whirlpool"};

// Digest and block bytes per id (0 = no blocks), as the factory's table gives them.
const uint32_t digest_bytes[24] = {0,  4,  16, 20, 28, 32, 48, 64, 28, 32, 48, 64,
                                   16, 20, 32, 40, 28, 32, 48, 64, 32, 64, 32, 64};
const uint32_t block_bytes[24] = {0,   0,   64, 64, 64, 64, 128, 128, 144, 136, 104, 72,
                                  64,  64,  64, 64, 64, 64, 128, 128, 64,  128, 64,  64};

TEST(Catalogue, RowsInStoredOrderWithNoAlgorithmLastAndTheEndMarker)
{
    for (int row = 0; row < 23; ++row) {
        EXPECT_EQ(AlgorithmCatalogue[row].id, row + 1);
        EXPECT_EQ(narrow(AlgorithmCatalogue[row].name), names_in_id_order[row + 1]);
    }
    EXPECT_EQ(AlgorithmCatalogue[23].id, 0);
    EXPECT_EQ(narrow(AlgorithmCatalogue[23].name), "--------");
    EXPECT_EQ(AlgorithmCatalogue[24].id, algorithm_end);
    EXPECT_EQ(AlgorithmCatalogue[24].name, nullptr);
}

TEST(Catalogue, NamesMapToTheirIdsExactly)
{
    for (AlgorithmId id = 0; id < algorithm_end; ++id) {
        std::wstring name(names_in_id_order[id], names_in_id_order[id] + std::strlen(names_in_id_order[id]));
        EXPECT_EQ(algorithm_id_from_name(name.c_str()), id) << names_in_id_order[id];
    }
    for (const wchar_t* other : {L"md5", L"Sha1", L"SHA1 ", L" SHA1", L"", L"SHA3-256", L"WHIRLPOOL",
                                 L"blake2s_256", L"-------", L"CRC32\t"})
        EXPECT_EQ(algorithm_id_from_name(other), algorithm_none) << narrow(other);
}

TEST(Factory, GivesNothingOutsideOneToTwentyThree)
{
    for (AlgorithmId id : {0, 24, 25, -1, -2147483647 - 1, 1000})
        EXPECT_EQ(std::unique_ptr<HashAlgorithm>(create_algorithm(id)), nullptr) << id;
}

TEST(Factory, ObjectsHaveTheirTablesSizes)
{
    for (AlgorithmId id : built_algorithms()) {
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id));
        EXPECT_EQ(a->digest_size(), digest_bytes[id]) << names_in_id_order[id];
        auto* block = dynamic_cast<BlockHash*>(a.get());
        if (block_bytes[id] == 0)
            EXPECT_EQ(block, nullptr) << names_in_id_order[id];
        else {
            ASSERT_NE(block, nullptr) << names_in_id_order[id];
            EXPECT_EQ(block->block_size(), block_bytes[id]) << names_in_id_order[id];
        }
    }
}

TEST(Factory, ObjectsLieOnCacheLinesOfTheirOwn)
{
    static_assert(alignof(HashAlgorithm) == cache_line_size, "sizes are whole lines too");
    for (AlgorithmId id : built_algorithms()) {
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id)), b(create_algorithm(id));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(a.get()) % cache_line_size, 0u) << id;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.get()) % cache_line_size, 0u) << id;
    }
}

TEST(Factory, TheSameAlgorithmTwiceGivesTwoObjectsWithEqualResults)
{
    const std::vector<uint8_t> m = pattern_message(1000);
    for (AlgorithmId id : built_algorithms()) {
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id)), b(create_algorithm(id));
        ASSERT_NE(a.get(), b.get());
        a->update(m.data(), 500);
        b->update(m.data(), 1000);
        a->update(m.data() + 500, 500);
        EXPECT_EQ(finish_hex(*a), finish_hex(*b)) << names_in_id_order[id];
    }
}

TEST(Factory, MakesMd5AndSha1)
{
    const std::vector<AlgorithmId> ids = built_algorithms();
    const std::set<AlgorithmId> built(ids.begin(), ids.end());
    EXPECT_TRUE(built.count(2));
    EXPECT_TRUE(built.count(3));
    for (AlgorithmId id : {1, 4, 5, 6, 7, 8, 9, 10, 11, 22}) // CRC-32, SHA-2, SHA-3, SM3
        EXPECT_TRUE(built.count(id)) << names_in_id_order[id];
}

} // namespace
