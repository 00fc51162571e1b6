// Blend kernels: the per-pixel reference rules and their vector versions.
// The vector body (blend_kernels_body.inc) is compiled three times, for
// SSE2, AVX2 and AVX-512BW, each in a target region of its own, and the
// level that the surface kernels use picks among them at every call; a
// fourth, portable build of it (plain vector expressions, any processor)
// serves the portable level. The
// alpha and brightening rules multiply floats and must give the
// reference's values bit for bit, so this file is built without
// contraction of multiply-adds (cmake/blends.cmake).
#include "platform/pixels/blend_kernels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "platform/pixels/blend_kernels_tables.h"
#include "platform/pixels/blit_kernels.h"

#if KR_KERNELS_X86
#include <immintrin.h>
#endif

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

// The alpha rule of one component: products, then their sum, in floats.
std::uint32_t AlphaComponent(std::uint32_t s, std::uint32_t d, float opacity, float transparency, std::uint32_t max) {
    const float sum = static_cast<float>(s) * opacity + static_cast<float>(d) * transparency;
    return std::min(static_cast<std::uint32_t>(sum), max);
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
            for (int i = 0; i < 3; ++i)
                out |= PlaceField(c, i, AlphaComponent(Field(c, s, i), Field(c, d, i), p.opacity[i], p.transparency[i],
                                                       FieldMax(c, i)));
            return out;
        case Rule::kBrighten:
            for (int i = 0; i < 3; ++i) {
                const float v = static_cast<float>(Field(c, s, i)) * p.factor[i];
                out |= PlaceField(c, i, std::min(static_cast<std::uint32_t>(v), FieldMax(c, i)));
            }
            return out;
        case Rule::kGray: {
            const std::uint32_t g = (Work(c, s, 0) + Work(c, s, 1) + Work(c, s, 2)) / 3;
            return PlaceWork(c, 0, g) | PlaceWork(c, 1, g) | PlaceWork(c, 2, g);
        }
        default: break;
    }
    const std::uint32_t top = WorkLevel(c, 31);
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t sw = Work(c, s, i), dw = Work(c, d, i);
        const std::uint32_t level = WorkLevel(c, static_cast<std::uint32_t>(p.level[i]));
        std::uint32_t r = 0;
        switch (p.rule) {
            case Rule::kCrossFade:
                // The end levels keep one side whole, so they are an exact copy and an exact no-op.
                if (level == 0 || level == top) {
                    out |= (level == 0 ? s : d) & (FieldMax(c, i) << c.shift[i]);
                    continue;
                }
                r = SatSub(sw, level) + SatSub(dw, top - level);
                break;
            case Rule::kFadeAdd: r = std::min(top, SatSub(sw, level) + dw); break;
            case Rule::kSubtractRed: r = SatSub(dw, Work(c, s, 0)); break;
            default: r = SatSub(sw, level); break;  // kDarken
        }
        out |= PlaceWork(c, i, r);
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

// 32 falls bring any level or transparency of a gradient to 0.
constexpr int kFalls = 33;

// Columns x .. x + width - 1 of every row, whose transparencies have all
// fallen alike (a gradient's alpha from tables); width 1 .. 32.
struct ColumnPiece {
    int x, width, fall;
};

