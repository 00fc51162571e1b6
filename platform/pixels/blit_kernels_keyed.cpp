// Keyed copies at SSE2 and AVX2 that follow the picture's runs.
//
// A picture with a key is mostly long runs: empty spans of the key and
// opaque spans. The rows go in blocks of 64 bytes; a block of nothing but
// the key is skipped without touching the destination, a block without the
// key is stored whole without reading it, and only a block where the two
// meet reads the destination and selects lane by lane, vector by vector
// (each vector again skipped or stored whole where it can be). A row's
// last pixels are one more vector that ends at the row's end, overlapping
// the pixels before it: a keyed copy done twice gives the same pixels.
#include "platform/pixels/blit_kernels_keyed.h"

#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KR_KEYED_X86 1
#endif

namespace plat::kernels::keyed {

namespace {

template <int LaneBytes>
void KeyedRowScalar(std::uint8_t* dst, const std::uint8_t* src, int width, std::uint32_t key) {
    for (int i = 0; i < width; ++i) {
        std::uint32_t p = 0;
        std::memcpy(&p, src + i * LaneBytes, LaneBytes);
        if (p != key) std::memcpy(dst + i * LaneBytes, &p, LaneBytes);
    }
}

#if KR_KEYED_X86

constexpr std::size_t kBlockBytes = 64;

// ---- SSE2 ----

template <int LaneBytes>
inline __m128i KeyLanes(__m128i v, __m128i key) {
    if constexpr (LaneBytes == 2) return _mm_cmpeq_epi16(v, key);
    else return _mm_cmpeq_epi32(v, key);
}

// One vector whose key lanes are in isKey (movemask `bits`).
inline void StoreVectorSse2(std::uint8_t* d, __m128i s, __m128i isKey, int bits) {
    if (bits == 0xFFFF) return;
    auto* v = reinterpret_cast<__m128i*>(d);
    if (bits == 0) return _mm_storeu_si128(v, s);
    const __m128i old = _mm_loadu_si128(v);
    _mm_storeu_si128(v, _mm_or_si128(_mm_and_si128(isKey, old), _mm_andnot_si128(isKey, s)));
}

template <int LaneBytes>
inline void VectorSse2(std::uint8_t* d, const std::uint8_t* s, __m128i key) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i isKey = KeyLanes<LaneBytes>(v, key);
    StoreVectorSse2(d, v, isKey, _mm_movemask_epi8(isKey));
}

template <int LaneBytes>
void RowSse2(std::uint8_t* d, const std::uint8_t* s, int width, __m128i key, std::uint32_t pixelKey) {
    const std::size_t bytes = static_cast<std::size_t>(width) * LaneBytes;
    if (bytes < 16) return KeyedRowScalar<LaneBytes>(d, s, width, pixelKey);
    std::size_t off = 0;
    for (; off + kBlockBytes <= bytes; off += kBlockBytes) {
        __m128i v[4], isKey[4];
        for (int i = 0; i < 4; ++i) {
            v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + off + 16 * i));
            isKey[i] = KeyLanes<LaneBytes>(v[i], key);
        }
        const __m128i all = _mm_and_si128(_mm_and_si128(isKey[0], isKey[1]), _mm_and_si128(isKey[2], isKey[3]));
        const __m128i any = _mm_or_si128(_mm_or_si128(isKey[0], isKey[1]), _mm_or_si128(isKey[2], isKey[3]));
        if (_mm_movemask_epi8(all) == 0xFFFF) continue;
        if (_mm_movemask_epi8(any) == 0) {
            for (int i = 0; i < 4; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(d + off + 16 * i), v[i]);
            continue;
        }
        for (int i = 0; i < 4; ++i) {
            auto* to = reinterpret_cast<__m128i*>(d + off + 16 * i);
            _mm_storeu_si128(to, _mm_or_si128(_mm_and_si128(isKey[i], _mm_loadu_si128(to)), _mm_andnot_si128(isKey[i], v[i])));
        }
    }
    for (; off + 16 <= bytes; off += 16) VectorSse2<LaneBytes>(d + off, s + off, key);
    if (off < bytes) VectorSse2<LaneBytes>(d + bytes - 16, s + bytes - 16, key);
}

template <int LaneBytes>
void RectSse2(const CopyArgs& a, std::uint32_t key) {
    const __m128i k = LaneBytes == 2 ? _mm_set1_epi16(static_cast<short>(key)) : _mm_set1_epi32(static_cast<int>(key));
    for (int y = 0; y < a.rows; ++y)
        RowSse2<LaneBytes>(a.dst + y * a.dstPitch, a.src + y * a.srcPitch, a.width, k, key);
}

