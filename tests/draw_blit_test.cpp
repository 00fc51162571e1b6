// Blits and fills on the back screen and on objects: the clipping rule,
// keyed and opaque copies, capture, the fills and the half fill, and the
// restore triggered by a copy that meets a lost surface.
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

    // Expects the back screen to hold the sprite's column sx, row sy at
    // (x, y) for the given rectangle of the screen, and 0 elsewhere.
    void ExpectSpriteAt(int x0, int y0, int sx0, int sy0, int w, int h) {
        for (int y = 0; y < 600; y += (y < 40 ? 1 : 37))
            for (int x = 0; x < 800; ++x) {
                const bool inside = x >= x0 && x < x0 + w && y >= y0 && y < y0 + h;
                const std::uint32_t want = inside ? GradientPixel(sx0 + x - x0, sy0 + y - y0) : 0u;
                ASSERT_EQ(BackPixel(x, y), want) << x << "," << y;
            }
    }

    int sprite = 0;
};

TEST_F(DrawBlit, ClippingRule) {
    krDraw::Blit(-10, 3, sprite, 0, 0, 32, 16);  // columns 10..31 at x = 0
    ExpectSpriteAt(0, 3, 10, 0, 22, 16);

    krDraw::ClearScreen();
    krDraw::Blit(795, 0, sprite, 0, 0, 32, 16);  // the first 5 columns only
    for (int x = 790; x < 800; ++x) EXPECT_EQ(BackPixel(x, 0), x >= 795 ? GradientPixel(x - 795, 0) : 0u);

    krDraw::ClearScreen();
    krDraw::Blit(768, 584, sprite, 0, 0, 32, 16);  // ends exactly at the edges: drawn whole
    EXPECT_EQ(BackPixel(768, 584), GradientPixel(0, 0));
    EXPECT_EQ(BackPixel(799, 599), GradientPixel(31, 15));

    krDraw::ClearScreen();
    krDraw::Blit(900, 10, sprite, 0, 0, 32, 16);  // r < l: nothing
    krDraw::Blit(5, -40, sprite, 0, 0, 32, 16);   // b < t: nothing
    krDraw::Blit(5, 5, sprite, 4, 4, 4, 10);      // zero width: nothing
    ExpectSpriteAt(0, 0, 0, 0, 0, 0);
}

TEST_F(DrawBlit, ClipRectangleBoundsEveryCopy) {
    krScreen.clip = plat::Rect{100, 50, 120, 60};
    krDraw::Blit(90, 45, sprite, 0, 0, 32, 16);
    ExpectSpriteAt(100, 50, 10, 5, 20, 10);

    // The screen's clip rectangle applies to object destinations too.
    krScreen.clip = plat::Rect{0, 0, 800, 600};
    const int big = krDraw::CreateObject(1000, 20, 2);
    krDraw::BlitObjectOpaque(big, 790, 0, sprite, 0, 0, 32, 16);
    EXPECT_EQ(ObjectPixel(big, 799, 0), GradientPixel(9, 0));
    EXPECT_EQ(ObjectPixel(big, 800, 0), 0u);
}

TEST_F(DrawBlit, SourceRectangleOutsideThePictureIsCut) {
    // Columns past the picture's right edge are not read.
    krDraw::BlitOpaque(0, 0, sprite, 20, 0, 60, 16);
    ExpectSpriteAt(0, 0, 20, 0, 12, 16);
    krDraw::ClearScreen();
    krDraw::BlitOpaque(10, 10, sprite, -4, -2, 8, 4);
    ExpectSpriteAt(14, 12, 0, 0, 8, 4);
    krDraw::Blit(0, 0, 200, 0, 0, 8, 8);  // an empty slot: nothing
    krDraw::Blit(0, 0, 9999, 0, 0, 8, 8);
}

TEST_F(DrawBlit, KeyedAgainstOpaque) {
    std::vector<std::uint32_t> pixels(4 * 2, 0xFFFFFF);
    pixels[1] = 0x000000;
    pixels[6] = 0x000000;
    const int keyed = krDraw::LoadObject(WritePicture("holes.bmp", 4, 2, pixels).c_str(), 2);
    krDraw::FillRect(0, 0, 800, 600, 0x1111);
    krDraw::Blit(10, 10, keyed, 0, 0, 4, 2);
    EXPECT_EQ(BackPixel(10, 10), 0xFFFFu);
    EXPECT_EQ(BackPixel(11, 10), 0x1111u) << "black is the key";
    EXPECT_EQ(BackPixel(12, 11), 0x1111u);
    krDraw::BlitOpaque(10, 10, keyed, 0, 0, 4, 2);
    EXPECT_EQ(BackPixel(11, 10), 0u);

    // Object to object, keyed and not.
    const int target = krDraw::CreateObject(8, 8, 2);
    krDraw::ClearObject(target);
    plat::FillRect(krObjects[target].surface, nullptr, 0x2222);
    krDraw::BlitObject(target, 1, 1, keyed, 0, 0, 4, 2);
    EXPECT_EQ(ObjectPixel(target, 2, 1), 0x2222u);
    EXPECT_EQ(ObjectPixel(target, 1, 1), 0xFFFFu);
    krDraw::BlitObjectOpaque(target, 1, 1, keyed, 0, 0, 4, 2);
    EXPECT_EQ(ObjectPixel(target, 2, 1), 0u);
}

