// convert_text's table, termination rule and results for the portable pairs: copies, the
// UTF-8 encoder and decoder, wide and swap copies.
#include <gtest/gtest.h>

#include "conversion_helpers.h"
#include "support/vectors.h"

namespace {

using E = TextEncoding;
using Bytes = std::vector<uint8_t>;

const E all_encodings[] = {E::Ascii, E::ShiftJis, E::EucJp, E::Utf8, E::Utf16Le, E::Utf16Be};

bool all_untouched(const Bytes& destination)
{
    for (uint8_t b : destination) {
        if (b != untouched)
            return false;
    }
    return true;
}

TEST(ConvertText, BadArgumentsWriteNothing)
{
    const Bytes source = bytes_text("abc");
    uint8_t destination[8] = {};
    EXPECT_EQ(convert_text(nullptr, source.data(), 8, E::Utf8, E::Utf8), -1);
    EXPECT_EQ(convert_text(destination, nullptr, 8, E::Utf8, E::Utf8), -1);
    for (int32_t size : {0, -1, -16384}) {
        const Conversion c = convert(E::Utf8, E::Utf8, source, size);
        EXPECT_EQ(c.result, -1) << size;
        EXPECT_TRUE(c.guards_intact) << size;
    }
    for (uint32_t code : {7u, 8u, 0xFFFFFFFFu}) {
        const Conversion to = convert(E(code), E::Utf8, source, 8);
        const Conversion from = convert(E::Utf8, E(code), source, 8);
        EXPECT_EQ(to.result, -1) << code;
        EXPECT_EQ(from.result, -1) << code;
        EXPECT_TRUE(all_untouched(to.destination) && all_untouched(from.destination)) << code;
    }
}

TEST(ConvertText, PairsWithoutConversionFailWithoutWriting)
{
    const Bytes source = bytes_text("abc");
    for (E target : {E::Utf8, E::Utf16Le, E::Utf16Be}) {
        const Conversion c = convert(target, E::EucJp, source, 16);
        EXPECT_EQ(c.result, -1);
        EXPECT_TRUE(all_untouched(c.destination));
    }
    for (E source_encoding : {E::Utf8, E::Utf16Le, E::Utf16Be}) {
        const Conversion c = convert(E::EucJp, source_encoding, units_text(u"abc"), 16);
        EXPECT_EQ(c.result, -1);
        EXPECT_TRUE(all_untouched(c.destination));
    }
}

TEST(ConvertText, CodeZeroMeansUtf16Le)
{
    const Conversion from_zero = convert(E::Utf8, E(0), units_text(u"abc"), 16);
    EXPECT_EQ(from_zero.result, 3);
    EXPECT_EQ(prefix(from_zero.destination, 4), bytes_text("abc"));

    const Conversion to_zero = convert(E(0), E::Utf8, bytes_text("abc"), 16);
    EXPECT_EQ(to_zero.result, 6);
    EXPECT_EQ(units_of(to_zero.destination, 4), std::u16string(u"abc\0", 4));
}

TEST(ConvertText, SixteenBitTargetsOfOneByteFailWithMinusTwo)
{
    for (E source_encoding : all_encodings) {
        for (E target : {E::Utf16Le, E::Utf16Be}) {
            const bool fails = source_encoding == E::EucJp;
            const Conversion c = convert(target, source_encoding, units_text(u"ab"), 1);
            EXPECT_EQ(c.result, fails ? -1 : -2) << int(source_encoding) << "->" << int(target);
            EXPECT_TRUE(all_untouched(c.destination));
        }
    }
}

TEST(ConvertText, OddSizeLeavesTheLastByteAlone)
{
    const Conversion c = convert(E::Utf16Le, E::Utf16Le, units_text(u"abcdef"), 7);
    EXPECT_EQ(c.result, 4); // 3 units of capacity: two kept, one terminator
    EXPECT_EQ(units_of(c.destination, 3), std::u16string(u"ab\0", 3));
    EXPECT_EQ(c.destination[6], untouched);
}

TEST(Utf8Encoder, StandardExamples)
{
    const struct {
        std::u16string units;
        Bytes utf8;
    } examples[] = {
        {u"", {}},
        {u"abc", {0x61, 0x62, 0x63}},
        {u"\u00E9", {0xC3, 0xA9}},
        {u"\u3042", {0xE3, 0x81, 0x82}},
        {u"\uFFFD", {0xEF, 0xBF, 0xBD}},
        {u"\xD83D\xDE00", {0xF0, 0x9F, 0x98, 0x80}},
        {u"\xDBFF\xDFFF", {0xF4, 0x8F, 0xBF, 0xBF}},
        {u"\u30CF", {0xE3, 0x83, 0x8F}},
    };
    for (const auto& e : examples) {
        for (E target : {E::Utf8, E::Ascii}) {
            const Conversion le = convert(target, E::Utf16Le, units_text(e.units), 32);
            const Conversion be = convert(target, E::Utf16Be, units_text(e.units, true), 32);
            EXPECT_EQ(le.result, int32_t(e.utf8.size()));
            EXPECT_EQ(prefix(le.destination, e.utf8.size() + 1), bytes_text(e.utf8));
            EXPECT_EQ(be.result, le.result);
            EXPECT_EQ(be.destination, le.destination);
        }
    }
}

TEST(Utf8Encoder, StopsBeforeAnUnpairedSurrogate)
{
    const std::u16string texts[] = {
        u"ab" + std::u16string(1, 0xDC00) + u"cd", // low half alone
        u"ab" + std::u16string(1, 0xD83D) + u"cd", // high half followed by a letter
        u"ab" + std::u16string(1, 0xD83D),         // high half at the end
        u"ab\xD83D\xD83D\xDE00",                   // high half followed by a pair
    };
    for (const std::u16string& text : texts) {
        const Conversion c = convert(E::Utf8, E::Utf16Le, units_text(text), 32);
        EXPECT_EQ(c.result, 2);
        EXPECT_EQ(prefix(c.destination, 3), bytes_text("ab"));
    }
}

TEST(Utf8Encoder, TerminationRule)
{
    // Size 5: the limit is 3 bytes; reaching it costs the last byte.
    Conversion c = convert(E::Utf8, E::Utf16Le, units_text(u"abcdef"), 5);
    EXPECT_EQ(c.result, 3);
    EXPECT_EQ(c.destination, (Bytes{0x61, 0x62, 0x00, untouched, untouched}));

    // A character that passes the limit but fits the capacity: written, cut, result -1.
    c = convert(E::Utf8, E::Utf16Le, units_text(u"a\u3042"), 5);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.destination, (Bytes{0x61, 0xE3, 0x81, 0x00, untouched}));

