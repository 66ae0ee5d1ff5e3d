// Our digests against OpenSSL's libcrypto on random messages fed in random pieces.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/crypto.h>
#include <openssl/provider.h>

#include <memory>

#include "support/vectors.h"

namespace {

struct Peer {
    AlgorithmId id;
    const char* openssl_name;
};

const Peer peers[] = {
    {2, "MD5"},          {3, "SHA1"},      {4, "SHA224"},     {5, "SHA256"},
    {6, "SHA384"},       {7, "SHA512"},    {8, "SHA3-224"},   {9, "SHA3-256"},
    {10, "SHA3-384"},    {11, "SHA3-512"}, {13, "RIPEMD160"}, {20, "BLAKE2S-256"},
    {21, "BLAKE2B-512"}, {22, "SM3"},      {23, "WHIRLPOOL"},
};

std::string openssl_hex(const char* name, const std::vector<uint8_t>& m)
{
    EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr);
    if (!md)
        return "no such digest in OpenSSL: " + std::string(name);
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(m.data(), m.size(), out, &size, md, nullptr);
    EVP_MD_free(md);
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned i = 0; i < size; ++i) {
        hex += digits[out[i] >> 4];
        hex += digits[out[i] & 15];
    }
    return hex;
}

class AgainstOpenSsl : public ::testing::TestWithParam<Peer> {
protected:
    static void SetUpTestSuite()
    {
        // Whirlpool and RIPEMD-160 live in the legacy provider in OpenSSL 3.
        legacy_ = OSSL_PROVIDER_load(nullptr, "legacy");
        default_ = OSSL_PROVIDER_load(nullptr, "default");
    }
    static void TearDownTestSuite()
    {
        OSSL_PROVIDER_unload(legacy_);
        OSSL_PROVIDER_unload(default_);
        OPENSSL_cleanup();
    }
    static OSSL_PROVIDER* legacy_;
    static OSSL_PROVIDER* default_;
};

OSSL_PROVIDER* AgainstOpenSsl::legacy_ = nullptr;
OSSL_PROVIDER* AgainstOpenSsl::default_ = nullptr;

TEST_P(AgainstOpenSsl, RandomMessagesInRandomPieces)
{
    const Peer peer = GetParam();
    Xorshift32 rng(0x9E3779B9u ^ uint32_t(peer.id));
    for (int round = 0; round < 1000; ++round) {
        std::vector<uint8_t> m(rng.below(10 * 1024 + 1));
        for (uint8_t& b : m)
            b = uint8_t(rng.next());
        std::unique_ptr<HashAlgorithm> ours(create_algorithm(peer.id));
        ASSERT_TRUE(ours);
        for (size_t at = 0; at < m.size();) {
            const size_t n =
                std::min<size_t>(m.size() - at, rng.below(300) == 0 ? 5000 : rng.below(200));
            ours->update(m.data() + at, uint32_t(n));
            at += n;
        }
        ASSERT_EQ(finish_hex(*ours), openssl_hex(peer.openssl_name, m))
            << "message " << round << " of " << m.size() << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Libcrypto, AgainstOpenSsl, ::testing::ValuesIn(peers),
                         [](const ::testing::TestParamInfo<Peer>& info) {
                             return algorithm_name(info.param.id);
                         });

} // namespace
