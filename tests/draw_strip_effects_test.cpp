// Strip effects and scaled copies: where each effect puts each source row,
// how the animation states advance and wrap, both scaled-copy paths, and
// arguments that must neither hang nor reach outside a surface.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <tuple>
#include <cmath>
#include <vector>

#include "draw/strip_effects_internal.h"
#include "draw_fixture.h"
#include "platform/os/random.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class StripEffects : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        krDraw::internal::StripEffects() = {};
        krSystemState.frameTime = 1.0f;
        tile = krDraw::LoadObject(WriteGradient("tile.bmp", 32, 16).c_str(), 2);
        tall = krDraw::LoadObject(WriteGradient("tall.bmp", 8, 400).c_str(), 2);
        ASSERT_GT(tall, 0);
    }

    static krDraw::internal::StripEffectState& State() { return krDraw::internal::StripEffects(); }

    // The first column of back-screen row y that is not black, or -1.
    static int RowStart(int y) {
        for (int x = 0; x < 800; ++x)
            if (BackPixel(x, y) != 0) return x;
        return -1;
    }

    // Row y of the back screen holds source row `row` of a gradient w pixels
    // wide starting at x, and nothing else.
    static void ExpectRow(int y, int x, int row, int w) {
        for (int i = 0; i < 800; ++i) {
            const bool inside = i >= x && i < x + w;
            ASSERT_EQ(BackPixel(i, y), inside ? GradientPixel(i - x, row) : 0u) << "row " << y << " column " << i;
        }
    }
    static void ExpectBlankRow(int y) { ExpectRow(y, 0, 0, 0); }

    static int Wave(int amplitude, long angle) {
        return static_cast<int>(amplitude * std::cos(static_cast<double>(angle % 360) * 2.0 * kPi / 360.0));
    }

    int tile = 0, tall = 0;
};

TEST_F(StripEffects, WaveMovesEachRowByTheCosineOfItsAngle) {
    krDraw::WaveBlit(100, 10, 20, 1, 30.0f, tile, 0, 0, 8, 16, 0);
    for (int r = 0; r < 16; ++r) ExpectRow(10 + r, 100 + Wave(20, r), r, 8);
    EXPECT_EQ(RowStart(9), -1);
    EXPECT_EQ(RowStart(26), -1);
    EXPECT_FLOAT_EQ(State().wavePhase, 30.0f);

    // Rows 4..11 of the source from phase 30; divisor 4 turns the angle
    // once every four rows.
    krDraw::ClearScreen();
    krDraw::WaveBlit(200, 50, 12, 4, 0.0f, tile, 0, 4, 8, 12, 0);
    for (int r = 4; r < 12; ++r) ExpectRow(50 + r - 4, 200 + Wave(12, r / 4 + 30), r, 8);

    // Amplitude 0: the rectangle unchanged.
    krDraw::ClearScreen();
    krDraw::WaveBlit(300, 300, 0, 1, 0.0f, tile, 0, 0, 32, 16, 1);
    for (int r = 0; r < 16; ++r) ExpectRow(300 + r, 300, r, 32);
}

TEST_F(StripEffects, RowsReachEveryEdgeOfTheClipRectangle) {
    krDraw::WaveBlit(10, 590, 0, 1, 0.0f, tile, 0, 0, 8, 16, 0);
    krDraw::ScanlineBlit(100, 590, -1, tile, 0, 0, 8, 16);
    krDraw::JitterBlit(200, -6, 1, tile, 0, 0, 8, 16);
    for (int r = 0; r < 10; ++r) {
        EXPECT_EQ(BackPixel(10, 590 + r), GradientPixel(0, r)) << r;
        EXPECT_EQ(BackPixel(100, 590 + r), GradientPixel(0, r)) << r;
    }
    for (int d = 0; d < 10; ++d) EXPECT_NE(RowStart(d), -1) << d;
    // A moved clip rectangle bounds the rows the same way.
    krDraw::ClearScreen();
    krScreen.clip = plat::Rect{0, 100, 800, 110};
    krDraw::RowRepeatBlit(10, 95, 2, tile, 0, 0, 8, 16);
    krScreen.clip = plat::Rect{0, 0, 800, 600};
    EXPECT_EQ(RowStart(99), -1);
    EXPECT_EQ(BackPixel(10, 100), GradientPixel(0, 4));
    EXPECT_EQ(BackPixel(10, 109), GradientPixel(0, 14));
    EXPECT_EQ(RowStart(110), -1);
}