TEST_F(DrawBlit, CaptureScreen) {
    krDraw::BlitOpaque(100, 200, sprite, 0, 0, 32, 16);
    const int shot = krDraw::CreateObject(10, 10, 2);
    krDraw::CaptureScreen(shot, 105, 203, 115, 213);
    EXPECT_EQ(ObjectPixel(shot, 0, 0), GradientPixel(5, 3));
    EXPECT_EQ(ObjectPixel(shot, 9, 9), GradientPixel(14, 12));
}

TEST_F(DrawBlit, Fills) {
    EXPECT_EQ(krDraw::WhiteScreen(), plat::DD_OK);
    EXPECT_EQ(BackPixel(0, 0), 0xFFFFu);
    EXPECT_EQ(BackPixel(799, 599), 0xFFFFu);
    EXPECT_EQ(krDraw::FrameRect(10, 10, 20, 20), plat::DD_OK);
    for (int y = 5; y < 25; ++y)
        for (int x = 5; x < 25; ++x) {
            const bool inSquare = x >= 10 && x < 20 && y >= 10 && y < 20;
            const bool edge = inSquare && (x == 10 || x == 19 || y == 10 || y == 19);
            ASSERT_EQ(BackPixel(x, y), edge ? 0u : 0xFFFFu) << x << "," << y;
        }
    krDraw::ClearRect(0, 0, 3, 3);
    EXPECT_EQ(BackPixel(2, 2), 0u);
    EXPECT_EQ(BackPixel(3, 2), 0xFFFFu);
    krDraw::FillRect(0, 0, 2, 1, 0xABCD1234);  // the low 16 bits
    EXPECT_EQ(BackPixel(1, 0), 0x1234u);
    krDraw::ClearScreen();
    krDraw::WhiteRect(700, 500, 900, 700);
    EXPECT_EQ(BackPixel(799, 599), 0xFFFFu);
    EXPECT_EQ(BackPixel(699, 599), 0u);

    EXPECT_EQ(krDraw::ClearObject(sprite), plat::DD_OK);
    EXPECT_EQ(ObjectPixel(sprite, 31, 15), 0u);
}

TEST_F(DrawBlit, HalfFill) {
    krDraw::FillRect(0, 0, 800, 600, 0xFFFF);
    EXPECT_EQ(krDraw::HalfFillRect(0, 0, 2, 1, 0), 1);
    EXPECT_EQ(BackPixel(0, 0), 0x7BEFu);  // every component halved
    EXPECT_EQ(BackPixel(2, 0), 0xFFFFu);

    krDraw::FillRect(0, 0, 800, 600, 0x0000);
    EXPECT_EQ(krDraw::HalfFillRect(-5, -5, 1, 1, 0xFFFF), 1);  // clipped to the screen
    EXPECT_EQ(BackPixel(0, 0), 0x7BEFu);
    krDraw::FillRect(0, 0, 1, 1, 0x0842);  // r=1 g=2 b=2 moves half way to white, halves truncated
    krDraw::HalfFillRect(0, 0, 1, 1, 0xFFFF);
    EXPECT_EQ(BackPixel(0, 0), static_cast<std::uint32_t>((15 << 11) | (32 << 5) | 16));
    EXPECT_EQ(krDraw::HalfFillRect(900, 0, 950, 10, 0), 1);

    plat::MarkAllSurfacesLost();
    EXPECT_EQ(krDraw::HalfFillRect(0, 0, 10, 10, 0), 0) << "the lost back screen cannot be locked";
    krDraw::Restore();
}

TEST_F(DrawBlit, CopyMeetingALostSurfaceRestores) {
    plat::MarkAllSurfacesLost();
    EXPECT_EQ(krDraw::ClearScreen(), plat::DDERR_SURFACELOST) << "fills only report";
    EXPECT_TRUE(plat::IsLost(krScreen.back));
    krDraw::Blit(0, 0, sprite, 0, 0, 32, 16);
    EXPECT_FALSE(plat::IsLost(krScreen.back));
    EXPECT_EQ(BackPixel(0, 0), 0u) << "the copy is not repeated";
    EXPECT_EQ(ObjectPixel(sprite, 7, 7), GradientPixel(7, 7)) << "the picture was reloaded";
    krDraw::Blit(0, 0, sprite, 0, 0, 32, 16);
    EXPECT_EQ(BackPixel(7, 7), GradientPixel(7, 7));
}

}  // namespace
