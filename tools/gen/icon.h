// The game's desktop icon: the player standing, doubled pixel for pixel, on
// a rounded grass-green badge; transparent around the badge.
#pragma once
#include "tools/gen/png_out.h"

namespace gen {

// The icon drawn at 128 x 128; the other sizes are reduced from it.
constexpr int kIconMaster = 128;

RgbaImage gameIcon();
// `img` reduced (or enlarged) to size x size: each target pixel averages
// the source area it covers, weighted by coverage and by opacity, so
// transparent pixels lend no colour to the edges.
RgbaImage resized(const RgbaImage& img, int size);

}  // namespace gen
