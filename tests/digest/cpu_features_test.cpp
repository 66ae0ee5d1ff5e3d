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
              "sse2 ssse3 sse4.1 avx avx2 sha pclmul bmi2 bmi1 avx512");
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

namespace {

// Candidates whose trials differ a hundredfold in work: the choice must be the light one,
// wherever it stands in the list.
volatile uint32_t sink;
void spin_trial(int weight)
{
    uint32_t x = 1;
    for (int i = 0; i < weight * 2000; ++i)
        x = x * 1664525u + 1013904223u;
    sink = x;
}

// The reference computes "weight * 3"; a candidate agrees when it does too.
int reference_answer(int weight) { return weight * 3; }
bool same_answer(int (*reference)(int), int candidate)
{
    return candidate != 13 && reference(candidate) == candidate * 3; // 13: a wrong variant
}

} // namespace

TEST(FastestVariant, ChoosesTheCandidateWhoseTrialIsFastest)
{
    const int light_first[2] = {1, 100}, light_last[3] = {100, 60, 1};
    EXPECT_EQ(fastest_variant(light_first, 2, spin_trial), 1);
    EXPECT_EQ(fastest_variant(light_last, 3, spin_trial), 1);
}

TEST(FastestVariant, AVariantThatDisagreesIsNeverChosen)
{
    // 13 is the fastest by far but computes a wrong answer; 100 is slow but right.
    const int candidates[3] = {13, 100, 200};
    EXPECT_EQ(
        fastest_agreeing_variant(reference_answer, candidates, 3, spin_trial, same_answer, -1),
        100);
    const int only_wrong[1] = {13};
    EXPECT_EQ(
        fastest_agreeing_variant(reference_answer, only_wrong, 1, spin_trial, same_answer, -1), -1)
        << "no agreeing candidate: the portable fallback";
}
