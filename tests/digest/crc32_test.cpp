// CRC-32 details the known-answer files cannot show: the shared table, how often it is built,
// and the byte order and size of the digest.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "digest/crc32/crc32.h"
#include "support/vectors.h"

namespace {

TEST(Crc32, TableComesFromTheGeneratorExponents)
{
    Crc32 crc;
    const uint32_t* table = Crc32::table();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table[0], 0u);
    // Entry 128 is one bit shifted out after seven shifts: the reflected polynomial itself.
    EXPECT_EQ(table[128], 0xEDB88320u);
    EXPECT_EQ(table[1], 0x77073096u);
    EXPECT_EQ(table[255], 0x2D02EF8Du);
}

TEST(Crc32, TableIsBuiltOnceForTheWholeProcess)
{
    Crc32 first;
    const uint32_t* table = Crc32::table();
    std::unique_ptr<HashAlgorithm> second(create_algorithm(1));
    second->reset();
    first.reset();
    for (int i = 0; i < 10; ++i)
        Crc32().reset();
    EXPECT_EQ(Crc32::table_builds(), 1u);
    EXPECT_EQ(Crc32::table(), table);
}

TEST(Crc32, DigestIsTheRegisterMostSignificantByteFirst)
{
    Crc32 crc;
    const char nine[] = "123456789";
    crc.update(nine, 9);
    crc.finish();
    uint8_t out[HashAlgorithm::max_digest_size];
    std::memset(out, 0x5A, sizeof out);
    crc.get_digest(out);
    EXPECT_EQ(out[0], 0xCB);
    EXPECT_EQ(out[1], 0xF4);
    EXPECT_EQ(out[2], 0x39);
    EXPECT_EQ(out[3], 0x26);
    for (size_t i = 4; i < sizeof out; ++i)
        ASSERT_EQ(out[i], 0x5A) << "wrote past the 4-byte digest at " << i;
    EXPECT_EQ(crc.digest_size(), 4u);
}

} // namespace
