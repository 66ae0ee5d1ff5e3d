// MD5, RFC 1321: 64-byte blocks, little-endian words, little-endian length and digest.
#pragma once

#include "digest/block_hash.h"

class Md5 : public BlockHash {
public:
    Md5();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

private:
    uint32_t state_words_[4]; // A, B, C, D
    uint8_t block_[64];
};
