// The endurance runs' leak figure on made-up samples: a leak must show as
// growth over the allowance, and a heap that falls or stays flat must not.
#include <gtest/gtest.h>

#include <vector>

#include "endurance/heap_growth.h"

namespace {

using kr_endurance::HeapGrowth;
using kr_endurance::kAllowedGrowth;

// Samples every five minutes with these live heap sizes.
std::vector<kr_endurance::Sample> Heap(const std::vector<long long>& live) {
    std::vector<kr_endurance::Sample> samples;
    for (std::size_t i = 0; i < live.size(); ++i)
        samples.push_back({static_cast<long>(i) * 22500, static_cast<std::uint32_t>(5 * (i + 1)), live[i], 0});
    return samples;
}

TEST(HeapGrowth, ASteadyLeakIsItsWholeRise) {
    constexpr long long kBase = 50 << 20, kLeak = 8 << 20;
    std::vector<long long> live;
    for (int i = 0; i < 12; ++i) live.push_back(kBase + kLeak * i / 11);
    EXPECT_EQ(HeapGrowth(Heap(live)), kLeak);
    EXPECT_GT(HeapGrowth(Heap(live)), kAllowedGrowth) << "a leak of 8 MB passes the check";
    // One byte a frame in the game (22,500 frames between samples): over the allowance too.
    EXPECT_GT(HeapGrowth(Heap({kBase, kBase + 22500, kBase + 45000, kBase + 67500})), kAllowedGrowth);
}

TEST(HeapGrowth, AFallIsNoGrowth) {
    EXPECT_EQ(HeapGrowth(Heap({4000000, 3990000, 3500000, 1000000})), 0);
    EXPECT_EQ(HeapGrowth(Heap({4000000, 4000000, 4000000})), 0);
    // Below the baseline and back above it: only the part above counts.
    EXPECT_EQ(HeapGrowth(Heap({4000000, 3000000, 4000100})), 100);
}

TEST(HeapGrowth, ASpikeCountsAsGrowthEvenWhenItFallsBack) {
    EXPECT_EQ(HeapGrowth(Heap({1000000, 1000000, 1018000, 1000000, 999000})), 18000);
    EXPECT_EQ(HeapGrowth(Heap({1000000, 9000000, 1000000})), 8000000);
    EXPECT_EQ(HeapGrowth(Heap({1000000})), 0);
}

}  // namespace
