// The script driver: runs a game on the headless edge in virtual time,
// driven by an input script, and writes what it saw. A game's headless main
// is a few lines:
//
//   int main(int argc, char** argv) {
//       krScriptDriver::Program program;
//       program.name = "mygame-headless";
//       program.steps = krGameSteps{&MyStartup, &MyFrame};
//       return krScriptDriver::Run(program, argc, argv);
//   }
//
// and gets the switches
//
//   --frames N         game frames to run (required), then the window closes
//   --input FILE       input script (platform/os/input_script.h), e.g. a
//                      recording made in the window with KR_RECORD
//   --screenshot FILE  the back screen after frame N as a 24-bit BMP
//   --audio FILE       everything played, as a WAV file in the mixer's format
//   --trace FILE       one line per game frame (when the game has a trace)
//   --help             the usage on standard output, exit 0
//
// plus switches of the game's own. A wrong argument gets one line on
// standard error naming it, and exit status 2. KR_PRESENT_DUMP=<folder>
// writes each distinct presented frame as the window does.
//
// Depends on the engine (krSystem, krDraw) and the headless edge only.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "system/krSystem.h"

namespace krScriptDriver {

// Exit status for a wrong argument.
constexpr int kBadArguments = 2;

// A switch of the game's own, taking one value.
struct Switch {
    std::string name;       // "--variant"
    std::string valueName;  // "0|1", shown in the usage
    std::string help;       // one line for the usage
    // Takes the value: "" when it is good, else what is wrong with it
    // ("wants 0 or 1"); the driver names the switch and the value.
    std::function<std::string(const std::string& value)> take;
};

struct Program {
    std::string name;  // the program's name in messages and the usage
    krGameSteps steps;
    std::vector<Switch> switches;
    // More lines for the usage (e.g. a list of scenes).
    std::string usageNotes;
    // Called once the arguments are good, before the engine starts: "" to go
    // on, else a complaint about them (exit status 2).
    std::function<std::string()> prepare;
    // With a trace, --trace FILE writes whatever this writes after each game
    // frame (frames from 1).
    std::function<void(std::FILE* file, long frame)> trace;
    // Called when the run has ended (frames done); may print a summary.
    std::function<void(long framesDone)> finish;
};

// Parses the arguments, runs the game and returns the exit status: 0 when
// all frames ran and every output was written, 1 when an output could not be
// written, 2 for a wrong argument, 0 after --help.
int Run(const Program& program, int argc, char** argv);

// The usage text of a program (what --help prints).
std::string Usage(const Program& program);

}  // namespace krScriptDriver
