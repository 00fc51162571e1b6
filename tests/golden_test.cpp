// The golden-frame harness (see golden.h) and one test per case folder.
#include "golden.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "platform/images/bmp.h"
#include "platform/pixels/surface.h"

namespace fs = std::filesystem;

namespace golden {
namespace {

const fs::path kCases = fs::path(KR_SOURCE_DIR) / "tests" / "golden";
// KR_GOLDEN_RUN_DIR points the cases at another build's programs and run
// files (the Windows build's, say), and KR_GOLDEN_LAUNCHER names the command
// that starts them (Wine): the same frames are expected of every build.
const fs::path kRunDir = std::getenv("KR_GOLDEN_RUN_DIR") ? fs::path(std::getenv("KR_GOLDEN_RUN_DIR")) : fs::path(KR_RUN_DIR);
const std::string kLauncher = std::getenv("KR_GOLDEN_LAUNCHER") ? std::getenv("KR_GOLDEN_LAUNCHER") : "";
const fs::path kBuildDir = KR_BINARY_DIR;
constexpr long kMaxFrame = 1000000;
constexpr std::size_t kMaxPaletteColours = 256;

bool Updating() {
    const char* v = std::getenv("KR_GOLDEN_UPDATE");
    return v != nullptr && std::string(v) == "1";
}

bool ParseLong(const std::string& text, long low, long high, long& out) {
    if (text.empty() || text.size() > 9) return false;
    long sign = 1;
    std::size_t at = 0;
    if (text[0] == '-') sign = -1, at = 1;
    if (at == text.size()) return false;
    long value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') return false;
        value = value * 10 + (text[at] - '0');
    }
    value *= sign;
    if (value < low || value > high) return false;
    out = value;
    return true;
}

bool SafeName(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.';
    }) && name[0] != '.';
}

std::string Colour(std::uint32_t rgb) {
    char text[32];
    std::snprintf(text, sizeof text, "(%u, %u, %u)", (rgb >> 16) & 255u, (rgb >> 8) & 255u, rgb & 255u);
    return text;
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// ---- the 8-bit run-length writer ----

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// One row of palette indices as run-length codes: runs of two or more as
// runs, stretches without runs of three or more as literal codes.
void EncodeRow(const std::uint8_t* row, int width, std::vector<std::uint8_t>& out) {
    auto runAt = [&](int x) {
        int n = 1;
        while (x + n < width && n < 255 && row[x + n] == row[x]) ++n;
        return n;
    };
    int x = 0;
    while (x < width) {
        const int run = runAt(x);
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(row[x]);
            x += run;
            continue;
        }
        int end = x + 1;  // literal stretch [x, end)
        while (end < width && end - x < 255 && runAt(end) < 3) ++end;
        const int length = end - x;
        if (length < 3) {  // literal codes need three pixels at least
            for (int i = x; i < end; ++i) {
                out.push_back(1);
                out.push_back(row[i]);
            }
        } else {
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(length));
            out.insert(out.end(), row + x, row + end);
            if (length & 1) out.push_back(0);
        }
        x = end;
    }
}

