// Whirlpool from inside: its lookup table and round constants against the standard's
// definitions, and the blocks its finish produces (P = 32, 256-bit length field).
#include <gtest/gtest.h>

#include <vector>

#include "digest/whirlpool/whirlpool.h"
#include "digest/whirlpool/whirlpool_tables.h"
#include "support/vectors.h"

namespace {

// ISO/IEC 10118-3 builds the S-box from the 4-bit mini-boxes E, E^-1 and R.
std::vector<uint8_t> sbox_from_mini_boxes()
{
    const uint8_t e[16] = {1, 11, 9, 12, 13, 6, 15, 3, 14, 8, 7, 4, 10, 2, 5, 0};
    const uint8_t r[16] = {7, 12, 11, 13, 14, 4, 9, 15, 6, 3, 8, 10, 2, 5, 1, 0};
    uint8_t e_inv[16];
    for (uint8_t i = 0; i < 16; ++i)
        e_inv[e[i]] = i;
    std::vector<uint8_t> s(256);
    for (int x = 0; x < 256; ++x) {
        const uint8_t high = e[x >> 4], low = e_inv[x & 15], mix = r[high ^ low];
        s[x] = uint8_t(e[high ^ mix] << 4 | e_inv[low ^ mix]);
    }
    return s;
}

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x^2 + 1.
uint8_t gf_multiply(uint8_t a, uint8_t b)
{
    unsigned product = 0, shifted = a;
    for (; b; b >>= 1, shifted <<= 1) {
        if (shifted & 0x100)
            shifted ^= 0x11D;
        if (b & 1)
            product ^= shifted;
    }
    return uint8_t(product);
}

TEST(WhirlpoolTables, MatchTheSboxAndTheDiffusionMatrix)
{
    const std::vector<uint8_t> s = sbox_from_mini_boxes();
    ASSERT_EQ(s[0], 0x18);
    ASSERT_EQ(s[7], 0x4F);
    const uint8_t row[8] = {1, 1, 4, 1, 8, 5, 2, 9};
    for (int x = 0; x < 256; ++x) {
        // C0[x] from the most significant byte down, stored little-endian twice.
        for (int j = 0; j < 8; ++j) {
            const uint8_t expected = gf_multiply(s[x], row[j]);
            ASSERT_EQ(WhirlpoolTable[x][7 - j], expected) << "entry " << x << " byte " << j;
            ASSERT_EQ(WhirlpoolTable[x][15 - j], expected) << "entry " << x << " second copy";
        }
    }
    for (int round = 0; round < 10; ++round) {
        uint64_t expected = 0;
        for (int j = 0; j < 8; ++j)
            expected = expected << 8 | s[8 * round + j];
        EXPECT_EQ(WhirlpoolRoundConstants[round], expected) << "round " << round + 1;
    }
}

// Whirlpool that records every block it compresses and can preset its byte counter.
class RecordingWhirlpool : public Whirlpool {
public:
    void transform() override
    {
        blocks.emplace_back(buffer_, buffer_ + 64);
        Whirlpool::transform();
    }
    void set_count(uint32_t low, uint32_t high) { byte_count_ = {low, high}; }

    std::vector<std::vector<uint8_t>> blocks;
};

TEST(WhirlpoolFinish, PadsToThirtyTwoThenTheLengthEndsTheBlock)
{
    struct Case {
        uint32_t length, data_blocks, final_blocks;
    };
    for (Case c : {Case{31, 0, 1}, Case{32, 0, 2}, Case{33, 0, 2}, Case{63, 0, 2}, Case{64, 1, 1},
                   Case{64 + 31, 1, 1}}) {
        RecordingWhirlpool w;
        const std::vector<uint8_t> m = pattern_message(c.length);
        w.update(m.data(), c.length);
        ASSERT_EQ(w.blocks.size(), c.data_blocks) << c.length;
        w.finish();
        ASSERT_EQ(w.blocks.size(), c.data_blocks + c.final_blocks) << c.length;

        const std::vector<uint8_t>& first = w.blocks[c.data_blocks];
        const uint32_t left = c.length % 64;
        EXPECT_EQ(first[left], 0x80) << c.length;
        const std::vector<uint8_t>& last = w.blocks.back();
        for (uint32_t i = (c.final_blocks == 1 ? left + 1 : 0); i < 62; ++i)
            ASSERT_EQ(last[i], 0) << "length " << c.length << " byte " << i;
        EXPECT_EQ(last[62] << 8 | last[63], int(8 * c.length)) << c.length;
    }
}

TEST(WhirlpoolFinish, LengthFieldCarriesTheHighWordAndTheTopThreeBits)
{
    RecordingWhirlpool w;
    const uint8_t five[5] = {1, 2, 3, 4, 5};
    w.update(five, 5);
    // 0xE0000001_80000001 bytes are 0x7_0000000C_00000008 bits.
    w.set_count(0x80000001u, 0xE0000001u);
    w.finish();
    ASSERT_EQ(w.blocks.size(), 1u);
    uint8_t field[32] = {};
    field[23] = 7;
    field[27] = 0x0C;
    field[31] = 8;
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(w.blocks[0][32 + i], field[i]) << "length byte " << i;
}

} // namespace
