// Screen-region filters against per-pixel models of their rules on random
// 5-6-5 pictures, regions cut at the screen's edges, and the same filters
// on deeper displays reduced to 5 bits; and the inverted rectangle.
#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "draw_fixture.h"

namespace {

// 5-bit components of a 5-6-5 pixel, and back (green's lowest bit 0).
struct C5 {
    int c[3];
};
C5 Split(std::uint32_t p) { return {{static_cast<int>(p >> 11), static_cast<int>((p >> 6) & 31), static_cast<int>(p & 31)}}; }
constexpr std::uint32_t kField[3] = {0xF800, 0x07E0, 0x001F};
constexpr int kShift[3] = {11, 6, 0};
std::uint32_t WithComponent(std::uint32_t p, int c, int v) {
    return (p & ~kField[c]) | (static_cast<std::uint32_t>(v) << kShift[c]);
}

class DrawFilters : public DrawTest {
protected:
    void Start(int bits = 16) {
        if (bits != 16) setenv("KR_DESKTOP_BITS", std::to_string(bits).c_str(), 1);
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    }

    void RandomScreen(unsigned seed) {
        std::mt19937 rng(seed);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) plat::PutPixel(*krScreen.back, x, y, rng() & 0xFFFF);
    }

    // Pixels whose 8-bit components are 5-bit exact (low three bits 0), so
    // that every depth holds the same picture.
    void ExactScreen(unsigned seed) {
        std::mt19937 rng(seed);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                plat::PutPixel(*krScreen.back, x, y,
                               plat::MapRGB(krScreen.back->format, static_cast<std::uint8_t>((rng() % 32) * 8),
                                            static_cast<std::uint8_t>((rng() % 32) * 8),
                                            static_cast<std::uint8_t>((rng() % 32) * 8)));
    }

    static std::vector<std::uint32_t> Grab() {
        std::vector<std::uint32_t> pixels(800 * 600);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) pixels[y * 800 + x] = BackPixel(x, y);
        return pixels;
    }

    static std::vector<std::uint32_t> Reduced(int x0, int y0, int w, int h) {
        std::vector<std::uint32_t> out;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                std::uint8_t r, g, b;
                plat::UnmapRGB(krScreen.back->format, BackPixel(x, y), r, g, b);
                out.push_back(static_cast<std::uint32_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3)));
            }
        return out;
    }

    // The smoothing rule on a copy of the screen, region already inside it.
    static void ModelSmooth(std::vector<std::uint32_t>& s, int x0, int y0, int w, int h, unsigned flags) {
        for (int y = y0 + 1; y < y0 + h - 1; ++y)
            for (int x = x0 + 1; x < x0 + w - 1; ++x) {
                const C5 l = Split(s[y * 800 + x - 1]), r = Split(s[y * 800 + x + 1]);
                const C5 u = Split(s[(y - 1) * 800 + x]), d = Split(s[(y + 1) * 800 + x]);
                for (int c = 0; c < 3; ++c)
                    if (flags & (1u << c))
                        s[y * 800 + x] = WithComponent(s[y * 800 + x], c, (l.c[c] + r.c[c] + u.c[c] + d.c[c]) >> 2);
            }
    }

    static void ExpectSame(const std::vector<std::uint32_t>& actual, const std::vector<std::uint32_t>& expected) {
        for (std::size_t i = 0; i < actual.size(); ++i)
            ASSERT_EQ(actual[i], expected[i]) << "pixel " << i % 800 << "," << i / 800;
    }
};

TEST_F(DrawFilters, SmoothingRunsOnInReadingOrder) {
    Start();
    RandomScreen(1);
    std::vector<std::uint32_t> model = Grab();
    ASSERT_EQ(krDraw::SmoothRect(10, 20, 203, 50), 1);
    ModelSmooth(model, 10, 20, 203, 50, 7);
    ExpectSame(Grab(), model);

    // Only green; red and blue keep their bits.
    ASSERT_EQ(krDraw::SmoothRectRGB(300, 100, 61, 40, 0, 1, 0), 1);
    ModelSmooth(model, 300, 100, 61, 40, 2);
    ExpectSame(Grab(), model);
    ASSERT_EQ(krDraw::SmoothRectRGB(300, 100, 61, 40, 1, 0, 1), 1);
    ModelSmooth(model, 300, 100, 61, 40, 5);
    ExpectSame(Grab(), model);

    // A region over the edge is the region cut to the screen.
    ASSERT_EQ(krDraw::SmoothRect(700, 550, 300, 300), 1);
    ModelSmooth(model, 700, 550, 100, 50, 7);
    ASSERT_EQ(krDraw::SmoothRect(-50, -50, 80, 90), 1);
    ModelSmooth(model, 0, 0, 30, 40, 7);
    ExpectSame(Grab(), model);

    // Nothing inside the screen, or no size: nothing changes, not a failure.
    EXPECT_EQ(krDraw::SmoothRect(800, 0, 50, 50), 1);
    EXPECT_EQ(krDraw::SmoothRect(10, 10, -5, 50), 1);
    EXPECT_EQ(krDraw::SmoothRect(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX), 1);
    EXPECT_EQ(krDraw::SmoothRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), 1);
    ExpectSame(Grab(), model);
}

