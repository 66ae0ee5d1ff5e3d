// SHA-384/512 blocks function for 32-bit x86 with AVX2. With only eight vector registers and no
// 64-bit general registers, the rounds keep the eight working words as four pairs in four XMM
// registers, (e,a), (f,b), (g,c) and (h,d). After a round every pair just moves one place on
// ((f,b) takes the old (e,a), and so on), so a round computes one new pair: (e,a) from
// T1 and T2, each in its own lane.
//
// The message schedule runs two blocks at once, one block in each 128-bit half of a YMM
// register (the in-lane shuffles and shifts of AVX2 keep the two apart), and stores W[t] + K[t]
// of each block for the rounds. The rounds of a pair of blocks leave most of the processor's
// issue slots idle (each round waits on the one before), so the schedule of the next pair is
// done in small steps between them: one step (two words of each block) every five rounds,
// sixteen steps over the eighty rounds, which the processor runs out of order beside them.
//
// The rounds and the steps are written in assembly: the compiler, with eight vector registers,
// kept spilling the new pair to the stack and loading it back at once, which put a store and a
// load on the rounds' longest path. Here the four pairs stay in four registers and every
// temporary lives in the other four.
#include <immintrin.h>

#include <cstring>

#include "digest/sha/sha_variants.h"

#if !defined(__x86_64__)

