// Kernels of the rotations and the four-neighbour smoothing.
//
// Rotation: the fast kernel solves, once per row, the span of columns whose
// source coordinate falls inside the source rectangle (two linear
// inequalities per axis), so the inner loop steps through the source with
// no range tests. Mirroring keeps the span test of the absolute value's
// outer bound and tests the inner bound per pixel. The plain rotations'
// u / 360, truncated toward zero, still grows with u, so its bounds too are
// one interval of u.
//
// Smoothing: each pixel needs its already smoothed left neighbour, a chain
// that forbids plain vector lanes. The chain is broken with the identity
// floor((floor(a / 4) + b) / 4) = floor((a + 4b) / 16): eight pixels in a
// row are floor((P + o0 + 4 o1 + ... + 4^i oi) / 4^(i+1)), where P is the
// smoothed pixel before them and ok the sum of pixel k's three other
// neighbours. The AVX2 kernel computes that weighted prefix sum across
// eight 32-bit lanes per component, chosen at run time; components are
// left at their place in the pixel where the sums fit (all of 5-6-5). It
// is built for x86-64 only; elsewhere every pixel takes the scalar loop.
#include "platform/pixels/effect_kernels.h"
#include "platform/pixels/effect_kernels_sse2.h"

#include "platform/pixels/blit_kernels.h"

#if KR_KERNELS_X86
#include <immintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace plat::kernels {

Channels ChannelsOf(const PixelFormat& format) {
    Channels ch;
    ch.bytesPerPixel = format.bytesPerPixel;
    ch.bits = format.bytesPerPixel == 2 ? 5 : 8;
    const std::uint32_t masks[3] = {format.redMask, format.greenMask, format.blueMask};
    for (int c = 0; c < 3; ++c) {
        ch.field[c] = masks[c];
        const int width = std::popcount(masks[c]);
        ch.shift[c] = std::countr_zero(masks[c]) + std::max(0, width - ch.bits);
    }
    return ch;
}

