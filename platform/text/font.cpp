// Fonts and text: the system finds the face file, FreeType rasterises one
// bit per pixel, and this module caches faces, sizes and glyphs and lays
// out code page 932 text (single lines, word-wrapped boxes).
// Depends on platform/cp932 for decoding and platform/raster for filling.
#include "platform/text/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <unordered_map>

#include "platform/text/cp932.h"
#include "platform/text/font_files.h"
#include "platform/pixels/raster.h"

namespace plat {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr int kDefaultCellHeight = 16;
constexpr int kMaxPixelHeight = 1024;
constexpr std::size_t kMaxCachedSizes = 256;
constexpr double kItalicSlant = 0.2;

// The two standard face names (code page 932 bytes once compiled).
const std::string& MinchoName() {
    static const std::string name = "標準明朝";
    return name;
}
const std::string& GothicName() {
    static const std::string name = "標準ゴシック";
    return name;
}

FontCacheCounters counters;

// ---- face files: the system's (font_files.h) ----

// Face name (code page 932) -> file, looked up once per name.
const std::optional<FaceFile>& ResolveFace(const std::string& face) {
    static std::map<std::string, std::optional<FaceFile>> resolved;
    auto it = resolved.find(face);
    if (it != resolved.end()) return it->second;
    ++counters.facesResolved;
    std::optional<FaceFile> file;
    if (face == MinchoName()) {
        file = StandardFace(true);
    } else if (face != GothicName() && !face.empty()) {
        file = FamilyFace(Cp932ToUtf8(face.c_str()));
    }
    if (!file) file = face == GothicName() ? StandardFace(false) : ResolveFace(GothicName());
    return resolved.emplace(face, std::move(file)).first->second;
}

// ---- FreeType faces ----

class Library {
public:
    Library() { ready_ = FT_Init_FreeType(&library_) == 0; }
    ~Library() {
        for (auto& [key, face] : faces_)
            if (face) FT_Done_Face(face);
        if (ready_) FT_Done_FreeType(library_);
    }
    // The opened face of a file, or nullptr when it cannot be read.
    FT_Face Face(const FaceFile& file) {
        const auto key = std::make_pair(file.path, file.index);
        auto it = faces_.find(key);
        if (it != faces_.end()) return it->second;
        FT_Face face = nullptr;
        if (ready_) {
            ++counters.facesOpened;
            if (FT_New_Face(library_, file.path.c_str(), file.index, &face) != 0) face = nullptr;
            if (face && FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && !face->charmap) {
                FT_Done_Face(face);
                face = nullptr;
            }
        }
        faces_.emplace(key, face);
        return face;
    }

private:
    FT_Library library_ = nullptr;
    bool ready_ = false;
    std::map<std::pair<std::string, int>, FT_Face> faces_;
};

Library& Freetype() {
    static Library library;
    return library;
}

}  // namespace

// ---- glyphs ----

// One rasterised glyph: set pixels as runs, placed relative to the pen on
// the baseline (y grows downwards).
struct GlyphImage {
    int left = 0, top = 0;  // offset of the bitmap's top-left from the pen
    std::vector<raster::Span> runs;
    int advance = 0;  // whole pixels along the baseline
    // The box the runs cover, relative to the bitmap's top-left.
    int inkLeft = 0, inkRight = 0, inkRows = 0;
    // The runs again as one word a row (bit i: pixel inkLeft + i), for ink
    // up to 64 pixels wide; empty for wider ink.
    std::vector<std::uint64_t> inkMasks;
};

namespace {

using Run = raster::Span;
using Glyph = GlyphImage;

void MeasureInk(Glyph& g) {
    if (g.runs.empty()) return;
    g.inkLeft = g.runs.front().x0, g.inkRight = g.runs.front().x1;
    for (const Run& run : g.runs) {
        g.inkLeft = std::min(g.inkLeft, run.x0);
        g.inkRight = std::max(g.inkRight, run.x1);
        g.inkRows = std::max(g.inkRows, run.row + 1);
    }
    if (g.inkRight - g.inkLeft > 64) return;
    g.inkMasks.assign(static_cast<std::size_t>(g.inkRows), 0);
    for (const Run& run : g.runs) {
        const int from = run.x0 - g.inkLeft, to = run.x1 - g.inkLeft;  // 0 <= from < to <= 64
        const std::uint64_t upTo = to == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << to) - 1;
        g.inkMasks[static_cast<std::size_t>(run.row)] |= upTo & ~((std::uint64_t{1} << from) - 1);
    }
}

