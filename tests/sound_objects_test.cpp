// The sound device and the sound-object table: loading with mix counts,
// slot rules, messages, embedded images, hostile WAV files, the output
// format change and the rebuild that keeps every setting.
#include <cstring>

#include "draw/krDraw.h"
#include "sound_fixture.h"

using namespace soundfiles;
namespace audio = plat::audio;

namespace {

const char* const kLoad = "krSound::LoadObject";

// "sNNNN\" and a file name making `length` bytes in all.
std::string NameOfLength(std::size_t length) {
    const std::size_t prefix = SoundTest::Folder().size() + 1;
    return std::string(length - prefix - 4, 'n') + ".wav";
}

}  // namespace

using SoundObjects = SoundTest;

TEST_F(SoundObjects, MixCountGivesBuffersAndTheEchoState) {
    const std::string name = WriteRamp("a.wav", 1, 22050, 100);
    struct Case {
        int mix, buffers, echo;
    } cases[] = {{3, 3, 0}, {-3, 3, -1}, {1, 1, -1}, {-1, 1, -1}, {10, 10, 0}, {0, 1, -1}};
    for (const Case& c : cases) {
        const int slot = krSound::LoadObject(name.c_str(), c.mix);
        ASSERT_GE(slot, 0) << c.mix;
        const krSoundObject& o = krSoundObjects[slot];
        EXPECT_EQ(o.mixCount, c.buffers) << c.mix;
        EXPECT_EQ(o.echoState, c.echo) << c.mix;
        for (int j = 0; j < krSoundMaxMix; ++j) EXPECT_EQ(o.buffers[j] != 0, j < c.buffers) << c.mix << " " << j;
        EXPECT_EQ(o.baseFrequency, 22050);
        EXPECT_EQ(o.frequency[0], 22050);
        EXPECT_EQ(o.packed, 0);
        EXPECT_STREQ(o.name, name.c_str());
        krSound::FreeObject(slot);
    }
    for (int mix : {11, -11}) {
        EXPECT_EQ(krSound::LoadObject(name.c_str(), mix), -1);
        EXPECT_EQ(LastBox(), Box(kLoad, "ミックス数が多過ぎます"));
    }
}

TEST_F(SoundObjects, SlotsAreTakenLowestFirstUpToSeventy) {
    const std::string name = WriteRamp("a.wav", 1, 8000, 10);
    for (int i = 0; i < krSoundObjectCount; ++i) ASSERT_EQ(krSound::LoadObject(name.c_str(), 1), i);
    EXPECT_EQ(BoxCount(), 0u);
    EXPECT_EQ(krSound::LoadObject(name.c_str(), 1), -1);
    EXPECT_EQ(LastBox(), Box(kLoad, "オブジェクト数が多過ぎます"));
    const int voice = Voice(5);
    krSound::FreeObject(5);
    EXPECT_EQ(krSoundObjects[5].inUse, 0);
    EXPECT_EQ(krSoundObjects[5].name[0], '\0');
    EXPECT_EQ(audio::VoiceBytes(voice), 0u);  // released
    EXPECT_EQ(krSound::LoadObject(name.c_str(), 1), 5);
}

TEST_F(SoundObjects, NamesOfThirtyBytesLoadAndLongerOnesTakeNoSlot) {
    const std::string thirty = NameOfLength(30);
    const std::string name = WriteRamp(thirty, 1, 8000, 10);
    ASSERT_EQ(name.size(), 30u);
    EXPECT_EQ(krSound::LoadObject(name.c_str(), 1), 0);
    const std::string longer = WriteRamp(NameOfLength(31), 1, 8000, 10);
    EXPECT_EQ(krSound::LoadObject(longer.c_str(), 1), -1);
    EXPECT_EQ(LastBox(), Box(kLoad, "ファイル名またはリソース名が長すぎます"));
    EXPECT_EQ(krSoundObjects[1].inUse, 0);
    EXPECT_EQ(krSound::LoadObject(name.c_str(), 1), 1);
}