namespace {

// ---- rotation ----

std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {
    const std::int64_t q = n / d;
    return (n % d != 0 && ((n < 0) != (d < 0))) ? q - 1 : q;
}

std::int64_t CeilDiv(std::int64_t n, std::int64_t d) {
    const std::int64_t q = n / d;
    return (n % d != 0 && ((n < 0) == (d < 0))) ? q + 1 : q;
}

// Narrows the columns [begin, end) to those where lo <= a + i * d <= hi.
void Narrow(std::int64_t a, std::int64_t d, std::int64_t lo, std::int64_t hi, int& begin, int& end) {
    if (d == 0) {
        if (a < lo || a > hi) end = begin;
        return;
    }
    const std::int64_t first = d > 0 ? CeilDiv(lo - a, d) : CeilDiv(hi - a, d);
    const std::int64_t last = d > 0 ? FloorDiv(hi - a, d) : FloorDiv(lo - a, d);
    begin = static_cast<int>(std::clamp<std::int64_t>(first, begin, end));
    end = static_cast<int>(std::clamp<std::int64_t>(last + 1, begin, end));
}

std::uint32_t BlendPixel(const Channels& ch, std::uint32_t s, std::uint32_t d, int level) {
    std::uint32_t out = d;
    for (int c = 0; c < 3; ++c) {
        const std::uint32_t v = (ch.Get(s, c) * level + ch.Get(d, c) * (31 - level)) / 31;
        out = ch.Replace(out, c, v);
    }
    return out;
}

// The source coordinate of a running value on one axis.
template <RotateStep Step, bool Mirror>
std::int64_t SourceCoordinate(std::int64_t running, std::int64_t offset) {
    std::int64_t whole;
    if constexpr (Step == RotateStep::kFixed16) whole = running >> 16;  // floor
    else whole = running / 360 - offset;                                 // truncating, then centred
    return Mirror && whole < 0 ? -whole : whole;
}

// The running values whose coordinate (before mirroring) lies in [lo, hi]
// form one interval [first, last], as the coordinate never falls when the
// running value grows.
template <RotateStep Step>
void RunningBounds(std::int64_t lo, std::int64_t hi, std::int64_t offset, std::int64_t& first, std::int64_t& last) {
    if constexpr (Step == RotateStep::kFixed16) {
        first = lo * 65536, last = hi * 65536 + 65535;
    } else {
        // running / 360 truncates: 0 covers -359 .. 359.
        const std::int64_t l = lo + offset, h = hi + offset;
        first = l > 0 ? 360 * l : 360 * l - 359;
        last = h >= 0 ? 360 * h + 359 : 360 * h;
    }
}

template <int Bpp, RotateOp Op, RotateStep Step, bool Mirror>
void RotateSpan(const RotateArgs& a, std::uint8_t* out, std::int64_t u, std::int64_t v, int count) {
    const std::uint8_t* base = a.src->pixels;
    const std::ptrdiff_t pitch = a.src->pitch;
    for (int n = 0; n < count; ++n, out += Bpp, u += a.uCol, v += a.vCol) {
        const std::int64_t sx = SourceCoordinate<Step, Mirror>(u, a.offsetX);
        const std::int64_t sy = SourceCoordinate<Step, Mirror>(v, a.offsetY);
        if (Mirror && (sx < a.minX || sy < a.minY)) continue;
        const std::uint8_t* from = base + (a.srcTop + sy) * pitch + (a.srcLeft + sx) * Bpp;
        std::uint32_t p;
        if constexpr (Bpp == 2) {
            std::uint16_t p16;
            std::memcpy(&p16, from, 2);
            p = p16;
        } else if constexpr (Bpp == 4) {
            std::memcpy(&p, from, 4);
        } else {
            p = LoadPixel(from, 3);
        }
        if (p == 0) continue;
        if constexpr (Op == RotateOp::kAlpha) p = BlendPixel(a.channels, p, LoadPixel(out, Bpp), a.level);
        if constexpr (Bpp == 2) {
            const std::uint16_t p16 = static_cast<std::uint16_t>(p);
            std::memcpy(out, &p16, 2);
        } else if constexpr (Bpp == 4) {
            std::memcpy(out, &p, 4);
        } else {
            StorePixel(out, 3, p);
        }
    }
}

template <int Bpp, RotateOp Op, RotateStep Step, bool Mirror>
void RotateRows(const RotateArgs& a) {
    // The bounds of the running values on each axis; with a mirror the
    // absolute value must stay below the maximum (the minimum is tested
    // per pixel).
    std::int64_t uLo, uHi, vLo, vHi;
    RunningBounds<Step>(Mirror ? 1 - a.maxX : a.minX, a.maxX - 1, a.offsetX, uLo, uHi);
    RunningBounds<Step>(Mirror ? 1 - a.maxY : a.minY, a.maxY - 1, a.offsetY, vLo, vHi);
    for (int j = a.rowBegin; j < a.rowEnd; ++j) {
        const std::int64_t u = a.u0 + j * a.uRow, v = a.v0 + j * a.vRow;
        int begin = a.colBegin, end = a.colEnd;
        Narrow(u, a.uCol, uLo, uHi, begin, end);
        Narrow(v, a.vCol, vLo, vHi, begin, end);
        if (begin >= end) continue;
        std::uint8_t* out = a.dst->Row(a.boxTop + j) + static_cast<std::ptrdiff_t>(a.boxLeft + begin) * Bpp;
        RotateSpan<Bpp, Op, Step, Mirror>(a, out, u + begin * a.uCol, v + begin * a.vCol, end - begin);
    }
}

template <int Bpp, RotateOp Op, RotateStep Step>
void RotateWithStep(const RotateArgs& a) {
    return a.mirror ? RotateRows<Bpp, Op, Step, true>(a) : RotateRows<Bpp, Op, Step, false>(a);
}

template <int Bpp, RotateOp Op>
void RotateWithOp(const RotateArgs& a) {
    return a.step == RotateStep::kStepped360 ? RotateWithStep<Bpp, Op, RotateStep::kStepped360>(a)
                                             : RotateWithStep<Bpp, Op, RotateStep::kFixed16>(a);
}

template <int Bpp>
void RotateFor(const RotateArgs& a) {
    return a.op == RotateOp::kAlpha ? RotateWithOp<Bpp, RotateOp::kAlpha>(a) : RotateWithOp<Bpp, RotateOp::kCopy>(a);
}

bool RotateArgsUsable(const RotateArgs& a) {
    return a.dst && a.src && a.dst->format.bytesPerPixel == a.src->format.bytesPerPixel && a.colBegin < a.colEnd &&
           a.rowBegin < a.rowEnd && a.minX < a.maxX && a.minY < a.maxY;
}

// ---- smoothing ----

void SmoothScalarPixel(const Channels& ch, std::uint8_t* at, std::ptrdiff_t pitch, unsigned flags) {
    const int bpp = ch.bytesPerPixel;
    const std::uint32_t left = LoadPixel(at - bpp, bpp), right = LoadPixel(at + bpp, bpp);
    const std::uint32_t up = LoadPixel(at - pitch, bpp), down = LoadPixel(at + pitch, bpp);
    std::uint32_t out = LoadPixel(at, bpp);
    for (int c = 0; c < 3; ++c) {
        if (flags & (1u << c))
            out = ch.Replace(out, c, (ch.Get(left, c) + ch.Get(right, c) + ch.Get(up, c) + ch.Get(down, c)) >> 2);
    }
    StorePixel(at, bpp, out);
}

#if KR_KERNELS_X86
template <int Bpp>
__attribute__((target("avx2"), always_inline)) inline __m256i LoadLanes(const std::uint8_t* p) {
    if constexpr (Bpp == 2) return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    else return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// A component can stay at its place in the pixel through the whole
// computation when the largest weighted sum, moved up by its shift, still
// fits in 32 bits; then no shifts are spent taking it out and putting it
// back (the floor identity holds at any place, and the result is masked).
bool FitsInPlace(const Channels& ch, int c) {
    const std::uint64_t largest = (3ull * ch.Max() * 21845ull + ch.Max()) << ch.shift[c];
    return largest <= 0xFFFFFFFFull;
}

template <int Bpp>
__attribute__((target("avx2"))) void SmoothRowsAvx2(const RegionArgs& a) {
    const Channels& ch = a.channels;
    const std::ptrdiff_t pitch = a.surface->pitch;
    const std::uint32_t pixelBits = Bpp == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    const bool keepSpare = (ch.Spare() & pixelBits) != 0;
    const __m256i spare = _mm256_set1_epi32(static_cast<int>(ch.Spare()));
    const __m256i weights = _mm256_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14);
    const __m256i shifts = _mm256_setr_epi32(2, 4, 6, 8, 10, 12, 14, 16);
    const __m256i lane7 = _mm256_set1_epi32(7), lane3 = _mm256_set1_epi32(3);
    __m256i mask[3];
    __m128i count[3];
    bool inPlace[3];
    for (int c = 0; c < 3; ++c) {
        mask[c] = _mm256_set1_epi32(static_cast<int>(ch.Max() << ch.shift[c]));
        count[c] = _mm_cvtsi32_si128(ch.shift[c]);
        inPlace[c] = FitsInPlace(ch, c);
    }
    const __m256i redBlueMask = _mm256_or_si256(mask[0], mask[2]);
    const __m256i blueSumMask = _mm256_set1_epi32(static_cast<int>((1u << (ch.shift[2] + ch.bits + 2)) - 1u));
    const int lastColumn = a.width - 1;  // never smoothed
    for (int y = 1; y < a.height - 1; ++y) {
        std::uint8_t* row = a.surface->Row(a.y + y) + static_cast<std::ptrdiff_t>(a.x) * Bpp;
        const std::uint32_t first = LoadPixel(row, Bpp);
        __m256i previous[3];
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t value = inPlace[c] ? first & (ch.Max() << ch.shift[c]) : ch.Get(first, c);
            previous[c] = _mm256_set1_epi32(static_cast<int>(value));
        }
        int x = 1;
        for (; x + 8 <= lastColumn; x += 8) {
            std::uint8_t* at = row + x * Bpp;
            const __m256i right = LoadLanes<Bpp>(at + Bpp);
            const __m256i up = LoadLanes<Bpp>(at - pitch);
            const __m256i down = LoadLanes<Bpp>(at + pitch);
            __m256i out = keepSpare ? _mm256_and_si256(LoadLanes<Bpp>(at), spare) : _mm256_setzero_si256();
            // The sums of the three neighbours: red and blue summed together
            // (blue's sum stays below red's field), green apart.
            const __m256i redBlue = _mm256_add_epi32(
                _mm256_add_epi32(_mm256_and_si256(right, redBlueMask), _mm256_and_si256(up, redBlueMask)),
                _mm256_and_si256(down, redBlueMask));
            __m256i sums[3];
            sums[2] = _mm256_and_si256(redBlue, blueSumMask);
            sums[0] = _mm256_andnot_si256(blueSumMask, redBlue);
            sums[1] = _mm256_add_epi32(_mm256_add_epi32(_mm256_and_si256(right, mask[1]), _mm256_and_si256(up, mask[1])),
                                       _mm256_and_si256(down, mask[1]));
            for (int c = 0; c < 3; ++c) {
                __m256i o = sums[c];
                if (!inPlace[c]) o = _mm256_srl_epi32(o, count[c]);
                // Weighted prefix sum over the eight lanes: within each half,
                // then the lower half's total carried into the upper one.
                __m256i t = _mm256_sllv_epi32(o, weights);
                t = _mm256_add_epi32(t, _mm256_slli_si256(t, 4));
                t = _mm256_add_epi32(t, _mm256_slli_si256(t, 8));
                const __m256i low = _mm256_permutevar8x32_epi32(t, lane3);
                t = _mm256_add_epi32(t, _mm256_blend_epi32(_mm256_setzero_si256(), low, 0xF0));
                __m256i smoothed = _mm256_srlv_epi32(_mm256_add_epi32(t, previous[c]), shifts);
                if (inPlace[c]) {
                    if (ch.shift[c] != 0) smoothed = _mm256_and_si256(smoothed, mask[c]);
                    out = _mm256_or_si256(out, smoothed);
                } else {
                    out = _mm256_or_si256(out, _mm256_sll_epi32(smoothed, count[c]));
                }
                previous[c] = _mm256_permutevar8x32_epi32(smoothed, lane7);
            }
            if constexpr (Bpp == 2) {
                const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(out, out), 0x08);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm256_castsi256_si128(packed));
            } else {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), out);
            }
        }
        // The last few pixels of the row, on the same running sums.
        for (; x < lastColumn; ++x) {
            std::uint8_t* at = row + x * Bpp;
            const std::uint32_t right = LoadPixel(at + Bpp, Bpp), up = LoadPixel(at - pitch, Bpp);
            const std::uint32_t down = LoadPixel(at + pitch, Bpp);
            std::uint32_t out = keepSpare ? LoadPixel(at, Bpp) & ch.Spare() : 0;
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t left = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(previous[c]));
                const std::uint32_t value = inPlace[c] ? left >> ch.shift[c] : left;
                const std::uint32_t smoothed = (value + ch.Get(right, c) + ch.Get(up, c) + ch.Get(down, c)) >> 2;
                out |= smoothed << ch.shift[c];
                previous[c] = _mm256_set1_epi32(static_cast<int>(inPlace[c] ? smoothed << ch.shift[c] : smoothed));
            }
            StorePixel(at, Bpp, out);
        }
    }
}
#endif  // KR_KERNELS_X86

