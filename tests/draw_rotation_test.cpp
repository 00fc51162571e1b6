// Rotations and texture mapping on the back screen: the stepping at 0 and
// 180 degrees, mirror, zoom about the box centre, the blended member,
// clipping, refusals, and the same pictures on deeper displays.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "draw_fixture.h"

namespace {

class DrawRotation : public DrawTest {
protected:
    void Start(int bits = 16) {
        if (bits != 16) setenv("KR_DESKTOP_BITS", std::to_string(bits).c_str(), 1);
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        sprite = krDraw::LoadObject(WriteGradient("sprite.bmp", 32, 16).c_str(), 2);
        ASSERT_EQ(sprite, 4);
    }

    // Every back-screen pixel inside (x0, y0, x1, y1) against expect(x, y),
    // and 0 outside it.
    template <typename F>
    void ExpectOnly(int x0, int y0, int x1, int y1, F expect) {
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x) {
                const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
                ASSERT_EQ(BackPixel(x, y), inside ? expect(x, y) : 0u) << x << "," << y;
            }
    }

    std::vector<std::uint32_t> Snapshot() {
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) pixels.push_back(BackPixel(x, y));
        return pixels;
    }

    int sprite = 0;
};

TEST_F(DrawRotation, ZeroDegreesCentresTheSourceAndHalfATurnFlipsIt) {
    Start();
    // Box 40 x 30 at (100, 50): the 32 x 16 source sits 4 and 7 pixels in.
    ASSERT_EQ(krDraw::RotateBlit(100, 50, 140, 80, 0, sprite, 0, 0, 32, 16), 1);
    ExpectOnly(104, 57, 136, 73, [](int x, int y) { return GradientPixel(x - 104, y - 57); });
    krDraw::ClearScreen();
    // 180 degrees: u = 360 * (40 - i), so column i shows source column
    // 36 - i and row j source row 23 - j; upside down and mirrored.
    ASSERT_EQ(krDraw::RotateBlit(100, 50, 140, 80, 180, sprite, 0, 0, 32, 16), 1);
    ExpectOnly(105, 58, 137, 74, [](int x, int y) { return GradientPixel(136 - x, 73 - y); });
    krDraw::ClearScreen();
    // Angles outside 0..359 are taken modulo 360.
    krDraw::RotateBlit(100, 50, 140, 80, -180, sprite, 0, 0, 32, 16);
    ExpectOnly(105, 58, 137, 74, [](int x, int y) { return GradientPixel(136 - x, 73 - y); });
    krDraw::ClearScreen();
    krDraw::RotateBlit(100, 50, 140, 80, 720, sprite, 0, 0, 32, 16);
    ExpectOnly(104, 57, 136, 73, [](int x, int y) { return GradientPixel(x - 104, y - 57); });
}

TEST_F(DrawRotation, QuarterTurnAndMirror) {
    Start();
    // 90 degrees in a 32 x 32 box: sin 360, cos 0; u = 360 * (32 - j),
    // v = 360 * i, so (i, j) shows source (32 - j, i - 8).
    krDraw::RotateBlit(0, 0, 32, 32, 90, sprite, 0, 0, 32, 16);
    ExpectOnly(8, 1, 24, 32, [](int x, int y) { return GradientPixel(32 - y, x - 8); });
    krDraw::ClearScreen();
    // Mirror in a box twice as wide: columns left of the source corner
    // repeat the columns right of it.
    krDraw::RotateMirrorBlit(0, 0, 64, 16, 0, sprite, 0, 0, 32, 16);
    for (int k = 1; k <= 16; ++k) ASSERT_EQ(BackPixel(16 - k, 3), BackPixel(16 + k, 3)) << k;
    EXPECT_EQ(BackPixel(16, 3), GradientPixel(0, 3));
    EXPECT_EQ(BackPixel(47, 3), GradientPixel(31, 3));
}