bool WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool WriteRle8(const fs::path& path, const Image& image, const std::vector<std::uint32_t>& palette,
               const std::vector<std::uint8_t>& indices) {
    std::vector<std::uint8_t> codes;
    for (int y = image.height - 1; y >= 0; --y) {
        EncodeRow(indices.data() + static_cast<std::size_t>(y) * image.width, image.width, codes);
        codes.push_back(0);
        codes.push_back(y == 0 ? 1 : 0);  // end of line, or of the picture
    }
    const std::size_t header = 54 + 4 * palette.size();
    std::vector<std::uint8_t> file(header, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<std::uint32_t>(header + codes.size()));
    Put32(file, 10, static_cast<std::uint32_t>(header));
    Put32(file, 14, 40);
    Put32(file, 18, static_cast<std::uint32_t>(image.width));
    Put32(file, 22, static_cast<std::uint32_t>(image.height));
    Put16(file, 26, 1);
    Put16(file, 28, 8);
    Put32(file, 30, 1);  // run-length, 8 bits
    Put32(file, 34, static_cast<std::uint32_t>(codes.size()));
    Put32(file, 46, static_cast<std::uint32_t>(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i) Put32(file, 54 + 4 * i, palette[i]);
    file.insert(file.end(), codes.begin(), codes.end());
    return WriteFile(path, file);
}

// ---- comparison ----

struct Difference {
    long count = 0;
    int left = 0, top = 0, right = 0, bottom = 0;  // bounding box, exclusive
    int firstX = -1, firstY = -1;
};

Difference Compare(const Image& expected, const Image& actual) {
    Difference d;
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            if (expected.At(x, y) == actual.At(x, y)) continue;
            if (d.count++ == 0) {
                d.firstX = x, d.firstY = y;
                d.left = x, d.top = y, d.right = x + 1, d.bottom = y + 1;
            }
            d.left = std::min(d.left, x), d.right = std::max(d.right, x + 1);
            d.bottom = y + 1;
        }
    }
    return d;
}

std::uint32_t Dimmed(std::uint32_t rgb) {
    const std::uint32_t r = (rgb >> 16) & 255u, g = (rgb >> 8) & 255u, b = rgb & 255u;
    const std::uint32_t grey = 40 + (r * 30 + g * 59 + b * 11) / 100 / 3;
    return (grey << 16) | (grey << 8) | grey;
}

// Expected, actual and their difference (differing pixels red on a dimmed
// copy of the expected picture) side by side, enlarged so that small
// regions can be read pixel by pixel.
Image DifferencePicture(const Image& expected, const Image& actual) {
    const int zoom = std::clamp(480 / std::max(expected.width, expected.height), 1, 8);
    const int w = expected.width * zoom, h = expected.height * zoom, gap = 4;
    Image out;
    out.width = 3 * w + 2 * gap;
    out.height = h;
    out.rgb.assign(static_cast<std::size_t>(out.width) * out.height, 0x404040u);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t e = expected.At(x / zoom, y / zoom), a = actual.At(x / zoom, y / zoom);
            std::uint32_t* row = out.rgb.data() + static_cast<std::size_t>(y) * out.width;
            row[x] = e;
            row[w + gap + x] = a;
            row[2 * (w + gap) + x] = e == a ? Dimmed(e) : 0xFF0000u;
        }
    }
    return out;
}

bool SameImage(const Image& a, const Image& b) { return a.width == b.width && a.height == b.height && a.rgb == b.rgb; }

std::string CheckRegion(const Case& c, long frame, const Region& region, const Image& actual) {
    const std::string stem = BaselineStem(frame, region.name);
    const fs::path baseline = c.folder / (stem + ".bmp");
    Image expected;
    const bool haveBaseline = ReadImage(baseline, expected);
    if (Updating()) {
        if (haveBaseline && SameImage(expected, actual)) return "";
        if (!WriteBaseline(baseline, actual)) return "cannot write the baseline " + baseline.string() + "\n";
        std::printf("golden: rewrote %s\n", baseline.c_str());
        return "";
    }
    if (!haveBaseline) {
        return "no readable baseline " + baseline.string() + " (KR_GOLDEN_UPDATE=1 writes it)\n";
    }
    std::ostringstream failure;
    const fs::path out = kBuildDir / "golden" / c.name;
    std::error_code ignored;
    fs::create_directories(out, ignored);
    const fs::path actualPath = out / (stem + ".actual.bmp"), expectedPath = out / (stem + ".expected.bmp"),
                   diffPath = out / (stem + ".diff.bmp");
    if (expected.width != actual.width || expected.height != actual.height) {
        WriteImage24(actualPath, actual);
        failure << "frame " << frame << ", region " << region.name << ": the baseline is " << expected.width << " x "
                << expected.height << ", the frame gives " << actual.width << " x " << actual.height
                << "; actual picture: " << actualPath.string() << "\n";
        return failure.str();
    }
    const Difference d = Compare(expected, actual);
    if (d.count == 0) return "";
    WriteImage24(actualPath, actual);
    WriteImage24(expectedPath, expected);
    WriteImage24(diffPath, DifferencePicture(expected, actual));
    failure << "frame " << frame << ", region " << region.name << ": " << d.count << " pixel(s) differ within ("
            << region.left + d.left << ", " << region.top + d.top << ")-(" << region.left + d.right << ", "
            << region.top + d.bottom << ") of the screen; first at (" << region.left + d.firstX << ", "
            << region.top + d.firstY << "): expected " << Colour(expected.At(d.firstX, d.firstY)) << ", actual "
            << Colour(actual.At(d.firstX, d.firstY)) << "\n  actual:     " << actualPath.string()
            << "\n  expected:   " << expectedPath.string() << "\n  difference: " << diffPath.string()
            << " (expected | actual | differing pixels in red)\n";
    return failure.str();
}

