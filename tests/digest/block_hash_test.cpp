// The shared machinery, checked once for every algorithm the factory makes: however a message
// is cut, aligned or repeated, the digest is the one-shot digest. Plus the block engine's
// padding, length fields and digest text, seen from inside with small test algorithms.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "digest/block_hash.h"
#include "support/variants.h"
#include "support/vectors.h"

namespace {

// Three blocks of the largest block size (SHA3-224's 144-byte rate) and a few bytes more.
const size_t three_blocks = 3 * 144 + 7;

// At every processor feature level: the objects a test makes all use the test's level.
class EveryAlgorithm : public VariantTest {
protected:
    void SetUp() override
    {
        VariantTest::SetUp();
        algorithm_.reset(create_algorithm(id()));
        if (!algorithm_)
            GTEST_SKIP() << algorithm_name(id()) << " is not built";
        message_ = pattern_message(three_blocks);
        expected_ = one_shot_hex(id(), message_.data(), message_.size());
    }

    std::unique_ptr<HashAlgorithm> algorithm_;
    std::vector<uint8_t> message_;
    std::string expected_;
};

TEST_P(EveryAlgorithm, EverySplitPointOfThreeBlocks)
{
    for (size_t split = 0; split <= message_.size(); ++split) {
        algorithm_->reset();
        algorithm_->update(message_.data(), uint32_t(split));
        algorithm_->update(message_.data() + split, uint32_t(message_.size() - split));
        ASSERT_EQ(finish_hex(*algorithm_), expected_) << "split at " << split;
    }
}

TEST_P(EveryAlgorithm, ByteByByte)
{
    for (uint8_t b : message_)
        algorithm_->update(&b, 1);
    EXPECT_EQ(finish_hex(*algorithm_), expected_);
}

TEST_P(EveryAlgorithm, ZeroLengthUpdatesWithNullChangeNothing)
{
    algorithm_->update(nullptr, 0);
    algorithm_->update(message_.data(), 100);
    algorithm_->update(nullptr, 0);
    algorithm_->update(message_.data() + 100, uint32_t(message_.size() - 100));
    algorithm_->update(nullptr, 0);
    EXPECT_EQ(finish_hex(*algorithm_), expected_);

    std::unique_ptr<HashAlgorithm> empty(create_algorithm(id()));
    empty->update(nullptr, 0);
    EXPECT_EQ(finish_hex(*empty), one_shot_hex(id(), nullptr, 0));
}

TEST_P(EveryAlgorithm, MisalignedInput)
{
    std::vector<uint8_t> storage(message_.size() + 16);
    for (size_t offset = 1; offset < 16; ++offset) {
        std::memcpy(storage.data() + offset, message_.data(), message_.size());
        algorithm_->reset();
        algorithm_->update(storage.data() + offset, uint32_t(message_.size()));
        EXPECT_EQ(finish_hex(*algorithm_), expected_) << "offset " << offset;
    }
}

TEST_P(EveryAlgorithm, ResetAfterDataAndAfterFinish)
{
    algorithm_->update(message_.data(), 77);
    algorithm_->reset();
    algorithm_->update(message_.data(), uint32_t(message_.size()));
    EXPECT_EQ(finish_hex(*algorithm_), expected_);

    algorithm_->reset();
    algorithm_->update(message_.data(), uint32_t(message_.size()));
    EXPECT_EQ(finish_hex(*algorithm_), expected_);
}

TEST_P(EveryAlgorithm, DigestTextIsStableAndLowerCaseMatches)
{
    algorithm_->update(message_.data(), uint32_t(message_.size()));
    algorithm_->finish();
    wchar_t upper[HashAlgorithm::max_digest_text];
    wchar_t again[HashAlgorithm::max_digest_text];
    wchar_t lower[HashAlgorithm::max_digest_text];
    algorithm_->digest_text(upper, false);
    algorithm_->digest_text(again, false);
    algorithm_->digest_text(lower, true);
    EXPECT_EQ(narrow(upper), expected_);
    EXPECT_EQ(narrow(again), expected_);
    std::string lowered = expected_;
    for (char& c : lowered)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(narrow(lower), lowered);
    EXPECT_EQ(std::wcslen(upper), 2 * algorithm_->digest_size());
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryAlgorithm, ::testing::ValuesIn(every_variant()),
                         variant_test_name);

// A digest of fixed bytes 00 01 .. n-1 xor 0xA5, to check digest_text alone.
class FixedDigest : public HashAlgorithm {
public:
    explicit FixedDigest(uint32_t size) : size_(size) {}
    void reset() override {}
    void update(const void*, uint32_t) override {}
    void finish() override {}
    void get_digest(uint8_t* out) override
    {
        for (uint32_t i = 0; i < size_; ++i)
            out[i] = uint8_t(i ^ 0xA5);
    }
    uint32_t digest_size() override { return size_; }

private:
    uint32_t size_;
};

TEST(DigestText, FourAndSixtyFourByteDigestsEndInOneTerminator)
{
    for (uint32_t size : {4u, 64u}) {
        FixedDigest d(size);
        wchar_t text[HashAlgorithm::max_digest_text + 8];
        std::fill(std::begin(text), std::end(text), L'#');
        d.digest_text(text, false);
        std::string expected;
        for (uint32_t i = 0; i < size; ++i) {
            static const char digits[] = "0123456789ABCDEF";
            expected += digits[(i ^ 0xA5) >> 4];
            expected += digits[(i ^ 0xA5) & 15];
        }
        EXPECT_EQ(narrow(text), expected);
        EXPECT_EQ(text[2 * size], L'\0');
        EXPECT_EQ(text[2 * size + 1], L'#') << "wrote past the terminator";
    }
    FixedDigest four(4);
    wchar_t text[9];
    four.digest_text(text, true);
    EXPECT_EQ(narrow(text), "a5a4a7a6");
}

// A block algorithm whose transform records every block it compresses, with hooks into the
// protected machinery.
class RecordingHash : public BlockHash {
public:
    explicit RecordingHash(uint32_t block_size)
        : BlockHash(state_words_, sizeof state_words_, block_, block_size)
    {
        reset_state(nullptr);
    }
    void reset() override { reset_state(nullptr); }
    void finish() override { block_size_ == 64 ? finish_be64() : finish_be128(); }
    void get_digest(uint8_t* out) override { write_be32_words(out, 8); }
    void transform() override { blocks.emplace_back(buffer_, buffer_ + block_size_); }

