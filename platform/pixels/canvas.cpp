// The drawing canvas: pens, brushes and hatches on a surface, shapes through
// the shared scan converter, pixels, inversion, scaled copies, and text
// through the font module.
#include "platform/pixels/canvas.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/pixels/raster.h"

namespace plat {
namespace {

constexpr int kMaxBezierSteps = 1024;

// How a brush paints, in the surface's own pixel values.
struct Fill {
    BrushStyle style = BrushStyle::None;
    std::uint32_t pixel = 0;
    bool gapsOpaque = false;
    std::uint32_t gapPixel = 0;
};

bool OnDiagonalCross(int x, int y) {
    const int cx = x & 7, cy = y & 7;
    return cx == cy || cx == 7 - cy;
}

void PaintSpan(Surface& s, int y, int x0, int x1, const Fill& fill) {
    if (fill.style == BrushStyle::Solid) {
        raster::FillSpan(s, y, x0, x1, fill.pixel);
        return;
    }
    for (int x = x0; x < x1; ++x) {
        if (OnDiagonalCross(x, y)) PutPixel(s, x, y, fill.pixel);
        else if (fill.gapsOpaque) PutPixel(s, x, y, fill.gapPixel);
    }
}

std::uint32_t ColorOf(const PixelFormat& fmt, std::uint32_t pixel) {
    std::uint8_t r, g, b;
    UnmapRGB(fmt, pixel, r, g, b);
    return r | (g << 8) | (static_cast<std::uint32_t>(b) << 16);
}

int PenWidth(const Pen& pen) { return std::max(1, pen.width); }

// The points of a cubic Bezier curve from p0 to p3, p0 excluded.
void FlattenCurve(const Point* p, std::vector<Point>& out) {
    auto dist = [](const Point& a, const Point& b) { return std::hypot(double(b.x) - a.x, double(b.y) - a.y); };
    const double length = dist(p[0], p[1]) + dist(p[1], p[2]) + dist(p[2], p[3]);
    const int steps = std::clamp(static_cast<int>(length / 2), 1, kMaxBezierSteps);
    for (int i = 1; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps, u = 1 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        const double x = a * p[0].x + b * p[1].x + c * p[2].x + d * p[3].x;
        const double y = a * p[0].y + b * p[1].y + c * p[2].y + d * p[3].y;
        const Point q{static_cast<std::int32_t>(std::lround(x)), static_cast<std::int32_t>(std::lround(y))};
        if (q.x != out.back().x || q.y != out.back().y) out.push_back(q);
    }
}

}  // namespace

Pen Canvas::SelectPen(const Pen& pen) { return std::exchange(pen_, pen); }

Brush Canvas::SelectBrush(const Brush& brush) { return std::exchange(brush_, brush); }

Font* Canvas::SelectFont(Font* font) { return std::exchange(font_, font); }

int Canvas::SetBkMode(int mode) {
    const int old = bkMode_;
    if (mode == TRANSPARENT || mode == OPAQUE) bkMode_ = mode;
    return old;
}

std::uint32_t Canvas::SetBkColor(std::uint32_t color) { return std::exchange(bkColor_, color & 0xFFFFFF); }

std::uint32_t Canvas::SetTextColor(std::uint32_t color) { return std::exchange(textColor_, color & 0xFFFFFF); }

int Canvas::SetPolyFillMode(int mode) {
    const int old = polyFillMode_;
    if (mode == ALTERNATE || mode == WINDING) polyFillMode_ = mode;
    return old;
}

Point Canvas::MoveTo(int x, int y) { return std::exchange(position_, Point{x, y}); }

void Canvas::StrokeOutline(const Point* points, int count, bool closed) {
    if (!pen_.visible || count < 2) return;
    Surface& s = *target_;
    const Rect clip = raster::Bounds(s);
    const std::uint32_t pixel = MapColorRef(s.format, pen_.color);
    const int edges = closed ? count : count - 1;
    if (PenWidth(pen_) <= 1) {
        for (int i = 0; i < edges; ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % count];
            raster::ThinLine(a.x, a.y, b.x, b.y, clip, [&](int x, int y) { PutPixel(s, x, y, pixel); });
        }
        return;
    }
    raster::PathFiller stroke;
    for (int i = 0; i < edges; ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % count];
        stroke.AddStroke({double(a.x), double(a.y)}, {double(b.x), double(b.y)}, PenWidth(pen_));
    }
    stroke.Fill(clip, true, [&](int y, int x0, int x1) { raster::FillSpan(s, y, x0, x1, pixel); });
}

bool Canvas::LineTo(int x, int y) {
    const Point line[2] = {position_, Point{x, y}};
    position_ = line[1];
    if (!Ready()) return false;
    StrokeOutline(line, 2, false);
    return true;
}

