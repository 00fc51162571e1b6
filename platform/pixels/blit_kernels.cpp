// Pixel kernels of the surface copies and fills. The keyed copies never
// branch on pixels: each vector of source pixels is compared with the key
// and the destination is selected lane by lane (load, compare, select,
// store), which runs at memory speed whatever the picture looks like; with
// AVX-512BW a masked store skips the key lanes without reading the
// destination. The AVX2 and AVX-512 variants are compiled for their targets
// only and picked at run time, so the build runs on any x86-64. The
// portable level (any processor) takes plain loops the compiler vectorises.
#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/blit_kernels_keyed.h"

#if KR_KERNELS_X86
#include <emmintrin.h>
#include <immintrin.h>
#endif

#include <cstdlib>

#include <bit>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace plat::kernels {
namespace {

using KeyedRectFn = void (*)(const CopyArgs& a, std::uint32_t key);
using FillRowFn = void (*)(std::uint8_t* dst, std::size_t bytes, const std::uint8_t* pattern);

// ---- scalar pieces ----

std::uint32_t Load24(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16);
}

void KeyedRow24(std::uint8_t* dst, const std::uint8_t* src, int width, std::uint32_t key) {
    key &= 0xFFFFFFu;
    for (int i = 0; i < width; ++i, dst += 3, src += 3) {
        if (Load24(src) != key) std::memcpy(dst, src, 3);
    }
}

// A fill row is written in 96-byte chunks of a repeated pixel pattern;
// 96 is a multiple of 2, 3 and 4, so every chunk starts on a pixel.
constexpr std::size_t kPatternBytes = 96;

void BuildPattern(std::uint8_t* pattern, int bytesPerPixel, std::uint32_t value) {
    std::uint8_t pixel[4];
    for (int i = 0; i < 4; ++i) pixel[i] = static_cast<std::uint8_t>(value >> (8 * i));
    for (std::size_t off = 0; off < kPatternBytes; off += static_cast<std::size_t>(bytesPerPixel)) {
        std::memcpy(pattern + off, pixel, static_cast<std::size_t>(bytesPerPixel));
    }
}

// n pixels of Bpp bytes from p, stores of a fixed size.
template <int Bpp>
void FillRun(std::uint8_t* p, int n, std::uint32_t value) {
    for (int i = 0; i < n; ++i, p += Bpp) std::memcpy(p, &value, Bpp);  // little-endian pixels
}

// The masked fill run by run: each run of set bits is found with two bit
// scans, so a row costs its runs, not its 64 bits.
template <int Bpp>
void MaskedFillRuns(std::uint8_t* dst, std::ptrdiff_t pitch, const std::uint64_t* masks, int rows,
                    std::uint32_t value) {
    for (int r = 0; r < rows; ++r, dst += pitch) {
        std::uint64_t m = masks[r];
        while (m != 0) {
            const int start = std::countr_zero(m);
            const int length = std::countr_one(m >> start);
            FillRun<Bpp>(dst + start * Bpp, length, value);
            m = start + length >= 64 ? 0 : m & (~std::uint64_t{0} << (start + length));
        }
    }
}

void KeyedRect24(const CopyArgs& a, std::uint32_t key) {
    for (int y = 0; y < a.rows; ++y) KeyedRow24(a.dst + y * a.dstPitch, a.src + y * a.srcPitch, a.width, key);
}

// ---- SSE2 (every x86-64) ----
#if KR_KERNELS_X86
void FillRowSse2(std::uint8_t* dst, std::size_t bytes, const std::uint8_t* pattern) {
    const __m128i p0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern));
    const __m128i p1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 16));
    const __m128i p2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 32));
    const __m128i p3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 48));
    const __m128i p4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 64));
    const __m128i p5 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 80));
    for (; bytes >= kPatternBytes; bytes -= kPatternBytes, dst += kPatternBytes) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), p0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), p1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), p2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 48), p3);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 64), p4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 80), p5);
    }
    std::memcpy(dst, pattern, bytes);
}

// ---- AVX2 (chosen at run time) ----

__attribute__((target("avx2"))) void FillRowAvx2(std::uint8_t* dst, std::size_t bytes,
                                                 const std::uint8_t* pattern) {
    const __m256i p0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern));
    const __m256i p1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern + 32));
    const __m256i p2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern + 64));
    for (; bytes >= kPatternBytes; bytes -= kPatternBytes, dst += kPatternBytes) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), p0);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32), p1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 64), p2);
    }
    std::memcpy(dst, pattern, bytes);
}

// ---- AVX-512BW (chosen at run time) ----
// Masked stores write only the lanes that are not the key, so the
// destination is never read; the row's tail is a masked load and store.

