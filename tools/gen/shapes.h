// Geometry and shapes: 2- and 3-vectors, and shapes as functions that say
// whether a point is inside, how far from the crest to the rim it lies and
// which way is outward there (shading treats every shape as a cushion).
#pragma once
#include <cmath>
#include <functional>
#include <vector>

namespace gen {

struct V2 {
    double x = 0, y = 0;
};
inline V2 operator+(V2 a, V2 b) { return {a.x + b.x, a.y + b.y}; }
inline V2 operator-(V2 a, V2 b) { return {a.x - b.x, a.y - b.y}; }
inline V2 operator*(V2 a, double k) { return {a.x * k, a.y * k}; }
inline double dot(V2 a, V2 b) { return a.x * b.x + a.y * b.y; }
inline double length(V2 a) { return std::sqrt(dot(a, a)); }
inline V2 normalized(V2 a) {
    double l = length(a);
    return l > 1e-12 ? a * (1 / l) : V2{0, 0};
}
inline V2 rotated(V2 a, double angle) {
    double c = std::cos(angle), s = std::sin(angle);
    return {a.x * c - a.y * s, a.x * s + a.y * c};
}
inline V2 rotatedAbout(V2 p, V2 pivot, double angle) { return pivot + rotated(p - pivot, angle); }
inline V2 polar(double angle, double r) { return {std::cos(angle) * r, std::sin(angle) * r}; }

struct V3 {
    double x = 0, y = 0, z = 0;  // x right, y up, z towards the viewer
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 normalized(V3 a) {
    double l = std::sqrt(dot(a, a));
    return l > 1e-12 ? a * (1 / l) : V3{0, 0, 0};
}

// What a shape says about one sample point: inside or not, how far from its crest (0) to its

struct Hit {
    bool in = false;
    double rim = 0;
    V2 out{};
};
using Shape = std::function<Hit(V2)>;

// Ellipse given by its centre and covariance-like matrix [[a, b], [b, c]].
Shape ellipseFromMatrix(V2 centre, double a, double b, double c);
Shape ellipseShape(V2 centre, double rx, double ry, double angle = 0);
Shape circleShape(V2 centre, double r);
// Segment with round ends; the radius may change along it.
Shape capsuleShape(V2 a, V2 b, double ra, double rb);
Shape capsuleShape(V2 a, V2 b, double r);
// Any signed distance (negative inside); the cushion is `bevel` pixels wide.
Shape sdfShape(std::function<double(V2)> sdf, double bevel);
// Rounded box centred at c with its long axis along `axis`.
Shape boxShape(V2 c, V2 axis, double halfU, double halfV, double corner, double bevel);
double polygonSdf(const std::vector<V2>& poly, V2 p);
Shape polygonShape(std::vector<V2> poly, double bevel);
Shape keepWhere(Shape s, std::function<bool(V2)> keep);

}  // namespace gen
