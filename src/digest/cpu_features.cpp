#include "digest/cpu_features.h"

#include <atomic>
#include <string>

namespace {

struct CpuidResult {
    uint32_t a, b, c, d;
};

#if defined(__i386__) || defined(__x86_64__)
CpuidResult cpuid(uint32_t leaf, uint32_t subleaf)
{
    CpuidResult r;
#if defined(__i386__)
    // ebx may be the PIC register on i686: swap it out around CPUID instead of clobbering it.
    __asm__ volatile("xchgl %%ebx, %1\n\tcpuid\n\txchgl %%ebx, %1"
                     : "=a"(r.a), "=&r"(r.b), "=c"(r.c), "=d"(r.d)
                     : "0"(leaf), "2"(subleaf));
#else
    __asm__ volatile("cpuid"
                     : "=a"(r.a), "=b"(r.b), "=c"(r.c), "=d"(r.d)
                     : "0"(leaf), "2"(subleaf));
#endif
    return r;
}

uint64_t xgetbv0()
{
    uint32_t lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return uint64_t(hi) << 32 | lo;
}

uint32_t probe()
{
    const uint32_t max_leaf = cpuid(0, 0).a;
    if (max_leaf < 1)
        return 0;
    const CpuidResult l1 = cpuid(1, 0);
    uint32_t f = 0;
    if (l1.d & (1u << 26))
        f |= cpu_sse2;
    if (l1.c & (1u << 9))
        f |= cpu_ssse3;
    if (l1.c & (1u << 19))
        f |= cpu_sse41;
    if (l1.c & (1u << 1))
        f |= cpu_pclmul;
    // AVX needs the CPU bit and an OS that saves XMM and YMM state (XCR0 bits 1 and 2).
    const bool os_ymm = (l1.c & (1u << 27)) && (xgetbv0() & 6) == 6;
    if ((l1.c & (1u << 28)) && os_ymm)
        f |= cpu_avx;
    if (max_leaf >= 7) {
        const CpuidResult l7 = cpuid(7, 0);
        if ((l7.b & (1u << 5)) && (f & cpu_avx))
            f |= cpu_avx2;
        if (l7.b & (1u << 29))
            f |= cpu_sha;
        if (l7.b & (1u << 8))
            f |= cpu_bmi2;
        if (l7.b & (1u << 3))
            f |= cpu_bmi1;
        // AVX-512 F (bit 16) and VL (bit 31), with an OS that saves the opmask registers and
        // both halves of the ZMM state (XCR0 bits 5 to 7) besides XMM and YMM.
        if ((l7.b & (1u << 16)) && (l7.b & (1u << 31)) && (f & cpu_avx2) &&
            (xgetbv0() & 0xE6) == 0xE6)
            f |= cpu_avx512;
    }
    return f;
}
#else
uint32_t probe() { return 0; }
#endif

std::atomic<uint32_t> limit{cpu_all_features};

} // namespace

uint32_t cpu_features_detected()
{
    static const uint32_t detected = probe();
    return detected;
}

uint32_t cpu_features() { return cpu_features_detected() & limit.load(std::memory_order_relaxed); }

void limit_cpu_features(uint32_t mask) { limit.store(mask, std::memory_order_relaxed); }

const char* cpu_feature_names(uint32_t features)
{
    static const char* const names[] = {"sse2", "ssse3",  "sse4.1", "avx",  "avx2",
                                        "sha",  "pclmul", "bmi2",   "bmi1", "avx512"};
    static thread_local std::string text;
    text.clear();
    for (unsigned i = 0; i < sizeof names / sizeof names[0]; ++i)
        if (features & (1u << i))
            text += (text.empty() ? "" : " ") + std::string(names[i]);
    if (text.empty())
        text = "portable";
    return text.c_str();
}
