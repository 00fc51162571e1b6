// The game, played by the headless replay driver: each test writes its own
// map.txt and key script into a fresh folder, runs pokotanba-replay there and
// reads the per-frame trace (and screenshots). The rules that play cannot
// reach exactly (slot fallback, tree radius, swing box edges) are checked on
// the game's records directly.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "temp_folder.h"
#include "game/game_state.h"
#include "platform/images/bmp.h"
#include "platform/pixels/surface.h"

namespace fs = std::filesystem;

namespace {

const std::string kReplay = KR_RUN_DIR "/pokotanba-replay";
const std::string kPictures = KR_RUN_DIR "/BMP/";
constexpr float kStep = 1.6666667f;  // pixels per frame at 100 px/s
using Keys = std::initializer_list<const char*>;

struct FollowerFrame {
    int state = 0;
    float x = 0, y = 0;
    int facing = 0, slot = 0, hit = 0;
};

struct Frame {
    long k = 0;
    float px = 0, py = 0;
    int facing = 0, swinging = 0, animFrame = 0;
    FollowerFrame f[3];
    int fallState = 0, fallFrame = 0;
};

bool ParseFrame(const std::string& line, Frame& out) {
    std::istringstream in(line);
    std::string tag[5];
    in >> out.k >> tag[0] >> out.px >> out.py >> out.facing >> out.swinging >> out.animFrame;
    for (int i = 0; i < 3; ++i) {
        FollowerFrame& f = out.f[i];
        in >> tag[i + 1] >> f.state >> f.x >> f.y >> f.facing >> f.slot >> f.hit;
    }
    in >> tag[4] >> out.fallState >> out.fallFrame;
    return !in.fail() && tag[0] == "P" && tag[1] == "F0" && tag[2] == "F1" && tag[3] == "F2" && tag[4] == "T";
}

class Script {
public:
    // Keys pressed in frame `from`, released in frame `to`.
    Script& Hold(Keys keys, long from, long to) {
        for (const char* k : keys) text_ += std::to_string(from) + " " + k + " down\n";
        for (const char* k : keys) text_ += std::to_string(to) + " " + k + " up\n";
        return *this;
    }
    Script& Tap(const char* key, long frame) { return Hold({key}, frame, frame + 1); }
    // A press moves nothing in its own frame, then `moves` steps; returns
    // the frame of the release.
    long Walk(Keys keys, long from, int moves) {
        Hold(keys, from, from + moves + 1);
        return from + moves + 1;
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

using Grid = std::vector<int>;

std::string MapText(const Grid& grid) {
    std::string s;
    for (int i = 0; i < kTileCount; ++i) s += std::to_string(grid[i]) + ((i + 1) % kMapColumns ? " " : "\n");
    return s;
}

const std::string kOpenField = MapText(Grid(kTileCount, kWalkableTile));

std::string Repeat(const std::string& token, int count) {
    std::string s;
    while (count-- > 0) s += token + " ";
    return s;
}

// Each folder named for this suite, so a leftover tells where it came from.
class TempFolder : public kr_test::TempFolder {
public:
    TempFolder() : kr_test::TempFolder("kr_game") {}
};

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

struct Played {
    std::shared_ptr<TempFolder> folder = std::make_shared<TempFolder>();
    int exitCode = -1;
    std::vector<Frame> frames;
    std::string errors;
    const Frame& At(long k) const { return frames.at(static_cast<std::size_t>(k - 1)); }
    // First frame from `from` on for which `test` holds; -1 if none.
    long First(long from, const std::function<bool(const Frame&)>& test) const {
        for (const Frame& f : frames) {
            if (f.k >= from && test(f)) return f.k;
        }
        return -1;
    }
};

struct RunSetup {
    explicit RunSetup(long frameCount, std::string keys = "") : frames(frameCount), script(std::move(keys)) {}
    long frames;
    std::string script;
    std::optional<std::string> map = kOpenField;  // nullopt: no map.txt
    std::string arguments;
    std::string program = kReplay;
    std::function<void(const fs::path&)> prepare;
};

Played Replay(const RunSetup& setup) {
    Played run;
    const fs::path dir = run.folder->Path();
    if (setup.map) WriteFile(dir / "map.txt", *setup.map);
    if (setup.prepare) setup.prepare(dir);
    WriteFile(dir / "input.txt", setup.script);
    const std::string command = "cd '" + dir.string() + "' && KR_DESKTOP_BITS=16 '" + setup.program + "' --frames " +
                                std::to_string(setup.frames) + " --input input.txt --trace trace.txt " +
                                setup.arguments + " 2> errors.txt";
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream errors(dir / "errors.txt");
    run.errors.assign(std::istreambuf_iterator<char>(errors), std::istreambuf_iterator<char>());
    std::ifstream trace(dir / "trace.txt");
    for (std::string line; std::getline(trace, line);) {
        Frame f;
        if (ParseFrame(line, f)) run.frames.push_back(f);
    }
    return run;
}

Played Replay(long frames, const Script& script, std::optional<std::string> map = kOpenField) {
    RunSetup setup(frames, script.Text());
    setup.map = std::move(map);
    return Replay(setup);
}

// Whether the player walks right from its start on this map.
bool CanWalk(std::optional<std::string> map, const std::function<void(const fs::path&)>& prepare = {}) {
    Script s;
    s.Walk({"RIGHT"}, 2, 10);
    RunSetup setup(14, s.Text());
    setup.map = std::move(map);
    setup.prepare = prepare;
    const Played run = Replay(setup);
    EXPECT_EQ(run.frames.size(), 14u);
    return run.frames.size() == 14 && run.At(14).px > 300.0f;
}

// Pictures and screenshots as 8-bit colours; a picture's transparent
// pixels read as nullopt.
using Rgb = std::array<int, 3>;

class Picture {
public:
    Picture(const std::string& path, int bits, std::optional<bool> cornerKey)
        : s_(plat::LoadBmpFile(path, plat::FormatForBits(bits)), &plat::DestroySurface) {
        if (s_ && cornerKey) key_ = *cornerKey ? plat::GetPixel(*s_, 0, 0) : 0;
    }
    bool Loaded() const { return s_ && s_->width > 0; }
    int Width() const { return s_->width; }
    std::optional<Rgb> At(int x, int y) const {
        const std::uint32_t v = plat::GetPixel(*s_, x, y);
        if (key_ && v == *key_) return std::nullopt;
        std::uint8_t r, g, b;
        plat::UnmapRGB(s_->format, v, r, g, b);
        return Rgb{r, g, b};
    }

private:
    std::unique_ptr<plat::Surface, void (*)(plat::Surface*)> s_;
    std::optional<std::uint32_t> key_;
};

Picture Screenshot(const Played& run, const char* name) {
    return Picture((run.folder->Path() / name).string(), 32, std::nullopt);
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

float FootDistance(const FollowerFrame& f) { return std::hypot(524.0f - (f.x + 28.0f), 324.0f - (f.y + 28.0f)); }

// Walks up, then left, to face follower 0 from the given spot, and swings.
long SwingAtFollowerZero(Script& s, float x, float y, Keys turn) {
    long t = s.Walk({"UP"}, 2, static_cast<int>(std::lround((430 - y) / kStep)));
    const int left = static_cast<int>(std::lround((300 - x) / kStep));
    if (left > 0) t = s.Walk({"LEFT"}, t + 1, left);
    t = s.Walk(turn, t + 1, 1);
    s.Tap("C", t);
    return t;
}

}  // namespace

TEST(GameReplayScreen, FirstFrameShowsBareTilesSecondAddsOverlay) {
    // Row 0 runs through the sheet's 24 tiles and values outside it, which
    // draw nothing; row 1 mixes tiles.
    Grid grid(kTileCount, kWalkableTile);
    const int outside[] = {24, 25, -1, -3, 1000000, 2147483647};
    for (int c = 0; c < kMapColumns; ++c) {
        grid[c] = c < 24 ? c : outside[c % 6];
        grid[kMapColumns + c] = (c * 7) % 24;
    }
    const Picture sheet(kPictures + "map_data.BMP", 16, false), overlay(kPictures + "bg.BMP", 16, true);
    ASSERT_TRUE(sheet.Loaded() && overlay.Loaded());
    RunSetup setup(1);
    setup.map = MapText(grid);
    setup.arguments = "--screenshot s.bmp";
    const Played first = Replay(setup);
    setup.frames = 2;
    const Played second = Replay(setup);
    const Picture a = Screenshot(first, "s.bmp"), b = Screenshot(second, "s.bmp");
    ASSERT_TRUE(a.Loaded() && b.Loaded());
    ASSERT_EQ(a.Width(), 800);

    int overlaid = 0;
    for (int y = 0; y < 28; ++y) {  // nothing but tiles and overlay up here
        for (int x = 0; x < 800; ++x) {
            const int v = grid[(y / 8) * kMapColumns + x / 8];
            std::optional<Rgb> tile;
            if (v >= 0 && v < 24) tile = sheet.At(8 * (v % 3) + x % 8, 8 * (v / 3) + y % 8);
            const Rgb bare = tile.value_or(Rgb{0, 0, 0});
            ASSERT_EQ(a.At(x, y), bare) << "frame 1 at " << x << "," << y << ", tile " << v;
            const std::optional<Rgb> over = overlay.At(x, y);
            ASSERT_EQ(b.At(x, y), over.value_or(bare)) << "frame 2 at " << x << "," << y;
            overlaid += over && *over != bare;
        }
    }
    EXPECT_GT(overlaid, 0);
}

TEST(GameReplayPlayer, WalksEightDirectionsAt100PixelsPerSecond) {
    const float d = std::sqrt(0.5f);
    const struct {
        Keys keys;
        int facing;
        float dx, dy;
    } cases[] = {
        {{"DOWN"}, 0, 0, 1},          {{"RIGHT"}, 1, 1, 0},         {{"UP"}, 2, 0, -1},
        {{"LEFT"}, 3, -1, 0},         {{"DOWN", "RIGHT"}, 4, d, d}, {{"UP", "RIGHT"}, 5, d, -d},
        {{"DOWN", "LEFT"}, 6, -d, d}, {{"UP", "LEFT"}, 7, -d, -d},
    };
    for (const auto& c : cases) {
        Script s;
        s.Walk(c.keys, 2, 30);
        const Played run = Replay(40, s);
        ASSERT_EQ(run.frames.size(), 40u);
        EXPECT_EQ(run.At(2).px, 300.0f) << "no step in the frame of the press";
        EXPECT_EQ(run.At(40).facing, c.facing);
        EXPECT_NEAR(run.At(40).px - 300.0f, 30 * kStep * c.dx, 0.01f) << "facing " << c.facing;
        EXPECT_NEAR(run.At(40).py - 430.0f, 30 * kStep * c.dy, 0.01f) << "facing " << c.facing;
        EXPECT_EQ(run.At(33).px, run.At(32).px) << "no step in the frame of the release";
    }
}

TEST(GameReplayPlayer, WallsBlockEachAxisOnItsOwnAndScreenBoundsHold) {
    auto walled = [](auto isWall) {
        Grid g(kTileCount, kWalkableTile);
        for (int i = 0; i < kTileCount; ++i) g[i] = isWall(i / kMapColumns, i % kMapColumns) ? 5 : 2;
        return MapText(g);
    };
    // Right wall from x 376: the right edge is trunc(playerX) + 72.
    Script s;
    s.Walk({"DOWN", "RIGHT"}, 2, 40);
    Played run = Replay(45, s, walled([](int, int c) { return c >= 47; }));
    EXPECT_GE(run.At(45).px, 304.0f);
    EXPECT_LT(run.At(45).px, 305.0f);
    EXPECT_NEAR(run.At(45).py - 430.0f, 40 * kStep * std::sqrt(0.5f), 0.01f) << "slides along the wall";
    // Wall below from y 504: the bottom edge is trunc(playerY - 12) + 72.
    Script t;
    t.Walk({"DOWN", "LEFT"}, 2, 40);
    run = Replay(45, t, walled([](int r, int) { return r >= 63; }));
    EXPECT_GE(run.At(45).py, 444.0f);
    EXPECT_LT(run.At(45).py, 445.0f);
    EXPECT_NEAR(run.At(45).px - 300.0f, -40 * kStep * std::sqrt(0.5f), 0.01f);
    // Wall at x 280 to 287: the left edge is trunc(playerX - 16) + 24.
    Script u;
    u.Walk({"LEFT"}, 2, 40);
    run = Replay(45, u, walled([](int, int c) { return c == 35; }));
    EXPECT_GE(run.At(45).px, 278.0f);
    EXPECT_LT(run.At(45).px, 280.0f);

    // On an open field the screen bounds hold: -24 and 728, -24 and 528.
    Script v;
    const long corner = v.Walk({"UP", "LEFT"}, 2, 420);
    v.Walk({"DOWN", "RIGHT"}, corner, 700);
    run = Replay(corner + 705, v);
    EXPECT_EQ(run.At(corner).px, -24.0f);
    EXPECT_EQ(run.At(corner).py, -24.0f);
    EXPECT_EQ(run.frames.back().px, 728.0f);
    EXPECT_EQ(run.frames.back().py, 528.0f);
}

TEST(GameReplayPlayer, KeysNotHeldAnimateWithoutMoving) {
    // Standing, the frame flips every 18 steps (1 at frame 18, 0 at 36);
    // walking, that step takes it from 1 to 2.
    const Played still = Replay(40, Script{});
    EXPECT_EQ(still.At(17).animFrame, 0);
    EXPECT_EQ(still.At(18).animFrame, 1);
    EXPECT_EQ(still.At(36).animFrame, 0);
    Script pressed, released;
    pressed.Tap("RIGHT", 36);
    released.Hold({"RIGHT"}, 35, 36);
    for (const Script* s : {&pressed, &released}) {
        const Played run = Replay(40, *s);
        EXPECT_EQ(run.At(36).animFrame, 2);
        for (const Frame& f : run.frames) ASSERT_TRUE(f.px == 300.0f && f.facing == 0) << "frame " << f.k;
    }
    // Opposite keys, or three: walking on the spot, keeping the facing.
    for (Keys keys : {Keys{"UP", "DOWN"}, Keys{"LEFT", "RIGHT"}, Keys{"UP", "LEFT", "DOWN"}}) {
        Script s;
        const long t = s.Walk({"LEFT"}, 2, 1);
        s.Walk(keys, t + 2, 60);  // (a key pressed again right after its release counts as held)
        const Played run = Replay(70, s);
        bool walking = false;
        for (long k = t; k <= 70; ++k) {
            ASSERT_EQ(run.At(k).px, run.At(t).px);
            ASSERT_EQ(run.At(k).py, run.At(t).py);
            ASSERT_EQ(run.At(k).facing, 3);
            walking = walking || run.At(k).animFrame >= 2;
        }
        EXPECT_TRUE(walking);
    }
}

TEST(GameReplayPlayer, HeldCSwingsOnceForThirtySixSteps) {
    Script s;
    s.Hold({"C"}, 2, 100);
    s.Walk({"RIGHT"}, 5, 20);  // arrows during the swing neither move nor turn
    s.Tap("C", 200);
    const Played run = Replay(240, s);
    std::vector<long> swinging, third;
    for (const Frame& f : run.frames) {
        if (f.swinging) swinging.push_back(f.k);
        if (f.swinging && f.animFrame == 2) third.push_back(f.k);
        if (f.k < 38) {
            ASSERT_TRUE(f.px == 300.0f && f.facing == 0) << "frame " << f.k;
        }
    }
    // From frame 2 to its 36th step (frame 37, which ends it); animFrame
    // 1 from the 12th step, 2 for the last 12.
    ASSERT_EQ(swinging.size(), 70u) << "one swing per press";
    EXPECT_EQ(swinging[34], 36);
    EXPECT_EQ(swinging[35], 200);
    EXPECT_EQ(run.At(13).animFrame, 1);
    ASSERT_EQ(third.size(), 24u);
    EXPECT_EQ(third.front(), 25);
}

TEST(GameReplayPlayer, SwingMissesAtThirtySixPixelsAndHitsOneStepCloser) {
    // Follower 0 knocked into its left area bound lies at x -4 (centre 24).
    // From the left screen bound (x -24) a swing facing down has its box
    // centre at -12, 36 pixels away: no hit. One step right, it hits.
    Script s;
    long t = SwingAtFollowerZero(s, 300, 250, {"LEFT"});
    t = s.Walk({"LEFT"}, t + 40, 200);
    const long miss = s.Walk({"DOWN"}, t + 100, 1);
    s.Tap("C", miss);
    const long hit = s.Walk({"DOWN"}, s.Walk({"RIGHT"}, miss + 40, 1), 1);
    s.Tap("C", hit);
    const Played run = Replay(hit + 40, s);
    ASSERT_EQ(run.frames.size(), static_cast<std::size_t>(hit + 40));

    const Frame& m = run.At(miss);
    ASSERT_TRUE(m.px == -24.0f && m.facing == 0 && m.f[0].x == -4.0f);
    ASSERT_LT(std::fabs(m.py + 60.0f - (m.f[0].y + 28.0f)), 59.0f) << "the boxes overlap vertically";
    EXPECT_EQ(run.First(miss, [](const Frame& f) { return f.f[0].hit == 1; }), hit + 23);
    EXPECT_NEAR(run.At(hit).px, -24.0f + kStep, 1e-4f);
}

TEST(GameReplayFollowers, CallReachesFollowersWithin174PixelsWithDistinctSlots) {
    Script s;
    s.Tap("V", 3);                   // everyone farther than 174 pixels
    const long t = s.Walk({"UP"}, 5, 60);  // y 330
    s.Tap("V", t);
    const Played run = Replay(t + 120, s);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(run.At(4).f[i].state, kIdle);
    const Frame& called = run.At(t);
    EXPECT_EQ(called.f[2].state, kIdle) << "211 pixels away";
    // Follower 0 takes its nearest place, above; it is follower 1's nearest
    // too, so follower 1 takes the next one, on the right.
    EXPECT_TRUE(called.f[0].state == kFollowing && called.f[0].slot == 0);
    EXPECT_TRUE(called.f[1].state == kFollowing && called.f[1].slot == 1);

    // Once near, a follower ignores V.
    const long near = run.First(t, [](const Frame& f) { return f.f[0].state == kNear; });
    ASSERT_GT(near, 0);
    Script again = s;
    again.Tap("V", near + 2);
    EXPECT_EQ(Replay(near + 4, again).At(near + 3).f[0].state, kNear);
}

TEST(GameReplayFollowers, FlightIntoTheAreaBoundLiesDownAtOnce) {
    Script s;
    const long t = SwingAtFollowerZero(s, 300, 250, {"LEFT"});
    const Played run = Replay(t + 260, s);
    std::vector<long> hits;
    for (const Frame& f : run.frames) {
        if (!f.f[0].hit) continue;
        hits.push_back(f.k);
        EXPECT_TRUE(f.swinging == 1 && f.animFrame == 2) << "hit only in the third swing frame";
    }
    ASSERT_FALSE(hits.empty());
    // Hit where it stood; it moves from the next frame on.
    EXPECT_TRUE(run.At(hits[0]).f[0].state == kFlying && run.At(hits[0]).f[0].x == 280.0f);
    EXPECT_NEAR(run.At(hits[0] + 1).f[0].x, 280.0f - kStep, 1e-3f);
    const long bound = run.First(hits.back(), [](const Frame& f) { return f.f[0].x == -4.0f; });
    ASSERT_GT(bound, 0);
    EXPECT_LT(bound - hits.back(), 180) << "short of 300 pixels";
    EXPECT_EQ(run.At(bound - 1).f[0].state, kFlying);
    EXPECT_EQ(run.At(bound).f[0].state, kDown);
    EXPECT_EQ(run.At(bound + 59).f[0].state, kDown) << "lies 61 steps";
    EXPECT_EQ(run.At(bound + 60).f[0].state, kIdle);
}

TEST(GameReplayFollowers, LyingFacingFollowsTheHitDirection) {
    // Spots where each facing's first swing box covers follower 0.
    const struct {
        int facing;
        float x, y;
        Keys turn;
        int lying;
    } cases[] = {
        {0, 296, 208, {"DOWN"}, 0},          {1, 248, 184, {"RIGHT"}, 1},
        {2, 224, 232, {"UP"}, 2},            {3, 272, 256, {"LEFT"}, 3},
        {4, 296, 196, {"DOWN", "RIGHT"}, 1}, {5, 224, 196, {"UP", "RIGHT"}, 1},
        {6, 284, 256, {"DOWN", "LEFT"}, 3},  {7, 236, 256, {"UP", "LEFT"}, 3},
    };
    for (const auto& c : cases) {
        Script s;
        const long t = SwingAtFollowerZero(s, c.x, c.y, c.turn);
        const Played run = Replay(t + 250, s);
        ASSERT_EQ(run.At(t).facing, c.facing);
        const long down = run.First(t, [](const Frame& f) { return f.f[0].state == kDown; });
        ASSERT_GT(down, 0) << "facing " << c.facing;
        EXPECT_EQ(run.At(down).f[0].facing, c.lying) << "facing " << c.facing;
    }
}

TEST(GameReplayTree, FallsOnlyForAFlyingFollowerInFourPictures) {
    // Follower 2, called from below the tree, walks over the foot (524, 324)
    // to the place above the player: the tree stands. A swing up sends it
    // flying back over the foot.
    Script s;
    const long called = s.Walk({"UP"}, s.Walk({"RIGHT"}, 2, 96), 30);  // to (460, 380)
    s.Tap("V", called);
    const long swing = s.Walk({"UP"}, called + 120, 5);
    s.Tap("C", swing);
    const Played run = Replay(swing + 260, s);
    EXPECT_TRUE(run.At(called).f[2].state == kFollowing && run.At(called).f[2].slot == 0);
    float closest = 1e9f;
    for (long k = called; k < swing; ++k) {
        closest = std::min(closest, FootDistance(run.At(k).f[2]));
        ASSERT_EQ(run.At(k).fallState, 0) << "frame " << k;
    }
    EXPECT_LT(closest, 16.0f) << "the walk should cross the foot";

    const long trigger = run.First(swing, [](const Frame& f) { return f.fallState != 0; });
    ASSERT_GT(trigger, 0);
    // The tree step sees the followers as the previous frame left them.
    EXPECT_EQ(run.At(trigger - 1).f[2].state, kFlying);
    EXPECT_LT(FootDistance(run.At(trigger - 1).f[2]), 32.0f);
    EXPECT_GE(FootDistance(run.At(trigger - 2).f[2]), 32.0f);
    // fl=1 from the trigger; pictures 1, 2, 3 in its 30th, 60th and 90th
    // step, and fl=2 with the last.
    const int expected[][3] = {{0, 1, 0}, {28, 1, 0}, {29, 1, 1}, {59, 1, 2}, {88, 1, 2}, {89, 2, 3}, {150, 2, 3}};
    for (const auto& e : expected) {
        EXPECT_EQ(run.At(trigger + e[0]).fallState, e[1]) << "step " << e[0];
        EXPECT_EQ(run.At(trigger + e[0]).fallFrame, e[2]) << "step " << e[0];
    }
}

TEST(GameReplayMap, ShortLongAndGarbledFilesFillAsDocumented) {
    EXPECT_TRUE(CanWalk(kOpenField));
    // Short: the last value read fills the rest.
    EXPECT_TRUE(CanWalk(Repeat("0", 149) + "2"));
    EXPECT_FALSE(CanWalk(Repeat("2", 149) + "0"));
    // Long: nothing after the 7,500th value is read.
    EXPECT_TRUE(CanWalk(kOpenField + Repeat("0", 500)));
    // Garbled: reading stops at the first token that is no number.
    EXPECT_TRUE(CanWalk(Repeat("2", 100) + "x2y " + Repeat("0", 7400)));
    EXPECT_TRUE(CanWalk(Repeat("2", 100) + "2abc " + Repeat("0", 7400)));
    EXPECT_TRUE(CanWalk(Repeat("2", 100) + "- 0 " + Repeat("0", 7400)));
    EXPECT_TRUE(CanWalk(Repeat("+2", 100) + "\r\n\t2"));
    EXPECT_FALSE(CanWalk("abc " + kOpenField)) << "nothing read: all 0";
    EXPECT_FALSE(CanWalk(std::string("\0\0", 2) + kOpenField));
    // Values outside the sheet block; huge ones saturate instead of wrapping.
    EXPECT_FALSE(CanWalk("-2"));
    EXPECT_FALSE(CanWalk("4294967298"));
    EXPECT_FALSE(CanWalk("-99999999999999999999999999"));
    // Missing, empty or unreadable: all 0.
    EXPECT_FALSE(CanWalk(std::nullopt));
    EXPECT_FALSE(CanWalk(""));
    EXPECT_FALSE(CanWalk(std::nullopt, [](const fs::path& d) { fs::create_directory(d / "map.txt"); }));
    if (geteuid() != 0) {  // permissions do not stop root
        EXPECT_FALSE(CanWalk(kOpenField, [](const fs::path& d) { chmod((d / "map.txt").c_str(), 0); }));
    }
}

TEST(GameReplayMap, OneLineAndGridLayoutsGiveTheSamePicture) {
    Grid grid(kTileCount);
    std::string oneLine;
    for (int i = 0; i < kTileCount; ++i) {
        grid[i] = (i * 5 + i / 100) % 24;
        oneLine += std::to_string(grid[i]) + " ";
    }
    RunSetup setup(1);
    setup.map = MapText(grid);
    setup.arguments = "--screenshot s.bmp";
    const Played a = Replay(setup);
    setup.map = oneLine;
    const Played b = Replay(setup);
    const Picture pa = Screenshot(a, "s.bmp"), pb = Screenshot(b, "s.bmp");
    ASSERT_TRUE(pa.Loaded() && pb.Loaded());
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) ASSERT_EQ(pa.At(x, y), pb.At(x, y)) << x << "," << y;
    }
}

TEST(GameReplayPictures, MissingPicturesAreReportedAndTheVariantPicksTheSheets) {
    // A copy of the program whose BMP folder lacks variant 1's player sheet
    // and variant 0's first follower sheet.
    TempFolder program;
    fs::create_directory(program.Path() / "BMP");
    for (const auto& entry : fs::directory_iterator(kPictures)) {
        const std::string name = entry.path().filename().string();
        if (name != "hokou1.BMP" && name != "damenzu_00.bmp") fs::copy_file(entry.path(), program.Path() / "BMP" / name);
    }
    fs::copy_file(kReplay, program.Path() / "pokotanba-replay");
    const std::string message = reinterpret_cast<const char*>(u8"BMPファイルを読み込めません");
    Script s;
    s.Walk({"RIGHT"}, 2, 20);
    for (const char* variant : {"", "--variant 0"}) {
        RunSetup setup(30, s.Text());
        setup.arguments = variant;
        setup.program = (program.Path() / "pokotanba-replay").string();
        const Played run = Replay(setup);
        EXPECT_EQ(run.exitCode, 3) << "an automated run of a game with a missing picture fails";
        ASSERT_EQ(run.frames.size(), 30u) << "the game goes on";
        EXPECT_GT(run.At(30).px, 300.0f);
        EXPECT_EQ(Count(run.errors, message), 1) << run.errors;
        EXPECT_EQ(Count(run.errors, ": cannot read " + (program.Path() / "BMP").string() + "/"), 1)
            << "one line names the missing file: " << run.errors;
        setup.arguments = std::string(variant) + " --allow-errors";
        EXPECT_EQ(Replay(setup).exitCode, 0);
        setup.arguments = variant;
        setup.program = kReplay;
        EXPECT_EQ(Count(Replay(setup).errors, message), 0);
    }
}

TEST(GameReplayDriver, RejectsBadArgumentsAndScripts) {
    auto exitCode = [](const std::string& arguments, const std::string& script = "") {
        TempFolder folder;
        WriteFile(folder.Path() / "map.txt", kOpenField);
        WriteFile(folder.Path() / "in.txt", script);
        const std::string cmd = "cd '" + folder.Path().string() + "' && '" + kReplay + "' " + arguments + " >/dev/null 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    for (const char* bad : {"", "--frames", "--frames 0", "--frames -3", "--frames 12x", "--frames 99999999999999999999",
                            "--frames 5 --variant 2", "--frames 5 --bogus 1", "--frames 5 --input missing.txt",
                            "--frames 5 --trace /nonexistent/t.txt"}) {
        EXPECT_EQ(exitCode(bad), 2) << bad;
    }
    for (const char* line : {"1 JUMP down\n", "0 UP down\n", "1 UP sideways\n", "1 UP\n", "1 256 down\n"}) {
        EXPECT_EQ(exitCode("--frames 5 --input in.txt", line), 2) << line;
    }
    EXPECT_EQ(exitCode("--frames 5 --input in.txt", "# comment\n\n1 38 down\n9 C up\n"), 0);