// What the vector kernels need, worked out once per call.
struct Context {
    std::uint32_t colourMask = 0, half = 0, keep = 0;
    int shift[3] = {}, shift5[3] = {}, up[3] = {}, down[3] = {};
    std::uint32_t max[3] = {};
    // Alpha: the weights, and for a gradient across the rows the three
    // transparencies of every column (three rows of `width` floats).
    float opacity[3] = {}, transparency[3] = {};
    const float* columnTransparency = nullptr;
    // Alpha on 2-byte pixels whose weights are all whole multiples of
    // 2^-bits with bits <= 10 and below 1, summing to at most 1: then every
    // float product and sum is exact, the rule is (s * P + d * Q) >> bits
    // in integers, and it runs in 16-bit lanes (see the body). P and Q are
    // kept shifted to the top of 16 bits.
    bool dyadic = false;
    std::uint32_t dyadicS[3] = {}, dyadicD[3] = {};
    // When moreover P + Q = 2^bits and one field ends at bit 15 (`top`)
    // while the other two (`lower`) end at bit 14 or below, the lower ones
    // are blended in place as d + (s - d) * P / 2^bits, the difference
    // doubled in a signed lane and P kept as P * 2^(15 - bits).
    bool inPlaceAlpha = false;
    std::uint32_t topMask = 0, topS = 0, topD = 0;
    std::uint32_t lowerMask[2] = {}, lowerS[2] = {};
    // The level rules: where each component's working bits start (see
    // WorkBits) and their largest value, 31 or 255.
    int workShift[3] = {};
    std::uint32_t workTop = 31;
    // Byte planes of the level rules (see the body): whether the layout
    // allows them, the in-place fields, their levels, the straddling
    // component's shift (-1: none) and level, and the fields a cross-fade
    // end level keeps whole from s or d.
    bool planes = false;
    std::uint32_t inPlace = 0, planeLevel = 0, planeRest = 0, planeOnes = 0;
    int spanShift = -1;
    std::uint32_t spanLevel = 0;
    std::uint32_t keepS = 0, keepD = 0;
    // Grey: a working value times this fills all three fields.
    std::uint32_t grayOnes = 0;
    // Per-column cross-fade: five tables of one pixel-sized element per
    // column (plane level, plane rest, straddling level, keep s, keep d).
    const std::uint8_t* columnTables = nullptr;
    float factor[3] = {};
    // Alpha on 2-byte pixels at any weights (AVX-512, see AlphaTablesFor):
    // per field, a 16-bit value for every source value and one for every
    // destination value whose sum has the field's result in its top bits.
    bool tableAlpha = false;
    alignas(64) std::uint16_t alphaBySource[3][64] = {};
    alignas(64) std::uint16_t alphaByDest[3][64] = {};
    // A gradient's alpha across the rows from tables (AVX-512): one source
    // table per field serves every column (the opacity does not fall), and
    // each fall has its destination table, or none where the transparency
    // is 0 and the field's result comes from alphaAtZero by the source
    // alone; the rows are cut into pieces of one fall.
    const std::uint16_t* columnByDest[3][kFalls] = {};
    alignas(64) std::uint16_t alphaAtZero[3][64] = {};
    const ColumnPiece* columnPieces = nullptr;
    int columnPieceCount = 0;
};

void PlanesFor(const Components& c, const Params& p, Context& k) {
    const int lanes = c.bytesPerPixel;
    const int bits = WorkBits(c);
    k.planes = lanes == 2 || (lanes >= 3 && bits == 8);
    for (int i = 0; i < 3 && k.planes; ++i) {
        const int low = k.workShift[i], high = low + bits - 1;
        const std::uint32_t level = WorkLevel(c, static_cast<std::uint32_t>(p.level[i]));
        // Five bits at the top of a six-bit field come out of the plane with
        // the low bit 0; the end levels keep the field whole instead.
        const bool wider = c.bits[i] > bits;
        if (p.rule == Rule::kCrossFade && level == 0 && wider) k.keepS |= k.max[i] << c.shift[i];
        if (p.rule == Rule::kCrossFade && level == k.workTop && wider) k.keepD |= k.max[i] << c.shift[i];
        if (low / 8 == high / 8) {
            k.inPlace |= k.workTop << low;
            k.planeLevel |= level << low;
            k.planeRest |= (k.workTop - level) << low;
            k.planeOnes |= 1u << low;
        } else if (lanes == 2 && k.spanShift < 0) {
            k.spanShift = low;
            k.spanLevel = level;
        } else {
            k.planes = false;  // two straddling components: the general kernel
        }
    }
}

// The fewest bits b <= kMax for which w * 2^b is whole, or -1.
int DyadicBits(float w) {
    constexpr int kMax = 10;
    for (int b = 0; b <= kMax; ++b) {
        const float scaled = std::ldexp(w, b);  // exact: a power of two
        if (scaled == std::floor(scaled)) return b;
    }
    return -1;
}

// Sets up the in-place kernel from dyadicS and dyadicD when the layout and
// the weights allow it (see Context::inPlaceAlpha).
void InPlaceFor(const Components& c, Context& k) {
    int tops = 0, lowers = 0;
    bool complementary = true;
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t mask = k.max[i] << c.shift[i];
        complementary = complementary && (k.dyadicS[i] + k.dyadicD[i]) == (1u << 16);
        if (c.shift[i] + c.bits[i] == 16) {
            k.topMask = mask;
            k.topS = k.dyadicS[i];
            k.topD = k.dyadicD[i];
            ++tops;
        } else if (c.shift[i] + c.bits[i] <= 14 && lowers < 2) {
            k.lowerMask[lowers] = mask;
            k.lowerS[lowers++] = k.dyadicS[i] >> 1;
        }
    }
    k.inPlaceAlpha = complementary && tops == 1 && lowers == 2;
}

