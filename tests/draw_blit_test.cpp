// Blits and fills: the clipping rule, keyed and opaque copies onto the back
// screen and objects, capture, the fills and the half fill, and the restore
// that a copy meeting a lost surface sets off.
#include <string>
#include <vector>

#include "draw_fixture.h"

namespace {

class DrawBlit : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        sprite = krDraw::LoadObject(WriteGradient("sprite.bmp", 32, 16).c_str(), 2);
        ASSERT_EQ(sprite, 4);
    }

    // Expects the sprite's pixel (sx0 + x - x0, sy0 + y - y0) on the back
    // screen inside w x h at (x0, y0), and 0 elsewhere (rows sampled).
    void ExpectSpriteAt(int x0, int y0, int sx0, int sy0, int w, int h) {
        for (int y = 0; y < 600; y += (y < 40 || y > 580 ? 1 : 37))
            for (int x = 0; x < 800; ++x) {
                const bool inside = x >= x0 && x < x0 + w && y >= y0 && y < y0 + h;
                ASSERT_EQ(BackPixel(x, y), inside ? GradientPixel(sx0 + x - x0, sy0 + y - y0) : 0u) << x << "," << y;
            }
    }

    int sprite = 0;
};

TEST_F(DrawBlit, ClippingRule) {
    krDraw::Blit(-10, 3, sprite, 0, 0, 32, 16);  // columns 10..31 at x = 0
    ExpectSpriteAt(0, 3, 10, 0, 22, 16);
    krDraw::ClearScreen();
    krDraw::Blit(795, 590, sprite, 0, 0, 32, 16);  // the first 5 columns and 10 rows
    ExpectSpriteAt(795, 590, 0, 0, 5, 10);
    krDraw::ClearScreen();
    krDraw::Blit(768, 584, sprite, 0, 0, 32, 16);  // ends exactly at the edges: whole
    ExpectSpriteAt(768, 584, 0, 0, 32, 16);
    krDraw::ClearScreen();
    krDraw::Blit(900, 10, sprite, 0, 0, 32, 16);   // r < l
    krDraw::Blit(5, -40, sprite, 0, 0, 32, 16);    // b < t
    krDraw::Blit(5, 5, sprite, 4, 4, 4, 10);       // zero width
    krDraw::Blit(0, 0, 200, 0, 0, 8, 8);           // an empty slot
    krDraw::Blit(0, 0, 9999, 0, 0, 8, 8);          // no such slot
    krDraw::BlitOpaque(INT32_MIN, INT32_MIN, sprite, INT32_MAX, 0, INT32_MAX, 16);
    ExpectSpriteAt(0, 0, 0, 0, 0, 0);

    // The moved clip rectangle bounds the copy; so does it for objects.
    krScreen.clip = plat::Rect{100, 50, 120, 60};
    krDraw::Blit(90, 45, sprite, 0, 0, 32, 16);
    ExpectSpriteAt(100, 50, 10, 5, 20, 10);
    krScreen.clip = plat::Rect{0, 0, 800, 600};
    const int wide = krDraw::CreateObject(1000, 20, 2);
    krDraw::BlitObjectOpaque(wide, 790, 0, sprite, 0, 0, 32, 16);
    EXPECT_EQ(ObjectPixel(wide, 799, 0), GradientPixel(9, 0));
    EXPECT_EQ(ObjectPixel(wide, 800, 0), 0u);
}

TEST_F(DrawBlit, SourceRectangleOutsideThePictureIsCut) {
    krDraw::BlitOpaque(0, 0, sprite, 20, 0, 60, 16);
    ExpectSpriteAt(0, 0, 20, 0, 12, 16);
    krDraw::ClearScreen();
    krDraw::BlitOpaque(10, 10, sprite, -4, -2, 8, 4);
    ExpectSpriteAt(14, 12, 0, 0, 8, 4);
}

