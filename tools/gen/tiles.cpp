// The tile sheet, from small hand-made pixel patterns, shores worked out
// pixel by pixel and a hedge of leafy clumps that repeats seamlessly.
#include "tools/gen/tiles.h"

#include <array>

#include "tools/gen/shapes.h"

namespace gen {

Rgb tileInk(char c) {
    switch (c) {
        case 'G': return {92, 168, 72};
        case 'g': return {76, 148, 64};
        case 'h': return {124, 194, 90};
        case 'W': return {72, 138, 214};
        case 'w': return {58, 116, 192};
        case 'l': return {148, 200, 240};
        case 'f': return {212, 236, 248};
        case 'D': return {34, 60, 120};
        case 'q': return {54, 88, 152};
        case 's': return {226, 206, 146};
        case 'r': return {150, 150, 162};
        case 'R': return {106, 106, 124};
        case 'k': return {198, 198, 212};
        case 'o': return {62, 62, 82};
        case 'b': return {52, 132, 68};
        case 'B': return {36, 100, 56};
        case 'n': return {88, 172, 84};
        case 'x': return {24, 68, 44};
        case 'p': return {180, 124, 76};
        case 'P': return {120, 80, 50};
        case 'y': return {220, 170, 112};
        case 'u': return {100, 66, 44};
        case 't': return {158, 106, 64};
        case 'T': return {210, 166, 110};
        case 'a': return {242, 122, 168};
        case 'c': return {250, 246, 236};
        case 'z': return {250, 214, 82};
        case 'v': return {226, 74, 74};
        case 'E': return {150, 96, 58};
        case 'e': return {56, 120, 60};
        case 'L': return {80, 164, 82};
        case 'K': return {52, 122, 62};
        default: fail(std::string("unknown tile colour ") + c);
    }
}

namespace {

using TilePattern = std::array<const char*, 8>;

const TilePattern kGrassPattern = {"GGGGGGGG", "GGGGhGGG", "GGGGgGGG", "GGGGGGGG",
                                   "GhGGGGGG", "GgGGGGhG", "GGGGGGgG", "GGGGGGGG"};
const TilePattern kWaterPattern = {"WWWWWWWW", "WWWWWWWW", "WWlWWWWW", "WWWllWWW",
                                   "WWWWWWWW", "WWWWWWWW", "WWWWWWlW", "WwWWWlWW"};

const TilePattern& patternFor(int tile) {
    static const TilePattern deep = {"DDDDDDDD", "DDqqDDDD", "DDDDDDDD", "DDDDDDDD",
                                     "DDDDDDDD", "DDDDDDqq", "qDDDDDDD", "DDDDDDDD"};
    static const TilePattern flowers = {"ggaggggg", "gazagggg", "ggaggGcg", "gGgggczc",
                                        "gzggGgcg", "zazgggGg", "gzggvzvg", "ggGggvgg"};
    static const TilePattern rock = {"GGGGGGGG", "GGooooGG", "GokkrroG", "okrrrrRo",
                                     "orrrrRRo", "oRRRRRRo", "goooooog", "GggggggG"};
    static const TilePattern fenceH = {"GGGyyGGG", "GGGpPGGG", "yyypPyyy", "PPPpPPPP",
                                       "GGGpPGGG", "yyypPyyy", "PPPpPPPP", "gggPPggg"};
    static const TilePattern fenceV = {"GGGpPGGG", "GGGpPgGG", "GGyyyyGG", "GGpppPgG",
                                       "GGpppPgG", "GGPPPPgG", "GGGpPgGG", "GGGpPgGG"};
    static const TilePattern stump = {"GGGGGGGG", "GGuuuuGG", "GuTTTTuG", "uTTttTTu",
                                      "utTTTTtu", "uttuuttu", "guttuuug", "GgguuggG"};
    static const TilePattern reeds = {"GGEGGGGG", "GGEGGEGG", "GGeGGEGG", "GGeGGeGE",
                                      "GEeGGeGE", "GEeGeeGe", "GeegeGge", "ggegegeg"};
    static const TilePattern lily = {"WWWWWWWW", "WWLLWLWW", "WLLLWLLW", "WLLLLLLW",
                                     "WKLLLLKW", "WWKKKKWW", "WWWWWWlW", "WWWWWWWW"};
    static const TilePattern shrub = {"GGxxxxGG", "GxnnbbxG", "xnnbbbBx", "xnbbbBBx",
                                      "xbbbBBBx", "gxBBBBxg", "GgxxxxgG", "GGgggggG"};
    switch (tile) {
        case kDeep: return deep;
        case kFlowers: return flowers;
        case kWater: return kWaterPattern;
        case kRock: return rock;
        case kFenceH: return fenceH;
        case kFenceV: return fenceV;
        case kStump: return stump;
        case kReeds: return reeds;
        case kLily: return lily;
        case kShrub: return shrub;
        default: return kGrassPattern;
    }
}

// Water or land at a pixel of a shore tile; defined a pixel beyond the tile too, where it agrees
// with the neighbouring tiles, so the sand and foam bands run on across tile borders.
bool shoreWater(int tile, int x, int y) {
    switch (tile) {
        case kShoreN: return y >= 3;
        case kShoreS: return y <= 4;
        case kShoreW: return x >= 3;
        case kShoreE: return x <= 4;
        case kShoreNW: return x >= 3 && y >= 3 && x + y >= 7;
        case kShoreNE: return x <= 4 && y >= 3 && (7 - x) + y >= 7;
        case kShoreSW: return x >= 3 && y <= 4 && x + (7 - y) >= 7;
        case kShoreSE: return x <= 4 && y <= 4 && (7 - x) + (7 - y) >= 7;
        case kNookNW: return !(x < 3 && y < 3 && x + y <= 3);
        case kNookNE: return !(x > 4 && y < 3 && (7 - x) + y <= 3);
        case kNookSW: return !(x < 3 && y > 4 && x + (7 - y) <= 3);
        case kNookSE: return !(x > 4 && y > 4 && (7 - x) + (7 - y) <= 3);
        default: return false;
    }
}

}  // namespace

bool isShore(int tile) { return (tile >= kShoreN && tile <= kShoreE) || (tile >= kShoreNW && tile <= kShoreSE) || (tile >= kNookNW && tile <= kNookSE); }

namespace {

Rgb shorePixel(int tile, int x, int y) {
    bool water = shoreWater(tile, x, y);
    bool nearOther4 = false, nearOther8 = false;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            if (shoreWater(tile, x + dx, y + dy) == water) continue;
            nearOther8 = true;
            if (dx == 0 || dy == 0) nearOther4 = true;
        }
    if (water) return tileInk(nearOther4 ? 'f' : kWaterPattern[y][x]);
    return tileInk(nearOther8 ? 's' : kGrassPattern[y][x]);
}

// Hedge: leafy clumps on a staggered grid that wraps, so the tile repeats seamlessly.
Rgb hedgePixel(int x, int y) {
    static const V2 centres[] = {{2, 2}, {6, 2}, {0, 6}, {4, 6}};
    double best = 1e9;
    V2 off{};
    for (V2 c : centres)
        for (int wx = -1; wx <= 1; ++wx)
            for (int wy = -1; wy <= 1; ++wy) {
                V2 d = V2{x + 0.5, y + 0.5} - (c + V2{wx * 8.0, wy * 8.0});
                // Lower clumps overlap upper ones: favour the clump whose centre is below.
                double score = length(d) - d.y * 0.35;
                if (score < best) best = score, off = d;
            }
    double lit = -off.x * 0.5 - off.y;
    if (length(off) > 2.6 && off.y > 0) return tileInk('x');
    if (lit > 1.2) return tileInk('n');
    if (lit < -1.2) return tileInk('B');
    return tileInk('b');
}

Rgb tilePixel(int tile, int x, int y) {
    if (isShore(tile)) return shorePixel(tile, x, y);
    if (tile == kHedge) return hedgePixel(x, y);
    return tileInk(patternFor(tile)[y][x]);
}

}  // namespace

Image tileSheet() {
    const int rows = (kTileKinds + 2) / 3;
    Image sheet(24, 8 * rows, kBlack);
    for (int t = 0; t < kTileKinds; ++t)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) sheet.at(8 * (t % 3) + x, 8 * (t / 3) + y) = tilePixel(t, x, y);
    return sheet;
}

}  // namespace gen
