// Effects whose faults keep a picture plausible: a channel kept by the
// wrong flag, a rotation turning the other way once zoomed, a wipe moving
// another edge than its table names, a smoothing flag applied to the wrong
// component. Each case pins the one thing such a fault changes.
#include <random>
#include <string>
#include <vector>

#include "draw_fixture.h"

namespace {

class EffectDirections : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        krDraw::wipe = krDraw::WipeRecord{};
    }
    void TearDown() override {
        krDraw::wipe = krDraw::WipeRecord{};
        DrawTest::TearDown();
    }

    static std::vector<std::uint32_t> Grab(int x0, int y0, int w, int h) {
        std::vector<std::uint32_t> pixels;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) pixels.push_back(BackPixel(x, y));
        return pixels;
    }

    static void RandomBack(unsigned seed) {
        std::mt19937 rng(seed);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) plat::PutPixel(*krScreen.back, x, y, rng() & 0xFFFF);
    }

    // Where a pixel of the 32 x 16 gradient came from: (x, y) of the source.
    static int SourceX(std::uint32_t p) { return static_cast<int>(p >> 11); }
    static int SourceY(std::uint32_t p) { return static_cast<int>((p >> 5) & 63) >> 1; }
};

// Only green survives: red and blue are cut from every drawn pixel, and a
// source pixel of 0 leaves the destination.
TEST_F(EffectDirections, ChannelBlitKeepsGreenAlone) {
    const int slot = krDraw::CreateObject(16, 4, 2);
    std::mt19937 rng(7);
    std::vector<std::uint32_t> source;
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t p = i % 9 == 0 ? 0 : rng() & 0xFFFF;
        source.push_back(p);
        plat::PutPixel(*krObjects[slot].surface, i % 16, i / 16, p);
    }
    krDraw::FillRect(0, 0, 800, 600, 0xFFFF);
    ASSERT_EQ(krDraw::ChannelBlit(10, 20, 0, 1, 0, slot, 0, 0, 16, 4), 1);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(BackPixel(10 + i % 16, 20 + i / 16), source[i] == 0 ? 0xFFFFu : source[i] & 0x07E0u) << i;
    // Red alone and blue alone, the two a swap would exchange.
    ASSERT_EQ(krDraw::ChannelBlit(10, 30, 1, 0, 0, slot, 0, 0, 16, 1), 1);
    ASSERT_EQ(krDraw::ChannelBlit(10, 31, 0, 0, 1, slot, 0, 0, 16, 1), 1);
    for (int i = 0; i < 16; ++i) {
        if (source[i] == 0) continue;
        EXPECT_EQ(BackPixel(10 + i, 30), source[i] & 0xF800u) << i;
        EXPECT_EQ(BackPixel(10 + i, 31), source[i] & 0x001Fu) << i;
    }
}

// At a quarter turn the zooming members turn the same way as the plain
// rotation: zoom 1 draws the very same pixels, and at zoom 2 the source's
// rows run across the box from left to right while its columns run up.
TEST_F(EffectDirections, ZoomedRotationsTurnAQuarterAsThePlainOneDoes) {
    const int sprite = krDraw::LoadObject(WriteGradient("sprite.bmp", 32, 16).c_str(), 2);
    ASSERT_EQ(sprite, 4);
    for (int angle : {270, 90}) {
        krDraw::ClearScreen();
        krDraw::RotateBlit(0, 0, 32, 32, angle, sprite, 0, 0, 32, 16);
        const std::vector<std::uint32_t> plain = Grab(0, 0, 32, 32);
        krDraw::ClearScreen();
        ASSERT_EQ(krDraw::RotateZoomBlit(0, 0, 32, 32, angle, 1.0f, sprite, 0, 0, 32, 16), 1);
        EXPECT_EQ(Grab(0, 0, 32, 32), plain) << angle;
        krDraw::ClearScreen();
        ASSERT_EQ(krDraw::RotateZoomAlphaBlit(0, 0, 32, 32, angle, 1.0f, 31, sprite, 0, 0, 32, 16), 1);
        EXPECT_EQ(Grab(0, 0, 32, 32), plain) << angle;
    }
    // 90 degrees: (i, j) of the plain box shows source (32 - j, i - 8).
    EXPECT_EQ(SourceX(BackPixel(20, 5)), 27);
    EXPECT_EQ(SourceY(BackPixel(20, 5)), 12);

    krDraw::ClearScreen();
    ASSERT_EQ(krDraw::RotateZoomBlit(0, 0, 200, 200, 90, 2.0f, sprite, 0, 0, 32, 16), 1);
    // The box centre (100, 100) shows the source centre (16, 8); away from
    // it each source pixel covers two box pixels.
    for (int dy = -28; dy <= 28; dy += 4)
        for (int dx = -12; dx <= 12; dx += 4) {
            const std::uint32_t p = BackPixel(100 + dx, 100 + dy);
            ASSERT_NE(p, 0u) << dx << "," << dy;
            EXPECT_NEAR(SourceX(p), 16 - dy / 2, 1) << dx << "," << dy;
            EXPECT_NEAR(SourceY(p), 8 + dx / 2, 1) << dx << "," << dy;
        }
    EXPECT_EQ(BackPixel(100 - 20, 100), 0u) << "the turned picture is 32 wide";
    EXPECT_EQ(BackPixel(100, 100 - 36), 0u) << "and 64 tall";
}

