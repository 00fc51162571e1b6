// The shell: entry and loop, window procedure and shut-down, pacing and wait
// timers, error boxes and the system services.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
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

// What the game steps of a test saw, frame by frame.
struct Recorder {
    std::vector<int> sceneChanged;
    std::vector<float> frameTime;
    std::vector<std::uint32_t> frameClock;
    int closeAfter = 3;
    void (*onFrame)(int frame) = nullptr;
};
Recorder rec;

void StartScene1() {
    krSystem::SetFrameRate(75);
    krSystemState.scene = 1;
    krSystemState.previousScene = 0;
}

void RecordFrame() {
    rec.sceneChanged.push_back(krSystemState.sceneChanged);
    rec.frameTime.push_back(krSystemState.frameTime);
    rec.frameClock.push_back(headless::Clock());
    int n = static_cast<int>(rec.sceneChanged.size());
    if (rec.onFrame) rec.onFrame(n);
    if (n == rec.closeAfter) PostMessage(krSystemState.mainWindow, WM_CLOSE, 0, 0);
}

int RunGame(int closeAfter, void (*onFrame)(int) = nullptr) {
    rec = Recorder{};
    rec.closeAfter = closeAfter;
    rec.onFrame = onFrame;
    krSystem::SetGameSteps(krGameSteps{&StartScene1, &RecordFrame});
    return krSystem::Entry("", SW_SHOWNORMAL);
}

std::string Utf8(const char* cp932) { return Cp932ToUtf8(cp932); }

}  // namespace

class EntryTest : public ShellTest {};

TEST_F(EntryTest, OpensCaptionedWindowAndRunsFramesUntilClosed) {
    EXPECT_EQ(RunGame(3), 0);
    EXPECT_EQ(headless::WindowCaption(), Utf8("ポコタンバ！"));
    EXPECT_FALSE(headless::WindowTopmost());  // start-up flags 3 keep the ordinary z-order
    ASSERT_EQ(rec.sceneChanged.size(), 3u);
    EXPECT_EQ(rec.sceneChanged[0], 1);  // first frame of the first scene
    EXPECT_EQ(rec.sceneChanged[1], 0);
    EXPECT_EQ(rec.frameTime[0], 0.0f);  // clock restarted after loading
    EXPECT_EQ(krSystemState.shutdownDone, 1);
    EXPECT_FALSE(headless::WindowExists());
    EXPECT_EQ(std::string(krSystem::GetCommandLine()), "");
}

TEST_F(EntryTest, SecondCopyRaisesTheFirstAndMakesNoWindow) {
    headless::SetHeldByOther(Utf8("ポコタンバ！:KrMutex"), true);
    EXPECT_EQ(RunGame(1), 0);
    EXPECT_TRUE(rec.sceneChanged.empty());
    EXPECT_FALSE(headless::WindowExists());
    ASSERT_EQ(headless::RaiseRequests().size(), 1u);
    EXPECT_EQ(headless::RaiseRequests()[0], Utf8("ポコタンバ！:KrMutex"));
}

TEST_F(EntryTest, NoDisplayIsAFailureNotSuccess) {
    headless::FailWindowCreation(true);
    EXPECT_NE(RunGame(1), 0);
    EXPECT_FALSE(headless::InstanceLockHeld());
}

TEST_F(EntryTest, LongCommandLineIsCutTo255Bytes) {
    std::string longLine(600, 'x');
    std::vector<char*> argv;
    std::string prog = "pokotanba";
    argv.push_back(prog.data());
    argv.push_back(longLine.data());
    rec = Recorder{};
    rec.closeAfter = 1;
    krSystem::SetGameSteps(krGameSteps{&StartScene1, &RecordFrame});
    EXPECT_EQ(krSystem::Main(2, argv.data()), 0);
    EXPECT_EQ(std::string(krSystem::GetCommandLine()), std::string(255, 'x'));
}

TEST_F(EntryTest, SceneChangeInsideAFrameMarksOnlyTheNextFrame) {
    RunGame(4, [](int frame) {
        if (frame == 2) krSystemState.scene = 1;  // no change
    });
    EXPECT_EQ(rec.sceneChanged, (std::vector<int>{1, 0, 0, 0}));

    krSystemState.scene = 1;
    krSystemState.previousScene = 1;
    krSystem::SetGameSteps(krGameSteps{nullptr, [] {
                                           rec.sceneChanged.push_back(krSystemState.sceneChanged);
                                           if (rec.sceneChanged.size() == 1) krSystemState.scene = 2;
                                       }});
    rec = Recorder{};
    krSystem::FrameWork();  // scene 1 frame changes to scene 2
    EXPECT_EQ(krSystemState.sceneChanged, 1);
    krSystem::FrameWork();  // scene 2 runs nothing; the mark clears
    EXPECT_EQ(krSystemState.sceneChanged, 0);
}

