// What the figures and the scenery share: the grass shadow and the flat
// paints, eyes, arcs, crescents and stars, the swoosh and star ramps, the
// eight flight directions and the leafy clump.
#pragma once
#include "tools/gen/draw.h"

namespace gen {

constexpr Rgb kGrassShadow{38, 84, 48};
const Paint kGhostPaint{.outline = false, .shaded = false, .ghost = true};
const Paint kFlatPaint{.outline = false, .shaded = false};

constexpr Rgb kEyeShine{255, 255, 255};

struct Face {
    Rgb eye, blush, mouth;
};

enum class EyeLook { Open, Shut, Dizzy, Knocked };

void drawEye(Layer& layer, V2 at, bool narrow, EyeLook look, Rgb eye);

// A band along a circular arc around `centre`, thickening from start to end.
Shape arcBand(V2 centre, double from, double to, double radius, double w0, double w1, double inner = 1.0);
// A crescent along an arc: thickest in the middle of its span, pointed at both ends.
Shape crescent(V2 centre, double heading, double halfSpan, double radius, double thickness);
Shape starShape(V2 c, double outer, double inner, int points, double angle);

const Ramp kSwooshRamp{{150, 204, 236}, {170, 218, 244}, {214, 238, 250}, {240, 250, 255}, {250, 252, 255}, {255, 255, 255}};
const Ramp kStarRamp{{176, 96, 30}, {214, 132, 40}, {246, 178, 54}, {255, 222, 76}, {255, 240, 150}, {255, 252, 220}};

// Direction (screen) that a follower flies along for each hit direction.
constexpr V2 kFlight[8] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// Round leafy clump with a scalloped edge.
Shape clumpShape(V2 c, double r, double phase);

}  // namespace gen
