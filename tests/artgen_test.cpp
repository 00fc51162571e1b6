// Checks the picture and map generator: it runs the real artgen binary into temporary folders and
// reads back what it wrote (file formats and sizes, repeatability, colour-key safety, where the
// pictures put their content, and a map the player can use).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Pixel {
    uint8_t r, g, b;
    bool operator==(const Pixel&) const = default;
};

struct Picture {
    int w = 0, h = 0;
    std::vector<Pixel> px;
    Pixel at(int x, int y) const { return px[size_t(y) * w + x]; }
};

std::vector<uint8_t> readBytes(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

uint32_t le(const std::vector<uint8_t>& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}

// Reads a 24-bit uncompressed bottom-up BMP, failing the test on any other layout.
Picture readBmp(const fs::path& p) {
    std::vector<uint8_t> b = readBytes(p);
    Picture pic;
    EXPECT_GE(b.size(), 54u) << p;
    if (b.size() < 54) return pic;
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le(b, 10, 4), 54u);
    EXPECT_EQ(le(b, 14, 4), 40u);
    EXPECT_EQ(le(b, 26, 2), 1u);
    EXPECT_EQ(le(b, 28, 2), 24u);
    EXPECT_EQ(le(b, 30, 4), 0u);
    int32_t w = int32_t(le(b, 18, 4)), h = int32_t(le(b, 22, 4));
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0) << "rows must be stored bottom-up";
    size_t row = (size_t(w) * 3 + 3) & ~size_t(3);
    EXPECT_EQ(b.size(), 54 + row * size_t(h)) << p;
    EXPECT_EQ(le(b, 2, 4), b.size());
    if (w <= 0 || h <= 0 || b.size() != 54 + row * size_t(h)) return pic;
    pic.w = w, pic.h = h;
    pic.px.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* s = &b[54 + size_t(h - 1 - y) * row + size_t(x) * 3];
            pic.px[size_t(y) * w + x] = {s[2], s[1], s[0]};
        }
    return pic;
}

bool same555(Pixel a, Pixel b) { return a.r >> 3 == b.r >> 3 && a.g >> 3 == b.g >> 3 && a.b >> 3 == b.b >> 3; }

const std::map<std::string, std::pair<int, int>> kCornerKeyed = {
    {"bg.BMP", {800, 600}},          {"obj_treefall_00.BMP", {144, 576}}, {"hokou1.BMP", {864, 768}},
    {"hokou.BMP", {864, 768}},       {"damenzu1_00.bmp", {504, 336}},     {"damenzu1_01.bmp", {504, 336}},
    {"damenzu1_02.bmp", {504, 336}}, {"damenzu_00.bmp", {504, 336}},      {"damenzu_01.bmp", {504, 336}},
    {"damenzu_02.bmp", {504, 336}},  {"damenzu_ef00.bmp", {448, 112}}};
const std::map<std::string, std::pair<int, int>> kBlackKeyed = {{"en.BMP", {152, 152}}, {"en1.BMP", {300, 300}}};

class ArtgenTest : public ::testing::Test {
protected:
    static fs::path generate(const std::string& tag) {
        fs::path dir = fs::temp_directory_path() / ("artgen_test_" + std::to_string(getpid()) + "_" + tag);
        fs::remove_all(dir);
        EXPECT_EQ(run(quoted(dir.string())), 0);
        return dir;
    }
    static std::string quoted(const std::string& s) {
        std::string q(1, '"');
        q += s;
        q += '"';
        return q;
    }
    static int run(const std::string& args) {
        std::string command = quoted(KR_RUN_DIR "/../artgen");
        command += ' ';
        command += args;
        command += " 2>/dev/null";
        return std::system(command.c_str());
    }
    static void SetUpTestSuite() { out_ = generate("a"); }
    static void TearDownTestSuite() { fs::remove_all(out_); }
    static Picture picture(const std::string& name) { return readBmp(out_ / "BMP" / name); }

    // Pixels of a cell that are not the sheet's transparent corner colour.
    static int drawnIn(const Picture& p, int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += !(p.at(x, y) == p.at(0, 0));
        return n;
    }

    static inline fs::path out_;
};

TEST_F(ArtgenTest, RefusesBadArguments) {
    EXPECT_NE(run(""), 0);
    fs::path file = fs::temp_directory_path() / ("artgen_test_file_" + std::to_string(getpid()));
    std::ofstream(file) << "x";
    EXPECT_NE(run(quoted(file.string())), 0) << "an output folder that is a file must fail, not crash";
    fs::remove(file);
}

