// The SM3 compressions Sm3 chooses from when it is constructed. Each computes exactly the
// compression function CF of GB/T 32905-2016 section 5.3 on the chaining value v (A .. H) and
// one 64-byte block.
#pragma once

#include <cstdint>

// The portable compression (sm3.cpp), which the variants are tested against.
void sm3_compress_portable(uint32_t v[8], const uint8_t* block);

// All rounds unrolled, plain C++ (sm3_unrolled.cpp).
void sm3_compress_unrolled(uint32_t v[8], const uint8_t* block);
