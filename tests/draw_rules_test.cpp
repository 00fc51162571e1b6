// Display rules that the game's own pictures do not reach: fills and copies
// whose destination reaches outside their surface, a restore that leaves
// what was not lost alone, white and colour keys on 24- and 32-bit
// displays, keyed copies between objects with different keys, the peak of
// the frame-rate line, long words in text boxes and the underline's row.
#include <string>
#include <vector>

#include "draw/krFrameRate.h"
#include "draw_fixture.h"

namespace {

class DrawRules : public DrawTest {
protected:
    void Open(const char* desktopBits = nullptr) {
        if (desktopBits) setenv("KR_DESKTOP_BITS", desktopBits, 1);
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    }
    void TearDown() override {
        krDraw::QuitFont();
        DrawTest::TearDown();
    }
    static int CountBack(std::uint32_t value, plat::Rect r = {0, 0, 800, 600}) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += BackPixel(x, y) == value;
        return n;
    }
    static std::uint32_t White() { return krScreen.pixelFormat.white; }
};

// ---- destinations outside their surface ----

TEST_F(DrawRules, FillsReachingOutsideTheBackScreenDoNothing) {
    Open();
    for (const plat::Rect& r : {plat::Rect{-1, 0, 10, 10}, plat::Rect{0, -1, 10, 10}, plat::Rect{790, 0, 801, 10},
                                plat::Rect{0, 590, 10, 601}, plat::Rect{-100, -100, 900, 700}}) {
        EXPECT_EQ(krDraw::WhiteRect(r.left, r.top, r.right, r.bottom), plat::DDERR_INVALIDRECT);
        EXPECT_EQ(krDraw::FillRect(r.left, r.top, r.right, r.bottom, 0x1234), plat::DDERR_INVALIDRECT);
    }
    EXPECT_EQ(CountBack(0), 800 * 600) << "nothing drawn";
    EXPECT_EQ(krDraw::WhiteRect(0, 0, 800, 600), plat::DD_OK);
    EXPECT_EQ(krDraw::ClearRect(795, 595, 801, 600), plat::DDERR_INVALIDRECT);
    EXPECT_EQ(BackPixel(799, 599), White());
    EXPECT_EQ(krDraw::ClearRect(795, 595, 800, 600), plat::DD_OK);
    EXPECT_EQ(BackPixel(799, 599), 0u);

    // The frame's four fills are refused one by one: only the right edge
    // lies inside.
    krDraw::WhiteScreen();
    krDraw::FrameRect(-1, 10, 20, 20);
    EXPECT_EQ(CountBack(0), 10);
    for (int y = 10; y < 20; ++y) EXPECT_EQ(BackPixel(19, y), 0u);
}

TEST_F(DrawRules, CopiesReachingOutsideAnObjectDoNothing) {
    Open();
    const int sprite = krDraw::LoadObject(WriteGradient("g.bmp", 32, 16).c_str(), 2);
    const int target = krDraw::CreateObject(20, 20, 2);
    plat::FillRect(krObjects[target].surface, nullptr, 0x2222);
    auto untouched = [&] {
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                if (ObjectPixel(target, x, y) != 0x2222u) return false;
        return true;
    };
    krDraw::BlitObjectOpaque(target, 10, 0, sprite, 0, 0, 16, 8);  // 6 columns too wide
    krDraw::BlitObject(target, 0, 15, sprite, 0, 0, 8, 8);         // 3 rows too low
    krDraw::BlitObjectOpaque(target, -1, 0, sprite, 0, 0, 8, 8);   // clipped by the screen's rule, then inside
    EXPECT_EQ(ObjectPixel(target, 0, 0), GradientPixel(1, 0)) << "the clip rule cuts at the screen's left edge";
    plat::FillRect(krObjects[target].surface, nullptr, 0x2222);
    krDraw::BlitObjectOpaque(target, 10, 0, sprite, 0, 0, 16, 8);
    EXPECT_TRUE(untouched());
    // Only the source is cut to its picture: 32 - 24 = 8 columns fit.
    krDraw::BlitObjectOpaque(target, 12, 0, sprite, 24, 0, 40, 8);
    EXPECT_EQ(ObjectPixel(target, 19, 7), GradientPixel(31, 7));
    EXPECT_EQ(ObjectPixel(target, 11, 0), 0x2222u);

    // Capture: the back screen's rectangle lands at (0, 0) of the object.
    plat::FillRect(krObjects[target].surface, nullptr, 0x2222);
    krDraw::BlitOpaque(0, 0, sprite, 0, 0, 32, 16);
    krDraw::CaptureScreen(target, 0, 0, 21, 10);  // one column too wide
    EXPECT_TRUE(untouched());
    krDraw::CaptureScreen(target, -5, 0, 15, 10);  // cut to the screen: 15 columns at x 5
    EXPECT_EQ(ObjectPixel(target, 5, 0), GradientPixel(0, 0));
    EXPECT_EQ(ObjectPixel(target, 19, 9), GradientPixel(14, 9));
    EXPECT_EQ(ObjectPixel(target, 4, 0), 0x2222u);
    krDraw::CaptureScreen(target, 0, 0, 20, 20);  // exactly the object
    EXPECT_EQ(ObjectPixel(target, 19, 15), GradientPixel(19, 15));
}

