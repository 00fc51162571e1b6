// Surfaces: clipping of copies, keyed and overlapping copies, scaled and
// converting copies, the lost state, and the vector kernels of every
// instruction set checked against the per-pixel reference kernels.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/surface.h"

namespace {

using plat::Rect;
using SurfacePtr = std::unique_ptr<plat::Surface, void (*)(plat::Surface*)>;

SurfacePtr Make(int w, int h, int bits = 16) {
    return SurfacePtr(plat::CreateSurface(w, h, plat::FormatForBits(bits)), plat::DestroySurface);
}

// Pixel (x, y) = base + y * 256 + x: every pixel tells where it came from.
void Number(plat::Surface* s, std::uint32_t base) {
    for (int y = 0; y < s->height; ++y)
        for (int x = 0; x < s->width; ++x) plat::PutPixel(*s, x, y, base + static_cast<std::uint32_t>(y * 256 + x));
}

// Expects dst to hold src's pixel (x - dx, y - dy) inside the rectangle
// (x0, y0, x1, y1) of dst and `outside` everywhere else.
void ExpectCopied(const SurfacePtr& dst, int x0, int y0, int x1, int y1, int dx, int dy, std::uint32_t base,
                  std::uint32_t outside = 0) {
    for (int y = 0; y < dst->height; ++y)
        for (int x = 0; x < dst->width; ++x) {
            const bool in = x >= x0 && x < x1 && y >= y0 && y < y1;
            const std::uint32_t want = in ? base + static_cast<std::uint32_t>((y - dy) * 256 + (x - dx)) : outside;
            ASSERT_EQ(plat::GetPixel(*dst, x, y), want) << x << "," << y;
        }
}

TEST(SurfaceBltFast, ClipsTheSourceThenTheDestination) {
    SurfacePtr src = Make(32, 8), dst = Make(40, 20);
    Number(src.get(), 0x100);
    ASSERT_EQ(plat::BltFast(dst.get(), -10, 15, src.get(), Rect{0, 0, 32, 8}, false), plat::DD_OK);
    ExpectCopied(dst, 0, 15, 22, 20, -10, 15, 0x100);

    // A source rectangle reaching outside the source is cut to it, the
    // destination point moving with its left and top edges.
    plat::FillRect(dst.get(), nullptr, 0);
    ASSERT_EQ(plat::BltFast(dst.get(), 0, 0, src.get(), Rect{-4, -2, 40, 100}, false), plat::DD_OK);
    ExpectCopied(dst, 4, 2, 36, 10, 4, 2, 0x100);

    // Far away, extreme or empty rectangles draw nothing; inverted ones are refused.
    plat::FillRect(dst.get(), nullptr, 0);
    EXPECT_EQ(plat::BltFast(dst.get(), 1 << 30, 0, src.get(), Rect{0, 0, 32, 8}, false), plat::DD_OK);
    EXPECT_EQ(plat::BltFast(dst.get(), INT32_MIN, INT32_MIN, src.get(), Rect{INT32_MIN, 0, INT32_MAX, 8}, false),
              plat::DD_OK);
    EXPECT_EQ(plat::BltFast(dst.get(), 0, 0, src.get(), Rect{6, 0, 5, 8}, false), plat::DDERR_INVALIDRECT);
    ExpectCopied(dst, 0, 0, 0, 0, 0, 0, 0);
}

TEST(SurfaceBltFast, KeyedAndOverlappingCopies) {
    for (bool keyed : {false, true}) {
        SurfacePtr s = Make(30, 30), snapshot = Make(30, 30), expected = Make(30, 30);
        Number(s.get(), 1);
        const std::uint32_t key = 3 * 256 + 5 + 1;  // pixel (5, 3)
        plat::SetColorKey(s.get(), key | 0x10000);  // only the format's bits count
        plat::BltFast(snapshot.get(), 0, 0, s.get(), Rect{0, 0, 30, 30}, false);
        plat::BltFast(expected.get(), 0, 0, s.get(), Rect{0, 0, 30, 30}, false);
        plat::SetColorKey(snapshot.get(), key);
        plat::BltFast(expected.get(), 3, 2, snapshot.get(), Rect{0, 0, 20, 20}, keyed);
        EXPECT_EQ(plat::GetPixel(*expected, 8, 5), keyed ? 1u + 5 * 256 + 8 : key);

        // Copying within one surface reads the source as it was before.
        plat::BltFast(s.get(), 3, 2, s.get(), Rect{0, 0, 20, 20}, keyed);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) ASSERT_EQ(plat::GetPixel(*s, x, y), plat::GetPixel(*expected, x, y));
    }
}