// The plain rotations against their stepping written out pixel by pixel:
// u, v in 360ths, divided truncating toward zero, moved by the centring
// offsets, absolute values for the mirror; odd angles, a box cut by the
// clip rectangle, a source rectangle larger than the box.
TEST_F(DrawRotation, PlainRotationsFollowTheIntegerStepping) {
    Start();
    struct Case {
        int left, top, right, bottom, angle, srcLeft, srcTop, srcRight, srcBottom;
        bool mirror;
    };
    const Case cases[] = {{100, 50, 161, 97, 37, 0, 0, 32, 16, false},  {0, 0, 45, 33, 211, 2, 1, 30, 15, false},
                          {10, 10, 30, 20, 123, 0, 0, 32, 16, false},   {0, 0, 64, 40, 290, 0, 0, 32, 16, true},
                          {60, 20, 160, 100, 359, 4, 3, 28, 13, true},  {20, 30, 81, 71, 180, 0, 0, 32, 16, true}};
    for (const Case& k : cases) {
        for (const bool clipped : {false, true}) {
            krDraw::ClearScreen();
            krScreen.clip = clipped ? plat::Rect{k.left + 7, k.top + 5, k.right - 9, k.bottom - 3} : plat::Rect{0, 0, 800, 600};
            if (k.mirror)
                krDraw::RotateMirrorBlit(k.left, k.top, k.right, k.bottom, k.angle, sprite, k.srcLeft, k.srcTop, k.srcRight,
                                         k.srcBottom);
            else
                krDraw::RotateBlit(k.left, k.top, k.right, k.bottom, k.angle, sprite, k.srcLeft, k.srcTop, k.srcRight,
                                   k.srcBottom);
            const int w = k.right - k.left, h = k.bottom - k.top, hw = w / 2, hh = h / 2;
            const int ox = (w + k.srcLeft - k.srcRight) / 2, oy = (h + k.srcTop - k.srcBottom) / 2;
            const int sine = krScreen.sine[k.angle], cosine = krScreen.sine[k.angle + 90];
            int U = 360 * hw + hh * sine - hw * cosine, V = 360 * hh - hw * sine - hh * cosine;
            for (int j = 0; j < h; ++j, U -= sine, V += cosine) {
                int u = U, v = V;
                for (int i = 0; i < w; ++i, u += cosine, v += sine) {
                    int sx = u / 360 - ox, sy = v / 360 - oy;
                    if (k.mirror) sx = std::abs(sx), sy = std::abs(sy);
                    const int x = k.left + i, y = k.top + j;
                    const plat::Rect& c = krScreen.clip;
                    const bool shown = sx >= 0 && sx < k.srcRight - k.srcLeft && sy >= 0 && sy < k.srcBottom - k.srcTop &&
                                       x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                    ASSERT_EQ(BackPixel(x, y), shown ? GradientPixel(k.srcLeft + sx, k.srcTop + sy) : 0u)
                        << "angle " << k.angle << (clipped ? " clipped" : "") << " at " << i << "," << j;
                }
            }
        }
    }
}

TEST_F(DrawRotation, ZoomTurnsAndScalesAboutTheBoxCentre) {
    Start();
    krDraw::RotateBlit(100, 50, 140, 80, 0, sprite, 0, 0, 32, 16);
    const std::vector<std::uint32_t> plain = Snapshot();
    krDraw::ClearScreen();
    ASSERT_EQ(krDraw::RotateZoomBlit(100, 50, 140, 80, 0, 1.0f, sprite, 0, 0, 32, 16), 1);
    EXPECT_EQ(Snapshot(), plain) << "zoom 1 at 0 degrees is the plain rotation";
    krDraw::ClearScreen();
    krDraw::RotateZoomBlit(100, 50, 140, 80, 180, 1.0f, sprite, 0, 0, 32, 16);
    ExpectOnly(105, 58, 137, 74, [](int x, int y) { return GradientPixel(136 - x, 73 - y); });
    krDraw::ClearScreen();
    // Zoom 2: the source point under the box centre (120, 65) is (16, 8);
    // each source pixel becomes a 2 x 2 block around it.
    krDraw::RotateZoomBlit(0, 0, 240, 130, 0, 2.0f, sprite, 0, 0, 32, 16);
    for (int dy = -16; dy < 16; ++dy)
        for (int dx = -32; dx < 32; ++dx)
            ASSERT_EQ(BackPixel(120 + dx, 65 + dy), GradientPixel(16 + (dx >> 1), 8 + (dy >> 1))) << dx << "," << dy;
    EXPECT_EQ(BackPixel(120 - 33, 65), 0u);
    EXPECT_EQ(BackPixel(120 + 32, 65), 0u);
    krDraw::ClearScreen();
    // Mirrored zoom: |source x| about the rectangle's corner.
    krDraw::RotateZoomMirrorBlit(0, 0, 64, 16, 0, 1.0f, sprite, 0, 0, 32, 16);
    for (int k = 1; k <= 16; ++k) ASSERT_EQ(BackPixel(16 - k, 3), BackPixel(16 + k, 3)) << k;
}