    // Escape ends the game before the last frame: no screenshot is written.
    Script s;
    s.Tap("ESCAPE", 4);
    RunSetup setup(10, s.Text());
    const Played run = Replay(setup);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.frames.size(), 3u);
    setup.arguments = "--screenshot s.bmp";
    EXPECT_EQ(Replay(setup).exitCode, 1);
}

// ---- rules checked on the records ----

class GameReplayRules : public testing::Test {
protected:
    void SetUp() override {
        saved_ = {gameVariant, player, playerX, playerY, {followers[0], followers[1], followers[2]}};
        gameVariant = 0;  // draws no swing areas: there is no screen here
    }
    void TearDown() override {
        gameVariant = saved_.variant;
        player = saved_.player;
        playerX = saved_.x;
        playerY = saved_.y;
        for (int i = 0; i < 3; ++i) followers[i] = saved_.followers[i];
    }
    static void Place(int i, int state, float x, float y, int slot = -1) {
        followers[i] = FollowerRecord{};
        followers[i].state = state;
        followers[i].posX = x;
        followers[i].posY = y;
        followers[i].slot = slot;
    }

private:
    struct {
        std::int32_t variant;
        PlayerRecord player;
        float x, y;
        std::array<FollowerRecord, 3> followers;
    } saved_{};
};