TEST_F(StripEffects, WaveWithoutDivisorRepeatsEvery360Rows) {
    krDraw::WaveBlit(300, 0, 40, 0, 0.0f, tall, 0, 0, 8, 400, 0);
    for (int r = 0; r < 40; ++r) {
        ASSERT_EQ(RowStart(r), 300 + Wave(40, r)) << r;
        ASSERT_EQ(RowStart(r + 360), RowStart(r)) << r;
    }
}

TEST_F(StripEffects, AlternateSignFlipsEveryRowAndCarriesOver) {
    krDraw::WaveBlit(100, 0, 20, 1, 0.0f, tile, 0, 0, 8, 5, 1);  // five rows: +, -, +, -, +
    for (int r = 0; r < 5; ++r) ASSERT_EQ(RowStart(r), 100 + (r % 2 ? -1 : 1) * Wave(20, r)) << r;
    EXPECT_EQ(State().waveSign, -1);
    krDraw::ClearScreen();
    krDraw::WaveBlit(100, 0, 20, 1, 0.0f, tile, 0, 0, 8, 2, 1);  // starts with -
    EXPECT_EQ(RowStart(0), 100 - 20);
    EXPECT_EQ(RowStart(1), 100 + Wave(20, 1));
    EXPECT_EQ(State().waveSign, -1);
    // Rows clipped away above the screen still flip the sign.
    krDraw::ClearScreen();
    krDraw::WaveBlit(100, -3, 20, 1, 0.0f, tile, 0, 0, 8, 5, 1);
    EXPECT_EQ(RowStart(0), 100 + Wave(20, 3));  // row 3: - then one flip -> +, four flips in all
    EXPECT_EQ(RowStart(1), 100 - Wave(20, 4));
    EXPECT_EQ(State().waveSign, 1);
    // Without alternate the sign stays.
    krDraw::WaveBlit(100, 0, 20, 1, 0.0f, tile, 0, 0, 8, 3, 0);
    EXPECT_EQ(State().waveSign, 1);
}

TEST_F(StripEffects, WavePhaseWrapsOnceAtAFullTurn) {
    State().wavePhase = 350.0f;
    krDraw::WaveBlit(0, 0, 1, 1, 20.0f, tile, 0, 0, 8, 1, 0);
    EXPECT_FLOAT_EQ(State().wavePhase, 10.0f);
    krSystemState.frameTime = 0.5f;
    krDraw::WaveBlit(0, 0, 1, 1, 700.0f, tile, 0, 0, 8, 1, 0);
    EXPECT_FLOAT_EQ(State().wavePhase, 0.0f);  // 360 reached exactly
    krDraw::WaveBlit(0, 0, 1, 1, -20.0f, tile, 0, 0, 8, 1, 0);
    EXPECT_FLOAT_EQ(State().wavePhase, -10.0f);  // only a full turn is taken off
}

TEST_F(StripEffects, TileScrollCoversTheScreenAndWrapsItsOffsets) {
    krDraw::TileScroll(-10.0f, -5.0f, tile, 0, 0, 32, 16);
    for (int y = 0; y < 600; y += 7)
        for (int x = 0; x < 800; x += 3) ASSERT_EQ(BackPixel(x, y), GradientPixel(x % 32, y % 16)) << x << "," << y;
    EXPECT_FLOAT_EQ(State().tileX, -10.0f);
    EXPECT_FLOAT_EQ(State().tileY, -5.0f);
    krDraw::TileScroll(-30.0f, 2.0f, tile, 0, 0, 32, 16);
    for (int y = 0; y < 600; y += 7)
        for (int x = 0; x < 800; x += 3)
            ASSERT_EQ(BackPixel(x, y), GradientPixel((x + 10) % 32, (y + 5) % 16)) << x << "," << y;
    EXPECT_FLOAT_EQ(State().tileX, -8.0f);  // -40 is below -32: one tile added
    EXPECT_FLOAT_EQ(State().tileY, -3.0f);
    krDraw::TileScroll(0.0f, 5.0f, tile, 0, 0, 32, 16);
    EXPECT_FLOAT_EQ(State().tileY, -14.0f);  // +2 is above 0: one tile taken off
    // The bottom-right corner is covered too.
    EXPECT_EQ(BackPixel(799, 599), GradientPixel((799 + 8) % 32, (599 + 3) % 16));
}

