// Surfaces: formats and colour conversion, clipping of copies and fills,
// keyed copies, locks and the lost state, and the vector kernels checked
// against the per-pixel reference kernels.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/blit_kernels.h"
#include "platform/surface.h"

namespace {

using plat::Rect;
using plat::Surface;

struct SurfacePtr {
    Surface* s;
    explicit SurfacePtr(Surface* p) : s(p) {}
    ~SurfacePtr() { plat::DestroySurface(s); }
    Surface* operator->() const { return s; }
    Surface* get() const { return s; }
};

SurfacePtr Make(int w, int h, int bits = 16) { return SurfacePtr(plat::CreateSurface(w, h, plat::FormatForBits(bits))); }

// Fills a surface with distinct values: pixel (x, y) = base + y * 256 + x.
void Number(Surface* s, std::uint32_t base) {
    for (int y = 0; y < s->height; ++y)
        for (int x = 0; x < s->width; ++x) plat::PutPixel(*s, x, y, base + static_cast<std::uint32_t>(y * 256 + x));
}

TEST(SurfaceFormat, MasksAndConversionKeepTopBits) {
    const plat::PixelFormat f16 = plat::FormatForBits(16), f15 = plat::FormatForBits(15);
    const plat::PixelFormat f24 = plat::FormatForBits(24), f32 = plat::FormatForBits(32);
    EXPECT_EQ(plat::FormatForBits(8).bits, 16);
    EXPECT_EQ(f15.redMask, 0x7C00u);
    EXPECT_EQ(f24.bytesPerPixel, 3);
    EXPECT_EQ(f32.bytesPerPixel, 4);

    EXPECT_EQ(plat::MapColorRef(f16, 0xFFFFFF), 0xFFFFu);
    EXPECT_EQ(plat::MapColorRef(f16, 0x0000FF), 0xF800u);  // 0x00BBGGRR: red
    EXPECT_EQ(plat::MapColorRef(f16, 0xFF0000), 0x001Fu);
    EXPECT_EQ(plat::MapColorRef(f15, 0x00FF00), 0x03E0u);
    EXPECT_EQ(plat::MapRGB(f16, 0x07, 0x03, 0x07), 0u);  // below one step of every field
    EXPECT_EQ(plat::MapRGB(f16, 0x08, 0x04, 0x08), 0x0821u);
    EXPECT_EQ(plat::MapRGB(f24, 0x12, 0x34, 0x56), 0x123456u);
    EXPECT_EQ(plat::MapColorRef(f32, 0x563412), 0x123456u);

    std::uint8_t r, g, b;
    plat::UnmapRGB(f16, 0xFFFF, r, g, b);
    EXPECT_EQ(r, 248);
    EXPECT_EQ(g, 252);
    EXPECT_EQ(b, 248);
    plat::UnmapRGB(f15, 0x7C00, r, g, b);
    EXPECT_EQ(r, 248);
    EXPECT_EQ(g, 0);
}

TEST(SurfaceCreate, SizesPitchAlignmentAndRegistry) {
    EXPECT_EQ(plat::CreateSurface(0, 5, plat::FormatForBits(16)), nullptr);
    EXPECT_EQ(plat::CreateSurface(5, -1, plat::FormatForBits(16)), nullptr);
    EXPECT_EQ(plat::CreateSurface(plat::kMaxSurfaceSide + 1, 1, plat::FormatForBits(16)), nullptr);

    const std::size_t before = plat::LiveSurfaceCount();
    {
        SurfacePtr s = Make(13, 7, 24);
        ASSERT_NE(s.get(), nullptr);
        EXPECT_EQ(plat::LiveSurfaceCount(), before + 1);
        EXPECT_EQ(s->pitch % 16, 0);
        EXPECT_GE(s->pitch, 13 * 3);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(s->pixels) % 32, 0u);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) EXPECT_EQ(plat::GetPixel(*s.get(), x, y), 0u);
    }
    EXPECT_EQ(plat::LiveSurfaceCount(), before);
}

