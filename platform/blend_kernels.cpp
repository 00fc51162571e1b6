// Blend kernels: the per-pixel reference rules and their vector versions.
// The vector body (blend_kernels_body.inc) is compiled three times, for
// SSE2, AVX2 and AVX-512BW, each in a target region of its own, and the
// level that the surface kernels use picks among them at every call. The
// brightening rule multiplies floats and must give the reference's values
// bit for bit, so this file is built without contraction of multiply-adds
// (cmake/blends.cmake).
#include "platform/blend_kernels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "platform/blit_kernels.h"

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

// What the vector kernels need, worked out once per call.
struct Context {
    std::uint32_t colourMask = 0, half = 0, keep = 0;
    int shift[3] = {}, shift5[3] = {}, up[3] = {}, down[3] = {};
    std::uint32_t max[3] = {};
    int level[3] = {};
    std::uint32_t weightS[3] = {}, weightD[3] = {};
    bool complementary = true;  // every weightS + weightD is 256
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
    float factor[3] = {};
};

void PlanesFor(const Components& c, const Params& p, Context& k) {
    const int lanes = c.bytesPerPixel;
    k.planes = lanes == 2 || (lanes == 4 && c.bits[0] == 8 && c.bits[1] == 8 && c.bits[2] == 8);
    for (int i = 0; i < 3 && k.planes; ++i) {
        const int low = k.shift5[i], high = k.shift5[i] + 4;
        const std::uint32_t level = static_cast<std::uint32_t>(p.level[i]);
        if (p.rule == Rule::kCrossFade && level == 0) k.keepS |= k.max[i] << c.shift[i];
        if (p.rule == Rule::kCrossFade && level == 31) k.keepD |= k.max[i] << c.shift[i];
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
    return k;
}

using RectFn = void (*)(const Rows& a, const Components& c, const Params& p, const Context& k);

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
            StorePixel(d, bpp, ReferenceNormalised(sp, LoadPixel(d, bpp), c, n));
        }
    }
}

// ---- the vector kernels, one namespace per instruction set ----

namespace sse2 {
#define KR_BLEND_VECTOR_BYTES 16
#include "platform/blend_kernels_body.inc"
#undef KR_BLEND_VECTOR_BYTES
}  // namespace sse2

#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {
#define KR_BLEND_VECTOR_BYTES 32
#include "platform/blend_kernels_body.inc"
#undef KR_BLEND_VECTOR_BYTES
}  // namespace avx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw")
namespace avx512 {
#define KR_BLEND_VECTOR_BYTES 64
#include "platform/blend_kernels_body.inc"
#undef KR_BLEND_VECTOR_BYTES
}  // namespace avx512
#pragma GCC pop_options

void Blend(const Rows& a, const Components& c, const Params& p) {
    if (a.width <= 0 || a.rows <= 0) return;
    const Params n = Normalised(p, c);
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

}  // namespace plat::blend