TEST_F(DrawRotation, BlendedMemberMixesComponents) {
    Start();
    krDraw::FillRect(0, 0, 800, 600, 0xFFFF);
    krDraw::RotateZoomBlit(100, 50, 140, 80, 30, 1.5f, sprite, 0, 0, 32, 16);
    const std::vector<std::uint32_t> opaque = Snapshot();
    krDraw::FillRect(0, 0, 800, 600, 0xFFFF);
    krDraw::RotateZoomAlphaBlit(100, 50, 140, 80, 30, 1.5f, 31, sprite, 0, 0, 32, 16);
    EXPECT_EQ(Snapshot(), opaque) << "level 31 draws the source";
    krDraw::FillRect(0, 0, 800, 600, 0xFFFF);
    krDraw::RotateZoomAlphaBlit(100, 50, 140, 80, 30, 1.5f, 0, sprite, 0, 0, 32, 16);
    for (std::uint32_t p : Snapshot()) ASSERT_EQ(p, 0xFFFFu);
    // Level 10 over white at 0 degrees: (s * 10 + 31 * 21) / 31 per 5-bit component.
    krDraw::FillRect(0, 0, 800, 600, 0xFFFF);
    krDraw::RotateZoomAlphaBlit(100, 50, 140, 80, 0, 1.0f, 10, sprite, 0, 0, 32, 16);
    for (int y = 57; y < 73; ++y)
        for (int x = 104; x < 136; ++x) {
            const std::uint32_t s = GradientPixel(x - 104, y - 57);
            const std::uint32_t r = ((s >> 11) * 10 + 31 * 21) / 31, g = (((s >> 6) & 31) * 10 + 31 * 21) / 31,
                                b = ((s & 31) * 10 + 31 * 21) / 31;
            ASSERT_EQ(BackPixel(x, y), r << 11 | g << 6 | b) << x << "," << y;
        }
}

TEST_F(DrawRotation, ClipRectangleCutsTheBox) {
    Start();
    krDraw::RotateZoomBlit(60, 20, 160, 100, 37, 1.3f, sprite, 0, 0, 32, 16);
    krDraw::RotateBlit(60, 20, 160, 100, 211, sprite, 0, 0, 32, 16);
    const std::vector<std::uint32_t> whole = Snapshot();
    krDraw::ClearScreen();
    krScreen.clip = plat::Rect{100, 50, 120, 70};
    krDraw::RotateZoomBlit(60, 20, 160, 100, 37, 1.3f, sprite, 0, 0, 32, 16);
    krDraw::RotateBlit(60, 20, 160, 100, 211, sprite, 0, 0, 32, 16);
    const std::vector<std::uint32_t> cut = Snapshot();
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool inside = x >= 100 && x < 120 && y >= 50 && y < 70;
            ASSERT_EQ(cut[y * 800 + x], inside ? whole[y * 800 + x] : 0u) << x << "," << y;
        }
}

