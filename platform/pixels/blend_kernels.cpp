// Blend kernels: the per-pixel reference rules and their vector versions.
// The vector body (blend_kernels_body.inc) is compiled three times, for
// SSE2, AVX2 and AVX-512BW, each in a target region of its own, and the
// level that the surface kernels use picks among them at every call. The
// brightening rule multiplies floats and must give the reference's values
// bit for bit, so this file is built without contraction of multiply-adds
// (cmake/blends.cmake).
#include "platform/pixels/blend_kernels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/pixels/blit_kernels.h"

#include <immintrin.h>

namespace plat::blend {

Components ComponentsOf(int bytesPerPixel, std::uint32_t redMask, std::uint32_t greenMask, std::uint32_t blueMask) {
    Components c;
    c.bytesPerPixel = bytesPerPixel;
    const std::uint32_t masks[3] = {redMask, greenMask, blueMask};
    for (int i = 0; i < 3; ++i) {
        c.shift[i] = masks[i] ? std::countr_zero(masks[i]) : 0;
        c.bits[i] = std::popcount(masks[i]);
    }
    return c;
}

namespace {

int ClampLevel(int level) { return std::clamp(level, 0, 31); }

// NaN reads as lo.
float ClampFloat(float v, float lo, float hi) {
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}

// The arguments every kernel sees: levels inside 0..31, weights inside
// 0..1, factors inside 0..256 (a larger one saturates every field anyway).
Params Normalised(const Params& p, const Components& c) {
    Params n = p;
    for (int i = 0; i < 3; ++i) {
        n.level[i] = ClampLevel(p.level[i]);
        n.opacity[i] = ClampFloat(p.opacity[i], 0.0f, 1.0f);
        n.transparency[i] = ClampFloat(p.transparency[i], 0.0f, 1.0f);
        n.factor[i] = ClampFloat(p.factor[i], 0.0f, 256.0f);
    }
    n.keepMask &= ColourMask(c);
    return n;
}

std::uint32_t SatSub(std::uint32_t a, std::uint32_t b) { return a > b ? a - b : 0; }

// A weight of 0..1 in 1/256 steps, rounded.
std::uint32_t Weight256(float w) { return static_cast<std::uint32_t>(w * 256.0f + 0.5f); }

// The source's and the destination's weights; together never above 256,
// so that a blend never leaves the field.
struct Weights {
    std::uint32_t s, d;
};
Weights WeightsOf(float opacity, float transparency) {
    const std::uint32_t s = Weight256(opacity);
    return {s, std::min(Weight256(transparency), 256 - s)};
}

std::uint32_t ReferenceNormalised(std::uint32_t s, std::uint32_t d, const Components& c, const Params& p) {
    std::uint32_t out = 0;
    switch (p.rule) {
        case Rule::kHalf: {
            std::uint32_t half = 0;
            for (int i = 0; i < 3; ++i) half |= (FieldMax(c, i) >> 1) << c.shift[i];
            return ((s >> 1) & half) + ((d >> 1) & half);
        }
        case Rule::kChannel: return s & p.keepMask;
        case Rule::kAlpha:
            for (int i = 0; i < 3; ++i) {
                const Weights w = WeightsOf(p.opacity[i], p.transparency[i]);
                out |= PlaceField(c, i, (Field(c, s, i) * w.s + Field(c, d, i) * w.d) >> 8);
            }
            return out;
        case Rule::kBrighten:
            for (int i = 0; i < 3; ++i) {
                const float v = static_cast<float>(Field(c, s, i)) * p.factor[i];
                out |= PlaceField(c, i, std::min(static_cast<std::uint32_t>(v), FieldMax(c, i)));
            }
            return out;
        case Rule::kGray: {
            const std::uint32_t g = (Five(c, s, 0) + Five(c, s, 1) + Five(c, s, 2)) / 3;
            return PlaceFive(c, 0, g) | PlaceFive(c, 1, g) | PlaceFive(c, 2, g);
        }
        default: break;
    }
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t s5 = Five(c, s, i), d5 = Five(c, d, i);
        const std::uint32_t level = static_cast<std::uint32_t>(p.level[i]);
        std::uint32_t r = 0;
        switch (p.rule) {
            case Rule::kCrossFade:
                // The end levels keep one side whole, so they are an exact copy and an exact no-op.
                if (level == 0 || level == 31) {
                    out |= (level == 0 ? s : d) & (FieldMax(c, i) << c.shift[i]);
                    continue;
                }
                r = SatSub(s5, level) + SatSub(d5, 31 - level);
                break;
            case Rule::kFadeAdd: r = std::min(31u, SatSub(s5, level) + d5); break;
            case Rule::kSubtractRed: r = SatSub(d5, Five(c, s, 0)); break;
            default: r = SatSub(s5, level); break;  // kDarken
        }
        out |= PlaceFive(c, i, r);
    }
    return out;
}

// The parameters after `falls` falls of a gradient.
Params Fallen(const Params& p, int falls) {
    Params fallen = p;
    fallen.columnFalls = nullptr;
    for (int& level : fallen.level) level = std::max(0, level - falls);
    for (float& t : fallen.transparency) t = std::max(0.0f, t - static_cast<float>(falls) / 32.0f);
    return fallen;
}

bool HasColumns(const Params& p) { return p.columnFalls && (p.rule == Rule::kCrossFade || p.rule == Rule::kAlpha); }

// The parameters at column x.
Params ColumnParams(const Params& p, int x) { return HasColumns(p) ? Fallen(p, p.columnFalls[x]) : p; }

// What the vector kernels need, worked out once per call.
struct Context {
    std::uint32_t colourMask = 0, half = 0, keep = 0;
    int shift[3] = {}, shift5[3] = {}, up[3] = {}, down[3] = {};
    std::uint32_t max[3] = {};
    int level[3] = {};
    std::uint32_t weightS[3] = {}, weightD[3] = {};
    bool complementary = true;  // every weightS + weightD is 256
    // Alpha on 2-byte pixels in place: complementary weights strictly
    // between 0 and 256, one field on top starting at bit 8 or above
    // (`top`), the other two (`lower`) ending at bit 12 or below, so that a
    // doubled difference of them fits a signed 16-bit lane.
    bool fastAlpha = false;
    std::uint32_t topMask = 0, topWeightS = 0, topWeightD = 0;  // weights * 256
    std::uint32_t lowerMask[2] = {}, lowerWeight[2] = {};       // weights * 128
    // Byte planes of the 5-bit rules (see the body): whether the layout
    // allows them, the in-place fields, their levels, the straddling
    // component's shift (-1: none) and level, the low bits of 8-bit fields,
    // and the fields a cross-fade end level keeps whole from s or d.
    bool planes = false;
    std::uint32_t inPlace = 0, planeLevel = 0, planeRest = 0, planeOnes = 0, replicate = 0;
    int spanShift = -1;
    std::uint32_t spanLevel = 0;
    std::uint32_t keepS = 0, keepD = 0;
    // Grey: a 5-bit value times this fills all three fields (2-byte
    // pixels), an 8-bit one (4-byte pixels of 8-bit fields).
    std::uint32_t grayOnes = 0;
    // Per-column cross-fade: five tables of one pixel-sized element per
    // column (plane level, plane rest, straddling level, keep s, keep d).
    const std::uint8_t* columnTables = nullptr;
    float factor[3] = {};
};

void PlanesFor(const Components& c, const Params& p, Context& k) {
    const int lanes = c.bytesPerPixel;
    k.planes = lanes == 2 || (lanes == 4 && c.bits[0] == 8 && c.bits[1] == 8 && c.bits[2] == 8);
    for (int i = 0; i < 3 && k.planes; ++i) {
        const int low = k.shift5[i], high = k.shift5[i] + 4;
        const std::uint32_t level = static_cast<std::uint32_t>(p.level[i]);
        // A 5-bit field comes out of the plane whole already.
        const bool wider = c.bits[i] != 5;
        if (p.rule == Rule::kCrossFade && level == 0 && wider) k.keepS |= k.max[i] << c.shift[i];
        if (p.rule == Rule::kCrossFade && level == 31 && wider) k.keepD |= k.max[i] << c.shift[i];
        if (low / 8 == high / 8) {
            k.inPlace |= 31u << low;
            k.planeLevel |= level << low;
            k.planeRest |= (31 - level) << low;
            k.planeOnes |= 1u << low;
            if (c.bits[i] == 8) k.replicate |= 7u << c.shift[i];
        } else if (lanes == 2 && k.spanShift < 0) {
            k.spanShift = low;
            k.spanLevel = level;
        } else {
            k.planes = false;  // two straddling components: the general kernel
        }
    }
}

void FastAlphaFor(const Components& c, Context& k) {
    int tops = 0, lowers = 0;
    bool fits = c.bytesPerPixel == 2 && k.complementary;
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t mask = k.max[i] << c.shift[i];
        fits = fits && k.weightS[i] > 0 && k.weightD[i] > 0;  // both below 256
        if (c.shift[i] >= 8 && c.shift[i] + c.bits[i] == 16) {
            k.topMask = mask;
            k.topWeightS = k.weightS[i] << 8;
            k.topWeightD = k.weightD[i] << 8;
            ++tops;
        } else if (c.shift[i] + c.bits[i] <= 12 && lowers < 2) {
            k.lowerMask[lowers] = mask;
            k.lowerWeight[lowers++] = k.weightS[i] << 7;
        }
    }
    k.fastAlpha = fits && tops == 1 && lowers == 2;
}