TEST_F(StripEffects, WaveScrollTakesRowsFromTheScrollPhase) {
    krDraw::WaveScrollBlit(50, 100, 0, 1, 10.0f, -3.0f, tile, 0, 0, 8, 16);
    for (int r = 0; r < 16; ++r) ExpectRow(100 + r, 50, r, 8);
    EXPECT_FLOAT_EQ(State().waveScrollRows, 3.0f);
    EXPECT_FLOAT_EQ(State().waveScrollPhase, 10.0f);
    krDraw::ClearScreen();
    krDraw::WaveScrollBlit(50, 100, 0, 1, 0.0f, 5.0f, tile, 0, 0, 8, 16);
    ExpectRow(100, 50, 3, 8);
    ExpectRow(112, 50, 15, 8);
    ExpectRow(113, 50, 1, 8);  // 16 runs past the bottom: 16 - 16 + 0 + 1
    EXPECT_FLOAT_EQ(State().waveScrollRows, 14.0f);  // 3 - 5 + 16
    // The rectangle's top row lands at y + top; the wave follows r.
    krDraw::ClearScreen();
    State().waveScrollRows = 0;
    krDraw::WaveScrollBlit(50, 100, 6, 1, 0.0f, 0.0f, tile, 0, 4, 8, 8);
    for (int r = 4; r < 8; ++r) ExpectRow(100 + r, 50 + Wave(6, r + 10), r, 8);
    EXPECT_EQ(RowStart(103), -1);
}

TEST_F(StripEffects, WaveTileFillsTheBandAcrossTheScreen) {
    State().waveTileRows = 2.0f;
    krDraw::WaveTile(100, 140, 0, 1, 15.0f, 1.0f, tile, 0, 0, 32, 16);
    for (int i = 0; i < 40; ++i) {
        int r = i % 16 + 2;
        if (r > 15) r -= 16;
        for (int x = 0; x < 800; x += 5) ASSERT_EQ(BackPixel(x, 100 + i), GradientPixel(x % 32, r)) << x << "," << i;
    }
    EXPECT_EQ(RowStart(99), -1);
    EXPECT_EQ(RowStart(140), -1);
    EXPECT_FLOAT_EQ(State().waveTileRows, 1.0f);
    EXPECT_FLOAT_EQ(State().waveTilePhase, 15.0f);
    // With an amplitude every tile of row i moves by offset(i) - amplitude.
    krDraw::ClearScreen();
    krDraw::WaveTile(0, 3, 4, 1, 0.0f, 0.0f, tile, 0, 0, 32, 16);
    for (int i = 0; i < 3; ++i) {
        const int shift = Wave(4, i + 15) - 4;
        EXPECT_EQ(BackPixel(100, i), GradientPixel(((100 - shift) % 32 + 32) % 32, i + 1)) << i;
    }
}

// A band that starts below the top: the wave and the source row follow the
// band's own row count i, not the screen row first row + i.
TEST_F(StripEffects, WaveTileBelowTheTopCountsItsOwnRows) {
    State().waveTilePhase = 15.0f;
    State().waveTileRows = 3.0f;
    krDraw::WaveTile(201, 241, 9, 2, 0.0f, 0.0f, tile, 0, 0, 32, 16);
    for (int i = 0; i < 40; ++i) {
        int r = i % 16 + 3;
        if (r > 15) r -= 16;
        const int shift = Wave(9, i / 2 + 15) - 9;
        for (int x = 0; x < 800; x += 7)
            ASSERT_EQ(BackPixel(x, 201 + i), GradientPixel(((x - shift) % 32 + 32) % 32, r)) << x << "," << i;
    }
    EXPECT_EQ(RowStart(200), -1);
    EXPECT_EQ(RowStart(241), -1);
}

