// The software mixer on the headless edge: what a voice sounds like is read
// back from the rendered samples (levels, pan, pitch by zero crossings,
// positions, once and loop, release), plus locks, clamps, output formats and
// sources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio_helpers.h"
#include "platform/audio/mixer.h"
#include "platform/audio/wav_writer.h"
#include "platform/headless/headless.h"

namespace {

namespace audio = plat::audio;
using audio::PcmFormat;
using kr_test::CountZeroCrossings;
using kr_test::MakeVoice;
using kr_test::Channel;

class MixerTest : public testing::Test {
protected:
    void SetUp() override {
        plat::headless::Reset();
        audio::ResetMixer();
    }
    void TearDown() override {
        audio::CloseOutput();
        audio::ResetMixer();
    }
};

std::vector<std::int16_t> Render(int frames) { return plat::headless::RenderAudio16(frames); }

TEST_F(MixerTest, VolumeFollowsTheDecibelLawAndClamps) {
    const int voice = MakeVoice(PcmFormat{44100, 2, 16}, 100, [](int) { return 16000; });
    audio::Play(voice, true);
    EXPECT_EQ(Render(4)[0], 16000);
    for (int level : {-600, -2000, -4000}) {
        audio::SetVolume(voice, level);
        const double expected = 16000 * std::pow(10.0, level / 2000.0);
        std::vector<std::int16_t> s = Render(4);
        EXPECT_NEAR(s[0], expected, 1.0) << level;
        EXPECT_NEAR(s[1], expected, 1.0) << level;
    }
    audio::SetVolume(voice, -10000);
    EXPECT_EQ(Render(4)[0], 0);
    audio::SetVolume(voice, 500);
    EXPECT_EQ(audio::GetVolume(voice), 0);
    audio::SetVolume(voice, -20000);
    EXPECT_EQ(audio::GetVolume(voice), -10000);
}

TEST_F(MixerTest, PanAttenuatesOnlyTheOtherSide) {
    const int voice = MakeVoice(PcmFormat{44100, 1, 16}, 100, [](int) { return 20000; });
    audio::Play(voice, true);
    audio::SetPan(voice, -2000);  // left: right side down 20 dB
    std::vector<std::int16_t> s = Render(2);
    EXPECT_EQ(s[0], 20000);
    EXPECT_NEAR(s[1], 2000, 1);
    audio::SetPan(voice, 600);
    s = Render(2);
    EXPECT_NEAR(s[0], 20000 * std::pow(10.0, -0.3), 1);
    EXPECT_EQ(s[1], 20000);
    audio::SetPan(voice, 10000);
    s = Render(2);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[1], 20000);
    audio::SetVolume(voice, -600);  // volume and pan multiply
    audio::SetPan(voice, -600);
    s = Render(2);
    EXPECT_NEAR(s[0], 20000 * std::pow(10.0, -0.3), 1);
    EXPECT_NEAR(s[1], 20000 * std::pow(10.0, -0.6), 1);
    audio::SetPan(voice, -30000);
    EXPECT_EQ(audio::GetPan(voice), -10000);
    audio::SetPan(voice, 30000);
    EXPECT_EQ(audio::GetPan(voice), 10000);
}

TEST_F(MixerTest, RateSetsThePitch) {
    // 441 Hz at 22050 Hz: 50 frames a period, 2 s of buffer, looping.
    const int frames = 44100;
    const int voice = MakeVoice(PcmFormat{22050, 1, 16}, frames, [](int i) {
        return static_cast<int>(std::lround(12000 * std::sin(2 * M_PI * i / 50.0 + 0.1)));
    });
    audio::Play(voice, true);
    EXPECT_NEAR(CountZeroCrossings(Channel(Render(44100), 2, 0)), 882, 2);  // 441 Hz for one second
    audio::SetFrequency(voice, 44100);
    EXPECT_NEAR(CountZeroCrossings(Channel(Render(44100), 2, 0)), 1764, 2);
    audio::SetFrequency(voice, 33075);
    EXPECT_NEAR(CountZeroCrossings(Channel(Render(44100), 2, 1)), 1323, 2);
    audio::SetFrequency(voice, 50);
    EXPECT_EQ(audio::GetFrequency(voice), 100);
    audio::SetFrequency(voice, 200000);
    EXPECT_EQ(audio::GetFrequency(voice), 100000);
}

