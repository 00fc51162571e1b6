// Shapes, pixels, the frame-rate line and the screenshot on the headless
// back screen.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "draw/krFrameRate.h"
#include "draw_fixture.h"
#include "screenshot_folder.h"

namespace {

class DrawPrimitives : public DrawTest {
protected:
    void Open(const char* desktopBits = nullptr) {
        if (desktopBits) setenv("KR_DESKTOP_BITS", desktopBits, 1);
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        krFrameRate = krFrameRateRecord{};
    }
    static std::uint32_t Color(int x, int y) {
        int r = -1, g = -1, b = -1;
        krDraw::GetScreenPixel(x, y, &r, &g, &b);
        return static_cast<std::uint32_t>(r | g << 8 | b << 16);
    }
    static std::vector<std::uint32_t> Screen() {
        std::vector<std::uint32_t> px;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) px.push_back(BackPixel(x, y));
        return px;
    }
    static std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
    }
    ScreenshotFolder shots;
};

TEST_F(DrawPrimitives, LinesAndTheGamesSwingRectangle) {
    Open();
    EXPECT_EQ(krDraw::DrawLine(10, 5, 20, 5, 0xFFFFFF, 1), plat::DD_OK);
    EXPECT_EQ(Color(10, 5), 0xF8FCF8u);
    EXPECT_EQ(Color(19, 5), 0xF8FCF8u);
    EXPECT_EQ(Color(20, 5), 0u) << "the end point is not drawn";

    // White inside, a one-pixel red outline on the box's outermost pixels.
    krDraw::DrawRect(100, 100, 124, 196, 0xFFFFFF, 255, 1);
    EXPECT_EQ(Color(100, 150), 0xF8u);
    EXPECT_EQ(Color(123, 150), 0xF8u);
    EXPECT_EQ(Color(110, 195), 0xF8u);
    EXPECT_EQ(Color(101, 101), 0xF8FCF8u);
    EXPECT_EQ(Color(122, 194), 0xF8FCF8u);
    EXPECT_EQ(Color(124, 150), 0u);
    EXPECT_EQ(Color(110, 196), 0u);
}

TEST_F(DrawPrimitives, PolygonFillModes) {
    Open("32");
    const plat::Point square[] = {{0, 0}, {40, 0}, {40, 40}, {0, 40}};
    plat::FillRect(krScreen.back, nullptr, plat::MapColorRef(krScreen.back->format, 0x224466));

    krDraw::DrawPolygon(square, 4, 0x0000FF, 0x00FF00, 1, 0);
    EXPECT_EQ(Color(0, 20), 0x0000FFu);
    EXPECT_EQ(Color(40, 40), 0x0000FFu);
    EXPECT_EQ(Color(9, 9), 0x224466u) << "hollow: the inside is untouched";
    EXPECT_EQ(Color(9, 10), 0x224466u);

    krDraw::DrawPolygon(square, 4, 0x0000FF, 0x00FF00, 1, 1);
    EXPECT_EQ(Color(9, 9), 0x0000FFu) << "hatch line";
    EXPECT_EQ(Color(9, 10), 0x00FF00u) << "gap in the back colour";

    plat::FillRect(krScreen.back, nullptr, plat::MapColorRef(krScreen.back->format, 0x224466));
    krDraw::DrawPolygon(square, 4, 0x0000FF, 0x00FF00, 1, 2);
    EXPECT_EQ(Color(9, 9), 0x0000FFu);
    EXPECT_EQ(Color(9, 10), 0x224466u) << "mode 2: the gaps show the picture beneath";
}

TEST_F(DrawPrimitives, BezierNeedsWholeCurves) {
    Open();
    const plat::Point pts[] = {{100, 300}, {100, 100}, {300, 100}, {300, 300}};
    const std::vector<std::uint32_t> before = Screen();
    krDraw::DrawBezier(pts, 3, 0xFFFFFF, 1);
    EXPECT_EQ(Screen(), before);
    krDraw::DrawBezier(pts, 4, 0xFFFFFF, 2);
    EXPECT_EQ(Color(200, 150), 0xF8FCF8u) << "the top of the curve";
    EXPECT_EQ(Color(200, 200), 0u);
}

TEST_F(DrawPrimitives, PixelsOnSixteenAndThirtyTwoBits) {
    Open();
    krDraw::SetScreenPixel(7, 8, 0x00336699);
    int r = 0, g = 0, b = 0;
    krDraw::GetScreenPixel(7, 8, &r, &g, &b);
    EXPECT_EQ(r, 0x98);
    EXPECT_EQ(g, 0x64);
    EXPECT_EQ(b, 0x30);
    krDraw::Release();

    Open("32");
    krDraw::SetScreenPixel(7, 8, 0x00336699);
    krDraw::GetScreenPixel(7, 8, &r, &g, &b);
    EXPECT_EQ(r, 0x99);
    EXPECT_EQ(g, 0x66);
    EXPECT_EQ(b, 0x33);
    krDraw::GetScreenPixel(800, 0, &r, &g, &b);
    EXPECT_EQ(r, 0xFF) << "outside the screen reads as an invalid colour";
}

