// Writes that cannot lose data: every path that writes user data or a pack
// (settings files, screenshots, both pack converters, the BMP writer of the
// tools) is run with its n-th write step failing, for every n until a run
// gets through; each failed run must report failure and leave the old file
// byte for byte, with no temporary file left beside it.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "draw_fixture.h"
#include "platform/images/bmp.h"
#include "platform/os/atomic_file.h"
#include "sound/krSound.h"
#include "sound_files.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Put(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Names in the folder that are not among `expected`: temporary files left behind.
std::vector<std::string> Strays(const fs::path& folder, const std::vector<std::string>& expected) {
    std::vector<std::string> strays;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) strays.push_back(name);
    }
    return strays;
}

class AtomicWrites : public DrawTest {
protected:
    void TearDown() override {
        plat::SetFailingWrite(0);
        DrawTest::TearDown();
    }

    // Puts `old` at `target`, then runs `write` with write step n failing for
    // n = 1, 2, ... Each failed run must return false and leave `old`; the
    // first run the seam does not reach must return true. Returns the number
    // of steps the successful run took.
    static int FailEveryStep(const fs::path& target, const Bytes& old, const std::function<bool()>& write,
                             const std::vector<std::string>& others = {}) {
        std::vector<std::string> expected = others;
        expected.push_back(target.filename().string());
        for (int n = 1; n < 2000; ++n) {
            Put(target, old);
            plat::SetFailingWrite(n);
            const bool ok = write();
            const bool fired = plat::FailingWriteFired();
            plat::SetFailingWrite(0);
            if (!fired) {
                EXPECT_TRUE(ok) << "no step failed, yet the write reported failure";
                EXPECT_NE(Read(target), old) << "the successful write changed nothing";
                return n;
            }
            EXPECT_FALSE(ok) << "write step " << n << " failed, yet success was reported";
            EXPECT_EQ(Read(target), old) << "write step " << n << " failed and the old file was damaged";
            EXPECT_EQ(Strays(target.parent_path(), expected), std::vector<std::string>{}) << "step " << n;
        }
        ADD_FAILURE() << "the write never got through";
        return 0;
    }

    static Bytes OldBytes() { return Bytes{'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'}; }
};

TEST_F(AtomicWrites, AFileIsReplacedWholeOrNotAtAll) {
    const fs::path target = FolderPath() / "plain.bin";
    const Bytes big(100000, 0x5A);
    const int steps = FailEveryStep(target, OldBytes(), [&] {
        plat::AtomicFile file(target.string());
        // Many small writes, so that the stream hands several blocks on.
        for (std::size_t at = 0; at < big.size(); at += 1000)
            if (!file.Write(big.data() + at, 1000)) return false;
        return file.Commit();
    });
    EXPECT_GT(steps, 3) << "the stream should have written in several blocks";
    EXPECT_EQ(Read(target), big);
    // One write far larger than the stream's buffer, failing at any block.
    const Bytes huge(300000, 0xA5);
    FailEveryStep(target, OldBytes(), [&] { return plat::WriteFileAtomically(target.string(), huge.data(), huge.size()); });
    EXPECT_EQ(Read(target), huge);
}

