// Wrong use of every program, walked from one table: --help prints the usage
// and exits 0; an unknown switch, a missing value, a missing or unreadable
// file, an output folder that cannot be written, or a write that fails
// halfway gets exactly one line on standard error that names the problem and
// a non-zero exit status, never a crash; and the file that was there before
// is still there, whole, with nothing left beside it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sound_files.h"

namespace {

namespace fs = std::filesystem;

enum class Expect {
    kUsage,         // exit 0, the usage on standard output
    kRefused,       // a non-zero exit (not a signal) and one line naming the problem
    kRefusedWith2,  // the same with exit status 2, the status of wrong use
};

enum class Home { kRunFolder, kBuildFolder, kScratchCopy };

struct Case {
    const char* program;
    Home home;
    std::vector<std::string> args;  // "{tmp}" stands for the scratch folder
    Expect expect;
    const char* mentions;       // a word the line must hold
    const char* keeps = "";     // a file of the scratch folder that must stay as it was
    int failingWrite = 0;       // KR_FAILING_WRITE for the run
};

std::ostream& operator<<(std::ostream& out, const Case& c) {
    out << c.program;
    for (const std::string& a : c.args) out << ' ' << a;
    return out;
}

const char kOld[] = "old contents";

// The scratch folder, one per test process: ctest runs tests side by side.
fs::path Scratch() { return fs::temp_directory_path() / ("kr_usage_" + std::to_string(getpid())); }

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Quoted(const std::string& s) {
    std::string quoted(1, '\'');
    quoted += Replace(s, "'", "'\\''");
    quoted += '\'';
    return quoted;
}

class ProgramUsage : public testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        std::error_code ignored;
        fs::remove_all(Scratch(), ignored);
        fs::create_directories(Scratch() / "pics");
        fs::create_directories(Scratch() / "snd");
        fs::create_directories(Scratch() / "art");
        fs::create_directories(Scratch() / "bare");
        // One tiny picture and one tiny sound, so that a build has work to do.
        const std::vector<std::uint8_t> bmp = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0,
                                               0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0,
                                               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x80, 0xC0, 0};
        soundfiles::WriteFile((Scratch() / "pics" / "a.bmp").string(), bmp);
        soundfiles::WriteFile((Scratch() / "snd" / "a.wav").string(),
                              soundfiles::PcmWave(1, 8000, 16, soundfiles::Ramp16(1, 100)));
        std::ofstream(Scratch() / "plain.txt") << "not a folder";
        std::ofstream(Scratch() / "input.txt") << "1 RIGHT down\n";
        for (const char* name : {"old.pak", "old.wav", "old.mid", "art/map.txt", "bare/out.pak"})
            std::ofstream(Scratch() / name) << kOld;
        // A device that takes nothing: a node of our own as root (so that a
        // wrong write could replace nothing of the system's), else a link to
        // the system's, which others cannot replace.
        if (::mknod((Scratch() / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
            fs::create_symlink("/dev/full", Scratch() / "full");
        // A sound pack to extract from.
        soundfiles::WriteFile((Scratch() / "sounds.pak").string(),
                              soundfiles::PackEntryBytes("A.WAV", soundfiles::FormatRecord(soundfiles::FormatFields(1, 8000, 8000, 16)),
                                                         soundfiles::Ramp16(1, 50)));
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(Scratch(), ignored);
    }

    // Where the program is run from: the run folder, the build folder, or a
    // copy alone in a folder of its own (without the assets beside it).
    static fs::path ProgramPath(const Case& c) {
        switch (c.home) {
            case Home::kRunFolder: return fs::path(KR_RUN_DIR) / c.program;
            case Home::kBuildFolder: return fs::path(KR_BINARY_DIR) / c.program;
            case Home::kScratchCopy: {
                const fs::path alone = Scratch() / (std::string("alone_") + c.program);
                fs::create_directories(alone);
                fs::copy_file(fs::path(KR_RUN_DIR) / c.program, alone / c.program, fs::copy_options::overwrite_existing);
                return alone / c.program;
            }
        }
        return {};
    }

    struct Outcome {
        int status = -1;
        bool signalled = false;
        std::string out, err;
    };

    static Outcome Run(const Case& c) {
        const fs::path program = ProgramPath(c);
        std::string command = "cd " + Quoted(Scratch().string()) + " && ";
        if (c.failingWrite) command += "KR_FAILING_WRITE=" + std::to_string(c.failingWrite) + " ";
        command += "timeout 120 " + Quoted(program.string());
        for (const std::string& a : c.args) {
            command += ' ';
            command += Quoted(Replace(a, "{tmp}", Scratch().string()));
        }
        command += " > out.log 2> err.log";
        const int raw = std::system(command.c_str());
        Outcome o;
        // The shell reports a death by signal as 128 + the signal's number.
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        o.signalled = !WIFEXITED(raw) || o.status >= 124;
        o.out = Slurp(Scratch() / "out.log");
        o.err = Slurp(Scratch() / "err.log");
        return o;
    }

    // The scratch folder's names that are left-over temporary files.
    static std::vector<std::string> Leftovers() {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(Scratch()))
            if (entry.path().filename().string().find(".tmp") != std::string::npos)
                found.push_back(entry.path().string());
        return found;
    }

    static void Check(const Case& c) {
        SCOPED_TRACE(testing::PrintToString(c));
        const Outcome o = Run(c);
        ASSERT_FALSE(o.signalled) << "status " << o.status << ", stderr: " << o.err;
        if (c.expect == Expect::kUsage) {
            EXPECT_EQ(o.status, 0) << o.err;
            EXPECT_NE(o.out.find("usage:"), std::string::npos) << o.out;
            EXPECT_FALSE(fs::exists(Scratch() / "--help")) << "the switch was taken for an output folder";
            return;
        }
        EXPECT_NE(o.status, 0);
        if (c.expect == Expect::kRefusedWith2) {
            EXPECT_EQ(o.status, 2);
        }
        ASSERT_FALSE(o.err.empty()) << "nothing said on standard error";
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "more than one line:\n" << o.err;
        EXPECT_NE(o.err.find(c.mentions), std::string::npos) << "the line does not name " << c.mentions << ": " << o.err;
        EXPECT_EQ(o.err.find("usage:"), std::string::npos) << "the whole usage instead of the problem";
        if (*c.keeps) {
            EXPECT_EQ(Slurp(Scratch() / c.keeps), kOld) << c.keeps << " was damaged";
        }
        EXPECT_EQ(Leftovers(), std::vector<std::string>{});
    }
};

