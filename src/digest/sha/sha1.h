// SHA-1, FIPS 180-4 section 6.1: 64-byte blocks, big-endian words, big-endian length and digest.
//
// transform and transform_blocks run the SHA extensions' blocks function when the constructor
// found them (sha_variants.h), the portable compression otherwise.
#pragma once

#include "digest/block_hash.h"
#include "digest/sha/sha_variants.h"

class Sha1 : public BlockHash {
public:
    Sha1();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;
    void transform_blocks(const uint8_t* data, uint32_t blocks) override;

private:
    uint32_t state_words_[5]; // H0 .. H4
    uint8_t block_[64];
    Sha1BlocksFunction blocks_function_; // null: the portable compression
};