    // A character that would pass the capacity is not written at all.
    c = convert(E::Utf8, E::Utf16Le, units_text(u"ab\xD83D\xDE00"), 5);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.destination, (Bytes{0x61, 0x62, 0x00, untouched, untouched}));

    c = convert(E::Utf8, E::Utf16Le, units_text(u"abc"), 2);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.destination, (Bytes{0x00, untouched}));

    c = convert(E::Utf8, E::Utf16Le, units_text(u"abc"), 1);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.destination, Bytes{untouched});

    // The input panel's call: 4095 units of the widest form fit 16384 bytes.
    c = convert(E::Utf8, E::Utf16Le, units_text(std::u16string(4095, u'\u3042')), 16384);
    EXPECT_EQ(c.result, 3 * 4095);
    EXPECT_EQ(c.destination[3 * 4095], 0);
}

TEST(Utf8Decoder, Sequences)
{
    const struct {
        Bytes utf8;
        std::u16string units; // the output up to its terminator, zero units included
    } examples[] = {
        {{0xF0, 0x9F, 0x98, 0x80}, u"\xD83D\xDE00"},
        {{0xC3, 0xA9, 0xE3, 0x81, 0x82}, u"\u00E9\u3042"},
        {{0x61, 0xFF, 0x62}, u"a"},            // 0xFF ends the conversion
        {{0x61, 0x80, 0x62}, u"a"},            // so does a stray continuation byte
        {{0x61, 0xC1, 0x81}, u"a"},            // and an overlong two-byte lead
        {{0xF8, 0x88, 0x80, 0x80, 0x80}, u""}, // five-byte forms are not UTF-8
        {{0xC3, 0x41}, u"\u00C1"},             // continuation bytes are not checked
        {{0xED, 0xA0, 0x80}, u"\xD800"},       // encoded surrogates pass as they are
        {{0x61, 0xE3, 0x81}, u"a"},            // the terminator inside a sequence ends the text
        {{0xF4, 0x8F, 0xBF, 0xBF}, u"\xDBFF\xDFFF"},
    };
    for (const auto& e : examples) {
        const Conversion c = convert(E::Utf16Le, E::Utf8, bytes_text(e.utf8), 64);
        EXPECT_EQ(c.result, int32_t(2 * e.units.size()));
        EXPECT_EQ(units_of(c.destination, e.units.size() + 1), e.units + u'\0');
    }
}

