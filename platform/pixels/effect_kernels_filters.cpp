// Kernels of the rising smoke, the noise and the circular mosaic.
//
// None of the three needs a pixel before it in the same pass, so each runs
// as whole-row loops over 16- or 32-bit lanes that the compiler turns into
// vector code; every row loop is built three times (baseline SSE2, AVX2,
// AVX-512BW) and the one of the copies' kernel level runs. 3-byte pixels
// take the reference kernels. The baseline loops hold no intrinsics and
// serve the portable level on any processor.
//
// Random entries. The noise takes one entry per pixel, so a row reads a
// run of the table straight (cut where the position wraps). The smoke's
// entries decide between a copy and an average without looking at pixels:
// an entry e, met with the counter at c, gives max(e - c, 0) averages and
// then one copy. The decisions of the whole table are therefore laid out
// once as a run of masks, and each row's pixel loop selects with the next
// stretch of it.
//
// Mosaic. A disc row is one interval of columns in its cell (the square
// root test only grows with the distance from the centre and is symmetric
// about it), found per cell row by bisection with the same test; the pixel
// loop then compares each column's place in its cell with that interval.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/effect_kernels.h"
#include "platform/os/random.h"

namespace plat::kernels {
namespace {

using Pixel16 = std::uint16_t;
using Pixel32 = std::uint32_t;

template <int Bpp>
using PixelOf = std::conditional_t<Bpp == 2, Pixel16, Pixel32>;

template <int Bpp>
PixelOf<Bpp>* RowOf(const RegionArgs& a, int y) {
    return reinterpret_cast<PixelOf<Bpp>*>(a.surface->Row(a.y + y) + static_cast<std::ptrdiff_t>(a.x) * Bpp);
}

constexpr int kTableSize = 10000;

// The position after taking the entry at it (the restart calls plat::Random).
void Advance(RandomWalk& w) {
    if (w.position < 0 || w.position >= kTableSize) w.position = 0;
    if (++w.position > kTableSize - 1) w.position = plat::Random() % 1000;
}

int CurrentEntry(const RandomWalk& w) { return w.table[std::clamp(w.position, 0, kTableSize - 1)]; }

// The components one row loop works on: where each sits, its largest
// value, and a mask that is all ones for a flagged component, else 0.
template <typename T>
struct Lanes {
    int shift[3];
    T max;
    T on[3];
    T keep;  // the bits a flagged result does not replace
};

template <typename T>
Lanes<T> LanesOf(const Channels& ch, unsigned flags) {
    Lanes<T> k{};
    k.max = static_cast<T>(ch.Max());
    std::uint32_t replaced = 0;
    for (int c = 0; c < 3; ++c) {
        k.shift[c] = ch.shift[c];
        const bool on = (flags & (1u << c)) != 0;
        k.on[c] = on ? static_cast<T>(~T{0}) : T{0};
        if (on) replaced |= ch.field[c];
    }
    k.keep = static_cast<T>(~replaced);
    return k;
}

// ---- noise ----

template <typename T, typename S>
[[gnu::always_inline]] inline void NoiseBody(T* __restrict px, const std::uint8_t* __restrict entries, int n, S step,
                                             const Lanes<T>& k) {
    const int s0 = k.shift[0], s1 = k.shift[1], s2 = k.shift[2];
    const S max = static_cast<S>(k.max);
    for (int i = 0; i < n; ++i) {
        const S d = static_cast<S>((static_cast<S>(entries[i]) - 1) * step);
        const T p = px[i];
        S r = static_cast<S>((p >> s0) & k.max) + d, g = static_cast<S>((p >> s1) & k.max) + d;
        S b = static_cast<S>((p >> s2) & k.max) + d;
        r = std::min(std::max(r, S{0}), max), g = std::min(std::max(g, S{0}), max), b = std::min(std::max(b, S{0}), max);
        px[i] = static_cast<T>((p & k.keep) | ((static_cast<T>(r) << s0) & k.on[0]) | ((static_cast<T>(g) << s1) & k.on[1]) |
                               ((static_cast<T>(b) << s2) & k.on[2]));
    }
}

using Noise16Fn = void (*)(Pixel16*, const std::uint8_t*, int, std::int16_t, const Lanes<std::uint16_t>&);
using Noise32Fn = void (*)(Pixel32*, const std::uint8_t*, int, std::int32_t, const Lanes<std::uint32_t>&);

// ---- smoke ----

// The decisions of n pixels from the walk, one entry at a time: copy[i]
// all ones where pixel i is a copy, 0 where it is an average. Serves walks
// whose position lies outside the table.
void SmokeDecisions(RandomWalk& w, std::int8_t* copy, int n) {
    std::memset(copy, 0, static_cast<std::size_t>(n));
    int i = 0;
    while (i < n) {
        const int e = CurrentEntry(w);
        const int averages = e > w.counter ? e - w.counter : 0;
        if (averages >= n - i) {  // the row ends before this entry's copy
            w.counter += n - i;
            return;
        }
        i += averages;
        copy[i++] = -1;
        w.counter = 0;
        Advance(w);
    }
}

// The decisions of the whole table as one run: entry q lays e_q averages
// (0) and then its copy (-1, all ones), from start[q]. A walk at position p
// with counter c stands at start[p] + min(c, e_p) of the run (a counter at
// or past its entry takes the copy at once), so a row's decisions are the
// next n of the run, cut where the last entry's copy sends the position
// back through plat::Random. Built once per table and kept while the table's
// contents stay the same.
class SmokeRun {
public:
    // The run of this table (rebuilt when the table differs from the last).
    static SmokeRun& Of(const std::uint8_t* table) {
        thread_local SmokeRun run;
        if (run.table_.empty() || std::memcmp(run.table_.data(), table, kTableSize) != 0) run.Build(table);
        return run;
    }

