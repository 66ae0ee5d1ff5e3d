// The four RIPEMD widths share constant tables and nothing else: objects of every width fed
// in turn, piece by piece, each give the digest they give alone.
#include <gtest/gtest.h>

#include <memory>

#include "digest/ripemd/ripemd.h"
#include "support/vectors.h"

namespace {

TEST(Ripemd, InterleavedObjectsOfEveryWidthStayApart)
{
    std::unique_ptr<HashAlgorithm> objects[] = {
        std::make_unique<Ripemd128>(), std::make_unique<Ripemd160>(),
        std::make_unique<Ripemd256>(), std::make_unique<Ripemd320>(),
        std::make_unique<Ripemd128>(), std::make_unique<Ripemd320>()};
    const AlgorithmId ids[] = {12, 13, 14, 15, 12, 15};
    const uint32_t sizes[] = {16, 20, 32, 40, 16, 40};

    // Each object gets its own message length, so their buffers never hold the same bytes.
    std::vector<std::vector<uint8_t>> messages;
    for (size_t i = 0; i < 6; ++i)
        messages.push_back(pattern_message(300 + 37 * i));
    Xorshift32 pieces(12345);
    std::vector<size_t> at(6, 0);
    for (bool fed = true; fed;) {
        fed = false;
        for (size_t i = 0; i < 6; ++i) {
            const size_t n = std::min<size_t>(messages[i].size() - at[i], pieces.below(90));
            objects[i]->update(messages[i].data() + at[i], uint32_t(n));
            at[i] += n;
            fed = fed || at[i] < messages[i].size();
        }
    }
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(objects[i]->digest_size(), sizes[i]);
        EXPECT_EQ(finish_hex(*objects[i]),
                  one_shot_hex(ids[i], messages[i].data(), messages[i].size()))
            << "object " << i;
    }
}

} // namespace
