// artgen: draws every picture of the game and its tile map, deterministically.
//
// Usage: artgen <outdir>. Writes <outdir>/BMP/<name> (24-bit uncompressed bottom-up BMP) and
// <outdir>/map.txt. Characters, the tree and the overlay are built from shaded, outlined shapes
// seen in a tilted top-down view; tiles come from small hand-made pixel patterns. No clock and no
// library random numbers are used, so two runs write the same bytes.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
double rad(double degrees) { return degrees * kPi / 180.0; }

// ---------------------------------------------------------------------------------------------
// Colours, images and the BMP writer
// ---------------------------------------------------------------------------------------------

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(Rgb, Rgb) = default;
};

constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kBlack{0, 0, 0};

struct Image {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Image(int width, int height, Rgb fill) : w(width), h(height), px(size_t(width) * height, fill) {}
    Rgb& at(int x, int y) { return px[size_t(y) * w + x]; }
    Rgb at(int x, int y) const { return px[size_t(y) * w + x]; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
};

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "artgen: %s\n", why.c_str());
    std::exit(1);
}

void putLE(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> encodeBmp(const Image& img) {
    const uint32_t rowBytes = (uint32_t(img.w) * 3 + 3) & ~3u;
    const uint32_t dataBytes = rowBytes * uint32_t(img.h);
    std::vector<uint8_t> out;
    out.reserve(54 + dataBytes);
    out.push_back('B');
    out.push_back('M');
    putLE(out, 54 + dataBytes, 4);
    putLE(out, 0, 4);
    putLE(out, 54, 4);
    putLE(out, 40, 4);
    putLE(out, uint32_t(img.w), 4);
    putLE(out, uint32_t(img.h), 4);  // positive height: rows stored bottom-up
    putLE(out, 1, 2);
    putLE(out, 24, 2);
    putLE(out, 0, 4);  // no compression
    putLE(out, dataBytes, 4);
    putLE(out, 2835, 4);
    putLE(out, 2835, 4);
    putLE(out, 0, 4);
    putLE(out, 0, 4);
    for (int y = img.h - 1; y >= 0; --y) {
        for (int x = 0; x < img.w; ++x) {
            Rgb c = img.at(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        for (uint32_t pad = uint32_t(img.w) * 3; pad < rowBytes; ++pad) out.push_back(0);
    }
    return out;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    if (!f) fail("cannot write " + path.string());
}

void writeBmp(const std::filesystem::path& path, const Image& img) {
    std::vector<uint8_t> bytes = encodeBmp(img);
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

// The engine compares colour keys after reducing pixels to the display's format; 5-5-5 is the
// coarsest it meets, and a colour that differs there differs in 5-6-5 too.
bool sameOn555(Rgb a, Rgb b) {
    return (a.r >> 3) == (b.r >> 3) && (a.g >> 3) == (b.g >> 3) && (a.b >> 3) == (b.b >> 3);
}

// A corner-keyed picture: every pixel is either exactly the corner colour or clearly not it.
void requireCornerKeySafe(const Image& img, const std::string& name) {
    const Rgb key = img.at(0, 0);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            Rgb c = img.at(x, y);
            if (!(c == key) && sameOn555(c, key))
                fail(name + ": pixel (" + std::to_string(x) + "," + std::to_string(y) +
                     ") would turn transparent");
        }
}

// A black-keyed picture: every drawn pixel keeps some component at 8 or above.
void requireBlackKeySafe(const Image& img, const std::string& name) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            Rgb c = img.at(x, y);
            if (!(c == kBlack) && sameOn555(c, kBlack))
                fail(name + ": pixel (" + std::to_string(x) + "," + std::to_string(y) +
                     ") would turn transparent");
        }
}

// Small deterministic hash noise: scatter and texture without any library generator.
uint32_t hash3(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x9e3779b9u ^ uint32_t(x) * 0x85ebca6bu ^ uint32_t(y) * 0xc2b2ae35u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}
double noise01(int x, int y, uint32_t seed) { return hash3(x, y, seed) / 4294967296.0; }

// ---------------------------------------------------------------------------------------------
// Colour ramps: dark shades lean towards blue, light ones towards yellow
// ---------------------------------------------------------------------------------------------

struct Hsv {
    double h, s, v;
};

Hsv toHsv(Rgb c) {
    double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    double h = 0;
    if (d > 1e-9) {
        if (mx == r)
            h = 60 * std::fmod((g - b) / d, 6.0);
        else if (mx == g)
            h = 60 * ((b - r) / d + 2);
        else
            h = 60 * ((r - g) / d + 4);
    }
    if (h < 0) h += 360;
    return {h, mx > 0 ? d / mx : 0, mx};
}

Rgb fromHsv(Hsv c) {
    double s = std::clamp(c.s, 0.0, 1.0), v = std::clamp(c.v, 0.0, 1.0);
    double h = std::fmod(c.h + 360.0, 360.0) / 60.0;
    double f = h - std::floor(h);
    double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (int(h) % 6) {
        case 0: r = v, g = t, b = p; break;
        case 1: r = q, g = v, b = p; break;
        case 2: r = p, g = v, b = t; break;
        case 3: r = p, g = q, b = v; break;
        case 4: r = t, g = p, b = v; break;
        default: r = v, g = p, b = q; break;
    }
    auto to8 = [](double x) { return uint8_t(std::lround(std::clamp(x, 0.0, 1.0) * 255)); };
    return {to8(r), to8(g), to8(b)};
}

double hueTowards(double h, double target, double amount) {
    double diff = std::fmod(target - h + 540.0, 360.0) - 180.0;
    return h + std::clamp(diff, -amount, amount);
}

struct Ramp {
    Rgb outline;  // silhouette line
    Rgb line;     // line inside the figure, where one part overlaps another
    Rgb dark, mid, light, shine;
};

Ramp makeRamp(Rgb mid) {
    Hsv m = toHsv(mid);
    bool grey = m.s < 0.08;
    auto hue = [&](double target, double amount) { return grey ? m.h : hueTowards(m.h, target, amount); };
    Ramp r;
    r.mid = mid;
    r.dark = fromHsv({hue(235, 14), std::min(1.0, m.s * 1.08 + 0.06), m.v * 0.76});
    r.light = fromHsv({hue(55, 9), m.s * 0.82, std::min(1.0, m.v * 1.12 + 0.05)});
    r.shine = fromHsv({hue(55, 14), m.s * 0.5, std::min(1.0, m.v * 1.2 + 0.14)});
    r.line = fromHsv({hue(250, 20), std::min(1.0, m.s * 1.1 + 0.12), m.v * 0.55});
    r.outline = fromHsv({hue(260, 28), std::min(1.0, m.s * 0.8 + 0.25), std::max(0.12, m.v * 0.3)});
    return r;
}

Ramp flatRamp(Rgb c, Rgb edge) { return {edge, edge, c, c, c, c}; }

// ---------------------------------------------------------------------------------------------
// Geometry and shapes
// ---------------------------------------------------------------------------------------------

struct V2 {
    double x = 0, y = 0;
};
V2 operator+(V2 a, V2 b) { return {a.x + b.x, a.y + b.y}; }
V2 operator-(V2 a, V2 b) { return {a.x - b.x, a.y - b.y}; }
V2 operator*(V2 a, double k) { return {a.x * k, a.y * k}; }
double dot(V2 a, V2 b) { return a.x * b.x + a.y * b.y; }
double length(V2 a) { return std::sqrt(dot(a, a)); }
V2 normalized(V2 a) {
    double l = length(a);
    return l > 1e-12 ? a * (1 / l) : V2{0, 0};
}
V2 rotated(V2 a, double angle) {
    double c = std::cos(angle), s = std::sin(angle);
    return {a.x * c - a.y * s, a.x * s + a.y * c};
}
V2 rotatedAbout(V2 p, V2 pivot, double angle) { return pivot + rotated(p - pivot, angle); }
V2 polar(double angle, double r) { return {std::cos(angle) * r, std::sin(angle) * r}; }

struct V3 {
    double x = 0, y = 0, z = 0;  // x right, y up, z towards the viewer
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 normalized(V3 a) {
    double l = std::sqrt(dot(a, a));
    return l > 1e-12 ? a * (1 / l) : V3{0, 0, 0};
}

// What a shape says about one sample point: inside or not, how far from its crest (0) to its
// rim (1), and the outward direction there. Shading treats every shape as a soft cushion.
struct Hit {
    bool in = false;
    double rim = 0;
    V2 out{};
};
using Shape = std::function<Hit(V2)>;

// Ellipse given by its centre and covariance-like matrix [[a, b], [b, c]].
Shape ellipseFromMatrix(V2 centre, double a, double b, double c) {
    double det = a * c - b * b;
    double ia = c / det, ib = -b / det, ic = a / det;
    return [=](V2 p) {
        V2 d = p - centre;
        double v = ia * d.x * d.x + 2 * ib * d.x * d.y + ic * d.y * d.y;
        if (v > 1) return Hit{};
        return Hit{true, std::sqrt(v), normalized(V2{ia * d.x + ib * d.y, ib * d.x + ic * d.y})};
    };
}

Shape ellipseShape(V2 centre, double rx, double ry, double angle = 0) {
    double c = std::cos(angle), s = std::sin(angle);
    double a = rx * rx * c * c + ry * ry * s * s;
    double b = (rx * rx - ry * ry) * c * s;
    double cc = rx * rx * s * s + ry * ry * c * c;
    return ellipseFromMatrix(centre, a, b, cc);
}

Shape circleShape(V2 centre, double r) { return ellipseShape(centre, r, r); }

// Segment with round ends; the radius may change along it.
Shape capsuleShape(V2 a, V2 b, double ra, double rb) {
    return [=](V2 p) {
        V2 ab = b - a;
        double len2 = std::max(dot(ab, ab), 1e-9);
        double t = std::clamp(dot(p - a, ab) / len2, 0.0, 1.0);
        V2 q = a + ab * t;
        double r = ra + (rb - ra) * t;
        double d = length(p - q);
        if (d > r) return Hit{};
        return Hit{true, d / r, normalized(p - q)};
    };
}
Shape capsuleShape(V2 a, V2 b, double r) { return capsuleShape(a, b, r, r); }

// Any signed distance (negative inside); the cushion is `bevel` pixels wide.
Shape sdfShape(std::function<double(V2)> sdf, double bevel) {
    return [=](V2 p) {
        double d = sdf(p);
        if (d > 0) return Hit{};
        double e = 0.5;
        V2 g{sdf({p.x + e, p.y}) - sdf({p.x - e, p.y}), sdf({p.x, p.y + e}) - sdf({p.x, p.y - e})};
        return Hit{true, std::clamp(1 + d / bevel, 0.0, 1.0), normalized(g)};
    };
}

// Rounded box centred at c with its long axis along `axis`.
Shape boxShape(V2 c, V2 axis, double halfU, double halfV, double corner, double bevel) {
    V2 u = normalized(axis), v{-u.y, u.x};
    return sdfShape(
        [=](V2 p) {
            V2 d = p - c;
            double qx = std::abs(dot(d, u)) - (halfU - corner), qy = std::abs(dot(d, v)) - (halfV - corner);
            double outside = length({std::max(qx, 0.0), std::max(qy, 0.0)});
            return outside + std::min(std::max(qx, qy), 0.0) - corner;
        },
        bevel);
}

double polygonSdf(const std::vector<V2>& poly, V2 p) {
    double best = 1e18;
    bool inside = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        V2 a = poly[j], b = poly[i], e = b - a;
        double t = std::clamp(dot(p - a, e) / std::max(dot(e, e), 1e-12), 0.0, 1.0);
        best = std::min(best, length(p - (a + e * t)));
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * e.x / e.y) inside = !inside;
    }
    return inside ? -best : best;
}

