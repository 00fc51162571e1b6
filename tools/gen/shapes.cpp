// Shapes of the generators.
#include "tools/gen/shapes.h"

#include <algorithm>

namespace gen {

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

Shape ellipseShape(V2 centre, double rx, double ry, double angle) {
    double c = std::cos(angle), s = std::sin(angle);
    double a = rx * rx * c * c + ry * ry * s * s;
    double b = (rx * rx - ry * ry) * c * s;
    double cc = rx * rx * s * s + ry * ry * c * c;
    return ellipseFromMatrix(centre, a, b, cc);
}

Shape circleShape(V2 centre, double r) { return ellipseShape(centre, r, r); }

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

Shape sdfShape(std::function<double(V2)> sdf, double bevel) {
    return [=](V2 p) {
        double d = sdf(p);
        if (d > 0) return Hit{};
        double e = 0.5;
        V2 g{sdf({p.x + e, p.y}) - sdf({p.x - e, p.y}), sdf({p.x, p.y + e}) - sdf({p.x, p.y - e})};
        return Hit{true, std::clamp(1 + d / bevel, 0.0, 1.0), normalized(g)};
    };
}

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

}  // namespace gen
