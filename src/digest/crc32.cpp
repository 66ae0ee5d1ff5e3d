#include "digest/crc32.h"

#include "digest/bytes.h"

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

} // namespace

Crc32::Crc32() : crc_(0xFFFFFFFF) { reset(); }

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
    for (uint32_t i = 0; i < length; ++i)
        crc = (crc >> 8) ^ crc_table[(crc ^ p[i]) & 0xFF];
    crc_ = crc;
}

void Crc32::finish() { crc_ = ~crc_; }

void Crc32::get_digest(uint8_t* out) { store_be32(out, crc_); }

uint32_t Crc32::digest_size() { return 4; }

const uint32_t* Crc32::table() { return crc_table_built ? crc_table : nullptr; }

uint32_t Crc32::table_builds() { return crc_table_build_count; }