Shape polygonShape(std::vector<V2> poly, double bevel) {
    return sdfShape([poly](V2 p) { return polygonSdf(poly, p); }, bevel);
}

Shape keepWhere(Shape s, std::function<bool(V2)> keep) {
    return [=](V2 p) { return keep(p) ? s(p) : Hit{}; };
}

// ---------------------------------------------------------------------------------------------
// Layers: shapes are painted back to front, each with its own shading and a 1-pixel outline
// ---------------------------------------------------------------------------------------------

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

void paintSorted(Layer& layer, std::vector<Piece> pieces) {
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.depth < b.depth; });
    for (const Piece& p : pieces) p.draw(layer);
}

// ---------------------------------------------------------------------------------------------
// The tilted view: figures are modelled in 3D and projected orthographically
// ---------------------------------------------------------------------------------------------

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

// Small flat marks (eyes, blush, stars) drawn pixel by pixel.
void stampPattern(Layer& layer, int x, int y, std::initializer_list<const char*> rows, std::function<Rgb(char)> colour) {
    int dy = 0;
    for (const char* row : rows) {
        for (int dx = 0; row[dx]; ++dx)
            if (row[dx] != '.') layer.put(x + dx, y + dy, colour(row[dx]));
        ++dy;
    }
}

// ---------------------------------------------------------------------------------------------
// The player: a child in a cap who swings a big toy hammer
// ---------------------------------------------------------------------------------------------

constexpr Rgb kGrassShadow{38, 84, 48};
const Paint kGhostPaint{.outline = false, .shaded = false, .ghost = true};
const Paint kFlatPaint{.outline = false, .shaded = false};

struct Outfit {
    Ramp skin, hair, cap, shirt, shorts, shoe, hammer, band, handle;
    Rgb eye, blush, mouth;
};

Outfit outfitFor(bool firstVariant) {
    const Rgb eye{40, 30, 56}, blush{246, 138, 150}, mouth{166, 58, 72};
    if (firstVariant)
        return {makeRamp({252, 208, 170}), makeRamp({124, 74, 44}),  makeRamp({222, 58, 62}),
                makeRamp({70, 146, 226}),  makeRamp({56, 64, 128}),  makeRamp({196, 84, 58}),
                makeRamp({236, 72, 76}),   makeRamp({252, 214, 84}), makeRamp({236, 196, 124}),
                eye, blush, mouth};
    return {makeRamp({244, 196, 156}), makeRamp({58, 46, 66}),   makeRamp({248, 192, 56}),
            makeRamp({236, 106, 90}),  makeRamp({52, 118, 112}), makeRamp({96, 96, 120}),
            makeRamp({76, 128, 232}),  makeRamp({244, 244, 236}), makeRamp({212, 168, 110}),
            eye, blush, mouth};
}

// Sheet row = facing; the angle is where the figure looks (0 towards the viewer).
constexpr double kFacingDegrees[8] = {0, 90, 180, 270, 45, 135, 315, 225};

// Where the hammer lands in the strike picture, inside the swing area of each facing.
constexpr V2 kStrikePoint[8] = {{12, 58}, {60, 84}, {84, 36}, {26, 12}, {16, 80}, {80, 80}, {16, 16}, {80, 16}};

struct PlayerPose {
    int facing = 0;
    double drop = 0;  // body sinks by this many screen pixels (breathing, steps)
    double footFwd[2] = {0, 0}, footUp[2] = {0, 0}, armFwd[2] = {0, 0};
    double lean = 0;
    int swing = -1;  // -1 none; 0 wind-up, 1 mid-swing, 2 strike
};

