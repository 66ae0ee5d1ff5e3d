// BLAKE2s and BLAKE2b of RFC 7693, sequential mode, without key, salt or personalisation.
// Each is built with its digest size in bytes; the catalogue makes the 32-byte BLAKE2s and the
// 64-byte BLAKE2b through the thin subclasses at the end of this file.
//
// BLAKE2's last compression carries the last-block flag and must be applied to the block that
// holds the last message bytes, so update keeps a full block in the buffer until more input
// arrives (buffered_ may equal block_size_ between calls) and finish compresses it. The length
// padding of BlockHash is not used: finish zero-fills the block and the counter tells the
// message length in bytes.
//
// The constructor picks the compression once from cpu_features(): on 32-bit x86 an
// accelerated variant (blake2_variants.h) where the processor has what it needs, else the
// portable one, which x86-64 always takes (its unrolled rounds are faster there); all give the
// same chaining values, and the object keeps its choice until it is destroyed.
#pragma once

#include "digest/block_hash.h"

class Blake2s : public BlockHash {
public:
    // digest_size: 1 to 32 bytes.
    explicit Blake2s(uint32_t digest_size);
    ~Blake2s() override = default;
    void reset() override;
    void update(const void* data, uint32_t length) override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

protected:
    uint64_t byte_counter_; // t: message bytes compressed so far, the current block included

private:
    uint8_t parameter_block_[32]; // RFC 7693 section 2.5
    uint32_t chain_[8];           // h0 .. h7
    uint8_t block_[64];
    uint8_t finishing_;  // set by finish: the last compression does not advance the counter
    uint8_t last_block_; // f0 = all ones in the next compression
    void (*compress_)(uint32_t h[8], const uint8_t* block, uint32_t t0, uint32_t t1, bool last);
};

class Blake2b : public BlockHash {
public:
    // digest_size: 1 to 64 bytes.
    explicit Blake2b(uint32_t digest_size);
    ~Blake2b() override = default;
    void reset() override;
    void update(const void* data, uint32_t length) override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

protected:
    // t0 of BLAKE2b's 128-bit counter; t1 is always 0, exact below 2^64 message bytes.
    uint64_t byte_counter_;

private:
    uint8_t parameter_block_[64];
    uint64_t chain_[8];
    uint8_t block_[128];
    uint8_t finishing_;
    uint8_t last_block_;
    void (*compress_)(uint64_t h[8], const uint8_t* block, uint64_t t0, uint64_t t1, bool last);
};

// The catalogue's entries "BLAKE2s_256" and "BLAKE2b_512".
class Blake2s256 : public Blake2s {
public:
    Blake2s256() : Blake2s(32) {}
};

class Blake2b512 : public Blake2b {
public:
    Blake2b512() : Blake2b(64) {}
};