Context ContextFor(const Components& c, const Params& p) {
    Context k;
    k.colourMask = ColourMask(c);
    k.keep = p.keepMask;
    for (int i = 0; i < 3; ++i) {
        k.shift[i] = c.shift[i];
        k.shift5[i] = c.shift[i] + c.bits[i] - 5;
        k.max[i] = FieldMax(c, i);
        k.half |= (k.max[i] >> 1) << c.shift[i];
        // A 5-bit value v goes back as (v << up) | (v >> down): v >> 5 is 0.
        k.grayOnes |= 1u << (c.bytesPerPixel == 2 ? k.shift5[i] : c.shift[i]);
        k.up[i] = c.bits[i] - 5;
        k.down[i] = c.bits[i] == 8 ? 2 : 5;
        k.level[i] = p.level[i];
        const Weights w = WeightsOf(p.opacity[i], p.transparency[i]);
        k.weightS[i] = w.s;
        k.weightD[i] = w.d;
        k.complementary = k.complementary && w.s + w.d == 256;
        k.factor[i] = p.factor[i];
    }
    PlanesFor(c, p, k);
    FastAlphaFor(c, k);
    return k;
}

using RectFn = void (*)(const Rows& a, const Components& c, const Params& p, const Context& k);
using RefractFn = void (*)(const Rows& a, const Context& k, int level);
using SmoothFn = void (*)(const Rows& a, const Context& k);

}  // namespace

