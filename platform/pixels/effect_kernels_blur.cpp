// Kernels of the block blur.
//
// Sums are separable. Column sums over the block's rows are kept for the
// current row and moved by one row (the row that leaves subtracted, the
// one that enters added) when the block moves down. The row's block sums
// come from the column sums by doubling: W1 is the column sums, W2p[i] =
// Wp[i] + Wp[i + p], and the block width, read in binary, adds the Wp of
// its set bits at growing offsets. The top Wp is never made: its two
// halves, like the last two terms, are added by the output loop, so a
// block of 2 takes no doubling pass and one of 8 two. Every pass is a
// whole-row loop over the three planes at once, without a chain from pixel
// to pixel, so it runs over vector lanes. The bottom rows, whose block no
// longer moves, reuse the last row's sums.
//
// The sums live in 16-bit lanes, wrapping, when the largest block sum (31
// times the block's pixel count) fits in 16 bits; else in 32-bit lanes.
// Differences and sums of wrapped values are exact as long as the true
// result fits, which these bounds keep. Division by the pixel count is an
// exact multiply and shift chosen per rectangle: in 16-bit lanes the high
// half of a 16-bit product (once, or twice for the rest of the shift) where
// one is exact, else a 32-bit multiplier in 64 bits.
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

// How 16-bit lanes divide a block sum x by the pixel count: not at all (one
// pixel), the high half of x * mul (shift 16), or that high half's high
// half with 2^(32 - shift), which shifts it right by shift - 16 without a
// shift by a variable count (which the compiler would widen the lanes for).
// 32-bit lanes take a 64-bit product.
enum class Division { kNone, kHigh, kHighTwice, kWide };

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
template <typename T, typename L, Division D>
struct Averager {
    std::uint64_t mul;
    int shift;
    std::uint16_t mul16, post16;  // kHigh, kHighTwice: mul and 2^(32 - shift)
    T place[3];  // 2^(shift of each component's top five bits)
    T low[3];    // 8-bit fields: 2^(shift of the repeated top bits)
    bool eightBit;

    explicit Averager(const BlurLanes<T>& k)
        : mul(k.mul), shift(k.shift), mul16(static_cast<std::uint16_t>(k.mul)),
          post16(static_cast<std::uint16_t>(k.shift > 16 && k.shift < 32 ? 1u << (32 - k.shift) : 0u)),
          eightBit(k.eightBit) {
        for (int c = 0; c < 3; ++c) place[c] = static_cast<T>(T{1} << k.five[c]), low[c] = static_cast<T>(T{1} << k.low[c]);
    }

    [[gnu::always_inline]] static std::uint16_t High(std::uint16_t x, std::uint16_t m) {
        return static_cast<std::uint16_t>((std::uint32_t{x} * m) >> 16);
    }

