// A drawing canvas bound to a surface, with the habits of the classic device
// context: a selected pen (colour, width, or none), brush (solid, hatched
// diagonal cross, or none) and font, a background mode and back colour for
// hatch gaps and text cells, a text colour and a current position.
// Colours are 0x00BBGGRR and become the surface's pixel values on the way in.
// Everything is clipped to the surface; a missing or lost surface draws
// nothing.
#pragma once
#include <cstdint>

#include "platform/text/font.h"
#include "platform/pixels/surface.h"
#include "platform/os/types.h"

namespace plat {

constexpr std::uint32_t CLR_INVALID = 0xFFFFFFFFu;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Polygon fill modes.
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;

struct Pen {
    bool visible = true;
    int width = 1;  // 0 and below draw one pixel wide
    std::uint32_t color = 0;
    static Pen Solid(std::uint32_t color, int width) { return Pen{true, width, color}; }
    static Pen None() { return Pen{false, 1, 0}; }
};

enum class BrushStyle { Solid, Hatched, None };

struct Brush {
    BrushStyle style = BrushStyle::Solid;
    std::uint32_t color = 0xFFFFFF;
    static Brush Solid(std::uint32_t color) { return Brush{BrushStyle::Solid, color}; }
    // Diagonal cross hatch, 8 x 8 and aligned to the surface's origin; the
    // gaps take the back colour when the background is opaque.
    static Brush Hatched(std::uint32_t color) { return Brush{BrushStyle::Hatched, color}; }
    static Brush None() { return Brush{BrushStyle::None, 0}; }
};

class Canvas {
public:
    explicit Canvas(Surface* target = nullptr) : target_(target) {}

    // True when there is a surface to draw on and it is not lost.
    bool Ready() const { return target_ && !target_->lost; }
    Surface* Target() const { return target_; }

    // Each Select returns what was selected before.
    Pen SelectPen(const Pen& pen);
    Brush SelectBrush(const Brush& brush);
    Font* SelectFont(Font* font);  // nullptr selects the default font
    Font* SelectedFont() const { return font_; }
    // The selected font, or the default one.
    const Font& CurrentFont() const;

    int SetBkMode(int mode);  // TRANSPARENT or OPAQUE; returns the old mode
    int BkMode() const { return bkMode_; }
    std::uint32_t SetBkColor(std::uint32_t color);
    std::uint32_t BkColor() const { return bkColor_; }
    std::uint32_t SetTextColor(std::uint32_t color);
    std::uint32_t TextColor() const { return textColor_; }
    int SetPolyFillMode(int mode);  // ALTERNATE or WINDING

    // ---- shapes ----
    Point MoveTo(int x, int y);
    // A line in the pen from the current position to (x, y), which becomes
    // the current position. One-pixel pens leave the end point undrawn; wider
    // pens are round and centred on the line.
    bool LineTo(int x, int y);
    // The box (left, top) - (right, bottom), right and bottom exclusive: the
    // outline in the pen on the box's outermost pixels (a wider pen centred
    // on them), the inside in the brush. Without a pen the brush fills one
    // pixel less to the right and bottom.
    bool Rectangle(int left, int top, int right, int bottom);
    // A closed polygon: the inside in the brush by the fill mode, then the
    // outline (every edge, end points included) in the pen. Needs 2 points.
    bool Polygon(const Point* points, int count);
    // Cubic Bezier curves: a start point and three points per curve
    // (count = 1 + 3n). Drawn in the pen.
    bool PolyBezier(const Point* points, int count);

    // ---- pixels ----
    // Returns the colour actually stored, or CLR_INVALID outside.
    std::uint32_t SetPixel(int x, int y, std::uint32_t color);
    // 0x00BBGGRR of the stored pixel, each component's bits moved to the
    // top of its byte; CLR_INVALID outside.
    std::uint32_t GetPixel(int x, int y) const;
    // Inverts every colour bit of the pixels in the rectangle.
    bool InvertRect(const Rect& rect);
    // Scaled copy (nearest pixel) of srcRect of source onto dstRect, both
    // clipped to their surfaces, converting between pixel formats.
    bool StretchCopy(const Rect& dstRect, const Surface* source, const Rect& srcRect);

    // ---- text (code page 932; length < 0: up to the NUL) ----
    // The string's cell with its top-left at (x, y); an opaque background
    // fills the cell in the back colour first.
    bool TextOut(int x, int y, const char* text, int length);
    Size TextExtent(const char* text, int length) const;
    // A character shaped once with the selected font (see plat::ShapeText),
    // then drawn as TextOut draws it; painted, when given, grows to cover
    // every pixel written.
    ShapedText Shape(const char* text, int length) const;
    bool TextOut(int x, int y, const ShapedText& text, Rect* painted = nullptr);
    // A painter of shaped text on this canvas's surface in its font, for
    // drawing many characters with a transparent background.
    ShapedTextPainter TransparentPainter() const;
    TextMetrics Metrics() const;
    // See plat::DrawTextBox for the flags; returns the text's height.
    int DrawText(const char* text, int length, Rect& rect, std::uint32_t format);

private:
    TextPaint Paint() const;
    void StrokeOutline(const Point* points, int count, bool closed);

    Surface* target_;
    Pen pen_;
    Brush brush_;
    Font* font_ = nullptr;
    int bkMode_ = OPAQUE;
    std::uint32_t bkColor_ = 0xFFFFFF;
    std::uint32_t textColor_ = 0;
    int polyFillMode_ = ALTERNATE;
    Point position_;
};

}  // namespace plat
