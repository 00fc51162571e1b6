// The overlay over the map, painted from the field.
#include "tools/gen/overlay.h"

#include <cmath>
#include <string>

#include "tools/gen/figures.h"

namespace gen {
namespace {

// Glyphs of the name plate, '#' is ink.
using Glyph = std::vector<const char*>;
const std::vector<Glyph>& titleGlyphs() {
    static const std::vector<Glyph> glyphs = {
        {"....#...#.", "....#..#.#", "....#...#.", "#########.", "....#.....",
         "..#.#.#...", ".#..#..#..", "#...#...#.", "....#.....", "...##....."},
        {"..........", ".#######..", ".......#..", ".......#..", ".......#..",
         ".......#..", ".......#..", ".......#..", ".#######..", ".........."},
        {"...#......", "..#######.", ".#......#.", "#..#...#..", "....#.#...",
         ".....#....", "....#.....", "...#......", ".##.......", ".........."},
        {"..........", "##........", "..#......#", ".........#", "........#.",
         ".......#..", ".....##...", "...##.....", "###.......", ".........."},
        {".......#.#", "...#...#.#", "...#.#....", "..#...#...", "..#....#..",
         ".#......#.", ".#.......#", "#........#", "..........", ".........."},
        {"##", "##", "##", "##", "##", "##", "..", "##", "..", ".."},
    };
    return glyphs;
}

class OverlayPainter {
public:
    explicit OverlayPainter(const Field& field) : field_(field), layer_(800, 600) {}

    Image paint() {
        hedges();
        boulders();
        stumps();
        pondDetails();
        edgeTufts();
        frame();
        namePlate();
        layer_.finish();
        Image img(800, 600, kMagenta);
        layer_.stampOnto(img, 0, 0);
        img.at(0, 0) = kMagenta;  // the corner pixel is the transparent colour
        return img;
    }

private:
    static Box around(V2 c, double r) {
        return {int(c.x - r) - 2, int(c.y - r) - 2, int(c.x + r) + 3, int(c.y + r) + 3};
    }

