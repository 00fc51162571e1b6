// Per-pixel blends of an object's rectangle onto the back screen: 50 %,
// alpha, cross-fade, additive, subtractive, darken, brighten, channel mask,
// grey, blur, edge smoothing, refraction, flips and smears.
//
// Every member shares one frame: clip as krDraw::Blit does (and to both
// surfaces, so no rectangle can reach outside either), return 1 without
// locking when nothing is left, lock the source and then the back screen
// (0 when a lock fails or the slot holds no picture of the back screen's
// format), apply the rule to every source pixel that is not 0 (0 is
// transparent), unlock the source and then the back screen, return 1.
//
// The rules work on every display depth through the component kernels of
// platform/pixels/blend_kernels.h. The 16-bit effect tables of the screen set-up
// define the table members' arithmetic on 5-bit components; the kernels
// compute the same values directly (the tests hold them to the tables),
// which serves the depths that have no tables and avoids three look-ups
// per pixel. On 24- and 32-bit displays those members compute the same
// rules on the full eight bits of each component, the levels scaled to
// eight bits (31 is 255), so an add never darkens, a subtraction never
// brightens and smooth backgrounds keep their steps. One exception to the
// tables: fade level 31 draws the source and level 0 keeps the destination
// whole, where the tables would clear the low bit of a six-bit green; so a
// full fade is a keyed copy and an empty one changes nothing, on every
// depth. Blur, edge smoothing and refraction keep 5-bit components.
//
// The alpha members compute destination = truncate(s * opacity + d *
// (1 - opacity)) per component in 32-bit floats, the products rounded
// first and then their sum, with (1 - opacity) worked out once per call:
// the same value on every pixel and every depth, vector or not.
//
// Choices where the rules leave room: a flip mirrors the whole rectangle
// and then clips it, so the part left on the screen does not jump at an
// edge; a gradient counts its pixels from the first drawn one and falls
// by one step after each `step` pixels from `start` on; smear modes 1 and
// 3 follow the source from the right or bottom edge leftwards or upwards
// and repeat towards the other edge, and a smear length of 0 draws
// nothing; a blur block larger than the drawn area shrinks to it.
//
// Arguments outside their ranges are brought inside: levels to 0..31,
// opacities and strengths to 0..1, factors to 0 and above (a brightened
// component saturates at its maximum instead of running into its
// neighbour), NaN to 0. A blur block below 1 and a flip or smear mode
// outside 0..3 are refused with 0; a gradient step below 1 keeps the
// starting levels.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "draw/krDraw.h"
#include "draw/objects_internal.h"
#include "platform/pixels/blend_kernels.h"
#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/effect_kernels.h"

namespace {

namespace blend = plat::blend;

// One axis of a clipped blend: `count` destination pixels from `dst0`,
// reading the source from `src0` in direction `step`.
struct Axis {
    std::int64_t dst0 = 0, count = 0, src0 = 0;
    int step = 1;
};

// The destination run [p, p + (r - l)) cut to [lo, hi) and to the pixels
// whose source lies inside the source's size. Mirrored, the run reads the
// rectangle from r - 1 backwards, so the picture is mirrored whole and then
// clipped: the part that stays on the screen does not change with the clip.
Axis ClipAxis(std::int64_t p, std::int64_t l, std::int64_t r, std::int64_t lo, std::int64_t hi,
              std::int64_t sourceSize, bool mirror) {
    Axis a;
    if (r <= l) return a;
    std::int64_t start = std::max(p, lo), end = std::min(p + (r - l), hi);
    if (mirror) {
        start = std::max(start, p + r - sourceSize);
        end = std::min(end, p + r);
    } else {
        start = std::max(start, p - l);
        end = std::min(end, p - l + sourceSize);
    }
    if (end <= start) return a;
    a.dst0 = start;
    a.count = end - start;
    a.src0 = mirror ? r - 1 - (start - p) : l + (start - p);
    a.step = mirror ? -1 : 1;
    return a;
}

// The destination bounds of every blend: the clip rectangle inside the back screen.
plat::Rect Bounds() {
    const plat::Rect& clip = krScreen.clip;
    return plat::Rect{std::max(clip.left, 0), std::max(clip.top, 0), std::min(clip.right, krScreen.back->width),
                      std::min(clip.bottom, krScreen.back->height)};
}

// The object's surface when it can be blended onto the back screen.
plat::Surface* SourceOf(int slot) {
    plat::Surface* source = krDraw::internal::SurfaceAt(slot);
    if (!source || !krScreen.back) return nullptr;
    const plat::PixelFormat& a = source->format;
    const plat::PixelFormat& b = krScreen.back->format;
    if (a.bytesPerPixel != b.bytesPerPixel || a.redMask != b.redMask || a.greenMask != b.greenMask ||
        a.blueMask != b.blueMask)
        return nullptr;
    return source;
}

blend::Components BackComponents() {
    const plat::PixelFormat& f = krScreen.back->format;
    return blend::ComponentsOf(f.bytesPerPixel, f.redMask, f.greenMask, f.blueMask);
}

// A clipped blend: the locked pixels and the area to work on.
struct Area {
    plat::Surface* source = nullptr;
    std::uint8_t* src = nullptr;
    std::uint8_t* dst = nullptr;
    int srcPitch = 0, dstPitch = 0;
    Axis columns, rows;
    blend::Components c;
    std::uint32_t colour = 0;  // the colour bits: a pixel without them is transparent

