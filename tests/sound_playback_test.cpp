// Playback controls on the headless mix: rotation, channels, the clamps of
// each family, pause and resume, and the echo with its volumes, spacing and
// pan sweep, heard in the rendered samples where the rule is exact.
#include <algorithm>
#include <cmath>

#include "audio_helpers.h"
#include "sound_fixture.h"

using namespace soundfiles;
namespace audio = plat::audio;

namespace {

// Peak of each 20 ms chunk of 44100 Hz stereo output (882 frames).
constexpr int kChunk = 882;

int ChunkPeak(const std::vector<std::int16_t>& out) { return kr_test::Peak(out); }

int Attenuated(int amplitude, int hundredthsDb) {
    return static_cast<int>(std::lround(amplitude * std::pow(10.0, hundredthsDb / 2000.0)));
}

}  // namespace

class SoundPlayback : public SoundTest {
protected:
    // A mono 44100 Hz sound of `frames` frames of a constant level.
    int LoadConstant(int mix, int frames, int level = 16000) {
        Bytes samples;
        for (int i = 0; i < frames; ++i) Put16(samples, static_cast<std::uint16_t>(level));
        return krSound::LoadObject(Write("c.wav", PcmWave(1, 44100, 16, samples)).c_str(), mix);
    }
};

TEST_F(SoundPlayback, RotationTakesTheBuffersInTurn) {
    const int slot = krSound::LoadObject(WriteRamp("a.wav", 1, 44100, 1000).c_str(), 3);
    std::vector<int> order;
    for (int play = 0; play < 4; ++play) {
        const int next = krSoundObjects[slot].nextBuffer;
        order.push_back(next);
        krSound::Play(slot, -1);
        EXPECT_TRUE(audio::IsPlaying(Voice(slot, next)));
        Render(100);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(krSoundObjects[slot].nextBuffer, 1);
    // The fourth play restarted buffer 0; buffers 1 and 2 play on.
    EXPECT_EQ(audio::GetPosition(Voice(slot, 0)), 100u * 2u);
    EXPECT_EQ(audio::GetPosition(Voice(slot, 1)), 300u * 2u);
    EXPECT_EQ(audio::GetPosition(Voice(slot, 2)), 200u * 2u);
    // A named buffer leaves the rotation alone.
    krSound::Play(slot, 1);
    EXPECT_EQ(audio::GetPosition(Voice(slot, 1)), 0u);
    EXPECT_EQ(krSoundObjects[slot].nextBuffer, 1);
    EXPECT_EQ(krSoundObjects[slot].loop, 0);
    krSound::PlayLoop(slot, 2);
    EXPECT_TRUE(audio::IsLooping(Voice(slot, 2)));
    EXPECT_EQ(krSoundObjects[slot].loop, 1);
}

TEST_F(SoundPlayback, StopEndsTheEchoOnlyForEveryBuffer) {
    const int slot = krSound::LoadObject(WriteRamp("a.wav", 1, 44100, 1000).c_str(), 3);
    krSound::Play(slot, -2);
    ASSERT_EQ(krSoundObjects[slot].echoState, 1);
    Render(50);
    krSound::Stop(slot, 0);
    EXPECT_FALSE(audio::IsPlaying(Voice(slot, 0)));
    EXPECT_EQ(audio::GetPosition(Voice(slot, 0)), 0u);
    EXPECT_EQ(krSoundObjects[slot].echoState, 1);
    krSound::Play(slot, 1);
    krSound::Stop(slot, -2);  // every buffer, like -1
    EXPECT_FALSE(audio::IsPlaying(Voice(slot, 1)));
    EXPECT_EQ(krSoundObjects[slot].echoState, 0);
    // Without the echo the state stays unavailable.
    const int plain = krSound::LoadObject(WriteRamp("b.wav", 1, 44100, 1000).c_str(), -3);
    krSound::Play(plain, -2);
    EXPECT_TRUE(audio::IsPlaying(Voice(plain, 0)));
    EXPECT_EQ(krSoundObjects[plain].echoState, -1);
    krSystemState.frameTime = 1.0f;
    krSound::Echo(plain, 200, 3, 6);
    EXPECT_FALSE(audio::IsPlaying(Voice(plain, 1)));
    krSound::Stop(plain, -1);
    EXPECT_EQ(krSoundObjects[plain].echoState, -1);
}

TEST_F(SoundPlayback, EachFamilyClampsItsRange) {
    const int slot = krSound::LoadObject(WriteRamp("a.wav", 1, 22050, 100).c_str(), 3);
    const krSoundObject& o = krSoundObjects[slot];
    for (int i = 0; i < 3; ++i) krSound::AddVolume(slot, -5, -1);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(o.volume[j], -1500);
        EXPECT_EQ(audio::GetVolume(Voice(slot, j)), -1500);
    }
    krSound::AddVolume(slot, -200, -1);
    EXPECT_EQ(o.volume[2], -10000);
    krSound::SetVolume(slot, 3, 0);
    EXPECT_EQ(o.volume[0], 0);
    EXPECT_EQ(o.volume[1], -10000);
    krSound::ResetVolume(slot, -1);
    EXPECT_EQ(audio::GetVolume(Voice(slot, 1)), 0);

    krSound::SetFrequency(slot, -20, 0);
    EXPECT_EQ(o.frequency[0], 20050);
    EXPECT_EQ(audio::GetFrequency(Voice(slot, 0)), 20050);
    krSound::AddFrequency(slot, -1000, 0);
    EXPECT_EQ(o.frequency[0], 100);  // a negative result gives 100 too
    krSound::AddFrequency(slot, 2000000000, 1);
    EXPECT_EQ(o.frequency[1], 100000);
    krSound::ResetFrequency(slot, -1);
    EXPECT_EQ(audio::GetFrequency(Voice(slot, 1)), 22050);

    krSound::SetPan(slot, 150, -1);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(o.pan[j], 10000);
    krSound::AddPan(slot, -250, 1);
    EXPECT_EQ(o.pan[1], -10000);
    krSound::PanLeft(slot, 2);
    EXPECT_EQ(audio::GetPan(Voice(slot, 2)), -10000);
    krSound::PanRight(slot, 2);
    EXPECT_EQ(audio::GetPan(Voice(slot, 2)), 10000);
    krSound::ResetPan(slot, -1);
    EXPECT_EQ(o.pan[0], 0);

    // -2 chooses the next buffer only; numbers past the buffers do nothing.
    krSound::Play(slot, -1);
    krSound::SetVolume(slot, -10, -2);
    EXPECT_EQ(o.volume[1], -1000);
    EXPECT_EQ(o.volume[0], 0);
    EXPECT_EQ(o.volume[2], 0);
    krSound::SetVolume(slot, -10, 7);
    krSound::SetVolume(99, -10, 0);
}

