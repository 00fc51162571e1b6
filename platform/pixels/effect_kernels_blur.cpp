// Kernels of the block blur.
//
// Sums are separable. Column sums over the block's rows are kept for the
// current row and moved by one row (the row that leaves subtracted, the
// one that enters added) when the block moves down. The row's block sums
// come from the column sums by doubling: W1 is the column sums, W2p[i] =
// Wp[i] + Wp[i + p], and the block width, read in binary, adds the Wp of
// its set bits at growing offsets; every step is a whole-row loop without
// a chain from pixel to pixel, so it runs over vector lanes. The bottom
// rows, whose block no longer moves, reuse the last row's sums.
//
// The sums live in 16-bit lanes, wrapping, when the largest block sum (31
// times the block's pixel count) fits in 16 bits and division by the pixel
// count is an exact multiply and shift in 32 bits; else in 32-bit lanes
// with a 64-bit product. Differences and sums of wrapped values are exact
// as long as the true result fits, which these bounds keep.
//
// Each row loop is built at three levels (baseline SSE2, AVX2, AVX-512BW)
// and the one of the copies' kernel level runs; 3-byte pixels take the
// reference.
#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/effect_kernels.h"

namespace plat::kernels {
namespace {

// Where the components' top five bits sit, how a 5-bit value goes back,
// and the exact division by the block's pixel count: q = x * mul >> shift.
template <typename T>
struct BlurLanes {
    int five[3];    // shift of each component's top five bits
    int low[3];     // 8-bit fields: shift of the repeated top bits (value >> 2)
    bool eightBit;  // fields of 8 bits repeat the top bits below
    T colour;       // a pixel without these bits is transparent
    std::uint64_t mul;
    int shift;
};

// A multiplier and shift that divide every x in 0 .. largest by n exactly,
// with mul below 2^mulBits; false when there are none.
bool ExactDivision(std::uint64_t n, std::uint64_t largest, int mulBits, std::uint64_t& mul, int& shift) {
    for (int s = 63; s >= 0; --s) {
        const unsigned __int128 power = static_cast<unsigned __int128>(1) << s;
        const unsigned __int128 m = (power + n - 1) / n;
        if (m >= (static_cast<unsigned __int128>(1) << mulBits)) continue;
        const unsigned __int128 error = m * n - power;
        if (static_cast<unsigned __int128>(largest) * error < power) {
            mul = static_cast<std::uint64_t>(m);
            shift = s;
            return true;
        }
    }
    return false;
}

// ---- row loops ----

// A shift count held below the lane's width, which lets the compiler keep
// 16-bit lanes at 16 bits.
template <typename T>
[[gnu::always_inline]] inline int Within(int s) {
    return s & static_cast<int>(8 * sizeof(T) - 1);
}

template <typename T, typename L, bool Leave>
[[gnu::always_inline]] inline void ColumnsBody(const T* __restrict enter, const T* __restrict leave, L* __restrict s0,
                                               L* __restrict s1, L* __restrict s2, int n, int f0, int f1, int f2) {
    f0 = Within<T>(f0), f1 = Within<T>(f1), f2 = Within<T>(f2);
    for (int i = 0; i < n; ++i) {
        const T p = enter[i];
        L r = static_cast<L>((p >> f0) & 31u), g = static_cast<L>((p >> f1) & 31u), b = static_cast<L>((p >> f2) & 31u);
        if constexpr (Leave) {
            const T q = leave[i];
            r = static_cast<L>(r - static_cast<L>((q >> f0) & 31u));
            g = static_cast<L>(g - static_cast<L>((q >> f1) & 31u));
            b = static_cast<L>(b - static_cast<L>((q >> f2) & 31u));
        }
        s0[i] = static_cast<L>(s0[i] + r), s1[i] = static_cast<L>(s1[i] + g), s2[i] = static_cast<L>(s2[i] + b);
    }
}

template <typename L>
[[gnu::always_inline]] inline void PairBody(L* __restrict out, const L* a, const L* b, int n) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<L>(a[i] + b[i]);
}

// A block sum's average put back into a pixel, with everything a row loop
// needs held by value (so that no store may change it) and every shift a
// multiplication by a power of two or a count below the lane's width: the
// compiler then keeps 16-bit lanes at 16 bits and divides with the high
// half of one product.
template <typename T, typename L>
struct Averager {
    std::uint64_t mul;
    int shift;
    T place[3];  // 2^(shift of each component's top five bits)
    T low[3];    // 8-bit fields: 2^(shift of the repeated top bits)
    bool eightBit;

