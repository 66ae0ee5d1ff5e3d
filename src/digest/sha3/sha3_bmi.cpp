// Keccak-f[1600] for x86-64 processors with BMI1: native 64-bit lanes as in sha3_x64.cpp, but
// chi as written in FIPS 202, b0 ^ (~b1 & b2), each AND-NOT a single ANDN instruction, which
// beats the lane complementing that the plain x86-64 variant needs to avoid the NOTs. Built
// with -mbmi, for x86-64 only.
#include "digest/sha3/sha3_variants.h"

namespace {

template <unsigned n> inline uint64_t rotl(uint64_t x) { return x << n | x >> (64 - n); }

inline void chi(uint64_t* e, uint64_t b0, uint64_t b1, uint64_t b2, uint64_t b3, uint64_t b4)
{
    e[0] = b0 ^ (~b1 & b2);
    e[1] = b1 ^ (~b2 & b3);
    e[2] = b2 ^ (~b3 & b4);
    e[3] = b3 ^ (~b4 & b0);
    e[4] = b4 ^ (~b0 & b1);
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
    chi(e + 0,  a[0] ^ d0,              rotl<44>(a[6] ^ d1),  rotl<43>(a[12] ^ d2),
                rotl<21>(a[18] ^ d3),   rotl<14>(a[24] ^ d4));
    e[0] ^= rc;
    chi(e + 5,  rotl<28>(a[3] ^ d3),    rotl<20>(a[9] ^ d4),  rotl<3>(a[10] ^ d0),
                rotl<45>(a[16] ^ d1),   rotl<61>(a[22] ^ d2));
    chi(e + 10, rotl<1>(a[1] ^ d1),     rotl<6>(a[7] ^ d2),   rotl<25>(a[13] ^ d3),
                rotl<8>(a[19] ^ d4),    rotl<18>(a[20] ^ d0));
    chi(e + 15, rotl<27>(a[4] ^ d4),    rotl<36>(a[5] ^ d0),  rotl<10>(a[11] ^ d1),
                rotl<15>(a[17] ^ d2),   rotl<56>(a[23] ^ d3));
    chi(e + 20, rotl<62>(a[2] ^ d2),    rotl<55>(a[8] ^ d3),  rotl<39>(a[14] ^ d4),
                rotl<41>(a[15] ^ d0),   rotl<2>(a[21] ^ d1));
}
// clang-format on

} // namespace

// The even rounds read the caller's lanes and write a local state, the odd rounds write the
// lanes back, so the state is never copied in or out.
void keccak_f1600_bmi(uint64_t lanes[25])
{
    uint64_t e[25];
    for (int r = 0; r < 24; r += 2) {
        keccak_round(lanes, e, keccak_round_constants[r]);
        keccak_round(e, lanes, keccak_round_constants[r + 1]);
    }
}
