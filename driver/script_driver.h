/// @file
/// The script driver: runs a game on the headless edge in virtual time,
/// driven by an input script, and writes what it saw. A game's headless main
/// is a few lines:
///
///     #include "driver/script_driver.h"
///
///     int main(int argc, char** argv) {
///         krScriptDriver::Program program;
///         program.name = "mygame-headless";
///         program.steps = krGameSteps{&MyStartup, &MyFrame, "My game"};
///         return krScriptDriver::Run(program, argc, argv);
///     }
///
/// and gets the switches
///
///     --frames N         game frames to run (required), then the window closes
///     --input FILE       input script, e.g. a recording made in the window
///                        with KR_RECORD
///     --screenshot FILE  the back screen after frame N as a 24-bit BMP
///     --audio FILE       everything played, as a WAV file in the mixer's format
///     --trace FILE       one line per game frame (when the game has a trace)
///     --allow-errors     exit 0 even when the engine reported an error
///     --help             the usage on standard output, exit 0
///
/// plus switches of the game's own. A wrong argument gets one line on
/// standard error naming it, and exit status 2; an output that is the input
/// script or another output (the same file by any name) is a wrong argument.
/// Every output is checked to the end: one that cannot be written whole gets
/// one line and exit status 1, and an old trace or screenshot stays as it
/// was until the new one is complete. When the engine reported an error
/// during the run (krSystem::ReportError: a picture that cannot be read, say)
/// the run goes on as in the window, and then exits with status 3 after a
/// line saying so, so that an automated run of a game with a missing picture
/// fails; --allow-errors is for runs that test error paths.
/// `KR_PRESENT_DUMP=<folder>`
/// writes each distinct presented frame as the window does.
///
/// Input scripts hold one event a line, led by the frame it comes before
/// (frames from 1); blank lines and lines starting with `#` are skipped:
///
///     <frame> <key> down|up                   LEFT UP RIGHT DOWN SPACE RETURN TAB SHIFT PGUP PGDN
///                                             HOME END ESCAPE, a letter or digit, or a code 1-255
///     <frame> mouse <action> <x> <y>          move, ldown, lup, ldouble, rdown, rup, rdouble
///     <frame> clock <ms> [<times>]            the frame's next clock reading(s) (frame 0: at start)
///     <frame> message <msg> <wParam> <lParam> any other window message
///     <frame> joystick <id> plug|unplug       joystick 0 or 1 plugged in or unplugged
///     <frame> joystick <id> axes <x> <y>      its position, 0..65535 each
///     <frame> joystick <id> buttons <mask>    its buttons, bit n-1 for button n
///     count passes                            frames count passes of the main loop (recordings)
///     seed <n>                                the seed of the random numbers (1 when absent)
///
/// The events of frame k reach the window after frame k-1 has ended and
/// before frame k runs; its clock readings and joystick lines apply from
/// when its frame work begins. The random numbers are seeded before the start-up
/// step, so random effects repeat from run to run.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "system/krSystem.h"

/// The script driver: a game's two steps made into a headless program.
namespace krScriptDriver {

/// Exit status for a wrong argument.
constexpr int kBadArguments = 2;
/// Exit status when the engine reported an error during the run (unless --allow-errors).
constexpr int kEngineError = 3;

/// A switch of the game's own, taking one value.
struct Switch {
    /// The switch as typed, e.g. "--variant".
    std::string name;
    /// The value's name in the usage, e.g. "0|1".
    std::string valueName;
    /// One line for the usage.
    std::string help;
    /// Takes the value: "" when it is good, else what is wrong with it
    /// ("wants 0 or 1"); the driver names the switch and the value.
    std::function<std::string(const std::string& value)> take;
};

/// What a game hands the driver: its name, its steps and its own extras.
struct Program {
    /// The program's name in messages and the usage.
    std::string name;
    /// The game's start-up and frame steps and its window caption, as for
    /// krSystem::SetGameSteps; the driver counts frames around them.
    krGameSteps steps;
    /// Switches of the game's own, each taking one value.
    std::vector<Switch> switches;
    /// More lines for the usage (e.g. a list of scenes).
    std::string usageNotes;
    /// Called once the arguments are good, before the engine starts: "" to go
    /// on, else a complaint about them (exit status 2).
    std::function<std::string()> prepare;
    /// With a trace, --trace FILE writes whatever this writes after each game
    /// frame (frames from 1); without one the switch is unknown.
    std::function<void(std::FILE* file, long frame)> trace;
    /// Called when the run has ended (frames done); may print a summary.
    std::function<void(long framesDone)> finish;
};

/// Parses the arguments, runs the game and returns the exit status: 0 when
/// all frames ran and every output was written, 1 when an output could not be
/// written, 2 for a wrong argument, 0 after --help.
int Run(const Program& program, int argc, char** argv);

/// The usage text of a program (what --help prints).
std::string Usage(const Program& program);

}  // namespace krScriptDriver
