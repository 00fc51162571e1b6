// The WAV reader, the conversion to mixer voices and the sound pack layout,
// including every kind of lie a file can tell.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/pixels/blit_kernels.h"
#include "sound/sound_internal.h"
#include "sound_files.h"

using namespace soundfiles;
using krSound::internal::MakePlayable;
using krSound::internal::ParseWave;
using krSound::internal::PlayableSound;
using krSound::internal::WaveData;

namespace {

bool Parse(const Bytes& image, WaveData& out) { return ParseWave(image.data(), image.size(), out); }

int Sample16(const Bytes& b, std::size_t index) {
    return static_cast<std::int16_t>(b[2 * index] | b[2 * index + 1] << 8);
}

// Converts one record and its samples; false when refused.
bool Playable(const Bytes& record, Bytes samples, PlayableSound& out) { return MakePlayable(record, samples, out); }

Bytes FloatSamples(std::initializer_list<float> values) {
    Bytes b;
    for (float v : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put32(b, bits);
    }
    return b;
}

// The extensible extra bytes: valid bits, channel mask, sub-format GUID.
Bytes ExtensibleExtra(int validBits, std::uint32_t mask, int subTag, bool goodGuid = true) {
    Bytes b;
    Put16(b, static_cast<std::uint32_t>(validBits));
    Put32(b, mask);
    Put16(b, static_cast<std::uint32_t>(subTag));
    const std::uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    b.insert(b.end(), tail, tail + 14);
    if (!goodGuid) b.back() ^= 1;
    return b;
}

}  // namespace

TEST(SoundWavReader, ReadsPcmWithAnEmptyExtraSize) {
    const Bytes samples = Ramp16(2, 10);
    WaveData wave;
    ASSERT_TRUE(Parse(PcmWave(2, 22050, 16, samples), wave));
    EXPECT_EQ(wave.format, FormatRecord(FormatFields(1, 2, 22050, 16)));
    EXPECT_EQ(wave.samples, samples);
}

TEST(SoundWavReader, SkipsPaddedOddChunksAndFindsDataBeforeFormat) {
    const Bytes samples = {1, 2, 3};  // odd data, padded in the file
    const Bytes image = Riff({Chunk("LIST", {9, 9, 9}), Chunk("data", samples), Chunk("junk", {7}),
                              Chunk("fmt ", FormatFields(1, 1, 8000, 8))});
    WaveData wave;
    ASSERT_TRUE(Parse(image, wave));
    EXPECT_EQ(wave.samples, samples);
    EXPECT_EQ(wave.format.size(), 18u);
    // Without the pad byte the next chunk header is misread and nothing is found.
    const Bytes unpadded = Riff({Chunk("LIST", {9, 9, 9}, false), Chunk("fmt ", FormatFields(1, 1, 8000, 8)),
                                 Chunk("data", samples)});
    EXPECT_FALSE(Parse(unpadded, wave));
}

TEST(SoundWavReader, KeepsTheExtraBytesOfOtherFormats) {
    Bytes extra(32);
    for (std::size_t i = 0; i < extra.size(); ++i) extra[i] = static_cast<std::uint8_t>(i + 1);
    Bytes fmt = FormatRecord(FormatFields(2, 1, 22050, 4, 256), extra);
    WaveData wave;
    ASSERT_TRUE(Parse(Riff({Chunk("fmt ", fmt), Chunk("data", {0, 0})}), wave));
    EXPECT_EQ(wave.format, fmt);
    // A PCM record's extra size is 0 whatever follows its 16 bytes.
    Bytes pcm = FormatFields(1, 1, 8000, 8);
    Put16(pcm, 5);
    ASSERT_TRUE(Parse(Riff({Chunk("fmt ", pcm), Chunk("data", {0})}), wave));
    EXPECT_EQ(wave.format, FormatRecord(FormatFields(1, 1, 8000, 8)));
    // A float record of 16 bytes has no extra-size field to read.
    ASSERT_TRUE(Parse(Riff({Chunk("fmt ", FormatFields(3, 1, 8000, 32)), Chunk("data", {0, 0, 0, 0})}), wave));
    EXPECT_EQ(wave.format, FormatRecord(FormatFields(3, 1, 8000, 32)));
}