TEST(SurfaceLost, RefusedUntilRestored) {
    SurfacePtr a = Make(8, 8), b = Make(8, 8), other = Make(8, 8, 15);
    EXPECT_EQ(plat::BltFast(a.get(), 0, 0, other.get(), Rect{0, 0, 8, 8}, false), plat::DDERR_INVALIDPARAMS);
    plat::FillRect(b.get(), nullptr, 0x1234);
    plat::MarkAllSurfacesLost();
    EXPECT_EQ(plat::BltFast(a.get(), 0, 0, b.get(), Rect{0, 0, 8, 8}, false), plat::DDERR_SURFACELOST);
    EXPECT_EQ(plat::FillRect(a.get(), nullptr, 1), plat::DDERR_SURFACELOST);
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    EXPECT_EQ(plat::Lock(a.get(), &bits, &pitch), plat::DDERR_SURFACELOST);
    for (const SurfacePtr* s : {&a, &b, &other}) EXPECT_EQ(plat::Restore(s->get()), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*b, 3, 3), 0u) << "restored contents are cleared";
    EXPECT_EQ(plat::BltFast(a.get(), 0, 0, b.get(), Rect{0, 0, 8, 8}, false), plat::DD_OK);
}

TEST(SurfaceBltStretch, NearestNeighbourClippedAndKeyed) {
    SurfacePtr src = Make(4, 2), dst = Make(10, 10);
    Number(src.get(), 0x10);
    // Doubling: each source pixel becomes a 2 x 2 block.
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{1, 1, 9, 5}, src.get(), Rect{0, 0, 4, 2}, false), plat::DD_OK);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool in = x >= 1 && x < 9 && y >= 1 && y < 5;
            ASSERT_EQ(plat::GetPixel(*dst, x, y), in ? 0x10u + ((y - 1) / 2) * 256 + (x - 1) / 2 : 0u);
        }
    // A destination partly off the surface keeps its mapping; source pixels
    // outside the source are skipped; the key is honoured.
    plat::FillRect(dst.get(), nullptr, 0x4444);
    plat::SetColorKey(src.get(), 0x10 + 1);
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{-1, 0, 1, 1}, src.get(), Rect{0, 0, 4, 2}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst, 0, 0), 0x12u);
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{0, 2, 10, 8}, src.get(), Rect{-4, 0, 6, 3}, true), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst, 3, 2), 0x4444u);  // source x = -1
    EXPECT_EQ(plat::GetPixel(*dst, 4, 2), 0x10u);
    EXPECT_EQ(plat::GetPixel(*dst, 5, 2), 0x4444u);  // the key
    EXPECT_EQ(plat::GetPixel(*dst, 4, 6), 0x4444u);  // source y = 2
    // Rectangles spanning the whole coordinate range map without overflow.
    const Rect huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_EQ(plat::BltStretch(dst.get(), huge, src.get(), Rect{INT32_MIN, 0, INT32_MAX, 2}, false), plat::DD_OK);
}

