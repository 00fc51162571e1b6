// The window's sound dump (KR_AUDIO_DUMP) when it cannot be written: the
// device goes on playing, one line says that the dump stopped, and the file
// keeps a header that claims exactly the whole sample frames it holds. The
// failure comes from the failing-write seam, and from a real full file
// system (a small tmpfs) when the test may mount one.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/audio/mixer.h"
#include "platform/headless/headless.h"
#include "platform/os/backend.h"
#include "platform/os/write_steps.h"
#include "platform/sdl/sdl_backend.h"
#include "small_file_system.h"
#include "temp_folder.h"

namespace {

namespace audio = plat::audio;
namespace fs = std::filesystem;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// The dump's header claims the data it holds, in whole frames of four bytes.
void ExpectHonestDump(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(b.size(), 44u);
    const std::uint32_t data = Le32(b, 40);
    EXPECT_EQ(b.size(), 44u + data) << "the header claims other data than the file holds";
    EXPECT_EQ(Le32(b, 4), 36u + data);
    EXPECT_EQ(data % 4, 0u) << "a sample frame was cut";
}

// Polls (the device plays in real time on its own thread) until `done`
// holds or five seconds passed.
template <typename Done>
void WaitUntil(Done done) {
    for (int waited = 0; waited < 5000 && !done(); waited += 10) SDL_Delay(10);
}

class SoundDumpFailures : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        audio::CloseOutput();
        audio::ResetMixer();
        plat::SetBackend(&plat::sdl::Instance());
    }
    void TearDown() override {
        audio::CloseOutput();
        plat::SetBackend(&plat::headless::Instance());
        audio::ResetMixer();
        unsetenv("KR_AUDIO_DUMP");
        plat::SetFailingWrite(0);
    }
    // Plays until `stopped` holds, then a little longer; what was said on standard error.
    template <typename Done>
    std::string PlayInto(const fs::path& dump, Done stopped) {
        setenv("KR_AUDIO_DUMP", dump.c_str(), 1);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(audio::OpenOutput());
        WaitUntil(stopped);
        SDL_Delay(100);  // more pulls of the device after the failure
        audio::CloseOutput();
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(SoundDumpFailures, AFailedWriteStopsTheDumpWithOneLineAndAnHonestHeader) {
    kr_test::TempFolder folder("kr_dump_failures");
    const fs::path dump = folder.Path() / "dump.wav";
    plat::SetFailingWrite(3);  // the header, one block, then half of the next
    const std::string said = PlayInto(dump, [] { return plat::FailingWriteFired(); });
    ASSERT_TRUE(plat::FailingWriteFired());
    ExpectHonestDump(dump);
    EXPECT_NE(said.find("dump.wav stopped"), std::string::npos) << said;
    EXPECT_EQ(said.find("stopped"), said.rfind("stopped")) << "said more than once:\n" << said;
}

TEST_F(SoundDumpFailures, AFullFileSystemStopsTheDumpWithOneLineAndAnHonestHeader) {
    kr_test::SmallFileSystem disk;
    if (!disk.Mounted()) GTEST_SKIP() << "AFullFileSystem needs root to mount a small tmpfs";
    const fs::path dump = disk.Path() / "dump.wav";
    std::error_code error;
    // Full once the file stops growing near the disk's size.
    const std::string said = PlayInto(dump, [&] { return fs::file_size(dump, error) > 60000 && !error; });
    ExpectHonestDump(dump);
    EXPECT_GT(fs::file_size(dump), 40000u);
    EXPECT_NE(said.find("dump.wav stopped"), std::string::npos) << said;
    EXPECT_EQ(said.find("stopped"), said.rfind("stopped")) << "said more than once:\n" << said;
}

}  // namespace
