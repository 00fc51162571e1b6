// Screen transitions and the scrolling background on every display depth:
// the cells a cover and an uncover show present by present (over the whole
// 800 x 600 screen), the band scrolled by the held arrow key within its
// bound, the drifting tile layer that never shows a gap, input held back,
// and the main loop presenting alone while it covers, then changing scene.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "draw_fixture.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

// Cell k of the pattern: one colour per cell, with a black (keyed) pixel
// at the cell's top-left corner.
std::uint32_t CellColor(int k) { return static_cast<std::uint32_t>((k + 1) * 0x18) << 16 | 0x4080; }

// Band row y: a colour unique to the row up to 1024 rows, never black.
std::uint32_t BandRowColor(int y) { return static_cast<std::uint32_t>((y % 32) * 8) << 16 | ((y / 32) * 8) << 8 | 0x40; }

class Transitions : public DrawTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        setenv("KR_DESKTOP_BITS", std::to_string(GetParam()).c_str(), 1);
        ASSERT_EQ(krDraw::Screen(kWidth, kHeight, 1), 1);
        krDraw::transition = krDraw::TransitionState{};
        krDraw::background = krDraw::BackgroundState{};
        krSystemState.frameTime = 1.0f / 60;
    }
    void TearDown() override {
        krDraw::transition = krDraw::TransitionState{};
        krDraw::background = krDraw::BackgroundState{};
        krDraw::QuitFont();
        DrawTest::TearDown();
    }

    static std::uint32_t Pixel(std::uint32_t rgb) {
        return plat::MapRGB(krScreen.back->format, static_cast<std::uint8_t>(rgb >> 16),
                            static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb));
    }

    void LoadPattern() {
        std::vector<std::uint32_t> pixels(640 * 48);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 640; ++x) pixels[y * 640 + x] = (x % 64 == 0 && y == 0) ? 0 : CellColor(x / 64);
        krDraw::LoadTransition(WritePicture("wipe.bmp", 640, 48, pixels).c_str());
        ASSERT_NE(krDraw::transition.pattern, 0);
    }

    // A band of the given height whose rows are BandRowColor, and a tile
    // of one colour; a black band (all keyed) lets the tiles show.
    void LoadBackground(int bandHeight, bool blackBand = false) {
        std::vector<std::uint32_t> band(8 * 1000);
        for (int y = 0; y < 1000; ++y)
            for (int x = 0; x < 8; ++x) band[y * 8 + x] = blackBand ? 0 : BandRowColor(y);
        const std::string bandName = WritePicture("band.bmp", 8, 1000, band);
        const std::string tileName = WritePicture("tile.bmp", 64, 48, std::vector<std::uint32_t>(64 * 48, 0x30A050));
        krDraw::LoadBackground(bandName.c_str(), tileName.c_str(), bandHeight);
        ASSERT_NE(krScreen.backgroundBand, 0);
        ASSERT_NE(krScreen.backgroundTile, 0);
    }

    // Clears, presents, and says which cell covers the screen: -1 when
    // nothing does, -2 when the screen is not covered evenly.
    int PresentAndReadCell() {
        krDraw::ClearScreen();
        krDraw::Present();
        const std::uint32_t first = BackPixel(5, 5);
        int cell = -1;
        for (int k = 0; k < 10; ++k)
            if (first == Pixel(CellColor(k))) cell = k;
        // Every cell of the grid, the last ones cut by the screen's edge,
        // shows the same colour; the keyed corner stays uncovered.
        for (int y = 5; y < kHeight; y += 48)
            for (int x = 5; x < kWidth; x += 64)
                if (BackPixel(x, y) != first || BackPixel(std::min(x + 58, kWidth - 1), std::min(y + 42, kHeight - 1)) != first)
                    return -2;
        if (BackPixel(64 * 12, 48 * 12) != 0 && cell >= 0) return -2;  // a keyed corner
        return cell;
    }

    static void Deliver(std::uint32_t message, int vk) {
        plat::DispatchMessage(plat::Message{krSystemState.mainWindow, message, static_cast<std::uintptr_t>(vk), 0});
    }
    static void Press(int vk) { Deliver(plat::WM_KEYDOWN, vk); }
    static void Lift(int vk) { Deliver(plat::WM_KEYUP, vk); }
};

