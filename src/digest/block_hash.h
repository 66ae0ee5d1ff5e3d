// The block engine shared by every Merkle-Damgard style algorithm: buffering, the 64-bit byte
// counter, zero padding, the message-length encodings, the finish procedures and the writers
// that turn the chaining state into digest bytes.
//
// A derived algorithm keeps its state and its block buffer as members, passes them to the
// constructor, loads its initial value with reset_state, implements transform (compress the
// full block in buffer_ into state_) and picks one finish procedure and one digest writer.
//
// Contract of the shared update: every input byte is copied through the block buffer and
// every full block is compressed exactly once: by transform, which reads the buffer, or, for
// whole blocks of the caller's data while the buffer is empty, by transform_blocks, which
// copies each block through the buffer too. Between calls buffered_ < block_size_
// (algorithms that replace update may keep a full block).
#pragma once

#include "digest/hash_algorithm.h"

class BlockHash : public HashAlgorithm {
public:
    ~BlockHash() override = default;
    void reset() override = 0;
    void update(const void* data, uint32_t length) override;
    void finish() override = 0;
    void get_digest(uint8_t* out) override = 0;
    uint32_t digest_size() override;
    virtual uint32_t block_size();
    // Loads state_size_ bytes of initial value (zeros when null) and empties buffer and counter.
    virtual void reset_state(const void* initial_value);
    virtual void transform() = 0;
    // Compresses `blocks` whole blocks from data (any alignment), each copied through the
    // buffer, as that many copies and transform calls would: which is what this one does. An
    // algorithm that keeps its state in registers across blocks replaces it.
    virtual void transform_blocks(const uint8_t* data, uint32_t blocks);

protected:
    // Bytes accepted by update since reset_state, as two 32-bit words (low carries into high).
    struct ByteCount {
        uint32_t low;
        uint32_t high;
    };

    BlockHash(void* state, uint32_t state_size, void* buffer, uint32_t block_size);
    BlockHash(const BlockHash&) = delete;
    BlockHash& operator=(const BlockHash&) = delete;

    // Zero-fills the buffer up to position, compressing first if it already holds more.
    void pad_to(uint32_t position);

    // The bit length byte_count * 8 is a 67-bit number: L its low 64 bits, T its top 3.
    void bit_length_le64(uint8_t out[8]) const;   // L little-endian
    void bit_length_be64(uint8_t out[8]) const;   // L big-endian
    void bit_length_be128(uint8_t out[16]) const; // 7 zero bytes, T, L big-endian
    void bit_length_be256(uint8_t out[32]) const; // 23 zero bytes, T, L big-endian

    // 0x80, zeros up to position, then the length field, which ends the last block exactly.
    // The field must be computed before this call: the padding goes through update.
    void finish_padded(uint32_t position, const uint8_t* length_field, uint32_t field_size);
    void finish_le64();  // 64-byte blocks, position 56, little-endian 64-bit length
    void finish_be64();  // 64-byte blocks, position 56, big-endian 64-bit length
    void finish_be128(); // 128-byte blocks, position 112, big-endian 128-bit length
    // BLAKE's padding: 0x80, zeros up to position, the byte `marker`, then the length field.
    // When exactly position bytes are buffered, 0x80 | marker takes the one free byte.
    void finish_marked(uint32_t position, uint8_t marker, const uint8_t* length_field,
                       uint32_t field_size);

    // update for algorithms whose last compression must see the last message bytes (BLAKE2):
    // a full block is compressed only when more input arrives, so one may stay buffered.
    void update_keeping_last_block(const void* data, uint32_t length);

    // The state read as native words, written in the given byte order; `bytes` may stop short
    // of the whole state (SHA-224, SHA-384 and their kind write only the leading bytes).
    void write_le32_words(uint8_t* out, uint32_t bytes) const;
    void write_be32_words(uint8_t* out, uint32_t bytes) const;
    void write_be64_words(uint8_t* out, uint32_t bytes) const;

    uint8_t* state_;
    uint8_t* buffer_;
    uint32_t state_size_;
    uint32_t block_size_;
    uint32_t buffered_;
    ByteCount byte_count_;
};
