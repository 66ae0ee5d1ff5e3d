// BLAKE and BLAKE2 seen from inside: which blocks reach the compression at the padding borders
// (BLAKE's marker bit, BLAKE2's kept last block), the digest sizes of the catalogue classes and
// BLAKE2 at other digest lengths. The digests themselves are checked by the vector files and
// standard_examples.txt, which hold the BLAKE designers' and RFC 7693's examples.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "digest/blake/blake.h"
#include "digest/blake/blake2.h"
#include "digest/blake/blake2_variants.h"
#include "digest/cpu_features.h"
#include "support/variants.h"
#include "support/vectors.h"

namespace {

using Blocks = std::vector<std::vector<uint8_t>>;

// Records every block handed to the compression, then compresses it as usual.
template <class Algorithm> class Recording : public Algorithm {
public:
    using Algorithm::Algorithm;
    void transform() override
    {
        blocks.emplace_back(this->buffer_, this->buffer_ + this->block_size_);
        Algorithm::transform();
    }
    uint32_t in_buffer() const { return this->buffered_; }

    Blocks blocks;
};

template <class Algorithm> Blocks final_blocks(uint32_t length, size_t* during_update = nullptr)
{
    Recording<Algorithm> h;
    const std::vector<uint8_t> zeros(length, 0);
    h.update(zeros.data(), length);
    const size_t before = h.blocks.size();
    if (during_update)
        *during_update = before;
    h.finish();
    return Blocks(h.blocks.begin() + before, h.blocks.end());
}

// BLAKE 1.3 section 2.1.1: 0x80, zeros, the marker bit in the byte before the length field;
// one shared byte 0x81 / 0x80 when exactly one byte is free.
TEST(BlakePadding, MarkerBitAtTheBorders)
{
    Blocks b = final_blocks<Blake256>(55);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0][55], 0x81);
    EXPECT_EQ(b[0][63], uint8_t(55 * 8));
    EXPECT_EQ(b[0][62], uint8_t((55 * 8) >> 8));

    b = final_blocks<Blake224>(55);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0][55], 0x80);

    b = final_blocks<Blake256>(56);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0][56], 0x80);
    EXPECT_EQ(b[0][63], 0);
    EXPECT_EQ(b[1][54], 0);
    EXPECT_EQ(b[1][55], 0x01);
    EXPECT_EQ(b[1][63], uint8_t(56 * 8));

    b = final_blocks<Blake224>(63);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0][63], 0x80);
    EXPECT_EQ(b[1][0], 0);
    EXPECT_EQ(b[1][55], 0x00);

    b = final_blocks<Blake512>(111);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0][111], 0x81);
    EXPECT_EQ(b[0][127], uint8_t(111 * 8));
    EXPECT_EQ(b[0][126], uint8_t((111 * 8) >> 8));

    b = final_blocks<Blake384>(112);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0][112], 0x80);
    EXPECT_EQ(b[1][111], 0x00);
}

TEST(BlakePadding, WholeBlocksAreCompressedByUpdateAndPaddingGetsItsOwnBlock)
{
    size_t during_update = 0;
    Blocks b = final_blocks<Blake256>(64, &during_update);
    EXPECT_EQ(during_update, 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0][0], 0x80);
    EXPECT_EQ(b[0][55], 0x01);
    EXPECT_EQ(b[0][62], 0x02); // 512 bits

    b = final_blocks<Blake512>(256, &during_update);
    EXPECT_EQ(during_update, 2u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0][0], 0x80);
    EXPECT_EQ(b[0][111], 0x01);
    EXPECT_EQ(b[0][126], 0x08); // 2048 bits

    b = final_blocks<Blake384>(0, &during_update);
    EXPECT_EQ(during_update, 0u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0][0], 0x80);
    EXPECT_EQ(b[0][111], 0x00);
}

// RFC 7693 section 3.3: the block that holds the last message bytes is the one compressed with
// the last-block flag, so a full block waits in the buffer until more input or finish.
TEST(Blake2Buffering, FullBlockWaitsForMoreInputOrFinish)
{
    Recording<Blake2s256> s;
    const std::vector<uint8_t> m = pattern_message(129);
    s.update(m.data(), 64);
    EXPECT_EQ(s.blocks.size(), 0u);
    EXPECT_EQ(s.in_buffer(), 64u);
    s.update(nullptr, 0);
    EXPECT_EQ(s.blocks.size(), 0u) << "an empty update must not compress the waiting block";
    s.update(m.data() + 64, 1);
    ASSERT_EQ(s.blocks.size(), 1u);
    EXPECT_EQ(s.blocks[0], std::vector<uint8_t>(m.begin(), m.begin() + 64));
    EXPECT_EQ(s.in_buffer(), 1u);

    Recording<Blake2b512> b;
    b.update(m.data(), 128);
    EXPECT_EQ(b.blocks.size(), 0u);
    b.finish();
    ASSERT_EQ(b.blocks.size(), 1u) << "one block of message is one compression in all";
    EXPECT_EQ(b.blocks[0], std::vector<uint8_t>(m.begin(), m.begin() + 128));
}

