// The fast rotation and smoothing kernels against their per-pixel
// references, on random pictures of every pixel size, with boxes cut at
// every edge and source rectangles that leave their surface.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/effect_kernels.h"

namespace {

using namespace plat::kernels;

struct Pic {
    plat::Surface* s;
    Pic(int w, int h, int bits, std::mt19937& rng, int zeroShare) : s(plat::CreateSurface(w, h, plat::FormatForBits(bits))) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                plat::PutPixel(*s, x, y, static_cast<int>(rng() % 100) < zeroShare ? 0 : rng());
    }
    ~Pic() { plat::DestroySurface(s); }
};

bool SamePixels(const plat::Surface& a, const plat::Surface& b) {
    for (int y = 0; y < a.height; ++y)
        if (std::memcmp(a.Row(y), b.Row(y), static_cast<std::size_t>(a.width) * a.format.bytesPerPixel) != 0) return false;
    return true;
}

void CopyPixels(plat::Surface& to, const plat::Surface& from) {
    for (int y = 0; y < from.height; ++y)
        std::memcpy(to.Row(y), from.Row(y), static_cast<std::size_t>(from.width) * from.format.bytesPerPixel);
}

TEST(EffectKernels, ChannelsPerFormat) {
    const Channels c16 = ChannelsOf(plat::FormatForBits(16));
    EXPECT_EQ(c16.shift[0] * 100 + c16.shift[1] * 10 + c16.shift[2], 1160);
    EXPECT_EQ(c16.bits, 5);
    EXPECT_EQ(c16.Replace(0xFFFF, 1, 0), 0xF81Fu) << "the whole six-bit field is replaced";
    const Channels c15 = ChannelsOf(plat::FormatForBits(15));
    EXPECT_EQ(c15.shift[0] * 100 + c15.shift[1] * 10 + c15.shift[2], 1050);
    const Channels c32 = ChannelsOf(plat::FormatForBits(32));
    EXPECT_EQ(c32.shift[0] * 100 + c32.shift[1] * 10 + c32.shift[2], 1680);
    EXPECT_EQ(c32.bits, 8);
    EXPECT_EQ(c32.Spare(), 0xFF000000u);
}

TEST(EffectKernels, RotationMatchesReference) {
    std::mt19937 rng(5);
    for (int bits : {15, 16, 24, 32}) {
        for (int round = 0; round < 60; ++round) {
            Pic source(37 + static_cast<int>(rng() % 40), 21 + static_cast<int>(rng() % 30), bits, rng, 20);
            Pic fast(120, 90, bits, rng, 0);
            Pic slow(120, 90, bits, rng, 0);
            CopyPixels(*slow.s, *fast.s);
            RotateArgs a;
            a.dst = fast.s;
            a.boxLeft = static_cast<int>(rng() % 60) - 30;
            a.boxTop = static_cast<int>(rng() % 60) - 30;
            // Only the box part inside the picture may be drawn.
            a.colBegin = std::max(0, -a.boxLeft), a.colEnd = std::min(100, 120 - a.boxLeft);
            a.rowBegin = std::max(0, -a.boxTop), a.rowEnd = std::min(80, 90 - a.boxTop);
            a.src = source.s;
            a.srcLeft = static_cast<int>(rng() % 20) - 10;
            a.srcTop = static_cast<int>(rng() % 20) - 10;
            const int w = 30, h = 20;
            a.minX = std::max(0, -a.srcLeft), a.maxX = std::min(w, source.s->width - a.srcLeft);
            a.minY = std::max(0, -a.srcTop), a.maxY = std::min(h, source.s->height - a.srcTop);
            const double angle = (rng() % 3600) / 10.0 * 3.14159265 / 180.0;
            const double zoom = round % 5 == 0 ? -0.7 : 0.3 + (rng() % 300) / 100.0;
            a.uCol = std::llround(std::cos(angle) / zoom * 65536), a.vCol = std::llround(std::sin(angle) / zoom * 65536);
            a.uRow = -a.vCol, a.vRow = a.uCol;
            a.u0 = 15 * 65536 - 50 * a.uCol - 40 * a.uRow + static_cast<int>(rng() % 65536);
            a.v0 = 10 * 65536 - 50 * a.vCol - 40 * a.vRow;
            if (round % 7 == 3) a.uCol = 0;  // a column of one source coordinate
            a.mirror = round % 3 == 1;
            a.op = round % 4 == 2 ? RotateOp::kAlpha : RotateOp::kCopy;
            a.level = static_cast<int>(rng() % 32);
            a.channels = ChannelsOf(fast.s->format);
            RotateAffine(a);
            RotateArgs b = a;
            b.dst = slow.s;
            ReferenceRotateAffine(b);
            ASSERT_TRUE(SamePixels(*fast.s, *slow.s)) << bits << " bits, round " << round;
        }
    }
}

