// libFuzzer harness of the tile map reader: any bytes as "map.txt" must load
// (every cell some 32-bit value) and pre-render without a fault. Runs in a
// scratch folder, on the headless display, with the tile sheet unloaded so
// that every tile value meets the out-of-sheet path too.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "draw/krDraw.h"
#include "game/game_state.h"
#include "system/krSystem.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string dir = "/tmp/kr_fuzz_map_" + std::to_string(getpid());
    std::string make = "mkdir -p " + dir;
    if (std::system(make.c_str()) != 0 || chdir(dir.c_str()) != 0) std::abort();
    krSystem::ProcessStart();
    krSystem::InitState();
    krSystemState.fullScreen = 0;
    krDraw::Screen(800, 600, 1);
    gamePictures.mapImage = krDraw::CreateObject(800, 600, 2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen("map.txt", "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    mapLoaded = 0;
    TileMapStep();
    return 0;
}
