// Kernels of the block blur.
//
// Sums are separable. Column sums over the block's rows are kept for the
// current row and moved by one row (the row that leaves subtracted, the
// one that enters added) when the block moves down. The row's block sums
// come from the column sums in one of two ways.
//
// Blocks up to 8 wide double: W1 is the column sums, W2p[i] = Wp[i] + Wp[i + p],
// and the block width, read in binary, adds the Wp of its set bits at
// growing offsets. The top Wp is never made: its two halves, like the last
// two terms, are added by the output loop, so a block of 2 takes no
// doubling pass and one of 8 two. Every pass is a whole-row loop over the
// three planes at once, without a chain from pixel to pixel.
//
// Wider blocks take one prefix sum per plane, P[0] = 0 and P[i + 1] =
// P[i] + column i, built in registers (shift-and-add steps inside each
// 128-bit lane, then the lanes' totals and the total carried from the
// previous vector); the output loop subtracts P[i] from P[i + width]. Its
// cost no longer grows with the block. At the AVX-512 level one pass moves
// the column sums down and makes their prefix sums in the same registers,
// a group of four words summed by one 64-bit product (WordPrefix).
//
// The sums live in 16-bit lanes, wrapping, when the largest block sum (31
// times the block's pixel count) fits in 16 bits. Past that, blocks of 31
// to 2114 rows whose count and 62 times their width stay within 2^16 keep
// 16-bit lanes too: the block sum is known modulo 2^16, moves by less than
// the count from one row to the next, and the average follows it, up or
// down by at most one, without a division (Tracked). Other blocks' sums
// take 32-bit lanes. Those are kept from row to row, the first from 32-bit
// prefix sums of the column sums; a move down adds the window sums of the
// entering row less the leaving one, whose pixels differ by at most 31
// (raised by 31 to stay positive), so that blocks up to 1057 wide get them
// from 16-bit prefix sums. Column sums stay in 16 bits up to 2114 rows.
// Differences and sums of wrapped values are exact as long as the true
// result fits, which these bounds keep. Division by the pixel count n is
// chosen per rectangle: in 16-bit lanes the high half of a 16-bit product
// (once, or twice for the rest of the shift) where one is exact, else that
// of a 17-bit multiplier, which always exists; in 32-bit lanes the sum
// times a float reciprocal rounded up, truncated, which is exact for sums
// below 2^21, and beyond them that estimate, off by at most one (averages
// are at most 31), set right by comparing its product with n to the sum.
//
// Rows whose block has stopped at the bottom share one row of averages,
// made once and copied under the source's mask.
//
// Each row loop is built at three levels (baseline SSE2, AVX2, AVX-512BW)
// and the one of the copies' kernel level runs; 3-byte pixels take the
// reference. The portable level (any processor) builds the same loops with
// plain prefix sums.
#include "platform/pixels/blit_kernels.h"

#if KR_KERNELS_X86
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/effect_kernels.h"

namespace plat::kernels {
namespace {

// Where the components' top five bits sit, how a 5-bit value goes back,
// and the division by the block's pixel count.
template <typename T>
struct BlurLanes {
    int five[3];    // shift of each component's top five bits
    int low[3];     // 8-bit fields: shift of the repeated top bits (value >> 2)
    bool eightBit;  // fields of 8 bits repeat the top bits below
    T colour;       // a pixel without these bits is transparent
    std::uint32_t count;  // the block's pixel count
    // 16-bit lanes: the exact multiplier (less 2^16 for kHigh17*), and for
    // kHighTwice, kHigh17Twice 2^(16 - the shift left after the first high
    // half). Held in 16 bits, so that the compiler sees 16-bit products and
    // takes their high halves in 16-bit lanes.
    std::uint16_t mul, post;
    // Always 0, which the compiler cannot see: the first high half xored
    // with it is not folded with the second into one 32-bit product.
    std::uint16_t opaqueZero;
};

// How a block sum x is divided by the pixel count n, x * m >> s with an
// exact multiplier m: not at all (one pixel); the high half of x * m (s =
// 16), or that high half's high half with 2^(32 - s), which shifts it right
// by s - 16 without a shift by a variable count (which the compiler would
// widen the lanes for). Counts with no exact m below 2^16 take one below
// 2^17, m = 2^16 + m': with t the high half of x * m', x * m >> 17 is
// (x + t) / 2, made without leaving 16 bits as t + (x - t) / 2, then
// shifted by s - 17 the same way. In 32-bit lanes x times a float
// reciprocal rounded up, truncated (exact while x < 2^21, see
// FloatReciprocal), or beyond that set right by the remainder.
enum class Division { kNone, kHigh, kHighTwice, kHigh17, kHigh17Twice, kFloat, kFloatSettled };

// 1 / n raised by a factor 1 + 2^-22 and rounded up to a float r. With the
// product x * r rounded to the nearest float p (relative error 2^-24):
// p >= (x / n)(1 + 2^-22)(1 - 2^-24) >= x / n, so trunc(p) is at least the
// quotient; p <= (x / n)(1 + 1.76 * 2^-22), and x / n lies at least 1 / n
// below the next integer, so trunc(p) stays below it while x * 1.76 * 2^-22
// < 1, which x < 2^21 keeps. x converts exactly, being below 2^24.
float FloatReciprocal(std::uint32_t n) {
    const double raised = (1.0 / n) * (1.0 + 1.0 / (1 << 22));
    float r = static_cast<float>(raised);
    if (static_cast<double>(r) < raised) r = std::nextafter(r, 1.0f);
    return r;
}

// The change of a component between two rows, raised to be never
// negative; a window of bw such changes sums to its true change plus 31 bw.
constexpr int kChangeBias = 31;

// Targets of the passes that take a row's change and its prefix sums at
// once.
#define KR_BLUR_FUSED_TARGET "avx512f,avx512bw,avx512vl,avx512dq"

// How the output loop makes a block sum from its terms: a's alone, a + b,
// or a - b (prefix sums).
// kTrack: averages that follow block sums known as a - b modulo 2^16
// (Tracked); kAdd3, kAdd4: a + b + c (+ d).
enum class Combine { kOne, kAdd, kSub, kTrack, kAdd3, kAdd4 };
constexpr int kCombines = 6;

// ---- prefix sums in registers ----
//
// p[i] = c[0] + ... + c[i], wrapping in the lane's width. Each vector is
// summed inside its 128-bit lanes by shift-and-add steps; the lanes' totals
// (the last element broadcast) are summed across lanes and added, with the
// carry of all earlier vectors. The carry grows by the vector's total,
// found before the carry is added, so the chain from vector to vector is
// one addition.

template <typename K, typename L>
[[gnu::always_inline]] inline void PrefixTail(const K* c, L* p, int i, int n, L carry) {
    for (; i < n; ++i) p[i] = carry = static_cast<L>(carry + c[i]);
}

void PrefixPortable(const std::uint16_t* c, std::uint16_t* p, int n) { PrefixTail(c, p, 0, n, std::uint16_t{0}); }
void PrefixPortable(const std::uint32_t* c, std::uint32_t* p, int n) { PrefixTail(c, p, 0, n, std::uint32_t{0}); }
void PrefixPortable(const std::uint16_t* c, std::uint32_t* p, int n) { PrefixTail(c, p, 0, n, std::uint32_t{0}); }

#if KR_KERNELS_X86
void PrefixSse2(const std::uint16_t* c, std::uint16_t* p, int n) {
    __m128i carry = _mm_setzero_si128();
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + i));
        x = _mm_add_epi16(x, _mm_slli_si128(x, 2));
        x = _mm_add_epi16(x, _mm_slli_si128(x, 4));
        x = _mm_add_epi16(x, _mm_slli_si128(x, 8));
        __m128i total = _mm_shufflehi_epi16(x, 0xFF);
        total = _mm_unpackhi_epi64(total, total);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_add_epi16(x, carry));
        carry = _mm_add_epi16(carry, total);
    }
    PrefixTail(c, p, i, n, static_cast<std::uint16_t>(_mm_cvtsi128_si32(carry)));
}