    // The next n decisions of a walk whose position lies in the table; the
    // walk moves past them. Points into the run, or into scratch when the
    // row passes the table's end.
    const std::int8_t* Take(RandomWalk& w, int n, std::int8_t* scratch) const {
        const int end = start_[kTableSize];
        int at = start_[w.position] + std::min(w.counter, static_cast<int>(table_[w.position]));
        const std::int8_t* decisions = run_.data() + at;
        if (n < end - at) {
            at += n;
        } else {
            int done = 0;
            while (n - done >= end - at) {  // takes entry 9999's copy: the position restarts
                std::memcpy(scratch + done, run_.data() + at, static_cast<std::size_t>(end - at));
                done += end - at;
                at = start_[plat::Random() % 1000];
            }
            std::memcpy(scratch + done, run_.data() + at, static_cast<std::size_t>(n - done));
            at += n - done;
            decisions = scratch;
        }
        // The entry holding the next decision, and the averages already taken of it.
        const int p = static_cast<int>(std::upper_bound(start_.begin(), start_.end() - 1, at) - start_.begin()) - 1;
        w.position = p;
        w.counter = at - start_[p];
        return decisions;
    }

private:
    void Build(const std::uint8_t* table) {
        table_.assign(table, table + kTableSize);
        start_.resize(kTableSize + 1);
        run_.clear();
        for (int q = 0; q < kTableSize; ++q) {
            start_[q] = static_cast<int>(run_.size());
            run_.insert(run_.end(), table[q], std::int8_t{0});
            run_.push_back(-1);
        }
        start_[kTableSize] = static_cast<int>(run_.size());
    }