void DyadicFor(const Components& c, const Params& p, Context& k) {
    if (p.rule != Rule::kAlpha || c.bytesPerPixel != 2) return;
    int bits = 0;
    for (int i = 0; i < 3; ++i) {
        const int bo = DyadicBits(p.opacity[i]), bt = DyadicBits(p.transparency[i]);
        // 16 bits hold a field's top-aligned value times a weight of bits bits.
        if (bo < 0 || bt < 0 || c.bits[i] + std::max(bo, bt) > 16) return;
        bits = std::max({bits, bo, bt});
    }
    for (int i = 0; i < 3; ++i) {
        const auto weight = [&](float w) { return static_cast<std::uint32_t>(std::ldexp(w, bits)); };
        const std::uint32_t ps = weight(p.opacity[i]), pd = weight(p.transparency[i]);
        const std::uint32_t one = 1u << bits;
        if (ps >= one || pd >= one || ps + pd > one || c.bits[i] + bits > 16) return;
        k.dyadicS[i] = ps << (16 - bits);
        k.dyadicD[i] = pd << (16 - bits);
    }
    k.dyadic = true;
    InPlaceFor(c, k);
}

// Other weights: for two thirds of all opacities o (with t = 1 - o) the
// float rule happens to give floor((s * P + d * (1024 - P)) / 1024) for
// every pair of values of a field, with P near o * 1024; whether it does
// is worked out over all pairs, once per weights and field width (the
// last few are remembered), and then the in-place kernel serves exactly.
constexpr int kWholeBits = 10;

// The P for which the integer rule equals the float rule on every pair of
// a field of `bits` bits, or -1.
int MatchingWeight(float opacity, float transparency, int bits) {
    const std::uint32_t max = (1u << bits) - 1, one = 1u << kWholeBits;
    const int nearest = static_cast<int>(std::lround(opacity * static_cast<float>(one)));
    for (int P : {nearest, nearest - 1, nearest + 1}) {
        if (P <= 0 || P >= static_cast<int>(one)) continue;
        const std::uint32_t ws = static_cast<std::uint32_t>(P), wd = one - ws;
        std::uint32_t differ = 0;
        for (std::uint32_t s = 0; s <= max; ++s)
            for (std::uint32_t d = 0; d <= max; ++d)
                differ |= AlphaComponent(s, d, opacity, transparency, max) ^ ((s * ws + d * wd) >> kWholeBits);
        if (differ == 0) return P;
    }
    return -1;
}

// MatchingWeight, remembering the last few answers.
int RememberedWeight(float opacity, float transparency, int bits) {
    struct Entry {
        float opacity, transparency;
        int bits, weight;
    };
    static Entry entries[8];
    static int used = 0, next = 0;
    for (int i = 0; i < used; ++i) {
        const Entry& e = entries[i];
        if (e.opacity == opacity && e.transparency == transparency && e.bits == bits) return e.weight;
    }
    const Entry fresh{opacity, transparency, bits, MatchingWeight(opacity, transparency, bits)};
    entries[next] = fresh;
    next = (next + 1) % 8;
    used = std::min(used + 1, 8);
    return fresh.weight;
}

// Alpha on 2-byte pixels with other weights: the in-place kernel when the
// integer rule is exact for every component.
void MatchingWeightsFor(const Components& c, const Params& p, Context& k) {
    // Only complementary weights can match (a gradient's fallen ones are not).
    for (int i = 0; i < 3; ++i)
        if (p.transparency[i] != 1.0f - p.opacity[i]) return;
    Context trial = k;
    for (int i = 0; i < 3; ++i) {
        const int P = RememberedWeight(p.opacity[i], p.transparency[i], c.bits[i]);
        if (P < 0) return;
        trial.dyadicS[i] = static_cast<std::uint32_t>(P) << (16 - kWholeBits);
        trial.dyadicD[i] = ((1u << kWholeBits) - static_cast<std::uint32_t>(P)) << (16 - kWholeBits);
    }
    InPlaceFor(c, trial);
    if (trial.inPlaceAlpha) k = trial;
}

// Alpha at any weights, from tables. For one pair of weights a field's
// result depends only on its source and destination values s and d, and
// for nearly every pair of weights there are 16-bit numbers X(s) and Y(d)
// with result(s, d) = (X(s) + Y(d)) >> (16 - bits) on every pair: the
// fractions of s * o and d * t, carried into the whole part exactly where
// the float sum reaches the next integer. Finding them is a system of
// difference constraints, lo(s, d) <= X(s) + Y(d) <= hi(s, d), solved by
// relaxation (Bellman-Ford on the s and d nodes) from the fixed-point
// products, which meet most constraints already; the result is checked on
// every pair before it is used. A few weights have no such numbers: their
// fields stay on the float kernel.
struct AlphaTable {
    std::uint16_t bySource[64], byDest[64];
};