std::uint32_t ReferencePixel(std::uint32_t s, std::uint32_t d, const Components& c, const Params& p) {
    return ReferenceNormalised(s, d, c, Normalised(p, c));
}

void ReferenceBlend(const Rows& a, const Components& c, const Params& p) {
    const Params n = Normalised(p, c);
    const std::uint32_t colour = ColourMask(c);
    const int bpp = c.bytesPerPixel;
    for (int y = 0; y < a.rows; ++y) {
        std::uint8_t* d = a.dst + y * a.dstPitch;
        const std::uint8_t* s = a.src + y * a.srcPitch;
        for (int x = 0; x < a.width; ++x, d += bpp, s += bpp) {
            const std::uint32_t sp = LoadPixel(s, bpp);
            if ((sp & colour) == 0) continue;
            StorePixel(d, bpp, ReferenceNormalised(sp, LoadPixel(d, bpp), c, ColumnParams(n, x)));
        }
    }
}

// ---- the vector kernels, one namespace per instruction set ----

namespace sse2 {
#define KR_BLEND_VECTOR_BYTES 16
#include "platform/pixels/blend_kernels_body.inc"
#undef KR_BLEND_VECTOR_BYTES
}  // namespace sse2

#pragma GCC push_options
#pragma GCC target("avx2")
#if defined(__clang__)  // clang takes its target regions this way
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#endif
namespace avx2 {
#define KR_BLEND_VECTOR_BYTES 32
#include "platform/pixels/blend_kernels_body.inc"
#undef KR_BLEND_VECTOR_BYTES
}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#endif
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw")
#if defined(__clang__)  // clang takes its target regions this way
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw"))), apply_to = function)
#endif
namespace avx512 {
#define KR_BLEND_VECTOR_BYTES 64
#include "platform/pixels/blend_kernels_body.inc"
#undef KR_BLEND_VECTOR_BYTES
}  // namespace avx512
#if defined(__clang__)
#pragma clang attribute pop
#endif
#pragma GCC pop_options