void PrefixSse2(const std::uint32_t* c, std::uint32_t* p, int n) {
    __m128i carry = _mm_setzero_si128();
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + i));
        x = _mm_add_epi32(x, _mm_slli_si128(x, 4));
        x = _mm_add_epi32(x, _mm_slli_si128(x, 8));
        const __m128i total = _mm_shuffle_epi32(x, 0xFF);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_add_epi32(x, carry));
        carry = _mm_add_epi32(carry, total);
    }
    PrefixTail(c, p, i, n, static_cast<std::uint32_t>(_mm_cvtsi128_si32(carry)));
}

// 16-bit column sums into 32-bit prefix sums.
void PrefixSse2(const std::uint16_t* c, std::uint32_t* p, int n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i carry = zero;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i x = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(c + i)), zero);
        x = _mm_add_epi32(x, _mm_slli_si128(x, 4));
        x = _mm_add_epi32(x, _mm_slli_si128(x, 8));
        const __m128i total = _mm_shuffle_epi32(x, 0xFF);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_add_epi32(x, carry));
        carry = _mm_add_epi32(carry, total);
    }
    PrefixTail(c, p, i, n, static_cast<std::uint32_t>(_mm_cvtsi128_si32(carry)));
}

// The lane totals [T0 | T1] give the lower lane's total to the upper lane
// and, swapped and added, the vector's total to both.
[[gnu::target("avx2")]] void PrefixAvx2(const std::uint16_t* c, std::uint16_t* p, int n) {
    const __m256i lastWord = _mm256_set1_epi16(0x0F0E);  // byte indices of each lane's last word
    __m256i carry = _mm256_setzero_si256();
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + i));
        x = _mm256_add_epi16(x, _mm256_slli_si256(x, 2));
        x = _mm256_add_epi16(x, _mm256_slli_si256(x, 4));
        x = _mm256_add_epi16(x, _mm256_slli_si256(x, 8));
        const __m256i lanes = _mm256_shuffle_epi8(x, lastWord);
        const __m256i below = _mm256_permute2x128_si256(lanes, lanes, 0x08);
        x = _mm256_add_epi16(x, _mm256_add_epi16(below, carry));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), x);
        carry = _mm256_add_epi16(carry, _mm256_add_epi16(lanes, _mm256_permute2x128_si256(lanes, lanes, 0x01)));
    }
    PrefixTail(c, p, i, n, static_cast<std::uint16_t>(_mm256_cvtsi256_si32(carry)));
}

template <typename K>
[[gnu::target("avx2")]] inline __m256i Load8Avx2(const K* c) {
    if constexpr (sizeof(K) == 2) return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c)));
    else return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c));
}

template <typename K>
[[gnu::target("avx2")]] void Prefix32Avx2(const K* c, std::uint32_t* p, int n) {
    __m256i carry = _mm256_setzero_si256();
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i x = Load8Avx2(c + i);
        x = _mm256_add_epi32(x, _mm256_slli_si256(x, 4));
        x = _mm256_add_epi32(x, _mm256_slli_si256(x, 8));
        const __m256i lanes = _mm256_shuffle_epi32(x, 0xFF);
        const __m256i below = _mm256_permute2x128_si256(lanes, lanes, 0x08);
        x = _mm256_add_epi32(x, _mm256_add_epi32(below, carry));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), x);
        carry = _mm256_add_epi32(carry, _mm256_add_epi32(lanes, _mm256_permute2x128_si256(lanes, lanes, 0x01)));
    }
    PrefixTail(c, p, i, n, static_cast<std::uint32_t>(_mm256_cvtsi256_si32(carry)));
}
void PrefixAvx2(const std::uint32_t* c, std::uint32_t* p, int n) { Prefix32Avx2(c, p, n); }
void PrefixAvx2(const std::uint16_t* c, std::uint32_t* p, int n) { Prefix32Avx2(c, p, n); }

// GCC 12's AVX-512 headers start some intrinsics from an undefined
// register, which its flow analysis reports as uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// 16-bit lanes at the AVX-512 level take the AVX2 loop: the sums across a
// 512-bit register's four lanes take more shuffles than two 256-bit
// registers do, and measure slower.
void PrefixAvx512(const std::uint16_t* c, std::uint16_t* p, int n) { PrefixAvx2(c, p, n); }

// Four lane totals [T0 | T1 | T2 | T3]: adding the totals moved up one lane
// and then two gives each lane the sum up to it; less its own total, the
// sum below it; the top lane's is the vector's total.
template <typename K>
[[gnu::target("avx512f,avx512bw")]] inline __m512i Load16Avx512(const K* c) {
    if constexpr (sizeof(K) == 2) return _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(c)));
    else return _mm512_loadu_si512(c);
}

template <typename K>
[[gnu::target("avx512f,avx512bw")]] void Prefix32Avx512(const K* c, std::uint32_t* p, int n) {
    const __m512i zero = _mm512_setzero_si512();
    __m512i carry = zero;
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        __m512i x = Load16Avx512(c + i);
        x = _mm512_add_epi32(x, _mm512_bslli_epi128(x, 4));
        x = _mm512_add_epi32(x, _mm512_bslli_epi128(x, 8));
        const __m512i lanes = _mm512_shuffle_epi32(x, _MM_PERM_DDDD);
        __m512i upTo = _mm512_add_epi32(lanes, _mm512_alignr_epi64(lanes, zero, 6));
        upTo = _mm512_add_epi32(upTo, _mm512_alignr_epi64(upTo, zero, 4));
        x = _mm512_add_epi32(x, _mm512_add_epi32(_mm512_sub_epi32(upTo, lanes), carry));
        _mm512_storeu_si512(p + i, x);
        carry = _mm512_add_epi32(carry, _mm512_shuffle_i64x2(upTo, upTo, 0xFF));
    }
    PrefixTail(c, p, i, n, static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm512_castsi512_si128(carry))));
}
void PrefixAvx512(const std::uint32_t* c, std::uint32_t* p, int n) { Prefix32Avx512(c, p, n); }
void PrefixAvx512(const std::uint16_t* c, std::uint32_t* p, int n) { Prefix32Avx512(c, p, n); }

// ---- a row's change and its prefix sums in one pass (AVX-512) ----
//
// Sixteen columns at a time: the change the row makes in each, added to
// the column sums or kept alone, and at once the prefix sums of the
// result, plane by plane, without storing the column sums to read them
// again. The prefix sum of each 64-bit group of four words is one
// product with 0x0001000100010001 (its words hold x0, x0 + x1, ...),
// exact while the first three words of a group sum below 2^16, which
// column sums of at most 704 rows of 31 and raised changes keep; a byte
// shuffle inside the 128-bit lanes and two word permutations (the lower
// lane's total into the upper one, the last word into the carry) do the
// rest, where the shift-and-add steps took six shuffles.