TEST_F(DrawRotation, NonsenseArgumentsAreRefusedSoundly) {
    Start();
    EXPECT_EQ(krDraw::RotateZoomBlit(0, 0, 100, 100, 10, 0.0f, sprite, 0, 0, 32, 16), 0);
    EXPECT_EQ(krDraw::RotateZoomBlit(0, 0, 100, 100, 10, NAN, sprite, 0, 0, 32, 16), 0);
    EXPECT_EQ(krDraw::RotateZoomMirrorBlit(0, 0, 100, 100, 10, INFINITY, sprite, 0, 0, 32, 16), 0);
    EXPECT_EQ(krDraw::RotateZoomAlphaBlit(0, 0, 100, 100, 10, 1e-9f, 5, sprite, 0, 0, 32, 16), 0);
    EXPECT_EQ(krDraw::RotateScaleBlit(50, 50, 10.0f, 0.0f, 1.0f, sprite, 0, 0, 32, 16), 0);
    EXPECT_EQ(krDraw::RotateScaleBlit(50, 50, NAN, 1.0f, 1.0f, sprite, 0, 0, 32, 16), 0);
    EXPECT_EQ(krDraw::RotateZoomBlit(INT32_MIN, 0, INT32_MAX, 100, 10, 1.0f, sprite, 0, 0, 32, 16), 0);
    // Empty boxes, boxes off the screen, empty or missing sources: nothing.
    EXPECT_EQ(krDraw::RotateBlit(10, 10, 10, 50, 10, sprite, 0, 0, 32, 16), 1);
    EXPECT_EQ(krDraw::RotateBlit(50, 10, 10, 50, 10, sprite, 0, 0, 32, 16), 1);
    EXPECT_EQ(krDraw::RotateBlit(900, 700, 1000, 800, 10, sprite, 0, 0, 32, 16), 1);
    EXPECT_EQ(krDraw::RotateZoomBlit(0, 0, 100, 100, 10, 1.0f, sprite, 5, 5, 5, 9), 1);
    EXPECT_EQ(krDraw::RotateBlit(0, 0, 100, 100, 10, 300, 0, 0, 32, 16), 0);
    EXPECT_EQ(krDraw::RotateBlit(0, 0, 100, 100, 10, -1, 0, 0, 32, 16), 0);
    for (std::uint32_t p : Snapshot()) ASSERT_EQ(p, 0u);
    // A source rectangle reaching beyond its picture reads only the picture.
    EXPECT_EQ(krDraw::RotateBlit(0, 0, 200, 100, 33, sprite, -50, -40, 90, 60), 1);
    EXPECT_EQ(krDraw::RotateZoomMirrorBlit(0, 0, 200, 100, 33, 0.5f, sprite, INT32_MIN, -40, INT32_MAX, 60), 1);
    // A huge zoom shows the one source pixel under the centre everywhere.
    krDraw::ClearScreen();
    EXPECT_EQ(krDraw::RotateZoomBlit(0, 0, 100, 100, 45, 1e30f, sprite, 0, 0, 32, 16), 1);
    EXPECT_EQ(BackPixel(0, 0), GradientPixel(16, 8));
    EXPECT_EQ(BackPixel(99, 99), GradientPixel(16, 8));
    krDraw::ClearScreen();
    EXPECT_EQ(krDraw::RotateScaleBlit(400, 300, 45.0f, 1e30f, 1e30f, sprite, 0, 0, 32, 16), 1);
    EXPECT_EQ(BackPixel(0, 0), GradientPixel(16, 8));
    EXPECT_EQ(BackPixel(799, 599), GradientPixel(16, 8));
}

TEST_F(DrawRotation, FloatRotationCentresOnThePoint) {
    Start();
    ASSERT_EQ(krDraw::RotateScaleBlit(100, 60, 0.0f, 1.0f, 1.0f, sprite, 0, 0, 32, 16), 1);
    ExpectOnly(84, 52, 116, 68, [](int x, int y) { return GradientPixel(x - 84, y - 52); });
    krDraw::ClearScreen();
    // Twice as wide, as high: every source pixel a 2 x 1 block.
    krDraw::RotateScaleBlit(100, 60, 0.0f, 2.0f, 1.0f, sprite, 0, 0, 32, 16);
    ExpectOnly(68, 52, 132, 68, [](int x, int y) { return GradientPixel((x - 68) / 2, y - 52); });
    krDraw::ClearScreen();
    krDraw::RotateScaleBlit(100, 60, 180.0f, 1.0f, 1.0f, sprite, 0, 0, 32, 16);
    EXPECT_EQ(BackPixel(116, 68), GradientPixel(0, 0));
    EXPECT_EQ(BackPixel(85, 53), GradientPixel(31, 15));
}