// ---- restore ----

TEST_F(DrawRules, RestoreLeavesObjectsThatWereNotLostAlone) {
    OpenWindow();
    Open();
    const std::string pic = WriteGradient("r.bmp", 8, 8);
    const int kept = krDraw::LoadObject(pic.c_str(), 2), lost = krDraw::LoadObject(pic.c_str(), 2);
    plat::FillRect(krObjects[kept].surface, nullptr, 0x1111);  // drawn on since loading
    plat::FillRect(krObjects[lost].surface, nullptr, 0x1111);
    krObjects[lost].surface->lost = true;
    krDraw::Restore();
    EXPECT_EQ(ObjectPixel(kept, 3, 3), 0x1111u) << "not lost: not reloaded";
    EXPECT_EQ(ObjectPixel(lost, 3, 3), GradientPixel(3, 3)) << "lost: reloaded from its file";
}

// ---- 24- and 32-bit displays ----

class DrawDeepRules : public DrawRules, public testing::WithParamInterface<const char*> {};

TEST_P(DrawDeepRules, WhiteIsWhite) {
    Open(GetParam());
    krDraw::WhiteScreen();
    std::uint8_t r, g, b;
    plat::UnmapRGB(krScreen.back->format, BackPixel(400, 300), r, g, b);
    EXPECT_EQ(r * 0x10000 + g * 0x100 + b, 0xFFFFFF);
    krDraw::ClearScreen();
    krDraw::WhiteRect(10, 10, 20, 20);
    plat::UnmapRGB(krScreen.back->format, BackPixel(15, 15), r, g, b);
    EXPECT_EQ(r * 0x10000 + g * 0x100 + b, 0xFFFFFF);
}

TEST_P(DrawDeepRules, ColourAndCornerKeysLeaveTheirPixelsOut) {
    Open(GetParam());
    // Magenta is the key; black, and a colour one step from magenta, are not.
    const std::string pic = WritePicture("keys.bmp", 4, 1, {0x123456, 0xFF00FF, 0x000000, 0xFE00FF});
    krDraw::SetColorKey(0xFF00FF);  // 0x00BBGGRR: magenta either way
    const int keyed = krDraw::LoadObject(pic.c_str(), 2);
    krDraw::SetCornerColorKey();
    const int corner = krDraw::LoadObject(pic.c_str(), 2);
    const std::uint32_t under = plat::MapRGB(krScreen.back->format, 9, 99, 199);
    for (int handle : {keyed, corner}) {
        plat::FillRect(krScreen.back, nullptr, under);
        krDraw::Blit(0, 0, handle, 0, 0, 4, 1);
        const bool cornerKey = handle == corner;
        EXPECT_EQ(BackPixel(0, 0) == under, cornerKey) << "the top-left colour";
        EXPECT_EQ(BackPixel(1, 0) == under, !cornerKey) << "magenta";
        EXPECT_EQ(BackPixel(2, 0), plat::MapRGB(krScreen.back->format, 0, 0, 0)) << "black is drawn";
        EXPECT_NE(BackPixel(3, 0), under) << "near magenta is drawn";
    }
}

TEST_P(DrawDeepRules, ObjectToObjectCopiesUseTheSourceKey) {
    Open(GetParam());
    const std::string pic = WritePicture("src.bmp", 3, 1, {0xFF00FF, 0x000000, 0x00FF00});
    krDraw::SetColorKey(0xFF00FF);
    const int source = krDraw::LoadObject(pic.c_str(), 2);
    krDraw::SetColorKey(0x000000);
    const int destination = krDraw::CreateObject(3, 1, 2);
    const std::uint32_t fill = plat::MapRGB(krScreen.back->format, 40, 50, 60);
    plat::FillRect(krObjects[destination].surface, nullptr, fill);
    krDraw::BlitObject(destination, 0, 0, source, 0, 0, 3, 1);
    EXPECT_EQ(ObjectPixel(destination, 0, 0), fill) << "the source's key is skipped";
    EXPECT_EQ(ObjectPixel(destination, 1, 0), 0u) << "black, the destination's key, is copied";
    EXPECT_EQ(ObjectPixel(destination, 2, 0), plat::MapRGB(krScreen.back->format, 0, 255, 0));
}