TEST_P(ProgramUsage, AnswersWrongUseWithOneLine) { Check(GetParam()); }

const Case kPrograms[] = {
    // The game and the showcase: no switches of their own; their assets beside them.
    {"pokotanba", Home::kRunFolder, {"--help"}, Expect::kUsage, ""},
    {"pokotanba", Home::kRunFolder, {"--fullscreen"}, Expect::kRefusedWith2, "--fullscreen"},
    {"pokotanba", Home::kScratchCopy, {}, Expect::kRefused, "BMP"},
    {"krshowcase", Home::kRunFolder, {"--help"}, Expect::kUsage, ""},
    {"krshowcase", Home::kRunFolder, {"-x"}, Expect::kRefusedWith2, "-x"},
    {"krshowcase", Home::kScratchCopy, {}, Expect::kRefused, "showcase"},

    {"imagepack", Home::kBuildFolder, {"--help"}, Expect::kUsage, ""},
    {"imagepack", Home::kBuildFolder, {}, Expect::kRefused, "no command"},
    {"imagepack", Home::kBuildFolder, {"build", "{tmp}/p.pak", "{tmp}/pics", "--fast"}, Expect::kRefused, "--fast"},
    {"imagepack", Home::kBuildFolder, {"--verbose"}, Expect::kRefused, "--verbose"},
    {"imagepack", Home::kBuildFolder, {"build", "{tmp}/p.pak"}, Expect::kRefused, "build"},
    {"imagepack", Home::kBuildFolder, {"extract", "{tmp}/old.pak", "A"}, Expect::kRefused, "extract"},
    {"imagepack", Home::kBuildFolder, {"list", "{tmp}/none.pak"}, Expect::kRefused, "none.pak"},
    {"imagepack", Home::kBuildFolder, {"list", "{tmp}/pics"}, Expect::kRefused, "pics"},
    {"imagepack", Home::kBuildFolder, {"build", "{tmp}/p.pak", "{tmp}/nowhere"}, Expect::kRefused, "nowhere"},
    {"imagepack", Home::kBuildFolder, {"build", "{tmp}/missing/p.pak", "{tmp}/pics"}, Expect::kRefused, "p.pak"},
    {"imagepack", Home::kBuildFolder, {"build", "{tmp}/plain.txt/p.pak", "{tmp}/pics"}, Expect::kRefused, "p.pak"},
    {"imagepack", Home::kBuildFolder, {"build", "{tmp}/old.pak", "{tmp}/pics"}, Expect::kRefused, "old.pak", "old.pak", 1},
    {"imagepack", Home::kBuildFolder, {"build", "{tmp}/old.pak", "{tmp}/pics", "--append"}, Expect::kRefused, "old.pak",
     "old.pak", 2},
    // Outputs that are the command's own inputs, and appending onto a pack that does not read through.
    {"imagepack", Home::kBuildFolder, {"extract", "{tmp}/old.pak", "A", "{tmp}/old.pak"}, Expect::kRefusedWith2,
     "old.pak", "old.pak"},
    {"imagepack", Home::kBuildFolder, {"build", "{tmp}/pics/a.bmp", "{tmp}/pics"}, Expect::kRefusedWith2, "a.bmp"},
    {"imagepack", Home::kBuildFolder, {"build", "{tmp}/old.pak", "{tmp}/pics", "--append"}, Expect::kRefused,
     "nothing appended", "old.pak"},

    {"soundpack", Home::kBuildFolder, {"--help"}, Expect::kUsage, ""},
    {"soundpack", Home::kBuildFolder, {}, Expect::kRefusedWith2, "no command"},
    {"soundpack", Home::kBuildFolder, {"build", "{tmp}/p.pak", "{tmp}/snd", "--fresh"}, Expect::kRefusedWith2, "--fresh"},
    {"soundpack", Home::kBuildFolder, {"list"}, Expect::kRefusedWith2, "list"},
    {"soundpack", Home::kBuildFolder, {"extract", "{tmp}/sounds.pak", "A.WAV"}, Expect::kRefusedWith2, "extract"},
    {"soundpack", Home::kBuildFolder, {"list", "{tmp}/none.pak"}, Expect::kRefused, "none.pak"},
    {"soundpack", Home::kBuildFolder, {"build", "{tmp}/bare/out.pak", "{tmp}/nowhere"}, Expect::kRefused, "nowhere",
     "bare/out.pak"},
    {"soundpack", Home::kBuildFolder, {"build", "{tmp}/missing/p.pak", "{tmp}/snd"}, Expect::kRefused, "p.pak"},
    {"soundpack", Home::kBuildFolder, {"extract", "{tmp}/sounds.pak", "A.WAV", "{tmp}/plain.txt/a.wav"},
     Expect::kRefused, "a.wav"},
    {"soundpack", Home::kBuildFolder, {"build", "{tmp}/old.pak", "{tmp}/snd"}, Expect::kRefused, "old.pak", "old.pak", 1},
    {"soundpack", Home::kBuildFolder, {"extract", "{tmp}/sounds.pak", "A.WAV", "{tmp}/old.wav"}, Expect::kRefused,
     "old.wav", "old.wav", 1},
    {"soundpack", Home::kBuildFolder, {"extract", "{tmp}/sounds.pak", "A.WAV", "{tmp}/sounds.pak"},
     Expect::kRefusedWith2, "sounds.pak"},
    {"soundpack", Home::kBuildFolder, {"build", "{tmp}/snd/a.wav", "{tmp}/snd"}, Expect::kRefusedWith2, "a.wav"},
    {"soundpack", Home::kBuildFolder, {"build", "{tmp}/old.pak", "{tmp}/snd", "--append"}, Expect::kRefused,
     "nothing appended", "old.pak"},

    {"artgen", Home::kBuildFolder, {"--help"}, Expect::kUsage, ""},
    {"artgen", Home::kBuildFolder, {"--seed"}, Expect::kRefusedWith2, "--seed"},
    {"artgen", Home::kBuildFolder, {}, Expect::kRefusedWith2, "output folder"},
    {"artgen", Home::kBuildFolder, {"{tmp}/plain.txt/art"}, Expect::kRefused, "plain.txt"},
    {"artgen", Home::kBuildFolder, {"{tmp}/art"}, Expect::kRefused, "map.txt", "art/map.txt", 1},

    {"musicgen", Home::kBuildFolder, {"--help"}, Expect::kUsage, ""},
    {"musicgen", Home::kBuildFolder, {"--tempo", "90"}, Expect::kRefusedWith2, "--tempo"},
    {"musicgen", Home::kBuildFolder, {}, Expect::kRefusedWith2, "output file"},
    {"musicgen", Home::kBuildFolder, {"{tmp}/missing/m.mid"}, Expect::kRefused, "m.mid"},
    {"musicgen", Home::kBuildFolder, {"{tmp}/old.mid"}, Expect::kRefused, "old.mid", "old.mid", 1},

    // The other generators: usage, wrong switches and missing operands, never a folder called --help.
    {"icongen", Home::kBuildFolder, {"--help"}, Expect::kUsage, ""},
    {"icongen", Home::kBuildFolder, {"--size", "{tmp}/icons"}, Expect::kRefusedWith2, "--size"},
    {"icongen", Home::kBuildFolder, {}, Expect::kRefusedWith2, "output folder"},
    {"icongen", Home::kBuildFolder, {"{tmp}/a", "{tmp}/b", "{tmp}/c"}, Expect::kRefusedWith2, "too many operands"},
    {"showcase_art", Home::kBuildFolder, {"--help"}, Expect::kUsage, ""},
    {"showcase_art", Home::kBuildFolder, {"-v"}, Expect::kRefusedWith2, "-v"},
    {"showcase_art", Home::kBuildFolder, {}, Expect::kRefusedWith2, "run folder"},
    {"showcase_sound", Home::kBuildFolder, {"--help"}, Expect::kUsage, ""},
    {"showcase_sound", Home::kBuildFolder, {"--quiet", "{tmp}"}, Expect::kRefusedWith2, "--quiet"},
    {"showcase_sound", Home::kBuildFolder, {}, Expect::kRefusedWith2, "run folder"},
};
INSTANTIATE_TEST_SUITE_P(Programs, ProgramUsage, testing::ValuesIn(kPrograms));