void AppendRuns(const FT_Bitmap& bitmap, std::vector<Run>& runs) {
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* line = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        int start = -1;
        for (unsigned x = 0; x <= bitmap.width; ++x) {
            bool on = false;
            if (x < bitmap.width) {
                on = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((line[x >> 3] >> (7 - (x & 7))) & 1) != 0
                                                             : line[x] >= 128;
            }
            if (on && start < 0) start = static_cast<int>(x);
            if (!on && start >= 0) {
                runs.push_back({static_cast<int>(row), start, static_cast<int>(x)});
                start = -1;
            }
        }
    }
}

// A hollow box for a character the face cannot show at all.
void MakeBox(Glyph& g, int width, int height) {
    width = std::max(width, 3);
    height = std::max(height, 3);
    g.left = 1;
    g.top = -height;
    g.runs.clear();
    g.runs.push_back({0, 0, width - 1});
    for (int row = 1; row < height - 1; ++row) {
        g.runs.push_back({row, 0, 1});
        g.runs.push_back({row, width - 2, width - 1});
    }
    g.runs.push_back({height - 1, 0, width - 1});
    g.advance = std::max(g.advance, width + 1);
}

bool IsBlankCharacter(char32_t cp) { return cp == U' ' || cp == 0x3000 || cp == 0xA0; }

// Whole pixel count of a 26.6 value, rounded.
int Pixels(FT_Pos v) { return static_cast<int>((v + 32) >> 6); }

struct SizeKey {
    std::string face;
    int height, escapement, weight;
    bool italic;
    auto operator<=>(const SizeKey&) const = default;
};

// A face at one size and style, with its glyph cache.
class SizedFace {
public:
    SizedFace(const SizeKey& key, FT_Face face, std::string family) : face_(face), family_(std::move(family)) {
        ++counters.sizesMade;
        static std::uint64_t lastId = 0;
        id_ = ++lastId;
        bold_ = key.weight >= 600;
        italic_ = key.italic;
        const double radians = (key.escapement % 3600) / 10.0 * std::numbers::pi / 180.0;
        cos_ = std::cos(radians);
        sin_ = std::sin(radians);
        rotated_ = key.escapement % 3600 != 0;
        if (face_) SetUp(key.height);
    }
    ~SizedFace() {
        if (size_) FT_Done_Size(size_);
    }
    SizedFace(const SizedFace&) = delete;
    SizedFace& operator=(const SizedFace&) = delete;

    const TextMetrics& Metrics() const { return metrics_; }
    std::uint64_t Id() const { return id_; }
    const std::string& Family() const { return family_; }
    bool Rotated() const { return rotated_; }
    double Cos() const { return cos_; }
    double Sin() const { return sin_; }
    int UnderlineOffset() const { return underlineOffset_; }
    int UnderlineThickness() const { return underlineThickness_; }

    const Glyph& GlyphOf(char32_t cp) {
        if (cp < ascii_.size()) {
            if (!ascii_[cp]) ascii_[cp] = std::make_unique<Glyph>(Render(cp));
            return *ascii_[cp];
        }
        auto it = others_.find(cp);
        if (it == others_.end()) it = others_.emplace(cp, Render(cp)).first;
        return it->second;
    }

    int users = 0;

private:
    void SetUp(int height) {
        if (FT_New_Size(face_, &size_) != 0) {
            size_ = nullptr;
            return;
        }
        FT_Activate_Size(size_);
        int cell = height > 0 ? height : kDefaultCellHeight;
        cell = std::min(cell, kMaxPixelHeight);
        if (FT_IS_SCALABLE(face_)) ScaleOutline(height, cell);
        else PickStrike(cell);
        FT_Matrix m;
        const double slant = italic_ ? kItalicSlant : 0.0;
        m.xx = static_cast<FT_Fixed>(std::lround(cos_ * 65536));
        m.xy = static_cast<FT_Fixed>(std::lround((slant * cos_ - sin_) * 65536));
        m.yx = static_cast<FT_Fixed>(std::lround(sin_ * 65536));
        m.yy = static_cast<FT_Fixed>(std::lround((slant * sin_ + cos_) * 65536));
        matrix_ = m;
        transformed_ = rotated_ || italic_;
        const int ppem = face_->size->metrics.y_ppem;
        emboldenStrength_ = std::max<FT_Pos>(64, ppem * 64 / 24);
        metrics_.averageWidth = AverageWidth(ppem);
    }