    explicit Averager(const BlurLanes<T>& k) : mul(k.mul), shift(k.shift), eightBit(k.eightBit) {
        for (int c = 0; c < 3; ++c) place[c] = static_cast<T>(T{1} << k.five[c]), low[c] = static_cast<T>(T{1} << k.low[c]);
    }

    [[gnu::always_inline]] L Divide(L x) const {
        if constexpr (sizeof(L) == 2) {
            const auto m = static_cast<std::uint16_t>(mul);
            const auto high = static_cast<std::uint16_t>((std::uint32_t{x} * m) >> 16);
            return static_cast<L>(high >> ((shift - 16) & 15));
        } else {
            return static_cast<L>((static_cast<std::uint64_t>(x) * mul) >> shift);
        }
    }

    [[gnu::always_inline]] T operator()(L r, L g, L b) const {
        const T q0 = static_cast<T>(Divide(r)), q1 = static_cast<T>(Divide(g)), q2 = static_cast<T>(Divide(b));
        T out = static_cast<T>(static_cast<T>(q0 * place[0]) | static_cast<T>(q1 * place[1]) | static_cast<T>(q2 * place[2]));
        if constexpr (sizeof(T) == 4) {
            if (eightBit)
                out = static_cast<T>(out | ((q0 >> 2) * low[0]) | ((q1 >> 2) * low[1]) | ((q2 >> 2) * low[2]));
        }
        return out;
    }
};

// Destination pixels 0 .. n - 1 from the block sums at the same column.
template <typename T, typename L>
[[gnu::always_inline]] inline void OutputBody(T* __restrict dst, const T* __restrict src, const L* __restrict s0,
                                              const L* __restrict s1, const L* __restrict s2, int n,
                                              const BlurLanes<T>& k) {
    const Averager<T, L> average(k);
    const T colour = k.colour;
    for (int i = 0; i < n; ++i) {
        const T out = average(s0[i], s1[i], s2[i]);
        dst[i] = (src[i] & colour) != 0 ? out : dst[i];
    }
}

// Destination pixels 0 .. n - 1 all from one block sum.
template <typename T>
[[gnu::always_inline]] inline void OutputOneBody(T* __restrict dst, const T* __restrict src, int n, T out, T colour) {
    for (int i = 0; i < n; ++i) dst[i] = (src[i] & colour) != 0 ? out : dst[i];
}

template <typename T, typename L>
struct BlurRows {
    void (*enter)(const T*, const T*, L*, L*, L*, int, int, int, int);
    void (*move)(const T*, const T*, L*, L*, L*, int, int, int, int);
    void (*pair)(L*, const L*, const L*, int);
    void (*output)(T*, const T*, const L*, const L*, const L*, int, const BlurLanes<T>&);
    void (*outputOne)(T*, const T*, int, T, T);
};

#define KR_BLUR_ROWS(suffix, ...)                                                                                   \
    template <typename T, typename L, bool Leave>                                                                   \
    __VA_ARGS__ void Columns##suffix(const T* enter, const T* leave, L* s0, L* s1, L* s2, int n, int f0, int f1,     \
                                     int f2) {                                                                      \
        ColumnsBody<T, L, Leave>(enter, leave, s0, s1, s2, n, f0, f1, f2);                                          \
    }                                                                                                               \
    template <typename L>                                                                                           \
    __VA_ARGS__ void Pair##suffix(L* out, const L* a, const L* b, int n) {                                          \
        PairBody<L>(out, a, b, n);                                                                                  \
    }                                                                                                               \
    template <typename T, typename L>                                                                               \
    __VA_ARGS__ void Output##suffix(T* dst, const T* src, const L* s0, const L* s1, const L* s2, int n,             \
                                    const BlurLanes<T>& k) {                                                        \
        OutputBody<T, L>(dst, src, s0, s1, s2, n, k);                                                               \
    }                                                                                                               \
    template <typename T>                                                                                           \
    __VA_ARGS__ void OutputOne##suffix(T* dst, const T* src, int n, T out, T colour) {                              \
        OutputOneBody<T>(dst, src, n, out, colour);                                                                 \
    }                                                                                                               \
    template <typename T, typename L>                                                                               \
    BlurRows<T, L> Rows##suffix() {                                                                                 \
        return {Columns##suffix<T, L, false>, Columns##suffix<T, L, true>, Pair##suffix<L>, Output##suffix<T, L>,   \
                OutputOne##suffix<T>};                                                                              \
    }

