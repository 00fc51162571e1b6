// The endurance runs' leak check: memory samples taken every few minutes
// of play, and how far the live heap rose over the first of them (the
// baseline, taken once caches are filled). Kept apart so that the unit
// tests can check the figure on made-up samples.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

namespace kr_endurance {

// What the live heap may grow by over an hour after the baseline: about
// twice the largest rise measured (18 KB in the showcase, while FluidSynth
// holds the voices of a piece; the game stays within a few bytes). A leak
// of one byte per frame would add 66 KB in the showcase, 254 KB in the game.
constexpr long long kAllowedGrowth = 32 * 1024;

struct Sample {
    long frame = 0;
    std::uint32_t minute = 0;
    long long live = 0, resident = 0;  // bytes
};

// The largest rise of the live heap over the first sample; 0 when it never
// rose above it. A spike counts as a rise even when it falls back.
inline long long HeapGrowth(const std::vector<Sample>& samples) {
    long long most = 0;
    for (const Sample& s : samples) most = std::max(most, s.live - samples.front().live);
    return most;
}

}  // namespace kr_endurance
