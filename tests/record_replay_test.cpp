// A session recorded in a window replays headless frame for frame: a kit
// game of the test's own that moves by the measured frame time, toggles on
// Backspace and follows a joystick (SDL's virtual one) is played in a window
// on SDL's dummy video driver while recording, then replayed through the
// script driver; the frames both edges dumped are the same files. Also the
// recorder's own lines: every clock reading and joystick change, in order.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "driver/script_driver.h"
#include "input/krJoystick.h"
#include "platform/headless/headless.h"
#include "platform/os/input_script.h"
#include "platform/os/window.h"
#include "platform/sdl/recorder.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_internal.h"
#include "system/krSystem.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
namespace script = plat::script;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- the recorder's lines ----

std::vector<script::Event> Recorded(const fs::path& path) {
    script::Script s;
    std::string error;
    EXPECT_TRUE(script::ReadScript(path.string(), s, error)) << error;
    return s.events;
}

TEST(SessionRecorder, EveryClockReadingIsRecordedInOrderUnderItsPass) {
    kr_test::TempFolder folder;
    const fs::path file = folder.Path() / "rec.txt";
    plat::sdl::SessionRecorder rec;
    ASSERT_TRUE(rec.Open(file.string(), "test"));
    rec.ClockRead(100);  // start-up
    rec.ClockRead(100);
    rec.ClockRead(130);  // the frame clock restarted after start-up
    rec.PumpEnded(false);  // messages still wait: no pass yet
    rec.PumpEnded(true);   // pass 1
    rec.ClockRead(147);    // the frame's measurement ...
    rec.ClockRead(148);    // ... and its new stamp
    for (int i = 0; i < 500; ++i) rec.ClockRead(149);  // a busy wait
    rec.Posted(plat::WM_KEYDOWN, plat::VK_BACK, 1);  // arrives before pass 2
    rec.PumpEnded(true);
    rec.ClockRead(149);  // the same value in another pass is another line
    ASSERT_TRUE(rec.Close());
    const std::vector<script::Event> events = Recorded(file);
    std::vector<std::string> lines;
    for (const script::Event& e : events) lines.push_back(script::FormatEvent(e));
    EXPECT_EQ(lines, (std::vector<std::string>{"0 clock 100 2", "0 clock 130", "1 clock 147", "1 clock 148",
                                               "1 clock 149 500", "2 0x8 down", "2 clock 149"}));
}

TEST(SessionRecorder, JoystickChangesAreRecordedAsPlugAxesButtonsAndUnplug) {
    kr_test::TempFolder folder;
    const fs::path file = folder.Path() / "rec.txt";
    plat::sdl::SessionRecorder rec;
    ASSERT_TRUE(rec.Open(file.string(), "test"));
    rec.JoystickRead(0, false, 0, 0, 0);  // nothing there: nothing to say
    rec.PumpEnded(true);
    rec.JoystickRead(1, true, 32767, 32767, 0);  // plugged in, centred
    rec.JoystickRead(1, true, 32767, 32767, 0);  // unchanged
    rec.PumpEnded(true);
    rec.JoystickRead(1, true, 65535, 32767, 0x5);
    rec.PumpEnded(true);
    rec.JoystickRead(1, false, 0, 0, 0);
    ASSERT_TRUE(rec.Close());
    std::vector<std::string> lines;
    for (const script::Event& e : Recorded(file)) lines.push_back(script::FormatEvent(e));
    EXPECT_EQ(lines, (std::vector<std::string>{"1 joystick 1 plug", "2 joystick 1 axes 65535 32767",
                                               "2 joystick 1 buttons 0x5", "3 joystick 1 unplug"}));
}

// ---- a kit game recorded in a window and replayed headless ----

// What the game saw each frame.
struct Step {
    float frameTime;
    int x, y, colour;
    friend bool operator==(const Step&, const Step&) = default;
};

