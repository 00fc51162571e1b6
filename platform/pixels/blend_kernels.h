// Per-pixel blend kernels: the rules that mix a source row into a
// destination row (50 %, alpha, cross-fade, fade-add, subtract, darken,
// brighten, channel mask, grey), for pixels of 2, 3 or 4 bytes.
//
// Kernels take components, not formats: a Components record says where the
// red, green and blue fields sit and how wide each is (5, 6 or 8 bits), so
// one rule serves 15-, 16-, 24- and 32-bit displays. Two kinds of rule:
//  - full-precision rules (half, alpha, brighten, channel) work on each
//    field as it is; alpha is truncate(s * opacity + d * transparency)
//    in 32-bit floats, products first, then their sum, bit for bit;
//  - level rules (cross-fade, fade-add, subtract, darken, grey) are the
//    arithmetic of the 16-bit effect tables. On 5-5-5 and 5-6-5 pixels
//    they work on the top five bits of each field and put the result back
//    at the top (the low bit of a 6-bit field is 0, as the tables do). On
//    pixels of three 8-bit fields they work on all eight bits, with the
//    levels scaled to eight bits by repeating their top bits (31 is 255),
//    so that an add never darkens, a subtraction never brightens and a
//    smooth background does not band.
// A source pixel whose colour bits are all 0 is transparent: the
// destination keeps its pixel.
//
// Blend() runs vector kernels (SSE2, AVX2 or AVX-512BW, the level chosen
// for the surface kernels) on 2-, 3- and 4-byte pixels (3-byte pixels are
// widened to four bytes in registers from AVX2 on, except that the level
// rules and grey work on them as a byte stream at AVX-512); ReferenceBlend()
// is the plain per-pixel rule they are tested against. Alpha on 2-byte
// pixels runs in integers where that is exact and, at AVX-512 and AVX2,
// from per-weight tables that give the float rule's values on every pair
// (at AVX-512 also for a gradient across the rows, tables for all its falls
// at once; AVX2 reads the tables by byte shuffles, blend_kernels_tables.h).
// Kernels take already clipped rectangles; src and dst must not overlap.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace plat::blend {

struct Components {
    int bytesPerPixel = 2;
    int shift[3] = {11, 5, 0};  // red, green, blue
    int bits[3] = {5, 6, 5};
};

// The layout of pixels with these masks (contiguous fields of 5, 6 or 8 bits).
Components ComponentsOf(int bytesPerPixel, std::uint32_t redMask, std::uint32_t greenMask, std::uint32_t blueMask);

