// CRC-32 by carry-less multiplication (PCLMULQDQ): the message is folded 64 bytes at a time
// into four 128-bit remainders, as in Intel's "Fast CRC Computation for Generic Polynomials
// Using PCLMULQDQ Instruction", and the four into one; the table code of crc32.cpp turns that
// last 16 bytes into the register. Needs PCLMUL and SSE2.
//
// Why folding works: the register after a message B started from zero is B(x) * x^32 mod P,
// so any R(x) congruent to B(x) mod P gives the same register. A 128-bit piece A followed by D
// more bits of message counts as A(x) * x^D = A_high(x) * x^(D+64) + A_low(x) * x^D, and
// multiplying the halves by x^(D+64) mod P and x^D mod P gives a 96-bit value with the same
// remainder, which is XORed into the piece D bits on.
#include <immintrin.h>

#include "digest/crc32/crc32_variants.h"

namespace {

// x^n mod P in the reflected order of the register (x^31 in bit 0), multiplied by x the same
// way the table is built: shift right, and the bit shifted out of x^31 brings back P's terms.
constexpr uint32_t x_power_mod_p(unsigned n)
{
    uint32_t r = 0x80000000u; // x^0
    for (unsigned i = 0; i < n; ++i)
        r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
    return r;
}

// A 64-bit lane holds x^63 in bit 0, so a 32-bit remainder sits in its upper half. The
// product of two such lanes is one bit short of the 128-bit order (x^126 lands in bit 0, one
// place after x^127): the constants are taken one power lower to make up for it.
constexpr uint64_t lane_constant(unsigned n) { return uint64_t(x_power_mod_p(n - 1)) << 32; }

// Constants that carry a 128-bit piece D bits on: its first eight bytes (the high-order half)
// by x^(D+64), the second by x^D.
struct FoldDistance {
    uint64_t high_half;
    uint64_t low_half;
};

constexpr FoldDistance fold_by(unsigned bits)
{
    return {lane_constant(bits + 64), lane_constant(bits)};
}

constexpr FoldDistance by_128 = fold_by(128);
constexpr FoldDistance by_256 = fold_by(256);
constexpr FoldDistance by_384 = fold_by(384);
constexpr FoldDistance by_512 = fold_by(512);

inline __m128i constants(FoldDistance d)
{
    return _mm_set_epi64x(static_cast<long long>(d.low_half), static_cast<long long>(d.high_half));
}

inline __m128i fold(__m128i piece, __m128i k)
{
    return _mm_xor_si128(_mm_clmulepi64_si128(piece, k, 0x00),
                         _mm_clmulepi64_si128(piece, k, 0x11));
}

inline __m128i load(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

} // namespace

void crc32_fold_pclmul(uint32_t crc, const uint8_t* data, uint32_t pieces, uint8_t* rest)
{
    // The register XORed into the first four bytes continues the CRC from it, with the table
    // code then started from zero.
    __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = load(data + 16);
    __m128i x2 = load(data + 32);
    __m128i x3 = load(data + 48);
    data += 64;
    uint32_t left = pieces - 4;

    const __m128i k512 = constants(by_512);
    for (; left >= 4; left -= 4, data += 64) {
        x0 = _mm_xor_si128(fold(x0, k512), load(data));
        x1 = _mm_xor_si128(fold(x1, k512), load(data + 16));
        x2 = _mm_xor_si128(fold(x2, k512), load(data + 32));
        x3 = _mm_xor_si128(fold(x3, k512), load(data + 48));
    }

    __m128i r =
        _mm_xor_si128(_mm_xor_si128(fold(x0, constants(by_384)), fold(x1, constants(by_256))),
                      _mm_xor_si128(fold(x2, constants(by_128)), x3));
    const __m128i k128 = constants(by_128);
    for (; left > 0; --left, data += 16)
        r = _mm_xor_si128(fold(r, k128), load(data));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rest), r);
}