    int Width() const { return static_cast<int>(columns.count); }
    int Height() const { return static_cast<int>(rows.count); }
    int Bpp() const { return c.bytesPerPixel; }
    // Source and destination pixel of drawn pixel (i, j), counted from the area's corner.
    const std::uint8_t* Src(int i, int j) const {
        return src + (rows.src0 + static_cast<std::int64_t>(j) * rows.step) * srcPitch +
               (columns.src0 + static_cast<std::int64_t>(i) * columns.step) * Bpp();
    }
    std::uint8_t* Dst(int i, int j) const {
        return dst + (rows.dst0 + j) * dstPitch + (columns.dst0 + i) * Bpp();
    }
    bool Transparent(std::uint32_t pixel) const { return (pixel & colour) == 0; }
};

enum class Outcome { kRefused, kNothingToDraw, kReady };

// Clips the blend and locks the source, then the back screen.
Outcome Open(Area& area, int x, int y, int slot, int l, int t, int r, int b, bool mirrorX = false,
             bool mirrorY = false) {
    area.source = SourceOf(slot);
    if (!area.source) return Outcome::kRefused;
    const plat::Rect bounds = Bounds();
    area.columns = ClipAxis(x, l, r, bounds.left, bounds.right, area.source->width, mirrorX);
    area.rows = ClipAxis(y, t, b, bounds.top, bounds.bottom, area.source->height, mirrorY);
    if (area.columns.count == 0 || area.rows.count == 0) return Outcome::kNothingToDraw;
    area.c = BackComponents();
    area.colour = blend::ColourMask(area.c);
    if (plat::Lock(area.source, &area.src, &area.srcPitch) != plat::DD_OK) return Outcome::kRefused;
    if (plat::Lock(krScreen.back, &area.dst, &area.dstPitch) != plat::DD_OK) {
        plat::Unlock(area.source);
        return Outcome::kRefused;
    }
    return Outcome::kReady;
}

int Close(const Area& area) {
    plat::Unlock(area.source);
    plat::Unlock(krScreen.back);
    return 1;
}

// Runs draw(area) between the locks; the blend's result.
template <typename Draw>
int Blended(int x, int y, int slot, int l, int t, int r, int b, Draw draw, bool mirrorX = false,
            bool mirrorY = false) {
    Area area;
    switch (Open(area, x, y, slot, l, t, r, b, mirrorX, mirrorY)) {
        case Outcome::kRefused: return 0;
        case Outcome::kNothingToDraw: return 1;
        case Outcome::kReady: break;
    }
    draw(area);
    return Close(area);
}

// The whole area as kernel rows (read forwards).
blend::Rows AreaRows(const Area& area) {
    blend::Rows rows;
    rows.dst = area.Dst(0, 0);
    rows.dstPitch = area.dstPitch;
    rows.src = area.Src(0, 0);
    rows.srcPitch = area.srcPitch;
    rows.width = area.Width();
    rows.rows = area.Height();
    return rows;
}

// The kernel over columns [i0, i1) and rows [j0, j1) of the area.
void RunKernel(const Area& area, int i0, int i1, int j0, int j1, const blend::Params& p) {
    blend::Rows rows;
    rows.dst = area.Dst(i0, j0);
    rows.dstPitch = area.dstPitch;
    rows.src = area.Src(i0, j0);
    rows.srcPitch = area.srcPitch;
    rows.width = i1 - i0;
    rows.rows = j1 - j0;
    blend::Blend(rows, area.c, p);
}

int KernelBlit(int x, int y, int slot, int l, int t, int r, int b, const blend::Params& p) {
    return Blended(x, y, slot, l, t, r, b,
                   [&](const Area& area) { RunKernel(area, 0, area.Width(), 0, area.Height(), p); });
}

float Clamp01(float v) {
    if (!(v >= 0.0f)) return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

// (int)(31 - strength * 31) with strength brought into 0..1.
int StrengthLevel(float strength) { return static_cast<int>(31.0f - Clamp01(strength) * 31.0f); }

blend::Params AlphaParams(float red, float green, float blue) {
    blend::Params p;
    p.rule = blend::Rule::kAlpha;
    const float opacity[3] = {Clamp01(red), Clamp01(green), Clamp01(blue)};
    for (int i = 0; i < 3; ++i) {
        p.opacity[i] = opacity[i];
        p.transparency[i] = 1.0f - opacity[i];
    }
    return p;
}

blend::Params LevelParams(blend::Rule rule, int red, int green, int blue) {
    blend::Params p;
    p.rule = rule;
    p.level[0] = std::clamp(red, 0, 31);
    p.level[1] = std::clamp(green, 0, 31);
    p.level[2] = std::clamp(blue, 0, 31);
    return p;
}

// Cross-fade table levels of fade levels: level 31 draws the source.
blend::Params FadeParams(int red, int green, int blue) {
    return LevelParams(blend::Rule::kCrossFade, 31 - std::clamp(red, 0, 31), 31 - std::clamp(green, 0, 31),
                       31 - std::clamp(blue, 0, 31));
}

// How many steps the gradient has fallen at pixel index n: none up to
// start, then one more every step pixels; a step below 1 never falls.
int GradientFalls(int n, int start, int step) { return (step < 1 || n < start) ? 0 : (n - start) / step; }

// Runs the kernel in bands along the gradient's index (columns, or rows
// when vertical), each band with the parameters after its falls.
// After lastFall falls nothing changes any more (every level is down to 0).
template <typename ParamsAt>
int GradientBlit(int x, int y, int vertical, int start, int step, int slot, int l, int t, int r, int b, int lastFall,
                 ParamsAt paramsAt) {
    start &= 0xFFFF;
    return Blended(x, y, slot, l, t, r, b, [&](const Area& area) {
        const int length = vertical ? area.Height() : area.Width();
        for (int n = 0; n < length;) {
            const int falls = GradientFalls(n, start, step);
            int end = length;
            if (step >= 1 && falls < lastFall) {
                // The next index where the number of falls changes.
                const std::int64_t next = n < start ? start + step : start + static_cast<std::int64_t>(falls + 1) * step;
                end = static_cast<int>(std::min<std::int64_t>(length, next));
            }
            const blend::Params p = paramsAt(falls);
            if (vertical) RunKernel(area, 0, area.Width(), n, end, p);
            else RunKernel(area, n, end, 0, area.Height(), p);
            n = end;
        }
    });
}

// A gradient across the rows (vertical 0): one pass, each column with its
// own falls (32 bring every level and transparency to 0).
int ColumnGradientBlit(int x, int y, int start, int step, int slot, int l, int t, int r, int b,
                       const blend::Params& base) {
    return Blended(x, y, slot, l, t, r, b, [&](const Area& area) {
        std::vector<std::uint8_t> falls(static_cast<std::size_t>(area.Width()));
        for (int n = 0; n < area.Width(); ++n)
            falls[n] = static_cast<std::uint8_t>(std::min(32, GradientFalls(n, start & 0xFFFF, step)));
        blend::Params p = base;
        p.columnFalls = falls.data();
        RunKernel(area, 0, area.Width(), 0, area.Height(), p);
    });
}

// ---- the members that read more than the pixel under them ----
// Written once per pixel size (B bytes), so that every pixel is one fixed
// load or store; rows are walked through pointers.

template <int B>
std::uint32_t Load(const std::uint8_t* p) {
    return blend::LoadPixel(p, B);
}
template <int B>
void Store(std::uint8_t* p, std::uint32_t v) {
    blend::StorePixel(p, B, v);
}

// Calls draw.template operator()<B>() for the area's pixel size.
template <typename Draw>
void ForPixelSize(const Area& area, Draw draw) {
    switch (area.Bpp()) {
        case 2: return draw.template operator()<2>();
        case 4: return draw.template operator()<4>();
        default: return draw.template operator()<3>();
    }
}

// ---- flips and smears: rows built in a buffer, then keyed copies ----

// A keyed copy (0 is transparent) of one row of n pixels.
void KeyedRow(std::uint8_t* dst, const std::uint8_t* src, int n, int bpp) {
    plat::kernels::CopyArgs a;
    a.dst = dst;
    a.src = src;
    a.width = n;
    a.rows = 1;
    plat::kernels::KeyedCopy(a, bpp, 0);
}

void KeyedCopyRows(const Area& area) {
    plat::kernels::CopyArgs a;
    a.dst = area.Dst(0, 0);
    a.dstPitch = area.dstPitch;
    a.src = area.Src(0, 0);
    a.srcPitch = static_cast<std::ptrdiff_t>(area.srcPitch) * area.rows.step;
    a.width = area.Width();
    a.rows = area.Height();
    plat::kernels::KeyedCopy(a, area.Bpp(), 0);
}

// Mirrored rows: each row reversed into a buffer, then copied keyed.
template <int B>
void MirroredRows(const Area& area) {
    const int w = area.Width();
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * B);
    for (int j = 0; j < area.Height(); ++j) {
        const std::uint8_t* src = area.Src(0, j);  // reads backwards from here
        for (int i = 0; i < w; ++i) std::memcpy(&row[static_cast<std::size_t>(i) * B], src - static_cast<std::ptrdiff_t>(i) * B, B);
        KeyedRow(area.Dst(0, j), row.data(), w, B);
    }
}

// Source coordinate of each destination offset 0..n-1 of a smeared axis:
// the first `length` follow the source from its starting edge, the rest
// repeat the last one taken. Backwards, the run starts at the far edge.
std::int64_t SmearSource(std::int64_t offset, std::int64_t n, std::int64_t l, std::int64_t r, int length,
                         bool backwards) {
    if (!backwards) return l + std::min<std::int64_t>(offset, length - 1);
    return r - 1 - std::min<std::int64_t>(n - 1 - offset, length - 1);
}

int Smear(int x, int y, int mode, int length, int slot, std::int64_t l, std::int64_t t, std::int64_t r,
          std::int64_t b) {
    plat::Surface* source = SourceOf(slot);
    if (!source || mode < 0 || mode > 3) return 0;
    const bool vertical = mode >= 2, backwards = mode == 1 || mode == 3;
    const plat::Rect bounds = Bounds();
    // The smeared axis is clipped to the destination only; each line's
    // source is tested against the picture as it is read.
    const std::int64_t n = vertical ? b - t : r - l;
    const std::int64_t p = vertical ? y : x;
    const std::int64_t lo = vertical ? bounds.top : bounds.left, hi = vertical ? bounds.bottom : bounds.right;
    const std::int64_t start = std::max(p, lo), end = std::min(p + n, hi);
    const Axis across = vertical ? ClipAxis(x, l, r, bounds.left, bounds.right, source->width, false)
                                 : ClipAxis(y, t, b, bounds.top, bounds.bottom, source->height, false);
    if (length == 0 || n <= 0 || end <= start || across.count == 0) return 1;

    Area area;
    area.source = source;
    area.c = BackComponents();
    area.colour = blend::ColourMask(area.c);
    if (plat::Lock(source, &area.src, &area.srcPitch) != plat::DD_OK) return 0;
    if (plat::Lock(krScreen.back, &area.dst, &area.dstPitch) != plat::DD_OK) {
        plat::Unlock(source);
        return 0;
    }
    const std::int64_t sourceSize = vertical ? source->height : source->width;
    const std::int64_t from = vertical ? t : l, to = vertical ? b : r;
    const int bpp = area.Bpp();
    const int count = static_cast<int>(across.count);
    if (vertical) {
        // Each destination row is one source row: a keyed copy of it.
        for (std::int64_t row = start; row < end; ++row) {
            const std::int64_t sy = SmearSource(row - p, n, from, to, length, backwards);
            if (sy < 0 || sy >= sourceSize) continue;
            KeyedRow(area.dst + row * area.dstPitch + across.dst0 * bpp, area.src + sy * area.srcPitch + across.src0 * bpp,
                     count, bpp);
        }
    } else {
        // The same columns for every row: a row is gathered into a buffer
        // (columns outside the picture left transparent) and copied keyed.
        std::vector<std::int64_t> columns;
        for (std::int64_t column = start; column < end; ++column)
            columns.push_back(SmearSource(column - p, n, from, to, length, backwards));
        std::vector<std::uint8_t> line(columns.size() * bpp);
        for (int k = 0; k < count; ++k) {
            const std::uint8_t* src = area.src + (across.src0 + k) * area.srcPitch;
            for (std::size_t i = 0; i < columns.size(); ++i) {
                const bool inside = columns[i] >= 0 && columns[i] < sourceSize;
                const std::uint32_t pixel = inside ? blend::LoadPixel(src + columns[i] * bpp, bpp) : 0;
                blend::StorePixel(&line[i * bpp], bpp, pixel);
            }
            KeyedRow(area.dst + (across.dst0 + k) * area.dstPitch + start * bpp, line.data(),
                     static_cast<int>(columns.size()), bpp);
        }
    }
    return Close(area);
}

}  // namespace

