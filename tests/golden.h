// Golden frames: a headless program is run to chosen frames and its
// screenshots are compared exactly with baselines kept in the repository.
//
// A case is a folder tests/golden/<case>/ holding
//   case.txt    the recipe, one directive a line ('#' starts a comment):
//                 program NAME        the program, looked up in the run folder,
//                                     then in the build folder
//                 arguments A B ...   extra arguments, before the fixed ones
//                 depth 15|16|24|32   emulated desktop depth (default 16)
//                 frames N [N ...]    the frames to compare (each run is
//                                     "--frames N --input input.txt --screenshot F")
//                 region NAME L T R B a part of the frame to compare and keep
//                                     (none: the whole frame, named "full")
//                 runfile NAME        a file copied from the run folder into
//                                     the working folder (map.txt, say)
//   input.txt   the input script (none: an empty one)
//   NNNN_REGION.bmp   the expected pictures, frame number in four digits
// and any other file, which is copied into the working folder as it is.
//
// Baselines are 8-bit run-length BMPs when a region has at most 256
// colours, else 24-bit. KR_GOLDEN_UPDATE=1 rewrites them from the actual
// frames. A mismatch leaves NNNN_REGION.actual.bmp, .expected.bmp and
// .diff.bmp (expected | actual | difference, enlarged) in
// <build>/golden/<case>/ and names them in the failure message.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace golden {

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;  // 0x00RRGGBB, rows top-down
    std::uint32_t At(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};

struct Region {
    std::string name;
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct Case {
    std::string name;
    std::filesystem::path folder;
    std::string program;
    std::vector<std::string> arguments;
    int depth = 16;
    std::vector<long> frames;
    std::vector<Region> regions;  // never empty once loaded
    std::vector<std::string> runFiles;
};

// "NNNN_REGION": the file name of a baseline without its extension.
std::string BaselineStem(long frame, const std::string& region);

// The case folders under tests/golden, sorted by name.
std::vector<std::filesystem::path> CaseFolders();
// Reads a case's recipe; false with a reason when it is malformed.
bool LoadCase(const std::filesystem::path& folder, Case& out, std::string& error);

bool ReadImage(const std::filesystem::path& path, Image& out);
bool WriteImage24(const std::filesystem::path& path, const Image& image);
// An 8-bit run-length BMP when the image has at most 256 colours, else 24-bit.
bool WriteBaseline(const std::filesystem::path& path, const Image& image);
Image Crop(const Image& image, const Region& region);

// Runs the case's program to `frame` in `work` and reads its screenshot.
bool RunToFrame(const Case& c, long frame, const std::filesystem::path& work, Image& out, std::string& error);

// Runs every frame of the case and compares (or, with KR_GOLDEN_UPDATE=1,
// rewrites) every region. Returns the failure text, empty when all match.
std::string CheckCase(const Case& c);

}  // namespace golden
