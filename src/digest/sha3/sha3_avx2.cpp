// Keccak-f[1600] with AVX2 for the 32-bit build, four lanes per YMM register. The 5x5 state is
// kept as a 4x4 block and its border: B[y] holds lanes x = 0..3 of plane y (y = 0..3), V lanes
// (4, 0..3), H lanes (0..3, 4), and the corner (4, 4) sits in the low half of an XMM register:
// seven registers of the eight, where one lane per register needs 25.
//
// theta's column parities are then vertical XORs of whole registers (plus a horizontal XOR of
// V). pi, B(x', y') = A(x' + 3y', x'), turns row X of the state into sheet X (the lanes with
// x = X): at most one blend and one permute for each row. rho follows on the sheets, each rotated
// by its four offsets at once (see rho below). chi then works along whole registers, sheet K[X]
// against K[X + 1] and K[X + 2], four planes at once; only plane 4 (P and its corner) needs
// its lanes moved. A 4x4 transpose of sheets 0..3 gives the rows back, while sheet 4 is
// already the new V and chi's plane 4 the new H. Built with -mavx2, and with the scheduler
// watching register pressure before allocation (-fschedule-insns -fsched-pressure), which
// halves what the eight registers spill to the stack; the second scheduling pass after
// allocation is left out (-fno-schedule-insns2), which measured a little faster on Zen 2.
#include "digest/sha3/sha3_variants.h"

#include <immintrin.h>

#include <cstring>

