// The field's layout, its shores worked out from where the land is, and
// the map text.
#include "tools/gen/field.h"

#include <utility>

#include "tools/gen/draw.h"

namespace gen {
namespace {

bool isWet(int tile) { return tile == kWater || tile == kLily || tile == kDeep || isShore(tile); }

void addPond(Field& f, double cc, double cr, double rc, double rr) {
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            double dc = (c - cc) / rc, dr = (r - cr) / rr;
            if (dc * dc + dr * dr <= 1) f.set(c, r, kWater);
        }
}

// Turns plain water into shore pieces according to where the land is.
void shapeShores(Field& f) {
    // Water one tile wide between land has no shore piece: fill such cells in first.
    for (bool changed = true; changed;) {
        changed = false;
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (f.at(c, r) != kWater) continue;
                bool n = f.at(c, r - 1) != kWater, s = f.at(c, r + 1) != kWater;
                bool w = f.at(c - 1, r) != kWater, e = f.at(c + 1, r) != kWater;
                if ((n && s) || (w && e)) f.set(c, r, kGrass), changed = true;
            }
    }
    Field before = f;
    auto land = [&](int c, int r) { return before.at(c, r) != kWater; };
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            if (before.at(c, r) != kWater) continue;
            bool n = land(c, r - 1), s = land(c, r + 1), w = land(c - 1, r), e = land(c + 1, r);
            int t = kWater;
            if (n && w) t = kShoreNW;
            else if (n && e) t = kShoreNE;
            else if (s && w) t = kShoreSW;
            else if (s && e) t = kShoreSE;
            else if (n) t = kShoreN;
            else if (s) t = kShoreS;
            else if (w) t = kShoreW;
            else if (e) t = kShoreE;
            else if (land(c - 1, r - 1)) t = kNookNW;
            else if (land(c + 1, r - 1)) t = kNookNE;
            else if (land(c - 1, r + 1)) t = kNookSW;
            else if (land(c + 1, r + 1)) t = kNookSE;
            else if (noise01(c, r, 5) < 0.04) t = kLily;
            f.set(c, r, t);
        }
}

}  // namespace

Field buildField() {
    Field f;
    // Hedge ring along the screen edges.
    f.fill(0, 0, kCols - 1, 2, kHedge);
    f.fill(0, kRows - 3, kCols - 1, kRows - 1, kHedge);
    f.fill(0, 0, 2, kRows - 1, kHedge);
    f.fill(kCols - 3, 0, kCols - 1, kRows - 1, kHedge);

    addPond(f, 17, 15, 10.5, 6.5);
    addPond(f, 84, 59, 9.5, 6.5);
    addPond(f, 86, 14, 6.5, 4.5);
    shapeShores(f);
    // Reeds on the far banks of the ponds.
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            if (f.at(c, r) != kGrass) continue;
            bool byWater = false;
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) byWater |= isWet(f.at(c + dc, r + dr));
            bool farBank = (c < 12 && r < 18) || (c > 88 && r > 55) || (r < 11 && c > 82);
            if (byWater && farBank && noise01(c, r, 9) < 0.75) f.set(c, r, kReeds);
        }

    // Rock clusters.
    const int rocks[][2] = {{10, 59}, {11, 59}, {12, 60}, {10, 60}, {11, 60}, {11, 61}, {13, 61}, {9, 61},
                            {47, 5},  {48, 5},  {48, 6},  {49, 6},  {50, 5},  {46, 6},
                            {91, 34}, {92, 34}, {92, 35}, {93, 35}, {91, 36}, {93, 36}, {92, 37}};
    for (auto [c, r] : rocks) f.set(c, r, kRock);

    // A hedge bar on the left and a fence across the top of the meadow.
    f.fill(5, 36, 13, 38, kHedge);
    f.fill(36, 20, 58, 20, kFenceH);
    // Fenced flower garden, bottom left.
    f.fill(6, 45, 20, 53, kFlowers);
    f.fill(6, 45, 20, 45, kFenceH);
    f.fill(6, 53, 20, 53, kFenceH);
    f.fill(6, 45, 6, 53, kFenceV);
    f.fill(20, 45, 20, 53, kFenceV);
    f.fill(88, 24, 91, 25, kFlowers);

    for (auto [c, r] : {std::pair{30, 66}, {71, 7}, {92, 46}, {8, 28}, {62, 12}}) f.set(c, r, kStump);
    for (auto [c, r] : {std::pair{24, 40}, {25, 40}, {90, 30}, {58, 69}, {15, 28}, {76, 69}}) f.set(c, r, kShrub);
    return f;
}

void requirePlayAreaOpen(const Field& f) {
    const Box open[] = {{284, 440, 396, 520}, {280, 240, 556, 300}, {480, 290, 570, 360}, {290, 300, 560, 440}};
    for (const Box& b : open)
        for (int y = b.y0; y <= b.y1; ++y)
            for (int x = b.x0; x <= b.x1; ++x)
                if (f.at(x / 8, y / 8) != kGrass) fail("map: the play area is blocked at pixel " + std::to_string(x) + "," + std::to_string(y));
}

std::string mapText(const Field& f) {
    std::string text;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kCols; ++c) {
            if (c) text += ' ';
            text += std::to_string(f.at(c, r));
        }
        text += '\n';
    }
    return text;
}

}  // namespace gen
