// Blend kernels: every vector rule of every instruction set against the
// per-pixel reference on random pictures, at every row width around the
// vector sizes and at odd offsets, for 5-5-5, 5-6-5, 8-8-8 and X8-8-8-8
// pixels; and the component helpers on chosen values.
#include <gtest/gtest.h>

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

std::string CaseName(const ::testing::TestParamInfo<KernelCase>& info) {
    static const char* names[] = {"sse2", "avx2", "avx512"};
    return std::to_string(info.param.bits) + "bit_" + names[static_cast<int>(info.param.level)];
}

INSTANTIATE_TEST_SUITE_P(BlendLayouts, BlendKernels,
                         ::testing::Values(KernelCase{15, KernelLevel::kSse2}, KernelCase{16, KernelLevel::kSse2},
                                           KernelCase{16, KernelLevel::kAvx2}, KernelCase{16, KernelLevel::kAvx512},
                                           KernelCase{15, KernelLevel::kAvx512}, KernelCase{24, KernelLevel::kSse2},
                                           KernelCase{32, KernelLevel::kSse2}, KernelCase{32, KernelLevel::kAvx2},
                                           KernelCase{32, KernelLevel::kAvx512}, KernelCase{17, KernelLevel::kAvx2},
                                           KernelCase{33, KernelLevel::kAvx2}),
                         CaseName);

}  // namespace
