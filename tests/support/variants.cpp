#include "support/variants.h"

#include <ostream>

#include "digest/cpu_features.h"
#include "support/vectors.h"

namespace {

// From the most to the least: everything (AVX-512 where the processor has it), the
// SHA-NI/AVX2/PCLMUL machine, SSE4.1, SSSE3 (a processor of
// the Core 2 era), SSE2 alone (the x86-64 baseline) and none.
const FeatureLevel candidate_levels[] = {
    {"full", cpu_all_features},
    {"avx2", cpu_all_features & ~cpu_avx512},
    {"sse41", cpu_sse2 | cpu_ssse3 | cpu_sse41},
    {"ssse3", cpu_sse2 | cpu_ssse3},
    {"sse2", cpu_sse2},
    {"portable", 0},
};

} // namespace

std::vector<FeatureLevel> feature_levels()
{
    const uint32_t detected = cpu_features_detected();
    std::vector<FeatureLevel> levels;
    std::vector<uint32_t> seen;
    for (const FeatureLevel& level : candidate_levels) {
        const uint32_t effective = detected & level.mask;
        bool known = false;
        for (uint32_t s : seen)
            known = known || s == effective;
        if (known)
            continue;
        seen.push_back(effective);
        levels.push_back(level);
    }
    return levels;
}

std::vector<AlgorithmVariant> every_variant(bool with_portable)
{
    std::vector<AlgorithmVariant> out;
    const std::vector<FeatureLevel> levels = feature_levels();
    for (AlgorithmId id = 1; id < algorithm_end; ++id) {
        for (const FeatureLevel& level : levels) {
            if (with_portable || level.mask != 0)
                out.push_back({id, level});
        }
    }
    return out;
}

std::string variant_test_name(const ::testing::TestParamInfo<AlgorithmVariant>& info)
{
    return algorithm_name(info.param.id) + "_" + info.param.level.name;
}

bool runs_long_messages(const FeatureLevel& level)
{
    return level.mask == 0 || level.mask == cpu_all_features;
}

void PrintTo(const AlgorithmVariant& variant, std::ostream* out)
{
    *out << algorithm_name(variant.id) << " at " << variant.level.name;
}

void VariantTest::SetUp()
{
    limit_cpu_features(GetParam().level.mask);
    RecordProperty("cpu_features", cpu_feature_names(cpu_features()));
}

void VariantTest::TearDown() { limit_cpu_features(cpu_all_features); }