TEST_F(EntryTest, PacedFramesAre13MsApartAt75) {
    RunGame(6);
    ASSERT_EQ(rec.frameTime.size(), 6u);
    for (std::size_t i = 2; i < rec.frameClock.size(); ++i)
        EXPECT_EQ(rec.frameClock[i] - rec.frameClock[i - 1], 13u) << "frame " << i;
    EXPECT_NEAR(rec.frameTime[3], 0.013f, 0.0015f);
}

TEST_F(EntryTest, BlinkTogglesAfter1000AndThen200Ms) {
    krSystemState.blink = 1;
    krSystemState.blinkDeadline = 5000;
    headless::SetClock(4990);
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.blink, 1);
    headless::SetClock(5000);
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.blink, 0);
    EXPECT_NEAR(static_cast<double>(krSystemState.blinkDeadline), 5200.0, 2.0);
}

TEST_F(EntryTest, CursorHidesOverThePictureWithOneCounterStep) {
    krSystemState.fullScreen = 0;
    krSystemState.clientLeft = 100;
    krSystemState.clientTop = 50;
    headless::SetCursorDesktopPos(100, 50);  // top-left edge is inside
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.cursorShown, 0);
    EXPECT_EQ(CursorDisplayCounter(), -1);
    krSystem::FrameWork();
    EXPECT_EQ(CursorDisplayCounter(), -1);  // never hidden twice
    headless::SetCursorDesktopPos(900, 50);  // right edge is outside
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.cursorShown, 1);
    EXPECT_EQ(CursorDisplayCounter(), 0);
    EXPECT_TRUE(headless::CursorVisible());

    headless::SetCursorDesktopPos(150, 60);
    krSystemState.messageBoxOpen = 1;  // a box keeps the cursor alone
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.cursorShown, 1);
}

TEST_F(EntryTest, MouseDeltasAndClickFlagsLastOneFrame) {
    krSystemState.prevMouseX = 10;
    krSystemState.mouseX = 25;
    krSystemState.prevMouseY = 40;
    krSystemState.mouseY = 30;
    krSystemState.leftClick = krSystemState.rightDoubleClick = 1;
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.mouseDX, 15);
    EXPECT_EQ(krSystemState.mouseDY, -10);
    EXPECT_EQ(krSystemState.prevMouseX, 25);
    EXPECT_EQ(krSystemState.leftClick, 0);
    EXPECT_EQ(krSystemState.rightDoubleClick, 0);
}

class WindowProcTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        RegisterWindowClass("DEFAULT", &krSystem::WindowProc, 0x0B);
        krSystemState.mainWindow = CreateMainWindow("DEFAULT", "t", 0, 0, 0, 800, 600);
        krSystemState.fullScreen = 0;
    }
    // Runs the message loop over whatever is queued.
    int Drain() {
        krSystemState.startupFlags = 0;  // inactive: the loop waits instead of running frames
        Message m;
        int handled = 0;
        while (PeekMessage(m)) {
            if (m.message == WM_QUIT) return handled;
            DispatchMessage(m);
            ++handled;
        }
        return -1;  // no quit message
    }
};

