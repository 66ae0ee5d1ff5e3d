// Every accelerated variant against the portable path on random messages fed in random pieces,
// and the feature levels the variant tests run.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "digest/cpu_features.h"
#include "support/variants.h"
#include "support/vectors.h"

namespace {

TEST(FeatureLevels, DistinctFullFirstPortableLast)
{
    const std::vector<FeatureLevel> levels = feature_levels();
    ASSERT_FALSE(levels.empty());
    EXPECT_STREQ(levels.front().name, "full");
    if (cpu_features_detected() != 0) {
        ASSERT_GE(levels.size(), 2u);
        EXPECT_STREQ(levels.back().name, "portable");
    }
    std::vector<uint32_t> effective;
    for (const FeatureLevel& level : levels) {
        const uint32_t e = cpu_features_detected() & level.mask;
        EXPECT_EQ(std::count(effective.begin(), effective.end(), e), 0) << level.name;
        effective.push_back(e);
    }
}

class VariantsAgree : public VariantTest {
protected:
    // The digest of m fed in pieces of 1 to max_piece bytes, by an object of the test's level.
    std::string variant_hex_in_pieces(const std::vector<uint8_t>& m, uint32_t max_piece,
                                      Xorshift32& random)
    {
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id()));
        size_t at = 0;
        while (at < m.size()) {
            const size_t n = std::min<size_t>(m.size() - at, 1 + random.below(max_piece));
            a->update(m.data() + at, uint32_t(n));
            at += n;
        }
        return finish_hex(*a);
    }

    // The portable digest of m in one piece.
    std::string portable_hex(const std::vector<uint8_t>& m)
    {
        limit_cpu_features(0);
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id()));
        limit_cpu_features(GetParam().level.mask);
        a->update(m.data(), uint32_t(m.size()));
        return finish_hex(*a);
    }
};

TEST_P(VariantsAgree, RandomMessagesInRandomPieces)
{
    std::unique_ptr<HashAlgorithm> probe(create_algorithm(id()));
    if (!probe)
        GTEST_SKIP() << algorithm_name(id()) << " is not built";
    Xorshift32 random(uint32_t(id()) * 1000003u + GetParam().level.mask);
    for (int i = 0; i < 64; ++i) {
        const size_t length = random.below(1000);
        std::vector<uint8_t> m(length);
        for (uint8_t& b : m)
            b = uint8_t(random.next());
        const uint32_t max_piece = i % 2 ? 1 + random.below(200) : 1;
        EXPECT_EQ(variant_hex_in_pieces(m, max_piece, random), portable_hex(m))
            << length << " bytes in pieces of up to " << max_piece;
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, VariantsAgree, ::testing::ValuesIn(every_variant(false)),
                         variant_test_name);

} // namespace