// The two script-driven programs answer in the same way (the one script
// driver reads their command lines), with exit status 2 for every wrong use.
class ScriptDriverUsage : public ProgramUsage {};

TEST_P(ScriptDriverUsage, AnswersWrongUseWithOneLine) { Check(GetParam()); }

const Case kScriptDrivers[] = {
    {"pokotanba-replay", Home::kRunFolder, {"--help"}, Expect::kUsage, ""},
    {"pokotanba-replay", Home::kRunFolder, {"--frames", "1", "--speed"}, Expect::kRefusedWith2, "--speed"},
    {"pokotanba-replay", Home::kRunFolder, {"--frames"}, Expect::kRefusedWith2, "--frames"},
    {"pokotanba-replay", Home::kRunFolder, {"--frames", "1", "--input", "{tmp}/none.txt"}, Expect::kRefusedWith2,
     "none.txt"},
    // A device that takes nothing fails the run; it is never replaced by a file.
    {"pokotanba-replay", Home::kRunFolder, {"--frames", "1", "--screenshot", "{tmp}/full"}, Expect::kRefused, "full"},
    {"pokotanba-replay", Home::kRunFolder, {"--frames", "1", "--audio", "{tmp}/full"}, Expect::kRefused, "full"},
    {"pokotanba-replay", Home::kRunFolder, {"--frames", "1", "--input", "{tmp}/input.txt", "--trace", "{tmp}/input.txt"},
     Expect::kRefusedWith2, "input script"},
    {"pokotanba-replay", Home::kRunFolder, {"--frames", "1", "--input", "{tmp}/input.txt", "--audio", "{tmp}/./input.txt"},
     Expect::kRefusedWith2, "input script"},
    {"krshowcase-headless", Home::kRunFolder, {"--help"}, Expect::kUsage, ""},
    {"krshowcase-headless", Home::kRunFolder, {"--frames", "1", "--speed"}, Expect::kRefusedWith2, "--speed"},
    {"krshowcase-headless", Home::kRunFolder, {"--frames", "1", "--input"}, Expect::kRefusedWith2, "--input"},
    {"krshowcase-headless", Home::kRunFolder, {"--frames", "1", "--input", "{tmp}/none.txt"}, Expect::kRefusedWith2,
     "none.txt"},
};
INSTANTIATE_TEST_SUITE_P(ScriptDrivers, ScriptDriverUsage, testing::ValuesIn(kScriptDrivers));

}  // namespace
