// Speed of the per-pixel blends on a full 800 x 600 16-bit picture over an
// 800 x 600 back screen, against peers in the same run: SDL2's blended blit
// of the same pixels (SDL_BLENDMODE_BLEND, RGB565 to RGB565) with a surface
// alpha of 50 % for krDraw::AlphaBlit at 0.5 and of 77/255 for
// krDraw::AlphaBlit at 0.3 and 0.37 (SDL has a path of its own for 50 %;
// 0.5 is a weight of whole 2^-b steps, which ours takes in integers, 0.37
// one whose float values an integer rule reproduces after a check of
// every pair, 0.3 neither: at AVX-512 it runs from worked-out tables),
// and memcpy of the same bytes for krDraw::HalfBlit. Every member is
// measured on the same picture so that its time can be read against
// krDraw::HalfBlit's. The table members are measured again on 24- and
// 32-bit screens (names ending in 24 and 32), the same picture widened to
// eight bits per component. Every case reports Mpix/s.
//
// Picture: smooth colour ramps with noise, about 10 % of the pixels 0
// (transparent), as a sprite sheet or an overlay has them.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "platform/pixels/surface.h"
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

// A 5-6-5 pixel at the surface's depth: as it is, or widened to eight bits
// per component by repeating the top bits.
std::uint32_t AtDepth(std::uint16_t v, int bytesPerPixel) {
    if (bytesPerPixel == 2) return v;
    const std::uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
    return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

void Fill(plat::Surface* s, const std::vector<std::uint16_t>& pixels) {
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) plat::PutPixel(*s, x, y, AtDepth(pixels[y * kW + x], s->format.bytesPerPixel));
}

// The engine on the headless edge with a screen of `bits` and the picture
// in an object; 0 if the screen could not be set up. The screen is opened
// again when a case asks for another depth.
int PictureSlot(int bits = 16) {
    static bool started = false;
    static int openBits = 0, slot = 0;
    if (!started) {
        plat::SetBackend(&plat::headless::Instance());
        krSystem::ProcessStart();
        krSystem::InitState();
        krSystemState.fullScreen = 0;
        started = true;
    }
    if (bits != openBits) {
        if (openBits) krDraw::Release();
        setenv("KR_DESKTOP_BITS", std::to_string(bits).c_str(), 1);
        openBits = bits;
        slot = 0;
        if (krDraw::Screen(kW, kH, 1) == 1) {
            slot = krDraw::CreateObject(kW, kH, 2);
            if (slot) Fill(krObjects[slot].surface, Picture(1, 10));
        }
    }
    if (!slot) std::fprintf(stderr, "the %d-bit screen could not be set up\n", bits);
    return slot;
}