namespace {

using Vec = __m256i;
using Lane = __m128i;

inline Vec x4(Vec a, Vec b) { return _mm256_xor_si256(a, b); }
inline Lane x1(Lane a, Lane b) { return _mm_xor_si128(a, b); }
inline Lane low(Vec v) { return _mm256_castsi256_si128(v); }
inline Lane hi(Lane v) { return _mm_unpackhi_epi64(v, v); }

// rho without shifts. On Zen 2 (where this was tuned) vector shifts run on one pipe only and
// VPSLLVQ/VPSRLVQ take two cycles of it each, so a rotation by per-lane counts rather goes
// through the multiplier, which has a pipe of its own. VPMULUDQ multiplies the low 32 bits of
// each lane by 2^n (n < 32) into a 64-bit product whose low half is lo << n and whose high
// half is the bits shifted out of lo, lo >> (32 - n). The same for the high word, with the
// halves of its product swapped, makes up the rotation:
//   rotl(hi:lo, n) = lo * 2^n  |  swap32(hi * 2^n).
// A lane rotated by n >= 32 has its words swapped first, by the VPERMD that moves it into its
// sheet in pi, and is then rotated by n - 32; offset 0 multiplies by 1.
//
// Per sheet K[0..4] and the plane-4 vector P: the slot of the blended row each slot takes,
// and the rho offset of the lane that lands there.
constexpr unsigned pi_sources[6][4] = {{0, 3, 1, 2}, {1, 3, 2, 0}, {2, 0, 3, 1},
                                       {3, 1, 0, 2}, {1, 2, 0, 3}, {2, 3, 1, 0}};
constexpr unsigned rho_offsets[6][4] = {{0, 28, 1, 27},  {44, 20, 6, 36},  {43, 3, 25, 10},
                                        {21, 45, 8, 15}, {14, 61, 18, 56}, {62, 55, 39, 41}};

struct Tables {
    alignas(32) uint64_t multiplier[6][4]; // 2^(offset mod 32)
    alignas(32) uint32_t words[6][8];      // VPERMD selectors, words swapped if offset >= 32
    alignas(32) uint64_t iota[24][4];      // round constants, in lane (0, 0) only
};

constexpr Tables make_tables()
{
    Tables t{};
    for (int i = 0; i < 6; ++i)
        for (unsigned j = 0; j < 4; ++j) {
            const unsigned n = rho_offsets[i][j], word = 2 * pi_sources[i][j];
            t.multiplier[i][j] = uint64_t(1) << (n % 32);
            t.words[i][2 * j] = n >= 32 ? word + 1 : word;
            t.words[i][2 * j + 1] = n >= 32 ? word : word + 1;
        }
    for (int r = 0; r < 24; ++r)
        t.iota[r][0] = keccak_round_constants[r];
    return t;
}

alignas(32) constexpr Tables tables = make_tables();

inline Vec load(const void* p) { return _mm256_load_si256(static_cast<const Vec*>(p)); }

inline Vec swap32(Vec v) { return _mm256_shuffle_epi32(v, 0xB1); }

// Row v, with lane (4, y) blended in where needed, into sheet i (or P), the words of each lane
// swapped where its rho offset is 32 or more.
inline Vec pi(Vec v, int i) { return _mm256_permutevar8x32_epi32(v, load(tables.words[i])); }

inline Vec rho(Vec w, int i)
{
    const Vec m = load(tables.multiplier[i]);
    return _mm256_or_si256(_mm256_mul_epu32(w, m), swap32(_mm256_mul_epu32(swap32(w), m)));
}

template <int n> inline Lane rotl(Lane v)
{
    return _mm_or_si128(_mm_slli_epi64(v, n), _mm_srli_epi64(v, 64 - n));
}

inline Vec rotl1(Vec v)
{
    return _mm256_or_si256(_mm256_add_epi64(v, v), _mm256_srli_epi64(v, 63));
}

inline Vec chi(Vec b0, Vec b1, Vec b2) { return x4(b0, _mm256_andnot_si256(b1, b2)); }

// The state in registers: rows 0..3 of the 4x4 block, the border, the corner.
struct State {
    Vec B0, B1, B2, B3, H, V;
    Lane corner;
};

[[gnu::always_inline]] inline Lane lane_at(const uint64_t* lanes, int i)
{
    return _mm_loadl_epi64(reinterpret_cast<const Lane*>(lanes + i));
}

[[gnu::always_inline]] inline Vec row_at(const uint64_t* lanes, int i)
{
    return _mm256_loadu_si256(reinterpret_cast<const Vec*>(lanes + i));
}

[[gnu::always_inline]] inline State load_state(const uint64_t lanes[25])
{
    return {row_at(lanes, 0),
            row_at(lanes, 5),
            row_at(lanes, 10),
            row_at(lanes, 15),
            row_at(lanes, 20),
            _mm256_setr_m128i(_mm_unpacklo_epi64(lane_at(lanes, 4), lane_at(lanes, 9)),
                              _mm_unpacklo_epi64(lane_at(lanes, 14), lane_at(lanes, 19))),
            lane_at(lanes, 24)};
}

[[gnu::always_inline]] inline void store_state(const State& s, uint64_t lanes[25])
{
    const auto store = [lanes](int i, Lane v) {
        _mm_storel_epi64(reinterpret_cast<Lane*>(lanes + i), v);
    };
    _mm256_storeu_si256(reinterpret_cast<Vec*>(lanes + 0), s.B0);
    _mm256_storeu_si256(reinterpret_cast<Vec*>(lanes + 5), s.B1);
    _mm256_storeu_si256(reinterpret_cast<Vec*>(lanes + 10), s.B2);
    _mm256_storeu_si256(reinterpret_cast<Vec*>(lanes + 15), s.B3);
    _mm256_storeu_si256(reinterpret_cast<Vec*>(lanes + 20), s.H);
    const Lane v01 = low(s.V), v23 = _mm256_extracti128_si256(s.V, 1);
    store(4, v01);
    store(9, hi(v01));
    store(14, v23);
    store(19, hi(v23));
    store(24, s.corner);
}

[[gnu::always_inline]] inline void permute(State& s)
{
    for (int round = 0; round < 24; ++round) {
        // theta: C[x] = XOR of sheet x, D[x] = C[x - 1] ^ rotl(C[x + 1], 1).
        const Vec c = x4(x4(x4(s.B0, s.B1), x4(s.B2, s.B3)), s.H);
        const Lane v = x1(low(s.V), _mm256_extracti128_si256(s.V, 1));
        const Lane c4 = x1(x1(v, hi(v)), s.corner);
        const Vec rc = rotl1(c);
        const Lane rc4 = rotl<1>(c4);
        // (C4, C0, C1, C2): VPALIGNR takes the high lane of each 128-bit half of the second
        // operand and the low lane of the first.
        const Vec cm1 = _mm256_alignr_epi8(
            c,
            _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi64(c4, c4)), low(c), 1),
            8);
        // rotl of (C1, C2, C3, C4)
        const Vec rcp1 = _mm256_alignr_epi8(
            _mm256_permute2x128_si256(rc, _mm256_castsi128_si256(rc4), 0x21), rc, 8);
        const Vec d = x4(cm1, rcp1);
        const Lane d4 = x1(hi(_mm256_extracti128_si256(c, 1)), low(rc));

        // theta applied.
        s.B0 = x4(s.B0, d);
        s.B1 = x4(s.B1, d);
        s.B2 = x4(s.B2, d);
        s.B3 = x4(s.B3, d);
        s.V = x4(s.V, _mm256_broadcastq_epi64(d4));
        s.H = x4(s.H, d);
        s.corner = x1(s.corner, d4);

        // pi and rho: sheet X takes row X's lanes x = X, X + 3, X + 1, X + 4 into its slots
        // y = 0..3, and lane X + 2 goes to plane 4. Lane (4, X) is first blended into the slot
        // of the row lane that goes to plane 4, from Vs, s.V in the order (V3, V2, V0, V1). Sheet
        // 0's offsets are all below 32, so a VPERMQ with its order in the immediate will do.
        const Vec vs = _mm256_permute4x64_epi64(s.V, 0x4B);
        const Vec k0 = rho(_mm256_permute4x64_epi64(_mm256_blend_epi32(s.B0, vs, 0x30), 0x9C), 0);
        const Vec k1 = rho(pi(_mm256_blend_epi32(s.B1, vs, 0xC0), 1), 1);
        const Vec k2 = rho(pi(s.B2, 2), 2);
        const Vec k3 = rho(pi(_mm256_blend_epi32(s.B3, vs, 0x03), 3), 3);
        const Vec k4 =
            rho(pi(_mm256_blend_epi32(s.H, _mm256_broadcastq_epi64(s.corner), 0x0C), 4), 4);
        // Plane 4: (s.B0[2], s.B1[3], s.V[2], s.B3[0]), blended as (s.B3[0], s.V[2], s.B0[2],
        // s.B1[3]).
        const Vec p = rho(pi(_mm256_blend_epi32(_mm256_blend_epi32(s.B3, vs, 0x0C),
                                                _mm256_blend_epi32(s.B0, s.B1, 0xC0), 0xF0),
                             5),
                          5);
        const Lane p4 = rotl<2>(hi(low(s.H)));

