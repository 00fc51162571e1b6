// krshowcase: the engine's services scene by scene, in a real window.
// --record <file> (or KR_RECORD=<file>) records the session for
// krshowcase-headless.
#include "platform/os/program_args.h"
#include "platform/sdl/recorder.h"
#include "platform/sdl/sdl_backend.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

namespace {

const char* const kUsage =
    "usage: krshowcase [--help] [--record <file>]\n"
    "\n"
    "Shows every effect, sound and the music of the engine, scene by scene, in a\n"
    "window. Page Down / Page Up or Tab / Shift+Tab step between scenes, Escape\n"
    "ends. The pictures and sounds are read from the folder showcase beside the\n"
    "program.\n";

}  // namespace

int main(int argc, char** argv) {
    if (int bad = plat::sdl::TakeRecordSwitch(argc, argv)) return bad;
    const int misuse = plat::CheckProgramArguments("krshowcase", kUsage, argc, argv, "showcase");
    if (misuse >= 0) return misuse;
    plat::SetBackend(&plat::sdl::Instance());
    krSystem::SetGameSteps(krGameSteps{&ShowcaseStartup, &ShowcaseFrame, kShowcaseTitle});
    return krSystem::Main(argc, argv);
}
