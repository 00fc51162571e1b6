// Blend kernels: every vector rule of every instruction set against the
// per-pixel reference on random pictures, at every row width around the
// vector sizes and at odd offsets, for 5-5-5, 5-6-5, 8-8-8 and X8-8-8-8
// pixels; alpha over every pair of component values at every weight of
// 2^-10 steps and at chosen and random other weights, against the float
// formula; and the component helpers on chosen values.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/pixels/blend_kernels.h"
#include "platform/pixels/blit_kernels.h"

namespace {

namespace blend = plat::blend;
using plat::kernels::KernelLevel;

blend::Components Layout(int bits) {
    switch (bits) {
        case 15: return blend::ComponentsOf(2, 0x7C00, 0x03E0, 0x001F);
        case 24: return blend::ComponentsOf(3, 0xFF0000, 0xFF00, 0xFF);
        case 32: return blend::ComponentsOf(4, 0xFF0000, 0xFF00, 0xFF);
        case 17: return blend::ComponentsOf(2, 0x001F, 0x07E0, 0xF800);  // 5-6-5 with blue on top
        case 33: return blend::ComponentsOf(4, 0xFF, 0xFF00, 0xFF0000);  // 8-8-8 with red at the bottom
        default: return blend::ComponentsOf(2, 0xF800, 0x07E0, 0x001F);
    }
}

TEST(BlendComponents, FieldsAndFiveBitValues) {
    const blend::Components c565 = Layout(16), c888 = Layout(32);
    EXPECT_EQ(c565.shift[1], 5);
    EXPECT_EQ(c565.bits[1], 6);
    EXPECT_EQ(blend::ColourMask(c565), 0xFFFFu);
    EXPECT_EQ(blend::ColourMask(c888), 0xFFFFFFu);
    // Green 0x3F reads as 31 and 31 goes back with the low bit clear, as the tables place it.
    EXPECT_EQ(blend::Five(c565, 0x07E0, 1), 31u);
    EXPECT_EQ(blend::PlaceFive(c565, 1, 31), 0x07C0u);
    // Eight bits: the top five, and back repeated into the low three.
    EXPECT_EQ(blend::Five(c888, 0x00F8FF07, 0), 31u);
    EXPECT_EQ(blend::Five(c888, 0x00F8FF07, 2), 0u);
    EXPECT_EQ(blend::PlaceFive(c888, 0, 31), 0xFF0000u);
    EXPECT_EQ(blend::PlaceFive(c888, 2, 16), 0x84u);
    EXPECT_EQ(blend::Five(c888, blend::PlaceFive(c888, 1, 9), 1), 9u);
}

TEST(BlendComponents, ReferenceRulesOnChosenPixels) {
    const blend::Components c = Layout(16);
    blend::Params p;
    p.rule = blend::Rule::kFadeAdd;  // level 0: the additive blend
    EXPECT_EQ(blend::ReferencePixel(0xF800 | 0x0400, 0x5000 | 0x0400, c, p), 0xF800u | 0x07C0u);
    p.rule = blend::Rule::kSubtractRed;  // the source's red from every component of the destination
    EXPECT_EQ(blend::ReferencePixel(0x2000 | 0x07FF, 0xFFFF, c, p), 0xD800u | 0x06C0u | 0x001Bu);
    p.rule = blend::Rule::kBrighten;  // saturates instead of carrying into the neighbour
    p.factor[0] = p.factor[1] = p.factor[2] = 4.0f;
    EXPECT_EQ(blend::ReferencePixel(0x4208, 0, c, p), 0xFFFFu);
    p.factor[0] = p.factor[1] = p.factor[2] = -2.0f;
    EXPECT_EQ(blend::ReferencePixel(0x4208, 0, c, p), 0u);
    p.rule = blend::Rule::kAlpha;  // weights outside 0..1 (NaN too) are brought inside
    p.opacity[0] = p.opacity[1] = p.opacity[2] = 7.0f;
    p.transparency[0] = p.transparency[1] = p.transparency[2] = std::nanf("");
    EXPECT_EQ(blend::ReferencePixel(0x1234, 0xFFFF, c, p), 0x1234u);
    p.rule = blend::Rule::kGray;
    EXPECT_EQ(blend::ReferencePixel(0xF800 | 0x0020 | 0x0007, 0, c, p), (12u << 11) | (12u << 6) | 12u);
}

TEST(BlendComponents, LevelRulesUseAllEightBitsOfEightBitFields) {
    for (int bits : {24, 32}) {
        const blend::Components c = Layout(bits);
        EXPECT_EQ(blend::WorkBits(c), 8);
        EXPECT_EQ(blend::WorkLevel(c, 31), 255u);
        EXPECT_EQ(blend::WorkLevel(c, 16), 132u);
        blend::Params p;
        p.rule = blend::Rule::kFadeAdd;  // an add of (1, 1, 1) over a mid grey brightens it
        EXPECT_EQ(blend::ReferencePixel(0x010101, 0x676767, c, p), 0x686868u);
        p.level[0] = p.level[1] = p.level[2] = 31;  // the weakest add keeps the destination
        EXPECT_EQ(blend::ReferencePixel(0xFFFFFF, 0x676767, c, p), 0x676767u);
        p.rule = blend::Rule::kSubtractRed;
        EXPECT_EQ(blend::ReferencePixel(0x0100FF, 0x676767, c, p), 0x666666u);
        p.rule = blend::Rule::kDarken;
        p.level[0] = 0, p.level[1] = 1, p.level[2] = 30;  // subtracts 0, 8 and 247
        EXPECT_EQ(blend::ReferencePixel(0x80FFFF, 0, c, p), 0x80F708u);
        p.rule = blend::Rule::kCrossFade;
        p.level[0] = 15, p.level[1] = 0, p.level[2] = 31;  // red: max(0, s - 123) + max(0, d - 132)
        EXPECT_EQ(blend::ReferencePixel(0xC8AB01, 0x9012FE, c, p), 0x59ABFEu);
        p.rule = blend::Rule::kGray;
        EXPECT_EQ(blend::ReferencePixel(0xFF0102, 0, c, p), 0x565656u);
    }
    EXPECT_EQ(blend::WorkBits(Layout(16)), 5);
    EXPECT_EQ(blend::WorkLevel(Layout(15), 31), 31u);
}

struct KernelCase {
    int bits;
    KernelLevel level;
};

class BlendKernels : public ::testing::TestWithParam<KernelCase> {
protected:
    void SetUp() override {
        if (!plat::kernels::UseKernelLevel(GetParam().level)) GTEST_SKIP() << "the processor lacks this level";
    }
    void TearDown() override { plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel()); }
};