// Any flags, any pixel size: the smoothed left neighbour stays in a
// register, and the pixel size is known to the compiler.
template <int Bpp>
void SmoothRowsScalar(const RegionArgs& a, unsigned flags) {
    const Channels& ch = a.channels;
    const std::ptrdiff_t pitch = a.surface->pitch;
    for (int y = 1; y < a.height - 1; ++y) {
        std::uint8_t* at = a.surface->Row(a.y + y) + static_cast<std::ptrdiff_t>(a.x) * Bpp;
        std::uint32_t left = LoadPixel(at, Bpp);
        for (int x = 1; x < a.width - 1; ++x) {
            at += Bpp;
            const std::uint32_t right = LoadPixel(at + Bpp, Bpp), up = LoadPixel(at - pitch, Bpp);
            const std::uint32_t down = LoadPixel(at + pitch, Bpp);
            std::uint32_t out = LoadPixel(at, Bpp);
            for (int c = 0; c < 3; ++c) {
                if (flags & (1u << c))
                    out = ch.Replace(out, c, (ch.Get(left, c) + ch.Get(right, c) + ch.Get(up, c) + ch.Get(down, c)) >> 2);
            }
            StorePixel(at, Bpp, out);
            left = out;
        }
    }
}

// AVX2 kernels run when the processor has them and the copies' kernel
// level (which tests and benchmarks may lower to SSE2) allows them.
bool UseAvx2() {
#if KR_KERNELS_X86
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return has && ActiveKernelLevel() >= KernelLevel::kAvx2;
#else
    return false;
#endif
}

}  // namespace

