// pokotanba: the game in a real window. --record <file> (or KR_RECORD=<file>)
// records the session for pokotanba-replay.
#include "game/game.h"
#include "platform/sdl/recorder.h"
#include "platform/sdl/sdl_backend.h"
#include "system/krSystem.h"

int main(int argc, char** argv) {
    if (int bad = plat::sdl::TakeRecordSwitch(argc, argv)) return bad;
    plat::SetBackend(&plat::sdl::Instance());
    krSystem::SetGameSteps(krGameSteps{&GameStartup, &GameFrame});
    return krSystem::Main(argc, argv);
}
