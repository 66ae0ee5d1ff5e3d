#include "digest/sha/sha1.h"

#include "digest/bytes.h"
#include "digest/cpu_features.h"

namespace {

// FIPS 180-4 section 5.3.1.
const uint32_t sha1_initial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

Sha1BlocksFunction sha1_blocks_function()
{
    const uint32_t shani = cpu_sha | cpu_ssse3 | cpu_sse41;
    return (cpu_features() & shani) == shani ? sha1_blocks_shani : nullptr;
}

} // namespace

Sha1::Sha1()
    : BlockHash(state_words_, sizeof state_words_, block_, sizeof block_),
      blocks_function_(sha1_blocks_function())
{
    reset_state(sha1_initial);
}

void Sha1::reset() { reset_state(sha1_initial); }

void Sha1::finish() { finish_be64(); }

void Sha1::get_digest(uint8_t* out) { write_be32_words(out, 20); }

// FIPS 180-4 section 6.1.2: the 80-word schedule first, then four groups of twenty rounds.
void Sha1::transform_blocks(const uint8_t* data, uint32_t blocks)
{
    if (blocks_function_)
        blocks_function_(state_words_, buffer_, data, blocks);
    else
        BlockHash::transform_blocks(data, blocks);
}

void Sha1::transform()
{
    if (blocks_function_) {
        blocks_function_(state_words_, buffer_, buffer_, 1);
        return;
    }
    uint32_t w[80];
    for (int t = 0; t < 16; ++t)
        w[t] = load_be32(buffer_ + 4 * t);
    for (int t = 16; t < 80; t += 4) {
        w[t] = rotl32(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
        w[t + 1] = rotl32(w[t - 2] ^ w[t - 7] ^ w[t - 13] ^ w[t - 15], 1);
        w[t + 2] = rotl32(w[t - 1] ^ w[t - 6] ^ w[t - 12] ^ w[t - 14], 1);
        w[t + 3] = rotl32(w[t] ^ w[t - 5] ^ w[t - 11] ^ w[t - 13], 1);
    }

    // v = a, b, c, d, e
    uint32_t v[5] = {state_words_[0], state_words_[1], state_words_[2], state_words_[3],
                     state_words_[4]};
    auto round = [&v](uint32_t f, uint32_t k, uint32_t wt) {
        const uint32_t temp = rotl32(v[0], 5) + f + v[4] + k + wt;
        v[4] = v[3];
        v[3] = v[2];
        v[2] = rotl32(v[1], 30);
        v[1] = v[0];
        v[0] = temp;
    };
    for (int t = 0; t < 20; ++t)
        round(v[3] ^ (v[1] & (v[2] ^ v[3])), 0x5A827999, w[t]);
    for (int t = 20; t < 40; ++t)
        round(v[1] ^ v[2] ^ v[3], 0x6ED9EBA1, w[t]);
    for (int t = 40; t < 60; ++t)
        round((v[1] & v[2]) | (v[3] & (v[1] | v[2])), 0x8F1BBCDC, w[t]);
    for (int t = 60; t < 80; ++t)
        round(v[1] ^ v[2] ^ v[3], 0xCA62C1D6, w[t]);

    for (int j = 0; j < 5; ++j)
        state_words_[j] += v[j];
}
