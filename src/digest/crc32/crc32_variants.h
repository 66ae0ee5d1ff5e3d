// The CRC-32 folding of crc32_pclmul.cpp, used by Crc32::update when the processor has PCLMUL
// and SSE2 (chosen once per object, when it is constructed).
//
// Contract: `data` holds `pieces` * 16 bytes, pieces >= 4, any alignment. `rest` receives 16
// bytes such that the table-driven CRC of them, started from a zero register, is the register
// after feeding `data` to a CRC whose register was `crc`.
#pragma once

#include <cstdint>

void crc32_fold_pclmul(uint32_t crc, const uint8_t* data, uint32_t pieces, uint8_t* rest);