constexpr Rgb kEyeShine{255, 255, 255};

struct Face {
    Rgb eye, blush, mouth;
};

enum class EyeLook { Open, Shut, Dizzy, Knocked };

void drawEye(Layer& layer, V2 at, bool narrow, EyeLook look, Rgb eye) {
    int x = int(std::floor(at.x)), y = int(std::floor(at.y));
    auto ink = [&](char c) { return c == 'w' ? kEyeShine : eye; };
    switch (look) {
        case EyeLook::Open:
            if (narrow)
                stampPattern(layer, x, y - 1, {"o", "o", "o"}, ink);
            else
                stampPattern(layer, x - 1, y - 1, {"ow", "oo", "oo"}, ink);
            break;
        case EyeLook::Shut: stampPattern(layer, x - 1, y, {"oo"}, ink); break;
        case EyeLook::Dizzy: stampPattern(layer, x - 1, y - 1, {"ooo", "o.o", "oo."}, ink); break;
        case EyeLook::Knocked: stampPattern(layer, x - 1, y - 1, {"o.o", ".o.", "o.o"}, ink); break;
    }
}

// A hammer: handle from the hands to the head, a drum-shaped head with bands at both ends.
void paintHammer(Layer& layer, const Outfit& o, V2 hands, V2 head) {
    V2 dir = normalized(head - hands), across{-dir.y, dir.x};
    layer.paint(capsuleShape(hands - dir * 2, head - dir * 4, 2.0), o.handle);
    layer.paint(boxShape(head, across, 11.5, 7.5, 3.5, 4), o.hammer);
    for (double end : {-9.0, 9.0}) layer.paint(boxShape(head + across * end, across, 2.6, 8, 1.5, 2), o.band);
}

// A band along a circular arc around `centre`, thickening from start to end.
Shape arcBand(V2 centre, double from, double to, double radius, double w0, double w1, double inner = 1.0) {
    return [=](V2 p) -> Hit {
        V2 v = p - centre;
        double d = std::fmod(std::atan2(v.y, v.x) - from + 6 * kPi, 2 * kPi);
        double t = d / (to - from);
        if (t > 1) return Hit{};
        double w = w0 + (w1 - w0) * t, r = length(v);
        if (r < radius - w * inner || r > radius + w * (2 - inner)) return Hit{};
        return Hit{true, 0, {}};
    };
}

// A crescent along an arc: thickest in the middle of its span, pointed at both ends.
Shape crescent(V2 centre, double heading, double halfSpan, double radius, double thickness) {
    return [=](V2 p) -> Hit {
        V2 v = p - centre;
        double d = std::remainder(std::atan2(v.y, v.x) - heading, 2 * kPi);
        if (std::abs(d) > halfSpan) return Hit{};
        double w = 0.4 + thickness * std::cos(d / halfSpan * kPi / 2), r = length(v);
        if (r < radius - w * 0.5 || r > radius + w * 0.5) return Hit{};
        return Hit{true, 0, {}};
    };
}

Shape starShape(V2 c, double outer, double inner, int points, double angle) {
    std::vector<V2> poly;
    for (int i = 0; i < points * 2; ++i)
        poly.push_back(c + polar(angle + i * kPi / points, i % 2 ? inner : outer));
    return polygonShape(poly, 2);
}

const Ramp kSwooshRamp{{150, 204, 236}, {170, 218, 244}, {214, 238, 250}, {240, 250, 255}, {250, 252, 255}, {255, 255, 255}};
const Ramp kStarRamp{{176, 96, 30}, {214, 132, 40}, {246, 178, 54}, {255, 222, 76}, {255, 240, 150}, {255, 252, 220}};

void drawPlayer(Layer& layer, const Outfit& o, const PlayerPose& pose) {
    const Rig rig{{48, 60}, rad(kFacingDegrees[pose.facing])};
    const double sink = pose.drop / kTiltCos;  // world height that moves by whole screen pixels
    const double lean = pose.lean;
    std::vector<Piece> pieces;
    auto add = [&](double depth, Shape shape, const Ramp& ramp, Paint how = {}) {
        pieces.push_back({depth, [shape, &ramp, how](Layer& l) { l.paint(shape, ramp, how); }});
    };

    static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
    add(-1000, ellipseShape(rig.ground + V2{0, 1}, 14, 4.5), shadow, kGhostPaint);

    for (int s = 0; s < 2; ++s) {
        double sign = s == 0 ? -1 : 1;
        V3 foot = rig.at(sign * 4.3, 2.4 + pose.footUp[s], 1.2 + pose.footFwd[s]);
        V3 hip = rig.at(sign * 3.4, 7 - sink, pose.footFwd[s] * 0.4);
        add(19 + rig.depth(foot), rig.limb(hip, foot + V3{0, 1.5, 0}, 2.0), o.skin);
        add(20 + rig.depth(foot), rig.ball(foot, 3.3, 2.5, 4.6), o.shoe);
    }
    V3 hipsAt = rig.at(0, 8.2 - sink, 0);
    add(30 + rig.depth(hipsAt), rig.ball(hipsAt, 7.2, 3.8, 6.2), o.shorts);
    V3 chest = rig.at(0, 14.5 - sink, lean * 0.3);
    add(40 + rig.depth(chest), rig.ball(chest, 8.2, 7.4, 7.0), o.shirt);

    V3 headAt = rig.at(0, 30.5 - sink, lean);
    add(100 + rig.depth(headAt), rig.ball(headAt, 12.8, 12.0, 12.4), o.skin, Paint{.lift = 0.3});
    V3 hairAt = rig.at(0, 31.5 - sink, lean - 5.5);
    add(100 + rig.depth(hairAt), rig.ball(hairAt, 12.9, 12.2, 11.2), o.hair);
    V3 capAt = rig.at(0, 36.5 - sink, lean - 0.5);
    add(150, aboveRim(rig, rig.ball(capAt, 13.4, 8.5, 13.4), capAt, 13.4), o.cap);
    V3 brimAt = rig.at(0, 35.8 - sink, lean + 9.5);
    bool brimInFront = rig.depth(brimAt) > rig.depth(headAt);
    add(brimInFront ? 151 : 99, rig.ball(brimAt, 8.6, 1.5, 6.2), o.cap, Paint{.lift = -0.12});

    // Face marks sit on the head's surface; each shows only where that surface faces us.
    pieces.push_back({160, [&, headAt](Layer& l) {
        EyeLook look = pose.swing == 2 ? EyeLook::Shut : EyeLook::Open;
        for (double sign : {-1.0, 1.0}) {
            // Eyes sit a little inside the surface point so that side views keep them off the rim.
            V3 eye = rig.at(sign * 5.6, 27.8 - sink, lean + 11.0);
            double seen = rig.facingViewer(eye - headAt);
            if (seen > 0.15) drawEye(l, rig.screen(headAt + (eye - headAt) * 0.8), seen < 0.45, look, o.eye);
            V3 cheek = rig.at(sign * 6.6, 24.8 - sink, lean + 10.4);
            if (rig.facingViewer(cheek - headAt) > 0.3) {
                V2 p = rig.screen(cheek);
                l.put(int(std::floor(p.x)) - 1, int(std::floor(p.y)), o.blush);
                l.put(int(std::floor(p.x)), int(std::floor(p.y)), o.blush);
            }
        }
        V3 mouth = rig.at(0, 24 - sink, lean + 12.2);
        if (rig.facingViewer(mouth - headAt) > 0.3) {
            V2 p = rig.screen(mouth);
            int x = int(std::floor(p.x)), y = int(std::floor(p.y));
            l.put(x, y, o.mouth);
            if (pose.swing == 2) {
                l.put(x - 1, y, o.mouth);
                l.put(x - 1, y + 1, o.mouth);
                l.put(x, y + 1, o.mouth);
            }
        }
    }});

    if (pose.swing < 0) {
        for (int s = 0; s < 2; ++s) {
            double sign = s == 0 ? -1 : 1;
            V3 shoulder = rig.at(sign * 7, 18 - sink, 0.3), hand = rig.at(sign * 9.4, 11 - sink, 1.5 + pose.armFwd[s]);
            add(40.5 + rig.depth(hand), rig.limb(shoulder, hand, 2.6), o.shirt);
            add(40.6 + rig.depth(hand), rig.ball(hand, 2.8, 2.8, 2.8), o.skin);
        }
    } else {
        // The swing sweeps from the figure's left, across its front, to its right side.
        V2 body = rig.screen(rig.at(0, 16 - sink, 0));
        V2 target = kStrikePoint[pose.facing];
        double strike = std::atan2(target.y - body.y, target.x - body.x);
        const double angles[3] = {strike - rad(165), strike - rad(80), strike};
        const double radii[3] = {24, 28, length(target - body)};
        const double raise[3] = {9, 2, 0};
        int k = pose.swing;
        V2 dir = polar(angles[k], 1);
        V2 head = body + dir * radii[k] - V2{0, raise[k]};
        V2 hands = body + dir * 12 - V2{0, raise[k] * 0.5};
        bool front = head.y > body.y + 2;
        double armDepth = front ? 45 : 35, hammerDepth = front ? 170 : 10;
        for (double sign : {-1.0, 1.0}) {
            V2 shoulder = rig.screen(rig.at(sign * 7, 18 - sink, 0.3));
            add(armDepth, capsuleShape(shoulder, hands, 2.6), o.shirt);
        }
        add(armDepth + 0.1, circleShape(hands, 3.0), o.skin);
        if (k == 2)
            add(hammerDepth - 1, arcBand(body, strike - rad(95), strike + rad(6), radii[2], 0.6, 5.5, 1.3), kSwooshRamp,
                Paint{.shaded = false});
        if (k == 1)
            for (double off : {-5.0, 5.0})
                add(hammerDepth - 1, arcBand(body, angles[1] - rad(62), angles[1] - rad(18), radii[1] + off, 0.5, 0.7),
                    kSwooshRamp, kFlatPaint);
        pieces.push_back({hammerDepth, [&o, hands, head](Layer& l) { paintHammer(l, o, hands, head); }});
        if (k == 2) {
            V2 spark = head + dir * 9;
            spark = {std::clamp(spark.x, 7.0, 89.0), std::clamp(spark.y, 7.0, 89.0)};
            add(200, starShape(spark, 7.5, 2.6, 4, rad(45) * 0.5), kStarRamp);
        }
    }
    paintSorted(layer, std::move(pieces));
    layer.finish();
}