// Random pixels of the layout, about a quarter of them transparent.
std::vector<std::uint8_t> RandomPixels(std::mt19937& rng, std::size_t pixels, const blend::Components& c) {
    std::vector<std::uint8_t> out(pixels * c.bytesPerPixel);
    const std::uint32_t mask = blend::ColourMask(c);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint32_t v = rng() % 4 == 0 ? 0 : rng() & mask;
        blend::StorePixel(&out[i * c.bytesPerPixel], c.bytesPerPixel, v);
    }
    return out;
}

std::vector<blend::Params> AllRules(std::mt19937& rng) {
    std::vector<blend::Params> all;
    for (int rule = 0; rule <= static_cast<int>(blend::Rule::kGray); ++rule) {
        // Variants: random complementary weights, random others, chosen
        // levels and factors, and the end weights (all 0, all 1, mixed).
        for (int variant = 0; variant < 6; ++variant) {
            blend::Params p;
            p.rule = static_cast<blend::Rule>(rule);
            for (int i = 0; i < 3; ++i) {
                p.opacity[i] = static_cast<float>(rng() % 1001) / 1000.0f;
                if (variant >= 3) p.opacity[i] = variant == 3 ? 0.0f : variant == 4 ? 1.0f : 0.5f * i;
                p.transparency[i] =
                    variant == 1 ? static_cast<float>(rng() % 1001) / 1000.0f : 1.0f - p.opacity[i];
                p.level[i] = variant == 2 ? (i == 0 ? 0 : 31) : static_cast<int>(rng() % 32);
                p.factor[i] = variant == 2 ? 3.5f : static_cast<float>(rng() % 1500) / 1000.0f;
            }
            p.keepMask = rng();
            all.push_back(p);
            if (p.rule == blend::Rule::kCrossFade || p.rule == blend::Rule::kAlpha) {
                // Levels falling from column to column, some to 0.
                static std::uint8_t falls[256];
                for (int x = 0; x < 256; ++x) falls[x] = static_cast<std::uint8_t>(x < 20 ? 0 : (x * 7 / 13) % 40);
                p.columnFalls = falls;
                all.push_back(p);
            }
        }
    }
    return all;
}