TEST(SurfaceBltStretch, ConvertsBetweenFormatsKeepingTopBits) {
    SurfacePtr src = Make(2, 1, 15), dst = Make(2, 1, 32), wide = Make(1, 1, 16);
    plat::PutPixel(*src, 0, 0, 0x7C1F);  // red + blue
    plat::PutPixel(*src, 1, 0, 0x03E0);  // green, the key
    plat::SetColorKey(src.get(), 0x03E0);
    plat::FillRect(dst.get(), nullptr, 0x111111);
    ASSERT_EQ(plat::BltStretch(dst.get(), Rect{0, 0, 2, 1}, src.get(), Rect{0, 0, 2, 1}, true), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*dst, 0, 0), 0xF800F8u);
    EXPECT_EQ(plat::GetPixel(*dst, 1, 0), 0x111111u);
    ASSERT_EQ(plat::BltStretch(wide.get(), Rect{0, 0, 1, 1}, src.get(), Rect{1, 0, 2, 1}, false), plat::DD_OK);
    EXPECT_EQ(plat::GetPixel(*wide, 0, 0), 0x07C0u);  // 5-bit 31 -> 6-bit 62
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

// Random pixels of which about a third equal the key.
std::vector<std::uint8_t> RandomPixels(std::mt19937& rng, std::size_t pixels, int bpp, std::uint32_t key) {
    std::vector<std::uint8_t> out(pixels * bpp);
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint32_t v = (rng() % 3 == 0) ? key : rng();
        std::memcpy(&out[i * bpp], &v, static_cast<std::size_t>(bpp));
    }
    return out;
}

TEST_P(SurfaceKernels, CopiesAndFillsMatchTheReference) {
    const int bpp = GetParam().bpp;
    std::mt19937 rng(1234 + bpp);
    const std::uint32_t key = 0x00F0E0D0u & ((bpp == 4) ? ~0u : (1u << (8 * bpp)) - 1u);
    constexpr int kPitchPixels = 150, kRows = 5;
    const std::ptrdiff_t pitch = kPitchPixels * bpp;
    const std::vector<std::uint8_t> src = RandomPixels(rng, kPitchPixels * kRows, bpp, key);
    const std::vector<std::uint8_t> background = RandomPixels(rng, kPitchPixels * kRows, bpp, key);
    for (int width : {1, 2, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 127}) {
        for (int offset : {0, 1, 3, 5}) {
            std::vector<std::uint8_t> fast = background, slow = background;
            plat::kernels::CopyArgs a{fast.data() + offset * bpp, pitch, src.data() + (offset + 2) * bpp, pitch,
                                      width, kRows};
            plat::kernels::CopyArgs r = a;
            r.dst = slow.data() + offset * bpp;
            plat::kernels::KeyedCopy(a, bpp, key);
            plat::kernels::ReferenceKeyedCopy(r, bpp, key);
            ASSERT_EQ(fast, slow) << "keyed, width " << width << " offset " << offset;
            plat::kernels::CopyRect(a, bpp);
            plat::kernels::ReferenceCopyRect(r, bpp);
            ASSERT_EQ(fast, slow) << "opaque, width " << width << " offset " << offset;
            plat::kernels::Fill(a.dst, pitch, width, kRows, bpp, 0x12345678u);
            plat::kernels::ReferenceFill(r.dst, pitch, width, kRows, bpp, 0x12345678u);
            ASSERT_EQ(fast, slow) << "fill, width " << width << " offset " << offset;
        }
    }
}

// Pictures of runs, as keyed pictures are: the key and opaque pixels in
// runs of 1 to 90, so that rows hold blocks of nothing but the key, blocks
// without it and blocks where the two meet, at every width and offset.
TEST_P(SurfaceKernels, KeyedCopyOfRunsMatchesTheReference) {
    const int bpp = GetParam().bpp;
    std::mt19937 rng(4321 + bpp);
    const std::uint32_t key = 0x00F0E0D0u & ((bpp == 4) ? ~0u : (1u << (8 * bpp)) - 1u);
    constexpr int kPitchPixels = 260, kRows = 6;
    const std::ptrdiff_t pitch = kPitchPixels * bpp;
    std::vector<std::uint8_t> src(static_cast<std::size_t>(kPitchPixels) * kRows * bpp);
    for (std::size_t i = 0, run = 0; i < src.size() / bpp; ++run) {
        const std::size_t length = 1 + rng() % (run % 3 == 0 ? 4 : 90);
        for (std::size_t j = 0; j < length && i < src.size() / bpp; ++j, ++i) {
            std::uint32_t v = rng();
            if (run % 2 == 0) v = key;
            else if ((v & ((bpp == 4) ? ~0u : (1u << (8 * bpp)) - 1u)) == key) v ^= 1;
            std::memcpy(&src[i * bpp], &v, static_cast<std::size_t>(bpp));
        }
    }
    const std::vector<std::uint8_t> background = RandomPixels(rng, kPitchPixels * kRows, bpp, key);
    for (int width = 1; width <= 250; width += (width < 70 ? 1 : 17)) {
        for (int offset : {0, 3}) {
            std::vector<std::uint8_t> fast = background, slow = background;
            plat::kernels::CopyArgs a{fast.data() + offset * bpp, pitch, src.data() + (offset + 7) * bpp, pitch,
                                      width, kRows};
            plat::kernels::CopyArgs r = a;
            r.dst = slow.data() + offset * bpp;
            plat::kernels::KeyedCopy(a, bpp, key);
            plat::kernels::ReferenceKeyedCopy(r, bpp, key);
            ASSERT_EQ(fast, slow) << "width " << width << " offset " << offset;
        }
    }
}

