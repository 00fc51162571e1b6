// The game's pictures, each drawn by its own module: player and follower
// sheets (two variants each), the flight effect, the falling tree and the
// range circles. Tiles, the field and its overlay have headers of their own.
#pragma once
#include "tools/gen/image.h"

namespace gen {

// 9 x 8 cells of 96 pixels: stand, breathe, four steps and three swing
// pictures in each of the eight facings.
Image playerSheet(bool firstVariant);
// Follower 0, 1 or 2: standing, walking, lying and flying pictures.
Image followerSheet(int index, bool firstVariant);
// The bow wave and speed streaks ahead of a flying follower, two frames per direction.
Image effectSheet();
// The tree standing, tipping twice and fallen, one 144-pixel picture each.
Image treeSheet();
// A ring (dashed when dashes > 0) on black, which is transparent in these.
Image rangeCircle(int size, double radius, Rgb light, Rgb deep, int dashes);

}  // namespace gen