TEST(SoundWavReader, RefusesBrokenStructure) {
    WaveData wave;
    const Bytes fmt = FormatFields(1, 1, 8000, 8);
    // Not RIFF/WAVE.
    Bytes notWave = PcmWave(1, 8000, 8, {1, 2});
    notWave[8] = 'X';
    EXPECT_FALSE(Parse(notWave, wave));
    // "fmt " shorter than 16 bytes.
    EXPECT_FALSE(Parse(Riff({Chunk("fmt ", Bytes(fmt.begin(), fmt.begin() + 14)), Chunk("data", {1})}), wave));
    // No "data".
    EXPECT_FALSE(Parse(Riff({Chunk("fmt ", fmt)}), wave));
    // An extra size the chunk does not hold.
    Bytes lying = FormatFields(2, 1, 8000, 8);
    Put16(lying, 40);
    EXPECT_FALSE(Parse(Riff({Chunk("fmt ", lying), Chunk("data", {1})}), wave));
    // A "data" chunk that claims 2 GB: refused, nothing of that size allocated.
    Bytes huge = Riff({Chunk("fmt ", fmt), Chunk("data", {1, 2, 3, 4})});
    huge[huge.size() - 8] = 0xFF, huge[huge.size() - 7] = 0xFF, huge[huge.size() - 6] = 0xFF, huge[huge.size() - 5] = 0x7F;
    EXPECT_FALSE(Parse(huge, wave));
    EXPECT_TRUE(wave.samples.empty());
    // A "data" chunk inside the file but past the end of its RIFF chunk.
    const Bytes body = Riff({Chunk("fmt ", fmt), Chunk("data", {1, 2, 3, 4})});
    EXPECT_FALSE(Parse(Riff({Chunk("fmt ", fmt), Chunk("data", {1, 2, 3, 4})}, static_cast<long>(body.size()) - 8 - 2), wave));
}

