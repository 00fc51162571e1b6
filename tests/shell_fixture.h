// A fresh shell on the headless backend for every test.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/os/backend.h"
#include "platform/os/window.h"
#include "platform/headless/headless.h"
#include "system/krSystem.h"

// A message loop that a fault keeps from ending (a shut-down that posts no
// quit message, start-up flags that wait for an activation no one sends)
// would run for ever on the virtual clock. Every look at the queue counts a
// pass; past the bound the test fails and the loop is told to quit, and a
// loop that does not even end then stops the program.
namespace loop_bound {
inline constexpr long kMaxPasses = 500000;
inline long passes = 0;
inline bool armed = false;

inline void CountPass() {
    if (!armed) return;
    ++passes;
    if (passes == kMaxPasses) {
        ADD_FAILURE() << "the message loop looked at its queue " << kMaxPasses << " times without ending";
        plat::PostQuitMessage(0);
    } else if (passes == 2 * kMaxPasses) {
        std::fprintf(stderr, "the message loop does not end even when told to quit\n");
        std::abort();
    }
}

inline void Arm() {
    passes = 0;
    armed = true;
    plat::AddMainThreadHook(&CountPass);
}
inline void Disarm() { armed = false; }
}  // namespace loop_bound

class ShellTest : public testing::Test {
protected:
    void SetUp() override {
        plat::SetBackend(&plat::headless::Instance());
        plat::headless::Reset();
        plat::headless::SetClock(1000);
        krSystemState = krSystemStateRecord{};
        krSystem::ProcessStart();
        krSystem::InitState();
        krSystem::SetGameSteps(krGameSteps{});
        loop_bound::Arm();
    }
    void TearDown() override {
        loop_bound::Disarm();
        plat::headless::Reset();
    }
};