        // chi on the sheets, four planes at once; iota into lane (0, 0).
        const Vec e0 = x4(chi(k0, k1, k2), load(tables.iota[round]));
        const Vec e1 = chi(k1, k2, k3);
        const Vec e2 = chi(k2, k3, k4);
        const Vec e3 = chi(k3, k4, k0);
        s.V = chi(k4, k0, k1);
        // chi on plane 4: P against (P1, P2, P3, P4) and (P2, P3, P4, P0).
        const Vec p1 = _mm256_alignr_epi8(
            _mm256_permute2x128_si256(p, _mm256_castsi128_si256(p4), 0x21), p, 8);
        const Vec p2 = _mm256_permute2x128_si256(
            p, _mm256_castsi128_si256(_mm_unpacklo_epi64(p4, low(p))), 0x21);
        s.H = chi(p, p1, p2);
        s.corner = x1(p4, _mm_andnot_si128(low(p), hi(low(p))));

        // Back to rows: the 4x4 transpose of sheets 0..3.
        const Vec t0 = _mm256_unpacklo_epi64(e0, e1), t1 = _mm256_unpackhi_epi64(e0, e1);
        const Vec t2 = _mm256_unpacklo_epi64(e2, e3), t3 = _mm256_unpackhi_epi64(e2, e3);
        s.B0 = _mm256_permute2x128_si256(t0, t2, 0x20);
        s.B1 = _mm256_permute2x128_si256(t1, t3, 0x20);
        s.B2 = _mm256_permute2x128_si256(t0, t2, 0x31);
        s.B3 = _mm256_permute2x128_si256(t1, t3, 0x31);
    }
}

// Lanes i..i+3 of a block of `rate` lanes (zeros past the rate) and lane i alone.
template <uint32_t rate> [[gnu::always_inline]] inline Vec block_row(const uint64_t* block, int i)
{
    if (i + 4 <= int(rate))
        return row_at(block, i);
    if (i >= int(rate))
        return _mm256_setzero_si256();
    const int n = int(rate) - i;
    return _mm256_maskload_epi64(reinterpret_cast<const long long*>(block + i),
                                 _mm256_setr_epi64x(-1, n > 1 ? -1 : 0, n > 2 ? -1 : 0, 0));
}

template <uint32_t rate> [[gnu::always_inline]] inline Lane block_lane(const uint64_t* block, int i)
{
    return i < int(rate) ? lane_at(block, i) : _mm_setzero_si128();
}

// The sponge's absorbing for a rate of `rate` lanes, the state kept in registers from block to
// block; each block is copied to `buffer` on its way, as the block engine copies every block.
// Not inlined: each rate's permutation is then allocated on its own, which measured faster.
template <uint32_t rate>
[[gnu::noinline]] void absorb(uint64_t lanes[25], uint8_t* buffer, const uint8_t* data,
                              uint32_t blocks)
{
    State s = load_state(lanes);
    for (; blocks > 0; --blocks, data += 8 * rate) {
        std::memcpy(buffer, data, 8 * rate);
        const uint64_t* block = reinterpret_cast<const uint64_t*>(data);
        s.B0 = x4(s.B0, block_row<rate>(block, 0));
        s.B1 = x4(s.B1, block_row<rate>(block, 5));
        s.B2 = x4(s.B2, block_row<rate>(block, 10));
        s.B3 = x4(s.B3, block_row<rate>(block, 15));
        s.H = x4(s.H, block_row<rate>(block, 20));
        s.V = x4(s.V,
                 _mm256_setr_m128i(
                     _mm_unpacklo_epi64(block_lane<rate>(block, 4), block_lane<rate>(block, 9)),
                     _mm_unpacklo_epi64(block_lane<rate>(block, 14), block_lane<rate>(block, 19))));
        permute(s);
    }
    store_state(s, lanes);
}

} // namespace

void keccak_f1600_avx2(uint64_t lanes[25])
{
    State s = load_state(lanes);
    permute(s);
    store_state(s, lanes);
}

void keccak_absorb_avx2(uint64_t lanes[25], uint8_t* buffer, const uint8_t* data, uint32_t blocks,
                        uint32_t rate_bytes)
{
    switch (rate_bytes) {
    case 144:
        return absorb<18>(lanes, buffer, data, blocks);
    case 136:
        return absorb<17>(lanes, buffer, data, blocks);
    case 72:
        return absorb<9>(lanes, buffer, data, blocks);
    }
}
