// The windowed edge's audio path: SDL2's audio device (on its dummy driver)
// pulls the mixer, and KR_AUDIO_DUMP records what it played into a WAV file
// that is read back here: format, length, level and pitch.
#include <SDL2/SDL.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio_helpers.h"
#include "midi_builder.h"
#include "platform/audio/mci.h"
#include "platform/audio/midi_player.h"
#include "platform/audio/mixer.h"
#include "platform/os/backend.h"
#include "platform/headless/headless.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/os/window.h"

namespace {

namespace audio = plat::audio;

struct Wav {
    int channels = 0, rate = 0, bits = 0;
    std::vector<std::int16_t> samples;
    bool valid = false;
};

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Reads the dump as written: a 44-byte header, then the data chunk.
Wav ReadDump(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Wav wav;
    if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 16) != "WAVEfmt " || std::string(b.begin() + 36, b.begin() + 40) != "data")
        return wav;
    wav.channels = b[22] | b[23] << 8;
    wav.rate = static_cast<int>(Le32(b, 24));
    wav.bits = b[34] | b[35] << 8;
    const std::uint32_t data = Le32(b, 40);
    wav.valid = Le32(b, 4) == 36 + data && data == b.size() - 44;
    wav.samples.resize(data / 2);
    if (data) std::memcpy(wav.samples.data(), b.data() + 44, wav.samples.size() * 2);
    return wav;
}

// The device pulls on its own thread in real time: waits until the dump
// holds `bytes` bytes of data (or five seconds passed).
void WaitForDump(const std::string& path, std::uintmax_t bytes) {
    std::error_code error;
    for (int waited = 0; waited < 5000; waited += 10) {
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (!error && size >= 44 + bytes) return;
        SDL_Delay(10);
    }
}

class SdlAudioTest : public testing::Test {
protected:
    void SetUp() override {
        // One file per process and test: ctest runs these tests side by
        // side, and a run records into one dump for as long as its name holds.
        dumpPath_ = testing::TempDir() + "kr_sdl_audio_dump_" + std::to_string(getpid()) + "_" +
                    testing::UnitTest::GetInstance()->current_test_info()->name() + ".wav";
        std::remove(dumpPath_.c_str());
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("KR_AUDIO_DUMP", dumpPath_.c_str(), 1);
        audio::CloseOutput();  // the output of the previous backend
        audio::ResetMixer();
        plat::SetBackend(&plat::sdl::Instance());
    }
    void TearDown() override {
        audio::CloseOutput();
        plat::SetBackend(&plat::headless::Instance());
        audio::ResetMixer();
        unsetenv("KR_AUDIO_DUMP");
        std::remove(dumpPath_.c_str());
        for (int n = 2; n <= 3; ++n) std::remove((dumpPath_.substr(0, dumpPath_.size() - 4) + "-" + std::to_string(n) + ".wav").c_str());
    }
    std::string dumpPath_;
};

TEST_F(SdlAudioTest, DevicePlaysTheMixAndTheDumpRecordsIt) {
    // 441 Hz from a 22050 Hz mono voice, at -6 dB, panned hard left.
    const int voice = kr_test::MakeVoice(audio::PcmFormat{22050, 1, 16}, 22050, [](int i) {
        return static_cast<int>(std::lround(20000 * std::sin(2 * M_PI * i / 50.0 + 0.1)));
    });
    audio::SetVolume(voice, -600);
    audio::SetPan(voice, -10000);
    audio::Play(voice, true);
    ASSERT_TRUE(audio::OpenOutput());
    WaitForDump(dumpPath_, 26000 * 4);
    audio::CloseOutput();

    Wav wav = ReadDump(dumpPath_);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.bits, 16);
    const std::vector<std::int16_t> left = kr_test::Channel(wav.samples, 2, 0);
    const std::vector<std::int16_t> right = kr_test::Channel(wav.samples, 2, 1);
    ASSERT_GE(left.size(), 22050u);
    EXPECT_NEAR(kr_test::Peak(left), 20000 * std::pow(10.0, -0.3), 60);
    EXPECT_EQ(kr_test::Peak(right), 0);
    // Half a second of the dump: 441 Hz is 441 crossings.
    std::vector<std::int16_t> half(left.begin(), left.begin() + 22050);
    EXPECT_NEAR(kr_test::CountZeroCrossings(half), 441, 2);
}

