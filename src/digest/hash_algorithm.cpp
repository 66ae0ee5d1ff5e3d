#include "digest/hash_algorithm.h"

void HashAlgorithm::digest_text(wchar_t* out, bool lower_case)
{
    uint8_t digest[max_digest_size];
    get_digest(digest);
    const uint32_t n = digest_size();
    const wchar_t* digits = lower_case ? L"0123456789abcdef" : L"0123456789ABCDEF";
    for (uint32_t i = 0; i < n; ++i) {
        *out++ = digits[digest[i] >> 4];
        *out++ = digits[digest[i] & 0x0F];
    }
    *out = 0;
}