TEST_F(ArtgenTest, RegeneratingGivesIdenticalBytes) {
    fs::path again = generate("b");
    std::vector<std::string> names = {"map.txt", "BMP/map_data.BMP"};
    for (auto& [n, size] : kCornerKeyed) names.push_back("BMP/" + n);
    for (auto& [n, size] : kBlackKeyed) names.push_back("BMP/" + n);
    for (const std::string& n : names) {
        std::vector<uint8_t> a = readBytes(out_ / n), b = readBytes(again / n);
        EXPECT_FALSE(a.empty()) << n;
        EXPECT_TRUE(a == b) << n << " differs between two runs";
    }
    fs::remove_all(again);
}

TEST_F(ArtgenTest, CornerKeyedSheetsHaveExactSizeAndSafeKey) {
    for (auto& [name, size] : kCornerKeyed) {
        Picture p = picture(name);
        ASSERT_EQ(p.w, size.first) << name;
        ASSERT_EQ(p.h, size.second) << name;
        Pixel key = p.at(0, 0);
        int clashes = 0, drawn = 0;
        for (Pixel c : p.px) {
            if (c == key) continue;
            ++drawn;
            clashes += same555(c, key);
        }
        EXPECT_EQ(clashes, 0) << name << ": drawn pixels that a 15/16-bit display would make transparent";
        EXPECT_GT(drawn, 0) << name;
        EXPECT_LT(drawn, p.w * p.h) << name;
    }
}

TEST_F(ArtgenTest, BlackKeyedPicturesNeverDrawNearBlack) {
    auto check = [](const std::string& name, const Picture& p) {
        int clashes = 0, drawn = 0;
        for (Pixel c : p.px) {
            if (c == Pixel{0, 0, 0}) continue;
            ++drawn;
            clashes += same555(c, Pixel{0, 0, 0});
        }
        EXPECT_EQ(clashes, 0) << name;
        EXPECT_GT(drawn, 0) << name;
    };
    for (auto& [name, size] : kBlackKeyed) {
        Picture p = picture(name);
        ASSERT_EQ(p.w, size.first) << name;
        ASSERT_EQ(p.h, size.second) << name;
        check(name, p);
        // A ring centred in the picture that fits inside it.
        double sx = 0, sy = 0, far = 0;
        int n = 0;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x)
                if (!(p.at(x, y) == Pixel{0, 0, 0})) {
                    double dx = x + 0.5 - p.w / 2.0, dy = y + 0.5 - p.h / 2.0;
                    sx += dx, sy += dy, ++n;
                    far = std::max(far, std::sqrt(dx * dx + dy * dy));
                }
        EXPECT_LT(std::abs(sx / n) + std::abs(sy / n), 1.5) << name;
        EXPECT_LE(far, p.w / 2.0) << name;
    }
    Picture tiles = picture("map_data.BMP");
    ASSERT_EQ(tiles.w, 24);
    ASSERT_TRUE(tiles.h >= 8 && tiles.h % 8 == 0);
    check("map_data.BMP", tiles);
    for (Pixel c : tiles.px) EXPECT_FALSE(c == Pixel({0, 0, 0})) << "every tile is fully opaque";
}

TEST_F(ArtgenTest, StrikeFrameReachesIntoEachFacingsSwingArea) {
    struct Area {
        int x0, y0, x1, y1;
    };
    const Area areaA[8] = {{0, 24, 24, 96},  {24, 72, 96, 96}, {72, 0, 96, 72}, {0, 0, 72, 24},
                           {0, 48, 24, 96},  {72, 48, 96, 96}, {0, 0, 48, 24},  {48, 0, 96, 24}};
    for (const char* name : {"hokou1.BMP", "hokou.BMP"}) {
        Picture p = picture(name);
        ASSERT_EQ(p.w, 864);
        for (int facing = 0; facing < 8; ++facing) {
            const Area& a = areaA[facing];
            int oy = facing * 96;
            int strike = drawnIn(p, 8 * 96 + a.x0, oy + a.y0, 8 * 96 + a.x1, oy + a.y1);
            int standing = drawnIn(p, a.x0, oy + a.y0, a.x1, oy + a.y1);
            EXPECT_GT(strike, standing + 60) << name << " facing " << facing;
        }
    }
    EXPECT_FALSE(picture("hokou1.BMP").px == picture("hokou.BMP").px) << "the two variants must look different";
}

