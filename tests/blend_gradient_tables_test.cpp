// A gradient's alpha across the rows on 2-byte pixels: from its second
// call with the same weights on, the columns take tables worked out for
// every fall at once and the rows go in pieces of one fall. Both calls must
// give the reference's pixels, for gradients as the draw members make them
// (falls growing by one every `step` columns from `start`) and for falls in
// any order, on rectangles around the kernel's vector and block sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/pixels/blend_kernels.h"
#include "platform/pixels/blit_kernels.h"

namespace {

namespace blend = plat::blend;
using plat::kernels::KernelLevel;

// About a quarter of the source transparent.
std::vector<std::uint8_t> Picture(std::mt19937& rng, std::size_t pixels, const blend::Components& c, bool holes) {
    std::vector<std::uint8_t> out(pixels * 2);
    for (std::size_t i = 0; i < pixels; ++i)
        blend::StorePixel(&out[i * 2], 2, holes && rng() % 4 == 0 ? 0 : rng() & blend::ColourMask(c));
    return out;
}

// Falls of a gradient that starts at column `start` and falls every `step` columns.
std::vector<std::uint8_t> GradientFalls(int width, int start, int step) {
    std::vector<std::uint8_t> falls(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) falls[x] = static_cast<std::uint8_t>(x < start ? 0 : std::min(32, (x - start) / step));
    return falls;
}

// Blends twice (the second call has the tables) and compares both with the reference.
void ExpectTheReference(const blend::Components& c, const blend::Params& p, int width, int rows, std::mt19937& rng) {
    const int pitch = width + 3;  // pixels; rows do not follow one another
    const std::size_t pixels = static_cast<std::size_t>(pitch) * rows;
    const std::vector<std::uint8_t> src = Picture(rng, pixels, c, true), background = Picture(rng, pixels, c, false);
    for (int call = 0; call < 2; ++call) {
        std::vector<std::uint8_t> fast = background, slow = background;
        blend::Rows a{fast.data(), pitch * 2, src.data(), pitch * 2, width, rows};
        blend::Rows r = a;
        r.dst = slow.data();
        blend::Blend(a, c, p);
        blend::ReferenceBlend(r, c, p);
        ASSERT_EQ(fast, slow) << "call " << call << " width " << width << " rows " << rows << " opacity "
                              << p.opacity[0] << "/" << p.opacity[1] << "/" << p.opacity[2];
    }
}

class GradientTables : public ::testing::TestWithParam<int> {  // the red mask's shift: 5-6-5 or 5-5-5
protected:
    void SetUp() override {
        if (!plat::kernels::UseKernelLevel(KernelLevel::kAvx512)) GTEST_SKIP() << "the tables need AVX-512";
    }
    void TearDown() override { plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel()); }
    blend::Components Layout() const {
        return GetParam() == 11 ? blend::ComponentsOf(2, 0xF800, 0x07E0, 0x001F) : blend::ComponentsOf(2, 0x7C00, 0x03E0, 0x001F);
    }
};

blend::Params Alpha(float red, float green, float blue) {
    blend::Params p;
    p.rule = blend::Rule::kAlpha;
    const float o[3] = {red, green, blue};
    for (int i = 0; i < 3; ++i) p.opacity[i] = o[i], p.transparency[i] = 1.0f - o[i];
    return p;
}

// Steps narrower and wider than a vector quarter, half and whole, so that
// pieces of every kind and the transparencies' fall to 0 (where the
// destination drops out) come up, on row counts around the block of rows.
TEST_P(GradientTables, StepGradientsMatchTheReference) {
    std::mt19937 rng(5);
    const blend::Components c = Layout();
    for (int step : {1, 3, 8, 9, 17, 40})
        for (int start : {0, 5, 64}) {
            const std::vector<std::uint8_t> falls = GradientFalls(300, start, step);
            blend::Params p = Alpha(0.2f + 0.01f * static_cast<float>(step), 0.5f, 0.83f);
            p.columnFalls = falls.data();
            for (int width : {1, 7, 31, 32, 33, 100, 300})
                for (int rows : {1, 5, 32, 33, 70}) ExpectTheReference(c, p, width, rows, rng);
        }
}

// Falls in any order (the kernels do not rely on gradients), opacities at
// random, weights whose transparencies are not the opacities' complements.
TEST_P(GradientTables, FallsInAnyOrderMatchTheReference) {
    std::mt19937 rng(9);
    const blend::Components c = Layout();
    std::vector<std::uint8_t> falls(200);
    for (int round = 0; round < 12; ++round) {
        for (std::uint8_t& f : falls) f = static_cast<std::uint8_t>(rng() % (round % 2 ? 40 : 4));
        blend::Params p = Alpha(static_cast<float>(rng() % 1000) / 1000.0f, static_cast<float>(rng() % 1000) / 1000.0f,
                                static_cast<float>(rng() % 1000) / 1000.0f);
        if (round % 3 == 0) p.transparency[1] = 0.25f;
        p.columnFalls = falls.data();
        for (int width : {13, 64, 200}) ExpectTheReference(c, p, width, 35, rng);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, GradientTables, ::testing::Values(11, 10));

// One source table and 33 destination tables that agree on every pair
// exist for nearly every weight: all hundredths and random ones on 5-bit
// fields, all but the few that lack even one pair of tables on 6-bit ones.
TEST(GradientTableSolve, FoundForNearlyEveryWeight) {
    std::vector<float> weights;
    for (int n = 0; n <= 100; ++n) weights.push_back(static_cast<float>(n) / 100.0f);
    std::mt19937 rng(17);
    for (int i = 0; i < 20; ++i) weights.push_back(std::uniform_real_distribution<float>(0.0f, 1.0f)(rng));
    int missing[2] = {0, 0};
    for (float o : weights)
        for (int bits : {5, 6}) missing[bits - 5] += !blend::ColumnAlphaTablesFound(o, 1.0f - o, bits);
    EXPECT_EQ(missing[0], 0);
    EXPECT_LE(missing[1], 4);
    EXPECT_FALSE(blend::ColumnAlphaTablesFound(0.3f, 0.7f, 8));
}

}  // namespace
