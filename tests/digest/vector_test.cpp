// Every algorithm the factory makes against the known-answer vectors of independent
// implementations: whole messages, and the same messages fed in uneven pieces. Each runs at
// every processor feature level the machine has, so each accelerated variant meets them too.
#include <gtest/gtest.h>

#include <memory>

#include "digest/cpu_features.h"
#include "support/variants.h"
#include "support/vectors.h"

namespace {

// Messages longer than this (a million bytes and the multi-megabyte ones) run at the "full"
// and "portable" levels only.
const uint64_t longest_at_every_level = 65536;

class KnownAnswers : public VariantTest {
protected:
    void SetUp() override
    {
        VariantTest::SetUp();
        algorithm_.reset(create_algorithm(id()));
        if (!algorithm_)
            GTEST_SKIP() << algorithm_name(id()) << " is not built";
        vectors_ = load_vectors(algorithm_name(id()));
        ASSERT_FALSE(vectors_.empty()) << "no vectors/" << algorithm_name(id()) << ".txt";
    }

    bool skipped_here(const KnownAnswer& v) const
    {
        return v.set == "zeros4g" ||
               (v.length > longest_at_every_level && !runs_long_messages(GetParam().level));
    }

    std::string feed_in_pieces(const std::vector<uint8_t>& m, Xorshift32& sizes, uint32_t max_piece)
    {
        algorithm_->reset();
        size_t at = 0;
        while (at < m.size()) {
            const size_t n = std::min<size_t>(m.size() - at, 1 + sizes.below(max_piece));
            algorithm_->update(m.data() + at, uint32_t(n));
            at += n;
        }
        return finish_hex(*algorithm_);
    }

    std::unique_ptr<HashAlgorithm> algorithm_;
    std::vector<KnownAnswer> vectors_;
};

TEST_P(KnownAnswers, WholeMessages)
{
    int checked = 0;
    for (const KnownAnswer& v : vectors_) {
        if (skipped_here(v))
            continue;
        const std::vector<uint8_t> m = make_message(v.set, v.length);
        algorithm_->reset();
        algorithm_->update(m.data(), uint32_t(m.size()));
        EXPECT_EQ(finish_hex(*algorithm_), v.hex) << v.set << " " << v.length;
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

// Short messages byte by byte and in pieces of up to 2 blocks; long ones in pieces of up to
// 70,000 bytes, so every padding border is also reached through partial buffers.
TEST_P(KnownAnswers, MessagesInPieces)
{
    Xorshift32 sizes(uint32_t(id()) * 7919u);
    for (const KnownAnswer& v : vectors_) {
        if (skipped_here(v))
            continue;
        const std::vector<uint8_t> m = make_message(v.set, v.length);
        if (m.size() <= 300) {
            EXPECT_EQ(feed_in_pieces(m, sizes, 1), v.hex) << "byte by byte, " << v.length;
            EXPECT_EQ(feed_in_pieces(m, sizes, 256), v.hex) << v.set << " " << v.length;
        } else {
            EXPECT_EQ(feed_in_pieces(m, sizes, 70000), v.hex) << v.set << " " << v.length;
        }
    }
}

TEST_P(KnownAnswers, StandardExamples)
{
    const std::string name = algorithm_name(id());
    for (const StandardExample& e : load_standard_examples()) {
        if (e.algorithm != name)
            continue;
        algorithm_->reset();
        algorithm_->update(e.message.data(), uint32_t(e.message.size()));
        EXPECT_EQ(finish_hex(*algorithm_), e.hex)
            << std::string(e.message.begin(), e.message.end());
    }
}

#ifdef DRAVIK_FEED_FOUR_GIB
// 2^32 + 1000 zero bytes in 2 MiB chunks, as a run reads them: the byte counter carries into
// its high word and every length field uses both words. The counter and the length fields
// are the block engine's, so the full level alone checks them.
TEST_P(KnownAnswers, FourGiBOfZeros)
{
    if (GetParam().level.mask != cpu_all_features)
        GTEST_SKIP() << "4 GiB at the full level only";
    const KnownAnswer* expected = nullptr;
    for (const KnownAnswer& v : vectors_)
        if (v.set == "zeros4g")
            expected = &v;
    ASSERT_NE(expected, nullptr);
    const std::vector<uint8_t> zeros(2097152, 0);
    algorithm_->reset();
    for (uint64_t left = expected->length; left > 0;) {
        const uint32_t n = uint32_t(std::min<uint64_t>(left, zeros.size()));
        algorithm_->update(zeros.data(), n);
        left -= n;
    }
    EXPECT_EQ(finish_hex(*algorithm_), expected->hex);
}
#endif

INSTANTIATE_TEST_SUITE_P(Catalogue, KnownAnswers, ::testing::ValuesIn(every_variant()),
                         variant_test_name);

} // namespace