Image playerSheet(bool firstVariant) {
    const Outfit o = outfitFor(firstVariant);
    Image sheet(864, 768, kMagenta);
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 9; ++col) {
            PlayerPose pose;
            pose.facing = row;
            if (col == 1) pose.drop = 1;
            if (col >= 2 && col <= 5) {
                // Contact, passing, contact, passing: the passing pictures lift one foot.
                int k = col - 2;
                double stride = 4.5;
                double fwd = k == 0 ? stride : k == 2 ? -stride : 0;
                pose.footFwd[0] = fwd;
                pose.footFwd[1] = -fwd;
                if (k == 1) pose.footUp[1] = 2.5;
                if (k == 3) pose.footUp[0] = 2.5;
                pose.drop = (k % 2) ? -1 : 0;
                pose.armFwd[0] = -fwd * 0.8;
                pose.armFwd[1] = fwd * 0.8;
            }
            if (col >= 6) {
                pose.swing = col - 6;
                pose.lean = pose.swing == 0 ? -1.5 : 1.5;
                pose.drop = pose.swing == 2 ? 1 : 0;
            }
            Layer cell(96, 96);
            drawPlayer(cell, o, pose);
            cell.stampOnto(sheet, col * 96, row * 96);
        }
    return sheet;
}

// ---------------------------------------------------------------------------------------------
// Followers: three small round creatures (a bunny, a chick, a mushroom sprite)
// ---------------------------------------------------------------------------------------------

enum class Species { Bunny, Chick, Shroom };

struct Critter {
    Species kind;
    Ramp body, accent, extra, feet;
    Face face;
};

Critter critterFor(int index, bool firstVariant) {
    const Face face{{40, 30, 56}, {246, 140, 160}, {150, 60, 80}};
    switch (index) {
        case 0:
            return firstVariant ? Critter{Species::Bunny, makeRamp({250, 236, 240}), makeRamp({248, 150, 178}),
                                          makeRamp({255, 250, 250}), makeRamp({238, 206, 216}), face}
                                : Critter{Species::Bunny, makeRamp({196, 170, 232}), makeRamp({250, 164, 204}),
                                          makeRamp({250, 246, 255}), makeRamp({174, 148, 212}), face};
        case 1:
            return firstVariant ? Critter{Species::Chick, makeRamp({255, 212, 72}), makeRamp({246, 136, 52}),
                                          makeRamp({255, 236, 150}), makeRamp({246, 136, 52}), face}
                                : Critter{Species::Chick, makeRamp({140, 206, 250}), makeRamp({250, 186, 60}),
                                          makeRamp({214, 240, 255}), makeRamp({250, 166, 60}), face};
        default:
            return firstVariant ? Critter{Species::Shroom, makeRamp({246, 232, 202}), makeRamp({224, 58, 62}),
                                          makeRamp({255, 252, 246}), makeRamp({150, 102, 70}), face}
                                : Critter{Species::Shroom, makeRamp({240, 226, 192}), makeRamp({156, 98, 58}),
                                          makeRamp({250, 238, 204}), makeRamp({110, 80, 60}), face};
    }
}

enum class Mode { Stand, Lying, Flying };

struct CritterPose {
    double facing = 0;
    double drop = 0;
    double footFwd[2] = {0, 0}, footUp[2] = {0, 0};
    Mode mode = Mode::Stand;
    double spin = 0;
};

// Direction (screen) that a follower flies along for each hit direction.
constexpr V2 kFlight[8] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

void stampStar(Layer& layer, V2 at, bool big, Rgb rim, Rgb core) {
    int x = int(std::floor(at.x)), y = int(std::floor(at.y));
    auto ink = [&](char c) { return c == 'Y' ? core : rim; };
    if (big)
        stampPattern(layer, x - 2, y - 2, {"..y..", ".yYy.", "yYYYy", ".yYy.", "..y.."}, ink);
    else
        stampPattern(layer, x - 1, y - 1, {".y.", "yYy", ".y."}, ink);
}

