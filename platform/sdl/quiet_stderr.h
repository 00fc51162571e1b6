// Standard error silenced for a while: the audio library of some systems
// (ALSA) writes lines of its own there when it finds no device, and our one
// "no sound" line says it better.
#pragma once

namespace plat::sdl {

// While it lives, standard error goes nowhere.
class QuietStandardError {
public:
    QuietStandardError();
    ~QuietStandardError();
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_ = -1;
};

}  // namespace plat::sdl
