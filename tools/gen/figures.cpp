// Pieces shared by the figures and the scenery.
#include "tools/gen/figures.h"

namespace gen {

void drawEye(Layer& layer, V2 at, bool narrow, EyeLook look, Rgb eye) {
    int x = int(std::floor(at.x)), y = int(std::floor(at.y));
    auto ink = [&](char c) { return c == 'w' ? kEyeShine : eye; };
    switch (look) {
        case EyeLook::Open:
            if (narrow)
                stampPattern(layer, x, y - 1, {"o", "o", "o"}, ink);
            else
                stampPattern(layer, x - 1, y - 1, {"ow", "oo", "oo"}, ink);
            break;
        case EyeLook::Shut: stampPattern(layer, x - 1, y, {"oo"}, ink); break;
        case EyeLook::Dizzy: stampPattern(layer, x - 1, y - 1, {"ooo", "o.o", "oo."}, ink); break;
        case EyeLook::Knocked: stampPattern(layer, x - 1, y - 1, {"o.o", ".o.", "o.o"}, ink); break;
    }
}

Shape arcBand(V2 centre, double from, double to, double radius, double w0, double w1, double inner) {
    return [=](V2 p) -> Hit {
        V2 v = p - centre;
        double d = std::fmod(std::atan2(v.y, v.x) - from + 6 * kPi, 2 * kPi);
        double t = d / (to - from);
        if (t > 1) return Hit{};
        double w = w0 + (w1 - w0) * t, r = length(v);
        if (r < radius - w * inner || r > radius + w * (2 - inner)) return Hit{};
        return Hit{true, 0, {}};
    };
}

// A crescent along an arc: thickest in the middle of its span, pointed at both ends.
Shape crescent(V2 centre, double heading, double halfSpan, double radius, double thickness) {
    return [=](V2 p) -> Hit {
        V2 v = p - centre;
        double d = std::remainder(std::atan2(v.y, v.x) - heading, 2 * kPi);
        if (std::abs(d) > halfSpan) return Hit{};
        double w = 0.4 + thickness * std::cos(d / halfSpan * kPi / 2), r = length(v);
        if (r < radius - w * 0.5 || r > radius + w * 0.5) return Hit{};
        return Hit{true, 0, {}};
    };
}

Shape starShape(V2 c, double outer, double inner, int points, double angle) {
    std::vector<V2> poly;
    for (int i = 0; i < points * 2; ++i)
        poly.push_back(c + polar(angle + i * kPi / points, i % 2 ? inner : outer));
    return polygonShape(poly, 2);
}

Shape clumpShape(V2 c, double r, double phase) {
    return sdfShape(
        [=](V2 p) {
            V2 d = p - c;
            return length(d) - r * (1 + 0.07 * std::sin(7 * std::atan2(d.y, d.x) + phase));
        },
        r);
}

}  // namespace gen