TEST(SurfaceBltFast, ClipsToBothSurfaces) {
    SurfacePtr src = Make(32, 8), dst = Make(40, 20);
    Number(src.get(), 0x100);

    // Left of the destination: columns 10..31 land at x = 0.
    ASSERT_EQ(plat::BltFast(dst.get(), -10, 0, src.get(), Rect{0, 0, 32, 8}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 0, 0), 0x100u + 10);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 21, 7), 0x100u + 7 * 256 + 31);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 22, 0), 0u);

    // Right and bottom edges cut the rectangle.
    plat::FillRect(dst.get(), nullptr, 0);
    ASSERT_EQ(plat::BltFast(dst.get(), 35, 15, src.get(), Rect{0, 0, 32, 8}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 39, 19), 0x100u + 4 * 256 + 4);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 34, 15), 0u);

    // A source rectangle reaching outside the source is cut to the source,
    // the destination point moving with its left and top edges.
    plat::FillRect(dst.get(), nullptr, 0);
    ASSERT_EQ(plat::BltFast(dst.get(), 0, 0, src.get(), Rect{-4, -2, 40, 100}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 3, 1), 0u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 4, 2), 0x100u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 35, 9), 0x100u + 7 * 256 + 31);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 36, 9), 0u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 4, 10), 0u);

    // Far outside, extreme coordinates and empty rectangles draw nothing.
    plat::FillRect(dst.get(), nullptr, 0);
    EXPECT_EQ(plat::BltFast(dst.get(), 1 << 30, 0, src.get(), Rect{0, 0, 32, 8}, false), plat::DD_OK);
    EXPECT_EQ(plat::BltFast(dst.get(), INT32_MIN, INT32_MIN, src.get(), Rect{INT32_MIN, 0, INT32_MAX, 8}, false),
              plat::DD_OK);
    EXPECT_EQ(plat::BltFast(dst.get(), 0, 0, src.get(), Rect{5, 5, 5, 8}, false), plat::DD_OK);
    EXPECT_EQ(plat::BltFast(dst.get(), 0, 0, src.get(), Rect{6, 0, 5, 8}, false), plat::DDERR_INVALIDRECT);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(plat::GetPixel(*dst.get(), x, y), 0u);
}

TEST(SurfaceBltFast, KeyedCopySkipsKeyPixelsOnly) {
    SurfacePtr src = Make(20, 3), dst = Make(20, 3);
    Number(src.get(), 0x1000);
    plat::PutPixel(*src.get(), 5, 1, 0xABCD);
    plat::PutPixel(*src.get(), 19, 2, 0xABCD);
    plat::FillRect(dst.get(), nullptr, 0x7777);
    plat::SetColorKey(src.get(), 0x1ABCD);  // only the format's bits count
    std::uint32_t key = 0;
    ASSERT_TRUE(plat::GetColorKey(src.get(), &key));
    EXPECT_EQ(key, 0xABCDu);

    ASSERT_EQ(plat::BltFast(dst.get(), 0, 0, src.get(), Rect{0, 0, 20, 3}, true), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 5, 1), 0x7777u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 19, 2), 0x7777u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 4, 1), 0x1000u + 256 + 4);

    ASSERT_EQ(plat::BltFast(dst.get(), 0, 0, src.get(), Rect{0, 0, 20, 3}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 5, 1), 0xABCDu);
}

TEST(SurfaceBltFast, OverlappingCopyWithinOneSurface) {
    for (bool keyed : {false, true}) {
        SurfacePtr s = Make(30, 30), expected = Make(30, 30), copy = Make(30, 30);
        Number(s.get(), 1);
        plat::SetColorKey(s.get(), 3 * 256 + 5 + 1);
        plat::BltFast(copy.get(), 0, 0, s.get(), Rect{0, 0, 30, 30}, false);
        plat::BltFast(expected.get(), 0, 0, s.get(), Rect{0, 0, 30, 30}, false);
        plat::SetColorKey(copy.get(), 3 * 256 + 5 + 1);
        plat::BltFast(expected.get(), 3, 2, copy.get(), Rect{0, 0, 20, 20}, keyed);

        plat::BltFast(s.get(), 3, 2, s.get(), Rect{0, 0, 20, 20}, keyed);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                ASSERT_EQ(plat::GetPixel(*s.get(), x, y), plat::GetPixel(*expected.get(), x, y)) << x << "," << y;
    }
}

TEST(SurfaceBltFast, RefusesMismatchAndLostSurfaces) {
    SurfacePtr a = Make(8, 8, 16), b = Make(8, 8, 15), c = Make(8, 8, 16);
    EXPECT_EQ(plat::BltFast(a.get(), 0, 0, b.get(), Rect{0, 0, 8, 8}, false), plat::DDERR_INVALIDPARAMS);
    EXPECT_EQ(plat::BltFast(a.get(), 0, 0, nullptr, Rect{0, 0, 8, 8}, false), plat::DDERR_INVALIDPARAMS);

    plat::FillRect(c.get(), nullptr, 0x1234);
    plat::MarkAllSurfacesLost();
    EXPECT_TRUE(plat::IsLost(a.get()));
    EXPECT_TRUE(plat::IsLost(b.get()));
    EXPECT_EQ(plat::BltFast(a.get(), 0, 0, c.get(), Rect{0, 0, 8, 8}, false), plat::DDERR_SURFACELOST);
    EXPECT_EQ(plat::FillRect(a.get(), nullptr, 1), plat::DDERR_SURFACELOST);
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    EXPECT_EQ(plat::Lock(a.get(), &bits, &pitch), plat::DDERR_SURFACELOST);

    // Restored surfaces come back zeroed and usable.
    EXPECT_EQ(plat::Restore(a.get()), plat::DD_OK);
    EXPECT_EQ(plat::Restore(c.get()), plat::DD_OK);
    plat::Restore(b.get());
    EXPECT_FALSE(plat::IsLost(c.get()));
    EXPECT_EQ(plat::GetPixel(*c.get(), 3, 3), 0u);
    EXPECT_EQ(plat::BltFast(a.get(), 0, 0, c.get(), Rect{0, 0, 8, 8}, false), plat::DD_OK);
}

