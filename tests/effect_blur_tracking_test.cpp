// The block blur's tracked averages (blocks of at least 31 rows past 2114
// pixels, whose sums are followed modulo 2^16) at their hardest moves,
// against a closed form: every row of each component is all at the top
// (31) or all at the bottom (0) of its five bits, so that a block sum moves
// by the whole 31 times the block's width from one row to the next, and
// a block of w rows over k rows at the top has the average 31 k / w,
// whatever the column. Blocks of a multiple of 31 rows land on exact
// multiples of their pixel count, where an average steps and where a
// sum that left its range by one move shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/pixels/blend_kernels.h"
#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/effect_kernels.h"

namespace {

using namespace plat::kernels;
namespace blend = plat::blend;

struct Layout {
    int bytesPerPixel;
    int shift[3], bits[3];
    std::uint32_t bottom;  // a bit below the top five of a field: colour that counts as 0
};

const Layout k565{2, {11, 5, 0}, {5, 6, 5}, 0x0020};
const Layout k888{4, {16, 8, 0}, {8, 8, 8}, 0x000001};

// For each component, which rows are at the top: the first `block` rows of
// red, none of the first `block` of green, then runs of random lengths up
// to a little past the block, so that windows all at the top, all at the
// bottom and every count between them come by.
std::vector<std::vector<bool>> TopRows(int height, int block, std::mt19937& rng) {
    std::vector<std::vector<bool>> top(3, std::vector<bool>(static_cast<std::size_t>(height)));
    for (int c = 0; c < 3; ++c) {
        bool on = c != 1;
        int y = 0;
        if (c < 2) {
            for (; y < std::min(block, height); ++y) top[c][y] = on;
            on = !on;
        }
        while (y < height) {
            const int run = 1 + static_cast<int>(rng() % static_cast<unsigned>(block + 6));
            for (int end = std::min(height, y + run); y < end; ++y) top[c][y] = on;
            on = !on;
        }
    }
    return top;
}

std::uint32_t Place(const Layout& l, int c, std::uint32_t five) {
    const std::uint32_t field = l.bits[c] == 8 ? (five << 3) | (five >> 2) : five << (l.bits[c] - 5);
    return field << l.shift[c];
}

struct Case {
    int width, height, block;
};

TEST(EffectBlurTracking, WholeRowsMovingAtOnceGiveTheClosedForm) {
    // Blocks of 62 and 93 rows (multiples of 31), 47 and 60, one clipped
    // to the picture's width (50 of 80 columns), one as wide as it.
    const Case cases[] = {{90, 200, 62}, {70, 300, 93}, {49, 160, 47}, {75, 150, 60}, {50, 240, 80}, {62, 190, 62}};
    std::mt19937 rng(53);
    for (KernelLevel level : {KernelLevel::kSse2, KernelLevel::kAvx2, KernelLevel::kAvx512}) {
        if (!UseKernelLevel(level)) continue;
        for (const Layout* l : {&k565, &k888}) {
            const int bpp = l->bytesPerPixel;
            for (const Case& c : cases) {
                const std::vector<std::vector<bool>> top = TopRows(c.height, c.block, rng);
                const std::ptrdiff_t pitch = static_cast<std::ptrdiff_t>(c.width + 1) * bpp;
                std::vector<std::uint8_t> src(static_cast<std::size_t>(pitch) * c.height);
                for (int y = 0; y < c.height; ++y) {
                    std::uint32_t p = l->bottom;
                    for (int k = 0; k < 3; ++k) p |= top[k][y] ? Place(*l, k, 31) : 0;
                    for (int x = 0; x < c.width; ++x) blend::StorePixel(&src[y * pitch + x * bpp], bpp, p);
                }
                std::vector<std::uint8_t> dst(src.size(), 0xA5);
                BlurArgs a;
                a.src = src.data(), a.srcPitch = pitch, a.dst = dst.data(), a.dstPitch = pitch;
                a.width = c.width, a.height = c.height, a.block = c.block, a.bytesPerPixel = bpp;
                for (int k = 0; k < 3; ++k) a.shift[k] = l->shift[k], a.bits[k] = l->bits[k];
                BlurRect(a);

                const int bh = std::min(c.block, c.height);
                for (int y = 0; y < c.height; ++y) {
                    const int from = std::min(y, c.height - bh);
                    std::uint32_t want = 0;
                    for (int k = 0; k < 3; ++k) {
                        const auto atTop = std::count(top[k].begin() + from, top[k].begin() + from + bh, true);
                        want |= Place(*l, k, static_cast<std::uint32_t>(31 * atTop / bh));
                    }
                    for (int x = 0; x < c.width; ++x) {
                        const std::uint32_t got = blend::LoadPixel(&dst[y * pitch + x * bpp], bpp);
                        ASSERT_EQ(got, want) << ActiveKernelName() << ", " << 8 * bpp << "-bit pixels, " << c.width
                                             << " x " << c.height << ", block " << c.block << ": row " << y
                                             << ", column " << x;
                    }
                }
            }
        }
    }
    UseKernelLevel(BestKernelLevel());
}

}  // namespace
