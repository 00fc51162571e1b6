// The desktop icon from icongen: every size a desktop looks for, as PNG
// files that an independent reader (ImageMagick) decodes, transparent around
// a badge that holds the player, and the same bytes on every run.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kIconGen = KR_BINARY_DIR "/icongen";
constexpr int kSizes[] = {32, 48, 64, 128, 256};

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t BigEndian(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

class IconFiles : public testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/kr_icon_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
        ASSERT_EQ(Generate(dir_ / "a"), 0);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    static int Generate(const fs::path& out) {
        const int status = std::system(("'" + kIconGen + "' '" + out.string() + "'").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::path Icon(int size, const char* run = "a") const {
        const std::string side = std::to_string(size);
        return dir_ / run / (side + "x" + side) / "apps" / "pokotanba.png";
    }
    // RGBA bytes as ImageMagick reads them; empty when it cannot.
    std::vector<std::uint8_t> Decode(int size) const {
        const fs::path raw = dir_ / ("icon" + std::to_string(size) + ".rgba");
        const std::string command = "convert '" + Icon(size).string() + "' -depth 8 'rgba:" + raw.string() + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0) return {};
        return ReadBytes(raw);
    }
    fs::path dir_;
};

TEST_F(IconFiles, EverySizeIsAnRgbaPngOfThatSize) {
    for (int size : kSizes) {
        const std::vector<std::uint8_t> b = ReadBytes(Icon(size));
        ASSERT_GT(b.size(), 33u) << size;
        EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "\x89PNG\r\n\x1a\n");
        EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR");
        EXPECT_EQ(BigEndian(b, 16), std::uint32_t(size));
        EXPECT_EQ(BigEndian(b, 20), std::uint32_t(size));
        EXPECT_EQ(b[24], 8) << "bits per component";
        EXPECT_EQ(b[25], 6) << "colour with alpha";
        // The file closes with the empty IEND chunk, whose CRC is fixed.
        const std::vector<std::uint8_t> end(b.end() - 12, b.end());
        EXPECT_EQ(end, (std::vector<std::uint8_t>{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
    }
}

TEST_F(IconFiles, ABadgeWithThePlayerOnItAndNothingAroundIt) {
    if (std::system("command -v convert > /dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
    for (int size : kSizes) {
        const std::vector<std::uint8_t> px = Decode(size);
        ASSERT_EQ(px.size(), std::size_t(size) * size * 4) << size;
        auto at = [&](int x, int y) { return &px[(std::size_t(y) * size + x) * 4]; };
        for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
            EXPECT_EQ(at(x, y)[3], 0) << size << ": corner " << x << "," << y << " is transparent";
        EXPECT_EQ(at(size / 2, size / 2)[3], 255) << size << ": the middle is opaque";
        EXPECT_EQ(at(size / 2, size / 10)[3], 255) << size << ": the badge reaches up";
        int greenish = 0, other = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const std::uint8_t* p = at(x, y);
                if (p[3] == 0) continue;
                EXPECT_FALSE(p[0] > 200 && p[1] < 60 && p[2] > 200) << size << ": the transparent colour leaked in";
                (p[1] > p[0] && p[1] > p[2] ? greenish : other)++;
            }
        EXPECT_GT(greenish, other) << size << ": mostly the green badge";
        EXPECT_GT(other * 20, greenish) << size << ": with the player on it";
    }
}

TEST_F(IconFiles, TheLargestSizeDoublesTheMasterPixelForPixel) {
    if (std::system("command -v convert > /dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
    const std::vector<std::uint8_t> master = Decode(128), big = Decode(256);
    ASSERT_EQ(master.size(), 128u * 128u * 4u);
    ASSERT_EQ(big.size(), 256u * 256u * 4u);
    int differing = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            for (int c = 0; c < 4; ++c)
                differing += big[(std::size_t(y) * 256 + x) * 4 + c] != master[(std::size_t(y / 2) * 128 + x / 2) * 4 + c];
    EXPECT_EQ(differing, 0);
}

TEST_F(IconFiles, TwoRunsWriteTheSameBytes) {
    ASSERT_EQ(Generate(dir_ / "b"), 0);
    for (int size : kSizes) EXPECT_EQ(ReadBytes(Icon(size)), ReadBytes(Icon(size, "b"))) << size;
}

TEST(IconGen, WrongUseGetsItsUsageAndStatusTwo) {
    const int status = std::system(("'" + kIconGen + "' 2>/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

}  // namespace