TEST(SurfaceLock, CountsLocksAndReportsPitch) {
    SurfacePtr s = Make(10, 4, 32);
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    EXPECT_EQ(plat::Unlock(s.get()), plat::DDERR_NOTLOCKED);
    ASSERT_EQ(plat::Lock(s.get(), &bits, &pitch), plat::DD_OK);
    EXPECT_EQ(bits, s->pixels);
    EXPECT_EQ(pitch, s->pitch);
    EXPECT_EQ(s->lockCount, 1);
    EXPECT_EQ(plat::Unlock(s.get()), plat::DD_OK);
    EXPECT_EQ(s->lockCount, 0);
}

TEST(SurfaceFill, ClipsAndWritesEveryFormat) {
    for (int bits : {15, 16, 24, 32}) {
        SurfacePtr s = Make(17, 9, bits);
        const std::uint32_t value = bits == 32 ? 0x00A1B2C3u : bits == 24 ? 0xA1B2C3u : 0x5A5Au;
        const Rect r{-3, 2, 40, 5};
        ASSERT_EQ(plat::FillRect(s.get(), &r, value | (bits < 32 ? 0xFF000000u : 0)), plat::DD_OK);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 17; ++x)
                ASSERT_EQ(plat::GetPixel(*s.get(), x, y), (y >= 2 && y < 5) ? value : 0u) << bits;
        const Rect inverted{5, 5, 4, 6};
        EXPECT_EQ(plat::FillRect(s.get(), &inverted, value), plat::DDERR_INVALIDRECT);
    }
}

TEST(SurfaceBltStretch, NearestNeighbourScalingAndClipping) {
    SurfacePtr src = Make(4, 2), dst = Make(10, 10);
    Number(src.get(), 0x10);
    // Doubling: each source pixel becomes a 2x2 block.
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{1, 1, 9, 5}, src.get(), Rect{0, 0, 4, 2}, false), plat::DD_OK);
    for (int y = 1; y < 5; ++y)
        for (int x = 1; x < 9; ++x)
            ASSERT_EQ(plat::GetPixel(*dst.get(), x, y), 0x10u + ((y - 1) / 2) * 256 + (x - 1) / 2);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 0, 0), 0u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 9, 5), 0u);

    // Halving takes every other pixel; a destination partly outside is cut
    // without shifting the mapping.
    plat::FillRect(dst.get(), nullptr, 0);
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{-1, 0, 1, 1}, src.get(), Rect{0, 0, 4, 2}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 0, 0), 0x10u + 2);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 1, 0), 0u);

    // Keyed scaled copy, and a source rectangle reaching outside the source.
    plat::FillRect(dst.get(), nullptr, 0x4444);
    plat::SetColorKey(src.get(), 0x10 + 1);
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{0, 0, 8, 2}, src.get(), Rect{0, 0, 4, 1}, true), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 2, 0), 0x4444u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 4, 1), 0x12u);
    plat::FillRect(dst.get(), nullptr, 0x4444);
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{0, 0, 10, 10}, src.get(), Rect{-4, -2, 8, 4}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 0, 0), 0x4444u);  // its source lies outside: left alone
    EXPECT_EQ(plat::GetPixel(*dst.get(), 3, 4), 0x4444u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 4, 4), 0x10u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 8, 9), 0x4444u);  // past the source's right edge

    // Equal sizes take the plain copy path with the same clipping.
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{8, 8, 12, 10}, src.get(), Rect{0, 0, 4, 2}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 9, 9), 0x10u + 256 + 1);
}

TEST(SurfaceBltStretch, ConvertsBetweenFormats) {
    SurfacePtr src = Make(2, 1, 15), dst = Make(2, 1, 32);
    plat::PutPixel(*src.get(), 0, 0, 0x7C1F);  // 5-5-5 red + blue
    plat::PutPixel(*src.get(), 1, 0, 0x03E0);  // 5-5-5 green (the key)
    plat::SetColorKey(src.get(), 0x03E0);
    plat::FillRect(dst.get(), nullptr, 0x111111);
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{0, 0, 2, 1}, src.get(), Rect{0, 0, 2, 1}, true), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 0, 0), 0xF800F8u);
    EXPECT_EQ(plat::GetPixel(*dst.get(), 1, 0), 0x111111u);
    SurfacePtr wide = Make(1, 1, 16);
    ASSERT_EQ(plat::BltStretch(wide.get(), Rect{0, 0, 1, 1}, src.get(), Rect{1, 0, 2, 1}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*wide.get(), 0, 0), 0x07C0u);  // top bits kept: 31 -> 62
}