TEST_P(BlendKernels, EveryRuleMatchesTheReference) {
    const blend::Components c = Layout(GetParam().bits);
    const int bpp = c.bytesPerPixel;
    std::mt19937 rng(77 + GetParam().bits);
    constexpr int kPitchPixels = 160, kRows = 4;
    const std::ptrdiff_t pitch = kPitchPixels * bpp;
    const std::vector<std::uint8_t> src = RandomPixels(rng, kPitchPixels * kRows, c);
    const std::vector<std::uint8_t> background = RandomPixels(rng, kPitchPixels * kRows, c);
    for (const blend::Params& p : AllRules(rng)) {
        for (int width : {1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 129}) {
            for (int offset : {0, 1, 3}) {
                std::vector<std::uint8_t> fast = background, slow = background;
                blend::Rows a{fast.data() + offset * bpp, pitch, src.data() + (offset + 5) * bpp, pitch, width, kRows};
                blend::Rows r = a;
                r.dst = slow.data() + offset * bpp;
                blend::Blend(a, c, p);
                blend::ReferenceBlend(r, c, p);
                ASSERT_EQ(fast, slow) << "rule " << static_cast<int>(p.rule) << " width " << width << " offset "
                                      << offset;
            }
        }
    }
}

TEST_P(BlendKernels, TransparentSourceAndEmptyRowsLeaveTheDestination) {
    const blend::Components c = Layout(GetParam().bits);
    const int bpp = c.bytesPerPixel;
    std::mt19937 rng(5);
    std::vector<std::uint8_t> src(100 * bpp, 0);
    const std::vector<std::uint8_t> background = RandomPixels(rng, 100, c);
    std::vector<std::uint8_t> dst = background;
    for (const blend::Params& p : AllRules(rng)) {
        blend::Blend(blend::Rows{dst.data(), 0, src.data(), 0, 100, 1}, c, p);
        blend::Blend(blend::Rows{dst.data(), 0, src.data() + bpp, 0, 0, 5}, c, p);
        blend::Blend(blend::Rows{dst.data(), 0, src.data() + bpp, 0, 5, -1}, c, p);
    }
    EXPECT_EQ(dst, background);
}

