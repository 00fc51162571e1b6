// The drawing canvas on plain surfaces: line end points, rectangles, filled
// and hatched polygons, Bezier chains, pixels, inversion and scaled copies.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <set>
#include <utility>

#include "platform/pixels/canvas.h"

namespace {

using plat::Canvas;
using plat::Point;

// Colours whose components every pixel format holds exactly.
constexpr std::uint32_t kRed = 0x0000C0, kGreen = 0x00C000, kBlue = 0xC00000, kWhite = 0xC0C0C0;

struct SurfaceOwner {
    explicit SurfaceOwner(int bits, int w = 64, int h = 48) : s(plat::CreateSurface(w, h, plat::FormatForBits(bits))) {}
    ~SurfaceOwner() { plat::DestroySurface(s); }
    plat::Surface* s;
};

class CanvasTest : public ::testing::TestWithParam<int> {
protected:
    CanvasTest() : owner(GetParam()), dc(owner.s) {}
    // Pixels (x, y) that hold the colour.
    std::set<std::pair<int, int>> PixelsOf(std::uint32_t color) const {
        std::set<std::pair<int, int>> out;
        for (int y = 0; y < owner.s->height; ++y)
            for (int x = 0; x < owner.s->width; ++x)
                if (dc.GetPixel(x, y) == color) out.insert({x, y});
        return out;
    }
    SurfaceOwner owner;
    Canvas dc;
};

INSTANTIATE_TEST_SUITE_P(CanvasDepths, CanvasTest, ::testing::Values(15, 16, 24, 32));

TEST_P(CanvasTest, ThinLinesLeaveTheirEndPointUndrawn) {
    dc.SelectPen(plat::Pen::Solid(kWhite, 1));
    dc.MoveTo(2, 3);
    dc.LineTo(12, 3);
    dc.LineTo(12, 10);
    dc.LineTo(5, 3);  // diagonal back towards the first line
    std::set<std::pair<int, int>> expected;
    for (int x = 2; x < 12; ++x) expected.insert({x, 3});
    for (int y = 3; y < 10; ++y) expected.insert({12, y});
    for (int i = 0; i < 7; ++i) expected.insert({12 - i, 10 - i});
    EXPECT_EQ(PixelsOf(kWhite), expected);
    EXPECT_EQ(dc.MoveTo(0, 0).x, 5) << "LineTo moves the current position";
}

TEST_P(CanvasTest, ThinLinesLeaveOutAnEndPointThatNothingElseLights) {
    // Every end point here lies on no other segment, so each one drawn
    // would show as an extra pixel.
    dc.SelectPen(plat::Pen::Solid(kWhite, 1));
    dc.MoveTo(4, 4);
    dc.LineTo(9, 4);    // right
    dc.LineTo(9, 12);   // down
    dc.LineTo(20, 15);  // shallow down-right, ending alone
    const std::set<std::pair<int, int>> lit = PixelsOf(kWhite);
    EXPECT_EQ(lit.count({9, 4}), 1u) << "the first end point is the second line's start";
    EXPECT_EQ(lit.count({20, 15}), 0u) << "the last end point stays dark";
    EXPECT_EQ(lit.size(), 5u + 8u + 11u);
    plat::FillRect(owner.s, nullptr, 0);
    for (const auto& [x1, y1, x2, y2] : {std::array{30, 30, 30, 31}, std::array{30, 40, 41, 37}, std::array{40, 20, 35, 30}}) {
        dc.MoveTo(x1, y1);
        dc.LineTo(x2, y2);
        EXPECT_EQ(PixelsOf(kWhite).count({x2, y2}), 0u) << x2 << "," << y2;
        EXPECT_EQ(PixelsOf(kWhite).count({x1, y1}), 1u) << x1 << "," << y1;
        plat::FillRect(owner.s, nullptr, 0);
    }
}

TEST_P(CanvasTest, ThinLinesWithFarEndPointsDrawOnlyTheirVisiblePart) {
    // Far-away points must be clipped, not walked, and land on the same
    // pixels as the near line they contain.
    dc.SelectPen(plat::Pen::Solid(kWhite, 0));
    dc.MoveTo(INT_MIN / 2, 20);
    dc.LineTo(INT_MAX / 2, 20);
    EXPECT_EQ(PixelsOf(kWhite).size(), 64u);
    plat::FillRect(owner.s, nullptr, 0);
    dc.MoveTo(-1000000, -1000000);
    dc.LineTo(1000000, 1000000);
    std::set<std::pair<int, int>> diagonal;
    for (int i = 0; i < 48; ++i) diagonal.insert({i, i});
    EXPECT_EQ(PixelsOf(kWhite), diagonal);
}

TEST_P(CanvasTest, WidePensAreCentredAndRound) {
    dc.SelectPen(plat::Pen::Solid(kRed, 3));
    dc.MoveTo(10, 20);
    dc.LineTo(30, 20);
    const auto px = PixelsOf(kRed);
    for (int x = 10; x <= 30; ++x)
        for (int y = 19; y <= 21; ++y) EXPECT_TRUE(px.count({x, y})) << x << "," << y;
    EXPECT_FALSE(px.count({20, 18}));
    EXPECT_FALSE(px.count({20, 22}));
    EXPECT_TRUE(px.count({9, 20})) << "the cap reaches past the end points";
    EXPECT_FALSE(px.count({8, 20}));

    plat::FillRect(owner.s, nullptr, 0);
    dc.SelectPen(plat::Pen::Solid(kRed, 7));
    dc.LineTo(40, 20);  // from (30, 20), the current position
    const auto wide = PixelsOf(kRed);
    EXPECT_TRUE(wide.count({43, 20}) && wide.count({40, 17}));
    EXPECT_FALSE(wide.count({43, 17})) << "round caps leave the corners out";
}

TEST_P(CanvasTest, RectangleOutlinesItsBoxAndFillsInside) {
    dc.SelectPen(plat::Pen::Solid(kRed, 1));
    dc.SelectBrush(plat::Brush::Solid(kGreen));
    dc.Rectangle(20, 10, 10, 18);  // left and right given the wrong way round
    for (int y = 9; y <= 18; ++y) {
        for (int x = 9; x <= 20; ++x) {
            const bool inBox = x >= 10 && x < 20 && y >= 10 && y < 18;
            const bool edge = x == 10 || x == 19 || y == 10 || y == 17;
            const std::uint32_t want = !inBox ? 0 : edge ? kRed : kGreen;
            EXPECT_EQ(dc.GetPixel(x, y), want) << x << "," << y;
        }
    }
}

TEST_P(CanvasTest, RectangleWithoutPenFillsOnePixelLessAndWidePensStraddleTheEdge) {
    dc.SelectPen(plat::Pen::None());
    dc.SelectBrush(plat::Brush::Solid(kGreen));
    dc.Rectangle(0, 0, 10, 5);
    EXPECT_EQ(PixelsOf(kGreen).size(), 9u * 4u);
    EXPECT_EQ(dc.GetPixel(9, 0), 0u);

    plat::FillRect(owner.s, nullptr, 0);
    dc.SelectPen(plat::Pen::Solid(kRed, 3));
    dc.SelectBrush(plat::Brush::None());
    dc.Rectangle(10, 10, 30, 30);  // outline runs along columns 10 and 29
    for (int x : {9, 10, 11, 28, 29, 30}) EXPECT_EQ(dc.GetPixel(x, 20), kRed) << x;
    for (int x : {8, 12, 27, 31}) EXPECT_EQ(dc.GetPixel(x, 20), 0u) << x;
    EXPECT_EQ(dc.GetPixel(9, 9), kRed) << "square corners";
}

TEST_P(CanvasTest, HollowPolygonDrawsTheClosedOutlineOnly) {
    plat::FillRect(owner.s, nullptr, plat::MapColorRef(owner.s->format, kBlue));
    dc.SelectPen(plat::Pen::Solid(kWhite, 1));
    dc.SelectBrush(plat::Brush::None());
    const Point square[] = {{5, 5}, {15, 5}, {15, 15}, {5, 15}};
    ASSERT_TRUE(dc.Polygon(square, 4));
    EXPECT_EQ(PixelsOf(kWhite).size(), 40u) << "every edge with its corners, the closing edge included";
    EXPECT_EQ(dc.GetPixel(15, 15), kWhite);
    EXPECT_EQ(dc.GetPixel(10, 10), kBlue);
    EXPECT_FALSE(dc.Polygon(square, 1));
}

TEST_P(CanvasTest, HatchedPolygonGapsAreBackColouredOrLeftAlone) {
    const Point square[] = {{0, 0}, {16, 0}, {16, 16}, {0, 16}};
    dc.SelectPen(plat::Pen::None());
    dc.SelectBrush(plat::Brush::Hatched(kRed));
    plat::FillRect(owner.s, nullptr, plat::MapColorRef(owner.s->format, kBlue));
    dc.SetBkColor(kGreen);
    dc.Polygon(square, 4);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool line = (x & 7) == (y & 7) || (x & 7) == 7 - (y & 7);
            EXPECT_EQ(dc.GetPixel(x, y), line ? kRed : kGreen) << x << "," << y;
        }
    }
    EXPECT_EQ(dc.GetPixel(16, 3), kBlue) << "the right edge is outside the fill";

    plat::FillRect(owner.s, nullptr, plat::MapColorRef(owner.s->format, kBlue));
    dc.SetBkMode(plat::TRANSPARENT);
    dc.Polygon(square, 4);
    EXPECT_EQ(dc.GetPixel(1, 1), kRed);
    EXPECT_EQ(dc.GetPixel(1, 0), kBlue);
    EXPECT_EQ(PixelsOf(kRed).size(), 16u * 4u);
}

