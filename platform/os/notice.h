// One-line notices on standard error, headed by the running program's own
// file name ("krshowcase: ..."), so that a message says which program of a
// pipeline or a test run it came from.
#pragma once
#include <string>

namespace plat {

// The running program's file name without its folder ("kr" if unknown).
std::string ProgramLabel();
// Writes "<program>: <text>" and a line end on standard error (text in UTF-8).
void Notice(const std::string& text);

}  // namespace plat
