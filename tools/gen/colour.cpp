// Colour ramps of the generators.
#include "tools/gen/colour.h"

#include <algorithm>
#include <cmath>

namespace gen {

Hsv toHsv(Rgb c) {
    double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    double h = 0;
    if (d > 1e-9) {
        if (mx == r)
            h = 60 * std::fmod((g - b) / d, 6.0);
        else if (mx == g)
            h = 60 * ((b - r) / d + 2);
        else
            h = 60 * ((r - g) / d + 4);
    }
    if (h < 0) h += 360;
    return {h, mx > 0 ? d / mx : 0, mx};
}

Rgb fromHsv(Hsv c) {
    double s = std::clamp(c.s, 0.0, 1.0), v = std::clamp(c.v, 0.0, 1.0);
    double h = std::fmod(c.h + 360.0, 360.0) / 60.0;
    double f = h - std::floor(h);
    double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (int(h) % 6) {
        case 0: r = v, g = t, b = p; break;
        case 1: r = q, g = v, b = p; break;
        case 2: r = p, g = v, b = t; break;
        case 3: r = p, g = q, b = v; break;
        case 4: r = t, g = p, b = v; break;
        default: r = v, g = p, b = q; break;
    }
    auto to8 = [](double x) { return uint8_t(std::lround(std::clamp(x, 0.0, 1.0) * 255)); };
    return {to8(r), to8(g), to8(b)};
}

double hueTowards(double h, double target, double amount) {
    double diff = std::fmod(target - h + 540.0, 360.0) - 180.0;
    return h + std::clamp(diff, -amount, amount);
}

Ramp makeRamp(Rgb mid) {
    Hsv m = toHsv(mid);
    bool grey = m.s < 0.08;
    auto hue = [&](double target, double amount) { return grey ? m.h : hueTowards(m.h, target, amount); };
    Ramp r;
    r.mid = mid;
    r.dark = fromHsv({hue(235, 14), std::min(1.0, m.s * 1.08 + 0.06), m.v * 0.76});
    r.light = fromHsv({hue(55, 9), m.s * 0.82, std::min(1.0, m.v * 1.12 + 0.05)});
    r.shine = fromHsv({hue(55, 14), m.s * 0.5, std::min(1.0, m.v * 1.2 + 0.14)});
    r.line = fromHsv({hue(250, 20), std::min(1.0, m.s * 1.1 + 0.12), m.v * 0.55});
    r.outline = fromHsv({hue(260, 28), std::min(1.0, m.s * 0.8 + 0.25), std::max(0.12, m.v * 0.3)});
    return r;
}

Ramp flatRamp(Rgb c, Rgb edge) { return {edge, edge, c, c, c, c}; }

}  // namespace gen
