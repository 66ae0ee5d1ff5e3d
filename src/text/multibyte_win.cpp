// The conversions through the C runtime's multibyte functions under the "jpn" locale (code
// page 932). wchar_t is a 16-bit UTF-16 unit on Windows, so 16-bit texts pass straight
// through as wchar_t arrays.
#include <climits>
#include <clocale>
#include <cstdlib>
#include <vector>

#include "text/text_encoding.h"
#include "text/text_routines.h"

namespace text_routines {

namespace {

const size_t conversion_failed = static_cast<size_t>(-1);

void swap_units(uint8_t* text, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        store_unit(text, size_t(i), swap_unit(load_unit(text, size_t(i))));
}

} // namespace

// Each UTF-8 sequence's first unit through wctomb; a unit that code page 932 lacks (and a
// surrogate, which wctomb refuses) stops the routine.
int32_t utf8_to_multibyte(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    ensure_japanese_locale();
    if (capacity < 1)
        return -1;
    UnitWriter out(destination, capacity, 1, 1);
    const uint8_t* text = source;
    while (out.has_room()) {
        uint16_t units[2];
        if (decode_utf8_sequence(text, units) == 0)
            break;
        char bytes[MB_LEN_MAX];
        const int count = std::wctomb(bytes, static_cast<wchar_t>(units[0]));
        if (count <= 0)
            break;
        uint16_t cells[MB_LEN_MAX];
        for (int k = 0; k < count; ++k)
            cells[k] = static_cast<uint8_t>(bytes[k]);
        if (!out.put(cells, count))
            break;
    }
    return out.finish();
}

// One multibyte character at a time through mbtowc, then UTF-8 as the encoder writes one unit.
int32_t multibyte_to_utf8(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    ensure_japanese_locale();
    if (capacity < 1)
        return -1;
    UnitWriter out(destination, capacity, 1, 1);
    const char* text = reinterpret_cast<const char*>(source);
    while (out.has_room()) {
        wchar_t unit = 0;
        // At most MB_CUR_MAX bytes: a lead byte is followed at least by the terminator.
        const int used = std::mbtowc(&unit, text, MB_CUR_MAX);
        if (used <= 0)
            break;
        uint16_t bytes[3];
        const int count = encode_utf8_unit(static_cast<uint16_t>(unit), bytes);
        if (count == 0 || !out.put(bytes, count))
            break;
        text += used;
    }
    return out.finish();
}

// mbstowcs into capacity - 1 units, then the terminator; a failed conversion leaves an empty
// text (what mbstowcs wrote before failing is not a prefix the caller could trust).
int32_t multibyte_to_wide(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    if (capacity < 1)
        return -1;
    wchar_t* out = reinterpret_cast<wchar_t*>(destination);
    const size_t count =
        std::mbstowcs(out, reinterpret_cast<const char*>(source), size_t(capacity - 1));
    if (count == conversion_failed) {
        out[0] = 0;
        return -1;
    }
    out[count] = 0;
    return static_cast<int32_t>(count);
}

int32_t multibyte_to_wide_swapped(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    const int32_t count = multibyte_to_wide(destination, source, capacity);
    swap_units(destination, count);
    return count;
}

// wcstombs with one byte kept for the terminator: given the whole size, wcstombs fills the
// destination without terminating it whenever the text needs that many bytes or more.
int32_t wide_to_multibyte(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    char* out = reinterpret_cast<char*>(destination);
    const size_t count =
        std::wcstombs(out, reinterpret_cast<const wchar_t*>(source), size_t(capacity - 1));
    if (count == conversion_failed) {
        out[0] = 0;
        return -1;
    }
    out[count] = 0;
    return static_cast<int32_t>(count);
}

int32_t swapped_wide_to_multibyte(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    size_t length = 0;
    while (load_unit(source, length) != 0)
        ++length;
    std::vector<uint8_t> swapped(2 * (length + 1));
    for (size_t i = 0; i <= length; ++i)
        store_unit(swapped.data(), i, swap_unit(load_unit(source, i)));
    return wide_to_multibyte(destination, swapped.data(), capacity);
}

} // namespace text_routines
