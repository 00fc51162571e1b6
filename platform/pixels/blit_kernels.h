// Pixel kernels behind the surface copies and fills: row copies, keyed
// copies and fills for 2-, 3- and 4-byte pixels. The fast 16- and 32-bit
// keyed copies work over vector lanes (SSE2 everywhere, AVX2 or AVX-512BW
// when the processor has it, chosen once at start) on x86-64; on other
// processors, or with the level capped to portable, every kernel is plain
// C++ without instruction-set intrinsics. The Reference* kernels are plain
// per-pixel loops that the fast ones are tested against.
//
// Kernels take already clipped rectangles; src and dst must not overlap
// (the caller copies overlapping rectangles through a temporary).
#pragma once
#include <cstddef>
#include <cstdint>

// The x86 kernels are compiled only for x86-64 targets.
#if defined(__x86_64__) || defined(_M_X64)
#define KR_KERNELS_X86 1
#else
#define KR_KERNELS_X86 0
#endif

namespace plat::kernels {

struct CopyArgs {
    std::uint8_t* dst = nullptr;
    std::ptrdiff_t dstPitch = 0;  // bytes
    const std::uint8_t* src = nullptr;
    std::ptrdiff_t srcPitch = 0;  // bytes
    int width = 0;                // pixels
    int rows = 0;
};

// Opaque copy: one memcpy per row.
void CopyRect(const CopyArgs& a, int bytesPerPixel);
// Keyed copy: source pixels equal to key leave the destination unchanged.
// For 3-byte pixels the key is the low 24 bits.
void KeyedCopy(const CopyArgs& a, int bytesPerPixel, std::uint32_t key);
// Fills width x rows pixels starting at dst with value.
void Fill(std::uint8_t* dst, std::ptrdiff_t pitch, int width, int rows, int bytesPerPixel, std::uint32_t value);

// Writes value at pixel i of row r (row r starting at dst + r * pitch)
// wherever bit i of masks[r] is set, and nowhere else: a glyph's ink, up to
// 64 pixels wide, one word a row. For 2-, 3- and 4-byte pixels.
void MaskedFill(std::uint8_t* dst, std::ptrdiff_t pitch, const std::uint64_t* masks, int rows, int bytesPerPixel,
                std::uint32_t value);
// The same for one pixel size at the level in use, for a caller that fills
// many glyphs and would otherwise choose the kernel for each.
using MaskedFillFn = void (*)(std::uint8_t* dst, std::ptrdiff_t pitch, const std::uint64_t* masks, int rows,
                              std::uint32_t value);
MaskedFillFn MaskedFillFor(int bytesPerPixel);

void ReferenceCopyRect(const CopyArgs& a, int bytesPerPixel);
void ReferenceKeyedCopy(const CopyArgs& a, int bytesPerPixel, std::uint32_t key);
void ReferenceFill(std::uint8_t* dst, std::ptrdiff_t pitch, int width, int rows, int bytesPerPixel,
                   std::uint32_t value);
void ReferenceMaskedFill(std::uint8_t* dst, std::ptrdiff_t pitch, const std::uint64_t* masks, int rows,
                         int bytesPerPixel, std::uint32_t value);

// The instruction sets the fast kernels come in, lowest first. Portable is
// plain C++ (the compiler's own vectors or the per-pixel references) and
// the only level off x86-64. The best one the processor has is used from
// start-up; tests and benchmarks may pick another to cover each on one
// machine. KR_KERNEL_LEVEL=portable|sse2|avx2|avx512 in the environment
// caps the levels, as if the processor had none above it. (Portable is -1
// so that the x86 levels keep their numbers.)
enum class KernelLevel { kPortable = -1, kSse2, kAvx2, kAvx512 };
KernelLevel BestKernelLevel();
// False (and no change) when the processor lacks the level or the cap
// excludes it.
bool UseKernelLevel(KernelLevel level);
const char* ActiveKernelName();
// The level in use (other pixel kernels follow it).
KernelLevel ActiveKernelLevel();

}  // namespace plat::kernels