TEST_F(SdlAudioTest, ReopeningAtAnotherFormatDumpsThatFormat) {
    ASSERT_TRUE(audio::SetOutputFormat(audio::PcmFormat{22050, 1, 16}));
    const int voice = kr_test::MakeVoice(audio::PcmFormat{22050, 1, 16}, 2205, [](int) { return 1234; });
    audio::Play(voice, true);
    ASSERT_TRUE(audio::OpenOutput());
    WaitForDump(dumpPath_, 4000);
    audio::CloseOutput();
    Wav wav = ReadDump(dumpPath_);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.rate, 22050);
    ASSERT_FALSE(wav.samples.empty());
    EXPECT_EQ(wav.samples.back(), 1234);
}

TEST_F(SdlAudioTest, MusicPlaysThroughTheDeviceAndItsEndComesBackAsAMessage) {
    if (!plat::audio::MidiRendersIntoMixer())
        GTEST_SKIP() << "the system's MIDI synthesiser plays the music here, outside the device's mix";
    // 440 Hz (an ocarina, dry) for 400 ms, then 100 ms of nothing.
    const std::string piece = testing::TempDir() + "kr_sdl_music.mid";
    ASSERT_TRUE(kr_test::WriteBytes(piece, kr_test::Smf(0, 500,
                                                        {kr_test::Events()
                                                             .At(0, {0xB0, 91, 0})
                                                             .At(0, {0xB0, 93, 0})
                                                             .At(0, {0xC0, 79})
                                                             .At(0, {0x90, 69, 120})
                                                             .At(400, {0x80, 69, 0})
                                                             .End(100)})));
    ASSERT_TRUE(audio::MidiSynthAvailable());  // the SoundFont loads before the device runs
    ASSERT_TRUE(audio::OpenOutput());
    const plat::HWND window = 1;
    ASSERT_EQ(plat::MciSendString(("open \"" + piece + "\" type sequencer alias midi").c_str(), nullptr, 0, 0), 0u);
    ASSERT_EQ(plat::MciSendString("play midi notify", nullptr, 0, window), 0u);
    std::error_code error;
    WaitForDump(dumpPath_, std::filesystem::file_size(dumpPath_, error) + 30000 * 4);  // past the end
    bool ended = false;
    plat::Message m;
    while (plat::PeekMessage(m))
        ended |= m.message == plat::MM_MCINOTIFY && m.wParam == plat::MCI_NOTIFY_SUCCESSFUL && m.hwnd == window;
    EXPECT_TRUE(ended);
    plat::MciSendString("close midi", nullptr, 0, 0);
    audio::CloseOutput();
    std::remove(piece.c_str());

    Wav wav = ReadDump(dumpPath_);
    ASSERT_TRUE(wav.valid);
    const std::vector<std::int16_t> left = kr_test::Channel(wav.samples, 2, 0);
    const auto start = std::find_if(left.begin(), left.end(), [](std::int16_t v) { return std::abs(v) > 100; });
    ASSERT_GE(left.end() - start, 13230);
    // 100 to 300 ms into the note: 176 crossings.
    std::vector<std::int16_t> held(start + 4410, start + 13230);
    EXPECT_GT(kr_test::Peak(held), 1000);
    EXPECT_NEAR(kr_test::CountZeroCrossings(held), 176, 12);
}

std::uintmax_t DumpBytes(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error || size < 44 ? 0 : size - 44;
}

// The numbered file the dump starts at its n-th format.
std::string Numbered(const std::string& path, int n) {
    return path.substr(0, path.size() - 4) + "-" + std::to_string(n) + ".wav";
}