TEST_P(CanvasTest, FillModeDecidesTheCentreOfAStar) {
    const Point star[] = {{30, 2}, {42, 40}, {10, 16}, {50, 16}, {18, 40}};
    dc.SelectPen(plat::Pen::None());
    dc.SelectBrush(plat::Brush::Solid(kGreen));
    dc.Polygon(star, 5);
    EXPECT_EQ(dc.GetPixel(30, 24), 0u) << "alternate leaves the doubly covered centre empty";
    EXPECT_EQ(dc.GetPixel(30, 8), kGreen);
    dc.SetPolyFillMode(plat::WINDING);
    dc.Polygon(star, 5);
    EXPECT_EQ(dc.GetPixel(30, 24), kGreen);
}

TEST_P(CanvasTest, BezierChainsNeedOnePlusThreePointsPerCurve) {
    dc.SelectPen(plat::Pen::Solid(kWhite, 1));
    const Point straight[] = {{0, 5}, {10, 5}, {20, 5}, {30, 5}, {40, 5}, {50, 5}, {60, 5}};
    EXPECT_FALSE(dc.PolyBezier(straight, 3));
    EXPECT_FALSE(dc.PolyBezier(straight, 5));
    EXPECT_TRUE(PixelsOf(kWhite).empty());
    ASSERT_TRUE(dc.PolyBezier(straight, 7));
    const auto px = PixelsOf(kWhite);
    EXPECT_EQ(px.size(), 60u);
    EXPECT_TRUE(px.count({0, 5}) && px.count({59, 5}));

    plat::FillRect(owner.s, nullptr, 0);
    const Point arch[] = {{4, 40}, {4, 4}, {56, 4}, {56, 40}};
    dc.PolyBezier(arch, 4);
    EXPECT_EQ(dc.GetPixel(4, 40), kWhite);
    EXPECT_EQ(dc.GetPixel(30, 13), kWhite) << "the top of the arch lies at y = 40 - 0.75 * 36";
    EXPECT_EQ(dc.GetPixel(30, 40), 0u);
}

