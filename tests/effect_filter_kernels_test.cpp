// The fast smoke, noise, mosaic and blur kernels against their per-pixel
// references at every kernel level the processor offers, on random
// pictures of every pixel size with random regions; the random walk must
// end where the reference leaves it, including across the table's end.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/effect_kernels.h"
#include "platform/os/random.h"

namespace {

using namespace plat::kernels;

struct Picture {
    plat::Surface* s;
    Picture(int w, int h, int bits, std::mt19937& rng, int zeroShare = 0)
        : s(plat::CreateSurface(w, h, plat::FormatForBits(bits))) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                plat::PutPixel(*s, x, y, static_cast<int>(rng() % 100) < zeroShare ? 0 : rng());
    }
    Picture(const Picture& from) : s(plat::CreateSurface(from.s->width, from.s->height, from.s->format)) {
        for (int y = 0; y < s->height; ++y)
            std::memcpy(s->Row(y), from.s->Row(y), static_cast<std::size_t>(s->width) * s->format.bytesPerPixel);
    }
    ~Picture() { plat::DestroySurface(s); }
    bool operator==(const Picture& o) const {
        for (int y = 0; y < s->height; ++y)
            if (std::memcmp(s->Row(y), o.s->Row(y), static_cast<std::size_t>(s->width) * s->format.bytesPerPixel) != 0)
                return false;
        return true;
    }
};

// Every level this processor can run, the best last.
std::vector<KernelLevel> Levels() {
    std::vector<KernelLevel> levels;
    for (KernelLevel l : {KernelLevel::kPortable, KernelLevel::kSse2, KernelLevel::kAvx2, KernelLevel::kAvx512})
        if (UseKernelLevel(l)) levels.push_back(l);
    return levels;
}

class EffectFilterKernels : public ::testing::Test {
protected:
    void TearDown() override { UseKernelLevel(BestKernelLevel()); }

    RegionArgs RandomRegion(plat::Surface* s, std::mt19937& rng) {
        RegionArgs a;
        a.surface = s;
        a.width = 1 + static_cast<int>(rng() % s->width);
        a.height = 1 + static_cast<int>(rng() % s->height);
        a.x = static_cast<int>(rng() % (s->width - a.width + 1));
        a.y = static_cast<int>(rng() % (s->height - a.height + 1));
        a.channels = ChannelsOf(s->format);
        return a;
    }

    std::vector<std::uint8_t> Table(std::mt19937& rng, int values) {
        std::vector<std::uint8_t> t(10000);
        for (auto& e : t) e = static_cast<std::uint8_t>(rng() % values);
        return t;
    }
};

TEST_F(EffectFilterKernels, NoiseMatchesReferenceAndWalksTheSameEntries) {
    std::mt19937 rng(21);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {15, 16, 24, 32}) {
            for (int round = 0; round < 30; ++round) {
                const std::vector<std::uint8_t> table = Table(rng, round % 5 == 4 ? 256 : 3);
                Picture fast(97, 41, bits, rng);
                Picture slow(fast);
                RegionArgs a = RandomRegion(fast.s, rng);
                RandomWalk wf{table.data(), static_cast<int>(rng() % 10000), 0};
                if (round % 3 == 0) wf.position = 9999 - static_cast<int>(rng() % 50);  // wraps inside the region
                RandomWalk ws = wf;
                const int shift = static_cast<int>(rng() % 12) - 2;
                const unsigned flags = round % 4 == 0 ? static_cast<unsigned>(rng() % 8) : 7u;
                const unsigned seed = rng();
                plat::SeedRandom(seed);
                NoiseRegion(a, wf, shift, flags);
                const int afterFast = plat::Random();
                RegionArgs b = a;
                b.surface = slow.s;
                plat::SeedRandom(seed);
                ReferenceNoiseRegion(b, ws, shift, flags);
                ASSERT_EQ(plat::Random(), afterFast) << "the restarts drew as many random numbers";
                ASSERT_TRUE(fast == slow) << bits << " bits, round " << round << ", " << ActiveKernelName();
                ASSERT_EQ(wf.position, ws.position);
            }
        }
    }
}