TEST_F(MixerTest, LinearInterpolationBetweenFrames) {
    // Frames 0, 1000, 2000, ... at half the output rate: every other output
    // frame lies half-way between two of them.
    const int voice = MakeVoice(PcmFormat{22050, 1, 16}, 8, [](int i) { return 1000 * i; });
    audio::Play(voice, false);
    std::vector<std::int16_t> left = Channel(Render(6), 2, 0);
    EXPECT_EQ(left, (std::vector<std::int16_t>{0, 500, 1000, 1500, 2000, 2500}));
}

TEST_F(MixerTest, PositionIsExactToTheFrameAtAnyRate) {
    const int voice = MakeVoice(PcmFormat{44100, 2, 16}, 1000, [](int) { return 1000; });
    audio::Play(voice, true);
    Render(100);
    EXPECT_EQ(audio::GetPosition(voice), 400u);
    audio::SetFrequency(voice, 22050);
    Render(100);
    EXPECT_EQ(audio::GetPosition(voice), 600u);
    audio::SetFrequency(voice, 11025);
    Render(3);  // 0.75 frame: the cursor shows the frame it is in
    EXPECT_EQ(audio::GetPosition(voice), 600u);
    Render(1);
    EXPECT_EQ(audio::GetPosition(voice), 604u);

    EXPECT_TRUE(audio::SetPosition(voice, 403));
    EXPECT_EQ(audio::GetPosition(voice), 400u);  // down to the frame
    EXPECT_TRUE(audio::SetPosition(voice, 4000));  // the end of the 1000 frames
    EXPECT_FALSE(audio::SetPosition(voice, 4001));
    EXPECT_EQ(audio::GetPosition(voice), 4000u);
}

TEST_F(MixerTest, OnceStopsAtTheEndAndLoopWraps) {
    const int once = MakeVoice(PcmFormat{44100, 2, 16}, 100, [](int) { return 3000; });
    audio::Play(once, false);
    std::vector<std::int16_t> s = Channel(Render(150), 2, 0);
    EXPECT_EQ(s[99], 3000);
    EXPECT_EQ(s[100], 0);
    EXPECT_FALSE(audio::IsPlaying(once));
    EXPECT_EQ(audio::GetPosition(once), 400u);
    audio::ReleaseVoice(once);

    const int looped = MakeVoice(PcmFormat{44100, 2, 16}, 100, [](int) { return 3000; });
    audio::Play(looped, true);
    EXPECT_TRUE(audio::IsLooping(looped));
    s = Channel(Render(250), 2, 0);
    for (int i = 0; i < 250; ++i) ASSERT_EQ(s[i], 3000) << i;
    EXPECT_TRUE(audio::IsPlaying(looped));
    EXPECT_EQ(audio::GetPosition(looped), 200u);
}

TEST_F(MixerTest, LoopReadsTheFirstFrameAfterTheLast) {
    // A ramp of 4 frames at half rate: the step past the last frame
    // interpolates towards the first one again.
    const int voice = MakeVoice(PcmFormat{22050, 1, 16}, 4, [](int i) { return 1000 + 1000 * i; });
    audio::Play(voice, true);
    std::vector<std::int16_t> left = Channel(Render(10), 2, 0);
    EXPECT_EQ(left, (std::vector<std::int16_t>{1000, 1500, 2000, 2500, 3000, 3500, 4000, 2500, 1000, 1500}));
}

TEST_F(MixerTest, StopKeepsThePositionAndPlayResumes) {
    const int voice = MakeVoice(PcmFormat{44100, 1, 16}, 100, [](int i) { return i * 10; });
    audio::Play(voice, false);
    Render(30);
    audio::Stop(voice);
    EXPECT_FALSE(audio::IsPlaying(voice));
    EXPECT_EQ(Render(5)[0], 0);
    EXPECT_EQ(audio::GetPosition(voice), 60u);
    audio::Play(voice, false);
    EXPECT_EQ(Render(1)[0], 300);
}

