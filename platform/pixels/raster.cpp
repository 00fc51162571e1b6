// Scan conversion for the canvas and the text renderer: contour filling,
// round-pen strokes and clipped one-pixel lines.
#include "platform/pixels/raster.h"

#include "platform/pixels/blit_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace plat::raster {
namespace {

double SignedArea(const std::vector<PointF>& pts) {
    double area = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const PointF& a = pts[i];
        const PointF& b = pts[(i + 1) % pts.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return area / 2;
}

// Strokes are unions of pieces; giving every piece the same turning sense
// lets the non-zero rule merge them.
std::vector<PointF> Clockwise(std::vector<PointF> pts) {
    if (SignedArea(pts) < 0) std::reverse(pts.begin(), pts.end());
    return pts;
}

std::vector<PointF> Disc(PointF centre, double radius) {
    const int corners = std::clamp(static_cast<int>(radius * 4), 8, 64);
    std::vector<PointF> pts;
    pts.reserve(corners);
    for (int i = 0; i < corners; ++i) {
        const double a = 2 * std::numbers::pi * i / corners;
        pts.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)});
    }
    return pts;
}

// First integer >= v, clamped to a range that fits an int.
int CeilClamped(double v) {
    constexpr double kLimit = 1 << 30;
    return static_cast<int>(std::ceil(std::clamp(v, -kLimit, kLimit)));
}

}  // namespace

void PathFiller::AddEdge(PointF a, PointF b) {
    if (a.y == b.y) return;
    if (edges_.empty()) {
        top_ = std::min(a.y, b.y);
        bottom_ = std::max(a.y, b.y);
    } else {
        top_ = std::min({top_, a.y, b.y});
        bottom_ = std::max({bottom_, a.y, b.y});
    }
    if (a.y < b.y)
        edges_.push_back({a.x, a.y, b.x, b.y, +1});
    else
        edges_.push_back({b.x, b.y, a.x, a.y, -1});
}

void PathFiller::AddContour(const std::vector<PointF>& points) {
    for (std::size_t i = 0; i < points.size(); ++i) AddEdge(points[i], points[(i + 1) % points.size()]);
}

void PathFiller::AddContour(const Point* points, int count) {
    std::vector<PointF> pts;
    pts.reserve(count > 0 ? count : 0);
    for (int i = 0; i < count; ++i) pts.push_back({static_cast<double>(points[i].x), static_cast<double>(points[i].y)});
    AddContour(pts);
}

void PathFiller::AddRectangle(double left, double top, double right, double bottom) {
    AddContour(std::vector<PointF>{{left, top}, {right, top}, {right, bottom}, {left, bottom}});
}

void PathFiller::AddStroke(PointF from, PointF to, double width) {
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double length = std::hypot(dx, dy);
    if (length == 0 || width <= 0) return;
    const double half = width / 2;
    const double nx = -dy / length * half, ny = dx / length * half;
    AddContour(Clockwise({{from.x + nx, from.y + ny},
                          {to.x + nx, to.y + ny},
                          {to.x - nx, to.y - ny},
                          {from.x - nx, from.y - ny}}));
    AddContour(Clockwise(Disc(from, half)));
    AddContour(Clockwise(Disc(to, half)));
}