TEST_F(EffectFilterKernels, SmokeMatchesReferenceAndKeepsTheCounter) {
    std::mt19937 rng(22);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {15, 16, 24, 32}) {
            for (int round = 0; round < 30; ++round) {
                const std::vector<std::uint8_t> table = Table(rng, round % 5 == 4 ? 7 : 3);
                Picture fast(83, 37, bits, rng);
                Picture slow(fast);
                RegionArgs a = RandomRegion(fast.s, rng);
                RandomWalk wf{table.data(), 9990 - static_cast<int>(rng() % 3000), static_cast<int>(rng() % 3)};
                RandomWalk ws = wf;
                const unsigned flags = round % 4 == 0 ? static_cast<unsigned>(rng() % 8) : 7u;
                const unsigned seed = rng();
                plat::SeedRandom(seed);
                // Two calls in a row: the second starts from the state the first left.
                for (int call = 0; call < 2; ++call) SmokeRegion(a, wf, flags);
                const int afterFast = plat::Random();
                RegionArgs b = a;
                b.surface = slow.s;
                plat::SeedRandom(seed);
                for (int call = 0; call < 2; ++call) ReferenceSmokeRegion(b, ws, flags);
                ASSERT_EQ(plat::Random(), afterFast);
                ASSERT_TRUE(fast == slow) << bits << " bits, round " << round << ", " << ActiveKernelName();
                ASSERT_EQ(wf.position, ws.position);
                ASSERT_EQ(wf.counter, ws.counter);
            }
        }
    }
}

// The smoke lays out the whole table's decisions once: wide rows that pass
// the table's end more than once, walks standing on an entry with the
// counter already past it, tables of large entries, positions outside the
// table, and an entry that changes between calls.
TEST_F(EffectFilterKernels, SmokeWalksTheTableLikeTheReferenceAcrossItsEnd) {
    std::mt19937 rng(26);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int round = 0; round < 12; ++round) {
            std::vector<std::uint8_t> table = Table(rng, round % 3 == 2 ? 256 : 3);
            Picture fast(round % 2 ? 2600 : 700, 9, round % 4 == 3 ? 32 : 16, rng);
            Picture slow(fast);
            RegionArgs a;
            a.width = fast.s->width, a.height = fast.s->height;
            a.channels = ChannelsOf(fast.s->format);
            const int starts[4] = {9990, 9999, -3, 10004};
            const RandomWalk start{table.data(), round < 4 ? starts[round] : static_cast<int>(rng() % 10000), 5};
            const std::size_t changed = rng() % 10000;
            const unsigned seed = rng();
            // Two calls; between them one entry of the table changes.
            auto run = [&](Picture& picture, RandomWalk& w, bool reference) {
                RegionArgs r = a;
                r.surface = picture.s;
                plat::SeedRandom(seed);
                for (unsigned flags : {7u, 6u}) {
                    if (reference) ReferenceSmokeRegion(r, w, flags);
                    else SmokeRegion(r, w, flags);
                    table[changed] ^= 1;
                }
                return plat::Random();
            };
            RandomWalk wf = start, ws = start;
            const int afterFast = run(fast, wf, false);
            const int afterSlow = run(slow, ws, true);
            ASSERT_EQ(afterFast, afterSlow) << "round " << round << ": as many restarts";
            ASSERT_TRUE(fast == slow) << "round " << round << ", " << ActiveKernelName();
            ASSERT_EQ(wf.position, ws.position) << "round " << round;
            ASSERT_EQ(wf.counter, ws.counter) << "round " << round;
        }
    }
}

TEST_F(EffectFilterKernels, MosaicMatchesReferenceWithAnchorsOutsideTheRegion) {
    std::mt19937 rng(23);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {15, 16, 24, 32}) {
            for (int round = 0; round < 30; ++round) {
                Picture fast(90, 50, bits, rng);
                Picture slow(fast);
                MosaicArgs m;
                m.region = RandomRegion(fast.s, rng);
                m.cellSize = round % 7 == 6 ? 1000000 + static_cast<int>(rng() % 1000) : 1 + static_cast<int>(rng() % 19);
                m.anchorX = m.region.x - (round % 2 ? static_cast<int>(rng() % 50) : 0);
                m.anchorY = m.region.y - (round % 3 ? static_cast<int>(rng() % 50) : 0);
                MosaicRegion(m);
                MosaicArgs r = m;
                r.region.surface = slow.s;
                ReferenceMosaicRegion(r);
                ASSERT_TRUE(fast == slow) << bits << " bits, round " << round << ", cell " << m.cellSize << ", "
                                          << ActiveKernelName();
            }
        }
    }
}

