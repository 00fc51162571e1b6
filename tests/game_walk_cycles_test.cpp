// The walk cycles of the player and the followers, read off the back screen:
// sheets whose every column is its own colour show which picture each frame
// drew, so a cycle that skips, repeats or stops short of four pictures shows.
#include <vector>

#include "draw_fixture.h"
#include "game/game_state.h"

namespace {

class WalkCycles : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        OpenWindow();
        saved_ = {gameVariant, gamePictures, player, playerX, playerY, {followers[0], followers[1], followers[2]}};
        gameVariant = 0;
        krSystemState.frameTime = 1.0f / 60;
    }
    void TearDown() override {
        gameVariant = saved_.variant;
        gamePictures = saved_.pictures;
        player = saved_.player;
        playerX = saved_.x;
        playerY = saved_.y;
        for (int i = 0; i < 3; ++i) followers[i] = saved_.followers[i];
        DrawTest::TearDown();
    }

    // A sheet of cell x cell pictures, 8 columns by 8 rows, column c in
    // colour ColumnColour(c).
    static int Sheet(int cell) {
        const int slot = krDraw::CreateObject(8 * cell, 8 * cell, 2);
        for (int c = 0; c < 8; ++c) {
            const plat::Rect r{c * cell, 0, (c + 1) * cell, 8 * cell};
            plat::FillRect(krObjects[slot].surface, &r, ColumnColour(c));
        }
        return slot;
    }
    static std::uint32_t ColumnColour(int c) { return 0x0841u * static_cast<std::uint32_t>(c + 1); }
    static int ColumnAt(int x, int y) {
        const std::uint32_t p = BackPixel(x, y);
        for (int c = 0; c < 8; ++c)
            if (p == ColumnColour(c)) return c;
        return -1;
    }

    static void Key(int vk, bool down) {
        plat::DispatchMessage(plat::Message{krSystemState.mainWindow,
                                            static_cast<std::uint32_t>(down ? plat::WM_KEYDOWN : plat::WM_KEYUP),
                                            static_cast<std::uintptr_t>(vk), down ? 1 : static_cast<std::intptr_t>(0xC0000001u)});
    }

    // The columns shown, each run of equal frames once.
    static std::vector<int> Runs(const std::vector<int>& frames) {
        std::vector<int> runs;
        for (int c : frames)
            if (runs.empty() || runs.back() != c) runs.push_back(c);
        return runs;
    }

private:
    struct {
        std::int32_t variant;
        GamePictures pictures;
        PlayerRecord player;
        float x, y;
        FollowerRecord followers[3];
    } saved_{};
};

// Held arrow keys against a wall: the player walks on the spot through
// columns 2, 3, 4, 5 and round again.
TEST_F(WalkCycles, PlayerWalksThroughFourPictures) {
    gamePictures.playerSheet = Sheet(96);
    player = PlayerRecord{};
    playerX = 200;
    playerY = 200;
    Key(plat::VK_RIGHT, true);
    std::vector<int> shown;
    for (int frame = 0; frame < 60 * 3; ++frame) {
        krDraw::ClearScreen();
        PlayerStep();
        shown.push_back(ColumnAt(static_cast<int>(playerX) + 48, static_cast<int>(playerY) + 48));
    }
    Key(plat::VK_RIGHT, false);
    const std::vector<int> runs = Runs(shown);
    ASSERT_GE(runs.size(), 9u);
    EXPECT_EQ(std::vector<int>(runs.begin(), runs.begin() + 9), (std::vector<int>{2, 3, 4, 5, 2, 3, 4, 5, 2}));
}

// A follower on its way to the player walks through columns 2, 3, 4, 5.
TEST_F(WalkCycles, FollowersWalkThroughFourPictures) {
    for (int i = 0; i < 3; ++i) {
        gamePictures.followerSheets[i] = Sheet(56);
        followers[i] = FollowerRecord{};
        followers[i].state = kAbsent;
    }
    player = PlayerRecord{};
    playerX = 650;
    playerY = 450;
    FollowerRecord& f = followers[1];
    f.state = kFollowing;
    f.posX = 40;
    f.posY = 40;
    f.slot = 0;
    std::vector<int> shown;
    for (int frame = 0; frame < 60 * 3; ++frame) {
        krDraw::ClearScreen();
        FollowerStep();
        ASSERT_EQ(f.state, kFollowing) << "frame " << frame;
        // It moves at most two pixels a frame: its cell's middle is inside
        // the picture drawn before or after the move.
        shown.push_back(ColumnAt(static_cast<int>(f.posX) + 28, static_cast<int>(f.posY) + 28));
    }
    const std::vector<int> runs = Runs(shown);
    ASSERT_GE(runs.size(), 9u);
    EXPECT_EQ(std::vector<int>(runs.begin(), runs.begin() + 9), (std::vector<int>{2, 3, 4, 5, 2, 3, 4, 5, 2}));
}

}  // namespace
