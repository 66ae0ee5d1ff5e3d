// Shift_JIS <-> EUC-JP by arithmetic: both encode JIS X 0208's 94 x 94 rows and cells (EUC-JP
// as row + 0xA0, cell + 0xA0; Shift_JIS folds two rows into one lead byte) and half-width
// katakana (one byte 0xA1-0xDF in Shift_JIS, 0x8E then that byte in EUC-JP).
#include "text/text_routines.h"

namespace text_routines {

namespace {

bool is_shift_jis_lead(uint8_t a) { return (a >= 0x81 && a <= 0x9F) || (a >= 0xE0 && a <= 0xFE); }

bool is_euc_byte(uint8_t b) { return b >= 0xA1 && b <= 0xFE; }

// Both bytes of a double-byte character, all arithmetic modulo 256.
void shift_jis_pair_to_euc(uint8_t a, uint8_t b, uint16_t out[2])
{
    if (a >= 0xE0)
        a = uint8_t(a - 0x40);
    if (b >= 0x80)
        b = uint8_t(b - 1);
    const uint8_t r = uint8_t(2 * (a - 0x70));
    if (b >= 0x9E) {
        out[0] = uint8_t(r + 0x80);
        out[1] = uint8_t(b + 3);
    } else {
        out[0] = uint8_t(r - 1 + 0x80);
        out[1] = uint8_t(b + 0x61);
    }
}

// The inverse of shift_jis_pair_to_euc for c1, c2 in 0xA1-0xFE: an odd row (c1 odd) takes
// the first half of a Shift_JIS lead byte's cells, an even row the second half.
void euc_pair_to_shift_jis(uint8_t c1, uint8_t c2, uint16_t out[2])
{
    const bool odd_row = (c1 & 1) != 0;
    const uint8_t r = uint8_t(c1 - 0x80 + (odd_row ? 1 : 0));
    uint8_t b = uint8_t(odd_row ? c2 - 0x61 : c2 - 3);
    if (b >= 0x7F)
        b = uint8_t(b + 1); // Shift_JIS skips 0x7F as a second byte
    uint8_t a = uint8_t(r / 2 + 0x70);
    if (a >= 0xA0)
        a = uint8_t(a + 0x40); // the lead bytes resume at 0xE0 after half-width katakana
    out[0] = a;
    out[1] = b;
}

} // namespace

// A lead byte whose second byte is the terminator ends the text: both bytes of a pair are
// consumed, and the byte after the terminator is not part of the source.
int32_t shift_jis_to_euc_jp(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    if (capacity < 1)
        return -1;
    UnitWriter out(destination, capacity, 1, 1);
    for (const uint8_t* p = source; out.has_room() && p[0] != 0;) {
        const uint8_t a = p[0];
        uint16_t bytes[2] = {a, 0};
        int count = 1;
        if (is_shift_jis_lead(a)) {
            if (p[1] == 0)
                break;
            shift_jis_pair_to_euc(a, p[1], bytes);
            count = 2;
            p += 2;
        } else if (a >= 0xA1 && a <= 0xDF) {
            bytes[0] = 0x8E;
            bytes[1] = a;
            count = 2;
            p += 1;
        } else {
            p += 1; // ASCII, 0x80, 0xA0 and 0xFF pass unchanged
        }
        out.put(bytes, count);
    }
    return out.finish();
}

// Stops at what Shift_JIS cannot hold: 0x8F (JIS X 0212's three-byte characters) and
// malformed pairs. Bytes that start no EUC-JP character pass unchanged, as the other way.
int32_t euc_jp_to_shift_jis(uint8_t* destination, const uint8_t* source, int32_t capacity)
{
    if (capacity < 1)
        return -1;
    UnitWriter out(destination, capacity, 1, 1);
    for (const uint8_t* p = source; out.has_room() && p[0] != 0;) {
        const uint8_t a = p[0];
        uint16_t bytes[2] = {a, 0};
        int count = 1;
        if (a == 0x8E) {
            if (!(p[1] >= 0xA1 && p[1] <= 0xDF))
                break;
            bytes[0] = p[1];
            p += 2;
        } else if (is_euc_byte(a)) {
            if (!is_euc_byte(p[1]))
                break;
            euc_pair_to_shift_jis(a, p[1], bytes);
            count = 2;
            p += 2;
        } else if (a == 0x8F) {
            break;
        } else {
            p += 1;
        }
        out.put(bytes, count);
    }
    return out.finish();
}

} // namespace text_routines
