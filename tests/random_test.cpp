// The engine's own random numbers are the same on every system: the
// sequence the golden frames were made with, whatever the C library.
#include <gtest/gtest.h>

#include <vector>

#include "platform/os/random.h"

namespace {

std::vector<int> First(unsigned seed, int n) {
    plat::SeedRandom(seed);
    std::vector<int> values;
    for (int i = 0; i < n; ++i) values.push_back(plat::Random());
    return values;
}

TEST(RandomTest, SeedOneGivesTheSequenceTheFramesWereMadeWith) {
    EXPECT_EQ(First(1, 5), (std::vector<int>{1804289383, 846930886, 1681692777, 1714636915, 1957747793}));
}

TEST(RandomTest, ZeroCountsAsOneAndReseedingStartsAgain) {
    EXPECT_EQ(First(0, 8), First(1, 8));
    const std::vector<int> a = First(12345, 50);
    EXPECT_EQ(First(12345, 50), a);
    EXPECT_NE(First(12346, 50), a);
}

TEST(RandomTest, SeedsWithTheTopBitSetStayInRange) {
    for (unsigned seed : {0x80000000u, 0xFFFFFFFFu, 0xDEADBEEFu}) {
        plat::SeedRandom(seed);
        for (int i = 0; i < 10000; ++i) {
            const int v = plat::Random();
            ASSERT_GE(v, 0);
            ASSERT_LE(v, plat::kRandomMax);
        }
    }
}

}  // namespace