// One plane's running prefix sum in 16-bit lanes.
struct WordPrefix {
    __m256i spread;  // 0x0001000100010001 per group
    __m256i upper;   // byte indices: a lane's word 3 into its words 4 .. 7
    __m256i seven, fifteen;  // word indices
    __m256i carry;   // the sum of everything before, in every word

    [[gnu::target(KR_BLUR_FUSED_TARGET)]] static WordPrefix Start() {
        WordPrefix w;
        w.spread = _mm256_set1_epi64x(0x0001000100010001);
        // Held where the compiler cannot see it: it would otherwise turn
        // the product into shifts, which take the shuffles' ports.
        asm("" : "+v"(w.spread));
        w.upper = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 6, 7, 6, 7, 6, 7, 6, 7, -1, -1, -1, -1, -1, -1, -1,
                                   -1, 6, 7, 6, 7, 6, 7, 6, 7);
        w.seven = _mm256_set1_epi16(7);
        w.fifteen = _mm256_set1_epi16(15);
        w.carry = _mm256_setzero_si256();
        return w;
    }

    // The inclusive prefix sums of x, carried on.
    [[gnu::target(KR_BLUR_FUSED_TARGET)]] __m256i Step(__m256i x) {
        __m256i y = _mm256_mullo_epi64(x, spread);
        y = _mm256_add_epi16(y, _mm256_shuffle_epi8(y, upper));
        y = _mm256_add_epi16(y, _mm256_maskz_permutexvar_epi16(0xFF00, seven, y));
        const __m256i out = _mm256_add_epi16(y, carry);
        carry = _mm256_permutexvar_epi16(fifteen, out);
        return out;
    }

    [[gnu::target(KR_BLUR_FUSED_TARGET)]] std::uint16_t Carried() const {
        return static_cast<std::uint16_t>(_mm256_cvtsi256_si32(carry));
    }
};

// The change of one component between two rows of 16 pixels, plus bias,
// in 16-bit lanes.
template <typename T>
[[gnu::target(KR_BLUR_FUSED_TARGET)]] inline __m256i ChangeAvx512(const T* enter, const T* leave, __m128i shift,
                                                                  int bias) {
    if constexpr (sizeof(T) == 2) {
        const __m256i five = _mm256_set1_epi16(31);
        const __m256i e = _mm256_and_si256(_mm256_srl_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(enter)), shift), five);
        const __m256i l = _mm256_and_si256(_mm256_srl_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(leave)), shift), five);
        return _mm256_add_epi16(_mm256_sub_epi16(e, l), _mm256_set1_epi16(static_cast<short>(bias)));
    } else {
        const __m512i five = _mm512_set1_epi32(31);
        const __m512i e = _mm512_and_si512(_mm512_srl_epi32(_mm512_loadu_si512(enter), shift), five);
        const __m512i l = _mm512_and_si512(_mm512_srl_epi32(_mm512_loadu_si512(leave), shift), five);
        return _mm512_cvtepi32_epi16(_mm512_add_epi32(_mm512_sub_epi32(e, l), _mm512_set1_epi32(bias)));
    }
}

template <typename T>
[[gnu::always_inline]] inline std::uint16_t ChangeOne(T e, T l, int f, int bias) {
    return static_cast<std::uint16_t>(static_cast<int>((e >> f) & 31u) - static_cast<int>((l >> f) & 31u) + bias);
}

// The block moves down a row: s_c[i] gains the entering row's top five
// bits and loses the leaving row's; p_c[i + 1] = p_c[i] + s_c[i], with
// p_c[0] as it stands (0). In 16-bit pixels a first component in the top
// bits needs no mask (FirstOnTop), a last one in the bottom bits no shift
// (LastAtBottom).
template <bool Shift, bool Mask>
[[gnu::target(KR_BLUR_FUSED_TARGET)]] inline __m256i FivesAvx512(__m256i p, __m128i shift) {
    if constexpr (Shift) p = _mm256_srl_epi16(p, shift);
    if constexpr (Mask) p = _mm256_and_si256(p, _mm256_set1_epi16(31));
    return p;
}

template <typename T, bool Shift, bool Mask>
[[gnu::target(KR_BLUR_FUSED_TARGET)]] inline void MoveColumnsAvx512(const T* enter, const T* leave, std::uint16_t* s,
                                                                   std::uint16_t* p, __m128i shift, WordPrefix& w) {
    __m256i change;
    if constexpr (sizeof(T) == 2) {
        const __m256i e = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(enter));
        const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(leave));
        change = _mm256_sub_epi16(FivesAvx512<Shift, Mask>(e, shift), FivesAvx512<Shift, Mask>(l, shift));
    } else {
        change = ChangeAvx512(enter, leave, shift, 0);
    }
    auto* column = reinterpret_cast<__m256i*>(s);
    const __m256i sum = _mm256_add_epi16(_mm256_loadu_si256(column), change);
    _mm256_storeu_si256(column, sum);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), w.Step(sum));
}

template <typename T, bool FirstOnTop, bool LastAtBottom>
[[gnu::target(KR_BLUR_FUSED_TARGET)]] void MovePrefixAvx512(const T* enter, const T* leave, std::uint16_t* const (&s)[3],
                                                           std::uint16_t* const (&p)[3], int n, const int (&f)[3]) {
    WordPrefix w[3] = {WordPrefix::Start(), WordPrefix::Start(), WordPrefix::Start()};
    const __m128i shift[3] = {_mm_cvtsi32_si128(f[0]), _mm_cvtsi32_si128(f[1]), _mm_cvtsi32_si128(f[2])};
    std::uint16_t* const s0 = s[0];
    std::uint16_t* const s1 = s[1];
    std::uint16_t* const s2 = s[2];
    std::uint16_t* const p0 = p[0] + 1;
    std::uint16_t* const p1 = p[1] + 1;
    std::uint16_t* const p2 = p[2] + 1;
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        MoveColumnsAvx512<T, true, !FirstOnTop>(enter + i, leave + i, s0 + i, p0 + i, shift[0], w[0]);
        MoveColumnsAvx512<T, true, true>(enter + i, leave + i, s1 + i, p1 + i, shift[1], w[1]);
        MoveColumnsAvx512<T, !LastAtBottom, true>(enter + i, leave + i, s2 + i, p2 + i, shift[2], w[2]);
    }
    for (int c = 0; c < 3; ++c) {
        std::uint16_t carry = w[c].Carried();
        for (int j = i; j < n; ++j) {
            s[c][j] = static_cast<std::uint16_t>(s[c][j] + ChangeOne(enter[j], leave[j], f[c], 0));
            p[c][j + 1] = carry = static_cast<std::uint16_t>(carry + s[c][j]);
        }
    }
}

// The change between two rows alone, each component raised by 31 so that
// it is never negative: q_c[i + 1] = q_c[i] + 31 + (entering - leaving).
template <typename T>
[[gnu::target(KR_BLUR_FUSED_TARGET)]] void ChangePrefixAvx512(const T* enter, const T* leave, std::uint16_t* const (&q)[3],
                                                             int n, const int (&f)[3]) {
    WordPrefix w[3] = {WordPrefix::Start(), WordPrefix::Start(), WordPrefix::Start()};
    const __m128i shift[3] = {_mm_cvtsi32_si128(f[0]), _mm_cvtsi32_si128(f[1]), _mm_cvtsi32_si128(f[2])};
    int i = 0;
    for (; i + 16 <= n; i += 16)
        for (int c = 0; c < 3; ++c)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(q[c] + 1 + i),
                                w[c].Step(ChangeAvx512(enter + i, leave + i, shift[c], kChangeBias)));
    for (int c = 0; c < 3; ++c) {
        std::uint16_t carry = w[c].Carried();
        for (int j = i; j < n; ++j) q[c][j + 1] = carry = static_cast<std::uint16_t>(carry + ChangeOne(enter[j], leave[j], f[c], kChangeBias));
    }
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif  // KR_KERNELS_X86

