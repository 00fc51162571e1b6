// The desktop icon, built from the game's own player picture.
#include "tools/gen/icon.h"

#include <algorithm>
#include <cmath>

#include "tools/gen/draw.h"
#include "tools/gen/game_art.h"

namespace gen {
namespace {

constexpr int kCell = 96;           // one picture of the player sheet
constexpr int kPortraitRows = 50;   // rows of the figure kept, from the top of its cap
constexpr int kScale = 2;

// The standing front picture of the player (first variant), cut from its sheet.
Image standingPlayer() {
    const Image sheet = playerSheet(true);
    Image cell(kCell, kCell, kMagenta);
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) cell.at(x, y) = sheet.at(x, y);
    return cell;
}

struct Bounds {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // exclusive right and bottom
};

Bounds drawnBounds(const Image& img) {
    Bounds b{img.w, img.h, 0, 0};
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            if (img.at(x, y) == kMagenta) continue;
            b.x0 = std::min(b.x0, x);
            b.y0 = std::min(b.y0, y);
            b.x1 = std::max(b.x1, x + 1);
            b.y1 = std::max(b.y1, y + 1);
        }
    if (b.x1 <= b.x0) fail("the player picture is empty");
    return b;
}

// The player (its top rows when taller than the badge holds), doubled,
// centred on the badge and standing near its lower edge.
void stampPortrait(Image& icon, int badgeBottom) {
    const Image player = standingPlayer();
    const Bounds b = drawnBounds(player);
    const int rows = std::min(kPortraitRows, b.y1 - b.y0);
    const int left = (icon.w - (b.x1 - b.x0) * kScale) / 2;
    const int top = badgeBottom - rows * kScale;
    for (int y = 0; y < rows * kScale; ++y)
        for (int x = 0; x < (b.x1 - b.x0) * kScale; ++x) {
            const Rgb c = player.at(b.x0 + x / kScale, b.y0 + y / kScale);
            if (!(c == kMagenta) && icon.contains(left + x, top + y)) icon.at(left + x, top + y) = c;
        }
}

}  // namespace

RgbaImage gameIcon() {
    const int n = kIconMaster;
    const double half = n / 2.0;
    Image icon(n, n, kMagenta);
    Layer badge(n, n);
    const Shape square = boxShape({half, half}, {1, 0}, half - 4, half - 4, 26, 12);
    badge.paint(square, makeRamp({104, 184, 88}), Paint{.texture = 0.25, .seed = 7});
    badge.finish();
    badge.stampOnto(icon, 0, 0);
    stampPortrait(icon, n - 10);
    // Whatever the portrait left outside the badge is cut away with it.
    RgbaImage out(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const Rgb c = icon.at(x, y);
            const bool inBadge = badge.solid(x, y);
            if (c == kMagenta || !inBadge) continue;
            out.at(x, y) = {c.r, c.g, c.b, 255};
        }
    return out;
}

RgbaImage resized(const RgbaImage& img, int size) {
    RgbaImage out(size, size);
    const double sx = double(img.w) / size, sy = double(img.h) / size;
    for (int ty = 0; ty < size; ++ty)
        for (int tx = 0; tx < size; ++tx) {
            const double fx0 = tx * sx, fx1 = fx0 + sx, fy0 = ty * sy, fy1 = fy0 + sy;
            double r = 0, g = 0, b = 0, a = 0, area = 0;
            for (int y = int(fy0); y < std::min(img.h, int(std::ceil(fy1))); ++y)
                for (int x = int(fx0); x < std::min(img.w, int(std::ceil(fx1))); ++x) {
                    const double w = (std::min(fx1, x + 1.0) - std::max(fx0, double(x))) *
                                     (std::min(fy1, y + 1.0) - std::max(fy0, double(y)));
                    const Rgba c = img.at(x, y);
                    const double wa = w * c.a;
                    r += wa * c.r;
                    g += wa * c.g;
                    b += wa * c.b;
                    a += wa;
                    area += w;
                }
            if (a <= 0) continue;
            auto channel = [&](double sum) { return uint8_t(std::lround(std::clamp(sum / a, 0.0, 255.0))); };
            out.at(tx, ty) = {channel(r), channel(g), channel(b), uint8_t(std::lround(std::clamp(a / area, 0.0, 255.0)))};
        }
    return out;
}

}  // namespace gen