void drawCritter(Layer& layer, const Critter& c, const CritterPose& pose) {
    Rig rig{{28, 44}, pose.facing, pose.spin, {28, 31}};
    const bool lying = pose.mode == Mode::Lying, flying = pose.mode == Mode::Flying;
    const double sink = pose.drop / kTiltCos;
    const V3 up{0, 1, 0};
    std::vector<Piece> pieces;
    auto add = [&](double depth, Shape shape, const Ramp& ramp, Paint how = {}) {
        pieces.push_back({depth, [shape, &ramp, how](Layer& l) { l.paint(shape, ramp, how); }});
    };
    static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
    if (!flying) add(-1000, ellipseShape(rig.ground + V2{0, 1}, lying ? 14 : 11, lying ? 5 : 3.8), shadow, kGhostPaint);

    // Body: the creature is mostly one round mass; lying flattens it.
    V3 bodyAt = lying ? rig.at(0, 5, 0) : rig.at(0, (c.kind == Species::Shroom ? 8 : 10.5) - sink, 0);
    double bodyW = lying ? 12.5 : c.kind == Species::Shroom ? 8.6 : 11;
    double bodyH = lying ? 5.5 : c.kind == Species::Shroom ? 8.2 : 10.2;
    double bodyD = lying ? 11.5 : c.kind == Species::Shroom ? 8.2 : 10;
    if (lying && c.kind == Species::Shroom) bodyAt = rig.at(0, 4.5, 2), bodyW = 9.5, bodyH = 4.8, bodyD = 8;
    add(40 + rig.depth(bodyAt), rig.ball(bodyAt, bodyW, bodyH, bodyD), c.body);

    for (int s = 0; s < 2; ++s) {
        double sign = s == 0 ? -1 : 1;
        V3 foot = lying ? rig.at(sign * 5.5, 5, 10) : rig.at(sign * 4.4, 2 + pose.footUp[s], 1.8 + pose.footFwd[s]);
        if (flying) foot = rig.at(sign * 5.5, 1 + (s ? 1.5 : 0), 2);
        add(lying ? 45 + rig.depth(foot) : 20 + rig.depth(foot), rig.ball(foot, 3.0, 2.2, 3.8), c.feet);
    }

    if (c.kind == Species::Bunny) {
        for (double sign : {-1.0, 1.0}) {
            V3 axis = lying ? normalized(rig.fwd() * -1 + rig.side() * sign * 0.35)
                            : normalized(up + rig.side() * sign * 0.3 + rig.fwd() * -0.15);
            V3 base = lying ? rig.at(sign * 4, 2.5, -8) : rig.at(sign * 4.4, 17.5 - sink, -1);
            V3 mid = base + axis * 7;
            V3 flatAxis = lying ? up : rig.fwd();
            V3 acrossAxis = lying ? normalized(V3{axis.z, 0, -axis.x}) : rig.side();
            add(30, rig.ellipsoid(mid, axis, 8, acrossAxis, 2.8, flatAxis, 2.2), c.body);
            if (lying || rig.facingViewer(rig.fwd()) > -0.2)
                add(30.5, rig.ellipsoid(mid + axis * 0.6 + flatAxis * 0.8, axis, 5.5, acrossAxis, 1.2, flatAxis, 1.0), c.accent,
                    kFlatPaint);
        }
        V3 tail = lying ? rig.at(0, 4, -11.5) : rig.at(0, 8 - sink, -10);
        add(40 + rig.depth(tail), rig.ball(tail, 3.2, 3.2, 3.2), c.extra);
    } else if (c.kind == Species::Chick) {
        V3 beak = lying ? rig.at(0, 7.5, 10) : rig.at(0, 9.8 - sink, 9.8);
        add(43 + rig.depth(beak), rig.ball(beak, 3.0, 2.2, 3.2), c.accent);
        for (double sign : {-1.0, 1.0}) {
            V3 wing = lying ? rig.at(sign * 12.5, 3, 0) : rig.at(sign * 10.2, 9.5 - sink, -0.5);
            V3 axis = lying ? rig.side() : normalized(up + rig.fwd() * -0.3 + rig.side() * sign * (flying ? 0.9 : 0));
            add(40 + rig.depth(wing), rig.ellipsoid(wing, axis, 4.6, normalized(V3{axis.z, 0, -axis.x}), 2.2, up, 3.6), c.body,
                Paint{.lift = -0.12});
        }
        V3 tuft = lying ? rig.at(0, 3, -12) : rig.at(0, 21 - sink, 0.5);
        V3 tuftAxis = lying ? rig.fwd() * -1 : normalized(up + rig.fwd() * 0.3);
        add(30, rig.ellipsoid(tuft, tuftAxis, 3.8, rig.side(), 1.6, normalized(V3{0, -tuftAxis.z, tuftAxis.y}), 1.6), c.body);
        V3 tuft2 = tuft + rig.side() * 1.8 + up * -0.5;
        add(30.1, rig.ellipsoid(tuft2, normalized(tuftAxis + rig.side() * 0.7), 3.0, rig.fwd(), 1.4, up, 1.4), c.body);
    } else {
        V3 capAt = lying ? rig.at(0, 5.5, -8.5) : rig.at(0, 16.5 - sink, 0);
        Shape dome = lying ? rig.ellipsoid(capAt, rig.side(), 13.5, normalized(up + rig.fwd() * -1.2), 7.5,
                                           normalized(rig.fwd() + up * 0.8), 5)
                           : aboveRim(rig, rig.ball(capAt, 14, 8, 14), capAt, 14);
        double capDepth = lying ? 35 : 60;
        add(capDepth, dome, c.accent);
        static const V3 spots[] = {{0, 0.55, 0.83},    {0.78, 0.45, 0.42},  {-0.78, 0.45, 0.42}, {0.42, 0.88, -0.2},
                                   {-0.45, 0.86, -0.2}, {0, 0.55, -0.83},    {0.85, 0.4, -0.35},  {-0.85, 0.4, -0.35}};
        if (!lying)
            for (V3 d : spots) {
                V3 n = rig.side() * d.x + up * d.y + rig.fwd() * d.z;
                if (rig.facingViewer(n) < 0.25) continue;
                V3 p = capAt + rig.side() * (d.x * 13) + up * (d.y * 7.5) + rig.fwd() * (d.z * 13);
                add(capDepth + 0.5, ellipseShape(rig.screen(p), 2.4, 1.7, pose.spin), c.extra, kFlatPaint);
            }
        if (!lying)
            for (double sign : {-1.0, 1.0}) {
                V3 arm = rig.at(sign * (flying ? 9.5 : 8.6), (flying ? 10 : 7) - sink, 0.8);
                add(40 + rig.depth(arm), rig.ball(arm, 2.3, 2.8, 2.3), c.body);
            }
    }

    // Face: eyes, cheeks and mouth on the front of the body where that side faces us.
    pieces.push_back({100, [&, bodyAt](Layer& l) {
        double eyeUp = c.kind == Species::Chick ? 2.5 : c.kind == Species::Shroom ? 0.4 : 0.5;
        EyeLook look = lying ? EyeLook::Knocked : flying ? EyeLook::Dizzy : EyeLook::Open;
        for (double sign : {-1.0, 1.0}) {
            V3 eye = lying ? bodyAt + rig.side() * (sign * 4.2) + up * 4.8 + rig.fwd() * 5
                           : bodyAt + rig.side() * (sign * 4.3) + up * eyeUp + rig.fwd() * (bodyD * 0.9);
            double seen = lying ? 1 : rig.facingViewer(eye - bodyAt);
            if (seen > 0.15) drawEye(l, rig.screen(bodyAt + (eye - bodyAt) * 0.85), seen < 0.3, look, c.face.eye);
            V3 cheek = bodyAt + rig.side() * (sign * bodyW * 0.62) + up * (eyeUp - 2.5) + rig.fwd() * (bodyD * 0.7);
            if (!lying && rig.facingViewer(cheek - bodyAt) > 0.3) {
                V2 p = rig.screen(cheek);
                l.put(int(std::floor(p.x)) - 1, int(std::floor(p.y)), c.face.blush);
                l.put(int(std::floor(p.x)), int(std::floor(p.y)), c.face.blush);
            }
        }
        if (c.kind != Species::Chick && !lying) {
            V3 mouth = bodyAt + up * (eyeUp - 2.8) + rig.fwd() * bodyD;
            if (rig.facingViewer(mouth - bodyAt) > 0.35) {
                V2 p = rig.screen(mouth);
                l.put(int(std::floor(p.x)), int(std::floor(p.y)), c.face.mouth);
                if (flying) l.put(int(std::floor(p.x)), int(std::floor(p.y)) + 1, c.face.mouth);
            }
        }
    }});

    if (lying || flying) {
        // Dizzy stars: circling above a knocked-out creature, scattered around a flying one.
        pieces.push_back({200, [&](Layer& l) {
            V2 top = lying ? rig.screen(rig.at(0, 15, 0)) : V2{28, 31};
            for (int i = 0; i < (lying ? 3 : 2); ++i) {
                double a = lying ? rad(i * 120 + 30) : pose.spin + rad(i * 150 - 40);
                V2 p = lying ? top + V2{std::cos(a) * 9, std::sin(a) * 3} : top + polar(a, 17);
                stampStar(l, p, !lying, {250, 196, 50}, {255, 250, 220});
            }
        }});
    }
    paintSorted(layer, std::move(pieces));
    layer.finish();
}

