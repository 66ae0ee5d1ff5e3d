// Random sizes, texts and encoding pairs for a bounded time: convert_text never writes
// outside the destination and its result always agrees with what it wrote. The host build
// runs this under AddressSanitizer, which also catches reads past a source's terminator.
//
// DRAVIK_FUZZ_SECONDS sets the duration (default 2) for longer runs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "conversion_helpers.h"
#include "support/vectors.h"

namespace {

using E = TextEncoding;
using Bytes = std::vector<uint8_t>;

double fuzz_seconds()
{
    const char* text = std::getenv("DRAVIK_FUZZ_SECONDS");
    const double seconds = text != nullptr ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : 2.0;
}

uint32_t code_of(E encoding)
{
    const uint32_t code = static_cast<uint32_t>(encoding);
    return code == 0 ? 5 : code;
}

bool has_16bit_units(E encoding) { return code_of(encoding) == 5 || code_of(encoding) == 6; }

bool pair_converts(E target, E source)
{
    const uint32_t to = code_of(target), from = code_of(source);
    if (to > 6 || from > 6)
        return false;
    return !((from == 3 && to >= 4) || (to == 3 && from >= 4));
}

// Outputs that may hold a zero unit before the terminator: the UTF-8 decoder's zero unit
// (also through code page 932), and Shift_JIS lead bytes 0xF0 and above, which wrap to 0x00.
bool may_hold_zero_units(E target, E source)
{
    const uint32_t to = code_of(target), from = code_of(source);
    return ((from == 1 || from == 4) && to >= 5) || (from == 4 && to == 2) ||
           (from == 2 && to == 3);
}

E random_encoding(Xorshift32& random)
{
    return E(random.below(16) == 0 ? 7 : random.below(7)); // 0 stands for Utf16Le
}

uint16_t random_unit(Xorshift32& random, bool wide)
{
    static const uint8_t leads[] = {0x81, 0x82, 0x8E, 0x8F, 0x9F, 0xA4, 0xC3, 0xE0,
                                    0xE3, 0xED, 0xF0, 0xF4, 0xF8, 0xFC, 0xFE, 0xFF};
    const uint32_t kind = random.below(5);
    if (kind == 0)
        return uint16_t(1 + random.below(0x7F));
    if (!wide)
        return kind == 1 ? leads[random.below(16)] : uint16_t(0x80 + random.below(0x80));
    if (kind == 1)
        return uint16_t(0xD800 + random.below(0x800)); // either half of a pair
    if (kind == 2)
        return uint16_t(0x80 + random.below(0x780));
    return uint16_t(0x800 + random.below(0xF7FF));
}

// A zero-terminated text, allocated to its exact length so that reading past it is caught.
Bytes random_text(Xorshift32& random, bool wide)
{
    std::u16string units(random.below(48), u'\0');
    for (char16_t& unit : units)
        unit = char16_t(random_unit(random, wide));
    if (wide)
        return units_text(units);
    Bytes bytes(units.begin(), units.end());
    return bytes_text(bytes);
}

uint16_t unit_at(const Bytes& destination, size_t index, bool wide)
{
    return wide ? units_of(destination, index + 1)[index] : destination[index];
}

// Index of the first zero unit within the capacity, or capacity when there is none.
size_t first_zero(const Bytes& destination, size_t capacity, bool wide)
{
    size_t i = 0;
    while (i < capacity && unit_at(destination, i, wide) != 0)
        ++i;
    return i;
}

void check_one(Xorshift32& random)
{
    const E target = random_encoding(random), source_encoding = random_encoding(random);
    const Bytes source = random_text(random, has_16bit_units(source_encoding));
    const int32_t size = int32_t(random.below(uint32_t(source.size()) * 2 + 12)) - 2;
    const Conversion c = convert(target, source_encoding, source, size);
    SCOPED_TRACE(testing::Message() << code_of(source_encoding) << "->" << code_of(target)
                                    << " size " << size << " source bytes " << source.size());
    ASSERT_TRUE(c.guards_intact);

    const bool wide = has_16bit_units(target);
    const size_t capacity = size <= 0 ? 0 : wide ? size_t(size) / 2 : size_t(size);
    if (!pair_converts(target, source_encoding) || capacity == 0) {
        ASSERT_EQ(c.result, pair_converts(target, source_encoding) && size > 0 ? -2 : -1);
        ASSERT_EQ(c.destination, Bytes(c.destination.size(), untouched));
        return;
    }
    if (wide && size % 2 == 1) {
        ASSERT_EQ(c.destination.back(), untouched);
    }
    const size_t zero = first_zero(c.destination, capacity, wide);
    if (c.result < 0) {
        ASSERT_EQ(c.result, wide ? -2 : -1);
        // Written or not at all (the UTF-8 encoder refuses a capacity of 1 outright).
        if (c.destination != Bytes(c.destination.size(), untouched)) {
            ASSERT_LT(zero, capacity);
        }
        return;
    }
    const size_t length = size_t(c.result) / (wide ? 2 : 1);
    ASSERT_TRUE(!wide || c.result % 2 == 0);
    // The result counts the units written, including a last unit that a cut replaced by the
    // terminator: the text's own zero is at the result or, after a cut, just before it.
    ASSERT_LT(length, capacity);
    ASSERT_LE(zero, length);
    if (!may_hold_zero_units(target, source_encoding)) {
        ASSERT_GE(zero + 1, length);
    }

    // However small the destination, its text is the start of the text a large one gets.
    const Conversion large =
        convert(target, source_encoding, source, int32_t(4 * source.size() + 16));
    if (large.result >= 0) {
        const size_t unit_bytes = wide ? 2 : 1;
        ASSERT_EQ(prefix(c.destination, zero * unit_bytes),
                  prefix(large.destination, zero * unit_bytes));
    }
}

TEST(ConvertTextFuzz, NoWriteOutsideAndResultsAgree)
{
    ensure_japanese_locale();
    Xorshift32 random(0xF022u);
    const auto start = std::chrono::steady_clock::now();
    const auto duration = std::chrono::duration<double>(fuzz_seconds());
    long rounds = 0;
    while (std::chrono::steady_clock::now() - start < duration || rounds < 1000) {
        for (int i = 0; i < 100; ++i, ++rounds) {
            check_one(random);
            if (HasFatalFailure())
                return;
        }
    }
    RecordProperty("rounds", int(rounds));
}

} // namespace