    // Positive heights are cells (ascent + descent), negative ones ems.
    void ScaleOutline(int height, int cell) {
        const double units = face_->units_per_EM > 0 ? face_->units_per_EM : 1000;
        const double ascender = std::max<double>(face_->ascender, 1);
        const double descender = std::max<double>(-face_->descender, 0);
        const double cellUnits = ascender + descender;
        double ppem;
        if (height < 0) {
            ppem = std::min(-static_cast<double>(height), static_cast<double>(kMaxPixelHeight));
            cell = std::max(1, static_cast<int>(std::lround(ppem * cellUnits / units)));
        } else {
            ppem = cell * units / cellUnits;
        }
        FT_Set_Char_Size(face_, 0, std::max<FT_F26Dot6>(64, std::lround(ppem * 64)), 72, 72);
        metrics_.height = cell;
        metrics_.ascent = std::min(cell, static_cast<int>(std::lround(cell * ascender / cellUnits)));
        metrics_.descent = cell - metrics_.ascent;
        underlineOffset_ = std::max(1, static_cast<int>(std::lround(-face_->underline_position * ppem / units)));
        underlineThickness_ = std::max(1, static_cast<int>(std::lround(face_->underline_thickness * ppem / units)));
    }

    // Bitmap-only faces: the strike nearest the wanted cell.
    void PickStrike(int cell) {
        int best = 0;
        for (int i = 0; i < face_->num_fixed_sizes; ++i) {
            if (std::abs(face_->available_sizes[i].height - cell) <
                std::abs(face_->available_sizes[best].height - cell))
                best = i;
        }
        if (face_->num_fixed_sizes > 0) FT_Select_Size(face_, best);
        metrics_.ascent = Pixels(face_->size->metrics.ascender);
        metrics_.descent = std::max(0, -Pixels(face_->size->metrics.descender));
        metrics_.height = std::max(1, metrics_.ascent + metrics_.descent);
        underlineOffset_ = 1;
        underlineThickness_ = 1;
    }

    int AverageWidth(int ppem) {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        if (os2 && os2->xAvgCharWidth > 0 && face_->units_per_EM > 0)
            return std::max(1, static_cast<int>(std::lround(os2->xAvgCharWidth * double(ppem) / face_->units_per_EM)));
        return std::max(1, ppem / 2);
    }

    Glyph Render(char32_t cp) {
        Glyph g;
        if (!face_ || !size_) return g;
        ++counters.glyphsRendered;
        FT_Activate_Size(size_);
        const FT_UInt index = FT_Get_Char_Index(face_, cp);
        const bool synthetic = bold_ || transformed_;
        FT_Int32 flags = FT_LOAD_TARGET_MONO;
        if (synthetic && FT_IS_SCALABLE(face_)) flags |= FT_LOAD_NO_BITMAP;
        FT_Set_Transform(face_, transformed_ ? &matrix_ : nullptr, nullptr);
        const bool loaded = FT_Load_Glyph(face_, index, flags) == 0;
        FT_Set_Transform(face_, nullptr, nullptr);
        FT_GlyphSlot slot = face_->glyph;
        if (loaded) {
            g.advance = Pixels(slot->metrics.horiAdvance);
            if (bold_ && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
                FT_Outline_Embolden(&slot->outline, emboldenStrength_);
                g.advance += Pixels(emboldenStrength_);
            }
            if (slot->format == FT_GLYPH_FORMAT_BITMAP || FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) == 0) {
                g.left = slot->bitmap_left;
                g.top = -slot->bitmap_top;
                AppendRuns(slot->bitmap, g.runs);
            }
        }
        if (g.runs.empty() && index == 0 && !IsBlankCharacter(cp))
            MakeBox(g, metrics_.averageWidth, metrics_.ascent);
        MeasureInk(g);
        return g;
    }

    FT_Face face_;
    std::uint64_t id_ = 0;
    FT_Size size_ = nullptr;
    std::string family_;
    TextMetrics metrics_;
    FT_Matrix matrix_{};
    bool transformed_ = false, rotated_ = false, bold_ = false, italic_ = false;
    double cos_ = 1, sin_ = 0;
    FT_Pos emboldenStrength_ = 64;
    int underlineOffset_ = 1, underlineThickness_ = 1;
    std::array<std::unique_ptr<Glyph>, 128> ascii_;
    std::unordered_map<char32_t, Glyph> others_;
};

