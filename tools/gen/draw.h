// Drawing figures: shapes painted back to front into a layer, each with its
// own shading and a 1-pixel outline, and the tilted view in which figures
// are modelled in 3D and projected orthographically.
#pragma once
#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "tools/gen/colour.h"
#include "tools/gen/image.h"
#include "tools/gen/shapes.h"

namespace gen {

struct Paint {
    bool outline = true;
    bool shaded = true;
    double lift = 0;      // moves the shade bands: positive is lighter
    double texture = 0;   // strength of per-pixel jitter of the bands (leaves, stone)
    uint32_t seed = 1;
    bool ghost = false;   // a dithered shadow: counts as empty for the outline rules
};

struct Box {
    int x0, y0, x1, y1;  // exclusive right and bottom
};

const V3 kLight = normalized(V3{-0.55, -0.75, 0.85});

class Layer {
public:
    Layer(int w, int h) : w_(w), h_(h), colour_(size_t(w) * h), edge_(size_t(w) * h), kind_(size_t(w) * h, kEmpty) {}

    int width() const { return w_; }
    int height() const { return h_; }

    void paint(const Shape& shape, const Ramp& ramp, const Paint& how = {}) { paint(shape, ramp, how, {0, 0, w_, h_}); }

    void paint(const Shape& shape, const Ramp& ramp, const Paint& how, Box box) {
        box = clampBox(box, how.outline ? 1 : 0);
        int bw = box.x1 - box.x0, bh = box.y1 - box.y0;
        if (bw <= 0 || bh <= 0) return;
        std::vector<uint8_t> mask(size_t(bw) * bh);
        std::vector<Rgb> fill(size_t(bw) * bh);
        for (int y = box.y0; y < box.y1; ++y)
            for (int x = box.x0; x < box.x1; ++x) {
                Hit hit = shape({x + 0.5, y + 0.5});
                if (!hit.in) continue;
                size_t i = size_t(y - box.y0) * bw + (x - box.x0);
                mask[i] = 1;
                fill[i] = shadeOf(hit, ramp, how, x, y);
            }
        auto masked = [&](int x, int y) {
            return x >= box.x0 && y >= box.y0 && x < box.x1 && y < box.y1 && mask[size_t(y - box.y0) * bw + (x - box.x0)];
        };
        for (int y = box.y0; y < box.y1; ++y)
            for (int x = box.x0; x < box.x1; ++x) {
                size_t i = size_t(y) * w_ + x;
                if (masked(x, y)) {
                    if (how.ghost && ((x + y) & 1)) continue;
                    colour_[i] = fill[size_t(y - box.y0) * bw + (x - box.x0)];
                    kind_[i] = how.ghost ? kGhost : kFill;
                } else if (how.outline && (masked(x - 1, y) || masked(x + 1, y) || masked(x, y - 1) || masked(x, y + 1))) {
                    colour_[i] = ramp.line;
                    edge_[i] = ramp.outline;
                    kind_[i] = kLine;
                }
            }
    }

    void put(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
        size_t i = size_t(y) * w_ + x;
        colour_[i] = c;
        kind_[i] = kFill;
    }

    bool solid(int x, int y) const {
        return x >= 0 && y >= 0 && x < w_ && y < h_ && (kind_[size_t(y) * w_ + x] == kFill || kind_[size_t(y) * w_ + x] == kLine);
    }

    // Lines that touch empty space are the figure's silhouette: give them the darkest colour.
    void finish() {
        std::vector<Rgb> out = colour_;
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                size_t i = size_t(y) * w_ + x;
                if (kind_[i] != kLine) continue;
                if (!solid(x - 1, y) || !solid(x + 1, y) || !solid(x, y - 1) || !solid(x, y + 1)) out[i] = edge_[i];
            }
        colour_ = out;
    }

    void stampOnto(Image& dst, int ox, int oy) const {
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                size_t i = size_t(y) * w_ + x;
                if (kind_[i] != kEmpty && dst.contains(ox + x, oy + y)) dst.at(ox + x, oy + y) = colour_[i];
            }
    }

