// BLAKE, the final-round SHA-3 candidate (the designers' document, version 1.3), with the salt
// fixed at zero: BLAKE-256 and BLAKE-224 on 32-bit words and 64-byte blocks (14 rounds),
// BLAKE-512 and BLAKE-384 on 64-bit words and 128-byte blocks (16 rounds).
//
// They use BlockHash's shared update, padding and big-endian length field. What is BLAKE's own:
// the counter t of message bits that enters every compression, and the padding's marker bit
// (1 for the 256 and 512 forms, 0 for 224 and 384) just before the length field.
//
// Counter rule: a block is compressed with the number of message bits in it and in all blocks
// before it; a block that holds no message bit (a padding block of its own) gets counter 0.
// update advances the counter by one block per compression; finish sets it to the message
// length (or 0 when the buffer is empty) and, once finishing_ is set, transform clears it after
// each compression so that a second padding block gets 0.
//
// The constructors pick the compression once from cpu_features(): an accelerated variant
// (blake_variants.h) where the processor has what it needs, else the portable one; both give
// the same chaining values, and the object keeps its choice until it is destroyed.
#pragma once

#include "digest/block_hash.h"

class Blake256 : public BlockHash {
public:
    Blake256();
    ~Blake256() override = default;
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

protected:
    // reset with the given initial value (IV-256 or IV-224).
    void reset_with(const uint32_t* initial_value);
    // The padding of BLAKE with the given marker bit (0 or 1), ending in the last compression.
    void finish_blake(uint8_t marker);

private:
    uint32_t chain_[8]; // h0 .. h7
    uint8_t block_[64];
    uint32_t salt_[4];     // s0 .. s3, always zero
    uint64_t bit_counter_; // t: low word t0, high word t1
    uint8_t finishing_;
    void (*compress_)(uint32_t h[8], const uint32_t s[4], const uint8_t* block, uint32_t t0,
                      uint32_t t1);
};

class Blake224 : public Blake256 {
public:
    Blake224();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    uint32_t digest_size() override;
};

class Blake512 : public BlockHash {
public:
    Blake512();
    ~Blake512() override = default;
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

protected:
    void reset_with(const uint64_t* initial_value);
    void finish_blake(uint8_t marker);

private:
    uint64_t chain_[8]; // h0 .. h7
    uint8_t block_[128];
    uint64_t salt_[4]; // s0 .. s3, always zero
    // t0 of BLAKE-512's 128-bit counter; t1 is always 0, exact below 2^64 message bits.
    uint64_t bit_counter_;
    uint8_t finishing_;
    void (*compress_)(uint64_t h[8], const uint64_t s[4], const uint8_t* block, uint64_t t0,
                      uint64_t t1);
};

class Blake384 : public Blake512 {
public:
    Blake384();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    uint32_t digest_size() override;
};