KR_BLUR_ROWS(Sse2)
KR_BLUR_ROWS(Avx2, [[gnu::target("avx2")]])
KR_BLUR_ROWS(Avx512, [[gnu::target("avx512f,avx512bw,prefer-vector-width=512")]])
#undef KR_BLUR_ROWS

template <typename T, typename L>
BlurRows<T, L> RowsForLevel() {
    switch (ActiveKernelLevel()) {
        case KernelLevel::kAvx512: return RowsAvx512<T, L>();
        case KernelLevel::kAvx2: return RowsAvx2<T, L>();
        default: return RowsSse2<T, L>();
    }
}

// ---- the rectangle ----

// Three planes of one row of sums.
template <typename L>
struct Planes {
    std::vector<L> data;
    int stride = 0;
    explicit Planes(int width) : data(static_cast<std::size_t>(width) * 3), stride(width) {}
    L* operator[](int c) { return data.data() + static_cast<std::size_t>(c) * stride; }
};

template <typename T, typename L>
class Blur {
public:
    Blur(const BlurArgs& a, const BlurLanes<T>& k)
        : a_(a), k_(k), rows_(RowsForLevel<T, L>()), w_(a.width), h_(a.height), bw_(std::min(a.block, a.width)),
          bh_(std::min(a.block, a.height)), columns_(w_), ping_(w_), pong_(w_), sums_(w_) {}

    void Run() {
        for (int j = 0; j < bh_; ++j) rows_.enter(Src(j), nullptr, columns_[0], columns_[1], columns_[2], w_, k_.five[0], k_.five[1], k_.five[2]);
        int blockTop = 0;
        for (int j = 0; j < h_; ++j) {
            // The block starts at this row unless that would run past the bottom.
            const int wantTop = std::min(j, h_ - bh_);
            if (j == 0 || blockTop < wantTop) {
                for (; blockTop < wantTop; ++blockTop)
                    rows_.move(Src(blockTop + bh_), Src(blockTop), columns_[0], columns_[1], columns_[2], w_, k_.five[0],
                               k_.five[1], k_.five[2]);
                BlockSums();
            }
            Output(j);
        }
    }

private:
    const T* Src(int j) const { return reinterpret_cast<const T*>(a_.src + j * a_.srcPitch); }
    T* Dst(int j) const { return reinterpret_cast<T*>(a_.dst + j * a_.dstPitch); }

    // result_[c][i] = the sum of columns i .. i + bw - 1, for i in 0 .. w - bw.
    void BlockSums() {
        const L* current[3] = {columns_[0], columns_[1], columns_[2]};
        bool owned = false;  // whether current lies in ping_ (else the column sums)
        bool started = false;
        int offset = 0;
        for (int p = 1; p <= bw_; p <<= 1) {
            if (bw_ & p) {
                for (int c = 0; c < 3; ++c) {
                    if (started) rows_.pair(sums_[c], sums_[c], current[c] + offset, w_ - offset - p + 1);
                    else rows_.pair(sums_[c], current[c], zeros(), w_ - p + 1);
                }
                started = true;
                offset += p;
            }
            if (2 * p > bw_) break;
            Planes<L>& next = owned ? pong_ : ping_;
            for (int c = 0; c < 3; ++c) rows_.pair(next[c], current[c], current[c] + p, w_ - 2 * p + 1);
            for (int c = 0; c < 3; ++c) current[c] = next[c];
            if (owned) std::swap(ping_, pong_);
            owned = true;
        }
    }

    const L* zeros() {
        if (zeros_.empty()) zeros_.assign(static_cast<std::size_t>(w_), L{0});
        return zeros_.data();
    }

    void Output(int j) {
        const int distinct = w_ - bw_ + 1;
        rows_.output(Dst(j), Src(j), sums_[0], sums_[1], sums_[2], distinct, k_);
        if (distinct == w_) return;
        const std::size_t last = static_cast<std::size_t>(distinct - 1);
        const T out = Averager<T, L>(k_)(sums_[0][last], sums_[1][last], sums_[2][last]);
        rows_.outputOne(Dst(j) + distinct, Src(j) + distinct, w_ - distinct, out, k_.colour);
    }