struct WalkGame {
    float x = 4.0f;
    int y = 50;
    int colour = 0;
    std::int32_t backspace = 0;
    std::vector<Step> steps;
};
WalkGame walk;
bool playsInWindow = false;  // the window run also plays the user's part

void WalkStartup() {
    ASSERT_EQ(krDraw::Screen(160, 120, 1), 1);
    krSystemState.scene = 1;
}

SDL_JoystickID virtualPad = -1;

// The user: a joystick plugged in, Backspace pressed, the stick pushed down
// with button 1 held, the joystick unplugged, Escape. The frames run at
// uneven real times.
void PlayTheUser(int frame) {
    SDL_Delay(static_cast<Uint32>(frame % 4) * 6);
    auto key = [](Uint32 type, SDL_Scancode code, SDL_Keycode sym) {
        SDL_Event e{};
        e.type = type;
        e.key = SDL_KeyboardEvent{type, 0, SDL_GetWindowID(plat::sdl::MainSdlWindow()), 0, 0, 0, 0,
                                  SDL_Keysym{code, sym, 0, 0}};
        SDL_PushEvent(&e);
    };
    if (frame == 3) {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
        virtualPad = index < 0 ? -1 : SDL_JoystickGetDeviceInstanceID(index);
    }
    if (frame == 6) key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE);
    if (frame == 8) key(SDL_KEYUP, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE);
    if (frame == 10 && plat::sdl::JoystickSlot(0) != nullptr) {
        SDL_JoystickSetVirtualAxis(plat::sdl::JoystickSlot(0), 1, 32767);
        SDL_JoystickSetVirtualButton(plat::sdl::JoystickSlot(0), 0, SDL_PRESSED);
    }
    if (frame == 14) {
        for (int index = SDL_NumJoysticks() - 1; index >= 0; --index) SDL_JoystickDetachVirtual(index);
    }
    if (frame == 20) key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
}

void WalkFrame() {
    walk.x += krSystemState.frameTime * 90.0f;  // pixels a second, by the measured time
    krSystem::PollKey(plat::VK_BACK, walk.backspace);
    if (walk.backspace == 1) walk.colour ^= 1;
    int dx = 0, dy = 0;
    krJoystick::Direction(0, &dx, &dy);
    walk.y = std::clamp(walk.y + dy * 3, 0, 110);
    const int held = krJoystick::Button(0, 1);
    const int x = static_cast<int>(walk.x) % 150;
    walk.steps.push_back(Step{krSystemState.frameTime, x, walk.y, walk.colour + 2 * held});

    plat::Surface* back = krScreen.back;
    plat::FillRect(back, nullptr, 0);
    const plat::Rect block{x, walk.y, x + 10, walk.y + 10};
    plat::FillRect(back, &block, walk.colour ? 0xF800u : 0x07E0u);
    if (held) {
        const plat::Rect mark{0, 0, 4, 4};
        plat::FillRect(back, &mark, 0x001Fu);
    }
    krDraw::Present();
    if (playsInWindow) PlayTheUser(static_cast<int>(walk.steps.size()));
}

krGameSteps WalkSteps() {
    krGameSteps steps{&WalkStartup, &WalkFrame, "walk"};
    steps.windowWidth = 320;
    steps.windowHeight = 240;
    return steps;
}

class RecordReplayTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("KR_INSTANCE_SUFFIX", ("-record-test-" + std::to_string(getpid())).c_str(), 1);
        fs::create_directories(folder.Path() / "window");
        fs::create_directories(folder.Path() / "replay");
    }
    void TearDown() override {
        playsInWindow = false;
        plat::sdl::Recorder().Close();
        for (int index = SDL_NumJoysticks() - 1; index >= 0; --index) SDL_JoystickDetachVirtual(index);
        if (plat::MainWindow()) plat::DestroyWindow(plat::MainWindow());
        krSystem::SetGameSteps(krGameSteps{});
        plat::SetBackend(&plat::headless::Instance());
        plat::headless::Reset();
        unsetenv("KR_INSTANCE_SUFFIX");
        unsetenv("KR_PRESENT_DUMP");
    }

    void PlayInWindow() {
        setenv("KR_PRESENT_DUMP", (folder.Path() / "window").string().c_str(), 1);
        plat::headless::ResetWindowSystem();
        plat::SetBackend(&plat::sdl::Instance());
        krSystemState = krSystemStateRecord{};
        krSystem::ProcessStart();
        ASSERT_TRUE(plat::sdl::Recorder().Open((folder.Path() / "session.txt").string(), "walk"));
        walk = WalkGame{};
        playsInWindow = true;
        krSystem::SetGameSteps(WalkSteps());
        ASSERT_EQ(krSystem::Entry("", plat::SW_SHOWNORMAL), 0);
        playsInWindow = false;
        ASSERT_TRUE(plat::sdl::Recorder().Close());
        plat::SetBackend(&plat::headless::Instance());
    }

    void Replay() {
        setenv("KR_PRESENT_DUMP", (folder.Path() / "replay").string().c_str(), 1);
        walk = WalkGame{};
        krScriptDriver::Program program;
        program.name = "walk-headless";
        program.steps = WalkSteps();
        std::vector<std::string> args{"walk-headless", "--input", (folder.Path() / "session.txt").string(),
                                      "--frames", "100000"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        krScriptDriver::Run(program, static_cast<int>(args.size()), argv.data());
    }

    kr_test::TempFolder folder;
};

TEST_F(RecordReplayTest, AGameMovingByMeasuredTimeReplaysFrameForFrameAndBothDumpsAreTheSameFiles) {
    PlayInWindow();
    if (HasFatalFailure()) return;
    const std::vector<Step> played = walk.steps;
    const std::string recording = ReadFile(folder.Path() / "session.txt");
    ASSERT_GE(played.size(), 20u) << recording;
    if (virtualPad < 0) GTEST_SKIP() << "no virtual joysticks: " << SDL_GetError();
    EXPECT_NE(recording.find(" 0x8 down\n"), std::string::npos) << recording;
    EXPECT_NE(recording.find(" joystick 0 plug\n"), std::string::npos) << recording;
    EXPECT_NE(recording.find(" joystick 0 buttons 0x1\n"), std::string::npos) << recording;
    EXPECT_NE(recording.find(" joystick 0 unplug\n"), std::string::npos) << recording;
    // The frames were uneven: a replay at a steady pace would not follow them.
    std::vector<float> times;
    for (const Step& s : played) times.push_back(s.frameTime);
    EXPECT_NE(*std::min_element(times.begin() + 1, times.end()), *std::max_element(times.begin() + 1, times.end()));

    Replay();
    ASSERT_EQ(walk.steps.size(), played.size()) << recording;
    for (std::size_t i = 0; i < played.size(); ++i) {
        EXPECT_TRUE(walk.steps[i] == played[i])
            << "frame " << i + 1 << ": time " << walk.steps[i].frameTime << " against " << played[i].frameTime
            << ", x " << walk.steps[i].x << " against " << played[i].x << ", y " << walk.steps[i].y << " against "
            << played[i].y << ", colour " << walk.steps[i].colour << " against " << played[i].colour;
    }

    // `cmp` on the two dumps: the same files, byte for byte.
    std::vector<std::string> shown, replayed;
    for (const auto& e : fs::directory_iterator(folder.Path() / "window")) shown.push_back(e.path().filename().string());
    for (const auto& e : fs::directory_iterator(folder.Path() / "replay")) replayed.push_back(e.path().filename().string());
    std::sort(shown.begin(), shown.end());
    std::sort(replayed.begin(), replayed.end());
    ASSERT_GT(shown.size(), 5u);
    ASSERT_EQ(shown, replayed);
    for (const std::string& name : shown)
        EXPECT_TRUE(ReadFile(folder.Path() / "window" / name) == ReadFile(folder.Path() / "replay" / name)) << name;
}

}  // namespace
