// Speed of the surface copies and fills against their peers in the same
// run: SDL2's keyed blit (plain and run-length coded), SDL_FillRect and
// memcpy, all on the same 5-6-5 pictures. krDraw::HalfBlit of the overlay
// over the whole back screen against memcpy of the same rows between the
// same two surfaces, also timed turn about in one loop so that the load of
// the machine falls on both alike. Every case reports Gpix/s.
//
// Pictures: an 800 x 600 overlay of filled circles on the key colour (about
// 40 % key), and a 96 x 96 ring-shaped sprite (about 40 % key) copied to
// scattered places.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstring>
#include <random>
#include <vector>

#include "draw/krDraw.h"
#include "platform/headless/headless.h"
#include "platform/pixels/blit_kernels.h"
#include "platform/pixels/surface.h"
#include "system/krSystem.h"

namespace {

constexpr int kScreenW = 800, kScreenH = 600;
constexpr int kSprite = 96;
constexpr int kSpritesPerRound = 100;
constexpr std::uint16_t kKey = 0xF81F;  // magenta

// ---- test pictures, drawn into plain 16-bit pixel arrays ----

struct Picture {
    int width, height;
    std::vector<std::uint16_t> pixels;
    double keyShare = 0;
};

std::uint16_t OpaqueColour(std::mt19937& rng) {
    std::uint16_t c;
    do c = static_cast<std::uint16_t>(rng()); while (c == kKey);
    return c;
}

void CountKey(Picture& p) {
    std::size_t keys = 0;
    for (std::uint16_t v : p.pixels) keys += v == kKey;
    p.keyShare = static_cast<double>(keys) / static_cast<double>(p.pixels.size());
}

// Filled circles of textured colour on the key until about 60 % is covered.
Picture Overlay() {
    Picture p{kScreenW, kScreenH, std::vector<std::uint16_t>(kScreenW * kScreenH, kKey)};
    std::mt19937 rng(42);
    std::size_t covered = 0;
    while (covered < p.pixels.size() * 6 / 10) {
        const int cx = static_cast<int>(rng() % kScreenW), cy = static_cast<int>(rng() % kScreenH);
        const int r = 8 + static_cast<int>(rng() % 40);
        const std::uint16_t base = OpaqueColour(rng);
        for (int y = std::max(0, cy - r); y < std::min(kScreenH, cy + r); ++y)
            for (int x = std::max(0, cx - r); x < std::min(kScreenW, cx + r); ++x) {
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) >= r * r) continue;
                std::uint16_t& px = p.pixels[y * kScreenW + x];
                if (px == kKey) ++covered;
                px = static_cast<std::uint16_t>(base ^ ((x * 7 + y * 3) & 0x0841));
                if (px == kKey) px ^= 1;
            }
    }
    CountKey(p);
    return p;
}

// A ring: opaque between radius 14 and 44, key inside and outside.
Picture Sprite() {
    Picture p{kSprite, kSprite, std::vector<std::uint16_t>(kSprite * kSprite, kKey)};
    std::mt19937 rng(7);
    for (int y = 0; y < kSprite; ++y)
        for (int x = 0; x < kSprite; ++x) {
            const int d2 = (x - 48) * (x - 48) + (y - 48) * (y - 48);
            if (d2 >= 14 * 14 && d2 < 44 * 44) p.pixels[y * kSprite + x] = OpaqueColour(rng);
        }
    CountKey(p);
    return p;
}

const Picture& OverlayPicture() {
    static const Picture p = Overlay();
    return p;
}
const Picture& SpritePicture() {
    static const Picture p = Sprite();
    return p;
}

std::vector<std::pair<int, int>> SpritePlaces() {
    std::mt19937 rng(99);
    std::vector<std::pair<int, int>> places;
    for (int i = 0; i < kSpritesPerRound; ++i)
        places.emplace_back(static_cast<int>(rng() % (kScreenW - kSprite)), static_cast<int>(rng() % (kScreenH - kSprite)));
    return places;
}

// ---- our surfaces ----

struct OurSurface {
    plat::Surface* s;
    explicit OurSurface(const Picture& p) : s(plat::CreateSurface(p.width, p.height, plat::FormatForBits(16))) {
        for (int y = 0; y < p.height; ++y) std::memcpy(s->Row(y), &p.pixels[y * p.width], p.width * 2);
        plat::SetColorKey(s, kKey);
    }
    OurSurface(int w, int h) : s(plat::CreateSurface(w, h, plat::FormatForBits(16))) {}
    ~OurSurface() { plat::DestroySurface(s); }
};

// ---- SDL surfaces ----

