// Speed of a full-screen krDraw::RotateZoomBlit (an 800 x 600 box turned by
// 30 degrees over the 800 x 600 back screen, 5-6-5) against SDL2's software
// renderer turning the same picture onto a surface of the same size with
// SDL_RenderCopyEx, in the same run; and krDraw::RotateBlit's integer
// stepping, fast and per pixel. All report Gpix/s of the box.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "draw/krDraw.h"
#include "platform/pixels/effect_kernels.h"
#include "platform/headless/headless.h"
#include "system/krSystem.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kAngle = 30;

// Textured squares with a few transparent (0) pixels.
std::vector<std::uint16_t> Picture() {
    std::vector<std::uint16_t> p(kWidth * kHeight);
    std::mt19937 rng(3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint16_t base = static_cast<std::uint16_t>(((x / 40) * 0x0841 + (y / 30) * 0x2104) | 1);
            p[y * kWidth + x] = rng() % 50 == 0 ? 0 : static_cast<std::uint16_t>(base ^ ((x * 3 + y) & 0x001E));
        }
    return p;
}

// A headless 800 x 600 screen and the picture in an object of its own.
int OpenScreenWithPicture() {
    plat::SetBackend(&plat::headless::Instance());
    krSystem::ProcessStart();
    krSystem::InitState();
    krSystemState.fullScreen = 0;
    if (krDraw::Screen(kWidth, kHeight, 1) != 1) return 0;
    const int slot = krDraw::CreateObject(kWidth, kHeight, 2);
    plat::Surface* s = slot ? krObjects[slot].surface : nullptr;
    if (!s) return 0;
    const std::vector<std::uint16_t> p = Picture();
    for (int y = 0; y < kHeight; ++y) std::memcpy(s->Row(y), &p[y * kWidth], kWidth * 2);
    return slot;
}

void ReportPixels(benchmark::State& state) {
    state.counters["Gpix/s"] = benchmark::Counter(double{kWidth} * kHeight * static_cast<double>(state.iterations()) / 1e9,
                                                  benchmark::Counter::kIsRate);
}

void RotateZoom_Ours(benchmark::State& state) {
    const int slot = OpenScreenWithPicture();
    if (!slot) return state.SkipWithError("no screen");
    for (auto _ : state) {
        krDraw::RotateZoomBlit(0, 0, kWidth, kHeight, kAngle, 1.0f, slot, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
}

// The per-pixel reference of the same map, for scale.
void RotateZoom_Reference(benchmark::State& state) {
    const int slot = OpenScreenWithPicture();
    if (!slot) return state.SkipWithError("no screen");
    plat::kernels::RotateArgs a;
    a.dst = krScreen.back;
    a.colEnd = kWidth, a.rowEnd = kHeight;
    a.src = krObjects[slot].surface;
    a.maxX = kWidth, a.maxY = kHeight;
    const double scale = 65536.0 / 360.0;
    a.uCol = std::llround(krScreen.sine[kAngle + 90] * scale), a.vCol = std::llround(krScreen.sine[kAngle] * scale);
    a.uRow = -a.vCol, a.vRow = a.uCol;
    a.u0 = 400 * 65536 - 400 * a.uCol - 300 * a.uRow;
    a.v0 = 300 * 65536 - 400 * a.vCol - 300 * a.vRow;
    for (auto _ : state) {
        plat::kernels::ReferenceRotateAffine(a);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
}

// The plain rotation's integer stepping over the same box: the span kernel
// and its per-pixel reference (the path it replaced).
void RotateBlit_Ours(benchmark::State& state) {
    const int slot = OpenScreenWithPicture();
    if (!slot) return state.SkipWithError("no screen");
    for (auto _ : state) {
        krDraw::RotateBlit(0, 0, kWidth, kHeight, kAngle, slot, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
}

void RotateBlit_Reference(benchmark::State& state) {
    const int slot = OpenScreenWithPicture();
    if (!slot) return state.SkipWithError("no screen");
    plat::kernels::RotateArgs a;
    a.dst = krScreen.back;
    a.colEnd = kWidth, a.rowEnd = kHeight;
    a.src = krObjects[slot].surface;
    a.maxX = kWidth, a.maxY = kHeight;
    const std::int64_t sine = krScreen.sine[kAngle], cosine = krScreen.sine[kAngle + 90];
    a.step = plat::kernels::RotateStep::kStepped360;
    a.u0 = 360 * 400 + 300 * sine - 400 * cosine, a.v0 = 360 * 300 - 400 * sine - 300 * cosine;
    a.uCol = cosine, a.vCol = sine, a.uRow = -sine, a.vRow = cosine;
    for (auto _ : state) {
        plat::kernels::ReferenceRotateAffine(a);
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
}

void RotateZoom_SdlRenderCopyEx(benchmark::State& state) {
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 16, SDL_PIXELFORMAT_RGB565);
    const std::vector<std::uint16_t> p = Picture();
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(static_cast<std::uint8_t*>(picture->pixels) + y * picture->pitch, &p[y * kWidth], kWidth * 2);
    SDL_SetColorKey(picture, SDL_TRUE, 0);  // 0 is transparent, as in ours
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
    SDL_Texture* texture = renderer ? SDL_CreateTextureFromSurface(renderer, picture) : nullptr;
    if (!texture) {
        state.SkipWithError("no software renderer");
    } else {
        const SDL_Rect box{0, 0, kWidth, kHeight};
        for (auto _ : state) {
            SDL_RenderCopyEx(renderer, texture, nullptr, &box, kAngle, nullptr, SDL_FLIP_NONE);
            SDL_RenderFlush(renderer);
            benchmark::ClobberMemory();
        }
        ReportPixels(state);
    }
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(picture);
    SDL_FreeSurface(target);
}

}  // namespace

BENCHMARK(RotateZoom_Ours);
BENCHMARK(RotateZoom_Reference);
BENCHMARK(RotateZoom_SdlRenderCopyEx);
BENCHMARK(RotateBlit_Ours);
BENCHMARK(RotateBlit_Reference);