// One frame of every wipe type moves exactly the edges its table names,
// in the named direction; the slit types begin with their slit direction.
TEST_F(EffectDirections, EveryWipeMovesTheEdgesItsTableNames) {
    krSystemState.frameTime = 1.0f / 60.0f;
    const plat::Rect full{100, 50, 700, 550};
    // Signs of the first step of (left, top, right, bottom): -1 up or left,
    // +1 down or right, 0 still.
    struct Moves {
        int left, top, right, bottom;
    };
    const Moves opening[10] = {{},           {0, -1, 0, 0},   {0, 0, 0, 1},   {-1, 0, 0, 0},  {0, 0, 1, 0},
                               {0, -1, 0, 1}, {-1, 0, 1, 0}, {-1, -1, 1, 1}, {0, -1, 0, 1}, {-1, 0, 1, 0}};
    const Moves closing[10] = {{},           {0, 1, 0, 0},   {0, 0, 0, -1},  {1, 0, 0, 0},   {0, 0, -1, 0},
                               {0, 1, 0, -1}, {1, 0, -1, 0}, {1, 1, -1, -1}, {1, 0, -1, 0}, {0, 1, 0, -1}};
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (int closingWipe = 0; closingWipe < 2; ++closingWipe)
        for (int type = 1; type <= 9; ++type) {
            krDraw::wipe = krDraw::WipeRecord{};
            krScreen.clip = full;
            ASSERT_EQ(krDraw::StartWipe(closingWipe, type, 300.0f, 20), 1);
            const plat::Rect before = krScreen.clip;
            ASSERT_EQ(krDraw::StepWipe(), 1);
            const plat::Rect& after = krScreen.clip;
            const Moves& want = closingWipe ? closing[type] : opening[type];
            const std::string what = std::string(closingWipe ? "closing" : "opening") + " type " + std::to_string(type);
            EXPECT_EQ(sign(after.left - before.left), want.left) << what;
            EXPECT_EQ(sign(after.top - before.top), want.top) << what;
            EXPECT_EQ(sign(after.right - before.right), want.right) << what;
            EXPECT_EQ(sign(after.bottom - before.bottom), want.bottom) << what;
        }
}

// Smoothing with one flag changes that component alone, exactly as the
// smoothing of all three changes it.
TEST_F(EffectDirections, SmoothRectRGBSmoothsOnlyTheFlaggedComponent) {
    const int x = 50, y = 40, w = 30, h = 20;
    RandomBack(3);
    const std::vector<std::uint32_t> before = Grab(x, y, w, h);
    ASSERT_EQ(krDraw::SmoothRect(x, y, w, h), 1);
    const std::vector<std::uint32_t> all = Grab(x, y, w, h);
    struct Case {
        int red, blue;
        std::uint32_t mask;
    };
    for (const Case& c : {Case{1, 0, 0xF800}, Case{0, 1, 0x001F}}) {
        RandomBack(3);
        ASSERT_EQ(krDraw::SmoothRectRGB(x, y, w, h, c.red, 0, c.blue), 1);
        const std::vector<std::uint32_t> one = Grab(x, y, w, h);
        int changed = 0;
        for (std::size_t i = 0; i < one.size(); ++i) {
            ASSERT_EQ(one[i] & ~c.mask, before[i] & ~c.mask) << "red " << c.red << " pixel " << i;
            ASSERT_EQ(one[i] & c.mask, all[i] & c.mask) << "red " << c.red << " pixel " << i;
            changed += (one[i] != before[i]);
        }
        EXPECT_GT(changed, w * h / 2) << "red " << c.red;
    }
}

}  // namespace
