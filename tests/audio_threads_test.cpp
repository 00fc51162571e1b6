// The mixer and the MIDI player shared between two threads: SDL's audio
// device (its dummy driver runs a real callback thread) pulls the mix while
// this thread changes voices, sources, the output format and the music, as
// the engine does. The thread sanitizer stage runs these to find any access
// that is not ordered by the locks; every build checks that the device kept
// pulling through the churn and that the mix it ends with is the right one.
#include <SDL2/SDL.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "audio_helpers.h"
#include "midi_builder.h"
#include "platform/audio/mci.h"
#include "platform/audio/midi_player.h"
#include "platform/audio/mixer.h"
#include "platform/headless/headless.h"
#include "platform/os/backend.h"
#include "platform/os/window.h"
#include "platform/sdl/sdl_backend.h"

namespace {

namespace audio = plat::audio;

// Bounds every loop below: the churn stops once the device has pulled
// enough, or after this many rounds if it never does.
constexpr int kMaxRounds = 20000;

struct Dump {
    bool valid = false;
    int channels = 0, rate = 0;
    std::vector<std::int16_t> samples;
};

// The 44-byte header the dump writes, then 16-bit samples.
Dump ReadDump(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Dump d;
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 36, "data", 4) != 0) return d;
    auto le32 = [&](std::size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
    };
    d.channels = b[22] | b[23] << 8;
    d.rate = static_cast<int>(le32(24));
    const std::uint32_t data = le32(40);
    d.valid = data == b.size() - 44 && le32(4) == 36 + data && (b[34] | b[35] << 8) == 16;
    d.samples.resize(data / 2);
    if (data) std::memcpy(d.samples.data(), b.data() + 44, d.samples.size() * 2);
    return d;
}

class AudioThreadsTest : public testing::Test {
protected:
    void SetUp() override {
        // One file per process: ctest runs these tests side by side.
        dumpPath_ = testing::TempDir() + "kr_audio_threads_" + std::to_string(getpid()) + ".wav";
        std::remove(dumpPath_.c_str());
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("KR_AUDIO_DUMP", dumpPath_.c_str(), 1);
        audio::CloseOutput();
        audio::ResetMixer();
        plat::SetBackend(&plat::sdl::Instance());
    }
    void TearDown() override {
        plat::MciSendString("close all", nullptr, 0, 0);
        audio::CloseOutput();
        plat::SetBackend(&plat::headless::Instance());
        audio::ResetMixer();
        unsetenv("KR_AUDIO_DUMP");
        std::remove(dumpPath_.c_str());
        for (int n = 2; std::remove(DumpFile(n).c_str()) == 0; ++n) {
        }
    }

    // The n-th file of the dump: each change of output format starts the
    // next one, "<name>-<n>.wav".
    std::string DumpFile(int n) const {
        if (n == 1) return dumpPath_;
        return dumpPath_.substr(0, dumpPath_.size() - 4) + "-" + std::to_string(n) + ".wav";
    }
    std::string LatestDumpFile() const {
        int n = 1;
        while (access(DumpFile(n + 1).c_str(), F_OK) == 0) ++n;
        return DumpFile(n);
    }

    // Counts the frames the device mixes, on its own thread; adds nothing.
    void CountPulls() {
        audio::AddSource([this](float*, int frames, int) { framesMixed_ += frames; });
    }
    // Runs `round` until the device has mixed `frames` more frames (it pulls
    // on its own thread meanwhile); answers the rounds run.
    template <typename Round>
    int ChurnWhileTheDevicePulls(long long frames, Round round) {
        const long long target = framesMixed_ + frames;
        int rounds = 0;
        while (framesMixed_ < target && rounds < kMaxRounds) {
            round(rounds++);
            SDL_Delay(1);
        }
        return rounds;
    }
    // Lets the device mix `frames` more frames (five seconds at most).
    void Listen(long long frames) {
        const long long target = framesMixed_ + frames;
        for (int waited = 0; waited < 5000 && framesMixed_ < target; waited += 5) SDL_Delay(5);
    }

    std::string dumpPath_;
    std::atomic<long long> framesMixed_{0};
    std::mt19937 dice_{7};
};