// Offsets between whole pixels are truncated toward zero: -2.75 draws the
// tiles at -2, -0.5 at 0.
TEST_F(StripEffects, TileScrollTruncatesFractionalOffsets) {
    State().tileX = -2.75f;
    State().tileY = -0.5f;
    krDraw::TileScroll(-0.5f, -0.25f, tile, 0, 0, 32, 16);
    for (int y = 0; y < 600; y += 5)
        for (int x = 0; x < 800; x += 3) ASSERT_EQ(BackPixel(x, y), GradientPixel((x + 2) % 32, y % 16)) << x << "," << y;
    EXPECT_FLOAT_EQ(State().tileX, -3.25f);
    EXPECT_FLOAT_EQ(State().tileY, -0.75f);
    krDraw::ClearScreen();
    krDraw::TileScroll(0.0f, 0.0f, tile, 0, 0, 32, 16);
    for (int y = 0; y < 600; y += 5)
        for (int x = 0; x < 800; x += 3) ASSERT_EQ(BackPixel(x, y), GradientPixel((x + 3) % 32, y % 16)) << x << "," << y;
}

TEST_F(StripEffects, RowRepeatPixelatesDownwards) {
    krDraw::RowRepeatBlit(10, 20, 3, tile, 0, 0, 8, 16);
    for (int d = 0; d < 18; ++d) ExpectRow(20 + d, 10, d / 3 * 3, 8);  // the last block runs two rows past
    ExpectBlankRow(38);
    krDraw::ClearScreen();
    krDraw::RowRepeatBlit(10, -4, 3, tile, 0, 0, 8, 16);  // blocks cut by the top edge
    ExpectRow(0, 10, 3, 8);
    ExpectRow(1, 10, 3, 8);
    ExpectRow(2, 10, 6, 8);
    krDraw::ClearScreen();
    krDraw::RowRepeatBlit(10, 20, 0, tile, 0, 0, 8, 16);
    krDraw::RowRepeatBlit(10, 20, -2, tile, 0, 0, 8, 16);
    EXPECT_EQ(RowStart(20), -1);
}

TEST_F(StripEffects, ScanlinesSkipTheFirstRowAndFollowTheGap) {
    krDraw::ScanlineBlit(10, 20, 4, tile, 0, 0, 8, 16);
    for (int r = 0; r < 16; ++r) {
        if (r % 4 == 0 && r > 0) {
            ExpectRow(20 + r, 10, r, 8);
        } else {
            ExpectBlankRow(20 + r);
        }
    }
    krDraw::ClearScreen();
    krDraw::ScanlineBlit(10, 20, -1, tile, 0, 0, 8, 16);  // random gap of 1: every row from the top
    for (int r = 0; r < 16; ++r) ExpectRow(20 + r, 10, r, 8);
    krDraw::ClearScreen();
    krDraw::ScanlineBlit(10, 20, 0, tile, 0, 0, 8, 16);
    EXPECT_EQ(RowStart(20), -1);
    // Random gaps: the top row, then rows 1 to 3 apart, each in its place.
    krDraw::ScanlineBlit(10, 20, -3, tile, 0, 0, 8, 16);
    ExpectRow(20, 10, 0, 8);
    int last = 0;
    for (int r = 1; r < 16; ++r) {
        if (RowStart(20 + r) == -1) continue;
        ExpectRow(20 + r, 10, r, 8);
        EXPECT_LE(r - last, 3);
        last = r;
    }
    krDraw::ScanlineBlit(10, 100, INT_MIN, tile, 0, 0, 8, 16);
    ExpectRow(100, 10, 0, 8);
}

TEST_F(StripEffects, JitterShiftsRowsWithinTheRange) {
    krDraw::JitterBlit(100, 10, 0, tile, 0, 0, 8, 16);
    for (int r = 0; r < 16; ++r) ExpectRow(10 + r, 100, r, 8);
    krDraw::ClearScreen();
    krDraw::JitterBlit(100, 10, 3, tile, 0, 0, 8, 16);
    for (int r = 0; r < 16; ++r) {
        const int start = RowStart(10 + r);
        ASSERT_GE(start, 97);
        ASSERT_LE(start, 102);
        ExpectRow(10 + r, start, r, 8);
    }
}

