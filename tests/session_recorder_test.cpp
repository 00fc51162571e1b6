// The window's session recorder, in process and without a display: the
// calls the SDL edge makes during a session (messages posted, pumps that
// find the queue busy or empty, clock readings) numbered into passes as
// the script driver counts them, read back through the script reader; and
// the --record switch of a windowed program's main.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/os/input_script.h"
#include "platform/os/types.h"
#include "platform/sdl/recorder.h"

namespace {

namespace script = plat::script;

std::string TempName(const char* what) {
    return testing::TempDir() + "kr_recorder_" + what + "_" + std::to_string(getpid()) + ".txt";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One line per event as the script reader gives it back.
std::vector<std::string> Lines(const script::Script& s) {
    std::vector<std::string> out;
    for (const script::Event& e : s.events) out.push_back(script::FormatEvent(e));
    return out;
}

// A pass of the main loop as the edge sees it: the events' messages go
// out (the queue then holds them), they are dispatched, and the next look
// finds the queue empty, which begins the pass's frame work.
void PumpBusyThenEmpty(plat::sdl::SessionRecorder& r) {
    r.PumpEnded(false);
    r.PumpEnded(true);
}

TEST(SessionRecorder, NumbersEventsAndClocksByThePassTheyComeBefore) {
    const std::string path = TempName("passes");
    plat::sdl::SessionRecorder r;
    ASSERT_TRUE(r.Open(path, "tiny"));
    EXPECT_TRUE(r.Recording());
    r.SeedChosen(48271);
    r.ClockRead(5000);  // the program's first reading: frame 0
    r.ClockRead(5003);  // another reading during start-up: kept too, in order

    // Pass 1: activation, then two readings; a replay must give the pass both.
    r.Posted(plat::WM_ACTIVATEAPP, 1, 0);
    PumpBusyThenEmpty(r);
    r.ClockRead(5016);
    r.ClockRead(5019);
    // Pass 2: nothing posted.
    r.PumpEnded(true);
    r.ClockRead(5030);
    // Pass 3: a key and a move left of the window (the cursor's own message is not recorded).
    r.Posted(plat::WM_KEYDOWN, plat::VK_RIGHT, 1);
    r.Posted(plat::WM_SETCURSOR, 1, plat::MakeLParam(1, static_cast<int>(plat::WM_MOUSEMOVE)));
    r.Posted(plat::WM_MOUSEMOVE, 0, plat::MakeLParam(-5, 70));
    PumpBusyThenEmpty(r);
    r.ClockRead(5047);
    // Passes 4 and 5; only the fifth reads the clock.
    r.PumpEnded(true);
    r.PumpEnded(true);
    r.ClockRead(5080);
    // Posted after pass 5: it comes before pass 6, which the session never ran.
    r.Posted(plat::WM_KEYUP, plat::VK_RIGHT, static_cast<std::intptr_t>(0xC0000001u));
    EXPECT_TRUE(r.Close());
    EXPECT_FALSE(r.Recording());

    script::Script s;
    std::string error;
    ASSERT_TRUE(script::ReadScript(path, s, error)) << error << "\n" << ReadFile(path);
    EXPECT_TRUE(s.countsPasses);
    EXPECT_EQ(s.seed, 48271u);
    const std::vector<std::string> want = {
        "0 clock 5000", "0 clock 5003",       "1 message 0x1c 0x1 0x0", "1 clock 5016", "1 clock 5019",
        "2 clock 5030", "3 RIGHT down",       "3 mouse move -5 70",     "3 clock 5047", "5 clock 5080",
        "6 RIGHT up",
    };
    EXPECT_EQ(Lines(s), want) << ReadFile(path);
    std::remove(path.c_str());
}

TEST(SessionRecorder, ANewRecordingCountsFromTheStartAgain) {
    const std::string first = TempName("first"), second = TempName("second");
    plat::sdl::SessionRecorder r;
    ASSERT_TRUE(r.Open(first, "tiny"));
    r.ClockRead(100);
    r.PumpEnded(true);
    r.PumpEnded(true);
    r.ClockRead(140);
    ASSERT_TRUE(r.Open(second, "tiny"));  // replaces the running one
    r.ClockRead(200);
    r.Posted(plat::WM_KEYDOWN, 'C', 1);
    r.PumpEnded(true);
    r.ClockRead(216);
    EXPECT_TRUE(r.Close());
    script::Script s;
    std::string error;
    ASSERT_TRUE(script::ReadScript(second, s, error)) << error;
    EXPECT_EQ(Lines(s), (std::vector<std::string>{"0 clock 200", "1 C down", "1 clock 216"})) << ReadFile(second);
    ASSERT_TRUE(script::ReadScript(first, s, error)) << error;
    EXPECT_EQ(Lines(s), (std::vector<std::string>{"0 clock 100", "2 clock 140"}));
    std::remove(first.c_str());
    std::remove(second.c_str());
}

TEST(SessionRecorder, AFileThatCannotBeWrittenIsRefused) {
    plat::sdl::SessionRecorder r;
    EXPECT_FALSE(r.Open("/nonexistent/folder/session.txt", "tiny"));
    EXPECT_FALSE(r.Recording());
    r.Posted(plat::WM_KEYDOWN, 'C', 1);  // harmless without a file
    r.PumpEnded(true);
    r.ClockRead(1);
}

// The switch as a windowed program's main takes it out of its arguments.
struct Arguments {
    std::vector<std::string> text;
    std::vector<char*> argv;
    int argc = 0;
    explicit Arguments(std::vector<std::string> words) : text(std::move(words)) {
        for (std::string& w : text) argv.push_back(w.data());
        argv.push_back(nullptr);
        argc = static_cast<int>(text.size());
    }
};

TEST(RecordSwitch, TakesItsFileOutOfTheArgumentsAndRefusesAMissingOne) {
    const std::string path = TempName("switch");
    Arguments taken({"game", "--fast", "--record", path, "--level", "2"});
    EXPECT_EQ(plat::sdl::TakeRecordSwitch(taken.argc, taken.argv.data()), 0);
    ASSERT_EQ(taken.argc, 4);
    EXPECT_STREQ(taken.argv[1], "--fast");
    EXPECT_STREQ(taken.argv[2], "--level");
    EXPECT_STREQ(taken.argv[3], "2");
    EXPECT_EQ(taken.argv[4], nullptr);
    EXPECT_TRUE(plat::sdl::Recorder().Recording());
    EXPECT_TRUE(plat::sdl::Recorder().Close());
    EXPECT_NE(ReadFile(path).find("count passes\n"), std::string::npos);
    std::remove(path.c_str());

    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"game", "--record"}, std::vector<std::string>{"game", "--fast", "--record", ""}}) {
        Arguments missing(words);
        testing::internal::CaptureStderr();
        EXPECT_EQ(plat::sdl::TakeRecordSwitch(missing.argc, missing.argv.data()), 2);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("missing value after --record"), std::string::npos) << said;
        EXPECT_EQ(missing.argc, static_cast<int>(words.size())) << "the arguments are left as they were";
        EXPECT_FALSE(plat::sdl::Recorder().Recording());
    }

    Arguments none({"game", "--fast"});
    EXPECT_EQ(plat::sdl::TakeRecordSwitch(none.argc, none.argv.data()), 0);
    EXPECT_EQ(none.argc, 2);
}

}  // namespace
