// The routines behind convert_text's table, and the termination rule most of them share.
// Internal to src/text/.
//
// Every routine takes a destination, a zero-terminated source and the destination's capacity
// in its own units (bytes for byte targets, 16-bit units for 16-bit targets), and returns a
// count of units or -1; convert_text turns unit counts into byte counts.
#pragma once

#include <cstdint>
#include <cstring>

namespace text_routines {

inline uint16_t swap_unit(uint16_t unit) { return uint16_t(unit << 8 | unit >> 8); }

// Unit i of a 16-bit text, through memcpy: the text may be a wchar_t or char16_t array.
inline uint16_t load_unit(const uint8_t* text, size_t i)
{
    uint16_t unit;
    std::memcpy(&unit, text + 2 * i, 2);
    return unit;
}

inline void store_unit(uint8_t* text, size_t i, uint16_t unit)
{
    std::memcpy(text + 2 * i, &unit, 2);
}

// The termination rule. The limit L is the capacity minus reserve (1, or 2 for the UTF-8
// encoder); a routine asks has_room() before each character and stops when it is false.
// finish() terminates: a zero unit after the output while fewer than L units were written,
// else the last unit written becomes the zero. Its result is the count written (the replaced
// unit included) while that is at most L, else -1. A character that would end beyond the
// capacity is refused by put(), which makes the result -1.
class UnitWriter {
public:
    // capacity >= reserve >= 1; unit_bytes is 1 or 2.
    UnitWriter(uint8_t* destination, int32_t capacity, int32_t unit_bytes, int32_t reserve)
        : destination_(destination), capacity_(capacity), limit_(capacity - reserve),
          unit_bytes_(unit_bytes)
    {
    }

    bool has_room() const { return written_ < limit_; }

    // Writes one character's units, or nothing (and returns false) when they do not fit.
    bool put(const uint16_t* units, int32_t count)
    {
        if (count > capacity_ - written_) {
            refused_ = true;
            return false;
        }
        for (int32_t i = 0; i < count; ++i)
            store(written_ + i, units[i]);
        written_ += count;
        return true;
    }

    int32_t finish()
    {
        if (written_ < limit_ || written_ == 0)
            store(written_, 0);
        else
            store(written_ - 1, 0);
        return refused_ || written_ > limit_ ? -1 : written_;
    }

private:
    void store(int32_t index, uint16_t unit)
    {
        if (unit_bytes_ == 1)
            destination_[index] = uint8_t(unit);
        else
            store_unit(destination_, size_t(index), unit);
    }

    uint8_t* destination_;
    int32_t capacity_;
    int32_t limit_;
    int32_t unit_bytes_;
    int32_t written_ = 0;
    bool refused_ = false;
};

// One UTF-8 sequence at text, decoded as convert_text's UTF-8 decoder does: writes 1 or 2
// units and advances text past the sequence; returns 0 (and leaves text) at the terminator,
// at a zero byte inside the sequence, or at a lead byte 0x80-0xC1 or 0xF8-0xFF.
int decode_utf8_sequence(const uint8_t*& text, uint16_t units[2]);

// One 16-bit unit as 1 to 3 UTF-8 bytes (held in 16-bit cells for UnitWriter); 0 for a
// surrogate unit, which has no form of its own.
int encode_utf8_unit(uint16_t unit, uint16_t bytes[3]);

// Routines with byte targets take the capacity in bytes; 16-bit targets in units.
int32_t copy(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t copy_utf8_length(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t utf8_encode(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t utf8_encode_swapped_input(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t utf8_decode(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t utf8_decode_swapped(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t wide_copy(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t swap_copy(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t shift_jis_to_euc_jp(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t euc_jp_to_shift_jis(uint8_t* destination, const uint8_t* source, int32_t capacity);

// Through the C runtime under the "jpn" locale (multibyte_win.cpp); elsewhere they fail with
// -1 and write nothing (multibyte_none.cpp).
int32_t utf8_to_multibyte(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t multibyte_to_utf8(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t multibyte_to_wide(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t multibyte_to_wide_swapped(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t wide_to_multibyte(uint8_t* destination, const uint8_t* source, int32_t capacity);
int32_t swapped_wide_to_multibyte(uint8_t* destination, const uint8_t* source, int32_t capacity);

} // namespace text_routines
