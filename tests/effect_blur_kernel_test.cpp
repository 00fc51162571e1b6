// The block blur's row passes against an independent rule: the fused move
// and prefix sums (blocks from 9 columns), averages that follow block sums
// known modulo 2^16 (blocks of at least 31 rows past 2114 pixels), and
// the raised changes of the wide sums, at every kernel level, for 15-, 16-
// and 32-bit pixels, across the bounds where one path hands over to the
// next.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <random>
#include <vector>

#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/effect_kernels.h"

namespace {

using namespace plat::kernels;

struct Image {
    plat::Surface* s;
    Image(int w, int h, int bits) : s(plat::CreateSurface(w, h, plat::FormatForBits(bits))) {}
    Image(const Image& from) : Image(from.s->width, from.s->height, from.s->format.bits) {
        for (int y = 0; y < s->height; ++y)
            std::memcpy(s->Row(y), from.s->Row(y), static_cast<std::size_t>(s->width) * s->format.bytesPerPixel);
    }
    ~Image() { plat::DestroySurface(s); }
    int Width() const { return s->width; }
    int Height() const { return s->height; }
};

// Random pixels, a share of them (percent) black, which the blur leaves.
Image RandomImage(int w, int h, int bits, int blackShare, std::mt19937& rng) {
    Image im(w, h, bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            plat::PutPixel(*im.s, x, y, static_cast<int>(rng() % 100) < blackShare ? 0u : static_cast<std::uint32_t>(rng()));
    return im;
}

struct Fields {
    int shift[3], bits[3];
    std::uint32_t colour = 0;
    explicit Fields(const plat::PixelFormat& f) {
        const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
        for (int c = 0; c < 3; ++c) {
            shift[c] = __builtin_ctz(masks[c]), bits[c] = __builtin_popcount(masks[c]);
            colour |= masks[c];
        }
    }
    std::uint32_t Five(std::uint32_t p, int c) const { return (p >> (shift[c] + bits[c] - 5)) & 31u; }
    std::uint32_t Place(std::uint32_t v, int c) const {
        return (bits[c] == 8 ? v << 3 | v >> 2 : v << (bits[c] - 5)) << shift[c];
    }
};

// The rule, from summed-area tables: each pixel with colour takes the
// average of the top five bits over the block starting at it, moved left
// and up to stay inside; the others keep the destination.
void ExpectedBlur(const Image& src, int block, Image& dst) {
    const int w = src.Width(), h = src.Height(), bw = std::min(block, w), bh = std::min(block, h);
    const Fields f(src.s->format);
    std::vector<std::uint64_t> table(static_cast<std::size_t>(3) * (w + 1) * (h + 1), 0);
    auto at = [&](int c, int x, int y) -> std::uint64_t& {
        return table[(static_cast<std::size_t>(c) * (h + 1) + y) * (w + 1) + x];
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = plat::GetPixel(*src.s, x, y);
            for (int c = 0; c < 3; ++c) at(c, x + 1, y + 1) = f.Five(p, c) + at(c, x, y + 1) + at(c, x + 1, y) - at(c, x, y);
        }
    const std::uint64_t count = static_cast<std::uint64_t>(bw) * bh;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if ((plat::GetPixel(*src.s, x, y) & f.colour) == 0) continue;
            const int left = std::min(x, w - bw), top = std::min(y, h - bh);
            std::uint32_t out = 0;
            for (int c = 0; c < 3; ++c) {
                const std::uint64_t sum =
                    at(c, left + bw, top + bh) - at(c, left, top + bh) - at(c, left + bw, top) + at(c, left, top);
                out |= f.Place(static_cast<std::uint32_t>(sum / count), c);
            }
            plat::PutPixel(*dst.s, x, y, out);
        }
}

// The kernel over the whole picture against the rule; the first pixel that
// differs is named.
::testing::AssertionResult BlursAsTheRule(const Image& src, int block, std::mt19937& rng) {
    const Image before = RandomImage(src.Width(), src.Height(), src.s->format.bits, 0, rng);
    Image fast(before), want(before);
    const Fields f(src.s->format);
    BlurArgs a;
    a.src = src.s->Row(0), a.srcPitch = src.s->pitch;
    a.dst = fast.s->Row(0), a.dstPitch = fast.s->pitch;
    a.width = src.Width(), a.height = src.Height(), a.block = block, a.bytesPerPixel = src.s->format.bytesPerPixel;
    for (int c = 0; c < 3; ++c) a.shift[c] = f.shift[c], a.bits[c] = f.bits[c];
    BlurRect(a);
    ExpectedBlur(src, block, want);
    for (int y = 0; y < src.Height(); ++y)
        for (int x = 0; x < src.Width(); ++x)
            if (plat::GetPixel(*fast.s, x, y) != plat::GetPixel(*want.s, x, y))
                return ::testing::AssertionFailure()
                       << src.s->format.bits << " bits, " << src.Width() << " x " << src.Height() << ", block " << block
                       << ", " << ActiveKernelName() << ": at " << x << ", " << y << " got " << std::hex
                       << plat::GetPixel(*fast.s, x, y) << " want " << plat::GetPixel(*want.s, x, y);
    return ::testing::AssertionSuccess();
}

std::vector<KernelLevel> Levels() {
    std::vector<KernelLevel> levels;
    for (KernelLevel l : {KernelLevel::kPortable, KernelLevel::kSse2, KernelLevel::kAvx2, KernelLevel::kAvx512})
        if (UseKernelLevel(l)) levels.push_back(l);
    return levels;
}

class EffectBlurKernel : public ::testing::Test {
protected:
    void TearDown() override { UseKernelLevel(BestKernelLevel()); }
};

struct BlurCase {
    int width, height, block;
};

// Random pictures of every case, at every level and pixel size, against the rule.
::testing::AssertionResult RandomCasesBlurAsTheRule(const std::vector<BlurCase>& cases,
                                                   std::initializer_list<int> sizes, int blackPercent, unsigned seed) {
    std::mt19937 rng(seed);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : sizes) {
            for (const BlurCase& c : cases) {
                const Image src = RandomImage(c.width, c.height, bits, blackPercent, rng);
                if (::testing::AssertionResult r = BlursAsTheRule(src, c.block, rng); !r) return r;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Blocks from 9 columns move their column sums and make the prefix sums in
// one pass, 16 columns a vector: widths on each side of whole vectors and
// narrower than one, blocks wider and taller than the picture, the 5-6-5
// layout (no mask on top, no shift at the bottom), 1-5-5-5 (a mask on top)
// and 32-bit pixels.
TEST_F(EffectBlurKernel, FusedMoveMatchesTheRuleAcrossWidthsAndLayouts) {
    const std::vector<BlurCase> cases = {{9, 20, 9},   {15, 20, 9},  {16, 20, 10}, {17, 23, 11},
                                         {31, 12, 16}, {33, 40, 17}, {47, 30, 31}, {48, 50, 45},
                                         {50, 9, 12},  {64, 13, 13}, {65, 60, 44}, {97, 50, 45},
                                         {20, 30, 40}, {12, 50, 45}, {130, 3, 23}, {40, 8, 40}};
    EXPECT_TRUE(RandomCasesBlurAsTheRule(cases, {15, 16, 32}, 15, 41));
}

// Past 2114 pixels, blocks of at least 31 rows whose count and 62 times
// their width stay within 2^16 follow their averages from row to row:
// each side of 31 rows (30 sums in 32-bit lanes), each side of that bound
// (square blocks of 226 and 227), and each side of 704 rows, up to which
// the fused move's products hold their sums. Blocks from 46 to 300 as
// wide as the picture, wider, and inside it.
TEST_F(EffectBlurKernel, TrackedAveragesMatchTheRuleAcrossTheirBounds) {
    const std::vector<BlurCase> cases = {{100, 30, 80},   {100, 31, 80},  {100, 32, 80},   {61, 60, 46},
                                         {60, 60, 60},    {77, 70, 64},   {140, 90, 128},  {131, 129, 129},
                                         {230, 235, 226}, {230, 235, 227}, {40, 720, 704}, {40, 720, 705},
                                         {41, 710, 710},  {35, 50, 300},  {301, 40, 300},  {250, 47, 250}};
    EXPECT_TRUE(RandomCasesBlurAsTheRule(cases, {16, 32}, 10, 43));
}

// The largest moves and the largest sums: every row is white or dark
// (colour only below the top five bits) across bands of columns, so a
// block sum jumps by up to 31 times its width from one row to the next
// and lands on whole multiples of the count, where an average steps up or
// down. Then all white but one pixel with one unit less red, so that the
// blocks over it sum to one below a multiple of the count and a sum too
// large by any amount shows: the column sums of 704 and 705 rows reach
// the most the fused move's products can hold, and past it, and those of
// 2114 and 2115 rows the most 16 bits hold.
TEST_F(EffectBlurKernel, TrackedAveragesFollowTheLargestMoves) {
    const BlurCase cases[] = {{83, 138, 46},  {101, 192, 64}, {137, 300, 100},
                              {40, 720, 704}, {40, 720, 705}, {5, 2120, 2114}, {5, 2120, 2115}};
    std::mt19937 rng(45);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {16, 32}) {
            for (const BlurCase& c : cases) {
                for (bool flat : {false, true}) {
                    Image src(c.width, c.height, bits);
                    const plat::PixelFormat& f = src.s->format;
                    const std::uint32_t white = f.redMask | f.greenMask | f.blueMask;
                    const std::uint32_t dark = f.greenMask & ~(f.greenMask << 1);
                    const std::uint32_t less =
                        white & ~((f.redMask & ~(f.redMask << 1)) << (__builtin_popcount(f.redMask) - 5));
                    std::vector<bool> whiteRow(static_cast<std::size_t>(src.Height()));
                    for (std::size_t y = 0; y < whiteRow.size(); ++y) whiteRow[y] = (y / (1 + rng() % 3)) % 2 == 0;
                    for (int y = 0; y < src.Height(); ++y)
                        for (int x = 0; x < src.Width(); ++x) {
                            const bool band = (x / 7) % 3 != 0;
                            const bool bright = flat || whiteRow[static_cast<std::size_t>(y)] == band;
                            plat::PutPixel(*src.s, x, y, flat && x == 3 && y == 10 ? less : bright ? white : dark);
                        }
                    ASSERT_TRUE(BlursAsTheRule(src, c.block, rng)) << (flat ? "white" : "bands");
                }
            }
        }
    }
}

// Sums in 32-bit lanes: blocks past the tracked bound that move down,
// by the raised changes of two rows up to 1057 columns and from prefix
// sums beyond, where the changes' window sums leave 16 bits; blocks of
// fewer than 31 rows past 2114 pixels, which do not move.
TEST_F(EffectBlurKernel, WideSumsMovedByRaisedChangesMatchTheRule) {
    const std::vector<BlurCase> cases = {{260, 262, 256},   {233, 245, 227}, {1060, 1062, 1057},
                                         {1061, 1060, 1058}, {300, 20, 250},  {1070, 5, 1100}};
    EXPECT_TRUE(RandomCasesBlurAsTheRule(cases, {16, 32}, 10, 47));
}

// Block sizes 1 to 300 in steps that land on each path's edges, on one
// picture with black pixels, at every level.
TEST_F(EffectBlurKernel, EveryBlockSizeMatchesTheRule) {
    std::mt19937 rng(49);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {16, 32}) {
            const Image src = RandomImage(163, 71, bits, 12, rng);
            for (int block = 1; block <= 300; block += block < 50 ? 1 : 7)
                ASSERT_TRUE(BlursAsTheRule(src, block, rng));
        }
    }
}

}  // namespace