template <int LaneBytes>
__attribute__((target("avx512f,avx512bw"))) void KeyedRectAvx512(const CopyArgs& a, std::uint32_t key) {
    constexpr int kLanes = 64 / LaneBytes;
    const __m512i k = LaneBytes == 2 ? _mm512_set1_epi16(static_cast<short>(key))
                                     : _mm512_set1_epi32(static_cast<int>(key));
    const int tail = a.width % kLanes;
    const std::uint64_t tailMask = (std::uint64_t{1} << tail) - 1;
    const std::size_t tailOffset = static_cast<std::size_t>(a.width - tail) * LaneBytes;
    for (int y = 0; y < a.rows; ++y) {
        std::uint8_t* d = a.dst + y * a.dstPitch;
        const std::uint8_t* s = a.src + y * a.srcPitch;
        std::size_t off = 0;
        for (; off < tailOffset; off += 64) {
            // Whole vectors of key pixels (an overlay's empty spans) or of
            // opaque pixels (a map) skip the masked store, which costs more.
            const __m512i v = _mm512_loadu_si512(s + off);
            if constexpr (LaneBytes == 2) {
                const __mmask32 m = _mm512_cmpneq_epi16_mask(v, k);
                if (m == 0xFFFFFFFFu) _mm512_storeu_si512(d + off, v);
                else if (m != 0) _mm512_mask_storeu_epi16(d + off, m, v);
            } else {
                const __mmask16 m = _mm512_cmpneq_epi32_mask(v, k);
                if (m == 0xFFFFu) _mm512_storeu_si512(d + off, v);
                else if (m != 0) _mm512_mask_storeu_epi32(d + off, m, v);
            }
        }
        if (tail == 0) continue;
        if constexpr (LaneBytes == 2) {
            const __mmask32 m = static_cast<__mmask32>(tailMask);
            const __m512i v = _mm512_maskz_loadu_epi16(m, s + off);
            _mm512_mask_storeu_epi16(d + off, _mm512_mask_cmpneq_epi16_mask(m, v, k), v);
        } else {
            const __mmask16 m = static_cast<__mmask16>(tailMask);
            const __m512i v = _mm512_maskz_loadu_epi32(m, s + off);
            _mm512_mask_storeu_epi32(d + off, _mm512_mask_cmpneq_epi32_mask(m, v, k), v);
        }
    }
}

// A glyph's row is one or two masked stores of 32 two-byte pixels, or up
// to four of 16 four-byte ones; an empty part stores nothing. A part whose
// pixels all lie in its first half (most rows of a small glyph) is stored
// at half width, which this processor family does in half the time.
template <int LaneBytes>
__attribute__((target("avx512f,avx512bw,avx512vl"))) inline void MaskedPartAvx512(std::uint8_t* dst,
                                                                                  std::uint32_t part, __m512i v,
                                                                                  __m256i half) {
    constexpr unsigned kHalf = 32 / LaneBytes;  // pixels in a 256-bit half
    if (part == 0) return;
    if (part >> kHalf == 0) {
        if constexpr (LaneBytes == 2) _mm256_mask_storeu_epi16(dst, static_cast<__mmask16>(part), half);
        else _mm256_mask_storeu_epi32(dst, static_cast<__mmask8>(part), half);
        return;
    }
    if constexpr (LaneBytes == 2) _mm512_mask_storeu_epi16(dst, part, v);
    else _mm512_mask_storeu_epi32(dst, static_cast<__mmask16>(part), v);
}

template <int LaneBytes>
__attribute__((target("avx512f,avx512bw,avx512vl"))) void MaskedFillAvx512(std::uint8_t* dst, std::ptrdiff_t pitch,
                                                                          const std::uint64_t* masks, int rows,
                                                                          std::uint32_t value) {
    constexpr int kParts = LaneBytes == 2 ? 2 : 4, kPartBits = 64 / kParts;
    constexpr std::uint64_t kPartMask = (std::uint64_t{1} << kPartBits) - 1;
    const __m512i v = LaneBytes == 2 ? _mm512_set1_epi16(static_cast<short>(value))
                                     : _mm512_set1_epi32(static_cast<int>(value));
    const __m256i half = LaneBytes == 2 ? _mm256_set1_epi16(static_cast<short>(value))
                                        : _mm256_set1_epi32(static_cast<int>(value));
    for (int r = 0; r < rows; ++r, dst += pitch) {
        const std::uint64_t m = masks[r];
        MaskedPartAvx512<LaneBytes>(dst, static_cast<std::uint32_t>(m & kPartMask), v, half);
        for (int q = 1; q < kParts && (m >> (q * kPartBits)) != 0; ++q)
            MaskedPartAvx512<LaneBytes>(dst + 64 * q, static_cast<std::uint32_t>((m >> (q * kPartBits)) & kPartMask),
                                        v, half);
    }
}

