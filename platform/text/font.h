// Fonts and text through fontconfig and FreeType.
//
// A font is made from a description (face name in code page 932, height,
// escapement, weight, italic, underline, charset). The two standard faces
// "標準明朝" and "標準ゴシック" map to the installed Japanese serif and
// sans-serif faces; other names are looked up by family, and a name that
// matches nothing gets the Gothic face. Faces, sizes and rendered glyphs are
// cached for the life of the program, so making and deleting a font per call
// opens no file. Glyphs are rendered one bit per pixel (no anti-aliasing).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/surface.h"
#include "platform/os/types.h"

namespace plat {

namespace raster {
struct Span;
}

constexpr std::uint8_t ANSI_CHARSET = 0;
constexpr std::uint8_t SHIFTJIS_CHARSET = 128;

constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;

// Box-drawing flags (the classic values).
constexpr std::uint32_t DT_LEFT = 0x0000;
constexpr std::uint32_t DT_CENTER = 0x0001;
constexpr std::uint32_t DT_RIGHT = 0x0002;
constexpr std::uint32_t DT_WORDBREAK = 0x0010;
constexpr std::uint32_t DT_NOCLIP = 0x0100;
constexpr std::uint32_t DT_CALCRECT = 0x0400;
constexpr std::uint32_t DT_NOPREFIX = 0x0800;

struct FontRequest {
    // Pixels. Positive: cell height (ascent + descent); negative: the em
    // size; 0: a default size.
    int height = 0;
    int escapement = 0;  // tenths of a degree, counter-clockwise
    int weight = FW_DONTCARE;
    bool italic = false;
    bool underline = false;
    std::uint8_t charset = SHIFTJIS_CHARSET;
    std::string face;  // code page 932
};

struct Size {
    int cx = 0, cy = 0;
};

struct TextMetrics {
    int height = 0;  // cell height: ascent + descent
    int ascent = 0;
    int descent = 0;
    int averageWidth = 0;
};

// How a string is painted: 0x00BBGGRR colours, and whether each character
// cell is first filled with the back colour.
struct TextPaint {
    std::uint32_t textColor = 0;
    std::uint32_t backColor = 0xFFFFFF;
    bool opaque = true;
};

class Font;

// Never fails: without any usable face the font draws nothing.
Font* CreateFont(const FontRequest& request);
void DeleteFont(Font* font);
// A process-wide Gothic font of the default size, never deleted.
Font* DefaultFont();

TextMetrics GetTextMetrics(const Font& font);
// UTF-8 family name of the face that answered (empty without one).
std::string FontFamilyName(const Font& font);

// Text is code page 932; length < 0 means up to the NUL, and nothing past a
// NUL is ever read. A lead byte starts a two-byte character; an invalid
// sequence draws the replacement glyph.
//
// Draws one line with the top-left of its cell at (x, y), inside clip.
void DrawTextLine(Surface& target, const Rect& clip, const Font& font, int x, int y, const char* text, int length,
                  const TextPaint& paint);
// Width of the line and the cell height.
Size MeasureText(const Font& font, const char* text, int length);
// Lays the text out in box: lines break at "\n", "\r\n" and "\r", and with
// DT_WORDBREAK also where the next word would cross the right edge: after
// spaces, and next to a Japanese character unless a closing mark such as
// "。" would start the line; a word longer than the box is split. Lines are
// aligned DT_LEFT, DT_CENTER or DT_RIGHT and, unless DT_NOCLIP, clipped to
// the box. With DT_CALCRECT nothing is drawn and box.bottom becomes
// box.top + the height. Text is always literal ('&' is an ordinary
// character). Returns the height of the laid-out text.
int DrawTextBox(Surface* target, const Rect& clip, const Font& font, const char* text, int length, Rect& box,
                std::uint32_t format, const TextPaint& paint);

// A rendered glyph, kept by its font's cache while a font of its size lives.
struct GlyphImage;

// The rendered size behind a font. Fonts with the same id share their
// glyphs, and an id is never given to another size: text shaped with one
// font stays valid for every later font with the same id.
std::uint64_t FontSizeId(const Font& font);

// A character of one or two bytes decoded and looked up once, so that it
// can be measured and drawn again and again with the same font without
// decoding it each time. Valid while a font of its size (FontSizeId) lives.
struct ShapedText {
    static constexpr int kMaxBytes = 2;
    const GlyphImage* glyphs[kMaxBytes] = {};  // a bad pair decodes to two
    int count = 0;
    Size extent;  // what MeasureText gives for the same bytes
    // One glyph of an upright font without underline, ready to paint: its
    // runs start at (runsX, runsY) from the cell's top-left and cover ink,
    // also from the cell's top-left. Otherwise direct is false.
    bool direct = false;
    const raster::Span* runs = nullptr;
    int runCount = 0;
    int runsX = 0, runsY = 0;
    Rect ink{};
    // The ink again as one word a row from ink's top-left (bit i: pixel
    // ink.left + i), when it is at most 64 pixels wide; else null.
    const std::uint64_t* inkMasks = nullptr;
};
// At most kMaxBytes bytes of text (length < 0: up to the NUL); anything
// past them is left out.
ShapedText ShapeText(const Font& font, const char* text, int length);
// As DrawTextLine for shaped text; painted, when given, grows to cover
// every pixel written (start it empty).
void DrawShapedText(Surface& target, const Rect& clip, const Font& font, int x, int y, const ShapedText& text,
                    const TextPaint& paint, Rect* painted);

// Paints shaped text as DrawTextLine does with a transparent background,
// character after character onto one surface in one font: the surface's
// bounds, the font's metrics and the colour's pixel value are found once.
// A missing or lost surface draws nothing. The font outlives the painter.
class ShapedTextPainter {
public:
    ShapedTextPainter(Surface* target, const Font& font);
    // The text colour, 0x00BBGGRR.
    void SetColor(std::uint32_t colorRef);
    // The text's cell with its top-left at (x, y); painted, when given,
    // grows to cover every pixel written.
    void Paint(int x, int y, const ShapedText& text, Rect* painted) const {
        if (text.inkMasks && upright_ && target_ && PaintInkMasks(x, y, text, painted)) return;
        PaintOther(x, y, text, painted);
    }

private:
    // A glyph with ink masks wholly inside the surface, painted at once and
    // true; false leaves the glyph to PaintOther. Inline: a message paints
    // one glyph after another, and most take this way.
    bool PaintInkMasks(int x, int y, const ShapedText& text, Rect* painted) const {
        const std::int64_t left = std::int64_t{x} + text.ink.left, top = std::int64_t{y} + text.ink.top;
        const std::int64_t right = std::int64_t{x} + text.ink.right, bottom = std::int64_t{y} + text.ink.bottom;
        if (left < clip_.left || right > clip_.right || top < clip_.top || bottom > clip_.bottom) return false;
        if (painted) Grow(*painted, Rect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                                         static_cast<int>(bottom)});
        MarkWritten(*target_);
        fill_(target_->pixels + top * target_->pitch + left * target_->format.bytesPerPixel, target_->pitch,
              text.inkMasks, static_cast<int>(bottom - top), pixel_);
        return true;
    }
    // painted taking in r, which is not empty.
    static void Grow(Rect& painted, const Rect& r) {
        if (painted.right <= painted.left || painted.bottom <= painted.top) {
            painted = r;
            return;
        }
        painted.left = r.left < painted.left ? r.left : painted.left;
        painted.top = r.top < painted.top ? r.top : painted.top;
        painted.right = r.right > painted.right ? r.right : painted.right;
        painted.bottom = r.bottom > painted.bottom ? r.bottom : painted.bottom;
    }
    void PaintOther(int x, int y, const ShapedText& text, Rect* painted) const;

    Surface* target_;
    kernels::MaskedFillFn fill_ = nullptr;
    const Font* font_;
    Rect clip_{};
    bool upright_ = false;  // neither turned nor underlined: glyphs alone
    int ascent_ = 0;
    bool colorSet_ = false;
    std::uint32_t colorRef_ = 0, pixel_ = 0;
};

struct FontFamily {
    std::string name;  // code page 932
    std::uint8_t charset = ANSI_CHARSET;  // SHIFTJIS_CHARSET when it covers kana
};
// The installed families in fontconfig's order, each once, at most maxCount.
std::vector<FontFamily> ListFontFamilies(std::size_t maxCount);

// How much work the cache has done, for tests and benchmarks.
struct FontCacheCounters {
    std::uint64_t facesOpened = 0;     // font files opened
    std::uint64_t sizesMade = 0;       // face / size / style combinations built
    std::uint64_t glyphsRendered = 0;  // glyph bitmaps rasterised
    std::uint64_t facesResolved = 0;   // fontconfig look-ups of a face name
};
FontCacheCounters GetFontCacheCounters();

}  // namespace plat
