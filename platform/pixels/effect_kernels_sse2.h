// Effect kernels written for SSE2, the x86-64 baseline, where the wider
// levels' kernels do not run (see effect_kernels.cpp for the rules).
#pragma once

#include "platform/pixels/effect_kernels.h"

namespace plat::kernels {

// The four-neighbour smoothing of all three components of 2- or 4-byte
// pixels whose blue sits below red with room for a sum of three (as the
// AVX2 kernel needs). False, with nothing written, where the build has no
// SSE2 (not an x86 target) or the pixels are of another size.
bool SmoothRowsSse2(const RegionArgs& a);

}  // namespace plat::kernels
