// The catalogue's rows and the factory's answers, including what is not in the catalogue.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "digest/block_hash.h"
#include "support/vectors.h"

namespace {

// The stored order of the first algorithms, 0 first: the lists' indices are these ids.
const char* const names_in_id_order[] = {
    "--------",  "CRC32",     "MD5",         "SHA1",        "SHA224",   "SHA256",
    "SHA384",    "SHA512",    "SHA3_224",    "SHA3_256",    "SHA3_384", "SHA3_512",
    "RIPEMD128", "RIPEMD160", "RIPEMD256",   "RIPEMD320",   "BLAKE224", "BLAKE256",
    "BLAKE384",  "BLAKE512",  "BLAKE2s_256", "BLAKE2b_512", "SM3",      "Whirlpool"};
const int stored_names = sizeof names_in_id_order / sizeof names_in_id_order[0];

// Block bytes of the block-based algorithms; CRC32 has no blocks.
const std::map<std::string, uint32_t> block_bytes = {
    {"MD5", 64},       {"SHA1", 64},      {"SHA224", 64},      {"SHA256", 64},
    {"SHA384", 128},   {"SHA512", 128},   {"SHA3_224", 144},   {"SHA3_256", 136},
    {"SHA3_384", 104}, {"SHA3_512", 72},  {"RIPEMD128", 64},   {"RIPEMD160", 64},
    {"RIPEMD256", 64}, {"RIPEMD320", 64}, {"BLAKE224", 64},    {"BLAKE256", 64},
    {"BLAKE384", 128}, {"BLAKE512", 128}, {"BLAKE2s_256", 64}, {"BLAKE2b_512", 128},
    {"SM3", 64},       {"Whirlpool", 64}};

TEST(Catalogue, RowsInStoredOrderWithNoAlgorithmLastAndTheEndMarker)
{
    for (int row = 0; row < algorithm_count; ++row) {
        EXPECT_EQ(AlgorithmCatalogue[row].id, row + 1);
        if (row + 1 < stored_names) {
            EXPECT_EQ(narrow(AlgorithmCatalogue[row].name), names_in_id_order[row + 1]);
        }
    }
    EXPECT_EQ(AlgorithmCatalogue[algorithm_count].id, 0);
    EXPECT_EQ(narrow(AlgorithmCatalogue[algorithm_count].name), "--------");
    EXPECT_EQ(AlgorithmCatalogue[algorithm_end].id, algorithm_end);
    EXPECT_EQ(AlgorithmCatalogue[algorithm_end].name, nullptr);
}

TEST(Catalogue, NamesMapToTheirIdsExactly)
{
    for (AlgorithmId id = 0; id < stored_names; ++id) {
        std::wstring name(names_in_id_order[id],
                          names_in_id_order[id] + std::strlen(names_in_id_order[id]));
        EXPECT_EQ(algorithm_id_from_name(name.c_str()), id) << names_in_id_order[id];
    }
    for (const wchar_t* other : {L"md5", L"Sha1", L"SHA1 ", L" SHA1", L"", L"SHA3-256",
                                 L"WHIRLPOOL", L"blake2s_256", L"-------", L"CRC32\t"})
        EXPECT_EQ(algorithm_id_from_name(other), algorithm_none) << narrow(other);
}

TEST(Factory, GivesNothingOutsideTheCatalogue)
{
    for (AlgorithmId id : {0, algorithm_end, algorithm_end + 1, -1, -2147483647 - 1, 1000})
        EXPECT_EQ(std::unique_ptr<HashAlgorithm>(create_algorithm(id)), nullptr) << id;
}

// Every row makes its algorithm, with the digest size of its vector file (CTest runs each
// algorithm's known-answer tests under that file's name: without one they would silently
// never run) and the block size of its family.
TEST(Factory, EveryRowMakesItsAlgorithmWithItsSizes)
{
    for (AlgorithmId id = 1; id <= algorithm_count; ++id) {
        const std::string name = algorithm_name(id);
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id));
        ASSERT_NE(a, nullptr) << name;
        const std::vector<KnownAnswer> vectors = load_vectors(name);
        ASSERT_FALSE(vectors.empty()) << "no vectors/" << name << ".txt";
        EXPECT_EQ(2 * a->digest_size(), vectors.front().hex.size()) << name;
        auto* block = dynamic_cast<BlockHash*>(a.get());
        const auto listed = block_bytes.find(name);
        if (name == "CRC32") {
            EXPECT_EQ(block, nullptr);
        } else if (listed != block_bytes.end()) {
            ASSERT_NE(block, nullptr) << name;
            EXPECT_EQ(block->block_size(), listed->second) << name;
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
        EXPECT_EQ(finish_hex(*a), finish_hex(*b)) << algorithm_name(id);
    }
}

} // namespace
