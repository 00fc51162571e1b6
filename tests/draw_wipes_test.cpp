// Clip-rectangle wipes: start refusals, every type opening and closing,
// the timing of an opening wipe, a closed screen that shows nothing, the
// immediate close, and the main loop's reset when the scene changes.
#include <cmath>
#include <vector>

#include "draw_fixture.h"

namespace {

class DrawWipes : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        krDraw::wipe = krDraw::WipeRecord{};
        krSystemState.frameTime = 1.0f / 60.0f;
        sprite = krDraw::LoadObject(WriteGradient("sprite.bmp", 32, 16).c_str(), 2);
    }
    void TearDown() override {
        krDraw::wipe = krDraw::WipeRecord{};
        DrawTest::TearDown();
    }

    // Steps the wipe until it stops; the number of frames it took, checking
    // on the way that the rectangle never leaves the saved one.
    int RunWipe(int limit = 2000) {
        int frames = 0;
        while (krDraw::wipe.state > 0 && frames < limit) {
            EXPECT_EQ(krDraw::StepWipe(), 1);
            ++frames;
            const plat::Rect& c = krScreen.clip;
            const plat::Rect& s = krDraw::wipe.saved;
            EXPECT_TRUE(c.left >= s.left && c.right <= s.right && c.top >= s.top && c.bottom <= s.bottom)
                << c.left << "," << c.top << "," << c.right << "," << c.bottom << " frame " << frames;
        }
        return frames;
    }

    static bool Same(const plat::Rect& a, const plat::Rect& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }

    int sprite = 0;
};

TEST_F(DrawWipes, TypeSevenOpensInAboutHalfASecond) {
    ASSERT_EQ(krDraw::StartWipe(0, 7, 600.0f, 0), 1);
    EXPECT_TRUE(Same(krScreen.clip, plat::Rect{400, 300, 400, 300}));
    EXPECT_EQ(krDraw::StartWipe(1, 3, 100.0f, 0), 0) << "a wipe runs";
    EXPECT_EQ(krDraw::wipe.type, 7);
    // 11 pixels a frame at 1/60 s: 400 pixels take 37 frames.
    const int frames = RunWipe();
    EXPECT_EQ(frames, 37);
    EXPECT_LE(frames / 60.0, 0.65);
    EXPECT_TRUE(Same(krScreen.clip, plat::Rect{0, 0, 800, 600}));
    EXPECT_EQ(krDraw::wipe.state, 0);
    EXPECT_EQ(krDraw::wipe.opened, 1);
    EXPECT_EQ(krDraw::StepWipe(), 0) << "no wipe runs";
}

TEST_F(DrawWipes, EveryTypeOpensAndCloses) {
    krScreen.clip = plat::Rect{100, 50, 700, 550};  // mx 400, my 300
    const plat::Rect full = krScreen.clip;
    const plat::Rect first[10] = {{},
                                  {100, 550, 700, 550},
                                  {100, 50, 700, 50},
                                  {700, 50, 700, 550},
                                  {100, 50, 100, 550},
                                  {100, 300, 700, 300},
                                  {400, 50, 400, 550},
                                  {400, 300, 400, 300},
                                  {390, 300, 410, 300},
                                  {400, 290, 400, 310}};
    for (int type = 1; type <= 9; ++type) {
        ASSERT_EQ(krDraw::StartWipe(0, type, 300.0f, 20), 1);
        EXPECT_TRUE(Same(krScreen.clip, first[type])) << "type " << type;
        const int opening = RunWipe();
        EXPECT_GT(opening, 1) << type;
        EXPECT_TRUE(Same(krScreen.clip, full)) << type;
        EXPECT_EQ(krDraw::wipe.opened, 1);

        ASSERT_EQ(krDraw::StartWipe(1, type, 300.0f, 20), 1);
        EXPECT_EQ(krDraw::wipe.opened, 0) << "cleared by the start";
        EXPECT_TRUE(Same(krScreen.clip, full)) << "a closing wipe starts from the whole rectangle";
        RunWipe();
        EXPECT_EQ(krDraw::wipe.state, -1) << type;
        EXPECT_EQ(krDraw::wipe.closed, 1);
        const plat::Rect& c = krScreen.clip;
        EXPECT_TRUE(c.left == c.right || c.top == c.bottom) << "type " << type << " ends empty";
        EXPECT_TRUE(Same(krDraw::wipe.saved, full));
    }
    // A slit wipe opens the slit direction first: type 8 reaches full
    // height while its width is still the slit.
    ASSERT_EQ(krDraw::StartWipe(0, 8, 600.0f, 20), 1);
    for (int i = 0; i < 23; ++i) krDraw::StepWipe();
    EXPECT_EQ(krScreen.clip.top, 50);
    EXPECT_EQ(krScreen.clip.bottom, 550);
    EXPECT_EQ(krScreen.clip.right - krScreen.clip.left, 20);
    krDraw::StepWipe();
    EXPECT_EQ(krScreen.clip.right - krScreen.clip.left, 20 + 2 * 11);
    RunWipe();
}

