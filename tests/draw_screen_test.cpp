// Screen set-up, present, restore and release on the headless display:
// the pixel-format record and tables per depth, the internal sprites, the
// failure messages, and lost surfaces brought back with their pictures.
#include <cstdlib>
#include <cstring>

#include "draw_fixture.h"

namespace {

using DrawScreen = DrawTest;

TEST_F(DrawScreen, SixteenBitSetUp) {
    std::srand(7);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    EXPECT_TRUE(krScreen.deviceCreated);
    EXPECT_FALSE(krScreen.accelerator);
    EXPECT_TRUE(krScreen.stretch);
    EXPECT_EQ(krScreen.displayDepth, 16);
    ASSERT_NE(krScreen.back, nullptr);
    EXPECT_EQ(krScreen.back->width, 800);
    EXPECT_EQ(krScreen.back->format.bits, 16);
    EXPECT_EQ(krScreen.clip.right, 800);
    EXPECT_EQ(krScreen.clip.bottom, 600);
    EXPECT_EQ(krScreen.presentSource.bottom, 600);

    const krPixelFormat& p = krScreen.pixelFormat;
    EXPECT_EQ(p.redMask, 0xF800u);
    EXPECT_EQ(p.greenField, 0x3Fu);
    EXPECT_EQ(p.redShift, 11);
    EXPECT_EQ(p.greenShift, 5);
    EXPECT_EQ(p.blueShift, 0);
    EXPECT_EQ(p.red5Shift, 11);
    EXPECT_EQ(p.green5Shift, 6);
    EXPECT_EQ(p.blue5Shift, 0);
    EXPECT_EQ(p.halfMask, 0x7BEFu);
    EXPECT_EQ(p.doubleHalfMask, 0x7BEF7BEFu);
    EXPECT_EQ(p.white, 0xFFFFu);

    // Internal sprites: screen-sized, black key, fixed names.
    const char* names[4] = {"内部用１", "内部用２", "内部用３", "内部用４"};
    for (int slot = 0; slot < 4; ++slot) {
        const krObjectRecord& r = krObjects[slot];
        ASSERT_NE(r.surface, nullptr);
        EXPECT_STREQ(r.name, names[slot]);
        EXPECT_EQ(r.width, 800);
        EXPECT_EQ(r.height, 600);
        EXPECT_EQ(r.key, 0);
        EXPECT_EQ(r.reloadMode, 2);
        std::uint32_t key = 1;
        EXPECT_TRUE(plat::GetColorKey(r.surface, &key));
        EXPECT_EQ(key, 0u);
    }
    EXPECT_FALSE(krObjects[0].surface->systemMemory);
    EXPECT_TRUE(krObjects[2].surface->systemMemory);
    EXPECT_EQ(krObjects[4].surface, nullptr);

    // Tables.
    EXPECT_EQ(krScreen.sine[90], 360);
    EXPECT_EQ(krScreen.sine[30], 179);
    EXPECT_EQ(krScreen.sine[270], -360);
    EXPECT_EQ(krScreen.sine[0], 0);
    EXPECT_EQ(krScreen.sine[450 - 1], krScreen.sine[89]);
    ASSERT_EQ(krScreen.component.size(), 65536u * 3);
    EXPECT_EQ(krScreen.component[0xFFFF * 3 + 0], 31);
    EXPECT_EQ(krScreen.component[0xFFFF * 3 + 1], 31);
    EXPECT_EQ(krScreen.component[(0x07E0 - 0x20) * 3 + 1], 31);  // six-bit 62 halves to 31
    EXPECT_EQ(krScreen.component[0x0001 * 3 + 2], 1);
    ASSERT_EQ(krScreen.crossFade.size(), 3u * 32 * 32 * 32);
    auto at4 = [](int c, int i, int j, int k) { return ((c * 32 + i) * 32 + j) * 32 + k; };
    EXPECT_EQ(krScreen.crossFade[at4(0, 10, 20, 25)], (10 + 4) << 11);
    EXPECT_EQ(krScreen.crossFade[at4(1, 0, 31, 31)], 31 << 6);
    EXPECT_EQ(krScreen.fadeAdd[at4(2, 5, 20, 30)], 31);
    EXPECT_EQ(krScreen.fadeAdd[at4(1, 5, 20, 3)], 18 << 6);
    ASSERT_EQ(krScreen.subtract.size(), 3u * 32 * 32);
    EXPECT_EQ(krScreen.subtract[(0 * 32 + 20) * 32 + 5], 15 << 11);
    EXPECT_EQ(krScreen.subtract[(2 * 32 + 5) * 32 + 20], 0);
    ASSERT_EQ(krScreen.third.size(), 94u);
    EXPECT_EQ(krScreen.third[93], 31);
    EXPECT_EQ(krScreen.third[5], 1);
    ASSERT_EQ(krScreen.randomTable.size(), 10000u);
    std::srand(7);
    for (std::uint8_t v : krScreen.randomTable) ASSERT_EQ(v, std::rand() % 3);
    EXPECT_TRUE(plat::headless::Boxes().empty());
}

TEST_F(DrawScreen, FifteenAndThirtyTwoBitDesktops) {
    setenv("KR_DESKTOP_BITS", "15", 1);
    ASSERT_EQ(krDraw::Screen(64, 48, 1), 1);
    const krPixelFormat& p = krScreen.pixelFormat;
    EXPECT_EQ(p.redShift, 10);
    EXPECT_EQ(p.green5Shift, 5);
    EXPECT_EQ(p.halfMask, 0x3DEFu);
    EXPECT_EQ(p.doubleHalfMask, 0x3DEF3DEFu);
    EXPECT_EQ(p.white, 0x7FFFu);
    EXPECT_TRUE(krScreen.component.empty()) << "the tables are for 16-bit displays";

    setenv("KR_DESKTOP_BITS", "32", 1);
    ASSERT_EQ(krDraw::Screen(64, 48, 1), 1);
    EXPECT_EQ(krScreen.back->format.bytesPerPixel, 4);
    EXPECT_EQ(krScreen.pixelFormat.white, 0xFFFFFFu);
    EXPECT_EQ(krScreen.pixelFormat.halfMask, 0x7F7F7Fu);
    EXPECT_EQ(krScreen.sine[90], 360);
    EXPECT_TRUE(krScreen.crossFade.empty());
    EXPECT_TRUE(krScreen.randomTable.empty());
}

TEST_F(DrawScreen, DefaultSizeAndMemoryTypes) {
    krSystemState.defaultWidth = 320;
    krSystemState.defaultHeight = 200;
    ASSERT_EQ(krDraw::Screen(-1, 5, 3), 1);
    EXPECT_EQ(krScreen.screenWidth, 320);
    EXPECT_EQ(krScreen.back->height, 200);
    EXPECT_FALSE(krScreen.back->systemMemory);
    EXPECT_TRUE(krObjects[0].surface->systemMemory);  // type 3: the sprites in system memory

    ASSERT_EQ(krDraw::Screen(32, 32, 0), 1);
    EXPECT_TRUE(krScreen.back->systemMemory);
}

TEST_F(DrawScreen, FailuresReportAndReturnZero) {
    ASSERT_EQ(krDraw::Screen(0, 600, 1), 0);
    EXPECT_EQ(krSystemState.errorRaised, 1);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], Box("krDraw::Screen", "裏画面が生成できません"));

    // Full screen needs the window.
    krSystemState.fullScreen = 1;
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 0);
    EXPECT_EQ(BoxTexts().back(), Box("krDraw::Screen", "フルスクリーン化できません"));
}

