// Shell rules that play alone does not reach: timer 0, a pacing gap past
// half the clock, the command line's quoting, the cursor shape asked for by
// the pointer, the flip before a message box, a start-up that takes time,
// the start-up flags, a click seen by its frame, the screen saver, the
// blink phases, cursor release on deactivation and the settings files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "platform/text/cp932.h"
#include "platform/os/window.h"
#include "shell_fixture.h"

namespace fs = std::filesystem;
using namespace plat;

namespace {

class ShellRules : public ShellTest {
protected:
    void OpenWindow() {
        RegisterWindowClass("DEFAULT", &krSystem::WindowProc, 0x0B);
        krSystemState.mainWindow = CreateMainWindow("DEFAULT", "t", 0, 0, 0, 800, 600);
        ASSERT_NE(krSystemState.mainWindow, 0u);
    }
    static void DispatchQueued() {
        Message m;
        while (PeekMessage(m) && m.message != WM_QUIT) DispatchMessage(m);
    }
};

// ---- wait timers and pacing ----

TEST_F(ShellRules, TimerZeroAndNumbersOutsideTheTableNeverExpire) {
    krSystem::ResetTimersAndKeys();
    headless::SetClock(5000);
    for (int number : {0, -1, 12, 1000}) EXPECT_EQ(krSystem::CheckWait(number), 0) << number;
    krSystemState.waitDeadline[11] = 10;
    EXPECT_EQ(krSystem::CheckWait(11), 1) << "slot 11, the busy delay's, is in the table";
}

TEST_F(ShellRules, AGapOfHalfTheClockOrMoreIsAnOrdinaryLateFrame) {
    krSystem::SetFrameRate(75);
    for (std::uint32_t gap : {0x80000000u, 0x80000000u + 10, 0xFFFFFFF0u, 0x7FFFFFFFu}) {
        krSystem::SetFrameRate(75);
        const std::uint64_t slept = headless::TotalSleptMs();
        headless::AdvanceClock(gap);
        const std::uint32_t now = headless::Clock();
        krSystem::WaitFrame();
        EXPECT_EQ(headless::TotalSleptMs() - slept, 0u) << "gap " << gap;
        EXPECT_EQ(krSystemState.pacingStamp, now) << "the next period starts now";
    }
}

// ---- command line ----

int RunWithArguments(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    std::string program = "pokotanba";
    argv.push_back(program.data());
    for (std::string& a : arguments) argv.push_back(a.data());
    krSystem::SetGameSteps(krGameSteps{[] { krSystemState.scene = 1; },
                                       [] { PostMessage(krSystemState.mainWindow, WM_CLOSE, 0, 0); }});
    return krSystem::Main(static_cast<int>(argv.size()), argv.data());
}

TEST_F(ShellRules, CommandLineKeepsArgumentsWithBlanksAndQuotesQuoted) {
    ASSERT_EQ(RunWithArguments({"a b", "c"}), 0);
    EXPECT_EQ(std::string(krSystem::GetCommandLine()), "\"a b\" c");
    RunWithArguments({"say \"hi\"", "", "x\\y", "end\\ quote\\"});
    EXPECT_EQ(std::string(krSystem::GetCommandLine()), "\"say \\\"hi\\\"\" \"\" x\\y \"end\\ quote\\\\\"");
    RunWithArguments({"plain", "-v"});
    EXPECT_EQ(std::string(krSystem::GetCommandLine()), "plain -v");
    // The arguments arrive as UTF-8 and become code page 932; the second
    // byte of "ソ" (0x83 0x5C) is no backslash to be doubled.
    RunWithArguments({reinterpret_cast<const char*>(u8"ソ 表")});
    EXPECT_EQ(std::string(krSystem::GetCommandLine()), "\"ソ 表\"");
    // Cut to 255 bytes without splitting a two-byte character.
    RunWithArguments({std::string(128, 'y'), reinterpret_cast<const char*>(u8"ああ")});
    EXPECT_EQ(std::string(krSystem::GetCommandLine()), std::string(128, 'y') + " ああ");
    std::string longText;
    for (int i = 0; i < 200; ++i) longText += reinterpret_cast<const char*>(u8"あ");
    RunWithArguments({"z", longText});  // 2 + 400 bytes
    EXPECT_EQ(std::string(krSystem::GetCommandLine()).size(), 254u) << "the last whole character";
}

// ---- cursor shape and message boxes ----

TEST_F(ShellRules, PointerOverTheFullScreenWindowHidesTheCursorUnlessABoxIsUp) {
    OpenWindow();
    headless::SetClientOrigin(0, 0);
    krSystemState.fullScreen = 1;
    headless::MovePointer(400, 300);
    ASSERT_GE(PendingMessageCount(), 2u) << "the cursor shape is asked for, then the move";
    DispatchQueued();
    EXPECT_FALSE(headless::CursorVisible());
    EXPECT_EQ(krSystemState.mouseX, 400);

    krSystemState.messageBoxOpen = 1;
    headless::MovePointer(410, 300);
    DispatchQueued();
    EXPECT_TRUE(headless::CursorVisible()) << "the system's arrow while a box is up";

    krSystemState.messageBoxOpen = 0;
    krSystemState.fullScreen = 0;
    headless::MovePointer(420, 300);
    DispatchQueued();
    EXPECT_TRUE(headless::CursorVisible()) << "windowed: the loop hides it over the picture, not the shape";
    headless::MovePointer(2000, 300);
    EXPECT_EQ(PendingMessageCount(), 0u) << "outside the window nothing is asked";
}

TEST_F(ShellRules, BoxesFlipToTheSystemSurfaceFirstWhileADisplayExists) {
    krSystem::ReportError("krSystem::SetWait", "ウェイトNoが範囲外です");
    ASSERT_EQ(headless::Boxes().size(), 1u);
    EXPECT_EQ(headless::Boxes()[0].flipsBefore, 0) << "no display yet";

    OpenWindow();
    krSystemState.fullScreen = 1;
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    krSystem::ReportError("krSystem::SetWait", "ウェイトNoが範囲外です");
    EXPECT_EQ(headless::Boxes().back().flipsBefore, 1);
    krSystem::Message("m");
    EXPECT_EQ(headless::Boxes().back().flipsBefore, 2);
    krSystem::Ask("a");
    EXPECT_EQ(headless::Boxes().back().flipsBefore, 3);
    krSystem::Shutdown();
    krSystem::Message("after");
    EXPECT_EQ(headless::FlipToGDICount(), 3) << "the display is gone";
    krScreen = krScreenRecord{};
}

// ---- start-up and the loop ----

struct LoopRecord {
    std::vector<float> frameTime;
    std::vector<int> leftClick;
    int frames = 0, closeAfter = 3, waits = 0, activateAfterWaits = -1;
};
LoopRecord loop;

void RecordLoopFrame() {
    loop.frameTime.push_back(krSystemState.frameTime);
    loop.leftClick.push_back(krSystemState.leftClick);
    if (++loop.frames == 1) PostMessage(krSystemState.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 5));
    if (loop.frames == loop.closeAfter) PostMessage(krSystemState.mainWindow, WM_CLOSE, 0, 0);
}

