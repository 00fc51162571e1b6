// Where the window opens on the desktop, where a screen of another size is
// shown in the window, and the window's icon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "platform/images/bmp.h"
#include "platform/os/window_placement.h"
#include "shell_fixture.h"
#include "temp_folder.h"

using namespace plat;

namespace {

bool Same(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Text(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " - " + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

}  // namespace

// ---- the arithmetic ----

TEST(WindowPlacement, CentresOnAKnownDesktopAndLeavesAnUnknownOneToTheWindowSystem) {
    // A desktop of 0 (a display still starting): no position is made up from it.
    for (const Rect& unknown : {Rect{0, 0, 0, 0}, Rect{0, 0, 1024, 0}, Rect{0, 0, -5, 768}}) {
        const Point p = CentredOrigin(unknown, 800, 600);
        EXPECT_EQ(p.x, kWindowCentred);
        EXPECT_EQ(p.y, kWindowCentred);
    }
    const Point larger = CentredOrigin(Rect{0, 0, 1024, 768}, 800, 600);
    EXPECT_EQ(larger.x, 112);
    EXPECT_EQ(larger.y, 84);
    // A desktop smaller than the window: the client area starts on it.
    const Point smaller = CentredOrigin(Rect{0, 0, 640, 480}, 800, 600);
    EXPECT_EQ(smaller.x, 0);
    EXPECT_EQ(smaller.y, 0);
    // A second display's desktop, and one exactly the window's size.
    const Point second = CentredOrigin(Rect{1920, 100, 3200, 1124}, 800, 600);
    EXPECT_EQ(second.x, 1920 + 240);
    EXPECT_EQ(second.y, 100 + 212);
    const Point exact = CentredOrigin(Rect{0, 0, 800, 600}, 800, 600);
    EXPECT_EQ(exact.x, 0);
    EXPECT_EQ(exact.y, 0);
}

TEST(WindowPlacement, KeepsARequestOnTheDesktop) {
    const Rect desktop{0, 0, 1024, 768};
    // The fault once seen: a window centred on a desktop read as 0 wide.
    Point p = KeptOnDesktop(desktop, Point{-400, -300}, 800, 600);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    p = KeptOnDesktop(desktop, Point{900, 700}, 800, 600);
    EXPECT_EQ(p.x, 224);
    EXPECT_EQ(p.y, 168);
    p = KeptOnDesktop(desktop, Point{30, 40}, 800, 600);  // already on it: untouched
    EXPECT_EQ(p.x, 30);
    EXPECT_EQ(p.y, 40);
    p = KeptOnDesktop(desktop, Point{300, 10}, 1600, 1200);  // larger than the desktop
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    p = KeptOnDesktop(desktop, Point{kWindowCentred, 5}, 800, 600);
    EXPECT_EQ(p.x, 112);
    EXPECT_EQ(p.y, 5);
    p = KeptOnDesktop(Rect{}, Point{kWindowCentred, kWindowCentred}, 800, 600);  // unknown: the system centres
    EXPECT_EQ(p.x, kWindowCentred);
    EXPECT_EQ(p.y, kWindowCentred);
}

TEST(WindowPlacement, AScreenIsShownCentredAtTheLargestWholeScaleThatFitsAndNeverCut) {
    struct Case {
        int areaW, areaH, screenW, screenH;
        Rect expected;
    } cases[] = {
        {800, 600, 800, 600, {0, 0, 800, 600}},      // the same size fills the area
        {800, 600, 640, 480, {80, 60, 720, 540}},    // smaller: centred at 1x
        {800, 600, 320, 240, {80, 60, 720, 540}},    // 2x
        {800, 600, 400, 300, {0, 0, 800, 600}},      // 2x exactly
        {800, 600, 399, 299, {1, 1, 799, 599}},      // 2x, one pixel of bar around
        {800, 600, 100, 300, {300, 0, 500, 600}},    // 2x, the height decides
        {1280, 720, 320, 240, {160, 0, 1120, 720}},  // 3x on a wide area
        {800, 600, 1024, 768, {0, 0, 800, 600}},     // larger: shrunk, aspect kept
        {800, 600, 1600, 600, {0, 150, 800, 450}},   // larger and wider: bars above and below
        {800, 600, 801, 600, {0, 0, 800, 599}},      // a pixel wider: shrunk, not cut
        {0, 600, 800, 600, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const Rect r = ScreenInArea(c.areaW, c.areaH, c.screenW, c.screenH);
        EXPECT_TRUE(Same(r, c.expected)) << c.screenW << "x" << c.screenH << " in " << c.areaW << "x" << c.areaH
                                         << ": " << Text(r);
        if (c.areaW <= 0) continue;
        EXPECT_GE(r.left, 0);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.right, c.areaW);
        EXPECT_LE(r.bottom, c.areaH);
    }
}

TEST(WindowPlacement, PointsMapBetweenTheAreaAndAScreenShownScaledInIt) {
    const Rect twice{80, 60, 720, 540};  // 320 x 240 at 2x in 800 x 600
    auto toScreen = [&](int x, int y) { return AreaToScreen(twice, 320, 240, Point{x, y}); };
    EXPECT_EQ(toScreen(80, 60).x, 0);
    EXPECT_EQ(toScreen(81, 61).y, 0);
    EXPECT_EQ(toScreen(82, 62).x, 1);
    EXPECT_EQ(toScreen(719, 539).x, 319);
    EXPECT_EQ(toScreen(719, 539).y, 239);
    EXPECT_EQ(toScreen(79, 59).x, -1) << "the bar left of the picture is left of the screen";
    EXPECT_EQ(toScreen(720, 540).y, 240);
    for (int x = 0; x < 320; ++x) {  // and back to the same pixel
        const Point area = ScreenToArea(twice, 320, 240, Point{x, x % 240});
        const Point back = AreaToScreen(twice, 320, 240, area);
        ASSERT_EQ(back.x, x);
        ASSERT_EQ(back.y, x % 240);
    }
    const Rect asIs{0, 0, 800, 600};
    EXPECT_EQ(AreaToScreen(asIs, 800, 600, Point{123, 456}).x, 123);
    EXPECT_EQ(ScreenToArea(asIs, 800, 600, Point{123, 456}).y, 456);
}

// ---- the engine: the game's window size, its screen shown in it, its icon ----

namespace {

struct KitGame {
    int screenW = 0, screenH = 0;
    std::vector<std::uint32_t> front;  // the window's client area after the first frame
    int frontW = 0, frontH = 0;
    Point origin;  // the client area's place on the desktop
};
KitGame kit;

// A screen of one colour with a distinct mark in two corners: a pixel at
// the top left, two by two pixels at the bottom right.
void KitStartup() {
    ASSERT_EQ(krDraw::Screen(kit.screenW, kit.screenH, 1), 1);
    krSystemState.scene = 1;
}

void KitFrame() {
    Surface* back = krScreen.back;
    FillRect(back, nullptr, 0x1111);
    PutPixel(*back, 0, 0, 0x2222);
    const Rect far{back->width - 2, back->height - 2, back->width, back->height};
    FillRect(back, &far, 0x3333);
    krDraw::Present();
    const Surface* front = FrontSurface();
    kit.origin = ClientOrigin(krSystemState.mainWindow);
    kit.frontW = front->width;
    kit.frontH = front->height;
    kit.front.clear();
    for (int y = 0; y < front->height; ++y)
        for (int x = 0; x < front->width; ++x) kit.front.push_back(GetPixel(*front, x, y));
    PostMessage(krSystemState.mainWindow, WM_CLOSE, 0, 0);
}

std::uint32_t FrontAt(int x, int y) { return kit.front[static_cast<std::size_t>(y) * kit.frontW + x]; }

}  // namespace

class KitWindowTest : public ShellTest {
protected:
    int Run(int windowW, int windowH, int screenW, int screenH, const char* icon = nullptr) {
        kit = KitGame{};
        kit.screenW = screenW;
        kit.screenH = screenH;
        krGameSteps steps{&KitStartup, &KitFrame, "kit game"};
        steps.windowWidth = windowW;
        steps.windowHeight = windowH;
        steps.icon = icon;
        krSystem::SetGameSteps(steps);
        return krSystem::Entry("", SW_SHOWNORMAL);
    }
};

TEST_F(KitWindowTest, TheGameChoosesItsClientSizeAndItsScreenIsCentredAtAWholeScale) {
    ASSERT_EQ(Run(640, 400, 320, 200), 0);
    ASSERT_EQ(kit.frontW, 640);
    ASSERT_EQ(kit.frontH, 400);
    EXPECT_EQ(FrontAt(0, 0), 0x2222u);  // 2x fills the window exactly
    EXPECT_EQ(FrontAt(1, 1), 0x2222u);
    EXPECT_EQ(FrontAt(2, 0), 0x1111u);
    EXPECT_EQ(FrontAt(639, 399), 0x3333u);
    EXPECT_EQ(FrontAt(636, 396), 0x3333u);
    EXPECT_EQ(FrontAt(635, 399), 0x1111u);
}

TEST_F(KitWindowTest, ASmallerScreenSitsInTheMiddleOfTheDefaultWindow) {
    ASSERT_EQ(Run(0, 0, 640, 480), 0);
    ASSERT_EQ(kit.frontW, 800);  // no size asked: the default
    ASSERT_EQ(kit.frontH, 600);
    EXPECT_EQ(FrontAt(79, 59), 0u);  // the bar
    EXPECT_EQ(FrontAt(80, 60), 0x2222u);
    EXPECT_EQ(FrontAt(81, 61), 0x1111u);
    EXPECT_EQ(FrontAt(719, 539), 0x3333u);
    EXPECT_EQ(FrontAt(717, 539), 0x1111u);
    EXPECT_EQ(FrontAt(720, 540), 0u);
}

TEST_F(KitWindowTest, TheMouseIsReadInScreenPixelsWhereTheScreenIsScaled) {
    ASSERT_EQ(Run(640, 400, 320, 200), 0);
    // The window's last state stays readable: the screen at 2x from the corner.
    krSystem::MouseMove(MakeLParam(301, 199));
    EXPECT_EQ(krSystemState.mouseX, 150);
    EXPECT_EQ(krSystemState.mouseY, 99);
    ASSERT_EQ(Run(0, 0, 800, 600), 0);  // the usual game: one to one
    krSystem::MouseMove(MakeLParam(301, 199));
    EXPECT_EQ(krSystemState.mouseX, 301);
    EXPECT_EQ(krSystemState.mouseY, 199);
}

TEST_F(KitWindowTest, ALargerScreenIsShrunkWholeIntoTheWindowNotCropped) {
    ASSERT_EQ(Run(0, 0, 1024, 768), 0);
    // Both far corners of the screen are in the window, which it fills.
    EXPECT_EQ(FrontAt(0, 0), 0x2222u);
    EXPECT_EQ(FrontAt(799, 599), 0x3333u);
    EXPECT_EQ(FrontAt(799, 0), 0x1111u);
    EXPECT_EQ(FrontAt(0, 599), 0x1111u);
}

TEST_F(KitWindowTest, TheWindowOpensCentredOnTheDesktopAndNeverOffIt) {
    headless::SetDesktopSize(1024, 768);
    ASSERT_EQ(Run(0, 0, 800, 600), 0);
    EXPECT_EQ(kit.origin.x, 112);
    EXPECT_EQ(kit.origin.y, 84);

    // A desktop that reports no size yet: the window system centres it, and
    // nothing is placed left of or above the desktop.
    headless::SetDesktopSize(0, 0);
    krSystem::InitState();
    ASSERT_EQ(Run(0, 0, 800, 600), 0);
    EXPECT_EQ(kit.origin.x, 0);
    EXPECT_EQ(kit.origin.y, 0);

    headless::SetDesktopSize(640, 480);  // smaller than the window
    krSystem::InitState();
    ASSERT_EQ(Run(0, 0, 800, 600), 0);
    EXPECT_EQ(kit.origin.x, 0);
    EXPECT_EQ(kit.origin.y, 0);
}

TEST_F(KitWindowTest, TheIconIsTheNamedPictureWithItsCornerColourTransparent) {
    kr_test::TempFolder folder;
    const std::string path = (folder.Path() / "icon.bmp").string();
    // 3 x 2: a magenta key around two coloured pixels.
    const std::uint32_t pixels[] = {0xFF00FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0xFF00FF, 0xFF00FF};
    ASSERT_TRUE(WriteBmp24(path, pixels, 3, 2));
    ASSERT_EQ(Run(0, 0, 800, 600, path.c_str()), 0);
    int w = 0, h = 0;
    const std::vector<std::uint32_t> icon = headless::WindowIcon(w, h);
    ASSERT_EQ(w, 3);
    ASSERT_EQ(h, 2);
    EXPECT_EQ(icon, (std::vector<std::uint32_t>{0, 0xFFFF0000u, 0, 0xFF00FF00u, 0, 0}));

    // A picture that is not there, or too large for an icon: the game runs without one.
    ASSERT_EQ(Run(0, 0, 800, 600, (folder.Path() / "none.bmp").string().c_str()), 0);
    EXPECT_TRUE(headless::WindowIcon(w, h).empty());
    const std::vector<std::uint32_t> wide(257, 0x123456);
    const std::string widePath = (folder.Path() / "wide.bmp").string();
    ASSERT_TRUE(WriteBmp24(widePath, wide.data(), 257, 1));
    ASSERT_EQ(Run(0, 0, 800, 600, widePath.c_str()), 0);
    EXPECT_TRUE(headless::WindowIcon(w, h).empty());
}
