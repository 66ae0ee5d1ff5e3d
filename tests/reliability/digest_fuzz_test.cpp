// Every digest fed random data in random pieces (empty updates, single bytes, pieces across
// block borders, long pieces) by an object at a random processor feature level, against a
// one-shot digest of the same data by an object at the full level; then the same object reset
// and fed again must agree once more. Runs for a bounded time, round-robin over every built
// algorithm; the host build runs it under AddressSanitizer and UBSan, which also catch reads
// or writes outside the data and the objects.
//
// DRAVIK_FUZZ_SECONDS sets the duration (default 2), as for the text conversion's random run:
//     DRAVIK_FUZZ_SECONDS=300 build/host/tests/reliability/digest_fuzz_tests
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "digest/cpu_features.h"
#include "support/variants.h"
#include "support/vectors.h"

namespace {

double fuzz_seconds()
{
    const char* text = std::getenv("DRAVIK_FUZZ_SECONDS");
    const double seconds = text != nullptr ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : 2.0;
}

// Mostly short messages around the block sizes (64, 72..168, 128 bytes), sometimes long ones.
size_t random_length(Xorshift32& random)
{
    switch (random.below(8)) {
    case 0:
        return random.below(70000);
    case 1:
        return 1000 + random.below(9000);
    default:
        return random.below(600);
    }
}

// Pieces of random sizes: a piece of 0, a byte, up to a few blocks, or all the rest.
uint32_t random_piece(Xorshift32& random, size_t left)
{
    uint32_t n;
    switch (random.below(6)) {
    case 0:
        n = 0;
        break;
    case 1:
        n = 1;
        break;
    case 2:
        n = static_cast<uint32_t>(left);
        break;
    default:
        n = 1 + random.below(300);
        break;
    }
    return n < left ? n : static_cast<uint32_t>(left);
}

std::string in_pieces(HashAlgorithm& a, const std::vector<uint8_t>& m, Xorshift32& random)
{
    size_t at = 0;
    while (at < m.size()) {
        const uint32_t n = random_piece(random, m.size() - at);
        a.update(n == 0 ? (random.below(2) ? nullptr : m.data() + at) : m.data() + at, n);
        at += n;
    }
    return finish_hex(a);
}

TEST(DigestFuzz, RandomPiecesAgreeWithOneShotForEveryAlgorithm)
{
    const std::vector<AlgorithmId> ids = built_algorithms();
    ASSERT_FALSE(ids.empty());
    const std::vector<FeatureLevel> levels = feature_levels();
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(fuzz_seconds());
    // A new start value each run widens what is tried; a failure names it.
    const uint32_t start = static_cast<uint32_t>(std::time(nullptr)) | 1u;
    SCOPED_TRACE("generator start value " + std::to_string(start));
    Xorshift32 random(start);
    std::vector<size_t> messages(ids.size(), 0);
    size_t round = 0;
    while (std::chrono::steady_clock::now() < end || round < ids.size()) {
        const size_t slot = round++ % ids.size();
        const AlgorithmId id = ids[slot];
        const FeatureLevel& level = levels[random.below(uint32_t(levels.size()))];
        std::vector<uint8_t> m(random_length(random));
        for (uint8_t& b : m)
            b = static_cast<uint8_t>(random.next());

        const std::string expected = one_shot_hex(id, m.data(), m.size());
        limit_cpu_features(level.mask);
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id));
        limit_cpu_features(cpu_all_features);
        ASSERT_NE(a, nullptr);
        ASSERT_EQ(in_pieces(*a, m, random), expected)
            << algorithm_name(id) << " at " << level.name << ", " << m.size() << " bytes";
        a->reset();
        ASSERT_EQ(in_pieces(*a, m, random), expected)
            << algorithm_name(id) << " at " << level.name << " after reset";
        ++messages[slot];
    }
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_GT(messages[i], 0u) << algorithm_name(ids[i]);
    RecordProperty("messages", static_cast<int>(round));
}

} // namespace
