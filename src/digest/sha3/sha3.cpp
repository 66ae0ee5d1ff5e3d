#include "digest/sha3/sha3.h"

#include <cstring>

#include "digest/bytes.h"
#include "digest/cpu_features.h"
#include "digest/fastest_variant.h"
#include "digest/sha3/sha3_variants.h"

namespace {

// x - 1 and x + 1 modulo 5, for the column parities of theta.
const uint8_t minus_one[5] = {4, 0, 1, 2, 3};
const uint8_t plus_one[5] = {1, 2, 3, 4, 0};

// FIPS 202 section 3.2.2 (rho): rotation offset of lane x + 5y.
const uint8_t rho_offset[25] = {
    0, 1, 62, 28, 27, 36, 44, 6, 55, 20, 3, 10, 43, 25, 39, 41, 45, 15, 21, 8, 18, 2, 61, 56, 14,
};

// FIPS 202 section 3.2.3 (pi): lane (x, y) moves to (y, 2x + 3y mod 5).
const uint8_t pi_destination[25] = {
    0, 10, 20, 5, 15, 16, 1, 11, 21, 6, 7, 17, 2, 12, 22, 23, 8, 18, 3, 13, 14, 24, 9, 19, 4,
};

// FIPS 202 section 3.2.5 (iota): RC for rounds 0 to 23.
const uint64_t round_constants[24] = {
    0x0000000000000001, 0x0000000000008082, 0x800000000000808A, 0x8000000080008000,
    0x000000000000808B, 0x0000000080000001, 0x8000000080008081, 0x8000000000008009,
    0x000000000000008A, 0x0000000000000088, 0x0000000080008009, 0x000000008000000A,
    0x000000008000808B, 0x800000000000008B, 0x8000000000008089, 0x8000000000008003,
    0x8000000000008002, 0x8000000000000080, 0x000000000000800A, 0x800000008000000A,
    0x8000000080008081, 0x8000000000008080, 0x0000000080000001, 0x8000000080008008,
};

// FIPS 202 section 6.1: the SHA-3 suffix 01 followed by pad10*1, as bytes (bits are taken
// least significant first). 0x86 is suffix and both padding bits in the one byte left.
const uint8_t suffix_byte = 0x06;
const uint8_t final_byte = 0x80;
const uint8_t suffix_and_final_byte = 0x86;

} // namespace

bool keccak_permutation_agrees(KeccakPermutation reference, KeccakPermutation candidate)
{
    uint64_t expected[25], got[25];
    for (int i = 0; i < 25; ++i)
        expected[i] = got[i] = 0x9E3779B97F4A7C15ull * uint64_t(i + 1);
    for (int round = 0; round < 3; ++round) {
        reference(expected);
        candidate(got);
    }
    return std::memcmp(expected, got, sizeof got) == 0;
}

namespace {

#if defined(__i386__)
void keccak_trial(KeccakPermutation permute)
{
    uint64_t lanes[25] = {1};
    for (int i = 0; i < 8; ++i)
        permute(lanes);
}

// The AVX2 variant, or the AVX-512 one where that is faster here; either only when it agrees
// with the portable permutation.
KeccakPermutation pick_keccak(uint32_t features)
{
    static FastestVariantCache<KeccakPermutation> cache;
    return cache.get(features, [features] {
        KeccakPermutation candidates[2];
        size_t n = 0;
        if (features & cpu_avx2)
            candidates[n++] = keccak_f1600_avx2;
        if ((features & (cpu_avx2 | cpu_avx512)) == (cpu_avx2 | cpu_avx512))
            candidates[n++] = keccak_f1600_avx512;
        return fastest_agreeing_variant(
            KeccakPermutation(Sha3::keccak_f1600), candidates, n, keccak_trial,
            keccak_permutation_agrees,
            (features & cpu_sse2) ? keccak_f1600_sse2 : KeccakPermutation(Sha3::keccak_f1600));
    });
}
#endif

} // namespace

KeccakPermutation keccak_permutation_for(uint32_t features)
{
#if defined(__x86_64__)
    if (features & cpu_bmi1)
        return keccak_f1600_bmi;
    if (features & cpu_sse2)
        return keccak_f1600_x64;
#elif defined(__i386__)
    if (features & cpu_avx2)
        return pick_keccak(features);
    if (features & cpu_sse2)
        return keccak_f1600_sse2;
#endif
    (void)features;
    return Sha3::keccak_f1600;
}

KeccakAbsorb keccak_absorb_for(uint32_t features, uint32_t rate_bytes)
{
#if defined(__i386__)
    // SHA3-384's rate (104 bytes) is left to the block-by-block path: with the state kept in
    // registers it measured 5 % slower on Zen 2 (189 against 199 MB/s), the others 2-6 % faster.
    // Only with the AVX2 permutation: it shares that variant's rounds.
    if ((features & cpu_avx2) && keccak_permutation_for(features) == keccak_f1600_avx2 &&
        (rate_bytes == 144 || rate_bytes == 136 || rate_bytes == 72))
        return keccak_absorb_avx2;
#endif
    (void)features;
    (void)rate_bytes;
    return nullptr;
}

Sha3::Sha3(uint32_t digest_size)
    : BlockHash(lanes_, digest_size, block_, 200 - 2 * digest_size),
      lane_count_((200 - 2 * digest_size + 7) / 8),
      permute_(keccak_permutation_for(cpu_features())),
      absorb_(keccak_absorb_for(cpu_features(), 200 - 2 * digest_size))
{
    reset_state(nullptr);
    std::memset(lanes_, 0, sizeof lanes_);
    std::memset(block_, 0, sizeof block_);
}