TEST_P(BlendKernels, RefractionMatchesTheReference) {
    const blend::Components c = Layout(GetParam().bits);
    const int bpp = c.bytesPerPixel;
    std::mt19937 rng(91 + GetParam().bits);
    constexpr int kPitchPixels = 140, kRows = 45;
    const std::ptrdiff_t pitch = kPitchPixels * bpp;
    const std::vector<std::uint8_t> src = RandomPixels(rng, kPitchPixels * kRows, c);
    const std::vector<std::uint8_t> background = RandomPixels(rng, kPitchPixels * kRows, c);
    for (int level : {0, 6, 20, 31, -4, 99}) {
        for (int width : {1, 15, 16, 17, 33, 64, 65, 129}) {
            for (int rows : {1, 2, 3, 31, 45}) {
                std::vector<std::uint8_t> fast = background, slow = background;
                blend::Rows a{fast.data() + bpp, pitch, src.data() + 3 * bpp, pitch, width, rows};
                blend::Rows r = a;
                r.dst = slow.data() + bpp;
                blend::Refract(a, c, level);
                blend::ReferenceRefract(r, c, level);
                ASSERT_EQ(fast, slow) << "level " << level << " width " << width << " rows " << rows;
            }
        }
    }
}

TEST_P(BlendKernels, EdgeSmoothingMatchesTheReference) {
    const blend::Components c = Layout(GetParam().bits);
    const int bpp = c.bytesPerPixel;
    std::mt19937 rng(93 + GetParam().bits);
    constexpr int kPitchPixels = 140, kRows = 9;
    const std::ptrdiff_t pitch = kPitchPixels * bpp;
    const std::vector<std::uint8_t> src = RandomPixels(rng, kPitchPixels * kRows, c);
    const std::vector<std::uint8_t> background = RandomPixels(rng, kPitchPixels * kRows, c);
    for (int width : {1, 2, 15, 16, 17, 33, 64, 65, 129}) {
        for (int rows : {1, 2, 3, 7}) {
            std::vector<std::uint8_t> fast = background, slow = background;
            blend::Rows a{fast.data() + pitch + bpp, pitch, src.data() + pitch + 3 * bpp, pitch, width, rows};
            blend::Rows r = a;
            r.dst = slow.data() + pitch + bpp;
            blend::SmoothEdges(a, c);
            blend::ReferenceSmoothEdges(r, c);
            ASSERT_EQ(fast, slow) << "width " << width << " rows " << rows;
        }
    }
}

// Every pair of component values (s, d) of the layout, each field taking
// every value against every other: for 2-byte layouts one pixel per pair
// of the widest field's values; the source is never 0.
struct Pairs {
    std::vector<std::uint8_t> src, dst;
    int count = 0;
};

Pairs AllPairs(const blend::Components& c) {
    const int wide = std::max({c.bits[0], c.bits[1], c.bits[2]});
    Pairs p;
    p.count = 1 << (2 * wide);
    p.src.resize(static_cast<std::size_t>(p.count) * c.bytesPerPixel);
    p.dst.resize(p.src.size());
    for (int j = 0; j < p.count; ++j) {
        const std::uint32_t s = static_cast<std::uint32_t>(j >> wide), d = static_cast<std::uint32_t>(j) & ((1u << wide) - 1);
        std::uint32_t sp = 0, dp = 0;
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t max = blend::FieldMax(c, i);
            // The first field runs downwards so that no source pixel is 0.
            const std::uint32_t sv = i == 0 ? max - (s & max) : s & max;
            sp |= sv << c.shift[i];
            dp |= (d & max) << c.shift[i];
        }
        if (sp == 0) sp = 1u << c.shift[2];
        blend::StorePixel(&p.src[static_cast<std::size_t>(j) * c.bytesPerPixel], c.bytesPerPixel, sp);
        blend::StorePixel(&p.dst[static_cast<std::size_t>(j) * c.bytesPerPixel], c.bytesPerPixel, dp);
    }
    return p;
}

// truncate(s * o + d * t) in floats, as written.
std::uint32_t FloatAlpha(std::uint32_t s, std::uint32_t d, float o, float t) {
    const float source = static_cast<float>(s) * o;
    const float destination = static_cast<float>(d) * t;
    const float sum = source + destination;
    return static_cast<std::uint32_t>(sum);
}