TEST(SoundWavReader, EveryTruncationFailsAndARiffSizePastTheFileIsTolerated) {
    const Bytes image = PcmWave(2, 22050, 16, Ramp16(2, 50));
    WaveData wave;
    for (std::size_t cut = 0; cut < image.size(); ++cut) {
        const Bytes part(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(Parse(part, wave)) << cut;
    }
    // The inner chunks are whole; only the RIFF size overshoots.
    Bytes overshoot = image;
    overshoot[4] = 0xF0, overshoot[5] = 0xFF, overshoot[6] = 0xFF, overshoot[7] = 0x7F;
    ASSERT_TRUE(Parse(overshoot, wave));
    EXPECT_EQ(wave.samples, Ramp16(2, 50));
}

TEST(SoundWavReader, WritesWhatItReads) {
    WaveData wave;
    ASSERT_TRUE(Parse(PcmWave(1, 11025, 8, {1, 2, 3}), wave));
    const Bytes rebuilt = krSound::internal::BuildWaveFile(wave);
    EXPECT_EQ(rebuilt, PcmWave(1, 11025, 8, {1, 2, 3}));
    WaveData again;
    ASSERT_TRUE(Parse(rebuilt, again));
    EXPECT_EQ(again.format, wave.format);
    EXPECT_EQ(again.samples, wave.samples);
}

TEST(SoundWavConversion, PassesPcmAndRefusesInconsistentFormats) {
    PlayableSound out;
    ASSERT_TRUE(Playable(FormatRecord(FormatFields(1, 1, 8000, 8)), {0, 128, 255}, out));
    EXPECT_EQ(out.format.bits, 8);
    EXPECT_EQ(out.format.channels, 1);
    EXPECT_EQ(out.format.rate, 8000);
    EXPECT_EQ(out.bytes, (Bytes{0, 128, 255}));

    EXPECT_FALSE(Playable(FormatRecord(FormatFields(1, 0, 8000, 16, 0)), {0, 0}, out));    // zero channels
    EXPECT_FALSE(Playable(FormatRecord(FormatFields(1, 2, 0, 16)), {0, 0, 0, 0}, out));    // zero rate
    EXPECT_FALSE(Playable(FormatRecord(FormatFields(1, 2, 8000, 16, 2)), {0, 0}, out));    // block align
    EXPECT_FALSE(Playable(FormatRecord(FormatFields(1, 1, 8000, 12)), {0, 0}, out));       // odd bits
    EXPECT_FALSE(Playable(FormatRecord(FormatFields(2, 1, 8000, 4, 256)), {0, 0}, out));   // ADPCM
    EXPECT_FALSE(Playable(FormatRecord(FormatFields(3, 1, 8000, 16)), {0, 0}, out));       // 16-bit float
    EXPECT_FALSE(Playable(Bytes(10, 0), {0, 0}, out));                                      // short record
}

TEST(SoundWavConversion, TurnsFloatAndCompandedSamplesInto16Bits) {
    PlayableSound out;
    ASSERT_TRUE(Playable(FormatRecord(FormatFields(3, 1, 44100, 32)), FloatSamples({0.0f, 0.5f, -1.0f, 1.5f}), out));
    EXPECT_EQ(out.format.bits, 16);
    ASSERT_EQ(out.bytes.size(), 8u);
    EXPECT_EQ(Sample16(out.bytes, 0), 0);
    EXPECT_EQ(Sample16(out.bytes, 1), 16384);
    EXPECT_EQ(Sample16(out.bytes, 2), -32768);
    EXPECT_EQ(Sample16(out.bytes, 3), 32767);  // clipped

    // Long enough for the vector path: the same rounding and clipping, NaN
    // silent, infinities at full scale, stereo alike.
    const float nan = std::nanf(""), inf = HUGE_VALF;
    const std::vector<float> values = {0.25f, -0.75f, 1.0f, -1.0f, 3.0f, -3.0f, nan, inf, -inf,
                                       0.5f / 32768.0f, 1.5f / 32768.0f, -2.5f / 32768.0f, 0.1f, -0.3f, 0.9999f, 1e-9f, 7.0f};
    Bytes raw;
    for (float v : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put32(raw, bits);
    }
    const std::vector<int> expected = {8192, -24576, 32767, -32768, 32767, -32768, 0, 32767, -32768,
                                       0, 2, -2, 3277, -9830, 32765, 0, 32767};
    ASSERT_TRUE(Playable(FormatRecord(FormatFields(3, 1, 44100, 32)), raw, out));
    ASSERT_EQ(out.bytes.size(), 2 * values.size());
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(Sample16(out.bytes, i), expected[i]) << i;
    raw.resize(16 * 4);  // eight stereo frames
    ASSERT_TRUE(Playable(FormatRecord(FormatFields(3, 2, 44100, 32)), raw, out));
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(Sample16(out.bytes, i), expected[i]) << i;

    ASSERT_TRUE(Playable(FormatRecord(FormatFields(7, 1, 8000, 8)), {0xFF, 0x00, 0x80}, out));  // mu-law
    EXPECT_EQ(Sample16(out.bytes, 0), 0);
    EXPECT_EQ(Sample16(out.bytes, 1), -32124);
    EXPECT_EQ(Sample16(out.bytes, 2), 32124);

    ASSERT_TRUE(Playable(FormatRecord(FormatFields(6, 1, 8000, 8)), {0xD5, 0x55, 0xAA, 0x2A}, out));  // A-law
    EXPECT_EQ(Sample16(out.bytes, 0), 8);
    EXPECT_EQ(Sample16(out.bytes, 1), -8);
    EXPECT_EQ(Sample16(out.bytes, 2), 32256);
    EXPECT_EQ(Sample16(out.bytes, 3), -32256);
}

TEST(SoundWavConversion, LongFloatRunsMatchTheSampleRuleAtEveryLevel) {
    // Long enough for the widest lanes, with a tail; odd channel data at the
    // end (half a stereo frame) is dropped.
    const float nan = std::nanf(""), inf = HUGE_VALF;
    std::vector<float> values;
    for (int i = 0; i < 203; ++i) values.push_back(static_cast<float>((i * 7919) % 4001 - 2000) / 1500.0f + 0.5f / 32768.0f * (i % 5));
    values[3] = nan, values[40] = inf, values[77] = -inf, values[100] = 1.5f / 32768.0f, values[101] = -2.5f / 32768.0f;
    Bytes raw;
    for (float v : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put32(raw, bits);
    }
    for (auto level : {plat::kernels::KernelLevel::kPortable, plat::kernels::KernelLevel::kSse2, plat::kernels::KernelLevel::kAvx2,
                       plat::kernels::KernelLevel::kAvx512}) {
        if (!plat::kernels::UseKernelLevel(level)) continue;
        PlayableSound out;
        ASSERT_TRUE(Playable(FormatRecord(FormatFields(3, 2, 44100, 32)), raw, out));
        ASSERT_EQ(out.bytes.size(), 2 * 202u);
        for (std::size_t i = 0; i < 202; ++i) {
            const float scaled = values[i] * 32768.0f;
            const int expected = scaled != scaled ? 0 : static_cast<int>(std::lrint(std::clamp(scaled, -32768.0f, 32767.0f)));
            ASSERT_EQ(Sample16(out.bytes, i), expected) << "sample " << i << " at level " << static_cast<int>(level);
        }
    }
    plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel());
}

