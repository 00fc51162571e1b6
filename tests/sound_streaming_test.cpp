// Sound packs and streaming on the headless mix: lookups, whole loads versus
// streams, the ring and its refills heard sample for sample, the end and the
// loop, packs that lie or vanish, the conversion of a folder.
#include <filesystem>

#include "sound_fixture.h"

using namespace soundfiles;
namespace audio = plat::audio;

namespace {

constexpr int kRate = 22050;
constexpr std::uint32_t kBytesPerSecond = 88200;  // 22050 Hz stereo 16-bit
constexpr int kFrameChunk = 735;                   // 1/30 s at 22050 Hz

const Bytes& StereoRecord() {
    static const Bytes record = FormatRecord(FormatFields(1, 2, kRate, 16));
    return record;
}

// The ramp's left sample of frame i (see soundfiles::Ramp16).
std::int16_t RampLeft(std::size_t i) { return static_cast<std::int16_t>(i & 0xFFFF); }

}  // namespace

class SoundStreaming : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        ASSERT_EQ(krSound::SelectFormat(2, 22, 16), 1);  // the ring plays sample for sample
    }

    // Writes a pack of entries and makes it the current one.
    std::string UsePack(const std::vector<Bytes>& entries, const std::string& file = "music.pak") {
        Bytes pack;
        for (const Bytes& e : entries) pack.insert(pack.end(), e.begin(), e.end());
        const std::string name = Write(file, pack);
        krSound::SetPack(name.c_str());
        return name;
    }

    static Bytes Song(const std::string& name, std::uint32_t bytes) {
        return PackEntryBytes(name, StereoRecord(), Ramp16(2, bytes / 4));
    }

    // Plays frames of 1/30 s, polling the streams after each, until the
    // stream stops or `seconds` have passed; the left channel of the output
    // and the ring's refill sizes.
    struct Run {
        std::vector<std::int16_t> left;
        std::vector<std::uint32_t> refills;
        std::vector<int> countdowns;
        bool stopped = false;
    };
    Run PlayFor(int slot, double seconds) {
        Run run;
        const krSoundStreamRecord& s = krSoundObjects[slot].stream;
        std::uint32_t next = s.nextWrite;
        for (int frame = 0; frame < seconds * 30; ++frame) {
            const auto out = Render(kFrameChunk);
            for (std::size_t i = 0; i < out.size(); i += 2) run.left.push_back(out[i]);
            krSound::Streaming();
            if (s.nextWrite != next) {
                run.refills.push_back((s.nextWrite + s.ringSize - next) % s.ringSize);
                run.countdowns.push_back(s.endCountdown);
                next = s.nextWrite;
            }
            if (!audio::IsPlaying(Voice(slot))) {
                run.stopped = true;
                break;
            }
        }
        return run;
    }
};

TEST_F(SoundStreaming, ShortEntriesLoadWholeAndFiveSecondsStream) {
    UsePack({Song("A49.WAV", 432180), Song("A50.WAV", 441000)});
    const int whole = krSound::LoadStream("a49.wav", 0);
    ASSERT_GE(whole, 0);
    EXPECT_EQ(krSoundObjects[whole].stream.dataSize, 0u);
    EXPECT_EQ(krSoundObjects[whole].packed, 1);
    EXPECT_EQ(krSoundObjects[whole].mixCount, 1);
    EXPECT_EQ(audio::VoiceBytes(Voice(whole)), 432180u);

    const int stream = krSound::LoadStream("A50.wav", 0);
    ASSERT_GE(stream, 0);
    const krSoundStreamRecord& s = krSoundObjects[stream].stream;
    EXPECT_EQ(s.dataSize, 441000u);
    EXPECT_EQ(s.ringSize, 352800u);
    EXPECT_EQ(s.half, 176400u);
    EXPECT_EQ(s.consumed, 176400u);
    EXPECT_EQ(s.nextWrite, 176400u);
    EXPECT_EQ(s.lastWrite, 0u);
    EXPECT_EQ(s.wrapMark, krNoWrapMark);
    EXPECT_EQ(audio::VoiceBytes(Voice(stream)), 352800u);
    EXPECT_EQ(krSoundObjects[stream].echoState, -1);
    EXPECT_STREQ(krSoundObjects[stream].name, "A50.wav");
}