// ---- row loops ----

// A shift count held below the lane's width, which lets the compiler keep
// 16-bit lanes at 16 bits.
template <typename T>
[[gnu::always_inline]] inline int Within(int s) {
    return s & static_cast<int>(8 * sizeof(T) - 1);
}

// Column sums: each component's top five bits of the entering row added
// (less the leaving row's with Leave); with Set the planes take the
// difference itself, raised by kChangeBias.
template <typename T, typename L, bool Leave, bool Set = false>
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
        if constexpr (Set)
            s0[i] = static_cast<L>(r + kChangeBias), s1[i] = static_cast<L>(g + kChangeBias),
            s2[i] = static_cast<L>(b + kChangeBias);
        else s0[i] = static_cast<L>(s0[i] + r), s1[i] = static_cast<L>(s1[i] + g), s2[i] = static_cast<L>(s2[i] + b);
    }
}

template <typename L>
[[gnu::always_inline]] inline void PairBody(L* __restrict out, const L* a, const L* b, int n) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<L>(a[i] + b[i]);
}

// sums[i] += p[i + width] - p[i] - bias, the difference of the prefix sums
// of raised changes read in the narrow lanes K and widened.
template <typename K, typename L>
[[gnu::always_inline]] inline void AccumulateBody(L* __restrict sums, const K* __restrict p, int width, int n, L bias) {
    for (int i = 0; i < n; ++i)
        sums[i] = static_cast<L>(sums[i] + static_cast<L>(static_cast<K>(p[i + width] - p[i])) - bias);
}

// The average of a block that moved down a row, from the one before it.
// The block sum S is known modulo 2^16 (a - b) and moved by at most
// reach = 31 bw either way, so with q the average before it, S lies in
// q n - reach .. q n + n - 1 + reach, a range narrower than 2^16 while
// n + 62 bw <= 2^16: t, the distance of S above q n - reach, is exact in
// 16 bits. A block of at least 31 rows moves by no more than its count, so
// the average steps by at most one: up when t >= n + reach, down when
// t < reach.
template <typename L>
[[gnu::always_inline]] inline L Tracked(L a, L b, L q, L count, L reach) {
    const auto t = static_cast<L>(a - b - static_cast<L>(q * count) + reach);
    return static_cast<L>(q + (t >= static_cast<L>(count + reach)) - (t < reach));
}

// A block sum's average put back into a pixel, with everything a row loop
// needs held by value (so that no store may change it) and every shift a
// multiplication by a power of two or a count below the lane's width: the
// compiler then keeps 16-bit lanes at 16 bits and divides with the high
// half of one product.
template <typename T, typename L, Division D>
struct Averager {
    std::uint16_t mul16, post16, opaqueZero;
    std::int32_t count32;         // kFloat
    float reciprocal;             // kFloat
    T place[3];  // 2^(shift of each component's top five bits)
    T low[3];    // 8-bit fields: 2^(shift of the repeated top bits)
    bool eightBit;

    explicit Averager(const BlurLanes<T>& k)
        : mul16(k.mul), post16(k.post), opaqueZero(k.opaqueZero), count32(static_cast<std::int32_t>(k.count)),
          reciprocal(FloatReciprocal(k.count)), eightBit(k.eightBit) {
        for (int c = 0; c < 3; ++c) place[c] = static_cast<T>(T{1} << k.five[c]), low[c] = static_cast<T>(T{1} << k.low[c]);
    }

    [[gnu::always_inline]] static std::uint16_t High(std::uint16_t x, std::uint16_t m) {
        return static_cast<std::uint16_t>((std::uint32_t{x} * m) >> 16);
    }

    // q0 is within one of x / n and x - q0 * n within (-n, 2n), which the
    // lane holds exactly: one step up or down makes the quotient.
    template <typename S>
    [[gnu::always_inline]] static S Settle(S x, S q0, S n) {
        const S r = static_cast<S>(x - static_cast<S>(q0 * n));
        return static_cast<S>(q0 + static_cast<S>(r >= n) - static_cast<S>(r < 0));
    }