TEST_F(DrawWipes, ClosedScreenDrawsNothingUntilTheNextWipe) {
    ASSERT_EQ(krDraw::StartWipe(1, 5, 6000.0f, 0), 1);
    RunWipe();
    ASSERT_EQ(krDraw::wipe.state, -1);
    krDraw::Blit(0, 0, sprite, 0, 0, 32, 16);
    krDraw::Blit(384, 292, sprite, 0, 0, 32, 16);
    krDraw::BlitOpaque(390, 295, sprite, 0, 0, 32, 16);
    krDraw::RotateBlit(300, 200, 500, 400, 45, sprite, 0, 0, 32, 16);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) ASSERT_EQ(BackPixel(x, y), 0u) << x << "," << y;
    EXPECT_EQ(krDraw::StepWipe(), 0) << "closed is not running";
    // The next wipe starts from the saved rectangle.
    ASSERT_EQ(krDraw::StartWipe(1, 1, 100.0f, 0), 1);
    EXPECT_TRUE(Same(krScreen.clip, plat::Rect{0, 0, 800, 600}));
    krDraw::Blit(0, 0, sprite, 0, 0, 32, 16);
    EXPECT_EQ(BackPixel(5, 5), GradientPixel(5, 5));
}

TEST_F(DrawWipes, CloseClipAndBadArguments) {
    krDraw::CloseClip();
    EXPECT_EQ(krDraw::wipe.state, -1);
    EXPECT_TRUE(Same(krScreen.clip, plat::Rect{0, 0, 0, 0}));
    krDraw::CloseClip();  // twice: the saved rectangle is still the screen
    EXPECT_TRUE(Same(krDraw::wipe.saved, plat::Rect{0, 0, 800, 600}));
    ASSERT_EQ(krDraw::StartWipe(0, 4, 1000.0f, 0), 1);
    EXPECT_TRUE(Same(krScreen.clip, plat::Rect{0, 0, 0, 600}));
    krDraw::CloseClip();  // mid-wipe: keeps the full rectangle, not the partial one
    EXPECT_TRUE(Same(krDraw::wipe.saved, plat::Rect{0, 0, 800, 600}));
    ASSERT_EQ(krDraw::StartWipe(0, 6, 1000.0f, 0), 1);
    RunWipe();
    EXPECT_TRUE(Same(krScreen.clip, plat::Rect{0, 0, 800, 600}));

    EXPECT_EQ(krDraw::StartWipe(0, 10, 100.0f, 0), 0);
    EXPECT_EQ(krDraw::StartWipe(0, -1, 100.0f, 0), 0);
    EXPECT_EQ(krDraw::wipe.state, 0);
    // Type 0 picks one of 1..9.
    ASSERT_EQ(krDraw::StartWipe(1, 0, 100000.0f, 0), 1);
    EXPECT_GE(krDraw::wipe.type, 1);
    EXPECT_LE(krDraw::wipe.type, 9);
    RunWipe();
    // A negative, not-a-number or huge speed still moves and ends.
    for (float speed : {-50.0f, NAN, 1e30f}) {
        ASSERT_EQ(krDraw::StartWipe(0, 7, speed, 0), 1);
        EXPECT_LE(RunWipe(), 400) << speed;
        EXPECT_TRUE(Same(krScreen.clip, plat::Rect{0, 0, 800, 600}));
    }
    // A negative slit is no slit; one wider than the screen is the screen.
    ASSERT_EQ(krDraw::StartWipe(0, 8, 300.0f, -40), 1);
    EXPECT_TRUE(Same(krScreen.clip, plat::Rect{400, 300, 400, 300}));
    RunWipe();
    ASSERT_EQ(krDraw::StartWipe(0, 9, 300.0f, 5000), 1);
    EXPECT_TRUE(Same(krScreen.clip, plat::Rect{400, 0, 400, 600}));
    RunWipe();
    ASSERT_EQ(krDraw::StartWipe(1, 9, 300.0f, -40), 1);
    RunWipe();
    EXPECT_EQ(krDraw::wipe.state, -1);
}

TEST_F(DrawWipes, SceneChangeEndsARunningWipe) {
    krSystemState.scene = 2;  // a scene without frames: the pass only keeps books
    krSystemState.previousScene = 2;
    ASSERT_EQ(krDraw::StartWipe(0, 7, 60.0f, 0), 1);
    krDraw::StepWipe();
    krSystem::FrameWork();
    EXPECT_EQ(krDraw::wipe.state, 1) << "same scene: the wipe goes on";
    EXPECT_FALSE(Same(krScreen.clip, plat::Rect{0, 0, 800, 600}));
    krSystemState.scene = 3;
    krSystem::FrameWork();
    EXPECT_EQ(krSystemState.sceneChanged, 1);
    EXPECT_EQ(krDraw::wipe.state, 0);
    EXPECT_TRUE(Same(krScreen.clip, plat::Rect{0, 0, 800, 600}));

    // A closed screen is not a running wipe: it stays closed.
    krSystemState.frameTime = 1.0f / 60.0f;
    ASSERT_EQ(krDraw::StartWipe(1, 2, 100000.0f, 0), 1);
    RunWipe();
    ASSERT_EQ(krDraw::wipe.state, -1);
    krSystemState.scene = 4;
    krSystem::FrameWork();
    EXPECT_EQ(krDraw::wipe.state, -1);
    EXPECT_EQ(krScreen.clip.bottom, krScreen.clip.top);
}

}  // namespace