namespace {

// A gradient across the rows: the column tables of each distinct fall
// are worked out once and laid out per column.
void ColumnsBlend(const Rows& a, const Components& c, const Params& n) {
    Context k = ContextFor(c, Fallen(n, 0));
    RectFn rect = nullptr;
    switch (kernels::ActiveKernelLevel()) {
        case kernels::KernelLevel::kAvx512: rect = avx512::PickColumns(c.bytesPerPixel, n.rule); break;
        case kernels::KernelLevel::kAvx2: rect = avx2::PickColumns(c.bytesPerPixel, n.rule); break;
        default: rect = sse2::PickColumns(c.bytesPerPixel, n.rule); break;
    }
    if (!rect || (n.rule == Rule::kCrossFade && !k.planes)) return ReferenceBlend(a, c, n);
    // 32 falls bring any level or transparency to 0.
    constexpr int kFalls = 33;
    std::uint32_t byFall[kFalls][5];
    for (int fall = 0; fall < kFalls; ++fall) {
        const Context f = ContextFor(c, Fallen(n, fall));
        const std::uint32_t cross[5] = {f.planeLevel, f.planeRest, f.spanLevel, f.keepS, f.keepD};
        const std::uint32_t alpha[5] = {f.weightD[0], f.weightD[1], f.weightD[2], 0, 0};
        std::memcpy(byFall[fall], n.rule == Rule::kAlpha ? alpha : cross, sizeof cross);
    }
    const int bpp = c.bytesPerPixel;
    const std::size_t stride = static_cast<std::size_t>(a.width) * bpp;
    std::vector<std::uint8_t> tables(stride * 5);
    for (int x = 0; x < a.width; ++x) {
        const int fall = std::min<int>(n.columnFalls[x], kFalls - 1);
        for (int i = 0; i < 5; ++i) StorePixel(&tables[i * stride + static_cast<std::size_t>(x) * bpp], bpp, byFall[fall][i]);
    }
    k.columnTables = tables.data();
    rect(a, c, n, k);
}

}  // namespace

void Blend(const Rows& a, const Components& c, const Params& p) {
    if (a.width <= 0 || a.rows <= 0) return;
    const Params n = Normalised(p, c);
    if (HasColumns(n)) return ColumnsBlend(a, c, n);
    const Context k = ContextFor(c, n);
    RectFn rect = nullptr;
    switch (kernels::ActiveKernelLevel()) {
        case kernels::KernelLevel::kAvx512: rect = avx512::Pick(c.bytesPerPixel, n.rule, k.planes); break;
        case kernels::KernelLevel::kAvx2: rect = avx2::Pick(c.bytesPerPixel, n.rule, k.planes); break;
        default: rect = sse2::Pick(c.bytesPerPixel, n.rule, k.planes); break;
    }
    if (!rect) return ReferenceBlend(a, c, n);
    rect(a, c, n, k);
}