TEST_F(SoundPlayback, VolumePanAndRateAreHeard) {
    const int slot = LoadConstant(1, 4000);
    krSound::SetVolume(slot, -6, 0);
    krSound::SetPan(slot, 10, 0);  // right: the left side is 10 dB down
    krSound::Play(slot, 0);
    const auto out = Render(100);
    EXPECT_NEAR(kr_test::Peak(kr_test::Channel(out, 2, 1)), Attenuated(16000, -600), 2);
    EXPECT_NEAR(kr_test::Peak(kr_test::Channel(out, 2, 0)), Attenuated(16000, -1600), 2);

    // A 441 Hz sine at 22050 Hz, played at 44050 Hz, sounds an octave up.
    const int sine = krSound::LoadObject(Write("s.wav", PcmWave(1, 22050, 16, Sine16(1, 22050, 441.0, 22050))).c_str(), 1);
    krSound::Stop(slot, -1);
    krSound::Play(sine, 0);
    const int normal = kr_test::CountZeroCrossings(kr_test::Channel(Render(22050), 2, 0));
    krSound::SetFrequency(sine, 220, 0);
    krSound::Play(sine, 0);
    const int doubled = kr_test::CountZeroCrossings(kr_test::Channel(Render(22050), 2, 0));
    EXPECT_NEAR(normal, 441, 3);
    EXPECT_NEAR(doubled, 881, 4);
}