TEST_F(ArtgenTest, FollowerSheetsFillOnlyTheirCells) {
    for (std::string name : {"damenzu1_00.bmp", "damenzu1_01.bmp", "damenzu1_02.bmp", "damenzu_00.bmp", "damenzu_01.bmp",
                             "damenzu_02.bmp"}) {
        Picture p = picture(name);
        ASSERT_EQ(p.w, 504);
        std::vector<std::vector<Pixel>> flights;
        for (int row = 0; row < 6; ++row)
            for (int col = 0; col < 9; ++col) {
                bool used = row < 4 ? col != 6 && col != 7 : col != 8;
                int n = drawnIn(p, col * 56, row * 56, col * 56 + 56, row * 56 + 56);
                if (used)
                    EXPECT_GT(n, 150) << name << " cell " << col << "," << row;
                else
                    EXPECT_EQ(n, 0) << name << " cell " << col << "," << row;
                if (row >= 4 && used) {
                    std::vector<Pixel> cell;
                    for (int y = 0; y < 56; ++y)
                        for (int x = 0; x < 56; ++x) cell.push_back(p.at(col * 56 + x, row * 56 + y));
                    for (const auto& other : flights) EXPECT_FALSE(other == cell) << name << ": flight pictures repeat";
                    flights.push_back(cell);
                }
            }
    }
}

TEST_F(ArtgenTest, FlightEffectLiesAheadOfTheFollower) {
    Picture p = picture("damenzu_ef00.bmp");
    ASSERT_EQ(p.w, 448);
    const int origin[8][2] = {{28, 0}, {0, 28}, {28, 56}, {56, 28}, {0, 0}, {0, 56}, {56, 0}, {56, 56}};
    const int flight[8][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    for (int dir = 0; dir < 8; ++dir)
        for (int frame = 0; frame < 2; ++frame) {
            double sx = 0, sy = 0;
            int n = 0;
            for (int y = 0; y < 56; ++y)
                for (int x = 0; x < 56; ++x)
                    if (!(p.at(dir * 56 + x, frame * 56 + y) == p.at(0, 0))) sx += x, sy += y, ++n;
            ASSERT_GT(n, 40) << dir;
            double ahead = (sx / n - origin[dir][0]) * flight[dir][0] + (sy / n - origin[dir][1]) * flight[dir][1];
            EXPECT_GT(ahead, 10) << "direction " << dir << " frame " << frame;
        }
}

TEST_F(ArtgenTest, TreeStandsOnItsFootAndFallsToTheRight) {
    Picture p = picture("obj_treefall_00.BMP");
    ASSERT_EQ(p.h, 576);
    EXPECT_GT(drawnIn(p, 30, 110, 42, 118), 60) << "trunk base at (36, 116)";
    double previous = -1;
    for (int f = 0; f < 4; ++f) {
        double sx = 0;
        int n = 0;
        for (int y = 0; y < 144; ++y)
            for (int x = 0; x < 144; ++x)
                if (!(p.at(x, f * 144 + y) == p.at(0, 0))) sx += x, ++n;
        EXPECT_GT(sx / n, previous + 5) << "frame " << f;
        previous = sx / n;
    }
}

TEST_F(ArtgenTest, MapLeavesThePlayAreaWalkableAndItsEdgesBlocked) {
    std::ifstream f(out_ / "map.txt");
    std::vector<int> tiles;
    std::string line;
    int lines = 0;
    while (std::getline(f, line)) {
        ++lines;
        std::istringstream in(line);
        int v, perLine = 0;
        while (in >> v) tiles.push_back(v), ++perLine;
        EXPECT_EQ(perLine, 100) << "line " << lines;
    }
    EXPECT_EQ(lines, 75);
    ASSERT_EQ(tiles.size(), 7500u);
    const int kinds = picture("map_data.BMP").h / 8 * 3;
    for (int v : tiles) ASSERT_TRUE(v >= 0 && v < kinds) << v;
    auto tileAt = [&](int px, int py) { return tiles[size_t(py / 8) * 100 + px / 8]; };
    auto allWalkable = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; y += 4)
            for (int x = x0; x <= x1; x += 4)
                if (tileAt(x, y) != 2) return false;
        return true;
    };
    EXPECT_TRUE(allWalkable(284, 440, 396, 520)) << "around the player's start";
    EXPECT_TRUE(allWalkable(480, 290, 570, 360)) << "around the tree's foot";
    EXPECT_TRUE(allWalkable(280, 250, 556, 300)) << "where the followers stand";
    EXPECT_TRUE(allWalkable(290, 300, 560, 440)) << "between them";
    for (int i = 0; i < 100; ++i) {
        EXPECT_NE(tiles[i], 2);
        EXPECT_NE(tiles[7400 + i], 2);
    }
    for (int r = 0; r < 75; ++r) {
        EXPECT_NE(tiles[r * 100], 2);
        EXPECT_NE(tiles[r * 100 + 99], 2);
    }
}

}  // namespace
