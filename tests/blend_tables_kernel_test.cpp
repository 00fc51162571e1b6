// Alpha from per-field tables below AVX-512: the byte-shuffle kernel on
// random tables against the sum it stands for (each field the top bits of
// X(s) + Y(d)), with sums whose low bytes carry and sums just short of it,
// at every row width around its 32-pixel steps; and through Blend(), the
// float rule at remembered weights on rows of every width and offset.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include "platform/pixels/blend_kernels.h"
#include "platform/pixels/blend_kernels_tables.h"
#include "platform/pixels/blit_kernels.h"

namespace {

namespace blend = plat::blend;
namespace tables = plat::blend::tables;
using plat::kernels::KernelLevel;

struct Layout {
    int greenBits;
    blend::Components c;
};

void PrintTo(const Layout& l, std::ostream* os) { *os << (l.greenBits == 6 ? "5-6-5" : "5-5-5"); }

Layout Rgb565() { return {6, blend::ComponentsOf(2, 0xF800, 0x07E0, 0x001F)}; }
Layout Rgb555() { return {5, blend::ComponentsOf(2, 0x7C00, 0x03E0, 0x001F)}; }

// Random tables whose sums stay below 2^16; half of each table's low bytes
// are chosen so that some pairs sum to exactly 255 and others to 256 in
// their low bytes, the carry's edge.
struct RandomTables {
    std::uint16_t bySource[3][64], byDest[3][64];
    tables::AlphaFieldTables view;

    explicit RandomTables(std::mt19937& rng) {
        for (int i = 0; i < 3; ++i)
            for (int v = 0; v < 64; ++v) {
                bySource[i][v] = static_cast<std::uint16_t>(rng() % 0x8000);
                byDest[i][v] = static_cast<std::uint16_t>(rng() % 0x8000);
                if (v % 2) {
                    const std::uint32_t low = rng() % 256;
                    bySource[i][v] = static_cast<std::uint16_t>((bySource[i][v] & 0xFF00) | low);
                    byDest[i][v] = static_cast<std::uint16_t>((byDest[i][v] & 0xFF00) | ((255 - low + rng() % 2) & 0xFF));
                }
            }
        for (int i = 0; i < 3; ++i) view.bySource[i] = bySource[i], view.byDest[i] = byDest[i];
    }

    // What the tables say for one pair of pixels.
    std::uint32_t Blend(const blend::Components& c, std::uint32_t s, std::uint32_t d) const {
        if ((s & blend::ColourMask(c)) == 0) return d;
        std::uint32_t out = 0;
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t sum = bySource[i][blend::Field(c, s, i)] + byDest[i][blend::Field(c, d, i)];
            out |= blend::PlaceField(c, i, sum >> (16 - c.bits[i]));
        }
        return out;
    }
};

std::vector<std::uint16_t> RandomPixels(std::mt19937& rng, std::size_t count) {
    std::vector<std::uint16_t> out(count);
    for (auto& p : out) p = rng() % 5 == 0 ? 0 : static_cast<std::uint16_t>(rng());
    return out;
}

class TableAlphaAvx2 : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override {
        if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "the processor lacks AVX2";
    }
};

TEST_P(TableAlphaAvx2, EveryPixelIsTheTopOfItsTableSum) {
    const Layout layout = GetParam();
    std::mt19937 rng(29);
    constexpr int kPitch = 112, kRows = 3;
    for (int round = 0; round < 20; ++round) {
        const RandomTables t(rng);
        const std::vector<std::uint16_t> src = RandomPixels(rng, kPitch * kRows);
        const std::vector<std::uint16_t> background = RandomPixels(rng, kPitch * kRows);
        for (int width : {1, 2, 15, 16, 17, 31, 32, 33, 63, 64, 65, 95, 100}) {
            std::vector<std::uint16_t> out = background;
            const int offset = round % 3;
            blend::Rows a{reinterpret_cast<std::uint8_t*>(out.data() + offset), kPitch * 2,
                          reinterpret_cast<const std::uint8_t*>(src.data() + 7), kPitch * 2, width, kRows};
            ASSERT_TRUE(tables::AlphaFromTablesAvx2(a, layout.greenBits, t.view));
            for (int y = 0; y < kRows; ++y)
                for (int x = 0; x < kPitch; ++x) {
                    const int at = y * kPitch + x;
                    const bool inside = x >= offset && x < offset + width;
                    const std::uint32_t want =
                        inside ? t.Blend(layout.c, src[at + 7 - offset], background[at]) : background[at];
                    ASSERT_EQ(out[at], want) << "round " << round << " width " << width << " x " << x << " y " << y;
                }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, TableAlphaAvx2, ::testing::Values(Rgb565(), Rgb555()),
                         [](const auto& info) { return info.param.greenBits == 6 ? "rgb565" : "rgb555"; });

// Through Blend() at every level below AVX-512: weights whose tables are
// remembered take them on any area large enough to pay for splitting them
// (1024 pixels), so rows of every width, as many as make that area, at
// every offset go through the table kernel and its tail, and must equal
// the float rule.
class TableAlphaBlend : public ::testing::TestWithParam<KernelLevel> {
protected:
    void SetUp() override {
        if (!plat::kernels::UseKernelLevel(GetParam())) GTEST_SKIP() << "the processor lacks this level";
    }
    void TearDown() override { plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel()); }
};

TEST_P(TableAlphaBlend, RowsOfEveryWidthMatchTheReference) {
    std::mt19937 rng(41);
    const float weights[][3] = {{0.3f, 0.3f, 0.3f}, {0.2f, 0.5f, 0.8f}, {0.37f, 0.61f, 0.93f}, {0.71f, 0.13f, 0.5f}};
    constexpr int kPitch = 80, kMostRows = 1025;
    const std::vector<std::uint16_t> src = RandomPixels(rng, kPitch * kMostRows);
    const std::vector<std::uint16_t> background = RandomPixels(rng, kPitch * kMostRows);
    for (const Layout& layout : {Rgb565(), Rgb555()}) {
        for (const auto& w : weights) {
            blend::Params p;
            p.rule = blend::Rule::kAlpha;
            for (int i = 0; i < 3; ++i) {
                p.opacity[i] = w[i];
                p.transparency[i] = 1.0f - w[i];
                ASSERT_TRUE(blend::AlphaTablesFound(p.opacity[i], p.transparency[i], layout.c.bits[i]));
            }
            for (int width = 1; width <= 70; width += width < 40 ? 1 : 3)
                for (int offset : {0, 1, 5}) {
                    const int rows = 1024 / width + 1;
                    std::vector<std::uint16_t> fast = background, slow = background;
                    blend::Rows a{reinterpret_cast<std::uint8_t*>(fast.data() + offset), kPitch * 2,
                                  reinterpret_cast<const std::uint8_t*>(src.data() + 2 * offset), kPitch * 2, width,
                                  rows};
                    blend::Rows r = a;
                    r.dst = reinterpret_cast<std::uint8_t*>(slow.data() + offset);
                    blend::Blend(a, layout.c, p);
                    blend::ReferenceBlend(r, layout.c, p);
                    ASSERT_EQ(fast, slow) << "green bits " << layout.greenBits << " opacity " << w[0] << " width "
                                          << width << " offset " << offset;
                }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, TableAlphaBlend, ::testing::Values(KernelLevel::kSse2, KernelLevel::kAvx2),
                         [](const auto& info) { return info.param == KernelLevel::kSse2 ? "sse2" : "avx2"; });

}  // namespace
