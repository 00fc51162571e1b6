// Alpha from per-field tables at AVX2 (see blend_kernels_tables.h).
//
// 32 pixels go at a time. Each field's source and destination values are
// packed into 32 bytes, and each 16-bit table entry is looked up as two
// bytes, low and high, by byte shuffles: a shuffle reads 16 entries, so a
// table of 32 or 64 is read in pieces of 16, the index lowered by 16 for
// each further piece (a negative index reads 0) and every piece after the
// first stored as its xor with the piece before, so that the xor of all
// the reads is the entry. The sum X + Y is then made in bytes: the carry
// out of the low bytes is one signed comparison, because the source's low
// bytes are stored with their top bit flipped and the destination's
// complemented with the top bit flipped (Xl + Yl > 255 exactly when
// Xl > 255 - Yl). The field's result is the top bits of the high byte of
// the sum, and the three are put together into the two bytes of each pixel.
#include "platform/pixels/blend_kernels_tables.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KR_TABLES_AVX2 1
#endif

namespace plat::blend::tables {

#if KR_TABLES_AVX2
namespace {

#define KR_AVX2 __attribute__((target("avx2")))

constexpr int kPixels = 32;  // per step: two vectors of 16-bit pixels, one of bytes per field

// One byte of every entry of a table, in pieces of 16 as the shuffles read
// them (the same piece in both 128-bit halves).
struct ByteTable {
    __m256i piece[4];
};

// A field's tables split into bytes, the low ones stored for the carry test.
struct FieldTables {
    ByteTable sourceLow, sourceHigh, destLow, destHigh;
};

struct CallTables {
    FieldTables field[3];
};

// The bytes (entry >> shift) ^ flip of a table of `entries` entries.
KR_AVX2 ByteTable SplitTable(const std::uint16_t* table, int entries, int shift, std::uint8_t flip) {
    std::uint8_t bytes[64] = {};
    for (int i = 0; i < entries; ++i) bytes[i] = static_cast<std::uint8_t>((table[i] >> shift) ^ flip);
    ByteTable t;
    for (int p = 0; p < 4; ++p) {
        alignas(16) std::uint8_t piece[16];
        for (int j = 0; j < 16; ++j) {
            const std::uint8_t before = p ? bytes[(p - 1) * 16 + j] : 0;
            piece[j] = static_cast<std::uint8_t>(bytes[p * 16 + j] ^ before);
        }
        t.piece[p] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(piece)));
    }
    return t;
}

KR_AVX2 FieldTables SplitField(const std::uint16_t* bySource, const std::uint16_t* byDest, int entries) {
    return {SplitTable(bySource, entries, 0, 0x80), SplitTable(bySource, entries, 8, 0),
            SplitTable(byDest, entries, 0, 0x7F), SplitTable(byDest, entries, 8, 0)};
}

// The indices of each piece of a table of 2^Bits entries for values v.
template <int Bits>
struct PieceIndices {
    __m256i at[Bits == 6 ? 4 : 2];
};

template <int Bits>
KR_AVX2 inline PieceIndices<Bits> IndicesOf(__m256i v) {
    PieceIndices<Bits> p;
    p.at[0] = v;
    p.at[1] = _mm256_sub_epi8(v, _mm256_set1_epi8(16));
    if constexpr (Bits == 6) {
        p.at[2] = _mm256_sub_epi8(v, _mm256_set1_epi8(32));
        p.at[3] = _mm256_sub_epi8(v, _mm256_set1_epi8(48));
    }
    return p;
}

template <int Bits>
KR_AVX2 inline __m256i Lookup(const ByteTable& t, const PieceIndices<Bits>& p) {
    __m256i r = _mm256_xor_si256(_mm256_shuffle_epi8(t.piece[0], p.at[0]), _mm256_shuffle_epi8(t.piece[1], p.at[1]));
    if constexpr (Bits == 6)
        r = _mm256_xor_si256(r, _mm256_xor_si256(_mm256_shuffle_epi8(t.piece[2], p.at[2]),
                                                 _mm256_shuffle_epi8(t.piece[3], p.at[3])));
    return r;
}

// The high byte of X(s) + Y(d) for 32 pairs of field values.
template <int Bits>
KR_AVX2 inline __m256i HighSum(const FieldTables& f, __m256i s, __m256i d) {
    const PieceIndices<Bits> si = IndicesOf<Bits>(s), di = IndicesOf<Bits>(d);
    const __m256i carry = _mm256_cmpgt_epi8(Lookup<Bits>(f.sourceLow, si), Lookup<Bits>(f.destLow, di));
    const __m256i high = _mm256_add_epi8(Lookup<Bits>(f.sourceHigh, si), Lookup<Bits>(f.destHigh, di));
    return _mm256_sub_epi8(high, carry);  // the carry mask is -1
}

KR_AVX2 inline __m256i Bytes(int value) { return _mm256_set1_epi8(static_cast<char>(value)); }
KR_AVX2 inline __m256i Words(int value) { return _mm256_set1_epi16(static_cast<short>(value)); }