// Blends every pair with weights (o, t) on every component, in `rows`
// rows (so that the area is large enough for every path), and checks each
// component against the float formula.
void ExpectAlphaOnEveryPair(const blend::Components& c, const Pairs& pairs, float o, float t, int rows = 1) {
    blend::Params p;
    p.rule = blend::Rule::kAlpha;
    for (int i = 0; i < 3; ++i) p.opacity[i] = o, p.transparency[i] = t;
    std::vector<std::uint8_t> out;
    for (int r = 0; r < rows; ++r) out.insert(out.end(), pairs.dst.begin(), pairs.dst.end());
    const std::ptrdiff_t pitch = static_cast<std::ptrdiff_t>(pairs.dst.size());
    blend::Blend(blend::Rows{out.data(), pitch, pairs.src.data(), 0, pairs.count, rows}, c, p);
    for (std::size_t j = 0; j < out.size() / c.bytesPerPixel; ++j) {
        const std::size_t at = j * c.bytesPerPixel, pair = at % pairs.dst.size();
        const std::uint32_t s = blend::LoadPixel(&pairs.src[pair], c.bytesPerPixel);
        const std::uint32_t d = blend::LoadPixel(&pairs.dst[pair], c.bytesPerPixel);
        const std::uint32_t r = blend::LoadPixel(&out[at], c.bytesPerPixel);
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t want = FloatAlpha(blend::Field(c, s, i), blend::Field(c, d, i), o, t);
            ASSERT_EQ(blend::Field(c, r, i), want) << "opacity " << o << " transparency " << t << " component " << i
                                                    << " s " << blend::Field(c, s, i) << " d " << blend::Field(c, d, i);
        }
    }
}

TEST_P(BlendKernels, AlphaOfEveryPairAtEveryWholeWeightIsTheFloatFormula) {
    const blend::Components c = Layout(GetParam().bits);
    if (c.bytesPerPixel != 2) GTEST_SKIP() << "the whole-number path serves 2-byte pixels";
    const Pairs pairs = AllPairs(c);
    for (int n = 0; n <= 1024; ++n) {
        const float o = static_cast<float>(n) / 1024.0f;
        ExpectAlphaOnEveryPair(c, pairs, o, 1.0f - o);
        // A gradient's fallen transparency: the weights no longer add up to 1.
        if (n % 8 == 0) ExpectAlphaOnEveryPair(c, pairs, o, std::max(0.0f, (1.0f - o) - 5.0f / 32.0f));
    }
}

TEST_P(BlendKernels, AlphaOfEveryPairAtOtherWeightsIsTheFloatFormula) {
    const blend::Components c = Layout(GetParam().bits);
    const Pairs pairs = AllPairs(c);
    std::vector<float> weights = {0.3f, 0.2f, 0.1f, 0.7f, 0.9f, 0.35f, 1.0f / 3.0f, 0.999999f, 1e-7f, 1e-30f,
                                  std::nextafter(0.5f, 1.0f), std::nextafter(1.0f, 0.0f), 0.00048828125f /* 2^-11 */};
    std::mt19937 rng(55);
    const int random = c.bytesPerPixel == 2 ? 200 : 12;
    for (int i = 0; i < random; ++i) weights.push_back(std::uniform_real_distribution<float>(0.0f, 1.0f)(rng));
    // Enough rows for the 2-byte kernels to look for integer weights that give the same values.
    const int rows = c.bytesPerPixel == 2 ? (1 << 15) / pairs.count : 1;
    for (float o : weights) ExpectAlphaOnEveryPair(c, pairs, o, 1.0f - o, rows);
}