// Pure red (0x000000FF) is a key that reads differently in the two byte
// orders: red is left out, and blue, its mirror image, is drawn.
TEST_P(DrawDeepRules, PureRedKeyIsNotReadAsBlue) {
    Open(GetParam());
    const std::string pic = WritePicture("red.bmp", 4, 1, {0xFF0000, 0x0000FF, 0xFE0000, 0xFF0001});
    krDraw::SetColorKey(0x0000FF);
    const int keyed = krDraw::LoadObject(pic.c_str(), 2);
    ASSERT_GT(keyed, 0);
    const plat::PixelFormat& f = krScreen.back->format;
    const std::uint32_t under = plat::MapRGB(f, 9, 99, 199);
    plat::FillRect(krScreen.back, nullptr, under);
    krDraw::Blit(0, 0, keyed, 0, 0, 4, 1);
    EXPECT_EQ(BackPixel(0, 0), under) << "red is the key";
    EXPECT_EQ(BackPixel(1, 0), plat::MapRGB(f, 0, 0, 255)) << "blue is drawn";
    EXPECT_EQ(BackPixel(2, 0), plat::MapRGB(f, 254, 0, 0)) << "near red is drawn";
    EXPECT_EQ(BackPixel(3, 0), plat::MapRGB(f, 255, 0, 1));
    // Object to object, and after a key set on the object itself.
    const int target = krDraw::CreateObject(4, 1, 2);
    plat::FillRect(krObjects[target].surface, nullptr, under);
    krDraw::BlitObject(target, 0, 0, keyed, 0, 0, 4, 1);
    EXPECT_EQ(ObjectPixel(target, 0, 0), under);
    EXPECT_EQ(ObjectPixel(target, 1, 0), plat::MapRGB(f, 0, 0, 255));
    krDraw::SetObjectColorKey(keyed, 0xFF0000);  // now blue
    plat::FillRect(krScreen.back, nullptr, under);
    krDraw::Blit(0, 0, keyed, 0, 0, 4, 1);
    EXPECT_EQ(BackPixel(0, 0), plat::MapRGB(f, 255, 0, 0));
    EXPECT_EQ(BackPixel(1, 0), under);
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawDeepRules, testing::Values("24", "32"));

// ---- the frame-rate line ----

TEST_F(DrawRules, AFallingRateKeepsThePeak) {
    Open();
    krFrameRate = krFrameRateRecord{};
    plat::headless::SetClock(10000);
    for (int i = 0; i < 120; ++i) krDraw::DrawFps();
    plat::headless::SetClock(12000);
    krDraw::DrawFps();  // 120 calls in two seconds
    EXPECT_STREQ(krFrameRate.text, "60.0 fps ( max 60.0 / min 60.0 )");
    for (int i = 0; i < 19; ++i) krDraw::DrawFps();
    plat::headless::SetClock(14000);
    krDraw::DrawFps();
    EXPECT_STREQ(krFrameRate.text, "10.0 fps ( max 60.0 / min 10.0 )");
    for (int i = 0; i < 59; ++i) krDraw::DrawFps();
    plat::headless::SetClock(16000);
    krDraw::DrawFps();
    EXPECT_STREQ(krFrameRate.text, "30.0 fps ( max 60.0 / min 10.0 )");
}

// ---- text ----

TEST_F(DrawRules, AWordWiderThanTheBoxKeepsItsLineAndIsClipped) {
    Open();
    krDraw::SetFont(1, 12, 0, 0, 0, 0);
    krDraw::SetFontColor(0xFFFFFF, 0x800000, 1);
    EXPECT_EQ(krDraw::MeasureTextBox(100, 100, 130, 100, "abcdefghijklmnopqrstuvwxyz"), 12);
    EXPECT_EQ(krDraw::MeasureTextBox(100, 100, 130, 100, "ab abcdefghijklmnopqrstuvwxyz ab"), 36);
    krDraw::DrawTextBox(100, 100, 130, 400, "abcdefghijklmnopqrstuvwxyz", 0);
    krDraw::ReleaseFont();
    EXPECT_GT(CountBack(White(), plat::Rect{100, 100, 130, 112}), 0);
    EXPECT_EQ(CountBack(White(), plat::Rect{100, 112, 800, 600}), 0) << "no second line";
    EXPECT_EQ(CountBack(White(), plat::Rect{130, 0, 800, 112}), 0) << "clipped at the box";
}

TEST_F(DrawRules, TheUnderlineStaysInsideItsCell) {
    Open();
    for (int height : {12, 16, 24}) {
        SCOPED_TRACE(height);
        krDraw::ClearScreen();
        krDraw::SetFont(1, height, 0, 0, 0, 1);
        krDraw::SetFontColor(0xFFFFFF, 0x800000, 0);
        krDraw::DrawString(10, 10, "a b");
        krDraw::ReleaseFont();
        // The next line, opaque, right under the cell.
        krDraw::SetFont(1, height, 0, 0, 0, 0);
        krDraw::SetFontColor(0xFFFFFF, 0x800000, 0);
        krDraw::DrawString(10, 10 + height, "a b");
        krDraw::ReleaseFont();
        int fullRows = 0;
        for (int y = 10; y < 10 + height; ++y) {
            bool full = true;
            for (int x = 10; x < 16; ++x) full = full && BackPixel(x, y) == White();
            fullRows += full;
        }
        EXPECT_GT(fullRows, 0) << "the underline survives the next line's background";
    }
}

}  // namespace
