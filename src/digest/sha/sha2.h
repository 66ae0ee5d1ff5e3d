// SHA-224, SHA-256, SHA-384 and SHA-512 of FIPS 180-4.
//
// Sha256 and Sha512 are block algorithms (64- and 128-byte blocks, big-endian words, big-endian
// length field and digest). Sha224 and Sha384 are the same compression functions started from
// their own initial values; they keep the whole eight-word state (state_size 32 and 64) and
// shorten only the digest they write (28 and 48 bytes).
//
// transform runs the block function chosen by the constructor from the processor's features
// (sha_variants.h): the SHA extensions for SHA-256; for SHA-512 on x86-64 AVX with BMI2 or
// else native 64-bit words, on 32-bit x86 SSE2. None (null) runs the portable compression.
// The SHA extensions and AVX with BMI2 also compress many blocks per call (transform_blocks).
// An object keeps its choice for its whole life.
#pragma once

#include "digest/block_hash.h"
#include "digest/sha/sha_variants.h"

class Sha256 : public BlockHash {
public:
    Sha256();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;
    void transform_blocks(const uint8_t* data, uint32_t blocks) override;

private:
    uint32_t state_words_[8]; // H0 .. H7
    uint8_t block_[64];
    Sha256BlocksFunction blocks_function_; // null: the portable compression
};

class Sha224 : public Sha256 {
public:
    Sha224();
    void reset() override;
    void get_digest(uint8_t* out) override;
    uint32_t digest_size() override;
};

class Sha512 : public BlockHash {
public:
    Sha512();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;
    void transform_blocks(const uint8_t* data, uint32_t blocks) override;

private:
    uint64_t state_words_[8]; // H0 .. H7, each in the machine's own byte order
    uint8_t block_[128];
    Sha512BlockFunction block_function_;   // null: the portable compression
    Sha512BlocksFunction blocks_function_; // when set, taken for every block
};

class Sha384 : public Sha512 {
public:
    Sha384();
    void reset() override;
    void get_digest(uint8_t* out) override;
    uint32_t digest_size() override;
};