TEST_F(SdlAudioTest, TheDumpRecordsTheWholeRunAcrossReopeningsAndNumbersNewFormats) {
    const int voice = kr_test::MakeVoice(audio::PcmFormat{44100, 2, 16}, 4410, [](int) { return 1234; });
    audio::Play(voice, true);
    ASSERT_TRUE(audio::OpenOutput());
    WaitForDump(dumpPath_, 8000);
    audio::CloseOutput();  // as krSound::PlaySystemSound does
    const std::uintmax_t first = DumpBytes(dumpPath_);
    ASSERT_GE(first, 8000u);
    audio::ReleaseVoice(voice);  // another level after the reopening
    audio::Play(kr_test::MakeVoice(audio::PcmFormat{44100, 2, 16}, 4410, [](int) { return 4321; }), true);
    ASSERT_TRUE(audio::OpenOutput());
    WaitForDump(dumpPath_, first + 8000);
    audio::CloseOutput();
    Wav same = ReadDump(dumpPath_);
    ASSERT_TRUE(same.valid);
    EXPECT_GE(same.samples.size() * 2, first + 8000);  // appended, not begun afresh
    EXPECT_EQ(same.samples.front(), 1234);  // what came before is kept
    EXPECT_EQ(same.samples.back(), 4321);

    // Another format: a numbered file of its own; the first stays whole.
    ASSERT_TRUE(audio::SetOutputFormat(audio::PcmFormat{22050, 1, 16}));
    ASSERT_TRUE(audio::OpenOutput());
    WaitForDump(Numbered(dumpPath_, 2), 4000);
    ASSERT_TRUE(audio::SetOutputFormat(audio::PcmFormat{44100, 2, 16}));
    WaitForDump(Numbered(dumpPath_, 3), 4000);
    audio::CloseOutput();
    const Wav second = ReadDump(Numbered(dumpPath_, 2));
    const Wav third = ReadDump(Numbered(dumpPath_, 3));
    EXPECT_TRUE(second.valid);
    EXPECT_EQ(second.rate, 22050);
    EXPECT_EQ(second.channels, 1);
    EXPECT_TRUE(third.valid);
    EXPECT_EQ(third.rate, 44100);
    EXPECT_EQ(ReadDump(dumpPath_).samples.size(), same.samples.size());
    std::remove(Numbered(dumpPath_, 2).c_str());
    std::remove(Numbered(dumpPath_, 3).c_str());
}

// The data bytes of a dump, whatever its sample size.
std::vector<std::uint8_t> DumpData(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return b.size() > 44 ? std::vector<std::uint8_t>(b.begin() + 44, b.end()) : std::vector<std::uint8_t>{};
}

TEST_F(SdlAudioTest, AChangeOfSampleSizeAloneStartsANumberedDump) {
    const int voice = kr_test::MakeVoice(audio::PcmFormat{44100, 2, 16}, 4410, [](int) { return 1234; });
    audio::Play(voice, true);
    ASSERT_TRUE(audio::OpenOutput());
    WaitForDump(dumpPath_, 8000);
    // Same rate and channels, 8-bit samples: another format all the same.
    ASSERT_TRUE(audio::SetOutputFormat(audio::PcmFormat{44100, 2, 8}));
    const std::uintmax_t sixteen = DumpBytes(dumpPath_);
    WaitForDump(Numbered(dumpPath_, 2), 4000);
    audio::CloseOutput();

    const Wav first = ReadDump(dumpPath_);
    EXPECT_TRUE(first.valid);
    EXPECT_EQ(first.bits, 16);
    EXPECT_EQ(DumpBytes(dumpPath_), sixteen) << "8-bit samples went into the 16-bit file";
    ASSERT_FALSE(first.samples.empty());
    EXPECT_EQ(first.samples.back(), 1234);
    const Wav second = ReadDump(Numbered(dumpPath_, 2));
    ASSERT_TRUE(second.valid) << "no numbered file for the 8-bit samples";
    EXPECT_EQ(second.bits, 8);
    EXPECT_EQ(second.rate, 44100);
    EXPECT_EQ(second.channels, 2);
    // 1234 of 32768 is 4.8 of 128 above the unsigned midpoint.
    const std::vector<std::uint8_t> bytes = DumpData(Numbered(dumpPath_, 2));
    ASSERT_GE(bytes.size(), 4000u);
    EXPECT_NEAR(bytes.back(), 128 + 4.8, 1.0);
}

// Our device as SDL numbers it: the one that is playing.
SDL_AudioDeviceID PlayingDevice() {
    for (SDL_AudioDeviceID id = 1; id < 64; ++id)
        if (SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING) return id;
    return 0;
}

void PushDeviceEvent(Uint32 type, Uint32 which) {
    SDL_Event event{};
    event.type = type;
    event.adevice.which = which;
    event.adevice.iscapture = 0;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    plat::ActiveBackend().PumpEvents();
}