// Hundredths and a gradient's fallen transparencies (the weights no longer
// add up to 1), on an area large enough for the tables to be worked out,
// and again on one row, which finds them remembered.
TEST_P(BlendKernels, AlphaOfEveryPairAtHundredthsAndFallenWeightsIsTheFloatFormula) {
    const blend::Components c = Layout(GetParam().bits);
    const Pairs pairs = AllPairs(c);
    const int rows = std::max(1, (1 << 12) / pairs.count);
    const int stride = c.bytesPerPixel == 2 ? 1 : 7;
    for (int n = 1; n < 100; n += stride) {
        const float o = static_cast<float>(n) / 100.0f;
        ExpectAlphaOnEveryPair(c, pairs, o, 1.0f - o, rows);
        ExpectAlphaOnEveryPair(c, pairs, o, 1.0f - o, 1);
    }
    for (float o : {0.2f, 0.5f, 0.8f, 0.3f})
        for (int falls = 0; falls <= 32; falls += stride)
            ExpectAlphaOnEveryPair(c, pairs, o, std::max(0.0f, (1.0f - o) - static_cast<float>(falls) / 32.0f), rows);
}

std::string CaseName(const ::testing::TestParamInfo<KernelCase>& info) {
    static const char* names[] = {"portable", "sse2", "avx2", "avx512"};
    return std::to_string(info.param.bits) + "bit_" + names[static_cast<int>(info.param.level) + 1];
}

INSTANTIATE_TEST_SUITE_P(BlendLayouts, BlendKernels,
                         ::testing::Values(KernelCase{15, KernelLevel::kSse2}, KernelCase{16, KernelLevel::kSse2},
                                           KernelCase{16, KernelLevel::kAvx2}, KernelCase{16, KernelLevel::kAvx512},
                                           KernelCase{15, KernelLevel::kAvx512}, KernelCase{24, KernelLevel::kSse2},
                                           KernelCase{32, KernelLevel::kSse2}, KernelCase{32, KernelLevel::kAvx2},
                                           KernelCase{32, KernelLevel::kAvx512}, KernelCase{17, KernelLevel::kAvx2},
                                           KernelCase{33, KernelLevel::kAvx2}, KernelCase{24, KernelLevel::kAvx2},
                                           KernelCase{24, KernelLevel::kAvx512}, KernelCase{15, KernelLevel::kAvx2},
                                           KernelCase{17, KernelLevel::kAvx512}, KernelCase{15, KernelLevel::kPortable},
                                           KernelCase{16, KernelLevel::kPortable}, KernelCase{17, KernelLevel::kPortable},
                                           KernelCase{24, KernelLevel::kPortable}, KernelCase{32, KernelLevel::kPortable},
                                           KernelCase{33, KernelLevel::kPortable}),
                         CaseName);

// The tables serve nearly every weight: all hundredths and random weights
// on 5-bit fields, and all but a few on 6-bit ones, so that the float
// kernel is the exception.
TEST(BlendAlphaTables, FoundForNearlyEveryWeight) {
    std::vector<float> weights;
    for (int n = 0; n <= 100; ++n) weights.push_back(static_cast<float>(n) / 100.0f);
    std::mt19937 rng(91);
    for (int i = 0; i < 300; ++i) weights.push_back(std::uniform_real_distribution<float>(0.0f, 1.0f)(rng));
    int missing[2] = {0, 0};
    for (float o : weights)
        for (int bits : {5, 6}) missing[bits - 5] += !blend::AlphaTablesFound(o, 1.0f - o, bits);
    EXPECT_EQ(missing[0], 0);
    EXPECT_LE(missing[1], 4);
    EXPECT_FALSE(blend::AlphaTablesFound(0.3f, 0.7f, 8));
}

}  // namespace

// ---- the level rules on 3-byte pixels as a byte stream, and grey on 4-byte pixels ----
// Every level rule against the reference with every placement of the red,
// green and blue bytes, at every row width from 1 to 70 and around the
// 64-pixel blocks, with the rows starting at every byte offset from the
// buffers' start, on pictures whose pixels are transparent, have a single
// non-zero byte in any of their three places, or are random; and the
// cross-fade with levels falling across the row.
namespace {

struct StreamCase {
    std::uint32_t masks[3];  // red, green, blue
    int bytesPerPixel;
    KernelLevel level;
};

class BlendStream : public ::testing::TestWithParam<StreamCase> {
protected:
    void SetUp() override {
        if (!plat::kernels::UseKernelLevel(GetParam().level)) GTEST_SKIP() << "the processor lacks this level";
    }
    void TearDown() override { plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel()); }
    blend::Components Layout() const {
        const StreamCase& p = GetParam();
        return blend::ComponentsOf(p.bytesPerPixel, p.masks[0], p.masks[1], p.masks[2]);
    }
};

