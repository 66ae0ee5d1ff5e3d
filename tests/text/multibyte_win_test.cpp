// The pairs through the C runtime's code page 932 ("jpn") conversions.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "conversion_helpers.h"

namespace {

using E = TextEncoding;
using Bytes = std::vector<uint8_t>;

class Multibyte : public ::testing::Test {
protected:
    void SetUp() override { ensure_japanese_locale(); }
};

TEST(JapaneseLocale, SetOnceAndNeverAgain)
{
    ensure_japanese_locale();
    EXPECT_NE(std::string(std::setlocale(LC_ALL, nullptr)).find(".932"), std::string::npos);
    std::setlocale(LC_ALL, "C");
    ensure_japanese_locale();
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), "C");
    std::setlocale(LC_ALL, "jpn");
}

TEST_F(Multibyte, ShiftJisToUtf8)
{
    Conversion c = convert(E::Utf8, E::ShiftJis, bytes_text(Bytes{0x83, 0x6E, 0x61, 0xB1}), 16);
    EXPECT_EQ(c.result, 7);
    EXPECT_EQ(prefix(c.destination, 8),
              bytes_text(Bytes{0xE3, 0x83, 0x8F, 0x61, 0xEF, 0xBD, 0xB1}));

    // A lead byte without its second byte is not a character.
    c = convert(E::Utf8, E::ShiftJis, bytes_text(Bytes{0x61, 0x83}), 16);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(prefix(c.destination, 2), bytes_text("a"));

    // Size 4, limit 3: the three bytes of "ハ" reach it and lose the last one.
    c = convert(E::Utf8, E::ShiftJis, bytes_text(Bytes{0x83, 0x6E}), 4);
    EXPECT_EQ(c.result, 3);
    EXPECT_EQ(c.destination, (Bytes{0xE3, 0x83, 0x00, untouched}));
}

TEST_F(Multibyte, Utf8ToShiftJis)
{
    Conversion c = convert(E::ShiftJis, E::Utf8, bytes_text(Bytes{0xE3, 0x83, 0x8F, 0x61}), 16);
    EXPECT_EQ(c.result, 3);
    EXPECT_EQ(prefix(c.destination, 4), bytes_text(Bytes{0x83, 0x6E, 0x61}));

    // Characters beyond the 16-bit range (a surrogate first unit) and bad lead bytes stop it.
    for (const Bytes& text : {Bytes{0x61, 0xF0, 0x9F, 0x98, 0x80, 0x62}, Bytes{0x61, 0xFF, 0x62}}) {
        c = convert(E::ShiftJis, E::Utf8, bytes_text(text), 16);
        EXPECT_EQ(c.result, 1);
        EXPECT_EQ(prefix(c.destination, 2), bytes_text("a"));
    }

    c = convert(E::ShiftJis, E::Utf8, bytes_text(Bytes{0xE3, 0x83, 0x8F, 0x61}), 3);
    EXPECT_EQ(c.result, 2);
    EXPECT_EQ(c.destination, (Bytes{0x83, 0x00, untouched}));
}

TEST_F(Multibyte, ShiftJisToSixteenBit)
{
    const Bytes source = bytes_text(Bytes{0x83, 0x6E, 0x61});
    Conversion c = convert(E::Utf16Le, E::ShiftJis, source, 16);
    EXPECT_EQ(c.result, 4);
    EXPECT_EQ(units_of(c.destination, 3), std::u16string(u"\u30CFa\0", 3));

    c = convert(E::Utf16Be, E::ShiftJis, source, 16);
    EXPECT_EQ(c.result, 4);
    EXPECT_EQ(prefix(c.destination, 6), (Bytes{0x30, 0xCF, 0x00, 0x61, 0, 0}));

    // Capacity 2 units: one unit and the terminator.
    c = convert(E::Utf16Le, E::ShiftJis, source, 4);
    EXPECT_EQ(c.result, 2);
    EXPECT_EQ(units_of(c.destination, 2), std::u16string(u"\u30CF\0", 2));

    // The C runtime's failure: -2, and an empty text.
    c = convert(E::Utf16Le, E::ShiftJis, bytes_text(Bytes{0x61, 0x83}), 16);
    EXPECT_EQ(c.result, -2);
    EXPECT_EQ(units_of(c.destination, 1), std::u16string(1, u'\0'));
}

TEST_F(Multibyte, SixteenBitToShiftJis)
{
    for (bool swapped : {false, true}) {
        const E source_encoding = swapped ? E::Utf16Be : E::Utf16Le;
        Conversion c = convert(E::ShiftJis, source_encoding, units_text(u"\u30CFa", swapped), 16);
        EXPECT_EQ(c.result, 3);
        EXPECT_EQ(prefix(c.destination, 4), bytes_text(Bytes{0x83, 0x6E, 0x61}));

        // A text that needs the whole size is cut one byte short, and always terminated.
        c = convert(E::ShiftJis, source_encoding, units_text(u"\u30CF\u30CF", swapped), 4);
        EXPECT_EQ(c.result, 2);
        EXPECT_EQ(c.destination, (Bytes{0x83, 0x6E, 0x00, untouched}));
        c = convert(E::ShiftJis, source_encoding, units_text(u"a\u30CF", swapped), 3);
        EXPECT_EQ(c.result, 1);
        EXPECT_EQ(c.destination, (Bytes{0x61, 0x00, untouched}));

        c = convert(E::ShiftJis, source_encoding, units_text(u"a\xD800", swapped), 16);
        EXPECT_EQ(c.result, -1);
        EXPECT_EQ(c.destination[0], 0);
    }
}

// Two roads through the C runtime agree for every double-byte code: mbtowc one character at
// a time (to UTF-8) and mbstowcs over the text (to UTF-16, then our UTF-8 encoder).
TEST_F(Multibyte, CharacterAndStringConversionsAgree)
{
    int converted = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const Bytes sjis = bytes_text(Bytes{uint8_t(lead), uint8_t(trail)});
            const Conversion wide = convert(E::Utf16Le, E::ShiftJis, sjis, 8);
            const Conversion utf8 = convert(E::Utf8, E::ShiftJis, sjis, 8);
            if (wide.result != 2)
                continue;
            const Conversion encoded =
                convert(E::Utf8, E::Utf16Le, units_text(units_of(wide.destination, 1)), 8);
            ASSERT_EQ(utf8.result, encoded.result) << lead << " " << trail;
            ASSERT_EQ(utf8.destination, encoded.destination) << lead << " " << trail;
            const Conversion back = convert(
                E::ShiftJis, E::Utf8, bytes_text(prefix(utf8.destination, size_t(utf8.result))), 8);
            ASSERT_EQ(back.result, 2) << lead << " " << trail;
            ++converted;
        }
    }
    EXPECT_GT(converted, 7000); // JIS X 0208 and the Windows additions
}

} // namespace
