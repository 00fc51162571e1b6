// Message text: a whole text laid out in a box with Japanese line breaking
// into the Font sprite (object 2), and its typewriter reveal on the back
// screen, one glyph rectangle more per period.
//
// Two layouts share the rules: the plain one draws each glyph with the
// font as it is; the smooth one draws each line at double size into the
// Font buffer sprite (object 3) and reduces it into the Font sprite, mixing
// the edges with the back screen's pixels under them. Fonts come from the
// font description and canvas of the text module (draw/krFont.h). Limits:
// 3200 glyph rectangles (the layout ends when the list is full); pixel
// depths of 15, 16, 24 and 32 bits.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "draw/krDraw.h"
#include "draw/krFont.h"
#include "platform/text/cp932.h"
#include "platform/pixels/effect_kernels.h"
#include "platform/pixels/raster.h"
#include "system/krSystem.h"

namespace krDraw {
MessageTextState messageText;
}

namespace {

constexpr int kFontSprite = 2;
constexpr int kFontBufferSprite = 3;
constexpr std::uint16_t kShadow = 0x100, kThickAcross = 0x200, kThickDown = 0x400;
constexpr std::uint32_t kNearBlackReplacement = 0x101010;
// Coordinates beyond this lie far outside any screen; a layout there is
// refused so that the pen arithmetic stays small.
constexpr std::int64_t kCoordinateLimit = std::int64_t{1} << 24;

// Characters that may not open a line: they hang past the right edge.
constexpr const char* kLineHeadExclusions[15] = {
    "\x81\x41", "\x81\x42", "\x81\x43", "\x81\x44", "\x81\x45",  // 、 。 ， ． ・
    "\x81\x63", "\x81\x64", "\x81\x68", "\x81\x66", "\x81\x69",  // … ‥ ” ’ （
    "\x81\x76", ",",        ".",        "\x81\x40", " ",         // 」 , . ideographic space, space
};

// One character of the text: one or two bytes and a NUL.
struct Glyph {
    char bytes[3] = {};
    int length = 0;
    bool newline = false;
};

bool IsLineHeadExcluded(const Glyph& g) {
    for (const char* entry : kLineHeadExclusions)
        if (std::strcmp(g.bytes, entry) == 0) return true;
    return false;
}

// Reads the character at text[i]: a two-byte character (i then stands on
// its second byte), "\n", or one byte. A lead byte whose partner is the end
// of the text or "\n" is broken; the result is then an empty glyph. Fills
// the glyph field by field: a glyph copied whole right after its bytes were
// stored stalls on reading them back.
void ReadGlyph(const char* text, std::size_t length, std::size_t& i, Glyph& g) {
    g.bytes[0] = g.bytes[1] = g.bytes[2] = '\0';
    g.length = 0;
    const auto c = static_cast<unsigned char>(text[i]);
    g.newline = c == '\n';
    if (g.newline) return;
    if (plat::IsLeadByte(c)) {
        if (i + 1 >= length || text[i + 1] == '\n') return;
        g.bytes[0] = text[i];
        g.bytes[1] = text[++i];
        g.length = 2;
        return;
    }
    g.bytes[0] = text[i];
    g.length = 1;
}

std::uint32_t ReplaceNearBlack(std::uint32_t color) {
    const bool dark = (color & 0xFF) < 16 && ((color >> 8) & 0xFF) < 16 && ((color >> 16) & 0xFF) < 16;
    return dark ? kNearBlackReplacement : color;
}

void ReplaceNearBlackColors() {
    krFontState.textColor = ReplaceNearBlack(krFontState.textColor);
    krFontState.backColor = ReplaceNearBlack(krFontState.backColor);
}

bool CoordinatesSane(int x, int y, int right, int bottom) {
    for (const std::int64_t v : {x, y, right, bottom})
        if (v < -kCoordinateLimit || v > kCoordinateLimit) return false;
    return true;
}

std::int32_t Narrow(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

int NarrowInt(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

// The glyph list and the reveal, reset by every layout.
void StartList(int x, int y) {
    krDraw::MessageTextState& m = krDraw::messageText;
    m.glyphs[0] = plat::Rect{x, y, x, y};
    m.count = 1;
}

bool ListFull() { return krDraw::messageText.count >= krDraw::kGlyphListSize; }

inline void Append(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    krDraw::MessageTextState& m = krDraw::messageText;
    m.glyphs[m.count++] = plat::Rect{Narrow(left), Narrow(top), Narrow(right), Narrow(bottom)};
}

void DropLast() { --krDraw::messageText.count; }

void GrowBox(std::int64_t right, std::int64_t bottom) {
    plat::Rect& box = krDraw::messageText.glyphs[0];
    box.right = std::max(box.right, Narrow(right));
    box.bottom = std::max(box.bottom, Narrow(bottom));
}

void ResetReveal() {
    krDraw::messageText.revealCounter = 0;
    krDraw::messageText.revealTimer = 0.0f;
}

plat::Surface* SpriteSurface(int slot) { return krObjects[slot].surface; }

// Takes the text canvas on a surface afresh (the font made again from the
// description), drawing with a transparent background.
plat::Canvas& TakeCanvas(plat::Surface* surface) {
    krDraw::AcquireTextCanvas(surface);
    krFontState.canvas.SetBkMode(plat::TRANSPARENT);
    return krFontState.canvas;
}

// Draws glyphs through the text canvas, in its colour (the smooth layout,
// whose canvas stays held after it).
struct CanvasPen {
    plat::Canvas& dc;
    void SetColor(std::uint32_t colorRef) const { dc.SetTextColor(colorRef); }
    void Draw(std::int64_t x, std::int64_t y, const plat::ShapedText& g) const {
        dc.TextOut(NarrowInt(x), NarrowInt(y), g);
    }
};

// Draws glyphs as the canvas would with a transparent background, keeping
// the box of every pixel written (the plain layout).
struct PainterPen {
    plat::ShapedTextPainter& painter;
    plat::Rect* painted;
    void SetColor(std::uint32_t colorRef) const { painter.SetColor(colorRef); }
    void Draw(std::int64_t x, std::int64_t y, const plat::ShapedText& g) const {
        painter.Paint(NarrowInt(x), NarrowInt(y), g, painted);
    }
};

// The glyph with its style: the shadow first (back colour, one step down
// and right, two with thickening), the glyph, then the thickening strokes.
// step is the size of a pixel: 1 plain, 2 in the double-size buffer. The
// pen is in the text colour before and after.
template <typename Pen>
void DrawStyledGlyph(const Pen& pen, std::int64_t gx, std::int64_t gy, const plat::ShapedText& g,
                     std::uint16_t style, int step) {
    if (style & kShadow) {
        pen.SetColor(krFontState.backColor);
        const int dx = step + ((style & kThickAcross) ? 1 : 0), dy = step + ((style & kThickDown) ? 1 : 0);
        pen.Draw(gx + dx, gy + dy, g);
        pen.SetColor(krFontState.textColor);
    }
    pen.Draw(gx, gy, g);
    if (style & kThickAcross) {
        pen.Draw(gx + 1, gy, g);
        if (style & kThickDown) pen.Draw(gx + 1, gy + 1, g);
    }
    if (style & kThickDown) pen.Draw(gx, gy + 1, g);
}

// ---- plain layout ----

struct GlyphSize {
    std::int64_t w = 0, h = 0;
};

// The characters met so far, each shaped once: a message repeats few
// characters, and each would otherwise be decoded and looked up afresh for
// every measure and draw. Shapes stay valid for every font of the same
// rendered size, so the cache lasts from layout to layout until the size
// changes. A character looks in a few slots from its home one; when all
// are taken it takes its home slot, and the character it put out is shaped
// again when next met.
class ShapeCache {
public:
    // Forgets everything unless the canvas's font has the size shaped for.
    void UseFontOf(const plat::Canvas& dc) {
        const std::uint64_t size = plat::FontSizeId(dc.CurrentFont());
        if (size == size_) return;
        size_ = size;
        for (std::uint32_t& key : keys_) key = 0;
    }
    const plat::ShapedText& Of(const plat::Canvas& dc, const Glyph& g) {
        const std::uint32_t key = static_cast<std::uint32_t>(g.length) << 16 |
                                  static_cast<std::uint32_t>(static_cast<unsigned char>(g.bytes[0])) << 8 |
                                  static_cast<unsigned char>(g.bytes[1]);
        const std::uint32_t home = (key * 0x9E3779B1u) >> (32 - kSlotBits);
        // A few neighbouring slots, so that two characters of one message
        // rarely take turns in one slot.
        std::uint32_t at = home;
        for (int probe = 0; probe < kProbes; ++probe, at = (at + 1) & (kSlots - 1)) {
            if (keys_[at] == key) return shapes_[at];
            if (keys_[at] == 0) break;
        }
        if (keys_[at] != 0) at = home;
        keys_[at] = key;
        shapes_[at] = dc.Shape(g.bytes, g.length);
        return shapes_[at];
    }

private:
    static constexpr int kSlotBits = 8, kSlots = 1 << kSlotBits, kProbes = 4;
    // The keys apart from the shapes: a lookup's probes read one small
    // array, which painting pushes out of the nearest cache less.
    std::uint64_t size_ = 0;  // FontSizeId of the shapes; 0 is never one
    std::uint32_t keys_[kSlots] = {};  // 0 never matches: a key holds the length
    plat::ShapedText shapes_[kSlots];
};

ShapeCache plainShapes;

// The glyph's cell ("\n" has none, nor shape) with the style's extra: the
// shadow one pixel each way (step 2 at double size, where odd sizes are
// first rounded up), each thickening one pixel.
GlyphSize Measure(const plat::ShapedText* shape, std::uint16_t style, int step) {
    GlyphSize s;
    if (shape) {
        s.w = shape->extent.cx, s.h = shape->extent.cy;
        if (step == 2) s.w += s.w & 1, s.h += s.h & 1;
    }
    if (style & kShadow) s.w += step, s.h += step;
    if (style & kThickAcross) ++s.w;
    if (style & kThickDown) ++s.h;
    return s;
}

// The boxes a plain layout drew in, one per line (the last one takes in
// the lines past the first few): lines of different lengths leave less to
// clear than one box over all of them.
class LineInk {
public:
    static constexpr int kBoxes = 16;
    // The box of the line being laid out, grown by every glyph drawn.
    plat::Rect* Current() { return &boxes_[count_ - 1]; }
    void NextLine() {
        if (count_ < kBoxes && !plat::raster::IsEmpty(boxes_[count_ - 1])) boxes_[count_++] = plat::Rect{};
    }
    const plat::Rect* begin() const { return boxes_; }
    const plat::Rect* end() const { return boxes_ + count_; }

private:
    plat::Rect boxes_[kBoxes] = {};
    int count_ = 1;
};

// What the Font sprite holds besides zeros, as the plain layout left it:
// the boxes its glyphs were drawn in. That holds while the sprite keeps the
// content stamp the layout saw last; any other write (a clear, a copy into
// it, a lock, the smooth layout, a restore, a new screen and so a new
// sprite) changes the stamp, and the next layout clears the whole sprite.
// Clearing only the boxes leaves the sprite exactly as a whole clear would.
class FontSpriteInk {
public:
    // Clears the Font sprite to 0 as krDraw::ClearObject does, writing only
    // where something may be drawn. False when the sprite refused.
    bool Clear() {
        const krObjectRecord& record = krObjects[kFontSprite];
        if (!Holds(*record.surface)) return krDraw::ClearObject(kFontSprite) == plat::DD_OK;
        return ZeroBoxes(record.surface, plat::Rect{0, 0, record.width, record.height});
    }
    // After a layout: the sprite is clear but for the boxes drawn in, if it
    // was cleared; otherwise nothing is known.
    void Remember(bool cleared, const LineInk& drawn) {
        const plat::Surface& sprite = *SpriteSurface(kFontSprite);
        stamp_ = cleared && sprite.lockCount == 0 ? sprite.contentStamp : 0;
        ink_ = drawn;
    }

private:
    // Zero is the same byte in every format: the boxes' rows are cleared
    // with the C library's widest stores.
    bool ZeroBoxes(plat::Surface* sprite, const plat::Rect& area) const {
        std::uint8_t* bits = nullptr;
        int pitch = 0;
        if (plat::Lock(sprite, &bits, &pitch) != plat::DD_OK) return false;
        const int bytes = sprite->format.bytesPerPixel;
        for (const plat::Rect& drawn : ink_) {
            const plat::Rect box = plat::raster::Intersect(drawn, area);
            if (plat::raster::IsEmpty(box)) continue;
            const auto rowBytes = static_cast<std::size_t>(box.right - box.left) * static_cast<std::size_t>(bytes);
            for (int y = box.top; y < box.bottom; ++y)
                std::memset(bits + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(box.left) * bytes,
                            0, rowBytes);
        }
        plat::Unlock(sprite);
        return true;
    }
    bool Holds(const plat::Surface& sprite) const {
        return stamp_ != 0 && sprite.contentStamp == stamp_ && sprite.lockCount == 0;
    }
    std::uint64_t stamp_ = 0;  // 0: nothing known
    LineInk ink_;
};

FontSpriteInk fontSpriteInk;

// The glyph list as the plain layout fills it: the count and the box kept
// in registers while glyphs are painted (which could otherwise write over
// them, for all the compiler knows), and given to the list at the end.
class PlainList {
public:
    PlainList()
        : m_(krDraw::messageText),
          count_(m_.count),
          boxRight_(m_.glyphs[0].right),
          boxBottom_(m_.glyphs[0].bottom) {}
    ~PlainList() {
        m_.count = count_;
        m_.glyphs[0].right = boxRight_;
        m_.glyphs[0].bottom = boxBottom_;
    }
    PlainList(const PlainList&) = delete;
    PlainList& operator=(const PlainList&) = delete;
    bool Full() const { return count_ >= krDraw::kGlyphListSize; }
    void Append(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
        m_.glyphs[count_++] = plat::Rect{Narrow(left), Narrow(top), Narrow(right), Narrow(bottom)};
    }
    void DropLast() { --count_; }
    void GrowBox(std::int64_t right, std::int64_t bottom) {
        boxRight_ = std::max(boxRight_, Narrow(right));
        boxBottom_ = std::max(boxBottom_, Narrow(bottom));
    }

private:
    krDraw::MessageTextState& m_;
    int count_;
    std::int32_t boxRight_, boxBottom_;
};

void LayOutPlain(const plat::Canvas& dc, LineInk& ink, int x, int y, int right, int bottom, const char* text,
                 std::uint16_t style) {
    plat::ShapedTextPainter painter = dc.TransparentPainter();
    PainterPen pen{painter, ink.Current()};
    pen.SetColor(krFontState.textColor);
    PlainList list;
    const bool styled = style & (kShadow | kThickAcross | kThickDown);
    const std::size_t length = std::strlen(text);
    std::int64_t penX = x, penY = y;
    std::int64_t lineHeight = std::int64_t{style & 0xFF} + krFontState.fontHeight;
    ShapeCache& shapes = plainShapes;
    shapes.UseFontOf(dc);
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t first = i;
        Glyph g;
        ReadGlyph(text, length, i, g);
        if (!g.newline && g.length == 0) continue;  // a broken character
        if (list.Full()) break;
        const plat::ShapedText* shape = g.newline ? nullptr : &shapes.Of(dc, g);
        const GlyphSize s = Measure(shape, style, 1);
        list.Append(penX, penY, penX + s.w, penY + s.h);
        penX += s.w;
        lineHeight = std::max(lineHeight, s.h);
        if (penX <= right && !g.newline) {
            if (styled) DrawStyledGlyph(pen, penX - s.w, penY, *shape, style, 1);
            else pen.Draw(penX - s.w, penY, *shape);
            list.GrowBox(penX + s.w, penY + s.h);
            continue;
        }
        list.DropLast();
        const bool steppedBack = !g.newline && !(penX > right && IsLineHeadExcluded(g));
        if (!steppedBack && !g.newline) DrawStyledGlyph(pen, penX - s.w, penY, *shape, style, 1);  // hangs
        if (steppedBack) i = first - 1;  // the glyph is laid out again on the next line
        penX = x;
        penY += lineHeight;
        ink.NextLine();
        pen.painted = ink.Current();
        if (penY + lineHeight >= bottom) break;
        if (steppedBack && lineHeight <= 0) break;  // no line advance: it would never fit
    }
}

// ---- smooth layout: line reduction ----

struct ReductionPlanes {
    const std::uint8_t* source;  // the clipped source area's top-left in the Font buffer
    int sourcePitch;
    std::uint8_t* target;  // (X, Y) in the Font sprite
    int targetPitch;
    const std::uint8_t* back;  // (X, Y) on the back screen
    int backPitch;
    int width, height;  // destination pixels; the source area is twice as large
};

// Each destination pixel from the 3 x 3 samples around (2c, 2r) of the
// double-size area: the ink samples' sum plus the maximum, and, for fewer
// than eight ink samples, the back screen's value for each missing one,
// all divided by 8. Pixels with no ink are left alone. Components are 5 bits
// at the 5-bit shifts on 2-byte pixels, 8 bits on deeper ones (a 3-byte
// pixel's bytes, a 4-byte pixel's at the shifts).
template <int Bpp>
void ReduceArea(const ReductionPlanes& p, const plat::kernels::Channels& ch) {
    using plat::kernels::LoadPixel;
    const int areaWidth = 2 * p.width, areaHeight = 2 * p.height;
    const int max = static_cast<int>(ch.Max());
    for (int r = 0; r < p.height; ++r) {
        for (int c = 0; c < p.width; ++c) {
            int sum[3] = {0, 0, 0};
            int ink = 0;
            for (int sy = std::max(2 * r - 1, 0); sy <= std::min(2 * r + 1, areaHeight - 1); ++sy) {
                const std::uint8_t* row = p.source + static_cast<std::ptrdiff_t>(sy) * p.sourcePitch;
                for (int sx = std::max(2 * c - 1, 0); sx <= std::min(2 * c + 1, areaWidth - 1); ++sx) {
                    const std::uint32_t s = LoadPixel(row + sx * Bpp, Bpp);
                    if (s == 0) continue;
                    ++ink;
                    for (int k = 0; k < 3; ++k) sum[k] += static_cast<int>(ch.Get(s, k));
                }
            }
            if (ink == 0) continue;
            const std::uint32_t b = LoadPixel(p.back + static_cast<std::ptrdiff_t>(r) * p.backPitch + c * Bpp, Bpp);
            std::uint32_t value[3];
            for (int k = 0; k < 3; ++k) {
                const int total = sum[k] + max + (ink < 8 ? (8 - ink) * static_cast<int>(ch.Get(b, k)) : 0);
                value[k] = static_cast<std::uint32_t>(std::min(max, total / 8));
            }
            plat::kernels::StorePixel(p.target + static_cast<std::ptrdiff_t>(r) * p.targetPitch + c * Bpp, Bpp,
                                      ch.Put(value[0], value[1], value[2]));
        }
    }
}

void ReduceByFormat(const ReductionPlanes& planes, const plat::PixelFormat& format) {
    const plat::kernels::Channels ch = plat::kernels::ChannelsOf(format);
    switch (format.bytesPerPixel) {
        case 2: ReduceArea<2>(planes, ch); break;
        case 4: ReduceArea<4>(planes, ch); break;
        default: ReduceArea<3>(planes, ch); break;
    }
}

// Locks the surfaces in order; on a failure unlocks those already locked.
bool LockAll(plat::Surface* const (&surfaces)[3], std::uint8_t* (&bits)[3], int (&pitches)[3]) {
    for (int k = 0; k < 3; ++k) {
        if (plat::Lock(surfaces[k], &bits[k], &pitches[k]) == plat::DD_OK) continue;
        while (k-- > 0) plat::Unlock(surfaces[k]);
        return false;
    }
    return true;
}

bool SameFormat(const plat::Surface& a, const plat::Surface& b) {
    return a.format.bits == b.format.bits && a.format.bytesPerPixel == b.format.bytesPerPixel;
}

// Reduces the Font buffer's rectangle (0, 0, sourceWidth, sourceHeight), at
// double size, into the Font sprite at (X, Y), clipped to the clip rectangle
// and to every surface. Returns 0 when a lock fails (the line is left out).
int ReduceLine(std::int64_t sourceWidth, std::int64_t sourceHeight, std::int64_t X, std::int64_t Y) {
    plat::Surface* buffer = SpriteSurface(kFontBufferSprite);
    plat::Surface* sprite = SpriteSurface(kFontSprite);
    plat::Surface* back = krScreen.back;
    if (!buffer || !sprite || !back || !SameFormat(*buffer, *sprite) || !SameFormat(*sprite, *back)) return 0;
    std::int64_t W = sourceWidth >> 1, H = sourceHeight >> 1;
    std::int64_t skipX = 0, skipY = 0;
    const plat::Rect& clip = krScreen.clip;
    const std::int64_t clipRight = std::min<std::int64_t>({clip.right, sprite->width, back->width});
    const std::int64_t clipBottom = std::min<std::int64_t>({clip.bottom, sprite->height, back->height});
    const std::int64_t clipLeft = std::max<std::int64_t>(clip.left, 0), clipTop = std::max<std::int64_t>(clip.top, 0);
    if (X + W > clipRight) W = clipRight - X;
    if (Y + H > clipBottom) H = clipBottom - Y;
    if (X < clipLeft) {
        skipX = 2 * (clipLeft - X);
        W -= clipLeft - X;
        X = clipLeft;
    }
    if (Y < clipTop) {
        skipY = 2 * (clipTop - Y);
        H -= clipTop - Y;
        Y = clipTop;
    }
    // The double-size area stays inside the Font buffer.
    W = std::min(W, (buffer->width - skipX) / 2);
    H = std::min(H, (buffer->height - skipY) / 2);
    if (W <= 0 || H <= 0) return 1;

    plat::Surface* const surfaces[3] = {buffer, sprite, back};
    std::uint8_t* bits[3];
    int pitches[3];
    if (!LockAll(surfaces, bits, pitches)) return 0;
    const int bytes = back->format.bytesPerPixel;
    const ReductionPlanes planes{
        bits[0] + skipY * pitches[0] + skipX * bytes, pitches[0],
        bits[1] + Y * pitches[1] + X * bytes,         pitches[1],
        bits[2] + Y * pitches[2] + X * bytes,         pitches[2],
        static_cast<int>(W),                          static_cast<int>(H)};
    ReduceByFormat(planes, back->format);
    for (plat::Surface* s : surfaces) plat::Unlock(s);
    return 1;
}

// ---- smooth layout ----

struct SmoothPen {
    std::int64_t x = 0, y = 0;    // back-screen pixels
    std::int64_t sx = 0;          // the line so far in the Font buffer, double-size pixels
    std::int64_t lineHeight = 0;  // H2, double-size pixels
};

// Gives the Font buffer's line to the Font sprite at the pen: the line cut
// at the box's bottom, the box grown to the line's end and bottom.
void FlushLine(const SmoothPen& pen, int bottom) {
    krDraw::ReleaseTextCanvas();
    std::int64_t L = pen.lineHeight;
    const std::int64_t over = (pen.lineHeight >> 1) + pen.y - bottom;
    if (over > 0) L -= 2 * over;
    GrowBox((pen.sx >> 1) + pen.x, (L >> 1) + pen.y);
    ReduceLine(pen.sx, L, pen.x, pen.y);
}

plat::Canvas& FreshBuffer() {
    krDraw::ClearObject(kFontBufferSprite);
    return TakeCanvas(SpriteSurface(kFontBufferSprite));
}

void LayOutSmooth(int x, int y, int right, int bottom, const char* text, std::uint16_t style) {
    const std::size_t length = std::strlen(text);
    const std::int64_t startHeight = std::int64_t{style & 0xFF} + krFontState.fontHeight;
    plat::Canvas* dc = &krFontState.canvas;
    SmoothPen pen{x, y, 0, startHeight};
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t first = i;
        Glyph g;
        ReadGlyph(text, length, i, g);
        if (!g.newline && g.length == 0) continue;  // a broken character
        if (ListFull()) break;
        plat::ShapedText shape;
        if (!g.newline) {
            shape = dc->Shape(g.bytes, g.length);
            dc->SetTextColor(krFontState.textColor);
            DrawStyledGlyph(CanvasPen{*dc}, pen.sx, 0, shape, style, 2);
        }
        const GlyphSize s = Measure(g.newline ? nullptr : &shape, style, 2);
        Append((pen.sx >> 1) + pen.x, pen.y, (pen.sx >> 1) + pen.x + (s.w >> 1), pen.y + (s.h >> 1));
        pen.sx += s.w;
        pen.lineHeight = std::max(pen.lineHeight, s.h);
        const bool atRight = (pen.sx >> 1) + pen.x >= right;
        if (!atRight && pen.sx < krScreen.screenWidth && !g.newline) continue;

        DropLast();
        const bool steppedBack = !g.newline && !(atRight && IsLineHeadExcluded(g));
        if (steppedBack) {
            pen.sx -= s.w;
            i = first - 1;  // the glyph is laid out again
        }
        FlushLine(pen, bottom);
        dc = &FreshBuffer();
        pen.x += pen.sx >> 1;
        const bool newLine = (s.w >> 1) + pen.x >= right || g.newline;
        const std::int64_t advance = pen.lineHeight >> 1;
        if (newLine) {
            pen.x = x;
            pen.y += advance;
        }
        const bool stuck = steppedBack && pen.sx == 0 && (!newLine || advance <= 0);
        pen.sx = 0;
        pen.lineHeight = startHeight;
        if (pen.y >= bottom || stuck) break;  // stuck: the glyph can never be placed
    }
    if (pen.sx != 0) {
        FlushLine(pen, bottom);
        TakeCanvas(SpriteSurface(kFontBufferSprite));
    }
}

// Double height, no angle, normal weight, upright, not underlined.
void DescribeSmoothSize(int height) {
    krLogFont& d = *krFontState.description;
    d.height = Narrow(std::int64_t{height} * 2);
    d.width = 0;
    d.escapement = 0;
    d.weight = plat::FW_NORMAL;
    d.italic = 0;
    d.underline = 0;
    krFontState.fontHeight = d.height;
}

}  // namespace

