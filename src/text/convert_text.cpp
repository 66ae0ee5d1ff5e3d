#include "text/text_encoding.h"

#include <clocale>

#include "text/text_routines.h"

namespace {

using Routine = int32_t (*)(uint8_t* destination, const uint8_t* source, int32_t capacity);

namespace r = text_routines;

// Rows: source Ascii..Utf16Be; columns: target Ascii..Utf16Be; null: no conversion. A UTF-16
// source converted "to Ascii" gives UTF-8, which is the text itself when it is 7-bit.
const Routine conversion_table[6][6] = {
    {r::copy, r::copy, r::copy, r::copy, r::utf8_decode, r::utf8_decode_swapped},
    {r::copy, r::copy, r::shift_jis_to_euc_jp, r::multibyte_to_utf8, r::multibyte_to_wide,
     r::multibyte_to_wide_swapped},
    {r::copy, r::euc_jp_to_shift_jis, r::copy, nullptr, nullptr, nullptr},
    {r::copy_utf8_length, r::utf8_to_multibyte, nullptr, r::copy_utf8_length, r::utf8_decode,
     r::utf8_decode_swapped},
    {r::utf8_encode, r::wide_to_multibyte, nullptr, r::utf8_encode, r::wide_copy, r::swap_copy},
    {r::utf8_encode_swapped_input, r::swapped_wide_to_multibyte, nullptr,
     r::utf8_encode_swapped_input, r::swap_copy, r::wide_copy},
};

uint32_t encoding_code(TextEncoding encoding)
{
    const uint32_t code = static_cast<uint32_t>(encoding);
    return code == 0 ? static_cast<uint32_t>(TextEncoding::Utf16Le) : code;
}

bool has_16bit_units(uint32_t code)
{
    return code == static_cast<uint32_t>(TextEncoding::Utf16Le) ||
           code == static_cast<uint32_t>(TextEncoding::Utf16Be);
}

bool locale_set = false;

} // namespace

int32_t convert_text(void* destination, const void* source, int32_t size, TextEncoding target,
                     TextEncoding source_encoding)
{
    if (destination == nullptr || source == nullptr || size <= 0)
        return -1;
    const uint32_t to = encoding_code(target);
    const uint32_t from = encoding_code(source_encoding);
    if (to > 6 || from > 6)
        return -1;
    const Routine routine = conversion_table[from - 1][to - 1];
    if (routine == nullptr)
        return -1;
    auto* out = static_cast<uint8_t*>(destination);
    const auto* in = static_cast<const uint8_t*>(source);
    if (!has_16bit_units(to))
        return routine(out, in, size);
    const int32_t capacity = size / 2;
    if (capacity == 0)
        return -2;
    const int32_t units = routine(out, in, capacity);
    return units < 0 ? -2 : 2 * units;
}

void ensure_japanese_locale()
{
    if (locale_set)
        return;
    std::setlocale(LC_ALL, "jpn");
    locale_set = true;
}
