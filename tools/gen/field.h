// The field: a meadow ringed by hedges, with ponds, rocks, a fence and a
// fenced flower garden, as a grid of tile values; and map.txt made from it.
#pragma once
#include <string>
#include <vector>

#include "tools/gen/tiles.h"

namespace gen {

constexpr int kCols = 100, kRows = 75;

class Field {
public:
    Field() : cells_(kCols * kRows, kGrass) {}
    int at(int c, int r) const { return inside(c, r) ? cells_[size_t(r) * kCols + c] : kHedge; }
    void set(int c, int r, int v) {
        if (inside(c, r)) cells_[size_t(r) * kCols + c] = v;
    }
    void fill(int c0, int r0, int c1, int r1, int v) {
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) set(c, r, v);
    }
    static bool inside(int c, int r) { return c >= 0 && r >= 0 && c < kCols && r < kRows; }
    const std::vector<int>& cells() const { return cells_; }

private:
    std::vector<int> cells_;
};

Field buildField();
// The meadow must stay open where the game starts and plays: the player's feet at the start,
// the followers' places and the ground around the tree's foot.
void requirePlayAreaOpen(const Field& f);
// 75 lines of 100 tile values.
std::string mapText(const Field& f);

}  // namespace gen
