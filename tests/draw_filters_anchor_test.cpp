// The enlargement and the mosaic keep (x, y) as their anchor when the
// region starts above or left of the screen, so an effect sliding off an
// edge does not jump; the enlargement caps its size after the cut.
#include <cmath>
#include <random>
#include <vector>

#include "draw_fixture.h"

namespace {

class DrawFilterAnchors : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        std::mt19937 rng(31);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) plat::PutPixel(*krScreen.back, x, y, rng() & 0xFFFF);
        before_.resize(800 * 600);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) before_[y * 800 + x] = BackPixel(x, y);
    }
    std::uint32_t Before(int x, int y) const { return before_[static_cast<std::size_t>(y) * 800 + x]; }

    std::vector<std::uint32_t> before_;
};

TEST_F(DrawFilterAnchors, EnlargementLeftOfTheScreenKeepsItsCorner) {
    // 300 columns are on the screen; doubled from x = -700 they start at 700.
    ASSERT_EQ(krDraw::EnlargeRect(-700, 0, 1000, 100, 0), 1);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 800; ++x) {
            const std::uint32_t expected = x >= 700 ? Before((x - 700) / 2, y / 2) : Before(x, y);
            ASSERT_EQ(BackPixel(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(BackPixel(5, 250), Before(5, 250)) << "below the doubled rows nothing changes";
}

TEST_F(DrawFilterAnchors, EnlargementAboveTheScreenKeepsItsCorner) {
    // Rows 0 .. 19 are on the screen; doubled from y = -20 they start at 20.
    ASSERT_EQ(krDraw::EnlargeRect(10, -20, 30, 40, 1), 1);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 80; ++x) {
            const bool inside = x >= 10 && x < 70 && y >= 20 && y < 60;
            std::uint32_t expected = Before(x, y);
            if (inside) expected = (y - 20) % 2 ? 0u : Before(10 + (x - 10) / 2, (y - 20) / 2);
            ASSERT_EQ(BackPixel(x, y), expected) << x << "," << y;
        }
    // So far off that the doubled part lies beyond the screen: nothing shows.
    ASSERT_EQ(krDraw::EnlargeRect(-900, 0, 1000, 10, 0), 1);
    EXPECT_EQ(BackPixel(799, 0), Before(799, 0));
}

TEST_F(DrawFilterAnchors, MosaicCellsStartAtTheAnchor) {
    const int x0 = -3, y0 = -5, cell = 8, right = 17, bottom = 15;
    ASSERT_EQ(krDraw::MosaicRect(x0, y0, right - x0, bottom - y0, cell), 1);
    auto cellStart = [&](int p, int origin) { return origin + cell * ((p - origin) / cell); };
    for (int y = 0; y < bottom; ++y)
        for (int x = 0; x < right; ++x) {
            const int cl = cellStart(x, x0), ct = cellStart(y, y0);
            int sum[3] = {0, 0, 0}, n = 0;
            for (int v = std::max(ct, 0); v < std::min(ct + cell, bottom); ++v)
                for (int u = std::max(cl, 0); u < std::min(cl + cell, right); ++u, ++n) {
                    const std::uint32_t p = Before(u, v);
                    sum[0] += static_cast<int>(p >> 11), sum[1] += static_cast<int>((p >> 6) & 31);
                    sum[2] += static_cast<int>(p & 31);
                }
            const std::uint32_t colour = static_cast<std::uint32_t>((sum[0] / n) << 11 | (sum[1] / n) << 6 | (sum[2] / n));
            const double dx = x - cl - 3.5, dy = y - ct - 3.5;
            ASSERT_EQ(BackPixel(x, y), std::sqrt(dx * dx + dy * dy) <= 4.0 ? colour : 0u) << x << "," << y;
        }
    EXPECT_EQ(BackPixel(right, 0), Before(right, 0));
    EXPECT_EQ(BackPixel(0, bottom), Before(0, bottom));
}

}  // namespace
