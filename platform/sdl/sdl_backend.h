// The SDL2 edge of the platform layer: a real window, keyboard and mouse
// events as window messages, present through a streaming texture, cursor,
// message boxes, joysticks and the cross-process single-instance guard.
#pragma once
#include "platform/os/backend.h"

namespace plat::sdl {

// The SDL backend (created on first use; SDL itself starts with the window).
Backend& Instance();

}  // namespace plat::sdl