TEST_F(DrawPrimitives, FrameRateArithmetic) {
    Open();
    auto expectLine = [](const char* line) {
        EXPECT_STREQ(krFrameRate.text, line);
        // The line on the screen is the one Print draws.
        const std::vector<std::uint32_t> shown = Screen();
        plat::FillRect(krScreen.back, nullptr, 0);
        krDraw::Print(0, 0, line);
        EXPECT_EQ(Screen(), shown) << line;
    };
    plat::headless::SetClock(10000);
    krDraw::DrawFps();  // the first call measures at once
    expectLine("0.0 fps ( max 0.0 / min 999.9 )");
    for (int i = 0; i < 119; ++i) krDraw::DrawFps();
    plat::headless::SetClock(12000);
    plat::FillRect(krScreen.back, nullptr, 0);
    krDraw::DrawFps();
    expectLine("60.0 fps ( max 60.0 / min 60.0 )");

    for (int i = 0; i < 5000; ++i) krDraw::DrawFps();
    EXPECT_EQ(krFrameRate.frames, 999);
    plat::headless::SetClock(14000);
    plat::FillRect(krScreen.back, nullptr, 0);
    krDraw::DrawFps();
    expectLine("499.5 fps ( max 499.5 / min 60.0 )");
}

TEST_F(DrawPrimitives, ScreenshotHeaderRowsAndColours) {
    Open();
    krDraw::SetScreenPixel(0, 0, 0xFFFFFF);
    krDraw::SetScreenPixel(798, 599, 0x0000FF);
    ASSERT_EQ(krDraw::SaveScreen(shots.Name("shot.bmp").c_str(), 799, 600), 1);
    EXPECT_EQ(krScreen.back->lockCount, 0);
    const std::vector<std::uint8_t> b = ReadFile(shots.Path("shot.bmp"));
    ASSERT_EQ(b.size(), 58u + 2400u * 600u);
    const std::uint8_t header[58] = {'B', 'M', 0x3A, 0xF9, 0x15, 0, 0, 0, 0, 0, 58, 0, 0, 0, 40, 0, 0, 0,
                                     0x1F, 3, 0, 0, 0x58, 2, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 0x00, 0xF9, 0x15, 0,
                                     0x12, 0x0B, 0, 0, 0x12, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(b.data(), header, 58), 0);
    EXPECT_EQ(Read32(b, 2), 58u + 2400u * 600u);
    // Rows run bottom-up: the last screen row comes first. 16-bit components
    // are 5-bit values moved up by 3 (green halved), stored blue, green, red.
    EXPECT_EQ(b[58 + 798 * 3 + 2], 0xF8);
    EXPECT_EQ(b[58 + 798 * 3 + 1], 0);
    const std::size_t topRow = 58 + 2400u * 599;
    EXPECT_EQ(b[topRow + 0], 0xF8);
    EXPECT_EQ(b[topRow + 1], 0xF8);
    EXPECT_EQ(b[topRow + 2], 0xF8);
    EXPECT_EQ(b[topRow + 2397], 0) << "padding";
    EXPECT_EQ(b[topRow + 2399], 0);
}

TEST_F(DrawPrimitives, ScreenshotOfOtherDepths) {
    // 32 and 24 bits keep whole bytes; 15 bits give 5-bit values moved up by 3.
    const struct {
        const char* bits;
        std::uint8_t blue, green, red;
    } depths[] = {{"32", 0x33, 0x66, 0x99}, {"24", 0x33, 0x66, 0x99}, {"15", 0x30, 0x60, 0x98}};
    for (const auto& d : depths) {
        Open(d.bits);
        krDraw::SetScreenPixel(1, 1, 0x00336699);
        ASSERT_EQ(krDraw::SaveScreen(shots.Name("small.bmp").c_str(), 3, 2), 1) << d.bits;
        const std::vector<std::uint8_t> b = ReadFile(shots.Path("small.bmp"));
        ASSERT_EQ(b.size(), 58u + 12u * 2u);
        EXPECT_EQ(b[28], 24);
        EXPECT_EQ(b[58 + 3], d.blue) << d.bits;  // row 1 is stored first; pixel 1 of it
        EXPECT_EQ(b[58 + 4], d.green) << d.bits;
        EXPECT_EQ(b[58 + 5], d.red) << d.bits;
        EXPECT_EQ(b[58 + 9], 0) << "padding";
        krDraw::Release();
        unsetenv("KR_DESKTOP_BITS");
    }
}

TEST_F(DrawPrimitives, ScreenshotRefusesWhatItCannotWriteAndStillUnlocks) {
    Open();
    EXPECT_EQ(krDraw::SaveScreen(shots.Name("no_such_folder\\shot.bmp").c_str(), 80, 60), 0);
    EXPECT_FALSE(std::filesystem::exists(shots.Path("no_such_folder")));
    EXPECT_EQ(krScreen.back->lockCount, 0);
    EXPECT_EQ(krDraw::SaveScreen(shots.Name("big.bmp").c_str(), 801, 600), 0) << "never reads past the screen";
    EXPECT_EQ(krDraw::SaveScreen(shots.Name("none.bmp").c_str(), 0, 600), 0);
    EXPECT_FALSE(std::filesystem::exists(shots.Path("big.bmp")));
    plat::MarkAllSurfacesLost();
    EXPECT_EQ(krDraw::SaveScreen(shots.Name("lost.bmp").c_str(), 80, 60), 0);
    EXPECT_EQ(krDraw::DrawLine(0, 0, 5, 5, 0xFFFFFF, 1), plat::DDERR_SURFACELOST);
    EXPECT_FALSE(std::filesystem::exists(shots.Path("lost.bmp")));
}

}  // namespace