bool Canvas::Rectangle(int left, int top, int right, int bottom) {
    if (!Ready()) return false;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    if (right == left || bottom == top) return true;
    Surface& s = *target_;
    const Rect clip = raster::Bounds(s);
    // The outline runs through the outermost pixels of the box.
    const std::int64_t lastX = std::int64_t{right} - 1, lastY = std::int64_t{bottom} - 1;
    if (brush_.style != BrushStyle::None) {
        const Fill fill{brush_.style, MapColorRef(s.format, brush_.color), bkMode_ == OPAQUE,
                        MapColorRef(s.format, bkColor_)};
        const int y0 = static_cast<int>(std::max<std::int64_t>(top, clip.top));
        const int y1 = static_cast<int>(std::min<std::int64_t>(lastY, clip.bottom));
        const int x0 = static_cast<int>(std::max<std::int64_t>(left, clip.left));
        const int x1 = static_cast<int>(std::min<std::int64_t>(lastX, clip.right));
        for (int y = y0; y < y1 && x0 < x1; ++y) PaintSpan(s, y, x0, x1, fill);
    }
    if (!pen_.visible) return true;
    const std::uint32_t pixel = MapColorRef(s.format, pen_.color);
    const int w = PenWidth(pen_);
    const int before = w / 2;  // of a wide pen, the part left of / above its line
    auto band = [&](std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
        x0 = std::max<std::int64_t>(x0, clip.left);
        y0 = std::max<std::int64_t>(y0, clip.top);
        x1 = std::min<std::int64_t>(x1, clip.right);
        y1 = std::min<std::int64_t>(y1, clip.bottom);
        for (std::int64_t y = y0; y < y1 && x0 < x1; ++y)
            raster::FillSpan(s, static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1), pixel);
    };
    const std::int64_t outerLeft = std::int64_t{left} - before, outerTop = std::int64_t{top} - before;
    const std::int64_t outerRight = lastX - before + w, outerBottom = lastY - before + w;
    band(outerLeft, outerTop, outerRight, outerTop + w);                  // top
    band(outerLeft, lastY - before, outerRight, outerBottom);             // bottom
    band(outerLeft, outerTop, outerLeft + w, outerBottom);                // left
    band(lastX - before, outerTop, outerRight, outerBottom);              // right
    return true;
}

bool Canvas::Polygon(const Point* points, int count) {
    if (!Ready() || !points || count < 2) return false;
    Surface& s = *target_;
    if (brush_.style != BrushStyle::None) {
        const Fill fill{brush_.style, MapColorRef(s.format, brush_.color), bkMode_ == OPAQUE,
                        MapColorRef(s.format, bkColor_)};
        raster::PathFiller inside;
        inside.AddContour(points, count);
        inside.Fill(raster::Bounds(s), polyFillMode_ == WINDING,
                    [&](int y, int x0, int x1) { PaintSpan(s, y, x0, x1, fill); });
    }
    StrokeOutline(points, count, true);
    return true;
}

bool Canvas::PolyBezier(const Point* points, int count) {
    if (!Ready() || !points || count < 4 || (count - 1) % 3 != 0) return false;
    std::vector<Point> path{points[0]};
    for (int i = 0; i + 3 < count; i += 3) FlattenCurve(points + i, path);
    StrokeOutline(path.data(), static_cast<int>(path.size()), false);
    return true;
}

std::uint32_t Canvas::SetPixel(int x, int y, std::uint32_t color) {
    if (!Ready() || x < 0 || y < 0 || x >= target_->width || y >= target_->height) return CLR_INVALID;
    const std::uint32_t pixel = MapColorRef(target_->format, color);
    PutPixel(*target_, x, y, pixel);
    return ColorOf(target_->format, pixel);
}

std::uint32_t Canvas::GetPixel(int x, int y) const {
    if (!Ready() || x < 0 || y < 0 || x >= target_->width || y >= target_->height) return CLR_INVALID;
    return ColorOf(target_->format, plat::GetPixel(*target_, x, y));
}

bool Canvas::InvertRect(const Rect& rect) {
    if (!Ready()) return false;
    Surface& s = *target_;
    const Rect area = raster::Intersect(rect, raster::Bounds(s));
    const std::uint32_t bits = s.format.redMask | s.format.greenMask | s.format.blueMask;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) PutPixel(s, x, y, plat::GetPixel(s, x, y) ^ bits);
    return true;
}

bool Canvas::StretchCopy(const Rect& dstRect, const Surface* source, const Rect& srcRect) {
    if (!Ready() || !source) return false;
    if (dstRect.right <= dstRect.left || dstRect.bottom <= dstRect.top || srcRect.right <= srcRect.left ||
        srcRect.bottom <= srcRect.top)
        return false;
    return BltStretch(target_, dstRect, source, srcRect, false) == DD_OK;
}

const Font& Canvas::CurrentFont() const { return font_ ? *font_ : *DefaultFont(); }

TextPaint Canvas::Paint() const { return TextPaint{textColor_, bkColor_, bkMode_ == OPAQUE}; }

bool Canvas::TextOut(int x, int y, const char* text, int length) {
    if (!Ready() || !text) return false;
    DrawTextLine(*target_, raster::Bounds(*target_), CurrentFont(), x, y, text, length, Paint());
    return true;
}

Size Canvas::TextExtent(const char* text, int length) const { return MeasureText(CurrentFont(), text, length); }

ShapedText Canvas::Shape(const char* text, int length) const { return ShapeText(CurrentFont(), text, length); }

ShapedTextPainter Canvas::TransparentPainter() const { return ShapedTextPainter(target_, CurrentFont()); }

bool Canvas::TextOut(int x, int y, const ShapedText& text, Rect* painted) {
    if (!Ready()) return false;
    DrawShapedText(*target_, raster::Bounds(*target_), CurrentFont(), x, y, text, Paint(), painted);
    return true;
}

TextMetrics Canvas::Metrics() const { return GetTextMetrics(CurrentFont()); }

int Canvas::DrawText(const char* text, int length, Rect& rect, std::uint32_t format) {
    if (!text) return 0;
    if (!(format & DT_CALCRECT) && !Ready()) return 0;
    Surface* target = (format & DT_CALCRECT) ? nullptr : target_;
    const Rect clip = target ? raster::Bounds(*target) : Rect{};
    return DrawTextBox(target, clip, CurrentFont(), text, length, rect, format, Paint());
}

}  // namespace plat