// Waits until the voice's cursor has moved `bytes` past `from` (or 5 s).
void WaitForCursor(int voice, std::uint32_t from, std::uint32_t bytes) {
    for (int waited = 0; waited < 5000 && audio::GetPosition(voice) < from + bytes; waited += 10) SDL_Delay(10);
}

TEST_F(SdlAudioTest, ARemovedDeviceLeavesTheMixRunningSilentlyUntilOneReturns) {
    // Four seconds of a level, playing once: its cursor is the mix's time.
    const int voice = kr_test::MakeVoice(audio::PcmFormat{44100, 2, 16}, 4 * 44100, [](int) { return 777; });
    audio::Play(voice, false);
    ASSERT_TRUE(audio::OpenOutput());
    WaitForDump(dumpPath_, 8000);
    const SDL_AudioDeviceID ours = PlayingDevice();
    ASSERT_NE(ours, 0u);

    testing::internal::CaptureStderr();
    PushDeviceEvent(SDL_AUDIODEVICEREMOVED, ours + 100);  // another device: nothing happens
    const std::uintmax_t heard = DumpBytes(dumpPath_);
    PushDeviceEvent(SDL_AUDIODEVICEREMOVED, ours);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("the audio device was removed"), std::string::npos) << said;
    // The program goes on: the voice keeps its time, nothing more is heard.
    const std::uint32_t lostAt = audio::GetPosition(voice);
    const std::uintmax_t atLoss = DumpBytes(dumpPath_);
    WaitForCursor(voice, lostAt, 8820 * 4);
    EXPECT_GE(audio::GetPosition(voice), lostAt + 8820 * 4);
    EXPECT_EQ(DumpBytes(dumpPath_), atLoss);
    EXPECT_GE(atLoss, heard);
    EXPECT_TRUE(audio::OutputOpen());
    EXPECT_TRUE(audio::IsPlaying(voice));

    // A device arrives: the default one opens again and the voice is heard
    // where it has got to, still playing.
    PushDeviceEvent(SDL_AUDIODEVICEADDED, 0);
    WaitForDump(dumpPath_, atLoss + 8000);
    EXPECT_GE(DumpBytes(dumpPath_), atLoss + 8000);
    EXPECT_TRUE(audio::IsPlaying(voice));
    EXPECT_NE(PlayingDevice(), 0u);
    audio::CloseOutput();
    const Wav wav = ReadDump(dumpPath_);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.samples.back(), 777);
}

// SDL reports the removal of any device: another output (a second card)
// or a capture device (a headset's microphone), whose number may be ours.
// Neither stops the mix or the dump, and nothing is said about it.
TEST_F(SdlAudioTest, AnotherDeviceRemovedLeavesOursPlaying) {
    const int voice = kr_test::MakeVoice(audio::PcmFormat{44100, 2, 16}, 4410, [](int) { return 555; });
    audio::Play(voice, true);
    ASSERT_TRUE(audio::OpenOutput());
    WaitForDump(dumpPath_, 8000);
    const SDL_AudioDeviceID ours = PlayingDevice();
    ASSERT_NE(ours, 0u);

    testing::internal::CaptureStderr();
    PushDeviceEvent(SDL_AUDIODEVICEREMOVED, ours + 100);
    SDL_Event capture{};
    capture.type = SDL_AUDIODEVICEREMOVED;
    capture.adevice.which = ours;
    capture.adevice.iscapture = 1;
    ASSERT_EQ(SDL_PushEvent(&capture), 1);
    plat::ActiveBackend().PumpEvents();
    const std::uintmax_t before = DumpBytes(dumpPath_);
    WaitForDump(dumpPath_, before + 8000);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_GE(DumpBytes(dumpPath_), before + 8000) << "the dump stopped at another device's removal";
    EXPECT_EQ(said.find("audio device"), std::string::npos) << said;
    EXPECT_EQ(PlayingDevice(), ours);
    audio::CloseOutput();
    const Wav wav = ReadDump(dumpPath_);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.samples.back(), 555);
}

TEST_F(SdlAudioTest, NoDeviceMeansNoOutput) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(audio::OpenOutput());
    EXPECT_FALSE(audio::OutputOpen());
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