TEST_F(DrawRotation, TextureMapFollowsItsTable) {
    Start();
    // A texture whose rows are one colour each: a pixel's colour then
    // depends only on table y, the distance term.
    std::vector<std::uint32_t> rows;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) rows.push_back(static_cast<std::uint32_t>((y + 1) * 0x0F0A08));
    const int texture = krDraw::LoadObject(WritePicture("rows.bmp", 8, 16, rows).c_str(), 2);
    EXPECT_EQ(krDraw::TextureMapBlit(0, 0, 0, 0, texture, 0, 0, 8, 16), 0) << "no table yet";
    EXPECT_EQ(krDraw::MakeTextureMap(0, 10, -1, -1, 0), 0);
    EXPECT_EQ(krDraw::MakeTextureMap(10, 10, -1, -1, 6), 0);
    EXPECT_EQ(krDraw::MakeTextureMap(2049, 10, -1, -1, 0), 0);

    ASSERT_EQ(krDraw::MakeTextureMap(61, 41, -1, -1, 4), 1);  // horizontal distance alone
    ASSERT_EQ(krDraw::TextureMapBlit(10, 10, 0, 3, texture, 0, 0, 8, 16), 1);
    for (int x = 10; x < 71; ++x)
        for (int y = 11; y < 51; ++y) ASSERT_EQ(BackPixel(x, y), BackPixel(x, 10)) << "columns are one colour";
    EXPECT_EQ(BackPixel(10 + 30 + 16, 10), BackPixel(10 + 30 - 16, 10)) << "symmetric about the centre";
    // Distance 16: table y 256, + 3 -> row 259 % 16 = 3.
    EXPECT_EQ(BackPixel(10 + 30 + 16, 10), ObjectPixel(texture, 0, 3));
    const std::vector<std::uint32_t> once = Snapshot();
    krDraw::TextureMapBlit(10, 10, 8 * 5, 3 - 16 * 7, texture, 0, 0, 8, 16);
    EXPECT_EQ(Snapshot(), once) << "offsets wrap modulo the texture size";

    krDraw::ClearScreen();
    ASSERT_EQ(krDraw::MakeTextureMap(41, 41, -1, -1, 0), 1);  // Euclidean
    krDraw::TextureMapBlit(0, 0, 0, 0, texture, 0, 0, 8, 16);
    for (int a = -20; a <= 20; a += 3)
        for (int b = -20; b <= 20; b += 5) ASSERT_EQ(BackPixel(20 + a, 20 + b), BackPixel(20 + b, 20 + a)) << a << "," << b;
    // A texture rectangle beyond its picture is cut to it.
    EXPECT_EQ(krDraw::TextureMapBlit(0, 0, 0, 0, texture, -30, -30, 100, 100), 1);
    EXPECT_EQ(krDraw::TextureMapBlit(0, 0, 0, 0, texture, 20, 20, 30, 30), 1);
}

TEST_F(DrawRotation, DeeperDisplaysAgreeWithSixteenBits) {
    // A copy keeps the pixel, so reduced to 5 bits every depth gives the
    // 16-bit picture; the blend is exact on 5-bit-exact components too.
    auto draw = [] {
        krDraw::FillRect(0, 0, 800, 600, 0);
        krDraw::RotateBlit(0, 0, 90, 70, 33, 4, 0, 0, 32, 16);
        krDraw::RotateZoomMirrorBlit(90, 0, 190, 70, 301, 1.7f, 4, 0, 0, 32, 16);
        krDraw::RotateZoomAlphaBlit(0, 30, 120, 110, 77, 0.8f, 19, 4, 0, 0, 32, 16);
    };
    auto reduce = [](const plat::Surface& s) {
        std::vector<std::uint32_t> out;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x) {
                std::uint8_t r, g, b;
                plat::UnmapRGB(s.format, plat::GetPixel(s, x, y), r, g, b);
                out.push_back(static_cast<std::uint32_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3)));
            }
        return out;
    };
    Start(16);
    draw();
    const std::vector<std::uint32_t> sixteen = reduce(*krScreen.back);
    for (int bits : {15, 24, 32}) {
        TearDown();
        SetUp();
        Start(bits);
        draw();
        EXPECT_EQ(reduce(*krScreen.back), sixteen) << bits << " bits";
    }
}

}  // namespace