struct SdlSurface {
    SDL_Surface* s;
    explicit SdlSurface(const Picture& p, bool rle)
        : s(SDL_CreateRGBSurfaceWithFormat(0, p.width, p.height, 16, SDL_PIXELFORMAT_RGB565)) {
        auto* base = static_cast<std::uint8_t*>(s->pixels);
        for (int y = 0; y < p.height; ++y) std::memcpy(base + y * s->pitch, &p.pixels[y * p.width], p.width * 2);
        SDL_SetColorKey(s, SDL_TRUE, kKey);
        if (rle) SDL_SetSurfaceRLE(s, 1);
    }
    SdlSurface(int w, int h) : s(SDL_CreateRGBSurfaceWithFormat(0, w, h, 16, SDL_PIXELFORMAT_RGB565)) {}
    ~SdlSurface() { SDL_FreeSurface(s); }
};

void ReportPixels(benchmark::State& state, double pixelsPerIteration, double keyShare = -1) {
    state.counters["Gpix/s"] = benchmark::Counter(pixelsPerIteration * static_cast<double>(state.iterations()) / 1e9,
                                                  benchmark::Counter::kIsRate);
    if (keyShare >= 0) state.counters["key%"] = keyShare * 100.0;
}

// ---- keyed full-screen picture ----

void KeyedScreen_Ours(benchmark::State& state) {
    OurSurface back(kScreenW, kScreenH), pic(OverlayPicture());
    const plat::Rect all{0, 0, kScreenW, kScreenH};
    for (auto _ : state) {
        plat::BltFast(back.s, 0, 0, pic.s, all, true);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, kScreenW * kScreenH, OverlayPicture().keyShare);
}

// The same copy with the kernels of a lower instruction set.
void KeyedScreen_OursAt(benchmark::State& state, plat::kernels::KernelLevel level) {
    const plat::kernels::KernelLevel previous = plat::kernels::ActiveKernelLevel();
    if (!plat::kernels::UseKernelLevel(level)) {
        state.SkipWithError("the processor lacks this level");
        return;
    }
    KeyedScreen_Ours(state);
    plat::kernels::UseKernelLevel(previous);
}
void KeyedScreen_OursAvx2(benchmark::State& state) { KeyedScreen_OursAt(state, plat::kernels::KernelLevel::kAvx2); }
void KeyedScreen_OursSse2(benchmark::State& state) { KeyedScreen_OursAt(state, plat::kernels::KernelLevel::kSse2); }

void KeyedScreen_SdlKeyed(benchmark::State& state, bool rle) {
    SdlSurface back(kScreenW, kScreenH), pic(OverlayPicture(), rle);
    for (auto _ : state) {
        SDL_Rect at{0, 0, kScreenW, kScreenH};
        SDL_BlitSurface(pic.s, nullptr, back.s, &at);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, kScreenW * kScreenH, OverlayPicture().keyShare);
}
void KeyedScreen_Sdl(benchmark::State& state) { KeyedScreen_SdlKeyed(state, false); }
void KeyedScreen_SdlRle(benchmark::State& state) { KeyedScreen_SdlKeyed(state, true); }

void Screen_Memcpy(benchmark::State& state) {
    std::vector<std::uint16_t> from(OverlayPicture().pixels), to(kScreenW * kScreenH);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size() * 2);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, kScreenW * kScreenH);
}

// ---- keyed sprites at scattered places ----

void Sprites_Ours(benchmark::State& state) {
    OurSurface back(kScreenW, kScreenH), sprite(SpritePicture());
    const auto places = SpritePlaces();
    const plat::Rect all{0, 0, kSprite, kSprite};
    for (auto _ : state) {
        for (const auto& [x, y] : places) plat::BltFast(back.s, x, y, sprite.s, all, true);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, kSprite * kSprite * kSpritesPerRound, SpritePicture().keyShare);
    state.counters["sprites/s"] =
        benchmark::Counter(static_cast<double>(kSpritesPerRound) * state.iterations(), benchmark::Counter::kIsRate);
}

void Sprites_SdlKeyed(benchmark::State& state, bool rle) {
    SdlSurface back(kScreenW, kScreenH), sprite(SpritePicture(), rle);
    const auto places = SpritePlaces();
    for (auto _ : state) {
        for (const auto& [x, y] : places) {
            SDL_Rect at{x, y, kSprite, kSprite};
            SDL_BlitSurface(sprite.s, nullptr, back.s, &at);
        }
        benchmark::ClobberMemory();
    }
    ReportPixels(state, kSprite * kSprite * kSpritesPerRound, SpritePicture().keyShare);
    state.counters["sprites/s"] =
        benchmark::Counter(static_cast<double>(kSpritesPerRound) * state.iterations(), benchmark::Counter::kIsRate);
}
void Sprites_Sdl(benchmark::State& state) { Sprites_SdlKeyed(state, false); }
void Sprites_SdlRle(benchmark::State& state) { Sprites_SdlKeyed(state, true); }

// ---- opaque copy and fill ----

