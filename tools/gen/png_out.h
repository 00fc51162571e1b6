// Pictures with transparency as PNG files, the format desktop icons take:
// 8-bit RGBA, no interlace, every row unfiltered, the pixel data deflated by
// zlib. The same pixels always give the same bytes.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/gen/image.h"

namespace gen {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(Rgba, Rgba) = default;
};

struct RgbaImage {
    int w = 0, h = 0;
    std::vector<Rgba> px;
    RgbaImage(int width, int height) : w(width), h(height), px(size_t(width) * height) {}
    Rgba& at(int x, int y) { return px[size_t(y) * w + x]; }
    Rgba at(int x, int y) const { return px[size_t(y) * w + x]; }
};

// The whole PNG file of a picture.
std::string pngBytes(const RgbaImage& img);
// Writes the PNG file, or fails.
void writePng(const std::filesystem::path& path, const RgbaImage& img);

}  // namespace gen