    const BlurArgs& a_;
    const BlurLanes<T>& k_;
    BlurRows<T, L> rows_;
    int w_, h_, bw_, bh_;
    Planes<L> columns_, ping_, pong_, sums_;
    std::vector<L> zeros_;
};

template <typename T>
BlurLanes<T> BlurLanesOf(const BlurArgs& a) {
    BlurLanes<T> k{};
    std::uint32_t colour = 0;
    k.eightBit = false;
    for (int c = 0; c < 3; ++c) {
        k.five[c] = a.shift[c] + a.bits[c] - 5;
        k.low[c] = a.shift[c];
        k.eightBit = k.eightBit || a.bits[c] == 8;
        colour |= ((1u << a.bits[c]) - 1u) << a.shift[c];
    }
    k.colour = static_cast<T>(colour);
    return k;
}

template <typename T>
void BlurPixels(const BlurArgs& a) {
    BlurLanes<T> k = BlurLanesOf<T>(a);
    if (sizeof(T) == 2 && k.eightBit) return ReferenceBlurRect(a);  // no 2-byte format has one
    const std::uint64_t count = static_cast<std::uint64_t>(std::min(a.block, a.width)) *
                                static_cast<std::uint64_t>(std::min(a.block, a.height));
    const std::uint64_t largest = 31 * count;
    if (largest <= 0xFFFF && ExactDivision(count, largest, 16, k.mul, k.shift) && k.shift >= 16) {
        Blur<T, std::uint16_t>(a, k).Run();
        return;
    }
    // Blocks of more than 2^27 pixels, were there such surfaces, take the plain rule.
    if (largest > 0xFFFFFFFFull || !ExactDivision(count, largest, 32, k.mul, k.shift)) return ReferenceBlurRect(a);
    Blur<T, std::uint32_t>(a, k).Run();
}

}  // namespace

void ReferenceBlurRect(const BlurArgs& a) {
    if (!a.src || !a.dst || a.width <= 0 || a.height <= 0 || a.block < 1) return;
    const int bpp = a.bytesPerPixel;
    const int bw = std::min(a.block, a.width), bh = std::min(a.block, a.height);
    std::uint32_t colour = 0;
    for (int c = 0; c < 3; ++c) colour |= ((1u << a.bits[c]) - 1u) << a.shift[c];
    auto five = [&](std::uint32_t p, int c) { return (p >> (a.shift[c] + a.bits[c] - 5)) & 31u; };
    auto place = [&](std::uint32_t v, int c) {
        const std::uint32_t field = a.bits[c] == 8 ? (v << 3) | (v >> 2) : v << (a.bits[c] - 5);
        return field << a.shift[c];
    };
    const std::uint64_t count = static_cast<std::uint64_t>(bw) * static_cast<std::uint64_t>(bh);
    for (int j = 0; j < a.height; ++j) {
        for (int i = 0; i < a.width; ++i) {
            if ((LoadPixel(a.src + j * a.srcPitch + i * bpp, bpp) & colour) == 0) continue;
            const int top = std::min(j, a.height - bh), left = std::min(i, a.width - bw);
            std::uint64_t sum[3] = {0, 0, 0};
            for (int y = top; y < top + bh; ++y)
                for (int x = left; x < left + bw; ++x) {
                    const std::uint32_t p = LoadPixel(a.src + y * a.srcPitch + x * bpp, bpp);
                    for (int c = 0; c < 3; ++c) sum[c] += five(p, c);
                }
            std::uint32_t out = 0;
            for (int c = 0; c < 3; ++c) out |= place(static_cast<std::uint32_t>(sum[c] / count), c);
            StorePixel(a.dst + j * a.dstPitch + i * bpp, bpp, out);
        }
    }
}

void BlurRect(const BlurArgs& a) {
    if (!a.src || !a.dst || a.width <= 0 || a.height <= 0 || a.block < 1) return;
    switch (a.bytesPerPixel) {
        case 2: return BlurPixels<std::uint16_t>(a);
        case 4: return BlurPixels<std::uint32_t>(a);
        default: return ReferenceBlurRect(a);
    }
}

}  // namespace plat::kernels