// The tables for one opacity and `count` transparencies at once: one
// source table X shared by all of them and a destination table Y per
// transparency, X(s) + Y_j(d) giving the result for every s, d and j. The
// constraints of all transparencies go into one system, solved the same way.
bool SolveSharedSource(float opacity, const float* transparency, int count, int bits, std::uint16_t* bySource,
                       std::uint16_t (*byDest)[64]) {
    const int n = 1 << bits, unit = 16 - bits;
    const std::uint32_t max = static_cast<std::uint32_t>(n - 1);
    if (count < 1 || count > kFalls) return false;
    // The float rule's result of every pair, per transparency (on the heap:
    // a thread-local array this size would weigh on every thread's start).
    static thread_local std::vector<std::uint8_t> results;
    results.resize(static_cast<std::size_t>(kFalls) * 64 * 64);
    auto exact = [&](int j, int s, int d) -> std::uint8_t& { return results[(static_cast<std::size_t>(j) * 64 + s) * 64 + d]; };
    for (int j = 0; j < count; ++j)
        for (int s = 0; s < n; ++s)
            for (int d = 0; d < n; ++d)
                exact(j, s, d) = static_cast<std::uint8_t>(AlphaComponent(s, d, opacity, transparency[j], max));
    // X(s) - Z_j(d) within [lo, hi], Z = -Y.
    std::int64_t x[64], z[kFalls][64];
    for (int s = 0; s < n; ++s)
        x[s] = static_cast<std::int64_t>(std::floor(static_cast<double>(static_cast<float>(s) * opacity) * (1 << unit)));
    for (int j = 0; j < count; ++j)
        for (int d = 0; d < n; ++d) z[j][d] = INT64_MAX / 4;
    bool settled = false;
    // Solutions settle in a few sweeps (never more than 65 in thousands of
    // weights tried); a system that has not settled within 2n + 1 is taken
    // as having none, which bounds the cost of the few weights without
    // tables (the floats then serve them, exactly).
    for (int sweep = 0; sweep <= 2 * n + 1 && !settled; ++sweep) {
        settled = true;
        for (int j = 0; j < count; ++j)
            for (int d = 0; d < n; ++d)
                for (int s = 0; s < n; ++s) {
                    const std::int64_t bound = x[s] - (static_cast<std::int64_t>(exact(j, s, d)) << unit);
                    if (bound < z[j][d]) z[j][d] = bound, settled = false;
                }
        for (int s = 0; s < n; ++s)
            for (int j = 0; j < count; ++j)
                for (int d = 0; d < n; ++d) {
                    const std::int64_t bound = z[j][d] + ((static_cast<std::int64_t>(exact(j, s, d)) + 1) << unit) - 1;
                    if (bound < x[s]) x[s] = bound, settled = false;
                }
    }
    for (int s = 0; s < n; ++s) bySource[s] = static_cast<std::uint16_t>(x[s]);
    for (int j = 0; j < count; ++j)
        for (int d = 0; d < n; ++d) byDest[j][d] = static_cast<std::uint16_t>(-z[j][d]);
    for (int j = 0; j < count; ++j)
        for (int s = 0; s < n; ++s)
            for (int d = 0; d < n; ++d) {
                const std::int64_t sum = x[s] - z[j][d];
                if (sum < 0 || sum > 0xFFFF || (sum >> unit) != exact(j, s, d)) return false;
            }
    return true;
}

bool SolveAlphaTable(float opacity, float transparency, int bits, AlphaTable& table) {
    std::uint16_t byDest[1][64];
    if (!SolveSharedSource(opacity, &transparency, 1, bits, table.bySource, byDest)) return false;
    std::memcpy(table.byDest, byDest[0], sizeof table.byDest);
    return true;
}

// SolveAlphaTable, remembering the answers of the last weights (a
// gradient's rows use up to 33 per field).
const AlphaTable* RememberedAlphaTable(float opacity, float transparency, int bits, bool solve) {
    struct Entry {
        float opacity, transparency;
        int bits;
        bool found;
        AlphaTable table;
    };
    constexpr int kEntries = 128;
    static thread_local std::vector<Entry> entries;
    static thread_local int next = 0;
    for (const Entry& e : entries)
        if (e.opacity == opacity && e.transparency == transparency && e.bits == bits) return e.found ? &e.table : nullptr;
    if (!solve) return nullptr;
    Entry fresh{opacity, transparency, bits, false, {}};
    fresh.found = SolveAlphaTable(opacity, transparency, bits, fresh.table);
    if (entries.size() < kEntries) entries.reserve(kEntries), entries.push_back(fresh);
    else entries[next] = fresh, next = (next + 1) % kEntries;
    const Entry& kept = entries.size() < kEntries || next == 0 ? entries.back() : entries[next - 1];
    return kept.found ? &kept.table : nullptr;
}