// Sizes shared by every font with the same key; unused ones are dropped
// when the cache grows past its bound.
class SizeCache {
public:
    SizedFace* Acquire(const FontRequest& request) {
        SizeKey key{request.face, std::clamp(request.height, -kMaxPixelHeight, kMaxPixelHeight), request.escapement % 3600,
                    request.weight, request.italic};
        auto it = sizes_.find(key);
        if (it == sizes_.end()) {
            if (sizes_.size() >= kMaxCachedSizes) DropUnused();
            const std::optional<FaceFile>& file = ResolveFace(request.face);
            FT_Face face = file ? Freetype().Face(*file) : nullptr;
            it = sizes_.emplace(key, std::make_unique<SizedFace>(key, face, file ? file->family : "")).first;
        }
        ++it->second->users;
        return it->second.get();
    }
    void Drop(SizedFace* size) { --size->users; }
    ~SizeCache() { sizes_.clear(); }

private:
    void DropUnused() {
        std::erase_if(sizes_, [](const auto& entry) { return entry.second->users <= 0; });
    }
    std::map<SizeKey, std::unique_ptr<SizedFace>> sizes_;
};

SizeCache& Sizes() {
    // Built after the FreeType library so that it is destroyed first.
    Freetype();
    static SizeCache cache;
    return cache;
}

// ---- code page 932 ----

// Text up to its terminator, or at most length bytes when length >= 0.
std::u32string DecodeText(const char* text, int length) {
    return DecodeCp932(text, length < 0 ? std::string::npos : static_cast<std::size_t>(length));
}

bool IsBreakableWide(char32_t cp) {
    return (cp >= 0x2E80 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFF00 && cp <= 0xFFEF) ||
           cp == kReplacement;
}

// Closing marks that read badly at the start of a line; a line does not
// break just before them.
bool IsClosingMark(char32_t cp) {
    static constexpr char32_t kMarks[] = {0x3001, 0x3002, 0xFF0C, 0xFF0E, 0xFF01, 0xFF1F, 0x300D, 0x300F,
                                          0xFF09, 0x3011, 0x3009, 0x300B, 0x3015, 0xFF3D, 0xFF5D, 0x30FC};
    return std::find(std::begin(kMarks), std::end(kMarks), cp) != std::end(kMarks);
}

}  // namespace

// ---- fonts ----

class Font {
public:
    explicit Font(const FontRequest& request) : request_(request), size_(Sizes().Acquire(request)) {}
    ~Font() { Sizes().Drop(size_); }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    const FontRequest& Request() const { return request_; }
    SizedFace& Size() const { return *size_; }

private:
    FontRequest request_;
    SizedFace* size_;
};

Font* CreateFont(const FontRequest& request) { return new Font(request); }

void DeleteFont(Font* font) { delete font; }

Font* DefaultFont() {
    static Font* font = [] {
        FontRequest request;
        request.face = GothicName();
        return new Font(request);
    }();
    return font;
}

TextMetrics GetTextMetrics(const Font& font) { return font.Size().Metrics(); }

std::string FontFamilyName(const Font& font) { return font.Size().Family(); }

std::uint64_t FontSizeId(const Font& font) { return font.Size().Id(); }

FontCacheCounters GetFontCacheCounters() { return counters; }

// ---- drawing ----

namespace {

struct Line {
    std::size_t begin = 0, end = 0;  // code points [begin, end)
    int width = 0;                   // without trailing spaces
};

std::vector<const Glyph*> GlyphsOf(SizedFace& size, const std::u32string& text) {
    std::vector<const Glyph*> glyphs;
    glyphs.reserve(text.size());
    for (char32_t cp : text) glyphs.push_back(&size.GlyphOf(cp));
    return glyphs;
}

int WidthOf(const Glyph* const* glyphs, std::size_t count) {
    std::int64_t width = 0;
    for (std::size_t i = 0; i < count; ++i) width += glyphs[i]->advance;
    return static_cast<int>(std::min<std::int64_t>(width, 1 << 30));
}

int WidthOf(const std::vector<const Glyph*>& glyphs, std::size_t begin, std::size_t end) {
    return WidthOf(glyphs.data() + begin, end - begin);
}

// Grows painted (when asked for) to take in [left, right) x [top, bottom),
// which the caller has clipped.
void Cover(Rect* painted, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    if (!painted || right <= left || bottom <= top) return;
    const Rect r{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right), static_cast<int>(bottom)};
    if (raster::IsEmpty(*painted)) {
        *painted = r;
        return;
    }
    painted->left = std::min(painted->left, r.left);
    painted->top = std::min(painted->top, r.top);
    painted->right = std::max(painted->right, r.right);
    painted->bottom = std::max(painted->bottom, r.bottom);
}

