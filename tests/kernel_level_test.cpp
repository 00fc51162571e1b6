// The kernel levels: the portable level exists on every processor, and
// KR_KERNEL_LEVEL caps what the program may use (the test command runs the
// whole suite once with it set to portable, and this test checks that the
// run really stays there).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/pixels/blit_kernels.h"

namespace {

using plat::kernels::KernelLevel;

class KernelLevelTest : public ::testing::Test {
protected:
    void TearDown() override { plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel()); }
};

TEST_F(KernelLevelTest, ThePortableLevelIsAlwaysThere) {
    ASSERT_TRUE(plat::kernels::UseKernelLevel(KernelLevel::kPortable));
    EXPECT_EQ(plat::kernels::ActiveKernelLevel(), KernelLevel::kPortable);
    EXPECT_STREQ(plat::kernels::ActiveKernelName(), "portable");
}

TEST_F(KernelLevelTest, TheEnvironmentCapsEveryLevelAboveIt) {
    const char* cap = std::getenv("KR_KERNEL_LEVEL");
    if (!cap || std::strcmp(cap, "portable") != 0) {
#if KR_KERNELS_X86
        EXPECT_NE(plat::kernels::BestKernelLevel(), KernelLevel::kPortable);
#endif
        GTEST_SKIP() << "the levels are not capped to portable in this run";
    }
    EXPECT_EQ(plat::kernels::BestKernelLevel(), KernelLevel::kPortable);
    EXPECT_EQ(plat::kernels::ActiveKernelLevel(), KernelLevel::kPortable);
    for (KernelLevel level : {KernelLevel::kSse2, KernelLevel::kAvx2, KernelLevel::kAvx512})
        EXPECT_FALSE(plat::kernels::UseKernelLevel(level)) << static_cast<int>(level);
    EXPECT_EQ(plat::kernels::ActiveKernelLevel(), KernelLevel::kPortable);
}

}  // namespace
