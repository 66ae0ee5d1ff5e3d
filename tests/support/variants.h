// Running the per-algorithm tests once per processor feature level, so that every accelerated
// variant the machine can run meets the same vectors and properties as the portable code.
//
// A level is a mask for limit_cpu_features. The levels are deduplicated by what they leave of
// the detected features: a machine without SHA-NI or AVX runs fewer of them, one without any
// of the features runs "full" only. "full" always comes first and "portable" (mask 0) last
// when it differs from "full".
//
// VariantTest limits the features in SetUp, before the fixture creates its objects, and lifts
// the limit again in TearDown: every object made during the test uses the test's level.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "digest/catalogue.h"

struct FeatureLevel {
    const char* name;
    uint32_t mask;
};

struct AlgorithmVariant {
    AlgorithmId id;
    FeatureLevel level;
};

// "SHA256 at ssse3" in gtest's messages.
void PrintTo(const AlgorithmVariant& variant, std::ostream* out);

// The distinct levels this machine supports, "full" first.
std::vector<FeatureLevel> feature_levels();

// Every algorithm id 1..23 at every level (levels inner), optionally without "portable".
std::vector<AlgorithmVariant> every_variant(bool with_portable = true);

// "SHA256_full", "SHA256_ssse3", "SHA256_portable": the level stays visible in the test name.
std::string variant_test_name(const ::testing::TestParamInfo<AlgorithmVariant>& info);

// The levels that also run the multi-megabyte messages: "full" and "portable". The levels in
// between pick other block functions only, which the shorter messages reach just as well.
bool runs_long_messages(const FeatureLevel& level);

class VariantTest : public ::testing::TestWithParam<AlgorithmVariant> {
protected:
    void SetUp() override;
    void TearDown() override;

    AlgorithmId id() const { return GetParam().id; }
};