// A glyph whose ink lies wholly inside the clip (the common case) is filled
// run by run without a test per run.
void PaintGlyph(Surface& target, const Rect& clip, const Glyph& g, std::int64_t penX, std::int64_t penY,
                std::uint32_t pixel, Rect* painted) {
    if (g.runs.empty()) return;
    const std::int64_t left = penX + g.left, top = penY + g.top;
    Cover(painted, std::max<std::int64_t>(left + g.inkLeft, clip.left), std::max<std::int64_t>(top, clip.top),
          std::min<std::int64_t>(left + g.inkRight, clip.right), std::min<std::int64_t>(top + g.inkRows, clip.bottom));
    if (left + g.inkLeft >= clip.left && left + g.inkRight <= clip.right && top >= clip.top &&
        top + g.inkRows <= clip.bottom) {
        if (!g.inkMasks.empty()) {
            raster::FillMaskRows(target, g.inkMasks.data(), g.inkRows, static_cast<int>(left + g.inkLeft),
                                 static_cast<int>(top), pixel);
            return;
        }
        raster::FillSpans(target, g.runs.data(), g.runs.size(), static_cast<int>(left), static_cast<int>(top), pixel);
        return;
    }
    for (const Run& run : g.runs) {
        const std::int64_t y = top + run.row;
        if (y < clip.top || y >= clip.bottom) continue;
        const std::int64_t x0 = std::max<std::int64_t>(left + run.x0, clip.left);
        const std::int64_t x1 = std::min<std::int64_t>(left + run.x1, clip.right);
        if (x0 < x1) raster::FillSpan(target, static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1), pixel);
    }
}

void FillBox(Surface& target, const Rect& clip, std::int64_t left, std::int64_t top, std::int64_t right,
             std::int64_t bottom, std::uint32_t pixel, Rect* painted) {
    const int x0 = static_cast<int>(std::max<std::int64_t>(left, clip.left));
    const int x1 = static_cast<int>(std::min<std::int64_t>(right, clip.right));
    const int y0 = static_cast<int>(std::max<std::int64_t>(top, clip.top));
    const int y1 = static_cast<int>(std::min<std::int64_t>(bottom, clip.bottom));
    Cover(painted, x0, y0, x1, y1);
    for (int y = y0; y < y1 && x0 < x1; ++y) raster::FillSpan(target, y, x0, x1, pixel);
}

// A band along a rotated baseline: from `from` to `to` pixels across it
// (measured downwards from the top of the cell), `width` pixels long. Its
// pixels are counted as the whole clip, a rare case not worth a tighter box.
void FillRotatedBand(Surface& target, const Rect& clip, const SizedFace& size, double x, double y, double width,
                     double from, double to, std::uint32_t pixel, Rect* painted) {
    Cover(painted, clip.left, clip.top, clip.right, clip.bottom);
    const double dx = size.Cos(), dy = -size.Sin();  // along the baseline
    const double nx = size.Sin(), ny = size.Cos();   // down the cell
    raster::PathFiller filler;
    filler.AddContour(std::vector<raster::PointF>{{x + nx * from, y + ny * from},
                                                  {x + nx * from + dx * width, y + ny * from + dy * width},
                                                  {x + nx * to + dx * width, y + ny * to + dy * width},
                                                  {x + nx * to, y + ny * to}});
    filler.Fill(clip, true, [&](int row, int x0, int x1) { raster::FillSpan(target, row, x0, x1, pixel); });
}