TEST_F(GameReplayRules, SlotChoiceFallsBackToZeroBeyond800Pixels) {
    // Player centre (24, 24): places 0 (24, -48), 1 (96, 24), 2 (24, 96),
    // 3 (-48, 24). Place 0 is held by follower 1.
    playerX = playerY = -24;
    Place(1, kFollowing, 700, 548, 0);
    Place(2, kAbsent, 0, 0);
    Place(0, kFollowing, 748, 548, 3);  // every place 800 or more away
    EXPECT_EQ(ChooseSlot(0), 0) << "even though place 0 is held";
    Place(0, kFollowing, 96 + 799 - 28, 24 - 28, 3);
    EXPECT_EQ(ChooseSlot(0), 1);
    Place(0, kFollowing, 96 + 800 - 28, 24 - 28, 3);
    EXPECT_EQ(ChooseSlot(0), 0) << "exactly 800 pixels is too far";
    // Ties go to the lower place; a near follower's place is not avoided.
    Place(1, kNear, 0, 0, -1);
    Place(0, kIdle, 24 + 36 - 28, 24 - 36 - 28);  // as near to place 0 as to 1
    EXPECT_EQ(ChooseSlot(0), 0);
}

TEST_F(GameReplayRules, TreeRadiusIsStrictAndOnlyFlyingCounts) {
    for (int i = 0; i < 3; ++i) Place(i, i == 0 ? kIdle : kFollowing, 524 - 28, 324 - 28);
    EXPECT_FALSE(FlyingFollowerAtTreeFoot()) << "standing and walking on the foot";
    Place(2, kFlying, 524 + 32 - 28, 324 - 28);
    EXPECT_FALSE(FlyingFollowerAtTreeFoot()) << "exactly 32 pixels";
    Place(2, kFlying, 524 - 28, 324 - 32 - 28);
    EXPECT_FALSE(FlyingFollowerAtTreeFoot());
    Place(2, kFlying, 524 + 31.99f - 28, 324 - 28);
    EXPECT_TRUE(FlyingFollowerAtTreeFoot());
    Place(2, kFlying, 524 + 19 - 28, 324 + 25 - 28);
    EXPECT_TRUE(FlyingFollowerAtTreeFoot());
}

