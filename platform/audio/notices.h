// One-line notices on standard error about sound and music ("no music
// (...)"), each headed by the running program's own name and said once per
// process, however often its cause recurs.
#pragma once
#include <string>

namespace plat::audio {

// The running program's file name without its folder ("krshowcase").
std::string ProgramLabel();
// Writes "<program>: <text>" and a line end, unless that text was said
// before. Safe from any thread.
void SayOnce(const std::string& text);

}  // namespace plat::audio