fs::path ProgramPath(const std::string& name) {
    for (const fs::path& dir : {kRunDir, kBuildDir}) {
        std::error_code ignored;
        if (fs::is_regular_file(dir / name, ignored)) return dir / name;
        if (fs::is_regular_file(dir / (name + ".exe"), ignored)) return dir / (name + ".exe");
    }
    return {};
}

bool PrepareWorkFolder(const Case& c, const fs::path& work, std::string& error) {
    std::error_code ec;
    fs::remove_all(work, ec);
    fs::create_directories(work, ec);
    if (ec) {
        error = "cannot make the working folder " + work.string();
        return false;
    }
    for (const std::string& name : c.runFiles) {
        fs::copy_file(kRunDir / name, work / name, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            error = "cannot copy " + (kRunDir / name).string() + " into the working folder";
            return false;
        }
    }
    for (const auto& entry : fs::directory_iterator(c.folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name == "case.txt" || entry.path().extension() == ".bmp") continue;
        fs::copy_file(entry.path(), work / name, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            error = "cannot copy " + entry.path().string() + " into the working folder";
            return false;
        }
    }
    if (!fs::exists(work / "input.txt")) std::ofstream(work / "input.txt");
    return true;
}

}  // namespace

std::string BaselineStem(long frame, const std::string& region) {
    char number[16];
    std::snprintf(number, sizeof number, "%04ld", frame);
    return std::string(number) + "_" + region;
}

std::vector<fs::path> CaseFolders() {
    std::vector<fs::path> folders;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kCases, ec)) {
        if (entry.is_directory() && fs::exists(entry.path() / "case.txt")) folders.push_back(entry.path());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

bool LoadCase(const fs::path& folder, Case& out, std::string& error) {
    out = Case{};
    out.folder = folder;
    out.name = folder.filename().string();
    std::ifstream in(folder / "case.txt");
    if (!in) {
        error = "cannot read " + (folder / "case.txt").string();
        return false;
    }
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        error = (folder / "case.txt").string() + ":" + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string directive;
        if (!(words >> directive)) continue;
        std::vector<std::string> values;
        for (std::string w; words >> w;) values.push_back(w);
        if (directive == "program") {
            if (values.size() != 1 || !SafeName(values[0])) return fail("program wants one plain file name");
            out.program = values[0];
        } else if (directive == "arguments") {
            out.arguments = values;
        } else if (directive == "depth") {
            long depth = 0;
            if (values.size() != 1 || !ParseLong(values[0], 15, 32, depth) ||
                (depth != 15 && depth != 16 && depth != 24 && depth != 32))
                return fail("depth wants 15, 16, 24 or 32");
            out.depth = static_cast<int>(depth);
        } else if (directive == "frames") {
            if (values.empty()) return fail("frames wants one or more frame numbers");
            for (const std::string& v : values) {
                long frame = 0;
                if (!ParseLong(v, 1, kMaxFrame, frame)) return fail("a frame number from 1 to 1000000, got " + v);
                out.frames.push_back(frame);
            }
        } else if (directive == "region") {
            long edges[4];
            if (values.size() != 5 || !SafeName(values[0])) return fail("region wants NAME LEFT TOP RIGHT BOTTOM");
            for (int i = 0; i < 4; ++i) {
                if (!ParseLong(values[i + 1], 0, 16384, edges[i])) return fail("region edges are 0 to 16384");
            }
            if (edges[2] <= edges[0] || edges[3] <= edges[1]) return fail("region " + values[0] + " is empty");
            out.regions.push_back(Region{values[0], static_cast<int>(edges[0]), static_cast<int>(edges[1]),
                                         static_cast<int>(edges[2]), static_cast<int>(edges[3])});
        } else if (directive == "runfile") {
            if (values.size() != 1 || !SafeName(values[0])) return fail("runfile wants one plain file name");
            out.runFiles.push_back(values[0]);
        } else {
            return fail("unknown directive '" + directive + "'");
        }
    }
    lineNumber = 0;
    if (out.program.empty()) return fail("no program named");
    if (out.frames.empty()) return fail("no frames named");
    if (out.regions.empty()) out.regions.push_back(Region{"full", 0, 0, 0, 0});  // sized by the first frame
    return true;
}