    std::vector<std::uint8_t> table_;
    std::vector<int> start_;
    std::vector<std::int8_t> run_;
};

template <typename T>
[[gnu::always_inline]] inline void SmokeBody(T* __restrict above, const T* __restrict row, const T* __restrict below,
                                             const std::int8_t* __restrict copy, int n, const Lanes<T>& k) {
    // Shifts held below the lane's width and 2-byte pixels' 5-bit largest
    // component written out let the compiler keep 16-bit lanes at 16 bits.
    constexpr int kWithin = 8 * sizeof(T) - 1;
    const int s0 = k.shift[0] & kWithin, s1 = k.shift[1] & kWithin, s2 = k.shift[2] & kWithin;
    const T m = sizeof(T) == 2 ? T{31} : k.max;
    const T p0 = static_cast<T>(T{1} << s0), p1 = static_cast<T>(T{1} << s1), p2 = static_cast<T>(T{1} << s2);
    const T keep = k.keep, on0 = k.on[0], on1 = k.on[1], on2 = k.on[2];
    for (int i = 0; i < n; ++i) {
        const T l = row[i], c = row[i + 1], r = row[i + 2], u = above[i + 1], d = below[i + 1];
        const T sel = static_cast<T>(static_cast<std::make_signed_t<T>>(copy[i]));
        const T a0 = static_cast<T>((((l >> s0) & m) + ((r >> s0) & m) + ((u >> s0) & m) + ((d >> s0) & m)) >> 2);
        const T a1 = static_cast<T>((((l >> s1) & m) + ((r >> s1) & m) + ((u >> s1) & m) + ((d >> s1) & m)) >> 2);
        const T a2 = static_cast<T>((((l >> s2) & m) + ((r >> s2) & m) + ((u >> s2) & m) + ((d >> s2) & m)) >> 2);
        const T v0 = static_cast<T>((((c >> s0) & m) & sel) | (a0 & ~sel));
        const T v1 = static_cast<T>((((c >> s1) & m) & sel) | (a1 & ~sel));
        const T v2 = static_cast<T>((((c >> s2) & m) & sel) | (a2 & ~sel));
        above[i + 1] = static_cast<T>((u & keep) | (static_cast<T>(v0 * p0) & on0) | (static_cast<T>(v1 * p1) & on1) |
                                      (static_cast<T>(v2 * p2) & on2));
    }
}

template <typename T>
using SmokeFn = void (*)(T*, const T*, const T*, const std::int8_t*, int, const Lanes<T>&);

// ---- mosaic ----

// Column sums of one band of rows, then the row loop that writes the cell
// colour where the column's place in its cell lies in the disc interval.
template <typename T>
[[gnu::always_inline]] inline void MosaicSumBody(const T* __restrict row, std::uint32_t* __restrict sums, int n,
                                                 const Lanes<T>& k) {
    std::uint32_t* __restrict s0 = sums;
    std::uint32_t* __restrict s1 = sums + n;
    std::uint32_t* __restrict s2 = sums + 2 * n;
    for (int i = 0; i < n; ++i) {
        const T p = row[i];
        s0[i] += static_cast<std::uint32_t>((p >> k.shift[0]) & k.max);
        s1[i] += static_cast<std::uint32_t>((p >> k.shift[1]) & k.max);
        s2[i] += static_cast<std::uint32_t>((p >> k.shift[2]) & k.max);
    }
}

template <typename T>
[[gnu::always_inline]] inline void MosaicPutBody(T* __restrict row, const T* __restrict colours,
                                                 const std::uint32_t* __restrict place, int n, std::uint32_t lo,
                                                 std::uint32_t span, T spare) {
    for (int i = 0; i < n; ++i) {
        const T inside = place[i] - lo < span ? static_cast<T>(~T{0}) : T{0};
        row[i] = static_cast<T>((row[i] & spare) | (colours[i] & inside));
    }
}

template <typename T>
using MosaicSumFn = void (*)(const T*, std::uint32_t*, int, const Lanes<T>&);
template <typename T>
using MosaicPutFn = void (*)(T*, const T*, const std::uint32_t*, int, std::uint32_t, std::uint32_t, T);

// ---- the row loops at each level ----

#define KR_FILTER_ROWS(suffix, ...)                                                                                      \
    __VA_ARGS__ void NoiseRow16##suffix(Pixel16* px, const std::uint8_t* e, int n, std::int16_t step,                   \
                                        const Lanes<std::uint16_t>& k) {                                               \
        NoiseBody<std::uint16_t, std::int16_t>(px, e, n, step, k);                                                     \
    }                                                                                                                  \
    __VA_ARGS__ void NoiseRow32##suffix(Pixel32* px, const std::uint8_t* e, int n, std::int32_t step,                   \
                                        const Lanes<std::uint32_t>& k) {                                               \
        NoiseBody<std::uint32_t, std::int32_t>(px, e, n, step, k);                                                     \
    }                                                                                                                  \
    template <typename T>                                                                                              \
    __VA_ARGS__ void SmokeRow##suffix(T* above, const T* row, const T* below, const std::int8_t* copy, int n,         \
                                      const Lanes<T>& k) {                                                             \
        SmokeBody<T>(above, row, below, copy, n, k);                                                                   \
    }                                                                                                                  \
    template <typename T>                                                                                              \
    __VA_ARGS__ void MosaicSum##suffix(const T* row, std::uint32_t* sums, int n, const Lanes<T>& k) {                  \
        MosaicSumBody<T>(row, sums, n, k);                                                                             \
    }                                                                                                                  \
    template <typename T>                                                                                              \
    __VA_ARGS__ void MosaicPut##suffix(T* row, const T* colours, const std::uint32_t* place, int n, std::uint32_t lo,  \
                                       std::uint32_t span, T spare) {                                                  \
        MosaicPutBody<T>(row, colours, place, n, lo, span, spare);                                                     \
    }