// A field's tables for a gradient across the rows: its opacity with every
// transparency that t reaches by falling (see Fallen), the falls that end
// at the same value sharing a destination table.
// (Aligned so that no table straddles two cache lines.)
struct alignas(64) ColumnAlphaTable {
    alignas(64) std::uint16_t bySource[64];
    alignas(64) std::uint16_t byDest[kFalls][64];
    // Where the transparency has fallen to 0 the destination drops out: the
    // result truncate(float(s) * opacity), at the top of 16 bits, by source.
    alignas(64) std::uint16_t atZero[64];
    int tableOfFall[kFalls];
    bool zero[kFalls];
};

bool SolveColumnAlphaTable(float opacity, float transparency, int bits, ColumnAlphaTable& table) {
    float distinct[kFalls];
    int count = 0;
    for (int fall = 0; fall < kFalls; ++fall) {
        const float t = std::max(0.0f, transparency - static_cast<float>(fall) / 32.0f);
        if (count == 0 || distinct[count - 1] != t) distinct[count++] = t;
        table.tableOfFall[fall] = count - 1;
        table.zero[fall] = t == 0.0f;
    }
    const int n = 1 << bits;
    for (int s = 0; s < n; ++s)
        table.atZero[s] = static_cast<std::uint16_t>(AlphaComponent(s, 0, opacity, 0.0f, n - 1) << (16 - bits));
    return SolveSharedSource(opacity, distinct, count, bits, table.bySource, table.byDest);
}

// SolveColumnAlphaTable for weights met before. Working the tables out
// costs about as much as a few hundred thousand pixels in floats, so a
// gradient gets them the second time its weights come (a still gradient
// drawn every frame); weights that change every call stay on the floats.
const ColumnAlphaTable* RememberedColumnAlphaTable(float opacity, float transparency, int bits) {
    struct Entry {
        float opacity, transparency;
        int bits;
        bool solved, found;
        ColumnAlphaTable table;
    };
    constexpr std::size_t kEntries = 24;
    static thread_local std::vector<Entry> entries;
    static thread_local std::size_t next = 0;
    for (Entry& e : entries) {
        if (e.opacity != opacity || e.transparency != transparency || e.bits != bits) continue;
        if (!e.solved) e.found = SolveColumnAlphaTable(opacity, transparency, bits, e.table), e.solved = true;
        return e.found ? &e.table : nullptr;
    }
    Entry seen{opacity, transparency, bits, false, false, {}};
    if (entries.size() < kEntries) entries.reserve(kEntries), entries.push_back(seen);
    else entries[next] = seen, next = (next + 1) % kEntries;
    return nullptr;
}

// The tables for all three fields of 5-5-5 or 5-6-5 pixels (red at the
// top, blue at the bottom), from memory or, when `solve`, worked out.
bool TableLayout(const Components& c) {
    const bool fields = c.bits[0] == 5 && c.bits[2] == 5 && (c.bits[1] == 5 || c.bits[1] == 6);
    // Red, green, blue from the top, as the kernel has them.
    const bool order = c.shift[0] == 5 + c.bits[1] && c.shift[1] == 5 && c.shift[2] == 0;
    return c.bytesPerPixel == 2 && fields && order;
}

void AlphaTablesFor(const Components& c, const Params& p, Context& k, bool solve) {
    if (p.rule != Rule::kAlpha || !TableLayout(c)) return;
    for (int i = 0; i < 3; ++i) {
        const AlphaTable* t = RememberedAlphaTable(p.opacity[i], p.transparency[i], c.bits[i], solve);
        if (!t) return;
        std::memcpy(k.alphaBySource[i], t->bySource, sizeof t->bySource);
        std::memcpy(k.alphaByDest[i], t->byDest, sizeof t->byDest);
    }
    k.tableAlpha = true;
}

// The pieces of the rows (see Context::columnPieces): runs of columns of
// one fall, cut every 32 columns. Falls that leave all three transparencies
// alike count as the first of them, so that the runs are as long as can be.
std::vector<ColumnPiece> ColumnPiecesOf(const std::uint8_t* falls, int width, const ColumnAlphaTable* const* tables) {
    int first[kFalls];
    for (int fall = 0; fall < kFalls; ++fall) {
        first[fall] = fall;
        for (int earlier = 0; earlier < fall; ++earlier) {
            bool alike = true;
            for (int i = 0; i < 3; ++i) alike = alike && tables[i]->tableOfFall[earlier] == tables[i]->tableOfFall[fall];
            if (alike) {
                first[fall] = earlier;
                break;
            }
        }
    }
    auto fallAt = [&](int x) { return first[std::min<int>(falls[x], kFalls - 1)]; };
    std::vector<ColumnPiece> pieces;
    for (int x = 0; x < width;) {
        const int fall = fallAt(x);
        int end = x + 1;
        while (end < width && end - x < 32 && fallAt(end) == fall) ++end;
        pieces.push_back({x, end - x, fall});
        x = end;
    }
    return pieces;
}