void ReportPixels(benchmark::State& state) {
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(kW) * kH * static_cast<double>(state.iterations()) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

// Runs one member over the whole picture each iteration; the back screen
// starts from the same background every run.
template <typename Member>
void RunMember(benchmark::State& state, Member member, int bits = 16) {
    const int slot = PictureSlot(bits);
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
KR_BLEND_BENCH(AlphaBlit30, AlphaBlit(0, 0, 0.3f, slot, 0, 0, kW, kH));
// 0.37: one of the weights whose float values an integer rule reproduces on every pair.
KR_BLEND_BENCH(AlphaBlit37, AlphaBlit(0, 0, 0.37f, slot, 0, 0, kW, kH));
KR_BLEND_BENCH(AlphaBlitRGBWhole, AlphaBlitRGB(0, 0, 0.25f, 0.5f, 0.75f, slot, 0, 0, kW, kH));
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

// The table members on 24- and 32-bit screens, at full 8-bit precision.
#define KR_BLEND_BENCH_AT(name, bits, call)                                              \
    void Blend_##name##bits(benchmark::State& state) {                                   \
        RunMember(state, [](int slot) { return krDraw::call; }, bits);                   \
    }                                                                                    \
    BENCHMARK(Blend_##name##bits)
#define KR_TABLE_BENCHES(bits)                                                                        \
    KR_BLEND_BENCH_AT(FadeBlit, bits, FadeBlit(0, 0, 12, slot, 0, 0, kW, kH));                         \
    KR_BLEND_BENCH_AT(FadeBlitRGB, bits, FadeBlitRGB(0, 0, 5, 12, 25, slot, 0, 0, kW, kH));            \
    KR_BLEND_BENCH_AT(FadeGradientBlit, bits, FadeGradientBlit(0, 0, 5, 12, 25, 1, 100, 8, slot, 0, 0, kW, kH)); \
    KR_BLEND_BENCH_AT(FadeGradientBlitColumns, bits, FadeGradientBlit(0, 0, 5, 12, 25, 0, 100, 8, slot, 0, 0, kW, kH)); \
    KR_BLEND_BENCH_AT(AddBlit, bits, AddBlit(0, 0, slot, 0, 0, kW, kH));                               \
    KR_BLEND_BENCH_AT(AddAlphaBlit, bits, AddAlphaBlit(0, 0, 0.6f, slot, 0, 0, kW, kH));               \
    KR_BLEND_BENCH_AT(SubBlit, bits, SubBlit(0, 0, slot, 0, 0, kW, kH));                               \
    KR_BLEND_BENCH_AT(DarkBlit, bits, DarkBlit(0, 0, 20, slot, 0, 0, kW, kH));                         \
    KR_BLEND_BENCH_AT(DarkBlitRGB, bits, DarkBlitRGB(0, 0, 20, 10, 5, slot, 0, 0, kW, kH));            \
    KR_BLEND_BENCH_AT(GrayBlit, bits, GrayBlit(0, 0, slot, 0, 0, kW, kH))
KR_TABLE_BENCHES(24);
KR_TABLE_BENCHES(32);

// AlphaBlit with the kernels of the lower instruction sets.
void AlphaAt(benchmark::State& state, plat::kernels::KernelLevel level) {
    const plat::kernels::KernelLevel previous = plat::kernels::ActiveKernelLevel();
    if (!plat::kernels::UseKernelLevel(level)) return state.SkipWithError("the processor lacks this level");
    RunMember(state, [](int slot) { return krDraw::AlphaBlit(0, 0, 0.5f, slot, 0, 0, kW, kH); });
    plat::kernels::UseKernelLevel(previous);
}
void Blend_AlphaBlitAvx2(benchmark::State& state) { AlphaAt(state, plat::kernels::KernelLevel::kAvx2); }
// A fade that takes a new opacity every frame: each call works its tables out afresh.
void Blend_AlphaBlitFreshWeights(benchmark::State& state) {
    static float opacity = 0.3f;
    RunMember(state, [](int slot) {
        opacity = std::nextafter(opacity, 1.0f);
        return krDraw::AlphaBlit(0, 0, opacity, slot, 0, 0, kW, kH);
    });
}
BENCHMARK(Blend_AlphaBlitFreshWeights);
// A gradient across the rows whose weights change every frame: it never
// meets its weights again, so it stays on the floats without working tables out.
void Blend_AlphaGradientBlitColumnsFreshWeights(benchmark::State& state) {
    static float red = 0.2f;
    RunMember(state, [](int slot) {
        red = std::nextafter(red, 1.0f);
        return krDraw::AlphaGradientBlit(0, 0, red, 0.5f, 0.8f, 0, 100, 8, slot, 0, 0, kW, kH);
    });
}
BENCHMARK(Blend_AlphaGradientBlitColumnsFreshWeights);
void Blend_AlphaBlitSse2(benchmark::State& state) { AlphaAt(state, plat::kernels::KernelLevel::kSse2); }
BENCHMARK(Blend_AlphaBlitAvx2);
BENCHMARK(Blend_AlphaBlitSse2);

// ---- peers ----

// SDL's blended blit of the picture with a surface alpha of `alpha`.
void SdlAlphaAt(benchmark::State& state, int alpha) {
    const std::vector<std::uint16_t> picture = Picture(1, 10), background = Picture(2, 0);
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 16, SDL_PIXELFORMAT_RGB565);
    for (int y = 0; y < kH; ++y) {
        std::memcpy(static_cast<std::uint8_t*>(src->pixels) + y * src->pitch, &picture[y * kW], kW * 2);
        std::memcpy(static_cast<std::uint8_t*>(dst->pixels) + y * dst->pitch, &background[y * kW], kW * 2);
    }
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(src, static_cast<Uint8>(alpha));
    for (auto _ : state) {
        SDL_Rect at{0, 0, kW, kH};
        SDL_BlitSurface(src, nullptr, dst, &at);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
}
void Blend_SdlAlpha(benchmark::State& state) { SdlAlphaAt(state, 128); }
void Blend_SdlAlpha77(benchmark::State& state) { SdlAlphaAt(state, 77); }
BENCHMARK(Blend_SdlAlpha);
BENCHMARK(Blend_SdlAlpha77);

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