TEST_F(DrawScreen, FullScreenDepthTries) {
    OpenWindow();
    krSystemState.fullScreen = 1;
    krDraw::SetDisplayDepth(8, 0, 24);  // the second is 0: no more tries
    EXPECT_EQ(krDraw::Screen(800, 600, 1), 0);
    EXPECT_EQ(BoxTexts().back(), Box("krDraw::Screen", "解像度が変更できません"));
    EXPECT_EQ(krScreen.displayDepth, 8);

    krDraw::SetDisplayDepth(8, 12, 15);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    EXPECT_EQ(krScreen.displayDepth, 15);
    EXPECT_EQ(krScreen.back->format.bits, 15);
    EXPECT_FALSE(krScreen.clipper);

    // The 15-bit back screen is shown on the 16-bit front surface.
    krDraw::SetVSync(0);
    krDraw::WhiteScreen();
    krDraw::Present();
    EXPECT_EQ(plat::GetPixel(*krScreen.front, 799, 599), 0xFFDFu);
}

TEST_F(DrawScreen, PresentCopiesTheBackScreenIntoTheWindow) {
    OpenWindow();
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    ASSERT_NE(krScreen.front, nullptr);
    EXPECT_TRUE(krScreen.clipper);
    krDraw::FillRect(10, 20, 30, 40, 0x1234);

    // A moved window keeps the picture at the client area's origin.
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

    krDraw::SetVSync(0);
    const std::uint64_t sleptBefore = plat::headless::TotalSleptMs();
    krDraw::Present();
    EXPECT_EQ(plat::headless::TotalSleptMs(), sleptBefore);
}