KR_FILTER_ROWS(Sse2)
#if KR_KERNELS_X86
KR_FILTER_ROWS(Avx2, [[gnu::target("avx2")]])
// Clang takes no preferred width in a target and would drop the whole target.
#if defined(__clang__)
KR_FILTER_ROWS(Avx512, [[gnu::target("avx512f,avx512bw")]])
#else
KR_FILTER_ROWS(Avx512, [[gnu::target("avx512f,avx512bw,prefer-vector-width=512")]])
#endif
#endif  // KR_KERNELS_X86
#undef KR_FILTER_ROWS

template <typename T>
struct FilterRows {
    std::conditional_t<sizeof(T) == 2, Noise16Fn, Noise32Fn> noise;
    SmokeFn<T> smoke;
    MosaicSumFn<T> mosaicSum;
    MosaicPutFn<T> mosaicPut;
};

template <typename T>
FilterRows<T> RowsForLevel() {
    constexpr bool k16 = sizeof(T) == 2;
    switch (ActiveKernelLevel()) {
#if KR_KERNELS_X86
        case KernelLevel::kAvx512:
            if constexpr (k16) return {NoiseRow16Avx512, SmokeRowAvx512<T>, MosaicSumAvx512<T>, MosaicPutAvx512<T>};
            else return {NoiseRow32Avx512, SmokeRowAvx512<T>, MosaicSumAvx512<T>, MosaicPutAvx512<T>};
        case KernelLevel::kAvx2:
            if constexpr (k16) return {NoiseRow16Avx2, SmokeRowAvx2<T>, MosaicSumAvx2<T>, MosaicPutAvx2<T>};
            else return {NoiseRow32Avx2, SmokeRowAvx2<T>, MosaicSumAvx2<T>, MosaicPutAvx2<T>};
#endif
        default:
            if constexpr (k16) return {NoiseRow16Sse2, SmokeRowSse2<T>, MosaicSumSse2<T>, MosaicPutSse2<T>};
            else return {NoiseRow32Sse2, SmokeRowSse2<T>, MosaicSumSse2<T>, MosaicPutSse2<T>};
    }
}

// ---- whole regions ----

