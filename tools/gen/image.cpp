// Failure and deterministic noise of the asset generators.
#include "tools/gen/image.h"

#include <cstdio>
#include <cstdlib>

namespace gen {
namespace {

const char* programName = "gen";

}  // namespace

void setProgramName(const char* name) { programName = name; }

void fail(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", programName, why.c_str());
    std::exit(1);
}

int misused(const std::string& problem) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", programName, problem.c_str(), programName);
    return 2;
}

uint32_t hash3(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x9e3779b9u ^ uint32_t(x) * 0x85ebca6bu ^ uint32_t(y) * 0xc2b2ae35u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}
double noise01(int x, int y, uint32_t seed) { return hash3(x, y, seed) / 4294967296.0; }

}  // namespace gen
