// Blends over areas of many rows, against the per-pixel reference: 3-byte
// pixels at a level without a kernel of their own are widened band by
// band (a band is as many rows as fit 16384 pixels), so only areas of
// several bands, the last one short, show a band written back onto the
// wrong rows or read from them. Every rule at every level, gradients
// across the rows too, on areas of three bands, of 127-row bands and of
// one-row bands (rows wider than a band), for 3-byte pixels in both
// orders and, as a check of the same areas, 2- and 4-byte ones.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/pixels/blend_kernels.h"
#include "platform/pixels/blit_kernels.h"

namespace {

namespace blend = plat::blend;
using plat::kernels::KernelLevel;

struct WideCase {
    int bits;  // 24: 8-8-8 red on top, 25: 8-8-8 blue on top
    KernelLevel level;
};

blend::Components LayoutOf(int bits) {
    switch (bits) {
        case 24: return blend::ComponentsOf(3, 0xFF0000, 0xFF00, 0xFF);
        case 25: return blend::ComponentsOf(3, 0xFF, 0xFF00, 0xFF0000);
        case 32: return blend::ComponentsOf(4, 0xFF0000, 0xFF00, 0xFF);
        default: return blend::ComponentsOf(2, 0xF800, 0x07E0, 0x001F);
    }
}

// Random pixels, about a quarter of them transparent.
std::vector<std::uint8_t> Pixels(std::mt19937& rng, std::size_t count, const blend::Components& c) {
    std::vector<std::uint8_t> out(count * c.bytesPerPixel);
    const std::uint32_t colour = blend::ColourMask(c);
    for (std::size_t i = 0; i < count; ++i)
        blend::StorePixel(&out[i * c.bytesPerPixel], c.bytesPerPixel, rng() % 4 == 0 ? 0 : rng() & colour);
    return out;
}

constexpr int kWidest = 16500;

// Falls of a gradient across the rows, for every column an area may have:
// none at the left, then rising and wrapping past the largest fall.
const std::uint8_t* ColumnFalls() {
    static const std::vector<std::uint8_t> falls = [] {
        std::vector<std::uint8_t> f(kWidest);
        for (int x = 0; x < kWidest; ++x) f[x] = static_cast<std::uint8_t>(x < 20 ? 0 : (x * 7 / 13) % 40);
        return f;
    }();
    return falls.data();
}

// Every rule with random weights and levels, alpha also at halves (whole
// numbers) and with its weights summing past 1, and alpha and the
// cross-fade as gradients across the rows.
std::vector<blend::Params> Rules(std::mt19937& rng) {
    std::vector<blend::Params> all;
    for (int rule = 0; rule <= static_cast<int>(blend::Rule::kGray); ++rule) {
        for (int variant = 0; variant < 2; ++variant) {
            blend::Params p;
            p.rule = static_cast<blend::Rule>(rule);
            for (int i = 0; i < 3; ++i) {
                p.opacity[i] = variant == 0 ? static_cast<float>(rng() % 1001) / 1000.0f : 0.5f;
                p.transparency[i] = variant == 0 ? 1.0f - p.opacity[i] : 0.75f;
                p.level[i] = static_cast<int>(rng() % 32);
                p.factor[i] = static_cast<float>(rng() % 1500) / 1000.0f;
            }
            p.keepMask = rng();
            all.push_back(p);
            if (p.rule == blend::Rule::kAlpha || p.rule == blend::Rule::kCrossFade) {
                p.columnFalls = ColumnFalls();
                all.push_back(p);
            }
        }
    }
    return all;
}

class BlendWideAreas : public ::testing::TestWithParam<WideCase> {
protected:
    void SetUp() override {
        if (!plat::kernels::UseKernelLevel(GetParam().level)) GTEST_SKIP() << "the processor lacks this level";
    }
    void TearDown() override { plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel()); }
};

struct Area {
    int width, rows;
};

TEST_P(BlendWideAreas, EveryRuleMatchesTheReferenceOverSeveralBands) {
    const blend::Components c = LayoutOf(GetParam().bits);
    const int bpp = c.bytesPerPixel;
    std::mt19937 rng(7 + GetParam().bits);
    // 8-row bands (8, 8, 3), 127-row bands (127, 127, 6), one-row bands.
    const Area areas[] = {{2000, 19}, {129, 260}, {kWidest, 3}};
    for (const Area& area : areas) {
        // Pitches of their own, wider than the rows, and the rows started
        // past the first pixels, so that a row read or written at the
        // wrong place shows.
        const std::ptrdiff_t dstPitch = (area.width + 3) * bpp, srcPitch = (area.width + 6) * bpp;
        const std::vector<std::uint8_t> src = Pixels(rng, static_cast<std::size_t>(area.width + 6) * area.rows, c);
        const std::vector<std::uint8_t> background =
            Pixels(rng, static_cast<std::size_t>(area.width + 3) * area.rows, c);
        for (const blend::Params& p : Rules(rng)) {
            std::vector<std::uint8_t> fast = background, slow = background;
            const blend::Rows a{fast.data() + bpp, dstPitch, src.data() + 4 * bpp, srcPitch, area.width - 2,
                                area.rows};
            blend::Rows r = a;
            r.dst = slow.data() + bpp;
            blend::Blend(a, c, p);
            blend::ReferenceBlend(r, c, p);
            if (fast == slow) continue;
            std::size_t at = 0;
            while (fast[at] == slow[at]) ++at;
            FAIL() << "rule " << static_cast<int>(p.rule) << (p.columnFalls ? " across the rows" : "") << ", "
                   << area.width - 2 << " x " << area.rows << ": first difference in row " << at / dstPitch
                   << ", pixel " << (at % dstPitch) / bpp - 1;
        }
    }
}

std::string WideCaseName(const ::testing::TestParamInfo<WideCase>& info) {
    static const char* names[] = {"sse2", "avx2", "avx512"};
    return std::to_string(info.param.bits) + "bit_" + names[static_cast<int>(info.param.level)];
}

INSTANTIATE_TEST_SUITE_P(Layouts, BlendWideAreas,
                         ::testing::Values(WideCase{24, KernelLevel::kSse2}, WideCase{25, KernelLevel::kSse2},
                                           WideCase{24, KernelLevel::kAvx2}, WideCase{25, KernelLevel::kAvx2},
                                           WideCase{24, KernelLevel::kAvx512}, WideCase{25, KernelLevel::kAvx512},
                                           WideCase{16, KernelLevel::kSse2}, WideCase{16, KernelLevel::kAvx512},
                                           WideCase{32, KernelLevel::kSse2}, WideCase{32, KernelLevel::kAvx512}),
                         WideCaseName);

}  // namespace