void PathFiller::Fill(const Rect& clip, bool winding, const SpanSink& sink) const {
    if (edges_.empty() || IsEmpty(clip)) return;
    const int firstRow = std::max(clip.top, CeilClamped(top_));
    const int endRow = std::min(clip.bottom, CeilClamped(bottom_));
    struct Crossing {
        double x;
        int direction;
    };
    std::vector<Crossing> crossings;
    for (int y = firstRow; y < endRow; ++y) {
        crossings.clear();
        for (const Edge& e : edges_) {
            if (y < e.y0 || y >= e.y1) continue;
            crossings.push_back({e.x0 + (y - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.direction});
        }
        std::sort(crossings.begin(), crossings.end(), [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        int inside = 0;
        double spanStart = 0;
        for (const Crossing& c : crossings) {
            const bool wasInside = inside != 0;
            inside = winding ? inside + c.direction : inside ^ 1;
            const bool isInside = inside != 0;
            if (!wasInside && isInside) {
                spanStart = c.x;
            } else if (wasInside && !isInside) {
                const int x0 = std::max(clip.left, CeilClamped(spanStart));
                const int x1 = std::min(clip.right, CeilClamped(c.x));
                if (x0 < x1) sink(y, x0, x1);
            }
        }
    }
}

void ThinLine(int x1, int y1, int x2, int y2, const Rect& clip, const PixelSink& sink) {
    const std::int64_t dx = static_cast<std::int64_t>(x2) - x1, dy = static_cast<std::int64_t>(y2) - y1;
    if ((dx == 0 && dy == 0) || IsEmpty(clip)) return;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    // Walk the major axis; the minor coordinate of step i is the nearest to
    // the ideal line (halves rounded up), as the classic stepping gives.
    const std::int64_t major = xMajor ? std::llabs(dx) : std::llabs(dy);
    const std::int64_t minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const int majorStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const int minorStep = (xMajor ? dy : dx) > 0 ? 1 : -1;
    const std::int64_t start = xMajor ? x1 : y1;
    const std::int64_t lo = xMajor ? clip.left : clip.top;
    const std::int64_t hi = xMajor ? clip.right : clip.bottom;
    // Steps whose major coordinate lies in [lo, hi).
    std::int64_t first = majorStep > 0 ? lo - start : start - hi + 1;
    std::int64_t last = majorStep > 0 ? hi - start : start - lo + 1;
    first = std::max<std::int64_t>(first, 0);
    last = std::min(last, major);
    for (std::int64_t i = first; i < last; ++i) {
        // 128-bit: i and minor may both be near 2^32.
        const auto offset = static_cast<std::int64_t>((__int128{2} * i * minor + major) / (__int128{2} * major));
        const std::int64_t a = start + majorStep * i;
        const std::int64_t b = (xMajor ? y1 : x1) + minorStep * offset;
        const std::int64_t x = xMajor ? a : b, y = xMajor ? b : a;
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            sink(static_cast<int>(x), static_cast<int>(y));
    }
}

namespace {

// n pixels of Bpp bytes from p; stores of a fixed size, so that a run costs
// a few instructions rather than a call per pixel.
template <int Bpp>
void FillPixels(std::uint8_t* p, int n, std::uint32_t value) {
    if constexpr (Bpp == 2) {
        const auto v = static_cast<std::uint16_t>(value);
        for (int i = 0; i < n; ++i) std::memcpy(p + 2 * i, &v, 2);
    } else if constexpr (Bpp == 4) {
        for (int i = 0; i < n; ++i) std::memcpy(p + 4 * i, &value, 4);
    } else {
        const auto b0 = static_cast<std::uint8_t>(value), b1 = static_cast<std::uint8_t>(value >> 8),
                   b2 = static_cast<std::uint8_t>(value >> 16);  // little-endian pixels
        for (int i = 0; i < n; ++i, p += 3) p[0] = b0, p[1] = b1, p[2] = b2;
    }
}

template <int Bpp>
void FillSpansOf(Surface& target, const Span* spans, std::size_t count, int dx, int dy, std::uint32_t value) {
    std::uint8_t* origin = target.pixels + static_cast<std::ptrdiff_t>(dy) * target.pitch +
                           static_cast<std::ptrdiff_t>(dx) * Bpp;
    for (std::size_t i = 0; i < count; ++i) {
        const Span& s = spans[i];
        FillPixels<Bpp>(origin + static_cast<std::ptrdiff_t>(s.row) * target.pitch +
                            static_cast<std::ptrdiff_t>(s.x0) * Bpp,
                        s.x1 - s.x0, value);
    }
}

}  // namespace

void FillSpan(Surface& target, int y, int x0, int x1, std::uint32_t value) {
    const Span span{0, x0, x1};
    FillSpans(target, &span, 1, 0, y, value);
}

void FillMaskRows(Surface& target, const std::uint64_t* masks, int rows, int x, int y, std::uint32_t value) {
    MarkWritten(target);
    const int bytes = target.format.bytesPerPixel;
    std::uint8_t* origin =
        target.pixels + static_cast<std::ptrdiff_t>(y) * target.pitch + static_cast<std::ptrdiff_t>(x) * bytes;
    kernels::MaskedFill(origin, target.pitch, masks, rows, bytes, value);
}

void FillSpans(Surface& target, const Span* spans, std::size_t count, int dx, int dy, std::uint32_t value) {
    MarkWritten(target);
    switch (target.format.bytesPerPixel) {
        case 2: FillSpansOf<2>(target, spans, count, dx, dy, value); break;
        case 4: FillSpansOf<4>(target, spans, count, dx, dy, value); break;
        default: FillSpansOf<3>(target, spans, count, dx, dy, value); break;
    }
}

Rect Intersect(const Rect& a, const Rect& b) {
    Rect r;
    r.left = std::max(a.left, b.left);
    r.top = std::max(a.top, b.top);
    r.right = std::min(a.right, b.right);
    r.bottom = std::min(a.bottom, b.bottom);
    return r;
}

}  // namespace plat::raster
