// Outputs that fail are told, and what they leave is honest: the WAV writer
// stops at the first failed write with a header that claims exactly the
// whole sample frames the file holds; the script driver turns a failed sound
// file or trace into one line and exit status 1, keeps an old trace whole,
// and refuses an output that is its input script. Failures come from the
// failing-write seam, and from a real full file system (a small tmpfs) when
// the test may mount one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/script_driver.h"
#include "platform/audio/wav_writer.h"
#include "platform/headless/headless.h"
#include "platform/os/write_steps.h"
#include "small_file_system.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// The file's header claims exactly the data it holds, in whole sample
// frames, and that data is the start of what was appended. Returns the size
// of the data.
std::uint32_t ExpectHonestWav(const fs::path& path, const Bytes& appended, int blockAlign) {
    const Bytes file = Slurp(path);
    if (file.size() < 44) {
        ADD_FAILURE() << "no whole header: " << file.size() << " bytes";
        return 0;
    }
    const std::uint32_t data = Le32(file, 40);
    const std::uint32_t pad = data & 1;
    EXPECT_EQ(file.size(), 44u + data + pad) << "the header claims other data than the file holds";
    EXPECT_EQ(Le32(file, 4), file.size() - 8);
    EXPECT_EQ(data % static_cast<std::uint32_t>(blockAlign), 0u) << "a sample frame was cut";
    EXPECT_LE(data, appended.size());
    EXPECT_TRUE(std::equal(file.begin() + 44, file.begin() + 44 + std::min<std::size_t>(data, appended.size()),
                           appended.begin()))
        << "the data is not what was appended";
    return data;
}

Bytes Ramp(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

class WavWriterFailures : public testing::Test {
protected:
    void TearDown() override { plat::SetFailingWrite(0); }
};

TEST_F(WavWriterFailures, EveryFailedStepStopsTheFileWithAHeaderThatMatchesIt) {
    kr_test::TempFolder folder("kr_wav_failures");
    const fs::path path = folder.Path() / "dump.wav";
    const plat::audio::PcmFormat format{8000, 1, 16};  // two bytes a frame; the header every 16000 bytes
    const Bytes stream = Ramp(6 * 7001);               // odd pieces: halves cut through sample frames
    for (int n = 1; n < 100; ++n) {
        SCOPED_TRACE("failing step " + std::to_string(n));
        plat::SetFailingWrite(n);
        plat::audio::WavWriter writer;
        bool ok = writer.Open(path.string(), format);
        bool stoppedQuietly = false;
        for (std::size_t at = 0; at < stream.size(); at += 7001) {
            const bool appended = writer.Append(stream.data() + at, 7001);
            stoppedQuietly |= ok && !appended && !writer.Failed();
            ok = appended && ok;
        }
        ok = writer.Close() && ok;
        const bool fired = plat::FailingWriteFired();
        plat::SetFailingWrite(0);
        EXPECT_FALSE(stoppedQuietly);
        const std::uint32_t data = ExpectHonestWav(path, stream, format.BlockAlign());
        if (!fired) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(data, stream.size());
            EXPECT_GT(n, 5) << "too few steps: the headers were not rewritten";
            return;
        }
        EXPECT_FALSE(ok) << "a write failed and the writer did not say so";
        EXPECT_TRUE(writer.Failed());
    }
    ADD_FAILURE() << "the writer never got through";
}

TEST_F(WavWriterFailures, AFullFileSystemStopsTheFileWithAHeaderThatMatchesIt) {
    kr_test::SmallFileSystem disk;
    if (!disk.Mounted()) GTEST_SKIP() << "AFullFileSystem needs root to mount a small tmpfs";
    const fs::path path = disk.Path() / "dump.wav";
    plat::audio::WavWriter writer;
    ASSERT_TRUE(writer.Open(path.string(), plat::audio::PcmFormat{22050, 2, 16}));
    const Bytes piece = Ramp(4095);  // as a sound device hands it over: not in whole frames
    Bytes appended;
    int pieces = 0;
    for (; pieces < 100 && writer.Append(piece.data(), piece.size()); ++pieces)
        appended.insert(appended.end(), piece.begin(), piece.end());
    appended.insert(appended.end(), piece.begin(), piece.end());
    EXPECT_LT(pieces, 100) << "64 KiB never filled up";
    EXPECT_FALSE(writer.Append(piece.data(), piece.size())) << "a stopped file took more";
    EXPECT_FALSE(writer.Close());
    const std::uint32_t data = ExpectHonestWav(path, appended, 4);
    EXPECT_GT(data, 40000u) << "the file kept less than the disk could hold";
}

// ---- the script driver, in-process ----

long tinyFrames = 0;
void TinyStartup() { krSystemState.scene = 1; }
void TinyFrame() { ++tinyFrames; }
// Long lines, so that a few hundred frames fill a small disk.
void TinyTrace(std::FILE* file, long frame) { std::fprintf(file, "frame %ld %s\n", frame, std::string(200, '.').c_str()); }