TEST_F(DrawFilters, SmokeRisesAsCopiesAndAverages) {
    Start();
    RandomScreen(2);
    const std::vector<std::uint32_t> before = Grab();
    const int x0 = 100, y0 = 100, w = 60, h = 30;
    ASSERT_EQ(krDraw::SmokeRect(x0, y0, w, h), 1);
    const std::vector<std::uint32_t> after = Grab();
    int copies = 0, sinceCopy = 0;
    for (int y = y0 + 1; y < y0 + h - 1; ++y)
        for (int x = x0 + 1; x < x0 + w - 1; ++x) {
            const std::uint32_t got = after[(y - 1) * 800 + x];
            std::uint32_t copy = before[y * 800 + x], average = 0;
            const C5 l = Split(before[y * 800 + x - 1]), r = Split(before[y * 800 + x + 1]);
            const C5 u = Split(before[(y - 1) * 800 + x]), d = Split(before[(y + 1) * 800 + x]), p = Split(copy);
            for (int c = 0; c < 3; ++c) {
                copy = WithComponent(copy, c, p.c[c]);
                average = WithComponent(average, c, (l.c[c] + r.c[c] + u.c[c] + d.c[c]) >> 2);
            }
            ASSERT_TRUE(got == copy || got == average) << x << "," << y;
            if (got == copy) {
                ++copies;
                sinceCopy = 0;
            } else {
                ASSERT_LE(++sinceCopy, 2) << "a table entry is at most 2";
            }
        }
    EXPECT_GT(copies, 300);
    // The region's last row and the pixels around it stay.
    for (int x = 0; x < 800; ++x) ASSERT_EQ(after[(y0 + h - 2) * 800 + x], before[(y0 + h - 2) * 800 + x]);

    // With flags only blue moves up; red and green keep their bits.
    RandomScreen(3);
    const std::vector<std::uint32_t> again = Grab();
    ASSERT_EQ(krDraw::SmokeRectRGB(x0, y0, w, h, 0, 0, 1), 1);
    for (int y = y0; y < y0 + h - 2; ++y)
        for (int x = x0 + 1; x < x0 + w - 1; ++x)
            ASSERT_EQ(BackPixel(x, y) & 0xFFE0u, again[y * 800 + x] & 0xFFE0u) << x << "," << y;
    EXPECT_EQ(krDraw::SmokeRect(-100, -100, 50, 50), 1);
}

