// The game, played by the headless replay driver: each test writes its own
// map.txt and key script into a fresh folder, runs pokotanba-replay there and
// reads the per-frame trace (and screenshots). A few rules that play cannot
// hit exactly (the slot fallback, the tree's radius, the swing box edges)
// are checked on the game's records directly.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
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

#include "game/game_state.h"
#include "platform/bmp.h"
#include "platform/surface.h"

namespace fs = std::filesystem;

namespace {

const std::string kReplay = KR_RUN_DIR "/pokotanba-replay";
const std::string kPictures = KR_RUN_DIR "/BMP/";

// ---- traces ----

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
    std::string tag;
    in >> out.k >> tag >> out.px >> out.py >> out.facing >> out.swinging >> out.animFrame;
    if (tag != "P") return false;
    for (int i = 0; i < 3; ++i) {
        FollowerFrame& f = out.f[i];
        in >> tag >> f.state >> f.x >> f.y >> f.facing >> f.slot >> f.hit;
        if (tag != "F" + std::to_string(i)) return false;
    }
    in >> tag >> out.fallState >> out.fallFrame;
    return tag == "T" && !in.fail();
}

// ---- key scripts ----

class Script {
public:
    Script& Key(long frame, const char* key, bool down) {
        text_ += std::to_string(frame) + " " + key + (down ? " down\n" : " up\n");
        return *this;
    }
    // Keys pressed at `from` and released at `to`.
    Script& Hold(std::initializer_list<const char*> keys, long from, long to) {
        for (const char* k : keys) Key(from, k, true);
        for (const char* k : keys) Key(to, k, false);
        return *this;
    }
    Script& Tap(const char* key, long frame) { return Hold({key}, frame, frame + 1); }
    // A key press moves nothing in its first frame, then one step per frame:
    // `moves` steps, released in the frame returned.
    long Walk(std::initializer_list<const char*> keys, long from, int moves) {
        Hold(keys, from, from + moves + 1);
        return from + moves + 1;
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// ---- maps ----

using Grid = std::vector<int>;

Grid Filled(int value) { return Grid(kTileCount, value); }

std::string MapText(const Grid& grid) {
    std::string s;
    for (int r = 0; r < kMapRows; ++r) {
        for (int c = 0; c < kMapColumns; ++c) {
            s += std::to_string(grid[r * kMapColumns + c]);
            s += c + 1 < kMapColumns ? ' ' : '\n';
        }
    }
    return s;
}

const std::string kOpenField = MapText(Filled(kWalkableTile));

// ---- running the replay ----

class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/kr_game_XXXXXX";
        if (mkdtemp(name) != nullptr) path_ = name;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Played {
    std::shared_ptr<TempFolder> folder = std::make_shared<TempFolder>();
    int exitCode = -1;
    std::vector<Frame> frames;
    std::string errors;
    const Frame& At(long k) const { return frames.at(static_cast<std::size_t>(k - 1)); }
    fs::path File(const char* name) const { return folder->Path() / name; }
};

struct RunSpec {
    long frames = 1;
    std::string script;
    std::optional<std::string> map = kOpenField;  // nullopt: no map.txt
    std::string extraArguments;
    std::string program = kReplay;
    std::function<void(const fs::path&)> prepare;  // runs after the map is written
};

Played Replay(const RunSpec& spec) {
    Played run;
    const fs::path dir = run.folder->Path();
    if (spec.map) WriteFile(dir / "map.txt", *spec.map);
    if (spec.prepare) spec.prepare(dir);
    WriteFile(dir / "input.txt", spec.script);
    const std::string command = "cd '" + dir.string() + "' && KR_DESKTOP_BITS=16 '" + spec.program +
                                "' --frames " + std::to_string(spec.frames) +
                                " --input input.txt --trace trace.txt " + spec.extraArguments + " 2> errors.txt";
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errors = ReadFile(dir / "errors.txt");
    std::ifstream trace(dir / "trace.txt");
    for (std::string line; std::getline(trace, line);) {
        Frame f;
        if (ParseFrame(line, f)) run.frames.push_back(f);
    }
    return run;
}

Played Replay(long frames, const Script& script, std::optional<std::string> map = kOpenField) {
    RunSpec spec;
    spec.frames = frames;
    spec.script = script.Text();
    spec.map = std::move(map);
    return Replay(spec);
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string Utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

// ---- pictures ----

using Rgb = std::array<int, 3>;

struct Image {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Reads a bottom-up 24-bit BMP as the replay writes it.
Image ReadScreenshot(const fs::path& path) {
    Image image;
    const std::string b = ReadFile(path);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return image;
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
        return v;
    };
    image.width = static_cast<int>(u32(18));
    image.height = static_cast<int>(u32(22));
    const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) & ~std::size_t{3};
    if (b.size() < u32(10) + stride * image.height) return Image{};
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        const std::size_t row = u32(10) + stride * (image.height - 1 - y);
        for (int x = 0; x < image.width; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(b.data() + row + 3 * x);
            image.pixels[static_cast<std::size_t>(y) * image.width + x] = Rgb{p[2], p[1], p[0]};
        }
    }
    return image;
}

// A game picture as a 16-bit display shows it; transparent pixels read as
// nullopt.
class Picture {
public:
    Picture(const std::string& file, bool cornerKey)
        : surface_(plat::LoadBmpFile(kPictures + file, plat::FormatForBits(16))) {
        if (surface_) key_ = cornerKey ? plat::GetPixel(*surface_, 0, 0) : 0;
    }
    ~Picture() { plat::DestroySurface(surface_); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    bool Loaded() const { return surface_ != nullptr; }
    std::optional<Rgb> At(int x, int y) const {
        const std::uint32_t v = plat::GetPixel(*surface_, x, y);
        if (v == key_) return std::nullopt;
        std::uint8_t r, g, b;
        plat::UnmapRGB(surface_->format, v, r, g, b);
        return Rgb{r, g, b};
    }

private:
    plat::Surface* surface_;
    std::uint32_t key_ = 0;
};

constexpr Rgb kBlack{0, 0, 0};

// Frames (1-based) in which follower i was hit.
std::vector<long> HitFrames(const Played& run, int i) {
    std::vector<long> out;
    for (const Frame& f : run.frames) {
        if (f.f[i].hit) out.push_back(f.k);
    }
    return out;
}

long FirstFrame(const Played& run, long from, auto predicate) {
    for (const Frame& f : run.frames) {
        if (f.k >= from && predicate(f)) return f.k;
    }
    return -1;
}

constexpr float kStep = 1.6666667f;  // pixels per frame at 100 px/s

}  // namespace

// ---- the screen ----

TEST(GameReplayScreen, FirstFrameShowsBareTilesSecondAddsOverlay) {
    // Row 0 walks the tile sheet and its outside: values past the sheet's
    // last tile, negative values and huge ones draw nothing.
    Grid grid = Filled(kWalkableTile);
    const int odd[] = {24, 25, -1, -3, 1000000, 2147483647};
    for (int c = 0; c < kMapColumns; ++c) grid[c] = c < 24 ? c : odd[c % 6];
    for (int c = 0; c < kMapColumns; ++c) grid[kMapColumns + c] = (c * 7) % 24;

    Picture sheet("map_data.BMP", false), overlay("bg.BMP", true);
    ASSERT_TRUE(sheet.Loaded());
    ASSERT_TRUE(overlay.Loaded());
    RunSpec spec;
    spec.map = MapText(grid);
    spec.frames = 1;
    spec.extraArguments = "--screenshot first.bmp";
    const Played first = Replay(spec);
    spec.frames = 2;
    spec.extraArguments = "--screenshot second.bmp";
    const Played second = Replay(spec);
    const Image a = ReadScreenshot(first.File("first.bmp"));
    const Image b = ReadScreenshot(second.File("second.bmp"));
    ASSERT_EQ(a.width, 800);
    ASSERT_EQ(b.height, 600);

    // Rows 0 to 27 hold nothing but tiles and the overlay.
    int overlaid = 0;
    for (int y = 0; y < 28; ++y) {
        for (int x = 0; x < 800; ++x) {
            const int value = grid[(y / 8) * kMapColumns + x / 8];
            std::optional<Rgb> tile;
            if (value >= 0 && value < 24) tile = sheet.At(8 * (value % 3) + x % 8, 8 * (value / 3) + y % 8);
            const Rgb bare = tile.value_or(kBlack);
            ASSERT_EQ(a.At(x, y), bare) << "frame 1 at " << x << "," << y << " tile " << value;
            const std::optional<Rgb> over = overlay.At(x, y);
            ASSERT_EQ(b.At(x, y), over.value_or(bare)) << "frame 2 at " << x << "," << y;
            overlaid += over && *over != bare;
        }
    }
    EXPECT_GT(overlaid, 0) << "the overlay should show somewhere in the top rows";
}

// ---- the player ----

TEST(GameReplayPlayer, WalksEightDirectionsAt100PixelsPerSecond) {
    struct Case {
        std::initializer_list<const char*> keys;
        int facing;
        float dx, dy;  // unit direction
    };
    const float d = std::sqrt(0.5f);
    const Case cases[] = {
        {{"DOWN"}, 0, 0, 1},           {{"RIGHT"}, 1, 1, 0},          {{"UP"}, 2, 0, -1},
        {{"LEFT"}, 3, -1, 0},          {{"DOWN", "RIGHT"}, 4, d, d},  {{"UP", "RIGHT"}, 5, d, -d},
        {{"DOWN", "LEFT"}, 6, -d, d}, {{"UP", "LEFT"}, 7, -d, -d},
    };
    for (const Case& c : cases) {
        Script s;
        s.Walk(c.keys, 2, 30);  // pressed in frame 2, moves in frames 3 to 32
        const Played run = Replay(40, s);
        ASSERT_EQ(run.frames.size(), 40u);
        EXPECT_EQ(run.At(2).px, 300.0f) << "no step in the frame of the press";
        EXPECT_EQ(run.At(2).py, 430.0f);
        const Frame& end = run.At(40);
        EXPECT_EQ(end.facing, c.facing);
        EXPECT_NEAR(end.px - 300.0f, 30 * kStep * c.dx, 0.01f) << "facing " << c.facing;
        EXPECT_NEAR(end.py - 430.0f, 30 * kStep * c.dy, 0.01f) << "facing " << c.facing;
        EXPECT_EQ(run.At(33).px, end.px) << "the release frame moves nothing";
    }
}

TEST(GameReplayPlayer, WallsBlockEachAxisOnItsOwn) {
    // A wall from column 47 (x 376) on: the right edge samples x0 + 72 with
    // x0 = trunc(playerX), so the player stops once trunc(playerX) reaches 304.
    Grid wallRight = Filled(kWalkableTile);
    for (int r = 0; r < kMapRows; ++r) {
        for (int c = 47; c < kMapColumns; ++c) wallRight[r * kMapColumns + c] = 0;
    }
    Script s;
    s.Walk({"DOWN", "RIGHT"}, 2, 40);
    Played run = Replay(45, s, MapText(wallRight));
    const Frame& end = run.At(45);
    EXPECT_GE(end.px, 304.0f);
    EXPECT_LT(end.px, 305.0f);
    EXPECT_NEAR(end.py - 430.0f, 40 * kStep * std::sqrt(0.5f), 0.01f) << "slides down along the wall";
    EXPECT_EQ(end.facing, 4);

    // A wall from row 63 (y 504) down: the bottom edge samples
    // trunc(playerY - 12) + 72, so the player stops once that reaches 504.
    Grid wallBelow = Filled(kWalkableTile);
    for (int i = 63 * kMapColumns; i < kTileCount; ++i) wallBelow[i] = 5;
    Script t;
    t.Walk({"DOWN", "LEFT"}, 2, 40);
    run = Replay(45, t, MapText(wallBelow));
    EXPECT_GE(run.At(45).py, 444.0f);
    EXPECT_LT(run.At(45).py, 445.0f);
    EXPECT_NEAR(run.At(45).px - 300.0f, -40 * kStep * std::sqrt(0.5f), 0.01f) << "slides left along the wall";

    // A wall on the left, column 35 (x 280 to 287): the left edge samples
    // trunc(playerX - 16) + 24.
    Grid wallLeft = Filled(kWalkableTile);
    for (int r = 0; r < kMapRows; ++r) wallLeft[r * kMapColumns + 35] = 1;
    Script u;
    u.Walk({"LEFT"}, 2, 40);
    run = Replay(45, u, MapText(wallLeft));
    EXPECT_GE(run.At(45).px, 278.0f);
    EXPECT_LT(run.At(45).px, 280.0f);
}

TEST(GameReplayPlayer, HeldAtTheScreenBoundsEvenOnWalkableTiles) {
    Script s;
    const long next = s.Walk({"UP", "LEFT"}, 2, 420);
    s.Walk({"DOWN", "RIGHT"}, next, 700);
    const Played run = Replay(next + 705, s);
    ASSERT_EQ(run.frames.size(), static_cast<std::size_t>(next + 705));
    EXPECT_EQ(run.At(next).px, -24.0f);
    EXPECT_EQ(run.At(next).py, -24.0f);
    EXPECT_EQ(run.frames.back().px, 728.0f);
    EXPECT_EQ(run.frames.back().py, 528.0f);
    for (const Frame& f : run.frames) {
        ASSERT_TRUE(f.px >= -24.0f && f.px <= 728.0f && f.py >= -24.0f && f.py <= 528.0f) << "frame " << f.k;
    }
}

TEST(GameReplayPlayer, KeyStatesOtherThanHeldAnimateWithoutMoving) {
    // Standing, the animation frame flips every 18 steps (1 at frame 18, 0
    // at 36); walking, the same step advances 1 to 2.
    Played still = Replay(40, Script{});
    EXPECT_EQ(still.At(17).animFrame, 0);
    EXPECT_EQ(still.At(18).animFrame, 1);
    EXPECT_EQ(still.At(36).animFrame, 0);

    Script pressedAt36, releasedAt36;
    pressedAt36.Tap("RIGHT", 36);       // went down in frame 36
    releasedAt36.Hold({"RIGHT"}, 35, 36);  // went up in frame 36
    for (const Script* s : {&pressedAt36, &releasedAt36}) {
        const Played run = Replay(40, *s);
        EXPECT_EQ(run.At(36).animFrame, 2) << "walking animation";
        for (const Frame& f : run.frames) {
            ASSERT_EQ(f.px, 300.0f) << "frame " << f.k;
            ASSERT_EQ(f.facing, 0) << "only a held key turns the player";
        }
    }

    // Opposite or three keys held: walks on the spot, keeping its facing.
    for (auto keys : {std::initializer_list<const char*>{"UP", "DOWN"}, {"LEFT", "RIGHT"}, {"UP", "LEFT", "DOWN"}}) {
        Script s;
        const long t = s.Walk({"LEFT"}, 2, 1);  // face left first
        s.Walk(keys, t + 2, 60);  // a key re-pressed right after its release counts as held
        const Played run = Replay(70, s);
        const Frame& turned = run.At(t);
        bool walkedFrames = false;
        for (long k = t; k <= 70; ++k) {
            ASSERT_EQ(run.At(k).px, turned.px);
            ASSERT_EQ(run.At(k).py, turned.py);
            ASSERT_EQ(run.At(k).facing, 3);
            walkedFrames = walkedFrames || run.At(k).animFrame >= 2;
        }
        EXPECT_TRUE(walkedFrames) << "the walking frames run";
    }
}

TEST(GameReplayPlayer, HeldCSwingsOnceForThirtySixSteps) {
    Script s;
    s.Hold({"C"}, 2, 100);       // held long past the swing
    s.Walk({"RIGHT"}, 5, 20);    // arrows during the swing neither move nor turn
    s.Tap("C", 200);             // a fresh press swings again
    const Played run = Replay(240, s);
    std::vector<long> swinging, third;
    for (const Frame& f : run.frames) {
        if (f.swinging) swinging.push_back(f.k);
        if (f.swinging && f.animFrame == 2) third.push_back(f.k);
        if (f.k < 38) {
            ASSERT_EQ(f.px, 300.0f);
            ASSERT_EQ(f.facing, 0);
        }
    }
    // The swing starts in frame 2 and ends in its 36th step (frame 37).
    ASSERT_EQ(swinging.size(), 35u + 35u);
    EXPECT_EQ(swinging.front(), 2);
    EXPECT_EQ(swinging[34], 36);
    EXPECT_EQ(swinging[35], 200);
    ASSERT_EQ(third.size(), 24u);
    EXPECT_EQ(third.front(), 25) << "animFrame is 2 for the last 12 steps";
    EXPECT_EQ(third[11], 36);
    EXPECT_EQ(run.At(13).animFrame, 1);
}

TEST(GameReplayPlayer, SwingMissesAtThirtySixPixelsAndHitsCloser) {
    // Knock follower 0 left into its area bound (x -4, centre 24), then swing
    // facing down from the left screen bound (x -24): the box centre is at
    // -12, exactly 36 pixels from the follower's centre, which is no hit.
    // One step to the right (x -22.33) hits it.
    Script s;
    long t = s.Walk({"UP"}, 2, 108);  // up to y = 250
    t = s.Walk({"LEFT"}, t, 1);       // face left
    s.Tap("C", t);
    t = s.Walk({"LEFT"}, t + 40, 200);  // to the left bound
    t = s.Walk({"DOWN"}, t + 100, 1);   // face down; x stays -24
    const long missSwing = t;
    s.Tap("C", missSwing);
    t = s.Walk({"RIGHT"}, missSwing + 40, 1);
    t = s.Walk({"DOWN"}, t, 1);
    const long hitSwing = t;
    s.Tap("C", hitSwing);
    const Played run = Replay(hitSwing + 40, s);
    ASSERT_EQ(run.frames.size(), static_cast<std::size_t>(hitSwing + 40));

    const Frame& before = run.At(missSwing);
    ASSERT_EQ(before.px, -24.0f);
    ASSERT_EQ(before.facing, 0);
    ASSERT_EQ(before.f[0].x, -4.0f) << "follower 0 should lie at its left bound";
    const float centreGap = std::fabs((before.py + 60.0f) - (before.f[0].y + 28.0f));
    ASSERT_LT(centreGap, 59.0f) << "the boxes overlap vertically";
    for (long k = missSwing; k < missSwing + 38; ++k) ASSERT_EQ(run.At(k).f[0].hit, 0) << "frame " << k;

    ASSERT_NEAR(run.At(hitSwing).px, -24.0f + kStep, 1e-4f);
    const long firstHit = FirstFrame(run, hitSwing, [](const Frame& f) { return f.f[0].hit == 1; });
    EXPECT_EQ(firstHit, hitSwing + 23) << "hit in the first step of the third swing frame";
}

// ---- the followers ----

TEST(GameReplayFollowers, CallReachesFollowersWithin174PixelsWithDistinctSlots) {
    Script s;
    s.Tap("V", 3);                  // all three are farther than 174 pixels
    long t = s.Walk({"UP"}, 5, 60);  // y 330: followers 0 and 1 within reach
    s.Tap("V", t);
    const Played run = Replay(t + 120, s);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(run.At(4).f[i].state, kIdle);

    const Frame& called = run.At(t);
    EXPECT_EQ(called.f[0].state, kFollowing);
    EXPECT_EQ(called.f[1].state, kFollowing);
    EXPECT_EQ(called.f[2].state, kIdle) << "211 pixels away";
    // Follower 0 takes the place above, its nearest; follower 1's nearest is
    // the same place, so it takes the next nearest, on the right.
    EXPECT_EQ(called.f[0].slot, 0);
    EXPECT_EQ(called.f[1].slot, 1);

    // Once the followers stop near the player, V leaves them near.
    const long near = FirstFrame(run, t, [](const Frame& f) { return f.f[0].state == kNear; });
    ASSERT_GT(near, 0);
    Script again = s;
    again.Tap("V", near + 2);
    const Played second = Replay(near + 4, again);
    EXPECT_EQ(second.At(near + 3).f[0].state, kNear);
}

TEST(GameReplayFollowers, FlightIntoTheAreaBoundLiesDownAtOnce) {
    Script s;
    long t = s.Walk({"UP"}, 2, 108);
    t = s.Walk({"LEFT"}, t, 1);
    s.Tap("C", t);
    const Played run = Replay(t + 260, s);

    const std::vector<long> hits = HitFrames(run, 0);
    ASSERT_FALSE(hits.empty());
    for (long k : hits) {
        EXPECT_EQ(run.At(k).swinging, 1);
        EXPECT_EQ(run.At(k).animFrame, 2) << "hits only in the third swing frame";
    }
    // It flies left from the frame after the first hit, at 100 px/s.
    const Frame& hit = run.At(hits.front());
    EXPECT_EQ(hit.f[0].state, kFlying);
    EXPECT_EQ(hit.f[0].x, 280.0f);
    EXPECT_NEAR(run.At(hits.front() + 1).f[0].x, 280.0f - kStep, 1e-3f);

    const long bounded = FirstFrame(run, hits.back(), [](const Frame& f) { return f.f[0].x == -4.0f; });
    ASSERT_GT(bounded, 0);
    EXPECT_LT(bounded - hits.back(), 180) << "stopped by the bound before 300 pixels";
    EXPECT_EQ(run.At(bounded - 1).f[0].state, kFlying);
    EXPECT_EQ(run.At(bounded).f[0].state, kDown);
    // Lying lasts 61 steps counted from the bound's own frame.
    EXPECT_EQ(run.At(bounded + 59).f[0].state, kDown);
    EXPECT_EQ(run.At(bounded + 60).f[0].state, kIdle);
    EXPECT_EQ(run.At(bounded + 60).f[0].facing, 3);
}

TEST(GameReplayFollowers, LyingFacingFollowsTheHitDirection) {
    // Where to stand so that each facing's first swing box covers
    // follower 0 (centre 308, 268), and the keys that turn that way.
    struct Case {
        int facing;
        float x, y;
        std::initializer_list<const char*> turn;
        int lyingFacing;
    };
    const Case cases[] = {
        {0, 296, 208, {"DOWN"}, 0},         {1, 248, 184, {"RIGHT"}, 1},
        {2, 224, 232, {"UP"}, 2},           {3, 272, 256, {"LEFT"}, 3},
        {4, 296, 196, {"DOWN", "RIGHT"}, 1}, {5, 224, 196, {"UP", "RIGHT"}, 1},
        {6, 284, 256, {"DOWN", "LEFT"}, 3},  {7, 236, 256, {"UP", "LEFT"}, 3},
    };
    for (const Case& c : cases) {
        Script s;
        long t = s.Walk({"UP"}, 2, static_cast<int>((430 - c.y) / kStep));
        t = s.Walk({"LEFT"}, t, static_cast<int>((300 - c.x) / kStep));
        t = s.Walk(c.turn, t, 1);
        s.Tap("C", t);
        const Played run = Replay(t + 250, s);
        ASSERT_EQ(run.At(t).facing, c.facing);
        const std::vector<long> hits = HitFrames(run, 0);
        ASSERT_FALSE(hits.empty()) << "facing " << c.facing;
        const long down = FirstFrame(run, hits.back(), [](const Frame& f) { return f.f[0].state == kDown; });
        ASSERT_GT(down, 0) << "facing " << c.facing;
        EXPECT_EQ(run.At(down).f[0].facing, c.lyingFacing) << "facing " << c.facing;
    }
}

// ---- the tree ----

TEST(GameReplayTree, FallsOnlyForAFlyingFollowerInFourPictures) {
    // Call follower 2 from below the tree: it walks to the place above the
    // player, over the tree's foot at (524, 324), and the tree stands.
    // Then a swing up sends it flying back over the foot.
    Script s;
    long t = s.Walk({"RIGHT"}, 2, 96);  // x = 460
    t = s.Walk({"UP"}, t, 30);          // y = 380
    s.Tap("V", t);
    const long called = t;
    t = s.Walk({"UP"}, t + 120, 5);
    s.Tap("C", t);
    const long swing = t;
    const Played run = Replay(swing + 260, s);

    EXPECT_EQ(run.At(called).f[2].state, kFollowing);
    EXPECT_EQ(run.At(called).f[2].slot, 0);
    float closest = 1e9f;
    for (long k = called; k < swing; ++k) {
        const FollowerFrame& f = run.At(k).f[2];
        closest = std::min(closest, std::hypot(524.0f - (f.x + 28.0f), 324.0f - (f.y + 28.0f)));
        ASSERT_EQ(run.At(k).fallState, 0) << "frame " << k;
    }
    EXPECT_LT(closest, 16.0f) << "the walk should cross the foot";

    const long trigger = FirstFrame(run, swing, [](const Frame& f) { return f.fallState != 0; });
    ASSERT_GT(trigger, 0);
    const FollowerFrame& f = run.At(trigger).f[2];
    // The tree step sees the followers as the previous frame left them.
    const FollowerFrame& seen = run.At(trigger - 1).f[2];
    EXPECT_EQ(seen.state, kFlying);
    EXPECT_LT(std::hypot(524.0f - (seen.x + 28.0f), 324.0f - (seen.y + 28.0f)), 32.0f);
    EXPECT_EQ(f.state, kFlying);
    // fl=1 from the trigger; pictures 1, 2, 3 in its 30th, 60th and 90th
    // step; fl=2 with the last picture.
    const int expected[][3] = {{0, 1, 0}, {28, 1, 0}, {29, 1, 1}, {59, 1, 2}, {88, 1, 2}, {89, 2, 3}, {150, 2, 3}};
    for (const auto& e : expected) {
        ASSERT_LE(trigger + e[0], static_cast<long>(run.frames.size()));
        EXPECT_EQ(run.At(trigger + e[0]).fallState, e[1]) << "step " << e[0];
        EXPECT_EQ(run.At(trigger + e[0]).fallFrame, e[2]) << "step " << e[0];
    }
}

// ---- map.txt ----

namespace {

// Whether the player can walk right from the start on this map.
bool CanWalk(std::optional<std::string> map) {
    Script s;
    s.Walk({"RIGHT"}, 2, 10);
    const Played run = Replay(14, s, std::move(map));
    return run.exitCode == 0 && run.frames.size() == 14 && run.At(14).px > 300.0f;
}

std::string Repeat(const std::string& token, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += token + " ";
    return s;
}

}  // namespace

TEST(GameReplayMap, ShortLongAndGarbledFilesFillAsDocumented) {
    EXPECT_TRUE(CanWalk(kOpenField));
    // Short: the last value read fills the rest.
    EXPECT_TRUE(CanWalk(Repeat("0", 149) + "2"));
    EXPECT_FALSE(CanWalk(Repeat("2", 149) + "0"));
    EXPECT_TRUE(CanWalk("2"));
    // Long: nothing after the 7,500th value is read.
    EXPECT_TRUE(CanWalk(kOpenField + Repeat("0", 500)));
    // Garbled: reading stops at the first token that is no number.
    EXPECT_TRUE(CanWalk(Repeat("2", 100) + "x2y " + Repeat("0", 7400)));
    EXPECT_TRUE(CanWalk(Repeat("2", 100) + "- 0 " + Repeat("0", 7400)));
    EXPECT_TRUE(CanWalk(Repeat("+2", 100) + "\r\n\t2"));
    EXPECT_TRUE(CanWalk(Repeat("2", 100) + "2abc " + Repeat("0", 7400)));
    EXPECT_FALSE(CanWalk("abc " + kOpenField)) << "no value read: all tiles 0";
    EXPECT_FALSE(CanWalk(std::string("\0\0\0", 3) + kOpenField));
    // Out-of-sheet values block like any value other than 2.
    EXPECT_FALSE(CanWalk("-2"));
    EXPECT_FALSE(CanWalk("99999999999999999999999999"));
    EXPECT_FALSE(CanWalk("-99999999999999999999999999"));
    EXPECT_FALSE(CanWalk("4294967298")) << "must not wrap around to 2";
}

TEST(GameReplayMap, MissingOrUnreadableMapBlocksEverything) {
    EXPECT_FALSE(CanWalk(std::nullopt));
    EXPECT_FALSE(CanWalk(""));

    Script s;
    s.Walk({"RIGHT"}, 2, 10);
    RunSpec spec;
    spec.frames = 14;
    spec.script = s.Text();
    spec.map = std::nullopt;
    // A folder named map.txt opens but reads nothing.
    spec.prepare = [](const fs::path& dir) { fs::create_directory(dir / "map.txt"); };
    Played run = Replay(spec);
    ASSERT_EQ(run.frames.size(), 14u);
    EXPECT_EQ(run.At(14).px, 300.0f);

    if (geteuid() != 0) {  // permissions do not stop root
        spec.map = kOpenField;
        spec.prepare = [](const fs::path& dir) { chmod((dir / "map.txt").c_str(), 0); };
        run = Replay(spec);
        ASSERT_EQ(run.frames.size(), 14u);
        EXPECT_EQ(run.At(14).px, 300.0f);
    }
}

TEST(GameReplayMap, OneLineAndGridLayoutsGiveTheSamePicture) {
    Grid grid(kTileCount);
    for (int i = 0; i < kTileCount; ++i) grid[i] = (i * 5 + i / 100) % 24;
    std::string oneLine;
    for (int v : grid) oneLine += std::to_string(v) + " ";
    RunSpec spec;
    spec.frames = 1;
    spec.extraArguments = "--screenshot s.bmp";
    spec.map = MapText(grid);
    const Played a = Replay(spec);
    spec.map = oneLine;
    const Played b = Replay(spec);
    const Image ia = ReadScreenshot(a.File("s.bmp")), ib = ReadScreenshot(b.File("s.bmp"));
    ASSERT_EQ(ia.pixels.size(), 800u * 600u);
    EXPECT_TRUE(ia.pixels == ib.pixels);
}

// ---- pictures and variants ----

TEST(GameReplayPictures, MissingPicturesAreReportedAndTheVariantPicksTheSheets) {
    // A copy of the program beside a BMP folder without two sheets: variant
    // 1 misses its player sheet, variant 0 its first follower sheet.
    TempFolder program;
    fs::create_directory(program.Path() / "BMP");
    for (const auto& entry : fs::directory_iterator(kPictures)) {
        const std::string name = entry.path().filename().string();
        if (name == "hokou1.BMP" || name == "damenzu_00.bmp") continue;
        fs::copy_file(entry.path(), program.Path() / "BMP" / name);
    }
    fs::copy_file(kReplay, program.Path() / "pokotanba-replay");
    const std::string message = Utf8(u8"BMPファイルを読み込めません");

    Script s;
    s.Walk({"RIGHT"}, 2, 20);
    RunSpec spec;
    spec.frames = 30;
    spec.script = s.Text();
    spec.program = (program.Path() / "pokotanba-replay").string();
    const Played one = Replay(spec);
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(one.frames.size(), 30u) << "the game goes on";
    EXPECT_EQ(Count(one.errors, message), 1) << one.errors;
    EXPECT_GT(one.At(30).px, 300.0f);

    spec.extraArguments = "--variant 0";
    const Played zero = Replay(spec);
    EXPECT_EQ(zero.exitCode, 0);
    EXPECT_EQ(zero.frames.size(), 30u);
    EXPECT_EQ(Count(zero.errors, message), 1) << zero.errors;

    // With every picture present neither variant reports anything.
    spec.program = kReplay;
    EXPECT_EQ(Count(Replay(spec).errors, message), 0);
    spec.extraArguments = "";
    EXPECT_EQ(Count(Replay(spec).errors, message), 0);
}

// ---- the driver ----

TEST(GameReplayDriver, RejectsBadArgumentsAndScripts) {
    TempFolder folder;
    WriteFile(folder.Path() / "map.txt", kOpenField);
    auto exitCode = [&](const std::string& arguments, const std::string& script = "") {
        WriteFile(folder.Path() / "input.txt", script);
        const std::string cmd =
            "cd '" + folder.Path().string() + "' && '" + kReplay + "' " + arguments + " >/dev/null 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(exitCode(""), 2);
    EXPECT_EQ(exitCode("--frames"), 2);
    EXPECT_EQ(exitCode("--frames 0"), 2);
    EXPECT_EQ(exitCode("--frames -3"), 2);
    EXPECT_EQ(exitCode("--frames 12x"), 2);
    EXPECT_EQ(exitCode("--frames 99999999999999999999"), 2);
    EXPECT_EQ(exitCode("--frames 5 --variant 2"), 2);
    EXPECT_EQ(exitCode("--frames 5 --bogus 1"), 2);
    EXPECT_EQ(exitCode("--frames 5 --input missing.txt"), 2);
    EXPECT_EQ(exitCode("--frames 5 --input input.txt", "1 JUMP down\n"), 2);
    EXPECT_EQ(exitCode("--frames 5 --input input.txt", "0 UP down\n"), 2);
    EXPECT_EQ(exitCode("--frames 5 --input input.txt", "1 UP sideways\n"), 2);
    EXPECT_EQ(exitCode("--frames 5 --input input.txt", "1 UP\n"), 2);
    EXPECT_EQ(exitCode("--frames 5 --input input.txt", "1 256 down\n"), 2);
    EXPECT_EQ(exitCode("--frames 5 --input input.txt", "# a comment\n\n1 38 down\n9 C up\n"), 0);
    EXPECT_EQ(exitCode("--frames 5 --trace /nonexistent/dir/t.txt"), 2);
}

TEST(GameReplayDriver, EscapeEndsTheGameAndScreenshotsNeedALastFrame) {
    Script s;
    s.Tap("ESCAPE", 4);
    RunSpec spec;
    spec.frames = 10;
    spec.script = s.Text();
    const Played run = Replay(spec);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.frames.size(), 3u);
    spec.extraArguments = "--screenshot s.bmp";
    EXPECT_EQ(Replay(spec).exitCode, 1) << "no screenshot after frame 10";
}

// ---- rules checked on the records ----

class GameReplayRules : public testing::Test {
protected:
    void SetUp() override {
        savedVariant_ = gameVariant;
        gameVariant = 0;  // no swing areas drawn: no screen here
        savedPlayer_ = player;
        savedX_ = playerX;
        savedY_ = playerY;
        for (int i = 0; i < 3; ++i) savedFollowers_[i] = followers[i];
    }
    void TearDown() override {
        gameVariant = savedVariant_;
        player = savedPlayer_;
        playerX = savedX_;
        playerY = savedY_;
        for (int i = 0; i < 3; ++i) followers[i] = savedFollowers_[i];
    }
    static void PlaceFollower(int i, int state, float x, float y, int slot = -1) {
        followers[i] = FollowerRecord{};
        followers[i].state = state;
        followers[i].posX = x;
        followers[i].posY = y;
        followers[i].slot = slot;
    }

private:
    std::int32_t savedVariant_ = 1;
    PlayerRecord savedPlayer_;
    float savedX_ = 0, savedY_ = 0;
    FollowerRecord savedFollowers_[3];
};

TEST_F(GameReplayRules, SlotChoiceAvoidsFollowingFollowersAndFallsBackToZero) {
    playerX = 300;
    playerY = 300;  // places: 0 (348, 276), 1 (420, 348), 2 (348, 420), 3 (276, 348)
    PlaceFollower(0, kFollowing, 392, 320, 1);  // centre (420, 348): on place 1
    PlaceFollower(1, kIdle, 392, 330);
    PlaceFollower(2, kNear, 320, 392);
    EXPECT_EQ(ChooseSlot(1), 2) << "place 1 is held; 2 is next nearest";
    followers[2].slot = 2;
    followers[2].state = kFollowing;
    EXPECT_EQ(ChooseSlot(1), 0) << "places 1 and 2 held; 0 beats 3";
    PlaceFollower(1, kAbsent, 392, 330);
    PlaceFollower(2, kFollowing, 320, 392, 2);
    EXPECT_EQ(ChooseSlot(0), 1);

    // Every place 800 pixels or farther: place 0, even when it is held.
    playerX = -24;
    playerY = -24;
    PlaceFollower(0, kFollowing, 748, 548, 3);
    PlaceFollower(1, kFollowing, 700, 548, 0);
    PlaceFollower(2, kAbsent, 0, 0);
    EXPECT_EQ(ChooseSlot(0), 0);
    // Just within 800 pixels of place 1 (96, 24): it is chosen.
    PlaceFollower(0, kFollowing, 96 + 799 - 28, 24 - 28, 3);
    EXPECT_EQ(ChooseSlot(0), 1);
    PlaceFollower(0, kFollowing, 96 + 800 - 28, 24 - 28, 3);
    EXPECT_EQ(ChooseSlot(0), 0);
    // Ties go to the lower place.
    playerX = 300;
    playerY = 300;
    PlaceFollower(1, kAbsent, 0, 0);
    PlaceFollower(0, kIdle, 348 + 36 - 28, 348 - 36 - 28);  // as near to 0 as to 1
    EXPECT_EQ(ChooseSlot(0), 0);
}

TEST_F(GameReplayRules, TreeRadiusIsStrictAndOnlyFlyingCounts) {
    for (int i = 0; i < 3; ++i) PlaceFollower(i, kIdle, 524 - 28, 324 - 28);
    EXPECT_FALSE(FlyingFollowerAtTreeFoot()) << "standing on the foot";
    PlaceFollower(1, kFollowing, 524 - 28, 324 - 28);
    EXPECT_FALSE(FlyingFollowerAtTreeFoot()) << "walking over the foot";
    PlaceFollower(2, kFlying, 524 + 32 - 28, 324 - 28);
    EXPECT_FALSE(FlyingFollowerAtTreeFoot()) << "exactly 32 pixels";
    PlaceFollower(2, kFlying, 524 - 28, 324 - 32 - 28);
    EXPECT_FALSE(FlyingFollowerAtTreeFoot());
    PlaceFollower(2, kFlying, 524 + 31.99f - 28, 324 - 28);
    EXPECT_TRUE(FlyingFollowerAtTreeFoot());
    PlaceFollower(2, kFlying, 524 + 19 - 28, 324 + 25 - 28);
    EXPECT_TRUE(FlyingFollowerAtTreeFoot());
}

TEST_F(GameReplayRules, SwingHitsTargetsOverlappingTheSwingArea) {
    // The swing areas as rectangles of the player's cell, per facing.
    struct Box {
        int left, top, right, bottom;
    };
    const std::vector<std::vector<Box>> areas = {
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
    // than an edge: 35 pixels past a box's reach still hits, 36 does not.
    for (int facing = 0; facing < 8; ++facing) {
        player.facing = facing;
        int hits = 0;
        for (int ty = -40; ty <= 140; ++ty) {
            for (int tx = -40; tx <= 140; ++tx) {
                bool overlaps = false;
                for (const Box& b : areas[facing]) {
                    overlaps = overlaps || (tx - 24 < b.right && tx + 24 > b.left && ty - 24 < b.bottom &&
                                            ty + 24 > b.top);
                }
                std::int32_t direction = -1;
                player.animFrame = 2;
                const int hit = SwingTest(300 + tx - 28, 200 + ty - 28, 56, 56, 48, 48, direction);
                ASSERT_EQ(hit == 1, overlaps) << "facing " << facing << " target centre " << tx << "," << ty;
                ASSERT_EQ(direction, facing);
                hits += hit;
                player.animFrame = 1;
                ASSERT_EQ(SwingTest(300 + tx - 28, 200 + ty - 28, 56, 56, 48, 48, direction), 0);
            }
        }
        EXPECT_GT(hits, 0);
    }
    // Not swinging: no hit even in the third frame's counter.
    player.swinging = 0;
    player.animFrame = 2;
    player.facing = 0;
    std::int32_t direction = -1;
    EXPECT_EQ(SwingTest(300 + 12 - 28, 200 + 60 - 28, 56, 56, 48, 48, direction), 0);
    EXPECT_EQ(direction, 0);
}