TEST_F(MixerTest, ReleasedVoiceIsSilentAndForgotten) {
    const int voice = MakeVoice(PcmFormat{44100, 2, 16}, 100, [](int) { return 5000; });
    audio::Play(voice, true);
    EXPECT_EQ(Render(1)[0], 5000);
    audio::ReleaseVoice(voice);
    EXPECT_EQ(Render(1)[0], 0);
    EXPECT_FALSE(audio::Play(voice, true));
    EXPECT_FALSE(audio::SetVolume(voice, 0));
    EXPECT_EQ(audio::GetPosition(voice), 0u);
    EXPECT_EQ(audio::VoiceBytes(voice), 0u);
    void* p = nullptr;
    std::uint32_t n = 0;
    EXPECT_FALSE(audio::Lock(voice, 0, 0, &p, &n, nullptr, nullptr));
    audio::ReleaseVoice(voice);  // twice is harmless
}

TEST_F(MixerTest, LockWrapsInTwoPiecesAndUnlockPublishes) {
    const int voice = audio::CreateVoice(PcmFormat{44100, 2, 16}, 1000);
    ASSERT_GT(voice, 0);
    void* first = nullptr;
    void* second = nullptr;
    std::uint32_t firstBytes = 0, secondBytes = 0;
    ASSERT_TRUE(audio::Lock(voice, 800, 400, &first, &firstBytes, &second, &secondBytes));
    EXPECT_EQ(firstBytes, 200u);
    EXPECT_EQ(secondBytes, 200u);
    std::memset(first, 0x11, firstBytes);
    std::memset(second, 0x22, secondBytes);
    EXPECT_FALSE(audio::Lock(voice, 0, 4, &first, &firstBytes, &second, &secondBytes));  // already locked
    audio::Unlock(voice);

    ASSERT_TRUE(audio::Lock(voice, 0, 0, &first, &firstBytes, &second, &secondBytes));  // 0: whole buffer
    EXPECT_EQ(firstBytes, 1000u);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(secondBytes, 0u);
    const auto* bytes = static_cast<const std::uint8_t*>(first);
    EXPECT_EQ(bytes[0], 0x22);
    EXPECT_EQ(bytes[199], 0x22);
    EXPECT_EQ(bytes[200], 0x00);  // untouched silence
    EXPECT_EQ(bytes[799], 0x00);
    EXPECT_EQ(bytes[800], 0x11);
    EXPECT_EQ(bytes[999], 0x11);
    audio::Unlock(voice);

    EXPECT_FALSE(audio::Lock(voice, 1000, 4, &first, &firstBytes, &second, &secondBytes));
    EXPECT_FALSE(audio::Lock(voice, 0, 1001, &first, &firstBytes, &second, &secondBytes));
    EXPECT_FALSE(audio::Lock(voice, 900, 200, &first, &firstBytes, nullptr, nullptr));  // nowhere for piece two
}

TEST_F(MixerTest, UnusableVoicesAreRefused) {
    EXPECT_EQ(audio::CreateVoice(PcmFormat{44100, 3, 16}, 1000), 0);
    EXPECT_EQ(audio::CreateVoice(PcmFormat{44100, 2, 24}, 1000), 0);
    EXPECT_EQ(audio::CreateVoice(PcmFormat{99, 2, 16}, 1000), 0);
    EXPECT_EQ(audio::CreateVoice(PcmFormat{100001, 2, 16}, 1000), 0);
    EXPECT_EQ(audio::CreateVoice(PcmFormat{44100, 2, 16}, 3), 0);
    EXPECT_EQ(audio::CreateVoice(PcmFormat{44100, 2, 16}, 0xFFFFFFFFu), 0);
    EXPECT_GT(audio::CreateVoice(PcmFormat{100, 1, 8}, 1), 0);
}

TEST_F(MixerTest, EightBitVoicesAndOutputs) {
    const int voice = MakeVoice(PcmFormat{44100, 1, 8}, 10, [](int) { return 0xC0; });  // +64 of 128
    audio::Play(voice, true);
    EXPECT_EQ(Render(1)[0], 16384);
    ASSERT_TRUE(audio::SetOutputFormat(PcmFormat{22050, 1, 8}));
    std::vector<std::uint8_t> out = plat::headless::RenderAudio(3);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], 0xC0);
    EXPECT_EQ(audio::OutputFormat().rate, 22050);
    EXPECT_FALSE(audio::SetOutputFormat(PcmFormat{44100, 6, 16}));
    EXPECT_FALSE(audio::SetOutputFormat(PcmFormat{44100, 2, 32}));
    EXPECT_FALSE(audio::SetOutputFormat(PcmFormat{1000, 2, 16}));
    EXPECT_EQ(audio::OutputFormat().channels, 1);
}

