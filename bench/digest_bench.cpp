// Throughput of every catalogue algorithm through HashAlgorithm::update on 2 MiB buffers, the
// size of one read chunk, beside the same algorithm made with the portable code only (so a
// variant that loses to it shows) and the best library peer where this build has one.
//
// Usage: digest_bench [seconds per measurement, default 0.3] [algorithm name ...]
// Each figure is the median of five measurements of wall time on a warm buffer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "digest/catalogue.h"
#include "digest/cpu_features.h"

#ifdef DRAVIK_BENCH_PEERS
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <zlib.h>
#endif

namespace {

const size_t chunk = 2097152;

std::string name_of(AlgorithmId id)
{
    std::string out;
    for (const AlgorithmEntry* row = AlgorithmCatalogue; row->id != algorithm_end; ++row)
        if (row->id == id)
            for (const wchar_t* p = row->name; *p; ++p)
                out += char(*p);
    return out;
}

// Runs `feed` (one 2 MiB buffer per call) for about `seconds`, five times; median MB/s.
template <class Feed> double median_mb_per_s(double seconds, Feed feed)
{
    using clock = std::chrono::steady_clock;
    std::vector<double> rates;
    for (int run = 0; run < 5; ++run) {
        const auto start = clock::now();
        size_t bytes = 0;
        double elapsed = 0;
        do {
            feed();
            bytes += chunk;
            elapsed = std::chrono::duration<double>(clock::now() - start).count();
        } while (elapsed < seconds);
        rates.push_back(double(bytes) / elapsed / 1e6);
    }
    std::sort(rates.begin(), rates.end());
    return rates[2];
}

#ifdef DRAVIK_BENCH_PEERS
// OpenSSL's EVP names for the algorithms it offers; the rest have no library peer here.
const char* openssl_name(AlgorithmId id)
{
    static const char* const names[24] = {
        nullptr,  nullptr,     "MD5",         "SHA1",        "SHA224",   "SHA256",
        "SHA384", "SHA512",    "SHA3-224",    "SHA3-256",    "SHA3-384", "SHA3-512",
        nullptr,  "RIPEMD160", nullptr,       nullptr,       nullptr,    nullptr,
        nullptr,  nullptr,     "BLAKE2S-256", "BLAKE2B-512", "SM3",      "WHIRLPOOL"};
    return id > 0 && id < 24 ? names[id] : nullptr;
}

double peer_mb_per_s(AlgorithmId id, const std::vector<unsigned char>& data, double seconds,
                     std::string& peer)
{
    if (id == 1) {
        peer = "zlib crc32";
        uLong crc = crc32(0, Z_NULL, 0);
        return median_mb_per_s(seconds, [&] { crc = crc32(crc, data.data(), uInt(chunk)); });
    }
    const char* name = openssl_name(id);
    EVP_MD* md = name ? EVP_MD_fetch(nullptr, name, nullptr) : nullptr;
    if (!md)
        return 0;
    peer = std::string("OpenSSL ") + name;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, md, nullptr);
    const double rate =
        median_mb_per_s(seconds, [&] { EVP_DigestUpdate(ctx, data.data(), chunk); });
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
    return rate;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0.3;
    std::vector<std::string> only(argv + std::min(argc, 2), argv + argc);
    std::vector<unsigned char> data(chunk);
    for (size_t i = 0; i < chunk; ++i)
        data[i] = (unsigned char)(i * 7 + 3);
#ifdef DRAVIK_BENCH_PEERS
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
#endif

    std::printf("features: %s\n", cpu_feature_names(cpu_features()));
    std::printf("%-12s %10s %10s %10s %7s  %s\n", "algorithm", "ours MB/s", "portable", "peer MB/s",
                "ratio", "peer");
    for (AlgorithmId id = 1; id < algorithm_end; ++id) {
        const std::string name = name_of(id);
        if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end())
            continue;
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id));
        if (!a) {
            std::printf("%-12s %10s\n", name.c_str(), "not built");
            continue;
        }
        const double ours = median_mb_per_s(seconds, [&] { a->update(data.data(), chunk); });
        const uint32_t features = cpu_features();
        limit_cpu_features(0);
        std::unique_ptr<HashAlgorithm> portable(create_algorithm(id));
        limit_cpu_features(features);
        const double portable_rate =
            median_mb_per_s(seconds, [&] { portable->update(data.data(), chunk); });
        double peer_rate = 0;
        std::string peer = "none here (own portable path)";
#ifdef DRAVIK_BENCH_PEERS
        peer_rate = peer_mb_per_s(id, data, seconds, peer);
#endif
        if (peer_rate > 0)
            std::printf("%-12s %10.1f %10.1f %10.1f %7.2f  %s\n", name.c_str(), ours, portable_rate,
                        peer_rate, ours / peer_rate, peer.c_str());
        else
            std::printf("%-12s %10.1f %10.1f %10s %7s  %s\n", name.c_str(), ours, portable_rate,
                        "-", "-", peer.c_str());
        std::fflush(stdout);
    }
    return 0;
}
