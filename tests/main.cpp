// Test runner: every test starts on the headless backend.
#include <gtest/gtest.h>

#include "platform/os/backend.h"
#include "platform/headless/headless.h"

#include <cstdlib>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A headless program (this one, or one a test starts) whose message loop
    // does not end fails within seconds instead of hanging the suite; the
    // shell tests' own bound (shell_fixture.h) fires well before this one.
    setenv("KR_HEADLESS_MAX_PASSES", "20000000", 0);
    plat::SetBackend(&plat::headless::Instance());
    return RUN_ALL_TESTS();
}