TEST_F(WindowProcTest, CloseButtonShutsDownOnceWithoutASecondClose) {
    PostMessage(krSystemState.mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(Drain(), 1);
    EXPECT_EQ(krSystemState.shutdownDone, 1);
    EXPECT_EQ(krSystemState.closeState, 2);
    EXPECT_FALSE(IsWindow(krSystemState.mainWindow));
}

TEST_F(WindowProcTest, EscapeShutsDownAndClosesThroughThePostedClose) {
    PostMessage(krSystemState.mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(Drain(), 2);  // the key, then the close that the shut-down posted
    EXPECT_EQ(krSystemState.shutdownDone, 1);
    EXPECT_EQ(krSystemState.closeState, 2);
}

TEST_F(WindowProcTest, ErrorShutdownThenCloseDoesNotRepeat) {
    krSystem::ReportError("x", "y");
    EXPECT_EQ(krSystem::ShutdownOnError(), 1);
    EXPECT_EQ(krSystem::Shutdown(), 1);  // a second call does nothing
    EXPECT_EQ(PendingMessageCount(), 1u);
    EXPECT_EQ(Drain(), 1);
    EXPECT_EQ(krSystemState.closeState, 2);
}

TEST_F(WindowProcTest, EscapeWhileSuspendedOnlyCapturesTheKey) {
    krSystem::SuspendInput();
    SendMessage(krSystemState.mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(krSystemState.shutdownDone, 0);
    EXPECT_EQ(krSystemState.captureKey, VK_ESCAPE);
    SendMessage(krSystemState.mainWindow, WM_KEYUP, VK_ESCAPE, 0);
    EXPECT_EQ(krSystemState.captureKey, 0);
}

TEST_F(WindowProcTest, MoveReadsSignedWordsAndMovesThePresentation) {
    krScreen.screenWidth = 800;
    krScreen.screenHeight = 600;
    SendMessage(krSystemState.mainWindow, WM_MOVE, 0, MakeLParam(-8, 32768));
    EXPECT_EQ(krSystemState.clientLeft, -8);
    EXPECT_EQ(krSystemState.clientTop, 32768);
    EXPECT_EQ(krScreen.presentDestination.left, -8);
    EXPECT_EQ(krScreen.presentDestination.right, 792);
    SendMessage(krSystemState.mainWindow, WM_MOVE, 0, MakeLParam(32769, 5));
    EXPECT_EQ(krSystemState.clientLeft, 32769 - 65536);
}

TEST_F(WindowProcTest, ActivationRestartsTheClockAndDeactivationShowsTheCursor) {
    krSystemState.cursorShown = 0;
    ShowCursor(false);
    SendMessage(krSystemState.mainWindow, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(krSystemState.active, 0);
    EXPECT_EQ(krSystemState.cursorShown, 1);
    EXPECT_EQ(CursorDisplayCounter(), 0);
    headless::AdvanceClock(60000);
    SendMessage(krSystemState.mainWindow, WM_ACTIVATEAPP, 1, 0);
    EXPECT_EQ(krSystemState.active, 1);
    krSystem::MeasureFrame();
    EXPECT_LT(krSystemState.frameTime, 0.005f);
}

TEST_F(WindowProcTest, SystemKeysAreSwallowedInMode0) {
    krSystem::SetSysKeyMode(0);
    constexpr std::intptr_t kAlt = 1 << 29;
    PostMessage(krSystemState.mainWindow, WM_SYSKEYDOWN, 0x73, kAlt);  // Alt+F4
    EXPECT_EQ(Drain(), -1);
    EXPECT_TRUE(IsWindow(krSystemState.mainWindow));
    EXPECT_EQ(krSystemState.lastKey, 0);

    krSystem::SetSysKeyMode(2);
    SendMessage(krSystemState.mainWindow, WM_SYSKEYDOWN, VK_MENU, kAlt);
    EXPECT_EQ(krSystemState.lastKey, 0);
    SendMessage(krSystemState.mainWindow, WM_SYSKEYDOWN, VK_F10, 0);
    EXPECT_EQ(krSystemState.lastKey, VK_F10);
    SendMessage(krSystemState.mainWindow, WM_SYSKEYUP, VK_F10, 0);
    EXPECT_EQ(krSystemState.heldKey, VK_F10);  // a system key-up does no bookkeeping
}

TEST_F(WindowProcTest, ScreenSaverIsRefused) {
    EXPECT_EQ(SendMessage(krSystemState.mainWindow, WM_SYSCOMMAND, SC_SCREENSAVE | 3, 0), 0);
}

TEST_F(WindowProcTest, FullScreenHidesTheCursorShapeUnlessABoxIsUp) {
    krSystemState.fullScreen = 1;
    EXPECT_EQ(SendMessage(krSystemState.mainWindow, WM_SETCURSOR, 0, 0), 1);
    EXPECT_FALSE(headless::CursorVisible());
    krSystemState.messageBoxOpen = 1;
    SendMessage(krSystemState.mainWindow, WM_SETCURSOR, 0, 0);
    EXPECT_TRUE(headless::CursorVisible());
}

class PacingTest : public ShellTest {};

TEST_F(PacingTest, PeriodIsIntegerDivisionOfTheRate) {
    krSystem::SetFrameRate(75);
    EXPECT_EQ(krSystemState.framePeriod, 13u);
    krSystem::SetFrameRate(60);
    EXPECT_EQ(krSystemState.framePeriod, 16u);
}

TEST_F(PacingTest, WaitSleepsAllButThreeMsThenSpins) {
    krSystem::SetFrameRate(75);
    std::uint64_t slept = headless::TotalSleptMs();
    headless::AdvanceClock(2);
    krSystem::WaitFrame();
    EXPECT_EQ(headless::TotalSleptMs() - slept, 8u);  // 13 - 2 - 3
    EXPECT_EQ(krSystemState.pacingStamp - 1000u, 13u);
}

TEST_F(PacingTest, LateFrameIsNotMadeUp) {
    krSystem::SetFrameRate(75);
    headless::AdvanceClock(40);
    std::uint32_t before = headless::Clock();
    krSystem::WaitFrame();
    EXPECT_EQ(krSystemState.pacingStamp, before);  // the next period starts now
    headless::AdvanceClock(1);
    krSystem::WaitFrame();
    EXPECT_EQ(krSystemState.pacingStamp, before + 13);
}

TEST_F(PacingTest, ClockWrapGivesSmallPositiveFrameTime) {
    headless::SetClock(0xFFFFFFF0u);
    krSystem::ResetFrameClock();
    headless::SetClock(0x00000010u);
    krSystem::MeasureFrame();
    EXPECT_NEAR(krSystemState.frameTime, 0.032f, 0.0005f);

    headless::SetClock(0xFFFFFFFAu);
    krSystem::SetFrameRate(75);
    krSystem::WaitFrame();
    EXPECT_EQ(krSystemState.pacingStamp, 0xFFFFFFFAu + 13u);
}

TEST_F(PacingTest, PacingOffReturnsAtOnceAndTurnsVSyncOn) {
    krSystem::SetPacing(0);
    EXPECT_TRUE(krScreen.waitVerticalBlank);
    std::uint32_t before = headless::Clock();
    krSystem::WaitFrame();
    EXPECT_EQ(headless::Clock(), before);
    krSystem::SetPacing(1);
    EXPECT_FALSE(krScreen.waitVerticalBlank);
}

TEST_F(PacingTest, WaitTimers) {
    krSystem::ResetTimersAndKeys();
    EXPECT_EQ(krSystem::CheckWait(3), 0);  // idle
    EXPECT_EQ(krSystem::SetWait(10, 0), 1);
    EXPECT_EQ(krSystem::CheckWait(10), 1);
    EXPECT_EQ(krSystem::SetWait(4, 50), 1);
    headless::AdvanceClock(49);
    EXPECT_EQ(krSystem::CheckWait(4), 0);
    headless::AdvanceClock(1);
    EXPECT_EQ(krSystem::CheckWait(4), 1);
    EXPECT_EQ(krSystem::InitWait(4), 1);
    EXPECT_EQ(krSystemState.waitDeadline[4], krIdleWait);
}

TEST_F(PacingTest, OutOfRangeTimerReportsAndChangesNothing) {
    krSystem::ResetTimersAndKeys();
    for (int bad : {0, 11, -5}) {
        headless::ClearBoxes();
        krSystemState.errorRaised = 0;
        EXPECT_EQ(krSystem::SetWait(bad, 10), 0);
        ASSERT_EQ(headless::Boxes().size(), 1u);
        EXPECT_EQ(headless::Boxes()[0].textUtf8, Utf8("krSystem::SetWait : ウェイトNoが範囲外です"));
        EXPECT_EQ(krSystemState.errorRaised, 1);
    }
    EXPECT_EQ(krSystem::InitWait(11), 0);
    EXPECT_EQ(headless::Boxes().back().textUtf8, Utf8("krSystem::InitWait : ウェイトNoが範囲外です"));
    for (int i = 1; i <= 11; ++i) EXPECT_EQ(krSystemState.waitDeadline[i], krIdleWait);
    EXPECT_EQ(krSystem::CheckWait(4000), 0);  // never reads outside the table
}

TEST_F(PacingTest, DelayPassesTheDeadlineAndRestartsTheFrameClock) {
    std::uint32_t start = headless::Clock();
    krSystem::Delay(0);
    EXPECT_GT(headless::Clock(), start);
    krSystem::Delay(20);
    EXPECT_GT(headless::Clock(), start + 20);
    EXPECT_EQ(krSystemState.frameTime, 0.0f);
    krSystem::MeasureFrame();
    EXPECT_LT(krSystemState.frameTime, 0.002f);

    // Across the clock's wrap the delay still lasts its full length.
    headless::SetClock(0xFFFFFFF0u);
    krSystem::Delay(32);
    EXPECT_GT(headless::Clock() - 0xFFFFFFF0u, 32u);
    headless::SetClock(0xFFFFFFF0u);
    krSystem::Delay(15);  // deadline at the clock's largest value
    EXPECT_GT(headless::Clock() - 0xFFFFFFF0u, 15u);
}

TEST_F(PacingTest, ResetTimersResumesInputAndSystemKeys) {
    krSystemState.inputSuspended = 1;
    krSystemState.heldKey = 40;
    krSystemState.sysKeyMode = 2;
    EXPECT_EQ(krSystem::ResetTimersAndKeys(), 1);
    EXPECT_EQ(krSystemState.inputSuspended, 0);
    EXPECT_EQ(krSystemState.heldKey, 0);
    EXPECT_EQ(krSystemState.sysKeyMode, 0);
}

class ServicesTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        dir = fs::temp_directory_path() / ("kr_services_" + std::to_string(getpid()));
        fs::create_directories(dir);
        previous = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(dir);
        unsetenv("KR_SYSTEM_FOLDER");
        ShellTest::TearDown();
    }
    fs::path dir, previous;
};

TEST_F(ServicesTest, ErrorBoxTextCaptionAndFlag) {
    EXPECT_EQ(krSystem::ReportError("krSystem::SetWait", "ウェイトNoが範囲外です"), 0);
    ASSERT_EQ(headless::Boxes().size(), 1u);
    const headless::BoxRecord& box = headless::Boxes()[0];
    EXPECT_EQ(box.captionUtf8, Utf8("エラー発生"));
    EXPECT_EQ(box.textUtf8, Utf8("krSystem::SetWait : ウェイトNoが範囲外です"));
    EXPECT_EQ(box.flags, 0x1030u);
    EXPECT_EQ(headless::BeepCount(), 1);
    EXPECT_EQ(krSystem::ErrorRaised(), 1);
    EXPECT_EQ(krSystemState.messageBoxOpen, 0);
}

TEST_F(ServicesTest, OverlongErrorTextIsCut) {
    std::string huge(1000, 'a');
    krSystem::ReportError(huge.c_str(), huge.c_str());
    EXPECT_EQ(headless::Boxes()[0].textUtf8.size(), 259u);
}

TEST_F(ServicesTest, MessageAndAsk) {
    krSystemState.cursorShown = 0;
    ShowCursor(false);
    krSystem::Message("score %d", 12);
    ASSERT_EQ(headless::Boxes().size(), 1u);
    EXPECT_EQ(headless::Boxes()[0].textUtf8, Utf8("score 12\r\n"));
    EXPECT_EQ(headless::Boxes()[0].captionUtf8, Utf8("メッセージ"));
    EXPECT_EQ(krSystemState.cursorShown, 1);
    EXPECT_EQ(krSystemState.messageBoxOpen, 0);

    headless::QueueAnswer(IDYES);
    EXPECT_EQ(krSystem::Ask("ok?"), 1);
    EXPECT_EQ(headless::Boxes()[1].flags, 0x24u);
    headless::QueueAnswer(IDNO);
    EXPECT_EQ(krSystem::Ask("ok?"), 0);
    EXPECT_EQ(krSystem::Ask("default answer"), 0);
}

TEST_F(ServicesTest, DebugLogAppendsLinesAndSkipsAnUnwritableFile) {
    krSystem::DebugLog("first %d", 1);
    krSystem::DebugLog("second");
    {
        std::ifstream in("DEBUG.TXT");  // closed before the file goes (Windows refuses to remove an open file)
        std::string a, b;
        std::getline(in, a);
        std::getline(in, b);
        EXPECT_EQ(a, "first 1");
        EXPECT_EQ(b, "second");
    }

    fs::remove("DEBUG.TXT");
    fs::create_directory("DEBUG.TXT");  // cannot be opened as a file
    krSystem::DebugLog("lost");
    EXPECT_TRUE(fs::is_directory("DEBUG.TXT"));
}

TEST_F(ServicesTest, BaseFolderAndRedirection) {
    std::string program = Utf8ToCp932(ProgramPath());
    std::string folder = program.substr(0, program.rfind('/') + 1);
    EXPECT_EQ(std::string(krSystem::GetBaseFolder(0)), folder);

    setenv("KR_SYSTEM_FOLDER", dir.string().c_str(), 1);
    std::ofstream("redirect.txt") << "/save/root/\n";
    krSystem::ReadSaveRoot("redirect.txt");
    EXPECT_EQ(std::string(krSystemState.saveRoot), "/save/root");
    std::string last = folder.substr(folder.rfind('/', folder.size() - 2) + 1);
    EXPECT_EQ(std::string(krSystem::GetBaseFolder(1)), "/save/root/" + last);
    EXPECT_EQ(std::string(krSystem::GetBaseFolder(0)), folder);

    krSystem::ReadSaveRoot("missing.txt");
    EXPECT_EQ(std::string(krSystemState.saveRoot), "");
}

TEST_F(ServicesTest, SettingsRoundTripAndBadFiles) {
    setenv("KR_SYSTEM_FOLDER", dir.string().c_str(), 1);
    std::ofstream("redirect.txt") << dir.string() << "\n";
    krSystem::ReadSaveRoot("redirect.txt");
    fs::create_directories(krSystem::GetBaseFolder(1));

    krSystem::SaveNumber("full.dat", 1);
    EXPECT_EQ(krSystem::LoadNumber("full.dat"), 1);
    krSystem::SaveNumber("full.dat", -42);
    EXPECT_EQ(krSystem::LoadNumber("full.dat"), -42);
    EXPECT_EQ(krSystem::LoadNumber("absent.dat"), 0);
    std::ofstream(std::string(krSystem::GetBaseFolder(1)) + "words.dat") << "no number";
    EXPECT_EQ(krSystem::LoadNumber("words.dat"), 0);
    krSystem::SaveNumber("no/such/folder.dat", 5);  // skipped silently
}

TEST_F(ServicesTest, DateTimeAndSystemFigures) {
    int y, m, d, h, mi, s;
    char weekday[3] = {};
    krSystem::GetDate(&y, &m, &d, weekday);
    EXPECT_GE(y, 2024);
    EXPECT_TRUE(m >= 1 && m <= 12);
    std::vector<std::string> names = {"日", "月", "火", "水", "木", "金", "土"};
    EXPECT_NE(std::find(names.begin(), names.end(), std::string(weekday, 2)), names.end());
    krSystem::GetTime(&h, &mi, &s);
    EXPECT_TRUE(h >= 0 && h < 24 && mi >= 0 && mi < 60);
    EXPECT_GT(krSystem::GetDiskFree('C'), 0);
    EXPECT_GT(krSystem::GetFreeMemory(), 0u);
    EXPECT_GT(krSystem::GetOSVersion(), 0);
    EXPECT_EQ(krSystem::GetScreenBits(), 16);
    krSystemState.fullScreen = 0;
    EXPECT_EQ(krSystem::IsWindowed(), 1);
}

TEST_F(ServicesTest, ColourDepthOfferOnATooShallowDesktop) {
    krScreen.displayDepth = 16;
    krSystemState.fullScreen = 0;
    EXPECT_EQ(krSystem::CheckColorDepth("*"), 1);  // 16-bit desktop: no prompt
    EXPECT_TRUE(headless::Boxes().empty());

    setenv("KR_DESKTOP_BITS", "15", 1);
    krScreen.displayDepth = 24;
    headless::QueueAnswer(IDOK);
    headless::QueueAnswer(IDYES);
    EXPECT_EQ(krSystem::CheckColorDepth("*"), 1);
    EXPECT_EQ(krSystemState.fullScreen, 1);
    ASSERT_EQ(headless::Boxes().size(), 2u);
    EXPECT_EQ(headless::Boxes()[0].textUtf8,
              Utf8("　ウィンドウ状態で実行しようとしていますが、画面が65536色以下に設定されています。\n"
              "正しく動作させるには、1670万色以上に設定するか、フルスクリーンで実行させて下さい。\r\n"));
    EXPECT_EQ(headless::Boxes()[1].textUtf8, Utf8("フルスクリーンに切り換えますか？\r\n"));

    krSystemState.fullScreen = 0;
    headless::ClearBoxes();
    EXPECT_EQ(krSystem::CheckColorDepth(""), 0);  // no question: the program shuts down
    EXPECT_EQ(headless::Boxes().size(), 1u);
    EXPECT_EQ(krSystemState.shutdownDone, 1);
    unsetenv("KR_DESKTOP_BITS");
}