TEST_F(SoundPlayback, PauseAndResumeKeepThePosition) {
    const int slot = krSound::LoadObject(WriteRamp("a.wav", 2, 44100, 1000).c_str(), 2);
    krSound::PlayLoop(slot, 0);
    Render(300);
    krSound::Pause(slot, 0);
    EXPECT_FALSE(audio::IsPlaying(Voice(slot, 0)));
    EXPECT_EQ(krSoundObjects[slot].pausedPosition[0], 300u * 4u);
    Render(100);
    EXPECT_EQ(audio::GetPosition(Voice(slot, 0)), 300u * 4u);
    krSound::Pause(slot, 0);
    EXPECT_TRUE(audio::IsPlaying(Voice(slot, 0)));
    // Buffer 1 was never paused: its resume starts it from 0.
    krSound::Pause(slot, 1);
    EXPECT_TRUE(audio::IsPlaying(Voice(slot, 1)));
    EXPECT_EQ(audio::GetPosition(Voice(slot, 1)), 0u);
    // The resumed buffer goes on looping past its end.
    const auto out = Render(800);
    EXPECT_TRUE(audio::IsPlaying(Voice(slot, 0)));
    EXPECT_TRUE(audio::IsLooping(Voice(slot, 0)));
    EXPECT_EQ(audio::GetPosition(Voice(slot, 0)), 100u * 4u);
    // The first resumed frame is frame 300 of buffer 0 plus frame 0 of buffer 1.
    EXPECT_EQ(out[0], 300 + 0);
    // -2 pauses every buffer, not the next one alone.
    krSound::Pause(slot, -2);
    EXPECT_FALSE(audio::IsPlaying(Voice(slot, 0)));
    EXPECT_FALSE(audio::IsPlaying(Voice(slot, 1)));
}

TEST_F(SoundPlayback, EchoStartResetsTheBuffersAndRepeatsQuieterEveryInterval) {
    const int slot = LoadConstant(4, 441);  // 10 ms of a constant level
    krSound::SetVolume(slot, -20, -1);
    krSound::SetPan(slot, -40, -1);
    krSound::AddFrequency(slot, 5, -1);
    krSound::Play(slot, -2);
    const krSoundObject& o = krSoundObjects[slot];
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(o.volume[j], 0);
        EXPECT_EQ(o.pan[j], 0);
        EXPECT_EQ(o.frequency[j], 44100);
    }
    EXPECT_EQ(o.echoState, 1);
    EXPECT_EQ(o.echoLoop, 0);
    EXPECT_EQ(o.sweepPosition, 0.0f);
    EXPECT_TRUE(o.sweepDirection == 1 || o.sweepDirection == -1);

    krSystemState.frameTime = 0.02f;  // one chunk per frame
    std::vector<int> peaks = {ChunkPeak(Render(kChunk))};
    for (int frame = 1; frame < 50; ++frame) {
        krSound::Echo(slot, 200, 3, 6);
        peaks.push_back(ChunkPeak(Render(kChunk)));
    }
    for (int frame = 0; frame < 50; ++frame) {
        int expected = 0;
        if (frame == 0) expected = 16000;
        if (frame == 10) expected = Attenuated(16000, -600);
        if (frame == 20) expected = Attenuated(16000, -1200);
        if (frame == 30) expected = Attenuated(16000, -1800);
        EXPECT_NEAR(peaks[frame], expected, 2) << frame;
    }
    EXPECT_EQ(o.echoState, 0);
    EXPECT_EQ(o.volume[1], -600);
    EXPECT_EQ(o.volume[2], -1200);
    EXPECT_EQ(o.volume[3], -1800);
    EXPECT_EQ(o.nextBuffer, 0);
    // A new play with -2 starts the echo over, looping for PlayLoop.
    krSound::PlayLoop(slot, -2);
    EXPECT_EQ(o.echoState, 1);
    EXPECT_EQ(o.echoLoop, 1);
    EXPECT_EQ(o.volume[1], 0);
}