template <int Bpp>
void NoiseRows(const RegionArgs& a, RandomWalk& w, int shift, unsigned flags) {
    using T = std::conditional_t<Bpp == 2, std::uint16_t, std::uint32_t>;
    using S = std::conditional_t<Bpp == 2, std::int16_t, std::int32_t>;
    const Lanes<T> k = LanesOf<T>(a.channels, flags);
    const auto row = RowsForLevel<T>().noise;
    const S step = static_cast<S>(1 << shift);
    for (int y = 0; y < a.height; ++y) {
        PixelOf<Bpp>* px = RowOf<Bpp>(a, y);
        for (int done = 0; done < a.width;) {
            // Entries are taken in order from the position up to the table's end.
            if (w.position < 0 || w.position >= kTableSize) w.position = 0;
            const int n = std::min(a.width - done, kTableSize - w.position);
            row(px + done, w.table + w.position, n, step, k);
            done += n;
            w.position += n - 1;
            Advance(w);
        }
    }
}

template <int Bpp>
void SmokeRows(const RegionArgs& a, RandomWalk& w, unsigned flags) {
    using T = std::conditional_t<Bpp == 2, std::uint16_t, std::uint32_t>;
    const int n = a.width - 2;
    if (n <= 0 || a.height < 3) return;
    const Lanes<T> k = LanesOf<T>(a.channels, flags);
    const SmokeFn<T> row = RowsForLevel<T>().smoke;
    const SmokeRun& run = SmokeRun::Of(w.table);
    std::vector<std::int8_t> scratch(static_cast<std::size_t>(n));
    for (int y = 1; y < a.height - 1; ++y) {
        const std::int8_t* copy = scratch.data();
        if (w.position < 0 || w.position >= kTableSize) SmokeDecisions(w, scratch.data(), n);
        else copy = run.Take(w, n, scratch.data());
        row(reinterpret_cast<T*>(RowOf<Bpp>(a, y - 1)), reinterpret_cast<const T*>(RowOf<Bpp>(a, y)),
            reinterpret_cast<const T*>(RowOf<Bpp>(a, y + 1)), copy, n, k);
    }
}

// The columns of one cell row (row r of cellSize) inside the disc:
// [lo, cellSize - lo), empty when lo reaches the middle.
struct DiscRow {
    std::int64_t lo, hi;
};

bool InDisc(std::int64_t u, std::int64_t r, int cellSize) {
    const double centre = (cellSize - 1) / 2.0, radius = cellSize / 2.0;
    const double dx = static_cast<double>(u) - centre, dy = static_cast<double>(r) - centre;
    return std::sqrt(dx * dx + dy * dy) <= radius;
}

DiscRow DiscRowOf(std::int64_t r, int cellSize) {
    const std::int64_t middle = (cellSize - 1) / 2;  // the column nearest the centre on the left
    if (!InDisc(middle, r, cellSize)) return {0, 0};
    std::int64_t lo = 0, hi = middle;  // the first column inside lies in [lo, hi]
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (InDisc(mid, r, cellSize)) hi = mid;
        else lo = mid + 1;
    }
    return {lo, cellSize - lo};
}

std::int64_t FloorDivide(std::int64_t n, std::int64_t d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }

