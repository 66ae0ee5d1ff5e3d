// SHA-3 on the block engine: what transform absorbs at the rate borders, the digests of
// messages three rates long, and the squeeze leaving the object as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "digest/sha3/sha3.h"
#include "support/vectors.h"

namespace {

// Records every block the sponge absorbs, then absorbs it: one at a time from the buffer, or
// whole blocks of the caller's data at once (which may come back through transform).
class RecordingSha3 : public Sha3 {
public:
    explicit RecordingSha3(uint32_t digest_size) : Sha3(digest_size) {}
    void transform() override
    {
        if (!in_blocks_)
            blocks.emplace_back(buffer_, buffer_ + block_size_);
        Sha3::transform();
    }
    void transform_blocks(const uint8_t* data, uint32_t count) override
    {
        for (uint32_t i = 0; i < count; ++i)
            blocks.emplace_back(data + i * block_size_, data + (i + 1) * block_size_);
        in_blocks_ = true;
        Sha3::transform_blocks(data, count);
        in_blocks_ = false;
    }
    std::vector<std::vector<uint8_t>> blocks;

private:
    bool in_blocks_ = false;
};

const uint32_t digest_sizes[4] = {28, 32, 48, 64};

AlgorithmId catalogue_id(uint32_t digest_size)
{
    return digest_size == 28 ? 8 : digest_size == 32 ? 9 : digest_size == 48 ? 10 : 11;
}

TEST(Sha3, OneLastByteLeftTakesSuffixAndPaddingTogether)
{
    for (uint32_t d : digest_sizes) {
        RecordingSha3 h(d);
        const uint32_t r = 200 - 2 * d;
        ASSERT_EQ(h.block_size(), r);
        const std::vector<uint8_t> m = pattern_message(r - 1);
        h.update(m.data(), r - 1);
        EXPECT_TRUE(h.blocks.empty()) << d;
        h.finish();
        ASSERT_EQ(h.blocks.size(), 1u) << d;
        EXPECT_TRUE(std::equal(m.begin(), m.end(), h.blocks[0].begin())) << d;
        EXPECT_EQ(h.blocks[0][r - 1], 0x86) << d;
    }
}

TEST(Sha3, WholeBlocksAndEmptyMessagesEndInAPaddingBlock)
{
    for (uint32_t d : digest_sizes) {
        const uint32_t r = 200 - 2 * d;
        for (uint32_t length : {0u, r, 2 * r}) {
            RecordingSha3 h(d);
            const std::vector<uint8_t> m = pattern_message(length);
            h.update(m.data(), length);
            EXPECT_EQ(h.blocks.size(), length / r);
            h.finish();
            ASSERT_EQ(h.blocks.size(), length / r + 1) << d << "/" << length;
            std::vector<uint8_t> padding(r, 0);
            padding[0] = 0x06;
            padding[r - 1] = 0x80;
            EXPECT_EQ(h.blocks.back(), padding) << d << "/" << length;
        }
    }
}

TEST(Sha3, TwoBytesLeftKeepSuffixAndFinalBitApart)
{
    for (uint32_t d : digest_sizes) {
        const uint32_t r = 200 - 2 * d;
        RecordingSha3 h(d);
        const std::vector<uint8_t> m = pattern_message(r + r - 2);
        h.update(m.data(), uint32_t(m.size()));
        h.finish();
        ASSERT_EQ(h.blocks.size(), 2u);
        EXPECT_EQ(h.blocks[1][r - 3], m.back());
        EXPECT_EQ(h.blocks[1][r - 2], 0x06);
        EXPECT_EQ(h.blocks[1][r - 1], 0x80);
        wchar_t text[HashAlgorithm::max_digest_text];
        h.digest_text(text, false);
        EXPECT_EQ(narrow(text), one_shot_hex(catalogue_id(d), m.data(), m.size())) << d;
    }
}

// 3r + 5 bytes of the pattern: three absorbed blocks and a short last one. Digests from
// OpenSSL 3.0 and CPython's hashlib, which agree.
TEST(Sha3, ThreeRatesAndFiveBytesAtOnceAndByteByByte)
{
    const struct {
        AlgorithmId id;
        size_t length;
        const char* hex;
    } cases[] = {
        {8, 437, "7CCE989A7EA559AFA75AE9CA1CEA47537A6763EA91EEB530790CD5AC"},
        {9, 413, "33D4900E5DCB8BBF4C0F5961E79CE6F4112742F0B73259D4D1F75CE1457C28BA"},
        {10, 317,
         "193F727FDC65AC63E38AD4E559CE81F6DFA5EE2D85E0536D91FF6B1AE596099744EB904C5BDB65635780"
         "347F7BCFB686"},
        {11, 221,
         "1AE7480C6664FF4A249BC8246C4DA00E0B4FD435685841463643367F2473B4B153B625D8E1AF10180A1C"
         "2160A8F3DAB91D9D0122D0505BF6974D54EA97A973A5"},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> m = pattern_message(c.length);
        EXPECT_EQ(one_shot_hex(c.id, m.data(), m.size()), c.hex) << algorithm_name(c.id);
        std::unique_ptr<HashAlgorithm> a(create_algorithm(c.id));
        for (uint8_t b : m)
            a->update(&b, 1);
        EXPECT_EQ(finish_hex(*a), c.hex) << algorithm_name(c.id) << " byte by byte";
    }
}

TEST(Sha3, SqueezeWritesTheDigestOnlyAndLeavesTheStateAlone)
{
    for (AlgorithmId id : {8, 9, 10, 11}) {
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id));
        a->update("abc", 3);
        a->finish();
        uint8_t first[HashAlgorithm::max_digest_size], second[HashAlgorithm::max_digest_size];
        std::memset(first, 0x5A, sizeof first);
        std::memset(second, 0xA5, sizeof second);
        a->get_digest(first);
        a->get_digest(second);
        const uint32_t d = a->digest_size();
        EXPECT_EQ(std::memcmp(first, second, d), 0) << algorithm_name(id);
        for (size_t i = d; i < sizeof first; ++i)
            ASSERT_EQ(first[i], 0x5A) << algorithm_name(id) << " wrote byte " << i;
    }
}

} // namespace
