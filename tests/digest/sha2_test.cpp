// SHA-224 and SHA-384 are SHA-256 and SHA-512 with another start value and a shorter digest:
// the whole eight-word state is kept and only the written digest is cut.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "digest/block_hash.h"
#include "support/vectors.h"

namespace {

struct Shortened {
    AlgorithmId id;
    uint32_t digest, state;
};

TEST(Sha2, ShortVariantsKeepTheFullStateAndWriteOnlyTheirDigest)
{
    for (Shortened s : {Shortened{4, 28, 32}, Shortened{6, 48, 64}}) {
        std::unique_ptr<HashAlgorithm> a(create_algorithm(s.id));
        auto* block = dynamic_cast<BlockHash*>(a.get());
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(a->digest_size(), s.digest) << algorithm_name(s.id);
        EXPECT_EQ(block->BlockHash::digest_size(), s.state)
            << "state_size of " << algorithm_name(s.id);

        a->update("abc", 3);
        a->finish();
        uint8_t out[HashAlgorithm::max_digest_size];
        std::memset(out, 0x5A, sizeof out);
        a->get_digest(out);
        for (size_t i = s.digest; i < sizeof out; ++i)
            ASSERT_EQ(out[i], 0x5A) << algorithm_name(s.id) << " wrote byte " << i;
    }
}

} // namespace
