// Keccak-f[1600] for x86-64 in plain C++ with native 64-bit lanes: the rho and pi steps written
// out lane by lane with fixed rotations (one instruction each), two rounds per loop pass
// alternating between two local states, and the lane complementing transform of the Keccak
// team's "Keccak implementation overview" (section 2.2), which leaves one NOT per plane in chi
// instead of five. On a 32-bit processor every 64-bit operation here would be two, which is
// why this file is built for x86-64 only and picked by the cpu_sse2 bit that every x86-64 has.
#include "digest/sha3/sha3_variants.h"

#include <cstring>

namespace {

template <unsigned n> inline uint64_t rotl(uint64_t x) { return x << n | x >> (64 - n); }

// The lanes held complemented between rounds: (1,0), (2,0), (3,1), (2,2), (2,3), (0,4). Each
// round maps this set onto itself when chi is computed with the AND/OR forms below (the set and
// the forms were checked exhaustively over the 2^5 inputs of every plane, and the tests compare
// this permutation with the portable one).
const int complemented[6] = {1, 2, 8, 12, 17, 20};

void complement_lanes(uint64_t a[25])
{
    for (int i : complemented)
        a[i] = ~a[i];
}

// One round from a to e, lane (x, y) at x + 5y. Plane y of e is chi over the lanes
// B(x, y) = rotl(A(x + 3y, x) ^ D(x + 3y), rho offset of that lane), which is rho and pi.
// clang-format off
inline void keccak_round(const uint64_t* a, uint64_t* e, uint64_t rc)
{
    const uint64_t c0 = a[0] ^ a[5] ^ a[10] ^ a[15] ^ a[20];
    const uint64_t c1 = a[1] ^ a[6] ^ a[11] ^ a[16] ^ a[21];
    const uint64_t c2 = a[2] ^ a[7] ^ a[12] ^ a[17] ^ a[22];
    const uint64_t c3 = a[3] ^ a[8] ^ a[13] ^ a[18] ^ a[23];
    const uint64_t c4 = a[4] ^ a[9] ^ a[14] ^ a[19] ^ a[24];
    const uint64_t d0 = c4 ^ rotl<1>(c1), d1 = c0 ^ rotl<1>(c2), d2 = c1 ^ rotl<1>(c3);
    const uint64_t d3 = c2 ^ rotl<1>(c4), d4 = c3 ^ rotl<1>(c0);
    uint64_t b0, b1, b2, b3, b4, n;

    b0 = a[0] ^ d0;             b1 = rotl<44>(a[6] ^ d1);   b2 = rotl<43>(a[12] ^ d2);
    b3 = rotl<21>(a[18] ^ d3);  b4 = rotl<14>(a[24] ^ d4);
    n = ~b2;
    e[0] = b0 ^ (b1 | b2) ^ rc; e[1] = b1 ^ (n | b3);       e[2] = b2 ^ (b3 & b4);
    e[3] = b3 ^ (b4 | b0);      e[4] = b4 ^ (b0 & b1);

    b0 = rotl<28>(a[3] ^ d3);   b1 = rotl<20>(a[9] ^ d4);   b2 = rotl<3>(a[10] ^ d0);
    b3 = rotl<45>(a[16] ^ d1);  b4 = rotl<61>(a[22] ^ d2);
    n = ~b4;
    e[5] = b0 ^ (b1 | b2);      e[6] = b1 ^ (b2 & b3);      e[7] = b2 ^ (b3 | n);
    e[8] = b3 ^ (b4 | b0);      e[9] = b4 ^ (b0 & b1);

    b0 = rotl<1>(a[1] ^ d1);    b1 = rotl<6>(a[7] ^ d2);    b2 = rotl<25>(a[13] ^ d3);
    b3 = rotl<8>(a[19] ^ d4);   b4 = rotl<18>(a[20] ^ d0);
    n = ~b3;
    e[10] = b0 ^ (b1 | b2);     e[11] = b1 ^ (b2 & b3);     e[12] = b2 ^ (n & b4);
    e[13] = n ^ (b4 | b0);      e[14] = b4 ^ (b0 & b1);

    b0 = rotl<27>(a[4] ^ d4);   b1 = rotl<36>(a[5] ^ d0);   b2 = rotl<10>(a[11] ^ d1);
    b3 = rotl<15>(a[17] ^ d2);  b4 = rotl<56>(a[23] ^ d3);
    n = ~b3;
    e[15] = b0 ^ (b1 & b2);     e[16] = b1 ^ (b2 | b3);     e[17] = b2 ^ (n | b4);
    e[18] = n ^ (b4 & b0);      e[19] = b4 ^ (b0 | b1);

    b0 = rotl<62>(a[2] ^ d2);   b1 = rotl<55>(a[8] ^ d3);   b2 = rotl<39>(a[14] ^ d4);
    b3 = rotl<41>(a[15] ^ d0);  b4 = rotl<2>(a[21] ^ d1);
    n = ~b1;
    e[20] = b0 ^ (n & b2);      e[21] = n ^ (b2 | b3);      e[22] = b2 ^ (b3 & b4);
    e[23] = b3 ^ (b4 | b0);     e[24] = b4 ^ (b0 & b1);
}
// clang-format on

} // namespace

void keccak_f1600_x64(uint64_t lanes[25])
{
    uint64_t a[25], e[25];
    std::memcpy(a, lanes, sizeof a);
    complement_lanes(a);
    for (int r = 0; r < 24; r += 2) {
        keccak_round(a, e, keccak_round_constants[r]);
        keccak_round(e, a, keccak_round_constants[r + 1]);
    }
    complement_lanes(a);
    std::memcpy(lanes, a, sizeof a);
}