TEST_F(AudioThreadsTest, VoicesComeAndGoWhileTheDevicePulls) {
    CountPulls();
    ASSERT_TRUE(audio::OpenOutput());
    std::vector<int> voices;
    const audio::PcmFormat formats[] = {{22050, 1, 16}, {44100, 2, 16}, {11025, 1, 8}, {48000, 2, 8}};
    const long long before = framesMixed_;
    ChurnWhileTheDevicePulls(44100, [&](int round) {
        const audio::PcmFormat& format = formats[round % 4];
        const int voice = kr_test::MakeVoice(format, 2000 + round % 500, [&](int n) { return (n * 37) % 2000; });
        ASSERT_NE(voice, 0);
        audio::SetVolume(voice, -(round % 3000));
        audio::SetPan(voice, round % 2 ? 4000 : -4000);
        audio::SetFrequency(voice, 8000 + round % 40000);
        audio::Play(voice, round % 3 != 0);
        voices.push_back(voice);
        // Poke a voice that may be playing: its cursor, its data, its state.
        const int other = voices[std::uniform_int_distribution<std::size_t>(0, voices.size() - 1)(dice_)];
        audio::SetPosition(other, audio::GetPosition(other) / 2);
        void *first = nullptr, *second = nullptr;
        std::uint32_t firstBytes = 0, secondBytes = 0;
        if (audio::Lock(other, audio::VoiceBytes(other) / 2, 0, &first, &firstBytes, &second, &secondBytes)) {
            std::memset(first, 0x40, firstBytes);
            if (second) std::memset(second, 0x40, secondBytes);
            audio::Unlock(other);
        }
        if (audio::IsPlaying(other) && !audio::IsLooping(other)) audio::Stop(other);
        if (voices.size() > 12) {
            audio::ReleaseVoice(voices.front());
            voices.erase(voices.begin());
        }
    });
    EXPECT_GE(framesMixed_, before + 44100) << "the device stopped pulling during the churn";
    for (int voice : voices) audio::ReleaseVoice(voice);

    // What the device plays now is the one voice left: a steady 1234.
    const int steady = kr_test::MakeVoice(audio::PcmFormat{22050, 1, 16}, 2205, [](int) { return 1234; });
    audio::Play(steady, true);
    Listen(11025);
    audio::CloseOutput();
    const Dump dump = ReadDump(dumpPath_);
    ASSERT_TRUE(dump.valid);
    ASSERT_GE(dump.samples.size(), 2u);
    EXPECT_EQ(dump.samples[dump.samples.size() - 2], 1234);
    EXPECT_EQ(dump.samples.back(), 1234);
}

TEST_F(AudioThreadsTest, SourcesAndOutputFormatsChangeWhileTheDevicePulls) {
    CountPulls();
    ASSERT_TRUE(audio::OpenOutput());
    const audio::PcmFormat outputs[] = {{22050, 1, 16}, {44100, 2, 16}, {32000, 2, 16}};
    std::vector<int> sources;
    ChurnWhileTheDevicePulls(22050, [&](int round) {
        const float level = 0.001f * static_cast<float>(round % 100);
        sources.push_back(audio::AddSource([level](float* mix, int frames, int) {
            for (int i = 0; i < 2 * frames; ++i) mix[i] += level;
        }));
        if (sources.size() > 4) {
            audio::RemoveSource(sources.front());
            sources.erase(sources.begin());
        }
        // A change of format closes the device (waiting for its thread) and
        // opens it again at the new one.
        if (round % 25 == 0) {
            EXPECT_TRUE(audio::SetOutputFormat(outputs[(round / 25) % 3]));
        }
    });
    EXPECT_TRUE(audio::OutputOpen());
    for (int source : sources) audio::RemoveSource(source);

    // The reopened device dumps the format in use into the dump's latest
    // file, and nothing but the source added last.
    ASSERT_TRUE(audio::SetOutputFormat(outputs[1]));
    audio::AddSource([](float* mix, int frames, int) {
        for (int i = 0; i < 2 * frames; ++i) mix[i] += 0.25f;
    });
    Listen(11025);
    audio::CloseOutput();
    const Dump dump = ReadDump(LatestDumpFile());
    ASSERT_TRUE(dump.valid);
    EXPECT_EQ(dump.rate, 44100);
    EXPECT_EQ(dump.channels, 2);
    ASSERT_FALSE(dump.samples.empty());
    EXPECT_NEAR(dump.samples.back(), 0.25 * 32767, 2);
}

TEST_F(AudioThreadsTest, MusicStartsStopsAndEndsWhileTheDevicePulls) {
    const std::string piece = testing::TempDir() + "kr_threads_music_" + std::to_string(getpid()) + ".mid";
    ASSERT_TRUE(kr_test::WriteBytes(piece, kr_test::OneNotePiece(150, 80, 69)));
    ASSERT_TRUE(audio::MidiSynthAvailable());
    CountPulls();
    ASSERT_TRUE(audio::OpenOutput());
    const std::string open = "open \"" + piece + "\" type sequencer alias midi";
    const plat::HWND window = 1;
    int endings = 0;
    auto pump = [&] {
        plat::Message m;
        while (plat::PeekMessage(m))
            endings += m.message == plat::MM_MCINOTIFY && m.wParam == plat::MCI_NOTIFY_SUCCESSFUL;
    };
    // Every command the engine sends, in a shuffled order, against the
    // device thread rendering the same piece.
    const char* const commands[] = {"play midi notify", "play midi", "stop midi", "seek midi to start",
                                    "status midi mode", "close midi"};
    ChurnWhileTheDevicePulls(44100, [&](int) {
        plat::MciSendString(open.c_str(), nullptr, 0, 0);  // refused while the piece is open
        for (int i = 0; i < 4; ++i) {
            char reply[32];
            plat::MciSendString(commands[std::uniform_int_distribution<int>(0, 5)(dice_)], reply, sizeof reply, window);
            pump();
        }
        audio::MidiPositionMicros();
        pump();
    });
    plat::MciSendString("close midi", nullptr, 0, 0);

    // Played to its end, the piece says so through the message queue.
    ASSERT_EQ(plat::MciSendString(open.c_str(), nullptr, 0, 0), 0u);
    endings = 0;
    ASSERT_EQ(plat::MciSendString("play midi notify", nullptr, 0, window), 0u);
    for (int rounds = 0; rounds < 200 && endings == 0; ++rounds) {
        Listen(1024);
        pump();
    }
    EXPECT_EQ(endings, 1);
    plat::MciSendString("close midi", nullptr, 0, 0);
    audio::CloseOutput();
    std::remove(piece.c_str());
}

}  // namespace
