// Whirlpool, final version of ISO/IEC 10118-3 (512-bit digest, 10 rounds, the S-box that
// begins 18 23 C6 E8): 64-byte blocks, a zero initial value, Miyaguchi-Preneel over the block
// cipher W, padding to 256 bits modulo 512 followed by the 256-bit big-endian bit length.
//
// The chaining value is 8 rows of the 8x8 byte matrix, each row a 64-bit number whose most
// significant byte is the row's first byte; the digest writes the rows big-endian, in order.
//
// The constructor picks the compression once from cpu_features(): an accelerated variant
// (whirlpool_variants.h) where the processor has what it needs, else the portable one; both
// give the same chaining values, and the object keeps its choice until it is destroyed.
#pragma once

#include "digest/block_hash.h"

class Whirlpool : public BlockHash {
public:
    Whirlpool();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

private:
    uint64_t chain_[8]; // H, rows 0..7
    uint8_t block_[64];
    void (*compress_)(uint64_t chain[8], const uint8_t* block);
};