TEST_F(SoundStreaming, AFiveAndAHalfSecondStreamPlaysToItsEndThenStops) {
    const std::uint32_t dataSize = 485100;  // 5.5 s
    UsePack({Song("SONG.WAV", dataSize)});
    const int slot = krSound::LoadStream("song.wav", 0);
    ASSERT_GE(slot, 0);
    krSound::Play(slot, -1);
    EXPECT_TRUE(audio::IsLooping(Voice(slot)));  // the ring always wraps
    const Run run = PlayFor(slot, 10);
    // 2 s at loading, then the 3.5 s left in two near-equal whole-frame
    // halves, then the silence, then the stop.
    ASSERT_EQ(run.refills.size(), 3u);
    EXPECT_EQ(run.refills[0], 154348u);
    EXPECT_EQ(run.refills[1], 154352u);
    EXPECT_EQ(run.refills[0] % 4, 0u);
    EXPECT_EQ(kBytesPerSecond * 2 + run.refills[0] + run.refills[1], dataSize);
    EXPECT_EQ(run.countdowns, (std::vector<int>{0, 2, 1}));
    EXPECT_TRUE(run.stopped);
    const std::size_t frames = dataSize / 4;
    ASSERT_GE(run.left.size(), frames);
    for (std::size_t i = 0; i < frames; ++i) ASSERT_EQ(run.left[i], RampLeft(i)) << i;
    for (std::size_t i = frames; i < run.left.size(); ++i) ASSERT_EQ(run.left[i], 0) << i;
    EXPECT_LT(run.left.size(), frames + 2 * kFrameChunk);  // stopped at once
    EXPECT_EQ(audio::GetPosition(Voice(slot)), 0u);
}

TEST_F(SoundStreaming, ALoopingStreamGoesOnFromItsLoopOffset) {
    const std::uint32_t dataSize = 6 * kBytesPerSecond;
    UsePack({Song("SONG.WAV", dataSize)});
    for (std::uint32_t loopFrames : {0u, 22050u}) {
        const int slot = krSound::LoadStream("SONG.WAV", static_cast<int>(loopFrames * 4));
        ASSERT_GE(slot, 0);
        krSound::PlayLoop(slot, 0);
        const Run run = PlayFor(slot, 15);
        EXPECT_FALSE(run.stopped);
        const std::size_t frames = dataSize / 4;
        std::size_t expected = 0;
        for (std::size_t i = 0; i < run.left.size(); ++i) {
            ASSERT_EQ(run.left[i], RampLeft(expected)) << "loop " << loopFrames << " at " << i;
            if (++expected == frames) expected = loopFrames;
        }
        krSound::FreeObject(slot);
    }
}

TEST_F(SoundStreaming, ALoopShorterThanARefillPlaysExactly) {
    // Five seconds looping over their last 10 ms (220 frames): each refill
    // goes on with whole loop periods instead of leaving stale ring bytes.
    const std::uint32_t dataSize = 5 * kBytesPerSecond;
    const std::size_t frames = dataSize / 4, loopFrames = frames - 220;
    UsePack({Song("SONG.WAV", dataSize)});
    const int slot = krSound::LoadStream("SONG.WAV", static_cast<int>(loopFrames * 4));
    ASSERT_GE(slot, 0);
    krSound::PlayLoop(slot, -1);
    const Run run = PlayFor(slot, 8);
    EXPECT_FALSE(run.stopped);
    ASSERT_GE(run.left.size(), 8u * kRate - kFrameChunk);
    std::size_t expected = 0;
    for (std::size_t i = 0; i < run.left.size(); ++i) {
        ASSERT_EQ(run.left[i], RampLeft(expected)) << "at " << i;
        if (++expected == frames) expected = loopFrames;
    }
    for (std::uint32_t refill : run.refills) EXPECT_LE(refill, 2 * kBytesPerSecond);
}

