// The overlay over the map: bushier hedges, boulders, stumps, lily pads,
// tufts near the edges, a frame and a name plate. The middle of the field
// stays clear; magenta is transparent.
#pragma once
#include "tools/gen/field.h"
#include "tools/gen/image.h"

namespace gen {

Image overlayPicture(const Field& field);

}  // namespace gen
