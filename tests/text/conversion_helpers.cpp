#include "conversion_helpers.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

Conversion convert(TextEncoding target, TextEncoding source_encoding,
                   const std::vector<uint8_t>& source, int32_t size)
{
    const size_t bytes = size > 0 ? size_t(size) : 0;
    // uint16_t storage keeps the destination aligned for 16-bit units.
    std::vector<uint16_t> frame((2 * guard_size + bytes + 1) / 2 + 1);
    uint8_t* base = reinterpret_cast<uint8_t*>(frame.data());
    std::memset(base, guard_byte, frame.size() * 2);
    uint8_t* destination = base + guard_size;
    std::memset(destination, untouched, bytes);

    Conversion c;
    c.result = convert_text(destination, source.data(), size, target, source_encoding);
    c.destination.assign(destination, destination + bytes);
    c.guards_intact = true;
    for (uint8_t* p = base; p < base + frame.size() * 2; ++p) {
        if ((p < destination || p >= destination + bytes) && *p != guard_byte)
            c.guards_intact = false;
    }
    return c;
}

std::vector<uint8_t> bytes_text(const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> text(bytes);
    text.push_back(0);
    return text;
}

std::vector<uint8_t> bytes_text(const std::string& bytes)
{
    return bytes_text(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> units_text(const std::u16string& units, bool swapped)
{
    std::vector<uint8_t> text(2 * (units.size() + 1));
    for (size_t i = 0; i < units.size(); ++i) {
        uint16_t unit = units[i];
        if (swapped)
            unit = uint16_t(unit << 8 | unit >> 8);
        std::memcpy(&text[2 * i], &unit, 2);
    }
    return text;
}

std::u16string units_of(const std::vector<uint8_t>& destination, size_t count)
{
    std::u16string units(count, u'\0');
    for (size_t i = 0; i < count; ++i) {
        uint16_t unit = 0;
        if (2 * i + 1 < destination.size())
            std::memcpy(&unit, &destination[2 * i], 2);
        units[i] = char16_t(unit);
    }
    return units;
}

std::vector<uint8_t> prefix(const std::vector<uint8_t>& destination, size_t count)
{
    return std::vector<uint8_t>(destination.begin(),
                                destination.begin() +
                                    std::ptrdiff_t(std::min(count, destination.size())));
}
