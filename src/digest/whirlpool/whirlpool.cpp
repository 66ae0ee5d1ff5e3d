#include "digest/whirlpool/whirlpool.h"

#include <cstring>

#include "digest/bytes.h"
#include "digest/cpu_features.h"
#include "digest/whirlpool/whirlpool_tables.h"
#include "digest/whirlpool/whirlpool_variants.h"

// The rotated table reads below take the first 4 bytes at an offset as the low half of a
// little-endian 64-bit value, which only a little-endian machine gives.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "WhirlpoolTable is read as little-endian 32-bit halves"
#endif

namespace {

// One row of the 8x8 state matrix as two 32-bit halves: hi holds bytes 0..3 of the row (the
// most significant), lo bytes 4..7. The 32-bit build then needs no 64-bit shifts at all.
struct Row {
    uint32_t hi;
    uint32_t lo;
};

// acc ^= C_t[x]: 8 bytes at offset t of entry x, an unaligned read, hence memcpy.
inline void xor_lookup(Row& acc, unsigned t, uint32_t x)
{
    uint32_t half[2];
    std::memcpy(half, &WhirlpoolTable[x][t], sizeof half);
    acc.lo ^= half[0];
    acc.hi ^= half[1];
}

// Row i of the round function without its key: the XOR over t = 0..7 of C_t applied to byte t
// of row (i - t) mod 8 (byte 0 the most significant). This is the S-box layer, the cyclic
// permutation and the linear diffusion layer of the standard in one pass.
inline Row whirlpool_row(const Row a[8], unsigned i)
{
    Row r = {0, 0};
    xor_lookup(r, 0, a[i].hi >> 24);
    xor_lookup(r, 1, a[(i - 1) & 7].hi >> 16 & 0xFF);
    xor_lookup(r, 2, a[(i - 2) & 7].hi >> 8 & 0xFF);
    xor_lookup(r, 3, a[(i - 3) & 7].hi & 0xFF);
    xor_lookup(r, 4, a[(i - 4) & 7].lo >> 24);
    xor_lookup(r, 5, a[(i - 5) & 7].lo >> 16 & 0xFF);
    xor_lookup(r, 6, a[(i - 6) & 7].lo >> 8 & 0xFF);
    xor_lookup(r, 7, a[(i - 7) & 7].lo & 0xFF);
    return r;
}

// Key schedule step K' = rho[RC_r](K): the round constant is the only non-zero row of its key.
inline void next_key(const Row k[8], uint64_t constant, Row out[8])
{
    for (unsigned i = 0; i < 8; ++i)
        out[i] = whirlpool_row(k, i);
    out[0].hi ^= uint32_t(constant >> 32);
    out[0].lo ^= uint32_t(constant);
}

// Cipher round S' = rho[K](S).
inline void next_state(const Row s[8], const Row k[8], Row out[8])
{
    for (unsigned i = 0; i < 8; ++i) {
        const Row r = whirlpool_row(s, i);
        out[i] = {r.hi ^ k[i].hi, r.lo ^ k[i].lo};
    }
}

} // namespace

WhirlpoolCompression whirlpool_compression_for(uint32_t features)
{
#if defined(__x86_64__)
    if (features & cpu_sse2)
        return whirlpool_compress_x64;
#elif defined(__i386__)
    if (features & cpu_sse2)
        return whirlpool_compress_mmx;
#endif
    (void)features;
    return whirlpool_compress_portable;
}

Whirlpool::Whirlpool()
    : BlockHash(chain_, sizeof chain_, block_, sizeof block_),
      compress_(whirlpool_compression_for(cpu_features()))
{
    reset_state(nullptr);
}

void Whirlpool::reset() { reset_state(nullptr); }

// The shared four steps with a 256-bit big-endian length ending the block at 32 + 32 bytes.
void Whirlpool::finish()
{
    uint8_t length[32];
    bit_length_be256(length);
    finish_padded(32, length, sizeof length);
}

void Whirlpool::get_digest(uint8_t* out) { write_be64_words(out, 64); }

void Whirlpool::transform() { compress_(chain_, buffer_); }

// Miyaguchi-Preneel: H := H ^ m ^ W_H(m). Two rounds per pass, ping-ponging between two
// key/state pairs so no array is copied between rounds.
void whirlpool_compress_portable(uint64_t chain[8], const uint8_t* block)
{
    Row key[8], state[8], key2[8], state2[8];
    for (unsigned i = 0; i < 8; ++i) {
        const Row m = {load_be32(block + 8 * i), load_be32(block + 8 * i + 4)};
        key[i] = {uint32_t(chain[i] >> 32), uint32_t(chain[i])};
        state[i] = {m.hi ^ key[i].hi, m.lo ^ key[i].lo};
        chain[i] ^= uint64_t(m.hi) << 32 | m.lo;
    }
    for (unsigned r = 0; r < 10; r += 2) {
        next_key(key, WhirlpoolRoundConstants[r], key2);
        next_state(state, key2, state2);
        next_key(key2, WhirlpoolRoundConstants[r + 1], key);
        next_state(state2, key, state);
    }
    for (unsigned i = 0; i < 8; ++i)
        chain[i] ^= uint64_t(state[i].hi) << 32 | state[i].lo;
}
