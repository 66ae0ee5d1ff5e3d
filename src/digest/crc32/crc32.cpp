#include "digest/crc32/crc32.h"

#include "digest/bytes.h"
#include "digest/cpu_features.h"
#include "digest/crc32/crc32_variants.h"

namespace {

// Exponents of the terms below x^32 of the CRC-32 generator polynomial (IEEE 802.3):
// x^32 + x^26 + x^23 + x^22 + x^16 + x^12 + x^11 + x^10 + x^8 + x^7 + x^5 + x^4 + x^2 + x + 1.
const uint8_t generator_exponents[14] = {0, 1, 2, 4, 5, 7, 8, 10, 11, 12, 16, 22, 23, 26};

uint32_t crc_table[256];
bool crc_table_built = false;
uint32_t crc_table_build_count = 0;

// The register shifts right, so x^e sits at bit 31 - e: the reflected polynomial 0xEDB88320.
void build_table()
{
    uint32_t poly = 0;
    for (uint8_t e : generator_exponents)
        poly |= uint32_t(1) << (31 - e);
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ poly : c >> 1;
        crc_table[n] = c;
    }
    crc_table_built = true;
    ++crc_table_build_count;
}

bool pclmul_usable()
{
    const uint32_t needed = cpu_pclmul | cpu_sse2;
    return (cpu_features() & needed) == needed;
}

// The whole 16-byte pieces of `length` bytes by folding, then the table over the 16 bytes it
// leaves, from a zero register (crc32_variants.h); returns the new register.
uint32_t fold_whole_pieces(uint32_t crc, const uint8_t*& p, uint32_t& length)
{
    const uint32_t pieces = length / 16;
    uint8_t rest[16];
    crc32_fold_pclmul(crc, p, pieces, rest);
    p += 16 * pieces;
    length -= 16 * pieces;
    crc = 0;
    for (uint8_t b : rest)
        crc = (crc >> 8) ^ crc_table[(crc ^ b) & 0xFF];
    return crc;
}

} // namespace

Crc32::Crc32() : crc_(0xFFFFFFFF), fold_pclmul_(pclmul_usable()) { reset(); }

void Crc32::reset()
{
    if (!crc_table_built)
        build_table();
    crc_ = 0xFFFFFFFF;
}

void Crc32::update(const void* data, uint32_t length)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t crc = crc_;
    if (fold_pclmul_ && length >= 64)
        crc = fold_whole_pieces(crc, p, length);
    for (uint32_t i = 0; i < length; ++i)
        crc = (crc >> 8) ^ crc_table[(crc ^ p[i]) & 0xFF];
    crc_ = crc;
}

void Crc32::finish() { crc_ = ~crc_; }

void Crc32::get_digest(uint8_t* out) { store_be32(out, crc_); }

uint32_t Crc32::digest_size() { return 4; }

const uint32_t* Crc32::table() { return crc_table_built ? crc_table : nullptr; }

uint32_t Crc32::table_builds() { return crc_table_build_count; }