#endif  // KR_KERNELS_X86

// ---- portable (any processor) ----
// The keyed row selects per pixel without a branch, a loop the compiler
// turns into its own vector code where the target has vectors.

template <int LaneBytes>
void KeyedRectPortable(const CopyArgs& a, std::uint32_t key) {
    using Lane = std::conditional_t<LaneBytes == 2, std::uint16_t, std::uint32_t>;
    const Lane k = static_cast<Lane>(key);
    for (int y = 0; y < a.rows; ++y) {
        std::uint8_t* d = a.dst + y * a.dstPitch;
        const std::uint8_t* s = a.src + y * a.srcPitch;
        for (int i = 0; i < a.width; ++i) {
            Lane sp, dp;
            std::memcpy(&sp, s + i * LaneBytes, LaneBytes);
            std::memcpy(&dp, d + i * LaneBytes, LaneBytes);
            const Lane out = sp == k ? dp : sp;
            std::memcpy(d + i * LaneBytes, &out, LaneBytes);
        }
    }
}

void FillRowPortable(std::uint8_t* dst, std::size_t bytes, const std::uint8_t* pattern) {
    for (; bytes >= kPatternBytes; bytes -= kPatternBytes, dst += kPatternBytes) std::memcpy(dst, pattern, kPatternBytes);
    std::memcpy(dst, pattern, bytes);
}

// ---- dispatch ----

struct KernelSet {
    const char* name;
    KernelLevel level;
    KeyedRectFn keyed16;
    KeyedRectFn keyed32;
    FillRowFn fill;
    MaskedFillFn maskedFill16;
    MaskedFillFn maskedFill32;
};

constexpr KernelSet kPortableSet{"portable", KernelLevel::kPortable, KeyedRectPortable<2>, KeyedRectPortable<4>,
                                 FillRowPortable, MaskedFillRuns<2>, MaskedFillRuns<4>};
#if KR_KERNELS_X86
constexpr KernelSet kSse2{"sse2", KernelLevel::kSse2, keyed::RectSse2Pixels2, keyed::RectSse2Pixels4, FillRowSse2,
                         MaskedFillRuns<2>, MaskedFillRuns<4>};
constexpr KernelSet kAvx2{"avx2", KernelLevel::kAvx2, keyed::RectAvx2Pixels2, keyed::RectAvx2Pixels4, FillRowAvx2,
                         MaskedFillRuns<2>, MaskedFillRuns<4>};
constexpr KernelSet kAvx512{"avx512bw", KernelLevel::kAvx512, KeyedRectAvx512<2>, KeyedRectAvx512<4>, FillRowAvx2,
                           MaskedFillAvx512<2>, MaskedFillAvx512<4>};

#endif  // KR_KERNELS_X86

// The highest level KR_KERNEL_LEVEL allows (all of them when unset); an
// unknown name is reported once and caps nothing.
KernelLevel LevelCap() {
    static const KernelLevel cap = [] {
        const char* name = std::getenv("KR_KERNEL_LEVEL");
        if (!name || !*name) return KernelLevel::kAvx512;
        const struct {
            const char* name;
            KernelLevel level;
        } names[] = {{"portable", KernelLevel::kPortable},
                     {"sse2", KernelLevel::kSse2},
                     {"avx2", KernelLevel::kAvx2},
                     {"avx512", KernelLevel::kAvx512}};
        for (const auto& n : names)
            if (std::strcmp(name, n.name) == 0) return n.level;
        std::fprintf(stderr, "KR_KERNEL_LEVEL: %s is not portable, sse2, avx2 or avx512; ignored\n", name);
        return KernelLevel::kAvx512;
    }();
    return cap;
}

bool CpuHas(KernelLevel level) {
    if (level > LevelCap()) return false;
#if KR_KERNELS_X86
    __builtin_cpu_init();
    switch (level) {
        case KernelLevel::kAvx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vl");
        case KernelLevel::kAvx2: return __builtin_cpu_supports("avx2");
        default: return true;
    }
#else
    return level == KernelLevel::kPortable;
#endif
}

const KernelSet* SetFor(KernelLevel level) {
    switch (level) {
#if KR_KERNELS_X86
        case KernelLevel::kAvx512: return &kAvx512;
        case KernelLevel::kAvx2: return &kAvx2;
        case KernelLevel::kSse2: return &kSse2;
#endif
        default: return &kPortableSet;
    }
}

// Constant-initialised, so a kernel called during another file's static
// start-up finds the baseline set; upgraded once the processor is known,
// unless a level was chosen before (by another file's start-up).
#if KR_KERNELS_X86
const KernelSet* active = &kSse2;
#else
const KernelSet* active = &kPortableSet;
#endif
bool levelChosen = false;
[[maybe_unused]] const bool kernelsChosen = (levelChosen ? 0 : (active = SetFor(BestKernelLevel()), 0), true);

