// pokotanba: the game in a real window. --record <file> (or KR_RECORD=<file>)
// records the session for pokotanba-replay.
#include "game/game.h"
#include "platform/os/program_args.h"
#include "platform/sdl/recorder.h"
#include "platform/sdl/sdl_backend.h"
#include "system/krSystem.h"

namespace {

const char* const kUsage =
    "usage: pokotanba [--help] [--record <file>]\n"
    "\n"
    "Plays the game in a window. The pictures are read from the folder BMP beside\n"
    "the program, the tile map from map.txt in the current folder. The arrow keys,\n"
    "C and V play; Escape ends.\n";

}  // namespace

int main(int argc, char** argv) {
    if (int bad = plat::sdl::TakeRecordSwitch(argc, argv)) return bad;
    const int misuse = plat::CheckProgramArguments("pokotanba", kUsage, argc, argv, "BMP");
    if (misuse >= 0) return misuse;
    plat::SetBackend(&plat::sdl::Instance());
    krGameSteps steps{&GameStartup, &GameFrame};
    steps.icon = "icon.bmp";  // drawn by icongen beside the program
    krSystem::SetGameSteps(steps);
    return krSystem::Main(argc, argv);
}