namespace {

// The constants the assembly reads from memory.
// Rotation right by 2 bytes in the low lane (e, for 18 = 16 + 2) and 4 in the high (a, 34 =
// 32 + 2).
alignas(16) const uint8_t bytes_2_4[16] = {2, 3, 4, 5, 6, 7, 0, 1, 12, 13, 14, 15, 8, 9, 10, 11};
// Multipliers, low lane first: left 50 and 36 as 32 more than 18 and 4; left 23 and 25.
alignas(16) const uint64_t left_50_36[2] = {1ULL << (50 - 32), 1ULL << (36 - 32)};
alignas(16) const uint64_t left_23_25[2] = {1ULL << 23, 1ULL << 25};
// Rotation of every word right by one byte, for the small sigma0.
alignas(32) const uint8_t rotr8[32] = {1, 2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 12, 13, 14, 15, 8,
                                       1, 2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 12, 13, 14, 15, 8};

// One round, the pairs (e,a) (f,b) (g,c) (h,d) in the operands A, B, C and D; the new (e,a)
// replaces (h,d), W + K of the round at OFF bytes from %[wk]. Temporaries t0..t3.
//
// Sigma1(e) in the low lane and Sigma0(a) in the high lane of (e,a): e rotated right by 14, 18
// and 41, a by 28, 34 and 39, so each rotation has a count of its own per lane. Immediate
// shifts run on one unit, one a cycle, and AVX2's shifts by a count per lane take two cycles
// each, so the rotations go to different units:
// - (18 | 34) is a byte rotation (VPSHUFB, by 2 and by 4 bytes) and then 2 bits, the same in
//   both lanes, with immediate shifts;
// - (14 | 28) and (41 | 39) with the multiplier. VPMULUDQ of the low half `lo` of a word by 2^s
//   gives lo rotated left by s across the two halves; with the halves of x swapped, the same
//   product of the high half, swapped back, fills in the rest: for s < 32,
//   rotl(x, s) = mul(x, 2^s) ^ swap(mul(swap(x), 2^s)), and for s >= 32 the same with x and
//   swap(x) exchanged and s - 32. Right by 14 and 28 is left by 50 and 36, right by 41 and 39
//   left by 23 and 25, so the two products to swap back are XORed first and swapped once. The
//   multiplier takes one product a cycle: the two to be swapped back start first, their swap
//   then overlapping the other two.
//
// Ch(e,f,g) = (e & (f^g)) ^ g and Maj(a,b,c) = (a & (b^c)) ^ (b & c): one AND of (e,a) with
// (f^g, b^c), XORed with (g, b&c), gives (Ch, Maj). The new (e,a) is (T1 + d, T1 + T2), that
// is (h + W + K + d, h + W + K) + (Ch, Maj) + (0, Ch) + (Sigma1, Sigma0) + (0, Sigma1). The
// first term needs no word of this round, so (h,d) becomes it first (by VPALIGNR of h + W + K
// next to d), off the path from one round's (e,a) to the next's; then (Ch, Maj) is added, and
// Ch once more to the high lane alone (shifted there by VPSLLDQ); the Sigmas come last, on the
// longest path, added the same way.
#define DRAVIK_SHA512_ROUND(A, B, C, D, OFF)                                                       \
    "vmovq %[" #D "], %x[t0]\n\t"                                                                  \
    "vmovq " #OFF "(%[wk]), %x[t1]\n\t"                                                            \
    "vpaddq %x[t1], %x[t0], %x[t0]\n\t"                                                            \
    "vpalignr $8, %[" #D "], %x[t0], %x[t1]\n\t"                                                   \
    "vpaddq %x[t1], %x[t0], %[" #D "]\n\t"                                                         \
    "vpshufd $0xb1, %[" #A "], %x[t0]\n\t"                                                         \
    "vpmuludq %[l1], %[" #A "], %x[t1]\n\t"                                                        \
    "vpmuludq %[l2], %x[t0], %x[t3]\n\t"                                                           \
    "vpmuludq %[l2], %[" #A "], %x[t2]\n\t"                                                        \
    "vpxor %x[t3], %x[t1], %x[t1]\n\t"                                                             \
    "vpmuludq %[l1], %x[t0], %x[t3]\n\t"                                                           \
    "vpshufb %[b24], %[" #A "], %x[t0]\n\t"                                                        \
    "vpshufd $0xb1, %x[t1], %x[t1]\n\t"                                                            \
    "vpxor %x[t3], %x[t2], %x[t2]\n\t"                                                             \
    "vpsrlq $2, %x[t0], %x[t3]\n\t"                                                                \
    "vpsllq $62, %x[t0], %x[t0]\n\t"                                                               \
    "vpxor %x[t3], %x[t0], %x[t0]\n\t"                                                             \
    "vpxor %x[t1], %x[t0], %x[t0]\n\t"                                                             \
    "vpxor %x[t0], %x[t2], %x[t2]\n\t"                                                             \
    "vpxor %[" #C "], %[" #B "], %x[t0]\n\t"                                                       \
    "vpand %[" #A "], %x[t0], %x[t0]\n\t"                                                          \
    "vpand %[" #C "], %[" #B "], %x[t1]\n\t"                                                       \
    "vpblendd $0xc, %x[t1], %[" #C "], %x[t1]\n\t"                                                 \
    "vpxor %x[t1], %x[t0], %x[t0]\n\t"                                                             \
    "vpaddq %x[t0], %[" #D "], %[" #D "]\n\t"                                                      \
    "vpslldq $8, %x[t0], %x[t0]\n\t"                                                               \
    "vpaddq %x[t0], %[" #D "], %[" #D "]\n\t"                                                      \
    "vpaddq %x[t2], %[" #D "], %[" #D "]\n\t"                                                      \
    "vpslldq $8, %x[t2], %x[t2]\n\t"                                                               \
    "vpaddq %x[t2], %[" #D "], %[" #D "]\n\t"

// One step of the schedule of two blocks: w[i] from w[i-8], w[i-7], w[i-4], w[i-3] and w[i-1],
// w[i] N entries after %[w], where w[i] holds W[2i], W[2i+1] of one block in its low half and
// of the other in its high half. The words 15 and 7 places back straddle two entries (VPALIGNR,
// within each half). w[i] + K (K N entries after %[k]) goes N entries after %[q]. In two parts,
// which the rounds put apart to spread the step's work between them: sigma1(w[i-1]) + w[i-8] +
// the straddled w[i-4], w[i-3] to w[i]; then sigma0 of the straddled w[i-8], w[i-7] added to it
// there.
// sigma1(x) = rotr(x, 19) ^ rotr(x, 61) ^ (x >> 6), sigma0(x) = rotr(x, 1) ^ rotr(x, 8) ^ (x >> 7),
// the rotation by 8 a byte shuffle.
#define DRAVIK_SHA512_SCHEDULE_STEP_1(N)                                                           \
    "vmovdqu 32*" #N "-32(%[w]), %t[t0]\n\t"                                                       \
    "vpsrlq $19, %t[t0], %t[t1]\n\t"                                                               \
    "vpsllq $45, %t[t0], %t[t2]\n\t"                                                               \
    "vpxor %t[t2], %t[t1], %t[t1]\n\t"                                                             \
    "vpsrlq $61, %t[t0], %t[t2]\n\t"                                                               \
    "vpxor %t[t2], %t[t1], %t[t1]\n\t"                                                             \
    "vpsllq $3, %t[t0], %t[t2]\n\t"                                                                \
    "vpxor %t[t2], %t[t1], %t[t1]\n\t"                                                             \
    "vpsrlq $6, %t[t0], %t[t0]\n\t"                                                                \
    "vpxor %t[t0], %t[t1], %t[t1]\n\t"                                                             \
    "vpaddq 32*" #N "-256(%[w]), %t[t1], %t[t1]\n\t"                                               \
    "vmovdqu 32*" #N "-96(%[w]), %t[t2]\n\t"                                                       \
    "vpalignr $8, 32*" #N "-128(%[w]), %t[t2], %t[t2]\n\t"                                         \
    "vpaddq %t[t2], %t[t1], %t[t1]\n\t"                                                            \
    "vmovdqu %t[t1], 32*" #N "(%[w])\n\t"
#define DRAVIK_SHA512_SCHEDULE_STEP_2(N)                                                           \
    "vmovdqu 32*" #N "-224(%[w]), %t[t2]\n\t"                                                      \
    "vpalignr $8, 32*" #N "-256(%[w]), %t[t2], %t[t2]\n\t"                                         \
    "vpsrlq $1, %t[t2], %t[t3]\n\t"                                                                \
    "vpsllq $63, %t[t2], %t[t0]\n\t"                                                               \
    "vpxor %t[t0], %t[t3], %t[t3]\n\t"                                                             \
    "vpsrlq $7, %t[t2], %t[t0]\n\t"                                                                \
    "vpxor %t[t0], %t[t3], %t[t3]\n\t"                                                             \
    "vpshufb %[r8], %t[t2], %t[t2]\n\t"                                                            \
    "vpxor %t[t2], %t[t3], %t[t3]\n\t"                                                             \
    "vpaddq 32*" #N "(%[w]), %t[t3], %t[t1]\n\t"                                                   \
    "vmovdqu %t[t1], 32*" #N "(%[w])\n\t"                                                          \
    "vbroadcasti128 16*" #N "(%[k]), %t[t0]\n\t"                                                   \
    "vpaddq %t[t0], %t[t1], %t[t1]\n\t"                                                            \
    "vmovdqu %t[t1], 32*" #N "(%[q])\n\t"
#define DRAVIK_SHA512_SCHEDULE_STEP                                                                \
    DRAVIK_SHA512_SCHEDULE_STEP_1(0) DRAVIK_SHA512_SCHEDULE_STEP_2(0)

// Four rounds bring the pairs back to the registers they started in. W + K of rounds t and
// t + 1 of a block are 8 bytes apart, and the next two 32 bytes on (see sha512_blocks_avx2_x86).
#define DRAVIK_SHA512_ROUND_0(OFF) DRAVIK_SHA512_ROUND(v0, v1, v2, v3, OFF)
#define DRAVIK_SHA512_ROUND_1(OFF) DRAVIK_SHA512_ROUND(v3, v0, v1, v2, OFF)
#define DRAVIK_SHA512_ROUND_2(OFF) DRAVIK_SHA512_ROUND(v2, v3, v0, v1, OFF)
#define DRAVIK_SHA512_ROUND_3(OFF) DRAVIK_SHA512_ROUND(v1, v2, v3, v0, OFF)

// Twenty rounds with four steps of the schedule, one every five rounds (its two parts two
// rounds apart). Round t of the twenty reads W + K at 32 (t / 2) + 8 (t % 2) bytes.
// clang-format off
#define DRAVIK_SHA512_20_ROUNDS_4_STEPS \
    DRAVIK_SHA512_ROUND_0(0) DRAVIK_SHA512_SCHEDULE_STEP_1(0) DRAVIK_SHA512_ROUND_1(8)      \
    DRAVIK_SHA512_ROUND_2(32) DRAVIK_SHA512_SCHEDULE_STEP_2(0) DRAVIK_SHA512_ROUND_3(40)    \
    DRAVIK_SHA512_ROUND_0(64) DRAVIK_SHA512_ROUND_1(72) DRAVIK_SHA512_SCHEDULE_STEP_1(1)    \
    DRAVIK_SHA512_ROUND_2(96) DRAVIK_SHA512_ROUND_3(104) DRAVIK_SHA512_SCHEDULE_STEP_2(1)   \
    DRAVIK_SHA512_ROUND_0(128) DRAVIK_SHA512_ROUND_1(136) DRAVIK_SHA512_ROUND_2(160)        \
    DRAVIK_SHA512_SCHEDULE_STEP_1(2) DRAVIK_SHA512_ROUND_3(168) DRAVIK_SHA512_ROUND_0(192)  \
    DRAVIK_SHA512_SCHEDULE_STEP_2(2) DRAVIK_SHA512_ROUND_1(200) DRAVIK_SHA512_ROUND_2(224)  \
    DRAVIK_SHA512_ROUND_3(232) DRAVIK_SHA512_SCHEDULE_STEP_1(3) DRAVIK_SHA512_ROUND_0(256)  \
    DRAVIK_SHA512_ROUND_1(264) DRAVIK_SHA512_SCHEDULE_STEP_2(3) DRAVIK_SHA512_ROUND_2(288)  \
    DRAVIK_SHA512_ROUND_3(296)
// clang-format on

// The schedule of the blocks at a and b: w[0..7] (the blocks' words) and W + K of t = 0..15.
void load_pair(const uint8_t* a, const uint8_t* b, __m256i* w, uint64_t* wk)
{
    const __m256i swap = _mm256_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,
                                         10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    for (int i = 0; i < 8; ++i) {
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * i));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * i));
        const __m256i words =
            _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), swap);
        _mm256_storeu_si256(w + i, words);
        const __m256i sum =
            _mm256_add_epi64(words, _mm256_broadcastsi128_si256(_mm_loadu_si128(
                                        reinterpret_cast<const __m128i*>(sha512_k + 2 * i))));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(wk + 4 * i), sum);
    }
}