bool ReadImage(const fs::path& path, Image& out) {
    const plat::PixelFormat xrgb = plat::FormatForBits(32);
    std::unique_ptr<plat::Surface, void (*)(plat::Surface*)> s(plat::LoadBmpFile(path.string(), xrgb),
                                                                &plat::DestroySurface);
    if (!s) return false;
    out.width = s->width;
    out.height = s->height;
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            std::uint8_t r, g, b;
            plat::UnmapRGB(s->format, plat::GetPixel(*s, x, y), r, g, b);
            out.rgb[static_cast<std::size_t>(y) * out.width + x] = (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
        }
    }
    return true;
}

bool WriteImage24(const fs::path& path, const Image& image) {
    return plat::WriteBmp24(path.string(), image.rgb.data(), image.width, image.height);
}

bool WriteBaseline(const fs::path& path, const Image& image) {
    std::map<std::uint32_t, std::uint8_t> index;
    std::vector<std::uint32_t> palette;
    std::vector<std::uint8_t> indices(image.rgb.size());
    for (std::size_t i = 0; i < image.rgb.size(); ++i) {
        auto [at, added] = index.try_emplace(image.rgb[i], static_cast<std::uint8_t>(palette.size()));
        if (added) {
            if (palette.size() == kMaxPaletteColours) return WriteImage24(path, image);
            palette.push_back(image.rgb[i]);
        }
        indices[i] = at->second;
    }
    return WriteRle8(path, image, palette, indices);
}

Image Crop(const Image& image, const Region& region) {
    Image out;
    out.width = region.right - region.left;
    out.height = region.bottom - region.top;
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            out.rgb[static_cast<std::size_t>(y) * out.width + x] = image.At(region.left + x, region.top + y);
        }
    }
    return out;
}

bool RunToFrame(const Case& c, long frame, const fs::path& work, Image& out, std::string& error) {
    const fs::path program = ProgramPath(c.program);
    if (program.empty()) {
        error = "the program " + c.program + " is in neither " + kRunDir.string() + " nor " + kBuildDir.string();
        return false;
    }
    if (!PrepareWorkFolder(c, work, error)) return false;
    std::string command = "cd " + Quote(work.string()) + " && KR_DESKTOP_BITS=" + std::to_string(c.depth) + " " +
                          (kLauncher.empty() ? "" : Quote(kLauncher) + " ") + Quote(program.string());
    for (const std::string& a : c.arguments) {
        command += ' ';
        command += Quote(a);
    }
    command += " --frames " + std::to_string(frame) + " --input input.txt --screenshot frame.bmp > output.txt 2>&1";
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::ifstream log(work / "output.txt");
        const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        error = "frame " + std::to_string(frame) + ": " + command + " failed (status " + std::to_string(status) +
                "):\n" + text;
        return false;
    }
    if (!ReadImage(work / "frame.bmp", out)) {
        error = "frame " + std::to_string(frame) + ": no readable screenshot " + (work / "frame.bmp").string();
        return false;
    }
    return true;
}