TEST_F(DrawBlit, KeyedAgainstOpaqueAndCapture) {
    std::vector<std::uint32_t> pixels(4 * 2, 0xFFFFFF);
    pixels[1] = pixels[6] = 0x000000;  // black: the key
    const int holes = krDraw::LoadObject(WritePicture("holes.bmp", 4, 2, pixels).c_str(), 2);
    krDraw::FillRect(0, 0, 800, 600, 0x1111);
    krDraw::Blit(10, 10, holes, 0, 0, 4, 2);
    EXPECT_EQ(BackPixel(10, 10), 0xFFFFu);
    EXPECT_EQ(BackPixel(11, 10), 0x1111u);
    EXPECT_EQ(BackPixel(12, 11), 0x1111u);
    krDraw::BlitOpaque(10, 10, holes, 0, 0, 4, 2);
    EXPECT_EQ(BackPixel(11, 10), 0u);

    const int target = krDraw::CreateObject(8, 8, 2);
    plat::FillRect(krObjects[target].surface, nullptr, 0x2222);
    krDraw::BlitObject(target, 1, 1, holes, 0, 0, 4, 2);
    EXPECT_EQ(ObjectPixel(target, 2, 1), 0x2222u);
    EXPECT_EQ(ObjectPixel(target, 1, 1), 0xFFFFu);
    krDraw::BlitObjectOpaque(target, 1, 1, holes, 0, 0, 4, 2);
    EXPECT_EQ(ObjectPixel(target, 2, 1), 0u);

    krDraw::BlitOpaque(100, 200, sprite, 0, 0, 32, 16);
    krDraw::CaptureScreen(target, 105, 203, 113, 211);
    EXPECT_EQ(ObjectPixel(target, 0, 0), GradientPixel(5, 3));
    EXPECT_EQ(ObjectPixel(target, 7, 7), GradientPixel(12, 10));
}

TEST_F(DrawBlit, Fills) {
    EXPECT_EQ(krDraw::WhiteScreen(), plat::DD_OK);
    EXPECT_EQ(krDraw::FrameRect(10, 10, 20, 20), plat::DD_OK);
    for (int y = 5; y < 25; ++y)
        for (int x = 5; x < 25; ++x) {
            const bool edge = x >= 10 && x < 20 && y >= 10 && y < 20 && (x == 10 || x == 19 || y == 10 || y == 19);
            ASSERT_EQ(BackPixel(x, y), edge ? 0u : 0xFFFFu) << x << "," << y;
        }
    krDraw::ClearRect(0, 0, 3, 3);
    EXPECT_EQ(BackPixel(2, 2) * 0x10000 + BackPixel(3, 2), 0xFFFFu);
    krDraw::FillRect(0, 0, 2, 1, 0xABCD1234);  // the low 16 bits
    EXPECT_EQ(BackPixel(1, 0), 0x1234u);
    krDraw::ClearScreen();
    EXPECT_EQ(krDraw::WhiteRect(700, 500, 900, 700), plat::DDERR_INVALIDRECT) << "reaches outside: refused";
    EXPECT_EQ(BackPixel(799, 599), 0u);
    EXPECT_EQ(krDraw::WhiteRect(700, 500, 800, 600), plat::DD_OK);
    EXPECT_EQ(BackPixel(799, 599), 0xFFFFu);
    EXPECT_EQ(BackPixel(699, 599), 0u);
    EXPECT_EQ(krDraw::ClearObject(sprite), plat::DD_OK);
    EXPECT_EQ(ObjectPixel(sprite, 31, 15), 0u);
}

TEST_F(DrawBlit, HalfFill) {
    krDraw::FillRect(0, 0, 800, 600, 0xFFFF);
    EXPECT_EQ(krDraw::HalfFillRect(0, 0, 2, 1, 0), 1);
    EXPECT_EQ(BackPixel(0, 0), 0x7BEFu) << "every component halved";
    EXPECT_EQ(BackPixel(2, 0), 0xFFFFu);
    // Half way towards white, each half truncated: r 1, g 2, b 2 -> 15, 32, 16.
    krDraw::FillRect(0, 0, 1, 1, 0x0842);
    EXPECT_EQ(krDraw::HalfFillRect(-5, -5, 1, 1, 0xFFFF), 1);
    EXPECT_EQ(BackPixel(0, 0), static_cast<std::uint32_t>(15 << 11 | 32 << 5 | 16));
    EXPECT_EQ(krDraw::HalfFillRect(900, 0, 950, 10, 0), 1);
    plat::MarkAllSurfacesLost();
    EXPECT_EQ(krDraw::HalfFillRect(0, 0, 10, 10, 0), 0) << "a lost back screen cannot be locked";
}

TEST_F(DrawBlit, CopyMeetingALostSurfaceRestores) {
    plat::MarkAllSurfacesLost();
    EXPECT_EQ(krDraw::ClearScreen(), plat::DDERR_SURFACELOST) << "fills only report";
    krDraw::Blit(0, 0, sprite, 0, 0, 32, 16);
    EXPECT_FALSE(plat::IsLost(krScreen.back));
    EXPECT_EQ(BackPixel(7, 7), 0u) << "the copy is not repeated";
    EXPECT_EQ(ObjectPixel(sprite, 7, 7), GradientPixel(7, 7)) << "the picture was reloaded";
}

}  // namespace