// The random effects take one number per row of the rectangle (per step of
// the scanline walk from its top), whether the row is seen or clipped, so
// what a seeded generator draws does not depend on where the clip falls.
TEST_F(StripEffects, RandomRowsTakeTheirNumbersFromTheTopWhateverTheClip) {
    plat::SeedRandom(7);
    std::vector<int> shift;
    for (int r = 0; r < 16; ++r) shift.push_back(plat::Random() % 6 - 3);
    const int after = plat::Random();
    plat::SeedRandom(7);
    krDraw::JitterBlit(100, -5, 3, tile, 0, 0, 8, 16);  // rows 0..4 above the screen
    EXPECT_EQ(plat::Random(), after);
    for (int r = 5; r < 16; ++r) ExpectRow(r - 5, 100 + shift[r], r, 8);

    plat::SeedRandom(7);
    krDraw::JitterBlit(100, 590, 3, tile, 0, 0, 8, 16);  // rows 10..15 below it
    EXPECT_EQ(plat::Random(), after);

    // Scanlines with random gaps of 1 to 4 rows, rows 0..19 clipped away.
    plat::SeedRandom(3);
    std::vector<bool> drawn(100, false);
    for (int r = 0; r < 100; r += plat::Random() % 4 + 1) drawn[r] = true;
    const int afterWalk = plat::Random();
    krDraw::ClearScreen();
    plat::SeedRandom(3);
    krDraw::ScanlineBlit(10, -20, -4, tall, 0, 0, 8, 100);
    EXPECT_EQ(plat::Random(), afterWalk);
    for (int r = 20; r < 100; ++r) {
        if (drawn[r]) {
            ExpectRow(r - 20, 10, r, 8);
        } else {
            ExpectBlankRow(r - 20);
        }
    }
    plat::SeedRandom(3);
    krDraw::ScanlineBlit(10, 550, -4, tall, 0, 0, 8, 100);  // the walk goes on below the screen
    EXPECT_EQ(plat::Random(), afterWalk);
}

TEST_F(StripEffects, RollDrawsEachRowDownToTheDrumEnd) {
    State().rollPhase = 3.0f;
    krDraw::RollBlit(40, 100, 1, 20.0f, tile, 0, 0, 8, 16);
    auto end = [](int i) { return static_cast<int>(8 + 8 * std::cos((3.0 + i) * 2.0 * kPi / 15.0)); };
    std::vector<int> owner(17, -1);  // destination row -> source row
    for (int i = 0; i < 16; ++i)
        for (int d = (i == 0 ? 0 : end(i - 1) + 1); d <= end(i); ++d) owner[d] = i;
    for (int d = 0; d < 17; ++d) {
        if (owner[d] < 0) {
            ExpectBlankRow(100 + d);
        } else {
            ExpectRow(100 + d, 40, owner[d], 8);
        }
    }
    EXPECT_FLOAT_EQ(State().rollPhase, 7.0f);  // 3 + 20 wraps at 16
    krDraw::RollBlit(40, 100, 0, 10.0f, tile, 0, 0, 8, 16);
    EXPECT_FLOAT_EQ(State().rollPhase, 13.0f);  // 7 - 10 + 16
    // One row: drawn once at y, no division by zero.
    krDraw::ClearScreen();
    krDraw::RollBlit(40, 300, 1, 0.0f, tile, 0, 5, 8, 6);
    ExpectRow(300, 40, 5, 8);
    ExpectBlankRow(301);
}

TEST_F(StripEffects, RollIsOpaque) {
    std::vector<std::uint32_t> pixels(4 * 2, 0xFFFFFF);
    pixels[1] = 0;
    const int holes = krDraw::LoadObject(WritePicture("holes.bmp", 4, 2, pixels).c_str(), 2);
    krDraw::FillRect(0, 0, 800, 600, 0x1234);
    krDraw::RollBlit(10, 10, 1, 0.0f, holes, 0, 0, 4, 1);
    EXPECT_EQ(BackPixel(11, 10), 0u);
    EXPECT_EQ(BackPixel(10, 10), 0xFFFFu);
}

class StretchCopies : public StripEffects, public testing::WithParamInterface<std::tuple<bool, int>> {};