// The tables of a gradient's alpha across the rows, when the layout has
// table kernels and all three fields have remembered tables.
bool ColumnAlphaTablesFor(const Components& c, const Params& p, Context& k, const ColumnAlphaTable* (&tables)[3]) {
    if (p.rule != Rule::kAlpha || !TableLayout(c)) return false;
    bool all = true;
    // Every field is asked, so that each one's weights are remembered as met.
    for (int i = 0; i < 3; ++i) {
        tables[i] = RememberedColumnAlphaTable(p.opacity[i], p.transparency[i], c.bits[i]);
        all = all && tables[i];
    }
    if (!all) return false;
    for (int i = 0; i < 3; ++i) {
        std::memcpy(k.alphaBySource[i], tables[i]->bySource, sizeof tables[i]->bySource);
        std::memcpy(k.alphaAtZero[i], tables[i]->atZero, sizeof tables[i]->atZero);
        for (int fall = 0; fall < kFalls; ++fall)
            k.columnByDest[i][fall] = tables[i]->zero[fall] ? nullptr : tables[i]->byDest[tables[i]->tableOfFall[fall]];
    }
    return true;
}

Context ContextFor(const Components& c, const Params& p) {
    Context k;
    k.colourMask = ColourMask(c);
    k.keep = p.keepMask;
    const int bits = WorkBits(c);
    k.workTop = WorkLevel(c, 31);
    for (int i = 0; i < 3; ++i) {
        k.shift[i] = c.shift[i];
        k.shift5[i] = c.shift[i] + c.bits[i] - 5;
        k.workShift[i] = c.shift[i] + c.bits[i] - bits;
        k.max[i] = FieldMax(c, i);
        k.half |= (k.max[i] >> 1) << c.shift[i];
        // A 5-bit value v goes back as (v << up) | (v >> down): v >> 5 is 0.
        k.grayOnes |= 1u << k.workShift[i];
        k.up[i] = c.bits[i] - 5;
        k.down[i] = c.bits[i] == 8 ? 2 : 5;
        k.opacity[i] = p.opacity[i];
        k.transparency[i] = p.transparency[i];
        k.factor[i] = p.factor[i];
    }
    PlanesFor(c, p, k);
    DyadicFor(c, p, k);
    return k;
}

using RectFn = void (*)(const Rows& a, const Components& c, const Params& p, const Context& k);
using RefractFn = void (*)(const Rows& a, const Context& k, int level);
using SmoothFn = void (*)(const Rows& a, const Context& k);

}  // namespace

bool AlphaTablesFound(float opacity, float transparency, int bits) {
    return (bits == 5 || bits == 6) && RememberedAlphaTable(opacity, transparency, bits, true) != nullptr;
}

bool ColumnAlphaTablesFound(float opacity, float transparency, int bits) {
    if (bits != 5 && bits != 6) return false;
    RememberedColumnAlphaTable(opacity, transparency, bits);  // the first meeting only remembers them
    return RememberedColumnAlphaTable(opacity, transparency, bits) != nullptr;
}

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
// The body passes float vectors twice the width of the target's registers
// between its own inline helpers, all in this file and built for the same
// target, so the note on their calling convention does not concern it (the
// compiler gives it at the end of the file, hence no pop).
#pragma GCC diagnostic ignored "-Wpsabi"

namespace portable {
#define KR_BLEND_VECTOR_BYTES 16
#define KR_BLEND_PORTABLE
#include "platform/pixels/blend_kernels_body.inc"
#undef KR_BLEND_PORTABLE
#undef KR_BLEND_VECTOR_BYTES
}  // namespace portable

#if KR_KERNELS_X86
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
#pragma GCC target("avx512f,avx512bw,avx512vl")
#if defined(__clang__)  // clang takes its target regions this way
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,avx512vl"))), apply_to = function)
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
#endif  // KR_KERNELS_X86