TEST_F(MixerTest, MonoOutputAveragesTheSides) {
    ASSERT_TRUE(audio::SetOutputFormat(PcmFormat{44100, 1, 16}));
    const int voice = MakeVoice(PcmFormat{44100, 2, 16}, 10, [](int i) { return i % 2 ? 2000 : 6000; });
    audio::Play(voice, true);
    EXPECT_EQ(Render(1)[0], 4000);
}

TEST_F(MixerTest, TheSumSaturates) {
    const int a = MakeVoice(PcmFormat{44100, 1, 16}, 10, [](int) { return 30000; });
    const int b = MakeVoice(PcmFormat{44100, 1, 16}, 10, [](int) { return 30000; });
    audio::Play(a, true);
    audio::Play(b, true);
    EXPECT_EQ(Render(1)[0], 32767);
    audio::SetVolume(a, -10000);
    audio::SetVolume(b, -10000);
    const int c = MakeVoice(PcmFormat{44100, 1, 16}, 10, [](int) { return -30000; });
    const int d = MakeVoice(PcmFormat{44100, 1, 16}, 10, [](int) { return -30000; });
    audio::Play(c, true);
    audio::Play(d, true);
    EXPECT_EQ(Render(1)[0], -32768);
    ASSERT_TRUE(audio::SetOutputFormat(PcmFormat{44100, 2, 8}));
    EXPECT_EQ(plat::headless::RenderAudio(1)[0], 0);
}

TEST_F(MixerTest, SourcesAddIntoTheMixUntilRemoved) {
    int seenRate = 0;
    const int source = audio::AddSource([&](float* mix, int frames, int rate) {
        seenRate = rate;
        for (int i = 0; i < frames; ++i) mix[2 * i] += 0.25f;
    });
    const int voice = MakeVoice(PcmFormat{44100, 2, 16}, 10, [](int) { return 1000; });
    audio::Play(voice, true);
    std::vector<std::int16_t> s = Render(2);
    EXPECT_EQ(s[0], 1000 + 8192);
    EXPECT_EQ(s[1], 1000);
    EXPECT_EQ(seenRate, 44100);
    audio::RemoveSource(source);
    EXPECT_EQ(Render(1)[0], 1000);
}

TEST_F(MixerTest, HeadlessDeviceOpensUnlessToldThereIsNone) {
    EXPECT_TRUE(audio::OpenOutput());
    EXPECT_TRUE(audio::OutputOpen());
    EXPECT_TRUE(audio::SetOutputFormat(PcmFormat{22050, 2, 16}));  // re-opens
    EXPECT_TRUE(audio::OutputOpen());
    audio::CloseOutput();
    EXPECT_FALSE(audio::OutputOpen());
    plat::headless::FailAudioDevice(true);
    EXPECT_FALSE(audio::OpenOutput());
    EXPECT_FALSE(audio::OutputOpen());
    plat::headless::FailAudioDevice(false);
}

}  // namespace

namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<std::uint8_t> bytes;
    if (!f) return bytes;
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(f);
    return bytes;
}

std::uint32_t Le32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(WavWriterTest, SizesAreRightWhileWritingAndAfterClosingAnOddChunk) {
    const std::string path = testing::TempDir() + "kr_wav_writer_test.wav";
    plat::audio::WavWriter writer;
    ASSERT_TRUE(writer.Open(path, PcmFormat{8000, 1, 8}));
    std::vector<std::uint8_t> second(8001, 0x80);  // over a second: the header is brought up to date
    writer.Append(second.data(), second.size());
    std::vector<std::uint8_t> bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 44u + 8001u);
    EXPECT_EQ(Le32At(bytes, 40), 8001u);
    EXPECT_EQ(Le32At(bytes, 4), 36u + 8001u);
    writer.Append(second.data(), 2);
    writer.Close();
    bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 44u + 8003u + 1u);  // with the pad byte
    EXPECT_EQ(Le32At(bytes, 40), 8003u);
    EXPECT_EQ(Le32At(bytes, 4), 36u + 8004u);
    EXPECT_EQ(Le32At(bytes, 24), 8000u);
    EXPECT_EQ(bytes[22], 1);
    EXPECT_EQ(bytes[34], 8);
    std::remove(path.c_str());
    EXPECT_FALSE(writer.Open("/no/such/folder/x.wav", PcmFormat{}));
}

}  // namespace
