// Running convert_text into a framed destination, and building its source texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/text_encoding.h"

// Bytes the destination holds before the call, and the guards around it.
const uint8_t untouched = 0xCC;
const uint8_t guard_byte = 0xA5;
const size_t guard_size = 16;

struct Conversion {
    int32_t result;
    std::vector<uint8_t> destination; // all size bytes (untouched ones stay 0xCC)
    bool guards_intact;
};

// convert_text into a destination of size bytes (at least 0), framed by guard bytes.
Conversion convert(TextEncoding target, TextEncoding source_encoding,
                   const std::vector<uint8_t>& source, int32_t size);

// A byte text: the bytes, then a zero terminator.
std::vector<uint8_t> bytes_text(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> bytes_text(const std::string& bytes);
// A 16-bit text in the machine's order (Utf16Le), then a zero unit; with swapped, every unit's
// two bytes exchanged (Utf16Be).
std::vector<uint8_t> units_text(const std::u16string& units, bool swapped = false);

// The first count 16-bit units of a destination, in the machine's order.
std::u16string units_of(const std::vector<uint8_t>& destination, size_t count);
// The first count bytes of a destination.
std::vector<uint8_t> prefix(const std::vector<uint8_t>& destination, size_t count);
