// krshowcase: the engine's services scene by scene, in a real window.
// --record <file> (or KR_RECORD=<file>) records the session for
// krshowcase-headless.
#include "platform/sdl/recorder.h"
#include "platform/sdl/sdl_backend.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

int main(int argc, char** argv) {
    if (int bad = plat::sdl::TakeRecordSwitch(argc, argv)) return bad;
    plat::SetBackend(&plat::sdl::Instance());
    krSystem::SetGameSteps(krGameSteps{&ShowcaseStartup, &ShowcaseFrame, kShowcaseTitle});
    return krSystem::Main(argc, argv);
}