TEST_P(StretchCopies, DoubleSizeThroughEitherPath) {
    setenv("KR_DESKTOP_BITS", std::to_string(std::get<1>(GetParam())).c_str(), 1);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    krScreen.stretch = std::get<0>(GetParam());
    std::vector<std::uint32_t> pixels = {0xFF0000, 0x000000, 0x00FF00, 0x0000FF};  // black is the key
    const int small = krDraw::LoadObject(WritePicture("small.bmp", 2, 2, pixels).c_str(), 2);
    const std::uint32_t fill = 0x1234;
    krDraw::FillRect(0, 0, 800, 600, fill);
    krDraw::StretchBlit(10, 20, small, 0, 0, 2, 2, 4, 4);
    krDraw::StretchBlitOpaque(100, 20, small, 0, 0, 2, 2, 4, 4);
    const auto& f = krScreen.back->format;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const std::uint32_t c = pixels[(y / 2) * 2 + x / 2];
            const std::uint32_t expected = plat::MapRGB(f, c >> 16, c >> 8, c);
            EXPECT_EQ(BackPixel(10 + x, 20 + y), c == 0 ? fill : expected) << x << "," << y;
            EXPECT_EQ(BackPixel(100 + x, 20 + y), expected) << x << "," << y;
        }
    EXPECT_EQ(BackPixel(14, 20), fill);
    EXPECT_EQ(BackPixel(10, 24), fill);

    // Cut at the screen's edge; a negative size, a free slot and a size past
    // the 32-bit range draw nothing.
    krDraw::StretchBlitOpaque(798, 598, small, 0, 0, 2, 2, 4, 4);
    EXPECT_EQ(BackPixel(799, 599), plat::MapRGB(f, 0xFF, 0, 0));
    krDraw::StretchBlitOpaque(300, 300, small, 0, 0, 2, 2, -4, 4);
    krDraw::StretchBlitOpaque(300, 300, 300, 0, 0, 2, 2, 4, 4);
    krDraw::StretchBlitOpaque(300, 300, 9999, 0, 0, 2, 2, 4, 4);
    krDraw::StretchBlitOpaque(INT_MAX, 300, small, 0, 0, 2, 2, 4, 4);
    EXPECT_EQ(BackPixel(300, 300), fill);
}

INSTANTIATE_TEST_SUITE_P(PathsAndDepths, StretchCopies, testing::Combine(testing::Bool(), testing::Values(15, 16, 24, 32)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Device" : "BufferSprite") +
                                    std::to_string(std::get<1>(info.param));
                         });

// The Buffer sprite path draws exactly what the device draws: nothing where
// the source rectangle passes the picture (the sprite there holds older
// pixels), the same points inside the clip rectangle when the copy starts
// above or left of the screen or is larger than it.
TEST_F(StripEffects, BufferPathDrawsWhatTheDeviceDraws) {
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < 6 * 4; ++i) pixels.push_back(i == 5 ? 0 : 0x102030u * static_cast<std::uint32_t>(i + 1));
    const int picture = krDraw::LoadObject(WritePicture("pic.bmp", 6, 4, pixels).c_str(), 2);
    struct Copy {
        int x, y, left, top, right, bottom, width, height;
    };
    const Copy copies[] = {
        {10, 10, 0, 0, 12, 4, 24, 8},          // passes the right edge
        {10, 40, 0, -4, 6, 8, 12, 24},         // starts above and passes the bottom
        {60, 10, -3, -1, 5, 3, 31, 9},         // starts left and above, odd scale
        {-7, -5, 0, 0, 6, 4, 30, 20},          // starts off the screen
        {780, 590, 0, 0, 6, 4, 60, 40},        // runs off the screen
        {-900, -700, 0, 0, 6, 4, 2400, 1800},  // larger than the screen
        {100, 100, 2, 1, 20, 30, 5, 3},        // shrinks and passes both edges
        {200, 200, 6, 0, 9, 4, 9, 4},          // nothing of the picture at all
    };
    const plat::Rect clips[] = {{0, 0, 800, 600}, {13, 12, 700, 500}};
    std::vector<std::uint32_t> shown[2];
    for (const plat::Rect& clip : clips) {
        for (const Copy& c : copies) {
            for (bool keyed : {true, false}) {
                for (int device = 0; device < 2; ++device) {
                    krScreen.stretch = device;
                    krScreen.clip = clip;
                    krDraw::FillRect(0, 0, 800, 600, 0x1234);
                    plat::FillRect(krObjects[0].surface, nullptr, 0x4321);  // older pixels in the sprite
                    if (keyed) {
                        krDraw::StretchBlit(c.x, c.y, picture, c.left, c.top, c.right, c.bottom, c.width, c.height);
                    } else {
                        krDraw::StretchBlitOpaque(c.x, c.y, picture, c.left, c.top, c.right, c.bottom, c.width,
                                                  c.height);
                    }
                    // The device's copy is not held to the clip rectangle.
                    shown[device].clear();
                    for (int y = clip.top; y < clip.bottom; ++y)
                        for (int x = clip.left; x < clip.right; ++x) shown[device].push_back(BackPixel(x, y));
                }
                const auto where = testing::Message() << "copy at " << c.x << "," << c.y << " keyed " << keyed
                                                      << " clip from " << clip.left;
                ASSERT_EQ(std::count(shown[0].begin(), shown[0].end(), 0x4321u), 0) << "stale pixels, " << where;
                ASSERT_TRUE(shown[0] == shown[1]) << where;
            }
        }
    }
    // The device leaves the fill where the source passes the picture.
    krScreen.clip = {0, 0, 800, 600};
    krScreen.stretch = 0;
    krDraw::FillRect(0, 0, 800, 600, 0x1234);
    krDraw::StretchBlitOpaque(10, 10, picture, 0, 0, 12, 4, 24, 8);
    EXPECT_EQ(BackPixel(10 + 11, 10), ObjectPixel(picture, 5, 0));
    EXPECT_EQ(BackPixel(10 + 12, 10), 0x1234u);
    EXPECT_EQ(BackPixel(10 + 23, 17), 0x1234u);
}