Image followerSheet(int index, bool firstVariant) {
    const Critter critter = critterFor(index, firstVariant);
    Image sheet(504, 336, kMagenta);
    auto draw = [&](int col, int row, const CritterPose& pose) {
        Layer cell(56, 56);
        drawCritter(cell, critter, pose);
        cell.stampOnto(sheet, col * 56, row * 56);
    };
    const double facings[4] = {0, rad(90), rad(180), rad(270)};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 6; ++col) {
            CritterPose pose;
            pose.facing = facings[row];
            if (col == 1) pose.drop = 1;
            if (col >= 2) {
                int k = col - 2;
                double fwd = k == 0 ? 3 : k == 2 ? -3 : 0;
                pose.footFwd[0] = fwd;
                pose.footFwd[1] = -fwd;
                if (k == 1) pose.footUp[1] = 2.5;
                if (k == 3) pose.footUp[0] = 2.5;
                pose.drop = (k % 2) ? -1 : 0;
            }
            draw(col, row, pose);
        }
        CritterPose down;
        down.facing = facings[row];
        down.mode = Mode::Lying;
        draw(8, row, down);
    }
    for (int dir = 0; dir < 8; ++dir)
        for (int frame = 0; frame < 2; ++frame) {
            V2 v = kFlight[dir];
            CritterPose pose;
            pose.mode = Mode::Flying;
            pose.facing = std::atan2(-v.x, -v.y);
            pose.spin = std::atan2(v.y, v.x) + kPi / 2 + 0.35 + frame * 1.9;
            draw(dir, 4 + frame, pose);
        }
    return sheet;
}

// ---------------------------------------------------------------------------------------------
// Flight effect: a bow wave and speed streaks ahead of a flying follower
// ---------------------------------------------------------------------------------------------

Image effectSheet() {
    Image sheet(448, 112, kMagenta);
    // The follower's centre in each cell: the cell lies ahead of it along the flight.
    const V2 origin[8] = {{28, 0}, {0, 28}, {28, 56}, {56, 28}, {0, 0}, {0, 56}, {56, 0}, {56, 56}};
    for (int dir = 0; dir < 8; ++dir)
        for (int frame = 0; frame < 2; ++frame) {
            Layer cell(56, 56);
            V2 v = normalized(kFlight[dir]), across{-v.y, v.x};
            V2 o = origin[dir];
            double heading = std::atan2(v.y, v.x);
            double push = frame * 5;
            // Bow wave: a crescent bulging forward, open towards the follower, and a thin echo.
            cell.paint(crescent(o - v * 6, heading, rad(62), 22 + push, 3.6), kSwooshRamp, Paint{.shaded = false});
            cell.paint(arcBand(o - v * 6, heading - rad(36), heading + rad(36), 30 + push, 0.9, 0.9), kSwooshRamp, kFlatPaint);
            // Speed streaks beside the follower, pointing along the flight.
            for (double side : {-1.0, 1.0}) {
                V2 a = o + across * (side * 15) + v * (2 + push * 0.6), b = a + v * (frame ? 13 : 10);
                cell.paint(capsuleShape(a, b, 0.7, 1.2), kSwooshRamp, Paint{.shaded = false});
            }
            V2 tip = o + v * (42 + push);
            tip = {std::clamp(tip.x, 6.0, 50.0), std::clamp(tip.y, 6.0, 50.0)};
            cell.paint(starShape(tip, frame ? 6.5 : 4.5, 1.8, 4, frame ? 0 : rad(45)), kStarRamp);
            cell.finish();
            cell.stampOnto(sheet, dir * 56, frame * 56);
        }
    return sheet;
}

// ---------------------------------------------------------------------------------------------
// The tree: a leafy crown on a trunk that topples to the right about its foot
// ---------------------------------------------------------------------------------------------

// Round leafy clump with a scalloped edge.
Shape clumpShape(V2 c, double r, double phase) {
    return sdfShape(
        [=](V2 p) {
            V2 d = p - c;
            return length(d) - r * (1 + 0.07 * std::sin(7 * std::atan2(d.y, d.x) + phase));
        },
        r);
}

void drawTree(Layer& layer, double angle, bool fallen) {
    const V2 foot{36, 116};
    // (u along the trunk upwards, v to its right) to picture coordinates.
    auto place = [&](double u, double v) { return foot + rotated(V2{v, -u}, angle); };

    static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
    layer.paint(ellipseShape({foot.x + 10 + std::sin(angle) * 62, foot.y + 3}, 30, 6.5), shadow, kGhostPaint);

    const Ramp bark = makeRamp({136, 90, 56});
    std::vector<V2> trunk;
    for (auto [u, v] : std::initializer_list<std::pair<double, double>>{
             {-1, -11.5}, {4, -6.5}, {22, -5}, {46, -3.8}, {64, -3}, {64, 3.5}, {46, 4.6}, {22, 5.6}, {4, 7}, {-1, 12}})
        trunk.push_back(place(u, v));
    layer.paint(polygonShape(trunk, 5), bark, Paint{.lift = 0.05});
    Paint groove{.outline = false, .shaded = false};
    const Ramp grooveRamp = flatRamp(bark.dark, bark.dark);
    layer.paint(capsuleShape(place(6, -1.5), place(30, -1), 0.55), grooveRamp, groove);
    layer.paint(capsuleShape(place(26, 2.2), place(48, 1.8), 0.55), grooveRamp, groove);
    layer.paint(capsuleShape(place(2, 3.5), place(12, 2.8), 0.55), grooveRamp, groove);
    layer.paint(capsuleShape(place(42, 2), place(58, 16), 2.6, 1.6), bark);
    layer.paint(capsuleShape(place(46, -2), place(58, -13), 2.3, 1.4), bark);

    struct Clump {
        double u, v, r;
        int tone;
    };
    static const Clump crown[] = {
        {86, 0, 15, 0},  {80, 26, 14, 0}, {70, -14, 13, 0}, {60, 32, 12, 0}, {93, 16, 12, 0},
        {74, 10, 17, 1}, {60, -5, 14, 1}, {58, 24, 14, 1},  {87, 8, 13, 1},
        {50, 8, 13, 2},  {64, 21, 12, 2}, {67, -2, 12, 2},  {79, -5, 11, 2}, {78, 24, 11, 2},
    };
    const Ramp tones[3] = {makeRamp({44, 118, 64}), makeRamp({68, 148, 66}), makeRamp({98, 174, 74})};
    // A fallen crown rests on the ground: whatever would sink below it is pushed up and squashed.
    auto crownPlace = [&](double u, double v) {
        V2 p = place(u, v);
        if (fallen && p.y > foot.y - 4) p.y = foot.y - 4 + (p.y - (foot.y - 4)) * 0.4;
        return p;
    };
    int n = 0;
    for (const Clump& c : crown) {
        Paint leaf{.lift = c.tone == 0 ? -0.12 : 0.0, .texture = 0.32, .seed = uint32_t(7 + c.tone)};
        layer.paint(clumpShape(crownPlace(c.u, c.v), c.r, n * 1.7 + angle * 7), tones[c.tone], leaf);
        ++n;
    }
    const Ramp apple = makeRamp({226, 60, 58});
    for (auto [u, v] : std::initializer_list<std::pair<double, double>>{{56, 14}, {70, 26}, {74, -6}, {88, 18}})
        layer.paint(circleShape(crownPlace(u, v), 2.4), apple);

    if (fallen) {
        // Leaves shaken loose and a puff of dust where the crown hit the ground.
        for (int i = 0; i < 9; ++i) {
            V2 at{66 + noise01(i, 1, 31) * 72, 120 + noise01(i, 2, 31) * 18};
            layer.paint(ellipseShape(at, 2.6, 1.5, noise01(i, 3, 31) * kPi), tones[i % 3]);
        }
        const Ramp dust = makeRamp({222, 208, 172});
        for (auto [x, y, r] : std::initializer_list<std::array<double, 3>>{{72, 128, 5}, {80, 131, 6}, {128, 130, 5.5}, {136, 126, 4}})
            layer.paint(circleShape({x, y}, r), dust, Paint{.lift = 0.2});
    }
    layer.finish();
}