TEST_F(SoundPlayback, EchoPanSweepsBetweenTheLimits) {
    const int slot = LoadConstant(4, 441);
    krSound::Play(slot, -2);
    krSoundObject& o = krSoundObjects[slot];
    o.sweepDirection = 1;
    krSystemState.frameTime = 1.0f / 60.0f;
    // A long interval: no echo is due, so the sweep stays where it is.
    for (int frame = 0; frame < 30; ++frame) krSound::EchoPan(slot, 1000000, 5, 6, 1);
    EXPECT_EQ(o.sweepPosition, 0.0f);
    EXPECT_EQ(o.echoState, 1);
    // An echo every frame: each moves the sweep by 100/60 and takes its pan,
    // reversing at -30 and 30, at most 3000 aside.
    float previous = o.sweepPosition;
    bool reachedTop = false, reachedBottom = false;
    for (int frame = 0; frame < 200; ++frame) {
        const int next = o.nextBuffer;
        krSound::EchoPan(slot, 0, 1000, 1, 1);
        const float step = std::fabs(o.sweepPosition - previous);
        EXPECT_TRUE(std::fabs(step - 100.0f / 60.0f) < 1e-3f || std::fabs(o.sweepPosition) == 30.0f) << frame;
        EXPECT_EQ(o.pan[next], static_cast<int>(o.sweepPosition) * 100) << frame;
        EXPECT_LE(std::abs(o.pan[next]), 3000);
        reachedTop |= o.sweepPosition == 30.0f;
        reachedBottom |= o.sweepPosition == -30.0f;
        previous = o.sweepPosition;
    }
    EXPECT_TRUE(reachedTop);
    EXPECT_TRUE(reachedBottom);
}

TEST_F(SoundPlayback, TheShowcasesPanSweepIsHeardTravellingFromSideToSide) {
    // The showcase's blip echo (120 ms apart, 10 echoes, 2 dB, sweep 15) on
    // a 10 ms sound, so that each echo sounds alone in its frame.
    const int slot = LoadConstant(8, 441);
    krSystemState.frameTime = 1.0f / 60.0f;
    krSound::Play(slot, -2);
    std::vector<int> balances;  // per sounding frame: right peak - left peak
    for (int frame = 0; frame < 200; ++frame) {
        const auto out = Render(735);
        const int left = kr_test::Peak(kr_test::Channel(out, 2, 0));
        const int right = kr_test::Peak(kr_test::Channel(out, 2, 1));
        if (std::max(left, right) > 1000 && frame > 0) balances.push_back(right - left);
        krSound::EchoPan(slot, 120, 10, 2, 15);
    }
    ASSERT_EQ(balances.size(), 10u);
    const int leftHeavy = static_cast<int>(std::count_if(balances.begin(), balances.end(), [](int b) { return b < -1000; }));
    const int rightHeavy = static_cast<int>(std::count_if(balances.begin(), balances.end(), [](int b) { return b > 1000; }));
    EXPECT_GE(leftHeavy, 3);
    EXPECT_GE(rightHeavy, 3);
    std::sort(balances.begin(), balances.end());
    EXPECT_GE(std::unique(balances.begin(), balances.end()) - balances.begin(), 5);  // travelling, not two places
}

TEST_F(SoundPlayback, PlayLoopThenEchoLoopsEveryEchoBuffer) {
    const int slot = LoadConstant(4, 441);
    krSystemState.frameTime = 0.02f;
    krSound::PlayLoop(slot, -2);
    for (int frame = 0; frame < 40; ++frame) {
        Render(kChunk);
        krSound::Echo(slot, 200, 3, 6);
    }
    ASSERT_EQ(krSoundObjects[slot].echoState, 0);  // all three echoes came
    for (int j = 0; j < 4; ++j) EXPECT_TRUE(audio::IsLooping(Voice(slot, j))) << j;
    EXPECT_EQ(krSoundObjects[slot].loop, 1);
    // Long after the 10 ms sound's end, every buffer still sounds.
    const auto out = Render(4410);
    EXPECT_GT(kr_test::Peak(out), 16000);
}

TEST_F(SoundPlayback, SetFrequencyIsAbsoluteFromTheBaseRate) {
    const int slot = krSound::LoadObject(WriteRamp("a.wav", 1, 22050, 100).c_str(), 2);
    const krSoundObject& o = krSoundObjects[slot];
    krSound::SetFrequency(slot, 5, 0);
    krSound::SetFrequency(slot, 5, 0);
    EXPECT_EQ(o.frequency[0], 22550);
    krSound::AddFrequency(slot, 30, -1);
    krSound::SetFrequency(slot, -5, -1);
    EXPECT_EQ(o.frequency[0], 21550);
    EXPECT_EQ(o.frequency[1], 21550);
    EXPECT_EQ(audio::GetFrequency(Voice(slot, 1)), 21550);
    krSound::SetFrequency(slot, 0, 1);
    EXPECT_EQ(o.frequency[1], 22050);
}