void OpaqueScreen_Ours(benchmark::State& state) {
    OurSurface back(kScreenW, kScreenH), pic(OverlayPicture());
    const plat::Rect all{0, 0, kScreenW, kScreenH};
    for (auto _ : state) {
        plat::BltFast(back.s, 0, 0, pic.s, all, false);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, kScreenW * kScreenH);
}

void FillScreen_Ours(benchmark::State& state) {
    OurSurface back(kScreenW, kScreenH);
    std::uint32_t colour = 0x1234;
    for (auto _ : state) {
        plat::FillRect(back.s, nullptr, colour++);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, kScreenW * kScreenH);
}

void FillScreen_Sdl(benchmark::State& state) {
    SdlSurface back(kScreenW, kScreenH);
    std::uint32_t colour = 0x1234;
    for (auto _ : state) {
        SDL_FillRect(back.s, nullptr, colour++ & 0xFFFF);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, kScreenW * kScreenH);
}

// ---- krDraw::HalfBlit against memcpy of the same bytes ----

// The engine on the headless edge with the overlay in a fresh object;
// released when the case ends.
class HalfScene {
public:
    HalfScene() {
        plat::SetBackend(&plat::headless::Instance());
        krSystem::ProcessStart();
        krSystem::InitState();
        krSystemState.fullScreen = 0;
        if (krDraw::Screen(kScreenW, kScreenH, 1) != 1) return;
        slot_ = krDraw::CreateObject(kScreenW, kScreenH, 2);
        if (!slot_ || !krObjects[slot_].surface || !krScreen.back) return;
        const Picture& p = OverlayPicture();
        for (int y = 0; y < kScreenH; ++y)
            std::memcpy(krObjects[slot_].surface->Row(y), &p.pixels[static_cast<std::size_t>(y) * kScreenW], kScreenW * 2);
    }
    ~HalfScene() {
        if (slot_) krDraw::ReleaseObject(slot_);
    }
    bool Ready() const { return slot_ && krObjects[slot_].surface && krScreen.back; }

    void Half() const { krDraw::HalfBlit(0, 0, slot_, 0, 0, kScreenW, kScreenH); }
    // The same rows from the same object to the same back screen.
    void Copy() const {
        const plat::Surface* from = krObjects[slot_].surface;
        plat::Surface* to = krScreen.back;
        for (int y = 0; y < kScreenH; ++y) std::memcpy(to->Row(y), from->Row(y), kScreenW * 2);
    }

private:
    int slot_ = 0;
};

template <typename Step>
void HalfSceneCase(benchmark::State& state, Step step) {
    const HalfScene scene;
    if (!scene.Ready()) return state.SkipWithError("no screen");
    step(scene);  // warm: both surfaces in the caches they will be read from
    for (auto _ : state) {
        step(scene);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, kScreenW * kScreenH);
}
void HalfScreen_Ours(benchmark::State& state) { HalfSceneCase(state, [](const HalfScene& s) { s.Half(); }); }
void HalfScreen_Memcpy(benchmark::State& state) { HalfSceneCase(state, [](const HalfScene& s) { s.Copy(); }); }

// Both in one loop, turn about: the iteration's time is HalfBlit's, and
// "vsMemcpy" is memcpy's time over HalfBlit's (1.0 is memcpy's speed).
// (<chrono> cannot be built with the engine's execution character set.)
double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void HalfScreen_TurnAbout(benchmark::State& state) {
    const HalfScene scene;
    if (!scene.Ready()) return state.SkipWithError("no screen");
    scene.Copy(), scene.Half();
    double copySeconds = 0, halfSeconds = 0;
    for (auto _ : state) {
        const double t0 = Now();
        scene.Copy();
        benchmark::ClobberMemory();
        const double t1 = Now();
        scene.Half();
        benchmark::ClobberMemory();
        const double t2 = Now();
        const double half = t2 - t1;
        copySeconds += t1 - t0;
        halfSeconds += half;
        state.SetIterationTime(half);
    }
    ReportPixels(state, kScreenW * kScreenH);
    if (halfSeconds > 0) state.counters["vsMemcpy"] = copySeconds / halfSeconds;
}

}  // namespace

BENCHMARK(HalfScreen_Ours);
BENCHMARK(HalfScreen_Memcpy);
BENCHMARK(HalfScreen_TurnAbout)->UseManualTime();
BENCHMARK(KeyedScreen_Ours);
BENCHMARK(KeyedScreen_OursAvx2);
BENCHMARK(KeyedScreen_OursSse2);
BENCHMARK(KeyedScreen_Sdl);
BENCHMARK(KeyedScreen_SdlRle);
BENCHMARK(Screen_Memcpy);
BENCHMARK(Sprites_Ours);
BENCHMARK(Sprites_Sdl);
BENCHMARK(Sprites_SdlRle);
BENCHMARK(OpaqueScreen_Ours);
BENCHMARK(FillScreen_Ours);
BENCHMARK(FillScreen_Sdl);
