// pokotanba: the game in a real window.
#include "game/game.h"
#include "platform/sdl/sdl_backend.h"
#include "system/krSystem.h"

int main(int argc, char** argv) {
    plat::SetBackend(&plat::sdl::Instance());
    krSystem::SetGameSteps(krGameSteps{&GameStartup, &GameFrame});
    return krSystem::Main(argc, argv);
}