// The underline's top row within the cell: below the baseline as the face
// asks, but never past the cell's last row, where the next line of text
// (or its opaque background) would cover it.
int UnderlineTop(const SizedFace& size) {
    const TextMetrics& m = size.Metrics();
    return std::max(0, std::min(m.ascent + size.UnderlineOffset(), m.height - size.UnderlineThickness()));
}

// Upright glyphs side by side from the pen (x, baseline).
void PaintUprightGlyphs(Surface& target, const Rect& clip, const Glyph* const* glyphs, std::size_t count,
                        std::int64_t x, std::int64_t baseline, std::uint32_t pixel, Rect* painted) {
    for (std::size_t i = 0; i < count; ++i) {
        PaintGlyph(target, clip, *glyphs[i], x, baseline, pixel, painted);
        x += glyphs[i]->advance;
    }
}

// Paints count glyphs as one line with the top-left of its cell at (x, y);
// painted, when given, grows to cover every pixel written.
void DrawGlyphRun(Surface& target, const Rect& clip, const Font& font, int x, int y, const Glyph* const* glyphs,
                  std::size_t count, const TextPaint& paint, Rect* painted) {
    SizedFace& size = font.Size();
    const TextMetrics& m = size.Metrics();
    const std::uint32_t textPixel = MapColorRef(target.format, paint.textColor);
    const bool underline = font.Request().underline;
    // The back colour and the line's width only matter to the filled cell
    // and the underline.
    const std::uint32_t backPixel = paint.opaque ? MapColorRef(target.format, paint.backColor) : 0;
    const int width = paint.opaque || underline ? WidthOf(glyphs, count) : 0;
    if (!size.Rotated()) {
        if (paint.opaque)
            FillBox(target, clip, x, y, std::int64_t{x} + width, std::int64_t{y} + m.height, backPixel, painted);
        PaintUprightGlyphs(target, clip, glyphs, count, x, std::int64_t{y} + m.ascent, textPixel, painted);
        if (underline) {
            const std::int64_t top = std::int64_t{y} + UnderlineTop(size);
            FillBox(target, clip, x, top, std::int64_t{x} + width, top + size.UnderlineThickness(), textPixel,
                    painted);
        }
        return;
    }
    if (paint.opaque) FillRotatedBand(target, clip, size, x, y, width, 0, m.height, backPixel, painted);
    const double startX = x + size.Sin() * m.ascent, startY = y + size.Cos() * m.ascent;
    double along = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto penX = static_cast<std::int64_t>(std::lround(startX + size.Cos() * along));
        const auto penY = static_cast<std::int64_t>(std::lround(startY - size.Sin() * along));
        PaintGlyph(target, clip, *glyphs[i], penX, penY, textPixel, painted);
        along += glyphs[i]->advance;
    }
    if (underline) {
        const double from = UnderlineTop(size);
        FillRotatedBand(target, clip, size, x, y, width, from, from + size.UnderlineThickness(), textPixel, painted);
    }
}

bool IsSpace(char32_t cp) { return cp == U' '; }

// Whether a line may break before text[i] other than at a space: next to a
// two-byte character, unless a closing mark would start the line.
bool BreaksBefore(const std::u32string& text, std::size_t start, std::size_t i) {
    return i > start && !IsSpace(text[i - 1]) && !IsClosingMark(text[i]) &&
           (IsBreakableWide(text[i]) || IsBreakableWide(text[i - 1]));
}

// Breaks one paragraph [begin, end) into lines no wider than maxWidth.
void WrapParagraph(const std::u32string& text, const std::vector<const Glyph*>& glyphs, std::size_t begin,
                   std::size_t end, int maxWidth, std::vector<Line>& lines) {
    std::size_t start = begin;
    while (true) {
        std::int64_t width = 0;
        std::size_t breakAt = start;  // where the next line may start, start = none yet
        std::size_t lineEnd = start;  // end of the line's text before that break
        std::size_t i = start;
        for (; i < end; ++i) {
            if (IsSpace(text[i])) {
                std::size_t j = i;
                while (j < end && IsSpace(text[j])) width += glyphs[j++]->advance;
                lineEnd = i;
                breakAt = j;
                i = j - 1;
                continue;
            }
            if (BreaksBefore(text, start, i)) {
                lineEnd = i;
                breakAt = i;
            }
            if (i > start && width + glyphs[i]->advance > maxWidth) break;
            width += glyphs[i]->advance;
        }
        if (i >= end) {
            std::size_t last = end;
            while (last > start && IsSpace(text[last - 1])) --last;
            lines.push_back({start, last, WidthOf(glyphs, start, last)});
            return;
        }
        if (breakAt == start) {
            // One word wider than the box is not split: it keeps its line
            // (the box clips it), which ends where the word does.
            while (i < end && !IsSpace(text[i]) && !BreaksBefore(text, start, i)) ++i;
            if (i >= end) {
                lines.push_back({start, end, WidthOf(glyphs, start, end)});
                return;
            }
            lineEnd = i;
            breakAt = i;
        }
        while (lineEnd > start && IsSpace(text[lineEnd - 1])) --lineEnd;
        lines.push_back({start, lineEnd, WidthOf(glyphs, start, lineEnd)});
        start = breakAt;
        while (start < end && IsSpace(text[start])) ++start;
        if (start >= end) return;
    }
}

