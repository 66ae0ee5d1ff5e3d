// SHA-224/256 block function on the SHA extensions (Intel SHA-NI): SHA256RNDS2 runs two rounds
// of FIPS 180-4 section 6.2.2 step 3 on the state held as ABEF and CDGH, SHA256MSG1 and
// SHA256MSG2 extend the message schedule four words at a time. Needs SHA, SSSE3 and SSE4.1.
#include <immintrin.h>

#include <utility>

#include "digest/sha/sha_variants.h"

namespace {

struct Sha256Lanes {
    __m128i abef; // lanes from low to high: f, e, b, a
    __m128i cdgh; // h, g, d, c
    __m128i w[4]; // schedule words 4g .. 4g+15 of the current group g, rolling
};

// Group G: rounds 4G .. 4G+3, two per SHA256RNDS2, whose round constant and word come added
// in the low two lanes. The words of group G + 1 are formed meanwhile (section 6.2.2 step 1:
// W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16]): MSG1 adds s0 of the next word to the
// words 16 back, the alignment adds the words 7 back, MSG2 adds s1 of the words 2 back.
template <int G> inline void group(Sha256Lanes& s)
{
    const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sha256_k + 4 * G));
    const __m128i wk = _mm_add_epi32(s.w[G % 4], k);
    s.cdgh = _mm_sha256rnds2_epu32(s.cdgh, s.abef, wk);
    s.abef = _mm_sha256rnds2_epu32(s.abef, s.cdgh, _mm_shuffle_epi32(wk, 0x0E));
    if constexpr (G >= 3 && G + 1 < 16) {
        const int n = (G + 1) % 4; // group G + 1 replaces group G - 3
        const __m128i back7 = _mm_alignr_epi8(s.w[G % 4], s.w[(G + 3) % 4], 4);
        const __m128i partial =
            _mm_add_epi32(_mm_sha256msg1_epu32(s.w[n], s.w[(G + 2) % 4]), back7);
        s.w[n] = _mm_sha256msg2_epu32(partial, s.w[G % 4]);
    }
}

template <int... G> inline void all_groups(Sha256Lanes& s, std::integer_sequence<int, G...>)
{
    (group<G>(s), ...);
}

} // namespace

void sha256_blocks_shani(uint32_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks)
{
    // Big-endian words from memory in their natural lane order.
    const __m128i swap = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
    Sha256Lanes s;

    // state a b c d | e f g h into f e b a | h g d c.
    const __m128i badc =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    const __m128i hgfe =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    s.abef = _mm_alignr_epi8(badc, hgfe, 8);
    s.cdgh = _mm_blend_epi16(hgfe, badc, 0xF0);

    for (uint32_t b = 0; b < blocks; ++b, data += 64) {
        for (int i = 0; i < 4; ++i) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + 16 * i), bytes);
            s.w[i] = _mm_shuffle_epi8(bytes, swap);
        }
        const __m128i abef_start = s.abef;
        const __m128i cdgh_start = s.cdgh;
        all_groups(s, std::make_integer_sequence<int, 16>());
        s.abef = _mm_add_epi32(s.abef, abef_start);
        s.cdgh = _mm_add_epi32(s.cdgh, cdgh_start);
    }

    // And back: a b e f, g h c d, then a b c d | e f g h.
    const __m128i abef = _mm_shuffle_epi32(s.abef, 0x1B);
    const __m128i ghcd = _mm_shuffle_epi32(s.cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(abef, ghcd, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(ghcd, abef, 8));
}
