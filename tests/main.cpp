// Test runner: every test starts on the headless backend.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/os/backend.h"
#include "platform/headless/headless.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A headless program (this one, or one a test starts) whose message loop
    // does not end stops within seconds instead of hanging the suite.
    setenv("KR_HEADLESS_LOOP_BOUND", "1", 0);
    plat::SetBackend(&plat::headless::Instance());
    return RUN_ALL_TESTS();
}