TEST_F(SoundStreaming, ResetStreamRestartsFromTheStartMidDataAndDuringTheEnding) {
    const std::uint32_t dataSize = 485100;  // 5.5 s
    const std::size_t frames = dataSize / 4;
    UsePack({Song("SONG.WAV", dataSize)});
    const int slot = krSound::LoadStream("song.wav", 0);
    ASSERT_GE(slot, 0);
    const krSoundStreamRecord& s = krSoundObjects[slot].stream;
    // Once a second in (data still to read), once while the ending counts
    // down (all read by the refill at 2 s, the silence written at 3.75 s).
    for (double into : {1.0, 4.5}) {
        krSound::Play(slot, -1);
        const Run before = PlayFor(slot, into);
        ASSERT_FALSE(before.stopped) << into;
        if (into < 2) ASSERT_EQ(s.endCountdown, 0);
        else ASSERT_NE(s.endCountdown, 0) << "the ending has begun";
        ASSERT_EQ(krSound::ResetStream(slot), 1);
        EXPECT_EQ(s.lastWrite, 0u);
        EXPECT_EQ(s.nextWrite, s.half);
        EXPECT_EQ(s.consumed, s.half);
        EXPECT_EQ(s.filePosition, s.dataStart + s.half);
        EXPECT_EQ(s.wrapMark, krNoWrapMark);
        EXPECT_EQ(s.lastCursor, 0u);
        EXPECT_EQ(s.endCountdown, 0);
        krSound::Play(slot, -1);  // rewinds again and starts at 0
        const Run after = PlayFor(slot, 10);
        EXPECT_TRUE(after.stopped) << into;
        ASSERT_GE(after.left.size(), frames) << into;
        for (std::size_t i = 0; i < frames; ++i) ASSERT_EQ(after.left[i], RampLeft(i)) << into << " at " << i;
        for (std::size_t i = frames; i < after.left.size(); ++i) ASSERT_EQ(after.left[i], 0) << into << " at " << i;
    }
}

TEST_F(SoundStreaming, AStreamPlayedOncePausedAndResumedKeepsItsRingLooping) {
    const std::uint32_t dataSize = 10 * kBytesPerSecond;
    UsePack({Song("SONG.WAV", dataSize)});
    const int slot = krSound::LoadStream("song.wav", 0);
    krSound::Play(slot, 0);  // loop flag 0: the data ends, the ring still wraps
    const Run first = PlayFor(slot, 1);
    krSound::Pause(slot, -1);
    ASSERT_FALSE(audio::IsPlaying(Voice(slot)));
    Render(kRate / 2);  // nothing moves while paused
    krSound::Pause(slot, -1);
    EXPECT_TRUE(audio::IsLooping(Voice(slot)));
    // Five seconds more: past the ring's end and on, sample for sample.
    const Run rest = PlayFor(slot, 5);
    EXPECT_FALSE(rest.stopped);
    ASSERT_EQ(rest.left.size(), 150u * kFrameChunk);
    for (std::size_t i = 0; i < rest.left.size(); ++i) ASSERT_EQ(rest.left[i], RampLeft(first.left.size() + i)) << i;
}

