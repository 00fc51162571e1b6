// The game's whole frame on the headless edge against its memory-bound
// floor in the same run. The game: pokotanba's own start-up and frame step
// (clear, map and overlay layers, tile map, tree, player, followers, the
// present), the player standing. The floor: what no frame can do without,
// on the same screen and pictures: the clear, the two keyed full-screen
// layers and the present's copy. "frame_pct" is the share of a 60 fps frame
// (16.7 ms) one call costs; the ratio of the two times is the frame's
// overhead over its floor.
//
// The game finds its pictures beside the program and map.txt in the working
// folder, as when it runs from its build folder: the benchmark works in the
// build's run folder and, when the program's folder has no BMP folder,
// links the run folder's one there.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "draw/krDraw.h"
#include "game/game.h"
#include "game/game_state.h"
#include "platform/headless/headless.h"
#include "platform/os/backend.h"
#include "platform/os/window.h"
#include "system/krSystem.h"

namespace {

namespace fs = std::filesystem;

constexpr int kScreenW = 800, kScreenH = 600;
constexpr double kFrameSeconds = 1.0 / 60.0;

// The pictures where the game looks for them; "" or what is missing.
std::string PlaceAssets() {
    std::error_code error;
    const fs::path run = KR_RUN_DIR;
    if (!fs::exists(run / "map.txt", error)) return "no game assets in " + run.string() + " (build game_assets)";
    const fs::path besideProgram = fs::path(plat::ProgramPath()).parent_path() / "BMP";
    if (!fs::exists(besideProgram, error)) fs::create_directory_symlink(run / "BMP", besideProgram, error);
    if (!fs::is_directory(besideProgram, error)) return "cannot place the pictures beside the program";
    if (chdir(run.c_str()) != 0) return "cannot work in " + run.string();
    return "";
}

// The engine on the headless edge with the game started, once per process.
const std::string& StartGame() {
    static const std::string complaint = [] {
        std::string problem = PlaceAssets();
        if (!problem.empty()) return problem;
        plat::SetBackend(&plat::headless::Instance());
        plat::headless::Reset();
        krSystem::ProcessStart();
        krSystem::InitState();
        krSystemState.fullScreen = 0;
        gameVariant = 1;
        GameStartup();
        if (gamePictures.overlay <= 0 || gamePictures.mapImage <= 0) return std::string("the game's pictures did not load");
        return std::string();
    }();
    return complaint;
}

void ReportFrameShare(benchmark::State& state) {
    // Processor seconds over (iterations x frame / 100): percent of a frame.
    state.counters["frame_pct"] = benchmark::Counter(static_cast<double>(state.iterations()) * kFrameSeconds / 100.0,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kScreenW) * kScreenH);
}

void BM_GameFrame(benchmark::State& state) {
    if (const std::string& problem = StartGame(); !problem.empty()) return state.SkipWithError(problem.c_str());
    for (auto _ : state) {
        GameFrame();
        benchmark::ClobberMemory();
    }
    ReportFrameShare(state);
}
BENCHMARK(BM_GameFrame);

void BM_GameFrameFloor(benchmark::State& state) {
    if (const std::string& problem = StartGame(); !problem.empty()) return state.SkipWithError(problem.c_str());
    for (auto _ : state) {
        krDraw::ClearScreen();
        krDraw::Blit(0, 0, gamePictures.mapImage, 0, 0, kScreenW, kScreenH);
        krDraw::Blit(0, 0, gamePictures.overlay, 0, 0, kScreenW, kScreenH);
        krDraw::Present();
        benchmark::ClobberMemory();
    }
    ReportFrameShare(state);
}
BENCHMARK(BM_GameFrameFloor);

}  // namespace