TEST(Utf8Decoder, OverlongAndOutOfRangeFormsLeaveAZeroUnitAndGoOn)
{
    // Three-byte forms of values below 0x800 (E0 80 80 = 0, E0 82 80 = 0x80 and E0 9F BF =
    // 0x7FF, which two bytes would carry) and F4 90 80 80 (above U+10FFFF): one zero unit each.
    const Bytes source = bytes_text(Bytes{0xE0, 0x80, 0x80, 0x62, 0xE0, 0x82, 0x80, 0x63, 0xE0,
                                          0x9F, 0xBF, 0x64, 0xF4, 0x90, 0x80, 0x80, 0x65});
    const Conversion c = convert(E::Utf16Le, E::Utf8, source, 64);
    EXPECT_EQ(c.result, 16);
    EXPECT_EQ(units_of(c.destination, 9), std::u16string(u"\0b\0c\0d\0e\0", 9));
}

TEST(Utf8Decoder, SwappedTargetAndAsciiSource)
{
    const Bytes source = bytes_text(Bytes{0xF0, 0x9F, 0x98, 0x80, 0x61});
    const Conversion be = convert(E::Utf16Be, E::Utf8, source, 64);
    EXPECT_EQ(be.result, 6);
    EXPECT_EQ(prefix(be.destination, 8), (Bytes{0xD8, 0x3D, 0xDE, 0x00, 0x00, 0x61, 0, 0}));
    EXPECT_EQ(convert(E::Utf16Le, E::Ascii, source, 64).destination,
              convert(E::Utf16Le, E::Utf8, source, 64).destination);
}

TEST(Utf8Decoder, TerminationRule)
{
    // Capacity 3 units: the limit is 2; reaching it costs the last unit.
    Conversion c = convert(E::Utf16Le, E::Utf8, bytes_text("abc"), 6);
    EXPECT_EQ(c.result, 4);
    EXPECT_EQ(units_of(c.destination, 3), std::u16string(u"a\0\xCCCC", 3));

    // A surrogate pair that passes the limit: written, cut, -2.
    c = convert(E::Utf16Le, E::Utf8, bytes_text(Bytes{0x61, 0xF0, 0x9F, 0x98, 0x80}), 6);
    EXPECT_EQ(c.result, -2);
    EXPECT_EQ(units_of(c.destination, 3), std::u16string(u"a\xD83D\0", 3));

    c = convert(E::Utf16Le, E::Utf8, bytes_text("abc"), 2);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.destination, (Bytes{0, 0}));
}

TEST(Copies, ByteCopiesCutAndZeroFill)
{
    Conversion c = convert(E::ShiftJis, E::Ascii, bytes_text("hello"), 10);
    EXPECT_EQ(c.result, 5);
    EXPECT_EQ(c.destination, (Bytes{'h', 'e', 'l', 'l', 'o', 0, 0, 0, 0, 0}));

    c = convert(E::Ascii, E::EucJp, bytes_text("hello"), 4);
    EXPECT_EQ(c.result, 3);
    EXPECT_EQ(c.destination, bytes_text("hel"));

    // A plain copy passes any byte.
    c = convert(E::Utf8, E::Ascii, bytes_text(Bytes{0x80, 0xFF}), 4);
    EXPECT_EQ(c.result, 2);
    EXPECT_EQ(c.destination, (Bytes{0x80, 0xFF, 0, 0}));
}

