// The feature probe and its limit, which the variant tests rely on to reach every path.
#include <gtest/gtest.h>

#include <string>

#include "digest/cpu_features.h"
#include "digest/fastest_variant.h"

TEST(CpuFeatures, LimitMasksTheDetectedSetAndLiftsAgain)
{
    const uint32_t detected = cpu_features_detected();
    limit_cpu_features(0);
    EXPECT_EQ(cpu_features(), 0u);
    limit_cpu_features(cpu_sse2);
    EXPECT_EQ(cpu_features(), detected & cpu_sse2);
    limit_cpu_features(cpu_all_features);
    EXPECT_EQ(cpu_features(), detected);
}

TEST(CpuFeatures, ImpliedFeaturesAreConsistent)
{
    const uint32_t f = cpu_features_detected();
#if defined(__x86_64__)
    EXPECT_TRUE(f & cpu_sse2) << "every x86-64 processor has SSE2";
#endif
    if (f & cpu_avx2) {
        EXPECT_TRUE(f & cpu_avx) << "AVX2 only with the OS's AVX state";
    }
    std::printf("detected: %s\n", cpu_feature_names(f));
}

TEST(CpuFeatures, NamesForOutput)
{
    EXPECT_EQ(std::string(cpu_feature_names(0)), "portable");
    EXPECT_EQ(std::string(cpu_feature_names(cpu_sse2 | cpu_sha)), "sse2 sha");
    EXPECT_EQ(std::string(cpu_feature_names(cpu_all_features)),
              "sse2 ssse3 sse4.1 avx avx2 sha pclmul bmi2 bmi1");
}

namespace {

int trials_of[3];
void count_trial(int candidate) { ++trials_of[candidate]; }

} // namespace

// Every candidate is timed as often as the others, and a feature set's choice is made once.
TEST(FastestVariant, TimesEveryCandidateAndChoosesOncePerFeatureSet)
{
    const int candidates[3] = {0, 1, 2};
    const int chosen = fastest_variant(candidates, 3, count_trial);
    EXPECT_TRUE(chosen >= 0 && chosen <= 2);
    EXPECT_EQ(trials_of[0], trials_of[2]);
    EXPECT_GT(trials_of[0], 1) << "one timing each cannot tell speed from noise";

    FastestVariantCache<int> cache;
    int choices = 0;
    EXPECT_EQ(cache.get(cpu_sse2, [&] { return ++choices, 1; }), 1);
    EXPECT_EQ(cache.get(cpu_sse2, [&] { return ++choices, 2; }), 1);
    EXPECT_EQ(cache.get(cpu_sse2 | cpu_avx2, [&] { return ++choices, 2; }), 2);
    EXPECT_EQ(choices, 2);
}