void ReferenceRotateAffine(const RotateArgs& a) {
    if (!RotateArgsUsable(a)) return;
    for (int j = a.rowBegin; j < a.rowEnd; ++j) {
        for (int i = a.colBegin; i < a.colEnd; ++i) {
            const std::int64_t u = a.u0 + i * a.uCol + j * a.uRow, v = a.v0 + i * a.vCol + j * a.vRow;
            const bool stepped = a.step == RotateStep::kStepped360;
            std::int64_t sx = stepped ? u / 360 - a.offsetX : u >> 16;
            std::int64_t sy = stepped ? v / 360 - a.offsetY : v >> 16;
            if (a.mirror) sx = std::abs(sx), sy = std::abs(sy);
            if (sx < a.minX || sx >= a.maxX || sy < a.minY || sy >= a.maxY) continue;
            const std::uint32_t p = GetPixel(*a.src, static_cast<int>(a.srcLeft + sx), static_cast<int>(a.srcTop + sy));
            if (p == 0) continue;
            const int x = a.boxLeft + i, y = a.boxTop + j;
            PutPixel(*a.dst, x, y, a.op == RotateOp::kAlpha ? BlendPixel(a.channels, p, GetPixel(*a.dst, x, y), a.level) : p);
        }
    }
}

void RotateAffine(const RotateArgs& a) {
    if (!RotateArgsUsable(a)) return;
    switch (a.dst->format.bytesPerPixel) {
        case 2: return RotateFor<2>(a);
        case 3: return RotateFor<3>(a);
        default: return RotateFor<4>(a);
    }
}

