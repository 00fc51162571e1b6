// starter-headless: the starter on the engine's headless edge, in virtual
// time, driven by the kit's script driver: keys from an input script, the
// screen after the last frame, everything it played as a WAV file.
//
//   starter-headless --frames N [--input FILE] [--screenshot FILE] [--audio FILE]
//   starter-headless --help
#include "driver/script_driver.h"
#include "game.h"

int main(int argc, char** argv) {
    krScriptDriver::Program program;
    program.name = "starter-headless";
    program.steps = krGameSteps{&StarterStartup, &StarterFrame, kStarterTitle};
    return krScriptDriver::Run(program, argc, argv);
}
