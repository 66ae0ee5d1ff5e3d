// Shift_JIS <-> EUC-JP. The reference pairs come from Python's shift_jis and euc_jp codecs,
// an implementation independent of ours; the round trips cover every double-byte code.
#include <gtest/gtest.h>

#include "conversion_helpers.h"

namespace {

using E = TextEncoding;
using Bytes = std::vector<uint8_t>;

struct Pair {
    Bytes shift_jis;
    Bytes euc_jp;
};

// Row and cell borders: cells 0x7E/0x80 (Shift_JIS skips 0x7F), 0x9E/0x9F (the two rows of
// one lead byte), lead bytes 0x9F/0xE0 (around half-width katakana) and the last rows.
const Pair reference_pairs[] = {
    {{0x82, 0xA0}, {0xA4, 0xA2}}, {{0x81, 0x40}, {0xA1, 0xA1}}, {{0x88, 0x9F}, {0xB0, 0xA1}},
    {{0x81, 0x7E}, {0xA1, 0xDF}}, {{0x81, 0x80}, {0xA1, 0xE0}}, {{0x81, 0x9E}, {0xA1, 0xFE}},
    {{0x81, 0x9F}, {0xA2, 0xA1}}, {{0x81, 0xFC}, {0xA2, 0xFE}}, {{0x9F, 0x40}, {0xDD, 0xA1}},
    {{0x9F, 0x9E}, {0xDD, 0xFE}}, {{0x9F, 0xFC}, {0xDE, 0xFE}}, {{0xE0, 0x40}, {0xDF, 0xA1}},
    {{0xE0, 0x9F}, {0xE0, 0xA1}}, {{0xEA, 0x9F}, {0xF4, 0xA1}}, {{0xEA, 0xA4}, {0xF4, 0xA6}},
    {{0x8A, 0xBF}, {0xB4, 0xC1}}, {{0x83, 0x41}, {0xA5, 0xA2}}, {{0xB1}, {0x8E, 0xB1}},
    {{0xDF}, {0x8E, 0xDF}},       {{0x41, 0x7F}, {0x41, 0x7F}},
};

Bytes converted(E target, E source_encoding, const Bytes& text, int32_t size = 64)
{
    const Conversion c = convert(target, source_encoding, bytes_text(text), size);
    EXPECT_TRUE(c.guards_intact);
    if (c.result < 0)
        return {0xEE, 0xEE}; // a marker no conversion produces
    return prefix(c.destination, size_t(c.result));
}

TEST(ShiftJisToEucJp, ReferencePairsBothWays)
{
    for (const Pair& p : reference_pairs) {
        EXPECT_EQ(converted(E::EucJp, E::ShiftJis, p.shift_jis), p.euc_jp);
        EXPECT_EQ(converted(E::ShiftJis, E::EucJp, p.euc_jp), p.shift_jis);
    }
}

TEST(ShiftJisToEucJp, BytesThatStartNoPairPassUnchanged)
{
    const Bytes single = {0x01, 0x41, 0x7E, 0x80, 0xA0, 0xFF};
    EXPECT_EQ(converted(E::EucJp, E::ShiftJis, single), single);
    EXPECT_EQ(converted(E::ShiftJis, E::EucJp, single), single);
}

TEST(ShiftJisToEucJp, LeadByteBeforeTheTerminatorEndsTheText)
{
    EXPECT_EQ(converted(E::EucJp, E::ShiftJis, {0x41, 0x82}), (Bytes{0x41}));
}

TEST(ShiftJisToEucJp, TerminationRule)
{
    // Size 3: the limit is 2 bytes, reached by the first pair, which loses its last byte.
    const Conversion c = convert(E::EucJp, E::ShiftJis, bytes_text(Bytes{0x82, 0xA0, 0x41}), 3);
    EXPECT_EQ(c.result, 2);
    EXPECT_EQ(c.destination, (Bytes{0xA4, 0x00, untouched}));
    // A pair that passes the limit: written, cut, -1.
    const Conversion d = convert(E::EucJp, E::ShiftJis, bytes_text(Bytes{0x41, 0x82, 0xA0}), 3);
    EXPECT_EQ(d.result, -1);
    EXPECT_EQ(d.destination, (Bytes{0x41, 0xA4, 0x00}));
}

TEST(EucJpToShiftJis, StopsWhereShiftJisHasNoForm)
{
    EXPECT_EQ(converted(E::ShiftJis, E::EucJp, {0x41, 0x8F, 0xB0, 0xA1}), (Bytes{0x41}));
    EXPECT_EQ(converted(E::ShiftJis, E::EucJp, {0x41, 0x8E, 0x41}), (Bytes{0x41}));
    EXPECT_EQ(converted(E::ShiftJis, E::EucJp, {0x41, 0xA4, 0x41}), (Bytes{0x41}));
    EXPECT_EQ(converted(E::ShiftJis, E::EucJp, {0x41, 0xA4}), (Bytes{0x41}));
}

TEST(JisRoundTrip, EveryDoubleByteCodeAndKatakana)
{
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const Bytes sjis = {uint8_t(lead), uint8_t(trail)};
            const Bytes euc = converted(E::EucJp, E::ShiftJis, sjis);
            ASSERT_EQ(euc.size(), 2u) << lead << " " << trail;
            ASSERT_EQ(converted(E::ShiftJis, E::EucJp, euc), sjis) << lead << " " << trail;
        }
    }
    for (int row = 0xA1; row <= 0xFE; ++row) {
        for (int cell = 0xA1; cell <= 0xFE; ++cell) {
            const Bytes euc = {uint8_t(row), uint8_t(cell)};
            ASSERT_EQ(converted(E::EucJp, E::ShiftJis, converted(E::ShiftJis, E::EucJp, euc)), euc)
                << row << " " << cell;
        }
    }
    for (int kana = 0xA1; kana <= 0xDF; ++kana)
        EXPECT_EQ(converted(E::ShiftJis, E::EucJp, {0x8E, uint8_t(kana)}), Bytes{uint8_t(kana)});
}

} // namespace