TEST_P(CanvasTest, PixelsReadBackWithTheSurfacesPrecision) {
    const std::uint32_t stored = dc.SetPixel(3, 4, 0x336699);
    EXPECT_EQ(dc.GetPixel(3, 4), stored);
    switch (GetParam()) {
        case 15: EXPECT_EQ(stored, 0x306098u); break;
        case 16: EXPECT_EQ(stored, 0x306498u); break;
        default: EXPECT_EQ(stored, 0x336699u); break;
    }
    dc.SetPixel(0, 0, 0xFFFFFF);
    EXPECT_EQ(dc.GetPixel(0, 0), GetParam() <= 16 ? (GetParam() == 15 ? 0xF8F8F8u : 0xF8FCF8u) : 0xFFFFFFu);
    EXPECT_EQ(dc.SetPixel(-1, 0, kWhite), plat::CLR_INVALID);
    EXPECT_EQ(dc.GetPixel(64, 0), plat::CLR_INVALID);
    EXPECT_EQ(dc.GetPixel(0, 48), plat::CLR_INVALID);
}

TEST_P(CanvasTest, InvertRectFlipsEveryColourBitInsideOnly) {
    dc.SetPixel(5, 5, 0x336699);
    const std::uint32_t before = dc.GetPixel(5, 5);
    EXPECT_TRUE(dc.InvertRect({4, 4, 100, 6}));
    EXPECT_EQ(dc.GetPixel(5, 5) & 0xF8F8F8, ~before & 0xF8F8F8);
    EXPECT_EQ(dc.GetPixel(3, 5), 0u);
    dc.InvertRect({4, 4, 100, 6});
    EXPECT_EQ(dc.GetPixel(5, 5), before);
}

