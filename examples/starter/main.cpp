// starter: the game in a real window. Escape or the close button ends it.
#include "game.h"
#include "platform/sdl/sdl_backend.h"
#include "system/krSystem.h"

int main(int argc, char** argv) {
    plat::SetBackend(&plat::sdl::Instance());
    krSystem::SetGameSteps(krGameSteps{&StarterStartup, &StarterFrame, kStarterTitle});
    return krSystem::Main(argc, argv);
}