template <int Bpp>
void MosaicRows(const MosaicArgs& m) {
    using T = std::conditional_t<Bpp == 2, std::uint16_t, std::uint32_t>;
    const RegionArgs& a = m.region;
    const Channels& ch = a.channels;
    const Lanes<T> k = LanesOf<T>(ch, 7u);
    const FilterRows<T> rows = RowsForLevel<T>();
    const std::int64_t cs = m.cellSize;
    const int w = a.width;
    // Each column's place in its cell, and where its cell starts and ends.
    const std::int64_t offsetX = a.x - m.anchorX, offsetY = a.y - m.anchorY;
    std::vector<std::uint32_t> place(static_cast<std::size_t>(w));
    std::vector<int> cellStarts;
    for (int i = 0; i < w; ++i) {
        const std::int64_t u = (offsetX + i) % cs;
        place[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(u);
        if (i == 0 || u == 0) cellStarts.push_back(i);
    }
    cellStarts.push_back(w);
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(w) * 3);
    std::vector<T> colours(static_cast<std::size_t>(w));
    const T spare = static_cast<T>(ch.Spare());
    for (int top = 0; top < a.height;) {
        // The band of rows of one cell row.
        const std::int64_t cellTop = FloorDivide(offsetY + top, cs) * cs - offsetY;
        const int bottom = static_cast<int>(std::min<std::int64_t>(a.height, cellTop + cs));
        std::fill(sums.begin(), sums.end(), 0u);
        for (int y = top; y < bottom; ++y) rows.mosaicSum(reinterpret_cast<const T*>(RowOf<Bpp>(a, y)), sums.data(), w, k);
        for (std::size_t c = 0; c + 1 < cellStarts.size(); ++c) {
            const int from = cellStarts[c], to = cellStarts[c + 1];
            std::uint64_t total[3] = {0, 0, 0};
            for (int i = from; i < to; ++i)
                for (int comp = 0; comp < 3; ++comp) total[comp] += sums[static_cast<std::size_t>(comp * w + i)];
            const std::uint64_t count = static_cast<std::uint64_t>(to - from) * static_cast<std::uint64_t>(bottom - top);
            const T colour = static_cast<T>(ch.Put(static_cast<std::uint32_t>(total[0] / count),
                                                   static_cast<std::uint32_t>(total[1] / count),
                                                   static_cast<std::uint32_t>(total[2] / count)));
            std::fill(colours.begin() + from, colours.begin() + to, colour);
        }
        for (int y = top; y < bottom; ++y) {
            const DiscRow disc = DiscRowOf(y - cellTop, m.cellSize);
            rows.mosaicPut(reinterpret_cast<T*>(RowOf<Bpp>(a, y)), colours.data(), place.data(), w,
                           static_cast<std::uint32_t>(disc.lo), static_cast<std::uint32_t>(disc.hi - disc.lo), spare);
        }
        top = bottom;
    }
}

bool Usable(const RegionArgs& a) { return a.surface && a.width > 0 && a.height > 0; }

}  // namespace

// ---- references: one pixel at a time, in reading order ----

void ReferenceSmokeRegion(const RegionArgs& a, RandomWalk& w, unsigned flags) {
    if (!Usable(a)) return;
    const Channels& ch = a.channels;
    const int bpp = ch.bytesPerPixel;
    const std::ptrdiff_t pitch = a.surface->pitch;
    for (int j = 1; j < a.height - 1; ++j) {
        std::uint8_t* at = a.surface->Row(a.y + j) + static_cast<std::ptrdiff_t>(a.x + 1) * bpp;
        for (int i = 1; i < a.width - 1; ++i, at += bpp) {
            const std::uint32_t up = LoadPixel(at - pitch, bpp);
            std::uint32_t value[3];
            if (w.counter >= CurrentEntry(w)) {
                const std::uint32_t p = LoadPixel(at, bpp);
                for (int c = 0; c < 3; ++c) value[c] = ch.Get(p, c);
                w.counter = 0;
                Advance(w);
            } else {
                const std::uint32_t l = LoadPixel(at - bpp, bpp), r = LoadPixel(at + bpp, bpp);
                const std::uint32_t d = LoadPixel(at + pitch, bpp);
                for (int c = 0; c < 3; ++c) value[c] = (ch.Get(l, c) + ch.Get(r, c) + ch.Get(up, c) + ch.Get(d, c)) >> 2;
                ++w.counter;
            }
            std::uint32_t out = up;
            for (int c = 0; c < 3; ++c)
                if (flags & (1u << c)) out = ch.Replace(out, c, value[c]);
            StorePixel(at - pitch, bpp, out);
        }
    }
}

void ReferenceNoiseRegion(const RegionArgs& a, RandomWalk& w, int shift, unsigned flags) {
    if (!Usable(a)) return;
    shift = std::clamp(shift, 0, a.channels.bits);
    const Channels& ch = a.channels;
    const int bpp = ch.bytesPerPixel, max = static_cast<int>(ch.Max());
    for (int j = 0; j < a.height; ++j) {
        std::uint8_t* at = a.surface->Row(a.y + j) + static_cast<std::ptrdiff_t>(a.x) * bpp;
        for (int i = 0; i < a.width; ++i, at += bpp) {
            if (w.position < 0 || w.position >= kTableSize) w.position = 0;
            const int delta = (w.table[w.position] - 1) * (1 << shift);
            Advance(w);
            std::uint32_t out = LoadPixel(at, bpp);
            for (int c = 0; c < 3; ++c) {
                if (!(flags & (1u << c))) continue;
                const int v = std::clamp(static_cast<int>(ch.Get(out, c)) + delta, 0, max);
                out = ch.Replace(out, c, static_cast<std::uint32_t>(v));
            }
            StorePixel(at, bpp, out);
        }
    }
}

