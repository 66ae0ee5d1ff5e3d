// Builds without the Windows C runtime have no code page 932 ("jpn" is a Windows locale
// name): every conversion through it fails as unconvertible, writing nothing.
#include "text/text_routines.h"

namespace text_routines {

int32_t utf8_to_multibyte(uint8_t*, const uint8_t*, int32_t) { return -1; }

int32_t multibyte_to_utf8(uint8_t*, const uint8_t*, int32_t) { return -1; }

int32_t multibyte_to_wide(uint8_t*, const uint8_t*, int32_t) { return -1; }

int32_t multibyte_to_wide_swapped(uint8_t*, const uint8_t*, int32_t) { return -1; }

int32_t wide_to_multibyte(uint8_t*, const uint8_t*, int32_t) { return -1; }

int32_t swapped_wide_to_multibyte(uint8_t*, const uint8_t*, int32_t) { return -1; }

} // namespace text_routines
