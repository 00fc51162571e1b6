// Layers and the tilted view of the generators.
#include "tools/gen/draw.h"

namespace gen {

void paintSorted(Layer& layer, std::vector<Piece> pieces) {
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.depth < b.depth; });
    for (const Piece& p : pieces) p.draw(layer);
}

Shape aboveRim(const Rig& rig, Shape dome, V3 rimCentre, double rimRadius) {
    V2 c = rig.flat(rimCentre);
    double ry = rimRadius * kTiltSin;
    Shape clipped = [=](V2 p) -> Hit {
        double dx = (p.x - c.x) / rimRadius;
        if (std::abs(dx) >= 1) return Hit{};
        if (p.y > c.y + ry * std::sqrt(1 - dx * dx)) return Hit{};
        return dome(p);
    };
    if (rig.spin == 0) return clipped;
    // The dome was projected with the spin already applied: undo it for the rim test only.
    return [=](V2 p) {
        V2 q = rotatedAbout(p, rig.pivot, -rig.spin);
        double dx = (q.x - c.x) / rimRadius;
        if (std::abs(dx) >= 1 || q.y > c.y + ry * std::sqrt(1 - dx * dx)) return Hit{};
        return dome(p);
    };
}

void stampPattern(Layer& layer, int x, int y, std::initializer_list<const char*> rows, std::function<Rgb(char)> colour) {
    int dy = 0;
    for (const char* row : rows) {
        for (int dx = 0; row[dx]; ++dx)
            if (row[dx] != '.') layer.put(x + dx, y + dy, colour(row[dx]));
        ++dy;
    }
}

}  // namespace gen