// ---- kernels against the reference ----

struct KernelCase {
    int bpp;
    plat::kernels::KernelLevel level;
};

class SurfaceKernels : public ::testing::TestWithParam<KernelCase> {
protected:
    void SetUp() override {
        if (!plat::kernels::UseKernelLevel(GetParam().level)) GTEST_SKIP() << "the processor lacks this level";
    }
    void TearDown() override { plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel()); }
};

// Random pixels drawn from a small set, so that many equal the key.
std::vector<std::uint8_t> RandomPixels(std::mt19937& rng, std::size_t pixels, int bpp, std::uint32_t key) {
    std::vector<std::uint8_t> out(pixels * bpp);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint32_t v = (rng() % 3 == 0) ? key : rng();
        std::memcpy(&out[i * bpp], &v, static_cast<std::size_t>(bpp));
    }
    return out;
}

TEST_P(SurfaceKernels, KeyedAndOpaqueCopiesMatchReference) {
    const int bpp = GetParam().bpp;
    std::mt19937 rng(1234 + bpp);
    const std::uint32_t key = bpp == 4 ? 0x00F0E0D0u : bpp == 3 ? 0xF0E0D0u : 0xF0E0u;
    constexpr int kPitchPixels = 150, kRows = 5;
    const std::ptrdiff_t pitch = kPitchPixels * bpp;
    const std::vector<std::uint8_t> src = RandomPixels(rng, kPitchPixels * kRows, bpp, key);
    const std::vector<std::uint8_t> background = RandomPixels(rng, kPitchPixels * kRows, bpp, key);
    for (int width : {1, 2, 7, 8, 9, 15, 16, 17, 31, 33, 63, 64, 65, 100, 127}) {
        for (int offset : {0, 1, 3, 5}) {
            std::vector<std::uint8_t> fast = background, slow = background;
            plat::kernels::CopyArgs a{fast.data() + offset * bpp, pitch, src.data() + (offset + 2) * bpp, pitch,
                                      width, kRows};
            plat::kernels::CopyArgs r = a;
            r.dst = slow.data() + offset * bpp;
            plat::kernels::KeyedCopy(a, bpp, key);
            plat::kernels::ReferenceKeyedCopy(r, bpp, key);
            ASSERT_EQ(fast, slow) << "keyed width " << width << " offset " << offset;
            plat::kernels::CopyRect(a, bpp);
            plat::kernels::ReferenceCopyRect(r, bpp);
            ASSERT_EQ(fast, slow) << "opaque width " << width << " offset " << offset;
        }
    }
}

TEST_P(SurfaceKernels, FillMatchesReference) {
    const int bpp = GetParam().bpp;
    constexpr int kPitchPixels = 260, kRows = 3;
    const std::ptrdiff_t pitch = kPitchPixels * bpp;
    for (int width : {1, 3, 23, 24, 25, 47, 48, 49, 95, 96, 97, 200, 255}) {
        for (int offset : {0, 1, 2}) {
            std::vector<std::uint8_t> fast(pitch * kRows, 0xEE), slow(pitch * kRows, 0xEE);
            plat::kernels::Fill(fast.data() + offset * bpp, pitch, width, kRows, bpp, 0x12345678u);
            plat::kernels::ReferenceFill(slow.data() + offset * bpp, pitch, width, kRows, bpp, 0x12345678u);
            ASSERT_EQ(fast, slow) << "width " << width << " offset " << offset;
        }
    }
}

using plat::kernels::KernelLevel;

std::string CaseName(const ::testing::TestParamInfo<KernelCase>& info) {
    static const char* names[] = {"sse2", "avx2", "avx512"};
    return std::to_string(info.param.bpp * 8) + "bit_" + names[static_cast<int>(info.param.level)];
}

INSTANTIATE_TEST_SUITE_P(SurfacePixelSizes, SurfaceKernels,
                         ::testing::Values(KernelCase{2, KernelLevel::kSse2}, KernelCase{2, KernelLevel::kAvx2},
                                           KernelCase{2, KernelLevel::kAvx512}, KernelCase{3, KernelLevel::kSse2},
                                           KernelCase{4, KernelLevel::kSse2}, KernelCase{4, KernelLevel::kAvx2},
                                           KernelCase{4, KernelLevel::kAvx512}),
                         CaseName);

}  // namespace
