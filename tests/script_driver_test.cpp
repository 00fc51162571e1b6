// The script driver: the input-script format read back from what it writes
// and refusing hostile lines; a small game of the test's own run through it
// in-process (events and clock land before the frame they name, passes or
// game frames); and both headless programs meeting wrong use with one line
// and status 2, and --help with the usage and status 0.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "driver/script_driver.h"
#include "platform/headless/headless.h"
#include "platform/os/input_script.h"
#include "platform/os/notice.h"
#include "platform/os/window.h"
#include "platform/os/random.h"

namespace fs = std::filesystem;
namespace script = plat::script;

namespace {

// ---- the format ----

bool Parse(const std::string& line, script::Event& e, std::string* error = nullptr) {
    bool skip = false, passes = false;
    std::string reason;
    const bool good = script::ParseLine(line, e, skip, passes, reason);
    if (error) *error = reason;
    return good && !skip;
}

TEST(InputScript, EveryKindOfEventReadsBackAsWritten) {
    std::vector<script::Event> events(6);
    events[0].frame = 3, events[0].kind = script::EventKind::Key, events[0].vk = plat::VK_LEFT, events[0].down = true;
    events[1].frame = 4, events[1].kind = script::EventKind::Key, events[1].vk = 0xBA, events[1].down = false;
    events[2].frame = 5, events[2].kind = script::EventKind::Mouse, events[2].mouse = script::MouseAction::RightDouble;
    events[2].x = -8, events[2].y = 599;
    events[3].frame = 0, events[3].kind = script::EventKind::Clock, events[3].clock = 4294967295u;
    events[4].frame = 6, events[4].kind = script::EventKind::Message, events[4].message = plat::WM_SYSKEYDOWN;
    events[4].wParam = 0x73, events[4].lParam = static_cast<std::intptr_t>(0x203E0001);
    events[5].frame = 7, events[5].kind = script::EventKind::Key, events[5].vk = 'Q', events[5].down = true;
    for (const script::Event& want : events) {
        const std::string line = script::FormatEvent(want);
        script::Event got;
        std::string error;
        ASSERT_TRUE(Parse(line, got, &error)) << line << ": " << error;
        EXPECT_EQ(script::FormatEvent(got), line);
        std::uint32_t m1, m2;
        std::uintptr_t w1, w2;
        std::intptr_t l1, l2;
        script::EventMessage(want, m1, w1, l1);
        script::EventMessage(got, m2, w2, l2);
        EXPECT_TRUE(m1 == m2 && w1 == w2 && l1 == l2) << line;
        EXPECT_EQ(got.frame, want.frame) << line;
    }
    script::Event mouse;
    ASSERT_TRUE(Parse("2 mouse move -8 599", mouse));
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    script::EventMessage(mouse, message, wParam, lParam);
    EXPECT_EQ(message, plat::WM_MOUSEMOVE);
    EXPECT_EQ(static_cast<std::int16_t>(plat::LowWord(lParam)), -8);
    EXPECT_EQ(plat::HighWord(lParam), 599u);
}

TEST(InputScript, NamesAreCaseBlindAndOldScriptsStillRead) {
    script::Event e;
    ASSERT_TRUE(Parse("12 pgdn down", e));
    EXPECT_EQ(e.vk, plat::VK_NEXT);
    ASSERT_TRUE(Parse("  1\t38   up  ", e));
    EXPECT_TRUE(e.vk == plat::VK_UP && !e.down);
    ASSERT_TRUE(Parse("2 c down", e));
    EXPECT_EQ(e.vk, 'C');
    bool skip = false, passes = false;
    std::string error;
    EXPECT_TRUE(script::ParseLine("# 1 UP down", e, skip, passes, error) && skip && !passes);
    EXPECT_TRUE(script::ParseLine("count passes", e, skip, passes, error) && skip && passes);
    ASSERT_TRUE(script::ParseLine("seed 0xFFFFFFFF", e, skip, passes, error) && !skip);
    EXPECT_TRUE(e.kind == script::EventKind::Seed && e.seed == 0xFFFFFFFFu);
    EXPECT_EQ(script::FormatEvent(e), "seed 4294967295");
}

TEST(InputScript, HostileLinesAreRefusedWithAReason) {
    const char* bad[] = {"0 UP down",          "-1 UP down",         "100000001 UP down",      "1 UP",
                         "1 UP down now",      "1 JUMP down",        "1 256 down",             "1 UP sideways",
                         "1 clock",            "1 clock -5",         "1 clock 4294967296",     "1 mouse fly 1 2",
                         "1 mouse move 1",     "1 mouse move x 2",   "1 mouse move 1 99999",   "1 message 0x12 0 0",
                         "1 message 0 0 0",    "1 message 0x10000 0 0", "1 message 0x10 zz 0", "count frames",
                         "99999999999999999999999 UP down",          "1 0x UP down",
                         "seed",               "seed -1",            "seed 4294967296",        "seed 1 2"};
    for (const char* line : bad) {
        script::Event e;
        std::string error;
        EXPECT_FALSE(Parse(line, e, &error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}

TEST(InputScript, EveryKeyCodeReadsBackAsTheSameKey) {
    // Codes 1 to 9 (Backspace is 8) once read back as the digit keys.
    for (int vk = 1; vk <= 255; ++vk) {
        for (bool down : {true, false}) {
            script::Event want;
            want.frame = 9;
            want.kind = script::EventKind::Key;
            want.vk = vk;
            want.down = down;
            const std::string line = script::FormatEvent(want);
            script::Event got;
            std::string error;
            ASSERT_TRUE(Parse(line, got, &error)) << line << ": " << error;
            EXPECT_EQ(got.vk, vk) << line;
            EXPECT_EQ(got.down, down) << line;
        }
    }
    script::Event e;
    ASSERT_TRUE(Parse("1 8 down", e));
    EXPECT_EQ(e.vk, '8') << "a digit is the digit's key";
}

TEST(InputScript, ClockLinesCarryHowManyReadingsInARow) {
    script::Event e;
    ASSERT_TRUE(Parse("4 clock 1200 35", e));
    EXPECT_TRUE(e.kind == script::EventKind::Clock && e.clock == 1200u && e.times == 35u);
    EXPECT_EQ(script::FormatEvent(e), "4 clock 1200 35");
    ASSERT_TRUE(Parse("4 clock 1200", e));
    EXPECT_EQ(e.times, 1u);
    EXPECT_EQ(script::FormatEvent(e), "4 clock 1200");
    for (const char* bad : {"4 clock 1200 0", "4 clock 1200 -1", "4 clock 1200 4294967296", "4 clock 1 2 3"}) {
        std::string error;
        EXPECT_FALSE(Parse(bad, e, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

// ---- a game of the test's own, run in-process ----

struct Seen {
    std::uint32_t frameStamp;
    int mouseX, mouseY;
    bool leftDown;
    int active;
    int random;
};
std::vector<Seen> seen;

void TinyStartup() { krSystemState.scene = 1; }
void TinyFrame() {
    seen.push_back(Seen{krSystemState.frameStamp, krSystemState.mouseX, krSystemState.mouseY,
                        (plat::GetKeyState(plat::VK_LEFT) & 0x80) != 0, krSystemState.active, plat::Random()});
}
void TinyTrace(std::FILE* file, long frame) { std::fprintf(file, "frame %ld at %u\n", frame, seen.back().frameStamp); }

class DriverRun : public testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/kr_driver_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        seen.clear();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        plat::headless::Reset();
    }
    int Run(const std::string& scriptText, std::vector<std::string> arguments) {
        std::ofstream(dir / "in.txt") << scriptText;
        krScriptDriver::Program program;
        program.name = "tiny";
        program.steps = krGameSteps{&TinyStartup, &TinyFrame, "tiny"};
        program.trace = &TinyTrace;
        arguments.insert(arguments.begin(), {"tiny", "--input", (dir / "in.txt").string()});
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        return krScriptDriver::Run(program, static_cast<int>(argv.size()) - 1, argv.data());
    }
    fs::path dir;
};

TEST_F(DriverRun, EventsAndClockLandBeforeTheFrameTheyName) {
    const std::string body =
        "0 clock 5000\n"
        "2 mouse move 10 20\n2 clock 5100\n"
        "3 LEFT down\n3 message 0x1c 1 0\n3 clock 7000\n"
        "4 LEFT up\n";
    for (const std::string& head : {std::string(), std::string("count passes\n")}) {
        seen.clear();
        ASSERT_EQ(Run(head + body, {"--frames", "4", "--trace", (dir / "t.txt").string()}), 0) << head;
        ASSERT_EQ(seen.size(), 4u);
        EXPECT_GE(seen[0].frameStamp, 5000u) << "the run starts at the recorded clock";
        EXPECT_LT(seen[0].frameStamp, 5100u);
        EXPECT_EQ(seen[1].frameStamp, 5100u);
        EXPECT_EQ(seen[2].frameStamp, 7000u);
        EXPECT_TRUE(seen[0].mouseX == 0 && seen[1].mouseX == 10 && seen[1].mouseY == 20);
        EXPECT_TRUE(!seen[1].leftDown && seen[2].leftDown && !seen[3].leftDown);
        EXPECT_TRUE(seen[1].active == 0 && seen[2].active == 1);
        std::ifstream trace(dir / "t.txt");
        std::string first, last;
        for (std::string line; std::getline(trace, line);) (first.empty() ? first : last) = line;
        EXPECT_EQ(last, "frame 4 at " + std::to_string(seen[3].frameStamp));
    }
}

TEST_F(DriverRun, TheRecordedSeedStartsTheRandomNumbers) {
    const auto firstDraws = [](unsigned seed) {
        plat::SeedRandom(seed);
        const int a = plat::Random();
        return std::vector<int>{a, plat::Random()};
    };
    ASSERT_EQ(Run("seed 48271\n", {"--frames", "2"}), 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ((std::vector<int>{seen[0].random, seen[1].random}), firstDraws(48271));
    seen.clear();
    ASSERT_EQ(Run("1 UP down\n", {"--frames", "1"}), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].random, firstDraws(1)[0]) << "without a seed line every run starts from 1";
}

// The frame clock reads twice as a frame begins (the measurement and the
// new stamp): both readings come from the script, in order, and the clock
// runs on from the last.
TEST_F(DriverRun, EveryClockReadingOfAFrameIsGivenInOrder) {
    ASSERT_EQ(Run("count passes\n3 clock 900\n3 clock 916 2\n3 clock 950\n", {"--frames", "4"}), 0);
    ASSERT_EQ(seen.size(), 4u);
    // Frame 3: frameTime from 900, the stamp the second reading (916).
    EXPECT_EQ(seen[2].frameStamp, 916u);
    EXPECT_GE(seen[3].frameStamp, 950u) << "the clock runs on from the last reading";
}

TEST_F(DriverRun, AClockThatGoesBackIsFollowedAndTheRunStillEnds) {
    ASSERT_EQ(Run("2 clock 40000\n3 clock 10\n", {"--frames", "5"}), 0);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[1].frameStamp, 40000u);
    EXPECT_EQ(seen[2].frameStamp, 10u);
}

// A game whose picture is missing: the engine reports it and the game goes on.
void MissingPictureStartup() {
    krDraw::Screen(64, 48, 1);
    krDraw::LoadObject("no_such_picture.bmp", 2);
    krSystemState.scene = 1;
}

TEST_F(DriverRun, AnEngineErrorFailsTheRunUnlessAllowedAndTheLoadNamesItsFile) {
    const fs::path before = fs::current_path();
    fs::current_path(dir);  // the debug log is written in the working folder
    auto run = [&](std::vector<std::string> arguments, std::string& said) {
        krScriptDriver::Program program;
        program.name = "tiny";
        program.steps = krGameSteps{&MissingPictureStartup, &TinyFrame, "tiny"};
        arguments.insert(arguments.begin(), {"tiny", "--frames", "2"});
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStderr();
        const int status = krScriptDriver::Run(program, static_cast<int>(argv.size()) - 1, argv.data());
        said = testing::internal::GetCapturedStderr();
        return status;
    };
    std::string said;
    EXPECT_EQ(run({}, said), krScriptDriver::kEngineError);
    EXPECT_EQ(seen.size(), 2u) << "the game goes on after the report";
    const std::string loadLine = "krDraw::LoadObject: cannot read " + std::string(krSystem::GetBaseFolder(0)) +
                                 "no_such_picture.bmp\n";
    EXPECT_NE(said.find(plat::ProgramLabel() + ": " + loadLine), std::string::npos) << said;
    EXPECT_NE(said.find(reinterpret_cast<const char*>(u8"krDraw::LoadObject : BMPファイルを読み込めません")), std::string::npos)
        << "the box text stays as it is: " << said;
    EXPECT_NE(said.find("tiny: the engine reported an error during the run"), std::string::npos) << said;
    std::ifstream log(dir / "DEBUG.TXT");
    const std::string logged((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_EQ(logged, loadLine);

    EXPECT_EQ(run({"--allow-errors"}, said), 0);
    EXPECT_EQ(said.find("the engine reported an error"), std::string::npos) << said;
    // An error of an earlier run in the same process is not this run's.
    EXPECT_EQ(Run("", {"--frames", "1"}), 0);
    fs::current_path(before);
}

// ---- the programs, used wrongly ----

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome RunProgram(const std::string& program, const std::string& arguments, const fs::path& dir) {
    const std::string command = "cd '" + dir.string() + "' && '" + std::string(KR_RUN_DIR) + "/" + program + "' " +
                                arguments + " > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    Outcome o;
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream out(dir / "out.txt"), err(dir / "err.txt");
    o.out.assign(std::istreambuf_iterator<char>(out), {});
    o.err.assign(std::istreambuf_iterator<char>(err), {});
    return o;
}

class WrongUse : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        char name[] = "/tmp/kr_wrong_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        std::ofstream(dir / "good.txt") << "1 UP down\n";
        std::ofstream(dir / "bad.txt") << "# fine\n1 UP sideways\n";
        fs::create_directory(dir / "folder");
        fs::copy_file(fs::path(KR_RUN_DIR) / "map.txt", dir / "map.txt");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path dir;
};

TEST_P(WrongUse, HelpPrintsTheUsageAndWrongArgumentsGetOneLineAndStatus2) {
    const std::string program = GetParam();
    for (const char* help : {"--help", "--frames 5 --help", "--bogus --help"}) {
        const Outcome o = RunProgram(program, help, dir);
        EXPECT_EQ(o.status, 0) << help;
        EXPECT_EQ(o.out.rfind("usage: " + program + " --frames N", 0), 0u) << help << "\n" << o.out;
        EXPECT_NE(o.out.find("--screenshot FILE"), std::string::npos);
        EXPECT_EQ(o.err, "") << help;
    }
    struct Case {
        std::string arguments, named;
    };
    const Case cases[] = {
        {"", "--frames"},
        {"--frames", "--frames"},
        {"--frames 0", "'0'"},
        {"--frames 5x", "'5x'"},
        {"--frames 99999999999999999999", "'99999999999999999999'"},
        {"--frames 5 --bogus 1", "'--bogus'"},
        {"--frames 5 stray", "'stray'"},
        {"--frames 5 --input", "--input"},
        {"--frames 5 --input missing.txt", "'missing.txt'"},
        {"--frames 5 --input folder", "'folder'"},
        {"--frames 5 --input bad.txt", "bad.txt:2: action must be down or up"},
        {"--frames 5 --input ''", "--input"},
        {"--frames 5 --screenshot /nonexistent/s.bmp", "'/nonexistent/s.bmp'"},
        {"--frames 5 --audio folder", "'folder'"},
        {"--frames 5 --audio /nonexistent/a.wav", "'/nonexistent/a.wav'"},
    };
    for (const Case& c : cases) {
        const Outcome o = RunProgram(program, c.arguments, dir);
        EXPECT_EQ(o.status, 2) << c.arguments << "\n" << o.err;
        EXPECT_EQ(o.out, "") << c.arguments;
        ASSERT_FALSE(o.err.empty()) << c.arguments;
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "one line: " << o.err;
        EXPECT_EQ(o.err.rfind(program + ": ", 0), 0u) << o.err;
        EXPECT_NE(o.err.find(c.named), std::string::npos) << c.arguments << "\n" << o.err;
    }
    EXPECT_FALSE(fs::exists("/nonexistent/s.bmp"));
    EXPECT_TRUE(fs::is_empty(dir / "folder")) << "a refused run writes nothing";
    EXPECT_EQ(RunProgram(program, "--frames 2 --input good.txt --screenshot s.bmp --audio a.wav", dir).status, 0);
    EXPECT_TRUE(fs::exists(dir / "s.bmp") && fs::exists(dir / "a.wav"));
}

INSTANTIATE_TEST_SUITE_P(Programs, WrongUse, testing::Values("pokotanba-replay", "krshowcase-headless"));

TEST(WrongUseOwnSwitches, EachProgramNamesItsOwnSwitchesAndValues) {
    char name[] = "/tmp/kr_own_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const fs::path dir = name;
    const Outcome variant = RunProgram("pokotanba-replay", "--frames 5 --variant 2", dir);
    EXPECT_EQ(variant.status, 2);
    EXPECT_NE(variant.err.find("--variant wants 0 or 1, got '2'"), std::string::npos) << variant.err;
    const Outcome trace = RunProgram("pokotanba-replay", "--frames 5 --trace /nonexistent/t.txt", dir);
    EXPECT_EQ(trace.status, 2);
    EXPECT_NE(trace.err.find("'/nonexistent/t.txt'"), std::string::npos) << trace.err;
    const Outcome scene = RunProgram("krshowcase-headless", "--frames 5 --scene nowhere", dir);
    EXPECT_EQ(scene.status, 2);
    EXPECT_NE(scene.err.find("unknown scene 'nowhere'"), std::string::npos) << scene.err;
    const Outcome noTrace = RunProgram("krshowcase-headless", "--frames 5 --trace t.txt", dir);
    EXPECT_EQ(noTrace.status, 2) << "the showcase has no trace";
    const Outcome help = RunProgram("krshowcase-headless", "--help", dir);
    EXPECT_NE(help.out.find("scenes: "), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--scene NAME"), std::string::npos) << help.out;
    EXPECT_NE(RunProgram("pokotanba-replay", "--help", dir).out.find("--variant 0|1"), std::string::npos);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace

// ---- what the environment gets wrong, in one line each ----

class EnvironmentLines : public testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/kr_env_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        std::ofstream(dir / "empty.conf") << "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" << dir.string()
                                          << "</cachedir></fontconfig>\n";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    static int Count(const std::string& text, const std::string& part) {
        int n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }
    fs::path dir;
};

TEST_F(EnvironmentLines, NoJapaneseFontAndAWrongDepthAreSaidOnceEach) {
    // The message scene draws Japanese text in both faces, frame after frame.
    Outcome o = RunProgram("krshowcase-headless",
                           "--frames 20 --scene message", dir);  // fonts found: nothing said
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(Count(o.err, "no Japanese font"), 0) << o.err;
    const std::string env = "FONTCONFIG_FILE='" + (dir / "empty.conf").string() + "' KR_DESKTOP_BITS=17 ";
    const std::string command = "cd '" + dir.string() + "' && " + env + "'" + std::string(KR_RUN_DIR) +
                                "/krshowcase-headless' --frames 20 --scene message > out.txt 2> err.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream err(dir / "err.txt");
    const std::string said((std::istreambuf_iterator<char>(err)), {});
    EXPECT_EQ(Count(said, "krshowcase-headless: no Japanese font found (fontconfig searched for a "), 1) << said;
    EXPECT_EQ(Count(said, "krshowcase-headless: KR_DESKTOP_BITS=17 is none of 15, 16, 24, 32"), 1) << said;
}
