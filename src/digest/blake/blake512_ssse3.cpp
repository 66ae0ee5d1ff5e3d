// BLAKE-512 compression (BLAKE 1.3 section 2.2.2) with SSSE3: each row of the work matrix in two
// XMM registers (blake_rows_ssse3.h), the 16 rounds unrolled so each round's message words and
// constants are gathered with the sigma indices known. In the 32-bit build this replaces the
// pairs of 32-bit operations of every 64-bit addition, XOR and rotation. Built with -mssse3.
#include <utility>

#include "digest/blake/blake_rows_ssse3.h"
#include "digest/blake/blake_variants.h"
#include "digest/bytes.h"

namespace {

using namespace blake_rows;

// G adds m[sigma(2i)] ^ c[sigma(2i+1)] first and m[sigma(2i+1)] ^ c[sigma(2i)] second.
template <int r, int first> inline Row64 words(const uint64_t* m)
{
    return xor64(gather64<r, first>(m), gather64<r, first ^ 1>(blake_constants64));
}

template <int r> inline void blake512_round(Rows64& v, const uint64_t* m)
{
    round64<32, 25, 16, 11>(v, words<r, 0>(m), words<r, 1>(m), words<r, 8>(m), words<r, 9>(m));
}

// Rounds 10 to 15 take sigma_0 to sigma_5 again (gather64 reduces r modulo 10).
template <size_t... r>
inline void blake512_rounds(Rows64& v, const uint64_t* m, std::index_sequence<r...>)
{
    (blake512_round<int(r)>(v, m), ...);
}

} // namespace

void blake512_compress_ssse3(uint64_t h[8], const uint64_t s[4], const uint8_t* block, uint64_t t0,
                             uint64_t t1)
{
    uint64_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = load_be64(block + 8 * i);
    const Row64 h0 = load_row64(h), h1 = load_row64(h + 4);
    const Row64 salt = load_row64(s);
    const Row64 counter = {pair64(t0, t0), pair64(t1, t1)};
    Rows64 v = {h0, h1, xor64(salt, load_row64(blake_constants64)),
                xor64(load_row64(blake_constants64 + 4), counter)};
    blake512_rounds(v, m, std::make_index_sequence<16>());
    store_row64(h, xor64(h0, xor64(salt, xor64(v.a, v.c))));
    store_row64(h + 4, xor64(h1, xor64(salt, xor64(v.b, v.d))));
}
