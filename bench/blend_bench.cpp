// Speed of the per-pixel blends on a full 800 x 600 16-bit picture over an
// 800 x 600 back screen, against peers in the same run: SDL2's blended blit
// of the same pixels (SDL_BLENDMODE_BLEND with a surface alpha of 50 %,
// RGB565 to RGB565) for krDraw::AlphaBlit, and memcpy of the same bytes for
// krDraw::HalfBlit. Every member is measured on the same picture so that
// its time can be read against krDraw::HalfBlit's. Every case reports Mpix/s.
//
// Picture: smooth colour ramps with noise, about 10 % of the pixels 0
// (transparent), as a sprite sheet or an overlay has them.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "draw/krDraw.h"
#include "platform/pixels/blit_kernels.h"
#include "platform/headless/headless.h"
#include "system/krSystem.h"

namespace {

constexpr int kW = 800, kH = 600;

std::vector<std::uint16_t> Picture(unsigned seed, int zeroEvery) {
    std::vector<std::uint16_t> p(kW * kH);
    std::mt19937 rng(seed);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const unsigned r = (x * 31 / kW + rng() % 3) % 32, g = (y * 63 / kH + rng() % 5) % 64,
                           b = ((x + y) * 31 / (kW + kH) + rng() % 3) % 32;
            std::uint16_t v = static_cast<std::uint16_t>(r << 11 | g << 5 | b);
            if (zeroEvery && rng() % zeroEvery == 0) v = 0;
            else if (v == 0) v = 1;
            p[y * kW + x] = v;
        }
    return p;
}

void Fill(plat::Surface* s, const std::vector<std::uint16_t>& pixels) {
    for (int y = 0; y < kH; ++y) std::memcpy(s->Row(y), &pixels[y * kW], kW * 2);
}

// The engine on the headless edge with the picture in an object; 0 if the
// screen could not be set up.
int PictureSlot() {
    static const int slot = [] {
        plat::SetBackend(&plat::headless::Instance());
        krSystem::ProcessStart();
        krSystem::InitState();
        krSystemState.fullScreen = 0;
        if (krDraw::Screen(kW, kH, 1) != 1) return 0;
        const int object = krDraw::CreateObject(kW, kH, 2);
        if (object) Fill(krObjects[object].surface, Picture(1, 10));
        return object;
    }();
    if (!slot) std::fprintf(stderr, "the screen could not be set up\n");
    return slot;
}

void ReportPixels(benchmark::State& state) {
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(kW) * kH * static_cast<double>(state.iterations()) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

// Runs one member over the whole picture each iteration; the back screen
// starts from the same background every run.
template <typename Member>
void RunMember(benchmark::State& state, Member member) {
    const int slot = PictureSlot();
    if (!slot) return state.SkipWithError("no screen");
    static const std::vector<std::uint16_t> background = Picture(2, 0);
    Fill(krScreen.back, background);
    for (auto _ : state) {
        benchmark::DoNotOptimize(member(slot));
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
}

#define KR_BLEND_BENCH(name, call)                                                       \
    void Blend_##name(benchmark::State& state) {                                         \
        RunMember(state, [](int slot) { return krDraw::call; });                         \
    }                                                                                    \
    BENCHMARK(Blend_##name)

KR_BLEND_BENCH(HalfBlit, HalfBlit(0, 0, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(AlphaBlit, AlphaBlit(0, 0, 0.5f, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(AlphaBlitRGB, AlphaBlitRGB(0, 0, 0.2f, 0.5f, 0.8f, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(AlphaGradientBlit, AlphaGradientBlit(0, 0, 0.2f, 0.5f, 0.8f, 1, 100, 8, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(AlphaGradientBlitColumns, AlphaGradientBlit(0, 0, 0.2f, 0.5f, 0.8f, 0, 100, 8, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(FadeBlit, FadeBlit(0, 0, 12, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(FadeBlitRGB, FadeBlitRGB(0, 0, 5, 12, 25, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(FadeGradientBlit, FadeGradientBlit(0, 0, 5, 12, 25, 1, 100, 8, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(FadeGradientBlitColumns, FadeGradientBlit(0, 0, 5, 12, 25, 0, 100, 8, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(AddBlit, AddBlit(0, 0, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(AddAlphaBlit, AddAlphaBlit(0, 0, 0.6f, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(SubBlit, SubBlit(0, 0, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(DarkBlit, DarkBlit(0, 0, 20, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(DarkBlitRGB, DarkBlitRGB(0, 0, 20, 10, 5, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(BrightBlit, BrightBlit(0, 0, 1.5f, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(BrightBlitRGB, BrightBlitRGB(0, 0, 0.5f, 1.0f, 1.5f, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(ChannelBlit, ChannelBlit(0, 0, 1, 0, 1, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(GrayBlit, GrayBlit(0, 0, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(BlurBlit2, BlurBlit(0, 0, 2, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(BlurBlit8, BlurBlit(0, 0, 8, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(SmoothEdgeBlit, SmoothEdgeBlit(0, 0, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(RefractBlit, RefractBlit(0, 0, 0.8f, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(FlipBlit0, FlipBlit(0, 0, 0, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(FlipBlit3, FlipBlit(0, 0, 3, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(SmearBlit, SmearBlit(0, 0, 1, 400, slot, 0, 0, kW, kH));

// AlphaBlit with the kernels of the lower instruction sets.
void AlphaAt(benchmark::State& state, plat::kernels::KernelLevel level) {
    if (!plat::kernels::UseKernelLevel(level)) return state.SkipWithError("the processor lacks this level");
    RunMember(state, [](int slot) { return krDraw::AlphaBlit(0, 0, 0.5f, slot, 0, 0, kW, kH); });
    plat::kernels::UseKernelLevel(plat::kernels::BestKernelLevel());
}
void Blend_AlphaBlitAvx2(benchmark::State& state) { AlphaAt(state, plat::kernels::KernelLevel::kAvx2); }
void Blend_AlphaBlitSse2(benchmark::State& state) { AlphaAt(state, plat::kernels::KernelLevel::kSse2); }
BENCHMARK(Blend_AlphaBlitAvx2);
BENCHMARK(Blend_AlphaBlitSse2);

// ---- peers ----

void Blend_SdlAlpha(benchmark::State& state) {
    const std::vector<std::uint16_t> picture = Picture(1, 10), background = Picture(2, 0);
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 16, SDL_PIXELFORMAT_RGB565);
    for (int y = 0; y < kH; ++y) {
        std::memcpy(static_cast<std::uint8_t*>(src->pixels) + y * src->pitch, &picture[y * kW], kW * 2);
        std::memcpy(static_cast<std::uint8_t*>(dst->pixels) + y * dst->pitch, &background[y * kW], kW * 2);
    }
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(src, 128);
    for (auto _ : state) {
        SDL_Rect at{0, 0, kW, kH};
        SDL_BlitSurface(src, nullptr, dst, &at);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
}
BENCHMARK(Blend_SdlAlpha);

void Blend_Memcpy(benchmark::State& state) {
    const std::vector<std::uint16_t> from = Picture(1, 10);
    std::vector<std::uint16_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size() * 2);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
}
BENCHMARK(Blend_Memcpy);

}  // namespace