// A third transparent, a third with one non-zero byte (a pixel is opaque
// through any of them), a third random, the bytes outside the colour random.
std::vector<std::uint8_t> MixedPixels(std::mt19937& rng, std::size_t pixels, const blend::Components& c) {
    std::vector<std::uint8_t> out(pixels * c.bytesPerPixel);
    const std::uint32_t colour = blend::ColourMask(c);
    for (std::size_t i = 0; i < pixels; ++i) {
        std::uint32_t v = rng();
        switch (rng() % 3) {
            case 0: v &= ~colour; break;
            case 1: v = (v & ~colour) | ((1u + rng() % 255) << (8 * (rng() % 3))); break;
            default: break;
        }
        blend::StorePixel(&out[i * c.bytesPerPixel], c.bytesPerPixel, v);
    }
    return out;
}

std::vector<blend::Params> LevelRules(std::mt19937& rng) {
    std::vector<blend::Params> all;
    for (blend::Rule rule : {blend::Rule::kCrossFade, blend::Rule::kFadeAdd, blend::Rule::kSubtractRed,
                             blend::Rule::kDarken, blend::Rule::kGray}) {
        // Random levels per component, the end levels mixed, and all equal.
        for (int variant = 0; variant < 3; ++variant) {
            blend::Params p;
            p.rule = rule;
            for (int i = 0; i < 3; ++i)
                p.level[i] = variant == 0 ? static_cast<int>(rng() % 32) : variant == 1 ? (i == 1 ? 31 : i * 15) : 9;
            all.push_back(p);
        }
    }
    // A cross-fade whose levels fall from column to column (to 0 and past it).
    static std::uint8_t falls[256];
    for (int x = 0; x < 256; ++x) falls[x] = static_cast<std::uint8_t>(x < 10 ? 0 : (x * 5 / 7) % 40);
    blend::Params columns;
    columns.rule = blend::Rule::kCrossFade;
    columns.level[0] = 31, columns.level[1] = 17, columns.level[2] = 4;
    columns.columnFalls = falls;
    all.push_back(columns);
    return all;
}

std::vector<int> StreamWidths() {
    std::vector<int> widths;
    for (int w = 1; w <= 70; ++w) widths.push_back(w);
    for (int w : {127, 128, 129, 191, 192, 193, 200}) widths.push_back(w);
    return widths;
}

TEST_P(BlendStream, LevelRulesMatchTheReferenceAtEveryWidthAndOffset) {
    const blend::Components c = Layout();
    const int bpp = c.bytesPerPixel;
    std::mt19937 rng(2024 + bpp);
    constexpr int kRows = 3;
    const std::ptrdiff_t pitch = 211 * bpp;  // not a multiple of any vector
    const std::vector<std::uint8_t> src = MixedPixels(rng, 211 * kRows + 4, c);
    const std::vector<std::uint8_t> background = MixedPixels(rng, 211 * kRows + 4, c);
    for (const blend::Params& p : LevelRules(rng)) {
        for (int width : StreamWidths()) {
            for (int offset = 0; offset < 4; ++offset) {
                // Byte offsets: the rows start at every alignment, the pixels stay whole.
                const int srcByte = (offset * 7) % 5, dstByte = offset;
                std::vector<std::uint8_t> fast = background, slow = background;
                blend::Rows a{fast.data() + dstByte, pitch, src.data() + srcByte, pitch, width, kRows};
                blend::Rows r = a;
                r.dst = slow.data() + dstByte;
                blend::Blend(a, c, p);
                blend::ReferenceBlend(r, c, p);
                ASSERT_EQ(fast, slow) << "rule " << static_cast<int>(p.rule) << " levels " << p.level[0] << ","
                                      << p.level[1] << "," << p.level[2] << " width " << width << " offset " << offset;
            }
        }
    }
}