void Sha3::reset()
{
    reset_state(nullptr);
    std::memset(lanes_, 0, sizeof lanes_);
    std::memset(block_, 0, sizeof block_);
}

// Absorbs the full block: the rate bytes XORed into the state, then the permutation.
void Sha3::transform()
{
    for (uint32_t i = 0; i < lane_count_; ++i)
        lanes_[i] ^= load_le64(buffer_ + 8 * i);
    permute_(lanes_);
}

void Sha3::transform_blocks(const uint8_t* data, uint32_t blocks)
{
    if (absorb_)
        absorb_(lanes_, block_, data, blocks, block_size_);
    else
        BlockHash::transform_blocks(data, blocks);
}

// Whatever the buffer holds (always below the rate), the last update fills the block exactly,
// so the final block is absorbed by the shared update.
void Sha3::finish()
{
    if (buffered_ + 1 == block_size_) {
        update(&suffix_and_final_byte, 1);
        return;
    }
    update(&suffix_byte, 1);
    pad_to(block_size_ - 1);
    update(&final_byte, 1);
}

// FIPS 202 section 4, steps 7 to 10: rate-sized pieces of the state, permuting between them.
void Sha3::get_digest(uint8_t* out)
{
    uint64_t work[25];
    std::memcpy(work, lanes_, sizeof work);
    uint32_t remaining = state_size_;
    for (;;) {
        const uint32_t n = remaining < block_size_ ? remaining : block_size_;
        for (uint32_t i = 0; i < n; ++i)
            out[i] = uint8_t(work[i / 8] >> (8 * (i % 8)));
        if (n == remaining)
            return;
        permute_(work);
        out += n;
        remaining -= n;
    }
}

// FIPS 202 sections 3.2 and 3.3: 24 rounds of theta, rho and pi, chi, iota.
// clang-format off
void Sha3::keccak_f1600(uint64_t a[25])
{
    uint64_t b[25];
    for (int round = 0; round < 24; ++round) {
        uint64_t c[5], d[5];
        c[0] = a[0] ^ a[5] ^ a[10] ^ a[15] ^ a[20];
        c[1] = a[1] ^ a[6] ^ a[11] ^ a[16] ^ a[21];
        c[2] = a[2] ^ a[7] ^ a[12] ^ a[17] ^ a[22];
        c[3] = a[3] ^ a[8] ^ a[13] ^ a[18] ^ a[23];
        c[4] = a[4] ^ a[9] ^ a[14] ^ a[19] ^ a[24];
        for (int x = 0; x < 5; ++x)
            d[x] = c[minus_one[x]] ^ rotl64(c[plus_one[x]], 1);
        a[0]  ^= d[0]; a[1]  ^= d[1]; a[2]  ^= d[2]; a[3]  ^= d[3]; a[4]  ^= d[4];
        a[5]  ^= d[0]; a[6]  ^= d[1]; a[7]  ^= d[2]; a[8]  ^= d[3]; a[9]  ^= d[4];
        a[10] ^= d[0]; a[11] ^= d[1]; a[12] ^= d[2]; a[13] ^= d[3]; a[14] ^= d[4];
        a[15] ^= d[0]; a[16] ^= d[1]; a[17] ^= d[2]; a[18] ^= d[3]; a[19] ^= d[4];
        a[20] ^= d[0]; a[21] ^= d[1]; a[22] ^= d[2]; a[23] ^= d[3]; a[24] ^= d[4];

        for (int i = 0; i < 25; ++i)
            b[pi_destination[i]] = rotl64(a[i], rho_offset[i]);

        a[0]  = b[0]  ^ (~b[1]  & b[2]);  a[1]  = b[1]  ^ (~b[2]  & b[3]);
        a[2]  = b[2]  ^ (~b[3]  & b[4]);  a[3]  = b[3]  ^ (~b[4]  & b[0]);
        a[4]  = b[4]  ^ (~b[0]  & b[1]);
        a[5]  = b[5]  ^ (~b[6]  & b[7]);  a[6]  = b[6]  ^ (~b[7]  & b[8]);
        a[7]  = b[7]  ^ (~b[8]  & b[9]);  a[8]  = b[8]  ^ (~b[9]  & b[5]);
        a[9]  = b[9]  ^ (~b[5]  & b[6]);
        a[10] = b[10] ^ (~b[11] & b[12]); a[11] = b[11] ^ (~b[12] & b[13]);
        a[12] = b[12] ^ (~b[13] & b[14]); a[13] = b[13] ^ (~b[14] & b[10]);
        a[14] = b[14] ^ (~b[10] & b[11]);
        a[15] = b[15] ^ (~b[16] & b[17]); a[16] = b[16] ^ (~b[17] & b[18]);
        a[17] = b[17] ^ (~b[18] & b[19]); a[18] = b[18] ^ (~b[19] & b[15]);
        a[19] = b[19] ^ (~b[15] & b[16]);
        a[20] = b[20] ^ (~b[21] & b[22]); a[21] = b[21] ^ (~b[22] & b[23]);
        a[22] = b[22] ^ (~b[23] & b[24]); a[23] = b[23] ^ (~b[24] & b[20]);
        a[24] = b[24] ^ (~b[20] & b[21]);

        a[0] ^= round_constants[round];
    }
}
// clang-format on