// The smoke's copies follow the screen's random table exactly: from some
// table position and counter on, a pixel is a copy whenever the counter has
// reached the current entry (which then moves on), else an average.
TEST_F(DrawFilters, SmokeCopiesFollowTheRandomTable) {
    Start();
    const std::vector<std::uint8_t>& table = krScreen.randomTable;
    ASSERT_EQ(table.size(), 10000u);
    RandomScreen(12);
    const std::vector<std::uint32_t> before = Grab();
    const int x0 = 200, y0 = 200, w = 50, h = 20;
    ASSERT_EQ(krDraw::SmokeRect(x0, y0, w, h), 1);
    const std::vector<std::uint32_t> after = Grab();
    std::vector<int> kinds;  // 0 an average, 1 a copy, 2 both agree
    for (int y = y0 + 1; y < y0 + h - 1; ++y)
        for (int x = x0 + 1; x < x0 + w - 1; ++x) {
            std::uint32_t copy = before[y * 800 + x], average = 0;
            const C5 l = Split(before[y * 800 + x - 1]), r = Split(before[y * 800 + x + 1]);
            const C5 u = Split(before[(y - 1) * 800 + x]), d = Split(before[(y + 1) * 800 + x]), p = Split(copy);
            for (int c = 0; c < 3; ++c) {
                copy = WithComponent(copy, c, p.c[c]);
                average = WithComponent(average, c, (l.c[c] + r.c[c] + u.c[c] + d.c[c]) >> 2);
            }
            const std::uint32_t got = after[(y - 1) * 800 + x];
            ASSERT_TRUE(got == copy || got == average) << x << "," << y;
            kinds.push_back(copy == average ? 2 : got == copy ? 1 : 0);
        }
    // A start explains the region when every pixel agrees, or, past the
    // table's end (a random restart), every pixel of a long enough run.
    auto explains = [&](int position, int counter) {
        int checked = 0;
        for (const int kind : kinds) {
            if (position > 9999) return checked >= 64;
            const bool copy = counter >= table[static_cast<std::size_t>(position)];
            if (kind != 2 && kind != (copy ? 1 : 0)) return false;
            if (copy) counter = 0, ++position;
            else ++counter;
            ++checked;
        }
        return true;
    };
    int starts = 0;
    for (int position = 0; position < 10000; ++position)
        for (int counter = 0; counter <= 2; ++counter) starts += explains(position, counter);
    EXPECT_GE(starts, 1) << "no table position and counter give these copies";
}

TEST_F(DrawFilters, EnlargementDoublesIntoTheBufferAndBack) {
    Start();
    RandomScreen(4);
    const std::vector<std::uint32_t> before = Grab();
    ASSERT_EQ(krDraw::EnlargeRect(10, 20, 30, 15, 0), 1);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool inside = x >= 10 && x < 70 && y >= 20 && y < 50;
            const std::uint32_t expected = inside ? before[(20 + (y - 20) / 2) * 800 + 10 + (x - 10) / 2] : before[y * 800 + x];
            ASSERT_EQ(BackPixel(x, y), expected) << x << "," << y;
        }
    RandomScreen(5);
    const std::vector<std::uint32_t> second = Grab();
    ASSERT_EQ(krDraw::EnlargeRect(100, 100, 20, 10, 1), 1);
    for (int y = 100; y < 120; ++y)
        for (int x = 100; x < 140; ++x) {
            const std::uint32_t expected = (y - 100) % 2 ? 0u : second[(100 + (y - 100) / 2) * 800 + 100 + (x - 100) / 2];
            ASSERT_EQ(BackPixel(x, y), expected) << x << "," << y;
        }
    // Near the edge the doubled picture is clipped; a whole-screen region
    // is cut to what the Buffer sprite holds twice.
    EXPECT_EQ(krDraw::EnlargeRect(780, 590, 40, 40, 0), 1);
    EXPECT_EQ(krDraw::EnlargeRect(0, 0, 800, 600, 0), 1);
    EXPECT_EQ(krDraw::EnlargeRect(0, 0, 0, 600, 0), 1);
}

TEST_F(DrawFilters, MosaicMakesDiscsOfTheCellAverage) {
    Start();
    RandomScreen(6);
    const std::vector<std::uint32_t> before = Grab();
    const int x0 = 50, y0 = 40, w = 37, h = 23, cell = 8;  // partial cells at the right and bottom
    ASSERT_EQ(krDraw::MosaicRect(x0, y0, w, h, cell), 1);
    for (int ct = 0; ct < h; ct += cell)
        for (int cl = 0; cl < w; cl += cell) {
            int sum[3] = {0, 0, 0}, n = 0;
            for (int y = ct; y < std::min(h, ct + cell); ++y)
                for (int x = cl; x < std::min(w, cl + cell); ++x, ++n) {
                    const C5 p = Split(before[(y0 + y) * 800 + x0 + x]);
                    for (int c = 0; c < 3; ++c) sum[c] += p.c[c];
                }
            const std::uint32_t colour = static_cast<std::uint32_t>((sum[0] / n) << 11 | (sum[1] / n) << 6 | (sum[2] / n));
            for (int y = ct; y < std::min(h, ct + cell); ++y)
                for (int x = cl; x < std::min(w, cl + cell); ++x) {
                    const double dx = x - cl - 3.5, dy = y - ct - 3.5;
                    const bool disc = dx * dx + dy * dy <= 16.0;
                    ASSERT_EQ(BackPixel(x0 + x, y0 + y), disc ? colour : 0u) << x << "," << y;
                }
        }
    EXPECT_EQ(BackPixel(x0 + w, y0), before[y0 * 800 + x0 + w]);
    EXPECT_EQ(krDraw::MosaicRect(0, 0, 10, 10, 0), 0) << "a cell of no size is refused";
    EXPECT_EQ(krDraw::MosaicRect(0, 0, 10, 10, -3), 0);
    EXPECT_EQ(krDraw::MosaicRect(0, 0, 10, 10, INT32_MAX), 1);
}

