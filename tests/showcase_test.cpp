// The headless showcase as a program: every scene reached by the keys (and
// back), its arguments and input scripts checked, the recording's length.
#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kRunDir = KR_RUN_DIR;
// One folder per process: ctest runs these tests side by side.
const fs::path kWork = fs::path(KR_BINARY_DIR) / ("showcase_test_" + std::to_string(getpid()));

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error together
};

Outcome RunShowcase(const std::string& arguments, const std::string& script = "") {
    fs::create_directories(kWork);
    std::ofstream(kWork / "input.txt") << script;
    const std::string command = "cd '" + kRunDir.string() + "' && ./krshowcase-headless " + arguments + " > '" +
                                (kWork / "output.txt").string() + "' 2>&1";
    Outcome o;
    const int status = std::system(command.c_str());
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(kWork / "output.txt");
    o.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return o;
}

std::string Input() { return "--input '" + (kWork / "input.txt").string() + "'"; }

// Presses a key at each of the given frames (down, then up a frame later).
std::string Presses(const char* key, int first, int count, int every) {
    std::string script;
    for (int i = 0; i < count; ++i) {
        const int at = first + i * every;
        script += std::to_string(at) + " " + key + " down\n" + std::to_string(at + 1) + " " + key + " up\n";
    }
    return script;
}

TEST(ShowcaseHeadless, PageDownVisitsEveryScenePageUpAndShiftTabGoBack) {
    // Polled keys read 0 while a transition runs, so the presses are 12
    // frames apart (the uncovering takes ten). Count the scenes through the
    // one each run ends in; as many presses as scenes come back round.
    const char* order[] = {"blits",      "blends",  "strips", "scaled", "transition", "background", "message",
                           "rotation",   "filters", "wipes",  "sound",  "stream", "music"};
    const int count = static_cast<int>(std::size(order));
    for (int presses : {1, 5, 6, 12, count}) {
        Outcome o = RunShowcase("--frames " + std::to_string(12 * presses + 4) + " " + Input(),
                                Presses("PGDN", 2, presses, 12));
        ASSERT_EQ(o.status, 0) << o.output;
        EXPECT_NE(o.output.find(std::string("scene ") + order[presses % count] + " after"), std::string::npos)
            << presses << " presses: " << o.output;
    }
    Outcome back = RunShowcase("--scene message --frames 30 " + Input(), Presses("PGUP", 2, 2, 12));
    EXPECT_NE(back.output.find("scene transition after"), std::string::npos) << back.output;
    Outcome tab = RunShowcase("--scene blits --frames 40 " + Input(),
                              "2 TAB down\n3 TAB up\n14 SHIFT down\n15 TAB down\n16 TAB up\n27 TAB down\n28 TAB up\n"
                              "29 SHIFT up\n");
    EXPECT_NE(tab.output.find("scene music after"), std::string::npos) << "Tab, then Shift+Tab twice: " << tab.output;
}

TEST(ShowcaseHeadless, ATapShorterThanAFrameStillStepsTheScene) {
    // Down and up reach the window before the same frame: a poll sees the
    // key up, the key-down message is what counts.
    Outcome o = RunShowcase("--scene blits --frames 6 " + Input(), "3 PGDN down\n3 PGDN up\n");
    EXPECT_NE(o.output.find("scene blends after"), std::string::npos) << o.output;
}

TEST(ShowcaseHeadless, TheBackgroundSceneIsLeftByItsKeysTooThoughPollsReadZeroThere) {
    Outcome o = RunShowcase("--scene background --frames 10 " + Input(), Presses("PGDN", 3, 1, 4));
    EXPECT_NE(o.output.find("scene message after"), std::string::npos) << o.output;
    Outcome tap = RunShowcase("--scene background --frames 6 " + Input(), "3 PGDN down\n3 PGDN up\n");
    EXPECT_NE(tap.output.find("scene message after"), std::string::npos) << "a tap within a frame: " << tap.output;
    Outcome back = RunShowcase("--scene background --frames 30 " + Input(), "3 PGUP down\n5 PGUP up\n");
    EXPECT_NE(back.output.find("scene transition after"), std::string::npos) << back.output;
}

TEST(ShowcaseHeadless, RecordsExactlyTheAudioOfItsFrames) {
    const fs::path wav = kWork / "one_second.wav";
    fs::remove(wav);
    Outcome o = RunShowcase("--scene sound --frames 60 --audio '" + wav.string() + "'");
    ASSERT_EQ(o.status, 0) << o.output;
    // 44100 Hz stereo 16-bit: one second of frames is 176400 bytes of data.
    std::ifstream in(wav, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 44u);
    auto le32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    };
    const std::uint32_t rate = le32(24), perSecond = le32(28);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(le32(40), perSecond) << "one second at " << rate << " Hz";
    EXPECT_EQ(bytes.size(), 44u + perSecond);
}

TEST(ShowcaseHeadless, RefusesBadArgumentsAndScriptsWithAReason) {
    struct Case {
        std::string arguments, script, reason;
    };
    const Case cases[] = {
        {"--frames 5 --scene nowhere", "", "unknown scene 'nowhere'"},
        {"--scene blits", "", "--frames is required"},
        {"--frames 0", "", "--frames wants a whole number"},
        {"--frames 5 --frames", "", "missing value after --frames"},
        {"--frames 5 --colour red", "", "unknown option"},
        {"--frames 5 --input /nonexistent/script.txt", "", "cannot read the input script"},
        {"--frames 5 " + Input(), "3 PGDN sideways\n", "action must be down or up"},
        {"--frames 5 " + Input(), "3 NOSUCHKEY down\n", "unknown key"},
        {"--frames 5 " + Input(), "0 PGDN down\n", "frame must be a number from 1"},
        {"--frames 5 " + Input(), "3 PGDN\n", "expected '<frame> <key> <down|up>'"},
        {"--frames 5 " + Input(), std::string(600, '7') + "\n", "line too long"},
    };
    for (const Case& c : cases) {
        Outcome o = RunShowcase(c.arguments, c.script);
        EXPECT_EQ(o.status, 2) << c.arguments << "\n" << o.output;
        EXPECT_NE(o.output.find(c.reason), std::string::npos) << c.arguments << "\n" << o.output;
    }
    Outcome blank = RunShowcase("--frames 3 " + Input(), "# a comment\n\n2 space down\n3 SPACE up\n");
    EXPECT_EQ(blank.status, 0) << blank.output;
    Outcome noFolder = RunShowcase("--frames 2 --screenshot /nonexistent/folder/shot.bmp");
    // An output that cannot be written is a wrong argument, found before the run.
    EXPECT_EQ(noFolder.status, 2) << noFolder.output;
    EXPECT_NE(noFolder.output.find("cannot write the screenshot"), std::string::npos);
}

}  // namespace
