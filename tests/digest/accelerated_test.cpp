// The accelerated variants of SHA-3, BLAKE, BLAKE2, SM3 and Whirlpool against the portable path
// through the catalogue: every feature level this processor offers (each level picks a
// different variant where one exists) on random messages of every length up to three blocks
// and on long ones fed in random pieces. accelerated_blocks_test.cpp compares the block
// functions themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "digest/cpu_features.h"
#include "support/vectors.h"

namespace {

const wchar_t* const algorithms[] = {
    L"SHA3_224", L"SHA3_256", L"SHA3_384",    L"SHA3_512",    L"BLAKE224", L"BLAKE256",
    L"BLAKE384", L"BLAKE512", L"BLAKE2s_256", L"BLAKE2b_512", L"SM3",      L"Whirlpool",
};

// The feature sets to run: the detected set and each lower level of it, down to SSE2 alone.
std::vector<uint32_t> levels_to_run()
{
    const uint32_t d = cpu_features_detected();
    const uint32_t masks[] = {cpu_all_features,
                              cpu_all_features & ~cpu_avx512,
                              cpu_all_features & ~(cpu_avx2 | cpu_avx512),
                              cpu_sse2 | cpu_ssse3 | cpu_sse41,
                              cpu_sse2 | cpu_ssse3,
                              cpu_sse2};
    std::vector<uint32_t> levels;
    for (uint32_t m : masks)
        if ((d & m) != 0 && std::find(levels.begin(), levels.end(), d & m) == levels.end())
            levels.push_back(d & m);
    return levels;
}

class LimitGuard {
public:
    explicit LimitGuard(uint32_t mask) { limit_cpu_features(mask); }
    ~LimitGuard() { limit_cpu_features(cpu_all_features); }
};

std::unique_ptr<HashAlgorithm> make(const wchar_t* name, uint32_t features)
{
    LimitGuard limit(features);
    return std::unique_ptr<HashAlgorithm>(create_algorithm(algorithm_id_from_name(name)));
}

std::vector<uint8_t> random_bytes(Xorshift32& r, size_t n)
{
    std::vector<uint8_t> m(n);
    for (uint8_t& b : m)
        b = uint8_t(r.next() >> 24);
    return m;
}

std::string digest_in_pieces(HashAlgorithm& a, const std::vector<uint8_t>& m, Xorshift32& r)
{
    a.reset();
    size_t at = 0;
    while (at < m.size()) {
        const size_t n = std::min<size_t>(m.size() - at, r.below(1000));
        a.update(m.data() + at, uint32_t(n));
        at += n;
    }
    return finish_hex(a);
}

TEST(AcceleratedVariants, AgreeWithThePortablePathAtEveryFeatureLevel)
{
    const std::vector<uint32_t> levels = levels_to_run();
    if (levels.empty())
        GTEST_SKIP() << "no SIMD features here: only the portable path exists";
    for (uint32_t level : levels)
        std::printf("feature level: %s\n", cpu_feature_names(level));
    for (const wchar_t* name : algorithms) {
        std::unique_ptr<HashAlgorithm> portable = make(name, 0);
        ASSERT_TRUE(portable) << narrow(name);
        for (uint32_t level : levels) {
            std::unique_ptr<HashAlgorithm> fast = make(name, level);
            Xorshift32 r(level * 31 + 7);
            for (size_t length = 0; length <= 3 * 144; ++length) {
                const std::vector<uint8_t> m = random_bytes(r, length);
                fast->reset();
                fast->update(m.data(), uint32_t(length));
                portable->reset();
                portable->update(m.data(), uint32_t(length));
                ASSERT_EQ(finish_hex(*fast), finish_hex(*portable))
                    << narrow(name) << " " << cpu_feature_names(level) << ", " << length
                    << " bytes";
            }
            for (size_t length : {4096u, 65537u}) {
                const std::vector<uint8_t> m = random_bytes(r, length);
                EXPECT_EQ(digest_in_pieces(*fast, m, r), digest_in_pieces(*portable, m, r))
                    << narrow(name) << " " << cpu_feature_names(level) << ", " << length
                    << " bytes";
            }
        }
    }
}

} // namespace