TEST_P(CanvasTest, StretchCopyScalesAndConvertsBetweenFormats) {
    SurfaceOwner src(GetParam() == 32 ? 16 : 32, 4, 2);
    Canvas from(src.s);
    const std::uint32_t colors[2][4] = {{0x000080, 0x008000, 0x800000, 0xC0C0C0},
                                        {0xC0C0C0, 0x800000, 0x008000, 0x000080}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) from.SetPixel(x, y, colors[y][x]);
    ASSERT_TRUE(dc.StretchCopy({-4, 10, 12, 14}, src.s, {0, 0, 4, 2}));  // 4x2 -> 16x4, left part clipped
    for (int y = 10; y < 14; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(dc.GetPixel(x, y), colors[(y - 10) / 2][(x + 4) / 4]) << x << "," << y;
    EXPECT_EQ(dc.GetPixel(12, 10), 0u);
    EXPECT_FALSE(dc.StretchCopy({0, 0, 0, 4}, src.s, {0, 0, 4, 2}));
}

TEST(Canvas, ExtremeCoordinatesStayInside) {
    SurfaceOwner owner(16);
    Canvas dc(owner.s);
    dc.SelectBrush(plat::Brush::Hatched(kRed));
    for (int width : {1, 9, INT_MAX}) {
        dc.SelectPen(plat::Pen::Solid(kWhite, width));
        dc.MoveTo(INT_MIN, INT_MAX);
        dc.LineTo(INT_MAX, INT_MIN);
        dc.Rectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
        const Point far[] = {{INT_MIN, INT_MIN}, {INT_MAX, 0}, {0, INT_MAX}, {INT_MIN, INT_MAX}};
        dc.Polygon(far, 4);
        dc.PolyBezier(far, 4);
    }
    dc.InvertRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX});
    EXPECT_TRUE(dc.StretchCopy({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, owner.s, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}));
    dc.TextOut(INT_MIN, INT_MAX, "abc", -1);
    plat::Rect box{INT_MAX, INT_MIN, INT_MIN, INT_MAX};
    EXPECT_GE(dc.DrawText("abc def", -1, box, plat::DT_WORDBREAK | plat::DT_CENTER), 0);
}

TEST(Canvas, MissingOrLostSurfaceDrawsNothing) {
    Canvas none;
    EXPECT_FALSE(none.LineTo(5, 5));
    EXPECT_FALSE(none.Rectangle(0, 0, 5, 5));
    EXPECT_EQ(none.GetPixel(0, 0), plat::CLR_INVALID);
    SurfaceOwner owner(16);
    owner.s->lost = true;
    Canvas dc(owner.s);
    EXPECT_FALSE(dc.TextOut(0, 0, "x", -1));
    EXPECT_EQ(dc.SetPixel(0, 0, kWhite), plat::CLR_INVALID);
    owner.s->lost = false;
    EXPECT_EQ(dc.GetPixel(0, 0), 0u);
}

}  // namespace
