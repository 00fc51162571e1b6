// pokotanba-replay: the game and engine on the headless backend, driven by
// an input script through the script driver, writing one trace line per
// game frame and, on request, the back screen after the last frame.
//
//   pokotanba-replay --frames N [--input FILE] [--trace FILE]
//                    [--screenshot FILE] [--audio FILE] [--variant 0|1]
#include <cstdio>

#include "driver/script_driver.h"
#include "game/game.h"
#include "game/game_state.h"

namespace {

// Player, followers and tree after game frame k.
void TraceFrame(std::FILE* t, long k) {
    const PlayerRecord& p = player;
    std::fprintf(t, "%ld P %.9g %.9g %d %d %d", k, playerX, playerY, p.facing, p.swinging, p.animFrame);
    for (int i = 0; i < kFollowerCount; ++i) {
        const FollowerRecord& f = followers[i];
        std::fprintf(t, " F%d %d %.9g %.9g %d %d %d", i, f.state, f.posX, f.posY, f.facing, f.slot,
                     followerHitInFrame[i]);
    }
    std::fprintf(t, " T %d %d\n", tree.fallState, tree.fallFrame);
}

std::string TakeVariant(const std::string& value) {
    if (value != "0" && value != "1") return "wants 0 or 1";
    gameVariant = value == "1" ? 1 : 0;
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    gameVariant = 1;
    krScriptDriver::Program program;
    program.name = "pokotanba-replay";
    program.steps = krGameSteps{&GameStartup, &GameFrame};
    program.switches = {{"--variant", "0|1", "the game's variant switch (1 when not given)", &TakeVariant}};
    program.trace = &TraceFrame;
    return krScriptDriver::Run(program, argc, argv);
}