// A blur of a whole picture at one level, fast and reference, compared.
::testing::AssertionResult BlurAgrees(const Picture& source, int block, std::mt19937& rng) {
    const int w = source.s->width, h = source.s->height, bpp = source.s->format.bytesPerPixel;
    Picture fast(w, h, source.s->format.bits, rng);
    Picture slow(fast);
    BlurArgs a;
    a.src = source.s->Row(0), a.srcPitch = source.s->pitch;
    a.dst = fast.s->Row(0), a.dstPitch = fast.s->pitch;
    a.width = w, a.height = h, a.block = block, a.bytesPerPixel = bpp;
    const plat::PixelFormat& f = source.s->format;
    const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
    for (int c = 0; c < 3; ++c) a.shift[c] = __builtin_ctz(masks[c]), a.bits[c] = __builtin_popcount(masks[c]);
    BlurRect(a);
    BlurArgs b = a;
    b.dst = slow.s->Row(0);
    ReferenceBlurRect(b);
    if (fast == slow) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << f.bits << " bits, block " << block << ", " << w << " x " << h
                                         << ", " << ActiveKernelName();
}

// Widths from which the row's sums come from one prefix sum, each side of
// the count (2114 pixels) above which the sums take 32-bit lanes, the
// count 2025 (45 x 45) that has no exact 16-bit multiplier, odd widths,
// widths below the block and blocks as wide as the picture; pictures with
// transparent pixels; a block of more than 2114 rows, whose column sums
// leave 16 bits; blocks each side of 1057 columns, up to which 32-bit sums
// move down by 16-bit window sums of the rows' differences. The prefix sums
// run over more than one vector, with tails of many lengths.
TEST_F(EffectFilterKernels, BlurByPrefixSumsMatchesReference) {
    struct Case {
        int width, height, block;
    };
    const Case cases[] = {{97, 50, 45},  {97, 50, 46},   {101, 47, 46},  {133, 9, 24},   {133, 9, 31},  {131, 17, 64},
                          {131, 17, 65}, {129, 17, 128}, {257, 9, 128},  {257, 9, 129},  {255, 9, 256}, {301, 9, 300},
                          {300, 8, 300}, {87, 30, 87},   {86, 30, 200},  {33, 40, 100},  {1, 60, 50},   {61, 1, 61},
                          {250, 20, 130}, {211, 13, 147}, {77, 77, 76},  {65, 33, 33},  {3, 2200, 2200},
                          {1057, 3, 1057}, {1058, 3, 1058}, {1100, 4, 1100}};
    std::mt19937 rng(31);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {16, 32})
            for (const Case& c : cases) {
                const Picture source(c.width, c.height, bits, rng, 15);
                ASSERT_TRUE(BlurAgrees(source, c.block, rng));
            }
    }
}

// Every block sum a whole multiple of the pixel count, or one away from
// it: a picture of one value with a few pixels one above or below. These
// sums sit where an estimated quotient must be set right.
TEST_F(EffectFilterKernels, BlurDividesExactlyBesideMultiplesOfTheCount) {
    std::mt19937 rng(33);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int value : {0, 16, 31}) {
            for (int block : {3, 13, 24, 37, 45, 46, 53, 64, 91}) {
                Picture source(block + 7, std::min(block + 3, 60), 16, rng);
                for (int y = 0; y < source.s->height; ++y)
                    for (int x = 0; x < source.s->width; ++x) {
                        const int roll = static_cast<int>(rng() % 64);
                        const int v = std::clamp(value + (roll == 0 ? 1 : roll == 1 ? -1 : 0), 0, 31);
                        plat::PutPixel(*source.s, x, y, static_cast<std::uint32_t>(v << 11 | v << 6 | v));
                    }
                ASSERT_TRUE(BlurAgrees(source, block, rng)) << "value " << value;
            }
        }
    }
}

