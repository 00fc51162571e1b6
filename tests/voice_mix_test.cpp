// The mixer's wide runs against the frame-by-frame reference, bit for bit,
// at every instruction-set level the processor has: random voices of every
// layout, rate, length, start position and loop mode, mixed into a random
// accumulator; and the output conversion on values at and past full scale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "platform/audio/voice_mix.h"
#include "platform/pixels/blit_kernels.h"

namespace {

namespace mix = plat::audio::internal;
using plat::kernels::KernelLevel;

class VoiceMixLevels : public testing::TestWithParam<KernelLevel> {
protected:
    void SetUp() override {
        if (!plat::kernels::UseKernelLevel(GetParam())) GTEST_SKIP() << "the processor lacks this level";
    }
    void TearDown() override { plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel()); }
};

struct RandomVoice {
    std::vector<std::uint8_t> bytes;
    mix::VoiceCursor cursor;
};

RandomVoice MakeVoice(std::mt19937& rng) {
    RandomVoice v;
    mix::VoiceCursor& c = v.cursor;
    c.bits = rng() % 3 == 0 ? 8 : 16;
    c.channels = rng() % 2 ? 2 : 1;
    c.frames = 1 + rng() % (rng() % 4 == 0 ? 8 : 3000);
    c.loop = rng() % 2;
    v.bytes.resize(std::size_t{c.frames} * c.channels * c.bits / 8);
    for (auto& b : v.bytes) b = static_cast<std::uint8_t>(rng());
    c.data = v.bytes.data();
    // Rates from a hundredth to past twelve times the output's, and the
    // common near-halving ones.
    const double ratio = rng() % 3 == 0 ? 0.5 + (rng() % 200) / 10000.0 : std::exp((rng() % 1000) / 1000.0 * 7.8 - 4.6);
    c.step = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(ratio * 4294967296.0) | (rng() & 0xFF));
    c.position = (std::uint64_t{rng() % (c.frames + 1)} << 32) | rng();
    if (c.position > std::uint64_t{c.frames} << 32) c.position = std::uint64_t{c.frames} << 32;
    c.gainLeft = static_cast<float>(rng() % 1001) / 1000.0f;
    c.gainRight = static_cast<float>(rng() % 1001) / 1000.0f;
    return v;
}

TEST_P(VoiceMixLevels, WideRunsMatchTheReferenceBitForBit) {
    std::mt19937 rng(1234);
    for (int trial = 0; trial < 600; ++trial) {
        RandomVoice voice = MakeVoice(rng);
        const int count = 1 + static_cast<int>(rng() % 1100);
        std::vector<float> accumulator(2 * count);
        for (float& f : accumulator) f = static_cast<float>(static_cast<int>(rng() % 20001) - 10000) / 7919.0f;
        std::vector<float> fast = accumulator, reference = accumulator;
        mix::VoiceCursor fastCursor = voice.cursor, referenceCursor = voice.cursor;
        const int fastDone = mix::MixVoice(fastCursor, fast.data(), count);
        const int referenceDone = mix::ReferenceMixVoice(referenceCursor, reference.data(), count);
        SCOPED_TRACE(testing::Message() << "trial " << trial << ": " << voice.cursor.bits << "-bit x"
                                        << voice.cursor.channels << ", " << voice.cursor.frames << " frames, step "
                                        << voice.cursor.step << ", loop " << voice.cursor.loop << ", count " << count);
        ASSERT_EQ(fastDone, referenceDone);
        ASSERT_EQ(fastCursor.position, referenceCursor.position);
        ASSERT_EQ(0, std::memcmp(fast.data(), reference.data(), fast.size() * sizeof(float)));
    }
}

TEST_P(VoiceMixLevels, WideRunsTouchNoFrameOutsideTheCount) {
    // A long 16-bit voice at half rate fills whole vector steps; the frames
    // after `count` must stay as they were.
    std::vector<std::int16_t> samples(2 * 4000);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 37);
    for (int count : {1, 3, 4, 5, 7, 8, 9, 15, 17, 1023}) {
        mix::VoiceCursor c;
        c.data = reinterpret_cast<const std::uint8_t*>(samples.data());
        c.frames = 4000;
        c.step = 0x80000000u;
        std::vector<float> accumulator(2 * count + 32, 5.0f);
        mix::MixVoice(c, accumulator.data(), count);
        for (std::size_t i = 2 * count; i < accumulator.size(); ++i) ASSERT_EQ(accumulator[i], 5.0f) << count;
    }
}

TEST_P(VoiceMixLevels, OutputConversionMatchesTheReference) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    std::vector<float> values = {0.0f, -0.0f, 1.0f, -1.0f, 2.0f, -2.0f, nan, inf, -inf, 0.5f / 32768, 1.5f / 32768,
                                 -0.5f / 32768, -2.5f / 32768, 32767.5f / 32768, -32768.5f / 32768, 0.99999f};
    std::mt19937 rng(99);
    while (values.size() < 2 * 1031) values.push_back(static_cast<float>(static_cast<int>(rng() % 80001) - 40000) / 32768.0f);
    for (int channels : {1, 2}) {
        for (int bits : {8, 16}) {
            for (int count : {1, 3, 4, 7, 8, 9, 16, 1031}) {
                const std::size_t bytes = static_cast<std::size_t>(count) * channels * bits / 8;
                std::vector<std::uint8_t> fast(bytes + 8, 0xAB), reference(bytes + 8, 0xAB);
                mix::WriteOutput(values.data(), count, channels, bits, fast.data());
                mix::ReferenceWriteOutput(values.data(), count, channels, bits, reference.data());
                ASSERT_EQ(fast, reference) << channels << " channels, " << bits << " bits, " << count << " frames";
            }
        }
    }
}

TEST(VoiceMixReference, OutputRoundsToNearestEvenAndSaturates) {
    const float values[] = {0.5f / 32768, 1.5f / 32768, -1.0f, 1.0f, std::numeric_limits<float>::quiet_NaN(), -3.0f};
    std::int16_t out[6];
    mix::ReferenceWriteOutput(values, 3, 2, 16, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[2], -32768);
    EXPECT_EQ(out[3], 32767);
    EXPECT_EQ(out[4], 0);
    EXPECT_EQ(out[5], -32768);
}

INSTANTIATE_TEST_SUITE_P(EveryLevel, VoiceMixLevels,
                         testing::Values(KernelLevel::kPortable, KernelLevel::kSse2, KernelLevel::kAvx2,
                                         KernelLevel::kAvx512),
                         [](const testing::TestParamInfo<KernelLevel>& info) {
                             switch (info.param) {
                                 case KernelLevel::kAvx512: return "avx512";
                                 case KernelLevel::kAvx2: return "avx2";
                                 case KernelLevel::kSse2: return "sse2";
                                 default: return "portable";
                             }
                         });

}  // namespace