KeyedRectFn KeyedRectFor(int bytesPerPixel) {
    switch (bytesPerPixel) {
        case 2: return active->keyed16;
        case 4: return active->keyed32;
        default: return KeyedRect24;
    }
}

}  // namespace

void CopyRect(const CopyArgs& a, int bytesPerPixel) {
    const std::size_t rowBytes = static_cast<std::size_t>(a.width) * static_cast<std::size_t>(bytesPerPixel);
    std::uint8_t* d = a.dst;
    const std::uint8_t* s = a.src;
    for (int y = 0; y < a.rows; ++y, d += a.dstPitch, s += a.srcPitch) std::memcpy(d, s, rowBytes);
}

void KeyedCopy(const CopyArgs& a, int bytesPerPixel, std::uint32_t key) {
    if (bytesPerPixel < 4) key &= (1u << (8 * bytesPerPixel)) - 1u;
    KeyedRectFor(bytesPerPixel)(a, key);
}

void Fill(std::uint8_t* dst, std::ptrdiff_t pitch, int width, int rows, int bytesPerPixel, std::uint32_t value) {
    alignas(32) std::uint8_t pattern[kPatternBytes];
    BuildPattern(pattern, bytesPerPixel, value);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel);
    const FillRowFn row = active->fill;
    for (int y = 0; y < rows; ++y, dst += pitch) row(dst, rowBytes, pattern);
}

MaskedFillFn MaskedFillFor(int bytesPerPixel) {
    switch (bytesPerPixel) {
        case 2: return active->maskedFill16;
        case 4: return active->maskedFill32;
        default: return MaskedFillRuns<3>;
    }
}

void MaskedFill(std::uint8_t* dst, std::ptrdiff_t pitch, const std::uint64_t* masks, int rows, int bytesPerPixel,
                std::uint32_t value) {
    MaskedFillFor(bytesPerPixel)(dst, pitch, masks, rows, value);
}

void ReferenceCopyRect(const CopyArgs& a, int bytesPerPixel) {
    for (int y = 0; y < a.rows; ++y) {
        for (int x = 0; x < a.width * bytesPerPixel; ++x) a.dst[y * a.dstPitch + x] = a.src[y * a.srcPitch + x];
    }
}

void ReferenceKeyedCopy(const CopyArgs& a, int bytesPerPixel, std::uint32_t key) {
    const std::uint32_t keyMask = bytesPerPixel == 4 ? 0xFFFFFFFFu : (1u << (8 * bytesPerPixel)) - 1u;
    for (int y = 0; y < a.rows; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const std::uint8_t* s = a.src + y * a.srcPitch + x * bytesPerPixel;
            std::uint32_t p = 0;
            for (int b = 0; b < bytesPerPixel; ++b) p |= static_cast<std::uint32_t>(s[b]) << (8 * b);
            if (p == (key & keyMask)) continue;
            std::uint8_t* d = a.dst + y * a.dstPitch + x * bytesPerPixel;
            for (int b = 0; b < bytesPerPixel; ++b) d[b] = s[b];
        }
    }
}

void ReferenceFill(std::uint8_t* dst, std::ptrdiff_t pitch, int width, int rows, int bytesPerPixel,
                   std::uint32_t value) {
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int b = 0; b < bytesPerPixel; ++b) {
                dst[y * pitch + x * bytesPerPixel + b] = static_cast<std::uint8_t>(value >> (8 * b));
            }
        }
    }
}

void ReferenceMaskedFill(std::uint8_t* dst, std::ptrdiff_t pitch, const std::uint64_t* masks, int rows,
                         int bytesPerPixel, std::uint32_t value) {
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (((masks[y] >> x) & 1) == 0) continue;
            for (int b = 0; b < bytesPerPixel; ++b)
                dst[y * pitch + x * bytesPerPixel + b] = static_cast<std::uint8_t>(value >> (8 * b));
        }
    }
}

KernelLevel BestKernelLevel() {
    if (CpuHas(KernelLevel::kAvx512)) return KernelLevel::kAvx512;
    if (CpuHas(KernelLevel::kAvx2)) return KernelLevel::kAvx2;
    if (CpuHas(KernelLevel::kSse2)) return KernelLevel::kSse2;
    return KernelLevel::kPortable;
}

bool UseKernelLevel(KernelLevel level) {
    if (!CpuHas(level)) return false;
    active = SetFor(level);
    levelChosen = true;
    return true;
}

const char* ActiveKernelName() { return active->name; }

KernelLevel ActiveKernelLevel() { return active->level; }

}  // namespace plat::kernels