TEST(Blake2Buffering, LastBlockIsZeroFilledAndEmptyMessageIsOneZeroBlock)
{
    Recording<Blake2s256> s;
    const std::vector<uint8_t> m(65, 0xFF);
    s.update(m.data(), 65);
    s.finish();
    ASSERT_EQ(s.blocks.size(), 2u);
    EXPECT_EQ(s.blocks[1][0], 0xFF);
    EXPECT_EQ(s.blocks[1][1], 0);
    EXPECT_EQ(s.blocks[1][63], 0);
    EXPECT_EQ(s.in_buffer(), 0u);

    Recording<Blake2b512> b;
    b.finish();
    ASSERT_EQ(b.blocks.size(), 1u);
    EXPECT_EQ(b.blocks[0], std::vector<uint8_t>(128, 0));
}

TEST(BlakeFamily, DigestAndBlockSizes)
{
    struct Expected {
        AlgorithmId id;
        uint32_t digest, block;
    };
    for (Expected e : {Expected{16, 28, 64}, Expected{17, 32, 64}, Expected{18, 48, 128},
                       Expected{19, 64, 128}, Expected{20, 32, 64}, Expected{21, 64, 128}}) {
        std::unique_ptr<HashAlgorithm> a(create_algorithm(e.id));
        ASSERT_TRUE(a);
        auto* block_hash = dynamic_cast<BlockHash*>(a.get());
        ASSERT_NE(block_hash, nullptr);
        EXPECT_EQ(a->digest_size(), e.digest) << e.id;
        EXPECT_EQ(block_hash->block_size(), e.block) << e.id;

        // get_digest writes digest_size bytes and nothing past them.
        a->finish();
        uint8_t out[HashAlgorithm::max_digest_size];
        std::memset(out, 0xEE, sizeof out);
        a->get_digest(out);
        for (uint32_t i = e.digest; i < sizeof out; ++i)
            ASSERT_EQ(out[i], 0xEE) << e.id << " byte " << i;
    }
}

// The parameter block carries the digest length, so shorter BLAKE2 digests are not prefixes of
// the long ones (values of CPython's hashlib, digest_size=...).
TEST(Blake2Lengths, ShorterDigestsFollowTheParameterBlock)
{
    const uint8_t abc[] = {'a', 'b', 'c'};
    Blake2b b32(32);
    b32.update(abc, 3);
    EXPECT_EQ(finish_hex(b32), "BDDD813C634239723171EF3FEE98579B94964E3BB1CB3E427262C8C068D52319");

    Blake2s s16(16);
    for (int round = 0; round < 2; ++round) {
        // After a reset the words past the digest start from the IV again.
        s16.update(abc, 3);
        EXPECT_EQ(finish_hex(s16), "AA4938119B1DC7B87CBAD0FFD200D0AE") << "round " << round;
        s16.reset();
    }
}

// As if 2^32 - 128 message bytes had gone before (the chaining value stays the initial one):
// the counter of the next blocks crosses into its high half. A real feed of that many bytes
// takes minutes here; the vector files' 2^32 + 1000 zero bytes run only in the Windows build.
template <class Algorithm> class CountingFrom : public Algorithm {
public:
    explicit CountingFrom(uint64_t counter) { this->byte_counter_ = counter; }
};

// What the object must give: RFC 7693's sequence of compressions over message with the counter
// starting at start, through the portable compression (which the vectors check).
template <class Algorithm, class Word>
std::string expected_from(uint64_t start, const std::vector<uint8_t>& message,
                          void (*compress)(Word*, const uint8_t*, Word, Word, bool))
{
    Word h[8];
    Algorithm().get_digest(reinterpret_cast<uint8_t*>(h)); // IV ^ parameter block, unfinished
    const size_t block = 16 * sizeof(Word);
    uint64_t t = start;
    size_t at = 0;
    const auto step = [&](const uint8_t* data, size_t bytes, bool last) {
        t += bytes;
        // BLAKE2s takes t as two 32-bit words, BLAKE2b as the low 64 bits of 128.
        compress(h, data, Word(t), sizeof(Word) == 4 ? Word(t >> 32) : Word(0), last);
    };
    for (; message.size() - at > block; at += block)
        step(message.data() + at, block, false);
    std::vector<uint8_t> last(block, 0);
    std::memcpy(last.data(), message.data() + at, message.size() - at);
    step(last.data(), message.size() - at, true);
    std::string hex;
    for (size_t i = 0; i < sizeof h; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", reinterpret_cast<const uint8_t*>(h)[i]);
        hex += digits;
    }
    return hex;
}

template <class Algorithm, class Word>
void check_counter_past_two_to_the_32(void (*compress)(Word*, const uint8_t*, Word, Word, bool))
{
    const uint64_t start = (uint64_t(1) << 32) - 128;
    const std::vector<uint8_t> message = pattern_message(300);
    const std::string expected = expected_from<Algorithm>(start, message, compress);
    for (const FeatureLevel& level : feature_levels()) {
        limit_cpu_features(level.mask);
        CountingFrom<Algorithm> h(start);
        limit_cpu_features(cpu_all_features);
        h.update(message.data(), 100);
        h.update(message.data() + 100, 200);
        EXPECT_EQ(finish_hex(h), expected) << level.name;
    }
}

TEST(Blake2Counter, CarriesPastTwoToThe32AtEveryFeatureLevel)
{
    check_counter_past_two_to_the_32<Blake2s256>(blake2s_compress_portable);
    check_counter_past_two_to_the_32<Blake2b512>(blake2b_compress_portable);
}

} // namespace
