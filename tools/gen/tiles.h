// Tiles: 8 x 8 pixels, three to a row; value 2 (grass) is the only one the
// player walks on. The field and the overlay use the tile values and inks.
#pragma once
#include "tools/gen/image.h"

namespace gen {

enum Tile : int {
    kDeep = 0, kFlowers = 1, kGrass = 2, kWater = 3,
    kShoreN = 4, kShoreS = 5, kShoreW = 6, kShoreE = 7,  // land lies on the named side
    kRock = 8, kHedge = 9, kFenceH = 10, kFenceV = 11, kStump = 12, kReeds = 13,
    kShoreNW = 14, kShoreNE = 15, kShoreSW = 16, kShoreSE = 17,  // land on two sides
    kLily = 18,
    kNookNW = 19, kNookNE = 20, kNookSW = 21, kNookSE = 22,  // land only at that corner
    kShrub = 23,
    kTileKinds = 24
};

// The colour of a pattern letter.
Rgb tileInk(char c);
bool isShore(int tile);
Image tileSheet();

}  // namespace gen
