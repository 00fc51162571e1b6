// Screen set-up, present, restore and release on the headless display: the
// pixel-format record and tables per depth, the internal sprites, failure
// messages, and lost surfaces brought back with their pictures.
#include <cstdlib>

#include "draw_fixture.h"
#include "platform/os/random.h"

namespace {

using DrawScreen = DrawTest;

TEST_F(DrawScreen, PixelOfTurnsAColourIntoTheScreensPixelValueAtEveryDepth) {
    EXPECT_EQ(krDraw::PixelOf(0xFFFFFF), 0u) << "no screen yet";
    const struct {
        const char* bits;
        std::uint32_t red, green, blue, grey;
    } depths[] = {{"16", 0xF800, 0x07E0, 0x001F, 0x8410},
                  {"15", 0x7C00, 0x03E0, 0x001F, 0x4210},
                  {"32", 0xFF0000, 0x00FF00, 0x0000FF, 0x808080}};
    for (const auto& d : depths) {
        setenv("KR_DESKTOP_BITS", d.bits, 1);
        ASSERT_EQ(krDraw::Screen(64, 48, 1), 1) << d.bits;
        // Colours are 0x00BBGGRR: red is the low byte.
        EXPECT_EQ(krDraw::PixelOf(0x0000FF), d.red) << d.bits;
        EXPECT_EQ(krDraw::PixelOf(0x00FF00), d.green) << d.bits;
        EXPECT_EQ(krDraw::PixelOf(0xFF0000), d.blue) << d.bits;
        EXPECT_EQ(krDraw::PixelOf(0x808080), d.grey) << d.bits;
        EXPECT_EQ(krDraw::PixelOf(0xFFFFFF), krScreen.pixelFormat.white) << d.bits;
        krDraw::Release();
    }
}

TEST_F(DrawScreen, SixteenBitRecordSpritesAndTables) {
    plat::SeedRandom(7);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    EXPECT_TRUE(plat::headless::Boxes().empty());
    ASSERT_EQ(krScreen.back->format.bits, 16);
    const krPixelFormat& p = krScreen.pixelFormat;
    EXPECT_EQ((std::vector<int>{p.redShift, p.greenShift, p.blueShift, p.red5Shift, p.green5Shift, p.blue5Shift}),
              (std::vector<int>{11, 5, 0, 11, 6, 0}));
    EXPECT_EQ(p.greenField, 0x3Fu);
    EXPECT_EQ(p.halfMask, 0x7BEFu);
    EXPECT_EQ(p.doubleHalfMask, 0x7BEF7BEFu);
    EXPECT_EQ(p.white, 0xFFFFu);

    const char* names[4] = {"内部用１", "内部用２", "内部用３", "内部用４"};
    for (int slot = 0; slot < 4; ++slot) {
        const krObjectRecord& r = krObjects[slot];
        ASSERT_NE(r.surface, nullptr);
        EXPECT_STREQ(r.name, names[slot]);
        EXPECT_EQ(r.width * 10000 + r.height, 800 * 10000 + 600);
        EXPECT_TRUE(r.surface->hasColorKey && r.surface->colorKey == 0);
        EXPECT_EQ(r.surface->systemMemory, slot >= 2) << "type 1: only the font sprites in system memory";
    }

    EXPECT_EQ(krScreen.sine[30], 179);
    EXPECT_EQ(krScreen.sine[90], 360);
    EXPECT_EQ(krScreen.sine[270], -360);
    EXPECT_EQ(krScreen.sine[449], krScreen.sine[89]);
    ASSERT_EQ(krScreen.component.size(), 65536u * 3);
    EXPECT_EQ(krScreen.component[0x07C0 * 3 + 1], 31) << "six-bit 62 halves to 31";
    EXPECT_EQ(krScreen.component[0xF801 * 3 + 0] * 100 + krScreen.component[0xF801 * 3 + 2], 3101);
    auto at = [](int c, int i, int j, int k) { return ((c * 32 + i) * 32 + j) * 32 + k; };
    EXPECT_EQ(krScreen.crossFade[at(0, 10, 20, 25)], (10 + 4) << 11);
    EXPECT_EQ(krScreen.crossFade[at(1, 0, 31, 31)], 31 << 6);
    EXPECT_EQ(krScreen.fadeAdd[at(2, 5, 20, 30)], 31);
    EXPECT_EQ(krScreen.fadeAdd[at(1, 5, 20, 3)], 18 << 6);
    EXPECT_EQ(krScreen.subtract[(0 * 32 + 20) * 32 + 5], 15 << 11);
    EXPECT_EQ(krScreen.subtract[(2 * 32 + 5) * 32 + 20], 0);
    ASSERT_EQ(krScreen.third.size(), 94u);
    EXPECT_EQ(krScreen.third[93], 31);
    ASSERT_EQ(krScreen.randomTable.size(), 10000u);
    plat::SeedRandom(7);
    for (std::uint8_t v : krScreen.randomTable) ASSERT_EQ(v, plat::Random() % 3);
}

TEST_F(DrawScreen, OtherDepthsAndSizes) {
    setenv("KR_DESKTOP_BITS", "15", 1);
    krSystemState.defaultWidth = 320, krSystemState.defaultHeight = 200;
    ASSERT_EQ(krDraw::Screen(-1, 5, 3), 1);
    EXPECT_EQ(krScreen.back->width * 1000 + krScreen.back->height, 320200);
    EXPECT_TRUE(krObjects[0].surface->systemMemory) << "type 3: the buffer sprites in system memory";
    EXPECT_FALSE(krScreen.back->systemMemory);
    const krPixelFormat& p = krScreen.pixelFormat;
    EXPECT_EQ(p.redShift * 100 + p.green5Shift, 1005);
    EXPECT_EQ(p.halfMask, 0x3DEFu);
    EXPECT_EQ(p.doubleHalfMask, 0x3DEF3DEFu);
    EXPECT_EQ(p.white, 0x7FFFu);
    // A 5-5-5 mode reports itself as a 16-bit one: the tables are built for it.
    EXPECT_EQ(krScreen.displayDepth, 16);
    EXPECT_EQ(krSystem::GetScreenBits(), 16);
    ASSERT_EQ(krScreen.component.size(), 65536u * 3);
    const std::uint8_t* c = &krScreen.component[(3u << 10 | 17u << 5 | 30u) * 3];
    EXPECT_EQ(c[0] * 10000 + c[1] * 100 + c[2], 31730) << "5-bit fields taken whole";
    ASSERT_EQ(krScreen.subtract.size(), 3u * 32 * 32);
    EXPECT_EQ(krScreen.subtract[(0 * 32 + 20) * 32 + 5], 15u << 10) << "red at its 5-bit shift, 10";
    EXPECT_EQ(krScreen.subtract[(1 * 32 + 20) * 32 + 5], 15u << 5) << "green at 5, not 6";
    EXPECT_EQ(krScreen.randomTable.size(), 10000u);

    setenv("KR_DESKTOP_BITS", "32", 1);
    ASSERT_EQ(krDraw::Screen(64, 48, 0), 1);
    EXPECT_TRUE(krScreen.back->systemMemory);
    EXPECT_EQ(krScreen.pixelFormat.white, 0xFFFFFFu);
    EXPECT_EQ(krScreen.sine[90], 360);
    EXPECT_TRUE(krScreen.crossFade.empty() && krScreen.randomTable.empty());
}

TEST_F(DrawScreen, FailuresReportAndReturnZero) {
    EXPECT_EQ(krDraw::Screen(0, 600, 1), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::Screen", "裏画面が生成できません"));
    EXPECT_EQ(krSystemState.errorRaised, 1);
    krSystemState.fullScreen = 1;
    EXPECT_EQ(krDraw::Screen(800, 600, 1), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::Screen", "フルスクリーン化できません"));

    OpenWindow();
    krDraw::SetDisplayDepth(8, 0, 24);  // the second is 0: no more tries
    EXPECT_EQ(krDraw::Screen(800, 600, 1), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::Screen", "解像度が変更できません"));
    EXPECT_EQ(krScreen.displayDepth, 8);
}

TEST_F(DrawScreen, FullScreenDepthIsShownOnTheDesktop) {
    OpenWindow();
    krSystemState.fullScreen = 1;
    krDraw::SetDisplayDepth(8, 12, 15);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    EXPECT_EQ(krScreen.back->format.bits, 15);
    EXPECT_FALSE(krScreen.clipper);
    krDraw::SetVSync(0);
    krDraw::WhiteScreen();
    krDraw::Present();
    EXPECT_EQ(plat::GetPixel(*krScreen.front, 799, 599), 0xFFDFu) << "5-5-5 white on the 5-6-5 window";
    krDraw::Release();
    EXPECT_TRUE(plat::headless::WindowMinimized());
}

TEST_F(DrawScreen, PresentCopiesTheBackScreenIntoTheWindow) {
    OpenWindow();
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    krDraw::FillRect(10, 20, 30, 40, 0x1234);
    // After a move the picture stays at the client area's origin.
    plat::SendMessage(krSystemState.mainWindow, plat::WM_MOVE, 0, plat::MakeLParam(150, 90));
    EXPECT_EQ(krScreen.presentDestination.left, 150);
    const int presents = plat::headless::PresentCount();
    krDraw::SetVSync(1);
    const std::uint64_t slept = plat::headless::TotalSleptMs();
    krDraw::Present();
    EXPECT_GT(plat::headless::TotalSleptMs(), slept) << "waits for the vertical blank";
    EXPECT_EQ(plat::headless::PresentCount(), presents + 1);
    EXPECT_EQ(plat::GetPixel(*krScreen.front, 10, 20), 0x1234u);
    EXPECT_EQ(plat::GetPixel(*krScreen.front, 29, 39), 0x1234u);
    EXPECT_EQ(plat::GetPixel(*krScreen.front, 30, 40), 0u);
}

TEST_F(DrawScreen, LostSurfacesComeBackWithTheirPictures) {
    OpenWindow();
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    const std::string gradient = WriteGradient("grad.bmp", 16, 8);
    std::vector<std::uint32_t> cornered(16, 0x00FF00);
    cornered[0] = 0xFF00FF;
    krDraw::SetColorKey(0x402010);
    const int a = krDraw::LoadObject(gradient.c_str(), 2);
    krDraw::SetCornerColorKey();
    const int b = krDraw::LoadObject(WritePicture("corner.bmp", 4, 4, cornered).c_str(), 2);
    const int made = krDraw::CreateObject(8, 8, 2);
    plat::FillRect(krObjects[made].surface, nullptr, 0x5555);
    krDraw::SetColorKey(0x000001);  // the caller's load key, kept across the restore

    plat::MarkAllSurfacesLost();
    krDraw::Present();  // meets the lost front surface and restores everything
    for (plat::Surface* s : {krScreen.front, krScreen.back, krObjects[3].surface, krObjects[made].surface})
        EXPECT_FALSE(plat::IsLost(s));
    EXPECT_EQ(ObjectPixel(a, 5, 3), GradientPixel(5, 3));
    EXPECT_EQ(krObjects[a].surface->colorKey, plat::MapColorRef(krScreen.back->format, 0x402010));
    EXPECT_EQ(krObjects[b].key, -1);
    EXPECT_EQ(krObjects[b].surface->colorKey, 0xF81Fu);
    EXPECT_EQ(ObjectPixel(made, 3, 3), 0u) << "created objects come back empty";
    EXPECT_EQ(krObjects[krDraw::LoadObject(gradient.c_str(), 2)].key, 1);
}

TEST_F(DrawScreen, ReleaseAndRepeatedSetUpFreeEverything) {
    const std::size_t before = plat::LiveSurfaceCount();
    ASSERT_EQ(krDraw::Screen(100, 100, 1), 1);
    krDraw::CreateObject(10, 10, 2);
    ASSERT_EQ(krDraw::Screen(100, 100, 1), 1);
    EXPECT_EQ(plat::LiveSurfaceCount(), before + 5) << "back screen and four sprites";
    krDraw::Release();
    EXPECT_EQ(plat::LiveSurfaceCount(), before);
    EXPECT_FALSE(krScreen.deviceCreated);
    for (const krObjectRecord& r : krObjects) EXPECT_TRUE(r.surface == nullptr && r.name[0] == '\0');
}

// A 5-5-5 mode chosen in full screen is a 16-bit display as the windowed
// one is: the depth it reports and the tables, with red at 10 and green at 5.
TEST_F(DrawScreen, FullScreenFiveFiveFiveCountsAsSixteenBitsWithItsTables) {
    OpenWindow();
    krSystemState.fullScreen = 1;
    krDraw::SetDisplayDepth(8, 12, 15);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    ASSERT_EQ(krScreen.back->format.bits, 15);
    EXPECT_EQ(krScreen.displayDepth, 16);
    EXPECT_EQ(krSystem::GetScreenBits(), 16);
    ASSERT_EQ(krScreen.component.size(), 65536u * 3);
    const std::uint8_t* c = &krScreen.component[(3u << 10 | 17u << 5 | 30u) * 3];
    EXPECT_EQ(c[0] * 10000 + c[1] * 100 + c[2], 31730);
    ASSERT_EQ(krScreen.subtract.size(), 3u * 32 * 32);
    EXPECT_EQ(krScreen.subtract[(0 * 32 + 20) * 32 + 5], 15u << 10);
    EXPECT_EQ(krScreen.subtract[(1 * 32 + 20) * 32 + 5], 15u << 5);
    auto at = [](int k, int i, int j, int m) { return ((k * 32 + i) * 32 + j) * 32 + m; };
    ASSERT_EQ(krScreen.crossFade.size(), 3u * 32 * 32 * 32);
    EXPECT_EQ(krScreen.crossFade[at(0, 10, 20, 25)], (10u + 4) << 10);
    EXPECT_EQ(krScreen.fadeAdd[at(1, 5, 20, 3)], 18u << 5);
    EXPECT_EQ(krScreen.third.size(), 94u);
    EXPECT_EQ(krScreen.randomTable.size(), 10000u);
    // A blend reads the tables: 20 - 5 in every component of a 5-5-5 pixel.
    const int slot = krDraw::CreateObject(1, 1, 2);
    plat::PutPixel(*krObjects[slot].surface, 0, 0, 5u << 10);
    plat::PutPixel(*krScreen.back, 0, 0, 20u << 10 | 20u << 5 | 20u);
    ASSERT_EQ(krDraw::SubBlit(0, 0, slot, 0, 0, 1, 1), 1);
    EXPECT_EQ(BackPixel(0, 0), 15u << 10 | 15u << 5 | 15u);
}

}  // namespace