TEST(Copies, Utf8LengthRejectsBadLeadBytes)
{
    Conversion c = convert(E::Utf8, E::Utf8, bytes_text("a\xC3\xA9\xE3\x81\x82"), 16);
    EXPECT_EQ(c.result, 6);

    c = convert(E::Ascii, E::Utf8, bytes_text("a\x80z"), 16);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(prefix(c.destination, 4), bytes_text("a\x80z")); // the copy is made all the same

    // A sequence cut short by the terminator counts only the bytes present.
    c = convert(E::Utf8, E::Utf8, bytes_text("a\xE3\x81"), 16);
    EXPECT_EQ(c.result, 3);
    c = convert(E::Utf8, E::Utf8, bytes_text("a\xE3\x81\x82"), 4);
    EXPECT_EQ(c.result, 3);
    EXPECT_EQ(c.destination, bytes_text("a\xE3\x81"));
}

TEST(Copies, WideCopyAndSwapCopy)
{
    Conversion c = convert(E::Utf16Le, E::Utf16Le, units_text(u"abc"), 12);
    EXPECT_EQ(c.result, 6);
    EXPECT_EQ(units_of(c.destination, 6), std::u16string(u"abc\0\0\0", 6));

    c = convert(E::Utf16Be, E::Utf16Be, units_text(u"abcd", true), 6);
    EXPECT_EQ(c.result, 4); // cut after capacity - 1 units, the last unit kept
    EXPECT_EQ(c.destination, (Bytes{0, 'a', 0, 'b', 0, 0}));

    c = convert(E::Utf16Be, E::Utf16Le, units_text(u"a\u3042"), 12);
    EXPECT_EQ(c.result, 4);
    EXPECT_EQ(prefix(c.destination, 6), (Bytes{0, 'a', 0x30, 0x42, 0, 0}));
    c = convert(E::Utf16Le, E::Utf16Be, units_text(u"a\u3042", true), 12);
    EXPECT_EQ(units_of(c.destination, 3), std::u16string(u"a\u3042\0", 3));

    // The swap copy follows the termination rule: reaching the limit costs the last unit.
    c = convert(E::Utf16Be, E::Utf16Le, units_text(u"abcd"), 6);
    EXPECT_EQ(c.result, 4);
    EXPECT_EQ(c.destination, (Bytes{0, 'a', 0, 0, untouched, untouched}));
}

TEST(Utf8RoundTrip, RandomTextsComeBackUnchanged)
{
    Xorshift32 random(0x7E57A11u);
    for (int round = 0; round < 300; ++round) {
        std::u16string text;
        const uint32_t length = random.below(40);
        while (text.size() < length) {
            const uint32_t kind = random.below(4);
            if (kind == 0)
                text += char16_t(1 + random.below(0x7F));
            else if (kind == 1)
                text += char16_t(0x80 + random.below(0x780));
            else if (kind == 2)
                text += char16_t(0xE000 + random.below(0x2000)); // above the surrogates
            else
                text += {char16_t(0xD800 + random.below(0x400)),
                         char16_t(0xDC00 + random.below(0x400))};
        }
        const Conversion utf8 = convert(E::Utf8, E::Utf16Le, units_text(text), 256);
        ASSERT_GE(utf8.result, 0);
        const Bytes encoded = bytes_text(prefix(utf8.destination, size_t(utf8.result)));
        const Conversion le = convert(E::Utf16Le, E::Utf8, encoded, 256);
        const Conversion be = convert(E::Utf16Be, E::Utf8, encoded, 256);
        ASSERT_EQ(le.result, int32_t(2 * text.size()));
        EXPECT_EQ(units_of(le.destination, text.size()), text);
        EXPECT_EQ(prefix(be.destination, 2 * text.size() + 2), units_text(text, true));
    }
}

} // namespace
