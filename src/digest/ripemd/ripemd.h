// RIPEMD-128, RIPEMD-160, RIPEMD-256 and RIPEMD-320 as published by Dobbertin, Bosselaers and
// Preneel ("RIPEMD-160: A Strengthened Version of RIPEMD", with its 128, 256 and 320-bit
// variants): 64-byte blocks, little-endian words, the little-endian 64-bit length of MD5 and
// the state words written little-endian.
//
// The four classes share their constant tables. RIPEMD-128 loads the first 4 words of the
// 8-word RIPEMD-256 initial value and RIPEMD-160 the first 5 of the 10-word RIPEMD-320 one,
// which are their own published initial values (reset_state copies state_size_ bytes).
#pragma once

#include "digest/block_hash.h"

class Ripemd128 : public BlockHash {
public:
    Ripemd128();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

private:
    uint32_t state_words_[4];
    uint8_t block_[64];
};

class Ripemd160 : public BlockHash {
public:
    Ripemd160();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

private:
    uint32_t state_words_[5];
    uint8_t block_[64];
};

// Two RIPEMD-128 lines kept apart: words 0..3 are the left line's chaining value, 4..7 the
// right line's.
class Ripemd256 : public BlockHash {
public:
    Ripemd256();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

private:
    uint32_t state_words_[8];
    uint8_t block_[64];
};

// Two RIPEMD-160 lines kept apart: words 0..4 left, 5..9 right.
class Ripemd320 : public BlockHash {
public:
    Ripemd320();
    void reset() override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    void transform() override;

private:
    uint32_t state_words_[10];
    uint8_t block_[64];
};
