// Draws the showcase's pictures into <run folder>/showcase/: a backdrop, a
// sheet of sprites, a card for the blends, an emblem for the rotations, the
// covering pattern, and the band and tile of the scrolling background. All
// drawn by code from fixed numbers, so every build makes the same files.
//
//   showcase_art <run folder>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/images/bmp.h"
#include "tools/operand_args.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Picture {
    int width, height;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
    Picture(int w, int h, std::uint32_t fill = 0) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
    void Put(int x, int y, std::uint32_t c) {
        if (x >= 0 && y >= 0 && x < width && y < height) pixels[static_cast<std::size_t>(y) * width + x] = c;
    }
    std::uint32_t Get(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

std::uint32_t Rgb(int r, int g, int b) {
    auto c = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
    return (c(r) << 16) | (c(g) << 8) | c(b);
}

std::uint32_t Mix(std::uint32_t a, std::uint32_t b, double t) {
    auto ch = [&](int s) {
        return static_cast<int>(((a >> s) & 255) * (1 - t) + ((b >> s) & 255) * t + 0.5);
    };
    return Rgb(ch(16), ch(8), ch(0));
}

// A colour that never turns into the black key when reduced to 5 bits.
std::uint32_t NotBlack(std::uint32_t c) { return (c & 0xF8F8F8) == 0 ? 0x080808 : c; }

void Disc(Picture& p, double cx, double cy, double r, std::uint32_t c) {
    for (int y = static_cast<int>(cy - r) - 1; y <= cy + r + 1; ++y)
        for (int x = static_cast<int>(cx - r) - 1; x <= cx + r + 1; ++x)
            if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <= r * r) p.Put(x, y, c);
}

void Box(Picture& p, int x0, int y0, int x1, int y1, std::uint32_t c) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) p.Put(x, y, c);
}

// A small deterministic generator for scattered details.
struct Lcg {
    std::uint32_t state;
    std::uint32_t Next() { return state = state * 1664525u + 1013904223u; }
    int Below(int n) { return static_cast<int>((Next() >> 8) % static_cast<std::uint32_t>(n)); }
};

// Evening sky, sun, two rows of hills and a checked meadow.
Picture Backdrop() {
    Picture p(800, 600);
    for (int y = 0; y < 600; ++y) {
        std::uint32_t row = y < 360 ? Mix(0x203070, 0xF0A060, y / 360.0) : Mix(0x3C8C3C, 0x205020, (y - 360) / 240.0);
        for (int x = 0; x < 800; ++x) p.Put(x, y, row);
    }
    Disc(p, 560, 250, 70, 0xFFE890);
    Disc(p, 560, 250, 56, 0xFFF6C8);
    for (int x = 0; x < 800; ++x) {
        int far = 300 + static_cast<int>(28 * std::sin(x / 70.0) + 14 * std::sin(x / 23.0 + 1));
        int near = 345 + static_cast<int>(22 * std::sin(x / 110.0 + 2) + 9 * std::sin(x / 31.0));
        for (int y = far; y < 360; ++y) p.Put(x, y, Mix(0x506890, 0x405878, (y - far) / 60.0));
        for (int y = near; y < 380; ++y) p.Put(x, y, Mix(0x2E6E3E, 0x3C8C3C, (y - near) / 35.0));
    }
    for (int y = 380; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (((x / 40) + (y / 20)) % 2 == 0) p.Put(x, y, Mix(p.Get(x, y), 0x70C060, 0.25));
    Lcg lcg{7};
    for (int i = 0; i < 90; ++i) Disc(p, lcg.Below(800), lcg.Below(200), 1.2, 0xFFFFF0);
    return p;
}

// Four frames of a round creature (64 x 64 each) on black: squashing,
// blinking, with a coloured belly and a highlight.
Picture Sprites() {
    Picture p(256, 64);
    const std::uint32_t body[4] = {0xE85050, 0x50A0E8, 0xF0C040, 0x60D070};
    for (int f = 0; f < 4; ++f) {
        const double cx = f * 64 + 32, squash = 1.0 + 0.12 * std::sin(f * kPi / 2);
        const double rx = 26 * squash, ry = 26 / squash, cy = 62 - ry;
        for (int y = 0; y < 64; ++y)
            for (int x = f * 64; x < f * 64 + 64; ++x) {
                const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                const double d = dx * dx + dy * dy;
                if (d > 1) continue;
                std::uint32_t c = Mix(body[f], 0x000000, 0.45 * std::max(0.0, dx + dy) / 1.4);
                if (d > 0.85) c = Mix(body[f], 0x101010, 0.6);
                p.Put(x, y, NotBlack(c));
            }
        Disc(p, cx - 10 * squash, cy - 10, 5, 0xFFFFFF);
        Disc(p, cx + 6 * squash, cy - 10, 5, 0xFFFFFF);
        if (f != 2) {
            Disc(p, cx - 9 * squash, cy - 9, 2.5, 0x202020);
            Disc(p, cx + 7 * squash, cy - 9, 2.5, 0x202020);
        } else {
            Box(p, static_cast<int>(cx - 14), static_cast<int>(cy - 10), static_cast<int>(cx + 11), static_cast<int>(cy - 8), 0x202020);
        }
        Disc(p, cx - 14, cy - 16, 4, 0xFFFFFF);
        Disc(p, cx, cy + 8, 7 / squash, Mix(body[f], 0xFFFFFF, 0.5));
    }
    return p;
}

// A card for the blends: stained-glass cells in a frame, with a transparent
// (black) round window in the middle, 200 x 150.
Picture Card() {
    Picture p(200, 150);
    const std::uint32_t glass[6] = {0xD04040, 0x40A0D0, 0xE0C040, 0x50C060, 0xA050C0, 0xF08030};
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x) {
            const int cell = ((x / 25) * 7 + (y / 25) * 3 + ((x / 25 + y / 25) % 2)) % 6;
            std::uint32_t c = glass[cell];
            if (x % 25 == 0 || y % 25 == 0) c = 0x383838;
            c = Mix(c, 0xFFFFFF, 0.25 * (1 - y / 150.0));
            if (x < 6 || y < 6 || x >= 194 || y >= 144) c = Mix(0xC8A060, 0x705020, (x + y) % 12 / 12.0);
            p.Put(x, y, NotBlack(c));
        }
    Disc(p, 100, 75, 28, 0x000000);
    return p;
}