class DriverOutputs : public testing::Test {
protected:
    void TearDown() override {
        plat::SetFailingWrite(0);
        plat::headless::Reset();
    }
    // The exit status; the standard error in `said`.
    int Run(std::vector<std::string> arguments) {
        krScriptDriver::Program program;
        program.name = "tiny";
        program.steps = krGameSteps{&TinyStartup, &TinyFrame, "tiny"};
        program.trace = &TinyTrace;
        arguments.insert(arguments.begin(), "tiny");
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStderr();
        const int status = krScriptDriver::Run(program, static_cast<int>(argv.size()) - 1, argv.data());
        said = testing::internal::GetCapturedStderr();
        return status;
    }
    void ExpectOneLineNaming(const std::string& name) {
        EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
        EXPECT_NE(said.find(name), std::string::npos) << said;
    }
    std::string said;
    kr_test::TempFolder folder_{"kr_driver_outputs"};
};

TEST_F(DriverOutputs, AFailedSoundFileFailsTheRun) {
    const fs::path wav = folder_.Path() / "run.wav";
    for (const int step : {1, 2, 5}) {
        SCOPED_TRACE("failing step " + std::to_string(step));
        plat::SetFailingWrite(step);
        EXPECT_EQ(Run({"--frames", "90", "--audio", wav.string()}), 1);
        EXPECT_TRUE(plat::FailingWriteFired());
        ExpectOneLineNaming("run.wav");
        const Bytes file = Slurp(wav);
        ASSERT_GE(file.size(), 44u);
        EXPECT_EQ(file.size(), 44u + Le32(file, 40)) << "the header claims other data than the file holds";
    }
    plat::SetFailingWrite(0);
    EXPECT_EQ(Run({"--frames", "90", "--audio", wav.string()}), 0) << said;
}

TEST_F(DriverOutputs, AFailedTraceFailsTheRunAndKeepsTheOldTrace) {
    const fs::path trace = folder_.Path() / "run.trace";
    for (const int step : {1, 3}) {
        SCOPED_TRACE("failing step " + std::to_string(step));
        const std::string old = "the old trace\n";
        std::ofstream(trace, std::ios::trunc) << old;
        plat::SetFailingWrite(step);
        EXPECT_EQ(Run({"--frames", "200", "--trace", trace.string()}), 1);
        EXPECT_TRUE(plat::FailingWriteFired());
        ExpectOneLineNaming("trace");
        EXPECT_EQ(Slurp(trace), Bytes(old.begin(), old.end()));
    }
}

TEST_F(DriverOutputs, AFullFileSystemFailsTheRunAndKeepsTheOldTrace) {
    kr_test::SmallFileSystem disk;
    if (!disk.Mounted()) GTEST_SKIP() << "AFullFileSystem needs root to mount a small tmpfs";
    const fs::path trace = disk.Path() / "run.trace";
    std::ofstream(trace) << "the old trace\n";
    EXPECT_EQ(Run({"--frames", "400", "--trace", trace.string()}), 1);
    ExpectOneLineNaming("trace");
    EXPECT_EQ(Slurp(trace).size(), 14u) << "the old trace was not kept";
    EXPECT_EQ(std::distance(fs::directory_iterator(disk.Path()), fs::directory_iterator()), 1)
        << "a temporary file was left";

    const fs::path wav = disk.Path() / "run.wav";
    EXPECT_EQ(Run({"--frames", "120", "--audio", wav.string()}), 1);
    ExpectOneLineNaming("run.wav");
    const Bytes file = Slurp(wav);
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(file.size(), 44u + Le32(file, 40));
    EXPECT_GT(file.size(), 40000u);
}

TEST_F(DriverOutputs, AnOutputThatIsTheInputScriptIsRefused) {
    const fs::path input = folder_.Path() / "session.txt";
    const std::string recording = "count passes\n1 RIGHT down\n5 RIGHT up\n";
    std::ofstream(input) << recording;
    fs::create_symlink(input, folder_.Path() / "alias.txt");
    for (const char* output : {"--trace", "--audio", "--screenshot"}) {
        for (const fs::path& name : {input, folder_.Path() / "alias.txt", folder_.Path() / "." / "session.txt"}) {
            SCOPED_TRACE(std::string(output) + " " + name.string());
            EXPECT_EQ(Run({"--frames", "3", "--input", input.string(), output, name.string()}), 2);
            ExpectOneLineNaming(name.string());
            EXPECT_EQ(Slurp(input), Bytes(recording.begin(), recording.end()));
        }
    }
    const std::string same = (folder_.Path() / "out.bin").string();
    EXPECT_EQ(Run({"--frames", "3", "--trace", same, "--audio", same}), 2) << "two outputs into one file";
    ExpectOneLineNaming("out.bin");
    EXPECT_FALSE(fs::exists(same));
}

}  // namespace