INSTANTIATE_TEST_SUITE_P(TransitionDepths, Transitions, testing::Values(15, 16, 24, 32));

TEST_P(Transitions, CoverShowsCellsZeroToNineOverTheWholeScreenThenStops) {
    LoadPattern();
    krDraw::StartCover();
    std::vector<int> cells;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(krDraw::transition.direction, 1);
        cells.push_back(PresentAndReadCell());
    }
    EXPECT_EQ(cells, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(krDraw::transition.step, 0);
    EXPECT_EQ(krDraw::transition.direction, 0);
    EXPECT_EQ(PresentAndReadCell(), -1) << "an ended transition draws nothing";
}

TEST_P(Transitions, UncoverShowsCellsNineToZero) {
    LoadPattern();
    krDraw::StartUncover();
    std::vector<int> cells;
    for (int i = 0; i < 10; ++i) cells.push_back(PresentAndReadCell());
    EXPECT_EQ(cells, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(krDraw::transition.direction, 0);
    EXPECT_EQ(PresentAndReadCell(), -1);
}

TEST_P(Transitions, TransitionWithoutAPatternStillCountsItsStepsAndDrawsNothing) {
    krDraw::StartCover();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(PresentAndReadCell(), -1);
    EXPECT_EQ(krDraw::transition.direction, 0);
}

TEST_P(Transitions, ToggleNeedsABandHeight) {
    krDraw::ToggleBackground();
    EXPECT_FALSE(krDraw::background.on) << "no band height yet";
    LoadBackground(0);
    krDraw::ToggleBackground();
    EXPECT_FALSE(krDraw::background.on) << "a band height of 0 forbids the background";
    LoadBackground(1000);
    krDraw::ToggleBackground();
    EXPECT_TRUE(krDraw::background.on);
    krDraw::ToggleBackground();
    EXPECT_FALSE(krDraw::background.on);
}

TEST_P(Transitions, ReloadKeepsTheHandlesAndRewindsTheBand) {
    LoadBackground(1000);
    const int band = krScreen.backgroundBand, tile = krScreen.backgroundTile;
    krDraw::background.bandPosition = 123.0f;
    LoadBackground(900);
    EXPECT_EQ(krScreen.backgroundBand, band);
    EXPECT_EQ(krScreen.backgroundTile, tile);
    EXPECT_EQ(krDraw::background.bandPosition, 0.0f);
    EXPECT_EQ(krDraw::background.bandHeight, 900);
}

TEST_P(Transitions, RightArrowScrolls300RowsASecondAndStopsAtTheBound) {
    OpenWindow();
    LoadBackground(1000);
    krDraw::ToggleBackground();
    Press(39);
    EXPECT_EQ(krSystemState.backgroundKey, 39);
    EXPECT_EQ(krSystemState.heldKey, 0) << "keys go to the background while it runs";
    for (int frame = 0; frame < 60; ++frame) krDraw::Present();
    EXPECT_NEAR(krDraw::background.bandPosition, 300.0f, 0.01f);
    krDraw::Present();  // the band drawn now starts at row 300
    EXPECT_EQ(BackPixel(3, 0), Pixel(BandRowColor(300)));
    EXPECT_EQ(BackPixel(3, 599), Pixel(BandRowColor(899)));

    float highest = 0;
    for (int frame = 0; frame < 60; ++frame) {
        krDraw::Present();
        highest = std::max(highest, krDraw::background.bandPosition);
    }
    EXPECT_EQ(highest, 400.0f) << "never past band height - clip height";
    Lift(39);
    EXPECT_EQ(krSystemState.backgroundKey, 0);
    krDraw::Present();
    EXPECT_EQ(krDraw::background.bandPosition, 400.0f) << "a released key stops the band";

    Press(38);  // up: 100 rows a second
    for (int frame = 0; frame < 30; ++frame) krDraw::Present();
    EXPECT_NEAR(krDraw::background.bandPosition, 350.0f, 0.01f);
    Press(37);  // left: 300 rows a second back, never above row 0
    for (int frame = 0; frame < 120; ++frame) krDraw::Present();
    EXPECT_EQ(krDraw::background.bandPosition, 0.0f);
}

TEST_P(Transitions, TileLayerDriftsTenPixelsASecondAndWrapsWithoutAGap) {
    LoadBackground(1000, /*blackBand=*/true);
    krDraw::ToggleBackground();
    // 6 seconds: x wraps once near 6.4 s is not yet reached, y wraps at 4.8 s.
    for (int frame = 1; frame <= 420; ++frame) {
        krDraw::ClearScreen();
        krDraw::Present();
        const krDraw::BackgroundState& b = krDraw::background;
        ASSERT_GT(b.tileOffsetX, -64.0f);
        ASSERT_LE(b.tileOffsetX, 0.0f);
        ASSERT_GT(b.tileOffsetY, -48.0f);
        ASSERT_LE(b.tileOffsetY, 0.0f);
        if (frame % 30 != 0 && frame != 289 && frame != 385) continue;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) ASSERT_NE(BackPixel(x, y), 0u) << "gap at " << x << "," << y << " frame " << frame;
    }
    EXPECT_NEAR(krDraw::background.tileOffsetX, -70.0f + 64.0f, 0.05f);
    EXPECT_NEAR(krDraw::background.tileOffsetY, -70.0f + 48.0f, 0.05f);

    // A long stall wraps as far as it needs, in one step.
    krSystemState.frameTime = 100.0f;
    krDraw::Present();
    EXPECT_GT(krDraw::background.tileOffsetX, -64.0f);
    EXPECT_GT(krDraw::background.tileOffsetY, -48.0f);
}

