// Keccak-f[1600] with SSE2 for the 32-bit build: each 64-bit lane lives in the low half of an
// XMM register, so XOR, AND-NOT and the 64-bit shifts of a rotation are single instructions
// where the 32-bit general registers need two or more each. The round is keccak_lane_round.h's.
// Built with -msse2 (and -mstackrealign for Win32's 4-byte aligned thread stacks).
#include "digest/sha3/sha3_variants.h"

#include <emmintrin.h>

#include "digest/sha3/keccak_lane_round.h"

namespace {

struct Sse2Lanes {
    using Lane = __m128i;

    template <int n> static Lane rotl(Lane x)
    {
        return _mm_or_si128(_mm_slli_epi64(x, n), _mm_srli_epi64(x, 64 - n));
    }

    static Lane x(Lane a, Lane b) { return _mm_xor_si128(a, b); }

    static Lane column(const Lane* a, int i)
    {
        return x(x(x(a[i], a[i + 5]), x(a[i + 10], a[i + 15])), a[i + 20]);
    }

    // chi on one plane: e_x = b_x ^ (~b_{x+1} & b_{x+2}), PANDN doing the complement.
    static void chi(Lane* e, Lane b0, Lane b1, Lane b2, Lane b3, Lane b4)
    {
        e[0] = x(b0, _mm_andnot_si128(b1, b2));
        e[1] = x(b1, _mm_andnot_si128(b2, b3));
        e[2] = x(b2, _mm_andnot_si128(b3, b4));
        e[3] = x(b3, _mm_andnot_si128(b4, b0));
        e[4] = x(b4, _mm_andnot_si128(b0, b1));
    }

    static Lane load(const uint64_t* p)
    {
        return _mm_loadl_epi64(reinterpret_cast<const Lane*>(p));
    }
    static void store(uint64_t* p, Lane v) { _mm_storel_epi64(reinterpret_cast<Lane*>(p), v); }
};

} // namespace

void keccak_f1600_sse2(uint64_t lanes[25]) { keccak_lane_permutation<Sse2Lanes>(lanes); }
