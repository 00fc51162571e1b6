// Colour ramps: a mid colour and its darker, lighter and line shades, the
// dark shades leaning towards blue and the light ones towards yellow.
#pragma once
#include "tools/gen/image.h"

namespace gen {

struct Hsv {
    double h, s, v;
};
Hsv toHsv(Rgb c);
Rgb fromHsv(Hsv c);
// h moved towards target by at most amount degrees, the short way round.
double hueTowards(double h, double target, double amount);

struct Ramp {
    Rgb outline;  // silhouette line
    Rgb line;     // line inside the figure, where one part overlaps another
    Rgb dark, mid, light, shine;
};

Ramp makeRamp(Rgb mid);
// One colour throughout, edged with another.
Ramp flatRamp(Rgb c, Rgb edge);

}  // namespace gen