TEST_P(Transitions, PolledKeysReadZeroWhileEitherEffectRuns) {
    OpenWindow();
    Press(40);
    std::int32_t state = 0;
    krDraw::StartCover();
    krSystem::PollKey(40, state);
    EXPECT_EQ(state, 0) << "transition running";
    krDraw::transition = krDraw::TransitionState{};
    LoadBackground(1000);
    krDraw::ToggleBackground();
    krSystem::PollKey(40, state);
    EXPECT_EQ(state, 0) << "background running";
    krDraw::ToggleBackground();
    krSystem::PollKey(40, state);
    EXPECT_EQ(state, 1);
}

// The main loop: while a cover runs, only the present step; when it ends,
// the next scene, marked as changed for one pass.
TEST_P(Transitions, MainLoopPresentsAloneWhileCoveringThenChangesScene) {
    static int gameFrames;
    gameFrames = 0;
    krSystem::SetGameSteps(krGameSteps{nullptr, [] { ++gameFrames; }});
    LoadPattern();
    krSystemState.scene = krSystemState.previousScene = 1;
    krSystemState.nextScene = 2;
    krSystem::FrameWork();
    EXPECT_EQ(gameFrames, 1);
    krDraw::StartCover();
    for (int pass = 1; pass <= 10; ++pass) {
        krSystem::FrameWork();
        EXPECT_EQ(gameFrames, 1) << "pass " << pass;
        EXPECT_EQ(krSystemState.scene, pass < 10 ? 1 : 2) << "pass " << pass;
        EXPECT_EQ(krSystemState.sceneChanged, pass < 10 ? 0 : 1) << "pass " << pass;
    }
    EXPECT_EQ(BackPixel(5, 5), Pixel(CellColor(9))) << "the screen is left covered";
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.sceneChanged, 0);
    EXPECT_EQ(gameFrames, 1) << "scene 2 runs no game frame";

    // An uncover is laid over game frames; it does not hold the loop.
    krSystemState.scene = krSystemState.previousScene = 1;
    krDraw::StartUncover();
    krSystem::FrameWork();
    EXPECT_EQ(gameFrames, 2);
    EXPECT_EQ(krSystemState.scene, 1);
}

}  // namespace