TEST_F(ShellRules, AStartUpThatTakesTimeIsNotTheFirstFrame) {
    loop = LoopRecord{};
    krSystem::SetGameSteps(krGameSteps{[] {
                                           krSystemState.scene = 1;
                                           headless::AdvanceClock(5000);  // loading
                                       },
                                       &RecordLoopFrame});
    ASSERT_EQ(krSystem::Entry("", SW_SHOWNORMAL), 0);
    ASSERT_FALSE(loop.frameTime.empty());
    EXPECT_LT(loop.frameTime[0], 0.002f);
}

TEST_F(ShellRules, AClickIsSeenByTheNextFrameOnly) {
    loop = LoopRecord{};
    loop.closeAfter = 3;
    krSystem::SetGameSteps(krGameSteps{[] { krSystemState.scene = 1; }, &RecordLoopFrame});
    ASSERT_EQ(krSystem::Entry("", SW_SHOWNORMAL), 0);
    EXPECT_EQ(loop.leftClick, (std::vector<int>{0, 1, 0}));
}

TEST_F(ShellRules, StartupFlagsChooseZOrderAndVisibility) {
    OpenWindow();
    const struct {
        int flags, fullScreen;
        bool topmost, visible;
    } cases[] = {{0, 0, true, true}, {1, 0, false, true}, {2, 0, true, true}, {3, 0, false, true},
                 {4, 0, true, false}, {5, 0, false, false}, {0, 1, false, true}};
    for (const auto& c : cases) {
        headless::Instance().SetTopmost(false);
        krSystemState.startupFlags = c.flags;
        krSystemState.fullScreen = c.fullScreen;
        krSystem::ShowMainWindow(SW_SHOWNORMAL);
        EXPECT_EQ(headless::WindowTopmost(), c.topmost) << "flags " << c.flags << ", full screen " << c.fullScreen;
        EXPECT_EQ(headless::WindowVisible(), c.visible) << "flags " << c.flags;
    }
}

TEST_F(ShellRules, WithoutFlag2TheLoopWaitsWhileInactive) {
    for (int flags : {1, 3}) {
        SCOPED_TRACE(flags);
        headless::Reset();
        krSystemState = krSystemStateRecord{};
        krSystem::ProcessStart();
        krSystem::InitState();
        OpenWindow();
        loop = LoopRecord{};
        loop.closeAfter = 2;
        krSystemState.startupFlags = flags;
        krSystemState.active = 0;
        krSystemState.scene = krSystemState.previousScene = 1;
        krSystem::SetGameSteps(krGameSteps{nullptr, &RecordLoopFrame});
        // Every wait for a message pumps the backend: the third one brings
        // the activation.
        headless::SetPumpHook([] {
            if (krSystemState.active == 0 && loop.frames == 0 && ++loop.waits == 3)
                PostMessage(krSystemState.mainWindow, WM_ACTIVATEAPP, 1, 0);
        });
        EXPECT_EQ(krSystem::MessageLoop(), 0);
        EXPECT_EQ(loop.frames, 2);
        if (flags == 1) {
            EXPECT_GE(loop.waits, 3) << "no frame ran before the activation";
        } else {
            EXPECT_LT(loop.waits, 3) << "frames ran while inactive";
        }
        headless::SetPumpHook(nullptr);
    }
}

