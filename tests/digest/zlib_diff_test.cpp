// Our CRC-32 against zlib's crc32 on random messages fed in random pieces.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <memory>

#include "support/vectors.h"

namespace {

std::string zlib_hex(const std::vector<uint8_t>& m)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, m.data(), uInt(m.size()));
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08lX", crc & 0xFFFFFFFFul);
    return hex;
}

TEST(AgainstZlib, RandomMessagesInRandomPieces)
{
    Xorshift32 rng(0x2545F491u);
    for (int round = 0; round < 1000; ++round) {
        std::vector<uint8_t> m(rng.below(10 * 1024 + 1));
        for (uint8_t& b : m)
            b = uint8_t(rng.next());
        std::unique_ptr<HashAlgorithm> ours(create_algorithm(1));
        ASSERT_TRUE(ours);
        for (size_t at = 0; at < m.size();) {
            const size_t n =
                std::min<size_t>(m.size() - at, rng.below(300) == 0 ? 5000 : rng.below(200));
            ours->update(m.data() + at, uint32_t(n));
            at += n;
        }
        ASSERT_EQ(finish_hex(*ours), zlib_hex(m))
            << "message " << round << " of " << m.size() << " bytes";
    }
}

} // namespace