    [[gnu::always_inline]] L Divide(L x) const {
        if constexpr (D == Division::kNone) return x;
        else if constexpr (D == Division::kHigh) return High(x, mul16);
        else if constexpr (D == Division::kHighTwice)
            return High(static_cast<std::uint16_t>(High(x, mul16) ^ opaqueZero), post16);
        else if constexpr (D == Division::kHigh17 || D == Division::kHigh17Twice) {
            const std::uint16_t t = High(x, mul16);
            const auto half = static_cast<std::uint16_t>(t + High(static_cast<std::uint16_t>(x - t), 0x8000));
            if constexpr (D == Division::kHigh17) return half;
            else return High(half, post16);
        } else {  // x < 2^31, so it converts as a signed value
            const auto xi = static_cast<std::int32_t>(x);
            const auto q0 = static_cast<std::int32_t>(static_cast<float>(xi) * reciprocal);
            if constexpr (D == Division::kFloat) return static_cast<L>(q0);
            else return static_cast<L>(Settle<std::int32_t>(xi, q0, count32));
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

// The block sums of one row as planes whose combination (Combine) at each
// column is the block sum: a (three planes) and, when there are more
// terms, b, c and d.
template <typename L>
struct Terms {
    const L* a[3] = {};
    const L* b[3] = {};
    const L* c[3] = {};
    const L* d[3] = {};
    L* q[3] = {};          // kTrack: the averages, moved on in place
    L count = 0, reach = 0;  // kTrack
};

template <typename L, Combine C>
[[gnu::always_inline]] inline L Combined(L a, L b) {
    if constexpr (C == Combine::kAdd) return static_cast<L>(a + b);
    else if constexpr (C == Combine::kSub) return static_cast<L>(a - b);
    else return a;
}

// Destination pixels 0 .. n - 1 from a row of averages.
template <typename T>
[[gnu::always_inline]] inline void CopyBody(T* __restrict dst, const T* __restrict src, const T* __restrict row, int n,
                                            T colour) {
    for (int i = 0; i < n; ++i) dst[i] = (src[i] & colour) != 0 ? row[i] : dst[i];
}

// Destination pixels 0 .. n - 1 from averages q moved on (Tracked).
template <typename T, typename L, Division D, bool Masked>
[[gnu::always_inline]] inline void TrackOutputBody(T* __restrict dst, const T* __restrict src, const L* __restrict a0,
                                                   const L* __restrict a1, const L* __restrict a2,
                                                   const L* __restrict b0, const L* __restrict b1,
                                                   const L* __restrict b2, L* __restrict q0, L* __restrict q1,
                                                   L* __restrict q2, int n, L count, L reach, const BlurLanes<T>& k) {
    const Averager<T, L, D> average(k);
    const T colour = k.colour;
    for (int i = 0; i < n; ++i) {
        const L r = Tracked(a0[i], b0[i], q0[i], count, reach), g = Tracked(a1[i], b1[i], q1[i], count, reach),
                b = Tracked(a2[i], b2[i], q2[i], count, reach);
        q0[i] = r, q1[i] = g, q2[i] = b;
        const T out = average(r, g, b);
        if constexpr (Masked) dst[i] = (src[i] & colour) != 0 ? out : dst[i];
        else dst[i] = out;
    }
}

// Destination pixels 0 .. n - 1 from block sums of N terms at the same
// column (a fourth plane of d is read only when N is 4).
template <typename T, typename L, Division D, int N, bool Masked>
[[gnu::always_inline]] inline void SumsOutputBody(T* __restrict dst, const T* __restrict src, const L* __restrict a0,
                                                  const L* __restrict a1, const L* __restrict a2,
                                                  const L* __restrict b0, const L* __restrict b1,
                                                  const L* __restrict b2, const L* __restrict c0,
                                                  const L* __restrict c1, const L* __restrict c2,
                                                  const L* __restrict d0, const L* __restrict d1,
                                                  const L* __restrict d2, int n, const BlurLanes<T>& k) {
    const Averager<T, L, D> average(k);
    const T colour = k.colour;
    auto sum = [](L a, L b, L c, L d) { return static_cast<L>(a + b + c + (N == 4 ? d : L{0})); };
    for (int i = 0; i < n; ++i) {
        const T out = average(sum(a0[i], b0[i], c0[i], N == 4 ? d0[i] : L{0}), sum(a1[i], b1[i], c1[i], N == 4 ? d1[i] : L{0}),
                              sum(a2[i], b2[i], c2[i], N == 4 ? d2[i] : L{0}));
        if constexpr (Masked) dst[i] = (src[i] & colour) != 0 ? out : dst[i];
        else dst[i] = out;
    }
}

// Destination pixels 0 .. n - 1 from the block sums at the same column;
// with Masked only where the source has colour, else all of them.
template <typename T, typename L, Division D, Combine C, bool Masked>
[[gnu::always_inline]] inline void OutputBody(T* __restrict dst, const T* __restrict src, const Terms<L>& t, int n,
                                              const BlurLanes<T>& k) {
    if constexpr (C == Combine::kAdd3 || C == Combine::kAdd4) {
        const int four = C == Combine::kAdd4 ? 1 : 0;  // else d reads a again, unused
        return SumsOutputBody<T, L, D, four ? 4 : 3, Masked>(
            dst, src, t.a[0], t.a[1], t.a[2], t.b[0], t.b[1], t.b[2], t.c[0], t.c[1], t.c[2], four ? t.d[0] : t.a[0],
            four ? t.d[1] : t.a[1], four ? t.d[2] : t.a[2], n, k);
    }
    if constexpr (C == Combine::kTrack) {
        return TrackOutputBody<T, L, D, Masked>(dst, src, t.a[0], t.a[1], t.a[2], t.b[0], t.b[1], t.b[2], t.q[0],
                                                t.q[1], t.q[2], n, t.count, t.reach, k);
    }
    if constexpr (Masked && (D == Division::kFloat || D == Division::kFloatSettled)) {
        // A conversion from float may trap, so the compiler keeps it out of
        // vector lanes under a condition: a stretch of averages is made
        // first, then copied under the mask.
        T stretch[256];
        for (int from = 0; from < n; from += 256) {
            Terms<L> part;
            for (int c = 0; c < 3; ++c) part.a[c] = t.a[c] + from, part.b[c] = t.b[c] ? t.b[c] + from : nullptr;
            const int m = std::min(256, n - from);
            OutputBody<T, L, D, C, false>(stretch, nullptr, part, m, k);
            CopyBody<T>(dst + from, src + from, stretch, m, k.colour);
        }
        return;
    }
    const Averager<T, L, D> average(k);
    const T colour = k.colour;
    const L* __restrict a0 = t.a[0];
    const L* __restrict a1 = t.a[1];
    const L* __restrict a2 = t.a[2];
    const L* __restrict b0 = C != Combine::kOne ? t.b[0] : t.a[0];
    const L* __restrict b1 = C != Combine::kOne ? t.b[1] : t.a[1];
    const L* __restrict b2 = C != Combine::kOne ? t.b[2] : t.a[2];
    for (int i = 0; i < n; ++i) {
        const T out = average(Combined<L, C>(a0[i], b0[i]), Combined<L, C>(a1[i], b1[i]), Combined<L, C>(a2[i], b2[i]));
        if constexpr (Masked) dst[i] = (src[i] & colour) != 0 ? out : dst[i];
        else dst[i] = out;
    }
}

// Destination pixels 0 .. n - 1 all from one block sum.
template <typename T>
[[gnu::always_inline]] inline void OutputOneBody(T* __restrict dst, const T* __restrict src, int n, T out, T colour) {
    for (int i = 0; i < n; ++i) dst[i] = (src[i] & colour) != 0 ? out : dst[i];
}

// Column sums in lanes K, block sums in lanes L.
template <typename T, typename K, typename L>
struct BlurRows {
    using Output = void (*)(T*, const T*, const Terms<L>&, int, const BlurLanes<T>&);
    void (*enter)(const T*, const T*, K*, K*, K*, int, int, int, int);
    void (*move)(const T*, const T*, K*, K*, K*, int, int, int, int);
    void (*difference)(const T*, const T*, K*, K*, K*, int, int, int, int);
    void (*pair)(L*, const L*, const L*, int);
    void (*prefix)(const K*, L*, int);
    void (*prefixNarrow)(const K*, K*, int);
    void (*accumulate)(L*, const K*, int, int, L);
    // Where the level has them (else null): the move down with the prefix
    // sums of the column sums, and the raised change with its prefix sums.
    void (*movePrefix)(const T*, const T*, K* const (&)[3], L* const (&)[3], int, const int (&)[3]);
    void (*changePrefix)(const T*, const T*, K* const (&)[3], int, const int (&)[3]);
    Output output[kCombines];    // by Combine, under the source's mask
    Output averages[kCombines];  // by Combine, every pixel: a row of averages
    void (*outputSame)(T*, const T*, int, T, T);
    void (*copy)(T*, const T*, const T*, int, T);
};

#define KR_BLUR_ROWS(suffix, ...)                                                                                   \
    template <typename T, typename L, bool Leave, bool Set>                                                         \
    __VA_ARGS__ void Columns##suffix(const T* enter, const T* leave, L* s0, L* s1, L* s2, int n, int f0, int f1,     \
                                     int f2) {                                                                      \
        ColumnsBody<T, L, Leave, Set>(enter, leave, s0, s1, s2, n, f0, f1, f2);                                     \
    }                                                                                                               \
    template <typename L>                                                                                           \
    __VA_ARGS__ void Pair##suffix(L* out, const L* a, const L* b, int n) {                                          \
        PairBody<L>(out, a, b, n);                                                                                  \
    }                                                                                                               \
    template <typename K, typename L>                                                                               \
    __VA_ARGS__ void Accumulate##suffix(L* sums, const K* p, int width, int n, L bias) {                            \
        AccumulateBody<K, L>(sums, p, width, n, bias);                                                              \
    }                                                                                                               \
    template <typename T, typename L, Division D, Combine C, bool Masked>                                           \
    __VA_ARGS__ void Output##suffix(T* dst, const T* src, const Terms<L>& t, int n, const BlurLanes<T>& k) {        \
        OutputBody<T, L, D, C, Masked>(dst, src, t, n, k);                                                          \
    }                                                                                                               \
    template <typename T>                                                                                           \
    __VA_ARGS__ void OutputSame##suffix(T* dst, const T* src, int n, T out, T colour) {                             \
        OutputOneBody<T>(dst, src, n, out, colour);                                                                 \
    }                                                                                                               \
    template <typename T>                                                                                           \
    __VA_ARGS__ void Copy##suffix(T* dst, const T* src, const T* row, int n, T colour) {                            \
        CopyBody<T>(dst, src, row, n, colour);                                                                      \
    }                                                                                                               \
    template <typename T, typename K, typename L, Division D>                                                       \
    BlurRows<T, K, L> Rows##suffix() {                                                                              \
        return {Columns##suffix<T, K, false, false>,                                                                \
                Columns##suffix<T, K, true, false>,                                                                 \
                Columns##suffix<T, K, true, true>,                                                                  \
                Pair##suffix<L>,                                                                                    \
                Prefix##suffix,                                                                                     \
                Prefix##suffix,                                                                                     \
                Accumulate##suffix<K, L>,                                                                           \
                nullptr,                                                                                            \
                nullptr,                                                                                            \
                {Output##suffix<T, L, D, Combine::kOne, true>, Output##suffix<T, L, D, Combine::kAdd, true>,        \
                 Output##suffix<T, L, D, Combine::kSub, true>, Output##suffix<T, L, D, Combine::kTrack, true>,      \
                 Output##suffix<T, L, D, Combine::kAdd3, true>, Output##suffix<T, L, D, Combine::kAdd4, true>},     \
                {Output##suffix<T, L, D, Combine::kOne, false>, Output##suffix<T, L, D, Combine::kAdd, false>,      \
                 Output##suffix<T, L, D, Combine::kSub, false>, Output##suffix<T, L, D, Combine::kTrack, false>,    \
                 Output##suffix<T, L, D, Combine::kAdd3, false>, Output##suffix<T, L, D, Combine::kAdd4, false>},   \
                OutputSame##suffix<T>,                                                                              \
                Copy##suffix<T>};                                                                                   \
    }

KR_BLUR_ROWS(Portable)
#if KR_KERNELS_X86
KR_BLUR_ROWS(Sse2)
KR_BLUR_ROWS(Avx2, [[gnu::target("avx2")]])
// Clang takes no preferred width in a target and would drop the whole target.
#if defined(__clang__)
KR_BLUR_ROWS(Avx512, [[gnu::target("avx512f,avx512bw")]])
#else
KR_BLUR_ROWS(Avx512, [[gnu::target("avx512f,avx512bw,prefer-vector-width=512")]])
#endif
#endif  // KR_KERNELS_X86
#undef KR_BLUR_ROWS

#if KR_KERNELS_X86
template <typename T>
auto MovePrefixFor(const BlurLanes<T>& k) {
    if constexpr (sizeof(T) == 2) {
        const bool top = k.five[0] == 11, bottom = k.five[2] == 0;
        if (top && bottom) return MovePrefixAvx512<T, true, true>;
        if (top) return MovePrefixAvx512<T, true, false>;
        if (bottom) return MovePrefixAvx512<T, false, true>;
    }
    return MovePrefixAvx512<T, false, false>;
}
#endif  // KR_KERNELS_X86

template <typename T, typename K, typename L, Division D>
BlurRows<T, K, L> RowsForLevel(const BlurLanes<T>& k) {
    switch (ActiveKernelLevel()) {
#if KR_KERNELS_X86
        case KernelLevel::kAvx512: {
            BlurRows<T, K, L> rows = RowsAvx512<T, K, L, D>();
            static const bool fused = (__builtin_cpu_init(), __builtin_cpu_supports("avx512dq"));
            if constexpr (std::is_same_v<K, std::uint16_t>) {
                if (fused) rows.changePrefix = ChangePrefixAvx512<T>;
                if constexpr (std::is_same_v<L, std::uint16_t>) {
                    if (fused) rows.movePrefix = MovePrefixFor(k);
                }
            }
            return rows;
        }
        case KernelLevel::kAvx2: return RowsAvx2<T, K, L, D>();
        case KernelLevel::kSse2: return RowsSse2<T, K, L, D>();
#endif
        default: return RowsPortable<T, K, L, D>();
    }
}

// ---- the rectangle ----

// Three planes of one row of sums, from a 64-byte boundary: the passes'
// whole-vector stores into a row that starts anywhere else would each
// straddle two cache lines.
template <typename L>
struct Planes {
    struct Free {
        void operator()(L* p) const { ::operator delete[](p, std::align_val_t{64}); }
    };
    std::unique_ptr<L[], Free> data;
    int stride = 0;
    explicit Planes(int width)
        : data(static_cast<L*>(::operator new[](sizeof(L) * 3 * static_cast<std::size_t>(width), std::align_val_t{64}))),
          stride(width) {
        std::fill_n(data.get(), 3 * static_cast<std::size_t>(width), L{0});
    }
    L* operator[](int c) { return data.get() + static_cast<std::size_t>(c) * stride; }
};

// Block widths from which one prefix sum beats the doubling passes
// (measured at AVX-512: doubling ahead up to 8, behind from 11).
constexpr int kPrefixFromWidth = 9;

// Column sums in lanes K, block sums in lanes L; doubling needs K = L.
// With byTracking (K = L = 16 bits, no division) the block sums are known
// modulo 2^16 and the averages follow them from row to row (Tracked), as
// the output loop makes each row.
template <typename T, typename K, typename L, Division D>
class Blur {
public:
    Blur(const BlurArgs& a, const BlurLanes<T>& k, bool byTracking = false)
        : a_(a), k_(k), rows_(RowsForLevel<T, K, L, D>(k)), w_(a.width), h_(a.height), bw_(std::min(a.block, a.width)),
          bh_(std::min(a.block, a.height)),
          byPrefix_(!std::is_same_v<K, L> || sizeof(L) == 4 || bw_ >= kPrefixFromWidth || byTracking),
          byDifference_(!std::is_same_v<K, L> && 31 * bw_ <= 0x7FFF), byTracking_(byTracking),
          // the fused move's products hold three column sums
          fusedMove_(rows_.movePrefix && 3 * 31 * bh_ <= 0xFFFF), columns_(w_),
          quotients_(byTracking ? w_ : 0), prefix_(byPrefix_ ? PrefixStride<L>() : 0),
          narrow_(byDifference_ ? PrefixStride<K>() : 0) {
    }

    // The block of rows 0 .. h - bh moves down with them; every row below
    // keeps the last block, so they share one row of averages.
    void Run() {
        for (int j = 0; j < bh_; ++j) rows_.enter(Src(j), nullptr, columns_[0], columns_[1], columns_[2], w_, k_.five[0], k_.five[1], k_.five[2]);
        const int lastTop = h_ - bh_;
        for (int top = 0;; ++top) {
            if (top == 0) FirstSums();
            else MoveDown(top - 1);
            if (top == lastTop) break;
            Output(top);
        }
        if (bh_ == 1) return Output(lastTop);
        SharedRow();
        for (int j = lastTop; j < h_; ++j) rows_.copy(Dst(j), Src(j), shared_.data(), w_, k_.colour);
    }

private:
    const T* Src(int j) const { return reinterpret_cast<const T*>(a_.src + j * a_.srcPitch); }
    T* Dst(int j) const { return reinterpret_cast<T*>(a_.dst + j * a_.dstPitch); }

    // The block sums of the block that moves down from row top to top + 1.
    void MoveDown(int top) {
        if (byDifference_) return MoveSums(top);
        if (byPrefix_ && fusedMove_) {
            K* const columns[3] = {columns_[0], columns_[1], columns_[2]};
            L* const prefix[3] = {Prefix(0), Prefix(1), Prefix(2)};
            rows_.movePrefix(Src(top + bh_), Src(top), columns, prefix, w_, k_.five);
            PrefixTerms();
        } else {
            rows_.move(Src(top + bh_), Src(top), columns_[0], columns_[1], columns_[2], w_, k_.five[0], k_.five[1],
                       k_.five[2]);
            BlockSums();
        }
        if (byTracking_) TrackAverages();
    }

    void FirstSums() {
        BlockSums();
        if (byTracking_) FirstAverages();
    }

    void BlockSums() {
        if constexpr (std::is_same_v<K, L>) {
            if (!byPrefix_) return DoubledSums();
        }
        PrefixSums();
        if (byDifference_) KeepSums();
    }

    // Block sums in wide lanes, kept from row to row: the first block's
    // from the prefix sums, planes one after another.
    void KeepSums() {
        kept_.assign(static_cast<std::size_t>(w_) * 3, L{0});
        for (int c = 0; c < 3; ++c) {
            L* plane = kept_.data() + static_cast<std::size_t>(c) * w_;
            for (int i = 0; i <= w_ - bw_; ++i) plane[i] = static_cast<L>(terms_.a[c][i] - terms_.b[c][i]);
            terms_.a[c] = plane;
        }
        combine_ = Combine::kOne;
    }

    // The block moving down from row top to top + 1 gains the window sums of
    // the row that enters less the one that leaves. Their pixels differ by
    // at most 31 a component; raised by 31, a window sums to at most 62 bw
    // (below 2^16 while 31 bw <= 2^15 - 1), which a prefix sum in narrow
    // lanes gives exactly, less the 31 bw it was raised by.
    void MoveSums(int top) {
        RaisedChanges(top);
        const L bias = static_cast<L>(kChangeBias * bw_);
        for (int c = 0; c < 3; ++c)
            rows_.accumulate(kept_.data() + static_cast<std::size_t>(c) * w_, Narrow(c), bw_, w_ - bw_ + 1, bias);
    }

    // The narrow planes: prefix sums of the raised changes from the row
    // that leaves the block to the one that enters.
    void RaisedChanges(int top) {
        K* const narrow[3] = {Narrow(0), Narrow(1), Narrow(2)};
        if (rows_.changePrefix) return rows_.changePrefix(Src(top + bh_), Src(top), narrow, w_, k_.five);
        rows_.difference(Src(top + bh_), Src(top), columns_[0], columns_[1], columns_[2], w_, k_.five[0], k_.five[1],
                         k_.five[2]);
        for (int c = 0; c < 3; ++c) rows_.prefixNarrow(columns_[c], narrow[c] + 1, w_);
    }

    // The first block's averages, from exact sums over a window that
    // slides along the column sums.
    void FirstAverages() {
        const Averager<T, std::uint32_t, Division::kFloatSettled> exact(k_);
        for (int c = 0; c < 3; ++c) {
            std::uint32_t sum = 0;
            for (int i = 0; i < bw_; ++i) sum += columns_[c][i];
            for (int i = 0;; ++i) {
                quotients_[c][i] = static_cast<L>(exact.Divide(sum));
                if (i == w_ - bw_) break;
                sum += static_cast<std::uint32_t>(columns_[c][i + bw_]) - columns_[c][i];
            }
        }
        AverageTerms();
    }

    // The prefix sums' terms, with the averages for the output loop to
    // move on.
    void TrackAverages() {
        for (int c = 0; c < 3; ++c) terms_.q[c] = quotients_[c];
        terms_.count = static_cast<L>(k_.count), terms_.reach = static_cast<L>(31 * bw_);
        combine_ = Combine::kTrack;
    }

    void AverageTerms() {
        terms_ = Terms<L>{};
        for (int c = 0; c < 3; ++c) terms_.a[c] = quotients_[c];
        combine_ = Combine::kOne;
    }

    // Each plane's prefix sums, P[0] = 0 and P[i + 1] = P[i] + column i:
    // the block sum at column i is P[i + bw] - P[i]. Where the fused move
    // makes them plane by plane, so does the first row; elsewhere one loop
    // runs over the three planes end to end (the sums that mix two planes
    // fall in each plane's last columns, which no block reads), whose
    // prefix sums then start where the plane before ended.
    void PrefixSums() {
        if (fusedMove_) {
            for (int c = 0; c < 3; ++c) rows_.prefix(columns_[c], Prefix(c) + 1, w_);
            return PrefixTerms();
        }
        L* const flat = Prefix(0);
        rows_.prefix(columns_[0], flat + 1, 3 * w_);
        combine_ = Combine::kSub;
        for (int c = 0; c < 3; ++c) {
            terms_.b[c] = flat + static_cast<std::size_t>(c) * w_;
            terms_.a[c] = terms_.b[c] + bw_;
        }
    }

    void PrefixTerms() {
        combine_ = Combine::kSub;
        for (int c = 0; c < 3; ++c) {
            terms_.b[c] = Prefix(c);
            terms_.a[c] = terms_.b[c] + bw_;
        }
    }

    // Planes of prefix sums, one longer than a row, whose P[1] starts a
    // cache line: the passes store whole vectors from there.
    template <typename S>
    static constexpr int kLine = 64 / static_cast<int>(sizeof(S));
    template <typename S>
    int PrefixStride() const { return (w_ + kLine<S> + kLine<S> - 1) / kLine<S> * kLine<S>; }
    L* Prefix(int c) { return prefix_[c] + kLine<L> - 1; }
    K* Narrow(int c) { return narrow_[c] + kLine<K> - 1; }

    // The sum of columns i .. i + bw - 1, for i in 0 .. w - bw, as up to
    // four terms_ that the output loop adds. W1 is the column sums and
    // W2p[i] = Wp[i] + Wp[i + p]; the block width read in binary adds the Wp
    // of its set bits at growing offsets, but its top bit P, which is never
    // made, as its two halves. Terms cost the output loop less than a pass
    // up to three (measured: blocks 3 and 5 a tenth faster than with a pass
    // folding two terms), more at four (quarters of P made blocks 4 and 8
    // a tenth slower than halves).
    void DoubledSums() {
        terms_ = Terms<L>{};
        count_ = 0;
        int top = 1;
        while (2 * top <= bw_) top *= 2;
        const int pieces = top == 1 ? 1 : 2;
        const int piece = top / pieces;  // the widest Wp needed, as are those of the lower bits
        const L* widths[4] = {columns_[0]};  // widths[k]: plane 0 of W(2^k)
        for (int p = 1, level = 0; p < piece; p *= 2, ++level) {
            // One loop over the three planes, which lie one after another
            // with the same stride: the sums that mix two planes fall in
            // each plane's last columns, which no block sum reads.
            Planes<L>& next = Level(level);
            rows_.pair(next[0], widths[level], widths[level] + p, 3 * w_ - p);
            widths[level + 1] = next[0];
        }
        auto width = [&](int p) { return widths[__builtin_ctz(static_cast<unsigned>(p))]; };
        int offset = 0;
        for (int p = 1; p < top; p <<= 1)
            if (bw_ & p) {
                AddTerm(width(p), offset);
                offset += p;
            }
        for (int k = 0; k < pieces; ++k) AddTerm(width(piece), offset + k * piece);
    }

    // A term from plane 0 of a W at an offset; the planes lie w apart.
    void AddTerm(const L* plane0, int offset) {
        const L** slot[4] = {terms_.a, terms_.b, terms_.c, terms_.d};
        for (int c = 0; c < 3; ++c) slot[count_][c] = plane0 + static_cast<std::size_t>(c) * w_ + offset;
        ++count_;
        constexpr Combine kByCount[5] = {Combine::kOne, Combine::kOne, Combine::kAdd, Combine::kAdd3, Combine::kAdd4};
        combine_ = kByCount[count_];
    }

    // The planes of W(2^(level + 1)); each level keeps its own, as terms may
    // point into any of them.
    Planes<L>& Level(int level) {
        while (static_cast<int>(levels_.size()) <= level) levels_.emplace_back(w_);
        return levels_[static_cast<std::size_t>(level)];
    }

    // The block starting at the last distinct column serves the columns
    // after it too.
    T LastAverage() const {
        const std::size_t last = static_cast<std::size_t>(w_ - bw_);
        L sum[3];
        for (int c = 0; c < 3; ++c) {
            switch (combine_) {
                case Combine::kTrack: sum[c] = terms_.q[c][last]; break;  // moved on by the output loop already
                case Combine::kSub: sum[c] = static_cast<L>(terms_.a[c][last] - terms_.b[c][last]); break;
                default: {
                    const L* const* const slot[4] = {terms_.a, terms_.b, terms_.c, terms_.d};
                    const int terms = combine_ == Combine::kAdd4 ? 4 : combine_ == Combine::kAdd3 ? 3 : combine_ == Combine::kAdd ? 2 : 1;
                    sum[c] = 0;
                    for (int t = 0; t < terms; ++t) sum[c] = static_cast<L>(sum[c] + slot[t][c][last]);
                }
            }
        }
        return Averager<T, L, D>(k_)(sum[0], sum[1], sum[2]);
    }

    void Output(int j) {
        const int distinct = w_ - bw_ + 1;
        rows_.output[static_cast<int>(combine_)](Dst(j), Src(j), terms_, distinct, k_);
        if (distinct < w_) rows_.outputSame(Dst(j) + distinct, Src(j) + distinct, w_ - distinct, LastAverage(), k_.colour);
    }

    void SharedRow() {
        const int distinct = w_ - bw_ + 1;
        shared_.resize(static_cast<std::size_t>(w_));
        rows_.averages[static_cast<int>(combine_)](shared_.data(), nullptr, terms_, distinct, k_);
        std::fill(shared_.begin() + distinct, shared_.end(), LastAverage());
    }

    const BlurArgs& a_;
    const BlurLanes<T>& k_;
    BlurRows<T, K, L> rows_;
    int w_, h_, bw_, bh_;
    bool byPrefix_;
    bool byDifference_;  // wide block sums moved by narrow window sums
    bool byTracking_;
    bool fusedMove_;
    Planes<K> columns_;
    Planes<L> quotients_;  // byTracking_: the averages
    std::vector<Planes<L>> levels_;
    Planes<L> prefix_;
    Planes<K> narrow_;  // byDifference_: prefix sums of the rows' raised changes
    std::vector<L> kept_;    // byDifference_: the block sums
    std::vector<T> shared_;
    Terms<L> terms_;
    int count_ = 0;
    Combine combine_ = Combine::kOne;
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

// An exact division of every x in 0 .. largest by n, x * m >> s: the
// first shift from first up to last with a multiplier below limit.
bool ExactDivision(std::uint64_t n, std::uint64_t largest, std::uint64_t limit, int first, int last,
                   std::uint64_t& mul, int& shift) {
    for (int s = first; s <= last; ++s) {
        const std::uint64_t power = std::uint64_t{1} << s, m = (power + n - 1) / n;
        if (m < limit && largest * (m * n - power) < power) {
            mul = m, shift = s;
            return true;
        }
    }
    return false;
}

// Block sums in 32-bit lanes; column sums of up to 2114 rows still fit
// 16-bit lanes.
template <typename T, Division D>
void Blur32(const BlurArgs& a, const BlurLanes<T>& k) {
    if (31 * static_cast<std::uint64_t>(std::min(a.block, a.height)) <= 0xFFFF)
        return Blur<T, std::uint16_t, std::uint32_t, D>(a, k).Run();
    Blur<T, std::uint32_t, std::uint32_t, D>(a, k).Run();
}

template <typename T>
void BlurPixels(const BlurArgs& a) {
    BlurLanes<T> k = BlurLanesOf<T>(a);
    if (sizeof(T) == 2 && k.eightBit) return ReferenceBlurRect(a);  // no 2-byte format has one
    const std::uint64_t count = static_cast<std::uint64_t>(std::min(a.block, a.width)) *
                                static_cast<std::uint64_t>(std::min(a.block, a.height));
    // Blocks whose estimate's product (up to 32 n) would leave a signed
    // 32-bit lane take the plain rule; no surface comes near them.
    if (count >= (std::uint64_t{1} << 26)) return ReferenceBlurRect(a);
    k.count = static_cast<std::uint32_t>(count);
    const std::uint64_t largest = 31 * count;
    if (count == 1) return Blur<T, std::uint16_t, std::uint16_t, Division::kNone>(a, k).Run();
    std::uint64_t mul = 0;
    int shift = 0;
    // Averages that follow block sums known modulo 2^16 (see Tracked), the
    // first from column sums that fit 16 bits.
    const std::uint64_t bw = static_cast<std::uint64_t>(std::min(a.block, a.width));
    const std::uint64_t bh = static_cast<std::uint64_t>(std::min(a.block, a.height));
    if (largest > 0xFFFF && bh >= 31 && 31 * bh <= 0xFFFF && count + 62 * bw <= 0x10000)
        return Blur<T, std::uint16_t, std::uint16_t, Division::kNone>(a, k, true).Run();
    if (largest <= 0xFFFF) {
        if (ExactDivision(count, largest, 0x10000, 16, 31, mul, shift)) {
            k.mul = static_cast<std::uint16_t>(mul), k.post = static_cast<std::uint16_t>(1u << (32 - shift));
            if (shift == 16) return Blur<T, std::uint16_t, std::uint16_t, Division::kHigh>(a, k).Run();
            return Blur<T, std::uint16_t, std::uint16_t, Division::kHighTwice>(a, k).Run();
        }
        // One below 2^17 exists for every n and 16-bit x (s = 16 + ceil(log2 n)).
        if (ExactDivision(count, largest, 0x20000, 17, 32, mul, shift) && mul >= 0x10000) {
            k.mul = static_cast<std::uint16_t>(mul - 0x10000), k.post = static_cast<std::uint16_t>(1u << (33 - shift));
            if (shift == 17) return Blur<T, std::uint16_t, std::uint16_t, Division::kHigh17>(a, k).Run();
            return Blur<T, std::uint16_t, std::uint16_t, Division::kHigh17Twice>(a, k).Run();
        }
    }
    if (largest < (1u << 21)) return Blur32<T, Division::kFloat>(a, k);
    Blur32<T, Division::kFloatSettled>(a, k);
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
