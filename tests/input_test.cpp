// Keyboard, mouse and joystick input.
#include <gtest/gtest.h>

#include <vector>

#include "draw/krDraw.h"
#include "input/krJoystick.h"
#include "platform/os/window.h"
#include "shell_fixture.h"

using namespace plat;

class InputTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        RegisterWindowClass("DEFAULT", &krSystem::WindowProc, 0x0B);
        hwnd = CreateMainWindow("DEFAULT", "t", 0, 0, 0, 800, 600);
        krSystemState.mainWindow = hwnd;
    }
    void Deliver(std::uint32_t msg, std::uintptr_t w = 0, std::intptr_t l = 0) {
        DispatchMessage(Message{hwnd, msg, w, l});
    }
    // Polls a key once per step; each step first delivers the given message.
    std::vector<int> PollSequence(int vk, const std::vector<std::uint32_t>& messages) {
        std::vector<int> states;
        std::int32_t state = 0;
        for (std::uint32_t m : messages) {
            if (m) Deliver(m, static_cast<std::uintptr_t>(vk));
            krSystem::PollKey(vk, state);
            states.push_back(state);
        }
        return states;
    }
    HWND hwnd = 0;
};

TEST_F(InputTest, PollKeyGivesFourValuedStates) {
    EXPECT_EQ(PollSequence(VK_LEFT, {WM_KEYDOWN, 0, 0, WM_KEYUP, 0}), (std::vector<int>{1, 3, 3, 2, 0}));
    // Pressed again at the poll right after the release: 2 then 3, no 1.
    EXPECT_EQ(PollSequence(VK_UP, {WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN, 0}), (std::vector<int>{1, 2, 3, 3}));
}

TEST_F(InputTest, SuspendedInputPollsZeroThenOneIfStillDown) {
    std::int32_t state = 0;
    Deliver(WM_KEYDOWN, 'C');
    krSystem::SuspendInput();
    krSystem::PollKey('C', state);
    EXPECT_EQ(state, 0);
    krSystem::ResumeInput();
    krSystem::PollKey('C', state);
    EXPECT_EQ(state, 1);
}

TEST_F(InputTest, KeyBookkeeping) {
    Deliver(WM_KEYDOWN, 'A');
    EXPECT_EQ(krSystemState.heldKey, 'A');
    EXPECT_EQ(krSystemState.lastKey, 'A');
    Deliver(WM_KEYUP, 'A');
    EXPECT_EQ(krSystemState.heldKey, 0);
    EXPECT_EQ(krSystemState.lastKey, 'A');

    krSystem::WatchKey(VK_SHIFT);
    Deliver(WM_KEYUP, VK_SHIFT);
    Deliver(WM_KEYUP, VK_SHIFT);
    Deliver(WM_KEYUP, VK_SHIFT);
    EXPECT_EQ(krSystemState.shiftToggle, 1);
    EXPECT_EQ(krSystem::WatchedKeyCount(), 3);
}

TEST_F(InputTest, WaitReleaseReportsACompletePressAndRelease) {
    const int codes[] = {'Z', 1, 0};
    Deliver(WM_KEYDOWN, 'Z');
    EXPECT_EQ(krSystem::WaitRelease(codes), 0);  // held when the wait starts
    Deliver(WM_KEYUP, 'Z');
    EXPECT_EQ(krSystem::WaitRelease(codes), 'Z');  // the earlier press still counts once released
    EXPECT_EQ(krSystemState.lastKey, 0);
    EXPECT_EQ(krSystem::WaitRelease(codes), 0);

    Deliver(WM_LBUTTONDOWN);
    EXPECT_EQ(krSystem::WaitRelease(codes), 0);
    Deliver(WM_LBUTTONUP);
    EXPECT_EQ(krSystem::WaitRelease(codes), 1);

    Deliver(WM_KEYDOWN, 'Q');  // not listed
    Deliver(WM_KEYUP, 'Q');
    EXPECT_EQ(krSystem::WaitRelease(codes), 0);
}

TEST_F(InputTest, MouseButtonsAndDoubleClicks) {
    Deliver(WM_MOUSEMOVE, 0, MakeLParam(123, 456));
    EXPECT_EQ(krSystemState.mouseX, 123);
    EXPECT_EQ(krSystemState.mouseY, 456);

    // A fast double click: down, up, double-click message, up.
    Deliver(WM_LBUTTONDOWN);
    EXPECT_EQ(krSystemState.leftDown, 1);
    Deliver(WM_LBUTTONUP);
    Deliver(WM_LBUTTONDBLCLK);
    EXPECT_EQ(krSystemState.leftDown, 0);
    Deliver(WM_LBUTTONUP);
    EXPECT_EQ(krSystemState.leftClick, 1);
    EXPECT_EQ(krSystemState.leftDoubleClick, 1);
    EXPECT_EQ(krSystemState.leftPressed, 1);

    // Left, then right, then left released: the right one is the held button.
    Deliver(WM_LBUTTONDOWN);
    Deliver(WM_RBUTTONDOWN);
    Deliver(WM_LBUTTONUP);
    EXPECT_EQ(krSystemState.buttonDown, 2);
    Deliver(WM_RBUTTONUP);
    EXPECT_EQ(krSystemState.buttonDown, 0);
    EXPECT_EQ(krSystemState.lastButton, 2);
}