TEST_F(SoundObjects, FallsBackToEmbeddedImagesThenReports) {
    static const Bytes image = PcmWave(1, 11025, 8, {1, 2, 3, 4});
    krSound::RegisterResource("Jump", image.data(), image.size());
    const int slot = krSound::LoadObject("JUMP", 1);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(audio::VoiceBytes(Voice(slot)), 4u);
    EXPECT_EQ(krSoundObjects[slot].baseFrequency, 11025);
    // A file the reader refuses falls back to an image of the same name.
    const std::string broken = Write("jump.wav", Riff({Chunk("fmt ", Bytes(10, 0)), Chunk("data", {1})}));
    krSound::RegisterResource(broken.c_str(), image.data(), image.size());
    EXPECT_GE(krSound::LoadObject(broken.c_str(), 1), 0);
    EXPECT_EQ(krSound::LoadObject("none.wav", 1), -1);
    EXPECT_EQ(LastBox(), Box(kLoad, "WAVEリソースが見つかりません"));
}

TEST_F(SoundObjects, HostileFilesGetTheirMessagesAndLeaveTheSlotFree) {
    const Bytes fmt = FormatFields(1, 2, 22050, 16);
    const Bytes data = Chunk("data", Ramp16(2, 20));
    Bytes pastFile = Riff({Chunk("fmt ", fmt), data});
    pastFile[pastFile.size() - data.size() + 7] = 0x40;  // the data chunk claims a gigabyte
    const Bytes whole = PcmWave(2, 22050, 16, Ramp16(2, 20));
    struct Case {
        const char* file;
        Bytes image;
        const char* message;
    } cases[] = {
        {"cut.wav", Bytes(whole.begin(), whole.end() - 7), "WAVEリソースが見つかりません"},
        {"past.wav", pastFile, "WAVEリソースが見つかりません"},
        {"short.wav", Riff({Chunk("fmt ", Bytes(fmt.begin(), fmt.begin() + 12)), data}), "WAVEリソースが見つかりません"},
        {"nodata.wav", Riff({Chunk("fmt ", fmt)}), "WAVEリソースが見つかりません"},
        {"nochan.wav", Riff({Chunk("fmt ", FormatFields(1, 0, 22050, 16, 4)), data}), "サウンドバッファが生成できません"},
        {"norate.wav", Riff({Chunk("fmt ", FormatFields(1, 2, 0, 16)), data}), "サウンドバッファが生成できません"},
        {"align.wav", Riff({Chunk("fmt ", FormatFields(1, 2, 22050, 16, 3)), data}), "サウンドバッファが生成できません"},
        {"adpcm.wav", Riff({Chunk("fmt ", FormatRecord(FormatFields(2, 1, 22050, 4, 256), Bytes(32, 0))), data}),
         "サウンドバッファが生成できません"},
        {"empty.wav", Riff({Chunk("fmt ", fmt), Chunk("data", {})}), "サウンドバッファが生成できません"},
    };
    for (const Case& c : cases) {
        const std::string name = Write(c.file, c.image);
        EXPECT_EQ(krSound::LoadObject(name.c_str(), 3), -1) << c.file;
        EXPECT_EQ(LastBox(), Box(kLoad, c.message)) << c.file;
        EXPECT_EQ(krSoundObjects[0].inUse, 0) << c.file;
        EXPECT_EQ(krSoundObjects[0].buffers[0], 0) << c.file;
    }
}

TEST_F(SoundObjects, LoadedSamplesReachTheMix) {
    // 44100 Hz stereo 16-bit as the output: the voice plays sample for sample.
    const int slot = krSound::LoadObject(WriteRamp("r.wav", 2, 44100, 300, 100).c_str(), 1);
    ASSERT_GE(slot, 0);
    krSound::Play(slot, 0);
    const auto out = Render(400);
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(out[2 * i], 100 + i) << i;
        ASSERT_EQ(out[2 * i + 1], 1100 + i) << i;
    }
    EXPECT_EQ(out[2 * 350], 0);
    // Float data is converted on loading and plays the same way.
    Bytes floats;
    for (float v : {0.25f, -0.5f}) {
        std::uint32_t b;
        std::memcpy(&b, &v, 4);
        Put32(floats, b);
    }
    const int f = krSound::LoadObject(Write("f.wav", Riff({Chunk("fmt ", FormatFields(3, 1, 44100, 32)), Chunk("data", floats)})).c_str(), 1);
    ASSERT_GE(f, 0);
    krSound::Play(f, 0);
    const auto fout = Render(2);
    EXPECT_EQ(fout[0], 8192);
    EXPECT_EQ(fout[1], 8192);
    EXPECT_EQ(fout[2], -16384);
}

