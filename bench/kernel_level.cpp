// KR_BENCH_LEVEL=portable, sse2, avx2 or avx512 in the environment runs the
// benchmarks with the pixel kernels of that instruction-set level rather
// than the best the processor has, to see what machines without it get.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/pixels/blit_kernels.h"

namespace {

bool ChooseLevelFromEnvironment() {
    using plat::kernels::KernelLevel;
    const char* name = std::getenv("KR_BENCH_LEVEL");
    if (!name || !*name) return false;
    KernelLevel level;
    if (std::strcmp(name, "portable") == 0) level = KernelLevel::kPortable;
    else if (std::strcmp(name, "sse2") == 0) level = KernelLevel::kSse2;
    else if (std::strcmp(name, "avx2") == 0) level = KernelLevel::kAvx2;
    else if (std::strcmp(name, "avx512") == 0) level = KernelLevel::kAvx512;
    else {
        std::fprintf(stderr, "KR_BENCH_LEVEL: %s is not portable, sse2, avx2 or avx512\n", name);
        std::exit(2);
    }
    if (!plat::kernels::UseKernelLevel(level)) {
        std::fprintf(stderr, "KR_BENCH_LEVEL: the processor lacks %s\n", name);
        std::exit(2);
    }
    std::fprintf(stderr, "pixel kernels at %s\n", plat::kernels::ActiveKernelName());
    return true;
}

[[maybe_unused]] const bool levelChosen = ChooseLevelFromEnvironment();

}  // namespace
