// Input rules that play does not reach: a negative stick value easing back
// to rest, the release wait dropping its candidate when another key comes
// between, and the joystick charges kept over a failed read.
#include <gtest/gtest.h>

#include "input/krJoystick.h"
#include "platform/os/window.h"
#include "shell_fixture.h"

using namespace plat;

namespace {

class InputRules : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        RegisterWindowClass("DEFAULT", &krSystem::WindowProc, 0x0B);
        hwnd = CreateMainWindow("DEFAULT", "t", 0, 0, 0, 800, 600);
        krSystemState.mainWindow = hwnd;
        headless::SetJoystick(0, true, 32767, 32767, 0);
        krJoystick::Init();
    }
    void Key(std::uint32_t message, int vk) { DispatchMessage(Message{hwnd, message, static_cast<std::uintptr_t>(vk), 0}); }
    HWND hwnd = 0;
};

TEST_F(InputRules, ANegativeStickValueEasesBackToZeroAndStops) {
    krJoystick::SetSpeeds(0, 100.0f, 0.0f);
    krSystemState.frameTime = 0.4f;
    int x = 0, y = 0;
    headless::SetJoystick(0, true, 0, 65535);  // left and down
    for (int expected : {-40, -80, -100, -100}) {
        krJoystick::Stick(0, &x, &y);
        EXPECT_EQ(x, expected);
        EXPECT_EQ(y, -expected);
    }
    headless::SetJoystick(0, true, 32767, 32767);
    krSystemState.frameTime = 0.7f;
    krJoystick::Stick(0, &x, &y);
    EXPECT_EQ(x, -30) << "back towards 0 by speed x frame time";
    EXPECT_EQ(y, 30);
    krJoystick::Stick(0, &x, &y);
    EXPECT_EQ(x, 0) << "and no further than 0";
    EXPECT_EQ(krJoysticks[0].stickX, 0.0f);
    EXPECT_EQ(krJoysticks[0].stickY, 0.0f);
}

TEST_F(InputRules, ReleaseWaitDropsItsCandidateWhenAnotherKeyComesBetween) {
    const int codes[] = {'Z', 0};
    EXPECT_EQ(krSystem::WaitRelease(codes), 0);  // nothing held: the wait starts
    Key(WM_KEYDOWN, 'Z');
    EXPECT_EQ(krSystem::WaitRelease(codes), 0);  // Z is the candidate, still held
    Key(WM_KEYDOWN, 'X');                         // another key, held over Z's release
    EXPECT_EQ(krSystem::WaitRelease(codes), 0);
    Key(WM_KEYUP, 'Z');
    Key(WM_KEYUP, 'X');
    EXPECT_EQ(krSystem::WaitRelease(codes), 0) << "Z's press was spoilt by X";
    EXPECT_EQ(krSystem::WaitRelease(codes), 0);
    Key(WM_KEYDOWN, 'Z');
    Key(WM_KEYUP, 'Z');
    EXPECT_EQ(krSystem::WaitRelease(codes), 'Z') << "a clean press counts";
}

TEST_F(InputRules, ChargesAreKeptOverAFailedRead) {
    krJoystick::SetSpeeds(0, 0.0f, 100.0f);
    krSystemState.frameTime = 0.25f;
    headless::SetJoystick(0, true, 32767, 32767, 0x3);
    int charges[4] = {};
    krJoystick::Charges(0, charges);
    krJoystick::Charges(0, charges);
    EXPECT_EQ(charges[0], 50);
    EXPECT_EQ(charges[1], 50);
    headless::SetJoystick(0, false);
    krJoystick::Charges(0, charges);
    EXPECT_EQ(charges[0] + charges[1] + charges[2] + charges[3], 0) << "the result of a failed read";
    EXPECT_EQ(krJoysticks[0].charge[0], 50.0f) << "the stored charges stay";
    EXPECT_EQ(krJoysticks[0].charge[1], 50.0f);
    headless::SetJoystick(0, true, 32767, 32767, 0x1);
    krJoystick::Charges(0, charges);
    EXPECT_EQ(charges[0], 75) << "holding on from where it was";
    EXPECT_EQ(charges[1], 0);
    // The single-button form sets the charge to 0 on a failed read.
    headless::SetJoystick(0, false);
    EXPECT_EQ(krJoystick::Charge(0, 1), 0);
    EXPECT_EQ(krJoysticks[0].charge[0], 0.0f);
}

}  // namespace
