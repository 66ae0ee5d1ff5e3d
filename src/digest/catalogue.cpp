#include "digest/catalogue.h"

#include <cwchar>

#include "digest/blake.h"
#include "digest/blake2.h"
#include "digest/crc32.h"
#include "digest/md5.h"
#include "digest/ripemd.h"
#include "digest/sha1.h"
#include "digest/sha2.h"
#include "digest/sha3.h"
#include "digest/sm3.h"
#include "digest/whirlpool.h"

const AlgorithmEntry AlgorithmCatalogue[25] = {
    {1, L"CRC32"},        {2, L"MD5"},          {3, L"SHA1"},        {4, L"SHA224"},
    {5, L"SHA256"},       {6, L"SHA384"},       {7, L"SHA512"},      {8, L"SHA3_224"},
    {9, L"SHA3_256"},     {10, L"SHA3_384"},    {11, L"SHA3_512"},   {12, L"RIPEMD128"},
    {13, L"RIPEMD160"},   {14, L"RIPEMD256"},   {15, L"RIPEMD320"},  {16, L"BLAKE224"},
    {17, L"BLAKE256"},    {18, L"BLAKE384"},    {19, L"BLAKE512"},   {20, L"BLAKE2s_256"},
    {21, L"BLAKE2b_512"}, {22, L"SM3"},         {23, L"Whirlpool"},  {0, L"--------"},
    {algorithm_end, nullptr},
};

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
    switch (id) {
    case 1:
        return new Crc32;
    case 2:
        return new Md5;
    case 3:
        return new Sha1;
    case 4:
        return new Sha224;
    case 5:
        return new Sha256;
    case 6:
        return new Sha384;
    case 7:
        return new Sha512;
    case 8:
        return new Sha3_224;
    case 9:
        return new Sha3_256;
    case 10:
        return new Sha3_384;
    case 11:
        return new Sha3_512;
    case 12:
        return new Ripemd128;
    case 13:
        return new Ripemd160;
    case 14:
        return new Ripemd256;
    case 15:
        return new Ripemd320;
    case 16:
        return new Blake224;
    case 17:
        return new Blake256;
    case 18:
        return new Blake384;
    case 19:
        return new Blake512;
    case 20:
        return new Blake2s256;
    case 21:
        return new Blake2b512;
    case 22:
        return new Sm3;
    case 23:
        return new Whirlpool;
    default:
        return nullptr;
    }
}