void ReferenceRefract(const Rows& a, const Components& c, int level) {
    const std::uint32_t colour = ColourMask(c);
    const int bpp = c.bytesPerPixel;
    level = std::clamp(level, 0, 31);
    for (int j = 0; j < a.rows; ++j) {
        std::uint8_t* d = a.dst + j * a.dstPitch;
        const std::uint8_t* s = a.src + j * a.srcPitch;
        for (int x = 0; x < a.width; ++x, d += bpp, s += bpp) {
            const std::uint32_t sp = LoadPixel(s, bpp);
            if ((sp & colour) == 0) continue;
            const int k = static_cast<int>(Five(c, sp, 0)) - level;
            if (k < 1 || k >= a.rows - 1 - j) continue;  // k is 0: the pixel stays
            StorePixel(d, bpp, LoadPixel(d + static_cast<std::ptrdiff_t>(k) * a.dstPitch, bpp));
        }
    }
}

void Refract(const Rows& a, const Components& c, int level) {
    if (a.width <= 0 || a.rows <= 0) return;
    level = std::clamp(level, 0, 31);
    RefractFn refract = nullptr;
    switch (kernels::ActiveKernelLevel()) {
        case kernels::KernelLevel::kAvx512: refract = avx512::PickRefract(c.bytesPerPixel); break;
        case kernels::KernelLevel::kAvx2: refract = avx2::PickRefract(c.bytesPerPixel); break;
        default: refract = sse2::PickRefract(c.bytesPerPixel); break;
    }
    if (!refract) return ReferenceRefract(a, c, level);
    refract(a, ContextFor(c, Params{}), level);
}

void ReferenceSmoothEdges(const Rows& a, const Components& c) {
    const std::uint32_t colour = ColourMask(c);
    const int bpp = c.bytesPerPixel;
    for (int j = 0; j < a.rows; ++j) {
        std::uint8_t* d = a.dst + j * a.dstPitch;
        const std::uint8_t* s = a.src + j * a.srcPitch;
        for (int x = 0; x < a.width; ++x, d += bpp, s += bpp) {
            const std::uint32_t sp = LoadPixel(s, bpp);
            if ((sp & colour) == 0) continue;
            std::uint32_t sums[3] = {Five(c, sp, 0), Five(c, sp, 1), Five(c, sp, 2)};
            std::uint32_t count = 1;
            // Left, right, up, down: a transparent neighbour inside the
            // rectangle lends the destination's pixel there.
            const bool inside[4] = {x > 0, x + 1 < a.width, j > 0, j + 1 < a.rows};
            const std::ptrdiff_t srcStep[4] = {-bpp, bpp, -a.srcPitch, a.srcPitch};
            const std::ptrdiff_t dstStep[4] = {-bpp, bpp, -a.dstPitch, a.dstPitch};
            for (int n = 0; n < 4; ++n) {
                if (!inside[n] || (LoadPixel(s + srcStep[n], bpp) & colour) != 0) continue;
                const std::uint32_t dp = LoadPixel(d + dstStep[n], bpp);
                for (int i = 0; i < 3; ++i) sums[i] += Five(c, dp, i);
                ++count;
            }
            if (count < 2) {
                StorePixel(d, bpp, sp);
                continue;
            }
            StorePixel(d, bpp, PlaceFive(c, 0, sums[0] / count) | PlaceFive(c, 1, sums[1] / count) |
                                   PlaceFive(c, 2, sums[2] / count));
        }
    }
}

void SmoothEdges(const Rows& a, const Components& c) {
    if (a.width <= 0 || a.rows <= 0) return;
    SmoothFn smooth = nullptr;
    switch (kernels::ActiveKernelLevel()) {
        case kernels::KernelLevel::kAvx512: smooth = avx512::PickSmooth(c.bytesPerPixel); break;
        case kernels::KernelLevel::kAvx2: smooth = avx2::PickSmooth(c.bytesPerPixel); break;
        default: smooth = sse2::PickSmooth(c.bytesPerPixel); break;
    }
    const Context k = ContextFor(c, Params{});
    // The 4-byte kernel puts 5-bit values back into 8-bit fields only.
    if (!smooth || (c.bytesPerPixel == 4 && !k.planes)) return ReferenceSmoothEdges(a, c);
    smooth(a, k);
}

}  // namespace plat::blend
