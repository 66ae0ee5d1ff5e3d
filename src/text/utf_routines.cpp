// Plain copies and the UTF-8 / UTF-16 routines of convert_text (RFC 3629, RFC 2781).
#include "text/text_routines.h"

namespace text_routines {

namespace {

// Bytes in a sequence that starts with lead byte a; 0 for a byte that cannot start one.
int utf8_sequence_length(uint8_t a)
{
    if (a >= 0x01 && a <= 0x7F)
        return 1;
    if (a >= 0xC2 && a <= 0xDF)
        return 2;
    if (a >= 0xE0 && a <= 0xEF)
        return 3;
    if (a >= 0xF0 && a <= 0xF7)
        return 4;
    return 0;
}

bool is_high_surrogate(uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

bool is_low_surrogate(uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// RFC 3629 section 3: a supplementary code point as four bytes.
int encode_utf8_pair(uint16_t high, uint16_t low, uint16_t bytes[4])
{
    const uint32_t c = 0x10000 + (uint32_t(high - 0xD800) << 10) + uint32_t(low - 0xDC00);
    bytes[0] = uint16_t(0xF0 | c >> 18);
    bytes[1] = uint16_t(0x80 | (c >> 12 & 0x3F));
    bytes[2] = uint16_t(0x80 | (c >> 6 & 0x3F));
    bytes[3] = uint16_t(0x80 | (c & 0x3F));
    return 4;
}

// UTF-16 to UTF-8 stops at the terminator and at any surrogate that is not the first half of
// a pair; the output up to there stays.
int32_t encode(uint8_t* destination, const uint8_t* source, int32_t capacity, bool swapped)
{
    if (capacity < 2)
        return -1;
    UnitWriter out(destination, capacity, 1, 2);
    auto unit = [&](size_t i) {
        const uint16_t u = load_unit(source, i);
        return swapped ? swap_unit(u) : u;
    };
    size_t i = 0;
    while (out.has_room()) {
        const uint16_t u = unit(i);
        uint16_t bytes[4];
        int count = 0;
        if (is_high_surrogate(u)) {
            const uint16_t w = unit(i + 1); // the terminator at worst
            if (!is_low_surrogate(w))
                break;
            count = encode_utf8_pair(u, w, bytes);
            i += 2;
        } else {
            count = u == 0 ? 0 : encode_utf8_unit(u, bytes);
            i += 1;
        }
        if (count == 0 || !out.put(bytes, count))
            break;
    }
    return out.finish();
}

int32_t decode(uint8_t* destination, const uint8_t* source, int32_t capacity, bool swapped)
{
    if (capacity < 1)
        return -1;
    UnitWriter out(destination, capacity, 2, 1);
    const uint8_t* text = source;
    while (out.has_room()) {
        uint16_t units[2];
        const int count = decode_utf8_sequence(text, units);
        if (count == 0)
            break;
        for (int k = 0; swapped && k < count; ++k)
            units[k] = swap_unit(units[k]);
        if (!out.put(units, count))
            break;
    }
    return out.finish();
}

} // namespace

int decode_utf8_sequence(const uint8_t*& text, uint16_t units[2])
{
    const uint8_t a = text[0];
    const int length = utf8_sequence_length(a);
    if (length == 0)
        return 0;
    uint32_t value = length == 1 ? a : a & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k) {
        if (text[k] == 0)
            return 0; // the text ends inside the sequence
        value = value << 6 | (text[k] & 0x3F);
    }
    text += length;
    if (length == 3 && value < 0x800)
        value = 0; // overlong: a zero unit that ends the text for readers
    if (length == 4) {
        const uint32_t v = value - 0x10000; // wraps for overlong forms, which then fail below
        if (v > 0xFFFFF) {
            units[0] = 0;
            return 1;
        }
        units[0] = uint16_t(0xD800 + (v >> 10));
        units[1] = uint16_t(0xDC00 + (v & 0x3FF));
        return 2;
    }
    units[0] = uint16_t(value);
    return 1;
}

int encode_utf8_unit(uint16_t unit, uint16_t bytes[3])
{
    if (unit < 0x80) {
        bytes[0] = unit;
        return 1;
    }
    if (unit < 0x800) {
        bytes[0] = uint16_t(0xC0 | unit >> 6);
        bytes[1] = uint16_t(0x80 | (unit & 0x3F));
        return 2;
    }
    if (unit >= 0xD800 && unit <= 0xDFFF)
        return 0;
    bytes[0] = uint16_t(0xE0 | unit >> 12);
    bytes[1] = uint16_t(0x80 | (unit >> 6 & 0x3F));
    bytes[2] = uint16_t(0x80 | (unit & 0x3F));
    return 3;
}

// Like strncpy into the whole destination, but always terminated.
int32_t copy(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    int32_t length = 0;
    while (length < capacity - 1 && source[length] != 0) {
        destination[length] = source[length];
        ++length;
    }
    std::memset(destination + length, 0, size_t(capacity - length));
    return length;
}

// The copy's length, once every lead byte has been found valid. A sequence cut short by the
// terminator counts only the bytes it has, so the result never exceeds the bytes copied.
int32_t copy_utf8_length(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    const int32_t length = copy(destination, source, capacity);
    for (int32_t i = 0; i < length;) {
        const int step = utf8_sequence_length(destination[i]);
        if (step == 0)
            return -1;
        i += step;
    }
    return length;
}

int32_t utf8_encode(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    return encode(destination, source, capacity, false);
}

int32_t utf8_encode_swapped_input(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    return encode(destination, source, capacity, true);
}

int32_t utf8_decode(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    return decode(destination, source, capacity, false);
}

int32_t utf8_decode_swapped(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    return decode(destination, source, capacity, true);
}

// Units up to the terminator, cut after capacity - 1, then zero units to the capacity.
int32_t wide_copy(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    int32_t length = 0;
    for (; length < capacity - 1; ++length) {
        const uint16_t unit = load_unit(source, size_t(length));
        if (unit == 0)
            break;
        store_unit(destination, size_t(length), unit);
    }
    std::memset(destination + 2 * size_t(length), 0, 2 * size_t(capacity - length));
    return length;
}

int32_t swap_copy(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    if (capacity < 1)
        return -1;
    UnitWriter out(destination, capacity, 2, 1);
    for (size_t i = 0; out.has_room(); ++i) {
        const uint16_t unit = load_unit(source, i);
        if (unit == 0)
            break;
        const uint16_t swapped = swap_unit(unit);
        out.put(&swapped, 1);
    }
    return out.finish();
}

} // namespace text_routines