// Red, green and blue of 32 pixels (a then b), one byte each, in the
// order in which packing two vectors of words leaves them.
template <int GreenBits>
KR_AVX2 inline void FieldsOf(__m256i a, __m256i b, __m256i out[3]) {
    const __m256i five = Words(31), green = Words((1 << GreenBits) - 1);
    constexpr int redShift = 5 + GreenBits;
    if constexpr (GreenBits == 6) {
        out[0] = _mm256_packus_epi16(_mm256_srli_epi16(a, redShift), _mm256_srli_epi16(b, redShift));
    } else {
        out[0] = _mm256_packus_epi16(_mm256_and_si256(_mm256_srli_epi16(a, redShift), five),
                                     _mm256_and_si256(_mm256_srli_epi16(b, redShift), five));
    }
    out[1] = _mm256_packus_epi16(_mm256_and_si256(_mm256_srli_epi16(a, 5), green),
                                 _mm256_and_si256(_mm256_srli_epi16(b, 5), green));
    out[2] = _mm256_packus_epi16(_mm256_and_si256(a, five), _mm256_and_si256(b, five));
}

// 32 pixels blended: sa, sb and da, db are the source's and destination's
// two vectors; the results go back into da and db.
template <int GreenBits>
KR_AVX2 inline void Blend32(const CallTables& t, __m256i sa, __m256i sb, __m256i& da, __m256i& db) {
    __m256i s[3], d[3];
    FieldsOf<GreenBits>(sa, sb, s);
    FieldsOf<GreenBits>(da, db, d);
    const __m256i red = HighSum<5>(t.field[0], s[0], d[0]);
    const __m256i green = HighSum<GreenBits>(t.field[1], s[1], d[1]);
    const __m256i blue = HighSum<5>(t.field[2], s[2], d[2]);
    // Each result is the top bits of its byte; byte shifts are word shifts
    // whose bits from the neighbouring byte are masked off.
    __m256i high, low;
    const __m256i blueLow = _mm256_and_si256(_mm256_srli_epi16(blue, 3), Bytes(0x1F));
    if constexpr (GreenBits == 6) {
        high = _mm256_or_si256(_mm256_and_si256(red, Bytes(0xF8)),
                               _mm256_and_si256(_mm256_srli_epi16(green, 5), Bytes(0x07)));
        low = _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(green, 3), Bytes(0xE0)), blueLow);
    } else {
        high = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(red, 1), Bytes(0x7C)),
                               _mm256_and_si256(_mm256_srli_epi16(green, 6), Bytes(0x03)));
        low = _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(green, 2), Bytes(0xE0)), blueLow);
    }
    const __m256i colour = Words(GreenBits == 6 ? 0xFFFF : 0x7FFF), zero = _mm256_setzero_si256();
    const __m256i clearA = _mm256_cmpeq_epi16(_mm256_and_si256(sa, colour), zero);
    const __m256i clearB = _mm256_cmpeq_epi16(_mm256_and_si256(sb, colour), zero);
    da = _mm256_blendv_epi8(_mm256_unpacklo_epi8(low, high), da, clearA);
    db = _mm256_blendv_epi8(_mm256_unpackhi_epi8(low, high), db, clearB);
}

template <int GreenBits>
KR_AVX2 void BlendRows(const Rows& a, const CallTables& t) {
    for (int y = 0; y < a.rows; ++y) {
        const std::uint8_t* s = a.src + y * a.srcPitch;
        std::uint8_t* d = a.dst + y * a.dstPitch;
        int x = 0;
        for (; x + kPixels <= a.width; x += kPixels) {
            const auto* sv = reinterpret_cast<const __m256i*>(s + 2 * x);
            auto* dv = reinterpret_cast<__m256i*>(d + 2 * x);
            __m256i da = _mm256_loadu_si256(dv), db = _mm256_loadu_si256(dv + 1);
            Blend32<GreenBits>(t, _mm256_loadu_si256(sv), _mm256_loadu_si256(sv + 1), da, db);
            _mm256_storeu_si256(dv, da);
            _mm256_storeu_si256(dv + 1, db);
        }
        if (x == a.width) continue;
        // The last few pixels through a zeroed block (zero source pixels
        // leave their destination, and only the row's own bytes go back).
        const std::size_t bytes = static_cast<std::size_t>(a.width - x) * 2;
        alignas(32) std::uint16_t sourceTail[kPixels] = {}, destTail[kPixels] = {};
        std::memcpy(sourceTail, s + 2 * x, bytes);
        std::memcpy(destTail, d + 2 * x, bytes);
        auto* sv = reinterpret_cast<const __m256i*>(sourceTail);
        auto* dv = reinterpret_cast<__m256i*>(destTail);
        __m256i da = _mm256_load_si256(dv), db = _mm256_load_si256(dv + 1);
        Blend32<GreenBits>(t, _mm256_load_si256(sv), _mm256_load_si256(sv + 1), da, db);
        _mm256_store_si256(dv, da);
        _mm256_store_si256(dv + 1, db);
        std::memcpy(d + 2 * x, destTail, bytes);
    }
}

KR_AVX2 void SplitAndBlend(const Rows& a, int greenBits, const AlphaFieldTables& t) {
    CallTables split;
    for (int i = 0; i < 3; ++i) {
        const int entries = i == 1 ? 1 << greenBits : 32;
        split.field[i] = SplitField(t.bySource[i], t.byDest[i], entries);
    }
    if (greenBits == 6) BlendRows<6>(a, split);
    else BlendRows<5>(a, split);
}

}  // namespace

bool AlphaFromTablesAvx2(const Rows& a, int greenBits, const AlphaFieldTables& t) {
    if (!__builtin_cpu_supports("avx2") || (greenBits != 5 && greenBits != 6)) return false;
    SplitAndBlend(a, greenBits, t);
    return true;
}

#else

bool AlphaFromTablesAvx2(const Rows&, int, const AlphaFieldTables&) { return false; }

#endif

}  // namespace plat::blend::tables