// Every sum of three bytes has its exact third: grey of pixels covering
// all sums 0..765 (and each byte place at 255 alone).
TEST_P(BlendStream, GreyIsTheExactThirdOfEverySum) {
    const blend::Components c = Layout();
    const int bpp = c.bytesPerPixel;
    std::vector<std::uint8_t> src, dst;
    for (int sum = 0; sum <= 765; ++sum) {
        const std::uint32_t b0 = std::min(sum, 255), b1 = std::min(sum - static_cast<int>(b0), 255);
        const std::uint32_t b2 = static_cast<std::uint32_t>(sum) - b0 - b1;
        const std::uint32_t v = b0 << (8 * (sum % 3)) | b1 << (8 * ((sum + 1) % 3)) | b2 << (8 * ((sum + 2) % 3));
        src.resize(src.size() + bpp);
        blend::StorePixel(&src[src.size() - bpp], bpp, v);
    }
    const int width = static_cast<int>(src.size()) / bpp;
    dst.assign(src.size(), 0x5A);
    std::vector<std::uint8_t> slow = dst;
    blend::Params p;
    p.rule = blend::Rule::kGray;
    blend::Blend(blend::Rows{dst.data(), 0, src.data(), 0, width, 1}, c, p);
    blend::ReferenceBlend(blend::Rows{slow.data(), 0, src.data(), 0, width, 1}, c, p);
    EXPECT_EQ(dst, slow);
    EXPECT_EQ(blend::LoadPixel(&dst[765 * bpp], bpp) & blend::ColourMask(c), blend::ColourMask(c));
}

std::string StreamName(const ::testing::TestParamInfo<StreamCase>& info) {
    static const char* levels[] = {"portable", "sse2", "avx2", "avx512"};
    const StreamCase& p = info.param;
    const int red = std::countr_zero(p.masks[0]) / 8, green = std::countr_zero(p.masks[1]) / 8;
    return std::to_string(8 * p.bytesPerPixel) + "bit_red" + std::to_string(red) + "green" + std::to_string(green) + "_" +
           levels[static_cast<int>(p.level) + 1];
}

constexpr std::uint32_t kRGB[3] = {0xFF0000, 0xFF00, 0xFF}, kBGR[3] = {0xFF, 0xFF00, 0xFF0000},
                        kGRB[3] = {0xFF00, 0xFF0000, 0xFF};

StreamCase Stream(const std::uint32_t (&masks)[3], int bpp, KernelLevel level) {
    return StreamCase{{masks[0], masks[1], masks[2]}, bpp, level};
}

INSTANTIATE_TEST_SUITE_P(
    BlendStreamLayouts, BlendStream,
    ::testing::Values(Stream(kRGB, 3, KernelLevel::kAvx512), Stream(kBGR, 3, KernelLevel::kAvx512),
                      Stream(kGRB, 3, KernelLevel::kAvx512), Stream(kRGB, 4, KernelLevel::kAvx512),
                      Stream(kBGR, 4, KernelLevel::kAvx512), Stream(kRGB, 3, KernelLevel::kAvx2),
                      Stream(kBGR, 3, KernelLevel::kAvx2), Stream(kRGB, 4, KernelLevel::kAvx2),
                      Stream(kRGB, 3, KernelLevel::kSse2), Stream(kRGB, 3, KernelLevel::kPortable),
                      Stream(kBGR, 4, KernelLevel::kPortable)),
    StreamName);

}  // namespace