TEST_F(AtomicWrites, AppendingKeepsTheOldBytesAndOpeningCanFail) {
    const fs::path target = FolderPath() / "log.bin";
    Put(target, {1, 2, 3});
    {
        plat::AtomicFile file(target.string(), plat::AtomicFile::Start::kExisting);
        ASSERT_TRUE(file.Write("\x04\x05", 2));
        EXPECT_EQ(Read(target), (Bytes{1, 2, 3})) << "nothing shows before the commit";
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_EQ(Read(target), (Bytes{1, 2, 3, 4, 5}));
    {
        plat::AtomicFile dropped(target.string());
        dropped.Write("x", 1);
    }  // never committed
    EXPECT_EQ(Read(target), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(Strays(FolderPath(), {"log.bin"}), std::vector<std::string>{});

    plat::AtomicFile nowhere((FolderPath() / "no_such_folder" / "x.bin").string());
    EXPECT_FALSE(nowhere.IsOpen());
    EXPECT_FALSE(nowhere.Write("x", 1));
    EXPECT_FALSE(nowhere.Commit());
    // A folder where the file should be: the rename fails, the folder stays.
    fs::create_directories(FolderPath() / "a_folder");
    EXPECT_FALSE(plat::WriteFileAtomically((FolderPath() / "a_folder").string(), "x", 1));
    EXPECT_TRUE(fs::is_directory(FolderPath() / "a_folder"));
}

TEST_F(AtomicWrites, SettingsFileKeepsItsOldValue) {
    const std::string name = Folder() + "/setting.dat";
    const fs::path target = FolderPath() / "setting.dat";
    FailEveryStep(target, {'7'}, [&] {
        krSystem::SaveNumber(name.c_str(), 12345);
        return krSystem::LoadNumber(name.c_str()) == 12345;
    });
    EXPECT_EQ(krSystem::LoadNumber(name.c_str()), 12345);
}

TEST_F(AtomicWrites, ScreenshotKeepsTheEarlierShot) {
    setenv("KR_DESKTOP_BITS", "16", 1);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    krDraw::FillRect(0, 0, 800, 600, 0x1234);
    const std::string name = Folder() + "\\shot.bmp";
    const int steps = FailEveryStep(FolderPath() / "shot.bmp", OldBytes(),
                                    [&] { return krDraw::SaveScreen(name.c_str(), 120, 90) == 1; });
    EXPECT_GT(steps, 2);
    EXPECT_EQ(Read(FolderPath() / "shot.bmp").size(), 58u + 360u * 90u);  // the shot's header is 58 bytes
}

TEST_F(AtomicWrites, ImagePackConversionKeepsTheOldPack) {
    setenv("KR_DESKTOP_BITS", "32", 1);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    fs::create_directories(FolderPath() / "pics");
    for (const char* file : {"pics/a.bmp", "pics/b.bmp"}) WriteGradient(file, 40, 30);
    const std::string pack = Folder() + "\\out.pak";
    for (const int deleteFirst : {1, 0}) {
        SCOPED_TRACE(deleteFirst ? "made anew" : "appended");
        const int steps = FailEveryStep(
            FolderPath() / "out.pak", OldBytes(),
            [&] { return krDraw::Convert(pack.c_str(), (Folder() + "\\pics").c_str(), deleteFirst) == 1; }, {"pics"});
        EXPECT_GT(steps, 1);
        const Bytes written = Read(FolderPath() / "out.pak");
        const Bytes prefix(written.begin(), written.begin() + static_cast<long>(std::min(written.size(), std::size_t{8})));
        EXPECT_EQ(prefix == OldBytes(), deleteFirst == 0) << "the old pack is kept only when appending";
    }
    // Failures are told as the converter's error report.
    plat::headless::Reset();
    plat::SetFailingWrite(1);
    EXPECT_EQ(krDraw::Convert(pack.c_str(), (Folder() + "\\pics").c_str(), 1), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::Convert", "パックファイルに書き込めません"));
}

TEST_F(AtomicWrites, SoundPackConversionKeepsTheOldPack) {
    if (!plat::StreamBlocksAreSteps()) GTEST_SKIP() << "the system's C library writes the stream's blocks unseen";
    using namespace soundfiles;
    fs::create_directories(FolderPath() / "snd");
    ASSERT_TRUE(WriteFile((FolderPath() / "snd" / "a.wav").string(), PcmWave(1, 8000, 16, Ramp16(1, 6000))));
    ASSERT_TRUE(WriteFile((FolderPath() / "snd" / "b.wav").string(), PcmWave(2, 8000, 8, Bytes(9000, 0x80))));
    const std::string pack = Folder() + "\\out.pak";
    for (const int fresh : {1, 0}) {
        SCOPED_TRACE(fresh ? "fresh" : "appended");
        const int steps = FailEveryStep(
            FolderPath() / "out.pak", OldBytes(),
            [&] { return krSound::Convert(pack.c_str(), (Folder() + "\\snd").c_str(), fresh) == 1; }, {"snd"});
        EXPECT_GT(steps, 2);
    }
}

TEST_F(AtomicWrites, ToolBmpWriterKeepsTheOldPicture) {
    const std::vector<std::uint32_t> pixels(64 * 64, 0x00FF8040);
    const fs::path target = FolderPath() / "tool.bmp";
    FailEveryStep(target, OldBytes(), [&] { return plat::WriteBmp24(target.string(), pixels.data(), 64, 64); });
    EXPECT_EQ(Read(target).size(), 54u + 192u * 64u);
}

}  // namespace