TEST_F(InputTest, SuspendedLeftButtonGoesToCaptureOnly) {
    krSystem::SuspendInput();
    Deliver(WM_LBUTTONDOWN);
    EXPECT_EQ(krSystemState.captureLeft, 1);
    EXPECT_EQ(krSystemState.leftDown, 0);
    Deliver(WM_RBUTTONDOWN);
    EXPECT_EQ(krSystemState.rightDown, 0);
    Deliver(WM_LBUTTONUP);
    EXPECT_EQ(krSystemState.captureLeft, 0);
}

TEST_F(InputTest, RightDoubleClickTogglesConfinement) {
    krScreen.screenWidth = 800;
    krScreen.screenHeight = 600;
    krSystemState.keepCursorClipped = 1;
    krSystemState.fullScreen = 0;
    krSystemState.clientLeft = 10;
    krSystemState.clientTop = 20;
    Deliver(WM_RBUTTONDBLCLK);
    Rect clip;
    ASSERT_TRUE(CursorClipRect(clip));
    EXPECT_EQ(clip.left, 10);
    EXPECT_EQ(clip.bottom, 620);
    EXPECT_EQ(krSystem::IsCursorClipped(), 1);
    Deliver(WM_RBUTTONDBLCLK);
    EXPECT_FALSE(CursorClipRect(clip));
    EXPECT_EQ(krSystem::IsCursorClipped(), 0);
}

TEST_F(InputTest, MoveCursorIsClientRelative) {
    krSystemState.clientLeft = 100;
    krSystemState.clientTop = 200;
    krSystem::MoveCursor(5, 6);
    Point p;
    GetCursorPos(p);
    EXPECT_EQ(p.x, 105);
    EXPECT_EQ(p.y, 206);
}

class JoystickTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        headless::SetJoystick(0, true, 32767, 32767, 0);
        krJoystick::Init();
    }
};

TEST_F(JoystickTest, CentreAndDirections) {
    int cx, cy;
    krJoystick::GetCentre(0, &cx, &cy);
    EXPECT_EQ(cx, 32767);
    krJoystick::GetCentre(1, &cx, &cy);
    EXPECT_EQ(cx, 0);  // absent at start-up

    int dx, dy;
    headless::SetJoystick(0, true, 16383, 49150);
    krJoystick::Direction(0, &dx, &dy);
    EXPECT_EQ(dx, -1);
    EXPECT_EQ(dy, 1);
    headless::SetJoystick(0, true, 16384, 49149);
    krJoystick::Direction(0, &dx, &dy);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);
    headless::SetJoystick(0, true, 0, 0);
    EXPECT_EQ(krJoystick::Pad(0), 7);
    headless::SetJoystick(0, true, 65535, 65535);
    EXPECT_EQ(krJoystick::Pad(0), 3);
    EXPECT_EQ(krJoystick::Pad(1), 5);  // absent
}

TEST_F(JoystickTest, ButtonsAndPressStates) {
    headless::SetJoystick(0, true, 32767, 32767, 0x80000001u);
    EXPECT_EQ(krJoystick::Button(0, 1), 1);
    EXPECT_EQ(krJoystick::Button(0, 32), 1);
    EXPECT_EQ(krJoystick::Button(0, 2), 0);
    EXPECT_EQ(krJoystick::ButtonState(0, 1), 1);
    EXPECT_EQ(krJoystick::ButtonState(0, 1), 3);
    headless::SetJoystick(0, false);
    EXPECT_EQ(krJoystick::ButtonState(0, 1), 0);
    EXPECT_EQ(krJoysticks[0].buttonState[0], 3);  // unplugged: stored state kept
    headless::SetJoystick(0, true, 32767, 32767, 0);
    EXPECT_EQ(krJoystick::ButtonState(0, 1), 2);
}

TEST_F(JoystickTest, ChargeGrowsCapsAndDrops) {
    krJoystick::SetSpeeds(0, 0.0f, 100.0f);
    krSystemState.frameTime = 0.3f;
    headless::SetJoystick(0, true, 32767, 32767, 0x1);
    EXPECT_EQ(krJoystick::Charge(0, 1), 30);
    EXPECT_EQ(krJoystick::Charge(0, 1), 60);
    EXPECT_EQ(krJoystick::Charge(0, 1), 90);
    EXPECT_EQ(krJoystick::Charge(0, 1), 100);
    EXPECT_EQ(krJoysticks[0].charge[0], 100.0f);
    headless::SetJoystick(0, true, 32767, 32767, 0);
    EXPECT_EQ(krJoystick::Charge(0, 1), 0);
}

TEST_F(JoystickTest, StickMovesAndReturnsExactlyToZero) {
    krJoystick::SetSpeeds(0, 100.0f, 0.0f);
    krSystemState.frameTime = 0.4f;
    int x, y;
    headless::SetJoystick(0, true, 65535, 32767);
    krJoystick::Stick(0, &x, &y);
    EXPECT_EQ(x, 40);
    krJoystick::Stick(0, &x, &y);
    krJoystick::Stick(0, &x, &y);
    EXPECT_EQ(x, 100);
    headless::SetJoystick(0, true, 32767, 32767);
    krSystemState.frameTime = 0.7f;
    krJoystick::Stick(0, &x, &y);
    EXPECT_EQ(x, 30);
    krJoystick::Stick(0, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(krJoysticks[0].stickX, 0.0f);
    headless::SetJoystick(0, false);
    krJoystick::Stick(0, &x, &y);
    EXPECT_EQ(x, 0);
    int rx = 7, ry = 7;
    krJoystick::Position(0, &rx, &ry);
    EXPECT_EQ(rx, 0);
}