namespace krDraw {

int FlipBlit(int x, int y, int mode, int slot, int left, int top, int right, int bottom) {
    if (mode < 0 || mode > 3) return 0;
    const bool mirrorX = (mode & 1) != 0, mirrorY = (mode & 2) != 0;
    return Blended(
        x, y, slot, left, top, right, bottom,
        [&](const Area& area) {
            if (!mirrorX) return KeyedCopyRows(area);
            ForPixelSize(area, [&]<int B>() { MirroredRows<B>(area); });
        },
        mirrorX, mirrorY);
}

int SmearBlit(int x, int y, int mode, int length, int slot, int left, int top, int right, int bottom) {
    // Worked out in 64 bits, so that no left or top can overflow them.
    const std::int64_t r = mode == 0 ? std::int64_t{krScreen.screenWidth} - left : right;
    const std::int64_t b = mode == 2 ? std::int64_t{krScreen.screenHeight} - top : bottom;
    return Smear(x, y, mode, length & 0xFFFF, slot, left, top, r, b);
}

int HalfBlit(int x, int y, int slot, int left, int top, int right, int bottom) {
    blend::Params p;
    p.rule = blend::Rule::kHalf;
    return KernelBlit(x, y, slot, left, top, right, bottom, p);
}

int AlphaBlit(int x, int y, float opacity, int slot, int left, int top, int right, int bottom) {
    return KernelBlit(x, y, slot, left, top, right, bottom, AlphaParams(opacity, opacity, opacity));
}

int AlphaBlitRGB(int x, int y, float red, float green, float blue, int slot, int left, int top, int right,
                 int bottom) {
    return KernelBlit(x, y, slot, left, top, right, bottom, AlphaParams(red, green, blue));
}

int AlphaGradientBlit(int x, int y, float red, float green, float blue, int vertical, int start, int step, int slot,
                      int left, int top, int right, int bottom) {
    const blend::Params base = AlphaParams(red, green, blue);
    if (!vertical) return ColumnGradientBlit(x, y, start, step, slot, left, top, right, bottom, base);
    return GradientBlit(x, y, vertical, start, step, slot, left, top, right, bottom, 32, [&](int falls) {
        blend::Params p = base;
        for (float& t : p.transparency) t = std::max(0.0f, t - static_cast<float>(falls) / 32.0f);
        return p;
    });
}

int FadeBlit(int x, int y, int level, int slot, int left, int top, int right, int bottom) {
    return KernelBlit(x, y, slot, left, top, right, bottom, FadeParams(level, level, level));
}

int FadeBlitRGB(int x, int y, int red, int green, int blue, int slot, int left, int top, int right, int bottom) {
    return KernelBlit(x, y, slot, left, top, right, bottom, FadeParams(red, green, blue));
}

int FadeGradientBlit(int x, int y, int red, int green, int blue, int vertical, int start, int step, int slot,
                     int left, int top, int right, int bottom) {
    const blend::Params base = FadeParams(red, green, blue);
    if (!vertical) return ColumnGradientBlit(x, y, start, step, slot, left, top, right, bottom, base);
    return GradientBlit(x, y, vertical, start, step, slot, left, top, right, bottom, 31, [&](int falls) {
        blend::Params p = base;
        for (int& level : p.level) level = std::max(0, level - falls);
        return p;
    });
}

int AddBlit(int x, int y, int slot, int left, int top, int right, int bottom) {
    return KernelBlit(x, y, slot, left, top, right, bottom, LevelParams(blend::Rule::kFadeAdd, 0, 0, 0));
}

int AddAlphaBlit(int x, int y, float strength, int slot, int left, int top, int right, int bottom) {
    const int level = StrengthLevel(strength);
    return KernelBlit(x, y, slot, left, top, right, bottom, LevelParams(blend::Rule::kFadeAdd, level, level, level));
}

int SubBlit(int x, int y, int slot, int left, int top, int right, int bottom) {
    return KernelBlit(x, y, slot, left, top, right, bottom, LevelParams(blend::Rule::kSubtractRed, 0, 0, 0));
}

int DarkBlit(int x, int y, int level, int slot, int left, int top, int right, int bottom) {
    return DarkBlitRGB(x, y, level, level, level, slot, left, top, right, bottom);
}

int DarkBlitRGB(int x, int y, int red, int green, int blue, int slot, int left, int top, int right, int bottom) {
    return KernelBlit(x, y, slot, left, top, right, bottom,
                      LevelParams(blend::Rule::kDarken, 31 - std::clamp(red, 0, 31), 31 - std::clamp(green, 0, 31),
                                  31 - std::clamp(blue, 0, 31)));
}

int BrightBlit(int x, int y, float factor, int slot, int left, int top, int right, int bottom) {
    return BrightBlitRGB(x, y, factor, factor, factor, slot, left, top, right, bottom);
}

int BrightBlitRGB(int x, int y, float red, float green, float blue, int slot, int left, int top, int right,
                  int bottom) {
    blend::Params p;
    p.rule = blend::Rule::kBrighten;
    p.factor[0] = red, p.factor[1] = green, p.factor[2] = blue;
    return KernelBlit(x, y, slot, left, top, right, bottom, p);
}

int ChannelBlit(int x, int y, int keepRed, int keepGreen, int keepBlue, int slot, int left, int top, int right,
                int bottom) {
    blend::Params p;
    p.rule = blend::Rule::kChannel;
    const krPixelFormat& f = krScreen.pixelFormat;
    p.keepMask = (keepRed ? f.redMask : 0) | (keepGreen ? f.greenMask : 0) | (keepBlue ? f.blueMask : 0);
    return KernelBlit(x, y, slot, left, top, right, bottom, p);
}

int GrayBlit(int x, int y, int slot, int left, int top, int right, int bottom) {
    blend::Params p;
    p.rule = blend::Rule::kGray;
    return KernelBlit(x, y, slot, left, top, right, bottom, p);
}

int BlurBlit(int x, int y, int blockSize, int slot, int left, int top, int right, int bottom) {
    if (blockSize < 1) return 0;
    return Blended(x, y, slot, left, top, right, bottom, [&](const Area& area) {
        plat::kernels::BlurArgs a;
        a.src = area.Src(0, 0), a.srcPitch = area.srcPitch;
        a.dst = area.Dst(0, 0), a.dstPitch = area.dstPitch;
        a.width = area.Width(), a.height = area.Height();
        a.block = blockSize;
        a.bytesPerPixel = area.Bpp();
        for (int i = 0; i < 3; ++i) a.shift[i] = area.c.shift[i], a.bits[i] = area.c.bits[i];
        plat::kernels::BlurRect(a);
    });
}

int SmoothEdgeBlit(int x, int y, int slot, int left, int top, int right, int bottom) {
    return Blended(x, y, slot, left, top, right, bottom,
                   [&](const Area& area) { blend::SmoothEdges(AreaRows(area), area.c); });
}

int RefractBlit(int x, int y, float strength, int slot, int left, int top, int right, int bottom) {
    const int level = StrengthLevel(strength);
    return Blended(x, y, slot, left, top, right, bottom,
                   [&](const Area& area) { blend::Refract(AreaRows(area), area.c, level); });
}

}  // namespace krDraw