TEST_F(SoundObjects, GetPositionFollowsTheFirstBuffer) {
    const int slot = krSound::LoadObject(WriteRamp("p.wav", 2, 44100, 1000).c_str(), 2);
    krSound::Play(slot, 0);
    Render(123);
    EXPECT_EQ(krSound::GetPosition(slot), 123u * 4u);
    krSound::Play(slot, 1);
    Render(10);
    EXPECT_EQ(krSound::GetPosition(slot), 133u * 4u);
}

TEST_F(SoundObjects, SelectFormatSetsTheOutputAndKeepsEverySetting) {
    const int a = krSound::LoadObject(WriteRamp("a.wav", 1, 22050, 100).c_str(), 3);
    const int b = krSound::LoadObject(WriteRamp("b.wav", 2, 11025, 100).c_str(), -2);
    krSound::SetVolume(a, -7, 1);
    krSound::SetPan(a, 25, 2);
    krSound::SetFrequency(a, 10, 0);
    krSound::Play(a, -1);
    krSound::Play(a, -1);  // next buffer 2
    ASSERT_EQ(krSound::SelectFormat(2, 22, 16), 1);
    const audio::PcmFormat out = audio::OutputFormat();
    EXPECT_EQ(out.rate, 22050);
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.bits, 16);
    EXPECT_EQ(out.BlockAlign(), 4);
    EXPECT_EQ(out.BytesPerSecond(), 88200);
    EXPECT_EQ(audio::GetVolume(Voice(a, 1)), -700);
    EXPECT_EQ(audio::GetPan(Voice(a, 2)), 2500);
    EXPECT_EQ(audio::GetFrequency(Voice(a, 0)), 23050);
    EXPECT_EQ(krSoundObjects[a].nextBuffer, 2);
    EXPECT_EQ(krSoundObjects[a].echoState, 0);
    EXPECT_EQ(krSoundObjects[b].echoState, 0);  // loaded with -2: the rebuild goes by the mix count
    EXPECT_EQ(krSoundObjects[b].mixCount, 2);
    EXPECT_FALSE(audio::IsPlaying(Voice(a, 0)));  // rebuilt buffers start stopped

    ASSERT_EQ(krSound::SelectFormat(1, 48000, 16), 1);
    EXPECT_EQ(audio::OutputFormat().rate, 48000);
    EXPECT_EQ(audio::OutputFormat().channels, 1);
    for (auto [code, hz] : {std::pair{8, 8000}, {11, 11025}, {44, 44100}}) {
        ASSERT_EQ(krSound::SelectFormat(2, code, 8), 1);
        EXPECT_EQ(audio::OutputFormat().rate, hz);
    }
    // A format the output refuses: reported, and the objects keep playing.
    EXPECT_EQ(krSound::SelectFormat(5, 22, 16), 0);
    EXPECT_EQ(LastBox(), Box("krSound::SelectFormat", "再生フォーマットを変更できません"));
    EXPECT_NE(Voice(a, 0), 0);
    EXPECT_EQ(audio::GetVolume(Voice(a, 1)), -700);
}

TEST_F(SoundObjects, ReleaseThenRebuildRestoresTheObjects) {
    const int a = krSound::LoadObject(WriteRamp("a.wav", 1, 22050, 100).c_str(), 2);
    krSound::AddVolume(a, -3, -1);
    krSound::Release();
    EXPECT_EQ(Voice(a, 0), 0);
    EXPECT_EQ(krSoundObjects[a].inUse, 1);
    EXPECT_EQ(krSoundDevice.ready, 1);
    krSound::Rebuild();
    ASSERT_NE(Voice(a, 1), 0);
    EXPECT_EQ(audio::GetVolume(Voice(a, 1)), -300);
    EXPECT_EQ(krSoundObjects[a].nextBuffer, 0);
    // A rebuild without a release first does not leave the old voices behind.
    const int old = Voice(a, 0);
    krSound::Rebuild();
    EXPECT_EQ(audio::VoiceBytes(old), 0u);
}