namespace {

// 3-byte pixels at a level without a kernel for them (SSE2 has no byte
// shuffle to widen them in registers; alpha across the rows has none at
// any level): bands of rows are widened to 4-byte pixels, the fourth byte
// 0, blended by the 4-byte kernels and narrowed back. Every rule works on
// the three fields alone and a call's parameters hold for all its rows,
// so the result is the 3-byte one.
void WidenedBlend(const Rows& a, const Components& c, const Params& p) {
    Components wide = c;
    wide.bytesPerPixel = 4;
    constexpr int kBandPixels = 1 << 14;  // two bands of 64 KiB stay in the cache
    const int bandRows = std::max(1, kBandPixels / a.width);
    const std::size_t width = static_cast<std::size_t>(a.width);
    thread_local std::vector<std::uint32_t> source, destination;
    source.resize(width * static_cast<std::size_t>(std::min(bandRows, a.rows)));
    destination.resize(source.size());
    for (int y0 = 0; y0 < a.rows; y0 += bandRows) {
        const int rows = std::min(bandRows, a.rows - y0);
        for (int r = 0; r < rows; ++r) {
            const std::uint8_t* s = a.src + (y0 + r) * a.srcPitch;
            const std::uint8_t* d = a.dst + (y0 + r) * a.dstPitch;
            std::uint32_t* sw = source.data() + r * width;
            std::uint32_t* dw = destination.data() + r * width;
            for (std::size_t x = 0; x < width; ++x) {
                sw[x] = LoadPixel(s + 3 * x, 3);
                dw[x] = LoadPixel(d + 3 * x, 3);
            }
        }
        const auto pitch = static_cast<std::ptrdiff_t>(width * 4);
        Blend(Rows{reinterpret_cast<std::uint8_t*>(destination.data()), pitch,
                   reinterpret_cast<const std::uint8_t*>(source.data()), pitch, a.width, rows},
              wide, p);
        for (int r = 0; r < rows; ++r) {
            std::uint8_t* d = a.dst + (y0 + r) * a.dstPitch;
            const std::uint32_t* dw = destination.data() + r * width;
            for (std::size_t x = 0; x < width; ++x) StorePixel(d + 3 * x, 3, dw[x]);
        }
    }
}

// A gradient across the rows: the parameters of each distinct fall are
// worked out once and laid out per column, as pixel-sized elements for the
// cross-fade and as floats for alpha.
void ColumnsBlend(const Rows& a, const Components& c, const Params& n) {
    Context k = ContextFor(c, Fallen(n, 0));
    RectFn rect = nullptr;
    switch (kernels::ActiveKernelLevel()) {
#if KR_KERNELS_X86
        case kernels::KernelLevel::kAvx512: rect = avx512::PickColumns(c.bytesPerPixel, n.rule); break;
        case kernels::KernelLevel::kAvx2: rect = avx2::PickColumns(c.bytesPerPixel, n.rule); break;
        case kernels::KernelLevel::kSse2: rect = sse2::PickColumns(c.bytesPerPixel, n.rule); break;
#endif
        default: rect = portable::PickColumns(c.bytesPerPixel, n.rule); break;
    }
    if (!rect && c.bytesPerPixel == 3) return WidenedBlend(a, c, n);
    if (!rect || (n.rule == Rule::kCrossFade && !k.planes)) return ReferenceBlend(a, c, n);
    const std::size_t width = static_cast<std::size_t>(a.width);
#if KR_KERNELS_X86
    const ColumnAlphaTable* alphaTables[3] = {};
    if (kernels::ActiveKernelLevel() == kernels::KernelLevel::kAvx512 && ColumnAlphaTablesFor(c, n, k, alphaTables)) {
        const std::vector<ColumnPiece> pieces = ColumnPiecesOf(n.columnFalls, a.width, alphaTables);
        k.columnPieces = pieces.data();
        k.columnPieceCount = static_cast<int>(pieces.size());
        return avx512::PickTableColumns(c.bits[1])(a, c, n, k);
    }
#endif
    if (n.rule == Rule::kAlpha) {
        float byFall[kFalls][3];
        for (int fall = 0; fall < kFalls; ++fall) {
            const Params f = Fallen(n, fall);
            for (int i = 0; i < 3; ++i) byFall[fall][i] = f.transparency[i];
        }
        std::vector<float> transparency(width * 3);
        for (std::size_t x = 0; x < width; ++x) {
            const int fall = std::min<int>(n.columnFalls[x], kFalls - 1);
            for (int i = 0; i < 3; ++i) transparency[i * width + x] = byFall[fall][i];
        }
        k.columnTransparency = transparency.data();
        return rect(a, c, n, k);
    }
    std::uint32_t byFall[kFalls][5];
    for (int fall = 0; fall < kFalls; ++fall) {
        const Context f = ContextFor(c, Fallen(n, fall));
        const std::uint32_t cross[5] = {f.planeLevel, f.planeRest, f.spanLevel, f.keepS, f.keepD};
        std::memcpy(byFall[fall], cross, sizeof cross);
    }
    const int bpp = c.bytesPerPixel;
    const std::size_t stride = width * bpp;
    std::vector<std::uint8_t> tables(stride * 5);
    for (std::size_t x = 0; x < width; ++x) {
        const int fall = std::min<int>(n.columnFalls[x], kFalls - 1);
        for (int i = 0; i < 5; ++i) StorePixel(&tables[i * stride + x * bpp], bpp, byFall[fall][i]);
    }
    k.columnTables = tables.data();
    rect(a, c, n, k);
}

}  // namespace