// A compass emblem for the rotations, 128 x 128 on black.
Picture Emblem() {
    Picture p(128, 128);
    Disc(p, 64, 64, 60, 0x3050A0);
    Disc(p, 64, 64, 54, 0x5078D0);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double dx = x + 0.5 - 64, dy = y + 0.5 - 64;
            const double r = std::hypot(dx, dy), a = std::atan2(dy, dx);
            // An eight-pointed star: its radius swings between 18 and 50.
            const double star = 18 + 32 * std::pow(std::fabs(std::cos(a * 4 / 2)), 6);
            if (r < star) p.Put(x, y, std::fabs(std::cos(a * 2)) > 0.7 ? 0xFFE070 : 0xF0F0F0);
        }
    Box(p, 60, 4, 68, 20, 0xE04040);  // north marker, so turns are easy to read
    Disc(p, 64, 64, 6, 0xE04040);
    return p;
}

// Ten cells of 64 x 48 for the covering transition: cell k is the look at
// step k + 1, a diamond of dots that grows until it covers the cell.
Picture CoverPattern() {
    Picture p(640, 48);
    for (int k = 0; k < 10; ++k)
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const double d = std::fabs(x + 0.5 - 32) / 32 + std::fabs(y + 0.5 - 24) / 24;  // 0 centre .. 2 corners
                const double reach = (k + 1) / 10.0 * 2.05;
                if (d <= reach) p.Put(k * 64 + x, y, Mix(0x182858, 0x3050A0, std::min(1.0, d / 2)));
            }
    return p;
}

// The band of the scrolling background, 800 x 1800: black (see-through)
// with floating islands, lanterns and a ruler down the right edge.
Picture Band() {
    Picture p(800, 1800);
    Lcg lcg{42};
    for (int i = 0; i < 26; ++i) {
        const int cx = 60 + lcg.Below(680), cy = 60 + i * 66 + lcg.Below(20), w = 60 + lcg.Below(90);
        for (int y = 0; y < 40; ++y) {
            const int half = static_cast<int>(w * (1 - y / 40.0));
            for (int x = -half; x < half; ++x)
                p.Put(cx + x, cy + y, y < 6 ? Mix(0x50C050, 0x3A9A3A, y / 6.0) : Mix(0x8A6038, 0x4A3020, y / 40.0));
        }
        Disc(p, cx, cy - 10, 7, 0xFFD070);
        Box(p, cx - 1, cy - 4, cx + 1, cy, 0x806040);
    }
    for (int y = 0; y < 1800; ++y) {
        Box(p, 770, y, 774, y + 1, 0xE0E0E0);
        if (y % 100 == 0) Box(p, 756, y, 788, y + 3, 0xFFFFFF);
        else if (y % 20 == 0) Box(p, 764, y, 780, y + 1, 0xC0C0C0);
    }
    return p;
}

// The 64 x 48 tile of the drifting layer: a soft brick pattern.
Picture Tile() {
    Picture p(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const int row = y / 12, shift = row % 2 ? 16 : 0;
            const bool mortar = y % 12 == 0 || (x + shift) % 32 == 0;
            p.Put(x, y, mortar ? 0x2A2440 : Mix(0x4A3C70, 0x5C4C88, ((x + shift) % 32) / 32.0));
        }
    return p;
}

bool Write(const std::string& folder, const char* name, const Picture& p) {
    const std::string path = folder + "/" + name;
    if (plat::WriteBmp24(path, p.pixels.data(), p.width, p.height)) return true;
    std::fprintf(stderr, "showcase_art: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string runFolder;
    const int status = ReadOneOperand("showcase_art",
                                      "usage: showcase_art <run folder>\n\n"
                                      "Draws the showcase's pictures into <run folder>/showcase/ (the folder must\n"
                                      "exist); the same bytes on every run.\n",
                                      "run folder", argc, argv, runFolder);
    if (status >= 0) return status;
    const std::string folder = runFolder + "/showcase";
    bool ok = Write(folder, "backdrop.bmp", Backdrop());
    ok &= Write(folder, "sprites.bmp", Sprites());
    ok &= Write(folder, "card.bmp", Card());
    ok &= Write(folder, "emblem.bmp", Emblem());
    ok &= Write(folder, "cover.bmp", CoverPattern());
    ok &= Write(folder, "band.bmp", Band());
    ok &= Write(folder, "tile.bmp", Tile());
    return ok ? 0 : 1;
}