TEST_F(DrawFilters, NoiseMovesEveryComponentByTheSameStep) {
    Start();
    RandomScreen(7);
    const std::vector<std::uint32_t> before = Grab();
    ASSERT_EQ(krDraw::NoiseRect(0, 0, 100, 50, 2), 1);
    int changed = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            const C5 was = Split(before[y * 800 + x]), now = Split(BackPixel(x, y));
            // The step is -4, 0 or +4, the same for the three components
            // unless a component hit 0 or 31.
            bool fits = false;
            for (int step : {-4, 0, 4}) {
                bool all = true;
                for (int c = 0; c < 3; ++c) all = all && now.c[c] == std::clamp(was.c[c] + step, 0, 31);
                fits = fits || all;
            }
            ASSERT_TRUE(fits) << x << "," << y;
            changed += now.c[0] != was.c[0];
        }
    EXPECT_GT(changed, 2000);
    EXPECT_EQ(BackPixel(100, 0), before[100]);

    RandomScreen(8);
    const std::vector<std::uint32_t> again = Grab();
    ASSERT_EQ(krDraw::NoiseRectRGB(0, 0, 100, 50, 40, 1, 0, 0), 1) << "a shift beyond the bits saturates";
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            ASSERT_EQ(BackPixel(x, y) & 0x07FFu, again[y * 800 + x] & 0x07FFu);
            const int red = static_cast<int>(BackPixel(x, y) >> 11);
            ASSERT_TRUE(red == 0 || red == 31 || red == static_cast<int>(again[y * 800 + x] >> 11));
        }
    EXPECT_EQ(krDraw::NoiseRect(0, 0, 10, 10, -7), 1);
}

TEST_F(DrawFilters, DeeperDisplaysAgreeWhereTheRuleIsExact) {
    // Smoothing of three rows (one chained term per sum), the mosaic's
    // averages and the enlargement are exact under the reduction to 5 bits.
    auto run = [] {
        krDraw::SmoothRect(10, 10, 300, 3);
        krDraw::MosaicRect(10, 100, 90, 50, 6);
        krDraw::EnlargeRect(200, 100, 40, 30, 1);
    };
    Start(16);
    ExactScreen(9);
    run();
    const std::vector<std::uint32_t> smooth16 = Reduced(0, 0, 400, 200);
    for (int bits : {15, 24, 32}) {
        TearDown();
        SetUp();
        Start(bits);
        ExactScreen(9);
        run();
        EXPECT_EQ(Reduced(0, 0, 400, 200), smooth16) << bits << " bits";
        // The other filters run on every depth without leaving the region.
        EXPECT_EQ(krDraw::SmoothRectRGB(700, 500, 200, 200, 1, 0, 1), 1);
        EXPECT_EQ(krDraw::SmokeRectRGB(700, 500, 200, 200, 1, 1, 0), 1);
        EXPECT_EQ(krDraw::NoiseRectRGB(700, 500, 200, 200, 3, 0, 1, 1), 1);
    }
}

TEST_F(DrawFilters, InvertedRectangle) {
    Start();
    RandomScreen(10);
    const std::vector<std::uint32_t> before = Grab();
    krScreen.clip = plat::Rect{0, 0, 10, 10};  // GDI does not know the clip rectangle
    ASSERT_EQ(krDraw::InvertRect(20, 30, 60, 50), 1);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool inside = x >= 20 && x < 60 && y >= 30 && y < 50;
            ASSERT_EQ(BackPixel(x, y), before[y * 800 + x] ^ (inside ? 0xFFFFu : 0u)) << x << "," << y;
        }
    krDraw::InvertRect(20, 30, 60, 50);
    EXPECT_EQ(Grab(), before);
    EXPECT_EQ(krDraw::InvertRect(-100, -100, 2000, 2000), 1);
}

}  // namespace