TEST_F(SoundStreaming, StreamingRefillsOnlyPlayingStreams) {
    UsePack({Song("A.WAV", 6 * kBytesPerSecond), Song("B.WAV", 6 * kBytesPerSecond), Song("C.WAV", 6 * kBytesPerSecond)});
    const int playing = krSound::LoadStream("a.wav", 0);
    const int idle = krSound::LoadStream("b.wav", 0);
    const int paused = krSound::LoadStream("c.wav", 0);
    krSound::PlayLoop(playing, 0);
    krSound::PlayLoop(paused, 0);
    Render(kFrameChunk);
    krSound::Pause(paused, -1);
    const krSoundStreamRecord idleBefore = krSoundObjects[idle].stream;
    const krSoundStreamRecord pausedBefore = krSoundObjects[paused].stream;
    for (int frame = 0; frame < 90; ++frame) {
        Render(kFrameChunk);
        ASSERT_EQ(krSound::Streaming(), 1);
    }
    EXPECT_NE(krSoundObjects[playing].stream.consumed, 2 * kBytesPerSecond);  // refilled
    for (auto [slot, before] : {std::pair{idle, idleBefore}, {paused, pausedBefore}}) {
        const krSoundStreamRecord& now = krSoundObjects[slot].stream;
        EXPECT_EQ(now.consumed, before.consumed) << slot;
        EXPECT_EQ(now.nextWrite, before.nextWrite) << slot;
        EXPECT_EQ(now.lastCursor, before.lastCursor) << slot;
        EXPECT_EQ(now.filePosition, before.filePosition) << slot;
    }
}

TEST_F(SoundStreaming, LoopOffsetsOutsideTheDataOrInsideAFrameAreTamed) {
    UsePack({Song("SONG.WAV", 5 * kBytesPerSecond)});
    const int past = krSound::LoadStream("SONG.WAV", static_cast<int>(9 * kBytesPerSecond));
    const int negative = krSound::LoadStream("SONG.WAV", -8);
    const int odd = krSound::LoadStream("SONG.WAV", 4 * 1000 + 2);
    const krSoundStreamRecord& a = krSoundObjects[past].stream;
    const krSoundStreamRecord& b = krSoundObjects[negative].stream;
    const krSoundStreamRecord& c = krSoundObjects[odd].stream;
    EXPECT_EQ(a.loopStart, a.dataStart);
    EXPECT_EQ(b.loopStart, b.dataStart);
    EXPECT_EQ(c.loopStart, c.dataStart + 4000);
}

TEST_F(SoundStreaming, LookupsIgnoreCaseAndSkipOtherFormats) {
    const Bytes adpcm = FormatRecord(FormatFields(2, 1, 22050, 4, 256), Bytes(32, 7));
    UsePack({PackEntryBytes("A.WAV", adpcm, Bytes(301, 1)), PackEntryBytes("B.WAV", StereoRecord(), Ramp16(2, 10, 5))});
    const int b = krSound::LoadPack("b.Wav", 2);
    ASSERT_GE(b, 0);
    EXPECT_EQ(krSoundObjects[b].packed, 1);
    EXPECT_EQ(krSoundObjects[b].mixCount, 2);
    EXPECT_EQ(krSoundObjects[b].echoState, 0);
    krSound::Play(b, 0);
    EXPECT_EQ(Render(1)[0], 5);
    const char* kPack = "krSound::LoadPack";
    EXPECT_EQ(krSound::LoadPack("a.wav", 1), -1);
    EXPECT_EQ(LastBox(), Box(kPack, "サウンドバッファが生成できません"));
    EXPECT_EQ(krSound::LoadPack("c.wav", 1), -1);
    EXPECT_EQ(LastBox(), Box(kPack, "WAVEファイルを読み込めません"));
    EXPECT_EQ(krSound::LoadPack("b.wav", -11), -1);
    EXPECT_EQ(LastBox(), Box(kPack, "ミックス数が多過ぎます"));
    EXPECT_EQ(krSound::LoadPack(std::string(31, 'X').c_str(), 1), -1);
    EXPECT_EQ(LastBox(), Box(kPack, "ファイル名が長すぎます"));
    EXPECT_EQ(krSound::LoadStream(std::string(31, 'X').c_str(), 1), -1);
    EXPECT_EQ(LastBox(), Box("krSound::LoadStream", "ファイル名が長すぎます"));
    krSound::SetPack("none.pak");
    EXPECT_EQ(krSound::LoadPack("b.wav", 1), -1);
    EXPECT_EQ(LastBox(), Box(kPack, "パックファイル名が指定されていません"));
    EXPECT_EQ(krSound::LoadStream("b.wav", 0), -1);
    EXPECT_EQ(LastBox(), Box("krSound::LoadStream", "パックファイル名が指定されていません"));
}

