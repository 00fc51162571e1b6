// Pictures in memory for the asset generators: 8-bit colours, images,
// deterministic noise and the one way a generator gives up. Nothing here
// draws; the generators never use a clock or a library random generator, so
// two runs write the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gen {

constexpr double kPi = 3.14159265358979323846;
inline double rad(double degrees) { return degrees * kPi / 180.0; }

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(Rgb, Rgb) = default;
};

constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kBlack{0, 0, 0};

struct Image {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Image(int width, int height, Rgb fill) : w(width), h(height), px(size_t(width) * height, fill) {}
    Rgb& at(int x, int y) { return px[size_t(y) * w + x]; }
    Rgb at(int x, int y) const { return px[size_t(y) * w + x]; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
};

// The name fail() puts before its message ("gen" until a program sets its own).
void setProgramName(const char* name);
// Prints "<program>: <why>" and ends the program with exit code 1.
[[noreturn]] void fail(const std::string& why);
// One line naming wrong use of the command line; returns the exit status 2.
int misused(const std::string& problem);

// Small deterministic hash noise: scatter and texture without any library generator.
uint32_t hash3(int x, int y, uint32_t seed);
double noise01(int x, int y, uint32_t seed);

}  // namespace gen