    // Hedges get a clump per tile, painted top to bottom so lower clumps overlap upper ones,
    // and a dithered shadow on the grass below them.
    void hedges() {
        const Ramp leaves = makeRamp({52, 132, 68});
        static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kHedge) continue;
                if (field_.at(c, r + 1) == kGrass)
                    layer_.paint(ellipseShape({c * 8 + 4.0, r * 8 + 10.0}, 6, 2.5), shadow, kGhostPaint,
                                 {c * 8 - 4, r * 8 + 6, c * 8 + 12, r * 8 + 14});
            }
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kHedge) continue;
                V2 centre{c * 8 + 4 + (noise01(c, r, 11) - 0.5) * 3, r * 8 + 4 + (noise01(c, r, 12) - 0.5) * 3};
                double radius = 5.6 + noise01(c, r, 13) * 1.4;
                Paint how{.texture = 0.3, .seed = 21};
                layer_.paint(clumpShape(centre, radius, noise01(c, r, 14) * 6), leaves, how, around(centre, radius * 1.1));
                if (noise01(c, r, 15) < 0.05) {
                    // A few berries.
                    layer_.put(int(centre.x) - 1, int(centre.y) - 1, {230, 70, 80});
                    layer_.put(int(centre.x) + 1, int(centre.y), {230, 70, 80});
                }
            }
    }

    void boulders() {
        const Ramp stone = makeRamp({150, 150, 164});
        static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kRock) continue;
                Rig rig{{c * 8 + 4 + (noise01(c, r, 16) - 0.5) * 3, r * 8 + 7.0}};
                double w = 5.5 + noise01(c, r, 17) * 2, h = 5 + noise01(c, r, 18) * 2.5;
                layer_.paint(ellipseShape(rig.ground, w + 1.5, 2.5), shadow, kGhostPaint, around(rig.ground, 10));
                layer_.paint(rig.ball({0, h * 0.6, 0}, w, h, w * 0.8), stone, Paint{.texture = 0.25, .seed = 3},
                             around(rig.ground, 12));
            }
    }

    void stumps() {
        const Ramp bark = makeRamp({140, 92, 58}), wood = makeRamp({214, 170, 114});
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kStump) continue;
                V2 base{c * 8 + 4.0, r * 8 + 7.0};
                Box box = around(base, 12);
                for (double side : {-1.0, 1.0})
                    layer_.paint(ellipseShape(base + V2{side * 6, 0}, 2.6, 1.6), bark, Paint{}, box);
                layer_.paint(boxShape(base - V2{0, 3.5}, {1, 0}, 6, 4.5, 2, 3), bark, Paint{}, box);
                layer_.paint(ellipseShape(base - V2{0, 7.5}, 6, 2.8), wood, Paint{.lift = 0.2}, box);
                layer_.put(int(base.x) - 1, int(base.y) - 8, wood.dark);
                layer_.put(int(base.x), int(base.y) - 8, wood.dark);
            }
    }

    void pondDetails() {
        const Ramp pad = makeRamp({84, 168, 84});
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kWater) continue;
                double roll = noise01(c, r, 19);
                V2 centre{c * 8 + 4.0, r * 8 + 4.0};
                if (roll < 0.05) {
                    // Lily pad with a notch, sometimes with a flower.
                    Shape leaf = keepWhere(ellipseShape(centre, 4.5, 2.8), [centre](V2 p) {
                        V2 d = p - centre;
                        return !(d.x > 0 && std::abs(d.y) < d.x * 0.45);
                    });
                    layer_.paint(leaf, pad, Paint{}, around(centre, 6));
                    if (roll < 0.025) {
                        layer_.put(int(centre.x) - 1, int(centre.y) - 1, {250, 160, 196});
                        layer_.put(int(centre.x), int(centre.y) - 2, {252, 200, 220});
                        layer_.put(int(centre.x) + 1, int(centre.y) - 1, {250, 160, 196});
                        layer_.put(int(centre.x), int(centre.y) - 1, {252, 222, 90});
                    }
                } else if (roll < 0.16) {
                    // Glints on the water.
                    int x = c * 8 + 1 + int(noise01(c, r, 20) * 4), y = r * 8 + 2 + int(noise01(c, r, 21) * 4);
                    for (int i = 0; i < 3; ++i) layer_.put(x + i, y, tileInk('l'));
                    layer_.put(x + 1, y, tileInk('f'));
                }
            }
    }

    // Grass tufts and tiny flowers, only on grass near the hedges and never in the open middle.
    void edgeTufts() {
        const Rgb blade = tileInk('h'), dark = tileInk('g');
        const Rgb petals[3] = {{250, 246, 236}, {250, 214, 82}, {242, 150, 190}};
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kGrass) continue;
                bool openMiddle = c >= 26 && c <= 80 && r >= 22 && r <= 68;
                if (openMiddle || noise01(c, r, 22) > 0.09) continue;
                int x = c * 8 + 1 + int(noise01(c, r, 23) * 4), y = r * 8 + 2 + int(noise01(c, r, 24) * 3);
                if (noise01(c, r, 25) < 0.6) {
                    stampPattern(layer_, x, y, {"h.h.", "hgh.", ".gg."}, [&](char k) { return k == 'h' ? blade : dark; });
                } else {
                    Rgb petal = petals[int(noise01(c, r, 26) * 3)];
                    stampPattern(layer_, x, y, {".p.", "pcp", ".p.", ".g."},
                                 [&](char k) { return k == 'p' ? petal : k == 'c' ? Rgb{250, 200, 60} : dark; });
                }
            }
    }

    // A thin wooden frame along the screen edge with round knobs at the corners.
    void frame() {
        const Rgb dark{64, 42, 30}, wood{160, 108, 64}, light{212, 162, 104};
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                int d = std::min({x, y, 799 - x, 599 - y});
                if (d > 3) continue;
                int cx = std::min(x, 799 - x), cy = std::min(y, 599 - y);
                if (cx + cy < 2) continue;  // rounded corners keep the corner pixel clear
                layer_.put(x, y, d == 0 || d == 3 ? dark : d == 1 ? light : wood);
            }
        const Ramp knob = makeRamp({176, 120, 72});
        for (V2 c : {V2{6, 6}, V2{794, 6}, V2{6, 594}, V2{794, 594}}) layer_.paint(circleShape(c, 4.5), knob, Paint{}, around(c, 6));
    }

    void namePlate() {
        const Ramp wood = makeRamp({186, 132, 80});
        const int x0 = 16, y0 = 577, width = 88, height = 18;
        layer_.paint(boxShape({x0 + width / 2.0, y0 + height / 2.0}, {1, 0}, width / 2.0, height / 2.0, 3, 3), wood,
                     Paint{.lift = 0.1}, {x0 - 2, y0 - 2, x0 + width + 2, y0 + height + 2});
        const Rgb ink{252, 248, 232}, rim{74, 46, 30};
        int x = x0 + 7;
        for (const Glyph& g : titleGlyphs()) {
            int w = int(std::string(g[0]).size());
            auto inked = [&](int gx, int gy) { return gx >= 0 && gy >= 0 && gx < w && gy < int(g.size()) && g[gy][gx] == '#'; };
            for (int gy = -1; gy <= int(g.size()); ++gy)
                for (int gx = -1; gx <= w; ++gx) {
                    if (inked(gx, gy))
                        layer_.put(x + gx, y0 + 4 + gy, ink);
                    else if (inked(gx - 1, gy) || inked(gx + 1, gy) || inked(gx, gy - 1) || inked(gx, gy + 1) || inked(gx + 1, gy + 1) ||
                             inked(gx - 1, gy - 1) || inked(gx + 1, gy - 1) || inked(gx - 1, gy + 1))
                        layer_.put(x + gx, y0 + 4 + gy, rim);
                }
            x += w + 3;
        }
    }

    const Field& field_;
    Layer layer_;
};

}  // namespace

Image overlayPicture(const Field& field) { return OverlayPainter(field).paint(); }

}  // namespace gen