private:
    enum Kind : uint8_t { kEmpty, kGhost, kFill, kLine };

    Box clampBox(Box b, int grow) const {
        return {std::max(0, b.x0 - grow), std::max(0, b.y0 - grow), std::min(w_, b.x1 + grow), std::min(h_, b.y1 + grow)};
    }

    static Rgb shadeOf(const Hit& hit, const Ramp& ramp, const Paint& how, int x, int y) {
        if (!how.shaded) return ramp.mid;
        double s = hit.rim;
        V3 n = normalized(V3{hit.out.x * s, hit.out.y * s, std::sqrt(std::max(0.0, 1 - s * s))});
        // Both the normal and the light are in screen terms (y down): the light is up-left.
        double i = n.x * kLight.x + n.y * kLight.y + n.z * kLight.z;
        i += how.lift;
        if (how.texture > 0) i += how.texture * (noise01(x / 2, y, how.seed) - 0.5);
        if (i > 0.93) return ramp.shine;
        if (i > 0.62) return ramp.light;
        if (i > 0.18) return ramp.mid;
        return ramp.dark;
    }

    int w_, h_;
    std::vector<Rgb> colour_, edge_;
    std::vector<uint8_t> kind_;
};

// Parts of a figure are collected with a depth and painted far to near.
struct Piece {
    double depth;
    std::function<void(Layer&)> draw;
};

void paintSorted(Layer& layer, std::vector<Piece> pieces);

const double kTiltCos = std::cos(rad(30)), kTiltSin = std::sin(rad(30));

struct Rig {
    V2 ground;          // screen point under the figure
    double facing = 0;  // radians: 0 towards the viewer, pi/2 to the right
    double spin = 0;    // in-picture rotation (tumbling), about `pivot`
    V2 pivot{};

    V3 fwd() const { return {std::sin(facing), 0, std::cos(facing)}; }
    V3 side() const { return {-std::cos(facing), 0, std::sin(facing)}; }  // the figure's own right
    V3 at(double right, double up, double forward) const { return side() * right + V3{0, up, 0} + fwd() * forward; }

    V2 flat(V3 w) const { return {ground.x + w.x, ground.y - w.y * kTiltCos + w.z * kTiltSin}; }
    V2 screen(V3 w) const { return spin == 0 ? flat(w) : rotatedAbout(flat(w), pivot, spin); }
    double depth(V3 w) const { return w.y * kTiltSin + w.z * kTiltCos; }
    // How much a surface direction faces the viewer (1 straight at it).
    double facingViewer(V3 dir) const { return depth(normalized(dir)); }

    // Ellipsoid with radii along three axes, projected to its exact outline.
    Shape ellipsoid(V3 c, V3 a, double ra, V3 b, double rb, V3 n, double rn) const {
        double sxx = 0, sxy = 0, syy = 0;
        for (auto [axis, r] : {std::pair{a, ra}, std::pair{b, rb}, std::pair{n, rn}}) {
            V2 p{axis.x, -axis.y * kTiltCos + axis.z * kTiltSin};
            p = rotated(p, spin);
            sxx += r * r * p.x * p.x;
            sxy += r * r * p.x * p.y;
            syy += r * r * p.y * p.y;
        }
        return ellipseFromMatrix(screen(c), sxx, sxy, syy);
    }
    // Ellipsoid aligned with the figure: radii across, up and along its facing.
    Shape ball(V3 c, double across, double up, double along) const {
        return ellipsoid(c, side(), across, {0, 1, 0}, up, fwd(), along);
    }
    Shape limb(V3 a, V3 b, double r) const { return capsuleShape(screen(a), screen(b), r); }
};

// Keeps only the part of a dome above the front edge of a level rim (a cap, a mushroom top).
Shape aboveRim(const Rig& rig, Shape dome, V3 rimCentre, double rimRadius);

// Small flat marks (eyes, blush, stars) drawn pixel by pixel.
void stampPattern(Layer& layer, int x, int y, std::initializer_list<const char*> rows, std::function<Rgb(char)> colour);

}  // namespace gen