std::string CheckCase(const Case& c) {
    std::string failures;
    const fs::path work = kBuildDir / "golden" / c.name / "work";
    for (long frame : c.frames) {
        Image screen;
        std::string error;
        if (!RunToFrame(c, frame, work, screen, error)) {
            failures += error + "\n";
            continue;
        }
        for (Region region : c.regions) {
            if (region.right == 0) region.right = screen.width, region.bottom = screen.height;
            if (region.right > screen.width || region.bottom > screen.height) {
                failures += "region " + region.name + " reaches outside the " + std::to_string(screen.width) + " x " +
                            std::to_string(screen.height) + " frame\n";
                continue;
            }
            failures += CheckRegion(c, frame, region, Crop(screen, region));
        }
    }
    return failures;
}

}  // namespace golden

namespace {

class GoldenFrames : public testing::TestWithParam<fs::path> {};

TEST_P(GoldenFrames, MatchBaselines) {
    golden::Case c;
    std::string error;
    ASSERT_TRUE(golden::LoadCase(GetParam(), c, error)) << error;
    const std::string failures = golden::CheckCase(c);
    EXPECT_TRUE(failures.empty()) << "golden case " << c.name << ":\n" << failures;
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenFrames, testing::ValuesIn(golden::CaseFolders()),
                         [](const testing::TestParamInfo<fs::path>& info) {
                             std::string name = info.param.filename().string();
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoldenFrames);

// ---- the harness itself ----

golden::Image Pattern(int width, int height, int colours) {
    golden::Image image;
    image.width = width;
    image.height = height;
    std::uint32_t seed = 12345;
    for (int i = 0; i < width * height; ++i) {
        seed = seed * 1103515245u + 12345u;
        // Runs, pairs and lone pixels mixed, as a game frame has them.
        int colour = (seed >> 16) % 4 == 0 ? static_cast<int>((seed >> 8) % colours) : (i / 7) % colours;
        if (i < colours) colour = i;  // every colour at least once
        image.rgb.push_back(static_cast<std::uint32_t>(colour) * 0x00F00Fu % 0x01000000u);
    }
    return image;
}

TEST(GoldenHarness, BaselinesReadBackExactlyInEitherEncoding) {
    const fs::path dir = fs::path(KR_BINARY_DIR) / "golden" / "harness";
    fs::create_directories(dir);
    for (const auto& [w, h, colours] : {std::array{1, 1, 1}, std::array{3, 2, 2}, std::array{257, 5, 256},
                                        std::array{600, 3, 50}, std::array{40, 30, 257}, std::array{2, 300, 3}}) {
        const golden::Image image = Pattern(w, h, colours);
        const fs::path path = dir / "pattern.bmp";
        ASSERT_TRUE(golden::WriteBaseline(path, image));
        golden::Image back;
        ASSERT_TRUE(golden::ReadImage(path, back)) << w << " x " << h;
        EXPECT_TRUE(back.width == w && back.height == h && back.rgb == image.rgb) << w << " x " << h;
        const auto bytes = fs::file_size(path);
        if (colours <= 256) {
            EXPECT_LT(bytes, 54u + 4u * colours + 2u * w * h + 2u * h + 2u) << "8-bit run-length";
        } else {
            EXPECT_EQ(bytes, 54u + ((3u * w + 3u) & ~3u) * h) << "24-bit";
        }
    }
}

TEST(GoldenHarness, RecipesAreCheckedLineByLine) {
    const fs::path dir = fs::path(KR_BINARY_DIR) / "golden" / "harness" / "recipe";
    fs::create_directories(dir);
    auto load = [&](const std::string& text, golden::Case& c) {
        std::ofstream(dir / "case.txt") << text;
        std::string error;
        return golden::LoadCase(dir, c, error);
    };
    golden::Case c;
    ASSERT_TRUE(load("program p # note\narguments --scene a\ndepth 32\nframes 3 7\nregion r 1 2 11 12\nrunfile m\n", c));
    EXPECT_EQ(c.program, "p");
    EXPECT_EQ(c.arguments, (std::vector<std::string>{"--scene", "a"}));
    EXPECT_EQ(c.depth, 32);
    EXPECT_EQ(c.frames, (std::vector<long>{3, 7}));
    ASSERT_EQ(c.regions.size(), 1u);
    EXPECT_TRUE(c.regions[0].left == 1 && c.regions[0].top == 2 && c.regions[0].right == 11 && c.regions[0].bottom == 12);
    ASSERT_TRUE(load("program p\nframes 1\n", c));
    EXPECT_EQ(c.regions.at(0).name, "full");
    for (const char* bad : {"frames 1\n", "program p\n", "program ../p\nframes 1\n", "program p\nframes 0\n",
                            "program p\nframes 1\ndepth 8\n", "program p\nframes 1\nregion r 5 5 5 9\n",
                            "program p\nframes 1\nregion r 1 2 3\n", "program p\nframes 1\nwhatever\n",
                            "program p\nframes 1\nrunfile /etc/passwd\n"}) {
        EXPECT_FALSE(load(bad, c)) << bad;
    }
}

TEST(GoldenHarness, AMismatchLeavesThreePicturesAndSaysWhere) {
    if (std::getenv("KR_GOLDEN_UPDATE") != nullptr) GTEST_SKIP() << "baselines are being rewritten";
    // The first case of the game's replay program.
    golden::Case c;
    std::string error;
    bool found = false;
    for (const fs::path& folder : golden::CaseFolders()) {
        found = golden::LoadCase(folder, c, error) && c.program == "pokotanba-replay";
        if (found) break;
    }
    ASSERT_TRUE(found) << "no case of pokotanba-replay";
    // The same case with its baseline of one region moved by one pixel.
    const fs::path copy = fs::path(KR_BINARY_DIR) / "golden" / "harness" / ("moved_" + c.name);
    fs::remove_all(copy);
    fs::copy(c.folder, copy);
    c.folder = copy;
    c.name = copy.filename().string();
    c.frames.resize(1);
    const golden::Region& r = c.regions.front();
    const fs::path baseline = copy / (golden::BaselineStem(c.frames[0], r.name) + ".bmp");
    golden::Image expected;
    ASSERT_TRUE(golden::ReadImage(baseline, expected));
    golden::Image moved = expected;
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 1; x < expected.width; ++x) moved.rgb[y * expected.width + x] = expected.At(x - 1, y);
    }
    ASSERT_TRUE(golden::WriteBaseline(baseline, moved));
    const std::string failure = golden::CheckCase(c);
    EXPECT_NE(failure.find("pixel(s) differ"), std::string::npos) << failure;
    for (const char* suffix : {".actual.bmp", ".expected.bmp", ".diff.bmp"}) {
        const fs::path left = fs::path(KR_BINARY_DIR) / "golden" / c.name / (golden::BaselineStem(c.frames[0], r.name) + suffix);
        EXPECT_TRUE(fs::exists(left)) << left;
        EXPECT_NE(failure.find(left.string()), std::string::npos) << failure;
    }
    golden::Image diff;
    ASSERT_TRUE(golden::ReadImage(fs::path(KR_BINARY_DIR) / "golden" / c.name /
                                      (golden::BaselineStem(c.frames[0], r.name) + ".diff.bmp"),
                                  diff));
    EXPECT_EQ(diff.height % expected.height, 0) << "enlarged by a whole factor";
    EXPECT_NE(std::count(diff.rgb.begin(), diff.rgb.end(), 0xFF0000u), 0) << "differing pixels in red";

    // The switch rewrites the baseline from the frame; then the case passes.
    setenv("KR_GOLDEN_UPDATE", "1", 1);
    const std::string updating = golden::CheckCase(c);
    unsetenv("KR_GOLDEN_UPDATE");
    EXPECT_EQ(updating, "");
    golden::Image rewritten;
    ASSERT_TRUE(golden::ReadImage(baseline, rewritten));
    EXPECT_TRUE(rewritten.rgb == expected.rgb) << "back to what the program draws";
    EXPECT_EQ(golden::CheckCase(c), "");
}

}  // namespace