TEST_F(StripEffects, ExtremeArgumentsEndQuicklyAndStayInside) {
    const int bad[] = {0, 300, 9999, -1};
    for (int slot : bad) {
        krDraw::WaveBlit(0, 0, 5, 0, 1.0f, slot, 0, 0, 8, 8, 1);
        krDraw::RollBlit(0, 0, 1, 1.0f, slot, 0, 0, 8, 8);
        krDraw::TileScroll(1.0f, 1.0f, slot, 0, 0, 8, 8);
    }
    krDraw::WaveBlit(INT_MAX, INT_MIN, INT_MAX, -1, 1e30f, tile, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1);
    krDraw::WaveBlit(0, 0, INT_MIN, INT_MIN, -1e30f, tile, 0, INT_MIN, 8, INT_MAX, 1);
    krDraw::WaveScrollBlit(0, INT_MIN, INT_MAX, 0, 1e30f, 1e30f, tile, 0, INT_MIN, 8, INT_MAX);
    krDraw::WaveTile(INT_MIN, INT_MAX, INT_MAX, 0, 1.0f, -1e30f, tile, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    krDraw::WaveTile(0, 600, 3, 1, 1.0f, 1.0f, tile, 0, 0, 0, 16);  // zero width
    krDraw::TileScroll(1e30f, -1e30f, tile, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    krDraw::TileScroll(1.0f, 1.0f, tile, 0, 0, 1, 1);  // the smallest tile
    krDraw::RowRepeatBlit(0, INT_MIN, 1, tile, 0, INT_MIN, 8, INT_MAX);
    krDraw::RowRepeatBlit(0, 0, INT_MAX, tile, 0, 0, 8, INT_MAX);
    krDraw::ScanlineBlit(0, INT_MIN, 1, tile, 0, INT_MIN, 8, INT_MAX);
    krDraw::ScanlineBlit(0, INT_MIN, -1, tile, 0, INT_MIN, 8, INT_MAX);
    krDraw::ScanlineBlit(0, 0, INT_MAX, tile, 0, 0, 8, INT_MAX);
    krDraw::JitterBlit(INT_MAX, 0, INT_MAX, tile, 0, INT_MIN, 8, INT_MAX);
    krDraw::RollBlit(0, INT_MIN, 1, 1e30f, tile, 0, INT_MIN, 8, INT_MAX);
    krDraw::RollBlit(0, 0, 0, -1e30f, tile, 0, -5, 8, 0);
    EXPECT_TRUE(std::isfinite(State().wavePhase));
    EXPECT_TRUE(std::isfinite(State().tileX));
    EXPECT_TRUE(std::isfinite(State().rollPhase));
    EXPECT_GE(State().rollPhase, 0.0f);
}

}  // namespace
