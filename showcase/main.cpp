// krshowcase: the engine's services scene by scene, in a real window.
#include "platform/sdl/sdl_backend.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

int main(int argc, char** argv) {
    plat::SetBackend(&plat::sdl::Instance());
    krSystem::SetGameSteps(krGameSteps{&ShowcaseStartup, &ShowcaseFrame, kShowcaseTitle});
    return krSystem::Main(argc, argv);
}
