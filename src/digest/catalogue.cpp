#include "digest/catalogue.h"

#include <cwchar>

#include "digest/blake/blake.h"
#include "digest/blake/blake2.h"
#include "digest/crc32/crc32.h"
#include "digest/md5/md5.h"
#include "digest/ripemd/ripemd.h"
#include "digest/sha/sha1.h"
#include "digest/sha/sha2.h"
#include "digest/sha3/sha3.h"
#include "digest/sm3/sm3.h"
#include "digest/whirlpool/whirlpool.h"

namespace {

template <class Algorithm> HashAlgorithm* make() { return new Algorithm; }

} // namespace

// The row of an algorithm is its number, its name and its maker: the one list of algorithms.
constexpr AlgorithmEntry AlgorithmCatalogue[] = {
    {1, L"CRC32", make<Crc32>},
    {2, L"MD5", make<Md5>},
    {3, L"SHA1", make<Sha1>},
    {4, L"SHA224", make<Sha224>},
    {5, L"SHA256", make<Sha256>},
    {6, L"SHA384", make<Sha384>},
    {7, L"SHA512", make<Sha512>},
    {8, L"SHA3_224", make<Sha3_224>},
    {9, L"SHA3_256", make<Sha3_256>},
    {10, L"SHA3_384", make<Sha3_384>},
    {11, L"SHA3_512", make<Sha3_512>},
    {12, L"RIPEMD128", make<Ripemd128>},
    {13, L"RIPEMD160", make<Ripemd160>},
    {14, L"RIPEMD256", make<Ripemd256>},
    {15, L"RIPEMD320", make<Ripemd320>},
    {16, L"BLAKE224", make<Blake224>},
    {17, L"BLAKE256", make<Blake256>},
    {18, L"BLAKE384", make<Blake384>},
    {19, L"BLAKE512", make<Blake512>},
    {20, L"BLAKE2s_256", make<Blake2s256>},
    {21, L"BLAKE2b_512", make<Blake2b512>},
    {22, L"SM3", make<Sm3>},
    {23, L"Whirlpool", make<Whirlpool>},
    {algorithm_none, L"--------", nullptr},
    {algorithm_end, nullptr, nullptr},
};

namespace {

constexpr bool rows_in_id_order()
{
    for (AlgorithmId id = 1; id <= algorithm_count; ++id) {
        if (AlgorithmCatalogue[id - 1].id != id)
            return false;
    }
    return true;
}

} // namespace

static_assert(sizeof AlgorithmCatalogue / sizeof AlgorithmCatalogue[0] == algorithm_end + 1,
              "one row per algorithm, then no algorithm and the end marker");
static_assert(rows_in_id_order(), "row n - 1 is algorithm n");

AlgorithmId algorithm_id_from_name(const wchar_t* name)
{
    for (const AlgorithmEntry* row = AlgorithmCatalogue; row->id != algorithm_end; ++row) {
        if (std::wcscmp(row->name, name) == 0)
            return row->id;
    }
    return algorithm_none;
}

HashAlgorithm* create_algorithm(AlgorithmId id)
{
    if (id < 1 || id > algorithm_count)
        return nullptr;
    return AlgorithmCatalogue[id - 1].make();
}
