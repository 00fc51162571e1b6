// A fresh shell on the headless backend for every test.
#pragma once
#include <gtest/gtest.h>

#include "platform/os/backend.h"
#include "platform/headless/headless.h"
#include "system/krSystem.h"

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
    }
    void TearDown() override { plat::headless::Reset(); }
};