// A pixel of the format from three 5-bit values, put back the way the blur
// puts back its averages.
std::uint32_t FromFives(const plat::PixelFormat& f, const int (&v)[3]) {
    const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
    std::uint32_t pixel = 0;
    for (int c = 0; c < 3; ++c) {
        const int bits = __builtin_popcount(masks[c]);
        const std::uint32_t value = static_cast<std::uint32_t>(v[c]);
        pixel |= (bits == 8 ? value << 3 | value >> 2 : value << (bits - 5)) << __builtin_ctz(masks[c]);
    }
    return pixel;
}

// Blocks too large for the per-pixel reference to check in a test: a flat
// picture with one pixel whose red is one lower and green one higher. Every
// block sum is then a whole multiple of the count, or one away from it:
// blocks over that pixel average one less red and the same green. The
// counts reach each division: 2025 (estimate in 16 bits), 2116 and 65536
// (the float reciprocal alone) and 90000 (the reciprocal set right).
TEST_F(EffectFilterKernels, BlurOfFlatPicturesSeesOnePixelOffByOne) {
    struct Case {
        int width, height, block, x, y;
    };
    const Case cases[] = {{100, 60, 45, 44, 0}, {100, 60, 46, 99, 59}, {400, 300, 256, 200, 150}, {400, 300, 300, 0, 299},
                          {400, 300, 300, 399, 10}};
    std::mt19937 rng(35);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {16, 32})
            for (const Case& c : cases)
                for (const std::array<int, 3>& v : {std::array<int, 3>{31, 30, 1}, {1, 0, 31}, {17, 9, 22}}) {
                    Picture source(c.width, c.height, bits, rng);
                    Picture out(c.width, c.height, bits, rng);
                    const plat::PixelFormat& f = source.s->format;
                    const int flat[3] = {v[0], v[1], v[2]}, off[3] = {v[0] - 1, v[1] + 1, v[2]}, less[3] = {v[0] - 1, v[1], v[2]};
                    for (int y = 0; y < c.height; ++y)
                        for (int x = 0; x < c.width; ++x) plat::PutPixel(*source.s, x, y, FromFives(f, flat));
                    plat::PutPixel(*source.s, c.x, c.y, FromFives(f, off));
                    BlurArgs a;
                    a.src = source.s->Row(0), a.srcPitch = source.s->pitch;
                    a.dst = out.s->Row(0), a.dstPitch = out.s->pitch;
                    a.width = c.width, a.height = c.height, a.block = c.block, a.bytesPerPixel = f.bytesPerPixel;
                    const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
                    for (int k = 0; k < 3; ++k) a.shift[k] = __builtin_ctz(masks[k]), a.bits[k] = __builtin_popcount(masks[k]);
                    BlurRect(a);
                    const int bw = std::min(c.block, c.width), bh = std::min(c.block, c.height);
                    for (int y = 0; y < c.height; ++y)
                        for (int x = 0; x < c.width; ++x) {
                            const int left = std::min(x, c.width - bw), top = std::min(y, c.height - bh);
                            const bool over = left <= c.x && c.x < left + bw && top <= c.y && c.y < top + bh;
                            ASSERT_EQ(plat::GetPixel(*out.s, x, y), FromFives(f, over ? less : flat))
                                << "at " << x << ", " << y << ", " << bits << " bits, block " << c.block << ", "
                                << ActiveKernelName();
                        }
                }
    }
}