TEST_F(SoundStreaming, PacksThatLieGetTheirMessages) {
    Bytes cut = Song("CUT.WAV", 6 * kBytesPerSecond);
    cut.resize(cut.size() - 1000);  // the data size runs past the file
    Bytes hugeRate = FormatFields(1, 2, kRate, 16);
    hugeRate[8] = hugeRate[9] = hugeRate[10] = hugeRate[11] = 0xFF;  // bytes per second says 4 GB
    UsePack({PackEntryBytes("NOCHAN.WAV", FormatRecord(FormatFields(1, 0, kRate, 16, 4)), Ramp16(2, 10)),
             PackEntryBytes("NORATE.WAV", FormatRecord(FormatFields(1, 2, 0, 16)), Ramp16(2, 10)),
             PackEntryBytes("ALIGN.WAV", FormatRecord(FormatFields(1, 2, kRate, 16, 6)), Ramp16(2, 10)),
             PackEntryBytes("RATE.WAV", FormatRecord(hugeRate), Ramp16(2, 5 * kRate)), cut});
    for (const char* name : {"nochan.wav", "norate.wav", "align.wav"}) {
        EXPECT_EQ(krSound::LoadPack(name, 1), -1) << name;
        EXPECT_EQ(LastBox(), Box("krSound::LoadPack", "サウンドバッファが生成できません")) << name;
        EXPECT_EQ(krSound::LoadStream(name, 0), -1) << name;
    }
    // The ring is sized from the rate and the frame, not from the record's claim.
    const int rate = krSound::LoadStream("rate.wav", 0);
    ASSERT_GE(rate, 0);
    EXPECT_EQ(krSoundObjects[rate].stream.ringSize, 352800u);
    EXPECT_EQ(krSound::LoadStream("cut.wav", 0), -1);
    EXPECT_EQ(LastBox(), Box("krSound::LoadStream", "WAVEファイルを読み込めません"));
    EXPECT_EQ(krSound::LoadPack("cut.wav", 1), -1);
    EXPECT_EQ(LastBox(), Box("krSound::LoadPack", "WAVEファイルを読み込めません"));
}

TEST_F(SoundStreaming, AStreamWhosePackVanishesStopsCleanly) {
    const std::string pack = UsePack({Song("SONG.WAV", 10 * kBytesPerSecond)});
    const int slot = krSound::LoadStream("song.wav", 0);
    krSound::Play(slot, 0);
    PlayFor(slot, 1);  // the first refill is in
    std::filesystem::remove(FolderPath() / "music.pak");
    const Run run = PlayFor(slot, 5);
    EXPECT_TRUE(run.stopped);
    EXPECT_EQ(LastBox(), Box("krSound::Streaming", "パックファイル名が指定されていません"));
    const std::size_t boxes = BoxCount();
    PlayFor(slot, 2);
    EXPECT_EQ(BoxCount(), boxes);  // reported once
    // Played again, the rewind finds no pack and nothing stale plays.
    krSound::Play(slot, 0);
    EXPECT_EQ(LastBox(), Box("krSound::ResetStream", "パックファイル名が指定されていません"));
    EXPECT_FALSE(audio::IsPlaying(Voice(slot)));
}

TEST_F(SoundStreaming, AStreamWhosePackShrinksStopsWithoutGarbage) {
    UsePack({Song("SONG.WAV", 10 * kBytesPerSecond)});
    const int slot = krSound::LoadStream("song.wav", 0);
    const std::uint32_t dataStart = krSoundObjects[slot].stream.dataStart;
    krSound::Play(slot, 0);
    std::filesystem::resize_file(FolderPath() / "music.pak", dataStart + 5 * kBytesPerSecond);
    const Run run = PlayFor(slot, 8);
    EXPECT_TRUE(run.stopped);
    EXPECT_EQ(LastBox(), Box("krSound::Streaming", "ストリーミング再生できません"));
    std::size_t i = 0;
    while (i < run.left.size() && run.left[i] == RampLeft(i)) ++i;
    EXPECT_GE(i, 2u * kRate);
    for (; i < run.left.size(); ++i) ASSERT_EQ(run.left[i], 0) << i;
}

