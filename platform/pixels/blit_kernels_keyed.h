// Keyed copies below AVX-512 that skip the key's runs (see
// blit_kernels_keyed.cpp), for the kernel sets of blit_kernels.cpp.
#pragma once
#include <cstdint>

#include "platform/pixels/blit_kernels.h"

namespace plat::kernels::keyed {

// Keyed copies of 2- and 4-byte pixels (the key in the pixel's low bytes).
// The AVX2 ones need a processor that has AVX2; on a target other than
// x86 every one of them is the per-pixel reference.
void RectSse2Pixels2(const CopyArgs& a, std::uint32_t key);
void RectSse2Pixels4(const CopyArgs& a, std::uint32_t key);
void RectAvx2Pixels2(const CopyArgs& a, std::uint32_t key);
void RectAvx2Pixels4(const CopyArgs& a, std::uint32_t key);

}  // namespace plat::kernels::keyed