TEST_F(SoundObjects, RebuildSetsTheEchoStateFromTheMixCountAlone) {
    const int negative = krSound::LoadObject(WriteRamp("a.wav", 1, 22050, 100).c_str(), -3);
    const int single = krSound::LoadObject(WriteRamp("b.wav", 1, 22050, 100).c_str(), -1);
    const int plain = krSound::LoadObject(WriteRamp("c.wav", 1, 22050, 100).c_str(), 2);
    ASSERT_EQ(krSoundObjects[negative].echoState, -1);
    krSound::Play(plain, -2);
    ASSERT_EQ(krSoundObjects[plain].echoState, 1);
    krSound::Release();
    krSound::Rebuild();
    EXPECT_EQ(krSoundObjects[negative].echoState, 0);  // more than one buffer
    EXPECT_EQ(krSoundObjects[negative].mixCount, 3);
    EXPECT_EQ(krSoundObjects[single].echoState, -1);
    EXPECT_EQ(krSoundObjects[plain].echoState, 0);  // a running echo is idle again
    krSystemState.frameTime = 1.0f;
    krSound::Play(negative, -2);
    EXPECT_EQ(krSoundObjects[negative].echoState, 1);
}

TEST_F(SoundObjects, PlaySystemSoundPlaysToItsEndAndRebuilds) {
    const int a = krSound::LoadObject(WriteRamp("a.wav", 1, 22050, 100).c_str(), 1);
    const std::string chime = WriteRamp("chime.wav", 1, 8000, 8000);  // one second
    const std::uint64_t before = plat::headless::TotalSleptMs();
    krSound::PlaySystemSound(chime.c_str());
    // Nothing pulls the headless mix: the wait ends after the sound's length.
    EXPECT_GE(plat::headless::TotalSleptMs() - before, 1000u);
    EXPECT_NE(Voice(a), 0);
    EXPECT_EQ(krSoundObjects[a].baseFrequency, 22050);
}

TEST(SoundDevice, WithoutADeviceSoundStaysOffAndTheLoadersSayNothing) {
    plat::SetBackend(&plat::headless::Instance());
    plat::headless::Reset();
    plat::audio::ResetMixer();
    plat::headless::FailAudioDevice(true);
    krSoundDevice = krSoundDeviceRecord{};
    EXPECT_EQ(krSound::Init(), 0);
    EXPECT_EQ(krSoundDevice.ready, 0);
    EXPECT_EQ(krSound::LoadObject("anything.wav", 1), -1);
    EXPECT_EQ(krSound::LoadPack("anything.wav", 1), -1);
    EXPECT_EQ(krSound::LoadStream("anything.wav", 0), -1);
    EXPECT_EQ(krSound::SelectFormat(2, 22, 16), 1);
    EXPECT_EQ(krSound::Streaming(), 0);
    krSound::Play(0, -1);
    EXPECT_TRUE(plat::headless::Boxes().empty());
    plat::headless::Reset();
}

class SoundWiring : public SoundTest {};

TEST_F(SoundWiring, ScreenSetUpStartsSoundAndShutdownReleasesIt) {
    krSound::Release();
    krSoundDevice = krSoundDeviceRecord{};
    krSystemState.fullScreen = 0;
    plat::RegisterWindowClass("DEFAULT", &krSystem::WindowProc, 0x0B);
    krSystemState.mainWindow = plat::CreateMainWindow("DEFAULT", "t", 0, 0, 0, 800, 600);
    krSoundObjects[3].inUse = 1;  // left over from an earlier run: cleared
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    EXPECT_EQ(krSoundDevice.ready, 1);
    EXPECT_EQ(krSoundObjects[3].inUse, 0);
    const int slot = krSound::LoadObject(WriteRamp("a.wav", 1, 22050, 100).c_str(), 1);
    ASSERT_EQ(slot, 0);
    const int voice = Voice(slot);
    krSystem::Shutdown();
    EXPECT_EQ(audio::VoiceBytes(voice), 0u);
    EXPECT_EQ(Voice(slot), 0);
    krDraw::Release();
    krScreen = krScreenRecord{};
}
