// Test runner: every test starts on the headless backend.
#include <gtest/gtest.h>

#include "platform/os/backend.h"
#include "platform/headless/headless.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    plat::SetBackend(&plat::headless::Instance());
    return RUN_ALL_TESTS();
}
