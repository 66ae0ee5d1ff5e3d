// Linked into dravik_capped.exe, which is Dravik.exe with a cap on the processor features its
// digest objects may use, for benchmarks only: the shipped program reads no environment. At
// start-up, before any digest object exists, DRAVIK_CPU_FEATURES (a CpuFeature mask in hex,
// "0x1F" = up to AVX2 without the SHA extensions, "0" = the portable code throughout) limits
// cpu_features(); without it nothing is limited.
#include <cstdlib>

#include "digest/cpu_features.h"

namespace {

const bool capped = [] {
    const char* text = std::getenv("DRAVIK_CPU_FEATURES");
    if (text == nullptr || *text == '\0')
        return false;
    limit_cpu_features(static_cast<uint32_t>(std::strtoul(text, nullptr, 16)));
    return true;
}();

} // namespace
