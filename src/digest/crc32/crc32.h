// CRC-32 of IEEE 802.3 (CRC-32/ISO-HDLC): reflected polynomial 0xEDB88320, register started at
// 0xFFFFFFFF, inverted at the end. No blocks, so it implements HashAlgorithm directly.
//
// The 256-word lookup table is process-wide and built by the first reset (the constructor
// calls it), without a lock: objects are only created by the thread that prepares a run,
// before any worker reads the table. After that the table is read-only.
//
// The digest is the register most significant byte first, so the text reads as the usual
// eight-digit value ("123456789" gives CBF43926).
//
// With PCLMUL (and SSE2) an object folds updates of 64 bytes or more by carry-less
// multiplication (crc32_variants.h) and runs the table only over the last 16 folded bytes and
// the tail; the constructor decides, once per object.
#pragma once

#include "digest/hash_algorithm.h"

class Crc32 : public HashAlgorithm {
public:
    Crc32();
    ~Crc32() override = default;
    void reset() override;
    void update(const void* data, uint32_t length) override;
    void finish() override;
    void get_digest(uint8_t* out) override;
    uint32_t digest_size() override;

    // The shared table, built by the first Crc32 object; null before that.
    static const uint32_t* table();
    // How often this process built the table: 1 once any object exists, never more.
    static uint32_t table_builds();

private:
    uint32_t crc_;
    bool fold_pclmul_;
};