TEST_F(SoundStreaming, ConvertWritesUpperCaseFileNamesAndAppendsUnlessFresh) {
    std::filesystem::create_directories(FolderPath() / "snd");
    Write("snd/a.wav", PcmWave(2, kRate, 16, Ramp16(2, 10, 1)));
    Write("snd/Boom.WAV", PcmWave(1, 8000, 8, {1, 2, 3}));
    Write("snd/readme.txt", {1, 2, 3});
    Write("snd/bad.wav", Riff({Chunk("fmt ", Bytes(4, 0))}));
    const std::string pack = Folder() + "\\out.pak";
    ASSERT_EQ(krSound::Convert(pack.c_str(), (Folder() + "\\snd").c_str(), 1), 1);
    const Bytes once = ReadFile((FolderPath() / "out.pak").string());
    Bytes expected = PackEntryBytes("BOOM.WAV", FormatRecord(FormatFields(1, 1, 8000, 8)), {1, 2, 3});
    const Bytes a = PackEntryBytes("A.WAV", StereoRecord(), Ramp16(2, 10, 1));
    expected.insert(expected.end(), a.begin(), a.end());
    EXPECT_EQ(once, expected);  // sorted by file name; the broken file left out

    // A second run without fresh appends every sound again; the first copy wins.
    Write("snd/a.wav", PcmWave(2, kRate, 16, Ramp16(2, 10, 9)));
    ASSERT_EQ(krSound::Convert(pack.c_str(), (Folder() + "\\snd").c_str(), 0), 1);
    EXPECT_EQ(ReadFile((FolderPath() / "out.pak").string()).size(), 2 * once.size());
    krSound::SetPack(pack.c_str());
    const int first = krSound::LoadPack("A.WAV", 1);
    krSound::Play(first, 0);
    EXPECT_EQ(Render(1)[0], 1);
    ASSERT_EQ(krSound::Convert(pack.c_str(), (Folder() + "\\snd").c_str(), 1), 1);
    EXPECT_EQ(ReadFile((FolderPath() / "out.pak").string()).size(), once.size());
    const int fresh = krSound::LoadPack("A.WAV", 1);
    krSound::Stop(first, -1);
    krSound::Play(fresh, 0);
    EXPECT_EQ(Render(1)[0], 9);
    // A pack that cannot be written is a failure.
    EXPECT_EQ(krSound::Convert((Folder() + "\\nofolder\\x.pak").c_str(), (Folder() + "\\snd").c_str(), 1), 0);
}

TEST_F(SoundStreaming, RebuildReloadsFromEachSoundsOwnPack) {
    UsePack({PackEntryBytes("B.WAV", StereoRecord(), Ramp16(2, 10, 5))}, "one.pak");
    const int b = krSound::LoadPack("b.wav", 3);
    UsePack({Song("SONG.WAV", 6 * kBytesPerSecond)}, "two.pak");
    const int song = krSound::LoadStream("song.wav", 8000);
    krSound::SetVolume(song, -4, 0);
    krSound::SetPack("elsewhere.pak");
    const std::string current = krSoundDevice.packPath;
    krSound::Release();
    krSound::Rebuild();
    EXPECT_EQ(BoxCount(), 0u);
    ASSERT_NE(Voice(b, 2), 0);
    ASSERT_NE(Voice(song), 0);
    EXPECT_EQ(krSoundObjects[song].stream.loopStart - krSoundObjects[song].stream.dataStart, 8000u);
    EXPECT_EQ(audio::GetVolume(Voice(song)), -400);
    EXPECT_EQ(krSoundDevice.packPath, current);
}