// Steps i = first .. last - 1 of the schedule alone.
void schedule_steps(__m256i* w, uint64_t* wk, int first, int last)
{
    __m256i t0, t1, t2, t3;
    for (int i = first; i < last; ++i)
        asm volatile(
            DRAVIK_SHA512_SCHEDULE_STEP
            : [t0] "=&x"(t0), [t1] "=&x"(t1), [t2] "=&x"(t2), [t3] "=&x"(t3)
            : [w] "r"(w + i), [k] "r"(sha512_k + 2 * i), [q] "r"(wk + 4 * i), [r8] "m"(rotr8)
            : "memory");
}

// The 80 rounds of one block (W + K at wk, see sha512_blocks_avx2_x86) on the pairs, then the
// chaining addition. With `w`, steps first .. first + 15 of the next pair's schedule run between
// them, one every five rounds (its W + K to next_wk).
void compress(__m128i* state, const uint64_t* wk, __m256i* w, uint64_t* next_wk, int first)
{
    __m128i v0 = state[0], v1 = state[1], v2 = state[2], v3 = state[3];
    __m256i t0, t1, t2, t3;
    for (int r = 0; r < 80; r += 20) {
        const int i = first + r / 5;
        if (w)
            asm volatile(DRAVIK_SHA512_20_ROUNDS_4_STEPS
                         : [v0] "+x"(v0), [v1] "+x"(v1), [v2] "+x"(v2), [v3] "+x"(v3),
                           [t0] "=&x"(t0), [t1] "=&x"(t1), [t2] "=&x"(t2), [t3] "=&x"(t3)
                         : [wk] "r"(wk + 2 * r), [w] "r"(w + i), [k] "r"(sha512_k + 2 * i),
                           [q] "r"(next_wk + 4 * i), [l1] "m"(left_50_36), [l2] "m"(left_23_25),
                           [b24] "m"(bytes_2_4), [r8] "m"(rotr8)
                         : "memory");
        else
            for (int u = 0; u < 20; u += 4)
                asm volatile(DRAVIK_SHA512_ROUND_0(0) DRAVIK_SHA512_ROUND_1(8)
                                 DRAVIK_SHA512_ROUND_2(32) DRAVIK_SHA512_ROUND_3(40)
                             : [v0] "+x"(v0), [v1] "+x"(v1), [v2] "+x"(v2), [v3] "+x"(v3),
                               [t0] "=&x"(t0), [t1] "=&x"(t1), [t2] "=&x"(t2), [t3] "=&x"(t3)
                             : [wk] "r"(wk + 2 * (r + u)), [l1] "m"(left_50_36),
                               [l2] "m"(left_23_25), [b24] "m"(bytes_2_4)
                             : "memory");
    }
    state[0] = _mm_add_epi64(state[0], v0);
    state[1] = _mm_add_epi64(state[1], v1);
    state[2] = _mm_add_epi64(state[2], v2);
    state[3] = _mm_add_epi64(state[3], v3);
}

} // namespace

