// The four-neighbour smoothing at SSE2, four pixels a step.
//
// As in the AVX2 kernel, the chain of smoothed left neighbours is broken
// with floor((floor(a / 4) + b) / 4) = floor((a + 4b) / 16): four pixels
// are floor((P + o0 + 4 o1 + 16 o2 + 64 o3) / 4^(i+1)), P the smoothed pixel
// before them and ok the sum of pixel k's other three neighbours. SSE2 has
// no per-lane shifts, but every term fits 16 bits (ok <= 3 * 255, so the
// whole sum <= 255 + 85 * 765 = 65280): the weights are one multiply of
// the low halves of the 32-bit lanes, and the divisions by 4^(i+1) one
// high-half multiply by 2^(16 - 2(i+1)).
#include "platform/pixels/effect_kernels_sse2.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define KR_SMOOTH_SSE2 1
#endif

namespace plat::kernels {

#if KR_SMOOTH_SSE2
namespace {

template <int Bpp>
inline __m128i LoadFour(const std::uint8_t* p) {
    if constexpr (Bpp == 2)
        return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    else
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

template <int Bpp>
inline void StoreFour(std::uint8_t* p, __m128i v) {
    if constexpr (Bpp == 2) {
        // Values below 2^16 in 32-bit lanes: shift to sign-safe packing.
        const __m128i signedWords = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packs_epi32(signedWords, signedWords));
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
}

// One component of four pixels from the sums of their three neighbours
// (at bit 0) and the smoothed value before them in every lane; returns
// the smoothed values at bit 0 (none above the component's largest, as
// each is an average of four) and leaves the last of them in `previous`.
inline __m128i SmoothFour(__m128i sums, __m128i& previous) {
    const __m128i weights = _mm_setr_epi32(1, 4, 16, 64);
    const __m128i divisors = _mm_setr_epi32(1 << 14, 1 << 12, 1 << 10, 1 << 8);
    __m128i t = _mm_mullo_epi16(sums, weights);  // products below 2^16, high halves 0
    t = _mm_add_epi32(t, _mm_slli_si128(t, 4));
    t = _mm_add_epi32(t, _mm_slli_si128(t, 8));
    const __m128i smoothed = _mm_mulhi_epu16(_mm_add_epi32(t, previous), divisors);
    previous = _mm_shuffle_epi32(smoothed, 0xFF);
    return smoothed;
}

template <int Bpp>
void SmoothRows(const RegionArgs& a) {
    const Channels& ch = a.channels;
    const std::ptrdiff_t pitch = a.surface->pitch;
    const std::uint32_t pixelBits = Bpp == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    const bool keepSpare = (ch.Spare() & pixelBits) != 0;
    const __m128i spare = _mm_set1_epi32(static_cast<int>(ch.Spare() & pixelBits));
    const __m128i greenMask = _mm_set1_epi32(static_cast<int>(ch.Max() << ch.shift[1]));
    const __m128i redBlueMask = _mm_set1_epi32(static_cast<int>((ch.Max() << ch.shift[0]) | (ch.Max() << ch.shift[2])));
    const __m128i count[3] = {_mm_cvtsi32_si128(ch.shift[0]), _mm_cvtsi32_si128(ch.shift[1]),
                              _mm_cvtsi32_si128(ch.shift[2])};
    const __m128i blueSumMask = _mm_set1_epi32(static_cast<int>((1u << (ch.shift[2] + ch.bits + 2)) - 1u));
    const int lastColumn = a.width - 1;  // never smoothed
    for (int y = 1; y < a.height - 1; ++y) {
        std::uint8_t* row = a.surface->Row(a.y + y) + static_cast<std::ptrdiff_t>(a.x) * Bpp;
        const std::uint32_t first = LoadPixel(row, Bpp);
        __m128i previous[3];
        for (int c = 0; c < 3; ++c) previous[c] = _mm_set1_epi32(static_cast<int>(ch.Get(first, c)));
        int x = 1;
        for (; x + 4 <= lastColumn; x += 4) {
            std::uint8_t* at = row + x * Bpp;
            const __m128i right = LoadFour<Bpp>(at + Bpp), up = LoadFour<Bpp>(at - pitch);
            const __m128i down = LoadFour<Bpp>(at + pitch);
            // Red and blue summed in one lane (blue's sum stays below red's
            // field), green apart.
            const __m128i redBlue =
                _mm_add_epi32(_mm_add_epi32(_mm_and_si128(right, redBlueMask), _mm_and_si128(up, redBlueMask)),
                              _mm_and_si128(down, redBlueMask));
            const __m128i green = _mm_add_epi32(_mm_add_epi32(_mm_and_si128(right, greenMask), _mm_and_si128(up, greenMask)),
                                                _mm_and_si128(down, greenMask));
            const __m128i sums[3] = {_mm_srl_epi32(redBlue, count[0]),
                                     _mm_srl_epi32(green, count[1]),
                                     _mm_srl_epi32(_mm_and_si128(redBlue, blueSumMask), count[2])};
            __m128i out = keepSpare ? _mm_and_si128(LoadFour<Bpp>(at), spare) : _mm_setzero_si128();
            for (int c = 0; c < 3; ++c)
                out = _mm_or_si128(out, _mm_sll_epi32(SmoothFour(sums[c], previous[c]), count[c]));
            StoreFour<Bpp>(at, out);
        }
        // The last few pixels of the row, on the same running values.
        for (; x < lastColumn; ++x) {
            std::uint8_t* at = row + x * Bpp;
            const std::uint32_t right = LoadPixel(at + Bpp, Bpp), up = LoadPixel(at - pitch, Bpp);
            const std::uint32_t down = LoadPixel(at + pitch, Bpp);
            std::uint32_t out = keepSpare ? LoadPixel(at, Bpp) & ch.Spare() : 0;
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t left = static_cast<std::uint32_t>(_mm_cvtsi128_si32(previous[c]));
                const std::uint32_t smoothed = (left + ch.Get(right, c) + ch.Get(up, c) + ch.Get(down, c)) >> 2;
                out |= smoothed << ch.shift[c];
                previous[c] = _mm_set1_epi32(static_cast<int>(smoothed));
            }
            StorePixel(at, Bpp, out);
        }
    }
}

}  // namespace

bool SmoothRowsSse2(const RegionArgs& a) {
    if (a.channels.bytesPerPixel == 2) return SmoothRows<2>(a), true;
    if (a.channels.bytesPerPixel == 4) return SmoothRows<4>(a), true;
    return false;
}

#else

bool SmoothRowsSse2(const RegionArgs&) { return false; }

#endif

}  // namespace plat::kernels