// Every division, probed count by count: a row of n pixels blurred with a
// block of at least n has one block, the whole row. A flat row of value v
// with the first pixel's red one lower sums to v n - 1 in red and v n in
// green, the sums on each side of a multiple, where an estimated or
// rounded quotient goes wrong first. Every count up to 2300 (16-bit lanes,
// then 32-bit ones, where a float reciprocal not raised fails from 2213),
// then counts on to 140000, among them the bounds of the float
// reciprocal's exact range (2^21 / 31).
TEST_F(EffectFilterKernels, BlurDividesEveryCountExactly) {
    std::vector<int> counts;
    for (int n = 2; n <= 2300; ++n) counts.push_back(n);
    for (int n : {4096, 65536, 67649, 67650, 67651, 77314, 90000, 131072, 140000}) counts.push_back(n);
    std::mt19937 rng(37);
    for (int i = 0; i < 60; ++i) counts.push_back(2301 + static_cast<int>(rng() % 138000));
    std::vector<int> allValues, someValues = {1, 2, 16, 28, 30, 31};
    for (int v = 1; v <= 31; ++v) allValues.push_back(v);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {16, 32}) {
            const plat::PixelFormat f = plat::FormatForBits(bits);
            for (int n : counts) {
                std::vector<std::uint32_t> src(static_cast<std::size_t>(n)), dst(static_cast<std::size_t>(n));
                BlurArgs a;
                a.src = reinterpret_cast<const std::uint8_t*>(src.data()), a.srcPitch = n * 4;
                a.dst = reinterpret_cast<std::uint8_t*>(dst.data()), a.dstPitch = n * 4;
                a.width = n, a.height = 1, a.block = n + static_cast<int>(rng() % 3), a.bytesPerPixel = f.bytesPerPixel;
                const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
                for (int k = 0; k < 3; ++k) a.shift[k] = __builtin_ctz(masks[k]), a.bits[k] = __builtin_popcount(masks[k]);
                for (int v : n <= 2300 ? allValues : someValues) {
                    const int flat[3] = {v, v, 31 - v}, first[3] = {v - 1, v, 31 - v};
                    auto* row = reinterpret_cast<std::uint8_t*>(src.data());
                    for (int x = 0; x < n; ++x)
                        StorePixel(row + x * f.bytesPerPixel, f.bytesPerPixel, FromFives(f, x == 0 ? first : flat));
                    BlurRect(a);
                    const std::uint32_t got = LoadPixel(a.dst + (n - 1) * f.bytesPerPixel, f.bytesPerPixel);
                    ASSERT_EQ(got, FromFives(f, first))
                        << "count " << n << ", value " << v << ", " << bits << " bits, " << ActiveKernelName();
                }
            }
        }
    }
}

// The largest change a move down can make: a white row leaves as a
// transparent one enters, 31 less in every column of the block. At 1057
// columns the window sum of the change, -32767, still fits 16 signed bits;
// at 1058 it does not. Rows of 1 elsewhere: the first block averages 1 in
// each component, every later one 0.
TEST_F(EffectFilterKernels, BlurMovesByTheWidestDifferenceExactly) {
    std::mt19937 rng(39);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {16, 32})
            for (int block : {1057, 1058}) {
                const int w = block, h = block + 2;
                Picture source(w, h, bits, rng);
                Picture out(w, h, bits, rng);
                Picture before(out);
                const plat::PixelFormat& f = source.s->format;
                const int white[3] = {31, 31, 31}, one[3] = {1, 1, 1}, none[3] = {0, 0, 0};
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        plat::PutPixel(*source.s, x, y, FromFives(f, y == 0 ? white : y == block ? none : one));
                BlurArgs a;
                a.src = source.s->Row(0), a.srcPitch = source.s->pitch;
                a.dst = out.s->Row(0), a.dstPitch = out.s->pitch;
                a.width = w, a.height = h, a.block = block, a.bytesPerPixel = f.bytesPerPixel;
                const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
                for (int k = 0; k < 3; ++k) a.shift[k] = __builtin_ctz(masks[k]), a.bits[k] = __builtin_popcount(masks[k]);
                BlurRect(a);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; x += 97) {
                        const std::uint32_t want =
                            y == block ? plat::GetPixel(*before.s, x, y) : FromFives(f, y == 0 ? one : none);
                        ASSERT_EQ(plat::GetPixel(*out.s, x, y), want)
                            << "at " << x << ", " << y << ", block " << block << ", " << bits << " bits, "
                            << ActiveKernelName();
                    }
            }
    }
}