// ---- one pixel (inline: the neighbourhood rules call these per pixel) ----
// Fixed-size copies per pixel size, so that no call to memcpy is made per
// pixel. Three bytes are put together in a register: a copy into part of
// a zeroed word would go through memory, and reading the word back stalls.
inline std::uint32_t LoadPixel(const std::uint8_t* p, int bytesPerPixel) {
    if (bytesPerPixel == 2) {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    if (bytesPerPixel == 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    std::uint16_t low;
    std::memcpy(&low, p, 2);
    return low | static_cast<std::uint32_t>(p[2]) << 16;
}
inline void StorePixel(std::uint8_t* p, int bytesPerPixel, std::uint32_t value) {
    if (bytesPerPixel == 2) {
        const std::uint16_t v = static_cast<std::uint16_t>(value);
        std::memcpy(p, &v, 2);
    } else if (bytesPerPixel == 4) {
        std::memcpy(p, &value, 4);
    } else {
        const auto low = static_cast<std::uint16_t>(value);
        std::memcpy(p, &low, 2);
        p[2] = static_cast<std::uint8_t>(value >> 16);
    }
}
inline std::uint32_t FieldMax(const Components& c, int i) { return (1u << c.bits[i]) - 1u; }
// The three colour fields ORed together: a pixel with none of them set is transparent.
inline std::uint32_t ColourMask(const Components& c) {
    return (FieldMax(c, 0) << c.shift[0]) | (FieldMax(c, 1) << c.shift[1]) | (FieldMax(c, 2) << c.shift[2]);
}
// The field of component i (0 red, 1 green, 2 blue) at full precision, and back.
inline std::uint32_t Field(const Components& c, std::uint32_t pixel, int i) {
    return (pixel >> c.shift[i]) & FieldMax(c, i);
}
inline std::uint32_t PlaceField(const Components& c, int i, std::uint32_t value) { return value << c.shift[i]; }
// The top five bits of component i, and a 5-bit value put back into it: at
// the top of a 5- or 6-bit field (a 6-bit field's low bit 0, as the 16-bit
// tables place it), repeated into the low bits of an 8-bit one. Blur, edge
// smoothing and refraction work on these on every depth.
inline std::uint32_t Five(const Components& c, std::uint32_t pixel, int i) {
    return (pixel >> (c.shift[i] + c.bits[i] - 5)) & 31u;
}
inline std::uint32_t PlaceFive(const Components& c, int i, std::uint32_t value) {
    const std::uint32_t field = c.bits[i] == 8 ? (value << 3) | (value >> 2) : value << (c.bits[i] - 5);
    return field << c.shift[i];
}
// The precision of the level rules: 8 when all three fields have eight
// bits, else 5. Work() and PlaceWork() read and put back a component at
// that precision; WorkLevel() scales a level of 0..31 to it.
inline int WorkBits(const Components& c) { return c.bits[0] == 8 && c.bits[1] == 8 && c.bits[2] == 8 ? 8 : 5; }
inline std::uint32_t Work(const Components& c, std::uint32_t pixel, int i) {
    return WorkBits(c) == 8 ? Field(c, pixel, i) : Five(c, pixel, i);
}
inline std::uint32_t PlaceWork(const Components& c, int i, std::uint32_t value) {
    return WorkBits(c) == 8 ? PlaceField(c, i, value) : PlaceFive(c, i, value);
}
inline std::uint32_t WorkLevel(const Components& c, std::uint32_t level) {
    return WorkBits(c) == 8 ? (level << 3) | (level >> 2) : level;
}

// ---- row rules ----
enum class Rule {
    kHalf,         // ((s >> 1) & half) + ((d >> 1) & half) on the whole pixel
    kAlpha,        // min(field, truncate(float(s) * opacity + float(d) * transparency)),
                   // full precision, in 32-bit floats without fused multiply-adds
    kCrossFade,    // max(0, s - level) + max(0, d - (top - level)); level 0 keeps
                   // the source's field and 31 the destination's, whole
    kFadeAdd,      // min(top, max(0, s - level) + d)
    kSubtractRed,  // max(0, d - red of s) in all three components
    kDarken,       // max(0, s - level); the destination is not read
    kBrighten,     // min(field, truncate(s * factor)), full precision
    kChannel,      // s AND keepMask
    kGray,         // (r + g + b) / 3 of the source's components, in all three
    // (level rules at WorkBits() precision: top is 31 or 255 and the levels scaled to it)
};

struct Params {
    Rule rule = Rule::kHalf;
    float opacity[3] = {1, 1, 1};       // kAlpha: 0..1
    float transparency[3] = {0, 0, 0};  // kAlpha: 0..1
    int level[3] = {0, 0, 0};           // kCrossFade, kFadeAdd, kDarken: 0..31 (clamped)
    float factor[3] = {1, 1, 1};        // kBrighten: >= 0 (negative and NaN read as 0)
    std::uint32_t keepMask = 0;         // kChannel
    // Optional, for gradients across a row: one value per column of the
    // rows by which the three levels (kCrossFade) or, in 1/32 steps, the
    // three transparencies (kAlpha) fall there, never below 0: a
    // transparency t becomes max(0, t - falls / 32), computed in floats.
    const std::uint8_t* columnFalls = nullptr;
};

struct Rows {
    std::uint8_t* dst = nullptr;
    std::ptrdiff_t dstPitch = 0;  // bytes
    const std::uint8_t* src = nullptr;
    std::ptrdiff_t srcPitch = 0;  // bytes
    int width = 0;                // pixels
    int rows = 0;
};

void Blend(const Rows& a, const Components& c, const Params& p);
void ReferenceBlend(const Rows& a, const Components& c, const Params& p);

// Refraction, which reads the destination rows below each row: every
// opaque source pixel takes the destination pixel k rows below its own,
// k = its red 5-bit value - level, when k is at least 1 and fewer than the
// rows left below it; rows are done from the top, so each reads the rows
// below as they were.
void Refract(const Rows& a, const Components& c, int level);
void ReferenceRefract(const Rows& a, const Components& c, int level);

// Edge smoothing, which reads the neighbours of each pixel inside the
// rectangle: an opaque source pixel with transparent neighbours (left,
// right, up, down) becomes the average of its 5-bit components and those
// of the destination pixels at those neighbours; with none it is copied.
void SmoothEdges(const Rows& a, const Components& c);
void ReferenceSmoothEdges(const Rows& a, const Components& c);

// Whether alpha on a field of `bits` bits (5 or 6) at these weights can run
// from tables (see blend_kernels.cpp); the few weights that cannot run in
// floats. Works the tables out if they are not remembered.
bool AlphaTablesFound(float opacity, float transparency, int bits);
// The same for a gradient across the rows: one table of source values for
// the opacity and one of destination values for every transparency that
// the falls reach from `transparency`. A gradient's blends take them from
// the second call with the same weights on (working them out costs about
// as much as blending a few hundred thousand pixels in floats); this asks
// for them at once.
bool ColumnAlphaTablesFound(float opacity, float transparency, int bits);

// One pixel by the reference rule (s not transparent; columnFalls is not read).
std::uint32_t ReferencePixel(std::uint32_t s, std::uint32_t d, const Components& c, const Params& p);

}  // namespace plat::blend