TEST(SoundWavConversion, ReadsExtensiblePcmAndFloat) {
    PlayableSound out;
    // 24-bit stereo PCM inside the extensible record.
    Bytes samples = {0x56, 0x34, 0x12, 0x00, 0x00, 0x80};
    ASSERT_TRUE(Playable(FormatRecord(FormatFields(0xFFFE, 2, 48000, 24), ExtensibleExtra(24, 3, 1)), samples, out));
    EXPECT_EQ(out.format.channels, 2);
    EXPECT_EQ(out.format.bits, 16);
    EXPECT_EQ(out.format.rate, 48000);
    EXPECT_EQ(Sample16(out.bytes, 0), 0x1234);
    EXPECT_EQ(Sample16(out.bytes, 1), -32768);
    // 16-bit PCM inside it plays as it is, converted all the same.
    ASSERT_TRUE(Playable(FormatRecord(FormatFields(0xFFFE, 1, 8000, 16), ExtensibleExtra(16, 4, 1)), {0x34, 0x12}, out));
    EXPECT_EQ(Sample16(out.bytes, 0), 0x1234);
    // A wrong GUID, a sub-format that is neither PCM nor float, a short extra.
    EXPECT_FALSE(Playable(FormatRecord(FormatFields(0xFFFE, 1, 8000, 16), ExtensibleExtra(16, 4, 1, false)), {0, 0}, out));
    EXPECT_FALSE(Playable(FormatRecord(FormatFields(0xFFFE, 1, 8000, 16), ExtensibleExtra(16, 4, 2)), {0, 0}, out));
    EXPECT_FALSE(Playable(FormatRecord(FormatFields(0xFFFE, 1, 8000, 16), Bytes(10, 0)), {0, 0}, out));
}

TEST(SoundWavConversion, MixesSurroundDownToStereo) {
    // 5.1 float: FL FR FC LFE BL BR.
    const Bytes record = FormatRecord(FormatFields(0xFFFE, 6, 48000, 32), ExtensibleExtra(32, 0x3F, 3));
    PlayableSound out;
    ASSERT_TRUE(Playable(record,
                         FloatSamples({0.5f, 0, 0, 0, 0, 0,     // front left only
                                       0, 0, 0.5f, 0, 0, 0,     // centre only
                                       0, 0, 0, 1.0f, 0, 0,     // low frequencies only
                                       1, 1, 1, 1, 1, 1}),      // everything at full level
                         out));
    ASSERT_EQ(out.format.channels, 2);
    ASSERT_EQ(out.bytes.size(), 4u * 4u);
    EXPECT_GT(Sample16(out.bytes, 0), 0);
    EXPECT_EQ(Sample16(out.bytes, 1), 0);
    EXPECT_EQ(Sample16(out.bytes, 2), Sample16(out.bytes, 3));
    EXPECT_GT(Sample16(out.bytes, 2), 0);
    EXPECT_EQ(Sample16(out.bytes, 4), 0);
    EXPECT_EQ(Sample16(out.bytes, 5), 0);
    // Full level on every speaker does not clip past full scale.
    EXPECT_GE(Sample16(out.bytes, 6), 32000);
    EXPECT_LE(Sample16(out.bytes, 6), 32767);
}

TEST(SoundWavConversion, UpperCasesOnlyWholeCharacters) {
    EXPECT_EQ(krSound::internal::UpperCase("boom.wav"), "BOOM.WAV");
    // "ソ" is 0x83 0x5C and "ア" 0x83 0x41; a trail byte that looks like 'a'
    // (0x83 0x61, "ャ") stays.
    EXPECT_EQ(krSound::internal::UpperCase("\x83\x61x"), "\x83\x61X");
}

// ---- the pack layout ----