TEST_F(ShellRules, ScreenSaverRequestNeverReachesTheDefaultHandling) {
    OpenWindow();
    SendMessage(krSystemState.mainWindow, WM_SYSCOMMAND, SC_SCREENSAVE | 3, 0);
    EXPECT_EQ(headless::ScreenSaverStarts(), 0);
    DefWindowProc(krSystemState.mainWindow, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    EXPECT_EQ(headless::ScreenSaverStarts(), 1) << "what the default handling would have done";
}

TEST_F(ShellRules, BlinkIsOnForASecondAndOffForAFifth) {
    krSystemState.blink = 1;
    krSystemState.blinkDeadline = 5000;
    headless::SetClock(5000);
    krSystem::FrameWork();
    ASSERT_EQ(krSystemState.blink, 0);
    const std::uint32_t off = krSystemState.blinkDeadline;
    EXPECT_GE(off, 5200u);
    EXPECT_LE(off, 5202u);
    headless::SetClock(off - 1);
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.blink, 0);
    headless::SetClock(off);
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.blink, 1);
    EXPECT_GE(krSystemState.blinkDeadline, off + 1000);
    EXPECT_LE(krSystemState.blinkDeadline, off + 1002);
}

TEST_F(ShellRules, DeactivationFreesAConfinedCursor) {
    OpenWindow();
    krScreen.screenWidth = 800, krScreen.screenHeight = 600;
    krSystemState.keepCursorClipped = 1;
    krSystem::ConfineCursorToScreen();
    Rect clip;
    ASSERT_TRUE(CursorClipRect(clip));
    SendMessage(krSystemState.mainWindow, WM_ACTIVATEAPP, 0, 0);
    EXPECT_FALSE(CursorClipRect(clip));
    SendMessage(krSystemState.mainWindow, WM_ACTIVATEAPP, 1, 0);
    EXPECT_TRUE(CursorClipRect(clip)) << "confined again on activation";
    krScreen = krScreenRecord{};
}

// ---- settings files ----

class SettingsRules : public ShellRules {
protected:
    void SetUp() override {
        ShellRules::SetUp();
        dir = fs::temp_directory_path() / ("kr_rules_" + std::to_string(getpid()));
        fs::create_directories(dir);
        setenv("KR_SYSTEM_FOLDER", dir.string().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("KR_SYSTEM_FOLDER");
        unsetenv("KR_DESKTOP_BITS");
        krScreen = krScreenRecord{};
        fs::remove_all(dir);
        ShellRules::TearDown();
    }
    fs::path dir;
};

TEST_F(SettingsRules, RedirectionFileWithCrLfLineEnd) {
    std::ofstream(dir / "redirect.txt", std::ios::binary) << "/save/root/\r\nsecond line\r\n";
    krSystem::ReadSaveRoot("redirect.txt");
    EXPECT_EQ(std::string(krSystemState.saveRoot), "/save/root");
    std::ofstream(dir / "redirect.txt", std::ios::binary) << "/plain\r\n";
    krSystem::ReadSaveRoot("redirect.txt");
    EXPECT_EQ(std::string(krSystemState.saveRoot), "/plain");
}

TEST_F(SettingsRules, ColourDepthPromptSavesItsSettingsFile) {
    std::ofstream(dir / "redirect.txt") << dir.string() << "\n";
    krSystem::ReadSaveRoot("redirect.txt");
    fs::create_directories(krSystem::GetBaseFolder(1));
    const std::string saved = std::string(krSystem::GetBaseFolder(1)) + "full.dat";
    krScreen.displayDepth = 24;  // the desktop has 16 bits
    krSystemState.fullScreen = 0;
    headless::QueueAnswer(IDOK);
    headless::QueueAnswer(IDYES);
    EXPECT_EQ(krSystem::CheckColorDepth("full.dat"), 1);
    EXPECT_EQ(krSystemState.fullScreen, 1);
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_EQ(krSystem::LoadNumber("full.dat"), 1);
    ASSERT_EQ(headless::Boxes().size(), 2u);
    EXPECT_EQ(headless::Boxes()[1].textUtf8, Cp932ToUtf8("フルスクリーンに設定し直しますか？\r\n"));

    fs::remove(saved);
    krSystemState.fullScreen = 0;
    headless::QueueAnswer(IDOK);
    headless::QueueAnswer(IDYES);
    EXPECT_EQ(krSystem::CheckColorDepth("*"), 1);
    EXPECT_FALSE(fs::exists(dir / "*")) << "\"*\" saves nothing";
    EXPECT_FALSE(fs::exists(saved));
}

}  // namespace