// ---- AVX2 ----

#define KR_AVX2 __attribute__((target("avx2")))

template <int LaneBytes>
KR_AVX2 inline __m256i KeyLanes256(__m256i v, __m256i key) {
    if constexpr (LaneBytes == 2) return _mm256_cmpeq_epi16(v, key);
    else return _mm256_cmpeq_epi32(v, key);
}

KR_AVX2 inline void StoreVectorAvx2(std::uint8_t* d, __m256i s, __m256i isKey, unsigned bits) {
    if (bits == 0xFFFFFFFFu) return;
    auto* v = reinterpret_cast<__m256i*>(d);
    if (bits == 0) return _mm256_storeu_si256(v, s);
    _mm256_storeu_si256(v, _mm256_blendv_epi8(s, _mm256_loadu_si256(v), isKey));
}

template <int LaneBytes>
KR_AVX2 inline void VectorAvx2(std::uint8_t* d, const std::uint8_t* s, __m256i key) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
    const __m256i isKey = KeyLanes256<LaneBytes>(v, key);
    StoreVectorAvx2(d, v, isKey, static_cast<unsigned>(_mm256_movemask_epi8(isKey)));
}

template <int LaneBytes>
KR_AVX2 void RowAvx2(std::uint8_t* d, const std::uint8_t* s, int width, __m256i key, std::uint32_t pixelKey) {
    const std::size_t bytes = static_cast<std::size_t>(width) * LaneBytes;
    if (bytes < 32) return RowSse2<LaneBytes>(d, s, width, _mm256_castsi256_si128(key), pixelKey);
    std::size_t off = 0;
    for (; off + kBlockBytes <= bytes; off += kBlockBytes) {
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + off));
        const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + off + 32));
        const __m256i k0 = KeyLanes256<LaneBytes>(v0, key), k1 = KeyLanes256<LaneBytes>(v1, key);
        const unsigned all = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(k0, k1)));
        const unsigned any = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(k0, k1)));
        if (all == 0xFFFFFFFFu) continue;
        if (any == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + off), v0);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + off + 32), v1);
            continue;
        }
        auto* to = reinterpret_cast<__m256i*>(d + off);
        _mm256_storeu_si256(to, _mm256_blendv_epi8(v0, _mm256_loadu_si256(to), k0));
        _mm256_storeu_si256(to + 1, _mm256_blendv_epi8(v1, _mm256_loadu_si256(to + 1), k1));
    }
    for (; off + 32 <= bytes; off += 32) VectorAvx2<LaneBytes>(d + off, s + off, key);
    if (off < bytes) VectorAvx2<LaneBytes>(d + bytes - 32, s + bytes - 32, key);
}

template <int LaneBytes>
KR_AVX2 void RectAvx2(const CopyArgs& a, std::uint32_t key) {
    const __m256i k = LaneBytes == 2 ? _mm256_set1_epi16(static_cast<short>(key))
                                     : _mm256_set1_epi32(static_cast<int>(key));
    for (int y = 0; y < a.rows; ++y)
        RowAvx2<LaneBytes>(a.dst + y * a.dstPitch, a.src + y * a.srcPitch, a.width, k, key);
}

#else

template <int LaneBytes>
void RectScalar(const CopyArgs& a, std::uint32_t key) {
    for (int y = 0; y < a.rows; ++y) KeyedRowScalar<LaneBytes>(a.dst + y * a.dstPitch, a.src + y * a.srcPitch, a.width, key);
}

#endif

}  // namespace

#if KR_KEYED_X86
void RectSse2Pixels2(const CopyArgs& a, std::uint32_t key) { RectSse2<2>(a, key); }
void RectSse2Pixels4(const CopyArgs& a, std::uint32_t key) { RectSse2<4>(a, key); }
void RectAvx2Pixels2(const CopyArgs& a, std::uint32_t key) { RectAvx2<2>(a, key); }
void RectAvx2Pixels4(const CopyArgs& a, std::uint32_t key) { RectAvx2<4>(a, key); }
#else
void RectSse2Pixels2(const CopyArgs& a, std::uint32_t key) { RectScalar<2>(a, key); }
void RectSse2Pixels4(const CopyArgs& a, std::uint32_t key) { RectScalar<4>(a, key); }
void RectAvx2Pixels2(const CopyArgs& a, std::uint32_t key) { RectScalar<2>(a, key); }
void RectAvx2Pixels4(const CopyArgs& a, std::uint32_t key) { RectScalar<4>(a, key); }
#endif

}  // namespace plat::kernels::keyed