void ReferenceSmoothRegion(const RegionArgs& a, unsigned flags) {
    if (!a.surface) return;
    const std::ptrdiff_t pitch = a.surface->pitch;
    const int bpp = a.channels.bytesPerPixel;
    for (int y = 1; y < a.height - 1; ++y) {
        std::uint8_t* row = a.surface->Row(a.y + y) + static_cast<std::ptrdiff_t>(a.x) * bpp;
        for (int x = 1; x < a.width - 1; ++x) SmoothScalarPixel(a.channels, row + x * bpp, pitch, flags);
    }
}

void SmoothRegion(const RegionArgs& a, unsigned flags) {
    if (!a.surface) return;
#if KR_KERNELS_X86
    // The vector kernel sums red and blue in one lane: blue below red with
    // room for a sum of three.
    const Channels& ch = a.channels;
    const bool blueBelowRed = ch.shift[2] + ch.bits + 2 <= ch.shift[0];
    if ((flags & 7u) == 7u && blueBelowRed && UseAvx2()) {
        if (a.channels.bytesPerPixel == 2) return SmoothRowsAvx2<2>(a);
        if (a.channels.bytesPerPixel == 4) return SmoothRowsAvx2<4>(a);
    }
    if ((flags & 7u) == 7u && blueBelowRed && SmoothRowsSse2(a)) return;
#endif
    switch (a.channels.bytesPerPixel) {
        case 2: return SmoothRowsScalar<2>(a, flags);
        case 3: return SmoothRowsScalar<3>(a, flags);
        default: return SmoothRowsScalar<4>(a, flags);
    }
}

}  // namespace plat::kernels