Image treeSheet() {
    Image sheet(144, 576, kMagenta);
    const double tilt[4] = {0, 24, 52, 74};
    for (int f = 0; f < 4; ++f) {
        Layer frame(144, 144);
        drawTree(frame, rad(tilt[f]), f == 3);
        frame.stampOnto(sheet, 0, 144 * f);
    }
    return sheet;
}

// ---------------------------------------------------------------------------------------------
// Range circles (black is transparent in these)
// ---------------------------------------------------------------------------------------------

Image rangeCircle(int size, double radius, Rgb light, Rgb deep, int dashes) {
    Image img(size, size, kBlack);
    const double c = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double dx = x + 0.5 - c, dy = y + 0.5 - c, d = std::sqrt(dx * dx + dy * dy);
            if (d < radius - 2 || d >= radius + 1) continue;
            if (dashes > 0) {
                double turn = (std::atan2(dy, dx) + kPi) / (2 * kPi) * dashes;
                if (turn - std::floor(turn) > 0.62) continue;
            }
            img.at(x, y) = d < radius - 1 ? deep : light;
        }
    return img;
}

// ---------------------------------------------------------------------------------------------
// Tiles: 8 x 8 pixels, three to a row; value 2 (grass) is the only one the player walks on
// ---------------------------------------------------------------------------------------------

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

bool isShore(int tile) { return (tile >= kShoreN && tile <= kShoreE) || (tile >= kShoreNW && tile <= kShoreSE) || (tile >= kNookNW && tile <= kNookSE); }

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

Image tileSheet() {
    const int rows = (kTileKinds + 2) / 3;
    Image sheet(24, 8 * rows, kBlack);
    for (int t = 0; t < kTileKinds; ++t)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) sheet.at(8 * (t % 3) + x, 8 * (t / 3) + y) = tilePixel(t, x, y);
    return sheet;
}

// ---------------------------------------------------------------------------------------------
// The field: a meadow ringed by hedges, with ponds, rocks, a fence and a fenced flower garden
// ---------------------------------------------------------------------------------------------

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

// The meadow must stay open where the game starts and plays: the player's feet at the start,
// the followers' places and the ground around the tree's foot.
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

// ---------------------------------------------------------------------------------------------
// Overlay over the map: bushier hedges, boulders, stumps, lily pads, tufts near the edges, a
// frame and a name plate. The middle of the field stays clear.
// ---------------------------------------------------------------------------------------------

// Glyphs of the name plate, '#' is ink.
using Glyph = std::vector<const char*>;
const std::vector<Glyph>& titleGlyphs() {
    static const std::vector<Glyph> glyphs = {
        {"....#...#.", "....#..#.#", "....#...#.", "#########.", "....#.....",
         "..#.#.#...", ".#..#..#..", "#...#...#.", "....#.....", "...##....."},
        {"..........", ".#######..", ".......#..", ".......#..", ".......#..",
         ".......#..", ".......#..", ".......#..", ".#######..", ".........."},
        {"...#......", "..#######.", ".#......#.", "#..#...#..", "....#.#...",
         ".....#....", "....#.....", "...#......", ".##.......", ".........."},
        {"..........", "##........", "..#......#", ".........#", "........#.",
         ".......#..", ".....##...", "...##.....", "###.......", ".........."},
        {".......#.#", "...#...#.#", "...#.#....", "..#...#...", "..#....#..",
         ".#......#.", ".#.......#", "#........#", "..........", ".........."},
        {"##", "##", "##", "##", "##", "##", "..", "##", "..", ".."},
    };
    return glyphs;
}

class OverlayPainter {
public:
    explicit OverlayPainter(const Field& field) : field_(field), layer_(800, 600) {}

    Image paint() {
        hedges();
        boulders();
        stumps();
        pondDetails();
        edgeTufts();
        frame();
        namePlate();
        layer_.finish();
        Image img(800, 600, kMagenta);
        layer_.stampOnto(img, 0, 0);
        img.at(0, 0) = kMagenta;  // the corner pixel is the transparent colour
        return img;
    }

private:
    static Box around(V2 c, double r) {
        return {int(c.x - r) - 2, int(c.y - r) - 2, int(c.x + r) + 3, int(c.y + r) + 3};
    }