// Glyph ink: rows of up to 64 pixels, a bit a pixel. Edge rows put runs
// across the places where the fast kernels split a row (8, 16, 32 and 48
// pixels) and at both ends; the rest are random.
TEST_P(SurfaceKernels, MaskedFillWritesTheSetBitsAndNothingElse) {
    const int bpp = GetParam().bpp;
    std::mt19937_64 rng(99 + bpp);
    std::vector<std::uint64_t> masks = {0,
                                        ~std::uint64_t{0},
                                        1,
                                        std::uint64_t{1} << 63,
                                        0xFFFF,
                                        0x1FFFF,
                                        0xFF00,
                                        0x0001'8000,
                                        0xFFFF'FFFF,
                                        0x1'0000'0000,
                                        0x0000'0001'8000'0000,
                                        0x8000'0000'0000'0001,
                                        0x00FF'FF00'0000'0000,
                                        0x0001'0000'0000'0000};
    for (int k = 0; k < 40; ++k) masks.push_back(k % 2 ? rng() & rng() : rng() >> (rng() % 64));
    const int rows = static_cast<int>(masks.size());
    constexpr int kPitchPixels = 80;
    const std::ptrdiff_t pitch = kPitchPixels * bpp;
    std::mt19937 pixelRng(7);
    const std::vector<std::uint8_t> background =
        RandomPixels(pixelRng, static_cast<std::size_t>(kPitchPixels) * rows, bpp, 0);
    for (int offset : {0, 1, 5, 16}) {
        std::vector<std::uint8_t> fast = background, slow = background;
        plat::kernels::MaskedFill(fast.data() + offset * bpp, pitch, masks.data(), rows, bpp, 0x00A5C3E7u);
        plat::kernels::ReferenceMaskedFill(slow.data() + offset * bpp, pitch, masks.data(), rows, bpp, 0x00A5C3E7u);
        ASSERT_EQ(fast, slow) << "offset " << offset;
    }
}

using plat::kernels::KernelLevel;

std::string CaseName(const ::testing::TestParamInfo<KernelCase>& info) {
    static const char* names[] = {"portable", "sse2", "avx2", "avx512"};
    return std::to_string(info.param.bpp * 8) + "bit_" + names[static_cast<int>(info.param.level) + 1];
}

INSTANTIATE_TEST_SUITE_P(SurfacePixelSizes, SurfaceKernels,
                         ::testing::Values(KernelCase{2, KernelLevel::kSse2}, KernelCase{2, KernelLevel::kAvx2},
                                           KernelCase{2, KernelLevel::kAvx512}, KernelCase{3, KernelLevel::kSse2},
                                           KernelCase{4, KernelLevel::kSse2}, KernelCase{4, KernelLevel::kAvx2},
                                           KernelCase{4, KernelLevel::kAvx512}, KernelCase{2, KernelLevel::kPortable},
                                           KernelCase{3, KernelLevel::kPortable}, KernelCase{4, KernelLevel::kPortable}),
                         CaseName);

}  // namespace