void ReferenceMosaicRegion(const MosaicArgs& m) {
    const RegionArgs& a = m.region;
    if (!Usable(a) || m.cellSize < 1) return;
    const Channels& ch = a.channels;
    const int bpp = ch.bytesPerPixel;
    const std::int64_t cs = m.cellSize;
    auto at = [&](std::int64_t i, std::int64_t j) {
        return a.surface->Row(a.y + static_cast<int>(j)) + (a.x + i) * bpp;
    };
    // Cells in region coordinates: the first starts at or before column 0.
    const std::int64_t firstLeft = -((a.x - m.anchorX) % cs), firstTop = -((a.y - m.anchorY) % cs);
    for (std::int64_t cellTop = firstTop; cellTop < a.height; cellTop += cs) {
        for (std::int64_t cellLeft = firstLeft; cellLeft < a.width; cellLeft += cs) {
            const std::int64_t left = std::max<std::int64_t>(cellLeft, 0), top = std::max<std::int64_t>(cellTop, 0);
            const std::int64_t right = std::min<std::int64_t>(a.width, cellLeft + cs);
            const std::int64_t bottom = std::min<std::int64_t>(a.height, cellTop + cs);
            std::uint64_t sum[3] = {0, 0, 0};
            for (std::int64_t j = top; j < bottom; ++j)
                for (std::int64_t i = left; i < right; ++i)
                    for (int c = 0; c < 3; ++c) sum[c] += ch.Get(LoadPixel(at(i, j), bpp), c);
            const std::uint64_t count = static_cast<std::uint64_t>((right - left) * (bottom - top));
            const std::uint32_t colour =
                ch.Put(static_cast<std::uint32_t>(sum[0] / count), static_cast<std::uint32_t>(sum[1] / count),
                       static_cast<std::uint32_t>(sum[2] / count));
            for (std::int64_t j = top; j < bottom; ++j)
                for (std::int64_t i = left; i < right; ++i) {
                    const std::uint32_t keep = LoadPixel(at(i, j), bpp) & ch.Spare();
                    StorePixel(at(i, j), bpp, keep | (InDisc(i - cellLeft, j - cellTop, m.cellSize) ? colour : 0));
                }
        }
    }
}

// ---- fast kernels ----

void SmokeRegion(const RegionArgs& a, RandomWalk& w, unsigned flags) {
    if (!Usable(a)) return;
    switch (a.channels.bytesPerPixel) {
        case 2: return SmokeRows<2>(a, w, flags);
        case 4: return SmokeRows<4>(a, w, flags);
        default: return ReferenceSmokeRegion(a, w, flags);
    }
}

void NoiseRegion(const RegionArgs& a, RandomWalk& w, int shift, unsigned flags) {
    if (!Usable(a)) return;
    shift = std::clamp(shift, 0, a.channels.bits);
    switch (a.channels.bytesPerPixel) {
        case 2: return NoiseRows<2>(a, w, shift, flags);
        case 4: return NoiseRows<4>(a, w, shift, flags);
        default: return ReferenceNoiseRegion(a, w, shift, flags);
    }
}

void MosaicRegion(const MosaicArgs& m) {
    if (!Usable(m.region) || m.cellSize < 1) return;
    switch (m.region.channels.bytesPerPixel) {
        case 2: return MosaicRows<2>(m);
        case 4: return MosaicRows<4>(m);
        default: return ReferenceMosaicRegion(m);
    }
}

}  // namespace plat::kernels