// The integer stepping of the plain rotations: 360ths truncated toward
// zero, so coordinate 0 spans twice the others; the span solving must
// agree with the per-pixel division on every side of 0.
TEST(EffectKernels, SteppedRotationMatchesReference) {
    std::mt19937 rng(11);
    for (int bits : {16, 24, 32}) {
        for (int round = 0; round < 80; ++round) {
            Pic source(30 + static_cast<int>(rng() % 30), 20 + static_cast<int>(rng() % 20), bits, rng, 15);
            Pic fast(120, 90, bits, rng, 0);
            Pic slow(120, 90, bits, rng, 0);
            CopyPixels(*slow.s, *fast.s);
            RotateArgs a;
            a.dst = fast.s;
            a.boxLeft = static_cast<int>(rng() % 40) - 20, a.boxTop = static_cast<int>(rng() % 40) - 20;
            const int w = 60 + static_cast<int>(rng() % 60), h = 40 + static_cast<int>(rng() % 50);
            a.colBegin = std::max(0, -a.boxLeft), a.colEnd = std::min(w, 120 - a.boxLeft);
            a.rowBegin = std::max(0, -a.boxTop), a.rowEnd = std::min(h, 90 - a.boxTop);
            a.src = source.s;
            a.srcLeft = static_cast<int>(rng() % 10) - 5, a.srcTop = static_cast<int>(rng() % 10) - 5;
            const int sw = 25, sh = 18;
            a.minX = std::max(0, -a.srcLeft), a.maxX = std::min(sw, source.s->width - a.srcLeft);
            a.minY = std::max(0, -a.srcTop), a.maxY = std::min(sh, source.s->height - a.srcTop);
            const double turn = (rng() % 360) * 3.14159265358979 / 180.0;
            const std::int64_t sine = static_cast<std::int64_t>(std::sin(turn) * 360);
            const std::int64_t cosine = static_cast<std::int64_t>(std::cos(turn) * 360);
            const std::int64_t hw = w / 2, hh = h / 2;
            a.step = RotateStep::kStepped360;
            a.offsetX = (w - sw) / 2 + static_cast<int>(rng() % 9) - 4, a.offsetY = (h - sh) / 2;
            a.u0 = 360 * hw + hh * sine - hw * cosine, a.v0 = 360 * hh - hw * sine - hh * cosine;
            a.uCol = cosine, a.vCol = sine, a.uRow = -sine, a.vRow = cosine;
            if (round % 9 == 4) a.uCol = 0, a.vRow = 0;
            a.mirror = round % 3 == 1;
            a.channels = ChannelsOf(fast.s->format);
            RotateAffine(a);
            RotateArgs b = a;
            b.dst = slow.s;
            ReferenceRotateAffine(b);
            ASSERT_TRUE(SamePixels(*fast.s, *slow.s)) << bits << " bits, round " << round;
        }
    }
}

TEST(EffectKernels, SmoothingMatchesReference) {
    std::mt19937 rng(11);
    for (int bits : {15, 16, 24, 32, -15, -16, -32}) {  // negative: the kernels below AVX2
        plat::kernels::UseKernelLevel(bits < 0 ? KernelLevel::kSse2 : BestKernelLevel());
        bits = std::abs(bits);
        for (int round = 0; round < 40; ++round) {
            Pic fast(90, 40, bits, rng, 5);
            Pic slow(90, 40, bits, rng, 0);
            CopyPixels(*slow.s, *fast.s);
            RegionArgs a;
            a.surface = fast.s;
            a.width = 1 + static_cast<int>(rng() % 90);
            a.height = 1 + static_cast<int>(rng() % 40);
            a.x = static_cast<int>(rng() % (91 - a.width));
            a.y = static_cast<int>(rng() % (41 - a.height));
            a.channels = ChannelsOf(fast.s->format);
            const unsigned flags = round % 4 == 3 ? static_cast<unsigned>(rng() % 8) : 7u;
            SmoothRegion(a, flags);
            RegionArgs b = a;
            b.surface = slow.s;
            ReferenceSmoothRegion(b, flags);
            ASSERT_TRUE(SamePixels(*fast.s, *slow.s))
                << bits << " bits, round " << round << ", width " << a.width << ", " << ActiveKernelName();
        }
    }
    UseKernelLevel(BestKernelLevel());
}

// White pictures give every weighted sum its largest value (at SSE2 that
// sum must still fit 16 bits), and a few dark pixels in them its steps.
TEST(EffectKernels, SmoothingOfWhiteMatchesReferenceAtEveryLevel) {
    std::mt19937 rng(12);
    for (KernelLevel level : {KernelLevel::kSse2, KernelLevel::kAvx2, KernelLevel::kAvx512}) {
        if (!UseKernelLevel(level)) continue;
        for (int bits : {15, 16, 32}) {
            for (int dark : {0, 3, 40}) {
                Pic fast(70, 12, bits, rng, 0);
                for (int y = 0; y < 12; ++y)
                    for (int x = 0; x < 70; ++x) plat::PutPixel(*fast.s, x, y, 0xFFFFFFFFu);
                for (int i = 0; i < dark; ++i) plat::PutPixel(*fast.s, static_cast<int>(rng() % 70), static_cast<int>(rng() % 12), rng());
                Pic slow(70, 12, bits, rng, 0);
                CopyPixels(*slow.s, *fast.s);
                RegionArgs a;
                a.surface = fast.s;
                a.width = 70;
                a.height = 12;
                a.channels = ChannelsOf(fast.s->format);
                SmoothRegion(a, 7u);
                RegionArgs b = a;
                b.surface = slow.s;
                ReferenceSmoothRegion(b, 7u);
                ASSERT_TRUE(SamePixels(*fast.s, *slow.s)) << bits << " bits, " << dark << " dark, " << ActiveKernelName();
            }
        }
    }
    UseKernelLevel(BestKernelLevel());
}

}  // namespace
