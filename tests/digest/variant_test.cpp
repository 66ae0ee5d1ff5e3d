// Every accelerated variant against the portable code on random messages: whatever block
// function a feature level selects must give the portable digest, however the message is cut.
// Also the feature levels the variant tests run at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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
    const uint32_t detected = cpu_features_detected();
    if (detected != 0) {
        EXPECT_STREQ(levels.back().name, "portable");
        EXPECT_EQ(levels.back().mask, 0u);
    }
    for (size_t i = 0; i < levels.size(); ++i) {
        std::printf("level %s: %s\n", levels[i].name, cpu_feature_names(detected & levels[i].mask));
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(detected & levels[i].mask, detected & levels[j].mask)
                << levels[i].name << " repeats " << levels[j].name;
    }
}

// One object of the test's level and one portable object, each reset and reused throughout.
class VariantsAgree : public VariantTest {
protected:
    void SetUp() override
    {
        limit_cpu_features(0);
        portable_.reset(create_algorithm(id()));
        VariantTest::SetUp();
        variant_.reset(create_algorithm(id()));
        if (!variant_ || !portable_)
            GTEST_SKIP() << algorithm_name(id()) << " is not built";
    }

    std::string portable_hex(const std::vector<uint8_t>& m)
    {
        portable_->reset();
        portable_->update(m.data(), uint32_t(m.size()));
        return finish_hex(*portable_);
    }

    std::string variant_hex_in_pieces(const std::vector<uint8_t>& m, uint32_t max_piece,
                                      Xorshift32& random)
    {
        variant_->reset();
        for (size_t at = 0; at < m.size();) {
            const size_t n = std::min<size_t>(m.size() - at, 1 + random.below(max_piece));
            variant_->update(m.data() + at, uint32_t(n));
            at += n;
        }
        return finish_hex(*variant_);
    }

    std::unique_ptr<HashAlgorithm> portable_;
    std::unique_ptr<HashAlgorithm> variant_;
};

// Most messages are up to three of the largest blocks and a little more, so every padding
// border and every tail of a multi-block loop comes up; every tenth is up to 20 KiB, long runs
// of whole blocks through the variant's loop. The pieces range from single bytes to the whole
// message.
TEST_P(VariantsAgree, RandomMessagesInRandomPieces)
{
    static const uint32_t max_pieces[] = {1, 7, 64, 129, 1000, 1u << 30};
    Xorshift32 random(0x9E3779B9u ^ uint32_t(id()) * 2654435761u);
    std::vector<uint8_t> m;
    for (int i = 0; i < 300; ++i) {
        m.resize(i % 10 == 9 ? random.below(20481) : random.below(3 * 144 + 64));
        for (uint8_t& b : m)
            b = uint8_t(random.next() >> 24);
        const uint32_t max_piece = max_pieces[random.below(6)];
        ASSERT_EQ(variant_hex_in_pieces(m, max_piece, random), portable_hex(m))
            << "message " << i << ": " << m.size() << " bytes, pieces up to " << max_piece;
    }
}

// Every level but the portable one (which the comparison would meet with itself).
INSTANTIATE_TEST_SUITE_P(Catalogue, VariantsAgree, ::testing::ValuesIn(every_variant(false)),
                         variant_test_name);

} // namespace
