// The script driver's arguments, in process: a run of no frames and a
// switch left without its value at the end of the line are refused with
// one line naming them and status 2, before the game starts and without
// reading past the arguments; a good line runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/script_driver.h"
#include "platform/headless/headless.h"

namespace {

int startups = 0, frames = 0;
std::vector<std::string> variantsTaken;

struct Outcome {
    int status = -1;
    std::string err;
};

// Runs a tiny game of the test's own with these arguments after its name.
Outcome RunTiny(std::vector<std::string> arguments) {
    startups = frames = 0;
    variantsTaken.clear();
    krScriptDriver::Program program;
    program.name = "tiny";
    // Scene 1 from the start: scene 0 runs no frames.
    program.steps = krGameSteps{[] { ++startups, krSystemState.scene = 1; }, [] { ++frames; }, "tiny"};
    program.switches.push_back({"--variant", "0|1", "a variant of the game", [](const std::string& value) {
                                    variantsTaken.push_back(value);
                                    return value == "0" || value == "1" ? std::string() : std::string("wants 0 or 1");
                                }});
    arguments.insert(arguments.begin(), "tiny");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStderr();
    Outcome o;
    o.status = krScriptDriver::Run(program, static_cast<int>(argv.size()) - 1, argv.data());
    o.err = testing::internal::GetCapturedStderr();
    plat::headless::Reset();
    return o;
}

// Refused: status 2, one line led by the program's name holding `named`,
// and the game never started.
void ExpectRefused(const std::vector<std::string>& arguments, const std::string& named) {
    std::string line;
    for (const std::string& a : arguments) line += a + " ";
    const Outcome o = RunTiny(arguments);
    EXPECT_EQ(o.status, krScriptDriver::kBadArguments) << line << "\n" << o.err;
    EXPECT_EQ(o.err.rfind("tiny: ", 0), 0u) << line << "\n" << o.err;
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "one line: " << o.err;
    EXPECT_NE(o.err.find(named), std::string::npos) << line << "\n" << o.err;
    EXPECT_EQ(startups, 0) << line;
    EXPECT_EQ(frames, 0) << line;
}

TEST(ScriptDriverArguments, NoFramesIsRefused) {
    ExpectRefused({"--frames", "0"}, "'0'");
    ExpectRefused({"--frames", "00"}, "'00'");
    ExpectRefused({"--frames", "-1"}, "'-1'");
    ExpectRefused({"--variant", "1", "--frames", "0"}, "'0'");
}

TEST(ScriptDriverArguments, ASwitchWithoutItsValueAtTheEndIsRefused) {
    ExpectRefused({"--frames"}, "missing value after --frames");
    ExpectRefused({"--frames", "3", "--input"}, "missing value after --input");
    ExpectRefused({"--frames", "3", "--screenshot"}, "missing value after --screenshot");
    ExpectRefused({"--frames", "3", "--audio"}, "missing value after --audio");
    ExpectRefused({"--frames", "3", "--variant"}, "missing value after --variant");
    EXPECT_TRUE(variantsTaken.empty()) << "the game's switch was handed a value that is not there";
}

TEST(ScriptDriverArguments, AGoodLineRunsItsFrames) {
    const Outcome o = RunTiny({"--variant", "1", "--frames", "3"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(startups, 1);
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(variantsTaken, std::vector<std::string>{"1"});
    EXPECT_EQ(RunTiny({"--frames", "1"}).status, 0);
    EXPECT_EQ(frames, 1);
}

}  // namespace