void Blend(const Rows& a, const Components& c, const Params& p) {
    if (a.width <= 0 || a.rows <= 0) return;
    const Params n = Normalised(p, c);
    if (HasColumns(n)) return ColumnsBlend(a, c, n);
    Context k = ContextFor(c, n);
    // Large enough for the check of every pair to pay (a few microseconds
    // at most, once per weights), alpha may find integer weights.
    constexpr std::int64_t kCheckedArea = 1 << 15;
    const std::int64_t area = static_cast<std::int64_t>(a.width) * a.rows;
    if (n.rule == Rule::kAlpha && c.bytesPerPixel == 2 && !k.dyadic && area >= kCheckedArea)
        MatchingWeightsFor(c, n, k);
    // Other weights take tables at AVX-512 (word permutations) and AVX2
    // (byte shuffles): remembered ones on any area, new ones where working
    // them out (some 20 microseconds) costs less than the floats would.
    constexpr std::int64_t kSolvedArea = 1 << 12;
    const kernels::KernelLevel level = kernels::ActiveKernelLevel();
    const bool tableLevel = level == kernels::KernelLevel::kAvx512 || level == kernels::KernelLevel::kAvx2;
    if (n.rule == Rule::kAlpha && !k.inPlaceAlpha && tableLevel) AlphaTablesFor(c, n, k, area >= kSolvedArea);
    // AVX2 splits the tables into shuffle pieces first, which costs about
    // what a few hundred pixels in floats do: small areas keep the floats.
    constexpr std::int64_t kSplitArea = 1 << 10;
    if (k.tableAlpha && level == kernels::KernelLevel::kAvx2 && area >= kSplitArea) {
        tables::AlphaFieldTables t;
        for (int i = 0; i < 3; ++i) t.bySource[i] = k.alphaBySource[i], t.byDest[i] = k.alphaByDest[i];
        if (tables::AlphaFromTablesAvx2(a, c.bits[1], t)) return;
    }
    // The variant: byte planes for the level rules; for alpha, floats (0),
    // whole numbers (1), whole numbers in place (2) or tables (3, with a
    // 6-bit green, or 4).
    const int variant = n.rule != Rule::kAlpha ? int{k.planes}
                        : k.inPlaceAlpha       ? 2
                        : k.tableAlpha         ? (c.bits[1] == 6 ? 3 : 4)
                        : k.dyadic             ? 1
                                               : 0;
    RectFn rect = nullptr;
    switch (kernels::ActiveKernelLevel()) {
#if KR_KERNELS_X86
        case kernels::KernelLevel::kAvx512: rect = avx512::Pick(c.bytesPerPixel, n.rule, variant); break;
        case kernels::KernelLevel::kAvx2: rect = avx2::Pick(c.bytesPerPixel, n.rule, variant); break;
        case kernels::KernelLevel::kSse2: rect = sse2::Pick(c.bytesPerPixel, n.rule, variant); break;
#endif
        default: rect = portable::Pick(c.bytesPerPixel, n.rule, variant); break;
    }
    if (!rect && c.bytesPerPixel == 3) return WidenedBlend(a, c, n);
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
#if KR_KERNELS_X86
        case kernels::KernelLevel::kAvx512: refract = avx512::PickRefract(c.bytesPerPixel); break;
        case kernels::KernelLevel::kAvx2: refract = avx2::PickRefract(c.bytesPerPixel); break;
        case kernels::KernelLevel::kSse2: refract = sse2::PickRefract(c.bytesPerPixel); break;
#endif
        default: refract = portable::PickRefract(c.bytesPerPixel); break;
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
#if KR_KERNELS_X86
        case kernels::KernelLevel::kAvx512: smooth = avx512::PickSmooth(c.bytesPerPixel); break;
        case kernels::KernelLevel::kAvx2: smooth = avx2::PickSmooth(c.bytesPerPixel); break;
        case kernels::KernelLevel::kSse2: smooth = sse2::PickSmooth(c.bytesPerPixel); break;
#endif
        default: smooth = portable::PickSmooth(c.bytesPerPixel); break;
    }
    const Context k = ContextFor(c, Params{});
    // The 4-byte kernel puts 5-bit values back into 8-bit fields only.
    if (!smooth || (c.bytesPerPixel == 4 && !k.planes)) return ReferenceSmoothEdges(a, c);
    smooth(a, k);
}

}  // namespace plat::blend