class SoundPackFile : public testing::Test {
protected:
    std::string path = (std::filesystem::temp_directory_path() / ("krpack" + std::to_string(getpid()))).string();
    void TearDown() override { std::remove(path.c_str()); }

    bool Find(const Bytes& pack, const std::string& name, krSound::internal::PackEntry& entry, WaveData* wave = nullptr) {
        EXPECT_TRUE(WriteFile(path, pack));
        std::FILE* f = std::fopen(path.c_str(), "rb");
        bool found = krSound::internal::FindPackEntry(f, name, entry);
        if (found && wave) found = krSound::internal::ReadPackEntry(f, entry, *wave);
        std::fclose(f);
        return found;
    }
};

TEST_F(SoundPackFile, FindsEntriesPastPcmAndOtherFormats) {
    const Bytes pcm = FormatRecord(FormatFields(1, 1, 8000, 8));
    const Bytes adpcm = FormatRecord(FormatFields(2, 1, 8000, 4, 256), Bytes(32, 7));
    Bytes pack = PackEntryBytes("A.WAV", adpcm, Bytes(301, 1));
    const Bytes b = PackEntryBytes("B.WAV", pcm, {5, 6, 7});
    pack.insert(pack.end(), b.begin(), b.end());
    const Bytes c = PackEntryBytes("C.WAV", adpcm, {8});
    pack.insert(pack.end(), c.begin(), c.end());
    krSound::internal::PackEntry entry;
    WaveData wave;
    ASSERT_TRUE(Find(pack, "B.WAV", entry, &wave));
    EXPECT_EQ(wave.format, pcm);
    EXPECT_EQ(wave.samples, (Bytes{5, 6, 7}));
    ASSERT_TRUE(Find(pack, "C.WAV", entry, &wave));
    EXPECT_EQ(wave.format, adpcm);
    EXPECT_FALSE(Find(pack, "b.wav", entry));  // the caller upper-cases
    EXPECT_FALSE(Find(pack, "D.WAV", entry));
}

TEST_F(SoundPackFile, StopsAtEveryLie) {
    const Bytes pcm = FormatRecord(FormatFields(1, 1, 8000, 8));
    const Bytes good = PackEntryBytes("A.WAV", pcm, {1, 2, 3, 4});
    krSound::internal::PackEntry entry;
    WaveData wave;
    // Every cut of a two-entry pack: the second entry is never read whole.
    Bytes two = good;
    const Bytes second = PackEntryBytes("B.WAV", pcm, {9, 9});
    two.insert(two.end(), second.begin(), second.end());
    for (std::size_t cut = good.size(); cut < two.size(); ++cut)
        EXPECT_FALSE(Find(Bytes(two.begin(), two.begin() + static_cast<std::ptrdiff_t>(cut)), "B.WAV", entry, &wave)) << cut;
    // A data size past the end: found, but not readable, nothing allocated.
    Bytes lyingData = good;
    lyingData[0] = 0xFF, lyingData[1] = 0xFF, lyingData[2] = 0xFF, lyingData[3] = 0xFF;
    EXPECT_FALSE(Find(lyingData, "A.WAV", entry, &wave));
    EXPECT_TRUE(wave.samples.empty());
    // ... and the search does not go on past it.
    lyingData.insert(lyingData.end(), second.begin(), second.end());
    EXPECT_FALSE(Find(lyingData, "B.WAV", entry));
    // A format size past the end, and one shorter than a format.
    Bytes lyingFormat = good;
    lyingFormat[4 + 6] = 0xFF, lyingFormat[4 + 6 + 3] = 0x7F;
    EXPECT_FALSE(Find(lyingFormat, "A.WAV", entry, &wave));
    const Bytes tiny = PackEntryBytes("A.WAV", Bytes(8, 1), {1});
    EXPECT_FALSE(Find(tiny, "A.WAV", entry, &wave));
    // A name of 300 bytes without its NUL stops the search at the name buffer.
    Bytes longName = {1, 0, 0, 0};
    longName.insert(longName.end(), 300, 'N');
    EXPECT_FALSE(Find(longName, std::string(255, 'N'), entry));
    // A name of exactly 255 bytes is still a name.
    EXPECT_TRUE(Find(PackEntryBytes(std::string(255, 'N'), pcm, {1}), std::string(255, 'N'), entry, &wave));
}
