// Scan conversion shared by the canvas and the text renderer: filled
// contours (even-odd or winding), wide pen strokes built as contours, and
// one-pixel lines. Coordinates are sampled at integer points, so a contour
// through (0,0)-(10,10) covers pixels 0..9 on both axes; every span is
// clipped before it reaches the caller, whatever the coordinates.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/pixels/surface.h"
#include "platform/os/types.h"

namespace plat::raster {

struct PointF {
    double x = 0, y = 0;
};

// Receives one horizontal run of pixels [x0, x1) on row y, inside the clip.
using SpanSink = std::function<void(int y, int x0, int x1)>;
// Receives one pixel inside the clip.
using PixelSink = std::function<void(int x, int y)>;

class PathFiller {
public:
    void AddContour(const std::vector<PointF>& points);
    void AddContour(const Point* points, int count);
    // A quadrilateral or any closed run of corners, for convenience.
    void AddRectangle(double left, double top, double right, double bottom);
    // The area a round pen of the given width sweeps along a segment.
    void AddStroke(PointF from, PointF to, double width);
    bool Empty() const { return edges_.empty(); }
    // Fills the contours: winding true gives the non-zero rule, false the
    // even-odd (alternate) rule.
    void Fill(const Rect& clip, bool winding, const SpanSink& sink) const;

private:
    struct Edge {
        double x0, y0, x1, y1;
        int direction;  // +1 downwards, -1 upwards
    };
    void AddEdge(PointF a, PointF b);
    std::vector<Edge> edges_;
    double top_ = 0, bottom_ = 0;
};

// A one-pixel line from (x1, y1) towards (x2, y2), the end point excluded.
// Only the part inside the clip is walked, so far-away end points cost
// nothing.
void ThinLine(int x1, int y1, int x2, int y2, const Rect& clip, const PixelSink& sink);

// Writes one pixel value over [x0, x1) of row y; the caller has clipped.
void FillSpan(Surface& target, int y, int x0, int x1, std::uint32_t value);

// One run of pixels [x0, x1) on a row, relative to an origin (a glyph's
// coverage is a list of them).
struct Span {
    int row, x0, x1;
};
// Writes one pixel value over every span moved by (dx, dy). The caller has
// checked that all of them lie inside the surface.
void FillSpans(Surface& target, const Span* spans, std::size_t count, int dx, int dy, std::uint32_t value);

// Writes one pixel value at every set bit of rows of ink masks: bit i of
// masks[r] is pixel (x + i, y + r). The caller has checked that every set
// pixel lies inside the surface.
void FillMaskRows(Surface& target, const std::uint64_t* masks, int rows, int x, int y, std::uint32_t value);

// Intersection of two rectangles (may come out empty).
Rect Intersect(const Rect& a, const Rect& b);
inline bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }
inline Rect Bounds(const Surface& s) { return Rect{0, 0, s.width, s.height}; }

}  // namespace plat::raster
