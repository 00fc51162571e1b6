// The sound pack tool, run as a program: the same bytes as krSound::Convert,
// the listing, the round trip of an entry, and its errors.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/wait.h>

#include "sound/sound_internal.h"
#include "sound_fixture.h"

using namespace soundfiles;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

}  // namespace

class SoundPackTool : public SoundTest {
protected:
    Result Tool(const std::string& args) {
        const std::string outFile = (FolderPath() / "tool.out").string();
        const std::string errFile = (FolderPath() / "tool.err").string();
        const std::string command =
            std::string(KR_BINARY_DIR) + "/soundpack " + args + " >" + outFile + " 2>" + errFile;
        Result r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        const Bytes out = ReadFile(outFile), err = ReadFile(errFile);
        r.out.assign(out.begin(), out.end());
        r.err.assign(err.begin(), err.end());
        return r;
    }
    std::string Path(const std::string& file) { return (FolderPath() / file).string(); }
};

TEST_F(SoundPackTool, BuildsTheSameBytesAsConvertAndListsThem) {
    std::filesystem::create_directories(FolderPath() / "snd");
    Bytes floats;
    for (int i = 0; i < 4410; ++i) Put32(floats, 0x3E800000);  // 0.25f
    Write("snd/a.wav", PcmWave(1, 8000, 8, Bytes(8000, 128)));
    Write("snd/f.wav", Riff({Chunk("fmt ", FormatFields(3, 1, 44100, 32)), Chunk("data", floats)}));
    Write("snd/Boom.WAV", PcmWave(2, 22050, 16, Ramp16(2, 2205)));
    ASSERT_EQ(krSound::Convert((Folder() + "\\conv.pak").c_str(), (Folder() + "\\snd").c_str(), 1), 1);

    const Result build = Tool("build " + Path("tool.pak") + " " + Path("snd"));
    EXPECT_EQ(build.status, 0) << build.err;
    EXPECT_EQ(ReadFile(Path("tool.pak")), ReadFile(Path("conv.pak")));

    const Result list = Tool("list " + Path("tool.pak"));
    EXPECT_EQ(list.status, 0) << list.err;
    std::istringstream lines(list.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), 4u) << list.out;
    EXPECT_NE(rows[0].find("BOOM.WAV"), std::string::npos);
    EXPECT_NE(rows[0].find("PCM"), std::string::npos);
    EXPECT_NE(rows[0].find("2 ch"), std::string::npos);
    EXPECT_NE(rows[0].find("22050 Hz"), std::string::npos);
    EXPECT_NE(rows[0].find("0.100 s"), std::string::npos);
    EXPECT_NE(rows[1].find("A.WAV"), std::string::npos);
    EXPECT_NE(rows[1].find("1.000 s"), std::string::npos);
    EXPECT_NE(rows[2].find("float"), std::string::npos);
    EXPECT_NE(rows[2].find("32 bit"), std::string::npos);
    EXPECT_EQ(rows[3], "3 entries");

    const Result append = Tool("build " + Path("tool.pak") + " " + Path("snd") + " --append");
    EXPECT_EQ(append.status, 0);
    EXPECT_EQ(ReadFile(Path("tool.pak")).size(), 2 * ReadFile(Path("conv.pak")).size());
}

TEST_F(SoundPackTool, ExtractsAnEntryBackToTheSameSound) {
    std::filesystem::create_directories(FolderPath() / "snd");
    const Bytes boom = PcmWave(2, 22050, 16, Ramp16(2, 1001));
    Write("snd/boom.wav", boom);
    Write("snd/f.wav", Riff({Chunk("fmt ", FormatFields(3, 1, 44100, 32)), Chunk("data", Bytes(8, 0x3F))}));
    ASSERT_EQ(Tool("build " + Path("p.pak") + " " + Path("snd")).status, 0);
    ASSERT_EQ(Tool("extract " + Path("p.pak") + " Boom.wav " + Path("out.wav")).status, 0);
    EXPECT_EQ(ReadFile(Path("out.wav")), boom);  // a canonical PCM file comes back byte for byte
    ASSERT_EQ(Tool("extract " + Path("p.pak") + " F.WAV " + Path("f2.wav")).status, 0);
    krSound::internal::WaveData original, back;
    const Bytes a = ReadFile(Path("snd/f.wav")), b = ReadFile(Path("f2.wav"));
    ASSERT_TRUE(krSound::internal::ParseWave(a.data(), a.size(), original));
    ASSERT_TRUE(krSound::internal::ParseWave(b.data(), b.size(), back));
    EXPECT_EQ(back.format, original.format);
    EXPECT_EQ(back.samples, original.samples);
}

TEST_F(SoundPackTool, ReportsErrorsWithAStatus) {
    const Result help = Tool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: soundpack build"), std::string::npos);
    EXPECT_EQ(Tool("").status, 2);
    EXPECT_EQ(Tool("frobnicate x").status, 2);
    EXPECT_EQ(Tool("list").status, 2);

    const Result missing = Tool("list " + Path("none.pak"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);

    std::filesystem::create_directories(FolderPath() / "snd");
    Write("snd/a.wav", PcmWave(1, 8000, 8, {1, 2, 3}));
    Write("snd/bad.wav", Bytes{'R', 'I', 'F', 'F'});
    const Result partly = Tool("build " + Path("p.pak") + " " + Path("snd"));
    EXPECT_EQ(partly.status, 1);
    EXPECT_NE(partly.err.find("skipped bad.wav"), std::string::npos);
    EXPECT_EQ(Tool("extract " + Path("p.pak") + " a.wav " + Path("a2.wav")).status, 0);
    const Result noEntry = Tool("extract " + Path("p.pak") + " zzz.wav " + Path("z.wav"));
    EXPECT_EQ(noEntry.status, 1);
    EXPECT_NE(noEntry.err.find("no entry"), std::string::npos);

    Bytes cut = ReadFile(Path("p.pak"));
    cut.pop_back();
    Write("cut.pak", cut);
    const Result damaged = Tool("list " + Path("cut.pak"));
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.err.find("damaged"), std::string::npos);

    std::filesystem::create_directories(FolderPath() / "empty");
    EXPECT_EQ(Tool("build " + Path("e.pak") + " " + Path("empty")).status, 1);
}