    // Hedges get a clump per tile, painted top to bottom so lower clumps overlap upper ones,
    // and a dithered shadow on the grass below them.
    void hedges() {
        const Ramp leaves = makeRamp({52, 132, 68});
        static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kHedge) continue;
                if (field_.at(c, r + 1) == kGrass)
                    layer_.paint(ellipseShape({c * 8 + 4.0, r * 8 + 10.0}, 6, 2.5), shadow, kGhostPaint,
                                 {c * 8 - 4, r * 8 + 6, c * 8 + 12, r * 8 + 14});
            }
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kHedge) continue;
                V2 centre{c * 8 + 4 + (noise01(c, r, 11) - 0.5) * 3, r * 8 + 4 + (noise01(c, r, 12) - 0.5) * 3};
                double radius = 5.6 + noise01(c, r, 13) * 1.4;
                Paint how{.texture = 0.3, .seed = 21};
                layer_.paint(clumpShape(centre, radius, noise01(c, r, 14) * 6), leaves, how, around(centre, radius * 1.1));
                if (noise01(c, r, 15) < 0.05) {
                    // A few berries.
                    layer_.put(int(centre.x) - 1, int(centre.y) - 1, {230, 70, 80});
                    layer_.put(int(centre.x) + 1, int(centre.y), {230, 70, 80});
                }
            }
    }

    void boulders() {
        const Ramp stone = makeRamp({150, 150, 164});
        static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kRock) continue;
                Rig rig{{c * 8 + 4 + (noise01(c, r, 16) - 0.5) * 3, r * 8 + 7.0}};
                double w = 5.5 + noise01(c, r, 17) * 2, h = 5 + noise01(c, r, 18) * 2.5;
                layer_.paint(ellipseShape(rig.ground, w + 1.5, 2.5), shadow, kGhostPaint, around(rig.ground, 10));
                layer_.paint(rig.ball({0, h * 0.6, 0}, w, h, w * 0.8), stone, Paint{.texture = 0.25, .seed = 3},
                             around(rig.ground, 12));
            }
    }

    void stumps() {
        const Ramp bark = makeRamp({140, 92, 58}), wood = makeRamp({214, 170, 114});
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kStump) continue;
                V2 base{c * 8 + 4.0, r * 8 + 7.0};
                Box box = around(base, 12);
                for (double side : {-1.0, 1.0})
                    layer_.paint(ellipseShape(base + V2{side * 6, 0}, 2.6, 1.6), bark, Paint{}, box);
                layer_.paint(boxShape(base - V2{0, 3.5}, {1, 0}, 6, 4.5, 2, 3), bark, Paint{}, box);
                layer_.paint(ellipseShape(base - V2{0, 7.5}, 6, 2.8), wood, Paint{.lift = 0.2}, box);
                layer_.put(int(base.x) - 1, int(base.y) - 8, wood.dark);
                layer_.put(int(base.x), int(base.y) - 8, wood.dark);
            }
    }

    void pondDetails() {
        const Ramp pad = makeRamp({84, 168, 84});
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kWater) continue;
                double roll = noise01(c, r, 19);
                V2 centre{c * 8 + 4.0, r * 8 + 4.0};
                if (roll < 0.05) {
                    // Lily pad with a notch, sometimes with a flower.
                    Shape leaf = keepWhere(ellipseShape(centre, 4.5, 2.8), [centre](V2 p) {
                        V2 d = p - centre;
                        return !(d.x > 0 && std::abs(d.y) < d.x * 0.45);
                    });
                    layer_.paint(leaf, pad, Paint{}, around(centre, 6));
                    if (roll < 0.025) {
                        layer_.put(int(centre.x) - 1, int(centre.y) - 1, {250, 160, 196});
                        layer_.put(int(centre.x), int(centre.y) - 2, {252, 200, 220});
                        layer_.put(int(centre.x) + 1, int(centre.y) - 1, {250, 160, 196});
                        layer_.put(int(centre.x), int(centre.y) - 1, {252, 222, 90});
                    }
                } else if (roll < 0.16) {
                    // Glints on the water.
                    int x = c * 8 + 1 + int(noise01(c, r, 20) * 4), y = r * 8 + 2 + int(noise01(c, r, 21) * 4);
                    for (int i = 0; i < 3; ++i) layer_.put(x + i, y, tileInk('l'));
                    layer_.put(x + 1, y, tileInk('f'));
                }
            }
    }

    // Grass tufts and tiny flowers, only on grass near the hedges and never in the open middle.
    void edgeTufts() {
        const Rgb blade = tileInk('h'), dark = tileInk('g');
        const Rgb petals[3] = {{250, 246, 236}, {250, 214, 82}, {242, 150, 190}};
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                if (field_.at(c, r) != kGrass) continue;
                bool openMiddle = c >= 26 && c <= 80 && r >= 22 && r <= 68;
                if (openMiddle || noise01(c, r, 22) > 0.09) continue;
                int x = c * 8 + 1 + int(noise01(c, r, 23) * 4), y = r * 8 + 2 + int(noise01(c, r, 24) * 3);
                if (noise01(c, r, 25) < 0.6) {
                    stampPattern(layer_, x, y, {"h.h.", "hgh.", ".gg."}, [&](char k) { return k == 'h' ? blade : dark; });
                } else {
                    Rgb petal = petals[int(noise01(c, r, 26) * 3)];
                    stampPattern(layer_, x, y, {".p.", "pcp", ".p.", ".g."},
                                 [&](char k) { return k == 'p' ? petal : k == 'c' ? Rgb{250, 200, 60} : dark; });
                }
            }
    }

    // A thin wooden frame along the screen edge with round knobs at the corners.
    void frame() {
        const Rgb dark{64, 42, 30}, wood{160, 108, 64}, light{212, 162, 104};
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                int d = std::min({x, y, 799 - x, 599 - y});
                if (d > 3) continue;
                int cx = std::min(x, 799 - x), cy = std::min(y, 599 - y);
                if (cx + cy < 2) continue;  // rounded corners keep the corner pixel clear
                layer_.put(x, y, d == 0 || d == 3 ? dark : d == 1 ? light : wood);
            }
        const Ramp knob = makeRamp({176, 120, 72});
        for (V2 c : {V2{6, 6}, V2{794, 6}, V2{6, 594}, V2{794, 594}}) layer_.paint(circleShape(c, 4.5), knob, Paint{}, around(c, 6));
    }

    void namePlate() {
        const Ramp wood = makeRamp({186, 132, 80});
        const int x0 = 16, y0 = 577, width = 88, height = 18;
        layer_.paint(boxShape({x0 + width / 2.0, y0 + height / 2.0}, {1, 0}, width / 2.0, height / 2.0, 3, 3), wood,
                     Paint{.lift = 0.1}, {x0 - 2, y0 - 2, x0 + width + 2, y0 + height + 2});
        const Rgb ink{252, 248, 232}, rim{74, 46, 30};
        int x = x0 + 7;
        for (const Glyph& g : titleGlyphs()) {
            int w = int(std::string(g[0]).size());
            auto inked = [&](int gx, int gy) { return gx >= 0 && gy >= 0 && gx < w && gy < int(g.size()) && g[gy][gx] == '#'; };
            for (int gy = -1; gy <= int(g.size()); ++gy)
                for (int gx = -1; gx <= w; ++gx) {
                    if (inked(gx, gy))
                        layer_.put(x + gx, y0 + 4 + gy, ink);
                    else if (inked(gx - 1, gy) || inked(gx + 1, gy) || inked(gx, gy - 1) || inked(gx, gy + 1) || inked(gx + 1, gy + 1) ||
                             inked(gx - 1, gy - 1) || inked(gx + 1, gy - 1) || inked(gx - 1, gy + 1))
                        layer_.put(x + gx, y0 + 4 + gy, rim);
                }
            x += w + 3;
        }
    }

    const Field& field_;
    Layer layer_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: artgen <outdir>\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path out = argv[1];
    std::error_code ec;
    fs::create_directories(out / "BMP", ec);
    if (ec) fail("cannot create " + (out / "BMP").string());
    auto corner = [&](const std::string& name, const Image& img) {
        if (!(img.at(0, 0) == kMagenta)) fail(name + ": the corner pixel must hold the transparent colour");
        requireCornerKeySafe(img, name);
        writeBmp(out / "BMP" / name, img);
    };
    auto blackKeyed = [&](const std::string& name, const Image& img) {
        requireBlackKeySafe(img, name);
        writeBmp(out / "BMP" / name, img);
    };
    const Field field = buildField();
    requirePlayAreaOpen(field);
    writeFile(out / "map.txt", mapText(field));
    blackKeyed("map_data.BMP", tileSheet());
    corner("bg.BMP", OverlayPainter(field).paint());
    blackKeyed("en.BMP", rangeCircle(152, 70, {176, 238, 250}, {96, 184, 214}, 0));
    blackKeyed("en1.BMP", rangeCircle(300, 145, {252, 240, 150}, {214, 186, 80}, 40));
    corner("obj_treefall_00.BMP", treeSheet());
    corner("hokou1.BMP", playerSheet(true));
    corner("hokou.BMP", playerSheet(false));
    for (int i = 0; i < 3; ++i) {
        corner("damenzu1_0" + std::to_string(i) + ".bmp", followerSheet(i, true));
        corner("damenzu_0" + std::to_string(i) + ".bmp", followerSheet(i, false));
    }
    corner("damenzu_ef00.bmp", effectSheet());
    return 0;
}
