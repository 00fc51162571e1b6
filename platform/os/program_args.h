// The command-line checks of the windowed programs, made before any window
// opens: --help prints the usage, a switch the program does not know or an
// asset folder that cannot be read beside the program gets one line on
// standard error. Other words are the engine's command line, passed on
// uninterpreted.
#pragma once

namespace plat {

// -1 to go on; otherwise the exit status: 0 after --help, 1 when the asset
// folder cannot be read, 2 for an unknown switch.
int CheckProgramArguments(const char* program, const char* usage, int argc, char** argv, const char* assetFolder);

}  // namespace plat
