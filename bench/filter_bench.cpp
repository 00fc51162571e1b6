// Speed of the full-screen four-neighbour smoothing (krDraw::SmoothRect over
// the 800 x 600 back screen, 5-6-5), against memcpy of the same bytes in the
// same run; the kernels on 16- and 32-bit pixels, fast and reference, for
// scale. The smoke, noise, mosaic and enlargement over the screen, and the
// smoke's and the blur's kernels (the blur at block sizes from 1 to 256)
// with their references, beside the same memcpy. Every case reports Gpix/s.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "draw/krDraw.h"
#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/effect_kernels.h"
#include "platform/headless/headless.h"
#include "system/krSystem.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

void ReportPixels(benchmark::State& state) {
    state.counters["Gpix/s"] = benchmark::Counter(double{kWidth} * kHeight * static_cast<double>(state.iterations()) / 1e9,
                                                  benchmark::Counter::kIsRate);
}

void Noise(plat::Surface& s, unsigned seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) plat::PutPixel(s, x, y, rng());
}

void Smooth_Ours(benchmark::State& state) {
    plat::SetBackend(&plat::headless::Instance());
    krSystem::ProcessStart();
    krSystem::InitState();
    krSystemState.fullScreen = 0;
    if (krDraw::Screen(kWidth, kHeight, 1) != 1) return state.SkipWithError("no screen");
    Noise(*krScreen.back, 1);
    for (auto _ : state) {
        krDraw::SmoothRect(0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
}

// The other full-screen filters of the family, for scale.
template <class Filter>
void FullScreen(benchmark::State& state, Filter filter) {
    plat::SetBackend(&plat::headless::Instance());
    krSystem::ProcessStart();
    krSystem::InitState();
    krSystemState.fullScreen = 0;
    if (krDraw::Screen(kWidth, kHeight, 1) != 1) return state.SkipWithError("no screen");
    Noise(*krScreen.back, 4);
    for (auto _ : state) {
        filter();
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
}
void Smoke_Ours(benchmark::State& state) { FullScreen(state, [] { krDraw::SmokeRect(0, 0, kWidth, kHeight); }); }
void Noise_Ours(benchmark::State& state) { FullScreen(state, [] { krDraw::NoiseRect(0, 0, kWidth, kHeight, 1); }); }
void Mosaic_Ours(benchmark::State& state) { FullScreen(state, [] { krDraw::MosaicRect(0, 0, kWidth, kHeight, 8); }); }
// Half the screen doubled: the whole screen is written.
void Enlarge_Ours(benchmark::State& state) {
    FullScreen(state, [] { krDraw::EnlargeRect(0, 0, kWidth / 2, kHeight / 2, 0); });
}

void SmoothKernel(benchmark::State& state, int bits, bool reference, unsigned flags = 7) {
    plat::Surface* s = plat::CreateSurface(kWidth, kHeight, plat::FormatForBits(bits));
    Noise(*s, 2);
    plat::kernels::RegionArgs a;
    a.surface = s;
    a.width = kWidth, a.height = kHeight;
    a.channels = plat::kernels::ChannelsOf(s->format);
    for (auto _ : state) {
        if (reference) plat::kernels::ReferenceSmoothRegion(a, flags);
        else plat::kernels::SmoothRegion(a, flags);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
    plat::DestroySurface(s);
}
void Smooth_Kernel32(benchmark::State& state) { SmoothKernel(state, 32, false); }
void Smooth_Kernel16Sse2(benchmark::State& state) {
    const plat::kernels::KernelLevel previous = plat::kernels::ActiveKernelLevel();
    plat::kernels::UseKernelLevel(plat::kernels::KernelLevel::kSse2);
    SmoothKernel(state, 16, false);
    plat::kernels::UseKernelLevel(previous);
}
void Smooth_Reference16(benchmark::State& state) { SmoothKernel(state, 16, true); }
// Red and blue only: the scalar kernel that serves flags and processors
// without AVX2.
void Smooth_Scalar16RedBlue(benchmark::State& state) { SmoothKernel(state, 16, false, 5); }
void Smooth_Reference32(benchmark::State& state) { SmoothKernel(state, 32, true); }

// The blur's kernel over an 800 x 600 rectangle at each block size: every
// size takes its own path through the row sums (doublings up to a width of
// 8, one prefix sum from 9) and the divisions (past 2114 pixels averages
// that follow sums known modulo 2^16, up to square blocks of 226; sums in 32-bit
// lanes beyond). 5-6-5, about one pixel in ten transparent.
void BlurKernel(benchmark::State& state, bool reference) {
    plat::Surface* src = plat::CreateSurface(kWidth, kHeight, plat::FormatForBits(16));
    plat::Surface* dst = plat::CreateSurface(kWidth, kHeight, plat::FormatForBits(16));
    Noise(*src, 5);
    Noise(*dst, 6);
    std::mt19937 rng(7);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (rng() % 10 == 0) plat::PutPixel(*src, x, y, 0);
    plat::kernels::BlurArgs a;
    a.src = src->Row(0), a.srcPitch = src->pitch;
    a.dst = dst->Row(0), a.dstPitch = dst->pitch;
    a.width = kWidth, a.height = kHeight;
    a.block = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (reference) plat::kernels::ReferenceBlurRect(a);
        else plat::kernels::BlurRect(a);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
    plat::DestroySurface(src);
    plat::DestroySurface(dst);
}
void Blur_Kernel16(benchmark::State& state) { BlurKernel(state, false); }
void Blur_Reference16(benchmark::State& state) { BlurKernel(state, true); }

// The smoke's kernel alone, with the process's walk through a table of
// 0 .. 2 as the screen makes it, and the per-pixel reference for scale.
void SmokeKernel(benchmark::State& state, bool reference) {
    plat::Surface* s = plat::CreateSurface(kWidth, kHeight, plat::FormatForBits(16));
    Noise(*s, 8);
    std::vector<std::uint8_t> table(10000);
    std::mt19937 rng(9);
    for (auto& e : table) e = static_cast<std::uint8_t>(rng() % 3);
    plat::kernels::RandomWalk walk{table.data(), 0, 0};
    plat::kernels::RegionArgs a;
    a.surface = s;
    a.width = kWidth, a.height = kHeight;
    a.channels = plat::kernels::ChannelsOf(s->format);
    for (auto _ : state) {
        if (reference) plat::kernels::ReferenceSmokeRegion(a, walk, 7);
        else plat::kernels::SmokeRegion(a, walk, 7);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
    plat::DestroySurface(s);
}
void Smoke_Kernel16(benchmark::State& state) { SmokeKernel(state, false); }
void Smoke_Reference16(benchmark::State& state) { SmokeKernel(state, true); }

void Smooth_Memcpy16(benchmark::State& state) {
    std::vector<std::uint16_t> from(kWidth * kHeight, 0x1234), to(kWidth * kHeight);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size() * 2);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
}

}  // namespace

BENCHMARK(Smooth_Ours);
BENCHMARK(Smooth_Memcpy16);
BENCHMARK(Smooth_Kernel32);
BENCHMARK(Smooth_Kernel16Sse2);
BENCHMARK(Smooth_Reference16);
BENCHMARK(Smooth_Scalar16RedBlue);
BENCHMARK(Smooth_Reference32);
BENCHMARK(Smoke_Ours);
BENCHMARK(Smoke_Kernel16);
BENCHMARK(Smoke_Reference16);
BENCHMARK(Blur_Kernel16)->Arg(1)->Arg(2)->Arg(3)->Arg(5)->Arg(8)->Arg(11)->Arg(16)->Arg(32)->Arg(45)->Arg(46)->Arg(64)->Arg(128)->Arg(256);
BENCHMARK(Blur_Reference16)->Arg(2)->Arg(8);
BENCHMARK(Noise_Ours);
BENCHMARK(Mosaic_Ours);
BENCHMARK(Enlarge_Ours);
