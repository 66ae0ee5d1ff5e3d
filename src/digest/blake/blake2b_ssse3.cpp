// BLAKE2b compression (RFC 7693 section 3.2) with SSSE3: each row of the work matrix in two XMM
// registers (blake_rows_ssse3.h), the rounds unrolled so each round's message words are
// gathered with the sigma indices as constants. In the 32-bit build this replaces the pairs of
// 32-bit operations of every 64-bit addition, XOR and rotation by single SSE2 instructions.
// Built with -mssse3.
#include <cstring>
#include <utility>

#include "digest/blake/blake2_variants.h"
#include "digest/blake/blake_rows_ssse3.h"

namespace {

using namespace blake_rows;

template <int r> inline void blake2b_round(Rows64& v, const uint64_t* m)
{
    round64<32, 24, 16, 63>(v, gather64<r, 0>(m), gather64<r, 1>(m), gather64<r, 8>(m),
                            gather64<r, 9>(m));
}

// Rounds 10 and 11 take sigma_0 and sigma_1 again (gather64 reduces r modulo 10).
template <size_t... r>
inline void blake2b_rounds(Rows64& v, const uint64_t* m, std::index_sequence<r...>)
{
    (blake2b_round<int(r)>(v, m), ...);
}

} // namespace

void blake2b_compress_ssse3(uint64_t h[8], const uint8_t* block, uint64_t t0, uint64_t t1,
                            bool last)
{
    uint64_t m[16];
    std::memcpy(m, block, sizeof m); // little-endian words, as the machine holds them
    const Row64 h0 = load_row64(h), h1 = load_row64(h + 4);
    const Row64 flags = {pair64(t0, t1), pair64(last ? ~uint64_t(0) : 0, 0)};
    Rows64 v = {h0, h1, load_row64(blake_iv512), xor64(load_row64(blake_iv512 + 4), flags)};
    blake2b_rounds(v, m, std::make_index_sequence<12>());
    store_row64(h, xor64(h0, xor64(v.a, v.c)));
    store_row64(h + 4, xor64(h1, xor64(v.b, v.d)));
}