std::vector<Line> LayOut(const std::u32string& text, const std::vector<const Glyph*>& glyphs, bool wrap,
                         int maxWidth) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = begin;
        while (end < text.size() && text[end] != U'\n' && text[end] != U'\r') ++end;
        if (wrap && end > begin) WrapParagraph(text, glyphs, begin, end, maxWidth, lines);
        else lines.push_back({begin, end, WidthOf(glyphs, begin, end)});
        if (end < text.size() && text[end] == U'\r' && end + 1 < text.size() && text[end + 1] == U'\n') ++end;
        begin = end + 1;
    }
    return lines;
}

}  // namespace

void DrawTextLine(Surface& target, const Rect& clip, const Font& font, int x, int y, const char* text, int length,
                  const TextPaint& paint) {
    const std::u32string decoded = DecodeText(text, length);
    const Rect bounds = raster::Intersect(clip, raster::Bounds(target));
    if (decoded.empty() || raster::IsEmpty(bounds)) return;
    const std::vector<const Glyph*> glyphs = GlyphsOf(font.Size(), decoded);
    DrawGlyphRun(target, bounds, font, x, y, glyphs.data(), glyphs.size(), paint, nullptr);
}

ShapedText ShapeText(const Font& font, const char* text, int length) {
    ShapedText shaped;
    if (!text) return shaped;
    const std::size_t limit = length < 0 ? ShapedText::kMaxBytes
                                         : std::min<std::size_t>(static_cast<std::size_t>(length), ShapedText::kMaxBytes);
    const std::u32string decoded = DecodeCp932(text, limit);
    SizedFace& size = font.Size();
    for (char32_t cp : decoded) shaped.glyphs[shaped.count++] = &size.GlyphOf(cp);
    shaped.extent = {WidthOf(shaped.glyphs, static_cast<std::size_t>(shaped.count)), size.Metrics().height};
    if (shaped.count == 1 && !size.Rotated() && !font.Request().underline) {
        const Glyph& g = *shaped.glyphs[0];
        shaped.direct = true;
        shaped.runs = g.runs.data();
        shaped.runCount = static_cast<int>(g.runs.size());
        shaped.runsX = g.left;
        shaped.runsY = size.Metrics().ascent + g.top;
        shaped.ink = Rect{g.left + g.inkLeft, shaped.runsY, g.left + g.inkRight, shaped.runsY + g.inkRows};
        if (!g.inkMasks.empty()) shaped.inkMasks = g.inkMasks.data();
    }
    return shaped;
}

void DrawShapedText(Surface& target, const Rect& clip, const Font& font, int x, int y, const ShapedText& text,
                    const TextPaint& paint, Rect* painted) {
    const Rect bounds = raster::Intersect(clip, raster::Bounds(target));
    if (text.count == 0 || raster::IsEmpty(bounds)) return;
    DrawGlyphRun(target, bounds, font, x, y, text.glyphs, static_cast<std::size_t>(text.count), paint, painted);
}

ShapedTextPainter::ShapedTextPainter(Surface* target, const Font& font)
    : target_(target && !target->lost ? target : nullptr), font_(&font) {
    if (!target_) return;
    clip_ = raster::Bounds(*target_);
    fill_ = kernels::MaskedFillFor(target_->format.bytesPerPixel);
    const SizedFace& size = font.Size();
    upright_ = !size.Rotated() && !font.Request().underline;
    ascent_ = size.Metrics().ascent;
}