    [[gnu::always_inline]] L Divide(L x) const {
        if constexpr (D == Division::kNone) return x;
        else if constexpr (D == Division::kHigh) return High(x, mul16);
        else if constexpr (D == Division::kHighTwice) return High(High(x, mul16), post16);
        else return static_cast<L>((static_cast<std::uint64_t>(x) * static_cast<std::uint32_t>(mul)) >> shift);  // mul < 2^32
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

// The block sums of one row as planes whose sum at each column is the
// block sum: a (three planes) and, when there is a second term, b.
template <typename L>
struct Terms {
    const L* a[3] = {};
    const L* b[3] = {};
};

// Destination pixels 0 .. n - 1 from the block sums at the same column:
// a's, plus b's with Two.
template <typename T, typename L, Division D, bool Two>
[[gnu::always_inline]] inline void OutputBody(T* __restrict dst, const T* __restrict src, const Terms<L>& t, int n,
                                              const BlurLanes<T>& k) {
    const Averager<T, L, D> average(k);
    const T colour = k.colour;
    const L* __restrict a0 = t.a[0];
    const L* __restrict a1 = t.a[1];
    const L* __restrict a2 = t.a[2];
    const L* __restrict b0 = Two ? t.b[0] : t.a[0];
    const L* __restrict b1 = Two ? t.b[1] : t.a[1];
    const L* __restrict b2 = Two ? t.b[2] : t.a[2];
    for (int i = 0; i < n; ++i) {
        L r = a0[i], g = a1[i], b = a2[i];
        if constexpr (Two) r = static_cast<L>(r + b0[i]), g = static_cast<L>(g + b1[i]), b = static_cast<L>(b + b2[i]);
        const T out = average(r, g, b);
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
    void (*outputOne)(T*, const T*, const Terms<L>&, int, const BlurLanes<T>&);  // one term
    void (*outputTwo)(T*, const T*, const Terms<L>&, int, const BlurLanes<T>&);  // two terms
    void (*outputSame)(T*, const T*, int, T, T);
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
    template <typename T, typename L, Division D, bool Two>                                                         \
    __VA_ARGS__ void Output##suffix(T* dst, const T* src, const Terms<L>& t, int n, const BlurLanes<T>& k) {        \
        OutputBody<T, L, D, Two>(dst, src, t, n, k);                                                                \
    }                                                                                                               \
    template <typename T>                                                                                           \
    __VA_ARGS__ void OutputSame##suffix(T* dst, const T* src, int n, T out, T colour) {                             \
        OutputOneBody<T>(dst, src, n, out, colour);                                                                 \
    }                                                                                                               \
    template <typename T, typename L, Division D>                                                                   \
    BlurRows<T, L> Rows##suffix() {                                                                                 \
        return {Columns##suffix<T, L, false>, Columns##suffix<T, L, true>, Pair##suffix<L>,                        \
                Output##suffix<T, L, D, false>, Output##suffix<T, L, D, true>, OutputSame##suffix<T>};             \
    }

KR_BLUR_ROWS(Sse2)
KR_BLUR_ROWS(Avx2, [[gnu::target("avx2")]])
KR_BLUR_ROWS(Avx512, [[gnu::target("avx512f,avx512bw,prefer-vector-width=512")]])
#undef KR_BLUR_ROWS

template <typename T, typename L, Division D>
BlurRows<T, L> RowsForLevel() {
    switch (ActiveKernelLevel()) {
        case KernelLevel::kAvx512: return RowsAvx512<T, L, D>();
        case KernelLevel::kAvx2: return RowsAvx2<T, L, D>();
        default: return RowsSse2<T, L, D>();
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

template <typename T, typename L, Division D>
class Blur {
public:
    Blur(const BlurArgs& a, const BlurLanes<T>& k)
        : a_(a), k_(k), rows_(RowsForLevel<T, L, D>()), w_(a.width), h_(a.height), bw_(std::min(a.block, a.width)),
          bh_(std::min(a.block, a.height)), columns_(w_), sums_(w_) {}

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

    // The sum of columns i .. i + bw - 1, for i in 0 .. w - bw, as terms_.
    // W1 is the column sums and W2p[i] = Wp[i] + Wp[i + p]; the block width
    // read in binary adds the Wp of its set bits at growing offsets. The
    // largest of them is left as its two halves, so the output loop makes
    // it; a third term folds the first two into sums_.
    void BlockSums() {
        terms_ = Terms<L>{};
        count_ = 0;
        const L* current[3] = {columns_[0], columns_[1], columns_[2]};
        int level = 0, offset = 0;
        for (int p = 1; p <= bw_; p <<= 1, ++level) {
            if (2 * p > bw_) {  // the top bit: Wp as the two halves of W(p/2), or W1 itself
                if (p == 1) return AddTerm(current, offset);
                const int half = p / 2;
                AddTerm(previous_, offset);
                return AddTerm(previous_, offset + half);
            }
            if (bw_ & p) {
                AddTerm(current, offset);
                offset += p;
            }
            // W2p, needed unless 2p is the top bit, which stays in halves.
            for (int c = 0; c < 3; ++c) previous_[c] = current[c];
            if (4 * p > bw_) continue;
            // One loop over the three planes, which lie one after another
            // with the same stride: the sums that mix two planes fall in
            // each plane's last columns, which no block sum reads.
            Planes<L>& next = Level(level);
            rows_.pair(next[0], current[0], current[0] + p, 3 * w_ - p);
            for (int c = 0; c < 3; ++c) current[c] = next[c];
        }
    }

    void AddTerm(const L* const (&planes)[3], int offset) {
        if (count_ == 2) {  // fold a + b into sums_
            rows_.pair(sums_[0], terms_.a[0], terms_.b[0], 2 * w_ + (w_ - bw_ + 1));  // the three planes at once
            for (int c = 0; c < 3; ++c) terms_.a[c] = sums_[c];
            count_ = 1;
        }
        for (int c = 0; c < 3; ++c) (count_ == 0 ? terms_.a : terms_.b)[c] = planes[c] + offset;
        ++count_;
    }

    // The planes of W(2^(level + 1)); each level keeps its own, as terms may
    // point into any of them.
    Planes<L>& Level(int level) {
        while (static_cast<int>(levels_.size()) <= level) levels_.emplace_back(w_);
        return levels_[static_cast<std::size_t>(level)];
    }

    void Output(int j) {
        const int distinct = w_ - bw_ + 1;
        if (count_ == 2) rows_.outputTwo(Dst(j), Src(j), terms_, distinct, k_);
        else rows_.outputOne(Dst(j), Src(j), terms_, distinct, k_);
        if (distinct == w_) return;
        const std::size_t last = static_cast<std::size_t>(distinct - 1);
        L sum[3];
        for (int c = 0; c < 3; ++c)
            sum[c] = static_cast<L>(terms_.a[c][last] + (count_ == 2 ? terms_.b[c][last] : L{0}));
        const T out = Averager<T, L, D>(k_)(sum[0], sum[1], sum[2]);
        rows_.outputSame(Dst(j) + distinct, Src(j) + distinct, w_ - distinct, out, k_.colour);
    }

    const BlurArgs& a_;
    const BlurLanes<T>& k_;
    BlurRows<T, L> rows_;
    int w_, h_, bw_, bh_;
    Planes<L> columns_, sums_;
    std::vector<Planes<L>> levels_;
    const L* previous_[3] = {};
    Terms<L> terms_;
    int count_ = 0;
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

// A division of every x in 0 .. largest by n in 16-bit lanes: the first
// shift from 16 up to 31 with a multiplier below 2^16 that is exact.
bool ExactDivision16(std::uint64_t n, std::uint64_t largest, std::uint64_t& mul, int& shift) {
    for (int s = 16; s < 32; ++s) {
        const std::uint64_t power = std::uint64_t{1} << s, m = (power + n - 1) / n;
        if (m < 0x10000 && largest * (m * n - power) < power) {
            mul = m, shift = s;
            return true;
        }
    }
    return false;
}

template <typename T>
void BlurPixels(const BlurArgs& a) {
    BlurLanes<T> k = BlurLanesOf<T>(a);
    if (sizeof(T) == 2 && k.eightBit) return ReferenceBlurRect(a);  // no 2-byte format has one
    const std::uint64_t count = static_cast<std::uint64_t>(std::min(a.block, a.width)) *
                                static_cast<std::uint64_t>(std::min(a.block, a.height));
    const std::uint64_t largest = 31 * count;
    if (count == 1) return Blur<T, std::uint16_t, Division::kNone>(a, k).Run();
    if (largest <= 0xFFFF) {
        if (ExactDivision16(count, largest, k.mul, k.shift)) {
            if (k.shift == 16) return Blur<T, std::uint16_t, Division::kHigh>(a, k).Run();
            return Blur<T, std::uint16_t, Division::kHighTwice>(a, k).Run();
        }
        // Sums in 16 bits, divided by a 32-bit multiplier in 64 bits.
        if (ExactDivision(count, largest, 32, k.mul, k.shift)) return Blur<T, std::uint16_t, Division::kWide>(a, k).Run();
    }
    // Blocks of more than 2^27 pixels, were there such surfaces, take the plain rule.
    if (largest > 0xFFFFFFFFull || !ExactDivision(count, largest, 32, k.mul, k.shift)) return ReferenceBlurRect(a);
    Blur<T, std::uint32_t, Division::kWide>(a, k).Run();
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
