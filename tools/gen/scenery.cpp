// The tree, a leafy crown on a trunk that topples to the right about its
// foot, and the range circles around the player.
#include <array>
#include <cmath>

#include "tools/gen/figures.h"
#include "tools/gen/game_art.h"

namespace gen {
namespace {

void drawTree(Layer& layer, double angle, bool fallen) {
    const V2 foot{36, 116};
    // (u along the trunk upwards, v to its right) to picture coordinates.
    auto place = [&](double u, double v) { return foot + rotated(V2{v, -u}, angle); };

    static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
    layer.paint(ellipseShape({foot.x + 10 + std::sin(angle) * 62, foot.y + 3}, 30, 6.5), shadow, kGhostPaint);

    const Ramp bark = makeRamp({136, 90, 56});
    std::vector<V2> trunk;
    for (auto [u, v] : std::initializer_list<std::pair<double, double>>{
             {-1, -11.5}, {4, -6.5}, {22, -5}, {46, -3.8}, {64, -3}, {64, 3.5}, {46, 4.6}, {22, 5.6}, {4, 7}, {-1, 12}})
        trunk.push_back(place(u, v));
    layer.paint(polygonShape(trunk, 5), bark, Paint{.lift = 0.05});
    Paint groove{.outline = false, .shaded = false};
    const Ramp grooveRamp = flatRamp(bark.dark, bark.dark);
    layer.paint(capsuleShape(place(6, -1.5), place(30, -1), 0.55), grooveRamp, groove);
    layer.paint(capsuleShape(place(26, 2.2), place(48, 1.8), 0.55), grooveRamp, groove);
    layer.paint(capsuleShape(place(2, 3.5), place(12, 2.8), 0.55), grooveRamp, groove);
    layer.paint(capsuleShape(place(42, 2), place(58, 16), 2.6, 1.6), bark);
    layer.paint(capsuleShape(place(46, -2), place(58, -13), 2.3, 1.4), bark);

    struct Clump {
        double u, v, r;
        int tone;
    };
    static const Clump crown[] = {
        {86, 0, 15, 0},  {80, 26, 14, 0}, {70, -14, 13, 0}, {60, 32, 12, 0}, {93, 16, 12, 0},
        {74, 10, 17, 1}, {60, -5, 14, 1}, {58, 24, 14, 1},  {87, 8, 13, 1},
        {50, 8, 13, 2},  {64, 21, 12, 2}, {67, -2, 12, 2},  {79, -5, 11, 2}, {78, 24, 11, 2},
    };
    const Ramp tones[3] = {makeRamp({44, 118, 64}), makeRamp({68, 148, 66}), makeRamp({98, 174, 74})};
    // A fallen crown rests on the ground: whatever would sink below it is pushed up and squashed.
    auto crownPlace = [&](double u, double v) {
        V2 p = place(u, v);
        if (fallen && p.y > foot.y - 4) p.y = foot.y - 4 + (p.y - (foot.y - 4)) * 0.4;
        return p;
    };
    int n = 0;
    for (const Clump& c : crown) {
        Paint leaf{.lift = c.tone == 0 ? -0.12 : 0.0, .texture = 0.32, .seed = uint32_t(7 + c.tone)};
        layer.paint(clumpShape(crownPlace(c.u, c.v), c.r, n * 1.7 + angle * 7), tones[c.tone], leaf);
        ++n;
    }
    const Ramp apple = makeRamp({226, 60, 58});
    for (auto [u, v] : std::initializer_list<std::pair<double, double>>{{56, 14}, {70, 26}, {74, -6}, {88, 18}})
        layer.paint(circleShape(crownPlace(u, v), 2.4), apple);

    if (fallen) {
        // Leaves shaken loose and a puff of dust where the crown hit the ground.
        for (int i = 0; i < 9; ++i) {
            V2 at{66 + noise01(i, 1, 31) * 72, 120 + noise01(i, 2, 31) * 18};
            layer.paint(ellipseShape(at, 2.6, 1.5, noise01(i, 3, 31) * kPi), tones[i % 3]);
        }
        const Ramp dust = makeRamp({222, 208, 172});
        for (auto [x, y, r] : std::initializer_list<std::array<double, 3>>{{72, 128, 5}, {80, 131, 6}, {128, 130, 5.5}, {136, 126, 4}})
            layer.paint(circleShape({x, y}, r), dust, Paint{.lift = 0.2});
    }
    layer.finish();
}

}  // namespace

Image treeSheet() {
    Image sheet(144, 576, kMagenta);
    const double tilt[4] = {0, 24, 52, 74};
    for (int f = 0; f < 4; ++f) {
        Layer frame(144, 144);
        drawTree(frame, rad(tilt[f]), f == 3);
        frame.stampOnto(sheet, 0, 144 * f);
    }
    return sheet;
}

Image rangeCircle(int size, double radius, Rgb light, Rgb deep, int dashes) {
    Image img(size, size, kBlack);
    const double c = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double dx = x + 0.5 - c, dy = y + 0.5 - c, d = std::sqrt(dx * dx + dy * dy);
            if (d < radius - 2 || d >= radius + 1) continue;
            if (dashes > 0) {
                double turn = (std::atan2(dy, dx) + kPi) / (2 * kPi) * dashes;
                if (turn - std::floor(turn) > 0.62) continue;
            }
            img.at(x, y) = d < radius - 1 ? deep : light;
        }
    return img;
}

}  // namespace gen
