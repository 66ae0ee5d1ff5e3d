// SHA3-224, SHA3-256, SHA3-384 and SHA3-512 of FIPS 202: the sponge on Keccak-p[1600, 24] with
// the SHA-3 domain suffix 01 and pad10*1, capacity twice the digest length.
//
// The sponge runs on the block engine: the 200-byte Keccak state is BlockHash's state, the rate
// r = 200 - 2d is its block size and absorbing one block is transform, so buffering, the byte
// counter and pad_to are the shared ones. state_size_ holds the digest size d, not 200, which
// is why reset clears the whole state itself.
//
// This is SHA-3, not the Keccak submission (suffix 01 instead of none): Keccak-256 digests
// differ from SHA3-256 ones for every message.
//
// The constructor picks the permutation once from cpu_features(): an accelerated variant
// (sha3_variants.h) where the processor has what it needs, else keccak_f1600; both give the
// same lanes, and the object keeps its choice until it is destroyed.
#pragma once

#include "digest/block_hash.h"

class Sha3 : public BlockHash {
public:
    // digest_size in bytes, below 100 so that the rate is positive (the catalogue uses 28, 32,
    // 48, 64). The object is ready for update.
    explicit Sha3(uint32_t digest_size);
    void reset() override;
    void finish() override;
    // Squeezes digest_size bytes from a copy of the state; the object does not change.
    void get_digest(uint8_t* out) override;
    void transform() override;
    // Whole blocks through the variant's absorbing where there is one (the state stays in
    // registers from block to block), else block by block.
    void transform_blocks(const uint8_t* data, uint32_t blocks) override;

    // Keccak-f[1600] (Keccak-p[1600, 24]) on 25 lanes, lane (x, y) at x + 5y, in place.
    static void keccak_f1600(uint64_t lanes[25]);

private:
    uint64_t lanes_[25];  // byte i of the FIPS 202 state is byte i % 8 of lane i / 8
    uint8_t block_[200];  // only the first block_size_ bytes (the rate) are used
    uint32_t lane_count_; // lanes per block
    void (*permute_)(uint64_t lanes[25]); // keccak_f1600 or a variant of it
    void (*absorb_)(uint64_t lanes[25], uint8_t* buffer, const uint8_t* data, uint32_t blocks,
                    uint32_t rate_bytes); // a variant's absorbing, or null
};

// The four catalogue entries: nothing but the fixed digest size.
class Sha3_224 : public Sha3 {
public:
    Sha3_224() : Sha3(28) {}
};

class Sha3_256 : public Sha3 {
public:
    Sha3_256() : Sha3(32) {}
};

class Sha3_384 : public Sha3 {
public:
    Sha3_384() : Sha3(48) {}
};

class Sha3_512 : public Sha3 {
public:
    Sha3_512() : Sha3(64) {}
};
