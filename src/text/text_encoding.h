// Conversion of zero-terminated texts between six encodings, and the process locale that the
// multibyte (code page 932) conversions run under.
//
// convert_text(destination, source, size, target, source_encoding):
// - size is the destination's size in bytes. A null pointer or a size of 0 or less gives -1
//   and nothing is written.
// - An encoding of 0 means Utf16Le; a code above 6, and the pairs that have no conversion
//   (EucJp to Utf8/Utf16Le/Utf16Be, Utf8/Utf16Le/Utf16Be to EucJp), give -1 without writing.
// - The result is the output's length in bytes without its terminator, or a negative value
//   when the text did not fit or a character could not be converted; the destination then
//   holds a zero-terminated prefix. For 16-bit targets the capacity is size / 2 units (an odd
//   last byte stays untouched), results are even, and every failure is -2 (a size of 1 gives
//   -2 without writing).
// - A text that reaches the capacity is cut: the routines keep one unit for the terminator
//   (two bytes for UTF-16 to UTF-8) and, when the limit is reached, the last unit written is
//   replaced by the terminator. Nothing is ever written outside the size bytes, and no source
//   unit after the source's terminator is read.
// - Some outputs hold a zero unit before their terminator (the UTF-8 decoder writes one for
//   an overlong or out-of-range sequence); the result counts it, readers stop at it.
//
// 16-bit texts (Utf16Le, Utf16Be) are arrays of 16-bit units in the machine's order for Le:
// char16_t everywhere, wchar_t on Windows. Pointers to them must be aligned for 16-bit units
// on Windows, where the C runtime reads and writes them as wchar_t. The portable routines
// reach units through memcpy and accept any alignment.
//
// The pairs through the C runtime's multibyte conversions (ShiftJis to Utf8/Utf16Le/Utf16Be,
// Utf8/Utf16Le/Utf16Be to ShiftJis) exist on Windows only; other builds have no code page 932
// and fail them (-1, or -2 for 16-bit targets) without writing. All other pairs are portable.
//
// Not thread-safe where the C runtime's locale is involved: call from one thread (the
// window's), after ensure_japanese_locale has run once at start-up.
#pragma once

#include <cstdint>

enum class TextEncoding : uint32_t {
    Ascii = 1,    // 7-bit text, copied as it is between byte encodings
    ShiftJis = 2, // the C runtime's multibyte encoding under "jpn" (code page 932)
    EucJp = 3,
    Utf8 = 4,
    Utf16Le = 5, // 16-bit units in the machine's (little-endian) order; also code 0
    Utf16Be = 6, // 16-bit units with their two bytes swapped
};

int32_t convert_text(void* destination, const void* source, int32_t size, TextEncoding target,
                     TextEncoding source_encoding);

// Sets the C runtime's locale for all categories to "jpn", once per process (a later call
// does nothing, even if the locale was changed meanwhile). Not guarded against concurrent
// first calls. Outside Windows the name "jpn" is unknown and the locale stays as it was.
void ensure_japanese_locale();