void sha512_blocks_avx2_x86(uint64_t* state, uint8_t* buffer, const uint8_t* data, uint32_t blocks)
{
    // The pairs (e,a), (f,b), (g,c), (h,d): word j + 4 low, word j high.
    __m128i pairs[4];
    for (int j = 0; j < 4; ++j)
        pairs[j] =
            _mm_set_epi64x(static_cast<long long>(state[j]), static_cast<long long>(state[j + 4]));
    // W + K of the pair being compressed and of the next, each as the schedule stores it:
    // W[t] + K[t] of the first block at [4 (t / 2) + t % 2], of the second 2 further on. And the
    // next pair's W.
    alignas(32) uint64_t wk[2][160];
    alignas(32) __m256i w[40];
    int current = 0;
    // The last of an odd number of blocks is scheduled beside itself.
    if (blocks > 0) {
        load_pair(data, blocks >= 2 ? data + 128 : data, w, wk[0]);
        schedule_steps(w, wk[0], 8, 40);
    }
    while (blocks > 0) {
        const uint32_t count = blocks >= 2 ? 2 : 1;
        const uint32_t rest = blocks - count;
        const uint8_t* next = data + 128 * count;
        uint64_t* next_wk = wk[current ^ 1];
        if (rest > 0)
            load_pair(next, rest >= 2 ? next + 128 : next, w, next_wk);
        for (uint32_t b = 0; b < count; ++b) {
            std::memcpy(buffer, data + 128 * b, 128);
            compress(pairs, wk[current] + 2 * b, rest > 0 ? w : nullptr, next_wk, 8 + 16 * b);
        }
        blocks = rest;
        data = next;
        current ^= 1;
    }
    for (int j = 0; j < 4; ++j) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(state + j + 4), pairs[j]);
        _mm_storeh_pd(reinterpret_cast<double*>(state + j), _mm_castsi128_pd(pairs[j]));
    }
}

#endif