void ShapedTextPainter::SetColor(std::uint32_t colorRef) {
    if (!target_ || (colorSet_ && colorRef == colorRef_)) return;
    colorRef_ = colorRef;
    pixel_ = MapColorRef(target_->format, colorRef);
    colorSet_ = true;
}

void ShapedTextPainter::PaintOther(int x, int y, const ShapedText& text, Rect* painted) const {
    if (!target_ || text.count == 0) return;
    if (text.direct && upright_) {
        if (text.runCount == 0) return;
        const Rect& clip = clip_;
        const std::int64_t left = std::int64_t{x} + text.ink.left, top = std::int64_t{y} + text.ink.top;
        const std::int64_t right = std::int64_t{x} + text.ink.right, bottom = std::int64_t{y} + text.ink.bottom;
        if (left >= clip.left && right <= clip.right && top >= clip.top && bottom <= clip.bottom) {
            Cover(painted, left, top, right, bottom);
            raster::FillSpans(*target_, text.runs, static_cast<std::size_t>(text.runCount), x + text.runsX,
                              y + text.runsY, pixel_);
            return;
        }
    }
    const auto count = static_cast<std::size_t>(text.count);
    if (upright_) {
        PaintUprightGlyphs(*target_, clip_, text.glyphs, count, x, std::int64_t{y} + ascent_, pixel_, painted);
        return;
    }
    DrawGlyphRun(*target_, clip_, *font_, x, y, text.glyphs, count, TextPaint{colorRef_, 0, false}, painted);
}

Size MeasureText(const Font& font, const char* text, int length) {
    const std::u32string decoded = DecodeText(text, length);
    const std::vector<const Glyph*> glyphs = GlyphsOf(font.Size(), decoded);
    return {WidthOf(glyphs, 0, glyphs.size()), font.Size().Metrics().height};
}

int DrawTextBox(Surface* target, const Rect& clip, const Font& font, const char* text, int length, Rect& box,
                std::uint32_t format, const TextPaint& paint) {
    const std::u32string decoded = DecodeText(text, length);
    const std::vector<const Glyph*> glyphs = GlyphsOf(font.Size(), decoded);
    const auto boxWidth =
        static_cast<int>(std::clamp<std::int64_t>(std::int64_t{box.right} - box.left, 0, INT32_MAX));
    const std::vector<Line> lines = LayOut(decoded, glyphs, (format & DT_WORDBREAK) != 0, boxWidth);
    const int lineHeight = font.Size().Metrics().height;
    const auto height = static_cast<int>(std::min<std::int64_t>(std::int64_t{lineHeight} * lines.size(), 1 << 30));
    if (format & DT_CALCRECT) {
        box.bottom = static_cast<int>(std::min<std::int64_t>(std::int64_t{box.top} + height, INT32_MAX));
        return height;
    }
    if (!target) return height;
    Rect area = raster::Intersect(clip, raster::Bounds(*target));
    if (!(format & DT_NOCLIP)) area = raster::Intersect(area, box);
    if (raster::IsEmpty(area)) return height;
    std::int64_t y = box.top;
    for (const Line& line : lines) {
        if (y >= area.bottom) break;
        std::int64_t x = box.left;
        if (format & DT_CENTER) x += (std::int64_t{boxWidth} - line.width) / 2;
        else if (format & DT_RIGHT) x = std::int64_t{box.right} - line.width;
        if (y + lineHeight > area.top && line.end > line.begin)
            DrawGlyphRun(*target, area, font, static_cast<int>(std::clamp<std::int64_t>(x, INT32_MIN, INT32_MAX)),
                         static_cast<int>(y), glyphs.data() + line.begin, line.end - line.begin, paint, nullptr);
        y += lineHeight;
    }
    return height;
}

// ---- the installed families ----

std::vector<FontFamily> ListFontFamilies(std::size_t maxCount) {
    std::vector<FontFamily> families;
    std::map<std::string, std::size_t> seen;  // UTF-8 family -> index in families
    for (const InstalledFace& face : InstalledFaces()) {
        auto it = seen.find(face.family);
        if (it != seen.end()) {
            if (face.japanese) families[it->second].charset = SHIFTJIS_CHARSET;
            continue;
        }
        if (families.size() >= maxCount) continue;
        seen.emplace(face.family, families.size());
        families.push_back({Utf8ToCp932(face.family), face.japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET});
    }
    return families;
}

}  // namespace plat