    void set_count(uint32_t low, uint32_t high) { byte_count_ = {low, high}; }
    ByteCount count() const { return byte_count_; }
    uint32_t in_buffer() const { return buffered_; }
    void le64(uint8_t* out) const { bit_length_le64(out); }
    void be64(uint8_t* out) const { bit_length_be64(out); }
    void be128(uint8_t* out) const { bit_length_be128(out); }
    void be256(uint8_t* out) const { bit_length_be256(out); }
    void pad(uint32_t position) { pad_to(position); }

    std::vector<std::vector<uint8_t>> blocks;

private:
    uint32_t state_words_[8];
    uint8_t block_[128];
};

TEST(BlockEngine, FinalBlocksAtThePaddingBorders)
{
    struct Border {
        uint32_t block, left, final_blocks;
    };
    for (Border b : {Border{64, 55, 1}, Border{64, 56, 2}, Border{64, 63, 2}, Border{64, 0, 1},
                     Border{128, 111, 1}, Border{128, 112, 2}}) {
        RecordingHash h(b.block);
        const std::vector<uint8_t> m = pattern_message(b.block + b.left);
        h.update(m.data(), uint32_t(m.size()));
        ASSERT_EQ(h.blocks.size(), 1u);
        h.finish();
        ASSERT_EQ(h.blocks.size(), 1 + b.final_blocks) << b.block << "/" << b.left;
        EXPECT_EQ(h.in_buffer(), 0u);
        const std::vector<uint8_t>& first = h.blocks[1];
        EXPECT_EQ(first[b.left], 0x80);
        for (uint32_t i = b.left + 1; i < b.block - (b.final_blocks == 1 ? b.block / 8 : 0); ++i)
            ASSERT_EQ(first[i], 0) << "byte " << i;
        // The length field closes the last block: bit count of block + left bytes.
        const std::vector<uint8_t>& last = h.blocks.back();
        const uint64_t bits = uint64_t(m.size()) * 8;
        EXPECT_EQ(last[b.block - 1], uint8_t(bits));
        EXPECT_EQ(last[b.block - 2], uint8_t(bits >> 8));
    }
}

TEST(BlockEngine, ByteCounterCarriesIntoTheHighWord)
{
    RecordingHash h(64);
    h.set_count(0xFFFFFFF0u, 0);
    const std::vector<uint8_t> m(32, 0);
    h.update(m.data(), 32);
    EXPECT_EQ(h.count().low, 0x10u);
    EXPECT_EQ(h.count().high, 1u);
    h.update(nullptr, 0);
    EXPECT_EQ(h.count().low, 0x10u);
}

TEST(BlockEngine, LengthFieldsUseBothWordsAndTheTopThreeBits)
{
    RecordingHash h(128);
    // 0xE0000001_80000001 bytes = 0x7_00000000C_00000008 bits: T = 7.
    h.set_count(0x80000001u, 0xE0000001u);
    uint8_t le[8], be[8], be128[16], be256[32];
    h.le64(le);
    h.be64(be);
    h.be128(be128);
    h.be256(be256);
    const uint8_t l_be[8] = {0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x08};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(be[i], l_be[i]) << i;
        EXPECT_EQ(le[i], l_be[7 - i]) << i;
        EXPECT_EQ(be128[8 + i], l_be[i]) << i;
        EXPECT_EQ(be256[24 + i], l_be[i]) << i;
    }
    EXPECT_EQ(be128[7], 7);
    EXPECT_EQ(be256[23], 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(be128[i], 0) << i;
    for (int i = 0; i < 23; ++i)
        EXPECT_EQ(be256[i], 0) << i;
}

TEST(BlockEngine, PadToCompressesOnlyWhenPastThePosition)
{
    RecordingHash h(64);
    const std::vector<uint8_t> m(60, 0xFF);
    h.update(m.data(), 60);
    h.pad(56);
    ASSERT_EQ(h.blocks.size(), 1u);
    EXPECT_EQ(h.blocks[0][59], 0xFF);
    EXPECT_EQ(h.blocks[0][60], 0);
    EXPECT_EQ(h.in_buffer(), 56u);
    h.pad(56);
    EXPECT_EQ(h.blocks.size(), 1u);
    EXPECT_EQ(h.count().low, 60u) << "padding must not count as input";
}

} // namespace
