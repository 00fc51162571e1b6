// Speed of the scaled copies and of a strip effect against their peers in
// the same run: krDraw::StretchBlit (keyed) and krDraw::StretchBlitOpaque
// enlarging 400 x 300 to 800 x 600 on the 5-6-5 back screen, against SDL2's
// SDL_BlitScaled of the same picture (with and without its colour key) on
// surfaces of the same format; and krDraw::WaveBlit of a full-screen
// picture against memcpy of the same bytes. Every case reports pixels/s of
// destination.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "draw/krDraw.h"
#include "platform/headless/headless.h"
#include "system/krSystem.h"

namespace {

constexpr int kScreenW = 800, kScreenH = 600;
constexpr int kSourceW = 400, kSourceH = 300;

// A picture of random colours with about a quarter black (the key).
std::vector<std::uint16_t> Picture(int width, int height) {
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(width) * height);
    std::mt19937 rng(7);
    for (std::uint16_t& p : pixels) p = (rng() % 4 == 0) ? 0 : static_cast<std::uint16_t>(rng() | 1);
    return pixels;
}

// A fresh 800 x 600 screen and an object holding the picture; the slot.
int OpenScreenWith(const std::vector<std::uint16_t>& pixels, int width, int height) {
    plat::SetBackend(&plat::headless::Instance());
    krSystem::ProcessStart();
    krSystem::InitState();
    krSystemState.fullScreen = 0;
    if (krDraw::Screen(kScreenW, kScreenH, 1) != 1) return 0;
    const int slot = krDraw::CreateObject(width, height, 2);
    if (slot == 0) return 0;
    plat::Surface* s = krObjects[slot].surface;
    for (int y = 0; y < height; ++y) std::memcpy(s->Row(y), &pixels[static_cast<std::size_t>(y) * width], width * 2u);
    krDraw::SetObjectColorKey(slot, 0);
    return slot;
}

void CountPixels(benchmark::State& state, int width, int height) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(width) * height);
}

void KrStretch(benchmark::State& state, bool keyed) {
    const int slot = OpenScreenWith(Picture(kSourceW, kSourceH), kSourceW, kSourceH);
    if (slot == 0) return state.SkipWithError("the screen could not be set up");
    for (auto _ : state) {
        if (keyed) {
            krDraw::StretchBlit(0, 0, slot, 0, 0, kSourceW, kSourceH, kScreenW, kScreenH);
        } else {
            krDraw::StretchBlitOpaque(0, 0, slot, 0, 0, kSourceW, kSourceH, kScreenW, kScreenH);
        }
        benchmark::ClobberMemory();
    }
    CountPixels(state, kScreenW, kScreenH);
}

void SdlStretch(benchmark::State& state, bool keyed) {
    const std::vector<std::uint16_t> pixels = Picture(kSourceW, kSourceH);
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormat(0, kSourceW, kSourceH, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* back = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 16, SDL_PIXELFORMAT_RGB565);
    for (int y = 0; y < kSourceH; ++y)
        std::memcpy(static_cast<std::uint8_t*>(source->pixels) + y * source->pitch, &pixels[y * kSourceW], kSourceW * 2u);
    if (keyed) SDL_SetColorKey(source, SDL_TRUE, 0);
    for (auto _ : state) {
        SDL_Rect to{0, 0, kScreenW, kScreenH};
        SDL_BlitScaled(source, nullptr, back, &to);
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(source);
    SDL_FreeSurface(back);
    CountPixels(state, kScreenW, kScreenH);
}

void BM_StretchBlitKeyed(benchmark::State& state) { KrStretch(state, true); }
void BM_SdlBlitScaledKeyed(benchmark::State& state) { SdlStretch(state, true); }
void BM_StretchBlitOpaque(benchmark::State& state) { KrStretch(state, false); }
void BM_SdlBlitScaledOpaque(benchmark::State& state) { SdlStretch(state, false); }
BENCHMARK(BM_StretchBlitKeyed);
BENCHMARK(BM_SdlBlitScaledKeyed);
BENCHMARK(BM_StretchBlitOpaque);
BENCHMARK(BM_SdlBlitScaledOpaque);

// A wave of amplitude 0 copies every row of a full-screen picture: the cost
// of the row-by-row effect against one memcpy of the same bytes.
void BM_WaveBlitFullScreen(benchmark::State& state) {
    const int slot = OpenScreenWith(Picture(kScreenW, kScreenH), kScreenW, kScreenH);
    if (slot == 0) return state.SkipWithError("the screen could not be set up");
    krSystemState.frameTime = 1.0f / 60;
    for (auto _ : state) {
        krDraw::WaveBlit(0, 0, 0, 1, 90.0f, slot, 0, 0, kScreenW, kScreenH, 1);
        benchmark::ClobberMemory();
    }
    CountPixels(state, kScreenW, kScreenH);
}
BENCHMARK(BM_WaveBlitFullScreen);

void BM_MemcpyFullScreen(benchmark::State& state) {
    std::vector<std::uint16_t> from = Picture(kScreenW, kScreenH), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 2);
        benchmark::ClobberMemory();
    }
    CountPixels(state, kScreenW, kScreenH);
}
BENCHMARK(BM_MemcpyFullScreen);

}  // namespace