TEST_F(GameReplayRules, SwingHitsTargetsOverlappingTheSwingArea) {
    // The swing areas as rectangles of the player's cell, per facing.
    const std::vector<std::vector<std::array<int, 4>>> areas = {
        {{0, 24, 24, 96}},
        {{24, 72, 96, 96}},
        {{72, 0, 96, 72}},
        {{0, 0, 72, 24}},
        {{0, 48, 24, 96}, {24, 72, 48, 96}},
        {{72, 48, 96, 96}, {48, 72, 72, 96}},
        {{0, 0, 48, 24}, {0, 24, 24, 48}},
        {{48, 0, 96, 24}, {72, 24, 96, 48}},
    };
    playerX = 300;
    playerY = 200;
    player.swinging = 1;
    // A follower's 48 x 48 target is hit when it overlaps an area by more
    // than an edge, so a target 35 pixels past a box's centre-plus-half
    // still hits and one 36 pixels past does not.
    for (int facing = 0; facing < 8; ++facing) {
        player.facing = facing;
        for (int ty = -40; ty <= 140; ++ty) {
            for (int tx = -40; tx <= 140; ++tx) {
                bool overlaps = false;
                for (const auto& [l, t, r, b] : areas[facing]) {
                    overlaps = overlaps || (tx - 24 < r && tx + 24 > l && ty - 24 < b && ty + 24 > t);
                }
                std::int32_t direction = -1;
                player.animFrame = 2;
                const int hit = SwingTest(300 + tx - 28, 200 + ty - 28, 56, 56, 48, 48, direction);
                ASSERT_EQ(hit == 1, overlaps) << "facing " << facing << ", target centre " << tx << "," << ty;
                ASSERT_EQ(direction, facing);
                player.animFrame = 1;
                ASSERT_EQ(SwingTest(300 + tx - 28, 200 + ty - 28, 56, 56, 48, 48, direction), 0);
            }
        }
    }
}