namespace krDraw {

void SetSmoothFont(int kind, int height) {
    if (!krFontState.description) return;
    DescribeFaceKind(kind);
    DescribeSmoothSize(height);
    krFontState.description->charset = plat::SHIFTJIS_CHARSET;
    AcquireTextCanvas(SpriteSurface(kFontBufferSprite));
}

void SetSmoothFontName(const char* face, int height) {
    if (!krFontState.description) return;
    DescribeFaceName(face);
    DescribeSmoothSize(height);
    AcquireTextCanvas(SpriteSurface(kFontBufferSprite));
}

void ReleaseSmoothFont() { ReleaseTextCanvas(); }

void LayoutText(int x, int y, int right, int bottom, const char* text, std::uint16_t style) {
    if (!krFontState.description || !SpriteSurface(kFontSprite) || !krScreen.back) return;
    ReleaseTextCanvas();
    const bool cleared = fontSpriteInk.Clear();
    plat::Canvas& dc = TakeCanvas(SpriteSurface(kFontSprite));
    ReplaceNearBlackColors();
    StartList(x, y);
    LineInk drawn;
    if (text && CoordinatesSane(x, y, right, bottom)) LayOutPlain(dc, drawn, x, y, right, bottom, text, style);
    fontSpriteInk.Remember(cleared, drawn);
    ReleaseTextCanvas();
    AcquireTextCanvas(krScreen.back);
    ResetReveal();
}

void LayoutSmoothText(int x, int y, int right, int bottom, const char* text, std::uint16_t style) {
    if (!krFontState.description || !SpriteSurface(kFontSprite) || !SpriteSurface(kFontBufferSprite) || !krScreen.back)
        return;
    ClearObject(kFontSprite);
    ReleaseTextCanvas();
    FreshBuffer();
    ReplaceNearBlackColors();
    StartList(x, y);
    if (text && CoordinatesSane(x, y, right, bottom)) LayOutSmooth(x, y, right, bottom, text, style);
    ResetReveal();
}

int RevealText(float secondsPerGlyph) {
    MessageTextState& m = messageText;
    if (!(secondsPerGlyph > 0.0f) || m.revealCounter > m.count) {
        const plat::Rect& box = m.glyphs[0];
        Blit(box.left, box.top, kFontSprite, box.left, box.top, box.right, box.bottom);
        m.revealCounter = m.count + 1;
        return 1;
    }
    const int shown = std::min(m.revealCounter - 1, m.count - 1);
    for (int k = 1; k <= shown; ++k) {
        const plat::Rect& r = m.glyphs[k];
        Blit(r.left, r.top, kFontSprite, r.left, r.top, r.right, r.bottom);
    }
    m.revealTimer += krSystemState.frameTime;
    if (m.revealTimer >= secondsPerGlyph) {
        m.revealCounter = std::min(m.revealCounter + 1, m.count + 1);
        m.revealTimer = 0.0f;
    }
    return 0;
}

}  // namespace krDraw