TEST_F(DrawScreen, LostSurfacesComeBackWithTheirPictures) {
    OpenWindow();
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    const std::string gradient = WriteGradient("grad.bmp", 16, 8);
    std::vector<std::uint32_t> corner(4 * 4, 0x00FF00);
    corner[0] = 0xFF00FF;
    const std::string cornered = WritePicture("corner.bmp", 4, 4, corner);

    krDraw::SetColorKey(0x402010);
    const int a = krDraw::LoadObject(gradient.c_str(), 2);
    krDraw::SetCornerColorKey();
    const int b = krDraw::LoadObject(cornered.c_str(), 2);
    const int made = krDraw::CreateObject(8, 8, 2);
    ASSERT_EQ(a, 4);
    ASSERT_EQ(b, 5);
    ASSERT_EQ(made, 6);
    plat::FillRect(krObjects[made].surface, nullptr, 0x5555);
    krDraw::SetColorKey(0x000001);  // the caller's load key, kept across the restore

    plat::MarkAllSurfacesLost();
    krDraw::Present();  // meets the lost front surface and restores everything

    EXPECT_FALSE(plat::IsLost(krScreen.front));
    EXPECT_FALSE(plat::IsLost(krScreen.back));
    EXPECT_FALSE(plat::IsLost(krObjects[3].surface));
    ASSERT_NE(krObjects[a].surface, nullptr);
    EXPECT_EQ(ObjectPixel(a, 5, 3), GradientPixel(5, 3));
    EXPECT_EQ(krObjects[a].key, 0x402010);
    EXPECT_EQ(krObjects[a].surface->colorKey, plat::MapColorRef(krScreen.back->format, 0x402010));
    EXPECT_EQ(krObjects[b].key, -1);
    EXPECT_EQ(krObjects[b].surface->colorKey, 0xF81Fu);
    EXPECT_FALSE(plat::IsLost(krObjects[made].surface));
    EXPECT_EQ(ObjectPixel(made, 3, 3), 0u) << "created objects come back empty";

    // The load key set before the restore still applies to new loads.
    const int c = krDraw::LoadObject(gradient.c_str(), 2);
    EXPECT_EQ(krObjects[c].key, 1);
}

TEST_F(DrawScreen, ReleaseFreesEverything) {
    const std::size_t before = plat::LiveSurfaceCount();
    ASSERT_EQ(krDraw::Screen(100, 100, 1), 1);
    krDraw::CreateObject(10, 10, 2);
    // A second set-up replaces the first without leaking its surfaces.
    ASSERT_EQ(krDraw::Screen(100, 100, 1), 1);
    EXPECT_EQ(plat::LiveSurfaceCount(), before + 5);
    krDraw::Release();
    EXPECT_EQ(plat::LiveSurfaceCount(), before);
    EXPECT_FALSE(krScreen.deviceCreated);
    EXPECT_EQ(krScreen.back, nullptr);
    for (const krObjectRecord& r : krObjects) {
        EXPECT_EQ(r.surface, nullptr);
        EXPECT_EQ(r.name[0], '\0');
    }

    // Full screen: the window is minimised at release.
    OpenWindow();
    krSystemState.fullScreen = 1;
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    krDraw::Release();
    EXPECT_TRUE(plat::headless::WindowMinimized());
}

}  // namespace
