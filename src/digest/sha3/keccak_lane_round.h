// Keccak-f[1600] with every lane in a vector register of its own, for the 32-bit variants that
// hold the state so (sha3_sse2.cpp, sha3_avx512.cpp): rho and pi written out lane by lane with
// fixed rotations, two rounds per loop pass alternating between two local states. The variant
// gives the lane operations as a struct of static functions:
//   Lane; template <int n> rotl(Lane); x(a, b) (XOR); column(a, i) (the XOR of column i);
//   chi(e, b0, .., b4) (one plane); load(const uint64_t*), store(uint64_t*, Lane) (low half).
// Include only in a variant file; everything here has internal linkage, so each variant keeps
// its own copies, built with its own instruction set.
#pragma once

#include <cstdint>

#include "digest/sha3/sha3_variants.h"

namespace {

// One round from a to e, lane (x, y) at x + 5y. Plane y of e is chi over the lanes
// B(x, y) = rotl(A(x + 3y, x) ^ D(x + 3y), rho offset of that lane), which is rho and pi.
// clang-format off
template <class O>
[[gnu::always_inline]] inline void keccak_lane_round(const typename O::Lane* a,
                                                     typename O::Lane* e, const uint64_t* rc)
{
    using Lane = typename O::Lane;
    const Lane c0 = O::column(a, 0), c1 = O::column(a, 1), c2 = O::column(a, 2);
    const Lane c3 = O::column(a, 3), c4 = O::column(a, 4);
    const Lane d0 = O::x(c4, O::template rotl<1>(c1)), d1 = O::x(c0, O::template rotl<1>(c2));
    const Lane d2 = O::x(c1, O::template rotl<1>(c3)), d3 = O::x(c2, O::template rotl<1>(c4));
    const Lane d4 = O::x(c3, O::template rotl<1>(c0));
    O::chi(e + 0,  O::x(a[0], d0),                         O::template rotl<44>(O::x(a[6], d1)),
                   O::template rotl<43>(O::x(a[12], d2)),  O::template rotl<21>(O::x(a[18], d3)),
                   O::template rotl<14>(O::x(a[24], d4)));
    e[0] = O::x(e[0], O::load(rc));
    O::chi(e + 5,  O::template rotl<28>(O::x(a[3], d3)),   O::template rotl<20>(O::x(a[9], d4)),
                   O::template rotl<3>(O::x(a[10], d0)),   O::template rotl<45>(O::x(a[16], d1)),
                   O::template rotl<61>(O::x(a[22], d2)));
    O::chi(e + 10, O::template rotl<1>(O::x(a[1], d1)),    O::template rotl<6>(O::x(a[7], d2)),
                   O::template rotl<25>(O::x(a[13], d3)),  O::template rotl<8>(O::x(a[19], d4)),
                   O::template rotl<18>(O::x(a[20], d0)));
    O::chi(e + 15, O::template rotl<27>(O::x(a[4], d4)),   O::template rotl<36>(O::x(a[5], d0)),
                   O::template rotl<10>(O::x(a[11], d1)),  O::template rotl<15>(O::x(a[17], d2)),
                   O::template rotl<56>(O::x(a[23], d3)));
    O::chi(e + 20, O::template rotl<62>(O::x(a[2], d2)),   O::template rotl<55>(O::x(a[8], d3)),
                   O::template rotl<39>(O::x(a[14], d4)),  O::template rotl<41>(O::x(a[15], d0)),
                   O::template rotl<2>(O::x(a[21], d1)));
}
// clang-format on

template <class O> [[gnu::always_inline]] inline void keccak_lane_permutation(uint64_t lanes[25])
{
    typename O::Lane a[25], e[25];
    for (int i = 0; i < 25; ++i)
        a[i] = O::load(lanes + i);
    for (int r = 0; r < 24; r += 2) {
        keccak_lane_round<O>(a, e, keccak_round_constants + r);
        keccak_lane_round<O>(e, a, keccak_round_constants + r + 1);
    }
    for (int i = 0; i < 25; ++i)
        O::store(lanes + i, a[i]);
}

} // namespace