// The rule itself on a tiny case: a 2 x 2 block of 5-6-5 pixels averages
// the top five bits of each component and leaves green's lowest bit 0.
TEST_F(EffectFilterKernels, BlurAveragesTheBlockStartingAtEachPixel) {
    std::uint16_t src[2 * 3] = {0xFFFF, 0x0000, 0x0821, 0x0000, 0x0000, 0x0000};  // rows of 3
    std::uint16_t dst[6] = {1, 1, 1, 1, 1, 1};
    BlurArgs a;
    a.src = reinterpret_cast<const std::uint8_t*>(src), a.srcPitch = 6;
    a.dst = reinterpret_cast<std::uint8_t*>(dst), a.dstPitch = 6;
    a.width = 3, a.height = 2, a.block = 2;
    BlurRect(a);
    EXPECT_EQ(dst[0], (31 / 4) << 11 | (31 / 4) << 6 | 31 / 4) << "white over four pixels";
    EXPECT_EQ(dst[1], 1) << "transparent pixels keep the destination";
    EXPECT_EQ(dst[2], 0) << "the block moves left to stay inside: (0 + 1 + 0 + 0) / 4 of each";
}

TEST_F(EffectFilterKernels, BlurMatchesReferenceAtEveryBlockSize) {
    std::mt19937 rng(24);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {15, 16, 24, 32}) {
            for (int round = 0; round < 40; ++round) {
                Picture source(70, 45, bits, rng, 15);
                Picture fast(70, 45, bits, rng);
                Picture slow(fast);
                const RegionArgs r = RandomRegion(source.s, rng);
                const int block = round < 35 ? 1 + round : 40 + static_cast<int>(rng() % 2000);
                BlurArgs a;
                const int bpp = source.s->format.bytesPerPixel;
                a.src = source.s->Row(r.y) + r.x * bpp, a.srcPitch = source.s->pitch;
                a.dst = fast.s->Row(r.y) + r.x * bpp, a.dstPitch = fast.s->pitch;
                a.width = r.width, a.height = r.height, a.block = block, a.bytesPerPixel = bpp;
                const plat::PixelFormat& f = source.s->format;
                const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
                for (int c = 0; c < 3; ++c) a.shift[c] = __builtin_ctz(masks[c]), a.bits[c] = __builtin_popcount(masks[c]);
                BlurRect(a);
                BlurArgs b = a;
                b.dst = slow.s->Row(r.y) + r.x * bpp;
                ReferenceBlurRect(b);
                ASSERT_TRUE(fast == slow) << bits << " bits, block " << block << ", " << r.width << " x " << r.height
                                          << ", " << ActiveKernelName();
            }
        }
    }
}

// Block widths of many set bits (several terms folded before the output),
// and block pixel counts on each side of the divisions' limits: one pixel,
// a 16-bit multiplier with and without a second high product, 16-bit sums
// with a 32-bit multiplier (2025 pixels), and 32-bit sums (3969 pixels).
TEST_F(EffectFilterKernels, BlurMatchesReferenceAcrossTermsAndDivisions) {
    std::mt19937 rng(27);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        for (int bits : {16, 32}) {
            Picture source(150, 70, bits, rng, 10);
            for (int block : {1, 3, 7, 9, 11, 23, 31, 45, 47, 63})
                ASSERT_TRUE(BlurAgrees(source, block, rng)) << bits << " bits, block " << block << ", " << ActiveKernelName();
        }
    }
}

// Blocks whose sums leave 16 bits (more than 2114 pixels) take 32-bit
// lanes; a wide, flat picture reaches them on few rows.
TEST_F(EffectFilterKernels, BlurOfLargeBlocksMatchesReference) {
    std::mt19937 rng(25);
    for (KernelLevel level : Levels()) {
        UseKernelLevel(level);
        Picture source(700, 8, 16, rng, 10);
        Picture fast(700, 8, 16, rng);
        Picture slow(fast);
        for (int block : {300, 700}) {
            BlurArgs a;
            a.src = source.s->Row(0), a.srcPitch = source.s->pitch;
            a.dst = fast.s->Row(0), a.dstPitch = fast.s->pitch;
            a.width = 700, a.height = 8, a.block = block;
            BlurRect(a);
            BlurArgs b = a;
            b.dst = slow.s->Row(0);
            ReferenceBlurRect(b);
            ASSERT_TRUE(fast == slow) << "block " << block << ", " << ActiveKernelName();
        }
    }
}

}  // namespace
