// The processor features the accelerated digest variants may use, probed once per process.
//
// Contract: cpu_features() returns the features the processor has AND the operating system
// supports (AVX and AVX2 only when XGETBV shows the OS saves the YMM state; AVX-512 only when
// it saves the opmask and ZMM state too), masked by the
// limit set with limit_cpu_features. Algorithm objects read it once, when they are
// constructed, and keep the variant they chose for their whole life; changing the limit
// affects objects made afterwards only. The limit is for tests and benchmarks (forcing the
// portable path, or a lower level), set while no digest object is being constructed.
#pragma once

#include <cstdint>

enum CpuFeature : uint32_t {
    cpu_sse2 = 1u << 0,
    cpu_ssse3 = 1u << 1,
    cpu_sse41 = 1u << 2,
    cpu_avx = 1u << 3,
    cpu_avx2 = 1u << 4,
    cpu_sha = 1u << 5,    // SHA-NI: SHA-1 and SHA-256 rounds
    cpu_pclmul = 1u << 6, // carry-less multiplication
    cpu_bmi2 = 1u << 7,
    cpu_bmi1 = 1u << 8,   // ANDN among others
    cpu_avx512 = 1u << 9, // AVX-512 F and VL (the EVEX forms on XMM and YMM registers too)
};

const uint32_t cpu_all_features = 0x3FFu;

// Detected features, masked by the current limit.
uint32_t cpu_features();

// The features the processor and OS really offer, whatever the limit.
uint32_t cpu_features_detected();

// Restricts cpu_features() to `mask` (0 forces every portable path; cpu_all_features lifts
// the limit).
void limit_cpu_features(uint32_t mask);

// "sse2 ssse3 ..." for the set bits, for test and benchmark output.
const char* cpu_feature_names(uint32_t features);
