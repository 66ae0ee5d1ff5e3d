// A fixed amount of work for counting executed instructions (tools/insn_per_byte.sh runs it
// under qemu-i386 with an instruction-counting plugin): feeds MiB mebibytes of a fixed
// pattern through one algorithm's update in 2 MiB chunks, then finishes, at a feature level. MIB 0
// feeds nothing. Timing plays no part, so the count is the same on every run of the same build.
//
// Usage: insn_bench NAME MIB portable|best (MIB may be 0)
// "portable" limits the features to none; "best" lifts the limit (what the processor, or the
// emulator, offers). Prints the features in force and the first digest byte.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "digest/catalogue.h"
#include "digest/cpu_features.h"

int main(int argc, char** argv)
{
    if (argc != 4 || (std::strcmp(argv[3], "portable") != 0 && std::strcmp(argv[3], "best") != 0)) {
        std::fprintf(stderr, "usage: insn_bench NAME MIB portable|best\n");
        return 2;
    }
    const std::string name = argv[1];
    const std::wstring wide_name(name.begin(), name.end());
    const AlgorithmId id = algorithm_id_from_name(wide_name.c_str());
    const unsigned long mib = std::strtoul(argv[2], nullptr, 10);
    limit_cpu_features(std::strcmp(argv[3], "portable") == 0 ? 0 : cpu_all_features);
    std::unique_ptr<HashAlgorithm> digest(create_algorithm(id));
    if (!digest) {
        std::fprintf(stderr, "insn_bench: no algorithm %s\n", name.c_str());
        return 2;
    }
    std::vector<uint8_t> chunk(2097152);
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    const uint64_t total = static_cast<uint64_t>(mib) << 20;
    for (uint64_t done = 0; done < total; done += chunk.size()) {
        const uint64_t length = std::min<uint64_t>(chunk.size(), total - done);
        digest->update(chunk.data(), static_cast<uint32_t>(length));
    }
    digest->finish();
    uint8_t out[HashAlgorithm::max_digest_size] = {};
    digest->get_digest(out);
    std::printf("%s %s features=%s first=%02x\n", name.c_str(), argv[3],
                cpu_feature_names(cpu_features()), out[0]);
    return 0;
}
