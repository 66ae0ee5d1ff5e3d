// SM3, GB/T 32905-2016 (also ISO/IEC 10118-3): 64-byte blocks, big-endian words, the big-endian
// 64-bit length field and a 32-byte digest, all through the shared block engine; SM3 adds its
// initial value and its compression function.
//
// The constructor picks the compression once from cpu_features(): the unrolled one of
// sm3_variants.h, or the portable one when the features are limited to none (the test switch);
// both give the same chaining values.
#pragma once

#include "digest/block_hash.h"

class Sm3 : public BlockHash {
public:
    Sm3();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

private:
    uint32_t chain_[8]; // the chaining value V: A .. H
    uint8_t block_[64];
    void (*compress_)(uint32_t v[8], const uint8_t* block);
};
