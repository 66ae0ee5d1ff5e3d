// SHA-1 block function on the SHA extensions (Intel SHA-NI): SHA1RNDS4 runs four rounds of
// FIPS 180-4 section 6.1.2 step 3, SHA1NEXTE derives the next four rounds' e, SHA1MSG1 and
// SHA1MSG2 extend the message schedule four words at a time. Needs SHA, SSSE3 and SSE4.1.
#include <immintrin.h>

#include <utility>

#include "digest/sha/sha_variants.h"

namespace {

// The instructions keep a 4-word group with its first word in the highest lane: a 16-byte
// reversal turns four big-endian words from memory into that order. The bytes go on into the
// block buffer on the way.
inline __m128i load_words(const uint8_t* p, uint8_t* copy)
{
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(copy), bytes);
    return _mm_shuffle_epi8(bytes, reverse);
}

struct Sha1Lanes {
    __m128i abcd;   // a in the highest lane
    __m128i w[4];   // schedule words 4g .. 4g+15 of the current group g, rolling
    __m128i before; // abcd before the previous group: its a, rotated, is this group's e
};

// Group G: rounds 4G .. 4G+3 with the round function of G / 5 (section 4.1.1). W[4G..4G+3]
// sit in w[G % 4]; meanwhile the words of group G + 1 are formed over those of group G - 3.
template <int G> inline void group(Sha1Lanes& s, __m128i e_start)
{
    const __m128i wg = s.w[G % 4];
    const __m128i e_plus_w =
        G == 0 ? _mm_add_epi32(e_start, wg) : _mm_sha1nexte_epu32(s.before, wg);
    s.before = s.abcd;
    s.abcd = _mm_sha1rnds4_epu32(s.abcd, e_plus_w, G / 5);
    // W[t] = rotl1(W[t-3] ^ W[t-8] ^ W[t-14] ^ W[t-16]): MSG1 combines the words 16 and 14
    // back (groups G - 3 and G - 2), the XOR adds those 8 back (group G - 1), MSG2 those 3
    // back (group G) and rotates, resolving the dependencies inside the new group.
    if constexpr (G >= 3 && G + 1 < 20) {
        const int n = (G + 1) % 4; // group G + 1 replaces group G - 3
        s.w[n] = _mm_sha1msg2_epu32(
            _mm_xor_si128(_mm_sha1msg1_epu32(s.w[n], s.w[(G + 2) % 4]), s.w[(G + 3) % 4]),
            s.w[G % 4]);
    }
}

template <int... G>
inline void all_groups(Sha1Lanes& s, __m128i e_start, std::integer_sequence<int, G...>)
{
    (group<G>(s, e_start), ...);
}

} // namespace

void sha1_blocks_shani(uint32_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks)
{
    Sha1Lanes s;
    s.abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e_start = _mm_set_epi32(int(state[4]), 0, 0, 0);
    for (uint32_t b = 0; b < blocks; ++b, data += 64) {
        for (int i = 0; i < 4; ++i)
            s.w[i] = load_words(data + 16 * i, buffer + 16 * i);
        s.before = s.abcd;
        const __m128i abcd_start = s.abcd;

        all_groups(s, e_start, std::make_integer_sequence<int, 20>());

        // After the last group, e is a of the state before it, rotated: SHA1NEXTE adds it.
        e_start = _mm_sha1nexte_epu32(s.before, e_start);
        s.abcd = _mm_add_epi32(s.abcd, abcd_start);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(s.abcd, 0x1B));
    state[4] = uint32_t(_mm_extract_epi32(e_start, 3));
}
